#include "gridlib/editors/kqdbcombo.h"
#include "gridlib/editors/kqincsearch.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QAbstractItemView>
#include <QLineEdit>
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

TEST(DBComboBox, MappedItemsShowDisplayTextAndStoreStoredText)
{
    Data d;
    TkqDBComboBox combo;
    combo.SetMapList(true);
    combo.SetStyle(csDropDownList);
    combo.SetItems({QStringLiteral("String\tS"), QStringLiteral("Integer\tI"), QStringLiteral("TITLE=Mr;Ms\tMr;Ms")});
    combo.SetDataSource(&d.source);
    combo.SetDataField(QStringLiteral("Type"));
    EXPECT_EQ(combo.Text(), QStringLiteral("String"));
    d.ds.Next();
    EXPECT_EQ(combo.Text(), QStringLiteral("Integer"));
    // Table of stored -> display; unknown values and a combo without mapping give a null text.
    EXPECT_EQ(combo.MapStoredToDisplay(QStringLiteral("Mr;Ms")), QStringLiteral("TITLE=Mr;Ms"));
    EXPECT_TRUE(combo.MapStoredToDisplay(QStringLiteral("X")).isNull());

    int changes = 0;
    combo.OnChange = [&](QObject*) { ++changes; };
    emit combo.activated(0);
    EXPECT_EQ(d.ds.State(), dsEdit);
    EXPECT_EQ(d.ds.FieldByName(QStringLiteral("Type"))->AsString(), QStringLiteral("S"));
    EXPECT_EQ(changes, 1);
    d.ds.Post();
    EXPECT_EQ(d.ds.Stored(1, 1).RawString(), QStringLiteral("S"));

    combo.SetMapList(false);
    EXPECT_TRUE(combo.MapStoredToDisplay(QStringLiteral("S")).isNull());
}

TEST(DBComboBox, ListSwitchesAndReadOnly)
{
    Data d;
    TkqDBComboBox combo;
    combo.SetItems({QStringLiteral("No Value"), QStringLiteral("List")});
    combo.SetDataSource(&d.source);
    combo.SetDataField(QStringLiteral("Type"));
    int closeUps = 0;
    combo.OnCloseUp = [&](QObject*) { ++closeUps; };
    combo.show();
    combo.SetDisableDropDownList(true);
    combo.showPopup();
    EXPECT_FALSE(combo.view()->isVisible());
    combo.hidePopup();   // no list was open: nothing closes up
    EXPECT_EQ(closeUps, 0);
    combo.SetDisableDropDownList(false);
    combo.showPopup();
    EXPECT_TRUE(combo.view()->isVisible());
    combo.hidePopup();
    EXPECT_EQ(closeUps, 1);
    combo.hide();        // Qt closes the list of a hidden combo; it was closed already
    combo.show();
    EXPECT_EQ(closeUps, 1);
    // An editable combo gives what was typed when the record is posted.
    combo.lineEdit()->selectAll();
    QTest::keyClicks(combo.lineEdit(), QStringLiteral("Typed"));
    EXPECT_EQ(d.ds.State(), dsEdit);
    d.ds.Post();
    EXPECT_EQ(d.ds.Stored(0, 1).RawString(), QStringLiteral("Typed"));
    combo.SetReadOnly(true);
    emit combo.activated(1);
    EXPECT_EQ(d.ds.State(), dsBrowse);
    EXPECT_EQ(d.ds.FieldByName(QStringLiteral("Type"))->AsString(), QStringLiteral("Typed"));
}

TEST(IncrementalSearch, MovesToTheFirstMatchAndCompletes)
{
    Data d;
    TkqIncrementalSearch search;
    search.SetDataSource(&d.source);
    search.SetSearchField(QStringLiteral("Type"));
    search.SetShowMatchText(true);
    search.show();
    QTest::keyClicks(&search, QStringLiteral("ap"));
    EXPECT_EQ(d.ds.RecNo(), 3);
    EXPECT_EQ(search.text(), QStringLiteral("apple"));
    EXPECT_EQ(search.selectedText(), QStringLiteral("ple"));
    QTest::keyClick(&search, Qt::Key_R);   // replaces the completion
    EXPECT_EQ(d.ds.RecNo(), 4);
    EXPECT_EQ(search.text(), QStringLiteral("apricot"));
    // No match leaves the record; another data source takes over.
    EXPECT_FALSE(search.Search(QStringLiteral("zz")));
    EXPECT_EQ(d.ds.RecNo(), 4);
    Data other;
    search.SetDataSource(&other.source);
    EXPECT_TRUE(search.Search(QStringLiteral("i")));
    EXPECT_EQ(other.ds.RecNo(), 2);
    EXPECT_EQ(d.ds.RecNo(), 4);
}
