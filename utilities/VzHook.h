#pragma once
// Sees every event of a widget before and after the widget's own handling, without the
// widget's cooperation. Several hooks may watch one widget; they share one event filter.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class TControlHook;

class TVzWindowHook : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QWidget* WinControl READ WinControl WRITE SetWinControl)
public:
    // handled set by a before-handler keeps the event from the widget and from the after-handlers.
    using THookMessageEvent = std::function<void(QObject* sender, QEvent* event, bool& handled)>;

    explicit TVzWindowHook(QObject* owner = nullptr);
    ~TVzWindowHook() override;

    bool Active() const { return FActive; }
    void SetActive(bool value);
    QWidget* WinControl() const;
    void SetWinControl(QWidget* control);
    void AttachToControl();
    void DetachFromControl();

    THookMessageEvent BeforeMessage;
    THookMessageEvent AfterMessage;

protected:
    virtual void DoBeforeMessage(QEvent* event, bool& handled);
    virtual void DoAfterMessage(QEvent* event, bool& handled);

private:
    friend class TControlHook;
    QPointer<QWidget> FControl;
    TControlHook* FControlHook = nullptr;
    bool FActive = true;
    bool FDestroying = false;
};

// One per watched widget: the event filter the window hooks share.
class TControlHook : public QObject {
    Q_OBJECT
public:
    explicit TControlHook(QWidget* control);
    ~TControlHook() override;

    QWidget* Control() const { return FControl; }
    void SetControl(QWidget* control);
    int HookCount() const { return int(FHooks.size()); }
    bool Subclassed() const { return FSubclassed; }
    void AddWindowHook(TVzWindowHook* hook);
    void RemoveWindowHook(TVzWindowHook* hook);
    // Hooks are called from the last attached to the first; the first that sets handled ends it.
    void NotifyWindowHooks(bool after, QEvent* event, bool& handled);
    void Subclass();
    void Unsubclass();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> FControl;
    QList<TVzWindowHook*> FHooks;
    bool FSubclassed = false;
    bool FDestroying = false;
    int FDelivering = 0;
};

// The widget's control hook, created and registered when missing.
TControlHook* HookFor(QWidget* control);
// The widget's control hook, or null.
TControlHook* FindHookFor(const QWidget* control);
