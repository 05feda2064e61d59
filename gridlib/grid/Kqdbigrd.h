#pragma once
// The data grid's core: a grid that shows the records of a dataset one per row and its fields
// one per column. Rows are the data link's buffer window (the link keeps as many records as
// rows fit); a row is read by making it the link's active record for the time of the read, so
// nothing the grid does on a paint, a scroll, a key or a click costs in proportion to the
// number of records.
//
// Grid coordinates: column 0 is the indicator column with dgIndicator, row 0 the title row
// with dgTitles; a data column is a grid column less the indicator offset, a data row a grid
// row less the title offset. Columns come from the dataset's visible fields (UseTFields) or
// from the Selected lines, in that order.
//
// The published grid adds cell controls, multi-selection, the footer and the expand button
// on top; where this class reaches them it goes through the virtual operations near the end.

#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqgridhost.h"
#include "gridlib/core/kqpaintopt.h"
#include "gridlib/grid/Grids.h"
#include "platform/vcl/ImgList.h"

#include <QAbstractButton>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class TkqCustomDBGrid;

enum TkqDBGridOption {
    dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines,
    dgTabs, dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit, dgWordWrap,
    dgPerfectRowFit, dgMultiSelect, dgShowFooter, dgFooter3DCells, dgNoLimitColSize,
    dgTrailingEllipsis, dgShowCellHint, dgTabExitsOnLastCol, dgFixedResizable, dgFixedEditable,
    dgProportionalColResize, dgRowResize, dgRowLinesDisableFixed, dgColLinesDisableFixed,
    dgFixedProportionalResize, dgHideBottomDataLine
};
using TkqDBGridOptions = TkqSet<TkqDBGridOption>;
// dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
// dgConfirmDelete, dgCancelOnExit, dgWordWrap (7421).
constexpr TkqDBGridOptions DefaultDBGridOptions = TkqDBGridOptions::FromBits(7421);
enum TkqDBGridKeyOption { dgEnterToTab, dgAllowDelete, dgAllowInsert };
using TkqDBGridKeyOptions = TkqSet<TkqDBGridKeyOption>;
enum TkqEditControlOption {
    ecoCheckboxSingleClick, ecoSearchOwnerForm, ecoDisableCustomControls, ecoDisableDateTimePicker,
    ecoDisableEditorIfReadOnly
};
using TkqEditControlOptions = TkqSet<TkqEditControlOption>;
enum TkqMultiSelectOption { msoAutoUnselect, msoShiftSelect };
using TkqMultiSelectOptions = TkqSet<TkqMultiSelectOption>;
enum TkqMemoAttribute { mSizeable, mWordWrap, mGridShow, mViewOnly, mDisableDialog };
using TkqMemoAttributes = TkqSet<TkqMemoAttribute>;
enum TkqGridLineStyle { glsSingle, gls3D, glsDynamic };
enum TkqPadColumnStyle { pcsPlain, pcsPadHeader, pcsPadHeaderAndData };

// What a title shows beside its text: an image of the grid's TitleImageList, placed left of
// the text (0), right of it (1) or alone and centred (2), Margin pixels from the cell edge.
struct TkqTitleImageAttributes {
    int ImageIndex = -1;
    quint8 Placement = 1;
    int Margin = 3;
};

// The four colours of the grid's lines: data lines, and the light, shadow and dark lines of
// the 3-D look.
class TkqGridLineColors {
public:
    explicit TkqGridLineColors(TkqCustomDBGrid* grid) : FGrid(grid) {}
    TColor DataColor() const { return FDataColor; }
    void SetDataColor(TColor color) { Set(FDataColor, color); }
    TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(TColor color) { Set(FHighlightColor, color); }
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor color) { Set(FShadowColor, color); }
    TColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(TColor color) { Set(FFixedColor, color); }

private:
    void Set(TColor& field, TColor color);
    TkqCustomDBGrid* FGrid;
    TColor FDataColor = 0xC0C0C0;
    TColor FHighlightColor = clBtnHighlight;
    TColor FShadowColor = clBtnShadow;
    TColor FFixedColor = clBlack;
};

// A column of the grid: a light object whose settings live in the field's Selected line (or
// in the field itself with UseTFields); the grid's dummy column stands for no column.
class TkqColumn {
public:
    TkqColumn(TkqCustomDBGrid* grid, const QString& fieldName) : FGrid(grid), FFieldName(fieldName) {}
    QString FieldName() const { return FFieldName; }
    bool IsDummy() const;
    // The Selected line's width part; raises EConvertError when it is not a number.
    int DisplayWidth() const;
    QString DisplayLabel() const;
    void SetDisplayLabel(const QString& label);
    bool ReadOnly() const;
    QString GroupHeaderName() const;
    QString FooterText() const { return FFooterText; }
    void SetFooterText(const QString& text);

private:
    friend class TkqCustomDBGrid;
    // The Selected line of the column's field; empty when there is none.
    QString SelectedLine() const;
    TkqCustomDBGrid* FGrid;
    QString FFieldName;
    QString FFooterText;
};

// What the grid keeps per grid column about the control type of its field.
struct TkqCacheColInfoItem {
    QPointer<QWidget> Control;
    QString ControlKind;
    QString Params;
    bool ShowAlways = false;
    bool LineOnWhite = true;
};

// The grid's data link: it tells the grid what its dataset does, and holds the field map (the
// dataset field index of every column).
class TkqGridDataLink : public TDataLink {
public:
    // The map never holds more entries than this.
    static constexpr int MaxMapSize = 16380;

    explicit TkqGridDataLink(TkqCustomDBGrid* grid);
    ~TkqGridDataLink() override;

    // Adds the named field; false when the dataset has no such field. Raises
    // EInvalidGridOperation when the map is full.
    bool AddFieldMapping(const QString& fieldName);
    void ClearFieldMap();
    int FieldMapCount() const { return FMapCount; }
    int FieldMapCapacity() const { return FMapCapacity; }
    // The dataset field index of map entry i.
    int FieldMapEntry(int i) const { return FFieldMap[size_t(i)]; }
    // The dataset's fields were made at open (true without a dataset).
    bool IsDefaultFields() const;
    // The editor changed the current field's text since the last write.
    bool IsModified() const { return FModified; }
    void Modified() { FModified = true; }
    bool InUpdateData() const { return FInUpdateData; }
    // Escape: drops the editor's change, or cancels the record (asking first when it holds changes).
    void Reset();

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void EditingChanged() override;
    void FocusControl(TField*& field) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    friend class TkqCustomDBGrid;
    TkqCustomDBGrid* FGrid;
    std::unique_ptr<int[]> FFieldMap;
    int FMapCount = 0;
    int FMapCapacity = 0;
    bool FModified = false;
    bool FInUpdateData = false;
};

// The grid's cell editor: checks picture masks while typing, hands Enter, Tab and Ctrl+Delete
// to the grid, and keeps the line-feed out of number cells.
class TkqInplaceEdit : public TInplaceEdit {
    Q_OBJECT
public:
    explicit TkqInplaceEdit(TkqCustomDBGrid* grid);
    TkqCustomDBGrid* DBGrid() const { return FDBGrid; }

    QString PictureMask() const { return FPictureMask; }
    void SetPictureMask(const QString& mask) { FPictureMask = mask; }
    bool AutoFill() const { return FAutoFill; }
    void SetAutoFill(bool value) { FAutoFill = value; }
    // A text that fails the mask may still be written (switched off at every focus arrival).
    bool AllowInvalidExit() const { return FAllowInvalidExit; }
    void SetAllowInvalidExit(bool value) { FAllowInvalidExit = value; }
    bool GridValidate() const { return FGridValidate; }
    void SetGridValidate(bool value) { FGridValidate = value; }
    // Typed text is checked against the mask.
    bool PictureCheckApplies() const { return FGridValidate && !FPictureMask.isEmpty(); }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);

    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& key) override;
    void KeyUp(int& key, TShiftState shift) override;
    void UpdateContents() override;

protected:
    void DoEnter() override;

private:
    // Types a character through the picture mask; answers whether OnCheckValue may fire and
    // whether the text passes.
    bool TypeThroughPicture(QChar& key, bool& passes);
    TkqCustomDBGrid* FDBGrid;
    QString FPictureMask;
    bool FAutoFill = true;
    bool FAllowInvalidExit = false;
    bool FGridValidate = false;
    bool FWordWrap = false;
};

// The button in the grid's top-left corner: its width sets the indicator column's.
class TkqIButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TkqIButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {20, 20}; }
    // Placed at the grid's top-left corner (never right or below it).
    void SetBounds(int left, int top, int width, int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

// The window of a cell hint: a cell's whole text on the hint colours, wrapped when asked.
class TkqGridHintWindow : public QWidget {
    Q_OBJECT
public:
    explicit TkqGridHintWindow(QWidget* parent = nullptr);
    TField* Field() const { return FField; }
    void SetField(TField* field) { FField = field; }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value) { FWordWrap = value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment) { FAlignment = alignment; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<TField> FField;
    bool FWordWrap = false;
    TAlignment FAlignment = taLeftJustify;
    QString FCaption;
};

class TkqCustomDBGrid : public TCustomGrid, public TkqGridHost {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QStringList Selected READ Selected WRITE SetSelected)
    Q_PROPERTY(QStringList ControlType READ ControlType WRITE SetControlType)
    Q_PROPERTY(QStringList PictureMasks READ PictureMasks WRITE SetPictureMasks)
    Q_PROPERTY(bool ControlInfoInDataset READ ControlInfoInDataset WRITE SetControlInfoInDataset)
    Q_PROPERTY(bool PictureMaskFromDataSet READ PictureMaskFromDataSet WRITE SetPictureMaskFromDataSet)
    Q_PROPERTY(bool UseTFields READ UseTFields WRITE SetUseTFields)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool EditCalculated READ EditCalculated WRITE SetEditCalculated)
    Q_PROPERTY(int TitleLines READ TitleLines WRITE SetTitleLines)
    Q_PROPERTY(int RowHeightPercent READ RowHeightPercent WRITE SetRowHeightPercent)
    Q_PROPERTY(bool ShowVertScrollBar READ ShowVertScrollBar WRITE SetShowVertScrollBar)
    Q_PROPERTY(bool ShowHorzScrollBar READ ShowHorzScrollBar WRITE SetShowHorzScrollBar)
    Q_PROPERTY(bool DefaultDrawing READ DefaultDrawing WRITE SetDefaultDrawing)
    Q_PROPERTY(bool TitleButtons READ TitleButtons WRITE SetTitleButtons)
    Q_PROPERTY(bool HideAllLines READ HideAllLines WRITE SetHideAllLines)
    Q_PROPERTY(int DragVertOffset READ DragVertOffset WRITE SetDragVertOffset)

public:
    explicit TkqCustomDBGrid(QWidget* parent = nullptr);
    ~TkqCustomDBGrid() override;

    // ================================================================ Data access
    TDataSource* DataSource() const { return FDataLink->DataSource(); }
    void SetDataSource(TDataSource* source);
    TDataSource* GetDataSource() const { return DataSource(); }
    TkqGridDataLink* DataLink() const { return FDataLink.get(); }
    TDataSet* DataSet() const { return FDataLink->DataSet(); }
    bool IsDataSetActive() const;
    int GetFieldCount() const { return FDataLink->FieldMapCount(); }
    TField* GetField(int index) const;
    TField* GetColumnField(int dataColumn) const;
    TField* GetSelectedField() const;
    int IndicatorOffset() const { return FIndicatorOffset; }
    int TitleOffset() const { return FTitleOffset; }
    int DataColumn(int col) const { return FOptions.Contains(dgIndicator) ? col - 1 : col; }
    int DataRow(int row) const { return FOptions.Contains(dgTitles) ? row - 1 : row; }
    bool IsDataCell(int col, int row) const;
    TkqColumn* GetColumn(int dataColumn) const;
    TkqColumn* ColumnByFieldName(const QString& name) const;
    TkqColumn* DummyColumn() const { return FDummyColumn.get(); }
    int ColumnObjectCount() const { return int(FColumns.size()); }
    bool IsMemoCell(int col, int row) const;
    // The display text of the column's field in the row being read.
    virtual void GetCellText(int dataColumn, QString& text);
    bool GetCheckBoxValues(int col, int row, QString& unchecked, QString& checked) const;
    bool IsSelectionCheckBoxColumn(int col) const;
    void SelectColumn(int dataColumn);
    bool TakeFocus();
    // The ControlType list in force: the dataset's when ControlInfoInDataset and it has one.
    QStringList ActiveControlTypeList() const;

    // ================================================================ Settings
    QStringList Selected() const { return FSelected; }
    QStringList GetSelected() const { return FSelected; }
    void SetSelected(const QStringList& lines);
    bool UseTFields() const { return FUseTFields; }
    void SetUseTFields(bool value);
    QStringList ControlType() const { return FControlType; }
    void SetControlType(const QStringList& lines) { FControlType = lines; }
    QStringList PictureMasks() const { return FPictureMasks; }
    void SetPictureMasks(const QStringList& lines) { FPictureMasks = lines; }
    bool ControlInfoInDataset() const { return FControlInfoInDataset; }
    void SetControlInfoInDataset(bool value) { FControlInfoInDataset = value; }
    bool PictureMaskFromDataSet() const { return FPictureMaskFromDataSet; }
    void SetPictureMaskFromDataSet(bool value) { FPictureMaskFromDataSet = value; }
    TkqDBGridOptions Options() const { return FOptions; }
    void SetOptions(TkqDBGridOptions options);
    TkqDBGridKeyOptions KeyOptions() const { return FKeyOptions; }
    void SetKeyOptions(TkqDBGridKeyOptions options) { FKeyOptions = options; }
    TkqEditControlOptions EditControlOptions() const { return FEditControlOptions; }
    void SetEditControlOptions(TkqEditControlOptions options) { FEditControlOptions = options; }
    TkqMultiSelectOptions MultiSelectOptions() const { return FMultiSelectOptions; }
    void SetMultiSelectOptions(TkqMultiSelectOptions options) { FMultiSelectOptions = options; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    bool EditCalculated() const { return FEditCalculated; }
    void SetEditCalculated(bool value) { FEditCalculated = value; }
    int TitleLines() const { return FTitleLines; }
    void SetTitleLines(int lines);
    TAlignment TitleAlignment() const { return FTitleAlignment; }
    void SetTitleAlignment(TAlignment alignment);
    TFont TitleFont() const { return FTitleFont; }
    void SetTitleFont(const TFont& font);
    TColor TitleColor() const { return FTitleColor; }
    void SetTitleColor(TColor color);
    // The grid's background and font.
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    TFont Font() const { return TFont(font(), FFontColor); }
    void SetFont(const TFont& font);
    int RowHeightPercent() const { return FRowHeightPercent; }
    void SetRowHeightPercent(int percent);
    bool ShowVertScrollBar() const { return FShowVertScrollBar; }
    void SetShowVertScrollBar(bool value);
    bool ShowHorzScrollBar() const { return FShowHorzScrollBar; }
    void SetShowHorzScrollBar(bool value);
    bool DefaultDrawing() const { return FDBDefaultDrawing; }
    void SetDefaultDrawing(bool value) { FDBDefaultDrawing = value; }
    bool TitleButtons() const { return FTitleButtons; }
    void SetTitleButtons(bool value);
    TColor IndicatorIconColor() const { return FIndicatorIconColor; }
    void SetIndicatorIconColor(TColor color);
    TkqIButton* IndicatorButton() const { return FIndicatorButton; }
    void SetIndicatorButton(TkqIButton* button);
    TkqGridLineStyle LineStyle() const { return FLineStyle; }
    void SetLineStyle(TkqGridLineStyle style);
    TkqGridLineColors* LineColors() const { return FLineColors.get(); }
    TkqPadColumnStyle PadColumnStyle() const { return FPadColumnStyle; }
    void SetPadColumnStyle(TkqPadColumnStyle style);
    bool HideAllLines() const { return FHideAllLines; }
    void SetHideAllLines(bool value);
    TkqGridPaintOptions* PaintOptions() const { return FPaintOptions.get(); }
    TImageList* TitleImageList() const { return FTitleImageList; }
    void SetTitleImageList(TImageList* list);
    TImageList* ImageList() const { return FImageList; }
    void SetImageList(TImageList* list);
    int DragVertOffset() const { return FDragVertOffset; }
    void SetDragVertOffset(int offset) { FDragVertOffset = offset; }
    // Clicks focus the grid (a drop-down list's grid switches it off).
    bool TakeFocusOnClick() const { return FTakeFocusOnClick; }
    void SetTakeFocusOnClick(bool value) { FTakeFocusOnClick = value; }
    // Column widths sized by the user are written back into the fields or the Selected lines.
    bool UpdateFieldsOnResize() const { return FUpdateFields; }
    void SetUpdateFieldsOnResize(bool value) { FUpdateFields = value; }
    // Set by components that manage the grid's data changes or controls themselves.
    bool SkipDataChange() const { return FSkipDataChange; }
    void SetSkipDataChange(bool value) { FSkipDataChange = value; }
    bool SkipHideControls() const { return FSkipHideControls; }
    void SetSkipHideControls(bool value) { FSkipHideControls = value; }
    int MinRowHeightPercent() const { return FMinRowHeightPercent; }
    int TitleTextOffset() const { return FTitleTextOffset; }
    int IndicatorWidth() const { return FIndicatorWidth; }
    bool HasRowLines() const override { return FOptions.Contains(dgRowLines) || !FOptions.Contains(dgRowLinesDisableFixed); }
    bool GridFocused() const { return FGridFocused; }

    // ================================================================ Footer
    TColor FooterColor() const { return FFooterColor; }
    void SetFooterColor(TColor color);
    TColor FooterCellColor() const { return FFooterCellColor; }
    void SetFooterCellColor(TColor color);
    // 0: as high as the font needs.
    int FooterHeight() const { return FFooterHeight; }
    void SetFooterHeight(int height);
    // The cells' area: the viewport less the footer.
    TRect GetClientRect() const override;
    virtual TRect GetFooterRect() const;
    // What the footer adds to the grid's height.
    int FooterTotalHeight() const;

    // ================================================================ Cell hints
    // The hint window now shown over a cell (none when no hint is shown).
    TkqGridHintWindow* CellHintWindow() const { return FHintWindow; }
    // One tick of the hint timer (every 250 ms while a hint is shown).
    void HintTimerTick();
    virtual void HideCellHint();
    // How long a hint stays when the mouse rests on its cell.
    static int HintHidePause;

    // ================================================================ Layout
    virtual void LayoutChanged();
    virtual void CalcRowHeights();
    virtual void SetColumnWidths();
    virtual void DefineFieldMap();
    virtual void ResizeColumnsProportionally();
    virtual bool ProportionalResizeActive() const;
    void UpdateRowCount();
    void UpdateActive();
    virtual void UpdateScrollBar();
    bool FitHeightToRows();
    // Column widths in characters, as written back after the user sized a column.
    int WidthInCharacters(int pixels) const;
    const std::vector<TkqCacheColInfoItem>& ColumnInfoCache() const { return FColInfo; }
    // The cache entry of a grid column (an empty entry outside the cache).
    const TkqCacheColInfoItem& ColInfo(int col) const;

    // ================================================================ Painting
    int GetTitleCellRectTop(int col) const;
    virtual TRect GetTitleCellRect(int col, int row) const;
    virtual TRect GetGroupHeaderRect(int col, int row, bool visibleOnly, int& firstCol, int& lastCol) const;
    virtual TRect TitleHitTest(int col, const TRect& rect, int y) const;
    virtual TRect GetCellRectDefaultHeight(int col, int row) const;
    virtual int RowBottom(const TGridDrawInfo& info) const;
    void InvalidateCurrentRow();
    TColor ActiveRowColor() const;
    virtual bool HighlightCell(int dataCol, int dataRow, TGridDrawState state, const QString& text);
    virtual bool DrawsOnControlCanvas() const { return false; }
    // The canvas cells are drawn on: the drag image's while a title is painted into it, else
    // the paint bitmap's (valid while painting).
    TCanvas* GetPaintCanvas() const { return Canvas(); }
    void SetRowOffset(int value);
    int RowOffset() const { return FRowOffset; }
    int TopRecord() const { return FTopRecord; }
    bool AlternatingRowPhase() const { return FAlternatingPhase; }
    // The grid's paint bitmap (the last paint's picture).
    const TBitmap& PaintBitmap() const { return FPaintBitmap; }
    // Text of a cell: options 1 honour "&", 2 end ellipsis, 4 word break, 16 no background fill.
    static void DrawCellTextRect(TCanvas& canvas, const TRect& rect, int dx, unsigned options, TAlignment alignment,
                                 const QString& text, int dy);

    // ================================================================ Editing
    bool CanEdit() override;
    bool CanEditModify() override;
    // The framework's answer, and never over a read-only column with ecoDisableEditorIfReadOnly.
    bool CanEditShow() override;
    bool CanEditAcceptKey(QChar key) override;
    bool CanGridAcceptKey(int key, TShiftState shift) override;
    int GetEditLimit() override;
    QString GetEditMask(int col, int row) override;
    QString GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const QString& value) override;
    QString EditText() const { return FEditText; }
    virtual void ShowCellEditor();
    virtual void UpdateData();
    virtual void DoValidationError(TField* field);
    bool CheckEditText(TkqInplaceEdit* editor, const QString& text);
    TkqInplaceEdit* CellEditor() const;

    // ================================================================ Navigation
    void NextRecord();
    void PriorRecord();
    void TabToColumn(bool forward);
    void ScrollColumnIntoView(int col);
    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    // The vertical bar's requests (line, page, thumb, ends).
    void VertScroll(int code, int pos) override;

    // ================================================================ Grid host
    int TitleRowHeight() const override { return RowHeights(0); }
    TColor FixedColor() const override { return FTitleColor; }
    TkqGridPaintOptions* GridPaintOptions() const override { return FPaintOptions.get(); }
    TColor GridFontColor() const override { return FFontColor; }
    bool AlwaysShowEditor() const override { return FOptions.Contains(dgAlwaysShowEditor); }
    bool RowSelect() const override { return FOptions.Contains(dgRowSelect); }
    bool AlwaysShowSelection() const override { return FOptions.Contains(dgAlwaysShowSelection); }
    bool TabsMoveBetweenCells() const override { return FOptions.Contains(dgTabs); }
    void CalcCellColors(TField* field, TGridDrawState state, bool highlight, TFont& font, TColor& background) override;
    void GridKeyDown(int& key, TShiftState shift) override { KeyDown(key, shift); }
    void GridKeyPress(QChar& key) override { KeyPress(key); }
    bool HasOnKeyDown() const override { return bool(OnKeyDown); }
    void FireOnKeyDown(int& key, TShiftState shift) override { DoKeyDownEvent(key, shift); }
    virtual void DoCalcCellColors(TField* field, TGridDrawState state, bool highlight, TFont& font, TColor& brush);

    // ================================================================ Events
    std::function<void(QObject*, const QString& fieldName, TFont& font, TColor& brush, TAlignment& alignment)> OnCalcTitleAttributes;
    std::function<void(QObject*, TField*, TkqTitleImageAttributes&)> OnCalcTitleImage;
    std::function<void(QObject*, TCanvas&, const QString& groupName, const TRect&, bool& defaultDrawing)> OnDrawGroupHeaderCell;
    std::function<void(QObject*, TCanvas&, TField*, const TRect&, bool& defaultDrawing)> OnDrawTitleCell;
    std::function<void(QObject*, TField*, TGridDrawState, bool highlight, TFont& font, TColor& brush)> OnCalcCellColors;
    std::function<void(QObject*, const TRect&, TField*, TGridDrawState)> OnDrawDataCell;
    std::function<void(QObject*)> OnBeforePaint;
    std::function<void(QObject*, const QString& fieldName)> OnTitleButtonClick;
    std::function<void(QObject*, int fromIndex, int toIndex)> OnColumnMoved;
    std::function<void(QObject*, int column)> OnColWidthChanged;
    std::function<void(QObject*, QString& link, TField*, bool& useDefault)> OnURLOpen;
    std::function<void(QObject*, TCanvas&, const TRect& footerCellRect, TField*, const QString& footerText, bool& defaultDrawing)> OnDrawFooterCell;
    std::function<void(QObject*, TkqGridHintWindow*, TField*, const TRect&, bool& wordWrap, int& maxWidth, int& maxHeight, bool& doDefault)> OnCreateHintWindow;
    std::function<void(QObject*)> OnColEnter;
    std::function<void(QObject*)> OnColExit;
    std::function<void(QObject*)> OnCellChanged;
    std::function<void(QObject*)> OnRowChanged;
    std::function<void(QObject*)> OnTopRowChanged;
    std::function<void(QObject*, TField*)> OnFieldChanged;
    std::function<void(QObject*)> OnUpdateFooter;
    std::function<void(QObject*, int newLeftCol)> OnLeftColChanged;
    std::function<void(QObject* editor, bool passesPictureTest)> OnCheckValue;
    // Opens links (URL-Link cells): the default asks the desktop to open it.
    static std::function<void(const QString& link)> OpenLink;

protected:
    // ================================================================ Link reactions
    virtual void LinkActive(bool value);
    virtual void DataChanged();
    virtual void Scroll(int distance);
    virtual void EditingChanged();
    virtual void RecordChanged(TField* field);
    virtual void FocusControl(TField*& field);
    virtual void CheckRowChanged();
    virtual void CheckFooterUpdate();
    virtual void DoColEnter();
    virtual void DoColExit();
    virtual void DoCellChanged();
    virtual void DoRowChanged();
    virtual void DoTopRowChanged();
    virtual void DoFieldChanged(TField* field);
    virtual void DoUpdateFooter();
    // Writes the editor's text to the current field (the link's update-data step).
    void WriteEditText();

    // ================================================================ Painting
    void Paint() override;
    void DrawCellOfArea(int col, int row, const TRect& rect, TGridDrawState state) override;
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
    virtual void DrawGridLines();
    virtual void DrawPressedTitle();
    // The row line of one painted cell.
    virtual void DrawCellLine(const TRect& rect, int col, TGridDrawState state, int row);
    virtual void PaintDataCellBackground(const TRect& rect, int dataRow, TColor color);
    virtual void PaintFixedCellBackground(const TRect& rect, int dataRow, TColor color);
    virtual void PaintAlternatingRowBackground(const TRect& rect);
    virtual TColor GetColumnColor() const { return FColor; }
    virtual void DrawCheckBox(const TRect& rect, int col, bool checked, int row);
    virtual void DoCalcTitleAttributes(const QString& name, TFont& font, TAlignment& alignment, TColor& brush);
    virtual void DoCalcTitleImage(TField* field, TkqTitleImageAttributes& attributes);
    virtual void DoDrawTitleCell(TCanvas& canvas, TField* field, bool& defaultDrawing, const TRect& rect);
    virtual void DoDrawGroupHeaderCell(TCanvas& canvas, const QString& name, bool& defaultDrawing, const TRect& rect);
    virtual void DoDrawDataCell(const TRect& rect, TField* field, TGridDrawState state);
    // Calls DoCalcCellColors; answers whether the brush changed (and notes a white brush).
    bool CalcCellColorsOfCell(TField* field, TGridDrawState state, TCanvas& canvas, bool highlight);
    void PaintTitleBackground(const TRect& rect);
    virtual void PaintFooter();
    void PaintFooterCell(int col, const TRect& footer);
    // Paints the image of a cell's embedded control ("CustomEdit" and "RichEdit" kinds); false
    // paints the cell as text (nothing is embedded here).
    virtual bool DrawEmbeddedControlCell(int col, int dataCol, int dataRow, const TRect& cellRect, TGridDrawState state)
    {
        Q_UNUSED(col); Q_UNUSED(dataCol); Q_UNUSED(dataRow); Q_UNUSED(cellRect); Q_UNUSED(state);
        return false;
    }
    // The cell colours of a control-type cell (the cell being computed, highlight, the colour
    // events, the fill of a highlighted cell).
    void SetUpControlCellColors(TField* field, int dataCol, int dataRow, TGridDrawState state, const QString& text,
                                const TRect& cellRect, bool& highlight);
    void PaintPadColumn(const TGridDrawInfo& info);
    void DrawFocusFrame(const TGridDrawInfo& info);
    void TopLeftChanged() override;
    void ColWidthsChanged() override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    virtual void BuildColumnInfoCache();
    virtual void GetControlInfo(const QString& fieldName, QString& kind, QString& params) const;

    // ================================================================ Input
    virtual void DoEnter() override;
    virtual void DoExit() override;
    void Resize() override;
    void TimedScroll(int direction) override;
    void UpdateScrollRange() override;
    Qt::ScrollBarPolicy ScrollBarPolicy(bool horizontal) const override;
    TInplaceEdit* CreateEditor() override;
    bool ShouldFocusEditor() const override;
    virtual void DoURLOpen(QString& link, TField* field, bool& useDefault);
    virtual TkqGridHintWindow* CreateHintWindow(TField* field);
    virtual void DoCreateHintWindow(TkqGridHintWindow* hint, TField* field, const TRect& rect, bool& wordWrap,
                                    int& maxWidth, int& maxHeight, bool& doDefault);
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    virtual void DoTitleButtonClick(const QString& fieldName);
    // Splits a URL-Link value into its display text and its link.
    virtual void SplitURLLink(const QString& value, QString& display, QString& link) const;
    void OpenURLOfCell(TField* field);
    // Untouched inserted records are cancelled when the focus leaves (True here).
    virtual bool CancelInsertOnExit() { return true; }
    void changeEvent(QEvent* event) override;

    // ================================================================ What the published grid adds
    // The control the grid placed over the current cell (none here).
    virtual QWidget* CurrentCellControl() const { return nullptr; }
    // The current cell's control is moved out of sight (it keeps its place otherwise).
    void MoveCellControlOutOfView();
    virtual bool IsCustomControlCell(int col, int row) const { Q_UNUSED(col); Q_UNUSED(row); return false; }
    virtual void HideCustomEdit() {}
    virtual void UpdateRowSelectionFlags() {}
    virtual void UnselectAll() {}
    virtual void SelectRecord() {}
    virtual void UnselectRecord() {}
    virtual void ApplySelected() {}
    virtual bool IsRowSelected(int dataRow) const { Q_UNUSED(dataRow); return false; }
    virtual bool IsCurrentRecordSelected() const { return false; }
    // Program-fixed data columns beside the indicator column (none here).
    virtual int ProgramFixedCols() const { return 0; }
    // Expand buttons of nested datasets: whether one is expanded and holds the focus in its
    // detail grid, whether the current cell control is one, and expanding or collapsing.
    virtual bool FocusInExpandedDetail() const { return false; }
    virtual bool CurrentControlIsExpandButton(bool* expanded = nullptr) const { Q_UNUSED(expanded); return false; }
    virtual void CollapseExpandButtons() {}
    virtual void ExpandCurrentButton() {}
    // Places the current cell's control over the cell after a click (nothing here).
    virtual void PlaceCellControl() {}
    // A field-change report of the published grid that arrives once per change.
    virtual bool TracksFieldChangeReport() const { return false; }

    // Showing the cell editor is held back (a row change by a click or a Tab in progress).
    bool ShowEditorSuppressed() const { return FSuppressShowEditor; }
    void ClearBaseWidths() { FBaseWidths.clear(); }

    // ================================================================ State shared with descendants
    bool FChangedBrush = false;
    bool FWhiteBackground = false;
    bool FDrawFocusFrame = false;
    bool FSkipLine = false;
    bool FTextWasMapped = false;
    bool FFieldChangeReported = false;
    int FSelectedRow = -1;
    TGridCoord FHotURLCell{-1, -1};
    int FComputedDataCol = -1;
    int FComputedDataRow = -1;
    // Shift+click ranges start at this record (set while ShiftSelecting).
    bool FShiftSelecting = false;
    TBookmark FShiftAnchor;

private:
    friend class TkqGridDataLink;
    friend class TkqColumn;
    friend class TkqInplaceEdit;
    friend class TkqIButton;
    friend class TkqGridLineColors;

    struct TTitlePress {
        int Col = -1;
        int Row = 0;
        bool Group = false;
    };
    enum TDragDirection { ddNone, ddLeft, ddRight };

    TkqColumn* FindColumn(const QString& name) const;
    int ColumnCountForWidths() const;
    TField* WidthField(int i) const;
    void WriteBackWidths();
    void ApplyShowHorzScrollBar();
    void SetLayoutTitleOffsets();
    void DrawTitleCell(int col, int dataCol, const TRect& cellRect, TGridDrawState state);
    void DrawIndicatorCell(int dataRow, const TRect& cellRect);
    void DrawDataCell(int col, int row, int dataCol, int dataRow, const TRect& cellRect, TGridDrawState state);
    bool DrawControlTypeCell(int col, int row, int dataCol, int dataRow, TRect& cellRect, TGridDrawState state);
    void DrawBitmapCell(TField* field, const TRect& cellRect, TGridDrawState state);
    void DrawImageIndexCell(TField* field, const TRect& cellRect);
    void DrawTextOfDataCell(const TRect& cellRect, const QString& text, TAlignment alignment, bool fill);
    void PressTitle(int x, int y);
    void ClearTitlePress();
    void InvalidateTitleRow();
    // Title dragging: a press that may become a column drag, followed by mouse moves.
    void BeginTitleTracking(int x, int y);
    void TrackTitleMove(int x, int y);
    void TrackTitleRelease(int x, int y);
    void TrackTitleTimer();
    void EndTitleTracking();
    void StartTitleDrag(int x, int y);
    int DropColumnAt(int x) const;
    void UpdateDropMarkers(int x, bool forced);
    void MoveDroppedColumns(int from, int to);
    void PaintDragOverlay(TCanvas& canvas);
    void InstallKeyHook();
    void RemoveKeyHook();
    // The next or previous control of the form takes the focus (leaving the grid by Tab).
    void FocusNeighbour(bool next);
    void NextRecordOrAppend(bool allowAppend);
    void ApplyCellEditorWordWrap();

    std::unique_ptr<TkqGridDataLink> FDataLink;
    std::vector<std::unique_ptr<TkqColumn>> FColumns;
    std::unique_ptr<TkqColumn> FDummyColumn;
    QStringList FSelected;
    QStringList FControlType;
    QStringList FPictureMasks;
    bool FControlInfoInDataset = true;
    bool FPictureMaskFromDataSet = true;
    bool FUseTFields = true;
    bool FReadOnly = false;
    bool FEditCalculated = false;
    TkqDBGridOptions FOptions = DefaultDBGridOptions;
    TkqDBGridKeyOptions FKeyOptions{dgAllowDelete, dgAllowInsert};
    TkqEditControlOptions FEditControlOptions{ecoSearchOwnerForm};
    TkqMultiSelectOptions FMultiSelectOptions;
    int FTitleLines = 1;
    TAlignment FTitleAlignment = taLeftJustify;
    TFont FTitleFont;
    bool FChangingTitleFont = false;
    TColor FTitleColor = clBtnFace;
    TColor FColor = clWindow;
    TColor FFontColor = clWindowText;
    int FRowHeightPercent = 100;
    int FMinRowHeightPercent = 100;
    bool FShowVertScrollBar = true;
    bool FShowHorzScrollBar = true;
    bool FDBDefaultDrawing = true;
    bool FTitleButtons = false;
    TColor FIndicatorIconColor = clBlack;
    QPointer<TkqIButton> FIndicatorButton;
    int FIndicatorWidth = 11;
    TkqGridLineStyle FLineStyle = glsDynamic;
    std::unique_ptr<TkqGridLineColors> FLineColors;
    TkqPadColumnStyle FPadColumnStyle = pcsPadHeaderAndData;
    bool FHideAllLines = false;
    TBitmap FPaintBitmap;
    std::unique_ptr<TkqGridPaintOptions> FPaintOptions;
    TImageList* FTitleImageList = nullptr;
    TImageList* FImageList = nullptr;
    int FTitleImageListKey = 0;
    int FImageListKey = 0;
    int FDragVertOffset = 15;
    bool FTakeFocusOnClick = true;
    bool FUpdateFields = true;
    bool FSkipDataChange = false;
    bool FSkipHideControls = false;

    // Layout state.
    int FIndicatorOffset = 1;
    int FTitleOffset = 1;
    int FTitleTextOffset = 2;
    int FLayoutLock = 0;
    int FWidthUpdateCount = 0;
    bool FUpdatingRowCount = false;
    std::vector<quint16> FBaseWidths;
    int FSizingIndex = -1;
    int FSizingWidth = 0;
    int FPrevClientWidth = 0;
    std::vector<TkqCacheColInfoItem> FColInfo;

    // Tracking state.
    TBookmark FLastBookmark;
    bool FHasLastBookmark = false;
    TBookmark FLastMasterBookmark;
    bool FHasLastMasterBookmark = false;
    int FLastEnteredCol = -1;
    bool FColEnterPending = false;
    bool FFooterUpdatePending = false;
    bool FCellChangedSuppressed = false;
    bool FAlternatingPhase = false;
    int FRowOffset = 0;
    int FTopRecord = 0;
    bool FGridFocused = false;

    // Input state.
    bool FSuppressShowEditor = false;
    bool FInColExit = false;
    TTitlePress FTitlePress;
    bool FSkipTitleClick = false;
    int FWidthChangedColumn = -1;
    QString FEditText;

    // Title tracking (a press on a scrolled column's title).
    bool FTracking = false;
    bool FDragging = false;
    bool FPaintingDragImage = false;
    bool FDragGroupName = false;
    bool FDragGroupMember = false;
    QPoint FTrackStart;
    int FTrackLastX = 0;
    TDragDirection FDragDirection = ddNone;
    int FRightScrollEdge = 0;
    int FDragCol = -1;
    int FDragFirstCol = -1;
    int FDragLastCol = -1;
    int FDropCol = -1;
    int FGrabOffset = 0;
    TRect FDragPart;
    QPoint FDragImagePos;
    QImage FDragImage;
    QTimer FDragTimer;

    // Footer.
    TColor FFooterColor = clBtnFace;
    TColor FFooterCellColor = clBtnFace;
    int FFooterHeight = 0;

    // Cell hints and URL tracking.
    void ShowCellHint(int x, int y);
    void TrackURLCell(int x, int y);
    QPointer<TkqGridHintWindow> FHintWindow;
    std::unique_ptr<QTimer> FHintTimer;
    int FHintTicks = 0;
    TGridCoord FLastHintCell{0, 0};
    TRect FLastHintRect;
    bool FURLHot = false;

    // Painting state: the geometry of the paint running now.
    bool FPainting = false;
    TGridDrawInfo FPaintInfo;
    TGridDrawInfo FCellInfo;
};
