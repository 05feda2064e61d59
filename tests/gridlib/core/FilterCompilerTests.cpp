#include "tests/common/TestSupport.h"
#include "gridlib/core/kqfilter.h"
#include "platform/vcl/Dialogs.h"
#include "tests/gridlib/core/TableFixtures.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace {

// The fields of the fixture: text, 2-decimal number, small integer, logical, date, and two
// names that begin with the logical words.
std::unique_ptr<TTable> FixtureTable(const QTemporaryDir& dir)
{
    const QString file = WriteDBaseFixture(dir, QStringLiteral("fixture.dbf"),
                                           {{"NAME", 'C', 20}, {"AMOUNT", 'N', 10, 2}, {"QTY", 'N', 5}, {"PAID", 'L', 1},
                                            {"DUE", 'D', 8}, {"ORDERS", 'N', 5}, {"ANDY", 'C', 5}},
                                           {{"Smith", "12.50", "3", "T", "20240105", "5", "x"},
                                            {"Jones", "7.25", "12", "F", "20231231", "6", "y"},
                                            {"Smithers", "100.00", "1", "T", "", "7", "x"}});
    auto table = std::make_unique<TTable>();
    table->SetTableName(file);
    table->Open();
    return table;
}

quint16 U16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 U32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }

struct TSlot {
    quint32 Class, Op;
    quint16 A, B, C;
};
TSlot Slot(const QByteArray& block, int index)
{
    const int at = FilterBlock::HeaderSize + index * FilterBlock::NodeSize;
    return {U32(block, at), U32(block, at + 4), U16(block, at + 8), U16(block, at + 10), U16(block, at + 12)};
}
QByteArray Literal(const QByteArray& block, int offset, int size) { return block.mid(U16(block, 8) + offset, size); }

} // namespace

TEST(FilterCompiler, AComparisonIsThreeNodesInPostOrderWithTheRootFirst)
{
    QTemporaryDir dir;
    auto table = FixtureTable(dir);
    const QByteArray block = CompileFilter(QStringLiteral("NAME = \"Smith\""), table.get());
    ASSERT_FALSE(block.isNull());
    // Header: version, size, nodes, node area, literal area ("NAME\0Smith\0" is 11 bytes).
    EXPECT_EQ(U16(block, 0), 1);
    EXPECT_EQ(U16(block, 2), 10 + 3 * 14 + 11);
    EXPECT_EQ(U16(block, 4), 3);
    EXPECT_EQ(U16(block, 6), 10);
    EXPECT_EQ(U16(block, 8), 52);
    EXPECT_EQ(block.size(), 63);
    const TSlot root = Slot(block, 0), constant = Slot(block, 1), field = Slot(block, 2);
    EXPECT_EQ(root.Class, quint32(nodeBINARY));
    EXPECT_EQ(root.Op, quint32(canEQ));
    EXPECT_EQ(root.A, 28);   // the field, written first, in the last slot
    EXPECT_EQ(root.B, 14);
    EXPECT_EQ(field.Class, quint32(nodeFIELD));
    EXPECT_EQ(field.Op, quint32(canFIELD2));
    EXPECT_EQ(field.A, 1);
    EXPECT_EQ(Literal(block, field.B, 5), QByteArray("NAME", 5));
    EXPECT_EQ(constant.Class, quint32(nodeCONST));
    EXPECT_EQ(constant.Op, quint32(canCONST2));
    EXPECT_EQ(constant.A, fdtString);
    EXPECT_EQ(constant.B, 6);
    EXPECT_EQ(Literal(block, constant.C, 6), QByteArray("Smith", 6));
}

TEST(FilterCompiler, ConstantsTakeTheTypeOfTheFieldOnTheLeft)
{
    QTemporaryDir dir;
    auto table = FixtureTable(dir);
    const struct {
        const char* Text;
        int Type;
        QByteArray Bytes;
    } cases[] = {
        {"QTY = 12", fdtInt32, QByteArray("\x0C\0\0\0", 4)},
        {"NAME = Smith  ", fdtString, QByteArray("Smith", 6)},                     // unquoted, blanks trimmed
        {"PAID = true", fdtBoolean, QByteArray("\xFF\xFF", 2)},
        {"PAID = False", fdtBoolean, QByteArray("\0\0", 2)},
        {"DUE = \"1/5/2024\"", fdtDate, QByteArray(4, '\0')},                     // day number, below
    };
    for (const auto& c : cases) {
        const QByteArray block = CompileFilter(QString::fromLatin1(c.Text), table.get());
        ASSERT_FALSE(block.isNull()) << c.Text;
        const TSlot constant = Slot(block, 1);
        EXPECT_EQ(constant.A, c.Type) << c.Text;
        if (c.Type == fdtDate) {
            EXPECT_EQ(qFromLittleEndian<qint32>(Literal(block, constant.C, 4).constData()),
                      DateTimeToDayNumber(EncodeDate(2024, 1, 5)));
        } else {
            EXPECT_EQ(Literal(block, constant.C, constant.B), c.Bytes) << c.Text;
        }
    }
    const QByteArray amount = CompileFilter(QStringLiteral("AMOUNT >= 7.25"), table.get());
    EXPECT_EQ(Slot(amount, 1).A, fdtFloat);
    EXPECT_EQ(qFromLittleEndian<double>(Literal(amount, Slot(amount, 1).C, 8).constData()), 7.25);
    EXPECT_EQ(Slot(amount, 0).Op, quint32(canGE));
}

TEST(FilterCompiler, GrammarEdges)
{
    QTemporaryDir dir;
    auto table = FixtureTable(dir);
    auto nodes = [&](const char* text) {
        const QByteArray block = CompileFilter(QString::fromLatin1(text), table.get());
        return block.isNull() ? -1 : int(U16(block, 4));
    };
    // AND and OR in any case after a relation; names that begin with them at a relation's start.
    EXPECT_EQ(nodes("ORDERS = 5 or ORDERS = 6"), 7);
    EXPECT_EQ(nodes("ANDY = \"x\" AnD ORDERS = 5"), 7);
    // What follows a complete expression is ignored.
    EXPECT_EQ(nodes("QTY = 12 then some"), 3);
    EXPECT_EQ(nodes("QTY = 12 )))"), 3);
    // Texts that do not parse: single quotes, an open parenthesis, nothing on the right.
    EXPECT_EQ(nodes("NAME = 'Smith'"), -1);
    EXPECT_EQ(nodes("(QTY = 12"), -1);
    EXPECT_EQ(nodes("QTY ="), -1);
    EXPECT_EQ(nodes(""), -1);
    // Texts too deep or too long for a block are refused, not followed down.
    EXPECT_EQ(nodes(qPrintable(QString(100000, QLatin1Char('(')))), -1);
    QStringList many;
    for (int i = 0; i < 20000; ++i) many << QStringLiteral("QTY = 1");
    EXPECT_EQ(nodes(qPrintable(many.join(QStringLiteral(" OR ")))), -1);
    EXPECT_TRUE(TDialogSeam::Records().empty());
}

TEST(FilterCompiler, AnExpressionOnTheLeftMakesTheRightAFieldReference)
{
    QTemporaryDir dir;
    auto table = FixtureTable(dir);
    // Unparenthesised, "AMOUNT * 2" is one name: no such field.
    TDialogSeam::AnswerMessages({mrOk});
    EXPECT_TRUE(CompileFilter(QStringLiteral("AMOUNT * 2 > 10"), table.get()).isNull());
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{QStringLiteral("AMOUNT * 2\rField not found in Table. ")});
    // Parenthesised: arithmetic over a field and a float constant; the comparison's right side
    // ("10") is written as a field, which the cursor then does not find.
    const QByteArray block = CompileFilter(QStringLiteral("(AMOUNT) * (2) > 10"), table.get());
    ASSERT_EQ(U16(block, 4), 5);
    EXPECT_EQ(Slot(block, 0).Op, quint32(canGT));
    EXPECT_EQ(Slot(block, 1).Class, quint32(nodeFIELD));
    EXPECT_EQ(Literal(block, Slot(block, 1).B, 3), QByteArray("10", 3));
    EXPECT_EQ(Slot(block, 2).Op, quint32(canMUL));
    EXPECT_EQ(Slot(block, 3).A, fdtFloat);
    TFilterHandle handle = 0;
    EXPECT_FALSE(ApplyFilterText(QStringLiteral("(AMOUNT) * (2) > 10"), table.get(), handle, false));
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(table->RecordCount(), 3);
}

TEST(FilterCompiler, FieldsMustStandOnTheLeftAndConstantsMustConvert)
{
    QTemporaryDir dir;
    auto table = FixtureTable(dir);
    TDialogSeam::AnswerMessages({mrOk});
    EXPECT_TRUE(CompileFilter(QStringLiteral("\"Smith\" = NAME"), table.get()).isNull());
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{QStringLiteral("\"Smith\"\rField not found in Table. ")});
    EXPECT_THROW(CompileFilter(QStringLiteral("QTY = many"), table.get()), EConvertError);
    EXPECT_THROW(CompileFilter(QStringLiteral("DUE = \"someday\""), table.get()), EConvertError);
}

TEST(FilterCompiler, LongOperandsAreCutAndThePoolIsNeverOverrun)
{
    QTemporaryDir dir;
    auto table = FixtureTable(dir);
    const QString seventy(70, QLatin1Char('a'));
    const QByteArray block = CompileFilter(QStringLiteral("NAME = \"%1\" OR QTY = 3").arg(seventy), table.get());
    ASSERT_EQ(U16(block, 4), 3);   // the cut operand ends the expression
    // The first 64 characters, a quote among them, lose their first and last character.
    EXPECT_EQ(Slot(block, 1).B, 63);
    EXPECT_EQ(Literal(block, Slot(block, 1).C, 62), QByteArray(62, 'a'));

    QStringList ors;
    for (int i = 0; i < 20; ++i) ors << QStringLiteral("NAME = \"%1\"").arg(QString(60, QLatin1Char('b')));
    EXPECT_TRUE(CompileFilter(ors.join(QStringLiteral(" OR ")), table.get()).isNull());
}

TEST(FilterCompiler, DamagedBlocksAreRefusedByTheCursor)
{
    QTemporaryDir dir;
    auto table = FixtureTable(dir);
    const QByteArray good = CompileFilter(QStringLiteral("NAME = \"Smith\" OR QTY >= 3 AND PAID = T"), table.get());
    ASSERT_FALSE(good.isNull());
    auto tryBlock = [&](const QByteArray& block) {
        try {
            table->DropFilter(table->AddFilter(block));
        } catch (const EDatabaseError&) {
        }
    };
    for (int n = 0; n < good.size(); ++n) tryBlock(good.left(n));
    for (int i = 0; i < good.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray bad = good;
            bad[i] = char(bad[i] ^ (1 << bit));
            tryBlock(bad);
        }
    QByteArray loop = good;
    qToLittleEndian<quint16>(0, loop.data() + 10 + 8);   // the root's left operand is the root
    try {
        table->AddFilter(loop);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The filter expression block is damaged"));
    }
}

TEST(FilterCompiler, ApplyingRemovingAndClosedTables)
{
    QTemporaryDir dir;
    auto table = FixtureTable(dir);
    TFilterHandle handle = 0;
    ASSERT_TRUE(ApplyFilterText(QStringLiteral("PAID = T"), table.get(), handle, false));
    EXPECT_NE(handle, 0);
    EXPECT_EQ(table->RecordCount(), 2);
    // A new text replaces the old one; an empty text removes it.
    ASSERT_TRUE(ApplyFilterText(QStringLiteral("QTY > 2"), table.get(), handle, false));
    EXPECT_EQ(table->RecordCount(), 2);
    ASSERT_TRUE(ApplyFilterText(QStringLiteral("QTY > 2 AND PAID = T"), table.get(), handle, false));
    EXPECT_EQ(ColumnTexts(*table, QStringLiteral("NAME")), QStringList{QStringLiteral("Smith")});
    ASSERT_TRUE(ApplyFilterText(QString(), table.get(), handle, false));
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(table->RecordCount(), 3);
    // A text that does not compile leaves the table unfiltered and fails quietly.
    EXPECT_FALSE(ApplyFilterText(QStringLiteral("NAME = 'x'"), table.get(), handle, false));
    EXPECT_EQ(table->RecordCount(), 3);
    EXPECT_TRUE(TDialogSeam::Records().empty());
    // A closed table only forgets the handle.
    handle = 7;
    table->Close();
    EXPECT_TRUE(ApplyFilterText(QStringLiteral("PAID = T"), table.get(), handle, false));
    EXPECT_EQ(handle, 0);
    EXPECT_FALSE(ApplyFilterText(QStringLiteral("PAID = T"), table.get(), handle, true));
}

// Filter texts over the real samples, through the library's table: how many records each shows.
TEST(FilterCompiler, FilterTextsOverRealParadoxAndDBaseTables)
{
    QUARROW_NEED_SAMPLES();
    const struct {
        const char* Table;
        const char* Filter;
        int Count;
    } cases[] = {
        // Paradox 7, autoincrement, text with blanks and "/" in field names, dates.
        {"paradox/p7-tables/CUSTOMER.DB", "CustNo > 10", 10},
        {"paradox/p7-tables/CUSTOMER.DB", "custno >= 5 AND CustNo <= 7", 3},
        {"paradox/p7-tables/CUSTOMER.DB", "City = \"Los Gatos\"", 6},
        {"paradox/p7-tables/CUSTOMER.DB", "City = Los Gatos", 6},
        {"paradox/p7-tables/CUSTOMER.DB", "City = \"Aptos\" OR City = \"Soquel\"", 5},
        {"paradox/p7-tables/CUSTOMER.DB", "(CustNo > 5) AND (City = \"Los Gatos\")", 5},
        {"paradox/p7-tables/CUSTOMER.DB", "CustNo < 3 OR CustNo > 18 AND City = \"Santa Cruz\"", 2},   // left to right
        {"paradox/p7-tables/CUSTOMER.DB", "LastName >= \"T\"", 3},
        {"paradox/p7-tables/CUSTOMER.DB", "State/Prov = \"CA\"", 20},
        {"paradox/p7-tables/CUSTOMER.DB", "Zip/Postal Code = \"94756\"", 4},
        {"paradox/p7-tables/CUSTOMER.DB", "DateEntered = \"3/21/1996\"", 3},
        {"paradox/p7-tables/CUSTOMER.DB", "DateEntered > \"3/31/1996\"", 5},
        {"paradox/p7-tables/CUSTOMER.DB", "DateEntered < \"3/1/1996\"", 2},
        {"paradox/p7-tables/CUSTOMER.DB", "City = \"los gatos\"", 0},   // values compare with case
        // Paradox 3 and 4 keyed tables.
        {"paradox/p3-other/STATES.DB", "Abv >= \"N\"", 25},
        {"paradox/p3-other/STATES.DB", "Abv >= \"N\" AND Abv < \"O\"", 8},
        {"paradox/p3-other/STATES.DB", "State = New York", 1},
        {"paradox/p3-other/STATES.DB", "Zip From < \"100\"", 8},
        {"paradox/p4-tables/AREACODE.DB", "Country = \"Canada\"", 15},
        {"paradox/p4-tables/AREACODE.DB", "State = \"CA\" OR State = \"NY\"", 20},
        // One table per field type: money, number, logical, BCD, time, time stamp, long, date.
        {"paradox/p5-fieldtypes/GENERAL.DB", "MONEYS >= 100", 2},
        {"paradox/p5-fieldtypes/GENERAL.DB", "ID = 333333333", 1},
        {"paradox/p5-fieldtypes/DECIMAL.DB", "DECIMAL < 0", 4},
        {"paradox/p5-fieldtypes/DECIMAL.DB", "DECIMAL > 1.5", 3},
        {"paradox/p5-fieldtypes/logical.db", "BOOL = True", 3},
        {"paradox/p5-fieldtypes/logical.db", "BOOL = F", 1},
        {"paradox/p5-fieldtypes/bcd.db", "A > 0", 1},
        {"paradox/p5-fieldtypes/bcd.db", "C < 0", 1},
        {"paradox/p5-fieldtypes/bcd.db", "B = 1", 1},
        {"paradox/p5-fieldtypes/time.db", "Time >= \"01:00:01\"", 2},
        {"paradox/p5-fieldtypes/timestamp.db", "Timestamp > \"1/1/2020\"", 1},
        {"paradox/p5-fieldtypes/long.db", "Id > 1 AND LONG = 2", 1},
        {"paradox/p5-fieldtypes/date7.db", "DATE = \"1/1/2018\"", 2},
        // dBASE IV, dBASE III with deleted records, Visual FoxPro.
        {"dbase/dbase4-7/dbase_8b.dbf", "NUMERICAL > 5", 5},
        {"dbase/dbase4-7/dbase_8b.dbf", "LOGICAL = T", 2},
        {"dbase/dbase4-7/dbase_8b.dbf", "DATE < \"1/1/1950\"", 4},
        {"dbase/dbase4-7/dbase_8b.dbf", "CHARACTER = \"Three\"", 1},
        {"dbase/dbase4-7/dbase_8b.dbf", "FLOAT >= 4", 5},
        {"dbase/dbase3/dbase_03.dbf", "Condition = \"Plugged\"", 3},
        {"dbase/dbase3/dbase_03.dbf", "Max_PDOP > 4.5", 3},
        {"dbase/vfp/dbase_31.dbf", "DISCONTINU = T", 8},
        {"dbase/vfp/dbase_31.dbf", "UNITPRICE > 50", 7},
        {"dbase/vfp/dbase_31.dbf", "CATEGORYID = 1 AND SUPPLIERID = 1", 2},
        {"dbase/vfp/dbase_31.dbf", "PRODUCTNAM = \"Tofu\"", 1},
    };
    for (const auto& c : cases) {
        auto table = OpenKqSample(QString::fromLatin1(c.Table), {QString::fromLatin1(c.Filter)});
        EXPECT_EQ(table->RecordCount(), c.Count) << c.Table << ": " << c.Filter;
        EXPECT_NE(table->FilterHandle(), 0) << c.Filter;
    }
    EXPECT_TRUE(TDialogSeam::Records().empty());
}
