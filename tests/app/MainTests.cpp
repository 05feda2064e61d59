#include "app/About.h"
#include "app/ChildForm.h"
#include "app/Main.h"
#include "app/UTree.h"
#include "platform/client/ClientDataSet.h"
#include "platform/core/IniFiles.h"
#include "treestatus/qeStatusBar.h"
#include "tests/app/AppTestSupport.h"
#include "utilities/Placemnt.h"
#include "utilities/VzVerInf.h"

#include <QAction>
#include <QDir>
#include <QMenuBar>
#include <QToolBar>
#include <gtest/gtest.h>
#include <memory>

namespace {
struct FrameFixture : ::testing::Test {
    TWorkbenchFixture Workbench;
    std::unique_ptr<TMainForm> Frame;

    // Creates and shows the frame as the program starts it, with this start file.
    TMainForm* Start(const QString& startFile = {})
    {
        Frame = std::make_unique<TMainForm>();
        Frame->StartFile = startFile;
        Frame->show();
        Settle();
        return Frame.get();
    }
    void TearDown() override
    {
        if (Frame) {
            for (TMDIChildForm* child : TMDIChildForm::Instances())
                if (auto* m = qobject_cast<TFakeMigrateWindow*>(child)) m->Refuse = false;
            Frame->close();
            Frame.reset();
        }
        Settle();
    }
};

QStringList Texts(const QList<QAction*>& actions)
{
    QStringList list;
    for (QAction* a : actions) list << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
}
} // namespace

TEST_F(FrameFixture, WindowMenusToolBarAndSharedObjects)
{
    {
        TMainForm unshown;
        EXPECT_EQ(unshown.size(), QSize(667, 549));
    }
    TMainForm* frame = Start();
    EXPECT_EQ(frame->windowTitle(), "Quarrow");
    EXPECT_EQ(MainForm(), frame);
    // With nothing stored yet the frame starts maximised.
    EXPECT_TRUE(frame->isMaximized());

    QStringList menus;
    for (QAction* a : frame->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "Tools", "&Window", "&Help"}));
    const QList<QAction*> top = frame->menuBar()->actions();
    EXPECT_EQ(Texts(top[0]->menu()->actions()), QStringList{"E&xit"});
    EXPECT_EQ(Texts(top[1]->menu()->actions()), (QStringList{"Diretory Tree", "Migrate"}));
    EXPECT_EQ(Texts(top[2]->menu()->actions()),
              (QStringList{"&Cascade", "Tile &Horizontally", "Tile &Vertically", "&Minimize All", "&Arrange All"}));
    EXPECT_EQ(Texts(top[3]->menu()->actions()), (QStringList{"Help", "-", "&About..."}));
    EXPECT_EQ(Texts(frame->ToolBar->actions()),
              (QStringList{"&Cascade", "Tile &Horizontally", "Tile &Vertically", "-", "Diretory Tree", "Migrate", "-",
                           "Help"}));
    EXPECT_NE(frame->ToolBar->findChild<QWidget*>("btnTree"), nullptr);

    struct Hint {
        QAction* Action;
        const char* Tip;
        const char* Status;
    };
    for (const Hint& h : {Hint{frame->FileExit1, "Exit", "Exit application"},
                          Hint{frame->actDirTree, "Directory Treeview", "Directory Treeview"},
                          Hint{frame->actMigrate, "Migrate Data", "Migrate Data"},
                          Hint{frame->WindowTileVertical1, "Tile Vertically", "Tile Vertically"}})
        EXPECT_EQ(h.Action->toolTip(), QLatin1String(h.Tip)) << h.Tip;
    EXPECT_EQ(frame->FileExit1->statusTip(), "Exit application");

    // The field-definition clipboard is open and empty from the start; the data clipboard closed.
    ASSERT_NE(frame->cdsFieldDefsClipBoard, nullptr);
    EXPECT_TRUE(frame->cdsFieldDefsClipBoard->Active());
    EXPECT_TRUE(frame->cdsFieldDefsClipBoard->IsEmpty());
    EXPECT_NE(frame->cdsFieldDefsClipBoard->FindField("Precision"), nullptr);
    EXPECT_FALSE(frame->cdsViewClipboard->Active());

    EXPECT_EQ(frame->FormStorage->IniSection(), "MainForm");
    EXPECT_EQ(frame->FormStorage->IniFileName(), Workbench.SettingsFile());
    EXPECT_EQ(TMainForm::VersionText(), CreateModuleVersionInfo()->GetFileVersionText());
    ASSERT_EQ(frame->StatusBar->Panels().Count(), 2);
    EXPECT_EQ(frame->StatusBar->Panels()[0]->Width(), "100%");
    TqeStatusPanel* version = frame->StatusBar->Panels().FindPanel("panVersion");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->Width(), "80");
    frame->StatusBar->repaint();
    EXPECT_EQ(version->DrawnText(), TMainForm::VersionText());
    EXPECT_FALSE(TMainForm::VersionText().isEmpty());
}

TEST_F(FrameFixture, StartWithoutArgumentOpensOneTreeWindow)
{
    TMainForm* frame = Start();
    EXPECT_TRUE(frame->FileToOpen.isEmpty());
    EXPECT_EQ(OpenChildren<TFrmTree>().size(), 1);
    EXPECT_TRUE(Workbench.DataWindows().isEmpty());
    // Directory Tree never reuses a window.
    frame->actDirTree->trigger();
    Settle();
    EXPECT_EQ(OpenChildren<TFrmTree>().size(), 2);
}

TEST_F(FrameFixture, StartFileIsMadeAbsolute)
{
    TMainForm* frame = Start("some file.cds");
    EXPECT_EQ(frame->FileToOpen, QDir::current().absoluteFilePath("some file.cds"));
    EXPECT_EQ(OpenChildren<TFrmTree>().size(), 1);

    Frame->close();
    Frame.reset();
    Settle();
    frame = Start("/abs/dir/x.cds");
    EXPECT_EQ(frame->FileToOpen, "/abs/dir/x.cds");
}

TEST_F(FrameFixture, MigrateTwiceGivesOneWindowBroughtBack)
{
    TMainForm* frame = Start();
    frame->actMigrate->trigger();
    ASSERT_EQ(Workbench.MigrateWindows().size(), 1);
    TFakeMigrateWindow* migrate = Workbench.MigrateWindows().first();
    EXPECT_EQ(migrate->Caption(), "Migrate");
    EXPECT_EQ(migrate->OuterWindow()->size(), QSize(790, 590));
    EXPECT_TRUE(migrate->Destination.isEmpty());

    migrate->SubWindow()->showMinimized();
    frame->actDirTree->trigger();   // another window comes to the front
    Settle();
    ASSERT_NE(frame->MdiArea()->activeSubWindow(), migrate->SubWindow());

    frame->actMigrate->trigger();
    Settle();
    EXPECT_EQ(Workbench.MigrateWindows().size(), 1);
    EXPECT_FALSE(migrate->SubWindow()->isMinimized());
    EXPECT_EQ(frame->MdiArea()->activeSubWindow(), migrate->SubWindow());
}

TEST_F(FrameFixture, ActivateWindowByCaptionIsExactAndCaseSensitive)
{
    TMainForm* frame = Start();
    auto open = [](const QString& caption) {
        auto* w = new TFakeDataWindow;
        w->SetCaption(caption);
        w->ShowChild();
        return w;
    };
    TFakeDataWindow* a = open("View Data /x/a.cds");
    TFakeDataWindow* b = open("View Data /x/b.cds");
    a->SubWindow()->showMinimized();
    frame->MdiArea()->setActiveSubWindow(b->SubWindow());
    Settle();

    EXPECT_FALSE(ActivateWindowByCaption("View Data /x/A.cds"));
    EXPECT_FALSE(ActivateWindowByCaption("View Data /x/a"));
    EXPECT_FALSE(ActivateWindowByCaption("View Data /x/a.cds "));
    EXPECT_EQ(frame->MdiArea()->activeSubWindow(), b->SubWindow());

    EXPECT_TRUE(ActivateWindowByCaption("View Data /x/a.cds"));
    EXPECT_FALSE(a->SubWindow()->isMinimized());
    EXPECT_EQ(frame->MdiArea()->activeSubWindow(), a->SubWindow());
    EXPECT_TRUE(a->IsActiveChild());
    EXPECT_FALSE(b->IsActiveChild());

    // The frame itself is one of the windows; a maximised child's caption in its title is not.
    EXPECT_TRUE(ActivateWindowByCaption("Quarrow"));
    b->SubWindow()->showMaximized();
    Settle();
    EXPECT_FALSE(ActivateWindowByCaption(frame->windowTitle()));

    // A closed window is no longer found.
    b->CloseChild();
    EXPECT_FALSE(ActivateWindowByCaption("View Data /x/b.cds"));
}

TEST_F(FrameFixture, ClosingTheFrameWhenAChildRefusesKeepsEverythingOpen)
{
    TMainForm* frame = Start();
    frame->actMigrate->trigger();
    TFakeMigrateWindow* migrate = Workbench.MigrateWindows().first();
    migrate->Refuse = true;
    const int children = int(frame->MdiArea()->subWindowList().size());
    ASSERT_EQ(children, 2);   // the tree and the migration window

    EXPECT_FALSE(frame->close());
    Settle();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->MdiArea()->subWindowList().size(), children);   // no child closed either
    EXPECT_FALSE(QFile::exists(Workbench.SettingsFile()) &&
                 TIniFile(Workbench.SettingsFile()).SectionExists("MainForm"));

    // Once it agrees, every child closes before the frame and the frame saves its section.
    migrate->Refuse = false;
    EXPECT_TRUE(frame->close());
    Settle();
    EXPECT_TRUE(frame->MdiArea()->subWindowList().isEmpty());
    EXPECT_TRUE(TIniFile(Workbench.SettingsFile()).SectionExists("MainForm"));
}

TEST_F(FrameFixture, AboutBoxIsShownModallyAndFreed)
{
    TMainForm* frame = Start();
    QString caption;
    WithModal([frame] { frame->HelpAbout1->trigger(); },
              [&caption](QDialog* dialog) {
                  caption = dialog->windowTitle();
                  dialog->accept();
              });
    EXPECT_EQ(caption, "About");
    Settle();
    EXPECT_TRUE(frame->findChildren<TAboutBox*>().isEmpty());
}

TEST_F(FrameFixture, WindowArrangements)
{
    TMainForm* frame = Start();
    frame->resize(800, 600);
    frame->actDirTree->trigger();
    frame->actDirTree->trigger();
    Settle();
    const QList<QMdiSubWindow*> subs = frame->MdiArea()->subWindowList(QMdiArea::CreationOrder);
    ASSERT_EQ(subs.size(), 3);
    const QSize area = frame->MdiArea()->viewport()->size();

    frame->TileHorizontally();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(subs[i]->geometry().width(), area.width());
        EXPECT_EQ(subs[i]->geometry().top(), area.height() * i / 3);
    }
    frame->TileVertically();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(subs[i]->geometry().height(), area.height());
        EXPECT_EQ(subs[i]->geometry().left(), area.width() * i / 3);
    }
    frame->WindowMinimizeAll1->trigger();
    for (QMdiSubWindow* sub : subs) EXPECT_TRUE(sub->isMinimized());
    frame->ArrangeAll();
    EXPECT_EQ(subs[0]->geometry().bottom() + 1, area.height());
    EXPECT_EQ(subs[1]->geometry().left(), subs[0]->geometry().right() + 1);
}

TEST_F(FrameFixture, NewChildrenStayInsideTheArea)
{
    TMainForm* frame = Start();
    frame->resize(1000, 800);
    Settle();
    const QRect room = frame->MdiArea()->viewport()->rect();
    for (int i = 0; i < 3; ++i) {
        auto* child = new TMDIChildForm;
        child->SetFormSize(740, 540);
        child->ShowChild();
        Settle();
        EXPECT_TRUE(room.contains(child->OuterWindow()->geometry())) << i;
    }
}
