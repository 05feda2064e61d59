#include "platform/core/TypInfo.h"

#include <QObject>

namespace {
bool IsKind(const QMetaProperty& p, int typeId) { return p.isValid() && p.metaType().id() == typeId; }
} // namespace

bool IsStringProperty(const QMetaProperty& property) { return IsKind(property, QMetaType::QString); }

bool IsStringListProperty(const QMetaProperty& property) { return IsKind(property, QMetaType::QStringList); }

bool IsObjectProperty(const QMetaProperty& property)
{
    return property.isValid() && property.metaType().flags().testFlag(QMetaType::PointerToQObject);
}

QMetaProperty FindPublishedProperty(const QObject* object, const char* name)
{
    if (!object) return {};
    const QMetaObject* mo = object->metaObject();
    const int exact = mo->indexOfProperty(name);
    if (exact >= 0) return mo->property(exact);
    for (int i = mo->propertyCount() - 1; i >= 0; --i)
        if (qstricmp(mo->property(i).name(), name) == 0) return mo->property(i);
    return {};
}

QVariant ReadProperty(const QObject* object, const char* name)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return p.isValid() ? p.read(object) : QVariant();
}

bool WriteProperty(QObject* object, const char* name, const QVariant& value)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return p.isValid() && p.isWritable() && p.write(object, value);
}

bool ReadBoolProperty(const QObject* object, const char* name, bool def)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return p.isValid() ? p.read(object).toBool() : def;
}

QString ReadTextProperty(const QObject* object, const char* name)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return p.isValid() ? p.read(object).toString() : QString();
}

bool WriteTextProperty(QObject* object, const char* name, const QString& text)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return IsStringProperty(p) && p.isWritable() && p.write(object, text);
}

QObject* ReadObjectProperty(const QObject* object, const char* name)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return IsObjectProperty(p) ? p.read(object).value<QObject*>() : nullptr;
}

bool WriteObjectProperty(QObject* object, const char* name, QObject* value)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    if (!IsObjectProperty(p) || !p.isWritable()) return false;
    // The value must be of the property's class: a variant of that pointer type.
    QVariant v = QVariant::fromValue(value);
    if (value && !v.convert(p.metaType())) return false;
    if (!value) v = QVariant(p.metaType());
    return p.write(object, v);
}

bool GetStringListProperty(const QObject* object, const char* name, QStringList& list)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    if (!IsStringListProperty(p)) return false;
    list = p.read(object).toStringList();
    return true;
}

bool SetStringListProperty(QObject* object, const char* name, const QStringList& list)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return IsStringListProperty(p) && p.isWritable() && p.write(object, list);
}

bool WriteIntegerProperty(QObject* object, const char* name, int value)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return IsKind(p, QMetaType::Int) && p.isWritable() && p.write(object, value);
}
