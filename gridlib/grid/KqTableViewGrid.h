#pragma once
// The data grid. Rows are the records of the data source's dataset and are read on demand
// through the grid's data link (a row is read by making it the link's active record), so the
// grid never copies a record and a million records scroll as fast as a thousand. Columns are
// the dataset's visible fields (or the Selected lines), with their titles and widths; the
// title row and the indicator column are the view's two headers.
//
// Grid coordinates follow the old grid: column 0 is the indicator column (with dgIndicator),
// row 0 the title row (with dgTitles), and data rows are counted from the first visible row
// (GetDataRow, SetDataRow, MouseCoord), as the rows of the link's window were.

#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqgridhost.h"
#include "gridlib/grid/Grids.h"
#include "gridlib/grid/Kqdbigrd.h"
#include "platform/data/DB.h"
#include "platform/vcl/Graphics.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QTableView>
#include <functional>
#include <memory>
#include <vector>

#include <QAbstractButton>
#include <QMenu>
#include <QLineEdit>
class TkqTableViewGrid;
class TkqTableViewExpandButton;
class TkqGridModel;
class TkqGridDelegate;
class TkqTitleHeader;
class TkqIndicatorHeader;
class TkqFixedOverlay;

// A column of the grid: a light object whose settings live in the field (UseTFields) or in
// the field's Selected line.
class TkqTableViewColumn {
public:
    TkqTableViewColumn(TkqTableViewGrid* grid, const QString& fieldName) : FGrid(grid), FFieldName(fieldName) {}
    QString FieldName() const { return FFieldName; }
    int DisplayWidth() const;
    QString DisplayLabel() const;
    // Writes the title into the Selected line and, with UseTFields, the field's DisplayLabel.
    void SetDisplayLabel(const QString& label);
    bool ReadOnly() const;
    QString FooterText;

private:
    TkqTableViewGrid* FGrid;
    QString FFieldName;
};

class TkqTableViewGrid : public QTableView {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QStringList Selected READ Selected WRITE SetSelected)
    Q_PROPERTY(QStringList ControlType READ ControlType WRITE SetControlType)
    Q_PROPERTY(int FixedCols READ FixedCols WRITE SetFixedCols)
    Q_PROPERTY(int TitleLines READ TitleLines WRITE SetTitleLines)
    Q_PROPERTY(int Height READ height WRITE SetHeight)

public:
    explicit TkqTableViewGrid(QWidget* parent = nullptr);
    ~TkqTableViewGrid() override;

    // --- Data
    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    TDataLink& DataLink();
    TDataSet* DataSet() const;
    bool IsDataSetActive() const;

    // --- Columns
    QStringList Selected() const { return FSelected; }
    void SetSelected(const QStringList& lines);
    bool UseTFields() const { return FUseTFields; }
    void SetUseTFields(bool value);
    QStringList ControlType() const { return FControlType; }
    void SetControlType(const QStringList& lines) { FControlType = lines; }
    bool ControlInfoInDataset() const { return FControlInfoInDataset; }
    void SetControlInfoInDataset(bool value) { FControlInfoInDataset = value; }
    // The dataset's ControlType list when it has one and ControlInfoInDataset is on, else the grid's.
    QStringList ActiveControlTypeList() const;
    // Gives a column a control type: 0, 1 and 10 up remove the field's line; 2 "CheckBox";
    // 3, 5, 6 "CustomEdit"; 4 "Bitmap"; 7 "RichEdit"; 8 "ImageIndex"; 9 "URL-Link". For the
    // edit kinds params names the control, which is bound to the grid's data and the field.
    void SetControlType(const QString& fieldName, int code, const QString& params);

    int FieldCount() const { return int(FFieldMap.size()); }
    TField* GetField(int index) const;
    TField* GetColumnField(int dataColumn) const;
    TField* GetSelectedField() const;
    TField* GetCurrentField() const { return GetSelectedField(); }
    TkqTableViewColumn* GetColumn(int dataColumn) const;
    // The column of the field (ignoring case); a dummy column without field when none.
    TkqTableViewColumn* ColumnByFieldName(const QString& name) const;
    QString FieldNameOfColumn(int col) const;
    void SelectFieldByName(const QString& name);
    void SelectColumn(int dataColumn);

    // --- Layout
    TkqDBGridOptions Options() const { return FOptions; }
    void SetOptions(TkqDBGridOptions options);
    TkqDBGridKeyOptions KeyOptions() const { return FKeyOptions; }
    void SetKeyOptions(TkqDBGridKeyOptions options) { FKeyOptions = options; }
    TkqEditControlOptions EditControlOptions() const { return FEditControlOptions; }
    void SetEditControlOptions(TkqEditControlOptions options) { FEditControlOptions = options; }
    TkqMemoAttributes MemoAttributes() const { return FMemoAttributes; }
    void SetMemoAttributes(TkqMemoAttributes attributes);
    TkqMultiSelectOptions MultiSelectOptions() const { return FMultiSelectOptions; }
    void SetMultiSelectOptions(TkqMultiSelectOptions options) { FMultiSelectOptions = options; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);
    bool EditCalculated() const { return FEditCalculated; }
    void SetEditCalculated(bool value) { FEditCalculated = value; }
    int FixedCols() const { return FFixedCols; }
    // Program-fixed data columns (beside the indicator); a count that leaves no scrolling
    // column is stored but shows no fixed columns.
    void SetFixedCols(int count);
    int TitleLines() const { return FTitleLines; }
    void SetTitleLines(int lines);
    QFont TitleFont() const { return FTitleFont; }
    void SetTitleFont(const QFont& font);
    TAlignment TitleAlignment() const { return FTitleAlignment; }
    void SetTitleAlignment(TAlignment alignment);
    bool TitleButtons() const { return FTitleButtons; }
    void SetTitleButtons(bool value);
    TColor TitleColor() const { return FTitleColor; }
    void SetTitleColor(TColor color);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    int RowHeightPercent() const { return FRowHeightPercent; }
    void SetRowHeightPercent(int percent);
    bool ShowHorzScrollBar() const { return FShowHorzScrollBar; }
    void SetShowHorzScrollBar(bool value);
    QList<QIcon> TitleImageList() const { return FTitleImages; }
    void SetTitleImageList(const QList<QIcon>& images);
    // The corner button over the indicator column (the form's button, placed by the grid).
    QAbstractButton* IndicatorButton() const { return FIndicatorButton; }
    void SetIndicatorButton(QAbstractButton* button);
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    // Where (client coordinates) the pop-up menu was asked for last.
    QPoint PopupMenuPoint() const { return FPopupPoint; }
    void SetHeight(int height);

    // Re-applies the column layout and the control types (Selected is applied to the fields
    // unless the dataset has a calculated field).
    void RefreshLayout();
    void LayoutChanged();

    // --- Grid coordinates
    int IndicatorOffset() const { return FOptions.Contains(dgIndicator) ? 1 : 0; }
    int TitleOffset() const { return FOptions.Contains(dgTitles) ? 1 : 0; }
    int ColCount() const;
    int RowCount() const;
    int GetColCount() const { return ColCount(); }
    int GetRowCount() const { return RowCount(); }
    int Col() const;
    void SetCol(int col);
    int Row() const;
    int LeftCol() const;
    void SetLeftCol(int col);
    int TopRow() const;
    int VisibleRowCount() const;
    int VisibleColCount() const;
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int DefaultRowHeight() const;
    int ClientWidth() const;
    // The grid cell under a client point: row 0 is the title row, column 0 the indicator;
    // (-1, -1) outside the cells.
    TGridCoord MouseCoord(int x, int y) const;
    // The current record's row among the visible data rows, from 0.
    int GetDataRow() const;
    void SetDataRow(int index);
    // View position of the current record (-1 when there is none).
    int CursorRow() const;

    // --- Cell text (the record is the row's)
    QString GetCellText(int row, int dataColumn) const;
    // A cell that cannot be read or painted stays empty; its error goes to the application's
    // handler after the paint, once until the rows change (not on every repaint).
    void CellFailed(const std::exception& e) const;
    bool CanEdit() const;
    bool IsGridFocused() const;
    QWidget* CurrentCellControl() const { return FCurrentCellControl; }

    // --- Multi-selection
    const QList<TBookmark>& SelectedBookmarks() const { return FSelectedBookmarks; }
    void SelectAll();
    void UnselectAll();
    void SelectRecord();
    void UnselectRecord();
    bool IsCurrentRecordSelected() const;
    bool IsRecordSelected(const TBookmark& bookmark) const;
    // Sorts SelectedBookmarks into dataset order.
    void SortSelectedBookmarks();

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    QRect visualRect(const QModelIndex& index) const override;

    // Starts dragging (from OnMouseDown): at once, or after the pointer moved a little.
    void BeginDrag(bool immediate);
    bool Dragging() const { return FDragPending || FDragging; }

    // --- Events
    std::function<void(QObject*)> OnBeforePaint;
    std::function<void(QObject*, TField*, TGridDrawState, bool highlight, QFont&, TColor& fontColor, TColor& brushColor)> OnCalcCellColors;
    std::function<void(QObject*, TField*, TkqTitleImageAttributes&)> OnCalcTitleImage;
    std::function<void(QObject*, const QRect&, TField*, TGridDrawState)> OnDrawDataCell;
    std::function<void(QObject*, const QString& fieldName)> OnTitleButtonClick;
    std::function<void(QObject*)> OnCellChanged;
    std::function<void(QObject*)> OnRowChanged;
    std::function<void(QObject*)> OnColEnter;
    std::function<void(QObject*)> OnColExit;
    std::function<void(QObject*)> OnDblClick;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;
    std::function<void(QObject*, int& key, TShiftState)> OnKeyDown;
    std::function<void(QObject*, QChar& key)> OnKeyPress;
    std::function<void(QObject*, TMouseButton, TShiftState, int x, int y)> OnMouseDown;
    // Another grid's drag over this one: accept to allow a drop.
    std::function<void(QObject* sender, QObject* source, int x, int y, bool& accept)> OnDragOver;
    std::function<void(QObject* sender, QObject* source, int x, int y)> OnDragDrop;
    std::function<void(QObject*, bool selecting, bool& accept)> OnMultiSelectRecord;
    std::function<void(QObject*, bool selecting, bool& accept)> OnMultiSelectAllRecords;

protected:
    // QAbstractItemView
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    // QWidget
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class TkqTableViewColumn;
    friend class TkqGridModel;
    friend class TkqGridDelegate;
    friend class TkqTitleHeader;
    friend class TkqIndicatorHeader;
    friend class TkqFixedOverlay;
    friend class TkqTableViewExpandButton;
    class TGridDataLink;

    // Reads runs fn with the row made the link's active record (no event fires).
    template <typename F>
    void WithRow(int row, F&& fn) const;

    // Link reactions.
    void LinkActiveChanged();
    void LinkDataSetChanged();
    void LinkRecordChanged(TField* field);
    void LinkEditingChanged();
    void LinkUpdateData();
    void LinkFocusControl(TField*& field);
    void FocusChanged(QWidget* old, QWidget* now);

    void DefineFieldMap();
    void SetColumnWidths();
    void UpdateRowHeights();
    void UpdateRowCount();
    void SyncCurrentIndex();
    void CheckRowChanged();
    void RepaintIndicator();
    void MoveToRow(int row);
    bool GuardedMoveToRow(int row);
    void CommitEditor();
    void CloseEditor();
    bool CanEditColumn(int dataColumn) const;
    bool WriteCell(int row, int dataColumn, const QString& text);
    bool IsMemoField(const TField* field) const;
    // The text of the field's cell in the active row (memo placeholder, mapped combo value).
    QString FieldText(TField* field, int dataColumn) const;
    QString HeaderTitle(int dataColumn) const;
    void PaintCell(QPainter* painter, const QRect& rect, int row, int dataColumn) const;
    void PaintTitle(QPainter* painter, const QRect& rect, int dataColumn, bool pressed) const;
    int FixedWidth() const;
    int EffectiveFixedCols() const;
    // The first column that can be the current one: fixed columns only when they are editable.
    int FirstCurrentColumn() const;
    void FollowEditor();
    int ColumnX(int dataColumn) const;   // unscrolled for fixed columns, viewport coordinates
    void LayoutOverlays();
    bool RowSelected(int row) const;
    void AddSelected(const TBookmark& bookmark);
    void ClearSelection();
    void SelectRange(int fromRow, int toRow);
    void HandleMultiSelectClick(Qt::KeyboardModifiers modifiers, bool leftButton);

    // Cell controls named in ControlType lines.
    QWidget* FindCellControl(int dataColumn) const;
    bool CustomControlsActive() const;
    void BindCellControl(QWidget* control, const QString& fieldName);
    void PrepareCustomControls();
    void UpdateCellControl();
    void HideCellControl();
    void CollapseExpandButtons();
    void SetExpandedRowHeight(int row, int extra);
    int ExpandedRow() const { return FExpandedRow; }

    std::unique_ptr<TGridDataLink> FDataLink;
    TkqGridModel* FModel;
    mutable QString FCellError;   // the last cell error reported
    TkqGridDelegate* FDelegate;
    TkqTitleHeader* FTitleHeader;
    TkqIndicatorHeader* FIndicator;
    TkqFixedOverlay* FFixedOverlay = nullptr;
    TkqFixedOverlay* FFixedTitleOverlay = nullptr;

    std::vector<int> FFieldMap;                 // field indexes of the columns
    mutable std::vector<std::unique_ptr<TkqTableViewColumn>> FColumns;
    std::unique_ptr<TkqTableViewColumn> FDummyColumn;
    QStringList FSelected;
    QStringList FControlType;
    bool FUseTFields = true;
    bool FControlInfoInDataset = true;

    TkqDBGridOptions FOptions;
    TkqDBGridKeyOptions FKeyOptions;
    TkqEditControlOptions FEditControlOptions;
    TkqMemoAttributes FMemoAttributes;
    TkqMultiSelectOptions FMultiSelectOptions;
    bool FReadOnly = false;
    bool FEditCalculated = false;
    int FFixedCols = 0;
    int FTitleLines = 1;
    QFont FTitleFont;
    TAlignment FTitleAlignment = taLeftJustify;
    bool FTitleButtons = false;
    TColor FTitleColor;
    TColor FColor;
    int FRowHeightPercent = 100;
    bool FShowHorzScrollBar = true;
    QList<QIcon> FTitleImages;
    QPointer<QAbstractButton> FIndicatorButton;
    QPointer<QMenu> FPopupMenu;
    QPoint FPopupPoint;

    // State.
    int FLastCursorRow = -1;
    TBookmark FLastRowBookmark;
    int FLastColumn = -1;
    bool FSyncing = false;
    int FLayoutLock = 0;
    bool FSettingWidths = false;
    QPointer<QLineEdit> FEditor;
    int FEditorRow = -1;
    int FEditorColumn = -1;

    QList<TBookmark> FSelectedBookmarks;
    QSet<TRecordId> FSelectedIds;
    TBookmark FShiftAnchor;
    int FShiftAnchorRow = -1;
    bool FShiftSelecting = false;

    QPointer<QWidget> FCurrentCellControl;
    std::vector<QString> FColumnControlNames;          // control named for each column
    mutable QHash<QString, QPointer<QWidget>> FNamedControls;
    int FExpandedRow = -1;

    bool FDragPending = false;
    bool FDragging = false;
    QPoint FDragStart;
};

