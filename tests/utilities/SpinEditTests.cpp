#include "platform/core/SysFormat.h"
#include "tests/utilities/UtilitiesTestSupport.h"
#include "utilities/VZProps.h"
#include "utilities/VZSpin.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTimer>

namespace {
struct TSpinForm {
    QWidget Form;
    TVzSpinEdit* Spin;
    QLineEdit* Other;
    TSpinForm()
    {
        Spin = new TVzSpinEdit(&Form);
        Spin->setGeometry(10, 10, 100, 21);
        Other = new QLineEdit(&Form);
        Other->setGeometry(10, 40, 100, 21);
        Form.resize(200, 80);
        Form.show();
        QApplication::setActiveWindow(&Form);
    }
    void Leave() { Other->setFocus(Qt::TabFocusReason); }
};
} // namespace

TEST(SpinEdit, WrittenValuesAreClampedAndFormatted)
{
    struct Case {
        TValueType type;
        int decimal;
        double min, max, value;
        const char* text;
    };
    const Case cases[] = {
        {vtInteger, 2, 0, 99, 150, "99"},     {vtInteger, 2, 0, 99, -3, "0"},
        {vtInteger, 2, 0, 0, 250000, "250000"},   // equal limits: anything goes
        {vtInteger, 2, 0, 0, 2.5, "2"},       {vtInteger, 2, 0, 0, 3.5, "4"},   // halves to even
        {vtHex, 2, 0, 0, 255, "FF"},          {vtHex, 2, 0, 0, 0, "0"},
        {vtFloat, 2, 0, 0, 1.5, "1.50"},      {vtFloat, 0, 0, 0, 2.5, "3"},
        {vtFloat, 3, -1, 1, -7.25, "-1.000"},
    };
    for (const Case& c : cases) {
        TVzSpinEdit spin;
        spin.SetValueType(c.type);
        spin.SetDecimal(c.decimal);
        spin.SetMinValue(c.min);
        spin.SetMaxValue(c.max);
        spin.SetValue(c.value);
        EXPECT_EQ(spin.text(), QString::fromLatin1(c.text)) << c.value;
    }
}

TEST(SpinEdit, TextIsReadByTheValueTypeAndBadTextGivesMinValue)
{
    struct Case {
        TValueType type;
        const char* text;
        double min, value;
    };
    const Case cases[] = {
        {vtHex, "ff", 0, 255},    {vtHex, "FF", 0, 255},   {vtHex, "G1", 4.8, 4},
        {vtInteger, "42", 0, 42}, {vtInteger, "", 7.9, 7}, {vtInteger, "$10", 0, 0}, {vtInteger, "1.5", -2.5, -2},
        {vtFloat, "1e2", 0, 100}, {vtFloat, "x", 2.5, 2.5}, {vtFloat, "", 0, 0},
    };
    for (const Case& c : cases) {
        TVzSpinEdit spin;
        spin.SetValueType(c.type);
        spin.SetMinValue(c.min);
        spin.setText(QString::fromLatin1(c.text));
        EXPECT_EQ(spin.Value(), c.value) << c.text;
    }
    TVzSpinEdit spin;
    spin.setText(QStringLiteral("-7"));
    EXPECT_EQ(spin.GetIntValue(), -7);
    spin.SetValueType(vtFloat);
    spin.setText(QStringLiteral("-7.9"));
    EXPECT_EQ(spin.GetIntValue(), -7);   // truncated toward zero
    EXPECT_GE(TPropInfoList(&spin).FindProperty(QStringLiteral("Value")), 0);   // stored by the window storage
}

TEST(SpinEdit, LeavingClampsWhatWasTyped)
{
    TSpinForm f;
    f.Spin->SetMaxValue(99);
    f.Spin->setFocus(Qt::TabFocusReason);
    f.Spin->selectAll();
    QTest::keyClicks(f.Spin, QStringLiteral("150"));
    EXPECT_EQ(f.Spin->text(), QStringLiteral("150"));
    f.Leave();
    EXPECT_EQ(f.Spin->text(), QStringLiteral("99"));
    // Empty text reads as MinValue, which clamps to itself: it stays empty.
    f.Spin->setFocus(Qt::TabFocusReason);
    f.Spin->clear();
    f.Leave();
    EXPECT_TRUE(f.Spin->text().isEmpty());
}

TEST(SpinEdit, RefusedCharactersAndTheEditorSwitch)
{
    TSpinForm f;
    f.Spin->setFocus(Qt::TabFocusReason);
    f.Spin->SetValueType(vtHex);
    f.Spin->clear();
    QTest::keyClicks(f.Spin, QStringLiteral("$aZ9"));
    EXPECT_EQ(f.Spin->text(), QStringLiteral("a9"));
    f.Spin->SetValueType(vtFloat);
    f.Spin->clear();
    QTest::keyClicks(f.Spin, QStringLiteral("1.5.2e3e"));
    EXPECT_EQ(f.Spin->text(), QStringLiteral("1.52e3"));   // one separator, one exponent

    f.Spin->SetValueType(vtInteger);
    f.Spin->SetValue(5);
    f.Spin->SetEditorEnabled(false);
    f.Spin->setCursorPosition(1);
    QTest::keyClicks(f.Spin, QStringLiteral("7"));
    QTest::keyClick(f.Spin, Qt::Key_Backspace);
    QApplication::clipboard()->setText(QStringLiteral("123"));
    QTest::keyClick(f.Spin, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.Spin->text(), QStringLiteral("5"));
    QTest::keyClick(f.Spin, Qt::Key_Up);   // the arrows still spin
    EXPECT_EQ(f.Spin->text(), QStringLiteral("6"));
}

TEST(SpinEdit, KeysSpinAndTheEventsFollowTheText)
{
    TSpinForm f;
    f.Spin->SetMaxValue(3);
    int changes = 0, tops = 0, bottoms = 0;
    f.Spin->OnChange = [&](QObject*) { ++changes; };
    f.Spin->OnTopClick = [&](QObject*) { ++tops; };
    f.Spin->OnBottomClick = [&](QObject*) { ++bottoms; };
    f.Spin->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 4; ++i) QTest::keyClick(f.Spin, Qt::Key_Up);
    EXPECT_EQ(f.Spin->text(), QStringLiteral("3"));
    EXPECT_EQ(tops, 4);      // the spin at MaxValue still reports its click
    EXPECT_EQ(changes, 3);   // but changed nothing
    QTest::keyClick(f.Spin, Qt::Key_Down);
    EXPECT_EQ(bottoms, 1);
    QTest::keyClick(f.Spin, Qt::Key_PageUp);
    EXPECT_EQ(f.Spin->text(), QStringLiteral("2"));
    f.Spin->SetArrowKeys(false);
    QTest::keyClick(f.Spin, Qt::Key_Up);
    EXPECT_EQ(f.Spin->text(), QStringLiteral("2"));
    f.Spin->SetReadOnly(true);
    f.Spin->UpClick(f.Spin);
    EXPECT_EQ(f.Spin->text(), QStringLiteral("2"));
    EXPECT_EQ(tops, 4);

    TVzSpinEdit spin;
    spin.SetValueType(vtFloat);
    spin.SetIncrement(0.4);
    spin.SetValue(2.5);
    spin.SetValueType(vtInteger);
    EXPECT_EQ(spin.Increment(), 1);
    EXPECT_EQ(spin.text(), QStringLiteral("2"));
}

TEST(SpinButton, HalvesRepeatAndDragging)
{
    TSpinForm f;
    TVzSpinButton* b = f.Spin->SpinButton();
    ASSERT_NE(b, nullptr);
    const int side = b->width();
    EXPECT_EQ(side, 21 - 3);
    EXPECT_FALSE(b->InBottomHalf(2, 2));
    EXPECT_TRUE(b->InBottomHalf(side - 2, side - 2));
    EXPECT_FALSE(b->InBottomHalf(side / 2, side / 2));   // on the diagonal: upper
    f.Other->setFocus();
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_TRUE(f.Spin->hasFocus());
    EXPECT_EQ(f.Spin->text(), QStringLiteral("1"));
    EXPECT_EQ(b->Down(), sbTopDown);
    ASSERT_NE(b->RepeatTimer(), nullptr);
    EXPECT_EQ(b->RepeatTimer()->interval(), 400);
    b->TimerTick();
    b->TimerTick();
    EXPECT_EQ(f.Spin->text(), QStringLiteral("3"));
    EXPECT_EQ(b->RepeatTimer()->interval(), 100);
    // Dragged over the other half it is not pressed; back over its own half it is again.
    QTest::mouseMove(b, QPoint(side - 2, side - 2));
    EXPECT_EQ(b->Down(), sbNotDown);
    b->TimerTick();
    EXPECT_EQ(f.Spin->text(), QStringLiteral("3"));
    QTest::mouseMove(b, QPoint(3, 3));
    EXPECT_EQ(b->Down(), sbTopDown);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(b->Down(), sbNotDown);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(side - 3, side - 3));
    EXPECT_EQ(f.Spin->text(), QStringLiteral("2"));

    // The faces: the upper edge lit unless the upper half is pressed.
    TBitmap up(20, 20), top(20, 20);
    TVzSpinButton::DrawFace(up, sbNotDown, b->UpGlyph(), b->DownGlyph());
    TVzSpinButton::DrawFace(top, sbTopDown, b->UpGlyph(), b->DownGlyph());
    EXPECT_EQ(up.Pixel(1, 5), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(top.Pixel(1, 5), ColorToRGB(clBtnShadow));
    EXPECT_EQ(up.Pixel(0, 0), ColorToRGB(clWindowFrame));
}

TEST(SpinEdit, StandardButtonsStepTheValue)
{
    TSpinForm f;
    f.Spin->SetButtonKind(bkStandard);
    ASSERT_EQ(f.Spin->SpinButton(), nullptr);
    TVzUpDown* ud = f.Spin->UpDown();
    ASSERT_NE(ud, nullptr);
    EXPECT_EQ(ud->width(), DefaultSpinButtonWidth());
    EXPECT_EQ(ud->geometry().right(), f.Spin->width() - 3);
    EXPECT_LE(f.Spin->EditRect().right(), ud->x() - 2);
    QTest::mouseClick(ud, Qt::LeftButton, {}, QPoint(3, 2));
    QTest::mouseClick(ud, Qt::LeftButton, {}, QPoint(3, 2));
    QTest::mouseClick(ud, Qt::LeftButton, {}, QPoint(3, ud->height() - 2));
    EXPECT_EQ(f.Spin->text(), QStringLiteral("1"));
    ud->resize(40, ud->height());
    EXPECT_EQ(ud->width(), DefaultSpinButtonWidth());
}
