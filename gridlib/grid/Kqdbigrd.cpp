// The data grid's column model, layout, data link, record tracking and editing operations.

#include "gridlib/grid/Kqdbigrd.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqpict.h"
#include "gridlib/core/kqSystem.h"
#include "gridlib/core/Kqstr.h"
#include "platform/vcl/Dialogs.h"
#include "platform/core/SysFormat.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFontMetrics>
#include <QScopedValueRollback>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace {

// Counts a nesting level up for the life of the guard, also when an exception leaves.
struct TCountGuard {
    int& Count;
    explicit TCountGuard(int& count) : Count(count) { ++Count; }
    ~TCountGuard() { --Count; }
};

int TextHeightOf(const QFont& font) { return QFontMetrics(font).height(); }
int TextWidthOf(const QFont& font, const QString& text) { return QFontMetrics(font).horizontalAdvance(text); }

// Parts of a Selected line (TAB separated) as they stand, for rebuilding it.
int SelectedPartCount(const QString& line) { return int(line.count(QLatin1Char('\t'))) + 1; }

} // namespace

// =============================================================================================
// TkqGridLineColors

void TkqGridLineColors::Set(TColor& field, TColor color)
{
    if (field == color) return;
    field = color;
    if (FGrid) FGrid->InvalidateGrid();
}

// =============================================================================================
// TkqColumn

bool TkqColumn::IsDummy() const { return this == FGrid->FDummyColumn.get(); }

QString TkqColumn::SelectedLine() const
{
    const int i = FindSelectedEntry(FGrid->FSelected, FFieldName);
    return i >= 0 ? FGrid->FSelected.at(i) : QString();
}

int TkqColumn::DisplayWidth() const
{
    if (IsDummy()) return 0;
    return StrToInt(SelectedPart(SelectedLine(), 1));
}

QString TkqColumn::DisplayLabel() const
{
    if (IsDummy()) return {};
    if (FGrid->FUseTFields) {
        if (TDataSet* ds = FGrid->DataSet())
            if (TField* f = ds->FindField(FFieldName)) return f->DisplayLabel();
    }
    return SelectedPart(SelectedLine(), 2);
}

void TkqColumn::SetDisplayLabel(const QString& label)
{
    if (IsDummy()) return;
    {
        TCountGuard lock(FGrid->FLayoutLock);
        const int i = FindSelectedEntry(FGrid->FSelected, FFieldName);
        if (i >= 0) FGrid->FSelected[i] = WithSelectedPart(FGrid->FSelected.at(i), 2, label);
        if (FGrid->FUseTFields)
            if (TDataSet* ds = FGrid->DataSet())
                if (TField* f = ds->FindField(FFieldName)) f->SetDisplayLabel(label);
        FGrid->SetColumnWidths();
    }
    FGrid->InvalidateGrid();
}

bool TkqColumn::ReadOnly() const
{
    if (IsDummy()) return false;
    return SelectedPart(SelectedLine(), 3) == QLatin1String("T");
}

QString TkqColumn::GroupHeaderName() const
{
    if (IsDummy() || FGrid->FSelected.isEmpty()) return {};
    return SelectedPart(SelectedLine(), 4);
}

void TkqColumn::SetFooterText(const QString& text)
{
    if (IsDummy() || text == FFooterText) return;
    FFooterText = text;
    FGrid->viewport()->update();
}

// =============================================================================================
// TkqGridDataLink

TkqGridDataLink::TkqGridDataLink(TkqCustomDBGrid* grid) : FGrid(grid) { SetVisualControl(true); }

TkqGridDataLink::~TkqGridDataLink() = default;

bool TkqGridDataLink::AddFieldMapping(const QString& fieldName)
{
    if (FMapCount >= MaxMapSize)
        throw EInvalidGridOperation(QStringLiteral("Grid requested to display more than 256 columns"));
    TDataSet* ds = DataSet();
    TField* field = ds ? ds->FindField(fieldName) : nullptr;
    if (!field) return false;
    if (FMapCount == FMapCapacity) {
        int capacity = FMapCapacity == 0 ? 8 : FMapCapacity * 2;
        if (capacity > MaxMapSize || capacity < FMapCount) capacity = MaxMapSize;
        auto map = std::make_unique<int[]>(size_t(capacity));
        std::copy(FFieldMap.get(), FFieldMap.get() + FMapCount, map.get());
        FFieldMap = std::move(map);
        FMapCapacity = capacity;
    }
    FFieldMap[size_t(FMapCount++)] = field->Index();
    return true;
}

void TkqGridDataLink::ClearFieldMap()
{
    FFieldMap.reset();
    FMapCount = FMapCapacity = 0;
}

bool TkqGridDataLink::IsDefaultFields() const
{
    TDataSet* ds = DataSet();
    return !ds || ds->DefaultFields();
}

void TkqGridDataLink::ActiveChanged() { FGrid->LinkActive(Active()); }

void TkqGridDataLink::DataSetChanged()
{
    FGrid->DataChanged();
    FModified = false;
}

void TkqGridDataLink::DataSetScrolled(int distance)
{
    // A jump past the whole window is a new set of rows, as a resynchronised dataset reports it.
    if (std::abs(distance) >= BufferCount()) DataSetChanged();
    else FGrid->Scroll(distance);
}

void TkqGridDataLink::EditingChanged() { FGrid->EditingChanged(); }

void TkqGridDataLink::FocusControl(TField*& field) { FGrid->FocusControl(field); }

void TkqGridDataLink::LayoutChanged() { FGrid->LayoutChanged(); }

void TkqGridDataLink::RecordChanged(TField* field) { FGrid->RecordChanged(field); }

void TkqGridDataLink::UpdateData()
{
    QScopedValueRollback<bool> inUpdate(FInUpdateData, true);
    if (FModified) FGrid->WriteEditText();
    FModified = false;
}

void TkqGridDataLink::Reset()
{
    if (FModified) {
        // Only the editor's text is dropped; the row shows the field again.
        FGrid->RecordChanged(nullptr);
        return;
    }
    TDataSet* ds = DataSet();
    if (!ds) return;
    const TDataSetState state = ds->State();
    if ((state == dsEdit || state == dsInsert) && ds->Modified()) {
        if (MessageDlg(KqIntl()->UserMessages->kqDBGridDiscardChanges, mtConfirmation, mbYesNo) == mrYes) ds->Cancel();
        return;
    }
    ds->Cancel();
}

// =============================================================================================
// TkqCustomDBGrid: construction

std::function<void(const QString&)> TkqCustomDBGrid::OpenLink = [](const QString& link) {
    QDesktopServices::openUrl(QUrl::fromUserInput(link));
};

void AcquireIndicatorImages();
void ReleaseIndicatorImages();

TkqCustomDBGrid::TkqCustomDBGrid(QWidget* parent) : TCustomGrid(parent)
{
    AcquireIndicatorImages();
    FDataLink = std::make_unique<TkqGridDataLink>(this);
    FTitleFont = TFont(font(), clWindowText);
    FDummyColumn = std::make_unique<TkqColumn>(this, QString());
    FLineColors = std::make_unique<TkqGridLineColors>(this);
    FPaintOptions = std::make_unique<TkqGridPaintOptions>(this, &FPaintBitmap);
    TCustomGrid::SetDefaultDrawing(false);
    SetScrollBars(ssHorizontal);
    SetRowCount(2);
    SetColCount(2);
    SetGridOptions({goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goColSizing, goColMoving, goEditing, goTabs});
    SetColWidths(0, FIndicatorWidth);
    UpdateScrollBarPolicies();
    FDragTimer.setInterval(100);
    connect(&FDragTimer, &QTimer::timeout, this, [this] { TrackTitleTimer(); });
    LayoutChanged();
}

TkqCustomDBGrid::~TkqCustomDBGrid()
{
    RemoveKeyHook();
    FDragTimer.stop();
    if (FTitleImageList) FTitleImageList->RemoveFreeListener(FTitleImageListKey);
    if (FImageList) FImageList->RemoveFreeListener(FImageListKey);
    // No notification may reach a half-destroyed grid.
    FDataLink->SetDataSource(nullptr);
    ReleaseIndicatorImages();
}

// =============================================================================================
// Data access

void TkqCustomDBGrid::SetDataSource(TDataSource* source)
{
    if (source == DataSource()) return;
    FDataLink->SetDataSource(source);
    LinkActive(FDataLink->Active());
}

bool TkqCustomDBGrid::IsDataSetActive() const
{
    TDataSet* ds = DataSet();
    return FDataLink->Active() && ds && ds->Active();
}

TField* TkqCustomDBGrid::GetField(int index) const
{
    TDataSet* ds = DataSet();
    if (index < 0 || index >= FDataLink->FieldMapCount() || !ds) return nullptr;
    const int fieldIndex = FDataLink->FieldMapEntry(index);
    return fieldIndex >= 0 && fieldIndex < ds->FieldCount() ? ds->Fields()[fieldIndex] : nullptr;
}

TField* TkqCustomDBGrid::GetColumnField(int dataColumn) const
{
    if (dataColumn < 0 || !FDataLink->Active()) return nullptr;
    return GetField(dataColumn);
}

TField* TkqCustomDBGrid::GetSelectedField() const { return GetColumnField(DataColumn(Col())); }

bool TkqCustomDBGrid::IsDataCell(int col, int row) const
{
    const int dc = DataColumn(col);
    return DataSource() && DataSet() && dc >= 0 && dc < FDataLink->FieldMapCount() && DataRow(row) >= 0;
}

TkqColumn* TkqCustomDBGrid::FindColumn(const QString& name) const
{
    for (const auto& c : FColumns)
        if (EqualIgnoringCase(c->FieldName(), name)) return c.get();
    return nullptr;
}

TkqColumn* TkqCustomDBGrid::ColumnByFieldName(const QString& name) const
{
    TkqColumn* c = FindColumn(name);
    return c ? c : FDummyColumn.get();
}

TkqColumn* TkqCustomDBGrid::GetColumn(int dataColumn) const
{
    if (FDataLink->FieldMapCount() > 0) {
        if (dataColumn < 0 || dataColumn >= int(FColumns.size())) return FDummyColumn.get();
        return FColumns[size_t(dataColumn)].get();
    }
    if (dataColumn < 0 || dataColumn >= FSelected.size()) return FDummyColumn.get();
    return ColumnByFieldName(SelectedPart(FSelected.at(dataColumn), 0));
}

bool TkqCustomDBGrid::IsMemoCell(int col, int row) const
{
    if (DataRow(row) < 0) return false;
    TField* f = GetColumnField(DataColumn(col));
    auto* blob = qobject_cast<TBlobField*>(f);
    if (!blob) return false;
    if (blob->DataType() == ftMemo || blob->DataType() == ftOraClob) return true;
    QString kind, params;
    TkqCustomDBGrid::GetControlInfo(blob->FieldName(), kind, params);
    return kind == QLatin1String("RichEdit");
}

void TkqCustomDBGrid::GetCellText(int dataColumn, QString& text)
{
    TField* f = GetColumnField(dataColumn);
    text = f ? f->DisplayText() : QString();
}

QStringList TkqCustomDBGrid::ActiveControlTypeList() const
{
    QStringList list;
    QObject* owner = ChooseControlTypeOwner(const_cast<TkqCustomDBGrid*>(this), DataSet());
    if (owner == this) return FControlType;
    GetControlTypeList(owner, list);
    return list;
}

bool TkqCustomDBGrid::GetCheckBoxValues(int col, int row, QString& unchecked, QString& checked) const
{
    if (!IsDataCell(col, row)) return false;
    TField* f = GetColumnField(DataColumn(col));
    if (!f) return false;
    QStringList items;
    for (const QString& line : ActiveControlTypeList()) {
        SplitToList(line, QLatin1Char(';'), items);
        if (items.size() > 3 && items.at(0) == f->FieldName() && items.at(1) == QLatin1String("CheckBox")) {
            checked = items.at(2);
            unchecked = items.at(3);
            return true;
        }
    }
    return false;
}

bool TkqCustomDBGrid::IsSelectionCheckBoxColumn(int col) const
{
    QString unchecked, checked;
    if (!GetCheckBoxValues(col, FTitleOffset, unchecked, checked)) return false;
    TField* f = GetColumnField(DataColumn(col));
    return f && EqualIgnoringCase(f->FieldName(), QStringLiteral("selected"));
}

bool TkqCustomDBGrid::TakeFocus()
{
    if (!FTakeFocusOnClick || !CanFocus()) return true;
    TInplaceEdit* editor = InplaceEditor();
    if (hasFocus() || (editor && editor->hasFocus())) return true;
    setFocus(Qt::OtherFocusReason);
    return hasFocus() || (editor && editor->hasFocus());
}

void TkqCustomDBGrid::SelectColumn(int dataColumn)
{
    UpdateData();
    const int count = FDataLink->FieldMapCount();
    if (count <= 0) return;
    dataColumn = std::clamp(dataColumn, 0, count - 1);
    if (!FOptions.Contains(dgFixedEditable)) dataColumn = std::max(dataColumn, FixedCols() - FIndicatorOffset);
    dataColumn = std::min(dataColumn, count - 1);
    if (dataColumn == DataColumn(Col())) return;
    if (!FInColExit) {
        const int before = Col();
        {
            QScopedValueRollback<bool> exiting(FInColExit, true);
            DoColExit();
        }
        if (Col() != before) return;
    }
    const int target = dataColumn + FIndicatorOffset;
    HideEditor();
    if (!FSuppressShowEditor && FOptions.Contains(dgAlwaysShowEditor) && !IsCustomControlCell(target, Row())) HideCustomEdit();
    const int oldLeft = LeftCol();
    TGridDrawInfo info;
    CalcDrawInfo(info);
    if (FOptions.Contains(dgFixedEditable) && (target < LeftCol() || target > info.Horz.LastFullVisibleCell)) {
        MoveColRow(target, Row(), true, false);
        ScrollColumnIntoView(target);
    } else {
        SetCol(target);
    }
    if (!FSuppressShowEditor && FOptions.Contains(dgAlwaysShowEditor) && !IsCustomControlCell(target, Row()) &&
        !IsMemoCell(target, Row()) &&
        !(FEditControlOptions.Contains(ecoDisableEditorIfReadOnly) && GetColumn(dataColumn)->ReadOnly()))
        ShowCellEditor();
    DoColEnter();
    if (LeftCol() != oldLeft) {
        CalcDrawInfo(info);
        InvalidateRect({info.Horz.FixedBoundary - 1, 0, info.Horz.FixedBoundary + 1, ClientHeight()});
    }
}

// =============================================================================================
// Settings

void TkqCustomDBGrid::SetSelected(const QStringList& lines)
{
    FSelected = lines;
}

void TkqCustomDBGrid::SetUseTFields(bool value)
{
    if (value == FUseTFields) return;
    FUseTFields = value;
    LayoutChanged();
}

void TkqCustomDBGrid::SetOptions(TkqDBGridOptions options)
{
    if (options == FOptions) return;
    TGridOptions grid;
    if (options.Contains(dgColLines)) grid.Include(goVertLine).Include(goFixedVertLine);
    if (options.Contains(dgRowLines)) grid.Include(goHorzLine);
    if (!options.Contains(dgRowLinesDisableFixed)) grid.Include(goFixedHorzLine);
    if (options.Contains(dgColumnResize)) grid.Include(goColSizing).Include(goColMoving);
    if (options.Contains(dgRowResize)) grid.Include(goRowSizing);
    if (options.Contains(dgTabs)) grid.Include(goTabs);
    if (options.Contains(dgRowSelect)) grid.Include(goRowSelect);
    else if (options.Contains(dgEditing)) grid.Include(goEditing);
    if (options.Contains(dgAlwaysShowEditor)) grid.Include(goAlwaysShowEditor);
    SetGridOptions(grid);
    const TkqDBGridOptions old = FOptions;
    const bool wordWrapChanged = old.Contains(dgWordWrap) != options.Contains(dgWordWrap);
    FOptions = options;
    if (wordWrapChanged) {
        ApplyCellEditorWordWrap();
        InvalidateGrid();
    }
    if (old.Contains(dgIndicator) != options.Contains(dgIndicator)) ClearBaseWidths();
    static constexpr TkqDBGridOption relayout[] = {dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColLines,
                                                   dgRowLines, dgRowSelect, dgAlwaysShowSelection, dgPerfectRowFit,
                                                   dgShowFooter, dgProportionalColResize};
    for (TkqDBGridOption o : relayout) {
        if (old.Contains(o) != options.Contains(o)) {
            LayoutChanged();
            break;
        }
    }
}

void TkqCustomDBGrid::ApplyCellEditorWordWrap()
{
    if (TkqInplaceEdit* editor = CellEditor()) editor->SetWordWrap(FOptions.Contains(dgWordWrap));
}

void TkqCustomDBGrid::SetTitleLines(int lines)
{
    if (lines < 1 || lines == FTitleLines) return;
    FTitleLines = lines;
    LayoutChanged();
}

void TkqCustomDBGrid::SetTitleAlignment(TAlignment alignment)
{
    FTitleAlignment = alignment;
    LayoutChanged();
}

void TkqCustomDBGrid::SetTitleFont(const TFont& titleFont)
{
    FTitleFont = titleFont;
    // A title font of its own: the grid's font no longer follows the parent's.
    if (!FChangingTitleFont) setAttribute(Qt::WA_SetFont, true);
    if (FOptions.Contains(dgTitles)) LayoutChanged();
}

void TkqCustomDBGrid::SetTitleColor(TColor color)
{
    if (color == FTitleColor) return;
    FTitleColor = color;
    LayoutChanged();
}

void TkqCustomDBGrid::SetColor(TColor color)
{
    if (color == FColor) return;
    FColor = color;
    InvalidateGrid();
}

void TkqCustomDBGrid::SetFont(const TFont& value)
{
    FFontColor = value.Color;
    setFont(value.Font);   // the font change re-lays out
    InvalidateGrid();
}

void TkqCustomDBGrid::changeEvent(QEvent* event)
{
    TCustomGrid::changeEvent(event);
    if (event->type() != QEvent::FontChange) return;
    // A font inherited from the parent becomes the title font too.
    if (!testAttribute(Qt::WA_SetFont)) {
        QScopedValueRollback<bool> changing(FChangingTitleFont, true);
        FTitleFont.Font = font();
    }
    if (TInplaceEdit* editor = InplaceEditor()) editor->setFont(font());
    LayoutChanged();
}

void TkqCustomDBGrid::SetRowHeightPercent(int percent)
{
    if (percent <= 0) {
        FRowHeightPercent = 100;
        return;
    }
    FMinRowHeightPercent = percent;
    if (percent == FRowHeightPercent) return;
    FRowHeightPercent = percent;
    LayoutChanged();
}

void TkqCustomDBGrid::SetShowVertScrollBar(bool value)
{
    FShowVertScrollBar = value;
    UpdateScrollBarPolicies();
    UpdateScrollBar();
    InvalidateGrid();
}

void TkqCustomDBGrid::SetShowHorzScrollBar(bool value)
{
    FShowHorzScrollBar = value;
    ApplyShowHorzScrollBar();
}

void TkqCustomDBGrid::ApplyShowHorzScrollBar()
{
    SetScrollBars(FShowHorzScrollBar && !ProportionalResizeActive() ? ssHorizontal : ssNone);
}

void TkqCustomDBGrid::SetTitleButtons(bool value)
{
    if (value == FTitleButtons) return;
    FTitleButtons = value;
    InvalidateGrid();
}

void TkqCustomDBGrid::SetIndicatorIconColor(TColor color)
{
    FIndicatorIconColor = color;
    InvalidateCurrentRow();
}

void TkqCustomDBGrid::SetIndicatorButton(TkqIButton* button)
{
    if (button == FIndicatorButton) return;
    FIndicatorButton = button;
    if (button) {
        button->setParent(viewport());
        button->SetBounds(0, 0, button->width(), button->height());
        button->show();
        FIndicatorWidth = std::max(0, button->width() - 1);
    } else {
        FIndicatorWidth = 11;
    }
    LayoutChanged();
}

void TkqCustomDBGrid::SetLineStyle(TkqGridLineStyle style)
{
    if (style == FLineStyle) return;
    FLineStyle = style;
    InvalidateGrid();
}

void TkqCustomDBGrid::SetPadColumnStyle(TkqPadColumnStyle style)
{
    if (style == FPadColumnStyle) return;
    FPadColumnStyle = style;
    InvalidateGrid();
}

void TkqCustomDBGrid::SetHideAllLines(bool value)
{
    if (value == FHideAllLines) return;
    FHideAllLines = value;
    InvalidateGrid();
}

void TkqCustomDBGrid::SetTitleImageList(TImageList* list)
{
    if (list == FTitleImageList) return;
    if (FTitleImageList) FTitleImageList->RemoveFreeListener(FTitleImageListKey);
    FTitleImageList = list;
    // A list freed elsewhere is forgotten.
    if (list) FTitleImageListKey = list->AddFreeListener([this] { FTitleImageList = nullptr; InvalidateGrid(); });
    InvalidateGrid();
}

void TkqCustomDBGrid::SetImageList(TImageList* list)
{
    if (list == FImageList) return;
    if (FImageList) FImageList->RemoveFreeListener(FImageListKey);
    FImageList = list;
    if (list) FImageListKey = list->AddFreeListener([this] { FImageList = nullptr; InvalidateGrid(); });
    InvalidateGrid();
}

// =============================================================================================
// Layout

bool TkqCustomDBGrid::ProportionalResizeActive() const
{
    return FOptions.Contains(dgProportionalColResize) && !FUseTFields;
}

void TkqCustomDBGrid::DefineFieldMap()
{
    TDataSet* ds = DataSet();
    if (!ds) return;
    if (FUseTFields) {
        for (TField* f : ds->Fields())
            if (f->Visible()) FDataLink->AddFieldMapping(f->FieldName());
    } else {
        for (int i = 0; i < FSelected.size();) {
            const QString name = SelectedPart(FSelected.at(i), 0);
            if (FDataLink->Active() && !ds->FindField(name)) {
                FSelected.removeAt(i);
                continue;
            }
            FDataLink->AddFieldMapping(name);
            ++i;
        }
    }
    std::vector<std::unique_ptr<TkqColumn>> columns;
    columns.reserve(size_t(FDataLink->FieldMapCount()));
    for (int i = 0; i < FDataLink->FieldMapCount(); ++i) {
        TField* f = GetField(i);
        auto column = std::make_unique<TkqColumn>(this, f ? f->FieldName() : QString());
        if (TkqColumn* old = FindColumn(column->FieldName())) column->FFooterText = old->FFooterText;
        columns.push_back(std::move(column));
    }
    FColumns = std::move(columns);
}

void TkqCustomDBGrid::LayoutChanged()
{
    if (FLayoutLock > 0) return;
    TCountGuard lock(FLayoutLock);
    FPrevClientWidth = ClientWidth();
    {
        TCountGuard widths(FWidthUpdateCount);
        FTitleOffset = 0;
        if (FShowHorzScrollBar && ProportionalResizeActive() && (ScrollBars() == ssHorizontal || ScrollBars() == ssBoth))
            ApplyShowHorzScrollBar();
        FTitleOffset = FOptions.Contains(dgTitles) ? 1 : 0;
        CalcRowHeights();
        FIndicatorOffset = FOptions.Contains(dgIndicator) ? 1 : 0;

        FDataLink->ClearFieldMap();
        if (FDataLink->Active()) DefineFieldMap();
        const int count = FUseTFields || FDataLink->FieldMapCount() > 0 ? FDataLink->FieldMapCount() : int(FSelected.size());
        SetColCount(std::max(count, 1) + FIndicatorOffset);
        SetFixedCols(std::min(FIndicatorOffset + ProgramFixedCols(), ColCount() - 1));
        if (FOptions.Contains(dgIndicator)) {
            SetColWidths(0, FIndicatorWidth);
            if (Col() == 0) MoveColRow(1, Row(), true, false);
        }

        HideCustomEdit();
        UpdateRowCount();
        const int visible = VisibleRowCount();
        SetColumnWidths();
        if (visible != VisibleRowCount()) UpdateRowCount();
        CheckFooterUpdate();
    }
    UpdateActive();
    FHotURLCell = {-1, -1};
    InvalidateGrid();
    FPaintOptions->SetFixedColumnTint(FTitleColor);
    FPaintOptions->SetTitleRowTint(FTitleColor);
}

void TkqCustomDBGrid::CalcRowHeights()
{
    if (CurrentControlIsExpandButton()) CollapseExpandButtons();
    const int h = TextHeightOf(font());
    const int line = HasRowLines() ? 1 : 0;
    const int rowHeight = (h + 2 + line) * FRowHeightPercent / 100;
    if (DefaultRowHeight() != rowHeight) SetDefaultRowHeight(rowHeight);
    if (FOptions.Contains(dgTitles)) {
        int title;
        if (ParentGrid(this)) title = FTitleLines * (h + 2 + line) + FTitleLines - 1;
        else title = TextHeightOf(FTitleFont.Font) * FTitleLines + 4;
        if (!HasRowLines()) ++title;
        SetRowHeights(0, title);
    }
    if (FOptions.Contains(dgIndicator) && FIndicatorButton) {
        const int t = RowHeights(0);
        const int b = FIndicatorButton->height();
        const int m = std::max(t, b);
        FTitleTextOffset = (m - t) / 2 + 2;
        SetRowHeights(0, HasRowLines() ? m - 1 : m + 1);
    } else {
        FTitleTextOffset = 2;
    }
}

int TkqCustomDBGrid::ColumnCountForWidths() const
{
    return FUseTFields ? FDataLink->FieldMapCount() : int(FSelected.size());
}

TField* TkqCustomDBGrid::WidthField(int i) const
{
    if (FUseTFields) return GetField(i);
    TDataSet* ds = DataSet();
    return ds && i < FSelected.size() ? ds->FindField(SelectedPart(FSelected.at(i), 0)) : nullptr;
}

void TkqCustomDBGrid::SetColumnWidths()
{
    if (!DataSource() || !DataSet()) return;
    const int n = ColumnCountForWidths();
    const bool proportional = ProportionalResizeActive();
    const int c0 = TextWidthOf(font(), QStringLiteral("0"));
    std::vector<int> widths(size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
        TField* f = WidthField(i);
        const QString line = FUseTFields ? QString() : FSelected.at(i);
        int w;
        if (FUseTFields) w = f ? c0 * f->DisplayWidth() + 4 : 64;
        else w = c0 * StrToInt(SelectedPart(line, 1)) + 4;
        if (!proportional && FOptions.Contains(dgTitles) && !FOptions.Contains(dgNoLimitColSize)) {
            QString title;
            if (FUseTFields) title = f ? f->DisplayLabel() : QString();
            else if (SelectedPartCount(line) > 2) title = SelectedPart(line, 2);
            else if (f) title = f->DisplayLabel();
            int widest = 0;
            for (const QString& part : title.split(QLatin1Char('~'))) {
                if (part.isEmpty()) break;
                widest = std::max(widest, TextWidthOf(FTitleFont.Font, part));
            }
            w = std::max(w, widest + 4);
        }
        widths[size_t(i)] = w;
        if (f) {
            bool stop = !f->ReadOnly();
            if (!FUseTFields && SelectedPart(line, 3) == QLatin1String("T")) stop = false;
            if (stop && !FEditCalculated) stop = !f->Calculated();
            SetTabStops(i + FIndicatorOffset, stop);
        }
    }
    if (proportional) {
        if (!FBaseWidths.empty()) {
            FBaseWidths.assign(size_t(n), 0);
            for (int i = 0; i < n; ++i) FBaseWidths[size_t(i)] = quint16(ColWidths(i + FIndicatorOffset));
            for (int i = 0; i < n; ++i) SetColWidths(i + FIndicatorOffset, widths[size_t(i)]);
        } else {
            FBaseWidths.assign(size_t(n), 0);
            for (int i = 0; i < n; ++i) FBaseWidths[size_t(i)] = quint16(widths[size_t(i)]);
        }
    } else {
        for (int i = 0; i < n; ++i) SetColWidths(i + FIndicatorOffset, widths[size_t(i)]);
    }
    if (proportional && n > 0) ResizeColumnsProportionally();
    BuildColumnInfoCache();
    FPrevClientWidth = ClientWidth();
}

int TkqCustomDBGrid::WidthInCharacters(int pixels) const
{
    const int c = std::max(1, TextWidthOf(font(), QStringLiteral("0")));
    const int p = std::max(0, c / 2 - 3);
    return (pixels + p - 4) / c;
}

void TkqCustomDBGrid::ColWidthsChanged()
{
    TCustomGrid::ColWidthsChanged();
    if (FWidthUpdateCount != 0 || !FUpdateFields || !FDataLink->Active()) return;
    {
        TCountGuard lock(FLayoutLock);
        WriteBackWidths();
    }
    LayoutChanged();
}

void TkqCustomDBGrid::WriteBackWidths()
{
    if (FUseTFields) {
        for (int i = 0; i < FDataLink->FieldMapCount(); ++i)
            if (TField* f = GetField(i)) f->SetDisplayWidth(WidthInCharacters(ColWidths(i + FIndicatorOffset)));
        return;
    }
    for (int i = 0; i < FSelected.size(); ++i) {
        const QString old = FSelected.at(i);
        const int parts = SelectedPartCount(old);
        QString line = SelectedPart(old, 0) + QLatin1Char('\t') +
                       QString::number(WidthInCharacters(ColWidths(i + FIndicatorOffset))) + QLatin1Char('\t') +
                       SelectedPart(old, 2);
        if (parts > 3) line += QLatin1Char('\t') + SelectedPart(old, 3);
        if (parts > 4) line += QLatin1Char('\t') + SelectedPart(old, 4);
        FSelected[i] = line;
    }
}

void TkqCustomDBGrid::ResizeColumnsProportionally()
{
    // Base widths are kept per data column.
    const int cols = ColCount() - FIndicatorOffset;
    if (int(FBaseWidths.size()) < cols || FUseTFields || FSelected.isEmpty()) return;
    const int lw = FOptions.Contains(dgColLines) ? 1 : 0;
    const int c = std::max(1, TextWidthOf(font(), QStringLiteral("0")));
    const int minWidth = c * 2 + 4;
    auto base = [&](int dataCol) { return int(FBaseWidths[size_t(dataCol)]); };
    auto setWidth = [&](int dataCol, int w) {
        SetColWidths(dataCol + FIndicatorOffset, w);
        if (dataCol < FSelected.size())
            FSelected[dataCol] = WithSelectedPart(FSelected.at(dataCol), 1, QString::number((w - 4) / c));
    };
    TCountGuard widthLock(FWidthUpdateCount);
    // Distributes avail over the data columns from first on, in whole characters.
    auto fit = [&](int first, int total, int avail) {
        for (int dc = first; dc < cols; ++dc) {
            int w;
            if (dc == cols - 1) {
                w = std::max(avail, 0);
            } else {
                w = total > 0 ? ((base(dc) + 1) * avail / total - 4) / c * c + 4 : minWidth;
                w = std::max(w, minWidth);
            }
            setWidth(dc, w);
            avail -= w + lw;
            total -= base(dc) + lw;
        }
    };
    auto scrollBarAllowance = [&] {
        if (FShowVertScrollBar && width() - ClientWidth() < 10) return GetSystemMetrics(SM_CXVSCROLL) + 1;
        return 0;
    };
    if (FSizingIndex < 0) {
        int total = -1;
        for (int dc = 0; dc < cols; ++dc) total += base(dc) + lw;
        if (total <= 0) return;
        int avail = ClientWidth() - 2;
        if (FOptions.Contains(dgIndicator)) avail -= CellRect(0, 0).Right > 0 ? CellRect(0, 0).Right : ColWidths(0);
        avail -= scrollBarAllowance();
        fit(0, total, avail);
        return;
    }
    // A column is being sized: its group is rescaled with it, the columns right of it share the rest.
    const int sized = DataColumn(FSizingIndex);
    if (sized < 0 || sized >= cols) return;
    const QString group = GetColumn(sized)->GroupHeaderName();
    if (!group.isEmpty() && (sized == cols - 1 || GetColumn(sized + 1)->GroupHeaderName() != group)) {
        int first = sized;
        while (first > 0 && GetColumn(first - 1)->GroupHeaderName() == group) --first;
        int d = ColWidths(FSizingIndex) - FSizingWidth;
        int s = 0;
        for (int dc = first; dc <= sized; ++dc) s += (dc == sized ? FSizingWidth : base(dc)) + lw;
        for (int dc = first; dc <= sized && s > 0; ++dc) {
            int w;
            if (dc == sized) w = std::max(minWidth, FSizingWidth + d);
            else w = std::max(minWidth, base(dc) * (s + d) / s);
            setWidth(dc, w);
            d += base(dc) - w;
            s -= base(dc);
        }
    }
    int total = 0;
    for (int dc = sized + 1; dc < cols; ++dc) total += base(dc) + lw;
    const TRect sizedRect = CellRect(FSizingIndex, 0);
    const int avail = ClientWidth() - sizedRect.Right - 2;
    fit(sized + 1, total, avail);
}

void TkqCustomDBGrid::UpdateRowCount()
{
    if (FUpdatingRowCount) return;
    QScopedValueRollback<bool> guard(FUpdatingRowCount, true);
    const bool keepLeft = FOptions.Contains(dgRowSelect) || (FOptions.Contains(dgFixedEditable) && LeftCol() <= FixedCols());
    const int left = LeftCol();
    if (keepLeft) BeginRedrawLock();
    if (RowCount() < FTitleOffset + 1) SetRowCount(FTitleOffset + 1);
    SetFixedRows(FTitleOffset);
    TDataSet* ds = DataSet();
    if (!FDataLink->Active() || (ds && ds->Active() && FDataLink->RecordCount() == 0)) {
        SetRowCount(FTitleOffset + 1);
    } else {
        SetRowCount(1000);
        const int visible = VisibleRowCount();
        if (visible < FDataLink->BufferCount() && Row() >= TopRow() + visible - 1) {
            InvalidateGrid();
            DoTopRowChanged();
        }
        FDataLink->SetBufferCount(visible);
        SetRowCount(FDataLink->RecordCount() + FTitleOffset);
        UpdateActive();
    }
    if (keepLeft) {
        if (left < ColCount()) SetLeftCol(left);
        EndRedrawLock(false);
        InvalidateGrid();
    }
}

void TkqCustomDBGrid::UpdateActive()
{
    if (!FDataLink->Active()) return;
    // Row r shows record r + row offset (an open detail grid shifts the records up).
    int target = FDataLink->ActiveRecord() + FTitleOffset - FRowOffset;
    if (target != Row()) {
        if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
        if (target >= VisibleRowCount() + FTitleOffset) {
            UpdateRowCount();
            target = VisibleRowCount() + FTitleOffset - 1;
        }
        MoveColRow(Col(), std::max(target, FTitleOffset), true, false);
    }
    if (ParentIsNamed(this, "TkqDBCustomLookupcombo")) return;
    TField* f = GetSelectedField();
    TInplaceEdit* editor = InplaceEditor();
    if (f && editor && f->EditText() != editor->Text()) InvalidateEditor();
}

bool TkqCustomDBGrid::FitHeightToRows()
{
    const TRect last = GetCellRectDefaultHeight(LeftCol(), std::max(RowCount() - 1, 0));
    const int y = last.Top + DefaultRowHeight() + 1;
    int total = 1 + (FShowVertScrollBar ? GetSystemMetrics(SM_CXVSCROLL) + 1 : 0);
    for (int c = 0; c < ColCount(); ++c) total += ColWidths(c) + (FOptions.Contains(dgColLines) ? GridLineWidth() : 0);
    const bool barNeeded = total > width() && (ScrollBars() == ssHorizontal || ScrollBars() == ssBoth);
    const int m = 5 - 3 * (frameStyle() == QFrame::NoFrame ? 1 : 0) - (barNeeded ? 0 : 1);
    const int bar = barNeeded ? GetSystemMetrics(SM_CYHSCROLL) : 0;
    const int old = height();
    if (barNeeded) {
        if (old < bar + y + DefaultRowHeight() + m - 1) resize(width(), bar + y + m - 1);
    } else if (old < DefaultRowHeight() + y + m) {
        resize(width(), y + m);
    }
    return height() != old;
}

void TkqCustomDBGrid::UpdateScrollRange()
{
    // The horizontal bar follows the columns; the vertical one follows the dataset.
    const TScrollInfo vert = VertScrollInfo();
    TCustomGrid::UpdateScrollRange();
    SetVertScrollInfo(vert);
}

Qt::ScrollBarPolicy TkqCustomDBGrid::ScrollBarPolicy(bool horizontal) const
{
    if (!horizontal) return FShowVertScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    return TCustomGrid::ScrollBarPolicy(true);
}

void TkqCustomDBGrid::UpdateScrollBar()
{
    if (!FShowVertScrollBar || !FDataLink->Active()) return;
    TDataSet* ds = DataSet();
    if (!ds || !ds->Active()) return;
    const TScrollInfo old = VertScrollInfo();
    TScrollInfo si;
    if (ds->IsSequenced()) {
        ds->UpdateCursorPos();
        si.Min = 1;
        si.Page = VisibleRowCount();
        si.Max = ds->RecordCount() + si.Page - 1;
        si.Pos = ds->State() < dsInsert ? ds->RecNo() : old.Pos;
    } else {
        si.Min = 0;
        si.Max = 4;
        si.Page = 0;
        si.Pos = FDataLink->Bof() ? 0 : FDataLink->Eof() ? 4 : 2;
    }
    if (si == old) return;
    if (si.Max - si.Min <= 1) {
        si.Min = 1;
        si.Max = 1001;
        si.Page = 1000;
    }
    SetVertScrollInfo(si);
}

void TkqCustomDBGrid::BuildColumnInfoCache()
{
    FColInfo.assign(size_t(ColCount()), TkqCacheColInfoItem());
    for (int col = 0; col < ColCount(); ++col) {
        TField* f = GetColumnField(DataColumn(col));
        if (!f) continue;
        TkqCacheColInfoItem& item = FColInfo[size_t(col)];
        GetControlInfo(f->FieldName(), item.ControlKind, item.Params);
        // Edit kinds need a control, which only the published grid finds.
        if (IsEditControlType(item.ControlKind)) item.ControlKind.clear();
    }
}

const TkqCacheColInfoItem& TkqCustomDBGrid::ColInfo(int col) const
{
    static const TkqCacheColInfoItem none;
    return col >= 0 && col < int(FColInfo.size()) ? FColInfo[size_t(col)] : none;
}

void TkqCustomDBGrid::GetControlInfo(const QString& fieldName, QString& kind, QString& params) const
{
    GetControlTypeEntry(ChooseControlTypeOwner(const_cast<TkqCustomDBGrid*>(this), DataSet()), fieldName, kind, params);
}

// =============================================================================================
// Link reactions

void TkqCustomDBGrid::LinkActive(bool value)
{
    ForgetCellError();
    if (!value) HideEditor();
    LayoutChanged();
    UpdateScrollBar();
    FLastBookmark = TBookmark();
    FLastMasterBookmark = TBookmark();
    if (value) {
        if (Col() != FLastEnteredCol) DoColEnter();
        FLastEnteredCol = Col();
        FFooterUpdatePending = true;
    } else {
        FLastEnteredCol = -1;
    }
}

void TkqCustomDBGrid::DataChanged()
{
    if (FSkipDataChange) return;
    ForgetCellError();
    CheckFooterUpdate();
    if (!FSkipHideControls) {
        TDataSet* ds = DataSet();
        const TDataSetState state = DataSource() ? DataSource()->State() : dsInactive;
        if ((state == dsInsert && ds && !(ds->Bof() && ds->Eof())) || state == dsBrowse) HideCustomEdit();
    }
    UpdateRowCount();
    UpdateScrollBar();
    UpdateActive();
    InvalidateEditor();
    InvalidateGrid();
    CheckRowChanged();
}

void TkqCustomDBGrid::Scroll(int distance)
{
    const TRect oldRow = BoxRect(0, Row(), ColCount() - 1, Row());
    UpdateScrollBar();
    UpdateActive();
    const TRect newRow = BoxRect(0, Row(), ColCount() - 1, Row());
    InvalidateRect(oldRow.Inflated(0, 1));
    InvalidateRect(newRow.Inflated(0, 1));
    HideEditor();
    const bool editorAgain = FOptions.Contains(dgAlwaysShowEditor) && !IsCustomControlCell(Col(), Row()) &&
                             !IsMemoCell(Col(), Row());
    if (distance == 0) {
        // An editor that is always shown follows a move inside the window too.
        if (editorAgain) ShowCellEditor();
        CheckRowChanged();
        return;
    }
    HideCustomEdit();
    if (std::abs(distance) > VisibleRowCount()) {
        InvalidateGrid();
        if (editorAgain) ShowCellEditor();
        return;
    }
    if (distance % 2 != 0) FAlternatingPhase = !FAlternatingPhase;
    // The rows below the titles all show other records now.
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const int top = FOptions.Contains(dgTitles) ? info.Vert.FixedBoundary - 1 : 0;
    InvalidateRect({0, std::max(top, 0), ClientWidth(), ClientHeight()});
    if (editorAgain) ShowCellEditor();
    DoTopRowChanged();
    CheckRowChanged();
}

void TkqCustomDBGrid::EditingChanged()
{
    if (FOptions.Contains(dgIndicator) && FSelectedRow >= 0) InvalidateCell(0, FSelectedRow);
    if (FOptions.Contains(dgIndicator)) InvalidateCell(0, Row());
    const TDataSetState state = DataSource() ? DataSource()->State() : dsInactive;
    if (state == dsEdit || state == dsInsert) FFooterUpdatePending = true;
}

void TkqCustomDBGrid::RecordChanged(TField* field)
{
    if (!field || !FDataLink->InUpdateData()) {
        if (!field) {
            InvalidateRow(Row());
        } else {
            for (int dc = 0; dc < GetFieldCount(); ++dc)
                if (GetField(dc) == field) InvalidateCell(dc + FIndicatorOffset, Row());
        }
        FDataLink->FModified = false;
    }
    TField* current = GetSelectedField();
    if ((!field || field == current) && current) {
        TInplaceEdit* editor = InplaceEditor();
        if (editor && current->EditText() != editor->Text()) {
            InvalidateEditor();
            editor->Deselect();
        }
    }
    const TDataSetState state = DataSet() ? DataSet()->State() : dsInactive;
    if (field && (state == dsEdit || state == dsInsert)) {
        DoFieldChanged(field);
        if (TracksFieldChangeReport()) FFieldChangeReported = true;
    }
}

void TkqCustomDBGrid::FocusControl(TField*& field)
{
    if (!field) return;
    for (int dc = 0; dc < GetFieldCount(); ++dc) {
        if (GetField(dc) != field) continue;
        const int col = dc + FIndicatorOffset;
        if (col < FixedCols()) {
            MoveColRow(col, Row(), true, true);
            DoColEnter();
        } else {
            SelectColumn(dc);
        }
    }
    if (GetSelectedField() == field && TakeFocus()) field = nullptr;
}

void TkqCustomDBGrid::CheckRowChanged()
{
    QScopedValueRollback<bool> keepSuppression(FCellChangedSuppressed);
    TDataSet* ds = DataSet();
    if (DataSource() && ds && ds->Active() && (OnRowChanged || OnCellChanged || OnUpdateFooter)) {
        const TBookmark current = ds->GetBookmark();
        if (FLastBookmark.IsNull()) {
            DoRowChanged();
            FCellChangedSuppressed = true;
        } else if (!current.IsNull()) {
            const int order = ds->CompareBookmarks(current, FLastBookmark);
            if (order != 0 && order != 2) DoRowChanged();
        } else if (ds->State() == dsInsert) {
            DoRowChanged();
        }
        FLastBookmark = current;
        if (FColEnterPending) {
            FColEnterPending = false;
            DoColEnter();
            DoUpdateFooter();
        }
    }
    HideCellHint();
}

void TkqCustomDBGrid::CheckFooterUpdate()
{
    if (!OnUpdateFooter || !DataSource() || DataSource()->State() != dsBrowse) return;
    TDataSet* ds = DataSet();
    if (!FFooterUpdatePending && ds) {
        TDataSet* master = nullptr;
        if (auto* source = qvariant_cast<TDataSource*>(FindPublishedProperty(ds, "DataSource").read(ds))) master = source->DataSet();
        if (!master)
            if (auto* source = qobject_cast<TDataSource*>(GetDataSetMasterSource(ds))) master = source->DataSet();
        if (master && master->Active()) {
            const TBookmark current = master->GetBookmark();
            if (!current.IsNull()) {
                const int order = master->CompareBookmarks(current, FLastMasterBookmark);
                if (order != 0 && order != 2) FFooterUpdatePending = true;
            }
            FLastMasterBookmark = current;
        }
    }
    if (!FFooterUpdatePending && ds && !ds->BookmarkValid(FLastBookmark)) FFooterUpdatePending = true;
    if (FFooterUpdatePending) DoUpdateFooter();
    FFooterUpdatePending = false;
}

void TkqCustomDBGrid::DoColEnter()
{
    if (OnColEnter) OnColEnter(this);
    DoCellChanged();
}

void TkqCustomDBGrid::DoColExit()
{
    if (OnColExit) OnColExit(this);
}

void TkqCustomDBGrid::DoCellChanged()
{
    if (FCellChangedSuppressed) return;
    CollapseExpandButtons();
    if (OnCellChanged) OnCellChanged(this);
}

void TkqCustomDBGrid::DoRowChanged()
{
    if (OnRowChanged) OnRowChanged(this);
    DoCellChanged();
}

void TkqCustomDBGrid::DoTopRowChanged()
{
    if (OnTopRowChanged) OnTopRowChanged(this);
}

void TkqCustomDBGrid::DoFieldChanged(TField* field)
{
    if (OnFieldChanged) OnFieldChanged(this, field);
}

void TkqCustomDBGrid::DoUpdateFooter()
{
    if (OnUpdateFooter) OnUpdateFooter(this);
}

void TkqCustomDBGrid::Resize()
{
    if (CurrentControlIsExpandButton()) CollapseExpandButtons();
    if (ProportionalResizeActive() && ColCount() > FIndicatorOffset && !FBaseWidths.empty()) {
        const bool fixedSizing = FOptions.Contains(dgFixedProportionalResize) && FixedCols() >= 2;
        QScopedValueRollback<int> sizing(FSizingIndex, fixedSizing ? FixedCols() - 1 : -1);
        QScopedValueRollback<int> before(FSizingWidth, fixedSizing ? ColWidths(FixedCols() - 1) : 0);
        ResizeColumnsProportionally();
    }
    TCustomGrid::Resize();
    if (FLayoutLock == 0) {
        HideCustomEdit();
        HideEditor();
        UpdateRowCount();
        UpdateScrollBar();
        TDataSet* ds = DataSet();
        if (ds && ds->Bof() && ds->Eof()) InvalidateGrid();
    }
    FPaintOptions->SetInitBlendBitmapsFlag(true);
}

// =============================================================================================
// Editing

TInplaceEdit* TkqCustomDBGrid::CreateEditor() { return new TkqInplaceEdit(this); }

TkqInplaceEdit* TkqCustomDBGrid::CellEditor() const { return qobject_cast<TkqInplaceEdit*>(InplaceEditor()); }

bool TkqCustomDBGrid::ShouldFocusEditor() const { return hasFocus(); }

bool TkqCustomDBGrid::CanEdit() { return FOptions.Contains(dgEditing) && !FReadOnly; }

bool TkqCustomDBGrid::CanEditShow()
{
    if (FEditControlOptions.Contains(ecoDisableEditorIfReadOnly) && GetColumn(DataColumn(Col()))->ReadOnly()) return false;
    return TCustomGrid::CanEditShow();
}

bool TkqCustomDBGrid::CanEditAcceptKey(QChar key)
{
    TField* f = GetSelectedField();
    return FDataLink->Active() && GetFieldCount() > 0 && f && f->IsValidChar(key);
}

bool TkqCustomDBGrid::CanGridAcceptKey(int key, TShiftState shift) { return TCustomGrid::CanGridAcceptKey(key, shift); }

bool TkqCustomDBGrid::CanEditModify()
{
    TDataSet* ds = DataSet();
    if (DataSource() && ds && !FKeyOptions.Contains(dgAllowInsert) && ds->Bof() && ds->Eof() &&
        DataSource()->State() == dsBrowse)
        return false;
    if (FReadOnly || !FDataLink->Active() || FDataLink->ReadOnly() || GetFieldCount() == 0) return false;
    TField* f = GetSelectedField();
    if (!f) return false;
    if (!f->CanModify() && !(FEditCalculated && IsCalculatedOrLookup(f) && !f->ReadOnly())) return false;
    if (GetColumn(DataColumn(Col()))->ReadOnly()) return false;
    FDataLink->Edit();
    const bool editing = FDataLink->Editing();
    if (editing) FDataLink->Modified();
    return editing;
}

int TkqCustomDBGrid::GetEditLimit()
{
    auto* f = qobject_cast<TStringField*>(GetSelectedField());
    return f ? f->Size() : 0;
}

QString TkqCustomDBGrid::GetEditMask(int col, int row)
{
    Q_UNUSED(row);
    const int dc = DataColumn(col);
    if (!FDataLink->Active() || dc < 0 || dc >= GetFieldCount()) return {};
    TField* f = GetField(dc);
    return f ? f->EditMask() : QString();
}

QString TkqCustomDBGrid::GetEditText(int col, int row)
{
    Q_UNUSED(row);
    const int dc = DataColumn(col);
    QString text;
    if (FDataLink->Active() && dc >= 0 && dc < GetFieldCount())
        if (TField* f = GetField(dc)) text = f->EditText();
    FEditText = text;
    return text;
}

void TkqCustomDBGrid::SetEditText(int col, int row, const QString& value)
{
    Q_UNUSED(col);
    Q_UNUSED(row);
    FEditText = value;
}

void TkqCustomDBGrid::ShowCellEditor()
{
    if (FEditControlOptions.Contains(ecoDisableEditorIfReadOnly) && GetColumn(DataColumn(Col()))->ReadOnly()) return;
    ShowEditor();
}

void TkqCustomDBGrid::UpdateData() { FDataLink->UpdateData(); }

void TkqCustomDBGrid::DoValidationError(TField* field) { KqIntl()->ReportValidationError(this, field); }

bool TkqCustomDBGrid::CheckEditText(TkqInplaceEdit* editor, const QString& text)
{
    bool passes = true;
    if (editor && editor->PictureCheckApplies() && !text.isEmpty()) {
        QString checked = text;
        passes = TkqPictureValidator(editor->PictureMask(), false).Picture(checked, false) == prComplete;
    }
    if (OnCheckValue) OnCheckValue(editor, passes);
    return passes;
}

void TkqCustomDBGrid::WriteEditText()
{
    TkqInplaceEdit* editor = CellEditor();
    if (editor && editor->PictureCheckApplies() && FDataLink->IsModified() && !CheckEditText(editor, editor->Text()) &&
        !editor->AllowInvalidExit()) {
        TDataSet* ds = DataSet();
        TField* f = GetSelectedField();
        if (const TkqInvalidValueEvent handler = GetOnInvalidValueHandler(ds)) handler(ds, f);
        else DoValidationError(f);
        return;
    }
    if (GetFieldCount() < 1) return;
    TField* f = GetSelectedField();
    if (!f) return;
    const QString text = FEditText;
    if (TracksFieldChangeReport()) FFieldChangeReported = f->EditText() == text;
    if (qobject_cast<TDateTimeField*>(f) && IsValidDateText(text)) {
        TDateTime date = 0;
        if (ParseDateText(text, date)) {
            TDateTime full = 0;
            double whole = 0;
            const double fraction = TryStrToDateTime(text, full) ? std::modf(full, &whole) : 0.0;
            f->SetAsDateTime(date + fraction);
        }
    } else if ((qobject_cast<TIntegerField*>(f) || qobject_cast<TFloatField*>(f)) && !text.isEmpty() &&
               !static_cast<TNumericField*>(f)->DisplayFormat().isEmpty()) {
        double value = 0;
        if (ParseDisplayedFloat(text, value, static_cast<TNumericField*>(f)->DisplayFormat())) {
            // Whole numbers round half to even, as the platform's Round does.
            if (qobject_cast<TFloatField*>(f)) f->SetAsFloat(value);
            else f->SetAsInteger(int(std::nearbyint(value)));
        } else {
            f->SetText(text);
        }
    } else {
        f->SetText(text);
    }
    if (TracksFieldChangeReport() && !FFieldChangeReported) DoFieldChanged(f);
}

// =============================================================================================
// Host services

void TkqCustomDBGrid::CalcCellColors(TField* field, TGridDrawState state, bool highlight, TFont& font, TColor& background)
{
    DoCalcCellColors(field, state, highlight, font, background);
}

void TkqCustomDBGrid::DoCalcCellColors(TField* field, TGridDrawState state, bool highlight, TFont& font, TColor& brush)
{
    if (OnCalcCellColors) OnCalcCellColors(this, field, state, highlight, font, brush);
}

void TkqCustomDBGrid::MoveCellControlOutOfView()
{
    if (QWidget* control = CurrentCellControl()) control->move(ClientWidth() + 10, control->y());
}

// =============================================================================================
// TkqIButton

TkqIButton::TkqIButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    resize(sizeHint());
}

void TkqIButton::SetBounds(int left, int top, int width, int height)
{
    setGeometry(std::min(left, 0), std::min(top, 0), width, height);
}

void TkqIButton::resizeEvent(QResizeEvent* event)
{
    QAbstractButton::resizeEvent(event);
    // The indicator column follows the button's width.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* grid = qobject_cast<TkqCustomDBGrid*>(w)) {
            if (grid->FIndicatorButton == this) {
                grid->FIndicatorWidth = std::max(0, this->width() - 1);
                grid->LayoutChanged();
            }
            break;
        }
    }
}
