#include "platform/tables/AccessTables.h"
#include "tests/platform/tables/TablesTestSupport.h"

#include <gtest/gtest.h>

namespace {

QString ConnectionStringFor(const QString& relative)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Persist Security Info=False").arg(TablePath(relative));
}

#define SKIP_WITHOUT_ACCESS() \
    if (!AccessDatabasesSupported()) GTEST_SKIP() << "built without the Access back end"

TEST(AccessDatabase, TablesOfEveryDatabaseWithoutTheSystemTables)
{
    QUARROW_NEED_SAMPLES();
    SKIP_WITHOUT_ACCESS();
    const struct {
        const char* File;
        int Jet;
        QStringList Tables;
    } cases[] = {
        {"access/jet3/testV1997.mdb", 3, {"Table1", "Table2", "Table3", "Table4"}},
        {"access/jet3/test2V1997.mdb", 3, {"MSP_PROJECTS"}},
        {"access/jet3/charsetGBK.mdb", 3, {"table1"}},
        {"access/jet4/test2V2000.mdb", 4, {"MSP_PROJECTS"}},
        {"access/jet4/testUnicodeCompV2003.mdb", 4, {"Table"}},
        {"access/jet4/fixedNumericTestV2000.mdb", 4, {"test"}},
    };
    for (const auto& c : cases) {
        TADOConnection connection;
        connection.SetConnectionString(ConnectionStringFor(QString::fromLatin1(c.File)));
        QStringList names;
        connection.GetTableNames(names);
        EXPECT_EQ(names, c.Tables) << c.File;
        EXPECT_EQ(connection.Database()->JetVersion(), c.Jet) << c.File;
        connection.GetTableNames(names, true);
        EXPECT_TRUE(names.contains(QStringLiteral("MSysObjects"))) << c.File;
        // Every value of every table reads.
        for (const QString& name : c.Tables) {
            TADOTable table;
            table.SetConnection(&connection);
            table.SetTableName(name);
            table.Open();
            for (table.First(); !table.Eof(); table.Next())
                for (TField* f : table.Fields())
                    if (!f->IsNull()) (void)f->AsVariant();
        }
    }
}

TEST(AccessDatabase, Jet3ValuesOfEveryType)
{
    QUARROW_NEED_SAMPLES();
    SKIP_WITHOUT_ACCESS();
    TADOTable table;
    table.SetConnectionString(TablePath(QStringLiteral("access/jet3/testV1997.mdb")));
    table.SetTableName(QStringLiteral("Table1"));
    table.Open();
    EXPECT_EQ(DescribeFields(table), "A String 50, B String 100, C Word 0, D Smallint 0, E Integer 0, F Float 0, "
                                     "G DateTime 0, H Currency 0, I Boolean 0");
    ASSERT_EQ(table.RecordCount(), 2);
    table.First();
    EXPECT_EQ(RowText(table), "a|b|0|0|0|0|12/12/1981|0|False");
    table.Next();
    EXPECT_EQ(RowText(table), "abcdefg|hijklmnop|2|222|333333333|444.555|9/21/1974|3.5|True");
    EXPECT_EQ(DateText(table.FieldByName("G")), "1974-09-21 00:00:00");
    EXPECT_EQ(table.FieldByName("H")->AsCurrency(), TCurrency::FromScaled(35000));
    table.Close();

    table.SetTableName(QStringLiteral("Table3"));
    table.Open();
    EXPECT_EQ(DescribeFields(table), "a AutoInc 0, b String 50");
    EXPECT_TRUE(table.IsEmpty());
    table.Close();
    table.SetTableName(QStringLiteral("table4"));
    table.Open();
    EXPECT_EQ(DescribeFields(table), "name String 50, data Guid 38");
}

TEST(AccessDatabase, MemosAndOleObjectsOfBothVersions)
{
    QUARROW_NEED_SAMPLES();
    SKIP_WITHOUT_ACCESS();
    for (const char* file : {"access/jet3/test2V1997.mdb", "access/jet4/test2V2000.mdb"}) {
        TADOConnection connection;
        connection.SetConnectionString(ConnectionStringFor(QString::fromLatin1(file)));
        TADOTable table;
        table.SetConnection(&connection);
        table.SetTableName(QStringLiteral("MSP_PROJECTS"));
        table.Open();
        EXPECT_EQ(table.FieldDefs().Count(), 74) << file;
        ASSERT_EQ(table.RecordCount(), 1) << file;
        const QString author = table.FieldByName("PROJ_PROP_AUTHOR")->AsString();
        EXPECT_EQ(author.size(), 348) << file;
        EXPECT_TRUE(author.startsWith(QStringLiteral("Jon Iles this is a a vawesrasoih"))) << file;
        EXPECT_TRUE(table.FieldByName("PROJ_PROP_CATEGORY")->IsNull());
        EXPECT_EQ(table.FieldByName("PROJ_NAME")->AsString(), "Project1");
        EXPECT_EQ(table.FieldByName("PROJ_OPT_CURRENCY_SYMBOL")->AsString(), QString::fromUtf8("£"));
        EXPECT_EQ(DateText(table.FieldByName("PROJ_LAST_SAVED")), "2006-02-03 22:11:00");
        const TField* ole = table.FieldByName("RESERVED_BINARY_DATA");
        EXPECT_EQ(ole->DataType(), ftBlob);
        const qsizetype oleSize = ole->AsBytes().size();
        EXPECT_GT(oleSize, 20000) << file;
        EXPECT_LT(oleSize, 26000) << file;
        // Closing the connection closes its tables.
        connection.Close();
        EXPECT_FALSE(table.Active());
    }
}

TEST(AccessDatabase, TextInUnicodeOrInTheChosenCodePage)
{
    QUARROW_NEED_SAMPLES();
    SKIP_WITHOUT_ACCESS();
    TADOTable unicode;
    unicode.SetConnectionString(TablePath(QStringLiteral("access/jet4/testUnicodeCompV2003.mdb")));
    unicode.SetTableName(QStringLiteral("Table"));
    unicode.Open();
    EXPECT_EQ(DescribeFields(unicode), "ID AutoInc 0, Unicode WideString 255");
    const QStringList texts = ColumnText(unicode, QStringLiteral("Unicode"));
    ASSERT_EQ(texts.size(), 8);
    EXPECT_EQ(texts.mid(0, 5), QStringList({QString::fromUtf8("only ascii chars"), QString::fromUtf8("ääkkösiä"), QString::fromUtf8("Мир"),
                                            QStringLiteral(u"\u03F0\u03B1\u1F76 \u03C4\u1F79\u03C4' \u1F10\u03B3\u1F7C \u039A\u1F7B\u03F0\u03BB\u03C9\u03C0\u03B1"), QString::fromUtf8("漢字仮名交じり文")}));
    EXPECT_EQ(texts[6], QString::fromUtf8("ümlaut"));
    QString all = QStringLiteral("\t\r\n");
    for (int c = 0x20; c <= 0xFF; ++c) all += QChar(c);
    for (const QChar ch : all) EXPECT_TRUE(texts[7].contains(ch)) << int(ch.unicode());

    // Jet 3 text is in the code page of the machine that wrote it: Windows-1252 unless chosen.
    TADOConnection gbk;
    gbk.SetConnectionString(TablePath(QStringLiteral("access/jet3/charsetGBK.mdb")));
    TADOTable table;
    table.SetConnection(&gbk);
    table.SetTableName(QStringLiteral("table1"));
    table.Open();
    EXPECT_EQ(table.FieldByName("field1")->AsBytes(), QByteArray("GBK\xB1\xE0\xC2\xEB"));
    EXPECT_EQ(table.FieldByName("ID")->AsInteger(), 2);
    table.Close();
    gbk.SetCodePage(936);
    table.Open();
    EXPECT_EQ(table.FieldByName("field1")->AsString(), QString::fromUtf8("GBK编码"));
    EXPECT_EQ(qobject_cast<TStringField*>(table.FieldByName("field1"))->CodePage(), 936);
}

TEST(AccessDatabase, DecimalColumns)
{
    QUARROW_NEED_SAMPLES();
    SKIP_WITHOUT_ACCESS();
    TADOTable table;
    table.SetConnectionString(TablePath(QStringLiteral("access/jet4/fixedNumericTestV2000.mdb")));
    table.SetTableName(QStringLiteral("test"));
    table.Open();
    EXPECT_EQ(DescribeFields(table), "col1 Memo 0, col2 FMTBcd 0, col3 FMTBcd 0, col4 FMTBcd 0, col5 FMTBcd 0, col6 FMTBcd 0, col7 FMTBcd 0");
    table.First();
    EXPECT_EQ(RowText(table), "some data|1|0|0|4|-1|1");
}

TEST(AccessDatabase, ConnectionStringNamesTheFile)
{
    const struct {
        const char* Text;
        const char* File;
    } cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\data\\orders.mdb;Persist Security Info=False", "C:\\data\\orders.mdb"},
        {"data source = /srv/a b.mdb ; Mode=Read", "/srv/a b.mdb"},
        {"Provider=x;Data Source=\"/srv/semi;colon.mdb\";Jet OLEDB:Engine Type=5", "/srv/semi;colon.mdb"},
        {"/srv/plain.mdb", "/srv/plain.mdb"},
        {"Provider=Microsoft.Jet.OLEDB.4.0", ""},
    };
    for (const auto& c : cases) {
        TADOConnection connection;
        connection.SetConnectionString(QString::fromUtf8(c.Text));
        EXPECT_EQ(connection.DataSource(), QString::fromUtf8(c.File)) << c.Text;
    }
}

TEST(AccessDatabase, ClearErrors)
{
    QUARROW_NEED_SAMPLES();
    auto message = [](const std::function<void()>& action) {
        try {
            action();
        } catch (const EDatabaseError& e) {
            return e.Message();
        }
        return QString();
    };
    if (!AccessDatabasesSupported()) {
        EXPECT_EQ(message([] { OpenAccessDatabase(TablePath(QStringLiteral("access/jet3/testV1997.mdb"))); }),
                  "Access databases (.mdb) are not supported in this build");
        return;
    }
    EXPECT_TRUE(message([] { OpenAccessDatabase(TablePath(QStringLiteral("paradox/p7-tables/CUSTOMER.DB"))); })
                    .contains(QStringLiteral("is not an Access database")));
    EXPECT_TRUE(message([] { OpenAccessDatabase(TablePath(QStringLiteral("access/none.mdb"))); }).contains(QStringLiteral("Cannot open file")));
    TADOTable table;
    table.SetConnectionString(TablePath(QStringLiteral("access/jet3/testV1997.mdb")));
    table.SetTableName(QStringLiteral("Nothing"));
    EXPECT_TRUE(message([&] { table.Open(); }).contains(QStringLiteral("Table \"Nothing\" does not exist")));
    EXPECT_FALSE(table.Active());
    table.SetTableName(QStringLiteral("Table1"));
    table.SetConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0"));
    EXPECT_TRUE(message([&] { table.Open(); }).contains(QStringLiteral("names no database file")));
}

} // namespace
