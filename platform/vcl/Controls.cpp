#include "platform/vcl/Controls.h"

#include <QKeyEvent>
#include <QVariant>
#include <QWidget>

namespace {
// The named keys both ways; letters, digits and function keys map by range.
struct TKeyPair {
    int Qt;
    int Vk;
};
constexpr TKeyPair NamedKeys[] = {
    {Qt::Key_Backspace, VK_BACK}, {Qt::Key_Tab, VK_TAB}, {Qt::Key_Backtab, VK_TAB}, {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN}, {Qt::Key_Shift, VK_SHIFT}, {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Escape, VK_ESCAPE}, {Qt::Key_Space, VK_SPACE}, {Qt::Key_PageUp, VK_PRIOR}, {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END}, {Qt::Key_Home, VK_HOME}, {Qt::Key_Left, VK_LEFT}, {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT}, {Qt::Key_Down, VK_DOWN}, {Qt::Key_Insert, VK_INSERT}, {Qt::Key_Delete, VK_DELETE},
};
} // namespace

int KeyEventToVirtualKey(const QKeyEvent* event)
{
    const int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
    for (const TKeyPair& k : NamedKeys)
        if (k.Qt == key) return k.Vk;
    return 0;
}

int VirtualKeyToQtKey(int virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z') return Qt::Key_A + (virtualKey - 'A');
    if (virtualKey >= '0' && virtualKey <= '9') return Qt::Key_0 + (virtualKey - '0');
    if (virtualKey >= VK_F1 && virtualKey < VK_F1 + 24) return Qt::Key_F1 + (virtualKey - VK_F1);
    for (const TKeyPair& k : NamedKeys)
        if (k.Vk == virtualKey) return k.Qt;
    return 0;
}

TShiftState ShiftStateFromModifiers(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    TShiftState s;
    if (modifiers & Qt::ShiftModifier) s.Include(ssShift);
    if (modifiers & Qt::AltModifier) s.Include(ssAlt);
    if (modifiers & Qt::ControlModifier) s.Include(ssCtrl);
    if (buttons & Qt::LeftButton) s.Include(ssLeft);
    if (buttons & Qt::RightButton) s.Include(ssRight);
    if (buttons & Qt::MiddleButton) s.Include(ssMiddle);
    return s;
}

TAlign ControlAlign(const QWidget* control)
{
    if (!control) return alNone;
    const QVariant v = control->property("Align");
    return v.isValid() ? TAlign(v.toInt()) : alNone;
}

void SetControlAlign(QWidget* control, TAlign align)
{
    if (control) control->setProperty("Align", int(align));
}

TControlState GetControlState(const QObject* control)
{
    return control ? TControlState::FromBits(control->property("ControlState").toULongLong()) : TControlState();
}

void SetControlState(QObject* control, TControlState state)
{
    if (control) control->setProperty("ControlState", QVariant::fromValue<qulonglong>(state.Bits()));
}
