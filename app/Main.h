#pragma once
// The program's frame window: a multiple-document parent holding every tool window, and the
// owner of the objects the tools share for the whole run.

#include "app/ChildForm.h"

#include <QMainWindow>
#include <QStringList>

class QAction;
class QMdiArea;
class QMenu;
class QToolBar;
class TClientDataSet;
class TFormStorage;
class THelpRouter;
class TqeStatusBar;
class TSharedClipboards;

class TMainForm : public QMainWindow, public TChildHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    QMdiArea* MdiArea() const { return FMdiArea; }
    // The frame's own caption; its title also shows a maximised child's caption.
    QString Caption() const { return FCaption; }

    QWidget* HostWindow() override { return this; }
    QMdiArea* ChildArea() const override { return FMdiArea; }
    QString HostCaption() const override { return FCaption; }

    // The data file named on the command line, as given (main passes it in before the frame is
    // shown); empty when there is none.
    QString StartFile;
    // StartFile made absolute; set when the frame is first shown and never cleared.
    QString FileToOpen;

    TFormStorage* FormStorage = nullptr;
    THelpRouter* HelpRouter = nullptr;
    // The clipboards the windows share (the windows reach them through
    // TSharedClipboards::Instance()): field definitions and records.
    TSharedClipboards* Clipboards = nullptr;
    TClientDataSet* cdsFieldDefsClipBoard = nullptr;
    TClientDataSet* cdsViewClipboard = nullptr;

    QAction* FileExit1 = nullptr;
    QAction* actDirTree = nullptr;
    QAction* actMigrate = nullptr;
    QAction* actHelp = nullptr;
    QAction* HelpAbout1 = nullptr;
    QAction* WindowCascade1 = nullptr;
    QAction* WindowTileHorizontal1 = nullptr;
    QAction* WindowTileVertical1 = nullptr;
    QAction* WindowMinimizeAll1 = nullptr;
    QAction* WindowArrangeAll1 = nullptr;
    QToolBar* ToolBar = nullptr;
    // Panel0 (the rest of the width) and panVersion (the program's version).
    TqeStatusBar* StatusBar = nullptr;
    QMenu* mnuWindow = nullptr;

    // The text of the version panel.
    static QString VersionText();

    // Action handlers.
    void FileExit1Execute();
    void actDirTreeExecute();
    void actMigrateExecute();
    void actHelpExecute();
    void HelpAbout1Execute();
    void TileHorizontally();
    void TileVertically();
    void MinimizeAll();
    void ArrangeAll();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void UpdateWindowMenu();
    void FormShow();

    QMdiArea* FMdiArea;
    QString FCaption;
    TFirstShow FFirstShow;
    QList<QAction*> FWindowListActions;
};

// The one frame window (null before it is created and after it is freed).
TMainForm* MainForm();

