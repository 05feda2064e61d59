#pragma once
// The grid library's effect bitmap: 24-bit pixels, rows top-down, three bytes per pixel (blue,
// green, red), each row padded to a multiple of four bytes, addressed directly through a row
// index. Image effects work on the pixels in place; drawing copies, stretches (plain or
// smooth), tiles or leaves out a transparent colour.
//
// The displays here are never palette-based, so the palette selection of the old bitmap class
// has nothing to do and is not kept.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Picture.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QVector>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <random>

class QIODevice;

// The pixel format a bitmap came in (given back when the effect bitmap is copied out again).
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

class TkqBitmap : public TGraphic {
public:
    TkqBitmap() = default;
    TkqBitmap(int width, int height) { SetSize(width, height); }
    TkqBitmap(const TkqBitmap& other);
    TkqBitmap& operator=(const TkqBitmap& other);
    ~TkqBitmap() override;

    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    // No pixels: nothing to draw.
    bool Empty() const override { return FImage.isNull(); }
    void SetWidth(int width) { Resize(width, FHeight); }
    void SetHeight(int height) { Resize(FWidth, height); }

    // Row layout: RowInc bytes per row (3 x Width + Gap), Size bytes in all.
    int Gap() const { return FWidth % 4; }
    int RowInc() const { return 3 * FWidth + Gap(); }
    int Size() const { return RowInc() * FHeight; }
    // The first byte of the pixels, and of row y (the row index); null while empty.
    uint8_t* Bits();
    const uint8_t* Bits() const { return FImage.isNull() ? nullptr : FImage.constBits(); }
    uint8_t* Pixels(int y) { return FRows[y]; }
    const uint8_t* Pixels(int y) const { return FRows[y]; }
    // A pixel as a colour (clNone outside the picture).
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // The colour transparent drawing leaves out; clNone means the top-left pixel's.
    TColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(TColor color);
    TPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat format) { FPixelFormat = format; }
    // The source bitmap's colour table (blue, green, red, reserved), up to 256 entries.
    const QVector<uint32_t>& Colors() const { return FColors; }
    bool SourceHadColorTable() const { return FSourceHadColorTable; }
    bool SourceDeeperThanScreen() const { return FSourceDeeperThanScreen; }

    bool RespectPalette = false;
    bool UseHalftonePalette = false;
    bool SmoothStretching = false;
    bool SkipPalette = false;
    bool Assigning = false;
    bool IgnoreChange = false;

    // A canvas on the pixels; it stays valid until the size changes or the image is freed.
    TCanvas& Canvas();
    // The pixels as an image that shares them (valid until the size changes).
    const QImage& Image() const { return FImage; }

    // Frees the pixels; the bitmap is empty afterwards.
    void FreeImage();
    void ReleaseImage() { FreeImage(); }
    // Frees the image; with both sides non-zero makes new pixels of that size, all white.
    void SetSize(int width, int height);
    // SetSize only when the size differs (the content is lost).
    void Resize(int width, int height);
    // When the size differs: the picture is stretched into the new size.
    void StretchResize(int width, int height);

    // Keeping the pixels while the image is released: SaveToMemory copies them aside and frees
    // the image, RestoreFromMemory brings them back.
    void SaveToMemory();
    void RestoreFromMemory();
    void FreeMemoryImage();
    bool HasMemoryImage() const { return !FMemory.isEmpty(); }
    // New pixels of that size filled from the bytes (rows laid out as above).
    void LoadFromMemory(const uint8_t* bits, int size, QPoint dims);

    // Exchange with the platform's bitmaps and other pictures.
    void Assign(const TBitmap& source);
    void Assign(const TkqBitmap& source);
    void AssignFromBitmap(const TBitmap& bitmap);
    void AssignFromGraphic(const TGraphic& graphic);
    void AssignToBitmap(TBitmap& bitmap) const;
    void AssignTo(TBitmap& bitmap) const;
    void AssignTo(TkqBitmap& dest) const;
    // A bitmap file; raises EInvalidGraphic for bytes that hold none.
    void LoadFromStream(QIODevice& stream);
    void SaveToStream(QIODevice& stream) const;

    // Drawing into the rectangle of a canvas: the same size is copied (transparently when the
    // bitmap is transparent), another size stretched (smoothly with SmoothStretching).
    void Draw(TCanvas& canvas, const TRect& rect) const override;
    void DrawStretched(TCanvas& canvas, const TRect& rect) const;
    void DrawSmoothStretched(TCanvas& canvas, const TRect& rect) const;
    void DrawTiled(TCanvas& canvas, const TRect& rect) const;
    void DrawTransparent(TCanvas& canvas, const TRect& rect) const;

    // Effects, in place unless said otherwise. Colours of ReplaceColor and MakeMask are 24-bit
    // values with red in bits 16-23, green in 8-15 and blue in 0-7.
    void Lightness(int amount);
    void Contrast(int amount);
    void Saturation(int amount);
    void Grayscale();
    void Invert();
    void AddRGB(int r, int g, int b);
    void Tint(int r, int g, int b);
    void ReplaceColor(uint32_t newColor, uint32_t oldColor);
    void MakeMask(uint32_t color);
    void Blur(int distance);
    void BlurRepeated(int times);
    void Sharpen(int distance);
    void Emboss();
    void Spray(int amount);
    void Flip(bool horizontal);
    // Rotates about the centre (the middle of the picture when a coordinate is negative) by
    // the angle in degrees; uncovered pixels take the top-left pixel's colour.
    void Rotate(QPoint centre, double angle);
    void Wave(bool wrap, int amplitude, int waveY, int waveX);

    // Listeners told of every change (the key given back removes one).
    int AddChangeLink(std::function<void(TkqBitmap*)> link);
    void RemoveChangeLink(int key);
    std::function<void(TkqBitmap*)> OnChange;
    void Changed();

    // The random numbers Spray takes (tests seed it).
    std::mt19937& RandomEngine() { return FRandom; }

private:
    void SetupRows();
    void EndCanvas();
    void ApplyTable(const std::array<uint8_t, 256>& table);
    QImage ToRgbImage() const;
    const QImage& MaskImage() const;

    QImage FImage;               // Format_BGR888: exactly the row layout above
    std::vector<uint8_t*> FRows;
    int FWidth = 0;
    int FHeight = 0;
    TColor FTransparentColor = clNone;
    TPixelFormat FPixelFormat = pf24bit;
    QVector<uint32_t> FColors;
    bool FSourceHadColorTable = false;
    bool FSourceDeeperThanScreen = false;
    std::unique_ptr<TCanvas> FCanvas;
    mutable QImage FMask;        // the picture with the transparent colour left out
    mutable TColor FMaskKey = clNone;
    QByteArray FMemory;
    QPoint FMemoryDims;
    std::map<int, std::function<void(TkqBitmap*)>> FLinks;
    int FNextLinkKey = 1;
    std::mt19937 FRandom{std::random_device{}()};
};
