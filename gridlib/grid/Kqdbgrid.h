#pragma once
// The data grid that forms place: the grid core with its column layout taken from the Selected
// list, program-fixed data columns, controls of the form embedded in cells, multi-selection,
// a layout stored in a settings file, and the memo dialog for memo cells.
//
// Cell controls are found by the names that ControlType lines give, bound to the grid's data
// by property name and recognised by class name, so the grid never refers to the classes it
// hosts: one live control stands over the current cell, the other rows show images of it.

#include "gridlib/grid/Kqdbigrd.h"
#include "gridlib/grid/Kqexport.h"

#include <QHash>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <memory>


class QPlainTextEdit;
class TCustomIniFile;
class TkqDBGrid;
class TkqMemoDlg;
class TkqExpandButton;

// ================================================================================================
// The memo dialog: a long text in a modal window with one large edit.

class TkqMemoDialog : public QObject {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
    Q_PROPERTY(int DlgLeft MEMBER DlgLeft)
    Q_PROPERTY(int DlgTop MEMBER DlgTop)
    Q_PROPERTY(int DlgWidth MEMBER DlgWidth)
    Q_PROPERTY(int DlgHeight MEMBER DlgHeight)
    Q_PROPERTY(QString UserButton1Caption MEMBER UserButton1Caption)
    Q_PROPERTY(QString UserButton2Caption MEMBER UserButton2Caption)

public:
    explicit TkqMemoDialog(QObject* owner = nullptr);
    ~TkqMemoDialog() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    QString DataField() const;
    void SetDataField(const QString& name);
    TFont Font() const { return FFont; }
    void SetFont(const TFont& font) { FFont = font; }
    TkqMemoAttributes MemoAttributes() const { return FMemoAttributes; }
    void SetMemoAttributes(TkqMemoAttributes attributes) { FMemoAttributes = attributes; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption) { FCaption = caption; }
    QStringList Lines() const { return FLines; }
    void SetLines(const QStringList& lines) { FLines = lines; }

    int DlgLeft = 0;
    int DlgTop = 0;
    int DlgWidth = 561;
    int DlgHeight = 396;
    QString UserButton1Caption;
    QString UserButton2Caption;

    std::function<void(TkqMemoDlg*)> OnInitDialog;
    std::function<void(TkqMemoDlg*)> OnCloseDialog;
    std::function<void(TkqMemoDlg*, QPlainTextEdit* memo)> OnUserButton1Click;
    std::function<void(TkqMemoDlg*, QPlainTextEdit* memo)> OnUserButton2Click;

    // Runs the window modally; true when it closed with OK. An accepted edit of a field puts
    // its dataset into edit state and leaves the record unposted.
    virtual bool Execute();
    // The window while Execute runs.
    TkqMemoDlg* Form() const { return FForm; }

protected:
    virtual void DoInitDialog(TkqMemoDlg* dialog);
    virtual void DoCloseDialog(TkqMemoDlg* dialog);

private:
    friend class TkqMemoDlg;
    std::unique_ptr<TFieldDataLink> FDataLink;
    TFont FFont;
    TkqMemoAttributes FMemoAttributes{mSizeable, mWordWrap};
    QString FCaption;
    QStringList FLines;
    TkqMemoDlg* FForm = nullptr;
};

// ================================================================================================
// Where a grid keeps its layout: a settings file, or a registry key (an INI file of the same
// layout under the user's configuration folder).

class TkqIniAttributes : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(bool SaveToRegistry READ SaveToRegistry WRITE SetSaveToRegistry)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(QString SectionName READ SectionName WRITE SetSectionName)
    Q_PROPERTY(QString Delimiter READ Delimiter WRITE SetDelimiter)
    Q_PROPERTY(bool CheckNewFields READ CheckNewFields WRITE SetCheckNewFields)

public:
    explicit TkqIniAttributes(TkqDBGrid* grid);

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    bool SaveToRegistry() const { return FSaveToRegistry; }
    void SetSaveToRegistry(bool value) { FSaveToRegistry = value; }
    // The file (or key path) in force: the one set, else the library's settings file name
    // when the texts object is connected, else "<program>.ini" for a file store.
    QString FileName() const;
    void SetFileName(const QString& name) { FFileName = name; }
    // The section in force: the one set, else the form's name followed by the grid's.
    QString SectionName() const;
    void SetSectionName(const QString& name) { FSectionName = name; }
    QString Delimiter() const { return FDelimiter; }
    void SetDelimiter(const QString& delimiter) { FDelimiter = delimiter; }
    bool CheckNewFields() const { return FCheckNewFields; }
    void SetCheckNewFields(bool value) { FCheckNewFields = value; }
    // The name of the form the grid sits on (empty for a grid made in code).
    QString FormName() const { return FFormName; }
    void SetFormName(const QString& name) { FFormName = name; }
    // The settings file that stands for a registry key path.
    static QString RegistryKeyFile(const QString& keyPath);

private:
    TkqDBGrid* FGrid;
    QString FFormName;
    QString FFileName;
    QString FSectionName;
    QString FDelimiter;
    bool FEnabled = false;
    bool FSaveToRegistry = false;
    bool FCheckNewFields = false;
};

// ================================================================================================
// The published grid

class TkqDBGrid : public TkqCustomDBGrid {
    Q_OBJECT
    Q_PROPERTY(int FixedCols READ FixedCols WRITE SetFixedCols)
    Q_PROPERTY(bool LoadAllRTF READ LoadAllRTF WRITE SetLoadAllRTF)
    Q_PROPERTY(TkqIniAttributes* IniAttributes READ IniAttributes CONSTANT)
    Q_PROPERTY(TkqExportOptions* ExportOptions READ ExportOptions CONSTANT)
    Q_PROPERTY(int FooterHeight READ FooterHeight WRITE SetFooterHeight)
    Q_PROPERTY(int Height READ height WRITE SetHeight)

public:
    explicit TkqDBGrid(QWidget* parent = nullptr);
    ~TkqDBGrid() override;

    // ================================================================ Application operations
    // Program-fixed data columns beside the indicator; a count that does not fit is kept but
    // leaves the fixed columns as they are.
    int FixedCols() const { return FFixedColsValue; }
    void SetFixedCols(int count);
    // Re-applies the column layout and the control types.
    void RefreshLayout();
    TGridCoord MouseCoord(int x, int y) const;
    int GetRowCount() const { return RowCount(); }
    int GetColCount() const { return ColCount(); }
    int GetDataRow() const;
    void SetDataRow(int index);
    TField* GetCurrentField() const;
    void SelectFieldByName(const QString& name);
    bool IsGridFocused() const { return GridFocused(); }
    TkqMemoAttributes MemoAttributes() const { return FMemoAttributes; }
    void SetMemoAttributes(TkqMemoAttributes attributes);
    bool LoadAllRTF() const { return FLoadAllRTF; }
    void SetLoadAllRTF(bool value) { FLoadAllRTF = value; }
    TkqIniAttributes* IniAttributes() const { return FIniAttributes.get(); }
    // The export of the grid's records to a file or the clipboard (set its options, call Save).
    TkqExportOptions* ExportOptions() const { return FExportOptions.get(); }
    // The height the grid keeps in its parent's layout (a window stores and restores it).
    void SetHeight(int height) { setFixedHeight(qMax(0, height)); }
    // The title row's indicator colour: yellow or black.
    void SetIndicatorColor(bool yellow) { SetIndicatorIconColor(yellow ? clYellow : clBlack); }
    // The pop-up menu shown over the grid, and where it was asked for last (client point).
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    QPoint PopupMenuPoint() const { return FPopupPoint; }

    // ================================================================ Multi-selection
    const QList<TBookmark>& SelectedBookmarks() const { return FSelectedBookmarks; }
    void SelectAll();
    void UnselectAll() override;
    void SelectRecord() override;
    void UnselectRecord() override;
    bool IsCurrentRecordSelected() const override;
    bool IsRowSelected(int dataRow) const override;
    // The list entry of the current record; -1 when it is not selected.
    int FindSelectedBookmark() const;
    // Sorts the list into dataset order.
    void SortSelectedBookmarks();
    virtual void SelectRecordRange(const TBookmark& clicked, const TBookmark& anchor);
    virtual void UnselectRecordRange(const TBookmark& low, const TBookmark& high);

    // ================================================================ Cell controls
    // 0, 1 and 10 up remove the field's line; 2 "CheckBox"; 3, 5, 6 "CustomEdit"; 4 "Bitmap";
    // 7 "RichEdit"; 8 "ImageIndex"; 9 "URL-Link". For the edit kinds params names the control.
    void SetControlType(const QString& fieldName, int code, const QString& params);
    using TkqCustomDBGrid::SetControlType;
    QWidget* CurrentCellControl() const override { return FCurrentCellControl; }
    QWidget* FindNamedControl(const QString& name) const;
    bool CustomControlsActive() const;
    QWidget* FindCellControl(int col, int row) const;
    bool IsCustomControlCell(int col, int row) const override;
    // A "RichEdit" line for the cell: found, with its control (which may be none).
    bool FindRichEditControl(int col, int row, QWidget*& control) const;
    void PrepareCustomControls();
    void RefreshCustomControls();
    virtual void UpdateCellEditor();
    void HideCustomEdit() override;
    virtual void PlaceDateTimePicker();
    virtual QWidget* CreateDateTimePicker();
    virtual void DoCreateDateTimePicker();
    QWidget* CellPicker() const { return FCellPicker; }
    void GetCellText(int dataColumn, QString& text) override;
    void ToggleCheckBoxCell(int col, int row);
    void OpenMemoDialog();
    bool PlacedByPaint() const { return FPlacedByPaint; }
    // Puts the current cell's control over the cell now (an expand button about to expand).
    void PlaceCurrentCellControl() { PlaceCellControl(); }

    // ================================================================ Layout persistence
    virtual void LoadLayout();
    virtual void SaveLayout();

    // ================================================================ Events
    std::function<void(QObject*, QWidget* picker)> OnCreateDateTimePicker;
    std::function<void(QObject*, TkqMemoDialog*)> OnMemoOpen;
    std::function<void(QObject*, bool cancel)> OnMemoClose;
    std::function<void(QObject*, bool selecting, bool& accept)> OnMultiSelectRecord;
    std::function<void(QObject*, bool selecting, bool& accept)> OnMultiSelectAllRecords;
    // Decides per field whether an export writes it (accept starts true).
    std::function<void(QObject*, TField*, bool& accept)> OnExportField;

protected:
    // ================================================================ Overrides of the core
    void LinkActive(bool value) override;
    void SetColumnWidths() override;
    void ApplySelected() override;
    virtual void ApplyFixedCols();
    int ProgramFixedCols() const override { return FAppliedFixedCols; }
    void BuildColumnInfoCache() override;
    void GetControlInfo(const QString& fieldName, QString& kind, QString& params) const override;
    bool CanEditShow() override;
    void Paint() override;
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
    bool DrawEmbeddedControlCell(int col, int dataCol, int dataRow, const TRect& cellRect, TGridDrawState state) override;
    void UpdateRowSelectionFlags() override;
    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& key) override;
    void DblClick() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void TopLeftChanged() override;
    void DoColEnter() override;
    void DoColExit() override;
    void DoExit() override;
    void UpdateData() override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    void Scroll(int distance) override;
    bool TracksFieldChangeReport() const override { return true; }
    bool FocusInExpandedDetail() const override;
    bool CurrentControlIsExpandButton(bool* expanded = nullptr) const override;
    void CollapseExpandButtons() override;
    void ExpandCurrentButton() override;
    void PlaceCellControl() override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class TkqExportWriter;
    // The controls named in the active ControlType list for a field (first edit-kind line).
    QWidget* FindFieldControl(const QString& fieldName) const;
    // Hides a control and makes it a cell control of the grid bound to the field.
    void AdoptControl(QWidget* control, const QString& fieldName, bool withFont);
    void BindControlToCurrentCell(QWidget* control);
    TRect CurrentCellControlRect() const;
    bool IsExpandButton(const QWidget* control) const;
    // An expand button of the grid whose detail grid is open.
    TkqExpandButton* ExpandedButton() const;
    // Is the record at the link's active record in the selection?
    bool ActiveRecordSelected() const;
    void AddSelectedBookmark(const TBookmark& bookmark);
    void RemoveSelectedBookmark(int index);
    void ClearSelectedBookmarks();
    bool AskSelect(bool selecting);
    // The ControlType line's check-box values of a cell.
    bool CheckBoxCellValues(int col, int row, QString& checked, QString& unchecked) const;
    std::unique_ptr<TCustomIniFile> OpenLayoutStore() const;
    bool LayoutStoreUsable(bool destroying, bool saving) const;

    int FFixedColsValue = 0;
    int FAppliedFixedCols = 0;
    TkqMemoAttributes FMemoAttributes{mSizeable, mWordWrap};
    bool FLoadAllRTF = false;
    std::unique_ptr<TkqIniAttributes> FIniAttributes;
    std::unique_ptr<TkqExportOptions> FExportOptions;
    QPointer<QMenu> FPopupMenu;
    QPoint FPopupPoint;

    // Multi-selection: the bookmarks in the order they were added, the same as a set for the
    // row flags, and the flags of the buffered rows.
    QList<TBookmark> FSelectedBookmarks;
    QHash<TRecordId, int> FSelectedCount;
    std::vector<char> FRowFlags;

    // Cell controls.
    QPointer<QWidget> FCurrentCellControl;
    QPointer<QWidget> FCellPicker;
    std::unique_ptr<TkqRichTextReader> FRichTextReader;
    bool FPlacedByPaint = false;
    bool FCustomControlsPrepared = false;
    bool FDrawCellRunning = false;
    QPoint FLastMouseDown;

    // Layout state.
    bool FLayoutRunning = false;
    bool FLayoutAppliedOnce = false;
    bool FFirstShowPending = true;
    bool FLinkReaction = false;
    bool FPinningTopRow = false;
    bool FDestroying = false;
};
