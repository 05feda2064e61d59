#include "tests/platform/tables/TablesTestSupport.h"

#include <gtest/gtest.h>

namespace {

QString Text(const TDataSet& table, const char* field) { return table.FieldByName(QString::fromLatin1(field))->AsString(); }

} // namespace

TEST(TableIndex, KeyBuffersSearchAndKeepTheirValues)
{
    QUARROW_NEED_SAMPLES();
    auto table = OpenSample(QStringLiteral("paradox/p4-tables/AREACODE.DB"));
    ASSERT_EQ(table->IndexFieldCount(), 1);   // the primary key, in the table's own order
    EXPECT_EQ(table->IndexFields(0)->FieldName(), QStringLiteral("Area Code"));
    table->SetKey();
    EXPECT_EQ(table->State(), dsSetKey);
    table->FieldByName(QStringLiteral("Area Code"))->SetAsString(QStringLiteral("415"));
    EXPECT_THROW(table->FieldByName(QStringLiteral("State"))->SetAsString(QStringLiteral("CA")), EDatabaseError);
    ASSERT_TRUE(table->GotoKey());
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(Text(*table, "State"), QStringLiteral("CA"));
    // EditKey keeps the key; an exclusive nearest search passes over the equal record.
    table->EditKey();
    EXPECT_EQ(Text(*table, "Area Code"), QStringLiteral("415"));
    table->SetKeyExclusive(true);
    table->GotoNearest();
    EXPECT_EQ(Text(*table, "Area Code"), QStringLiteral("416"));
    // Leaving the key state any other way drops what was typed.
    table->EditKey();
    table->FieldByName(QStringLiteral("Area Code"))->SetAsString(QStringLiteral("999"));
    table->First();
    EXPECT_TRUE(table->FindKey({TVariant(QStringLiteral("201"))}));
    EXPECT_FALSE(table->FindKey({TVariant(QStringLiteral("200"))}));
    EXPECT_EQ(Text(*table, "Area Code"), QStringLiteral("201"));
    EXPECT_THROW(table->FindKey({TVariant(QStringLiteral("201")), TVariant(QStringLiteral("x"))}), EDatabaseError);
}

TEST(TableIndex, OrdersRangesAndTheirCombinationWithFilters)
{
    QUARROW_NEED_SAMPLES();
    auto table = OpenSample(QStringLiteral("dbase/vfp/dbase_31.dbf"));
    EXPECT_EQ(table->IndexFieldCount(), 0);
    EXPECT_THROW(table->SetRangeStart(), EDatabaseError);   // no index
    table->SetIndexFieldNames(QStringLiteral("CATEGORYID;UNITPRICE"));
    EXPECT_EQ(table->IndexFieldCount(), 2);
    table->SetRange({TVariant(2)}, {TVariant(3)});   // categories 2 and 3
    const int inRange = table->RecordCount();
    int previous = -1;
    double previousPrice = -1;
    for (table->First(); !table->Eof(); table->Next()) {
        const int category = table->FieldByName(QStringLiteral("CATEGORYID"))->AsInteger();
        const double price = table->FieldByName(QStringLiteral("UNITPRICE"))->AsFloat();
        EXPECT_TRUE(category == 2 || category == 3);
        EXPECT_TRUE(category > previous || (category == previous && price >= previousPrice));
        previous = category;
        previousPrice = price;
    }
    EXPECT_EQ(inRange, 12 + 13);
    // A cursor filter and the dataset's own filter narrow the range further.
    const TFilterHandle handle = table->AddFilterCallback([](TDataSet* ds) { return ds->FieldByName(QStringLiteral("UNITPRICE"))->AsFloat() < 20; });
    table->ActivateFilter(handle);
    table->Refresh();
    const int cheap = table->RecordCount();
    EXPECT_LT(cheap, inRange);
    table->OnFilterRecord = [](TDataSet* ds, bool& accept) { accept = ds->FieldByName(QStringLiteral("CATEGORYID"))->AsInteger() == 3; };
    table->SetFiltered(true);
    EXPECT_LT(table->RecordCount(), cheap);
    EXPECT_FALSE(table->IsSequenced());
    table->SetFiltered(false);
    table->DropFilter(handle);
    table->Refresh();
    EXPECT_EQ(table->RecordCount(), inRange);
    EXPECT_THROW(table->ActivateFilter(handle), EDatabaseError);
    table->CancelRange();
    EXPECT_EQ(table->RecordCount(), 77);
    // A named order that does not exist is refused and the old one stays.
    EXPECT_THROW(table->SetIndexName(QStringLiteral("Missing")), EDatabaseError);
    EXPECT_EQ(table->IndexFieldNames(), QStringLiteral("CATEGORYID;UNITPRICE"));
    // Closing drops the cursor's filters.
    table->ActivateFilter(table->AddFilterCallback([](TDataSet*) { return false; }));
    table->Close();
    table->Open();
    EXPECT_EQ(table->RecordCount(), 77);
}
