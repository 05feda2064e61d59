#include "platform/tables/ParadoxReader.h"

#include <QDir>
#include <algorithm>
#include <cmath>

namespace {

// Field type codes of the header.
enum : quint8 {
    pxAlpha = 0x01, pxDate = 0x02, pxShort = 0x03, pxLong = 0x04, pxMoney = 0x05, pxNumber = 0x06,
    pxLogical = 0x09, pxMemo = 0x0C, pxBlob = 0x0D, pxFmtMemo = 0x0E, pxOle = 0x0F,
    pxGraphic = 0x10, pxTime = 0x14, pxTimestamp = 0x15, pxAutoInc = 0x16, pxBcd = 0x17,
    pxBytes = 0x18
};

constexpr int BlockHeaderSize = 6;
constexpr int BlobPointerSize = 10;   // offset, length and modification number after the leader
constexpr int BcdWidth = 17;

bool IsBlobType(quint8 type)
{
    return type == pxMemo || type == pxBlob || type == pxFmtMemo || type == pxOle || type == pxGraphic;
}

// The fixed width of a type; 0 for types whose width the header gives.
int FixedWidth(quint8 type)
{
    switch (type) {
    case pxDate: case pxLong: case pxTime: case pxAutoInc: return 4;
    case pxShort: return 2;
    case pxMoney: case pxNumber: case pxTimestamp: return 8;
    case pxLogical: return 1;
    case pxBcd: return BcdWidth;
    default: return 0;
    }
}

// Sign in bit 7 and decimals in bits 0-5 of the first byte, then 32 digits; negative values
// have their digits complemented. Digits after a non-digit are rounding rubbish some writers
// leave behind. The result is the value x 10^4, rounded half away from zero; false when it
// does not fit.
bool DecodeBcd(const uchar* p, qint64& scaled)
{
    const bool negative = !(p[0] & 0x80);
    const int decimals = qMin(p[0] & 0x3F, 32);
    qint64 v = 0;
    bool roundUp = false;
    for (int i = 0; i < 32; ++i) {
        int digit = (p[1 + i / 2] >> (i % 2 ? 0 : 4)) & 0x0F;
        if (negative) digit = 15 - digit;
        if (digit > 9) break;
        const int position = i - (32 - decimals);   // 0: the first decimal
        if (position < 4) {
            if (__builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, digit, &v)) return false;
        } else if (position == 4) {
            roundUp = digit >= 5;
        }
    }
    for (int d = decimals; d < 4; ++d)
        if (__builtin_mul_overflow(v, 10, &v)) return false;
    if (roundUp && __builtin_add_overflow(v, 1, &v)) return false;
    scaled = negative ? -v : v;
    return true;
}

} // namespace

TParadoxReader::TParadoxReader(const QString& fileName, int codePage)
    : TTableReader(fileName), FFile(fileName), FOverrideCodePage(codePage)
{
    ReadHeader();
    ReadBlockList();
}

TParadoxReader::~TParadoxReader() = default;

void TParadoxReader::Damaged(const QString& detail) const
{
    TableDamaged(FileName(), detail);
}

void TParadoxReader::ReadHeader()
{
    constexpr int MinHeader = 0x58;
    const uchar* h = FFile.View(0, MinHeader);
    if (!h) DatabaseError(QStringLiteral("\"%1\" is not a Paradox table: the file is too short").arg(QDir::toNativeSeparators(FileName())));
    FRecordSize = GetU16LE(h + 0x00);
    FHeaderSize = GetU16LE(h + 0x02);
    const quint8 fileType = h[0x04];
    const quint8 blockFactor = h[0x05];
    const int fieldCount = GetU16LE(h + 0x21);
    const quint8 versionId = h[0x39];
    if (fileType != 0 && fileType != 2)
        DatabaseError(QStringLiteral("\"%1\" is not a Paradox table (file type %2)").arg(QDir::toNativeSeparators(FileName())).arg(fileType));
    if (versionId < 3 || versionId > 12 || blockFactor < 1 || blockFactor > 32 || FRecordSize < 1
        || fieldCount < 1 || fieldCount > 255 || FHeaderSize < MinHeader)
        DatabaseError(QStringLiteral("\"%1\" is not a Paradox table or its header is damaged").arg(QDir::toNativeSeparators(FileName())));
    if (versionId <= 4) FVersion = versionId == 3 ? 30 : 35;
    else if (versionId <= 9) FVersion = 40;
    else if (versionId <= 11) FVersion = 50;
    else FVersion = 70;
    FBlockSize = blockFactor * 1024;
    FKeyFields = fileType == 0 ? GetU16LE(h + 0x23) : 0;
    FFirstBlock = GetU16LE(h + 0x0E);

    // Tables from version 4 on carry a second header part with the code page; the field
    // list follows it.
    const bool extended = versionId >= 5;
    const int fieldInfo = extended ? 0x78 : 0x58;
    const int tableNameLength = versionId >= 12 ? 261 : 79;
    h = FFile.View(0, FHeaderSize);
    if (!h) Damaged(QStringLiteral("it ends inside its header"));
    if (fieldInfo + fieldCount * 2 > FHeaderSize) Damaged(QStringLiteral("its header ends before its field list"));
    FEncryption = extended ? GetU32LE(h + 0x5C) : GetU32LE(h + 0x25);
    FDeclaredCodePage = extended ? GetU16LE(h + 0x6A) : 0;
    FText = TTableText(FDeclaredCodePage, FOverrideCodePage);
    if (FEncryption)
        DatabaseError(QStringLiteral("Paradox table \"%1\" is encrypted with a password; reading encrypted tables is not supported")
                          .arg(QDir::toNativeSeparators(FileName())));
    if (FKeyFields > fieldCount) Damaged(QStringLiteral("it names more key fields than it has fields"));

    int offset = 0;
    FColumns.reserve(size_t(fieldCount));
    for (int i = 0; i < fieldCount; ++i) {
        const quint8 type = h[fieldInfo + i * 2];
        const int width = h[fieldInfo + i * 2 + 1];
        const int fixed = FixedWidth(type);
        bool valid = false;
        switch (type) {
        case pxAlpha: case pxBytes: valid = width >= 1; break;
        case pxMemo: case pxBlob: case pxFmtMemo: case pxOle: case pxGraphic: valid = width >= BlobPointerSize; break;
        case pxBcd: valid = width <= 32; break;   // the header gives the decimals
        default: valid = fixed > 0 && width == fixed; break;
        }
        if (!valid) Damaged(QStringLiteral("field %1 has the unknown type or size %2/%3").arg(i + 1).arg(type).arg(width));
        const int bytes = type == pxBcd ? BcdWidth : width;
        FColumns.push_back({type, bytes, offset});
        offset += bytes;
        TTableFieldInfo info;
        info.CodePage = FText.CodePage();
        switch (type) {
        case pxAlpha: info.DataType = ftString; info.Size = width; break;
        case pxDate: info.DataType = ftDate; break;
        case pxShort: info.DataType = ftSmallint; break;
        case pxLong: info.DataType = ftInteger; break;
        case pxMoney: info.DataType = ftCurrency; break;
        case pxNumber: info.DataType = ftFloat; break;
        case pxLogical: info.DataType = ftBoolean; break;
        case pxMemo: info.DataType = ftMemo; info.Size = width - BlobPointerSize; break;
        case pxBlob: info.DataType = ftBlob; info.Size = width - BlobPointerSize; break;
        case pxFmtMemo: info.DataType = ftFmtMemo; info.Size = width - BlobPointerSize; break;
        case pxOle: info.DataType = ftParadoxOle; info.Size = width - BlobPointerSize; break;
        case pxGraphic: info.DataType = ftGraphic; info.Size = width - BlobPointerSize; break;
        case pxTime: info.DataType = ftTime; break;
        case pxTimestamp: info.DataType = ftDateTime; break;
        case pxAutoInc: info.DataType = ftAutoInc; break;
        case pxBcd: info.DataType = ftBCD; info.Size = width; info.Precision = 32; break;
        case pxBytes: info.DataType = ftBytes; info.Size = width; break;
        }
        FFields.push_back(info);
    }
    if (offset != FRecordSize) Damaged(QStringLiteral("its fields do not fill its record size"));

    // Pointers to the table name and the field names, the table name, then the field names.
    int pos = fieldInfo + fieldCount * 2 + 4 + fieldCount * 4 + tableNameLength;
    for (int i = 0; i < fieldCount; ++i) {
        int end = pos;
        while (end < FHeaderSize && h[end]) ++end;
        if (end >= FHeaderSize) Damaged(QStringLiteral("its header ends inside the field names"));
        FFields[size_t(i)].Name = FText.Decode(QByteArrayView(reinterpret_cast<const char*>(h + pos), end - pos));
        pos = end + 1;
    }
}

void TParadoxReader::ReadBlockList()
{
    const qint64 dataBytes = FFile.Size() - FHeaderSize;
    const qint64 blockCount = dataBytes > 0 ? dataBytes / FBlockSize : 0;
    const int perBlock = (FBlockSize - BlockHeaderSize) / FRecordSize;
    std::vector<bool> seen(size_t(blockCount) + 1, false);
    qint64 records = 0;
    // The data blocks form a chain in the table's order (key order for keyed tables).
    for (quint32 block = FFirstBlock; block != 0;) {
        if (block > blockCount) Damaged(QStringLiteral("data block %1 lies beyond the end of the file").arg(block));
        if (seen[block]) Damaged(QStringLiteral("its chain of data blocks loops at block %1").arg(block));
        seen[block] = true;
        const qint64 offset = FHeaderSize + qint64(block - 1) * FBlockSize;
        const uchar* b = FFile.View(offset, BlockHeaderSize);
        if (!b) Damaged(QStringLiteral("data block %1 cannot be read").arg(block));
        const quint16 next = GetU16LE(b);
        const qint16 lastOffset = qint16(GetU16LE(b + 4));
        if (lastOffset >= 0 && (lastOffset % FRecordSize != 0 || lastOffset / FRecordSize >= perBlock))
            Damaged(QStringLiteral("data block %1 holds an impossible record count").arg(block));
        const int count = lastOffset < 0 ? 0 : lastOffset / FRecordSize + 1;
        if (count > 0) FBlocks.push_back({offset + BlockHeaderSize, int(records)});
        records += count;
        if (records > std::numeric_limits<int>::max() - FBlockSize) Damaged(QStringLiteral("it holds too many records"));
        block = next;
    }
    FRecordCount = int(records);
}

const uchar* TParadoxReader::Record(int record)
{
    if (record == FCurrent && FCurrentData) return FCurrentData;
    if (record < 0 || record >= FRecordCount) DatabaseError(QStringLiteral("Record %1 is out of range").arg(record + 1));
    auto it = std::upper_bound(FBlocks.begin(), FBlocks.end(), record,
                               [](int r, const TBlock& b) { return r < b.FirstRecord; });
    const TBlock& block = *(it - 1);
    const qint64 offset = block.Offset + qint64(record - block.FirstRecord) * FRecordSize;
    const uchar* data = FFile.View(offset, FRecordSize);
    if (!data) Damaged(QStringLiteral("record %1 cannot be read").arg(record + 1));
    FCurrent = record;
    FCurrentData = data;
    return data;
}

bool TParadoxReader::ReadValue(int record, int field, TVariant& value)
{
    const TColumn& column = FColumns.at(size_t(field));
    const uchar* p = Record(record) + column.Offset;
    switch (column.Type) {
    case pxAlpha: {
        int n = 0;
        while (n < column.Width && p[n]) ++n;
        if (n == 0) return false;
        value = TVariant::FromAnsiString(FText.Translated(reinterpret_cast<const char*>(p), n), FText.CodePage());
        return true;
    }
    case pxDate:
        if (AllZero(p, 4)) return false;
        value = TVariant::FromDate(TDateTime(FlippedInt32(p)) - DateDelta);
        return true;
    case pxTime:
        if (AllZero(p, 4)) return false;
        value = TVariant::FromDate(FlippedInt32(p) / double(MSecsPerDay));
        return true;
    case pxTimestamp: {
        if (AllZero(p, 8)) return false;
        const double msecs = FlippedDouble(p);
        if (!std::isfinite(msecs)) return false;
        value = TVariant::FromDate(msecs / double(MSecsPerDay) - DateDelta);
        return true;
    }
    case pxShort:
        if (AllZero(p, 2)) return false;
        value = TVariant::FromSmallint(FlippedInt16(p));
        return true;
    case pxLong: case pxAutoInc:
        if (AllZero(p, 4)) return false;
        value = TVariant(int(FlippedInt32(p)));
        return true;
    case pxNumber: {
        if (AllZero(p, 8)) return false;
        const double d = FlippedDouble(p);
        if (!std::isfinite(d)) return false;
        value = TVariant(d);
        return true;
    }
    case pxMoney: {
        if (AllZero(p, 8)) return false;
        const double d = FlippedDouble(p);
        if (!std::isfinite(d) || std::fabs(d) >= 922337203685477.0)
            DatabaseError(QStringLiteral("The money value of field \"%1\" in record %2 of \"%3\" is out of range")
                              .arg(FFields[size_t(field)].Name).arg(record + 1).arg(QDir::toNativeSeparators(FileName())));
        value = TVariant(TCurrency::FromDouble(d));
        return true;
    }
    case pxLogical:
        if (*p == 0) return false;
        value = TVariant(*p != 0x80);
        return true;
    case pxBcd: {
        if (AllZero(p, BcdWidth)) return false;
        qint64 scaled = 0;
        if (!DecodeBcd(p, scaled))
            DatabaseError(QStringLiteral("The BCD value of field \"%1\" in record %2 of \"%3\" is out of range")
                              .arg(FFields[size_t(field)].Name).arg(record + 1).arg(QDir::toNativeSeparators(FileName())));
        value = TVariant(TCurrency::FromScaled(scaled));
        return true;
    }
    case pxBytes:
        if (AllZero(p, column.Width)) return false;
        value = TVariant::FromBytes(QByteArray(reinterpret_cast<const char*>(p), column.Width));
        return true;
    default:
        if (IsBlobType(column.Type)) return ReadBlob(column, p, record, field, value);
        return false;
    }
}

bool TParadoxReader::ReadBlob(const TColumn& column, const uchar* data, int record, int field, TVariant& value)
{
    const int leader = column.Width - BlobPointerSize;
    const uchar* pointer = data + leader;
    const quint32 offset = GetU32LE(pointer);
    const quint32 length = GetU32LE(pointer + 4);
    if (length == 0) return false;
    QByteArray bytes;
    if (length <= quint32(leader)) {
        // Short values live in the record itself.
        bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(length));
    } else {
        bytes = ReadBlobFile(offset, length, record, field);
    }
    switch (column.Type) {
    case pxMemo:
        FText.Translate(bytes);
        value = TVariant::FromAnsiString(bytes, FText.CodePage());
        break;
    case pxFmtMemo:
        // Formatting records with the text inside: kept byte for byte.
        value = TVariant::FromAnsiString(bytes, FText.CodePage());
        break;
    default:
        value = TVariant::FromBytes(bytes);
        break;
    }
    return true;
}

QByteArray TParadoxReader::ReadBlobFile(qint64 offset, quint32 length, int record, int field)
{
    if (!FBlobFileChecked) {
        FBlobFileChecked = true;
        const QString name = FindCompanionFile(FileName(), QStringLiteral("mb"));
        if (!name.isEmpty()) FBlobFile = std::make_unique<TTableFile>(name, 64 * 1024);
    }
    if (!FBlobFile)
        DatabaseError(QStringLiteral("The blob file of table \"%1\" (.mb) is missing").arg(QDir::toNativeSeparators(FileName())));
    const QString& blobName = FBlobFile->FileName();
    auto damaged = [&](const QString& detail) {
        TableDamaged(FileName(), QStringLiteral("the blob of field \"%1\" in record %2 %3 (blob file \"%4\")")
                                     .arg(FFields[size_t(field)].Name).arg(record + 1).arg(detail, QDir::toNativeSeparators(blobName)));
    };
    const quint32 index = quint32(offset) & 0xFF;
    const qint64 blockOffset = offset & ~qint64(0xFF);
    if (qint64(length) > FBlobFile->Size()) damaged(QStringLiteral("is longer than the blob file"));
    constexpr int BlockHeader = 12;
    const uchar* header = FBlobFile->View(blockOffset, BlockHeader);
    if (!header) damaged(QStringLiteral("lies beyond the end of the blob file"));
    qint64 start = 0;
    if (index == 0xFF) {
        // A block of its own: type 2, then the length, the modification number and the data.
        if (header[0] != 2 || GetU32LE(header + 3) != length) damaged(QStringLiteral("is not in the block the table points to"));
        start = blockOffset + 9;
    } else {
        // A block shared by small blobs: type 3 and a table of 64 five-byte entries.
        if (header[0] != 3 || index >= 64) damaged(QStringLiteral("is not in the block the table points to"));
        const uchar* entry = FBlobFile->View(blockOffset + BlockHeader + index * 5, 5);
        if (!entry || entry[1] == 0) damaged(QStringLiteral("has an empty entry"));
        const quint32 stored = (quint32(entry[1]) - 1) * 16 + entry[4];
        if (stored != length) damaged(QStringLiteral("has another length than the table says"));
        start = blockOffset + qint64(entry[0]) * 16;
    }
    QByteArray bytes;
    if (!FBlobFile->Read(start, qsizetype(length), bytes)) damaged(QStringLiteral("runs past the end of the blob file"));
    return bytes;
}

std::vector<int> TParadoxReader::PrimaryKeyFields() const
{
    std::vector<int> fields(static_cast<size_t>(FKeyFields));
    for (int i = 0; i < FKeyFields; ++i) fields[size_t(i)] = i;
    return fields;
}
