#pragma once
// Services the grid library's controls share: sets of enumeration values, key and shift
// codes, properties read and written by name, controls found by name, and the per-field
// list lines (ControlType, Selected) the grid and the record view read.

#include "platform/data/DB.h"

#include <QString>
#include <QStringList>
#include <initializer_list>

class QKeyEvent;
class QObject;
class QWidget;

// A set of values of an enumeration whose members are bit numbers (member n is bit n), as
// the library's option sets are stored.
template <typename E>
class TkqSet {
public:
    constexpr TkqSet() = default;
    constexpr TkqSet(std::initializer_list<E> items)
    {
        for (E e : items) FBits |= Bit(e);
    }
    static constexpr TkqSet FromBits(quint64 bits)
    {
        TkqSet s;
        s.FBits = bits;
        return s;
    }
    constexpr bool Contains(E e) const { return FBits & Bit(e); }
    constexpr TkqSet& Include(E e) { FBits |= Bit(e); return *this; }
    constexpr TkqSet& Exclude(E e) { FBits &= ~Bit(e); return *this; }
    constexpr TkqSet With(E e, bool on) const
    {
        TkqSet s = *this;
        return on ? s.Include(e) : s.Exclude(e);
    }
    constexpr bool IsEmpty() const { return FBits == 0; }
    constexpr quint64 Bits() const { return FBits; }
    constexpr bool operator==(const TkqSet&) const = default;
    constexpr TkqSet operator|(const TkqSet& o) const { return FromBits(FBits | o.FBits); }
    constexpr TkqSet operator-(const TkqSet& o) const { return FromBits(FBits & ~o.FBits); }

private:
    static constexpr quint64 Bit(E e) { return quint64(1) << unsigned(e); }
    quint64 FBits = 0;
};

// Virtual key codes as key events report them to the library's event handlers.
enum : int {
    VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18,
    VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36,
    VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46,
    VK_F1 = 112, VK_F2 = 113, VK_F3 = 114, VK_F4 = 115
};

enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TkqSet<TShiftStateItem>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

// The virtual key of a key event: letters and digits as their capitals and digits, the
// named keys by the table above; 0 for keys without a code here.
int KeyEventToVirtualKey(const QKeyEvent* event);
TShiftState ShiftStateFromModifiers(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton);

// --- Classes and properties by name

// True when the object's class, or one of its ancestors, has that name (ignoring case).
bool IsClassOrAncestorNamed(const QObject* object, const char* className);
// The control's DataSource/DataField properties, written by name; false when it has none.
bool SetControlDataSource(QObject* control, TDataSource* source);
bool SetControlDataField(QObject* control, const QString& fieldName);
TDataSource* GetControlDataSource(const QObject* control);
QString GetControlDataField(const QObject* control);
// A string-list property by name; false when the object has no such property.
bool GetStringListProperty(const QObject* object, const char* name, QStringList& list);
bool SetStringListProperty(QObject* object, const char* name, const QStringList& list);

// The window a control sits on (itself for a window).
QWidget* FindOwnerForm(QWidget* control);
// A control found by object name under root; "Frame.Edit" looks inside the child named Frame.
QWidget* FindNamedControl(QWidget* root, const QString& name);

// --- ControlType lines: FieldName;Kind;Params

// "CustomEdit", "LookupCombo", "Combo", "RichEdit", compared without regard to case.
bool IsEditControlType(const QString& kind);
// The last line whose field equals the name exactly; empty kind and params when none.
void GetControlTypeEntry(const QStringList& list, const QString& fieldName, QString& kind, QString& params);
// Changes the first line of the field (ignoring case): an empty kind or "field" removes it,
// any other replaces it; a field without a line gets one appended unless the kind is empty.
void StoreControlTypeEntry(QStringList& list, const QString& fieldName, const QString& kind, const QString& params);

// --- Selected lines: FieldName<TAB>DisplayWidth<TAB>Title[<TAB>ReadOnly[<TAB>GroupName]]

// Part k of a line (0 field, 1 width, 2 title, 3 read-only, 4 group); a missing read-only
// part reads "F", any other missing part reads empty.
QString SelectedPart(const QString& line, int part);
// The line with part k replaced; written lines have at least four parts.
QString WithSelectedPart(const QString& line, int part, const QString& value);
// Index of the first line whose field equals the name ignoring case; -1 when none.
int FindSelectedEntry(const QStringList& list, const QString& fieldName);
// The dataset's fields follow the list: listed fields visible in list order with the list's
// widths and titles, all others hidden. Raises EConvertError for a width that is no integer.
void ApplySelectedToFields(TDataSet* dataSet, const QStringList& list);
void BuildSelectedFromFields(const TDataSet* dataSet, QStringList& list);
