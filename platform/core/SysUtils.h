#pragma once
// Exceptions, date-time values and message formatting shared by every library.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <exception>
#include <initializer_list>

// Base of every exception the program reports: a message text shown to the user.
class Exception : public std::exception {
public:
    explicit Exception(const QString& msg = QString());
    ~Exception() override;
    const QString& Message() const { return FMessage; }
    void SetMessage(const QString& msg);
    const char* what() const noexcept override { return FUtf8.constData(); }
    int HelpContext = 0;

private:
    QString FMessage;
    QByteArray FUtf8;
};

// A silent exception: unwinds the operation, shown to nobody.
class EAbort : public Exception { public: using Exception::Exception; };
class EConvertError : public Exception { public: using Exception::Exception; };
class EInOutError : public Exception {
public:
    explicit EInOutError(const QString& msg = QString(), int code = 0) : Exception(msg), ErrorCode(code) {}
    int ErrorCode;
};
class EFCreateError : public EInOutError { public: using EInOutError::EInOutError; };
class EFOpenError : public EInOutError { public: using EInOutError::EInOutError; };
// Stream errors: "Stream read error", "Stream write error".
class EStreamError : public Exception { public: using Exception::Exception; };
class EFilerError : public EStreamError { public: using EStreamError::EStreamError; };
class EReadError : public EFilerError { public: using EFilerError::EFilerError; };
class EWriteError : public EFilerError { public: using EFilerError::EFilerError; };
class EListError : public Exception { public: using Exception::Exception; };
class EInvalidOperation : public Exception { public: using Exception::Exception; };
class EInvalidArgument : public Exception { public: using Exception::Exception; };
class EOutOfMemory : public Exception { public: using Exception::Exception; };
class EInvalidCast : public Exception { public: using Exception::Exception; };

// Raises EAbort.
[[noreturn]] void Abort();

// Message formatting with the old "%d %s %f %x %g %e %n %m %u %%" specifiers,
// optional index ("%1:s"), left alignment, width and precision.
QString Format(const QString& fmt, std::initializer_list<QVariant> args);

// Integer texts as the old runtime read them: optional blanks in front, a sign, decimal digits
// or "$"/"0x" and hexadecimal digits (which cover the whole unsigned range of the type).
bool TryStrToInt(const QString& text, int& value);
bool TryStrToInt64(const QString& text, qint64& value);
int StrToIntDef(const QString& text, int def);
qint64 StrToInt64Def(const QString& text, qint64 def);

// Date-time values: days since 1899-12-30 as a double, the fraction the time of day.
using TDateTime = double;
constexpr int DateDelta = 693594;        // days from 0001-01-01 (day 1) to 1899-12-30
constexpr double MSecsPerDay = 86400000.0;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);            // raises EConvertError
TDateTime EncodeTime(int hour, int min, int sec, int msec);    // raises EConvertError
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec);
int DayOfWeek(TDateTime dt);                                   // 1 = Sunday
TDateTime Now();
TDateTime Date();
TDateTime Time();
// Days since 0001-01-01 (day 1) <-> date-time, and milliseconds of the day.
int DateTimeToDayNumber(TDateTime dt);
int DateTimeToMSecOfDay(TDateTime dt);
TDateTime DayNumberToDateTime(int dayNumber, int msecOfDay = 0);
QDateTime DateTimeToQDateTime(TDateTime dt);
TDateTime QDateTimeToDateTime(const QDateTime& dt);

// File names: folders are separated by '/'; a folder part keeps its trailing '/' where noted.
QString IncludeTrailingPathDelimiter(const QString& path);
QString ExcludeTrailingPathDelimiter(const QString& path);
QString ExtractFilePath(const QString& fileName);   // with the trailing '/'
QString ExtractFileDir(const QString& fileName);    // without it
QString ExtractFileName(const QString& fileName);
QString ExtractFileExt(const QString& fileName);    // with the dot
QString ChangeFileExt(const QString& fileName, const QString& ext);
QString ExpandFileName(const QString& fileName);
bool FileExists(const QString& fileName);
bool DirectoryExists(const QString& dir);
// Errors of the operating system as a message text, as the system gives it.
QString SysErrorMessage(int errorCode);
