#include "gridlib/editors/kqdbcombo.h"

#include "platform/vcl/Forms.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>

TkqDBComboBox::TkqDBComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnActiveChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnUpdateData = [this](TFieldDataLink*) {
        if (FStyle == csDropDown) WriteText(currentText());
    };
    HookLineEdit();
    connect(this, &QComboBox::activated, this, [this](int index) { TApplication::Guard([&] { Picked(index); }); });
}

void TkqDBComboBox::SetReadOnly(bool readOnly)
{
    FDataLink.SetReadOnly(readOnly);
    if (lineEdit()) lineEdit()->setReadOnly(readOnly);
}

QString TkqDBComboBox::DisplayOf(const QString& item) const
{
    return FMapList ? item.section(QLatin1Char('\t'), 0, 0) : item;
}

QString TkqDBComboBox::StoredOf(const QString& item) const
{
    if (!FMapList) return item;
    const int tab = item.indexOf(QLatin1Char('\t'));
    return tab < 0 ? item : item.mid(tab + 1);
}

void TkqDBComboBox::SetItems(const QStringList& items)
{
    FItems = items;
    Rebuild();
}

void TkqDBComboBox::SetMapList(bool value)
{
    FMapList = value;
    Rebuild();
}

void TkqDBComboBox::SetSorted(bool value)
{
    FSorted = value;
    Rebuild();
}

void TkqDBComboBox::SetStyle(TComboBoxStyle style)
{
    FStyle = style;
    setEditable(style == csDropDown);
    if (lineEdit()) lineEdit()->setReadOnly(FDataLink.ReadOnly());
    HookLineEdit();
    DataChange();
}

void TkqDBComboBox::HookLineEdit()
{
    if (!lineEdit() || lineEdit() == FHookedEdit) return;
    FHookedEdit = lineEdit();
    // Typing puts the record into edit first, so the record's refresh cannot undo the text.
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        if (FShowing) return;
        TApplication::Guard([&] {
            if (!FDataLink.Field()) return;
            bool ok = false;
            {
                const QScopedValueRollback showing(FShowing, true);
                ok = FDataLink.Edit();
            }
            if (!ok) {
                DataChange();
                return;
            }
            if (lineEdit()->text() != text) lineEdit()->setText(text);
            FDataLink.Modified();
        });
    });
}

void TkqDBComboBox::Rebuild()
{
    FShowing = true;
    clear();
    QStringList items = FItems;
    if (FSorted) items.sort(Qt::CaseInsensitive);
    FItems = items;
    for (const QString& item : items) addItem(DisplayOf(item), StoredOf(item));
    FShowing = false;
    DataChange();
}

QString TkqDBComboBox::MapStoredToDisplay(const QString& stored) const
{
    if (!FMapList) return {};
    for (const QString& item : FItems)
        if (StoredOf(item) == stored) return DisplayOf(item);
    return {};
}

QString TkqDBComboBox::MapDisplayToStored(const QString& display) const
{
    for (const QString& item : FItems)
        if (DisplayOf(item) == display) return StoredOf(item);
    return display;
}

void TkqDBComboBox::SetText(const QString& text)
{
    FShowing = true;
    const int i = findText(text);
    if (i >= 0) setCurrentIndex(i);
    else if (isEditable()) setEditText(text);
    else setCurrentIndex(-1);
    FShowing = false;
}

void TkqDBComboBox::DataChange()
{
    if (FShowing) return;
    TField* f = FDataLink.Field();
    if (!f) return;
    const QString value = f->IsNull() ? QString() : f->AsString();
    FShowing = true;
    int index = -1;
    for (int i = 0; i < FItems.size(); ++i)
        if (StoredOf(FItems[i]) == value) {
            index = i;
            break;
        }
    setCurrentIndex(index);
    if (index < 0 && isEditable()) setEditText(value);
    FShowing = false;
}

void TkqDBComboBox::WriteText(const QString& display)
{
    TField* f = FDataLink.Field();
    if (!f || FDataLink.ReadOnly()) return;
    const QString stored = MapDisplayToStored(display);
    if (!f->IsNull() && f->AsString() == stored) return;
    if (f->IsNull() && stored.isEmpty()) return;
    if (!FDataLink.Edit()) {
        DataChange();
        return;
    }
    const QScopedValueRollback showing(FShowing, true);
    if (stored.isEmpty()) f->Clear();
    else f->SetAsString(stored);
}

void TkqDBComboBox::Picked(int index)
{
    if (FShowing || index < 0 || index >= FItems.size()) return;
    if (FDataLink.ReadOnly()) {
        DataChange();
        return;
    }
    WriteText(DisplayOf(FItems[index]));
    if (OnChange) OnChange(this);
}

void TkqDBComboBox::showPopup()
{
    if (FDisableDropDownList || FDataLink.ReadOnly()) return;
    QComboBox::showPopup();
}

void TkqDBComboBox::hidePopup()
{
    // Qt also calls this when the combo itself is hidden (a grid leaving the cell); only a
    // list that was open closes up.
    const bool open = view() && view()->isVisible();
    QComboBox::hidePopup();
    if (open && OnCloseUp) TApplication::Guard([this] { OnCloseUp(this); });
}

void TkqDBComboBox::keyPressEvent(QKeyEvent* event)
{
    if (FAllowClearKey && FStyle == csDropDownList && !FDataLink.ReadOnly() &&
        (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        TApplication::Guard([this] {
            WriteText(QString());
            FShowing = true;
            setCurrentIndex(-1);
            FShowing = false;
            if (OnChange) OnChange(this);
        });
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
    if (FAutoDropDown && !event->text().isEmpty() && event->text().at(0).isPrint()) showPopup();
}

void TkqDBComboBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    if (FStyle == csDropDown && FDataLink.IsModified()) TApplication::Guard([this] { WriteText(currentText()); });
}
