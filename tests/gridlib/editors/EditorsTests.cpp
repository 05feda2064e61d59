#include "gridlib/editors/kqdbdatetimepicker.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
struct Data {
    Data()
    {
        ds.Define({{"Id", ftInteger}, {"Type", ftWideString}, {"Due", ftDate}});
        ds.AddRow({TVariant(1), TVariant(QStringLiteral("S")), TVariant::FromDate(EncodeDate(2020, 5, 17))});
        ds.AddRow({TVariant(2), TVariant(QStringLiteral("I")), TVariant::Null()});
        ds.AddRow({TVariant(3), TVariant(QStringLiteral("Apple")), TVariant::Null()});
        ds.AddRow({TVariant(4), TVariant(QStringLiteral("Apricot")), TVariant::Null()});
        source.SetDataSet(&ds);
        ds.Open();
    }
    TGridTestDataSet ds;
    TDataSource source;
};
} // namespace

TEST(DBDateTimePicker, ShowsAndWritesTheFieldAndBlankForNull)
{
    Data d;
    TkqDBDateTimePicker picker;
    picker.SetDataSource(&d.source);
    picker.SetDataField(QStringLiteral("Due"));
    EXPECT_EQ(picker.date(), QDate(2020, 5, 17));
    d.ds.Next();
    EXPECT_TRUE(picker.IsBlank());
    picker.setDate(QDate(2021, 1, 2));
    EXPECT_EQ(d.ds.State(), dsEdit);
    EXPECT_EQ(d.ds.FieldByName(QStringLiteral("Due"))->AsDateTime(), EncodeDate(2021, 1, 2));
    d.ds.Cancel();
    picker.SetReadOnly(true);
    picker.setDate(QDate(2022, 1, 2));
    EXPECT_EQ(d.ds.State(), dsBrowse);
    EXPECT_TRUE(d.ds.FieldByName(QStringLiteral("Due"))->IsNull());
}
