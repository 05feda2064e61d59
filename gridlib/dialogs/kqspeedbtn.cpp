#include "gridlib/dialogs/kqspeedbtn.h"

#include "gridlib/core/kqframe.h"
#include "platform/vcl/Edges.h"
#include "platform/vcl/ImgList.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

TMouseButton MouseButtonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::RightButton: return mbRight;
    case Qt::MiddleButton: return mbMiddle;
    default: return mbLeft;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TkqSpeedButton

TkqSpeedButton::TkqSpeedButton(QWidget* parent) : QWidget(parent)
{
    resize(25, 25);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

TkqSpeedButton::~TkqSpeedButton() { ReleaseImages(); }

void TkqSpeedButton::ReleaseImages()
{
    if (!FImages) return;
    FImages->RemoveChangeListener(FImagesChangeKey);
    FImages->RemoveFreeListener(FImagesFreeKey);
    FImages = nullptr;
}

void TkqSpeedButton::SetImageIndex(int value)
{
    if (value == FImageIndex) return;
    FImageIndex = value;
    update();
}

void TkqSpeedButton::SetImages(TImageList* images)
{
    if (images == FImages) return;
    ReleaseImages();
    FImages = images;
    if (FImages) {
        FImagesChangeKey = FImages->AddChangeListener([this] { update(); });
        FImagesFreeKey = FImages->AddFreeListener([this] {
            FImages = nullptr;
            update();
        });
    }
    update();
}

void TkqSpeedButton::SetFlat(bool value)
{
    if (value == FFlat) return;
    FFlat = value;
    update();
}

void TkqSpeedButton::SetMargin(int value)
{
    if (value == FMargin) return;
    FMargin = value;
    update();
}

void TkqSpeedButton::SetNumGlyphs(int value)
{
    if (value == FNumGlyphs) return;
    FNumGlyphs = value;
    update();
}

void TkqSpeedButton::SetShowText(bool value)
{
    if (value == FShowText) return;
    FShowText = value;
    update();
}

void TkqSpeedButton::SetSpacing(int value)
{
    if (value == FSpacing) return;
    FSpacing = value;
    update();
}

void TkqSpeedButton::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    FTransparent = value;
    // An opaque button lets nothing behind it be drawn first.
    setAttribute(Qt::WA_OpaquePaintEvent, !value);
    update();
}

void TkqSpeedButton::SetHint(const QString& hint)
{
    FHint = hint;
    setToolTip(FShowHint ? hint : QString());
}

void TkqSpeedButton::SetShowHint(bool value)
{
    FShowHint = value;
    setToolTip(value ? FHint : QString());
}

void TkqSpeedButton::SetCaption(const QString& caption)
{
    if (caption == FCaption) return;
    FCaption = caption;
    update();
}

TkqSpeedButton::TLayout TkqSpeedButton::Layout() const
{
    TLayout layout;
    const bool enabled = isEnabled();
    const bool pressed = enabled && Pressed();
    int g = FImageIndex;
    if (g != -1) {
        if (!enabled) {
            if (FNumGlyphs > 1) g += 1;
        } else if (pressed) {
            if (FNumGlyphs > 2) g += 2;
        } else if (FHot && FNumGlyphs > 3) {
            g += 3;
        }
    }
    TRect r(0, 0, width(), height());
    int shift;
    if (!FFlat) {
        layout.Edge = TLayout::edFrame;
        r = r.Inflated(-2, -2);
        shift = 2;
    } else {
        if (FHot && enabled) layout.Edge = pressed ? TLayout::edSunken : TLayout::edRaised;
        shift = 1;
    }
    if (FMargin != -1) r = r.Offset(FMargin, FMargin);
    if (pressed) r = r.Offset(shift, shift);

    TRect glyph = r;
    if (FMargin == -1 && FImages) {
        const int w = FImages->Width(), h = FImages->Height();
        glyph = TRect::Bounds(r.Left + (r.Width() - w) / 2, r.Top + (r.Height() - h) / 2, w, h);
    }
    glyph = glyph.Offset(glyph.Width() % 2 != 0 ? 1 : 0, 1);

    const bool drawText = !FCaption.isEmpty() && FShowText;
    const bool drawGlyph = FImages && g != -1;
    if (drawText) {
        const QFontMetrics fm(font());
        const QString shown = StripAccelerators(FCaption);
        const int tw = fm.horizontalAdvance(shown), th = fm.height();
        glyph = glyph.Offset(0, -(th / 2 + FSpacing / 2));
        TRect text = r;
        if (FMargin == -1) text = TRect::Bounds(r.Left + (r.Width() - tw) / 2, r.Top + (r.Height() - th) / 2, tw, th);
        if (drawGlyph) text = text.Offset(0, th / 2 + FSpacing / 2);
        layout.Text = text;
    }
    if (drawGlyph) {
        layout.Glyph = g;
        layout.GlyphAt = glyph.TopLeft();
    }
    return layout;
}

void TkqSpeedButton::Paint(TCanvas& canvas)
{
    const TLayout layout = Layout();
    TRect r(0, 0, width(), height());
    switch (layout.Edge) {
    case TLayout::edFrame:
        DrawFrameControl(canvas, r, DFC_BUTTON, DFCS_BUTTONPUSH | (isEnabled() && Pressed() ? unsigned(DFCS_PUSHED) : 0u));
        break;
    case TLayout::edRaised: DrawEdge(canvas, r, BDR_RAISEDINNER, BF_RECT); break;
    case TLayout::edSunken: DrawEdge(canvas, r, BDR_SUNKENOUTER, BF_RECT); break;
    case TLayout::edNone: break;
    }
    canvas.Brush.Style = bsClear;
    if (layout.Glyph != -1 && FImages && FImages->ValidIndex(layout.Glyph))
        FImages->Draw(canvas, layout.GlyphAt.x(), layout.GlyphAt.y(), layout.Glyph, true);
    if (!layout.Text.IsEmpty()) {
        canvas.Font = TFont(font(), QColorToColor(palette().color(QPalette::ButtonText)));
        const unsigned flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
        if (isEnabled()) {
            TRect t = layout.Text;
            canvas.DrawText(FCaption, t, flags);
        } else {
            TRect t = layout.Text.Offset(1, 1);
            canvas.Font.Color = FDisabledTextColors.HighlightColor;
            canvas.DrawText(FCaption, t, flags);
            t = layout.Text;
            canvas.Font.Color = FDisabledTextColors.ShadeColor;
            canvas.DrawText(FCaption, t, flags);
        }
    }
}

void TkqSpeedButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    Paint(canvas);
}

void TkqSpeedButton::Click()
{
    if (OnClick) OnClick(this);
}

void TkqSpeedButton::MouseEntered()
{
    FHot = true;
    update();
    MouseStateChanged();
}

void TkqSpeedButton::MouseLeft()
{
    FHot = false;
    update();
    MouseStateChanged();
}

void TkqSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft && isEnabled()) {
        FMouseDown = true;
        FHot = rect().contains(x, y);
    }
    update();
    MouseStateChanged();
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TkqSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    const bool click = button == mbLeft && FMouseDown && rect().contains(x, y) && isEnabled();
    if (button == mbLeft) FMouseDown = false;
    update();
    MouseStateChanged();
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
    if (click) Click();
}

void TkqSpeedButton::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    MouseDown(MouseButtonOf(event->button()), ShiftStateFromModifiers(event->modifiers(), event->buttons()), p.x(),
              p.y());
}

// A quick second click is a second click.
void TkqSpeedButton::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void TkqSpeedButton::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    MouseUp(MouseButtonOf(event->button()), ShiftStateFromModifiers(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TkqSpeedButton::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const bool inside = rect().contains(p);
    if (FMouseDown && inside != FHot) {
        // Held down and dragged over the edge: the mouse leaves or comes back.
        if (inside) MouseEntered();
        else MouseLeft();
    }
    if (OnMouseMove) OnMouseMove(this, ShiftStateFromModifiers(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TkqSpeedButton::enterEvent(QEnterEvent*)
{
    if (!FHot) MouseEntered();
}

void TkqSpeedButton::leaveEvent(QEvent*)
{
    if (FHot) MouseLeft();
}

void TkqSpeedButton::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) update();
}

// ---------------------------------------------------------------------------------------------
// TkqCustomTransparentPanel

TkqCustomTransparentPanel::TkqCustomTransparentPanel(QWidget* parent) : QWidget(parent) {}

void TkqCustomTransparentPanel::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    FTransparent = value;
    SetTransparentStyle(this, value);
    Invalidate();
}

void TkqCustomTransparentPanel::SetCaption(const QString& caption)
{
    FCaption = caption;
    update();
}

void TkqCustomTransparentPanel::SetColor(TColor color)
{
    FColor = color;
    update();
}

void TkqCustomTransparentPanel::SetBevelOuter(TBevelCut value)
{
    FBevelOuter = value;
    update();
}

void TkqCustomTransparentPanel::SetBevelInner(TBevelCut value)
{
    FBevelInner = value;
    update();
}

void TkqCustomTransparentPanel::SetBevelWidth(int value)
{
    FBevelWidth = value;
    update();
}

void TkqCustomTransparentPanel::SetBorderWidth(int value)
{
    FBorderWidth = value;
    update();
}

void TkqCustomTransparentPanel::Invalidate()
{
    if (IsTransparent() && parentWidget()) {
        InvalidateParentArea(this, true);
        for (QObject* child : children())
            if (auto* w = qobject_cast<QWidget*>(child)) w->update();
    }
    update();
}

void TkqCustomTransparentPanel::Paint(TCanvas& canvas)
{
    TRect r(0, 0, width(), height());
    if (!IsTransparent()) {
        canvas.Brush.Color = FColor;
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(r);
    }
    DrawPanelBevels(canvas, r, FBevelOuter, FBevelInner, FBevelWidth, FBorderWidth, FColor);
    if (!IsTransparent() && !FCaption.isEmpty()) {
        canvas.Brush.Style = bsClear;
        canvas.Font = TFont(font(), QColorToColor(palette().color(QPalette::WindowText)));
        canvas.DrawText(FCaption, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

void TkqCustomTransparentPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    Paint(canvas);
}

void TkqCustomTransparentPanel::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (IsTransparent()) Invalidate();
}

void TkqCustomTransparentPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    AlignControls();
    if (IsTransparent()) Invalidate();
}
