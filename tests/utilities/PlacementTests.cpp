#include "UtilitiesTestSupport.h"
#include "utilities/MRUList.h"
#include "utilities/Placemnt.h"
#include "utilities/vzStrUtils.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QToolButton>

namespace {
// The windows of the program, as far as their storage sees them.
class TMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainFrame(const QString& ini)
    {
        setObjectName("MainForm");
        setCentralWidget(Mdi = new QMdiArea);
        Storage = new TFormStorage(this);
        Storage->SetIniFileName(ini);
        Storage->SetIniSection("MainForm");
        resize(667, 549);
    }
    QMdiArea* Mdi;
    TFormStorage* Storage;
};

class TFrmTree : public QWidget {
    Q_OBJECT
public:
    explicit TFrmTree(const QString& ini)
    {
        setObjectName("FrmTree");
        Storage = new TFormStorage(this);
        cbRecurse = new QCheckBox("Include Subdirectories", this);
        cbRecurse->setObjectName("cbRecurse");
        EdtDirectory = new QLineEdit(this);
        EdtDirectory->setObjectName("EdtDirectory");
        EdtFilter = new QLineEdit("*.cds", this);
        EdtFilter->setObjectName("EdtFilter");
        MRUManager = new TMRUManager(this);
        MRUManager->setObjectName("MRUManager");
        MRUManager->SetCapacity(15);
        MRUManager->SetMode(rmAppend);
        MRUManager->SetIniStorage(Storage);
        Storage->SetIniFileName(ini);
        Storage->SetIniSection("TreeDir");
        Storage->SetStoredProps({"cbRecurse.Checked", "EdtDirectory.Text", "EdtFilter.Text"});
    }
    TFormStorage* Storage;
    QCheckBox* cbRecurse;
    QLineEdit* EdtDirectory;
    QLineEdit* EdtFilter;
    TMRUManager* MRUManager;
};

class THeightPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Height READ height WRITE SetHeight)
public:
    using QWidget::QWidget;
    void SetHeight(int h) { resize(width(), h); }
};

class TFrmViewData : public QWidget {
    Q_OBJECT
public:
    explicit TFrmViewData(const QString& ini)
    {
        setObjectName("FrmViewData");
        grdDelta = new THeightPanel(this);
        grdDelta->setObjectName("grdDelta");
        grdDelta->resize(100, 80);
        btnSizeColumn = new QToolButton(this);
        btnSizeColumn->setObjectName("btnSizeColumn");
        cbShowTypeAndLength = new QToolButton(this);
        cbShowTypeAndLength->setObjectName("cbShowTypeAndLength");
        Storage = new TFormStorage(this);
        Storage->SetIniFileName(ini);
        Storage->SetIniSection("ViewData");
        Storage->SetOptions({});
        Storage->SetStoredProps({"grdDelta.Height", "btnSizeColumn.Down", "cbShowTypeAndLength.Down"});
    }
    THeightPanel* grdDelta;
    QToolButton* btnSizeColumn;
    QToolButton* cbShowTypeAndLength;
    TFormStorage* Storage;
};

class TRadioGroup : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex MEMBER ItemIndex)
public:
    using QWidget::QWidget;
    int ItemIndex = 0;
};

class TfrmDBFiller : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDBFiller(const QString& ini)
    {
        setObjectName("frmDBFiller");
        EdtNoFill = new QDoubleSpinBox(this);
        EdtNoFill->setObjectName("EdtNoFill");
        EdtNoFill->setRange(0, 1e9);
        rgAppendUpdate = new TRadioGroup(this);
        rgAppendUpdate->setObjectName("rgAppendUpdate");
        EdtDetailNoFill = new QDoubleSpinBox(this);
        EdtDetailNoFill->setObjectName("EdtDetailNoFill");
        Storage = new TFormStorage(this);
        Storage->SetIniFileName(ini);
        Storage->SetIniSection("DBFiller");
        Storage->SetOptions(fpPosition);
        Storage->SetStoredProps({"EdtNoFill.Value", "rgAppendUpdate.ItemIndex", "EdtDetailNoFill.Value"});
    }
    QDoubleSpinBox* EdtNoFill;
    TRadioGroup* rgAppendUpdate;
    QDoubleSpinBox* EdtDetailNoFill;
    TFormStorage* Storage;
};

class TRefusingForm : public QWidget {
    Q_OBJECT
protected:
    void closeEvent(QCloseEvent* e) override { e->setAccepted(Allow); }

public:
    bool Allow = false;
};

QRect Rect(int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); }

QByteArray Section(const char* name, const char* norm, const char* extra = "", const char* minMax = "-1,-1,-4,-4",
                   const char* showCmd = "1")
{
    return QByteArray("[") + name + "]\nFormVersion=0\nFlags=0\nShowCmd=" + showCmd + "\nPixelsPerInch=96\n"
         + "MinMaxPos(1024x768)=" + minMax + "\nMinMaxPos=" + minMax + "\nNormPos(1024x768)=" + norm + "\nNormPos=" + norm
         + "\nVisible=0\n" + extra;
}
} // namespace

class PlacementTest : public SettingsTest {};

TEST_F(PlacementTest, WholeFileAfterFirstAndSecondSave)
{
    {
        TMainFrame frame(FIni);
        Application()->SetMainForm(&frame);
        frame.show();
        EXPECT_FALSE(frame.isMaximized());   // no settings yet: the frame opens as designed
        frame.setGeometry(Rect(100, 80, 600, 480));
        ASSERT_TRUE(frame.close());

        TFrmTree tree(FIni);
        tree.show();
        tree.setGeometry(Rect(10, 20, 410, 320));
        tree.cbRecurse->setChecked(true);
        tree.EdtDirectory->setText("/data/cds");
        tree.MRUManager->AddRecent("/data/a");
        tree.MRUManager->AddRecent("/data/cds");
        ASSERT_TRUE(tree.close());

        TFrmViewData view(FIni);
        view.show();
        view.setGeometry(Rect(5, 6, 305, 206));
        view.grdDelta->SetHeight(120);
        view.btnSizeColumn->setDown(true);
        ASSERT_TRUE(view.close());

        TfrmDBFiller filler(FIni);
        filler.show();
        filler.setGeometry(Rect(50, 60, 450, 360));
        filler.EdtNoFill->setValue(100);
        filler.rgAppendUpdate->ItemIndex = 1;
        filler.EdtDetailNoFill->setValue(2.5);
        ASSERT_TRUE(filler.close());
    }
    const QByteArray first = Section("MainForm", "100,80,600,480") + "\n"
                           + Section("TreeDir", "10,20,410,320",
                                     "cbRecurse_Checked=True\nEdtDirectory_Text=/data/cds\nEdtFilter_Text=*.cds\n")
                           + "\n[TreeDir\\TFrmTree.MRUManager]\nItem_0=/data/a\nItem_1=/data/cds\n\n"
                           + Section("ViewData", "5,6,305,206",
                                     "grdDelta_Height=120\nbtnSizeColumn_Down=True\ncbShowTypeAndLength_Down=False\n")
                           + "\n"
                           + Section("DBFiller", "50,60,450,360",
                                     "EdtNoFill_Value=100\nrgAppendUpdate_ItemIndex=1\nEdtDetailNoFill_Value=2.5\n");
    EXPECT_EQ(IniBytes(), first);

    // Start again: everything comes back, as far as each window's options ask.
    {
        TMainFrame frame(FIni);
        Application()->SetMainForm(&frame);
        frame.show();
        EXPECT_FALSE(frame.isMaximized());
        EXPECT_EQ(frame.geometry(), Rect(100, 80, 600, 480));
        frame.setGeometry(Rect(110, 90, 610, 490));
        ASSERT_TRUE(frame.close());

        TFrmTree tree(FIni);
        tree.show();
        EXPECT_EQ(tree.geometry(), Rect(10, 20, 410, 320));
        EXPECT_TRUE(tree.cbRecurse->isChecked());
        EXPECT_EQ(tree.EdtDirectory->text(), "/data/cds");
        EXPECT_EQ(tree.MRUManager->RecentItems()->ToStringList(), QStringList({"/data/a", "/data/cds"}));
        tree.cbRecurse->setChecked(false);
        tree.MRUManager->AddRecent("/data/new");
        ASSERT_TRUE(tree.close());

        TFrmViewData view(FIni);
        view.setGeometry(Rect(1, 1, 201, 101));
        view.show();
        EXPECT_EQ(view.geometry(), Rect(1, 1, 201, 101));   // no placement options: not applied
        EXPECT_EQ(view.grdDelta->height(), 120);
        EXPECT_TRUE(view.btnSizeColumn->isDown());
        view.close();

        TfrmDBFiller filler(FIni);
        filler.show();
        EXPECT_EQ(filler.geometry(), Rect(50, 60, 450, 360));
        EXPECT_EQ(filler.EdtNoFill->value(), 100);
        EXPECT_EQ(filler.rgAppendUpdate->ItemIndex, 1);
        EXPECT_EQ(filler.EdtDetailNoFill->value(), 2.5);
        filler.accept();   // a dialog ending with OK saves too
    }
    // Keys are updated where they stand; the recent list's section is rewritten, at the end.
    const QByteArray second = Section("MainForm", "110,90,610,490") + "\n"
                            + Section("TreeDir", "10,20,410,320",
                                      "cbRecurse_Checked=False\nEdtDirectory_Text=/data/cds\nEdtFilter_Text=*.cds\n")
                            + "\n"
                            + Section("ViewData", "1,1,201,101",
                                      "grdDelta_Height=120\nbtnSizeColumn_Down=True\ncbShowTypeAndLength_Down=False\n")
                            + "\n"
                            + Section("DBFiller", "50,60,450,360",
                                      "EdtNoFill_Value=100\nrgAppendUpdate_ItemIndex=1\nEdtDetailNoFill_Value=2.5\n")
                            + "\n[TreeDir\\TFrmTree.MRUManager]\nItem_0=/data/a\nItem_1=/data/cds\nItem_2=/data/new\n";
    EXPECT_EQ(IniBytes(), second);
}

TEST_F(PlacementTest, MainWindowComesBackWhereItWas)
{
    QRect placed;
    {
        TMainFrame frame(FIni);
        Application()->SetMainForm(&frame);
        frame.show();
        frame.showNormal();
        frame.move(137, 61);
        frame.resize(701, 503);
        placed = frame.geometry();
        ASSERT_TRUE(frame.close());
    }
    {
        TMainFrame frame(FIni);
        Application()->SetMainForm(&frame);
        frame.show();
        EXPECT_FALSE(frame.isMaximized());
        EXPECT_EQ(frame.geometry(), placed);
        frame.move(147, 71);
        frame.resize(650, 480);
        placed = frame.geometry();
        frame.showMaximized();   // closed maximized: comes back maximized, over the same normal place
        ASSERT_TRUE(frame.close());
    }
    TMainFrame frame(FIni);
    Application()->SetMainForm(&frame);
    frame.show();
    EXPECT_TRUE(frame.isMaximized());
    EXPECT_EQ(frame.normalGeometry(), placed);
    frame.showNormal();
    EXPECT_EQ(frame.geometry(), placed);
}

TEST_F(PlacementTest, TheMainWindowStartsAtItsDesignedSizeTheFirstTime)
{
    // Nothing stored yet: the frame keeps its designed size and place; it is not maximised.
    TMainFrame frame(FIni);
    Application()->SetMainForm(&frame);
    const QSize designed = frame.size();
    frame.show();
    EXPECT_FALSE(frame.isMaximized());
    EXPECT_EQ(frame.size(), designed);
    Application()->SetMainForm(nullptr);
}

TEST_F(PlacementTest, PlacementIsRestoredOnEveryShow)
{
    WriteWholeFile(FIni, Section("TreeDir", "40,50,440,350"));
    TFrmTree tree(FIni);
    tree.show();
    EXPECT_EQ(tree.geometry(), Rect(40, 50, 440, 350));
    tree.hide();
    tree.setGeometry(Rect(5, 5, 105, 105));
    tree.show();
    EXPECT_EQ(tree.geometry(), Rect(40, 50, 440, 350));

    // A child window: shown again after a hide it is restored; minimised and restored by the
    // user (Qt hides and shows its contents then) it stays where the user put it.
    TMainFrame frame(FIni);
    frame.Storage->SetActive(false);
    frame.show();
    frame.resize(900, 700);
    auto* child = new TFrmTree(FIni);
    QMdiSubWindow* sub = frame.Mdi->addSubWindow(child);
    sub->show();
    EXPECT_EQ(sub->geometry(), Rect(40, 50, 440, 350));
    sub->setGeometry(Rect(60, 70, 360, 370));
    sub->showMinimized();
    sub->showNormal();
    EXPECT_EQ(sub->geometry(), Rect(60, 70, 360, 370));
    sub->hide();
    sub->show();
    EXPECT_EQ(sub->geometry(), Rect(40, 50, 440, 350));
    child->Storage->SetActive(false);
    sub->close();
}

TEST_F(PlacementTest, ADamagedPlacementIsClampedToTheScreen)
{
    // Extreme numbers from a damaged or hand-edited file must neither overflow nor put the
    // window where nobody can reach it.
    struct Case { const char* Norm; const char* MinMax; };
    for (const Case& c : {Case{"-2147483648,-2147483648,2147483647,2147483647", "-2147483648,2147483647,2147483647,-2147483648"},
                          Case{"2147483000,2147483000,2147483647,2147483647", "-1,-1,-1,-1"},
                          Case{"-2147483648,10,-2147483000,400", "0,0,0,0"}}) {
        WriteWholeFile(FIni, Section("DBFiller", c.Norm, "", c.MinMax));
        TfrmDBFiller filler(FIni);
        filler.show();
        // Within reach: no larger than the desktop, its top edge on it, and part of it showing.
        const QRect desktop = filler.screen()->availableVirtualGeometry();
        const QRect placed = filler.geometry();
        EXPECT_LE(placed.width(), desktop.width()) << c.Norm;
        EXPECT_LE(placed.height(), desktop.height()) << c.Norm;
        EXPECT_GT(placed.width(), 0) << c.Norm;
        EXPECT_TRUE(desktop.contains(QPoint(qBound(desktop.left(), placed.left(), desktop.right()), placed.top()))) << c.Norm;
        EXPECT_GE(desktop.intersected(placed).width(), qMin(64, placed.width())) << c.Norm;
        filler.Storage->SetActive(false);
        filler.reject();
    }
}

TEST_F(PlacementTest, MultipleDocumentChildKeepsItsPlace)
{
    TMainFrame frame(FIni);
    frame.Storage->SetActive(false);
    frame.show();
    frame.resize(900, 700);
    QRect normal;
    for (int run = 0; run < 2; ++run) {
        auto* tree = new TFrmTree(FIni);
        tree->setAttribute(Qt::WA_DeleteOnClose);
        QMdiSubWindow* sub = frame.Mdi->addSubWindow(tree);
        sub->show();
        if (run == 0) {
            sub->setGeometry(Rect(30, 40, 330, 290));
            normal = sub->geometry();
            sub->showMaximized();
            QTest::qWait(1);
        } else {
            EXPECT_TRUE(sub->isMaximized());
            sub->showNormal();
            EXPECT_EQ(sub->geometry(), normal);
        }
        ASSERT_TRUE(sub->close());
        QTest::qWait(1);
    }
    TIniFile ini(FIni);
    EXPECT_EQ(ini.ReadString("TreeDir", "NormPos", ""), "30,40,330,290");
    EXPECT_EQ(ini.ReadString("TreeDir", "ShowCmd", ""), "1");
}

TEST_F(PlacementTest, ActiveChildWithNothingStoredKeepsItsSize)
{
    // The restore must not take a child window out of its active state: the window would be
    // laid out anew at an earlier size.
    TMainFrame frame(FIni);
    frame.Storage->SetActive(false);
    frame.show();
    frame.resize(900, 700);
    auto* tree = new TFrmTree(FIni);
    tree->Storage->SetOptions(fpState | fpPosition);
    QMdiSubWindow* sub = frame.Mdi->addSubWindow(tree);
    sub->resize(389, 531);
    sub->show();
    frame.Mdi->setActiveSubWindow(sub);
    EXPECT_EQ(sub->size(), QSize(389, 531));
    sub->close();
}

TEST_F(PlacementTest, NothingStoredNothingLost)
{
    {
        // A missing file restores nothing and is no error; a window never shown writes nothing.
        TFrmTree tree(FIni);
        tree.setGeometry(Rect(1, 2, 301, 202));
        tree.show();
        EXPECT_EQ(tree.geometry(), Rect(1, 2, 301, 202));
        EXPECT_EQ(tree.EdtFilter->text(), "*.cds");
        EXPECT_FALSE(QFileInfo::exists(FIni));
        TFrmTree never(FIni);
        never.close();
        EXPECT_FALSE(QFileInfo::exists(FIni));
    }
    // The shown one saved when it was destroyed, and says so.
    TIniFile ini(FIni);
    EXPECT_EQ(ini.ReadString("TreeDir", "Visible", ""), "1");
    EXPECT_EQ(ini.ReadString("TreeDir", "NormPos", ""), "1,2,301,202");
    EXPECT_TRUE(TApplication::instance());
}

TEST_F(PlacementTest, RefusedCloseSavesNothing)
{
    TRefusingForm form;
    auto* storage = new TFormStorage(&form);
    storage->SetIniFileName(FIni);
    form.show();
    EXPECT_FALSE(form.close());
    EXPECT_FALSE(QFileInfo::exists(FIni));
    form.Allow = true;
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(TIniFile(FIni).SectionExists("TRefusingForm"));   // the default section: the class name
}

TEST_F(PlacementTest, HigherVersionSkipsReading)
{
    WriteWholeFile(FIni, "[TreeDir]\nFormVersion=0\nNormPos=1,2,301,202\ncbRecurse_Checked=True\n\n"
                         "[TreeDir\\TFrmTree.MRUManager]\nItem_0=/old\n");
    {
        TFrmTree tree(FIni);
        tree.Storage->SetVersion(1);
        tree.setGeometry(Rect(5, 5, 105, 105));
        tree.show();
        EXPECT_EQ(tree.geometry(), Rect(5, 5, 105, 105));
        EXPECT_FALSE(tree.cbRecurse->isChecked());
        EXPECT_EQ(tree.MRUManager->RecentItems()->Count(), 0);
        tree.close();
    }
    TIniFile ini(FIni);
    EXPECT_EQ(ini.ReadString("TreeDir", "FormVersion", ""), "1");
    EXPECT_EQ(ini.ReadString("TreeDir", "NormPos", ""), "5,5,105,105");
}

TEST_F(PlacementTest, StateAndPositionFollowOptions)
{
    WriteWholeFile(FIni, "[DBFiller]\nShowCmd=3\nPixelsPerInch=96\nNormPos=40,50,440,350\n");
    TfrmDBFiller filler(FIni);
    filler.show();
    EXPECT_EQ(filler.geometry(), Rect(40, 50, 440, 350));
    EXPECT_FALSE(filler.isMaximized());   // [fpPosition]: the position comes back, the state does not
    filler.reject();

    // Another pixel density: the position is ignored, the state still applies.
    WriteWholeFile(FIni, "[DBFiller]\nShowCmd=3\nPixelsPerInch=96\nNormPos=40,50,440,350\n");
    FScreen.Set({1024, 768, 144});
    TFrmTree tree(FIni);
    tree.Storage->SetIniSection("DBFiller");
    tree.setGeometry(Rect(1, 1, 101, 101));
    tree.show();
    EXPECT_EQ(tree.normalGeometry(), Rect(1, 1, 101, 101));
    EXPECT_TRUE(tree.isMaximized());
}

TEST_F(PlacementTest, ActiveControlAndStoredValues)
{
    {
        TFrmTree tree(FIni);
        tree.Storage->SetOptions(fpState | fpPosition | fpActiveControl);
        TStoredValues* values = tree.Storage->StoredValues();
        values->Add("LastFile")->Value = "/data/a.cds";
        TStoredValue* secret = values->Add("Secret");
        secret->KeyString = "k";
        secret->Value = "pw";
        TStoredValue* counted = values->Add("Runs");
        counted->OnSave = [](TStoredValue*, QVariant& v) { v = v.toInt() + 1; };
        counted->Value = 4;
        EXPECT_THROW(values->Add("LASTFILE"), EListError);
        EXPECT_NO_THROW(values->Items(0)->SetName("lastFile"));   // its own name in another case
        tree.show();
        tree.activateWindow();
        tree.EdtFilter->setFocus();
        tree.close();
    }
    TIniFile ini(FIni);
    EXPECT_EQ(ini.ReadString("TreeDir", "ActiveControl", ""), "EdtFilter");
    EXPECT_EQ(ini.ReadString("TreeDir", "lastFile", ""), "/data/a.cds");
    EXPECT_EQ(ini.ReadString("TreeDir", "Secret", ""), KeyXorEncode("k", "pw"));
    EXPECT_EQ(ini.ReadString("TreeDir", "Runs", ""), "5");

    TFrmTree tree(FIni);
    tree.Storage->SetOptions(fpActiveControl);
    TStoredValue* secret = tree.Storage->StoredValues()->Add("Secret");
    secret->KeyString = "k";
    tree.show();
    EXPECT_EQ(secret->Value, QVariant(QString("pw")));
    EXPECT_EQ(tree.focusWidget(), tree.EdtFilter);
}

TEST_F(PlacementTest, FailingSaveIsReportedAndTheWindowStillCloses)
{
    QStringList shown;
    Application()->OnException = [&](const std::exception& e) { shown << QString::fromUtf8(e.what()); };
    TFrmTree tree(FDir.filePath("missing/Quarrow.ini"));
    tree.show();
    EXPECT_TRUE(tree.close());
    EXPECT_FALSE(tree.isVisible());
    ASSERT_EQ(shown.size(), 1);
    // The folder that cannot take the file is named.
    EXPECT_TRUE(shown[0].startsWith("Cannot save " + FDir.filePath("missing/Quarrow.ini") + ": cannot create a file in the folder "
                                    + FDir.filePath("missing")))
        << shown[0].toStdString();
}

TEST_F(PlacementTest, NamesAreCutAndDefaulted)
{
    TFormPlacement placement;
    placement.SetIniSection(QString(300, 'S'));
    // A section name is cut as it always was; a path is kept whole, or the settings would go
    // to another file.
    const QString deep = FDir.path() + QString("/%1").arg(QString(120, 'd')).repeated(3) + "/Quarrow.ini";
    placement.SetIniFileName(deep);
    EXPECT_EQ(placement.IniSection(), QString(255, 'S'));
    EXPECT_EQ(placement.IniFileName(), deep);
    EXPECT_EQ(placement.Options(), TPlacementOptions());   // not on a form
    TFrmTree tree(FIni);
    TFormStorage storage(&tree);
    EXPECT_EQ(storage.Options(), fpState | fpPosition);
    EXPECT_EQ(storage.IniSection(), "TFrmTree");
    EXPECT_TRUE(storage.IniFileName().endsWith(".INI"));

    // The storage reads and writes its own options like any stored property.
    TPropsStorage props;
    QStringList log;
    props.OnWriteText = [&](const QString&, const QString& k, const QString& v) { log << k + "=" + v; };
    props.Target = &storage;
    props.StoreOneProperty(storage.metaObject()->property(storage.metaObject()->indexOfProperty("Options")));
    EXPECT_EQ(log, QStringList{"Options=[fpState,fpPosition]"});
}

TEST_F(PlacementTest, EventsAndTheRegistryThatKeepsNothing)
{
    int saved = 0, restored = 0;   // outlive the window, which saves once more when destroyed
    TFrmTree tree(FIni);
    tree.Storage->OnSavePlacement = [&] { ++saved; };
    tree.Storage->OnRestorePlacement = [&] { ++restored; };
    tree.Storage->SetUseRegistry(true);
    tree.Storage->SetIniFileName("Software\\Quarrow");
    tree.EdtFilter->setText("*.xml");
    tree.show();
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(tree.EdtFilter->text(), "*.xml");   // nothing stored: as designed
    tree.close();
    EXPECT_EQ(saved, 1);
    EXPECT_FALSE(QFileInfo::exists(FIni));

    // Shown again after a save: read again (what was saved comes back).
    tree.Storage->SetUseRegistry(false);
    tree.Storage->SetIniFileName(FIni);
    tree.show();
    tree.close();
    tree.EdtFilter->setText("changed");
    tree.show();
    EXPECT_EQ(restored, 3);
    EXPECT_EQ(tree.EdtFilter->text(), "*.xml");
}

TEST_F(PlacementTest, SizeLimitsAndPreventResize)
{
    TFrmTree tree(FIni);
    tree.Storage->SetActive(false);
    tree.resize(400, 300);
    tree.show();
    tree.Storage->MinMaxInfo()->SetMinTrackWidth(350);
    tree.Storage->MinMaxInfo()->SetMaxTrackHeight(500);
    EXPECT_EQ(tree.minimumWidth(), 350);
    EXPECT_EQ(tree.maximumHeight(), 500);
    tree.resize(100, 900);
    EXPECT_EQ(tree.size(), QSize(350, 500));
    tree.Storage->MinMaxInfo()->Assign(TWinMinMaxInfo(nullptr));
    EXPECT_EQ(tree.minimumWidth(), 0);   // limits gone: the window's own again

    tree.Storage->SetPreventResize(true);
    tree.resize(200, 200);
    EXPECT_EQ(tree.size(), QSize(350, 500));
    EXPECT_FALSE(tree.windowFlags() & Qt::WindowMaximizeButtonHint);
}

#include "PlacementTests.moc"
