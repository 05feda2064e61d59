#include "gridlib/dialogs/kqrecview.h"
#include "gridlib/editors/kqdbdatetimepicker.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
struct Dates {
    Dates()
    {
        ds.Define({{"Id", ftInteger}, {"Due", ftDate}});
        ds.AddRow({TVariant(1), TVariant::FromDate(EncodeDate(2020, 5, 17))});
        ds.AddRow({TVariant(2), TVariant::FromDate(EncodeDate(2021, 6, 1))});
        source.SetDataSet(&ds);
        ds.Open();
    }
    TGridTestDataSet ds;
    TDataSource source;
};
} // namespace

TEST(DatePickerUse, RecordViewEditsDatesThroughABoundPicker)
{
    Dates d;
    TkqRecordViewPanel panel;
    panel.SetDataSource(&d.source);
    auto* picker = qobject_cast<TkqDBDateTimePicker*>(panel.EditorOf(QStringLiteral("Due")));
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->Field(), d.ds.FieldByName(QStringLiteral("Due")));
    EXPECT_EQ(picker->text(), QStringLiteral("5/17/2020"));
    d.ds.Next();
    EXPECT_EQ(picker->text(), QStringLiteral("6/1/2021"));
    EXPECT_EQ(qobject_cast<TkqDBDateTimePicker*>(panel.EditorOf(QStringLiteral("Id"))), nullptr);
}
