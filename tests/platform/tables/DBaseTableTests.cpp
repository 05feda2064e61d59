#include "platform/tables/DBaseReader.h"
#include "tests/platform/tables/TablesTestSupport.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct TDBaseCase {
    const char* File;
    int Version;
    int CodePage;   // declared
    int Records;
    int Fields;
    const char* Types;   // the type of every field, in order
};

void PrintTo(const TDBaseCase& c, std::ostream* os) { *os << c.File; }


QString FieldTypes(const TDataSet& dataSet)
{
    QStringList types;
    for (int i = 0; i < dataSet.FieldDefs().Count(); ++i) types << FieldTypeText(dataSet.FieldDefs()[i]->DataType());
    return types.join(QLatin1Char(' '));
}

// Every dBASE table of the samples: version byte, code page, visible records and field types.
const TDBaseCase DBaseCases[] = {
    {"dbase/dbase3/dbase_03.dbf", 0x03, 0, 12, 31,
     "String String String String String String String String Date String Float Float String String Date String "
     "String String String Largeint Largeint String Integer Float Float Float Float Float Float Float Integer"},
    {"dbase/dbase3/dbase_83.dbf", 0x83, 0, 67, 15,
     "Float Float Float Float Float String String String String Float Float Memo Float Boolean Boolean"},
    {"dbase/dbase3/INNAKLKVT20180904.dbf", 0x83, 0, 3416, 14,
     "Date String Date String String String Largeint String Float String String String String Memo"},
    {"dbase/dbase4-7/dbase_8b.dbf", 0x8B, 0, 10, 6, "String Float Date Boolean Float Memo"},
    {"dbase/dbase4-7/client.dbf", 0x8B, 0, 8, 10, "String String String String String String String String String Memo"},
    {"dbase/dbase4-7/dbase_8c.dbf", 0x8C, 437, 10, 6, "AutoInc String String Float Memo Graphic"},
    {"dbase/foxpro2/dbase_f5.dbf", 0xF5, 0, 975, 59, nullptr},
    {"dbase/vfp/dbase_31.dbf", 0x31, 1252, 77, 10,
     "AutoInc String Integer Integer String Currency Integer Integer Integer Boolean"},
    {"dbase/vfp/cp1251.dbf", 0x30, 1251, 4, 2, "Smallint String"},
    {"dbase/vfp/calls.dbf", 0x30, 1252, 16, 6, "Integer Integer DateTime DateTime String Memo"},
    {"dbase/vfp/contacts.dbf", 0x30, 1252, 5, 29, nullptr},
};

class DBaseSampleTest : public ::testing::TestWithParam<TDBaseCase> {};

TEST_P(DBaseSampleTest, StructureAndEveryValueRead)
{
    QUARROW_NEED_SAMPLES();
    const TDBaseCase& c = GetParam();
    TDBaseReader reader(TablePath(QString::fromLatin1(c.File)));
    EXPECT_EQ(reader.VersionByte(), c.Version);
    EXPECT_EQ(reader.DeclaredCodePage(), c.CodePage);

    auto table = OpenSample(QString::fromLatin1(c.File));
    EXPECT_EQ(table->RecordCount(), c.Records);
    EXPECT_EQ(table->FieldDefs().Count(), c.Fields);
    if (c.Types) {
        EXPECT_EQ(FieldTypes(*table), QString::fromLatin1(c.Types));
    }
    const bool memoFileMissing = QString::fromLatin1(c.File).endsWith(QStringLiteral("dbase_8c.dbf"));
    int records = 0;
    for (table->First(); !table->Eof(); table->Next()) {
        for (TField* f : table->Fields()) {
            if (!(memoFileMissing && f->IsBlob()) && !f->IsNull()) (void)f->AsVariant();
        }
        ++records;
    }
    EXPECT_EQ(records, c.Records);
}

INSTANTIATE_TEST_SUITE_P(Samples, DBaseSampleTest, ::testing::ValuesIn(DBaseCases),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param.File).section(QLatin1Char('/'), 1);
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
                             return name.toStdString();
                         });

TEST(DBaseTable, DeletedRecordsAreLeftOutAndRepeatedNamesNumbered)
{
    QUARROW_NEED_SAMPLES();
    auto table = OpenSample(QStringLiteral("dbase/dbase3/dbase_03.dbf"));
    EXPECT_EQ(table->FieldDefs()[0]->Name(), "Point_ID");
    EXPECT_EQ(table->FieldDefs()[30]->Name(), "Point_ID_1");
    EXPECT_EQ(ColumnText(*table, QStringLiteral("Point_ID_1")),
              QStringList({"401", "402", "403", "405", "410", "416", "417", "419", "424", "425", "431", "432"}));
    table->Last();
    EXPECT_EQ(table->FieldByName("Point_ID")->AsString(), "05071232");
    table->SetRecNo(11);
    EXPECT_EQ(table->FieldByName("Point_ID_1")->AsInteger(), 431);
    table->First();
    EXPECT_EQ(RowText(*table).section(QLatin1Char('|'), 0, 9), "0507121|CMP|circular|12|<null>|no|Good|<null>|7/12/2005|10:56:30am");
    EXPECT_DOUBLE_EQ(table->FieldByName("Northing")->AsFloat(), 557904.898);
}

TEST(DBaseTable, MemoFilesOfEveryKind)
{
    QUARROW_NEED_SAMPLES();
    // dBASE III: text up to the end mark, over several blocks.
    auto d3 = OpenSample(QStringLiteral("dbase/dbase3/dbase_83.dbf"));
    d3->First();
    EXPECT_TRUE(d3->FieldByName("DESC")->AsString().startsWith(QStringLiteral("Our Original assortment...a little taste of heaven for everyone.")));
    EXPECT_EQ(d3->FieldByName("NAME")->AsString(), "Assorted Petits Fours");
    EXPECT_DOUBLE_EQ(d3->FieldByName("WEIGHT")->AsFloat(), 5.51);
    d3->Next();
    EXPECT_EQ(d3->FieldByName("DESC")->AsString().size(), 1268);

    // dBASE IV: the block header gives the length.
    auto d4 = OpenSample(QStringLiteral("dbase/dbase4-7/dbase_8b.dbf"));
    QStringList memos = ColumnText(*d4, QStringLiteral("MEMO"));
    EXPECT_EQ(memos.mid(0, 3), QStringList({"First memo\r\n", "Second memo", "Thierd memo"}));
    EXPECT_EQ(memos.count(QStringLiteral("<null>")), 1);
    d4->First();
    EXPECT_EQ(RowText(*d4).section(QLatin1Char('|'), 0, 4), "One|1|1/1/1970|True|1.23456789012346");
    d4->Next();
    d4->Next();
    EXPECT_TRUE(d4->FieldByName("LOGICAL")->IsNull());

    auto client = OpenSample(QStringLiteral("dbase/dbase4-7/client.dbf"));
    client->First();
    EXPECT_EQ(client->FieldByName("CLIENT")->AsString(), "WRIGHT & SONS, LTD.");
    EXPECT_TRUE(client->FieldByName("CLIEN_HIST")->AsString().startsWith(QStringLiteral("85-200  08/02/85")));

    // FoxPro: big-endian block headers; the text is DOS text without a declared page.
    auto fox = OpenSample(QStringLiteral("dbase/foxpro2/dbase_f5.dbf"), 850);
    fox->SetRecNo(2);
    EXPECT_TRUE(fox->FieldByName("OBSE")->AsString().startsWith(QStringLiteral("El meu pare.")));
    fox->First();
    EXPECT_EQ(fox->FieldByName("COMN")->AsString(), QString::fromUtf8("baix penedès"));
    EXPECT_EQ(fox->FieldByName("OFIC")->AsString(), QString::fromUtf8("químic prof sec"));
    const QString all = [&] {
        QStringList texts;
        for (fox->First(); !fox->Eof(); fox->Next())
            for (TField* f : fox->Fields())
                if (qobject_cast<TStringField*>(f) && !f->IsNull()) texts << f->AsString();
        return texts.join(QLatin1Char('\n'));
    }();
    for (const char* word : {"güell", "victòria", "josé"}) EXPECT_TRUE(all.contains(QString::fromUtf8(word))) << word;

    // Visual FoxPro: four-byte memo pointers.
    auto calls = OpenSample(QStringLiteral("dbase/vfp/calls.dbf"));
    calls->First();
    EXPECT_EQ(calls->FieldByName("NOTES")->AsString(), "Nancy told me about their blends. Thinking about it. Should call back later.");
    EXPECT_EQ(calls->FieldByName("SUBJECT")->AsString(), "Buy flavored coffees.");
    EXPECT_EQ(ColumnText(*OpenSample(QStringLiteral("dbase/vfp/contacts.dbf")), QStringLiteral("NOTES")).count(QStringLiteral("<null>")), 3);
}

TEST(DBaseTable, VisualFoxProValues)
{
    QUARROW_NEED_SAMPLES();
    auto products = OpenSample(QStringLiteral("dbase/vfp/dbase_31.dbf"));
    products->First();
    EXPECT_EQ(RowText(*products), "1|Chai|1|1|10 boxes x 20 bags|18|39|0|10|False");
    EXPECT_EQ(products->FieldByName("UNITPRICE")->AsCurrency(), TCurrency::FromInt(18));
    ASSERT_TRUE(products->Locate(QStringLiteral("PRODUCTID"), 61));
    EXPECT_EQ(products->FieldByName("PRODUCTNAM")->AsString(), QString::fromUtf8("Sirop d'érable"));
    EXPECT_EQ(products->FieldByName("UNITPRICE")->AsCurrency(), TCurrency::FromScaled(285000));

    auto calls = OpenSample(QStringLiteral("dbase/vfp/calls.dbf"));
    calls->First();
    EXPECT_EQ(DateText(calls->FieldByName("CALL_DATE")).left(10), "1994-11-21");
    EXPECT_EQ(DateText(calls->FieldByName("CALL_TIME")).left(10), "1899-12-30");

    auto contacts = OpenSample(QStringLiteral("dbase/vfp/contacts.dbf"));
    contacts->First();
    EXPECT_EQ(DateText(contacts->FieldByName("BIRTHDATE")), "1963-04-08 00:00:00");
    EXPECT_TRUE(contacts->FieldByName("LAST_MEETI")->IsNull());
}

TEST(DBaseTable, CodePagesDeclaredOrChosen)
{
    QUARROW_NEED_SAMPLES();
    auto russian = OpenSample(QStringLiteral("dbase/vfp/cp1251.dbf"));
    EXPECT_EQ(ColumnText(*russian, QStringLiteral("NAME")).first(), QString::fromUtf8("амбулаторно-поликлиническое"));
    EXPECT_EQ(qobject_cast<TStringField*>(russian->FieldByName("NAME"))->CodePage(), 1251);

    // No page declared: Windows-1252 unless the user chooses the page the text is in.
    auto undeclared = OpenSample(QStringLiteral("dbase/dbase3/INNAKLKVT20180904.dbf"));
    undeclared->First();
    EXPECT_EQ(undeclared->FieldByName("VO")->AsBytes(), QByteArray("\xC3.\xC2.\xC3\xE8\xF0\xE8\xF7"));
    auto chosen = OpenSample(QStringLiteral("dbase/dbase3/INNAKLKVT20180904.dbf"), 1251);
    chosen->First();
    EXPECT_EQ(chosen->FieldByName("VO")->AsString(), QString::fromUtf8("Г.В.Гирич"));
    EXPECT_EQ(chosen->FieldByName("DOCID")->AsString(), "8434A481-F9A7-474E-97F2-B6ADDB609308");
    EXPECT_DOUBLE_EQ(chosen->FieldByName("SUMPDV")->AsFloat(), 22.02);
    const QStringList reasons = ColumnText(*chosen, QStringLiteral("REASON"));
    EXPECT_EQ(reasons.size() - reasons.count(QStringLiteral("<null>")), 79);
    const QString someReason = *std::find_if(reasons.begin(), reasons.end(), [](const QString& s) { return s != QStringLiteral("<null>"); });
    EXPECT_TRUE(someReason.contains(QRegularExpression(QStringLiteral("[А-Яа-яІіЇїЄє]")))) << someReason.toStdString();

    // dBASE 7 names its language driver: DOS text carried into the Windows page.
    auto fish = OpenSample(QStringLiteral("dbase/dbase4-7/dbase_8c.dbf"));
    EXPECT_EQ(qobject_cast<TStringField*>(fish->FieldByName("Name"))->CodePage(), 1252);
}

TEST(DBaseTable, MissingMemoFileFailsOnlyTheMemoValues)
{
    QUARROW_NEED_SAMPLES();
    auto fish = OpenSample(QStringLiteral("dbase/dbase4-7/dbase_8c.dbf"));
    fish->First();
    EXPECT_EQ(fish->FieldByName("ID")->AsInteger(), 1);
    EXPECT_EQ(fish->FieldByName("Name")->AsString(), "Clown Triggerfish");
    EXPECT_EQ(fish->FieldByName("Species")->AsString(), "Ballistoides conspicillum");
    EXPECT_DOUBLE_EQ(fish->FieldByName("Length CM")->AsFloat(), 100.0);
    try {
        (void)fish->FieldByName("Description")->AsString();
        ADD_FAILURE() << "the memo read without its file";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("memo file"))) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("dbase_8c.dbf"))) << e.Message().toStdString();
    }
    EXPECT_EQ(ColumnText(*fish, QStringLiteral("ID")).last(), "10");
}

} // namespace
