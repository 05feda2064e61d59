#include "app/UGeneral.h"
#include "app/URestructure.h"
#include "platform/client/ClientDataSet.h"
#include "platform/core/AtomicFile.h"
#include "tests/common/TestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

TFieldDefRow Row(const QString& name, const QString& type, const QString& size = "0", const QString& org = QString())
{
    return {name, org, type, size, {}};
}

// The rows the structure window shows for a file: names as they are, old names equal.
TFieldDefRows RowsOfDefs(const TFieldDefs& defs)
{
    TFieldDefRows rows;
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef* d = defs.Items(i);
        TFieldDefRow row = Row(d->Name(), FieldTypeName(d->DataType()), QString::number(d->Size()), d->Name());
        if (d->DataType() == ftDataSet && d->HasChildDefs())
            row.Children = RowsOfDefs(*const_cast<TFieldDef*>(d)->ChildDefs());
        rows.append(row);
    }
    return rows;
}

TFieldDefRows RowsOfFile(const QString& path)
{
    TClientDataSet ds;
    ds.SetReadOnly(true);
    ds.SetFileName(path);
    ds.Open();
    ds.FieldDefs().Update();
    TFieldDefRows rows = RowsOfDefs(ds.FieldDefs());
    ds.Close();
    return rows;
}

// Every record's values by field name (nested datasets as their own record lists).
struct TRecordValues {
    QMap<QString, TVariant> Values;
    QMap<QString, QList<TRecordValues>> Nested;
};

QList<TRecordValues> ReadRecords(TDataSet& ds)
{
    QList<TRecordValues> list;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        TRecordValues r;
        for (TField* f : ds.Fields()) {
            if (auto* nested = qobject_cast<TDataSetField*>(f)) {
                r.Nested.insert(f->FieldName(), ReadRecords(*nested->NestedDataSet()));
                continue;
            }
            r.Values.insert(f->FieldName(), f->IsNull() ? TVariant::Null() : f->Value());
        }
        list.append(r);
    }
    return list;
}

QList<TRecordValues> ReadFileRecords(const QString& path)
{
    TClientDataSet ds;
    ds.SetReadOnly(true);
    ds.SetFileName(path);
    ds.Open();
    QList<TRecordValues> records = ReadRecords(ds);
    ds.Close();
    return records;
}

QString Text(const TVariant& v) { return v.IsNullOrEmpty() ? QStringLiteral("<null>") : VarToStr(v); }

QString CopyOf(const QTemporaryDir& dir, const QString& sample)
{
    const QString path = dir.filePath(sample);
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(SamplePath(sample), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return path;
}

QStringList SampleFiles()
{
    QStringList names = QDir(SamplesDir()).entryList({"*.cds", "*.xml"}, QDir::Files, QDir::Name);
    return names;
}

QString ErrorOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

// A file with a field of every kind the structure window offers, and a nested dataset.
const char* const EveryKindFields[][3] = {
    {"S", "String", "20"},    {"W", "WideString", "10"}, {"Sm", "Smallint", "0"}, {"I", "Integer", "0"},
    {"Wd", "Word", "0"},      {"B", "Boolean", "0"},     {"F", "Float", "0"},     {"C", "Currency", "0"},
    {"N", "BCD", "4"},        {"D", "Date", "0"},        {"T", "Time", "0"},      {"DT", "DateTime", "0"},
    {"By", "Bytes", "4"},     {"VB", "VarBytes", "6"},   {"A", "AutoInc", "0"},   {"Bl", "Blob", "0"},
    {"M", "Memo", "0"},       {"G", "Graphic", "0"},     {"FM", "FmtMemo", "0"},  {"FC", "FixedChar", "5"},
    {"L", "LargeInt", "0"},   {"Code", "String", "10"},
};

TVariant ValueFor(TFieldType type, int k)
{
    switch (type) {
    case ftString: case ftFixedChar: return TVariant(QStringLiteral("t%1").arg(k));
    case ftWideString: return TVariant(QStringLiteral("wé€%1").arg(k));
    case ftSmallint: return TVariant::FromSmallint(qint16(-300 + k));
    case ftInteger: return TVariant(100000 * k - 7);
    case ftWord: return TVariant::FromWord(quint16(65000 + k));
    case ftBoolean: return TVariant(k % 2 == 1);
    case ftFloat: return TVariant(1.0 / (k + 3));
    case ftCurrency: case ftBCD: return TVariant(TCurrency::FromScaled(123456 + k));
    case ftDate: return TVariant::FromDate(36526 + k);
    case ftTime: return TVariant::FromDate((3600 + k) / 86400.0);
    case ftDateTime: return TVariant::FromDate(36526.5 + k);
    case ftBytes: return TVariant::FromBytes(QByteArray("\x01\x02\x80", 3) + char(k));
    case ftVarBytes: return TVariant::FromBytes(QByteArray("\xff\x00z", 3).left(1 + k % 3));
    case ftMemo: case ftFmtMemo: return TVariant(QStringLiteral("line\r\nmemo %1").arg(k));
    case ftLargeint: return TVariant((qint64(1) << 40) + k);
    default: return TVariant::FromBytes(QByteArray(100 + k, char('a' + k)));
    }
}

// Records: Code holds "abc", "12", then numbers; AutoInc takes 10, 20, 30 ...; every third
// record has no nested rows, the others k of them.
void WriteEveryKindFile(const QString& path, int records)
{
    TClientDataSet ds;
    for (const auto& f : EveryKindFields)
        ds.FieldDefs().Add(f[0], TFieldType(FieldTypeFromName(f[1])), QString(f[2]).toInt());
    TFieldDef* items = ds.FieldDefs().Add("Items", ftDataSet);
    items->ChildDefs()->Add("Part", ftString, 10);
    items->ChildDefs()->Add("Qty", ftInteger);
    items->ChildDefs()->Add("Note", ftMemo);
    ds.CreateDataSet();
    ds.FieldByName("A")->SetReadOnly(false);
    TDataSet* nested = qobject_cast<TDataSetField*>(ds.FieldByName("Items"))->NestedDataSet();
    for (int k = 0; k < records; ++k) {
        ds.Append();
        for (TField* f : ds.Fields()) {
            if (f->DataType() == ftDataSet) continue;
            if (f->FieldName() == "A") f->SetAsInteger(10 * (k + 1));
            else if (f->FieldName() == "Code") f->SetAsString(k == 0 ? "abc" : k == 1 ? "12" : QString::number(k));
            else if (k != 2) f->SetValue(ValueFor(f->DataType(), k));
        }
        for (int n = 0; k % 3 != 0 && n < k; ++n) {
            nested->Append();
            nested->FieldByName("Part")->SetAsString(QStringLiteral("p%1.%2").arg(k).arg(n));
            nested->FieldByName("Qty")->SetAsInteger(n * 7);
            nested->FieldByName("Note")->SetAsString(QStringLiteral("note %1").arg(n));
            nested->Post();
        }
        ds.Post();
    }
    ds.MergeChangeLog();
    ds.SaveToFile(path);
}

bool FileExistsNamed(const QString& folder, const QString& prefix)
{
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        if (name.startsWith(prefix)) return true;
    return false;
}

} // namespace

// Every real file, restructured with its first field renamed and a field added: every record
// carries every value under its new name; the format stays.
TEST(Restructure, EverySampleKeepsItsRecords)
{
    QUARROW_NEED_SAMPLES();
    QTemporaryDir dir;
    const QStringList samples = SampleFiles();
    ASSERT_GE(samples.size(), 10);
    for (const QString& sample : samples) {
        SCOPED_TRACE(sample.toStdString());
        const QString path = CopyOf(dir, sample);
        const QByteArray head = ReadWholeFile(path).left(4);
        const QList<TRecordValues> before = ReadFileRecords(path);
        TFieldDefRows rows = RowsOfFile(path);
        ASSERT_FALSE(rows.isEmpty());
        const QString first = rows[0].Name;
        rows[0].Name = first + "_renamed";
        rows.append(Row("Added", "Integer"));

        EXPECT_EQ(RestructureDataFile(path, rows), before.size());

        EXPECT_EQ(ReadWholeFile(path).left(4), head);
        const QList<TRecordValues> after = ReadFileRecords(path);
        ASSERT_EQ(after.size(), before.size());
        for (int r = 0; r < before.size(); ++r) {
            for (auto it = before[r].Values.begin(); it != before[r].Values.end(); ++it) {
                const QString name = it.key() == first ? first + "_renamed" : it.key();
                ASSERT_TRUE(after[r].Values.contains(name)) << name.toStdString();
                EXPECT_EQ(Text(after[r].Values[name]), Text(it.value())) << name.toStdString() << " record " << r;
            }
            EXPECT_TRUE(after[r].Values["Added"].IsNull());
            EXPECT_FALSE(after[r].Values.contains(first));
        }
        // The file's structure is the new one, sizes as the rows give them.
        const TFieldDefRows written = RowsOfFile(path);
        ASSERT_EQ(written.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(written[i].Name, rows[i].Name);
            EXPECT_EQ(written[i].Type, rows[i].Type);
            EXPECT_EQ(written[i].Size, rows[i].Size);
        }
    }
}

TEST(Restructure, RenamesRetypesDropsAddsAndCarriesNestedRecords)
{
    QTemporaryDir dir;
    for (const char* name : {"every.cds", "every.xml"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(name);
        WriteEveryKindFile(path, 7);
        const QList<TRecordValues> before = ReadFileRecords(path);
        TFieldDefRows rows = RowsOfFile(path);
        for (TFieldDefRow& row : rows) {
            if (row.Name == "S") row.Name = "Text";
            if (row.Name == "Code") row.Type = "Integer", row.Size = "0";
            if (row.Name == "W") row.Size = "30";
            if (row.Name == "Items") {
                row.Name = "Lines";
                row.Children[1].Name = "Quantity";
                row.Children.removeAt(2);
                row.Children.append(Row("Fresh", "String", "5"));
            }
        }
        rows.removeIf([](const TFieldDefRow& r) { return r.Name == "F"; });
        rows.append(Row("Extra", "Integer"));

        ASSERT_EQ(RestructureDataFile(path, rows), 7);

        EXPECT_EQ(ReadWholeFile(path).left(4) == "<?xm", QByteArray(name).endsWith(".xml"));
        const QList<TRecordValues> after = ReadFileRecords(path);
        ASSERT_EQ(after.size(), 7);
        for (int k = 0; k < 7; ++k) {
            SCOPED_TRACE(k);
            const TRecordValues& o = before[k];
            const TRecordValues& n = after[k];
            EXPECT_EQ(Text(n.Values["Text"]), Text(o.Values["S"]));
            EXPECT_FALSE(n.Values.contains("S"));
            EXPECT_FALSE(n.Values.contains("F"));
            EXPECT_TRUE(n.Values["Extra"].IsNull());
            // "abc" cannot be a number: empty; "12" becomes 12.
            if (k == 0) {
                EXPECT_TRUE(n.Values["Code"].IsNull());
            } else {
                EXPECT_EQ(n.Values["Code"].AsInteger(), k == 1 ? 12 : k);
            }
            EXPECT_EQ(n.Values["A"].AsInteger(), 10 * (k + 1));
            for (const auto& f : EveryKindFields) {
                const QString field = f[0];
                if (field == "S" || field == "Code" || field == "F") continue;
                EXPECT_EQ(Text(n.Values[field]), Text(o.Values[field])) << f[0];
            }
            const QList<TRecordValues>& oldLines = o.Nested["Items"];
            const QList<TRecordValues>& newLines = n.Nested["Lines"];
            ASSERT_EQ(newLines.size(), oldLines.size());
            EXPECT_EQ(newLines.size(), k % 3 == 0 ? 0 : k);
            for (int i = 0; i < oldLines.size(); ++i) {
                EXPECT_EQ(Text(newLines[i].Values["Part"]), Text(oldLines[i].Values["Part"]));
                EXPECT_EQ(Text(newLines[i].Values["Quantity"]), Text(oldLines[i].Values["Qty"]));
                EXPECT_TRUE(newLines[i].Values["Fresh"].IsNull());
                EXPECT_FALSE(newLines[i].Values.contains("Note"));
            }
        }
        // A wide string is as wide as the user typed.
        const TFieldDefRows written = RowsOfFile(path);
        for (const TFieldDefRow& row : written)
            if (row.Name == "W") {
                EXPECT_EQ(row.Size, "30");
            }
    }
}

TEST(Restructure, AFilesStructureReadFromItsHeaderIsTheOpenedFilesStructure)
{
    QUARROW_NEED_SAMPLES();
    QTemporaryDir dir;
    QStringList paths;
    for (const QString& sample : SampleFiles()) paths << SamplePath(sample);
    paths << dir.filePath("every.cds") << dir.filePath("every.xml");
    WriteEveryKindFile(paths[paths.size() - 2], 3);
    WriteEveryKindFile(paths.last(), 3);
    auto describe = [](const TFieldDefs& defs) {
        QStringList list;
        for (const TFieldDefRow& row : RowsOfDefs(defs)) {
            list << row.Name + ' ' + row.Type + ' ' + row.Size;
            for (const TFieldDefRow& child : row.Children) list << "  " + child.Name + ' ' + child.Type + ' ' + child.Size;
        }
        return list;
    };
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        TClientDataSet opened;
        opened.SetReadOnly(true);
        opened.SetFileName(path);
        opened.Open();
        opened.FieldDefs().Update();
        TClientDataSet holder;
        ReadFileFieldDefs(path, holder.FieldDefs());
        EXPECT_EQ(describe(holder.FieldDefs()), describe(opened.FieldDefs()));
        for (int i = 0; i < holder.FieldDefs().Count(); ++i)
            EXPECT_EQ(holder.FieldDefs()[i]->FieldNo(), i + 1);
    }
    TClientDataSet holder;
    WriteWholeFile(dir.filePath("junk.cds"), "not a packet at all");
    EXPECT_THROW(ReadFileFieldDefs(dir.filePath("junk.cds"), holder.FieldDefs()), EDatabaseError);
    WriteWholeFile(dir.filePath("empty.cds"), "");
    EXPECT_THROW(ReadFileFieldDefs(dir.filePath("empty.cds"), holder.FieldDefs()), EDatabaseError);
    EXPECT_THROW(ReadFileFieldDefs(dir.filePath("missing.cds"), holder.FieldDefs()), EFOpenError);
}

TEST(Restructure, TheLinkColumnOfANestedChangeLogNeverReachesTheStructure)
{
    // A file whose nested dataset has a change log carries the engine's own link column
    // beside the nested fields; it is no field of the user's, before or after a restructure.
    QTemporaryDir dir;
    for (const char* name : {"orders.cds", "orders.xml"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(name);
        {
            TClientDataSet ds;
            ds.FieldDefs().Add("ID", ftInteger);
            TFieldDef* items = ds.FieldDefs().Add("Items", ftDataSet);
            items->ChildDefs()->Add("Code", ftString, 10);
            items->ChildDefs()->Add("Qty", ftInteger);
            ds.CreateDataSet();
            TDataSet* nested = static_cast<TDataSetField*>(ds.FieldByName("Items"))->NestedDataSet();
            for (int i = 1; i <= 2; ++i) {
                ds.Append();
                ds.FieldByName("ID")->SetAsInteger(i);
                nested->Append();
                nested->FieldByName("Code")->SetAsString(QStringLiteral("C%1").arg(i));
                nested->FieldByName("Qty")->SetAsInteger(i);
                nested->Post();
                ds.Post();
            }
            ds.SaveToFile(path);   // with its change log
        }
        ASSERT_TRUE(ReadWholeFile(path).contains("LINK_FIELD"));
        auto nestedNames = [](const TFieldDefRows& rows) {
            QStringList names;
            for (const TFieldDefRow& row : rows)
                for (const TFieldDefRow& child : row.Children) names << child.Name;
            return names;
        };
        TClientDataSet holder;
        ReadFileFieldDefs(path, holder.FieldDefs());
        const TFieldDefRows rows = RowsOfDefs(holder.FieldDefs());
        EXPECT_EQ(nestedNames(rows), (QStringList{"Code", "Qty"}));
        ASSERT_EQ(RestructureDataFile(path, rows), 2);
        EXPECT_EQ(nestedNames(RowsOfFile(path)), (QStringList{"Code", "Qty"}));
        const QList<TRecordValues> after = ReadFileRecords(path);
        ASSERT_EQ(after.size(), 2);
        EXPECT_EQ(after[1].Nested["Items"].value(0).Values.keys(), (QStringList{"Code", "Qty"}));
    }
}

TEST(Restructure, FormatFollowsTheNameOrAnXmlContent)
{
    QUARROW_NEED_SAMPLES();
    QTemporaryDir dir;
    struct Case {
        const char* Sample;
        const char* Name;
        bool Xml;
    };
    const Case cases[] = {
        {"demo-country.cds", "orders.XML", true},   // binary content, XML by its name
        {"demo-country.cds", "orders.dat", false},
        {"demo-country.xml", "country.dat", true},  // an XML file stays XML whatever its name
        {"demo-country.xml", "country.Xml", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = dir.filePath(c.Name);
        QFile::copy(SamplePath(c.Sample), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        ASSERT_EQ(RestructureDataFile(path, RowsOfFile(path)), 18);
        EXPECT_EQ(ReadWholeFile(path).startsWith("<?xm"), c.Xml);
        EXPECT_EQ(ReadFileRecords(path).size(), 18);
        // Nothing else is left in the folder.
        EXPECT_FALSE(FileExistsNamed(dir.path(), "."));
        EXPECT_FALSE(FileExistsNamed(dir.path(), "~~Temp"));
        QFile::remove(path);
    }
}

TEST(Restructure, NewFileHasTheStructureAndNoRecords)
{
    QTemporaryDir dir;
    TFieldDefRow lines = Row("Lines", "DataSet");
    lines.Children = {Row("Part", "String", "12"), Row("Qty", "Integer")};
    const TFieldDefRows rows{Row("ID", "AutoInc"), Row("Name", "WideString", "30"), lines, Row("Odd", "NoSuchType", "8")};
    for (const char* name : {"new.cds", "new.xml"}) {
        const QString path = dir.filePath(name);
        WriteNewDataFile(path, rows);
        EXPECT_EQ(ReadWholeFile(path).startsWith("<?xm"), QByteArray(name).endsWith(".xml"));
        const TFieldDefRows written = RowsOfFile(path);
        ASSERT_EQ(written.size(), 4);
        EXPECT_EQ(written[1].Size, "30");
        EXPECT_EQ(written[2].Type, "DataSet");
        ASSERT_EQ(written[2].Children.size(), 2);
        EXPECT_EQ(written[2].Children[0].Size, "12");
        EXPECT_EQ(written[3].Type, "String");   // an unknown type name gives String
        EXPECT_TRUE(ReadFileRecords(path).isEmpty());
    }
}

// Whatever fails, the old file stays byte for byte as it was and the error says why.
TEST(Restructure, FailuresLeaveTheOldFileUntouched)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("every.cds");
    WriteEveryKindFile(path, 50);
    const QByteArray original = ReadWholeFile(path);
    TFieldDefRows rows = RowsOfFile(path);
    rows[0].Name = "Renamed";

    struct Case {
        const char* What;
        std::function<bool()> Arrange;   // false: the failure cannot be made on this system
        std::function<void()> Undo;
        const char* Message;             // part of the error text
    };
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray file = QFile::encodeName(path);
    auto chattr = [](const char* flag, const QByteArray& target) {
        return QProcess::execute("chattr", {flag, QFile::decodeName(target)}) == 0;
    };
    auto noInjection = [] { TAtomicFileWriter::InjectWriteFailure(-1, 0); };
    const std::vector<Case> cases = {
        {"disk full at the first byte", [] { TAtomicFileWriter::InjectWriteFailure(0, ENOSPC); return true; },
         noInjection, "No space left on device"},
        {"disk full half way", [&] { TAtomicFileWriter::InjectWriteFailure(original.size() / 2, ENOSPC); return true; },
         noInjection, "No space left on device"},
        {"input/output error near the end",
         [&] { TAtomicFileWriter::InjectWriteFailure(original.size() - 10, EIO); return true; }, noInjection,
         "Input/output error"},
        // Root writes anywhere: an immutable folder stands for an unwritable one there.
        {"unwritable folder",
         [&] { return geteuid() == 0 ? chattr("+i", folder) : ::chmod(folder.constData(), 0555) == 0; },
         [&] {
             if (geteuid() == 0) chattr("-i", folder);
             else ::chmod(folder.constData(), 0755);
         },
         "cannot create a file in the folder"},
        // An immutable file cannot be written: it is write-protected, and never replaced.
        {"immutable file", [&] { return geteuid() == 0 && chattr("+i", file); }, [&] { chattr("-i", file); },
         "the file is write-protected"},
    };
    int made = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        if (!c.Arrange()) {
            std::printf("[ NOTE     ] %s: not possible on this system\n", c.What);
            continue;
        }
        ++made;
        const QString error = ErrorOf([&] { RestructureDataFile(path, rows); });
        c.Undo();
        EXPECT_TRUE(error.contains(QLatin1String(c.Message))) << error.toStdString();
        EXPECT_EQ(ReadWholeFile(path), original);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"every.cds"});
    }
    EXPECT_GE(made, 4);
    // The same with the writing done beside a responsive caller.
    TAtomicFileWriter::InjectWriteFailure(100, ENOSPC);
    int calls = 0;
    const QString error = ErrorOf([&] { RestructureDataFile(path, rows, [&calls](qint64) { ++calls; }); });
    TAtomicFileWriter::InjectWriteFailure(-1, 0);
    EXPECT_TRUE(error.contains("No space left on device")) << error.toStdString();
    EXPECT_GT(calls, 0);
    EXPECT_EQ(ReadWholeFile(path), original);
    // And with nothing failing, the same restructure goes through.
    EXPECT_EQ(RestructureDataFile(path, rows), 50);
    EXPECT_NE(ReadWholeFile(path), original);
}

TEST(Restructure, BadInputIsReportedAndChangesNothing)
{
    QUARROW_NEED_SAMPLES();
    QTemporaryDir dir;
    const QString good = CopyOf(dir, "demo-country.cds");
    const QByteArray original = ReadWholeFile(good);
    const QString damaged = dir.filePath("damaged.cds");
    WriteWholeFile(damaged, original.left(original.size() / 2));
    const QByteArray damagedBytes = ReadWholeFile(damaged);

    struct Case {
        const char* What;
        QString Path;
        TFieldDefRows Rows;
        QByteArray Bytes;
    };
    const Case cases[] = {
        {"a damaged file", damaged, {Row("Name", "String", "24")}, damagedBytes},
        {"a size that is no number", good, {Row("Name", "String", "2x4")}, original},
        {"two fields of one name", good, {Row("Name", "String", "24"), Row("NAME", "Integer")}, original},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_NE(ErrorOf([&] { RestructureDataFile(c.Path, c.Rows); }), "(no error)");
        EXPECT_EQ(ReadWholeFile(c.Path), c.Bytes);
    }
    EXPECT_NE(ErrorOf([&] { RestructureDataFile(dir.filePath("missing.cds"), {Row("A", "Integer")}); }), "(no error)");
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.cds")));
}

// The child side of the test below (run by it alone): restructures the file named in the
// environment.
TEST(RestructureChild, DISABLED_Run)
{
    const QByteArray path = qgetenv("QUARROW_RESTRUCTURE_CHILD");
    if (path.isEmpty()) GTEST_SKIP() << "run by RestructureKilled only";
    const QString file = QFile::decodeName(path);
    TFieldDefRows rows = RowsOfFile(file);
    rows[0].Name = "Renamed";
    rows[1].Type = "String";
    rows[1].Size = "12";
    RestructureDataFile(file, rows);
}

// A process killed at any moment of a restructure leaves the old file or the new one, whole.
TEST(RestructureKilled, LeavesTheOldOrTheNewFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("large.cds");
    const int records = 200000;
    {
        TClientDataSet ds;
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("Amount", ftInteger);
        ds.FieldDefs().Add("Name", ftString, 30);
        ds.FieldDefs().Add("Note", ftWideString, 20);
        ds.CreateDataSet();
        ds.SetLogChanges(false);
        for (int i = 0; i < records; ++i) {
            ds.Append();
            ds.Fields()[0]->SetAsInteger(i);
            ds.Fields()[1]->SetAsInteger(i * 3);
            ds.Fields()[2]->SetAsString(QStringLiteral("name %1").arg(i));
            ds.Fields()[3]->SetAsString(QStringLiteral("note %1").arg(i));
            ds.Post();
        }
        ds.SaveToFile(path);
    }
    const QString prefix = "." + QFileInfo(path).fileName() + ".";

    int killedWhileWriting = 0;
    int outcomesOld = 0;
    int outcomesNew = 0;
    // Kill as soon as the new file is being written, and at a moment of the copy; again until
    // both were seen (a fast machine may finish a run before it is caught writing).
    int runs = 0;
    for (int attempt = 0; attempt < 12; ++attempt) {
        if (attempt >= 5 && killedWhileWriting > 0 && outcomesOld > 0) break;
        const int delay = attempt % 3 == 2 ? 40 : -1;
        ++runs;
        SCOPED_TRACE(delay);
        const QByteArray before = ReadWholeFile(path);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUARROW_RESTRUCTURE_CHILD", path);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_also_run_disabled_tests", "--gtest_filter=RestructureChild.DISABLED_Run"});
        ASSERT_TRUE(child.waitForStarted(10000));
        QElapsedTimer clock;
        clock.start();
        bool writing = false;
        while (child.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
            if (delay < 0 ? FileExistsNamed(dir.path(), prefix) : clock.elapsed() >= delay) {
                writing = FileExistsNamed(dir.path(), prefix);
                ::kill(pid_t(child.processId()), SIGKILL);
                break;
            }
            QThread::usleep(200);
        }
        child.waitForFinished(60000);
        if (writing) ++killedWhileWriting;

        const QByteArray now = ReadWholeFile(path);
        if (now == before) {
            ++outcomesOld;
        } else {
            // The new file, whole: every record with its values under the new structure.
            ++outcomesNew;
            TClientDataSet ds;
            ds.SetReadOnly(true);
            ds.SetFileName(path);
            ASSERT_NO_THROW(ds.Open());
            ASSERT_EQ(ds.RecordCount(), records);
            ASSERT_NE(ds.FindField("Renamed"), nullptr);
            EXPECT_EQ(ds.FieldByName("Amount")->DataType(), ftString);
            ds.Last();
            EXPECT_EQ(ds.FieldByName("Renamed")->AsInteger(), records - 1);
            EXPECT_EQ(ds.FieldByName("Amount")->AsString(), QString::number((records - 1) * 3));
            ds.Close();
        }
        // A temporary file the killed process left behind is no data file of the folder.
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            if (name.startsWith(prefix)) QFile::remove(dir.filePath(name));
    }
    EXPECT_GT(killedWhileWriting, 0);
    EXPECT_GT(outcomesOld, 0);
    EXPECT_EQ(outcomesOld + outcomesNew, runs);
}

namespace {

// What a restructure writes, made the plain way: append and post each record, assigning each
// new field the old field's value (the empty text where the value does not fit).
QByteArray PostedRestructure(const QString& path, const TFieldDefRows& rows, bool xml)
{
    TClientDataSet old;
    old.SetReadOnly(true);
    old.SetFileName(path);
    old.Open();
    TClientDataSet created;
    BuildFieldDefs(created.FieldDefs(), rows);
    created.CreateDataSet();
    created.SetLogChanges(false);
    for (old.First(); !old.Eof(); old.Next()) {
        created.Append();
        for (const TFieldDefRow& row : rows) {
            TField* to = created.FindField(row.Name);
            TField* from = old.FindField(row.OldName());
            if (!to || !from || from->IsNull()) continue;
            try {
                to->SetValue(from->Value());
            } catch (const Exception&) {
                try {
                    to->SetAsString(QString());
                } catch (const Exception&) {
                }
            }
        }
        created.Post();
    }
    if (!xml) return created.Data();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    created.SaveToStream(buffer, dfXML);
    return bytes;
}

} // namespace

// A flat file goes from its old records into the new file value by value: byte for byte what
// appending and posting every record writes, for values that travel as they are and for those
// that must be converted (retyped, narrowed, another code page, out of the usual ranges).
TEST(Restructure, FlatFilesGetTheBytesThatPostingEveryRecordWrites)
{
    QTemporaryDir dir;
    // 8-bit text in the new file's code page, and in another (Cyrillic).
    for (const quint32 locale : {0u, 1049u}) {
    SCOPED_TRACE(locale);
    const QString pristine = dir.filePath("flat.cds");
    {
        TClientDataSet ds;
        ds.SetCreateLocale(locale);
        ds.FieldDefs().Add("S", ftString, 20);
        ds.FieldDefs().Add("W", ftWideString, 12);
        ds.FieldDefs().Add("I", ftInteger);
        ds.FieldDefs().Add("Sm", ftSmallint);
        ds.FieldDefs().Add("F", ftFloat);
        ds.FieldDefs().Add("C", ftCurrency);
        ds.FieldDefs().Add("D", ftDate);
        ds.FieldDefs().Add("T", ftTime);
        ds.FieldDefs().Add("DT", ftDateTime);
        ds.FieldDefs().Add("B", ftBoolean);
        ds.FieldDefs().Add("L", ftLargeint);
        ds.FieldDefs().Add("Code", ftString, 8);
        ds.FieldDefs().Add("Long", ftString, 60);
        ds.CreateDataSet();
        const char* const codes[] = {"abc", "12", "", "-7", "3.5"};
        for (int k = 0; k < 9000; ++k) {
            ds.Append();
            if (k % 11 != 3) {
                ds.FieldByName("S")->SetAsString(k % 5 == 0 ? QStringLiteral("Привет мир %1").arg(k) : k % 7 == 0 ? QString() : QStringLiteral("text %1").arg(k));
                ds.FieldByName("W")->SetAsString(k % 4 == 0 ? QStringLiteral("wide €%1 and more").arg(k) : QStringLiteral("w%1").arg(k));
                ds.FieldByName("I")->SetAsInteger(k * 1000 - 4000000);
                ds.FieldByName("Sm")->SetAsInteger(k % 30000 - 15000);
                ds.FieldByName("F")->SetAsFloat(k / 7.0);
                ds.FieldByName("C")->SetAsFloat(k / 3.0);
                ds.FieldByName("D")->SetAsDateTime(k % 3 == 0 ? -600000 + k : 36526 + k);
                ds.FieldByName("T")->SetAsDateTime((k % 86400) / 86400.0);
                ds.FieldByName("DT")->SetAsDateTime(k % 3 == 0 ? -10.25 - k : 36526.125 + k);
                ds.FieldByName("B")->SetAsBoolean(k % 2);
                ds.FieldByName("L")->SetAsLargeInt((qint64(1) << 40) + k);
                ds.FieldByName("Code")->SetAsString(codes[k % 5]);
                ds.FieldByName("Long")->SetAsString(QString(30 + k % 25, QChar(u'a' + k % 26)));
            }
            ds.Post();
        }
        ds.MergeChangeLog();
        ds.SaveToFile(pristine);
    }
    TFieldDefRows rows = RowsOfFile(pristine);
    for (TFieldDefRow& row : rows) {
        if (row.Name == "S") row.Name = "Text", row.Size = "10";     // renamed and narrowed
        if (row.Name == "W") row.Size = "5";
        if (row.Name == "Long") row.Size = "45";   // kept alike, so only the longer values change
        if (row.Name == "Sm") row.Type = "Float";
        if (row.Name == "F") row.Type = "Integer";
        if (row.Name == "Code") row.Type = "Integer", row.Size = "0";
    }
    rows.append(Row("Added", "String", "4"));
    for (const char* name : {"flat.cds", "flat.xml"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QStringLiteral("work-") + name);
        const bool xml = QByteArray(name).endsWith(".xml");
        {
            TClientDataSet ds;
            ds.LoadFromFile(pristine);
            ds.SaveToFile(path);
        }
        const QByteArray expected = PostedRestructure(path, rows, xml);
        ASSERT_EQ(RestructureDataFile(path, rows), 9000);
        EXPECT_TRUE(ReadWholeFile(path) == expected);
    }
    }
}
