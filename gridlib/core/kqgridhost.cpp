#include "gridlib/core/kqgridhost.h"

#include <QWidget>

QWidget* ParentGrid(const QWidget* control)
{
    QWidget* parent = ControlParent(control);
    return IsClassOrAncestorNamed(parent, "TCustomGrid") ? parent : nullptr;
}

TkqGridHost* ParentGridHost(const QWidget* control)
{
    return dynamic_cast<TkqGridHost*>(ParentGrid(control));
}

bool IsPaintingCopy(const QWidget* control)
{
    return IsPaintCopyState(GetControlState(control));
}

void SetPaintingCopy(QWidget* control, bool value)
{
    SetControlState(control, GetControlState(control).With(csPaintCopy, value));
}
