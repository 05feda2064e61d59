#include "platform/core/SysUtils.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <climits>
#include <cmath>
#include <limits>
#include <cstring>

Exception::Exception(const QString& msg) { SetMessage(msg); }
Exception::~Exception() = default;

void Exception::SetMessage(const QString& msg)
{
    FMessage = msg;
    FUtf8 = msg.toUtf8();
}

void Abort() { throw EAbort(QStringLiteral("Operation aborted")); }

namespace {
bool ParseInteger(const QString& text, qint64 min, qint64 max, quint64 hexMax, qint64& result)
{
    QStringView s(text);
    while (!s.isEmpty() && s.front().unicode() <= ' ') s = s.mid(1);
    bool negative = false;
    if (!s.isEmpty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s = s.mid(1);
    }
    int base = 10;
    if (s.startsWith('$')) {
        base = 16;
        s = s.mid(1);
    } else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        s = s.mid(2);
    }
    if (s.isEmpty()) return false;
    quint64 v = 0;
    for (QChar c : s) {
        ushort u = c.unicode();
        int d = u >= '0' && u <= '9' ? u - '0'
              : base == 16 && u >= 'a' && u <= 'f' ? u - 'a' + 10
              : base == 16 && u >= 'A' && u <= 'F' ? u - 'A' + 10 : -1;
        if (d < 0) return false;
        if (v > (~quint64(0) - quint64(d)) / quint64(base)) return false;
        v = v * quint64(base) + quint64(d);
    }
    if (base == 16 && !negative) {
        if (v > hexMax) return false;
        // "$FFFFFFFF" is -1 for a 32-bit value, as it always was.
        result = v > quint64(max) ? qint64(v - hexMax - 1) : qint64(v);
        return true;
    }
    if (negative) {
        if (v > quint64(-(min + 1)) + 1) return false;
        result = v == 0 ? 0 : -qint64(v - 1) - 1;
    } else {
        if (v > quint64(max)) return false;
        result = qint64(v);
    }
    return true;
}
} // namespace

bool TryStrToInt(const QString& text, int& value)
{
    qint64 v = 0;
    if (!ParseInteger(text, INT_MIN, INT_MAX, 0xFFFFFFFFull, v)) return false;
    value = int(v);
    return true;
}

bool TryStrToInt64(const QString& text, qint64& value)
{
    return ParseInteger(text, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), ~0ull, value);
}

int StrToIntDef(const QString& text, int def)
{
    int v = 0;
    return TryStrToInt(text, v) ? v : def;
}

qint64 StrToInt64Def(const QString& text, qint64 def)
{
    qint64 v = 0;
    return TryStrToInt64(text, v) ? v : def;
}

namespace {

QString FormatOne(QChar conv, const QVariant& arg, int prec)
{
    switch (conv.toLower().unicode()) {
    case 'd': {
        QString s = QString::number(arg.toLongLong());
        if (prec >= 0) {
            bool neg = s.startsWith('-');
            QString digits = neg ? s.mid(1) : s;
            if (digits.size() < prec) digits = QString(prec - digits.size(), '0') + digits;
            s = neg ? "-" + digits : digits;
        }
        return s;
    }
    case 'u': return QString::number(arg.toULongLong());
    case 'x': {
        QString s = QString::number(arg.toLongLong(), 16).toUpper();
        if (prec >= 0 && s.size() < prec) s = QString(prec - s.size(), '0') + s;
        return s;
    }
    case 'f': return QString::number(arg.toDouble(), 'f', prec < 0 ? 2 : prec);
    case 'e': return QString::number(arg.toDouble(), 'E', prec < 0 ? 15 : prec - 1);
    case 'g': {
        double v = arg.toDouble();
        return QString::number(v, 'g', prec < 0 ? 15 : prec).toUpper();
    }
    case 'n': case 'm': {
        QString s = QString::number(std::fabs(arg.toDouble()), 'f', prec < 0 ? 2 : prec);
        int dot = s.indexOf('.');
        int intLen = dot < 0 ? s.size() : dot;
        QString out;
        for (int i = 0; i < intLen; ++i) {
            if (i > 0 && (intLen - i) % 3 == 0) out += ',';
            out += s[i];
        }
        out += s.mid(intLen);
        return arg.toDouble() < 0 ? "-" + out : out;
    }
    case 's': {
        QString s = arg.toString();
        if (prec >= 0) s.truncate(prec);
        return s;
    }
    case 'p': return QString::number(arg.toULongLong(), 16).toUpper().rightJustified(8, '0');
    default: throw EConvertError(QStringLiteral("Format '%1' invalid or incompatible with argument").arg(conv));
    }
}

} // namespace

QString Format(const QString& fmt, std::initializer_list<QVariant> argList)
{
    const QVariant* args = argList.begin();
    const int argCount = int(argList.size());
    QString out;
    int next = 0;
    for (int i = 0; i < fmt.size(); ++i) {
        QChar c = fmt[i];
        if (c != '%') { out += c; continue; }
        if (++i >= fmt.size()) break;
        if (fmt[i] == '%') { out += '%'; continue; }
        // [index:] [-] [width] [.prec] type
        int start = i;
        int num = -1;
        while (i < fmt.size() && fmt[i].isDigit()) ++i;
        if (i < fmt.size() && fmt[i] == ':' && i > start) {
            next = fmt.mid(start, i - start).toInt();
            ++i;
        } else {
            i = start;
        }
        bool left = false;
        if (i < fmt.size() && fmt[i] == '-') { left = true; ++i; }
        int width = 0;
        if (i < fmt.size() && fmt[i] == '*') { width = next < argCount ? args[next++].toInt() : 0; ++i; }
        else { while (i < fmt.size() && fmt[i].isDigit()) width = width * 10 + fmt[i++].digitValue(); }
        int prec = -1;
        if (i < fmt.size() && fmt[i] == '.') {
            ++i; prec = 0;
            if (i < fmt.size() && fmt[i] == '*') { prec = next < argCount ? args[next++].toInt() : 0; ++i; }
            else { while (i < fmt.size() && fmt[i].isDigit()) prec = prec * 10 + fmt[i++].digitValue(); }
        }
        (void)num;
        if (i >= fmt.size()) break;
        if (next >= argCount)
            throw EConvertError(QStringLiteral("Format '%1' invalid or incompatible with argument").arg(fmt));
        QString s = FormatOne(fmt[i], args[next++], prec);
        if (s.size() < width) s = left ? s.leftJustified(width) : s.rightJustified(width);
        out += s;
    }
    return out;
}

bool IsLeapYear(int y) { return (y % 4 == 0) && (y % 100 != 0 || y % 400 == 0); }

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12) return 0;
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    for (int m = 1; m < month; ++m) day += DaysInMonth(year, m);
    int y = year - 1;
    long long n = (long long)y * 365 + y / 4 - y / 100 + y / 400 + day - DateDelta;
    result = double(n);
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result)
{
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        return false;
    result = (((hour * 60 + min) * 60 + sec) * 1000.0 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime r;
    if (!TryEncodeDate(year, month, day, r)) throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    TDateTime r;
    if (!TryEncodeTime(hour, min, sec, msec, r)) throw EConvertError(QStringLiteral("Invalid argument to time encode"));
    return r;
}

int DateTimeToDayNumber(TDateTime dt)
{
    // The fraction is the time of day on either side of day 0, so truncate towards zero.
    return int(std::trunc(dt)) + DateDelta;
}

int DateTimeToMSecOfDay(TDateTime dt)
{
    double frac = std::fabs(dt - std::trunc(dt));
    long long ms = std::llround(frac * MSecsPerDay);
    if (ms >= (long long)MSecsPerDay) ms = (long long)MSecsPerDay - 1;
    return int(ms);
}

TDateTime DayNumberToDateTime(int dayNumber, int msecOfDay)
{
    double d = double(dayNumber - DateDelta);
    double t = msecOfDay / MSecsPerDay;
    return d >= 0 ? d + t : d - t;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day)
{
    long long n = DateTimeToDayNumber(dt);
    if (n <= 0) { year = month = day = 0; return; }
    // Days since 0001-01-01, 0-based, in 400/100/4/1-year cycles.
    long long d = n - 1;
    long long y400 = d / 146097; d %= 146097;
    long long y100 = d / 36524; if (y100 == 4) y100 = 3; d -= y100 * 36524;
    long long y4 = d / 1461; d %= 1461;
    long long y1 = d / 365; if (y1 == 4) y1 = 3; d -= y1 * 365;
    year = int(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
    month = 1;
    while (d >= DaysInMonth(year, month)) { d -= DaysInMonth(year, month); ++month; }
    day = int(d + 1);
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec)
{
    int ms = DateTimeToMSecOfDay(dt);
    hour = ms / 3600000; ms %= 3600000;
    min = ms / 60000; ms %= 60000;
    sec = ms / 1000;
    msec = ms % 1000;
}

int DayOfWeek(TDateTime dt)
{
    // 1899-12-30 was a Saturday (7).
    long long d = (long long)std::floor(dt);
    return int(((d % 7) + 7 + 6) % 7) + 1;
}

QDateTime DateTimeToQDateTime(TDateTime dt)
{
    int y, m, d, h, mi, s, ms;
    DecodeDate(dt, y, m, d);
    DecodeTime(dt, h, mi, s, ms);
    if (y == 0) return QDateTime();
    return QDateTime(QDate(y, m, d), QTime(h, mi, s, ms));
}

TDateTime QDateTimeToDateTime(const QDateTime& dt)
{
    if (!dt.isValid()) return 0.0;
    TDateTime d = EncodeDate(dt.date().year(), dt.date().month(), dt.date().day());
    TDateTime t = dt.time().msecsSinceStartOfDay() / MSecsPerDay;
    return d >= 0 ? d + t : d - t;
}

TDateTime Now() { return QDateTimeToDateTime(QDateTime::currentDateTime()); }
TDateTime Date() { return std::trunc(Now()); }
TDateTime Time() { TDateTime n = Now(); return n - std::trunc(n); }

QString IncludeTrailingPathDelimiter(const QString& path)
{
    return path.endsWith('/') ? path : path + '/';
}

QString ExcludeTrailingPathDelimiter(const QString& path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith('/')) p.chop(1);
    return p;
}

QString ExtractFilePath(const QString& fileName)
{
    int i = fileName.lastIndexOf('/');
    return i < 0 ? QString() : fileName.left(i + 1);
}

QString ExtractFileDir(const QString& fileName)
{
    int i = fileName.lastIndexOf('/');
    if (i < 0) return QString();
    return i == 0 ? QStringLiteral("/") : fileName.left(i);
}

QString ExtractFileName(const QString& fileName)
{
    return fileName.mid(fileName.lastIndexOf('/') + 1);
}

QString ExtractFileExt(const QString& fileName)
{
    QString name = ExtractFileName(fileName);
    int i = name.lastIndexOf('.');
    return i < 0 ? QString() : name.mid(i);
}

QString ChangeFileExt(const QString& fileName, const QString& ext)
{
    QString name = ExtractFileName(fileName);
    int i = name.lastIndexOf('.');
    QString base = i < 0 ? fileName : fileName.left(fileName.size() - name.size() + i);
    return base + ext;
}

QString ExpandFileName(const QString& fileName)
{
    if (fileName.isEmpty()) return fileName;
    return QDir::cleanPath(QFileInfo(fileName).absoluteFilePath());
}

bool FileExists(const QString& fileName)
{
    QFileInfo fi(fileName);
    return fi.exists() && !fi.isDir();
}

bool DirectoryExists(const QString& dir) { return !dir.isEmpty() && QFileInfo(dir).isDir(); }

QString SysErrorMessage(int errorCode) { return QString::fromLocal8Bit(std::strerror(errorCode)); }
