#pragma once
// The structure window: edits the field definitions of one data file (names, types, sizes,
// and the field list of its nested dataset field), creates a new file from them, or rewrites
// an existing file with the changed structure while keeping its records. Rows move between
// windows through the frame's field-definition clipboard; Borrow takes over another file's
// whole field list; Undo takes back the last change.

#include "app/URestructure.h"
#include "app/WorkbenchWindows.h"
#include "platform/vcl/Controls.h"
#include "platform/core/SysUtils.h"

#include <QComboBox>
#include <QStringList>
#include <QTimer>
#include <vector>

class QAction;
class QLayout;
class QMenu;
class QToolBar;
class TClientDataSet;
class TDataSet;
class TDataSource;
class TkqDBComboBox;
class TkqDBGrid;
class TkqDBNavigator;
class TkqDBSpinEdit;
class TkqExpandButton;
class TkqIncrementalSearch;
class TqeStatusBar;

// The file combo: shows the file the window edits and offers the opener's files; typing into
// it is suppressed, only choosing an item changes it.
class TFileComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TFileComboBox(QWidget* parent = nullptr);
    QString Text() const { return currentText(); }
    void SetText(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class TFrmModifyEditStruct : public TStructureWindowBase {
    Q_OBJECT
public:
    explicit TFrmModifyEditStruct(QWidget* parent = nullptr);
    ~TFrmModifyEditStruct() override;

    // --- Entry operations of the openers
    void SetFileList(const QStringList& files) override;
    void OpenStructure(const QString& path) override;
    void SetBaseFolder(const QString& folder) override;
    void BeginNewStructure() override;

    // --- State
    // The file the window edits (also the file combo's text).
    QString FileName() const { return FFileName; }
    QStringList FileList;
    bool NewFile = false;
    bool HasDataSetField = false;
    bool LoadingRows = false;
    bool LoadingNested = false;
    TDateTime FileDate = 0;
    QString BaseFolder;
    int LastGridKey = 0;
    TShiftState LastGridShift;

    // --- Components
    TClientDataSet* cdsFieldDefs;
    TClientDataSet* cdsDetail;
    TDataSource* dsFieldDefs;
    TDataSource* dsDetail;
    TkqDBGrid* grdFieldDefs;
    TkqDBGrid* grdDetail;
    TkqDBComboBox* EdtTypes;
    TkqDBComboBox* EdtTypes2;
    TkqDBSpinEdit* EdtSize;
    TkqDBSpinEdit* EdtSize2;
    TkqExpandButton* ExpandButton;
    TFileComboBox* EdtFileName;
    TkqIncrementalSearch* EdtSearch;
    TkqDBNavigator* DBNavigator;
    QToolBar* ToolBar;
    QAction* btnNew;
    QAction* actReadOnlySave;
    QAction* actPrintStructure;
    QAction* actUndo;
    QAction* actBorrow;
    QAction* actViewData;
    QMenu* PopupMenu;
    QAction* mnuCut;
    QAction* mnuCopy;
    QAction* mnuPaste;
    TqeStatusBar* StatusBar;
    QTimer* Timer1;

    // The types offered in the type columns, in their order.
    static QStringList TypeItems();

    // --- Loading, checking, status
    void LoadStructure(const QString& file);
    void CheckReadOnly(const QString& file);
    bool IsReadOnly() const;
    void ShowFileStatus();
    void AskNewFile(const QString& path);
    // The grid the row commands act on: the nested grid while it has the focus.
    TkqDBGrid* ActiveGrid() const;
    TClientDataSet* ActiveTable() const;
    // Loads the nested field list of the master's "DataSet" row when the nested table is empty.
    void LoadNestedList();

    // --- Rows
    void ValidateFieldDefRow(TClientDataSet* table);
    void RenumberPositions(TClientDataSet* table, int newPos);
    void DeleteSelectedRows(bool ask);
    // Moves the current row of the grid's table before the record shown at data row r
    // (1 = first visible data row).
    void DropRowAt(TkqDBGrid* grid, int dataRow);

    // --- Saving
    // Writes the file (new, or restructured); false when nothing was written.
    bool SaveStructure();
    bool WriteNewFile(const QString& path);
    bool RestructureFile(const QString& file);
    // The window's definitions as rows, nested lists included.
    TFieldDefRows StructureRows();

    // --- Clipboard, Borrow, Undo
    void CopyRows(bool keepSelection = false);
    void PasteRows();
    void BorrowFrom(const QString& path);
    // The frame's field-definition clipboard (a window of its own when there is no frame).
    TClientDataSet* FieldDefsClipboard();

    // Enables the commands by the window's state (also from a timer, so nothing is missed).
    void UpdateActions();

    // --- Handlers
    void EdtFileNameChange();
    void btnNewClick();
    void DBNavigatorDeleteClick();
    void Timer1Timer();
    void cdsFieldDefsBeforePost();
    void cdsFieldDefsAfterPost();
    void cdsDetailBeforePost();
    void cdsDetailAfterPost();
    void EdtTypesChange();
    void EdtTypes2Change();
    void grdFieldDefsKeyDown(int& key, TShiftState shift);
    void grdDetailKeyDown(int& key, TShiftState shift);
    void grdFieldDefsCellChanged();
    void grdMouseDown(TkqDBGrid* grid, TMouseButton button, int x, int y);
    void grdDragOver(TkqDBGrid* grid, QObject* source, int x, int y, bool& accept);
    void grdDragDrop(TkqDBGrid* grid, int x, int y);
    void ExpandButtonBeforeExpand();
    void ExpandButtonBeforeCollapse();
    void actReadOnlySaveExecute();
    void actViewDataExecute();
    void actUndoExecute();
    void actBorrowExecute();
    void mnuCopyClick();
    void mnuCutClick();
    void mnuPasteClick();
    void PopupMenuPopup();

protected:
    bool CloseQuery() override;
    void FormActivate() override;

private:
    void CreateControls();
    void CreateToolBar();
    QLayout* CreateFileRow();
    QLayout* CreateSearchRow();
    void CreateCellEditors();
    void CreatePopupMenu();
    void CreateGrids();
    void FormShow() override;
    void SetFileNameText(const QString& file);
    void TypeChanged(TClientDataSet* table, TkqDBComboBox* types, TkqDBSpinEdit* size, bool master);
    void BeforePost(TClientDataSet* table, bool loading);
    void AfterPost(TClientDataSet* table);
    void CollapseNested();
    // Appends the nested list of the master's current row to cdsDetail (see LoadNestedStructure).
    void LoadDetailRows(TClientDataSet* master);
    // Asks for the name of a new file in the folder of path; false when the user cancels.
    bool ChooseNewFileName(const QString& path, QString& name);
    TClientDataSet* TableOf(const TkqDBGrid* grid) const;
    int OtherDataSetRows(TClientDataSet* table) const;

    // Undo takes back one user step at a time: a post with the renumbering it caused, one
    // deletion, one paste. Each table keeps the change-log positions where its steps began.
    class TUndoStep;
    std::vector<int>& UndoMarks(TClientDataSet* table);
    void ClearUndoMarks();
    int FUndoDepth = 0;
    int FPostMark = -1;
    std::vector<int> FMasterMarks;
    std::vector<int> FDetailMarks;

    QString FFileName;
    // The old name of the "DataSet" row whose nested list cdsDetail holds.
    QString FDetailOwner;
    QTimer FActionTimer;
};
