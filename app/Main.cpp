#include "app/Main.h"

#include "app/About.h"
#include "app/ChildForm.h"
#include "app/SharedClipboards.h"
#include "app/UTree.h"
#include "app/UGeneral.h"
#include "app/WorkbenchWindows.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Graphics.h"
#include "treestatus/qeStatusBar.h"
#include "utilities/HelpRouter.h"
#include "utilities/Placemnt.h"
#include "utilities/VzVerInf.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <cmath>

namespace {
TMainForm* GMainForm = nullptr;

// The window-arrangement and help pictures of the tool bar.
enum TToolPicture { tpCascade, tpTileHorizontal, tpTileVertical, tpHelp };

QIcon ToolPicture(TToolPicture picture)
{
    QIcon icon;
    for (int side : {16, 24, 32}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing, picture == tpHelp);
        painter.scale(side / 16.0, side / 16.0);
        const QColor frame(0x30, 0x30, 0x60);
        const QColor title(0x3A, 0x6E, 0xC8);
        auto window = [&](const QRectF& r) {
            painter.setPen(QPen(frame, 1));
            painter.setBrush(Qt::white);
            painter.drawRect(r);
            painter.fillRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 0.5, 2.5), title);
        };
        switch (picture) {
        case tpCascade:
            window(QRectF(1.5, 1.5, 9, 8));
            window(QRectF(3.5, 4.5, 9, 8));
            window(QRectF(5.5, 6.5, 9, 8));
            break;
        case tpTileHorizontal:
            window(QRectF(1.5, 1.5, 13, 6));
            window(QRectF(1.5, 8.5, 13, 6));
            break;
        case tpTileVertical:
            window(QRectF(1.5, 1.5, 6, 13));
            window(QRectF(8.5, 1.5, 6, 13));
            break;
        case tpHelp: {
            painter.setPen(Qt::NoPen);
            painter.setBrush(title);
            painter.drawEllipse(QRectF(1, 1, 14, 14));
            QFont font = painter.font();
            font.setBold(true);
            font.setPixelSize(11);
            painter.setFont(font);
            painter.setPen(Qt::white);
            painter.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The children that take part in tiling: not minimised, not hidden.
QList<QMdiSubWindow*> TileableChildren(QMdiArea* area)
{
    QList<QMdiSubWindow*> list;
    for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder))
        if (sub->isVisible() && !sub->isMinimized()) list.append(sub);
    return list;
}
} // namespace

TMainForm* MainForm() { return GMainForm; }


TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), FCaption(QStringLiteral("Quarrow"))
{
    GMainForm = this;
    SetChildHost(this);
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(FCaption);
    FMdiArea = new QMdiArea(this);
    FMdiArea->setObjectName(QStringLiteral("MdiArea"));
    FMdiArea->setBackground(ColorToQColor(clAppWorkSpace));
    setCentralWidget(FMdiArea);
    resize(667, 549);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(width() / 2, height() / 2));
    }

    CreateActions();
    CreateMenus();
    CreateToolBar();

    StatusBar = new TqeStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    TqeStatusPanel* panel0 = StatusBar->Panels().Add();
    panel0->SetName(QStringLiteral("Panel0"));
    panel0->SetWidth(QStringLiteral("100%"));
    TqeStatusPanel* panVersion = StatusBar->Panels().Add();
    panVersion->SetName(QStringLiteral("panVersion"));
    panVersion->SetWidth(QStringLiteral("80"));
    panVersion->OnDrawText = [](TqeStatusPanel*, QString& text, bool&) { text = VersionText(); };
    // The bar paints itself, so it does not take the main window's status-bar slot: it sits in a
    // strip the window keeps free below its child area (see resizeEvent).
    setContentsMargins(0, 0, 0, StatusBar->sizeHint().height());

    FormStorage = new TFormStorage(this);
    FormStorage->setObjectName(QStringLiteral("FormStorage"));
    FormStorage->SetIniSection(QStringLiteral("MainForm"));
    FormStorage->SetIniFileName(SettingsFileName());

    HelpRouter = new THelpRouter(this);
    HelpRouter->setObjectName(QStringLiteral("HelpRouter"));
    HelpRouter->SetHelpType(htHTMLhelp);
    HelpRouter->SetHelpfile(QStringLiteral("Quarrow.chm"));
    HelpRouter->SetCHMPopupTopics(QStringLiteral("CSHelp.txt"));
    HelpRouter->SetValidateID(false);

    Clipboards = new TSharedClipboards(this);
    cdsFieldDefsClipBoard = Clipboards->cdsFieldDefsClipBoard;
    cdsViewClipboard = Clipboards->cdsViewClipboard;
}

TMainForm::~TMainForm()
{
    if (GMainForm == this) GMainForm = nullptr;
    if (ChildHost() == this) SetChildHost(nullptr);
}

void TMainForm::CreateActions()
{
    FileExit1 = NewAction(this, "FileExit1", QStringLiteral("E&xit"), QStringLiteral("Exit|Exit application"));
    connect(FileExit1, &QAction::triggered, this, [this] { FileExit1Execute(); });
    actDirTree = NewAction(this, "actDirTree", QStringLiteral("Diretory Tree"), QStringLiteral("Directory Treeview"));
    actDirTree->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
    connect(actDirTree, &QAction::triggered, this, [this] { actDirTreeExecute(); });
    actMigrate = NewAction(this, "actMigrate", QStringLiteral("Migrate"), QStringLiteral("Migrate Data"));
    actMigrate->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    connect(actMigrate, &QAction::triggered, this, [this] { actMigrateExecute(); });
    actHelp = NewAction(this, "actHelp", QStringLiteral("Help"), QStringLiteral("Help"));
    actHelp->setIcon(ToolPicture(tpHelp));
    connect(actHelp, &QAction::triggered, this, [this] { actHelpExecute(); });
    HelpAbout1 = NewAction(this, "HelpAbout1", QStringLiteral("&About..."), QString());
    connect(HelpAbout1, &QAction::triggered, this, [this] { HelpAbout1Execute(); });

    WindowCascade1 = NewAction(this, "WindowCascade1", QStringLiteral("&Cascade"), QStringLiteral("Cascade"));
    WindowCascade1->setIcon(ToolPicture(tpCascade));
    connect(WindowCascade1, &QAction::triggered, FMdiArea, &QMdiArea::cascadeSubWindows);
    WindowTileHorizontal1 = NewAction(this, "WindowTileHorizontal1", QStringLiteral("Tile &Horizontally"),
                                      QStringLiteral("Tile Horizontally"));
    WindowTileHorizontal1->setIcon(ToolPicture(tpTileHorizontal));
    connect(WindowTileHorizontal1, &QAction::triggered, this, [this] { TileHorizontally(); });
    WindowTileVertical1 = NewAction(this, "WindowTileVertical1", QStringLiteral("Tile &Vertically"),
                                    QStringLiteral("Tile Vertically"));
    WindowTileVertical1->setIcon(ToolPicture(tpTileVertical));
    connect(WindowTileVertical1, &QAction::triggered, this, [this] { TileVertically(); });
    WindowMinimizeAll1 = NewAction(this, "WindowMinimizeAll1", QStringLiteral("&Minimize All"),
                                   QStringLiteral("Minimize All"));
    connect(WindowMinimizeAll1, &QAction::triggered, this, [this] { MinimizeAll(); });
    WindowArrangeAll1 = NewAction(this, "WindowArrangeAll1", QStringLiteral("&Arrange All"),
                                  QStringLiteral("Arrange All"));
    connect(WindowArrangeAll1, &QAction::triggered, this, [this] { ArrangeAll(); });
}

void TMainForm::CreateMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    file->menuAction()->setStatusTip(QStringLiteral("File related commands"));
    file->addAction(FileExit1);

    QMenu* tools = bar->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("Tools1"));
    tools->addAction(actDirTree);
    tools->addAction(actMigrate);

    mnuWindow = bar->addMenu(QStringLiteral("&Window"));
    mnuWindow->setObjectName(QStringLiteral("Window1"));
    mnuWindow->menuAction()->setStatusTip(QStringLiteral("Window related commands"));
    mnuWindow->addAction(WindowCascade1);
    mnuWindow->addAction(WindowTileHorizontal1);
    mnuWindow->addAction(WindowTileVertical1);
    mnuWindow->addAction(WindowMinimizeAll1);
    mnuWindow->addAction(WindowArrangeAll1);
    connect(mnuWindow, &QMenu::aboutToShow, this, [this] { UpdateWindowMenu(); });

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    help->menuAction()->setStatusTip(QStringLiteral("Help topics"));
    help->addAction(actHelp);
    help->addSeparator();
    help->addAction(HelpAbout1);
}

void TMainForm::CreateToolBar()
{
    ToolBar = addToolBar(QStringLiteral("ToolBar"));
    ToolBar->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar->setMovable(false);
    ToolBar->addAction(WindowCascade1);
    ToolBar->addAction(WindowTileHorizontal1);
    ToolBar->addAction(WindowTileVertical1);
    ToolBar->addSeparator();
    ToolBar->addAction(actDirTree);
    if (QWidget* button = ToolBar->widgetForAction(actDirTree)) button->setObjectName(QStringLiteral("btnTree"));
    ToolBar->addAction(actMigrate);
    ToolBar->addSeparator();
    ToolBar->addAction(actHelp);
}

void TMainForm::UpdateWindowMenu()
{
    // The open children follow the arrangement commands, the active one checked.
    for (QAction* action : FWindowListActions) {
        mnuWindow->removeAction(action);
        delete action;
    }
    FWindowListActions.clear();
    const QList<QMdiSubWindow*> subs = FMdiArea->subWindowList(QMdiArea::CreationOrder);
    if (subs.isEmpty()) return;
    FWindowListActions.append(mnuWindow->addSeparator());
    int number = 0;
    for (QMdiSubWindow* sub : subs) {
        ++number;
        const QString text = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(sub->windowTitle())
                                         : QStringLiteral("%1 %2").arg(number).arg(sub->windowTitle());
        QAction* action = mnuWindow->addAction(text);
        action->setCheckable(true);
        action->setChecked(sub == FMdiArea->activeSubWindow());
        QPointer<QMdiSubWindow> target(sub);
        connect(action, &QAction::triggered, this, [this, target] {
            if (!target) return;
            if (target->isMinimized()) target->showNormal();
            FMdiArea->setActiveSubWindow(target);
        });
        FWindowListActions.append(action);
    }
}

QString TMainForm::VersionText() { return CreateModuleVersionInfo()->GetFileVersionText(); }

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const int h = StatusBar->sizeHint().height();
    StatusBar->setGeometry(0, height() - h, width(), h);
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (FFirstShow.Take(event)) TApplication::Guard([this] { FormShow(); });
}

void TMainForm::FormShow()
{
    // A relative name is taken against the folder the program was started in.
    if (!StartFile.isEmpty()) FileToOpen = ExpandFileName(StartFile);
    actDirTreeExecute();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Every child is asked before any closes: one refusal keeps the whole program running.
    QList<TMDIChildForm*> children;
    for (QMdiSubWindow* sub : FMdiArea->subWindowList(QMdiArea::CreationOrder))
        if (auto* child = qobject_cast<TMDIChildForm*>(sub->widget()); child && !child->IsClosed())
            children.append(child);
    for (TMDIChildForm* child : children) {
        if (!child->CloseQuery()) {
            event->ignore();
            return;
        }
    }
    // Closed before the frame, so that each child's storage writes its section.
    for (TMDIChildForm* child : children) {
        child->SetCloseAnswered(true);
        child->CloseChild();
    }
    for (QMdiSubWindow* sub : FMdiArea->subWindowList())
        if (auto* child = qobject_cast<TMDIChildForm*>(sub->widget()); child && !child->IsClosed()) {
            event->ignore();
            return;
        }
    event->accept();
}

void TMainForm::FileExit1Execute() { close(); }

void TMainForm::actDirTreeExecute()
{
    auto* tree = new TFrmTree;
    tree->FileToOpen = FileToOpen;
    tree->ShowChild();
}

void TMainForm::actMigrateExecute() { OpenMigrateWindow(790, 590); }

void TMainForm::actHelpExecute() { HelpRouter->ShowHelpContents(); }

void TMainForm::HelpAbout1Execute()
{
    TAboutBox about(this);
    about.exec();
}

void TMainForm::TileHorizontally()
{
    // One above the other, each as wide as the area.
    const QList<QMdiSubWindow*> subs = TileableChildren(FMdiArea);
    if (subs.isEmpty()) return;
    const QRect area = FMdiArea->viewport()->rect();
    const int n = int(subs.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = subs[i];
        if (sub->isMaximized()) sub->showNormal();
        const int top = area.height() * i / n;
        const int bottom = area.height() * (i + 1) / n;
        sub->setGeometry(0, top, area.width(), bottom - top);
    }
}

void TMainForm::TileVertically()
{
    // Side by side, each as high as the area.
    const QList<QMdiSubWindow*> subs = TileableChildren(FMdiArea);
    if (subs.isEmpty()) return;
    const QRect area = FMdiArea->viewport()->rect();
    const int n = int(subs.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = subs[i];
        if (sub->isMaximized()) sub->showNormal();
        const int left = area.width() * i / n;
        const int right = area.width() * (i + 1) / n;
        sub->setGeometry(left, 0, right - left, area.height());
    }
}

void TMainForm::MinimizeAll()
{
    for (QMdiSubWindow* sub : FMdiArea->subWindowList(QMdiArea::CreationOrder)) sub->showMinimized();
}

void TMainForm::ArrangeAll()
{
    // Minimised children line up along the bottom of the area, left to right.
    const QRect area = FMdiArea->viewport()->rect();
    int x = 0;
    int y = area.height();
    for (QMdiSubWindow* sub : FMdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized()) continue;
        const QSize size = sub->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= size.height();
        }
        sub->move(x, y - size.height());
        x += size.width();
    }
}

