#include "platform/vcl/Forms.h"
#include "tests/utilities/UtilitiesTestSupport.h"
#include "utilities/VZConst.h"
#include "utilities/VzMenus.h"

#include <QFontMetrics>
#include <QTest>
#include <QTimer>

namespace {
// Three 16 x 16 images: a red, a green and a blue square on fuchsia.
std::unique_ptr<TImageList> Squares()
{
    auto list = std::make_unique<TImageList>(16, 16);
    TBitmap strip(48, 16);
    strip.Fill(clFuchsia);
    const TColor colors[] = {clRed, clLime, clBlue};
    for (int i = 0; i < 3; ++i)
        for (int y = 3; y < 13; ++y)
            for (int x = 3; x < 13; ++x) strip.SetPixel(16 * i + x, y, colors[i]);
    list->AddMasked(strip, clFuchsia);
    return list;
}

// Opens the menu, hands its window to fn, then closes it.
void WhileOpen(TPopupMenu& menu, const std::function<void(TMenuPopupWindow*)>& fn)
{
    QTimer::singleShot(0, [&] {
        fn(menu.PopupWindow());
        menu.CloseMenu();
    });
    menu.Popup(40, 40);
}
} // namespace

TEST(VzPopupMenu, OwnerDrawingFollowsStyleAndImages)
{
    TVzPopupMenu menu;
    EXPECT_FALSE(menu.OwnerDraw());
    auto images = Squares();
    menu.SetImages(images.get());
    EXPECT_TRUE(menu.OwnerDraw());
    images->Clear();   // an empty list draws nothing of its own
    EXPECT_FALSE(menu.OwnerDraw());
    images = Squares();
    menu.SetImages(images.get());
    EXPECT_TRUE(menu.OwnerDraw());
    images.reset();   // a destroyed list is forgotten
    EXPECT_EQ(menu.Images(), nullptr);
    EXPECT_FALSE(menu.OwnerDraw());
    menu.SetStyle(msBtnRaised);
    EXPECT_TRUE(menu.OwnerDraw());
    EXPECT_EQ(menu.ButtonStyleCode(), 2);
}

TEST(VzPopupMenu, MeasuresItemsByTheirTextPictureMarginAndSeparators)
{
    TVzPopupMenu menu;
    menu.SetStyle(msOwnerDraw);
    TMenuItem* open = menu.Items()->AddItem(QStringLiteral("&Open"));
    TMenuItem* line = menu.Items()->AddItem(QStringLiteral("-"));
    TMenuItem* recent = menu.Items()->AddItem(QStringLiteral("&Recent"));
    TMenuItem* sub = recent->AddItem(QStringLiteral("First"));

    const QFontMetrics fm(MenuFont());
    const int check = GetSystemMetrics(SM_CXMENUCHECK);
    const int offset = TVzPopupMenu::CheckOffset();
    EXPECT_EQ(offset, 4);   // 30% of 13, rounded
    const int plain = 2 * offset + fm.horizontalAdvance(QStringLiteral("Open\t\t")) + fm.horizontalAdvance(QStringLiteral(" ")) + check;
    const QSize openSize = menu.MeasureItem(open);
    EXPECT_EQ(openSize.width(), plain + 1);   // a top-level item: LeftMargin + 1 more
    EXPECT_EQ(openSize.height(), std::max(GetSystemMetrics(SM_CYMENU) - 2, fm.height()));
    EXPECT_EQ(menu.MeasureItem(line).height(), std::max(fm.height() / 2, 9));
    // Sub-items get room for the arrow and no margin.
    EXPECT_EQ(menu.MeasureItem(sub).width(),
              2 * offset + fm.horizontalAdvance(QStringLiteral("First\t\t")) + fm.horizontalAdvance(QStringLiteral(" ")) + check);
    EXPECT_EQ(menu.MeasureItem(recent).width(), 2 * offset + fm.horizontalAdvance(QStringLiteral("Recent\t\t"))
                                                    + fm.horizontalAdvance(QStringLiteral(" ")) + fm.horizontalAdvance(QStringLiteral("\t\t"))
                                                    + check + 1);

    menu.LeftMargin = 20;
    EXPECT_EQ(menu.MeasureItem(open).width(), plain + 21);
    auto images = Squares();
    menu.SetImages(images.get());
    open->ImageIndex = 1;
    const QSize withImage = menu.MeasureItem(open);
    EXPECT_EQ(withImage.width(), plain + 21 + 18);
    EXPECT_EQ(withImage.height(), std::max(openSize.height(), 20));
    EXPECT_EQ(menu.MeasureItem(line).height(), std::max(fm.height() / 2, 9));   // no picture on a separator
    menu.OnMeasureItem = [](TVzPopupMenu*, TMenuItem*, int& w, int& h) { w = 50, h = 30; };
    EXPECT_EQ(menu.MeasureItem(open), QSize(71, 30));

    // Shortcuts of siblings line up: every item with one measures the widest caption.
    menu.OnMeasureItem = nullptr;
    menu.SetImages(nullptr);
    menu.LeftMargin = 0;
    open->ShortCut = QKeySequence(QStringLiteral("Ctrl+O"));
    recent->ShortCut = QKeySequence(QStringLiteral("Ctrl+R"));
    EXPECT_EQ(menu.MeasureItem(open).width() + fm.horizontalAdvance(QStringLiteral("\t\t")), menu.MeasureItem(recent).width());
}

TEST(VzPopupMenu, DrawsTheMarginImagesAndSunkenBoxes)
{
    TVzPopupMenu menu;
    auto images = Squares();
    menu.SetImages(images.get());
    menu.LeftMargin = 20;
    menu.ShowCheckMarks = false;
    TMenuItem* red = menu.Items()->AddItem(QStringLiteral("Red"));
    red->ImageIndex = 0;
    TMenuItem* green = menu.Items()->AddItem(QStringLiteral("Green"));
    green->ImageIndex = 1;
    green->SetChecked(true);
    TMenuItem* gone = menu.Items()->AddItem(QStringLiteral("Gone"));
    gone->ImageIndex = 2;
    gone->Enabled = false;
    QImage shot;
    TRect redRect, greenRect, goneRect;
    WhileOpen(menu, [&](TMenuPopupWindow* w) {
        shot = w->grab().toImage();
        redRect = w->ItemRect(red);
        greenRect = w->ItemRect(green);
        goneRect = w->ItemRect(gone);
    });
    ASSERT_FALSE(shot.isNull());
    const int f = TMenuPopupWindow::FrameWidth;
    // The margin: blue at the top, darker at the bottom, the last columns a 3-D line.
    EXPECT_EQ(QColorToColor(shot.pixelColor(f + 2, f)), RGBToColor(0, 0, 255));
    const int bottom = goneRect.Bottom - 1;
    EXPECT_LT(shot.pixelColor(f + 2, bottom).blue(), 120);
    EXPECT_EQ(QColorToColor(shot.pixelColor(f + 18, f + 3)), ColorToRGB(clBtnShadow));
    // Each image centred in its column after the margin.
    const int offset = TVzPopupMenu::CheckOffset();
    const int imageX = redRect.Left + 21 + offset + 1 + 3;   // column start, centring, square inset
    EXPECT_EQ(QColorToColor(shot.pixelColor(imageX + 2, (redRect.Top + redRect.Bottom) / 2)), clRed);
    // A checked item without check marks stands in a sunken box: shadow at its top-left.
    EXPECT_EQ(QColorToColor(shot.pixelColor(greenRect.Left + 21 + offset - 1, greenRect.Top)), ColorToRGB(clBtnShadow));
    EXPECT_EQ(QColorToColor(shot.pixelColor(imageX + 2, (greenRect.Top + greenRect.Bottom) / 2)), clLime);
    // A disabled item's image is its silhouette in the shadow colour.
    EXPECT_EQ(QColorToColor(shot.pixelColor(imageX + 2, (goneRect.Top + goneRect.Bottom) / 2)), ColorToRGB(clBtnShadow));
}

TEST(VzPopupMenu, PlainMenuRoutesHintAndCursor)
{
    TVzPopupMenu menu;
    menu.Cursor = crVzHand;
    TMenuItem* top = menu.Items()->AddItem(QStringLiteral("From Top"));
    top->Hint = QStringLiteral("Fill from the first record");
    menu.Items()->AddItem(QStringLiteral("From Current Record"));
    EXPECT_FALSE(menu.OwnerDraw());
    Qt::CursorShape byMouse = Qt::ArrowCursor, byKey = Qt::BlankCursor;
    QString hint;
    WhileOpen(menu, [&](TMenuPopupWindow* w) {
        const TRect r = w->ItemRect(top);
        QTest::mouseMove(w, QPoint(r.Left + 4, r.Top + 2));
        byMouse = w->cursor().shape();
        hint = Application()->Hint();
        QTest::keyClick(w, Qt::Key_Down);
        byKey = w->cursor().shape();
    });
    EXPECT_EQ(hint, QStringLiteral("Fill from the first record"));
    EXPECT_EQ(byMouse, Qt::PointingHandCursor);
    EXPECT_EQ(byKey, Qt::ArrowCursor);
}
