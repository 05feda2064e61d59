#include "gridlib/core/kqgridhost.h"

#include "gridlib/core/kqcommon.h"

#include <QAbstractScrollArea>
#include <QVariant>
#include <QWidget>

QWidget* ControlParent(const QWidget* control)
{
    if (!control) return nullptr;
    QWidget* parent = control->parentWidget();
    if (!parent) return nullptr;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(parent->parentWidget()); area && area->viewport() == parent)
        return area;
    return parent;
}

bool ParentIsNamed(const QWidget* control, const char* className)
{
    return IsClassOrAncestorNamed(ControlParent(control), className);
}

QWidget* ParentGrid(const QWidget* control)
{
    QWidget* parent = ControlParent(control);
    return IsClassOrAncestorNamed(parent, "TCustomGrid") ? parent : nullptr;
}

TkqGridHost* ParentGridHost(const QWidget* control)
{
    return dynamic_cast<TkqGridHost*>(ParentGrid(control));
}

namespace {
// The control state travels as the "ControlState" property (bit 7: painting a copy), so that
// every library reads it without knowing the control's class.
constexpr qulonglong PaintCopyBit = qulonglong(1) << 7;
} // namespace

bool IsPaintingCopy(const QWidget* control)
{
    return control && (control->property("ControlState").toULongLong() & PaintCopyBit);
}

void SetPaintingCopy(QWidget* control, bool value)
{
    if (!control) return;
    qulonglong bits = control->property("ControlState").toULongLong();
    bits = value ? bits | PaintCopyBit : bits & ~PaintCopyBit;
    control->setProperty("ControlState", QVariant::fromValue(bits));
}
