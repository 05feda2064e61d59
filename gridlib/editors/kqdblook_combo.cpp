// The lookup combo: its value and key model, its keys and incremental search, and the life
// cycle of its drop-down grid.

#include "gridlib/editors/kqdblook.h"

#include "gridlib/core/Kqtable.h"
#include "gridlib/core/kqdbservices.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqgridhost.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QTimer>

namespace {

const char* const DuplicateSourceText = "Unable to use duplicate DataSource and LookupSource";

// Backspace, Space, Delete, digits, letters and the numeric pad, and every code above 145.
bool IsSearchKey(int key)
{
    return key == VK_BACK || key == VK_SPACE || key == VK_DELETE || (key >= 48 && key <= 111) || key > 145;
}

class TCancelModeEvent : public QEvent {
public:
    explicit TCancelModeEvent(QObject* sender)
        : QEvent(TkqDBCustomLookupCombo::CancelModeEventType()), Sender(sender) {}
    QObject* Sender;
};

// One watch for every lookup combo while a list is open: a left press outside the open list
// and its combo closes the list.
class TLookupMouseHook : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::MouseButtonPress && type != QEvent::NonClientAreaMouseButtonPress) ||
            !watched->isWidgetType())
            return false;
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
        auto* combo = qobject_cast<TkqDBCustomLookupCombo*>(QApplication::focusWidget());
        if (!combo || !combo->IsDroppedDown() || combo == FPosted) return false;
        const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        const QWidget* list = combo->DropDownGrid();
        if (list->frameGeometry().contains(global)) return false;
        if (QRect(combo->mapToGlobal(QPoint(0, 0)), combo->size()).contains(global)) return false;
        // The press reaches its window first; the combo closes when the message arrives.
        FPosted = combo;
        QCoreApplication::postEvent(combo, new TCancelModeEvent(nullptr));
        return false;
    }
    QPointer<TkqDBCustomLookupCombo> FPosted;
};

TLookupMouseHook*& MouseHook()
{
    static TLookupMouseHook* hook = nullptr;
    return hook;
}

void InstallMouseHook()
{
    if (MouseHook() || !qApp) return;
    MouseHook() = new TLookupMouseHook;
    qApp->installEventFilter(MouseHook());
}

bool IsLinkFieldOf(const TField* field, const QObject* dataSet, const QString& name)
{
    if (!field) return false;
    if (field->Lookup()) return true;
    return field->Calculated() && !GetLookupLinkEntry(dataSet, name).isEmpty();
}

QStringList SplitFields(const QString& fields)
{
    QStringList items;
    for (const QString& item : fields.split(QLatin1Char(';'))) items << item.trimmed();
    return items;
}

} // namespace

QEvent::Type TkqDBCustomLookupCombo::CancelModeEventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

bool TkqDBCustomLookupCombo::MouseHookInstalled()
{
    return MouseHook() != nullptr;
}

void TkqDBCustomLookupCombo::RemoveMouseHook()
{
    TLookupMouseHook* hook = MouseHook();
    if (!hook) return;
    MouseHook() = nullptr;
    if (qApp) qApp->removeEventFilter(hook);
    delete hook;
}

// =============================================================================================
// Construction and settings

TkqDBCustomLookupCombo::TkqDBCustomLookupCombo(QWidget* parent) : TkqDBCustomCombo(parent)
{
    FDropDownOptions = new TkqDropDownGridOptions(this);
    FGrid = new TkqPopupGrid(this);
    FGrid->resize(FGrid->width(), 0);
    FGrid->OnClick = [this](QObject*) { AcceptGridSelection(); };
    FSearchTimer = new QTimer(this);
    FSearchTimer->setSingleShot(true);
    FSearchTimer->setInterval(200);
    connect(FSearchTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { PerformSearch(); }); });
    SetButtonStyle(cbsDownArrow);
    Button()->OnClick = [this](QObject*) { DropButtonClick(); };
    resize(width(), 25);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnUpdateData = [this](TFieldDataLink*) { UpdateFieldData(); };
    FDataLink.OnActiveChange = [this](TFieldDataLink*) { ActiveChange(); };
}

TkqDBCustomLookupCombo::~TkqDBCustomLookupCombo()
{
    FDestroying = true;
    FDataLink.OnDataChange = nullptr;
    FDataLink.OnUpdateData = nullptr;
    FDataLink.OnActiveChange = nullptr;
    FGrid->OnClick = nullptr;
    if (FListVisible || (MouseHook() && MouseHook()->FPosted == this)) RemoveMouseHook();
    delete FGrid;
    FGrid = nullptr;
}

void TkqDBCustomLookupCombo::SetLookupTable(TDataSet* table)
{
    FGrid->SetLookupTable(table);
}

void TkqDBCustomLookupCombo::SetLookupField(const QString& fields)
{
    FGrid->SetLookupField(fields);
    FGrid->UpdateKeyFields(true);
    DataChange();
}

void TkqDBCustomLookupCombo::SetSelected(const QStringList& lines)
{
    FGrid->SetSelected(lines);
    // The first line names the display field.
    FGrid->LayoutChanged();
}

void TkqDBCustomLookupCombo::SetDataSource(TDataSource* source)
{
    if (source && source->DataSet() && source->DataSet() == LookupTable())
        throw EInvalidOperation(QString::fromLatin1(DuplicateSourceText));
    TkqDBCustomCombo::SetDataSource(source);
}

void TkqDBCustomLookupCombo::SetDataField(const QString& name)
{
    TkqDBCustomCombo::SetDataField(name);
    DeriveLookupField();
}

void TkqDBCustomLookupCombo::SetReadOnly(bool value)
{
    TkqDBCustomCombo::SetReadOnly(value);
    setReadOnly(!CanEditNow());
}

void TkqDBCustomLookupCombo::DeriveLookupField()
{
    TField* field = Field();
    if (DataField().isEmpty() || !field) return;
    QString keys;
    if (field->Lookup()) {
        keys = field->LookupKeyFields();
    } else {
        const QStringList pairs = SplitFields(GetLookupLinkEntry(field->DataSet(), DataField()));
        if (pairs.size() < 2) return;
        QStringList halves;
        for (int i = 1; i < pairs.size(); i += 2) halves << pairs.at(i);
        keys = halves.join(QLatin1Char(';'));
    }
    if (keys.isEmpty()) return;
    SetLookupField(keys);
}

void TkqDBCustomLookupCombo::ActiveChange()
{
    if (!DataSource()) return;
    if (FDataLink.Active()) DeriveLookupField();
    if (FDataLink.Active() && FGrid->LookupActive() && !InSearchEvent) {
        FGrid->SetKeyValue(QString());
        DataChange();
    }
}

void TkqDBCustomLookupCombo::EditingChange()
{
    setReadOnly(!CanEditNow());
}

// =============================================================================================
// The key model

bool TkqDBCustomLookupCombo::IsBoundLookupField() const
{
    return Field() && Field()->Lookup();
}

bool TkqDBCustomLookupCombo::IsCalcFieldLookup() const
{
    TDataSource* source = DataSource();
    if (!source || !source->DataSet() || DataField().isEmpty()) return false;
    if (!DataSetHasField(source->DataSet(), DataField())) return false;
    TField* field = source->DataSet()->FindField(DataField());
    return field && (field->Calculated() || field->Lookup()) && IsLinkFieldOf(field, source->DataSet(), DataField());
}

bool TkqDBCustomLookupCombo::LookupTableIsDetail() const
{
    auto* kt = qobject_cast<TkqTable*>(LookupTable());
    return kt && kt->MasterSource();
}

bool TkqDBCustomLookupCombo::AllowsTyping() const
{
    return FListVisible || FStyle != csDropDownList || AutoDropDown;
}

bool TkqDBCustomLookupCombo::TextStyleEditable() const
{
    return FListVisible || FStyle != csDropDownList;
}

bool TkqDBCustomLookupCombo::CanEditNow() const
{
    bool result = true;
    if (TDataSource* source = DataSource()) {
        if (DataField().isEmpty()) result = true;
        else if (IsCalcFieldLookup())
            result = source->State() == dsEdit || source->State() == dsInsert || source->AutoEdit();
        else result = FDataLink.Editing() && AllowsTyping();
    }
    if (!FListVisible && FStyle == csDropDownList) result = result && AutoDropDown;
    return result && !ReadOnly();
}

void TkqDBCustomLookupCombo::StartEdit()
{
    IgnoreDataChange = true;
    QObject* grid = ParentIsNamed(this, "TkqDBGrid") ? parentWidget() : nullptr;
    auto* dbGrid = qobject_cast<TkqCustomDBGrid*>(grid);
    const bool keep = dbGrid ? dbGrid->SkipHideControls() : false;
    if (dbGrid) dbGrid->SetSkipHideControls(true);
    auto clear = qScopeGuard([&] {
        IgnoreDataChange = false;
        if (dbGrid) dbGrid->SetSkipHideControls(keep);
    });
    FDataLink.Edit();
}

QString TkqDBCustomLookupCombo::SyncKeyValue2()
{
    TDataSet* bound = DataSource() ? DataSource()->DataSet() : nullptr;
    TField* key2 = FGrid->KeyField2();
    if (bound && key2) {
        if (TField* f = bound->FindField(key2->FieldName())) {
            if (f->AsString() != FGrid->KeyValue2 && FGrid->DisplayField()) {
                setText(FGrid->DisplayField()->AsString());
                FGrid->DisplayText = text();
            }
            FGrid->KeyValue2 = f->AsString();
        }
    }
    return FGrid->KeyValue2;
}

QString TkqDBCustomLookupCombo::SyncKeyValue3()
{
    TDataSet* bound = DataSource() ? DataSource()->DataSet() : nullptr;
    TField* key3 = FGrid->KeyField3();
    if (bound && key3)
        if (TField* f = bound->FindField(key3->FieldName())) FGrid->KeyValue3 = f->AsString();
    return FGrid->KeyValue3;
}

QString TkqDBCustomLookupCombo::CurrentSearchText() const
{
    return AllowsTyping() ? text() : FGrid->KeyValue;
}

void TkqDBCustomLookupCombo::SelectAllIfTyping()
{
    if (AllowsTyping()) selectAll();
}

void TkqDBCustomLookupCombo::SetKeyValue(const QString& value)
{
    TDataSet* bound = DataSource() ? DataSource()->DataSet() : nullptr;
    if (FGrid->LookupActive() && FDataLink.Active() && bound == LookupTable())
        throw EInvalidOperation(QString::fromLatin1(DuplicateSourceText));
    const bool keyIsDisplay = FGrid->KeyField() && FGrid->KeyField() == FGrid->DisplayField();
    if (!(FGrid->KeyValue != value || (text().isEmpty() && !value.isEmpty()) || (keyIsDisplay && text() != value)))
        return;
    if (FGrid->LookupActive()) {
        if (!WritingKeys) FGrid->SetKeyValue(value);
        setText(FGrid->DisplayText);
        return;
    }
    if (LookupField().isEmpty() && !LookupTable()) {
        setText(value);
    } else if (LookupTable() && !LookupTable()->Active()) {
        if (OnSearchLookup) {
            IgnoreDataChange = true;
            InSearchEvent = true;
            auto clear = qScopeGuard([this] {
                IgnoreDataChange = false;
                InSearchEvent = false;
            });
            bool found = false;
            OnSearchLookup(this, LookupTable(), LookupField(), value, true, found);
            if (found && FGrid->DisplayField()) FGrid->DisplayText = FGrid->DisplayField()->AsString();
        } else {
            setText(value);
        }
    }
}

void TkqDBCustomLookupCombo::SetDisplayText(const QString& text)
{
    if (FGrid->DisplayText == text || !FGrid->LookupActive()) return;
    FGrid->SetDisplayText(text);
    setText(FGrid->DisplayText);
}

void TkqDBCustomLookupCombo::RefreshDisplayText()
{
    const QString key = FGrid->KeyValue;
    SetKeyValue(QString());
    FGrid->LocateCurrentValue(false);
    if (FGrid->ValueFound && FGrid->DisplayField()) FGrid->DisplayText = FGrid->DisplayField()->AsString();
    else FGrid->DisplayText.clear();
    setText(FGrid->DisplayText);
    FGrid->KeyValue = key;
}

void TkqDBCustomLookupCombo::CaptureGridRecord()
{
    if (FSearchTimer->isActive()) {
        FSearchTimer->stop();
        PerformSearch();
        return;
    }
    if (FListVisible && FGrid->HighlightRow < 0) return;
    TkqDBLookupList* g = FGrid;
    if (FListVisible && g->HighlightRow >= 0 && !IsClassOrAncestorNamed(this, "TkqDBLookupComboDlg")) {
        TFieldDataLink* unused = nullptr;
        Q_UNUSED(unused);
        TkqGridDataLink* link = g->DataLink();
        if (g->HighlightRow != link->ActiveRecord()) link->MoveBy(g->HighlightRow - link->ActiveRecord());
    }
    if (!g->DisplayField()) return;
    g->DisplayText = g->DisplayField()->AsString();
    g->KeyValue = g->KeyField() == g->DisplayField() ? g->DisplayText : (g->KeyField() ? g->KeyField()->AsString() : QString());
    if (g->KeyField2()) g->KeyValue2 = g->KeyField2()->AsString();
    if (g->KeyField3()) g->KeyValue3 = g->KeyField3()->AsString();
}

bool TkqDBCustomLookupCombo::GridRecordDiffers() const
{
    const TkqDBLookupList* g = FGrid;
    if (g->KeyField() && g->KeyField()->AsString() != g->KeyValue) return true;
    if (g->KeyField2() && g->KeyField2()->AsString() != g->KeyValue2) return true;
    if (g->KeyField3() && g->KeyField3()->AsString() != g->KeyValue3) return true;
    return false;
}

void TkqDBCustomLookupCombo::DataChange()
{
    if (IgnoreDataChange || !FGrid) return;
    TField* field = Field();
    if (!field || FLoading) {
        if (!OnSearchLookup) setText(QString());
    } else {
        const bool detail = LookupTableIsDetail();
        const bool link = IsCalcFieldLookup();
        if (detail && FGrid->DataChangeDepth == 0 && link) {
            setText(field->AsString());
            return;
        }
        if (FGrid->DataChangeDepth == 0 && detail && LookupTable()->Active()) {
            auto* kt = qobject_cast<TkqTable*>(LookupTable());
            if (kt->MasterSource() == DataSource()) {
                const QString master = SplitFields(kt->MasterFields()).value(0);
                TField* mf = DataSource()->DataSet()->FindField(master);
                const QString first = kt->ActiveIndexFields().value(0);
                TField* lf = kt->FindField(first);
                if (mf && lf && mf->AsString() != lf->AsString() && !field->IsNull()) return;
            }
        }
        ++FGrid->DataChangeDepth;
        auto lower = qScopeGuard([this] { --FGrid->DataChangeDepth; });
        if (FGrid->KeyField2() || FGrid->KeyField3()) {
            FGrid->LocateCurrentValue(false);
            if (FGrid->DisplayField()) setText(FGrid->DisplayField()->AsString());
            FGrid->DisplayText = text();
        }
        SetKeyValue(field->AsString());
        if (FGrid->KeyField2()) SyncKeyValue2();
        if (FGrid->KeyField3()) SyncKeyValue3();
        // Keys that name no record show no text (not the text of the record the search left).
        if ((FGrid->KeyField2() || FGrid->KeyField3()) && !FGrid->ValueFound && !link) {
            setText(QString());
            FGrid->DisplayText.clear();
        }
        if (DataSource()->State() == dsBrowse) {
            SavedDisplayText = text();
            SavedKeyValue = FGrid->KeyValue;
        }
        if (detail && link) setText(field->AsString());
    }
    if (Focused()) SelectAllIfTyping();
}

void TkqDBCustomLookupCombo::UpdateFieldData()
{
    TField* field = Field();
    if (!field) return;
    if (!InValueNotFound && !text().isEmpty() && !FListVisible) CloseUp(true);
    TkqDBLookupList* g = FGrid;
    if (IsCalcFieldLookup()) {
        if (g->HighlightRow >= 0) {
            bool modified = false;
            WriteKeyFields(modified);
        }
        return;
    }
    if (g->KeyField() && g->KeyField() == g->DisplayField()) {
        if (field->AsString() != text()) field->SetEditText(text());
        if (g->KeyValue != text() && !AutoDropping) g->SetKeyValue(text());
    } else if (field->AsString() != g->KeyValue) {
        field->SetAsString(g->KeyValue);
    }
    if (g->HighlightRow >= 0 || ExtraKeysAlwaysCurrent()) {
        TDataSet* bound = field->DataSet();
        for (TField* key : {g->KeyField2(), g->KeyField3()})
            if (key)
                if (TField* target = bound->FindField(key->FieldName())) target->SetValue(key->Value());
    }
}

void TkqDBCustomLookupCombo::WriteKeyFields(bool& modified)
{
    modified = false;
    if (WritingKeys) return;
    WritingKeys = true;
    auto clear = qScopeGuard([this] {
        WritingKeys = false;
        IgnoreDataChange = false;
        update();
    });
    TField* field = Field();
    TDataSet* bound = DataSource() ? DataSource()->DataSet() : nullptr;
    if (!field || !bound) return;
    QStringList targetNames;
    if (field->Lookup()) {
        targetNames = SplitFields(field->KeyFields());
    } else {
        const QStringList pairs = SplitFields(GetLookupLinkEntry(bound, DataField()));
        for (int i = 0; i < pairs.size(); i += 2) targetNames << pairs.at(i);
    }
    QList<TField*> targets;
    for (const QString& name : targetNames)
        if (TField* f = bound->FindField(name)) targets << f;
    const TkqDBLookupList* g = FGrid;
    const QString keys[] = {g->KeyValue, g->KeyValue2, g->KeyValue3};
    const bool present[] = {true, g->KeyField2() != nullptr, g->KeyField3() != nullptr};
    if (targets.isEmpty()) {
        modified = true;
    } else {
        for (int i = 0; i < 3 && i < targets.size(); ++i)
            if (present[i] && targets.at(i)->EditText() != keys[i]) modified = true;
    }
    if (!modified) return;
    IgnoreDataChange = true;
    if (ReadOnly() || !bound->CanModify()) return;
    if (auto* table = qobject_cast<TTable*>(bound); table && table->ReadOnly()) return;
    DataSource()->Edit();
    if (bound->State() != dsEdit && bound->State() != dsInsert) return;
    const int first = LookupTableIsDetail() ? int(std::min<qsizetype>(targets.size(), 3)) - 1 : 0;
    for (int i = std::max(first, 0); i < 3 && i < targets.size(); ++i)
        if (present[i] && targets.at(i)->EditText() != keys[i]) targets.at(i)->SetEditText(keys[i]);
}

void TkqDBCustomLookupCombo::AcceptGridSelection()
{
    TextMatched = true;
    if (DataSource() && !FDataLink.Editing() && !isModified()) {
        // A choice from the list puts an untouched record into edit state first.
        StartEdit();
        if (!FDataLink.Editing() && !IsCalcFieldLookup()) return;
    }
    FDataLink.Edit();
    if (DataSource() && !FDataLink.Editing() && !IsCalcFieldLookup()) return;
    if (IsCalcFieldLookup()) {
        auto* table = qobject_cast<TTable*>(DataSource()->DataSet());
        if ((table && table->ReadOnly()) || ReadOnly()) return;
    }
    FDataLink.Modified();
    MarkModifiedOnChange = true;
    {
        auto clear = qScopeGuard([this] { MarkModifiedOnChange = false; });
        setText(FGrid->DisplayText);
    }
    SelectAllIfTyping();
    LastSearchText = text();
}

void TkqDBCustomLookupCombo::Change()
{
    if (FDataLink.Editing()) {
        FDataLink.Modified();
        if (MarkModifiedOnChange) setModified(true);
    }
    TkqDBCustomCombo::Change();
}

bool TkqDBCustomLookupCombo::MapStoredToDisplay(const QString& value, QString& display) const
{
    TDataSet* table = LookupTable();
    const TkqDBLookupList* g = FGrid;
    if (!table || !table->Active() || !g->KeyField() || !g->DisplayField() || IsCalcFieldLookup()) return false;
    if (g->KeyField() == g->DisplayField()) {
        display = value;
        return true;
    }
    // The cells of a grid read the lookup without moving the table (which may be showing in a
    // list): an index on the key answers it by halving.
    const TVariant result = table->Lookup(g->KeyField()->FieldName(), TVariant(value), g->DisplayField()->FieldName());
    display = result.IsNull() ? QString() : result.AsString();
    return true;
}

// =============================================================================================
// Focus and messages

void TkqDBCustomLookupCombo::DoEnter()
{
    FGrid->DisplayText = text();
    TkqDBCustomCombo::DoEnter();
    if (!InValueNotFound) {
        setModified(false);
        if (!FListVisible) {
            SavedDisplayText = text();
            SavedKeyValue = FGrid->KeyValue;
        }
    }
}

void TkqDBCustomLookupCombo::focusOutEvent(QFocusEvent* event)
{
    TkqDBCustomCombo::focusOutEvent(event);
    if (!FListVisible) return;
    TApplication::Guard([this] {
        if (isModified() && text().isEmpty() && !AllowClearKey) CaptureGridRecord();
        CloseUp(true);
    });
}

void TkqDBCustomLookupCombo::CancelMode(QObject* sender)
{
    if (isModified() && !TextMatched) {
        StartEdit();
        if (FDataLink.Editing()) FDataLink.Modified();
    }
    if (sender && (sender == this || sender == ButtonContainer() || sender == Button() || sender == FGrid)) return;
    if (FListVisible) {
        CaptureGridRecord();
        if (TextMatched) AcceptGridSelection();
    }
    CloseUp(true);
}

bool TkqDBCustomLookupCombo::event(QEvent* event)
{
    if (event->type() == CancelModeEventType()) {
        if (TLookupMouseHook* hook = MouseHook(); hook && hook->FPosted == this) hook->FPosted = nullptr;
        QObject* sender = static_cast<TCancelModeEvent*>(event)->Sender;
        TApplication::Guard([this, sender] { CancelMode(sender); });
        return true;
    }
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key() == Qt::Key_Backtab ? VK_TAB : KeyEventToVirtualKey(keyEvent);
        const bool inGrid = ParentGrid(this) != nullptr;
        if (event->type() == QEvent::ShortcutOverride) {
            // Escape and Enter stay with an open list or a changed text, not the form's buttons.
            if ((key == VK_ESCAPE && !inGrid && (FListVisible || isModified())) || (key == VK_RETURN && FListVisible)) {
                event->accept();
                return true;
            }
            return TkqDBCustomCombo::event(event);
        }
        if (key == VK_ESCAPE && !inGrid && (FListVisible || isModified())) {
            if (!FListVisible) {
                FGrid->DisplayText = SavedDisplayText;
                FGrid->KeyValue = SavedKeyValue;
                setText(SavedDisplayText);
                setModified(true);
                IgnoreDataChange = true;
                auto clear = qScopeGuard([this] { IgnoreDataChange = false; });
                FDataLink.Reset();
            }
            keyPressEvent(keyEvent);
            event->accept();
            return true;
        }
        if ((key == VK_TAB || key == VK_RETURN) && FListVisible) {
            TkqGridHost* host = ParentGridHost(this);
            auto* dbGrid = qobject_cast<TkqCustomDBGrid*>(ParentGrid(this));
            if (key == VK_TAB || (dbGrid && dbGrid->KeyOptions().Contains(dgEnterToTab))) {
                TApplication::Guard([this] {
                    CaptureGridRecord();
                    if (TextMatched) AcceptGridSelection();
                    CloseUp(true);
                    SelectAllIfTyping();
                });
            }
            if (FListVisible || key == VK_RETURN) {
                keyPressEvent(keyEvent);
                return true;
            }
            Q_UNUSED(host);
        }
    }
    return TkqDBCustomCombo::event(event);
}

void TkqDBCustomLookupCombo::keyPressEvent(QKeyEvent* event)
{
    TkqDBCustomCombo::keyPressEvent(event);
    event->accept();
}

void TkqDBCustomLookupCombo::DoCut()
{
    if (AllowsTyping()) StartEdit();
    if (CanEditNow()) TkqDBCustomCombo::DoCut();
}

void TkqDBCustomLookupCombo::DropButtonClick()
{
    if (FListVisible) {
        if (TextMatched) AcceptGridSelection();
        CloseUp(true);
        return;
    }
    ButtonClick();
}

// =============================================================================================
// Keys

void TkqDBCustomLookupCombo::KeyDown(int& key, TShiftState shift)
{
    if (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier) shift.Include(ssAlt);
    const bool alt = shift.Contains(ssAlt);
    TkqGridHost* host = ParentGridHost(this);
    if (host && !FListVisible) {
        bool forward = (key == VK_ESCAPE && !isModified()) ||
                       ((key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN) && !alt) ||
                       key == VK_INSERT || (key == VK_DELETE && shift.Contains(ssCtrl));
        if (!forward && !AllowsTyping()) forward = key == VK_END || key == VK_HOME || key == VK_LEFT || key == VK_RIGHT;
        if (forward) {
            if (QWidget* grid = ParentGrid(this)) grid->setFocus(Qt::OtherFocusReason);
            host->GridKeyDown(key, shift);
            key = 0;
            return;
        }
    }
    if ((key == VK_BACK || key == VK_DELETE) && FStyle == csDropDownList && !AllowClearKey && !FListVisible) key = 0;
    if (key) {
        if (IsSearchKey(key) && AutoDropDown && !FListVisible) AutoDropping = true;
        if (OnKeyDown) OnKeyDown(this, key, shift);
        if (key == VK_BACK || key == VK_INSERT || key == VK_DELETE) {
            if (AllowsTyping()) StartEdit();
            if (!CanEditNow()) key = 0;
        } else if (!AllowsTyping() && !IsCalcFieldLookup() &&
                   (key == VK_END || key == VK_HOME || key == VK_LEFT || key == VK_RIGHT)) {
            key = 0;
        }
    }
    if (key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN || key == VK_F4) {
        if (FListVisible) {
            StartEdit();
            if ((!DataSource() || FDataLink.Editing() || IsCalcFieldLookup()) && !ReadOnly()) FGrid->KeyDown(key, shift);
            key = 0;
        } else if ((alt && key != VK_F4) || (key == VK_F4 && !alt)) {
            DropDown();
            key = 0;
        }
    } else if (key == VK_ESCAPE && FListVisible) {
        // Escape closes the list in the character's handling.
    }
    if (ShowMatchText && (key == VK_BACK || key == VK_DELETE)) {
        if (FListVisible) LastSearchText = QStringLiteral("~~~~");
    } else if (key != 0 || true) {
        LastSearchText.clear();
    }
}

void TkqDBCustomLookupCombo::KeyPress(QChar& key)
{
    if (TkqGridHost* host = ParentGridHost(this)) host->GridKeyPress(key);
    if (key.isNull()) return;
    if (OnKeyPress) {
        OnKeyPress(this, key);
        if (key.isNull()) return;
    }
    const ushort c = key.unicode();
    const QString mask = Picture()->PictureMask();
    if (!mask.isEmpty() && c >= 32 && c <= 254) {
        if (AllowsTyping()) StartEdit();
        if (CanEditNow() && AutoFillEditByPicture(this, mask, Picture()->AutoFill(), key)) {
            end(false);
            if (FListVisible || ShowMatchText) {
                AutoDropping = true;
                auto clear = qScopeGuard([this] { AutoDropping = false; });
                PerformSearch();
            }
            return;
        }
    }
    if (AutoDropDown && (c == 8 || c == 24) && FStyle == csDropDownList && !AllowClearKey && !FListVisible) {
        key = QChar();
        return;
    }
    // The text the character makes.
    QString after = text();
    if (c == 8) {
        if (!after.isEmpty()) {
            if (hasSelectedText()) after.remove(selectionStart(), selectedText().size());
            else if (cursorPosition() > 0) after.remove(cursorPosition() - 1, 1);
        }
    } else if (c >= 32) {
        after = TextAfterTyping(this, key);
    }
    if (((LastSearchText != after || LastSearchText.size() == 1) && c >= 32) ||
        (c == 8 && FGrid->ListOptions().Contains(loSearchOnBackspace))) {
        if (FListVisible) {
            if (SearchDelay > 0) FSearchTimer->setInterval(SearchDelay);
            FSearchTimer->start();
        }
    }
    if (c == 13) {
        if (FListVisible) {
            CaptureGridRecord();
            if (TextMatched) AcceptGridSelection();
            CloseUp(true);
            SelectAllIfTyping();
        }
        key = QChar();
        return;
    }
    if (c == 27) {
        const bool wasOpen = FListVisible;
        if (FListVisible) CloseUp(false);
        if (Field()) {
            RestoreSaved();
            if (!AllowsTyping() || (!wasOpen && ParentIsNamed(this, "TkqCustomDBGrid"))) {
                if (QWidget* parent = parentWidget(); parent && window()->isVisible()) parent->setFocus();
            }
        } else {
            SetDisplayText(SavedDisplayText);
            SetKeyValue(SavedKeyValue);
            SelectAllIfTyping();
        }
        key = QChar();
        return;
    }
    if (!FListVisible && c >= 32 && Field() && !AutoDropDown && !ShowMatchText && AllowsTyping() &&
        !Field()->IsValidChar(key)) {
        key = QChar();
        QApplication::beep();
        return;
    }
    if (c == 8 || c == 22 || c == 24 || (c >= 32 && c <= 255) || c > 255) {
        if (AllowsTyping()) StartEdit();
        if (!CanEditNow()) key = QChar();
    }
    if (c == 9) key = QChar();
}

void TkqDBCustomLookupCombo::RestoreSaved()
{
    FGrid->DisplayText = SavedDisplayText;
    FGrid->KeyValue = SavedKeyValue;
    setText(SavedDisplayText);
    setModified(false);
    IgnoreDataChange = true;
    {
        auto clear = qScopeGuard([this] { IgnoreDataChange = false; });
        FDataLink.Reset();
    }
    SelectAllIfTyping();
}

void TkqDBCustomLookupCombo::KeyUp(int& key, TShiftState shift)
{
    const bool link = IsCalcFieldLookup();
    if (AllowClearKey && FListVisible) {
        if (!link && (key == VK_DELETE || key == VK_BACK) && text().isEmpty()) {
            if (Field()) {
                StartEdit();
                FDataLink.Modified();
            }
            FGrid->KeyValue.clear();
            FGrid->DisplayText.clear();
            FGrid->HighlightRow = -1;
            FGrid->update();
            key = 0;
        }
    } else if (AllowClearKey && (key == VK_DELETE || key == VK_BACK) &&
               selectedText() == text()) {
        setText(QString());
        if (link) {
            FGrid->KeyValue.clear();
            FGrid->KeyValue2.clear();
            FGrid->KeyValue3.clear();
            bool modified = false;
            WriteKeyFields(modified);
        } else if (Field()) {
            StartEdit();
            FDataLink.Modified();
            FGrid->KeyValue.clear();
        } else {
            SetKeyValue(QString());
        }
        key = 0;
    }
    if (OnKeyUp && key) OnKeyUp(this, key, shift);
    if (key && (LastSearchText != text() || LastSearchText.size() == 1) && IsSearchKey(key)) {
        bool deleting = false;
        if (ShowMatchText && (key == VK_BACK || key == VK_DELETE)) {
            deleting = true;
            auto* kt = qobject_cast<TkqTable*>(LookupTable());
            if (kt && kt->Query().isEmpty() && kt->NarrowSearch() && text().isEmpty()) kt->ClearRange();
        }
        if ((key == VK_BACK || key == VK_DELETE) && !FListVisible && FStyle == csDropDownList && !AllowClearKey) {
            key = 0;
            return;
        }
        if (!FListVisible && !AutoDropDown && ShowMatchText && FStyle == csDropDown && !text().isEmpty() && !deleting) {
            ApplyLookupOrder(true);
            AutoDropping = true;
            auto clear = qScopeGuard([this] { AutoDropping = false; });
            PerformSearch();
        } else if (!FListVisible && AutoDropDown && !text().isEmpty()) {
            ApplyLookupOrder(true);
            AutoDropping = true;
            auto clear = qScopeGuard([this] { AutoDropping = false; });
            PerformSearch();
            DropDown();
        }
    }
    AutoDropping = false;
    if (IsSearchKey(key) && !FListVisible && FDataLink.Editing()) FDataLink.Modified();
}

void TkqDBCustomLookupCombo::SearchNow()
{
    LastSearchText.clear();
    PerformSearch();
}

void TkqDBCustomLookupCombo::PerformSearch()
{
    FSearchTimer->stop();
    TDataSet* table = LookupTable();
    if (text() == LastSearchText || !table || (!table->Active() && !OnSearchLookup)) return;
    TkqDBLookupList* g = FGrid;
    TField* display = g->DisplayField();
    const bool open = FListVisible || AutoDropping;
    bool matched = TextMatched;
    if (NeedsGenericSearch()) {
        if (!SeqSearchOptions.Contains(ssoEnabled) || !display) return;
        matched = FindValue(CurrentSearchText(), display->FieldName(), open, SeqSearchOptions.Contains(ssoCaseSensitive),
                            false);
        TextMatched = matched;
        if (!matched && open && display == g->KeyField()) {
            g->KeyValue.clear();
            return;
        }
        TypedText = text();
        g->DisplayText = display->AsString();
        if (text().size() > g->DisplayText.size()) TextMatched = matched = false;
    } else {
        auto* kt = qobject_cast<TkqTable*>(table);
        const int k = IndexPositionOfSearchField();
        const QStringList index = kt->ActiveIndexFields();
        if (k == 0 && display && index.value(0).compare(display->FieldName(), Qt::CaseInsensitive) != 0) {
            if (SeqSearchOptions.Contains(ssoEnabled)) matched = FindByIndex(text(), display->FieldName(), open);
        } else if (k == -1) {
            matched = FindByIndex(text(), IndexSearchField, open);
        } else {
            if (open) {
                matched = kt->FindByText(text(), k);
            } else {
                QStringList values;
                for (int i = 0; i < k; ++i) values << kt->FieldByName(index.at(i))->AsString();
                values << text();
                matched = kt->FindKeyValues(values, k);
            }
            TypedText = text();
            if (TField* f = kt->FindField(index.value(k))) g->DisplayText = f->EditText();
        }
        TextMatched = matched;
    }
    if (g->KeyField()) g->KeyValue = g->KeyField()->AsString();
    if (g->KeyField2()) g->KeyValue2 = g->KeyField2()->AsString();
    if (g->KeyField3()) g->KeyValue3 = g->KeyField3()->AsString();
    if (!FListVisible) g->HighlightRow = -1;
    g->update();
    if (ShowMatchText && matched && LastSearchText != QLatin1String("~~~~") && display) {
        const int start = hasSelectedText() ? selectionStart() : cursorPosition();
        const QString prefix = start == 0 ? text() : text().left(start);
        setText(display->AsString());
        setModified(true);
        setSelection(prefix.size(), text().size() - prefix.size());
        if (!FListVisible) g->HighlightRow = 0;
    }
    LastSearchText = text();
}

// =============================================================================================
// The drop-down

bool TkqDBCustomLookupCombo::IsDroppedDown() const
{
    return FListVisible;
}

int TkqDBCustomLookupCombo::ListHeight() const
{
    const int rowLine = FGrid->ListOptions().Contains(loRowLines) ? 1 : 0;
    return (FGrid->TitleRowOffset * FGrid->TitleLines() + ListRowCount) * (FGrid->DefaultRowHeight() + rowLine) + 2 +
           3 * FGrid->TitleRowOffset;
}

void TkqDBCustomLookupCombo::PlaceDropDown()
{
    if (width() <= 20) return;
    const QPoint p = mapToGlobal(QPoint(0, 0));
    const int listHeight = ListHeight();
    int y = p.y() + height() - (BorderStyle() == 0 ? 0 : 1);
    const TRect work = GetDesktopWorkArea();
    const int workHeight = work.IsEmpty() ? GetSystemMetrics(SM_CYSCREEN) : work.Bottom;
    if (workHeight < y + listHeight) {
        y = p.y() - listHeight + 1;
        if (y < 0) y = p.y() + height() - 1;
    }
    const int lines = FGrid->ColCount() * FGrid->GridLineWidth();
    int w = DropDownListWidth;
    if (w == 0) w = FGrid->MeasureColumns(0) + lines + Button()->width();
    const int desktopWidth = work.IsEmpty() ? GetSystemMetrics(SM_CXSCREEN) : work.Right;
    int x;
    if (ListAlignment == 0) {
        w = std::max(width() - 4, std::min(desktopWidth - p.x() - 2, w));
        x = p.x();
    } else {
        w = std::max(width() - 4, std::min(p.x() + width() - 2, w));
        x = p.x() + width() - w + 1;
    }
    int h = listHeight;
    if (w <= FGrid->MeasureColumns(1) + lines + Button()->width() + 1 && ListRowCount > 0) {
        const int rowLine = FGrid->ListOptions().Contains(loRowLines) ? 1 : 0;
        h = GetSystemMetrics(SM_CYHSCROLL) + (FGrid->DefaultRowHeight() + rowLine) * (FGrid->TitleRowOffset + ListRowCount) +
            5 - (rowLine ? 2 : 0);
    }
    FGrid->setGeometry(x, y, w, h);
}

void TkqDBCustomLookupCombo::DropDown()
{
    TkqDBLookupList* g = FGrid;
    if (g->KeyField() && g->KeyField() == g->DisplayField() && !AutoDropping) FDataLink.UpdateRecord();
    if (OnSearchLookup) {
        FDataLink.UpdateRecord();
        SavedDisplayText = text();
        SavedKeyValue = g->KeyValue;
    }
    if (OnPrepareDropDown) OnPrepareDropDown(this);
    TDataSet* table = LookupTable();
    if (!table) {
        MessageDlg(QStringLiteral("No lookup table specified!"), mtWarning, {mbOK});
        return;
    }
    g->SetColor(TColor(FDropDownOptions->Color));
    g->SetTitleLines(FDropDownOptions->TitleLines);
    g->SetTitleAlignment(TAlignment(FDropDownOptions->TitleAlignment));
    if (FListVisible || width() <= 20) return;
    g->HighlightRow = -1;
    if (Selected().isEmpty()) {
        TField* f = IsCalcFieldLookup() ? g->DisplayField() : table->FindField(SplitFields(LookupField()).value(0));
        if (f)
            SetSelected({f->FieldName() + QLatin1Char('\t') + QString::number(f->DisplayWidth()) + QLatin1Char('\t') +
                         f->DisplayLabel()});
    }
    if (!AutoDropping) {
        if (IsClassOrAncestorNamed(table, "TkqQuery") && GetControlDataSource(table) && DataSource() &&
            DataSource()->DataSet() && DataSource()->DataSet()->CanModify())
            StartEdit();
        g->LocateCurrentValue(true);
    }
    if (UseTFields()) ApplySelectedToFields(table, Selected());
    g->LayoutChanged();
    if (OnDropDown) OnDropDown(this);

    ListRowCount = DropDownRows > 0 ? DropDownRows : 1;
    const QString shownText = text();
    const int selStart = selectionStart(), selLength = selectedText().size();
    auto* kt = qobject_cast<TkqTable*>(table);
    const bool mayShrink = !kt || (!kt->NarrowSearch() && !(kt->SyncSQLByRange() && kt->IsSQLBased()));
    bool shrank = false;
    if (!g->ListOptions().Contains(loFixedDropDownHeight) && mayShrink && table->Active()) {
        // Fewer records than rows: the list is as high as its records, without a scroll bar.
        const int records = table->RecordCount();
        if (records < ListRowCount) {
            ListRowCount = std::max(records, 0);
            shrank = true;
        }
    }
    g->ResizeWhileHidden = true;
    PlaceDropDown();
    g->UpdateRowCount();
    g->ResizeWhileHidden = false;
    g->SetShowVertScrollBar(!shrank);
    g->SetShowHorzScrollBar(g->width() < g->MeasureColumns(1));
    if (shrank) {
        IgnoreDataChange = true;
        setText(shownText);
        IgnoreDataChange = false;
        if (ShowMatchText && AutoDropping) setSelection(selStart, selLength);
        else end(false);
    }
    if (LookupField().isEmpty()) g->DisplayText = text();
    g->SetColumnWidths();
    g->UpdateRowCount();
    g->UpdateScrollBar();
    FListVisible = true;
    g->show();
    LastSearchText = g->DisplayText;
    if (focusPolicy() != Qt::NoFocus && !hasFocus()) setFocus(Qt::OtherFocusReason);
    setReadOnly(!CanEditNow());
    if (!AutoDropping && AllowsTyping() && !(ShowMatchText && selLength > 0 && selStart > 0)) selectAll();
    update();
    InstallMouseHook();
}

void TkqDBCustomLookupCombo::CloseUp(bool accept)
{
    if (InCloseUp) return;
    TkqDBLookupList* g = FGrid;
    TField* display = g->DisplayField();
    if (!FListVisible) {
        // A close request for typed text (the record is written, the focus leaves).
        if (!display) return;
        const bool link = IsCalcFieldLookup();
        if (OnValueNotFound && text() != SavedDisplayText && !InValueNotFound && (link || !display->Calculated())) {
            ApplyLookupOrder(true);
            bool matched = false;
            if (!text().isEmpty()) {
                PerformSearch();
                matched = TextMatched;
            }
            if (!matched) {
                bool acceptText = true;
                if (!text().isEmpty()) {
                    InValueNotFound = true;
                    auto clear = qScopeGuard([this] { InValueNotFound = false; });
                    OnValueNotFound(this, LookupTable(), text(), acceptText);
                    PostPendingButtonUp();
                }
                if (!acceptText) {
                    SetDisplayText(SavedDisplayText);
                    g->KeyValue = SavedKeyValue;
                    setText(SavedDisplayText);
                    if (Focused()) selectAll();
                }
            }
            SavedDisplayText = text();
        } else if (FStyle == csDropDown && g->KeyField() != display && text() != SavedDisplayText && !InValueNotFound &&
                   !TextMatched) {
            SetDisplayText(SavedDisplayText);
            g->KeyValue = SavedKeyValue;
            setText(SavedDisplayText);
            if (Focused()) selectAll();
        }
        return;
    }

    InCloseUp = true;
    auto failure = qScopeGuard([this] {
        FGrid->hide();
        FListVisible = false;
        InValueNotFound = false;
        WritingKeys = false;
        InCloseUp = false;
        update();
        RemoveMouseHook();
    });
    const bool wasMatched = TextMatched;
    bool accepted = false;
    TDataSet* bound = DataSource() ? DataSource()->DataSet() : nullptr;
    const bool link = IsCalcFieldLookup();
    const bool keyIsDisplay = g->KeyField() && g->KeyField() == display;
    const bool writable = FDataLink.Editing() || link || !bound;

    // 1. A typed text that matched no record.
    if (accept && !TextMatched && writable) {
        g->hide();
        FListVisible = false;
        update();
        TextMatched = true;
        if ((FStyle == csDropDown && keyIsDisplay) || OnValueNotFound) {
            accepted = true;
            if (OnValueNotFound && !text().isEmpty()) {
                InValueNotFound = true;
                auto clear = qScopeGuard([this] { InValueNotFound = false; });
                OnValueNotFound(this, LookupTable(), text(), accepted);
                PostPendingButtonUp();
            }
            if (accepted) SavedDisplayText = text();
            if (!accepted) {
                SetDisplayText(SavedDisplayText);
                if (text() != SavedDisplayText) setText(SavedDisplayText);
                SetKeyValue(SavedKeyValue);
                InCloseUp = false;
                failure.dismiss();
                return;
            }
            if (keyIsDisplay) {
                const QString typed = text();
                SetKeyValue(typed);
                SetDisplayText(typed);
                if (Field() && Field()->AsString() != typed) Field()->SetAsString(typed);
            } else if (!link) {
                if (g->KeyField()) g->KeyValue = g->KeyField()->AsString();
                if (!DataSource()) setText(TypedText);
            }
        } else if (FStyle == csDropDown && !keyIsDisplay && text() != SavedDisplayText) {
            SetDisplayText(SavedDisplayText);
            if (!link) g->KeyValue = SavedKeyValue;
            setText(SavedDisplayText);
        }
    }

    // 2. Writing.
    if (accept && writable) {
        if (!bound) {
            if (wasMatched && !accepted && display) setText(keyIsDisplay ? g->KeyValue : display->AsString());
            if (wasMatched) {
                AcceptGridSelection();
            } else if ((!accepted && FStyle == csDropDownList) || !keyIsDisplay) {
                if (AllowClearKey) {
                    setText(QString());
                    g->KeyValue.clear();
                } else if (!accepted) {
                    SetDisplayText(SavedDisplayText);
                    SetKeyValue(SavedKeyValue);
                }
            }
        } else if (link) {
            g->hide();
            FListVisible = false;
            bool modified = false;
            WriteKeyFields(modified);
            accept = modified;
            if (Field()) setText(Field()->AsString());
            SelectAllIfTyping();
        } else {
            accept = false;
            if (g->HighlightRow >= 0)
                for (TField* key : {g->KeyField2(), g->KeyField3()})
                    if (key)
                        if (TField* target = bound->FindField(key->FieldName()); target && target->AsString() != key->AsString()) {
                            target->SetAsString(key->AsString());
                            accept = true;
                        }
            if (Field() && Field()->AsString() != g->KeyValue) accept = true;
            if (accept) {
                WritingKeys = true;
                try {
                    if (FStyle == csDropDownList && !wasMatched && !keyIsDisplay) setText(g->DisplayText);
                    if (Field()) Field()->SetAsString(g->KeyValue);
                } catch (...) {
                    if (!hasFocus()) {
                        g->DisplayText = SavedDisplayText;
                        g->KeyValue = SavedKeyValue;
                        setText(SavedDisplayText);
                    }
                    update();
                    throw;
                }
            } else if (FStyle == csDropDownList && !wasMatched) {
                if (OnValueNotFound && !accepted) {
                    g->DisplayText = SavedDisplayText;
                    g->KeyValue = SavedKeyValue;
                }
                setText(SavedDisplayText);
            }
            WritingKeys = false;
            update();
        }
    } else {
        accept = false;
    }

    // 3. The list goes.
    g->hide();
    FListVisible = false;
    update();
    // 4. The table's cursor is found again.
    if (accept) {
        if (TDataSet* table = LookupTable(); table && table->Active()) {
            auto* kt = qobject_cast<TkqTable*>(table);
            if (kt) ++kt->FindInProgress;
            auto lower = qScopeGuard([kt] {
                if (kt) --kt->FindInProgress;
            });
            table->UpdateCursorPos();
            table->Resync();
        }
        SavedDisplayText = text();
        SavedKeyValue = g->KeyValue;
    }
    // 5.
    setModified(accept);
    failure.dismiss();
    if (OnCloseUp) OnCloseUp(this, LookupTable(), DataSource() ? bound : nullptr, accept);
    InCloseUp = false;
    RemoveMouseHook();
}
