#pragma once
// Types shared by the memory table's record store, indexes and file formats.

#include "platform/core/SysUtils.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

// Field-type codes in the platform's order; the store works on the numbers.
namespace zft {
enum : int {
    Unknown = 0, String, Smallint, Integer, Word, Boolean, Float, Currency, BCD, Date, Time,
    DateTime, Bytes, VarBytes, AutoInc, Blob, Memo, Graphic, FmtMemo, ParadoxOle, DBaseOle,
    TypedBinary, Cursor, FixedChar, WideString, Largeint, ADT, Array, Reference, DataSet,
    OraBlob, OraClob, Variant, Interface, IDispatch, Guid, TimeStamp, FMTBcd, Count
};
}

// Field kinds in the platform's order.
namespace zfk {
enum : int { Data = 0, Calculated, Lookup, InternalCalc, Aggregate };
}

// Type names of the memory-table files, by type code (compared exactly).
extern const char* const kzohFieldTypeNames[zft::Count];
extern const char* const kzohFieldKindNames[5];
// Type code of a name from the table above, or -1.
int zohFieldTypeFromName(const QString& name);
// Kind code of a name, fkData (0) for anything unknown.
int zohFieldKindFromName(const QString& name);

bool zohIsStoreType(int type);
// Bytes of a field's fixed slot (without the null-flag byte).
int zohDataSize(int type, int size);

enum TzohPerformance : quint8 { mtpfFast = 0, mtpfBalanced = 1, mtpfSmall = 2 };
enum TzohVersioningMode : quint8 { mtvm1SinceCheckPoint = 0, mtvmAllSinceCheckPoint = 1 };
#include "platform/data/DB.h"

// Compare options of index and search fields (bit values).
enum TzohMemTableCompareOption : quint32 {
    mtcoDescending = 1, mtcoCaseInsensitive = 2, mtcoPartialKey = 4, mtcoIgnoreNullKey = 8, mtcoIgnoreLocale = 16
};
using TzohMemTableCompareOptions = quint32;

// Save options, bits in declaration order.
enum TzohMemTableSaveFlag : int {
    mtfSaveData = 0, mtfSaveCalculated, mtfSaveLookup, mtfSaveNonVisible, mtfSaveBlobs, mtfSaveDef,
    mtfSaveIndexDef, mtfSkipRest, mtfSaveFiltered, mtfSaveInLocalFormat, mtfSaveIgnoreRange,
    mtfSaveIgnoreMasterDetail, mtfSaveDeltas, mtfSaveDontFilterDeltas, mtfSaveAppend,
    mtfSaveFieldKind, mtfSaveNoHeader
};
class TzohMemTableSaveFlags {
public:
    constexpr TzohMemTableSaveFlags() = default;
    constexpr TzohMemTableSaveFlags(std::initializer_list<TzohMemTableSaveFlag> flags)
    {
        for (auto f : flags) FBits |= 1u << f;
    }
    constexpr bool Has(TzohMemTableSaveFlag f) const { return FBits & (1u << f); }
    constexpr TzohMemTableSaveFlags& operator<<(TzohMemTableSaveFlag f) { FBits |= 1u << f; return *this; }
    constexpr TzohMemTableSaveFlags& operator>>(TzohMemTableSaveFlag f) { FBits &= ~(1u << f); return *this; }
    constexpr quint32 Bits() const { return FBits; }
    constexpr bool operator==(const TzohMemTableSaveFlags& o) const { return FBits == o.FBits; }

private:
    quint32 FBits = 0;
};

enum TzohProgressCode : int { mtpcLoad = 0, mtpcSave, mtpcCopy, mtpcEmpty, mtpcSort, mtpcSearch };
enum TzohMemTableStorageType : int { mtstCSVFile = 3, mtstBinaryFile = 4 };
enum TzohMemTableSaveFormat : int { mtsfBinary = 0, mtsfCSV = 1 };

// Index options of definitions, as bits.
enum TzohIndexOption : quint32 { zixPrimary = 1, zixUnique = 2, zixDescending = 4, zixCaseInsensitive = 8, zixExpression = 16, zixNonMaintained = 32 };

// A field as the store lays it out: the part of a field definition the store needs.
struct TzohFieldDesc {
    QString Name;
    int DataType = zft::Unknown;
    int Size = 0;
    int Kind = zfk::Data;
    QString DisplayName;
    // Properties of the field object that the files carry.
    QString EditMask;
    int DisplayWidth = 0;
    bool Required = false;
    bool ReadOnly = false;
    bool Visible = true;
    QString DefaultExpression;
    // ADT children, or the element of an array (laid out Size times).
    std::vector<TzohFieldDesc> Children;
};

// Failures of the memory table, with fixed English messages.
class EMemTableError : public EDatabaseError { public: using EDatabaseError::EDatabaseError; };

// An index definition as the files carry it.
struct TzohIndexDesc {
    QString Name;
    QString Fields;
    QString DisplayName;
    quint32 Options = 0;   // zix... bits
};
