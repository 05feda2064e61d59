#pragma once
// The migration window: copies records into a data file (the destination) from another file
// (the source): a client dataset file, a memory-table file, a Paradox or dBASE table, or a
// table of an Access database. The user pairs source fields with destination fields, picks
// an update mode and, for the modes that match records, a locate field on each side.
//
// A run works on the destination's current contents and saves them atomically at its end;
// a run that fails leaves the destination file and its copy here as they were.

#include "app/WorkbenchWindows.h"
#include "gridlib/core/kqclient.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class QAction;
class QComboBox;
class QLabel;
class QLayout;
class QListWidget;
class QToolButton;
class TADOConnection;
class TADOTable;
class TClientDataSet;
class TDataSet;
class TDataSource;
class TFieldDefs;
class TFilenameEdit;
class TkqDBGrid;
class TqeStatusBar;
class TkqRadioGroup;
class TTable;
class TzohMemTable;

// Source kinds beside the data-file kinds of UGeneral (1 client dataset, 2 memory table).
enum TMigrateSourceKind : int { mskParadoxDBase = 20, mskAccess = 21 };

enum TMigrateUpdateMode : int { umAppend, umInsert, umUpdate, umAppendUpdate, umDelete, umCopy };

class TFrmMigrate : public TMigrateWindowBase {
    Q_OBJECT
public:
    explicit TFrmMigrate(QWidget* parent = nullptr);
    ~TFrmMigrate() override;

    void SetDestination(const QString& path) override;

    // Reads the field definitions of a file into a field list; side 1 fills the source locate
    // list, side 2 the destination's. Answers the kind (1, 2, 20 or 21); an unrecognised file
    // shows "Unknown MemTable Format" and aborts silently.
    int ReadSourceStructure(const QString& fileName, TClientDataSet* list, int side);
    void FillFieldList(const TFieldDefs& defs, TClientDataSet* list, int side);

    // The source file as the source edit names it; the destination file as typed.
    QString SourceFile() const;
    QString DestinationFile() const;

    // Copies the source's records into the destination (the Start command).
    void MigrateRecords();

    // Handlers.
    void EdtToDoSourceChange();
    void EdtSourceTableChange();
    void EdtToDoDestChange();
    void btnAddClick();
    void btnAddAllClick();
    void actSelectedFieldListDeleteExecute();
    void actSelectedFieldListDeleteAllExecute();
    void actSelectedFieldListMigrateExecute();
    void actCopySourceStructExecute();
    void grdSourceRowChanged();
    void grdDestRowChanged();
    // Enables the commands by the state of the lists and edits.
    void UpdateActions();

    // Controls.
    TFilenameEdit* EdtToDoSource;
    QComboBox* EdtSourceTable;
    QToolButton* btnCopyStruct;
    TFilenameEdit* EdtToDoDest;
    TkqDBGrid* grdSource;
    TkqDBGrid* grdDest;
    QLabel* labSource;
    QLabel* labDest;
    QToolButton* btnAdd;
    QToolButton* btnAddAll;
    QToolButton* btnDelete;
    QToolButton* btnDeleteAll;
    QToolButton* btnMigrate;
    QListWidget* LBoxResult;
    QComboBox* EdtSourceField;
    QComboBox* EdtDestField;
    TkqRadioGroup* rgUpdateMode;
    TqeStatusBar* StatusBar;

    QAction* actCopySourceStruct;
    QAction* actSelectedFieldListDelete;
    QAction* actSelectedFieldListDeleteAll;
    QAction* actSelectedFieldListMigrate;

    // Field lists: Name, Type, Size.
    TClientDataSet* cdsSourceFields;
    TClientDataSet* cdsDestFields;
    TDataSource* dsSourceFields;
    TDataSource* dsDestFields;

    // One source component per kind, scratch readers of the same kinds, the destination.
    TkqClientDataSet* cdsSource;
    TzohMemTable* zohSource;
    TTable* bdeSource;
    TADOTable* adoSource;
    TADOConnection* ADOConnection;
    TkqClientDataSet* cdsTemp;
    TzohMemTable* zohTemp;
    TTable* bdeTemp;
    TADOTable* adoTemp;
    TkqClientDataSet* cdsDest;

protected:
    void FormShow() override;
    void FormClose() override;

private:
    struct TPair;
    struct TRun;

    void CreateControls();
    void CreateActions();
    QWidget* CreateFilesPanel();
    QLayout* CreateFieldLists();
    QLayout* CreateModeRow();
    void ConnectControls();
    void CreateDataSets();
    void ShowRecordCounter(TClientDataSet* list, QLabel* label);
    // Sets the connection on the Access file (closing what was open on another).
    void ConnectAccess(const QString& fileName);
    int SourceKindOf(const QString& fileName) const;
    TDataSet* SourceComponent(int kind) const;
    void OpenSourceComponent(int kind, const QString& fileName);
    void CloseSources();
    // Pair lines rebuilt from the two field lists (Add All).
    QStringList AllPairs(bool copyMode);

    // The destination: opened on its file without ever writing back on close.
    void OpenDestination(const QString& fileName);
    void CloseDestination();
    bool DestinationIsCurrent(const QString& fileName) const;
    void RememberDestinationStamp(const QString& fileName);

    void PrepareRun(TRun& run);
    void PrepareUpdater(TRun& run, TField* destLocate);
    void TransferRecords(TRun& run);
    void EnableControls(bool enabled);
    void ShowCounter(int counter);

    QString FDestination;          // as SetDestination gave it
    QString FSourceFile;           // the file the source component is open on
    int FSourceKind = 0;
    QString FDestFile;             // the file cdsDest was read from or saved to
    QDateTime FDestModified;
    qint64 FDestSize = -1;
    bool FRunning = false;
};
