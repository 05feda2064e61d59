#include "utilities/VzPrgrss.h"

#include "platform/core/TypInfo.h"

#include <QObject>
#include <QProgressBar>
#include <vector>

namespace {
struct TProgressEntry {
    const QMetaObject* ControlClass;
    QByteArray Names[3];   // maximum, minimum, position
};

std::vector<TProgressEntry>& Registry()
{
    static std::vector<TProgressEntry> registry{
        {&QProgressBar::staticMetaObject, {"maximum", "minimum", "value"}},
    };
    return registry;
}

bool SetProgressProperty(QObject* control, int which, int value)
{
    if (!control) return false;
    const std::vector<TProgressEntry>& registry = Registry();
    for (auto it = registry.rbegin(); it != registry.rend(); ++it) {
        if (!control->metaObject()->inherits(it->ControlClass)) continue;
        return WriteIntegerProperty(control, it->Names[which].constData(), value);
    }
    return false;
}
} // namespace

void RegisterProgressControl(const QMetaObject* controlClass, const QString& maxProperty, const QString& minProperty,
                             const QString& positionProperty)
{
    Registry().push_back({controlClass, {maxProperty.left(63).toLatin1(), minProperty.left(63).toLatin1(),
                                         positionProperty.left(63).toLatin1()}});
}

bool ProgressSetMax(QObject* control, int value) { return SetProgressProperty(control, 0, value); }
bool ProgressSetMin(QObject* control, int value) { return SetProgressProperty(control, 1, value); }
bool ProgressSetPosition(QObject* control, int value) { return SetProgressProperty(control, 2, value); }
