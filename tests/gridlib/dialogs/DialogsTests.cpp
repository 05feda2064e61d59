#include "gridlib/dialogs/kqdbnav.h"
#include "gridlib/dialogs/kqfilter.h"
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

TEST(FilterDialog, CriteriaFilterTheDataSetAndClearingEndsIt)
{
    Data d;
    TkqFilterDialog filter;
    filter.SetDataSource(&d.source);
    struct Case {
        const char* value;
        TkqFilterMatchType match;
        int records;
    };
    const Case cases[] = {
        {"ap", fdMatchStart, 2},                  // Apple, apricot: case ignored
        {"an", fdMatchAny, 2},                    // banana, Banana split
        {"banana", fdMatchExact, 1},
        {"apple or cherry", fdMatchStart, 2},
        {"ban and split", fdMatchAny, 1},
        {"null", fdMatchStart, 1},                // the empty name
        {"\"banana split\"", fdMatchExact, 1},    // quoted words stay together
    };
    for (const Case& c : cases) {
        TkqFieldInfo info;
        info.FieldName = QStringLiteral("Name");
        info.MatchType = c.match;
        info.FilterValue = QString::fromLatin1(c.value);
        filter.ApplyCriteria({info});
        EXPECT_EQ(d.ds.RecordCount(), c.records) << c.value;
    }
    filter.ApplyCriteria({});
    EXPECT_EQ(d.ds.RecordCount(), 6);
    EXPECT_FALSE(d.ds.Filtered());

    // The window: a value typed for a field filters on OK.
    OnModal([](QWidget* w) {
        auto* form = qobject_cast<TkqFilterDlg*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Filter"));
        ASSERT_EQ(form->Criteria->rowCount(), 3);   // the memo is not offered
        form->Criteria->item(1, 2)->setText(QStringLiteral("b"));
        form->OKButton->click();
    });
    filter.Caption = QStringLiteral("Filter");
    EXPECT_TRUE(filter.Execute());
    EXPECT_EQ(d.ds.RecordCount(), 2);
    // A filter handler of the dataset's own still runs first.
    bool ownRan = false;
    filter.ApplyCriteria({});
    d.ds.OnFilterRecord = [&](TDataSet*, bool& accept) {
        ownRan = true;
        accept = true;
    };
    d.ds.SetFiltered(true);
    TkqFieldInfo info;
    info.FieldName = QStringLiteral("Name");
    info.FilterValue = QStringLiteral("c");
    filter.ApplyCriteria({info});
    EXPECT_TRUE(ownRan);
    EXPECT_EQ(d.ds.RecordCount(), 1);
    filter.ApplyCriteria({});
    EXPECT_TRUE(d.ds.Filtered());
    EXPECT_EQ(d.ds.RecordCount(), 6);
}

