#pragma once
// What the controls of every library share: button and control states, where a control sits,
// virtual key codes, shift states and mouse buttons as the event handlers get them.

#include "platform/core/Classes.h"

#include <QtCore/qnamespace.h>

class QKeyEvent;

// The platform's new-style (3-D) controls; the old flat look is drawn only where a control's
// own style asks for it.
constexpr bool NewStyleControls() { return true; }

// The state of a push button as buttons are drawn (bsInactive: enabled, but its window is
// not the active one).
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive, bsInactive };

// The scroll bars a scrolling control shows.
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

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

