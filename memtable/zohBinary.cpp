#include "memtable/zohBinary.h"

#include "memtable/zohFieldData.h"

#include <cmath>

namespace {
[[noreturn]] void BadValue() { throw EReadError(SInvalidPropertyValue); }

// Sizes beyond these are damage: a record would not fit any sane memory.
constexpr int kMaxFieldSize = 65535;

bool IsSizedType(int t)
{
    return t == zft::String || t == zft::FixedChar || t == zft::Bytes || t == zft::VarBytes || t == zft::Array;
}
} // namespace

// ---------------------------------------------------------------- reader

void TzohBinaryReader::ReadHeader()
{
    R.ReadSignature();
    FVersion = R.NextValue() == vaList ? 100 : R.ReadInteger();
}

int TzohBinaryReader::ReadFieldDefs(const std::function<void(const TzohFieldDesc&, bool)>& onGroup)
{
    R.ReadListBegin();
    int n = 0;
    while (!R.EndOfList()) {
        TzohFieldDesc d;
        d.Name = R.ReadString();
        const QString typeName = R.ReadString();
        d.Size = R.ReadInteger();
        d.DisplayName = R.ReadString();
        d.EditMask = R.ReadString();
        d.DisplayWidth = R.ReadInteger();
        d.Required = R.ReadBoolean();
        d.ReadOnly = R.ReadBoolean();
        if (FVersion >= 250) d.Kind = zohFieldKindFromName(R.ReadString());
        if (FVersion >= 251) d.DefaultExpression = R.ReadString();
        d.DataType = zohFieldTypeFromName(typeName);
        if (d.DataType < 0 || !zohIsStoreType(d.DataType))
            throw EMemTableError(Format(QStringLiteral("Unknown field type (%s)"), {typeName}));
        if (d.Size < 0 || (IsSizedType(d.DataType) && d.Size > kMaxFieldSize)) BadValue();
        onGroup(d, n == 0);
        ++n;
    }
    R.ReadListEnd();
    return n;
}

int TzohBinaryReader::ReadIndexDefs(const std::function<void(const TzohIndexDesc&, bool)>& onGroup)
{
    if (FVersion < 200) return 0;
    R.ReadListBegin();
    int n = 0;
    while (!R.EndOfList()) {
        TzohIndexDesc d;
        d.Name = R.ReadString();
        d.Fields = R.ReadString();
        d.DisplayName = R.ReadString();
        if (R.ReadBoolean()) d.Options |= zixDescending;
        if (R.ReadBoolean()) d.Options |= zixCaseInsensitive;
        if (R.ReadBoolean()) d.Options |= zixNonMaintained;
        if (R.ReadBoolean()) d.Options |= zixUnique;
        onGroup(d, n == 0);
        ++n;
    }
    R.ReadListEnd();
    return n;
}

void TzohBinaryReader::ReadValue(TzohCommon& store, TzohStoredRecord* rec, const TzohStreamField& f, TzohValue* other)
{
    using namespace zohdata;
    const int slot = f.Slot;
    switch (f.DataType) {
    case zft::Smallint: case zft::Integer: case zft::Word: case zft::AutoInc: {
        const qint32 v = R.ReadInteger();
        if (f.DataType == zft::Smallint && (v < -32768 || v > 32767)) BadValue();
        if (f.DataType == zft::Word && (v < 0 || v > 65535)) BadValue();
        if (f.DataType == zft::AutoInc) {
            if (!FSawAutoInc || v > FMaxAutoInc) FMaxAutoInc = v;
            FSawAutoInc = true;
        }
        if (other) { other->Null = false; other->Int = v; }
        else SetInteger(store, rec, slot, v);
        return;
    }
    case zft::Boolean: {
        const bool v = R.ReadBoolean();
        if (other) { other->Null = false; other->Int = v; }
        else SetBoolean(store, rec, slot, v);
        return;
    }
    case zft::Float: {
        const double v = R.ReadFloat();
        if (other) { other->Null = false; other->Float = v; }
        else SetFloat(store, rec, slot, v);
        return;
    }
    case zft::Largeint: {
        qint64 v = 0;
        if (R.NextValue() == vaExtended) {
            const TExtended80 e = R.ReadExtended();
            if (!e.ToInt64(v)) {
                const long double ld = e.ToLongDouble();
                if (!std::isfinite(ld) || ld >= 9223372036854775808.0L || ld < -9223372036854775808.0L) BadValue();
                v = qint64(std::trunc(ld));
            }
        } else {
            v = R.ReadInt64();
        }
        if (other) { other->Null = false; other->Int = v; other->Float = double(v); }
        else SetInteger(store, rec, slot, v);
        return;
    }
    case zft::Currency: case zft::BCD: {
        long double x;
        if (R.NextValue() == vaExtended) x = R.ReadExtended().ToLongDouble();
        else x = (long double)R.ReadFloat();
        x = std::nearbyint(x * 10000.0L);
        if (!std::isfinite(x) || x >= 9223372036854775808.0L || x < -9223372036854775808.0L) BadValue();
        const qint64 scaled = qint64(x);
        if (other) { other->Null = false; other->Int = scaled; other->Float = double(scaled) / 10000.0; }
        else SetCurrency(store, rec, slot, scaled);
        return;
    }
    case zft::Date: case zft::Time: case zft::DateTime: {
        const double v = R.ReadFloat();
        // Files before null flags wrote a null date as 0; later ones mean midnight by it.
        if (v == 0.0 && FVersion < 249) {
            if (!other) SetNull(store, rec, slot);
            return;
        }
        if (!ValidDateTime(v)) BadValue();
        if (other) { other->Null = false; other->Float = v; }
        else SetDateTime(store, rec, slot, v);
        return;
    }
    default: {
        if (other) {
            other->Null = false;
            other->Bytes = R.ReadAnsiString();
            return;
        }
        const char* d;
        qsizetype n;
        R.ReadAnsiStringView(d, n, FScratch);
        if (slot >= 0) SetBytes(store, rec, slot, d, n);
        return;
    }
    }
}

void TzohBinaryReader::ReadVersionInto(TzohCommon& store, TzohStoredRecord* rec, const std::vector<TzohStreamField>& fields)
{
    if (FVersion >= 230) {
        const qint32 status = R.ReadInteger();
        if (status < usUnmodified || status > usDeleted) BadValue();
        rec->UpdateStatus = quint8(status);
    }
    for (const TzohStreamField& f : fields) {
        const bool isNull = FVersion >= 249 && R.ReadBoolean();
        if (f.Slot < 0) {
            TzohValue v;
            if (!isNull) ReadValue(store, rec, f, &v);
        } else if (isNull) {
            zohdata::SetNull(store, rec, f.Slot);
        } else {
            ReadValue(store, rec, f, nullptr);
        }
    }
}

TzohStoredRecord* TzohBinaryReader::ReadRecord(TzohCommon& store, const std::vector<TzohStreamField>& fields)
{
    TzohStoredRecord* head = store.AllocRecord();
    try {
        if (FVersion < 230) {
            ReadVersionInto(store, head, fields);
            return head;
        }
        R.ReadListBegin();
        ReadVersionInto(store, head, fields);
        TzohStoredRecord* last = head;
        while (!R.EndOfList()) {
            TzohStoredRecord* older = store.AllocRecord();
            older->StoredMark = 1;
            last->PreviousVersion = older;
            last = older;
            ReadVersionInto(store, older, fields);
        }
        R.ReadListEnd();
        return head;
    } catch (...) {
        head->StoredMark = 1;
        store.FreeRecord(head, true, true);
        throw;
    }
}

// ---------------------------------------------------------------- writer

void TzohBinaryWriter::WriteFieldDefs(const std::vector<TzohFieldDesc>& defs, bool withKind)
{
    W.WriteListBegin();
    for (const TzohFieldDesc& d : defs) {
        W.WriteString(d.Name);
        W.WriteString(QLatin1String(kzohFieldTypeNames[d.DataType]));
        W.WriteInteger(d.Size);
        W.WriteString(d.DisplayName.isEmpty() ? d.Name : d.DisplayName);
        W.WriteString(d.EditMask);
        W.WriteInteger(d.DisplayWidth);
        W.WriteBoolean(d.Required);
        W.WriteBoolean(d.ReadOnly);
        W.WriteString(QLatin1String(kzohFieldKindNames[withKind ? qBound(0, d.Kind, 4) : 0]));
        W.WriteString(d.DefaultExpression);
    }
    W.WriteListEnd();
}

void TzohBinaryWriter::WriteIndexDefs(const std::vector<TzohIndexDesc>& defs)
{
    W.WriteListBegin();
    for (const TzohIndexDesc& d : defs) {
        W.WriteString(d.Name);
        W.WriteString(d.Fields);
        W.WriteString(d.DisplayName);
        W.WriteBoolean(d.Options & zixDescending);
        W.WriteBoolean(d.Options & zixCaseInsensitive);
        W.WriteBoolean(d.Options & zixNonMaintained);
        W.WriteBoolean(d.Options & zixUnique);
    }
    W.WriteListEnd();
}

void TzohBinaryWriter::WriteStoredValue(const TzohCommon& store, const TzohStoredRecord* rec, const TzohStreamField& f)
{
    using namespace zohdata;
    switch (f.DataType) {
    case zft::Smallint: case zft::Integer: case zft::Word: case zft::AutoInc:
        W.WriteInteger(GetInteger(store, rec, f.Slot));
        return;
    case zft::Boolean:
        W.WriteBoolean(GetBoolean(store, rec, f.Slot));
        return;
    case zft::Float:
        W.WriteFloat(GetFloat(store, rec, f.Slot));
        return;
    case zft::Largeint:
        W.WriteExtended(TExtended80::FromInt64(GetInteger(store, rec, f.Slot)));
        return;
    case zft::Currency: case zft::BCD:
        W.WriteExtended(TExtended80::FromLongDouble((long double)GetCurrency(store, rec, f.Slot) / 10000.0L));
        return;
    case zft::Date: case zft::Time: case zft::DateTime:
        W.WriteFloat(GetDateTime(store, rec, f.Slot));
        return;
    default: {
        const char* d = nullptr;
        qsizetype n = 0;
        ViewBytes(store, rec, f.Slot, d, n);
        W.WriteAnsiString(d, n);
        return;
    }
    }
}

void TzohBinaryWriter::WriteOtherValue(const TzohValue& v, int type)
{
    switch (type) {
    case zft::Smallint: case zft::Integer: case zft::Word: case zft::AutoInc: W.WriteInteger(v.Int); return;
    case zft::Boolean: W.WriteBoolean(v.Int != 0); return;
    case zft::Largeint: W.WriteExtended(TExtended80::FromInt64(v.Int)); return;
    case zft::Currency: case zft::BCD: W.WriteExtended(TExtended80::FromLongDouble((long double)v.Int / 10000.0L)); return;
    case zft::Float: case zft::Date: case zft::Time: case zft::DateTime: W.WriteFloat(v.Float); return;
    default: W.WriteAnsiString(v.Bytes); return;
    }
}

void TzohBinaryWriter::WriteVersion(const TzohCommon& store, const TzohStoredRecord* rec,
                                    const std::vector<TzohStreamField>& fields, bool newest,
                                    const std::function<TzohValue(int, const TzohStoredRecord*)>& other,
                                    const std::function<void(int)>& onSaveField)
{
    W.WriteInteger(rec->UpdateStatus);
    for (int i = 0; i < int(fields.size()); ++i) {
        const TzohStreamField& f = fields[i];
        if (newest && onSaveField) onSaveField(i);
        if (f.Slot < 0) {
            const TzohValue v = other ? other(i, rec) : TzohValue();
            W.WriteBoolean(v.Null);
            if (!v.Null) WriteOtherValue(v, f.DataType);
            continue;
        }
        const bool hasValue = store.FieldHasValue(rec, f.Slot);
        W.WriteBoolean(!hasValue);
        if (hasValue) WriteStoredValue(store, rec, f);
    }
}

void TzohBinaryWriter::WriteRecord(const TzohCommon& store, const TzohStoredRecord* rec,
                                   const std::vector<TzohStreamField>& fields, bool withVersions,
                                   const std::function<TzohValue(int, const TzohStoredRecord*)>& other,
                                   const std::function<void(int)>& onSaveField)
{
    W.WriteListBegin();
    WriteVersion(store, rec, fields, true, other, onSaveField);
    if (withVersions)
        for (const TzohStoredRecord* v = rec->PreviousVersion; v; v = v->PreviousVersion)
            WriteVersion(store, v, fields, false, other, nullptr);
    W.WriteListEnd();
}
