#include "utilities/VzMenus.h"

#include "platform/vcl/Forms.h"

TVzPopupMenu::TVzPopupMenu(QWidget* parent) : QMenu(parent)
{
    connect(this, &QMenu::aboutToShow, this, [this] {
        if (OnPopup) TApplication::Guard([this] { OnPopup(this); });
    });
}

void TVzPopupMenu::Popup(int x, int y) { popup(QPoint(x, y)); }
