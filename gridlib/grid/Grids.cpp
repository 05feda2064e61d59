#include "gridlib/grid/Grids.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

// ---- Geometry helpers ----

int TGridAxisDrawInfo::GetExtent(int index) const
{
    return Horizontal ? Grid->ColWidths(index) : Grid->RowHeights(index);
}

namespace {

// The pixels of the cells first..last that are in view on one axis: the start of the first
// and the end (without its line) of the last, clipped to the client.
bool AxisSpan(const TGridAxisDrawInfo& a, int first, int last, int& start, int& end)
{
    if (first > last) std::swap(first, last);
    bool found = false;
    auto take = [&](int cell, int pos) {
        if (cell < first || cell > last) return;
        if (!found) start = pos;
        found = true;
        end = pos + a.GetExtent(cell);
    };
    int pos = 0;
    for (int i = 0; i < a.FixedCellCount && i < a.GridCellCount && i <= last; ++i) {
        take(i, pos);
        pos += a.GetExtent(i) + a.EffectiveLineWidth;
    }
    pos = a.FixedBoundary;
    for (int i = a.FirstGridCell; i < a.GridCellCount && i <= last && pos < a.GridExtent; ++i) {
        take(i, pos);
        pos += a.GetExtent(i) + a.EffectiveLineWidth;
    }
    if (!found || start >= a.GridExtent) return false;
    end = std::min(end, a.GridExtent);
    return true;
}

// The cell under a pixel on one axis (a cell owns the line after it); -1 for none.
int AxisCoord(const TGridAxisDrawInfo& a, int p)
{
    if (p < 0) return -1;
    if (p < a.FixedBoundary) {
        int pos = 0;
        for (int i = 0; i < a.FixedCellCount; ++i) {
            pos += a.GetExtent(i) + a.EffectiveLineWidth;
            if (p < pos) return i;
        }
        return -1;
    }
    int pos = a.FixedBoundary;
    for (int i = a.FirstGridCell; i < a.GridCellCount && pos < a.GridExtent; ++i) {
        pos += a.GetExtent(i) + a.EffectiveLineWidth;
        if (p < pos) return i;
    }
    return -1;
}

// Start pixel of a cell on one axis when it is in view, else -1.
int AxisStart(const TGridAxisDrawInfo& a, int cell)
{
    int start = 0, end = 0;
    return AxisSpan(a, cell, cell, start, end) ? start : -1;
}

} // namespace

// ---- TInplaceEdit ----

TInplaceEdit::TInplaceEdit(TCustomGrid* grid) : QLineEdit(grid ? grid->viewport() : nullptr), FGrid(grid)
{
    setFrame(false);
    setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    QLineEdit::setMaxLength(32767);
    connect(this, &QLineEdit::textChanged, this, &TInplaceEdit::TextEdited);
}

int TInplaceEdit::SelStart() const
{
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

int TInplaceEdit::SelLength() const { return hasSelectedText() ? int(selectedText().size()) : 0; }

void TInplaceEdit::SetSelStart(int pos) { setCursorPosition(std::clamp(pos, 0, int(text().size()))); }

void TInplaceEdit::SetSelLength(int length)
{
    const int start = SelStart();
    if (length <= 0) {
        setCursorPosition(start);
        return;
    }
    setSelection(start, length);
}

void TInplaceEdit::SetMaxLength(int length)
{
    FMaxLength = std::max(0, length);
    QLineEdit::setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
}

void TInplaceEdit::SetText(const QString& value)
{
    FSetting = true;
    setText(value);
    FSetting = false;
}

void TInplaceEdit::TextEdited(const QString& value)
{
    if (FSetting || !FGrid) return;
    FGrid->SetEditText(FGrid->Col(), FGrid->Row(), value);
}

void TInplaceEdit::UpdateContents()
{
    if (!FGrid) return;
    SetEditMask(FGrid->GetEditMask(FGrid->Col(), FGrid->Row()));
    SetMaxLength(FGrid->GetEditLimit());
    SetText(FGrid->GetEditText(FGrid->Col(), FGrid->Row()));
}

void TInplaceEdit::UpdateLoc(const TRect& rect)
{
    Move(rect);
    if (!isVisible()) show();
    if (FGrid && FGrid->ShouldFocusEditor() && !hasFocus()) setFocus(Qt::OtherFocusReason);
}

void TInplaceEdit::Move(const TRect& rect)
{
    const QRect r = rect.ToQRect();
    if (geometry() != r) {
        setGeometry(r);
        BoundsChanged();
    }
}

bool TInplaceEdit::PosEqual(const TRect& rect) const { return geometry() == rect.ToQRect(); }

void TInplaceEdit::Hide()
{
    if (!isVisible()) return;
    if (hasFocus() && FGrid) FGrid->setFocus(Qt::OtherFocusReason);
    hide();
}

void TInplaceEdit::Deselect() { setCursorPosition(int(text().size())); }

void TInplaceEdit::MoveOutOfView()
{
    if (!FGrid) return;
    move(FGrid->ClientWidth() + 10, y());
}

bool TInplaceEdit::EditCanModify() { return FGrid ? FGrid->CanEditModify() : true; }

void TInplaceEdit::KeyDown(int& key, TShiftState shift)
{
    if (!FGrid) return;
    auto toGrid = [&] {
        FGrid->KeyDown(key, shift);
        key = 0;
    };
    const bool ctrl = shift.Contains(ssCtrl);
    const bool forward = FGrid->GridOptions().Contains(goAlwaysShowEditor);
    const int len = int(text().size());
    switch (key) {
    case VK_UP: case VK_DOWN: case VK_PRIOR: case VK_NEXT: case VK_ESCAPE:
        toGrid();
        break;
    case VK_TAB:
        if (!shift.Contains(ssAlt) && FGrid->GridOptions().Contains(goTabs)) toGrid();
        break;
    case VK_INSERT:
        if (shift.IsEmpty()) toGrid();
        else if (shift == TShiftState{ssShift} && !EditCanModify()) key = 0;
        break;
    case VK_LEFT:
        if (forward && (ctrl || (SelStart() == 0 && (SelLength() == 0 || SelLength() == len)))) toGrid();
        break;
    case VK_RIGHT:
        if (forward && (ctrl || (SelStart() + SelLength() == len && (SelLength() == 0 || SelLength() == len)))) toGrid();
        break;
    case VK_HOME: case VK_END:
        if (ctrl) toGrid();
        break;
    case VK_F2:
        Deselect();
        key = 0;
        break;
    case VK_DELETE:
        if (ctrl) toGrid();
        else if (!EditCanModify()) key = 0;
        break;
    default:
        break;
    }
}

void TInplaceEdit::KeyPress(QChar& key)
{
    if (!FGrid) return;
    const ushort c = key.unicode();
    if (c == '\r') {
        FGrid->KeyPress(key);
        key = QChar();
        if (isVisible()) selectAll();
        return;
    }
    if (c == '\t' || c == 27) {
        key = QChar();
        return;
    }
    if (!FGrid->CanEditAcceptKey(key)) {
        key = QChar();
        QApplication::beep();
        return;
    }
    if ((c == 8 || c >= 32) && !EditCanModify()) key = QChar();
}

void TInplaceEdit::KeyUp(int& key, TShiftState shift)
{
    Q_UNUSED(key);
    Q_UNUSED(shift);
}

bool TInplaceEdit::event(QEvent* e)
{
    // Tab belongs to the grid when it uses tabs, not to the focus chain.
    if (e->type() == QEvent::KeyPress && FGrid && FGrid->GridOptions().Contains(goTabs)) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) && !(k->modifiers() & Qt::AltModifier)) {
            keyPressEvent(k);
            return true;
        }
    }
    return QLineEdit::event(e);
}

void TInplaceEdit::keyPressEvent(QKeyEvent* e)
{
    int key = KeyEventToVirtualKey(e);
    TShiftState shift = ShiftStateFromModifiers(e->modifiers());
    if (e->key() == Qt::Key_Backtab) shift.Include(ssShift);   // Shift+Tab arrives as its own key
    if (key) {
        KeyDown(key, shift);
        if (!key) {
            e->accept();
            return;
        }
    }
    const QString typed = e->text();
    const bool ctrlLetter = (e->modifiers() & Qt::ControlModifier) && !typed.isEmpty() && typed[0].unicode() >= 32;
    if (!typed.isEmpty() && !ctrlLetter && e->key() != Qt::Key_Delete) {
        QChar ch = typed[0];
        const QChar original = ch;
        KeyPress(ch);
        if (ch.isNull()) {
            e->accept();
            return;
        }
        if (ch != original) {
            if (ch.unicode() == 8) backspace();
            else if (ch.unicode() >= 32) insert(QString(ch));
            e->accept();
            return;
        }
        if (original.unicode() < 32 && original.unicode() != 8) {
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
        return;
    }
    if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Undo) ||
        e->matches(QKeySequence::Redo) || e->matches(QKeySequence::DeleteEndOfWord) ||
        e->matches(QKeySequence::DeleteStartOfWord)) {
        if (!EditCanModify()) {
            e->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(e);
}

void TInplaceEdit::keyReleaseEvent(QKeyEvent* e)
{
    int key = KeyEventToVirtualKey(e);
    if (key) KeyUp(key, ShiftStateFromModifiers(e->modifiers()));
    QLineEdit::keyReleaseEvent(e);
}

void TInplaceEdit::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    DoEnter();
}

// ---- TCustomGrid ----

TCustomGrid::TCustomGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    FColWidths.assign(size_t(FColCount), FDefaultColWidth);
    FRowHeights.assign(size_t(FRowCount), FDefaultRowHeight);
    FTabStops.assign(size_t(FColCount), 1);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        const bool horizontal = bar == horizontalScrollBar();
        bar->setTracking(false);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, horizontal](int action) { BarAction(horizontal, action); });
        connect(bar, &QAbstractSlider::sliderReleased, this, [this, horizontal] { BarReleased(horizontal); });
    }
    FFocusConnection = connect(qApp, &QApplication::focusChanged, this, &TCustomGrid::FocusChanged);
    UpdateScrollBarPolicies();
}

TCustomGrid::~TCustomGrid() { disconnect(FFocusConnection); }

// --- Cell model

void TCustomGrid::ChangeSize(int newColCount, int newRowCount)
{
    const int oldCols = FColCount, oldRows = FRowCount;
    if (newColCount == oldCols && newRowCount == oldRows) return;
    FColCount = newColCount;
    FRowCount = newRowCount;
    FColWidths.resize(size_t(FColCount), FDefaultColWidth);
    FTabStops.resize(size_t(FColCount), 1);
    FRowHeights.resize(size_t(FRowCount), FDefaultRowHeight);
    FCurrent.X = std::min(FCurrent.X, FColCount - 1);
    FCurrent.Y = std::min(FCurrent.Y, FRowCount - 1);
    FAnchor.X = std::min(FAnchor.X, FColCount - 1);
    FAnchor.Y = std::min(FAnchor.Y, FRowCount - 1);
    if (FGridOptions.Contains(goRowSelect)) FAnchor.X = FColCount - 1;
    FTopLeft.X = std::clamp(FTopLeft.X, FFixedCols, std::max(FFixedCols, FColCount - 1));
    FTopLeft.Y = std::clamp(FTopLeft.Y, FFixedRows, std::max(FFixedRows, FRowCount - 1));
    SizeChanged(oldCols, oldRows);
    UpdateScrollRange();
    InvalidateGrid();
    // The editor stays over the current cell (clamped into the new size).
    if (FEditorMode && FInplaceEdit && FInplaceEdit->isVisible()) {
        FInplaceCol = FInplaceRow = -1;
        UpdateEdit();
    }
}

void TCustomGrid::SetColCount(int count)
{
    count = std::max(1, count);
    if (count <= FFixedCols) SetFixedCols(count - 1);
    ChangeSize(count, FRowCount);
}

void TCustomGrid::SetRowCount(int count)
{
    count = std::max(1, count);
    if (count <= FFixedRows) SetFixedRows(count - 1);
    ChangeSize(FColCount, count);
}

void TCustomGrid::SetFixedCols(int count)
{
    if (count < 0) throw EInvalidGridOperation(QStringLiteral("Grid index out of range"));
    if (count >= FColCount && count > 0) throw EInvalidGridOperation(QStringLiteral("Fixed column count must be less than column count"));
    if (count == FFixedCols) return;
    FFixedCols = count;
    FTopLeft.X = std::max(FTopLeft.X, FFixedCols);
    if (FCurrent.X < FFixedCols) FCurrent.X = FFixedCols;
    if (FAnchor.X < FFixedCols) FAnchor.X = FFixedCols;
    FTopLeft.X = std::min(FTopLeft.X, FColCount - 1);
    FCurrent.X = std::min(FCurrent.X, FColCount - 1);
    UpdateScrollRange();
    InvalidateGrid();
    if (FEditorMode) UpdateEdit();
}

void TCustomGrid::SetFixedRows(int count)
{
    if (count < 0) throw EInvalidGridOperation(QStringLiteral("Grid index out of range"));
    if (count >= FRowCount && count > 0) throw EInvalidGridOperation(QStringLiteral("Fixed row count must be less than row count"));
    if (count == FFixedRows) return;
    FFixedRows = count;
    FTopLeft.Y = std::max(FTopLeft.Y, FFixedRows);
    if (FCurrent.Y < FFixedRows) FCurrent.Y = FFixedRows;
    if (FAnchor.Y < FFixedRows) FAnchor.Y = FFixedRows;
    FTopLeft.Y = std::min(FTopLeft.Y, FRowCount - 1);
    FCurrent.Y = std::min(FCurrent.Y, FRowCount - 1);
    UpdateScrollRange();
    InvalidateGrid();
    if (FEditorMode) UpdateEdit();
}

void TCustomGrid::SetDefaultColWidth(int width)
{
    FDefaultColWidth = std::max(0, width);
    FColWidths.assign(size_t(FColCount), FDefaultColWidth);
    ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int height)
{
    FDefaultRowHeight = std::max(0, height);
    FRowHeights.assign(size_t(FRowCount), FDefaultRowHeight);
    RowHeightsChanged();
}

void TCustomGrid::SetGridLineWidth(int width)
{
    width = std::max(0, width);
    if (width == FGridLineWidth) return;
    FGridLineWidth = width;
    UpdateScrollRange();
    InvalidateGrid();
}

int TCustomGrid::ColWidths(int col) const
{
    return col >= 0 && col < FColCount ? FColWidths[size_t(col)] : FDefaultColWidth;
}

void TCustomGrid::SetColWidths(int col, int width)
{
    if (col < 0 || col >= FColCount) return;
    width = std::max(0, width);
    if (FColWidths[size_t(col)] == width) return;
    FColWidths[size_t(col)] = width;
    ColWidthsChanged();
}

int TCustomGrid::RowHeights(int row) const
{
    return row >= 0 && row < FRowCount ? FRowHeights[size_t(row)] : FDefaultRowHeight;
}

void TCustomGrid::SetRowHeights(int row, int height)
{
    if (row < 0 || row >= FRowCount) return;
    height = std::max(0, height);
    if (FRowHeights[size_t(row)] == height) return;
    FRowHeights[size_t(row)] = height;
    RowHeightsChanged();
}

bool TCustomGrid::TabStops(int col) const { return col >= 0 && col < FColCount ? FTabStops[size_t(col)] != 0 : true; }

void TCustomGrid::SetTabStops(int col, bool value)
{
    if (col >= 0 && col < FColCount) FTabStops[size_t(col)] = value ? 1 : 0;
}

void TCustomGrid::SetGridOptions(TGridOptions options)
{
    if (options == FGridOptions) return;
    if (options.Contains(goRowSelect)) options.Exclude(goAlwaysShowEditor);
    FGridOptions = options;
    if (!FEditorMode) {
        if (options.Contains(goAlwaysShowEditor)) FEditorMode = true;
        else HideEditor();
    } else if (!options.Contains(goEditing)) {
        HideEditor();
    }
    if (options.Contains(goRowSelect)) {
        FAnchor.X = FColCount - 1;
        FAnchor.Y = FCurrent.Y;
    }
    UpdateScrollRange();
    InvalidateGrid();
    if (FEditorMode) UpdateEdit();
}

void TCustomGrid::SetScrollBars(TScrollStyle style)
{
    if (style == FScrollBars) return;
    FScrollBars = style;
    UpdateScrollBarPolicies();
    UpdateScrollRange();
}

// --- Position

void TCustomGrid::SetCol(int col)
{
    if (col == FCurrent.X) return;
    FocusCell(col, FCurrent.Y, true);
}

void TCustomGrid::SetRow(int row)
{
    if (row == FCurrent.Y) return;
    FocusCell(FCurrent.X, row, true);
}

void TCustomGrid::SetLeftCol(int col)
{
    if (col != FTopLeft.X) MoveTopLeft(col, FTopLeft.Y);
}

void TCustomGrid::SetTopRow(int row)
{
    if (row != FTopLeft.Y) MoveTopLeft(FTopLeft.X, row);
}

int TCustomGrid::VisibleColCount() const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    return std::max(0, info.Horz.LastFullVisibleCell - FTopLeft.X + 1);
}

int TCustomGrid::VisibleRowCount() const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    return std::max(0, info.Vert.LastFullVisibleCell - FTopLeft.Y + 1);
}

TGridRect TCustomGrid::Selection() const
{
    TGridRect r;
    r.Left = std::min(FCurrent.X, FAnchor.X);
    r.Right = std::max(FCurrent.X, FAnchor.X);
    r.Top = std::min(FCurrent.Y, FAnchor.Y);
    r.Bottom = std::max(FCurrent.Y, FAnchor.Y);
    if (FGridOptions.Contains(goRowSelect)) {
        r.Left = FFixedCols;
        r.Right = FColCount - 1;
    }
    return r;
}

void TCustomGrid::SetSelection(const TGridRect& rect)
{
    const TGridRect old = Selection();
    FAnchor = {rect.Right, rect.Bottom};
    FCurrent = {rect.Left, rect.Top};
    InvalidateCellRange(old);
    InvalidateCellRange(Selection());
}

void TCustomGrid::InvalidateCellRange(const TGridRect& range)
{
    const TRect r = BoxRect(range.Left, range.Top, range.Right, range.Bottom);
    // The lines around the block belong to its look too.
    if (!r.IsEmpty()) InvalidateRect(r.Inflated(FGridLineWidth, FGridLineWidth));
}

// --- Geometry

TRect TCustomGrid::GetClientRect() const { return {0, 0, viewport()->width(), viewport()->height()}; }
int TCustomGrid::ClientWidth() const { return GetClientRect().Width(); }
int TCustomGrid::ClientHeight() const { return GetClientRect().Height(); }

void TCustomGrid::CalcFixedAxis(TGridAxisDrawInfo& axis, bool horizontal, int fixedCount, int firstCell, int cellCount) const
{
    axis.Grid = this;
    axis.Horizontal = horizontal;
    const bool lines = horizontal ? (FGridOptions.Contains(goFixedVertLine) || FGridOptions.Contains(goVertLine))
                                  : (FGridOptions.Contains(goFixedHorzLine) || FGridOptions.Contains(goHorzLine));
    axis.EffectiveLineWidth = lines ? FGridLineWidth : 0;
    axis.FixedBoundary = 0;
    for (int i = 0; i < fixedCount; ++i) axis.FixedBoundary += axis.GetExtent(i) + axis.EffectiveLineWidth;
    axis.FixedCellCount = fixedCount;
    axis.FirstGridCell = firstCell;
    axis.GridCellCount = cellCount;
}

void TCustomGrid::CalcAxis(TGridAxisDrawInfo& axis, int extent) const
{
    axis.GridExtent = extent;
    axis.GridBoundary = axis.FixedBoundary;
    axis.FullVisBoundary = axis.FixedBoundary;
    axis.LastFullVisibleCell = axis.FirstGridCell;
    for (int i = axis.FirstGridCell; i < axis.GridCellCount; ++i) {
        axis.GridBoundary += axis.GetExtent(i) + axis.EffectiveLineWidth;
        if (axis.GridBoundary > extent + axis.EffectiveLineWidth) {
            axis.GridBoundary = extent;
            break;
        }
        axis.LastFullVisibleCell = i;
        axis.FullVisBoundary = axis.GridBoundary;
    }
}

void TCustomGrid::CalcDrawInfoXY(TGridDrawInfo& info, int width, int height) const
{
    CalcFixedAxis(info.Horz, true, FFixedCols, FTopLeft.X, FColCount);
    CalcFixedAxis(info.Vert, false, FFixedRows, FTopLeft.Y, FRowCount);
    CalcAxis(info.Horz, width);
    CalcAxis(info.Vert, height);
}

void TCustomGrid::CalcDrawInfo(TGridDrawInfo& info) const { CalcDrawInfoXY(info, ClientWidth(), ClientHeight()); }

TRect TCustomGrid::CellRect(int col, int row) const { return BoxRect(col, row, col, row); }

TRect TCustomGrid::BoxRect(int left, int top, int right, int bottom) const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    TRect r;
    if (!AxisSpan(info.Horz, left, right, r.Left, r.Right) || !AxisSpan(info.Vert, top, bottom, r.Top, r.Bottom))
        return {};
    return r;
}

TGridCoord TCustomGrid::CalcCoordFromPoint(int x, int y, const TGridDrawInfo& info) const
{
    return {AxisCoord(info.Horz, x), AxisCoord(info.Vert, y)};
}

TGridCoord TCustomGrid::MouseCoord(int x, int y) const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    TGridCoord c = CalcCoordFromPoint(x, y, info);
    if (c.X < 0) c.Y = -1;
    if (c.Y < 0) c.X = -1;
    return c;
}

void TCustomGrid::CalcSizingState(int x, int y, TGridState& state, int& index, int& sizingPos, int& sizingOfs,
                                  const TGridDrawInfo& info) const
{
    state = gsNormal;
    index = -1;
    // A border is hot from 3 pixels left of its line to 2 pixels right of it.
    auto find = [&](const TGridAxisDrawInfo& axis, int p) -> bool {
        int pos = 0;
        auto check = [&](int cell) {
            const int line = pos + axis.GetExtent(cell);
            if (p >= line - 3 && p <= line + axis.EffectiveLineWidth + 1) {
                index = cell;
                sizingPos = line;
                sizingOfs = line - p;
                return true;
            }
            return false;
        };
        for (int i = 0; i < axis.FixedCellCount; ++i) {
            if (check(i)) return true;
            pos += axis.GetExtent(i) + axis.EffectiveLineWidth;
        }
        pos = axis.FixedBoundary;
        for (int i = axis.FirstGridCell; i < axis.GridCellCount && pos < axis.GridExtent; ++i) {
            if (check(i)) return true;
            pos += axis.GetExtent(i) + axis.EffectiveLineWidth;
        }
        return false;
    };
    if (FGridOptions.Contains(goColSizing) && y >= 0 && y < info.Vert.FixedBoundary && x < info.Horz.GridBoundary + 3) {
        if (find(info.Horz, x)) state = gsColSizing;
    } else if (FGridOptions.Contains(goRowSizing) && x >= 0 && x < info.Horz.FixedBoundary) {
        if (find(info.Vert, y)) state = gsRowSizing;
    }
}

bool TCustomGrid::Sizing(int x, int y) const
{
    // While sizing runs, every point counts as the border being dragged.
    if (FGridState == gsColSizing || FGridState == gsRowSizing) return true;
    TGridDrawInfo info;
    CalcDrawInfo(info);
    TGridState state;
    int index = 0, pos = 0, ofs = 0;
    CalcSizingState(x, y, state, index, pos, ofs, info);
    return state != gsNormal;
}

// --- Invalidation

void TCustomGrid::InvalidateRect(const TRect& rect)
{
    if (!rect.IsEmpty()) viewport()->update(rect.ToQRect());
}

void TCustomGrid::InvalidateCell(int col, int row)
{
    const TRect r = CellRect(col, row);
    if (!r.IsEmpty()) InvalidateRect(r.Inflated(FGridLineWidth, FGridLineWidth));
}

void TCustomGrid::InvalidateCol(int col)
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    int left = 0, right = 0;
    if (AxisSpan(info.Horz, col, col, left, right)) InvalidateRect({left, 0, right + info.Horz.EffectiveLineWidth, ClientHeight()});
}

void TCustomGrid::InvalidateRow(int row)
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    int top = 0, bottom = 0;
    if (AxisSpan(info.Vert, row, row, top, bottom)) InvalidateRect({0, top, ClientWidth(), bottom + info.Vert.EffectiveLineWidth});
}

void TCustomGrid::InvalidateGrid() { viewport()->update(); }

void TCustomGrid::Update()
{
    if (QWidget* w = window()) QCoreApplication::sendPostedEvents(w, QEvent::UpdateRequest);
}

void TCustomGrid::BeginRedrawLock()
{
    if (FRedrawLock++ == 0 && isVisible()) viewport()->setUpdatesEnabled(false);
}

void TCustomGrid::EndRedrawLock(bool repaint)
{
    if (FRedrawLock == 0) return;
    if (--FRedrawLock > 0) return;
    if (!viewport()->updatesEnabled()) viewport()->setUpdatesEnabled(true);
    if (repaint) InvalidateGrid();
}

// --- Moving

bool TCustomGrid::IsActiveControl() const
{
    const QWidget* w = window();
    return w && (w->focusWidget() == this || hasFocus());
}

bool TCustomGrid::CanFocus() const
{
    return isVisible() && isEnabled() && focusPolicy() != Qt::NoFocus && window()->isEnabled();
}

bool TCustomGrid::HasFocusWithin() const
{
    const QWidget* f = QApplication::focusWidget();
    return f && (f == this || isAncestorOf(f));
}

void TCustomGrid::MoveColRow(int col, int row, bool moveAnchor, bool show)
{
    col = std::clamp(col, 0, FColCount - 1);
    row = std::clamp(row, 0, FRowCount - 1);
    const TGridRect oldSel = Selection();
    const bool moved = col != FCurrent.X || row != FCurrent.Y;
    FCurrent = {col, row};
    if (moved && !FGridOptions.Contains(goAlwaysShowEditor)) HideEditor();
    if (moveAnchor || !FGridOptions.Contains(goRangeSelect)) {
        FAnchor = FCurrent;
        if (FGridOptions.Contains(goRowSelect)) FAnchor.X = FColCount - 1;
    }
    if (show) ClampInView(FCurrent);
    const TGridRect newSel = Selection();
    if (!(oldSel == newSel)) {
        InvalidateCellRange(oldSel);
        InvalidateCellRange(newSel);
    } else if (moved) {
        InvalidateCellRange(newSel);
    }
    if (FEditorMode) UpdateEdit();
}

void TCustomGrid::FocusCell(int col, int row, bool moveAnchor)
{
    col = std::clamp(col, 0, FColCount - 1);
    row = std::clamp(row, 0, FRowCount - 1);
    if (!SelectCell(col, row)) return;
    MoveColRow(col, row, moveAnchor, true);
}

int TCustomGrid::MaxLeftCol() const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const int avail = info.Horz.GridExtent - info.Horz.FixedBoundary;
    int used = 0;
    int col = FColCount - 1;
    while (col > FFixedCols) {
        const int w = ColWidths(col) + info.Horz.EffectiveLineWidth;
        if (used + ColWidths(col - 1) + info.Horz.EffectiveLineWidth + w > avail + info.Horz.EffectiveLineWidth) break;
        used += w;
        --col;
    }
    return std::max(FFixedCols, std::min(col, FColCount - 1));
}

int TCustomGrid::MaxTopRow() const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const int avail = info.Vert.GridExtent - info.Vert.FixedBoundary;
    int used = 0;
    int row = FRowCount - 1;
    while (row > FFixedRows) {
        const int h = RowHeights(row) + info.Vert.EffectiveLineWidth;
        if (used + RowHeights(row - 1) + info.Vert.EffectiveLineWidth + h > avail + info.Vert.EffectiveLineWidth) break;
        used += h;
        --row;
    }
    return std::max(FFixedRows, std::min(row, FRowCount - 1));
}

void TCustomGrid::ClampInView(const TGridCoord& coord)
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    int left = FTopLeft.X, top = FTopLeft.Y;
    // The leftmost first cell from which the cell still fits whole.
    auto firstFitting = [](const TGridAxisDrawInfo& axis, int cell, int fixedCount) {
        const int avail = axis.GridExtent - axis.FixedBoundary;
        int used = axis.GetExtent(cell) + axis.EffectiveLineWidth;
        int first = cell;
        while (first > fixedCount) {
            const int w = axis.GetExtent(first - 1) + axis.EffectiveLineWidth;
            if (used + w > avail + axis.EffectiveLineWidth) break;
            used += w;
            --first;
        }
        return first;
    };
    if (coord.X >= FFixedCols) {
        if (coord.X < FTopLeft.X) left = coord.X;
        else if (coord.X > info.Horz.LastFullVisibleCell) left = firstFitting(info.Horz, coord.X, FFixedCols);
    }
    if (coord.Y >= FFixedRows) {
        if (coord.Y < FTopLeft.Y) top = coord.Y;
        else if (coord.Y > info.Vert.LastFullVisibleCell) top = firstFitting(info.Vert, coord.Y, FFixedRows);
    }
    MoveTopLeft(left, top);
}

void TCustomGrid::MoveTopLeft(int left, int top)
{
    left = std::clamp(left, FFixedCols, std::max(FFixedCols, FColCount - 1));
    top = std::clamp(top, FFixedRows, std::max(FFixedRows, FRowCount - 1));
    if (left == FTopLeft.X && top == FTopLeft.Y) return;
    FTopLeft = {left, top};
    UpdateScrollRange();
    InvalidateGrid();
    TopLeftChanged();
}

void TCustomGrid::TopLeftChanged()
{
    if (FEditorMode && FInplaceEdit) FInplaceEdit->Move(CellRect(FCurrent.X, FCurrent.Y));
}

void TCustomGrid::ColWidthsChanged()
{
    UpdateScrollRange();
    InvalidateGrid();
    if (FEditorMode) UpdateEdit();
}

void TCustomGrid::RowHeightsChanged()
{
    UpdateScrollRange();
    InvalidateGrid();
    if (FEditorMode) UpdateEdit();
}

void TCustomGrid::SizeChanged(int oldColCount, int oldRowCount)
{
    Q_UNUSED(oldColCount);
    Q_UNUSED(oldRowCount);
}

void TCustomGrid::MoveColumn(int fromIndex, int toIndex)
{
    if (fromIndex == toIndex || fromIndex < 0 || toIndex < 0 || fromIndex >= FColCount || toIndex >= FColCount) return;
    auto shift = [&](auto& v) {
        auto item = v[size_t(fromIndex)];
        v.erase(v.begin() + fromIndex);
        v.insert(v.begin() + toIndex, item);
    };
    shift(FColWidths);
    shift(FTabStops);
    HideEdit();
    ColumnMoved(fromIndex, toIndex);
    if (FCurrent.X == fromIndex) FCurrent.X = toIndex;
    else if (FCurrent.X > fromIndex && FCurrent.X <= toIndex) --FCurrent.X;
    else if (FCurrent.X < fromIndex && FCurrent.X >= toIndex) ++FCurrent.X;
    FAnchor.X = FGridOptions.Contains(goRowSelect) ? FColCount - 1 : FCurrent.X;
    InvalidateGrid();
    if (FEditorMode) UpdateEdit();
}

void TCustomGrid::MoveRow(int fromIndex, int toIndex)
{
    if (fromIndex == toIndex || fromIndex < 0 || toIndex < 0 || fromIndex >= FRowCount || toIndex >= FRowCount) return;
    const int h = FRowHeights[size_t(fromIndex)];
    FRowHeights.erase(FRowHeights.begin() + fromIndex);
    FRowHeights.insert(FRowHeights.begin() + toIndex, h);
    HideEdit();
    RowMoved(fromIndex, toIndex);
    InvalidateGrid();
}

void TCustomGrid::TimedScroll(int direction)
{
    // direction: bit 0 left, bit 1 right, bit 2 up, bit 3 down
    int left = FTopLeft.X, top = FTopLeft.Y;
    if (direction & 1) --left;
    if (direction & 2) ++left;
    if (direction & 4) --top;
    if (direction & 8) ++top;
    MoveTopLeft(std::min(left, MaxLeftCol()), std::min(top, MaxTopRow()));
}

// --- Scroll bars

bool TCustomGrid::WantsHorzScrollBar() const { return FScrollBars == ssHorizontal || FScrollBars == ssBoth; }
bool TCustomGrid::WantsVertScrollBar() const { return FScrollBars == ssVertical || FScrollBars == ssBoth; }

Qt::ScrollBarPolicy TCustomGrid::ScrollBarPolicy(bool horizontal) const
{
    return (horizontal ? WantsHorzScrollBar() : WantsVertScrollBar()) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
}

void TCustomGrid::UpdateScrollBarPolicies()
{
    setHorizontalScrollBarPolicy(ScrollBarPolicy(true));
    setVerticalScrollBarPolicy(ScrollBarPolicy(false));
}

void TCustomGrid::UpdateScrollRange()
{
    TScrollInfo h;
    h.Page = std::max(1, VisibleColCount());
    h.Max = MaxLeftCol() - FFixedCols + h.Page - 1;
    h.Pos = FTopLeft.X - FFixedCols;
    SetHorzScrollInfo(h);
    TScrollInfo v;
    v.Page = std::max(1, VisibleRowCount());
    v.Max = MaxTopRow() - FFixedRows + v.Page - 1;
    v.Pos = FTopLeft.Y - FFixedRows;
    SetVertScrollInfo(v);
}

void TCustomGrid::SetBarValues(bool horizontal, const TScrollInfo& info)
{
    QScrollBar* bar = horizontal ? horizontalScrollBar() : verticalScrollBar();
    const bool wasSetting = FSettingBars;
    FSettingBars = true;
    const int max = std::max(info.Min, info.Page > 0 ? info.Max - info.Page + 1 : info.Max);
    bar->setRange(info.Min, max);
    bar->setPageStep(info.Page);
    bar->setSingleStep(1);
    bar->setValue(std::clamp(info.Pos, info.Min, max));
    FSettingBars = wasSetting;
}

void TCustomGrid::SetHorzScrollInfo(const TScrollInfo& info)
{
    FHorzInfo = info;
    SetBarValues(true, info);
}

void TCustomGrid::SetVertScrollInfo(const TScrollInfo& info)
{
    FVertInfo = info;
    SetBarValues(false, info);
}

void TCustomGrid::BarAction(bool horizontal, int action)
{
    if (FSettingBars) return;
    QScrollBar* bar = horizontal ? horizontalScrollBar() : verticalScrollBar();
    int code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    case QAbstractSlider::SliderMove:
        // Dragging the thumb: the place counts when it is released.
        if (bar->isSliderDown()) {
            if (!FGridOptions.Contains(goThumbTracking)) return;
            code = SB_THUMBTRACK;
        } else {
            code = SB_THUMBPOSITION;
        }
        break;
    default: return;
    }
    const int pos = bar->sliderPosition();
    FSettingBars = true;
    bar->setSliderPosition(bar->value());
    FSettingBars = false;
    horizontal ? HorzScroll(code, pos) : VertScroll(code, pos);
}

void TCustomGrid::BarReleased(bool horizontal)
{
    if (FSettingBars) return;
    QScrollBar* bar = horizontal ? horizontalScrollBar() : verticalScrollBar();
    const int pos = bar->sliderPosition();
    FSettingBars = true;
    bar->setSliderPosition(bar->value());
    FSettingBars = false;
    horizontal ? HorzScroll(SB_THUMBPOSITION, pos) : VertScroll(SB_THUMBPOSITION, pos);
}

void TCustomGrid::HorzScroll(int code, int pos)
{
    int left = FTopLeft.X;
    switch (code) {
    case SB_LINELEFT: --left; break;
    case SB_LINERIGHT: ++left; break;
    case SB_PAGELEFT: left -= std::max(1, VisibleColCount()); break;
    case SB_PAGERIGHT: left += std::max(1, VisibleColCount()); break;
    case SB_THUMBPOSITION: case SB_THUMBTRACK: left = FFixedCols + pos - FHorzInfo.Min; break;
    case SB_LEFT: left = FFixedCols; break;
    case SB_RIGHT: left = MaxLeftCol(); break;
    default: return;
    }
    MoveTopLeft(std::clamp(left, FFixedCols, MaxLeftCol()), FTopLeft.Y);
    UpdateScrollRange();
}

void TCustomGrid::VertScroll(int code, int pos)
{
    int top = FTopLeft.Y;
    switch (code) {
    case SB_LINEUP: --top; break;
    case SB_LINEDOWN: ++top; break;
    case SB_PAGEUP: top -= std::max(1, VisibleRowCount()); break;
    case SB_PAGEDOWN: top += std::max(1, VisibleRowCount()); break;
    case SB_THUMBPOSITION: case SB_THUMBTRACK: top = FFixedRows + pos - FVertInfo.Min; break;
    case SB_TOP: top = FFixedRows; break;
    case SB_BOTTOM: top = MaxTopRow(); break;
    default: return;
    }
    MoveTopLeft(FTopLeft.X, std::clamp(top, FFixedRows, MaxTopRow()));
    UpdateScrollRange();
}

void TCustomGrid::scrollContentsBy(int dx, int dy)
{
    // The bars never move pixels themselves: every request goes through HorzScroll/VertScroll.
    Q_UNUSED(dx);
    Q_UNUSED(dy);
}

// --- Editor

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

bool TCustomGrid::CanEditShow()
{
    return FGridOptions.Contains(goEditing) && !FGridOptions.Contains(goRowSelect) && FEditorMode &&
           (FGridOptions.Contains(goAlwaysShowEditor) || IsActiveControl());
}

void TCustomGrid::SetEditorMode(bool value)
{
    if (!value) {
        HideEditor();
        return;
    }
    ShowEditor();
    if (FInplaceEdit) FInplaceEdit->Deselect();
}

void TCustomGrid::ShowEditor()
{
    if (!CanEdit()) return;
    FEditorMode = true;
    UpdateEdit();
}

void TCustomGrid::HideEditor()
{
    FEditorMode = false;
    HideEdit();
}

void TCustomGrid::HideEdit()
{
    if (!FInplaceEdit || !FInplaceEdit->isVisible()) return;
    FInplaceCol = -1;
    FInplaceRow = -1;
    FInplaceEdit->Hide();
}

void TCustomGrid::UpdateEdit()
{
    if (!CanEditShow()) return;
    if (!FInplaceEdit) {
        FInplaceEdit = CreateEditor();
        FInplaceEdit->setParent(viewport());
        FInplaceEdit->setFont(font());
    }
    if (FInplaceCol != FCurrent.X || FInplaceRow != FCurrent.Y) {
        FInplaceCol = FCurrent.X;
        FInplaceRow = FCurrent.Y;
        FInplaceEdit->UpdateContents();
        FInplaceEdit->selectAll();
    }
    const TRect r = CellRect(FCurrent.X, FCurrent.Y);
    if (r.IsEmpty()) {
        FInplaceEdit->MoveOutOfView();
        return;
    }
    FInplaceEdit->UpdateLoc(r);
}

void TCustomGrid::UpdateEditor() { UpdateEdit(); }

void TCustomGrid::InvalidateEditor()
{
    FInplaceCol = -1;
    FInplaceRow = -1;
    UpdateEdit();
}

void TCustomGrid::ShowEditorChar(QChar ch)
{
    ShowEditor();
    if (!FInplaceEdit || !FInplaceEdit->isVisible()) return;
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QCoreApplication::sendEvent(FInplaceEdit, &press);
}

// --- Keys

void TCustomGrid::DoKeyDownEvent(int& key, TShiftState shift)
{
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TCustomGrid::KeyDown(int& key, TShiftState shift)
{
    DoKeyDownEvent(key, shift);
    if (key) GridKeyDown(key, shift);
}

void TCustomGrid::GridKeyDown(int& key, TShiftState shift)
{
    if (!CanGridAcceptKey(key, shift)) {
        key = 0;
        return;
    }
    const bool ctrl = shift.Contains(ssCtrl);
    const bool rowSelect = FGridOptions.Contains(goRowSelect);
    TGridCoord next = FCurrent;
    TGridCoord topLeft = FTopLeft;
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const int page = std::max(1, info.Vert.LastFullVisibleCell - FTopLeft.Y + 1);
    bool handled = true;
    if (ctrl) {
        switch (key) {
        case VK_UP: --topLeft.Y; break;
        case VK_DOWN: ++topLeft.Y; break;
        case VK_LEFT: if (!rowSelect) { --next.X; --topLeft.X; } break;
        case VK_RIGHT: if (!rowSelect) { ++next.X; ++topLeft.X; } break;
        case VK_PRIOR: next.Y = FTopLeft.Y; break;
        case VK_NEXT: next.Y = info.Vert.LastFullVisibleCell; break;
        case VK_HOME: next = {FFixedCols, FFixedRows}; break;
        case VK_END: next = {FColCount - 1, FRowCount - 1}; break;
        default: handled = false; break;
        }
    } else {
        switch (key) {
        case VK_UP: --next.Y; break;
        case VK_DOWN: ++next.Y; break;
        case VK_LEFT: if (rowSelect) --topLeft.X; else --next.X; break;
        case VK_RIGHT: if (rowSelect) ++topLeft.X; else ++next.X; break;
        case VK_PRIOR: next.Y -= page; topLeft.Y -= page; break;
        case VK_NEXT: next.Y += page; topLeft.Y += page; break;
        case VK_HOME: if (rowSelect) next.Y = FFixedRows; else next.X = FFixedCols; break;
        case VK_END: if (rowSelect) next.Y = FRowCount - 1; else next.X = FColCount - 1; break;
        case VK_TAB:
            if (!shift.Contains(ssAlt) && FGridOptions.Contains(goTabs)) {
                // The next (or previous) column with a tab stop, wrapping to the next row.
                const bool back = shift.Contains(ssShift);
                TGridCoord c = FCurrent;
                for (int guard = 0; guard < FColCount * 2; ++guard) {
                    c.X += back ? -1 : 1;
                    if (c.X >= FColCount) {
                        c.X = FFixedCols;
                        if (++c.Y >= FRowCount) c.Y = FFixedRows;
                    } else if (c.X < FFixedCols) {
                        c.X = FColCount - 1;
                        if (--c.Y < FFixedRows) c.Y = FRowCount - 1;
                    }
                    if (TabStops(c.X)) break;
                }
                next = c;
            } else {
                handled = false;
            }
            break;
        case VK_F2: SetEditorMode(true); break;
        default: handled = false; break;
        }
    }
    if (!handled) return;
    next.X = std::clamp(next.X, FFixedCols, FColCount - 1);
    next.Y = std::clamp(next.Y, FFixedRows, FRowCount - 1);
    topLeft.X = std::clamp(topLeft.X, FFixedCols, MaxLeftCol());
    topLeft.Y = std::clamp(topLeft.Y, FFixedRows, MaxTopRow());
    if (!(topLeft == FTopLeft)) MoveTopLeft(topLeft.X, topLeft.Y);
    if (!(next == FCurrent)) FocusCell(next.X, next.Y, !shift.Contains(ssShift));
    key = 0;
}

void TCustomGrid::KeyPress(QChar& key)
{
    if (OnKeyPress) OnKeyPress(this, key);
    if (!key.isNull()) GridKeyPress(key);
}

void TCustomGrid::GridKeyPress(QChar& key)
{
    if (!FGridOptions.Contains(goAlwaysShowEditor) && key.unicode() == '\r') {
        if (FEditorMode) HideEditor();
        else ShowEditor();
        key = QChar();
    }
}

void TCustomGrid::KeyUp(int& key, TShiftState shift)
{
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

bool TCustomGrid::focusNextPrevChild(bool next)
{
    if (FGridOptions.Contains(goTabs)) return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

bool TCustomGrid::event(QEvent* e)
{
    if (e->type() == QEvent::KeyPress && FGridOptions.Contains(goTabs)) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) && !(k->modifiers() & Qt::AltModifier)) {
            keyPressEvent(k);
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void TCustomGrid::keyPressEvent(QKeyEvent* e)
{
    if (FDragState == dragActive && e->key() == Qt::Key_Escape) {
        EndDrag(false);
        return;
    }
    int key = KeyEventToVirtualKey(e);
    TShiftState shift = ShiftStateFromModifiers(e->modifiers());
    if (e->key() == Qt::Key_Backtab) shift.Include(ssShift);
    if (key) {
        KeyDown(key, shift);
        if (!key) {
            e->accept();
            return;
        }
    }
    const QString typed = e->text();
    if (typed.isEmpty() || (shift.Contains(ssCtrl) && typed[0].unicode() >= 32) || shift.Contains(ssAlt)) {
        e->ignore();
        return;
    }
    QChar ch = typed[0];
    if (ch.unicode() == '\t' && !FGridOptions.Contains(goTabs)) {
        e->ignore();
        return;
    }
    // Typing into a cell opens the editor with the character.
    if (FGridOptions.Contains(goEditing) && !FEditorMode && (ch.unicode() == 8 || ch.unicode() >= 32) &&
        !FGridOptions.Contains(goRowSelect)) {
        ShowEditorChar(ch);
        e->accept();
        return;
    }
    KeyPress(ch);
    e->accept();
}

void TCustomGrid::keyReleaseEvent(QKeyEvent* e)
{
    int key = KeyEventToVirtualKey(e);
    if (key) KeyUp(key, ShiftStateFromModifiers(e->modifiers()));
}

// --- Mouse

void TCustomGrid::DoMouseDownEvent(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    GridMouseDown(button, shift, x, y);
    DoMouseDownEvent(button, shift, x, y);
}

void TCustomGrid::GridMouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (focusPolicy() != Qt::NoFocus && !HasFocusWithin()) setFocus(Qt::MouseFocusReason);
    if (button != mbLeft) return;
    if (shift.Contains(ssDouble)) {
        DblClick();
        return;
    }
    TGridDrawInfo info;
    CalcDrawInfo(info);
    TGridState state;
    int index = -1, pos = 0, ofs = 0;
    CalcSizingState(x, y, state, index, pos, ofs, info);
    if (state != gsNormal) {
        FGridState = state;
        FSizingIndex = index;
        FSizingPos = pos;
        FSizingOfs = ofs;
        viewport()->update();
        return;
    }
    const TGridCoord cell = CalcCoordFromPoint(x, y, info);
    if (cell.X < 0 || cell.Y < 0) return;
    if (cell.X >= FFixedCols && cell.Y >= FFixedRows) {
        if (FGridOptions.Contains(goEditing) && cell == FCurrent) {
            ShowEditor();
        } else {
            FocusCell(cell.X, cell.Y, !shift.Contains(ssShift));
            if (FGridOptions.Contains(goEditing) && FGridOptions.Contains(goAlwaysShowEditor)) UpdateEdit();
        }
        FGridState = gsSelecting;
    } else if (FGridOptions.Contains(goColMoving) && cell.Y < FFixedRows && cell.X >= FFixedCols) {
        FGridState = gsColMoving;
        FMoveIndex = cell.X;
        FMovePos = cell.X;
    } else if (FGridOptions.Contains(goRowMoving) && cell.X < FFixedCols && cell.Y >= FFixedRows) {
        FGridState = gsRowMoving;
        FMoveIndex = cell.Y;
        FMovePos = cell.Y;
    }
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y)
{
    GridMouseMove(shift, x, y);
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TCustomGrid::GridMouseMove(TShiftState shift, int x, int y)
{
    switch (FGridState) {
    case gsColSizing:
    case gsRowSizing: {
        const int p = (FGridState == gsColSizing ? x : y) + FSizingOfs;
        if (p != FSizingPos) {
            FSizingPos = p;
            viewport()->update();
        }
        break;
    }
    case gsSelecting: {
        const TGridCoord cell = MouseCoord(x, y);
        if (cell.X >= FFixedCols && cell.Y >= FFixedRows && !(cell == FCurrent) && FGridOptions.Contains(goRangeSelect))
            MoveColRow(cell.X, cell.Y, false, false);
        break;
    }
    case gsColMoving: {
        const TGridCoord cell = MouseCoord(x, y);
        if (cell.X >= FFixedCols) FMovePos = cell.X;
        break;
    }
    case gsRowMoving: {
        const TGridCoord cell = MouseCoord(x, y);
        if (cell.Y >= FFixedRows) FMovePos = cell.Y;
        break;
    }
    default:
        if (!shift.Contains(ssLeft)) {
            TGridDrawInfo info;
            CalcDrawInfo(info);
            TGridState state;
            int index = -1, pos = 0, ofs = 0;
            CalcSizingState(x, y, state, index, pos, ofs, info);
            if (state == gsColSizing) viewport()->setCursor(Qt::SplitHCursor);
            else if (state == gsRowSizing) viewport()->setCursor(Qt::SplitVCursor);
            else if (viewport()->cursor().shape() == Qt::SplitHCursor || viewport()->cursor().shape() == Qt::SplitVCursor)
                viewport()->unsetCursor();
        }
        break;
    }
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    GridMouseUp(button, shift, x, y);
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TCustomGrid::GridMouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    Q_UNUSED(button);
    Q_UNUSED(shift);
    Q_UNUSED(x);
    Q_UNUSED(y);
    const TGridState state = FGridState;
    FGridState = gsNormal;
    switch (state) {
    case gsColSizing:
    case gsRowSizing: {
        TGridDrawInfo info;
        CalcDrawInfo(info);
        const bool cols = state == gsColSizing;
        const int start = AxisStart(cols ? info.Horz : info.Vert, FSizingIndex);
        if (start >= 0) {
            const int size = std::max(1, FSizingPos - start);
            if (cols) SetColWidths(FSizingIndex, size);
            else SetRowHeights(FSizingIndex, size);
        }
        viewport()->update();
        break;
    }
    case gsColMoving:
        if (FMovePos >= 0 && FMovePos != FMoveIndex) MoveColumn(FMoveIndex, FMovePos);
        break;
    case gsRowMoving:
        if (FMovePos >= 0 && FMovePos != FMoveIndex) MoveRow(FMoveIndex, FMovePos);
        break;
    default:
        break;
    }
    FMoveIndex = FMovePos = -1;
}

void TCustomGrid::DblClick()
{
    if (OnDblClick) OnDblClick(this);
}

namespace {
TMouseButton ButtonOf(Qt::MouseButton b)
{
    return b == Qt::RightButton ? mbRight : b == Qt::MiddleButton ? mbMiddle : mbLeft;
}
} // namespace

void TCustomGrid::mousePressEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    FLastPress = p;
    const TShiftState shift = ShiftStateFromModifiers(e->modifiers(), e->buttons());
    MouseDown(ButtonOf(e->button()), shift, p.x(), p.y());
}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    TShiftState shift = ShiftStateFromModifiers(e->modifiers(), e->buttons());
    shift.Include(ssDouble);
    MouseDown(ButtonOf(e->button()), shift, p.x(), p.y());
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (FDragState == dragPending) {
        if (!(e->buttons() & Qt::LeftButton)) {
            FDragState = dragNone;
        } else if ((p - FDragStart).manhattanLength() >= FDragThreshold) {
            FDragState = dragActive;
        }
    }
    if (FDragState == dragActive) {
        DragMoved(e->globalPosition().toPoint());
        return;
    }
    MouseMove(ShiftStateFromModifiers(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (FDragState == dragActive) {
        DragMoved(e->globalPosition().toPoint());
        EndDrag(true);
        return;
    }
    FDragState = dragNone;
    MouseUp(ButtonOf(e->button()), ShiftStateFromModifiers(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TCustomGrid::wheelEvent(QWheelEvent* e)
{
    const int steps = e->angleDelta().y() / 120;
    for (int i = 0; i < std::abs(steps); ++i) VertScroll(steps > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
    e->accept();
}

// --- Dragging

void TCustomGrid::BeginDrag(bool immediate, int threshold)
{
    FDragThreshold = threshold >= 0 ? threshold : 5;
    FDragStart = FLastPress;
    FDragTarget = nullptr;
    FDragAccepted = false;
    FDragState = immediate ? dragActive : dragPending;
}

TCustomGrid* TCustomGrid::DragTargetAt(const QPoint& globalPos, QPoint& local) const
{
    for (QWidget* w = QApplication::widgetAt(globalPos); w; w = w->parentWidget()) {
        if (auto* grid = qobject_cast<TCustomGrid*>(w)) {
            local = grid->viewport()->mapFromGlobal(globalPos);
            return grid;
        }
    }
    return nullptr;
}

void TCustomGrid::DragMoved(const QPoint& globalPos)
{
    QPoint local;
    TCustomGrid* target = DragTargetAt(globalPos, local);
    FDragTarget = target;
    FDragTargetPoint = local;
    FDragAccepted = false;
    if (target) target->DragOver(this, local.x(), local.y(), FDragAccepted);
    viewport()->setCursor(FDragAccepted ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
}

void TCustomGrid::EndDrag(bool drop)
{
    if (FDragState == dragNone) return;
    const bool wasActive = FDragState == dragActive;
    FDragState = dragNone;
    viewport()->unsetCursor();
    QPointer<TCustomGrid> target = FDragTarget;
    FDragTarget = nullptr;
    if (!wasActive) return;
    const bool dropped = drop && target && FDragAccepted;
    if (dropped) target->DragDrop(this, FDragTargetPoint.x(), FDragTargetPoint.y());
    if (OnEndDrag) OnEndDrag(this, dropped ? target.data() : nullptr, FDragTargetPoint.x(), FDragTargetPoint.y());
}

void TCustomGrid::DragOver(QObject* source, int x, int y, bool& accept)
{
    if (OnDragOver) OnDragOver(this, source, x, y, accept);
}

void TCustomGrid::DragDrop(QObject* source, int x, int y)
{
    if (OnDragDrop) OnDragDrop(this, source, x, y);
}

// --- Focus

void TCustomGrid::FocusChanged(QWidget* old, QWidget* now)
{
    // Focus leaving for another application window is not an exit; it comes back. Neither is a
    // popup opened from inside (a cell control's drop-down list).
    if (!now || now->window()->windowType() == Qt::Popup) return;
    auto inside = [this](QWidget* w) { return w && (w == this || isAncestorOf(w)); };
    const bool wasIn = FFocusWithin;
    const bool isIn = inside(now);
    Q_UNUSED(old);
    if (!wasIn && isIn) {
        FFocusWithin = true;
        DoEnter();
    } else if (wasIn && !isIn) {
        FFocusWithin = false;
        DoExit();
    }
}

void TCustomGrid::DoEnter()
{
    if (OnEnter) OnEnter(this);
}

void TCustomGrid::DoExit()
{
    if (OnExit) OnExit(this);
}

void TCustomGrid::focusInEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusInEvent(e);
    InvalidateCell(FCurrent.X, FCurrent.Y);
    if (FGridOptions.Contains(goAlwaysShowEditor) && FEditorMode && FInplaceEdit && FInplaceEdit->isVisible() &&
        e->reason() != Qt::OtherFocusReason)
        FInplaceEdit->setFocus(Qt::OtherFocusReason);
}

void TCustomGrid::focusOutEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusOutEvent(e);
    InvalidateCell(FCurrent.X, FCurrent.Y);
}

// --- Resizing

void TCustomGrid::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    Resize();
}

void TCustomGrid::Resize()
{
    UpdateScrollRange();
    if (FEditorMode && FInplaceEdit && FInplaceEdit->isVisible()) UpdateEdit();
}

// --- Painting

void TCustomGrid::paintEvent(QPaintEvent* e)
{
    QPainter painter(viewport());
    TCanvas canvas(painter);
    FCanvas = &canvas;
    FUpdateRect = TRect::FromQRect(e->rect());
    canvas.Font = TFont(font(), clWindowText);
    Paint();
    FCanvas = nullptr;
    if (FGridState == gsColSizing || FGridState == gsRowSizing) DrawSizingLine(painter);
}

void TCustomGrid::DrawSizingLine(QPainter& painter)
{
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
    if (FGridState == gsColSizing) painter.drawLine(FSizingPos, 0, FSizingPos, ClientHeight());
    else painter.drawLine(0, FSizingPos, ClientWidth(), FSizingPos);
    painter.restore();
}

void TCustomGrid::Paint()
{
    TCanvas& c = *FCanvas;
    TGridDrawInfo info;
    CalcDrawInfo(info);
    c.Brush.Color = clWindow;
    c.FillRect({0, 0, ClientWidth(), ClientHeight()});
    DrawCells(0, 0, 0, 0, info.Horz.FixedBoundary, info.Vert.FixedBoundary, {gdFixed}, info);
    DrawCells(FTopLeft.X, 0, info.Horz.FixedBoundary, 0, info.Horz.GridBoundary, info.Vert.FixedBoundary, {gdFixed}, info);
    DrawCells(0, FTopLeft.Y, 0, info.Vert.FixedBoundary, info.Horz.FixedBoundary, info.Vert.GridBoundary, {gdFixed}, info);
    DrawCells(FTopLeft.X, FTopLeft.Y, info.Horz.FixedBoundary, info.Vert.FixedBoundary, info.Horz.GridBoundary,
              info.Vert.GridBoundary, {}, info);
    // Lines: after every cell, in the shadow colour among fixed cells and silver among the others.
    auto lines = [&](const TGridAxisDrawInfo& axis, bool vertical, int otherEnd) {
        if (axis.EffectiveLineWidth == 0) return;
        int pos = 0;
        auto draw = [&](int cell, bool fixed) {
            const int at = pos + axis.GetExtent(cell);
            c.Brush.Color = fixed ? clBtnShadow : clSilver;
            if (vertical) c.FillRect({at, 0, at + axis.EffectiveLineWidth, otherEnd});
            else c.FillRect({0, at, otherEnd, at + axis.EffectiveLineWidth});
            pos = at + axis.EffectiveLineWidth;
        };
        for (int i = 0; i < axis.FixedCellCount; ++i) draw(i, true);
        pos = axis.FixedBoundary;
        for (int i = axis.FirstGridCell; i < axis.GridCellCount && pos < axis.GridExtent; ++i) draw(i, false);
    };
    lines(info.Horz, true, info.Vert.GridBoundary);
    lines(info.Vert, false, info.Horz.GridBoundary);
}

void TCustomGrid::DrawCells(int startCol, int startRow, int startX, int startY, int stopX, int stopY,
                            TGridDrawState baseState, const TGridDrawInfo& info)
{
    const TGridRect sel = Selection();
    const bool focused = hasFocus();
    const bool editorShown = FGridOptions.Contains(goEditing) && FEditorMode && FInplaceEdit && FInplaceEdit->isVisible();
    int y = startY;
    for (int row = startRow; y < stopY && row < FRowCount; ++row) {
        const int h = RowHeights(row);
        int x = startX;
        for (int col = startCol; x < stopX && col < FColCount; ++col) {
            const int w = ColWidths(col);
            const TRect where{x, y, x + w, y + h};
            if (CellNeedsDrawing(where)) {
                TGridDrawState state = baseState;
                if (focused && col == FCurrent.X && row == FCurrent.Y) state.Include(gdFocused);
                if (sel.Contains(col, row)) state.Include(gdSelected);
                if (!(state.Contains(gdFocused) && editorShown)) {
                    try {
                        DrawCellOfArea(col, row, where, state);
                    } catch (const std::exception& e) {
                        CellFailed(e);
                    }
                }
            }
            x += w + info.Horz.EffectiveLineWidth;
        }
        y += h + info.Vert.EffectiveLineWidth;
    }
}

void TCustomGrid::DrawCellOfArea(int col, int row, const TRect& rect, TGridDrawState state)
{
    if (FDefaultDrawing) {
        FCanvas->Brush.Color = state.Contains(gdFixed) ? clBtnFace : state.Contains(gdSelected) && !state.Contains(gdFocused) ? clHighlight : clWindow;
        FCanvas->FillRect(rect);
    }
    DrawCell(col, row, rect, state);
    if (FDefaultDrawing && state.Contains(gdFocused) && !FGridOptions.Contains(goRowSelect)) {
        FCanvas->Brush.Color = clWindowText;
        FCanvas->FrameRect(rect);
    }
}

void TCustomGrid::CellFailed(const std::exception& e)
{
    if (dynamic_cast<const EAbort*>(&e)) return;
    const auto* ex = dynamic_cast<const Exception*>(&e);
    const QString message = ex ? ex->Message() : QString::fromUtf8(e.what());
    if (message == FCellError) return;
    FCellError = message;
    // Not from inside the paint: a message box there would paint again.
    PostCall(this, [message] { throw Exception(message); });
}

void TCustomGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state)
{
    Q_UNUSED(col);
    Q_UNUSED(row);
    Q_UNUSED(rect);
    Q_UNUSED(state);
}
