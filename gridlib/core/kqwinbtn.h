#pragma once
// What the library's owner-drawn check box and radio button share: the indents that move the
// glyph and the caption, and the button control itself: caption, colour, frame, transparency,
// image glyphs, mouse tracking of the frame's look, and one paint routine for the live control
// and for the copies a grid asks for.

#include "gridlib/core/kqframe.h"
#include "gridlib/core/kqgridhost.h"
#include "platform/data/DB.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/ImgList.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class TkqWinButtonIndents : public QObject {
    Q_OBJECT
    Q_PROPERTY(int ButtonX READ ButtonX WRITE SetButtonX)
    Q_PROPERTY(int ButtonY READ ButtonY WRITE SetButtonY)
    Q_PROPERTY(int TextX READ TextX WRITE SetTextX)
    Q_PROPERTY(int TextY READ TextY WRITE SetTextY)

public:
    explicit TkqWinButtonIndents(QObject* owner);

    int ButtonX() const { return FButtonX; }
    void SetButtonX(int value);
    int ButtonY() const { return FButtonY; }
    void SetButtonY(int value);
    int TextX() const { return FTextX; }
    void SetTextX(int value);
    int TextY() const { return FTextY; }
    void SetTextY(int value);
    void Assign(const TkqWinButtonIndents& source);
    // Tells the owner of a change: it repaints.
    virtual void Refresh(QWidget* owner);

private:
    void Changed();
    QPointer<QWidget> FOwner;
    int FButtonX = 0;
    int FButtonY = 0;
    int FTextX = 0;
    int FTextY = 0;
};

// The data-aware key press of the library's buttons: Backspace and Space put the link into
// edit state, Escape shows the field's value again (true: the key is taken).
bool DataLinkKeyPress(TFieldDataLink& link, int key);

// The owner-drawn button control both the check box and the radio button stand on.
class TkqButtonControl : public QWidget, public TkqFrameHost, public TkqCopyPaintable {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(int Alignment READ AlignmentValue WRITE SetAlignmentValue)
    Q_PROPERTY(TkqEditFrame* Frame READ Frame)
    Q_PROPERTY(TkqWinButtonIndents* Indents READ Indents)
    Q_PROPERTY(bool AlwaysTransparent READ AlwaysTransparent WRITE SetAlwaysTransparent)
    Q_PROPERTY(bool ShowFocusRect READ ShowFocusRect WRITE SetShowFocusRect)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)

public:
    explicit TkqButtonControl(QWidget* parent = nullptr);
    ~TkqButtonControl() override;

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor color);
    // taRightJustify: glyph left, caption right; taLeftJustify: glyph right.
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TkqEditFrame* Frame() const { return FFrame; }
    TkqWinButtonIndents* Indents() const { return FIndents; }
    bool AlwaysTransparent() const { return FAlwaysTransparent; }
    void SetAlwaysTransparent(bool value);
    bool ShowFocusRect() const { return FShowFocusRect; }
    void SetShowFocusRect(bool value);
    bool TabStop() const { return focusPolicy() != Qt::NoFocus && focusPolicy() != Qt::ClickFocus; }
    void SetTabStop(bool value);
    // Glyph images: the list stays its owner's; freeing it clears the property.
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* images);

    // Frame.Transparent with the frame in effect.
    bool TransparentNow() const;
    // Has the focus.
    bool Focused() const { return hasFocus(); }
    bool SpaceKeyPressed = false;
    bool ClicksDisabled = false;

    // Fires OnClick (not while clicks are disabled).
    virtual void Click();
    // The whole owner drawing: the control's Paint, then its frame for the current look.
    void PaintControl(TCanvas& canvas);
    void PaintCopy(TCanvas& canvas) override;
    // The glyph rectangle.
    virtual TRect GetCheckRect() const = 0;
    // The cursor lies over the control (and, with inGlyph, in the glyph rectangle grown by 3).
    bool IsMouseOverBox(bool inGlyph) const;

    TRect FormattingRect() const override { return TRect(0, 0, width(), height()); }

    std::function<void(QObject*)> OnClick;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;
    std::function<void(QObject*)> OnMouseEnter;
    std::function<void(QObject*)> OnMouseLeave;

    QSize sizeHint() const override;

protected:
    virtual void Paint(TCanvas& canvas) = 0;
    // The event (an exception from it ends the handling quietly), then the frame's focused or
    // unfocused look when the mouse counts as focus.
    virtual void DoMouseEnter();
    virtual void DoMouseLeave();
    // The window's styles afresh (transparency) and a repaint.
    virtual void RecreateWnd();
    virtual void CaptionChanged() { update(); }
    // The click of a Space released after it was pressed on the control.
    virtual void SpaceClick() {}
    // Points slot at the list (or none), watching for the list to be freed.
    void AttachImages(TImageList*& slot, int& freeKey, TImageList* images);
    // Focus arriving and leaving (switching windows or opening a popup is neither).
    virtual void DoEnter();
    virtual void DoExit();
    // The frame shows its focused look: focused, or the mouse over it when that counts.
    bool FrameLookFocused() const;
    // The canvas font for painting: the control's font and colour.
    TFont ControlFont() const { return TFont(font(), FFontColor); }
    // Caption drawn in the text colour, or embossed when disabled.
    void DrawCaption(TCanvas& canvas, const QString& text, TRect rect, unsigned flags, bool disabled);

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Space pressed marks the glyph pushed; its release clicks.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

    bool FMouseOver = false;

private:
    int AlignmentValue() const { return int(FAlignment); }
    void SetAlignmentValue(int v) { SetAlignment(TAlignment(v)); }
    QString FCaption;
    TColor FColor = clBtnFace;
    TColor FFontColor = clWindowText;
    TAlignment FAlignment = taRightJustify;
    TkqEditFrame* FFrame;
    TkqWinButtonIndents* FIndents;
    bool FAlwaysTransparent = false;
    bool FShowFocusRect = true;
    TImageList* FImages = nullptr;
    int FImagesFreeKey = 0;
};
