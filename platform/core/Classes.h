#pragma once
// What every layer shares below the widgets: sets of enumeration values (option sets),
// text alignment, and the seams through which those layers reach the application object
// without linking the widget layer.

#include <QtGlobal>
#include <exception>
#include <functional>
#include <initializer_list>

class QObject;
class QString;

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

// Horizontal alignment of a text in its box.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Errors that cannot propagate (a destructor writing data back, a read for a view) are
// reported here, to the application's exception handler; EAbort stays silent. The application
// object installs the handler while it lives; without one the message goes to the log.
using TExceptionHandler = std::function<void(const std::exception&)>;
void ApplicationShowException(const std::exception& e);
void SetApplicationExceptionHandler(TExceptionHandler handler);

// Moves the keyboard focus to a control (a field's data link focusing its control); false when
// the control cannot take it. The widget layer installs the handler; without it nothing moves.
using TFocusControlHandler = std::function<bool(QObject* control)>;
bool FocusControlObject(QObject* control);
void SetFocusControlHandler(TFocusControlHandler handler);

// Asks the user a yes-or-no question for a layer without widgets (a dataset about to overwrite
// a file that changed on disk). The application object asks through its message box; without
// a handler the answer is no.
using TConfirmHandler = std::function<bool(const QString& question)>;
bool ApplicationConfirm(const QString& question);
void SetApplicationConfirmHandler(TConfirmHandler handler);
