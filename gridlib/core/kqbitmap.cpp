#include "gridlib/core/kqbitmap.h"

#include "platform/vcl/Picture.h"

#include <QIODevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
inline uint8_t Clamp(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }
inline uint8_t Clamp64(int64_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }
inline int ClampTo(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }
// Round half to even, as the effects' rounding does.
inline int RoundEven(double v) { return int(std::nearbyint(v)); }
// A random number 0 <= n < range; 0 for an empty range.
int RandomBelow(std::mt19937& engine, int range)
{
    if (range <= 0) return 0;
    return std::uniform_int_distribution<int>(0, range - 1)(engine);
}
// A colour as the 24-bit value (red high) of ReplaceColor and MakeMask.
inline uint32_t RgbValue(const uint8_t* p) { return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }
} // namespace

TkqBitmap::TkqBitmap(const TkqBitmap& other) : TGraphic(other)
{
    other.AssignTo(*this);
}

TkqBitmap& TkqBitmap::operator=(const TkqBitmap& other)
{
    if (this != &other) other.AssignTo(*this);
    return *this;
}

TkqBitmap::~TkqBitmap()
{
    EndCanvas();
}

void TkqBitmap::EndCanvas()
{
    FCanvas.reset();
}

void TkqBitmap::SetupRows()
{
    FRows.resize(size_t(FHeight));
    // Writing needs the image's own bytes, never ones shared with a copy someone kept.
    uint8_t* base = FImage.isNull() ? nullptr : FImage.bits();
    for (int y = 0; y < FHeight; ++y) FRows[size_t(y)] = base + qsizetype(y) * RowInc();
    FMask = QImage();
}

uint8_t* TkqBitmap::Bits()
{
    if (FImage.isNull()) return nullptr;
    const uint8_t* before = FImage.constBits();
    uint8_t* bits = FImage.bits();   // detaches from a shared copy
    if (bits != before || (!FRows.empty() && FRows[0] != bits)) {
        EndCanvas();
        SetupRows();
    }
    return bits;
}

TColor TkqBitmap::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clNone;
    const uint8_t* p = FImage.constScanLine(y) + 3 * x;
    return RGBToColor(p[2], p[1], p[0]);
}

void TkqBitmap::SetPixel(int x, int y, TColor color)
{
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight || !Bits()) return;
    const TColor c = ColorToRGB(color);
    uint8_t* p = Pixels(y) + 3 * x;
    p[0] = uint8_t(c >> 16);
    p[1] = uint8_t(c >> 8);
    p[2] = uint8_t(c);
    FMask = QImage();
}

void TkqBitmap::SetTransparentColor(TColor color)
{
    if (color == FTransparentColor) return;
    FTransparentColor = color;
    FMask = QImage();
}

TCanvas& TkqBitmap::Canvas()
{
    if (!FCanvas) {
        Bits();
        FCanvas = std::make_unique<TCanvas>(static_cast<QPaintDevice*>(&FImage));
    }
    return *FCanvas;
}

void TkqBitmap::FreeImage()
{
    EndCanvas();
    FImage = QImage();
    FRows.clear();
    FMask = QImage();
    FWidth = FHeight = 0;
}

void TkqBitmap::SetSize(int width, int height)
{
    FreeImage();
    if (width > 0 && height > 0) {
        FImage = QImage(width, height, QImage::Format_BGR888);
        if (FImage.isNull()) throw EOutOfMemory(QStringLiteral("Out of memory"));
        FImage.fill(Qt::white);
        FWidth = width;
        FHeight = height;
        SetupRows();
    }
    Changed();
}

void TkqBitmap::Resize(int width, int height)
{
    if (width != FWidth || height != FHeight) SetSize(width, height);
}

void TkqBitmap::StretchResize(int width, int height)
{
    if (width == FWidth && height == FHeight) return;
    const TkqBitmap copy(*this);
    SetSize(width, height);
    if (copy.Empty() || Empty()) return;
    TCanvas& canvas = Canvas();
    copy.DrawStretched(canvas, TRect(0, 0, width, height));
    Changed();
}

void TkqBitmap::SaveToMemory()
{
    if (Empty()) return;
    FMemory = QByteArray(reinterpret_cast<const char*>(Bits()), Size());
    FMemoryDims = QPoint(FWidth, FHeight);
    FreeImage();
}

void TkqBitmap::RestoreFromMemory()
{
    if (FMemory.isEmpty()) return;
    LoadFromMemory(reinterpret_cast<const uint8_t*>(FMemory.constData()), int(FMemory.size()), FMemoryDims);
    FreeMemoryImage();
}

void TkqBitmap::FreeMemoryImage()
{
    FMemory.clear();
    FMemoryDims = QPoint();
}

void TkqBitmap::LoadFromMemory(const uint8_t* bits, int size, QPoint dims)
{
    SetSize(dims.x(), dims.y());
    if (Empty()) return;
    std::copy_n(bits, std::min(size, Size()), Bits());
    Changed();
}

// ---- Exchange

void TkqBitmap::Assign(const TBitmap& source)
{
    if (source.Empty()) {
        FreeImage();
        Changed();
        return;
    }
    AssignFromBitmap(source);
    SetTransparent(source.Transparent());
}

void TkqBitmap::Assign(const TkqBitmap& source)
{
    if (&source != this) source.AssignTo(*this);
}

void TkqBitmap::AssignFromBitmap(const TBitmap& bitmap)
{
    FreeImage();
    const QImage rgb = bitmap.Image().convertToFormat(QImage::Format_BGR888);
    if (!rgb.isNull()) {
        FImage = rgb.copy();
        FWidth = FImage.width();
        FHeight = FImage.height();
        SetupRows();
    }
    // The platform's bitmaps hold 24-bit colour (or black and white) without a colour table.
    FSourceDeeperThanScreen = false;
    FPixelFormat = bitmap.Monochrome() ? pf1bit : pf24bit;
    FColors.clear();
    FSourceHadColorTable = false;
    Changed();
}

void TkqBitmap::AssignFromGraphic(const TGraphic& graphic)
{
    TBitmap temp(graphic.Width(), graphic.Height());
    {
        TCanvas canvas(temp);
        graphic.Draw(canvas, TRect(0, 0, graphic.Width(), graphic.Height()));
    }
    AssignFromBitmap(temp);
}

QImage TkqBitmap::ToRgbImage() const
{
    return FImage.isNull() ? QImage() : FImage.convertToFormat(QImage::Format_RGB32);
}

void TkqBitmap::AssignToBitmap(TBitmap& bitmap) const
{
    bitmap = TBitmap(ToRgbImage());
    if (FPixelFormat == pf1bit) bitmap.SetMonochrome(true);
}

void TkqBitmap::AssignTo(TBitmap& bitmap) const
{
    AssignToBitmap(bitmap);
    bitmap.SetTransparent(Transparent());
    const TColor key = FTransparentColor == clNone ? Pixel(0, 0) : FTransparentColor;
    if (key != clNone) bitmap.SetTransparentColor(key);
}

void TkqBitmap::AssignTo(TkqBitmap& dest) const
{
    if (&dest == this) return;
    const bool ignore = dest.IgnoreChange;
    dest.IgnoreChange = true;
    if (Empty()) {
        dest.FreeImage();
    } else {
        dest.Resize(FWidth, FHeight);
        std::copy_n(Bits(), Size(), dest.Bits());
    }
    dest.SetTransparent(Transparent());
    dest.SmoothStretching = SmoothStretching;
    dest.FTransparentColor = FTransparentColor;
    dest.FPixelFormat = FPixelFormat;
    dest.RespectPalette = RespectPalette;
    dest.UseHalftonePalette = UseHalftonePalette;
    dest.FColors = FColors;
    dest.FSourceHadColorTable = FSourceHadColorTable;
    dest.FSourceDeeperThanScreen = FSourceDeeperThanScreen;
    dest.FMask = QImage();
    dest.IgnoreChange = ignore;
    dest.Changed();
}

void TkqBitmap::LoadFromStream(QIODevice& stream)
{
    const QByteArray bytes = stream.readAll();
    const QImage image = ReadPicture(bytes);
    if (image.isNull()) throw EInvalidGraphic(QStringLiteral("Bitmap image is not valid"));
    Assign(TBitmap(image));
}

void TkqBitmap::SaveToStream(QIODevice& stream) const
{
    if (Empty()) return;
    stream.write(BitmapBytes(ToRgbImage()));
}

// ---- Drawing

void TkqBitmap::Draw(TCanvas& canvas, const TRect& rect) const
{
    if (Empty()) return;
    if (rect.Width() == FWidth && rect.Height() == FHeight) {
        if (Transparent() && !Assigning) DrawTransparent(canvas, rect);
        else canvas.Painter().drawImage(rect.TopLeft(), FImage);
    } else if (SmoothStretching) {
        DrawSmoothStretched(canvas, rect);
    } else {
        DrawStretched(canvas, rect);
    }
}

void TkqBitmap::DrawStretched(TCanvas& canvas, const TRect& rect) const
{
    if (Empty() || rect.IsEmpty()) return;
    if (Transparent()) {
        TkqBitmap temp(rect.Width(), rect.Height());
        {
            QPainter p(&temp.FImage);
            p.drawImage(QRect(0, 0, rect.Width(), rect.Height()), FImage);
        }
        temp.SetTransparentColor(FTransparentColor == clNone ? Pixel(0, 0) : FTransparentColor);
        temp.DrawTransparent(canvas, rect);
        return;
    }
    QPainter& p = canvas.Painter();
    const bool smooth = p.testRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(rect.ToQRect(), FImage);
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

void TkqBitmap::DrawSmoothStretched(TCanvas& canvas, const TRect& rect) const
{
    const int w = rect.Width(), h = rect.Height();
    if (Empty() || w <= 0 || h <= 0) return;
    TkqBitmap temp(w, h);
    const int dx = ((FWidth - 1) * 32768) / w;
    const int dy = ((FHeight - 1) * 32768) / h;
    for (int j = 0; j < h; ++j) {
        const int fy = j * dy;
        const int y0 = fy >> 15, y1 = std::min(y0 + 1, FHeight - 1);
        const int v = fy & 32767;
        const uint8_t* r0 = FImage.constScanLine(y0);
        const uint8_t* r1 = FImage.constScanLine(y1);
        uint8_t* out = temp.Pixels(j);
        for (int i = 0; i < w; ++i) {
            const int fx = i * dx;
            const int x0 = fx >> 15, x1 = std::min(x0 + 1, FWidth - 1);
            const int u = fx & 32767;
            const int f = int((int64_t(u) * (32768 - v)) >> 15);
            const int hh = int((int64_t(u) * v) >> 15);
            const int w00 = (32768 - v) - f, w10 = f, w01 = v - hh, w11 = hh;
            for (int c = 0; c < 3; ++c) {
                const int64_t sum = int64_t(r0[3 * x0 + c]) * w00 + int64_t(r0[3 * x1 + c]) * w10
                                    + int64_t(r1[3 * x0 + c]) * w01 + int64_t(r1[3 * x1 + c]) * w11;
                out[3 * i + c] = Clamp64(sum >> 15);
            }
        }
    }
    temp.SetTransparentColor(FTransparentColor == clNone ? Pixel(0, 0) : FTransparentColor);
    const TRect at(rect.Left, rect.Top, rect.Left + w, rect.Top + h);
    if (Transparent()) temp.DrawTransparent(canvas, at);
    else canvas.Painter().drawImage(at.TopLeft(), temp.FImage);
}

void TkqBitmap::DrawTiled(TCanvas& canvas, const TRect& rect) const
{
    if (Empty()) return;
    for (int y = 0; y < rect.Bottom; y += FHeight)
        for (int x = 0; x < rect.Right; x += FWidth) Draw(canvas, TRect::Bounds(x - rect.Left, y - rect.Top, FWidth, FHeight));
}

const QImage& TkqBitmap::MaskImage() const
{
    const TColor key = FTransparentColor == clNone ? Pixel(0, 0) : ColorToRGB(FTransparentColor);
    if (!FMask.isNull() && FMaskKey == key) return FMask;
    QImage masked = FImage.convertToFormat(QImage::Format_ARGB32);
    const QRgb keyRgb = qRgb(key & 0xFF, (key >> 8) & 0xFF, (key >> 16) & 0xFF) & 0xFFFFFF;
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x)
            if ((line[x] & 0xFFFFFF) == keyRgb) line[x] = 0;
    }
    FMask = masked;
    FMaskKey = key;
    return FMask;
}

void TkqBitmap::DrawTransparent(TCanvas& canvas, const TRect& rect) const
{
    if (Empty()) return;
    canvas.Painter().drawImage(rect.TopLeft(), MaskImage());
}

// ---- Effects

void TkqBitmap::ApplyTable(const std::array<uint8_t, 256>& table)
{
    if (!Bits()) return;
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = Pixels(y);
        for (int i = 0; i < 3 * FWidth; ++i) p[i] = table[p[i]];
    }
    Changed();
}

void TkqBitmap::Lightness(int amount)
{
    std::array<uint8_t, 256> table;
    for (int c = 0; c < 256; ++c)
        table[size_t(c)] = amount <= 0 ? Clamp(c - ((c * std::abs(amount)) >> 8)) : Clamp(c + ((amount * (255 - c)) >> 8));
    ApplyTable(table);
}

void TkqBitmap::Contrast(int amount)
{
    std::array<uint8_t, 256> table;
    for (int c = 0; c < 256; ++c) {
        const int delta = (std::abs(128 - c) * amount) / 256;
        table[size_t(c)] = Clamp(c <= 126 ? c - delta : c + delta);
    }
    ApplyTable(table);
}

void TkqBitmap::Saturation(int amount)
{
    if (!Bits()) return;
    std::array<uint32_t, 256> t;
    for (int x = 0; x < 256; ++x) t[size_t(x)] = uint32_t(int64_t(amount) * x) >> 8;
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x, p += 3) {
            const int g = p[0] / 3 + p[1] / 3 + p[2] / 3;
            for (int c = 0; c < 3; ++c) p[c] = Clamp64(int64_t(g) + int64_t(t[p[c]]) - int64_t(t[size_t(g)]));
        }
    }
    Changed();
}

void TkqBitmap::Grayscale()
{
    if (!Bits()) return;
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x, p += 3) p[0] = p[1] = p[2] = uint8_t(p[0] / 3 + p[1] / 3 + p[2] / 3);
    }
    Changed();
}

void TkqBitmap::Invert()
{
    std::array<uint8_t, 256> table;
    for (int c = 0; c < 256; ++c) table[size_t(c)] = uint8_t(255 - c);
    ApplyTable(table);
}

void TkqBitmap::AddRGB(int r, int g, int b)
{
    if (!Bits()) return;
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x, p += 3) {
            p[0] = Clamp(p[0] + b);
            p[1] = Clamp(p[1] + g);
            p[2] = Clamp(p[2] + r);
        }
    }
    Changed();
}

void TkqBitmap::Tint(int r, int g, int b)
{
    if (!Bits()) return;
    const int dr = RoundEven(r / 2.0) - 128, dg = RoundEven(g / 2.0) - 128, db = RoundEven(b / 2.0) - 128;
    const bool skip = FTransparentColor != clNone;
    const TColor key = skip ? ColorToRGB(FTransparentColor) : 0;
    const uint8_t kr = uint8_t(key), kg = uint8_t(key >> 8), kb = uint8_t(key >> 16);
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x, p += 3) {
            if (skip && p[0] == kb && p[1] == kg && p[2] == kr) continue;
            p[0] = Clamp(p[0] + db);
            p[1] = Clamp(p[1] + dg);
            p[2] = Clamp(p[2] + dr);
        }
    }
    Changed();
}

void TkqBitmap::ReplaceColor(uint32_t newColor, uint32_t oldColor)
{
    if (!Bits()) return;
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x, p += 3)
            if (RgbValue(p) == (oldColor & 0xFFFFFF)) {
                p[0] = uint8_t(newColor);
                p[1] = uint8_t(newColor >> 8);
                p[2] = uint8_t(newColor >> 16);
            }
    }
    Changed();
}

void TkqBitmap::MakeMask(uint32_t color)
{
    if (!Bits()) return;
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x, p += 3) {
            const uint8_t v = RgbValue(p) == (color & 0xFFFFFF) ? 0 : 255;
            p[0] = p[1] = p[2] = v;
        }
    }
    Changed();
}

void TkqBitmap::Blur(int distance)
{
    if (!Bits()) return;
    const int mx = FWidth - 1, my = FHeight - 1;
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* up = Pixels(ClampTo(y - distance, 0, my));
        const uint8_t* down = Pixels(ClampTo(y + distance, 0, my));
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x) {
            const int l = 3 * ClampTo(x - distance, 0, mx), r = 3 * ClampTo(x + distance, 0, mx);
            for (int c = 0; c < 3; ++c) p[3 * x + c] = uint8_t((up[l + c] + up[r + c] + down[l + c] + down[r + c]) >> 2);
        }
    }
    Changed();
}

void TkqBitmap::BlurRepeated(int times)
{
    for (int d = times; d >= 1; --d) Blur(d);
}

void TkqBitmap::Sharpen(int distance)
{
    if (!Bits()) return;
    const int mx = FWidth - 1, my = FHeight - 1;
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* rows[3] = {Pixels(ClampTo(y - distance, 0, my)), Pixels(y), Pixels(ClampTo(y + distance, 0, my))};
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x) {
            const int cols[3] = {3 * ClampTo(x - distance, 0, mx), 3 * x, 3 * ClampTo(x + distance, 0, mx)};
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j < 3; ++j)
                    for (int i = 0; i < 3; ++i)
                        if (i != 1 || j != 1) sum += rows[j][cols[i] + c];
                p[3 * x + c] = Clamp((256 * p[3 * x + c] - 16 * sum) / 128);
            }
        }
    }
    Changed();
}

void TkqBitmap::Emboss()
{
    // A picture of one row or one column has no neighbour to emboss against: left as it is.
    if (!Bits() || FWidth < 2 || FHeight < 2) return;
    const std::vector<uint8_t> lastRow(Pixels(FHeight - 1), Pixels(FHeight - 1) + 3 * FWidth);
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x) {
            const uint8_t* n;
            if (y == FHeight - 1) n = lastRow.data() + 3;
            else if (y == FHeight - 2) n = Pixels(FHeight - 1) + 3;
            else n = Pixels(y + 1) + 3 * (x < FWidth - 1 ? x + 1 : x);
            for (int c = 0; c < 3; ++c) p[3 * x + c] = uint8_t((255 - n[c] + p[3 * x + c]) >> 1);
        }
    }
    Changed();
}

void TkqBitmap::Spray(int amount)
{
    if (!Bits()) return;
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = Pixels(y);
        for (int x = 0; x < FWidth; ++x) {
            const int r = RandomBelow(FRandom, amount);
            const int sx = ClampTo(x + r - RandomBelow(FRandom, 2 * r), 0, FWidth - 1);
            const int sy = ClampTo(y + r - RandomBelow(FRandom, 2 * r), 0, FHeight - 1);
            const uint8_t* s = Pixels(sy) + 3 * sx;
            std::copy_n(s, 3, p + 3 * x);
        }
    }
    Changed();
}

void TkqBitmap::Flip(bool horizontal)
{
    if (!Bits()) return;
    if (horizontal) {
        for (int y = 0; y < FHeight; ++y) {
            uint8_t* p = Pixels(y);
            for (int x = 0; x < FWidth / 2; ++x) std::swap_ranges(p + 3 * x, p + 3 * x + 3, p + 3 * (FWidth - 1 - x));
        }
    } else {
        std::vector<uint8_t> row(static_cast<size_t>(RowInc()));
        for (int y = 0; y < FHeight / 2; ++y) {
            uint8_t* a = Pixels(y);
            uint8_t* b = Pixels(FHeight - 1 - y);
            std::copy_n(a, RowInc(), row.data());
            std::copy_n(b, RowInc(), a);
            std::copy_n(row.data(), RowInc(), b);
        }
    }
    Changed();
}

void TkqBitmap::Rotate(QPoint centre, double angle)
{
    if (!Bits()) return;
    if (centre.x() < 0 || centre.y() < 0) centre = QPoint(FWidth / 2, FHeight / 2);
    const int cx = centre.x(), cy = centre.y();
    const double t = -angle * M_PI / 180.0;
    const double ct = std::cos(t), st = std::sin(t);
    QImage out(FWidth, FHeight, QImage::Format_BGR888);
    const TColor corner = Pixel(0, 0);
    out.fill(QColor(corner & 0xFF, (corner >> 8) & 0xFF, (corner >> 16) & 0xFF));
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* d = out.scanLine(y);
        const int m = 2 * y - 2 * cy + 1;
        for (int x = 0; x < FWidth; ++x) {
            const int l = 2 * x - 2 * cx + 1;
            const int sx = cx + (RoundEven(l * ct - m * st) - 1) / 2;
            const int sy = cy + (RoundEven(l * st + m * ct) - 1) / 2;
            if (sx >= 0 && sx < FWidth && sy >= 0 && sy < FHeight) std::copy_n(Pixels(sy) + 3 * sx, 3, d + 3 * x);
        }
    }
    for (int y = 0; y < FHeight; ++y) std::copy_n(out.constScanLine(y), 3 * FWidth, Pixels(y));
    Changed();
}

void TkqBitmap::Wave(bool wrap, int amplitude, int waveY, int waveX)
{
    if (!Bits() || waveY == 0 || waveX == 0) return;
    QImage out(FWidth, FHeight, QImage::Format_BGR888);
    out.fill(Qt::white);
    std::vector<int> shiftX(static_cast<size_t>(FHeight)), startY(static_cast<size_t>(FWidth));
    for (int y = 0; y < FHeight; ++y) shiftX[size_t(y)] = RoundEven(amplitude * std::sin(double(y) / waveY));
    for (int x = 0; x < FWidth; ++x) startY[size_t(x)] = RoundEven(amplitude * std::sin(double(x) / waveX));
    for (int x = 0; x < FWidth; ++x) {
        int row = startY[size_t(x)];
        if (wrap) {
            if (row < 0) row = FHeight - ((-row) % FHeight) - 1;
            // A one-row picture has only row 0 to start from.
            else if (row >= FHeight) row = FHeight > 1 ? row % (FHeight - 1) : 0;
        }
        for (int y = 0; y < FHeight; ++y) {
            int sx = x + shiftX[size_t(y)];
            int sy = row + y;
            if (wrap) {
                if (sx < 0) sx = FWidth - ((-sx) % FWidth) - 1;
                else if (sx >= FWidth) sx %= FWidth;
                sy %= FHeight;
            } else if (sx < 0 || sx >= FWidth || sy < 0 || sy >= FHeight) {
                continue;
            }
            std::copy_n(Pixels(sy) + 3 * sx, 3, out.scanLine(y) + 3 * x);
        }
    }
    for (int y = 0; y < FHeight; ++y) std::copy_n(out.constScanLine(y), 3 * FWidth, Pixels(y));
    Changed();
}

// ---- Change links

int TkqBitmap::AddChangeLink(std::function<void(TkqBitmap*)> link)
{
    const int key = FNextLinkKey++;
    FLinks.emplace(key, std::move(link));
    return key;
}

void TkqBitmap::RemoveChangeLink(int key)
{
    FLinks.erase(key);
}

void TkqBitmap::Changed()
{
    FMask = QImage();
    if (IgnoreChange) return;
    if (OnChange) OnChange(this);
    // A link may remove itself while it is told.
    const auto links = FLinks;
    for (const auto& [key, link] : links)
        if (link) link(this);
}
