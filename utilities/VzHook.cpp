#include "utilities/VzHook.h"

#include "platform/vcl/Forms.h"

#include <QCoreApplication>
#include <QEvent>

namespace {
// Control hooks live under one object of the application, so that whatever is left at the
// end is freed with it; freeing an unused one waits for the event loop, outside the event
// that made it unused.
QObject* Registry()
{
    static QPointer<QObject> registry;
    if (!registry) {
        registry = new QObject(QCoreApplication::instance());
        registry->setObjectName(QStringLiteral("ControlHookRegistry"));
    }
    return registry;
}

QList<TControlHook*>& Hooks()
{
    static QList<TControlHook*> hooks;
    return hooks;
}

void PostFreeHook(TControlHook* hook)
{
    QPointer<TControlHook> guard(hook);
    PostCall(Registry(), [guard] {
        if (guard && guard->HookCount() == 0 && Hooks().contains(guard.data())) delete guard.data();
    });
}
} // namespace

TControlHook* FindHookFor(const QWidget* control)
{
    if (!control) return nullptr;
    for (TControlHook* h : Hooks())
        if (h->Control() == control) return h;
    return nullptr;
}

TControlHook* HookFor(QWidget* control)
{
    if (TControlHook* h = FindHookFor(control)) return h;
    return new TControlHook(control);
}

TControlHook::TControlHook(QWidget* control) : QObject(Registry()), FControl(control)
{
    Hooks().append(this);
}

TControlHook::~TControlHook()
{
    FDestroying = true;
    Hooks().removeAll(this);
    while (!FHooks.isEmpty()) RemoveWindowHook(FHooks.last());
    Unsubclass();
}

void TControlHook::SetControl(QWidget* control)
{
    if (control == FControl) return;
    Unsubclass();
    FControl = control;
    if (!FHooks.isEmpty()) Subclass();
}

void TControlHook::AddWindowHook(TVzWindowHook* hook)
{
    if (!FHooks.contains(hook)) {
        FHooks.append(hook);
        hook->FControlHook = this;
        hook->FControl = FControl;
    }
    Subclass();
}

void TControlHook::RemoveWindowHook(TVzWindowHook* hook)
{
    hook->FControlHook = nullptr;
    FHooks.removeAll(hook);
    if (FHooks.isEmpty()) Unsubclass();
}

void TControlHook::Subclass()
{
    if (!FControl || FDestroying || FSubclassed) return;
    FControl->installEventFilter(this);
    FSubclassed = true;
}

void TControlHook::Unsubclass()
{
    if (FControl && FSubclassed) FControl->removeEventFilter(this);
    FSubclassed = false;
}

void TControlHook::NotifyWindowHooks(bool after, QEvent* event, bool& handled)
{
    if (FHooks.isEmpty() || !FControl || FDestroying) return;
    const QList<TVzWindowHook*> hooks = FHooks;
    for (qsizetype i = hooks.size() - 1; i >= 0; --i) {
        if (!FHooks.contains(hooks[i])) continue;
        TApplication::Guard([&] {
            if (after) hooks[i]->DoAfterMessage(event, handled);
            else hooks[i]->DoBeforeMessage(event, handled);
        });
        if (handled) break;
    }
}

bool TControlHook::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != FControl || FDelivering > 0) return false;
    bool handled = false;
    QPointer<TControlHook> self(this);
    NotifyWindowHooks(false, event, handled);
    if (handled && event->type() != QEvent::Destroy) return true;
    handled = false;
    // The widget (and whatever watched it before us) handles the event now, so that the
    // after-handlers see its result.
    ++FDelivering;
    try {
        QCoreApplication::sendEvent(watched, event);
    } catch (...) {
        if (self) {
            --FDelivering;
            NotifyWindowHooks(true, event, handled);
        }
        throw;
    }
    if (!self) return true;
    --FDelivering;
    NotifyWindowHooks(true, event, handled);
    return true;
}

TVzWindowHook::TVzWindowHook(QObject* owner) : QObject(owner) {}

TVzWindowHook::~TVzWindowHook()
{
    FDestroying = true;
    SetActive(false);
    SetWinControl(nullptr);
}

void TVzWindowHook::SetActive(bool value)
{
    if (value == FActive) return;
    if (value) AttachToControl();
    else DetachFromControl();
}

QWidget* TVzWindowHook::WinControl() const
{
    return FControlHook ? FControlHook->Control() : FControl.data();
}

void TVzWindowHook::SetWinControl(QWidget* control)
{
    if (control == WinControl()) return;
    const bool wasActive = FActive;
    TControlHook* old = FControlHook;
    DetachFromControl();
    FControl = control;
    if (old && old->HookCount() == 0) PostFreeHook(old);
    if (wasActive) AttachToControl();
}

void TVzWindowHook::AttachToControl()
{
    if (FControl && !FDestroying) HookFor(FControl)->AddWindowHook(this);
    FActive = true;
}

void TVzWindowHook::DetachFromControl()
{
    if (FControlHook) FControlHook->RemoveWindowHook(this);
    FActive = false;
}

void TVzWindowHook::DoBeforeMessage(QEvent* event, bool& handled)
{
    if (BeforeMessage) BeforeMessage(this, event, handled);
}

void TVzWindowHook::DoAfterMessage(QEvent* event, bool& handled)
{
    if (AfterMessage) AfterMessage(this, event, handled);
}
