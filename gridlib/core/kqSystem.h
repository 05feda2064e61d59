#pragma once
// Dates, times and numbers read out of the text a user typed or a control shows, in the
// regional settings (every routine takes them, the process-wide ones by default, so callers
// and tests can pin them), and the part of a date or time the caret stands in.
//
// The scanner is lenient in the same ways everywhere: blanks are skipped between parts,
// numbers have at most four digits, a month may be written as its short name, and a date may
// leave out its year. A two-digit year (any year below 100, however many digits were typed)
// takes the pivot's century, and the next one when it would still lie before the pivot: with
// the pivot 1950, 0-49 become 2000-2049 and 50-99 become 1950-1999.

#include "platform/core/SysFormat.h"
#include "platform/core/SysUtils.h"

#include <QString>

class QLineEdit;

// The pivot of every routine that does not take one.
constexpr int DefaultPivotYear = 1950;

// Parts of a date or time text.
enum TkqDateTimePart { dtpDay, dtpMonth, dtpYear, dtpHour, dtpMinute, dtpSecond, dtpAmPm };

// The year of the local date.
int CurrentYear();
// 0 month-day-year, 1 day-month-year, 2 year-month-day: the first of D, M or Y in the format.
int GetDateOrder(const QString& shortDateFormat);
// Day + 1, or 1 after the month's last day; day - 1, or the month's last day before day 1.
int NextDayInMonth(int year, int month, int day);
int PrevDayInMonth(int year, int month, int day);
// False unless the date (years 1-9999) or the time of day exists.
bool EncodeDateChecked(int year, int month, int day, TDateTime& date);
bool EncodeTimeChecked(int hour, int min, int sec, int msec, TDateTime& time);

// Read a date or a time at pos (1-based); pos is left after it and its trailing blanks.
bool ScanDate(const QString& text, int& pos, TDateTime& date, int pivot, const TFormatSettings& fs = FormatSettings);
bool ScanTime(const QString& text, int& pos, TDateTime& time, const TFormatSettings& fs = FormatSettings);
// The date at the start of the text; the rest is not examined.
bool ParseDateText(const QString& text, TDateTime& date, const TFormatSettings& fs = FormatSettings);
bool ParseDateTextPivot(const QString& text, TDateTime& date, int pivot, const TFormatSettings& fs = FormatSettings);

// The whole text is one date, one time, or a date followed by a time.
bool IsValidDateText(const QString& text, const TFormatSettings& fs = FormatSettings);
bool IsValidTimeText(const QString& text, const TFormatSettings& fs = FormatSettings);
bool IsValidDateTimeText(const QString& text, const TFormatSettings& fs = FormatSettings);
// The value, or 0: a whole date and time; the date at the start of the text; a whole time.
TDateTime TextToDateTimeOrZero(const QString& text, const TFormatSettings& fs = FormatSettings);
TDateTime TextToDateOrZero(const QString& text, const TFormatSettings& fs = FormatSettings);
TDateTime TextToTimeOrZero(const QString& text, const TFormatSettings& fs = FormatSettings);

// Digits, with a "-" allowed first in a text longer than one character; an empty text passes.
bool IsIntegerText(const QString& text);
// An empty text, or one whose first 63 characters are a number.
bool IsValidFloatText(const QString& text, const TFormatSettings& fs = FormatSettings);
// Reads a number shown with a display format (currency signs, thousand separators, negatives
// in parentheses or with a trailing mark): only digits and the decimal separator count, each
// "(" makes it negative. An empty text succeeds and leaves value alone.
bool ParseDisplayedFloat(const QString& text, double& value, const QString& displayFormat,
                         const TFormatSettings& fs = FormatSettings);

// The part the caret (0-based: it stands before character caretPos + 1) is in.
TkqDateTimePart DateTimePartAtCaret(int caretPos, const QString& text, bool timeOnly,
                                    const TFormatSettings& fs = FormatSettings);
TkqDateTimePart TimePartAtCaret(int caretPos, const QString& text, const TFormatSettings& fs = FormatSettings);
// Where a part's characters are: start 0-based, length 0 when there is nothing to select.
void DateTimePartRange(TkqDateTimePart part, const QString& text, bool timeOnly, int& start, int& length,
                       const TFormatSettings& fs = FormatSettings);
// Selects a part's characters in an edit.
void SelectDateTimePart(TkqDateTimePart part, QLineEdit* edit, bool timeOnly, const TFormatSettings& fs = FormatSettings);
