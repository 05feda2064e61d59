#include "UtilitiesTestSupport.h"
#include "utilities/MRUList.h"

#include <QAction>
#include <QMenu>
#include <QTest>

namespace {
TRecentStrings Filled(TRecentMode mode, int capacity, const QStringList& texts)
{
    TRecentStrings list;
    list.SetMaxCount(capacity);
    list.SetAddMode(mode);
    for (const QString& t : texts) list.Add(t);
    return list;
}
} // namespace

TEST(RecentStrings, AddRule)
{
    struct Case { TRecentMode mode; QStringList adds; QStringList expected; int lastIndex; };
    const Case cases[] = {
        {rmAppend, {"a", "b", "c"}, {"a", "b", "c"}, 2},
        {rmAppend, {"a", "b", "c", "d"}, {"b", "c", "d"}, 2},           // full: the oldest goes
        {rmAppend, {"a", "b", "c", "B"}, {"a", "c", "b"}, 2},           // known: moves to the end, keeps its text
        {rmInsert, {"a", "b", "c"}, {"c", "b", "a"}, 0},
        {rmInsert, {"a", "b", "c", "d"}, {"d", "c", "b"}, 0},           // full: the last goes
        {rmInsert, {"a", "b", "c", "A"}, {"a", "c", "b"}, 0},
    };
    for (const Case& c : cases) {
        TRecentStrings list = Filled(c.mode, 3, c.adds.mid(0, c.adds.size() - 1));
        int changes = 0;
        list.OnChange = [&] { ++changes; };
        EXPECT_EQ(list.Add(c.adds.last()), c.lastIndex);
        EXPECT_EQ(list.ToStringList(), c.expected) << c.adds.join(",").toStdString();
        EXPECT_EQ(changes, 1);
    }
}

TEST(RecentStrings, CapacityAndBulkAdds)
{
    TRecentStrings append = Filled(rmAppend, 5, {"a", "b", "c", "d", "e"});
    append.SetMaxCount(2);
    EXPECT_EQ(append.ToStringList(), QStringList({"d", "e"}));
    TRecentStrings insert = Filled(rmInsert, 5, {"a", "b", "c", "d", "e"});
    insert.SetMaxCount(2);
    EXPECT_EQ(insert.ToStringList(), QStringList({"e", "d"}));
    insert.SetMaxCount(0);
    EXPECT_EQ(insert.MaxCount(), 1);

    TRecentStrings bulk;
    bulk.SetMaxCount(3);
    bulk.SetAddMode(rmInsert);
    int changes = 0;
    bulk.OnChange = [&] { ++changes; };
    bulk.AddStrings(QStringList{"1", "2", "3", "4", "5"});   // only the first three, in their order
    EXPECT_EQ(bulk.ToStringList(), QStringList({"1", "2", "3"}));
    EXPECT_EQ(changes, 1);
    bulk.RemoveText("2");
    bulk.RemoveText("absent");
    EXPECT_EQ(bulk.ToStringList(), QStringList({"1", "3"}));
}

class MRUTest : public SettingsTest {};

TEST_F(MRUTest, SavedAndLoadedInItsOwnSection)
{
    TMRUManager mru;
    mru.SetCapacity(15);
    mru.SetMode(rmAppend);
    mru.AddRecent("/data/a", 7);
    mru.AddRecent("/data/b");
    mru.AddRecent("/data/c", 0);
    {
        TIniFile ini(FIni);
        ini.WriteString("S", "User_1", "stale");
        mru.SaveRecentItems(&ini, "S");
    }
    EXPECT_EQ(IniBytes(), "[S]\nItem_0=/data/a\nUser_0=7\nItem_1=/data/b\nItem_2=/data/c\n");

    TMRUManager back;
    back.SetCapacity(15);
    back.SetMode(rmAppend);
    back.AddRecent("/old");
    TIniFile ini(FIni);
    back.LoadRecentItems(&ini, "S");
    EXPECT_EQ(back.RecentItems()->ToStringList(), QStringList({"/data/a", "/data/b", "/data/c"}));
    EXPECT_EQ(back.RecentItems()->UserData(0), 7);
    EXPECT_EQ(back.Mode(), rmAppend);

    // Only the first Capacity items are read; gaps and empty items do not matter.
    QByteArray many = "[M]\n";
    for (int i = 0; i < 20; ++i) many += i == 3 ? QByteArray("Item_3=\n") : "Item_" + QByteArray::number(i) + "=f" + QByteArray::number(i) + "\n";
    WriteWholeFile(FIni, many);
    TIniFile m(FIni);
    back.LoadRecentItems(&m, "M");
    QStringList expected;
    for (int i = 0; i < 15; ++i)
        if (i != 3) expected << QString("f%1").arg(i);
    EXPECT_EQ(back.RecentItems()->ToStringList(), expected);
}

TEST(MRUManager, MenuItems)
{
    QMenu menu;
    menu.addAction("Open");
    TMRUManager mru;
    mru.SetCapacity(12);
    mru.SetMode(rmAppend);
    mru.SetRecentMenu(&menu);
    for (int i = 1; i <= 11; ++i) mru.AddRecent(QString("/f%1|hint %1").arg(i), i);
    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 1 + 1 + 11);
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), "&1\t/f1");
    EXPECT_EQ(actions[2]->statusTip(), "hint 1");
    EXPECT_EQ(actions[10]->text(), "&9\t/f9");
    EXPECT_EQ(actions[11]->text(), "&A\t/f10");

    mru.SetAccelDelimiter(adSpace);
    mru.SetStartAccel(35);
    mru.SetSeparateSize(5);
    QStringList texts;
    for (QAction* a : menu.actions()) texts << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(texts.mid(0, 9), QStringList({"Open", "-", "&Z /f1", "&[ /f2", "&\\ /f3", "&] /f4", "&^ /f5", "-", "&_ /f6"}));

    QString clicked;
    int clickedData = 0;
    mru.OnClick = [&](const QString& name, const QString&, int data) {
        clicked = name;
        clickedData = data;
    };
    mru.SetRemoveOnSelect(true);
    menu.actions()[3]->trigger();
    EXPECT_EQ(clicked, "/f2|hint 2");
    EXPECT_EQ(clickedData, 2);
    EXPECT_EQ(mru.RecentItems()->IndexOf("/f2|hint 2"), -1);

    mru.RecentItems()->Clear();
    QTest::qWait(1);
    EXPECT_EQ(menu.actions().size(), 1);
    EXPECT_TRUE(menu.isEnabled());
    QMenu empty;
    mru.SetRecentMenu(&empty);
    EXPECT_FALSE(empty.isEnabled());   // enabled exactly when it has items
}
