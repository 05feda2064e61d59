#include "platform/vcl/Menus.h"
#include "tests/utilities/UtilitiesTestSupport.h"
#include "utilities/VZCtrls.h"
#include "utilities/VZProps.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

namespace {
// A glyph of cells, each a 16 x 16 square on fuchsia with a black 4 x 4 block at (6, 6) and a
// red pixel of its own at (2, cell) so the cells can be told apart.
TBitmap Cells(int count, int height = 16)
{
    TBitmap b(count * height, height);
    b.Fill(clFuchsia);
    for (int c = 0; c < count; ++c) {
        for (int y = 6; y < 10; ++y)
            for (int x = 6; x < 10; ++x) b.SetPixel(c * height + x, y, clBlack);
        b.SetPixel(c * height + 2, c, clRed);
    }
    b.Changed();
    return b;
}

QColor At(QWidget& w, int x, int y) { return w.grab().toImage().pixelColor(x, y); }

struct TButtonForm {
    QWidget Form;
    TButtonForm()
    {
        Form.resize(300, 100);
        Form.show();
        QApplication::setActiveWindow(&Form);
    }
};
} // namespace

TEST(SpeedButtonGlyph, CellsFromTheShapeAndOneSharedListPerSize)
{
    struct Case {
        int width, height, cells;
    };
    for (const Case c : {Case{64, 16, 4}, Case{112, 16, 1}, Case{16, 16, 1}, Case{30, 16, 1}}) {
        TVzButtonGlyph glyph;
        TBitmap b(c.width, c.height);
        glyph.SetGlyph(b);
        EXPECT_EQ(glyph.NumGlyphs(), c.cells) << c.width;
    }
    {
        TVzSpeedButton a, b;
        a.SetGlyph(Cells(1));
        b.SetGlyph(Cells(2));
        a.ButtonGlyph().CreateButtonGlyph(bsUp);
        b.ButtonGlyph().CreateButtonGlyph(bsUp);
        ASSERT_NE(GlyphCache(), nullptr);
        EXPECT_EQ(GlyphCache()->Count(), 1);
        EXPECT_EQ(a.ButtonGlyph().GlyphList(), b.ButtonGlyph().GlyphList());
        EXPECT_EQ(a.ButtonGlyph().GlyphList()->UsedCount(), 2);
        TVzSpeedButton other;
        other.SetGlyph(Cells(1, 8));
        other.ButtonGlyph().CreateButtonGlyph(bsUp);
        EXPECT_EQ(GlyphCache()->Count(), 2);
    }
    EXPECT_EQ(GlyphCache(), nullptr);   // both gone: list and cache freed
}

TEST(SpeedButtonGlyph, DisabledAndInactiveImages)
{
    TVzButtonGlyph one;
    one.SetGlyph(Cells(1));
    const int disabledIndex = one.CreateButtonGlyph(bsDisabled);
    const QImage disabled = one.GlyphList()->Image(disabledIndex);
    // The black block embossed: shadow in place, highlight one pixel right and down.
    EXPECT_EQ(QColorToColor(disabled.pixelColor(6, 6)), ColorToRGB(clBtnShadow));
    EXPECT_EQ(QColorToColor(disabled.pixelColor(10, 10)), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(disabled.pixelColor(2, 0).alpha(), 0);   // the red pixel is no outline: left out

    TVzButtonGlyph two;
    two.SetGlyph(Cells(2));
    const int secondIndex = two.CreateButtonGlyph(bsDisabled);
    const QImage second = two.GlyphList()->Image(secondIndex);
    EXPECT_EQ(QColorToColor(second.pixelColor(2, 1)), clRed);   // cell 1 as it is
    EXPECT_EQ(two.CreateButtonGlyph(bsDown), two.CreateButtonGlyph(bsUp));   // fewer than 3 cells

    const int inactiveIndex = one.CreateButtonGlyph(bsInactive);
    const QImage inactive = one.GlyphList()->Image(inactiveIndex);
    const int grey = (255 * 77) >> 8;
    EXPECT_EQ(QColorToColor(inactive.pixelColor(2, 0)), RGBToColor(grey, grey, grey));
    EXPECT_EQ(inactive.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(TVzButtonGlyph::GreyColor(clBtnFace, clFuchsia), clBtnFace);
}

TEST(SpeedButtonGlyph, AutomaticMarginAndSpacingLeaveEqualGaps)
{
    TVzButtonGlyph glyph;
    glyph.SetGlyph(Cells(1));
    TBitmap picture(75, 25);
    TCanvas canvas(picture);
    const QString caption = QStringLiteral("Fill");
    const auto l = glyph.CalcButtonLayout(canvas, {0, 0, 75, 25}, caption, blGlyphLeft, -1, -1, false, DT_CENTER);
    const int textWidth = l.TextBounds.Width();
    EXPECT_EQ(textWidth, canvas.TextWidth(caption));
    const int gap = (75 - 16 - textWidth) / 3;
    EXPECT_EQ(l.GlyphPos, QPoint(gap, 25 / 2 - 16 / 2));
    EXPECT_EQ(l.TextBounds.Left, gap + 16 + gap);
    // A caption too long for the room is shortened; a drop-down mark takes 9 pixels after it.
    const auto cut = glyph.CalcButtonLayout(canvas, {0, 0, 60, 25}, QStringLiteral("From Current Record"), blGlyphLeft, 2, 2,
                                            true, DT_CENTER);
    EXPECT_TRUE(cut.Caption.endsWith(QStringLiteral("...")));
    EXPECT_LE(cut.TextBounds.Width(), 60 - 16 - 2 - 2);
    EXPECT_TRUE(cut.MarkAfterText);
}

TEST(SpeedButton, PressDragAndReleaseAndTheBottomRowStillClicks)
{
    TButtonForm f;
    auto* b = new TVzSpeedButton(&f.Form);
    b->setGeometry(10, 10, 25, 25);
    b->show();
    int clicks = 0;
    b->OnClick = [&](QObject*) { ++clicks; };
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(b->State(), bsDown);
    QTest::mouseMove(b, QPoint(40, 5));
    EXPECT_EQ(b->State(), bsUp);   // dragged off
    QTest::mouseMove(b, QPoint(5, 5));
    EXPECT_EQ(b->State(), bsDown);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 25));   // the bottom edge row
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(b->State(), bsUp);
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(25, 5));   // the right edge column is outside
    EXPECT_EQ(clicks, 1);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));   // a release without a press
    EXPECT_EQ(clicks, 1);
    b->setEnabled(false);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);
}

TEST(SpeedButton, GroupsLatchOneButtonDown)
{
    TButtonForm f;
    TVzSpeedButton* b[3];
    for (int i = 0; i < 3; ++i) {
        b[i] = new TVzSpeedButton(&f.Form);
        b[i]->setGeometry(10 + 30 * i, 10, 25, 25);
        b[i]->SetGroupIndex(1);
        b[i]->show();
    }
    QTest::mouseClick(b[0], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b[0]->Down());
    EXPECT_EQ(b[0]->State(), bsExclusive);
    QTest::mouseClick(b[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(b[0]->Down());
    EXPECT_TRUE(b[2]->Down());
    QTest::mouseClick(b[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b[2]->Down());   // the pressed one stays down
    b[1]->SetAllowAllUp(true);   // told to the whole group
    EXPECT_TRUE(b[2]->AllowAllUp());
    QTest::mouseClick(b[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(b[2]->Down());
    TVzSpeedButton loose;
    loose.SetDown(true);   // no group: never down
    EXPECT_FALSE(loose.Down());
    EXPECT_GE(TPropInfoList(b[0]).FindProperty(QStringLiteral("Down")), 0);   // stored by the window storage
}

TEST(SpeedButton, RepeatsWhileHeld)
{
    TButtonForm f;
    auto* b = new TVzSpeedButton(&f.Form);
    b->setGeometry(0, 0, 25, 25);
    b->show();
    b->SetAllowTimer(true);
    b->InitPause = 400;
    int clicks = 0;
    b->OnClick = [&](QObject*) { ++clicks; };
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_NE(b->RepeatTimer(), nullptr);
    EXPECT_TRUE(b->RepeatTimer()->isActive());
    EXPECT_EQ(b->RepeatTimer()->interval(), 400);
    b->RepeatTimerTick();
    b->RepeatTimerTick();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(b->RepeatTimer()->interval(), 100);
    QTest::mouseMove(b, QPoint(60, 5));
    b->RepeatTimerTick();   // dragged off: no click
    EXPECT_EQ(clicks, 2);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(60, 5));
    EXPECT_FALSE(b->RepeatTimer()->isActive());
    // A click that fails stops the repeating.
    b->OnClick = [](QObject*) { throw Exception(QStringLiteral("no")); };
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_THROW(b->RepeatTimerTick(), Exception);
    EXPECT_FALSE(b->RepeatTimer()->isActive());
    b->SetAllowTimer(false);
    EXPECT_EQ(b->RepeatTimer(), nullptr);
}

TEST(SpeedButton, DropsItsMenuBelowWithoutClicking)
{
    TButtonForm f;
    auto* b = new TVzSpeedButton(&f.Form);
    b->setGeometry(20, 20, 50, 25);
    b->SetCaption(QStringLiteral("Fill"));
    b->show();
    TPopupMenu menu;
    QStringList chosen;
    menu.Items()->AddItem(QStringLiteral("From Top"), [&](QObject*) { chosen << QStringLiteral("top"); });
    menu.Items()->AddItem(QStringLiteral("From Current Record"));
    b->SetDropDownMenu(&menu);
    int clicks = 0;
    b->OnClick = [&](QObject*) { ++clicks; };
    QPoint shownAt;
    bool swallowed = false;
    QTimer::singleShot(0, [&] {
        TMenuPopupWindow* w = menu.PopupWindow();
        ASSERT_NE(w, nullptr);
        shownAt = w->pos();
        // A press on the button closes the menu and goes no further.
        QTest::mousePress(w, Qt::LeftButton, {}, w->mapFromGlobal(b->mapToGlobal(QPoint(10, 10))));
        swallowed = w->testAttribute(Qt::WA_NoMouseReplay);
    });
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(shownAt, b->mapToGlobal(QPoint(-1, 25)));
    EXPECT_TRUE(swallowed);
    EXPECT_EQ(b->State(), bsUp);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(chosen.isEmpty());

    QTimer::singleShot(0, [&] { QTest::keyClick(menu.PopupWindow(), Qt::Key_Down); QTest::keyClick(menu.PopupWindow(), Qt::Key_Return); });
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(chosen, QStringList{QStringLiteral("top")});
    menu.Alignment = paRight;
    b->MenuPosition = dmpRight;
    EXPECT_EQ(b->DropDownPoint(), QPoint(-1, -1));
}

TEST(SpeedButton, FlatGreyUntilTheMouseComesAndModalResult)
{
    TButtonForm f;
    auto* b = new TVzSpeedButton(&f.Form);
    b->setGeometry(0, 0, 25, 25);
    b->SetFlat(true);
    TBitmap glyph(16, 16);
    glyph.Fill(clRed);
    glyph.SetPixel(0, 15, clFuchsia);
    b->SetGlyph(glyph);
    QCursor::setPos(f.Form.mapToGlobal(QPoint(250, 80)));   // the mouse away from the button
    b->show();
    // The glyph sits at (4, 4) of the flat, inactive button.
    const int grey = (255 * 77) >> 8;
    EXPECT_EQ(b->DrawnState(), bsInactive);
    EXPECT_EQ(At(*b, 8, 8), QColor(grey, grey, grey));
    b->SetGrayedInactive(false);
    EXPECT_EQ(At(*b, 8, 8), QColor(Qt::red));
    b->SetGrayedInactive(true);
    int entered = 0;
    b->OnMouseEnter = [&](QObject*) { ++entered; };
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(b, &enter);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(b->DrawnState(), bsUp);
    EXPECT_EQ(At(*b, 9, 9), QColor(Qt::red));

    QDialog dialog;
    auto* ok = new TVzSpeedButton(&dialog);
    ok->ModalResult = 1;
    QTimer::singleShot(0, [&] { ok->Click(); });
    EXPECT_EQ(dialog.exec(), 1);
}

TEST(SpeedButton, TransparentShowsTheParentAndTheAcceleratorClicks)
{
    TButtonForm f;
    QPalette red = f.Form.palette();
    red.setColor(QPalette::Window, Qt::red);
    f.Form.setPalette(red);
    f.Form.setAutoFillBackground(true);
    auto* b = new TVzSpeedButton(&f.Form);
    b->setGeometry(10, 10, 60, 25);
    b->SetCaption(QStringLiteral("&Fill"));
    b->SetFlat(true);
    b->SetTransparent(true);
    QCursor::setPos(f.Form.mapToGlobal(QPoint(250, 80)));
    b->show();
    EXPECT_EQ(At(*b, 3, 3), QColor(Qt::red));   // the form's background behind a flat, transparent button
    int clicks = 0;
    b->OnClick = [&](QObject*) { ++clicks; };
    QTest::keyClick(&f.Form, Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
    b->setEnabled(false);
    QTest::keyClick(&f.Form, Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
}
