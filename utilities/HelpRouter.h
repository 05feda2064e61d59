#pragma once
// Takes over the application's help requests and routes them to a help back end, translating
// the old help command set into the compiled-help one. One router per program.
//
// The back end does the showing. The desktop one opens the help file with the desktop's viewer
// for the contents, index and context requests when the file exists (a bare name is looked
// for beside the executable), shows text popups as tool tips, and has no old-style help.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

// Help commands (the application's HelpCommand) and the compiled-help commands.
enum : int {
    HELP_CONTEXT = 0x1, HELP_QUIT = 0x2, HELP_CONTENTS = 0x3, HELP_CONTEXTPOPUP = 0x8, HELP_FINDER = 0xB,
    HELP_SETPOPUP_POS = 0xD, HELP_TAB = 0xF, HELP_KEY = 0x101, HELP_PARTIALKEY = 0x105
};
enum : int { HH_DISPLAY_TOC = 0x1, HH_DISPLAY_INDEX = 0x2, HH_DISPLAY_TEXT_POPUP = 0xE, HH_HELP_CONTEXT = 0xF, HH_CLOSE_ALL = 0x12 };

// The popup description handed to the back end.
struct THHPopup {
    int Size = 52;
    int IdString = 0;
    QString Text;
    QPoint Pos;
    int ForeColor = -1, BackColor = -1;
    int MarginLeft = -1, MarginTop = -1, MarginRight = -1, MarginBottom = -1;
    QString Font = QStringLiteral("MS Sans Serif, 8");
};

class THelpBackEnd {
public:
    virtual ~THelpBackEnd() = default;
    // Whether compiled help can be shown (loaded on first need; false may be retried).
    virtual bool LoadHtmlHelp() = 0;
    // True when the call "returned a window", i.e. showed something.
    virtual bool HtmlHelp(QWidget* window, const QString& file, int command, qintptr data) = 0;
    virtual bool HtmlHelpPopup(QWidget* window, const QString& file, const THHPopup& popup) = 0;
    virtual bool WinHelp(QWidget* window, const QString& file, int command, qintptr data) = 0;
};

class TDesktopHelpBackEnd : public THelpBackEnd {
public:
    bool LoadHtmlHelp() override { return true; }
    bool HtmlHelp(QWidget* window, const QString& file, int command, qintptr data) override;
    bool HtmlHelpPopup(QWidget* window, const QString& file, const THHPopup& popup) override;
    bool WinHelp(QWidget*, const QString&, int, qintptr) override { return false; }
    // Where a help file name leads: a path as it is, a bare name beside the executable.
    static QString HelpFilePath(const QString& file);
};

namespace HelpTypes {
Q_NAMESPACE
enum THelpType { htWinhelp, htHTMLhelp, htMixedMode };
Q_ENUM_NS(THelpType)
enum TShowType { stDefault, stMain, stPopup };
Q_ENUM_NS(TShowType)
} // namespace HelpTypes
using namespace HelpTypes;

class THelpRouter : public QObject {
    Q_OBJECT
    Q_PROPERTY(HelpTypes::THelpType HelpType READ HelpType WRITE SetHelpType)
    Q_PROPERTY(HelpTypes::TShowType ShowType MEMBER FShowType)
    Q_PROPERTY(QString Helpfile MEMBER FHelpfile)
    Q_PROPERTY(QString CHMPopupTopics MEMBER FCHMPopupTopics)
    Q_PROPERTY(bool ValidateID MEMBER FValidateID)
public:
    // Raises "Multiple instances of THelpRouter are not allowed" when one exists already.
    explicit THelpRouter(QObject* owner = nullptr);
    ~THelpRouter() override;

    static THelpRouter* Current();
    // Replaces the back end of every router (null: the desktop one).
    static void SetBackEnd(std::unique_ptr<THelpBackEnd> backEnd);
    static THelpBackEnd* BackEnd();

    THelpType HelpType() const { return FHelpType; }
    void SetHelpType(THelpType value);
    TShowType ShowType() const { return FShowType; }
    void SetShowType(TShowType value) { FShowType = value; }
    QString Helpfile() const { return FHelpfile; }
    void SetHelpfile(const QString& value) { FHelpfile = value; }
    QString CHMPopupTopics() const { return FCHMPopupTopics; }
    void SetCHMPopupTopics(const QString& value) { FCHMPopupTopics = value; }
    bool ValidateID() const { return FValidateID; }
    void SetValidateID(bool value) { FValidateID = value; }

    // Sees every request first; leaving callHelp set lets the router go on.
    std::function<bool(int command, qintptr data, bool& callHelp)> OnHelp;

    bool ShowHelpContents();
    bool ShowTextPopup(int x, int y, const QString& text, int context);
    bool RouteHelp(int command, qintptr data, bool& callHelp);
    bool HtmlHelpAvailable();

private:
    void ResolveHelpFile(QString& file, QWidget*& window) const;
    QWidget* TargetForm() const;

    THelpType FHelpType = htWinhelp;
    TShowType FShowType = stDefault;
    QString FHelpfile;
    QString FCHMPopupTopics = QStringLiteral("CSHelp.txt");
    bool FValidateID = false;
    QPoint FPopupPos;
    std::function<bool(int, qintptr, bool&)> FPreviousHelp;
};
