#include "platform/vcl/Edges.h"

#include <QPainter>

namespace {
void Fill(TCanvas& canvas, const TRect& r, TColor color)
{
    if (r.IsEmpty()) return;
    canvas.Painter().setCompositionMode(QPainter::CompositionMode_SourceOver);
    canvas.Painter().fillRect(r.ToQRect(), ColorToQColor(color));
}

// One ring on the chosen sides: left and top in the first colour, right and bottom in the
// second, the corners shared as Frame3D shares them.
void Ring(TCanvas& canvas, const TRect& r, TColor topLeft, TColor bottomRight, unsigned sides)
{
    if (r.IsEmpty()) return;
    if (sides & BF_LEFT) Fill(canvas, {r.Left, r.Top, r.Left + 1, r.Bottom - 1}, topLeft);
    if (sides & BF_TOP) Fill(canvas, {r.Left, r.Top, r.Right - 1, r.Top + 1}, topLeft);
    if (sides & BF_RIGHT) Fill(canvas, {r.Right - 1, r.Top, r.Right, r.Bottom}, bottomRight);
    if (sides & BF_BOTTOM) Fill(canvas, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, bottomRight);
}

TRect Shrunk(const TRect& r, unsigned sides)
{
    return {r.Left + ((sides & BF_LEFT) ? 1 : 0), r.Top + ((sides & BF_TOP) ? 1 : 0),
            r.Right - ((sides & BF_RIGHT) ? 1 : 0), r.Bottom - ((sides & BF_BOTTOM) ? 1 : 0)};
}

const char* const CheckMark[] = {"......X", ".....XX", "X...XXX", "XX.XXX.", "XXXXX..", ".XXX...", "..X...."};

void DrawPattern(TCanvas& canvas, int x, int y, const char* const* rows, int count, TColor color)
{
    const QColor c = ColorToQColor(color);
    QPainter& p = canvas.Painter();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (int row = 0; row < count; ++row)
        for (int col = 0; rows[row][col]; ++col)
            if (rows[row][col] == 'X') p.fillRect(QRect(x + col, y + row, 1, 1), c);
}

void DrawDisc(TCanvas& canvas, const TRect& r, TColor color)
{
    QPainter& p = canvas.Painter();
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(ColorToQColor(color));
    p.drawEllipse(QRectF(r.ToQRect()));
    p.restore();
}
} // namespace

void Frame3D(TCanvas& canvas, TRect& rect, TColor topLeft, TColor bottomRight, int width)
{
    for (int i = 0; i < width && !rect.IsEmpty(); ++i) {
        Ring(canvas, rect, topLeft, bottomRight, BF_RECT);
        rect = rect.Inflated(-1, -1);
    }
}

void DrawEdge(TCanvas& canvas, TRect& rect, unsigned edge, unsigned flags)
{
    const unsigned sides = flags & BF_RECT;
    TRect r = rect;
    TColor outerTL = clNone, outerBR = clNone, innerTL = clNone, innerBR = clNone;
    if (flags & BF_MONO) {
        outerTL = outerBR = clWindowFrame;
        innerTL = innerBR = clWindow;
    } else if (flags & BF_FLAT) {
        outerTL = outerBR = clBtnShadow;
        innerTL = innerBR = clBtnFace;
    } else {
        const bool soft = flags & BF_SOFT;
        if (edge & BDR_RAISEDOUTER) {
            outerTL = soft ? clBtnHighlight : cl3DLight;
            outerBR = cl3DDkShadow;
        } else if (edge & BDR_SUNKENOUTER) {
            outerTL = clBtnShadow;
            outerBR = clBtnHighlight;
        }
        if (edge & BDR_RAISEDINNER) {
            innerTL = soft ? cl3DLight : clBtnHighlight;
            innerBR = clBtnShadow;
        } else if (edge & BDR_SUNKENINNER) {
            innerTL = cl3DDkShadow;
            innerBR = cl3DLight;
        }
    }
    const bool outer = (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) != 0;
    const bool inner = (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) != 0;
    if (outer) {
        Ring(canvas, r, outerTL, outerBR, sides);
        r = Shrunk(r, sides);
    }
    if (inner) {
        Ring(canvas, r, innerTL, innerBR, sides);
        r = Shrunk(r, sides);
    }
    if (flags & BF_MIDDLE) Fill(canvas, r, (flags & BF_MONO) ? clWindow : clBtnFace);
    if (flags & BF_ADJUST) rect = r;
}

void DrawArrow(TCanvas& canvas, const TRect& rect, unsigned direction, TColor color)
{
    const bool vertical = direction == DFCS_SCROLLUP || direction == DFCS_SCROLLDOWN;
    const int along = vertical ? rect.Height() : rect.Width();
    const int across = vertical ? rect.Width() : rect.Height();
    // Rows of the triangle: 1, 3, 5... pixels, about a quarter of the button's size.
    const int rows = std::max(1, std::min({(std::min(across, 2 * along) + 3) / 4, along, (across + 1) / 2}));
    const int cx = rect.Left + (rect.Width() - 1) / 2;
    const int cy = rect.Top + (rect.Height() - 1) / 2;
    const QColor c = ColorToQColor(color);
    QPainter& p = canvas.Painter();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (int i = 0; i < rows; ++i) {
        const int half = i;   // row i spans 2i+1 pixels
        switch (direction) {
        case DFCS_SCROLLUP: p.fillRect(QRect(cx - half, cy - rows / 2 + i, 2 * half + 1, 1), c); break;
        case DFCS_SCROLLDOWN: p.fillRect(QRect(cx - half, cy + rows / 2 - i, 2 * half + 1, 1), c); break;
        case DFCS_SCROLLLEFT: p.fillRect(QRect(cx - rows / 2 + i, cy - half, 1, 2 * half + 1), c); break;
        default: p.fillRect(QRect(cx + rows / 2 - i, cy - half, 1, 2 * half + 1), c); break;
        }
    }
}

void DrawFrameControl(TCanvas& canvas, const TRect& rect, unsigned kind, unsigned state)
{
    const unsigned type = state & 0xFF;
    const bool inactive = state & DFCS_INACTIVE;
    const bool pushed = state & DFCS_PUSHED;
    TRect r = rect;
    switch (kind) {
    case DFC_MENU: {
        Fill(canvas, r, clWhite);
        if (type == DFCS_MENUCHECK) {
            DrawPattern(canvas, r.Left + (r.Width() - 7) / 2, r.Top + (r.Height() - 7) / 2, CheckMark, 7, clBlack);
        } else if (type == DFCS_MENUBULLET) {
            const int d = std::max(4, std::min(r.Width(), r.Height()) / 2 - 1);
            DrawDisc(canvas, TRect::Bounds(r.Left + (r.Width() - d) / 2, r.Top + (r.Height() - d) / 2, d, d), clBlack);
        } else {
            DrawArrow(canvas, r, DFCS_SCROLLRIGHT, clBlack);
        }
        return;
    }
    case DFC_SCROLL: {
        if (type == DFCS_SCROLLSIZEGRIP) {
            Fill(canvas, r, clBtnFace);
            for (int i = 0; i < 3; ++i) {
                const int off = 4 * i + 2;
                for (int k = 0; k < 2; ++k) {
                    canvas.Pen.Color = k == 0 ? clBtnHighlight : clBtnShadow;
                    canvas.MoveTo(r.Right - 1 - off - k, r.Bottom - 1);
                    canvas.LineTo(r.Right, r.Bottom - off - 2 - k);
                }
            }
            return;
        }
        if (state & DFCS_FLAT) {
            Fill(canvas, r, clBtnFace);
            TRect f = r;
            Frame3D(canvas, f, clBtnShadow, clBtnShadow);
        } else if (pushed) {
            Fill(canvas, r, clBtnFace);
            TRect f = r;
            Frame3D(canvas, f, clBtnShadow, clBtnShadow);
        } else {
            TRect f = r;
            DrawEdge(canvas, f, EDGE_RAISED, BF_RECT | BF_MIDDLE);
        }
        const unsigned dir = type == DFCS_SCROLLCOMBOBOX ? DFCS_SCROLLDOWN : type;
        TRect a = r.Inflated(-2, -2);
        if (pushed) a = a.Offset(1, 1);
        if (inactive) {
            DrawArrow(canvas, a.Offset(1, 1), dir, clBtnHighlight);
            DrawArrow(canvas, a, dir, clBtnShadow);
        } else {
            DrawArrow(canvas, a, dir, clBtnText);
        }
        return;
    }
    case DFC_BUTTON: {
        if (type & DFCS_BUTTONPUSH) {
            TRect f = r;
            if (pushed) {
                Frame3D(canvas, f, clWindowFrame, clWindowFrame);
                Frame3D(canvas, f, clBtnShadow, clBtnShadow);
                Fill(canvas, f, clBtnFace);
            } else {
                DrawEdge(canvas, f, EDGE_RAISED, BF_RECT | BF_MIDDLE);
            }
            return;
        }
        const int size = std::min({r.Width(), r.Height(), 13});
        const TRect box = TRect::Bounds(r.Left + (r.Width() - size) / 2, r.Top + (r.Height() - size) / 2, size, size);
        const TColor inside = inactive || pushed ? clBtnFace : clWindow;
        const TColor mark = inactive ? clGrayText : clWindowText;
        if (type & DFCS_BUTTONRADIO) {
            DrawDisc(canvas, box, clBtnShadow);
            DrawDisc(canvas, box.Inflated(-1, -1), inside);
            if (state & DFCS_CHECKED) DrawDisc(canvas, box.Inflated(-size / 3, -size / 3), mark);
            return;
        }
        const bool grayed = (type & DFCS_BUTTON3STATE) && (state & DFCS_CHECKED);
        TRect f = box;
        DrawEdge(canvas, f, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        Fill(canvas, f, grayed ? clBtnFace : inside);
        if (state & DFCS_CHECKED)
            DrawPattern(canvas, f.Left + (f.Width() - 7) / 2, f.Top + (f.Height() - 7) / 2, CheckMark, 7,
                        grayed ? clBtnShadow : mark);
        return;
    }
    default: return;
    }
}

QImage StencilOfAlpha(const QImage& argb)
{
    QImage source = argb.convertToFormat(QImage::Format_ARGB32);
    QImage out(source.size(), QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < source.width(); ++x) dst[x] = qAlpha(src[x]) > 0 ? 0xFF000000u : 0u;
    }
    return out;
}

QImage StencilOfColor(const QImage& image, TColor color, bool matching)
{
    QImage source = image.convertToFormat(QImage::Format_ARGB32);
    const TColor c = ColorToRGB(color);
    const QRgb key = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF) & 0xFFFFFF;
    QImage out(source.size(), QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const bool same = qAlpha(src[x]) > 0 && (src[x] & 0xFFFFFF) == key;
            dst[x] = same == matching ? 0xFF000000u : 0u;
        }
    }
    return out;
}

void PaintThroughStencil(TCanvas& canvas, int x, int y, const QImage& stencil, TColor color)
{
    if (stencil.isNull()) return;
    QImage paint(stencil.size(), QImage::Format_ARGB32);
    const TColor c = ColorToRGB(color);
    const QRgb rgb = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    for (int row = 0; row < stencil.height(); ++row) {
        const auto* src = reinterpret_cast<const QRgb*>(stencil.constScanLine(row));
        auto* dst = reinterpret_cast<QRgb*>(paint.scanLine(row));
        for (int col = 0; col < stencil.width(); ++col) dst[col] = qAlpha(src[col]) > 0 ? rgb : 0u;
    }
    canvas.DrawImage(x, y, paint);
}

void DrawImageSilhouette(TCanvas& canvas, int x, int y, const QImage& argb, TColor highlight, TColor shadow,
                         bool drawHighlight)
{
    const QImage stencil = StencilOfAlpha(argb);
    if (drawHighlight) PaintThroughStencil(canvas, x + 1, y + 1, stencil, highlight);
    PaintThroughStencil(canvas, x, y, stencil, shadow);
}
