#include "platform/core/CodePages.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {
const int SingleBytePages[] = {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
}

TEST(CodePages, EverySingleBytePageRoundTripsAllBytes)
{
    QByteArray all(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b) all[b] = char(b);
    for (int cp : SingleBytePages) {
        ASSERT_TRUE(IsSingleByteCodePage(cp)) << cp;
        const QString text = DecodeCodePage(all, cp);
        ASSERT_EQ(text.size(), 256) << cp;
        EXPECT_EQ(QSet<QChar>(text.begin(), text.end()).size(), 256) << "two bytes share a character in " << cp;
        bool lossless = false;
        EXPECT_EQ(EncodeCodePage(text, cp, &lossless), all) << cp;
        EXPECT_TRUE(lossless) << cp;
    }
}

TEST(CodePages, KnownCharacters)
{
    struct Case { int cp; quint8 byte; char16_t ch; };
    const Case cases[] = {
        {1252, 0x80, 0x20AC}, {1252, 0xE7, 0x00E7}, {1252, 0x81, 0x0081},   // undefined: same value
        {1250, 0x8A, 0x0160}, {1251, 0xC0, 0x0410}, {1253, 0xC1, 0x0391},
        {1254, 0xD0, 0x011E}, {1255, 0xE0, 0x05D0}, {1256, 0xC7, 0x0627},
        {1257, 0xC0, 0x0104}, {1258, 0xC3, 0x0102}, {874, 0xA1, 0x0E01},
        {874, 0xFF, 0x00FF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeCodePage(QByteArray(1, char(c.byte)), c.cp), QString(QChar(c.ch))) << c.cp << " byte " << int(c.byte);
        EXPECT_EQ(EncodeCodePage(QString(QChar(c.ch)), c.cp), QByteArray(1, char(c.byte))) << c.cp;
    }
    // The demo files' text: "Maçaranduba" in 1252.
    EXPECT_EQ(EncodeCodePage(QStringLiteral("Maçaranduba"), 1252).left(3), QByteArray("Ma\xE7", 3));
}

TEST(CodePages, UnmappableAndUnknownPages)
{
    bool lossless = true;
    EXPECT_EQ(EncodeCodePage(QStringLiteral("a\u6F22b"), 1252, &lossless), QByteArray("a?b"));
    EXPECT_FALSE(lossless);
    // An unknown page behaves as 1252.
    EXPECT_FALSE(IsCodePageSupported(12345));
    EXPECT_EQ(DecodeCodePage(QByteArray("\x80", 1), 12345), QString(QChar(0x20AC)));
    EXPECT_EQ(DefaultCodePage(), 1252);
    SetDefaultCodePage(99999);
    EXPECT_EQ(DefaultCodePage(), 1252);
}

TEST(CodePages, MultiBytePages)
{
    struct Case { int cp; const char16_t* text; };
    const Case cases[] = {{932, u"日本語テキスト"}, {936, u"中文字符"}, {949, u"한국어"}, {950, u"繁體中文"}};
    for (const Case& c : cases) {
        if (!IsCodePageSupported(c.cp)) GTEST_SKIP() << "no converter for " << c.cp;
        const QString text = QString::fromUtf16(c.text);
        bool lossless = false;
        const QByteArray bytes = EncodeCodePage(text, c.cp, &lossless);
        EXPECT_TRUE(lossless) << c.cp;
        EXPECT_GT(bytes.size(), text.size()) << c.cp;
        EXPECT_EQ(DecodeCodePage(bytes, c.cp), text) << c.cp;
    }
}

TEST(CodePages, FromLCID)
{
    struct Case { quint32 lcid; int cp; };
    const Case cases[] = {
        {0, 1252}, {1033, 1252}, {2057, 1252}, {1046, 1252}, {0x00010409, 1252}, {0x12345, 1252},
        {1081, 1252},                                  // Hindi: no ANSI page
        {1049, 1251}, {1058, 1251}, {1026, 1251}, {3098, 1251}, {2074, 1250}, {1050, 1250},
        {1029, 1250}, {1045, 1250}, {1038, 1250}, {1032, 1253}, {1055, 1254}, {1091, 1254},
        {2115, 1251}, {1037, 1255}, {1025, 1256}, {1065, 1256}, {1061, 1257}, {1062, 1257},
        {1063, 1257}, {1066, 1258}, {1054, 874}, {1041, 932}, {2052, 936}, {4100, 936},
        {1028, 950}, {3076, 950}, {1042, 949},
    };
    for (const Case& c : cases) EXPECT_EQ(CodePageFromLCID(c.lcid), c.cp) << "LCID " << c.lcid;
}
