#pragma once
// What the controls of every library share: sets of enumeration values (the old option
// sets), virtual key codes, shift states and mouse buttons as the event handlers get them.

#include <QtGlobal>
#include <QtCore/qnamespace.h>
#include <initializer_list>

class QKeyEvent;

// A set of values of an enumeration whose members are bit numbers (member n is bit n), as
// the library's option sets are stored.
template <typename E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items)
    {
        for (E e : items) FBits |= Bit(e);
    }
    static constexpr TSet FromBits(quint64 bits)
    {
        TSet s;
        s.FBits = bits;
        return s;
    }
    constexpr bool Contains(E e) const { return FBits & Bit(e); }
    constexpr TSet& Include(E e) { FBits |= Bit(e); return *this; }
    constexpr TSet& Exclude(E e) { FBits &= ~Bit(e); return *this; }
    constexpr TSet With(E e, bool on) const
    {
        TSet s = *this;
        return on ? s.Include(e) : s.Exclude(e);
    }
    constexpr bool IsEmpty() const { return FBits == 0; }
    constexpr quint64 Bits() const { return FBits; }
    constexpr bool operator==(const TSet&) const = default;
    constexpr TSet operator|(const TSet& o) const { return FromBits(FBits | o.FBits); }
    constexpr TSet operator-(const TSet& o) const { return FromBits(FBits & ~o.FBits); }

private:
    static constexpr quint64 Bit(E e) { return quint64(1) << unsigned(e); }
    quint64 FBits = 0;
};

// The platform's new-style (3-D) controls; the old flat look is drawn only where a control's
// own style asks for it.
constexpr bool NewStyleControls() { return true; }

// The state of a push button as buttons are drawn (bsInactive: enabled, but its window is
// not the active one).
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive, bsInactive };

// State flags of a control that the libraries read from one another: csLButtonDown while the
// left button is held on it, csPaintCopy while it paints an image of itself into a grid cell.
enum TControlStateItem {
    csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing, csCreating,
    csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking
};
using TControlState = TSet<TControlStateItem>;
class QObject;
// Kept as the object's "ControlState" property, so that a library reads another's controls
// without knowing their classes.
TControlState GetControlState(const QObject* control);
void SetControlState(QObject* control, TControlState state);

// Horizontal alignment of a text in its box.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
// Where a control sits in its parent (the old alignment): the splitter finds the controls it
// resizes by it. A widget keeps it in its "Align" property (ControlAlign reads it).
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
class QWidget;
TAlign ControlAlign(const QWidget* control);
void SetControlAlign(QWidget* control, TAlign align);

// Virtual key codes as key events report them to the library's event handlers.
enum : int {
    VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18,
    VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36,
    VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46,
    VK_F1 = 112, VK_F2 = 113, VK_F3 = 114, VK_F4 = 115
};

enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

// The virtual key of a key event: letters and digits as their capitals and digits, the
// named keys by the table above; 0 for keys without a code here.
int KeyEventToVirtualKey(const QKeyEvent* event);
// The Qt key of a virtual key code (the first Qt key of a code that has two); 0 for none.
int VirtualKeyToQtKey(int virtualKey);
TShiftState ShiftStateFromModifiers(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton);

