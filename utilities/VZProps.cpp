#include "utilities/VZProps.h"

#include "platform/core/ScopeExit.h"
#include "platform/core/SysUtils.h"
#include "utilities/AppUtils.h"
#include "utilities/vzStrUtils.h"

#include <QApplication>
#include <QLocale>
#include <QMetaEnum>
#include <QObject>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <memory>

using namespace PropKinds;

namespace {
// A stored list longer than this is damaged: reading stops there.
constexpr int MaxStoredListCount = 100000;

const TCharSet SetDelimiters{' ', ',', '[', ']'};

// Trims blanks and control characters, as stored texts always were.
QString TrimControls(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= ' ') ++b;
    while (e > b && s[e - 1].unicode() <= ' ') --e;
    return s.mid(b, e - b);
}

int FloatDigits(const QMetaProperty& p) { return p.metaType().id() == QMetaType::Float ? 7 : 15; }

bool IsStringList(const QMetaProperty& p) { return p.metaType().id() == QMetaType::QStringList; }

// Enumeration and set values travel as their underlying integer.
int RawInt(const QVariant& v)
{
    bool ok = false;
    int i = v.toInt(&ok);
    if (!ok && v.metaType().sizeOf() == sizeof(int)) i = *static_cast<const int*>(v.constData());
    return i;
}

bool WriteRawInt(QObject* target, const QMetaProperty& p, int value)
{
    if (p.metaType().sizeOf() == sizeof(int) && p.metaType().id() != QMetaType::Int)
        return p.write(target, QVariant(p.metaType(), &value));
    return p.write(target, value);
}

QString SetText(const QMetaEnum& e, int value)
{
    QStringList names;
    for (int bit = 0; bit < 32; ++bit) {
        if (!(value & (1 << bit))) continue;
        if (const char* key = e.valueToKey(1 << bit)) names << QString::fromLatin1(key);
    }
    return '[' + names.join(',') + ']';
}

int SetValue(const QMetaEnum& e, const QString& text)
{
    int value = 0;
    const int words = CountWords(text, SetDelimiters);
    for (int w = 1; w <= words; ++w) {
        const QString word = NthWord(w, text, SetDelimiters);
        for (int bit = 0; bit < 32; ++bit) {
            const char* key = e.valueToKey(1 << bit);
            if (key && word.compare(QLatin1String(key), Qt::CaseInsensitive) == 0) value |= 1 << bit;
        }
    }
    return value;
}

QObject* ObjectValue(const QVariant& v)
{
    return (v.metaType().flags() & QMetaType::PointerToQObject) ? *static_cast<QObject* const*>(v.constData()) : nullptr;
}
} // namespace

QString FloatToStrGeneral(double value, int digits)
{
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0) return QStringLiteral("0");
    const QString sci = QString::number(value, 'e', digits - 1);
    const qsizetype epos = sci.indexOf('e');
    const int exp = sci.mid(epos + 1).toInt();
    auto stripZeros = [](QString s) {
        if (s.contains('.')) {
            while (s.endsWith('0')) s.chop(1);
            if (s.endsWith('.')) s.chop(1);
        }
        return s;
    };
    if (exp < digits && std::fabs(value) >= 1e-5) return stripZeros(QString::number(value, 'f', std::max(0, digits - 1 - exp)));
    return stripZeros(sci.left(epos)) + 'E' + (exp < 0 ? "-" : "") + QString::number(std::abs(exp));
}

TPropKind PropertyKind(const QMetaProperty& p)
{
    if (!p.isValid() || !p.isReadable()) return pkNone;
    if (p.isFlagType()) return pkSet;
    if (p.isEnumType()) return pkEnumeration;
    switch (p.metaType().id()) {
    case QMetaType::Bool: return pkEnumeration;
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::SChar: case QMetaType::UChar: return pkInteger;
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::LongLong: case QMetaType::ULongLong: return pkInt64;
    case QMetaType::Char: case QMetaType::QChar: case QMetaType::Char16: return pkChar;
    case QMetaType::Float: case QMetaType::Double: return pkFloat;
    case QMetaType::QString: case QMetaType::QByteArray: return pkString;
    case QMetaType::QVariant: return pkVariant;
    case QMetaType::QStringList: return pkClass;
    default: break;
    }
    return (p.metaType().flags() & QMetaType::PointerToQObject) ? pkClass : pkNone;
}

TPropInfoList::TPropInfoList(const QObject* object)
{
    if (!object) return;
    const QMetaObject* mo = object->metaObject();
    for (int i = 0; i < mo->propertyCount(); ++i) {
        QMetaProperty p = mo->property(i);
        if (PropertyKind(p) != pkNone) FItems.push_back(p);
    }
    std::stable_sort(FItems.begin(), FItems.end(), [](const QMetaProperty& a, const QMetaProperty& b) {
        return qstricmp(a.name(), b.name()) < 0;
    });
}

int TPropInfoList::FindProperty(const QString& name) const
{
    // The exact spelling first: a class may add "Height" beside the inherited "height".
    for (size_t i = 0; i < FItems.size(); ++i)
        if (name == QLatin1String(FItems[i].name())) return int(i);
    for (size_t i = 0; i < FItems.size(); ++i)
        if (name.compare(QLatin1String(FItems[i].name()), Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

bool SplitStoredItem(const QString& item, QString& component, QString& property)
{
    const qsizetype dot = item.indexOf('.');
    if (dot < 0) return false;
    component = item.left(dot).trimmed();
    property = item.mid(dot + 1).trimmed();
    return !component.isEmpty() && !property.isEmpty();
}

QString MakeStoredItem(const QString& component, const QString& property)
{
    return component.isEmpty() || property.isEmpty() ? QString() : component + '.' + property;
}

QString RenameStoredItem(const QString& item, const QString& component)
{
    QString c, p;
    return SplitStoredItem(item, c, p) ? MakeStoredItem(component, p) : QString();
}

void SyncStoredList(QObject* owner, TStoredList& list, TSyncMode mode)
{
    if (!owner) return;
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        QString component, property;
        TStoredItem& item = list[i];
        bool keep = SplitStoredItem(item.Text, component, property);
        if (keep && mode == smFromDefinition) {
            item.Object = FindComponentByName(owner, component);
            keep = item.Object;
        } else if (keep) {
            keep = item.Object;
            if (keep) item.Text = RenameStoredItem(item.Text, item.Object->objectName());
        }
        if (!keep) list.removeAt(i);
    }
}

QObject* FindComponentByName(const QObject* owner, const QString& name)
{
    if (!owner || name.isEmpty()) return nullptr;
    std::deque<const QObject*> queue{owner};
    while (!queue.empty()) {
        const QObject* o = queue.front();
        queue.pop_front();
        for (QObject* child : o->children()) {
            if (child->objectName().compare(name, Qt::CaseInsensitive) == 0) return child;
            queue.push_back(child);
        }
    }
    return nullptr;
}

QObject* ComponentOwner(const QObject* component)
{
    if (!component || !component->parent()) return nullptr;
    if (QWidget* form = FormOf(component->parent())) return form;
    return component->parent();
}

QObject* TPropsStorage::FindTopLevelComponent(const QString& name)
{
    if (name.isEmpty()) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName().compare(name, Qt::CaseInsensitive) == 0) return w;
    for (QWidget* w : QApplication::allWidgets())
        if (IsForm(w) && w->objectName().compare(name, Qt::CaseInsensitive) == 0) return w;
    return nullptr;
}

QString TPropsStorage::ReadText(const QString& section, const QString& ident, const QString& def)
{
    return OnReadText ? OnReadText(section, ident, def) : QString();
}

void TPropsStorage::WriteText(const QString& section, const QString& ident, const QString& value)
{
    if (OnWriteText) OnWriteText(section, ident, value);
}

void TPropsStorage::EraseGroup(const QString& section)
{
    if (OnEraseGroup) OnEraseGroup(section);
}

QString TPropsStorage::PropertyText(const QMetaProperty& p) const
{
    const QVariant v = p.read(Target);
    switch (PropertyKind(p)) {
    case pkInteger:
        return p.metaType().id() == QMetaType::UInt ? QString::number(v.toUInt()) : QString::number(v.toLongLong());
    case pkInt64:
        return p.metaType().id() == QMetaType::ULongLong || p.metaType().id() == QMetaType::ULong
            ? QString::number(v.toULongLong()) : QString::number(v.toLongLong());
    case pkChar: {
        QChar c = p.metaType().id() == QMetaType::Char ? QChar::fromLatin1(v.value<char>()) : v.value<QChar>();
        return QString(c);
    }
    case pkEnumeration:
        if (p.metaType().id() == QMetaType::Bool) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        return QString::fromLatin1(p.enumerator().valueToKey(RawInt(v)));
    case pkFloat: return FloatToStrGeneral(v.toDouble(), FloatDigits(p));
    case pkString:
        return p.metaType().id() == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray()) : v.toString();
    case pkVariant: return v.toString();
    case pkSet: return SetText(p.enumerator(), RawInt(v));
    default: return QString();
    }
}

void TPropsStorage::ApplyText(const QMetaProperty& p, const QString& text)
{
    switch (PropertyKind(p)) {
    case pkInteger:
        p.write(Target, p.metaType().id() == QMetaType::UInt ? QVariant(uint(StrToInt64Def(text, 0))) : QVariant(StrToIntDef(text, 0)));
        break;
    case pkInt64: p.write(Target, StrToInt64Def(text, 0)); break;
    case pkChar:
        if (text.isEmpty()) break;
        if (p.metaType().id() == QMetaType::Char) p.write(Target, QVariant::fromValue(text[0].toLatin1()));
        else p.write(Target, QVariant::fromValue(text[0]));
        break;
    case pkEnumeration:
        if (p.metaType().id() == QMetaType::Bool) {
            if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) p.write(Target, true);
            else if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) p.write(Target, false);
        } else {
            const QMetaEnum e = p.enumerator();
            for (int i = 0; i < e.keyCount(); ++i)
                if (text.compare(QLatin1String(e.key(i)), Qt::CaseInsensitive) == 0) {
                    WriteRawInt(Target, p, e.value(i));
                    break;
                }
        }
        break;
    case pkFloat: {
        bool ok = false;
        const double d = QLocale::c().toDouble(text, &ok);
        if (ok) p.write(Target, p.metaType().id() == QMetaType::Float ? QVariant(float(d)) : QVariant(d));
        break;
    }
    case pkString:
        p.write(Target, p.metaType().id() == QMetaType::QByteArray ? QVariant(text.toUtf8()) : QVariant(text));
        break;
    case pkVariant: p.write(Target, QVariant(text)); break;
    case pkSet: WriteRawInt(Target, p, SetValue(p.enumerator(), text)); break;
    default: break;
    }
}

void TPropsStorage::StoreOneProperty(const QMetaProperty& p, const QString& name)
{
    const QString n = name.isEmpty() ? QString::fromLatin1(p.name()) : name;
    const TPropKind kind = PropertyKind(p);
    if (kind == pkNone) return;
    if (kind == pkClass) {
        StoreClassProperty(p, n);
        return;
    }
    const QString text = PropertyText(p);
    if (text.isEmpty() && kind != pkString && kind != pkChar) return;
    WriteText(TargetSection, KeyForProperty(n), TrimControls(text));
}

void TPropsStorage::LoadOneProperty(const QMetaProperty& p, const QString& name)
{
    try {
        const QString n = name.isEmpty() ? QString::fromLatin1(p.name()) : name;
        const TPropKind kind = PropertyKind(p);
        if (kind == pkNone) return;
        const QString def = kind == pkClass ? QString() : PropertyText(p);
        QString text;
        if (!def.isEmpty() || kind == pkString || kind == pkClass || kind == pkChar)
            text = TrimControls(ReadText(TargetSection, KeyForProperty(n), def));
        if (kind == pkClass) {
            const QVariant v = p.read(Target);
            QObject* object = ObjectValue(v);
            if (IsStringList(p) || (object && object->parent() == Target)) LoadClassProperty(p, n);
            else ApplyComponentReference(p, text);
        } else {
            ApplyText(p, text);
        }
    } catch (...) {
        // A value that does not fit its property leaves the property as it was.
    }
}

void TPropsStorage::StoreClassProperty(const QMetaProperty& p, const QString& name)
{
    const QVariant v = p.read(Target);
    if (IsStringList(p)) {
        const QStringList lines = v.toStringList();
        const QString section = Format(QStringLiteral("%s.%s"), {TargetSection, KeyPrefix + name});
        EraseGroup(section);
        if (lines.isEmpty()) return;
        WriteText(section, QStringLiteral("Count"), QString::number(lines.size()));
        for (int i = 0; i < lines.size(); ++i) WriteText(section, Format(QStringLiteral("Item%d"), {i}), lines[i]);
        return;
    }
    QObject* object = ObjectValue(v);
    if (object && object->parent() == Target) {
        std::unique_ptr<TPropsStorage> nested(CreateNestedStorage());
        nested->Target = object;
        nested->TargetSection = TargetSection;
        nested->KeyPrefix = KeyForProperty(name);
        nested->OnWriteText = [this](const QString& s, const QString& i, const QString& val) { WriteText(s, i, val); };
        nested->OnEraseGroup = [this](const QString& s) { EraseGroup(s); };
        nested->StoreObjectProperties();
        return;
    }
    WriteText(TargetSection, KeyForProperty(name), ComponentReferenceText(object));
}

void TPropsStorage::LoadClassProperty(const QMetaProperty& p, const QString& name)
{
    if (IsStringList(p)) {
        const QString section = Format(QStringLiteral("%s.%s"), {TargetSection, KeyPrefix + name});
        const int count = std::min(StrToIntDef(TrimControls(ReadText(section, QStringLiteral("Count"), QStringLiteral("0"))), 0),
                                   MaxStoredListCount);
        if (count <= 0) return;
        QStringList lines;
        lines.reserve(count);
        for (int i = 0; i < count; ++i) lines << ReadText(section, Format(QStringLiteral("Item%d"), {i}), QString());
        p.write(Target, lines);
        return;
    }
    std::unique_ptr<TPropsStorage> nested(CreateNestedStorage());
    nested->Target = ObjectValue(p.read(Target));
    nested->TargetSection = TargetSection;
    nested->KeyPrefix = KeyForProperty(name);
    nested->OnReadText = [this](const QString& s, const QString& i, const QString& d) { return ReadText(s, i, d); };
    nested->LoadObjectProperties();
}

void TPropsStorage::StoreObjectProperties()
{
    TPropInfoList props(Target);
    for (int i = 0; i < props.Count(); ++i)
        if (qstrcmp(props.Items(i).name(), "objectName") != 0) StoreOneProperty(props.Items(i));
}

void TPropsStorage::LoadObjectProperties()
{
    TPropInfoList props(Target);
    for (int i = 0; i < props.Count(); ++i)
        if (qstrcmp(props.Items(i).name(), "objectName") != 0) LoadOneProperty(props.Items(i));
}

QString TPropsStorage::ComponentReferenceText(const QObject* component) const
{
    if (!component) return QStringLiteral("(null)");
    QObject* owner = ComponentOwner(component);
    if (!owner || owner == OwnerComponent) return component->objectName();
    QString ownerName = owner->objectName();
    if (ownerName.isEmpty()) {
        ownerName = QString::fromLatin1(owner->metaObject()->className());
        if (ownerName.startsWith('T') || ownerName.startsWith('t')) ownerName.remove(0, 1);
    }
    return ownerName + '.' + component->objectName();
}

void TPropsStorage::ApplyComponentReference(const QMetaProperty& p, const QString& text)
{
    if (text.isEmpty()) return;
    QObject* found = nullptr;
    if (text.compare(QLatin1String("(null)"), Qt::CaseInsensitive) != 0) {
        const qsizetype dot = text.indexOf('.');
        if (dot >= 0) {
            QObject* owner = FindTopLevelComponent(text.left(dot).trimmed());
            if (!owner) return;
            found = FindComponentByName(owner, text.mid(dot + 1).trimmed());
        } else {
            if (!OwnerComponent) return;
            found = FindComponentByName(OwnerComponent, text);
        }
    }
    // Only an object of the property's class may go into it.
    const QMetaObject* wanted = p.metaType().metaObject();
    if (found && wanted && !found->metaObject()->inherits(wanted)) return;
    p.write(Target, QVariant(p.metaType(), &found));
}

void TPropsStorage::RunOnTable(QObject* owner, TStoredList& list, bool store)
{
    // One property list per component object: a property of one class must never be read
    // from an object of another.
    std::map<const QObject*, std::unique_ptr<TPropInfoList>> table;
    try {
        SyncStoredList(owner, list, smWriting);
        for (const TStoredItem& item : list)
            if (item.Object) {
                std::unique_ptr<TPropInfoList>& entry = table[item.Object.data()];
                if (!entry) entry = std::make_unique<TPropInfoList>(item.Object);
            }
    } catch (...) {
        return;
    }
    OwnerComponent = owner;
    TScopeExit reset([this] { OwnerComponent = nullptr; });
    for (const TStoredItem& item : list) {
        QString component, property;
        if (!SplitStoredItem(item.Text, component, property) || !item.Object) continue;
        Target = item.Object;
        auto it = table.find(item.Object.data());
        if (it == table.end()) continue;
        KeyPrefix = item.Object->objectName() + '_';
        const int index = it->second->FindProperty(property);
        if (index < 0) continue;
        if (store) StoreOneProperty(it->second->Items(index), property);
        else LoadOneProperty(it->second->Items(index), property);
    }
}

void TPropsStorage::SaveStoredProperties(QObject* owner, TStoredList& list) { RunOnTable(owner, list, true); }

void TPropsStorage::LoadStoredProperties(QObject* owner, TStoredList& list) { RunOnTable(owner, list, false); }
