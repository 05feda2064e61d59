#include "gridlib/core/Kqstr.h"

#include "platform/core/SysUtils.h"

namespace {
QChar AsciiUpperChar(QChar c)
{
    return c >= QLatin1Char('a') && c <= QLatin1Char('z') ? QChar(c.unicode() - 32) : c;
}
QChar AsciiLowerChar(QChar c)
{
    return c >= QLatin1Char('A') && c <= QLatin1Char('Z') ? QChar(c.unicode() + 32) : c;
}
} // namespace

QString AsciiUpper(const QString& text)
{
    QString r = text;
    for (QChar& c : r) c = AsciiUpperChar(c);
    return r;
}

QString AsciiLower(const QString& text)
{
    QString r = text;
    for (QChar& c : r) c = AsciiLowerChar(c);
    return r;
}

QString NextToken(const QString& text, const QString& sep, int& pos)
{
    if (pos <= 0) return QString();
    if (pos > text.size()) {
        pos = -1;
        return QString();
    }
    const QString rest = text.mid(pos - 1);
    int found;
    int sepLength;
    if (sep.size() == 1) {
        found = rest.indexOf(sep[0]);
        sepLength = 1;
    } else {
        // A word separator stands between blanks and matches in any case; the ASCII-only
        // upper-casing keeps positions in the upper-cased text those of the original.
        const QString word = QLatin1Char(' ') + AsciiUpper(sep) + QLatin1Char(' ');
        found = AsciiUpper(rest).indexOf(word);
        sepLength = word.size();
    }
    if (found < 0) {
        pos = -1;
        return rest;
    }
    pos += found + sepLength;
    return rest.left(found);
}

void SplitToList(const QString& text, QChar sep, QStringList& list)
{
    list = text.split(sep);
}

QString ScanToken(const QString& text, int& pos, unsigned flags, const QString& delims)
{
    const int n = text.size();
    if (pos <= 0 || pos > n) return QString();
    auto at = [&](int i) { return text[i - 1]; };
    int i = pos;
    if (flags & stSkipBlanks) {
        while (i <= n && (at(i) == QLatin1Char(' ') || at(i) == QLatin1Char('\t'))) ++i;
        pos = i;
    }
    if ((flags & stQuoted) && i <= n && at(i) == QLatin1Char('"')) {
        const int close = text.indexOf(QLatin1Char('"'), i);   // 0-based search from i + 1 (1-based)
        QString token;
        if (close >= 0) {
            token = text.mid(pos - 1, close + 1 - (pos - 1));
            pos = close + 2;
        } else {
            token = text.mid(pos - 1);
            pos = n + 1;
        }
        if ((flags & stStripQuotes) && !token.isEmpty() &&
            (token[0] == QLatin1Char('"') || token[0] == QLatin1Char('\''))) {
            token.remove(0, 1);
            if (!token.isEmpty() && (token.back() == QLatin1Char('"') || token.back() == QLatin1Char('\'')))
                token.chop(1);
        }
        return token;
    }
    const ushort limit = (flags & stBlanksInside) ? 32 : 33;
    while (i <= n) {
        const QChar c = at(i);
        if (c.unicode() < limit) break;
        if (delims.contains(c)) break;
        ++i;
    }
    const QString token = text.mid(pos - 1, qMax(1, i - pos));
    pos = token.size() < 2 ? i + 1 : i;
    return token;
}

QString BareFileName(const QString& path)
{
    const QString name = ExtractFileName(path);
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot);
}

void TrimLeftCharSet(QString& text, const QString& chars)
{
    int i = 0;
    while (i < text.size() && chars.contains(text[i])) ++i;
    text.remove(0, i);
}

void TrimRightCharSet(QString& text, const QString& chars)
{
    int n = text.size();
    while (n > 0 && chars.contains(text[n - 1])) --n;
    text.truncate(n);
}

void TrimBlanksAndTabs(QString& text)
{
    static const QString blanks = QStringLiteral(" \t");
    TrimLeftCharSet(text, blanks);
    TrimRightCharSet(text, blanks);
}

QString DeleteCharOccurrences(const QString& text, QChar ch)
{
    QString r = text;
    r.remove(ch);
    return r;
}

QString SubstituteChar(const QString& text, QChar oldCh, QChar newCh)
{
    QString r = text;
    r.replace(oldCh, newCh);
    return r;
}

QString SubstituteCharWithText(const QString& text, QChar ch, const QString& replacement)
{
    // QString::replace continues after each inserted replacement, as the rule asks.
    QString r = text;
    r.replace(ch, replacement);
    return r;
}

bool EqualIgnoringCase(QStringView a, QStringView b)
{
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (AsciiUpperChar(a[i]) != AsciiUpperChar(b[i])) return false;
    return true;
}

int CountCharOccurrences(const QString& text, QChar ch)
{
    return int(text.count(ch));
}

QString TextAfterChar(const QString& text, QChar ch)
{
    const int i = text.indexOf(ch);
    return i < 0 ? QString() : text.mid(i + 1);
}

QString TextBeforeChar(const QString& text, QChar ch)
{
    const int i = text.indexOf(ch);
    return i < 0 ? QString() : text.left(i);
}
