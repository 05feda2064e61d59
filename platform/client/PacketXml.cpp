#include "platform/client/PacketXml.h"

#include <QSet>
#include <cstring>

namespace PacketXml {

namespace {

const TKnownAttr FieldAttrs[] = {
    {"SUBTYPE", akText, PacketTypeWord::AnsiString2},
    {"DECIMALS", akInt, PacketTypeWord::UInt16},
    {"WIDTH", akInt, PacketTypeWord::UInt16},
    {"READONLY", akBool, PacketTypeWord::Boolean},
    {"CALCULATED", akInt, PacketTypeWord::UInt16},
    {"TYPENAME", akText, PacketTypeWord::AnsiString2},
    {"MINVALUE", akText, PacketTypeWord::AnsiString2},
    {"MAXVALUE", akText, PacketTypeWord::AnsiString2},
    {"DEFVALUE", akText, PacketTypeWord::AnsiString2},
};

const TKnownAttr DataSetAttrs[] = {
    {"DEFAULT_ORDER", akList, PacketTypeWord::UInt16},
    {"PRIMARY_KEY", akList, PacketTypeWord::UInt16},
    {"UNIQUE_KEY", akList, PacketTypeWord::UInt16},
    {"CHANGE_LOG", akList, PacketTypeWord::UInt32},
    {"MD_SEMANTICS", akList, PacketTypeWord::UInt32},
    {"MD_FIELDLINKS", akList, PacketTypeWord::Int16},
    {"LCID", akInt, PacketTypeWord::Int32},
    {"AUTOINCVALUE", akInt, PacketTypeWord::Int32},
    {"UPDATEMODE", akInt, PacketTypeWord::Int32},
    {"DATASET_DELTA", akBool, PacketTypeWord::Boolean},
    {"READONLY", akBool, PacketTypeWord::Boolean},
    {"CALCULATED", akBool, PacketTypeWord::Boolean},
    {"DELTA", akBool, PacketTypeWord::Boolean},
    {"SERVER_COL", akText, PacketTypeWord::AnsiString2},
    {"TABLENAME", akText, PacketTypeWord::AnsiString2},
    {"TYPENAME", akText, PacketTypeWord::AnsiString2},
};

template <size_t N> const TKnownAttr* FindAttr(const TKnownAttr (&table)[N], std::string_view name)
{
    for (const TKnownAttr& a : table)
        if (name == a.Name) return &a;
    return nullptr;
}

} // namespace

const TKnownAttr* FindFieldAttr(std::string_view name) { return FindAttr(FieldAttrs, name); }
const TKnownAttr* FindDataSetAttr(std::string_view name) { return FindAttr(DataSetAttrs, name); }

// Whether a stored parameter can be written as that attribute without losing its meaning.
bool FitsAttr(const TKnownAttr& a, const TPacketParam& p)
{
    if (p.TypeWord & PacketTypeWord::InDelta) return false;
    switch (a.Kind) {
    case akInt: return p.AsInt().has_value() && PacketTypeWord::Code(p.TypeWord) != ptcBoolean;
    case akBool: return p.AsInt().has_value();
    case akText: return p.AsText().has_value();
    case akList: return p.AsIntArray().has_value();
    }
    return false;
}

bool EqualsNoCase(std::string_view a, const char* b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x + 32);
        if (y >= 'A' && y <= 'Z') y = char(y + 32);
        if (x != y) return false;
    }
    return true;
}

// XML type names of scalar parameter and field types.
const char* TypeNameOf(quint32 w)
{
    const int code = PacketTypeWord::Code(w);
    const int size = PacketTypeWord::Size(w);
    const bool varying = w & PacketTypeWord::Varying;
    switch (code) {
    case ptcInteger: return size == 1 ? "i1" : size == 2 ? "i2" : size == 4 ? "i4" : size == 8 ? "i8" : nullptr;
    case ptcUnsigned: return size == 1 ? "ui1" : size == 2 ? "ui2" : size == 4 ? "ui4" : size == 8 ? "ui8" : nullptr;
    case ptcBoolean: return "boolean";
    case ptcFloat: return size == 8 ? "r8" : size == 10 ? "r10" : size == 4 ? "r4" : nullptr;
    case ptcSingle: return size == 4 ? "r4" : nullptr;
    case ptcBcd: return "fixed";
    case ptcFmtBcd: return "fixedFMT";
    case ptcDate: return size == 4 ? "date" : nullptr;
    case ptcTime: return size == 4 ? "time" : nullptr;
    case ptcTimeStamp: return size == 8 ? "dateTime" : nullptr;
    case ptcSqlTimeStamp: return size == 16 ? "SQLdateTime" : nullptr;
    case ptcSqlTimeStampOffset: return size == 20 ? "SQLdateTimeOffset" : nullptr;
    case ptcString: return varying ? "string" : nullptr;
    case ptcWideString: return varying ? "string.uni" : nullptr;
    case ptcBytes: return "bin.hex";
    case ptcNestedTable: case ptcReference: return "nested";
    default: return nullptr;
    }
}

// Type word of an XML field type; 0 when unknown. width: WIDTH, or -1.
quint32 TypeWordOf(std::string_view t, qint64 width, bool hasSubType, bool& widthIsSize)
{
    using namespace PacketTypeWord;
    widthIsSize = false;
    if (EqualsNoCase(t, "i1")) return Make(ptcInteger, 1);
    if (EqualsNoCase(t, "i2")) return Int16;
    if (EqualsNoCase(t, "i4") || EqualsNoCase(t, "i") || EqualsNoCase(t, "int")) return Int32;
    if (EqualsNoCase(t, "i8")) return Int64;
    if (EqualsNoCase(t, "ui1")) return Make(ptcUnsigned, 1);
    if (EqualsNoCase(t, "ui2")) return UInt16;
    if (EqualsNoCase(t, "ui4") || EqualsNoCase(t, "uint")) return UInt32;
    if (EqualsNoCase(t, "ui8")) return Make(ptcUnsigned, 8);
    if (EqualsNoCase(t, "r4")) return Make(ptcSingle, 4);
    if (EqualsNoCase(t, "r8")) return Double;
    if (EqualsNoCase(t, "r10")) return Make(ptcFloat, 10);
    if (EqualsNoCase(t, "boolean")) return Boolean;
    if (EqualsNoCase(t, "date")) return Make(ptcDate, 4);
    if (EqualsNoCase(t, "time")) return Make(ptcTime, 4);
    if (EqualsNoCase(t, "dateTime")) return Make(ptcTimeStamp, 8);
    if (EqualsNoCase(t, "SQLdateTime")) return Make(ptcSqlTimeStamp, 16);
    if (EqualsNoCase(t, "SQLdateTimeOffset")) return Make(ptcSqlTimeStampOffset, 20);
    if (EqualsNoCase(t, "string")) return Make(ptcString, width >= 0 && width + 1 < 255 ? 1 : 2, Varying);
    if (EqualsNoCase(t, "string.uni")) return Make(ptcWideString, width >= 0 && width + 2 < 255 ? 1 : 2, Varying);
    if (EqualsNoCase(t, "bin.hex")) {
        if (hasSubType || width <= 0 || width > 0xFFFF) return Blob;
        widthIsSize = true;
        return Make(ptcBytes, int(width));
    }
    if (EqualsNoCase(t, "nested")) return Make(ptcNestedTable, 0, Pseudo | Embedded);
    if (!t.empty() && (t[0] == 'f' || t[0] == 'F')) {
        const qint64 digits = width > 0 && width <= 32 ? width : 32;
        const int size = int(qMin<qint64>(18, 2 + (digits + 1) / 2));
        return Make(EqualsNoCase(t, "fixedFMT") ? ptcFmtBcd : ptcBcd, size);
    }
    return 0;
}

} // namespace PacketXml

namespace {

bool IsNameChar(uchar c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
}

} // namespace

std::vector<QByteArray> PacketXmlNames(const std::vector<TPacketFieldDesc>& fields)
{
    std::vector<QByteArray> names;
    names.reserve(fields.size());
    QSet<QByteArray> taken{QByteArrayLiteral("RowState")};
    for (size_t i = 0; i < fields.size(); ++i) {
        const TPacketFieldDesc& f = fields[i];
        QByteArray src = f.Params.FieldName().value_or(f.Name);
        if (src.isEmpty()) src = f.Name;
        QByteArray n = src;
        bool ascii = !n.isEmpty();
        for (char& c : n) {
            if (uchar(c) >= 0x80) { ascii = false; break; }
            if (!IsNameChar(uchar(c))) c = '_';
        }
        if (!ascii || taken.contains(n)) {
            n = "xF" + QByteArray::number(qulonglong(i + 1));
            while (taken.contains(n)) n += '_';
        }
        taken.insert(n);
        names.push_back(n);
    }
    return names;
}

// =============================================================================================
// Writer
// =============================================================================================
