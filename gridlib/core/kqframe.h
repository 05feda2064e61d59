#pragma once
// The drawn frame every edit-like control of the library carries in place of its own border
// (edges and style differ between the focused and the unfocused state, transparency while
// unfocused, other colours and text offsets while unfocused), the flat or transparent look of
// an embedded button, and the routines that repaint what lies behind a transparent control.
//
// Transparency here is the window style of the old platform: a control marked transparent
// leaves its background unpainted, so the parent shows through (Qt composes the parent first).

#include "gridlib/core/kqcommon.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QFocusEvent;

enum TkqEditFrameEnabledType { efLeftBorder, efTopBorder, efRightBorder, efBottomBorder };
using TkqEditFrameEnabledSet = TSet<TkqEditFrameEnabledType>;
Q_DECLARE_METATYPE(TkqEditFrameEnabledSet)
enum TkqEditFocusStyle { efsFrameBox, efsFrameSunken, efsFrameRaised, efsFrameEtched, efsFrameBump, efsFrameSingle };

// Asks a control to build its window again (the frame's transparency changed): the control
// takes its styles afresh and repaints.
QEvent::Type RecreateWndEventType();

// --- Controls and their surroundings

// The control's background colour: its published "Color", else its palette's window colour.
TColor GetControlColor(const QWidget* control);
// The old platform's WS_EX_TRANSPARENT: the control paints no background of its own.
void SetTransparentStyle(QWidget* control, bool transparent);
bool HasTransparentStyle(const QWidget* control);
bool ParentHasTransparentStyle(const QWidget* control);
// Invalidates the control's rectangle on its parent, and on up the parent chain while the
// parent just handled is itself transparent.
void InvalidateParentArea(QWidget* control, bool erase);
// The same, erasing as the control's frame asks (its clear-background flag).
void InvalidateBehindControl(QWidget* control);
// Focus that moves only because another window became active or a popup opened: the control
// neither enters nor exits.
bool IsWindowSwitchFocus(const QFocusEvent* event);
// Gives the focus back to a control that is losing it (once the focus change under way ends).
void TakeFocusBack(QWidget* control);
// An edit control of the library or the platform (the old TCustomEdit family).
bool IsCustomEdit(const QObject* control);

class TkqEditFrame;
class TkqButtonEffects;
// The control's published "Frame" or "ButtonEffects" object; none when it has no such property.
TkqEditFrame* GetControlFrame(const QObject* control);
TkqButtonEffects* GetControlButtonEffects(const QObject* control);

// What a framed control tells its frame about itself.
class TkqFrameHost {
public:
    virtual ~TkqFrameHost() = default;
    // The rectangle the text is formatted in, in client coordinates.
    virtual TRect FormattingRect() const = 0;
    // The control shows a border of its own (edits without a frame do).
    virtual bool HasOwnBorder() const { return false; }
};

class TkqEditFrame : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(TkqEditFrameEnabledSet NonFocusBorders READ NonFocusBorders WRITE SetNonFocusBorders)
    Q_PROPERTY(TkqEditFrameEnabledSet FocusBorders READ FocusBorders WRITE SetFocusBorders)
    Q_PROPERTY(int FocusStyle READ FocusStyleValue WRITE SetFocusStyleValue)
    Q_PROPERTY(int NonFocusStyle READ NonFocusStyleValue WRITE SetNonFocusStyleValue)
    Q_PROPERTY(int NonFocusTextOffsetX MEMBER NonFocusTextOffsetX)
    Q_PROPERTY(int NonFocusTextOffsetY MEMBER NonFocusTextOffsetY)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(bool MouseEnterSameAsFocus MEMBER MouseEnterSameAsFocus)
    Q_PROPERTY(int AutoSizeHeightAdjust MEMBER AutoSizeHeightAdjust)
    Q_PROPERTY(int NonFocusTransparentFontColor MEMBER NonFocusTransparentFontColor)
    Q_PROPERTY(int NonFocusColor MEMBER NonFocusColor)
    Q_PROPERTY(int NonFocusFontColor MEMBER NonFocusFontColor)

public:
    // The owner is the framed control when it is a widget.
    explicit TkqEditFrame(QObject* owner);

    QWidget* Control() const { return FControl; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    TkqEditFrameEnabledSet NonFocusBorders() const { return FNonFocusBorders; }
    void SetNonFocusBorders(TkqEditFrameEnabledSet value);
    TkqEditFrameEnabledSet FocusBorders() const { return FFocusBorders; }
    void SetFocusBorders(TkqEditFrameEnabledSet value);
    TkqEditFocusStyle FocusStyle() const { return FFocusStyle; }
    void SetFocusStyle(TkqEditFocusStyle value) { FFocusStyle = value; }
    TkqEditFocusStyle NonFocusStyle() const { return FNonFocusStyle; }
    void SetNonFocusStyle(TkqEditFocusStyle value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);

    int NonFocusTextOffsetX = 0;
    int NonFocusTextOffsetY = 0;
    bool MouseEnterSameAsFocus = false;
    int AutoSizeHeightAdjust = 0;
    TColor NonFocusTransparentFontColor = clNone;
    TColor NonFocusColor = clNone;
    TColor NonFocusFontColor = clNone;
    // Repaints behind the control erase the parent's background.
    bool ClearBackground = false;
    // Set when Transparent changes; the control reads it when it takes its styles.
    bool CreateTransparent = false;

    // Enabled, bound to a control, and the control does not sit in a grid.
    bool IsInEffect() const;
    // Copies another frame; the looks only when this frame is then enabled, or when forced.
    void Assign(const TkqEditFrame& source, bool force = false);
    // Left and top text offsets inside the frame for the state.
    virtual void GetTextOffsets(int& x, int& y, bool focused) const;
    // Margins of the formatting rectangle for the focused look (right is corrected in place).
    void GetEditRectMargins(int& left, int& top, int& right) const;
    // An auto-sized control's height from its font, border and AutoSizeHeightAdjust.
    void AdjustControlHeight();
    // The frame of the control for the focus state: the two outer rings wiped in the control's
    // colour (unless transparent), then the edges.
    void PaintFrame(TCanvas& canvas, bool focused, bool alwaysTransparent);
    // Repaints what lies behind the unfocused transparent control after a change.
    void RefreshTransparentBackground(bool wholeClient, bool isEdit);
    // The rectangle RefreshTransparentBackground repaints on the parent (parent coordinates)
    // or, when fillOwn is set on return, on the control itself.
    TRect TransparentRefreshRect(bool wholeClient, bool isEdit, bool& fillOwn) const;

    TkqEditFrameEnabledSet BordersFor(bool focused) const { return focused ? FFocusBorders : FNonFocusBorders; }
    TkqEditFocusStyle StyleFor(bool focused) const { return focused ? FFocusStyle : FNonFocusStyle; }

protected:
    // The border set both start with (the radio group's variant starts with none).
    TkqEditFrame(QObject* owner, TkqEditFrameEnabledSet nonFocus, TkqEditFrameEnabledSet focus);

private:
    int FocusStyleValue() const { return int(FFocusStyle); }
    void SetFocusStyleValue(int v) { FFocusStyle = TkqEditFocusStyle(v); }
    int NonFocusStyleValue() const { return int(FNonFocusStyle); }
    void SetNonFocusStyleValue(int v) { SetNonFocusStyle(TkqEditFocusStyle(v)); }
    void RecreateControl();

    QPointer<QWidget> FControl;
    bool FEnabled = false;
    TkqEditFrameEnabledSet FNonFocusBorders{efBottomBorder};
    TkqEditFrameEnabledSet FFocusBorders{efLeftBorder, efTopBorder, efRightBorder, efBottomBorder};
    TkqEditFocusStyle FFocusStyle = efsFrameBox;
    TkqEditFocusStyle FNonFocusStyle = efsFrameBox;
    bool FTransparent = false;
};

// The radio group's frame: no borders in either state until set.
class TkqRGEditFrame : public TkqEditFrame {
    Q_OBJECT
public:
    explicit TkqRGEditFrame(QObject* owner) : TkqEditFrame(owner, {}, {}) {}
};

// The frame's single-line styles (the box and the single line).
inline bool IsSingleLineFrameStyle(TkqEditFocusStyle style) { return style == efsFrameBox || style == efsFrameSingle; }

// Draws the control's frame edges for the focus state over its client rectangle (w x h).
void PaintFrameEdges(TCanvas& canvas, int width, int height, const TkqEditFrame& frame, bool focused);

// Flat or transparent look of the button embedded in an edit: the button's own "Transparent"
// and "Flat" (by name) become Flat or Transparent.
class TkqButtonEffects : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)

public:
    TkqButtonEffects(QWidget* edit, QWidget* button);

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    QWidget* Edit() const { return FEdit; }
    QWidget* Button() const { return FButton; }
    void SetButton(QWidget* button) { FButton = button; }
    // What the owning control does with the new look; nothing here.
    virtual void ApplyToControl() {}

private:
    void Apply(bool transparentToo);
    QPointer<QWidget> FEdit;
    QPointer<QWidget> FButton;
    bool FTransparent = false;
    bool FFlat = false;
};
