#include "platform/tables/DBaseReader.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr qint64 JulianDayOfZero = 2415019;   // Julian day number of 1899-12-30

// The code page of a language driver id (byte 29 of the header); 0 when unknown.
int CodePageFromLanguageId(quint8 id)
{
    switch (id) {
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18:
    case 0x19: case 0x1B:
        return 437;
    case 0x02: case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A:
    case 0x1D: case 0x25: case 0x37:
        return 850;
    case 0x03: case 0x57: case 0x58: case 0x59: return 1252;
    case 0x04: return 10000;
    case 0x08: case 0x17: case 0x66: return 865;
    case 0x13: case 0x7B: return 932;
    case 0x1C: case 0x6C: return 863;
    case 0x1F: case 0x22: case 0x23: case 0x40: case 0x64: case 0x87: return 852;
    case 0x24: return 860;
    case 0x26: case 0x65: return 866;
    case 0x4D: case 0x7A: return 936;
    case 0x4E: case 0x79: return 949;
    case 0x4F: case 0x78: return 950;
    case 0x50: case 0x7C: return 874;
    case 0x67: return 861;
    case 0x6A: case 0x86: return 737;
    case 0x6B: case 0x88: return 857;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0x96: return 10007;
    case 0x97: return 10029;
    case 0x98: return 10006;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    case 0xCC: return 1257;
    default: return 0;
    }
}

// dBASE 7 names its language driver ("DB437US0", "DBWINUS0"): the digits are the DOS page,
// "WIN" the Windows Latin page.
int CodePageFromDriverName(const QByteArray& name)
{
    if (!name.startsWith("DB") || name.size() < 5) return 0;
    if (name.mid(2, 3) == "WIN") return 1252;
    int cp = 0;
    for (int i = 2; i < name.size() && name[i] >= '0' && name[i] <= '9' && cp < 100000; ++i) cp = cp * 10 + (name[i] - '0');
    return cp;
}

bool IsKnownVersion(quint8 v)
{
    switch (v) {
    case 0x02: case 0x03: case 0x04: case 0x05: case 0x30: case 0x31: case 0x32: case 0x43:
    case 0x63: case 0x7B: case 0x83: case 0x8B: case 0x8C: case 0x8E: case 0xB3: case 0xCB:
    case 0xE5: case 0xF5: case 0xFB:
        return true;
    default:
        return false;
    }
}

bool IsMemoType(char t) { return t == 'M' || t == 'G' || t == 'P' || t == 'W'; }

// Text without the padding of fixed-width fields.
int TrimmedLength(const uchar* p, int n)
{
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == 0)) --n;
    return n;
}

int SkipBlanks(const uchar* p, int n, int& start)
{
    start = 0;
    while (start < n && p[start] == ' ') ++start;
    return TrimmedLength(p, n);
}

TDateTime DateTimeFrom(qint64 day, double msecs)
{
    const double fraction = msecs / double(MSecsPerDay);
    return day >= 0 ? double(day) + fraction : double(day) - fraction;
}

// Days since 0001-01-01 of a damaged time stamp can be any double; only the calendar's are kept.
bool DayInCalendar(double daysSinceYearOne) { return daysSinceYearOne >= 1.0 && IsValidDateTime(daysSinceYearOne - DateDelta); }

} // namespace

TDBaseReader::TDBaseReader(const QString& fileName, int codePage)
    : TTableReader(fileName), FFile(fileName), FOverrideCodePage(codePage)
{
    ReadHeader();
}

TDBaseReader::~TDBaseReader() = default;

void TDBaseReader::Damaged(const QString& detail) const
{
    TableDamaged(FileName(), detail);
}

void TDBaseReader::ReadHeader()
{
    const QString native = QDir::toNativeSeparators(FileName());
    const uchar* h = FFile.View(0, 32);
    if (!h) DatabaseError(QStringLiteral("\"%1\" is not a dBASE table: the file is too short").arg(native));
    FVersion = h[0];
    FPhysicalCount = GetU32LE(h + 4);
    FHeaderLength = GetU16LE(h + 8);
    FRecordLength = GetU16LE(h + 10);
    if (!IsKnownVersion(FVersion) || FHeaderLength < 33 || FRecordLength < 1)
        DatabaseError(QStringLiteral("\"%1\" is not a dBASE table or its header is damaged").arg(native));
    FLevel7 = (FVersion & 0x07) == 4;
    FVisualFoxPro = FVersion == 0x30 || FVersion == 0x31 || FVersion == 0x32;
    const int descriptorSize = FLevel7 ? 48 : 32;
    const int firstDescriptor = FLevel7 ? 68 : 32;
    const uchar* header = FFile.View(0, FHeaderLength);
    if (!header) Damaged(QStringLiteral("it ends inside its header"));

    FDeclaredCodePage = CodePageFromLanguageId(header[29]);
    if (FLevel7 && FHeaderLength >= 64) {
        const QByteArray driver(reinterpret_cast<const char*>(header + 32), 32);
        if (const int cp = CodePageFromDriverName(driver.left(driver.indexOf('\0') < 0 ? 32 : driver.indexOf('\0'))))
            FDeclaredCodePage = cp;
    }
    FText = TTableText(FDeclaredCodePage, FOverrideCodePage);

    int offset = 1;   // the deletion flag comes first
    int nullBits = 0;
    bool hasMemo = false;
    for (int pos = firstDescriptor; pos < FHeaderLength && header[pos] != 0x0D; pos += descriptorSize) {
        if (pos + descriptorSize > FHeaderLength) Damaged(QStringLiteral("its field list runs past its header"));
        if (FColumns.size() >= 2048) Damaged(QStringLiteral("it declares too many fields"));
        const uchar* d = header + pos;
        const int nameLength = FLevel7 ? 32 : 11;
        int n = 0;
        while (n < nameLength && d[n]) ++n;
        const QString name = FText.Decode(QByteArrayView(reinterpret_cast<const char*>(d), n)).trimmed();
        TColumn c;
        c.Type = char(d[FLevel7 ? 32 : 11]);
        c.Length = d[FLevel7 ? 33 : 16];
        c.Decimals = d[FLevel7 ? 34 : 17];
        const quint8 flags = FLevel7 ? 0 : d[18];
        if (c.Type == 'C' && !FVisualFoxPro && !FLevel7) {
            // Long character fields keep the high byte of their length in the decimals.
            c.Length += c.Decimals * 256;
            c.Decimals = 0;
        }
        c.Offset = offset;
        if (c.Length < 1) Damaged(QStringLiteral("field %1 has no width").arg(name));
        offset += c.Length;
        if (offset > FRecordLength) Damaged(QStringLiteral("its fields are wider than its records"));

        if (c.Type == '0') {
            // Visual FoxPro's hidden bit field of nulls and varying lengths.
            FNullFlagsOffset = c.Offset;
            FNullFlagsLength = c.Length;
            FColumns.push_back(c);
            continue;
        }
        if (FVisualFoxPro) {
            if (flags & 0x02) c.NullBit = nullBits++;
            if (c.Type == 'V' || c.Type == 'Q') c.LengthBit = nullBits++;
        }
        TTableFieldInfo info;
        info.Name = name;
        info.CodePage = FText.CodePage();
        const int len = c.Length;
        bool fits = true;
        switch (c.Type) {
        case 'C': info.DataType = ftString; info.Size = len; break;
        case 'V': info.DataType = ftString; info.Size = len; break;
        case 'N': case 'F':
            if (c.Decimals == 0 && c.Type == 'N' && len <= 4) info.DataType = ftSmallint;
            else if (c.Decimals == 0 && c.Type == 'N' && len <= 9) info.DataType = ftInteger;
            else if (c.Decimals == 0 && c.Type == 'N' && len <= 18) info.DataType = ftLargeint;
            else info.DataType = ftFloat;
            break;
        case 'D': info.DataType = ftDate; fits = len == 8; break;
        case 'L': info.DataType = ftBoolean; fits = len == 1; break;
        case 'I': info.DataType = (flags & 0x08) ? ftAutoInc : ftInteger; fits = len == 4; break;
        case '+': info.DataType = ftAutoInc; fits = len == 4; break;
        case 'O': info.DataType = ftFloat; fits = len == 8; break;
        case '@': info.DataType = ftDateTime; fits = len == 8; break;
        case 'Y': info.DataType = ftCurrency; fits = len == 8; break;
        case 'T': info.DataType = ftDateTime; fits = len == 8 || len == 14; break;
        case 'Q': info.DataType = ftVarBytes; info.Size = len; break;
        case 'B':
            if (FVisualFoxPro) {
                // Visual FoxPro's B is a double.
                info.DataType = ftFloat;
                fits = len == 8;
            } else {
                info.DataType = ftBlob;
                c.Binary = true;
                hasMemo = true;
                fits = len == 10 || len == 4;
            }
            break;
        case 'M':
            c.Binary = FVisualFoxPro && (flags & 0x04);
            info.DataType = c.Binary ? ftBlob : ftMemo;
            hasMemo = true;
            fits = len == 10 || len == 4;
            break;
        case 'G': case 'P':
            info.DataType = ftGraphic;
            c.Binary = true;
            hasMemo = true;
            fits = len == 10 || len == 4;
            break;
        case 'W':
            info.DataType = ftBlob;
            c.Binary = true;
            hasMemo = true;
            fits = len == 10 || len == 4;
            break;
        default:
            // A type this reader does not know: its bytes as they are.
            c.Type = '?';
            info.DataType = ftBytes;
            info.Size = len;
            break;
        }
        if (!fits) Damaged(QStringLiteral("field %1 of type %2 has the impossible width %3").arg(name).arg(QChar(c.Type)).arg(len));
        if (IsMemoType(c.Type) || (c.Type == 'B' && !FVisualFoxPro)) info.Size = 0;
        FFieldColumns.push_back(int(FColumns.size()));
        FColumns.push_back(c);
        FFields.push_back(info);
    }
    if (FFields.empty()) Damaged(QStringLiteral("it has no fields"));
    if (FNullFlagsOffset >= 0 && FNullFlagsLength * 8 < nullBits) Damaged(QStringLiteral("its null flags are too short"));
    if (hasMemo) {
        const bool foxPro = FVisualFoxPro || FVersion == 0xF5 || FVersion == 0xFB;
        FMemoKind = foxPro ? mkFpt : mkDbt;
    }
    if (FPhysicalCount > quint32(std::numeric_limits<int>::max()))
        Damaged(QStringLiteral("it declares %1 records").arg(FPhysicalCount));
    const qint64 needed = qint64(FHeaderLength) + qint64(FPhysicalCount) * FRecordLength;
    if (needed > FFile.Size()) {
        const qint64 complete = (FFile.Size() - FHeaderLength) / FRecordLength;
        Damaged(QStringLiteral("it ends after %1 of its %2 records").arg(qMax<qint64>(complete, 0)).arg(FPhysicalCount));
    }
}

int TDBaseReader::RecordCount() const
{
    ScanDeleted();
    return FRecordCount;
}

int TDBaseReader::DeletedCount() const
{
    ScanDeleted();
    return int(FDeletedShifted.size());
}

void TDBaseReader::ScanDeleted() const
{
    if (FScanned) return;
    FDeletedShifted.clear();
    FCurrent = -1;
    FCurrentData = nullptr;
    // One pass over the flags of all records, through the file window.
    const qint64 chunkRecords = qMax<qint64>(1, (1 << 20) / FRecordLength);
    for (qint64 first = 0; first < FPhysicalCount; first += chunkRecords) {
        const qint64 count = qMin<qint64>(chunkRecords, FPhysicalCount - first);
        const uchar* p = FFile.View(FHeaderLength + first * FRecordLength, qsizetype(count * FRecordLength));
        if (!p) Damaged(QStringLiteral("record %1 cannot be read").arg(first + 1));
        for (qint64 i = 0; i < count; ++i)
            if (p[i * FRecordLength] == '*') FDeletedShifted.push_back(quint32(first + i - qint64(FDeletedShifted.size())));
    }
    FRecordCount = int(FPhysicalCount - FDeletedShifted.size());
    FScanned = true;
}

const uchar* TDBaseReader::Record(int record)
{
    if (record == FCurrent && FCurrentData) return FCurrentData;
    ScanDeleted();
    if (record < 0 || record >= FRecordCount) DatabaseError(QStringLiteral("Record %1 is out of range").arg(record + 1));
    qint64 physical = record;
    if (!FDeletedShifted.empty())
        physical += std::upper_bound(FDeletedShifted.begin(), FDeletedShifted.end(), quint32(record)) - FDeletedShifted.begin();
    const uchar* p = FFile.View(FHeaderLength + physical * FRecordLength, FRecordLength);
    if (!p) Damaged(QStringLiteral("record %1 cannot be read").arg(record + 1));
    FCurrent = record;
    FCurrentData = p;
    return p;
}

bool TDBaseReader::NullFlag(const uchar* record, int bit) const
{
    if (bit < 0 || FNullFlagsOffset < 0) return false;
    return (record[FNullFlagsOffset + bit / 8] >> (bit % 8)) & 1;
}

bool TDBaseReader::ReadValue(int record, int field, TVariant& value)
{
    if (field < 0 || field >= int(FFieldColumns.size())) return false;
    const TColumn& c = FColumns[size_t(FFieldColumns[size_t(field)])];
    const uchar* rec = Record(record);
    if (NullFlag(rec, c.NullBit)) return false;
    const uchar* p = rec + c.Offset;
    switch (c.Type) {
    case 'C': {
        const int n = TrimmedLength(p, c.Length);
        if (n == 0) return false;
        value = TVariant::FromAnsiString(FText.Translated(reinterpret_cast<const char*>(p), n), FText.CodePage());
        return true;
    }
    case 'V': {
        int n = c.Length;
        if (NullFlag(rec, c.LengthBit)) n = qMin<int>(p[c.Length - 1], c.Length - 1);
        value = TVariant::FromAnsiString(FText.Translated(reinterpret_cast<const char*>(p), n), FText.CodePage());
        return true;
    }
    case 'Q': {
        int n = c.Length;
        if (NullFlag(rec, c.LengthBit)) n = qMin<int>(p[c.Length - 1], c.Length - 1);
        value = TVariant::FromBytes(QByteArray(reinterpret_cast<const char*>(p), n));
        return true;
    }
    case 'N': case 'F': {
        int start = 0;
        const int end = SkipBlanks(p, c.Length, start);
        if (start >= end) return false;
        const char* first = reinterpret_cast<const char*>(p + start);
        const char* last = reinterpret_cast<const char*>(p + end);
        const TFieldType type = FFields[size_t(field)].DataType;
        if (type == ftFloat) {
            double d = 0;
            if (*first == '+') ++first;
            const auto r = std::from_chars(first, last, d);
            if (r.ec != std::errc() || r.ptr != last || !std::isfinite(d)) return false;
            value = TVariant(d);
            return true;
        }
        qint64 v = 0;
        if (*first == '+') ++first;
        auto r = std::from_chars(first, last, v);
        if (r.ec != std::errc()) return false;
        if (r.ptr != last) {
            // Decimals where the header declares none: rounded.
            double d = 0;
            const auto rd = std::from_chars(first, last, d);
            if (rd.ec != std::errc() || rd.ptr != last || !std::isfinite(d) || std::fabs(d) > 9.2e18) return false;
            v = std::llround(d);
        }
        if (type == ftSmallint) {
            if (v < -32768 || v > 32767) return false;
            value = TVariant::FromSmallint(qint16(v));
        } else if (type == ftInteger) {
            if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
            value = TVariant(int(v));
        } else {
            value = TVariant(v);
        }
        return true;
    }
    case 'D': {
        int year = 0, month = 0, day = 0;
        for (int i = 0; i < 8; ++i) {
            if (p[i] < '0' || p[i] > '9') return false;
            const int digit = p[i] - '0';
            if (i < 4) year = year * 10 + digit;
            else if (i < 6) month = month * 10 + digit;
            else day = day * 10 + digit;
        }
        TDateTime date = 0;
        if (!TryEncodeDate(year, month, day, date)) return false;
        value = TVariant::FromDate(date);
        return true;
    }
    case 'L':
        switch (*p) {
        case 'T': case 't': case 'Y': case 'y': value = TVariant(true); return true;
        case 'F': case 'f': case 'N': case 'n': value = TVariant(false); return true;
        default: return false;
        }
    case 'I': case '+':
        if (FLevel7) {
            if (AllZero(p, 4)) return false;
            value = TVariant(int(FlippedInt32(p)));
        } else {
            value = TVariant(int(qint32(GetU32LE(p))));
        }
        return true;
    case 'O': {
        if (AllZero(p, 8)) return false;
        const double d = FlippedDouble(p);
        if (!std::isfinite(d)) return false;
        value = TVariant(d);
        return true;
    }
    case '@': {
        if (AllZero(p, 8)) return false;
        const double msecs = FlippedDouble(p);
        if (!std::isfinite(msecs)) return false;
        const double days = std::floor(msecs / double(MSecsPerDay));
        // Outside the calendar a damaged stamp reads as null, as a damaged date does.
        if (!DayInCalendar(days)) return false;
        value = TVariant::FromDate(DateTimeFrom(qint64(days) - DateDelta, msecs - days * double(MSecsPerDay)));
        return true;
    }
    case 'Y':
        value = TVariant(TCurrency::FromScaled(qint64(GetU64LE(p))));
        return true;
    case 'T': {
        if (c.Length == 14) {
            // Some writers store "YYYYMMDDhhmmss" as text.
            int f[6] = {};
            const int widths[6] = {4, 2, 2, 2, 2, 2};
            for (int i = 0, pos = 0; i < 6; pos += widths[i], ++i)
                for (int k = 0; k < widths[i]; ++k) {
                    if (p[pos + k] < '0' || p[pos + k] > '9') return false;
                    f[i] = f[i] * 10 + (p[pos + k] - '0');
                }
            TDateTime date = 0;
            if (!TryEncodeDate(f[0], f[1], f[2], date) || f[3] > 23 || f[4] > 59 || f[5] > 59) return false;
            value = TVariant::FromDate(DateTimeFrom(qint64(date), (f[3] * 3600.0 + f[4] * 60.0 + f[5]) * 1000.0));
            return true;
        }
        const qint32 julian = qint32(GetU32LE(p));
        const qint32 msecs = qint32(GetU32LE(p + 4));
        if (julian == 0 && msecs == 0) return false;
        if (julian <= 0 || msecs < 0 || msecs >= 86400000) return false;
        const TDateTime stamp = DateTimeFrom(qint64(julian) - JulianDayOfZero, msecs);
        if (!IsValidDateTime(stamp)) return false;
        value = TVariant::FromDate(stamp);
        return true;
    }
    case 'B':
        if (FVisualFoxPro) {
            const double d = DoubleFromBits(GetU64LE(p));
            if (!std::isfinite(d)) return false;
            value = TVariant(d);
            return true;
        }
        return ReadMemo(c, p, record, field, value);
    case '?': {
        value = TVariant::FromBytes(QByteArray(reinterpret_cast<const char*>(p), c.Length));
        return true;
    }
    default:
        if (IsMemoType(c.Type)) return ReadMemo(c, p, record, field, value);
        return false;
    }
}

QStringList TDBaseReader::CompanionFields() const
{
    QStringList names;
    if (FMemoKind == mkNone) return names;
    for (size_t i = 0; i < FFieldColumns.size(); ++i) {
        const TColumn& c = FColumns[size_t(FFieldColumns[i])];
        if (IsMemoType(c.Type) || (c.Type == 'B' && !FVisualFoxPro)) names << FFields[i].Name;
    }
    return names;
}

QString TDBaseReader::MissingCompanionFile() const
{
    if (CompanionFields().isEmpty()) return QString();
    if (!FindCompanionFile(FileName(), QStringLiteral("dbt")).isEmpty() || !FindCompanionFile(FileName(), QStringLiteral("fpt")).isEmpty())
        return QString();
    const QFileInfo table(FileName());
    const QString ext = FMemoKind == mkFpt ? QStringLiteral(".fpt") : QStringLiteral(".dbt");
    const bool upper = table.suffix() == table.suffix().toUpper();
    return QDir::toNativeSeparators(table.dir().filePath(table.completeBaseName() + (upper ? ext.toUpper() : ext)));
}

bool TDBaseReader::ReadMemo(const TColumn& column, const uchar* data, int record, int field, TVariant& value)
{
    // The field holds the number of the memo's first block: ten digits, or four bytes.
    quint32 block = 0;
    if (column.Length == 4) {
        block = GetU32LE(data);
    } else {
        int start = 0;
        const int end = SkipBlanks(data, column.Length, start);
        for (int i = start; i < end; ++i) {
            if (data[i] < '0' || data[i] > '9') return false;
            if (block > 100000000u) return false;
            block = block * 10 + quint32(data[i] - '0');
        }
    }
    if (block == 0) return false;

    if (!FMemoFileChecked) {
        const QString first = FindCompanionFile(FileName(), FMemoKind == mkFpt ? QStringLiteral("fpt") : QStringLiteral("dbt"));
        const QString second = first.isEmpty() ? FindCompanionFile(FileName(), FMemoKind == mkFpt ? QStringLiteral("dbt") : QStringLiteral("fpt")) : QString();
        const QString name = first.isEmpty() ? second : first;
        if (!name.isEmpty()) {
            auto file = std::make_unique<TTableFile>(name, 64 * 1024);
            const bool fpt = name.endsWith(QStringLiteral(".fpt"), Qt::CaseInsensitive);
            const uchar* h = file->View(0, 32);
            if (!h) Damaged(QStringLiteral("its memo file \"%1\" has no complete header").arg(QDir::toNativeSeparators(name)));
            int blockSize = 512;
            if (fpt) {
                blockSize = GetU16BE(h + 6);
            } else {
                // dBASE IV and later record their block size; dBASE III uses 512.
                const int size = GetU16LE(h + 20);
                blockSize = FVersion == 0x83 || size == 0 ? 512 : size;
            }
            if (blockSize < 1) Damaged(QStringLiteral("its memo file \"%1\" gives no block size").arg(QDir::toNativeSeparators(name)));
            FMemoFile = std::move(file);
            FMemoKind = fpt ? mkFpt : mkDbt;
            FMemoBlockSize = blockSize;
        }
        FMemoFileChecked = true;
    }
    const QString kind = FMemoKind == mkFpt ? QStringLiteral(".fpt") : QStringLiteral(".dbt");
    if (!FMemoFile)
        DatabaseError(QStringLiteral("The memo file of table \"%1\" (%2) is missing").arg(QDir::toNativeSeparators(FileName()), kind));
    TTableFile& memo = *FMemoFile;
    auto damaged = [&](const QString& detail) {
        TableDamaged(FileName(), QStringLiteral("the memo of field \"%1\" in record %2 %3 (memo file \"%4\")")
                                     .arg(FFields[size_t(field)].Name).arg(record + 1).arg(detail, QDir::toNativeSeparators(memo.FileName())));
    };
    const qint64 offset = qint64(block) * FMemoBlockSize;
    QByteArray bytes;
    bool binary = column.Binary;
    if (FMemoKind == mkFpt) {
        const uchar* h = memo.View(offset, 8);
        if (!h) damaged(QStringLiteral("lies beyond the end of the memo file"));
        const quint32 type = GetU32BE(h);
        const quint32 length = GetU32BE(h + 4);
        if (qint64(length) > memo.Size() - offset - 8) damaged(QStringLiteral("runs past the end of the memo file"));
        if (type != 1) binary = true;
        if (!memo.Read(offset + 8, qsizetype(length), bytes)) damaged(QStringLiteral("cannot be read"));
    } else {
        const uchar* h = memo.View(offset, qMin<qint64>(8, memo.Size() - offset));
        if (!h || offset >= memo.Size()) damaged(QStringLiteral("lies beyond the end of the memo file"));
        if (memo.Size() - offset >= 8 && h[0] == 0xFF && h[1] == 0xFF && h[2] == 0x08 && h[3] == 0x00) {
            // dBASE IV block: its length counts the eight header bytes.
            const quint32 length = GetU32LE(h + 4);
            if (length < 8 || qint64(length) > memo.Size() - offset) damaged(QStringLiteral("runs past the end of the memo file"));
            if (!memo.Read(offset + 8, qsizetype(length - 8), bytes)) damaged(QStringLiteral("cannot be read"));
        } else {
            // dBASE III: the text runs to the first end-of-file mark.
            qint64 pos = offset;
            bool ended = false;
            while (!ended && pos < memo.Size()) {
                const qsizetype n = qsizetype(qMin<qint64>(4096, memo.Size() - pos));
                const uchar* chunk = memo.View(pos, n);
                if (!chunk) damaged(QStringLiteral("cannot be read"));
                const uchar* mark = static_cast<const uchar*>(std::memchr(chunk, 0x1A, size_t(n)));
                const qsizetype take = mark ? qsizetype(mark - chunk) : n;
                bytes.append(reinterpret_cast<const char*>(chunk), take);
                ended = mark != nullptr;
                pos += n;
            }
        }
    }
    if (bytes.isEmpty()) return false;
    if (binary) {
        value = TVariant::FromBytes(bytes);
    } else {
        FText.Translate(bytes);
        value = TVariant::FromAnsiString(bytes, FText.CodePage());
    }
    return true;
}
