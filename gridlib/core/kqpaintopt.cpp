#include "gridlib/core/kqpaintopt.h"

#include "platform/core/ScopeExit.h"
#include "gridlib/core/kqgridhost.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
int& ScreenDepthOverride()
{
    static int bits = 0;
    return bits;
}

void TintWith(TkqBitmap& bitmap, TColor color)
{
    const TColor c = ColorToRGB(color);
    bitmap.Tint(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
} // namespace

TkqGridPaintOptions::TkqGridPaintOptions(QWidget* grid, TBitmap* paintBitmap) : FGrid(grid), FPaintBitmap(paintBitmap) {}

TkqGridPaintOptions::~TkqGridPaintOptions() = default;

int TkqGridPaintOptions::ScreenColorDepth()
{
    if (ScreenDepthOverride() > 0) return ScreenDepthOverride();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

void TkqGridPaintOptions::SetScreenColorDepthForTesting(int bits)
{
    ScreenDepthOverride() = bits;
}

void TkqGridPaintOptions::Changed(bool rebuild)
{
    if (rebuild) FInitBlendBitmaps = true;
    if (FGrid) FGrid->update();
}

void TkqGridPaintOptions::SetBackgroundBitmap(const TBitmap& picture)
{
    FBackgroundBitmap = picture;
    if (FGrid) Changed(true);
}

void TkqGridPaintOptions::SetBackgroundDrawStyle(TkqBackgroundDrawStyle style)
{
    if (style == FBackgroundDrawStyle) return;
    FBackgroundDrawStyle = style;
    Changed(true);
}

void TkqGridPaintOptions::SetAlternatingRowRegions(TkqAlternatingRowRegions regions)
{
    FAlternatingRowRegions = regions;
    Changed(false);
}

void TkqGridPaintOptions::SetAlternatingRowColor(TColor color)
{
    if (color == FAlternatingRowColor) return;
    FAlternatingRowColor = color;
    Changed(true);
}

void TkqGridPaintOptions::SetActiveRecordColor(TColor color)
{
    if (color == FActiveRecordColor) return;
    FActiveRecordColor = color;
    Changed(true);
}

void TkqGridPaintOptions::SetBackgroundOptions(TkqBackgroundOptions options)
{
    if (options == FBackgroundOptions) return;
    FBackgroundOptions = options;
    FInitBlendBitmaps = true;
    if (FGrid) FGrid->update();
}

std::unique_ptr<TCanvas> TkqGridPaintOptions::GetPaintCanvas()
{
    return FPaintBitmap ? std::make_unique<TCanvas>(*FPaintBitmap) : nullptr;
}

bool TkqGridPaintOptions::FillsDataCells() const
{
    return FBackgroundCopy && FBackgroundOptions.Contains(coFillDataCells);
}

void TkqGridPaintOptions::RenderPicture(TCanvas& canvas, const TRect& r)
{
    const TBitmap& pic = FBackgroundBitmap;
    const int pw = pic.Width(), ph = pic.Height();
    switch (FBackgroundDrawStyle) {
    case bdsTile:
        for (int c = 0; c <= r.Width() / pw; ++c)
            for (int row = 0; row <= r.Height() / ph; ++row) canvas.Draw(c * pw, row * ph, pic);
        break;
    case bdsStretch:
        canvas.StretchDraw(r, pic);
        break;
    case bdsTopLeft:
        canvas.Draw(0, 0, pic);
        break;
    case bdsCenter:
        canvas.Draw((r.Width() - pw) / 2, (r.Height() - ph) / 2, pic);
        break;
    }
}

void TkqGridPaintOptions::PrepareBackground(bool force)
{
    if (!force && !FInitBlendBitmaps) return;
    TScopeExit clear([this] { FInitBlendBitmaps = false; });
    if (!FPaintBitmap) return;

    const TRect r(0, 0, FGrid ? FGrid->width() : FPaintBitmap->Width(), FGrid ? FGrid->height() : FPaintBitmap->Height());
    FPaintBitmap->SetSize(r.Width(), r.Height());
    FPaintBitmap->Fill(clWhite);
    const bool hasPicture = FBackgroundBitmap.Width() > 0 && FBackgroundBitmap.Height() > 0;
    if (hasPicture && !FPaintBitmap->Empty()) {
        TCanvas canvas(*FPaintBitmap);
        RenderPicture(canvas, r);
    }
    if (ScreenColorDepth() <= 8) return;

    // The untinted copy, then a tinted copy of the whole picture per colour in use.
    if (hasPicture) {
        if (!FBackgroundCopy) FBackgroundCopy = std::make_unique<TBitmap>();
        *FBackgroundCopy = *FPaintBitmap;
    } else {
        FBackgroundCopy.reset();
    }
    const auto tinted = [&](std::unique_ptr<TkqBitmap>& copy, bool wanted, TColor color) {
        if (!wanted) {
            copy.reset();
            return;
        }
        if (!copy) copy = std::make_unique<TkqBitmap>();
        copy->AssignFromBitmap(*FPaintBitmap);
        if (color != clNone) TintWith(*copy, color);
    };
    tinted(FActiveRecordCopy, FActiveRecordColor != clNone && hasPicture && FBackgroundOptions.Contains(coBlendActiveRecord),
           FActiveRecordColor);
    tinted(FAlternatingRowCopy,
           FAlternatingRowColor != clNone && !FAlternatingRowRegions.IsEmpty() && hasPicture
               && FBackgroundOptions.Contains(coBlendAlternatingRow),
           FAlternatingRowColor);
    // The title-row strip is kept when it is no longer wanted.
    if (hasPicture && FBackgroundOptions.Contains(coBlendFixedRow)) {
        const TkqGridHost* host = dynamic_cast<const TkqGridHost*>(FGrid);
        const int stripHeight = std::min(host ? host->TitleRowHeight() : 0, r.Height());
        if (!FTitleRowCopy) FTitleRowCopy = std::make_unique<TkqBitmap>();
        FTitleRowCopy->AssignFromBitmap(TBitmap(FPaintBitmap->Image().copy(0, 0, r.Width(), std::max(stripHeight, 0))));
        if (FTitleRowTint != clNone) TintWith(*FTitleRowCopy, FTitleRowTint);
    }
    const TkqGridHost* host = dynamic_cast<const TkqGridHost*>(FGrid);
    const TColor fixedColor = host ? host->FixedColor() : clNone;
    tinted(FFixedColumnCopy, hasPicture && FBackgroundOptions.Contains(coBlendFixedColumn),
           fixedColor != clNone ? FFixedColumnTint : clNone);
}
