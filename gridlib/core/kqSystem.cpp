#include "gridlib/core/kqSystem.h"

#include "gridlib/core/Kqstr.h"

#include <QDate>
#include <QLineEdit>

namespace {
// One scanner over a text with a 1-based position; every step first skips blanks.
class TScanner {
public:
    TScanner(const QString& text, int pos, const TFormatSettings& fs) : FText(text), FPos(pos), FFs(fs) {}
    int Pos() const { return FPos; }
    bool AtEnd() const { return FPos > FText.size(); }

    void SkipBlanks()
    {
        while (FPos >= 1 && FPos <= FText.size() && FText[FPos - 1] == QLatin1Char(' ')) ++FPos;
    }

    // At most four digits (reading stops once the value passed 999), else a month's short name.
    bool Number(int& value)
    {
        SkipBlanks();
        if (FPos < 1) return false;
        value = 0;
        bool digits = false;
        while (FPos <= FText.size() && IsDigit(FText[FPos - 1]) && value <= 999) {
            value = value * 10 + (FText[FPos - 1].unicode() - '0');
            ++FPos;
            digits = true;
        }
        if (digits) return true;
        const QString head = FText.mid(FPos - 1, 3).toUpper();
        for (int m = 0; m < 12; ++m)
            if (head == FFs.ShortMonthNames[m].toUpper()) {
                value = m + 1;
                FPos += 3;
                return true;
            }
        return false;
    }

    bool Char(QChar ch)
    {
        SkipBlanks();
        if (FPos < 1 || FPos > FText.size() || FText[FPos - 1] != ch) return false;
        ++FPos;
        return true;
    }

    bool String(const QString& s)
    {
        SkipBlanks();
        if (s.isEmpty() || FPos < 1) return false;
        if (FText.mid(FPos - 1, s.size()).compare(s, Qt::CaseInsensitive) != 0) return false;
        FPos += int(s.size());
        return true;
    }

private:
    static bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

    const QString& FText;
    int FPos;
    const TFormatSettings& FFs;
};

int TwoDigitYear(int year, int pivot)
{
    if (year >= 100) return year;
    year += pivot / 100 * 100;
    if (year < pivot) year += 100;
    return year;
}

bool ScanDateWith(TScanner& s, TDateTime& date, int pivot, const TFormatSettings& fs)
{
    const int order = GetDateOrder(fs.ShortDateFormat);
    int n1 = 0, n2 = 0, n3 = 0;
    if (!s.Number(n1) || !s.Char(fs.DateSeparator) || !s.Number(n2)) return false;
    int year, month, day;
    if (s.Char(fs.DateSeparator)) {
        if (!s.Number(n3)) return false;
        switch (order) {
        case 0: year = n3; month = n1; day = n2; break;
        case 1: year = n3; month = n2; day = n1; break;
        default: year = n1; month = n2; day = n3; break;
        }
        year = TwoDigitYear(year, pivot);
    } else {
        year = CurrentYear();
        if (order == 1) {
            day = n1;
            month = n2;
        } else {
            month = n1;
            day = n2;
        }
    }
    s.SkipBlanks();
    return EncodeDateChecked(year, month, day, date);
}

bool ScanTimeWith(TScanner& s, TDateTime& time, const TFormatSettings& fs)
{
    int hour = 0, minute = 0, second = 0;
    if (!s.Number(hour) || !s.Char(fs.TimeSeparator) || !s.Number(minute)) return false;
    if (s.Char(fs.TimeSeparator) && !s.Number(second)) return false;
    int offset = -1;
    if (s.String(fs.TimeAMString) || s.String(QStringLiteral("AM"))) offset = 0;
    else if (s.String(fs.TimePMString) || s.String(QStringLiteral("PM"))) offset = 12;
    if (offset >= 0) {
        if (hour < 1 || hour > 12) return false;
        if (hour == 12) hour = 0;
        hour += offset;
    }
    s.SkipBlanks();
    return EncodeTimeChecked(hour, minute, second, 0, time);
}

// Where the date scan from the start stopped, and whether it read a date.
bool DateScanEnd(const QString& text, int& end, const TFormatSettings& fs)
{
    TScanner s(text, 1, fs);
    TDateTime date;
    const bool ok = ScanDateWith(s, date, DefaultPivotYear, fs);
    end = s.Pos();
    return ok;
}

// How many tokens (at most two) lie wholly before the caret, walking from cursor; extraStep
// steps one more character before each next token. secondSeparator: where the second ended.
int TokensBeforeCaret(const QString& text, QChar separator, int cursor, int caretPos, bool extraStep,
                      int& secondSeparator)
{
    const QString sep(separator);
    int passed = 0;
    while (passed < 2) {
        const QString token = NextToken(text, sep, cursor);
        if (token.isEmpty() || cursor == -1 || caretPos < cursor - 1) break;
        ++passed;
        secondSeparator = cursor - 1;
        if (extraStep) ++cursor;
    }
    return passed;
}

// Tokens of a time from start: 3 hour, 4 minute, 5 second, 6 AM/PM. Each pass steps one more
// character, so the caret counts as in a part up to the separator that ends it.
TkqDateTimePart TimePartFrom(int caretPos, const QString& text, int start, const TFormatSettings& fs)
{
    int secondSeparator = 0;
    const int passed = TokensBeforeCaret(text, fs.TimeSeparator, start, caretPos, true, secondSeparator);
    if (passed == 0) return dtpHour;
    if (passed == 1) return dtpMinute;
    return caretPos > secondSeparator + 2 ? dtpAmPm : dtpSecond;
}

// The place of a date part in the date order: its token index.
int DateTokenIndex(TkqDateTimePart part, int order)
{
    static const int places[3][3] = {{1, 0, 2}, {0, 1, 2}, {2, 1, 0}};   // [order][day, month, year]
    return places[qBound(0, order, 2)][part];
}

// Takes count tokens from cursor; the last one and where it starts (1-based; 0 when the text ran out).
QString NthToken(const QString& text, const QString& sep, int cursor, int count, int& tokenStart)
{
    QString token;
    tokenStart = 0;
    for (int k = 0; k < count; ++k) {
        if (cursor <= 0) {
            tokenStart = 0;
            return QString();
        }
        tokenStart = cursor;
        token = NextToken(text, sep, cursor);
    }
    return token;
}

QString BeforeBlank(const QString& token)
{
    const int blank = token.indexOf(QLatin1Char(' '));
    return blank < 0 ? token : token.left(blank);
}
} // namespace

int CurrentYear()
{
    return QDate::currentDate().year();
}

int GetDateOrder(const QString& shortDateFormat)
{
    for (QChar c : shortDateFormat) {
        switch (c.toUpper().unicode()) {
        case 'D': return 1;
        case 'M': return 0;
        case 'Y': return 2;
        default: break;
        }
    }
    return 0;
}

int NextDayInMonth(int year, int month, int day)
{
    return day >= DaysInMonth(year, month) ? 1 : day + 1;
}

int PrevDayInMonth(int year, int month, int day)
{
    return day <= 1 ? DaysInMonth(year, month) : day - 1;
}

bool EncodeDateChecked(int year, int month, int day, TDateTime& date)
{
    return TryEncodeDate(year, month, day, date);
}

bool EncodeTimeChecked(int hour, int min, int sec, int msec, TDateTime& time)
{
    return TryEncodeTime(hour, min, sec, msec, time);
}

bool ScanDate(const QString& text, int& pos, TDateTime& date, int pivot, const TFormatSettings& fs)
{
    TScanner s(text, pos, fs);
    const bool ok = ScanDateWith(s, date, pivot, fs);
    pos = s.Pos();
    return ok;
}

bool ScanTime(const QString& text, int& pos, TDateTime& time, const TFormatSettings& fs)
{
    TScanner s(text, pos, fs);
    const bool ok = ScanTimeWith(s, time, fs);
    pos = s.Pos();
    return ok;
}

bool ParseDateText(const QString& text, TDateTime& date, const TFormatSettings& fs)
{
    return ParseDateTextPivot(text, date, DefaultPivotYear, fs);
}

bool ParseDateTextPivot(const QString& text, TDateTime& date, int pivot, const TFormatSettings& fs)
{
    int pos = 1;
    return ScanDate(text, pos, date, pivot, fs);
}

bool IsValidDateText(const QString& text, const TFormatSettings& fs)
{
    TScanner s(text, 1, fs);
    TDateTime date;
    return ScanDateWith(s, date, DefaultPivotYear, fs) && s.AtEnd();
}

bool IsValidTimeText(const QString& text, const TFormatSettings& fs)
{
    TScanner s(text, 1, fs);
    TDateTime time;
    return ScanTimeWith(s, time, fs) && s.AtEnd();
}

bool IsValidDateTimeText(const QString& text, const TFormatSettings& fs)
{
    TScanner s(text, 1, fs);
    TDateTime date, time;
    return ScanDateWith(s, date, DefaultPivotYear, fs) && ScanTimeWith(s, time, fs) && s.AtEnd();
}

TDateTime TextToDateTimeOrZero(const QString& text, const TFormatSettings& fs)
{
    TScanner s(text, 1, fs);
    TDateTime date, time;
    if (ScanDateWith(s, date, DefaultPivotYear, fs) && ScanTimeWith(s, time, fs) && s.AtEnd())
        return date < 0 ? date - time : date + time;
    return 0;
}

TDateTime TextToDateOrZero(const QString& text, const TFormatSettings& fs)
{
    TDateTime date;
    return ParseDateText(text, date, fs) ? date : 0;
}

TDateTime TextToTimeOrZero(const QString& text, const TFormatSettings& fs)
{
    TScanner s(text, 1, fs);
    TDateTime time;
    return ScanTimeWith(s, time, fs) && s.AtEnd() ? time : 0;
}

bool IsIntegerText(const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) continue;
        if (i == 0 && c == QLatin1Char('-') && text.size() > 1) continue;
        return false;
    }
    return true;
}

bool IsValidFloatText(const QString& text, const TFormatSettings& fs)
{
    double value;
    return text.isEmpty() || TryStrToFloat(text.left(63), value, fs);
}

bool ParseDisplayedFloat(const QString& text, double& value, const QString& displayFormat, const TFormatSettings& fs)
{
    if (text.isEmpty()) return true;
    const QChar decimal = fs.DecimalSeparator;
    auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    auto startsNumber = [&](QChar c) { return isDigit(c) || c == QLatin1Char('(') || c == decimal; };

    int start = 0;
    while (start < text.size() && !startsNumber(text[start]) && text[start] != QLatin1Char('-')) ++start;
    const bool negative = start < text.size() && text[start] == QLatin1Char('-');
    if (negative)
        while (start < text.size() && !startsNumber(text[start])) ++start;

    QString number;
    for (int i = start; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('(')) number += QLatin1Char('-');
        else if (isDigit(c) || c == decimal) number += c;
    }
    if (negative) number.prepend(QLatin1Char('-'));
    double read;
    if (!TryStrToFloat(number, read, fs)) return false;
    // A format that shows negatives without a sign still reads back as negative.
    if (read > 0 && !displayFormat.isEmpty() && FormatFloat(displayFormat, read, fs) != text &&
        FormatFloat(displayFormat, -read, fs) == text)
        read = -read;
    value = read;
    return true;
}

TkqDateTimePart DateTimePartAtCaret(int caretPos, const QString& text, bool timeOnly, const TFormatSettings& fs)
{
    int dateEnd = 1;
    const bool dateRead = !timeOnly && DateScanEnd(text, dateEnd, fs);
    const bool blankBeforeCaret =
        caretPos >= 1 && caretPos <= text.size() && text[caretPos - 1] == QLatin1Char(' ');
    if (timeOnly || (dateRead && (caretPos >= dateEnd || (caretPos == dateEnd - 1 && blankBeforeCaret))))
        return TimePartFrom(caretPos, text, timeOnly ? 1 : dateEnd, fs);

    int separator = 0;
    const int passed = TokensBeforeCaret(text, fs.DateSeparator, 1, caretPos, false, separator);
    static const TkqDateTimePart byOrder[3][3] = {
        {dtpMonth, dtpDay, dtpYear}, {dtpDay, dtpMonth, dtpYear}, {dtpYear, dtpMonth, dtpDay}};
    return byOrder[GetDateOrder(fs.ShortDateFormat)][passed];
}

TkqDateTimePart TimePartAtCaret(int caretPos, const QString& text, const TFormatSettings& fs)
{
    return caretPos <= 0 ? dtpHour : TimePartFrom(caretPos, text, 1, fs);
}

void DateTimePartRange(TkqDateTimePart part, const QString& text, bool timeOnly, int& start, int& length,
                       const TFormatSettings& fs)
{
    start = 0;
    length = 0;
    int tokenStart = 0;
    QString token;
    if (part <= dtpYear) {
        const int index = DateTokenIndex(part, GetDateOrder(fs.ShortDateFormat));
        token = BeforeBlank(NthToken(text, QString(fs.DateSeparator), 1, index + 1, tokenStart));
    } else {
        int from = 1;
        if (!timeOnly && !DateScanEnd(text, from, fs)) return;
        const int count = part == dtpHour ? 1 : part == dtpMinute ? 2 : 3;
        token = NthToken(text, QString(fs.TimeSeparator), from, count, tokenStart);
        // A minute or second followed by the AM/PM text ends at the blank; AM/PM is what follows it.
        if (part == dtpMinute || part == dtpSecond) {
            token = BeforeBlank(token);
        } else if (part == dtpAmPm) {
            const int blank = token.indexOf(QLatin1Char(' '));
            token = token.mid(blank + 1);
            tokenStart += blank + 1;
        }
    }
    if (tokenStart <= 0) return;
    start = tokenStart - 1;
    length = int(token.size());
}

void SelectDateTimePart(TkqDateTimePart part, QLineEdit* edit, bool timeOnly, const TFormatSettings& fs)
{
    if (!edit) return;
    int start, length;
    DateTimePartRange(part, edit->text(), timeOnly, start, length, fs);
    edit->setSelection(start, length);
}
