#include "gridlib/core/Kqstr.h"
#include "gridlib/core/kqStacks.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

namespace {
// Every token of a text from position 1, with the position after each.
std::vector<std::pair<QString, int>> Walk(const QString& text, const QString& sep)
{
    std::vector<std::pair<QString, int>> out;
    int pos = 1;
    while (pos != -1 && out.size() < 10) {
        const QString token = NextToken(text, sep, pos);
        out.emplace_back(token, pos);
    }
    return out;
}
} // namespace

TEST(NextToken, WalksOneCharacterAndWordSeparators)
{
    using Steps = std::vector<std::pair<QString, int>>;
    EXPECT_EQ(Walk(QStringLiteral("A;B;"), QStringLiteral(";")),
              (Steps{{QStringLiteral("A"), 3}, {QStringLiteral("B"), 5}, {QString(), -1}}));
    EXPECT_EQ(Walk(QStringLiteral("x>1 AND y<2"), QStringLiteral("and")),
              (Steps{{QStringLiteral("x>1"), 9}, {QStringLiteral("y<2"), -1}}));
    // A word separator needs its blanks.
    EXPECT_EQ(Walk(QStringLiteral("xandy"), QStringLiteral("and")), (Steps{{QStringLiteral("xandy"), -1}}));
    EXPECT_EQ(Walk(QString(), QStringLiteral(";")), (Steps{{QString(), -1}}));
    // One-character separators are found as they are, in their own case.
    EXPECT_EQ(Walk(QStringLiteral("aXb"), QStringLiteral("x")), (Steps{{QStringLiteral("aXb"), -1}}));

    int pos = 0;
    EXPECT_EQ(NextToken(QStringLiteral("a;b"), QStringLiteral(";"), pos), QString());
    EXPECT_EQ(pos, 0);
    pos = 9;
    EXPECT_EQ(NextToken(QStringLiteral("a;b"), QStringLiteral(";"), pos), QString());
    EXPECT_EQ(pos, -1);
    // The word is upper-cased a-z only: a German sharp s in the text keeps positions right.
    pos = 1;
    EXPECT_EQ(NextToken(QStringLiteral("straße or x"), QStringLiteral("or"), pos), QStringLiteral("straße"));
    EXPECT_EQ(NextToken(QStringLiteral("straße or x"), QStringLiteral("or"), pos), QStringLiteral("x"));
}

TEST(SplitToList, KeepsEmptyParts)
{
    QStringList list{QStringLiteral("old")};
    SplitToList(QStringLiteral("a;;b"), QLatin1Char(';'), list);
    EXPECT_EQ(list, (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}));
    SplitToList(QString(), QLatin1Char(';'), list);
    EXPECT_EQ(list, QStringList{QString()});
    SplitToList(QStringLiteral("a\t"), QLatin1Char('\t'), list);
    EXPECT_EQ(list, (QStringList{QStringLiteral("a"), QString()}));
}

TEST(ScanToken, DelimitersQuotesAndBlanks)
{
    struct Step {
        QString token;
        int pos;
    };
    struct Case {
        const char* text;
        unsigned flags;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"ab,c", stSkipBlanks, {{"ab", 3}, {",", 4}, {"c", 6}}},
        {"a,c", stSkipBlanks, {{"a", 3}, {"c", 5}}},           // a one-character token steps over the comma
        {"  x y", stSkipBlanks, {{"x", 5}, {"y", 7}}},
        {"\"My Name\" x", stQuoted | stStripQuotes, {{"My Name", 10}}},
        {"\"My Name\" x", stQuoted, {{"\"My Name\"", 10}}},
        {"\"abc", stQuoted | stStripQuotes, {{"abc", 5}}},      // unterminated: the rest without its quote
        {"a b,c", stBlanksInside, {{"a b", 4}, {",", 5}}},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        int pos = 1;
        for (const Step& s : c.steps) {
            EXPECT_EQ(ScanToken(text, pos, c.flags, QStringLiteral(",")), s.token) << c.text;
            EXPECT_EQ(pos, s.pos) << c.text << " " << s.token.toStdString();
        }
    }
    int pos = 0;
    EXPECT_EQ(ScanToken(QStringLiteral("abc"), pos, 0, QString()), QString());
    EXPECT_EQ(pos, 0);
}

TEST(TextRoutines, TrimSubstituteCompareAndSplitAtCharacters)
{
    EXPECT_EQ(BareFileName(QStringLiteral("/opt/tools/Setup.beta.exe")), QStringLiteral("Setup"));
    EXPECT_EQ(BareFileName(QStringLiteral("/opt/tools/README")), QString());

    EXPECT_EQ(TextAfterChar(QStringLiteral("abc"), QLatin1Char('x')), QString());
    EXPECT_EQ(TextAfterChar(QStringLiteral("abc"), QLatin1Char('c')), QString());
    EXPECT_EQ(TextAfterChar(QStringLiteral("abc"), QLatin1Char('a')), QStringLiteral("bc"));
    EXPECT_EQ(TextBeforeChar(QStringLiteral("abc"), QLatin1Char('x')), QString());
    EXPECT_EQ(TextBeforeChar(QStringLiteral("a=b=c"), QLatin1Char('=')), QStringLiteral("a"));

    QString text = QStringLiteral(" \t a b\t ");
    TrimBlanksAndTabs(text);
    EXPECT_EQ(text, QStringLiteral("a b"));
    text = QStringLiteral("xxyx");
    TrimLeftCharSet(text, QStringLiteral("xy"));
    EXPECT_EQ(text, QString());
    text = QStringLiteral("0120");
    TrimRightCharSet(text, QStringLiteral("0"));
    EXPECT_EQ(text, QStringLiteral("012"));

    EXPECT_EQ(SubstituteChar(QStringLiteral("a~b~"), QLatin1Char('~'), QLatin1Char(' ')), QStringLiteral("a b "));
    // A replacement holding the character is not replaced again.
    EXPECT_EQ(SubstituteCharWithText(QStringLiteral("'a'"), QLatin1Char('\''), QStringLiteral("''")),
              QStringLiteral("''a''"));
    EXPECT_EQ(DeleteCharOccurrences(QStringLiteral("1,234,5"), QLatin1Char(',')), QStringLiteral("12345"));
    EXPECT_EQ(CountCharOccurrences(QStringLiteral("a;b;c"), QLatin1Char(';')), 2);

    EXPECT_TRUE(EqualIgnoringCase(QStringLiteral("Name_1"), QStringLiteral("nAME_1")));
    EXPECT_FALSE(EqualIgnoringCase(QStringLiteral("äb"), QStringLiteral("ÄB")));   // a-z only
    EXPECT_FALSE(EqualIgnoringCase(QStringLiteral("ab"), QStringLiteral("abc")));
}

TEST(Stacks, PushPopAndEmpty)
{
    TStackStr texts;
    EXPECT_EQ(texts.Pop(), QString());
    texts.Push(QStringLiteral("a"));
    texts.Push(QStringLiteral("b"));
    EXPECT_EQ(texts.Count(), 2);
    EXPECT_EQ(texts.Pop(), QStringLiteral("b"));
    EXPECT_EQ(texts.Pop(), QStringLiteral("a"));
    EXPECT_EQ(texts.Count(), 0);

    TStackPtr pointers;
    EXPECT_EQ(pointers.Pop(), nullptr);
    int x = 0, y = 0;
    EXPECT_EQ(pointers.Push(&x), 0);
    EXPECT_EQ(pointers.Push(&y), 1);
    EXPECT_EQ(pointers.Pop(), &y);
    EXPECT_EQ(pointers.Count(), 1);
}
