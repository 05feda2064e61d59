// Damaged packets: every truncation, thousands of single-bit flips and named fixtures end in a
// loaded document or an EPacketError with a clear message, never a crash, a hang or an
// allocation sized by a count the file cannot back.

#include "PacketTestSupport.h"
#include "tests/common/TestSupport.h"

#include "platform/client/PacketBinary.h"
#include "platform/client/PacketError.h"

#include <gtest/gtest.h>
#include <QDir>
#include <random>

namespace {

using namespace PacketTypeWord;

// Loads; whatever loads must also save in every format (or refuse with EPacketError) and the
// saved bytes must load again.
enum TOutcome { oLoaded, oRefused };

// Whether the scan that lets a file's plain rows wait in the file until needed takes the bytes.
bool ScanAccepts(const QByteArray& bytes)
{
    if (bytes.size() < 4 || DetectPacketContent(bytes.constData(), bytes.size()) != pcoBinary) return false;
    try {
        qint64 rows = 0, offset = 0;
        const TPacketMetadata meta = ReadBinaryPacketMetadata(bytes.constData(), bytes.size(), &rows, &offset);
        std::vector<qint64> starts;
        return ScanBinaryRows(bytes.constData(), bytes.size(), meta, offset, quint32(rows), 3, starts);
    } catch (const EPacketError&) {
        return false;
    }
}

TOutcome LoadAndResave(const QByteArray& bytes)
{
    TPacketDocument doc;
    try {
        ReadPacket(bytes, doc);
    } catch (const EPacketError& e) {
        EXPECT_FALSE(e.Message().isEmpty());
        // What the full read refuses, the scan must not take.
        EXPECT_FALSE(ScanAccepts(bytes));
        return oRefused;
    }
    for (TPacketFormat f : {pfBinary, pfXml, pfXmlUtf8}) {
        QByteArray out;
        try {
            out = SaveDocument(doc, f);
        } catch (const EPacketError&) {
            continue;   // e.g. a BCD value that is no number cannot be written as XML
        }
        TPacketDocument again;
        EXPECT_NO_THROW(ReadPacket(out, again)) << "format " << f;
    }
    return oLoaded;
}

QString Message(const QByteArray& bytes)
{
    try {
        TPacketDocument doc;
        ReadPacket(bytes, doc);
    } catch (const EPacketError& e) {
        return e.Message();
    }
    return QStringLiteral("(loaded)");
}

QByteArray Le(quint64 v, int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i) b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

QByteArray Name(const QByteArray& n) { return char(n.size()) + n; }

QByteArray Header(int descriptors, quint32 rows, quint32 props = 1, quint16 firstRow = 0)
{
    return Le(PacketBinaryMagic, 4) + Le(1, 2) + Le(0, 2) + Le(24, 4) + Le(descriptors, 2) + Le(rows, 4) + Le(props, 4) + Le(firstRow, 2);
}

QByteArray Descriptor(const QByteArray& name, quint32 type) { return Name(name) + Le(type, 4) + Le(0, 2) + Le(0, 2); }

// One INT32 field "A" with the given rows (status 0, values 1..n).
QByteArray SimplePacket(int rows)
{
    QByteArray b = Header(1, quint32(rows)) + Descriptor("A", Int32) + Le(0, 2);
    for (int i = 0; i < rows; ++i) b += Le(0, 1) + Le(0, 1) + Le(i + 1, 4);
    return b;
}

} // namespace

TEST(PacketDamage, EveryTruncationIsRefused)
{
    // A cut packet misses rows or closing tags: it is never taken for a shorter good one.
    for (const char* file : {"demo-country.cds", "demo-employee.cds", "demo-customer.cds", "demo-nextcust.cds",
                             "demo-iconData-changelog.cds", "app-sales-Vendas.cds", "app-bingo-dados.cds",
                             "app-bingo-premios.cds", "app-empty-Clientes.cds", "demo-country.xml",
                             "demo-employee.xml", "demo-customer.xml"}) {
        SCOPED_TRACE(file);
        const QByteArray bytes = ReadWholeFile(SamplePath(file));
        int loaded = 0;
        for (qsizetype n = 0; n < bytes.size(); ++n) {
            TPacketDocument doc;
            try {
                ReadPacket(bytes.constData(), n, doc);
                ++loaded;
            } catch (const EPacketError&) {
            }
        }
        EXPECT_EQ(loaded, 0);
    }
}

TEST(PacketDamage, SingleBitFlipsLoadOrAreRefused)
{
    std::mt19937 random(20240229);
    for (const char* file : {"demo-country.cds", "demo-customer.cds", "demo-iconData-changelog.cds", "app-sales-Vendas.cds",
                             "demo-employee.cds", "demo-country.xml", "demo-customer.xml", "demo-employee.xml"}) {
        SCOPED_TRACE(file);
        const QByteArray original = ReadWholeFile(SamplePath(file));
        // Flips land in the metadata more often: that is where a bit changes the layout.
        const qsizetype metadataEnd = qMin<qsizetype>(original.size(), 600);
        int refused = 0;
        const int flips = 2000;
        for (int i = 0; i < flips; ++i) {
            QByteArray bytes = original;
            const qsizetype at = (i % 2 == 0) ? qsizetype(random() % quint32(metadataEnd)) : qsizetype(random() % quint32(bytes.size()));
            bytes[at] = char(bytes[at] ^ (1 << (random() % 8)));
            if (LoadAndResave(bytes) == oRefused) ++refused;
        }
        // Some flips must be caught, some must load (a flipped value is still a value).
        EXPECT_GT(refused, 0);
        EXPECT_LT(refused, flips);
    }
}

TEST(PacketDamage, NamedFixturesGiveClearMessages)
{
    const QByteArray good = SimplePacket(2);
    auto patched = [&](qsizetype at, const QByteArray& with) {
        QByteArray b = good;
        b.replace(at, with.size(), with);
        return b;
    };
    const qsizetype rowsAt = 14;
    QByteArray deep;        // 100 nested levels, each the only field of its parent
    {
        for (int i = 0; i < 100; ++i) deep += Descriptor("N", Make(ptcNestedTable, 99 - i, Pseudo | Embedded));
        for (int i = 0; i < 101; ++i) deep += Le(0, 2);
        deep = Header(100, 0) + deep;
    }
    QByteArray arrays;      // an array of 65535 arrays of 65535 integers
    arrays = Header(3, 0) + Descriptor("A", Make(ptcArray, 0xFFFF, Pseudo | Compressed)) + Descriptor("B", Make(ptcArray, 0xFFFF, Pseudo | Compressed))
             + Descriptor("C", Int32) + Le(0, 2);
    QByteArray string = Header(1, 1) + Descriptor("S", Make(ptcString, 1, Varying)) + Le(0, 2) + Le(0, 1) + Le(0, 1) + Le(200, 1) + "abc";
    QByteArray nestedCount = Header(2, 1) + Descriptor("N", Make(ptcNestedTable, 1, Pseudo | Embedded)) + Descriptor("X", Int32) + Le(0, 2) + Le(0, 2)
                             + Le(0, 1) + Le(0, 1) + Le(0x7FFFFFFF, 4);
    QByteArray xmlDeep = "<DATAPACKET><METADATA><FIELDS/><PARAMS/></METADATA><JUNK>";
    for (int i = 0; i < 100000; ++i) xmlDeep += "<a>";
    QByteArray xmlNested = "<DATAPACKET><METADATA><FIELDS>";
    for (int i = 0; i < 100; ++i) xmlNested += "<FIELD attrname=\"N\" fieldtype=\"nested\"><FIELDS>";
    for (int i = 0; i < 100; ++i) xmlNested += "</FIELDS></FIELD>";
    xmlNested += "</FIELDS></METADATA></DATAPACKET>";

    struct TCase {
        const char* Name;
        QByteArray Bytes;
        const char* Expected;   // part of the message
    };
    const TCase cases[] = {
        {"empty file", QByteArray(), "The file is empty"},
        {"old binary format", Le(PacketOldBinaryMagic, 4) + QByteArray(40, '\0'), "very old binary format"},
        {"short header", good.left(10), "fewer than the 24 of a packet header"},
        {"unknown version", patched(4, Le(7, 2)), "version 7.0 is not supported"},
        {"descriptor count too large", patched(12, Le(5, 2)), "Damaged data packet"},
        {"row count past the end", patched(rowsAt, Le(0xFFFFFFFF, 4)), "4294967295 rows are declared"},
        {"fewer rows than stored", patched(rowsAt, Le(1, 4)), "follow the last of the 1 rows"},
        {"first row offset inside the metadata", Header(1, 0, 3, 20) + Descriptor("A", Int32) + Le(0, 2), "puts the first row at 20"},
        {"empty field name", Header(1, 0) + Name("") + Le(Int32, 4) + Le(0, 4) + Le(0, 2), "a field name is empty"},
        {"parameter value past the end", Header(1, 0) + Name("A") + Le(Int32, 4) + Le(0, 2) + Le(1, 2) + Name("CHANGE_LOG") + Le(UInt32Array, 4) + Le(1000000, 4),
         "the value of parameter 'CHANGE_LOG'"},
        {"string length past the end", string, "row 1, field 'S'"},
        {"nested count past the end", nestedCount, "rows are declared for nested field 'N'"},
        {"nesting too deep", deep, "more than 64 levels deep"},
        {"too many columns", arrays, "more than 65535 columns"},
        {"prefix size of 3", Header(1, 0) + Descriptor("A", Make(ptcString, 3, Varying)) + Le(0, 2), "length prefix of 3 bytes"},
        {"not XML at all", QByteArray::fromHex("89504E470D0A1A0A0000"), "Damaged XML data packet"},
        {"other XML document", "<html><body/></html>", "not a data packet"},
        {"unclosed element", "<DATAPACKET><METADATA><FIELDS></FIELDS><PARAMS/></METADATA><ROWDATA><ROW/>", "is not closed"},
        {"mismatched end tag", "<DATAPACKET><METADATA><FIELDS></FIELDS><PARAMS/></METADATA><ROWDATA></ROWDATUM></DATAPACKET>", "</ROWDATA> was expected"},
        {"unquoted attribute", "<DATAPACKET><METADATA><FIELDS><FIELD attrname=A fieldtype=\"i4\"/></FIELDS></METADATA></DATAPACKET>", "is not quoted"},
        {"unknown entity", "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"A\" fieldtype=\"string\"/></FIELDS></METADATA><ROWDATA><ROW A=\"&nbsp;\"/></ROWDATA></DATAPACKET>", "unknown entity '&nbsp;'"},
        {"unknown field type", "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"A\" fieldtype=\"quux\"/></FIELDS></METADATA></DATAPACKET>", "unknown fieldtype 'quux'"},
        {"rows before metadata", "<DATAPACKET><ROWDATA/><METADATA/></DATAPACKET>", "ROWDATA comes before METADATA"},
        {"bad integer", "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"A\" fieldtype=\"i2\"/></FIELDS></METADATA><ROWDATA><ROW A=\"1\"/><ROW A=\"70000\"/></ROWDATA></DATAPACKET>",
         "row 2, field 'A': '70000' is not a valid integer"},
        {"bad base64", "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"B\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/></FIELDS></METADATA><ROWDATA><ROW B=\"@@@\"/></ROWDATA></DATAPACKET>",
         "not a valid base64 value"},
        {"bad date", "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"D\" fieldtype=\"date\"/></FIELDS></METADATA><ROWDATA><ROW D=\"20230230\"/></ROWDATA></DATAPACKET>",
         "'20230230' is not a valid date"},
        {"CDATA", "<DATAPACKET><![CDATA[x]]></DATAPACKET>", "CDATA"},
        {"text after the packet", "<DATAPACKET><METADATA/></DATAPACKET>junk", "content follows the end"},
        {"elements nested too deeply", xmlDeep, "nested too deeply"},
        {"nested fields too deep", xmlNested, "more than 64 levels deep"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString msg = Message(c.Bytes);
        EXPECT_TRUE(msg.contains(QString::fromLatin1(c.Expected))) << msg.toStdString();
    }
    // Offsets point at the damage.
    try {
        TPacketDocument doc;
        ReadPacket(string, doc);
        FAIL();
    } catch (const EPacketError& e) {
        EXPECT_EQ(e.Offset, string.size() - 4);
        EXPECT_TRUE(e.Message().contains(QStringLiteral("(at offset %1)").arg(e.Offset)));
    }
    EXPECT_EQ(Message(good), "(loaded)");
}

TEST(PacketDamage, FileErrorsNameTheFile)
{
    const QString missing = QStringLiteral("/nonexistent/dir/none.cds");
    TPacketDocument doc;
    try {
        ReadPacketFile(missing, doc);
        FAIL();
    } catch (const EPacketError& e) {
        EXPECT_TRUE(e.Message().contains(missing));
    }
    QTemporaryDir dir;
    const QString damaged = dir.filePath(QStringLiteral("cut.cds"));
    WriteWholeFile(damaged, ReadWholeFile(SamplePath("demo-country.cds")).left(300));
    try {
        ReadPacketFile(damaged, doc);
        FAIL();
    } catch (const EPacketError& e) {
        EXPECT_TRUE(e.Message().startsWith(damaged + QStringLiteral(": Damaged data packet"))) << e.Message().toStdString();
    }
    const QString whole = dir.filePath(QStringLiteral("whole.xml"));
    WriteWholeFile(whole, ReadWholeFile(SamplePath("demo-country.xml")));
    ASSERT_NO_THROW(ReadPacketFile(whole, doc));
    EXPECT_EQ(doc.RowCount(0), 18);
}

TEST(PacketDamage, FuzzCorpusReplays)
{
    // Inputs the fuzzer kept for new coverage: each loads or is refused, and what loads writes
    // back in every format and loads again.
    const QDir dir(QStringLiteral(PACKET_FUZZ_CORPUS));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty()) << dir.path().toStdString();
    int loaded = 0;
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        if (LoadAndResave(ReadWholeFile(dir.filePath(name))) == oLoaded) ++loaded;
    }
    EXPECT_GT(loaded, 0);
}
