#include "gridlib/core/Kqpict.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

namespace {
struct TPictCase {
    const char* Picture;
    const char* Input;
    bool AutoFill;
    TkqPicResult Result;
    const char* Text;   // the text afterwards
};

// The mask language: digits, letters with case conversion, literals (case-folded, escaped),
// optional groups, alternatives, counted and open repetition, auto-fill and refusals.
const TPictCase PictCases[] = {
    {"###-####", "555", false, prIncomplete, "555"},
    {"###-####", "555", true, prIncomplete, "555-"},
    {"###-####", "555-1234", false, prComplete, "555-1234"},
    {"###-####", "5551", false, prError, "5551"},
    {"###-####", "", false, prEmpty, ""},
    {"&&&", "abc", false, prComplete, "ABC"},
    {"&&&", "ab1", false, prError, "AB1"},
    {"~#", "A1", false, prComplete, "a1"},
    {"!@", "xY", false, prComplete, "XY"},
    {"??", "\xe9z", false, prComplete, "\xe9z"},   // characters above 128 are letters
    {"*#", "12345", false, prComplete, "12345"},
    {"*#", "12a", false, prError, "12a"},
    {"*3#", "12", false, prIncomplete, "12"},
    {"*3#", "123", false, prComplete, "123"},
    {"*3#", "1234", false, prError, "1234"},
    {"{Mrs,Mr}", "Mr", false, prComplete, "Mr"},
    {"{Mrs,Mr}", "Mrs", false, prComplete, "Mrs"},
    {"{Mrs,Mr}", "Ms", false, prError, "Ms"},
    {"{Mr,Mrs}", "Mrs", false, prError, "Mrs"},
    {"{Mrs,Mr}", "mrs", false, prComplete, "Mrs"},   // literals fold case and store the picture's
    {"[#]#", "12", false, prComplete, "12"},
    {"[#]#", "1", false, prIncomplete, "1"},
    {"#-#", "1 ", false, prIncomplete, "1-"},          // a blank typed last stands in for the literal
    {"#;##", "1#2", false, prComplete, "1#2"},          // an escaped picture character is a literal
    {"#;##", "112", false, prError, "112"},
    {"(###) ###", "(55", true, prIncomplete, "(55"},
    {"(###) ###", "(555", true, prIncomplete, "(555) "},
    {"#[-##]", "1", false, prComplete, "1"},            // the rest is optional
    {"#[-##]", "1-2", false, prIncomplete, "1-2"},
    {"#*[.#]", "1.2.3", false, prComplete, "1.2.3"},
    {"{##,#A}", "1", false, prIncomplete, "1"},
    {"{#,AB}#", "AB", false, prIncomplete, "AB"},
    {"#{,x}", "1", false, prComplete, "1"},             // a group with an empty alternative may be left out
    {"#{x,yz}", "1", false, prIncomplete, "1"},
};

// Malformed pictures: every text, the empty one included, gives a syntax error.
const char* const BadPictures[] = {"[#", "#;", "#*", "{#", "#]"};
} // namespace

TEST(PictureValidator, MaskLanguage)
{
    for (const TPictCase& c : PictCases) {
        TkqPictureValidator v(QString::fromLatin1(c.Picture), c.AutoFill);
        QString text = QString::fromLatin1(c.Input);
        EXPECT_EQ(v.Picture(text, c.AutoFill), c.Result) << c.Picture << " / " << c.Input;
        EXPECT_EQ(text, QString::fromLatin1(c.Text)) << c.Picture << " / " << c.Input;
        EXPECT_EQ(v.Status(), 0) << c.Picture;
    }
}

TEST(PictureValidator, MalformedPictures)
{
    for (const char* picture : BadPictures) {
        TkqPictureValidator v(QString::fromLatin1(picture), true);
        EXPECT_EQ(v.Status(), 1) << picture;
        for (const char* input : {"", "1", "12"}) {
            QString text = QString::fromLatin1(input);
            EXPECT_EQ(v.Picture(text, false), prSyntax) << picture << " / " << input;
            EXPECT_FALSE(v.IsValid(text)) << picture;
            EXPECT_TRUE(v.IsValidInput(text, false)) << picture;
        }
    }
}

TEST(PictureValidator, ValidityTestsAndOptions)
{
    TkqPictureValidator fill(QStringLiteral("###-####"), true);
    EXPECT_EQ(fill.Options(), 5u);
    QString typed = QStringLiteral("555");
    EXPECT_TRUE(fill.IsValidInput(typed, false));
    EXPECT_EQ(typed, QStringLiteral("555-"));
    typed = QStringLiteral("555");
    EXPECT_TRUE(fill.IsValidInput(typed, true));   // fill suppressed
    EXPECT_EQ(typed, QStringLiteral("555"));
    typed = QStringLiteral("55a");
    EXPECT_FALSE(fill.IsValidInput(typed, false));

    TkqPictureValidator plain(QStringLiteral("###"), false);
    EXPECT_EQ(plain.Options(), 4u);
    EXPECT_TRUE(plain.IsValid(QString()));
    EXPECT_TRUE(plain.IsValid(QStringLiteral("123")));
    EXPECT_FALSE(plain.IsValid(QStringLiteral("12")));

    // No picture: everything is valid and nothing is touched.
    TkqPictureValidator none(QString(), true);
    EXPECT_EQ(none.Status(), 0);
    QString any = QStringLiteral("anything");
    EXPECT_TRUE(none.IsValid(any));
    EXPECT_TRUE(none.IsValidInput(any, false));
    EXPECT_EQ(any, QStringLiteral("anything"));
}

TEST(PictureValidator, NestedAndRepeatedPicturesEnd)
{
    // Pictures that nest repetitions and groups deeply, or repeat a huge number of times,
    // still answer (and quickly).
    for (const char* picture : {"*99999[#]", "*{*[#],x}", "[[[[#]]]]", "*65535#", "{*#,*&}*[,]"}) {
        TkqPictureValidator v(QString::fromLatin1(picture), true);
        for (const char* input : {"", "1", "12x", "xyz"}) {
            QString text = QString::fromLatin1(input);
            const TkqPicResult r = v.Picture(text, true);
            EXPECT_LE(int(r), int(prSyntax)) << picture << " / " << input;
        }
    }
}
