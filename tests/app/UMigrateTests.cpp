#include "app/UMigrate.h"
#include "app/RegisterWindows.h"
#include "memtable/zohMemTable.h"
#include "platform/client/ClientDataSet.h"
#include "platform/tables/AccessDatabase.h"
#include "platform/tables/AccessTables.h"
#include "platform/tables/LocalTables.h"
#include "platform/core/AtomicFile.h"
#include "platform/vcl/Dialogs.h"
#include "gridlib/core/kqradiogroup.h"
#include "platform/vcl/Forms.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "treestatus/qeStatusBar.h"
#include "utilities/ToolEdit.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <cerrno>
#include <memory>

namespace {
struct TItem {
    QString Code;
    int Qty;
};
struct TRec {
    int Id;
    QString Name;
    QList<TItem> Items;
};

// A data file: ID Integer, Name String(20) and, when nested, Items (Code String(10), Qty Integer).
void WriteData(const QString& path, const QList<TRec>& rows, bool nested)
{
    TClientDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("Name", ftString, 20);
    if (nested) {
        TFieldDef* items = ds.FieldDefs().Add("Items", ftDataSet);
        items->ChildDefs()->Add("Code", ftString, 10);
        items->ChildDefs()->Add("Qty", ftInteger);
    }
    ds.CreateDataSet();
    for (const TRec& r : rows) {
        ds.Append();
        ds.FieldByName("ID")->SetAsInteger(r.Id);
        ds.FieldByName("Name")->SetAsString(r.Name);
        if (nested) {
            TDataSet* items = static_cast<TDataSetField*>(ds.FieldByName("Items"))->NestedDataSet();
            for (const TItem& it : r.Items) {
                items->Append();
                items->FieldByName("Code")->SetAsString(it.Code);
                items->FieldByName("Qty")->SetAsInteger(it.Qty);
                items->Post();
            }
        }
        ds.Post();
    }
    ds.MergeChangeLog();
    ds.SaveToFile(path);
}

// The records of a dataset, one line each: "ID:Name" and, with a nested field, "[Code/Qty,...]".
QStringList Dump(TDataSet& ds)
{
    QStringList lines;
    auto* items = qobject_cast<TDataSetField*>(ds.FindField("Items"));
    for (ds.First(); !ds.Eof(); ds.Next()) {
        QString line = ds.FieldByName("ID")->AsString() + ':' + ds.FieldByName("Name")->AsString();
        if (items) {
            QStringList parts;
            TDataSet* n = items->NestedDataSet();
            for (n->First(); !n->Eof(); n->Next())
                parts << n->FieldByName("Code")->AsString() + '/' + n->FieldByName("Qty")->AsString();
            line += '[' + parts.join(',') + ']';
        }
        lines << line;
    }
    return lines;
}

QStringList Dump(const QString& path)
{
    TClientDataSet ds;
    ds.SetReadOnly(true);
    ds.SetFileName(path);
    ds.Open();
    return Dump(ds);
}

QStringList Sorted(QStringList lines)
{
    lines.sort();
    return lines;
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

const QList<TRec> SourceRows{{1, "src one", {{"a", 1}}}, {2, "src two", {{"b", 2}, {"c", 3}}}, {3, "src three", {}}};
const QList<TRec> DestRows{{2, "dst two", {{"x", 9}}}, {3, "dst three", {}}, {4, "dst four", {{"y", 8}}}};

struct MigrateFixture : ::testing::Test {
    QTemporaryDir Dir;
    std::unique_ptr<TFrmMigrate> Form;
    QStringList Shown;   // messages the application would have shown

    void SetUp() override
    {
        TDialogSeam::Clear();
        Application()->OnException = [this](const std::exception& e) {
            const auto* ex = dynamic_cast<const Exception*>(&e);
            if (!dynamic_cast<const EAbort*>(&e)) Shown << (ex ? ex->Message() : QString::fromUtf8(e.what()));
        };
        Form = std::make_unique<TFrmMigrate>();
    }
    void TearDown() override
    {
        Form.reset();
        Application()->OnException = nullptr;
        AtomicFileWriterReset();
        Settle();
    }
    static void AtomicFileWriterReset() { TAtomicFileWriter::InjectWriteFailure(-1, 0); }
    QString Path(const QString& name) const { return Dir.filePath(name); }

    // Source and destination chosen, pairs as given (Add All when empty), mode and locate fields.
    void Choose(const QString& source, const QString& dest, int mode, const QStringList& pairs = {},
                const QString& sourceLocate = {}, const QString& destLocate = {})
    {
        Form->EdtToDoSource->SetText(source);
        Form->SetDestination(dest);
        Form->rgUpdateMode->SetItemIndex(mode);
        if (pairs.isEmpty()) {
            Form->btnAddAllClick();
        } else {
            Form->LBoxResult->clear();
            Form->LBoxResult->addItems(pairs);
        }
        if (!sourceLocate.isEmpty()) Form->EdtSourceField->setCurrentIndex(Form->EdtSourceField->findText(sourceLocate));
        if (!destLocate.isEmpty()) Form->EdtDestField->setCurrentIndex(Form->EdtDestField->findText(destLocate));
    }
    QStringList Pairs() const
    {
        QStringList lines;
        for (int i = 0; i < Form->LBoxResult->count(); ++i) lines << Form->LBoxResult->item(i)->text();
        return lines;
    }
};

// ---------------------------------------------------------------------------------------------
// The six modes

struct ModeCase {
    const char* Name;
    int Mode;
    bool Locate;
    bool Nested;
    QStringList Expected;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.Name; }

struct MigrateModes : MigrateFixture, ::testing::WithParamInterface<ModeCase> {};

TEST_P(MigrateModes, DestinationHoldsWhatTheModeMakes)
{
    const ModeCase& c = GetParam();
    WriteData(Path("source.cds"), SourceRows, c.Nested);
    WriteData(Path("dest.cds"), DestRows, c.Nested);
    Choose(Path("source.cds"), Path("dest.cds"), c.Mode, {}, c.Locate ? "ID" : "", c.Locate ? "ID" : "");
    ASSERT_TRUE(Form->actSelectedFieldListMigrate->isEnabled());
    Form->MigrateRecords();
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
    EXPECT_EQ(Dump(*Form->cdsDest), c.Expected);
    // The file keeps the changes in its change log, where new records follow the old ones.
    EXPECT_EQ(Sorted(Dump(Path("dest.cds"))), Sorted(c.Expected));
    // The window is usable again.
    EXPECT_TRUE(Form->EdtToDoSource->isEnabled());
    EXPECT_TRUE(Form->actSelectedFieldListMigrate->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, MigrateModes,
    ::testing::Values(
        ModeCase{"Append", umAppend, false, false,
                 {"2:dst two", "3:dst three", "4:dst four", "1:src one", "2:src two", "3:src three"}},
        // Each insert goes before the record inserted last.
        ModeCase{"Insert", umInsert, false, false,
                 {"3:src three", "2:src two", "1:src one", "2:dst two", "3:dst three", "4:dst four"}},
        ModeCase{"UpdateByLocate", umUpdate, true, false, {"2:src two", "3:src three", "4:dst four"}},
        ModeCase{"UpdateByPosition", umUpdate, false, false, {"1:src one", "2:src two", "3:src three"}},
        ModeCase{"AppendUpdate", umAppendUpdate, true, false, {"2:src two", "3:src three", "4:dst four", "1:src one"}},
        ModeCase{"Delete", umDelete, true, false, {"4:dst four"}},
        ModeCase{"AppendNested", umAppend, false, true,
                 {"2:dst two[x/9]", "3:dst three[]", "4:dst four[y/8]", "1:src one[a/1]", "2:src two[b/2,c/3]",
                  "3:src three[]"}},
        // Matched records keep their nested records and get the source's beside them.
        ModeCase{"UpdateNested", umUpdate, true, true,
                 {"2:src two[x/9,b/2,c/3]", "3:src three[]", "4:dst four[y/8]"}},
        ModeCase{"AppendUpdateNested", umAppendUpdate, true, true,
                 {"2:src two[x/9,b/2,c/3]", "3:src three[]", "4:dst four[y/8]", "1:src one[a/1]"}},
        ModeCase{"DeleteNested", umDelete, true, true, {"4:dst four[y/8]"}}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.Name); });

TEST_F(MigrateFixture, UpdateByPositionKeepsChangingTheLastRecordPastTheEnd)
{
    WriteData(Path("source.cds"), SourceRows, false);
    WriteData(Path("dest.cds"), {{7, "only", {}}}, false);
    Choose(Path("source.cds"), Path("dest.cds"), umUpdate, {"Name=Name"});
    Form->MigrateRecords();
    EXPECT_EQ(Dump(Path("dest.cds")), QStringList{"7:src three"});
}

TEST_F(MigrateFixture, DeleteRemovesEveryMatchAndCountsEachStep)
{
    WriteData(Path("source.cds"), {{5, "s", {}}, {6, "t", {}}}, false);
    WriteData(Path("dest.cds"), {{5, "a", {}}, {1, "b", {}}, {5, "c", {}}, {5, "d", {}}}, false);
    Choose(Path("source.cds"), Path("dest.cds"), umDelete, {}, "ID", "ID");
    Form->MigrateRecords();
    EXPECT_EQ(Dump(Path("dest.cds")), QStringList{"1:b"});
    // Three deletions and one miss for ID 5, one miss for ID 6.
    EXPECT_EQ(Form->StatusBar->Panels()[0]->Text(), "Rec: 5");
}

TEST_F(MigrateFixture, AppendCountsTheRecordsInTheStatusBar)
{
    WriteData(Path("source.cds"), SourceRows, false);
    WriteData(Path("dest.cds"), {}, false);
    Choose(Path("source.cds"), Path("dest.cds"), umAppend);
    Form->MigrateRecords();
    EXPECT_EQ(Form->StatusBar->Panels()[0]->Text(), "Rec: 3");
    EXPECT_EQ(Dump(Path("dest.cds")).size(), 3);
}

TEST_F(MigrateFixture, LocateFindsTheFirstMatchExactlyAndCaseSensitively)
{
    // Keys on a text field: "ab" must not match "AB" or "abc".
    TClientDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("Name", ftString, 20);
    ds.CreateDataSet();
    for (auto [id, name] : std::initializer_list<std::pair<int, const char*>>{{1, "AB"}, {2, "abc"}, {3, "ab"}, {4, "ab"}}) {
        ds.Append();
        ds.FieldByName("ID")->SetAsInteger(id);
        ds.FieldByName("Name")->SetAsString(name);
        ds.Post();
    }
    ds.SaveToFile(Path("dest.cds"));
    WriteData(Path("source.cds"), {{99, "ab", {}}}, false);
    Choose(Path("source.cds"), Path("dest.cds"), umUpdate, {"ID=ID"}, "Name", "Name");
    Form->MigrateRecords();
    EXPECT_EQ(Dump(Path("dest.cds")), (QStringList{"1:AB", "2:abc", "99:ab", "4:ab"}));
}

TEST_F(MigrateFixture, CopyCreatesTheDestinationWithTheSourceStructure)
{
    for (const QString name : {"copy.cds", "copy.XML"}) {
        SCOPED_TRACE(name.toStdString());
        WriteData(Path("source.cds"), SourceRows, true);
        Choose(Path("source.cds"), Path(name), umCopy, {"ID=ID"});
        Form->MigrateRecords();
        EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
        // Every source field to the field of the same name.
        EXPECT_EQ(Pairs(), (QStringList{"ID=ID", "Name=Name", "Items=Items"}));
        EXPECT_EQ(Dump(Path(name)), (QStringList{"1:src one[a/1]", "2:src two[b/2,c/3]", "3:src three[]"}));
        // The new file is the destination whose fields the window lists.
        EXPECT_EQ(Form->cdsDestFields->RecordCount(), 3);
        EXPECT_EQ(Form->EdtDestField->count(), 3);
        const QByteArray head = ReadWholeFile(Path(name)).left(4);
        EXPECT_EQ(head, name.endsWith("XML") ? QByteArray("<?xm") : QByteArray("\x96\x19\xe0\xbd", 4));
    }
}

TEST_F(MigrateFixture, CopyRefusesAnExistingFile)
{
    WriteData(Path("source.cds"), SourceRows, false);
    WriteData(Path("dest.cds"), DestRows, false);
    const QByteArray before = ReadWholeFile(Path("dest.cds"));
    Choose(Path("source.cds"), Path("dest.cds"), umCopy);
    EXPECT_TRUE(ErrorOf([&] { Form->MigrateRecords(); }).contains("exists"));
    EXPECT_EQ(ReadWholeFile(Path("dest.cds")), before);
}

TEST_F(MigrateFixture, ALongRunKeepsTheWindowAliveWithItsCommandsDisabled)
{
    QList<TRec> many;
    for (int i = 0; i < 60000; ++i) many.append({i, QString("n%1").arg(i), {}});
    WriteData(Path("source.cds"), many, false);
    WriteData(Path("dest.cds"), {}, false);
    Choose(Path("source.cds"), Path("dest.cds"), umAppend);
    int ticks = 0;
    bool busy = true, disabled = true, counting = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        busy = busy && Application()->Busy();
        disabled = disabled && !Form->actSelectedFieldListMigrate->isEnabled() && !Form->btnAdd->isEnabled()
                   && !Form->EdtToDoSource->isEnabled() && !Form->LBoxResult->isEnabled();
        counting = counting || Form->StatusBar->Panels()[0]->Text() != "Rec:";
        // A second start inside the run does nothing.
        Form->MigrateRecords();
    });
    timer.start(1);
    Form->MigrateRecords();
    timer.stop();
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(busy);
    EXPECT_TRUE(disabled);
    EXPECT_TRUE(counting);
    EXPECT_EQ(Form->StatusBar->Panels()[0]->Text(), "Rec: 60000");
    EXPECT_EQ(Dump(Path("dest.cds")).size(), 60000);
    EXPECT_TRUE(Form->actSelectedFieldListMigrate->isEnabled());
    EXPECT_FALSE(Application()->Busy());
}

// ---------------------------------------------------------------------------------------------
// Refusals and failures leave the destination alone

TEST_F(MigrateFixture, RefusalsChangeNothing)
{
    WriteData(Path("source.cds"), SourceRows, false);
    WriteData(Path("dest.cds"), DestRows, false);
    const QByteArray before = ReadWholeFile(Path("dest.cds"));
    struct Case {
        const char* Name;
        int Mode;
        QStringList Pairs;
        QString SourceLocate, DestLocate;
        QString Expected;
    };
    const Case cases[] = {
        {"delete without locate fields", umDelete, {"ID=ID"}, "", "", "no fields to match"},
        {"one locate field", umUpdate, {"ID=ID"}, "ID", "", "on both sides"},
        {"source field missing", umAppend, {"Nope=ID"}, "", "", "The source has no field 'Nope'"},
        {"destination field missing", umAppend, {"ID=Nope"}, "", "", "The destination has no field 'Nope'"},
        {"pair without =", umAppend, {"ID"}, "", "", "has no \"=\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Form = std::make_unique<TFrmMigrate>();
        Choose(Path("source.cds"), Path("dest.cds"), c.Mode, c.Pairs, c.SourceLocate, c.DestLocate);
        const QString error = ErrorOf([&] { Form->MigrateRecords(); });
        EXPECT_TRUE(error.contains(c.Expected)) << error.toStdString();
        EXPECT_EQ(ReadWholeFile(Path("dest.cds")), before);
        EXPECT_TRUE(Form->btnAdd->isEnabled());
    }
}

TEST_F(MigrateFixture, NestedFieldsPairOnlyWithNestedFields)
{
    WriteData(Path("source.cds"), SourceRows, true);
    WriteData(Path("dest.cds"), DestRows, true);
    for (const QString pair : {"Name=Items", "Items=Name"}) {
        Form = std::make_unique<TFrmMigrate>();
        Choose(Path("source.cds"), Path("dest.cds"), umAppend, {pair});
        EXPECT_TRUE(ErrorOf([&] { Form->MigrateRecords(); }).contains("must both be nested datasets")) << pair.toStdString();
    }
    EXPECT_EQ(Dump(Path("dest.cds")).size(), 3);
}

TEST_F(MigrateFixture, AFailedRecordStopsTheRunAndLeavesTheDestinationAsItWas)
{
    // Name text into the integer ID: the second source record cannot convert.
    TClientDataSet src;
    src.FieldDefs().Add("ID", ftInteger);
    src.FieldDefs().Add("Name", ftString, 20);
    src.CreateDataSet();
    for (auto [id, name] : std::initializer_list<std::pair<int, const char*>>{{1, "10"}, {2, "eleven"}, {3, "12"}}) {
        src.Append();
        src.FieldByName("ID")->SetAsInteger(id);
        src.FieldByName("Name")->SetAsString(name);
        src.Post();
    }
    src.SaveToFile(Path("source.cds"));
    WriteData(Path("dest.cds"), DestRows, false);
    const QByteArray before = ReadWholeFile(Path("dest.cds"));
    Choose(Path("source.cds"), Path("dest.cds"), umAppend, {"Name=ID", "Name=Name"});
    const QString error = ErrorOf([&] { Form->MigrateRecords(); });
    EXPECT_TRUE(error.startsWith("The migration stopped at source record 2: ")) << error.toStdString();
    EXPECT_TRUE(error.contains("left as it was"));
    EXPECT_EQ(ReadWholeFile(Path("dest.cds")), before);
    EXPECT_EQ(Form->cdsDest->RecordCount(), 3);
    EXPECT_TRUE(Form->EdtToDoDest->isEnabled());

    // A later run works on the file as it is.
    Form->LBoxResult->clear();
    Form->LBoxResult->addItems({"ID=ID", "Name=Name"});
    Form->MigrateRecords();
    EXPECT_EQ(Dump(Path("dest.cds")),
              (QStringList{"2:dst two", "3:dst three", "4:dst four", "1:10", "2:eleven", "3:12"}));
}

TEST_F(MigrateFixture, AFailedSaveLeavesTheDestinationAsItWas)
{
    WriteData(Path("source.cds"), SourceRows, false);
    WriteData(Path("dest.cds"), DestRows, false);
    const QByteArray before = ReadWholeFile(Path("dest.cds"));
    Choose(Path("source.cds"), Path("dest.cds"), umAppend);
    TAtomicFileWriter::InjectWriteFailure(10, ENOSPC);
    const QString error = ErrorOf([&] { Form->MigrateRecords(); });
    TAtomicFileWriter::InjectWriteFailure(-1, 0);
    EXPECT_FALSE(error.contains("source record")) << error.toStdString();
    EXPECT_TRUE(error.contains("left as it was")) << error.toStdString();
    EXPECT_EQ(ReadWholeFile(Path("dest.cds")), before);
    EXPECT_EQ(Form->cdsDest->RecordCount(), 3);
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 2);

    // Copy into a new file: nothing is left behind.
    Form = std::make_unique<TFrmMigrate>();
    Choose(Path("source.cds"), Path("new.cds"), umCopy);
    TAtomicFileWriter::InjectWriteFailure(10, ENOSPC);
    ErrorOf([&] { Form->MigrateRecords(); });
    TAtomicFileWriter::InjectWriteFailure(-1, 0);
    EXPECT_FALSE(QFile::exists(Path("new.cds")));
    EXPECT_FALSE(Form->cdsDest->Active());
}

TEST_F(MigrateFixture, ADestinationChangedOnDiskIsReadAgainBeforeTheRun)
{
    WriteData(Path("source.cds"), {{1, "s", {}}}, false);
    WriteData(Path("dest.cds"), {{7, "old", {}}}, false);
    Choose(Path("source.cds"), Path("dest.cds"), umAppend);
    // Someone else saves the file after it was chosen.
    WriteData(Path("dest.cds"), {{7, "old", {}}, {8, "theirs", {}}}, false);
    Form->MigrateRecords();
    EXPECT_EQ(Dump(Path("dest.cds")), (QStringList{"7:old", "8:theirs", "1:s"}));
}

TEST_F(MigrateFixture, AnEditableDataWindowOnTheDestinationRefusesTheRun)
{
    WriteData(Path("source.cds"), SourceRows, false);
    WriteData(Path("dest.cds"), DestRows, false);
    const QByteArray before = ReadWholeFile(Path("dest.cds"));
    auto window = std::make_unique<TFakeDataWindow>();
    window->SetCaption("View Data " + Path("dest.cds"));
    window->show();
    Choose(Path("source.cds"), Path("dest.cds"), umAppend);
    const QString error = ErrorOf([&] { Form->MigrateRecords(); });
    EXPECT_TRUE(error.contains("\"View Data " + Path("dest.cds") + "\"")) << error.toStdString();
    EXPECT_EQ(ReadWholeFile(Path("dest.cds")), before);

    // A read-only one does not stand in the way.
    window->ReadOnly = true;
    Form->MigrateRecords();
    EXPECT_EQ(Dump(Path("dest.cds")).size(), 6);
}

// ---------------------------------------------------------------------------------------------
// Field lists and pairs

TEST_F(MigrateFixture, AddAllPairsByPositionAndRepeatsTheLastDestinationField)
{
    TClientDataSet five;
    for (const char* name : {"A", "B", "C", "D", "E"}) five.FieldDefs().Add(name, ftInteger);
    five.CreateDataSet();
    five.SaveToFile(Path("five.cds"));
    TClientDataSet three;
    for (const char* name : {"X", "Y", "Z"}) three.FieldDefs().Add(name, ftString, 5);
    three.CreateDataSet();
    three.SaveToFile(Path("three.cds"));

    Choose(Path("five.cds"), Path("three.cds"), umAppend);
    EXPECT_EQ(Pairs(), (QStringList{"A=X", "B=Y", "C=Z", "D=Z", "E=Z"}));
    EXPECT_EQ(Form->labSource->text(), "Rec: 1 / 5");
    EXPECT_EQ(Form->labDest->text(), "Rec: 1 / 3");
    EXPECT_EQ(Form->EdtSourceField->count(), 5);
    EXPECT_EQ(Form->EdtSourceField->currentIndex(), -1);
    EXPECT_EQ(Form->EdtDestField->count(), 3);

    Form->rgUpdateMode->SetItemIndex(umCopy);
    Form->btnAddAllClick();
    EXPECT_EQ(Pairs(), (QStringList{"A=A", "B=B", "C=C", "D=D", "E=E"}));

    // One pair by the current rows, once whatever its case.
    Form->LBoxResult->clear();
    Form->cdsSourceFields->Last();
    Form->cdsDestFields->Next();
    EXPECT_EQ(Form->labSource->text(), "Rec: 5 / 5");
    Form->btnAddClick();
    Form->LBoxResult->item(0)->setText("e=y");
    Form->btnAddClick();
    EXPECT_EQ(Pairs(), QStringList{"e=y"});

    // Delete needs a selected line; Delete All empties.
    Form->btnAddAllClick();
    Form->LBoxResult->clearSelection();
    Form->actSelectedFieldListDeleteExecute();
    EXPECT_EQ(Pairs().size(), 5);
    Form->LBoxResult->item(1)->setSelected(true);
    Form->actSelectedFieldListDeleteExecute();
    EXPECT_EQ(Pairs(), (QStringList{"A=A", "C=C", "D=D", "E=E"}));
    EXPECT_TRUE(Form->actSelectedFieldListDeleteAll->isEnabled());
    Form->actSelectedFieldListDeleteAllExecute();
    EXPECT_TRUE(Pairs().isEmpty());
    EXPECT_FALSE(Form->actSelectedFieldListDelete->isEnabled());
    EXPECT_FALSE(Form->actSelectedFieldListMigrate->isEnabled());

    // A new source empties the pairs; a new destination does not.
    Form->btnAddAllClick();
    Form->SetDestination(Path("five.cds"));
    EXPECT_EQ(Pairs().size(), 5);
    Form->EdtToDoSource->SetText(Path("three.cds"));
    EXPECT_TRUE(Pairs().isEmpty());
}

TEST_F(MigrateFixture, UnknownSourcesAndDamagedFilesEndInAMessage)
{
    WriteWholeFile(Path("plain.cds"), "just some text, no packet");
    Form->EdtToDoSource->SetText(Path("plain.cds"));
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{Path("plain.cds") + " is neither a data packet nor a memory-table file."});

    WriteData(Path("good.cds"), SourceRows, true);
    const QByteArray good = ReadWholeFile(Path("good.cds"));
    for (int cut : {5, 30, int(good.size()) / 2, int(good.size()) - 3}) {
        WriteWholeFile(Path("cut.cds"), good.left(cut));
        Shown.clear();
        Form->EdtToDoSource->SetText(Path("good.cds"));
        Form->EdtToDoSource->SetText(Path("cut.cds"));
        EXPECT_EQ(Shown.size(), 1) << cut;
        Shown.clear();
        Form->SetDestination(Path("cut.cds"));
        EXPECT_EQ(Shown.size(), 1) << cut;
        EXPECT_FALSE(Form->cdsDest->Active());
    }
    for (const char* name : {"broken.db", "broken.dbf", "broken.mdb"}) {
        WriteWholeFile(Path(name), QByteArray(300, '\x07'));
        Shown.clear();
        Form->EdtToDoSource->SetText(Path(name));
        EXPECT_EQ(Shown.size(), 1) << name;
    }
    // A memory-table file is no destination.
    TzohMemTable mt;
    mt.FieldDefs().Add("A", ftInteger);
    mt.Open();
    mt.SaveBinaryFile(Path("mem.dat"), {mtfSaveData, mtfSaveDef});
    Shown.clear();
    Form->SetDestination(Path("mem.dat"));
    ASSERT_EQ(Shown.size(), 1);
    EXPECT_TRUE(Shown[0].contains("memory-table")) << Shown[0].toStdString();
}

// ---------------------------------------------------------------------------------------------
// Other sources

TEST_F(MigrateFixture, MemoryTableSourceMigrates)
{
    TzohMemTable mt;
    mt.FieldDefs().Add("ID", ftInteger);
    mt.FieldDefs().Add("Name", ftString, 20);
    mt.Open();
    for (int i = 1; i <= 4; ++i) {
        mt.Append();
        mt.FieldByName("ID")->SetAsInteger(i * 10);
        mt.FieldByName("Name")->SetAsString(QString("mem %1").arg(i));
        mt.Post();
    }
    mt.SaveBinaryFile(Path("mem.dat"), {mtfSaveData, mtfSaveDef});
    WriteData(Path("dest.cds"), {{20, "old", {}}}, false);
    Choose(Path("mem.dat"), Path("dest.cds"), umAppendUpdate, {"ID=ID", "Name=Name"}, "ID", "ID");
    Form->MigrateRecords();
    EXPECT_EQ(Dump(Path("dest.cds")), (QStringList{"20:mem 2", "10:mem 1", "30:mem 3", "40:mem 4"}));
}

TEST_F(MigrateFixture, CopySourceStructureNamesTheNewFileBesideTheSource)
{
    QUARROW_NEED_SAMPLES();
    const QString tables = SamplesDir() + "/tables/paradox/p4-tables/AREACODE.DB";
    ASSERT_TRUE(QFile::copy(tables, Path("orders.db")));
    WriteData(Path("orders.cds"), {}, false);
    Form->EdtToDoSource->SetText(Path("orders.db"));
    ASSERT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
    ASSERT_TRUE(Form->actCopySourceStruct->isEnabled());
    Form->actCopySourceStructExecute();
    EXPECT_EQ(Form->EdtToDoDest->Text(), Path("Copy of orders.cds"));
    Form->actCopySourceStructExecute();
    EXPECT_EQ(Form->EdtToDoDest->Text(), Path("Copy of Copy of orders.cds"));
    // The new file has the source's fields, and they are now the destination's.
    EXPECT_EQ(Form->cdsDestFields->RecordCount(), 4);
    TClientDataSet made;
    made.SetFileName(Path("Copy of orders.cds"));
    made.Open();
    ASSERT_EQ(made.FieldDefs().Count(), 4);
    EXPECT_EQ(made.FieldDefs()[1]->Name(), "Country");
    EXPECT_EQ(made.FieldDefs()[1]->DataType(), ftString);
    EXPECT_EQ(made.FieldDefs()[1]->Size(), 30);
    EXPECT_EQ(made.RecordCount(), 0);
}

TEST_F(MigrateFixture, TextTheDestinationCannotHoldStopsTheRunAndChangesNothing)
{
    // No character turns into "?": the run stops, naming the field and the record.
    TClientDataSet source;
    source.FieldDefs().Add("ID", ftInteger);
    source.FieldDefs().Add("Name", ftWideString, 20);
    source.CreateDataSet();
    for (const auto& [id, name] : QList<std::pair<int, QString>>{{1, "plain"}, {2, QString::fromUtf8("Привет")}}) {
        source.Append();
        source.FieldByName("ID")->SetAsInteger(id);
        source.FieldByName("Name")->SetAsString(name);
        source.Post();
    }
    source.SaveToFile(Path("wide.cds"));
    WriteData(Path("dest.cds"), DestRows, false);   // Name: 8-bit text in the default code page
    const QByteArray before = ReadWholeFile(Path("dest.cds"));
    Choose(Path("wide.cds"), Path("dest.cds"), umAppend, {"ID=ID", "Name=Name"});
    EXPECT_EQ(ErrorOf([&] { Form->MigrateRecords(); }),
              QString::fromUtf8("The migration stopped at source record 2: the destination field 'Name' (code page 1252) "
                                "cannot hold the character \"П\" of the source field 'Name'\n"
                                "The destination was left as it was."));
    EXPECT_EQ(ReadWholeFile(Path("dest.cds")), before);
    EXPECT_EQ(Dump(*Form->cdsDest), Dump(Path("dest.cds")));
}

TEST_F(MigrateFixture, CopySourceStructureKeepsTextOfAnotherCodePageWhole)
{
    QUARROW_NEED_SAMPLES();
    // A dBASE table in code page 1251: its text fields become wide strings, and every
    // Cyrillic letter arrives as it is.
    ASSERT_TRUE(QFile::copy(SamplesDir() + "/tables/dbase/vfp/cp1251.dbf", Path("cp1251.dbf")));
    Form->EdtToDoSource->SetText(Path("cp1251.dbf"));
    ASSERT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
    Form->actCopySourceStructExecute();
    ASSERT_EQ(Form->EdtToDoDest->Text(), Path("cp1251.cds"));
    TTable table;
    table.SetTableName(Path("cp1251.dbf"));
    table.Open();
    TClientDataSet made;
    made.SetFileName(Path("cp1251.cds"));
    made.Open();
    QStringList texts;
    for (TField* f : table.Fields())
        if (f->DataType() == ftString) {
            texts << f->FieldName();
            EXPECT_EQ(made.FieldByName(f->FieldName())->DataType(), ftWideString) << f->FieldName().toStdString();
        }
    ASSERT_FALSE(texts.isEmpty());
    made.Close();

    Form->rgUpdateMode->SetItemIndex(umAppend);
    Form->btnAddAllClick();
    Form->MigrateRecords();
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
    made.Open();
    ASSERT_EQ(made.RecordCount(), table.RecordCount());
    bool cyrillic = false;
    for (table.First(), made.First(); !table.Eof(); table.Next(), made.Next())
        for (const QString& name : texts) {
            const QString text = table.FieldByName(name)->AsString();
            EXPECT_EQ(made.FieldByName(name)->AsString(), text) << name.toStdString();
            for (QChar c : text) cyrillic |= c.unicode() >= 0x400 && c.unicode() < 0x500;
        }
    EXPECT_TRUE(cyrillic);
}

TEST_F(MigrateFixture, AutoIncrementKeysAreCarriedByEveryMode)
{
    // Copy Source Structure, Add All, Start: the obvious path works as Copy does, with the
    // source's key values.
    TClientDataSet source;
    source.FieldDefs().Add("CustNo", ftAutoInc);
    source.FieldDefs().Add("Company", ftString, 30);
    source.CreateDataSet();
    TField* key = source.FieldByName("CustNo");
    key->SetReadOnly(false);
    for (int no : {1221, 1231, 1351}) {
        source.Append();
        key->SetAsInteger(no);
        source.FieldByName("Company")->SetAsString(QStringLiteral("Company %1").arg(no));
        source.Post();
    }
    source.SaveToFile(Path("customer.xml"));
    Form->EdtToDoSource->SetText(Path("customer.xml"));
    Form->actCopySourceStructExecute();
    ASSERT_EQ(Form->EdtToDoDest->Text(), Path("customer.cds"));
    Form->rgUpdateMode->SetItemIndex(umAppend);
    Form->btnAddAllClick();
    Form->MigrateRecords();
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
    TClientDataSet made;
    made.SetFileName(Path("customer.cds"));
    made.Open();
    EXPECT_EQ(made.FieldByName("CustNo")->DataType(), ftAutoInc);
    QStringList keys;
    for (made.First(); !made.Eof(); made.Next()) keys << made.FieldByName("CustNo")->AsString();
    EXPECT_EQ(keys, (QStringList{"1221", "1231", "1351"}));
    // The key stays the file's own afterwards: read-only, and a new record numbers on.
    EXPECT_TRUE(made.FieldByName("CustNo")->ReadOnly());
    made.Append();
    made.FieldByName("Company")->SetAsString("New");
    made.Post();
    EXPECT_EQ(made.FieldByName("CustNo")->AsInteger(), 1352);
}

TEST_F(MigrateFixture, AParadoxTableWithoutItsBlobFileGivesItsOtherFields)
{
    QUARROW_NEED_SAMPLES();
    ASSERT_TRUE(QFile::copy(SamplesDir() + "/tables/paradox/p7-tables/CUSTOMER.DB", Path("CUSTOMER.DB")));
    TTable table;
    table.SetTableName(Path("CUSTOMER.DB"));
    table.Open();
    ASSERT_FALSE(table.MissingCompanionFile().isEmpty());
    const QStringList blobs = table.CompanionFields();
    ASSERT_FALSE(blobs.isEmpty());
    for (int mode : {umCopy, umAppend}) {
        SCOPED_TRACE(mode);
        const QString result = Path(QStringLiteral("result%1.cds").arg(mode));
        if (mode == umAppend) {
            Form->EdtToDoSource->SetText(Path("CUSTOMER.DB"));
            Form->actCopySourceStructExecute();
            QFile::rename(Form->EdtToDoDest->Text(), result);
            Form->SetDestination(result);
            Form->rgUpdateMode->SetItemIndex(umAppend);
            Form->btnAddAllClick();
        } else {
            Choose(Path("CUSTOMER.DB"), result, umCopy);
        }
        TDialogSeam::Clear();
        Form->MigrateRecords();
        EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
        // Said once, before the run: which file is missing and which fields stay empty.
        ASSERT_EQ(TDialogSeam::Messages().size(), 1);
        EXPECT_EQ(TDialogSeam::Messages()[0], "The file " + Path("CUSTOMER.MB") + " is missing: the fields " + blobs.join(", ")
                                                  + " stay empty; the other fields are migrated.");
        TClientDataSet made;
        made.SetFileName(result);
        made.Open();
        ASSERT_EQ(made.RecordCount(), table.RecordCount());
        for (table.First(), made.First(); !table.Eof(); table.Next(), made.Next())
            for (TField* f : table.Fields()) {
                if (blobs.contains(f->FieldName())) {
                    EXPECT_TRUE(made.FieldByName(f->FieldName())->IsNull());
                } else {
                    EXPECT_EQ(made.FieldByName(f->FieldName())->AsString(), f->AsString()) << f->FieldName().toStdString();
                }
            }
    }
}

TEST_F(MigrateFixture, WideStringSizesStayCharacters)
{
    TClientDataSet wide;
    wide.FieldDefs().Add("W", ftWideString, 25);
    wide.CreateDataSet();
    wide.SaveToFile(Path("wide.xml"));
    Form->EdtToDoSource->SetText(Path("wide.xml"));
    Form->actCopySourceStructExecute();
    TClientDataSet made;
    made.SetFileName(Path("wide.cds"));
    made.Open();
    EXPECT_EQ(made.FieldDefs()[0]->DataType(), ftWideString);
    EXPECT_EQ(made.FieldDefs()[0]->Size(), 25);
}

struct TableCase {
    const char* Name;
    const char* File;      // under the samples' tables folder
    const char* Table;     // Access table, else empty
    int Records;
    const char* Field;     // a field and the text of the first record
    const char* FirstText;
};

void PrintTo(const TableCase& c, std::ostream* os) { *os << c.Name; }

struct MigrateTables : MigrateFixture, ::testing::WithParamInterface<TableCase> {};

TEST_P(MigrateTables, CopiedIntoANewDataFile)
{
    QUARROW_NEED_SAMPLES();
    const TableCase& c = GetParam();
    const QString sample = SamplesDir() + "/tables/" + c.File;
    const QString ext = QFileInfo(sample).suffix();
    if (ext.compare("mdb", Qt::CaseInsensitive) == 0 && !AccessDatabasesSupported()) GTEST_SKIP() << "no Access reader";
    // Copies: nothing is ever written beside the samples.
    const QString base = QFileInfo(sample).completeBaseName();
    for (const QFileInfo& f : QDir(QFileInfo(sample).absolutePath()).entryInfoList({base + ".*"}, QDir::Files))
        ASSERT_TRUE(QFile::copy(f.absoluteFilePath(), Path(f.fileName())));
    const QString source = Path(QFileInfo(sample).fileName());
    Form->EdtToDoSource->SetText(source);
    ASSERT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
    if (*c.Table) Form->EdtSourceTable->setCurrentText(c.Table);
    Form->rgUpdateMode->SetItemIndex(umCopy);
    Form->btnAddAllClick();
    Form->SetDestination(Path("result.cds"));
    Form->MigrateRecords();

    TClientDataSet result;
    result.SetReadOnly(true);
    result.SetFileName(Path("result.cds"));
    result.Open();
    EXPECT_EQ(result.RecordCount(), c.Records);
    EXPECT_EQ(result.FieldCount(), Form->cdsSourceFields->RecordCount());
    result.First();
    EXPECT_EQ(result.FieldByName(c.Field)->AsString(), QString::fromUtf8(c.FirstText));
}

INSTANTIATE_TEST_SUITE_P(
    Samples, MigrateTables,
    ::testing::Values(
        TableCase{"Paradox", "paradox/p7-tables/CUSTOMER.DB", "", 20, "Comments", "Small comment (less 100 symbols)"},
        TableCase{"dBASE", "dbase/dbase4-7/dbase_8b.dbf", "", 10, "MEMO", "First memo\r\n"},
        TableCase{"AccessJet4", "access/jet4/testUnicodeCompV2003.mdb", "", 8, "Unicode", "only ascii chars"},
        TableCase{"AccessJet3SecondTable", "access/jet3/testV1997.mdb", "Table1", 2, "A", "a"}),
    [](const ::testing::TestParamInfo<TableCase>& info) { return std::string(info.param.Name); });

// Every real table, each table of every Access database: Copy makes a data file that shows
// every value as the source shows it (8-bit text in another code page included).
TEST_F(MigrateFixture, EverySampleTableCopiesWithItsValues)
{
    QUARROW_NEED_SAMPLES();
    QDirIterator it(SamplesDir() + "/tables", {"*.db", "*.DB", "*.dbf", "*.mdb"}, QDir::Files, QDirIterator::Subdirectories);
    int copied = 0;
    while (it.hasNext()) {
        const QString file = it.next();
        const QString name = file.mid(SamplesDir().size());
        SCOPED_TRACE(name.toStdString());
        const bool access = file.endsWith(".mdb");
        if (access && !AccessDatabasesSupported()) continue;
        Shown.clear();
        Form = std::make_unique<TFrmMigrate>();
        Form->EdtToDoSource->SetText(file);
        if (name.contains("encrypted")) {
            ASSERT_EQ(Shown.size(), 1);
            EXPECT_TRUE(Shown[0].contains("encrypted")) << Shown[0].toStdString();
            continue;
        }
        ASSERT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
        const int tables = access ? Form->EdtSourceTable->count() : 1;
        for (int t = 0; t < tables; ++t) {
            if (access) Form->EdtSourceTable->setCurrentIndex(t);
            const QString dest = Path(QString("copy%1-%2.cds").arg(copied).arg(t));
            Form->rgUpdateMode->SetItemIndex(umCopy);
            Form->SetDestination(dest);
            const QString error = ErrorOf([&] { Form->MigrateRecords(); });
            ASSERT_EQ(error, "(no error)");
            // Its memo file is not there: said before the run, and the memos stay empty.
            const bool memoMissing = name.endsWith("dbase_8c.dbf");
            TDataSet* source = access ? static_cast<TDataSet*>(Form->adoSource) : static_cast<TDataSet*>(Form->bdeSource);
            TClientDataSet result;
            result.SetReadOnly(true);
            result.SetFileName(dest);
            result.Open();
            ASSERT_EQ(result.FieldCount(), source->FieldCount());
            EXPECT_EQ(result.RecordCount(), source->RecordCount());
            int differences = 0;
            const QStringList empty = memoMissing ? Form->bdeSource->CompanionFields() : QStringList();
            EXPECT_EQ(empty.isEmpty(), !memoMissing);
            for (source->First(), result.First(); !source->Eof() && !result.Eof(); source->Next(), result.Next())
                for (int i = 0; i < source->FieldCount(); ++i)
                    if (empty.contains(source->Fields()[i]->FieldName())) {
                        EXPECT_TRUE(result.Fields()[i]->IsNull());
                    } else if (source->Fields()[i]->AsString() != result.Fields()[i]->AsString() && differences++ == 0)
                        ADD_FAILURE() << source->Fields()[i]->FieldName().toStdString() << ": "
                                      << source->Fields()[i]->AsString().toStdString() << " became "
                                      << result.Fields()[i]->AsString().toStdString();
            ++copied;
        }
    }
    EXPECT_GE(copied, 30);
}

TEST_F(MigrateFixture, AccessSourceListsItsTablesAndReadsTheChosenOne)
{
    QUARROW_NEED_SAMPLES();
    if (!AccessDatabasesSupported()) GTEST_SKIP() << "no Access reader";
    ASSERT_TRUE(QFile::copy(SamplesDir() + "/tables/access/jet3/testV1997.mdb", Path("test.mdb")));
    Form->EdtToDoSource->SetText(Path("test.mdb"));
    ASSERT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
    EXPECT_TRUE(Form->EdtSourceTable->isEnabled());
    QStringList tables;
    for (int i = 0; i < Form->EdtSourceTable->count(); ++i) tables << Form->EdtSourceTable->itemText(i);
    EXPECT_EQ(tables, (QStringList{"Table1", "Table2", "Table3", "Table4"}));
    EXPECT_EQ(Form->EdtSourceTable->currentText(), "Table1");
    EXPECT_EQ(Form->cdsSourceFields->RecordCount(), 9);
    Form->EdtSourceTable->setCurrentText("Table3");
    EXPECT_EQ(Form->cdsSourceFields->RecordCount(), 2);
    EXPECT_EQ(Form->EdtSourceField->count(), 2);
    // Copy Source Structure names the file after the table.
    Form->actCopySourceStructExecute();
    EXPECT_EQ(Form->EdtToDoDest->Text(), Path("Table3.cds"));

    // A second database replaces the first in the same window.
    ASSERT_TRUE(QFile::copy(SamplesDir() + "/tables/access/jet4/testUnicodeCompV2003.mdb", Path("uni.mdb")));
    Form->EdtToDoSource->SetText(Path("uni.mdb"));
    ASSERT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
    EXPECT_EQ(Form->EdtSourceTable->currentText(), "Table");
}

TEST_F(MigrateFixture, RegisteredAsTheProgramsMigrationWindow)
{
    RegisterWorkbenchWindows();
    std::unique_ptr<TMigrateWindowBase> window(NewMigrateWindow());
    SetDataWindowFactory(nullptr);
    SetStructureWindowFactory(nullptr);
    SetMigrateWindowFactory(nullptr);
    ASSERT_NE(qobject_cast<TFrmMigrate*>(window.get()), nullptr);
    EXPECT_EQ(window->Caption(), "Migrate");
}
} // namespace
