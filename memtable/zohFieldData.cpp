#include "memtable/zohFieldData.h"

#include <cmath>
#include <cstring>

namespace zohdata {

namespace {
template <typename T> T Load(const char* p)
{
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}
template <typename T> void Store(char* p, T v) { std::memcpy(p, &v, sizeof(T)); }

inline bool IsText(int t) { return t == zft::String || t == zft::FixedChar; }
} // namespace

// ---------------------------------------------------------------- BCD

TBcd CurrToBcd(qint64 scaled)
{
    TBcd b;
    const bool neg = scaled < 0;
    quint64 mag = neg ? quint64(0) - quint64(scaled) : quint64(scaled);
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char(mag % 10);
        mag /= 10;
    } while (mag);
    while (n < 5) digits[n++] = 0;   // at least one integer digit before the four decimals
    b.Precision = quint8(n);
    b.SignSpecialPlaces = quint8((neg ? 0x80 : 0) | 4);
    for (int i = 0; i < n; ++i) {
        const int d = digits[n - 1 - i];
        if (i % 2 == 0) b.Fraction[i / 2] = quint8(d << 4);
        else b.Fraction[i / 2] |= quint8(d);
    }
    return b;
}

bool BcdToCurr(const TBcd& b, qint64& scaled)
{
    const int prec = qMin<int>(b.Precision, 64);
    const int places = b.SignSpecialPlaces & 0x3F;
    if (places > prec) return false;
    __int128 v = 0;
    for (int i = 0; i < prec; ++i) {
        const int byte = b.Fraction[i / 2];
        const int d = (i % 2 == 0) ? byte >> 4 : byte & 15;
        if (d > 9) return false;
        v = v * 10 + d;
        if (v > (__int128(1) << 100)) return false;
    }
    // To four decimals, rounding half away from zero when places exceed four.
    if (places < 4) {
        for (int i = places; i < 4; ++i) v *= 10;
    } else {
        for (int i = 4; i < places; ++i) {
            const bool up = (i == places - 1) && (v % 10) >= 5;
            v /= 10;
            if (up) ++v;
        }
    }
    if (v > __int128(INT64_MAX)) return false;
    scaled = (b.SignSpecialPlaces & 0x80) ? -qint64(v) : qint64(v);
    return true;
}

// ---------------------------------------------------------------- dates

qint32 DateTimeToDateField(TDateTime dt) { return DateTimeToDayNumber(dt); }
qint32 DateTimeToTimeField(TDateTime dt) { return DateTimeToMSecOfDay(dt); }
double DateTimeToStamp(TDateTime dt)
{
    return double(DateTimeToDayNumber(dt)) * MSecsPerDay + DateTimeToMSecOfDay(dt);
}
TDateTime DateFieldToDateTime(qint32 days) { return DayNumberToDateTime(days, 0); }
TDateTime TimeFieldToDateTime(qint32 msecs) { return msecs / MSecsPerDay; }
TDateTime StampToDateTime(double msecs)
{
    const double days = std::floor(msecs / MSecsPerDay);
    return DayNumberToDateTime(int(days), int(std::llround(msecs - days * MSecsPerDay)));
}
bool ValidDateTime(double dt)
{
    return std::isfinite(dt) && dt >= -693593.0 && dt < 2958466.0;
}

// ---------------------------------------------------------------- bytes and text

bool ViewBytes(const TzohCommon& s, const TzohStoredRecord* r, int slot, const char*& data, qsizetype& len)
{
    const TzohSlot& f = s.Slot(slot);
    if (!s.FieldHasValue(r, slot)) {
        data = nullptr;
        len = 0;
        return false;
    }
    if (f.VarLength()) {
        const TzohVarBuffer* b = s.VarBufferOf(r, slot);
        data = b ? b->Bytes() : nullptr;
        len = b ? b->Length : 0;
        return true;
    }
    const char* p = s.FixedData(r, slot);
    switch (f.DataType) {
    case zft::String:
    case zft::FixedChar:
        data = p;
        len = qsizetype(strnlen(p, size_t(f.Size)));
        return true;
    case zft::VarBytes:
        data = p + 2;
        len = qMin<qsizetype>(Load<quint16>(p), f.Size);
        return true;
    default:
        data = p;
        len = f.DataSize;
        return true;
    }
}

QByteArray GetBytes(const TzohCommon& s, const TzohStoredRecord* r, int slot)
{
    const char* d;
    qsizetype n;
    if (!ViewBytes(s, r, slot, d, n)) return QByteArray();
    return QByteArray(d, n);
}

void SetBytes(TzohCommon& s, TzohStoredRecord* r, int slot, const char* data, qsizetype len)
{
    const TzohSlot& f = s.Slot(slot);
    const int t = f.DataType;
    if (IsText(t)) {
        len = qsizetype(strnlen(data, size_t(qMin<qsizetype>(len, f.Size))));
    } else if (t == zft::Bytes || t == zft::VarBytes) {
        len = qMin<qsizetype>(len, f.Size);
    }
    if (f.VarLength()) {
        if (t == zft::Bytes && len < f.Size) {
            QByteArray padded(data, len);
            padded.append(QByteArray(f.Size - len, '\0'));
            s.SetVarValue(r, slot, padded.constData(), padded.size());
        } else {
            s.SetVarValue(r, slot, data, len);
        }
        return;
    }
    char* at = s.FieldAddress(r, slot);
    char* p = at + 1;
    at[0] = 1;
    if (IsText(t)) {
        std::memcpy(p, data, size_t(len));
        std::memset(p + len, 0, size_t(f.DataSize - len));
    } else if (t == zft::VarBytes) {
        Store<quint16>(p, quint16(len));
        std::memcpy(p + 2, data, size_t(len));
        std::memset(p + 2 + len, 0, size_t(f.Size - len));
    } else if (t == zft::Bytes) {
        std::memcpy(p, data, size_t(len));
        std::memset(p + len, 0, size_t(f.Size - len));
    } else {
        const qsizetype n = qMin<qsizetype>(len, f.DataSize);
        std::memcpy(p, data, size_t(n));
        std::memset(p + n, 0, size_t(f.DataSize - n));
    }
}

void SetNull(TzohCommon& s, TzohStoredRecord* r, int slot)
{
    s.SetFieldNull(r, slot);
}

// ---------------------------------------------------------------- numbers

qint64 GetInteger(const TzohCommon& s, const TzohStoredRecord* r, int slot)
{
    const char* p = s.FixedData(r, slot);
    switch (s.Slot(slot).DataType) {
    case zft::Smallint: return Load<qint16>(p);
    case zft::Word: return Load<quint16>(p);
    case zft::Boolean: return Load<quint16>(p) != 0;
    case zft::Integer: case zft::AutoInc: case zft::Date: case zft::Time: return Load<qint32>(p);
    case zft::Largeint: return Load<qint64>(p);
    case zft::Float: case zft::Currency: return qint64(Load<double>(p));
    default: return 0;
    }
}

void SetInteger(TzohCommon& s, TzohStoredRecord* r, int slot, qint64 v)
{
    char* at = s.FieldAddress(r, slot);
    char* p = at + 1;
    switch (s.Slot(slot).DataType) {
    case zft::Smallint: Store<qint16>(p, qint16(v)); break;
    case zft::Word: Store<quint16>(p, quint16(v)); break;
    case zft::Boolean: Store<quint16>(p, v ? 1 : 0); break;
    case zft::Integer: case zft::AutoInc: Store<qint32>(p, qint32(v)); break;
    case zft::Largeint: Store<qint64>(p, v); break;
    case zft::Float: case zft::Currency: Store<double>(p, double(v)); break;
    case zft::BCD: {
        const TBcd b = CurrToBcd(v * 10000);
        std::memcpy(p, &b, sizeof b);
        break;
    }
    default: return;
    }
    at[0] = 1;
}

double GetFloat(const TzohCommon& s, const TzohStoredRecord* r, int slot)
{
    const char* p = s.FixedData(r, slot);
    switch (s.Slot(slot).DataType) {
    case zft::Float: case zft::Currency: return Load<double>(p);
    case zft::BCD: {
        qint64 c = 0;
        TBcd b;
        std::memcpy(&b, p, sizeof b);
        BcdToCurr(b, c);
        return double(c) / 10000.0;
    }
    case zft::Date: case zft::Time: case zft::DateTime: return GetDateTime(s, r, slot);
    default: return double(GetInteger(s, r, slot));
    }
}

void SetFloat(TzohCommon& s, TzohStoredRecord* r, int slot, double v)
{
    char* at = s.FieldAddress(r, slot);
    switch (s.Slot(slot).DataType) {
    case zft::Float: case zft::Currency: Store<double>(at + 1, v); at[0] = 1; break;
    case zft::BCD: SetCurrency(s, r, slot, std::llrint(v * 10000.0)); break;
    case zft::Date: case zft::Time: case zft::DateTime: SetDateTime(s, r, slot, v); break;
    default: SetInteger(s, r, slot, qint64(v)); break;
    }
}

qint64 GetCurrency(const TzohCommon& s, const TzohStoredRecord* r, int slot)
{
    const char* p = s.FixedData(r, slot);
    if (s.Slot(slot).DataType == zft::BCD) {
        qint64 c = 0;
        TBcd b;
        std::memcpy(&b, p, sizeof b);
        BcdToCurr(b, c);
        return c;
    }
    return std::llrint(GetFloat(s, r, slot) * 10000.0);
}

void SetCurrency(TzohCommon& s, TzohStoredRecord* r, int slot, qint64 scaled)
{
    char* at = s.FieldAddress(r, slot);
    if (s.Slot(slot).DataType == zft::BCD) {
        const TBcd b = CurrToBcd(scaled);
        std::memcpy(at + 1, &b, sizeof b);
        at[0] = 1;
        return;
    }
    SetFloat(s, r, slot, double(scaled) / 10000.0);
}

TDateTime GetDateTime(const TzohCommon& s, const TzohStoredRecord* r, int slot)
{
    const char* p = s.FixedData(r, slot);
    switch (s.Slot(slot).DataType) {
    case zft::Date: return DateFieldToDateTime(Load<qint32>(p));
    case zft::Time: return TimeFieldToDateTime(Load<qint32>(p));
    case zft::DateTime: return StampToDateTime(Load<double>(p));
    default: return GetFloat(s, r, slot);
    }
}

void SetDateTime(TzohCommon& s, TzohStoredRecord* r, int slot, TDateTime dt)
{
    char* at = s.FieldAddress(r, slot);
    switch (s.Slot(slot).DataType) {
    case zft::Date: Store<qint32>(at + 1, DateTimeToDateField(dt)); break;
    case zft::Time: Store<qint32>(at + 1, DateTimeToTimeField(dt)); break;
    case zft::DateTime: Store<double>(at + 1, DateTimeToStamp(dt)); break;
    default: SetFloat(s, r, slot, dt); return;
    }
    at[0] = 1;
}

bool GetBoolean(const TzohCommon& s, const TzohStoredRecord* r, int slot)
{
    return Load<quint16>(s.FixedData(r, slot)) != 0;
}

void SetBoolean(TzohCommon& s, TzohStoredRecord* r, int slot, bool v)
{
    char* at = s.FieldAddress(r, slot);
    Store<quint16>(at + 1, v ? 1 : 0);
    at[0] = 1;
}

} // namespace zohdata
