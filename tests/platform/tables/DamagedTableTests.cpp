#include "platform/tables/AccessTables.h"
#include "tests/platform/tables/TablesTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>

namespace {

// Reads every value of every record; empty when all went well, else the message of the
// database error that stopped it. Any other exception fails the test.
QString ReadEverything(TDataSet& table)
{
    try {
        table.Open();
        for (table.First(); !table.Eof(); table.Next())
            for (TField* f : table.Fields())
                if (!f->IsNull()) (void)f->AsVariant();
        table.Close();
    } catch (const EDatabaseError& e) {
        return e.Message().isEmpty() ? QStringLiteral("(empty message)") : e.Message();
    }
    return {};
}

QString ReadTable(const QString& file)
{
    TTable table;
    table.SetTableName(file);
    return ReadEverything(table);
}

// A copy of a sample table (and its memo file) in a folder of its own, to damage.
class TDamagedCopy {
public:
    TDamagedCopy(const QString& relative, const QString& memoExtension = QString())
    {
        FTable = FDir.filePath(QFileInfo(relative).fileName());
        FOriginal = ReadWholeFile(TablePath(relative));
        WriteWholeFile(FTable, FOriginal);
        if (!memoExtension.isEmpty()) {
            const QFileInfo info(TablePath(relative));
            FMemo = FDir.filePath(info.completeBaseName() + QLatin1Char('.') + memoExtension);
            FMemoOriginal = ReadWholeFile(info.absoluteDir().filePath(info.completeBaseName() + QLatin1Char('.') + memoExtension));
            WriteWholeFile(FMemo, FMemoOriginal);
        }
    }
    const QString& Table() const { return FTable; }
    const QString& Memo() const { return FMemo; }
    const QByteArray& Original() const { return FOriginal; }
    const QByteArray& MemoOriginal() const { return FMemoOriginal; }

private:
    QTemporaryDir FDir;
    QString FTable, FMemo;
    QByteArray FOriginal, FMemoOriginal;
};

void Resize(const QString& file, qint64 size)
{
    QFile f(file);
    ASSERT_TRUE(f.resize(size));
}

void PatchByte(const QString& file, qint64 position, char value)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(position));
    ASSERT_EQ(f.write(&value, 1), 1);
}

// Every damaged variant must either read or end in a database error that names the file.
void ExpectReadsOrNamesTheFile(const QString& message, const QString& file, const QString& what)
{
    if (message.isEmpty()) return;
    EXPECT_TRUE(message.contains(QFileInfo(file).fileName())) << what.toStdString() << ": " << message.toStdString();
}

struct TDamageCase {
    const char* Table;
    const char* Memo;   // extension of the memo file, or nullptr
};

void PrintTo(const TDamageCase& c, std::ostream* os) { *os << c.Table; }


const TDamageCase DamageCases[] = {
    {"paradox/p5-fieldtypes/memo.db", "mb"},
    {"paradox/p5-fieldtypes/bcd.db", nullptr},
    {"paradox/p5-fieldtypes/graphic240.db", "mb"},
    {"paradox/p3-other/STATES.DB", nullptr},
    {"paradox/p7-tables/HERCULES.DB", "MB"},
    {"dbase/dbase3/dbase_03.dbf", nullptr},
    {"dbase/dbase4-7/dbase_8b.dbf", "dbt"},
    {"dbase/dbase4-7/client.dbf", "dbt"},
    {"dbase/vfp/calls.dbf", "FPT"},
    {"dbase/vfp/dbase_31.dbf", nullptr},
};

class DamagedTableTest : public ::testing::TestWithParam<TDamageCase> {};

TEST_P(DamagedTableTest, EveryTruncationReadsOrFailsClearly)
{
    QUARROW_NEED_SAMPLES();
    const TDamageCase& c = GetParam();
    TDamagedCopy copy(QString::fromLatin1(c.Table), c.Memo ? QString::fromLatin1(c.Memo) : QString());
    ASSERT_EQ(ReadTable(copy.Table()), QString());
    int failures = 0;
    for (qsizetype size = copy.Original().size() - 1; size >= 0; --size) {
        Resize(copy.Table(), size);
        const QString message = ReadTable(copy.Table());
        ExpectReadsOrNamesTheFile(message, copy.Table(), QStringLiteral("table cut at %1").arg(size));
        failures += !message.isEmpty();
    }
    // A table cut inside its records is damaged, not merely shorter.
    EXPECT_GT(failures, copy.Original().size() / 2);
    WriteWholeFile(copy.Table(), copy.Original());
    if (!c.Memo) return;
    for (qsizetype size = copy.MemoOriginal().size() - 1; size >= 0; --size) {
        Resize(copy.Memo(), size);
        const QString message = ReadTable(copy.Table());
        ExpectReadsOrNamesTheFile(message, copy.Table(), QStringLiteral("memo cut at %1").arg(size));
    }
}

TEST_P(DamagedTableTest, FlippedBitsReadOrFailClearly)
{
    QUARROW_NEED_SAMPLES();
    const TDamageCase& c = GetParam();
    TDamagedCopy copy(QString::fromLatin1(c.Table), c.Memo ? QString::fromLatin1(c.Memo) : QString());
    QRandomGenerator random(20240611);
    auto flipAndRead = [&](const QString& file, const QByteArray& original, qsizetype position, int bit) {
        PatchByte(file, position, char(original[position] ^ (1 << bit)));
        const QString message = ReadTable(copy.Table());
        PatchByte(file, position, original[position]);
        ExpectReadsOrNamesTheFile(message, copy.Table(), QStringLiteral("bit %1 of byte %2 of %3").arg(bit).arg(position).arg(QFileInfo(file).fileName()));
    };
    // Every bit of the header's start, then bits anywhere.
    const qsizetype header = qMin<qsizetype>(copy.Original().size(), 0x100);
    for (qsizetype i = 0; i < header; ++i)
        for (int bit = 0; bit < 8; ++bit) flipAndRead(copy.Table(), copy.Original(), i, bit);
    for (int n = 0; n < 1000; ++n)
        flipAndRead(copy.Table(), copy.Original(), random.bounded(copy.Original().size()), random.bounded(8));
    if (!c.Memo) return;
    for (int n = 0; n < 1000; ++n)
        flipAndRead(copy.Memo(), copy.MemoOriginal(), random.bounded(copy.MemoOriginal().size()), random.bounded(8));
}

// Named damage: bytes written over a sample, and what the error says.
TEST(DamagedTable, NamedDamageGivesItsOwnMessage)
{
    QUARROW_NEED_SAMPLES();
    const struct {
        const char* Table;
        const char* Memo;
        bool InMemo;
        qint64 Offset;
        QByteArray Bytes;
        const char* Message;
    } cases[] = {
        // The only data block points to itself as the next one.
        {"paradox/p5-fieldtypes/memo.db", "mb", false, 0x800, QByteArray("\x01\x00", 2), "chain of data blocks loops at block 1"},
        {"paradox/p5-fieldtypes/memo.db", "mb", false, 0x0E, QByteArray("\x09\x00", 2), "data block 9 lies beyond the end of the file"},
        {"paradox/p5-fieldtypes/memo.db", "mb", false, 0x804, QByteArray("\xFD\x00", 2), "impossible record count"},
        {"paradox/p5-fieldtypes/memo.db", "mb", false, 0x78, QByteArray("\x63\x04", 2), "field 1 has the unknown type or size 99/4"},
        {"paradox/p5-fieldtypes/memo.db", "mb", false, 0x04, QByteArray("\x01", 1), "is not a Paradox table (file type 1)"},
        // The blob pointer of record 1 names a length the blob file cannot hold.
        {"paradox/p5-fieldtypes/memo.db", "mb", false, 0x8FE, QByteArray("\xFF\xFF\xFF\x7F", 4),
         "the blob of field \"MEMO\" in record 1 is longer than the blob file"},
        {"paradox/p5-fieldtypes/memo.db", "mb", true, 0x1000, QByteArray("\x02", 1),
         "the blob of field \"MEMO\" in record 1 is not in the block the table points to"},
        // A header that promises two thousand million records.
        {"dbase/dbase3/dbase_03.dbf", nullptr, false, 4, QByteArray("\xFF\xFF\xFF\x7F", 4), "it ends after 14 of its 2147483647 records"},
        {"dbase/dbase3/dbase_03.dbf", nullptr, false, 10, QByteArray("\x10\x00", 2), "its fields are wider than its records"},
        {"dbase/dbase3/dbase_03.dbf", nullptr, false, 0, QByteArray("\x99", 1), "is not a dBASE table"},
        // The memo of record 1 points far past the memo file.
        {"dbase/dbase3/dbase_83.dbf", "dbt", false, 513 + 780, QByteArray(" 999999999"),
         "the memo of field \"DESC\" in record 1 lies beyond the end of the memo file"},
        {"dbase/vfp/calls.dbf", "FPT", true, 0x204, QByteArray("\x7F\xFF\xFF\xFF", 4),
         "the memo of field \"NOTES\" in record 1 runs past the end of the memo file"},
    };
    for (const auto& c : cases) {
        TDamagedCopy copy(QString::fromLatin1(c.Table), c.Memo ? QString::fromLatin1(c.Memo) : QString());
        const QString target = c.InMemo ? copy.Memo() : copy.Table();
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(c.Offset);
        f.write(c.Bytes);
        f.close();
        const QString message = ReadTable(copy.Table());
        EXPECT_TRUE(message.contains(QString::fromLatin1(c.Message))) << c.Table << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(QFileInfo(copy.Table()).fileName())) << message.toStdString();
    }
}

// A table whose memo file is missing reads everything but the memos that live there.
TEST(DamagedTable, MissingBlobFileFailsOnlyTheValuesThatNeedIt)
{
    QUARROW_NEED_SAMPLES();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("memo.db"));
    WriteWholeFile(file, ReadWholeFile(TablePath(QStringLiteral("paradox/p5-fieldtypes/memo.db"))));
    TTable table;
    table.SetTableName(file);
    table.Open();
    table.Last();
    EXPECT_EQ(table.FieldByName("MEMO")->AsString(), "01234567890\n");
    table.First();
    EXPECT_EQ(table.FieldByName("Id")->AsInteger(), 1);
    try {
        (void)table.FieldByName("MEMO")->AsString();
        ADD_FAILURE() << "a memo read without the blob file";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("blob file"))) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("memo.db"))) << e.Message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, DamagedTableTest, ::testing::ValuesIn(DamageCases),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param.Table).section(QLatin1Char('/'), 1);
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
                             return name.toStdString();
                         });

} // namespace

namespace {

QString ReadAccess(const QString& file)
{
    try {
        TADOConnection connection;
        connection.SetConnectionString(file);
        QStringList names;
        connection.GetTableNames(names);
        for (const QString& name : names) {
            TADOTable table;
            table.SetConnection(&connection);
            table.SetTableName(name);
            const QString message = ReadEverything(table);
            if (!message.isEmpty()) return message;
        }
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    return {};
}

// The library behind the Access reader crashes or loops on some damaged files: the reader
// runs apart from the program, so such files end in a clear error as well.
TEST(DamagedAccessDatabase, CutOrFlippedFilesReadOrFailClearly)
{
    QUARROW_NEED_SAMPLES();
    if (!AccessDatabasesSupported()) GTEST_SKIP() << "built without the Access back end";
    SetAccessReaderTimeout(1500);
    for (const char* sample : {"access/jet3/testV1997.mdb", "access/jet4/test2V2000.mdb"}) {
        TDamagedCopy copy(QString::fromLatin1(sample));
        const qsizetype page = copy.Original()[0x14] == 0 ? 2048 : 4096;
        int failures = 0;
        for (qsizetype size = copy.Original().size() - page; size >= 0; size -= page) {
            Resize(copy.Table(), size);
            const QString message = ReadAccess(copy.Table());
            ExpectReadsOrNamesTheFile(message, copy.Table(), QStringLiteral("%1 cut at page %2").arg(QString::fromLatin1(sample)).arg(size / page));
            failures += !message.isEmpty();
        }
        EXPECT_GT(failures, 0) << sample;
        WriteWholeFile(copy.Table(), copy.Original());
        for (const qsizetype size : {qsizetype(100), page + 1, copy.Original().size() - 1}) {
            Resize(copy.Table(), size);
            EXPECT_TRUE(ReadAccess(copy.Table()).contains(QStringLiteral("cut short"))) << sample << " cut at " << size;
        }
        WriteWholeFile(copy.Table(), copy.Original());
        // Bits of the first pages, where the header and the table list live.
        QRandomGenerator random(7);
        for (int n = 0; n < 100; ++n) {
            const qsizetype position = random.bounded(qMin<qsizetype>(copy.Original().size(), 8 * page));
            PatchByte(copy.Table(), position, char(copy.Original()[position] ^ (1 << random.bounded(8))));
            ExpectReadsOrNamesTheFile(ReadAccess(copy.Table()), copy.Table(), QStringLiteral("%1 flipped at %2").arg(QString::fromLatin1(sample)).arg(position));
            PatchByte(copy.Table(), position, copy.Original()[position]);
        }
    }
    SetAccessReaderTimeout(20000);
}

} // namespace

TEST(DamagedTable, DatesBeyondTheCalendarReadAsAClearErrorOrNull)
{
    // Inputs a fuzzer keeps: a time stamp of 10^300 milliseconds. Paradox says which value of
    // which record cannot be read, as it does for amounts; dBASE reads it as null, as it reads
    // any damaged date. Neither converts it to a day number.
    TTable paradox;
    paradox.SetTableName(FuzzFixturePath("fuzz_paradox", "timestamp-beyond-the-calendar.db"));
    paradox.Open();
    paradox.Last();
    try {
        (void)paradox.Fields()[0]->AsVariant();
        ADD_FAILURE() << "the time stamp read";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().startsWith("The time stamp of field \"" + paradox.Fields()[0]->FieldName() + "\" in record 2 of"))
            << e.what();
        EXPECT_TRUE(e.Message().endsWith("is out of range")) << e.what();
    }
    TTable dbase;
    dbase.SetTableName(FuzzFixturePath("fuzz_dbase", "timestamp-beyond-the-calendar.dbf"));
    dbase.Open();
    ASSERT_EQ(dbase.RecordCount(), 1);
    dbase.First();
    EXPECT_EQ(dbase.FieldByName("STAMP")->DataType(), ftDateTime);
    EXPECT_TRUE(dbase.FieldByName("STAMP")->IsNull());
}
