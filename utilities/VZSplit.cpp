#include "utilities/VZSplit.h"

#include "platform/vcl/Forms.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

TVzSplitter::TVzSplitter(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::SplitVCursor);
}

void TVzSplitter::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    setCursor(Horizontal() ? Qt::SplitVCursor : Qt::SplitHCursor);
    FDragging = true;
    FStart = event->globalPosition().toPoint();
    FDelta = 0;
}

void TVzSplitter::mouseMoveEvent(QMouseEvent* event)
{
    if (!FDragging) return;
    const QPoint d = event->globalPosition().toPoint() - FStart;
    FDelta = Horizontal() ? d.y() : d.x();
    update();
}

void TVzSplitter::mouseReleaseEvent(QMouseEvent* event)
{
    if (!FDragging || event->button() != Qt::LeftButton) return;
    FDragging = false;
    QWidget* c = FControlFirst;
    if (!c || FDelta == 0) return;
    // The control on the far side of the drag grows or shrinks by the distance.
    if (Horizontal()) {
        const bool below = c->y() > y();
        c->setFixedHeight(qMax(MinSize, c->height() + (below ? -FDelta : FDelta)));
    } else {
        const bool right = c->x() > x();
        c->setFixedWidth(qMax(MinSize, c->width() + (right ? -FDelta : FDelta)));
    }
    FDelta = 0;
    if (OnPosChanged) TApplication::Guard([this] { OnPosChanged(this); });
}

void TVzSplitter::keyPressEvent(QKeyEvent* event)
{
    if (FDragging && event->key() == Qt::Key_Escape) {
        FDragging = false;
        FDelta = 0;
        update();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TVzSplitter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(rect().topLeft(), Horizontal() ? rect().topRight() : rect().bottomLeft());
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(rect().bottomRight(), Horizontal() ? rect().bottomLeft() : rect().topRight());
}
