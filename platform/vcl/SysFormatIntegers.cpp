// Integer texts as the old runtime read them: blanks in front, a sign, then decimal digits,
// or "$", "x" or "0x" and hexadecimal digits covering the type's whole unsigned range.

#include "platform/vcl/SysFormat.h"

#include <limits>

namespace {

// Decimal with an optional sign, or hexadecimal after "$", "x" or "0x" (the bit pattern).
bool ParseInteger(const QString& s, qint64& value, bool& hex)
{
    int i = 0;
    const int n = s.size();
    while (i < n && s[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) { negative = s[i] == '-'; ++i; }
    int base = 10;
    if (i < n && s[i] == '$') { base = 16; ++i; }
    else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) { base = 16; i += 2; }
    else if (i < n && (s[i] == 'x' || s[i] == 'X')) { base = 16; ++i; }
    if (i >= n) return false;
    hex = base == 16;
    const quint64 limit = quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    quint64 acc = 0;
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        if (acc > (std::numeric_limits<quint64>::max() - quint64(d)) / quint64(base)) return false;
        acc = acc * quint64(base) + quint64(d);
        if (!hex && acc > limit) return false;
    }
    value = negative ? qint64(quint64(0) - acc) : qint64(acc);
    return true;
}

} // namespace

bool TryStrToInt64(const QString& s, qint64& value)
{
    bool hex;
    return ParseInteger(s, value, hex);
}

bool TryStrToInt(const QString& s, int& value)
{
    qint64 v;
    bool hex;
    if (!ParseInteger(s, v, hex)) return false;
    // A 32-bit hexadecimal pattern reads as such ("$FFFFFFFF" is -1).
    if (hex && v >= 0 && v <= 0xFFFFFFFFLL) { value = int(quint32(v)); return true; }
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    value = int(v);
    return true;
}

