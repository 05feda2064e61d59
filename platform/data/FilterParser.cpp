#include "platform/data/FilterParser.h"

bool TFilterLexer::IsWord(const char* word) const
{
    return FToken.Kind == TFilterToken::ftkName && FToken.Quote.isNull() &&
           FToken.Text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool TFilterLexer::IsSym(const char* sym) const
{
    return FToken.Kind == TFilterToken::ftkSymbol && FToken.Text == QLatin1String(sym);
}

void TFilterLexer::Expect(const char* sym)
{
    if (!IsSym(sym)) SyntaxError(FToken, QStringLiteral("\"%1\" expected").arg(QLatin1String(sym)));
    Next();
}

void TFilterLexer::Next()
{
    const int n = int(FText.size());
    while (FPos < n && FText[FPos].isSpace()) ++FPos;
    FToken = TFilterToken();
    FToken.Pos = FPos;
    if (FPos >= n) return;
    const QChar c = FText[FPos];
    auto fail = [&](TFilterToken::TKind kind, const QString& what) {
        TFilterToken at;
        at.Kind = kind;
        at.Pos = FToken.Pos;
        if (kind == TFilterToken::ftkSymbol) at.Text = c;
        SyntaxError(at, what);
    };

    const bool quotedName = c == QLatin1Char('"') && !FRules.DoubledQuotesInNames;
    if (c == QLatin1Char('\'') || (c == QLatin1Char('"') && !quotedName)) {
        // Text, or a name in double quotes: the quote doubled stands for itself.
        ++FPos;
        for (;;) {
            if (FPos >= n) fail(c == QLatin1Char('\'') ? TFilterToken::ftkEnd : TFilterToken::ftkSymbol,
                                QStringLiteral("unterminated text"));
            if (FText[FPos] == c) {
                if (FPos + 1 < n && FText[FPos + 1] == c) {
                    FToken.Text += c;
                    FPos += 2;
                    continue;
                }
                ++FPos;
                break;
            }
            FToken.Text += FText[FPos++];
        }
        FToken.Kind = c == QLatin1Char('\'') ? TFilterToken::ftkText : TFilterToken::ftkName;
        if (c == QLatin1Char('"')) FToken.Quote = c;
        return;
    }
    if (quotedName || c == QLatin1Char('[')) {
        const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
        const int end = int(FText.indexOf(close, FPos + 1));
        if (end < 0) fail(TFilterToken::ftkSymbol, QStringLiteral("\"%1\" expected").arg(close));
        FToken.Kind = TFilterToken::ftkName;
        FToken.Quote = c;
        FToken.Text = FText.mid(FPos + 1, end - FPos - 1);
        if (c == QLatin1Char('[') && FRules.TrimBracketedNames) FToken.Text = FToken.Text.trimmed();
        FPos = end + 1;
        return;
    }
    if (c.isDigit() || (c == QLatin1Char('.') && FPos + 1 < n && FText[FPos + 1].isDigit())) {
        int e = FPos;
        while (e < n && (FText[e].isDigit() || FText[e] == QLatin1Char('.'))) ++e;
        if (e < n && (FText[e] == QLatin1Char('e') || FText[e] == QLatin1Char('E'))) {
            int k = e + 1;
            if (k < n && (FText[k] == QLatin1Char('+') || FText[k] == QLatin1Char('-'))) ++k;
            if (k < n && FText[k].isDigit()) {
                e = k;
                while (e < n && FText[e].isDigit()) ++e;
            }
        }
        FToken.Kind = TFilterToken::ftkNumber;
        FToken.Text = FText.mid(FPos, e - FPos);
        FPos = e;
        return;
    }
    if (c.isLetter() || c == QLatin1Char('_')) {
        int e = FPos;
        while (e < n && (FText[e].isLetterOrNumber() || FText[e] == QLatin1Char('_') ||
                         (FRules.DotsInNames && FText[e] == QLatin1Char('.'))))
            ++e;
        FToken.Kind = TFilterToken::ftkName;
        FToken.Text = FText.mid(FPos, e - FPos);
        FPos = e;
        return;
    }
    static const char* const twoChar[] = {"<>", "!=", "<=", ">=", "||"};
    for (const char* s : twoChar) {
        if (QStringView(FText).mid(FPos, 2) != QLatin1String(s)) continue;
        if (s[0] == '|' && !FRules.BarsConcatenate) break;
        FToken.Kind = TFilterToken::ftkSymbol;
        FToken.Text = s[0] == '!' && FRules.SpellNotEqualAsAngles ? QStringLiteral("<>") : QString::fromLatin1(s);
        FPos += 2;
        return;
    }
    if (QStringLiteral("=<>+-*/(),").contains(c)) {
        FToken.Kind = TFilterToken::ftkSymbol;
        FToken.Text = c;
        ++FPos;
        return;
    }
    fail(TFilterToken::ftkSymbol, QStringLiteral("unexpected character \"%1\"").arg(c));
}
