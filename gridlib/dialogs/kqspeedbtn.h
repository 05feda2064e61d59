#pragma once
// Two small base controls of the data navigator. TkqSpeedButton: a push button without a window
// of its own that draws a glyph from an image list by index (with separate images for the
// disabled, pressed and hot states), an optional caption under it, and a classic raised face or a
// flat face that shows an edge only under the mouse. TkqCustomTransparentPanel: a panel that can
// leave its background unpainted so that its parent shows through.

#include "gridlib/core/kqgroupbox.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QWidget>
#include <functional>

class TImageList;

// The two colours of a disabled button's embossed caption.
struct TkqDisabledTextColors {
    TColor ShadeColor = clGray;
    TColor HighlightColor = clBtnHighlight;
};

class TkqSpeedButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int ImageIndex READ GetImageIndex WRITE SetImageIndex)
    Q_PROPERTY(int Margin READ Margin WRITE SetMargin)
    Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)
    Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TkqSpeedButton(QWidget* parent = nullptr);
    ~TkqSpeedButton() override;

    // Index of the normal glyph in the image list; -1 draws none.
    virtual int GetImageIndex() const { return FImageIndex; }
    virtual void SetImageIndex(int value);
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* images);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    // -1 centres glyph and caption; otherwise they start Margin pixels from the top-left corner.
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    // How many state images follow ImageIndex: disabled, pressed, hot.
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int value);
    bool ShowText() const { return FShowText; }
    void SetShowText(bool value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);
    // True: the parent paints behind the button (the button never fills its background).
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    TkqDisabledTextColors& DisabledTextColors() { return FDisabledTextColors; }
    // The hint shows as a tool tip while ShowHint is on.
    QString Hint() const { return FHint; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value);

    // The mouse is over the button; the left button went down on it and the mouse is over it.
    bool Hot() const { return FHot; }
    bool Pressed() const { return FMouseDown && FHot; }
    // The left button is recorded as held on the control.
    bool MouseHeld() const { return FMouseDown; }

    // Where the current state draws: the image index (-1 none), its top-left corner, the
    // caption's rectangle (empty when no caption shows), and the edge drawn around the face.
    struct TLayout {
        int Glyph = -1;
        QPoint GlyphAt;
        TRect Text;
        enum { edNone, edFrame, edRaised, edSunken } Edge = edNone;
    };
    TLayout Layout() const;

    // Fires OnClick; the navigator's buttons add their action.
    virtual void Click();
    std::function<void(QObject*)> OnClick;
    std::function<void(QObject*, TMouseButton, TShiftState, int, int)> OnMouseDown;
    std::function<void(QObject*, TMouseButton, TShiftState, int, int)> OnMouseUp;
    std::function<void(QObject*, TShiftState, int, int)> OnMouseMove;

protected:
    virtual void Paint(TCanvas& canvas);
    // Called after the button state changed by the mouse (the navigator repaints behind it).
    virtual void MouseStateChanged() {}
    virtual void MouseEntered();
    virtual void MouseLeft();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void ClearMouseHeld() { FMouseDown = false; }

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ReleaseImages();

    int FImageIndex = -1;
    TImageList* FImages = nullptr;
    int FImagesChangeKey = 0;
    int FImagesFreeKey = 0;
    bool FFlat = false;
    int FMargin = -1;
    int FNumGlyphs = 1;
    bool FShowText = false;
    int FSpacing = 4;
    bool FTransparent = true;
    QString FCaption;
    QString FHint;
    bool FShowHint = false;
    TkqDisabledTextColors FDisabledTextColors;
    bool FHot = false;
    bool FMouseDown = false;
};

class TkqCustomTransparentPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TkqCustomTransparentPanel(QWidget* parent = nullptr);

    bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool value);
    // Transparent (there is no designer here).
    virtual bool IsTransparent() const { return FTransparent; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);

    // A transparent panel repaints its parent's area under it, and its children.
    void Invalidate();

protected:
    virtual void Paint(TCanvas& canvas);
    // The panel moved or its children were realigned.
    virtual void AlignControls() {}
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool FTransparent = false;
    QString FCaption;
    TColor FColor = clBtnFace;
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
};
