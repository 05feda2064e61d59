#pragma once
// The drawing layer every library control paints through: rectangles with the old convention
// (right and bottom just outside), a canvas over QPainter with pen, brush and font, bitmaps
// over QImage, icons, and the system measures the controls size themselves by.
// Conversions to QRect and QLine happen here and nowhere else.

#include "platform/core/Classes.h"
#include "platform/vcl/Graphics.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class QPainter;
class QPaintDevice;
class TCanvas;

// A rectangle whose right column and bottom row lie just outside it.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    constexpr TRect() = default;
    constexpr TRect(int left, int top, int right, int bottom) : Left(left), Top(top), Right(right), Bottom(bottom) {}
    static constexpr TRect Bounds(int x, int y, int width, int height) { return {x, y, x + width, y + height}; }
    static TRect FromQRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    constexpr bool Contains(const QPoint& p) const { return Contains(p.x(), p.y()); }
    constexpr QPoint TopLeft() const { return {Left, Top}; }
    constexpr TRect Inflated(int dx, int dy) const { return {Left - dx, Top - dy, Right + dx, Bottom + dy}; }
    constexpr TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
    TRect Intersected(const TRect& o) const;
    QRect ToQRect() const { return QRect(Left, Top, Width(), Height()); }
    constexpr bool operator==(const TRect&) const = default;
};

inline int RectWidth(const TRect& r) { return r.Right - r.Left; }
inline int RectHeight(const TRect& r) { return r.Bottom - r.Top; }

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

// A font with its colour, as a canvas and a control keep them.
struct TFont {
    QFont Font;
    TColor Color = clWindowText;
    TFont() = default;
    explicit TFont(const QFont& font, TColor color = clWindowText) : Font(font), Color(color) {}
    void SetBold(bool bold) { Font.setBold(bold); }
    bool Bold() const { return Font.bold(); }
};

// A picture that can draw itself into a rectangle of a canvas.
class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const { return Width() <= 0 || Height() <= 0; }
    virtual void Draw(TCanvas& canvas, const TRect& rect) const = 0;
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value) { FTransparent = value; }

protected:
    bool FTransparent = false;
};

// A bitmap over an RGB image. The transparent colour is the bottom-left pixel's unless one is
// set; a monochrome bitmap holds only black and white.
class TBitmap : public TGraphic {
public:
    TBitmap() = default;
    TBitmap(int width, int height);
    explicit TBitmap(const QImage& image);
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);

    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    // Keeps what fits of the picture; new parts are white.
    void SetSize(int width, int height);
    void Assign(const TBitmap& other) { *this = other; Changed(); }
    void Clear() { SetSize(0, 0); }

    bool Monochrome() const { return FMonochrome; }
    // Turning monochrome keeps white pixels white and makes every other pixel black.
    void SetMonochrome(bool value);

    TColor TransparentColor() const;
    void SetTransparentColor(TColor color) { FTransparentColor = color; }
    bool TransparentColorIsAuto() const { return FTransparentColor == clDefault; }

    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);
    void Fill(TColor color);

    const QImage& Image() const { return FImage; }
    // The picture with the pixels of one colour (the transparent colour by default) left
    // out; cached until the bitmap changes.
    QImage MaskedImage(TColor color = clDefault) const;

    void Draw(TCanvas& canvas, const TRect& rect) const override;

    // Called after every change of the picture (a canvas on the bitmap calls it when done).
    void Changed();
    std::function<void()> OnChange;

private:
    friend class TCanvas;
    QImage FImage;
    bool FMonochrome = false;
    TColor FTransparentColor = clDefault;
    mutable QImage FMaskCache;
    mutable TColor FMaskCacheColor = clNone;
};

// An icon: the bytes of an icon file and the image drawn from it.
class TIcon : public TGraphic {
public:
    TIcon() = default;
    // False when the bytes hold no icon the platform can read.
    bool LoadFromBytes(const QByteArray& bytes);
    const QByteArray& Data() const { return FData; }
    const QImage& Image() const { return FImage; }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    void Draw(TCanvas& canvas, const TRect& rect) const override;

private:
    QByteArray FData;
    QImage FImage;
};

enum TPenMode { pmCopy, pmXor, pmNot };
enum TBrushStyle { bsSolid, bsClear, bsPattern };

// Text flags of DrawText.
enum : unsigned {
    DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_NOCLIP = 0x100, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
    DT_END_ELLIPSIS = 0x8000, DT_RTLREADING = 0x20000
};

// Drawing through a painter with the old semantics: lines leave out their end pixel, filled
// and framed rectangles cover exactly their TRect, text is drawn at its top-left corner.
class TCanvas {
public:
    // Draws through a painter someone else holds (a control's paint handler).
    explicit TCanvas(QPainter& painter);
    // Holds a painter on the device for its own life.
    explicit TCanvas(QPaintDevice* device);
    // Draws into the bitmap; the bitmap's change notification runs when the canvas ends.
    explicit TCanvas(TBitmap& bitmap);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    QPainter& Painter() { return *FPainter; }

    struct TPenState {
        TColor Color = clBlack;
        int Width = 1;
        TPenMode Mode = pmCopy;
    } Pen;
    struct TBrushState {
        TColor Color = clWhite;
        TBrushStyle Style = bsSolid;
        TColor PatternBack = clWhite;   // with bsPattern: a one-pixel checker of Color and this
    } Brush;
    TFont Font;

    void MoveTo(int x, int y) { FPenPos = QPoint(x, y); }
    void LineTo(int x, int y);
    QPoint PenPos() const { return FPenPos; }
    // Connected lines through the points; the last point is left out.
    void Polyline(std::initializer_list<QPoint> points);
    void FillRect(const TRect& rect);
    // A one-pixel frame in the brush colour just inside the rectangle.
    void FrameRect(const TRect& rect);
    // Outline in the pen, inside in the brush.
    void Rectangle(const TRect& rect);
    void SetPixel(int x, int y, TColor color);

    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;
    void TextOut(int x, int y, const QString& text);
    // The text at (x, y), clipped to the rectangle, the rectangle filled first unless the brush
    // is clear.
    void TextRect(const TRect& rect, int x, int y, const QString& text);
    // Draws the text in the rectangle by the DT_ flags; with DT_CALCRECT it only measures and
    // sets the rectangle's right and bottom. Returns the height of the text.
    int DrawText(const QString& text, TRect& rect, unsigned flags);

    void Draw(int x, int y, const TGraphic& graphic);
    void StretchDraw(const TRect& rect, const TGraphic& graphic);
    // Copies part of a bitmap into the rectangle, stretched when the sizes differ.
    void CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect);
    void DrawImage(int x, int y, const QImage& image);

    TRect ClipRect() const;
    void SetClipRect(const TRect& rect);
    // Saves and restores pen, brush, font and clipping.
    void Save();
    void Restore();

private:
    void ApplyPen();
    void ApplyBrush();
    void ApplyFont();
    void ApplyMode();
    QPainter* FPainter = nullptr;
    std::unique_ptr<QPainter> FOwnPainter;
    TBitmap* FBitmap = nullptr;
    QPoint FPenPos;
    struct TSaved {
        TPenState Pen;
        TBrushState Brush;
        TFont Font;
    };
    std::vector<TSaved> FSaved;
};

// The text as shown with accelerator marks: "&x" shows x, "&&" shows one "&".
QString StripAccelerators(const QString& text);

// System measures as the controls use them, for the application's style and font.
enum TSystemMetric {
    SM_CXSCREEN, SM_CYSCREEN, SM_CXVSCROLL, SM_CYHSCROLL, SM_CXBORDER, SM_CYBORDER, SM_CYMENU, SM_CXMENUCHECK,
    SM_CYMENUCHECK, SM_CXICON, SM_CYICON
};
int GetSystemMetrics(TSystemMetric metric);
// The font menus are drawn in.
QFont MenuFont();
