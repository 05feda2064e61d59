#include "gridlib/editors/kqmonthcal.h"
#include "platform/core/SysFormat.h"
#include "platform/vcl/InputQuery.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QPoint Centre(const TRect& r) { return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }

// Runs 'inspect' on the calendar's menu once it is open, then clicks the item it returns
// (or closes the menu when it returns none).
void WhenMenuOpens(TCalendarPopupMenu* const* menu, std::function<TMenuItem*()> inspect)
{
    QTimer::singleShot(0, [menu, inspect] {
        TCalendarPopupMenu* m = *menu;
        ASSERT_TRUE(m && m->IsOpen());
        TMenuItem* item = inspect();
        if (!item) {
            m->CloseMenu();
            return;
        }
        TMenuPopupWindow* w = m->PopupWindow();
        QTest::mouseClick(w, Qt::LeftButton, {}, Centre(w->ItemRect(item)));
    });
}

struct Calendar {
    Calendar()
    {
        cal.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        cal.SetFirstDayOfWeek(kqdowMonday);
        cal.ApplyDate(EncodeDate(2024, 1, 31) + 0.5);
        cal.OnChange = [this](QObject*) { ++changes; };
        cal.show();
    }
    TkqMonthCalendar cal;
    int changes = 0;
};

} // namespace

TEST(MonthCalendar, DateKeepsTheTimeOfDayAndLimitsRefuseWithTheirMessages)
{
    Calendar c;
    c.cal.SetDate(EncodeDate(2024, 2, 10));
    EXPECT_DOUBLE_EQ(c.cal.Date(), EncodeDate(2024, 2, 10) + 0.5);

    c.cal.SetMaxDate(EncodeDate(2024, 3, 1));
    try {
        c.cal.SetDate(EncodeDate(2024, 3, 2));
        FAIL() << "no error";
    } catch (const EDateTimeError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Date exceeds maximum of 3/1/2024"));
    }
    EXPECT_DOUBLE_EQ(c.cal.Date(), EncodeDate(2024, 2, 10) + 0.5);

    // A minimum above the maximum, or a maximum below the minimum, changes nothing.
    EXPECT_THROW(c.cal.SetMinDate(EncodeDate(2024, 3, 5)), EDateTimeError);
    c.cal.SetMinDate(EncodeDate(2024, 2, 1));
    try {
        c.cal.SetMaxDate(EncodeDate(2024, 1, 1));
        FAIL() << "no error";
    } catch (const EDateTimeError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Date is less than minimum of 2/1/2024"));
    }
    EXPECT_DOUBLE_EQ(c.cal.MaxDate(), EncodeDate(2024, 3, 1));
    EXPECT_THROW(c.cal.SetDate(EncodeDate(2024, 1, 31)), EDateTimeError);

    // ApplyDate moves into the limits instead of raising.
    c.cal.ApplyDate(EncodeDate(2030, 1, 1));
    EXPECT_DOUBLE_EQ(c.cal.Date(), EncodeDate(2024, 3, 1));
}

TEST(MonthCalendar, KeysMoveTheDateWithinTheLimits)
{
    struct Case {
        const char* name;
        TDateTime from;
        int key;
        TDateTime min, max, expected;
    };
    const TDateTime jan31 = EncodeDate(2024, 1, 31);
    const Case cases[] = {
        {"page down into a leap February", jan31, VK_NEXT, 0, 0, EncodeDate(2024, 2, 29)},
        {"page up into December", EncodeDate(2024, 1, 15), VK_PRIOR, 0, 0, EncodeDate(2023, 12, 15)},
        {"page down past the maximum", jan31, VK_NEXT, 0, EncodeDate(2024, 2, 10), EncodeDate(2024, 2, 10)},
        {"page up to the minimum", jan31, VK_PRIOR, EncodeDate(2024, 1, 2), 0, EncodeDate(2024, 1, 2)},
        {"left", jan31, VK_LEFT, 0, 0, EncodeDate(2024, 1, 30)},
        {"left at the minimum", jan31, VK_LEFT, jan31, 0, jan31},
        {"right at the maximum", jan31, VK_RIGHT, 0, jan31, jan31},
        {"up a week", jan31, VK_UP, 0, 0, EncodeDate(2024, 1, 24)},
        {"up before the minimum", jan31, VK_UP, EncodeDate(2024, 1, 25), 0, jan31},
        {"down after the maximum", jan31, VK_DOWN, 0, EncodeDate(2024, 2, 6), jan31},
        {"down a week", jan31, VK_DOWN, 0, 0, EncodeDate(2024, 2, 7)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Calendar c;
        c.cal.SetMaxDate(k.max);
        c.cal.SetMinDate(k.min);
        c.cal.ApplyDate(k.from);
        const int changes = c.changes;
        QTest::keyClick(&c.cal, Qt::Key(VirtualKeyToQtKey(k.key)));
        EXPECT_DOUBLE_EQ(std::trunc(c.cal.Date()), k.expected);
        EXPECT_EQ(c.changes, changes + 1);
    }
}

TEST(MonthCalendar, ClicksSelectDaysMoveToLimitsAndPage)
{
    Calendar c;
    c.cal.SetMaxDate(EncodeDate(2024, 1, 20));
    c.cal.ApplyDate(EncodeDate(2024, 1, 10));
    int downDay = -1;
    c.cal.OnMouseDown = [&](QObject*, TMouseButton, TShiftState, int, int, int, int day, int) { downDay = day; };

    QTest::mouseClick(&c.cal, Qt::LeftButton, {}, Centre(c.cal.DayRect(2024, 1, 12)));
    EXPECT_DOUBLE_EQ(std::trunc(c.cal.Date()), EncodeDate(2024, 1, 12));
    EXPECT_EQ(c.changes, 1);
    EXPECT_EQ(downDay, 12);

    // A day beyond the maximum moves the value to the maximum, without a change event.
    QTest::mouseClick(&c.cal, Qt::LeftButton, {}, Centre(c.cal.DayRect(2024, 1, 25)));
    EXPECT_DOUBLE_EQ(std::trunc(c.cal.Date()), EncodeDate(2024, 1, 20));
    EXPECT_EQ(c.changes, 1);

    // The previous button moves the value a month back (the day kept) and shows that month.
    QTest::mouseClick(&c.cal, Qt::LeftButton, {}, Centre(c.cal.TitlePartRect(0, MCHT_TITLEBTNPREV)));
    EXPECT_DOUBLE_EQ(std::trunc(c.cal.Date()), EncodeDate(2023, 12, 20));
    int fy = 0, fm = 0, ly = 0, lm = 0;
    c.cal.GetMonthRange(fy, fm, ly, lm);
    EXPECT_EQ(fy * 100 + fm, 202312);
    EXPECT_EQ(c.changes, 2);

    const TMCHitTestInfo hit = c.cal.HitTest(Centre(c.cal.TitlePartRect(0, MCHT_TITLEYEAR)));
    EXPECT_EQ(hit.Hit, unsigned(MCHT_TITLEYEAR));
    EXPECT_EQ(hit.Year, 2023);
}

TEST(MonthCalendar, BoldDaysComeFromTheEventAndAskForAtMostFourteenMonths)
{
    Calendar c;
    c.cal.OnCalcBoldDay = [](QObject*, TDateTime, int, int day, int, bool& accept) { accept = day == 1 || day == 29; };
    c.cal.SetOptions({mdoDayState});
    EXPECT_TRUE(c.cal.IsBoldDay(2024, 2, 29));
    EXPECT_TRUE(c.cal.IsBoldDay(2024, 1, 1));
    EXPECT_FALSE(c.cal.IsBoldDay(2024, 1, 2));

    ASSERT_TRUE(c.cal.AnswerDayStates(2023, 11, 3));
    EXPECT_EQ(TkqMonthCalendar::DayStateAnswer()[2], (1u << 0) | (1u << 28));   // January 2024 has a 29th
    const auto before = TkqMonthCalendar::DayStateAnswer();
    c.cal.OnCalcBoldDay = [](QObject*, TDateTime, int, int, int, bool& accept) { accept = true; };
    EXPECT_FALSE(c.cal.AnswerDayStates(2023, 1, 15));
    EXPECT_EQ(TkqMonthCalendar::DayStateAnswer(), before);
}

TEST(MonthCalendar, MonthMenuChecksTheTitleMonthAndMovesTheDate)
{
    Calendar c;
    c.cal.SetMaxDate(EncodeDate(2024, 10, 15));
    TCalendarPopupMenu* menu = c.cal.MonthMenu();
    WhenMenuOpens(&menu, [&]() -> TMenuItem* {
        TMenuItem* items = menu->Items();
        EXPECT_TRUE(items->Items(0)->Checked());
        EXPECT_TRUE(c.cal.IsPopupMenuShowing());
        EXPECT_TRUE(items->Items(8)->Enabled);     // 30 September (the 31st clamped)
        EXPECT_FALSE(items->Items(9)->Enabled);    // 31 October lies after the maximum
        return items->Items(1);                    // February
    });
    QTest::mouseClick(&c.cal, Qt::LeftButton, {}, Centre(c.cal.TitlePartRect(0, MCHT_TITLEMONTH)));
    EXPECT_DOUBLE_EQ(c.cal.Date(), EncodeDate(2024, 2, 29) + 0.5);
    EXPECT_EQ(c.changes, 1);
    EXPECT_FALSE(c.cal.IsPopupMenuShowing());
}

TEST(MonthCalendar, YearMenuListsItsColumnsAndTheEditItemAsksWithinTheBounds)
{
    Calendar c;
    auto yearTitle = [&] { return Centre(c.cal.TitlePartRect(0, MCHT_TITLEYEAR)); };
    // The year menu is made on first use: look it up once the click has opened it.
    QTimer::singleShot(0, [&] {
        TMenuItem* items = c.cal.YearMenu()->Items();
        EXPECT_EQ(items->Count(), 20);
        EXPECT_EQ(items->Items(0)->Caption, QStringLiteral("1990"));
        EXPECT_EQ(items->Items(19)->Caption, QStringLiteral("2009"));
        for (int i = 0; i < 20; ++i) EXPECT_EQ(items->Items(i)->property("Break").toInt() != 0, i == 10) << i;
        c.cal.YearMenu()->CloseMenu();
    });
    QTest::mouseClick(&c.cal, Qt::LeftButton, {}, yearTitle());
    EXPECT_FALSE(c.cal.IsPopupMenuShowing());

    // With the edit item, a minimum of 15 March 2000 and the date 10 March, 2001 is the lower bound.
    Calendar e;
    e.cal.PopupYearOptions()->ShowEditYear = true;
    e.cal.SetMinDate(EncodeDate(2000, 3, 15));
    e.cal.ApplyDate(EncodeDate(2005, 3, 10));
    ClearInputQueries();
    AnswerInputQueries({QStringLiteral("1999"), QStringLiteral("2003")});
    QTimer::singleShot(0, [&] {
        TCalendarPopupMenu* m = e.cal.YearMenu();
        ASSERT_TRUE(m && m->IsOpen());
        TMenuItem* edit = m->Items()->Items(0);
        EXPECT_EQ(edit->Caption, QStringLiteral("Edit Year"));
        EXPECT_NE(m->Items()->Items(2)->property("Break").toInt(), 0);   // the years stand in a column of their own
        QTest::mouseClick(m->PopupWindow(), Qt::LeftButton, {}, Centre(m->PopupWindow()->ItemRect(edit)));
    });
    QTest::mouseClick(&e.cal, Qt::LeftButton, {}, Centre(e.cal.TitlePartRect(0, MCHT_TITLEYEAR)));
    ASSERT_EQ(InputQueryCaptions().size(), 2);
    EXPECT_EQ(InputQueryCaptions()[0], QStringLiteral("Enter Valid Year (>=2001)"));
    // 1999 is refused and asked again, the default moved to the bound.
    EXPECT_EQ(InputQueryDefaults(), (QStringList{QStringLiteral("2005"), QStringLiteral("2001")}));
    EXPECT_DOUBLE_EQ(std::trunc(e.cal.Date()), EncodeDate(2003, 3, 10));
}

TEST(MonthCalendar, ColoursAssignOnlyFromColours)
{
    Calendar c;
    TkqDateTimeColors other(nullptr);
    other.SetTitleBackColor(clRed);
    c.cal.CalColors()->Assign(&other);
    EXPECT_EQ(c.cal.ControlColor(MCSC_TITLEBK), clRed);
    try {
        c.cal.CalColors()->Assign(nullptr);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot assign a nil to a TkqDateTimeColors"));
    }
    // The title band is painted in the title colour.
    const QImage image = c.cal.grab().toImage();
    const TRect title = c.cal.TitlePartRect(0, MCHT_TITLEBK);
    EXPECT_EQ(image.pixelColor(title.Left + 1, title.Top + 1), QColor(Qt::red));
}
