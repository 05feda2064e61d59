// The incremental search over sorted and unsorted client datasets, and the sort-order combo.

#include "gridlib/editors/kqincsearch.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Dialogs.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Field definitions as the structure window keeps them.
struct Fields {
    explicit Fields(std::initializer_list<const char*> names = {"Pos", "Zeta", "Name", "nAmeless", "Price", "Number"})
    {
        ds.FieldDefs().Add(QStringLiteral("Pos"), ftInteger);
        ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 30);
        ds.CreateDataSet();
        int pos = 1;
        for (const char* name : names) {
            ds.Append();
            ds.FieldByName(QStringLiteral("Pos"))->SetAsInteger(pos++);
            ds.FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromLatin1(name));
            ds.Post();
        }
        source.SetDataSet(&ds);
        ds.First();
    }
    QString Current() { return ds.FieldByName(QStringLiteral("Name"))->AsString(); }
    TClientDataSet ds;
    TDataSource source;
};

struct Search {
    explicit Search(TDataSource* source)
    {
        edit = new TkqIncrementalSearch(&window);
        edit->SetDataSource(source);
        edit->SetSearchField(QStringLiteral("Name"));
        edit->SetShowMatchText(true);
        edit->OnAfterSearch = [this](TkqIncrementalSearch*, bool found) { Results << found; };
        window.show();
        edit->setFocus();
    }
    // Types, then lets the timer's tick run.
    void Type(const QString& keys)
    {
        QTest::keyClicks(edit, keys);
        EXPECT_TRUE(edit->SearchTimer()->isActive());
        edit->FlushPendingSearch();
    }
    QWidget window;
    TkqIncrementalSearch* edit;
    QList<bool> Results;
};

} // namespace

TEST(IncrementalSearch, MovesToTheFirstMatchAndCompletesOnSortedAndUnsortedData)
{
    for (const char* index : {"", "Name", "Name:N"}) {
        SCOPED_TRACE(index);
        Fields f;
        f.ds.SetIndexFieldNames(QString::fromLatin1(index));
        Search s(&f.source);
        s.Type(QStringLiteral("na"));
        // The first in the dataset's order, ignoring case.
        EXPECT_EQ(f.Current(), "Name");
        EXPECT_EQ(s.edit->text(), "Name");
        EXPECT_EQ(s.edit->selectedText(), "me");
        // Backspace takes the completion away (the found value's case stays) and searches no more.
        QTest::keyClick(s.edit, Qt::Key_Backspace);
        EXPECT_EQ(s.edit->text(), "Na");
        EXPECT_FALSE(s.edit->SearchTimer()->isActive());
        s.Type(QStringLiteral("mel"));
        EXPECT_EQ(f.Current(), "nAmeless");
        EXPECT_EQ(s.edit->text(), "nAmeless");
        // No match: the record stays, the event says so.
        s.edit->selectAll();
        s.Type(QStringLiteral("q"));
        EXPECT_EQ(f.Current(), "nAmeless");
        EXPECT_EQ(s.Results, (QList<bool>{true, true, false}));
    }
}

TEST(IncrementalSearch, CaseSensitiveIndexSearchesInItsCase)
{
    Fields f;
    f.ds.AddIndex(QStringLiteral("ByName"), QStringLiteral("Name"), {});
    f.ds.SetIndexName(QStringLiteral("ByName"));
    Search s(&f.source);
    s.edit->SetSearchField(QString());   // the index's first field
    s.Type(QStringLiteral("na"));
    EXPECT_EQ(f.Current(), "Pos");
    s.edit->selectAll();
    s.Type(QStringLiteral("nA"));
    EXPECT_EQ(f.Current(), "nAmeless");
    s.edit->selectAll();
    s.Type(QStringLiteral("Na"));
    EXPECT_EQ(f.Current(), "Name");
}

TEST(IncrementalSearch, OneSearchForQuickKeysAndTheFirstRecordForNoText)
{
    Fields f;
    Search s(&f.source);
    EXPECT_EQ(s.edit->SearchTimer()->interval(), 200);
    QTest::keyClicks(s.edit, QStringLiteral("pri"));
    EXPECT_TRUE(s.Results.isEmpty());
    ASSERT_TRUE(s.edit->SearchTimer()->isActive());
    // The timer's tick, however late a busy machine delivers it; then no second search follows.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !s.Results.isEmpty(); }, 5000));
    QTest::qWait(s.edit->SearchTimer()->interval() + 50);
    EXPECT_EQ(s.Results, (QList<bool>{true}));
    EXPECT_EQ(f.Current(), "Price");
    EXPECT_EQ(s.edit->LastSearchedText(), "pri");
    s.edit->SearchDelay = 30;
    s.edit->selectAll();
    QTest::keyClicks(s.edit, QStringLiteral("z"));
    EXPECT_EQ(s.edit->SearchTimer()->interval(), 30);
    s.edit->FlushPendingSearch();
    EXPECT_EQ(f.Current(), "Zeta");
    // An empty text goes to the first record without an event.
    s.edit->clear();
    s.edit->SearchTypedText();
    EXPECT_EQ(f.Current(), "Pos");
    EXPECT_EQ(s.Results.size(), 2);
}

TEST(IncrementalSearch, TextThatCannotBeAValueMovesNothing)
{
    Fields f;
    f.ds.Last();
    Search s(&f.source);
    s.edit->SetSearchField(QStringLiteral("Pos"));
    s.edit->SetShowMatchText(false);
    s.Type(QStringLiteral("x"));
    EXPECT_EQ(f.ds.RecNo(), 6);
    EXPECT_EQ(s.Results, (QList<bool>{false}));
    s.edit->selectAll();
    s.Type(QStringLiteral("3"));
    EXPECT_EQ(f.ds.RecNo(), 3);
}

TEST(IncrementalSearch, WarnsWithoutDataSourceOrDataSet)
{
    Search s(nullptr);
    s.edit->setObjectName(QStringLiteral("EdtSearch"));
    TDialogSeam::AnswerMessages({mrOk, mrOk});
    QTest::keyClicks(s.edit, QStringLiteral("a"));
    TDataSource empty;
    s.edit->SetDataSource(&empty);
    QTest::keyClicks(s.edit, QStringLiteral("b"));
    EXPECT_EQ(TDialogSeam::Messages(),
              (QStringList{QStringLiteral("DataSource not defined - object EdtSearch"), QStringLiteral("Dataset not defined for DataSource")}));
    EXPECT_FALSE(s.edit->SearchTimer()->isActive());
}

TEST(IncrementalSearch, FollowsANewDataSource)
{
    Fields master;
    Fields detail({"Street", "City"});
    Search s(&master.source);
    s.edit->SetDataSource(&detail.source);
    s.Type(QStringLiteral("ci"));
    EXPECT_EQ(detail.Current(), "City");
    EXPECT_EQ(master.ds.RecNo(), 1);
}

// ---------------------------------------------------------------------------------------------
// The sort-order combo

namespace {
// What the combo reads of a grid: its Selected list.
class TSelectedList : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList Selected MEMBER Selected)
public:
    QStringList Selected;
};
} // namespace

TEST(KeyCombo, ListsTheFieldsOfAClientDataSetAndSortsByTheChosenOne)
{
    TClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("Last"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("Code"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("Photo"), ftGraphic);
    ds.FieldDefs().Add(QStringLiteral("Hidden"), ftString, 5);
    ds.CreateDataSet();
    ds.FieldByName(QStringLiteral("Last"))->SetDisplayLabel(QStringLiteral("Last~Name"));
    ds.FieldByName(QStringLiteral("Hidden"))->SetVisible(false);
    for (const char* name : {"b", "c", "a"}) {
        ds.Append();
        ds.FieldByName(QStringLiteral("Last"))->SetAsString(QString::fromLatin1(name));
        ds.Post();
    }
    TDataSource source;
    source.SetDataSet(&ds);
    TkqKeyCombo combo;
    combo.SetDataSource(&source);
    EXPECT_EQ(combo.ItemsList(), (QStringList{QStringLiteral("Last Name"), QStringLiteral("Code")}));
    EXPECT_EQ(combo.ItemIndex(), -1);
    combo.DropDown();
    combo.PopupList()->SetItemIndex(0);
    combo.CloseUp(true);
    EXPECT_EQ(ds.IndexFieldNames(), "Last");
    ds.First();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Last"))->AsString(), "a");
    // The list follows the dataset; the current order stays selected.
    ds.SetIndexFieldNames(QStringLiteral("Code"));
    EXPECT_EQ(combo.text(), "Code");
    combo.SetShowAllIndexes(true);
    EXPECT_EQ(combo.ItemsList(), (QStringList{QStringLiteral("Last Name"), QStringLiteral("Code"), QStringLiteral("Hidden")}));
    // A grid's Selected list decides what counts as shown.
    combo.SetShowAllIndexes(false);
    TSelectedList grid;
    grid.Selected = {QStringLiteral("Hidden\t5\tHidden")};
    combo.FillSortOrders(&grid);
    EXPECT_EQ(combo.ItemsList(), (QStringList{QStringLiteral("Hidden")}));
}

namespace {
// A dataset with index definitions of its own: an unnamed primary index and a descending one.
class TIndexedDataSet : public TGridTestDataSet {
    Q_OBJECT
    Q_PROPERTY(QString IndexName MEMBER IndexName)
public:
    QString IndexName;

protected:
    void UpdateIndexDefs() override
    {
        IndexDefs().Clear();
        IndexDefs().Add(QString(), QStringLiteral("Id"), ixPrimary);
        IndexDefs().Add(QStringLiteral("ByName"), QStringLiteral("Name"), ixDescending);
    }
};
} // namespace

TEST(KeyCombo, IndexesByNameOrByLabel)
{
    TIndexedDataSet ds;
    ds.Define({{"Id", ftInteger}, {"Name", ftWideString}});
    ds.Fill(3);
    ds.Open();
    TDataSource source;
    source.SetDataSet(&ds);
    TkqKeyCombo combo;
    combo.SetShowAllIndexes(true);
    combo.SetDataSource(&source);
    EXPECT_EQ(combo.ItemsList(), (QStringList{QStringLiteral("PrimaryKey"), QStringLiteral("ByName")}));
    EXPECT_EQ(combo.text(), "PrimaryKey");
    combo.SetItemIndex(1);
    EXPECT_EQ(ds.IndexName, "ByName");
    combo.SetItemIndex(0);
    EXPECT_EQ(ds.IndexName, "");
    // By label: the first field's label, descending ones marked.
    combo.SetShowAllIndexes(false);
    EXPECT_EQ(combo.ItemsList(), (QStringList{QStringLiteral("Id"), QStringLiteral("Name - Desc")}));
    combo.SetItemIndex(1);
    EXPECT_EQ(ds.IndexName, "ByName");
}

TEST(KeyCombo, RefusesADataSetWithoutIndexInformation)
{
    TGridTestDataSet ds;
    ds.Define({{"Id", ftInteger}});
    ds.Open();
    TDataSource source;
    source.SetDataSet(&ds);
    TkqKeyCombo combo;
    TDialogSeam::AnswerMessages({mrOk});
    combo.SetDataSource(&source);
    EXPECT_EQ(combo.DataSource(), nullptr);
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{QStringLiteral("DataSource must point to a dataset containing index information.")});
}

#include "IncSearchTests.moc"
