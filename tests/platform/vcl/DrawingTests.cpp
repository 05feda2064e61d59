#include "platform/vcl/Canvas.h"
#include "platform/vcl/Edges.h"
#include "platform/vcl/ImgList.h"
#include "tests/common/TestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {
// A white bitmap to draw on; pixels read back as colours.
TBitmap White(int w, int h)
{
    TBitmap b(w, h);
    b.Fill(clWhite);
    return b;
}
} // namespace

TEST(Canvas, LinesLeaveOutTheirEndPixelAndRectanglesTheirRightAndBottom)
{
    TBitmap b = White(10, 10);
    {
        TCanvas c(b);
        c.Pen.Color = clBlack;
        c.MoveTo(1, 1);
        c.LineTo(5, 1);   // (1..4, 1)
        c.MoveTo(1, 3);
        c.LineTo(4, 6);   // diagonal (1,3) (2,4) (3,5), not (4,6)
        c.Brush.Color = clRed;
        c.FillRect({6, 6, 8, 9});   // columns 6..7, rows 6..8
        c.Brush.Color = clBlue;
        c.FrameRect({0, 7, 3, 10});
    }
    EXPECT_EQ(b.Pixel(4, 1), clBlack);
    EXPECT_EQ(b.Pixel(5, 1), clWhite);
    EXPECT_EQ(b.Pixel(3, 5), clBlack);
    EXPECT_EQ(b.Pixel(4, 6), clWhite);
    EXPECT_EQ(b.Pixel(7, 8), clRed);
    EXPECT_EQ(b.Pixel(8, 8), clWhite);
    EXPECT_EQ(b.Pixel(7, 9), clWhite);
    EXPECT_EQ(b.Pixel(2, 9), clBlue);    // the frame's bottom-right pixel is inside
    EXPECT_EQ(b.Pixel(1, 8), clWhite);   // and its inside is left alone
    EXPECT_EQ(b.Pixel(3, 9), clWhite);
}

TEST(Canvas, XorLineDrawnTwiceLeavesNoTrace)
{
    TBitmap b = White(8, 4);
    b.SetPixel(3, 1, clRed);
    {
        TCanvas c(b);
        c.Pen.Color = clWhite;
        c.Pen.Mode = pmXor;
        for (int i = 0; i < 2; ++i) {
            c.MoveTo(0, 1);
            c.LineTo(8, 1);
            if (i == 0) {
                ASSERT_EQ(b.Pixel(0, 1), clBlack);
                ASSERT_EQ(b.Pixel(3, 1), RGBToColor(0, 255, 255));
            }
        }
    }
    EXPECT_EQ(b.Pixel(0, 1), clWhite);
    EXPECT_EQ(b.Pixel(3, 1), clRed);
}

TEST(Canvas, TextIsMeasuredByTheCanvasFont)
{
    TBitmap b = White(100, 40);
    TCanvas c(b);
    TRect r{0, 0, 30, 0};
    EXPECT_EQ(c.DrawText(QString(), r, DT_CALCRECT), 0);
    EXPECT_TRUE(r.IsEmpty());
    r = {5, 5, 0, 0};
    const int h = c.DrawText(QStringLiteral("&Open"), r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.Width(), c.TextWidth(QStringLiteral("Open")));   // the accelerator mark takes no room
    EXPECT_EQ(r.Height(), h);
    EXPECT_EQ(r.Left, 5);
    TRect wrapped{0, 0, c.TextWidth(QStringLiteral("word")) + 2, 0};
    c.DrawText(QStringLiteral("word word word"), wrapped, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(wrapped.Height(), 3 * c.TextHeight(QStringLiteral("Ay")));
}

TEST(Edges, FramesShareCornersAndShrinkTheRectangle)
{
    TBitmap b = White(8, 8);
    TRect r{1, 1, 7, 7};
    {
        TCanvas c(b);
        Frame3D(c, r, clRed, clBlue, 2);
    }
    EXPECT_EQ(r, TRect(3, 3, 5, 5));
    EXPECT_EQ(b.Pixel(1, 1), clRed);
    EXPECT_EQ(b.Pixel(6, 1), clBlue);   // top-right corner: bottom-right colour
    EXPECT_EQ(b.Pixel(1, 6), clBlue);   // bottom-left corner too
    EXPECT_EQ(b.Pixel(2, 2), clRed);    // second ring
    EXPECT_EQ(b.Pixel(3, 3), clWhite);
    EXPECT_EQ(b.Pixel(7, 7), clWhite);

    TBitmap e = White(6, 6);
    TRect er{0, 0, 6, 6};
    {
        TCanvas c(e);
        DrawEdge(c, er, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    }
    EXPECT_EQ(er, TRect(2, 2, 4, 4));
    EXPECT_EQ(e.Pixel(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(e.Pixel(5, 5), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(e.Pixel(1, 1), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(e.Pixel(4, 4), ColorToRGB(cl3DLight));
}

TEST(Bitmap, TransparentColourMonochromeAndMask)
{
    TBitmap b = White(4, 3);
    b.SetPixel(0, 2, clFuchsia);
    b.SetPixel(1, 1, clRed);
    EXPECT_EQ(b.TransparentColor(), clFuchsia);   // the bottom-left pixel unless set
    const QImage masked = b.MaskedImage();
    EXPECT_EQ(qAlpha(masked.pixel(0, 2)), 0);
    EXPECT_EQ(qAlpha(masked.pixel(1, 1)), 255);
    b.SetTransparentColor(clRed);
    EXPECT_EQ(qAlpha(b.MaskedImage().pixel(1, 1)), 0);

    b.SetMonochrome(true);
    EXPECT_EQ(b.Pixel(1, 1), clBlack);
    EXPECT_EQ(b.Pixel(0, 2), clBlack);
    EXPECT_EQ(b.Pixel(3, 0), clWhite);
    int changes = 0;
    b.OnChange = [&] { ++changes; };
    {
        TCanvas c(b);
        c.Brush.Color = clRed;
        c.FillRect({0, 0, 1, 1});
    }
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(b.Pixel(0, 0), clBlack);   // a monochrome bitmap stays black and white
}

TEST(ImageList, CutsWideBitmapsIntoImagesAndDrawsDisabledSilhouettes)
{
    TImageList list(4, 4);
    int changes = 0;
    const int key = list.AddChangeListener([&] { ++changes; });
    TBitmap strip(8, 4);
    strip.Fill(clFuchsia);
    strip.SetPixel(1, 1, clRed);
    strip.SetPixel(6, 2, clGreen);
    EXPECT_EQ(list.AddMasked(strip, clFuchsia), 0);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(qAlpha(list.Image(0).pixel(0, 0)), 0);
    EXPECT_EQ(list.Image(1).pixel(2, 2) & 0xFFFFFF, 0x008000u);
    list.RemoveChangeListener(key);
    list.Delete(0);
    EXPECT_EQ(changes, 2);

    TBitmap target = White(6, 6);
    {
        TCanvas c(target);
        list.Draw(c, 1, 1, 0, false);   // the green pixel at (2, 2) of the image
    }
    EXPECT_EQ(target.Pixel(3, 3), ColorToRGB(clBtnShadow));
    EXPECT_EQ(target.Pixel(4, 4), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(target.Pixel(1, 1), clWhite);
}
