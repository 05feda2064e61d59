#pragma once
// Base of the workbench's child windows (folder tree, data, structure and migration windows):
// a form that lives in the frame's multiple-document area, knows when it becomes the active
// child, may refuse to close, and frees itself when closed.
//
// Windows find one another by caption, so every child sets its caption with SetCaption and
// the frame and the read-only test walk OpenForms().

#include <QList>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

class QMdiArea;
class QShowEvent;

// The frame the child windows live in. The frame registers itself while it exists; without
// one (a window on its own, as in a test) child windows are top-level windows.
class TChildHost {
public:
    virtual ~TChildHost() = default;
    virtual QWidget* HostWindow() = 0;
    virtual QMdiArea* ChildArea() const = 0;
    // Its own caption: its title also shows a maximised child's.
    virtual QString HostCaption() const = 0;
};
void SetChildHost(TChildHost* host);
TChildHost* ChildHost();

// Tells a window's first show (the program's, not the window system's) from later ones.
class TFirstShow {
public:
    bool Take(const QShowEvent* event);

private:
    bool FDone = false;
};

class TMDIChildForm : public QWidget {
    Q_OBJECT
public:
    explicit TMDIChildForm(QWidget* parent = nullptr);
    ~TMDIChildForm() override;

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }

    // The outer size of the window (its child frame included).
    void SetFormSize(int width, int height);
    QSize FormSize() const { return FFormSize; }
    // Puts the form into the frame's child area with its outer size and shows it; with no
    // frame (a test) the form becomes a top-level window of that size.
    void ShowChild();
    QMdiSubWindow* SubWindow() const { return FSubWindow; }
    // The window whose geometry the user sees: the child frame, or the form itself.
    QWidget* OuterWindow();
    // True while this is the frame's active child.
    bool IsActiveChild() const { return FActive; }
    // Closed (or closing): no longer one of the program's open windows.
    bool IsClosed() const { return FClosed; }

    // Asked before the window closes; false keeps it open.
    virtual bool CloseQuery() { return true; }
    // Closes the window (through its child frame); false when it refused.
    bool CloseChild();
    // The frame asked every child already: the next close does not ask again.
    void SetCloseAnswered(bool answered) { FCloseAnswered = answered; }

    // Every child form that exists, in creation order.
    static QList<TMDIChildForm*> Instances();

protected:
    // The window became the frame's active child, or stopped being it.
    virtual void FormActivate() {}
    virtual void FormDeactivate() {}
    // The close was allowed; the window is freed afterwards.
    virtual void FormClose() {}
    // The window is shown for the first time (its stored settings are restored by now).
    virtual void FormShow() {}

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ActiveChildChanged(QMdiSubWindow* active);

    QPointer<QMdiSubWindow> FSubWindow;
    QSize FFormSize{400, 300};
    bool FActive = false;
    bool FClosed = false;
    bool FCloseAnswered = false;
    TFirstShow FFirstShow;
};

// The program's open windows in screen order, front first: visible dialogs, the frame's
// child windows by stacking order, child forms outside the frame, then the frame. Each
// window once; closed ones are left out.
QList<QWidget*> OpenForms();
// A window's own caption. The frame's title also carries the caption of a maximised child;
// its own caption is the program's name.
QString OwnCaption(const QWidget* form);
// Brings the open window with exactly this caption to the front (restored when minimised);
// false when there is none.
bool ActivateWindowByCaption(const QString& caption);
