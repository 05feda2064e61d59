#pragma once
// Popup menus: a tree of items (caption with an "&" accelerator, shortcut, check mark or radio
// bullet, image index, hint, sub-items) shown at a screen point and tracked by mouse and keys
// until an item is chosen or the menu is dismissed. The menu measures and draws its items
// through virtual operations, so a descendant can draw them itself; the base draws them the
// standard way.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <functional>
#include <vector>

class TPopupMenu;
class TMenuPopupWindow;
class QTimer;

enum TOwnerDrawStateItem { odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault };
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;

class TMenuItem : public QObject {
    Q_OBJECT
public:
    explicit TMenuItem(QObject* owner = nullptr);
    ~TMenuItem() override;

    QString Caption;          // "-" makes a separator
    QString Hint;
    QKeySequence ShortCut;
    bool RadioItem = false;
    int GroupIndex = 0;
    bool AutoCheck = false;
    bool Enabled = true;
    bool Visible = true;
    bool Default = false;
    int ImageIndex = -1;
    int HelpContext = 0;
    int Tag = 0;
    std::function<void(QObject*)> OnClick;

    bool Checked() const { return FChecked; }
    // Checking a radio item unchecks the other radio items of its group.
    void SetChecked(bool value);

    int Count() const { return int(FItems.size()); }
    TMenuItem* Items(int index) const { return FItems.at(size_t(index)); }
    TMenuItem* Parent() const { return FParent; }
    int IndexOf(const TMenuItem* item) const;
    // The item becomes a sub-item (and a child object) of this one.
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    void Remove(TMenuItem* item);
    void Clear();
    // A new sub-item with that caption.
    TMenuItem* AddItem(const QString& caption, std::function<void(QObject*)> onClick = {});
    TMenuItem* Find(const QString& caption) const;

    bool IsLine() const { return Caption == QLatin1String("-"); }
    // The item's number, unique in the program.
    int Command() const { return FCommand; }
    TMenuItem* FindByCommand(int command);
    QString ShortCutText() const;
    // The lower-case character after the first single "&", or none.
    QChar Accelerator() const;
    // The menu whose tree this item belongs to.
    TPopupMenu* Menu() const;
    // Runs the item: an AutoCheck item toggles, then OnClick.
    void Click();

private:
    friend class TPopupMenu;
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    TPopupMenu* FMenu = nullptr;
    bool FChecked = false;
    int FCommand = 0;
};

enum TPopupAlignment { paLeft, paRight, paCenter };
enum TTrackButton { tbRightButton, tbLeftButton };

class TPopupMenu : public QObject {
    Q_OBJECT
public:
    explicit TPopupMenu(QObject* owner = nullptr);
    ~TPopupMenu() override;

    TMenuItem* Items() const { return FItems; }
    TPopupAlignment Alignment = paLeft;
    bool AutoPopup = true;
    TTrackButton TrackButton = tbRightButton;
    QPointer<QObject> PopupComponent;
    std::function<void(QObject*)> OnPopup;

    // Shows the menu at the screen point (its left edge, right edge or centre there, by
    // Alignment) and returns when it has closed; the chosen item then runs.
    virtual void Popup(int x, int y);
    bool IsOpen() const { return FWindow != nullptr; }
    // Closes an open menu without choosing.
    void CloseMenu();
    // The open menu's window (its first level), or null.
    TMenuPopupWindow* PopupWindow() const { return FWindow; }

    // What the menu windows ask of the menu. The base measures and draws the standard way.
    virtual QSize MeasureItem(TMenuItem* item);
    // Draws one item; the canvas's clip covers every item being drawn.
    virtual void DrawItem(TCanvas& canvas, TMenuItem* item, const TRect& rect, TOwnerDrawState state);
    // An item became selected (none when the menu closes): the application's hint follows it.
    virtual void ItemSelected(TMenuItem* item, bool byMouse, QWidget* window);
    // F1 on an item.
    virtual void ItemHelp(TMenuItem* item);
    // The font items are measured and drawn in.
    virtual QFont ItemFont(const TMenuItem* item) const;

protected:
    virtual void DoPopup();

private:
    friend class TMenuPopupWindow;
    void Finish(TMenuItem* chosen);
    TMenuItem* FItems;
    QPointer<TMenuPopupWindow> FWindow;
    class QEventLoop* FLoop = nullptr;
    TMenuItem* FChosen = nullptr;
    bool FFinished = false;
};

// A monochrome picture of a menu glyph (DFCS_MENUCHECK, DFCS_MENUBULLET, DFCS_MENUARROW):
// black on white.
TBitmap MenuGlyphBitmap(int width, int height, unsigned kind);

// One level of an open menu: a popup window that lays out, paints and tracks the visible
// items of one menu item.
class TMenuPopupWindow : public QWidget {
    Q_OBJECT
public:
    TMenuPopupWindow(TPopupMenu* menu, TMenuItem* parentItem, TMenuPopupWindow* parentWindow);
    ~TMenuPopupWindow() override;

    static constexpr int FrameWidth = 3;
    TMenuItem* ParentItem() const { return FParentItem; }
    TMenuItem* Selected() const { return FSelected >= 0 ? FEntries[size_t(FSelected)].Item : nullptr; }
    // The item's rectangle in the window, empty when it is not shown.
    TRect ItemRect(const TMenuItem* item) const;
    TMenuPopupWindow* Submenu() const { return FSubmenu; }
    // Puts the window at the screen point (its alignment edge there), on the screen.
    void ShowAt(const QPoint& point, TPopupAlignment alignment);
    void SelectItem(TMenuItem* item, bool byMouse);
    // Opens the selected item's sub-items, or runs it.
    void Activate(TMenuItem* item);
    void OpenSubmenu(bool selectFirst);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct TEntry {
        TMenuItem* Item;
        TRect Rect;   // in the item area (inside the frame)
    };
    void Layout();
    int EntryAt(const QPoint& pos) const;
    void MoveSelection(int step);
    void CloseSubmenu();
    TPopupMenu* FMenu;
    TMenuItem* FParentItem;
    TMenuPopupWindow* FParentWindow;
    std::vector<TEntry> FEntries;
    int FSelected = -1;
    QPointer<TMenuPopupWindow> FSubmenu;
    QTimer* FSubmenuTimer;
};
