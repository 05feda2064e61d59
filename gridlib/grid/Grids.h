#pragma once
// The grid base every grid of the library stands on: a scroll area that paints its viewport
// cell by cell. Cells are numbered by column and row from the top-left; the first FixedCols
// columns and FixedRows rows stay in place while the others scroll by whole cells (LeftCol,
// TopRow). Every cell is followed by its grid line (GridLineWidth pixels) when the options ask
// for lines on that axis. Rectangles are the drawing layer's: right and bottom just outside.
//
// The horizontal scroll bar belongs to the grid (it moves LeftCol); the vertical one moves
// TopRow unless a descendant drives it itself (a data grid sets it from its dataset).
// Keys, clicks, focus arrival and departure, sizing and moving of columns and rows, the cell
// editor and dragging arrive as the virtual operations below.

#include "gridlib/core/kqgridhost.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"
#include "platform/core/SysUtils.h"

#include <QAbstractScrollArea>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class TCustomGrid;
class QPainter;

// A grid asked for something its cells cannot be (a fixed count not below the count, too many columns).
class EInvalidGridOperation : public Exception { public: using Exception::Exception; };

enum TGridOption {
    goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goDrawFocusSelected,
    goRowSizing, goColSizing, goRowMoving, goColMoving, goEditing, goTabs, goRowSelect,
    goAlwaysShowEditor, goThumbTracking
};
using TGridOptions = TSet<TGridOption>;
enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };

// Scroll-bar requests, as a bar reports them.
enum TScrollCode {
    SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7, SB_ENDSCROLL = 8,
    SB_LINELEFT = SB_LINEUP, SB_LINERIGHT = SB_LINEDOWN, SB_PAGELEFT = SB_PAGEUP, SB_PAGERIGHT = SB_PAGEDOWN,
    SB_LEFT = SB_TOP, SB_RIGHT = SB_BOTTOM
};

struct TGridCoord {
    int X = 0;
    int Y = 0;
    constexpr bool operator==(const TGridCoord&) const = default;
};

// A block of cells, both corners included.
struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    constexpr bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
    constexpr bool operator==(const TGridRect&) const = default;
};

// A scroll bar's values as the grid keeps them: the thumb runs from Min to Max - Page + 1
// (to Max when Page is 0).
struct TScrollInfo {
    int Min = 0, Max = 0, Page = 0, Pos = 0;
    constexpr bool operator==(const TScrollInfo&) const = default;
};

// The drawing geometry of one axis for the current scroll position and client size.
struct TGridAxisDrawInfo {
    int EffectiveLineWidth = 0;   // pixels of the line after every cell (0 without lines)
    int FixedBoundary = 0;        // first pixel after the fixed cells and their lines
    int GridBoundary = 0;         // first pixel after the last drawn cell, at most GridExtent
    int GridExtent = 0;           // the client size on this axis
    int LastFullVisibleCell = 0;  // last cell that fits whole (FirstGridCell when none does)
    int FullVisBoundary = 0;      // first pixel after it and its line
    int FixedCellCount = 0;
    int FirstGridCell = 0;        // LeftCol or TopRow
    int GridCellCount = 0;        // ColCount or RowCount
    const TCustomGrid* Grid = nullptr;
    bool Horizontal = true;
    int GetExtent(int index) const;
};
struct TGridDrawInfo {
    TGridAxisDrawInfo Horz, Vert;
};

// The grid's cell editor: a line edit over the current cell. It asks its grid whether a key
// may be typed and whether the cell may change before it lets a key change the text, reports
// every change of its text to the grid, and gives the grid the keys that move between cells.
class TInplaceEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TInplaceEdit(TCustomGrid* grid);
    TCustomGrid* Grid() const { return FGrid; }

    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int pos);
    void SetSelLength(int length);
    QString SelText() const { return selectedText(); }
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int length);
    QString EditMask() const { return FEditMask; }
    void SetEditMask(const QString& mask) { FEditMask = mask; }
    QString Text() const { return text(); }
    // Sets the text without reporting a change to the grid.
    void SetText(const QString& text);

    // Placed over the rectangle (viewport coordinates) and shown; the grid's focus passes to it.
    void UpdateLoc(const TRect& rect);
    void Move(const TRect& rect);
    bool PosEqual(const TRect& rect) const;
    void Hide();
    void Invalidate() { update(); }
    void Deselect();
    // Re-reads text, mask and limit of the current cell from the grid.
    virtual void UpdateContents();
    // Moves the edit out of sight without hiding it (a cell control's place is kept).
    void MoveOutOfView();

    // Key handlers as the old edit had them; the base sends navigation keys to the grid.
    virtual void KeyDown(int& key, TShiftState shift);
    virtual void KeyPress(QChar& key);
    virtual void KeyUp(int& key, TShiftState shift);
    // Asks the grid before the first change of a cell; false refuses the key.
    bool EditCanModify();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    virtual void DoEnter() {}
    virtual void BoundsChanged() {}

private:
    void TextEdited(const QString& text);
    TCustomGrid* FGrid;
    QString FEditMask;
    int FMaxLength = 0;
    bool FSetting = false;
};

class TCustomGrid : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(int ColCount READ ColCount WRITE SetColCount)
    Q_PROPERTY(int RowCount READ RowCount WRITE SetRowCount)
    Q_PROPERTY(int FixedCols READ FixedCols WRITE SetFixedCols)
    Q_PROPERTY(int FixedRows READ FixedRows WRITE SetFixedRows)
    Q_PROPERTY(int DefaultColWidth READ DefaultColWidth WRITE SetDefaultColWidth)
    Q_PROPERTY(int DefaultRowHeight READ DefaultRowHeight WRITE SetDefaultRowHeight)
    Q_PROPERTY(int GridLineWidth READ GridLineWidth WRITE SetGridLineWidth)

public:
    explicit TCustomGrid(QWidget* parent = nullptr);
    ~TCustomGrid() override;

    // --- Cell model
    int ColCount() const { return FColCount; }
    void SetColCount(int count);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int count);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int count);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int count);
    int DefaultColWidth() const { return FDefaultColWidth; }
    // Every column takes the width.
    void SetDefaultColWidth(int width);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    // Every row takes the height.
    void SetDefaultRowHeight(int height);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int width);
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    // Whether Tab stops on the column (true by default).
    bool TabStops(int col) const;
    void SetTabStops(int col, bool value);
    TGridOptions GridOptions() const { return FGridOptions; }
    void SetGridOptions(TGridOptions options);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle style);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool value) { FDefaultDrawing = value; }

    // --- Position and scrolling
    int Col() const { return FCurrent.X; }
    void SetCol(int col);
    int Row() const { return FCurrent.Y; }
    void SetRow(int row);
    int LeftCol() const { return FTopLeft.X; }
    void SetLeftCol(int col);
    int TopRow() const { return FTopLeft.Y; }
    void SetTopRow(int row);
    TGridCoord TopLeft() const { return FTopLeft; }
    // Scrolled cells that fit whole (at least one while any is left).
    int VisibleColCount() const;
    int VisibleRowCount() const;
    TGridRect Selection() const;
    void SetSelection(const TGridRect& rect);
    TGridState GridState() const { return FGridState; }

    // --- Geometry (viewport coordinates)
    // The part of the viewport the cells use (a footer below it is not part of it).
    virtual TRect GetClientRect() const;
    int ClientWidth() const;
    int ClientHeight() const;
    virtual void CalcDrawInfo(TGridDrawInfo& info) const;
    void CalcDrawInfoXY(TGridDrawInfo& info, int width, int height) const;
    // The cell's rectangle without its line, clipped to the client; empty (all zero) when the
    // cell is out of view.
    TRect CellRect(int col, int row) const;
    // The rectangle covering the visible cells of the block; all zero when none is visible.
    TRect BoxRect(int left, int top, int right, int bottom) const;
    // The cell under a point; -1 on an axis where the point lies on no cell.
    TGridCoord MouseCoord(int x, int y) const;
    TGridCoord CalcCoordFromPoint(int x, int y, const TGridDrawInfo& info) const;
    // On a column or row border where sizing may start.
    bool Sizing(int x, int y) const;
    void CalcSizingState(int x, int y, TGridState& state, int& index, int& sizingPos, int& sizingOfs,
                         const TGridDrawInfo& info) const;

    // --- Invalidation and redrawing
    void InvalidateCell(int col, int row);
    void InvalidateCol(int col);
    void InvalidateRow(int row);
    void InvalidateGrid();
    void InvalidateRect(const TRect& rect);
    // Paints what is pending now.
    void Update();
    // Nestable suspension of painting; the last unlock repaints when asked to.
    void BeginRedrawLock();
    void EndRedrawLock(bool repaint = true);
    bool RedrawLocked() const { return FRedrawLock > 0; }
    // The canvas the current paint draws on (valid inside Paint).
    TCanvas* Canvas() const { return FCanvas; }
    // The part of the viewport the current paint was asked for.
    TRect UpdateRect() const { return FUpdateRect; }

    // --- Cell editor
    bool EditorMode() const { return FEditorMode; }
    void SetEditorMode(bool value);
    TInplaceEdit* InplaceEditor() const { return FInplaceEdit; }
    void ShowEditor();
    void HideEditor();
    // Shows the editor and types the character into it.
    void ShowEditorChar(QChar ch);
    // Makes the editor read the cell again.
    void InvalidateEditor();
    void UpdateEditor();

    // The cell editor and the grid's owners talk to the grid through these.
    virtual bool CanEditAcceptKey(QChar key) { Q_UNUSED(key); return true; }
    virtual bool CanGridAcceptKey(int key, TShiftState shift) { Q_UNUSED(key); Q_UNUSED(shift); return true; }
    virtual bool CanEditModify() { return true; }
    virtual bool CanEditShow();
    virtual QString GetEditText(int col, int row) { Q_UNUSED(col); Q_UNUSED(row); return {}; }
    virtual void SetEditText(int col, int row, const QString& value) { Q_UNUSED(col); Q_UNUSED(row); Q_UNUSED(value); }
    virtual QString GetEditMask(int col, int row) { Q_UNUSED(col); Q_UNUSED(row); return {}; }
    virtual int GetEditLimit() { return 0; }

    // --- Handlers; each fires its event as the old controls did (see the Do... helpers)
    virtual void KeyDown(int& key, TShiftState shift);
    virtual void KeyPress(QChar& key);
    virtual void KeyUp(int& key, TShiftState shift);
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DblClick();

    // --- Dragging the grid onto other grids of the program (not the system's drag and drop):
    // starts at once or after the pointer moved a few pixels with the button held.
    void BeginDrag(bool immediate, int threshold = -1);
    void EndDrag(bool drop);
    bool Dragging() const { return FDragState == dragActive; }
    virtual void DragOver(QObject* source, int x, int y, bool& accept);
    virtual void DragDrop(QObject* source, int x, int y);

    // Whether the grid is the active control of its window (the one that has, or last had,
    // the window's focus).
    bool IsActiveControl() const;
    // The grid can take the focus at all: shown, enabled and focusable.
    bool CanFocus() const;
    // The grid or a control inside it has the focus.
    bool HasFocusWithin() const;

    std::function<void(QObject*, int& key, TShiftState)> OnKeyDown;
    std::function<void(QObject*, QChar& key)> OnKeyPress;
    std::function<void(QObject*, int& key, TShiftState)> OnKeyUp;
    std::function<void(QObject*, TMouseButton, TShiftState, int x, int y)> OnMouseDown;
    std::function<void(QObject*, TShiftState, int x, int y)> OnMouseMove;
    std::function<void(QObject*, TMouseButton, TShiftState, int x, int y)> OnMouseUp;
    std::function<void(QObject*)> OnDblClick;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;
    std::function<void(QObject* sender, QObject* source, int x, int y, bool& accept)> OnDragOver;
    std::function<void(QObject* sender, QObject* source, int x, int y)> OnDragDrop;
    std::function<void(QObject* sender, QObject* target, int x, int y)> OnEndDrag;

protected:
    // A cell that cannot be painted stays as drawn so far; its error reaches the application's
    // handler after the paint, once until ForgetCellError (not on every repaint).
    virtual void CellFailed(const std::exception& e);
    void ForgetCellError() { FCellError.clear(); }

    // --- Painting: Paint runs with Canvas() on the viewport; the base draws the cells of the
    // four areas through DrawCell and lines in the button colours.
    virtual void Paint();
    virtual void DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
    // Draws the cells of one area: from (startCol, startRow) at (startX, startY) while the
    // cells begin left of stopX and above stopY; each cell drawn through DrawCellOfArea.
    void DrawCells(int startCol, int startRow, int startX, int startY, int stopX, int stopY,
                   TGridDrawState baseState, const TGridDrawInfo& info);
    virtual void DrawCellOfArea(int col, int row, const TRect& rect, TGridDrawState state);
    // Whether a cell of an area is drawn at all (the base: it has width).
    virtual bool CellNeedsDrawing(const TRect& rect) const { return !rect.IsEmpty(); }

    // --- Reactions
    virtual bool SelectCell(int col, int row) { Q_UNUSED(col); Q_UNUSED(row); return true; }
    virtual void TopLeftChanged();
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    virtual void SizeChanged(int oldColCount, int oldRowCount);
    virtual void ColumnMoved(int fromIndex, int toIndex) { Q_UNUSED(fromIndex); Q_UNUSED(toIndex); }
    virtual void RowMoved(int fromIndex, int toIndex) { Q_UNUSED(fromIndex); Q_UNUSED(toIndex); }
    // The client area changed size.
    virtual void Resize();
    // Focus arrived at or left the grid together with its children (the editor).
    virtual void DoEnter();
    virtual void DoExit();
    // Mouse held outside the cells while selecting: scroll that way.
    virtual void TimedScroll(int direction);

    // --- Moving the current cell and the view
    void MoveColRow(int col, int row, bool moveAnchor, bool show);
    void FocusCell(int col, int row, bool moveAnchor);
    void MoveTopLeft(int left, int top);
    void ClampInView(const TGridCoord& coord);
    void MoveColumn(int fromIndex, int toIndex);
    void MoveRow(int fromIndex, int toIndex);
    // The largest LeftCol and TopRow that still fill the client.
    int MaxLeftCol() const;
    int MaxTopRow() const;

    // --- Scroll bars: a request from the bar (a scroll code and, for the thumb, its place).
    virtual void HorzScroll(int code, int pos);
    virtual void VertScroll(int code, int pos);
    virtual void UpdateScrollRange();
    TScrollInfo HorzScrollInfo() const { return FHorzInfo; }
    TScrollInfo VertScrollInfo() const { return FVertInfo; }
    void SetHorzScrollInfo(const TScrollInfo& info);
    void SetVertScrollInfo(const TScrollInfo& info);
    // Whether a bar is shown at all (ScrollBars by default).
    virtual bool WantsHorzScrollBar() const;
    virtual bool WantsVertScrollBar() const;
    // When a bar shows: as needed when wanted, never otherwise.
    virtual Qt::ScrollBarPolicy ScrollBarPolicy(bool horizontal) const;
    void UpdateScrollBarPolicies();

    // --- Editor
    virtual TInplaceEdit* CreateEditor();
    virtual bool CanEdit() { return FGridOptions.Contains(goEditing); }
    void UpdateEdit();
    void HideEdit();
    // Focus passed to the editor when it shows (the base: while the grid has the focus).
    virtual bool ShouldFocusEditor() const { return hasFocus(); }

    // --- The framework's own handling, without the events (descendants call them)
    void GridKeyDown(int& key, TShiftState shift);
    void GridKeyPress(QChar& key);
    void GridMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void GridMouseMove(TShiftState shift, int x, int y);
    void GridMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void DoMouseDownEvent(TMouseButton button, TShiftState shift, int x, int y);
    void DoKeyDownEvent(int& key, TShiftState shift);
    // The state a mouse press put the grid in, and the sizing or moving it started.
    int SizingIndex() const { return FSizingIndex; }
    int SizingPos() const { return FSizingPos; }
    void SetGridState(TGridState state) { FGridState = state; }

    // --- Qt
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

    TCanvas* FCanvas = nullptr;
    TRect FUpdateRect;

private:
    QString FCellError;   // the last cell error reported
    friend class TInplaceEdit;
    friend struct TGridAxisDrawInfo;
    void CalcAxis(TGridAxisDrawInfo& axis, int extent) const;
    void CalcFixedAxis(TGridAxisDrawInfo& axis, bool horizontal, int fixedCount, int firstCell, int cellCount) const;
    void DrawSizingLine(QPainter& painter);
    void FocusChanged(QWidget* old, QWidget* now);
    void BarAction(bool horizontal, int action);
    void BarReleased(bool horizontal);
    void SetBarValues(bool horizontal, const TScrollInfo& info);
    void DragMoved(const QPoint& globalPos);
    TCustomGrid* DragTargetAt(const QPoint& globalPos, QPoint& local) const;
    void ChangeSize(int newColCount, int newRowCount);
    void InvalidateCellRange(const TGridRect& range);

    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    int FGridLineWidth = 1;
    std::vector<int> FColWidths;
    std::vector<int> FRowHeights;
    std::vector<char> FTabStops;
    TGridOptions FGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    TScrollStyle FScrollBars = ssBoth;
    bool FDefaultDrawing = true;

    TGridCoord FCurrent{1, 1};
    TGridCoord FAnchor{1, 1};
    TGridCoord FTopLeft{1, 1};
    TGridState FGridState = gsNormal;
    int FSizingIndex = -1;
    int FSizingPos = 0;
    int FSizingOfs = 0;
    int FMoveIndex = -1;
    int FMovePos = -1;
    TScrollInfo FHorzInfo, FVertInfo;
    bool FSettingBars = false;

    TInplaceEdit* FInplaceEdit = nullptr;
    int FInplaceCol = -1;
    int FInplaceRow = -1;
    bool FEditorMode = false;

    int FRedrawLock = 0;
    bool FFocusWithin = false;
    QMetaObject::Connection FFocusConnection;

    enum { dragNone, dragPending, dragActive } FDragState = dragNone;
    QPoint FDragStart;
    QPoint FLastPress;
    int FDragThreshold = 5;
    QPointer<TCustomGrid> FDragTarget;
    QPoint FDragTargetPoint;
    bool FDragAccepted = false;
};
