#include "platform/vcl/Forms.h"

#include "platform/core/Classes.h"
#include "platform/vcl/Dialogs.h"

#include <QCursor>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

namespace {
TApplication* GApplication = nullptr;
const char* const AllowedWhileBusy = "quarrowAllowedWhileBusy";

bool IsUserInput(QEvent::Type t)
{
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

bool AllowedTarget(QObject* receiver)
{
    for (QObject* o = receiver; o; o = o->parent())
        if (o->property(AllowedWhileBusy).toBool()) return true;
    return false;
}
} // namespace

TApplication* Application() { return GApplication; }

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    GApplication = this;
    setApplicationName(QStringLiteral("Quarrow"));
    setApplicationDisplayName(QStringLiteral("Quarrow"));
    // The layers below the widgets report and focus through these.
    SetApplicationExceptionHandler([this](const std::exception& e) { ShowException(e); });
    SetFocusControlHandler([](QObject* control) {
        auto* w = qobject_cast<QWidget*>(control);
        if (!w || !w->isEnabled()) return false;
        w->setFocus();
        return true;
    });
    SetApplicationConfirmHandler([](const QString& question) { return MessageDlg(question, mtConfirmation, mbYesNo) == mrYes; });
}

TApplication::~TApplication()
{
    if (GApplication != this) return;
    GApplication = nullptr;
    SetApplicationExceptionHandler(nullptr);
    SetFocusControlHandler(nullptr);
    SetApplicationConfirmHandler(nullptr);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    if (FBusyDepth > 0 && IsUserInput(event->type()) && receiver->isWidgetType() && !AllowedTarget(receiver)) {
        if (event->type() == QEvent::Close) event->ignore();
        return true;
    }
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowException(Exception(QStringLiteral("Unknown error")));
    }
    return true;
}

void TApplication::ShowException(const std::exception& e)
{
    if (dynamic_cast<const EAbort*>(&e)) return;
    if (OnException) { OnException(e); return; }
    QString msg;
    if (auto* ex = dynamic_cast<const Exception*>(&e)) msg = ex->Message();
    else msg = QString::fromUtf8(e.what());
    if (!msg.isEmpty() && !msg.endsWith('.') && !msg.endsWith('?') && !msg.endsWith('!')) msg += '.';
    MessageBox(msg, applicationDisplayName(), MB_OK | MB_ICONERROR);
}

void TApplication::Guard(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        if (GApplication) GApplication->ShowException(e);
    } catch (...) {
        if (GApplication) GApplication->ShowException(Exception(QStringLiteral("Unknown error")));
    }
}

QString TApplication::ExeName() const { return applicationFilePath(); }

bool TApplication::HelpCommand(int command, qintptr data)
{
    bool callHelp = true;
    bool result = false;
    if (OnHelp) result = OnHelp(command, data, callHelp);
    return callHelp ? false : result;
}

void TApplication::SetHint(const QString& hint)
{
    if (hint == FHint) return;
    FHint = hint;
    if (OnHint) OnHint();
}

void TApplication::ProcessMessages() { processEvents(QEventLoop::AllEvents); }

void TApplication::SetAllowedWhileBusy(QWidget* w, bool allowed) { w->setProperty(AllowedWhileBusy, allowed); }

TBusyGuard::TBusyGuard()
{
    if (GApplication) ++GApplication->FBusyDepth;
}

TBusyGuard::~TBusyGuard()
{
    if (GApplication) --GApplication->FBusyDepth;
}

TBusyCursor::TBusyCursor()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

TBusyCursor::~TBusyCursor()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
}

void PostCall(QObject* context, std::function<void()> fn)
{
    QMetaObject::invokeMethod(context, [fn = std::move(fn)] { TApplication::Guard(fn); }, Qt::QueuedConnection);
}

void SingleShot(int msec, QObject* context, std::function<void()> fn)
{
    QTimer::singleShot(msec, context, [fn = std::move(fn)] { TApplication::Guard(fn); });
}
