#include "utilities/vzStrUtils.h"

#include <QByteArray>

namespace {
int HexDigit(QChar c)
{
    ushort u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}
} // namespace

QString ReplaceAll(const QString& text, const QString& search, const QString& replacement)
{
    if (search.isEmpty()) return text;
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(search, from); at >= 0; at = text.indexOf(search, from)) {
        result += QStringView(text).mid(from, at - from);
        result += replacement;
        from = at + search.size();
    }
    result += QStringView(text).mid(from);
    return result;
}

QString DeleteChar(const QString& text, QChar c)
{
    QString s = text;
    s.remove(c);
    return s;
}

int CountWords(const QString& text, const TCharSet& delimiters)
{
    int count = 0;
    bool inWord = false;
    for (QChar c : text) {
        bool delim = delimiters.Contains(c);
        if (!delim && !inWord) ++count;
        inWord = !delim;
    }
    return count;
}

int WordStart(int n, const QString& text, const TCharSet& delimiters)
{
    if (n < 1) return 0;
    int count = 0;
    bool inWord = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool delim = delimiters.Contains(text[i]);
        if (!delim && !inWord && ++count == n) return int(i + 1);
        inWord = !delim;
    }
    return 0;
}

QString NthWord(int n, const QString& text, const TCharSet& delimiters)
{
    int start = WordStart(n, text, delimiters);
    if (start == 0) return QString();
    qsizetype end = start - 1;
    while (end < text.size() && !delimiters.Contains(text[end])) ++end;
    return text.mid(start - 1, end - (start - 1));
}

QString NextField(const QString& text, int& position, const TCharSet& delimiters)
{
    int start = qMax(position, 1);
    qsizetype i = start - 1;
    while (i < text.size() && !delimiters.Contains(text[i])) ++i;
    QString field = start - 1 < text.size() ? text.mid(start - 1, i - (start - 1)) : QString();
    position = int(i < text.size() ? i + 2 : text.size() + 1);
    return field;
}

QString KeyXorEncode(const QString& key, const QString& text)
{
    const QByteArray k = key.toUtf8();
    const QByteArray t = text.toUtf8();
    QByteArray out;
    out.reserve(t.size());
    for (qsizetype i = 0; i < t.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(t[i]);
        if (!k.isEmpty()) c ^= static_cast<unsigned char>(k[i % k.size()]);
        out += char(c);
    }
    return QString::fromLatin1(out.toHex());
}

QString KeyXorDecode(const QString& key, const QString& hexText)
{
    const QByteArray k = key.toUtf8();
    QByteArray out;
    const qsizetype pairs = hexText.size() / 2;
    out.reserve(pairs);
    for (qsizetype i = 0; i < pairs; ++i) {
        int hi = HexDigit(hexText[i * 2]);
        int lo = HexDigit(hexText[i * 2 + 1]);
        unsigned char c = (hi < 0 || lo < 0) ? ' ' : static_cast<unsigned char>(hi * 16 + lo);
        if (!k.isEmpty()) c ^= static_cast<unsigned char>(k[i % k.size()]);
        out += char(c);
    }
    return QString::fromUtf8(out);
}
