#include "gridlib/editors/kqdbdatetimepicker.h"
#include "platform/core/SysFormat.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <cmath>

namespace {

// A form with the picker and a second control to leave it for.
struct Form {
    Form()
    {
        auto* layout = new QVBoxLayout(&form);
        picker = new TkqDBDateTimePicker(&form);
        other = new QLineEdit(&form);
        layout->addWidget(picker);
        layout->addWidget(other);
        form.resize(300, 100);
        form.show();
        QApplication::setActiveWindow(&form);
    }
    // An unbound picker of the kind and format, holding the value, focused on the part.
    void Unbound(TkqDTEditDataType kind, const QString& format, TDateTime value, int part = 1)
    {
        picker->SetUnboundDataType(kind);
        picker->SetDisplayFormat(format);
        picker->SetDateTime(value);
        Focus();
        picker->SetCurrentPart(part);
        picker->SelectCurrentPart();
    }
    void Focus()
    {
        picker->setFocus();
        QApplication::processEvents();
    }
    void Leave()
    {
        other->setFocus();
        QApplication::processEvents();
    }
    void Keys(const QString& keys)
    {
        for (QChar c : keys) QTest::keyClicks(picker, QString(c));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(picker, key, mods); }
    QString Text() const { return picker->text(); }
    QWidget form;
    TkqDBDateTimePicker* picker;
    QLineEdit* other;
};

struct Bound {
    Bound()
    {
        ds.Define({{"Id", ftInteger}, {"Due", ftDate}, {"At", ftDateTime}});
        ds.AddRow({TVariant(1), TVariant::FromDate(EncodeDate(2020, 5, 17)), TVariant::Null()});
        ds.AddRow({TVariant(2), TVariant::Null(), TVariant::Null()});
        source.SetDataSet(&ds);
        ds.Open();
    }
    TGridTestDataSet ds;
    TDataSource source;
};

TDateTime Day(int y, int m, int d) { return EncodeDate(y, m, d); }
TDateTime At(int y, int m, int d, int h, int n, int s = 0) { return EncodeDate(y, m, d) + EncodeTime(h, n, s, 0); }

} // namespace

TEST(DateTimePicker, FormatPartsStandWhereTheTextShowsThem)
{
    struct Case {
        const char* format;
        TkqDTEditDataType kind;
        TDateTime value;
        const char* text;
        std::vector<std::pair<const char*, int>> parts;   // token and start
    };
    const Case cases[] = {
        {"m/d/yyyy", kqDTEdtDate, Day(2024, 3, 5), "3/5/2024", {{"m", 0}, {"d", 2}, {"yyyy", 4}}},
        {"yyyy-mm-d", kqDTEdtDate, Day(2024, 3, 5), "2024-03-5", {{"yyyy", 0}, {"mm", 5}, {"d", 8}}},
        {"dddd, mmmm d, yy", kqDTEdtDate, Day(2024, 3, 5), "Tuesday, March 5, 24",
         {{"dddd", 0}, {"mmmm", 9}, {"d", 15}, {"yy", 18}}},
        {"hh:mm am/pm ss", kqDTEdtTime, At(2024, 1, 1, 0, 7, 9), "12:07 am 09",
         {{"hh", 0}, {"nn", 3}, {"am/pm", 6}, {"ss", 9}}},
        {"h:nn a/p", kqDTEdtTime, At(2024, 1, 1, 13, 5), "1:05 p", {{"h", 0}, {"nn", 2}, {"a/p", 5}}},
        {"h:nn ampm", kqDTEdtTime, At(2024, 1, 1, 9, 5), "9:05 AM", {{"h", 0}, {"nn", 2}, {"ampm", 5}}},
        {"hh:nn", kqDTEdtTime, At(2024, 1, 1, 0, 5), "00:05", {{"hh", 0}, {"nn", 3}}},
        {"dd.mm.yyyy hh:nn", kqDTEdtDateTime, At(2024, 3, 5, 14, 30), "05.03.2024 14:30",
         {{"dd", 0}, {"mm", 3}, {"yyyy", 6}, {"hh", 11}, {"nn", 14}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        Form f;
        f.Unbound(c.kind, QString::fromLatin1(c.format), c.value);
        EXPECT_EQ(f.Text(), QString::fromLatin1(c.text));
        ASSERT_EQ(f.picker->CountParts(), int(c.parts.size()));
        for (size_t i = 0; i < c.parts.size(); ++i) {
            const TkqDTPartInfo info = f.picker->GetPartInfo(int(i) + 1, c.value);
            EXPECT_EQ(info.Token, QString::fromLatin1(c.parts[i].first)) << i;
            EXPECT_EQ(info.Start, c.parts[i].second) << i;
            EXPECT_EQ(info.Text, f.Text().left(info.Start + info.Length)) << i;
        }
    }
    // Right reaches the day written with one letter at the end.
    Form f;
    f.Unbound(kqDTEdtDate, QStringLiteral("yyyy-mm-d"), Day(2024, 3, 5));
    f.Key(Qt::Key_Right);
    f.Key(Qt::Key_Right);
    EXPECT_EQ(f.picker->CurrentPart(), 3);
    EXPECT_EQ(f.picker->selectedText(), QStringLiteral("5"));
}

TEST(DateTimePicker, ShortDateTimeHidesMidnightAndKindsFollowTheFormat)
{
    Form f;
    f.Unbound(kqDTEdtDateTime, QStringLiteral("c"), Day(2024, 3, 5));
    EXPECT_EQ(f.Text(), QStringLiteral("3/5/2024"));
    EXPECT_EQ(f.picker->CountShownParts(), 3);
    EXPECT_FALSE(f.picker->IsTimeShown());
    f.picker->SetDateTime(At(2024, 3, 5, 14, 30));
    EXPECT_EQ(f.Text(), QStringLiteral("3/5/2024 2:30:00 PM"));
    EXPECT_TRUE(f.picker->IsTimeShown());
    // Delete on the hour removes the time; the last date part becomes current.
    f.picker->SetCurrentPart(4);
    f.picker->SelectCurrentPart();
    f.Key(Qt::Key_Delete);
    EXPECT_EQ(f.Text(), QStringLiteral("3/5/2024"));
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2024, 3, 5));
    EXPECT_EQ(f.picker->CurrentPart(), 3);

    // A long-format date-time picker without a time shows the long date only.
    Form l;
    l.picker->SetDateFormat(dfLong);
    l.picker->SetDateTime(Day(2024, 3, 5));
    EXPECT_EQ(l.Text(), QStringLiteral("Tuesday, March 5, 2024"));

    // A time-kind picker shows midnight for 0; an unbound date-time picker starts empty.
    Form t;
    EXPECT_TRUE(t.Text().isEmpty());
    t.picker->SetDate(0);
    EXPECT_TRUE(t.Text().isEmpty());
    t.picker->SetUnboundDataType(kqDTEdtTime);
    t.picker->SetDateTime(0);
    EXPECT_EQ(t.Text(), QStringLiteral("12:00 AM"));
}

TEST(DateTimePicker, ValueOutsideTheBoundsIsRefusedWithTheMessageButShown)
{
    Form f;
    f.picker->SetUnboundDataType(kqDTEdtDateTime);
    f.picker->SetMaxDate(Day(2020, 12, 31));
    EXPECT_NO_THROW(f.picker->SetDateTime(At(2020, 12, 31, 15, 0)));
    try {
        f.picker->SetDateTime(Day(2021, 1, 1));
        FAIL() << "no error";
    } catch (const EDateTimeError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Date exceeds maximum of 12/31/2020"));
    }
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2021, 1, 1));
    EXPECT_EQ(f.Text(), QStringLiteral("1/1/2021"));
    // The Date setter checks first and shows the old value again.
    f.picker->SetDateTime(Day(2020, 6, 1));
    EXPECT_THROW(f.picker->SetDate(Day(2021, 2, 1)), EDateTimeError);
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2020, 6, 1));
    EXPECT_EQ(f.Text(), QStringLiteral("6/1/2020"));

    // The bound setters compare each other, never the value.
    f.picker->SetMinDate(Day(2020, 1, 1));
    try {
        f.picker->SetMinDate(Day(2021, 1, 1));
        FAIL() << "no error";
    } catch (const EDateTimeError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Date exceeds maximum of 12/31/2020"));
    }
    EXPECT_THROW(f.picker->SetMaxDate(Day(2019, 1, 1)), EDateTimeError);
    EXPECT_NO_THROW(f.picker->SetMaxDate(0));
    EXPECT_NO_THROW(f.picker->SetMinDate(0));
}

TEST(DateTimePicker, DateRoutines)
{
    EXPECT_DOUBLE_EQ(TkqDBCustomDateTimePicker::AddMonths(1, Day(2023, 1, 31)), Day(2023, 2, 28));
    EXPECT_DOUBLE_EQ(TkqDBCustomDateTimePicker::AddMonths(1, Day(2024, 1, 31)), Day(2024, 2, 29));
    EXPECT_DOUBLE_EQ(TkqDBCustomDateTimePicker::AddMonths(-1, Day(2001, 1, 15)), Day(2000, 12, 15));
    EXPECT_DOUBLE_EQ(TkqDBCustomDateTimePicker::AddMonths(12, Day(9999, 3, 4)), Day(9999, 3, 4));
    EXPECT_DOUBLE_EQ(TkqDBCustomDateTimePicker::AddMonths(-13, At(2024, 1, 10, 6, 0)), At(2022, 12, 10, 6, 0));
    EXPECT_EQ(TkqDBCustomDateTimePicker::ExpandTwoDigitYear(49, 1950), 2049);
    EXPECT_EQ(TkqDBCustomDateTimePicker::ExpandTwoDigitYear(50, 1950), 1950);
    EXPECT_EQ(TkqDBCustomDateTimePicker::ExpandTwoDigitYear(29, 2030), 2129);
    EXPECT_EQ(TkqDBCustomDateTimePicker::ExpandTwoDigitYear(30, 2030), 2030);
}

TEST(DateTimePicker, DigitsFillAPartAndMoveOn)
{
    struct Case {
        const char* name;
        const char* format;
        TDateTime from;
        int part;
        const char* keys;
        TDateTime expected;
        int partAfter;
        int beeps;
    };
    const TDateTime feb15 = Day(2023, 2, 15);
    const Case cases[] = {
        {"a final digit", "dd/mm/yyyy", feb15, 1, "4", Day(2023, 2, 4), 2, 0},
        {"two digits", "dd/mm/yyyy", feb15, 1, "12", Day(2023, 2, 12), 2, 0},
        {"00 keeps the day", "dd/mm/yyyy", feb15, 1, "00", feb15, 2, 0},
        {"31 in February takes January", "dd/mm/yyyy", feb15, 1, "31", Day(2023, 1, 31), 2, 0},
        {"29 in February takes January", "dd/mm/yyyy", feb15, 1, "29", Day(2023, 1, 29), 2, 0},
        {"29 February month first: next leap year", "mm/dd/yyyy", feb15, 2, "29", Day(2024, 2, 29), 3, 0},
        {"30 February month first is refused, the 3 kept", "mm/dd/yyyy", feb15, 2, "30", Day(2023, 2, 3), 2, 1},
        {"month overflow lowers the day", "dd/mm/yyyy", Day(2023, 3, 31), 2, "04", Day(2023, 4, 30), 3, 0},
        {"two-digit year 49", "dd/mm/yy", feb15, 3, "49", Day(2049, 2, 15), 3, 0},
        {"two-digit year 50", "dd/mm/yy", feb15, 3, "50", Day(1950, 2, 15), 3, 0},
        {"four-digit year", "dd/mm/yyyy", feb15, 3, "2031", Day(2031, 2, 15), 3, 0},
        {"a final hour digit", "hh:nn", At(1899, 12, 30, 1, 0), 1, "3", At(1899, 12, 30, 3, 0), 2, 0},
        {"hours refused beyond 23, the 2 kept", "hh:nn", At(1899, 12, 30, 1, 0), 1, "27", At(1899, 12, 30, 2, 0), 1, 1},
        {"12 with a designator in the afternoon", "hh:nn am/pm", At(1899, 12, 30, 15, 0), 1, "12",
         At(1899, 12, 30, 12, 0), 2, 0},
        {"12 with a designator in the morning", "hh:nn am/pm", At(1899, 12, 30, 9, 0), 1, "12", At(1899, 12, 30, 0, 0), 2,
         0},
        {"minutes", "hh:nn", At(1899, 12, 30, 1, 0), 2, "45", At(1899, 12, 30, 1, 45), 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Form f;
        const bool time = std::trunc(c.from) == 0;
        f.Unbound(time ? kqDTEdtTime : kqDTEdtDate, QString::fromLatin1(c.format), c.from, c.part);
        f.Keys(QString::fromLatin1(c.keys));
        f.picker->CommitDigitEntry();
        EXPECT_NEAR(f.picker->Value(), c.expected, 1e-9);
        EXPECT_EQ(f.picker->CurrentPart(), c.partAfter);
        EXPECT_EQ(f.picker->BeepCount(), c.beeps);
        EXPECT_EQ(f.Text(), FormatDateTime(QString::fromLatin1(c.format), f.picker->Value()));
    }
    // One digit that can take a second waits for it; leaving finishes it.
    Form w;
    w.Unbound(kqDTEdtDate, QStringLiteral("dd/mm/yyyy"), feb15);
    w.Keys(QStringLiteral("1"));
    EXPECT_TRUE(w.picker->InDigitEntry());
    EXPECT_EQ(w.Text(), QStringLiteral("1/02/2023"));
    EXPECT_DOUBLE_EQ(w.picker->PendingValue(), Day(2023, 2, 1));
    EXPECT_DOUBLE_EQ(w.picker->Date(), Day(2023, 2, 1));
    EXPECT_EQ(w.Text(), QStringLiteral("01/02/2023"));
}

TEST(DateTimePicker, ArrowsHomeEndAndLettersStepTheCurrentPart)
{
    struct Case {
        const char* name;
        const char* format;
        TDateTime from;
        int part;
        Qt::Key key;
        TDateTime expected;
        TDateTime max = 0, min = 0;
    };
    const Case cases[] = {
        {"day up wraps in the month", "m/d/yyyy", Day(2024, 1, 31), 2, Qt::Key_Up, Day(2024, 1, 1)},
        {"day down wraps in the month", "m/d/yyyy", Day(2024, 3, 1), 2, Qt::Key_Down, Day(2024, 3, 31)},
        {"month up wraps in the year", "m/d/yyyy", Day(2024, 12, 10), 1, Qt::Key_Up, Day(2024, 1, 10)},
        {"month up clamps the day", "m/d/yyyy", Day(2023, 1, 31), 1, Qt::Key_Up, Day(2023, 2, 28)},
        {"year up from a leap day", "m/d/yyyy", Day(2024, 2, 29), 3, Qt::Key_Up, Day(2025, 2, 28)},
        {"hour up wraps, date kept", "m/d/yyyy hh:nn", At(2024, 1, 31, 23, 10), 4, Qt::Key_Up, At(2024, 1, 31, 0, 10)},
        {"designator", "m/d/yyyy h:nn am/pm", At(2024, 1, 31, 9, 10), 6, Qt::Key_Up, At(2024, 1, 31, 21, 10)},
        {"day up at the maximum", "m/d/yyyy", Day(2020, 12, 31), 2, Qt::Key_Up, Day(2020, 12, 31), Day(2020, 12, 31)},
        {"year up to the maximum", "m/d/yyyy", Day(2020, 12, 31), 3, Qt::Key_Up, Day(2020, 12, 31), Day(2020, 12, 31)},
        {"home on the year at the minimum", "m/d/yyyy", Day(2005, 1, 10), 3, Qt::Key_Home, Day(2001, 1, 10), 0,
         Day(2000, 3, 15)},
        {"end on the day", "m/d/yyyy", Day(2024, 2, 3), 2, Qt::Key_End, Day(2024, 2, 29)},
        {"home on a day name (Monday first) from Sunday", "dddd m/d/yyyy", Day(2024, 3, 10), 1, Qt::Key_Home,
         Day(2024, 3, 4)},
        {"end on a day name from Monday", "dddd m/d/yyyy", Day(2024, 3, 4), 1, Qt::Key_End, Day(2024, 3, 10)},
        {"J on January", "d mmm yyyy", Day(2024, 1, 15), 2, Qt::Key_J, Day(2024, 6, 15)},
        {"J on June", "d mmm yyyy", Day(2024, 6, 15), 2, Qt::Key_J, Day(2024, 7, 15)},
        {"J on July", "d mmm yyyy", Day(2024, 7, 15), 2, Qt::Key_J, Day(2024, 1, 15)},
        {"P on a morning", "h:nn am/pm", At(1899, 12, 30, 9, 0), 3, Qt::Key_P, At(1899, 12, 30, 21, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Form f;
        f.picker->CalendarAttributes()->FirstDayOfWeek = kqdowMonday;
        f.picker->SetMaxDate(c.max);
        f.picker->SetMinDate(c.min);
        const bool time = std::trunc(c.from) == 0;
        const bool both = QString::fromLatin1(c.format).contains(QLatin1Char('h'));
        f.Unbound(time ? kqDTEdtTime : both ? kqDTEdtDateTime : kqDTEdtDate, QString::fromLatin1(c.format), c.from, c.part);
        f.Key(c.key);
        EXPECT_NEAR(f.picker->Value(), c.expected, 1e-9);
        EXPECT_EQ(f.picker->CurrentPart(), c.part);
        EXPECT_TRUE(f.picker->isModified());
    }
}

TEST(DateTimePicker, MinuteIntervalSteps)
{
    struct Case {
        int from;
        Qt::Key key;
        bool round;
        int expected;
    };
    const Case cases[] = {{7, Qt::Key_Up, true, 15}, {7, Qt::Key_Down, true, 0}, {0, Qt::Key_Down, true, 45},
                          {7, Qt::Key_Up, false, 22}, {50, Qt::Key_Up, false, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        Form f;
        f.picker->Interval()->MinutesInterval = 15;
        f.picker->Interval()->RoundMinutes = c.round;
        f.Unbound(kqDTEdtTime, QStringLiteral("hh:nn"), EncodeTime(10, c.from, 0, 0), 2);
        f.Key(c.key);
        int h = 0, m = 0, s = 0, ms = 0;
        DecodeTime(f.picker->Value(), h, m, s, ms);
        EXPECT_EQ(m, c.expected);
        EXPECT_EQ(h, 10);
    }
}

TEST(DateTimePicker, EmptyPickersStartFromTodayOrMidnightAndBackspaceEmpties)
{
    Form f;
    f.picker->SetUnboundDataType(kqDTEdtDate);
    f.picker->SetDisplayFormat(QStringLiteral("m/d/yyyy"));
    f.Focus();
    f.picker->SetCurrentPart(2);
    f.Key(Qt::Key_Up);
    EXPECT_DOUBLE_EQ(f.picker->Value(), ::Date() + 1 > EncodeDate(9999, 12, 31) ? ::Date() : ::Date() + 1)
        << "the day part steps from today";
    // Backspace with the whole text selected empties the picker; on one part it moves left.
    f.picker->SetDateTime(Day(2024, 3, 5));
    f.picker->SetCurrentPart(2);
    f.picker->SelectCurrentPart();
    f.Key(Qt::Key_Backspace);
    EXPECT_EQ(f.picker->CurrentPart(), 1);
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2024, 3, 5));
    f.picker->selectAll();
    f.Key(Qt::Key_Backspace);
    EXPECT_TRUE(f.Text().isEmpty());
    EXPECT_DOUBLE_EQ(f.picker->Value(), 0);

    Form t;
    t.picker->SetUnboundDataType(kqDTEdtTime);
    t.picker->SetDisplayFormat(QStringLiteral("hh:nn"));
    t.Focus();
    t.Keys(QStringLiteral("7"));
    EXPECT_EQ(t.Text(), QStringLiteral("07:00"));
    EXPECT_EQ(t.picker->CurrentPart(), 2);
}

TEST(DateTimePicker, EscapeRestoresTheValueOnEntering)
{
    Form f;
    f.Unbound(kqDTEdtDate, QStringLiteral("m/d/yyyy"), Day(2024, 3, 5), 2);
    f.picker->SetDateTime(Day(2024, 3, 5));
    f.Leave();
    f.Focus();
    f.picker->SetCurrentPart(2);
    f.picker->SelectCurrentPart();
    f.Key(Qt::Key_Up);
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2024, 3, 6));
    f.Key(Qt::Key_Escape);
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2024, 3, 5));
    EXPECT_FALSE(f.picker->isModified());
    EXPECT_EQ(f.picker->CurrentPart(), 1);
}

TEST(DateTimePicker, BoundPickerShowsTheFieldAndWritesItOnExit)
{
    Bound b;
    Form f;
    f.picker->SetDataSource(&b.source);
    f.picker->SetDataField(QStringLiteral("Due"));
    EXPECT_EQ(f.Text(), QStringLiteral("5/17/2020"));
    EXPECT_TRUE(f.picker->IsDateKind());
    f.Focus();
    f.picker->SetCurrentPart(2);
    f.picker->SelectCurrentPart();
    f.Keys(QStringLiteral("2"));
    f.Keys(QStringLiteral("0"));
    EXPECT_EQ(b.ds.State(), dsEdit);
    EXPECT_EQ(b.ds.FieldByName(QStringLiteral("Due"))->AsDateTime(), Day(2020, 5, 17)) << "written on exit";
    f.Leave();
    EXPECT_EQ(b.ds.FieldByName(QStringLiteral("Due"))->AsDateTime(), Day(2020, 5, 20));
    b.ds.Cancel();

    // A null field shows empty text; a read-only picker refuses keys.
    b.ds.Next();
    EXPECT_TRUE(f.Text().isEmpty());
    f.picker->SetReadOnly(true);
    f.Focus();
    f.Keys(QStringLiteral("5"));
    EXPECT_EQ(b.ds.State(), dsBrowse);
    EXPECT_TRUE(f.Text().isEmpty());

    // A field the dataset lacks leaves the picker dangling: no text, no keys.
    Form d;
    d.picker->SetDataSource(&b.source);
    d.picker->SetDataField(QStringLiteral("Missing"));
    d.Focus();
    d.Keys(QStringLiteral("5"));
    d.Key(Qt::Key_Up);
    EXPECT_TRUE(d.Text().isEmpty());
    EXPECT_EQ(b.ds.State(), dsBrowse);
}

TEST(DateTimePicker, BoundEscapeShowsTheFieldAgainAndRequiredFieldsKeepTheirValue)
{
    Bound b;
    b.ds.FieldByName(QStringLiteral("Due"))->SetRequired(true);
    Form f;
    f.picker->SetDataSource(&b.source);
    f.picker->SetDataField(QStringLiteral("Due"));
    f.Focus();
    f.picker->selectAll();
    f.Key(Qt::Key_Backspace);
    f.Key(Qt::Key_Delete);
    EXPECT_EQ(f.Text(), QStringLiteral("5/17/2020"));
    f.picker->SetCurrentPart(3);
    f.picker->SelectCurrentPart();
    f.Key(Qt::Key_Down);
    EXPECT_EQ(f.Text(), QStringLiteral("5/17/2019"));
    f.Key(Qt::Key_Escape);
    EXPECT_EQ(f.Text(), QStringLiteral("5/17/2020"));
    f.Leave();
    EXPECT_EQ(b.ds.FieldByName(QStringLiteral("Due"))->AsDateTime(), Day(2020, 5, 17));
}

TEST(DateTimePicker, DropDownCalendarFollowsAndEscapeRestores)
{
    Form f;
    f.Unbound(kqDTEdtDate, QStringLiteral("m/d/yyyy"), Day(2024, 1, 31));
    f.Key(Qt::Key_F4);
    ASSERT_TRUE(f.picker->IsDroppedDown());
    TkqPopupCalendar* cal = f.picker->Calendar();
    EXPECT_DOUBLE_EQ(std::trunc(cal->Date()), Day(2024, 1, 31));
    // The calendar sits below the picker.
    EXPECT_EQ(cal->geometry().top(), f.picker->mapToGlobal(QPoint(0, 0)).y() + f.picker->height() - 1);
    // Keys move the calendar's date, and the picker follows.
    f.Key(Qt::Key_PageDown);
    f.Key(Qt::Key_PageDown);
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2024, 3, 29));
    f.Key(Qt::Key_Escape);
    EXPECT_FALSE(f.picker->IsDroppedDown());
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2024, 1, 31));
    EXPECT_EQ(f.Text(), QStringLiteral("1/31/2024"));
    // The Escape that closed the calendar does not also revert.
    EXPECT_TRUE(f.picker->hasFocus());

    // Enter keeps the chosen date; a click on a day takes it and closes.
    f.Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(f.picker->IsDroppedDown());
    f.Key(Qt::Key_Right);
    f.Key(Qt::Key_Return);
    EXPECT_FALSE(f.picker->IsDroppedDown());
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2024, 2, 1));
    f.Key(Qt::Key_F4);
    const TRect day = cal->DayRect(2024, 2, 14);
    QTest::mouseClick(cal, Qt::LeftButton, {}, QPoint((day.Left + day.Right) / 2, (day.Top + day.Bottom) / 2));
    EXPECT_FALSE(f.picker->IsDroppedDown());
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2024, 2, 14));
    EXPECT_TRUE(f.picker->isModified());

    // A press elsewhere closes it, keeping its date.
    f.Key(Qt::Key_F4);
    f.Key(Qt::Key_Left);
    QTest::mousePress(f.other, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(f.picker->IsDroppedDown());
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2024, 2, 13));
}

TEST(DateTimePicker, DropDownOfAnEmptyPickerTakesTodayWithinTheBounds)
{
    Form f;
    f.picker->SetUnboundDataType(kqDTEdtDate);
    f.picker->SetMinDate(Day(2099, 1, 1));
    f.Focus();
    f.Key(Qt::Key_F4);
    ASSERT_TRUE(f.picker->IsDroppedDown());
    EXPECT_DOUBLE_EQ(f.picker->Value(), Day(2099, 1, 1));
    f.Key(Qt::Key_Return);

    Form t;
    t.picker->SetUnboundDataType(kqDTEdtTime);
    t.Focus();
    t.Key(Qt::Key_F4);
    EXPECT_FALSE(t.picker->IsDroppedDown());
    EXPECT_FALSE(t.picker->Button()->isVisible());
}
