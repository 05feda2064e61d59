#include "gridlib/editors/kqincsearch.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqstr.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqdbservices.h"
#include "gridlib/core/kqfieldlists.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Edges.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

namespace {
constexpr int BaseInterval = 200;

void Warn(const QString& message)
{
    MessageDlg(message, mtWarning, {mbOK});
}

QString FirstOfList(const QString& fields)
{
    int pos = 1;
    return NextToken(fields, QStringLiteral(";"), pos).trimmed();
}

bool IsBDEFamily(const QObject* dataSet) { return IsClassOrAncestorNamed(dataSet, "TBDEDataSet"); }

QString ReadText(const QObject* object, const char* name)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return p.isValid() ? p.read(object).toString() : QString();
}

bool WriteText(QObject* object, const char* name, const QString& value)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return p.isValid() && p.isWritable() && p.write(object, value);
}

// A table whose Query lines are set works as a query.
bool IsTableInQueryMode(const QObject* table)
{
    QStringList lines;
    return IsClassOrAncestorNamed(table, "TTable") && GetStringListProperty(table, "Query", lines) && !lines.isEmpty();
}

// The index definition the dataset's IndexName names, refreshed; none without one.
const TIndexDef* CurrentIndexDef(TDataSet* dataSet)
{
    const QString name = ReadText(dataSet, "IndexName");
    if (name.isEmpty()) return nullptr;
    TIndexDefs& defs = dataSet->IndexDefs();
    if (defs.Count() == 0 || !defs.Updated()) defs.Update();
    const int i = defs.IndexOf(name);
    return i >= 0 ? defs.Items(i) : nullptr;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// The incremental search

TkqIncrementalSearch::TkqIncrementalSearch(QWidget* parent) : TkqCustomMaskEdit(parent), FTimer(new QTimer(this))
{
    FTimer->setInterval(BaseInterval);
    connect(FTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { FlushPendingSearch(); }); });
    setText(QString());
}

TkqIncrementalSearch::~TkqIncrementalSearch() = default;

void TkqIncrementalSearch::Clear()
{
    setText(QString());
    FLastSearchedText.clear();
}

void TkqIncrementalSearch::SetEditRect()
{
    if (!Frame()->Enabled()) {
        TkqCustomMaskEdit::SetEditRect();
        return;
    }
    int left = 0, top = 0, right = ClientWidth() - 1;
    Frame()->GetEditRectMargins(left, top, right);
    SetFormattingRect(TRect(left, top, right, ClientHeight() + 1));
}

void TkqIncrementalSearch::FlushPendingSearch()
{
    if (!FTimer->isActive()) return;
    FTimer->stop();
    const QString typed = text();
    if (typed == FLastSearchedText) return;
    FLastSearchedText = typed;
    SearchTypedText();
}

QString TkqIncrementalSearch::ResolveSearchField(TDataSet* dataSet, bool& caseSensitiveIndex) const
{
    caseSensitiveIndex = false;
    QString field = FSearchField;
    if (!IsBDEFamily(dataSet)) {
        if (const TIndexDef* index = CurrentIndexDef(dataSet)) {
            caseSensitiveIndex = !index->Options().testFlag(ixCaseInsensitive);
            if (field.isEmpty()) field = FirstOfList(index->Fields());
        }
    }
    if (field.isEmpty()) field = FirstOfList(ReadText(dataSet, "IndexFieldNames"));
    if (field.isEmpty() && dataSet->FieldCount() > 0) field = dataSet->Fields()[0]->FieldName();
    return field;
}

void TkqIncrementalSearch::SearchTypedText()
{
    TDataSource* source = DataSource();
    TDataSet* ds = source ? source->DataSet() : nullptr;
    if (!ds || !ds->Active()) return;
    const QString typed = text();
    const bool bde = IsBDEFamily(ds);
    if (!bde && typed.isEmpty()) {
        ds->First();
        return;
    }
    bool caseSensitiveIndex = false;
    QString fieldName = ResolveSearchField(ds, caseSensitiveIndex);
    bool found = false;
    auto* table = dynamic_cast<TkqIndexedTable*>(ds);
    if (table && IsClassOrAncestorNamed(ds, "TTable")) {
        // A table searched through the keys of its active index.
        const QStringList keys = table->ActiveIndexFields();
        if (keys.isEmpty()) {
            found = MoveToFieldValue(ds, typed, fieldName, 1, false);
        } else {
            int position = 0;
            for (int i = 0; i < keys.size(); ++i)
                if (EqualIgnoringCase(keys.at(i), FSearchField)) position = i;
            if (FSearchField.isEmpty()) fieldName = keys.first();
            found = FindNearestByText(ds, typed, position);
        }
    } else {
        TField* field = ds->FindField(fieldName);
        if (IsValidSearchText(field, typed)) {
            const bool query = IsClassOrAncestorNamed(ds, "TkqQuery");
            const bool useLocate = KqIntl()->UseLocateMethodForSearch;
            if (!query || !useLocate) {
                if (useLocate) {
                    TBusyCursor busy;
                    TLocateOptions options = loPartialKey;
                    if (bde || !caseSensitiveIndex) options |= loCaseInsensitive;
                    found = ds->Locate(fieldName, TVariant(typed), options);
                } else {
                    found = MoveToFieldValue(ds, typed, fieldName, 1, false);
                }
            } else {
                try {
                    TBusyCursor busy;
                    found = ds->Locate(fieldName, TVariant(typed), loPartialKey | loCaseInsensitive);
                } catch (const std::exception&) {
                    found = MoveToFieldValue(ds, typed, fieldName, 1, false);
                }
            }
        }
    }
    if (OnAfterSearch) OnAfterSearch(this, found);
    if (found && FShowMatchText) {
        const TField* field = ds->FindField(fieldName);
        const QString value = field ? field->AsString() : typed;
        setText(value);
        setSelection(int(typed.size()), int(value.size() - typed.size()));
    }
}

QString TkqIncrementalSearch::GetSearchFieldName() const
{
    TDataSource* source = DataSource();
    TDataSet* ds = source ? source->DataSet() : nullptr;
    if (!ds) return FSearchField;
    if (auto* table = dynamic_cast<TkqIndexedTable*>(ds); table && IsClassOrAncestorNamed(ds, "TTable")) {
        const QStringList keys = table->ActiveIndexFields();
        if (!keys.isEmpty()) return keys.first();
    }
    bool caseSensitive = false;
    return ResolveSearchField(ds, caseSensitive);
}

void TkqIncrementalSearch::KeyPress(QChar& key)
{
    if (!PictureMask.isEmpty()) {
        AutoFillEditByPicture(this, PictureMask, PictureMaskAutoFill, key);
        return;
    }
    if (!PictureMaskFromField) return;
    TDataSource* source = DataSource();
    TDataSet* ds = source ? source->DataSet() : nullptr;
    if (!ds) return;
    const TkqPictureMaskEntry entry = FindPictureMask(ds, GetSearchFieldName());
    if (!entry.Mask.isEmpty()) AutoFillEditByPicture(this, entry.Mask, entry.AutoFill, key);
}

void TkqIncrementalSearch::KeyUp(int key)
{
    if (text() == FLastSearchedText || !IsTypingKey(key)) return;
    if (!FShowMatchText || (key != VK_BACK && key != VK_DELETE)) {
        FTimer->stop();
        TDataSource* source = DataSource();
        if (!source) {
            Warn(QStringLiteral("DataSource not defined - object ") + objectName());
            return;
        }
        TDataSet* ds = source->DataSet();
        if (!ds) {
            Warn(QStringLiteral("Dataset not defined for DataSource"));
            return;
        }
        if (SearchDelay != 0) FTimer->setInterval(SearchDelay);
        else if (ds->Active() && IsBDEFamily(ds) && !IsClassOrAncestorNamed(ds, "TClientDataSet"))
            FTimer->setInterval(BaseInterval / 2);
        FTimer->start();
        return;
    }
    // Removing the completed part does not complete it again; a narrowed table widens.
    TDataSource* source = DataSource();
    if (auto* table = dynamic_cast<TkqIndexedTable*>(source ? source->DataSet() : nullptr);
        table && table->NarrowSearch() && text().isEmpty())
        table->ClearRange();
}

void TkqIncrementalSearch::keyPressEvent(QKeyEvent* event)
{
    // Enter and Escape of a borderless edit belong to the window it sits in.
    if (BorderStyle() == 0 && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape)) {
        event->ignore();
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && typed[0] >= QLatin1Char(' ') && typed[0] != QChar(0x7F)) {
        QChar key = typed[0];
        if (CharCase() == ecUpperCase) key = key.toUpper();
        else if (CharCase() == ecLowerCase) key = key.toLower();
        TApplication::Guard([this, &key] { KeyPress(key); });
        if (key.isNull()) return;
        if (key != typed[0]) {
            QKeyEvent changed(event->type(), event->key(), event->modifiers(), QString(key));
            QLineEdit::keyPressEvent(&changed);
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void TkqIncrementalSearch::keyReleaseEvent(QKeyEvent* event)
{
    QLineEdit::keyReleaseEvent(event);
    if (event->isAutoRepeat()) return;
    const int key = KeyEventToVirtualKey(event);
    TApplication::Guard([this, key] { KeyUp(key); });
}

void TkqIncrementalSearch::focusInEvent(QFocusEvent* event)
{
    const bool windowSwitch = IsWindowSwitchFocus(event);
    QLineEdit::focusInEvent(event);
    if (windowSwitch && FFocused) return;
    SetEditRect();
    FFocused = true;
    if (AutoSelect && event->reason() != Qt::MouseFocusReason) selectAll();
    if (PaintsTransparent()) SetTransparentStyle(this, false);
    update();
}

void TkqIncrementalSearch::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (IsWindowSwitchFocus(event)) return;
    FFocused = false;
    if (PaintsTransparent()) {
        RecreateWnd();
        InvalidateBehindControl(this);
    }
    update();
}

void TkqIncrementalSearch::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    SetEditRect();
}

void TkqIncrementalSearch::PaintUnfocused(TCanvas& canvas)
{
    const TRect client(0, 0, width(), height());
    const bool transparent = PaintsTransparent();
    if (!transparent) {
        canvas.Brush.Color = Frame()->NonFocusColor != clNone ? Frame()->NonFocusColor : Color();
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(client);
    }
    canvas.Font = TFont(font(), FontColor());
    if (!isEnabled()) canvas.Font.Color = clInactiveCaption;
    else if (transparent && Frame()->NonFocusTransparentFontColor != clNone) canvas.Font.Color = Frame()->NonFocusTransparentFontColor;
    else if (Frame()->NonFocusFontColor != clNone) canvas.Font.Color = Frame()->NonFocusFontColor;
    int x = 0, y = 0;
    Frame()->GetTextOffsets(x, y, false);
    DrawAlignedText(canvas, client, x, datNoFill, 0, text(), y);
    PaintFrameEdges(canvas, width(), height(), *Frame(), false);
}

void TkqIncrementalSearch::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        TCanvas canvas(painter);
        PaintBorder(canvas);
        if (!FFocused && Frame()->IsInEffect()) {
            PaintUnfocused(canvas);
            return;
        }
        FillBackground(canvas, FFocused);
    }
    QLineEdit::paintEvent(event);
    if (Frame()->IsInEffect()) {
        QPainter painter(this);
        TCanvas canvas(painter);
        Frame()->PaintFrame(canvas, true, false);
    }
}

// ---------------------------------------------------------------------------------------------
// The sort-order combo

void TkqKeyDataLink::ActiveChanged()
{
    if (Active()) FCombo->FillSortOrders(nullptr);
}

void TkqKeyDataLink::DataSetChanged()
{
    FCombo->LoadIndexList();
}

TkqKeyCombo::TkqKeyCombo(QWidget* parent) : TkqDBCustomComboBox(parent), FKeyLink(this)
{
    SetStyle(csDropDownList);
}

TkqKeyCombo::~TkqKeyCombo()
{
    disconnect(FSourceGone);
    FKeyLink.SetDataSource(nullptr);
}

bool TkqKeyCombo::SortsByFields(const TDataSet* dataSet) const
{
    if (IsClassOrAncestorNamed(dataSet, "TClientDataSet")) return true;
    return GetDataSetCursorLocation(dataSet) == 1 && IsClassOrAncestorNamed(dataSet, "TADOTable");
}

bool TkqKeyCombo::HasIndexInformation(const TDataSet* dataSet)
{
    return FindPublishedProperty(dataSet, "IndexName").isValid();
}

void TkqKeyCombo::SetDataSource(TDataSource* source)
{
    const TDataSet* ds = source ? source->DataSet() : nullptr;
    if (ds && !IsClassOrAncestorNamed(ds, "TTable") && !SortsByFields(ds) && !HasIndexInformation(ds)) {
        Warn(QStringLiteral("DataSource must point to a dataset containing index information."));
        return;
    }
    disconnect(FSourceGone);
    FKeyLink.SetDataSource(source);
    if (source)
        FSourceGone = connect(source, &QObject::destroyed, this, [this] { FKeyLink.SetDataSource(nullptr); });
    if (FKeyLink.Active()) FillSortOrders(nullptr);
}

void TkqKeyCombo::SetShowAllIndexes(bool value)
{
    FShowAllIndexes = value;
    if (DataSource()) FillSortOrders(nullptr);
}

void TkqKeyCombo::FillSortOrders(QObject* grid)
{
    TDataSet* ds = DataSource() ? DataSource()->DataSet() : nullptr;
    if (!ds) return;
    if (IsTableInQueryMode(ds)) {
        Warn(QStringLiteral("TkqKeyCombo: DataSet cannot be a TkqTable using a Query."));
        return;
    }
    FFilling = true;
    struct TClear {
        bool& Flag;
        ~TClear() { Flag = false; }
    } clear{FFilling};
    QStringList selected;
    const bool bySelected = grid && GetStringListProperty(grid, "Selected", selected);
    auto shown = [&](const TField* field) {
        return bySelected ? FindSelectedEntry(selected, field->FieldName()) >= 0 : field->Visible();
    };
    auto label = [](const TField* field) { return SubstituteChar(field->DisplayLabel(), QLatin1Char('~'), QLatin1Char(' ')); };

    if (SortsByFields(ds)) {
        if (!FRefreshing) {
            QStringList items;
            for (TField* field : ds->Fields()) {
                if (!IsSearchableFieldType(field->DataType()) || field->Lookup() || field->Calculated()) continue;
                if (shown(field) || FShowAllIndexes) items << label(field);
            }
            Items().Assign(items);
        }
        const TField* current = ds->FindField(FirstOfList(ReadText(ds, "IndexFieldNames")));
        EnsurePopupList();
        SetItemIndex(current ? FindItem(label(current), 0) : -1);
        return;
    }
    if (!HasIndexInformation(ds)) return;
    const QMetaProperty master = FindPublishedProperty(ds, "MasterSource");
    if (master.isValid() && master.read(ds).value<QObject*>()) return;

    bool stale = false;
    for (const QString& item : Items().Lines())
        if (FieldNameFromDisplayLabel(ds, item.endsWith(QLatin1String(" - Desc")) ? item.chopped(7) : item).isEmpty()) stale = true;
    const bool rebuild = !FRefreshing || (stale && !FShowAllIndexes);
    TIndexDefs& defs = ds->IndexDefs();
    if (rebuild) {
        Items().Clear();
        defs.Update();
        if (FShowAllIndexes)
            for (int i = 0; i < defs.Count(); ++i)
                Items().Add(defs.Items(i)->Name().isEmpty() ? PrimaryKeyName() : defs.Items(i)->Name());
    }
    EnsurePopupList();
    if (FShowAllIndexes) {
        const QString name = ReadText(ds, "IndexName");
        SetItemIndex(FindItem(name.isEmpty() ? PrimaryKeyName() : name, 0));
        return;
    }
    const QString indexFieldNames = ReadText(ds, "IndexFieldNames");
    const QString indexName = ReadText(ds, "IndexName");
    QString currentLabel;
    bool currentDesc = false;
    QStringList items = Items().Lines();
    for (int i = 0; i < defs.Count(); ++i) {
        const TIndexDef* index = defs.Items(i);
        const TField* field = ds->FindField(FirstOfList(index->Fields()));
        if (!field || !shown(field)) continue;
        const bool desc = index->Options().testFlag(ixDescending);
        const QString text = label(field) + (desc ? QStringLiteral(" - Desc") : QString());
        if (rebuild && FindTextInList(items, text) < 0) items << text;
        const bool current = !indexFieldNames.isEmpty() ? EqualIgnoringCase(indexFieldNames, index->Fields())
                                                        : EqualIgnoringCase(index->Name(), indexName);
        if (current) {
            currentLabel = label(field);
            currentDesc = desc;
        }
    }
    if (rebuild) Items().Assign(items);
    EnsurePopupList();
    const QString wanted = currentDesc ? currentLabel + QStringLiteral(" - Desc") : currentLabel;
    int selectedIndex = -1;
    if (!currentLabel.isEmpty())
        for (int i = 0; i < PopupList()->Count(); ++i)
            if (EqualIgnoringCase(PopupList()->Line(i), wanted)) selectedIndex = i;
    SetItemIndex(selectedIndex);
}

void TkqKeyCombo::LoadIndexList()
{
    if (FApplying[0] || !DataSource() || DataSource()->State() != dsBrowse) return;
    FRefreshing = true;
    struct TClear {
        bool& Flag;
        ~TClear() { Flag = false; }
    } clear{FRefreshing};
    FillSortOrders(nullptr);
}

void TkqKeyCombo::DropDown()
{
    ShowMatchText = true;
    TkqDBCustomComboBox::DropDown();
}

void TkqKeyCombo::CloseUp(bool accept)
{
    TkqDBCustomComboBox::CloseUp(accept);
    ShowMatchText = false;
    if (Style() == csDropDownList) update();
}

void TkqKeyCombo::Change()
{
    // Filling the list selects the order already in force: nothing to apply.
    if (FFilling) {
        TkqDBCustomComboBox::Change();
        return;
    }
    TDataSet* ds = DataSource() ? DataSource()->DataSet() : nullptr;
    if (!ds || !ds->Active()) return;
    ApplyChoice();
    TkqDBCustomComboBox::Change();
}

void TkqKeyCombo::ApplyChoice()
{
    TDataSet* ds = DataSource()->DataSet();
    const QString choice = text();
    if (IsTableInQueryMode(ds)) {
        Warn(QStringLiteral("TkqKeyCombo: DataSet cannot be a TkqTable using a Query."));
        return;
    }
    if (SortsByFields(ds)) {
        if (choice.isEmpty()) return;
        FApplying[0] = true;
        struct TClear {
            bool& Flag;
            ~TClear() { Flag = false; }
        } clear{FApplying[0]};
        WriteText(ds, "IndexFieldNames", FieldNameFromDisplayLabel(ds, choice));
        return;
    }
    if (!IsClassOrAncestorNamed(ds, "TTable") && !HasIndexInformation(ds)) {
        Warn(QStringLiteral("TkqKeyCombo: Virtual DataSet does not have index information available."));
        return;
    }
    if (FShowAllIndexes) {
        WriteText(ds, "IndexName", choice == PrimaryKeyName() ? QString() : choice);
    } else {
        TIndexDefs& defs = ds->IndexDefs();
        defs.Update();
        const TIndexDef* best = nullptr;
        int bestRank = 4;
        for (int i = 0; i < defs.Count(); ++i) {
            const TIndexDef* index = defs.Items(i);
            const QString first = FirstOfList(index->Fields());
            const TField* field = ds->FindField(first);
            if (!field) continue;
            const bool desc = index->Options().testFlag(ixDescending);
            const QString text = SubstituteChar(field->DisplayLabel(), QLatin1Char('~'), QLatin1Char(' '))
                                 + (desc ? QStringLiteral(" - Desc") : QString());
            if (text != choice) continue;
            // Case-insensitive indexes first, then one over that single field, then any.
            const int rank = index->Options().testFlag(ixCaseInsensitive) ? 1
                             : EqualIgnoringCase(index->Fields().trimmed(), first) ? 2 : 3;
            if (rank < bestRank) {
                best = index;
                bestRank = rank;
            }
        }
        if (best) WriteText(ds, "IndexName", best->Name());
    }
    if (PopupList()) {
        const int i = FindItem(choice, 0);
        if (i >= 0 && i != PopupList()->ItemIndex()) PopupList()->SetItemIndex(i);
    }
}
