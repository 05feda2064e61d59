#include "utilities/VZSplit.h"

#include "platform/core/TypInfo.h"
#include "platform/vcl/Edges.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
// The inverted line shown on the form while a splitter is dragged.
class TSplitLine : public QWidget {
public:
    explicit TSplitLine(QWidget* form) : QWidget(form)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(form->rect());
        raise();
        show();
    }
    void SetLine(const QRect& line)
    {
        update(FLine);
        FLine = line;
        update(FLine);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(FLine, Qt::white);
    }

private:
    QRect FLine;
};

bool IsForm(const QWidget* w) { return w && w->isWindow(); }

// Sets a control's height or width through its own "Height" or "Width" property when it has one
// (the grids keep their size that way), else as a fixed size so that layouts keep it.
void SetExtent(QWidget* control, bool height, int value)
{
    if (WriteProperty(control, height ? "Height" : "Width", value)) return;
    if (height) control->setFixedHeight(value);
    else control->setFixedWidth(value);
}

int Extent(const QWidget* control, bool height) { return height ? control->height() : control->width(); }
} // namespace

TVzSplitter::TVzSplitter(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(185, 3);
}

TVzSplitter::~TVzSplitter()
{
    if (FSizing) qApp->removeEventFilter(this);
    delete FOverlay;
}

void TVzSplitter::SetControlFirst(QWidget* control)
{
    FControlFirst = control == this || IsForm(control) ? nullptr : control;
    UpdateCursor();
}

void TVzSplitter::SetControlSecond(QWidget* control)
{
    FControlSecond = control == this || IsForm(control) ? nullptr : control;
    UpdateCursor();
}

void TVzSplitter::SetAlign(TAlign value)
{
    const TAlign old = Align();
    SetControlAlign(this, value);
    if (old != alTop && old != alBottom && old != alLeft && old != alRight) {
        if (value == alTop || value == alBottom) resize(width(), 3);
        else if (value == alLeft || value == alRight) resize(3, height());
    }
    if (FControlFirst || FControlSecond || !parentWidget()) return;
    // The sibling just outside the splitter on its aligned side.
    QPoint probe;
    switch (value) {
    case alTop: probe = QPoint(x(), y() - 1); break;
    case alLeft: probe = QPoint(x() - 1, y()); break;
    case alBottom: probe = QPoint(x(), y() + height()); break;
    case alRight: probe = QPoint(x() + width(), y()); break;
    default: return;
    }
    for (QObject* child : parentWidget()->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && w != this && !w->isWindow() && w->geometry().contains(probe)) {
            SetControlFirst(w);
            return;
        }
    }
}

int TVzSplitter::SplitKind() const
{
    if (!FControlFirst) return 0;
    const TAlign first = ControlAlign(FControlFirst);
    const TAlign second = FControlSecond ? ControlAlign(FControlSecond) : alNone;
    const bool secondFree = !FControlSecond || second == alClient;
    int kind = 0;
    if ((first == alTop || first == alBottom) && secondFree) kind = 1;
    else if (first == alClient && FControlSecond && (second == alTop || second == alBottom)) kind = 2;
    else if ((first == alLeft || first == alRight) && secondFree) kind = 3;
    else if (first == alClient && FControlSecond && (second == alLeft || second == alRight)) kind = 4;
    // The splitter lies on the side of the control it resizes.
    const TAlign resized = kind == 1 || kind == 3 ? first : second;
    if (kind != 0 && Align() != resized) kind = 0;
    return kind;
}

Qt::CursorShape TVzSplitter::SplitCursor() const
{
    switch (SplitKind()) {
    case 1: case 2: return Qt::SplitVCursor;
    case 3: case 4: return Qt::SplitHCursor;
    default: return Qt::ArrowCursor;
    }
}

void TVzSplitter::UpdateCursor() { setCursor(SplitCursor()); }

void TVzSplitter::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    UpdateCursor();
}

void TVzSplitter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    TCanvas canvas(p);
    canvas.Brush.Color = clBtnFace;
    canvas.FillRect({0, 0, width(), height()});
    TRect r{0, 0, width(), height()};
    Frame3D(canvas, r, clBtnHighlight, clBtnShadow);
}

void TVzSplitter::DoPosChanged()
{
    if (OnPosChanged) OnPosChanged(this);
}

void TVzSplitter::DoPosChanging(int x, int y, bool& allowChange)
{
    if (OnPosChanging) OnPosChanging(this, x, y, allowChange);
}

void TVzSplitter::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || FSizing) return;
    FKind = SplitKind();
    if (FKind == 0 || !parentWidget()) return;
    FSizing = true;
    // Escape ends the drag whatever has the focus: watched only while dragging.
    qApp->installEventFilter(this);
    FOffset = event->position().toPoint();
    const QRect r = parentWidget()->rect();
    const QPoint topLeft = mapFrom(parentWidget(), QPoint(r.left() + TopLeftLimit, r.top() + TopLeftLimit));
    const QPoint bottomRight = mapFrom(parentWidget(), QPoint(r.width() - BottomRightLimit, r.height() - BottomRightLimit));
    FLimitRect = TRect(topLeft.x(), topLeft.y(), bottomRight.x(), bottomRight.y());
    FNoDrop = false;
    const int thickness = FKind <= 2 ? height() : width();
    FLineWidth = thickness <= 3 ? 2 : thickness - 2;
    FOverlay = new TSplitLine(window());
    DrawLine(QPoint(width() / 2, height() / 2), true);
}

void TVzSplitter::ClampToLimits(int& x, int& y) const
{
    if (x - FOffset.x() < FLimitRect.Left) x = FLimitRect.Left + FOffset.x();
    else if (x - FOffset.x() + width() > FLimitRect.Right) x = FLimitRect.Right + FOffset.x() - width();
    if (y - FOffset.y() < FLimitRect.Top) y = FLimitRect.Top + FOffset.y();
    else if (y - FOffset.y() + height() > FLimitRect.Bottom) y = FLimitRect.Bottom + FOffset.y() - height();
}

void TVzSplitter::DrawLine(const QPoint& splitterPoint, bool first)
{
    const bool horizontal = FKind <= 2;
    QPoint at = mapToGlobal(horizontal ? QPoint(0, splitterPoint.y()) : QPoint(splitterPoint.x(), 0));
    const QRect area(parentWidget()->mapToGlobal(QPoint(0, 0)), parentWidget()->size());
    at.setX(std::clamp(at.x(), area.left(), area.right()));
    at.setY(std::clamp(at.y(), area.top(), area.bottom()));
    if (!first && (horizontal ? at.y() == FLastLine.y() : at.x() == FLastLine.x())) return;
    FLastLine = at;
    if (!FOverlay) return;
    // As long as the splitter, across the line's thickness.
    const QPoint from = FOverlay->mapFromGlobal(at);
    const QPoint to = FOverlay->mapFromGlobal(mapToGlobal(horizontal ? QPoint(width(), 0) : QPoint(0, height())));
    const QRect line = horizontal ? QRect(QPoint(from.x(), from.y() - FLineWidth / 2), QPoint(to.x() - 1, from.y() - FLineWidth / 2 + FLineWidth - 1))
                                  : QRect(QPoint(from.x() - FLineWidth / 2, from.y()), QPoint(from.x() - FLineWidth / 2 + FLineWidth - 1, to.y() - 1));
    static_cast<TSplitLine*>(FOverlay.data())->SetLine(line);
}

void TVzSplitter::EraseLine()
{
    if (FOverlay) {
        FOverlay->hide();
        FOverlay->deleteLater();
    }
    FOverlay = nullptr;
}

void TVzSplitter::mouseMoveEvent(QMouseEvent* event)
{
    if (!FSizing) return;
    int x = event->position().toPoint().x(), y = event->position().toPoint().y();
    bool allow = true;
    DoPosChanging(x, y, allow);
    if (!allow) {
        setCursor(Qt::ForbiddenCursor);
        return;
    }
    const int ox = x, oy = y;
    ClampToLimits(x, y);
    const bool noDrop = FKind <= 2 ? y != oy : x != ox;
    if (noDrop != FNoDrop) {
        FNoDrop = noDrop;
        setCursor(noDrop ? Qt::ForbiddenCursor : SplitCursor());
    } else if (!noDrop && cursor().shape() == Qt::ForbiddenCursor) {
        setCursor(SplitCursor());
    }
    DrawLine(QPoint(x + width() / 2 - FOffset.x(), y + height() / 2 - FOffset.y()), false);
}

void TVzSplitter::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    StopSizing(event->position().toPoint().x(), event->position().toPoint().y(), true);
}

void TVzSplitter::CancelSizing()
{
    if (FSizing) StopSizing(0, 0, false);
}

bool TVzSplitter::eventFilter(QObject* watched, QEvent* event)
{
    if (FSizing && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        CancelSizing();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TVzSplitter::StopSizing(int x, int y, bool apply)
{
    if (!FSizing) return;
    bool allow = apply;
    if (apply) DoPosChanging(x, y, allow);
    EraseLine();
    if (!allow) {
        // The position of the line as last drawn (the press position when it never moved).
        const QPoint line = mapFromGlobal(FLastLine);
        x = line.x() + FOffset.x() - width() / 2;
        y = line.y() + FOffset.y() - height() / 2;
    }
    {
        // Sizing ends before the event, also when setting the size fails.
        struct TEnd {
            TVzSplitter* S;
            ~TEnd()
            {
                S->FSizing = false;
                qApp->removeEventFilter(S);
                S->UpdateCursor();
            }
        } end{this};
        if (apply) ApplySize(x, y);
    }
    if (apply) DoPosChanged();
}

void TVzSplitter::ApplySize(int x, int y)
{
    ClampToLimits(x, y);
    int ox = FOffset.x(), oy = FOffset.y();
    auto alignedAs = [this](TAlign a) {
        return ControlAlign(FControlFirst) == a || (FControlSecond && ControlAlign(FControlSecond) == a);
    };
    if (alignedAs(alRight)) {
        x = -x;
        ox = -ox;
    }
    if (alignedAs(alBottom)) {
        y = -y;
        oy = -oy;
    }
    const bool height = FKind <= 2;
    QWidget* control = FKind == 1 || FKind == 3 ? FControlFirst.data() : FControlSecond.data();
    const int room = height ? parentWidget()->height() - this->height() : parentWidget()->width() - width();
    if (control) {
        int size = Extent(control, height) + (height ? y - oy : x - ox);
        if (size <= 0) size = 1;
        if (size >= room) size = room - 3;
        SetExtent(control, height, size);
    }
}
