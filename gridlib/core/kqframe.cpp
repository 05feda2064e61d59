#include "gridlib/core/kqframe.h"

#include "platform/vcl/Edges.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace {
const char* const TransparentStyleProperty = "kqTransparentStyle";

QVariant ReadNamed(const QObject* object, const char* name)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return p.isValid() ? p.read(object) : QVariant();
}

bool ReadNamedBool(const QObject* object, const char* name, bool def)
{
    const QVariant v = ReadNamed(object, name);
    return v.isValid() ? v.toBool() : def;
}

bool WriteNamed(QObject* object, const char* name, const QVariant& value)
{
    const QMetaProperty p = FindPublishedProperty(object, name);
    return p.isValid() && p.isWritable() && p.write(object, value);
}

template <typename T>
T* ReadNamedObject(const QObject* object, const char* name)
{
    const QVariant v = ReadNamed(object, name);
    return v.isValid() ? qobject_cast<T*>(v.value<QObject*>()) : nullptr;
}
} // namespace

QEvent::Type RecreateWndEventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

TColor GetControlColor(const QWidget* control)
{
    if (!control) return clBtnFace;
    const QVariant v = ReadNamed(control, "Color");
    if (v.isValid()) return TColor(v.toInt());
    return QColorToColor(control->palette().color(control->backgroundRole()));
}

void SetTransparentStyle(QWidget* control, bool transparent)
{
    if (control) control->setProperty(TransparentStyleProperty, transparent);
}

bool HasTransparentStyle(const QWidget* control)
{
    return control && control->property(TransparentStyleProperty).toBool();
}

bool ParentHasTransparentStyle(const QWidget* control)
{
    return control && HasTransparentStyle(control->parentWidget());
}

void InvalidateParentArea(QWidget* control, bool erase)
{
    Q_UNUSED(erase);   // Qt repaints the parent's background under any invalidated area
    if (!control) return;
    QWidget* parent = control->parentWidget();
    QRect r = control->geometry();
    while (parent) {
        parent->update(r);
        if (!HasTransparentStyle(parent) || !parent->parentWidget()) break;
        r.translate(parent->pos());
        parent = parent->parentWidget();
    }
}

void InvalidateBehindControl(QWidget* control)
{
    const TkqEditFrame* frame = GetControlFrame(control);
    InvalidateParentArea(control, frame && frame->ClearBackground);
}

bool IsWindowSwitchFocus(const QFocusEvent* event)
{
    return event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason;
}

void TakeFocusBack(QWidget* control)
{
    if (!control) return;
    QPointer<QWidget> guard(control);
    QMetaObject::invokeMethod(
        control,
        [guard] {
            if (guard && guard->isVisible() && guard->isEnabled()) guard->setFocus(Qt::OtherFocusReason);
        },
        Qt::QueuedConnection);
}

bool IsCustomEdit(const QObject* control)
{
    return qobject_cast<const QLineEdit*>(control) || qobject_cast<const QTextEdit*>(control)
           || qobject_cast<const QPlainTextEdit*>(control) || IsClassOrAncestorNamed(control, "TCustomEdit");
}

TkqEditFrame* GetControlFrame(const QObject* control)
{
    return ReadNamedObject<TkqEditFrame>(control, "Frame");
}

TkqButtonEffects* GetControlButtonEffects(const QObject* control)
{
    return ReadNamedObject<TkqButtonEffects>(control, "ButtonEffects");
}

// ---------------------------------------------------------------------------------------------

TkqEditFrame::TkqEditFrame(QObject* owner) : TkqEditFrame(owner, {efBottomBorder}, {efLeftBorder, efTopBorder, efRightBorder, efBottomBorder}) {}

TkqEditFrame::TkqEditFrame(QObject* owner, TkqEditFrameEnabledSet nonFocus, TkqEditFrameEnabledSet focus)
    : QObject(owner), FControl(qobject_cast<QWidget*>(owner)), FNonFocusBorders(nonFocus), FFocusBorders(focus)
{
}

void TkqEditFrame::SetEnabled(bool value)
{
    if (value == FEnabled) return;
    FEnabled = value;
    if (!FControl || !IsCustomEdit(FControl)) return;
    if (value) SetControlBorderStyle(FControl, false);
    if (ReadNamedBool(FControl, "AutoSize", false)) AdjustControlHeight();
    FControl->update();
}

void TkqEditFrame::SetFocusBorders(TkqEditFrameEnabledSet value)
{
    FFocusBorders = value;
    if (FControl && IsCustomEdit(FControl)) FControl->update();
}

void TkqEditFrame::SetNonFocusBorders(TkqEditFrameEnabledSet value)
{
    FNonFocusBorders = value;
    if (!FControl || !IsCustomEdit(FControl)) return;
    if (FEnabled && FTransparent) InvalidateParentArea(FControl, true);
    else FControl->update();
}

void TkqEditFrame::SetNonFocusStyle(TkqEditFocusStyle value)
{
    if (value == FNonFocusStyle) return;
    FNonFocusStyle = value;
    if (FControl && IsCustomEdit(FControl)) FControl->update();
}

void TkqEditFrame::RecreateControl()
{
    if (FControl) QCoreApplication::postEvent(FControl, new QEvent(RecreateWndEventType()));
}

void TkqEditFrame::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    CreateTransparent = true;
    FTransparent = value;
    if (IsInEffect() && !IsInDesigner(FControl)) RecreateControl();
    else if (FControl && IsClassOrAncestorNamed(FControl, "TkqCustomRichEdit")) RecreateControl();
}

bool TkqEditFrame::IsInEffect() const
{
    return FEnabled && FControl && !IsInGrid(FControl);
}

void TkqEditFrame::Assign(const TkqEditFrame& source, bool force)
{
    if (&source == this) return;
    SetEnabled(source.FEnabled);
    SetTransparent(source.FTransparent);
    if (!FEnabled && !force) return;
    ClearBackground = source.ClearBackground;
    MouseEnterSameAsFocus = source.MouseEnterSameAsFocus;
    AutoSizeHeightAdjust = source.AutoSizeHeightAdjust;
    SetNonFocusBorders(source.FNonFocusBorders);
    SetFocusBorders(source.FFocusBorders);
    FFocusStyle = source.FFocusStyle;
    FNonFocusStyle = source.FNonFocusStyle;
    NonFocusTextOffsetX = source.NonFocusTextOffsetX;
    NonFocusTextOffsetY = source.NonFocusTextOffsetY;
    NonFocusTransparentFontColor = source.NonFocusTransparentFontColor;
    NonFocusColor = source.NonFocusColor;
    NonFocusFontColor = source.NonFocusFontColor;
}

void TkqEditFrame::GetTextOffsets(int& x, int& y, bool focused) const
{
    const TkqEditFrameEnabledSet borders = BordersFor(focused);
    const TkqEditFocusStyle style = StyleFor(focused);
    x = 1;
    if (borders.Contains(efLeftBorder)) x = IsSingleLineFrameStyle(style) ? 2 : 3;
    y = 2;
    if (borders.Contains(efTopBorder) && !IsSingleLineFrameStyle(style)) y += 1;
    x += NonFocusTextOffsetX;
    y += NonFocusTextOffsetY;
}

void TkqEditFrame::GetEditRectMargins(int& left, int& top, int& right) const
{
    if (IsSingleLineFrameStyle(FFocusStyle)) {
        left = 2;
        top = 2;
        if (FFocusBorders.Contains(efRightBorder) && FFocusStyle == efsFrameBox) right -= 1;
        return;
    }
    top = 3;
    if (FFocusBorders.Contains(efLeftBorder))
        left = FFocusStyle == efsFrameSunken || FFocusStyle == efsFrameBump ? 3 : 2;
    else
        left = 1;
    right -= 2;
}

void TkqEditFrame::AdjustControlHeight()
{
    if (!FControl) return;
    const int border = GetSystemMetrics(SM_CYBORDER);
    int extra;
    if (!ControlHasBorder(FControl)) extra = 6;
    else extra = border * (ReadNamedBool(FControl, "Ctl3D", true) ? 8 : 6);
    if (FEnabled) extra += AutoSizeHeightAdjust;
    FControl->resize(FControl->width(), QFontMetrics(FControl->font()).height() + extra);
}

void TkqEditFrame::PaintFrame(TCanvas& canvas, bool focused, bool alwaysTransparent)
{
    if (!IsInEffect()) return;
    const int w = FControl->width(), h = FControl->height();
    if (!IsClassOrAncestorNamed(FControl, "TkqCheckBox") && !IsClassOrAncestorNamed(FControl, "TkqRadioButton")
        && (!FTransparent || (focused && !alwaysTransparent))) {
        const TBrushStyle style = canvas.Brush.Style;
        canvas.Brush.Color = GetControlColor(FControl);
        canvas.Brush.Style = bsSolid;
        canvas.FrameRect(TRect(0, 0, w, h));
        canvas.FrameRect(TRect(1, 1, w - 1, h - 1));
        canvas.Brush.Style = style;
    }
    PaintFrameEdges(canvas, w, h, *this, focused);
}

TRect TkqEditFrame::TransparentRefreshRect(bool wholeClient, bool isEdit, bool& fillOwn) const
{
    fillOwn = false;
    if (!FControl) return {};
    const QRect g = FControl->geometry();
    TRect r = TRect::FromQRect(g);
    const TkqFrameHost* host = dynamic_cast<const TkqFrameHost*>(FControl.data());
    const TRect client(0, 0, g.width(), g.height());
    const TRect e = host ? host->FormattingRect() : client;
    const bool left = FNonFocusBorders.Contains(efLeftBorder);
    if (!wholeClient) {
        if (!isEdit) {
            r = r.Inflated(-2, -2);
            if (!left) r.Left -= 2;
            r.Bottom += 2;
        } else if (!(host && host->HasOwnBorder())) {
            r = r.Inflated(-2, -2);
            if (!left) r.Left -= 2;
            const bool wide = GetControlButtonEffects(FControl) && r.Right - (r.Left + e.Right) > 8;
            r.Right = r.Left + e.Right + (wide ? 3 : 1);
        }
    }
    if (ParentHasTransparentStyle(FControl)) return r;
    if (QWidget* parent = FControl->parentWidget()) {
        for (QObject* o : parent->children()) {
            auto* sibling = qobject_cast<QWidget*>(o);
            if (sibling && sibling != FControl && sibling->isVisible() && sibling->geometry().contains(g.topLeft()))
                return r;
        }
    }
    fillOwn = true;
    if (wholeClient) return client;
    TRect own = e.Inflated(1, 1);
    if (!left) own.Left -= 1;
    if (own.Left < 0) own.Left = 0;
    if (client.Bottom > e.Bottom + 3) own.Bottom += 2;
    return own;
}

void TkqEditFrame::RefreshTransparentBackground(bool wholeClient, bool isEdit)
{
    if (!FControl) return;
    bool fillOwn = false;
    const TRect r = TransparentRefreshRect(wholeClient, isEdit, fillOwn);
    if (fillOwn) {
        FControl->update(r.ToQRect());
    } else if (ParentHasTransparentStyle(FControl)) {
        InvalidateParentArea(FControl, ClearBackground);
    } else if (QWidget* parent = FControl->parentWidget()) {
        parent->update(r.ToQRect());
    }
}

// ---------------------------------------------------------------------------------------------

void PaintFrameEdges(TCanvas& canvas, int width, int height, const TkqEditFrame& frame, bool focused)
{
    const TkqEditFrameEnabledSet borders = frame.BordersFor(focused);
    if (borders.IsEmpty()) return;
    TRect r(0, 0, width, height);
    if (!borders.Contains(efRightBorder) && frame.Transparent()) r.Right -= 2;
    unsigned flags = 0;
    if (borders.Contains(efLeftBorder)) flags |= BF_LEFT;
    if (borders.Contains(efTopBorder)) flags |= BF_TOP;
    if (borders.Contains(efRightBorder)) flags |= BF_RIGHT;
    if (borders.Contains(efBottomBorder)) flags |= BF_BOTTOM;
    unsigned edge = EDGE_SUNKEN;
    switch (frame.StyleFor(focused)) {
    case efsFrameBox: flags |= BF_MONO; break;
    case efsFrameSunken: break;
    case efsFrameRaised: edge = EDGE_RAISED; break;
    case efsFrameEtched: edge = EDGE_ETCHED; break;
    case efsFrameBump: edge = EDGE_BUMP; break;
    case efsFrameSingle: edge = BDR_SUNKENOUTER; flags |= BF_MONO; break;
    }
    DrawEdge(canvas, r, edge, flags);
}

// ---------------------------------------------------------------------------------------------

TkqButtonEffects::TkqButtonEffects(QWidget* edit, QWidget* button) : QObject(edit), FEdit(edit), FButton(button) {}

void TkqButtonEffects::Apply(bool transparentToo)
{
    if (FButton) {
        if (transparentToo) WriteNamed(FButton, "Transparent", FFlat || FTransparent);
        WriteNamed(FButton, "Flat", FFlat || FTransparent);
    }
    ApplyToControl();
    if (FButton) FButton->update();
}

void TkqButtonEffects::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    FTransparent = value;
    Apply(true);
}

void TkqButtonEffects::SetFlat(bool value)
{
    if (value == FFlat) return;
    FFlat = value;
    Apply(false);
}
