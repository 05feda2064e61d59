// The real sample files: every one loads with the values the format
// note and the samples' README give, each binary file agrees with its XML twin, and re-saving
// reproduces the engine's bytes where its writer is deterministic.

#include "PacketTestSupport.h"
#include "tests/common/TestSupport.h"

#include "platform/client/PacketBinary.h"
#include "platform/client/PacketXmlReader.h"
#include "platform/client/PacketXmlWriter.h"
#include "platform/core/SysUtils.h"

#include <gtest/gtest.h>
#include <cmath>

namespace {

TPacketDocument LoadSample(const QString& name)
{
    return LoadDocument(ReadWholeFile(SamplePath(name)));
}

int ColumnOf(const TPacketDocument& doc, const QString& name, int level = 0)
{
    const TPacketLevel& lv = doc.Metadata().Level(level);
    for (int c = 0; c < int(lv.Columns.size()); ++c)
        if (lv.Columns[size_t(c)].Field->Text == name) return c;
    ADD_FAILURE() << "no field " << name.toStdString();
    return 0;
}

qint64 CountNulls(const TPacketDocument& doc)
{
    qint64 n = 0;
    const int cols = int(doc.Metadata().Level(0).Columns.size());
    for (qint64 r = 0; r < doc.RowCount(0); ++r)
        for (int c = 0; c < cols; ++c)
            if (doc.ResolvedCell(0, r, c).State == pcsNull) ++n;
    return n;
}

struct TSampleFacts {
    const char* File;
    int Fields;
    qint64 Rows;
    qint64 Nulls;           // NULL cells as read (following "not changed"), -1 not checked
};

const TSampleFacts Samples[] = {
    {"demo-country.cds", 5, 18, 0},
    {"demo-country.xml", 5, 18, 0},
    {"demo-employee.cds", 6, 42, 3},
    {"demo-employee.xml", 6, 42, 3},
    {"demo-customer.cds", 13, 55, 89},
    {"demo-customer.xml", 13, 55, 89},
    {"demo-orders.cds", 21, 205, 1832},
    {"demo-orders.xml", 21, 205, 1832},
    {"demo-events.cds", 8, -1, -1},
    {"demo-events.xml", 8, -1, -1},
    {"demo-animals.cds", 5, -1, -1},
    {"demo-animals.xml", 5, -1, -1},
    {"demo-nextcust.cds", 1, 1, 0},
    {"demo-iconData-changelog.cds", 5, -1, -1},
    {"app-sales-Vendas.cds", 4, 9, -1},
    {"app-bingo-dados.cds", 8, 1, 8},
    {"app-bingo-premios.cds", 9, 1, 0},
    {"app-empty-Clientes.cds", 7, 0, 0},
};

} // namespace

TEST(PacketSamples, EveryFileLoadsWithItsCounts)
{
    QUARROW_NEED_SAMPLES();
    for (const TSampleFacts& s : Samples) {
        SCOPED_TRACE(s.File);
        TPacketDocument doc;
        ASSERT_NO_THROW(doc = LoadSample(QString::fromLatin1(s.File)));
        EXPECT_EQ(int(doc.Metadata().Fields.size()), s.Fields);
        if (s.Rows >= 0) {
            EXPECT_EQ(doc.RowCount(0), s.Rows);
        }
        if (s.Nulls >= 0) {
            EXPECT_EQ(CountNulls(doc), s.Nulls);
        }
    }
}

TEST(PacketSamples, BinaryAndXmlTwinsAgreeByValue)
{
    QUARROW_NEED_SAMPLES();
    for (const char* base : {"demo-country", "demo-employee", "demo-customer", "demo-orders", "demo-events", "demo-animals"}) {
        SCOPED_TRACE(base);
        const TPacketDocument cds = LoadSample(QString::fromLatin1(base) + ".cds");
        const TPacketDocument xml = LoadSample(QString::fromLatin1(base) + ".xml");
        TCompareOptions o;
        o.RelTolerance = 1e-15;     // the source data differs in the last digits of a few floats
        EXPECT_EQ(CompareDocuments(cds, xml, o), QString());
    }
}

TEST(PacketSamples, ResavingReproducesTheEnginesBytes)
{
    QUARROW_NEED_SAMPLES();
    // The engine's writer is deterministic for everything it wrote here: the same metadata in
    // stored order, rows in stored order with their statuses and "not changed" bits, floats
    // in XML with 16 significant digits.
    for (const TSampleFacts& s : Samples) {
        SCOPED_TRACE(s.File);
        const QByteArray original = ReadWholeFile(SamplePath(QString::fromLatin1(s.File)));
        TPacketDocument doc = LoadDocument(original);
        const bool xml = QByteArray(s.File).endsWith(".xml");
        EXPECT_TRUE(SaveDocument(doc, xml ? pfXml : pfBinary) == original);
    }
}

TEST(PacketSamples, CountryMatchesTheAnnotatedExample)
{
    QUARROW_NEED_SAMPLES();
    const QByteArray bytes = ReadWholeFile(SamplePath("demo-country.cds"));
    const TPacketDocument doc = LoadDocument(bytes);
    const TPacketMetadata& m = doc.Metadata();
    EXPECT_EQ(m.Fields[0].TypeWord, 0x00490001u);
    EXPECT_EQ(m.Fields[0].Params.Width(), 24);
    EXPECT_EQ(m.Fields[3].TypeWord, PacketTypeWord::Double);
    EXPECT_EQ(m.Params.DefaultOrder(), std::vector<qint64>{1});
    EXPECT_EQ(m.Params.PrimaryKey(), std::vector<qint64>{1});
    EXPECT_EQ(m.Params.Lcid(), 2057);
    EXPECT_EQ(m.CodePage(), 1252);
    EXPECT_EQ(doc.Cell(0, 0, 0).Bytes(), QByteArrayView("Argentina"));
    EXPECT_EQ(doc.Cell(0, 0, 1).Bytes(), QByteArrayView("Buenos Aires"));
    EXPECT_EQ(doc.Cell(0, 0, 2).Bytes(), QByteArrayView("South America"));
    EXPECT_EQ(doc.Cell(0, 0, 3).Float, 2777815.0);
    EXPECT_EQ(doc.Cell(0, 0, 4).Float, 32300003.0);
    EXPECT_EQ(uchar(bytes[22]) | (uchar(bytes[23]) << 8), 0xC8);
}

namespace {

double Stamp(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    qint64 day = 0;
    PacketDateToDay(y, m, d, day);
    return double(day) * 86400000.0 + ((h * 60 + mi) * 60 + s) * 1000.0 + ms;
}

qint64 Day(int y, int m, int d)
{
    qint64 day = 0;
    PacketDateToDay(y, m, d, day);
    return day;
}

} // namespace

TEST(PacketSamples, DatesTimesAndTimeStampsInBothFormats)
{
    QUARROW_NEED_SAMPLES();
    struct TCase {
        const char* Base;
        int Row;
        const char* Field;
        TPacketValueKind Kind;
        double Expected;
    };
    const TCase cases[] = {
        {"demo-employee", 0, "HireDate", pkTimeStamp, Stamp(1988, 12, 28)},
        {"demo-events", 0, "Event_Date", pkDate, double(Day(1996, 6, 15))},
        {"demo-events", 0, "Event_Time", pkTime, 10 * 3600000.0},
        {"demo-events", 1, "Event_Time", pkTime, 8 * 3600000.0},
    };
    for (const char* ext : {".cds", ".xml"}) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.Base) + ext + " " + c.Field);
            const TPacketDocument doc = LoadSample(QString::fromLatin1(c.Base) + ext);
            const TPacketCell cell = doc.Cell(0, c.Row, ColumnOf(doc, QString::fromLatin1(c.Field)));
            ASSERT_EQ(cell.Kind, c.Kind);
            EXPECT_EQ(c.Kind == pkTimeStamp ? cell.Float : double(cell.Int), c.Expected);
        }
    }
    // A date-time with a time of day, and the XML text that carries it.
    const TPacketDocument customer = LoadSample("demo-customer.xml");
    const QByteArray text = ReadWholeFile(SamplePath("demo-customer.xml"));
    const int col = ColumnOf(customer, "LastInvoiceDate");
    bool withTime = false;
    for (qint64 r = 0; r < customer.RowCount(0); ++r) {
        const TPacketCell c = customer.Cell(0, r, col);
        if (c.State != pcsValue || std::fmod(c.Float, 86400000.0) == 0) continue;
        TPacketBuffer b;
        ASSERT_TRUE(PacketAppendXmlTimeStamp(b, c.Float));
        const QByteArray form = b.Take();
        EXPECT_TRUE(text.contains("LastInvoiceDate=\"" + form + "\"")) << form.constData();
        withTime = true;
    }
    EXPECT_TRUE(withTime);
}

TEST(PacketSamples, EventsBlobsMemosAndEscapes)
{
    QUARROW_NEED_SAMPLES();
    for (const char* file : {"demo-events.cds", "demo-events.xml"}) {
        SCOPED_TRACE(file);
        const TPacketDocument doc = LoadSample(file);
        const TPacketFieldDesc& no = doc.Metadata().Fields[0];
        EXPECT_TRUE(no.Attributes & pfaReadOnly);
        EXPECT_EQ(no.Params.SubType(), "Autoinc");
        EXPECT_EQ(doc.Metadata().Fields[6].Params.SubType(), "Money");
        EXPECT_EQ(doc.Cell(0, 0, ColumnOf(doc, "Event_Name")).Bytes(), QByteArrayView("Men's Track and Field"));
        const TPacketCell memo = doc.Cell(0, 0, ColumnOf(doc, "Event_Description"));
        EXPECT_TRUE(memo.Bytes().startsWith("Outdoor arena"));
        const TPacketCell photo = doc.Cell(0, 0, ColumnOf(doc, "Event_Photo"));
        ASSERT_GT(photo.Size, 10);
        const QByteArray head(photo.Data, 10);
        EXPECT_EQ(head.left(4), QByteArray::fromHex("01000001"));
        const quint32 size = uchar(head[4]) | (uchar(head[5]) << 8) | (uchar(head[6]) << 16) | (quint32(uchar(head[7])) << 24);
        EXPECT_EQ(qsizetype(size), photo.Size - 8);
        EXPECT_EQ(head.mid(8, 2), "BM");
    }
}

TEST(PacketSamples, AnimalsTypedBinaryWithWidthOne)
{
    QUARROW_NEED_SAMPLES();
    const TPacketDocument doc = LoadSample("demo-animals.cds");
    const TPacketFieldDesc& bmp = doc.Metadata().Fields[4];
    EXPECT_EQ(bmp.Params.SubType(), "TypedBinary");
    EXPECT_EQ(bmp.Params.Width(), 1);
    EXPECT_EQ(doc.Metadata().Fields[1].TypeWord, PacketTypeWord::Int16);
    ASSERT_EQ(doc.Metadata().Params.Count(), 1);
    EXPECT_EQ(doc.Metadata().Params.Lcid(), 1033);
    EXPECT_EQ(QByteArray(doc.Cell(0, 0, 4).Data, 4), QByteArray::fromHex("01000001"));
}

TEST(PacketSamples, ChangeLogWithUnchangedBlobs)
{
    QUARROW_NEED_SAMPLES();
    const TPacketDocument doc = LoadSample("demo-iconData-changelog.cds");
    const std::vector<qint64> log = doc.Metadata().Params.ChangeLog();
    ASSERT_EQ(log.size() % 3, 0u);
    EXPECT_EQ((std::vector<qint64>(log.begin(), log.begin() + 6)), (std::vector<qint64>{1, 0, 4, 2, 1, 8}));
    EXPECT_FALSE(doc.Metadata().Fields[3].Params.Width().has_value());   // memo without WIDTH
    const int id = ColumnOf(doc, "ID");
    const int icon = ColumnOf(doc, "Icon");
    const int terms = ColumnOf(doc, "SearchTerms");
    // Row 11 (inserted, then modified) carries only its changed values: its icon is row 9's.
    ASSERT_EQ(doc.Status(0, 10), prsInserted | prsModified);
    EXPECT_EQ(doc.PreviousVersion(0, 10), 8);
    EXPECT_EQ(doc.Cell(0, 10, icon).State, pcsNotChanged);
    EXPECT_EQ(doc.ResolvedCell(0, 10, icon).Bytes(), doc.Cell(0, 8, icon).Bytes());
    EXPECT_TRUE(doc.ResolvedCell(0, 10, icon).Bytes().startsWith("\x89PNG\r\n\x1a\n"));
    // Row 16's search terms come through three versions (16 -> 14 -> 4 -> 3).
    EXPECT_EQ(doc.ResolveRow(0, 15, terms), 2);
    EXPECT_EQ(doc.ResolvedCell(0, 15, terms).Bytes(), doc.Cell(0, 2, terms).Bytes());
    // The integer nobody ever assigned reads as NULL in every row.
    for (qint64 r = 0; r < doc.RowCount(0); ++r) EXPECT_EQ(doc.ResolvedCell(0, r, id).State, pcsNull);
    // Visible rows are the newest copies; no visible row is left without an icon.
    const std::vector<qint64> visible = doc.VisibleRows();
    EXPECT_FALSE(visible.empty());
    for (qint64 r : visible) {
        EXPECT_EQ(doc.Status(0, r) & (prsOriginal | prsDeleted), 0);
        EXPECT_EQ(doc.ResolvedCell(0, r, icon).State, pcsValue) << "row " << r + 1;
    }
}

TEST(PacketSamples, SmallApplicationFiles)
{
    QUARROW_NEED_SAMPLES();
    const TPacketDocument sales = LoadSample("app-sales-Vendas.cds");
    EXPECT_EQ(sales.Metadata().Params.AutoIncValue(), 10);
    EXPECT_EQ(sales.Metadata().Params.ChangeLog().size(), 27u);
    EXPECT_EQ(sales.VisibleRows().size(), 9u);
    for (qint64 r = 0; r < 9; ++r) {
        EXPECT_EQ(sales.Status(0, r), prsInserted);
        EXPECT_EQ(sales.Cell(0, r, 0).Int, r + 1);
    }
    EXPECT_EQ(sales.Cell(0, 0, 2).Int, 730657);     // 2001-06-22

    // Every field of the inserted row is "not changed": never assigned, so NULL.
    const TPacketDocument dados = LoadSample("app-bingo-dados.cds");
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(dados.Cell(0, 0, c).State, pcsNotChanged);
        EXPECT_EQ(dados.ResolvedCell(0, 0, c).State, pcsNull);
    }

    // Empty strings are stored as one zero byte and read as empty, not NULL.
    const TPacketDocument premios = LoadSample("app-bingo-premios.cds");
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(premios.Cell(0, 0, c).State, pcsValue);
        EXPECT_EQ(premios.Cell(0, 0, c).Size, 0);
    }

    const QByteArray empty = ReadWholeFile(SamplePath("app-empty-Clientes.cds"));
    const TPacketDocument clientes = LoadDocument(empty);
    EXPECT_EQ(clientes.RowCount(0), 0);
    EXPECT_EQ(clientes.Metadata().Params.Count(), 0);
    EXPECT_EQ(uchar(empty[22]) | (uchar(empty[23]) << 8), empty.size());
}

TEST(PacketSamples, MetadataAloneWithoutRows)
{
    QUARROW_NEED_SAMPLES();
    for (const char* file : {"demo-orders.cds", "demo-orders.xml"}) {
        SCOPED_TRACE(file);
        const QByteArray bytes = ReadWholeFile(SamplePath(file));
        const TPacketMetadata m = ReadPacketMetadata(bytes.constData(), bytes.size());
        ASSERT_EQ(m.Fields.size(), 21u);
        EXPECT_EQ(m.Fields[1].Text, "CustNo");
        EXPECT_TRUE(m.Fields[1].Attributes & pfaRequired);
    }
}
