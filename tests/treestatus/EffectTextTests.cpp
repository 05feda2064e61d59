#include "treestatus/qeCanvas.h"
#include "treestatus/qeCommon.h"
#include "treestatus/qeLabel.h"
#include "treestatus/qetext.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QImage Blank(int w, int h, QColor c = Qt::white)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// Pixels of one colour in the image.
int CountColour(const QImage& img, QColor c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixelColor(x, y) == c;
    return n;
}

// Bounding box of the pixels of one colour.
QRect BoxOf(const QImage& img, QColor c)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c) box = box.united(QRect(x, y, 1, 1));
    return box;
}

// A text with hooks that count, on a canvas over an image.
struct TextFixture {
    QImage Image = Blank(300, 120);
    std::unique_ptr<TCanvas> Canvas = std::make_unique<TCanvas>(&Image);
    TFont Font{QApplication::font(), clBlack};
    int Changes = 0, Adjusts = 0;
    bool Enabled = true;
    TqeCaptionText Text{{[this] { ++Changes; }, [this] { ++Adjusts; }, [this] { return Enabled; }}, &Font, Canvas.get()};
    QImage Drawn()
    {
        Canvas.reset();
        QImage out = Image;
        Canvas = std::make_unique<TCanvas>(&Image);
        Text.SetCanvas(Canvas.get());
        return out;
    }
};
} // namespace

TEST(SuiteRoutines, TokensRangesAndPositions)
{
    const QString s = QStringLiteral("a,b,,c");
    EXPECT_EQ(TokenCount(s, QStringLiteral(",")), 4);
    const char* expected[] = {"a", "b", "", "c", ""};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(GetToken(s, QStringLiteral(","), i), QLatin1String(expected[i])) << i;
    EXPECT_EQ(TokenCount(QString(), QStringLiteral(",")), 0);
    EXPECT_EQ(TokenCount(QStringLiteral("aaa"), QStringLiteral("aa")), 3);   // overlapping occurrences count
    EXPECT_EQ(CopyRange(QStringLiteral("abcdef"), 3, 0), QStringLiteral("cdef"));
    EXPECT_EQ(CopyRange(QStringLiteral("abcdef"), 2, 4), QStringLiteral("bc"));
    EXPECT_EQ(PosFrom(QStringLiteral("b"), QStringLiteral("abab"), 3), 4);
    EXPECT_EQ(PosFrom(QStringLiteral("x"), QStringLiteral("abab"), 1), 0);
    EXPECT_EQ(NthPos(QStringLiteral("b"), QStringLiteral("abab"), 1), 4);
    EXPECT_EQ(NthPos(QStringLiteral("b"), QStringLiteral("abab"), 2), 2);   // starts over at the beginning
    EXPECT_EQ(StripAccelerators(QStringLiteral("&File && Edit")), QStringLiteral("File & Edit"));
    unsigned flags = 0x0F;
    SetFlagBits(false, flags, 0x05u);
    EXPECT_EQ(flags, 0x0Au);
    quint8 r, g, b, h;
    SplitColor(RGBToColor(1, 2, 3), r, g, b, h);
    EXPECT_EQ(std::vector<int>({r, g, b, h}), std::vector<int>({1, 2, 3, 0}));
    EXPECT_EQ(ImageListColor(clNone), CLR_NONE);
    EXPECT_EQ(ImageListColor(clDefault), CLR_DEFAULT);
}

TEST(SuiteRoutines, DottedLinesAndTextExtent)
{
    QImage img = Blank(20, 20);
    {
        TCanvas canvas(&img);
        canvas.Pen.Color = clBlack;
        DrawDottedLine(canvas, {5, 0}, {5, 9});
        DrawDottedLine(canvas, {10, 10}, {10, 10});
    }
    std::vector<int> ys;
    for (int y = 0; y < 20; ++y)
        if (img.pixelColor(5, y) == Qt::black) ys.push_back(y);
    EXPECT_EQ(ys, std::vector<int>({0, 2, 4, 6, 8}));
    EXPECT_EQ(img.pixelColor(10, 10), QColor(Qt::black));
    EXPECT_EQ(CountColour(img, Qt::black), 6);

    TCanvas canvas(&img);
    int w1, h1, w2, h2, w, h;
    MultiLineTextExtent(canvas, QStringLiteral("one"), 5, 0, 0, w1, h1);
    MultiLineTextExtent(canvas, QStringLiteral("a longer line"), 5, 0, 0, w2, h2);
    MultiLineTextExtent(canvas, QStringLiteral("one\r\na longer line"), 5, 0, 0, w, h);
    EXPECT_EQ(w, std::max(w1, w2));
    EXPECT_EQ(h, h1 + h2 + 5);
}

TEST(EffectText, SettersNormaliseAndNotify)
{
    TextFixture f;
    struct Case { int in, out; };
    for (const Case c : {Case{-30, 330}, {725, 5}, {-360, 360}, {0, 0}, {360, 0}}) {
        f.Text.SetRotation(c.in);
        EXPECT_EQ(f.Text.Rotation(), c.out) << c.in;
    }
    f.Changes = f.Adjusts = 0;
    f.Text.SetRotation(0);   // always reports, even unchanged
    f.Text.SetOutlineColor(clBlack);   // unchanged: nothing
    f.Text.SetAlignment(taCenter);
    f.Text.Shadow().SetColor(clRed);
    f.Text.ExtrudeEffects().SetDepth(3);
    EXPECT_EQ(f.Changes, 4);
    EXPECT_EQ(f.Adjusts, 2);   // rotation and depth may change the size

    f.Text.SetOptions({toShowEllipsis});
    EXPECT_TRUE(f.Text.Format() & DT_NOPREFIX);
    EXPECT_TRUE(f.Text.Format() & DT_END_ELLIPSIS);
    f.Text.SetWordWrap(true);
    EXPECT_TRUE(f.Text.Format() & DT_WORDBREAK);

    // Assign copies effects and style but not the alignments, word wrap or disabled colours.
    TextFixture g;
    g.Text.SetStyle(qelsOutline);
    g.Text.Shadow().SetEnabled(true);
    g.Text.SetVAlignment(vaBottom);
    g.Text.SetText(QStringLiteral("copied"));
    f.Text.Assign(g.Text);
    EXPECT_EQ(f.Text.Style(), qelsOutline);
    EXPECT_TRUE(f.Text.Shadow().Enabled());
    EXPECT_EQ(f.Text.Text(), QStringLiteral("copied"));
    EXPECT_EQ(f.Text.VAlignment(), vaTop);
    EXPECT_EQ(f.Text.Alignment(), taCenter);
    EXPECT_TRUE(f.Text.WordWrap());
}

TEST(EffectText, ExtentCountsOutlineShadowAndExtrusionByDirection)
{
    TextFixture f;
    f.Text.SetText(QStringLiteral("Word"));
    f.Text.SetBounds(TRect(0, 0, 300, 120));
    const QFontMetrics fm(f.Font.Font);
    const TRect plain = f.Text.CalcTextRectWithFont(true);
    EXPECT_EQ(plain.Width(), fm.horizontalAdvance(QStringLiteral("Word")));
    EXPECT_EQ(plain.Height(), fm.height());

    f.Text.SetStyle(qelsOutline);
    TRect r = f.Text.CalcTextRectWithFont(true);
    EXPECT_EQ(r.Width(), plain.Width() + 2);
    EXPECT_EQ(r.Height(), plain.Height() + 2);
    f.Text.SetStyle(qelsDefault);

    // A shadow (10, 10) counts unless the extrusion points away from it.
    f.Text.Shadow().SetEnabled(true);
    f.Text.ExtrudeEffects().SetEnabled(true);
    f.Text.ExtrudeEffects().SetDepth(4);
    f.Text.ExtrudeEffects().SetOrientation(qeBottomRight);
    r = f.Text.CalcTextRectWithFont(true);
    EXPECT_EQ(r.Width(), plain.Width() + 4);
    f.Text.ExtrudeEffects().SetOrientation(qeTopLeft);
    r = f.Text.CalcTextRectWithFont(true);
    EXPECT_EQ(r.Width(), plain.Width() + 4 + 10);
    EXPECT_EQ(r.Height(), plain.Height() + 4 + 10);

    // Rotation by 90 swaps the extent.
    f.Text.Shadow().SetEnabled(false);
    f.Text.ExtrudeEffects().SetEnabled(false);
    f.Text.SetRotation(90);
    r = f.Text.CalcTextRectWithFont(true);
    EXPECT_EQ(r.Width(), plain.Height());
    EXPECT_EQ(r.Height(), plain.Width());

    // Accelerator marks do not count when they are shown as underlines.
    f.Text.SetRotation(0);
    f.Text.SetText(QStringLiteral("&Word"));
    EXPECT_EQ(f.Text.CalcTextRectWithFont(true).Width(), plain.Width());
}

TEST(EffectText, OutlineExtrusionAndDisabledLookDrawTheirLayers)
{
    QFont bold = QApplication::font();
    bold.setPixelSize(24);
    bold.setBold(true);
    bold.setStyleStrategy(QFont::NoAntialias);

    // Outline: eight black copies one pixel around a white face; the block sits at the top,
    // centred.
    TextFixture f;
    f.Image.fill(QColor(128, 128, 128));
    f.Font = TFont(bold, clWhite);
    f.Text.SetText(QStringLiteral("HI"));
    f.Text.SetStyle(qelsOutline);
    f.Text.SetAlignment(taCenter);
    f.Text.SetBounds(TRect(0, 0, 300, 120));
    f.Text.Draw();
    QImage img = f.Drawn();
    const QRect black = BoxOf(img, Qt::black), white = BoxOf(img, Qt::white);
    ASSERT_FALSE(black.isEmpty());
    EXPECT_EQ(black.adjusted(1, 1, -1, -1), white);
    EXPECT_NEAR(black.center().x(), 150, 2);
    EXPECT_LT(black.top(), 10);

    // Extrusion of depth 3 from black to white: grey layers 85 and 170 behind a white face.
    TextFixture e;
    e.Font = TFont(bold, clRed);
    e.Text.SetText(QStringLiteral("I"));
    e.Text.SetBounds(TRect(0, 0, 300, 120));
    e.Text.ExtrudeEffects().SetEnabled(true);
    e.Text.ExtrudeEffects().SetDepth(3);
    e.Text.ExtrudeEffects().SetNearColor(clWhite);
    e.Text.ExtrudeEffects().SetFarColor(clBlack);
    e.Text.Draw();
    img = e.Drawn();
    EXPECT_GT(CountColour(img, QColor(85, 85, 85)), 0);
    EXPECT_GT(CountColour(img, QColor(170, 170, 170)), 0);
    EXPECT_GT(CountColour(img, QColor(255, 0, 0)), 0);   // the face over the last layer

    // Disabled default style: a highlight copy one down-right under a shade-coloured face.
    TextFixture d;
    d.Enabled = false;
    d.Font = TFont(bold, clBlack);
    d.Text.SetText(QStringLiteral("I"));
    d.Text.SetBounds(TRect(0, 0, 300, 120));
    d.Text.DisabledColors().SetHighlightColor(clLime);
    d.Text.DisabledColors().SetShadeColor(clBlue);
    d.Text.Draw();
    img = d.Drawn();
    const QRect face = BoxOf(img, Qt::blue), high = BoxOf(img, Qt::green);
    EXPECT_FALSE(face.isEmpty());
    EXPECT_EQ(high.bottomRight(), face.bottomRight() + QPoint(1, 1));
    EXPECT_EQ(CountColour(img, Qt::black), 0);
}

TEST(EffectText, FullJustificationLeavesTheLastLineAlone)
{
    TextFixture f;
    QFont font = QApplication::font();
    font.setStyleStrategy(QFont::NoAntialias);
    f.Font = TFont(font, clBlack);
    f.Text.SetText(QStringLiteral("aa bb cc dd ee ff gg hh ii jj kk ll"));
    f.Text.SetWordWrap(true);
    f.Text.SetOptions({toShowAccel, toFullJustify});
    f.Text.SetBounds(TRect(0, 0, 120, 120));
    f.Text.Draw();
    const QImage img = f.Drawn();
    const int lineHeight = QFontMetrics(font).height();
    auto rightmost = [&](int top) {
        int right = -1;
        for (int y = top; y < top + lineHeight; ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y) != Qt::white) right = std::max(right, x);
        return right;
    };
    const QRect all = BoxOf(img, Qt::black);
    const int first = rightmost(all.top());
    const int last = rightmost(all.bottom() - lineHeight + 2);
    EXPECT_GE(first, 120 - 10 - 3);   // stretched to the line's width less 10
    EXPECT_LT(last, first - 10);       // the last line keeps its natural width
}

TEST(EffectLabel, AutoSizeTransparencyAndAccelerators)
{
    QWidget parent;
    parent.resize(400, 100);
    TqeLabel right(&parent);
    right.TextOptions().SetAlignment(taRightJustify);
    right.SetCaption(QStringLiteral("ab"));
    right.move(200, 0);
    const int edge = right.geometry().right();
    right.SetCaption(QStringLiteral("a much longer caption"));
    EXPECT_EQ(right.geometry().right(), edge);
    EXPECT_EQ(right.width(), QFontMetrics(right.font()).horizontalAdvance(QStringLiteral("a much longer caption")));

    // A transparent label leaves the background as it is.
    QWidget back;
    back.setAutoFillBackground(true);
    QPalette pal = back.palette();
    pal.setColor(QPalette::Window, Qt::yellow);
    back.setPalette(pal);
    back.resize(200, 50);
    TqeLabel label(&back);
    label.SetAutoSize(false);
    label.setGeometry(0, 0, 200, 50);
    label.SetCaption(QStringLiteral("x"));
    label.SetColor(clRed);
    EXPECT_EQ(back.grab().toImage().pixelColor(150, 40), QColor(255, 0, 0));
    label.SetTransparent(true);
    EXPECT_EQ(back.grab().toImage().pixelColor(150, 40), QColor(Qt::yellow));

    // The accelerator moves the focus; without toShowAccel the ampersand is plain text.
    QWidget form;
    auto* edit = new QWidget(&form);
    edit->setFocusPolicy(Qt::StrongFocus);
    auto* other = new QWidget(&form);
    other->setFocusPolicy(Qt::StrongFocus);
    auto* lab = new TqeLabel(&form);
    lab->SetCaption(QStringLiteral("&Name"));
    lab->SetFocusControl(edit);
    form.show();
    QApplication::setActiveWindow(&form);
    other->setFocus();
    QTest::keyClick(&form, Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(edit->hasFocus());
    const int withAccel = lab->width();
    lab->TextOptions().SetOptions({});
    other->setFocus();
    QTest::keyClick(&form, Qt::Key_N, Qt::AltModifier);
    EXPECT_FALSE(edit->hasFocus());
    EXPECT_GT(lab->width(), withAccel);   // the ampersand now shows
}
