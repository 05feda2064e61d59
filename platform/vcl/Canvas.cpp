#include "platform/vcl/Canvas.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTextLayout>
#include <cstdlib>

TRect TRect::Intersected(const TRect& o) const
{
    TRect r{std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right), std::min(Bottom, o.Bottom)};
    if (r.IsEmpty()) return {};
    return r;
}

// ---- TBitmap ----

namespace {
QRgb RgbOf(TColor color)
{
    const TColor c = ColorToRGB(color);
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
TColor ColorOfRgb(QRgb rgb) { return RGBToColor(qRed(rgb), qGreen(rgb), qBlue(rgb)); }
} // namespace

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::TBitmap(const QImage& image) : FImage(image.convertToFormat(QImage::Format_RGB32)) {}

TBitmap::TBitmap(const TBitmap& other)
    : TGraphic(other), FImage(other.FImage), FMonochrome(other.FMonochrome), FTransparentColor(other.FTransparentColor)
{
}

TBitmap& TBitmap::operator=(const TBitmap& other)
{
    if (this == &other) return *this;
    FTransparent = other.FTransparent;
    FImage = other.FImage;
    FMonochrome = other.FMonochrome;
    FTransparentColor = other.FTransparentColor;
    FMaskCache = QImage();
    return *this;
}

void TBitmap::SetSize(int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == Width() && height == Height()) return;
    QImage image;
    if (width > 0 && height > 0) {
        image = QImage(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        if (!FImage.isNull()) {
            QPainter p(&image);
            p.drawImage(0, 0, FImage);
        }
    }
    FImage = image;
    Changed();
}

void TBitmap::SetMonochrome(bool value)
{
    if (value == FMonochrome) return;
    FMonochrome = value;
    if (value) {
        for (int y = 0; y < FImage.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(FImage.scanLine(y));
            for (int x = 0; x < FImage.width(); ++x)
                line[x] = (line[x] & 0xFFFFFF) == 0xFFFFFF ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        }
    }
    Changed();
}

TColor TBitmap::TransparentColor() const
{
    if (FTransparentColor != clDefault) return FTransparentColor;
    if (FImage.isNull()) return clDefault;
    return ColorOfRgb(FImage.pixel(0, FImage.height() - 1));
}

TColor TBitmap::Pixel(int x, int y) const
{
    if (!FImage.valid(x, y)) return clNone;
    return ColorOfRgb(FImage.pixel(x, y));
}

void TBitmap::SetPixel(int x, int y, TColor color)
{
    if (!FImage.valid(x, y)) return;
    FImage.setPixel(x, y, RgbOf(color));
    FMaskCache = QImage();
}

void TBitmap::Fill(TColor color)
{
    FImage.fill(RgbOf(color));
    Changed();
}

QImage TBitmap::MaskedImage(TColor color) const
{
    if (color == clDefault) color = TransparentColor();
    if (!FMaskCache.isNull() && FMaskCacheColor == color) return FMaskCache;
    QImage out = FImage.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = RgbOf(color) & 0xFFFFFF;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
    }
    FMaskCache = out;
    FMaskCacheColor = color;
    return out;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) const
{
    if (Empty()) return;
    QPainter& p = canvas.Painter();
    if (FMonochrome && !FTransparent) {
        // A monochrome bitmap takes the canvas's text colour for black and its brush colour
        // for white.
        QImage coloured(FImage.size(), QImage::Format_RGB32);
        const QRgb fore = RgbOf(canvas.Font.Color), back = RgbOf(canvas.Brush.Color);
        for (int y = 0; y < FImage.height(); ++y) {
            const auto* src = reinterpret_cast<const QRgb*>(FImage.constScanLine(y));
            auto* dst = reinterpret_cast<QRgb*>(coloured.scanLine(y));
            for (int x = 0; x < FImage.width(); ++x) dst[x] = (src[x] & 0xFFFFFF) == 0 ? fore : back;
        }
        p.drawImage(rect.ToQRect(), coloured);
        return;
    }
    p.drawImage(rect.ToQRect(), FTransparent ? MaskedImage() : FImage);
}

void TBitmap::Changed()
{
    FMaskCache = QImage();
    if (OnChange) OnChange();
}

// ---- TIcon ----

bool TIcon::LoadFromBytes(const QByteArray& bytes)
{
    QImage image = QImage::fromData(bytes, "ICO");
    if (image.isNull()) return false;
    FData = bytes;
    FImage = image.convertToFormat(QImage::Format_ARGB32);
    return true;
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) const
{
    if (!Empty()) canvas.Painter().drawImage(rect.ToQRect(), FImage);
}

// ---- TCanvas ----

QString StripAccelerators(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
        else if (text[i] == QLatin1Char('&')) continue;
        out += text[i];
    }
    return out;
}

TCanvas::TCanvas(QPainter& painter) : FPainter(&painter)
{
    FPainter->setRenderHint(QPainter::Antialiasing, false);
    Font.Font = painter.font();
}

TCanvas::TCanvas(QPaintDevice* device) : FOwnPainter(std::make_unique<QPainter>(device))
{
    FPainter = FOwnPainter.get();
    FPainter->setRenderHint(QPainter::Antialiasing, false);
    Font.Font = QApplication::font();
}

TCanvas::TCanvas(TBitmap& bitmap) : FBitmap(&bitmap)
{
    bitmap.FMaskCache = QImage();
    if (!bitmap.FImage.isNull()) {
        FOwnPainter = std::make_unique<QPainter>(&bitmap.FImage);
        FPainter = FOwnPainter.get();
    } else {
        // An empty bitmap has nothing to draw on; a throw-away one keeps the calls harmless.
        static QImage nothing(1, 1, QImage::Format_RGB32);
        FOwnPainter = std::make_unique<QPainter>(&nothing);
        FPainter = FOwnPainter.get();
    }
    FPainter->setRenderHint(QPainter::Antialiasing, false);
    Font.Font = QApplication::font();
}

TCanvas::~TCanvas()
{
    FOwnPainter.reset();
    if (FBitmap) {
        if (FBitmap->FMonochrome) {
            FBitmap->FMonochrome = false;
            FBitmap->SetMonochrome(true);
        } else {
            FBitmap->Changed();
        }
    }
}

void TCanvas::ApplyMode()
{
    switch (Pen.Mode) {
    case pmCopy: FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver); break;
    case pmXor: FPainter->setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
    case pmNot: FPainter->setCompositionMode(QPainter::RasterOp_NotDestination); break;
    }
}

void TCanvas::ApplyPen()
{
    QPen pen(ColorToQColor(Pen.Color));
    pen.setWidth(Pen.Width <= 1 ? 0 : Pen.Width);
    pen.setCapStyle(Qt::FlatCap);
    FPainter->setPen(pen);
    ApplyMode();
}

void TCanvas::ApplyBrush()
{
    switch (Brush.Style) {
    case bsClear: FPainter->setBrush(Qt::NoBrush); break;
    case bsSolid: FPainter->setBrush(ColorToQColor(Brush.Color)); break;
    case bsPattern: {
        QImage tile(8, 8, QImage::Format_RGB32);
        const QRgb a = RgbOf(Brush.Color), b = RgbOf(Brush.PatternBack);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) tile.setPixel(x, y, (x + y) % 2 == 0 ? a : b);
        FPainter->setBrush(QBrush(tile));
        break;
    }
    }
}

void TCanvas::ApplyFont()
{
    FPainter->setFont(Font.Font);
    FPainter->setPen(ColorToQColor(Font.Color));
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TCanvas::LineTo(int x, int y)
{
    const QPoint a = FPenPos;
    const QPoint b(x, y);
    FPenPos = b;
    if (a == b) return;
    ApplyPen();
    if (Pen.Width > 1) {
        FPainter->drawLine(a, b);
        return;
    }
    const QColor color = ColorToQColor(Pen.Color);
    if (a.y() == b.y() || a.x() == b.x()) {
        // Straight lines as one rectangle, the end pixel left out.
        const int dx = b.x() > a.x() ? 1 : b.x() < a.x() ? -1 : 0;
        const int dy = b.y() > a.y() ? 1 : b.y() < a.y() ? -1 : 0;
        const QPoint last = b - QPoint(dx, dy);
        const QRect r = QRect(a, last).normalized();
        FPainter->fillRect(r, color);
        return;
    }
    // Diagonals point by point, as the old line drawing steps them.
    int x0 = a.x(), y0 = a.y();
    const int ddx = std::abs(b.x() - x0), ddy = -std::abs(b.y() - y0);
    const int sx = x0 < b.x() ? 1 : -1, sy = y0 < b.y() ? 1 : -1;
    int err = ddx + ddy;
    QVector<QPoint> points;
    while (x0 != b.x() || y0 != b.y()) {
        points << QPoint(x0, y0);
        const int e2 = 2 * err;
        if (e2 >= ddy) {
            err += ddy;
            x0 += sx;
        }
        if (e2 <= ddx) {
            err += ddx;
            y0 += sy;
        }
    }
    FPainter->setPen(QPen(color, 0));
    FPainter->drawPoints(points.constData(), int(points.size()));
}

void TCanvas::Polyline(std::initializer_list<QPoint> points)
{
    if (points.size() == 0) return;
    auto it = points.begin();
    MoveTo(it->x(), it->y());
    for (++it; it != points.end(); ++it) LineTo(it->x(), it->y());
}

void TCanvas::FillRect(const TRect& rect)
{
    if (rect.IsEmpty() || Brush.Style == bsClear) return;
    ApplyBrush();
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    FPainter->fillRect(rect.ToQRect(), FPainter->brush());
}

void TCanvas::FrameRect(const TRect& rect)
{
    if (rect.IsEmpty()) return;
    const QColor c = ColorToQColor(Brush.Color);
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QRect r = rect.ToQRect();
    FPainter->fillRect(QRect(r.left(), r.top(), r.width(), 1), c);
    FPainter->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), c);
    FPainter->fillRect(QRect(r.left(), r.top(), 1, r.height()), c);
    FPainter->fillRect(QRect(r.right(), r.top(), 1, r.height()), c);
}

void TCanvas::Rectangle(const TRect& rect)
{
    if (rect.IsEmpty()) return;
    FillRect(rect.Inflated(-1, -1));
    const TColor saved = Brush.Color;
    Brush.Color = Pen.Color;
    FrameRect(rect);
    Brush.Color = saved;
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    FPainter->fillRect(QRect(x, y, 1, 1), ColorToQColor(color));
}

int TCanvas::TextWidth(const QString& text) const { return QFontMetrics(Font.Font).horizontalAdvance(text); }

int TCanvas::TextHeight(const QString& text) const
{
    Q_UNUSED(text);
    return QFontMetrics(Font.Font).height();
}

void TCanvas::TextOut(int x, int y, const QString& text)
{
    const QFontMetrics fm(Font.Font);
    if (Brush.Style != bsClear) FillRect(TRect::Bounds(x, y, fm.horizontalAdvance(text), fm.height()));
    ApplyFont();
    FPainter->drawText(QPoint(x, y + fm.ascent()), text);
    FPenPos = QPoint(x + fm.horizontalAdvance(text), y);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const QString& text)
{
    if (Brush.Style != bsClear) FillRect(rect);
    FPainter->save();
    FPainter->setClipRect(rect.ToQRect(), Qt::IntersectClip);
    ApplyFont();
    FPainter->drawText(QPoint(x, y + QFontMetrics(Font.Font).ascent()), text);
    FPainter->restore();
}

int TCanvas::DrawText(const QString& text, TRect& rect, unsigned flags)
{
    int qt = 0;
    if (flags & DT_CENTER) qt |= Qt::AlignHCenter;
    else if (flags & DT_RIGHT) qt |= Qt::AlignRight;
    else qt |= Qt::AlignLeft;
    if ((flags & DT_SINGLELINE) && (flags & DT_VCENTER)) qt |= Qt::AlignVCenter;
    else if ((flags & DT_SINGLELINE) && (flags & DT_BOTTOM)) qt |= Qt::AlignBottom;
    else qt |= Qt::AlignTop;
    if (flags & DT_WORDBREAK) qt |= Qt::TextWordWrap;
    if (flags & DT_SINGLELINE) qt |= Qt::TextSingleLine;
    if (flags & DT_EXPANDTABS) qt |= Qt::TextExpandTabs;
    if (!(flags & DT_NOPREFIX)) qt |= Qt::TextShowMnemonic;
    if (flags & DT_NOCLIP) qt |= Qt::TextDontClip;
    const QFontMetrics fm(Font.Font);
    QString shown = text;
    if ((flags & DT_END_ELLIPSIS) && !(flags & DT_WORDBREAK)) shown = fm.elidedText(text, Qt::ElideRight, rect.Width(), qt);
    if (flags & DT_CALCRECT) {
        if (text.isEmpty()) {
            rect.Right = rect.Left;
            rect.Bottom = rect.Top;
            return 0;
        }
        if (flags & DT_WORDBREAK) {
            const QRect br = fm.boundingRect(QRect(0, 0, std::max(1, rect.Width()), 1 << 20),
                                             qt & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom), shown);
            rect.Right = rect.Left + br.width();
            rect.Bottom = rect.Top + br.height();
            return br.height();
        }
        // Without wrapping: the widest line's advance, as many lines as the text has.
        const QStringList lines = (flags & DT_SINGLELINE) ? QStringList{shown} : shown.split(QLatin1Char('\n'));
        int width = 0;
        for (const QString& line : lines) {
            QString plain = line;
            if (!(flags & DT_NOPREFIX)) plain = StripAccelerators(plain);
            if (flags & DT_EXPANDTABS) plain.replace(QLatin1Char('\t'), QString(8, QLatin1Char(' ')));
            width = std::max(width, fm.horizontalAdvance(plain));
        }
        rect.Right = rect.Left + width;
        rect.Bottom = rect.Top + int(lines.size()) * fm.height();
        return rect.Height();
    }
    ApplyFont();
    QRect bounding;
    FPainter->drawText(rect.ToQRect(), qt, shown, &bounding);
    return bounding.height();
}

void TCanvas::Draw(int x, int y, const TGraphic& graphic)
{
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    graphic.Draw(*this, TRect::Bounds(x, y, graphic.Width(), graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& rect, const TGraphic& graphic)
{
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    graphic.Draw(*this, rect);
}

void TCanvas::CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect)
{
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    FPainter->drawImage(dest.ToQRect(), source.Image(), sourceRect.ToQRect());
}

void TCanvas::DrawImage(int x, int y, const QImage& image)
{
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    FPainter->drawImage(x, y, image);
}

TRect TCanvas::ClipRect() const
{
    if (FPainter->hasClipping()) return TRect::FromQRect(FPainter->clipBoundingRect().toAlignedRect());
    const QPaintDevice* d = FPainter->device();
    return d ? TRect(0, 0, d->width(), d->height()) : TRect();
}

void TCanvas::SetClipRect(const TRect& rect) { FPainter->setClipRect(rect.ToQRect()); }

void TCanvas::Save()
{
    FSaved.push_back({Pen, Brush, Font});
    FPainter->save();
}

void TCanvas::Restore()
{
    if (FSaved.empty()) return;
    FPainter->restore();
    Pen = FSaved.back().Pen;
    Brush = FSaved.back().Brush;
    Font = FSaved.back().Font;
    FSaved.pop_back();
}

// ---- system measures ----

QFont MenuFont() { return QApplication::font("QMenu"); }

int GetSystemMetrics(TSystemMetric metric)
{
    switch (metric) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect g = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
        return metric == SM_CXSCREEN ? g.width() : g.height();
    }
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return QApplication::style() ? QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CYMENU: return QFontMetrics(MenuFont()).height() + 6;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK: return 13;
    case SM_CXICON:
    case SM_CYICON: return 32;
    }
    return 0;
}
