#include "memtable/zohCSVText.h"

QByteArray zohEscape(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '\0': out.append("%0"); break;
        case '\n': out.append("%n"); break;
        case '\r': out.append("%c"); break;
        case '%': out.append("%%"); break;
        default: out.append(c);
        }
    }
    return out;
}

QByteArray zohUnescape(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '%' || i + 1 >= text.size()) {
            out.append(c);
            continue;
        }
        const char n = text.at(++i);
        // An unknown escape stands for the character itself.
        out.append(n == '0' ? '\0' : n == 'n' ? '\n' : n == 'c' ? '\r' : n);
    }
    return out;
}

QByteArray zohEncode6Bit(const QByteArray& bytes)
{
    const qsizetype len = bytes.size();
    if (len == 0) return QByteArray();
    const qsizetype n = (4 * len + 2) / 3;
    QByteArray out(n, '\0');
    quint16 a = 0;
    int s = 0;
    qsizetype in = 0;
    for (qsizetype i = 0; i < n - 1; ++i) {
        a = quint16(a >> 6);
        if (s > 5) {
            s -= 6;
        } else {
            const quint8 b = in < len ? quint8(bytes.at(in)) : 0;
            ++in;
            a = quint16(a | (b << s));
            s += 2;
        }
        out[i] = char((a & 63) + 32);
    }
    out[n - 1] = char((a >> 6) + 32);
    return out;
}

QByteArray zohDecode6Bit(const QByteArray& text)
{
    const qsizetype n = text.size() * 3 / 4;
    QByteArray out;
    out.reserve(n);
    quint32 a = 0;
    int c = 0;
    for (char ch : text) {
        if (out.size() >= n) break;
        a |= quint32((quint8(ch) - 32) & 0xFF) << c;
        if (c < 2) {
            c += 6;
        } else {
            out.append(char(a & 0xFF));
            c -= 2;
            a >>= 8;
        }
    }
    return out;
}

QByteArray zohQuote(const QByteArray& text, char quote)
{
    if (!quote) return text;
    QByteArray out;
    out.reserve(text.size() + 2);
    out.append(quote);
    for (char c : text) {
        out.append(c);
        if (c == quote) out.append(quote);
    }
    out.append(quote);
    return out;
}

QByteArray zohUnquote(const QByteArray& text, char quote)
{
    if (!quote) return text;
    qsizetype i = 0;
    while (i < text.size() && quint8(text.at(i)) <= ' ' && text.at(i) != '\0') ++i;
    if (i >= text.size() || text.at(i) != quote) return text;
    QByteArray out;
    for (++i; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == quote) {
            if (i + 1 < text.size() && text.at(i + 1) == quote) {
                out.append(quote);
                ++i;
                continue;
            }
            break;
        }
        out.append(c);
    }
    return out;
}

QList<QByteArray> zohSplitCommaText(const QByteArray& text)
{
    QList<QByteArray> items;
    const qsizetype n = text.size();
    auto blank = [&](qsizetype i) { return i < n && quint8(text.at(i)) >= 1 && quint8(text.at(i)) <= ' '; };
    qsizetype p = 0;
    while (blank(p)) ++p;
    while (p < n) {
        QByteArray item;
        if (text.at(p) == '"') {
            ++p;
            while (p < n) {
                if (text.at(p) == '"') {
                    if (p + 1 < n && text.at(p + 1) == '"') {
                        item.append('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item.append(text.at(p++));
            }
        } else {
            const qsizetype start = p;
            while (p < n && quint8(text.at(p)) > ' ' && text.at(p) != ',') ++p;
            item = text.mid(start, p - start);
        }
        items.append(item);
        while (blank(p)) ++p;
        if (p < n && text.at(p) == ',') {
            do ++p;
            while (blank(p));
        }
    }
    return items;
}

bool TzohLineReader::Fill()
{
    if (FEnd) return false;
    FBuffer = FBuffer.mid(FPos);
    FPos = 0;
    const QByteArray block = FSource->read(8192);
    if (block.isEmpty()) {
        FEnd = true;
        return false;
    }
    FBuffer.append(block);
    ++FBlocks;
    if (OnBlock) OnBlock();
    return true;
}

bool TzohLineReader::ReadLine(QByteArray& line)
{
    auto isBreak = [](char c) { return c == '\r' || c == '\n' || c == '\0'; };
    // Skip the run of separators before the line.
    for (;;) {
        while (FPos < FBuffer.size() && isBreak(FBuffer.at(FPos))) ++FPos;
        if (FPos < FBuffer.size()) break;
        if (!Fill()) return false;
    }
    qsizetype scan = FPos;
    for (;;) {
        while (scan < FBuffer.size() && !isBreak(FBuffer.at(scan))) ++scan;
        if (scan < FBuffer.size()) break;
        const qsizetype offset = scan - FPos;
        if (!Fill()) {
            line = FBuffer.mid(FPos);
            FPos = FBuffer.size();
            return true;
        }
        scan = FPos + offset;
    }
    line = FBuffer.mid(FPos, scan - FPos);
    FPos = scan;
    return true;
}

bool TzohColumnReader::Next(QByteArray& column)
{
    column.clear();
    FQuoted = false;
    const qsizetype n = FLine.size();
    if (FPos >= n) return false;
    if (!FQuote) {
        const qsizetype start = FPos;
        while (FPos < n && !IsDelimiter(FLine.at(FPos))) ++FPos;
        column = FLine.mid(start, FPos - start);
        if (FPos < n) ++FPos;
        return true;
    }
    while (FPos < n && FLine.at(FPos) != FQuote && !IsDelimiter(FLine.at(FPos))) ++FPos;
    if (FPos >= n) return false;
    if (FLine.at(FPos) != FQuote) {
        ++FPos;
        return true;
    }
    ++FPos;
    FQuoted = true;
    while (FPos < n) {
        const char c = FLine.at(FPos);
        if (c == FQuote) {
            if (FPos + 1 < n && FLine.at(FPos + 1) == FQuote) {
                column.append(FQuote);
                FPos += 2;
                continue;
            }
            ++FPos;
            break;
        }
        column.append(c);
        ++FPos;
    }
    if (FPos < n) ++FPos;   // the delimiter after the closing quote
    return true;
}
