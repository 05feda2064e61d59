#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "tests/common/TestSupport.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
// A menu "&Open", "-", "&Recent" (with "&One", "&Two"), "Close" (disabled); clicks recorded.
struct TMenuFixture {
    TPopupMenu Menu;
    QStringList Clicks;
    TMenuItem* Open;
    TMenuItem* Recent;
    TMenuItem* Close;
    TMenuFixture()
    {
        auto record = [this](QObject* s) { Clicks << static_cast<TMenuItem*>(s)->Caption; };
        Open = Menu.Items()->AddItem(QStringLiteral("&Open"), record);
        Open->Hint = QStringLiteral("Open a file");
        Menu.Items()->AddItem(QStringLiteral("-"));
        Recent = Menu.Items()->AddItem(QStringLiteral("&Recent"));
        Recent->AddItem(QStringLiteral("&One"), record);
        Recent->AddItem(QStringLiteral("&Two"), record);
        Close = Menu.Items()->AddItem(QStringLiteral("Close"), record);
        Close->Enabled = false;
    }
    // Pops the menu up and, once it shows, sends the keys to the open level.
    void PopupWithKeys(const std::vector<int>& keys)
    {
        QTimer::singleShot(0, [this, keys] {
            for (int key : keys) {
                QWidget* target = Menu.PopupWindow();
                while (target && static_cast<TMenuPopupWindow*>(target)->Submenu())
                    target = static_cast<TMenuPopupWindow*>(target)->Submenu();
                if (!target) return;
                QTest::keyClick(target, Qt::Key(key));
            }
        });
        // A menu a fault left open closes after a while rather than hang the test.
        QTimer::singleShot(3000, &Menu, [this] { Menu.CloseMenu(); });
        Menu.Popup(100, 100);
    }
};
} // namespace

TEST(PopupMenu, KeysMoveOverSeparatorsIntoSubmenusAndChoose)
{
    TMenuFixture f;
    int prepared = 0;
    f.Recent->OnClick = [&](QObject*) { ++prepared; };   // runs as the sub-items open
    f.PopupWithKeys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return});
    EXPECT_EQ(f.Clicks, QStringList{QStringLiteral("&Two")});
    EXPECT_EQ(prepared, 1);
    EXPECT_FALSE(f.Menu.IsOpen());
    f.PopupWithKeys({Qt::Key_R, Qt::Key_O});   // accelerators
    f.PopupWithKeys({Qt::Key_Up, Qt::Key_Return, Qt::Key_Escape});   // the disabled last item does nothing
    f.PopupWithKeys({Qt::Key_Down, Qt::Key_Escape});
    EXPECT_EQ(f.Clicks, (QStringList{QStringLiteral("&Two"), QStringLiteral("&One")}));
}

TEST(PopupMenu, SelectionSetsTheHintAndClosingClearsIt)
{
    TMenuFixture f;
    QStringList hints;
    Application()->OnHint = [&] { hints << Application()->Hint(); };
    f.PopupWithKeys({Qt::Key_Down, Qt::Key_Escape});
    Application()->OnHint = nullptr;
    ASSERT_GE(hints.size(), 1);
    EXPECT_EQ(hints.first(), QStringLiteral("Open a file"));
    EXPECT_TRUE(Application()->Hint().isEmpty());
}

TEST(PopupMenu, MouseChoosesAndAPressOutsideDismisses)
{
    TMenuFixture f;
    QTimer::singleShot(0, [&] {
        TMenuPopupWindow* w = f.Menu.PopupWindow();
        const TRect r = w->ItemRect(f.Open);
        const QPoint at(r.Left + 5, r.Top + 3);
        QTest::mouseMove(w, at);
        EXPECT_EQ(w->Selected(), f.Open);
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
    });
    f.Menu.Popup(50, 50);
    EXPECT_EQ(f.Clicks, QStringList{QStringLiteral("&Open")});
    QTimer::singleShot(0, [&] { QTest::mouseClick(f.Menu.PopupWindow(), Qt::LeftButton, {}, QPoint(-20, -20)); });
    f.Menu.Popup(50, 50);
    EXPECT_EQ(f.Clicks.size(), 1);
}

TEST(PopupMenu, AlignmentAndItemTree)
{
    TMenuFixture f;
    f.Menu.Alignment = paRight;
    QRect shown;
    QTimer::singleShot(0, [&] {
        shown = f.Menu.PopupWindow()->geometry();
        f.Menu.CloseMenu();
    });
    f.Menu.Popup(400, 120);
    EXPECT_EQ(shown.right() + 1, 400);
    EXPECT_EQ(shown.top(), 120);

    TMenuItem* a = f.Recent->Items(0);
    a->RadioItem = true;
    TMenuItem* b = f.Recent->Items(1);
    b->RadioItem = true;
    a->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_EQ(f.Menu.Items()->FindByCommand(b->Command()), b);
    EXPECT_EQ(b->Menu(), &f.Menu);
    EXPECT_EQ(f.Recent->Accelerator(), QChar('r'));
    delete a;
    EXPECT_EQ(f.Recent->Count(), 1);
}

TEST(PopupMenu, BreaksStartColumnsSideBySide)
{
    TPopupMenu menu;
    TMenuItem* a = menu.Items()->AddItem(QStringLiteral("1990"));
    TMenuItem* b = menu.Items()->AddItem(QStringLiteral("1991"));
    TMenuItem* c = menu.Items()->AddItem(QStringLiteral("2000"));
    c->setProperty("Break", 2);   // a column break with a line
    QTimer::singleShot(0, [&] {
        TMenuPopupWindow* w = menu.PopupWindow();
        const TRect ra = w->ItemRect(a), rb = w->ItemRect(b), rc = w->ItemRect(c);
        EXPECT_EQ(rb.Top, ra.Bottom);
        EXPECT_EQ(rc.Top, ra.Top);                                          // a new column starts at the top
        EXPECT_GE(rc.Left, ra.Right + 6);                                   // right of the first, past the bar
        EXPECT_EQ(w->height() - TMenuPopupWindow::FrameWidth, rb.Bottom);
        menu.CloseMenu();
    });
    menu.Popup(50, 50);
}
