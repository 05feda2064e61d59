#include "platform/core/SysFormat.h"

#include <QDate>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

TFormatSettings German()
{
    TFormatSettings fs = TFormatSettings::Standard();
    fs.DateSeparator = '.';
    fs.ShortDateFormat = QStringLiteral("dd/mm/yyyy");
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    fs.LongTimeFormat = QStringLiteral("hh:nn:ss");
    return fs;
}

} // namespace

TEST(FormatDateTime, FormatLetters)
{
    const TDateTime t = At(2003, 2, 1, 14, 5, 9, 7);   // a Saturday
    struct Case { const char* fmt; TDateTime value; const char* expected; };
    const Case cases[] = {
        {"d/m/yy", t, "1/2/03"},
        {"dd/mm/yyyy", t, "01/02/2003"},
        {"ddd dddd", t, "Sat Saturday"},
        {"mmm mmmm", t, "Feb February"},
        {"hh:nn:ss.zzz", t, "14:05:09.007"},
        {"h:n:s.z", t, "14:5:9.7"},
        {"hh:mm", t, "14:05"},                      // m right after h means minutes
        {"hh:nn mm", t, "14:05 02"},                // ... but not after another letter
        {"h:mm am/pm", t, "2:05 pm"},
        {"h:mm AM/PM", t, "2:05 PM"},
        {"h a/p", t, "2 p"},
        {"h ampm", t, "2 PM"},
        {"h am/pm", At(2003, 2, 1, 0, 30), "12 am"},
        {"h am/pm", At(2003, 2, 1, 12, 30), "12 pm"},
        {"c", t, "2/1/2003 2:05:09 PM"},
        {"c", At(2003, 2, 1), "2/1/2003"},            // no time of day: date only
        {"", t, "2/1/2003 2:05:09 PM"},
        {"ddddd", t, "2/1/2003"},
        {"dddddd", t, "Saturday, February 1, 2003"},
        {"t", t, "2:05 PM"},
        {"tt", t, "2:05:09 PM"},
        {"\"Day\" d 'of' mmmm", t, "Day 1 of February"},
        {"yyyy-mm-dd", t, "2003-02-01"},
        {"YYYY/MM/DD", t, "2003/02/01"},
        {"d.m.yyyy x", At(1899, 12, 30), "30.12.1899 x"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.fmt, c.value), QString(c.expected)) << c.fmt;

    const TFormatSettings de = German();
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", t, de), QStringLiteral("2003.02.01 14:05"));
    EXPECT_EQ(DateToStr(t, de), QStringLiteral("01.02.2003"));
    EXPECT_EQ(TimeToStr(t, de), QStringLiteral("14:05:09"));
    EXPECT_EQ(DateTimeToStr(t, de), QStringLiteral("01.02.2003 14:05:09"));
}

TEST(StrToDateTime, Parsing)
{
    struct Case { const char* text; bool ok; TDateTime expected; };
    const Case dates[] = {
        {"2/1/2003", true, At(2003, 2, 1)},
        {" 2 / 1 / 2003 ", true, At(2003, 2, 1)},
        {"12/31/99", true, At(1999, 12, 31)},     // two-digit years fall in the century window
        {"1/2/03", true, At(2003, 1, 2)},
        {"2/29/2004", true, At(2004, 2, 29)},
        {"2/29/2003", false, 0},
        {"13/1/2003", false, 0},
        {"1/2/2003x", false, 0},
        {"abc", false, 0},
        {"", false, 0},
        {"1-2-2003", false, 0},
    };
    for (const Case& c : dates) {
        TDateTime v = -1;
        EXPECT_EQ(TryStrToDate(c.text, v), c.ok) << c.text;
        if (c.ok) { EXPECT_EQ(v, c.expected) << c.text; }
    }
    TDateTime v;
    ASSERT_TRUE(TryStrToDate("3/4", v));      // without a year: this year
    EXPECT_EQ(v, At(QDate::currentDate().year(), 3, 4));

    const Case times[] = {
        {"14:05", true, EncodeTime(14, 5, 0, 0)},
        {"14", true, EncodeTime(14, 0, 0, 0)},
        {"2:05 PM", true, EncodeTime(14, 5, 0, 0)},
        {"12:00 am", true, 0},
        {"AM 9:15", true, EncodeTime(9, 15, 0, 0)},
        {"14:05:09.5", true, EncodeTime(14, 5, 9, 500)},   // a fraction of a second
        {"14:05:09.007", true, EncodeTime(14, 5, 9, 7)},
        {"25:00", false, 0},
        {"13:00 PM", false, 0},
        {"14:5x", false, 0},
    };
    for (const Case& c : times) {
        TDateTime t = -1;
        EXPECT_EQ(TryStrToTime(c.text, t), c.ok) << c.text;
        if (c.ok) { EXPECT_NEAR(t, c.expected, 1e-9) << c.text; }
    }

    EXPECT_NEAR(StrToDateTime("2/1/2003 14:05:09"), At(2003, 2, 1, 14, 5, 9), 1e-9);
    EXPECT_NEAR(StrToDateTime("2/1/2003 2:05 PM"), At(2003, 2, 1, 14, 5), 1e-9);
    EXPECT_NEAR(StrToDateTime("14:05"), EncodeTime(14, 5, 0, 0), 1e-9);
    EXPECT_THROW(StrToDateTime("2/1/2003 junk"), EConvertError);
    try {
        StrToDate("31/31/2003");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'31/31/2003' is not a valid date"));
    }

    // Orders and separators follow the settings.
    const TFormatSettings de = German();
    EXPECT_EQ(StrToDate("31.12.2003", de), At(2003, 12, 31));
    TFormatSettings iso = TFormatSettings::Standard();
    iso.ShortDateFormat = QStringLiteral("yyyy/mm/dd");
    iso.DateSeparator = '-';
    EXPECT_EQ(StrToDate("2003-02-01", iso), At(2003, 2, 1));
    EXPECT_EQ(StrToDate(DateToStr(At(1950, 6, 7), iso), iso), At(1950, 6, 7));
}

TEST(FormatFloat, Sections)
{
    struct Case { const char* fmt; double value; const char* expected; };
    const Case cases[] = {
        {"0.00", 1234.567, "1234.57"},
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0", -1234, "-1,234"},
        {"#,##0.00", 0, "0.00"},
        {"#.##", 0.5, ".5"},
        {"0.##", 1.5, "1.5"},
        {"0.##", 1, "1"},
        {"0.0#", 1, "1.0"},
        {"000", 7, "007"},
        {"#", 0, ""},
        {"0", 2.5, "3"},                              // half away from zero
        {"0.00", 2.675, "2.68"},                      // as the number reads, not its binary
        {"0.00;(0.00)", -12.5, "(12.50)"},
        {"0.00;(0.00)", 12.5, "12.50"},
        {"0.00;;Zero", 0, "Zero"},
        {"0.00;;Zero", 0.001, "Zero"},                // rounds to zero
        {"0.00;;Zero", -3, "-3.00"},                  // empty negative section: the first one
        {"0.0", -0.04, "0.0"},
        {"\"$\"#,##0.00", 5, "$5.00"},
        {"0.00 'kg'", 3.14159, "3.14 kg"},
        {"0.00E+00", 1234.5, "1.23E+03"},
        {"0.0E-0", 0.00012, "1.2E-4"},
        {"00.0E+0", 1234.5, "12.3E+2"},
        {"0.00E+00", 0, "0.00E+00"},
        {"", 1.5, "1.5"},
        {"#,##0.00", 123456789012.345, "123,456,789,012.35"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatFloat(c.fmt, c.value), QString(c.expected)) << c.fmt << " " << c.value;
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, German()), QStringLiteral("1.234,50"));
}

TEST(FloatToStr, GeneralAndOtherFormats)
{
    struct Case { double value; const char* expected; };
    const Case cases[] = {
        {0, "0"}, {1.5, "1.5"}, {-1.5, "-1.5"}, {100, "100"}, {1e20, "1E20"}, {1.5e-7, "1.5E-7"},
        {0.0001, "0.0001"}, {0.00001, "1E-5"}, {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E15"}, {0.1 + 0.2, "0.3"}, {1.0 / 3, "0.333333333333333"},
        {-2.5e-10, "-2.5E-10"},
    };
    for (const Case& c : cases) EXPECT_EQ(FloatToStr(c.value), QString(c.expected)) << c.value;
    EXPECT_EQ(FloatToStr(std::nan("")), QStringLiteral("NAN"));
    EXPECT_EQ(FloatToStr(-INFINITY), QStringLiteral("-INF"));
    EXPECT_EQ(FloatToStr(2.5, German()), QStringLiteral("2,5"));

    EXPECT_EQ(FloatToStrF(1234.5, ffFixed, 15, 2), QStringLiteral("1234.50"));
    EXPECT_EQ(FloatToStrF(1234.5, ffNumber, 15, 2), QStringLiteral("1,234.50"));
    EXPECT_EQ(FloatToStrF(1234.5, ffCurrency, 15, 2), QStringLiteral("$1,234.50"));
    EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2), QStringLiteral("($1,234.50)"));
    EXPECT_EQ(FloatToStrF(1234.5, ffExponent, 4, 2), QStringLiteral("1.235E+03"));
    EXPECT_EQ(FloatToStrF(1e30, ffFixed, 15, 2), QStringLiteral("1.00000000000000E+30"));

    EXPECT_EQ(CurrToStr(TCurrency::FromScaled(125000)), QStringLiteral("12.5"));
    EXPECT_EQ(CurrToStr(TCurrency()), QStringLiteral("0"));
    EXPECT_EQ(CurrToStr(TCurrency::FromScaled(-1)), QStringLiteral("-0.0001"));
    EXPECT_EQ(CurrToStr(TCurrency::FromScaled(std::numeric_limits<qint64>::max())), QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(CurrToStrF(TCurrency::FromScaled(12345678), ffCurrency, 2), QStringLiteral("$1,234.57"));
}

TEST(StrToNumber, FloatsCurrencyAndIntegers)
{
    struct FloatCase { const char* text; bool ok; double value; };
    const FloatCase floats[] = {
        {" 1.5 ", true, 1.5}, {"-1e3", true, -1000}, {"+.5", true, 0.5}, {"1.", true, 1}, {"2E-2", true, 0.02},
        {"1,5", false, 0}, {"abc", false, 0}, {"", false, 0}, {"-", false, 0}, {"1e", false, 0},
        {"1.5.2", false, 0}, {"1e999", false, 0}, {"1 000", false, 0},
    };
    for (const FloatCase& c : floats) {
        double v = -7;
        EXPECT_EQ(TryStrToFloat(c.text, v), c.ok) << c.text;
        if (c.ok) { EXPECT_DOUBLE_EQ(v, c.value) << c.text; }
    }
    EXPECT_DOUBLE_EQ(StrToFloat("1,5", German()), 1.5);
    try {
        StrToFloat("x1");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'x1' is not a valid floating point value"));
    }

    struct CurrCase { const char* text; bool ok; qint64 scaled; };
    const CurrCase currs[] = {
        {"12.5", true, 125000}, {"-0.00005", true, -1}, {"0.00004", true, 0}, {"1e2", true, 1000000},
        {"922337203685477.5807", true, std::numeric_limits<qint64>::max()},
        {"922337203685477.5808", false, 0}, {"1e30", false, 0}, {"x", false, 0},
    };
    for (const CurrCase& c : currs) {
        TCurrency v;
        EXPECT_EQ(TryStrToCurr(c.text, v), c.ok) << c.text;
        if (c.ok) { EXPECT_EQ(v.Scaled(), c.scaled) << c.text; }
    }

    struct IntCase { const char* text; bool ok; int value; };
    const IntCase ints[] = {
        {"42", true, 42}, {" 42", true, 42}, {"-42", true, -42}, {"+7", true, 7}, {"$FF", true, 255},
        {"0x10", true, 16}, {"$FFFFFFFF", true, -1}, {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1}, {"2147483648", false, 0}, {"12a", false, 0},
        {"", false, 0}, {"42 ", false, 0}, {"$", false, 0}, {"1.5", false, 0},
    };
    for (const IntCase& c : ints) {
        int v = -7;
        EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
        if (c.ok) { EXPECT_EQ(v, c.value) << c.text; }
    }
    EXPECT_EQ(StrToInt64("9223372036854775807"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<qint64>::min());
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'abc' is not a valid integer value"));
    }
    EXPECT_EQ(IntToStr(-12), QStringLiteral("-12"));
}

TEST(FormatSettings, FromLocale)
{
    const TFormatSettings c = TFormatSettings::FromLocale(QLocale::c());
    EXPECT_EQ(c.ShortDateFormat, TFormatSettings::Standard().ShortDateFormat);

    const TFormatSettings de = TFormatSettings::FromLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.DecimalSeparator, QChar(','));
    EXPECT_EQ(de.ThousandSeparator, QChar('.'));
    EXPECT_EQ(de.DateSeparator, QChar('.'));
    EXPECT_EQ(de.ShortDateFormat, QStringLiteral("dd/mm/yyyy"));
    EXPECT_EQ(de.LongTimeFormat, QStringLiteral("hh:nn:ss"));
    EXPECT_EQ(de.CurrencyFormat, 3);   // "1 €"
    EXPECT_EQ(DateToStr(At(2003, 2, 1), de), QStringLiteral("01.02.2003"));
    EXPECT_EQ(StrToDate("01.02.2003", de), At(2003, 2, 1));

    const TFormatSettings us = TFormatSettings::FromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.ShortDateFormat, QStringLiteral("m/d/yyyy"));
    EXPECT_EQ(us.LongTimeFormat, QStringLiteral("h:nn:ss AMPM"));
    EXPECT_EQ(us.NegCurrFormat, 0);    // "($1)"

    EXPECT_EQ(QtToDateTimeFormat("d 'de' MMMM 'de' yyyy"), QStringLiteral("d \"de\" mmmm \"de\" yyyy"));
}
