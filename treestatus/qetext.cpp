#include "treestatus/qetext.h"

#include "treestatus/qeCommon.h"
#include "platform/core/ScopeExit.h"

#include <QImage>
#include <QPainter>
#include <QStringList>
#include <cfenv>
#include <cmath>

namespace {
constexpr double Pi = 3.14159265358979323846;

int Sign(int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

// Channels of a colour as red-green-blue.
void Channels(TColor color, int c[3])
{
    const TColor rgb = ColorToRGB(color);
    c[0] = rgb & 0xFF;
    c[1] = (rgb >> 8) & 0xFF;
    c[2] = (rgb >> 16) & 0xFF;
}
} // namespace

QPoint OrientationVector(TqeOrientation orientation)
{
    switch (orientation) {
    case qeTopLeft: return {1, 1};
    case qeTopRight: return {-1, 1};
    case qeBottomLeft: return {1, -1};
    case qeBottomRight: return {-1, -1};
    case qeTop: return {0, 1};
    case qeRight: return {-1, 0};
    case qeLeft: return {1, 0};
    case qeBottom: return {0, -1};
    }
    return {0, 0};
}

int RoundDown(double x) { return int(std::nearbyint(x - 0.4999)); }

// ---- effect objects ----

void TqeShadowEffects::SetColor(TColor value)
{
    if (value == FColor) return;
    FColor = value;
    FOwner->EffectChanged(false);
}

void TqeShadowEffects::SetEnabled(bool value)
{
    if (value == FEnabled) return;
    FEnabled = value;
    FOwner->EffectChanged(true);
}

void TqeShadowEffects::SetXOffset(int value)
{
    if (value == FXOffset) return;
    FXOffset = value;
    FOwner->EffectChanged(true);
}

void TqeShadowEffects::SetYOffset(int value)
{
    if (value == FYOffset) return;
    FYOffset = value;
    FOwner->EffectChanged(true);
}

void TqeExtrudeEffects::SetDepth(int value)
{
    if (value == FDepth) return;
    FDepth = value;
    FOwner->EffectChanged(true);
}

void TqeExtrudeEffects::SetEnabled(bool value)
{
    if (value == FEnabled) return;
    FEnabled = value;
    FOwner->EffectChanged(true);
}

void TqeExtrudeEffects::SetFarColor(TColor value)
{
    if (value == FFarColor) return;
    FFarColor = value;
    FOwner->EffectChanged(false);
}

void TqeExtrudeEffects::SetNearColor(TColor value)
{
    if (value == FNearColor) return;
    FNearColor = value;
    FOwner->EffectChanged(false);
}

void TqeExtrudeEffects::SetOrientation(TqeOrientation value)
{
    if (value == FOrientation) return;
    FOrientation = value;
    FOwner->EffectChanged(true);
}

void TqeExtrudeEffects::SetStriated(bool value)
{
    if (value == FStriated) return;
    FStriated = value;
    FOwner->EffectChanged(false);
}

void TqeDisabledColors::SetHighlightColor(TColor value)
{
    if (value == FHighlightColor) return;
    FHighlightColor = value;
    FOwner->DisabledColorsChanged();
}

void TqeDisabledColors::SetShadeColor(TColor value)
{
    if (value == FShadeColor) return;
    FShadeColor = value;
    FOwner->DisabledColorsChanged();
}

// ---- TqeText ----

TqeText::TqeText(THooks hooks, const TFont* font, TCanvas* canvas)
    : FHooks(std::move(hooks)), FCanvas(canvas),
      FDisabledColors(std::make_unique<TqeDisabledColors>(this)),
      FExtrude(std::make_unique<TqeExtrudeEffects>(this)), FFont(font),
      FShadow(std::make_unique<TqeShadowEffects>(this))
{
}

TqeText::~TqeText() = default;

void TqeText::Assign(const TqeText& source)
{
    TqeExtrudeEffects& e = *FExtrude;
    const TqeExtrudeEffects& se = *source.FExtrude;
    e.SetDepth(se.Depth());
    e.SetEnabled(se.Enabled());
    e.SetFarColor(se.FarColor());
    e.SetNearColor(se.NearColor());
    e.SetOrientation(se.Orientation());
    e.SetStriated(se.Striated());
    SetHighlightColor(source.FHighlightColor);
    SetLineSpacing(source.FLineSpacing);
    SetOptions(source.FOptions);
    SetOutlineColor(source.FOutlineColor);
    SetRotation(source.FRotation);
    SetShadeColor(source.FShadeColor);
    FShadow->SetColor(source.FShadow->Color());
    FShadow->SetEnabled(source.FShadow->Enabled());
    FShadow->SetXOffset(source.FShadow->XOffset());
    FShadow->SetYOffset(source.FShadow->YOffset());
    SetStyle(source.FStyle);
    SetText(source.FText);
}

void TqeText::Changed()
{
    if (FHooks.Changed) FHooks.Changed();
}

void TqeText::AdjustBounds()
{
    if (FHooks.AdjustBounds) FHooks.AdjustBounds();
}

void TqeText::EffectChanged(bool adjust)
{
    if (adjust) AdjustBounds();
    Changed();
}

void TqeText::DisabledColorsChanged()
{
    if (FHooks.Changed) FHooks.Changed();
}

void TqeText::SetAlignment(TAlignment value)
{
    if (value == FAlignment) return;
    FAlignment = value;
    Changed();
}

void TqeText::SetVAlignment(TqeVAlignment value)
{
    if (value == FVAlignment) return;
    FVAlignment = value;
    Changed();
}

void TqeText::SetHighlightColor(TColor value)
{
    if (value == FHighlightColor) return;
    FHighlightColor = value;
    Changed();
}

void TqeText::SetOutlineColor(TColor value)
{
    if (value == FOutlineColor) return;
    FOutlineColor = value;
    Changed();
}

void TqeText::SetShadeColor(TColor value)
{
    if (value == FShadeColor) return;
    FShadeColor = value;
    Changed();
}

void TqeText::SetLineSpacing(int value)
{
    if (value == FLineSpacing) return;
    FLineSpacing = value;
    AdjustBounds();
    Changed();
}

void TqeText::SetStyle(TqeTextStyle value)
{
    if (value == FStyle) return;
    FStyle = value;
    AdjustBounds();
    Changed();
}

void TqeText::SetOptions(TqeTextOptions value)
{
    if (value == FOptions) return;
    FOptions = value;
    SetFlagBits(!value.Contains(toShowAccel), FFormat, unsigned(DT_NOPREFIX));
    SetFlagBits(value.Contains(toShowEllipsis), FFormat, unsigned(DT_END_ELLIPSIS));
    AdjustBounds();
    Changed();
}

void TqeText::SetWordWrap(bool value)
{
    if (value == FWordWrap) return;
    FWordWrap = value;
    SetFlagBits(value, FFormat, unsigned(DT_WORDBREAK));
    Changed();
}

void TqeText::SetRotation(int value)
{
    FRotation = value < 0 ? 360 - (-value % 360) : value % 360;
    AdjustBounds();
    Changed();
}

void TqeText::SetText(const QString& text)
{
    if (text != FText) FText = text;
}

TCanvas& TqeText::GetDrawCanvas() { return FDrawing && FWorkCanvas ? *FWorkCanvas : *FCanvas; }

QFont TqeText::GetLogFont() const { return FFont ? FFont->Font : QFont(); }

QPoint TqeText::ShadowOffset() const
{
    QPoint p = FShadow->Enabled() ? QPoint(FShadow->XOffset(), FShadow->YOffset()) : QPoint(0, 0);
    if (FExtrude->Enabled()) {
        const QPoint v = OrientationVector(FExtrude->Orientation());
        if (v.x() == 0 || Sign(p.x()) != v.x()) p.setX(0);
        if (v.y() == 0 || Sign(p.y()) != v.y()) p.setY(0);
    }
    return p;
}

QPoint TqeText::ExtrudeOffset(bool absolute) const
{
    if (!FExtrude->Enabled()) return {0, 0};
    const int d = FExtrude->Depth();
    if (!absolute) return {d, d};
    const QPoint v = OrientationVector(FExtrude->Orientation());
    return {d * std::abs(v.x()), d * std::abs(v.y())};
}

void TqeText::GetTextSize(int& w, int& h)
{
    const QString text = FOptions.Contains(toShowAccel) ? StripAccelerators(FText) : FText;
    const int available = FBounds.Width() - std::max(ShadowOffset().x(), ExtrudeOffset(false).x());
    MultiLineTextExtent(GetDrawCanvas(), text, FLineSpacing, FFormat, FWordWrap ? available : 0, w, h);
}

void TqeText::GetRotatedExtent(bool unclipped, int& ew, int& eh)
{
    int w = 0, h = 0;
    GetTextSize(w, h);
    int x = w + ExtrudeOffset(false).x() + ShadowOffset().x();
    int y = h + ExtrudeOffset(false).y() + ShadowOffset().y();
    if (FStyle == qelsOutline) {
        x += 2;
        y += 2;
    }
    const double t = FRotation * Pi / 180.0;
    const double c = std::fabs(std::cos(t)), s = std::fabs(std::sin(t));
    ew = RoundDown(c * x + s * y);
    eh = RoundDown(s * x + c * y);
    if (!unclipped) {
        ew = std::min(ew, FBounds.Width());
        eh = std::min(eh, FBounds.Height());
    }
}

TRect TqeText::CalcTextRect(bool unclipped)
{
    QPoint p(FBounds.Left + FBounds.Width() / 2, FBounds.Top + FBounds.Height() / 2);
    const QPoint so = ShadowOffset(), eo = ExtrudeOffset(false);
    p -= QPoint(so.x() / 2, so.y() / 2);
    p -= QPoint(eo.x() / 2, eo.y() / 2);
    int w = 0, h = 0;
    GetTextSize(w, h);
    const double t = FRotation * Pi / 180.0;
    const double c = std::cos(t), s = std::sin(t);
    p.rx() -= RoundDown(c * w) / 2;
    p.ry() += RoundDown(s * w) / 2;
    p.ry() -= RoundDown(c * h) / 2;
    p.rx() -= RoundDown(s * h) / 2;
    int ew = 0, eh = 0;
    GetRotatedExtent(unclipped, ew, eh);
    TRect r(p.x(), p.y(), p.x() + ew, p.y() + eh);
    if (r.Left < FBounds.Left) r = r.Offset(FBounds.Left - r.Left, 0);
    if (r.Top < FBounds.Top) r = r.Offset(0, FBounds.Top - r.Top);
    return r;
}

TRect TqeText::CalcTextRectWithFont(bool unclipped)
{
    TCanvas& canvas = GetDrawCanvas();
    const TFont saved = canvas.Font;
    canvas.Font.Font = GetLogFont();
    TRect r;
    try {
        r = CalcTextRect(unclipped);
    } catch (...) {
        canvas.Font = saved;
        throw;
    }
    canvas.Font = saved;
    return r;
}

void TqeText::PrepareFont()
{
    TCanvas& canvas = GetDrawCanvas();
    canvas.Font.Font = GetLogFont();
    canvas.Font.Color = FFont ? FFont->Color : clWindowText;
    FTextRect = CalcTextRect(false);
}

TColor TqeText::FaceColor() const { return FFont ? FFont->Color : clWindowText; }

void TqeText::Draw()
{
    if (!FCanvas) return;
    TCanvas& owner = *FCanvas;
    const TRect clip = owner.ClipRect();
    const TRect extent = CalcTextRectWithFont(true);
    const int width = std::max(1, std::max(extent.Right, clip.Right));
    const int height = std::max(1, std::max(extent.Bottom, clip.Bottom));
    // What lies behind shows through: the work bitmap starts transparent and is laid over the
    // owner's canvas when done.
    QImage work(width, height, QImage::Format_ARGB32_Premultiplied);
    work.fill(Qt::transparent);
    {
        TCanvas workCanvas(&work);
        workCanvas.Font = owner.Font;
        workCanvas.Brush = owner.Brush;
        workCanvas.Pen = owner.Pen;
        FWorkCanvas = &workCanvas;
        FDrawing = true;
        TScopeExit doneDrawing([this] {
            FDrawing = false;
            FWorkCanvas = nullptr;
        });
        if (FRotation % 360 == 0) {
            SetFlagBits(FAlignment == taCenter, FFormat, unsigned(DT_CENTER));
            SetFlagBits(FAlignment == taRightJustify, FFormat, unsigned(DT_RIGHT));
            const TRect r = CalcTextRectWithFont(false);
            if (FAlignment == taLeftJustify) FBounds = TRect(FBounds.Left, FBounds.Top, FBounds.Left + r.Width(), FBounds.Bottom);
            else if (FAlignment == taRightJustify) FBounds = TRect(FBounds.Right - r.Width(), FBounds.Top, FBounds.Right, FBounds.Bottom);
            if (FVAlignment == vaTop) FBounds = TRect(FBounds.Left, FBounds.Top, FBounds.Right, FBounds.Top + r.Height());
            else if (FVAlignment == vaBottom) FBounds = TRect(FBounds.Left, FBounds.Bottom - r.Height(), FBounds.Right, FBounds.Bottom);
        } else {
            FFormat &= ~unsigned(DT_CENTER | DT_RIGHT);
        }
        switch (FStyle) {
        case qelsDefault: DrawDefaultStyle(); break;
        case qelsLowered: DrawEmbossedStyle(false); break;
        case qelsRaised: DrawEmbossedStyle(true); break;
        case qelsOutline: DrawOutlineStyle(); break;
        }
    }
    const TRect area = clip.Intersected(TRect(0, 0, width, height));
    if (!area.IsEmpty()) owner.Painter().drawImage(area.ToQRect(), work, area.ToQRect());
}

void TqeText::DrawDefaultStyle()
{
    if (!OwnerEnabled()) {
        DrawEmbossedStyle(false);
        return;
    }
    PrepareFont();
    Extrude();
    DrawShadow();
    DrawLayer(0, 0, FaceColor());
}

void TqeText::DrawOutlineStyle()
{
    PrepareFont();
    Extrude();
    DrawShadow();
    DrawOutline();
}

void TqeText::DrawEmbossedStyle(bool raised)
{
    PrepareFont();
    Extrude();
    DrawShadow();
    Emboss(raised);
}

void TqeText::DrawLayer(int dx, int dy, TColor color)
{
    GetDrawCanvas().Font.Color = color;
    DrawLines(FTextRect.Offset(dx, dy));
}

void TqeText::Extrude()
{
    if (!FExtrude->Enabled()) return;
    const QPoint v = OrientationVector(FExtrude->Orientation());
    const int d = FExtrude->Depth();
    const QPoint e = ExtrudeOffset(true);
    FTextRect = FTextRect.Offset(e.x() / 2, e.y() / 2).Offset(-v.x() * (e.x() / 2), -v.y() * (e.y() / 2));
    int nearC[3], farC[3];
    Channels(FExtrude->NearColor(), nearC);
    Channels(FExtrude->FarColor(), farC);
    for (int i = 1; i <= d; ++i) {
        FTextRect = FTextRect.Offset(v.x(), v.y());
        int c[3];
        for (int k = 0; k < 3; ++k) {
            if (!FExtrude->Striated()) c[k] = RoundDown(double(nearC[k] - farC[k]) / (double(d) / i) + farC[k]);
            else c[k] = (i * ((nearC[k] - farC[k]) / d + farC[k])) / (i % 2 ? 1 : 4);
            c[k] &= 0xFF;
        }
        DrawLayer(0, 0, RGBToColor(c[0], c[1], c[2]));
    }
}

void TqeText::DrawShadow()
{
    if (!FShadow->Enabled()) return;
    DrawLayer(FShadow->XOffset(), FShadow->YOffset(), OwnerEnabled() ? FShadow->Color() : FDisabledColors->ShadeColor());
}

void TqeText::Emboss(bool raised)
{
    const bool enabled = OwnerEnabled();
    const TColor hl = enabled ? FHighlightColor : FDisabledColors->HighlightColor();
    const TColor sh = enabled ? FShadeColor : FDisabledColors->ShadeColor();
    if (enabled) {
        const TColor c = raised ? hl : sh;
        if (c != clNone) DrawLayer(-1, -1, c);
    }
    const TColor c = raised ? sh : hl;
    if (c != clNone) DrawLayer(1, 1, c);
    DrawLayer(0, 0, enabled ? FaceColor() : FDisabledColors->ShadeColor());
}

void TqeText::DrawOutline()
{
    const bool enabled = OwnerEnabled();
    const TColor outline = enabled ? FOutlineColor : FDisabledColors->ShadeColor();
    for (int o = qeTopLeft; o <= qeBottom; ++o) {
        const QPoint v = OrientationVector(TqeOrientation(o));
        DrawLayer(v.x(), v.y(), outline);
    }
    DrawLayer(0, 0, enabled ? FaceColor() : FDisabledColors->HighlightColor());
}

void TqeText::DrawHighlighted()
{
    const QPoint v = OrientationVector(FExtrude->Orientation());
    DrawLayer(-v.x(), -v.y(), FHighlightColor);
    DrawLayer(0, 0, FaceColor());
}

void TqeText::DrawLine(TCanvas& canvas, const QString& line, const TRect& r, int justifyExtra)
{
    QPainter& p = canvas.Painter();
    const bool rotated = FRotation % 360 != 0;
    if (rotated) {
        p.save();
        p.translate(r.Left, r.Top);
        p.rotate(-FRotation);
    }
    const TRect at = rotated ? TRect(0, 0, r.Width(), r.Height()) : r;
    if (justifyExtra <= 0) {
        TRect box = at;
        canvas.DrawText(line, box, FFormat);
    } else {
        // The extra pixels spread over the gaps between words, the first gaps taking one more.
        const QStringList words = line.split(QLatin1Char(' '));
        const int gaps = int(words.size()) - 1;
        int x = at.Left;
        const int space = canvas.TextWidth(QStringLiteral(" "));
        for (int i = 0; i <= gaps; ++i) {
            TRect box(x, at.Top, x + canvas.TextWidth(words[i]) + 1, at.Bottom);
            canvas.DrawText(words[i], box, (FFormat & ~unsigned(DT_CENTER | DT_RIGHT | DT_WORDBREAK | DT_END_ELLIPSIS)));
            x += canvas.TextWidth(words[i]) + space;
            if (i < gaps) x += justifyExtra / gaps + (i < justifyExtra % gaps ? 1 : 0);
        }
    }
    if (rotated) p.restore();
}

void TqeText::DrawLines(const TRect& rect)
{
    TCanvas& canvas = GetDrawCanvas();
    TRect r = rect;
    const int q = std::max(1, TextHeightForWidth(canvas, FFormat, std::max(5, r.Width() - 10), QStringLiteral("AgTpjW")));
    const int lineCount = r.Height() / q + 1;
    const double t = FRotation * Pi / 180.0;
    auto moveBy = [&](int d) { r = r.Offset(RoundDown(std::sin(t) * d), RoundDown(std::cos(t) * d)); };
    const QStringList paragraphs = FText.split(QStringLiteral("\r\n"));
    if (FWordWrap && FOptions.Contains(toFullJustify)) {
        for (const QString& paragraph : paragraphs) {
            const QStringList words = paragraph.split(QLatin1Char(' '));
            int word = 0;
            for (int round = 0; round < lineCount + 2; ++round) {
                if (word >= words.size() || words[word].isEmpty()) {
                    moveBy(q);
                    break;
                }
                QString line;
                bool last = false;
                while (word < words.size() && !words[word].isEmpty()) {
                    const QString candidate = line + words[word] + QLatin1Char(' ');
                    if (canvas.TextWidth(candidate) >= r.Width() - 10) break;
                    line = candidate;
                    ++word;
                }
                if (word >= words.size()) last = true;
                line = line.trimmed();
                if (line.isEmpty() && !last) continue;   // a word wider than the line is never written
                const int extra = last ? 0 : r.Width() - canvas.TextWidth(line) - 10;
                DrawLine(canvas, line, r, extra);
                moveBy(q);
                if (last) {
                    moveBy(FLineSpacing);
                    break;
                }
            }
        }
        return;
    }
    for (const QString& line : paragraphs) {
        DrawLine(canvas, line, r, 0);
        moveBy(TextHeightForWidth(canvas, FFormat, r.Width(), line) + FLineSpacing);
    }
}
