#include "app/UTree.h"

#include "app/UGeneral.h"
#include "app/URename.h"
#include "app/URestructure.h"
#include "app/WorkbenchWindows.h"
#include "gridlib/core/kqcheckbox.h"
#include "gridlib/core/kqclient.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysUtils.h"
#include "treestatus/qeStatusBar.h"
#include "platform/vcl/ImgList.h"
#include "treestatus/qeTreeView.h"
#include "utilities/FileUtil.h"
#include "utilities/FindFile.h"
#include "utilities/MRUList.h"
#include "utilities/Placemnt.h"
#include "utilities/ToolEdit.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QResizeEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int TypedFolderDelay = 400;
// Pictures of the tree's nodes and of the file commands.
enum TTreeImage : int {
    imgColumns, imgField, imgFile, imgFile2, imgViewData, imgModifyStructure, imgCreateNewStructure, imgPrintStructure
};

// The folder row: the recent-folder combo lies under the folder edit so that only its arrow
// shows beside the edit; both follow the row's width.
class TFolderRow : public QWidget {
public:
    TFolderRow(QWidget* parent, QWidget* edit, QWidget* combo) : QWidget(parent), FEdit(edit), FCombo(combo)
    {
        setFixedHeight(std::max(edit->sizeHint().height(), combo->sizeHint().height()));
        FEdit->raise();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        const int w = event->size().width();
        const int h = event->size().height();
        FCombo->setGeometry(0, 0, w, h);
        // The combo is 318 pixels where the edit is 299: its arrow stays visible.
        FEdit->setGeometry(0, 0, std::max(0, w - (318 - 299)), h);
    }

private:
    QWidget* FEdit;
    QWidget* FCombo;
};

QString NodeText(const QString& name, const QString& type, const QString& size)
{
    return name + QLatin1Char(' ') + type + QLatin1Char('(') + size + QLatin1Char(')');
}

// Renames without ever replacing an existing file.
void RenameFileNoReplace(const QString& from, const QString& to)
{
    const QByteArray a = from.toLocal8Bit();
    const QByteArray b = to.toLocal8Bit();
    int rc = ::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the no-replace rename: test first, then rename.
        if (::access(b.constData(), F_OK) == 0) {
            errno = EEXIST;
            rc = -1;
        } else {
            rc = ::rename(a.constData(), b.constData());
        }
    }
    if (rc != 0) {
        const int error = errno;
        throw EInOutError(Format(QStringLiteral("Cannot rename %s to %s. %s"), {from, to, SysErrorMessage(error)}),
                          error);
    }
}
} // namespace

TFrmTree::TFrmTree(QWidget* parent) : TMDIChildForm(parent)
{
    setObjectName(QStringLiteral("FrmTree"));
    SetFormSize(389, 531);
    FTypedFolder.setSingleShot(true);
    FTypedFolder.setInterval(TypedFolderDelay);
    connect(&FTypedFolder, &QTimer::timeout, this, [this] { TApplication::Guard([this] { EdtDirectoryChange(); }); });

    CreateControls();

    FindFile = new TFindFile(this);
    FindFile->setObjectName(QStringLiteral("FindFile"));
    ClientDataSet = new TkqClientDataSet(this);
    ClientDataSet->setObjectName(QStringLiteral("ClientDataSet"));
    // A reader only: closing it never writes the file back.
    ClientDataSet->SetReadOnly(true);
    cdsFieldDefs = new TClientDataSet(this);
    cdsFieldDefs->setObjectName(QStringLiteral("cdsFieldDefs"));
    cdsDetail = new TClientDataSet(this);
    cdsDetail->setObjectName(QStringLiteral("cdsDetail"));
    CreateFieldDefsTable(cdsFieldDefs);
    CreateDetailTable(cdsDetail);

    FormStorage = new TFormStorage(this);
    FormStorage->setObjectName(QStringLiteral("FormStorage"));
    FormStorage->SetIniFileName(SettingsFileName());
    FormStorage->SetIniSection(QStringLiteral("TreeDir"));
    FormStorage->SetOptions(fpState | fpPosition);
    FormStorage->SetStoredProps({QStringLiteral("cbRecurse.Checked"), QStringLiteral("EdtDirectory.Text"),
                                 QStringLiteral("EdtFilter.Text")});
    MRUManager = new TMRUManager(this);
    MRUManager->setObjectName(QStringLiteral("MRUManager"));
    MRUManager->SetCapacity(15);
    MRUManager->SetMode(rmAppend);
    MRUManager->SetIniStorage(FormStorage);
    UpdateActions();
}

TFrmTree::~TFrmTree() = default;

void TFrmTree::CreateControls()
{
    // In the order of TTreeImage.
    const QList<QIcon> images{
        style()->standardIcon(QStyle::SP_DirOpenIcon),            style()->standardIcon(QStyle::SP_FileIcon),
        style()->standardIcon(QStyle::SP_FileIcon),               style()->standardIcon(QStyle::SP_FileIcon),
        style()->standardIcon(QStyle::SP_FileDialogContentsView), style()->standardIcon(QStyle::SP_FileDialogDetailedView),
        style()->standardIcon(QStyle::SP_FileDialogNewFolder),    style()->standardIcon(QStyle::SP_FileDialogInfoView),
    };
    CreateActions(images);
    QWidget* top = CreateTopPanel();
    CreateTree(images);
    StatusBar = new TqeStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    TqeStatusPanel* files = StatusBar->Panels().Add();
    files->SetText(QStringLiteral("Files:"));
    files->SetWidth(QStringLiteral("100"));
    TqeStatusPanel* second = StatusBar->Panels().Add();
    second->SetWidth(QStringLiteral("50"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top);
    layout->addWidget(TreeView, 1);
    layout->addWidget(StatusBar);
    ConnectControls();
}

// The file commands of the tool bar and the tree's menu.
void TFrmTree::CreateActions(const QList<QIcon>& images)
{
    actViewData = NewAction(this, "actViewData", QStringLiteral("View Data"), QString(), images[imgViewData]);
    actModifyStructure = NewAction(this, "actModifyStructure", QStringLiteral("Modify Structure"), QString(), images[imgModifyStructure]);
    actCreateNewStructure = NewAction(this, "actCreateNewStructure", QStringLiteral("Create New Structure"), QString(), images[imgCreateNewStructure]);
    actPrintStructure = NewAction(this, "actPrintStructure", QStringLiteral("Print Structure"), QString(), images[imgPrintStructure]);
    // Printing the structure needs the report, which this program does not have yet.
    actPrintStructure->setEnabled(false);
    actDeleteFile = NewAction(this, "DeleteFile1", QStringLiteral("Delete File"), QString());
    actRenameFile = NewAction(this, "RenameFile1", QStringLiteral("Rename File"), QString());
    actCopyFile = NewAction(this, "CopyFile1", QStringLiteral("Copy File"), QString());
    actDeleteMRUPath = NewAction(this, "DeleteCurrentMRUPath1", QStringLiteral("Delete Current MRU Path"), QString());
    connect(actViewData, &QAction::triggered, this, [this] { actViewDataExecute(); });
    connect(actModifyStructure, &QAction::triggered, this, [this] { actModifyStructureExecute(); });
    connect(actCreateNewStructure, &QAction::triggered, this, [this] { actCreateNewStructureExecute(); });
    connect(actDeleteFile, &QAction::triggered, this, [this] { DeleteFileClick(); });
    connect(actRenameFile, &QAction::triggered, this, [this] { RenameFileClick(); });
    connect(actCopyFile, &QAction::triggered, this, [this] { CopyFileClick(); });
    connect(actDeleteMRUPath, &QAction::triggered, this, [this] { DeleteMRUPathClick(); });
}

// Tool bar, filter row and folder row.
QWidget* TFrmTree::CreateTopPanel()
{
    auto* top = new QWidget(this);
    top->setObjectName(QStringLiteral("Panel1"));
    top->setFixedHeight(80);
    ToolBar = new QToolBar(top);
    ToolBar->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar->setIconSize(QSize(16, 16));
    btnFormLeftAlign = new QToolButton(ToolBar);
    btnFormLeftAlign->setObjectName(QStringLiteral("btnFormLeftAlign"));
    btnFormLeftAlign->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    btnFormLeftAlign->setToolTip(QStringLiteral("Left Align Window"));
    btnFormLeftAlign->setAutoRaise(true);
    connect(btnFormLeftAlign, &QToolButton::clicked, this, [this] { btnFormLeftAlignClick(); });
    ToolBar->addWidget(btnFormLeftAlign);
    ToolBar->addSeparator();
    ToolBar->addAction(actViewData);
    ToolBar->addAction(actModifyStructure);
    ToolBar->addAction(actCreateNewStructure);
    ToolBar->addAction(actPrintStructure);
    ToolBar->addSeparator();
    btnRefresh = new QToolButton(ToolBar);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    btnRefresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    btnRefresh->setToolTip(QStringLiteral("Refresh Tree"));
    btnRefresh->setAutoRaise(true);
    connect(btnRefresh, &QToolButton::clicked, this, [this] { TApplication::Guard([this] { RefreshTree(); }); });
    ToolBar->addWidget(btnRefresh);

    auto* filterLabel = new QLabel(QStringLiteral("Filter:"), top);
    EdtFilter = new TTextComboBox(top);
    EdtFilter->setObjectName(QStringLiteral("EdtFilter"));
    EdtFilter->setEditable(true);
    EdtFilter->setInsertPolicy(QComboBox::NoInsert);
    EdtFilter->addItems({QStringLiteral("*.cds"), QStringLiteral("*.xml"), QStringLiteral("*.dat"),
                         QStringLiteral("*.cds;*.xml;*.dat"), QStringLiteral("*.*")});
    EdtFilter->setCurrentText(QStringLiteral("*.cds;*.xml;*.dat"));
    filterLabel->setBuddy(EdtFilter);
    cbRecurse = new TkqCheckBox(top);
    cbRecurse->setObjectName(QStringLiteral("cbRecurse"));
    cbRecurse->SetCaption(QStringLiteral("Include Subdirectories"));

    auto* dirLabel = new QLabel(QStringLiteral("Directory:"), top);
    EdtDirectoryList = new QComboBox(top);
    EdtDirectoryList->setObjectName(QStringLiteral("EdtDirectoryList"));
    EdtDirectoryList->setContextMenuPolicy(Qt::CustomContextMenu);
    EdtDirectory = new TDirectoryEdit(top);
    EdtDirectory->setObjectName(QStringLiteral("EdtDirectory"));
    dirLabel->setBuddy(EdtDirectory);
    auto* folderRow = new TFolderRow(top, EdtDirectory, EdtDirectoryList);
    EdtDirectoryList->setParent(folderRow);
    EdtDirectory->setParent(folderRow);
    EdtDirectory->raise();
    MRUPopup = new QMenu(this);
    MRUPopup->addAction(actDeleteMRUPath);

    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(2, 0, 2, 2);
    topLayout->setSpacing(2);
    topLayout->addWidget(ToolBar);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(EdtFilter, 1);
    filterRow->addWidget(cbRecurse);
    topLayout->addLayout(filterRow);
    auto* dirRow = new QHBoxLayout;
    dirRow->addWidget(dirLabel);
    dirRow->addWidget(folderRow, 1);
    topLayout->addLayout(dirRow);
    return top;
}

// The tree with its node pictures and menu.
void TFrmTree::CreateTree(const QList<QIcon>& images)
{
    TreeView = new TqeTreeView(this);
    TreeView->setObjectName(QStringLiteral("TreeView"));
    TreeView->SetIndent(19);
    TreeView->SetOptions({tvoExpandOnDblClk, tvoHideSelection, tvoShowButtons, tvoShowLines, tvoShowRoot, tvoToolTips});
    TreeView->SetRightClickSelects(true);
    TreeView->SetReadOnly(true);
    TreeImages = std::make_unique<TImageList>(16, 16);
    for (const QIcon& icon : images) TreeImages->AddImage(icon.pixmap(16, 16).toImage());
    TreeView->SetImages(TreeImages.get());
    TreePopup = new QMenu(this);
    TreePopup->setObjectName(QStringLiteral("PopupMenu1"));
    TreePopup->addAction(actViewData);
    TreePopup->addAction(actModifyStructure);
    TreePopup->addAction(actCreateNewStructure);
    TreePopup->addAction(actPrintStructure);
    TreePopup->addSeparator();
    TreePopup->addAction(actDeleteFile);
    TreePopup->addAction(actRenameFile);
    TreePopup->addAction(actCopyFile);
    TreeView->SetPopupMenu(TreePopup);
}

void TFrmTree::ConnectControls()
{
    EdtDirectory->OnChange = [this](QObject*) {
        // Typing searches once the user pauses; any other change searches at once.
        if (EdtDirectory->hasFocus()) {
            FTypedFolder.start();
            return;
        }
        FTypedFolder.stop();
        EdtDirectoryChange();
    };
    EdtDirectory->OnExit = [this](QObject*) { EdtDirectoryExit(); };
    connect(EdtDirectoryList, &QComboBox::activated, this,
            [this](int index) { TApplication::Guard([this, index] { EdtDirectoryListSelect(index); }); });
    connect(EdtDirectoryList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { MRUPopup->popup(EdtDirectoryList->mapToGlobal(pos)); });
    connect(EdtFilter, &QComboBox::currentTextChanged, this, [this] { TApplication::Guard([this] { RefreshTree(); }); });
    cbRecurse->OnClick = [this](QObject*) { RefreshTree(); };
    TreeView->OnExpanding = [this](TqeCustomTreeView*, TqeTreeNode* node, bool& allow) { TreeViewExpanding(node, allow); };
    TreeView->OnClick = [this](QObject*) { LastSelectedFile = SelectedFile(); };
    TreeView->OnDblClick = [this](QObject*) { actViewDataExecute(); };
}

// ---------------------------------------------------------------------------------------------
// Showing, activation

void TFrmTree::FormShow()
{
    // The storage has restored the folder, filter and check box by now (and so built the tree).
    EdtDirectoryList->clear();
    EdtDirectoryList->addItems(MRUManager->RecentItems()->ToStringList());
    const QString fileToOpen = FileToOpen;
    if (!fileToOpen.isEmpty()) EdtDirectory->SetText(ExcludeTrailingPathDelimiter(ExtractFilePath(fileToOpen)));
    RefreshTree();
    if (!fileToOpen.isEmpty()) {
        SelectFileNode(fileToOpen);
        // The file named on the command line opens even when the filter hides it; a file that
        // does not exist is reported under its own name.
        ViewData(SelectedFile().isEmpty() ? fileToOpen : SelectedFile());
    }
    SetCaption(QStringLiteral("Tree View ") + EdtDirectory->Text());
}

void TFrmTree::FormActivate() { RefreshTree(); }

void TFrmTree::FormDeactivate() { LastSelectedFile = SelectedFile(); }

// ---------------------------------------------------------------------------------------------
// The tree

void TFrmTree::ApplyExtensionFilter(QStringList& lines) const
{
    const QString filter = EdtFilter->currentText();
    if (filter == QLatin1String("*.*")) return;
    const QString upperFilter = filter.toUpper();
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString ext = ExtractFileExt(TFindFile::PathOfLine(lines[i])).toUpper();
        // A plain substring test, as it always was: "*.cds" also keeps ".c" and ".cd".
        if (ext.isEmpty() || !upperFilter.contains(ext)) lines.removeAt(i);
    }
}

void TFrmTree::BuildTree()
{
    FileList.clear();
    FindFile->SetDirectory(EdtDirectory->Text());
    FindFile->SetFiles({});
    FindFile->SetFilter(QStringLiteral("*.*"));
    FindFile->SetRecurse(cbRecurse->Checked());
    FindFile->Execute();
    QStringList lines = FindFile->Files();
    ApplyExtensionFilter(lines);
    FindFile->SetFiles(lines);

    TqeTreeNodes& items = TreeView->Items();
    items.BeginUpdate();
    try {
        TreeView->SetSelected(nullptr);
        items.Clear();
        QStringList paths;
        paths.reserve(lines.size());
        for (const QString& line : lines) paths.append(TFindFile::PathOfLine(line));
        std::stable_sort(paths.begin(), paths.end(),
                         [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        for (const QString& path : paths) {
            FileList.append(path);
            TqeTreeNode* root = items.AddChild(nullptr, path);
            TqeTreeNode* columns = items.AddChild(root, QStringLiteral("Columns"));
            columns->SetImageIndex(imgColumns);
            columns->SetSelectedIndex(0);
            items.AddChild(columns, QString());
        }
    } catch (...) {
        ShowFileCount();
        items.EndUpdate();
        UpdateActions();
        throw;
    }
    ShowFileCount();
    items.EndUpdate();
    UpdateActions();
}

void TFrmTree::RefreshTree()
{
    BuildTree();
    SelectFileNode(LastSelectedFile);
}

void TFrmTree::ShowFileCount()
{
    StatusBar->Panels()[0]->SetText(Format(QStringLiteral("Files: %d"), {int(FindFile->Files().size())}));
}

QString TFrmTree::SelectedFile() const
{
    TqeTreeNode* node = TreeView->Selected();
    if (!node) return QString();
    while (node->Parent()) node = node->Parent();
    return node->Text();
}

void TFrmTree::SelectFileNode(const QString& path)
{
    TreeView->SetSelected(path.isEmpty() ? nullptr : TreeView->Items().FindNodeByText(path, true));
}

void TFrmTree::UpdateActions()
{
    const bool any = TreeView->Items().GetFirstNode() != nullptr;
    actViewData->setEnabled(any);
    actModifyStructure->setEnabled(any);
}

void TFrmTree::TreeViewExpanding(TqeTreeNode* node, bool& allow)
{
    Q_UNUSED(allow);
    if (node->Level() == 1 && node->Text() == QLatin1String("Columns"))
        ExpandColumns(node);
    else if (node->Level() == 2)
        ExpandNestedField(node);
}

void TFrmTree::ExpandColumns(TqeTreeNode* node)
{
    const QString path = node->Parent() ? node->Parent()->Text() : QString();
    if (!FileExists(path)) return;
    node->DeleteChildren();
    LoadFileStructure(path, node);
}

void TFrmTree::ExpandNestedField(TqeTreeNode* node)
{
    node->DeleteChildren();
    TreeView->SetSelected(node);
    const QString path = SelectedFile();
    cdsDetail->EmptyDataSet();
    // The field list of this node's own file, whichever file was expanded last.
    LoadFileStructure(path, nullptr);
    cdsFieldDefs->First();
    cdsFieldDefs->MoveBy(node->Index());
    LoadNestedStructure(cdsFieldDefs, cdsDetail, path);
    for (cdsDetail->First(); !cdsDetail->Eof(); cdsDetail->Next()) {
        TqeTreeNode* child = TreeView->Items().AddChild(
            node, NodeText(cdsDetail->FieldByName(QStringLiteral("Name"))->AsString(),
                           cdsDetail->FieldByName(QStringLiteral("Type"))->AsString(),
                           cdsDetail->FieldByName(QStringLiteral("Size"))->AsString()));
        child->SetImageIndex(imgField);
        child->SetSelectedIndex(1);
    }
}

void TFrmTree::LoadFileStructure(const QString& path, TqeTreeNode* node)
{
    ClientDataSet->Close();
    ClientDataSet->SetFileName(path);
    try {
        // The header alone: listing the columns of a large file reads none of its records.
        ReadFileFieldDefs(path, ClientDataSet->FieldDefs());
        cdsDetail->EmptyDataSet();
        cdsFieldDefs->EmptyDataSet();
        const TFieldDefs& defs = ClientDataSet->FieldDefs();
        for (int i = 0; i < defs.Count(); ++i) {
            const TFieldDef* def = defs.Items(i);
            const QString type = FieldTypeName(def->DataType());
            const QString size = QString::number(def->Size());
            if (node) {
                TqeTreeNode* child = TreeView->Items().AddChild(node, NodeText(def->Name(), type, size));
                child->SetImageIndex(imgField);
                child->SetSelectedIndex(1);
                if (type == QLatin1String("DataSet")) TreeView->Items().AddChild(child, QString());
            }
            AppendDefinitionRow(cdsFieldDefs, def->FieldNo(), def->Name(), type, size);
        }
    } catch (...) {
        if (cdsFieldDefs->State() == dsInsert) cdsFieldDefs->Cancel();
        ClientDataSet->Close();
        throw;
    }
    ClientDataSet->Close();
}

// ---------------------------------------------------------------------------------------------
// Folder edit, recent folders

void TFrmTree::EdtDirectoryChange()
{
    const QString text = EdtDirectory->Text();
    if (text.isEmpty()) {
        TreeView->Items().Clear();
        FileList.clear();
        FindFile->SetFiles({});
        ShowFileCount();
        UpdateActions();
        return;
    }
    if (!DirectoryExists(text)) return;
    BuildTree();
    SetCaption(QStringLiteral("Tree View ") + text);
    // Not while the user is still typing the folder.
    if (!EdtDirectory->hasFocus()) TreeView->setFocus();
    if (TqeTreeNode* first = TreeView->Items().GetFirstNode()) TreeView->SetSelected(first);
}

void TFrmTree::EdtDirectoryExit()
{
    if (FTypedFolder.isActive()) {
        FTypedFolder.stop();
        EdtDirectoryChange();
    }
    const QString text = EdtDirectory->Text();
    if (text.trimmed().isEmpty() || EdtDirectoryList->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0)
        return;
    MRUManager->AddRecent(text, 0);
    EdtDirectoryList->addItem(text);
    EdtDirectoryList->setCurrentIndex(EdtDirectoryList->count() - 1);
}

void TFrmTree::EdtDirectoryListSelect(int index)
{
    if (index < 0) return;
    EdtDirectory->SetText(EdtDirectoryList->itemText(index));
}

void TFrmTree::DeleteMRUPathClick()
{
    const QString text = EdtDirectory->Text();
    const int index = EdtDirectoryList->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index >= 0) EdtDirectoryList->removeItem(index);
    MRUManager->RemoveRecent(text);
    EdtDirectory->SetText(QString());
}

// ---------------------------------------------------------------------------------------------
// Commands

void TFrmTree::ViewData(const QString& path)
{
    const int kind = DetectDataFileKind(path);
    if (kind == dfkUnknown || kind == dfkMemTable) {
        ShowMessage(QStringLiteral("Unknown MemTable Format"));
        Abort();
    }
    OpenDataWindow(path, FileList);
}

void TFrmTree::actViewDataExecute() { ViewData(SelectedFile()); }

void TFrmTree::actModifyStructureExecute() { OpenStructureWindow(SelectedFile(), FileList); }

void TFrmTree::actCreateNewStructureExecute() { NewStructureWindowFor(EdtDirectory->Text(), FileList); }

void TFrmTree::DeleteFileClick()
{
    const QString path = SelectedFile();
    if (path.isEmpty()) return;
    if (MessageDlg(QStringLiteral("Are you sure you want to delete file \r\n") + path, mtConfirmation, mbYesNo) != mrYes)
        return;
    const QByteArray name = path.toLocal8Bit();
    const int rc = ::unlink(name.constData());
    const int error = errno;
    RefreshTree();
    if (rc != 0)
        throw EInOutError(Format(QStringLiteral("Cannot delete file %s. %s"), {path, SysErrorMessage(error)}), error);
}

void TFrmTree::RenameFileClick()
{
    const QString path = SelectedFile();
    if (path.isEmpty()) return;
    QString newName;
    {
        TFrmRename dialog(this);
        dialog.SetOldName(path);
        if (dialog.exec() != QDialog::Accepted) return;
        newName = dialog.NewName;
    }
    // A bare name stays in the file's folder.
    if (!newName.isEmpty() && !newName.contains(QLatin1Char('/'))) newName = ExtractFilePath(path) + newName;
    if (newName == path) {
        RefreshTree();
        return;
    }
    try {
        RenameFileNoReplace(path, newName);
    } catch (...) {
        RefreshTree();
        throw;
    }
    RefreshTree();
}

void TFrmTree::CopyFileClick()
{
    const QString path = SelectedFile();
    if (path.isEmpty()) return;
    const QString folder = ExtractFilePath(path);
    QString candidate = QStringLiteral("Copy of ") + ExtractFileName(path);
    while (FileExists(folder + candidate)) candidate.prepend(QStringLiteral("Copy of "));
    CopyFileTo(path, folder + candidate);
    RefreshTree();
}

void TFrmTree::btnFormLeftAlignClick()
{
    QWidget* outer = OuterWindow();
    int height = outer->height();
    if (QMdiArea* area = ChildHost() ? ChildHost()->ChildArea() : nullptr) height = area->viewport()->height() - 1;
    outer->move(1, 1);
    outer->resize(outer->width(), std::max(height, outer->minimumHeight()));
}
