#include "gridlib/core/kqradio.h"

#include "gridlib/core/kqcommon.h"
#include "platform/vcl/Edges.h"

#include <QKeyEvent>
#include <QMouseEvent>

TkqCustomRadioButton::TkqCustomRadioButton(QWidget* parent) : TkqButtonControl(parent)
{
    SetTabStop(false);
}

TkqCustomRadioButton::~TkqCustomRadioButton()
{
    SetGlyphImages(nullptr);
}

void TkqCustomRadioButton::SetChecked(bool value)
{
    if (value == FChecked) return;
    FChecked = value;
    SetTabStop(value && !IsClassOrAncestorNamed(parentWidget(), "TkqCustomRadioGroup"));
    RefreshBehind(false);
    if (!value) return;
    if (QWidget* parent = parentWidget()) {
        for (QObject* o : parent->children())
            if (auto* sibling = qobject_cast<TkqCustomRadioButton*>(o); sibling && sibling != this) sibling->SetChecked(false);
    }
    Click();
}

void TkqCustomRadioButton::SetWordWrap(bool value)
{
    if (value == FWordWrap) return;
    FWordWrap = value;
    update();
}

void TkqCustomRadioButton::SetGlyphImages(TImageList* images)
{
    AttachImages(FGlyphImages, FGlyphImagesFreeKey, images);
}

TRect TkqCustomRadioButton::GetCheckRect() const
{
    const TImageList* images = Images();
    const bool useImages = images && images->Count() > 0;
    const int w = useImages ? images->Width() : 13, h = useImages ? images->Height() : 13;
    const int hw = w / 2, hh = h / 2;
    int x0 = Indents()->ButtonX();
    if (Frame()->Enabled() && Frame()->FocusBorders().Contains(efLeftBorder)) x0 = std::max(x0, 1);
    const int x = Alignment() == taRightJustify ? x0 + hw : width() - x0 - hw - 2;
    const int y = height() / 2;
    const int by = Indents()->ButtonY();
    return TRect(x - hw, y - hh + by, x + hw + 1, y + hh + 1 + by);
}

TRect TkqCustomRadioButton::GetTextRect(TCanvas& canvas) const
{
    const TRect glyph = GetCheckRect();
    const int tx = Indents()->TextX();
    TRect r = Alignment() == taRightJustify ? TRect(glyph.Right + tx + 2, 0, width(), height())
                                            : TRect(tx + 2, 0, glyph.Left, height());
    if (FGlyphImages) r.Left += FGlyphImages->Width() + 2;
    canvas.DrawText(Caption(), r, DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0u));
    const int textHeight = r.Height();
    r.Top = (height() - textHeight) / 2 + Indents()->TextY();
    r.Bottom = r.Top + textHeight;
    return r;
}

TRect TkqCustomRadioButton::GetGlyphRect(TCanvas& canvas) const
{
    TRect r = GetTextRect(canvas);
    if (FGlyphImages && FGlyphImages->ValidIndex(GetGlyphIndex())) {
        r.Right = r.Left;
        r.Left -= FGlyphImages->Width() + 2;
    }
    const int ih = FGlyphImages ? FGlyphImages->Height() : 0;
    r.Top = (height() - ih) / 2;
    r.Bottom = r.Top + ih;
    return r;
}

bool TkqCustomRadioButton::GlyphPushed() const
{
    if (!Focused() || IsPaintingCopy(this)) return false;
    if (FLeftDown && IsMouseOverBox(IsInGrid(parentWidget()))) return true;
    return SpaceKeyPressed;
}

void TkqCustomRadioButton::Paint(TCanvas& canvas)
{
    const bool copy = IsPaintingCopy(this);
    const bool focused = Focused();
    const TRect client(0, 0, width(), height());
    // 1. Background.
    if (!copy && (!TransparentNow() || (focused && !AlwaysTransparent()))) {
        TColor brush = Color();
        if (GetBackgroundColor() != clNone) brush = GetBackgroundColor();
        else if (!focused && !TransparentNow() && Frame()->NonFocusColor != clNone) brush = Frame()->NonFocusColor;
        canvas.Brush.Color = brush;
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(client);
    }
    // 2. The radio glyph.
    const TRect check = GetCheckRect();
    const bool checked = GetDisplayChecked();
    unsigned state = DFCS_BUTTONRADIO | (checked ? DFCS_CHECKED : 0u) | (GlyphPushed() ? DFCS_PUSHED : 0u);
    const TImageList* images = Images();
    if (images && images->Count() >= (checked ? 2 : 1)) {
        images->Draw(canvas, check.Left, check.Top, checked ? 1 : 0, true);
    } else {
        if (!isEnabled()) state |= DFCS_INACTIVE;
        DrawFrameControl(canvas, check, DFC_BUTTON, state);
    }
    // 3. The extra picture.
    const bool glyphValid = FGlyphImages && FGlyphImages->ValidIndex(GetGlyphIndex());
    if (glyphValid) {
        const TRect g = GetGlyphRect(canvas);
        FGlyphImages->Draw(canvas, g.Left, g.Top, GetGlyphIndex(), true);
    }
    // 4. Caption and focus rectangle.
    const bool hasText = !Caption().isEmpty() && ShowsText();
    TRect text = GetTextRect(canvas);
    if (focused && ShowFocusRect() && (hasText || FGlyphImages) && !copy) {
        const int textWidth = canvas.TextWidth(StripAccelerators(Caption()));
        const TRect focus = hasText ? TRect(text.Left - 2, text.Top - 2, std::min(text.Right + 2, text.Left + textWidth + 2),
                                            text.Bottom + 2)
                                    : GetGlyphRect(canvas);
        DrawFocusRect(canvas, focus);
    }
    if (!hasText) return;
    text.Bottom += 2;
    TColor color = canvas.Font.Color;
    if (GetTextColor() != clNone) color = GetTextColor();
    if (!focused && TransparentNow() && Frame()->NonFocusTransparentFontColor != clNone)
        color = Frame()->NonFocusTransparentFontColor;
    else if (!focused && Frame()->Enabled() && Frame()->NonFocusFontColor != clNone)
        color = Frame()->NonFocusFontColor;
    canvas.Font.Color = color;
    const bool disabled = !isEnabled() || (parentWidget() && !parentWidget()->isEnabled());
    DrawCaption(canvas, Caption(), text, FWordWrap ? DT_WORDBREAK : 0u, disabled);
}

void TkqCustomRadioButton::CaptionChanged()
{
    if (TransparentNow() && (!Focused() || AlwaysTransparent())) Frame()->RefreshTransparentBackground(false, false);
    update();
}

void TkqCustomRadioButton::RefreshBehind(bool focusLoss)
{
    Q_UNUSED(focusLoss);
    if (TransparentNow() && ParentHasTransparentStyle(this)) InvalidateParentArea(this, true);
    update();
}

void TkqCustomRadioButton::DoEnter()
{
    SpaceKeyPressed = false;
    if (TransparentNow() && AlwaysTransparent()) InvalidateParentArea(this, true);
    TkqButtonControl::DoEnter();
}

void TkqCustomRadioButton::DoExit()
{
    RefreshBehind(true);
    TkqButtonControl::DoExit();
}

void TkqCustomRadioButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    if (IsInGrid(parentWidget()) && !GetCheckRect().Inflated(3, 3).Contains(p)) {
        if (focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
        return;
    }
    FLeftDown = true;
    SetControlState(this, GetControlState(this).With(csLButtonDown, true));
    if (focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
    update();
}

void TkqCustomRadioButton::mouseMoveEvent(QMouseEvent*)
{
    if (FLeftDown) update();
}

void TkqCustomRadioButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !FLeftDown) return;
    FLeftDown = false;
    SetControlState(this, GetControlState(this).With(csLButtonDown, false));
    update();
    if (rect().contains(event->position().toPoint())) NativeClick();
}

bool TkqCustomRadioButton::MoveToSibling(int step)
{
    QWidget* parent = parentWidget();
    if (!parent) return false;
    QList<TkqCustomRadioButton*> radios;
    for (QObject* o : parent->children())
        if (auto* r = qobject_cast<TkqCustomRadioButton*>(o); r && r->isVisible() && r->isEnabled()) radios.append(r);
    const int i = int(radios.indexOf(this));
    if (i < 0 || radios.size() < 2) return false;
    TkqCustomRadioButton* next = radios[(i + step + int(radios.size())) % int(radios.size())];
    next->setFocus(Qt::TabFocusReason);
    next->NativeClick();
    return true;
}

void TkqCustomRadioButton::keyPressEvent(QKeyEvent* event)
{
    switch (KeyEventToVirtualKey(event)) {
    case VK_UP:
    case VK_LEFT:
        if (MoveToSibling(-1)) return;
        break;
    case VK_DOWN:
    case VK_RIGHT:
        if (MoveToSibling(1)) return;
        break;
    default: break;
    }
    TkqButtonControl::keyPressEvent(event);
}
