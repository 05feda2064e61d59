// Frames and button effects, the spin button, the check box, the radio button and group, the
// transparent group box and the track icon.

#include "gridlib/core/kqcheckbox.h"
#include "gridlib/core/kqframe.h"
#include "gridlib/core/kqgroupbox.h"
#include "gridlib/core/kqradio.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/core/kqspin.h"
#include "platform/vcl/Edges.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"
#include "tests/gridlib/core/ControlTestObjects.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
QColor Rgb(TColor c) { return ColorToQColor(ColorToRGB(c)); }

// A frame's edges drawn alone onto a white picture.
QImage FrameEdges(const TkqEditFrame& frame, bool focused, int w = 40, int h = 20)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TCanvas canvas(painter);
    PaintFrameEdges(canvas, w, h, frame, focused);
    return image;
}

// One text field S and one Boolean field B, one record per value.
struct TCheckFixture {
    TGridTestDataSet ds;
    TDataSource source;
    TCheckFixture(std::initializer_list<TVariant> texts)
    {
        ds.Define({{"S", ftWideString}, {"B", ftBoolean}});
        for (const TVariant& v : texts) ds.AddRow({v, TVariant(true)});
        source.SetDataSet(&ds);
        ds.Open();
    }
};
} // namespace

// ---- Frames and button effects

TEST(EditFrame, TextOffsetsAndEditMarginsFollowBordersAndStyle)
{
    QWidget control;
    TkqEditFrame frame(&control);
    int x = 0, y = 0;
    frame.GetTextOffsets(x, y, false);   // bottom edge only
    EXPECT_EQ(QPoint(x, y), QPoint(1, 2));
    frame.GetTextOffsets(x, y, true);    // all four, single-line style
    EXPECT_EQ(QPoint(x, y), QPoint(2, 2));
    frame.SetFocusStyle(efsFrameSunken);
    frame.GetTextOffsets(x, y, true);
    EXPECT_EQ(QPoint(x, y), QPoint(3, 3));
    // The unfocused offsets count in both states.
    frame.NonFocusTextOffsetX = 5;
    frame.NonFocusTextOffsetY = 1;
    frame.GetTextOffsets(x, y, true);
    EXPECT_EQ(QPoint(x, y), QPoint(8, 4));
    frame.GetTextOffsets(x, y, false);
    EXPECT_EQ(QPoint(x, y), QPoint(6, 3));

    struct Case { TkqEditFocusStyle style; TkqEditFrameEnabledSet borders; int left, top, right; };
    const Case cases[] = {
        {efsFrameBox, {efLeftBorder, efTopBorder, efRightBorder, efBottomBorder}, 2, 2, 99},
        {efsFrameSingle, {efRightBorder}, 2, 2, 100},
        {efsFrameSunken, {efLeftBorder}, 3, 3, 98},
        {efsFrameBump, {efLeftBorder}, 3, 3, 98},
        {efsFrameEtched, {efLeftBorder}, 2, 3, 98},
        {efsFrameRaised, {}, 1, 3, 98},
    };
    for (const Case& c : cases) {
        frame.SetFocusStyle(c.style);
        frame.SetFocusBorders(c.borders);
        int left = -1, top = -1, right = 100;
        frame.GetEditRectMargins(left, top, right);
        EXPECT_EQ(QList<int>({left, top, right}), QList<int>({c.left, c.top, c.right})) << int(c.style);
    }
}

TEST(EditFrame, EdgesByStateAndTransparencyAndNeverInsideAGrid)
{
    QWidget form;
    auto* control = new QWidget(&form);
    TkqEditFrame& frame = *new TkqEditFrame(control);   // the control owns it
    const QColor mono = Rgb(clWindowFrame);
    // Unfocused: only the bottom edge, flat.
    QImage unfocused = FrameEdges(frame, false);
    EXPECT_EQ(unfocused.pixelColor(20, 19), mono);
    EXPECT_EQ(unfocused.pixelColor(20, 0), QColor(Qt::white));
    EXPECT_EQ(unfocused.pixelColor(0, 10), QColor(Qt::white));
    // Focused: all four.
    QImage focused = FrameEdges(frame, true);
    EXPECT_EQ(focused.pixelColor(0, 10), mono);
    EXPECT_EQ(focused.pixelColor(39, 10), mono);
    EXPECT_EQ(focused.pixelColor(20, 0), mono);
    // Transparent without a right edge: the edges stop 2 pixels short of the right side.
    frame.SetFocusBorders({efLeftBorder, efTopBorder, efBottomBorder});
    frame.SetTransparent(true);
    QImage shortened = FrameEdges(frame, true);
    EXPECT_EQ(shortened.pixelColor(36, 0), mono);
    EXPECT_EQ(shortened.pixelColor(37, 0), QColor(Qt::white));
    // A sunken style uses the 3-D colours.
    frame.SetFocusBorders({efLeftBorder, efTopBorder, efRightBorder, efBottomBorder});
    frame.SetFocusStyle(efsFrameSunken);
    EXPECT_EQ(FrameEdges(frame, true).pixelColor(20, 0), Rgb(clBtnShadow));

    frame.SetEnabled(true);
    EXPECT_TRUE(frame.IsInEffect());
    TkqCustomDBGrid grid;
    control->setParent(&grid);
    EXPECT_FALSE(frame.IsInEffect());
}

TEST(EditFrame, AssignCopiesTheLooksOnlyOfAnEnabledFrame)
{
    QWidget control;
    TkqEditFrame source(&control), target(&control);
    source.SetTransparent(true);
    source.NonFocusColor = clRed;
    source.SetFocusStyle(efsFrameBump);
    target.Assign(source);
    EXPECT_TRUE(target.Transparent());
    EXPECT_EQ(target.NonFocusColor, clNone);
    EXPECT_EQ(target.FocusStyle(), efsFrameBox);
    target.Assign(source, true);
    EXPECT_EQ(target.NonFocusColor, clRed);
    EXPECT_EQ(target.FocusStyle(), efsFrameBump);
    source.SetEnabled(true);
    TkqEditFrame third(&control);
    third.Assign(source);
    EXPECT_TRUE(third.Enabled());
    EXPECT_EQ(third.NonFocusColor, clRed);
}

TEST(ButtonEffects, ButtonIsFlatWhileEitherEffectIsOn)
{
    QWidget edit;
    auto* button = new TkqTimerSpeedButton(&edit);
    TkqButtonEffects effects(&edit, button);
    effects.SetFlat(true);
    EXPECT_TRUE(button->Flat());
    EXPECT_FALSE(button->Transparent());
    effects.SetTransparent(true);
    EXPECT_TRUE(button->Transparent());
    EXPECT_TRUE(button->Flat());
    // Turning Flat off while Transparent is on leaves the button flat.
    effects.SetFlat(false);
    EXPECT_TRUE(button->Flat());
    EXPECT_EQ(GetControlButtonEffects(&edit), nullptr);   // the plain widget publishes none
}

// ---- Spin button

TEST(SpinButton, HalvesOverlapByOnePixelAndKeepTheirWidth)
{
    TkqSpinButton spin;
    EXPECT_EQ(spin.size(), QSize(20, 25));
    spin.show();
    spin.resize(15, 21);
    QCoreApplication::processEvents();
    EXPECT_EQ(spin.UpButton()->geometry(), QRect(0, 0, 15, 10));
    EXPECT_EQ(spin.DownButton()->geometry(), QRect(0, 9, 15, 12));
    spin.resize(9, 20);
    QCoreApplication::processEvents();
    EXPECT_EQ(spin.width(), 15);
}

TEST(SpinButton, HeldButtonRepeatsAfter400AndThenEvery100Milliseconds)
{
    TkqSpinButton spin;
    spin.resize(15, 20);
    int ups = 0, downs = 0;
    spin.OnUpClick = [&](QObject* sender) {
        EXPECT_EQ(sender, &spin);
        ++ups;
    };
    spin.OnDownClick = [&](QObject*) { ++downs; };
    TkqTimerSpeedButton* up = spin.UpButton();
    QTest::mousePress(up, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_NE(up->RepeatTimer(), nullptr);
    EXPECT_TRUE(up->RepeatTimer()->isActive());
    EXPECT_EQ(up->RepeatTimer()->interval(), 400);
    EXPECT_EQ(ups, 0);
    up->TimerTick();
    EXPECT_EQ(up->RepeatTimer()->interval(), 100);
    up->TimerTick();
    EXPECT_EQ(ups, 2);
    QTest::mouseRelease(up, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(ups, 3);
    EXPECT_FALSE(up->RepeatTimer()->isActive());
    // Released outside: no click; a tick after release does nothing.
    QTest::mousePress(spin.DownButton(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(spin.DownButton(), Qt::LeftButton, {}, QPoint(50, 50));
    spin.DownButton()->TimerTick();
    EXPECT_EQ(downs, 0);
}

// ---- Check box

TEST(CheckBox, FieldValuesMapToStatesThroughBothLists)
{
    TCheckFixture f({TVariant(QStringLiteral("yes")), TVariant(QStringLiteral("NO")), TVariant(QStringLiteral("")),
                     TVariant::Null(), TVariant(QStringLiteral("maybe")), TVariant(QStringLiteral("True"))});
    TkqCheckBox box;
    box.SetValueChecked(QStringLiteral("yes;Y; True "));
    box.SetValueUnchecked(QStringLiteral("no;N"));
    box.SetNullAndBlankState(cbGrayed);
    box.SetDataSource(&f.source);
    box.SetDataField(QStringLiteral("S"));
    const TCheckBoxState expected[] = {cbChecked, cbUnchecked, cbGrayed, cbGrayed, cbGrayed, cbChecked};
    int row = 0;
    for (f.ds.First(); !f.ds.Eof(); f.ds.Next(), ++row) EXPECT_EQ(box.State(), expected[row]) << row;
    // A null field shows NullAndBlankState even when that is checked.
    box.SetNullAndBlankState(cbChecked);
    f.ds.First();
    f.ds.MoveBy(3);
    EXPECT_EQ(box.State(), cbChecked);
    // A Boolean field reads its value, whatever the lists say.
    box.SetDataField(QStringLiteral("B"));
    EXPECT_EQ(box.State(), cbChecked);
}

TEST(CheckBox, StatesWriteTheFirstListItemOrNullAndReadOnlyRefuses)
{
    TCheckFixture f({TVariant(QStringLiteral("n")), TVariant(QStringLiteral("Y"))});
    QWidget form;
    auto* box = new TkqCheckBox(&form);
    box->resize(100, 20);
    box->SetAllowGrayed(true);
    box->SetNullAndBlankState(cbGrayed);
    box->SetValueChecked(QStringLiteral("Y;yes"));
    box->SetValueUnchecked(QStringLiteral("N;no"));
    box->SetDataSource(&f.source);
    box->SetDataField(QStringLiteral("S"));
    EXPECT_EQ(box->State(), cbUnchecked);
    int clicks = 0;
    box->OnClick = [&](QObject*) { ++clicks; };

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(50, 10));   // unchecked -> grayed
    EXPECT_EQ(box->State(), cbGrayed);
    EXPECT_TRUE(box->Modified);
    EXPECT_EQ(f.ds.State(), dsEdit);
    f.ds.Post();
    EXPECT_TRUE(f.ds.FieldByName(QStringLiteral("S"))->IsNull());
    box->Toggle();   // grayed -> checked
    f.ds.Post();
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("S"))->AsString(), QStringLiteral("Y"));
    box->Toggle();   // checked -> unchecked
    f.ds.Post();
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("S"))->AsString(), QStringLiteral("N"));
    EXPECT_GE(clicks, 3);

    box->SetReadOnly(true);
    box->Toggle();
    EXPECT_EQ(box->State(), cbUnchecked);
    EXPECT_EQ(f.ds.State(), dsBrowse);
    // Space toggles on release once writable again.
    box->SetReadOnly(false);
    box->SetAllowGrayed(false);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(box->State(), cbChecked);
}

TEST(CheckBox, GlyphGeometryAndImagesWithTooFewPictures)
{
    TkqCustomCheckBox box;
    box.resize(100, 20);
    EXPECT_EQ(box.GetCheckRect(), TRect(1, 4, 14, 17));
    box.SetAlignment(taLeftJustify);   // glyph at the right
    EXPECT_EQ(box.GetCheckRect(), TRect(85, 4, 98, 17));
    box.SetAlignment(taRightJustify);
    box.Indents()->SetButtonX(4);
    box.Indents()->SetButtonY(1);
    EXPECT_EQ(box.GetCheckRect(), TRect(5, 5, 18, 18));
    box.Indents()->SetButtonX(0);
    box.Indents()->SetButtonY(0);

    // One image: shown for unchecked only; checked shows an empty face-coloured box.
    TImageList images(13, 13);
    TBitmap red(13, 13);
    red.Fill(clRed);
    images.Add(red);
    box.SetImages(&images);
    box.SetColor(clWhite);
    EXPECT_EQ(box.grab().toImage().pixelColor(7, 10), QColor(Qt::red));
    box.SetChecked(true);
    EXPECT_EQ(box.grab().toImage().pixelColor(7, 10), Rgb(clBtnFace));
}

TEST(CheckBox, CopyInAGridCellTakesTheCellColourAndNoFocusRect)
{
    TkqDBGrid grid;
    grid.resize(200, 100);
    auto* box = new TkqCheckBox(&grid);
    box->SetCaption(QStringLiteral("MMMM"));
    box->resize(80, 18);
    QImage cell(80, 18, QImage::Format_RGB32);
    cell.fill(Qt::white);
    {
        QPainter painter(&cell);
        TCanvas canvas(painter);
        canvas.Font.Color = clRed;
        PaintControlCopy(box, canvas, 0, 0);
    }
    EXPECT_FALSE(IsPaintingCopy(box));
    bool red = false;
    for (int x = 20; x < 80 && !red; ++x)
        for (int y = 0; y < 18 && !red; ++y) red = cell.pixelColor(x, y) == QColor(Qt::red);
    EXPECT_TRUE(red);
    // The grid filled the cell: the copy leaves the background alone.
    EXPECT_EQ(cell.pixelColor(79, 0), QColor(Qt::white));
}

TEST(CheckBox, DynamicCaptionFollowsTheStateAndItsValues)
{
    TkqCustomCheckBox box;
    box.SetDynamicCaption(true);
    box.SetChecked(true);
    EXPECT_EQ(box.Caption(), QStringLiteral("True"));
    box.SetDisplayValueUnchecked(QStringLiteral("Off"));
    box.SetChecked(false);
    EXPECT_EQ(box.Caption(), QStringLiteral("Off"));
}

// ---- Radio button and group

TEST(RadioButton, GlyphAtTheRightAndSiblingsUncheck)
{
    QWidget form;
    auto* a = new TkqRadioButton(&form);
    auto* b = new TkqRadioButton(&form);
    a->resize(100, 20);
    a->SetAlignment(taLeftJustify);
    a->Indents()->SetButtonX(3);
    const TRect r = a->GetCheckRect();
    EXPECT_EQ((r.Left + r.Right - 1) / 2, 100 - 3 - 6 - 2);
    int clicks = 0;
    b->OnClick = [&](QObject*) { ++clicks; };
    a->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_EQ(clicks, 1);
    b->SetChecked(false);
    EXPECT_EQ(clicks, 1);
}

TEST(RadioButton, OneImageServesUncheckedAndTheSystemGlyphChecked)
{
    TkqRadioButton button;
    button.resize(60, 20);
    button.SetColor(clWhite);
    TImageList images(13, 13);
    TBitmap blue(13, 13);
    blue.Fill(clBlue);
    images.Add(blue);
    button.SetImages(&images);
    EXPECT_EQ(button.grab().toImage().pixelColor(6, 10), QColor(Qt::blue));
    button.SetChecked(true);
    EXPECT_NE(button.grab().toImage().pixelColor(6, 10), QColor(Qt::blue));
}

TEST(RadioGroup, ButtonsFillColumnsTopDownAndColumnsAreClamped)
{
    TkqCustomRadioGroup group;
    group.resize(300, 120);
    group.SetColumns(3);
    group.SetItems({"a", "b", "c", "d", "e", "f", "g"});
    ASSERT_EQ(group.ButtonCount(), 7);
    auto x = [&](int i) { return group.Buttons(i)->x(); };
    auto y = [&](int i) { return group.Buttons(i)->y(); };
    EXPECT_EQ(x(0), x(2));
    EXPECT_EQ(x(3), x(5));
    EXPECT_LT(x(2), x(3));
    EXPECT_LT(x(5), x(6));
    EXPECT_EQ(y(0), y(3));
    EXPECT_EQ(y(0), y(6));
    EXPECT_LT(y(0), y(1));
    EXPECT_LT(y(1), y(2));
    group.SetColumns(0);
    EXPECT_EQ(group.Columns(), 1);
    group.SetColumns(40);
    EXPECT_EQ(group.Columns(), 16);
    // Shrinking the items clamps the index; a click routed from a button selects it.
    group.SetItemIndex(6);
    group.SetItems({"a", "b"});
    EXPECT_EQ(group.ItemIndex(), 1);
    int clicks = 0;
    group.OnClick = [&](QObject*) { ++clicks; };
    group.Buttons(0)->SetChecked(true);
    EXPECT_EQ(group.ItemIndex(), 0);
    EXPECT_EQ(clicks, 1);
}

TEST(RadioGroup, FieldTextSelectsTheButtonOfItsValue)
{
    TGridTestDataSet ds;
    ds.Define({{"Mode", ftWideString}});
    for (const char* v : {"Two", "1", "x", "x", "3"}) ds.AddRow({TVariant(QString::fromLatin1(v))});
    TDataSource source;
    source.SetDataSet(&ds);
    ds.Open();
    QWidget form;
    auto* group = new TkqRadioGroup(&form);
    group->resize(200, 100);
    group->SetItems({"One", "Two", "Three"});
    group->SetValues({"1", "", "3"});
    int changes = 0;
    group->OnChange = [&](QObject*) { ++changes; };
    group->SetDataSource(&source);
    group->SetDataField(QStringLiteral("Mode"));
    struct Row { int index; int changes; };
    const Row rows[] = {{1, 1}, {0, 2}, {-1, 3}, {-1, 3}, {2, 4}};   // the same text twice fires once
    for (const Row& r : rows) {
        EXPECT_EQ(group->ItemIndex(), r.index) << ds.RecNo();
        EXPECT_EQ(changes, r.changes) << ds.RecNo();
        ds.Next();
    }
    EXPECT_EQ(group->GetCaptionForValue(QStringLiteral("Two")), QStringLiteral("Two"));
    EXPECT_EQ(group->GetButtonValue(1), QStringLiteral("Two"));

    // Choosing the first button writes its Values line.
    ds.First();
    QTest::mouseClick(group->Buttons(0), Qt::LeftButton, {}, QPoint(5, group->Buttons(0)->height() / 2));
    EXPECT_EQ(group->ItemIndex(), 0);
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Post();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Mode"))->AsString(), QStringLiteral("1"));
    // Read-only: the click changes nothing.
    group->SetReadOnly(true);
    QTest::mouseClick(group->Buttons(2), Qt::LeftButton, {}, QPoint(5, group->Buttons(2)->height() / 2));
    EXPECT_EQ(group->ItemIndex(), 0);
    EXPECT_EQ(ds.State(), dsBrowse);
}

// ---- Group box and track icon

TEST(TransparentGroupBox, NeverTransparentInsideAGrid)
{
    TkqCustomDBGrid grid;
    auto* box = new TkqCustomTransparentGroupBox;
    box->SetTransparent(true);
    EXPECT_TRUE(box->IsTransparentNow());
    box->setParent(&grid);
    EXPECT_FALSE(box->IsTransparentNow());
}

TEST(TrackIcon, DragsWithinItsLimitsAndReportsOnlyAMove)
{
    QWidget ruler;
    ruler.resize(300, 40);
    auto* icon = new TkqTrackIcon(&ruler);
    TBitmap marker(9, 9);
    marker.Fill(clBlack);
    icon->SetBitmap(marker);
    EXPECT_EQ(icon->size(), QSize(9, 9));
    icon->move(50, 0);
    int ends = 0;
    icon->OnEndDrag = [&](QObject*) { ++ends; };
    QTest::mouseClick(icon, Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(ends, 0);
    icon->MinValue = 10;
    QTest::mousePress(icon, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseMove(icon, QPoint(-100, 4));
    EXPECT_EQ(icon->x(), 10);
    QTest::mouseRelease(icon, Qt::LeftButton, {}, icon->mapFromParent(QPoint(10, 4)));
    EXPECT_EQ(ends, 1);
    // No limits: any position.
    icon->MinValue = 0;
    QTest::mousePress(icon, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseMove(icon, QPoint(-40, 4));
    EXPECT_EQ(icon->x(), -34);
    QTest::mouseRelease(icon, Qt::LeftButton, {}, QPoint(4, 4));
}
