#include "platform/stream/Win1252.h"

#include "platform/core/CodePages.h"

#include <cstring>

namespace {
// The platform's table of the code page, built once.
const char16_t* Table()
{
    static const char16_t* t = SingleByteCodePageTable(1252);
    return t;
}

inline char16_t ToUnicode(unsigned char b)
{
    return b < 0x80 ? char16_t(b) : Table()[b];
}

inline char FromUnicode(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return char(c);
    const char16_t* t = Table();
    for (int i = 0x80; i < 0xA0; ++i)
        if (t[i] == c) return char(i);
    return '?';
}
} // namespace

bool IsAscii(const char* data, qsizetype len)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    for (; i + 8 <= len; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ull) return false;
    }
    for (; i < len; ++i)
        if (p[i] & 0x80) return false;
    return true;
}

QString Win1252ToString(const char* data, qsizetype len)
{
    return DecodeCodePage(QByteArrayView(data, len), 1252);
}

QByteArray StringToWin1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            ++i;
            out.append('?');
            continue;
        }
        out.append(FromUnicode(c));
    }
    return out;
}

QByteArray Win1252ToUtf8(const char* data, qsizetype len)
{
    QByteArray out;
    out.reserve(len + len / 2);
    for (qsizetype i = 0; i < len; ++i) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        if (b < 0x80) {
            out.append(char(b));
            continue;
        }
        const char16_t c = ToUnicode(b);
        if (c < 0x800) {
            out.append(char(0xC0 | (c >> 6)));
            out.append(char(0x80 | (c & 0x3F)));
        } else {
            out.append(char(0xE0 | (c >> 12)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
            out.append(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool Utf8ToWin1252(const char* data, qsizetype len, QByteArray& out)
{
    out.clear();
    out.reserve(len);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    bool ok = true;
    qsizetype i = 0;
    while (i < len) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out.append(char(b));
            ++i;
            continue;
        }
        const int extra = (b >= 0xC2 && b < 0xE0) ? 1 : (b >= 0xE0 && b < 0xF0) ? 2 : (b >= 0xF0 && b < 0xF5) ? 3 : -1;
        char32_t c = 0;
        bool good = extra > 0 && i + extra < len;
        if (good) {
            c = b & (0x3F >> extra);
            for (int k = 1; k <= extra; ++k) {
                const unsigned char t = p[i + k];
                if ((t & 0xC0) != 0x80) {
                    good = false;
                    break;
                }
                c = (c << 6) | (t & 0x3F);
            }
        }
        if (!good) {
            out.append('?');
            ok = false;
            ++i;
            continue;
        }
        out.append(FromUnicode(c));
        i += extra + 1;
    }
    return ok;
}
