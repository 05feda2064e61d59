#include "platform/client/PacketBinary.h"

#include "platform/client/PacketError.h"

#include <cstring>

namespace {

inline quint16 U16(const uchar* p) { return quint16(p[0] | (p[1] << 8)); }
inline quint32 U32(const uchar* p) { return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24); }
inline quint64 U64(const uchar* p) { return quint64(U32(p)) | (quint64(U32(p + 4)) << 32); }

QString Hex(quint32 v) { return QStringLiteral("0x%1").arg(v, 8, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("0X"), QLatin1String("0x")); }

class TBinaryReader {
public:
    TBinaryReader(const char* data, qsizetype size)
        : B(reinterpret_cast<const uchar*>(data)), N(size) {}

    qint64 ReadMetadata(TPacketMetadata& meta);
    void ReadRows(int level, quint32 count, IPacketSink& sink);
    qint64 Pos() const { return P; }
    void Seek(qint64 pos) { P = pos; }
    bool Scan(const TPacketLevel& lv, quint32 count, quint32 every, std::vector<qint64>& starts);
    qint64 Remaining() const { return N - P; }
    const TPacketMetadata* Meta = nullptr;

private:
    [[noreturn]] void Fail(const QString& msg) const { PacketError(QStringLiteral("Damaged data packet: ") + msg, P); }
    void Need(qint64 n, const char* what) const
    {
        if (n > N - P)
            Fail(QStringLiteral("%1 needs %2 bytes but the file ends %3 bytes later").arg(QLatin1String(what)).arg(n).arg(N - P));
    }
    QByteArray Name(const char* what);
    void ReadLevel(std::vector<TPacketFieldDesc>& fields, TPacketParams& params, int total, int depth, int& consumed);
    void ReadDescriptor(std::vector<TPacketFieldDesc>& fields, int total, int depth, int& consumed);
    void ReadParams(TPacketParams& params, int count);
    [[noreturn]] void FailInRow(const TPacketLevel& lv, quint32 row, int column, const QString& msg) const;
    void CheckRowCount(const TPacketLevel& lv, quint64 count) const;

    const uchar* B;
    qint64 N;
    qint64 P = 0;
};

QByteArray TBinaryReader::Name(const char* what)
{
    Need(1, what);
    const int len = B[P];
    if (len == 0) Fail(QStringLiteral("%1 is empty").arg(QLatin1String(what)));
    ++P;
    Need(len, what);
    QByteArray name(reinterpret_cast<const char*>(B + P), len);
    P += len;
    return name;
}

void TBinaryReader::ReadParams(TPacketParams& params, int count)
{
    // A parameter takes at least a name byte, one name character and its type word.
    if (count > (N - P) / 6) Fail(QStringLiteral("%1 parameters are declared but only %2 bytes remain").arg(count).arg(N - P));
    params.Items.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        TPacketParam p;
        p.Name = Name("a parameter name");
        Need(4, "a parameter type");
        p.TypeWord = U32(B + P);
        P += 4;
        const qint64 len = TPacketParam::MeasureValue(p.TypeWord, reinterpret_cast<const char*>(B + P), N - P);
        if (len < 0)
            Fail(QStringLiteral("the value of parameter '%1' (type %2) does not fit in the file")
                     .arg(QString::fromLatin1(p.Name), Hex(p.TypeWord)));
        p.Value = QByteArray(reinterpret_cast<const char*>(B + P), len);
        P += len;
        params.Items.push_back(std::move(p));
    }
}

void TBinaryReader::ReadDescriptor(std::vector<TPacketFieldDesc>& fields, int total, int depth, int& consumed)
{
    if (depth > PacketMaxDepth) Fail(QStringLiteral("fields are nested more than %1 levels deep").arg(PacketMaxDepth));
    if (consumed >= total) Fail(QStringLiteral("the field descriptors exceed the count of %1 they declare").arg(total));
    ++consumed;
    TPacketFieldDesc f;
    f.Name = Name("a field name");
    Need(8, "a field descriptor");
    f.TypeWord = U32(B + P);
    f.Attributes = U16(B + P + 4);
    const int paramCount = U16(B + P + 6);
    P += 8;
    ReadParams(f.Params, paramCount);
    if (f.IsNestedTable()) {
        const int below = f.TypeSize();
        if (below > total - consumed)
            Fail(QStringLiteral("nested field '%1' declares %2 descriptors but only %3 remain")
                     .arg(QString::fromLatin1(f.Name)).arg(below).arg(total - consumed));
        int inner = 0;
        ReadLevel(f.Children, f.LevelParams, below, depth + 1, inner);
        consumed += inner;
    } else if (f.IsAdt()) {
        for (int i = 0; i < f.TypeSize(); ++i) ReadDescriptor(f.Children, total, depth + 1, consumed);
    } else if (f.IsArrayField()) {
        ReadDescriptor(f.Children, total, depth + 1, consumed);
    }
    fields.push_back(std::move(f));
}

void TBinaryReader::ReadLevel(std::vector<TPacketFieldDesc>& fields, TPacketParams& params, int total, int depth, int& consumed)
{
    while (consumed < total) ReadDescriptor(fields, total, depth, consumed);
    Need(2, "a dataset parameter count");
    const int count = U16(B + P);
    P += 2;
    ReadParams(params, count);
}

qint64 TBinaryReader::ReadMetadata(TPacketMetadata& meta)
{
    if (N < 24) {
        P = 0;
        Fail(QStringLiteral("the file has %1 bytes, fewer than the 24 of a packet header").arg(N));
    }
    if (U32(B) != PacketBinaryMagic) Fail(QStringLiteral("the file does not start with a binary packet signature"));
    meta.MajorVersion = U16(B + 4);
    meta.MinorVersion = U16(B + 6);
    if (meta.MajorVersion > 3 || meta.MinorVersion > 3) {
        P = 4;
        Fail(QStringLiteral("packet version %1.%2 is not supported").arg(meta.MajorVersion).arg(meta.MinorVersion));
    }
    const quint32 headerSize = U32(B + 8);
    if (headerSize < 24 || headerSize > quint64(N)) {
        P = 8;
        Fail(QStringLiteral("the header size %1 is impossible").arg(headerSize));
    }
    const int descriptors = U16(B + 12);
    const quint32 rows = U32(B + 14);
    const quint32 props = U32(B + 18);
    const quint32 firstRow = U16(B + 22);
    P = headerSize;
    int consumed = 0;
    ReadLevel(meta.Fields, meta.Params, descriptors, 0, consumed);
    if (props & 2) {
        if (firstRow != quint64(P)) {
            const qint64 end = P;
            P = 22;
            Fail(QStringLiteral("the header puts the first row at %1 but the metadata ends at %2").arg(firstRow).arg(end));
        }
    }
    try {
        meta.Prepare();
    } catch (const EPacketError& e) {
        Fail(e.Message());
    }
    return rows;
}

void TBinaryReader::FailInRow(const TPacketLevel& lv, quint32 row, int column, const QString& msg) const
{
    QString where = lv.Owner ? QStringLiteral("row %1 of nested field '%2'").arg(row + 1).arg(lv.Owner->Text)
                             : QStringLiteral("row %1").arg(row + 1);
    if (column >= 0 && column < int(lv.Columns.size()))
        where += QStringLiteral(", field '%1'").arg(lv.Columns[size_t(column)].Field->Text);
    Fail(where + QStringLiteral(": ") + msg);
}

void TBinaryReader::CheckRowCount(const TPacketLevel& lv, quint64 count) const
{
    // Every row takes its status byte and bitmap, so a count the rest of the file cannot hold
    // is damage, found before anything is sized by it.
    const qint64 minRow = 1 + lv.BitmapBytes;
    if (count > quint64((N - P) / minRow))
        Fail(QStringLiteral("%1 rows are declared%2 but only %3 bytes remain")
                 .arg(count)
                 .arg(lv.Owner ? QStringLiteral(" for nested field '%1'").arg(lv.Owner->Text) : QString())
                 .arg(N - P));
}

void TBinaryReader::ReadRows(int level, quint32 count, IPacketSink& sink)
{
    const TPacketLevel& lv = Meta->Level(level);
    const TPacketColumn* cols = lv.Columns.data();
    const int ncols = int(lv.Columns.size());
    const int bitmapBytes = lv.BitmapBytes;
    CheckRowCount(lv, count);
    for (quint32 r = 0; r < count; ++r) {
        if (1 + bitmapBytes > N - P) FailInRow(lv, r, -1, QStringLiteral("the row header runs past the end of the file"));
        const quint8 status = B[P];
        const uchar* bitmap = B + P + 1;
        P += 1 + bitmapBytes;
        sink.BeginRow(level, status);
        for (int c = 0; c < ncols; ++c) {
            const TPacketColumn& col = cols[c];
            TPacketCell cell;
            cell.Kind = col.Kind;
            const int bits = (bitmap[c >> 2] >> ((c & 3) << 1)) & 3;
            if (bits) {
                cell.State = (bits & 1) ? pcsNull : pcsNotChanged;
                sink.Cell(c, cell);
                continue;
            }
            cell.State = pcsValue;
            const uchar* p = B + P;
            const qint64 left = N - P;
            auto need = [&](qint64 n) {
                if (n > left) FailInRow(lv, r, c, QStringLiteral("the %1 value needs %2 bytes but the file ends %3 bytes later")
                                                          .arg(QLatin1String(PacketValueKindName(col.Kind))).arg(n).arg(left));
            };
            switch (col.Kind) {
            case pkNone:
                break;
            case pkInt8: need(1); cell.Int = qint8(p[0]); P += 1; break;
            case pkInt16: need(2); cell.Int = qint16(U16(p)); P += 2; break;
            case pkInt32: need(4); cell.Int = qint32(U32(p)); P += 4; break;
            case pkInt64: need(8); cell.Int = qint64(U64(p)); P += 8; break;
            case pkUInt8: need(1); cell.Int = p[0]; P += 1; break;
            case pkUInt16: need(2); cell.Int = U16(p); P += 2; break;
            case pkUInt32: need(4); cell.Int = U32(p); P += 4; break;
            case pkUInt64: need(8); cell.Int = qint64(U64(p)); P += 8; break;
            case pkBoolean:
                need(col.Size);
                cell.Int = col.Size == 1 ? p[0] : col.Size == 2 ? U16(p) : U32(p);
                P += col.Size;
                break;
            case pkDate: need(4); cell.Int = qint32(U32(p)); P += 4; break;
            case pkTime: need(4); cell.Int = qint32(U32(p)); P += 4; break;
            case pkDouble:
            case pkTimeStamp: {
                need(8);
                const quint64 bits64 = U64(p);
                std::memcpy(&cell.Float, &bits64, 8);
                P += 8;
                break;
            }
            case pkSingle: {
                need(4);
                const quint32 bits32 = U32(p);
                float f;
                std::memcpy(&f, &bits32, 4);
                cell.Float = f;
                P += 4;
                break;
            }
            case pkExtended:
            case pkBcd:
            case pkSqlTimeStamp:
            case pkSqlTimeStampOffset:
            case pkFixedBytes:
            case pkRawFixed:
                need(col.Size);
                cell.Data = reinterpret_cast<const char*>(p);
                cell.Size = col.Size;
                P += col.Size;
                break;
            case pkAnsiString:
            case pkWideString:
            case pkVarBytes:
            case pkBlob:
            case pkRawVarying: {
                need(col.Size);
                const quint32 len = col.Size == 1 ? p[0] : col.Size == 2 ? U16(p) : U32(p);
                if (col.Kind == pkBlob && (len & 0x80000000u)) {
                    // Left on the server: no bytes follow.
                    cell.State = pcsNotFetched;
                    cell.Int = len;
                    P += col.Size;
                    break;
                }
                need(qint64(col.Size) + len);
                const char* d = reinterpret_cast<const char*>(p + col.Size);
                qsizetype n = len;
                if (col.Kind == pkAnsiString) {
                    if (const void* z = std::memchr(d, 0, size_t(n))) n = static_cast<const char*>(z) - d;
                } else if (col.Kind == pkWideString) {
                    n &= ~qsizetype(1);
                    for (qsizetype i = 0; i < n; i += 2)
                        if (d[i] == 0 && d[i + 1] == 0) { n = i; break; }
                }
                cell.Data = d;
                cell.Size = n;
                P += col.Size + qint64(len);
                break;
            }
            case pkNested: {
                need(4);
                const quint32 n = U32(p);
                P += 4;
                if (n & 0x80000000u) {
                    cell.State = pcsNotFetched;
                    cell.Int = n;
                    break;
                }
                cell.Int = n;
                sink.Cell(c, cell);
                ReadRows(col.NestedLevel, n, sink);
                sink.EndNested(c);
                continue;
            }
            }
            sink.Cell(c, cell);
        }
        sink.EndRow();
    }
}

bool TBinaryReader::Scan(const TPacketLevel& lv, quint32 count, quint32 every, std::vector<qint64>& starts)
{
    // Per column: the bytes of a fixed-size value, or (negative) the size of the length prefix.
    const int ncols = int(lv.Columns.size());
    std::vector<int> step(static_cast<size_t>(ncols));
    for (int c = 0; c < ncols; ++c) {
        const TPacketColumn& col = lv.Columns[size_t(c)];
        switch (col.Kind) {
        case pkNone: step[size_t(c)] = 0; break;
        case pkInt8: case pkUInt8: step[size_t(c)] = 1; break;
        case pkInt16: case pkUInt16: step[size_t(c)] = 2; break;
        case pkInt32: case pkUInt32: case pkDate: case pkTime: case pkSingle: step[size_t(c)] = 4; break;
        case pkInt64: case pkUInt64: case pkDouble: case pkTimeStamp: step[size_t(c)] = 8; break;
        case pkNested: return false;
        case pkAnsiString: case pkWideString: case pkVarBytes: case pkBlob: case pkRawVarying:
            if (col.Size != 1 && col.Size != 2 && col.Size != 4) return false;
            step[size_t(c)] = -col.Size;
            break;
        default: step[size_t(c)] = col.Size; break;
        }
    }
    // Rows without NULLs (most of them) take a shorter way: the fixed values between the
    // varying ones are skipped as one sum.
    struct TVarying {
        int Skip;       // fixed bytes before the prefix
        int Prefix;
        bool Blob;
    };
    std::vector<TVarying> varying;
    int fixed = 0;
    for (int c = 0; c < ncols; ++c) {
        if (step[size_t(c)] >= 0) {
            fixed += step[size_t(c)];
            continue;
        }
        varying.push_back({fixed, -step[size_t(c)], lv.Columns[size_t(c)].Kind == pkBlob});
        fixed = 0;
    }
    const int tail = fixed;
    const qint64 minRow = 1 + lv.BitmapBytes;
    if (count > quint64((N - P) / minRow)) return false;
    starts.clear();
    starts.reserve(count / every + 1);
    const int bitmapBytes = lv.BitmapBytes;
    const int* steps = step.data();
    auto prefixed = [&](qint64& p, int prefix, bool blob) {
        if (prefix > N - p) return false;
        const uchar* q = B + p;
        quint32 len = prefix == 1 ? q[0] : prefix == 2 ? U16(q) : U32(q);
        // A blob left on the server has no bytes.
        if (blob && (len & 0x80000000u)) len = 0;
        p += prefix + qint64(len);
        return p <= N;
    };
    for (quint32 r = 0; r < count; ++r) {
        if (r % every == 0) starts.push_back(P);
        if (minRow > N - P || B[P] != 0) return false;
        const uchar* bitmap = B + P + 1;
        qint64 p = P + minRow;
        bool anyBits = false;
        for (int i = 0; i < bitmapBytes; ++i) anyBits |= bitmap[i] != 0;
        if (!anyBits) {
            for (const TVarying& v : varying) {
                p += v.Skip;
                if (!prefixed(p, v.Prefix, v.Blob)) return false;
            }
            p += tail;
        } else {
            for (int c = 0; c < ncols; ++c) {
                if ((bitmap[c >> 2] >> ((c & 3) << 1)) & 3) continue;
                const int k = steps[c];
                if (k >= 0) p += k;
                else if (!prefixed(p, -k, lv.Columns[size_t(c)].Kind == pkBlob)) return false;
            }
        }
        if (p > N) return false;
        P = p;
    }
    return P == N;
}

} // namespace

void ReadBinaryPacket(const char* data, qsizetype size, IPacketSink& sink)
{
    TBinaryReader reader(data, size);
    TPacketMetadata meta;
    const quint32 rows = quint32(reader.ReadMetadata(meta));
    reader.Meta = &meta;
    sink.BeginPacket(meta, qint64(rows));
    reader.ReadRows(0, rows, sink);
    if (reader.Remaining() != 0)
        PacketError(QStringLiteral("Damaged data packet: %1 bytes follow the last of the %2 rows the header declares")
                        .arg(reader.Remaining()).arg(rows), reader.Pos());
    sink.EndPacket();
}

TPacketMetadata ReadBinaryPacketMetadata(const char* data, qsizetype size, qint64* rowCount, qint64* rowsOffset)
{
    TBinaryReader reader(data, size);
    TPacketMetadata meta;
    const qint64 rows = reader.ReadMetadata(meta);
    if (rowCount) *rowCount = rows;
    if (rowsOffset) *rowsOffset = reader.Pos();
    return meta;
}

bool ScanBinaryRows(const char* data, qsizetype size, const TPacketMetadata& meta, qint64 offset, quint32 count,
                    quint32 every, std::vector<qint64>& starts)
{
    if (meta.LevelCount() != 1 || offset < 0 || offset > size || every == 0) return false;
    TBinaryReader reader(data, size);
    reader.Seek(offset);
    return reader.Scan(meta.Level(0), count, every, starts);
}

void ReadBinaryRows(const char* data, qsizetype size, const TPacketMetadata& meta, qint64 offset, quint32 count,
                    IPacketSink& sink)
{
    TBinaryReader reader(data, size);
    reader.Meta = &meta;
    reader.Seek(offset);
    reader.ReadRows(0, count, sink);
}

// ---- writer --------------------------------------------------------------------------------

void TPacketBinaryWriter::Fail(const QString& msg) const
{
    PacketError(QStringLiteral("Cannot write the data packet: ") + msg);
}

void TPacketBinaryWriter::WriteName(const QByteArray& name, const char* what)
{
    if (name.isEmpty() || name.size() > 255)
        Fail(QStringLiteral("%1 '%2' must have 1 to 255 bytes").arg(QLatin1String(what), QString::fromUtf8(name)));
    FOut.Append(char(name.size()));
    FOut.Append(name.constData(), name.size());
}

void TPacketBinaryWriter::WriteParam(const TPacketParam& p)
{
    if (TPacketParam::MeasureValue(p.TypeWord, p.Value.constData(), p.Value.size()) != p.Value.size())
        Fail(QStringLiteral("the value of parameter '%1' does not match its type %2").arg(QString::fromLatin1(p.Name), Hex(p.TypeWord)));
    WriteName(p.Name, "parameter name");
    FOut.AppendLE(p.TypeWord, 4);
    FOut.Append(p.Value.constData(), p.Value.size());
}

void TPacketBinaryWriter::WriteParams(const TPacketParams& params)
{
    if (params.Items.size() > 65535) Fail(QStringLiteral("too many parameters"));
    FOut.AppendLE(params.Items.size(), 2);
    for (const TPacketParam& p : params.Items) WriteParam(p);
}

namespace {

// Cuts a name to the 31 bytes the engine keeps, on a character boundary when it is UTF-8.
QByteArray CutName(const QByteArray& name)
{
    int n = 31;
    while (n > 0 && (uchar(name[n]) & 0xC0) == 0x80) --n;
    return name.left(n > 0 ? n : 31);
}

} // namespace

void TPacketBinaryWriter::WriteDescriptor(const TPacketFieldDesc& f)
{
    quint32 type = f.TypeWord;
    if (f.IsNestedTable()) {
        const int below = PacketDescendantCount(f);
        if (below > 65535) Fail(QStringLiteral("nested field '%1' has too many fields").arg(f.Text));
        type = (type & ~PacketTypeWord::SizeMask) | quint32(below);
    }
    if (f.Params.Items.size() > 65535) Fail(QStringLiteral("field '%1' has too many parameters").arg(f.Text));
    if (f.Name.size() > 31) {
        WriteName(CutName(f.Name), "field name");
        FOut.AppendLE(type, 4);
        FOut.AppendLE(f.Attributes, 2);
        const bool hasFull = f.Params.Find("FIELDNAME");
        FOut.AppendLE(f.Params.Items.size() + (hasFull ? 0 : 1), 2);
        for (const TPacketParam& p : f.Params.Items) WriteParam(p);
        if (!hasFull) WriteParam(TPacketParam::MakeText("FIELDNAME", f.Name));
    } else {
        WriteName(f.Name, "field name");
        FOut.AppendLE(type, 4);
        FOut.AppendLE(f.Attributes, 2);
        FOut.AppendLE(f.Params.Items.size(), 2);
        for (const TPacketParam& p : f.Params.Items) WriteParam(p);
    }
    if (f.IsNestedTable()) {
        WriteFields(f.Children);
        WriteParams(f.LevelParams);
    } else {
        for (const TPacketFieldDesc& c : f.Children) WriteDescriptor(c);
    }
}

void TPacketBinaryWriter::WriteFields(const std::vector<TPacketFieldDesc>& fields)
{
    for (const TPacketFieldDesc& f : fields) WriteDescriptor(f);
}

namespace {

bool HasHighTypeCode(const std::vector<TPacketFieldDesc>& fields)
{
    for (const TPacketFieldDesc& f : fields)
        if (f.TypeCode() > 11 || HasHighTypeCode(f.Children)) return true;
    return false;
}

} // namespace

void TPacketBinaryWriter::PatchLE(qint64 offset, quint64 v, int size)
{
    char bytes[8];
    TPacketBuffer::StoreLE(bytes, v, size);
    FOut.Patch(offset, bytes, size);
}

void TPacketBinaryWriter::BeginPacket(const TPacketMetadata& meta, qint64 rowCountHint)
{
    FMeta = &meta;
    FRows.clear();
    FTables.clear();
    const int descriptors = meta.DescriptorCount();
    if (descriptors > 65535) Fail(QStringLiteral("the packet has more than 65535 field descriptors"));
    // A known row count is written at once, so that the rows can stream out behind it; an
    // unknown one keeps the whole packet until the end.
    const bool known = rowCountHint >= 0 && rowCountHint <= 0xFFFFFFFFll;
    FRowsWritten = known ? quint32(rowCountHint) : 0;
    FHeaderAt = FOut.Size();
    FBaseHold = known ? -1 : FHeaderAt;
    FOut.Hold(FBaseHold);
    char* header = FOut.Grow(24);
    TPacketBuffer::StoreLE(header, PacketBinaryMagic, 4);
    TPacketBuffer::StoreLE(header + 4, HasHighTypeCode(meta.Fields) ? 2 : 1, 2);
    TPacketBuffer::StoreLE(header + 6, 0, 2);
    TPacketBuffer::StoreLE(header + 8, 24, 4);
    TPacketBuffer::StoreLE(header + 12, quint64(descriptors), 2);
    TPacketBuffer::StoreLE(header + 14, FRowsWritten, 4);
    TPacketBuffer::StoreLE(header + 18, 3, 4);
    TPacketBuffer::StoreLE(header + 22, 0, 2);
    WriteFields(meta.Fields);
    WriteParams(meta.Params);
    const qsizetype firstRow = FOut.Size() - FHeaderAt;
    if (firstRow <= 0xFFFF) PatchLE(FHeaderAt + 22, quint64(firstRow), 2);
    else PatchLE(FHeaderAt + 18, 1, 4);
    FTables.push_back({0, nullptr, 0});
}

void TPacketBinaryWriter::BeginRow(int level, quint8 status)
{
    // Rows open where a table awaits them: the top level, or right after a nested column's value.
    if (FTables.size() != FRows.size() + 1)
        Fail(QStringLiteral("a row began before the previous one ended"));
    if (FTables.back().Level != level)
        Fail(QStringLiteral("a row of level %1 arrived where level %2 was expected").arg(level).arg(FTables.back().Level));
    ++FTables.back().Rows;
    const TPacketLevel& lv = FMeta->Level(level);
    // An open row's bitmap (and its nested counts) are set as its values come: held.
    if (FRows.empty() && FBaseHold < 0) FOut.Hold(FOut.Size());
    char* p = FOut.Grow(1 + lv.BitmapBytes);
    p[0] = char(status);
    std::memset(p + 1, 0, size_t(lv.BitmapBytes));
    FRows.push_back({&lv, p + 1, 0});
}

void TPacketBinaryWriter::WritePrefixed(const TPacketColumn& col, const char* data, qsizetype size)
{
    const quint64 limit = col.Size == 1 ? 0xFFu : col.Size == 2 ? 0xFFFFu : 0x7FFFFFFFu;
    if (quint64(size) > limit)
        Fail(QStringLiteral("a value of %1 bytes does not fit field '%2' (at most %3)").arg(size).arg(col.Field->Text).arg(limit));
    FOut.AppendLE(quint64(size), col.Size);
    FOut.Append(data, size);
}

void TPacketBinaryWriter::Cell(int column, const TPacketCell& cell)
{
    if (FRows.empty() || FTables.size() != FRows.size()) Fail(QStringLiteral("a value arrived outside a row"));
    TRow& row = FRows.back();
    if (column != row.NextColumn || column >= int(row.Level->Columns.size()))
        Fail(QStringLiteral("value for column %1 arrived where column %2 was expected").arg(column).arg(row.NextColumn));
    ++row.NextColumn;
    const TPacketColumn& col = row.Level->Columns[size_t(column)];
    char* bitmap = row.Bitmap;
    const int shift = (column & 3) << 1;
    if (cell.State == pcsNull || cell.State == pcsNotChanged
        || (cell.State == pcsNotFetched && col.Kind != pkBlob && col.Kind != pkNested)) {
        bitmap[column >> 2] = char(bitmap[column >> 2] | ((cell.State == pcsNotChanged ? 2 : 1) << shift));
        return;
    }
    if (cell.State == pcsNotFetched) {
        FOut.AppendLE(quint32(cell.Int) | 0x80000000u, 4);
        return;
    }
    if (cell.Size < 0 || (cell.Size > 0 && !cell.Data))
        Fail(QStringLiteral("field '%1' was given no bytes").arg(col.Field->Text));
    switch (col.Kind) {
    case pkNone:
        break;
    case pkInt8: case pkUInt8: FOut.AppendLE(cell.Int, 1); break;
    case pkInt16: case pkUInt16: FOut.AppendLE(cell.Int, 2); break;
    case pkInt32: case pkUInt32: case pkDate: case pkTime: FOut.AppendLE(cell.Int, 4); break;
    case pkInt64: case pkUInt64: FOut.AppendLE(cell.Int, 8); break;
    case pkBoolean: FOut.AppendLE(cell.Int, col.Size); break;
    case pkDouble:
    case pkTimeStamp: {
        quint64 bits;
        std::memcpy(&bits, &cell.Float, 8);
        FOut.AppendLE(bits, 8);
        break;
    }
    case pkSingle: {
        const float f = float(cell.Float);
        quint32 bits;
        std::memcpy(&bits, &f, 4);
        FOut.AppendLE(bits, 4);
        break;
    }
    case pkFixedBytes:
        // Shorter bytes are padded, as the field's storage is; longer ones would be cut.
        if (cell.Size > col.Size)
            Fail(QStringLiteral("a value of %1 bytes does not fit the %2 bytes of field '%3'").arg(cell.Size).arg(col.Size).arg(col.Field->Text));
        FOut.Append(cell.Data, cell.Size);
        std::memset(FOut.Grow(col.Size - cell.Size), 0, size_t(col.Size - cell.Size));
        break;
    case pkExtended:
    case pkBcd:
    case pkSqlTimeStamp:
    case pkSqlTimeStampOffset:
    case pkRawFixed:
        if (cell.Size != col.Size)
            Fail(QStringLiteral("field '%1' needs %2 bytes but was given %3").arg(col.Field->Text).arg(col.Size).arg(cell.Size));
        FOut.Append(cell.Data, cell.Size);
        break;
    case pkAnsiString:
        // An empty string is stored as one zero byte: a length of zero would read as NULL.
        if (cell.Size == 0) WritePrefixed(col, "", 1);
        else WritePrefixed(col, cell.Data, cell.Size);
        break;
    case pkWideString:
        if (cell.Size == 0) WritePrefixed(col, "\0", 2);
        else WritePrefixed(col, cell.Data, cell.Size);
        break;
    case pkVarBytes:
    case pkBlob:
    case pkRawVarying:
        WritePrefixed(col, cell.Data, cell.Size);
        break;
    case pkNested: {
        if (int(FTables.size()) > PacketMaxDepth + 1) Fail(QStringLiteral("nested rows are too deep"));
        char* count = FOut.Grow(4);
        std::memset(count, 0, 4);
        FTables.push_back({col.NestedLevel, count, 0});
        break;
    }
    }
}

void TPacketBinaryWriter::EndNested(int column)
{
    if (FTables.size() < 2 || FTables.size() != FRows.size() + 1 || FRows.back().NextColumn != column + 1)
        Fail(QStringLiteral("nested rows ended without having begun"));
    const TTable t = FTables.back();
    FTables.pop_back();
    TPacketBuffer::StoreLE(t.Count, t.Rows, 4);
}

void TPacketBinaryWriter::EndRow()
{
    if (FRows.empty() || FTables.size() != FRows.size()) Fail(QStringLiteral("a row ended without having begun"));
    const TRow& row = FRows.back();
    if (row.NextColumn != int(row.Level->Columns.size()))
        Fail(QStringLiteral("a row ended after %1 of its %2 values").arg(row.NextColumn).arg(row.Level->Columns.size()));
    FRows.pop_back();
    if (FRows.empty() && FBaseHold < 0) FOut.Hold(-1);
}

void TPacketBinaryWriter::EndPacket()
{
    if (FTables.size() != 1 || !FRows.empty()) Fail(QStringLiteral("the packet ended inside a row"));
    if (FTables.front().Rows != FRowsWritten) PatchLE(FHeaderAt + 14, FTables.front().Rows, 4);
    FTables.clear();
}
