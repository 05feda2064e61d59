#include "gridlib/core/kqSystem.h"
#include "tests/common/TestSupport.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace {
// Regional settings pinned per test: month-day-year with "/", day-month-year with "." and
// month names, year-month-day with "-".
TFormatSettings UsSettings()
{
    return TFormatSettings::Standard();
}
TFormatSettings DmySettings()
{
    TFormatSettings fs = TFormatSettings::Standard();
    fs.ShortDateFormat = QStringLiteral("dd.mm.yyyy");
    fs.DateSeparator = QLatin1Char('.');
    fs.DecimalSeparator = QLatin1Char(',');
    fs.ThousandSeparator = QLatin1Char('.');
    fs.TimeAMString = QStringLiteral("vorm.");
    fs.TimePMString = QStringLiteral("nachm.");
    fs.ShortMonthNames[0] = QStringLiteral("Jan");
    fs.ShortMonthNames[2] = QStringLiteral("M\u00e4r");
    return fs;
}
TFormatSettings YmdSettings()
{
    TFormatSettings fs = TFormatSettings::Standard();
    fs.ShortDateFormat = QStringLiteral("yyyy-mm-dd");
    fs.DateSeparator = QLatin1Char('-');
    return fs;
}

TDateTime D(int y, int m, int d)
{
    return EncodeDate(y, m, d);
}
} // namespace

TEST(DateText, DatesBothOrders)
{
    const TFormatSettings us = UsSettings(), dmy = DmySettings(), ymd = YmdSettings();
    const int year = CurrentYear();
    struct Case {
        const TFormatSettings* Fs;
        const char* Text;
        bool Valid;       // the whole text is a date
        TDateTime Date;   // 0 when no date is read
    } cases[] = {
        {&us, "2/29/2000", true, D(2000, 2, 29)},
        {&us, "2/29/1900", false, 0},
        {&us, "13/1/2001", false, 0},
        {&us, "1/5", true, D(year, 1, 5)},
        {&us, " 1 / 5 / 2003 ", true, D(2003, 1, 5)},
        {&us, "12/31/12345", false, D(1234, 12, 31)},   // the fifth digit stays unread
        {&us, "1/2/2003 10:00", false, D(2003, 1, 2)},
        {&us, "jan/5/03", true, D(2003, 1, 5)},
        {&dmy, "5.jan.2003", true, D(2003, 1, 5)},
        {&dmy, "5.M\u00c4R.2003", true, D(2003, 3, 5)},
        {&dmy, "31.12.99", true, D(1999, 12, 31)},
        {&dmy, "5.1", true, D(year, 1, 5)},
        {&ymd, "2003-01-05", true, D(2003, 1, 5)},
        {&ymd, "03-1-5", true, D(2003, 1, 5)},
        {&us, "", false, 0},
        {&us, "1/", false, 0},
        {&us, "x", false, 0},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        EXPECT_EQ(IsValidDateText(text, *c.Fs), c.Valid) << c.Text;
        EXPECT_EQ(TextToDateOrZero(text, *c.Fs), c.Date) << c.Text;
    }
}

TEST(DateText, TwoDigitYearsAroundThePivot)
{
    const TFormatSettings us = UsSettings();
    struct Case {
        const char* Year;
        int Pivot;
        int Expected;
    } cases[] = {
        {"49", 1950, 2049}, {"50", 1950, 1950}, {"0", 1950, 2000},  {"99", 1950, 1999},
        {"0049", 1950, 2049}, {"99", 2000, 2099}, {"0", 2000, 2000}, {"30", 1930, 1930},
        {"29", 1930, 2029},  {"100", 1950, 100}, {"1949", 1950, 1949},
    };
    for (const Case& c : cases) {
        TDateTime d = 0;
        ASSERT_TRUE(ParseDateTextPivot(QStringLiteral("3/4/") + QLatin1String(c.Year), d, c.Pivot, us)) << c.Year;
        int y, m, day;
        DecodeDate(d, y, m, day);
        EXPECT_EQ(y, c.Expected) << c.Year << " pivot " << c.Pivot;
    }
}

TEST(DateText, Times)
{
    const TFormatSettings us = UsSettings(), dmy = DmySettings();
    struct Case {
        const TFormatSettings* Fs;
        const char* Text;
        bool Valid;
        int Hour, Minute, Second;
    } cases[] = {
        {&us, "12:00 AM", true, 0, 0, 0},
        {&us, "12:30 PM", true, 12, 30, 0},
        {&us, "1:05:09 pm", true, 13, 5, 9},
        {&us, "13:00 PM", false, 0, 0, 0},
        {&us, "0:15 AM", false, 0, 0, 0},
        {&us, "10:61", false, 0, 0, 0},
        {&us, "10:30:", false, 0, 0, 0},
        {&us, "23:59:59", true, 23, 59, 59},
        {&us, "24:00", false, 0, 0, 0},
        {&dmy, "9:15 nachm.", true, 21, 15, 0},
        {&dmy, "9:15 PM", true, 21, 15, 0},   // the English marker is read in every region
        {&us, "10", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        EXPECT_EQ(IsValidTimeText(text, *c.Fs), c.Valid) << c.Text;
        const TDateTime expected = c.Valid ? EncodeTime(c.Hour, c.Minute, c.Second, 0) : 0;
        EXPECT_DOUBLE_EQ(TextToTimeOrZero(text, *c.Fs), expected) << c.Text;
    }
}

TEST(DateText, DatesWithTimes)
{
    const TFormatSettings us = UsSettings();
    EXPECT_TRUE(IsValidDateTimeText(QStringLiteral("1/2/2003 10:30"), us));
    EXPECT_FALSE(IsValidDateTimeText(QStringLiteral("1/2/2003"), us));
    EXPECT_FALSE(IsValidDateTimeText(QStringLiteral("1/2/2003 10:30 x"), us));
    EXPECT_DOUBLE_EQ(TextToDateTimeOrZero(QStringLiteral("1/2/2003 6:00 PM"), us), D(2003, 1, 2) + 0.75);
    // Before the epoch the time counts away from day 0, as every date-time value does.
    EXPECT_DOUBLE_EQ(TextToDateTimeOrZero(QStringLiteral("12/29/1899 6:00"), us), -1.25);
    EXPECT_EQ(TextToDateTimeOrZero(QStringLiteral("1/2/2003"), us), 0);
}

TEST(NumberText, IntegersAndFloats)
{
    const struct {
        const char* Text;
        bool Integer;
    } ints[] = {{"", true}, {"-", false}, {"-12", true}, {"1-2", false}, {"007", true}, {"1.0", false}, {" 1", false}};
    for (const auto& c : ints) EXPECT_EQ(IsIntegerText(QString::fromLatin1(c.Text)), c.Integer) << c.Text;

    const TFormatSettings us = UsSettings(), dmy = DmySettings();
    EXPECT_TRUE(IsValidFloatText(QString(), us));
    EXPECT_TRUE(IsValidFloatText(QStringLiteral("-1.5e3"), us));
    EXPECT_FALSE(IsValidFloatText(QStringLiteral("1,5"), us));
    EXPECT_TRUE(IsValidFloatText(QStringLiteral("1,5"), dmy));
    EXPECT_FALSE(IsValidFloatText(QStringLiteral("1,000.5"), us));
    // Only the first 63 characters are read.
    EXPECT_TRUE(IsValidFloatText(QString(63, QLatin1Char('1')) + QStringLiteral("x"), us));
}

TEST(NumberText, DisplayedFloats)
{
    const TFormatSettings us = UsSettings(), dmy = DmySettings();
    struct Case {
        const TFormatSettings* Fs;
        const char* Text;
        const char* Format;
        bool Ok;
        double Value;
    } cases[] = {
        {&us, "$(1,234.50)", "", true, -1234.5},
        {&us, "1,234.50", "#,##0.00", true, 1234.5},
        {&us, "-$12.00", "", true, -12},
        {&us, "((12))", "", false, 7},
        {&us, "abc", "", false, 7},
        {&us, "", "", true, 7},                    // empty: success, value untouched
        {&us, "12.50CR", "#,##0.00;#,##0.00CR", true, -12.5},
        {&us, "12.50", "#,##0.00;#,##0.00CR", true, 12.5},
        {&us, ".5", "", true, 0.5},
        {&dmy, "1.234,50 \u20ac", "", true, 1234.5},
    };
    for (const Case& c : cases) {
        double value = 7;
        EXPECT_EQ(ParseDisplayedFloat(QString::fromUtf8(c.Text), value, QString::fromLatin1(c.Format), *c.Fs), c.Ok)
            << c.Text;
        EXPECT_DOUBLE_EQ(value, c.Value) << c.Text;
    }
}

TEST(DateText, CalendarHelpers)
{
    EXPECT_EQ(GetDateOrder(QStringLiteral("m/d/yyyy")), 0);
    EXPECT_EQ(GetDateOrder(QStringLiteral("dd.MM.yyyy")), 1);
    EXPECT_EQ(GetDateOrder(QStringLiteral("yyyy-mm-dd")), 2);
    EXPECT_EQ(GetDateOrder(QStringLiteral("---")), 0);
    EXPECT_EQ(NextDayInMonth(2000, 2, 28), 29);
    EXPECT_EQ(NextDayInMonth(2000, 2, 29), 1);
    EXPECT_EQ(NextDayInMonth(1900, 2, 28), 1);
    EXPECT_EQ(PrevDayInMonth(2001, 4, 1), 30);
    EXPECT_EQ(PrevDayInMonth(2001, 4, 12), 11);
    TDateTime v;
    EXPECT_FALSE(EncodeDateChecked(10000, 1, 1, v));
    EXPECT_FALSE(EncodeDateChecked(2001, 2, 29, v));
    EXPECT_TRUE(EncodeTimeChecked(23, 59, 59, 999, v));
    EXPECT_FALSE(EncodeTimeChecked(0, 60, 0, 0, v));
}

TEST(DateText, PartAtCaret)
{
    const TFormatSettings us = UsSettings(), dmy = DmySettings();
    // "12/25/2003 10:30:45 PM": the caret before character caretPos + 1.
    const QString text = QStringLiteral("12/25/2003 10:30:45 PM");
    struct Case {
        int Caret;
        TkqDateTimePart Part;
    } cases[] = {
        {0, dtpMonth}, {2, dtpMonth}, {3, dtpDay}, {5, dtpDay}, {6, dtpYear}, {10, dtpYear},
        {11, dtpHour}, {13, dtpHour}, {14, dtpMinute}, {16, dtpMinute}, {17, dtpSecond}, {19, dtpSecond},
        {20, dtpAmPm}, {22, dtpAmPm},
    };
    for (const Case& c : cases) EXPECT_EQ(DateTimePartAtCaret(c.Caret, text, false, us), c.Part) << c.Caret;
    EXPECT_EQ(DateTimePartAtCaret(1, QStringLiteral("5.1.2003"), false, dmy), dtpDay);
    EXPECT_EQ(DateTimePartAtCaret(3, QStringLiteral("5.1.2003"), false, dmy), dtpMonth);
    // Time only: the date scan plays no part.
    EXPECT_EQ(DateTimePartAtCaret(4, QStringLiteral("10:30"), true, us), dtpMinute);
    EXPECT_EQ(TimePartAtCaret(0, QStringLiteral("10:30"), us), dtpHour);
    EXPECT_EQ(TimePartAtCaret(1, QStringLiteral("10:30"), us), dtpHour);
    EXPECT_EQ(TimePartAtCaret(3, QStringLiteral("10:30"), us), dtpMinute);
}

TEST(DateText, SelectingParts)
{
    const TFormatSettings us = UsSettings();
    QLineEdit edit;
    edit.setText(QStringLiteral("12/25/2003 9:05 PM"));
    struct Case {
        TkqDateTimePart Part;
        const char* Selected;
    } cases[] = {{dtpMonth, "12"}, {dtpDay, "25"}, {dtpYear, "2003"}, {dtpHour, "9"}, {dtpMinute, "05"}};
    for (const Case& c : cases) {
        SelectDateTimePart(c.Part, &edit, false, us);
        EXPECT_EQ(edit.selectedText(), QString::fromLatin1(c.Selected)) << int(c.Part);
    }
    edit.setText(QStringLiteral("9:05:07 AM"));
    SelectDateTimePart(dtpSecond, &edit, true, us);
    EXPECT_EQ(edit.selectedText(), QStringLiteral("07"));
    SelectDateTimePart(dtpAmPm, &edit, true, us);
    EXPECT_EQ(edit.selectedText(), QStringLiteral("AM"));
    // No date to find: nothing selected.
    edit.setText(QStringLiteral("9:05"));
    SelectDateTimePart(dtpHour, &edit, false, us);
    EXPECT_FALSE(edit.hasSelectedText());
}
