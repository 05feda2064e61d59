#pragma once
// Number, date and time text in the program's formats: the process-wide format
// settings, FormatDateTime/FormatFloat with their format letters, and the parsers.

#include "platform/core/SysUtils.h"

#include <QChar>
#include <QLocale>
#include <QString>
#include <cstdint>

// Currency: a 64-bit integer scaled by 10,000 (four decimals, exact).
class TCurrency {
public:
    static constexpr qint64 Scale = 10000;
    constexpr TCurrency() = default;
    static constexpr TCurrency FromScaled(qint64 scaled) { TCurrency c; c.FValue = scaled; return c; }
    // Rounds half away from zero to four decimals; raises EConvertError outside the range.
    static TCurrency FromDouble(double value);
    static constexpr TCurrency FromInt(qint64 units) { return FromScaled(units * Scale); }
    constexpr qint64 Scaled() const { return FValue; }
    double ToDouble() const { return double(FValue) / double(Scale); }
    friend constexpr bool operator==(TCurrency a, TCurrency b) { return a.FValue == b.FValue; }
    friend constexpr auto operator<=>(TCurrency a, TCurrency b) { return a.FValue <=> b.FValue; }

private:
    qint64 FValue = 0;
};

struct TFormatSettings {
    QString CurrencyString;
    quint8 CurrencyFormat = 0;      // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    quint8 NegCurrFormat = 0;       // 0 "($1)" ... 15 "(1 $)", the sixteen old patterns
    QChar ThousandSeparator;
    QChar DecimalSeparator;
    quint8 CurrencyDecimals = 2;
    QChar DateSeparator;
    QString ShortDateFormat;
    QString LongDateFormat;
    QChar TimeSeparator;
    QString TimeAMString;
    QString TimePMString;
    QString ShortTimeFormat;
    QString LongTimeFormat;
    QString ShortMonthNames[12];
    QString LongMonthNames[12];
    QString ShortDayNames[7];       // [0] is Sunday
    QString LongDayNames[7];
    int TwoDigitYearCenturyWindow = 50;

    // The platform's defaults without regional settings (United States English); tests use them.
    static TFormatSettings Standard();
    // Separators, formats and names of a Qt locale, the format letters translated.
    static TFormatSettings FromLocale(const QLocale& locale);
};

// Process-wide settings, taken once from the system locale; code may change them (and restore them).
extern TFormatSettings FormatSettings;

// Translates a Qt date/time pattern ("dd.MM.yyyy HH:mm") into the old format letters ("dd.mm.yyyy hh:nn").
QString QtToDateTimeFormat(const QString& qtFormat);

// --- Dates and times -------------------------------------------------------------------------
// Format letters: c d dd ddd dddd ddddd dddddd m mm mmm mmmm (minutes right after an hour) yy yyyy
// h hh n nn s ss z zzz t tt am/pm a/p ampm / : "quoted" 'quoted'; anything else is copied.
QString FormatDateTime(const QString& format, TDateTime value, const TFormatSettings& fs = FormatSettings);
QString DateToStr(TDateTime value, const TFormatSettings& fs = FormatSettings);
QString TimeToStr(TDateTime value, const TFormatSettings& fs = FormatSettings);
QString DateTimeToStr(TDateTime value, const TFormatSettings& fs = FormatSettings);

// Parsers: the order of day, month and year follows ShortDateFormat; a two-digit year falls in
// the century window; raise EConvertError "'%s' is not a valid date" (time, date and time).
TDateTime StrToDate(const QString& s, const TFormatSettings& fs = FormatSettings);
TDateTime StrToTime(const QString& s, const TFormatSettings& fs = FormatSettings);
TDateTime StrToDateTime(const QString& s, const TFormatSettings& fs = FormatSettings);
bool TryStrToDate(const QString& s, TDateTime& value, const TFormatSettings& fs = FormatSettings);
bool TryStrToTime(const QString& s, TDateTime& value, const TFormatSettings& fs = FormatSettings);
bool TryStrToDateTime(const QString& s, TDateTime& value, const TFormatSettings& fs = FormatSettings);

// --- Numbers ---------------------------------------------------------------------------------
enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Format characters: 0 # . , E+ E- e+ e- "quoted" 'quoted' and up to three sections
// "positive;negative;zero"; an empty format gives FloatToStr.
QString FormatFloat(const QString& format, double value, const TFormatSettings& fs = FormatSettings);
QString FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                    const TFormatSettings& fs = FormatSettings);
// The general format with 15 significant digits.
QString FloatToStr(double value, const TFormatSettings& fs = FormatSettings);
QString CurrToStr(TCurrency value, const TFormatSettings& fs = FormatSettings);
QString CurrToStrF(TCurrency value, TFloatFormat format, int digits, const TFormatSettings& fs = FormatSettings);

// Blanks around the number are allowed, thousand separators are not; raise EConvertError
// "'%s' is not a valid floating point value".
double StrToFloat(const QString& s, const TFormatSettings& fs = FormatSettings);
bool TryStrToFloat(const QString& s, double& value, const TFormatSettings& fs = FormatSettings);
TCurrency StrToCurr(const QString& s, const TFormatSettings& fs = FormatSettings);
bool TryStrToCurr(const QString& s, TCurrency& value, const TFormatSettings& fs = FormatSettings);

// Decimal, or hexadecimal after "$" or "0x"; raise EConvertError "'%s' is not a valid integer value".
int StrToInt(const QString& s);
qint64 StrToInt64(const QString& s);
QString IntToStr(qint64 value);
