// Packets we generate, covering every field kind the platform creates, NULLs, empty strings,
// nested datasets and a pending change log: they survive binary, XML and XML UTF-8 round trips,
// and binary -> XML -> binary reproduces the binary bytes.

#include "PacketTestSupport.h"

#include "platform/client/PacketBinary.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketValues.h"
#include "platform/client/PacketXml.h"
#include "platform/client/PacketXmlReader.h"
#include "platform/client/PacketXmlWriter.h"
#include "platform/core/AtomicFile.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace PacketTypeWord;

TPacketParam P16(const char* name, qint64 v) { return TPacketParam::MakeInt(name, UInt16, v); }
TPacketParam PText(const char* name, const char* v) { return TPacketParam::MakeText(name, v); }

TPacketFieldDesc Sub(const QByteArray& name, quint32 type, const char* subtype, int width = -1)
{
    TPacketFieldDesc f = WithParam(Field(name, type), PText("SUBTYPE", subtype));
    if (width >= 0) f = WithParam(f, P16("WIDTH", width));
    return f;
}

TPacketFieldDesc Width(const QByteArray& name, quint32 type, int width)
{
    return WithParam(Field(name, type), P16("WIDTH", width));
}

TPacketFieldDesc Bcd(const QByteArray& name, int code, int precision, int scale)
{
    TPacketFieldDesc f = Field(name, Make(code, 2 + (precision + 1) / 2));
    f.Params.Set(P16("DECIMALS", scale));
    f.Params.Set(P16("WIDTH", precision));
    return f;
}

TPacketFieldDesc NestedField(const QByteArray& name, std::vector<TPacketFieldDesc> children, TPacketParams levelParams = {})
{
    TPacketFieldDesc f = Field(name, Make(ptcNestedTable, 0, Pseudo | Embedded));
    f.Children = std::move(children);
    f.LevelParams = std::move(levelParams);
    f.TypeWord |= quint32(PacketDescendantCount(f));
    return f;
}

// Every field kind of the platform in its packet form.
TPacketMetadata AllKinds()
{
    TPacketMetadata m;
    m.Fields = {
        Width("Str", 0x00490001, 20),
        Sub("Fixed", 0x00490001, "FixedChar", 5),
        Sub("Guid", 0x00490001, "Guid", 38),
        Width("Wide", 0x004A0001, 40),
        Field("Small", Int16), Field("Int", Int32), Field("Large", Int64),
        Field("Short", Make(ptcInteger, 1)), Field("Byte", Make(ptcUnsigned, 1)),
        Field("Word", UInt16), Field("LongWord", UInt32), Field("U64", Make(ptcUnsigned, 8)),
        WithParam(Field("Auto", Int32, pfaReadOnly), PText("SUBTYPE", "Autoinc")),
        Field("Bool", Boolean),
        Field("Float", Double),
        Sub("Money", Double, "Money"),
        Field("Ext", Make(ptcFloat, 10)),
        Field("Single", Make(ptcSingle, 4)),
        Bcd("Bcd", ptcBcd, 10, 2),
        Bcd("FmtBcd", ptcFmtBcd, 20, 4),
        Field("Date", Make(ptcDate, 4)), Field("Time", Make(ptcTime, 4)), Field("DateTime", Make(ptcTimeStamp, 8)),
        Field("SqlTs", Make(ptcSqlTimeStamp, 16)), Field("SqlTsOff", Make(ptcSqlTimeStampOffset, 20)),
        Field("Bytes", Make(ptcBytes, 8)),
        Sub("Blob", Blob, "Binary"), Sub("Memo", Blob, "Text", 100), Sub("WideMemo", Blob, "WideText"),
        Sub("FmtMemo", Blob, "Formatted"), Sub("Graphic", Blob, "Graphics"), Sub("Typed", Blob, "TypedBinary", 1),
        Sub("PdxOle", Blob, "Ole"), Sub("DbOle", Blob, "dBASEOle"), Sub("OraBlob", Blob, "HBinary"), Sub("OraClob", Blob, "HMemo"),
        Field("Required", Int32, pfaRequired),
        Field("Hidden", Int32, pfaHidden),
        NestedField("Lines", {Field("Line", Int32), Width("Item", 0x00490001, 10),
                              NestedField("Parts", {Field("Part", Int32)})},
                    TPacketParams{{TPacketParam::MakeIntArray("DEFAULT_ORDER", UInt16, {1})}}),
    };
    m.Params.Set(TPacketParam::MakeIntArray("DEFAULT_ORDER", UInt16, {5, 0x8000 | 1}));
    m.Params.Set(TPacketParam::MakeIntArray("PRIMARY_KEY", UInt16, {5}));
    m.Params.Set(TPacketParam::MakeInt("LCID", Int32, 1033));
    m.Params.Set(TPacketParam::MakeInt("AUTOINCVALUE", Int32, 4));
    return m;
}

QByteArray Le(quint64 v, int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i) b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

QByteArray BcdBytes(const char* text, int precision, int scale)
{
    QByteArray b(18, '\0');
    EXPECT_TRUE(PacketParseBcd(text, precision, scale, b.data()));
    return b;
}

QByteArray Extended(long double v)
{
    QByteArray b(10, '\0');
    std::memcpy(b.data(), &v, 10);
    return b;
}

QByteArray SqlTs(int y, int mo, int d, int h, int mi, int s, int frac, int zh = 0, int zm = 0, bool offset = false)
{
    QByteArray b = Le(quint16(qint16(y)), 2) + Le(mo, 2) + Le(d, 2) + Le(h, 2) + Le(mi, 2) + Le(s, 2) + Le(frac, 4);
    if (offset) b += Le(quint16(qint16(zh)), 2) + Le(quint16(qint16(zm)), 2);
    return b;
}

double Ms(int y, int m, int d, int h, int mi, int s, int ms)
{
    qint64 day = 0;
    PacketDateToDay(y, m, d, day);
    return double(day) * 86400000.0 + ((h * 60.0 + mi) * 60.0 + s) * 1000.0 + ms;
}

qint64 DayOf(int y, int m, int d)
{
    qint64 day = 0;
    PacketDateToDay(y, m, d, day);
    return day;
}

QByteArray Cp1252(const QString& s) { return s.toLatin1(); }

TPacketDocument AllKindsDocument()
{
    TDocBuilder b(AllKinds());
    // Row 1: ordinary values.
    b.Row().Bytes("Hello").Bytes("ABCDE").Bytes("{12345678-1234-1234-1234-123456789012}")
        .Wide(QStringLiteral("Grüße 東京"))
        .Int(-1234).Int(123456789).Int(1234567890123456789LL).Int(-12).Int(250).Int(65000).Int(4000000000LL).Int(-1)
        .Int(1).Int(1).Float(3.25).Float(1234.5678).Bytes(Extended(1.0L / 3.0L)).Float(double(1.1f))
        .Bytes(BcdBytes("-12345678.90", 10, 2)).Bytes(BcdBytes("0.0001", 20, 4))
        .Int(DayOf(1996, 6, 15)).Int(36000000).Float(Ms(2001, 6, 22, 14, 10, 33, 0))
        .Bytes(SqlTs(2024, 2, 29, 13, 45, 30, 123)).Bytes(SqlTs(2024, 2, 29, 13, 45, 30, 0, -5, 0, true))
        .Bytes(QByteArray::fromHex("0001020304FEFF00"))
        .Bytes(QByteArray::fromHex("89504E470D0A1A0A00")).Bytes("Line one\r\nLine two")
        .Wide(QStringLiteral("Ünïcödé memo")).Bytes("{\\rtf1 x}").Bytes(QByteArray::fromHex("0100000104000000424D0000"))
        .Bytes(QByteArray::fromHex("010000010200000041")).Bytes("ole").Bytes("dbole").Bytes("orablob").Bytes("clob text")
        .Int(7).Int(8)
        .Nested()
            .Row().Int(1).Bytes("first").Nested().Row().Int(11).Row().Int(12).EndNested()
            .Row().Int(2).Bytes("second").Null()
        .EndNested();
    // Row 2: every field NULL.
    b.Row();
    for (size_t c = 0; c < AllKinds().Fields.size(); ++c) b.Null();
    // Row 3: edges: empty strings and blobs, extremes, characters that need escaping.
    b.Row().Bytes("").Bytes(Cp1252(QStringLiteral("é\xE7"))).Bytes("<>&'\"\\\r\n\t end")
        .Wide(QString())
        .Int(-32768).Int(std::numeric_limits<qint32>::min()).Int(std::numeric_limits<qint64>::min()).Int(127).Int(0).Int(0).Int(0)
        .Int(qint64(std::numeric_limits<quint64>::max()))
        .Int(2147483647).Int(0).Float(-0.1 - 0.2).Float(1e300).Bytes(Extended(-2.5L)).Float(double(-3.4e38f))
        .Bytes(BcdBytes("0.00", 10, 2)).Bytes(BcdBytes("-99999999999999.9999", 20, 4))
        .Int(1).Int(86399999).Float(Ms(9999, 12, 31, 23, 59, 59, 999))
        .Bytes(SqlTs(1, 1, 1, 0, 0, 0, 0)).Bytes(SqlTs(1999, 12, 31, 23, 59, 59, 999, 5, 30, true))
        .Bytes(QByteArray(8, '\0'))
        .Bytes("").Bytes(QByteArray("zero\0byte", 9)).Wide(QString::fromUcs4(U"\U0001F600 smile"))
        .Bytes("").Bytes("").Bytes("").Bytes("").Bytes("").Bytes("").Bytes("")
        .Int(0).Null()
        .Nested().EndNested();
    return std::move(b.Done());
}

} // namespace

TEST(PacketRoundTrip, EveryKindThroughBinary)
{
    TPacketDocument doc = AllKindsDocument();
    const QByteArray bin = SaveDocument(doc, pfBinary);
    TPacketDocument back = LoadDocument(bin);
    EXPECT_EQ(CompareDocuments(doc, back), QString());
    EXPECT_EQ(SaveDocument(back, pfBinary), bin);
    // Version 2 because the packet has type codes above 11.
    EXPECT_EQ(bin[4], 2);
}

TEST(PacketRoundTrip, EveryKindThroughBothXmlFlavoursBackToTheSameBinary)
{
    TPacketDocument doc = AllKindsDocument();
    const QByteArray bin = SaveDocument(doc, pfBinary);
    for (TPacketFormat f : {pfXml, pfXmlUtf8}) {
        SCOPED_TRACE(f == pfXml ? "ANSI" : "UTF-8");
        const QByteArray xml = SaveDocument(doc, f);
        TPacketDocument back = LoadDocument(xml);
        EXPECT_EQ(CompareDocuments(doc, back), QString());
        EXPECT_EQ(SaveDocument(back, pfBinary), bin);
        EXPECT_EQ(SaveDocument(back, f), xml);
    }
}

TEST(PacketRoundTrip, XmlTextOfValues)
{
    TPacketDocument doc = AllKindsDocument();
    const QByteArray ansi = SaveDocument(doc, pfXml);
    const QByteArray utf8 = SaveDocument(doc, pfXmlUtf8);
    EXPECT_TRUE(ansi.startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"));
    EXPECT_TRUE(utf8.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  <DATAPACKET"));
    EXPECT_TRUE(ansi.endsWith("</ROWDATA></DATAPACKET>"));
    EXPECT_FALSE(ansi.contains('\n'));
    const char* const both[] = {
        "<FIELD attrname=\"Auto\" fieldtype=\"i4\" readonly=\"true\" SUBTYPE=\"Autoinc\"/>",
        "<FIELD attrname=\"Bcd\" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"10\"/>",
        "<FIELD attrname=\"FmtBcd\" fieldtype=\"fixedFMT\" DECIMALS=\"4\" WIDTH=\"20\"/>",
        "<FIELD attrname=\"Bytes\" fieldtype=\"bin.hex\" WIDTH=\"8\"/>",
        "<FIELD attrname=\"Wide\" fieldtype=\"string.uni\" WIDTH=\"40\"/>",
        "<FIELD attrname=\"Required\" fieldtype=\"i4\" required=\"true\"/>",
        "<FIELD attrname=\"Lines\" fieldtype=\"nested\"><FIELDS><FIELD attrname=\"Line\" fieldtype=\"i4\"/>",
        "<PARAMS DEFAULT_ORDER=\"1\"/></FIELD>",
        "<PARAMS DEFAULT_ORDER=\"5 32769\" PRIMARY_KEY=\"5\" LCID=\"1033\" AUTOINCVALUE=\"4\"/>",
        " Wide=\"Gr&#252;&#223;e &#26481;&#20140;\"",
        " Bool=\"TRUE\" Float=\"3.25\" Money=\"1234.5678\"",
        " Bcd=\"-12345678.90\" FmtBcd=\"0.0001\" Date=\"19960615\" Time=\"10:00:00000\" DateTime=\"20010622T14:10:33000\"",
        " SqlTs=\"20240229T13:45:30123\" SqlTsOff=\"20240229T13:45:30000-05:00\"",
        " Memo=\"Line one&#013;&#010;Line two\"",
        ("<Lines><ROWLines Line=\"1\" Item=\"first\"><Parts><ROWParts Part=\"11\"/><ROWParts Part=\"12\"/></Parts></ROWLines>"
         "<ROWLines Line=\"2\" Item=\"second\"/></Lines></ROW>"),
        "<ROW/>",
        " Str=\"\" ",
        " Guid=\"&lt;&gt;&amp;&apos;&quot;&#092;&#013;&#010;&#009; end\"",
        " Float=\"-0.30000000000000004\"",
        " WideMemo=\"&#55357;&#56832; smile\"",
        " DateTime=\"99991231T23:59:59999\"",
        "<Lines></Lines></ROW>",
    };
    for (const char* s : both) {
        EXPECT_TRUE(ansi.contains(s)) << s;
        EXPECT_TRUE(utf8.contains(s)) << s;
    }
    // 8-bit text: raw code-page bytes in the ANSI flavour, converted in the UTF-8 one.
    EXPECT_TRUE(ansi.contains(" Fixed=\"\xE9\xE7\""));
    EXPECT_TRUE(utf8.contains(" Fixed=\"\xC3\xA9\xC3\xA7\""));
}

TEST(PacketRoundTrip, VarBytesKeepTheirBytesInXml)
{
    // XML tells var-bytes from fixed bytes only by a SUBTYPE: they come back as a blob.
    TPacketMetadata m;
    m.Fields = {Width("VB", 0x004B0001, 16)};
    TPacketDocument doc = std::move(TDocBuilder(m).Row().Bytes(QByteArray::fromHex("00FF10")).Row().Bytes("").Done());
    TPacketDocument back = LoadDocument(SaveDocument(doc, pfXml));
    EXPECT_EQ(back.Metadata().Fields[0].TypeWord, Blob);
    EXPECT_EQ(back.Cell(0, 0, 0).Bytes(), QByteArrayView(QByteArray::fromHex("00FF10")));
    EXPECT_EQ(back.Cell(0, 1, 0).State, pcsValue);
    EXPECT_EQ(back.Cell(0, 1, 0).Size, 0);
}

namespace {

// A pending change log at the top level and in a nested level: inserted, modified (with an
// unchanged blob and an unchanged integer), deleted and undone rows.
TPacketDocument ChangeLogDocument()
{
    TPacketMetadata m;
    TPacketParams nestedParams;
    nestedParams.Set(TPacketParam::MakeIntArray("CHANGE_LOG", UInt32, {1, 0, 4, 2, 0, 4, 3, 2, 8}));
    m.Fields = {
        Field("ID", Int32),
        Sub("Pic", Blob, "Graphics"),
        Width("Name", 0x00490001, 10),
        NestedField("Items", {Field("Qty", Int32), Sub("Note", Blob, "Text"), Field("LINK_FIELD", UInt32, pfaHidden | pfaLink)}, nestedParams),
    };
    m.Params.Set(TPacketParam::MakeIntArray("CHANGE_LOG", UInt32, {1, 0, 4, 2, 0, 4, 3, 1, 8, 2, 0, 2, 4, 0, 4}));
    TDocBuilder b(m);
    b.Row(prsOriginal | prsInserted).Int(1).Bytes("PIC-A").Bytes("one")
        .Nested().Row(prsInserted).Int(5).Bytes("note 1").Int(1)
                 .Row(prsOriginal | prsInserted).Int(6).Bytes("note 2").Int(2)
                 .Row(prsInserted | prsModified).Int(7).NotChanged().Int(3).EndNested();
    b.Row(prsInserted | prsDeleted).Int(2).Bytes("PIC-B").Bytes("two").Null();
    b.Row(prsInserted | prsModified).NotChanged().NotChanged().Bytes("uno").NotChanged();
    b.Row(prsUnused).Int(4).Null().Null().Null();
    return std::move(b.Done());
}

} // namespace

TEST(PacketRoundTrip, PendingChangeLogKeepsSlotsStatusesAndTriples)
{
    TPacketDocument doc = ChangeLogDocument();
    // Reading rules: the modified row takes the unchanged values from its previous version.
    EXPECT_EQ(doc.PreviousVersion(0, 2), 0);
    EXPECT_EQ(doc.ResolvedCell(0, 2, 0).Int, 1);
    EXPECT_EQ(doc.ResolvedCell(0, 2, 1).Bytes(), QByteArrayView("PIC-A"));
    EXPECT_EQ(doc.ResolveRow(0, 2, 3), 0);
    EXPECT_EQ((doc.VisibleRows()), (std::vector<qint64>{2}));
    // In the nested level the record numbers are the link column's.
    EXPECT_EQ(doc.PreviousVersion(1, 2), 1);
    EXPECT_EQ(doc.ResolvedCell(1, 2, 1).Bytes(), QByteArrayView("note 2"));

    const QByteArray bin = SaveDocument(doc, pfBinary);
    TPacketDocument fromBin = LoadDocument(bin);
    EXPECT_EQ(CompareDocuments(doc, fromBin), QString());

    for (TPacketFormat f : {pfXml, pfXmlUtf8}) {
        const QByteArray xml = SaveDocument(doc, f);
        EXPECT_TRUE(xml.contains("<ROW RowState=\"5\" ID=\"1\""));
        EXPECT_TRUE(xml.contains("CHANGE_LOG=\"1 0 4 2 0 4 3 1 8 2 0 2 4 0 4\""));
        // The unchanged blob and nested table stay "not changed"; the unchanged integer is
        // written out.
        EXPECT_TRUE(xml.contains("<ROW RowState=\"12\" ID=\"1\" Name=\"uno\"/>"));
        TPacketDocument fromXml = LoadDocument(xml);
        EXPECT_EQ(fromXml.Cell(0, 2, 1).State, pcsNotChanged);
        EXPECT_EQ(fromXml.Cell(0, 2, 3).State, pcsNotChanged);
        EXPECT_EQ(fromXml.Cell(1, 2, 1).State, pcsNotChanged);
        TCompareOptions resolved;
        resolved.Resolved = true;
        EXPECT_EQ(CompareDocuments(doc, fromXml, resolved), QString());
        // And back to binary: the same values as read.
        TPacketDocument again = LoadDocument(SaveDocument(fromXml, pfBinary));
        EXPECT_EQ(CompareDocuments(doc, again, resolved), QString());
    }
}

TEST(PacketRoundTrip, ReaderFeedsWriterDirectly)
{
    // Conversion without a document between them.
    TPacketDocument doc = AllKindsDocument();
    const QByteArray bin = SaveDocument(doc, pfBinary);
    TPacketXmlWriter toXml;
    ReadPacket(bin, toXml);
    const QByteArray xml = toXml.TakeBytes();
    EXPECT_EQ(xml, SaveDocument(doc, pfXml));
    TPacketBinaryWriter toBin;
    ReadPacket(xml, toBin);
    EXPECT_EQ(toBin.TakeBytes(), bin);
}

TEST(PacketRoundTrip, WritesToADevice)
{
    TPacketDocument doc = AllKindsDocument();
    QByteArray target;
    QBuffer buffer(&target);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    WritePacket(doc, pfBinary, buffer);
    EXPECT_EQ(target, SaveDocument(doc, pfBinary));
    QBuffer closed;
    EXPECT_THROW(WritePacket(doc, pfBinary, closed), EPacketError);
}

namespace {

// Rows of a 2-byte integer and a string, announcing a row count that may be wrong.
class TAnnouncing : public IPacketSource {
public:
    TAnnouncing(qint64 rows, qint64 announced) : FRows(rows), FAnnounced(announced) {}
    void Produce(IPacketSink& sink) override
    {
        TPacketMetadata m;
        m.Fields = {Field("N", Int16), Field("S", Make(ptcString, 1, Varying))};
        m.Prepare();
        sink.BeginPacket(m, FAnnounced);
        for (qint64 r = 0; r < FRows; ++r) {
            sink.BeginRow(0, 0);
            sink.Cell(0, TPacketCell::OfInt(pkInt16, r & 0x7FFF));
            sink.Cell(1, TPacketCell::OfBytes(pkAnsiString, "some text of a row", 18));
            sink.EndRow();
        }
        sink.EndPacket();
    }

private:
    qint64 FRows, FAnnounced;
};

} // namespace

// Packets larger than the stream buffer go out as they are made; a row count announced wrongly
// (or not at all) is put right in what was written.
TEST(PacketRoundTrip, StreamedPacketsMatchThoseMadeWhole)
{
    QTemporaryDir dir;
    constexpr qint64 Rows = 200000;     // about 4 MB
    for (const qint64 announced : {Rows, Rows - 7, qint64(-1)}) {
        SCOPED_TRACE(announced);
        TAnnouncing source(Rows, announced);
        for (TPacketFormat format : {pfBinary, pfXml}) {
            const QByteArray whole = WritePacket(source, format);
            const QString name = dir.filePath(QStringLiteral("streamed"));
            SavePacketFile(source, name, format);
            EXPECT_EQ(ReadWholeFile(name), whole);
            QByteArray target;
            QBuffer device(&target);
            ASSERT_TRUE(device.open(QIODevice::WriteOnly));
            WritePacket(source, format, device);
            EXPECT_EQ(target, whole);
        }
        TPacketDocument doc;
        ReadPacket(WritePacket(source, pfBinary), doc);
        EXPECT_EQ(doc.RowCount(0), Rows);
    }
}

// ---- names ---------------------------------------------------------------------------------

TEST(PacketNames, XmlNamesAreMangledAndTheOriginalKept)
{
    TPacketMetadata m;
    m.Fields = {Field("Length (cm)", Int32), Field("Length__cm_", Int32), Field("a#b*c!d$e%f?g", Int32),
                Field("Pre\xE7o", Int32), Field("RowState", Int32), Field("xF2", Int32), Field("Plain", Int32),
                Field(QByteArray("A name of more than thirty-one bytes in all"), Int32)};
    m.Params.Set(TPacketParam::MakeInt("LCID", Int32, 1033));
    TPacketDocument doc = std::move(TDocBuilder(m).Row().Int(1).Int(2).Int(3).Int(4).Int(5).Int(6).Int(7).Int(8).Done());
    EXPECT_EQ(PacketXmlNames(doc.Metadata().Fields),
              (std::vector<QByteArray>{"Length__cm_", "xF2", "a_b_c_d_e_f_g", "xF4", "xF5", "xF6", "Plain",
                                       "A_name_of_more_than_thirty-one_bytes_in_all"}));
    const QByteArray xml = SaveDocument(doc, pfXml);
    EXPECT_TRUE(xml.contains("<FIELD fieldname=\"Length (cm)\" attrname=\"Length__cm_\" fieldtype=\"i4\"/>"));
    EXPECT_TRUE(xml.contains("<FIELD fieldname=\"Pre\xE7o\" attrname=\"xF4\""));
    EXPECT_TRUE(xml.contains("<ROW Length__cm_=\"1\" xF2=\"2\" a_b_c_d_e_f_g=\"3\" xF4=\"4\" xF5=\"5\" xF6=\"6\" Plain=\"7\""));
    for (TPacketFormat f : {pfXml, pfXmlUtf8, pfBinary}) {
        TPacketDocument back = LoadDocument(SaveDocument(doc, f));
        TCompareOptions o;
        o.CompareParams = f != pfBinary;    // binary adds FIELDNAME for the long name
        EXPECT_EQ(CompareDocuments(doc, back, o), QString());
        EXPECT_EQ(back.Metadata().Fields[3].Text, QStringLiteral("Pre\u00E7o"));
    }
    // Binary keeps 31 bytes of a long name and the whole name in FIELDNAME.
    const QByteArray bin = SaveDocument(doc, pfBinary);
    const TPacketMetadata back = ReadBinaryPacketMetadata(bin.constData(), bin.size());
    EXPECT_EQ(back.Fields[7].Name, "A name of more than thirty-one ");
    EXPECT_EQ(back.Fields[7].Params.FieldName(), QByteArray("A name of more than thirty-one bytes in all"));
    EXPECT_EQ(back.Fields[7].Text, "A name of more than thirty-one bytes in all");
}

TEST(PacketNames, UnknownParametersTravelVerbatim)
{
    TPacketMetadata m;
    TPacketFieldDesc f = Width("Code", 0x00490001, 10);
    f.Params.Set(PText("ORIGIN", "CUSTOMER.CODE"));
    f.Params.Set(TPacketParam::MakeInt("PROVFLAGS", Make(ptcUnsigned, 1), 3));
    m.Fields = {f};
    m.Params.Set(TPacketParam::MakeInt("LCID", Int32, 2057));
    m.Params.Set(PText("MyAppSetting", "x<y"));
    TPacketParam inDelta = TPacketParam::MakeInt("SERVER_COL", Int32, 12);
    inDelta.TypeWord |= InDelta;
    m.Params.Set(inDelta);
    m.Params.Set(TPacketParam::MakeIntArray("MYLIST", UInt16, {3, 4}));
    TPacketParam raw;
    raw.Name = "RAWPARAM";
    raw.TypeWord = Make(ptcUnknown, 3);
    raw.Value = QByteArray::fromHex("0A0B0C");
    m.Params.Set(raw);
    TPacketDocument doc = std::move(TDocBuilder(m).Row().Bytes("A1").Done());

    const QByteArray bin = SaveDocument(doc, pfBinary);
    EXPECT_EQ(CompareDocuments(doc, LoadDocument(bin)), QString());

    const QByteArray xml = SaveDocument(doc, pfXml);
    EXPECT_TRUE(xml.contains("<FIELD attrname=\"Code\" fieldtype=\"string\" WIDTH=\"10\"><PARAM Name=\"ORIGIN\" Value=\"CUSTOMER.CODE\"/>"
                             "<PARAM Name=\"PROVFLAGS\" Value=\"3\" Type=\"ui1\"/></FIELD>"));
    EXPECT_TRUE(xml.contains("<PARAMS LCID=\"2057\"><PARAM Name=\"MyAppSetting\" Value=\"x&lt;y\"/>"
                             "<PARAM Name=\"SERVER_COL\" Value=\"12\" Type=\"i4\" Roundtrip=\"True\"/>"
                             "<PARAM Name=\"MYLIST\" Value=\"3 4\" Type=\"ui2\"/>"
                             "<PARAM Name=\"RAWPARAM\" Value=\"CgsM\" Type=\"bin.hex\"/></PARAMS>"));
    const TPacketDocument back = LoadDocument(xml);
    const TPacketParams& p = back.Metadata().Params;
    EXPECT_EQ(p.Text("MyAppSetting"), QByteArray("x<y"));
    EXPECT_EQ(p.Find("SERVER_COL")->TypeWord, Int32 | InDelta);
    EXPECT_EQ(p.IntArray("MYLIST"), (std::vector<qint64>{3, 4}));
    EXPECT_EQ(back.Metadata().Fields[0].Params.Int("PROVFLAGS"), 3);
    EXPECT_EQ(back.Metadata().Fields[0].Params.Text("ORIGIN"), QByteArray("CUSTOMER.CODE"));
}

// ---- reading XML written by others -----------------------------------------------------------

TEST(PacketXmlReading, LenientForms)
{
    struct TCase {
        const char* Name;
        QByteArray Xml;
        const char* Field;
        QString Expected;   // CellText of row 1
    };
    const QByteArray head = "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
    const TCase cases[] = {
        {"no declaration, single quotes, comments",
         "<!-- saved by hand -->\n<DATAPACKET Version='2.0'>\n <METADATA><FIELDS><FIELD attrname='A' fieldtype='int'/></FIELDS><PARAMS/></METADATA>\n"
         " <ROWDATA><ROW A='42'/></ROWDATA>\n</DATAPACKET>\n",
         "A", "42"},
        {"BOM and UTF-8 text",
         "\xEF\xBB\xBF" + head + "<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"9\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW S=\"\xC3\xA9t\xC3\xA9\"/></ROWDATA></DATAPACKET>",
         "S", "x" + QString::fromLatin1(QByteArray("\xE9t\xE9").toHex())},
        {"declared single-byte encoding", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>" + head +
         "<FIELD attrname=\"S\" fieldtype=\"string.uni\" WIDTH=\"20\"/></FIELDS><PARAMS LCID=\"1049\"/></METADATA><ROWDATA><ROW S=\"\xC4\xE0\"/></ROWDATA></DATAPACKET>",
         "S", QStringLiteral("w\u0414\u0430")},
        {"hexadecimal references", head + "<FIELD attrname=\"S\" fieldtype=\"string.uni\" WIDTH=\"20\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW S=\"&#xE9;&#x1F600;\"/></ROWDATA></DATAPACKET>",
         "S", "w" + QString::fromUcs4(U"\u00E9\U0001F600")},
        {"time without milliseconds", head + "<FIELD attrname=\"T\" fieldtype=\"time\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW T=\"14:10:33\"/></ROWDATA></DATAPACKET>",
         "T", "51033000"},
        {"value as a child element (tagname)", head + "<FIELD tagname=\"Note\" fieldtype=\"string\" WIDTH=\"20\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW><Note>a &amp; b</Note></ROW></ROWDATA></DATAPACKET>",
         "Note", "x" + QString::fromLatin1(QByteArray("a & b").toHex())},
        {"empty number is NULL", head + "<FIELD attrname=\"N\" fieldtype=\"r8\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW N=\"\"/></ROWDATA></DATAPACKET>",
         "N", "NULL"},
        {"Boolean by first letter", head + "<FIELD attrname=\"B\" fieldtype=\"boolean\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW B=\"true\"/></ROWDATA></DATAPACKET>",
         "B", "1"},
        {"exponent", head + "<FIELD attrname=\"F\" fieldtype=\"r8\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW F=\"1.5E-7\"/></ROWDATA></DATAPACKET>",
         "F", "1.4999999999999999e-07"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPacketDocument doc;
        ASSERT_NO_THROW(doc = LoadDocument(c.Xml));
        ASSERT_EQ(doc.RowCount(0), 1);
        EXPECT_EQ(doc.Metadata().Fields[0].Text, QString::fromLatin1(c.Field));
        EXPECT_EQ(CellText(doc.Cell(0, 0, 0)), c.Expected);
    }
}

// ---- rarer layouts -------------------------------------------------------------------------

TEST(PacketLayouts, AdtAndArrayFieldsExpandIntoColumns)
{
    TPacketMetadata m;
    TPacketFieldDesc adt = Field("Address", Make(ptcAdt, 2, Pseudo));
    adt.Children = {Width("Street", 0x00490001, 30), Field("Number", Int32)};
    TPacketFieldDesc arr = Field("Scores", Make(ptcArray, 3, Pseudo | Compressed));
    arr.Children = {Field("Score", Int16)};
    m.Fields = {Field("ID", Int32), adt, arr, Field("Last", Double)};
    m.Prepare();
    const TPacketLevel& lv = m.Level(0);
    std::vector<QString> names;
    std::vector<TPacketValueKind> kinds;
    for (const TPacketColumn& c : lv.Columns) {
        names.push_back(c.Field->Text);
        kinds.push_back(c.Kind);
    }
    EXPECT_EQ(names, (std::vector<QString>{"ID", "Address", "Street", "Number", "Scores", "Score", "Score", "Score", "Last"}));
    EXPECT_EQ(kinds, (std::vector<TPacketValueKind>{pkInt32, pkNone, pkAnsiString, pkInt32, pkNone, pkInt16, pkInt16, pkInt16, pkDouble}));
    EXPECT_EQ(lv.BitmapBytes, 3);
    EXPECT_EQ(m.DescriptorCount(), 7);

    TPacketDocument doc = std::move(TDocBuilder(m)
                                        .Row().Int(1).Int(0).Bytes("Main St").Int(10).Int(0).Int(7).Null().Int(9).Float(0.5)
                                        .Row().Int(2).Null().Null().Null().Null().Null().Null().Null().Null()
                                        .Done());
    const QByteArray bin = SaveDocument(doc, pfBinary);
    EXPECT_EQ(bin[4], 2);   // type codes above 11
    TPacketDocument back = LoadDocument(bin);
    EXPECT_EQ(CompareDocuments(doc, back), QString());
    EXPECT_EQ(SaveDocument(back, pfBinary), bin);
    // XML cannot hold them; the engine refuses too.
    EXPECT_THROW(SaveDocument(doc, pfXml), EPacketError);

    // The declared member count must match the members.
    TPacketMetadata bad = m;
    bad.Fields[1].TypeWord = Make(ptcAdt, 3, Pseudo);
    EXPECT_THROW(bad.Prepare(), EPacketError);
}

TEST(PacketLayouts, MetadataBeyond64KiBLeavesTheFirstRowOffsetOut)
{
    TPacketMetadata m;
    m.Fields = {Field("A", Int32)};
    std::vector<qint64> log;
    for (int i = 0; i < 10000; ++i) log.insert(log.end(), {i + 1, 0, 4});
    m.Params.Set(TPacketParam::MakeIntArray("CHANGE_LOG", UInt32, log));
    TDocBuilder b(m);
    for (int i = 0; i < 10000; ++i) b.Row(prsInserted).Int(i);
    TPacketDocument doc = std::move(b.Done());
    const QByteArray bin = SaveDocument(doc, pfBinary);
    EXPECT_EQ(bin.mid(18, 6), QByteArray::fromHex("010000000000"));     // properties 1, no offset
    TPacketDocument back = LoadDocument(bin);
    EXPECT_EQ(CompareDocuments(doc, back), QString());
    EXPECT_EQ(back.VisibleRows().size(), 10000u);
}

TEST(PacketLayouts, DeltaPacketsKeepUnchangedColumnsInBothFormats)
{
    // A delta: each modification is the original row followed by the new values, in which the
    // unchanged columns are "not changed".
    TPacketMetadata m;
    m.Fields = {Field("ID", Int32), Width("Name", 0x00490001, 10), Field("Qty", Int32)};
    m.Params.Set(TPacketParam::MakeInt("DATASET_DELTA", Boolean, 1));
    TPacketDocument doc = std::move(TDocBuilder(m)
                                        .Row(prsOriginal).Int(1).Bytes("old").Int(5)
                                        .Row(prsModified).NotChanged().Bytes("new").NotChanged()
                                        .Row(prsInserted).Int(2).Bytes("added").Null()
                                        .Row(prsDeleted).Int(3).Bytes("gone").Int(1)
                                        .Done());
    EXPECT_EQ(doc.PreviousVersion(0, 1), 0);
    EXPECT_EQ(doc.ResolvedCell(0, 1, 2).Int, 5);
    for (TPacketFormat f : {pfBinary, pfXml}) {
        const QByteArray bytes = SaveDocument(doc, f);
        TPacketDocument back = LoadDocument(bytes);
        EXPECT_EQ(CompareDocuments(doc, back), QString()) << f;
        if (f == pfXml) {
            EXPECT_TRUE(bytes.contains("DATASET_DELTA=\"TRUE\""));
            EXPECT_TRUE(bytes.contains("<ROW RowState=\"8\" Name=\"new\"/>"));
        }
    }
}

TEST(PacketLayouts, ContentDetection)
{
    EXPECT_EQ(DetectPacketContent("\x96\x19\xE0\xBD\x01", 5), pcoBinary);
    EXPECT_EQ(DetectPacketContent("\xCD\xAB\x00\x00", 4), pcoOldBinary);
    EXPECT_EQ(DetectPacketContent("<?xml", 5), pcoXml);
    EXPECT_EQ(DetectPacketContent("\xEF\xBB\xBF<DATAPACKET", 14), pcoXml);
    EXPECT_EQ(DetectPacketContent("\x96\x19", 2), pcoXml);
}

TEST(PacketRoundTrip, SavesAtomically)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("data.cds"));
    TPacketDocument doc = AllKindsDocument();
    SavePacketFile(doc, name, pfBinary);
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    f.close();
    EXPECT_EQ(saved, SaveDocument(doc, pfBinary));
    // A packet the format cannot hold, and a disk that fills up: the old file stays, whole.
    TPacketMetadata m;
    TPacketFieldDesc adt = Field("Adt", Make(ptcAdt, 1, Pseudo));
    adt.Children = {Field("X", Int32)};
    m.Fields = {adt};
    TPacketDocument adtDoc = std::move(TDocBuilder(m).Row().Int(0).Int(1).Done());
    EXPECT_THROW(SavePacketFile(adtDoc, name, pfXml), EPacketError);
    TAtomicFileWriter::InjectWriteFailure(100, ENOSPC);
    EXPECT_THROW(SavePacketFile(doc, name, pfXml), Exception);
    TAtomicFileWriter::InjectWriteFailure(-1, 0);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), saved);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("data.cds")});
}

TEST(PacketRoundTrip, FieldsAfterANestedFieldAreElements)
{
    TPacketMetadata m;
    m.Fields = {Field("A", Int32), NestedField("N", {Field("X", Int32)}), Width("B", 0x00490001, 20), Field("C", Int32)};
    TPacketDocument doc = std::move(TDocBuilder(m)
                                        .Row().Int(1).Nested().Row().Int(5).EndNested().Bytes("a<b").Null()
                                        .Row().Int(2).Null().Null().Int(3)
                                        .Row().Int(3).Nested().EndNested().Bytes("").Int(4)
                                        .Row(prsModified).Int(4).Null().Null().Null()
                                        .Done());
    const QByteArray xml = SaveDocument(doc, pfXml);
    EXPECT_TRUE(xml.contains("<ROW A=\"1\"><N><ROWN X=\"5\"/></N><B>a&lt;b</B></ROW>"));
    EXPECT_TRUE(xml.contains("<ROW A=\"2\"><C>3</C></ROW>"));
    EXPECT_TRUE(xml.contains("<ROW A=\"3\"><N></N><B></B><C>4</C></ROW>"));
    // In a modified row an absent nested table would mean "as before": NULL goes as empty.
    EXPECT_TRUE(xml.contains("<ROW RowState=\"8\" A=\"4\"><N></N></ROW>"));
    TPacketDocument back = LoadDocument(xml);
    EXPECT_EQ(back.Cell(0, 1, 1).State, pcsNull);
    EXPECT_EQ(back.Cell(0, 2, 1).State, pcsValue);
    EXPECT_EQ(back.NestedCount(0, 2, 1), 0);
    EXPECT_EQ(back.Cell(0, 2, 2).Size, 0);
    EXPECT_EQ(back.Cell(0, 2, 2).State, pcsValue);
    TPacketDocument fromBinary = LoadDocument(SaveDocument(back, pfBinary));
    EXPECT_EQ(CompareDocuments(back, fromBinary), QString());
    for (qint64 r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(CellText(back.Cell(0, r, c)), CellText(doc.Cell(0, r, c))) << r << "," << c;
}

TEST(PacketXmlReading, MultiByteCodePageText)
{
    // Shift-JIS (LCID 1041): the trail byte of U+30BD is a backslash.
    TPacketMetadata m;
    m.Fields = {Width("S", 0x00490001, 20)};
    m.Params.Set(TPacketParam::MakeInt("LCID", Int32, 1041));
    const QByteArray sjis = QByteArray::fromHex("835C8341");
    TPacketDocument doc = std::move(TDocBuilder(m).Row().Bytes(sjis).Done());
    for (TPacketFormat f : {pfXml, pfXmlUtf8}) {
        const QByteArray xml = SaveDocument(doc, f);
        TPacketDocument back = LoadDocument(xml);
        EXPECT_EQ(back.Cell(0, 0, 0).Bytes(), QByteArrayView(sjis)) << f;
    }
    EXPECT_TRUE(SaveDocument(doc, pfXmlUtf8).contains("S=\"\xE3\x82\xBD\xE3\x82\xA2\""));
    // A wide string written with raw bytes of the packet's code page by another program.
    const QByteArray xml = "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"W\" fieldtype=\"string.uni\" WIDTH=\"20\"/></FIELDS>"
                           "<PARAMS LCID=\"1041\"/></METADATA><ROWDATA><ROW W=\"\x83\x5C&amp;\x83\x41\"/></ROWDATA></DATAPACKET>";
    EXPECT_EQ(LoadDocument(xml).Cell(0, 0, 0).WideText(), QStringLiteral("\u30BD&\u30A2"));
}
