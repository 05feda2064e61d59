#include "tests/common/TestSupport.h"
#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqqbe.h"
#include "gridlib/core/Kqquery.h"
#include "gridlib/core/kqlookup.h"
#include "gridlib/core/kqstorep.h"
#include "platform/vcl/Dialogs.h"
#include "tests/gridlib/core/TableFixtures.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QString ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return {};
}

QString Text(const TDataSet& table, const char* field) { return table.FieldByName(QString::fromLatin1(field))->AsString(); }

// The area-code table with an index by state (case-insensitive), as a program would add it.
std::unique_ptr<TkqTable> AreaCodesByState()
{
    auto table = OpenKqSample(QStringLiteral("paradox/p4-tables/AREACODE.DB"));
    table->IndexDefs().Add(QStringLiteral("ByState"), QStringLiteral("State;Area Code"), TIndexOptions(ixCaseInsensitive));
    return table;
}

} // namespace

TEST(KqTable, FilterLinesJoinWithAndAndApplyOnAnOpenTable)
{
    QUARROW_NEED_SAMPLES();
    TkqTable table;
    table.SetkqFilter({QStringLiteral("a = 1"), QString(), QStringLiteral("b = 2  \t"), QStringLiteral(" \t")});
    EXPECT_EQ(table.GetFilterText(), QStringLiteral("a = 1 AND (b = 2)"));
    EXPECT_FALSE(table.IsSequenced());

    auto customers = OpenKqSample(QStringLiteral("paradox/p7-tables/CUSTOMER.DB"), {QStringLiteral("City = \"Aptos\"")});
    EXPECT_EQ(customers->RecordCount(), 3);
    customers->SetkqFilter({QStringLiteral("City = \"Aptos\""), QStringLiteral("CustNo > 12")});
    EXPECT_EQ(ColumnTexts(*customers, QStringLiteral("CustNo")), QStringList({"13", "14"}));
    // A text that does not compile: the box, and the table shows every record.
    TDialogSeam::AnswerMessages({mrOk});
    customers->SetkqFilter({QStringLiteral("City = 'Aptos'")});
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{QStringLiteral("Fail to set filter")});
    EXPECT_EQ(customers->RecordCount(), 20);
    customers->SetkqFilter({});
    EXPECT_TRUE(customers->IsSequenced());
    // The filter is in place when a closed table opens; a constant that does not convert stops
    // the opening with the conversion error.
    customers->Close();
    customers->SetkqFilter({QStringLiteral("CustNo <= 2")});
    customers->Open();
    EXPECT_EQ(customers->RecordCount(), 2);
    customers->Close();
    customers->SetkqFilter({QStringLiteral("CustNo <= two")});
    EXPECT_EQ(ErrorOf([&] { customers->Open(); }), QStringLiteral("'two' is not a valid integer value"));
    EXPECT_FALSE(customers->Active());
}

TEST(KqTable, QueryTextsAreKeptAndRunningThemIsNotSupported)
{
    QUARROW_NEED_SAMPLES();
    TkqTable table;
    table.SetTableName(SampleTable(QStringLiteral("paradox/p3-other/STATES.DB")));
    table.SetQuery({QStringLiteral("select * from states")});
    EXPECT_TRUE(table.TableName().isEmpty());
    EXPECT_TRUE(IsTableInQueryMode(&table));
    EXPECT_EQ(ErrorOf([&] { table.Open(); }), QStringLiteral("SQL over Paradox and dBASE tables is not supported"));
    EXPECT_EQ(table.QueryKind(), QStringLiteral("SQL"));
    table.SetQuery({QStringLiteral("QUERY"), QStringLiteral("states.db | Abv |")});
    EXPECT_EQ(ErrorOf([&] { table.Open(); }), QStringLiteral("Running QBE queries is not supported"));
    EXPECT_EQ(table.QueryKind(), QStringLiteral("QBE"));
    EXPECT_FALSE(table.Active());
    table.SetTableName(SampleTable(QStringLiteral("paradox/p3-other/STATES.DB")));
    EXPECT_TRUE(table.Query().isEmpty());
    table.Open();
    EXPECT_EQ(table.RecordCount(), 53);

    TkqQuery query;
    query.SetSQL({QStringLiteral("select * from customer")});
    EXPECT_EQ(ErrorOf([&] { query.Open(); }), QStringLiteral("SQL over Paradox and dBASE tables is not supported"));
    EXPECT_TRUE(query.ValidateWithMask());
    TkqStoredProc proc;
    proc.SetStoredProcName(QStringLiteral("GetCustomers"));
    EXPECT_EQ(ErrorOf([&] { proc.ExecProc(); }), QStringLiteral("Running stored procedures is not supported"));
    EXPECT_EQ(ErrorOf([&] { proc.Open(); }), QStringLiteral("Running stored procedures is not supported"));

    TkqQBE qbe;
    EXPECT_TRUE(qbe.AuxiliaryTables());
    EXPECT_TRUE(qbe.BlankAsZero());
    qbe.SetQBE({QStringLiteral("Query"), QStringLiteral(" customer.db | Name  |"), QStringLiteral("  | Check ~Customer_1, ~x |")});
    EXPECT_EQ(qbe.PreparedQBEText(), QStringLiteral("Query\r\n customer.db | Name  |\r\n  | Check  ,   |"));
    EXPECT_EQ(ErrorOf([&] { qbe.Open(); }), QStringLiteral("Running QBE queries is not supported"));
    EXPECT_FALSE(qbe.Active());
}

TEST(KqTable, IndexNamesForFieldLists)
{
    QUARROW_NEED_SAMPLES();
    auto table = OpenKqSample(QStringLiteral("paradox/p3-other/STATES.DB"));
    table->IndexDefs().Add(QStringLiteral("ByStateZip"), QStringLiteral("State;Zip From"), TIndexOptions(ixCaseInsensitive));
    table->IndexDefs().Add(QStringLiteral("ByState"), QStringLiteral("State"));
    // An exact list beats a prefix; a prefix ends at a field boundary; the primary index is "".
    EXPECT_EQ(table->FindAnyIndexNameForFields(QStringLiteral("State")), QStringLiteral("ByState"));
    EXPECT_EQ(table->FindAnyIndexNameForFields(QStringLiteral("Stat")), QStringLiteral("?"));
    EXPECT_EQ(table->FindAnyIndexNameForFields(QStringLiteral("abv")), QString());
    EXPECT_EQ(table->FindIndexNameForFields(QStringLiteral("State"), false), QStringLiteral("ByStateZip"));
    EXPECT_EQ(table->FindIndexNameForFields(QStringLiteral("Zip From"), true), QStringLiteral("?"));

    // The current first index field serves at once; another list switches; none answers false.
    EXPECT_TRUE(table->ChooseIndexForFields(QStringLiteral("ABV")));
    EXPECT_TRUE(table->IndexName().isEmpty());
    EXPECT_TRUE(table->ChooseIndexForSelected({QStringLiteral("State\t20\tState")}));
    EXPECT_EQ(table->IndexName(), QStringLiteral("ByState"));
    EXPECT_EQ(Text(*table, "State"), QStringLiteral("Alabama"));
    EXPECT_EQ(table->GetFirstIndexFieldName(), QStringLiteral("State"));
    EXPECT_FALSE(table->ChooseIndexForFields(QStringLiteral("Zip To")));
    EXPECT_FALSE(table->ChooseIndexForSelected({}));
    EXPECT_TRUE(IsTableWithIndex(table.get()));
    table->SetIndexFieldNames(QStringLiteral("Zip To"));
    EXPECT_EQ(Text(*table, "Abv"), QStringLiteral("PR"));   // 009
    EXPECT_TRUE(table->ChooseIndexForFields(QStringLiteral("Abv")));
    EXPECT_TRUE(table->IndexFieldNames().isEmpty());
    EXPECT_EQ(table->ActiveIndexFields(), QStringList{QStringLiteral("Abv")});
}

TEST(KqTable, KeySearchesOnARealKeyedTable)
{
    QUARROW_NEED_SAMPLES();
    auto table = OpenKqSample(QStringLiteral("paradox/p3-other/STATES.DB"));
    table->First();
    EXPECT_TRUE(table->FindKeyValues({QStringLiteral("TX")}, 0));
    EXPECT_EQ(Text(*table, "State"), QStringLiteral("Texas"));
    EXPECT_EQ(table->FindInProgress, 0);
    // The current record already matches, ignoring case; the index itself compares with case.
    EXPECT_TRUE(table->FindKeyValues({QStringLiteral("tx")}, 0));
    table->First();
    EXPECT_FALSE(table->FindKeyValues({QStringLiteral("tx")}, 0));
    EXPECT_FALSE(table->FindKeyValues({QStringLiteral("QQ")}, 0));
    EXPECT_EQ(Text(*table, "Abv"), QStringLiteral("AK"));   // stays where it was
    TDialogSeam::AnswerMessages({mrOk});
    EXPECT_FALSE(table->FindKeyValues({QStringLiteral("TX"), QStringLiteral("x")}, 1));
    EXPECT_EQ(TDialogSeam::Messages(),
              QStringList{QStringLiteral("Table tblSample: FindKey has too many lookup values for index ")});
    // The nearest record at or after a key.
    table->FindNearest(QStringList{QStringLiteral("O")});
    EXPECT_EQ(Text(*table, "Abv"), QStringLiteral("OH"));
    table->FindNearest(QStringList{QStringLiteral("ZZ")});
    EXPECT_TRUE(table->Eof());
    EXPECT_EQ(Text(*table, "Abv"), QStringLiteral("WY"));
    // Without an index: no key search.
    auto plain = OpenKqSample(QStringLiteral("dbase/dbase4-7/dbase_8b.dbf"));
    EXPECT_FALSE(plain->FindKeyValues({QStringLiteral("One")}, 0));
    EXPECT_FALSE(IsTableWithIndex(plain.get()));
}

TEST(KqTable, RangesAndIndexChoiceOnARealIndexedTable)
{
    QUARROW_NEED_SAMPLES();
    auto table = AreaCodesByState();
    EXPECT_EQ(table->RecordCount(), 135);
    ASSERT_TRUE(table->ChooseIndexForFields(QStringLiteral("State")));
    EXPECT_EQ(table->IndexName(), QStringLiteral("ByState"));
    EXPECT_TRUE(table->FieldMapsToCaseInsensitiveIndex(QStringLiteral("State")));
    EXPECT_TRUE(ActiveIndexMapsCaseInsensitive(table.get()));
    // The case-insensitive index finds "ca"; a two-value key narrows to one record.
    EXPECT_TRUE(table->FindKeyValues({QStringLiteral("ca")}, 0));
    EXPECT_EQ(Text(*table, "Area Code"), QStringLiteral("209"));
    EXPECT_TRUE(table->FindKeyValues({QStringLiteral("CA"), QStringLiteral("415")}, 1));
    EXPECT_EQ(Text(*table, "Area Code"), QStringLiteral("415"));

    table->SetRangeFromKey({QStringLiteral("CA")}, {QStringLiteral("CA")});
    EXPECT_EQ(table->RecordCount(), 12);
    EXPECT_EQ(Text(*table, "Area Code"), QStringLiteral("209"));
    table->Last();
    EXPECT_EQ(Text(*table, "Area Code"), QStringLiteral("916"));
    table->SetRangeFromKey({QStringLiteral("W")});   // WA, WI, WV and WY to the end
    EXPECT_EQ(table->RecordCount(), 7);
    table->ClearRange();
    EXPECT_EQ(table->RecordCount(), 135);

    // Typed search narrowing to the key: "N" and the padding character up to the field's size.
    table->SetNarrowSearch(true);
    EXPECT_TRUE(table->FindByText(QStringLiteral("n"), 0));
    EXPECT_EQ(table->RecordCount(), 22);
    EXPECT_EQ(Text(*table, "State"), QStringLiteral("NB"));
    EXPECT_TRUE(table->FindByText(QString(), 0));
    EXPECT_EQ(table->RecordCount(), 135);
    table->SetNarrowSearch(false);
    // Without narrowing, the locate option moves to the first match.
    KqIntl()->UseLocateMethodForSearch = false;
    EXPECT_TRUE(table->FindByText(QStringLiteral("ny"), 0));
    KqIntl()->UseLocateMethodForSearch = true;
    EXPECT_EQ(Text(*table, "State"), QStringLiteral("NY"));
    EXPECT_EQ(table->RecordCount(), 135);

    // A descending index starts with the highest code.
    table->IndexDefs().Add(QStringLiteral("Newest"), QStringLiteral("Area Code"), TIndexOptions(ixDescending));
    table->SwitchToIndexNamed(QStringLiteral("NEWEST"));
    EXPECT_EQ(table->IndexName(), QStringLiteral("Newest"));
    EXPECT_TRUE(table->ActiveIndexNamedDescending());
    const QString highest = Text(*table, "Area Code");
    table->Last();
    EXPECT_GT(highest, Text(*table, "Area Code"));

    // A range from another dataset's fields of the same names.
    auto source = OpenKqSample(QStringLiteral("paradox/p4-tables/AREACODE.DB"));
    source->FindKeyValues({QStringLiteral("213")}, 0);
    table->SetIndexName(QStringLiteral("ByState"));
    ApplyRangeFromDataSet(table.get(), source.get());
    // From CA 213 on: all but AB, AK, AL, AR, AZ, BC and CA 209.
    EXPECT_EQ(table->RecordCount(), 128);
    EXPECT_EQ(Text(*table, "Area Code"), QStringLiteral("213"));
}

TEST(KqTable, MasterDetailOverAnIndex)
{
    QUARROW_NEED_SAMPLES();
    auto states = OpenKqSample(QStringLiteral("paradox/p3-other/STATES.DB"));
    TDataSource source;
    source.SetDataSet(states.get());
    auto codes = AreaCodesByState();
    codes->SetIndexName(QStringLiteral("ByState"));
    codes->SetMasterFields(QStringLiteral("Abv"));
    codes->SetMasterSource(&source);
    EXPECT_TRUE(codes->HasMasterSource());
    EXPECT_EQ(codes->RecordCount(), 1);   // AK
    states->FindKeyValues({QStringLiteral("CA")}, 0);
    EXPECT_EQ(codes->RecordCount(), 12);
    states->FindKeyValues({QStringLiteral("NY")}, 0);
    EXPECT_EQ(codes->RecordCount(), 8);
    // With a master, the wanted index starts with the linked fields.
    EXPECT_TRUE(codes->ChooseIndexForFields(QStringLiteral("Area Code")));
    EXPECT_EQ(codes->IndexName(), QStringLiteral("ByState"));
    codes->SetMasterSource(nullptr);
    EXPECT_EQ(codes->RecordCount(), 135);
}

TEST(KqTable, RecordFilterWithHourglassSwitchAndFieldsAsParameters)
{
    QUARROW_NEED_SAMPLES();
    auto table = OpenKqSample(QStringLiteral("paradox/p7-tables/CUSTOMER.DB"));
    int calls = 0;
    bool sawHourglass = false;
    table->SetOnFilter([&](TkqTable* t, bool& accept) {
        ++calls;
        const QCursor* c = QApplication::overrideCursor();
        sawHourglass = sawHourglass || (c && c->shape() == Qt::WaitCursor);
        accept = t->FieldAsParam(QStringLiteral("City"))->AsString() == QLatin1String("Aptos");
    });
    EXPECT_EQ(table->RecordCount(), 3);
    EXPECT_EQ(calls, 20);
    EXPECT_TRUE(sawHourglass);
    EXPECT_FALSE(table->FilterShowedHourGlass());   // the data events put the arrow back
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(table->IsSequenced());
    // Switching the filter off shows every record; switching it on again waits for a refresh.
    table->SetOnFilterOptions(table->OnFilterOptions().With(ofoEnabled, false));
    EXPECT_EQ(table->RecordCount(), 20);
    SetFilterEnabledOption(table.get(), true);
    EXPECT_EQ(table->RecordCount(), 20);
    table->Refresh();
    EXPECT_EQ(table->RecordCount(), 3);
    table->SetOnFilter(nullptr);
    EXPECT_EQ(table->RecordCount(), 20);
    EXPECT_TRUE(table->IsSequenced());

    // Field values of the current record as parameters.
    table->FindKeyValues({QStringLiteral("1")}, 0);
    EXPECT_EQ(table->FieldAsParam(QStringLiteral("CustNo"))->DataType(), ftInteger);
    EXPECT_EQ(table->FieldAsParam(QStringLiteral("custno"))->AsInteger(), 1);
    EXPECT_EQ(table->FieldAsParam(QStringLiteral("Comments"))->AsString(), QStringLiteral("Small comment (less 100 symbols)"));
    EXPECT_EQ(table->FieldAsParam(QStringLiteral("DateEntered"))->AsDateTime(), EncodeDate(1996, 2, 2));
    table->FindKeyValues({QStringLiteral("6")}, 0);
    EXPECT_TRUE(table->FieldAsParam(QStringLiteral("Comments"))->AsString().isEmpty());
    EXPECT_EQ(ErrorOf([&] { table->FieldAsParam(QStringLiteral("Nope")); }), QStringLiteral("Field 'Nope' not found"));
}

TEST(KqTable, EscapeStopsALongFilterOnce)
{
    QUARROW_NEED_SAMPLES();
    auto table = OpenKqSample(QStringLiteral("paradox/p4-tables/AREACODE.DB"));
    int escapes = 0;
    table->SetOnFilterEscape([&](TDataSet*) { ++escapes; });
    table->SetOnFilterOptions({ofoEnabled, ofoCancelOnEscape});
    QWidget target;
    QCoreApplication::postEvent(&target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    table->SetOnFilter([](TkqTable*, bool& accept) { accept = false; });
    // Noticed within a hundred calls: the filter stops rejecting and every record shows.
    EXPECT_EQ(escapes, 1);
    EXPECT_FALSE(table->OnFilterOptions().Contains(ofoEnabled));
    EXPECT_EQ(table->RecordCount(), 135);
}

TEST(KqTable, LookupFieldsFromAnotherTable)
{
    QUARROW_NEED_SAMPLES();
    const QString states = QFileInfo(SampleTable(QStringLiteral("paradox/p3-other/STATES.DB"))).absolutePath();
    TkqTable codes;
    codes.SetTableName(SampleTable(QStringLiteral("paradox/p4-tables/AREACODE.DB")));
    codes.FieldDefs().Update();
    for (int i = 0; i < codes.FieldDefs().Count(); ++i) codes.FieldDefs()[i]->CreateField(&codes, &codes);
    auto addCalculated = [&](const char* name) {
        auto* f = new TStringField(&codes);
        f->SetFieldName(QString::fromLatin1(name));
        f->SetSize(20);
        f->SetFieldKind(fkCalculated);
        f->SetDataSet(&codes);
    };
    for (const char* name : {"StateName", "ZipFrom", "Short", "Odd", "Empty"}) addCalculated(name);
    codes.SetLookupFields({QStringLiteral("StateName;%1;STATES.DB;State;").arg(states),
                           QStringLiteral("ZipFrom;%1;STATES.DB;Zip From;").arg(states),
                           QStringLiteral("Short;%1;STATES.xyz;State;;Abv;N").arg(states),
                           QStringLiteral("Odd;%1;STATES.DB;State;").arg(states),
                           QStringLiteral("Empty;%1;STATES.DB;State;").arg(states)});
    // Links differing only in case reuse a table; three items never find a record; an empty
    // line hides its field.
    codes.SetLookupLinks({QStringLiteral("State;Abv"), QStringLiteral("STATE;ABV"), QStringLiteral("State;Abv"),
                          QStringLiteral("State;Abv;State"), QString()});
    codes.Open();
    EXPECT_EQ(Text(codes, "Area Code"), QStringLiteral("201"));
    EXPECT_EQ(Text(codes, "StateName"), QStringLiteral("New Jersey"));
    EXPECT_EQ(Text(codes, "ZipFrom"), QStringLiteral("070"));
    EXPECT_EQ(Text(codes, "Short"), QStringLiteral("New Jersey"));
    EXPECT_EQ(Text(codes, "Odd"), QString());
    EXPECT_FALSE(codes.FieldByName(QStringLiteral("Empty"))->Visible());
    // One table for StateName and ZipFrom, one opened by its short name, one each for the odd and
    // the empty links.
    const TkqLookupTableList* tables = GetLookupTablesList(&codes);
    ASSERT_NE(tables, nullptr);
    ASSERT_EQ(tables->size(), 4u);
    EXPECT_EQ(tables->at(1).Table->TableName(), QStringLiteral("STATES"));
    codes.FindKeyValues({QStringLiteral("204")}, 0);   // Manitoba: not in the states table
    EXPECT_EQ(Text(codes, "StateName"), QString());
    codes.FindKeyValues({QStringLiteral("212")}, 0);
    EXPECT_EQ(Text(codes, "StateName"), QStringLiteral("New York"));

    // The grid's seek and the filter's search reach the cached table.
    QString key;
    TField* result = nullptr;
    EXPECT_TRUE(SeekLookupTableForField(codes.FieldByName(QStringLiteral("StateName")), key, result));
    EXPECT_EQ(key, QStringLiteral("NY"));
    EXPECT_EQ(result->AsString(), QStringLiteral("New York"));
    TField* found = FindLookupResultField(&codes, codes.FieldByName(QStringLiteral("StateName")),
                                          [&](const QString& name) { return codes.FieldAsParam(name); });
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->AsString(), QStringLiteral("New York"));
    EXPECT_EQ(codes.FieldAsParam(QStringLiteral("StateName"))->AsString(), QStringLiteral("New York"));
    // A lookup combo's own table positioned for the field.
    TkqTable own;
    own.SetDatabaseName(states);
    own.SetTableName(QStringLiteral("STATES.DB"));
    own.Open();
    QString keyField;
    EXPECT_TRUE(PositionLookupTable(&codes, &own, QStringLiteral("StateName"), keyField));
    EXPECT_EQ(keyField, QStringLiteral("State"));
    EXPECT_EQ(Text(own, "State"), QStringLiteral("New York"));
    // Closing frees the lookup tables.
    codes.Close();
    EXPECT_TRUE(GetLookupTablesList(&codes)->empty());
}

TEST(KqTable, DamagedTablesGiveAClearError)
{
    QUARROW_NEED_SAMPLES();
    QTemporaryDir dir;
    const QByteArray original = ReadWholeFile(SampleTable(QStringLiteral("paradox/p7-tables/CUSTOMER.DB")));
    const QString copy = QDir(dir.path()).filePath(QStringLiteral("CUSTOMER.DB"));
    // The header cut short; a data block that points past the end of the file.
    WriteWholeFile(copy, original.left(1500));
    TkqTable table;
    table.SetTableName(copy);
    table.SetkqFilter({QStringLiteral("City = \"Aptos\"")});
    EXPECT_TRUE(ErrorOf([&] { table.Open(); }).contains(QStringLiteral("CUSTOMER.DB")));
    EXPECT_FALSE(table.Active());
    QByteArray badChain = original;
    badChain[0x0E] = char(0x7F);   // the first data block
    WriteWholeFile(copy, badChain);
    const QString message = ErrorOf([&] { table.Open(); });
    EXPECT_TRUE(message.contains(QStringLiteral("CUSTOMER.DB")) && message.contains(QStringLiteral("damaged"))) << message.toStdString();
    EXPECT_FALSE(table.Active());
}

TEST(KqTable, ParadoxAndDBaseNames)
{
    QUARROW_NEED_SAMPLES();
    TkqTable table;
    const struct {
        const char* Name;
        TTableType Type;
        bool Paradox, DBase;
    } cases[] = {
        {"customer.db", ttDefault, true, false},  {"CUSTOMER.DB", ttDefault, true, false},
        {"orders.dbf", ttDefault, false, true},   {"orders.DBF", ttDefault, false, true},
        {"archive.db.bak", ttDefault, false, false}, {"orders", ttParadox, true, false},
        {"orders", ttDBase, false, true},
    };
    for (const auto& c : cases) {
        table.SetTableType(c.Type);
        table.SetTableName(QString::fromLatin1(c.Name));
        EXPECT_EQ(table.IsParadoxTable(), c.Paradox) << c.Name;
        EXPECT_EQ(table.IsDBaseTable(), c.DBase) << c.Name;
    }
    // No validity checks are read: the PictureMasks lines stand.
    auto customers = OpenKqSample(QStringLiteral("paradox/p7-tables/CUSTOMER.DB"));
    EXPECT_TRUE(customers->GetParadoxMask(QStringLiteral("Zip/Postal Code")).isEmpty());
}

TEST(KqTable, DependentFlagsAndDestroyNotification)
{
    bool gone = false;
    TkqTable* seen = nullptr;
    {
        TkqTable table;
        table.AddDependentFlag(&gone);
        table.OnDestroyNotify = [&](TkqTable* t) { seen = t; };
        EXPECT_FALSE(gone);
    }
    EXPECT_TRUE(gone);
    EXPECT_NE(seen, nullptr);
}
