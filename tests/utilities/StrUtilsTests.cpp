#include "utilities/MaxMin.h"
#include "utilities/vzStrUtils.h"

#include <QStringList>
#include <gtest/gtest.h>

TEST(StrUtils, Words)
{
    const TCharSet position{' ', ','};
    const TCharSet set{' ', ',', '[', ']'};
    struct Case { const char* text; const TCharSet* delims; int count; int start2; const char* word2; };
    const Case cases[] = {
        {",a,b", &position, 2, 4, "b"},
        {"10,20,300,400", &position, 4, 4, "20"},
        {"10 20  300 400", &position, 4, 4, "20"},
        {"", &position, 0, 0, ""},
        {" , ,,", &position, 0, 0, ""},
        {"one", &position, 1, 0, ""},
        {"[fpState,fpPosition]", &set, 2, 10, "fpPosition"},
        {"fpPosition , fpState", &set, 2, 14, "fpState"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountWords(c.text, *c.delims), c.count) << c.text;
        EXPECT_EQ(WordStart(2, c.text, *c.delims), c.start2) << c.text;
        EXPECT_EQ(NthWord(2, c.text, *c.delims), QString(c.word2)) << c.text;
    }
    EXPECT_EQ(NthWord(0, "a b", position), "");
    EXPECT_EQ(NthWord(1, QString::fromUtf8("\xc3\xa9t\xc3\xa9,x"), position), QString::fromUtf8("\xc3\xa9t\xc3\xa9"));
}

TEST(StrUtils, NextField)
{
    const TCharSet delims{';'};
    const QString text = "a;;bc;";
    int pos = 1;
    QStringList fields;
    while (pos <= text.size()) fields << NextField(text, pos, delims);
    EXPECT_EQ(fields, QStringList({"a", "", "bc"}));
    EXPECT_EQ(pos, 7);
    EXPECT_EQ(NextField(text, pos, delims), "");   // past the end: empty, stays past the end
    EXPECT_EQ(pos, 7);
    pos = 1;
    EXPECT_EQ(NextField("abc", pos, delims), "abc");
    EXPECT_EQ(pos, 4);
}

TEST(StrUtils, ReplaceAndDelete)
{
    EXPECT_EQ(ReplaceAll("1.234.5", ".", ","), "1,234,5");
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");   // replacements are not searched again
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("abab", "ab", ""), "");
    EXPECT_EQ(DeleteChar("&File &Open", '&'), "File Open");
    EXPECT_EQ(MaxOf(-3, 2), 2);
    EXPECT_EQ(MinOf(-3, 2), -3);
}

TEST(StrUtils, KeyXorRoundTrip)
{
    EXPECT_EQ(KeyXorEncode("", "AB"), "4142");
    EXPECT_EQ(KeyXorEncode("k", ""), "");
    EXPECT_EQ(KeyXorEncode("\x01", "AB"), "4043");
    EXPECT_EQ(KeyXorDecode("", "4142"), "AB");
    EXPECT_EQ(KeyXorDecode("", "41zz4"), "A ");   // not hexadecimal: a blank; odd last digit ignored
    for (const QString& key : {QString(), QString("k"), QString("secret key"), QString::fromUtf8("cl\xc3\xa9")})
        for (const QString& text : {QString(), QString("password"), QString::fromUtf8("\xc3\xa9\xe2\x82\xac x"), QString("a\nb")}) {
            const QString hex = KeyXorEncode(key, text);
            EXPECT_EQ(hex, hex.toLower());
            EXPECT_EQ(KeyXorDecode(key, hex), text) << key.toStdString() << "/" << text.toStdString();
        }
}
