#include "tests/common/TestSupport.h"
#include "platform/data/Variants.h"
#include "platform/core/CodePages.h"

#include <gtest/gtest.h>

TEST(Variant, SmallAndTyped)
{
    static_assert(sizeof(TVariant) <= 32, "scalars must fit without the heap");
    EXPECT_TRUE(TVariant().IsEmpty());
    EXPECT_TRUE(TVariant::Null().IsNull());
    EXPECT_EQ(VarType(TVariant(1)), varInteger);
    EXPECT_EQ(VarType(TVariant(qint64(1))), varInt64);
    EXPECT_EQ(VarType(TVariant(1.5)), varDouble);
    EXPECT_EQ(VarType(TVariant(true)), varBoolean);
    EXPECT_EQ(VarType(TVariant(QStringLiteral("x"))), varUString);
    EXPECT_EQ(VarType(TVariant::FromAnsiString("x")), varString);
    EXPECT_EQ(VarType(TVariant::FromBytes("x")), varBytes);
    EXPECT_EQ(VarType(TVariant::FromDate(2.0)), varDate);
    EXPECT_EQ(VarType(TVariant(TCurrency::FromScaled(1))), varCurrency);
    EXPECT_EQ(VarType(TVariant::FromSmallint(-3)), varSmallint);
    EXPECT_EQ(VarType(TVariant::FromWord(3)), varWord);
    EXPECT_EQ(VarType(TVariant::FromByte(3)), varByte);

    // Copies and moves keep the value; shared payloads stay intact.
    TVariant a = TVariant::FromAnsiString("abc");
    TVariant b = a;
    TVariant c = std::move(a);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(b, c);
    b = TVariant(5);
    EXPECT_EQ(c.RawBytes(), QByteArray("abc"));
    TVariant& self = c;
    c = self;
    EXPECT_EQ(c.RawBytes(), QByteArray("abc"));
}

TEST(Variant, Conversions)
{
    struct Case { TVariant v; const char* str; double dbl; qint64 i64; bool boolean; };
    const Case cases[] = {
        {TVariant(), "", 0, 0, false},
        {TVariant(42), "42", 42, 42, true},
        {TVariant(-1.5), "-1.5", -1.5, -2, true},        // halves round to even
        {TVariant(2.5), "2.5", 2.5, 2, true},
        {TVariant(true), "True", -1, -1, true},
        {TVariant(false), "False", 0, 0, false},
        {TVariant(TCurrency::FromScaled(125000)), "12.5", 12.5, 12, true},
        {TVariant(QStringLiteral(" 17 ")), " 17 ", 17, 17, true},
        {TVariant(QStringLiteral("2.5")), "2.5", 2.5, 2, true},
        {TVariant(QStringLiteral("true")), "true", 0, 0, true},
        {TVariant::FromDate(EncodeDate(2003, 2, 1)), "2/1/2003", 37653, 37653, true},
        {TVariant::FromDate(EncodeTime(14, 5, 0, 0)), "2:05:00 PM", EncodeTime(14, 5, 0, 0), 1, true},
    };
    for (const Case& c : cases) {
        const std::string label = VarTypeAsText(c.v.Type()).toStdString() + " " + c.str;
        EXPECT_EQ(VarToStr(c.v), QString(c.str)) << label;
        if (!c.v.IsString() || QString(c.str).trimmed() != "true") {
            EXPECT_DOUBLE_EQ(c.v.AsDouble(), c.dbl) << label;
            EXPECT_EQ(c.v.AsInt64(), c.i64) << label;
        }
        EXPECT_EQ(c.v.AsBoolean(), c.boolean) << label;
    }
    EXPECT_EQ(TVariant(1.5).AsCurrency().Scaled(), 15000);
    EXPECT_EQ(TVariant(QStringLiteral("2/1/2003 14:05")).AsDateTime(), EncodeDate(2003, 2, 1) + EncodeTime(14, 5, 0, 0));
    EXPECT_EQ(VarAsType(TVariant(QStringLiteral("7")), varSmallint).Type(), varSmallint);
    EXPECT_EQ(VarToStr(TVariant::Null()), QString());
}

TEST(Variant, FailedConversionsRaiseWithBothTypes)
{
    struct Case { TVariant v; std::function<void(const TVariant&)> convert; const char* message; };
    const Case cases[] = {
        {TVariant(QStringLiteral("abc")), [](const TVariant& v) { v.AsInteger(); },
         "Could not convert variant of type (UnicodeString) into type (Int64)"},
        {TVariant::Null(), [](const TVariant& v) { v.AsDouble(); }, "Could not convert variant of type (Null) into type (Double)"},
        {TVariant(qint64(1) << 40), [](const TVariant& v) { v.AsInteger(); },
         "Overflow while converting variant of type (Int64) into type (Integer)"},
        {TVariant(1e300), [](const TVariant& v) { v.AsCurrency(); },
         "Overflow while converting variant of type (Double) into type (Currency)"},
        {TVariant(QStringLiteral("maybe")), [](const TVariant& v) { v.AsBoolean(); },
         "Could not convert variant of type (UnicodeString) into type (Boolean)"},
        {TVariant(QStringLiteral("31/31/2003")), [](const TVariant& v) { v.AsDateTime(); },
         "Could not convert variant of type (UnicodeString) into type (Date)"},
        {VarArrayOf({1, 2}), [](const TVariant& v) { v.AsString(); },
         "Could not convert variant of type (Array of Variant) into type (String)"},
        {TVariant(300), [](const TVariant& v) { VarAsType(v, varByte); },
         "Overflow while converting variant of type (Integer) into type (Byte)"},
    };
    for (const Case& c : cases) {
        try {
            c.convert(c.v);
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const EVariantError& e) {
            EXPECT_EQ(e.Message(), QString(c.message));
        }
    }
}

TEST(Variant, EightBitTextKeepsItsBytesAndCodePage)
{
    const QByteArray bytes("\xCF\xF0\xE8\xE2\xE5\xF2\x98", 7);   // 1251, with its undefined byte
    const TVariant v = TVariant::FromAnsiString(bytes, 1251);
    EXPECT_EQ(v.CodePage(), 1251);
    EXPECT_EQ(v.AsString().left(6), QStringLiteral("Привет"));
    EXPECT_EQ(v.AsAnsiString(1251), bytes);
    EXPECT_EQ(EncodeCodePage(v.AsString(), 1251), bytes);
    EXPECT_EQ(v.AsAnsiString(1252), QByteArray("???????"));
    EXPECT_EQ(TVariant::FromAnsiString("\xE7").AsString(), QStringLiteral("ç"));   // default page
}

TEST(Variant, ArraysAndComparison)
{
    const TVariant arr = VarArrayOf({1, "two", TVariant::Null()});
    EXPECT_TRUE(VarIsArray(arr));
    EXPECT_EQ(VarArrayHighBound(arr), 2);
    EXPECT_EQ(arr[1].AsString(), QStringLiteral("two"));
    EXPECT_TRUE(arr[2].IsNull());
    EXPECT_THROW(arr[3], EVariantError);
    EXPECT_THROW(TVariant(1)[0], EVariantError);
    EXPECT_EQ(arr, VarArrayOf({1, "two", TVariant::Null()}));

    struct Case { TVariant a, b; TVariantRelationship r; };
    const Case cases[] = {
        {1, 1.0, vrEqual}, {1, 2, vrLessThan}, {2.5, 1, vrGreaterThan},
        {TVariant(TCurrency::FromScaled(15000)), 1.5, vrEqual}, {TVariant(TCurrency::FromScaled(10000)), 1, vrEqual},
        {"abc", "abd", vrLessThan}, {"abc", "ABC", vrGreaterThan}, {TVariant::FromAnsiString("abc"), "abc", vrEqual},
        {"12", 12, vrEqual}, {12, "12.5", vrLessThan}, {"x", 1, vrNotEqual},
        {TVariant::Null(), TVariant::Null(), vrEqual}, {TVariant::Null(), TVariant(), vrEqual}, {TVariant::Null(), 0, vrNotEqual},
        {TVariant::FromDate(2.0), 2, vrEqual}, {true, -1, vrEqual},
        {VarArrayOf({1, "a"}), VarArrayOf({1.0, "a"}), vrEqual}, {VarArrayOf({1}), VarArrayOf({2}), vrNotEqual},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VarCompareValue(c.a, c.b), c.r) << VarToStr(c.a).toStdString() << " vs " << VarToStr(c.b).toStdString();
}
