#include "memtable/zohTypes.h"

const char* const kzohFieldTypeNames[zft::Count] = {
    "Unknown", "String", "SmallInt", "Integer", "Word", "Boolean", "Float", "Currency", "BCD", "Date",
    "Time", "DateTime", "Bytes", "VarBytes", "AutoInc", "Blob", "Memo", "Graphic", "FmtMemo",
    "ParadoxOle", "dBaseOle", "TypedBinary", "Cursor", "FixedChar", "WideString", "LargeInt", "ADT",
    "Array", "Reference", "DataSet", "OraBlob", "OraClob", "Variant", "Interface", "Dispatch", "Guid",
    "SQLTimeStamp", "FMTBcdField"};

const char* const kzohFieldKindNames[5] = {"Data", "Calculated", "Lookup", "InternalCalc", "Aggregate"};

int zohFieldTypeFromName(const QString& name)
{
    for (int i = 0; i < zft::Count; ++i)
        if (name == QLatin1String(kzohFieldTypeNames[i])) return i;
    return -1;
}

int zohFieldKindFromName(const QString& name)
{
    for (int i = 0; i < 5; ++i)
        if (name == QLatin1String(kzohFieldKindNames[i])) return i;
    return zfk::Data;
}

bool zohIsStoreType(int t)
{
    switch (t) {
    case zft::String: case zft::Smallint: case zft::Integer: case zft::Word: case zft::Boolean:
    case zft::Float: case zft::Currency: case zft::BCD: case zft::Date: case zft::Time:
    case zft::DateTime: case zft::Bytes: case zft::VarBytes: case zft::AutoInc: case zft::Blob:
    case zft::Memo: case zft::Graphic: case zft::FmtMemo: case zft::ParadoxOle: case zft::DBaseOle:
    case zft::TypedBinary: case zft::FixedChar: case zft::Largeint: case zft::ADT: case zft::Array:
        return true;
    default:
        return false;
    }
}

int zohDataSize(int t, int size)
{
    switch (t) {
    case zft::String: case zft::FixedChar: return size + 1;
    case zft::Smallint: case zft::Word: case zft::Boolean: return 2;
    case zft::Integer: case zft::AutoInc: return 4;
    case zft::Float: case zft::Currency: case zft::Date: case zft::Time: case zft::DateTime: case zft::Largeint: return 8;
    case zft::BCD: return 34;
    case zft::Bytes: return size;
    case zft::VarBytes: return size + 2;
    default: return 0;
    }
}
