#include "gridlib/dialogs/kqdbnav.h"
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

TEST(DBNavigator, ButtonsFollowTheDataSetAndOnClickMayAbort)
{
    Data d;
    TkqDBNavigator nav;
    nav.SetVisibleButtons({nbsFirst, nbsPrior, nbsNext, nbsLast, nbsInsert, nbsDelete, nbsEdit, nbsPost, nbsCancel});
    EXPECT_EQ(nav.ButtonCount(), 9);
    EXPECT_FALSE(nav.Button(nbsFirst)->isEnabled());   // no data source yet
    nav.SetDataSource(&d.source);
    EXPECT_FALSE(nav.Button(nbsPrior)->isEnabled());   // at the beginning
    EXPECT_TRUE(nav.Button(nbsNext)->isEnabled());
    EXPECT_FALSE(nav.Button(nbsPost)->isEnabled());
    EXPECT_EQ(nav.Button(nbsDelete)->Hint(), QStringLiteral("Delete current record"));

    nav.Button(nbsLast)->click();
    EXPECT_EQ(d.ds.RecNo(), 6);
    EXPECT_FALSE(nav.Button(nbsNext)->isEnabled());
    nav.Button(nbsEdit)->click();
    EXPECT_TRUE(nav.Button(nbsPost)->isEnabled());
    EXPECT_FALSE(nav.Button(nbsEdit)->isEnabled());
    nav.Button(nbsCancel)->click();

    // The window's own delete: its handler runs first and aborts the navigator's.
    int handled = 0;
    nav.Button(nbsDelete)->OnClick = [&](QObject*) {
        ++handled;
        Abort();
    };
    nav.Button(nbsDelete)->click();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(d.ds.RecordCount(), 6);
    // Without a handler it asks first.
    nav.Button(nbsDelete)->OnClick = nullptr;
    TDialogSeam::AnswerMessages({mrCancel, mrOk});
    nav.Button(nbsDelete)->click();
    EXPECT_EQ(d.ds.RecordCount(), 6);
    nav.Button(nbsDelete)->click();
    EXPECT_EQ(d.ds.RecordCount(), 5);
    EXPECT_EQ(TDialogSeam::Messages().value(0), QStringLiteral("Delete record?"));

    // Switching the data source moves the buttons to the other dataset; read-only refuses edits.
    Data other;
    other.ds.SetReadOnly(true);
    nav.SetDataSource(&other.source);
    EXPECT_FALSE(nav.Button(nbsInsert)->isEnabled());
    nav.Button(nbsNext)->click();
    EXPECT_EQ(other.ds.RecNo(), 2);
    EXPECT_EQ(d.ds.RecNo(), 5);
    // A dataset made editable again (its window's read-only test passed) offers editing at once.
    other.ds.SetReadOnly(false);
    EXPECT_TRUE(nav.Button(nbsInsert)->isEnabled());
    EXPECT_TRUE(nav.Button(nbsEdit)->isEnabled());
}

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

