#include "utilities/VzEdit.h"

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Edges.h"

#include <QEvent>
#include <QPainter>

TVzFramedEdit::TVzFramedEdit(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    resize(121, 21);
}

int TVzFramedEdit::MinimumHeight() const { return QFontMetrics(font()).height() + 4 * GetSystemMetrics(SM_CYBORDER) + 1; }

QRect TVzFramedEdit::EditRect() const { return QRect(2, 2, std::max(0, width() - 4), height() - 3); }

QSize TVzFramedEdit::sizeHint() const { return QSize(121, std::max(21, MinimumHeight())); }

void TVzFramedEdit::UpdateEditRect()
{
    const QRect r = EditRect();
    setTextMargins(r.left(), 2, width() - r.right() - 1, 2);
}

void TVzFramedEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    QPainter p(this);
    TCanvas canvas(p);
    TRect r{0, 0, width(), height()};
    DrawEdge(canvas, r, EDGE_SUNKEN, BF_RECT);
}

void TVzFramedEdit::resizeEvent(QResizeEvent* event)
{
    // Too low a height is raised, and that resize does the rest.
    if (height() < MinimumHeight()) {
        resize(width(), MinimumHeight());
        return;
    }
    QLineEdit::resizeEvent(event);
    PlaceParts();
    UpdateEditRect();
}

void TVzFramedEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) setMinimumHeight(MinimumHeight());
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LayoutDirectionChange) {
        PlaceParts();
        UpdateEditRect();
    }
}
