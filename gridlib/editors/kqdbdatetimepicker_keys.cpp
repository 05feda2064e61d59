// The picker's parts of the display format and its keys: the part under the caret or a click is
// selected, keys step it or set it from typed digits, names and designator letters.

#include "gridlib/editors/kqdbdatetimepicker.h"

#include "gridlib/core/kqSystem.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqgridhost.h"
#include "platform/core/SysFormat.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cmath>

namespace {

double DayOf(TDateTime v) { return std::trunc(v); }
double TimeOf(TDateTime v) { return std::abs(v - std::trunc(v)); }

bool IsTokenLetter(QChar c)
{
    const QChar u = c.toUpper();
    return u == 'D' || u == 'H' || u == 'M' || u == 'N' || u == 'S' || u == 'Y' || u == 'A';
}

// Reads the part starting at pos (0-based) and leaves pos on its last character.
QString ScanFormatToken(const QString& format, int& pos)
{
    const QChar letter = format[pos].toLower();
    if (letter == 'a') {
        const QString rest = format.mid(pos + 1);
        auto starts = [&](const char* s) { return rest.startsWith(QLatin1String(s), Qt::CaseInsensitive); };
        int len = 0;
        if (starts("/p")) len = 3;
        else if (starts("m/pm")) len = 5;
        else if (starts("mpm")) len = 4;
        if (len == 0) return QString();   // an empty designator part
        const QString token = format.mid(pos, len);
        pos += len - 1;
        return token;
    }
    const int start = pos;
    while (pos + 1 < format.size() && format[pos + 1].toLower() == letter) ++pos;
    QString token(pos - start + 1, letter);
    if (letter == 'm' && token.size() <= 2 && start >= 2 && format[start - 2].toLower() == 'h')
        token = QString(token.size(), QLatin1Char('n'));
    return token;
}

struct TFormatItem {
    bool IsPart = false;
    QChar Literal;
    QString Token;   // of a part (may be empty: a lone designator letter)
};

std::vector<TFormatItem> SplitFormat(const QString& format)
{
    std::vector<TFormatItem> items;
    for (int i = 0; i < format.size(); ++i) {
        if (IsTokenLetter(format[i])) {
            TFormatItem it;
            it.IsPart = true;
            it.Token = ScanFormatToken(format, i);
            items.push_back(it);
        } else {
            TFormatItem it;
            it.Literal = format[i];
            items.push_back(it);
        }
    }
    return items;
}

QChar TokenKind(const QString& token) { return token.isEmpty() ? QChar('a') : token[0].toLower(); }
bool IsDesignatorToken(const QString& token) { return TokenKind(token) == 'a'; }
bool IsDayToken(const QString& t) { return TokenKind(t) == 'd' && t.size() <= 2; }
bool IsDayNameToken(const QString& t) { return TokenKind(t) == 'd' && t.size() >= 3; }
bool IsMonthToken(const QString& t) { return TokenKind(t) == 'm' && t.size() <= 2; }
bool IsMonthNameToken(const QString& t) { return TokenKind(t) == 'm' && t.size() >= 3; }
bool IsDateToken(const QString& t)
{
    const QChar k = TokenKind(t);
    return !IsDesignatorToken(t) && (k == 'd' || k == 'm' || k == 'y');
}
bool IsTwoDigitToken(const QString& t)
{
    static const QStringList list{"d", "dd", "m", "mm", "h", "hh", "n", "nn", "s", "ss", "yy"};
    return list.contains(t);
}

bool IsDateTimeType(TFieldType t) { return t == ftDateTime || t == ftTimeStamp; }

QString TwoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

} // namespace

// --- Parts of the format

bool TkqDBCustomDateTimePicker::FormatHasDatePart(const QString& format) const
{
    if (format.isEmpty()) return true;
    for (const TFormatItem& it : SplitFormat(format))
        if (it.IsPart && IsDateToken(it.Token)) return true;
    return false;
}

bool TkqDBCustomDateTimePicker::HasDesignatorPart() const
{
    const QString f = ExpandDisplayFormat();
    return f.contains(QLatin1Char('a'), Qt::CaseInsensitive);
}

int TkqDBCustomDateTimePicker::CountParts() const
{
    const bool date = IsDateKind() || IsDateTimeKind();
    const bool time = IsTimeKind() || IsDateTimeKind();
    int n = 0;
    for (const TFormatItem& it : SplitFormat(ExpandDisplayFormat())) {
        if (!it.IsPart) continue;
        if (IsDateToken(it.Token) ? date : time) ++n;
    }
    return n;
}

TkqDTPartInfo TkqDBCustomDateTimePicker::GetPartInfo(int n, TDateTime value) const
{
    TkqDTPartInfo info;
    const TFormatSettings& fs = FormatSettings;
    const bool date = IsDateKind() || IsDateTimeKind();
    const bool time = IsTimeKind() || IsDateTimeKind();
    const bool designator = HasDesignatorPart();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);
    QString text;
    int counted = 0;
    for (const TFormatItem& it : SplitFormat(ExpandDisplayFormat())) {
        if (!it.IsPart) {
            text += it.Literal;
            continue;
        }
        const QString& t = it.Token;
        const QChar k = TokenKind(t);
        QString part;
        if (IsDesignatorToken(t)) {
            const QString lower = t.toLower();
            if (lower == QLatin1String("a/p")) part = hour < 12 ? t.mid(0, 1) : t.mid(2, 1);
            else if (lower == QLatin1String("am/pm")) part = hour < 12 ? t.mid(0, 2) : t.mid(3, 2);
            else if (lower == QLatin1String("ampm")) part = hour < 12 ? fs.TimeAMString : fs.TimePMString;
        } else if (k == 'd') {
            if (t.size() <= 2) part = t.size() == 2 ? TwoDigits(day) : QString::number(day);
            else part = t.size() == 3 ? fs.ShortDayNames[DayOfWeek(value) - 1] : fs.LongDayNames[DayOfWeek(value) - 1];
        } else if (k == 'm') {
            if (t.size() <= 2) part = t.size() == 2 ? TwoDigits(month) : QString::number(month);
            else part = t.size() == 3 ? fs.ShortMonthNames[month - 1] : fs.LongMonthNames[month - 1];
        } else if (k == 'n') {
            part = t.size() == 2 ? TwoDigits(minute) : QString::number(minute);
        } else if (k == 's') {
            part = t.size() == 2 ? TwoDigits(second) : QString::number(second);
        } else if (k == 'y') {
            part = t.size() <= 2 ? TwoDigits(year % 100) : QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
        } else if (k == 'h') {
            int h = hour;
            if (designator) h = hour % 12 == 0 ? 12 : hour % 12;
            part = t.size() == 2 ? TwoDigits(h) : QString::number(h);
        }
        const bool counts = IsDateToken(t) ? date : time;
        if (counts) ++counted;
        if (counts && counted == n) {
            info.Start = int(text.size());
            info.Length = int(part.size());
            info.Token = t.isEmpty() ? QStringLiteral("a") : t;
            text += part;
            info.Text = text;
            return info;
        }
        text += part;
    }
    return info;
}

bool TkqDBCustomDateTimePicker::IsShortDateTimeFormat() const
{
    if (FDataLink.Field()) {
        if (IsDateTimeKind() && ResolveDisplayFormat(false).isEmpty()) return true;
        const auto* dt = qobject_cast<const TDateTimeField*>(FDataLink.Field());
        return FDisplayFormat.isEmpty() && dt && dt->DisplayFormat() == QLatin1String("c");
    }
    return IsDateTimeKind() && (FDisplayFormat == QLatin1String("c") || (FDisplayFormat.isEmpty() && FDateFormat == dfShort));
}

int TkqDBCustomDateTimePicker::CountShownParts() const
{
    if (!IsShortDateTimeFormat()) return CountParts();
    const int count = CountParts();
    for (int n = 1; n <= count; ++n)
        if (GetPartInfo(n, FValue).Text.size() >= text().size()) return n;
    return count + 1;
}

bool TkqDBCustomDateTimePicker::IsTimeShown() const
{
    if (!IsShortDateTimeFormat()) return true;
    return text().size() >= GetPartInfo(CountParts(), FValue).Text.size();
}

bool TkqDBCustomDateTimePicker::IsTimePartAfterDate() const
{
    if (!IsShortDateTimeFormat()) return false;
    const QString t = GetPartInfo(FCurrentPart, FValue).Token;
    return !IsDateToken(t);
}

void TkqDBCustomDateTimePicker::SelectCurrentPart(TDateTime value)
{
    if (!CanModify()) {
        selectAll();
        return;
    }
    if (IsDroppedDown()) {
        deselect();
        setCursorPosition(0);
        return;
    }
    const TkqDTPartInfo info = GetPartInfo(FCurrentPart, value);
    if (info.Token.isEmpty()) return;
    setSelection(info.Start, info.Length);
}

bool TkqDBCustomDateTimePicker::WholeTextSelected() const
{
    return !text().isEmpty() && hasSelectedText() && selectionStart() == 0 && selectedText().size() == text().size();
}

int TkqDBCustomDateTimePicker::SelStart() const { return hasSelectedText() ? selectionStart() : cursorPosition(); }

// --- Working parts

void TkqDBCustomDateTimePicker::DecodeWork(TWork& w) const
{
    DecodeDate(FValue, w.Year, w.Month, w.Day);
    DecodeTime(FValue, w.Hour, w.Minute, w.Second, w.MSec);
    w.Max = EffectiveMaxDate();
    w.Min = EffectiveMinDate();
    DecodeDate(w.Max, w.MaxYear, w.MaxMonth, w.MaxDay);
    DecodeDate(w.Min, w.MinYear, w.MinMonth, w.MinDay);
}

void TkqDBCustomDateTimePicker::SetDateParts(const TWork& w)
{
    if (IsTimeKind()) {
        TDateTime t = 0;
        if (TryEncodeTime(w.Hour, w.Minute, w.Second, w.MSec, t)) SetTime(t);
        return;
    }
    const int day = std::min(w.Day, DaysInMonth(w.Month, w.Year));
    TDateTime d = 0, t = 0;
    if (!TryEncodeDate(w.Year, w.Month, day, d) || !TryEncodeTime(w.Hour, w.Minute, w.Second, w.MSec, t)) {
        RefreshText();
        return;
    }
    const TDateTime v = d >= 0 ? d + t : d - t;
    if (DayOf(v) >= DayOf(w.Min) && DayOf(v) <= DayOf(w.Max)) SetDateTime(v);
    else RefreshText();
}

void TkqDBCustomDateTimePicker::FirstAndLastDayOfWeek(int& first, int& last) const
{
    int day = int(FCalendarAttributes->FirstDayOfWeek);   // 0 Monday .. 6 Sunday
    if (FCalendarAttributes->FirstDayOfWeek == kqdowLocaleDefault) day = FirstDayOfWeekSetting();
    first = day == 6 ? 1 : day + 2;
    last = first == 1 ? 7 : first - 1;
}

void TkqDBCustomDateTimePicker::StepDatePart(const QString& token, int n, bool wrap, TWork& w) const
{
    const TDateTime v = DayOf(FValue);
    const TDateTime mn = DayOf(w.Min), mx = DayOf(w.Max);
    auto setDate = [&w](TDateTime x) { DecodeDate(x, w.Year, w.Month, w.Day); };
    if (IsDayNameToken(token)) {
        int first = 1, last = 7;
        FirstAndLastDayOfWeek(first, last);
        const int dow = DayOfWeek(v);
        if (n > 0) {
            if (dow == last) setDate(std::max(v - 6, mn));
            else setDate(std::min(v + 1, mx));
        } else {
            if (dow == first) setDate(std::min(v + 6, mx));
            else setDate(std::max(v - 1, mn));
        }
        return;
    }
    if (IsDayToken(token)) {
        if ((n < 0 && v + n < mn) || (n > 0 && v + n > mx)) return;
        const TDateTime r = v + n;
        if (n > 0) {
            if (wrap) {
                int y = 0, m = 0, d = 0;
                DecodeDate(r, y, m, d);
                w.Day = d;
            } else {
                setDate(r);
            }
            return;
        }
        if (!wrap) {
            setDate(r);
            return;
        }
        const int days = DaysInMonth(w.Month, w.Year);
        const int k = std::abs(n) % days;
        const int nd = k < w.Day ? w.Day - k : days + w.Day - k;
        TDateTime x = 0;
        if (!TryEncodeDate(w.Year, w.Month, nd, x)) return;
        if (x < mn) setDate(mn);
        else if (x > mx) setDate(mx);
        else w.Day = nd;
        return;
    }
    if (IsMonthToken(token) || IsMonthNameToken(token) || TokenKind(token) == 'y') {
        const bool year = TokenKind(token) == 'y';
        TDateTime e = 0;
        try {
            e = DayOf(AddMonths(year ? 12 * n : n, v));
        } catch (const Exception&) {
            return;
        }
        int ey = 0, em = 0, ed = 0;
        DecodeDate(e, ey, em, ed);
        int days = DaysInMonth(em, ey);
        if (n <= 0) {
            if (e >= mn) {
                if (!wrap) setDate(e);
                else if (year) w.Year = ey;
                else w.Month = em;
            } else if (wrap) {
                setDate(mn);
                days = DaysInMonth(w.Month, w.Year);
            }
        } else {
            if (e <= mx) {
                if (!wrap) setDate(e);
                else if (year) w.Year = ey;
                else w.Month = em;
            } else if (wrap) {
                setDate(mx);
                days = DaysInMonth(w.Month, w.Year);
            }
        }
        if (year && wrap && w.Day > days) w.Day = days;
    }
}

bool TkqDBCustomDateTimePicker::MonthNameLetter(bool anyMonth, QChar ch, const QString& token, TWork& w) const
{
    if (!IsMonthNameToken(token)) return true;
    const TFormatSettings& fs = FormatSettings;
    const int start = w.Month;
    int y = 0, m = 0, d = 0;
    DecodeDate(FValue, y, m, d);
    auto matches = [&](int month) {
        const QString& name = token.size() == 3 ? fs.ShortMonthNames[month - 1] : fs.LongMonthNames[month - 1];
        if (name.isEmpty() || name[0] != ch) return false;
        return anyMonth || d <= DaysInMonth(month, y);
    };
    for (int c = start + 1; c <= 12; ++c) {
        if (matches(c)) {
            StepDatePart(token, c - start, false, w);
            break;
        }
    }
    if (w.Month == start && start > 1) {
        for (int c = 1; c < start && w.Month == start; ++c)
            if (matches(c)) StepDatePart(token, c - start, false, w);
    }
    return w.Month != start;
}

void TkqDBCustomDateTimePicker::DayNameLetter(QChar ch, const QString& token, TWork& w) const
{
    const TFormatSettings& fs = FormatSettings;
    const TDateTime v = DayOf(FValue);
    int first = 1, last = 7;
    FirstAndLastDayOfWeek(first, last);
    const int dow = DayOfWeek(v);
    // Positions within the week, 0 for its first day.
    auto pos = [&](int weekday) { return (weekday - first + 7) % 7; };
    auto matches = [&](int weekday) {
        const QString& name = token.size() == 3 ? fs.ShortDayNames[weekday - 1] : fs.LongDayNames[weekday - 1];
        return !name.isEmpty() && name[0] == ch;
    };
    const int startDay = w.Day;
    for (int p = pos(dow) + 1; p <= 6; ++p) {
        const int weekday = (first - 1 + p) % 7 + 1;
        if (!matches(weekday)) continue;
        const TDateTime x = v + (p - pos(dow));
        if (x > DayOf(w.Max)) return;
        DecodeDate(x, w.Year, w.Month, w.Day);
        break;
    }
    if (w.Day != startDay) return;
    for (int p = 0; p < pos(dow); ++p) {
        const int weekday = (first - 1 + p) % 7 + 1;
        if (!matches(weekday)) continue;
        const TDateTime x = v - (pos(dow) - p);
        if (x >= DayOf(w.Min) && x <= DayOf(w.Max)) DecodeDate(x, w.Year, w.Month, w.Day);
        return;
    }
}

int TkqDBCustomDateTimePicker::DesignatorLetter(int hour, QChar ch, const QString& token) const
{
    const QChar c = ch.toUpper();
    const QString lower = token.toLower();
    if (lower == QLatin1String("am/pm") || lower == QLatin1String("a/p")) {
        if (hour < 12 && c == 'P') return hour + 12;
        if (hour >= 12 && c == 'A') return hour - 12;
        return hour;
    }
    if (lower == QLatin1String("ampm")) {
        const QString am = FormatSettings.TimeAMString.toUpper(), pm = FormatSettings.TimePMString.toUpper();
        if (!am.isEmpty() && !pm.isEmpty() && am[0] == pm[0]) return hour < 12 ? hour + 12 : hour - 12;
        if (hour < 12 && !pm.isEmpty() && c == pm[0]) return hour + 12;
        if (hour >= 12 && !am.isEmpty() && c == am[0]) return hour - 12;
    }
    return hour;
}

// --- Digits

int TkqDBCustomDateTimePicker::AdjustHourForAmPm(int hour, int typed) const
{
    if (!HasDesignatorPart()) return typed;
    if (typed == 12 && hour < 12) return 0;
    if (hour > 11 && typed < 12) return typed + 12;
    return typed;
}

bool TkqDBCustomDateTimePicker::IsDigitFinal(int digit, const QString& token) const
{
    switch (TokenKind(token).unicode()) {
    case 'd': return digit > 3;
    case 'h': return HasDesignatorPart() ? digit > 1 : digit > 2;
    case 'm': return digit > 1;
    case 'n':
    case 's': return digit > 5;
    default: return false;
    }
}

bool TkqDBCustomDateTimePicker::IsTypedValueValid(int value, const QString& token, TWork& w) const
{
    const QString format = ExpandDisplayFormat();
    auto firstIndex = [&](QChar lowerLetter, bool anyCase) {
        for (int i = 0; i < format.size(); ++i)
            if (format[i] == lowerLetter || (anyCase && format[i] == lowerLetter.toUpper())) return i;
        return int(format.size());
    };
    auto inBounds = [&](int y, int m, int d) {
        TDateTime x = 0;
        if (!EncodeDateChecked(y, m, d, x)) return false;
        return x >= DayOf(w.Min) && x <= DayOf(w.Max);
    };
    auto leapYearFrom = [](int year) {
        int y = ((year + 4) / 4) * 4;
        if (DaysInMonth(2, y) != 29) y += 4;
        return y;
    };
    switch (TokenKind(token).unicode()) {
    case 'd': {
        if (value < 1 || value > 31) return false;
        const int dPos = firstIndex('d', false);
        if (dPos < firstIndex('m', true) && DaysInMonth(w.Month, w.Year) < value) {
            for (int m = 1; m <= 12; ++m)
                if (DaysInMonth(m, w.Year) >= value) {
                    w.Month = m;
                    break;
                }
        }
        if (value == 29 && w.Month == 2 && DaysInMonth(2, w.Year) != 29 && dPos < firstIndex('y', true))
            w.Year = leapYearFrom(w.Year);
        return DaysInMonth(w.Month, w.Year) >= value && inBounds(w.Year, w.Month, value);
    }
    case 'h': return HasDesignatorPart() ? value <= 12 : value < 24;
    case 'm': {
        if (value < 1 || value > 12) return false;
        if (w.Day == 29 && value == 2 && DaysInMonth(2, w.Year) != 29 && firstIndex('m', true) < firstIndex('y', true))
            w.Year = leapYearFrom(w.Year);
        if (w.Day > DaysInMonth(value, w.Year)) w.Day = DaysInMonth(value, w.Year);
        return inBounds(w.Year, value, w.Day);
    }
    case 'n':
    case 's': return value < 60;
    case 'y':
        if (token == QLatin1String("yy")) return inBounds(ExpandTwoDigitYear(value, FEpoch), w.Month, w.Day);
        if (token == QLatin1String("yyyy")) return value != 0 && inBounds(value, w.Month, w.Day);
        return false;
    default: return false;
    }
}

bool TkqDBCustomDateTimePicker::DecadeCanReachMinDate(int digit) const
{
    if (FMinDate == 0) return true;
    int year = (FEpoch / 100) * 100 + digit * 10 + 9;
    if (digit * 10 < FEpoch % 100) year += 100;
    TDateTime d = 0;
    if (!TryEncodeDate(year, 12, 31, d)) return true;
    return d >= DayOf(FMinDate);
}

int TkqDBCustomDateTimePicker::TypeDigit(int digit, const TkqDTPartInfo& info, TWork& w)
{
    const int s = info.Start;
    const QString& t = info.Token;
    auto setWorking = [&](int v) {
        switch (TokenKind(t).unicode()) {
        case 'd': w.Day = v; break;
        case 'm': w.Month = v; break;
        case 'h': w.Hour = AdjustHourForAmPm(w.Hour, v); break;
        case 'n': w.Minute = v; break;
        case 's': w.Second = v; break;
        case 'y': w.Year = v; break;
        default: break;
        }
    };
    if (IsTwoDigitToken(t)) {
        if (!hasSelectedText() && cursorPosition() == s + 1 && s < text().size() && text()[s].isDigit()) {
            int v = text()[s].digitValue() * 10 + digit;
            const bool zeroKeeps = v == 0 && (IsDayToken(t) || IsMonthToken(t));
            if (!zeroKeeps && !IsTypedValueValid(v, t, w)) return -1;
            if (zeroKeeps) v = IsDayToken(t) ? w.Day : w.Month;
            if (t == QLatin1String("yy")) v = ExpandTwoDigitYear(v, FEpoch);
            setWorking(v);
            SetDateParts(w);
            RefreshText();
            SelectCurrentPart(FValue);
            return v;
        }
        if (!IsDigitFinal(digit, t)) {
            if (t == QLatin1String("yy") && !DecadeCanReachMinDate(digit)) return -1;
            const QString old = text();
            const int from = SelStart();
            const int to = hasSelectedText() ? from + int(selectedText().size()) : from;
            setText(old.left(from) + QString::number(digit) + old.mid(to));
            setModified(true);
            setCursorPosition(from + 1);
            FInDigitEntry = true;
            return digit;
        }
        if (!IsTypedValueValid(digit, t, w)) return -1;
        const QString old = text();
        const QString shown = t.size() == 2 ? QStringLiteral("0") + QString::number(digit) : QString::number(digit);
        setText(old.left(s) + shown + old.mid(s + info.Length));
        setModified(true);
        setSelection(s, int(shown.size()));
        return digit;
    }
    if (t == QLatin1String("yyyy")) {
        const int caret = cursorPosition();
        if (!hasSelectedText() && caret == s + 3) {
            int v = (text().mid(s, 3) + QString::number(digit)).toInt();
            if (!(v == 0 || IsTypedValueValid(v, t, w))) return -1;
            if (v == 0) {
                int y = 0, m = 0, d = 0;
                DecodeDate(FValueAtEnter, y, m, d);
                v = y;
            }
            w.Year = v;
            SetDateParts(w);
            RefreshText();
            SelectCurrentPart(FValue);
            return v;
        }
        const QString old = text();
        if (hasSelectedText()) {
            const int from = selectionStart();
            const int to = from + int(selectedText().size());
            setText(old.left(from) + QString::number(digit) + old.mid(to));
            setModified(true);
            setCursorPosition(from + 1);
            FInDigitEntry = true;
            return digit;
        }
        const int typed = std::max(0, caret - s);
        const int v = (old.mid(s, typed) + QString::number(digit)).toInt();
        const QString shown = QStringLiteral("%1").arg(v, typed + 1, 10, QLatin1Char('0'));
        setText(old.left(s) + shown + old.mid(caret));
        setModified(true);
        setCursorPosition(s + int(shown.size()));
        FInDigitEntry = true;
        return v;
    }
    return -1;
}

void TkqDBCustomDateTimePicker::CommitDigitEntry()
{
    if (IsDroppedDown() || !FInDigitEntry) return;
    FInDigitEntry = false;
    TWork w;
    DecodeWork(w);
    const TkqDTPartInfo info = GetPartInfo(FCurrentPart, FValue);
    const QString& t = info.Token;
    const int s = info.Start;
    if (IsTwoDigitToken(t)) {
        const int a = s < text().size() ? text()[s].digitValue() : -1;
        if (a < 0) return;
        switch (TokenKind(t).unicode()) {
        case 'd': if (a != 0) w.Day = a; break;
        case 'm': if (a != 0) w.Month = a; break;
        case 'h': w.Hour = AdjustHourForAmPm(w.Hour, a); break;
        case 'n': w.Minute = a; break;
        case 's': w.Second = a; break;
        case 'y': w.Year = ExpandTwoDigitYear(a, FEpoch); break;
        default: break;
        }
    } else if (t == QLatin1String("yyyy")) {
        const int k = std::clamp(cursorPosition() - s, 0, 3);
        const int v = text().mid(s, k).toInt();
        if (k == 1 || k == 2) w.Year = ExpandTwoDigitYear(v, FEpoch);
        else if (k == 3 && v != 0) w.Year = v;
    } else {
        return;
    }
    FPendingValue = 0;
    try {
        SetDateParts(w);
    } catch (const EDateTimeError&) {
    }
    RefreshText();
    SelectCurrentPart(FValue);
    SetModifiedState(true);
}

// --- Keys

bool TkqDBCustomDateTimePicker::PassKeyToGrid(int& key, TShiftState shift)
{
    QWidget* grid = ParentGrid(this);
    TkqGridHost* host = ParentGridHost(this);
    if (!grid || !host) return false;
    grid->setFocus(Qt::OtherFocusReason);
    int k = key;
    host->GridKeyDown(k, shift);
    key = 0;
    return true;
}

void TkqDBCustomDateTimePicker::FireGridKeyDown(int& key, TShiftState shift)
{
    TkqGridHost* host = ParentGridHost(this);
    if (!host || !host->HasOnKeyDown()) return;
    if ((key == VK_RETURN || key == VK_TAB) && QApplication::focusWidget() != this) return;
    host->FireOnKeyDown(key, shift);
}

void TkqDBCustomDateTimePicker::HandleDropDownKey(int& key, TShiftState shift)
{
    const bool alt = shift.Contains(ssAlt);
    if ((key == VK_F4 && !alt) || ((key == VK_UP || key == VK_DOWN) && alt)) {
        if (IsDroppedDown()) CloseUp(true);
        else DropDown();
        key = 0;
        return;
    }
    if ((key == VK_RETURN || key == VK_ESCAPE) && !alt && IsDroppedDown()) {
        CloseUp(key == VK_RETURN);
        FEscapeClosedDropDown = key == VK_ESCAPE;
        key = 0;
    }
}

void TkqDBCustomDateTimePicker::keyPressEvent(QKeyEvent* event)
{
    int key = KeyEventToVirtualKey(event);
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers());
    const QString typed = event->text();
    if (key == 0 && !typed.isEmpty() && typed[0].isPrint()) key = 0x100 + typed[0].unicode();   // any other character
    if (event->key() == Qt::Key_Backtab) key = VK_TAB;
    const int original = key;

    // Clipboard commands of the edit.
    if (shift.Contains(ssCtrl) && (key == 'X' || key == 'V' || key == 'C')) {
        if (key == 'X') CutToClipboard();
        else if (key == 'V') PasteFromClipboard();
        else copy();
        event->accept();
        return;
    }
    // While the calendar shows, keys that do not close it move its date.
    if (IsDroppedDown() && key != 0) {
        int k = key;
        HandleDropDownKey(k, shift);
        if (k != 0 && FCalendar && k != VK_TAB) {
            FCalendar->SendKey(k, shift);
            if (CanModify()) {
                EnterEditState();
                SetModifiedState(true);
                SetDate(FCalendar->Date());
            }
        }
        if (k == 0 || !IsDroppedDown()) {
            event->accept();
            if (key == VK_ESCAPE || key == VK_RETURN) return;
            if (!IsDroppedDown()) return;
        }
        if (key == VK_TAB) CloseUp(true);
    }
    // Enter, and Tab where the grid moves between cells with it, are the grid's.
    if (IsInGrid(this) && !IsDroppedDown()) {
        const TkqGridHost* host = ParentGridHost(this);
        if (key == VK_RETURN || (key == VK_TAB && host && host->TabsMoveBetweenCells())) {
            PassKeyToGrid(key, shift);
            event->accept();
            return;
        }
    }
    KeyDown(key, shift);
    if (key == 0) {
        event->accept();
        // The character stage runs for the keys that type one.
        QChar ch = original >= 0x100 ? QChar(original - 0x100) : (!typed.isEmpty() ? typed[0] : QChar());
        if (original == VK_RETURN) ch = QChar(13);
        else if (original == VK_ESCAPE) ch = QChar(27);
        else if (original == VK_BACK) ch = QChar(8);
        if (!ch.isNull() && !shift.Contains(ssCtrl)) KeyPress(ch);
        return;
    }
    // Outside a grid Enter, and Escape on an unchanged picker, belong to the form (its default
    // and cancel buttons); a part typed half-way is finished first.
    if (!IsInGrid(this) && (key == VK_RETURN || (key == VK_ESCAPE && !isModified() && !FEscapeClosedDropDown))) {
        if (key == VK_RETURN) {
            CommitDigitEntry();
            SelectCurrentPart(FValue);
        }
        event->ignore();
        return;
    }
    QChar ch = original >= 0x100 ? QChar(original - 0x100) : (!typed.isEmpty() ? typed[0] : QChar());
    if (key == VK_RETURN) ch = QChar(13);
    else if (key == VK_ESCAPE) ch = QChar(27);
    else if (key == VK_BACK) ch = QChar(8);
    else if (key == VK_TAB) ch = QChar(9);
    if (!ch.isNull() && !shift.Contains(ssCtrl)) {
        KeyPress(ch);
        if (ch.isNull()) {
            event->accept();
            return;
        }
    }
    if (key == VK_DELETE && FInDigitEntry) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (key == VK_TAB && IsInGrid(this)) {
        event->accept();
        return;
    }
    event->ignore();
}

void TkqDBCustomDateTimePicker::KeyDown(int& key, TShiftState shift)
{
    const bool alt = shift.Contains(ssAlt);
    const bool ctrl = shift.Contains(ssCtrl);
    HandleDropDownKey(key, shift);
    if (key == 0) return;

    // Inside a grid the navigation keys the picker does not need go to the grid.
    if (IsInGrid(this)) {
        TkqGridHost* host = ParentGridHost(this);
        const bool alwaysEditor = host && ParentIsNamed(this, "TkqDBGrid") && host->AlwaysShowEditor() && !IsDroppedDown();
        const bool whole = WholeTextSelected();
        const bool atEnd = cursorPosition() == text().size();
        bool pass = false;
        switch (key) {
        case VK_ESCAPE: pass = !isModified(); break;
        case VK_PRIOR:
        case VK_NEXT: pass = !IsDroppedDown() && !alt; break;
        case VK_END: pass = alwaysEditor && (ctrl || (atEnd && whole)); break;
        case VK_HOME: pass = alwaysEditor && (ctrl || (SelStart() == 0 && whole)); break;
        case VK_LEFT: pass = alwaysEditor && (ctrl || SelStart() == 0); break;
        case VK_RIGHT: pass = alwaysEditor && (ctrl || atEnd); break;
        case VK_UP:
        case VK_DOWN: pass = ctrl || whole; break;
        case VK_INSERT: pass = !shift.Contains(ssShift); break;
        case VK_DELETE: pass = ctrl; break;
        case VK_F2:
            FireGridKeyDown(key, shift);
            if (key == VK_F2) {
                deselect();
                FCurrentPart = 1;
                SelectCurrentPart(FValue);
            }
            key = 0;
            return;
        default: break;
        }
        if (pass) PassKeyToGrid(key, shift);
        if (key != 0 && !CanModify() && (key == VK_END || key == VK_HOME || key == VK_LEFT || key == VK_RIGHT))
            PassKeyToGrid(key, shift);
        if (key != 0) FireGridKeyDown(key, shift);
        if (key == 0) return;
    }
    if (OnKeyDown) OnKeyDown(this, key, shift);
    if (key == 0) return;
    if (key == VK_BACK && !WholeTextSelected()) key = VK_LEFT;
    if (IsDangling()) return;
    if (const TField* f = FDataLink.Field(); f && f->Required() && (key == VK_BACK || key == VK_DELETE)) {
        if (WholeTextSelected() || !IsShortDateTimeFormat() || !IsTimeShown() || !IsTimePartAfterDate()) {
            key = 0;
            return;
        }
    }
    if (shift.Contains(ssShift) && key == VK_RIGHT && FCurrentPart == 1) {
        selectAll();
        key = 0;
        return;
    }
    if (CanModify()) {
        setReadOnly(false);
    } else {
        setReadOnly(true);
        key = 0;
        return;
    }

    const bool editingStage = !ctrl && !(key == VK_TAB && IsInGrid(this)) && !IsDroppedDown();
    const auto isDigitKey = [](int k) { return k >= '0' && k <= '9'; };
    const auto isLetterKey = [](int k) { return (k >= 'A' && k <= 'Z') || k > 0x180; };
    if (editingStage) {
        const bool starting = key == VK_BACK || key == VK_SPACE || key == VK_DELETE || key == VK_RIGHT ||
                              (key >= 0x30 && key <= 0x6F) || key > 0x91;
        if (starting && !alt) {
            if (!text().isEmpty() && WholeTextSelected()) {
                FCurrentPart = 1;
                SelectCurrentPart(FValue);
            } else if (text().isEmpty() && (IsTimeKind() ? TimeOf(FValue) == 0 : DayOf(FValue) == 0)) {
                EnterEditState();
                if (IsTimeKind()) {
                    FValue = isDigitKey(key) ? 0 : TimeOf(Now());
                    setText(FormatValue(FValue));
                } else {
                    TDateTime today = ::Date();
                    if (FMaxDate != 0 && today > DayOf(FMaxDate)) today = DayOf(FMaxDate);
                    else if (FMinDate != 0 && today < DayOf(FMinDate)) today = DayOf(FMinDate);
                    FValue = today + TimeOf(FValue);
                    setText(FormatValue(FValue));
                }
                SetModifiedState(true);
                FCurrentPart = 1;
                SelectCurrentPart(FValue);
            }
        }
        if (alt) return;

        // Keys by the character they type.
        if (key >= 0x100) {
            const QChar c(key - 0x100);
            if (c == '+' || c == '=') key = VK_UP;
            else if (c == '-') key = VK_DOWN;
            else if (FInDigitEntry && (c == FormatSettings.DateSeparator || c == FormatSettings.TimeSeparator)) key = VK_RIGHT;
            else if (c.isLetter()) key = 0x100 + c.toUpper().unicode();
        }

        const bool letter = isLetterKey(key) && key != VK_SPACE;
        const bool digit = isDigitKey(key);
        TWork w;
        if (key == VK_SPACE || key == VK_RIGHT) {
            if (FCurrentPart < CountParts()) {
                CommitDigitEntry();
                if (IsShortDateTimeFormat() && GetPartInfo(FCurrentPart + 1, FValue).Start >= text().size()) {
                    EnterEditState();
                    DecodeWork(w);
                    const bool hadDay = DayOf(FValue) != 0;
                    const TDateTime day = hadDay ? DayOf(FValue) : ::Date();
                    const TDateTime time = hadDay ? TimeOf(Now()) : 0;
                    DecodeDate(day, w.Year, w.Month, w.Day);
                    DecodeTime(time, w.Hour, w.Minute, w.Second, w.MSec);
                    SetDateParts(w);
                    SetModifiedState(true);
                }
                FCurrentPart = std::min(FCurrentPart + 1, std::max(1, CountShownParts()));
                SelectCurrentPart(FValue);
            } else {
                if (FInDigitEntry) CommitDigitEntry();
                SelectCurrentPart(FValue);
            }
            key = 0;
        } else if (key == VK_LEFT) {
            CommitDigitEntry();
            FCurrentPart = std::max(1, std::min(FCurrentPart - 1, CountShownParts()));
            SelectCurrentPart(FValue);
        } else if (key == VK_F2) {
            SelectCurrentPart(FValue);
        } else if (key == VK_DELETE || key == VK_BACK || key == VK_DOWN || key == VK_UP || key == VK_HOME || key == VK_END ||
                   letter || digit) {
            FTextCleared = false;
            if (shift.Contains(ssShift) && (key == VK_HOME || key == VK_END)) {
                selectAll();
                key = 0;
                return;
            }
            if (key == VK_DELETE && FInDigitEntry) {
                key = 0;
                return;
            }
            const bool savedDigitEntry = FInDigitEntry;
            if (key != VK_BACK && key != VK_END && key != VK_HOME && key != VK_UP && key != VK_DOWN && key != VK_DELETE)
                FInDigitEntry = false;
            if (FValue == 0 && (key == VK_END || key == VK_HOME || key == VK_UP || key == VK_DOWN)) FValue = ::Date();
            DecodeWork(w);
            TkqDTPartInfo info = GetPartInfo(FCurrentPart, FValue);
            EnterEditState();
            if (key == VK_END || key == VK_HOME || key == VK_UP || key == VK_DOWN) {
                CommitDigitEntry();
                DecodeWork(w);
                info = GetPartInfo(FCurrentPart, FValue);
            }
            const QString& t = info.Token;
            const QChar kind = TokenKind(t);
            const TDateTime v = DayOf(FValue);
            switch (key) {
            case VK_BACK:
            case VK_DELETE: {
                const TField* f = FDataLink.Field();
                if (IsTimeKind() && f && IsDateTimeType(f->DataType())) {
                    SetDateTime(DayOf(FValue));
                    setText(QString());
                    FCurrentPart = 1;
                    FTextCleared = true;
                } else if (EditsDateOnly()) {
                    SetDate(0);
                    FCurrentPart = 1;
                } else if (IsShortDateTimeFormat() && IsTimeShown() && IsTimePartAfterDate()) {
                    SetDateTime(DayOf(FValue));
                    FCurrentPart = CountShownParts();
                    SelectCurrentPart(FValue);
                } else {
                    SetDateTime(0);
                    setText(QString());
                    FCurrentPart = 1;
                    FTextCleared = true;
                }
                break;
            }
            case VK_UP:
            case VK_DOWN: {
                const int n = key == VK_UP ? 1 : -1;
                const int step = std::clamp(FInterval->MinutesInterval, 1, 60);
                if (kind == 'd' || kind == 'm' || kind == 'y') StepDatePart(t, n, true, w);
                else if (kind == 'h' && !IsDesignatorToken(t)) w.Hour = (w.Hour + n + 24) % 24;
                else if (kind == 'n') {
                    if (n > 0) {
                        w.Minute = (w.Minute + step) % 60;
                        if (FInterval->RoundMinutes) w.Minute = w.Minute / step * step;
                    } else if (FInterval->RoundMinutes && w.Minute % step != 0) {
                        w.Minute = w.Minute / step * step;
                    } else {
                        w.Minute = (w.Minute - step + 60) % 60;
                    }
                } else if (kind == 's') w.Second = (w.Second + n + 60) % 60;
                else if (IsDesignatorToken(t)) w.Hour = w.Hour < 12 ? w.Hour + 12 : w.Hour - 12;
                break;
            }
            case VK_HOME:
                if (IsDesignatorToken(t)) {
                    if (w.Hour >= 12) w.Hour -= 12;
                } else if (IsDayToken(t)) {
                    w.Day = (w.Year == w.MinYear && w.Month == w.MinMonth) ? w.MinDay : 1;
                } else if (IsDayNameToken(t)) {
                    int first = 1, last = 7;
                    FirstAndLastDayOfWeek(first, last);
                    const TDateTime x = std::max(v - (DayOfWeek(v) - first + 7) % 7, DayOf(w.Min));
                    DecodeDate(x, w.Year, w.Month, w.Day);
                } else if (kind == 'h') {
                    w.Hour = 0;
                } else if (kind == 'n') {
                    w.Minute = 0;
                } else if (kind == 's') {
                    w.Second = 0;
                } else if (IsMonthToken(t) || IsMonthNameToken(t)) {
                    w.Month = w.Year == w.MinYear ? w.MinMonth + (w.Day < w.MinDay ? 1 : 0) : 1;
                } else if (kind == 'y') {
                    w.Year = w.MinYear + ((w.Month < w.MinMonth || (w.Month == w.MinMonth && w.Day < w.MinDay)) ? 1 : 0);
                }
                break;
            case VK_END:
                if (IsDesignatorToken(t)) {
                    if (w.Hour < 12) w.Hour += 12;
                } else if (IsDayToken(t)) {
                    w.Day = (w.Year == w.MaxYear && w.Month == w.MaxMonth) ? w.MaxDay : DaysInMonth(w.Month, w.Year);
                } else if (IsDayNameToken(t)) {
                    int first = 1, last = 7;
                    FirstAndLastDayOfWeek(first, last);
                    const TDateTime x = std::min(v + (last - DayOfWeek(v) + 7) % 7, DayOf(w.Max));
                    DecodeDate(x, w.Year, w.Month, w.Day);
                } else if (kind == 'h') {
                    w.Hour = 23;
                } else if (kind == 'n') {
                    w.Minute = 59;
                } else if (kind == 's') {
                    w.Second = 59;
                } else if (IsMonthToken(t) || IsMonthNameToken(t)) {
                    w.Month = w.Year == w.MaxYear ? w.MaxMonth - (w.Day > w.MaxDay ? 1 : 0) : 12;
                } else if (kind == 'y') {
                    w.Year = w.MaxYear - ((w.Month > w.MaxMonth || (w.Month == w.MaxMonth && w.Day > w.MaxDay)) ? 1 : 0);
                }
                break;
            default:
                if (letter) {
                    const QChar c = key >= 0x100 ? QChar(key - 0x100) : QChar(key);
                    if (t.isEmpty()) {
                        FInDigitEntry = savedDigitEntry;
                        key = 0;
                    } else if (IsMonthNameToken(t)) {
                        if (!MonthNameLetter(false, c, t, w)) MonthNameLetter(true, c, t, w);
                    } else if (IsDayNameToken(t)) {
                        DayNameLetter(c, t, w);
                    } else if (IsDesignatorToken(t)) {
                        w.Hour = DesignatorLetter(w.Hour, c, t);
                    } else {
                        FInDigitEntry = savedDigitEntry;
                        key = 0;
                    }
                } else if (digit) {
                    const int r = TypeDigit(key - '0', info, w);
                    if (r < 0) {
                        Beep();
                        FInDigitEntry = savedDigitEntry;
                        key = 0;
                        break;
                    }
                    if (!FInDigitEntry) {
                        if (kind == 'h') w.Hour = AdjustHourForAmPm(w.Hour, r);
                        else if (kind == 'd') w.Day = r;
                        else if (kind == 'm') w.Month = r;
                        else if (kind == 'n') w.Minute = r;
                        else if (kind == 's') w.Second = r;
                        else if (kind == 'y') w.Year = r;
                        if (FCurrentPart < CountShownParts()) {
                            SetDateParts(w);
                            ++FCurrentPart;
                            SelectCurrentPart(FValue);
                        }
                    } else if (IsTimeKind()) {
                        if (kind == 'h') w.Hour = AdjustHourForAmPm(w.Hour, r);
                        else if (kind == 'n') w.Minute = r;
                        else if (kind == 's') w.Second = r;
                        TDateTime tv = 0;
                        if (TryEncodeTime(w.Hour, w.Minute, w.Second, w.MSec, tv)) FValue = DayOf(FValue) + tv;
                    } else {
                        if (kind == 'd') w.Day = r;
                        else if (kind == 'm') w.Month = r;
                        else if (kind == 'h') w.Hour = AdjustHourForAmPm(w.Hour, r);
                        else if (kind == 'n') w.Minute = r;
                        else if (kind == 's') w.Second = r;
                        else if (kind == 'y') w.Year = r <= 99 ? ExpandTwoDigitYear(r, FEpoch) : r;
                        TDateTime d = 0, tm = 0;
                        if (w.Month != 0 && w.Day != 0 && EncodeDateChecked(w.Year, w.Month, w.Day, d) &&
                            TryEncodeTime(w.Hour, w.Minute, w.Second, w.MSec, tm) && d >= DayOf(w.Min) && d <= DayOf(w.Max))
                            FPendingValue = d + tm;
                    }
                }
                break;
            }
            // Apply what the key did.
            if (key != 0 && !(digit && FInDigitEntry)) {
                if (key != VK_BACK && key != VK_DELETE) {
                    const bool hadTime = TimeOf(FValue) != 0;
                    try {
                        SetDateParts(w);
                    } catch (const EDateTimeError&) {
                    }
                    if (IsDateTimeKind() && IsShortDateTimeFormat() && hadTime && w.Hour == 0 && w.Minute == 0 && w.Second == 0) {
                        FCurrentPart = CountShownParts();
                        SelectCurrentPart(FValue);
                    }
                    if (key == VK_UP || key == VK_DOWN || key == VK_HOME || key == VK_END || letter) SelectCurrentPart(FValue);
                }
                FPendingValue = 0;
                SetModifiedState(true);
            }
        }
    }
    // The edit control never moves its caret or deletes on its own.
    if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN || key == VK_HOME || key == VK_END) key = 0;
    if ((key == VK_DELETE || key == VK_BACK) && !FInDigitEntry) key = 0;
    if (key >= 0x100 || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) key = 0;
}

void TkqDBCustomDateTimePicker::KeyPress(QChar& key)
{
    const ushort c = key.unicode();
    if (QWidget* grid = ParentGrid(this)) {
        Q_UNUSED(grid);
        if (TkqGridHost* host = ParentGridHost(this)) host->GridKeyPress(key);
        if (key.isNull()) return;
    }
    if ((c >= 32 || c == 8) && !CanModify()) {
        key = QChar();
        return;
    }
    if (OnKeyPress) {
        OnKeyPress(this, key);
        if (key.isNull()) {
            SetModifiedState(true);
            return;
        }
    }
    if (c == ' ' && text().isEmpty()) {
        key = QChar();
        if (IsDangling()) return;
        EnterEditState();
        SetDateTime(Now());
        SetModifiedState(true);
        SelectCurrentPart(FValue);
        return;
    }
    if (c >= 32) {
        if (const TField* f = FDataLink.Field(); f && !f->IsValidChar(key)) Beep();
        key = QChar();
        return;
    }
    if (c == 8 || c == 22 || c == 24) {
        key = QChar();
        return;
    }
    if (c == 9 && IsInGrid(this)) {
        key = QChar();
        return;
    }
    if (c == 13) {
        if (!IsInGrid(this)) {
            CommitDigitEntry();
            SelectCurrentPart(FValue);
        }
        key = QChar();
        return;
    }
    if (c == 27) {
        key = QChar();
        if (FEscapeClosedDropDown) {
            FEscapeClosedDropDown = false;
            return;
        }
        RevertEdit();
        setText(DisplayText(FValue));
        SelectCurrentPart(FValue);
        FInDigitEntry = false;
        if (!text().isEmpty()) FTextCleared = false;
        if (IsInGrid(this)) {
            if (QWidget* grid = ParentGrid(this)) grid->setFocus(Qt::OtherFocusReason);
        } else {
            selectAll();
        }
    }
}

// --- Mouse

void TkqDBCustomDateTimePicker::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || text().isEmpty()) {
        QLineEdit::mousePressEvent(event);
        return;
    }
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    if (FPendingValue != 0) {
        const TDateTime v = FPendingValue;
        FPendingValue = 0;
        FInDigitEntry = false;
        try {
            SetDateTime(v);
        } catch (const EDateTimeError&) {
        }
    } else {
        CommitDigitEntry();
    }
    const TDateTime reference = IsDroppedDown() && FCalendar ? FCalendar->Date() : FValue;
    const int x = event->position().toPoint().x() - BorderWidth() - FormattingRect().Left;
    const QFontMetrics fm(font());
    const int count = std::max(1, CountParts());
    int n = 1;
    for (; n < count; ++n) {
        const TkqDTPartInfo info = GetPartInfo(n, reference);
        if (info.Start + info.Length >= text().size()) break;
        if (fm.horizontalAdvance(info.Text) > x) break;
        if (IsShortDateTimeFormat() && info.Text.size() >= text().size()) break;
    }
    FCurrentPart = n;
    SelectCurrentPart(reference);
}

void TkqDBCustomDateTimePicker::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) selectAll();
}

void TkqDBCustomDateTimePicker::mouseMoveEvent(QMouseEvent* event)
{
    // No dragging a selection across parts.
    event->accept();
}

void TkqDBCustomDateTimePicker::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}
