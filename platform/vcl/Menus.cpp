#include "platform/vcl/Menus.h"

#include "platform/vcl/Edges.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <atomic>

namespace {
std::atomic<int> GNextCommand{1};

// Room of the standard drawing: the check column, the gap before a shortcut, the arrow column.
constexpr int CheckColumn = 19;
constexpr int ShortCutGap = 24;
constexpr int ArrowColumn = 16;
} // namespace

// ---- TMenuItem ----

TMenuItem::TMenuItem(QObject* owner) : QObject(owner), FCommand(GNextCommand++) {}

TMenuItem::~TMenuItem()
{
    if (FParent) FParent->Remove(this);
    for (TMenuItem* item : FItems) item->FParent = nullptr;
}

void TMenuItem::SetChecked(bool value)
{
    if (value == FChecked) return;
    FChecked = value;
    if (value && RadioItem && FParent)
        for (TMenuItem* sibling : FParent->FItems)
            if (sibling != this && sibling->RadioItem && sibling->GroupIndex == GroupIndex) sibling->FChecked = false;
}

int TMenuItem::IndexOf(const TMenuItem* item) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == item) return int(i);
    return -1;
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item)
{
    if (!item || item == this) return;
    if (item->FParent) item->FParent->Remove(item);
    index = std::clamp(index, 0, Count());
    FItems.insert(FItems.begin() + index, item);
    item->FParent = this;
    item->setParent(this);
}

void TMenuItem::Remove(TMenuItem* item)
{
    const int index = IndexOf(item);
    if (index < 0) return;
    FItems.erase(FItems.begin() + index);
    item->FParent = nullptr;
}

void TMenuItem::Clear()
{
    while (!FItems.empty()) delete FItems.back();
}

TMenuItem* TMenuItem::AddItem(const QString& caption, std::function<void(QObject*)> onClick)
{
    auto* item = new TMenuItem;
    item->Caption = caption;
    item->OnClick = std::move(onClick);
    Add(item);
    return item;
}

TMenuItem* TMenuItem::Find(const QString& caption) const
{
    const QString wanted = StripAccelerators(caption);
    for (TMenuItem* item : FItems)
        if (StripAccelerators(item->Caption).compare(wanted, Qt::CaseInsensitive) == 0) return item;
    return nullptr;
}

TMenuItem* TMenuItem::FindByCommand(int command)
{
    if (FCommand == command) return this;
    for (TMenuItem* item : FItems)
        if (TMenuItem* found = item->FindByCommand(command)) return found;
    return nullptr;
}

QString TMenuItem::ShortCutText() const { return ShortCut.toString(QKeySequence::NativeText); }

QChar TMenuItem::Accelerator() const
{
    for (qsizetype i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != QLatin1Char('&')) continue;
        if (Caption[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return Caption[i + 1].toLower();
    }
    return QChar();
}

TPopupMenu* TMenuItem::Menu() const
{
    const TMenuItem* root = this;
    while (root->FParent) root = root->FParent;
    return root->FMenu;
}

void TMenuItem::Click()
{
    if (!Enabled) return;
    if (AutoCheck) SetChecked(!FChecked);
    if (OnClick) OnClick(this);
}

// ---- TPopupMenu ----

TPopupMenu::TPopupMenu(QObject* owner) : QObject(owner), FItems(new TMenuItem(this))
{
    FItems->FMenu = this;
}

TPopupMenu::~TPopupMenu()
{
    if (FWindow) {
        Finish(nullptr);
        delete FWindow;
    }
}

void TPopupMenu::DoPopup()
{
    if (OnPopup) OnPopup(this);
}

void TPopupMenu::Popup(int x, int y)
{
    if (FWindow) return;
    DoPopup();
    FChosen = nullptr;
    FFinished = false;
    auto* window = new TMenuPopupWindow(this, FItems, nullptr);
    FWindow = window;
    window->ShowAt(QPoint(x, y), Alignment);
    if (!FFinished) {
        QEventLoop loop;
        FLoop = &loop;
        QPointer<TPopupMenu> alive(this);
        QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
        if (!alive) return;
        FLoop = nullptr;
    }
    if (FWindow) FWindow->deleteLater();
    FWindow = nullptr;
    ItemSelected(nullptr, false, nullptr);
    if (TMenuItem* chosen = FChosen) {
        FChosen = nullptr;
        TApplication::Guard([chosen] { chosen->Click(); });
    }
}

void TPopupMenu::CloseMenu() { Finish(nullptr); }

void TPopupMenu::Finish(TMenuItem* chosen)
{
    if (FFinished) return;
    FFinished = true;
    FChosen = chosen;
    if (FWindow) FWindow->hide();
    if (FLoop) FLoop->quit();
}

QFont TPopupMenu::ItemFont(const TMenuItem* item) const
{
    QFont f = MenuFont();
    if (item && item->Default) f.setBold(true);
    return f;
}

QSize TPopupMenu::MeasureItem(TMenuItem* item)
{
    if (item->IsLine()) return QSize(0, 9);
    const QFontMetrics fm(ItemFont(item));
    int width = CheckColumn + fm.horizontalAdvance(StripAccelerators(item->Caption)) + ArrowColumn;
    int shortcut = 0;
    if (TMenuItem* parent = item->Parent())
        for (int i = 0; i < parent->Count(); ++i)
            if (!parent->Items(i)->ShortCut.isEmpty())
                shortcut = std::max(shortcut, fm.horizontalAdvance(parent->Items(i)->ShortCutText()));
    if (shortcut > 0) width += ShortCutGap + shortcut;
    return QSize(width, std::max(fm.height() + 6, GetSystemMetrics(SM_CYMENU) - 2));
}

TBitmap MenuGlyphBitmap(int width, int height, unsigned kind)
{
    TBitmap glyph(width, height);
    {
        TCanvas c(glyph);
        DrawFrameControl(c, {0, 0, width, height}, DFC_MENU, kind);
    }
    glyph.SetMonochrome(true);
    return glyph;
}

void TPopupMenu::DrawItem(TCanvas& canvas, TMenuItem* item, const TRect& rect, TOwnerDrawState state)
{
    const bool selected = state.Contains(odSelected);
    const bool disabled = state.Contains(odDisabled);
    canvas.Save();
    canvas.SetClipRect(rect);
    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = selected ? clHighlight : clMenu;
    canvas.FillRect(rect);
    if (item->IsLine()) {
        const int y = (rect.Top + rect.Bottom) / 2 - 1;
        canvas.Pen.Color = clBtnShadow;
        canvas.MoveTo(rect.Left + 1, y);
        canvas.LineTo(rect.Right - 1, y);
        canvas.Pen.Color = clBtnHighlight;
        canvas.MoveTo(rect.Left + 1, y + 1);
        canvas.LineTo(rect.Right - 1, y + 1);
        canvas.Restore();
        return;
    }
    const TColor text = disabled ? clGrayText : selected ? clHighlightText : clMenuText;
    auto paintText = [&](TColor color, int dx) {
        canvas.Font = TFont(ItemFont(item), color);
        canvas.Brush.Style = bsClear;
        TRect r{rect.Left + CheckColumn + dx, rect.Top + dx, rect.Right - ArrowColumn + dx, rect.Bottom + dx};
        canvas.DrawText(item->Caption, r, DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS);
        if (!item->ShortCut.isEmpty()) canvas.DrawText(item->ShortCutText(), r, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
    };
    if (disabled && !selected) paintText(clBtnHighlight, 1);
    paintText(text, 0);
    const int check = GetSystemMetrics(SM_CXMENUCHECK);
    const int top = rect.Top + (rect.Height() - check) / 2;
    if (item->Checked()) {
        const TBitmap glyph = MenuGlyphBitmap(check, check, item->RadioItem ? DFCS_MENUBULLET : DFCS_MENUCHECK);
        PaintThroughStencil(canvas, rect.Left + (CheckColumn - check) / 2, top, StencilOfColor(glyph.Image(), clBlack), text);
    }
    canvas.Restore();
}

void TPopupMenu::ItemSelected(TMenuItem* item, bool byMouse, QWidget* window)
{
    Q_UNUSED(byMouse);
    Q_UNUSED(window);
    if (TApplication* app = Application()) app->SetHint(item ? item->Hint : QString());
}

void TPopupMenu::ItemHelp(TMenuItem* item)
{
    int context = 0;
    for (TMenuItem* i = item; i && context == 0; i = i->Parent()) context = i->HelpContext;
    TApplication* app = Application();
    QWidget* form = QApplication::activeWindow();
    if (!app || !form || context == 0) return;
    // A form with the help button in its caption gets a context popup.
    app->HelpCommand((form->windowFlags() & Qt::WindowContextHelpButtonHint) ? 8 : 1, context);
}

// ---- TMenuPopupWindow ----

TMenuPopupWindow::TMenuPopupWindow(TPopupMenu* menu, TMenuItem* parentItem, TMenuPopupWindow* parentWindow)
    : QWidget(parentWindow, Qt::Popup | Qt::FramelessWindowHint), FMenu(menu), FParentItem(parentItem),
      FParentWindow(parentWindow), FSubmenuTimer(new QTimer(this))
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    FSubmenuTimer->setSingleShot(true);
    FSubmenuTimer->setInterval(250);
    connect(FSubmenuTimer, &QTimer::timeout, this, [this] {
        TMenuItem* item = Selected();
        if (item && item->Count() > 0 && item->Enabled) {
            if (!FSubmenu || FSubmenu->ParentItem() != item) OpenSubmenu(false);
        } else {
            CloseSubmenu();
        }
    });
    Layout();
}

TMenuPopupWindow::~TMenuPopupWindow() { CloseSubmenu(); }

namespace {
// An item whose "Break" property is 1 starts a new column of its menu; 2 also draws a line
// between the columns (the old menu-break and menu-bar-break flags).
constexpr int ColumnBarWidth = 6;
int ItemBreak(const TMenuItem* item) { return item->property("Break").toInt(); }
} // namespace

void TMenuPopupWindow::Layout()
{
    FEntries.clear();
    // Columns side by side: an item with a break starts the next one.
    int y = 0, left = 0, width = 0, height = 0;
    size_t columnStart = 0;
    auto closeColumn = [&] {
        for (size_t i = columnStart; i < FEntries.size(); ++i) {
            FEntries[i].Rect.Left = left;
            FEntries[i].Rect.Right = left + width;
        }
        height = std::max(height, y);
    };
    for (int i = 0; i < FParentItem->Count(); ++i) {
        TMenuItem* item = FParentItem->Items(i);
        if (!item->Visible) continue;
        if (ItemBreak(item) != 0 && !FEntries.empty()) {
            closeColumn();
            left += width + (ItemBreak(item) == 2 ? ColumnBarWidth : 0);
            columnStart = FEntries.size();
            width = 0;
            y = 0;
        }
        const QSize size = FMenu->MeasureItem(item);
        FEntries.push_back({item, TRect::Bounds(0, y, 0, size.height())});
        width = std::max(width, size.width());
        y += size.height();
    }
    closeColumn();
    setFixedSize(left + width + 2 * FrameWidth, height + 2 * FrameWidth);
}

TRect TMenuPopupWindow::ItemRect(const TMenuItem* item) const
{
    for (const TEntry& e : FEntries)
        if (e.Item == item) return e.Rect.Offset(FrameWidth, FrameWidth);
    return {};
}

void TMenuPopupWindow::ShowAt(const QPoint& point, TPopupAlignment alignment)
{
    int x = point.x();
    if (alignment == paRight) x -= width();
    else if (alignment == paCenter) x -= width() / 2;
    int y = point.y();
    const QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        if (x + width() > area.right() + 1) x = area.right() + 1 - width();
        if (x < area.left()) x = area.left();
        if (y + height() > area.bottom() + 1) y = std::max(area.top(), y - height());
        if (y < area.top()) y = area.top();
    }
    move(x, y);
    show();
    setFocus();
}

int TMenuPopupWindow::EntryAt(const QPoint& pos) const
{
    const QPoint p = pos - QPoint(FrameWidth, FrameWidth);
    for (size_t i = 0; i < FEntries.size(); ++i)
        if (FEntries[i].Rect.Contains(p)) return int(i);
    return -1;
}

void TMenuPopupWindow::SelectItem(TMenuItem* item, bool byMouse)
{
    int index = -1;
    for (size_t i = 0; i < FEntries.size(); ++i)
        if (FEntries[i].Item == item) index = int(i);
    if (index == FSelected) return;
    FSelected = index;
    update();
    if (item) FMenu->ItemSelected(item, byMouse, this);
}

void TMenuPopupWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    TCanvas canvas(p);
    TRect frame{0, 0, width(), height()};
    DrawEdge(canvas, frame, EDGE_RAISED, BF_RECT | BF_ADJUST);
    canvas.Brush.Color = clMenu;
    canvas.FillRect(frame);
    p.translate(FrameWidth, FrameWidth);
    const TRect area{0, 0, width() - 2 * FrameWidth, height() - 2 * FrameWidth};
    canvas.SetClipRect(area);
    for (size_t i = 1; i < FEntries.size(); ++i) {
        // The line between columns of a bar break.
        if (ItemBreak(FEntries[i].Item) != 2 || FEntries[i].Rect.Top != 0) continue;
        const int x = FEntries[i].Rect.Left - ColumnBarWidth / 2;
        canvas.Pen.Color = clBtnShadow;
        canvas.MoveTo(x - 1, 0);
        canvas.LineTo(x - 1, area.Bottom);
        canvas.Pen.Color = clBtnHighlight;
        canvas.MoveTo(x, 0);
        canvas.LineTo(x, area.Bottom);
    }
    for (size_t i = 0; i < FEntries.size(); ++i) {
        TMenuItem* item = FEntries[i].Item;
        TOwnerDrawState state;
        if (int(i) == FSelected) state.Include(odSelected).Include(odFocused);
        if (!item->Enabled) state.Include(odDisabled).Include(odGrayed);
        if (item->Checked()) state.Include(odChecked);
        if (item->Default) state.Include(odDefault);
        canvas.Save();
        TApplication::Guard([&] { FMenu->DrawItem(canvas, item, FEntries[i].Rect, state); });
        canvas.Restore();
        // The arrow of an item with sub-items, whoever draws the item.
        if (item->Count() > 0) {
            const TRect& r = FEntries[i].Rect;
            const int check = GetSystemMetrics(SM_CXMENUCHECK);
            const TBitmap arrow = MenuGlyphBitmap(check, check, DFCS_MENUARROW);
            const TColor color = !item->Enabled ? clGrayText : int(i) == FSelected ? clHighlightText : clMenuText;
            PaintThroughStencil(canvas, r.Right - ArrowColumn + (ArrowColumn - check) / 2, r.Top + (r.Height() - check) / 2,
                                StencilOfColor(arrow.Image(), clBlack), color);
        }
    }
}

void TMenuPopupWindow::mouseMoveEvent(QMouseEvent* event)
{
    const int index = EntryAt(event->position().toPoint());
    if (index < 0 || FEntries[size_t(index)].Item->IsLine()) {
        if (!FSubmenu) SelectItem(nullptr, true);
        return;
    }
    SelectItem(FEntries[size_t(index)].Item, true);
    FSubmenuTimer->start();
}

void TMenuPopupWindow::leaveEvent(QEvent*)
{
    if (!FSubmenu) SelectItem(nullptr, true);
}

void TMenuPopupWindow::mousePressEvent(QMouseEvent* event)
{
    if (rect().contains(event->position().toPoint())) return;
    const QPoint global = event->globalPosition().toPoint();
    // A press on an outer level of the same menu goes to that level.
    for (TMenuPopupWindow* w = FParentWindow; w; w = w->FParentWindow) {
        if (!w->geometry().contains(global)) continue;
        w->CloseSubmenu();
        const int index = w->EntryAt(w->mapFromGlobal(global));
        if (index >= 0) w->SelectItem(w->FEntries[size_t(index)].Item, true);
        return;
    }
    // The press that closes the menu on the control it dropped down from does not reach that
    // control again (it would open the menu once more).
    if (auto* owner = qobject_cast<QWidget*>(FMenu->PopupComponent.data())) {
        const QRect ownerRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
        if (ownerRect.adjusted(0, 0, 0, 1).contains(global)) setAttribute(Qt::WA_NoMouseReplay);
    }
    FMenu->Finish(nullptr);
}

void TMenuPopupWindow::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint global = event->globalPosition().toPoint();
    TMenuPopupWindow* target = this;
    for (TMenuPopupWindow* w = FParentWindow; w && !rect().contains(event->position().toPoint()); w = w->FParentWindow)
        if (w->geometry().contains(global)) target = w;
    const int index = target->EntryAt(target->mapFromGlobal(global));
    if (index < 0) return;
    TMenuItem* item = target->FEntries[size_t(index)].Item;
    if (item->IsLine()) return;
    target->SelectItem(item, true);
    target->Activate(item);
}

void TMenuPopupWindow::Activate(TMenuItem* item)
{
    if (!item || item->IsLine() || !item->Enabled) return;
    if (item->Count() > 0) {
        if (!FSubmenu || FSubmenu->ParentItem() != item) OpenSubmenu(false);
        return;
    }
    FMenu->Finish(item);
}

void TMenuPopupWindow::OpenSubmenu(bool selectFirst)
{
    TMenuItem* item = Selected();
    if (!item || item->Count() == 0 || !item->Enabled) return;
    CloseSubmenu();
    // An item's own click runs as its sub-items are about to show, so that it can prepare them.
    if (item->OnClick) TApplication::Guard([item] { item->OnClick(item); });
    auto* sub = new TMenuPopupWindow(FMenu, item, this);
    FSubmenu = sub;
    const TRect r = ItemRect(item);
    QPoint at = mapToGlobal(QPoint(r.Right + FrameWidth - 2, r.Top - FrameWidth));
    const QScreen* screen = QGuiApplication::screenAt(at);
    if (screen && at.x() + sub->width() > screen->geometry().right() + 1)
        at.setX(mapToGlobal(QPoint(0, 0)).x() - sub->width() + 2);
    sub->ShowAt(at, paLeft);
    if (selectFirst) sub->MoveSelection(1);
}

void TMenuPopupWindow::CloseSubmenu()
{
    if (!FSubmenu) return;
    TMenuPopupWindow* sub = FSubmenu;
    FSubmenu = nullptr;
    sub->hide();
    sub->deleteLater();
    if (isVisible()) setFocus();
}

void TMenuPopupWindow::MoveSelection(int step)
{
    const int n = int(FEntries.size());
    if (n == 0) return;
    int index = FSelected;
    for (int tries = 0; tries < n; ++tries) {
        index = index < 0 ? (step > 0 ? 0 : n - 1) : (index + step + n) % n;
        if (!FEntries[size_t(index)].Item->IsLine()) {
            SelectItem(FEntries[size_t(index)].Item, false);
            return;
        }
    }
}

void TMenuPopupWindow::keyPressEvent(QKeyEvent* event)
{
    if (FSubmenu) {
        // The innermost level takes the keys.
        FSubmenu->keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Down: MoveSelection(1); return;
    case Qt::Key_Up: MoveSelection(-1); return;
    case Qt::Key_Home:
        FSelected = -1;
        MoveSelection(1);
        return;
    case Qt::Key_End:
        FSelected = -1;
        MoveSelection(-1);
        return;
    case Qt::Key_Right:
        if (Selected() && Selected()->Count() > 0) OpenSubmenu(true);
        return;
    case Qt::Key_Left:
    case Qt::Key_Escape:
        if (FParentWindow) FParentWindow->CloseSubmenu();
        else if (event->key() == Qt::Key_Escape) FMenu->Finish(nullptr);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (TMenuItem* item = Selected()) {
            if (item->Count() > 0) OpenSubmenu(true);
            else Activate(item);
        }
        return;
    case Qt::Key_F1:
        if (TMenuItem* item = Selected()) TApplication::Guard([this, item] { FMenu->ItemHelp(item); });
        return;
    default: break;
    }
    // An accelerator character: the only item with it runs, several are stepped through.
    const QString text = event->text().toLower();
    if (text.size() != 1) return;
    std::vector<int> matches;
    for (size_t i = 0; i < FEntries.size(); ++i)
        if (FEntries[i].Item->Accelerator() == text[0]) matches.push_back(int(i));
    if (matches.empty()) return;
    if (matches.size() == 1) {
        TMenuItem* item = FEntries[size_t(matches[0])].Item;
        SelectItem(item, false);
        if (item->Count() > 0) OpenSubmenu(true);
        else Activate(item);
        return;
    }
    auto next = std::find_if(matches.begin(), matches.end(), [this](int i) { return i > FSelected; });
    SelectItem(FEntries[size_t(next == matches.end() ? matches[0] : *next)].Item, false);
}

void TMenuPopupWindow::hideEvent(QHideEvent*)
{
    FSubmenuTimer->stop();
    // Dismissed from outside (a click elsewhere, the window system): the menu ends unchosen.
    if (!FParentWindow && FMenu) FMenu->Finish(nullptr);
}
