#include "utilities/VCLUtils.h"

#include "platform/core/ScopeExit.h"
#include "platform/vcl/Edges.h"
#include "utilities/AppUtils.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPainter>
#include <QWidget>

void ExtractGlyphCell(const TGraphic* source, TBitmap* dest, int columns, int rows, int index)
{
    if (!source || !dest) return;
    columns = std::max(1, columns);
    rows = std::max(1, rows);
    index = std::max(0, index);
    const int w = source->Width() / columns;
    const int h = source->Height() / rows;
    dest->SetSize(w, h);
    const int x = (index % columns) * w;
    const int y = (index / columns) * h;
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
        {
            TCanvas c(*dest);
            c.CopyRect({0, 0, w, h}, *bitmap, TRect::Bounds(x, y, w, h));
        }
        dest->SetTransparentColor(bitmap->TransparentColor());
    } else {
        TCanvas c(*dest);
        c.Brush.Color = clSilver;
        c.FillRect({0, 0, w, h});
        source->Draw(c, TRect::Bounds(-x, -y, source->Width(), source->Height()));
    }
    dest->SetTransparent(source->Transparent());
}

void PaintParentBackground(QWidget* control, TCanvas& canvas)
{
    if (!control) return;
    QWidget* parent = control->parentWidget();
    // A parent already being painted as a copy is what is asking: painting it again would
    // never end.
    if (!parent || parent->property("PaintCopy").toBool()) return;
    parent->setProperty("PaintCopy", true);
    TScopeExit clear([parent] { parent->setProperty("PaintCopy", QVariant()); });
    QPainter& p = canvas.Painter();
    const QRect area = control->geometry();
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    parent->render(&p, QPoint(0, 0), QRegion(area), QWidget::DrawWindowBackground);
    p.restore();
    for (QObject* child : parent->children()) {
        if (child == control) break;
        auto* sibling = qobject_cast<QWidget*>(child);
        if (!sibling || !sibling->isVisible() || sibling->isWindow() || !sibling->geometry().intersects(area)) continue;
        p.save();
        sibling->render(&p, sibling->pos() - control->pos(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
        p.restore();
    }
}

void StretchBlitMasked(TCanvas& canvas, int x, int y, int width, int height, const QImage& source, int sourceX,
                       int sourceY, int sourceWidth, int sourceHeight, TColor transparentColor)
{
    const QImage part = source.copy(sourceX, sourceY, sourceWidth, sourceHeight).convertToFormat(QImage::Format_RGB32);
    const QImage keep = StencilOfColor(part, transparentColor, false);
    QImage object = part.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < object.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(object.scanLine(row));
        const auto* mask = reinterpret_cast<const QRgb*>(keep.constScanLine(row));
        for (int col = 0; col < object.width(); ++col)
            if (qAlpha(mask[col]) == 0) line[col] = 0;
    }
    QPainter& p = canvas.Painter();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QRect(x, y, width, height), object);
}

void StretchBitmapMasked(TCanvas& canvas, const TBitmap& bitmap, TColor transparentColor, int x, int y, int width,
                         int height, int sourceX, int sourceY, int sourceWidth, int sourceHeight)
{
    if (bitmap.Empty()) return;
    if (width < 1) width = bitmap.Width();
    if (height < 1) height = bitmap.Height();
    if (sourceWidth < 1 || sourceHeight < 1) {
        sourceX = sourceY = 0;
        sourceWidth = bitmap.Width();
        sourceHeight = bitmap.Height();
    }
    if (transparentColor == clNone) {
        canvas.CopyRect(TRect::Bounds(x, y, width, height), bitmap, TRect::Bounds(sourceX, sourceY, sourceWidth, sourceHeight));
        return;
    }
    if (transparentColor == clDefault) transparentColor = bitmap.Pixel(0, bitmap.Height() - 1);
    transparentColor = bitmap.Monochrome() ? clWhite : ColorToRGB(transparentColor);
    StretchBlitMasked(canvas, x, y, width, height, bitmap.Image(), sourceX, sourceY, sourceWidth, sourceHeight,
                      transparentColor);
}

void DrawBitmapMasked(TCanvas& canvas, int x, int y, const TBitmap& bitmap, TColor transparentColor)
{
    StretchBitmapMasked(canvas, bitmap, transparentColor, x, y);
}

std::unique_ptr<TBitmap> MakeDisabledBitmapEx(const TBitmap& bitmap, TColor outlineColor, TColor backColor,
                                              TColor highlightColor, TColor shadowColor, bool drawHighlight)
{
    auto result = std::make_unique<TBitmap>(bitmap.Width(), bitmap.Height());
    if (bitmap.Empty()) return result;
    // The pixels of the outline colour (a monochrome bitmap gives its black pixels).
    const QImage stencil = StencilOfColor(bitmap.Image(), bitmap.Monochrome() ? clBlack : outlineColor);
    TCanvas c(*result);
    c.Brush.Color = backColor;
    c.FillRect({0, 0, bitmap.Width(), bitmap.Height()});
    if (drawHighlight) PaintThroughStencil(c, 1, 1, stencil, highlightColor);
    PaintThroughStencil(c, 0, 0, stencil, shadowColor);
    return result;
}

std::unique_ptr<TBitmap> MakeDisabledBitmap(const TBitmap& bitmap, TColor outlineColor)
{
    return MakeDisabledBitmapEx(bitmap, outlineColor, clBtnFace, clBtnHighlight, clBtnShadow, true);
}

void DrawImageDisabled(const TImageList& images, TCanvas& canvas, int x, int y, int index, TColor highlightColor,
                       TColor shadowColor, bool drawHighlight)
{
    if (!images.ValidIndex(index)) return;
    DrawImageSilhouette(canvas, x, y, images.Image(index), highlightColor, shadowColor, drawHighlight);
}

TBitmap GlyphFromImage(const QImage& image)
{
    // Mostly transparent pixels become the transparent colour; the others are blended over the
    // button face, so that soft edges show no fuchsia fringe.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const TColor face = ColorToRGB(clBtnFace);
    const int fr = face & 0xFF, fg = (face >> 8) & 0xFF, fb = (face >> 16) & 0xFF;
    TBitmap glyph(argb.width(), argb.height());
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb px = argb.pixel(x, y);
            const int a = qAlpha(px);
            if (a < 128) {
                glyph.SetPixel(x, y, clFuchsia);
                continue;
            }
            auto mix = [a](int c, int back) { return (c * a + back * (255 - a)) / 255; };
            glyph.SetPixel(x, y, RGBToColor(mix(qRed(px), fr), mix(qGreen(px), fg), mix(qBlue(px), fb)));
        }
    glyph.SetTransparentColor(clFuchsia);
    glyph.Changed();
    return glyph;
}

void DiscardPendingMessage(QObject* receiver, int eventType)
{
    QCoreApplication::removePostedEvents(receiver, eventType);
}

void FitRectToScreen(TRect& rect)
{
    const TScreenMetrics screen = ScreenMetrics();
    if (rect.Right > screen.Width) rect = rect.Offset(screen.Width - rect.Right, 0);
    if (rect.Left < 0) rect = rect.Offset(-rect.Left, 0);
    if (rect.Bottom > screen.Height) rect = rect.Offset(0, screen.Height - rect.Bottom);
    if (rect.Top < 0) rect = rect.Offset(0, -rect.Top);
}

void CenterWindowOnScreen(QWidget* window)
{
    if (!window) return;
    const TScreenMetrics screen = ScreenMetrics();
    const QRect frame = window->frameGeometry();
    window->move(std::max(0, (screen.Width - frame.width()) / 2), std::max(0, (screen.Height - frame.height()) / 2));
}

namespace {
// Multiply and divide with rounding, halves away from zero.
int MulDiv(int a, int b, int c)
{
    if (c == 0) return -1;
    const long long p = (long long)a * b;
    const long long half = std::llabs(c) / 2;
    const long long q = ((p >= 0) == (c > 0)) ? (std::llabs(p) + half) / std::llabs(c) : -((std::llabs(p) + half) / std::llabs(c));
    return int(q);
}
} // namespace

void FillGradientRect(TCanvas& canvas, const TRect& rect, TColor startColor, TColor endColor, int direction,
                      int bandCount)
{
    if (rect.IsEmpty()) return;
    if (bandCount < 2) {
        canvas.Brush.Style = bsSolid;
        canvas.Brush.Color = startColor;
        canvas.FillRect(rect);
        return;
    }
    const TColor start = ColorToRGB(startColor), end = ColorToRGB(endColor);
    const bool forward = direction == 0 || direction == 2;
    const bool vertical = direction == 0 || direction == 1;
    const TColor base = forward ? start : end;
    const TColor other = forward ? end : start;
    const int baseRgb[3] = {base & 0xFF, (base >> 8) & 0xFF, (base >> 16) & 0xFF};
    const int diff[3] = {(other & 0xFF) - baseRgb[0], ((other >> 8) & 0xFF) - baseRgb[1], ((other >> 16) & 0xFF) - baseRgb[2]};
    const int length = vertical ? rect.Height() : rect.Width();
    bandCount = std::max(2, std::min(bandCount, length));
    const int band = length / bandCount;
    canvas.Brush.Style = bsSolid;
    canvas.Pen.Mode = pmCopy;
    if (band > 0) {
        for (int i = 0; i < bandCount; ++i) {
            canvas.Brush.Color = RGBToColor(baseRgb[0] + MulDiv(i, diff[0], bandCount - 1),
                                            baseRgb[1] + MulDiv(i, diff[1], bandCount - 1),
                                            baseRgb[2] + MulDiv(i, diff[2], bandCount - 1));
            canvas.FillRect(vertical ? TRect(rect.Left, rect.Top + i * band, rect.Right, rect.Top + (i + 1) * band)
                                     : TRect(rect.Left + i * band, rect.Top, rect.Left + (i + 1) * band, rect.Bottom));
        }
    }
    const int rest = length % bandCount;
    if (rest > 0) {
        canvas.Brush.Color = forward ? endColor : startColor;
        canvas.FillRect(vertical ? TRect(rect.Left, rect.Bottom - rest, rect.Right, rect.Bottom)
                                 : TRect(rect.Right - rest, rect.Top, rect.Right, rect.Bottom));
    }
}

QString ShortenTextToWidth(const QString& text, const TCanvas& canvas, int maxWidth)
{
    QString result = text;
    for (qsizetype i = 1; i <= text.size() && canvas.TextWidth(result) > maxWidth; ++i)
        result = text.left(std::max<qsizetype>(0, text.size() - i - 1)) + QStringLiteral("...");
    return result;
}

QString NextCommandToken(const QString& text, int& position)
{
    constexpr int MaxToken = 256;
    const int n = int(text.size());
    auto code = [&](int i) { return i < n ? text[i].unicode() : 0; };
    for (;;) {
        while (code(position) >= 1 && code(position) <= 32) ++position;
        // An empty pair of quotes where a token would begin is no token.
        if (code(position) == '"' && code(position + 1) == '"') {
            position += 2;
            continue;
        }
        break;
    }
    QString token;
    while (position < n && code(position) > 32) {
        if (text[position] == QLatin1Char('"')) {
            ++position;
            while (position < n && text[position] != QLatin1Char('"')) {
                if (token.size() < MaxToken) token += text[position];
                ++position;
            }
            if (position < n) ++position;   // the closing quote
        } else {
            if (token.size() < MaxToken) token += text[position];
            ++position;
        }
    }
    return token;
}

int CountCommandTokens(const QString& text)
{
    int position = 0, count = 0;
    while (!NextCommandToken(text, position).isEmpty()) ++count;
    return count;
}

QString GetCommandToken(const QString& text, int index)
{
    int position = 0;
    QString token;
    for (int i = 0; i <= index; ++i) {
        token = NextCommandToken(text, position);
        if (token.isEmpty()) return QString();
    }
    return token;
}

void SplitCommandText(const QString& text, QString& programName, QString& parameters)
{
    programName.clear();
    parameters.clear();
    const int count = CountCommandTokens(text);
    if (count == 0) return;
    programName = GetCommandToken(text, 0);
    QStringList rest;
    for (int i = 1; i < count; ++i) {
        const QString token = GetCommandToken(text, i);
        rest << (token.contains(QLatin1Char(' ')) ? QLatin1Char('"') + token + QLatin1Char('"') : token);
    }
    parameters = rest.join(QLatin1Char(' '));
}

bool IsOwnThreadWindowActive() { return QApplication::activeWindow() != nullptr; }
