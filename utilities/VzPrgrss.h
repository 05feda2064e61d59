#pragma once
// The progress controls the copy routine can drive, known by class and by the names of
// their maximum, minimum and position properties. The progress bar is registered.

#include <QString>

class QObject;
struct QMetaObject;

void RegisterProgressControl(const QMetaObject* controlClass, const QString& maxProperty, const QString& minProperty,
                             const QString& positionProperty);
// True when the control's class (or an ancestor) is registered and the property was set.
bool ProgressSetMax(QObject* control, int value);
bool ProgressSetMin(QObject* control, int value);
bool ProgressSetPosition(QObject* control, int value);
