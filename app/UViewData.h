#pragma once
// The data window: views and edits the records of one data file. Every posted record and
// every command that changes data writes the whole file at once (XML when its name ends in
// ".xml", else binary); Undo and Revert leave the file unsaved until the next save. A file
// that another window shows too opens read-only and becomes editable again once it is the
// only one showing it.

#include "app/WorkbenchWindows.h"
#include "gridlib/core/kqclient.h"
#include "platform/vcl/Canvas.h"
#include "platform/core/SysUtils.h"

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QStringList>
#include <memory>

class QAction;
class QComboBox;
class TkqRadioGroup;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QToolBar;
class QWidget;
class TClientDataSet;
class TDataSet;
class TDataSource;
class TField;
class TFormStorage;
class TkqDBGrid;
class TkqDBNavigator;
class TkqDBRichEdit;
class TkqExpandButton;
class TkqFilterDialog;
class TkqIButton;
class TImageList;
class TkqLocateDialog;
class TkqRecordViewPanel;
class TMenuItem;
class TqeStatusBar;
class TVzPopupMenu;
class TVzSpeedButton;
class TVzSpinEdit;
class TVzSplitter;

class TFrmViewData : public TDataWindowBase {
    Q_OBJECT
public:
    explicit TFrmViewData(QWidget* parent = nullptr);
    ~TFrmViewData() override;

    // --- Entry operations (the caller has set the caption first)
    void SetFileList(const QStringList& files) override;
    void OpenDataFile(const QString& path) override;
    bool IsReadOnly() const override;

    // --- State
    QString DataFileName;
    QStringList FileList;
    // An Undo or Revert result, or a change whose write failed, not yet in the file.
    bool UnsavedChanges = false;
    TDateTime FileDate = 0;
    qint64 FileSize = 0;
    TBitmap ArrowUpBitmap, ArrowDownBitmap;
    QString SortAscField, SortDescField, DetailSortAscField, DetailSortDescField;
    QString SelectedColumn, DetailSelectedColumn, PopupColumn;

    // --- Components
    QToolBar* ToolBar = nullptr;
    TkqDBNavigator* DBNavigator = nullptr;
    QAction* actRefresh = nullptr;
    QAction* actUndo = nullptr;
    QAction* actRevert = nullptr;
    TVzSpeedButton* btnSave = nullptr;
    TVzPopupMenu* popSave = nullptr;
    TMenuItem* Save1 = nullptr;
    TMenuItem* SaveAs1 = nullptr;
    TMenuItem* SaveAsBinary1 = nullptr;
    TMenuItem* SaveAsXML1 = nullptr;
    QAction* actReadOnlyDeleteAll = nullptr;
    QAction* actReadOnlyMergeChangeLog = nullptr;
    QAction* btnModifyStruct = nullptr;
    TVzSpeedButton* btnSizeColumn = nullptr;
    QAction* actLocate = nullptr;
    QAction* actFilter = nullptr;
    QAction* actReadOnlyMigrate = nullptr;
    QAction* actReadOnlyPopulate = nullptr;

    TVzSpinEdit* EdtFixedColumns = nullptr;
    TVzSpeedButton* cbShowTypeAndLength = nullptr;
    TkqRadioGroup* rgStatusFilter = nullptr;
    QComboBox* EdtFileName = nullptr;

    QTabWidget* PageControl = nullptr;
    TkqDBGrid* grdViewData = nullptr;
    TkqDBGrid* grdDetail = nullptr;
    TkqExpandButton* ExpandButton = nullptr;
    TkqIButton* btnSelectAll = nullptr;
    TkqIButton* btnDetailSelectAll = nullptr;
    TkqRecordViewPanel* RecordViewPanel = nullptr;
    TVzSplitter* Splitter = nullptr;
    TVzSpeedButton* btnDeltaInfo = nullptr;
    TkqDBGrid* grdDelta = nullptr;
    TkqDBGrid* grdDeltaDetail = nullptr;
    TkqExpandButton* ExpandButton2 = nullptr;
    TqeStatusBar* StatusBar = nullptr;
    QMenu* popGrid = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Paste1 = nullptr;
    QAction* SelectAll1 = nullptr;
    QAction* Export1 = nullptr;
    QAction* SortAscending1 = nullptr;
    QAction* SortDescending1 = nullptr;
    QAction* ResetSort1 = nullptr;

    TkqClientDataSet* cdsViewData = nullptr;
    TDataSource* dsViewData = nullptr;
    TkqClientDataSet* cdsDetail = nullptr;
    TDataSource* dsDetail = nullptr;
    TClientDataSet* cdsDelta = nullptr;
    TDataSource* dsDelta = nullptr;
    TClientDataSet* cdsDeltaDetail = nullptr;
    TDataSource* dsDeltaDetail = nullptr;
    QTimer* Timer1 = nullptr;
    TFormStorage* FormStorage = nullptr;
    TkqLocateDialog* LocateDialog = nullptr;
    TkqFilterDialog* FilterDialog = nullptr;
    TkqDBRichEdit* DBRichEdit = nullptr;
    // The window's image list (titles: 21 ascending, 27 descending).
    QList<QIcon> Images;
    // The same images for the grid titles.
    std::unique_ptr<TImageList> TitleImages;

    // --- Opening, status, saving
    void LoadDataFile(const QString& path);
    void SaveDataFile(TClientDataSet* dataSet, const QString& path);
    void ShowStatus(bool withChangeCount);
    void RefreshDelta();
    void ReloadSavedFile(const QString& path);

    // --- Views
    TkqDBGrid* ActiveGrid(bool withChangeLog = false) const;
    static bool IsDetailGrid(const TkqDBGrid* grid);
    void ApplyColumnTitles(TkqDBGrid* grid);
    void SizeColumns(bool fit);
    bool FindNestedDataSet(TDataSet* dataSet);
    void ShowFieldEditor(TkqDBGrid* grid);

    // --- Commands
    void actRefreshExecute();
    void actUndoExecute();
    void actRevertExecute();
    void Save1Click();
    void SaveAsClick(bool xml);
    void actReadOnlyDeleteAllExecute();
    void actReadOnlyMergeChangeLogExecute();
    void btnModifyStructClick();
    void btnSizeColumnClick();
    void actLocateExecute();
    void actFilterExecute();
    void actReadOnlyMigrateExecute();
    void actReadOnlyPopulateExecute();
    void DeleteClick();
    void CopyClick();
    void PasteClick();
    void SelectAllClick();
    // Exports the grid's records (the selected ones when there are) to a chosen file.
    void ExportClick();
    void SortAscendingClick();
    void SortDescendingClick();
    void ResetSortClick();
    void popGridPopup();
    void btnDeltaInfoClick();
    void cbShowTypeAndLengthClick();
    void rgStatusFilterClick(int index);
    void EdtFixedColumnsChange();
    void EdtFileNameChange(const QString& path);
    void grdViewDataTitleButtonClick(QObject* sender, const QString& fieldName);
    void grdDetailTitleButtonClick(QObject* sender, const QString& fieldName);
    void Timer1Timer();
    // Enables the commands by the read-only state, the change counts and the clipboard.
    void UpdateActions();

    // --- The close question and activation
    bool CloseQuery() override;

protected:
    void FormActivate() override;
    void FormClose() override;

private:
    void CreateControls();
    void CreateToolBar(QWidget* top);
    void CreateSaveButton();
    void CreateSettingsRows(QWidget* top);
    void CreatePages();
    void CreateChangeLog();
    void CreateStatusBar();
    void CreateGridMenu();
    void CreateDataComponents();
    void ConnectEvents();
    void FormShow() override;
    // Read-only state of the grid and the dataset from FileShownTwice of the path.
    void ApplyReadOnlyTest(const QString& path);
    // Collapses the nested grids and lets their sources go before a dataset closes.
    void CloseNestedGrids();
    void Sort(bool ascending);
    void ClearSortState(TkqDBGrid* grid);
    void DeleteNestedRecords(TDataSet* dataSet);
    // Asks "Data is not saved, Save now?" when there is something to save; false on Cancel.
    // discard tells whether the user chose No.
    bool AskToSave(bool& discard);
    void UpdateDeltaGlyph();
    void ShowFixedColumns(int count);
    void BindNestedControls();
    QString& ChosenColumn(const TkqDBGrid* grid);
    void AttachDataEvents();
    void DetachDataEvents();

    bool FDiscardOnClose = false;
    bool FWriteOnDelete = true;
    bool FShowingFixedColumns = false;
    QMetaObject::Connection FFocusConnection;
};
