#include "platform/tables/AccessDatabase.h"

#include "platform/core/CodePages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <atomic>
#include <cmath>
#include <cstring>
#include <sys/resource.h>

namespace {

std::atomic<int> GReaderTimeout{20000};

} // namespace

#ifdef QUARROW_HAVE_MDBTOOLS
namespace {

QString Native(const QString& fileName) { return QDir::toNativeSeparators(fileName); }

[[noreturn]] void Damaged(const QString& fileName, const QString& detail)
{
    DatabaseError(QStringLiteral("Access database \"%1\" is damaged: %2").arg(Native(fileName), detail));
}

QString ReaderPath()
{
    if (QCoreApplication::instance()) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quarrow-mdb"));
        if (QFileInfo(beside).isExecutable()) return beside;
    }
#ifdef QUARROW_MDB_READER
    const QString built = QStringLiteral(QUARROW_MDB_READER);
    if (QFileInfo(built).isExecutable()) return built;
#endif
    return {};
}

// Column types of the file format.
enum : int {
    jtBool = 0x01, jtByte = 0x02, jtInt = 0x03, jtLong = 0x04, jtMoney = 0x05, jtFloat = 0x06,
    jtDouble = 0x07, jtDateTime = 0x08, jtBinary = 0x09, jtText = 0x0A, jtOle = 0x0B, jtMemo = 0x0C,
    jtGuid = 0x0F, jtNumeric = 0x10
};

using TUInt128 = unsigned __int128;

// Jet 4 text is UTF-16; a leading FF FE marks the compressed form, where a zero byte switches
// between one byte per character and two.
QString DecodeJet4Text(const uchar* p, qsizetype n)
{
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        QString text;
        text.reserve(n);
        bool compressed = true;
        for (qsizetype i = 2; i < n;) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.append(QChar(p[i]));
                ++i;
            } else if (i + 1 < n) {
                text.append(QChar(char16_t(p[i] | (p[i + 1] << 8))));
                i += 2;
            } else {
                break;
            }
        }
        return text;
    }
    QString text(n / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < n / 2; ++i) text[i] = QChar(char16_t(p[2 * i] | (p[2 * i + 1] << 8)));
    return text;
}

// The reader's output, read with every length checked against what is there.
class TReaderOutput {
public:
    TReaderOutput(const QByteArray& data, const QString& fileName) : FData(data), FFileName(fileName) {}
    qsizetype Position() const { return FPos; }
    quint8 U8()
    {
        Need(1);
        return quint8(FData[FPos++]);
    }
    quint16 U16()
    {
        const quint16 lo = U8();
        return quint16(lo | (U8() << 8));
    }
    quint32 U32Value()
    {
        Need(4);
        const quint32 v = GetU32LE(reinterpret_cast<const uchar*>(FData.constData() + FPos));
        FPos += 4;
        return v;
    }
    QString String()
    {
        const quint32 n = U32Value();
        Need(n);
        const QString s = QString::fromUtf8(FData.constData() + FPos, qsizetype(n));
        FPos += qsizetype(n);
        return s;
    }
    void Skip(quint32 n)
    {
        Need(n);
        FPos += qsizetype(n);
    }
    // The reader's own account of why it stopped.
    [[noreturn]] void Failed()
    {
        Damaged(FFileName, String());
    }

private:
    void Need(qint64 n) const
    {
        if (n < 0 || n > FData.size() - FPos) Damaged(FFileName, QStringLiteral("reading it stopped early"));
    }
    const QByteArray& FData;
    QString FFileName;
    qsizetype FPos = 0;
};

// Runs the reader on a database and returns all it wrote.
QByteArray RunReader(const QString& fileName, const QStringList& arguments, int codePage)
{
    const QString reader = ReaderPath();
    if (reader.isEmpty())
        DatabaseError(QStringLiteral("The Access reader (quarrow-mdb) is missing beside the program; Access databases cannot be read"));
    const qint64 fileSize = QFileInfo(fileName).size();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Jet 3 names are in the code page of the text as well.
    if (codePage > 0) environment.insert(QStringLiteral("MDB_JET3_CHARSET"), QStringLiteral("CP%1").arg(codePage));
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    // A damaged file must not let the library eat the machine's memory.
    const rlim_t memoryLimit = rlim_t(qMin<qint64>(qint64(1) << 33, (qint64(1) << 29) + 16 * fileSize));
    process.setChildProcessModifier([memoryLimit] {
        const struct rlimit limit{memoryLimit, memoryLimit};
        setrlimit(RLIMIT_AS, &limit);
    });
    process.start(reader, QStringList{fileName} + arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(30000))
        DatabaseError(QStringLiteral("The Access reader (quarrow-mdb) cannot be started: %1").arg(process.errorString()));
    // Values can never be much larger than the file that holds them.
    const qint64 outputLimit = (qint64(1) << 24) + 16 * fileSize;
    QByteArray output;
    for (;;) {
        if (process.bytesAvailable() == 0) {
            if (process.state() == QProcess::NotRunning) break;
            if (!process.waitForReadyRead(GReaderTimeout.load())) {
                if (process.state() == QProcess::NotRunning) {
                    output += process.readAll();
                    break;
                }
                process.kill();
                process.waitForFinished(5000);
                Damaged(fileName, QStringLiteral("reading it stopped responding"));
            }
        }
        output += process.readAll();
        if (output.size() > outputLimit) {
            process.kill();
            process.waitForFinished(5000);
            Damaged(fileName, QStringLiteral("reading it produced more data than the file can hold"));
        }
    }
    process.waitForFinished(5000);
    if (process.exitStatus() == QProcess::CrashExit) Damaged(fileName, QStringLiteral("reading it made the reader fail"));
    return output;
}

class TMdbTableReader : public TTableReader {
public:
    TMdbTableReader(const QString& fileName, bool jet3, int codePage, QByteArray data, const QString& tableName);
    int RecordCount() const override { return int(FRows.size()); }
    bool ReadValue(int record, int field, TVariant& value) override;

private:
    struct TColumn {
        int Type;
        int Scale;
    };
    void LoadRow(int record);

    bool FJet3;
    int FCodePage;
    QByteArray FData;
    std::vector<TColumn> FColumns;
    std::vector<qsizetype> FRows;   // where each row's values start in FData
    int FLoaded = -1;
    std::vector<std::pair<qsizetype, qsizetype>> FValues;   // position and length; -1: null
};

TMdbTableReader::TMdbTableReader(const QString& fileName, bool jet3, int codePage, QByteArray data, const QString& tableName)
    : TTableReader(fileName), FJet3(jet3), FCodePage(codePage), FData(std::move(data))
{
    TReaderOutput in(FData, fileName);
    for (bool done = false; !done;) {
        switch (in.U8()) {
        case 'H':
            in.U8();
            in.U16();
            break;
        case 'N':
            if (!in.U8()) DatabaseError(QStringLiteral("Table \"%1\" does not exist in \"%2\"").arg(tableName, Native(fileName)));
            break;
        case 'C': {
            TTableFieldInfo info;
            info.Name = in.String();
            const int type = in.U8();
            const int size = int(qMin<quint32>(in.U32Value(), 65535));
            const int a = in.U8();
            const int b = in.U8();
            const bool longAuto = in.U8();
            in.U8();
            // Precision and scale of decimals come in either order; the larger is the precision.
            const int precision = qMax(a, b);
            const int scale = qMin(a, b);
            switch (type) {
            case jtBool: info.DataType = ftBoolean; break;
            case jtByte: info.DataType = ftWord; break;
            case jtInt: info.DataType = ftSmallint; break;
            case jtLong: info.DataType = longAuto ? ftAutoInc : ftInteger; break;
            case jtMoney: info.DataType = ftCurrency; break;
            case jtFloat: case jtDouble: info.DataType = ftFloat; break;
            case jtDateTime: info.DataType = ftDateTime; break;
            case jtBinary: info.DataType = ftVarBytes; info.Size = qMax(size, 1); break;
            case jtText:
                if (FJet3) {
                    info.DataType = ftString;
                    info.Size = size;
                    info.CodePage = FCodePage;
                } else {
                    info.DataType = ftWideString;
                    info.Size = size / 2;
                }
                break;
            case jtMemo:
                info.DataType = ftMemo;
                info.CodePage = FJet3 ? FCodePage : TBlobField::WideTextCodePage;
                break;
            case jtOle: info.DataType = ftBlob; break;
            case jtGuid: info.DataType = ftGuid; info.Size = 38; break;
            case jtNumeric:
                // Decimals that fit the platform's BCD (a 64-bit count of ten-thousandths) stay
                // exact; wider ones are carried as doubles.
                info.DataType = scale <= 4 && precision - scale <= 14 ? ftBCD : ftFMTBcd;
                info.Size = scale;
                info.Precision = precision;
                break;
            default:
                info.DataType = ftVarBytes;
                info.Size = qMax(size, 1);
                break;
            }
            FFields.push_back(info);
            FColumns.push_back({type, scale});
            break;
        }
        case 'R':
            if (FRows.size() >= size_t(std::numeric_limits<int>::max())) Damaged(fileName, QStringLiteral("it holds too many rows"));
            FRows.push_back(in.Position());
            for (size_t i = 0; i < FColumns.size(); ++i)
                if (in.U8()) in.Skip(in.U32Value());
            break;
        case 'E':
            in.Failed();
        case 'Z':
            done = true;
            break;
        default:
            Damaged(fileName, QStringLiteral("reading it gave unreadable results"));
        }
    }
    if (FColumns.empty()) Damaged(fileName, QStringLiteral("table \"%1\" has no columns").arg(tableName));
}

void TMdbTableReader::LoadRow(int record)
{
    if (record == FLoaded) return;
    if (record < 0 || record >= int(FRows.size())) DatabaseError(QStringLiteral("Record %1 is out of range").arg(record + 1));
    FValues.assign(FColumns.size(), {-1, 0});
    qsizetype pos = FRows[size_t(record)];
    for (size_t i = 0; i < FColumns.size(); ++i) {
        // Checked when the output was first read.
        if (!FData[pos++]) continue;
        const qsizetype n = qsizetype(GetU32LE(reinterpret_cast<const uchar*>(FData.constData() + pos)));
        pos += 4;
        FValues[i] = {pos, n};
        pos += n;
    }
    FLoaded = record;
}

bool TMdbTableReader::ReadValue(int record, int field, TVariant& value)
{
    if (field < 0 || field >= int(FFields.size())) return false;
    LoadRow(record);
    // Plain locals, not a structured binding: the size check below captures n.
    const qsizetype start = FValues[size_t(field)].first;
    const qsizetype n = FValues[size_t(field)].second;
    if (start < 0) return false;
    const auto* p = reinterpret_cast<const uchar*>(FData.constData() + start);
    const QByteArray bytes = QByteArray::fromRawData(FData.constData() + start, n);
    const int type = FColumns[size_t(field)].Type;
    auto need = [&](qsizetype size) {
        if (n < size)
            Damaged(FileName(), QStringLiteral("field \"%1\" in record %2 is too short").arg(FFields[size_t(field)].Name).arg(record + 1));
    };
    switch (type) {
    case jtBool:
        need(1);
        value = TVariant(p[0] != 0);
        return true;
    case jtByte:
        need(1);
        value = TVariant::FromWord(p[0]);
        return true;
    case jtInt:
        need(2);
        value = TVariant::FromSmallint(qint16(GetU16LE(p)));
        return true;
    case jtLong:
        need(4);
        value = TVariant(int(qint32(GetU32LE(p))));
        return true;
    case jtMoney:
        need(8);
        value = TVariant(TCurrency::FromScaled(qint64(GetU64LE(p))));
        return true;
    case jtFloat: {
        need(4);
        float f;
        std::memcpy(&f, p, 4);
        if (!std::isfinite(f)) return false;
        value = TVariant(double(f));
        return true;
    }
    case jtDouble: case jtDateTime: {
        need(8);
        double d;
        std::memcpy(&d, p, 8);
        if (!std::isfinite(d)) return false;
        // Date-times are days since 1899-12-30, the platform's own measure.
        value = type == jtDateTime ? TVariant::FromDate(d) : TVariant(d);
        return true;
    }
    case jtText: case jtMemo:
        if (FJet3) value = TVariant::FromAnsiString(QByteArray(bytes), FCodePage);
        else value = TVariant(DecodeJet4Text(p, n));
        return true;
    case jtOle: case jtBinary:
        value = TVariant::FromBytes(QByteArray(bytes));
        return true;
    case jtGuid: {
        need(16);
        const QString text = QStringLiteral("{%1-%2-%3-%4-%5}")
                                 .arg(GetU32LE(p), 8, 16, QLatin1Char('0'))
                                 .arg(GetU16LE(p + 4), 4, 16, QLatin1Char('0'))
                                 .arg(GetU16LE(p + 6), 4, 16, QLatin1Char('0'))
                                 .arg(QString::fromLatin1(bytes.mid(8, 2).toHex()))
                                 .arg(QString::fromLatin1(bytes.mid(10, 6).toHex()))
                                 .toUpper();
        value = TVariant::FromAnsiString(text.toLatin1(), 1252);
        return true;
    }
    case jtNumeric: {
        need(17);
        // A sign byte, then a 128-bit integer as four little-endian words, the most
        // significant first; the scale places the decimal point.
        const bool negative = p[0] & 0x80;
        const int scale = FColumns[size_t(field)].Scale;
        TUInt128 v = 0;
        for (int k = 0; k < 4; ++k) v = (v << 32) | GetU32LE(p + 1 + 4 * k);
        if (FFields[size_t(field)].DataType == ftBCD) {
            for (int s = scale; s < 4; ++s) v *= 10;
            if (v > TUInt128(std::numeric_limits<qint64>::max()))
                Damaged(FileName(), QStringLiteral("field \"%1\" in record %2 is out of range").arg(FFields[size_t(field)].Name).arg(record + 1));
            const qint64 s = qint64(v);
            value = TVariant(TCurrency::FromScaled(negative ? -s : s));
        } else {
            double d = double(v);
            for (int s = 0; s < scale; ++s) d /= 10.0;
            value = TVariant(negative ? -d : d);
        }
        return true;
    }
    default:
        value = TVariant::FromBytes(QByteArray(bytes));
        return true;
    }
}

class TMdbDatabase : public TAccessDatabase {
public:
    TMdbDatabase(const QString& fileName, int codePage);
    QString FileName() const override { return FFileName; }
    int JetVersion() const override { return FJet3 ? 3 : 4; }
    int CodePage() const override { return FCodePage; }
    QStringList TableNames(bool systemTables) override;
    std::unique_ptr<TTableReader> OpenTable(const QString& name) override;

private:
    QString FFileName;
    int FChosenCodePage = 0;
    bool FJet3 = false;
    int FCodePage = 1252;
    QStringList FTables;
    QList<bool> FSystem;
};

TMdbDatabase::TMdbDatabase(const QString& fileName, int codePage) : FFileName(fileName), FChosenCodePage(codePage)
{
    // What can be checked here is checked before the reader sees the file.
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        DatabaseError(QStringLiteral("Cannot open file \"%1\": %2").arg(Native(fileName), file.errorString()));
    const QByteArray head = file.read(0x20);
    if (head.size() < 0x20 || (head.mid(4, 15) != "Standard Jet DB" && head.mid(4, 15) != "Standard ACE DB"))
        DatabaseError(QStringLiteral("\"%1\" is not an Access database").arg(Native(fileName)));
    FJet3 = head[0x14] == 0;
    const qint64 pageSize = FJet3 ? 2048 : 4096;
    if (file.size() % pageSize != 0 || file.size() < 4 * pageSize)
        Damaged(fileName, QStringLiteral("it does not end with a whole page (it was cut short)"));
    file.close();

    const QByteArray output = RunReader(fileName, {QStringLiteral("tables")}, codePage);
    TReaderOutput in(output, fileName);
    for (bool done = false; !done;) {
        switch (in.U8()) {
        case 'H': {
            FJet3 = in.U8() == 3;
            const int declared = in.U16();
            if (codePage > 0) FCodePage = codePage;
            else if (FJet3 && IsCodePageSupported(declared)) FCodePage = declared;
            break;
        }
        case 'T':
            FTables << in.String();
            FSystem << (in.U8() != 0);
            break;
        case 'E':
            in.Failed();
        case 'Z':
            done = true;
            break;
        default:
            Damaged(fileName, QStringLiteral("reading it gave unreadable results"));
        }
    }
}

QStringList TMdbDatabase::TableNames(bool systemTables)
{
    QStringList names;
    for (int i = 0; i < FTables.size(); ++i)
        if (systemTables || !FSystem[i]) names << FTables[i];
    return names;
}

std::unique_ptr<TTableReader> TMdbDatabase::OpenTable(const QString& name)
{
    const auto it = std::find_if(FTables.begin(), FTables.end(), [&](const QString& t) { return t.compare(name, Qt::CaseInsensitive) == 0; });
    if (it == FTables.end()) DatabaseError(QStringLiteral("Table \"%1\" does not exist in \"%2\"").arg(name, Native(FFileName)));
    QByteArray output = RunReader(FFileName, {QStringLiteral("table"), *it}, FChosenCodePage);
    return std::make_unique<TMdbTableReader>(FFileName, FJet3, FCodePage, std::move(output), *it);
}

} // namespace
#endif

bool AccessDatabasesSupported()
{
#ifdef QUARROW_HAVE_MDBTOOLS
    return !ReaderPath().isEmpty();
#else
    return false;
#endif
}

void SetAccessReaderTimeout(int milliseconds)
{
    GReaderTimeout = qMax(100, milliseconds);
}

std::shared_ptr<TAccessDatabase> OpenAccessDatabase(const QString& fileName, int codePage)
{
#ifdef QUARROW_HAVE_MDBTOOLS
    return std::make_shared<TMdbDatabase>(fileName, codePage);
#else
    Q_UNUSED(fileName);
    Q_UNUSED(codePage);
    DatabaseError(QStringLiteral("Access databases (.mdb) are not supported in this build"));
#endif
}
