#include "gridlib/core/kqspin.h"

#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqframe.h"
#include "gridlib/core/kqgridhost.h"
#include "platform/vcl/Edges.h"
#include "platform/vcl/Forms.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace {
constexpr int RepeatPause = 400;
constexpr int RepeatInterval = 100;

bool EffectsFlat(const TkqButtonEffects* e) { return e && e->Flat(); }
bool EffectsTransparent(const TkqButtonEffects* e) { return e && e->Transparent(); }
} // namespace

TBitmap KqSpinGlyph(bool up)
{
    // Four rows of 1, 3, 5 and 7 pixels in a 9 x 4 cell; the corner pixel is the key colour.
    TBitmap glyph(9, 4);
    glyph.Fill(clOlive);
    for (int row = 0; row < 4; ++row) {
        const int half = up ? row : 3 - row;
        for (int x = 4 - half; x <= 4 + half; ++x) glyph.SetPixel(x, row, clBlack);
    }
    glyph.SetTransparent(true);
    return glyph;
}

// ---------------------------------------------------------------------------------------------

TkqTimerSpeedButton::TkqTimerSpeedButton(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

TkqSpinHost* TkqTimerSpeedButton::Host() const
{
    QWidget* spin = parentWidget();
    return spin ? dynamic_cast<TkqSpinHost*>(spin->parentWidget()) : nullptr;
}

void TkqTimerSpeedButton::SetFlat(bool value)
{
    if (value == FFlat) return;
    FFlat = value;
    update();
}

void TkqTimerSpeedButton::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    FTransparent = value;
    update();
}

void TkqTimerSpeedButton::SetGlyph(const TBitmap& glyph)
{
    FGlyph = glyph;
    update();
}

void TkqTimerSpeedButton::ResetState()
{
    if (FRepeatTimer) FRepeatTimer->stop();
    FDown = false;
    FMouseInside = false;
    update();
}

void TkqTimerSpeedButton::Click()
{
    if (OnClick) OnClick(this);
}

void TkqTimerSpeedButton::TimerTick()
{
    if (!FRepeatTimer) return;
    FRepeatTimer->setInterval(RepeatInterval);
    if (!FDown) return;
    try {
        Click();
    } catch (...) {
        FRepeatTimer->stop();
        throw;
    }
}

void TkqTimerSpeedButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) return;
    FDown = true;
    update();
    if (TkqSpinHost* host = Host()) {
        const TkqButtonEffects* e = host->HostButtonEffects();
        if (EffectsFlat(e) || EffectsTransparent(e)) host->RefreshBehindButtons();
        if (QWidget* edit = host->HostEdit(); edit && edit->focusPolicy() != Qt::NoFocus && !edit->hasFocus())
            edit->setFocus(Qt::MouseFocusReason);
    }
    if (AllowTimer) {
        if (!FRepeatTimer) {
            FRepeatTimer = new QTimer(this);
            connect(FRepeatTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { TimerTick(); }); });
        }
        FRepeatTimer->start(RepeatPause);
    }
}

void TkqTimerSpeedButton::mouseMoveEvent(QMouseEvent* event)
{
    SetMouseInside(rect().contains(event->position().toPoint()));
}

void TkqTimerSpeedButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    if (FRepeatTimer) FRepeatTimer->stop();
    const bool wasDown = FDown;
    FDown = false;
    update();
    if (TkqSpinHost* host = Host()) host->RefreshBehindButtons();
    if (wasDown && rect().contains(event->position().toPoint())) Click();
}

void TkqTimerSpeedButton::enterEvent(QEnterEvent*)
{
    SetMouseInside(true);
}

void TkqTimerSpeedButton::leaveEvent(QEvent*)
{
    SetMouseInside(false);
}

void TkqTimerSpeedButton::SetMouseInside(bool inside)
{
    if (inside == FMouseInside) return;
    FMouseInside = inside;
    update();
    if (inside) return;
    TkqSpinHost* host = Host();
    QWidget* edit = host ? host->HostEdit() : nullptr;
    if (FFlat && edit && !edit->hasFocus()) edit->update();
}

void TkqTimerSpeedButton::PaintButton(TCanvas& canvas)
{
    TkqSpinHost* host = Host();
    QWidget* edit = host ? host->HostEdit() : nullptr;
    if (host && host->RepaintingBehindButtons()) return;
    if (edit && IsPaintCopyInGrid(edit) && !IsInDesigner(edit)) return;
    const TkqButtonEffects* effects = host ? host->HostButtonEffects() : nullptr;
    const bool editFocused = edit && edit->hasFocus();
    const bool inDBGrid = edit && ParentIsNamed(edit, "TkqDBGrid");
    const bool flat = FFlat || EffectsFlat(effects);
    const bool transparent = FTransparent || EffectsTransparent(effects);
    const TRect r(0, 0, width(), height());
    const bool hot = FMouseInside || editFocused || inDBGrid;
    // A plain (not flat) button always shows its face, as the platform's speed button does.
    if (!transparent && (hot || !flat)) DrawFrameControl(canvas, r, DFC_BUTTON, DFCS_BUTTONPUSH | (FDown ? DFCS_PUSHED : 0u));
    if (!FGlyph.Empty()) {
        const int x = (width() - FGlyph.Width()) / 2 + (FDown ? 1 : 0);
        const int y = (height() - FGlyph.Height()) / 2 + (FDown ? 1 : 0);
        const QImage image = FGlyph.MaskedImage();
        if (isEnabled()) canvas.DrawImage(x, y, image);
        else DrawImageSilhouette(canvas, x, y, image);
    }
    if (hot || !flat) {
        TRect edge = r;
        DrawEdge(canvas, edge, FDown ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
}

void TkqTimerSpeedButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    PaintButton(canvas);
}

// ---------------------------------------------------------------------------------------------

TkqSpinButton::TkqSpinButton(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    FUpButton = new TkqTimerSpeedButton(this);
    FDownButton = new TkqTimerSpeedButton(this);
    for (TkqTimerSpeedButton* b : {FUpButton, FDownButton}) b->AllowTimer = true;
    FUpButton->SetGlyph(KqSpinGlyph(true));
    FDownButton->SetGlyph(KqSpinGlyph(false));
    FUpButton->OnClick = [this](QObject*) {
        if (OnUpClick) OnUpClick(this);
    };
    FDownButton->OnClick = [this](QObject*) {
        if (OnDownClick) OnDownClick(this);
    };
    resize(20, 25);
    AdjustButtons();
}

TkqSpinHost* TkqSpinButton::Host() const
{
    return dynamic_cast<TkqSpinHost*>(parentWidget());
}

void TkqSpinButton::SetFlat(bool value)
{
    FUpButton->SetFlat(value);
    FDownButton->SetFlat(value);
}

void TkqSpinButton::AdjustButtons()
{
    const int w = std::max(width(), 15);
    if (w != width()) resize(w, height());
    const int half = height() / 2;
    FUpButton->setGeometry(0, 0, w, half);
    FDownButton->setGeometry(0, half - 1, w, height() - half + 1);
}

void TkqSpinButton::resizeEvent(QResizeEvent*)
{
    AdjustButtons();
}

void TkqSpinButton::paintEvent(QPaintEvent*)
{
    TkqSpinHost* host = Host();
    if (host && host->RepaintingBehindButtons()) return;
    QWidget* edit = host ? host->HostEdit() : nullptr;
    const bool copy = edit && IsPaintCopyInGrid(edit);
    // A transparent edit's parent shows through: Qt paints it under this unfilled button.
    if ((host && host->HostPaintsTransparent()) || copy) return;
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.Brush.Color = clBtnFace;
    canvas.FillRect(TRect(0, 0, width(), height()));
}

void TkqSpinButton::enterEvent(QEnterEvent*)
{
    if (Flat()) update();
}

void TkqSpinButton::leaveEvent(QEvent*)
{
    TkqSpinHost* host = Host();
    QWidget* edit = host ? host->HostEdit() : nullptr;
    if (Flat() && edit && !edit->hasFocus() && host->HostPaintsTransparent()) {
        if (const TkqEditFrame* frame = GetControlFrame(edit); frame && frame->IsInEffect()) InvalidateBehindControl(edit);
        else if (QWidget* parent = edit->parentWidget()) parent->update(geometry().translated(edit->pos()).adjusted(2, 2, 2, 2));
    }
    update();
}
