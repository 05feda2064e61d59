#include "gridlib/dialogs/kqrecview.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/dialogs/ModalTestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>

namespace {

struct Data {
    Data()
    {
        ds.Define({{"Id", ftInteger}, {"Name", ftWideString}, {"Amount", ftFloat}, {"Notes", ftMemo}});
        const char* names[] = {"Apple", "banana", "Cherry", "apricot", "", "Banana split"};
        for (int i = 0; i < 6; ++i)
            ds.AddRow({TVariant(i + 1), TVariant(QString::fromLatin1(names[i])), TVariant(1.5 * i), TVariant::Null()});
        source.SetDataSet(&ds);
        ds.Open();
    }
    TGridTestDataSet ds;
    TDataSource source;
};

} // namespace

TEST(RecordViewPanel, ShowsTheCurrentRecordAndEditsIt)
{
    Data d;
    d.ds.FieldByName(QStringLiteral("Id"))->SetReadOnly(true);
    d.ds.FieldByName(QStringLiteral("Name"))->SetDisplayLabel(QStringLiteral("Fruit~Name"));
    TkqRecordViewPanel panel;
    QFont bold = panel.font();
    bold.setBold(true);
    panel.SetLabelFont(bold);
    panel.SetReadOnlyColor(clInfoBk);
    panel.SetDataSource(&d.source);
    ASSERT_NE(panel.EditorOf(QStringLiteral("Name")), nullptr);
    EXPECT_EQ(panel.LabelOf(QStringLiteral("Name"))->text(), QStringLiteral("Fruit Name"));
    EXPECT_TRUE(panel.LabelOf(QStringLiteral("Name"))->font().bold());
    EXPECT_EQ(panel.EditorOf(QStringLiteral("Name"))->text(), QStringLiteral("Apple"));
    EXPECT_TRUE(panel.EditorOf(QStringLiteral("Id"))->isReadOnly());
    EXPECT_EQ(panel.EditorOf(QStringLiteral("Id"))->palette().color(QPalette::Base), ColorToQColor(clInfoBk));
    d.ds.Next();
    EXPECT_EQ(panel.EditorOf(QStringLiteral("Name"))->text(), QStringLiteral("banana"));
    QLineEdit* name = panel.EditorOf(QStringLiteral("Name"));
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Kiwi"));
    EXPECT_EQ(d.ds.State(), dsEdit);
    d.ds.Post();
    EXPECT_EQ(d.ds.Stored(1, 1).RawString(), QStringLiteral("Kiwi"));
    // Hidden fields are not shown.
    d.ds.FieldByName(QStringLiteral("Amount"))->SetVisible(false);
    EXPECT_EQ(panel.EditorOf(QStringLiteral("Amount")), nullptr);
}

