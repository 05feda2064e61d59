#pragma once
// Text drawn with effects into a rectangle of its owner's canvas: plain, lowered, raised or
// outlined, with a drop shadow, a 3-D extrusion, rotation by any angle, word wrap with optional
// full justification, alignment, line spacing, accelerator marks and an end ellipsis. The owner
// keeps the font and the canvas, sets the text and the bounds before each draw and hears of
// changes through its hooks.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QPoint>
#include <functional>
#include <memory>

enum TqeTextStyle { qelsDefault, qelsLowered, qelsRaised, qelsOutline };
enum TqeVAlignment { vaTop, vaVCenter, vaBottom };
enum TqeOrientation { qeTopLeft, qeTopRight, qeBottomLeft, qeBottomRight, qeTop, qeRight, qeLeft, qeBottom };
enum TqeTextOption { toShowAccel, toShowEllipsis, toFullJustify };
using TqeTextOptions = TSet<TqeTextOption>;

// The unit step of an orientation, as extrusion, outline and shadow use it.
QPoint OrientationVector(TqeOrientation orientation);
// x - 0.4999 rounded to the nearest integer, ties to even.
int RoundDown(double x);

class TqeText;

class TqeShadowEffects {
public:
    explicit TqeShadowEffects(TqeText* owner) : FOwner(owner) {}
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    int XOffset() const { return FXOffset; }
    void SetXOffset(int value);
    int YOffset() const { return FYOffset; }
    void SetYOffset(int value);

private:
    TqeText* FOwner;
    TColor FColor = clBtnShadow;
    bool FEnabled = false;
    int FXOffset = 10;
    int FYOffset = 10;
};

class TqeExtrudeEffects {
public:
    explicit TqeExtrudeEffects(TqeText* owner) : FOwner(owner) {}
    int Depth() const { return FDepth; }
    void SetDepth(int value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    TColor FarColor() const { return FFarColor; }
    void SetFarColor(TColor value);
    TColor NearColor() const { return FNearColor; }
    void SetNearColor(TColor value);
    TqeOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TqeOrientation value);
    bool Striated() const { return FStriated; }
    void SetStriated(bool value);

private:
    TqeText* FOwner;
    int FDepth = 10;
    bool FEnabled = false;
    TColor FFarColor = clBlack;
    TColor FNearColor = clBlack;
    TqeOrientation FOrientation = qeBottomRight;
    bool FStriated = false;
};

class TqeDisabledColors {
public:
    explicit TqeDisabledColors(TqeText* owner) : FOwner(owner) {}
    TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(TColor value);
    TColor ShadeColor() const { return FShadeColor; }
    void SetShadeColor(TColor value);

private:
    TqeText* FOwner;
    TColor FHighlightColor = clBtnHighlight;
    TColor FShadeColor = clBtnShadow;
};

class TqeText {
public:
    // The owner's hooks: Changed (repaint), AdjustBounds (re-size), IsEnabled.
    struct THooks {
        std::function<void()> Changed;
        std::function<void()> AdjustBounds;
        std::function<bool()> IsEnabled;
    };
    TqeText(THooks hooks, const TFont* font, TCanvas* canvas);
    virtual ~TqeText();
    TqeText(const TqeText&) = delete;
    TqeText& operator=(const TqeText&) = delete;

    // Copies the effects, colours, spacing, options, rotation, style and text (not the
    // alignments, word wrap or disabled colours).
    void Assign(const TqeText& source);

    THooks& Hooks() { return FHooks; }
    void SetCanvas(TCanvas* canvas) { FCanvas = canvas; }
    TCanvas* Canvas() const { return FCanvas; }
    void SetFont(const TFont* font) { FFont = font; }
    const TFont* Font() const { return FFont; }

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TqeVAlignment VAlignment() const { return FVAlignment; }
    void SetVAlignment(TqeVAlignment value);
    TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(TColor value);
    TColor OutlineColor() const { return FOutlineColor; }
    void SetOutlineColor(TColor value);
    TColor ShadeColor() const { return FShadeColor; }
    void SetShadeColor(TColor value);
    int LineSpacing() const { return FLineSpacing; }
    void SetLineSpacing(int value);
    TqeTextStyle Style() const { return FStyle; }
    void SetStyle(TqeTextStyle value);
    TqeTextOptions Options() const { return FOptions; }
    void SetOptions(TqeTextOptions value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    int Rotation() const { return FRotation; }
    void SetRotation(int value);
    unsigned Format() const { return FFormat; }

    TqeShadowEffects& Shadow() { return *FShadow; }
    TqeExtrudeEffects& ExtrudeEffects() { return *FExtrude; }
    TqeDisabledColors& DisabledColors() { return *FDisabledColors; }

    QString Text() const { return FText; }
    void SetText(const QString& text);
    TRect Bounds() const { return FBounds; }
    void SetBounds(const TRect& r) { FBounds = r; }
    TRect TextRect() const { return FTextRect; }

    // Draws the text into Bounds on the owner's canvas.
    void Draw();
    // The face rectangle measured with the effect font.
    TRect CalcTextRectWithFont(bool unclipped);

    // Effects objects report here: AdjustBounds first when the size may change.
    void EffectChanged(bool adjust);
    void DisabledColorsChanged();

protected:
    virtual TCanvas& GetDrawCanvas();
    virtual QFont GetLogFont() const;
    virtual void GetTextSize(int& w, int& h);
    virtual void GetRotatedExtent(bool unclipped, int& ew, int& eh);
    virtual TRect CalcTextRect(bool unclipped);
    virtual void DrawHighlighted();
    virtual void DrawOutline();
    virtual void DrawShadow();
    virtual void DrawLines(const TRect& r);
    virtual void Changed();
    virtual void DrawDefaultStyle();
    virtual void DrawOutlineStyle();
    virtual void DrawEmbossedStyle(bool raised);
    virtual void PrepareFont();

    bool OwnerEnabled() const { return !FHooks.IsEnabled || FHooks.IsEnabled(); }
    QPoint ShadowOffset() const;
    QPoint ExtrudeOffset(bool absolute) const;
    void Extrude();
    void Emboss(bool raised);
    // One layer: the text at the face rectangle moved by (dx, dy), in the colour.
    void DrawLayer(int dx, int dy, TColor color);
    void AdjustBounds();

private:
    void DrawLine(TCanvas& canvas, const QString& line, const TRect& r, int justifyExtra);
    TColor FaceColor() const;

    THooks FHooks;
    TRect FTextRect;
    TAlignment FAlignment = taLeftJustify;
    TCanvas* FCanvas = nullptr;
    TCanvas* FWorkCanvas = nullptr;
    std::unique_ptr<TqeDisabledColors> FDisabledColors;
    std::unique_ptr<TqeExtrudeEffects> FExtrude;
    TColor FHighlightColor = clBtnHighlight;
    unsigned FFormat = DT_NOCLIP;
    const TFont* FFont = nullptr;
    int FLineSpacing = 5;
    TqeTextOptions FOptions{toShowAccel};
    TColor FOutlineColor = clBlack;
    int FRotation = 0;
    TColor FShadeColor = clBtnShadow;
    std::unique_ptr<TqeShadowEffects> FShadow;
    TqeTextStyle FStyle = qelsDefault;
    QString FText;
    TRect FBounds;
    TqeVAlignment FVAlignment = vaTop;
    bool FWordWrap = false;
    bool FDrawing = false;
};

// The effect text as owners publish it (their TextOptions).
class TqeCaptionText : public TqeText {
public:
    using TqeText::TqeText;
};
