#include "app/UTree.h"
#include "gridlib/core/kqcheckbox.h"
#include "app/URename.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/core/IniFiles.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "treestatus/qeStatusBar.h"
#include "treestatus/qeTreeView.h"
#include "utilities/FileUtil.h"
#include "utilities/MRUList.h"
#include "utilities/ToolEdit.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {
struct TreeFixture : ::testing::Test {
    TWorkbenchFixture Workbench;
    std::unique_ptr<TMainForm> Frame;
    QTemporaryDir Data;
    QString Folder;
    QStringList Shown;   // messages the application would have shown

    void SetUp() override
    {
        Folder = Data.path();
        for (const char* name : {"demo-country.cds", "demo-country.xml", "demo-nextcust.cds"})
            QFile::copy(SamplePath(name), Path(name));
        WriteNestedFile(Path("orders, nested é.cds"));
        QFile::copy(SamplePath("demo-nextcust.cds"), Path("Zeta.CDS"));
        WriteWholeFile(Path("alpha.dat"), QByteArray("TPF0\x0bTzohMemTable", 17));
        WriteWholeFile(Path("noext"), "x");
        WriteWholeFile(Path("x.c"), "x");
        WriteWholeFile(Path("x.cd"), "x");
        WriteWholeFile(Path("readme.txt"), "plain text, no data");
        QDir(Folder).mkdir("sub");
        QFile::copy(SamplePath("demo-nextcust.cds"), Path("sub/inner.cds"));
        QDir(Folder).mkdir("folder.cds");
        Application()->OnException = [this](const std::exception& e) {
            const auto* ex = dynamic_cast<const Exception*>(&e);
            Shown << (ex ? ex->Message() : QString::fromUtf8(e.what()));
        };
        Frame = std::make_unique<TMainForm>();
    }
    void TearDown() override
    {
        if (Frame) Frame->close();
        Frame.reset();
        Application()->OnException = nullptr;
        Settle();
    }
    QString Path(const QString& name) const { return Folder + '/' + name; }

    // The frame started with this start file; its own tree window.
    TFrmTree* Start(const QString& startFile = {})
    {
        Frame->StartFile = startFile;
        Frame->show();
        Settle();
        QList<TFrmTree*> trees = OpenChildren<TFrmTree>();
        return trees.isEmpty() ? nullptr : trees.last();
    }
    TFrmTree* StartOn(const QString& folder, const QString& filter = "*.*")
    {
        TFrmTree* tree = Start();
        tree->EdtFilter->setCurrentText(filter);
        tree->EdtDirectory->SetText(folder);
        return tree;
    }
};

QStringList Roots(TFrmTree* tree)
{
    QStringList list;
    for (TqeTreeNode* n = tree->TreeView->Items().GetFirstNode(); n; n = n->GetNextSibling()) list << n->Text();
    return list;
}

QStringList Children(TqeTreeNode* node)
{
    QStringList list;
    for (int i = 0; i < node->Count(); ++i) list << node->Item(i)->Text();
    return list;
}

TqeTreeNode* RootOf(TFrmTree* tree, const QString& path) { return tree->TreeView->Items().FindNodeByText(path, true); }

// Selects a file's node with the mouse, as the user does.
void ClickFile(TFrmTree* tree, const QString& path)
{
    TqeTreeNode* node = RootOf(tree, path);
    ASSERT_NE(node, nullptr) << path.toStdString();
    tree->TreeView->MakeVisible(node);
    const TRect r = node->GetDisplayRect(true);
    QTest::mouseClick(tree->TreeView->viewport(), Qt::LeftButton, {}, QPoint(r.Left + 3, (r.Top + r.Bottom) / 2));
    ASSERT_EQ(tree->SelectedFile(), path);
    ASSERT_EQ(tree->LastSelectedFile, path);
}

TqeTreeNode* ExpandedColumns(TFrmTree* tree, const QString& path)
{
    TqeTreeNode* root = RootOf(tree, path);
    if (!root) return nullptr;
    root->Expand();
    TqeTreeNode* columns = root->Item(0);
    // As the user expands it: a failure ends at the program's event boundary.
    TApplication::Guard([columns] { columns->Expand(); });
    return columns;
}
} // namespace

TEST_F(TreeFixture, ListsFilesSortedWithoutCaseAndCountsThem)
{
    TFrmTree* tree = StartOn(Folder);
    const QStringList expected{Path("alpha.dat"),  Path("demo-country.cds"), Path("demo-country.xml"),
                               Path("demo-nextcust.cds"), Path("noext"), Path("orders, nested é.cds"),
                               Path("readme.txt"), Path("x.c"), Path("x.cd"), Path("Zeta.CDS")};
    EXPECT_EQ(Roots(tree), expected);
    EXPECT_EQ(tree->FileList, expected);
    EXPECT_EQ(tree->StatusBar->Panels()[0]->Text(), "Files: 10");
    EXPECT_EQ(tree->Caption(), "Tree View " + Folder);
    // Each file has a "Columns" node with a placeholder under it.
    TqeTreeNode* root = RootOf(tree, Path("demo-country.cds"));
    ASSERT_EQ(Children(root), QStringList{"Columns"});
    EXPECT_EQ(root->Item(0)->Count(), 1);
    EXPECT_EQ(root->Item(0)->ImageIndex(), 0);
    // The first file is selected after the folder changed.
    EXPECT_EQ(tree->SelectedFile(), Path("alpha.dat"));
    EXPECT_TRUE(tree->actViewData->isEnabled());
    EXPECT_FALSE(tree->actPrintStructure->isEnabled());
}

TEST_F(TreeFixture, ExtensionFilterIsAPlainSubstringTest)
{
    TFrmTree* tree = StartOn(Folder);
    struct Case {
        const char* Filter;
        QStringList Names;
    };
    const Case cases[] = {
        {"*.*", {"alpha.dat", "demo-country.cds", "demo-country.xml", "demo-nextcust.cds", "noext",
                 "orders, nested é.cds", "readme.txt", "x.c", "x.cd", "Zeta.CDS"}},
        {"*.cds", {"demo-country.cds", "demo-nextcust.cds", "orders, nested é.cds", "x.c", "x.cd", "Zeta.CDS"}},
        {"*.cds;*.xml;*.dat", {"alpha.dat", "demo-country.cds", "demo-country.xml", "demo-nextcust.cds",
                               "orders, nested é.cds", "x.c", "x.cd", "Zeta.CDS"}},
        {"*.XML", {"demo-country.xml"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        tree->EdtFilter->setCurrentText(QString::fromUtf8(c.Filter));
        QStringList names;
        for (const QString& path : Roots(tree)) names << QFileInfo(path).fileName();
        EXPECT_EQ(names, c.Names) << c.Filter;
        EXPECT_EQ(tree->StatusBar->Panels()[0]->Text(), QStringLiteral("Files: %1").arg(c.Names.size()));
    }
    // Subfolders' files join in sorted full-path order; folders never appear.
    tree->EdtFilter->setCurrentText("*.cds");
    tree->cbRecurse->SetChecked(true);
    const QStringList roots = Roots(tree);
    EXPECT_TRUE(roots.contains(Path("sub/inner.cds")));
    EXPECT_FALSE(roots.contains(Path("folder.cds")));
    EXPECT_LT(roots.indexOf(Path("orders, nested é.cds")), roots.indexOf(Path("sub/inner.cds")));
    EXPECT_LT(roots.indexOf(Path("sub/inner.cds")), roots.indexOf(Path("x.c")));
}

TEST_F(TreeFixture, ColumnsOfRealAndNestedFiles)
{
    TFrmTree* tree = StartOn(Folder);
    TqeTreeNode* country = ExpandedColumns(tree, Path("demo-country.cds"));
    ASSERT_NE(country, nullptr);
    EXPECT_EQ(Children(country), (QStringList{"Name String(24)", "Capital String(24)", "Continent String(24)",
                                              "Area Float(0)", "Population Float(0)"}));
    EXPECT_EQ(country->Item(0)->ImageIndex(), 1);
    EXPECT_EQ(tree->cdsFieldDefs->RecordCount(), 5);
    EXPECT_EQ(Children(ExpandedColumns(tree, Path("demo-country.xml"))), Children(country));

    TqeTreeNode* orders = ExpandedColumns(tree, Path("orders, nested é.cds"));
    ASSERT_EQ(Children(orders), (QStringList{"ID Integer(0)", "Items DataSet(0)", "Notes String(40)"}));
    TqeTreeNode* items = orders->Item(1);
    EXPECT_EQ(items->Count(), 1);   // the placeholder
    EXPECT_EQ(orders->Item(0)->Count(), 0);

    // Another file's columns are loaded last: the nested node still reads its own file.
    ExpandedColumns(tree, Path("demo-nextcust.cds"));
    items->Expand();
    EXPECT_EQ(Children(items), (QStringList{"Code String(10)", "Qty Integer(0)"}));
    EXPECT_EQ(items->Item(0)->ImageIndex(), 1);
    EXPECT_TRUE(items->Selected());
    // Expanding it again lists the fields once.
    items->Collapse();
    items->Expand();
    EXPECT_EQ(Children(items), (QStringList{"Code String(10)", "Qty Integer(0)"}));
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
}

TEST_F(TreeFixture, VanishedAndDamagedFilesDoNotExpandIntoFields)
{
    TFrmTree* tree = StartOn(Folder, "*.cds");
    QFile::remove(Path("demo-nextcust.cds"));
    TqeTreeNode* gone = ExpandedColumns(tree, Path("demo-nextcust.cds"));
    EXPECT_EQ(Children(gone), QStringList{""});
    EXPECT_TRUE(Shown.isEmpty());

    WriteWholeFile(Path("x.cd"), QByteArray("\x96\x19\xE0\xBD broken", 11));
    TqeTreeNode* broken = ExpandedColumns(tree, Path("x.cd"));
    EXPECT_EQ(broken->Count(), 0);
    ASSERT_EQ(Shown.size(), 1);
    EXPECT_FALSE(Shown.first().isEmpty());
}

TEST_F(TreeFixture, SelectionSurvivesActivationWithoutRegardToCase)
{
    TFrmTree* tree = StartOn(Folder);
    TqeTreeNode* columns = RootOf(tree, Path("Zeta.CDS"))->Item(0);
    RootOf(tree, Path("Zeta.CDS"))->Expand();
    tree->TreeView->SetSelected(columns);
    EXPECT_EQ(tree->SelectedFile(), Path("Zeta.CDS"));

    // Another window comes to the front, a file appears, the tree becomes active again.
    Frame->actDirTree->trigger();
    Settle();
    EXPECT_EQ(tree->LastSelectedFile, Path("Zeta.CDS"));
    WriteWholeFile(Path("beta.cds"), "x");
    ActivateWindowByCaption(tree->Caption());
    Settle();
    EXPECT_TRUE(Roots(tree).contains(Path("beta.cds")));
    EXPECT_EQ(tree->SelectedFile(), Path("Zeta.CDS"));
    EXPECT_EQ(tree->TreeView->Selected()->Level(), 0);

    tree->SelectFileNode(Path("zeta.cds"));
    EXPECT_EQ(tree->SelectedFile(), Path("Zeta.CDS"));
    tree->SelectFileNode(Path("none.cds"));
    EXPECT_TRUE(tree->SelectedFile().isEmpty());
}

TEST_F(TreeFixture, ViewDataOpensANewDataWindowOnKnownFilesOnly)
{
    TFrmTree* tree = StartOn(Folder);
    const QString odd = Path("orders, nested é.cds");
    tree->SelectFileNode(odd);
    tree->actViewData->trigger();
    tree->actViewData->trigger();
    QList<TFakeDataWindow*> windows = Workbench.DataWindows();
    ASSERT_EQ(windows.size(), 2);   // never reused
    EXPECT_EQ(windows[0]->Opened, odd);
    EXPECT_EQ(windows[0]->CaptionAtOpen, "View Data " + odd);
    EXPECT_EQ(windows[0]->SizeAtOpen, QSize(740, 540));
    EXPECT_EQ(windows[0]->Files, tree->FileList);

    for (const char* name : {"alpha.dat", "readme.txt"}) {
        TDialogSeam::Clear();
        tree->SelectFileNode(Path(name));
        EXPECT_THROW(tree->actViewDataExecute(), EAbort);
        EXPECT_EQ(TDialogSeam::Messages(), QStringList{"Unknown MemTable Format"}) << name;
    }
    EXPECT_EQ(Workbench.DataWindows().size(), 2);
    // A short file cannot be read.
    tree->SelectFileNode(Path("x.c"));
    EXPECT_THROW(tree->actViewDataExecute(), EReadError);
}

TEST_F(TreeFixture, StructureCommands)
{
    TFrmTree* tree = StartOn(Folder);
    tree->SelectFileNode(Path("demo-country.cds"));
    tree->actModifyStructure->trigger();
    tree->actModifyStructure->trigger();
    ASSERT_EQ(Workbench.StructureWindows().size(), 1);   // the second brings it back
    TFakeStructureWindow* modify = Workbench.StructureWindows().first();
    EXPECT_EQ(modify->Caption(), "Create/Modify Structure " + Path("demo-country.cds"));
    EXPECT_EQ(modify->Opened, Path("demo-country.cds"));
    EXPECT_EQ(modify->Files, tree->FileList);

    tree->actCreateNewStructure->trigger();
    tree->actCreateNewStructure->trigger();
    QList<TFakeStructureWindow*> windows = Workbench.StructureWindows();
    ASSERT_EQ(windows.size(), 3);   // always new
    EXPECT_EQ(windows[1]->Caption(), "Create/Modify Structure ");
    EXPECT_EQ(windows[1]->BaseFolder, Folder);
    EXPECT_TRUE(windows[1]->Began);
    EXPECT_TRUE(windows[1]->Opened.isEmpty());
}

TEST_F(TreeFixture, DeleteAsksAndReportsFailures)
{
    TFrmTree* tree = StartOn(Folder);
    const QString file = Path("demo-nextcust.cds");
    tree->SelectFileNode(file);
    TDialogSeam::AnswerMessages({mrNo});
    tree->DeleteFileClick();
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{"Are you sure you want to delete file \r\n" + file});

    TDialogSeam::AnswerMessages({mrYes});
    tree->DeleteFileClick();
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(Roots(tree).contains(file));

    // Gone before the answer: the failure is reported, not a success.
    const QString other = Path("x.cd");
    tree->SelectFileNode(other);
    QFile::remove(other);
    TDialogSeam::AnswerMessages({mrYes});
    try {
        tree->DeleteFileClick();
        ADD_FAILURE();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Cannot delete file " + other + ". " + SysErrorMessage(ENOENT));
    }
    EXPECT_FALSE(Roots(tree).contains(other));
}

TEST_F(TreeFixture, RenameNeverReplacesAndTakesBareNamesInTheSameFolder)
{
    TFrmTree* tree = StartOn(Folder);
    auto rename = [tree](const QString& typed) {
        WithModal([tree] { tree->RenameFileClick(); },
                  [&typed](QDialog* dialog) {
                      auto* rename = qobject_cast<TFrmRename*>(dialog);
                      ASSERT_NE(rename, nullptr);
                      rename->EdtRename->setText(typed);
                      rename->btnOK->click();
                  });
    };
    const QString file = Path("demo-nextcust.cds");
    ClickFile(tree, file);
    rename("renamed.cds");
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(QFile::exists(Path("renamed.cds")));
    EXPECT_TRUE(Roots(tree).contains(Path("renamed.cds")));

    // An existing name is refused and both files stay as they were.
    const QByteArray country = ReadWholeFile(Path("demo-country.cds"));
    ClickFile(tree, Path("renamed.cds"));
    EXPECT_THROW(rename(Path("demo-country.cds")), EInOutError);
    EXPECT_EQ(ReadWholeFile(Path("demo-country.cds")), country);
    EXPECT_TRUE(QFile::exists(Path("renamed.cds")));

    // OK without a change renames nothing; a vanished file is reported.
    rename(Path("renamed.cds"));
    EXPECT_TRUE(QFile::exists(Path("renamed.cds")));
    QFile::remove(Path("renamed.cds"));
    try {
        rename("again.cds");
        ADD_FAILURE();
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.Message().startsWith("Cannot rename " + Path("renamed.cds"))) << e.Message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(Path("again.cds")));
}

TEST_F(TreeFixture, CopyPutsCopyOfInFrontWhileTakenAndKeepsTheDate)
{
    TFrmTree* tree = StartOn(Folder);
    const QString file = Path("demo-country.cds");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC), QFileDevice::FileModificationTime);
    f.close();
    for (const char* expected : {"Copy of demo-country.cds", "Copy of Copy of demo-country.cds",
                                 "Copy of Copy of Copy of demo-country.cds"}) {
        tree->SelectFileNode(file);
        tree->CopyFileClick();
        const QString copy = Path(QString::fromUtf8(expected));
        ASSERT_TRUE(QFile::exists(copy)) << expected;
        EXPECT_EQ(ReadWholeFile(copy), ReadWholeFile(file));
        EXPECT_EQ(FileModifiedDateTime(copy), FileModifiedDateTime(file));
        EXPECT_TRUE(Roots(tree).contains(copy));
    }
    tree->SelectFileNode(Path("x.c"));
    QFile::remove(Path("x.c"));
    EXPECT_THROW(tree->CopyFileClick(), EFOpenError);
    EXPECT_FALSE(QFile::exists(Path("Copy of x.c")));
}

TEST_F(TreeFixture, RecentFoldersAndStoredSettings)
{
    TFrmTree* tree = StartOn(Folder, "*.xml");
    tree->cbRecurse->SetChecked(true);
    tree->EdtDirectoryExit();
    tree->EdtDirectoryExit();
    EXPECT_EQ(tree->EdtDirectoryList->count(), 1);
    EXPECT_EQ(tree->EdtDirectoryList->itemText(0), Folder);
    EXPECT_EQ(tree->MRUManager->RecentItems()->ToStringList(), QStringList{Folder});

    tree->EdtDirectory->SetText(Path("sub"));
    tree->EdtDirectoryExit();
    EXPECT_EQ(tree->EdtDirectoryList->count(), 2);
    // A folder that does not exist changes nothing.
    tree->EdtDirectory->SetText(Path("nowhere"));
    EXPECT_EQ(tree->Caption(), "Tree View " + Path("sub"));
    tree->EdtDirectoryList->setCurrentIndex(0);
    tree->EdtDirectoryListSelect(0);
    EXPECT_EQ(tree->EdtDirectory->Text(), Folder);
    EXPECT_EQ(tree->Caption(), "Tree View " + Folder);

    // The window's values and the recent list come back in a new window.
    tree->CloseChild();
    Settle();
    TIniFile ini(Workbench.SettingsFile());
    EXPECT_TRUE(ini.SectionExists("TreeDir"));
    Frame->actDirTree->trigger();
    Settle();
    TFrmTree* again = OpenChildren<TFrmTree>().last();
    EXPECT_EQ(again->EdtDirectory->Text(), Folder);
    EXPECT_EQ(again->EdtFilter->currentText(), "*.xml");
    EXPECT_TRUE(again->cbRecurse->Checked());
    EXPECT_EQ(again->EdtDirectoryList->count(), 2);
    EXPECT_EQ(Roots(again), QStringList{Path("demo-country.xml")});
    EXPECT_EQ(again->Caption(), "Tree View " + Folder);

    // Deleting the current recent folder empties the edit and the tree.
    again->DeleteMRUPathClick();
    EXPECT_EQ(again->EdtDirectoryList->count(), 1);
    EXPECT_EQ(again->MRUManager->RecentItems()->ToStringList(), QStringList{Path("sub")});
    EXPECT_TRUE(again->EdtDirectory->Text().isEmpty());
    EXPECT_TRUE(Roots(again).isEmpty());
    EXPECT_FALSE(again->actViewData->isEnabled());
    EXPECT_TRUE(again->actCreateNewStructure->isEnabled());
}

TEST_F(TreeFixture, CommandLineFileOpensItsFolderAndADataWindow)
{
    const QString file = Path("orders, nested é.cds");
    TFrmTree* tree = Start(file);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->EdtDirectory->Text(), Folder);
    EXPECT_EQ(tree->Caption(), "Tree View " + Folder);
    EXPECT_EQ(tree->SelectedFile(), file);
    ASSERT_EQ(Workbench.DataWindows().size(), 1);
    EXPECT_EQ(Workbench.DataWindows().first()->Opened, file);

    // Every later tree window starts there too and opens another data window.
    Frame->actDirTree->trigger();
    Settle();
    EXPECT_EQ(OpenChildren<TFrmTree>().size(), 2);
    EXPECT_EQ(Workbench.DataWindows().size(), 2);
}

TEST_F(TreeFixture, CommandLineFileThatIsMissingIsReportedByName)
{
    const QString file = Path("missing.cds");
    Start(file);
    EXPECT_TRUE(Workbench.DataWindows().isEmpty());
    ASSERT_EQ(Shown.size(), 1);
    EXPECT_TRUE(Shown.first().contains(file)) << Shown.first().toStdString();
}

TEST_F(TreeFixture, LeftAlignFillsTheFrameHeight)
{
    TFrmTree* tree = StartOn(Folder);
    tree->btnFormLeftAlignClick();
    EXPECT_EQ(tree->OuterWindow()->pos(), QPoint(1, 1));
    EXPECT_EQ(tree->OuterWindow()->height(), Frame->MdiArea()->viewport()->height() - 1);
}
