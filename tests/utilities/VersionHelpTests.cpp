#include "UtilitiesTestSupport.h"
#include "utilities/HelpRouter.h"
#include "utilities/VzHook.h"
#include "utilities/VzVerInf.h"

#include <QCursor>
#include <QTest>

TEST(VersionInfo, RunningProgramAndFallbacks)
{
    std::unique_ptr<TVersionInfo> own = CreateModuleVersionInfo();
    EXPECT_TRUE(own->Valid());
    EXPECT_EQ(own->GetFileVersionText(), QUARROW_FILE_VERSION);
    EXPECT_EQ(own->TranslationText(), "040904E4");
    EXPECT_EQ(own->FixedFileVersion() >> 48, quint64(QUARROW_VERSION_MAJOR));

    TVersionResource r;
    r.Major = 1;
    r.Minor = 2;
    r.Release = 3;
    r.Build = 4;
    TVersionInfo noText("x.exe", &r);
    EXPECT_EQ(noText.GetFileVersionText(), "1.2.3.4");
    r.FileVersion = "1.2 beta";
    EXPECT_EQ(TVersionInfo("x.exe", &r).GetFileVersionText(), "1.2 beta");
    r.HasTranslation = false;   // no string table to look in: the fixed version
    TVersionInfo untranslated("x.exe", &r);
    EXPECT_EQ(untranslated.StringValue("FileVersion"), "");
    EXPECT_EQ(untranslated.GetFileVersionText(), "1.2.3.4");

    TVersionInfo other("/bin/sh");
    EXPECT_FALSE(other.Valid());
    EXPECT_EQ(other.GetFileVersionText(), "");
    EXPECT_EQ(other.FixedInfo(), nullptr);
    EXPECT_EQ(TVersionInfo::FormatFileVersion(0x0001000200030004ull), "1.2.3.4");
}

namespace {
struct TCall {
    QString Kind;
    QString File;
    int Command;
    qintptr Data;
    bool operator==(const TCall&) const = default;
};

class TRecordingHelp : public THelpBackEnd {
public:
    explicit TRecordingHelp(std::vector<TCall>* calls, bool* available) : FCalls(calls), FAvailable(available) {}
    bool LoadHtmlHelp() override { return *FAvailable; }
    bool HtmlHelp(QWidget*, const QString& file, int command, qintptr data) override
    {
        FCalls->push_back({"html", file, command, data});
        return true;
    }
    bool HtmlHelpPopup(QWidget*, const QString& file, const THHPopup& popup) override
    {
        FCalls->push_back({"popup", file, popup.IdString, qintptr(popup.Pos.x()) << 16 | popup.Pos.y()});
        return true;
    }
    bool WinHelp(QWidget*, const QString& file, int command, qintptr data) override
    {
        FCalls->push_back({"winhelp", file, command, data});
        return false;
    }

private:
    std::vector<TCall>* FCalls;
    bool* FAvailable;
};

class HelpRouterTest : public ::testing::Test {
protected:
    void SetUp() override { THelpRouter::SetBackEnd(std::make_unique<TRecordingHelp>(&Calls, &Available)); }
    void TearDown() override { THelpRouter::SetBackEnd(nullptr); }
    std::vector<TCall> Calls;
    bool Available = true;
};

void PrintTo(const TCall& c, std::ostream* os)
{
    *os << c.Kind.toStdString() << "(" << c.File.toStdString() << ", " << c.Command << ", " << c.Data << ")";
}
} // namespace

TEST_F(HelpRouterTest, CommandsReachTheBackEnd)
{
    struct Case { THelpType type; TShowType show; int command; qintptr data; std::vector<TCall> expected; bool result; };
    const Case cases[] = {
        {htHTMLhelp, stDefault, HELP_TAB, 0, {{"html", "Quarrow.chm", HH_DISPLAY_TOC, 0}}, true},
        {htHTMLhelp, stDefault, HELP_TAB, 5, {{"html", "Quarrow.chm", HH_DISPLAY_INDEX, 0}}, true},
        {htHTMLhelp, stDefault, HELP_CONTENTS, 9, {{"html", "Quarrow.chm", HH_DISPLAY_TOC, 0}}, true},
        {htHTMLhelp, stDefault, HELP_FINDER, 0, {{"html", "Quarrow.chm", HH_DISPLAY_TOC, 0}}, true},
        {htHTMLhelp, stDefault, HELP_CONTEXT, 1234, {{"html", "Quarrow.chm", HH_HELP_CONTEXT, 1234}}, true},
        {htHTMLhelp, stDefault, HELP_KEY, 77, {{"html", "Quarrow.chm", HH_DISPLAY_INDEX, 77}}, true},
        {htHTMLhelp, stDefault, HELP_QUIT, 3, {{"html", "", HH_CLOSE_ALL, 0}}, true},
        {htHTMLhelp, stDefault, 0x999, 0, {}, false},
        {htHTMLhelp, stDefault, HELP_CONTEXTPOPUP, 42, {{"popup", "Quarrow.chm::/CSHelp.txt", 42, 100 << 16 | 200}}, true},
        {htHTMLhelp, stMain, HELP_CONTEXTPOPUP, 42, {{"html", "Quarrow.chm", HH_HELP_CONTEXT, 42}}, true},
        {htMixedMode, stDefault, HELP_CONTEXTPOPUP, 42, {{"winhelp", "Quarrow.hlp", HELP_CONTEXTPOPUP, 42}}, false},
        {htMixedMode, stDefault, HELP_CONTEXT, 42, {{"html", "Quarrow.chm", HH_HELP_CONTEXT, 42}}, true},
        {htWinhelp, stDefault, HELP_CONTENTS, 0, {{"winhelp", "Quarrow.hlp", HELP_CONTENTS, 0}}, false},
        {htWinhelp, stDefault, 0, 0, {}, true},
    };
    QCursor::setPos(100, 200);
    for (const Case& c : cases) {
        THelpRouter router;
        router.SetHelpType(c.type);
        router.SetShowType(c.show);
        router.SetHelpfile("Quarrow.chm");
        Calls.clear();
        EXPECT_EQ(Application()->HelpCommand(c.command, c.data), c.result) << c.command;
        EXPECT_EQ(Calls, c.expected) << "type " << c.type << " command " << c.command;
    }
}

TEST_F(HelpRouterTest, LifeCycleAndHandlers)
{
    {
        THelpRouter router;
        router.SetHelpType(htHTMLhelp);
        router.SetHelpfile("Quarrow.chm");
        EXPECT_EQ(THelpRouter::Current(), &router);
        EXPECT_THROW(THelpRouter second, Exception);
        EXPECT_TRUE(router.ShowHelpContents());

        // A handler that takes the request: nothing reaches the back end.
        router.OnHelp = [](int, qintptr, bool& callHelp) {
            callHelp = false;
            return true;
        };
        Calls.clear();
        EXPECT_TRUE(router.ShowHelpContents());
        EXPECT_TRUE(Calls.empty());
        router.OnHelp = nullptr;

        // No compiled help: the request stays with the framework, which has none.
        Available = false;
        EXPECT_FALSE(router.ShowHelpContents());
        EXPECT_TRUE(Calls.empty());
        Available = true;

        // Popup positions: the one set, then the cursor again.
        QCursor::setPos(5, 6);
        Application()->HelpCommand(HELP_SETPOPUP_POS, (qintptr(30) << 16) | 20);
        Application()->HelpCommand(HELP_CONTEXTPOPUP, 1);
        Application()->HelpCommand(HELP_CONTEXTPOPUP, 2);
        ASSERT_EQ(Calls.size(), 2u);
        EXPECT_EQ(Calls[0].Data, qintptr(20) << 16 | 30);
        EXPECT_EQ(Calls[1].Data, qintptr(5) << 16 | 6);

        // A form's own help file counts, unless the router has one.
        QWidget form;
        form.setProperty("HelpFile", "Own.chm");
        form.show();
        QApplication::setActiveWindow(&form);
        router.SetHelpfile("");
        Calls.clear();
        Application()->HelpCommand(HELP_CONTEXT, 3);
        router.SetHelpfile("Quarrow.chm");
        Application()->HelpCommand(HELP_CONTEXT, 3);
        ASSERT_EQ(Calls.size(), 2u);
        EXPECT_EQ(Calls[0].File, "Own.chm");
        EXPECT_EQ(Calls[1].File, "Quarrow.chm");
        Calls.clear();
    }
    // Going away closes the help windows and gives the application its handler back.
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].Command, HH_CLOSE_ALL);
    EXPECT_EQ(THelpRouter::Current(), nullptr);
    EXPECT_FALSE(Application()->OnHelp);
}

TEST(HelpBackEnd, AMissingHelpFileIsSaidByName)
{
    TDesktopHelpBackEnd desktop;
    auto messageOf = [&](const QString& file, int command) {
        try {
            desktop.HtmlHelp(nullptr, file, command, 0);
        } catch (const Exception& e) {
            return e.Message();
        }
        return QString();
    };
    EXPECT_EQ(messageOf("/nonexistent/Quarrow.chm", HH_DISPLAY_TOC), "The help file /nonexistent/Quarrow.chm is missing.");
    EXPECT_EQ(messageOf("NoSuchHelp.chm", HH_HELP_CONTEXT),
              "The help file " + QCoreApplication::applicationDirPath() + "/NoSuchHelp.chm is missing.");
    EXPECT_FALSE(desktop.HtmlHelp(nullptr, QString(), HH_DISPLAY_TOC, 0));
    EXPECT_FALSE(desktop.WinHelp(nullptr, "Quarrow.hlp", HELP_CONTENTS, 0));
    EXPECT_EQ(TDesktopHelpBackEnd::HelpFilePath("/a/b.chm"), "/a/b.chm");
    EXPECT_EQ(TDesktopHelpBackEnd::HelpFilePath("b.chm"), QCoreApplication::applicationDirPath() + "/b.chm");
}

TEST(WindowHook, HooksShareOneFilterAndRunLastFirst)
{
    QWidget w;
    QStringList log;
    TVzWindowHook first, second;
    auto record = [&](const QString& who, bool handle) {
        return [&log, who, handle](QObject*, QEvent* e, bool& handled) {
            if (e->type() != QEvent::User) return;
            log << who;
            handled = handle;
        };
    };
    first.BeforeMessage = record("first before", false);
    first.AfterMessage = record("first after", false);
    second.BeforeMessage = record("second before", false);
    second.AfterMessage = record("second after", false);
    first.SetWinControl(&w);
    second.SetWinControl(&w);
    ASSERT_TRUE(FindHookFor(&w));
    EXPECT_EQ(FindHookFor(&w)->HookCount(), 2);

    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&w, &e);
    EXPECT_EQ(log, QStringList({"second before", "first before", "second after", "first after"}));

    log.clear();
    second.BeforeMessage = record("second before", true);   // handled: nobody else sees it
    QCoreApplication::sendEvent(&w, &e);
    EXPECT_EQ(log, QStringList{"second before"});

    second.SetActive(false);
    first.SetWinControl(nullptr);
    TControlHook* hook = FindHookFor(&w);
    ASSERT_TRUE(hook);
    EXPECT_FALSE(hook->Subclassed());
    QTest::qWait(1);   // freed once the event loop runs
    EXPECT_EQ(FindHookFor(&w), nullptr);
    log.clear();
    QCoreApplication::sendEvent(&w, &e);
    EXPECT_TRUE(log.isEmpty());
}
