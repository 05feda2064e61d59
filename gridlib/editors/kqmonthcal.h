#pragma once
// The month calendar: one or more months side by side (as many as fit), a title per month with
// the buttons that page through them, the days of the week, six rows of days and a line with
// today's date. It keeps one date-time value within a minimum and a maximum date, shows the
// days the application asks for in bold, selects one day or a range, and offers a menu of the
// months and one of the years from the title.
//
// The class is written in two layers. The lower one is the calendar as a common control would
// be: it lays the months out, paints them, answers hit tests by date, keeps its own range,
// selection, colours, first day of the week and day states, and tells the upper layer when the
// user changed the selection. The upper layer is the component: its value and limits with
// their errors, the title menus, the paging buttons and the keys, which it handles itself
// before the lower layer would.

#include "gridlib/core/kqcommon.h"
#include "platform/core/SysCalendar.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Menus.h"

#include <QObject>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

class TkqMonthCalendar;

enum TkqMonthOption { mdoDayState, mdoWeekNumbers, mdoNoToday, mdoNoTodayCircle, mdoMultiSelect };
using TkqMonthOptions = TSet<TkqMonthOption>;
enum TkqCalDayOfWeek {
    kqdowMonday, kqdowTuesday, kqdowWednesday, kqdowThursday, kqdowFriday, kqdowSaturday, kqdowSunday,
    kqdowLocaleDefault
};

using TCalcBoldDayEvent = std::function<void(QObject* sender, TDateTime date, int month, int day, int year, bool& accept)>;
using TmcMouseMoveEvent = std::function<void(QObject* sender, TShiftState shift, int x, int y, int month, int day, int year)>;
using TmcMouseUPDownEvent =
    std::function<void(QObject* sender, TMouseButton button, TShiftState shift, int x, int y, int month, int day, int year)>;

// Colour indices of the calendar (background, text, title background, title text, month
// background, days of the neighbouring months).
enum : int {
    MCSC_BACKGROUND = 0, MCSC_TEXT = 1, MCSC_TITLEBK = 2, MCSC_TITLETEXT = 3, MCSC_MONTHBK = 4, MCSC_TRAILINGTEXT = 5
};

// What lies under a point of the calendar.
enum : unsigned {
    MCHT_NOWHERE = 0x00000000,
    MCHT_TITLE = 0x00010000,
    MCHT_CALENDAR = 0x00020000,
    MCHT_TODAYLINK = 0x00030000,
    MCHT_NEXT = 0x01000000,
    MCHT_PREV = 0x02000000,
    MCHT_TITLEBK = MCHT_TITLE,
    MCHT_TITLEMONTH = MCHT_TITLE | 0x0001,
    MCHT_TITLEYEAR = MCHT_TITLE | 0x0002,
    MCHT_TITLEBTNNEXT = MCHT_TITLE | MCHT_NEXT | 0x0003,
    MCHT_TITLEBTNPREV = MCHT_TITLE | MCHT_PREV | 0x0003,
    MCHT_CALENDARBK = MCHT_CALENDAR,
    MCHT_CALENDARDATE = MCHT_CALENDAR | 0x0001,
    MCHT_CALENDARDATENEXT = MCHT_CALENDARDATE | MCHT_NEXT,
    MCHT_CALENDARDATEPREV = MCHT_CALENDARDATE | MCHT_PREV,
    MCHT_CALENDARDAY = MCHT_CALENDAR | 0x0002,
    MCHT_CALENDARWEEKNUM = MCHT_CALENDAR | 0x0003
};

// A hit test's answer: what is there, and the date (a day, or the month and year of a title).
struct TMCHitTestInfo {
    unsigned Hit = MCHT_NOWHERE;
    int Year = 0, Month = 0, Day = 0;
    // The month block the point lies in (0 = the first), -1 outside every block.
    int Block = -1;
};

// The calendar's six colours. Bound to an owner control: a month calendar shows a change at
// once; any other owner only keeps the colours for a calendar made later.
class TkqDateTimeColors : public QObject {
    Q_OBJECT
    Q_PROPERTY(int TextColor READ TextColor WRITE SetTextColor)
    Q_PROPERTY(int TitleBackColor READ TitleBackColor WRITE SetTitleBackColor)
    Q_PROPERTY(int TitleTextColor READ TitleTextColor WRITE SetTitleTextColor)
    Q_PROPERTY(int MonthBackColor READ MonthBackColor WRITE SetMonthBackColor)
    Q_PROPERTY(int TrailingTextColor READ TrailingTextColor WRITE SetTrailingTextColor)

public:
    explicit TkqDateTimeColors(QObject* owner);

    TColor BackColor() const { return FColors[MCSC_BACKGROUND]; }
    void SetBackColor(TColor c) { SetColorByIndex(MCSC_BACKGROUND, c); }
    TColor TextColor() const { return FColors[MCSC_TEXT]; }
    void SetTextColor(TColor c) { SetColorByIndex(MCSC_TEXT, c); }
    TColor TitleBackColor() const { return FColors[MCSC_TITLEBK]; }
    void SetTitleBackColor(TColor c) { SetColorByIndex(MCSC_TITLEBK, c); }
    TColor TitleTextColor() const { return FColors[MCSC_TITLETEXT]; }
    void SetTitleTextColor(TColor c) { SetColorByIndex(MCSC_TITLETEXT, c); }
    TColor MonthBackColor() const { return FColors[MCSC_MONTHBK]; }
    void SetMonthBackColor(TColor c) { SetColorByIndex(MCSC_MONTHBK, c); }
    TColor TrailingTextColor() const { return FColors[MCSC_TRAILINGTEXT]; }
    void SetTrailingTextColor(TColor c) { SetColorByIndex(MCSC_TRAILINGTEXT, c); }

    TColor ColorByIndex(int index) const { return FColors[size_t(index)]; }
    // Stores the colour; a month calendar owner shows it.
    void SetColorByIndex(int index, TColor color);
    // Hands all six to a month calendar owner.
    void ApplyAll();
    // Copies the five published colours of another colour set; anything else (or none) raises
    // EConvertError "Cannot assign a <source class> to a <own class>".
    void Assign(const QObject* source);
    QObject* Owner() const { return FOwner; }

private:
    QObject* FOwner;
    std::array<TColor, 6> FColors;
};

// The layout of the year menu.
class TkqPopupYearOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(int YearsPerColumn MEMBER YearsPerColumn)
    Q_PROPERTY(int NumberColumns MEMBER NumberColumns)
    Q_PROPERTY(int StartYear MEMBER StartYear)
    Q_PROPERTY(bool ShowEditYear MEMBER ShowEditYear)

public:
    explicit TkqPopupYearOptions(QObject* owner = nullptr) : QObject(owner) {}
    int YearsPerColumn = 10;
    int NumberColumns = 2;
    int StartYear = 1990;
    bool ShowEditYear = false;
    void Assign(const QObject* source);
};

// A popup menu that knows while it is open.
class TCalendarPopupMenu : public TPopupMenu {
    Q_OBJECT
public:
    using TPopupMenu::TPopupMenu;
    void Popup(int x, int y) override;
    bool Popping() const { return FPopping; }

private:
    bool FPopping = false;
};

class TkqMonthCalendar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(TkqDateTimeColors* CalColors READ CalColors)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(double Date READ Date WRITE SetDate)
    Q_PROPERTY(int FirstDayOfWeek READ FirstDayOfWeekValue WRITE SetFirstDayOfWeekValue)
    Q_PROPERTY(int Height READ height WRITE SetHeight)
    Q_PROPERTY(double MaxDate READ MaxDate WRITE SetMaxDate)
    Q_PROPERTY(int MaxSelectCount READ MaxSelectCount WRITE SetMaxSelectCount)
    Q_PROPERTY(double MinDate READ MinDate WRITE SetMinDate)
    Q_PROPERTY(int Options READ OptionsValue WRITE SetOptionsValue)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
    Q_PROPERTY(TkqPopupYearOptions* PopupYearOptions READ PopupYearOptions)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)
    Q_PROPERTY(double Time READ Time WRITE SetTime)
    Q_PROPERTY(int Width READ width WRITE SetWidth)

public:
    explicit TkqMonthCalendar(QWidget* parent = nullptr);
    ~TkqMonthCalendar() override;

    // 1 single (a one-pixel border), 0 none.
    int BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(int value);
    TkqDateTimeColors* CalColors() const { return FCalColors; }
    void SetCalColors(const TkqDateTimeColors* colors) { FCalColors->Assign(colors); }
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value) { FParentColor = value; }
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
    void SetTabStop(bool value) { setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus); }

    // The value, date and time together (both properties read it).
    TDateTime Date() const { return FDateTime; }
    TDateTime Time() const { return FDateTime; }
    // A new day with the value's time of day; outside the limits raises EDateTimeError (the
    // old value stays).
    void SetDate(TDateTime value);
    // The value's day with a new time of day.
    void SetTime(TDateTime value);
    TDateTime MaxDate() const { return FMaxDate; }
    void SetMaxDate(TDateTime value);
    TDateTime MinDate() const { return FMinDate; }
    void SetMinDate(TDateTime value);
    TDateTime SelectionStart() const { return FSelectionStart; }
    void SetSelectionStart(TDateTime value);
    TDateTime SelectionEnd() const { return FSelectionEnd; }
    void SetSelectionEnd(TDateTime value);
    int MaxSelectCount() const { return FMaxSelectCount; }
    void SetMaxSelectCount(int value);
    TkqMonthOptions Options() const { return FOptions; }
    virtual void SetOptions(TkqMonthOptions value);
    TkqCalDayOfWeek FirstDayOfWeek() const { return FFirstDayOfWeek; }
    void SetFirstDayOfWeek(TkqCalDayOfWeek value);
    TkqPopupYearOptions* PopupYearOptions() const { return FPopupYearOptions; }
    void SetPopupYearOptions(const TkqPopupYearOptions* options) { FPopupYearOptions->Assign(options); }
    // Raised to at least the minimum size.
    void SetWidth(int value);
    void SetHeight(int value);

    // The year or the month menu is open.
    bool IsPopupMenuShowing() const;
    TCalendarPopupMenu* MonthMenu() const { return FMonthMenu; }
    TCalendarPopupMenu* YearMenu() const { return FYearMenu; }

    TCalcBoldDayEvent OnCalcBoldDay;
    std::function<void(QObject*)> OnChange;
    TmcMouseMoveEvent OnMouseMove;
    TmcMouseUPDownEvent OnMouseDown;
    TmcMouseUPDownEvent OnMouseUp;

    // Sets the value, moved into the limits (and a day before 30 December 1899 without a
    // minimum to the 31st), and selects it; the value follows only when the selection took.
    void ApplyDate(TDateTime value);
    // Takes the focus when visible (the drop-down calendar never does).
    virtual void FocusIfVisible();
    // Rebuilds the calendar's own state from the component: limits, selection, colours, first
    // day of the week and size, as a new window would.
    void RecreateWnd();

    // --- The calendar control underneath
    TMCHitTestInfo HitTest(const QPoint& point) const;
    // The smallest size that shows one month whole.
    QSize MinReqSize() const;
    // The first and the last month shown whole (year * 12 + month - 1).
    void GetMonthRange(int& firstYear, int& firstMonth, int& lastYear, int& lastMonth) const;
    int MonthDelta() const;
    // Number of month blocks shown.
    int VisibleMonthCount() const;
    // Moves the months shown by n (negative: back).
    void ScrollMonths(int n);
    // The control's selection (the first day of a range).
    TDateTime ControlSelection() const { return FCtlSelStart; }
    void GetControlSelRange(TDateTime& start, TDateTime& end) const;
    TColor ControlColor(int index) const { return FCtlColors[size_t(index)]; }
    // 0 Monday .. 6 Sunday.
    int ControlFirstDayOfWeek() const { return FCtlFirstDay; }
    // Bit (day - 1) of a month shown: bold.
    bool IsBoldDay(int year, int month, int day) const;
    // The rectangle of a month block's title part (month name, year, button).
    TRect TitlePartRect(int block, unsigned hit) const;
    // The rectangle of a day's cell; empty when the day is not shown.
    TRect DayRect(int year, int month, int day) const;
    // The calendar draws itself as focused while the focus stays elsewhere.
    void SetDrawFocused(bool value);

    // The calendar's control answers: selection set (false when outside its range).
    bool SetControlSelection(TDateTime date);
    void SetControlSelRange(TDateTime start, TDateTime end);
    void SetControlRange(TDateTime maxDate, TDateTime minDate);
    void SetControlColor(int index, TColor color);
    void SetControlFirstDayOfWeek(int day);

    // The number of days of a month.
    static int MonthLength(int month, int year);

    // Answers a request for the bold days of count months from the given month on, asking
    // OnCalcBoldDay about every day; a request for more than 14 months is not answered (false).
    bool AnswerDayStates(int year, int month, int count);
    // The program-wide answer of the last request: bit (day - 1) of month i is bold.
    static const std::array<quint32, 14>& DayStateAnswer();

protected:
    // Fires OnChange.
    virtual void Change();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void KeyDown(int& key, TShiftState shift);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

    // The left button's press as the window gets it: taken by the component or passed on.
    void LeftButtonDown(QMouseEvent* event, bool doubleClick);
    // The control's own handling of presses, moves and releases.
    void ControlMouseDown(const QPoint& point);
    void ControlMouseMove(const QPoint& point);
    void ControlMouseUp(const QPoint& point);

    // The date parts of a hit: Day 0 when the point is not on a day.
    void HitDate(const QPoint& point, int& month, int& day, int& year) const;

private:
    friend class TkqDateTimeColors;
    struct TLayout {
        int CellWidth = 0, CellHeight = 0, TitleHeight = 0, DaysOfWeekHeight = 0, WeekNumberWidth = 0;
        int MonthWidth = 0, MonthHeight = 0, TodayHeight = 0, Border = 0;
        int Columns = 1, Rows = 1;
        int Left = 0, Top = 0;   // of the first block
    };
    TLayout Layout() const;
    TRect BlockRect(const TLayout& l, int block) const;
    // The first day shown in a block's grid (a day of the month before, or the 1st).
    TDateTime BlockGridStart(int block) const;
    void BlockMonth(int block, int& year, int& month) const;
    bool IsInControlRange(TDateTime day) const;
    bool DayOutsideLimits(const TMCHitTestInfo& hit) const;
    void SelectionChanged(TDateTime start, TDateTime end);
    void RequestDayStates();
    void EnsureVisible(TDateTime date);
    void AdjustToMinimumSize();
    void PaintBlock(TCanvas& canvas, const TLayout& l, int block);
    void PaintToday(TCanvas& canvas, const TLayout& l);
    void ShowMonthMenu(const TMCHitTestInfo& hit);
    void ShowYearMenu(const TMCHitTestInfo& hit);
    void ChooseMonth(TMenuItem* item);
    void ChooseYear(TMenuItem* item);
    void ClearJustShown();
    int FirstDayOfWeekValue() const { return int(FFirstDayOfWeek); }
    void SetFirstDayOfWeekValue(int v) { SetFirstDayOfWeek(TkqCalDayOfWeek(v)); }
    int OptionsValue() const { return int(FOptions.Bits()); }
    void SetOptionsValue(int v) { SetOptions(TkqMonthOptions::FromBits(unsigned(v))); }

    // The component.
    int FBorderStyle = 0;
    TkqDateTimeColors* FCalColors;
    TColor FColor = clWindow;
    bool FParentColor = false;
    TDateTime FDateTime = 0;
    TDateTime FMaxDate = 0;
    TDateTime FMinDate = 0;
    TDateTime FSelectionStart = 0;
    TDateTime FSelectionEnd = 0;
    TkqMonthOptions FOptions;
    int FMaxSelectCount = 31;
    bool FSelectionChanged = false;
    // The title clicked last: its year and month (and the day of the click's date).
    int FPopupYear = 0, FPopupMonth = 0, FPopupDay = 0;
    TCalendarPopupMenu* FMonthMenu;
    TCalendarPopupMenu* FYearMenu = nullptr;
    int FPreviousPopupMonth = 0;
    bool FYearPopupJustShown = false;
    bool FMonthPopupJustShown = false;
    bool FYearPopupShowing = false;
    bool FMonthPopupShowing = false;
    TkqPopupYearOptions* FPopupYearOptions;
    TkqCalDayOfWeek FFirstDayOfWeek = kqdowLocaleDefault;

    // The control.
    TDateTime FCtlMin = 0, FCtlMax = 0;
    TDateTime FCtlSelStart = 0, FCtlSelEnd = 0;
    int FCtlFirstMonth = 0;   // year * 12 + month - 1 of the first block
    int FCtlMaxSelCount = 31;
    std::array<TColor, 6> FCtlColors;
    int FCtlFirstDay = 6;
    bool FCtlMultiSelect = false, FCtlWeekNumbers = false, FCtlNoToday = false, FCtlNoTodayCircle = false;
    bool FCtlDayState = false, FCtlBorder = false;
    // Day states from this month (year * 12 + month - 1) on, one word per month.
    int FDayStateFirst = 0;
    std::vector<quint32> FDayStates;
    bool FTracking = false;
    TDateTime FTrackAnchor = 0;
    bool FDrawFocused = false;
    bool FPressHandled = false;
    bool FChoseFromMenu = false;
    bool FLoading = false;
};
