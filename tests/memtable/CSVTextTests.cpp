#include "memtable/zohCSVText.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <random>

TEST(CSVText, SixBitPacking)
{
    EXPECT_EQ(zohEncode6Bit("abc"), QByteArray("A)V8"));
    EXPECT_EQ(zohDecode6Bit("A)V8"), QByteArray("abc"));
    EXPECT_EQ(zohEncode6Bit(QByteArray()), QByteArray());
    std::mt19937 rng(1);
    for (int len = 0; len < 200; ++len) {
        QByteArray b(len, '\0');
        for (char& c : b) c = char(rng());
        const QByteArray text = zohEncode6Bit(b);
        EXPECT_EQ(text.size(), (4 * len + 2) / 3);
        for (char c : text) {
            EXPECT_GE(quint8(c), 32);
            EXPECT_LT(quint8(c), 96);
        }
        EXPECT_EQ(zohDecode6Bit(text), b) << len;
    }
}

TEST(CSVText, EscapingAndQuoting)
{
    const QByteArray raw("50% off\r\nnow\0!", 14);
    const QByteArray esc = zohEscape(raw);
    EXPECT_EQ(esc, QByteArray("50%% off%c%nnow%0!"));
    EXPECT_EQ(zohUnescape(esc), raw);
    EXPECT_EQ(zohQuote("say \"hi\"", '"'), QByteArray("\"say \"\"hi\"\"\""));
    EXPECT_EQ(zohUnquote("  \"say \"\"hi\"\"\" tail", '"'), QByteArray("say \"hi\""));
    EXPECT_EQ(zohQuote("x", 0), QByteArray("x"));
    const QList<QByteArray> items = zohSplitCommaText("String,20,\"Last, first\",\"\",5,REQ Data ,, \"a\"\"b\"");
    EXPECT_EQ(items, (QList<QByteArray>{"String", "20", "Last, first", "", "5", "REQ", "Data", "", "a\"b"}));
}

TEST(CSVText, LinesAndColumns)
{
    QByteArray data;
    for (int i = 0; i < 3000; ++i) data += "\"row\",\"" + QByteArray::number(i) + "\",\r\n";
    data += QByteArray("\r\n\n\0last", 8);
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    TzohLineReader lines(&buf);
    QByteArray line;
    int n = 0;
    while (lines.ReadLine(line)) {
        if (n < 3000) {
            TzohColumnReader cols(line, '"', ',', ',');
            QByteArray c1, c2, c3;
            ASSERT_TRUE(cols.Next(c1));
            ASSERT_TRUE(cols.Next(c2));
            EXPECT_EQ(c1, QByteArray("row"));
            EXPECT_EQ(c2.toInt(), n);
            EXPECT_FALSE(cols.Next(c3));
        } else {
            EXPECT_EQ(line, QByteArray("last"));
        }
        ++n;
    }
    EXPECT_EQ(n, 3001);
    EXPECT_GT(lines.BlocksRead(), 5);

    struct Case { const char* line; char quote; QList<QByteArray> cols; } cases[] = {
        {"\"a\",\"\",,\"x\"\"y\",", '"', {"a", "", "", "x\"y"}},
        {"ignored\"a\",b\"c\"", '"', {"a", "c"}},
        {"a,b,,c", 0, {"a", "b", "", "c"}},
        {"\"a,b\",c", 0, {"\"a", "b\"", "c"}},
    };
    for (const Case& c : cases) {
        TzohColumnReader r(c.line, c.quote, ',', ',');
        QList<QByteArray> got;
        QByteArray col;
        while (r.Next(col)) got.append(col);
        EXPECT_EQ(got, c.cols) << c.line;
    }
}
