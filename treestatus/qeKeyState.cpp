#include "treestatus/qeKeyState.h"

#include "platform/vcl/Controls.h"

#include <QGuiApplication>
#include <map>

#if __has_include(<X11/XKBlib.h>) && defined(QUARROW_HAVE_X11)
#include <X11/XKBlib.h>
#include <X11/keysym.h>
#define QE_X11 1
#endif

namespace {
std::map<int, bool>& Emulated()
{
    static std::map<int, bool> states;
    return states;
}

#ifdef QE_X11
Display* ServerDisplay()
{
    if (!qGuiApp) return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

const char* IndicatorName(int vk)
{
    switch (vk) {
    case VK_CAPITAL: return "Caps Lock";
    case VK_NUMLOCK: return "Num Lock";
    case VK_SCROLL: return "Scroll Lock";
    default: return nullptr;
    }
}

// -1 when the server cannot tell.
int ServerState(int vk)
{
    Display* d = ServerDisplay();
    const char* name = IndicatorName(vk);
    if (!d || !name) return -1;
    if (vk == VK_CAPITAL || vk == VK_NUMLOCK) {
        XkbStateRec state;
        if (XkbGetState(d, XkbUseCoreKbd, &state) != Success) return -1;
        const unsigned mask = vk == VK_CAPITAL ? LockMask : XkbKeysymToModifiers(d, XK_Num_Lock);
        if (mask) return (state.locked_mods & mask) ? 1 : 0;
    }
    Bool on = False;
    if (!XkbGetNamedIndicator(d, XInternAtom(d, name, False), nullptr, &on, nullptr, nullptr)) return -1;
    return on ? 1 : 0;
}

bool ServerToggle(int vk)
{
    Display* d = ServerDisplay();
    const int now = ServerState(vk);
    if (!d || now < 0) return false;
    bool done = false;
    if (vk == VK_CAPITAL || vk == VK_NUMLOCK) {
        const unsigned mask = vk == VK_CAPITAL ? LockMask : XkbKeysymToModifiers(d, XK_Num_Lock);
        if (mask) done = XkbLockModifiers(d, XkbUseCoreKbd, mask, now ? 0 : mask);
    } else {
        done = XkbSetNamedIndicator(d, XInternAtom(d, IndicatorName(vk), False), True, now ? False : True, False,
                                    nullptr);
    }
    XSync(d, False);
    return done;
}
#endif
} // namespace

bool LockKeysFromServer()
{
#ifdef QE_X11
    return ServerDisplay() != nullptr;
#else
    return false;
#endif
}

bool KeyToggled(int virtualKey)
{
#ifdef QE_X11
    const int state = ServerState(virtualKey);
    if (state >= 0) return state == 1;
#endif
    return Emulated()[virtualKey];
}

void ToggleKey(int virtualKey)
{
#ifdef QE_X11
    if (ServerToggle(virtualKey)) return;
#endif
    Emulated()[virtualKey] = !Emulated()[virtualKey];
}

void NoteLockKeyPressed(int virtualKey)
{
#ifdef QE_X11
    if (ServerState(virtualKey) >= 0) return;   // the server keeps it
#endif
    Emulated()[virtualKey] = !Emulated()[virtualKey];
}
