// The text forms of values in XML packets and the calendar of stored day numbers.

#include "platform/client/PacketValues.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>
#include <cstring>
#include <limits>

namespace {

std::string Text(const std::function<void(TPacketBuffer&)>& write)
{
    TPacketBuffer b;
    write(b);
    const QByteArray bytes = b.Take();
    return bytes.toStdString();
}

} // namespace

TEST(PacketValues, DayNumbersFollowTheProlepticCalendar)
{
    struct TCase { qint64 Year; int Month, Day; qint64 Number; };
    const TCase cases[] = {
        {1, 1, 1, 1}, {1899, 12, 30, 693594}, {1996, 6, 15, 728825}, {2000, 2, 29, 730179},
        {9999, 12, 31, 3652059}, {0, 12, 31, 0}, {-1, 1, 1, -730},
    };
    for (const TCase& c : cases) {
        qint64 n = 0;
        ASSERT_TRUE(PacketDateToDay(c.Year, c.Month, c.Day, n));
        EXPECT_EQ(n, c.Number) << c.Year << "-" << c.Month << "-" << c.Day;
        qint64 y;
        int m, d;
        PacketDayToDate(c.Number, y, m, d);
        EXPECT_EQ(y, c.Year);
        EXPECT_EQ(m, c.Month);
        EXPECT_EQ(d, c.Day);
    }
    qint64 n;
    EXPECT_FALSE(PacketDateToDay(2023, 2, 29, n));
    EXPECT_FALSE(PacketDateToDay(2023, 13, 1, n));
    EXPECT_FALSE(PacketDateToDay(1900, 2, 29, n));
}

TEST(PacketValues, DateAndTimeTexts)
{
    EXPECT_EQ(Text([](TPacketBuffer& b) { PacketAppendXmlDate(b, 728825); }), "19960615");
    EXPECT_EQ(Text([](TPacketBuffer& b) { PacketAppendXmlDate(b, 1); }), "00010101");
    EXPECT_EQ(Text([](TPacketBuffer& b) { PacketAppendXmlTime(b, 36000000); }), "10:00:00000");
    EXPECT_EQ(Text([](TPacketBuffer& b) { PacketAppendXmlTime(b, 51033250); }), "14:10:33250");
    EXPECT_EQ(Text([](TPacketBuffer& b) { PacketAppendXmlTimeStamp(b, 728825 * 86400000.0); }), "19960615");
    EXPECT_EQ(Text([](TPacketBuffer& b) { PacketAppendXmlTimeStamp(b, 728825 * 86400000.0 + 1); }), "19960615T00:00:00001");
    EXPECT_FALSE(PacketAppendXmlTimeStamp(*std::make_unique<TPacketBuffer>(), std::nan("")));

    struct TTime { const char* Text; bool Ok; qint64 Ms; };
    const TTime times[] = {
        {"10:00:00000", true, 36000000}, {"14:10:33", true, 51033000}, {"14:10:3", true, 51030000},
        {"14:10", true, 51000000}, {"14:10:33.5", true, 51033500}, {"1:02:03004", true, 3723004},
        {"", false, 0}, {"10", false, 0}, {"aa:bb:cc", false, 0}, {"10:00:00000x", false, 0},
    };
    for (const TTime& t : times) {
        qint64 ms = -1;
        EXPECT_EQ(PacketParseXmlTime(t.Text, ms), t.Ok) << t.Text;
        if (t.Ok) {
            EXPECT_EQ(ms, t.Ms) << t.Text;
        }
    }
    struct TStamp { const char* Text; bool Ok; double Ms; };
    const TStamp stamps[] = {
        {"19960615", true, 728825 * 86400000.0}, {"19960615T10:00:00000", true, 728825 * 86400000.0 + 36000000},
        {"1996-06-15", true, 728825 * 86400000.0}, {"-00010101", true, -730 * 86400000.0},
        {"19961315", false, 0}, {"1996061", false, 0}, {"19960615T", false, 0}, {"19960615X10:00", false, 0},
        {"199102181111111111111111", false, 0}, {"99999999990101", false, 0},
    };
    for (const TStamp& s : stamps) {
        double ms = -1;
        EXPECT_EQ(PacketParseXmlTimeStamp(s.Text, ms), s.Ok) << s.Text;
        if (s.Ok) {
            EXPECT_EQ(ms, s.Ms) << s.Text;
        }
    }
}

TEST(PacketValues, FloatTextsReadBackExactly)
{
    struct TCase { double Value; const char* Text; };
    const TCase cases[] = {
        {5, "5"}, {8.5, "8.5"}, {33292.9375, "33292.9375"}, {0.1, "0.1"}, {-0.1 - 0.2, "-0.30000000000000004"},
        {97698.6, "97698.60000000001"}, {1e300, "1E300"}, {1.5e-7, "1.5E-7"}, {0.000123, "0.000123"},
        {123456789012345678.0, "123456789012345680"}, {0, "0"}, {-2.5, "-2.5"},
        {std::numeric_limits<double>::infinity(), "INF"},
    };
    for (const TCase& c : cases) {
        const std::string t = Text([&](TPacketBuffer& b) { PacketAppendDouble(b, c.Value); });
        EXPECT_EQ(t, c.Text);
        double back = 0;
        ASSERT_TRUE(PacketParseDouble(t, back)) << t;
        EXPECT_EQ(back, c.Value) << t;
    }
    double nan = 0;
    EXPECT_TRUE(PacketParseDouble(Text([](TPacketBuffer& b) { PacketAppendDouble(b, std::nan("")); }), nan));
    EXPECT_TRUE(std::isnan(nan));
    EXPECT_EQ(Text([](TPacketBuffer& b) { PacketAppendSingle(b, 1.1f); }), "1.1");
    for (const char* bad : {"", "1.2.3", "1,5", "abc", "5 5"}) {
        double v;
        EXPECT_FALSE(PacketParseDouble(bad, v)) << bad;
    }
    // Extended: the 80-bit form converts both ways.
    for (double d : {1.0, -2.5, 1e-300, 123456.789, 0.0}) {
        char ten[10];
        PacketDoubleToExtended(d, ten);
        EXPECT_EQ(PacketExtendedToDouble(ten), d);
        if constexpr (std::numeric_limits<long double>::digits == 64) {
            long double ld = 0;
            std::memcpy(&ld, ten, 10);
            EXPECT_EQ(ld, (long double)d);
        }
        char parsed[10];
        ASSERT_TRUE(PacketParseExtended(Text([&](TPacketBuffer& b) { PacketAppendExtended(b, ten); }), parsed));
        EXPECT_EQ(std::memcmp(parsed, ten, 10), 0);
    }
}

// Floats are written with sixteen significant digits where those read back (the form files
// carry), else seventeen; the quick way for common values must give exactly that text.
TEST(PacketValues, FloatTextsAreTheSixteenDigitFormWheneverItReadsBack)
{
    auto reference = [](double v) {
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 15);
        double back;
        if (std::from_chars(buf, r.ptr, back).ec != std::errc() || back != v)
            r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 16);
        // Significant digits without trailing zeros, and the decimal exponent.
        std::string digits;
        const char* e = std::find(buf, r.ptr, 'e');
        for (const char* p = buf; p < e; ++p)
            if (*p >= '0' && *p <= '9') digits += *p;
        while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
        return std::pair{digits, std::atoi(e + 1)};
    };
    auto written = [](double v) { return Text([&](TPacketBuffer& b) { PacketAppendDouble(b, v); }); };
    std::mt19937_64 rng(5);
    std::vector<double> values;
    for (int i = 0; i < 200000; ++i) {
        values.push_back(double(rng() % 10000000) / 100.0 + 0.25);
        values.push_back(double(qint64(rng() % 2000000000) - 1000000000) / 1000.0);
        values.push_back(std::ldexp(double(rng() >> 11), int(rng() % 80) - 60));
        values.push_back(1.0 / double(rng() % 1000 + 1));
    }
    for (int e = -8; e <= 17; ++e) {
        double p = std::pow(10.0, e);
        for (int j = 0; j < 20; ++j, p = std::nextafter(p, 0.0)) values.push_back(p);
    }
    for (int e = -30; e <= 60; ++e) values.push_back(std::ldexp(1.0, e));
    for (double v : values) {
        const std::string t = written(v);
        double back;
        ASSERT_TRUE(PacketParseDouble(t, back)) << t;
        ASSERT_EQ(back, v) << t;
        // The same digits as the reference form (the point and exponent placed by the packet
        // style, which the value check above already ties down).
        const auto [digits, exponent] = reference(v);
        std::string got;
        for (char c : t.substr(0, t.find('E')))
            if (c >= '0' && c <= '9') got += c;
        got.erase(0, std::min(got.find_first_not_of('0'), got.size() - 1));
        while (got.size() > 1 && got.back() == '0') got.pop_back();
        ASSERT_EQ(got, digits) << t << " exponent " << exponent;
    }
}

TEST(PacketValues, BcdTexts)
{
    struct TCase { const char* In; int Precision, Scale; const char* Out; };
    const TCase cases[] = {
        {"123.45", 10, 2, "123.45"}, {"-0.5", 10, 2, "-0.50"}, {"0", 5, 0, "0"}, {"7", 4, 2, "7.00"},
        {"0.0001", 20, 4, "0.0001"}, {"1.23456", 10, 2, "1.23456"}, {"123456789012", 10, 2, "123456789012.00"},
        {"+42", 32, 0, "42"}, {".5", 3, 1, "0.5"},
    };
    for (const TCase& c : cases) {
        char bcd[18];
        ASSERT_TRUE(PacketParseBcd(c.In, c.Precision, c.Scale, bcd)) << c.In;
        EXPECT_EQ(Text([&](TPacketBuffer& b) { ASSERT_TRUE(PacketAppendBcd(b, bcd)); }), c.Out) << c.In;
    }
    char bcd[18];
    for (const char* bad : {"", "-", "1e5", "12a", "1.2.3", "123456789012345678901234567890123"}) EXPECT_FALSE(PacketParseBcd(bad, 10, 2, bcd)) << bad;
    // Stored bytes: precision 4, two decimals, -12.34.
    const char stored[18] = {4, char(0x82), 0x12, 0x34};
    EXPECT_EQ(Text([&](TPacketBuffer& b) { PacketAppendBcd(b, stored); }), "-12.34");
    const char badNibble[18] = {2, 0, char(0xA1)};
    TPacketBuffer sink;
    EXPECT_FALSE(PacketAppendBcd(sink, badNibble));
    const char badPrecision[18] = {40, 0};
    EXPECT_FALSE(PacketAppendBcd(sink, badPrecision));
}

TEST(PacketValues, Base64)
{
    const QByteArray data = QByteArray::fromHex("00010203FEFF7F80");
    for (int n = 0; n <= data.size(); ++n) {
        const std::string t = Text([&](TPacketBuffer& b) { PacketAppendBase64(b, data.constData(), n); });
        EXPECT_EQ(QByteArray::fromStdString(t), data.left(n).toBase64());
        std::string back;
        ASSERT_TRUE(PacketDecodeBase64(t, back));
        EXPECT_EQ(QByteArray::fromStdString(back), data.left(n));
    }
    std::string out;
    EXPECT_TRUE(PacketDecodeBase64("AAEC\r\nA/7/", out));
    EXPECT_EQ(QByteArray::fromStdString(out), QByteArray::fromHex("00010203FEFF"));
    for (const char* bad : {"A", "AB=C", "A===", "@@@@", "AB\x80="}) {
        out.clear();
        EXPECT_FALSE(PacketDecodeBase64(bad, out)) << bad;
    }
}
