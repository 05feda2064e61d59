#pragma once
// Metadata of a data packet: field descriptors, optional parameters, and the column list of each
// level derived from them. Both packet formats read into and write from this one model.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

// The 32-bit type word shared by field descriptors and optional parameters.
namespace PacketTypeWord {
constexpr quint32 SizeMask = 0x0000FFFFu;
constexpr quint32 CodeMask = 0x003F0000u;
constexpr int CodeShift = 16;
constexpr quint32 Varying = 0x00400000u;    // value preceded by a length prefix of <size> bytes
constexpr quint32 Array = 0x00800000u;      // UINT32 count, then that many elements
constexpr quint32 Pseudo = 0x01000000u;     // composite field: ADT, array field, nested table
constexpr quint32 Compressed = 0x02000000u; // array field described by one element descriptor
constexpr quint32 Embedded = 0x04000000u;   // nested table
constexpr quint32 InDelta = 0x80000000u;    // parameter travels with the delta

constexpr quint32 Int16 = 0x00010002u;
constexpr quint32 Int32 = 0x00010004u;
constexpr quint32 Int64 = 0x00010008u;
constexpr quint32 UInt16 = 0x00020002u;
constexpr quint32 UInt32 = 0x00020004u;
constexpr quint32 Boolean = 0x00030002u;
constexpr quint32 Double = 0x00040008u;
constexpr quint32 AnsiString2 = 0x00490002u;
constexpr quint32 UInt16Array = 0x00820002u;
constexpr quint32 UInt32Array = 0x00820004u;
constexpr quint32 Int16Array = 0x00810002u;
constexpr quint32 Blob = 0x004B0004u;

constexpr int Code(quint32 w) { return int((w & CodeMask) >> CodeShift); }
constexpr int Size(quint32 w) { return int(w & SizeMask); }
constexpr quint32 Make(int code, int size, quint32 flags = 0)
{
    return (quint32(code) << CodeShift) | (quint32(size) & SizeMask) | flags;
}
} // namespace PacketTypeWord

enum TPacketTypeCode : int {
    ptcUnknown = 0, ptcInteger = 1, ptcUnsigned = 2, ptcBoolean = 3, ptcFloat = 4, ptcBcd = 5,
    ptcDate = 6, ptcTime = 7, ptcTimeStamp = 8, ptcString = 9, ptcWideString = 10, ptcBytes = 11,
    ptcAdt = 12, ptcArray = 13, ptcNestedTable = 14, ptcReference = 15, ptcBigDecimal = 16,
    ptcSqlTimeStamp = 17, ptcFmtBcd = 18, ptcSingle = 27, ptcSqlTimeStampOffset = 36
};

// Field descriptor attribute bits.
enum TPacketFieldAttribute : quint16 {
    pfaHidden = 1, pfaReadOnly = 2, pfaRequired = 4, pfaLink = 8
};

// How one column's value is stored in a row.
enum TPacketValueKind : quint8 {
    pkNone,             // ADT or array column: NULL bit only, no value bytes
    pkInt8, pkInt16, pkInt32, pkInt64,
    pkUInt8, pkUInt16, pkUInt32, pkUInt64,
    pkBoolean,          // integer of 1, 2 or 4 bytes, non-zero = true
    pkDouble, pkExtended, pkSingle,
    pkBcd,              // always 18 bytes in a row (BCD and FMTBcd)
    pkDate,             // INT32 day number, 0001-01-01 = 1
    pkTime,             // INT32 milliseconds of the day
    pkTimeStamp,        // double milliseconds since 0001-01-01 00:00 minus one day
    pkSqlTimeStamp, pkSqlTimeStampOffset,
    pkAnsiString,       // 8-bit text in the packet's code page
    pkWideString,       // UTF-16LE
    pkFixedBytes, pkVarBytes,
    pkBlob,             // BLOB, memo, graphic ...: 4-byte length
    pkNested,           // nested table: row count, then the rows
    pkRawFixed,         // unknown type of fixed size: kept as bytes
    pkRawVarying        // unknown type with a length prefix: kept as bytes
};

const char* PacketValueKindName(TPacketValueKind kind);

// Bounds that keep damaged or hostile packets from exhausting the stack or memory.
constexpr int PacketMaxDepth = 64;          // nested levels plus ADT/array nesting
constexpr int PacketMaxColumns = 65535;     // columns of one level after array expansion

// One optional parameter, its value kept exactly as stored (prefix and count included), so that
// parameters the program does not know are written back unchanged.
struct TPacketParam {
    QByteArray Name;
    quint32 TypeWord = 0;
    QByteArray Value;

    bool IsArray() const { return TypeWord & PacketTypeWord::Array; }
    // Scalar integer or Boolean; empty when the parameter is of another type.
    std::optional<qint64> AsInt() const;
    // ANSI string without the trailing zero the engine stores.
    std::optional<QByteArray> AsText() const;
    // Array of integers.
    std::optional<std::vector<qint64>> AsIntArray() const;

    static TPacketParam MakeInt(const QByteArray& name, quint32 typeWord, qint64 value);
    static TPacketParam MakeText(const QByteArray& name, const QByteArray& text);
    static TPacketParam MakeIntArray(const QByteArray& name, quint32 typeWord, const std::vector<qint64>& values);
    static TPacketParam MakeIntArray(const QByteArray& name, quint32 typeWord, const quint32* values, size_t count);
    // Number of value bytes a parameter of this type occupies at data[0..available), or -1 when
    // they do not fit or the type cannot be measured.
    static qint64 MeasureValue(quint32 typeWord, const char* data, qint64 available);
};

// Parameters in stored order; names compare case-insensitively, as the engine does.
class TPacketParams {
public:
    std::vector<TPacketParam> Items;

    int Count() const { return int(Items.size()); }
    bool IsEmpty() const { return Items.empty(); }
    int IndexOf(QByteArrayView name) const;
    const TPacketParam* Find(QByteArrayView name) const;
    // Replaces the parameter of that name in its place, or appends it.
    void Set(const TPacketParam& param);
    bool Remove(QByteArrayView name);

    std::optional<qint64> Int(QByteArrayView name) const;
    std::optional<QByteArray> Text(QByteArrayView name) const;
    std::vector<qint64> IntArray(QByteArrayView name) const;

    // Field level.
    std::optional<qint64> Width() const { return Int("WIDTH"); }
    std::optional<qint64> Decimals() const { return Int("DECIMALS"); }
    QByteArray SubType() const { return Text("SUBTYPE").value_or(QByteArray()); }
    std::optional<QByteArray> FieldName() const { return Text("FIELDNAME"); }
    bool Calculated() const { return Int("CALCULATED").value_or(0) != 0; }
    // Dataset level.
    std::vector<qint64> DefaultOrder() const { return IntArray("DEFAULT_ORDER"); }
    std::vector<qint64> PrimaryKey() const { return IntArray("PRIMARY_KEY"); }
    std::vector<qint64> UniqueKey() const { return IntArray("UNIQUE_KEY"); }
    std::vector<qint64> ChangeLog() const { return IntArray("CHANGE_LOG"); }
    std::vector<qint64> MDFieldLinks() const { return IntArray("MD_FIELDLINKS"); }
    std::optional<qint64> Lcid() const { return Int("LCID"); }
    std::optional<qint64> AutoIncValue() const { return Int("AUTOINCVALUE"); }
    bool IsDelta() const { return Int("DATASET_DELTA").value_or(0) != 0; }
};

// A field descriptor. Children hold the members of an ADT, the element of an array field, or the
// fields of a nested table; a nested table also has the dataset parameters of its level.
struct TPacketFieldDesc {
    QByteArray Name;            // as stored (the engine keeps at most 31 bytes)
    QString Text;               // the full name decoded (FIELDNAME when the stored name was cut);
                                // filled by TPacketMetadata::Prepare
    quint32 TypeWord = 0;
    quint16 Attributes = 0;
    TPacketParams Params;
    std::vector<TPacketFieldDesc> Children;
    TPacketParams LevelParams;

    int TypeCode() const { return PacketTypeWord::Code(TypeWord); }
    int TypeSize() const { return PacketTypeWord::Size(TypeWord); }
    bool IsNestedTable() const { return TypeCode() == ptcNestedTable || TypeCode() == ptcReference; }
    bool IsAdt() const { return TypeCode() == ptcAdt; }
    bool IsArrayField() const { return TypeCode() == ptcArray; }
    bool IsComposite() const { return IsNestedTable() || IsAdt() || IsArrayField(); }
    bool IsBlob() const;        // 4-byte-length bytes: BLOB, memo, graphic ...
};

// One column of a level's rows.
struct TPacketColumn {
    const TPacketFieldDesc* Field = nullptr;
    TPacketValueKind Kind = pkNone;
    int Size = 0;           // fixed kinds: value bytes; prefixed kinds: prefix bytes
    int NestedLevel = -1;   // pkNested: the level its rows belong to
};

// The top level (index 0) or one nested table. Levels are numbered depth-first in descriptor order.
struct TPacketLevel {
    int Index = 0;
    int Parent = -1;
    int Depth = 0;
    const TPacketFieldDesc* Owner = nullptr;    // the nested-table field; nullptr for the top level
    const std::vector<TPacketFieldDesc>* Fields = nullptr;
    const TPacketParams* Params = nullptr;
    std::vector<TPacketColumn> Columns;
    int BitmapBytes = 0;
};

class TPacketMetadata {
public:
    std::vector<TPacketFieldDesc> Fields;
    TPacketParams Params;
    quint16 MajorVersion = 1;   // as read; writers derive their own
    quint16 MinorVersion = 0;

    TPacketMetadata() = default;
    TPacketMetadata(const TPacketMetadata& other);
    TPacketMetadata& operator=(const TPacketMetadata& other);
    TPacketMetadata(TPacketMetadata&& other) noexcept;
    TPacketMetadata& operator=(TPacketMetadata&& other) noexcept;

    // Derives the levels and their columns and decodes the names. Call after any change to the
    // descriptors; raises EPacketError for layouts no row could follow.
    void Prepare();
    bool IsPrepared() const { return !FLevels.empty(); }
    int LevelCount() const { return int(FLevels.size()); }
    const TPacketLevel& Level(int index) const { return FLevels[size_t(index)]; }
    // Descriptors of the whole packet, all depths: the header's count.
    int DescriptorCount() const;
    // ANSI code page of 8-bit text, from LCID.
    int CodePage() const;

private:
    std::vector<TPacketLevel> FLevels;
};

// Value kind and size of a non-composite type word; raises EPacketError when no reader could
// measure such a value.
TPacketValueKind PacketValueKindOf(quint32 typeWord, int& size);
// Number of descriptors below a field, all depths.
int PacketDescendantCount(const TPacketFieldDesc& field);
// Decodes a stored field name: valid UTF-8 with non-ASCII bytes is UTF-8, else the code page.
QString PacketDecodeName(const QByteArray& name, int codePage);
