#include "utilities/VZCtrls.h"

#include "platform/vcl/Forms.h"

#include <QMouseEvent>

TVzSpeedButton::TVzSpeedButton(QWidget* parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(this, &QToolButton::clicked, this, [this] {
        if (OnClick && !FDropDownMenu) TApplication::Guard([this] { OnClick(this); });
    });
}

void TVzSpeedButton::SetGlyph(const QPixmap& glyph)
{
    FGlyph = glyph;
    setIcon(QIcon(glyph));
    if (!glyph.isNull()) setIconSize(glyph.size());
}

void TVzSpeedButton::SetGroupIndex(int index)
{
    FGroupIndex = index;
    setCheckable(index != 0);
}

void TVzSpeedButton::nextCheckState()
{
    // A latched button of a group stays down unless the group may be all up.
    if (isChecked() && !AllowAllUp) return;
    QToolButton::nextCheckState();
}

void TVzSpeedButton::mousePressEvent(QMouseEvent* event)
{
    if (FDropDownMenu && event->button() == Qt::LeftButton && isEnabled()) {
        if (OnClick) TApplication::Guard([this] { OnClick(this); });
        FDropDownMenu->popup(mapToGlobal(QPoint(0, height())));
        event->accept();
        return;
    }
    QToolButton::mousePressEvent(event);
}
