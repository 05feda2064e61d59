#pragma once
// The readers behind the table datasets: each turns one table file (or one table of a
// database) into field descriptions and records read on demand. Records are numbered 0..n-1
// in the table's own order, deleted records left out.

#include "platform/data/DB.h"

#include <QFile>
#include <QString>
#include <bit>
#include <memory>
#include <vector>

struct TTableFieldInfo {
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;          // characters for text, bytes for byte fields, decimals for BCD
    int Precision = 0;     // digits of BCD fields
    bool Required = false;
    int CodePage = 0;      // of 8-bit text and memo values (TBlobField::WideTextCodePage: UTF-16)
};

// A validity check a table keeps for one of its fields.
struct TTableValidity {
    int Field = -1;   // 0-based
    QString Picture;
};

class TTableReader {
public:
    virtual ~TTableReader() = default;
    TTableReader(const TTableReader&) = delete;
    TTableReader& operator=(const TTableReader&) = delete;

    const QString& FileName() const { return FFileName; }
    const std::vector<TTableFieldInfo>& Fields() const { return FFields; }
    virtual int RecordCount() const = 0;
    // The value of a field (0-based) of a record (0-based) in the field's own variant type;
    // false when it is null. A damaged record or a missing memo file raises EDatabaseError.
    virtual bool ReadValue(int record, int field, TVariant& value) = 0;
    // Fields (0-based) of the primary key, in order (none for most tables).
    virtual std::vector<int> PrimaryKeyFields() const { return {}; }
    // The table's validity checks (none unless a reader reads them).
    virtual std::vector<TTableValidity> ValidityChecks() const { return {}; }

protected:
    explicit TTableReader(const QString& fileName) : FFileName(fileName) {}
    std::vector<TTableFieldInfo> FFields;

private:
    QString FFileName;
};

// Reads a table file through a window of its bytes, so that walking the records streams
// through the file. Every read is checked against the file's size: reading past the end
// raises the caller's "damaged" error.
class TTableFile {
public:
    // Opens for reading; raises EDatabaseError "Cannot open file ..." naming the file.
    explicit TTableFile(const QString& fileName, qsizetype windowSize = 1 << 20);
    TTableFile(const TTableFile&) = delete;
    TTableFile& operator=(const TTableFile&) = delete;

    const QString& FileName() const { return FFileName; }
    qint64 Size() const { return FSize; }
    bool Contains(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= FSize && length <= FSize - offset;
    }
    // length bytes at offset, valid until the next call; nullptr when they are not all in
    // the file.
    const uchar* View(qint64 offset, qsizetype length);
    // Copies length bytes at offset; false when they are not all in the file.
    bool Read(qint64 offset, qsizetype length, QByteArray& bytes);

private:
    QString FFileName;
    QFile FFile;
    qint64 FSize = 0;
    qsizetype FWindowSize;
    std::vector<uchar> FWindow;
    qint64 FWindowStart = 0;
    qsizetype FWindowLength = 0;
};

// Messages shared by the readers; each names the file.
[[noreturn]] void TableDamaged(const QString& fileName, const QString& detail);
[[noreturn]] void TableNotSupported(const QString& what);

// The companion file of a table (memo or blob file) beside it: the table's base name with
// the extension in any letter case; empty when there is none.
QString FindCompanionFile(const QString& tableFile, const QString& extension);

// Big- and little-endian reads from checked buffers.
inline quint16 GetU16LE(const uchar* p) { return quint16(p[0] | (p[1] << 8)); }
inline quint32 GetU32LE(const uchar* p) { return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24); }
inline quint64 GetU64LE(const uchar* p) { return quint64(GetU32LE(p)) | (quint64(GetU32LE(p + 4)) << 32); }
inline quint16 GetU16BE(const uchar* p) { return quint16((p[0] << 8) | p[1]); }
inline quint32 GetU32BE(const uchar* p) { return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]); }
inline quint64 GetU64BE(const uchar* p) { return (quint64(GetU32BE(p)) << 32) | quint64(GetU32BE(p + 4)); }
inline double DoubleFromBits(quint64 bits) { return std::bit_cast<double>(bits); }
// Paradox and dBASE 7 store numbers big-endian with the sign bit flipped, so that they sort
// as bytes; negative doubles have every bit inverted.
inline qint16 FlippedInt16(const uchar* p) { return qint16(GetU16BE(p) ^ 0x8000u); }
inline qint32 FlippedInt32(const uchar* p) { return qint32(GetU32BE(p) ^ 0x80000000u); }
inline double FlippedDouble(const uchar* p)
{
    const quint64 bits = GetU64BE(p);
    return DoubleFromBits((bits & 0x8000000000000000ull) ? bits ^ 0x8000000000000000ull : ~bits);
}
// A null value of a fixed-width binary field.
inline bool AllZero(const uchar* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}
