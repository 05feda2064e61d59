#include "tests/common/TestSupport.h"
#include "tests/platform/data/TestDataSet.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

// Writes every notification into a log.
class TRecordingLink : public TDataLink {
public:
    QStringList Log;
    std::function<void()> OnChanged;

protected:
    void ActiveChanged() override { Log << QStringLiteral("active %1").arg(Active()); }
    void DataSetChanged() override
    {
        Log << QStringLiteral("changed");
        if (OnChanged) OnChanged();
    }
    void DataSetScrolled(int distance) override { Log << QStringLiteral("scrolled %1").arg(distance); }
    void LayoutChanged() override { Log << QStringLiteral("layout"); }
    void RecordChanged(TField* field) override { Log << "record " + (field ? field->FieldName() : QStringLiteral("-")); }
    void EditingChanged() override { Log << QStringLiteral("editing %1").arg(Editing()); }
    void UpdateData() override { Log << QStringLiteral("update"); }
};

class DataLinkTest : public ::testing::Test {
protected:
    void Fill(int records)
    {
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("Name", ftString, 20);
        for (int i = 1; i <= records; ++i) ds.AddRow({i, QStringLiteral("N%1").arg(i)});
        ds.Open();
        id = ds.FieldByName("ID");
        name = ds.FieldByName("Name");
        source.SetDataSet(&ds);
        link.SetDataSource(&source);
        link.Log.clear();
    }

    // The ID of every row of the window, read the way a grid paints.
    QList<int> WindowIds()
    {
        QList<int> ids;
        const int saved = link.ActiveRecord();
        for (int row = 0; row < link.RecordCount(); ++row) {
            link.SetActiveRecord(row);
            ids << (id->IsNull() ? 0 : id->AsInteger());
        }
        link.SetActiveRecord(saved);
        return ids;
    }

    TTestDataSet ds;
    TDataSource source;
    TRecordingLink link;
    TField* id = nullptr;
    TField* name = nullptr;
};

} // namespace

TEST_F(DataLinkTest, WindowScrollsMinimallyAndReportsTheShift)
{
    Fill(100);
    link.SetBufferCount(10);
    EXPECT_EQ(link.RecordCount(), 10);
    struct Step { int moveBy; const char* event; int first; int active; };
    const Step steps[] = {
        {5, "scrolled 0", 0, 5},
        {4, "scrolled 0", 0, 9},
        {1, "scrolled 1", 1, 9},
        {-9, "scrolled 0", 1, 0},
        {-1, "scrolled -1", 0, 0},
        {50, "scrolled 41", 41, 9},
        {-3, "scrolled 0", 41, 6},
        {1000, "scrolled 49", 90, 9},
        {-1000, "scrolled -90", 0, 0},
    };
    for (const Step& s : steps) {
        link.Log.clear();
        ds.MoveBy(s.moveBy);
        EXPECT_EQ(link.Log, QStringList({s.event})) << "MoveBy(" << s.moveBy << ")";
        EXPECT_EQ(link.FirstRecord(), s.first) << s.moveBy;
        EXPECT_EQ(link.ActiveRecord(), s.active) << s.moveBy;
        EXPECT_EQ(WindowIds().first(), s.first + 1) << s.moveBy;
    }
    link.Log.clear();
    ds.Last();
    EXPECT_EQ(link.Log, QStringList({"changed"}));
    EXPECT_EQ(link.FirstRecord(), 90);
    EXPECT_EQ(link.ActiveRecord(), 9);
    ds.First();
    EXPECT_EQ(link.FirstRecord(), 0);
    // RecNo jumps scroll the same way; a jump to a visible record does not scroll.
    link.Log.clear();
    ds.SetRecNo(8);
    ds.SetRecNo(60);
    EXPECT_EQ(link.Log, QStringList({"scrolled 0", "scrolled 50"}));
    // A found record off the window is centred.
    ds.First();
    ASSERT_TRUE(ds.Locate("ID", 70));
    EXPECT_EQ(link.FirstRecord(), 64);
    EXPECT_EQ(link.ActiveRecord(), 5);
    ASSERT_TRUE(ds.Locate("ID", 72));
    EXPECT_EQ(link.FirstRecord(), 64);
    // Growing the window keeps the cursor where it is on the screen, clamped to the records.
    link.SetBufferCount(40);
    EXPECT_EQ(link.RecordCount(), 40);
    EXPECT_EQ(link.FirstRecord(), 60);
}

TEST_F(DataLinkTest, SmallDataSetFillsPartOfTheWindow)
{
    Fill(5);
    link.SetBufferCount(10);
    EXPECT_EQ(link.RecordCount(), 5);
    ds.Last();
    EXPECT_EQ(link.ActiveRecord(), 4);
    EXPECT_EQ(WindowIds(), QList<int>({1, 2, 3, 4, 5}));
}

TEST_F(DataLinkTest, FieldReadsFollowActiveRecordWithoutEvents)
{
    Fill(50);
    link.SetBufferCount(30);
    ds.SetRecNo(40);   // window 11..40, cursor on the last row
    int scrolls = 0;
    ds.AfterScroll = [&](TDataSet*) { ++scrolls; };
    link.Log.clear();
    QList<int> expected;
    for (int i = 11; i <= 40; ++i) expected << i;
    EXPECT_EQ(WindowIds(), expected);
    link.SetActiveRecord(3);
    EXPECT_EQ(name->AsString(), QStringLiteral("N14"));
    EXPECT_EQ(ds.RecNo(), 14);
    EXPECT_EQ(ds.GetBookmark().RecordId(), 13);
    link.SetActiveRecord(29);
    EXPECT_TRUE(link.Log.isEmpty());
    EXPECT_EQ(scrolls, 0);
    EXPECT_EQ(ds.RecNo(), 40);

    // The edit buffer answers for its own row only.
    ds.Edit();
    name->SetAsString("Edited");
    link.Log.clear();
    link.SetActiveRecord(28);
    EXPECT_EQ(name->AsString(), QStringLiteral("N39"));
    link.SetActiveRecord(29);
    EXPECT_EQ(name->AsString(), QStringLiteral("Edited"));
    EXPECT_TRUE(link.Log.isEmpty());
    ds.Post();

    // The new row of an insert sits in the window; rows below it move down by one.
    ds.SetRecNo(20);
    const int row = link.ActiveRecord();
    ds.Insert();
    name->SetAsString("New");
    EXPECT_EQ(link.ActiveRecord(), row);
    link.SetActiveRecord(row);
    EXPECT_TRUE(id->IsNull());
    EXPECT_EQ(name->AsString(), QStringLiteral("New"));
    EXPECT_TRUE(ds.GetBookmark().IsNull());
    link.SetActiveRecord(row + 1);
    EXPECT_EQ(id->AsInteger(), 20);
    link.SetActiveRecord(row - 1);
    EXPECT_EQ(id->AsInteger(), 19);
    link.SetActiveRecord(row);
    EXPECT_EQ(ds.RecordCount(), 51);
    ds.Cancel();
    EXPECT_EQ(id->AsInteger(), 20);
    EXPECT_EQ(link.ActiveRecord(), row);

    // Rows past the records read as null.
    link.SetActiveRecord(100);
    EXPECT_TRUE(id->IsNull());
    link.SetActiveRecord(row);
}

TEST_F(DataLinkTest, EditingInsertingAndPostingNotifyTheLinks)
{
    Fill(20);
    link.SetBufferCount(5);
    ds.SetRecNo(3);
    link.Log.clear();
    ds.Edit();
    EXPECT_EQ(link.Log, QStringList({"editing 1", "record -"}));
    link.Log.clear();
    name->SetAsString("X");
    EXPECT_EQ(link.Log, QStringList({"record Name"}));
    link.Log.clear();
    ds.Post();
    EXPECT_EQ(link.Log, QStringList({"update", "editing 0", "changed"}));
    EXPECT_TRUE(link.Editing() == false);

    link.Log.clear();
    ds.Append();   // the new row at the bottom of the window
    EXPECT_EQ(link.Log, QStringList({"editing 1", "changed"}));
    EXPECT_EQ(link.FirstRecord(), 16);
    EXPECT_EQ(link.ActiveRecord(), 4);
    EXPECT_EQ(WindowIds(), QList<int>({17, 18, 19, 20, 0}));
    ds.Cancel();
    EXPECT_EQ(link.FirstRecord(), 15);
    EXPECT_EQ(WindowIds(), QList<int>({16, 17, 18, 19, 20}));

    // A read-only link never edits.
    link.SetReadOnly(true);
    ds.Edit();
    EXPECT_FALSE(link.Editing());
    ds.Cancel();
    EXPECT_FALSE(link.Edit());
    link.SetReadOnly(false);
    EXPECT_TRUE(link.Edit());   // AutoEdit through the data source
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
    source.SetAutoEdit(false);
    EXPECT_FALSE(link.Edit());
}

TEST_F(DataLinkTest, DisableControlsNestsAndNotifiesOnceAtTheEnd)
{
    Fill(10);
    int dataChanges = 0;
    source.OnDataChange = [&](TDataSource*, TField*) { ++dataChanges; };
    ds.DisableControls();
    ds.DisableControls();
    EXPECT_TRUE(ds.ControlsDisabled());
    ds.Next();
    ds.Edit();
    name->SetAsString("quiet");
    ds.Post();
    ds.Last();
    ds.EnableControls();
    EXPECT_TRUE(link.Log.isEmpty());
    EXPECT_EQ(dataChanges, 0);
    ds.EnableControls();
    EXPECT_FALSE(ds.ControlsDisabled());
    EXPECT_EQ(link.Log, QStringList({"changed"}));
    EXPECT_EQ(dataChanges, 1);
    EXPECT_EQ(link.ActiveRecord(), 9 - link.FirstRecord());
    ds.EnableControls();   // unbalanced: ignored
    EXPECT_EQ(link.Log.size(), 1);

    // Closing while disabled shows up as inactive at the end.
    ds.DisableControls();
    ds.Close();
    ds.Open();
    ds.EnableControls();
    EXPECT_EQ(link.Log.last(), QStringLiteral("layout"));
}

TEST_F(DataLinkTest, DataSourceStatesAndRebinding)
{
    Fill(3);
    QStringList states;
    source.OnStateChange = [&](TDataSource* s) { states << QString::number(s->State()); };
    ds.Edit();
    ds.Cancel();
    EXPECT_EQ(states, QStringList({QString::number(dsEdit), QString::number(dsBrowse)}));

    TTestDataSet other;
    other.FieldDefs().Add("ID", ftInteger);
    other.AddRow({42});
    other.Open();
    link.Log.clear();
    source.SetDataSet(&other);
    EXPECT_EQ(link.Log, QStringList({"active 0", "active 1"}));
    EXPECT_EQ(link.DataSet(), &other);
    EXPECT_EQ(link.RecordCount(), 1);
    EXPECT_TRUE(source.IsLinkedTo(&other));
    source.SetEnabled(false);
    EXPECT_FALSE(link.Active());
    source.SetEnabled(true);
    EXPECT_TRUE(link.Active());
    other.Close();
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(link.RecordCount(), 0);
    {
        TDataSource temporary;
        TRecordingLink second;
        second.SetDataSource(&temporary);
        temporary.SetDataSet(&ds);
        EXPECT_TRUE(second.Active());
    }   // the source dies first: the link lets go
    link.SetDataSource(nullptr);
    EXPECT_FALSE(link.Active());
}

TEST_F(DataLinkTest, FieldDataLinkFollowsItsField)
{
    Fill(3);
    QObject edit;   // the data layer knows its control only as an object
    QString typed;
    TFieldDataLink fl;
    QStringList log;
    fl.OnDataChange = [&](TFieldDataLink* l) { log << "data " + (l->Field() ? l->Field()->AsString() : QString()); };
    fl.OnEditingChange = [&](TFieldDataLink* l) { log << QStringLiteral("editing %1").arg(l->Editing()); };
    fl.OnActiveChange = [&](TFieldDataLink* l) { log << QStringLiteral("active %1").arg(l->Active()); };
    fl.OnUpdateData = [&](TFieldDataLink* l) {
        log << QStringLiteral("update");
        l->Field()->SetAsString(typed);
    };
    fl.SetControl(&edit);
    fl.SetFieldName("Name");
    fl.SetDataSource(&source);
    EXPECT_EQ(fl.Field(), name);
    EXPECT_EQ(log, QStringList({"data N1", "active 1"}));
    log.clear();
    ds.Next();
    id->DataSet();   // no effect
    EXPECT_EQ(log, QStringList({"data N2"}));
    log.clear();
    EXPECT_TRUE(fl.Edit());
    EXPECT_EQ(log, QStringList({"editing 1", "data N2"}));
    log.clear();
    id->SetAsInteger(9);   // another field: no data change for this link
    EXPECT_TRUE(log.isEmpty());
    typed = QStringLiteral("Typed");
    fl.Modified();
    ds.Post();
    EXPECT_EQ(log.first(), QStringLiteral("update"));
    EXPECT_EQ(name->AsString(), QStringLiteral("Typed"));
    log.clear();
    fl.Reset();
    EXPECT_EQ(log, QStringList({"data Typed"}));

    // Moving a field or changing how it shows is a layout change.
    TRecordingLink grid;
    grid.SetDataSource(&source);
    grid.Log.clear();
    name->SetIndex(0);
    EXPECT_EQ(ds.Fields()[0], name);
    EXPECT_EQ(name->Index(), 0);
    name->SetDisplayLabel("Label");
    EXPECT_EQ(grid.Log, QStringList({"layout", "layout"}));

    // A missing field binds nothing (no error).
    fl.SetFieldName("Missing");
    EXPECT_EQ(fl.Field(), nullptr);
    EXPECT_FALSE(fl.CanModify());
    fl.SetFieldName("Name");
    name->SetReadOnly(true);
    EXPECT_FALSE(fl.CanModify());
    name->SetReadOnly(false);
    // Closing drops the field before the default fields die.
    ds.Close();
    EXPECT_EQ(fl.Field(), nullptr);
    EXPECT_FALSE(fl.Active());
}

// A field asks its link to focus the control; the widget layer does the focusing. Only the
// link of that field answers, and a control that cannot take the focus leaves the request open.
TEST_F(DataLinkTest, FocusControlGoesThroughTheWidgetSeam)
{
    Fill(2);
    QObject control, other;
    QList<QObject*> focused;
    bool accept = true;
    SetFocusControlHandler([&](QObject* c) {
        focused << c;
        return accept;
    });
    TFieldDataLink nameLink, idLink;
    nameLink.SetControl(&control);
    nameLink.SetFieldName("Name");
    nameLink.SetDataSource(&source);
    idLink.SetControl(&other);
    idLink.SetFieldName("ID");
    idLink.SetDataSource(&source);
    name->FocusControl();
    EXPECT_EQ(focused, QList<QObject*>({&control}));
    accept = false;
    focused.clear();
    id->FocusControl();
    EXPECT_EQ(focused, QList<QObject*>({&other}));
    SetFocusControlHandler(nullptr);
    focused.clear();
    name->FocusControl();   // no widget layer: nothing happens
    EXPECT_TRUE(focused.isEmpty());
}
