#include "platform/tables/ParadoxReader.h"
#include "tests/platform/tables/TablesTestSupport.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct TParadoxCase {
    const char* File;
    int Version;
    int CodePage;   // declared
    int Records;
    const char* Fields;
};

void PrintTo(const TParadoxCase& c, std::ostream* os) { *os << c.File; }


// Every Paradox table of the samples: version, code page, records and field definitions.
const TParadoxCase ParadoxCases[] = {
    {"paradox/p3-other/PCL.DB", 30, 0, 161,
     "Command Type String 30, Command Sub-type String 30, Function String 40, Parameter String 30, Command String 15, "
     "Notes String 40, TJ String 1, Rugged Writer String 1, 256x String 1, LJ String 1, DJ String 1, LJ II String 1, "
     "LJ IIP String 1, LJ IID String 1, LJ III String 1, PCL Level String 5, Support Smallint 0"},
    {"paradox/p3-other/AREACODE.DB", 30, 0, 239,
     "1 String 3, AC String 3, Country String 20, State String 21, St String 4, Desc String 55"},
    {"paradox/p3-other/STATES.DB", 30, 0, 53, "Abv String 2, State String 14, Zip From String 3, Zip To String 3"},
    {"paradox/p4-tables/AREACODE.DB", 40, 437, 135, "Area Code String 3, Country String 30, Full State String 21, State String 2"},
    {"paradox/p4-tables/ROMAN8.db", 40, 0, 1, "A String 20"},
    {"paradox/p5-fieldtypes/bcd.db", 50, 850, 3, "A BCD 2, B BCD 0, C BCD 32"},
    {"paradox/p5-fieldtypes/bytes.db", 50, 850, 1, "BYTES Bytes 255"},
    {"paradox/p5-fieldtypes/date35.db", 35, 0, 3, "DATE Date 0"},
    {"paradox/p5-fieldtypes/date4.db", 40, 850, 3, "DATE Date 0"},
    {"paradox/p5-fieldtypes/date5.db", 50, 850, 3, "DATE Date 0, TIME Time 0"},
    {"paradox/p5-fieldtypes/date7.db", 50, 850, 5, "DATE Date 0, TIME Time 0"},
    {"paradox/p5-fieldtypes/time.db", 50, 1252, 3, "Time Time 0"},
    {"paradox/p5-fieldtypes/timestamp.db", 50, 850, 2, "Timestamp DateTime 0"},
    {"paradox/p5-fieldtypes/logical.db", 50, 1252, 4, "BOOL Boolean 0"},
    {"paradox/p5-fieldtypes/long.db", 50, 850, 3, "Id AutoInc 0, LONG Integer 0"},
    {"paradox/p5-fieldtypes/memo.db", 50, 850, 2, "Id AutoInc 0, MEMO Memo 240"},
    {"paradox/p5-fieldtypes/fmemo.db", 50, 850, 2, "Id AutoInc 0, FMEMO FmtMemo 0"},
    {"paradox/p5-fieldtypes/graphic240.db", 50, 850, 1, "Id AutoInc 0, Graph Graphic 240"},
    {"paradox/p5-fieldtypes/ole.db", 50, 850, 1, "Id AutoInc 0, OLE ParadoxOle 0"},
    {"paradox/p5-fieldtypes/GENERAL.DB", 50, 936, 3, "ID Integer 0, NAME String 25, MONEYS Currency 0"},
    {"paradox/p5-fieldtypes/DECIMAL.DB", 70, 1252, 9, "DECIMAL Float 0"},
    {"paradox/p7-tables/CUSTOMER.DB", 70, 1252, 20,
     "CustNo AutoInc 0, FirstName String 51, LastName String 50, EMail String 100, Street String 30, City String 15, "
     "State/Prov String 20, Zip/Postal Code String 10, Comments Memo 100, DateEntered Date 0"},
    {"paradox/p7-tables/HERCULES.DB", 70, 1252, 20, "TEMPLATE String 80, HTML Memo 100"},
    {"paradox/p7-tables/AREACODES.DB", 70, 1252, 370, "AC String 5, State String 3, Cities String 157"},
    {"paradox/p7-tables/tblsttes.DB", 70, 437, 58,
     "State String 2, Time Zone String 50, Full State Name String 30, Capital String 14, Year Settled String 255, "
     "Date Admitted Date 0, Admitted Order Smallint 0, Long Smallint 0, Wide Smallint 0, Area SQ MI Land Integer 0, "
     "Area SQ MI Water Integer 0, Area SQ MI Land + Water Integer 0, Rank in Area Integer 0"},
};

class ParadoxSampleTest : public ::testing::TestWithParam<TParadoxCase> {};

TEST_P(ParadoxSampleTest, StructureAndEveryValueRead)
{
    QUARROW_NEED_SAMPLES();
    const TParadoxCase& c = GetParam();
    TParadoxReader reader(TablePath(QString::fromLatin1(c.File)));
    EXPECT_EQ(reader.Version(), c.Version);
    EXPECT_EQ(reader.DeclaredCodePage(), c.CodePage);

    auto table = OpenSample(QString::fromLatin1(c.File));
    EXPECT_EQ(table->RecordCount(), c.Records);
    EXPECT_EQ(DescribeFields(*table), QString::fromLatin1(c.Fields));
    // Every value of every record reads, memos and blobs included.
    int records = 0;
    for (table->First(); !table->Eof(); table->Next()) {
        for (TField* f : table->Fields())
            if (!f->IsNull()) (void)f->AsVariant();
        ++records;
    }
    EXPECT_EQ(records, c.Records);
}

INSTANTIATE_TEST_SUITE_P(Samples, ParadoxSampleTest, ::testing::ValuesIn(ParadoxCases),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param.File).section(QLatin1Char('/'), 1);
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
                             return name.toStdString();
                         });

TEST(ParadoxTable, NumbersDatesAndTimesDecodeWithTheirNulls)
{
    QUARROW_NEED_SAMPLES();
    auto bcd = OpenSample(QStringLiteral("paradox/p5-fieldtypes/bcd.db"));
    QStringList rows;
    for (bcd->First(); !bcd->Eof(); bcd->Next()) rows << RowText(*bcd);
    // Column C was written from a double: the digits after the rounding rubbish are ignored.
    EXPECT_EQ(rows, QStringList({"1.23|1|0.123", "-1.23|-1|-0.123", "0|<null>|0.9999"}));
    bcd->First();
    EXPECT_EQ(bcd->FieldByName("C")->AsCurrency(), TCurrency::FromScaled(1230));

    auto dates = OpenSample(QStringLiteral("paradox/p5-fieldtypes/date7.db"));
    QStringList dateRows;
    for (dates->First(); !dates->Eof(); dates->Next())
        dateRows << DateText(dates->FieldByName("DATE")) + QLatin1Char('|') + DateText(dates->FieldByName("TIME"));
    EXPECT_EQ(dateRows, QStringList({"2018-01-01 00:00:00|1899-12-30 10:00:00", "2018-02-01 00:00:00|1899-12-30 10:30:00",
                                     "2018-01-02 00:00:00|1899-12-30 09:25:25", "<null>|1899-12-30 10:00:00",
                                     "2018-01-01 00:00:00|<null>"}));
    for (const char* file : {"paradox/p5-fieldtypes/date35.db", "paradox/p5-fieldtypes/date4.db"}) {
        auto t = OpenSample(QString::fromLatin1(file));
        QStringList values;
        for (t->First(); !t->Eof(); t->Next()) values << DateText(t->FieldByName("DATE"));
        EXPECT_EQ(values, QStringList({"2018-01-01 00:00:00", "2018-02-01 00:00:00", "2018-01-02 00:00:00"})) << file;
    }

    auto times = OpenSample(QStringLiteral("paradox/p5-fieldtypes/time.db"));
    QStringList timeValues;
    for (times->First(); !times->Eof(); times->Next()) timeValues << DateText(times->FieldByName("Time"));
    EXPECT_EQ(timeValues, QStringList({"1899-12-30 01:00:01", "<null>", "1899-12-30 03:00:03"}));

    auto stamps = OpenSample(QStringLiteral("paradox/p5-fieldtypes/timestamp.db"));
    stamps->First();
    EXPECT_TRUE(stamps->FieldByName("Timestamp")->IsNull());
    stamps->Next();
    EXPECT_EQ(DateText(stamps->FieldByName("Timestamp")), "2020-02-01 01:00:01");

    auto longs = OpenSample(QStringLiteral("paradox/p5-fieldtypes/long.db"));
    QStringList longRows;
    for (longs->First(); !longs->Eof(); longs->Next()) longRows << RowText(*longs);
    EXPECT_EQ(longRows, QStringList({"1|1", "2|2", "3|<null>"}));

    EXPECT_EQ(ColumnText(*OpenSample(QStringLiteral("paradox/p5-fieldtypes/logical.db")), QStringLiteral("BOOL")),
              QStringList({"True", "False", "True", "True"}));
    EXPECT_EQ(ColumnText(*OpenSample(QStringLiteral("paradox/p5-fieldtypes/DECIMAL.DB")), QStringLiteral("DECIMAL")).mid(0, 2),
              QStringList({"-200", "-20"}));

    auto general = OpenSample(QStringLiteral("paradox/p5-fieldtypes/GENERAL.DB"));
    QStringList generalRows;
    for (general->First(); !general->Eof(); general->Next()) generalRows << RowText(*general);
    EXPECT_EQ(generalRows, QStringList({"1|Mari|100", "2|Katty|150", "333333333|Elizabet|75"}));
    general->First();
    EXPECT_EQ(general->FieldByName("MONEYS")->AsCurrency(), TCurrency::FromInt(100));
    EXPECT_EQ(qobject_cast<TStringField*>(general->FieldByName("NAME"))->CodePage(), 936);
}

TEST(ParadoxTable, TextKeepsItsCodePageAndEmptyAlphasAreNull)
{
    QUARROW_NEED_SAMPLES();
    auto areas = OpenSample(QStringLiteral("paradox/p7-tables/AREACODES.DB"));
    const QString cities = ColumnText(*areas, QStringLiteral("Cities")).join(QLatin1Char('\n'));
    for (const char* name : {"San José", "Québec", "Gaspé", "Montréal"}) EXPECT_TRUE(cities.contains(QString::fromUtf8(name))) << name;

    // A version 3 table without a code page: nulls where the alpha is empty.
    auto old = OpenSample(QStringLiteral("paradox/p3-other/AREACODE.DB"));
    old->First();
    EXPECT_EQ(RowText(*old), "011|20|Egypt               |<null>|<null>|<null>");
    EXPECT_EQ(qobject_cast<TStringField*>(old->FieldByName("Country"))->CodePage(), 1252);

    auto states = OpenSample(QStringLiteral("paradox/p7-tables/tblsttes.DB"));
    states->First();
    EXPECT_EQ(RowText(*states), "AK|<null>|Alaska|Juneau|1784|1/3/1959|49|<null>|3810|570374|86050|656424|1");

    // An odd character set declared as none: the four bytes come through unchanged.
    auto roman = OpenSample(QStringLiteral("paradox/p4-tables/ROMAN8.db"));
    EXPECT_EQ(roman->FieldByName("A")->AsBytes(), QByteArray("\xEB\xF8\xBE\xF4"));
}

TEST(ParadoxTable, MemosAndBlobsComeFromTheRecordOrTheBlobFile)
{
    QUARROW_NEED_SAMPLES();
    auto memo = OpenSample(QStringLiteral("paradox/p5-fieldtypes/memo.db"));
    memo->First();
    const QString first = memo->FieldByName("MEMO")->AsString();
    EXPECT_EQ(first.size(), 555);
    EXPECT_TRUE(first.startsWith(QStringLiteral("01234567890012345678900123456789")));
    memo->Next();
    EXPECT_EQ(memo->FieldByName("MEMO")->AsString(), "01234567890\n");

    auto customers = OpenSample(QStringLiteral("paradox/p7-tables/CUSTOMER.DB"));
    customers->First();
    EXPECT_EQ(customers->FieldByName("Comments")->AsString(), "Small comment (less 100 symbols)");
    EXPECT_EQ(customers->FieldByName("State/Prov")->AsString(), "CA");
    EXPECT_EQ(DateText(customers->FieldByName("DateEntered")), "1996-02-02 00:00:00");
    customers->Next();
    EXPECT_EQ(customers->FieldByName("Comments")->AsString().size(), 518);

    auto fmemo = OpenSample(QStringLiteral("paradox/p5-fieldtypes/fmemo.db"));
    QList<qsizetype> sizes;
    for (fmemo->First(); !fmemo->Eof(); fmemo->Next()) sizes << fmemo->FieldByName("FMEMO")->AsBytes().size();
    EXPECT_EQ(sizes, QList<qsizetype>({169, 726}));

    // A picture keeps the picture header the field's writers put before the bitmap.
    auto graphic = OpenSample(QStringLiteral("paradox/p5-fieldtypes/graphic240.db"));
    const QByteArray picture = graphic->FieldByName("Graph")->AsBytes();
    EXPECT_EQ(picture.size(), 20086);
    EXPECT_EQ(picture.left(10), QByteArray("\x01\x00\x00\x01\x6E\x4E\x00\x00" "BM", 10));

    auto ole = OpenSample(QStringLiteral("paradox/p5-fieldtypes/ole.db"));
    const QByteArray object = ole->FieldByName("OLE")->AsBytes();
    EXPECT_EQ(object.size(), 365928);
    EXPECT_TRUE(object.contains("Paradox Document"));

    auto bytes = OpenSample(QStringLiteral("paradox/p5-fieldtypes/bytes.db"));
    const QByteArray raw = bytes->FieldByName("BYTES")->AsBytes();
    EXPECT_EQ(raw.size(), 255);
    EXPECT_EQ(raw.left(8), QByteArray("1\0" "2\0" "3\0\0\0", 8));
}

TEST(ParadoxTable, KeyedTablesReportTheirPrimaryKey)
{
    QUARROW_NEED_SAMPLES();
    auto customers = OpenSample(QStringLiteral("paradox/p7-tables/CUSTOMER.DB"));
    customers->IndexDefs().Update();
    ASSERT_EQ(customers->IndexDefs().Count(), 1);
    EXPECT_EQ(customers->IndexDefs()[0]->Fields(), "CustNo");
    EXPECT_TRUE(customers->IndexDefs()[0]->Options().testFlag(ixPrimary));

    auto pcl = OpenSample(QStringLiteral("paradox/p3-other/PCL.DB"));
    pcl->IndexDefs().Update();
    EXPECT_EQ(pcl->IndexDefs().Count(), 0);
}

TEST(ParadoxTable, EncryptedTablesSayWhyTheyCannotBeRead)
{
    QUARROW_NEED_SAMPLES();
    for (const char* file : {"paradox/encrypted/encrypted.db", "paradox/encrypted/encrypted35.db", "paradox/encrypted/encryptedmemo.db"}) {
        TTable table;
        table.SetTableName(TablePath(QString::fromLatin1(file)));
        try {
            table.Open();
            ADD_FAILURE() << file << " opened";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("encrypted"))) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(QString::fromLatin1(file).section(QLatin1Char('/'), -1))) << e.Message().toStdString();
        }
        EXPECT_FALSE(table.Active());
    }
}

} // namespace
