// The lookup and search dialogs and the lookup combo that opens the lookup form: refusals,
// the grid's columns, the form's size and buttons, sort orders, searching, and what OK and
// Cancel leave in the datasets.

#include "gridlib/dialogs/kqdblookdlg.h"
#include "gridlib/dialogs/kqlookupdlg.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Customers {
    Customers()
    {
        ds.FieldDefs().Add(QStringLiteral("CustNo"), ftInteger);
        ds.FieldDefs().Add(QStringLiteral("Company"), ftString, 30);
        ds.FieldDefs().Add(QStringLiteral("City"), ftString, 20);
        ds.CreateDataSet();
        const struct {
            int no;
            const char *company, *city;
        } rows[] = {{10, "Cobalt Tools", "Oslo"}, {20, "Acme", "Lima"}, {30, "Bayside Ltd", "Kiel"}, {40, "Bolt & Nut", "Kiel"}};
        for (const auto& r : rows) {
            ds.Append();
            ds.FieldByName(QStringLiteral("CustNo"))->SetAsInteger(r.no);
            ds.FieldByName(QStringLiteral("Company"))->SetAsString(QString::fromLatin1(r.company));
            ds.FieldByName(QStringLiteral("City"))->SetAsString(QString::fromLatin1(r.city));
            ds.Post();
        }
        ds.FieldByName(QStringLiteral("Company"))->SetDisplayLabel(QStringLiteral("Company name"));
        ds.First();
        TDialogSeam::Clear();
    }
    ~Customers() { TDialogSeam::Clear(); }
    TClientDataSet ds;
};

} // namespace

TEST(LookupDialog, RefusesWithoutAUsableTable)
{
    Customers c;
    TkqLookupDialog lookup;
    TDialogSeam::AnswerMessages({mrOk, mrOk});
    EXPECT_FALSE(lookup.Execute());
    TClientDataSet closed;
    lookup.SetLookupTable(&closed);
    EXPECT_FALSE(lookup.Execute());
    TkqSearchDialog search;
    TDialogSeam::AnswerMessages({mrOk, mrOk});
    EXPECT_FALSE(search.Execute());
    search.SetSearchTable(&c.ds);
    search.SetShadowSearchTable(&c.ds);
    EXPECT_FALSE(search.Execute());
    EXPECT_EQ(TDialogSeam::Messages(),
              (QStringList{QStringLiteral("You must define a lookupTable."), QStringLiteral("Search Table is not active."),
                           QStringLiteral("You must define a searchTable."),
                           QStringLiteral("Your SearchTable and ShadowSearchTable must reference two distinct TDataSet "
                                          "objects, but each must reference the same physical table.")}));
    TkqCustomLookupDialog base;
    EXPECT_THROW(base.GetPrimaryDataSet(), EInvalidOperation);
}

TEST(LookupDialog, WithoutSelectedEveryVisibleFieldShowsAndOkKeepsTheFoundRecord)
{
    Customers c;
    c.ds.FieldByName(QStringLiteral("City"))->SetVisible(false);
    c.ds.SetIndexFieldNames(QStringLiteral("Company"));
    TkqLookupDialog lookup;
    lookup.SetLookupTable(&c.ds);
    lookup.Options = {opShowOKCancel};
    QStringList columns;
    lookup.OnShown = [&](TkqLookupDlg* form) {
        columns = form->kqDBGrid1->Selected();
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Lookup"));
        EXPECT_EQ(form->focusWidget(), form->kqIncrementalSearch1);
        form->kqIncrementalSearch1->setText(QStringLiteral("Bay"));
        form->kqIncrementalSearch1->SearchTypedText();
        QTest::keyClick(form->kqIncrementalSearch1, Qt::Key_Return);
    };
    EXPECT_TRUE(lookup.Execute());
    EXPECT_EQ(columns, (QStringList{QStringLiteral("CustNo\t11\tCustNo\tF"),
                                    QStringLiteral("Company\t30\tCompany name\tF")}));
    EXPECT_EQ(c.ds.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 30);
    lookup.OnShown = [](TkqLookupDlg* form) { form->reject(); };
    EXPECT_FALSE(lookup.Execute());
}

TEST(LookupDialog, SizesButtonsAndTheStatusOfTheForm)
{
    Customers c;
    TkqLookupDialog lookup;
    lookup.SetLookupTable(&c.ds);
    lookup.MaxHeight = 0;
    lookup.UserButton2Caption = QStringLiteral("New");
    int clicks = 0;
    lookup.OnUserButton2Click = [&](QObject*, TDataSet* table) {
        EXPECT_EQ(table, &c.ds);
        ++clicks;
    };
    lookup.OnShown = [&](TkqLookupDlg* form) {
        const int limit = GetSystemMetrics(SM_CYSCREEN) - 200;
        const int grid = form->kqDBGrid1->height();
        EXPECT_LE(grid, limit);
        EXPECT_GT(grid, limit - 2 * form->kqDBGrid1->DefaultRowHeight());
        EXPECT_FALSE(form->UserButton1->isVisible());
        EXPECT_TRUE(form->UserButton2->isVisible());
        EXPECT_EQ(form->UserButton2->x(), 10 + 15);
        form->UserButton2->click();
        EXPECT_TRUE(form->OKBtn->isVisible());
        EXPECT_TRUE(form->SortCombo->isVisible());
        form->reject();
    };
    EXPECT_FALSE(lookup.Execute());
    EXPECT_EQ(clicks, 1);
}

TEST(LookupDialog, AnotherSortOrderClearsTheSearchAndMovesItsFieldsToTheFront)
{
    Customers c;
    TkqSearchDialog search;
    search.SetSearchTable(&c.ds);
    int sortChanges = 0;
    search.OnSortChange = [&](QObject*) { ++sortChanges; };
    search.OnShown = [&](TkqLookupDlg* form) {
        form->kqIncrementalSearch1->setText(QStringLiteral("Co"));
        TkqTempKeyCombo* combo = form->SortCombo;
        const int city = combo->Items().IndexOf(QStringLiteral("City"));
        ASSERT_GE(city, 0);
        combo->SetItemIndex(city);
        combo->setText(QStringLiteral("City"));
        EXPECT_EQ(form->kqIncrementalSearch1->text(), QString());
        EXPECT_EQ(form->kqIncrementalSearch1->SearchField(), QStringLiteral("City"));
        EXPECT_EQ(c.ds.FieldByName(QStringLiteral("City"))->Index(), 0);
        form->reject();
    };
    EXPECT_FALSE(search.Execute());
    EXPECT_EQ(sortChanges, 1);
}

TEST(LookupComboDlg, OkWritesTheChosenKeyAndCancelLeavesTheField)
{
    Customers c;
    TGridTestDataSet orders;
    orders.Define({{"OrderNo", ftInteger}, {"CustNo", ftInteger}});
    orders.AddRow({TVariant(1), TVariant(20)});
    TDataSource source;
    source.SetDataSet(&orders);
    orders.Open();
    QWidget window;
    auto* combo = new TkqDBLookupComboDlg(&window);
    combo->setGeometry(10, 10, 160, 23);
    combo->SetLookupTable(&c.ds);
    combo->SetLookupField(QStringLiteral("CustNo"));
    combo->SetDataSource(&source);
    combo->SetDataField(QStringLiteral("CustNo"));
    window.show();
    EXPECT_EQ(combo->ButtonStyle(), cbsEllipsis);
    QStringList shown;
    combo->OnShown = [&](TkqLookupDlg* form) {
        shown = form->kqDBGrid1->Selected();
        form->reject();
    };
    combo->DropDown();
    EXPECT_EQ(orders.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 20);
    EXPECT_EQ(orders.State(), dsBrowse);
    // An empty Selected list shows the key field alone, and keeps the line.
    EXPECT_EQ(shown, QStringList{QStringLiteral("CustNo\t11\tCustNo")});
    EXPECT_EQ(combo->Selected(), shown);
    bool closedWith = false;
    combo->OnCloseUp = [&](QObject*, TDataSet*, TDataSet*, bool modified) { closedWith = modified; };
    combo->OnShown = [&](TkqLookupDlg* form) {
        c.ds.Locate(QStringLiteral("CustNo"), TVariant(40));
        form->accept();
    };
    combo->DropDown();
    EXPECT_TRUE(closedWith);
    EXPECT_EQ(orders.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 40);
    EXPECT_EQ(combo->GetKeyValue(), QStringLiteral("40"));
}

TEST(LookupDialog, TheNavigatorsSearchButtonMakesASearchDialog)
{
    EXPECT_EQ(DialogClassForStyle(nbsSearchDialog), &TkqSearchDialog::staticMetaObject);
}
