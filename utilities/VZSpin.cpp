#include "utilities/VZSpin.h"

#include "platform/vcl/Edges.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"
#include "utilities/VCLUtils.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <cmath>

int DefaultSpinButtonWidth() { return std::min(GetSystemMetrics(SM_CXVSCROLL), 15); }

namespace {
// The built-in arrows: 6 x 6, black on white.
TBitmap Arrow(bool up)
{
    static const char* const rows[] = {"......", "..XX..", ".XXXX.", "XXXXXX", "......", "......"};
    TBitmap b(6, 6);
    b.Fill(clWhite);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            if (rows[up ? y : 5 - y][x] == 'X') b.SetPixel(x, y, clBlack);
    b.SetMonochrome(true);
    return b;
}

int RoundEven(double v) { return int(std::nearbyint(v)); }
} // namespace

// ---- TVzSpinButton ----

TVzSpinButton::TVzSpinButton(QWidget* parent) : QWidget(parent), FUpGlyph(Arrow(true)), FDownGlyph(Arrow(false))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(20, 20);
}

void TVzSpinButton::SetUpGlyph(const TBitmap* glyph)
{
    FUpGlyph = glyph ? *glyph : Arrow(true);
    FInvalidate = true;
    update();
}

void TVzSpinButton::SetDownGlyph(const TBitmap* glyph)
{
    FDownGlyph = glyph ? *glyph : Arrow(false);
    FInvalidate = true;
    update();
}

bool TVzSpinButton::InBottomHalf(int x, int y) const
{
    return y > height() - (double(height()) / double(std::max(1, width()))) * x;
}

void TVzSpinButton::DrawFace(TBitmap& face, TSpinButtonState pressed, const TBitmap& up, const TBitmap& down)
{
    const int w = face.Width(), h = face.Height();
    TCanvas c(face);
    c.Brush.Color = clBtnFace;
    c.FillRect({0, 0, w, h});
    // The frame and the diagonal.
    c.Pen.Color = clWindowFrame;
    c.Brush.Color = clWindowFrame;
    c.FrameRect({0, 0, w, h});
    c.MoveTo(-1, h);
    c.LineTo(w, -1);
    // The upper half's edges.
    const bool top = pressed == sbTopDown, bottom = pressed == sbBottomDown;
    c.Pen.Color = top ? clBtnShadow : clBtnHighlight;
    c.Polyline({QPoint(1, h - 4), QPoint(1, 1), QPoint(w - 3, 1)});
    if (!top) {
        c.Pen.Color = clBtnShadow;
        c.MoveTo(1, h - 3);
        c.LineTo(w - 2, 0);
    }
    // The lower half's edges.
    c.Pen.Color = bottom ? clBtnHighlight : clBtnShadow;
    c.Polyline({QPoint(2, h - 2), QPoint(w - 2, h - 2), QPoint(w - 2, 1)});
    c.Pen.Color = bottom ? clBtnShadow : clBtnHighlight;
    c.MoveTo(2, h - 2);
    c.LineTo(w - 1, 1);
    // The arrows, their transparent colour showing the face.
    const int d = top ? 2 : 1;
    DrawBitmapMasked(c, RoundEven(w / 4.0 - up.Width() / 2.0) + d, RoundEven(h / 4.0 - up.Height() / 2.0) + d, up, clDefault);
    DrawBitmapMasked(c, RoundEven(3 * w / 4.0 - down.Width() / 2.0) - 1, RoundEven(3 * h / 4.0 - down.Height() / 2.0) - 1, down,
                     clDefault);
    if (bottom) {
        c.Pen.Color = clBtnShadow;
        c.MoveTo(3, h - 2);
        c.LineTo(w - 1, 2);
    }
}

void TVzSpinButton::paintEvent(QPaintEvent*)
{
    if (!isEnabled()) FDragging = false;
    if (FFaces[0].Width() != width() || FFaces[0].Height() != height() || FInvalidate) {
        FInvalidate = false;
        for (int i = 0; i < 3; ++i) {
            FFaces[i] = TBitmap(width(), height());
            DrawFace(FFaces[i], TSpinButtonState(i), FUpGlyph, FDownGlyph);
        }
    }
    QPainter p(this);
    p.drawImage(0, 0, FFaces[FDown].Image());
}

void TVzSpinButton::FireHalf(TSpinButtonState half)
{
    if (half == sbTopDown && OnTopClick) OnTopClick(this);
    if (half == sbBottomDown && OnBottomClick) OnBottomClick(this);
    // The handler may have taken the mouse away (a modal window): nothing stays pressed then.
    if (!(QApplication::mouseButtons() & Qt::LeftButton)) {
        FDown = sbNotDown;
        update();
    }
}

void TVzSpinButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) return;
    if (FFocusControl && (FFocusControl->focusPolicy() & Qt::TabFocus) && FFocusControl->isEnabled()
        && !FFocusControl->hasFocus())
        FFocusControl->setFocus(Qt::MouseFocusReason);
    FDragging = true;
    if (FDown == sbNotDown) {
        FLastDown = sbNotDown;
        const QPoint p = event->position().toPoint();
        FDown = InBottomHalf(p.x(), p.y()) ? sbBottomDown : sbTopDown;
        const TSpinButtonState half = FDown;
        FLastDown = half;
        repaint();
        if (!FRepeatTimer) {
            FRepeatTimer = new QTimer(this);
            connect(FRepeatTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { TimerTick(); }); });
        }
        FRepeatTimer->start(400);
        FireHalf(half);
    }
}

void TVzSpinButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!FDragging) return;
    const QPoint p = event->position().toPoint();
    const TSpinButtonState old = FDown;
    if (p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height()) {
        const TSpinButtonState half = InBottomHalf(p.x(), p.y()) ? sbBottomDown : sbTopDown;
        if (FDown != half) FDown = FLastDown == half ? half : sbNotDown;
    } else {
        FDown = sbNotDown;
    }
    if (FDown != old) repaint();
}

void TVzSpinButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (!FDragging) return;
    FDragging = false;
    const QPoint p = event->position().toPoint();
    if (p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height()) {
        FDown = sbNotDown;
        FLastDown = sbNotDown;
        repaint();
    }
    // A tick without a pressed half would do nothing: the timer may as well stop.
    if (FRepeatTimer) FRepeatTimer->stop();
}

void TVzSpinButton::TimerTick()
{
    if (!FRepeatTimer) return;
    FRepeatTimer->setInterval(100);
    if (FDown == sbNotDown || !FDragging) return;
    try {
        FireHalf(FDown);
    } catch (...) {
        FRepeatTimer->stop();
        throw;
    }
}

void TVzSpinButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        FInvalidate = true;
        update();
    }
    QWidget::changeEvent(event);
}

// ---- TVzUpDown ----

TVzUpDown::TVzUpDown(QWidget* parent) : QWidget(parent), FRepeatTimer(new QTimer(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(DefaultSpinButtonWidth(), 20);
    connect(FRepeatTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { TimerTick(); }); });
}

void TVzUpDown::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    TCanvas c(p);
    const int half = height() / 2;
    const unsigned off = isEnabled() ? 0u : unsigned(DFCS_INACTIVE);
    auto state = [&](TUDBtnType b) { return FPressed == int(b) && FInside ? unsigned(DFCS_PUSHED) : 0u; };
    DrawFrameControl(c, {0, 0, width(), half}, DFC_SCROLL, DFCS_SCROLLUP | off | state(btNext));
    DrawFrameControl(c, {0, half, width(), height()}, DFC_SCROLL, DFCS_SCROLLDOWN | off | state(btPrev));
}

void TVzUpDown::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) return;
    FPressedType = ButtonAt(event->position().toPoint());
    FPressed = int(FPressedType);
    FInside = true;
    repaint();
    FRepeatTimer->start(400);
    if (OnClick) OnClick(this, FPressedType);
}

void TVzUpDown::mouseMoveEvent(QMouseEvent* event)
{
    if (FPressed < 0) return;
    const QPoint p = event->position().toPoint();
    const bool inside = rect().contains(p) && ButtonAt(p) == FPressedType;
    if (inside != FInside) {
        FInside = inside;
        repaint();
    }
}

void TVzUpDown::mouseReleaseEvent(QMouseEvent*)
{
    FRepeatTimer->stop();
    FPressed = -1;
    FInside = false;
    repaint();
}

void TVzUpDown::TimerTick()
{
    FRepeatTimer->setInterval(100);
    if (FPressed >= 0 && FInside && OnClick) OnClick(this, FPressedType);
}

void TVzUpDown::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (width() != DefaultSpinButtonWidth()) resize(DefaultSpinButtonWidth(), height());
}

// ---- TVzSpinEdit ----

TVzSpinEdit::TVzSpinEdit(QWidget* parent) : TVzFramedEdit(parent)
{
    setText(QStringLiteral("0"));
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!FChanging && OnChange) TApplication::Guard([this] { OnChange(this); });
    });
    setMinimumHeight(MinimumHeight());
    RecreateButton();
    ResizeButton();
    UpdateEditRect();
}

TVzSpinEdit::~TVzSpinEdit() { FChanging = true; }

double TVzSpinEdit::Value() const
{
    const QString t = text();
    switch (FValueType) {
    case vtFloat: {
        double v = 0;
        return TryStrToFloat(t, v) ? v : FMinValue;
    }
    case vtHex: {
        int v = 0;
        return !t.contains(QLatin1Char('$')) && TryStrToInt(QLatin1Char('$') + t.trimmed(), v) ? v : std::trunc(FMinValue);
    }
    case vtInteger:
    default: {
        // Decimal digits only: no "$" or "0x" forms.
        int v = 0;
        const bool decimal = !t.contains(QLatin1Char('$')) && !t.contains(QLatin1Char('x'), Qt::CaseInsensitive);
        return decimal && TryStrToInt(t, v) ? v : std::trunc(FMinValue);
    }
    }
}

double TVzSpinEdit::CheckValue(double value) const
{
    if (FMaxValue == FMinValue) return value;
    if (value < FMinValue) return FMinValue;
    if (value > FMaxValue) return FMaxValue;
    return value;
}

void TVzSpinEdit::SetValue(double value)
{
    value = CheckValue(value);
    QString t;
    switch (FValueType) {
    case vtFloat: t = FloatToStrF(value, ffFixed, 15, FDecimal); break;
    case vtHex: {
        const qint64 n = qint64(std::nearbyint(value));
        t = (n >= 0 ? QString::number(n, 16) : QString::number(quint64(n), 16)).toUpper();
        break;
    }
    case vtInteger: t = QString::number(qint64(std::nearbyint(value))); break;
    }
    setText(t);
}

int TVzSpinEdit::GetIntValue() const { return int(std::trunc(Value())); }

void TVzSpinEdit::SetValueType(TValueType value)
{
    if (value == FValueType) return;
    const double v = Value();
    FValueType = value;
    if (value == vtInteger || value == vtHex) {
        FIncrement = std::nearbyint(FIncrement);
        if (FIncrement == 0) FIncrement = 1;
    }
    SetValue(v);
}

void TVzSpinEdit::SetDecimal(int value)
{
    if (value == FDecimal) return;
    const double v = Value();
    FDecimal = value;
    SetValue(v);
}

void TVzSpinEdit::SetEditorEnabled(bool value)
{
    FEditorEnabled = value;
    UpdateEditable();
}

void TVzSpinEdit::SetReadOnly(bool value)
{
    FReadOnly = value;
    UpdateEditable();
}

// Typing, pasting and cutting need both; spinning only that the edit is not read-only.
void TVzSpinEdit::UpdateEditable() { setReadOnly(FReadOnly || !FEditorEnabled); }

void TVzSpinEdit::SetArrowKeys(bool value)
{
    FArrowKeys = value;
    ResizeButton();
}

void TVzSpinEdit::SetAlignment(TAlignment value)
{
    FAlignment = value;
    const Qt::Alignment a = value == taRightJustify ? Qt::AlignRight : value == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
    setAlignment(a | Qt::AlignVCenter);
}

void TVzSpinEdit::SetButtonKind(TSpinButtonKind value)
{
    const TSpinButtonKind old = FButtonKind;
    FButtonKind = value;
    const TSpinButtonKind effective = NewStyleControls() ? value : bkDiagonal;
    if (old != effective || (!FButton && !FUpDown)) {
        RecreateButton();
        ResizeButton();
        UpdateEditRect();
    }
}

void TVzSpinEdit::RecreateButton()
{
    delete FUpDown;
    FUpDown = nullptr;
    delete FBtnWindow;   // with the button inside
    FBtnWindow = nullptr;
    FButton = nullptr;
    const TSpinButtonKind kind = NewStyleControls() ? FButtonKind : bkDiagonal;
    if (kind == bkStandard) {
        FUpDown = new TVzUpDown(this);
        FUpDown->setEnabled(isEnabled());
        FUpDown->OnClick = [this](QObject*, TUDBtnType button) {
            if ((focusPolicy() & Qt::TabFocus) && isEnabled() && isVisible()) setFocus();
            if (button == btNext) UpClick(this);
            else DownClick(this);
        };
        FUpDown->show();
    } else {
        FBtnWindow = new QWidget(this);
        FBtnWindow->setCursor(Qt::ArrowCursor);
        FButton = new TVzSpinButton(FBtnWindow);
        FButton->SetFocusControl(this);
        FButton->setEnabled(isEnabled());
        FButton->OnTopClick = [this](QObject* sender) { UpClick(sender); };
        FButton->OnBottomClick = [this](QObject* sender) { DownClick(sender); };
        FBtnWindow->show();
    }
}

void TVzSpinEdit::ResizeButton()
{
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    if (FUpDown) {
        const int w = DefaultSpinButtonWidth();
        FUpDown->setGeometry(rtl ? 2 : width() - 2 - w, 2, w, std::max(0, height() - 4));
    } else if (FBtnWindow) {
        // Inside the frame's inner edge, as high as the edit allows.
        const int h = height();
        const int side = std::max(0, h - 3);
        FBtnWindow->setGeometry(rtl ? 1 : width() - h + 1, 1, side, side);
        FButton->setGeometry(0, 0, side, side);
    }
}

QRect TVzSpinEdit::EditRect() const
{
    const int b = FUpDown ? FUpDown->width() : FButton ? FButton->width() : DefaultSpinButtonWidth();
    const int clientWidth = width() - 4;
    if (layoutDirection() == Qt::RightToLeft) return QRect(2 + b + 1, 2, std::max(0, clientWidth - 1 - b - 1), height() - 3);
    return QRect(2, 2, std::max(0, clientWidth - b - 2), height() - 3);
}

QSize TVzSpinEdit::minimumSizeHint() const { return QSize(DefaultSpinButtonWidth() + 16, MinimumHeight()); }

bool TVzSpinEdit::IsValidChar(QChar key) const
{
    QString accepted = QStringLiteral("+-0123456789");
    if (FValueType == vtFloat) {
        const QChar separator = FormatSettings.DecimalSeparator;
        if (!text().contains(separator)) accepted += separator;
        if (!text().toUpper().contains(QLatin1Char('E'))) accepted += QStringLiteral("eE");
    } else if (FValueType == vtHex) {
        accepted += QStringLiteral("ABCDEFabcdef");
    }
    bool ok = accepted.contains(key) || key.unicode() < 32;
    if (!FEditorEnabled && ok && (key.unicode() >= 32 || key.unicode() == 8)) ok = false;
    return ok;
}

void TVzSpinEdit::keyPressEvent(QKeyEvent* event)
{
    if (FArrowKeys && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        TApplication::Guard([this, up = event->key() == Qt::Key_Up] {
            if (up) UpClick(this);
            else DownClick(this);
        });
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && !IsValidChar(typed[0])) {
        QApplication::beep();
        event->accept();
        return;
    }
    // Enter and Escape go on to the form (its default and cancel buttons) unhandled.
    QLineEdit::keyPressEvent(event);
}

void TVzSpinEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    if (!(QApplication::mouseButtons() & Qt::LeftButton)) selectAll();
}

void TVzSpinEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    // Leaving the edit clamps what was typed; text that does not convert stays as it is.
    const double v = Value();
    if (CheckValue(v) != v) TApplication::Guard([this, v] { SetValue(v); });
}

void TVzSpinEdit::changeEvent(QEvent* event)
{
    TVzFramedEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        if (FButton) FButton->setEnabled(isEnabled());
        if (FUpDown) FUpDown->setEnabled(isEnabled());
    }
}

void TVzSpinEdit::Spin(double delta, const std::function<void(QObject*)>& after)
{
    if (FReadOnly) {
        QApplication::beep();
        return;
    }
    const QString old = text();
    FChanging = true;
    try {
        SetValue(Value() + delta);
    } catch (...) {
        FChanging = false;
        throw;
    }
    FChanging = false;
    if (text().compare(old, Qt::CaseInsensitive) != 0) {
        setModified(true);
        if (OnChange) OnChange(this);
    }
    if (after) after(this);
}

void TVzSpinEdit::UpClick(QObject*) { Spin(FIncrement, OnTopClick); }

void TVzSpinEdit::DownClick(QObject*) { Spin(-FIncrement, OnBottomClick); }
