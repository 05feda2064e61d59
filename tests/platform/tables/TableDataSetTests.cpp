#include "platform/tables/DBaseReader.h"
#include "platform/core/CodePages.h"
#include "tests/platform/tables/TablesTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>

namespace {

QString ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    return {};
}

TEST(TableDataSet, TableNameResolvesFolderExtensionAndType)
{
    TTable table;
    table.SetDatabaseName(TablePath(QStringLiteral("paradox/p7-tables")));
    table.SetTableName(QStringLiteral("CUSTOMER.DB"));
    EXPECT_EQ(table.TableFileName(), QDir(TablePath(QStringLiteral("paradox/p7-tables"))).filePath(QStringLiteral("CUSTOMER.DB")));
    EXPECT_EQ(table.ActualTableType(), ttParadox);
    EXPECT_TRUE(table.Exists());
    table.Open();
    EXPECT_EQ(table.RecordCount(), 20);
    table.Close();

    // Without an extension: a Paradox table first, then a dBASE table.
    table.SetDatabaseName(TablePath(QStringLiteral("dbase/vfp")));
    table.SetTableName(QStringLiteral("cp1251"));
    EXPECT_TRUE(table.TableFileName().endsWith(QStringLiteral("cp1251.dbf")));
    EXPECT_EQ(table.ActualTableType(), ttDBase);
    table.Open();
    EXPECT_EQ(table.RecordCount(), 4);
    table.Close();

    // The extension decides unless the type is set; a full path ignores the folder.
    table.SetDatabaseName(QStringLiteral("/nowhere"));
    table.SetTableName(TablePath(QStringLiteral("dbase/vfp/cp1251.dbf")));
    EXPECT_EQ(table.ActualTableType(), ttDBase);
    table.SetTableType(ttParadox);
    EXPECT_TRUE(ErrorOf([&] { table.Open(); }).contains(QStringLiteral("is not a Paradox table")));
    EXPECT_FALSE(table.Active());
    table.SetTableType(ttDefault);
    table.Open();
    EXPECT_EQ(table.RecordCount(), 4);

    // Settings change only while closed.
    EXPECT_THROW(table.SetTableName(QStringLiteral("other.db")), EDatabaseError);
    EXPECT_THROW(table.SetCodePage(1251), EDatabaseError);
}

TEST(TableDataSet, OpeningFailuresAreClearAndLeaveItClosed)
{
    TTable table;
    table.setObjectName(QStringLiteral("tblSource"));
    EXPECT_EQ(ErrorOf([&] { table.Open(); }), "tblSource: Missing TableName property");
    table.SetTableName(TablePath(QStringLiteral("paradox/none.db")));
    EXPECT_TRUE(ErrorOf([&] { table.Open(); }).startsWith(QStringLiteral("Cannot open file")));
    table.SetTableName(TablePath(QStringLiteral("paradox/p3-other/PCL-READ.ME")));
    table.SetTableType(ttDBase);
    EXPECT_TRUE(ErrorOf([&] { table.Open(); }).contains(QStringLiteral("is not a dBASE table")));
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(table.FieldCount(), 0);
}

TEST(TableDataSet, ReadOnlyAndNoSqlOrQbe)
{
    auto table = OpenSample(QStringLiteral("dbase/vfp/cp1251.dbf"));
    EXPECT_FALSE(table->CanModify());
    EXPECT_THROW(table->Edit(), EDatabaseError);
    EXPECT_THROW(table->Append(), EDatabaseError);
    EXPECT_THROW(table->Delete(), EDatabaseError);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->RecordCount(), 4);

    TQuery query;
    query.SetSQL({QStringLiteral("select * from customer")});
    EXPECT_EQ(ErrorOf([&] { query.Open(); }), "SQL over Paradox and dBASE tables is not supported");
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(ErrorOf([&] { query.ExecSQL(); }), "SQL over Paradox and dBASE tables is not supported");
}

TEST(TableDataSet, NavigationBookmarksFilterAndLocate)
{
    auto table = OpenSample(QStringLiteral("paradox/p3-other/STATES.DB"));
    table->Last();
    EXPECT_EQ(table->RecNo(), 53);
    const TBookmark last = table->GetBookmark();
    table->First();
    EXPECT_EQ(table->FieldByName("Abv")->AsString(), "AK");
    EXPECT_EQ(table->MoveBy(5), 5);
    EXPECT_EQ(table->RecNo(), 6);
    table->GotoBookmark(last);
    EXPECT_EQ(table->RecNo(), 53);
    ASSERT_TRUE(table->Locate(QStringLiteral("State"), QStringLiteral("texas"), loCaseInsensitive));
    EXPECT_EQ(table->FieldByName("Abv")->AsString(), "TX");

    // Records whose name starts with "New".
    table->OnFilterRecord = [](TDataSet* ds, bool& accept) { accept = ds->FieldByName("State")->AsString().startsWith(QStringLiteral("New")); };
    table->SetFiltered(true);
    EXPECT_EQ(ColumnText(*table, QStringLiteral("Abv")), QStringList({"NH", "NJ", "NM", "NY"}));
    EXPECT_EQ(table->RecordCount(), 4);
    table->SetFiltered(false);
    EXPECT_EQ(table->RecordCount(), 53);
}

TEST(TableDataSet, CodePageChosenByTheUserWins)
{
    // A declared Windows page, a declared DOS page and a chosen one.
    EXPECT_EQ(qobject_cast<TStringField*>(OpenSample(QStringLiteral("paradox/p7-tables/CUSTOMER.DB"))->FieldByName("City"))->CodePage(), 1252);
    auto dos = OpenSample(QStringLiteral("paradox/p4-tables/AREACODE.DB"));
    EXPECT_EQ(qobject_cast<TStringField*>(dos->FieldByName("Country"))->CodePage(), 1252);
    auto chosen = OpenSample(QStringLiteral("dbase/foxpro2/dbase_f5.dbf"), 850);
    EXPECT_EQ(qobject_cast<TStringField*>(chosen->FieldByName("COMN"))->CodePage(), 1252);
    EXPECT_EQ(qobject_cast<TBlobField*>(chosen->FieldByName("OBSE"))->CodePage(), 1252);
    auto russian = OpenSample(QStringLiteral("dbase/foxpro2/dbase_f5.dbf"), 866);
    EXPECT_EQ(qobject_cast<TStringField*>(russian->FieldByName("COMN"))->CodePage(), 1251);
}

TEST(TableDataSet, DosTextIsCarriedIntoTheWindowsPage)
{
    // Box-drawing characters have no Windows equivalent: they become their ASCII outline.
    const struct {
        int CodePage;
        QByteArray Dos;
        const char* Unicode;   // the exact text
        const char* Windows;   // the text as the Windows page carries it
    } cases[] = {
        {437, "\x81\x82\x84", "üéä", "üéä"},
        {850, "\xA2\x8A\x9D", "óèØ", "óèØ"},
        {852, "\xA5\x9F\xE7", "ąčš", "ąčš"},
        {866, "\x8C\xA8\xE0", "Мир", "Мир"},
        {437, "\xC4\xB3\xDA\xB0", "─│┌░", "-|+#"},
    };
    for (const auto& c : cases) {
        TTableText text(c.CodePage);
        QByteArray bytes = c.Dos;
        text.Translate(bytes);
        EXPECT_EQ(DecodeCodePage(bytes, text.CodePage()), QString::fromUtf8(c.Windows)) << c.CodePage;
        EXPECT_EQ(text.Decode(c.Dos), QString::fromUtf8(c.Unicode)) << c.CodePage;
    }
    EXPECT_EQ(TTableText(0).CodePage(), 1252);
    EXPECT_EQ(TTableText(1251).CodePage(), 1251);
    EXPECT_FALSE(TTableText(1251).Translates());
    EXPECT_EQ(TTableText(437, 1250).CodePage(), 1250);
}

// A Visual FoxPro table made here: nullable and varying-length fields share the hidden
// _NullFlags field, a bit each, in field order (the null bit before the length bit).
QByteArray VisualFoxProTable()
{
    struct TField {
        const char* Name;
        char Type;
        int Length;
        quint8 Flags;
    };
    const TField fields[] = {{"NAME", 'C', 5, 0x02}, {"NOTE", 'V', 6, 0x02}, {"AMOUNT", 'Y', 8, 0}, {"_NullFlags", '0', 1, 0x05}};
    const int recordLength = 1 + 5 + 6 + 8 + 1;
    const int headerLength = 32 + 4 * 32 + 1 + 263;
    QByteArray h(32, '\0');
    h[0] = char(0x32);
    h[4] = 3;
    h[8] = char(headerLength & 0xFF);
    h[9] = char(headerLength >> 8);
    h[10] = char(recordLength);
    h[29] = 0x03;
    int offset = 1;
    for (const TField& f : fields) {
        QByteArray d(32, '\0');
        d.replace(0, int(qstrlen(f.Name)), f.Name);
        d[11] = f.Type;
        d[12] = char(offset);
        d[16] = char(f.Length);
        d[18] = char(f.Flags);
        h += d;
        offset += f.Length;
    }
    h += '\x0D';
    h += QByteArray(263, '\0');
    auto record = [](const QByteArray& name, const QByteArray& note, qint64 amount, quint8 nulls) {
        QByteArray r(" ");
        r += name.leftJustified(5, ' ');
        r += note;
        for (int i = 0; i < 8; ++i) r += char((amount >> (8 * i)) & 0xFF);
        r += char(nulls);
        return r;
    };
    // NAME null bit 0; NOTE null bit 1, length bit 2.
    h += record("abc", QByteArray("xy\0\0\0\x02", 6), 123456, 0x04);
    h += record("", "abcdef", -5000, 0x01);
    h += record("z", QByteArray(6, '\0'), 0, 0x02);
    return h;
}

TEST(TableDataSet, VisualFoxProNullAndVaryingLengthFlags)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("flags.dbf"));
    WriteWholeFile(file, VisualFoxProTable());
    TTable table;
    table.SetTableName(file);
    table.Open();
    EXPECT_EQ(DescribeFields(table), "NAME String 5, NOTE String 6, AMOUNT Currency 0");
    QStringList rows;
    for (table.First(); !table.Eof(); table.Next()) rows << RowText(table);
    EXPECT_EQ(rows, QStringList({"abc|xy|12.3456", "<null>|abcdef|-0.5", "z|<null>|0"}));
}

} // namespace

namespace {

// A Paradox 7 table made here: alpha fields of ten characters, each record holding its
// number in every field; the header grows past 2 KB with many long field names.
QByteArray WideParadoxTable(int fieldCount, int records)
{
    auto put16 = [](QByteArray& b, int at, int v) { b[at] = char(v & 0xFF); b[at + 1] = char((v >> 8) & 0xFF); };
    QByteArray names;
    for (int i = 0; i < fieldCount; ++i) names += QByteArray("A rather long field name ") + QByteArray::number(i).rightJustified(3, '0') + '\0';
    const int fieldInfo = 0x78;
    const int used = fieldInfo + fieldCount * 2 + 4 + fieldCount * 4 + 261 + int(names.size()) + fieldCount * 2 + 16;
    const int headerSize = (used + 0x7FF) / 0x800 * 0x800;
    const int recordSize = fieldCount * 10;
    const int blockSize = 0x8000;
    const int perBlock = (blockSize - 6) / recordSize;
    const int blocks = (records + perBlock - 1) / perBlock;
    QByteArray h(headerSize, '\0');
    put16(h, 0x00, recordSize);
    put16(h, 0x02, headerSize);
    h[0x04] = 2;
    h[0x05] = 32;
    h[0x06] = char(records);
    put16(h, 0x0A, blocks);
    put16(h, 0x0C, blocks);
    put16(h, 0x0E, blocks ? 1 : 0);
    put16(h, 0x10, blocks);
    put16(h, 0x21, fieldCount);
    h[0x39] = 12;
    put16(h, 0x6A, 1252);
    for (int i = 0; i < fieldCount; ++i) {
        h[fieldInfo + 2 * i] = 0x01;
        h[fieldInfo + 2 * i + 1] = 10;
    }
    h.replace(fieldInfo + fieldCount * 6 + 4 + 261, int(names.size()), names);
    QByteArray data;
    for (int b = 0; b < blocks; ++b) {
        QByteArray block(blockSize, '\0');
        const int count = qMin(perBlock, records - b * perBlock);
        put16(block, 0, b + 1 < blocks ? b + 2 : 0);
        put16(block, 2, b);
        put16(block, 4, (count - 1) * recordSize);
        for (int r = 0; r < count; ++r)
            for (int f = 0; f < fieldCount; ++f) {
                const QByteArray value = "R" + QByteArray::number(b * perBlock + r);
                block.replace(6 + r * recordSize + f * 10, int(value.size()), value);
            }
        data += block;
    }
    return h + data;
}

TEST(TableDataSet, WideParadoxTableWithAHeaderBeyondTwoKilobytes)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("wide.db"));
    WriteWholeFile(file, WideParadoxTable(255, 30));
    TTable table;
    table.SetTableName(file);
    table.Open();
    ASSERT_EQ(table.FieldCount(), 255);
    EXPECT_EQ(table.Fields()[254]->FieldName(), "A rather long field name 254");
    EXPECT_EQ(table.RecordCount(), 30);
    EXPECT_EQ(ColumnText(table, QStringLiteral("A rather long field name 254")).mid(27), QStringList({"R27", "R28", "R29"}));
}

} // namespace
