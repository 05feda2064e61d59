// The edit with a button at its right edge: the button container and the button, their
// geometry, painting and clicks, and the keys that open and close a drop-down.

#include "gridlib/editors/kqdbcombo.h"

#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqgridhost.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Edges.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>

namespace {
bool EffectsFlat(const TkqButtonEffects* e) { return e && e->Flat(); }
bool EffectsFlatOrTransparent(const TkqButtonEffects* e) { return e && (e->Flat() || e->Transparent()); }

int AutomaticButtonWidth() { return std::max(GetSystemMetrics(SM_CXVSCROLL), 15); }

// The grid the control sits in is the published data grid (or one of its descendants).
bool InDBGrid(const QWidget* control) { return ParentIsNamed(control, "TkqDBGrid"); }
} // namespace

TBitmap KqDropDownGlyph()
{
    // A down arrow of 7, 5, 3 and 1 pixels in a 9 x 6 cell; the corner pixel is the key colour.
    TBitmap glyph(9, 6);
    glyph.Fill(clOlive);
    for (int row = 0; row < 4; ++row)
        for (int x = 1 + row; x <= 7 - row; ++x) glyph.SetPixel(x, row + 1, clBlack);
    glyph.SetTransparent(true);
    return glyph;
}

// ---------------------------------------------------------------------------------------------
// The button container

TBtnWinControl::TBtnWinControl(QWidget* owner) : QWidget(owner), FHost(dynamic_cast<TkqComboButtonHost*>(owner))
{
    if (!FHost) throw EInvalidCast(QStringLiteral("Invalid class typecast"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    SetControlState(this, GetControlState(this));
}

void TBtnWinControl::Erase(TCanvas& canvas)
{
    if (FHost->PaintingSuspended()) return;
    QWidget* edit = FHost->HostControl();
    if (IsPaintCopyInGrid(edit) || IsPaintingCopy(this)) return;
    // A transparent edit leaves the parent showing through.
    if (FHost->HostPaintsTransparent()) return;
    canvas.Brush.Color = GetControlColor(edit);
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(TRect(0, 0, width(), height()));
}

void TBtnWinControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    Erase(canvas);
}

void TBtnWinControl::PaintCopy(TCanvas& canvas)
{
    Erase(canvas);
}

void TBtnWinControl::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    const TkqButtonEffects* effects = FHost->HostButtonEffects();
    QWidget* edit = FHost->HostControl();
    if (EffectsFlat(effects) && !FHost->HostFocused() && FHost->HostPaintsTransparent()) {
        QWidget* parent = edit->parentWidget();
        if (ParentHasTransparentStyle(this)) {
            InvalidateBehindControl(this);
        } else if (parent) {
            QRect r = geometry().translated(edit->pos());
            if (FHost->HostBorderStyle() != 0) r.adjust(2, 2, 2, 2);
            parent->update(r);
        }
    }
    update();
}

// ---------------------------------------------------------------------------------------------
// The button effects

void TkqComboButtonEffects::ApplyToControl()
{
    auto* host = dynamic_cast<TkqComboButtonHost*>(Edit());
    if (!host) throw EInvalidCast(QStringLiteral("Invalid class typecast"));
    host->ApplyFlatGlyph();
}

// ---------------------------------------------------------------------------------------------
// The button

TkqComboDlgButton::TkqComboDlgButton(TkqDBCustomCombo* combo, QWidget* parent) : QWidget(parent), FCombo(combo)
{
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

void TkqComboDlgButton::SetFlat(bool value)
{
    if (value == FFlat) return;
    FFlat = value;
    update();
}

void TkqComboDlgButton::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    FTransparent = value;
    update();
}

void TkqComboDlgButton::SetGlyph(const TBitmap& glyph)
{
    FGlyph = glyph;
    update();
}

void TkqComboDlgButton::ResetState()
{
    FState = bsUp;
    FMouseInControl = false;
    update();
}

void TkqComboDlgButton::Click()
{
    if (OnClick) OnClick(this);
}

void TkqComboDlgButton::PaintButton(TCanvas& canvas)
{
    if (FCombo->PaintingSuspended()) return;
    const bool copy = IsPaintingCopy(this) || IsPaintingCopy(FCombo);
    if (copy && !IsInDesigner(FCombo) && IsInGrid(FCombo)) return;
    const TRect r(0, 0, width(), height());
    bool defaultDraw = true;
    FCombo->FMouseInButton = FMouseInControl;
    const TkqButtonEffects* effects = FCombo->ButtonEffects();
    const bool inDBGrid = InDBGrid(FCombo);
    const bool focused = FCombo->Focused();
    TControlState controlState = GetControlState(FCombo);
    if (copy) controlState.Include(csPaintCopy);
    if ((FGlyph.Empty() || FMouseInControl || focused || inDBGrid)
        && !(effects->Transparent() && FCombo->ButtonStyle() == cbsDownArrow))
        FCombo->DrawButton(canvas, r, defaultDraw, controlState, FState);
    if (defaultDraw) {
        // The speed button's own face: its colour unless transparent, the glyph centred.
        if (!FTransparent) {
            canvas.Brush.Color = clBtnFace;
            canvas.Brush.Style = bsSolid;
            canvas.FillRect(r);
        }
        if (!FGlyph.Empty()) {
            int x = (r.Width() - FGlyph.Width()) / 2, y = (r.Height() - FGlyph.Height()) / 2;
            if (FState == bsDown) {
                ++x;
                ++y;
            }
            canvas.Draw(x, y, FGlyph);
        }
    }
    if (FMouseInControl || !EffectsFlat(effects) || focused || inDBGrid) {
        TRect e = r;
        DrawEdge(canvas, e, FState == bsDown ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    }
}

void TkqComboDlgButton::PaintCopy(TCanvas& canvas)
{
    PaintButton(canvas);
}

void TkqComboDlgButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    PaintButton(canvas);
}

void TkqComboDlgButton::Press()
{
    FState = bsDown;
    update();
}

void TkqComboDlgButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) return;
    TApplication::Guard([this] {
        if (FCombo->BehaviourFlags[2]) {
            Press();
            FCombo->RefreshButtonArea();
            return;
        }
        // The button acts on the press.
        const bool wasDropped = FCombo->IsDroppedDown();
        if (wasDropped && !FCombo->hasFocus() && FCombo->focusPolicy() != Qt::NoFocus) {
            FCombo->setFocus(Qt::MouseFocusReason);
            if (!FCombo->hasFocus()) return;
        }
        Press();
        if (!ParentHasTransparentStyle(FCombo)) repaint();
        if (!wasDropped && FCombo->IsDroppedDown()) return;
        FCombo->Toggle();
    });
}

void TkqComboDlgButton::mouseDoubleClickEvent(QMouseEvent*)
{
    // The second press of a double click came as a press already.
}

void TkqComboDlgButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const bool wasDown = FState == bsDown;
    FState = bsUp;
    update();
    TApplication::Guard([this, wasDown, inside = rect().contains(event->position().toPoint())] {
        FCombo->RefreshButtonArea();
        if (wasDown && inside) Click();
    });
}

void TkqComboDlgButton::mouseMoveEvent(QMouseEvent* event)
{
    SetMouseInControl(rect().contains(event->position().toPoint()));
}

void TkqComboDlgButton::enterEvent(QEnterEvent*)
{
    SetMouseInControl(true);
}

void TkqComboDlgButton::leaveEvent(QEvent*)
{
    SetMouseInControl(false);
}

void TkqComboDlgButton::SetMouseInControl(bool inside)
{
    if (inside == FMouseInControl) return;
    FMouseInControl = inside;
    update();
}

// ---------------------------------------------------------------------------------------------
// The edit with a button

TkqDBCustomCombo::TkqDBCustomCombo(QWidget* parent) : TkqDBCustomEdit(parent)
{
    FButtonStyle = cbsEllipsis;
    AutoEditOnDialog = true;
    FBtnControl = new TBtnWinControl(this);
    FBtnControl->resize(std::max(GetSystemMetrics(SM_CXVSCROLL) + 4, 17), 17);
    FButton = new TkqComboDlgButton(this, FBtnControl);
    FButton->setGeometry(0, 0, FBtnControl->width(), FBtnControl->height());
    ApplyAutomaticButtonWidth();
    FButton->OnClick = [this](QObject*) { ButtonClick(); };
    FLimitEditRect = false;
    FButtonEffects = new TkqComboButtonEffects(this, FButton);
    PlaceButton();
}

TkqDBCustomCombo::~TkqDBCustomCombo()
{
    FDestroying = true;
}

void TkqDBCustomCombo::ApplyAutomaticButtonWidth()
{
    if (FButtonWidth == 0) FButton->resize(AutomaticButtonWidth(), FButton->height());
}

void TkqDBCustomCombo::SetButtonStyle(TkqComboButtonStyle value)
{
    if (value == FButtonStyle) return;
    FButtonStyle = value;
    ApplyFlatGlyph();
    FButton->update();
}

void TkqDBCustomCombo::SetButtonWidth(int value)
{
    if (value == FButtonWidth) return;
    FButtonWidth = value;
    FButton->resize(value > 0 ? value : AutomaticButtonWidth(), FButton->height());
    PlaceButton();
}

void TkqDBCustomCombo::SetButtonGlyph(const TBitmap& glyph)
{
    FButton->SetGlyph(TBitmap(glyph));
    update();
}

void TkqDBCustomCombo::SetLimitEditRect(bool value)
{
    if (value == FLimitEditRect) return;
    FLimitEditRect = value;
    SetEditRect();
}

void TkqDBCustomCombo::ApplyFlatGlyph()
{
    if (FButtonStyle == cbsCustom) return;
    if (EffectsFlatOrTransparent(FButtonEffects) && FButtonStyle == cbsDownArrow) FButton->SetGlyph(KqDropDownGlyph());
}

bool TkqDBCustomCombo::GetShowButton() const
{
    return FBtnControl->isVisibleTo(const_cast<TkqDBCustomCombo*>(this));
}

void TkqDBCustomCombo::SetShowButton(bool value)
{
    if (value == GetShowButton()) return;
    FBtnControl->setVisible(value);
    if (!FLoading) SetEditRect();
    update();
}

int TkqDBCustomCombo::GetButtonWidth() const
{
    return FBtnControl->width();
}

int TkqDBCustomCombo::GetButtonLeft() const
{
    return FBtnControl->x() - BorderWidth() - 1;
}

void TkqDBCustomCombo::PlaceButton()
{
    SetEditRect();
}

void TkqDBCustomCombo::PlaceButtonBounds()
{
    const int b = BorderWidth();
    const int m = Frame()->IsInEffect() ? 2 : 0;
    const int w = FButton->width();
    // Client coordinates, as the container is a child of the client area.
    TRect bounds;
    if (NewStyleControls() && BorderStyle() != 0 && Ctl3D())
        bounds = TRect::Bounds(width() - w - 4, m, w, ClientHeight() - m);
    else
        bounds = TRect::Bounds(width() - w - m, m, w, ClientHeight() - 2 * m);
    // The client area clips the container.
    bounds = bounds.Intersected(TRect(0, 0, ClientWidth(), ClientHeight()));
    FBtnControl->setGeometry(b + bounds.Left, b + bounds.Top, std::max(bounds.Width(), 0), std::max(bounds.Height(), 0));
    if (BorderStyle() == 0) FButton->setGeometry(0, -1, FButton->width(), FBtnControl->height() + 1);
    else FButton->setGeometry(0, 0, FButton->width(), FBtnControl->height());
}

void TkqDBCustomCombo::SetEditRect()
{
    if (!FBtnControl) {
        TkqDBCustomEdit::SetEditRect();
        return;
    }
    // Whatever changes the edit rectangle (size, border, frame) moves the button first.
    PlaceButtonBounds();
    TRect r;
    r.Right = GetShowButton() ? FBtnControl->x() - BorderWidth() - 2 : ClientWidth() - 2;
    r.Bottom = ClientHeight() + 1;
    if (Frame()->IsInEffect()) {
        Frame()->GetEditRectMargins(r.Left, r.Top, r.Right);
    } else if (BorderStyle() == 0) {
        r.Left = 2;
        r.Top = 2;
    }
    SetFormattingRect(r);
}

void TkqDBCustomCombo::DrawButton(TCanvas& canvas, const TRect& rect, bool& defaultDraw, TControlState controlState,
                                  TButtonState buttonState)
{
    if (FButtonStyle == cbsCustom) return;
    defaultDraw = false;
    const bool flat = FButton->Flat() && !FMouseInButton && !Focused();
    if (FButtonStyle == cbsDownArrow)
        DrawComboArrowButton(canvas, rect, buttonState, isEnabled(), controlState);
    else
        DrawEllipsisButton(canvas, rect, buttonState, flat, FButtonEffects->Transparent(), controlState);
}

void TkqDBCustomCombo::Toggle()
{
    if (IsDroppedDown()) CloseUp(true);
    else DropDown();
}

bool TkqDBCustomCombo::HandleDropDownKey(int& key, TShiftState shift)
{
    const bool alt = shift.Contains(ssAlt);
    bool taken = false;
    if (key == VK_F4 && !alt) {
        Toggle();
        taken = true;
    } else if (alt && (key == VK_UP || key == VK_DOWN)) {
        Toggle();
        taken = true;
    } else if ((key == VK_RETURN || key == VK_ESCAPE) && !alt && IsDroppedDown()) {
        CloseUp(key == VK_RETURN);
        taken = true;
    }
    if (taken) {
        key = 0;
        FDropDownKeyTaken = true;
    }
    return taken;
}

void TkqDBCustomCombo::KeyDown(int& key, TShiftState shift)
{
    if (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier) shift.Include(ssAlt);
    if (HandleDropDownKey(key, shift)) return;
    if (OnKeyDown) {
        OnKeyDown(this, key, shift);
        if (key == 0) return;
    }
    TkqDBCustomEdit::KeyDown(key, shift);
    if (key && IsTypingKey(key) && !IsCaretShown()) key = 0;
}

void TkqDBCustomCombo::KeyPress(QChar& key)
{
    if (OnKeyPress) {
        OnKeyPress(this, key);
        if (key.isNull()) return;
    }
    if (key == QLatin1Char('\t') && !EditMask().isEmpty()) return;
    TkqDBCustomEdit::KeyPress(key);
}

void TkqDBCustomCombo::KeyUp(int& key, TShiftState shift)
{
    if (OnKeyUp) {
        OnKeyUp(this, key, shift);
        if (key == 0) return;
    }
    TkqDBCustomEdit::KeyUp(key, shift);
}

void TkqDBCustomCombo::keyPressEvent(QKeyEvent* event)
{
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers());
    int key = KeyEventToVirtualKey(event);
    bool keyTaken = false;
    FDropDownKeyTaken = false;
    if (key) {
        KeyDownMessage(key, shift);
        keyTaken = key == 0;
    }
    // A key that opened or closed the drop-down types nothing (Escape would reset the text).
    if (FDropDownKeyTaken) return;
    const QString typed = event->text();
    // Delete produces no character on the old platform.
    QChar ch = typed.isEmpty() || typed[0] == QChar(0x7F) ? QChar() : typed[0];
    if (!ch.isNull()) {
        if (CharCase() == ecUpperCase) ch = ch.toUpper();
        else if (CharCase() == ecLowerCase) ch = ch.toLower();
        const QChar original = typed[0];
        CharMessage(ch);
        if (ch.isNull()) return;
        if (event->matches(QKeySequence::Cut)) {
            DoCut();
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            PasteFromClipboard();
            return;
        }
        if (event->matches(QKeySequence::Undo)) {
            UndoEdit();
            return;
        }
        if (ch == original && !keyTaken) {
            QLineEdit::keyPressEvent(event);
            return;
        }
        // A character on its own: the line edit only inserts it.
        QKeyEvent character(event->type(), ch < QLatin1Char(' ') ? event->key() : 0, event->modifiers(), QString(ch));
        QLineEdit::keyPressEvent(&character);
        return;
    }
    if (!keyTaken) QLineEdit::keyPressEvent(event);
}

void TkqDBCustomCombo::DropDown()
{
    if (!CustomDialogHandler) return;
    FDroppedDown = true;
    update();
    struct TFinally {
        TkqDBCustomCombo* Combo;
        ~TFinally()
        {
            Combo->update();
            Combo->FDroppedDown = false;
        }
    } finally{this};
    if (AutoEditOnDialog && DataSource() && DataSource()->DataSet()) EnterEditState();
    CustomDialogHandler(this);
}

void TkqDBCustomCombo::CloseUp(bool accept)
{
    if (accept) MarkModified(true);
}

void TkqDBCustomCombo::ButtonClick()
{
    if (IsDroppedDown()) {
        CloseUp(true);
        return;
    }
    if (focusPolicy() != Qt::NoFocus && !hasFocus()) {
        setFocus(Qt::MouseFocusReason);
        if (!hasFocus()) activateWindow();
    }
    bool canDrop = hasFocus();
    // In a child window of a multiple-document frame, being that window's focus is enough.
    if (!canDrop)
        for (QWidget* w = parentWidget(); w; w = w->parentWidget())
            if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
                canDrop = sub->focusWidget() == this;
                break;
            }
    if (canDrop) DropDown();
}

void TkqDBCustomCombo::RefreshButtonArea()
{
    if (EffectsFlatOrTransparent(FButtonEffects)) {
        if (QWidget* parent = parentWidget()) parent->update(FBtnControl->geometry().translated(pos()));
    }
    FButton->update();
}

void TkqDBCustomCombo::ToggleOnClick(QMouseEvent* event)
{
    if (!ParentIsNamed(this, "TkqCustomDBGrid") && focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
    Toggle();
    if (OnMouseDown) {
        const QPoint p = event->position().toPoint();
        OnMouseDown(this, mbLeft, ShiftStateFromModifiers(event->modifiers(), event->buttons()), p.x(), p.y());
    }
}

void TkqDBCustomCombo::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !IsEditable()) {
        FReleaseCapture = true;
        TApplication::Guard([this, event] { ToggleOnClick(event); });
        return;
    }
    TkqDBCustomEdit::mousePressEvent(event);
}

void TkqDBCustomCombo::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click came as a press already and toggled.
    if (event->button() == Qt::LeftButton && !IsEditable()) return;
    TkqDBCustomEdit::mouseDoubleClickEvent(event);
}

void TkqDBCustomCombo::mouseReleaseEvent(QMouseEvent* event)
{
    if (FReleaseCapture && event->button() == Qt::LeftButton) {
        FReleaseCapture = false;
        if (OnClick) TApplication::Guard([this] { OnClick(this); });
        return;
    }
    TkqDBCustomEdit::mouseReleaseEvent(event);
}

void TkqDBCustomCombo::focusInEvent(QFocusEvent* event)
{
    TkqDBCustomEdit::focusInEvent(event);
    update();
}

void TkqDBCustomCombo::DoEnter()
{
    TkqDBCustomEdit::DoEnter();
    if (EffectsFlat(FButtonEffects)) {
        PlaceButton();
        FButton->update();
    }
}

void TkqDBCustomCombo::DoExit()
{
    TkqDBCustomEdit::DoExit();
    if (EffectsFlat(FButtonEffects)) FButton->update();
}

void TkqDBCustomCombo::paintEvent(QPaintEvent* event)
{
    TkqDBCustomEdit::paintEvent(event);
    FButton->update();
}

void TkqDBCustomCombo::resizeEvent(QResizeEvent* event)
{
    TkqDBCustomEdit::resizeEvent(event);
    PlaceButton();
}

void TkqDBCustomCombo::changeEvent(QEvent* event)
{
    TkqDBCustomEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) FButton->setEnabled(isEnabled());
}
