// The lookup combo's grid of lookup records and the searches in the lookup table.

#include "gridlib/editors/kqdblook.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqtable.h"
#include "gridlib/core/kqdbservices.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqlookup.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QScopeGuard>

namespace {

const char* const DuplicateSourceText = "Unable to use duplicate DataSource and LookupSource";

TkqTable* AsKqTable(TDataSet* dataSet) { return qobject_cast<TkqTable*>(dataSet); }

bool IsStringField(const TField* field)
{
    return field && (field->DataType() == ftString || field->DataType() == ftWideString ||
                     field->DataType() == ftFixedChar);
}

// The items of a ";" list, blanks trimmed.
QStringList SplitFields(const QString& fields)
{
    QStringList items;
    for (const QString& item : fields.split(QLatin1Char(';'))) items << item.trimmed();
    return items;
}

// Raises the table's find-in-progress counter for a scope.
struct TFindGuard {
    TkqTable* Table;
    explicit TFindGuard(TkqTable* table) : Table(table)
    {
        if (Table) ++Table->FindInProgress;
    }
    ~TFindGuard()
    {
        if (Table) --Table->FindInProgress;
    }
};

} // namespace

// =============================================================================================
// TkqDBLookupList

TkqDBLookupList::TkqDBLookupList(TkqDBCustomLookupCombo* combo, QWidget* parent)
    : TkqCustomDBGrid(parent), FCombo(combo), FLookupSource(new TDataSource(this))
{
    SetOptions(TkqDBGridOptions{dgRowSelect, dgRowLinesDisableFixed});
    SetFixedCols(0);
    SetFixedRows(0);
    resize(121, 97);
    // Sizing a column of the list changes neither the fields' widths nor the Selected list.
    SetUpdateFieldsOnResize(false);
    SetDataSource(FLookupSource);
}

TkqDBLookupList::~TkqDBLookupList()
{
    FCombo = nullptr;
}

TDataSet* TkqDBLookupList::LookupTable() const
{
    return FLookupSource->DataSet();
}

bool TkqDBLookupList::LookupActive() const
{
    return DataLink()->Active();
}

void TkqDBLookupList::SetLookupTable(TDataSet* table)
{
    if (table && FCombo && FCombo->DataSource() && FCombo->DataSource()->DataSet() == table)
        throw EInvalidOperation(QString::fromLatin1(DuplicateSourceText));
    if (table == LookupTable()) return;
    FLookupSource->SetDataSet(table);
    LookupChanged();
}

void TkqDBLookupList::SetLookupField(const QString& fields)
{
    if (fields == FLookupField) return;
    FLookupField = fields;
    LookupChanged();
}

void TkqDBLookupList::SetListOptions(TkqDBLookupListOptions options)
{
    if (options == FListOptions) return;
    FListOptions = options;
    TitleRowOffset = 0;
    TkqDBGridOptions grid{dgRowSelect, dgRowLinesDisableFixed};
    if (options.Contains(loColLines)) grid.Include(dgColLines);
    if (options.Contains(loRowLines)) grid.Include(dgRowLines);
    if (options.Contains(loTitles)) {
        grid.Include(dgTitles);
        TitleRowOffset = 1;
    }
    SetOptions(grid);
}

void TkqDBLookupList::LookupChanged()
{
    UpdateKeyFields(true);
    LayoutChanged();
    KeyValue.clear();
    KeyValue2.clear();
    KeyValue3.clear();
}

void TkqDBLookupList::UpdateKeyFields(bool raiseIfMissing)
{
    FKeyField = FKeyField2 = FKeyField3 = FDisplayField = nullptr;
    TDataSet* table = LookupTable();
    if (!LookupActive() || !table || FLookupField.isEmpty()) return;
    const QStringList items = SplitFields(FLookupField);
    FKeyField = table->FindField(items.value(0));
    if (items.size() > 1) FKeyField2 = table->FindField(items.at(1));
    if (items.size() > 2) FKeyField3 = table->FindField(items.at(2));
    if (!FKeyField && raiseIfMissing)
        throw EInvalidOperation(QStringLiteral("Field '%1' not found").arg(FLookupField));
    if (FCombo && FCombo->IsCalcFieldLookup()) {
        TDataSet* bound = FCombo->DataSource()->DataSet();
        TField* bf = FCombo->Field();
        if (Selected().isEmpty()) {
            // A lookup field of the dataset names its result field itself.
            const QString result = bf && bf->Lookup() ? bf->LookupResultField()
                                                      : GetLookupResultFieldName(bound, FCombo->DataField());
            FDisplayField = table->FindField(result);
        }
        QStringList lookupHalves;
        if (bf && bf->Lookup()) {
            lookupHalves = SplitFields(bf->LookupKeyFields());
        } else {
            const QStringList pairs = SplitFields(GetLookupLinkEntry(bound, FCombo->DataField()));
            for (int i = 1; i < pairs.size(); i += 2) lookupHalves << pairs.at(i);
        }
        QPointer<TField>* targets[] = {&FKeyField, &FKeyField2, &FKeyField3};
        for (int i = 0; i < lookupHalves.size() && i < 3; ++i) {
            if (lookupHalves.at(i).isEmpty()) break;
            *targets[i] = table->FindField(lookupHalves.at(i));
        }
    }
    if (FKeyField) {
        if (!Selected().isEmpty()) {
            const QString first = Selected().first();
            const int tab = first.indexOf(QLatin1Char('\t'));
            FDisplayField = tab < 0 ? nullptr : table->FindField(first.left(tab));
        }
        if (!FDisplayField) FDisplayField = FKeyField;
    }
}

void TkqDBLookupList::SetKeyValue(const QString& value)
{
    if (!FCombo) return;
    if (LookupActive() && FCombo->DataLink().Active() && FCombo->DataSource() &&
        FCombo->DataSource()->DataSet() == LookupTable())
        throw EInvalidOperation(QString::fromLatin1(DuplicateSourceText));
    if (value == KeyValue && Row() != TitleRowOffset) return;
    if (!LookupActive() || !FKeyField) return;
    KeyValue = value;
    HighlightRow = -1;
    if (DataChangeDepth > 0 && FCombo->IsCalcFieldLookup()) {
        DisplayText = FCombo->Field() ? FCombo->Field()->AsString() : QString();
    } else if (FKeyField == FDisplayField) {
        DisplayText = value;
    } else if (FCombo->isVisible() || !ParentIsNamed(FCombo, "TkqCustomDBGrid")) {
        LocateCurrentValue(false);
        DisplayText = ValueFound && FDisplayField ? FDisplayField->AsString() : QString();
    }
}

void TkqDBLookupList::SetDisplayText(const QString& text)
{
    if (!FCombo || !(DisplayText != text || Row() == TitleRowOffset)) return;
    if (!LookupActive() || !FDisplayField) return;
    HighlightRow = -1;
    TkqTable* kt = AsKqTable(LookupTable());
    const bool caseSensitive = FCombo->SeqSearchOptions.Contains(ssoCaseSensitive);
    bool found;
    if (FCombo->NeedsGenericSearch()) {
        found = FCombo->FindValue(KeyValue, FLookupField, false, caseSensitive, false);
    } else if (kt && FKeyField2) {
        QStringList values{KeyValue, FCombo->SyncKeyValue2()};
        if (FKeyField3) values << FCombo->SyncKeyValue3();
        found = kt->FindKeyValues(values, int(values.size()) - 1);
    } else if (FCombo->LookupTableIsDetail()) {
        found = FCombo->FindByIndex(KeyValue, FLookupField, false);
    } else if (kt && !kt->ActiveIndexFields().isEmpty()) {
        found = kt->FindKeyValues({KeyValue}, 0);
    } else {
        found = kt && kt->FindByFieldValue(KeyValue, FLookupField, 0, caseSensitive);
    }
    FCombo->TextMatched = found;
    FCombo->TypedText = FCombo->text();
    if (FCombo->CurrentSearchText().isEmpty()) FCombo->TextMatched = true;
    DisplayText = text;
    if (FKeyField == FDisplayField) {
        KeyValue = DisplayText;
    } else if (found) {
        KeyValue = FKeyField->AsString();
    } else {
        DisplayText.clear();
        KeyValue.clear();
    }
}

void TkqDBLookupList::LocateCurrentValue(bool displayOrder)
{
    ValueFound = false;
    if (!FCombo || !(FCombo->isVisible() || !ParentIsNamed(FCombo, "TkqCustomDBGrid"))) return;
    TDataSet* table = LookupTable();
    if (!table || !table->Active()) return;
    TkqTable* kt = AsKqTable(table);
    TFindGuard guard(kt);

    if (FCombo->IsCalcFieldLookup()) {
        TDataSet* bound = FCombo->DataSource()->DataSet();
        TField* bf = FCombo->Field();
        QStringList boundHalves, lookupHalves;
        if (bf && bf->Lookup()) {
            const QStringList keys = SplitFields(bf->KeyFields());
            const QStringList lookups = SplitFields(bf->LookupKeyFields());
            for (int i = 0; i < keys.size() && i < lookups.size(); ++i) {
                if (keys.at(i).isEmpty() || lookups.at(i).isEmpty()) break;
                boundHalves << keys.at(i);
                lookupHalves << lookups.at(i);
            }
        } else {
            const QStringList pairs = SplitFields(GetLookupLinkEntry(bound, FCombo->DataField()));
            for (int i = 0; i + 1 < pairs.size(); i += 2) {
                boundHalves << pairs.at(i);
                lookupHalves << pairs.at(i + 1);
            }
        }
        bool found = false;
        const bool detail = FCombo->LookupTableIsDetail();
        auto searchLastPair = [&] {
            if (boundHalves.isEmpty()) throw EListError(QStringLiteral("List index out of bounds (0)"));
            const QString value = bound->FieldByName(boundHalves.last())->AsString();
            const QString lookupField = lookupHalves.last();
            if (kt) {
                if (!detail) FCombo->ApplyLookupOrder(false);
                return FCombo->FindByIndex(value, lookupField, false);
            }
            return FCombo->FindValue(value, lookupField, false, false, false);
        };
        if (bf && bf->Lookup()) {
            found = searchLastPair();
        } else if (kt && !detail) {
            kt->InLookup = true;
            auto clear = qScopeGuard([kt] { kt->InLookup = false; });
            QString keyName;
            found = PositionLookupTable(bound, kt, FCombo->DataField(), keyName);
        } else {
            found = searchLastPair();
        }
        if (displayOrder) FCombo->ApplyLookupOrder(true);
        ValueFound = found;
        if (found) {
            if (FKeyField) KeyValue = FKeyField->AsString();
            if (FKeyField2) KeyValue2 = FKeyField2->AsString();
            if (FKeyField3) KeyValue3 = FKeyField3->AsString();
        } else {
            table->First();
            KeyValue.clear();
            if (FKeyField2) KeyValue2.clear();
            if (FKeyField3) KeyValue3.clear();
            repaint();
        }
        return;
    }

    if (!FLookupField.isEmpty()) FCombo->ApplyLookupOrder(false);
    if (table->State() == dsSetKey) return;
    const bool bound = FCombo->DataSource() && FCombo->DataSource()->DataSet();
    if (!bound && FKeyField && FKeyField == FDisplayField) {
        KeyValue = FCombo->text();
        DisplayText = FCombo->text();
    }
    LocateBoundValue();
    if (displayOrder) {
        FCombo->TextMatched = ValueFound;
        FCombo->TypedText = FCombo->text();
        if (FCombo->CurrentSearchText().isEmpty()) FCombo->TextMatched = true;
        FCombo->ApplyLookupOrder(true);
        if (!ValueFound) table->First();
    }
}

void TkqDBLookupList::LocateBoundValue()
{
    ValueFound = false;
    if (!FCombo || !(FCombo->isVisible() || !ParentIsNamed(FCombo, "TkqCustomDBGrid"))) return;
    TDataSet* table = LookupTable();
    if (FLookupField.isEmpty() || !table || !table->Active()) return;
    const QString value = FCombo->Field() ? FCombo->Field()->AsString() : KeyValue;
    TkqTable* kt = AsKqTable(table);
    const bool caseSensitive = FCombo->SeqSearchOptions.Contains(ssoCaseSensitive);
    if (FCombo->NeedsGenericSearch()) {
        if (FKeyField2 && !kt && !FCombo->OnSearchLookup) {
            // Any other dataset finds several key values at once through its Locate (an index
            // on the key fields answers it by halving).
            QStringList fields = SplitFields(FLookupField).mid(0, FKeyField3 ? 3 : 2);
            std::vector<TVariant> values{TVariant(value), TVariant(FCombo->SyncKeyValue2())};
            if (FKeyField3) values.push_back(TVariant(FCombo->SyncKeyValue3()));
            TLocateOptions options;
            if (!caseSensitive) options |= loCaseInsensitive;
            try {
                ValueFound = table->Locate(fields.join(QLatin1Char(';')), TVariant::ArrayOf(std::move(values)), options);
            } catch (const EDatabaseError&) {
                ValueFound = false;
            }
        } else {
            ValueFound = FCombo->FindValue(value, FLookupField, false, caseSensitive, true);
        }
    } else if (kt && FKeyField2) {
        QStringList values{value, FCombo->SyncKeyValue2()};
        if (FKeyField3) values << FCombo->SyncKeyValue3();
        ValueFound = kt->FindKeyValues(values, int(values.size()) - 1);
    } else if (FCombo->LookupTableIsDetail()) {
        ValueFound = FCombo->FindByIndex(value, FLookupField, false);
    } else if (kt) {
        ValueFound = kt->FindKeyValues({value}, 0);
    }
}

bool TkqDBLookupList::CanChangeValue() const
{
    return true;
}

void TkqDBLookupList::RecordChosen()
{
    if (FCombo && CanChangeValue() && !FCombo->ReadOnly() && FDisplayField) {
        DisplayText = FDisplayField->AsString();
        KeyValue = FKeyField == FDisplayField ? DisplayText : (FKeyField ? FKeyField->AsString() : QString());
        if (FKeyField2) KeyValue2 = FKeyField2->AsString();
        if (FKeyField3) KeyValue3 = FKeyField3->AsString();
        // The chosen record is the one the row marks, also before the list paints again.
        HighlightRow = DataLink()->ActiveRecord();
    }
    if (OnClick) OnClick(this);
}

void TkqDBLookupList::DefineFieldMap()
{
    UpdateKeyFields(false);
    if (!FKeyField) return;
    TkqCustomDBGrid::DefineFieldMap();
}

int TkqDBLookupList::MeasureColumns(int skip) const
{
    const QFontMetrics digits(Font().Font);
    const QFontMetrics titles(TitleFont().Font);
    int width = GetSystemMetrics(SM_CXVSCROLL) + 1;
    TDataSet* table = LookupTable();
    if (UseTFields() && table) {
        const int n = GetFieldCount();
        for (int i = 0; i < n - skip; ++i) {
            TField* f = GetField(i);
            if (!f) continue;
            int w = digits.horizontalAdvance(QLatin1Char('0')) * f->DisplayWidth() + GridLineWidth();
            if (FListOptions.Contains(loTitles)) w = std::max(w, titles.horizontalAdvance(f->DisplayLabel()));
            width += w;
        }
    } else {
        const QStringList lines = Selected();
        for (int i = 0; i < lines.size() - skip; ++i) {
            int w = digits.horizontalAdvance(QLatin1Char('0')) * SelectedPart(lines.at(i), 1).toInt() + GridLineWidth();
            if (FListOptions.Contains(loTitles)) w = std::max(w, titles.horizontalAdvance(SelectedPart(lines.at(i), 2)));
            width += w;
        }
    }
    return width;
}

void TkqDBLookupList::SetColumnWidths()
{
    TkqCustomDBGrid::SetColumnWidths();
    const int n = ColCount();
    if (n < 1) return;
    int s = 0;
    for (int i = 0; i < n - 1; ++i) s += ColWidths(i) + (FListOptions.Contains(loColLines) ? 1 : 0);
    const int client = GetClientRect().Width();
    if (n == 1 || s < client - 15) SetColWidths(n - 1, client - s);
}

void TkqDBLookupList::resizeEvent(QResizeEvent* event)
{
    TkqCustomDBGrid::resizeEvent(event);
    if (!isVisible() && !ResizeWhileHidden) return;
    SetColumnWidths();
}

bool TkqDBLookupList::HighlightCell(int dataCol, int dataRow, TGridDrawState state, const QString& text)
{
    Q_UNUSED(dataCol);
    Q_UNUSED(state);
    Q_UNUSED(text);
    if (!LookupActive() || !FKeyField) return false;
    if (CanChangeValue() && (FSelecting || KeyboardSelecting)) {
        const bool on = dataRow + TitleRowOffset == Row();
        if (on) HighlightRow = dataRow;
        return on;
    }
    // The grid's painting has the row's record active: the highlight follows the key values,
    // not the table's current record.
    bool on = KeyValue == FKeyField->AsString();
    if (on && FKeyField2) on = KeyValue2 == FKeyField2->AsString();
    if (on && FKeyField3) on = KeyValue3 == FKeyField3->AsString();
    if (on) HighlightRow = dataRow;
    return on;
}

void TkqDBLookupList::Scroll(int distance)
{
    if (isVisible() && HighlightRow >= 0) {
        HighlightRow -= distance;
        if (HighlightRow < 0 || HighlightRow >= DataLink()->RecordCount()) HighlightRow = -1;
    }
    TkqCustomDBGrid::Scroll(distance);
}

bool TkqDBLookupList::CanGridAcceptKey(int key, TShiftState shift)
{
    if (key == VK_INSERT) return false;
    const bool navigation = key == VK_PRIOR || key == VK_NEXT || key == VK_END || key == VK_HOME || key == VK_LEFT ||
                            key == VK_UP || key == VK_RIGHT || key == VK_DOWN;
    if (!navigation) return TkqCustomDBGrid::CanGridAcceptKey(key, shift);
    if (FCombo) FCombo->setModified(true);
    const bool arrow = key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN;
    if (arrow && !CanChangeValue()) return false;
    TDataSet* table = LookupTable();
    if (!table || !table->Active()) return true;
    if (HighlightRow >= 0) {
        // Navigation starts from the chosen record.
        if (HighlightRow != DataLink()->ActiveRecord()) DataLink()->MoveBy(HighlightRow - DataLink()->ActiveRecord());
        return true;
    }
    if (ValueFound) {
        LocateCurrentValue(true);
        return true;
    }
    table->First();
    int zero = 0;
    DoKeyDownEvent(zero, shift);
    update();
    RecordChosen();
    return false;
}

void TkqDBLookupList::KeyDown(int& key, TShiftState shift)
{
    const int original = key;
    if (!CanGridAcceptKey(key, shift)) {
        key = 0;
        return;
    }
    KeyboardSelecting = true;
    {
        auto clear = qScopeGuard([this] { KeyboardSelecting = false; });
        TkqCustomDBGrid::KeyDown(key, shift);
    }
    if ((original == VK_PRIOR || original == VK_NEXT || original == VK_END || original == VK_HOME ||
         original == VK_UP || original == VK_DOWN) && CanChangeValue()) {
        update();
        RecordChosen();
    }
}

void TkqDBLookupList::KeyPress(QChar& key)
{
    TkqCustomDBGrid::KeyPress(key);
    if (key == QChar(27)) key = QChar();
}

void TkqDBLookupList::FollowCurrentRow()
{
    const int dataRow = Row() - TitleRowOffset;
    if (dataRow >= 0 && dataRow != DataLink()->ActiveRecord()) DataLink()->MoveBy(dataRow - DataLink()->ActiveRecord());
}

void TkqDBLookupList::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button != mbLeft || !LookupActive() || !FDisplayField) return;
    const TGridCoord cell = MouseCoord(x, y);
    if (cell.Y < TitleRowOffset || cell.Y < 0) return;
    const int dataRow = cell.Y - TitleRowOffset;
    if (dataRow >= DataLink()->RecordCount()) return;
    FSelecting = true;
    if (HighlightRow >= 0 && HighlightRow != dataRow) InvalidateRow(HighlightRow + TitleRowOffset);
    InvalidateRow(cell.Y);
    SetRow(cell.Y);
    FollowCurrentRow();
    Q_UNUSED(shift);
}

void TkqDBLookupList::MouseMove(TShiftState shift, int x, int y)
{
    if (!FSelecting) {
        TkqCustomDBGrid::MouseMove(shift, x, y);
        return;
    }
    const TGridCoord cell = MouseCoord(x, y);
    if (cell.Y >= TitleRowOffset && cell.Y - TitleRowOffset < DataLink()->RecordCount() && cell.Y != Row()) {
        SetRow(cell.Y);
        FollowCurrentRow();
        update();
    }
}

void TkqDBLookupList::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    Q_UNUSED(button);
    Q_UNUSED(shift);
    Q_UNUSED(x);
    Q_UNUSED(y);
    if (!FSelecting) return;
    FSelecting = false;
    FollowCurrentRow();
    RecordChosen();
}

void TkqDBLookupList::LinkActive(bool value)
{
    TkqCustomDBGrid::LinkActive(value);
    if (value && FCombo && !FCombo->InSearchEvent) SetKeyValue(QString());
}

void TkqDBLookupList::DataChanged()
{
    TkqCustomDBGrid::DataChanged();
    if (!FCombo || !FCombo->LookupTableIsDetail()) return;
    TkqTable* kt = AsKqTable(LookupTable());
    if (kt->MasterFields().isEmpty() || kt->State() != dsBrowse || !FCombo->Field()) return;
    if (kt->FindInProgress <= 0 && DataChangeDepth == 0) {
        // The shown value follows a moved master.
        KeyValue.clear();
        ++DataChangeDepth;
        auto lower = qScopeGuard([this] { --DataChangeDepth; });
        FCombo->DataChange();
    }
}

// =============================================================================================
// TkqPopupGrid

TkqPopupGrid::TkqPopupGrid(TkqDBCustomLookupCombo* combo) : TkqDBLookupList(combo, combo)
{
    // A window of its own that never takes the focus: the edit keeps it.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    SetTakeFocusOnClick(false);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    SetPadColumnStyle(pcsPlain);
    hide();
}

bool TkqPopupGrid::CanChangeValue() const
{
    TkqDBCustomLookupCombo* combo = OwnerCombo();
    if (!combo) return false;
    TFieldDataLink& link = combo->DataLink();
    if (!link.DataSource() || link.Editing()) return true;
    if (combo->IsCalcFieldLookup()) {
        TDataSource* source = link.DataSource();
        return source->State() == dsEdit || source->State() == dsInsert || source->AutoEdit();
    }
    return false;
}

void TkqPopupGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OwnerCombo()) OwnerCombo()->StartEdit();
    TkqDBLookupList::MouseDown(button, shift, x, y);
}

void TkqPopupGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    const bool selecting = FSelecting;
    TkqDBLookupList::MouseUp(button, shift, x, y);
    // A release on the title row, or after a press elsewhere, closes the list too.
    Q_UNUSED(selecting);
    if (OwnerCombo() && button == mbLeft) OwnerCombo()->CloseUp(true);
}

void TkqPopupGrid::LinkActive(bool value)
{
    TkqCustomDBGrid::LinkActive(value);
    TkqDBCustomLookupCombo* combo = OwnerCombo();
    if (!value || !combo) return;
    if (!KeyField()) UpdateKeyFields(true);
    if (!combo->InSearchEvent) {
        SetKeyValue(QString());
        combo->DataChange();
    }
}

// =============================================================================================
// Searching in the lookup table

bool TkqDBCustomLookupCombo::NeedsGenericSearch() const
{
    TkqTable* kt = AsKqTable(LookupTable());
    if (kt) {
        kt->EnsureIndexDefs();
        if (kt->IndexDefs().Count() > 0) return kt->ActiveIndexFields().isEmpty() || bool(OnSearchLookup);
    }
    return true;
}

int TkqDBCustomLookupCombo::IndexPositionOfSearchField() const
{
    TDataSet* table = LookupTable();
    if (!IsTableWithIndex(table)) return -1;
    if (IndexSearchField.isEmpty()) return 0;
    const QStringList fields = AsKqTable(table)->ActiveIndexFields();
    for (int i = 0; i < fields.size(); ++i)
        if (fields.at(i).compare(IndexSearchField, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void TkqDBCustomLookupCombo::ApplyLookupOrder(bool displayOrder)
{
    auto* table = qobject_cast<TTable*>(LookupTable());
    if (!table || !table->Active()) return;
    TkqTable* kt = AsKqTable(table);
    if (kt && !kt->Query().isEmpty()) return;
    const QString lookupField = LookupField();
    if (!displayOrder) {
        if (table->MasterSource()) {
            const QStringList items = SplitFields(lookupField);
            if (!lookupField.isEmpty()) IndexSearchField = items.last();
            const QString remembered = table->FieldByName(IndexSearchField)->AsString();
            if (kt) kt->ChooseIndexForFields(lookupField);
            FindByIndex(remembered, IndexSearchField, false);
        } else if (kt) {
            kt->ChooseIndexForFields(lookupField);
        } else {
            table->SetIndexFieldNames(lookupField);
        }
        return;
    }
    if (!OrderByDisplay) return;
    QString orderField, remembered;
    QStringList selected = Selected();
    if (!selected.isEmpty()) {
        orderField = SelectedPart(selected.first(), 0);
        if (TField* f = table->FindField(orderField)) remembered = f->AsString();
    } else {
        orderField = SplitFields(lookupField).value(0);
        TField* f = IsCalcFieldLookup() ? FGrid->DisplayField() : table->FindField(orderField);
        if (f) {
            SetSelected({f->FieldName() + QLatin1Char('\t') + QString::number(f->DisplayWidth()) + QLatin1Char('\t') +
                         f->DisplayLabel()});
            selected = Selected();
        }
    }
    if (kt) kt->ChooseIndexForSelected(selected);
    else SelectIndexForFields(table, orderField);
    if (table->MasterSource() && !selected.isEmpty()) {
        IndexSearchField = SelectedPart(selected.first(), 0);
        FindByIndex(remembered, IndexSearchField, false);
    }
}

bool TkqDBCustomLookupCombo::FindValue(const QString& value, const QString& fieldName, bool partial,
                                       bool caseSensitive, bool forDisplay)
{
    if (InSearchEvent) return false;
    TDataSet* table = LookupTable();
    if (!table) return false;
    bool result = false;
    TkqTable* kt = AsKqTable(table);
    if (kt && !OnSearchLookup) {
        if (!kt->Active()) return false;
        result = kt->FindByFieldValue(value, fieldName, partial ? 1 : 0, caseSensitive);
    } else {
        if (!table->Active() && !OnSearchLookup) return false;
        TField* field = table->Active() ? table->FindField(fieldName) : nullptr;
        if (!fieldName.contains(QLatin1Char(';')) && field && field->AsString() == value) {
            FGrid->update();
            return true;
        }
        QString v = value;
        if (IsStringField(field) && field->Size() > 0 && field->Size() < text().size()) v = v.left(field->Size());
        if (OnSearchLookup) {
            if ((field && !IsValidSearchText(field, v)) || v.isEmpty()) {
                FGrid->update();
                return false;
            }
            IgnoreDataChange = true;
            InSearchEvent = true;
            auto clear = qScopeGuard([this] {
                IgnoreDataChange = false;
                InSearchEvent = false;
            });
            DoSearchLookup(fieldName, v, forDisplay, result);
        } else {
            if (!field || !IsValidSearchText(field, v) || v.isEmpty()) {
                FGrid->update();
                return false;
            }
            const int matchType = partial ? 1 : 0;
            if (!KqIntl()->UseLocateMethodForSearch) {
                result = MoveToFieldValue(table, v, fieldName, matchType, caseSensitive);
            } else if (field->Calculated() || field->Lookup()) {
                result = MoveToFieldValue(table, v, fieldName, matchType, false);
            } else if (!IsClassOrAncestorNamed(table, "TkqQuery")) {
                TBusyCursor busy;
                TLocateOptions options;
                if (partial) options |= loPartialKey;
                if (!caseSensitive) options |= loCaseInsensitive;
                result = table->Locate(fieldName, TVariant(v), options);
            } else {
                TBusyCursor busy;
                result = table->Locate(fieldName, TVariant(v),
                                       partial ? TLocateOptions(loPartialKey | loCaseInsensitive) : TLocateOptions());
            }
        }
    }
    if (result) {
        TField* f = table->FieldByName(fieldName);
        if (!f->AsString().toUpper().contains(value.toUpper())) result = false;
    }
    return result;
}

bool TkqDBCustomLookupCombo::FindByIndex(const QString& value, const QString& fieldName, bool partial)
{
    TDataSet* table = LookupTable();
    TkqTable* kt = AsKqTable(table);
    if (!kt || !kt->Active()) return FindValue(value, fieldName, partial, SeqSearchOptions.Contains(ssoCaseSensitive), false);
    const int n = kt->MasterSource() ? int(SplitFields(kt->MasterFields()).size()) : 0;
    const QStringList index = kt->ActiveIndexFields();
    const bool generic = index.size() <= n || index.at(n).compare(fieldName, Qt::CaseInsensitive) != 0;
    if (!partial) {
        if (TField* f = kt->FindField(fieldName); f && f->AsString().compare(value, Qt::CaseInsensitive) == 0)
            return true;
    }
    const bool caseSensitive = SeqSearchOptions.Contains(ssoCaseSensitive);
    if (generic) return kt->FindByFieldValue(value, fieldName, partial ? 1 : 0, caseSensitive);
    if (kt->MasterSource()) return kt->FindByText(value, n);
    const int k = IndexPositionOfSearchField();
    if (k == -1) return FindValue(value, fieldName, partial, caseSensitive, false);
    return kt->FindByText(value, k);
}

void TkqDBCustomLookupCombo::DoSearchLookup(const QString& fieldName, const QString& value, bool forDisplay,
                                            bool& found)
{
    if (OnSearchLookup) OnSearchLookup(this, LookupTable(), fieldName, value, forDisplay, found);
}
