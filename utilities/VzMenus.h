#pragma once
// The popup menu of the utility library; the program uses it in its plain style, as the
// drop-down menu of a speed button.

#include <QMenu>
#include <functional>

enum TVzMenuStyle { msStandard, msOwnerDraw, msBtnLowered, msBtnRaised };

class TVzPopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit TVzPopupMenu(QWidget* parent = nullptr);
    TVzMenuStyle Style = msStandard;
    // Shows the menu at a screen point.
    void Popup(int x, int y);
    std::function<void(QObject*)> OnPopup;
};
