#include "gridlib/core/kqwinbtn.h"

#include "gridlib/core/kqcommon.h"

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

TkqWinButtonIndents::TkqWinButtonIndents(QObject* owner) : QObject(owner), FOwner(qobject_cast<QWidget*>(owner)) {}

void TkqWinButtonIndents::Changed()
{
    if (FOwner) Refresh(FOwner);
}

void TkqWinButtonIndents::SetButtonX(int value)
{
    FButtonX = value;
    Changed();
}

void TkqWinButtonIndents::SetButtonY(int value)
{
    FButtonY = value;
    Changed();
}

void TkqWinButtonIndents::SetTextX(int value)
{
    FTextX = value;
    Changed();
}

void TkqWinButtonIndents::SetTextY(int value)
{
    FTextY = value;
    Changed();
}

void TkqWinButtonIndents::Assign(const TkqWinButtonIndents& source)
{
    if (&source == this) return;
    SetButtonX(source.FButtonX);
    SetButtonY(source.FButtonY);
    SetTextX(source.FTextX);
    SetTextY(source.FTextY);
}

void TkqWinButtonIndents::Refresh(QWidget* owner)
{
    owner->update();
}

// ---------------------------------------------------------------------------------------------

TkqButtonControl::TkqButtonControl(QWidget* parent)
    : QWidget(parent), FFrame(new TkqEditFrame(this)), FIndents(new TkqWinButtonIndents(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    resize(97, 17);
}

TkqButtonControl::~TkqButtonControl()
{
    SetImages(nullptr);
}

QSize TkqButtonControl::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(13 + 8 + fm.horizontalAdvance(StripAccelerators(FCaption)) + 4, std::max(17, fm.height() + 4));
}

void TkqButtonControl::SetCaption(const QString& caption)
{
    if (caption == FCaption) return;
    FCaption = caption;
    updateGeometry();
    CaptionChanged();
}

void TkqButtonControl::SetColor(TColor color)
{
    if (color == FColor) return;
    FColor = color;
    update();
}

void TkqButtonControl::SetFontColor(TColor color)
{
    if (color == FFontColor) return;
    FFontColor = color;
    update();
}

void TkqButtonControl::SetAlignment(TAlignment value)
{
    if (value == FAlignment) return;
    FAlignment = value;
    update();
}

void TkqButtonControl::SetAlwaysTransparent(bool value)
{
    if (value == FAlwaysTransparent) return;
    FAlwaysTransparent = value;
    update();
}

void TkqButtonControl::SetShowFocusRect(bool value)
{
    if (value == FShowFocusRect) return;
    FShowFocusRect = value;
    update();
}

void TkqButtonControl::SetTabStop(bool value)
{
    setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

void TkqButtonControl::AttachImages(TImageList*& slot, int& freeKey, TImageList* images)
{
    if (images == slot) return;
    if (slot && freeKey) slot->RemoveFreeListener(freeKey);
    slot = images;
    freeKey = 0;
    if (slot) freeKey = slot->AddFreeListener([this, &slot, &freeKey] {
        slot = nullptr;
        freeKey = 0;
        update();
    });
    update();
}

void TkqButtonControl::SetImages(TImageList* images)
{
    AttachImages(FImages, FImagesFreeKey, images);
}

void TkqButtonControl::keyPressEvent(QKeyEvent* event)
{
    if (KeyEventToVirtualKey(event) == VK_SPACE) {
        if (!event->isAutoRepeat()) {
            SpaceKeyPressed = true;
            update();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void TkqButtonControl::keyReleaseEvent(QKeyEvent* event)
{
    if (KeyEventToVirtualKey(event) == VK_SPACE && !event->isAutoRepeat()) {
        const bool pressed = SpaceKeyPressed;
        SpaceKeyPressed = false;
        update();
        if (pressed) SpaceClick();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

bool DataLinkKeyPress(TFieldDataLink& link, int key)
{
    if (key == VK_SPACE || key == VK_BACK) {
        link.Edit();
    } else if (key == VK_ESCAPE) {
        link.Reset();
        return true;
    }
    return false;
}

bool TkqButtonControl::TransparentNow() const
{
    return FFrame->Transparent() && FFrame->IsInEffect() && !IsInDesigner(this);
}

bool TkqButtonControl::FrameLookFocused() const
{
    return Focused() || (FMouseOver && FFrame->MouseEnterSameAsFocus);
}

void TkqButtonControl::Click()
{
    if (!ClicksDisabled && OnClick) OnClick(this);
}

bool TkqButtonControl::IsMouseOverBox(bool inGlyph) const
{
    QWidget* parent = parentWidget();
    if (!parent) return false;
    const QPoint inParent = parent->mapFromGlobal(QCursor::pos());
    QWidget* under = nullptr;
    // The topmost visible child of the parent under the cursor.
    const QObjectList& kids = parent->children();
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
        auto* w = qobject_cast<QWidget*>(*it);
        if (w && w->isVisible() && !w->isWindow() && w->geometry().contains(inParent)) {
            under = w;
            break;
        }
    }
    if (under != this) return false;
    if (!inGlyph) return true;
    return GetCheckRect().Inflated(3, 3).Contains(mapFromGlobal(QCursor::pos()));
}

void TkqButtonControl::PaintControl(TCanvas& canvas)
{
    canvas.Font = ControlFont();
    Paint(canvas);
    if (!IsPaintingCopy(this)) FFrame->PaintFrame(canvas, FrameLookFocused(), FAlwaysTransparent);
}

void TkqButtonControl::PaintCopy(TCanvas& canvas)
{
    // The grid's canvas already holds the cell's text colour.
    const TColor cellText = canvas.Font.Color;
    const bool disabled = ClicksDisabled;
    ClicksDisabled = true;
    canvas.Font = TFont(font(), IsInGrid(this) ? cellText : FFontColor);
    Paint(canvas);
    ClicksDisabled = disabled;
}

void TkqButtonControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    PaintControl(canvas);
}

void TkqButtonControl::DrawCaption(TCanvas& canvas, const QString& text, TRect rect, unsigned flags, bool disabled)
{
    const TBrushStyle style = canvas.Brush.Style;
    canvas.Brush.Style = bsClear;
    if (disabled) {
        const TColor color = canvas.Font.Color;
        TRect shadow = rect.Offset(1, 1);
        canvas.Font.Color = clBtnHighlight;
        canvas.DrawText(text, shadow, flags);
        canvas.Font.Color = clGrayText;
        canvas.DrawText(text, rect, flags);
        canvas.Font.Color = color;
    } else {
        canvas.DrawText(text, rect, flags);
    }
    canvas.Brush.Style = style;
}

void TkqButtonControl::DoMouseEnter()
{
    try {
        if (OnMouseEnter) OnMouseEnter(this);
    } catch (...) {
        return;
    }
    if (FFrame->IsInEffect() && !Focused() && FFrame->MouseEnterSameAsFocus) update();
}

void TkqButtonControl::DoMouseLeave()
{
    try {
        if (OnMouseLeave) OnMouseLeave(this);
    } catch (...) {
        return;
    }
    if (FFrame->IsInEffect() && !Focused() && FFrame->MouseEnterSameAsFocus) {
        if (TransparentNow()) {
            FFrame->CreateTransparent = true;
            RecreateWnd();
        } else {
            update();
        }
    }
}

void TkqButtonControl::RecreateWnd()
{
    SetTransparentStyle(this, TransparentNow() && !(Focused() && !FAlwaysTransparent));
    update();
}

void TkqButtonControl::enterEvent(QEnterEvent*)
{
    FMouseOver = true;
    DoMouseEnter();
}

void TkqButtonControl::leaveEvent(QEvent*)
{
    // Moving onto a child still counts as inside.
    if (rect().contains(mapFromGlobal(QCursor::pos())) && QApplication::widgetAt(QCursor::pos()) != nullptr
        && isAncestorOf(QApplication::widgetAt(QCursor::pos())))
        return;
    FMouseOver = false;
    DoMouseLeave();
}

bool TkqButtonControl::event(QEvent* event)
{
    if (event->type() == RecreateWndEventType()) {
        RecreateWnd();
        return true;
    }
    return QWidget::event(event);
}

void TkqButtonControl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (!IsWindowSwitchFocus(event)) DoEnter();
    update();
}

void TkqButtonControl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    if (!IsWindowSwitchFocus(event)) DoExit();
    update();
}

void TkqButtonControl::DoEnter()
{
    if (OnEnter) OnEnter(this);
}

void TkqButtonControl::DoExit()
{
    if (OnExit) OnExit(this);
}

void TkqButtonControl::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) update();
    if (event->type() == QEvent::ParentChange) RecreateWnd();
}
