#pragma once
// Published properties (Q_PROPERTY) read and written by name, as the libraries reach the
// properties of components whose classes they do not know. Names match exactly first, then
// without regard to case.

#include <QMetaProperty>
#include <QString>
#include <QStringList>
#include <QVariant>

class QObject;

// The published property of that name; invalid when there is none.
QMetaProperty FindPublishedProperty(const QObject* object, const char* name);

// The kind of a property.
bool IsStringProperty(const QMetaProperty& property);
bool IsStringListProperty(const QMetaProperty& property);
bool IsObjectProperty(const QMetaProperty& property);

// Any property: invalid value when there is none; false when none or not writable.
QVariant ReadProperty(const QObject* object, const char* name);
bool WriteProperty(QObject* object, const char* name, const QVariant& value);
bool ReadBoolProperty(const QObject* object, const char* name, bool def);

// Properties of one kind only: a property of another kind counts as none.
QString ReadTextProperty(const QObject* object, const char* name);
bool WriteTextProperty(QObject* object, const char* name, const QString& text);
QObject* ReadObjectProperty(const QObject* object, const char* name);
// The object must be of the property's class (or null).
bool WriteObjectProperty(QObject* object, const char* name, QObject* value);
bool GetStringListProperty(const QObject* object, const char* name, QStringList& list);
bool SetStringListProperty(QObject* object, const char* name, const QStringList& list);
// An integer property by name; false when there is none of that kind or it is read-only.
bool WriteIntegerProperty(QObject* object, const char* name, int value);
