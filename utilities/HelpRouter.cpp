#include "utilities/HelpRouter.h"

#include "platform/vcl/Forms.h"
#include "platform/core/ProgramFolder.h"
#include "platform/core/SysUtils.h"
#include "utilities/AppUtils.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QToolTip>
#include <QUrl>
#include <QWidget>

namespace {
THelpRouter* GCurrent = nullptr;

std::unique_ptr<THelpBackEnd>& BackEndSlot()
{
    static std::unique_ptr<THelpBackEnd> backEnd;
    return backEnd;
}
} // namespace

QString TDesktopHelpBackEnd::HelpFilePath(const QString& file)
{
    if (file.isEmpty() || file.contains('/')) return file;
    const QString beside = IncludeTrailingPathDelimiter(QCoreApplication::applicationDirPath()) + file;
    if (QFileInfo::exists(beside)) return beside;
    const QString data = ProgramDataFolder() + file;
    return QFileInfo::exists(data) ? data : beside;
}

bool TDesktopHelpBackEnd::HtmlHelp(QWidget*, const QString& file, int command, qintptr)
{
    switch (command) {
    case HH_DISPLAY_TOC: case HH_DISPLAY_INDEX: case HH_HELP_CONTEXT: {
        // A missing help file shows nothing.
        const QString path = HelpFilePath(file);
        if (path.isEmpty() || !QFileInfo(path).isFile()) return false;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    default: return false;
    }
}

bool TDesktopHelpBackEnd::HtmlHelpPopup(QWidget* window, const QString&, const THHPopup& popup)
{
    // Topics inside the compiled help file cannot be read here; plain texts can be shown.
    if (popup.Text.isEmpty()) return false;
    QToolTip::showText(popup.Pos, popup.Text, window);
    return true;
}

THelpRouter::THelpRouter(QObject* owner) : QObject(owner)
{
    if (GCurrent) throw Exception(QStringLiteral("Multiple instances of THelpRouter are not allowed"));
    GCurrent = this;
    if (TApplication* app = Application()) {
        FPreviousHelp = app->OnHelp;
        app->OnHelp = [this](int command, qintptr data, bool& callHelp) { return RouteHelp(command, data, callHelp); };
    }
}

THelpRouter::~THelpRouter()
{
    if (TApplication* app = Application()) {
        if (app->HelpFile.isEmpty()) TApplication::Guard([app] { app->HelpCommand(HELP_QUIT, 0); });
        app->OnHelp = FPreviousHelp;
    }
    if (GCurrent == this) GCurrent = nullptr;
}

THelpRouter* THelpRouter::Current() { return GCurrent; }

void THelpRouter::SetBackEnd(std::unique_ptr<THelpBackEnd> backEnd) { BackEndSlot() = std::move(backEnd); }

THelpBackEnd* THelpRouter::BackEnd()
{
    std::unique_ptr<THelpBackEnd>& slot = BackEndSlot();
    if (!slot) slot = std::make_unique<TDesktopHelpBackEnd>();
    return slot.get();
}

void THelpRouter::SetHelpType(THelpType value)
{
    if (value == FHelpType) return;
    FHelpType = value;
    if (FHelpType != htWinhelp) HtmlHelpAvailable();
}

bool THelpRouter::HtmlHelpAvailable()
{
    try {
        return BackEnd()->LoadHtmlHelp();
    } catch (...) {
        return false;   // tried again at the next need
    }
}

bool THelpRouter::ShowHelpContents()
{
    return Application() ? Application()->HelpCommand(HELP_TAB, 0) : false;
}

QWidget* THelpRouter::TargetForm() const
{
    if (QWidget* active = QApplication::activeWindow()) return active;
    return FormOf(parent());
}

void THelpRouter::ResolveHelpFile(QString& file, QWidget*& window) const
{
    TApplication* app = Application();
    file = app ? app->HelpFile : QString();
    window = app ? app->MainForm() : nullptr;
    if (QWidget* target = TargetForm()) {
        const QString own = target->property("HelpFile").toString();
        if (!own.isEmpty()) {
            window = target;
            file = own;
        }
    }
    if (!FHelpfile.isEmpty()) {
        file = FHelpfile;
        window = app ? app->MainForm() : nullptr;
    }
}

bool THelpRouter::RouteHelp(int command, qintptr data, bool& callHelp)
{
    bool result = false;
    if (OnHelp) result = OnHelp(command, data, callHelp);
    if (callHelp && FPreviousHelp) result = FPreviousHelp(command, data, callHelp);
    if (!callHelp) return result;

    if (FShowType == stMain) {
        if (command == HELP_CONTEXTPOPUP) command = HELP_CONTEXT;
        else if (command == HELP_SETPOPUP_POS) command = 0;
    }
    QString file;
    QWidget* window = nullptr;
    ResolveHelpFile(file, window);
    const bool html = FHelpType == htHTMLhelp
                   || (FHelpType == htMixedMode && command != HELP_CONTEXTPOPUP && command != HELP_SETPOPUP_POS);
    if (!html) {
        result = command != 0 ? BackEnd()->WinHelp(window, ChangeFileExt(file, QStringLiteral(".hlp")), command, data) : true;
        callHelp = false;
        return result;
    }
    if (!HtmlHelpAvailable()) return result;
    file = ChangeFileExt(file, QStringLiteral(".chm"));
    callHelp = false;
    switch (command) {
    case HELP_CONTEXT: return BackEnd()->HtmlHelp(window, file, HH_HELP_CONTEXT, data);
    case HELP_QUIT: return BackEnd()->HtmlHelp(window, QString(), HH_CLOSE_ALL, 0);
    case HELP_CONTENTS: case HELP_FINDER: return BackEnd()->HtmlHelp(window, file, HH_DISPLAY_TOC, 0);
    case HELP_TAB: return BackEnd()->HtmlHelp(window, file, data == 0 ? HH_DISPLAY_TOC : HH_DISPLAY_INDEX, 0);
    case HELP_KEY: case HELP_PARTIALKEY: return BackEnd()->HtmlHelp(window, file, HH_DISPLAY_INDEX, data);
    case HELP_CONTEXTPOPUP: {
        const QPoint at = FPopupPos.isNull() ? QCursor::pos() : FPopupPos;
        ShowTextPopup(at.x(), at.y(), QString(), int(data));
        FPopupPos = QPoint();
        return true;
    }
    case HELP_SETPOPUP_POS:
        FPopupPos = QPoint(qint16(data & 0xFFFF), qint16((data >> 16) & 0xFFFF));
        return false;
    default: return false;
    }
}

bool THelpRouter::ShowTextPopup(int x, int y, const QString& text, int context)
{
    if (!HtmlHelpAvailable()) return false;
    THHPopup popup;
    popup.IdString = text.isEmpty() ? context : 0;
    popup.Text = text;
    popup.Pos = QPoint(x, y);
    if (text.isEmpty()) {
        if (FCHMPopupTopics.isEmpty()) FCHMPopupTopics = QStringLiteral("CSHelp.txt");
        QString file;
        QWidget* window = nullptr;
        ResolveHelpFile(file, window);
        return BackEnd()->HtmlHelpPopup(window, ChangeFileExt(file, QStringLiteral(".chm")) + "::/" + FCHMPopupTopics, popup);
    }
    return BackEnd()->HtmlHelpPopup(TargetForm(), QString(), popup);
}
