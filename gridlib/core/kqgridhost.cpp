#include "gridlib/core/kqgridhost.h"

#include <QPainter>
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

void PaintControlCopy(QWidget* control, TCanvas& canvas, int x, int y)
{
    auto* paintable = dynamic_cast<TkqCopyPaintable*>(control);
    if (!paintable) return;
    struct TRestore {
        QWidget* Control;
        TCanvas& Canvas;
        bool Was;
        ~TRestore()
        {
            SetPaintingCopy(Control, Was);
            Canvas.Restore();
        }
    } restore{control, canvas, IsPaintingCopy(control)};
    canvas.Save();
    canvas.Painter().translate(x, y);
    canvas.Painter().setClipRect(QRect(0, 0, control->width(), control->height()), Qt::IntersectClip);
    SetPaintingCopy(control, true);
    paintable->PaintCopy(canvas);
    for (QObject* o : control->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (child && child->isVisible() && !child->isWindow()) PaintControlCopy(child, canvas, child->x(), child->y());
    }
}
