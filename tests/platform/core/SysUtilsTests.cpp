#include "platform/core/SysUtils.h"

#include <gtest/gtest.h>

TEST(Format, Specifiers)
{
    struct Case { const char* fmt; std::initializer_list<QVariant> args; const char* expected; };
    const Case cases[] = {
        {"Rec: %d / %d", {3, 42}, "Rec: 3 / 42"},
        {"%s(%d)", {QStringLiteral("String"), 20}, "String(20)"},
        {"%.2f", {3.14159}, "3.14"},
        {"%5d|%-5d|", {42, 42}, "   42|42   |"},
        {"%.4d", {7}, "0007"},
        {"%x", {255}, "FF"},
        {"%n", {1234567.891}, "1,234,567.89"},
        {"%1:s %0:s", {QStringLiteral("a"), QStringLiteral("b")}, "b a"},
        {"100%%", {}, "100%"},
        {"%d.%d.%d.%d", {1, 2, 3, 4}, "1.2.3.4"},
    };
    for (const Case& c : cases) EXPECT_EQ(Format(c.fmt, c.args), QString(c.expected)) << c.fmt;
    EXPECT_THROW(Format("%d %d", {1}), EConvertError);
}

TEST(DateTime, EncodeDecodeRoundTrip)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1, 1, 1), double(1 - DateDelta));
    EXPECT_EQ(DateTimeToDayNumber(EncodeDate(1, 1, 1)), 1);
    for (int y : {1, 4, 100, 400, 1600, 1899, 1900, 2000, 2024, 9999})
        for (int m : {1, 2, 12})
            for (int d : {1, 28, DaysInMonth(y, m)}) {
                int yy, mm, dd;
                DecodeDate(EncodeDate(y, m, d), yy, mm, dd);
                ASSERT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d);
            }
    TDateTime t = EncodeDate(2001, 2, 3) + EncodeTime(10, 20, 30, 400);
    int h, mi, s, ms;
    DecodeTime(t, h, mi, s, ms);
    EXPECT_EQ(h * 10000000 + mi * 100000 + s * 1000 + ms, 10 * 10000000 + 20 * 100000 + 30 * 1000 + 400);
    EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5);   // a Thursday
    // Before 1899-12-30 the fraction still counts forward within the day.
    TDateTime early = DayNumberToDateTime(DateTimeToDayNumber(EncodeDate(1800, 1, 1)), 6 * 3600000);
    DecodeTime(early, h, mi, s, ms);
    EXPECT_EQ(h, 6);
    int y, m, d;
    DecodeDate(early, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 18000101);
}

TEST(FileNames, Parts)
{
    EXPECT_EQ(ExtractFilePath("/a/b/c.cds"), "/a/b/");
    EXPECT_EQ(ExtractFileDir("/a/b/c.cds"), "/a/b");
    EXPECT_EQ(ExtractFileName("/a/b/c.cds"), "c.cds");
    EXPECT_EQ(ExtractFileExt("/a/b.d/c"), "");
    EXPECT_EQ(ExtractFileExt("/a/b/c.tar.XML"), ".XML");
    EXPECT_EQ(ChangeFileExt("/a/b.d/c", ".xml"), "/a/b.d/c.xml");
    EXPECT_EQ(ChangeFileExt("/a/c.cds", ".xml"), "/a/c.xml");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
}

