#include "platform/core/SysFormat.h"

#include <QDate>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

// ---------------------------------------------------------------------------------------------
// Currency

TCurrency TCurrency::FromDouble(double value)
{
    const double scaled = value * double(Scale);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2233720368547758e18)
        throw EConvertError(QStringLiteral("%1 is not a valid currency value").arg(value));
    return FromScaled(qint64(std::llround(scaled)));
}

// ---------------------------------------------------------------------------------------------
// Settings

namespace {

const char* const KShortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const KLongMonths[12] = {"January", "February", "March", "April", "May", "June", "July",
                                     "August", "September", "October", "November", "December"};
const char* const KShortDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const KLongDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

bool IsDateTimeLetter(QChar c)
{
    switch (c.toLower().unicode()) {
    case 'a': case 'c': case 'd': case 'e': case 'g': case 'h': case 'm': case 'n': case 's':
    case 't': case 'y': case 'z': return true;
    default: return false;
    }
}

// The first separator between two letters of a Qt pattern (outside quotes).
QChar SeparatorOf(const QString& qtFormat, QChar fallback)
{
    bool quoted = false;
    bool seenLetter = false;
    for (QChar c : qtFormat) {
        if (c == '\'') { quoted = !quoted; continue; }
        if (quoted) continue;
        if (c.isLetter()) { seenLetter = true; continue; }
        if (seenLetter && c != ' ' && c != ',') return c;
    }
    return fallback;
}

int CurrencyPattern(const QString& text, const QString& symbol, bool negative)
{
    // Positive: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"; negative: the sixteen old patterns.
    static const char* const positive[] = {"$1", "1$", "$ 1", "1 $"};
    static const char* const negativePatterns[] = {
        "($1)", "-$1", "$-1", "$1-", "(1$)", "-1$", "1-$", "1$-",
        "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)"};
    QString t = text;
    t.replace(symbol, QStringLiteral("$"));
    t.replace(QChar(0x00A0), QChar(' '));
    t.replace(QChar(0x2212), QChar('-'));
    // Collapse the number to "1".
    QString shape;
    bool inNumber = false;
    for (QChar c : t) {
        if (c.isDigit() || c == '.' || c == ',') {
            if (!inNumber) shape += '1';
            inNumber = true;
        } else {
            inNumber = false;
            shape += c;
        }
    }
    if (!negative) {
        for (int i = 0; i < 4; ++i) if (shape == QLatin1String(positive[i])) return i;
        return 0;
    }
    for (int i = 0; i < 16; ++i) if (shape == QLatin1String(negativePatterns[i])) return i;
    return 1;
}

} // namespace

TFormatSettings TFormatSettings::Standard()
{
    TFormatSettings fs;
    fs.CurrencyString = QStringLiteral("$");
    fs.CurrencyFormat = 0;
    fs.NegCurrFormat = 0;
    fs.ThousandSeparator = ',';
    fs.DecimalSeparator = '.';
    fs.CurrencyDecimals = 2;
    fs.DateSeparator = '/';
    fs.ShortDateFormat = QStringLiteral("m/d/yyyy");
    fs.LongDateFormat = QStringLiteral("dddd, mmmm d, yyyy");
    fs.TimeSeparator = ':';
    fs.TimeAMString = QStringLiteral("AM");
    fs.TimePMString = QStringLiteral("PM");
    fs.ShortTimeFormat = QStringLiteral("h:nn AMPM");
    fs.LongTimeFormat = QStringLiteral("h:nn:ss AMPM");
    for (int i = 0; i < 12; ++i) {
        fs.ShortMonthNames[i] = QLatin1String(KShortMonths[i]);
        fs.LongMonthNames[i] = QLatin1String(KLongMonths[i]);
    }
    for (int i = 0; i < 7; ++i) {
        fs.ShortDayNames[i] = QLatin1String(KShortDays[i]);
        fs.LongDayNames[i] = QLatin1String(KLongDays[i]);
    }
    fs.TwoDigitYearCenturyWindow = 50;
    return fs;
}

QString QtToDateTimeFormat(const QString& qt)
{
    const bool twelveHour = qt.contains(QLatin1String("AP"), Qt::CaseInsensitive) ||
                            qt.contains(QLatin1Char('a')) || qt.contains(QLatin1Char('A'));
    QString out;
    for (int i = 0; i < qt.size();) {
        const QChar c = qt[i];
        int n = 1;
        while (i + n < qt.size() && qt[i + n] == c) ++n;
        if (c == '\'') {
            // 'literal' or '' for a quote.
            if (n >= 2 && n % 2 == 0) { out += QString(n / 2, QChar('\'')).prepend('"').append('"'); i += n; continue; }
            int end = qt.indexOf('\'', i + 1);
            if (end < 0) end = qt.size();
            QString lit = qt.mid(i + 1, end - i - 1);
            if (!lit.isEmpty()) out += '"' + lit + '"';
            i = end + 1;
            continue;
        }
        switch (c.unicode()) {
        case 'd': out += QString(qMin(n, 4), QChar('d')); break;
        case 'M': out += QString(qMin(n, 4), QChar('m')); break;
        case 'y': out += n >= 3 ? QStringLiteral("yyyy") : QStringLiteral("yy"); break;
        case 'h': case 'H': out += QString(qMin(n, 2), QChar('h')); break;
        case 'm': out += QString(qMin(n, 2), QChar('n')); break;
        case 's': out += QString(qMin(n, 2), QChar('s')); break;
        case 'z': out += n >= 3 ? QStringLiteral("zzz") : QStringLiteral("z"); break;
        case 'A': case 'a':
            out += QStringLiteral("AMPM");
            if (i + n < qt.size() && (qt[i + n] == 'P' || qt[i + n] == 'p')) ++n;
            break;
        case 't': break;   // time zone: not part of these formats
        default:
            for (int k = 0; k < n; ++k) {
                if (IsDateTimeLetter(c)) out += '"' + QString(c) + '"';
                else out += c;
            }
        }
        i += n;
    }
    Q_UNUSED(twelveHour);
    return out.trimmed();
}

TFormatSettings TFormatSettings::FromLocale(const QLocale& locale)
{
    TFormatSettings fs = Standard();
    if (locale.language() == QLocale::C) return fs;
    auto first = [](const QString& s, QChar fallback) { return s.isEmpty() ? fallback : s[0]; };
    fs.DecimalSeparator = first(locale.decimalPoint(), '.');
    fs.ThousandSeparator = first(locale.groupSeparator(), ',');
    if (fs.ThousandSeparator == QChar(0x00A0) || fs.ThousandSeparator == QChar(0x202F)) fs.ThousandSeparator = ' ';
    fs.CurrencyString = locale.currencySymbol();
    if (!fs.CurrencyString.isEmpty()) {
        fs.CurrencyFormat = quint8(CurrencyPattern(locale.toCurrencyString(1.0), fs.CurrencyString, false));
        fs.NegCurrFormat = quint8(CurrencyPattern(locale.toCurrencyString(-1.0), fs.CurrencyString, true));
    }
    const QString qtShort = locale.dateFormat(QLocale::ShortFormat);
    fs.DateSeparator = SeparatorOf(qtShort, '/');
    QString shortDate = QtToDateTimeFormat(qtShort);
    // A two-digit year in the short format loses the century: show four digits.
    if (!shortDate.contains(QLatin1String("yyyy")) && shortDate.contains(QLatin1String("yy")))
        shortDate.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    shortDate.replace(fs.DateSeparator, QChar('/'));
    fs.ShortDateFormat = shortDate;
    fs.LongDateFormat = QtToDateTimeFormat(locale.dateFormat(QLocale::LongFormat));
    const QString qtLongTime = locale.timeFormat(QLocale::LongFormat);
    fs.TimeSeparator = SeparatorOf(qtLongTime, ':');
    QString shortTime = QtToDateTimeFormat(locale.timeFormat(QLocale::ShortFormat));
    QString longTime = QtToDateTimeFormat(qtLongTime);
    shortTime.replace(fs.TimeSeparator, QChar(':'));
    longTime.replace(fs.TimeSeparator, QChar(':'));
    fs.ShortTimeFormat = shortTime;
    fs.LongTimeFormat = longTime;
    fs.TimeAMString = locale.amText();
    fs.TimePMString = locale.pmText();
    for (int i = 0; i < 12; ++i) {
        fs.ShortMonthNames[i] = locale.monthName(i + 1, QLocale::ShortFormat);
        fs.LongMonthNames[i] = locale.monthName(i + 1, QLocale::LongFormat);
    }
    for (int i = 0; i < 7; ++i) {
        const int qtDay = i == 0 ? 7 : i;   // Qt counts Monday as 1
        fs.ShortDayNames[i] = locale.dayName(qtDay, QLocale::ShortFormat);
        fs.LongDayNames[i] = locale.dayName(qtDay, QLocale::LongFormat);
    }
    return fs;
}

TFormatSettings FormatSettings = TFormatSettings::FromLocale(QLocale::system());

// ---------------------------------------------------------------------------------------------
// FormatDateTime

namespace {

struct TDateParts {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Min = 0, Sec = 0, MSec = 0, DayOfWeek = 1;
};

TDateParts Decode(TDateTime value)
{
    TDateParts p;
    DecodeDate(value, p.Year, p.Month, p.Day);
    DecodeTime(value, p.Hour, p.Min, p.Sec, p.MSec);
    p.DayOfWeek = DayOfWeek(value);
    return p;
}

void AppendNumber(QString& out, int value, int digits)
{
    QString s = QString::number(value);
    if (s.size() < digits) s.prepend(QString(digits - s.size(), QChar('0')));
    out += s;
}

bool StartsWithCI(const QString& s, int pos, const char* what)
{
    const int n = int(std::strlen(what));
    if (pos + n > s.size()) return false;
    return QStringView(s).mid(pos, n).compare(QLatin1String(what), Qt::CaseInsensitive) == 0;
}

void FormatDateTimeTo(QString& out, const QString& format, const TDateParts& p, const TFormatSettings& fs, int level)
{
    const QString fmt = format.isEmpty() ? QStringLiteral("c") : format;
    QChar lastToken = ' ';
    int i = 0;
    const int len = fmt.size();
    auto count = [&](QChar starter) {
        int n = 1;
        while (i + n < len && fmt[i + n].toUpper() == starter.toUpper()) ++n;
        return n;
    };
    while (i < len) {
        const QChar starter = fmt[i];
        QChar token = starter.toUpper();
        if (token.isLetter() && token.unicode() < 128) {
            if (token == 'M' && lastToken == 'H') token = 'N';
            lastToken = token;
        }
        switch (token.unicode()) {
        case 'Y': {
            const int n = count(starter);
            if (n <= 2) AppendNumber(out, p.Year % 100, 2);
            else AppendNumber(out, p.Year, 4);
            i += n;
            break;
        }
        case 'M': {
            const int n = count(starter);
            if (n <= 2) AppendNumber(out, p.Month, n);
            else if (p.Month >= 1) out += n == 3 ? fs.ShortMonthNames[p.Month - 1] : fs.LongMonthNames[p.Month - 1];
            i += n;
            break;
        }
        case 'D': {
            const int n = count(starter);
            switch (n) {
            case 1: case 2: AppendNumber(out, p.Day, n); break;
            case 3: out += fs.ShortDayNames[p.DayOfWeek - 1]; break;
            case 4: out += fs.LongDayNames[p.DayOfWeek - 1]; break;
            case 5: if (level < 2) FormatDateTimeTo(out, fs.ShortDateFormat, p, fs, level + 1); break;
            default: if (level < 2) FormatDateTimeTo(out, fs.LongDateFormat, p, fs, level + 1); break;
            }
            i += n;
            break;
        }
        case 'H': {
            const int n = count(starter);
            // A 12-hour clock when an am/pm marker follows before the next hour.
            bool twelve = false;
            bool quoted = false;
            QChar quote;
            for (int k = i + n; k < len; ++k) {
                const QChar c = fmt[k];
                if (quoted) { if (c == quote) quoted = false; continue; }
                if (c == '\'' || c == '"') { quoted = true; quote = c; continue; }
                if (c == 'h' || c == 'H') break;
                if (c == 'a' || c == 'A') {
                    twelve = StartsWithCI(fmt, k, "am/pm") || StartsWithCI(fmt, k, "a/p") || StartsWithCI(fmt, k, "ampm");
                    break;
                }
            }
            int h = p.Hour;
            if (twelve) { if (h == 0) h = 12; else if (h > 12) h -= 12; }
            AppendNumber(out, h, qMin(n, 2));
            i += n;
            break;
        }
        case 'N': {
            const int n = count(starter);
            AppendNumber(out, p.Min, qMin(n, 2));
            i += n;
            break;
        }
        case 'S': {
            const int n = count(starter);
            AppendNumber(out, p.Sec, qMin(n, 2));
            i += n;
            break;
        }
        case 'Z': {
            const int n = count(starter);
            AppendNumber(out, p.MSec, n >= 3 ? 3 : 1);
            i += n;
            break;
        }
        case 'T': {
            const int n = count(starter);
            if (level < 2) FormatDateTimeTo(out, n == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, p, fs, level + 1);
            i += n;
            break;
        }
        case 'C': {
            const int n = count(starter);
            if (level < 2) {
                FormatDateTimeTo(out, fs.ShortDateFormat, p, fs, level + 1);
                if (p.Hour != 0 || p.Min != 0 || p.Sec != 0) {
                    out += ' ';
                    FormatDateTimeTo(out, fs.LongTimeFormat, p, fs, level + 1);
                }
            }
            i += n;
            break;
        }
        case 'A': {
            if (StartsWithCI(fmt, i, "am/pm")) {
                out += p.Hour >= 12 ? fmt.mid(i + 3, 2) : fmt.mid(i, 2);
                i += 5;
            } else if (StartsWithCI(fmt, i, "a/p")) {
                out += p.Hour >= 12 ? fmt[i + 2] : fmt[i];
                i += 3;
            } else if (StartsWithCI(fmt, i, "ampm")) {
                out += p.Hour >= 12 ? fs.TimePMString : fs.TimeAMString;
                i += 4;
            } else {
                out += starter;
                ++i;
            }
            break;
        }
        case '/': out += fs.DateSeparator; ++i; break;
        case ':': out += fs.TimeSeparator; ++i; break;
        case '\'': case '"': {
            int end = fmt.indexOf(starter, i + 1);
            if (end < 0) end = len;
            out += QStringView(fmt).mid(i + 1, end - i - 1);
            i = end + 1;
            break;
        }
        default:
            out += starter;
            ++i;
        }
    }
}

} // namespace

QString FormatDateTime(const QString& format, TDateTime value, const TFormatSettings& fs)
{
    QString out;
    FormatDateTimeTo(out, format, Decode(value), fs, 0);
    return out;
}

QString DateToStr(TDateTime value, const TFormatSettings& fs) { return FormatDateTime(QStringLiteral("ddddd"), value, fs); }
QString TimeToStr(TDateTime value, const TFormatSettings& fs) { return FormatDateTime(QStringLiteral("tt"), value, fs); }
QString DateTimeToStr(TDateTime value, const TFormatSettings& fs) { return FormatDateTime(QStringLiteral("c"), value, fs); }

// ---------------------------------------------------------------------------------------------
// Date and time parsing

namespace {

struct TScanner {
    const QString& S;
    int Pos = 0;

    void Blanks() { while (Pos < S.size() && S[Pos] == ' ') ++Pos; }
    bool AtEnd() const { return Pos >= S.size(); }
    bool Char(QChar ch)
    {
        Blanks();
        if (Pos < S.size() && S[Pos] == ch) { ++Pos; return true; }
        return false;
    }
    bool Number(int& value, int& digits)
    {
        Blanks();
        int i = Pos;
        int n = 0;
        while (i < S.size() && S[i].isDigit() && S[i].unicode() < 128 && n < 1000) {
            n = n * 10 + (S[i].unicode() - '0');
            ++i;
        }
        if (i == Pos) return false;
        digits = i - Pos;
        Pos = i;
        value = n;
        return true;
    }
    bool Text(const QString& what)
    {
        Blanks();
        if (what.isEmpty() || Pos + what.size() > S.size()) return false;
        if (QStringView(S).mid(Pos, what.size()).compare(what, Qt::CaseInsensitive) != 0) return false;
        Pos += what.size();
        return true;
    }
};

enum TDateOrder { doMDY, doDMY, doYMD };

TDateOrder DateOrderOf(const QString& format)
{
    for (QChar c : format) {
        switch (c.toUpper().unicode()) {
        case 'E': case 'Y': return doYMD;
        case 'M': return doMDY;
        case 'D': return doDMY;
        default: break;
        }
    }
    return doMDY;
}

bool ScanDate(TScanner& sc, TDateTime& date, const TFormatSettings& fs)
{
    const TDateOrder order = DateOrderOf(fs.ShortDateFormat);
    int n1, n2, n3, l1, l2, l3;
    if (!(sc.Number(n1, l1) && sc.Char(fs.DateSeparator) && sc.Number(n2, l2))) return false;
    int y, m, d;
    if (sc.Char(fs.DateSeparator)) {
        if (!sc.Number(n3, l3)) return false;
        int yearLen;
        switch (order) {
        case doMDY: y = n3; yearLen = l3; m = n1; d = n2; break;
        case doDMY: y = n3; yearLen = l3; m = n2; d = n1; break;
        default: y = n1; yearLen = l1; m = n2; d = n3; break;
        }
        if (yearLen <= 2) {
            const int centuryBase = QDate::currentDate().year() - fs.TwoDigitYearCenturyWindow;
            y += centuryBase / 100 * 100;
            if (fs.TwoDigitYearCenturyWindow > 0 && y < centuryBase) y += 100;
        }
    } else {
        y = QDate::currentDate().year();
        if (order == doDMY) { d = n1; m = n2; }
        else { m = n1; d = n2; }
    }
    sc.Char(fs.DateSeparator);
    sc.Blanks();
    return TryEncodeDate(y, m, d, date);
}

bool ScanTime(TScanner& sc, TDateTime& time, const TFormatSettings& fs)
{
    auto scanMarker = [&](int& baseHour) {
        if (sc.Text(fs.TimeAMString) || sc.Text(QStringLiteral("AM"))) baseHour = 0;
        else if (sc.Text(fs.TimePMString) || sc.Text(QStringLiteral("PM"))) baseHour = 12;
    };
    int baseHour = -1;
    scanMarker(baseHour);
    int hour, digits;
    if (!sc.Number(hour, digits)) return false;
    int min = 0, sec = 0, msec = 0;
    if (sc.Char(fs.TimeSeparator)) {
        if (!sc.Number(min, digits)) return false;
        if (sc.Char(fs.TimeSeparator)) {
            if (!sc.Number(sec, digits)) return false;
            if (sc.Char(fs.DecimalSeparator)) {
                // A fraction of a second: ".5" is half a second.
                if (!sc.Number(msec, digits)) return false;
                while (digits < 3) { msec *= 10; ++digits; }
                while (digits > 3) { msec /= 10; --digits; }
            }
        }
    }
    if (baseHour < 0) scanMarker(baseHour);
    if (baseHour >= 0) {
        if (hour == 0 || hour > 12) return false;
        if (hour == 12) hour = 0;
        hour += baseHour;
    }
    sc.Blanks();
    return TryEncodeTime(hour, min, sec, msec, time);
}

[[noreturn]] void ConvertError(const char* what, const QString& s)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid %2").arg(s, QLatin1String(what)));
}

} // namespace

bool TryStrToDate(const QString& s, TDateTime& value, const TFormatSettings& fs)
{
    TScanner sc{s};
    TDateTime d;
    if (!ScanDate(sc, d, fs) || !sc.AtEnd()) return false;
    value = d;
    return true;
}

bool TryStrToTime(const QString& s, TDateTime& value, const TFormatSettings& fs)
{
    TScanner sc{s};
    TDateTime t;
    if (!ScanTime(sc, t, fs) || !sc.AtEnd()) return false;
    value = t;
    return true;
}

bool TryStrToDateTime(const QString& s, TDateTime& value, const TFormatSettings& fs)
{
    TScanner sc{s};
    TDateTime d;
    TDateTime t = 0;
    if (ScanDate(sc, d, fs) && (sc.AtEnd() || (ScanTime(sc, t, fs) && sc.AtEnd()))) {
        value = d >= 0 ? d + t : d - t;
        return true;
    }
    return TryStrToTime(s, value, fs);
}

TDateTime StrToDate(const QString& s, const TFormatSettings& fs)
{
    TDateTime v;
    if (!TryStrToDate(s, v, fs)) ConvertError("date", s);
    return v;
}

TDateTime StrToTime(const QString& s, const TFormatSettings& fs)
{
    TDateTime v;
    if (!TryStrToTime(s, v, fs)) ConvertError("time", s);
    return v;
}

TDateTime StrToDateTime(const QString& s, const TFormatSettings& fs)
{
    TDateTime v;
    if (!TryStrToDateTime(s, v, fs)) ConvertError("date and time", s);
    return v;
}

// ---------------------------------------------------------------------------------------------
// Decimal digits of a number

namespace {

// value = 0.Digits x 10^Exponent; no digits means zero.
struct TFloatRec {
    char Digits[24] = {};
    int Count = 0;
    int Exponent = 0;
    bool Negative = false;
    bool Nan = false;
    bool Infinite = false;
};

// Rounds (half away from zero) to at most `precision` significant digits and at most
// `decimals` digits after the decimal point, starting from the shortest exact representation.
TFloatRec FloatToDecimal(double value, int precision, int decimals)
{
    TFloatRec r;
    if (std::isnan(value)) { r.Nan = true; return r; }
    if (std::isinf(value)) { r.Infinite = true; r.Negative = value < 0; return r; }
    r.Negative = std::signbit(value);
    if (value == 0) { r.Negative = false; return r; }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    *res.ptr = '\0';
    // "d.dddde+xx"
    const char* e = std::strchr(buf, 'e');
    int exp10 = std::atoi(e + 1);
    for (const char* p = buf; p < e; ++p)
        if (*p >= '0' && *p <= '9' && r.Count < 20) r.Digits[r.Count++] = *p;
    r.Exponent = exp10 + 1;
    while (r.Count > 0 && r.Digits[r.Count - 1] == '0') --r.Count;
    int keep = qMin(precision, r.Exponent + decimals);
    if (keep < r.Count) {
        if (keep < 0) {
            r.Count = 0;
        } else {
            const bool up = r.Digits[keep] >= '5';
            r.Count = keep;
            if (up) {
                int i = keep - 1;
                while (i >= 0 && r.Digits[i] == '9') --i;
                if (i < 0) {
                    r.Digits[0] = '1';
                    r.Count = 1;
                    ++r.Exponent;
                } else {
                    ++r.Digits[i];
                    r.Count = i + 1;
                }
            }
        }
        while (r.Count > 0 && r.Digits[r.Count - 1] == '0') --r.Count;
    }
    if (r.Count == 0) { r.Negative = false; r.Exponent = 0; }
    return r;
}

TFloatRec CurrencyToDecimal(TCurrency value, int decimals)
{
    TFloatRec r;
    qint64 v = value.Scaled();
    r.Negative = v < 0;
    quint64 u = r.Negative ? quint64(0) - quint64(v) : quint64(v);
    char buf[24];
    int n = 0;
    do { buf[n++] = char('0' + u % 10); u /= 10; } while (u);
    for (int i = 0; i < n; ++i) r.Digits[i] = buf[n - 1 - i];
    r.Count = n;
    r.Exponent = n - 4;
    while (r.Count > 0 && r.Digits[r.Count - 1] == '0') --r.Count;
    if (r.Count == 0) { r.Negative = false; r.Exponent = 0; return r; }
    const int keep = r.Exponent + qBound(0, decimals, 4);
    if (keep < r.Count) {
        const bool up = keep >= 0 && r.Digits[keep] >= '5';
        if (keep < 0) r.Count = 0;
        else {
            r.Count = keep;
            if (up) {
                int i = keep - 1;
                while (i >= 0 && r.Digits[i] == '9') --i;
                if (i < 0) { r.Digits[0] = '1'; r.Count = 1; ++r.Exponent; }
                else { ++r.Digits[i]; r.Count = i + 1; }
            }
        }
        while (r.Count > 0 && r.Digits[r.Count - 1] == '0') --r.Count;
        if (r.Count == 0) { r.Negative = false; r.Exponent = 0; }
    }
    return r;
}

char DigitAt(const TFloatRec& r, int i) { return i >= 0 && i < r.Count ? r.Digits[i] : '0'; }

// Integer part with optional grouping, then `decimals` fraction digits.
QString FixedText(const TFloatRec& r, int decimals, const TFormatSettings& fs, bool grouping)
{
    QString s;
    const int intDigits = qMax(r.Exponent, 0);
    if (intDigits == 0) s += '0';
    for (int i = 0; i < intDigits; ++i) {
        if (grouping && i > 0 && (intDigits - i) % 3 == 0 && !fs.ThousandSeparator.isNull()) s += fs.ThousandSeparator;
        s += QChar(DigitAt(r, i));
    }
    if (decimals > 0) {
        s += fs.DecimalSeparator;
        for (int k = 0; k < decimals; ++k) s += QChar(DigitAt(r, r.Exponent + k));
    }
    return s;
}

QString ExponentText(int exp, bool alwaysSign, int minDigits)
{
    QString s = QString::number(std::abs(exp));
    if (s.size() < minDigits) s.prepend(QString(minDigits - s.size(), QChar('0')));
    if (exp < 0) s.prepend('-');
    else if (alwaysSign) s.prepend('+');
    return s;
}

QString SpecialText(const TFloatRec& r)
{
    if (r.Nan) return QStringLiteral("NAN");
    return r.Negative ? QStringLiteral("-INF") : QStringLiteral("INF");
}

QString CurrencyText(const QString& number, bool negative, const TFormatSettings& fs)
{
    const QString& c = fs.CurrencyString;
    if (!negative) {
        switch (fs.CurrencyFormat) {
        case 1: return number + c;
        case 2: return c + ' ' + number;
        case 3: return number + ' ' + c;
        default: return c + number;
        }
    }
    switch (fs.NegCurrFormat) {
    case 1: return '-' + c + number;
    case 2: return c + '-' + number;
    case 3: return c + number + '-';
    case 4: return '(' + number + c + ')';
    case 5: return '-' + number + c;
    case 6: return number + '-' + c;
    case 7: return number + c + '-';
    case 8: return '-' + number + ' ' + c;
    case 9: return '-' + c + ' ' + number;
    case 10: return number + ' ' + c + '-';
    case 11: return c + ' ' + number + '-';
    case 12: return c + ' ' + '-' + number;
    case 13: return number + '-' + ' ' + c;
    case 14: return '(' + c + ' ' + number + ')';
    case 15: return '(' + number + ' ' + c + ')';
    default: return '(' + c + number + ')';
    }
}

QString FormatRec(const TFloatRec& rIn, TFloatFormat format, int precision, int digits, const TFormatSettings& fs,
                  double value, bool isCurrency, TCurrency currency)
{
    TFloatRec r = rIn;
    if (r.Nan || r.Infinite) return SpecialText(r);
    switch (format) {
    case ffGeneral: {
        if (r.Count == 0) return QStringLiteral("0");
        QString s = r.Negative ? QStringLiteral("-") : QString();
        if (r.Exponent > precision || r.Exponent < -3) {
            s += QChar(r.Digits[0]);
            if (r.Count > 1) {
                s += fs.DecimalSeparator;
                for (int i = 1; i < r.Count; ++i) s += QChar(r.Digits[i]);
            }
            s += 'E';
            s += ExponentText(r.Exponent - 1, false, qBound(0, digits, 4));
            return s;
        }
        s += FixedText(r, qMax(r.Count - r.Exponent, 0), fs, false);
        return s;
    }
    case ffExponent: {
        QString s = r.Negative ? QStringLiteral("-") : QString();
        s += QChar(DigitAt(r, 0));
        if (precision > 1) {
            s += fs.DecimalSeparator;
            for (int i = 1; i < precision; ++i) s += QChar(DigitAt(r, i));
        }
        s += 'E';
        s += ExponentText(r.Count == 0 ? 0 : r.Exponent - 1, true, qBound(0, digits, 4));
        return s;
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
        if (r.Exponent > precision && !isCurrency)
            return FormatRec(FloatToDecimal(value, precision, 9999), ffExponent, precision, digits, fs, value, false, currency);
        const QString number = FixedText(r, digits, fs, format != ffFixed);
        if (format == ffCurrency) return CurrencyText(number, r.Negative, fs);
        return r.Negative ? '-' + number : number;
    }
    }
    return QString();
}

} // namespace

QString FloatToStrF(double value, TFloatFormat format, int precision, int digits, const TFormatSettings& fs)
{
    precision = qBound(1, precision, 18);
    digits = qBound(0, digits, 18);
    TFloatRec r;
    switch (format) {
    case ffGeneral: case ffExponent: r = FloatToDecimal(value, precision, 9999); break;
    default: r = FloatToDecimal(value, 18, digits); break;
    }
    return FormatRec(r, format, precision, digits, fs, value, false, TCurrency());
}

QString FloatToStr(double value, const TFormatSettings& fs) { return FloatToStrF(value, ffGeneral, 15, 0, fs); }

QString CurrToStrF(TCurrency value, TFloatFormat format, int digits, const TFormatSettings& fs)
{
    digits = qBound(0, digits, 4);
    TFloatRec r = CurrencyToDecimal(value, format == ffGeneral || format == ffExponent ? 4 : digits);
    return FormatRec(r, format, 19, digits, fs, value.ToDouble(), true, value);
}

QString CurrToStr(TCurrency value, const TFormatSettings& fs) { return CurrToStrF(value, ffGeneral, 0, fs); }

// ---------------------------------------------------------------------------------------------
// FormatFloat

namespace {

struct TSection {
    int Start = 0, End = 0;   // within the format
};

// Splits the format into its sections (quotes respected).
int SplitSections(const QString& fmt, TSection (&sections)[3])
{
    int n = 0;
    int start = 0;
    QChar quote;
    for (int i = 0; i <= fmt.size(); ++i) {
        if (i < fmt.size()) {
            const QChar c = fmt[i];
            if (!quote.isNull()) { if (c == quote) quote = QChar(); continue; }
            if (c == '"' || c == '\'') { quote = c; continue; }
            if (c != ';') continue;
        }
        if (n < 3) sections[n++] = {start, i};
        start = i + 1;
        if (n == 3) break;
    }
    return n;
}

struct TSectionInfo {
    int IntZeros = 0;        // '0' before the decimal point (from the first '0')
    int IntPlaces = 0;       // '0' and '#' before the decimal point
    int FracZeros = 0;       // '0' after the decimal point, up to the last '0'
    int FracPlaces = 0;      // '0' and '#' after it
    bool Thousands = false;
    bool DecimalPoint = false;
    bool Scientific = false;
    bool ExpSign = false;    // E+
    int ExpDigits = 0;
    bool HasDigits = false;
};

TSectionInfo Analyze(const QString& fmt, TSection sec)
{
    TSectionInfo info;
    QChar quote;
    bool firstZeroSeen = false;
    int lastFracZero = 0;
    for (int i = sec.Start; i < sec.End; ++i) {
        const QChar c = fmt[i];
        if (!quote.isNull()) { if (c == quote) quote = QChar(); continue; }
        switch (c.unicode()) {
        case '"': case '\'': quote = c; break;
        case '0': case '#':
            info.HasDigits = true;
            if (info.Scientific) break;
            if (info.DecimalPoint) {
                ++info.FracPlaces;
                if (c == '0') lastFracZero = info.FracPlaces;
            } else {
                ++info.IntPlaces;
                if (c == '0') firstZeroSeen = true;
                if (firstZeroSeen) ++info.IntZeros;
            }
            break;
        case '.': if (!info.Scientific) info.DecimalPoint = true; break;
        case ',': if (!info.Scientific) info.Thousands = true; break;
        case 'E': case 'e':
            if (!info.Scientific && i + 1 < sec.End && (fmt[i + 1] == '+' || fmt[i + 1] == '-')) {
                info.Scientific = true;
                info.ExpSign = fmt[i + 1] == '+';
                int k = i + 2;
                while (k < sec.End && fmt[k] == '0') { ++info.ExpDigits; ++k; }
                i = k - 1;
            }
            break;
        default: break;
        }
    }
    info.FracZeros = lastFracZero;
    return info;
}

QString ApplySection(const QString& fmt, TSection sec, const TSectionInfo& info, double absValue, bool minus,
                     const TFormatSettings& fs)
{
    TFloatRec r;
    int exponent = 0;
    if (info.Scientific) {
        const int places = qMax(info.IntPlaces + info.FracPlaces, 1);
        r = FloatToDecimal(absValue, qMin(places, 18), 9999);
        if (r.Count > 0) {
            exponent = r.Exponent - info.IntPlaces;
            r.Exponent = info.IntPlaces;
        }
    } else {
        r = FloatToDecimal(absValue, 18, info.FracPlaces);
    }
    // Integer digits to show: all of them, at least IntZeros.
    const int intDigits = qMax(r.Exponent, 0);
    const int shownInt = qMax(intDigits, info.IntZeros);
    // Fraction digits to show: the significant ones, at least FracZeros.
    int fracSignificant = qMax(r.Count - r.Exponent, 0);
    const int shownFrac = qBound(info.FracZeros, fracSignificant, info.FracPlaces);

    QString out;
    if (minus) out += '-';
    QChar quote;
    int intPlaceSeen = 0;
    int fracPlaceSeen = 0;
    bool afterPoint = false;
    bool inExponent = false;
    // Digit k of the integer part counted from the left of the shown integer part.
    auto intDigit = [&](int k) { return QChar(DigitAt(r, k - (shownInt - intDigits))); };
    auto emitInt = [&](int from, int to) {
        for (int k = from; k < to; ++k) {
            const int fromRight = shownInt - k;
            out += k < shownInt - intDigits ? QChar('0') : intDigit(k);
            if (info.Thousands && fromRight > 1 && (fromRight - 1) % 3 == 0 && !fs.ThousandSeparator.isNull())
                out += fs.ThousandSeparator;
        }
    };
    for (int i = sec.Start; i < sec.End; ++i) {
        const QChar c = fmt[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            else out += c;
            continue;
        }
        switch (c.unicode()) {
        case '"': case '\'': quote = c; break;
        case '0': case '#':
            if (inExponent) break;
            if (!afterPoint) {
                ++intPlaceSeen;
                // The first placeholder takes the digits beyond the placeholders; each one
                // after it takes one digit.
                const int extra = shownInt - info.IntPlaces;
                if (intPlaceSeen == 1) {
                    const int count = qMax(extra + 1, 0);
                    if (count > 0) emitInt(0, count);
                } else {
                    const int k = extra + intPlaceSeen - 1;
                    if (k >= 0) emitInt(k, k + 1);
                }
            } else {
                ++fracPlaceSeen;
                if (fracPlaceSeen <= shownFrac) out += QChar(DigitAt(r, r.Exponent + fracPlaceSeen - 1));
            }
            break;
        case '.':
            if (!afterPoint && !inExponent) {
                afterPoint = true;
                if (info.IntPlaces == 0 && intDigits > 0) emitInt(0, shownInt);
                if (shownFrac > 0) out += fs.DecimalSeparator;
            }
            break;
        case ',': break;
        case 'E': case 'e':
            if (info.Scientific && !inExponent && i + 1 < sec.End && (fmt[i + 1] == '+' || fmt[i + 1] == '-')) {
                inExponent = true;
                out += c;
                out += ExponentText(exponent, info.ExpSign, info.ExpDigits);
                int k = i + 2;
                while (k < sec.End && fmt[k] == '0') ++k;
                i = k - 1;
            } else {
                out += c;
            }
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

QString FormatFloat(const QString& format, double value, const TFormatSettings& fs)
{
    if (std::isnan(value) || std::isinf(value)) return SpecialText(FloatToDecimal(value, 15, 0));
    TSection sections[3];
    const int n = format.isEmpty() ? 0 : SplitSections(format, sections);
    if (n == 0 || sections[0].End == sections[0].Start) return FloatToStr(value, fs);

    // Choose the section by the value as rounded by the positive section's format.
    const TSectionInfo first = Analyze(format, sections[0]);
    int chosen = 0;
    bool minus = false;
    const TFloatRec rounded = first.Scientific ? FloatToDecimal(value, 18, 9999) : FloatToDecimal(value, 18, first.FracPlaces);
    if (rounded.Count == 0) {
        if (n >= 3 && sections[2].End > sections[2].Start) chosen = 2;
    } else if (value < 0) {
        if (n >= 2 && sections[1].End > sections[1].Start) chosen = 1;
        else minus = true;
    }
    const TSectionInfo info = chosen == 0 ? first : Analyze(format, sections[chosen]);
    if (!info.HasDigits && !info.Scientific) {
        // A section of literals only.
        QString out;
        if (minus) out += '-';
        QChar quote;
        for (int i = sections[chosen].Start; i < sections[chosen].End; ++i) {
            const QChar c = format[i];
            if (!quote.isNull()) { if (c == quote) quote = QChar(); else out += c; continue; }
            if (c == '"' || c == '\'') { quote = c; continue; }
            if (c == '.' || c == ',') continue;
            out += c;
        }
        return out;
    }
    return ApplySection(format, sections[chosen], info, std::fabs(value), minus, fs);
}

// ---------------------------------------------------------------------------------------------
// Number parsing

namespace {

// Normalises "  -12,5E3 " with the decimal separator into "-12.5E3"; false for anything else.
bool NormalizeFloat(const QString& s, QChar decimal, std::string& out)
{
    int i = 0, n = s.size();
    while (i < n && s[i] == ' ') ++i;
    while (n > i && s[n - 1] == ' ') --n;
    if (i >= n) return false;
    out.clear();
    if (s[i] == '+' || s[i] == '-') { if (s[i] == '-') out += '-'; ++i; }
    int digits = 0;
    while (i < n && s[i].unicode() < 128 && s[i].isDigit()) { out += char(s[i].unicode()); ++i; ++digits; }
    if (i < n && s[i] == decimal) {
        out += '.';
        ++i;
        while (i < n && s[i].unicode() < 128 && s[i].isDigit()) { out += char(s[i].unicode()); ++i; ++digits; }
    }
    if (digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        out += 'e';
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-')) { out += char(s[i].unicode()); ++i; }
        int expDigits = 0;
        while (i < n && s[i].unicode() < 128 && s[i].isDigit()) { out += char(s[i].unicode()); ++i; ++expDigits; }
        if (expDigits == 0) return false;
    }
    return i == n;
}

} // namespace

bool TryStrToFloat(const QString& s, double& value, const TFormatSettings& fs)
{
    std::string norm;
    if (!NormalizeFloat(s, fs.DecimalSeparator, norm)) return false;
    double v = 0;
    const char* begin = norm.data();
    if (*begin == '-') ++begin;
    auto res = std::from_chars(begin, norm.data() + norm.size(), v);
    if (res.ec != std::errc() || res.ptr != norm.data() + norm.size() || !std::isfinite(v)) return false;
    value = norm[0] == '-' ? -v : v;
    return true;
}

double StrToFloat(const QString& s, const TFormatSettings& fs)
{
    double v;
    if (!TryStrToFloat(s, v, fs)) ConvertError("floating point value", s);
    return v;
}

bool TryStrToCurr(const QString& s, TCurrency& value, const TFormatSettings& fs)
{
    std::string norm;
    if (!NormalizeFloat(s, fs.DecimalSeparator, norm)) return false;
    // Digits and the position of the decimal point, then the exponent.
    bool negative = false;
    size_t i = 0;
    if (norm[i] == '-') { negative = true; ++i; }
    std::string digits;
    int pointPos = -1;
    for (; i < norm.size() && norm[i] != 'e'; ++i) {
        if (norm[i] == '.') pointPos = int(digits.size());
        else digits += norm[i];
    }
    if (pointPos < 0) pointPos = int(digits.size());
    if (i < norm.size()) {
        long exp = std::strtol(norm.c_str() + i + 1, nullptr, 10);
        if (exp > 40 || exp < -40) {
            if (exp > 0 && digits.find_first_not_of('0') != std::string::npos) return false;
            value = TCurrency();
            return true;
        }
        pointPos += int(exp);
    }
    // Scaled integer: the digits up to 4 places after the point, rounded by the next one.
    __int128 acc = 0;
    const int last = pointPos + 4;
    for (int k = 0; k < last; ++k) {
        const int d = k >= 0 && k < int(digits.size()) ? digits[k] - '0' : 0;
        acc = acc * 10 + d;
        if (acc > (__int128(1) << 64)) return false;
    }
    if (last >= 0 && last < int(digits.size()) && digits[last] >= '5') ++acc;
    if (negative) acc = -acc;
    if (acc > std::numeric_limits<qint64>::max() || acc < std::numeric_limits<qint64>::min()) return false;
    value = TCurrency::FromScaled(qint64(acc));
    return true;
}

TCurrency StrToCurr(const QString& s, const TFormatSettings& fs)
{
    TCurrency v;
    if (!TryStrToCurr(s, v, fs)) ConvertError("floating point value", s);
    return v;
}

int StrToInt(const QString& s)
{
    int v;
    if (!TryStrToInt(s, v)) ConvertError("integer value", s);
    return v;
}

qint64 StrToInt64(const QString& s)
{
    qint64 v;
    if (!TryStrToInt64(s, v)) ConvertError("integer value", s);
    return v;
}

QString IntToStr(qint64 value) { return QString::number(value); }
