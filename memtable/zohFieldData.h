#pragma once
// Typed reads and writes of one field of a stored record, in the store's native forms:
// 8-bit zero-terminated text, 16/32/64-bit integers, doubles, 32-bit day numbers and
// millisecond counts, millisecond time stamps, 34-byte BCD, raw and length-prefixed bytes.

#include "memtable/zohCommon.h"

#include <QByteArray>

namespace zohdata {

// Converted values, with the conversions the fields apply on assignment.
struct TBcd {
    quint8 Precision = 0;
    quint8 SignSpecialPlaces = 0;
    quint8 Fraction[32] = {};
};
static_assert(sizeof(TBcd) == 34);
TBcd CurrToBcd(qint64 scaled);
// False when the value does not fit a currency.
bool BcdToCurr(const TBcd& bcd, qint64& scaled);

// Date-time encodings of the native forms.
qint32 DateTimeToDateField(TDateTime dt);
qint32 DateTimeToTimeField(TDateTime dt);
double DateTimeToStamp(TDateTime dt);       // milliseconds since 0001-01-01 minus one day
TDateTime DateFieldToDateTime(qint32 days);
TDateTime TimeFieldToDateTime(qint32 msecs);
TDateTime StampToDateTime(double msecs);
// The range the platform's dates cover (0001-01-01 to 9999-12-31 23:59:59.999).
bool ValidDateTime(double dt);

// True when the field has a value in the record.
inline bool HasValue(const TzohCommon& s, const TzohStoredRecord* r, int slot) { return s.FieldHasValue(r, slot); }

// The field's bytes: the text of a string field (without the terminator), the bytes of a
// byte, var-bytes or blob field. For other types, the raw fixed data.
QByteArray GetBytes(const TzohCommon& s, const TzohStoredRecord* r, int slot);
// A view of the same bytes without copying; valid until the record changes.
bool ViewBytes(const TzohCommon& s, const TzohStoredRecord* r, int slot, const char*& data, qsizetype& len);
// Assigns text or bytes: cut to the field's size (byte fields padded with zeros).
void SetBytes(TzohCommon& s, TzohStoredRecord* r, int slot, const char* data, qsizetype len);
inline void SetBytes(TzohCommon& s, TzohStoredRecord* r, int slot, const QByteArray& b) { SetBytes(s, r, slot, b.constData(), b.size()); }

qint64 GetInteger(const TzohCommon& s, const TzohStoredRecord* r, int slot);   // small, integer, word, autoinc, largeint, boolean
void SetInteger(TzohCommon& s, TzohStoredRecord* r, int slot, qint64 v);
double GetFloat(const TzohCommon& s, const TzohStoredRecord* r, int slot);     // float, currency (as units), BCD, dates as TDateTime
void SetFloat(TzohCommon& s, TzohStoredRecord* r, int slot, double v);
qint64 GetCurrency(const TzohCommon& s, const TzohStoredRecord* r, int slot);  // scaled by 10,000
void SetCurrency(TzohCommon& s, TzohStoredRecord* r, int slot, qint64 scaled);
TDateTime GetDateTime(const TzohCommon& s, const TzohStoredRecord* r, int slot);
void SetDateTime(TzohCommon& s, TzohStoredRecord* r, int slot, TDateTime dt);
bool GetBoolean(const TzohCommon& s, const TzohStoredRecord* r, int slot);
void SetBoolean(TzohCommon& s, TzohStoredRecord* r, int slot, bool v);
void SetNull(TzohCommon& s, TzohStoredRecord* r, int slot);

} // namespace zohdata
