#include "tests/utilities/UtilitiesTestSupport.h"
#include "utilities/ClipIcon.h"
#include "utilities/VCLUtils.h"

#include <QtEndian>
#include <QWidget>

namespace {
TBitmap Filled(int w, int h, TColor color)
{
    TBitmap b(w, h);
    b.Fill(color);
    return b;
}
} // namespace

TEST(FillGradientRect, BandsFollowTheRectangleAndTheRestTakesTheEndColour)
{
    struct Case {
        int height, bands, bandHeight, rest;
    };
    for (const Case c : {Case{10, 32, 1, 0}, Case{70, 32, 2, 6}}) {
        TBitmap b = Filled(4, c.height + 2, clWhite);
        {
            TCanvas canvas(b);
            FillGradientRect(canvas, {0, 1, 3, 1 + c.height}, clBlack, RGBToColor(0, 0, 255), 0, c.bands);
        }
        const int used = std::min(c.bands, c.height);
        EXPECT_EQ(b.Pixel(0, 1), clBlack) << c.height;
        // Band i has blue MulDiv(i, 255, used - 1); the last band is the end colour itself.
        EXPECT_EQ(b.Pixel(0, 1 + (used - 1) * c.bandHeight), RGBToColor(0, 0, 255)) << c.height;
        EXPECT_EQ(b.Pixel(0, 1 + c.bandHeight), RGBToColor(0, 0, (255 + (used - 1) / 2) / (used - 1))) << c.height;
        if (c.rest) {
            EXPECT_EQ(b.Pixel(1, c.height), RGBToColor(0, 0, 255));
        }
        // Nothing outside the rectangle.
        EXPECT_EQ(b.Pixel(0, 0), clWhite);
        EXPECT_EQ(b.Pixel(3, 5), clWhite);
        EXPECT_EQ(b.Pixel(0, c.height + 1), clWhite);
    }
    TBitmap reverse = Filled(6, 2, clWhite);
    {
        TCanvas canvas(reverse);
        FillGradientRect(canvas, {0, 0, 5, 2}, clRed, clBlue, 3, 2);   // right to left, one rest column
    }
    EXPECT_EQ(reverse.Pixel(0, 0), clBlue);
    EXPECT_EQ(reverse.Pixel(2, 0), clRed);
    EXPECT_EQ(reverse.Pixel(4, 0), clRed);   // the rest takes the start colour going backwards
}

TEST(ShortenTextToWidth, CutsWithDotsUntilItFits)
{
    TBitmap b(10, 10);
    TCanvas canvas(b);
    const QString text = QStringLiteral("Spreadsheet");
    EXPECT_EQ(ShortenTextToWidth(text, canvas, 1000), text);
    const QString shortened = ShortenTextToWidth(text, canvas, canvas.TextWidth(QStringLiteral("Spread...")));
    EXPECT_EQ(shortened, QStringLiteral("Spread..."));
    EXPECT_EQ(ShortenTextToWidth(text, canvas, 1), QStringLiteral("..."));
    EXPECT_EQ(ShortenTextToWidth(QString(), canvas, 1), QString());
}

TEST(CommandLine, TokensQuotesAndSplitting)
{
    const QString line = QStringLiteral("  \"/opt/my app/run\" -x \"a b\" \"\" last");
    EXPECT_EQ(CountCommandTokens(line), 4);
    EXPECT_EQ(GetCommandToken(line, 0), QStringLiteral("/opt/my app/run"));
    EXPECT_EQ(GetCommandToken(line, 2), QStringLiteral("a b"));
    EXPECT_EQ(GetCommandToken(line, 3), QStringLiteral("last"));   // the empty pair is no token
    EXPECT_EQ(GetCommandToken(line, 9), QString());
    EXPECT_EQ(GetCommandToken(QStringLiteral("pre\"fix mid\"post rest"), 0), QStringLiteral("prefix midpost"));
    QString program, parameters;
    SplitCommandText(line, program, parameters);
    EXPECT_EQ(program, QStringLiteral("/opt/my app/run"));
    EXPECT_EQ(parameters, QStringLiteral("-x \"a b\" last"));
    SplitCommandText(QStringLiteral("   "), program, parameters);
    EXPECT_TRUE(program.isEmpty() && parameters.isEmpty());
}

TEST(ScreenRoutines, FitAndCentre)
{
    TFixedScreen screen({800, 600});
    TRect r{700, -20, 900, 80};
    FitRectToScreen(r);
    EXPECT_EQ(r, TRect(600, 0, 800, 100));
    TRect big{-10, 0, 1000, 50};
    FitRectToScreen(big);
    EXPECT_EQ(big.Left, 0);   // wider than the screen: the left edge wins
    QWidget window;
    window.resize(900, 700);
    CenterWindowOnScreen(&window);
    EXPECT_EQ(window.pos(), QPoint(0, 0));
    window.resize(200, 100);
    CenterWindowOnScreen(&window);
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(300, 250));
}

TEST(DisabledBitmaps, OutlinePixelsAreEmbossedAndCellsCut)
{
    TBitmap glyph = Filled(4, 4, clWhite);
    glyph.SetPixel(1, 1, clBlack);
    glyph.SetPixel(2, 2, clRed);   // not the outline colour: left out
    const auto disabled = MakeDisabledBitmapEx(glyph, clBlack, clSilver, clWhite, clGray, true);
    EXPECT_EQ(disabled->Pixel(1, 1), clGray);
    EXPECT_EQ(disabled->Pixel(2, 2), clWhite);   // the highlight copy one pixel right and down
    EXPECT_EQ(disabled->Pixel(3, 3), clSilver);
    EXPECT_EQ(MakeDisabledBitmapEx(glyph, clBlack, clSilver, clWhite, clGray, false)->Pixel(2, 2), clSilver);

    TBitmap strip = Filled(6, 2, clFuchsia);
    strip.SetPixel(4, 1, clGreen);
    strip.SetTransparent(true);
    TBitmap cell;
    ExtractGlyphCell(&strip, &cell, 3, 1, 2);   // the third of three columns
    EXPECT_EQ(cell.Width(), 2);
    EXPECT_EQ(cell.Pixel(0, 1), clGreen);
    EXPECT_TRUE(cell.Transparent());
    EXPECT_EQ(cell.TransparentColor(), clFuchsia);
}

TEST(MaskedDrawing, TransparentColourIsLeftOut)
{
    TBitmap glyph = Filled(3, 3, clFuchsia);
    glyph.SetPixel(1, 1, clBlue);
    TBitmap target = Filled(8, 8, clWhite);
    {
        TCanvas canvas(target);
        DrawBitmapMasked(canvas, 2, 2, glyph, clDefault);   // the bottom-left pixel's colour
        StretchBitmapMasked(canvas, glyph, clFuchsia, 5, 0, 3, 6);
    }
    EXPECT_EQ(target.Pixel(3, 3), clBlue);
    EXPECT_EQ(target.Pixel(2, 2), clWhite);
    EXPECT_EQ(target.Pixel(6, 2), clBlue);
    EXPECT_EQ(target.Pixel(6, 3), clBlue);   // stretched twice as high
    EXPECT_EQ(target.Pixel(5, 0), clWhite);
}

namespace {
// An icon file with one 2 x 2 24-bit image whose top-left pixel is masked out.
QByteArray TinyIcon(int entries)
{
    QByteArray image(40, '\0');
    qToLittleEndian<quint32>(40, image.data());
    qToLittleEndian<qint32>(2, image.data() + 4);
    qToLittleEndian<qint32>(4, image.data() + 8);
    qToLittleEndian<quint16>(1, image.data() + 12);
    qToLittleEndian<quint16>(24, image.data() + 14);
    // Rows bottom up, 8 bytes each (6 used): bottom row red, blue; top row green, white.
    image += QByteArray::fromHex("0000ff" "ff0000" "0000");
    image += QByteArray::fromHex("00ff00" "ffffff" "0000");
    image += QByteArray::fromHex("00000000");   // mask, bottom row: both shown
    image += QByteArray::fromHex("80000000");   // top row: the first pixel let through
    QByteArray file(6, '\0');
    qToLittleEndian<quint16>(1, file.data() + 2);
    qToLittleEndian<quint16>(quint16(entries), file.data() + 4);
    for (int i = 0; i < entries; ++i) {
        QByteArray entry(16, '\0');
        entry[0] = 2;
        entry[1] = 2;
        entry[2] = char(i == 0 ? 16 : 0);
        qToLittleEndian<quint32>(quint32(image.size()), entry.data() + 8);
        qToLittleEndian<quint32>(quint32(6 + 16 * entries), entry.data() + 12);
        file += entry;
    }
    return file + image;
}
} // namespace

TEST(Icons, BestEntryAndSplitImage)
{
    struct Case {
        QList<int> colors;
        int display, chosen;
    };
    const Case cases[] = {
        {{2, 16, 0}, 16, 1},      // an exact match wins at once
        {{2, 8, 16}, 256, 2},     // the first that fits, then any with more colours
        {{256, 2, 8}, 16, 2},     // 256 is too many; 2 fits, 8 has more
        {{256, 256}, 16, 0},      // none fits: the first
        {{16, 0}, 0, 1},          // a true-colour display matches a true-colour entry
    };
    for (const Case& c : cases) EXPECT_EQ(ChooseIconEntry(c.colors, c.display), c.chosen) << c.display;

    TIcon icon;
    ASSERT_TRUE(icon.LoadFromBytes(TinyIcon(2)));
    const QImage real = MakeRealSizeIcon(icon);
    ASSERT_EQ(GetIconPixelSize(real), QSize(2, 2));
    EXPECT_EQ(qAlpha(real.pixel(0, 0)), 0);
    EXPECT_EQ(real.pixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(real.pixel(0, 1) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(GetIconPixelSize(QImage()), QSize(32, 32));
    EXPECT_THROW(ReadBestIconImage(TinyIcon(1).left(30), 1, 6, 0), EOutOfResources);
    EXPECT_EQ(DibRowBytes(2 * 24), 8);
    EXPECT_EQ(DibPaletteSize(4), 16);
}
