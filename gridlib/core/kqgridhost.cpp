#include "gridlib/core/kqgridhost.h"

#include <QHash>
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

namespace {
QHash<QString, TkqControlCreator>& ControlClasses()
{
    static QHash<QString, TkqControlCreator> classes;
    return classes;
}
} // namespace

void RegisterControlClass(const QString& className, TkqControlCreator creator)
{
    if (creator) ControlClasses().insert(className, std::move(creator));
    else ControlClasses().remove(className);
}

bool IsControlClassRegistered(const QString& className) { return ControlClasses().contains(className); }

QWidget* CreateRegisteredControl(const QString& className, QWidget* owner)
{
    const auto it = ControlClasses().constFind(className);
    return it == ControlClasses().constEnd() ? nullptr : (*it)(owner);
}
