#include "gridlib/editors/kqmonthcal.h"

#include "gridlib/core/Kqintl.h"
#include "platform/core/ScopeExit.h"
#include "platform/core/SysFormat.h"
#include "platform/vcl/InputQuery.h"
#include "platform/vcl/Graphics.h"

#include <QApplication>
#include <QDateTime>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace {

double DayOf(TDateTime v) { return std::trunc(v); }
double TimeOf(TDateTime v) { return std::abs(v - std::trunc(v)); }
TDateTime Combine(double day, double time) { return day >= 0 ? day + time : day - time; }
int MonthIndex(int year, int month) { return year * 12 + month - 1; }
void SplitMonthIndex(int index, int& year, int& month)
{
    year = index / 12;
    month = index % 12 + 1;
}

// The same day in another month and year, the day lowered to the month's length.
TDateTime ClampedDate(int year, int month, int day)
{
    day = std::min(day, TkqMonthCalendar::MonthLength(month, year));
    TDateTime d = 0;
    TryEncodeDate(year, month, day, d);
    return d;
}

QString DateErrorText(const char* text, TDateTime bound) { return QString::fromLatin1(text).arg(DateToStr(bound)); }

[[noreturn]] void RaiseExceedsMax(TDateTime maxDate)
{
    throw EDateTimeError(DateErrorText("Date exceeds maximum of %1", maxDate));
}
[[noreturn]] void RaiseBelowMin(TDateTime minDate)
{
    throw EDateTimeError(DateErrorText("Date is less than minimum of %1", minDate));
}

std::array<quint32, 14> GDayStates{};

// The today circle: an ellipse inside the rectangle in the pen's colour.
void DrawCircle(TCanvas& canvas, const TRect& r)
{
    QPainter& p = canvas.Painter();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(ColorToQColor(canvas.Pen.Color));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(r.Left + 0.5, r.Top + 0.5, r.Width() - 1, r.Height() - 1));
    p.restore();
}

// 0 Monday .. 6 Sunday.
int MondayIndex(TDateTime day) { return (DayOfWeek(day) + 5) % 7; }

} // namespace

// --- Colours and year options

TkqDateTimeColors::TkqDateTimeColors(QObject* owner)
    : QObject(owner), FOwner(owner),
      FColors{clWindow, clWindowText, clActiveCaption, TColor(16777215), clWhite, clInactiveCaptionText}
{
}

void TkqDateTimeColors::SetColorByIndex(int index, TColor color)
{
    if (index < 0 || index > 5) return;
    if (auto* cal = qobject_cast<TkqMonthCalendar*>(FOwner)) cal->SetControlColor(index, color);
    FColors[size_t(index)] = color;
}

void TkqDateTimeColors::ApplyAll()
{
    for (int i = 0; i < 6; ++i) SetColorByIndex(i, FColors[size_t(i)]);
}

void TkqDateTimeColors::Assign(const QObject* source)
{
    const auto* other = qobject_cast<const TkqDateTimeColors*>(source);
    if (!other) {
        const QString from = source ? QString::fromLatin1(source->metaObject()->className()) : QStringLiteral("nil");
        throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2").arg(from, QString::fromLatin1(metaObject()->className())));
    }
    for (int i = MCSC_TEXT; i <= MCSC_TRAILINGTEXT; ++i) SetColorByIndex(i, other->FColors[size_t(i)]);
}

void TkqPopupYearOptions::Assign(const QObject* source)
{
    const auto* other = qobject_cast<const TkqPopupYearOptions*>(source);
    if (!other) {
        const QString from = source ? QString::fromLatin1(source->metaObject()->className()) : QStringLiteral("nil");
        throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2").arg(from, QString::fromLatin1(metaObject()->className())));
    }
    YearsPerColumn = other->YearsPerColumn;
    NumberColumns = other->NumberColumns;
    StartYear = other->StartYear;
    ShowEditYear = other->ShowEditYear;
}

void TCalendarPopupMenu::Popup(int x, int y)
{
    FPopping = true;
    TScopeExit done([this] { FPopping = false; });
    TPopupMenu::Popup(x, y);
}

// --- The calendar

TkqMonthCalendar::TkqMonthCalendar(QWidget* parent)
    : QWidget(parent), FCalColors(new TkqDateTimeColors(this)), FMonthMenu(new TCalendarPopupMenu(this)),
      FPopupYearOptions(new TkqPopupYearOptions(this))
{
    FCtlColors = {clWindow, clWindowText, clActiveCaption, TColor(16777215), clWhite, clInactiveCaptionText};
    FDateTime = Now();
    FOptions = {mdoDayState};
    FMonthMenu->Alignment = paRight;
    for (int m = 0; m < 12; ++m) {
        auto* item = new TMenuItem(FMonthMenu);
        item->Caption = FormatSettings.LongMonthNames[m];
        item->Tag = m + 1;
        item->OnClick = [this, item](QObject*) { ChooseMonth(item); };
        FMonthMenu->Items()->Add(item);
    }
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    int y = 0, m = 0, d = 0;
    DecodeDate(FDateTime, y, m, d);
    FCtlFirstMonth = MonthIndex(y, m);
    resize(155, 10);
    RecreateWnd();
}

TkqMonthCalendar::~TkqMonthCalendar() = default;

int TkqMonthCalendar::MonthLength(int month, int year)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 31;
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
    return days[month - 1];
}

void TkqMonthCalendar::RecreateWnd()
{
    FCtlMultiSelect = FOptions.Contains(mdoMultiSelect);
    FCtlWeekNumbers = FOptions.Contains(mdoWeekNumbers);
    FCtlNoToday = FOptions.Contains(mdoNoToday);   // the calendar here is always new enough
    FCtlNoTodayCircle = FOptions.Contains(mdoNoTodayCircle);
    FCtlDayState = FOptions.Contains(mdoDayState);
    FCtlBorder = FBorderStyle == 1;
    FCtlMin = FCtlMax = 0;
    SetControlRange(FMaxDate, FMinDate);
    if (FCtlMultiSelect) {
        FCtlMaxSelCount = FMaxSelectCount;
        if (FSelectionStart != 0 && FSelectionEnd != 0) SetControlSelRange(FSelectionStart, FSelectionEnd);
        else ApplyDate(FDateTime);
    } else {
        ApplyDate(FDateTime);
    }
    FCalColors->ApplyAll();
    SetFirstDayOfWeek(FFirstDayOfWeek);
    AdjustToMinimumSize();
    RequestDayStates();
    update();
}

void TkqMonthCalendar::SetBorderStyle(int value)
{
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    RecreateWnd();
}

void TkqMonthCalendar::SetColor(TColor value)
{
    FColor = value;
    FParentColor = false;
    update();
}

void TkqMonthCalendar::SetOptions(TkqMonthOptions value)
{
    FOptions = value;
    RecreateWnd();
}

void TkqMonthCalendar::SetDate(TDateTime value)
{
    if (DayOf(value) == DayOf(FDateTime)) return;
    const TDateTime v = Combine(DayOf(value), TimeOf(FDateTime));
    if (v == 0) {
        update();
        return;
    }
    try {
        if (FMaxDate != 0 && DayOf(v) > DayOf(FMaxDate)) RaiseExceedsMax(FMaxDate);
        if (FMinDate != 0 && DayOf(v) < DayOf(FMinDate)) RaiseBelowMin(FMinDate);
    } catch (...) {
        ApplyDate(FDateTime);
        throw;
    }
    ApplyDate(v);
}

void TkqMonthCalendar::SetTime(TDateTime value)
{
    if (TimeOf(value) == TimeOf(FDateTime)) return;
    const TDateTime v = Combine(DayOf(FDateTime), TimeOf(value));
    if (v == 0) {
        update();
        return;
    }
    ApplyDate(v);
}

void TkqMonthCalendar::SetMaxDate(TDateTime value)
{
    if (value != 0 && FMinDate != 0 && value < FMinDate) RaiseBelowMin(FMinDate);
    if (value == FMaxDate) return;
    SetControlRange(value, FMinDate);
    FMaxDate = value;
}

void TkqMonthCalendar::SetMinDate(TDateTime value)
{
    if (FMaxDate != 0 && value > FMaxDate) RaiseExceedsMax(FMaxDate);
    if (value == FMinDate) return;
    SetControlRange(FMaxDate, value);
    FMinDate = value;
}

void TkqMonthCalendar::SetSelectionStart(TDateTime value)
{
    if (value == 0) {
        update();
        return;
    }
    if (FMaxDate != 0 && DayOf(value) > DayOf(FMaxDate)) {
        FSelectionStart = FMaxDate;
        RaiseExceedsMax(FMaxDate);
    }
    if (FMinDate != 0 && DayOf(value) < DayOf(FMinDate)) {
        FSelectionStart = FMinDate;
        RaiseBelowMin(FMinDate);
    }
    FSelectionStart = value;
    if (FSelectionEnd != 0 && FSelectionEnd != value) SetControlSelRange(FSelectionStart, FSelectionEnd);
}

void TkqMonthCalendar::SetSelectionEnd(TDateTime value)
{
    if (value == 0) {
        update();
        return;
    }
    if (FMaxDate != 0 && DayOf(value) > DayOf(FMaxDate)) {
        FSelectionEnd = FMaxDate;
        RaiseExceedsMax(FMaxDate);
    }
    if (FMinDate != 0 && DayOf(value) < DayOf(FMinDate)) {
        FSelectionEnd = FMinDate;
        RaiseBelowMin(FMinDate);
    }
    FSelectionEnd = value;
    if (FSelectionStart != 0 && FSelectionStart != value) SetControlSelRange(FSelectionStart, FSelectionEnd);
}

void TkqMonthCalendar::SetMaxSelectCount(int value)
{
    FMaxSelectCount = value;
    FCtlMaxSelCount = value;
}

void TkqMonthCalendar::SetFirstDayOfWeek(TkqCalDayOfWeek value)
{
    const int day = value == kqdowLocaleDefault ? FirstDayOfWeekSetting() : int(value);
    SetControlFirstDayOfWeek(day);
    FFirstDayOfWeek = value;
}

void TkqMonthCalendar::SetWidth(int value)
{
    const QSize m = MinReqSize();
    resize(std::max(value, m.width()), height());
}

void TkqMonthCalendar::SetHeight(int value)
{
    const QSize m = MinReqSize();
    resize(width(), std::max(value, m.height()));
}

void TkqMonthCalendar::AdjustToMinimumSize()
{
    const QSize m = MinReqSize();
    resize(std::max(width(), m.width()), std::max(height(), m.height()));
}

bool TkqMonthCalendar::IsPopupMenuShowing() const
{
    return FYearPopupShowing || FMonthPopupShowing || FMonthMenu->Popping() || (FYearMenu && FYearMenu->Popping());
}

void TkqMonthCalendar::ApplyDate(TDateTime value)
{
    if (FMaxDate != 0 && DayOf(value) > DayOf(FMaxDate)) value = FMaxDate;
    else if (FMinDate != 0 && DayOf(value) < DayOf(FMinDate)) value = FMinDate;
    else if (FMinDate == 0 && value < 0) value = 1;   // 31 December 1899
    if (FCtlMultiSelect) {
        FSelectionStart = FSelectionEnd = value;
        SetControlSelRange(value, value);
        if (IsInControlRange(DayOf(value))) FDateTime = value;
    } else if (SetControlSelection(value)) {
        FDateTime = value;
    }
}

void TkqMonthCalendar::FocusIfVisible()
{
    if (isVisible()) setFocus(Qt::MouseFocusReason);
}

void TkqMonthCalendar::Change()
{
    if (OnChange) OnChange(this);
}

// --- The control underneath: range, selection, view, day states

bool TkqMonthCalendar::IsInControlRange(TDateTime day) const
{
    day = DayOf(day);
    return (FCtlMin == 0 || day >= DayOf(FCtlMin)) && (FCtlMax == 0 || day <= DayOf(FCtlMax));
}

bool TkqMonthCalendar::SetControlSelection(TDateTime date)
{
    if (!IsInControlRange(date)) return false;
    FCtlSelStart = FCtlSelEnd = DayOf(date);
    EnsureVisible(FCtlSelStart);
    update();
    return true;
}

void TkqMonthCalendar::SetControlSelRange(TDateTime start, TDateTime end)
{
    if (!FCtlMultiSelect) return;
    if (start > end) std::swap(start, end);
    FCtlSelStart = DayOf(start);
    FCtlSelEnd = DayOf(end);
    FSelectionStart = start;
    FSelectionEnd = end;
    EnsureVisible(FCtlSelStart);
    update();
}

void TkqMonthCalendar::GetControlSelRange(TDateTime& start, TDateTime& end) const
{
    start = FCtlSelStart;
    end = FCtlSelEnd;
}

void TkqMonthCalendar::SetControlRange(TDateTime maxDate, TDateTime minDate)
{
    if (maxDate == 0 && minDate == 0) return;
    FCtlMin = minDate;
    FCtlMax = maxDate;
    update();
}

void TkqMonthCalendar::SetControlColor(int index, TColor color)
{
    if (index < 0 || index > 5) return;
    FCtlColors[size_t(index)] = color;
    update();
}

void TkqMonthCalendar::SetControlFirstDayOfWeek(int day)
{
    FCtlFirstDay = std::clamp(day, 0, 6);
    update();
}

void TkqMonthCalendar::EnsureVisible(TDateTime date)
{
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    const int index = MonthIndex(y, m);
    const int count = VisibleMonthCount();
    if (index < FCtlFirstMonth) FCtlFirstMonth = index;
    else if (index >= FCtlFirstMonth + count) FCtlFirstMonth = index - count + 1;
    else return;
    RequestDayStates();
}

void TkqMonthCalendar::ScrollMonths(int n)
{
    FCtlFirstMonth = std::clamp(FCtlFirstMonth + n, MonthIndex(1, 1), MonthIndex(9999, 12));
    RequestDayStates();
    update();
}

int TkqMonthCalendar::MonthDelta() const { return VisibleMonthCount(); }

int TkqMonthCalendar::VisibleMonthCount() const
{
    const TLayout l = Layout();
    return l.Columns * l.Rows;
}

void TkqMonthCalendar::GetMonthRange(int& firstYear, int& firstMonth, int& lastYear, int& lastMonth) const
{
    SplitMonthIndex(FCtlFirstMonth, firstYear, firstMonth);
    SplitMonthIndex(FCtlFirstMonth + VisibleMonthCount() - 1, lastYear, lastMonth);
}

const std::array<quint32, 14>& TkqMonthCalendar::DayStateAnswer() { return GDayStates; }

bool TkqMonthCalendar::AnswerDayStates(int year, int month, int count)
{
    if (count > 14 || count < 0) return false;
    for (int i = 0; i < count; ++i) {
        int m = (month + i) % 12;
        if (m == 0) m = 12;
        const int y = year + (month + i - 1) / 12;
        quint32 bits = 0;
        if (OnCalcBoldDay) {
            for (int d = 1; d <= MonthLength(m, y); ++d) {
                bool accept = false;
                OnCalcBoldDay(this, EncodeDate(y, m, d), m, d, y, accept);
                if (accept) bits |= quint32(1) << (d - 1);
            }
        }
        GDayStates[size_t(i)] = bits;
    }
    return true;
}

void TkqMonthCalendar::RequestDayStates()
{
    if (!FCtlDayState || FLoading) {
        FDayStates.clear();
        return;
    }
    // The months shown whole and the one on each side whose days show greyed.
    const int first = FCtlFirstMonth - 1;
    const int count = VisibleMonthCount() + 2;
    if (first < MonthIndex(1, 1)) return;
    int y = 0, m = 0;
    SplitMonthIndex(first, y, m);
    FDayStates.clear();
    if (!AnswerDayStates(y, m, count)) return;
    FDayStateFirst = first;
    FDayStates.assign(GDayStates.begin(), GDayStates.begin() + count);
}

bool TkqMonthCalendar::IsBoldDay(int year, int month, int day) const
{
    const int i = MonthIndex(year, month) - FDayStateFirst;
    if (i < 0 || i >= int(FDayStates.size()) || day < 1 || day > 31) return false;
    return FDayStates[size_t(i)] & (quint32(1) << (day - 1));
}

void TkqMonthCalendar::SetDrawFocused(bool value)
{
    FDrawFocused = value;
    update();
}

// --- Layout and hit testing

TkqMonthCalendar::TLayout TkqMonthCalendar::Layout() const
{
    const QFontMetrics fm(font());
    TLayout l;
    // A cell holds two digits or the short name of a day of the week.
    int widest = fm.horizontalAdvance(QStringLiteral("00")) + 4;
    for (const QString& name : FormatSettings.ShortDayNames) widest = std::max(widest, fm.horizontalAdvance(name.left(3)));
    l.CellWidth = widest + 4;
    l.CellHeight = fm.height() + 2;
    l.TitleHeight = fm.height() + 10;
    l.DaysOfWeekHeight = fm.height() + 3;
    l.WeekNumberWidth = FCtlWeekNumbers ? l.CellWidth : 0;
    l.MonthWidth = 7 * l.CellWidth + l.WeekNumberWidth + 12;
    l.MonthHeight = l.TitleHeight + l.DaysOfWeekHeight + 6 * l.CellHeight + 6;
    l.TodayHeight = FCtlNoToday ? 0 : fm.height() + 6;
    l.Border = FCtlBorder ? 1 : 0;
    l.Columns = std::max(1, (width() - 2 * l.Border) / l.MonthWidth);
    l.Rows = std::max(1, (height() - 2 * l.Border - l.TodayHeight) / l.MonthHeight);
    l.Left = l.Border + std::max(0, (width() - 2 * l.Border - l.Columns * l.MonthWidth) / 2);
    l.Top = l.Border;
    return l;
}

QSize TkqMonthCalendar::MinReqSize() const
{
    const TLayout l = Layout();
    return {l.MonthWidth + 2 * l.Border, l.MonthHeight + l.TodayHeight + 2 * l.Border};
}

TRect TkqMonthCalendar::BlockRect(const TLayout& l, int block) const
{
    const int col = block % l.Columns, row = block / l.Columns;
    return TRect::Bounds(l.Left + col * l.MonthWidth, l.Top + row * l.MonthHeight, l.MonthWidth, l.MonthHeight);
}

void TkqMonthCalendar::BlockMonth(int block, int& year, int& month) const
{
    SplitMonthIndex(FCtlFirstMonth + block, year, month);
}

TDateTime TkqMonthCalendar::BlockGridStart(int block) const
{
    int y = 0, m = 0;
    BlockMonth(block, y, m);
    const TDateTime first = EncodeDate(y, m, 1);
    int lead = (MondayIndex(first) - FCtlFirstDay + 7) % 7;
    if (lead == 0) lead = 7;   // a month starting on the week's first day shows the week before
    return first - lead;
}

TRect TkqMonthCalendar::TitlePartRect(int block, unsigned hit) const
{
    const TLayout l = Layout();
    if (block < 0 || block >= l.Columns * l.Rows) return {};
    const TRect b = BlockRect(l, block);
    const TRect title{b.Left + 2, b.Top + 2, b.Right - 2, b.Top + l.TitleHeight};
    const int button = l.TitleHeight - 4;
    if (hit == MCHT_TITLEBTNPREV) return block == 0 ? TRect::Bounds(title.Left + 2, title.Top + 2, button, button - 2) : TRect{};
    if (hit == MCHT_TITLEBTNNEXT)
        return block == l.Columns - 1 ? TRect::Bounds(title.Right - 2 - button, title.Top + 2, button, button - 2) : TRect{};
    int y = 0, m = 0;
    BlockMonth(block, y, m);
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    const QString month = FormatSettings.LongMonthNames[m - 1];
    const QString year = QString::number(y);
    const int gap = fm.horizontalAdvance(QLatin1Char(' '));
    const int total = fm.horizontalAdvance(month) + gap + fm.horizontalAdvance(year);
    const int left = title.Left + (title.Width() - total) / 2;
    const int top = title.Top + (title.Height() - fm.height()) / 2;
    if (hit == MCHT_TITLEMONTH) return TRect::Bounds(left, top, fm.horizontalAdvance(month), fm.height());
    if (hit == MCHT_TITLEYEAR)
        return TRect::Bounds(left + fm.horizontalAdvance(month) + gap, top, fm.horizontalAdvance(year), fm.height());
    return title;
}

TRect TkqMonthCalendar::DayRect(int year, int month, int day) const
{
    const TLayout l = Layout();
    TDateTime date = 0;
    if (!TryEncodeDate(year, month, day, date)) return {};
    const int count = l.Columns * l.Rows;
    for (int block = 0; block < count; ++block) {
        int by = 0, bm = 0;
        BlockMonth(block, by, bm);
        const int index = int(date - BlockGridStart(block));
        if (index < 0 || index >= 42) continue;
        const bool own = by == year && bm == month;
        const bool leading = !own && MonthIndex(year, month) < MonthIndex(by, bm);
        if (!own && !(leading && block == 0) && !(!leading && block == count - 1)) continue;
        const TRect b = BlockRect(l, block);
        const int x = b.Left + 6 + l.WeekNumberWidth + (index % 7) * l.CellWidth;
        const int y = b.Top + l.TitleHeight + l.DaysOfWeekHeight + (index / 7) * l.CellHeight;
        return TRect::Bounds(x, y, l.CellWidth, l.CellHeight);
    }
    return {};
}

TMCHitTestInfo TkqMonthCalendar::HitTest(const QPoint& point) const
{
    TMCHitTestInfo info;
    const TLayout l = Layout();
    const int count = l.Columns * l.Rows;
    if (!FCtlNoToday) {
        const TRect today{l.Left, l.Top + l.Rows * l.MonthHeight, l.Left + l.Columns * l.MonthWidth,
                          l.Top + l.Rows * l.MonthHeight + l.TodayHeight};
        if (today.Contains(point)) {
            info.Hit = MCHT_TODAYLINK;
            DecodeDate(Date(), info.Year, info.Month, info.Day);
            return info;
        }
    }
    for (int block = 0; block < count; ++block) {
        const TRect b = BlockRect(l, block);
        if (!b.Contains(point)) continue;
        info.Block = block;
        BlockMonth(block, info.Year, info.Month);
        if (point.y() < b.Top + l.TitleHeight) {
            for (unsigned part : {MCHT_TITLEBTNPREV, MCHT_TITLEBTNNEXT, MCHT_TITLEMONTH, MCHT_TITLEYEAR}) {
                if (TitlePartRect(block, part).Contains(point)) {
                    info.Hit = part;
                    return info;
                }
            }
            info.Hit = MCHT_TITLEBK;
            return info;
        }
        const int gridTop = b.Top + l.TitleHeight + l.DaysOfWeekHeight;
        const int gridLeft = b.Left + 6 + l.WeekNumberWidth;
        if (point.y() < gridTop) {
            info.Hit = point.x() >= gridLeft ? MCHT_CALENDARDAY : MCHT_CALENDARBK;
            return info;
        }
        const int row = (point.y() - gridTop) / l.CellHeight;
        if (row >= 6 || point.x() < b.Left + 6 || point.x() >= gridLeft + 7 * l.CellWidth) {
            info.Hit = MCHT_CALENDARBK;
            return info;
        }
        if (point.x() < gridLeft) {
            info.Hit = MCHT_CALENDARWEEKNUM;
            DecodeDate(BlockGridStart(block) + row * 7, info.Year, info.Month, info.Day);
            return info;
        }
        const int col = (point.x() - gridLeft) / l.CellWidth;
        const TDateTime date = BlockGridStart(block) + row * 7 + col;
        int y = 0, m = 0, d = 0;
        DecodeDate(date, y, m, d);
        const int own = MonthIndex(info.Year, info.Month), mi = MonthIndex(y, m);
        if (mi == own) {
            info.Hit = MCHT_CALENDARDATE;
        } else if (mi < own && block == 0) {
            info.Hit = MCHT_CALENDARDATEPREV;
        } else if (mi > own && block == count - 1) {
            info.Hit = MCHT_CALENDARDATENEXT;
        } else {
            info.Hit = MCHT_CALENDARBK;
            return info;
        }
        info.Year = y;
        info.Month = m;
        info.Day = d;
        return info;
    }
    return info;
}

void TkqMonthCalendar::HitDate(const QPoint& point, int& month, int& day, int& year) const
{
    const TMCHitTestInfo hit = HitTest(point);
    month = hit.Month;
    year = hit.Year;
    day = (hit.Hit & MCHT_CALENDARDATE) == MCHT_CALENDARDATE ? hit.Day : 0;
}

bool TkqMonthCalendar::DayOutsideLimits(const TMCHitTestInfo& hit) const
{
    if ((hit.Hit & MCHT_CALENDARDATE) != MCHT_CALENDARDATE) return false;
    if (hit.Year > 9999 || hit.Day < 1 || hit.Day > 31) return true;
    const TDateTime day = ClampedDate(hit.Year, hit.Month, hit.Day);
    return (FMaxDate != 0 && day > DayOf(FMaxDate)) || (FMinDate != 0 && day < DayOf(FMinDate));
}

// --- Painting

void TkqMonthCalendar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.Font.Font = font();
    const TLayout l = Layout();
    canvas.Brush.Color = FCtlColors[MCSC_BACKGROUND];
    canvas.FillRect(TRect(0, 0, width(), height()));
    canvas.Brush.Color = FCtlColors[MCSC_MONTHBK];
    canvas.FillRect(TRect(l.Left, l.Top, l.Left + l.Columns * l.MonthWidth, l.Top + l.Rows * l.MonthHeight));
    for (int block = 0; block < l.Columns * l.Rows; ++block) PaintBlock(canvas, l, block);
    if (!FCtlNoToday) PaintToday(canvas, l);
    if (FCtlBorder) {
        canvas.Brush.Color = clWindowFrame;
        canvas.FrameRect(TRect(0, 0, width(), height()));
    }
}

void TkqMonthCalendar::PaintBlock(TCanvas& canvas, const TLayout& l, int block)
{
    const TRect b = BlockRect(l, block);
    int year = 0, month = 0;
    BlockMonth(block, year, month);
    const int count = l.Columns * l.Rows;

    // Title: a band with the month and the year, the paging buttons in the outer blocks.
    const TRect title = TitlePartRect(block, MCHT_TITLEBK);
    canvas.Brush.Color = FCtlColors[MCSC_TITLEBK];
    canvas.FillRect(title);
    canvas.Brush.Style = bsClear;
    canvas.Font.Font.setBold(true);
    canvas.Font.Color = FCtlColors[MCSC_TITLETEXT];
    const TRect monthRect = TitlePartRect(block, MCHT_TITLEMONTH);
    const TRect yearRect = TitlePartRect(block, MCHT_TITLEYEAR);
    canvas.TextOut(monthRect.Left, monthRect.Top, FormatSettings.LongMonthNames[month - 1]);
    canvas.TextOut(yearRect.Left, yearRect.Top, QString::number(year));
    canvas.Font.Font.setBold(false);
    canvas.Brush.Style = bsSolid;
    for (unsigned part : {MCHT_TITLEBTNPREV, MCHT_TITLEBTNNEXT}) {
        const TRect r = TitlePartRect(block, part);
        if (r.IsEmpty()) continue;
        // A filled triangle pointing outwards, in the title's text colour.
        const int h = std::max(3, r.Height() / 3), cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
        QPolygon tri;
        if (part == MCHT_TITLEBTNPREV) tri << QPoint(cx - h / 2, cy) << QPoint(cx + h / 2 + 1, cy - h) << QPoint(cx + h / 2 + 1, cy + h);
        else tri << QPoint(cx + h / 2, cy) << QPoint(cx - h / 2 - 1, cy - h) << QPoint(cx - h / 2 - 1, cy + h);
        QPainter& p = canvas.Painter();
        p.save();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(ColorToQColor(FCtlColors[MCSC_TITLETEXT]));
        p.drawPolygon(tri);
        p.restore();
    }

    // Days of the week, with a line below.
    const int gridLeft = b.Left + 6 + l.WeekNumberWidth;
    const int dowTop = b.Top + l.TitleHeight;
    canvas.Brush.Style = bsClear;
    canvas.Font.Color = FCtlColors[MCSC_TITLEBK];
    for (int i = 0; i < 7; ++i) {
        const int day = (FCtlFirstDay + i) % 7;           // 0 Monday
        const QString name = FormatSettings.ShortDayNames[(day + 1) % 7].left(3);
        TRect cell = TRect::Bounds(gridLeft + i * l.CellWidth, dowTop, l.CellWidth, l.DaysOfWeekHeight - 2);
        canvas.DrawText(name, cell, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    canvas.Pen.Color = FCtlColors[MCSC_TRAILINGTEXT];
    canvas.MoveTo(gridLeft, dowTop + l.DaysOfWeekHeight - 2);
    canvas.LineTo(gridLeft + 7 * l.CellWidth, dowTop + l.DaysOfWeekHeight - 2);

    // The days.
    const int gridTop = dowTop + l.DaysOfWeekHeight;
    const TDateTime start = BlockGridStart(block);
    const TDateTime today = DayOf(::Date());
    const int own = MonthIndex(year, month);
    for (int i = 0; i < 42; ++i) {
        const TDateTime date = start + i;
        int y = 0, m = 0, d = 0;
        DecodeDate(date, y, m, d);
        const int mi = MonthIndex(y, m);
        const bool leading = mi < own, trailing = mi > own;
        if ((leading && block != 0) || (trailing && block != count - 1)) continue;
        const TRect cell = TRect::Bounds(gridLeft + (i % 7) * l.CellWidth, gridTop + (i / 7) * l.CellHeight, l.CellWidth,
                                         l.CellHeight);
        const bool selected = !leading && !trailing && date >= FCtlSelStart && date <= FCtlSelEnd;
        if (selected) {
            canvas.Brush.Style = bsSolid;
            canvas.Brush.Color = FCtlColors[MCSC_TITLEBK];
            canvas.FillRect(cell.Inflated(0, -1));
            if ((hasFocus() || FDrawFocused) && date == FCtlSelStart) DrawFocusRect(canvas, cell.Inflated(0, -1));
        }
        canvas.Brush.Style = bsClear;
        canvas.Font.Color = selected ? FCtlColors[MCSC_TITLETEXT]
                            : (leading || trailing || !IsInControlRange(date)) ? FCtlColors[MCSC_TRAILINGTEXT]
                                                                              : FCtlColors[MCSC_TEXT];
        canvas.Font.Font.setBold(IsBoldDay(y, m, d));
        TRect text = cell;
        canvas.DrawText(QString::number(d), text, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        canvas.Font.Font.setBold(false);
        if (date == today && !FCtlNoTodayCircle && !leading && !trailing) {
            canvas.Pen.Color = clRed;
            canvas.Brush.Style = bsClear;
            DrawCircle(canvas, cell.Inflated(1, 0));
        }
    }
    if (FCtlWeekNumbers) {
        canvas.Font.Color = FCtlColors[MCSC_TITLEBK];
        for (int row = 0; row < 6; ++row) {
            const QDate qd = DateTimeToQDateTime(start + row * 7 + 3).date();
            TRect cell = TRect::Bounds(b.Left + 6, gridTop + row * l.CellHeight, l.WeekNumberWidth - 2, l.CellHeight);
            canvas.DrawText(QString::number(qd.weekNumber()), cell, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
        canvas.Pen.Color = FCtlColors[MCSC_TRAILINGTEXT];
        canvas.MoveTo(gridLeft - 2, gridTop);
        canvas.LineTo(gridLeft - 2, gridTop + 6 * l.CellHeight);
    }
    canvas.Brush.Style = bsSolid;
}

void TkqMonthCalendar::PaintToday(TCanvas& canvas, const TLayout& l)
{
    const int top = l.Top + l.Rows * l.MonthHeight;
    const int left = l.Left + 8;
    const QFontMetrics fm(font());
    if (!FCtlNoTodayCircle) {
        canvas.Pen.Color = clRed;
        canvas.Brush.Style = bsClear;
        DrawCircle(canvas, TRect::Bounds(left, top + 2, l.CellWidth, fm.height() + 2));
    }
    canvas.Brush.Style = bsClear;
    canvas.Font.Color = FCtlColors[MCSC_TEXT];
    canvas.Font.Font.setBold(true);
    canvas.TextOut(left + l.CellWidth + 4, top + 3, QStringLiteral("Today: ") + DateToStr(::Date()));
    canvas.Font.Font.setBold(false);
    canvas.Brush.Style = bsSolid;
}

// --- Mouse

void TkqMonthCalendar::mousePressEvent(QMouseEvent* event)
{
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers(), event->buttons());
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) LeftButtonDown(event, false);
    else if (event->button() == Qt::RightButton) MouseDown(mbRight, shift, p.x(), p.y());
}

void TkqMonthCalendar::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) LeftButtonDown(event, true);
}

void TkqMonthCalendar::LeftButtonDown(QMouseEvent* event, bool doubleClick)
{
    const QPoint p = event->position().toPoint();
    TShiftState shift = ShiftStateFromModifiers(event->modifiers(), event->buttons());
    if (doubleClick) shift.Include(ssDouble);
    const TMCHitTestInfo hit = HitTest(p);
    if (hit.Year >= 10000) return;
    const bool title = hit.Hit == MCHT_TITLEMONTH || hit.Hit == MCHT_TITLEYEAR || hit.Hit == MCHT_TITLEBTNPREV ||
                       hit.Hit == MCHT_TITLEBTNNEXT;
    if (title || DayOutsideLimits(hit)) {
        MouseDown(mbLeft, shift, p.x(), p.y());
        return;
    }
    ControlMouseDown(p);
    MouseDown(mbLeft, shift, p.x(), p.y());
}

void TkqMonthCalendar::ControlMouseDown(const QPoint& point)
{
    const TMCHitTestInfo hit = HitTest(point);
    TDateTime day = 0;
    if ((hit.Hit & MCHT_CALENDARDATE) == MCHT_CALENDARDATE || hit.Hit == MCHT_TODAYLINK) {
        if (!TryEncodeDate(hit.Year, hit.Month, hit.Day, day) || !IsInControlRange(day)) return;
    } else {
        return;
    }
    if (hit.Hit == MCHT_CALENDARDATEPREV) ScrollMonths(-1);
    else if (hit.Hit == MCHT_CALENDARDATENEXT) ScrollMonths(1);
    FTracking = FCtlMultiSelect;
    FTrackAnchor = day;
    SelectionChanged(day, day);
}

void TkqMonthCalendar::ControlMouseMove(const QPoint& point)
{
    if (!FTracking) return;
    const TMCHitTestInfo hit = HitTest(point);
    TDateTime day = 0;
    if ((hit.Hit & MCHT_CALENDARDATE) != MCHT_CALENDARDATE || !TryEncodeDate(hit.Year, hit.Month, hit.Day, day)) return;
    if (!IsInControlRange(day)) return;
    TDateTime start = std::min(day, FTrackAnchor), end = std::max(day, FTrackAnchor);
    if (end - start + 1 > FCtlMaxSelCount) {
        if (day < FTrackAnchor) start = end - (FCtlMaxSelCount - 1);
        else end = start + (FCtlMaxSelCount - 1);
    }
    SelectionChanged(start, end);
}

void TkqMonthCalendar::ControlMouseUp(const QPoint&)
{
    FTracking = false;
}

void TkqMonthCalendar::SelectionChanged(TDateTime start, TDateTime end)
{
    const TDateTime oldStart = FSelectionStart, oldEnd = FSelectionEnd;
    FCtlSelStart = start;
    FCtlSelEnd = FCtlMultiSelect ? end : start;
    update();
    FSelectionStart = (FMinDate != 0 && start < DayOf(FMinDate)) ? FMinDate : start;
    if (FCtlMultiSelect) {
        FSelectionEnd = (FMinDate != 0 && end < DayOf(FMinDate)) ? FMinDate : end;
        if (FSelectionStart != oldStart || FSelectionEnd != oldEnd) FSelectionChanged = true;
    } else {
        FSelectionEnd = FSelectionStart;
    }
    if (DayOf(FSelectionStart) == DayOf(FSelectionEnd) && DayOf(FSelectionStart) != DayOf(FDateTime)) {
        FDateTime = Combine(DayOf(FSelectionStart), TimeOf(FDateTime));
        Change();
    }
}

void TkqMonthCalendar::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const TMCHitTestInfo hit = HitTest(p);
    if (!DayOutsideLimits(hit)) ControlMouseMove(p);
    MouseMove(ShiftStateFromModifiers(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TkqMonthCalendar::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers(), event->buttons());
    const TMouseButton button = event->button() == Qt::RightButton ? mbRight
                                : event->button() == Qt::MiddleButton ? mbMiddle
                                                                       : mbLeft;
    if (button == mbLeft && !DayOutsideLimits(HitTest(p))) ControlMouseUp(p);
    else FTracking = false;
    MouseUp(button, shift, p.x(), p.y());
}

void TkqMonthCalendar::MouseMove(TShiftState shift, int x, int y)
{
    int month = 0, day = 0, year = 0;
    HitDate(QPoint(x, y), month, day, year);
    if (OnMouseMove) OnMouseMove(this, shift, x, y, month, day, year);
}

void TkqMonthCalendar::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    int month = 0, day = 0, year = 0;
    HitDate(QPoint(x, y), month, day, year);
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y, month, day, year);
    if (FCtlMultiSelect && FSelectionChanged) {
        FSelectionChanged = false;
        Change();
    }
}

void TkqMonthCalendar::ClearJustShown()
{
    FYearPopupJustShown = false;
    FMonthPopupJustShown = false;
}

void TkqMonthCalendar::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbRight) return;
    if (!IsClassOrAncestorNamed(parent(), "TkqDBCustomDateTimePicker") && !IsClassOrAncestorNamed(this, "TkqPopupCalendar"))
        FocusIfVisible();
    const TMCHitTestInfo hit = HitTest(QPoint(x, y));
    int month = 0, day = 0, year = 0;
    HitDate(QPoint(x, y), month, day, year);
    if (OnMouseDown) {
        try {
            OnMouseDown(this, button, shift, x, y, month, day, year);
        } catch (...) {
            ClearJustShown();
            return;
        }
    }
    if (day >= 1 && day <= 31) {
        ClearJustShown();
        const TDateTime d = ClampedDate(year, month, day);
        if (FMaxDate != 0 && d > DayOf(FMaxDate)) ApplyDate(FMaxDate);
        else if (FMinDate != 0 && d < DayOf(FMinDate)) ApplyDate(FMinDate);
        return;
    }
    int dd = 0, mm = 0, yy = 0;
    DecodeDate(FDateTime, yy, mm, dd);
    if (hit.Hit == MCHT_TITLEBTNPREV || hit.Hit == MCHT_TITLEBTNNEXT) {
        const int delta = MonthDelta();
        const bool prev = hit.Hit == MCHT_TITLEBTNPREV;
        int fy = 0, fm = 0, ly = 0, lm = 0;
        GetMonthRange(fy, fm, ly, lm);
        const int target = prev ? MonthIndex(fy, fm) - delta : MonthIndex(ly, lm) + delta;
        int ty = 0, tm = 0;
        SplitMonthIndex(target, ty, tm);
        TDateTime v = 0;
        if (!prev && ty > 9998) {
            QApplication::beep();
            return;
        }
        if (ty < 1) {
            v = FMinDate != 0 ? FMinDate : 1;
            QApplication::beep();
        } else {
            v = Combine(ClampedDate(ty, tm, dd), TimeOf(FDateTime));
            if (prev && FMinDate != 0 && DayOf(v) < DayOf(FMinDate)) {
                v = FMinDate;
                QApplication::beep();
            } else if (!prev && FMaxDate != 0 && DayOf(v) > DayOf(FMaxDate)) {
                v = FMaxDate;
                QApplication::beep();
            }
        }
        ScrollMonths(prev ? -delta : delta);
        ApplyDate(v);
        Change();
        return;
    }
    if (hit.Hit == MCHT_TITLEMONTH) {
        ShowMonthMenu(hit);
        return;
    }
    if (hit.Hit == MCHT_TITLEYEAR) {
        ShowYearMenu(hit);
        return;
    }
    ClearJustShown();
}

void TkqMonthCalendar::ShowMonthMenu(const TMCHitTestInfo& hit)
{
    if ((FMonthPopupShowing || FMonthPopupJustShown) && hit.Month == FPreviousPopupMonth) {
        FMonthPopupShowing = false;
        ClearJustShown();
        return;
    }
    FPopupYear = hit.Year;
    FPopupMonth = hit.Month;
    FPreviousPopupMonth = hit.Month;
    int y = 0, m = 0, d = 0;
    DecodeDate(FDateTime, y, m, d);
    FPopupDay = d;
    for (int i = 0; i < FMonthMenu->Items()->Count(); ++i) {
        TMenuItem* item = FMonthMenu->Items()->Items(i);
        const int month = i + 1;
        item->Caption = FormatSettings.LongMonthNames[i];
        item->SetChecked(month == hit.Month);
        const TDateTime same = ClampedDate(hit.Year, month, d);
        item->Enabled = !((FMaxDate != 0 && same > DayOf(FMaxDate)) || (FMinDate != 0 && same < DayOf(FMinDate)));
    }
    const TRect name = TitlePartRect(hit.Block, MCHT_TITLEMONTH);
    const QPoint at = mapToGlobal(QPoint(name.Right, name.Bottom));
    FMonthPopupShowing = true;
    FChoseFromMenu = false;
    {
        TScopeExit closed([this] { FMonthPopupShowing = false; });
        FMonthMenu->Popup(at.x(), at.y());
    }
    if (!FChoseFromMenu) FMonthPopupJustShown = true;
}

void TkqMonthCalendar::ShowYearMenu(const TMCHitTestInfo& hit)
{
    if ((FYearPopupShowing || FYearPopupJustShown) && hit.Year == FPopupYear) {
        FYearPopupShowing = false;
        ClearJustShown();
        return;
    }
    FPopupYear = hit.Year;
    FPopupMonth = hit.Month;
    int y = 0, m = 0, d = 0;
    DecodeDate(FDateTime, y, m, d);
    FPopupDay = d;
    if (!FYearMenu) FYearMenu = new TCalendarPopupMenu(this);
    while (FYearMenu->Items()->Count() > 0) delete FYearMenu->Items()->Items(0);
    const TkqPopupYearOptions& o = *FPopupYearOptions;
    const bool editColumn = o.ShowEditYear && o.YearsPerColumn != 1;
    if (o.ShowEditYear) {
        auto* edit = new TMenuItem(FYearMenu);
        edit->Caption = KqIntl()->MonthCalendar->PopupYearLabel;
        edit->Tag = -1;
        edit->OnClick = [this, edit](QObject*) { ChooseYear(edit); };
        FYearMenu->Items()->Add(edit);
        auto* line = new TMenuItem(FYearMenu);
        line->Caption = QStringLiteral("-");
        FYearMenu->Items()->Add(line);
    }
    const int total = o.YearsPerColumn * o.NumberColumns;
    for (int i = 0; i < total; ++i) {
        const int year = o.StartYear + i;
        auto* item = new TMenuItem(FYearMenu);
        item->Caption = QString::number(year);
        item->Tag = year;
        item->SetChecked(year == hit.Year);
        const TDateTime same = ClampedDate(year, m, d);
        item->Enabled = same != 0 && !((FMaxDate != 0 && same > DayOf(FMaxDate)) || (FMinDate != 0 && same < DayOf(FMinDate)));
        if ((i > 0 && o.YearsPerColumn > 0 && i % o.YearsPerColumn == 0) || (i == 0 && editColumn)) item->setProperty("Break", 2);
        item->OnClick = [this, item](QObject*) { ChooseYear(item); };
        FYearMenu->Items()->Add(item);
    }
    const TRect yr = TitlePartRect(hit.Block, MCHT_TITLEYEAR);
    int x = yr.Left + 1;
    if (editColumn) {
        const QFontMetrics fm(QApplication::font());
        x -= fm.horizontalAdvance(KqIntl()->MonthCalendar->PopupYearLabel) + ScaleToScreenDpi(45, logicalDpiX());
    }
    const QPoint at = mapToGlobal(QPoint(x, yr.Bottom));
    FYearPopupShowing = true;
    FChoseFromMenu = false;
    {
        TScopeExit closed([this] { FYearPopupShowing = false; });
        FYearMenu->Popup(at.x(), at.y());
    }
    if (!FChoseFromMenu) FYearPopupJustShown = true;
}

void TkqMonthCalendar::ChooseMonth(TMenuItem* item)
{
    FChoseFromMenu = true;
    ClearJustShown();
    int chosen = 0;
    for (int m = 0; m < 12; ++m)
        if (FormatSettings.LongMonthNames[m] == StripAccelerators(item->Caption)) chosen = m + 1;
    if (chosen == 0 || chosen == FPopupMonth) return;
    ScrollMonths(chosen - FPopupMonth);
    int y = 0, m = 0, d = 0;
    DecodeDate(FDateTime, y, m, d);
    SetDate(Combine(ClampedDate(FPopupYear, chosen, d), TimeOf(FDateTime)));
    Change();
}

void TkqMonthCalendar::ChooseYear(TMenuItem* item)
{
    FChoseFromMenu = true;
    ClearJustShown();
    int y = 0, m = 0, d = 0;
    DecodeDate(FDateTime, y, m, d);
    auto monthDay = [](int month, int day) { return month * 100 + day; };
    int lower = 0, upper = 0;
    if (FMinDate != 0) {
        int my = 0, mm = 0, md = 0;
        DecodeDate(FMinDate, my, mm, md);
        lower = monthDay(m, d) < monthDay(mm, md) ? my + 1 : my;
    }
    if (FMaxDate != 0) {
        int xy = 0, xm = 0, xd = 0;
        DecodeDate(FMaxDate, xy, xm, xd);
        upper = monthDay(m, d) > monthDay(xm, xd) ? xy - 1 : xy;
    }
    auto outside = [&](int year) { return (lower != 0 && year < lower) || (upper != 0 && year > upper); };
    int answer = 0;
    if (item->Tag != -1) {
        answer = StripAccelerators(item->Caption).toInt();
    } else {
        const QString prompt = KqIntl()->MonthCalendar->EnterYearPrompt;
        QString caption = prompt;
        QString question = QStringLiteral("Enter New Year:");
        if (lower != 0 && upper != 0) caption += QStringLiteral(" (%1-%2)").arg(lower).arg(upper);
        else if (lower != 0) caption += QStringLiteral(" (>=%1)").arg(lower);
        else if (upper != 0) caption += QStringLiteral(" (<=%1)").arg(upper);
        else question = QStringLiteral(" ");
        int def = FPopupYear;
        if (upper != 0 && def > upper) def = upper;
        if (lower != 0 && def < lower) def = lower;
        for (;;) {
            QString text = QString::number(def);
            if (!InputQuery(caption, question, text, this)) return;
            bool ok = false;
            const int typed = text.trimmed().toInt(&ok);
            if (ok && typed >= 1 && typed <= 9999 && !outside(typed)) {
                answer = typed;
                break;
            }
            if (ok && upper != 0 && typed > upper) def = upper;
            else if (ok && lower != 0 && typed < lower) def = lower;
        }
    }
    if (answer < 1 || answer > 9999 || answer == FPopupYear) return;
    ScrollMonths((answer - FPopupYear) * 12);
    SetDate(Combine(ClampedDate(answer, m, d), TimeOf(FDateTime)));
    Change();
}

// --- Keys

void TkqMonthCalendar::keyPressEvent(QKeyEvent* event)
{
    int key = KeyEventToVirtualKey(event);
    KeyDown(key, ShiftStateFromModifiers(event->modifiers()));
    if (key == 0) event->accept();
    else QWidget::keyPressEvent(event);
}

void TkqMonthCalendar::KeyDown(int& key, TShiftState shift)
{
    if (key != VK_PRIOR && key != VK_NEXT && key != VK_LEFT && key != VK_RIGHT && key != VK_UP && key != VK_DOWN) return;
    TDateTime reference = 0;
    if (FCtlMultiSelect) {
        TDateTime s = 0, e = 0;
        GetControlSelRange(s, e);
        if (DayOf(s) != DayOf(e)) {
            if (key == VK_PRIOR || key == VK_NEXT) key = 0;
            if (!shift.Contains(ssShift) || key == 0) return;
        }
        reference = DayOf(FDateTime);
    } else {
        reference = DayOf(ControlSelection());
    }
    const double minDay = FMinDate != 0 ? DayOf(FMinDate) : 0, maxDay = FMaxDate != 0 ? DayOf(FMaxDate) : 0;
    int y = 0, m = 0, d = 0;
    DecodeDate(reference, y, m, d);
    TDateTime v = reference;
    int step = 0;
    switch (key) {
    case VK_PRIOR:
        v = m == 1 ? ClampedDate(y - 1, 12, d) : ClampedDate(y, m - 1, d);
        if (FMinDate != 0 && v <= minDay) v = minDay;
        break;
    case VK_NEXT:
        v = m == 12 ? ClampedDate(y + 1, 1, d) : ClampedDate(y, m + 1, d);
        if (FMaxDate != 0 && v >= maxDay) v = maxDay;
        break;
    case VK_LEFT: step = -1; if (FMinDate == 0 || reference != minDay) v = reference - 1; break;
    case VK_RIGHT: step = 1; if (FMaxDate == 0 || reference != maxDay) v = reference + 1; break;
    case VK_UP: step = -7; if (FMinDate == 0 || reference - 7 >= minDay) v = reference - 7; break;
    case VK_DOWN: step = 7; if (FMaxDate == 0 || reference + 7 <= maxDay) v = reference + 7; break;
    default: break;
    }
    if (FCtlMultiSelect && shift.Contains(ssShift) && step != 0) {
        TDateTime s = 0, e = 0;
        GetControlSelRange(s, e);
        if (reference < e) e += step;
        else s += step;
        if (e - s + 1 <= FCtlMaxSelCount && s <= e) SetControlSelRange(s, e);
        FSelectionChanged = true;
    } else if (v != 0) {
        ApplyDate(Combine(v, TimeOf(FDateTime)));
    }
    Change();
    key = 0;
}

// --- Focus and state

void TkqMonthCalendar::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void TkqMonthCalendar::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void TkqMonthCalendar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        AdjustToMinimumSize();
        update();
    } else if (event->type() == QEvent::PaletteChange) {
        update();
    }
}

void TkqMonthCalendar::showEvent(QShowEvent* event)
{
    ClearJustShown();
    QWidget::showEvent(event);
}

void TkqMonthCalendar::hideEvent(QHideEvent* event)
{
    ClearJustShown();
    QWidget::hideEvent(event);
}

bool TkqMonthCalendar::event(QEvent* event)
{
    // The navigation keys belong to the calendar, not to the form's focus chain.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* ke = static_cast<QKeyEvent*>(event);
        const int key = KeyEventToVirtualKey(ke);
        if (key == VK_PRIOR || key == VK_NEXT || key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}
