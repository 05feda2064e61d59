// The data-aware edit (picture typing, date auto-fill, writing back, exit validation, keys in a
// grid, painting) and the spin edit (stepping, limits, dates).

#include "gridlib/core/Kqdbspin.h"
#include "gridlib/core/kqdbedit.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"
#include "tests/gridlib/core/ControlTestObjects.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {
// A shown form with the edit under test and a second control that takes the focus away.
template <typename Edit>
struct TEditForm {
    QWidget form;
    Edit* edit;
    QLineEdit* other;
    TEditForm()
    {
        auto* layout = new QVBoxLayout(&form);
        edit = new Edit(&form);
        other = new QLineEdit(&form);
        layout->addWidget(edit);
        layout->addWidget(other);
        form.show();
        form.activateWindow();
        edit->setFocus();
        QCoreApplication::processEvents();
    }
    void Type(const QString& text)
    {
        for (QChar ch : text) QTest::keyClick(edit, ch.toLatin1());
    }
    void Leave()
    {
        other->setFocus();
        QCoreApplication::processEvents();
    }
};

// One record of typed fields, with a PictureMasks list.
struct TMaskedData {
    TListedDataSet ds;
    TDataSource source;
    explicit TMaskedData(std::initializer_list<std::pair<const char*, TFieldType>> fields, std::initializer_list<TVariant> row)
    {
        ds.Define(fields);
        ds.AddRow(row);
        source.SetDataSet(&ds);
        ds.Open();
    }
};

// Year, month, day, hour and minute.
QList<int> DateTimeParts(TDateTime value)
{
    int y, m, d, h, min, s, ms;
    DecodeDate(value, y, m, d);
    DecodeTime(value, h, min, s, ms);
    return {y, m, d, h, min};
}
} // namespace

// ---- Picture typing

TEST(DBEdit, PictureTypingFillsLiteralsAndRefusesAtTheEnd)
{
    TEditForm<TkqDBEdit> f;
    f.edit->Picture()->SetPictureMask(QStringLiteral("###-####"));
    QList<bool> checks;
    f.edit->OnCheckValue = [&](QObject*, bool passes) { checks.append(passes); };
    f.Type(QStringLiteral("555"));
    EXPECT_EQ(f.edit->text(), QStringLiteral("555-"));
    EXPECT_EQ(f.edit->cursorPosition(), 4);
    EXPECT_EQ(checks.last(), false);   // incomplete
    f.Type(QStringLiteral("1234"));
    EXPECT_EQ(f.edit->text(), QStringLiteral("555-1234"));
    EXPECT_EQ(checks.last(), true);
    f.Type(QStringLiteral("9"));   // at the end: refused
    EXPECT_EQ(f.edit->text(), QStringLiteral("555-1234"));
    EXPECT_TRUE(f.edit->isModified());
    // In the middle a refused key goes through and reports failure.
    f.edit->setCursorPosition(1);
    checks.clear();
    f.Type(QStringLiteral("x"));
    EXPECT_EQ(f.edit->text(), QStringLiteral("5x55-1234"));
    EXPECT_EQ(checks, QList<bool>{false});

    f.edit->setText(QString());
    f.edit->Picture()->SetPictureMask(QStringLiteral("&&&"));
    f.Type(QStringLiteral("abc"));
    EXPECT_EQ(f.edit->text(), QStringLiteral("ABC"));
    EXPECT_TRUE(f.edit->PassesPictureTest(QString()));   // empty always passes
}

TEST(DBEdit, MaskFromTheDataSetListAndOwnFlagWithoutAnEntry)
{
    TMaskedData d({{"Phone", ftWideString}, {"Code", ftWideString}}, {TVariant(QStringLiteral("")), TVariant(QStringLiteral(""))});
    d.ds.PictureMasks = {QStringLiteral("Phone\t###-####\tF\tT")};
    TkqDBEdit edit;
    edit.SetDataSource(&d.source);
    edit.SetDataField(QStringLiteral("Phone"));
    EXPECT_EQ(edit.Picture()->PictureMask(), QStringLiteral("###-####"));
    EXPECT_FALSE(edit.Picture()->AutoFill());
    edit.SetDataField(QStringLiteral("Code"));   // no entry: empty mask, the edit's own flag
    EXPECT_EQ(edit.Picture()->PictureMask(), QString());
    EXPECT_TRUE(edit.Picture()->AutoFill());
    edit.Picture()->SetPictureMask(QStringLiteral("&&"));
    EXPECT_EQ(d.ds.PictureMasks.size(), 2);
    edit.Picture()->SetPictureMaskFromDataSet(false);
    EXPECT_EQ(edit.Picture()->PictureMask(), QStringLiteral("&&"));
}

TEST(DBEdit, ExitWithAnInvalidValueKeepsFocusAndTheFieldWithTheMessage)
{
    TMaskedData d({{"Phone", ftWideString}}, {TVariant(QStringLiteral("555-0000"))});
    d.ds.PictureMasks = {QStringLiteral("Phone\t###-####\tT\tT")};
    TEditForm<TkqDBEdit> f;
    f.edit->SetDataSource(&d.source);
    f.edit->SetDataField(QStringLiteral("Phone"));
    QStringList shown;
    Application()->OnException = [&](const std::exception& e) { shown.append(QString::fromUtf8(e.what())); };
    f.edit->selectAll();
    f.Type(QStringLiteral("12"));
    EXPECT_EQ(d.ds.State(), dsEdit);
    EXPECT_EQ(f.edit->text(), QStringLiteral("12"));
    f.Leave();
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Invalid input value"))) << shown[0].toStdString();
    EXPECT_TRUE(f.edit->hasFocus());
    EXPECT_TRUE(f.edit->isModified());
    EXPECT_EQ(d.ds.FieldByName(QStringLiteral("Phone"))->AsString(), QStringLiteral("555-0000"));
    // Completing the text lets the focus go and writes the field.
    f.edit->selectAll();
    f.Type(QStringLiteral("1234567"));
    f.Leave();
    EXPECT_EQ(shown.size(), 1);
    EXPECT_FALSE(f.edit->hasFocus());
    EXPECT_EQ(d.ds.FieldByName(QStringLiteral("Phone"))->AsString(), QStringLiteral("123-4567"));
    // The dataset's invalid-value handler takes the failure instead of the message.
    d.ds.Post();
}

TEST(DBEdit, UnboundExitWithAnIncompletePictureTakesTheFocusBack)
{
    TEditForm<TkqDBEdit> f;
    f.edit->Picture()->SetPictureMask(QStringLiteral("##"));
    f.Type(QStringLiteral("1"));
    f.Leave();
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.edit->ExitFailed());
    EXPECT_TRUE(f.edit->hasFocus());
    f.edit->Picture()->SetAllowInvalidExit(true);
    f.Leave();
    EXPECT_FALSE(f.edit->ExitFailed());
    EXPECT_FALSE(f.edit->hasFocus());
}

// ---- Writing the field

TEST(DBEdit, WritesDatesWithThePivotAndDisplayedNumbers)
{
    TMaskedData d({{"When", ftDateTime}, {"Amount", ftFloat}, {"Count", ftInteger}},
                  {TVariant::Null(), TVariant::Null(), TVariant::Null()});
    static_cast<TNumericField*>(d.ds.FieldByName(QStringLiteral("Amount")))
        ->SetDisplayFormat(QStringLiteral("#,##0.00;(#,##0.00)"));
    static_cast<TNumericField*>(d.ds.FieldByName(QStringLiteral("Count")))->SetDisplayFormat(QStringLiteral("0"));
    TEditForm<TkqDBEdit> f;
    f.edit->SetDataSource(&d.source);
    // Texts as the display format shows them come in through the clipboard (typing filters
    // the characters a number field takes).
    struct Case { const char* field; int epoch; const char* text; };
    const Case cases[] = {{"When", 2000, "3/4/99"}, {"Amount", 0, "(1,234.50)"}, {"Count", 0, "2.5"}};
    for (const Case& c : cases) {
        f.edit->SetDataField(QString::fromLatin1(c.field));
        f.edit->EpochYear = c.epoch;
        f.edit->setFocus();
        f.edit->selectAll();
        QApplication::clipboard()->setText(QString::fromLatin1(c.text));
        QTest::keyClick(f.edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(f.edit->text(), QString::fromLatin1(c.text));
        f.Leave();
    }
    d.ds.Post();
    EXPECT_EQ(DateTimeParts(d.ds.FieldByName(QStringLiteral("When"))->AsDateTime()), QList<int>({2099, 3, 4, 0, 0}));
    EXPECT_DOUBLE_EQ(d.ds.FieldByName(QStringLiteral("Amount"))->AsFloat(), -1234.5);
    EXPECT_EQ(d.ds.FieldByName(QStringLiteral("Count"))->AsInteger(), 2);   // half to even
}

TEST(DBEdit, TwoDigitYearBelowThePivotGoesToTheNextCentury)
{
    TMaskedData d({{"When", ftDateTime}}, {TVariant::Null()});
    TEditForm<TkqDBEdit> f;
    f.edit->SetDataSource(&d.source);
    f.edit->SetDataField(QStringLiteral("When"));
    f.edit->setFocus();
    f.Type(QStringLiteral("1/2/49 10:30"));
    f.Leave();
    d.ds.Post();
    EXPECT_EQ(DateTimeParts(d.ds.FieldByName(QStringLiteral("When"))->AsDateTime()), QList<int>({2049, 1, 2, 10, 30}));
}

// ---- Date auto-fill

TEST(DBEdit, SpaceCompletesADateTimePartByPart)
{
    TEditForm<TkqDBEdit> f;
    f.edit->SetUnboundDataType(kqEdtDateTime);
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = QStringLiteral("%1/%2/%3").arg(now.date().month()).arg(now.date().day()).arg(now.date().year());
    QStringList steps;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(f.edit, Qt::Key_Space);
        steps.append(f.edit->text());
    }
    EXPECT_EQ(steps[0], QStringLiteral("%1/").arg(now.date().month()));
    EXPECT_EQ(steps[1], QStringLiteral("%1/%2/").arg(now.date().month()).arg(now.date().day()));
    EXPECT_EQ(steps[2], date);
    EXPECT_EQ(steps[3], date + QLatin1Char(' '));
    EXPECT_TRUE(steps[4].startsWith(date + QLatin1Char(' ')) && steps[4].endsWith(QLatin1Char(':')));
    EXPECT_EQ(steps[5].count(QLatin1Char(':')), 2);
    EXPECT_EQ(steps[6].size(), steps[5].size() + 2);
    EXPECT_TRUE(steps[7].endsWith(QLatin1String(" AM")) || steps[7].endsWith(QLatin1String(" PM")));
    EXPECT_TRUE(f.edit->isModified());

    // A month typed by hand gets only its separator; Ctrl+Space never fills.
    f.edit->setText(QString());
    f.Type(QStringLiteral("12"));
    QTest::keyClick(f.edit, Qt::Key_Space);
    EXPECT_EQ(f.edit->text(), QStringLiteral("12/"));
    f.edit->setText(QString());
    QTest::keyClick(f.edit, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(f.edit->text().trimmed(), QString());
}

// ---- Keys inside a grid

TEST(DBEdit, GridKeysGoToTheGrid)
{
    TkqDBGrid grid;
    grid.resize(300, 200);
    auto* edit = new TkqDBEdit(&grid);
    edit->setGeometry(10, 10, 100, 20);
    grid.show();
    edit->setFocus();
    QCoreApplication::processEvents();
    edit->setText(QStringLiteral("abc"));
    edit->setCursorPosition(3);
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(grid.Keys, QList<int>{VK_DOWN});
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(grid.Keys.size(), 1);
    // Right at the end moves on only with the editor always shown.
    edit->setCursorPosition(3);
    QTest::keyClick(edit, Qt::Key_Right);
    EXPECT_EQ(grid.Keys.size(), 1);
    grid.ShowEditor = true;
    QTest::keyClick(edit, Qt::Key_Right);
    EXPECT_EQ(grid.Keys.last(), VK_RIGHT);
    // The grid's key press sees typed characters first.
    edit->setFocus();
    QTest::keyClick(edit, 'x');
    EXPECT_EQ(grid.Chars.last(), QLatin1Char('x'));
}

// ---- Painting

TEST(DBEdit, UnfocusedRightAlignedTextSitsAtTheRightAndTheFrameShows)
{
    TMaskedData d({{"N", ftInteger}}, {TVariant(7)});
    d.ds.FieldByName(QStringLiteral("N"))->SetAlignment(taRightJustify);
    QWidget form;
    auto* edit = new TkqDBEdit(&form);
    edit->resize(120, 22);
    edit->SetDataSource(&d.source);
    edit->SetDataField(QStringLiteral("N"));
    edit->SetColor(clWhite);
    const QImage image = edit->grab().toImage();
    int rightmostDark = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 4; y < image.height() - 4; ++y)
            if (image.pixelColor(x, y).lightness() < 100) rightmostDark = std::max(rightmostDark, x);
    EXPECT_GT(rightmostDark, 100);
    EXPECT_LT(rightmostDark, 118);

    // A frame: unfocused only its bottom edge.
    edit->Frame()->SetEnabled(true);
    EXPECT_EQ(edit->BorderStyle(), 0);
    const QImage framed = edit->grab().toImage();
    EXPECT_EQ(framed.pixelColor(60, framed.height() - 1), ColorToQColor(ColorToRGB(clWindowFrame)));
    EXPECT_EQ(framed.pixelColor(60, 0), QColor(Qt::white));
}

// ---- Spin edit

TEST(DBSpinEdit, StepsClampAndReadEmptyAsMinValue)
{
    TkqDBSpinEdit spin;
    struct Case { double min, max, start, increment; bool up; double expected; };
    const Case cases[] = {
        {0, 0, 5, 1, true, 6},       // no limits
        {0, 0, -3, 2, false, -5},
        {5, 5, 9, 1, true, 5},       // every value becomes 5
        {0, 10, 10, 1, true, 10},
        {0, 10, 0, 3, false, 0},
    };
    for (const Case& c : cases) {
        spin.SetMinValue(c.min);
        spin.SetMaxValue(c.max);
        spin.SetIncrement(c.increment);
        spin.setText(QString::number(c.start));
        if (c.up) spin.UpClick();
        else spin.DownClick();
        EXPECT_DOUBLE_EQ(spin.Value(), c.expected) << c.min << " " << c.max << " " << c.start;
    }
    // The frame and the button effects are found by their published names.
    EXPECT_EQ(GetControlFrame(&spin), spin.Frame());
    EXPECT_EQ(GetControlButtonEffects(&spin), spin.ButtonEffects());
    spin.SetMinValue(2);
    spin.SetMaxValue(9);
    spin.SetIncrement(1);
    spin.setText(QString());
    EXPECT_DOUBLE_EQ(spin.Value(), 2);
    spin.UpClick();
    EXPECT_EQ(spin.text(), QStringLiteral("3"));
}

TEST(DBSpinEdit, WritesTheFieldOnPostAndRefusesOnReadOnly)
{
    TMaskedData d({{"Size", ftInteger}}, {TVariant(50)});
    d.ds.AddRow({TVariant::Null()});
    TEditForm<TkqDBSpinEdit> f;
    f.edit->SetMaxValue(32565);
    f.edit->SetDataSource(&d.source);
    f.edit->SetDataField(QStringLiteral("Size"));
    EXPECT_EQ(f.edit->text(), QStringLiteral("50"));
    QTest::keyClick(f.edit, Qt::Key_Up);
    EXPECT_EQ(d.ds.State(), dsEdit);
    EXPECT_EQ(f.edit->text(), QStringLiteral("51"));
    d.ds.Post();
    EXPECT_EQ(d.ds.FieldByName(QStringLiteral("Size"))->AsInteger(), 51);
    // Typing a letter into a number edit beeps and is dropped.
    f.edit->setCursorPosition(2);
    QTest::keyClick(f.edit, 'a');
    EXPECT_EQ(f.edit->text(), QStringLiteral("51"));
    f.edit->SetReadOnly(true);
    f.edit->UpClick();
    EXPECT_EQ(d.ds.State(), dsBrowse);
    EXPECT_EQ(f.edit->text(), QStringLiteral("51"));
    // Without the editor only the buttons and arrows change the value.
    f.edit->SetReadOnly(false);
    f.edit->SetEditorEnabled(false);
    f.edit->setCursorPosition(2);
    QTest::keyClick(f.edit, '9');
    QTest::keyClick(f.edit, Qt::Key_Backspace);
    EXPECT_EQ(f.edit->text(), QStringLiteral("51"));
    QTest::mouseClick(f.edit->SpinButton()->DownButton(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(f.edit->text(), QStringLiteral("50"));
    // A null field shows an empty text.
    d.ds.Post();
    d.ds.Next();
    EXPECT_TRUE(f.edit->text().isEmpty());
}

TEST(DBSpinEdit, DatePartsStepWithinTheirRanges)
{
    TkqDBSpinEdit spin;
    spin.SetUnboundDataType(kqEdtDateTime);
    struct Case { const char* start; int caret; bool up; const char* expected; };
    const Case cases[] = {
        {"1/31/2001 10:00:00 AM", 2, true, "1/1/2001 10:00:00 AM"},    // the day wraps in its month
        {"1/31/2001 10:00:00 AM", 0, true, "2/28/2001 10:00:00 AM"},   // 31 January, a month on
        {"1/31/2004 10:00:00 AM", 0, true, "2/29/2004 10:00:00 AM"},
        {"3/5/2001 12:00:00 AM", 9, false, "3/5/2001 11:00:00 PM"},    // the hour 0 down keeps the date
        {"3/5/2001 10:00:00 AM", 19, true, "3/5/2001 10:00:00 PM"},    // AM/PM by 12 hours
    };
    for (const Case& c : cases) {
        spin.setText(QString::fromLatin1(c.start));
        spin.setCursorPosition(c.caret);
        if (c.up) spin.UpClick();
        else spin.DownClick();
        EXPECT_EQ(spin.text(), QString::fromLatin1(c.expected)) << c.start << " caret " << c.caret;
    }
}
