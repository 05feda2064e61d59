#include "gridlib/core/Kqpict.h"

#include <QScopedValueRollback>

namespace {
bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool IsLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           c.unicode() > 128;
}

QChar AsciiFold(QChar c)
{
    return c >= QLatin1Char('a') && c <= QLatin1Char('z') ? QChar(c.unicode() - 32) : c;
}

// Picture characters that stop the filling of literals.
bool IsSpecial(QChar c)
{
    switch (c.unicode()) {
    case '#': case '?': case '&': case '!': case '@': case '*':
    case '{': case '}': case '[': case ']': case ',': case '~':
        return true;
    default:
        return false;
    }
}

// Passes that repeat an item without reading input give the same answer every time.
constexpr int MaxCount = 0xFFFF;
} // namespace

TkqPictureValidator::TkqPictureValidator(const QString& picture, bool autoFill)
    : FPicture(picture), FOptions(voTransfer | (autoFill ? unsigned(voFill) : 0u))
{
    if (FPicture.isEmpty()) return;
    FSyntaxOk = SyntaxCheck();
    QString empty;
    if (Picture(empty, false) != prEmpty) FStatus = 1;
}

bool TkqPictureValidator::IsValidInput(QString& text, bool suppressFill)
{
    if (FPicture.isEmpty()) return true;
    return Picture(text, (FOptions & voFill) && !suppressFill) != prError;
}

bool TkqPictureValidator::IsValid(const QString& text)
{
    if (FPicture.isEmpty()) return true;
    QString copy = text;
    const TkqPicResult r = Picture(copy, false);
    return r == prComplete || r == prEmpty;
}

bool TkqPictureValidator::SyntaxCheck() const
{
    const int n = int(FPicture.size());
    if (n == 0) return false;
    if (At(n) == QLatin1Char(';')) return false;
    if (At(n) == QLatin1Char('*') && At(n - 1) != QLatin1Char(';')) return false;
    int brackets = 0, braces = 0;
    for (int i = 1; i <= n; ++i) {
        switch (At(i).unicode()) {
        case ';': ++i; break;
        case '[': ++brackets; break;
        case ']': --brackets; break;
        case '{': ++braces; break;
        case '}': --braces; break;
        default: break;
        }
    }
    return brackets == 0 && braces == 0;
}

TkqPicResult TkqPictureValidator::Picture(QString& text, bool autoFill)
{
    if (!FSyntaxOk) return prSyntax;
    if (text.isEmpty()) return prEmpty;

    const int end = int(FPicture.size()) + 1;
    FInput = &text;
    FBlankMatched = false;
    FI = 1;
    FJ = 1;
    int r = Process(end);
    if (r != prError && r != prSyntax && FJ <= text.size()) r = prError;   // input left over

    if (r == prIncomplete && autoFill) {
        const QString before = text;
        bool filled = false;
        while (FI < end && (At(FI).unicode() > 127 || !IsSpecial(At(FI)))) {
            if (At(FI) == QLatin1Char(';')) ++FI;
            text += At(FI);
            ++FI;
            filled = true;
        }
        if (filled) {
            FI = 1;
            FJ = 1;
            r = Process(end);
            if (r == prError) {
                text = before;
                r = prIncomplete;
            }
        }
    }
    FInput = nullptr;
    if (r == prAmbiguous) return prComplete;
    if (r == prIncompNoFill) return prIncomplete;
    return TkqPicResult(r);
}

// Tries the alternatives of one level in order. A complete alternative wins over an
// incomplete one seen before it only when it got further into the input.
int TkqPictureValidator::Process(int termCh)
{
    // One Process call has its own "blank stood in for a literal" flag.
    QScopedValueRollback<bool> scope(FBlankMatched, false);
    int oldI = FI;
    const int oldJ = FJ;
    bool incomplete = false;
    int incI = 0, incJ = 0;
    for (;;) {
        int r = Scan(termCh);
        if ((r == prComplete || r == prAmbiguous) && incomplete && FJ < incJ) {
            r = prIncomplete;
            FI = incI;
            FJ = incJ;
        }
        if (r == prError || r == prIncomplete) {
            if (r == prIncomplete && !incomplete) {
                incomplete = true;
                incI = FI;
                incJ = FJ;
            }
            FI = oldI;
            FJ = oldJ;
            if (SkipToComma(termCh)) {
                oldI = FI;
                continue;
            }
            if (incomplete) {
                FI = incI;
                FJ = incJ;
                return prIncomplete;
            }
            return r;
        }
        return r == prComplete && incomplete ? prAmbiguous : r;
    }
}

// Matches one alternative.
int TkqPictureValidator::Scan(int termCh)
{
    QString& s = *FInput;
    int r = prEmpty;
    while (FI < termCh && At(FI) != QLatin1Char(',')) {
        if (FJ > s.size()) return CheckComplete(r, termCh);
        const QChar ch = s[FJ - 1];
        QChar pc = At(FI);
        switch (pc.unicode()) {
        case '#':
            if (!IsDigit(ch)) return prError;
            ++FI, ++FJ;
            break;
        case '?':
            if (!IsLetter(ch)) return prError;
            ++FI, ++FJ;
            break;
        case '&':
            if (!IsLetter(ch)) return prError;
            s[FJ - 1] = ch.toUpper();
            ++FI, ++FJ;
            break;
        case '~':
            if (!IsLetter(ch)) return prError;
            s[FJ - 1] = ch.toLower();
            ++FI, ++FJ;
            break;
        case '!':
            s[FJ - 1] = ch.toUpper();
            ++FI, ++FJ;
            break;
        case '@':
            ++FI, ++FJ;
            break;
        case '*':
            r = Iteration(termCh);
            if (r != prComplete && r != prAmbiguous) return r;
            break;
        case '{':
            r = Group(termCh);
            if (r != prComplete && r != prAmbiguous) return r;
            break;
        case '[':
            r = Group(termCh);
            if (r == prIncomplete || r == prIncompNoFill) return r;
            if (r == prError) r = prAmbiguous;   // a failed optional part is skipped
            break;
        default: {
            if (pc == QLatin1Char(';')) {
                ++FI;
                pc = At(FI);
            }
            const bool lastBlank = ch == QLatin1Char(' ') && FJ == s.size();
            if (AsciiFold(pc) != AsciiFold(ch)) {
                // A blank typed last stands in for the literal, once.
                if (!lastBlank || FBlankMatched) return prError;
            } else if (lastBlank) {
                FBlankMatched = true;
            }
            s[FJ - 1] = pc;
            ++FI, ++FJ;
            break;
        }
        }
        r = r == prAmbiguous ? prIncompNoFill : prIncomplete;
    }
    return r == prIncompNoFill ? prAmbiguous : prComplete;
}

int TkqPictureValidator::Group(int termCh)
{
    const int t = CalcTerm(termCh);
    ++FI;
    const int r = Process(t - 1);
    if (r != prIncomplete && r != prIncompNoFill) FI = t;
    return r;
}

int TkqPictureValidator::Iteration(int termCh)
{
    ++FI;
    int count = 0;
    while (IsDigit(At(FI))) {
        count = qMin(MaxCount, count * 10 + (At(FI).unicode() - '0'));
        ++FI;
    }
    if (FI > termCh) return prSyntax;
    const int k = FI;
    const int t = CalcTerm(termCh);
    int r = prComplete;
    if (count > 0) {
        for (int pass = 0; pass < count; ++pass) {
            FI = k;
            const int before = FJ;
            r = Process(t);
            if (r != prComplete && r != prAmbiguous) {
                if (r == prEmpty) r = At(FI) == QLatin1Char('[') ? prComplete : prIncomplete;
                return r;
            }
            if (FJ == before) break;
        }
    } else {
        int before;
        do {
            FI = k;
            before = FJ;
            r = Process(t);
        } while ((r == prComplete || r == prAmbiguous) && FJ != before);
        if (r == prEmpty || r == prError) r = prAmbiguous;
    }
    FI = t;
    return r;
}

// The input ran out at FI: the text is complete so far when the rest of the alternative can be
// left out (optional groups, open repetitions, a group with an alternative that can).
int TkqPictureValidator::CheckComplete(int result, int termCh)
{
    if (result != prIncomplete && result != prIncompNoFill) return result;
    return SkipOptional(FI, termCh) >= termCh ? prAmbiguous : result;
}

// Steps from p over items that need no input, up to end; where it stopped.
int TkqPictureValidator::SkipOptional(int p, int end) const
{
    while (p < end) {
        const QChar c = At(p);
        if (c == QLatin1Char('*')) {
            if (!IsDigit(At(p + 1))) {
                ++p;
                ToGroupEnd(p, end);
            } else if (At(p + 2) == QLatin1Char('[')) {
                p += 2;
                ToGroupEnd(p, end);
            } else {
                break;   // a counted repetition needs input
            }
        } else if (c == QLatin1Char('[')) {
            ToGroupEnd(p, end);
        } else if (c == QLatin1Char(',')) {
            // This alternative is finished: go on after the enclosing group's closing brace.
            int depth = 0;
            while (p < end) {
                const QChar d = At(p);
                if (d == QLatin1Char(';')) ++p;
                else if (d == QLatin1Char('{')) ++depth;
                else if (d == QLatin1Char('}') && depth-- == 0) break;
                ++p;
            }
            ++p;
        } else if (c == QLatin1Char('{')) {
            const int from = p;
            ToGroupEnd(p, end);
            if (!IsSkippableGroup(from, p)) return from;
        } else {
            break;
        }
    }
    return p;
}

// Whether one of the alternatives of the brace group from p (its "{") to end (after its "}")
// needs no input. Every alternative is examined to its last character.
bool TkqPictureValidator::IsSkippableGroup(int p, int end) const
{
    const int close = end - 1;
    int a = p + 1;
    while (a <= close) {
        int b = a;
        while (b < close && At(b) != QLatin1Char(',')) ToGroupEnd(b, close);
        if (SkipOptional(a, b) >= b) return true;
        a = b + 1;
    }
    return false;
}

// Steps p over one item: a character, an escaped literal, a group, or a repetition with its item.
void TkqPictureValidator::ToGroupEnd(int& p, int termCh) const
{
    int brackets = 0, braces = 0;
    do {
        if (p >= termCh) return;
        switch (At(p).unicode()) {
        case '[': ++brackets, ++p; break;
        case ']': --brackets, ++p; break;
        case '{': ++braces, ++p; break;
        case '}': --braces, ++p; break;
        case ';': p += 2; break;
        case '*':
            ++p;
            while (p < termCh && IsDigit(At(p))) ++p;
            ToGroupEnd(p, termCh);
            break;
        default: ++p; break;
        }
    } while (brackets != 0 || braces != 0);
}

int TkqPictureValidator::CalcTerm(int termCh) const
{
    int p = FI;
    ToGroupEnd(p, termCh);
    return p;
}

bool TkqPictureValidator::SkipToComma(int termCh)
{
    while (FI < termCh && At(FI) != QLatin1Char(',')) ToGroupEnd(FI, termCh);
    if (FI < termCh) ++FI;
    return FI < termCh;
}
