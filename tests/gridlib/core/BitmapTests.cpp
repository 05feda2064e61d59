#include "gridlib/core/kqbitmap.h"
#include "gridlib/core/kqgridhost.h"
#include "gridlib/core/kqpaintopt.h"

#include <QBuffer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace {
// A bitmap whose pixel (x, y) is given by the function.
TkqBitmap Make(int w, int h, const std::function<TColor(int, int)>& colour)
{
    TkqBitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetPixel(x, y, colour(x, y));
    return b;
}

TkqBitmap Gradient(int w = 6, int h = 5)
{
    return Make(w, h, [](int x, int y) { return RGBToColor(x * 40, y * 50, (x + y) * 20); });
}

bool SamePixels(const TkqBitmap& a, const TkqBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}

int Red(TColor c) { return c & 0xFF; }
int Green(TColor c) { return (c >> 8) & 0xFF; }
int Blue(TColor c) { return (c >> 16) & 0xFF; }
} // namespace

TEST(EffectBitmap, RowsArePaddedToFourBytesAndPixelsAreBlueGreenRed)
{
    const struct {
        int width, rowInc, gap;
    } cases[] = {{5, 16, 1}, {4, 12, 0}, {1, 4, 1}, {2, 8, 2}, {3, 12, 3}};
    for (const auto& c : cases) {
        TkqBitmap b(c.width, 3);
        EXPECT_EQ(b.RowInc(), c.rowInc) << c.width;
        EXPECT_EQ(b.Gap(), c.gap) << c.width;
        EXPECT_EQ(b.Size(), 3 * c.rowInc);
        EXPECT_EQ(b.Pixels(2) - b.Pixels(0), 2 * c.rowInc);
        EXPECT_EQ(b.Pixel(c.width - 1, 2), clWhite);   // new pixels are white
    }
    TkqBitmap b(2, 2);
    b.SetPixel(1, 1, RGBToColor(10, 20, 30));
    const uint8_t* p = b.Pixels(1) + 3;
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);

    b.SetSize(0, 10);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Bits(), nullptr);
    b.SetSize(3, 0);
    EXPECT_TRUE(b.Empty());
}

TEST(EffectBitmap, NeutralAmountsLeaveThePictureAlone)
{
    const TkqBitmap original = Gradient();
    const std::function<void(TkqBitmap&)> neutral[] = {
        [](TkqBitmap& b) { b.Lightness(0); },   [](TkqBitmap& b) { b.Contrast(0); },
        [](TkqBitmap& b) { b.Saturation(256); }, [](TkqBitmap& b) { b.Tint(255, 255, 255); },
        [](TkqBitmap& b) { b.AddRGB(0, 0, 0); }, [](TkqBitmap& b) { b.Rotate(QPoint(-1, -1), 0); },
        [](TkqBitmap& b) { b.Wave(false, 5, 0, 3); }, [](TkqBitmap& b) { b.Wave(true, 0, 4, 3); },
        [](TkqBitmap& b) { b.Invert(); b.Invert(); }, [](TkqBitmap& b) { b.Flip(true); b.Flip(true); },
    };
    int i = 0;
    for (const auto& effect : neutral) {
        TkqBitmap b = original;
        effect(b);
        EXPECT_TRUE(SamePixels(b, original)) << "effect " << i;
        ++i;
    }
    // Neighbourhood effects leave a single-colour picture as it is.
    const TkqBitmap flat = Make(5, 4, [](int, int) { return RGBToColor(90, 120, 200); });
    for (const auto& effect : std::initializer_list<std::function<void(TkqBitmap&)>>{
             [](TkqBitmap& b) { b.Blur(1); }, [](TkqBitmap& b) { b.BlurRepeated(3); }, [](TkqBitmap& b) { b.Sharpen(2); }}) {
        TkqBitmap b = flat;
        effect(b);
        EXPECT_TRUE(SamePixels(b, flat));
    }
}

TEST(EffectBitmap, PerChannelEffectsFollowTheirFormulas)
{
    const TColor c = RGBToColor(200, 100, 10);
    struct Case {
        const char* name;
        std::function<void(TkqBitmap&)> effect;
        int r, g, b;
    };
    const Case cases[] = {
        {"lighter", [](TkqBitmap& b) { b.Lightness(128); }, 200 + (128 * 55 >> 8), 100 + (128 * 155 >> 8), 10 + (128 * 245 >> 8)},
        {"darker", [](TkqBitmap& b) { b.Lightness(-64); }, 200 - (200 * 64 >> 8), 100 - (100 * 64 >> 8), 10 - (10 * 64 >> 8)},
        {"contrast", [](TkqBitmap& b) { b.Contrast(100); }, 200 + 72 * 100 / 256, 100 - 28 * 100 / 256, 0},
        {"grey", [](TkqBitmap& b) { b.Grayscale(); }, 102, 102, 102},
        {"no saturation", [](TkqBitmap& b) { b.Saturation(0); }, 102, 102, 102},
        {"invert", [](TkqBitmap& b) { b.Invert(); }, 55, 155, 245},
        {"add clamps", [](TkqBitmap& b) { b.AddRGB(100, -150, 5); }, 255, 0, 15},
        {"black tint", [](TkqBitmap& b) { b.Tint(0, 0, 0); }, 72, 0, 0},
        // round(R / 2) halves to even: 101 / 2 = 50.5 gives 50, 3 / 2 = 1.5 gives 2.
        {"odd tint", [](TkqBitmap& b) { b.Tint(101, 3, 255); }, 200 + 50 - 128, 0, 10},
        {"replace", [](TkqBitmap& b) { b.ReplaceColor(0x010203, 0xC8640A); }, 1, 2, 3},
        {"mask", [](TkqBitmap& b) { b.MakeMask(0xC8640A); }, 0, 0, 0},
        {"mask other", [](TkqBitmap& b) { b.MakeMask(0xC8640B); }, 255, 255, 255},
    };
    for (const Case& k : cases) {
        TkqBitmap b = Make(3, 2, [&](int, int) { return c; });
        k.effect(b);
        const TColor got = b.Pixel(2, 1);
        EXPECT_EQ(Red(got), k.r) << k.name;
        EXPECT_EQ(Green(got), k.g) << k.name;
        EXPECT_EQ(Blue(got), k.b) << k.name;
    }

    // Tint leaves out the transparent colour when one is set.
    TkqBitmap t = Make(2, 1, [](int x, int) { return x == 0 ? clFuchsia : RGBToColor(200, 200, 200); });
    t.SetTransparentColor(clFuchsia);
    t.Tint(0, 0, 0);
    EXPECT_EQ(t.Pixel(0, 0), clFuchsia);
    EXPECT_EQ(t.Pixel(1, 0), RGBToColor(72, 72, 72));
}

TEST(EffectBitmap, GeometricEffectsMovePixels)
{
    const TkqBitmap original = Gradient(6, 5);
    TkqBitmap v = original;
    v.Flip(false);
    for (int y = 0; y < 5; ++y) EXPECT_EQ(v.Pixel(3, y), original.Pixel(3, 4 - y)) << y;   // row 2 stays
    TkqBitmap h = original;
    h.Flip(true);
    EXPECT_EQ(h.Pixel(0, 1), original.Pixel(5, 1));
    EXPECT_EQ(h.Pixel(2, 1), original.Pixel(3, 1));

    // Half a turn about the default centre (3, 2) (one coordinate given negative): (x, y) takes
    // (6 - x - 1, 4 - y - 1); uncovered pixels take the top-left colour.
    TkqBitmap r = original;
    r.Rotate(QPoint(-1, 5), 180);
    EXPECT_EQ(r.Pixel(1, 1), original.Pixel(4, 2));
    EXPECT_EQ(r.Pixel(5, 4), original.Pixel(0, 0));   // source (0, -1) is outside
    EXPECT_EQ(r.Pixel(0, 0), original.Pixel(5, 3));

    // A wave without wrap leaves white where the source falls outside; with wrap it takes the
    // pixel from the other side.
    TkqBitmap w = original;
    w.Wave(false, 2, 1, 1000);   // rows shift by round(2 sin y)
    const int s1 = int(std::nearbyint(2 * std::sin(1.0)));
    EXPECT_EQ(w.Pixel(0, 1), original.Pixel(s1, 1));
    EXPECT_EQ(w.Pixel(5, 1), clWhite);
    TkqBitmap ww = original;
    ww.Wave(true, 2, 1, 1000);
    EXPECT_EQ(ww.Pixel(5, 1), original.Pixel((5 + s1) % 6, 1));

    // Spray takes every pixel from within the amount around it.
    TkqBitmap s = Make(20, 1, [](int x, int) { return RGBToColor(x, 0, 0); });
    s.RandomEngine().seed(7);
    s.Spray(3);
    for (int x = 0; x < 20; ++x) EXPECT_LE(std::abs(Red(s.Pixel(x, 0)) - x), 2) << x;
}

TEST(EffectBitmap, EmbossAndBlurReadTheirNeighbours)
{
    // Emboss: (255 - neighbour + c) >> 1 against the pixel one down and right; the last rows
    // use pixel 1 of the last row.
    TkqBitmap e = Make(3, 3, [](int x, int y) { return RGBToColor(10 * (x + 3 * y), 0, 0); });
    e.Emboss();
    EXPECT_EQ(Red(e.Pixel(0, 0)), (255 - 40 + 0) >> 1);
    EXPECT_EQ(Red(e.Pixel(2, 0)), (255 - 50 + 20) >> 1);   // last pixel: the neighbour below
    EXPECT_EQ(Red(e.Pixel(0, 1)), (255 - 70 + 30) >> 1);   // second-last row: pixel (1, 2)
    EXPECT_EQ(Red(e.Pixel(2, 2)), (255 - 70 + 80) >> 1);   // last row: the copy of (1, 2)
    TkqBitmap one = Gradient(4, 1);
    const TkqBitmap before = one;
    one.Emboss();
    EXPECT_TRUE(SamePixels(one, before));

    // Blur 1 on one row: each pixel averages its clamped diagonal neighbours, reading the
    // pixels before it already blurred.
    TkqBitmap b = Make(3, 1, [](int x, int) { return RGBToColor(100 * x, 0, 0); });
    b.Blur(1);
    EXPECT_EQ(Red(b.Pixel(0, 0)), (0 + 0 + 100 + 100) >> 2);
    EXPECT_EQ(Red(b.Pixel(1, 0)), (50 + 50 + 200 + 200) >> 2);
}

TEST(EffectBitmap, DrawingCopiesStretchesTilesAndLeavesOutTheKeyColour)
{
    const TkqBitmap pic = Make(2, 1, [](int x, int) { return x == 0 ? clBlack : clWhite; });
    TBitmap target(6, 3);
    target.Fill(clRed);
    {
        TCanvas canvas(target);
        TkqBitmap smooth = Make(2, 1, [](int x, int) { return x == 0 ? clBlack : clWhite; });
        smooth.SmoothStretching = true;
        smooth.Draw(canvas, TRect(0, 0, 3, 1));           // bilinear: 0, 84, 169
        pic.Draw(canvas, TRect(0, 1, 4, 2));              // nearest: 0, 0, 255, 255
        TkqBitmap keyed = Make(2, 1, [](int x, int) { return x == 0 ? clFuchsia : clBlue; });
        keyed.SetTransparent(true);                       // key: the top-left pixel
        keyed.Draw(canvas, TRect(4, 2, 6, 3));
    }
    EXPECT_EQ(target.Pixel(0, 0), clBlack);
    EXPECT_EQ(Red(target.Pixel(1, 0)), 84);
    EXPECT_EQ(Red(target.Pixel(2, 0)), 169);
    EXPECT_EQ(target.Pixel(3, 0), clRed);
    EXPECT_EQ(target.Pixel(1, 1), clBlack);
    EXPECT_EQ(target.Pixel(2, 1), clWhite);
    EXPECT_EQ(target.Pixel(4, 2), clRed);   // key colour left out
    EXPECT_EQ(target.Pixel(5, 2), clBlue);

    TBitmap tiled(5, 2);
    tiled.Fill(clRed);
    {
        TCanvas canvas(tiled);
        pic.DrawTiled(canvas, TRect(0, 0, 5, 2));
    }
    for (int x = 0; x < 5; ++x) EXPECT_EQ(tiled.Pixel(x, 1), x % 2 ? clWhite : clBlack) << x;
}

TEST(EffectBitmap, ExchangeKeepsPixelsThroughBitmapsMemoryAndStreams)
{
    const TkqBitmap original = Gradient(5, 3);
    TBitmap plain;
    original.AssignTo(plain);
    EXPECT_EQ(plain.Width(), 5);
    EXPECT_EQ(plain.Pixel(4, 2), original.Pixel(4, 2));
    TkqBitmap back;
    back.Assign(plain);
    EXPECT_TRUE(SamePixels(back, original));
    back.Assign(TBitmap());
    EXPECT_TRUE(back.Empty());

    TkqBitmap kept = original;
    kept.SaveToMemory();
    EXPECT_TRUE(kept.Empty());
    EXPECT_TRUE(kept.HasMemoryImage());
    kept.RestoreFromMemory();
    EXPECT_FALSE(kept.HasMemoryImage());
    EXPECT_TRUE(SamePixels(kept, original));

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    original.SaveToStream(buffer);
    buffer.seek(0);
    TkqBitmap loaded;
    loaded.LoadFromStream(buffer);
    EXPECT_TRUE(SamePixels(loaded, original));
    QBuffer junk;
    junk.setData("not a picture");
    junk.open(QIODevice::ReadOnly);
    EXPECT_THROW(loaded.LoadFromStream(junk), EInvalidGraphic);
    EXPECT_TRUE(SamePixels(loaded, original));   // a failed load loses nothing

    // A copy taken while pixels are written through the canvas stays as it was.
    TkqBitmap painted(4, 4);
    painted.Canvas().FillRect(TRect(3, 3, 4, 4));
    const QImage snapshot = painted.Image();
    painted.SetPixel(0, 0, clRed);
    painted.Canvas().Brush.Color = clBlue;
    painted.Canvas().FillRect(TRect(1, 1, 3, 3));
    EXPECT_EQ(snapshot.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(painted.Pixel(0, 0), clRed);
    EXPECT_EQ(painted.Pixel(2, 2), clBlue);

    TkqBitmap resized = Make(2, 2, [](int x, int) { return x ? clWhite : clBlack; });
    resized.StretchResize(4, 2);
    EXPECT_EQ(resized.Pixel(1, 1), clBlack);
    EXPECT_EQ(resized.Pixel(2, 1), clWhite);
}

TEST(EffectBitmap, ChangeLinksHearEveryChangeUntilRemoved)
{
    TkqBitmap b(2, 2);
    int told = 0, own = 0;
    const int key = b.AddChangeLink([&](TkqBitmap* sender) {
        EXPECT_EQ(sender, &b);
        ++told;
    });
    b.OnChange = [&](TkqBitmap*) { ++own; };
    b.Invert();
    b.SetSize(3, 3);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(own, 2);
    b.IgnoreChange = true;
    b.Invert();
    EXPECT_EQ(told, 2);
    b.IgnoreChange = false;
    b.RemoveChangeLink(key);
    b.Invert();
    EXPECT_EQ(told, 2);
    EXPECT_EQ(own, 3);

    // A copy between effect bitmaps tells the destination once.
    TkqBitmap dest;
    int destTold = 0;
    dest.AddChangeLink([&](TkqBitmap*) { ++destTold; });
    Gradient().AssignTo(dest);
    EXPECT_EQ(destTold, 1);
}

// ---- Paint options

namespace {
class TCustomGrid : public QWidget, public TkqGridHost {
    Q_OBJECT
public:
    int TitleRowHeight() const override { return 7; }
    TColor FixedColor() const override { return Fixed; }
    TColor Fixed = clBtnFace;
};

TBitmap Picture(int w, int h)
{
    TBitmap b(w, h);
    b.Fill(RGBToColor(100, 100, 100));
    b.SetPixel(0, 0, clRed);
    return b;
}

struct PaintOptionsFixture : ::testing::Test {
    PaintOptionsFixture()
    {
        grid.resize(95, 42);
        options.SetBackgroundBitmap(Picture(10, 10));
    }
    ~PaintOptionsFixture() override { TkqGridPaintOptions::SetScreenColorDepthForTesting(0); }
    TCustomGrid grid;
    TBitmap paint;
    TkqGridPaintOptions options{&grid, &paint};
};
} // namespace

TEST_F(PaintOptionsFixture, PictureIsDrawnByItsStyleOverTheWholeGrid)
{
    EXPECT_TRUE(options.InitBlendBitmapsFlag());
    options.PrepareBackground(false);
    EXPECT_FALSE(options.InitBlendBitmapsFlag());
    EXPECT_EQ(paint.Width(), 95);
    EXPECT_EQ(paint.Height(), 42);
    // Tiles at columns 0..9 and rows 0..4, the last ones clipped.
    EXPECT_EQ(paint.Pixel(90, 40), clRed);
    EXPECT_EQ(paint.Pixel(50, 20), clRed);
    EXPECT_EQ(paint.Pixel(91, 41), RGBToColor(100, 100, 100));

    options.SetBackgroundBitmap(Picture(200, 100));
    options.SetBackgroundDrawStyle(bdsCenter);
    options.PrepareBackground(false);
    EXPECT_EQ(paint.Pixel(0, 0), RGBToColor(100, 100, 100));   // drawn at (-52, -29)
    options.SetBackgroundBitmap(Picture(10, 10));
    options.SetBackgroundDrawStyle(bdsTopLeft);
    options.PrepareBackground(false);
    EXPECT_EQ(paint.Pixel(0, 0), clRed);
    EXPECT_EQ(paint.Pixel(10, 10), clWhite);
    // Nothing happens unless asked.
    paint.SetPixel(10, 10, clBlue);
    options.PrepareBackground(false);
    EXPECT_EQ(paint.Pixel(10, 10), clBlue);
    options.PrepareBackground(true);
    EXPECT_EQ(paint.Pixel(10, 10), clWhite);
}

TEST_F(PaintOptionsFixture, TintedCopiesFollowColoursAndOptions)
{
    options.SetActiveRecordColor(clBlack);
    options.SetAlternatingRowColor(RGBToColor(255, 255, 0));
    options.SetFixedColumnTint(clBlack);
    options.SetTitleRowTint(clBlack);
    options.SetBackgroundOptions({coFillDataCells, coBlendAlternatingRow, coBlendFixedRow, coBlendFixedColumn});
    options.PrepareBackground(false);
    EXPECT_TRUE(options.FillsDataCells());
    ASSERT_NE(options.BackgroundCopy(), nullptr);
    EXPECT_EQ(options.ActiveRecordCopy(), nullptr);   // colour set, blending off
    ASSERT_NE(options.AlternatingRowCopy(), nullptr);
    EXPECT_EQ(options.AlternatingRowCopy()->Pixel(5, 5), RGBToColor(100, 100, 0));
    ASSERT_NE(options.TitleRowCopy(), nullptr);
    EXPECT_EQ(options.TitleRowCopy()->Height(), 7);
    EXPECT_EQ(options.TitleRowCopy()->Pixel(5, 5), clBlack);
    ASSERT_NE(options.FixedColumnCopy(), nullptr);
    EXPECT_EQ(options.FixedColumnCopy()->Pixel(5, 5), clBlack);

    // Regions emptied: the copy goes only at the next preparation, which setting them does not ask for.
    options.SetAlternatingRowRegions({});
    EXPECT_FALSE(options.InitBlendBitmapsFlag());
    EXPECT_NE(options.AlternatingRowCopy(), nullptr);
    options.PrepareBackground(true);
    EXPECT_EQ(options.AlternatingRowCopy(), nullptr);

    // Removing the picture frees the copies at the next preparation; the title strip stays.
    options.SetBackgroundBitmap(TBitmap());
    options.PrepareBackground(false);
    EXPECT_FALSE(options.FillsDataCells());
    EXPECT_EQ(options.BackgroundCopy(), nullptr);
    EXPECT_EQ(options.FixedColumnCopy(), nullptr);
    EXPECT_NE(options.TitleRowCopy(), nullptr);
}

TEST_F(PaintOptionsFixture, UnchangedSettingsAskForNothingAndPaletteScreensGetNoCopies)
{
    TkqGridPaintOptions::SetScreenColorDepthForTesting(8);
    options.PrepareBackground(false);
    options.SetActiveRecordColor(clNone);
    options.SetBackgroundDrawStyle(bdsTile);
    options.SetBackgroundOptions({});
    EXPECT_FALSE(options.InitBlendBitmapsFlag());

    options.SetBackgroundOptions({coFillDataCells});
    options.SetBackgroundBitmap(Picture(5, 5));
    options.PrepareBackground(false);
    EXPECT_EQ(paint.Pixel(5, 5), clRed);   // the picture is still rendered
    EXPECT_FALSE(options.FillsDataCells());
}

#include "BitmapTests.moc"
