#include "UtilitiesTestSupport.h"

#include <QDialog>
#include <QMainWindow>
#include <QMdiArea>
#include <QTest>

namespace {
class TFrmTree : public QWidget {
    Q_OBJECT
public:
    TFrmTree() { setObjectName("FrmTree"); }
};

QRect Rect(int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); }
} // namespace

TEST(SettingsRoutines, DefaultNames)
{
    TFrmTree form;
    auto* check = new QWidget(&form);
    check->setObjectName("cbRecurse");
    auto* manager = new QObject(&form);
    manager->setObjectName("MRUManager");
    QObject loose;
    loose.setObjectName("Loose");
    EXPECT_EQ(DefaultSettingsSection(&form), "TFrmTree");
    EXPECT_EQ(DefaultSettingsSection(check), "TFrmTreecbRecurse");
    EXPECT_EQ(DefaultSettingsSection(manager), "TFrmTree.MRUManager");
    EXPECT_EQ(DefaultSettingsSection(&loose), "Loose");
    EXPECT_EQ(DefaultSettingsSection(nullptr), "");

    EXPECT_EQ(DefaultSettingsFileName(), ExtractFileName(QCoreApplication::applicationFilePath()) + ".INI");
    DefaultSettingsFileNameHook = [] { return QStringLiteral("Other.ini"); };
    EXPECT_EQ(DefaultSettingsFileName(), "Other.ini");
    DefaultSettingsFileNameHook = nullptr;
    DefaultCompanyName = "Acme";
    EXPECT_EQ(DefaultSettingsRegistryKey(), "Software\\Acme\\" + ExtractFileName(QCoreApplication::applicationFilePath()));
    DefaultCompanyName.clear();
}

TEST_F(SettingsTest, QuotedValuesSurviveTheRoundTrip)
{
    const QStringList values = {"\"abc\"", "'x'", "'", "\"", "a\"", "\"a", "", "plain", "\"mixed'"};
    {
        TIniFile ini(FIni);
        for (int i = 0; i < values.size(); ++i) SettingsWriteString(&ini, "S", QString("v%1").arg(i), values[i]);
    }
    EXPECT_EQ(IniBytes(), "[S]\nv0=\"\"abc\"\"\nv1=\"'x'\"\nv2=\"'\"\nv3=\"\"\"\nv4=a\"\nv5=\"a\nv6=\nv7=plain\nv8=\"mixed'\n");
    TIniFile ini(FIni);
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(SettingsReadString(&ini, "S", QString("v%1").arg(i), "?"), values[i]) << values[i].toStdString();

    TRegIniFile reg("Software\\Quarrow");
    SettingsWriteString(&reg, "S", "k", "\"q\"");
    EXPECT_EQ(SettingsReadString(&reg, "S", "k", "d"), "d");
    EXPECT_EQ(SettingsReadString(nullptr, "S", "k", "d"), "d");
    SettingsWriteString(nullptr, "S", "k", "v");   // nothing to write to: nothing happens
}

TEST_F(SettingsTest, PlacementKeysAndTheirOrder)
{
    QWidget form;
    form.setGeometry(Rect(100, 80, 600, 480));
    {
        TIniFile ini(FIni);
        ini.BeginUpdate();
        WriteWindowPlacement(&form, &ini, "MainForm");
        ini.EndUpdate();
    }
    EXPECT_EQ(IniBytes(), "[MainForm]\n"
                          "Flags=0\n"
                          "ShowCmd=1\n"
                          "PixelsPerInch=96\n"
                          "MinMaxPos(1024x768)=-1,-1,-1,-1\n"
                          "MinMaxPos=-1,-1,-1,-1\n"
                          "NormPos(1024x768)=100,80,600,480\n"
                          "NormPos=100,80,600,480\n");
    form.setWindowState(Qt::WindowMaximized);
    TIniFile ini(FIni);
    WriteWindowPlacement(&form, &ini, "MainForm");
    EXPECT_EQ(ini.ReadString("MainForm", "ShowCmd", ""), "3");
    EXPECT_EQ(ini.ReadString("MainForm", "NormPos", ""), "100,80,600,480");   // the normal rectangle
}

TEST_F(SettingsTest, ReadingPlacement)
{
    struct Case {
        const char* name;
        const char* file;
        TScreenMetrics screen;
        bool fixedSize;
        QRect expected;
    };
    const TScreenMetrics big{1280, 1024, 96};
    const TScreenMetrics dense{1024, 768, 120};
    const QRect start = Rect(10, 20, 210, 170);
    const Case cases[] = {
        {"suffixed key preferred", "NormPos(1024x768)=1,2,301,202\nNormPos=5,5,50,50\n", {}, false, Rect(1, 2, 301, 202)},
        {"other screen size: bare key", "NormPos(1024x768)=1,2,301,202\nNormPos=5,6,55,66\n", big, false, Rect(5, 6, 55, 66)},
        {"blanks between numbers", "NormPos=7 8 107 108\n", {}, false, Rect(7, 8, 107, 108)},
        {"bad words give the current ones", "NormPos=30,x,330,\n", {}, false, Rect(30, 20, 330, 170)},
        {"fewer words", "NormPos=30\n", {}, false, Rect(30, 20, 210, 170)},
        {"inverted rectangle ignored", "NormPos=300,20,100,170\n", {}, false, start},
        {"empty height ignored", "NormPos=0,50,100,50\n", {}, false, start},
        {"other pixel density ignored", "NormPos=1,2,301,202\nPixelsPerInch=96\n", dense, false, start},
        {"fixed-size window keeps its size", "NormPos=40,50,900,700\n", {}, true, Rect(40, 50, 240, 200)},
        {"nothing stored", "Other=1\n", {}, false, start},
    };
    for (const Case& c : cases) {
        WriteWholeFile(FIni, QByteArray("[W]\n") + c.file);
        FScreen.Set(c.screen);
        QWidget form;
        form.setGeometry(start);
        if (c.fixedSize) form.setFixedSize(start.size());
        TIniFile ini(FIni);
        ReadWindowPlacement(&form, &ini, "W", false, true);
        EXPECT_EQ(form.geometry(), c.expected) << c.name;
        EXPECT_EQ(form.windowState(), Qt::WindowNoState) << c.name;
    }
}

TEST_F(SettingsTest, ReadingState)
{
    struct Case { const char* file; bool mdiFrame; bool isMain; Qt::WindowState expected; };
    const Case cases[] = {
        {"ShowCmd=3\n", false, false, Qt::WindowMaximized},
        {"ShowCmd=1\n", true, true, Qt::WindowNoState},
        {"ShowCmd=9\n", false, false, Qt::WindowNoState},
        {"ShowCmd=2\n", false, false, Qt::WindowMinimized},   // not the main form: at once
        {"ShowCmd=0\n", false, false, Qt::WindowNoState},
        {"", true, true, Qt::WindowNoState},                  // a first start: the frame as designed
        {"ShowCmd=0\n", true, true, Qt::WindowMaximized},     // a stored state of no kind: the frame's default
        {"ShowCmd=42\n", true, false, Qt::WindowNoState},     // not the main form: no such default
    };
    QWidget otherMain;
    for (const Case& c : cases) {
        WriteWholeFile(FIni, QByteArray("[W]\n") + c.file);
        QMainWindow form;
        if (c.mdiFrame) form.setCentralWidget(new QMdiArea);
        Application()->SetMainForm(c.isMain ? static_cast<QWidget*>(&form) : &otherMain);
        TIniFile ini(FIni);
        ReadWindowPlacement(&form, &ini, "W", true, false);
        EXPECT_EQ(form.windowState(), c.expected) << c.file;
    }
}

TEST_F(SettingsTest, MinimizedMainWindowMinimizesOnceItIsUp)
{
    WriteWholeFile(FIni, "[W]\nShowCmd=2\n");
    QWidget form;
    TIniFile ini(FIni);
    ReadWindowPlacement(&form, &ini, "W", true, true);   // no main form yet: this one counts as it
    EXPECT_EQ(form.windowState(), Qt::WindowNoState);
    QTest::qWait(10);
    EXPECT_TRUE(form.windowState() & Qt::WindowMinimized);
}

#include "AppUtilsTests.moc"
