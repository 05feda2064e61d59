#include "platform/client/PacketXmlWriter.h"

#include "platform/client/PacketError.h"
#include "platform/client/PacketXml.h"
#include "platform/core/CodePages.h"

#include <array>
#include <cstring>

using namespace PacketXml;

namespace {

// 0 plain, 1 escaped, 2 byte >= 0x80
const auto EscapeClass = [] {
    std::array<quint8, 256> t{};
    for (int c = 0; c < 0x20; ++c) t[size_t(c)] = 1;
    for (char c : std::string_view("<>&'\"\\")) t[uchar(c)] = 1;
    for (int c = 0x80; c < 0x100; ++c) t[size_t(c)] = 2;
    return t;
}();

void AppendEscape(TPacketBuffer& out, uint c)
{
    switch (c) {
    case '<': out.Append("&lt;"); return;
    case '>': out.Append("&gt;"); return;
    case '&': out.Append("&amp;"); return;
    case '\'': out.Append("&apos;"); return;
    case '"': out.Append("&quot;"); return;
    default: break;
    }
    out.Append("&#");
    if (c < 100) out.Append('0');
    if (c < 10) out.Append('0');
    PacketAppendUInt(out, c);
    out.Append(';');
}

void AppendUtf8(TPacketBuffer& out, uint c)
{
    if (c < 0x80) {
        out.Append(char(c));
    } else if (c < 0x800) {
        out.Append(char(0xC0 | (c >> 6)));
        out.Append(char(0x80 | (c & 0x3F)));
    } else {
        out.Append(char(0xE0 | (c >> 12)));
        out.Append(char(0x80 | ((c >> 6) & 0x3F)));
        out.Append(char(0x80 | (c & 0x3F)));
    }
}

} // namespace

void TPacketXmlWriter::Fail(const QString& msg) const
{
    PacketError(QStringLiteral("Cannot write the XML data packet: ") + msg);
}

void TPacketXmlWriter::AppendAnsi(const char* data, qsizetype size)
{
    if (FUtf8 && !FSingleByte) {
        // Trail bytes of a multi-byte code page may look like ASCII: convert the whole text.
        bool high = false;
        for (qsizetype i = 0; i < size && !high; ++i) high = uchar(data[i]) >= 0x80;
        if (high) {
            for (QChar ch : DecodeCodePage(QByteArrayView(data, size), FCodePage)) {
                const char16_t c = ch.unicode();
                if (c < 0x80 && EscapeClass[c] == 0) FOut.Append(char(c));
                else if (c < 0x80 || ch.isSurrogate()) AppendEscape(FOut, c);
                else AppendUtf8(FOut, c);
            }
            return;
        }
    }
    qsizetype run = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const quint8 k = EscapeClass[uchar(data[i])];
        if (k == 0 || (k == 2 && !FUtf8)) continue;
        FOut.Append(data + run, i - run);
        if (k == 1) {
            AppendEscape(FOut, uchar(data[i]));
            run = i + 1;
            continue;
        }
        // A run of high bytes, converted from the code page; characters outside the Basic
        // Multilingual Plane go as two references, never as 4-byte UTF-8.
        qsizetype j = i;
        while (j < size && EscapeClass[uchar(data[j])] == 2) ++j;
        const QString s = DecodeCodePage(QByteArrayView(data + i, j - i), FCodePage);
        for (QChar ch : s) {
            if (ch.isSurrogate()) AppendEscape(FOut, ch.unicode());
            else AppendUtf8(FOut, ch.unicode());
        }
        run = j;
        i = j - 1;
    }
    FOut.Append(data + run, size - run);
}

void TPacketXmlWriter::AppendWide(const char* p, qsizetype bytes)
{
    for (qsizetype i = 0; i + 1 < bytes; i += 2) {
        const uint c = uchar(p[i]) | (uint(uchar(p[i + 1])) << 8);
        if (c < 0x80 && EscapeClass[c] == 0) FOut.Append(char(c));
        else AppendEscape(FOut, c);
    }
    if (bytes & 1) AppendEscape(FOut, uchar(p[bytes - 1]));
}

void TPacketXmlWriter::WriteParamElement(const TPacketParam& p)
{
    FOut.Append("<PARAM Name=\"");
    AppendAnsi(p.Name.constData(), p.Name.size());
    FOut.Append("\" Value=\"");
    const char* type = nullptr;
    if (auto text = p.AsText()) {
        AppendAnsi(text->constData(), text->size());
    } else if (auto list = p.AsIntArray()) {
        for (size_t i = 0; i < list->size(); ++i) {
            if (i) FOut.Append(' ');
            PacketAppendInt(FOut, (*list)[i]);
        }
        type = TypeNameOf(p.TypeWord & ~(PacketTypeWord::Array | PacketTypeWord::InDelta));
    } else if (auto v = p.AsInt()) {
        if (PacketTypeWord::Code(p.TypeWord) == ptcBoolean) FOut.Append(*v ? "TRUE" : "FALSE");
        else PacketAppendInt(FOut, *v);
        type = TypeNameOf(p.TypeWord);
    } else {
        PacketAppendBase64(FOut, p.Value.constData(), p.Value.size());
        type = "bin.hex";
    }
    FOut.Append('"');
    if (type) {
        FOut.Append(" Type=\"");
        FOut.Append(type);
        FOut.Append('"');
    }
    if (p.TypeWord & PacketTypeWord::InDelta) FOut.Append(" Roundtrip=\"True\"");
    FOut.Append("/>");
}

void TPacketXmlWriter::WriteParams(const TPacketParams& params)
{
    FOut.Append("<PARAMS");
    std::vector<const TPacketParam*> elements;
    for (const TPacketParam& p : params.Items) {
        const TKnownAttr* a = FindDataSetAttr(std::string_view(p.Name.constData(), size_t(p.Name.size())));
        if (!a || !FitsAttr(*a, p)) {
            elements.push_back(&p);
            continue;
        }
        FOut.Append(' ');
        FOut.Append(p.Name.constData(), p.Name.size());
        FOut.Append("=\"");
        if (a->Kind == akList) {
            const std::vector<qint64> list = *p.AsIntArray();
            for (size_t i = 0; i < list.size(); ++i) {
                if (i) FOut.Append(' ');
                PacketAppendInt(FOut, list[i]);
            }
        } else if (a->Kind == akBool) {
            FOut.Append(*p.AsInt() ? "TRUE" : "FALSE");
        } else if (a->Kind == akInt) {
            PacketAppendInt(FOut, *p.AsInt());
        } else {
            const QByteArray t = *p.AsText();
            AppendAnsi(t.constData(), t.size());
        }
        FOut.Append('"');
    }
    if (elements.empty()) {
        FOut.Append("/>");
        return;
    }
    FOut.Append('>');
    for (const TPacketParam* p : elements) WriteParamElement(*p);
    FOut.Append("</PARAMS>");
}

void TPacketXmlWriter::WriteField(const TPacketFieldDesc& f, const QByteArray& xmlName)
{
    const char* type = TypeNameOf(f.TypeWord);
    int vsize = 0;
    TPacketValueKind kind = pkNone;
    if (!f.IsComposite()) kind = PacketValueKindOf(f.TypeWord, vsize);
    if (!type || f.IsAdt() || f.IsArrayField() || kind == pkRawFixed || kind == pkRawVarying)
        Fail(QStringLiteral("field '%1' is of a type (0x%2) that an XML packet cannot hold")
                 .arg(f.Text).arg(f.TypeWord, 8, 16, QLatin1Char('0')));
    FOut.Append("<FIELD ");
    const QByteArray source = f.Params.FieldName().value_or(f.Name);
    if (source != xmlName) {
        FOut.Append("fieldname=\"");
        if (FUtf8) {
            for (QChar ch : f.Text) {
                if (ch.unicode() < 0x80 && EscapeClass[ch.unicode()] == 0) FOut.Append(char(ch.unicode()));
                else if (ch.unicode() < 0x80 || ch.isSurrogate()) AppendEscape(FOut, ch.unicode());
                else AppendUtf8(FOut, ch.unicode());
            }
        } else {
            AppendAnsi(source.constData(), source.size());
        }
        FOut.Append("\" ");
    }
    FOut.Append("attrname=\"");
    FOut.Append(xmlName.constData(), xmlName.size());
    FOut.Append("\" fieldtype=\"");
    FOut.Append(type);
    FOut.Append('"');
    if (f.Attributes & pfaReadOnly) FOut.Append(" readonly=\"true\"");
    if (f.Attributes & pfaRequired) FOut.Append(" required=\"true\"");
    if (f.Attributes & pfaHidden) FOut.Append(" hidden=\"true\"");
    if (f.Attributes & pfaLink) FOut.Append(" linkfield=\"true\"");
    std::vector<const TPacketParam*> elements;
    bool hasSubType = false;
    for (const TPacketParam& p : f.Params.Items) {
        const std::string_view name(p.Name.constData(), size_t(p.Name.size()));
        if (kind == pkFixedBytes && name == "WIDTH") continue;   // the size is written instead
        const TKnownAttr* a = FindFieldAttr(name);
        if (!a || !FitsAttr(*a, p)) {
            elements.push_back(&p);
            continue;
        }
        if (name == "SUBTYPE") hasSubType = true;
        FOut.Append(' ');
        FOut.Append(name);
        FOut.Append("=\"");
        if (a->Kind == akText) {
            const QByteArray t = *p.AsText();
            AppendAnsi(t.constData(), t.size());
        } else if (a->Kind == akBool) {
            FOut.Append(*p.AsInt() ? "TRUE" : "FALSE");
        } else {
            PacketAppendInt(FOut, *p.AsInt());
        }
        FOut.Append('"');
    }
    // XML tells blobs and var-bytes from fixed bytes only by a SUBTYPE.
    if ((kind == pkBlob || kind == pkVarBytes) && !hasSubType && !f.Params.Find("SUBTYPE"))
        FOut.Append(" SUBTYPE=\"Binary\"");
    if (kind == pkFixedBytes) {
        FOut.Append(" WIDTH=\"");
        PacketAppendInt(FOut, vsize);
        FOut.Append('"');
    }
    if (elements.empty() && !f.IsNestedTable()) {
        FOut.Append("/>");
        return;
    }
    FOut.Append('>');
    for (const TPacketParam* p : elements) WriteParamElement(*p);
    if (f.IsNestedTable()) {
        WriteFields(f.Children);
        WriteParams(f.LevelParams);
    }
    FOut.Append("</FIELD>");
}

void TPacketXmlWriter::WriteFields(const std::vector<TPacketFieldDesc>& fields)
{
    const std::vector<QByteArray> names = PacketXmlNames(fields);
    FOut.Append("<FIELDS>");
    for (size_t i = 0; i < fields.size(); ++i) WriteField(fields[i], names[i]);
    FOut.Append("</FIELDS>");
}

void TPacketXmlWriter::BuildLevels()
{
    FLevels.assign(size_t(FMeta->LevelCount()), TLevelInfo());
    FLevels[0].RowTag = "ROW";
    for (int l = 0; l < FMeta->LevelCount(); ++l) {
        const TPacketLevel& lv = FMeta->Level(l);
        const std::vector<QByteArray> names = PacketXmlNames(*lv.Fields);
        TLevelInfo& info = FLevels[size_t(l)];
        info.Columns.resize(lv.Columns.size());
        bool afterNested = false;
        for (size_t c = 0; c < lv.Columns.size(); ++c) {
            const TPacketColumn& col = lv.Columns[c];
            TColumnInfo& ci = info.Columns[c];
            ci.Name = names[c];
            ci.AsElement = afterNested && col.Kind != pkNested;
            switch (col.Kind) {
            case pkBoolean: ci.Text = xtBoolean; break;
            case pkBcd: ci.Text = xtBcd; break;
            case pkAnsiString: ci.Text = xtAnsi; break;
            case pkWideString: ci.Text = xtWide; break;
            case pkFixedBytes: case pkVarBytes: ci.Text = xtBase64; break;
            case pkBlob: {
                const QByteArray sub = col.Field->Params.SubType();
                ci.Text = sub.compare("Text", Qt::CaseInsensitive) == 0 ? xtAnsi
                        : sub.compare("WideText", Qt::CaseInsensitive) == 0 ? xtWide : xtBase64;
                break;
            }
            case pkNested:
                ci.Text = xtNested;
                afterNested = true;
                FLevels[size_t(col.NestedLevel)].RowTag = "ROW" + names[c];
                break;
            default: ci.Text = xtNumber; break;
            }
        }
    }
}

void TPacketXmlWriter::BeginPacket(const TPacketMetadata& meta, qint64 rowCountHint)
{
    Q_UNUSED(rowCountHint)
    FMeta = &meta;
    FCodePage = meta.CodePage();
    FSingleByte = IsSingleByteCodePage(FCodePage);
    FDelta = meta.Params.IsDelta();
    FRows.clear();
    FOut.Append(FUtf8 ? std::string_view("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  ")
                      : std::string_view("<?xml version=\"1.0\" standalone=\"yes\"?>  "));
    FOut.Append("<DATAPACKET Version=\"2.0\"><METADATA>");
    WriteFields(meta.Fields);
    WriteParams(meta.Params);
    FOut.Append("</METADATA><ROWDATA>");
    BuildLevels();
}

bool TPacketXmlWriter::CanCarryNotChanged(int level, int column, quint8 status) const
{
    if (!(status & prsModified)) return false;
    const TPacketValueKind kind = FMeta->Level(level).Columns[size_t(column)].Kind;
    return FDelta || kind == pkBlob || kind == pkNested;
}

void TPacketXmlWriter::BeginRow(int level, quint8 status)
{
    // Rows open at the top level or right after a nested column's value.
    int expected = 0;
    if (!FRows.empty()) {
        if (FRows.back().Level >= 0 || FRows.size() < 2) Fail(QStringLiteral("a row began before the previous one ended"));
        const int column = -1 - FRows.back().Level;
        expected = FMeta->Level(FRows[FRows.size() - 2].Level).Columns[size_t(column)].NestedLevel;
    }
    if (level != expected) Fail(QStringLiteral("a row of level %1 arrived where level %2 was expected").arg(level).arg(expected));
    FOut.Append('<');
    FOut.Append(FLevels[size_t(level)].RowTag.constData(), FLevels[size_t(level)].RowTag.size());
    if (status) {
        FOut.Append(" RowState=\"");
        PacketAppendInt(FOut, status);
        FOut.Append('"');
    }
    FRows.push_back({level, false, 0, status});
}

void TPacketXmlWriter::CloseTag(TOpenRow& row)
{
    if (!row.TagClosed) {
        FOut.Append('>');
        row.TagClosed = true;
    }
}

void TPacketXmlWriter::AppendValue(const TPacketColumn& col, const TColumnInfo& info, const TPacketCell& cell)
{
    switch (info.Text) {
    case xtAnsi: AppendAnsi(cell.Data, cell.Size); return;
    case xtWide: AppendWide(cell.Data, cell.Size); return;
    case xtBase64: PacketAppendBase64(FOut, cell.Data, cell.Size); return;
    case xtBoolean: FOut.Append(cell.Int ? "TRUE" : "FALSE"); return;
    case xtBcd:
        if (cell.Size != 18 || !PacketAppendBcd(FOut, cell.Data))
            Fail(QStringLiteral("field '%1' holds a BCD value that is not a number").arg(col.Field->Text));
        return;
    case xtNested: return;
    case xtNumber: break;
    }
    switch (col.Kind) {
    case pkInt8: case pkInt16: case pkInt32: case pkInt64:
    case pkUInt8: case pkUInt16: case pkUInt32:
        PacketAppendInt(FOut, cell.Int);
        break;
    case pkUInt64: PacketAppendUInt(FOut, quint64(cell.Int)); break;
    case pkDouble: PacketAppendDouble(FOut, cell.Float); break;
    case pkSingle: PacketAppendSingle(FOut, float(cell.Float)); break;
    case pkExtended:
        if (cell.Size != 10) Fail(QStringLiteral("field '%1' needs 10 bytes").arg(col.Field->Text));
        PacketAppendExtended(FOut, cell.Data);
        break;
    case pkDate: PacketAppendXmlDate(FOut, cell.Int); break;
    case pkTime: PacketAppendXmlTime(FOut, cell.Int); break;
    case pkTimeStamp:
        if (!PacketAppendXmlTimeStamp(FOut, cell.Float))
            Fail(QStringLiteral("field '%1' holds a date-time that is not a number").arg(col.Field->Text));
        break;
    case pkSqlTimeStamp:
    case pkSqlTimeStampOffset: {
        const int need = col.Kind == pkSqlTimeStamp ? 16 : 20;
        if (cell.Size != need) Fail(QStringLiteral("field '%1' needs %2 bytes").arg(col.Field->Text).arg(need));
        PacketAppendXmlSqlTimeStamp(FOut, cell.Data, col.Kind == pkSqlTimeStampOffset);
        break;
    }
    default:
        Fail(QStringLiteral("field '%1' cannot be written as XML").arg(col.Field->Text));
    }
}

void TPacketXmlWriter::Cell(int column, const TPacketCell& cell)
{
    if (FRows.empty() || FRows.back().Level < 0) Fail(QStringLiteral("a value arrived outside a row"));
    TOpenRow& row = FRows.back();
    const TPacketLevel& lv = FMeta->Level(row.Level);
    if (column != row.NextColumn || column >= int(lv.Columns.size()))
        Fail(QStringLiteral("value for column %1 arrived where column %2 was expected").arg(column).arg(row.NextColumn));
    ++row.NextColumn;
    const TPacketColumn& col = lv.Columns[size_t(column)];
    const TColumnInfo& info = FLevels[size_t(row.Level)].Columns[size_t(column)];
    if (cell.State != pcsValue) {
        // NULL and "not changed" leave the value out, except that in a modified row an absent
        // nested table means "as before", so a NULL one is written empty.
        if (info.Text == xtNested && cell.State != pcsNotChanged && (row.Status & prsModified)) {
            CloseTag(row);
            FOut.Append('<');
            FOut.Append(info.Name.constData(), info.Name.size());
            FOut.Append("></");
            FOut.Append(info.Name.constData(), info.Name.size());
            FOut.Append('>');
        }
        return;
    }
    if (cell.Size < 0 || (cell.Size > 0 && !cell.Data)) Fail(QStringLiteral("a value was given no bytes"));
    if (info.Text == xtNested) {
        CloseTag(row);
        FOut.Append('<');
        FOut.Append(info.Name.constData(), info.Name.size());
        FOut.Append('>');
        FRows.push_back({-1 - column, true, 0, 0});
        return;
    }
    if (info.AsElement) {
        CloseTag(row);
        FOut.Append('<');
        FOut.Append(info.Name.constData(), info.Name.size());
        FOut.Append('>');
        AppendValue(col, info, cell);
        FOut.Append("</");
        FOut.Append(info.Name.constData(), info.Name.size());
        FOut.Append('>');
        return;
    }
    FOut.Append(' ');
    FOut.Append(info.Name.constData(), info.Name.size());
    FOut.Append("=\"");
    AppendValue(col, info, cell);
    FOut.Append('"');
}

void TPacketXmlWriter::EndNested(int column)
{
    if (FRows.size() < 2 || FRows.back().Level != -1 - column) Fail(QStringLiteral("nested rows ended without having begun"));
    FRows.pop_back();
    const QByteArray& name = FLevels[size_t(FRows.back().Level)].Columns[size_t(column)].Name;
    FOut.Append("</");
    FOut.Append(name.constData(), name.size());
    FOut.Append('>');
}

void TPacketXmlWriter::EndRow()
{
    if (FRows.empty() || FRows.back().Level < 0) Fail(QStringLiteral("a row ended without having begun"));
    const TOpenRow row = FRows.back();
    if (row.NextColumn != int(FMeta->Level(row.Level).Columns.size()))
        Fail(QStringLiteral("a row ended after %1 of its values").arg(row.NextColumn));
    FRows.pop_back();
    if (!row.TagClosed) {
        FOut.Append("/>");
        return;
    }
    const QByteArray& tag = FLevels[size_t(row.Level)].RowTag;
    FOut.Append("</");
    FOut.Append(tag.constData(), tag.size());
    FOut.Append('>');
}

void TPacketXmlWriter::EndPacket()
{
    if (!FRows.empty()) Fail(QStringLiteral("the packet ended inside a row"));
    FOut.Append("</ROWDATA></DATAPACKET>");
}
