// The memory table as a dataset: the workbench's road through LoadBinaryFile, editing,
// versions, indexes, locate, files, blobs and the delta handler.

#include "memtable/zohFieldData.h"
#include "memtable/zohMemTable.h"
#include "platform/stream/ValueStream.h"
#include "platform/core/SysFormat.h"
#include "tests/common/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

namespace {

struct TFieldSpec { const char* name; TFieldType type; int size; };

const TFieldSpec kEveryKind[] = {
    {"S", ftString, 20}, {"Sm", ftSmallint, 0}, {"I", ftInteger, 0}, {"W", ftWord, 0}, {"B", ftBoolean, 0},
    {"F", ftFloat, 0}, {"C", ftCurrency, 0}, {"N", ftBCD, 4}, {"D", ftDate, 0}, {"T", ftTime, 0},
    {"DT", ftDateTime, 0}, {"By", ftBytes, 4}, {"VB", ftVarBytes, 6}, {"A", ftAutoInc, 0}, {"Bl", ftBlob, 0},
    {"M", ftMemo, 0}, {"G", ftGraphic, 0}, {"FM", ftFmtMemo, 0}, {"TB", ftTypedBinary, 0}, {"FC", ftFixedChar, 5},
    {"L", ftLargeint, 0},
};

std::unique_ptr<TzohMemTable> MakeTable(std::initializer_list<TFieldSpec> specs)
{
    auto t = std::make_unique<TzohMemTable>();
    for (const TFieldSpec& s : specs) t->FieldDefs().Add(QString::fromLatin1(s.name), s.type, s.size);
    return t;
}

std::unique_ptr<TzohMemTable> EveryKindTable()
{
    auto t = std::make_unique<TzohMemTable>();
    for (const TFieldSpec& s : kEveryKind) t->FieldDefs().Add(QString::fromLatin1(s.name), s.type, s.size);
    return t;
}

TVariant ValueFor(TFieldType type, int k)
{
    switch (type) {
    case ftString: return TVariant::FromAnsiString(QByteArray("Caf\xe9 ") + QByteArray::number(k));
    case ftFixedChar: return TVariant::FromAnsiString(QByteArray("fc") + QByteArray::number(k));
    case ftSmallint: return TVariant::FromSmallint(qint16(-300 + k));
    case ftInteger: return TVariant(int(100000 * k - 7));
    case ftWord: return TVariant::FromWord(quint16(65000 + k));
    case ftBoolean: return TVariant(k % 2 == 1);
    case ftFloat: return TVariant(1.0 / (k + 3));
    case ftCurrency: case ftBCD: return TVariant(TCurrency::FromScaled(123456 + k));
    case ftDate: return TVariant::FromDate(36526 + k);
    case ftTime: return TVariant::FromDate((3600 + k) / 86400.0);
    case ftDateTime: return TVariant::FromDate(36526.5 + k);
    case ftBytes: return TVariant::FromBytes(QByteArray("\x01\x02\x80", 3) + char(k));
    case ftVarBytes: return TVariant::FromBytes(QByteArray("\xff\x00z", 3).left(1 + k % 3));
    case ftAutoInc: return TVariant();
    case ftMemo: case ftFmtMemo: return TVariant::FromAnsiString(QByteArray("line\r\n50% \x80 ") + QByteArray::number(k));
    case ftLargeint: return TVariant((qint64(1) << 62) + k);
    default: {
        QByteArray all(256 + k, '\0');
        for (int i = 0; i < all.size(); ++i) all[i] = char(i * 7 + k);
        return TVariant::FromBytes(all);
    }
    }
}

void FillEveryKind(TzohMemTable& t, int records)
{
    for (int k = 0; k < records; ++k) {
        t.Append();
        for (TField* f : t.Fields())
            if (f->DataType() != ftAutoInc && k != 2) f->SetValue(ValueFor(f->DataType(), k));
        t.Post();
    }
}

QByteArray SaveToBytes(TzohMemTable& t, TzohMemTableSaveFlags o)
{
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    t.SaveBinaryStream(b, o);
    return out;
}

void LoadFromBytes(TzohMemTable& t, QByteArray bytes)
{
    QBuffer b(&bytes);
    b.open(QIODevice::ReadOnly);
    t.LoadBinaryStream(b);
}

const TzohMemTableSaveFlags kFull{mtfSaveData, mtfSaveNonVisible, mtfSaveBlobs, mtfSaveDef, mtfSaveIndexDef};

QString ErrorOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

} // namespace

TEST(MemTable, WorkbenchRoadThroughLoadBinaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("every.dat");
    {
        auto t = EveryKindTable();
        t->Open();
        t->FieldByName("S")->SetDisplayLabel("Label of S");
        t->FieldByName("I")->SetEditMask("999;0;_");
        t->FieldByName("I")->SetDisplayWidth(7);
        t->FieldByName("Sm")->SetDefaultExpression("5");
        FillEveryKind(*t, 4);
        t->FieldByName("F")->SetReadOnly(true);
        t->SaveBinaryFile(path, kFull);
    }
    ASSERT_EQ(ReadWholeFile(path).left(4), QByteArray("TPF0"));

    TzohMemTable mt;
    mt.Close();
    mt.LoadBinaryFile(path);
    ASSERT_TRUE(mt.Active());
    ASSERT_EQ(mt.FieldDefs().Count(), int(std::size(kEveryKind)));
    for (int i = 0; i < mt.FieldDefs().Count(); ++i) {
        EXPECT_EQ(mt.FieldDefs()[i]->Name(), QLatin1String(kEveryKind[i].name));
        EXPECT_EQ(mt.FieldDefs()[i]->DataType(), kEveryKind[i].type);
        EXPECT_EQ(mt.FieldDefs()[i]->Size(), kEveryKind[i].size);
        EXPECT_EQ(mt.FieldDefs()[i]->FieldNo(), i + 1);
    }
    EXPECT_EQ(mt.FieldByName("S")->DisplayLabel(), QStringLiteral("Label of S"));
    EXPECT_EQ(mt.FieldByName("I")->EditMask(), QStringLiteral("999;0;_"));
    EXPECT_EQ(mt.FieldByName("I")->DisplayWidth(), 7);
    EXPECT_TRUE(mt.FieldByName("F")->ReadOnly());
    EXPECT_EQ(mt.FieldByName("Sm")->DefaultExpression(), QStringLiteral("5"));

    int k = 0;
    for (mt.First(); !mt.Eof(); mt.Next(), ++k) {
        for (TField* f : mt.Fields()) {
            if (f->DataType() == ftAutoInc) {
                EXPECT_EQ(f->AsInteger(), k);   // AutoIncMinValue 0 is the first value
                continue;
            }
            if (k == 2 && f->FieldName() == "Sm") {
                EXPECT_EQ(f->AsInteger(), 5);   // its default expression
                continue;
            }
            if (k == 2) {
                EXPECT_TRUE(f->IsNull()) << f->FieldName().toStdString();
                continue;
            }
            TVariant expect = ValueFor(f->DataType(), k);
            if (f->DataType() == ftBytes) expect = TVariant::FromBytes(expect.AsBytes().leftJustified(4, '\0', true));
            EXPECT_TRUE(f->Value() == expect) << f->FieldName().toStdString() << " record " << k << ": "
                                               << VarToStr(f->Value()).toStdString();
        }
    }
    EXPECT_EQ(k, 4);
    mt.Close();
    EXPECT_FALSE(mt.Active());

    // Saving what was loaded gives the same bytes.
    TzohMemTable again;
    again.LoadBinaryFile(path);
    EXPECT_EQ(SaveToBytes(again, kFull), ReadWholeFile(path));
}

TEST(MemTable, ByteExactStreamOfATable)
{
    auto t = MakeTable({{"Name", ftString, 10}, {"Age", ftInteger, 0}});
    t->Open();
    t->FieldByName("Name")->SetDisplayWidth(10);
    t->Append();
    t->FieldByName("Name")->SetAsString("Smith");
    t->FieldByName("Age")->SetAsInteger(1000);
    t->Post();
    t->Append();
    t->Post();
    const QByteArray expected = QByteArray("TPF0") + QByteArray::fromHex("03fb0001") +
        QByteArray::fromHex("0604") + "Name" + QByteArray::fromHex("0606") + "String" + QByteArray::fromHex("020a0604") +
        "Name" + QByteArray::fromHex("0600020a08080604") + "Data" + QByteArray::fromHex("0600") +
        QByteArray::fromHex("0603") + "Age" + QByteArray::fromHex("0607") + "Integer" + QByteArray::fromHex("02000603") +
        "Age" + QByteArray::fromHex("060002") + QByteArray(1, char(t->FieldByName("Age")->DisplayWidth())) +
        QByteArray::fromHex("08080604") + "Data" + QByteArray::fromHex("0600") +
        QByteArray::fromHex("00" "0100" "01" "010200080605") + "Smith" + QByteArray::fromHex("0803e80300" "0102000909" "00" "00");
    EXPECT_EQ(SaveToBytes(*t, {mtfSaveData, mtfSaveDef}).toHex(), expected.toHex());
}

TEST(MemTable, OpeningAndEmptyTable)
{
    TzohMemTable none;
    EXPECT_EQ(ErrorOf([&] { none.Open(); }), QStringLiteral("There must be at least one field"));
    auto wide = MakeTable({{"W", ftWideString, 10}});
    EXPECT_EQ(ErrorOf([&] { wide->Open(); }), QStringLiteral("Fielddef W (W) Datatype 24 not supported.)"));
    auto t = MakeTable({{"I", ftInteger, 0}});
    t->Open();
    t->First();
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->RecNo(), -1);
    EXPECT_EQ(t->RecordCount(), 0);
}

TEST(MemTable, FilterHalvesTheRecords)
{
    auto t = MakeTable({{"I", ftInteger, 0}, {"S", ftString, 10}});
    t->Open();
    for (int i = 0; i < 40; ++i) {
        t->Append();
        t->FieldByName("I")->SetAsInteger(i);
        t->FieldByName("S")->SetAsString(i % 3 ? "Smith" : "Jones");
        t->Post();
    }
    t->SetFilter("I > 9 and S = 'Smith'");
    t->SetFiltered(true);
    int n = 0;
    for (t->First(); !t->Eof(); t->Next()) {
        EXPECT_GT(t->FieldByName("I")->AsInteger(), 9);
        EXPECT_NE(t->FieldByName("I")->AsInteger() % 3, 0);
        ++n;
    }
    EXPECT_EQ(t->RecordCount(), n);
    EXPECT_EQ(n, 20);
    EXPECT_FALSE(t->IsSequenced());
    t->SetFilter(QString());
    EXPECT_EQ(t->RecordCount(), 40);
    // FindFirst and FindNext use the filter while the table shows every record.
    t->SetFiltered(false);
    t->SetFilter("I >= 30 and I < 33");
    EXPECT_EQ(t->RecordCount(), 40);
    ASSERT_TRUE(t->FindFirst());
    EXPECT_EQ(t->FieldByName("I")->AsInteger(), 30);
    ASSERT_TRUE(t->FindNext());
    EXPECT_EQ(t->FieldByName("I")->AsInteger(), 31);
    t->SetFiltered(true);
    EXPECT_EQ(ErrorOf([&] { t->SetFilter("Nope(I) = 1"); }), QStringLiteral("Invalid function name NOPE"));
}

TEST(MemTable, VersioningAndTransactions)
{
    for (auto mode : {mtvm1SinceCheckPoint, mtvmAllSinceCheckPoint}) {
        auto t = MakeTable({{"I", ftInteger, 0}});
        t->SetEnableVersioning(true);
        t->SetVersioningMode(mode);
        t->Open();
        t->Insert();
        t->FieldByName("I")->SetAsInteger(1);
        t->Post();
        t->Edit();
        t->FieldByName("I")->SetAsInteger(2);
        t->Post();
        const TzohStoredRecord* r = t->CurrentStoredRecord();
        ASSERT_NE(r, nullptr);
        if (mode == mtvm1SinceCheckPoint) {
            EXPECT_EQ(r->UpdateStatus, usInserted);
            EXPECT_EQ(r->PreviousVersion, nullptr);
            EXPECT_EQ(ErrorOf([&] { t->StartTransaction(); }), QStringLiteral("Transactioning requires multiversion versioning."));
        } else {
            EXPECT_EQ(r->UpdateStatus, usModified);
            ASSERT_NE(r->PreviousVersion, nullptr);
            EXPECT_EQ(r->PreviousVersion->UpdateStatus, usInserted);
            t->Edit();
            t->FieldByName("I")->SetAsInteger(3);
            t->Post();
            EXPECT_NE(t->CurrentStoredRecord()->PreviousVersion->PreviousVersion, nullptr);
            t->StartTransaction();
            t->Edit();
            t->FieldByName("I")->SetAsInteger(4);
            t->Post();
            t->Rollback();
            EXPECT_EQ(t->FieldByName("I")->AsInteger(), 3);
        }
    }
}

TEST(MemTable, AttachedTablesShareRecords)
{
    auto a = MakeTable({{"I", ftInteger, 0}});
    TzohMemTable b;
    a->Open();
    EXPECT_EQ(ErrorOf([&] { b.SetAttachedTo(a.get()); }), QStringLiteral("Table must be closed for this operation."));
    a->Close();
    b.SetAttachedTo(a.get());
    EXPECT_EQ(a->AttachMaxCount(), 2);
    EXPECT_EQ(ErrorOf([&] { a->SetAttachedTo(a.get()); }), QStringLiteral("Cant attach memorytable to it self."));
    EXPECT_EQ(ErrorOf([&] { a->SetAttachMaxCount(0); }), QStringLiteral("Invalid argument."));
    TzohMemTable c;
    EXPECT_EQ(ErrorOf([&] { c.SetAttachedTo(&b); }), QStringLiteral("Cant attach to another table which itself is an attachment."));
    a->Open();
    b.Open();
    a->Append();
    a->FieldByName("I")->SetAsInteger(7);
    a->Post();
    EXPECT_EQ(b.RecordCount(), 1);
    b.First();
    EXPECT_EQ(b.FieldByName("I")->AsInteger(), 7);
    b.Edit();
    b.FieldByName("I")->SetAsInteger(8);
    b.Post();
    a->First();
    EXPECT_EQ(a->FieldByName("I")->AsInteger(), 8);

    // A table attached to one with field objects gets fields of the same shape and look.
    a->FieldByName("I")->SetDisplayLabel("Number");
    TzohMemTable loaded;
    LoadFromBytes(loaded, SaveToBytes(*a, {mtfSaveData, mtfSaveDef}));
    loaded.Close();
    TzohMemTable d;
    d.SetAttachedTo(&loaded);
    ASSERT_NE(d.FindField("I"), nullptr);
    EXPECT_EQ(d.FindField("I")->DisplayLabel(), QStringLiteral("Number"));
    EXPECT_TRUE(d.FindField("I")->Visible());
}

TEST(MemTable, AutoIncrementStartsAtTheMinimum)
{
    auto t = MakeTable({{"Id", ftAutoInc, 0}, {"S", ftString, 5}});
    t->SetAutoIncMinValue(100);
    t->Open();
    for (int i = 0; i < 2; ++i) {
        t->Append();
        t->FieldByName("S")->SetAsString("x");
        t->Post();
        EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 100 + i);
    }
}

TEST(MemTable, IndexesLocateAndLookup)
{
    auto t = MakeTable({{"Name", ftString, 12}, {"N", ftInteger, 0}});
    t->IndexDefs().Add("ByName", "Name", {});
    t->IndexDefs().Add("ByN", "N", ixUnique);
    t->Open();
    std::mt19937 rng(5);
    std::vector<QString> names;
    for (int i = 0; i < 100; ++i) {
        const QString name = QString(QChar('A' + int(rng() % 26))) + QChar('a' + int(rng() % 26)) + QString::number(i);
        names.push_back(name);
        t->Append();
        t->FieldByName("Name")->SetAsString(name);
        t->FieldByName("N")->SetAsInteger(i);
        t->Post();
    }
    t->Append();
    t->FieldByName("N")->SetAsInteger(5);
    EXPECT_EQ(ErrorOf([&] { t->Post(); }), QStringLiteral("Duplicate index value. Operation aborted."));
    t->Cancel();
    ASSERT_TRUE(t->Locate("N", TVariant(5)));
    t->Edit();
    t->FieldByName("Name")->SetAsString("Changed");
    t->Post();

    t->SetIndexName("ByName");
    EXPECT_TRUE(t->IsIndexField(t->FieldByName("Name")));
    EXPECT_FALSE(t->IsIndexField(t->FieldByName("N")));
    QString prev;
    int n = 0;
    for (t->First(); !t->Eof(); t->Next(), ++n) {
        const QString cur = t->FieldByName("Name")->AsString();
        if (n) {
            EXPECT_LE(QString::localeAwareCompare(prev.toUpper(), cur.toUpper()), 0) << prev.toStdString() << " " << cur.toStdString();
        }
        prev = cur;
    }
    EXPECT_EQ(n, 100);
    const std::vector<QString> byN = names;
    std::sort(names.begin(), names.end());
    for (const QString& probe : {names[10], names[50], names[99]}) {
        if (probe == byN[5]) continue;   // renamed above
        ASSERT_TRUE(t->Locate("Name", TVariant(probe)));
        EXPECT_EQ(t->FieldByName("Name")->AsString(), probe);
    }
    ASSERT_TRUE(t->Locate("Name", TVariant(QStringLiteral("Ch")), loPartialKey));
    EXPECT_EQ(t->FieldByName("Name")->AsString(), QStringLiteral("Changed"));
    EXPECT_FALSE(t->Locate("Name", TVariant(QStringLiteral("Ch"))));
    EXPECT_TRUE(t->Locate("Name", TVariant(QStringLiteral("changed")), loCaseInsensitive));
    const int here = t->RecNo();
    EXPECT_TRUE(t->Lookup("N", TVariant(1000), "Name").IsNull());
    EXPECT_EQ(t->RecNo(), here);
    EXPECT_EQ(t->Lookup("N", TVariant(7), "Name").AsString(), byN[7]);
    EXPECT_EQ(ErrorOf([&] { t->Locate("Name;N", TVariant(QStringLiteral("x"))); }), QStringLiteral("More fields than values"));
    t->SetFilter("N <> 7");
    t->SetFiltered(true);
    EXPECT_FALSE(t->Locate("N", TVariant(7)));
}

TEST(MemTable, DeltasDeletedRecordsLoadLimitAndRejection)
{
    auto t = MakeTable({{"I", ftInteger, 0}});
    t->SetEnableVersioning(true);
    t->Open();
    for (int i = 0; i < 25; ++i) {
        t->Append();
        t->FieldByName("I")->SetAsInteger(i);
        t->Post();
    }
    t->Store()->ClearAssigned();
    for (int id = 0; id < t->Store()->RecordCount(); ++id) t->Store()->Record(id)->UpdateStatus = usUnmodified;
    t->First();
    t->Edit();
    t->FieldByName("I")->SetAsInteger(100);
    t->Post();
    t->Last();
    t->Delete();
    const QByteArray bytes = SaveToBytes(*t, {mtfSaveData, mtfSaveDef, mtfSaveDeltas});
    TzohMemTable back;
    LoadFromBytes(back, bytes);
    EXPECT_EQ(back.RecordCount(), 24);
    back.First();
    EXPECT_EQ(back.FieldByName("I")->AsInteger(), 100);
    ASSERT_NE(back.CurrentStoredRecord()->PreviousVersion, nullptr);
    EXPECT_EQ(back.CurrentStoredRecord()->UpdateStatus, usModified);
    EXPECT_EQ(back.VersionValue(back.CurrentStoredRecord()->PreviousVersion, back.FieldByName("I")).AsInteger(), 0);

    TzohMemTable limited;
    limited.SetLoadLimit(10);
    LoadFromBytes(limited, bytes);
    EXPECT_EQ(limited.RecordCount(), 10);
    EXPECT_FALSE(limited.LoadedCompletely());

    TzohMemTable rejecting;
    rejecting.OnLoadRecord = [](TDataSet* ds, bool& accept) { accept = ds->FieldByName("I")->AsInteger() % 2 == 0; };
    LoadFromBytes(rejecting, bytes);
    EXPECT_EQ(rejecting.FieldCount(), 1);
    EXPECT_EQ(rejecting.RecordCount(), 12);
}

TEST(MemTable, DamagedFilesEndInErrors)
{
    auto t = EveryKindTable();
    t->Open();
    FillEveryKind(*t, 3);
    const QByteArray good = SaveToBytes(*t, kFull);
    for (int cut = 1; cut < good.size(); cut += 3) {
        TzohMemTable x;
        EXPECT_NE(ErrorOf([&] { LoadFromBytes(x, good.left(cut)); }), QStringLiteral("(no error)")) << cut;
    }
    // Flipped bits anywhere: a loaded table or a clear error, and the table stays usable.
    auto indexed = EveryKindTable();
    indexed->IndexDefs().Add("ByI", "I;S", ixDescending);
    indexed->Open();
    FillEveryKind(*indexed, 3);
    const QByteArray withIndex = SaveToBytes(*indexed, kFull);
    std::mt19937 rng(99);
    for (int i = 0; i < 600; ++i) {
        QByteArray bad = withIndex;
        const int at = int(rng() % bad.size());
        bad[at] = char(bad[at] ^ (1 << (rng() % 8)));
        TzohMemTable y;
        ErrorOf([&] { LoadFromBytes(y, bad); });
        ErrorOf([&] {
            for (y.First(); y.Active() && !y.Eof(); y.Next())
                for (TField* f : y.Fields()) f->AsString();
        });
    }
    TzohMemTable x;
    EXPECT_EQ(ErrorOf([&] { LoadFromBytes(x, QByteArray("PK\x03\x04 not a table")); }), QStringLiteral("Invalid stream format"));
    // One scratch table reads files of different shapes in turn, as the workbench's does.
    LoadFromBytes(x, withIndex);
    EXPECT_EQ(x.IndexDefs().Count(), 1);
    auto other = MakeTable({{"Other", ftInteger, 0}});
    other->Open();
    LoadFromBytes(x, SaveToBytes(*other, {mtfSaveData, mtfSaveDef}));
    EXPECT_EQ(x.FieldCount(), 1);
    EXPECT_EQ(x.IndexDefs().Count(), 0);
    QTemporaryDir dir;
    EXPECT_TRUE(ErrorOf([&] { x.LoadBinaryFile(dir.filePath("missing.dat")); }).startsWith("Cannot open file"));
}

TEST(MemTable, CSVFormat)
{
    auto t = MakeTable({{"Name", ftString, 20}, {"Age", ftInteger, 0}, {"Pic", ftBlob, 0}});
    t->Open();
    t->Append();
    t->FieldByName("Name")->SetAsBytes(QByteArray("50% \"off\"\r\nnow"));
    t->FieldByName("Age")->SetAsInteger(42);
    t->FieldByName("Pic")->SetAsBytes("abc");
    t->Post();
    t->Append();
    t->FieldByName("Name")->SetAsString(QString());
    t->FieldByName("Age")->SetAsInteger(43);
    t->Post();
    QByteArray out;
    {
        QBuffer b(&out);
        b.open(QIODevice::WriteOnly);
        t->SaveCSVStream(b, {mtfSaveData});
    }
    EXPECT_EQ(out, QByteArray("\"Name\",\"Age\",\"Pic\",\r\n\"50%% \"\"off\"\"%c%nnow\",\"42\",,\r\n\"\",\"43\",,\r\n"));
    out.clear();
    {
        QBuffer b(&out);
        b.open(QIODevice::WriteOnly);
        t->FieldByName("Age")->SetRequired(true);
        t->FieldByName("Age")->SetReadOnly(true);
        t->FieldByName("Age")->SetDefaultExpression("7");
        t->SaveCSVStream(b, {mtfSaveData, mtfSaveBlobs, mtfSaveDef});
    }
    const QByteArray ageLine = "\"Age=Integer,0,\"\"Age\"\",\"\"\"\"," + QByteArray::number(t->FieldByName("Age")->DisplayWidth()) +
                               ",REQ,RO,Data,\"\"7\"\"\"\r\n";
    EXPECT_TRUE(out.contains(ageLine)) << out.toStdString();
    EXPECT_TRUE(out.contains("\"A)V8\"")) << out.toStdString();
    TzohMemTable back;
    {
        QBuffer b(&out);
        b.open(QIODevice::ReadOnly);
        back.LoadCSVStream(b);
    }
    ASSERT_EQ(back.RecordCount(), 2);
    back.First();
    EXPECT_EQ(back.FieldByName("Name")->AsBytes(), QByteArray("50% \"off\"\r\nnow"));
    EXPECT_EQ(back.FieldByName("Pic")->AsBytes(), QByteArray("abc"));
    EXPECT_TRUE(back.FieldByName("Age")->Required());
    EXPECT_TRUE(back.FieldByName("Age")->ReadOnly());
    EXPECT_EQ(back.FieldByName("Age")->DefaultExpression(), QStringLiteral("7"));
    back.Next();
    EXPECT_FALSE(back.FieldByName("Name")->IsNull());
    EXPECT_TRUE(back.FieldByName("Pic")->IsNull());
    EXPECT_EQ(back.FieldByName("Age")->AsInteger(), 43);

    // A label holding ",RO" or ",REQ" is a label, not a marker.
    auto labelled = MakeTable({{"Car", ftString, 10}});
    labelled->Open();
    labelled->FieldByName("Car")->SetDisplayLabel("Car,ROOF,REQ");
    QByteArray defs;
    {
        QBuffer b(&defs);
        b.open(QIODevice::WriteOnly);
        labelled->SaveCSVStream(b, {mtfSaveData, mtfSaveDef});
    }
    TzohMemTable relabelled;
    {
        QBuffer b(&defs);
        b.open(QIODevice::ReadOnly);
        relabelled.LoadCSVStream(b);
    }
    EXPECT_EQ(relabelled.FieldByName("Car")->DisplayLabel(), QStringLiteral("Car,ROOF,REQ"));
    EXPECT_FALSE(relabelled.FieldByName("Car")->ReadOnly());
    EXPECT_FALSE(relabelled.FieldByName("Car")->Required());

    const QString before = FormatSettings.ShortDateFormat;
    t->SetFiltered(true);
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    EXPECT_EQ(ErrorOf([&] { t->SaveCSVStream(sink, {mtfSaveDeltas}); }), QStringLiteral("Saving deltas is supported only in binary format."));
    EXPECT_TRUE(t->Filtered());
    EXPECT_EQ(FormatSettings.ShortDateFormat, before);
}

TEST(MemTable, CSVRoundTripOfEveryKind)
{
    auto t = EveryKindTable();
    t->Open();
    FillEveryKind(*t, 4);
    QByteArray text;
    {
        QBuffer b(&text);
        b.open(QIODevice::WriteOnly);
        t->SaveCSVStream(b, {mtfSaveData, mtfSaveBlobs, mtfSaveDef, mtfSaveNonVisible});
    }
    TzohMemTable back;
    {
        QBuffer b(&text);
        b.open(QIODevice::ReadOnly);
        back.LoadCSVStream(b);
    }
    ASSERT_EQ(back.RecordCount(), 4);
    t->First();
    for (back.First(); !back.Eof(); back.Next(), t->Next()) {
        for (TField* f : back.Fields()) {
            const TVariant want = t->FieldByName(f->FieldName())->Value();
            const TVariant got = f->Value();
            if (f->DataType() == ftFloat && !want.IsNull()) {
                EXPECT_NEAR(got.AsDouble(), want.AsDouble(), 1e-14) << f->FieldName().toStdString();
            } else {
                EXPECT_TRUE(got == want) << f->FieldName().toStdString() << ": " << VarToStr(got).toStdString()
                                         << " / " << VarToStr(want).toStdString();
            }
        }
    }
}

TEST(MemTable, CompareHookOrdersAnIndex)
{
    auto t = MakeTable({{"S", ftString, 10}});
    t->IndexDefs().Add("ByLength", "S", {});
    // Orders by text length instead of by the text.
    t->OnCompareFields = [](TDataSet*, TField*, TField*, TFieldType, TzohMemTableCompareOptions, const TVariant& key,
                            const TVariant& value, bool&, int& result) {
        result = int(key.AsBytes().size()) - int(value.AsBytes().size());
    };
    t->Open();
    for (const char* s : {"ccc", "a", "bb", "dddd"}) {
        t->Append();
        t->FieldByName("S")->SetAsString(s);
        t->Post();
    }
    t->SetIndexName("ByLength");
    QStringList order;
    for (t->First(); !t->Eof(); t->Next()) order << t->FieldByName("S")->AsString();
    EXPECT_EQ(order, (QStringList{"a", "bb", "ccc", "dddd"}));
}

TEST(MemTable, CompressionHooksWrapTheStream)
{
    auto t = MakeTable({{"S", ftString, 10}});
    t->Open();
    t->Append();
    t->FieldByName("S")->SetAsString("packed");
    t->Post();
    auto reverse = [](QIODevice& in, QIODevice& out) {
        QByteArray b = in.readAll();
        std::reverse(b.begin(), b.end());
        out.write(b);
    };
    t->OnCompressSave = reverse;
    const QByteArray packed = SaveToBytes(*t, {mtfSaveData, mtfSaveDef});
    EXPECT_TRUE(packed.endsWith("0FPT"));
    TzohMemTable back;
    back.OnDecompressLoad = reverse;
    LoadFromBytes(back, packed);
    EXPECT_EQ(back.FieldByName("S")->AsString(), QStringLiteral("packed"));
}

TEST(MemTable, BlobStreamsAndDeltaHandler)
{
    auto t = MakeTable({{"I", ftInteger, 0}, {"M", ftMemo, 0}});
    t->SetEnableVersioning(true);
    t->SetVersioningMode(mtvmAllSinceCheckPoint);
    t->Open();
    EXPECT_EQ(ErrorOf([&] { t->CreateBlobStream(t->FieldByName("M"), bmWrite); }), QStringLiteral("Dataset is not in edit mode."));
    t->Insert();
    {
        auto s = t->CreateBlobStream(t->FieldByName("M"), bmWrite);
        s->write("memo text");
    }
    t->Post();
    EXPECT_EQ(t->FieldByName("M")->AsBytes(), QByteArray("memo text"));
    t->Edit();
    { auto s = t->CreateBlobStream(t->FieldByName("M"), bmWrite); }
    t->Post();
    EXPECT_TRUE(t->FieldByName("M")->IsNull());
    t->Insert();
    { auto s = t->CreateBlobStream(t->FieldByName("M"), bmWrite); s->write("dropped"); }
    t->Cancel();
    EXPECT_EQ(t->RecordCount(), 1);

    struct THandler : TzohCustomDeltaHandler {
        QStringList Calls;
        void ApplyInserted() override { Calls << "ins"; }
        void ApplyDeleted() override { Calls << "del"; }
        void ApplyModified() override { Calls << "mod"; }
        void ApplyUnmodified() override { Calls << "unm"; }
    } h;
    EXPECT_EQ(ErrorOf([&] { h.ApplyDeltas(); }), QStringLiteral("Delta handler is not assigned to any memorytables."));
    t->Delete();   // inserted, edited, then deleted: nothing to hand over
    t->Append();
    t->FieldByName("I")->SetAsInteger(1);
    t->Post();
    t->SetDeltaHandler(&h);
    h.ApplyDeltas();
    EXPECT_EQ(h.Calls, (QStringList{"unm", "ins"}));
}

TEST(MemTable, MasterDetail)
{
    auto master = MakeTable({{"Id", ftInteger, 0}});
    auto detail = MakeTable({{"MId", ftInteger, 0}, {"V", ftInteger, 0}});
    master->Open();
    detail->Open();
    for (int m = 1; m <= 3; ++m) {
        master->Append();
        master->FieldByName("Id")->SetAsInteger(m);
        master->Post();
        for (int v = 0; v < m; ++v) {
            detail->Append();
            detail->FieldByName("MId")->SetAsInteger(m);
            detail->FieldByName("V")->SetAsInteger(v);
            detail->Post();
        }
    }
    TDataSource src;
    src.SetDataSet(master.get());
    EXPECT_EQ(ErrorOf([&] {
                  TDataSource self;
                  self.SetDataSet(detail.get());
                  detail->SetMasterSource(&self);
              }).endsWith("Selfreferencing master/detail relations not allowed."),
              true);
    detail->SetMasterSource(&src);
    detail->SetDetailFields("MId");
    detail->SetMasterFields("Id");
    master->First();
    EXPECT_EQ(detail->RecordCount(), 1);
    master->Last();
    EXPECT_EQ(detail->RecordCount(), 3);
    detail->Append();
    detail->FieldByName("V")->SetAsInteger(9);
    detail->Post();
    EXPECT_EQ(detail->FieldByName("MId")->AsInteger(), 3);
    EXPECT_EQ(detail->RecordCount(), 4);
    // Saving ignores the restriction unless told otherwise.
    TzohMemTable all;
    LoadFromBytes(all, SaveToBytes(*detail, {mtfSaveData, mtfSaveDef, mtfSaveIgnoreMasterDetail}));
    EXPECT_EQ(all.RecordCount(), 7);
    TzohMemTable some;
    LoadFromBytes(some, SaveToBytes(*detail, {mtfSaveData, mtfSaveDef}));
    EXPECT_EQ(some.RecordCount(), 4);
}

TEST(MemTable, PersistentFileIsReplacedWholeWithBackup)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.dat");
    {
        auto t = MakeTable({{"I", ftInteger, 0}});
        t->SetPersistentFile(path);
        t->SetPersistent(true);
        t->SetPersistentSaveOptions({mtfSaveData, mtfSaveDef, mtfSaveNonVisible});
        t->Open();
        t->Append();
        t->FieldByName("I")->SetAsInteger(1);
        t->Post();
        t->Close();
        ASSERT_TRUE(QFile::exists(path));
        t->SetPersistentBackup(true);
        t->Open();
        EXPECT_EQ(t->RecordCount(), 1);
        t->Append();
        t->FieldByName("I")->SetAsInteger(2);
        t->Post();
    }
    EXPECT_TRUE(QFile::exists(dir.filePath("keep.bak")));
    TzohMemTable r;
    r.LoadBinaryFile(path);
    EXPECT_EQ(r.RecordCount(), 2);
    QStringList leftovers = QDir(dir.path()).entryList(QDir::Files);
    leftovers.sort();
    EXPECT_EQ(leftovers, (QStringList{"keep.bak", "keep.dat"}));
}

// A file whose unique index holds equal keys: the load says so and leaves the grids live.
TEST(MemTable, LoadOverDuplicateUniqueKeysReportsTheError)
{
    auto a = MakeTable({{"N", ftInteger, 0}});
    a->IndexDefs().Add("ByN", "N", {});
    a->Open();
    for (int i = 0; i < 3; ++i) {
        a->Append();
        a->FieldByName("N")->SetAsInteger(7);
        a->Post();
    }
    a->IndexDefs()[0]->SetOptions(ixUnique);
    const TzohMemTableSaveFlags options{mtfSaveData, mtfSaveDef, mtfSaveIndexDef};
    for (bool csv : {false, true}) {
        SCOPED_TRACE(csv ? "CSV" : "binary");
        QByteArray bytes;
        {
            QBuffer b(&bytes);
            b.open(QIODevice::WriteOnly);
            csv ? a->SaveCSVStream(b, options) : a->SaveBinaryStream(b, options);
        }
        auto t = MakeTable({{"N", ftInteger, 0}});
        QBuffer b(&bytes);
        b.open(QIODevice::ReadOnly);
        EXPECT_EQ(ErrorOf([&] { csv ? t->LoadCSVStream(b) : t->LoadBinaryStream(b); }),
                  QStringLiteral("Duplicate index value. Operation aborted."));
        EXPECT_FALSE(t->ControlsDisabled());
        EXPECT_TRUE(t->Active());
        EXPECT_EQ(t->RecordCount(), 3);
    }
}

TEST(MemTable, MessagesOfReadOnlyFieldsAndLostBookmarks)
{
    auto t = MakeTable({{"I", ftInteger, 0}, {"S", ftString, 10}});
    t->Open();
    for (int i = 1; i <= 3; ++i) {
        t->Append();
        t->FieldByName("I")->SetAsInteger(i);
        t->Post();
    }
    TField* s = t->FieldByName("S");
    s->SetDisplayLabel("Surname");
    s->SetReadOnly(true);
    t->Edit();
    EXPECT_EQ(ErrorOf([&] { s->SetAsString("x"); }), QStringLiteral("Field Surname is read only"));
    t->Cancel();
    s->SetReadOnly(false);

    t->Last();
    const TBookmark gone = t->GetBookmark();
    t->Delete();
    EXPECT_FALSE(t->BookmarkValid(gone));
    EXPECT_EQ(ErrorOf([&] { t->GotoBookmark(gone); }), QStringLiteral("Bookmark -200 not found."));
}

TEST(MemTable, BookmarksCompareByTheirRecords)
{
    // On the row order by the records (the record made later after the one made earlier),
    // whatever place an insert gave it in the view, and also for a record filtered out.
    auto t = MakeTable({{"I", ftInteger, 0}});
    t->Open();
    for (int i : {1, 2}) {
        t->Append();
        t->FieldByName("I")->SetAsInteger(i);
        t->Post();
    }
    t->First();
    const TBookmark first = t->GetBookmark();
    t->Next();
    const TBookmark second = t->GetBookmark();
    t->Insert();   // before the second record in the view
    t->FieldByName("I")->SetAsInteger(3);
    t->Post();
    const TBookmark inserted = t->GetBookmark();
    ASSERT_EQ(t->RecNo(), 2);
    EXPECT_EQ(t->CompareBookmarks(inserted, second), 1);
    EXPECT_EQ(t->CompareBookmarks(second, inserted), -1);
    EXPECT_EQ(t->CompareBookmarks(first, inserted), -1);
    EXPECT_EQ(t->CompareBookmarks(first, first), 0);
    t->SetFilter("I <> 2");
    t->SetFiltered(true);
    EXPECT_EQ(t->CompareBookmarks(second, first), 1);
    EXPECT_EQ(t->CompareBookmarks(TBookmark(), first), 1);   // a missing one sorts after
}

TEST(MemTable, AutoRepositionRecalcOnFetchAndRecalcOnIndexTakeEffect)
{
    auto make = [] {
        auto t = std::make_unique<TzohMemTable>();
        auto* i = new TIntegerField(t.get());
        i->SetFieldName("I");
        i->SetDataSet(t.get());
        auto* twice = new TIntegerField(t.get());
        twice->SetFieldName("Twice");
        twice->SetFieldKind(fkCalculated);
        twice->SetDataSet(t.get());
        t->OnCalcFields = [](TDataSet* ds) { ds->FieldByName("Twice")->SetAsInteger(ds->FieldByName("I")->AsInteger() * 2); };
        t->IndexDefs().Add("ByI", "I", {});
        t->Open();
        for (int v : {1, 2, 3}) {
            t->Append();
            t->FieldByName("I")->SetAsInteger(v);
            t->Post();
        }
        t->SetIndexName("ByI");
        return t;
    };
    // A post that moves the record in the index: the cursor follows it only with AutoReposition.
    for (bool follow : {false, true}) {
        auto t = make();
        t->SetAutoReposition(follow);
        t->First();
        t->Edit();
        t->FieldByName("I")->SetAsInteger(10);
        t->Post();
        EXPECT_EQ(t->FieldByName("I")->AsInteger(), follow ? 10 : 2) << follow;
        EXPECT_EQ(t->RecNo(), follow ? 3 : 1) << follow;
    }
    // Calculated fields of fetched records only with RecalcOnFetch.
    for (bool fetch : {true, false}) {
        auto t = make();
        t->SetRecalcOnFetch(fetch);
        t->First();
        TField* twice = t->FieldByName("Twice");
        EXPECT_EQ(twice->IsNull(), !fetch) << fetch;
        if (fetch) {
            EXPECT_EQ(twice->AsInteger(), 2);
        }
    }
    // A filter sees calculated fields only with RecalcOnIndex.
    for (bool recalc : {false, true}) {
        auto t = make();
        t->SetRecalcOnIndex(recalc);
        t->SetFilter("Twice > 3");
        t->SetFiltered(true);
        EXPECT_EQ(t->RecordCount(), recalc ? 2 : 0) << recalc;
    }
}

TEST(MemTable, CompressedFieldsGoThroughTheFieldEvents)
{
    auto t = MakeTable({{"S", ftString, 20}, {"M", ftMemo, 0}});
    t->SetPerformance(mtpfSmall);
    int packs = 0, unpacks = 0;
    // The stored form: the bytes reversed and a mark after them.
    t->OnCompressField = [&](TDataSet*, TField* f, const QByteArray& in, int& size, QByteArray& out) {
        EXPECT_NE(f, nullptr);
        ++packs;
        out = in;
        std::reverse(out.begin(), out.end());
        out.append('#');
        size = int(out.size());
    };
    t->OnDecompressField = [&](TDataSet*, TField*, const QByteArray& in, int& size, QByteArray& out) {
        ++unpacks;
        out = in.left(in.size() - 1);
        std::reverse(out.begin(), out.end());
        size = int(out.size());
    };
    t->Open();
    t->Append();
    t->FieldByName("S")->SetAsString("hello");
    t->FieldByName("M")->SetAsString("a longer memo text");
    t->Post();
    EXPECT_EQ(packs, 2);
    EXPECT_EQ(t->FieldByName("S")->AsString(), "hello");
    EXPECT_EQ(t->FieldByName("M")->AsString(), "a longer memo text");
    EXPECT_GT(unpacks, 0);
    // What the store keeps is the handler's form.
    const int slot = t->SlotOf(t->FieldByName("S"));
    EXPECT_EQ(zohdata::GetBytes(*t->Store(), t->CurrentStoredRecord(), slot), QByteArray("olleh#"));
}

TEST(MemTable, LargeIntegerKeysAreFoundExactly)
{
    // Beyond 2^53 a double cannot tell neighbours apart; the keys are compared as integers.
    auto t = MakeTable({{"L", ftLargeint, 0}, {"Tag", ftString, 10}});
    t->Open();
    const qint64 base = qint64(1) << 53;
    for (qint64 k : {base, base + 1, base + 2, std::numeric_limits<qint64>::max()}) {
        t->Append();
        t->FieldByName("L")->SetValue(TVariant(k));
        t->FieldByName("Tag")->SetAsString(QString::number(k - base));
        t->Post();
    }
    for (bool indexed : {false, true}) {
        if (indexed) t->SetIndexFieldNames("L");
        ASSERT_TRUE(t->Locate("L", TVariant(base + 1))) << indexed;
        EXPECT_EQ(t->FieldByName("Tag")->AsString(), "1") << indexed;
        EXPECT_EQ(t->Lookup("L", TVariant(base + 2), "Tag").AsString(), "2") << indexed;
        EXPECT_EQ(t->Lookup("L", TVariant(QString::number(base + 1)), "Tag").AsString(), "1") << indexed;
        ASSERT_TRUE(t->Locate("L", TVariant(std::numeric_limits<qint64>::max()))) << indexed;
        EXPECT_FALSE(t->Locate("L", TVariant(base + 3))) << indexed;
        EXPECT_THROW(t->Locate("L", TVariant(1e300)), EVariantError) << indexed;
    }
}
