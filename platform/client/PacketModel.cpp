#include "platform/client/PacketModel.h"

#include "platform/core/CodePages.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketValues.h"

#include <QStringDecoder>
#include <cstring>

namespace {

bool SameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 32);
        if (y >= 'a' && y <= 'z') y = char(y - 32);
        if (x != y) return false;
    }
    return true;
}

qint64 ReadLE(const char* p, int size, bool isSigned)
{
    quint64 v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | uchar(p[i]);
    if (isSigned && size < 8) {
        const quint64 sign = quint64(1) << (size * 8 - 1);
        if (v & sign) v |= ~((sign << 1) - 1);
    }
    return qint64(v);
}

void AppendLE(QByteArray& out, quint64 v, int size)
{
    const qsizetype at = out.size();
    out.resize(at + size);
    TPacketBuffer::StoreLE(out.data() + at, v, size);
}

// An array parameter: its count, then each value in `size` bytes (a change log of a million
// entries is stored in one pass).
template <typename T>
TPacketParam IntArrayParam(const QByteArray& name, quint32 typeWord, const T* values, size_t count)
{
    TPacketParam p;
    p.Name = name;
    p.TypeWord = typeWord | PacketTypeWord::Array;
    const int size = PacketTypeWord::Size(typeWord);
    p.Value.resize(4 + qsizetype(count) * size);
    char* out = p.Value.data();
    TPacketBuffer::StoreLE(out, count, 4);
    out += 4;
    for (size_t i = 0; i < count; ++i) {
        TPacketBuffer::StoreLE(out, quint64(values[i]), size);
        out += size;
    }
    return p;
}

bool IsIntegerCode(int code) { return code == ptcInteger || code == ptcUnsigned || code == ptcBoolean; }
bool IsIntegerSize(int size) { return size == 1 || size == 2 || size == 4 || size == 8; }

} // namespace

const char* PacketValueKindName(TPacketValueKind kind)
{
    static const char* const names[] = {
        "none", "int8", "int16", "int32", "int64", "uint8", "uint16", "uint32", "uint64",
        "Boolean", "double", "extended", "single", "BCD", "date", "time", "time stamp",
        "SQL time stamp", "SQL time stamp with offset", "string", "wide string", "bytes",
        "var-bytes", "BLOB", "nested table", "raw", "raw varying"};
    return kind <= pkRawVarying ? names[kind] : "?";
}

// ---- TPacketParam --------------------------------------------------------------------------

std::optional<qint64> TPacketParam::AsInt() const
{
    const int code = PacketTypeWord::Code(TypeWord);
    const int size = PacketTypeWord::Size(TypeWord);
    if (!IsIntegerCode(code) || !IsIntegerSize(size) || (TypeWord & (PacketTypeWord::Array | PacketTypeWord::Varying)))
        return std::nullopt;
    if (Value.size() != size) return std::nullopt;
    return ReadLE(Value.constData(), size, code == ptcInteger);
}

std::optional<QByteArray> TPacketParam::AsText() const
{
    const int code = PacketTypeWord::Code(TypeWord);
    const int prefix = PacketTypeWord::Size(TypeWord);
    if (code != ptcString || !(TypeWord & PacketTypeWord::Varying) || (TypeWord & PacketTypeWord::Array))
        return std::nullopt;
    if (prefix != 1 && prefix != 2 && prefix != 4) return std::nullopt;
    if (Value.size() < prefix) return std::nullopt;
    const qint64 len = ReadLE(Value.constData(), prefix, false);
    if (len != Value.size() - prefix) return std::nullopt;
    QByteArray text = Value.mid(prefix);
    if (text.endsWith('\0')) text.chop(1);
    return text;
}

std::optional<std::vector<qint64>> TPacketParam::AsIntArray() const
{
    const int code = PacketTypeWord::Code(TypeWord);
    const int size = PacketTypeWord::Size(TypeWord);
    if (!(TypeWord & PacketTypeWord::Array) || (TypeWord & PacketTypeWord::Varying)
        || !IsIntegerCode(code) || !IsIntegerSize(size) || Value.size() < 4)
        return std::nullopt;
    const qint64 count = ReadLE(Value.constData(), 4, false);
    if (count * size != Value.size() - 4) return std::nullopt;
    std::vector<qint64> values;
    values.reserve(size_t(count));
    for (qint64 i = 0; i < count; ++i)
        values.push_back(ReadLE(Value.constData() + 4 + i * size, size, code == ptcInteger));
    return values;
}

TPacketParam TPacketParam::MakeInt(const QByteArray& name, quint32 typeWord, qint64 value)
{
    TPacketParam p;
    p.Name = name;
    p.TypeWord = typeWord;
    AppendLE(p.Value, quint64(value), PacketTypeWord::Size(typeWord));
    return p;
}

TPacketParam TPacketParam::MakeText(const QByteArray& name, const QByteArray& text)
{
    TPacketParam p;
    p.Name = name;
    p.TypeWord = PacketTypeWord::AnsiString2;
    AppendLE(p.Value, quint64(text.size() + 1), 2);
    p.Value.append(text);
    p.Value.append('\0');
    return p;
}

TPacketParam TPacketParam::MakeIntArray(const QByteArray& name, quint32 typeWord, const std::vector<qint64>& values)
{
    return IntArrayParam(name, typeWord, values.data(), values.size());
}

TPacketParam TPacketParam::MakeIntArray(const QByteArray& name, quint32 typeWord, const quint32* values, size_t count)
{
    return IntArrayParam(name, typeWord, values, count);
}

qint64 TPacketParam::MeasureValue(quint32 typeWord, const char* data, qint64 available)
{
    const int size = PacketTypeWord::Size(typeWord);
    const bool varying = typeWord & PacketTypeWord::Varying;
    if (varying && size != 1 && size != 2 && size != 4) return -1;
    auto element = [&](qint64 at) -> qint64 {
        if (!varying) return size <= available - at ? size : -1;
        if (available - at < size) return -1;
        const qint64 len = ReadLE(data + at, size, false);
        return len <= available - at - size ? size + len : -1;
    };
    if (!(typeWord & PacketTypeWord::Array)) return element(0);
    if (available < 4) return -1;
    const qint64 count = ReadLE(data, 4, false);
    qint64 at = 4;
    if (!varying) {
        // Checked by multiplication so that a huge count costs nothing.
        if (size == 0) return count == 0 ? 4 : -1;
        if (count > (available - 4) / size) return -1;
        return 4 + count * size;
    }
    if (count > available - 4) return -1;   // every element takes at least one byte
    for (qint64 i = 0; i < count; ++i) {
        const qint64 n = element(at);
        if (n < 0) return -1;
        at += n;
    }
    return at;
}

// ---- TPacketParams -------------------------------------------------------------------------

int TPacketParams::IndexOf(QByteArrayView name) const
{
    for (size_t i = 0; i < Items.size(); ++i)
        if (SameName(Items[i].Name, name)) return int(i);
    return -1;
}

const TPacketParam* TPacketParams::Find(QByteArrayView name) const
{
    const int i = IndexOf(name);
    return i < 0 ? nullptr : &Items[size_t(i)];
}

void TPacketParams::Set(const TPacketParam& param)
{
    const int i = IndexOf(param.Name);
    if (i < 0) Items.push_back(param);
    else Items[size_t(i)] = param;
}

bool TPacketParams::Remove(QByteArrayView name)
{
    const int i = IndexOf(name);
    if (i < 0) return false;
    Items.erase(Items.begin() + i);
    return true;
}

std::optional<qint64> TPacketParams::Int(QByteArrayView name) const
{
    const TPacketParam* p = Find(name);
    return p ? p->AsInt() : std::nullopt;
}

std::optional<QByteArray> TPacketParams::Text(QByteArrayView name) const
{
    const TPacketParam* p = Find(name);
    return p ? p->AsText() : std::nullopt;
}

std::vector<qint64> TPacketParams::IntArray(QByteArrayView name) const
{
    const TPacketParam* p = Find(name);
    if (!p) return {};
    return p->AsIntArray().value_or(std::vector<qint64>());
}

// ---- TPacketFieldDesc ----------------------------------------------------------------------

bool TPacketFieldDesc::IsBlob() const
{
    return TypeCode() == ptcBytes && (TypeWord & PacketTypeWord::Varying) && TypeSize() == 4;
}


// ---- kinds and levels ----------------------------------------------------------------------

TPacketValueKind PacketValueKindOf(quint32 w, int& size)
{
    const int code = PacketTypeWord::Code(w);
    const int sz = PacketTypeWord::Size(w);
    const bool varying = w & PacketTypeWord::Varying;
    if (w & PacketTypeWord::Array)
        PacketError(QStringLiteral("A field has the array flag in its type word 0x%1").arg(w, 8, 16, QLatin1Char('0')));
    if (varying) {
        if (sz != 1 && sz != 2 && sz != 4)
            PacketError(QStringLiteral("A field has a length prefix of %1 bytes (type word 0x%2)")
                            .arg(sz).arg(w, 8, 16, QLatin1Char('0')));
        size = sz;
        switch (code) {
        case ptcString: return pkAnsiString;
        case ptcWideString: return pkWideString;
        case ptcBytes: return sz == 4 ? pkBlob : pkVarBytes;
        default: return pkRawVarying;
        }
    }
    size = sz;
    switch (code) {
    case ptcInteger:
        if (sz == 1) return pkInt8;
        if (sz == 2) return pkInt16;
        if (sz == 4) return pkInt32;
        if (sz == 8) return pkInt64;
        break;
    case ptcUnsigned:
        if (sz == 1) return pkUInt8;
        if (sz == 2) return pkUInt16;
        if (sz == 4) return pkUInt32;
        if (sz == 8) return pkUInt64;
        break;
    case ptcBoolean:
        if (sz == 1 || sz == 2 || sz == 4) return pkBoolean;
        break;
    case ptcFloat:
        if (sz == 8) return pkDouble;
        if (sz == 10) return pkExtended;
        if (sz == 4) return pkSingle;
        break;
    case ptcSingle:
        if (sz == 4) return pkSingle;
        break;
    case ptcBcd:
    case ptcFmtBcd:
        size = 18;
        return pkBcd;
    case ptcDate:
        if (sz == 4) return pkDate;
        break;
    case ptcTime:
        if (sz == 4) return pkTime;
        break;
    case ptcTimeStamp:
        if (sz == 8) return pkTimeStamp;
        break;
    case ptcSqlTimeStamp:
        if (sz == 16) return pkSqlTimeStamp;
        break;
    case ptcSqlTimeStampOffset:
        if (sz == 20) return pkSqlTimeStampOffset;
        break;
    case ptcBytes:
        return pkFixedBytes;
    default:
        break;
    }
    return pkRawFixed;
}

int PacketDescendantCount(const TPacketFieldDesc& field)
{
    int n = 0;
    for (const TPacketFieldDesc& c : field.Children) n += 1 + PacketDescendantCount(c);
    return n;
}

QString PacketDecodeName(const QByteArray& name, int codePage)
{
    bool high = false;
    for (char c : name)
        if (uchar(c) >= 0x80) { high = true; break; }
    if (!high) return QString::fromLatin1(name);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString s = utf8.decode(name);
    if (!utf8.hasError()) return s;
    return DecodeCodePage(name, codePage);
}

namespace {

struct TLevelBuilder {
    std::vector<TPacketLevel>& Levels;
    int CodePage;

    void AddColumns(const TPacketFieldDesc& f, int depth, std::vector<TPacketColumn>& cols)
    {
        if (depth > PacketMaxDepth)
            PacketError(QStringLiteral("Fields are nested more than %1 levels deep").arg(PacketMaxDepth));
        if (cols.size() >= size_t(PacketMaxColumns))
            PacketError(QStringLiteral("A dataset has more than %1 columns").arg(PacketMaxColumns));
        TPacketColumn col;
        col.Field = &f;
        if (f.IsNestedTable()) {
            col.Kind = pkNested;
            col.NestedLevel = -2;   // assigned when the level is built
            cols.push_back(col);
            return;
        }
        if (f.IsAdt()) {
            if (f.TypeSize() != int(f.Children.size()))
                PacketError(QStringLiteral("Field '%1' declares %2 members but has %3").arg(f.Text).arg(f.TypeSize()).arg(f.Children.size()));
            col.Kind = pkNone;
            cols.push_back(col);
            for (const TPacketFieldDesc& c : f.Children) AddColumns(c, depth + 1, cols);
            return;
        }
        if (f.IsArrayField()) {
            if (f.Children.size() != 1)
                PacketError(QStringLiteral("Array field '%1' must have one element descriptor").arg(f.Text));
            col.Kind = pkNone;
            cols.push_back(col);
            for (int i = 0; i < f.TypeSize(); ++i) AddColumns(f.Children[0], depth + 1, cols);
            return;
        }
        if (!f.Children.empty())
            PacketError(QStringLiteral("Field '%1' is not composite but has member descriptors").arg(f.Text));
        col.Kind = PacketValueKindOf(f.TypeWord, col.Size);
        cols.push_back(col);
    }

    void Decode(std::vector<TPacketFieldDesc>& fields)
    {
        for (TPacketFieldDesc& f : fields) {
            const std::optional<QByteArray> full = f.Params.FieldName();
            f.Text = PacketDecodeName(full && !full->isEmpty() ? *full : f.Name, CodePage);
            Decode(f.Children);
        }
    }

    int Build(const std::vector<TPacketFieldDesc>& fields, const TPacketParams& params,
              const TPacketFieldDesc* owner, int parent, int depth)
    {
        if (depth > PacketMaxDepth)
            PacketError(QStringLiteral("Nested datasets are more than %1 levels deep").arg(PacketMaxDepth));
        const int index = int(Levels.size());
        Levels.emplace_back();
        {
            TPacketLevel& lv = Levels.back();
            lv.Index = index;
            lv.Parent = parent;
            lv.Depth = depth;
            lv.Owner = owner;
            lv.Fields = &fields;
            lv.Params = &params;
        }
        std::vector<TPacketColumn> cols;
        for (const TPacketFieldDesc& f : fields) AddColumns(f, depth, cols);
        // Nested levels get their numbers in column order; a nested table repeated by an array
        // field shares one level.
        for (TPacketColumn& c : cols) {
            if (c.Kind != pkNested) continue;
            int found = -1;
            for (const TPacketColumn& prev : cols) {
                if (&prev == &c) break;
                if (prev.Kind == pkNested && prev.Field == c.Field) { found = prev.NestedLevel; break; }
            }
            c.NestedLevel = found >= 0 ? found : Build(c.Field->Children, c.Field->LevelParams, c.Field, index, depth + 1);
        }
        TPacketLevel& lv = Levels[size_t(index)];
        lv.Columns = std::move(cols);
        lv.BitmapBytes = int((lv.Columns.size() + 3) / 4);
        return index;
    }
};

} // namespace

TPacketMetadata::TPacketMetadata(const TPacketMetadata& other)
    : Fields(other.Fields), Params(other.Params), MajorVersion(other.MajorVersion), MinorVersion(other.MinorVersion)
{
    if (other.IsPrepared()) Prepare();
}

TPacketMetadata& TPacketMetadata::operator=(const TPacketMetadata& other)
{
    if (this == &other) return *this;
    Fields = other.Fields;
    Params = other.Params;
    MajorVersion = other.MajorVersion;
    MinorVersion = other.MinorVersion;
    FLevels.clear();
    if (other.IsPrepared()) Prepare();
    return *this;
}

TPacketMetadata::TPacketMetadata(TPacketMetadata&& other) noexcept
{
    *this = std::move(other);
}

TPacketMetadata& TPacketMetadata::operator=(TPacketMetadata&& other) noexcept
{
    if (this == &other) return *this;
    Fields = std::move(other.Fields);
    Params = std::move(other.Params);
    MajorVersion = other.MajorVersion;
    MinorVersion = other.MinorVersion;
    FLevels = std::move(other.FLevels);
    other.FLevels.clear();
    // Nested levels point into the descriptors' heap storage, which moved along; the top level
    // points at members of this object.
    if (!FLevels.empty()) {
        FLevels[0].Fields = &Fields;
        FLevels[0].Params = &Params;
    }
    return *this;
}

void TPacketMetadata::Prepare()
{
    FLevels.clear();
    std::vector<TPacketLevel> levels;
    TLevelBuilder b{levels, CodePage()};
    b.Decode(Fields);
    b.Build(Fields, Params, nullptr, -1, 0);
    FLevels = std::move(levels);
}

int TPacketMetadata::DescriptorCount() const
{
    int n = 0;
    for (const TPacketFieldDesc& f : Fields) n += 1 + PacketDescendantCount(f);
    return n;
}

int TPacketMetadata::CodePage() const
{
    return CodePageFromLCID(quint32(Params.Lcid().value_or(0)));
}
