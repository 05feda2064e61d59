#pragma once
// The application object: event loop, the exception boundary, hints, busy state.

#include "platform/core/SysUtils.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <functional>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // Every event passes here: an exception escaping a handler ends at this boundary
    // and is shown (EAbort silently); the program goes on.
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an exception's message the way the program does; EAbort shows nothing.
    void ShowException(const std::exception& e);
    // Runs a callable at the exception boundary (timers and queued calls use it too).
    static void Guard(const std::function<void()>& fn);

    // Called instead of ShowException when set (tests record what would be shown).
    std::function<void(const std::exception&)> OnException;

    QString ExeName() const;

    // The program's main window (the frame); null before it is set.
    QWidget* MainForm() const { return FMainForm; }
    void SetMainForm(QWidget* form) { FMainForm = form; }

    // Help requests (help commands with their data). OnHelp sees every request first, with
    // callHelp set; when it leaves callHelp set, the platform's own help would take the
    // request, and there is none here. HelpFile is the program's own help file, if any.
    std::function<bool(int command, qintptr data, bool& callHelp)> OnHelp;
    QString HelpFile;
    bool HelpCommand(int command, qintptr data);
    QString Hint() const { return FHint; }
    void SetHint(const QString& hint);
    std::function<void()> OnHint;

    // Lets pending events through during a long loop. While the loop runs (a TBusyGuard
    // exists), user input reaches only widgets marked with SetAllowedWhileBusy, so that no
    // command starts twice inside the loop while its Cancel button still works.
    void ProcessMessages();
    bool Busy() const { return FBusyDepth > 0; }
    static void SetAllowedWhileBusy(QWidget* w, bool allowed = true);

private:
    friend class TBusyGuard;
    int FBusyDepth = 0;
    QString FHint;
    QPointer<QWidget> FMainForm;
};

// The one application object (null before it is created).
TApplication* Application();

// Marks a long operation: see TApplication::ProcessMessages.
class TBusyGuard {
public:
    TBusyGuard();
    ~TBusyGuard();
    TBusyGuard(const TBusyGuard&) = delete;
    TBusyGuard& operator=(const TBusyGuard&) = delete;
};

// The hourglass for the life of the object; nests.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// Queues fn to run on the event loop, at the exception boundary.
void PostCall(QObject* context, std::function<void()> fn);
// Runs fn once after msec milliseconds, at the exception boundary; the timer dies with context.
void SingleShot(int msec, QObject* context, std::function<void()> fn);
