#pragma once
#include <memory>
// The folder tree window: lists the data files of a folder (optionally with its subfolders)
// that pass an extension filter, shows each file's fields under a "Columns" node filled when
// it is expanded, and starts the data and structure windows and the file commands on the
// selected file.

#include "app/ChildForm.h"
#include "gridlib/core/kqclient.h"

#include <QComboBox>
#include <QIcon>
#include <QList>
#include <QStringList>
#include <QTimer>

class QAction;
class TkqCheckBox;
class QMenu;
class QToolBar;
class QToolButton;
class TClientDataSet;
class TDirectoryEdit;
class TFindFile;
class TFormStorage;
class TMRUManager;
class TqeStatusBar;
class TqeTreeNode;
class TqeTreeView;
class TImageList;

// A combo box whose text is stored and restored by name ("EdtFilter.Text").
class TTextComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(QString Text READ currentText WRITE setCurrentText)
public:
    using QComboBox::QComboBox;
};

class TFrmTree : public TMDIChildForm {
    Q_OBJECT
public:
    explicit TFrmTree(QWidget* parent = nullptr);
    ~TFrmTree() override;

    // Full paths of the files of the last search, in tree order.
    QStringList FileList;
    // The file of the selected node, kept across rebuilds.
    QString LastSelectedFile;
    // The data file named on the command line, which the window opens when first shown.
    QString FileToOpen;

    TDirectoryEdit* EdtDirectory;
    QComboBox* EdtDirectoryList;
    TTextComboBox* EdtFilter;
    TkqCheckBox* cbRecurse;
    TqeTreeView* TreeView;
    TqeStatusBar* StatusBar;
    // The tree's node pictures.
    std::unique_ptr<TImageList> TreeImages;
    TFindFile* FindFile;
    TkqClientDataSet* ClientDataSet;
    TClientDataSet* cdsFieldDefs;
    TClientDataSet* cdsDetail;
    TMRUManager* MRUManager;
    TFormStorage* FormStorage;

    QToolBar* ToolBar;
    QAction* actViewData;
    QAction* actModifyStructure;
    QAction* actCreateNewStructure;
    QAction* actPrintStructure;
    QAction* actDeleteFile;
    QAction* actRenameFile;
    QAction* actCopyFile;
    QAction* actDeleteMRUPath;
    QToolButton* btnFormLeftAlign;
    QToolButton* btnRefresh;
    QMenu* TreePopup;
    QMenu* MRUPopup;

    void BuildTree();
    // Removes the result lines whose extension the filter text does not contain.
    void ApplyExtensionFilter(QStringList& lines) const;
    void RefreshTree();
    void ExpandColumns(TqeTreeNode* node);
    // Lists the file's fields under the node (when given) and in cdsFieldDefs.
    void LoadFileStructure(const QString& path, TqeTreeNode* node);
    QString SelectedFile() const;
    void SelectFileNode(const QString& path);
    void ShowFileCount();

    // Commands.
    void actViewDataExecute();
    void actModifyStructureExecute();
    void actCreateNewStructureExecute();
    void DeleteFileClick();
    void RenameFileClick();
    void CopyFileClick();
    void btnFormLeftAlignClick();
    void DeleteMRUPathClick();

    // Handlers of the controls.
    void EdtDirectoryChange();
    void EdtDirectoryExit();
    void EdtDirectoryListSelect(int index);
    void TreeViewExpanding(TqeTreeNode* node, bool& allow);

protected:
    void FormActivate() override;
    void FormDeactivate() override;

private:
    void CreateControls();
    void CreateActions(const QList<QIcon>& images);
    QWidget* CreateTopPanel();
    void CreateTree(const QList<QIcon>& images);
    void ConnectControls();
    void FormShow() override;
    void UpdateActions();
    void ExpandNestedField(TqeTreeNode* node);
    void ViewData(const QString& path);

    // A folder typed into the edit is searched once the typing pauses.
    QTimer FTypedFolder;
};
