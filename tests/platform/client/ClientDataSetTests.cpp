// TClientDataSet: creating, editing, the change log, status filters, indexes, clones, nested
// datasets, searching and filtering.

#include "platform/client/ClientCopy.h"
#include "platform/client/ClientDataSet.h"
#include "platform/client/ClientLocate.h"
#include "platform/client/PacketDocument.h"
#include "platform/client/PacketFile.h"
#include "tests/common/TestSupport.h"
#include "tests/platform/client/PacketTestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <random>
#include <QStringList>

namespace {

// A people table: ID integer, Name string(20), Score float; optionally filled.
std::unique_ptr<TClientDataSet> People(std::initializer_list<std::tuple<int, const char*, double>> rows = {})
{
    auto ds = std::make_unique<TClientDataSet>();
    ds->FieldDefs().Add("ID", ftInteger);
    ds->FieldDefs().Add("Name", ftString, 20);
    ds->FieldDefs().Add("Score", ftFloat);
    ds->CreateDataSet();
    for (const auto& [id, name, score] : rows) {
        ds->Append();
        ds->FieldByName("ID")->SetAsInteger(id);
        ds->FieldByName("Name")->SetAsString(QString::fromUtf8(name));
        ds->FieldByName("Score")->SetAsFloat(score);
        ds->Post();
    }
    return ds;
}

QStringList Column(TDataSet& ds, const QString& field)
{
    QStringList out;
    const TBookmark bm = ds.GetBookmark();
    ds.DisableControls();
    ds.First();
    while (!ds.Eof()) {
        out << ds.FieldByName(field)->AsString();
        ds.Next();
    }
    if (!bm.IsNull() && ds.BookmarkValid(bm)) ds.GotoBookmark(bm);
    ds.EnableControls();
    return out;
}

// The change log as the packet carries it: (row, previous, action) triples.
std::vector<qint64> Triples(TClientDataSet& ds)
{
    TPacketDocument doc;
    ReadPacket(ds.Data(), doc);
    return doc.Metadata().Params.ChangeLog();
}

std::vector<quint8> Statuses(TClientDataSet& ds)
{
    TPacketDocument doc;
    ReadPacket(ds.Data(), doc);
    std::vector<quint8> out;
    for (qint64 r = 0; r < doc.RowCount(); ++r) out.push_back(doc.Status(0, r));
    return out;
}

QString ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QString();
}

} // namespace

TEST(ClientDataSet, CreatesFromDefinitionsAndKeepsEveryKindOfValue)
{
    TClientDataSet ds;
    ds.FieldDefs().Add("S", ftString, 10);
    ds.FieldDefs().Add("W", ftWideString, 10);
    ds.FieldDefs().Add("I16", ftSmallint);
    ds.FieldDefs().Add("I32", ftInteger);
    ds.FieldDefs().Add("I64", ftLargeint);
    ds.FieldDefs().Add("U16", ftWord);
    ds.FieldDefs().Add("B", ftBoolean);
    ds.FieldDefs().Add("F", ftFloat);
    ds.FieldDefs().Add("C", ftCurrency);
    TFieldDef* bcd = ds.FieldDefs().Add("N", ftBCD, 2);
    bcd->SetPrecision(10);
    ds.FieldDefs().Add("D", ftDate);
    ds.FieldDefs().Add("T", ftTime);
    ds.FieldDefs().Add("DT", ftDateTime);
    ds.FieldDefs().Add("Bin", ftBytes, 4);
    ds.FieldDefs().Add("VB", ftVarBytes, 100);
    ds.FieldDefs().Add("M", ftMemo);
    ds.FieldDefs().Add("Blob", ftBlob);
    ds.FieldDefs().Add("LongS", ftString, 300);
    ds.CreateDataSet();
    ASSERT_TRUE(ds.Active());
    EXPECT_EQ(ds.FieldCount(), 18);
    EXPECT_EQ(ds.FieldByName("W")->Size(), 10);

    const TDateTime date = EncodeDate(2021, 3, 4);
    const TDateTime time = EncodeTime(13, 14, 15, 160);
    ds.Append();
    ds.FieldByName("S")->SetAsString(QStringLiteral("Maçã"));
    ds.FieldByName("W")->SetAsString(QStringLiteral("Ωmega ✓"));
    ds.FieldByName("I16")->SetAsInteger(-1234);
    ds.FieldByName("I32")->SetAsInteger(2000000000);
    ds.FieldByName("I64")->SetAsLargeInt(Q_INT64_C(9000000000000));
    ds.FieldByName("U16")->SetAsInteger(65000);
    ds.FieldByName("B")->SetAsBoolean(true);
    ds.FieldByName("F")->SetAsFloat(3.25);
    ds.FieldByName("C")->SetAsCurrency(TCurrency::FromScaled(123456789));
    ds.FieldByName("N")->SetAsString(QStringLiteral("12345.67"));
    ds.FieldByName("D")->SetAsDateTime(date);
    ds.FieldByName("T")->SetAsDateTime(time);
    ds.FieldByName("DT")->SetAsDateTime(date + time);
    ds.FieldByName("Bin")->SetAsBytes(QByteArray("\x01\x02\x03\x04", 4));
    ds.FieldByName("VB")->SetAsBytes(QByteArray(60, 'v'));
    ds.FieldByName("M")->SetAsString(QStringLiteral("line one\r\nline two"));
    ds.FieldByName("Blob")->SetAsBytes(QByteArray(5000, '\x7f'));
    ds.FieldByName("LongS")->SetAsString(QString(280, QLatin1Char('x')));
    ds.Post();
    ds.Append();
    ds.Post();   // a row of nulls

    // Through a packet and back, so the values are read from a fresh store.
    TClientDataSet copy;
    copy.SetData(ds.Data());
    ASSERT_EQ(copy.RecordCount(), 2);
    copy.First();
    EXPECT_EQ(copy.FieldByName("S")->AsString(), QStringLiteral("Maçã"));
    EXPECT_EQ(copy.FieldByName("W")->AsString(), QStringLiteral("Ωmega ✓"));
    EXPECT_EQ(copy.FieldByName("I16")->AsInteger(), -1234);
    EXPECT_EQ(copy.FieldByName("I32")->AsInteger(), 2000000000);
    EXPECT_EQ(copy.FieldByName("I64")->AsLargeInt(), Q_INT64_C(9000000000000));
    EXPECT_EQ(copy.FieldByName("U16")->AsInteger(), 65000);
    EXPECT_TRUE(copy.FieldByName("B")->AsBoolean());
    EXPECT_DOUBLE_EQ(copy.FieldByName("F")->AsFloat(), 3.25);
    EXPECT_EQ(copy.FieldByName("C")->AsCurrency(), TCurrency::FromScaled(123456789));
    EXPECT_EQ(copy.FieldByName("N")->AsCurrency(), TCurrency::FromScaled(123456700));
    EXPECT_DOUBLE_EQ(copy.FieldByName("D")->AsDateTime(), date);
    EXPECT_NEAR(copy.FieldByName("T")->AsDateTime(), time, 1e-9);
    EXPECT_NEAR(copy.FieldByName("DT")->AsDateTime(), date + time, 1e-9);
    EXPECT_EQ(copy.FieldByName("Bin")->AsBytes(), QByteArray("\x01\x02\x03\x04", 4));
    EXPECT_EQ(copy.FieldByName("VB")->AsBytes(), QByteArray(60, 'v'));
    EXPECT_EQ(copy.FieldByName("M")->AsString(), QStringLiteral("line one\r\nline two"));
    EXPECT_EQ(copy.FieldByName("Blob")->AsBytes(), QByteArray(5000, '\x7f'));
    EXPECT_EQ(copy.FieldByName("LongS")->AsString(), QString(280, QLatin1Char('x')));
    copy.Next();
    for (TField* f : copy.Fields()) EXPECT_TRUE(f->IsNull()) << f->FieldName().toStdString();
}

TEST(ClientDataSet, AmountsBeyondABcdFieldsDigitsAreOutOfRange)
{
    // An input a fuzzer kept: an amount copied into a BCD field of 32 decimals would need more
    // than 128 bits on the way. The field says the value is out of its range instead.
    TClientDataSet ds;
    TFieldDef* def = ds.FieldDefs().Add("N", ftBCD, 32);
    def->SetPrecision(32);
    ds.CreateDataSet();
    ds.Append();
    for (const TVariant& v : {TVariant(TCurrency::FromScaled(123456789)), TVariant(TCurrency::FromScaled(-9000000000000000000))}) {
        ds.FieldByName("N")->SetValue(v);
        EXPECT_TRUE(ErrorOf([&] { ds.Post(); }).endsWith("is out of range")) << ErrorOf([&] { ds.Post(); }).toStdString();
    }
    ds.FieldByName("N")->SetValue(TVariant(TCurrency::FromScaled(1234)));   // 0.1234
    EXPECT_EQ(ErrorOf([&] { ds.Post(); }), QString());
    EXPECT_EQ(ds.FieldByName("N")->AsString(), "0.1234");
}

TEST(ClientDataSet, CreatesFromDeclaredFieldsWithoutStoringCalculatedOnes)
{
    TClientDataSet ds;
    auto* pos = new TIntegerField(&ds);
    pos->SetFieldName("Pos");
    pos->SetDataSet(&ds);
    auto* name = new TWideStringField(&ds);
    name->SetFieldName("Name");
    name->SetSize(60);
    name->SetDataSet(&ds);
    auto* detail = new TIntegerField(&ds);
    detail->SetFieldName("Detail");
    detail->SetFieldKind(fkCalculated);
    detail->SetDataSet(&ds);
    ds.OnCalcFields = [&](TDataSet*) { detail->SetAsInteger(pos->AsInteger() * 10); };
    ds.CreateDataSet();
    EXPECT_EQ(ds.FieldDefs().Count(), 2);
    ds.Append();
    pos->SetAsInteger(3);
    name->SetAsString("x");
    ds.Post();
    EXPECT_EQ(detail->AsInteger(), 30);
    EXPECT_NE(ErrorOf([&] { ds.CreateDataSet(); }), QString());
}

// insert, modify twice, delete, and undo each step back to the start: the triples and the
// rows seen at every step.
TEST(ClientDataSet, ChangeLogSequenceAndUndoBackToTheStart)
{
    auto ds = People({{1, "Ann", 1.0}, {2, "Bob", 2.0}});
    ds->MergeChangeLog();
    ASSERT_EQ(ds->ChangeCount(), 0);

    struct TStep {
        std::function<void()> Do;
        std::vector<qint64> Log;
        QStringList Names;
    };
    TClientDataSet& d = *ds;
    const std::vector<TStep> steps = {
        {[&] { d.Append(); d.FieldByName("ID")->SetAsInteger(3); d.FieldByName("Name")->SetAsString("Cid"); d.Post(); },
         {3, 0, 4}, {"Ann", "Bob", "Cid"}},
        {[&] { d.Locate("ID", 1); d.Edit(); d.FieldByName("Name")->SetAsString("Ana"); d.Post(); },
         {3, 0, 4, 4, 1, 8}, {"Ana", "Bob", "Cid"}},
        {[&] { d.Locate("ID", 1); d.Edit(); d.FieldByName("Name")->SetAsString("Anne"); d.Post(); },
         {3, 0, 4, 4, 1, 8, 5, 4, 8}, {"Anne", "Bob", "Cid"}},
        {[&] { d.Locate("ID", 2); d.Delete(); },
         {3, 0, 4, 4, 1, 8, 5, 4, 8, 2, 0, 2}, {"Anne", "Cid"}},
    };
    std::vector<QStringList> seen = {Column(d, "Name")};
    for (const TStep& s : steps) {
        s.Do();
        EXPECT_EQ(Triples(d), s.Log);
        EXPECT_EQ(Column(d, "Name"), s.Names);
        seen.push_back(s.Names);
    }
    // Slot statuses: original versions, the deleted row, the insert.
    EXPECT_EQ(Statuses(d), (std::vector<quint8>{0x01, 0x02, 0x04, 0x09, 0x08}));
    for (int i = int(steps.size()) - 1; i >= 0; --i) {
        ASSERT_TRUE(d.UndoLastChange(true));
        EXPECT_EQ(Column(d, "Name"), seen[size_t(i)]) << "after undoing step " << i;
        EXPECT_EQ(d.ChangeCount(), i);
    }
    EXPECT_FALSE(d.UndoLastChange(true));
    EXPECT_EQ(Column(d, "Name"), (QStringList{"Ann", "Bob"}));
}

TEST(ClientDataSet, UndoFollowsTheRestoredRecord)
{
    auto ds = People({{1, "Ann", 1}, {2, "Bob", 2}, {3, "Cid", 3}});
    ds->MergeChangeLog();
    ds->Locate("ID", 2);
    ds->Edit();
    ds->FieldByName("Name")->SetAsString("Bea");
    ds->Post();
    ds->First();
    ASSERT_TRUE(ds->UndoLastChange(true));
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), "Bob");
    EXPECT_EQ(ds->RecNo(), 2);
}

TEST(ClientDataSet, RevertRecordOnInsertedModifiedAndDeletedRecords)
{
    auto ds = People({{1, "Ann", 1}, {2, "Bob", 2}, {3, "Cid", 3}});
    ds->MergeChangeLog();
    // Modified twice: back to the original values, both versions gone from the log.
    ds->Locate("ID", 1);
    ds->Edit();
    ds->FieldByName("Name")->SetAsString("A1");
    ds->Post();
    ds->Edit();
    ds->FieldByName("Name")->SetAsString("A2");
    ds->Post();
    // Inserted then modified.
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(4);
    ds->FieldByName("Name")->SetAsString("Dan");
    ds->Post();
    ds->Edit();
    ds->FieldByName("Name")->SetAsString("Don");
    ds->Post();
    ds->Locate("ID", 2);
    ds->Delete();
    EXPECT_EQ(ds->ChangeCount(), 5);

    ds->Locate("ID", 1);
    ds->RevertRecord();
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), "Ann");
    EXPECT_EQ(ds->UpdateStatus(), usUnmodified);
    EXPECT_EQ(ds->ChangeCount(), 3);

    ds->Locate("ID", 4);
    ds->RevertRecord();
    EXPECT_FALSE(ds->Locate("ID", 4));
    EXPECT_EQ(ds->ChangeCount(), 1);

    ds->SetStatusFilter({usDeleted});
    ASSERT_EQ(ds->RecordCount(), 1);
    ds->RevertRecord();
    ds->SetStatusFilter({});
    EXPECT_EQ(Column(*ds, "Name"), (QStringList{"Ann", "Bob", "Cid"}));
    EXPECT_EQ(ds->ChangeCount(), 0);
}

TEST(ClientDataSet, StatusFilterShowsEachKind)
{
    auto ds = People({{1, "Ann", 1}, {2, "Bob", 2}, {3, "Cid", 3}, {4, "Dan", 4}});
    ds->MergeChangeLog();
    ds->Locate("ID", 2);
    ds->Edit();
    ds->FieldByName("Score")->SetAsFloat(20);
    ds->Post();
    ds->Locate("ID", 3);
    ds->Delete();
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(5);
    ds->FieldByName("Name")->SetAsString("Eve");
    ds->Post();

    const struct {
        TUpdateStatusSet Filter;
        QStringList Names;
        TUpdateStatus Status;
    } cases[] = {
        {{}, {"Ann", "Bob", "Dan", "Eve"}, usUnmodified},
        {{usUnmodified}, {"Ann", "Dan"}, usUnmodified},
        {{usModified}, {"Bob"}, usModified},
        {{usInserted}, {"Eve"}, usInserted},
        {{usDeleted}, {"Cid"}, usDeleted},
        {{usModified, usInserted}, {"Bob", "Eve"}, usModified},
    };
    for (const auto& c : cases) {
        ds->SetStatusFilter(c.Filter);
        EXPECT_EQ(Column(*ds, "Name"), c.Names);
        ds->First();
        EXPECT_EQ(ds->UpdateStatus(), c.Status);
    }
    ds->SetStatusFilter({usDeleted});
    EXPECT_EQ(ds->FieldByName("Score")->AsFloat(), 3.0);
}

TEST(ClientDataSet, UniqueIndexViolationLeavesTheRecordInEdit)
{
    auto ds = People({{1, "Ann", 1}, {2, "Bob", 2}});
    ds->AddIndex("ByName", "Name", ixUnique);
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(3);
    ds->FieldByName("Name")->SetAsString("Bob");
    EXPECT_EQ(ErrorOf([&] { ds->Post(); }), "Key violation.");
    EXPECT_EQ(ds->State(), dsInsert);
    ds->FieldByName("Name")->SetAsString("bob");   // case matters in this index
    ds->Post();
    EXPECT_EQ(ds->RecordCount(), 3);

    ds->Locate("ID", 1);
    ds->Edit();
    ds->FieldByName("Name")->SetAsString("Bob");
    EXPECT_THROW(ds->Post(), EDatabaseError);
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), "Bob");
    ds->Cancel();
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), "Ann");
    // Its own key again is no violation; a deleted record's key may be reused.
    ds->Edit();
    ds->FieldByName("Score")->SetAsFloat(9);
    ds->Post();
    ds->Locate("ID", 2);
    ds->Delete();
    ds->Append();
    ds->FieldByName("Name")->SetAsString("Bob");
    ds->Post();
    // A unique index cannot be added over duplicates.
    EXPECT_EQ(ErrorOf([&] { ds->AddIndex("ByID", "ID", ixUnique); }), QString());
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(7);
    ds->Post();
    ds->DeleteIndex("ByID");
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(7);
    ds->Post();
    EXPECT_EQ(ErrorOf([&] { ds->AddIndex("ByID2", "ID", ixUnique); }), "Key violation.");
}

TEST(ClientDataSet, DescendingAndCaseInsensitiveIndexesKeepEqualKeysInRecordOrder)
{
    auto ds = People({{1, "b", 1}, {2, "A", 2}, {3, "a", 3}, {4, "B", 4}, {5, "a", 5}, {6, "C", 6}});
    const struct {
        const char* Name;
        const char* Fields;
        TIndexOptions Options;
        const char* Desc;
        const char* CaseIns;
        QStringList Ids;
    } cases[] = {
        {"Asc", "Name", {}, "", "", {"3", "5", "2", "1", "4", "6"}},
        {"Desc", "Name", ixDescending, "", "", {"6", "4", "1", "2", "3", "5"}},
        {"NoCase", "Name", ixCaseInsensitive, "", "", {"2", "3", "5", "1", "4", "6"}},
        {"NoCaseDesc", "Name", ixCaseInsensitive | ixDescending, "", "", {"6", "1", "4", "2", "3", "5"}},
        {"Mixed", "Name;Score", {}, "Score", "Name", {"5", "3", "2", "4", "1", "6"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ds->AddIndex(c.Name, c.Fields, c.Options, c.Desc, c.CaseIns);
        ds->SetIndexName(c.Name);
        EXPECT_EQ(Column(*ds, "ID"), c.Ids);
    }
    // IndexFieldNames with descending and case-insensitive marks; an insert lands in order.
    ds->SetIndexFieldNames("Name:N;ID:D");
    EXPECT_TRUE(ds->FieldByName("Name")->IsIndexField());
    EXPECT_FALSE(ds->FieldByName("Score")->IsIndexField());
    EXPECT_EQ(Column(*ds, "ID"), (QStringList{"5", "3", "2", "4", "1", "6"}));
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(7);
    ds->FieldByName("Name")->SetAsString("A");
    ds->Post();
    EXPECT_EQ(Column(*ds, "ID"), (QStringList{"7", "5", "3", "2", "4", "1", "6"}));
    ds->SetIndexName("");
    EXPECT_EQ(Column(*ds, "ID"), (QStringList{"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_NE(ErrorOf([&] { ds->SetIndexName("Nope"); }), QString());
    EXPECT_EQ(Column(*ds, "ID").size(), 7);
}

TEST(ClientDataSet, EditedRecordKeepsItsPlaceAndSortedOneMoves)
{
    auto ds = People({{1, "Ann", 1}, {2, "Bob", 2}, {3, "Cid", 3}});
    ds->Locate("ID", 1);
    ds->Edit();
    ds->FieldByName("Name")->SetAsString("Zed");
    ds->Post();
    EXPECT_EQ(Column(*ds, "ID"), (QStringList{"1", "2", "3"}));
    ds->AddIndex("ByName", "Name");
    ds->SetIndexName("ByName");
    EXPECT_EQ(Column(*ds, "ID"), (QStringList{"2", "3", "1"}));
    ds->Locate("ID", 3);
    ds->Edit();
    ds->FieldByName("Name")->SetAsString("Aaa");
    ds->Post();
    EXPECT_EQ(Column(*ds, "ID"), (QStringList{"3", "2", "1"}));
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
    ds->DeleteIndex("ByName");
    EXPECT_EQ(Column(*ds, "ID"), (QStringList{"1", "2", "3"}));
}

TEST(ClientDataSet, CloneSeesRowsAddedToItsSourceAndSurvivesIt)
{
    auto source = People({{1, "Ann", 1}});
    source->SetIndexFieldNames("Name");
    TClientDataSet clone;
    clone.CloneCursor(source.get(), false, false);
    EXPECT_EQ(clone.IndexFieldNames(), "Name");
    source->Append();
    source->FieldByName("ID")->SetAsInteger(2);
    source->FieldByName("Name")->SetAsString("Abe");
    source->Post();
    EXPECT_EQ(Column(clone, "Name"), (QStringList{"Abe", "Ann"}));
    clone.Append();
    clone.FieldByName("ID")->SetAsInteger(3);
    clone.FieldByName("Name")->SetAsString("Cid");
    clone.Post();
    EXPECT_EQ(source->RecordCount(), 3);
    EXPECT_EQ(source->ChangeCount(), 3);

    TClientDataSet reset;
    reset.CloneCursor(source.get(), true);
    EXPECT_EQ(Column(reset, "Name"), (QStringList{"Ann", "Abe", "Cid"}));

    source.reset();
    EXPECT_EQ(Column(clone, "Name"), (QStringList{"Abe", "Ann", "Cid"}));
    clone.Edit();
    clone.FieldByName("Name")->SetAsString("Zoe");
    clone.Post();
    EXPECT_EQ(Column(reset, "Name"), (QStringList{"Ann", "Abe", "Zoe"}));
}

TEST(ClientDataSet, ReadOnlyRefusesEveryChange)
{
    auto ds = People({{1, "Ann", 1}});
    ds->SetReadOnly(true);
    const QString refused = "Cannot modify a read-only dataset";
    const std::vector<std::function<void()>> actions = {
        [&] { ds->Edit(); }, [&] { ds->Insert(); }, [&] { ds->Append(); }, [&] { ds->Delete(); },
        [&] { ds->UndoLastChange(true); }, [&] { ds->RevertRecord(); }, [&] { ds->EmptyDataSet(); },
    };
    for (const auto& a : actions) EXPECT_TRUE(ErrorOf(a).endsWith(refused)) << ErrorOf(a).toStdString();
    EXPECT_EQ(ds->RecordCount(), 1);
    EXPECT_EQ(ds->ChangeCount(), 1);
}

// An index keeps every record in its place through edits of its key and of other fields,
// their undoing and a view without a change log: the order equals a fresh sort at every step.
TEST(ClientDataSet, IndexKeepsItsOrderThroughEditsAndUndos)
{
    std::mt19937 rng(5);
    auto ds = People();
    for (int i = 0; i < 300; ++i) {
        ds->Append();
        ds->FieldByName("ID")->SetAsInteger(i);
        ds->FieldByName("Name")->SetAsString(QStringLiteral("n%1").arg(rng() % 40));
        ds->FieldByName("Score")->SetAsFloat(i);
        ds->Post();
    }
    ds->SetIndexFieldNames("Name");
    auto expected = [&] {
        TClientDataSet fresh;
        fresh.CloneCursor(ds.get(), true);
        fresh.SetIndexFieldNames("Name;ID");
        return Column(fresh, "ID");
    };
    for (int step = 0; step < 600; ++step) {
        if (step == 400) ds->SetLogChanges(false);
        const int op = int(rng() % 10);
        if (op < 8) {
            ds->SetRecNo(int(rng() % quint32(ds->RecordCount())) + 1);
            ds->Edit();
            if (op < 3) ds->FieldByName("Name")->SetAsString(QStringLiteral("n%1").arg(rng() % 40));
            else ds->FieldByName("Score")->SetAsFloat(rng() % 1000);
            ds->Post();
        } else {
            ds->UndoLastChange(false);
        }
        ASSERT_EQ(Column(*ds, "ID"), expected()) << step;
    }
}

TEST(ClientDataSet, LocateAndLookupWithAndWithoutAnIndex)
{
    auto ds = People({{1, "Ann", 1.5}, {2, "bob", 2.5}, {3, "Bobby", 3.5}, {4, "Cid", 4.5}});
    for (const char* index : {"", "Name", "Name:N"}) {
        SCOPED_TRACE(index);
        ds->SetIndexFieldNames(index);
        const struct {
            QString Fields;
            TVariant Key;
            TLocateOptions Options;
            int Id;   // 0: not found
        } cases[] = {
            {"Name", "Bobby", {}, 3},
            {"Name", "BOBBY", {}, 0},
            {"Name", "BOBBY", loCaseInsensitive, 3},
            {"Name", "Bo", loPartialKey, 3},
            {"Name", "bo", loPartialKey | loCaseInsensitive, 2},
            {"ID", 4, {}, 4},
            {"ID", "4", {}, 4},
            {"Score", 2.5, {}, 2},
            {"ID;Name", TVariant::ArrayOf({2, "bob"}), {}, 2},
            {"ID;Name", TVariant::ArrayOf({2, "Bob"}), {}, 0},
            {"ID", "x", {}, 0},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.Fields.toStdString() + " " + std::to_string(c.Id));
            ds->First();
            EXPECT_EQ(ds->Locate(c.Fields, c.Key, c.Options), c.Id != 0);
            if (c.Id) {
                EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), c.Id);
            }
        }
    }
    ds->First();
    EXPECT_EQ(ds->Lookup("ID", 3, "Name").AsString(), "Bobby");
    EXPECT_TRUE(ds->Lookup("ID", 9, "Name").IsNull());
    const TVariant both = ds->Lookup("Name", "Cid", "ID;Score");
    EXPECT_EQ(both[0].AsInteger(), 4);
    EXPECT_DOUBLE_EQ(both[1].AsDouble(), 4.5);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
}

TEST(ClientDataSet, PartialLocateThroughAnIndexFindsWhatAScanFinds)
{
    // Names from a few letters in both cases, with and without accent, and a hyphen: every
    // prefix's records are spread across any order, so a search by halving must find the
    // same first record in the index's order as a walk does.
    TClientDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("Name", ftString, 8);
    ds.FieldDefs().Add("WName", ftWideString, 8);
    ds.CreateDataSet();
    const QString letters = QString::fromUtf8("abAB\u00e9\u00c9-");
    std::mt19937 random(7);
    for (int id = 1; id <= 400; ++id) {
        QString name;
        const int length = 1 + int(random() % 4);
        for (int i = 0; i < length; ++i) name += letters[int(random() % letters.size())];
        ds.Append();
        ds.FieldByName("ID")->SetAsInteger(id);
        ds.FieldByName("Name")->SetAsString(name);
        ds.FieldByName("WName")->SetAsString(name);
        ds.Post();
    }
    const QStringList prefixes = {"a", "A", "ab", "AB", "aB", QString::fromUtf8("\u00e9"), QString::fromUtf8("\u00c9a"),
                                  "-", "b-", "abab", "zz", "ba\u00e9"};
    for (const char* field : {"Name", "WName"})
        for (const QString& index : {QString(), QString(field), QString(field) + ":N", QString(field) + ":D"}) {
            SCOPED_TRACE(index.toStdString());
            ds.SetIndexFieldNames(index);
            for (const QString& prefix : prefixes)
                for (const bool insensitive : {false, true}) {
                    int expected = 0;
                    for (ds.First(); !ds.Eof(); ds.Next())
                        if (ds.FieldByName(field)->AsString().startsWith(prefix, insensitive ? Qt::CaseInsensitive : Qt::CaseSensitive)) {
                            expected = ds.FieldByName("ID")->AsInteger();
                            break;
                        }
                    ds.First();
                    TLocateOptions options = loPartialKey;
                    if (insensitive) options |= loCaseInsensitive;
                    const bool found = ds.Locate(field, TVariant(prefix), options);
                    EXPECT_EQ(found, expected != 0) << prefix.toStdString() << insensitive;
                    if (found) {
                        EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), expected) << prefix.toStdString() << insensitive;
                    }
                }
        }
}

TEST(ClientDataSet, FilterExpressions)
{
    TClientDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("Name", ftString, 20);
    ds.FieldDefs().Add("Born", ftDate);
    ds.FieldDefs().Add("Active", ftBoolean);
    ds.FieldDefs().Add("Full Name", ftWideString, 30);
    ds.CreateDataSet();
    const struct { int Id; const char* Name; int Y; bool Active; } rows[] = {
        {1, "Smith", 1970, true}, {2, "smythe", 1985, false}, {3, "Jones", 2001, true}, {4, nullptr, 1999, false}};
    for (const auto& r : rows) {
        ds.Append();
        ds.FieldByName("ID")->SetAsInteger(r.Id);
        if (r.Name) ds.FieldByName("Name")->SetAsString(r.Name);
        ds.FieldByName("Born")->SetAsDateTime(EncodeDate(r.Y, 6, 15));
        ds.FieldByName("Active")->SetAsBoolean(r.Active);
        ds.FieldByName("Full Name")->SetAsString(QStringLiteral("Ms %1").arg(r.Id));
        ds.Post();
    }
    const struct {
        const char* Text;
        TFilterOptions Options;
        QStringList Ids;
    } cases[] = {
        {"ID = 2", {}, {"2"}},
        {"ID >= 2 and ID < 4", {}, {"2", "3"}},
        {"ID = 1 or ID = 4", {}, {"1", "4"}},
        {"not (ID = 1)", {}, {"2", "3", "4"}},
        {"Name = 'Sm*'", {}, {"1"}},
        {"Name = 'sm*'", foCaseInsensitive, {"1", "2"}},
        {"Name = 'Sm*'", foNoPartialCompare, {}},
        {"Name <> 'Smith'", {}, {"2", "3"}},
        {"Name like 'sm_th%'", {}, {"2"}},
        {"Name like 'S%'", foCaseInsensitive, {"1", "2"}},
        {"Name not like '%s'", {}, {"1", "2"}},
        {"Name is null", {}, {"4"}},
        {"Name is not null and Active", {}, {"1", "3"}},
        {"Name = NULL", {}, {"4"}},
        {"Active = False", {}, {"2", "4"}},
        {"Born < '1/1/1990'", {}, {"1", "2"}},
        {"Born >= '1999-06-15'", {}, {"3", "4"}},
        {"Year(Born) = 2001", {}, {"3"}},
        {"Upper(Name) = 'JONES'", {}, {"3"}},
        {"ID in (1, 3, 9)", {}, {"1", "3"}},
        {"ID * 2 + 1 = 7", {}, {"3"}},
        {"[Full Name] = 'Ms 4'", {}, {"4"}},
        {"Substring(Name, 2, 2) = 'mi'", {}, {"1"}},
        // As the filter dialog writes them.
        {" ([Name]='Sm*')  and not (ID=1)", {}, {}},
        {" (Upper(Name) like 'SM%')  and not ([ID]=1)", {}, {"2"}},
        {"  not (Name='Jones')", {}, {"1", "2", "4"}},
        {"    Born='6/15/1970 0:0:0'", {}, {"1"}},
        {" (ID >= 2) and (ID <= 3)", {}, {"2", "3"}},
        // Quoted names, texts in double quotes, other spellings of operators.
        {"\"Name\" = 'Jones'", {}, {"3"}},
        {"Name = \"Jones\"", {}, {"3"}},
        {"[ Full Name ] = 'Ms 4'", {}, {"4"}},
        {"Name || 'x' = 'Jonesx'", {}, {"3"}},
        {"ID != 1 and ID <> 4", {}, {"2", "3"}},
        {"Name = 'O''Brien'", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        ds.SetFiltered(false);
        ds.SetFilterOptions(c.Options);
        ds.SetFilter(c.Text);
        ds.SetFiltered(true);
        EXPECT_EQ(Column(ds, "ID"), c.Ids);
    }
    // Bad expressions are refused with a message and leave the dataset as it was.
    for (const char* bad : {"ID = ", "Nope = 1", "Name = 'open", "ID = 1 and", "Born = 'not a date'", "Foo(ID)"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ds.SetFilter(bad), EDatabaseError);
        EXPECT_EQ(ds.Filter(), "Name = 'O''Brien'");
    }
    // Syntax errors say what went wrong and where.
    const struct { const char* Text; const char* What; } syntax[] = {
        {"Name = 'open", "unterminated text at position 8"},
        {"Name = \"open", "unterminated text at position 8"},
        {"[Full Name = 1", "\"]\" expected at position 1"},
        {"ID # 1", "unexpected character \"#\" at position 4"},
        {"(ID = 1", "\")\" expected at position 8"},
        {"ID = 1 2", "unexpected \"2\" at position 8"},
        {"ID = ", "operand expected at position 6"},
        {"Name is 1", "NULL expected at position 9"},
        {"Name not = 1", "LIKE or IN expected at position 10"},
        {"Upper(Name, ID) = 'A'", "wrong number of arguments to Upper at position 1"},
    };
    for (const auto& c : syntax) {
        SCOPED_TRACE(c.Text);
        try {
            ds.SetFilter(c.Text);
            ADD_FAILURE() << "accepted";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Filter expression incorrectly formatted: %1 of \"%2\"")
                                       .arg(QLatin1String(c.What), QLatin1String(c.Text)));
        }
    }
    // FindFirst and FindNext walk the records the filter text accepts, filtered or not.
    ds.SetFiltered(false);
    ds.SetFilterOptions({});
    ds.SetFilter("Active");
    ASSERT_TRUE(ds.FindFirst());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
    ASSERT_TRUE(ds.FindNext());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_FALSE(ds.FindNext());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    ASSERT_TRUE(ds.FindLast());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_EQ(ds.RecordCount(), 4);
    ds.OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("ID")->AsInteger() % 2 == 0; };
    ds.SetFilter("");
    ds.SetFiltered(true);
    EXPECT_EQ(Column(ds, "ID"), (QStringList{"2", "4"}));
    // A posted record that no longer passes leaves the view.
    ds.First();
    ds.Edit();
    ds.FieldByName("ID")->SetAsInteger(5);
    ds.Post();
    EXPECT_EQ(Column(ds, "ID"), (QStringList{"4"}));
}

TEST(ClientDataSet, EmptyDataSetAndMergeChangeLog)
{
    auto ds = People({{1, "Ann", 1}, {2, "Bob", 2}});
    EXPECT_EQ(ds->ChangeCount(), 2);
    ds->MergeChangeLog();
    EXPECT_EQ(ds->ChangeCount(), 0);
    EXPECT_TRUE(Triples(*ds).empty());
    EXPECT_EQ(Statuses(*ds), (std::vector<quint8>{0, 0}));
    ds->Locate("ID", 1);
    ds->Delete();
    ds->MergeChangeLog();
    EXPECT_EQ(Column(*ds, "Name"), QStringList{"Bob"});
    EXPECT_EQ(ds->UpdateStatus(), usUnmodified);
    ds->EmptyDataSet();
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_EQ(ds->ChangeCount(), 0);
    ds->Append();
    ds->FieldByName("Name")->SetAsString("New");
    ds->Post();
    EXPECT_EQ(Column(*ds, "Name"), QStringList{"New"});
}

TEST(ClientDataSet, LogChangesOffChangesInPlace)
{
    auto ds = People();
    ds->SetLogChanges(false);
    for (int i = 1; i <= 3; ++i) {
        ds->Append();
        ds->FieldByName("ID")->SetAsInteger(i);
        ds->Post();
    }
    ds->First();
    ds->Edit();
    ds->FieldByName("ID")->SetAsInteger(10);
    ds->Post();
    ds->Last();
    ds->Delete();
    EXPECT_EQ(ds->ChangeCount(), 0);
    EXPECT_EQ(Column(*ds, "ID"), (QStringList{"10", "2"}));
    EXPECT_EQ(Statuses(*ds), (std::vector<quint8>{0, 0}));
    ds->SetLogChanges(true);
    ds->First();
    ds->Delete();
    EXPECT_EQ(ds->ChangeCount(), 1);
    EXPECT_TRUE(ds->UndoLastChange(false));
    EXPECT_EQ(Column(*ds, "ID"), (QStringList{"10", "2"}));
}

TEST(ClientDataSet, DeltaHoldsTheChangesAndOpensInAnotherDataSet)
{
    auto ds = People({{1, "Ann", 1}, {2, "Bob", 2}, {3, "Cid", 3}});
    ds->MergeChangeLog();
    ds->Locate("ID", 1);
    ds->Edit();
    ds->FieldByName("Name")->SetAsString("Ana");
    ds->Post();
    ds->Locate("ID", 2);
    ds->Delete();
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(4);
    ds->FieldByName("Name")->SetAsString("Dan");
    ds->Post();

    TClientDataSet delta;
    delta.SetData(ds->Delta());
    ASSERT_EQ(delta.RecordCount(), 4);
    QStringList seen;
    delta.First();
    while (!delta.Eof()) {
        seen << QStringLiteral("%1:%2:%3").arg(int(delta.UpdateStatus())).arg(delta.FieldByName("ID")->AsString(), delta.FieldByName("Name")->AsString());
        delta.Next();
    }
    // The original, then the new values with unchanged fields blank; the deleted and inserted rows.
    EXPECT_EQ(seen, (QStringList{"0:1:Ann", "1::Ana", "3:2:Bob", "2:4:Dan"}));
    EXPECT_FALSE(delta.CanModify());
    delta.SetStatusFilter({usDeleted});
    EXPECT_EQ(Column(delta, "Name"), QStringList{"Bob"});
}

namespace {

// Orders with a nested list of items: ID integer, Items (Code string(10), Qty integer).
std::unique_ptr<TClientDataSet> Orders()
{
    auto ds = std::make_unique<TClientDataSet>();
    ds->FieldDefs().Add("ID", ftInteger);
    TFieldDef* items = ds->FieldDefs().Add("Items", ftDataSet);
    items->ChildDefs()->Add("Code", ftString, 10);
    items->ChildDefs()->Add("Qty", ftInteger);
    ds->CreateDataSet();
    return ds;
}

TClientDataSet* ItemsOf(TClientDataSet& orders)
{
    auto* field = qobject_cast<TDataSetField*>(orders.FieldByName("Items"));
    return field ? qobject_cast<TClientDataSet*>(field->NestedDataSet()) : nullptr;
}

void AddItem(TClientDataSet& items, const char* code, int qty)
{
    items.Append();
    items.FieldByName("Code")->SetAsString(code);
    items.FieldByName("Qty")->SetAsInteger(qty);
    items.Post();
}

} // namespace

TEST(ClientDataSetNested, EditingANestedRecordEditsTheMasterAndPostingKeepsIt)
{
    auto orders = Orders();
    TClientDataSet* items = ItemsOf(*orders);
    ASSERT_NE(items, nullptr);
    ASSERT_TRUE(items->Active());
    EXPECT_EQ(items->FieldCount(), 2);

    // Nested rows added while the master row is still being inserted.
    orders->Append();
    orders->FieldByName("ID")->SetAsInteger(1);
    AddItem(*items, "a", 1);
    AddItem(*items, "b", 2);
    EXPECT_EQ(orders->State(), dsInsert);
    orders->Post();
    EXPECT_EQ(Column(*items, "Code"), (QStringList{"a", "b"}));

    orders->Append();
    orders->FieldByName("ID")->SetAsInteger(2);
    orders->Post();
    EXPECT_TRUE(items->IsEmpty());
    AddItem(*items, "c", 3);
    EXPECT_EQ(orders->State(), dsEdit);
    orders->Post();

    orders->First();
    EXPECT_EQ(Column(*items, "Code"), (QStringList{"a", "b"}));
    orders->Next();
    EXPECT_EQ(Column(*items, "Code"), QStringList{"c"});

    // Cancelling the master takes back the nested changes made under it.
    orders->First();
    items->First();
    items->Edit();
    items->FieldByName("Qty")->SetAsInteger(100);
    items->Post();
    items->Last();
    items->Delete();
    AddItem(*items, "z", 9);
    EXPECT_EQ(orders->State(), dsEdit);
    EXPECT_EQ(Column(*items, "Qty"), (QStringList{"100", "9"}));
    orders->Cancel();
    EXPECT_EQ(Column(*items, "Qty"), (QStringList{"1", "2"}));

    // The nested dataset has its own change log and status filter; its changes also stand in
    // the master's log.
    orders->MergeChangeLog();
    EXPECT_EQ(items->ChangeCount(), 0);
    items->First();
    items->Edit();
    items->FieldByName("Qty")->SetAsInteger(7);
    items->Post();
    AddItem(*items, "d", 4);
    orders->Post();
    EXPECT_EQ(items->ChangeCount(), 2);
    EXPECT_EQ(orders->ChangeCount(), 2);
    orders->First();
    EXPECT_EQ(orders->UpdateStatus(), usModified);
    items->SetStatusFilter({usInserted});
    EXPECT_EQ(Column(*items, "Code"), QStringList{"d"});
    items->SetStatusFilter({usModified});
    EXPECT_EQ(Column(*items, "Code"), QStringList{"a"});
    items->SetStatusFilter({});

    // Undo on the master undoes the newest nested change.
    ASSERT_TRUE(orders->UndoLastChange(true));
    EXPECT_EQ(Column(*items, "Code"), (QStringList{"a", "b"}));
    EXPECT_EQ(items->ChangeCount(), 1);
    ASSERT_TRUE(items->UndoLastChange(true));
    EXPECT_EQ(Column(*items, "Qty"), (QStringList{"1", "2"}));
    EXPECT_EQ(orders->ChangeCount(), 0);
}

TEST(ClientDataSetNested, NestedRowsTravelInPacketsWithAndWithoutTheLog)
{
    auto orders = Orders();
    TClientDataSet* items = ItemsOf(*orders);
    for (int id = 1; id <= 3; ++id) {
        orders->Append();
        orders->FieldByName("ID")->SetAsInteger(id);
        for (int k = 0; k < id; ++k) AddItem(*items, QByteArray(1, char('a' + k)).constData(), id * 10 + k);
        orders->Post();
    }
    orders->Locate("ID", 2);
    items->First();
    items->Delete();
    orders->Post();
    orders->Locate("ID", 3);
    orders->Edit();
    orders->FieldByName("ID")->SetAsInteger(30);
    orders->Post();

    auto check = [](TClientDataSet& o, const char* what) {
        SCOPED_TRACE(what);
        TClientDataSet* it = ItemsOf(o);
        ASSERT_NE(it, nullptr);
        EXPECT_EQ(Column(o, "ID"), (QStringList{"1", "2", "30"}));
        o.First();
        EXPECT_EQ(Column(*it, "Qty"), QStringList{"10"});
        o.Next();
        EXPECT_EQ(Column(*it, "Qty"), QStringList{"21"});
        o.Next();
        EXPECT_EQ(Column(*it, "Qty"), (QStringList{"30", "31", "32"}));
    };
    for (TDataPacketFormat format : {dfBinary, dfXML}) {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        orders->SaveToStream(buffer, format);
        buffer.seek(0);
        TClientDataSet copy;
        copy.LoadFromStream(buffer);
        check(copy, format == dfBinary ? "binary with log" : "XML with log");
        EXPECT_EQ(copy.ChangeCount(), orders->ChangeCount());
        copy.Locate("ID", 2);
        TClientDataSet* it = ItemsOf(copy);
        it->SetStatusFilter({usDeleted});
        EXPECT_EQ(Column(*it, "Code"), QStringList{"a"});
        it->SetStatusFilter({});
        ASSERT_TRUE(copy.UndoLastChange(false));
        ASSERT_TRUE(copy.UndoLastChange(false));
        copy.Locate("ID", 2);
        EXPECT_EQ(Column(*it, "Code"), (QStringList{"a", "b"}));
    }
    orders->MergeChangeLog();
    TClientDataSet merged;
    merged.SetData(orders->Data());
    check(merged, "merged");
    EXPECT_EQ(merged.ChangeCount(), 0);
}

TEST(ClientDataSetNested, AttachedDataSetAndCloneOfTheMaster)
{
    auto orders = Orders();
    TClientDataSet* items = ItemsOf(*orders);
    orders->Append();
    orders->FieldByName("ID")->SetAsInteger(1);
    AddItem(*items, "a", 1);
    orders->Post();
    // A client dataset of the program's own attached to the field replaces the made one.
    TClientDataSet mine;
    mine.SetDataSetField(qobject_cast<TDataSetField*>(orders->FieldByName("Items")));
    mine.Open();
    EXPECT_EQ(Column(mine, "Code"), QStringList{"a"});
    AddItem(mine, "b", 2);
    orders->Post();
    TClientDataSet clone;
    clone.CloneCursor(orders.get(), true);
    TClientDataSet* cloneItems = ItemsOf(clone);
    ASSERT_NE(cloneItems, nullptr);
    EXPECT_EQ(Column(*cloneItems, "Code"), (QStringList{"a", "b"}));
}

// ---- files --------------------------------------------------------------------------------

TEST(ClientDataSetFiles, RealFilesOpenWithTheirRowsValuesAndChangeLogs)
{
    QUARROW_NEED_SAMPLES();
    const QStringList files = QDir(SamplesDir()).entryList({"*.cds", "*.xml"}, QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty());
    QTemporaryDir dir;
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        TPacketDocument doc;
        ReadPacketFile(SamplePath(name), doc);
        TClientDataSet ds;
        ds.SetFileName(SamplePath(name));
        ds.SetReadOnly(true);
        ds.Open();
        EXPECT_EQ(ds.RecordCount(), int(doc.VisibleRows().size()));
        EXPECT_EQ(ds.ChangeCount(), int(doc.Metadata().Params.ChangeLog().size() / 3));
        // Saved in both forms and read back: the same texts in every field of every record.
        QStringList before;
        ds.First();
        while (!ds.Eof()) {
            for (TField* f : ds.Fields()) before << f->AsString();
            ds.Next();
        }
        for (const char* ext : {".cds", ".xml"}) {
            const QString copyName = dir.filePath(name + ext);
            ds.SaveToFile(copyName);
            TClientDataSet copy;
            copy.LoadFromFile(copyName);
            QStringList after;
            copy.First();
            while (!copy.Eof()) {
                for (TField* f : copy.Fields()) after << f->AsString();
                copy.Next();
            }
            EXPECT_EQ(after, before) << ext;
            EXPECT_EQ(copy.ChangeCount(), ds.ChangeCount());
        }
        ds.Close();
        EXPECT_EQ(ReadWholeFile(SamplePath(name)), ReadWholeFile(SamplePath(name)));
    }
}

TEST(ClientDataSetFiles, ValuesOfTheSamples)
{
    QUARROW_NEED_SAMPLES();
    TClientDataSet country;
    country.LoadFromFile(SamplePath("demo-country.cds"));
    country.First();
    EXPECT_EQ(country.FieldByName("Name")->AsString(), "Argentina");
    EXPECT_EQ(country.FieldByName("Capital")->AsString(), "Buenos Aires");
    EXPECT_DOUBLE_EQ(country.FieldByName("Area")->AsFloat(), 2777815.0);
    EXPECT_EQ(qobject_cast<TStringField*>(country.FieldByName("Name"))->CodePage(), 1252);
    // Its default index orders new rows.
    QStringList indexes;
    country.GetIndexNames(indexes);
    EXPECT_TRUE(indexes.contains("DEFAULT_ORDER"));
    country.Append();
    country.FieldByName("Name")->SetAsString("Aaland");
    country.Post();
    country.First();
    EXPECT_EQ(country.FieldByName("Name")->AsString(), "Aaland");

    TClientDataSet premios;
    premios.LoadFromFile(SamplePath("app-bingo-premios.cds"));
    bool emptySeen = false;
    premios.First();
    while (!premios.Eof()) {
        for (TField* f : premios.Fields())
            if (f->DataType() == ftString && !f->IsNull() && f->AsString().isEmpty()) emptySeen = true;
        premios.Next();
    }
    EXPECT_TRUE(emptySeen);

    TClientDataSet dados;
    dados.LoadFromFile(SamplePath("app-bingo-dados.cds"));
    ASSERT_EQ(dados.RecordCount(), 1);
    for (TField* f : dados.Fields()) EXPECT_TRUE(f->IsNull());
    EXPECT_EQ(dados.UpdateStatus(), usInserted);

    TClientDataSet vendas;
    vendas.LoadFromFile(SamplePath("app-sales-Vendas.cds"));
    TPacketDocument doc;
    ReadPacketFile(SamplePath("app-sales-Vendas.cds"), doc);
    const qint64 next = doc.Metadata().Params.AutoIncValue().value_or(0);
    TField* autoInc = nullptr;
    for (TField* f : vendas.Fields())
        if (f->DataType() == ftAutoInc) autoInc = f;
    ASSERT_NE(autoInc, nullptr);
    EXPECT_TRUE(autoInc->ReadOnly());
    vendas.Append();
    vendas.Post();
    EXPECT_EQ(autoInc->AsLargeInt(), next);

    // Rows modified after being inserted carry only their changed blob; the others come from
    // the earlier versions.
    TClientDataSet icons;
    icons.LoadFromFile(SamplePath("demo-iconData-changelog.cds"));
    TPacketDocument iconDoc;
    ReadPacketFile(SamplePath("demo-iconData-changelog.cds"), iconDoc);
    EXPECT_EQ(icons.ChangeCount(), int(iconDoc.Metadata().Params.ChangeLog().size() / 3));
    // Records stand in the order of their first versions.
    std::vector<std::pair<qint64, qint64>> rows;
    for (qint64 row : iconDoc.VisibleRows()) {
        qint64 origin = row;
        while (iconDoc.PreviousVersion(0, origin) >= 0) origin = iconDoc.PreviousVersion(0, origin);
        rows.push_back({origin, row});
    }
    std::sort(rows.begin(), rows.end());
    ASSERT_EQ(icons.RecordCount(), int(rows.size()));
    icons.First();
    for (const auto& [origin, row] : rows) {
        EXPECT_EQ(icons.UpdateStatus(), usInserted);
        for (int c = 0; c < int(iconDoc.Metadata().Fields.size()); ++c) {
            const TPacketCell cell = iconDoc.ResolvedCell(0, row, c);
            TField* f = icons.Fields()[c];
            EXPECT_EQ(f->IsNull(), !cell.IsValue()) << row << " " << f->FieldName().toStdString();
            if (f->IsBlob() && cell.IsValue()) {
                EXPECT_EQ(f->AsBytes(), cell.Bytes().toByteArray());
            }
        }
        icons.Next();
    }
}

TEST(ClientDataSetFiles, WritesBackOnCloseOnlyWhenChangedAndNeverWhenReadOnly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("people.cds");
    {
        auto ds = People({{1, "Ann", 1}});
        ds->SaveToFile(path);
    }
    const QByteArray original = ReadWholeFile(path);
    TClientDataSet ds;
    ds.SetFileName(path);
    ds.Open();
    ds.Close();
    EXPECT_EQ(ReadWholeFile(path), original);

    ds.SetReadOnly(true);
    ds.Open();
    ds.SetReadOnly(false);
    ds.Append();
    ds.FieldByName("Name")->SetAsString("Bob");
    ds.Post();
    ds.SetReadOnly(true);
    ds.Close();
    EXPECT_EQ(ReadWholeFile(path), original);

    ds.SetReadOnly(false);
    ds.Open();
    ds.Append();
    ds.FieldByName("Name")->SetAsString("Bob");
    ds.Post();
    ds.SaveToFile();
    const QByteArray saved = ReadWholeFile(path);
    EXPECT_NE(saved, original);
    ds.Close();
    EXPECT_EQ(ReadWholeFile(path), saved);
    ds.Open();
    ds.Last();
    ds.Edit();
    ds.FieldByName("Name")->SetAsString("Bea");
    ds.Post();
    ds.Close();
    ds.Open();
    ds.Last();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Bea");
    ds.Close();

    // XML whenever the name says so, in any case.
    ds.Open();
    ds.SaveToFile(dir.filePath("copy.XmL"));
    EXPECT_TRUE(ReadWholeFile(dir.filePath("copy.XmL")).startsWith("<?xml"));
    ds.SaveToFile(dir.filePath("copy.dat"), dfXMLUTF8);
    EXPECT_TRUE(ReadWholeFile(dir.filePath("copy.dat")).contains("encoding=\"UTF-8\""));
}

// Another program rewrote the file after it was read: writing back asks first. No keeps the
// other program's file and leaves the dataset open with its changes (a close is stopped, a
// destructor lets go silently); yes writes. A file nobody touched is written without asking.
TEST(ClientDataSetFiles, FileChangedOnDiskIsNotOverwrittenWithoutAsking)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("people.cds");
    People({{1, "Ann", 1}})->SaveToFile(path);
    QStringList questions;
    bool answer = false;
    SetApplicationConfirmHandler([&](const QString& q) {
        questions << q;
        return answer;
    });
    auto editAndRewriteElsewhere = [&](TClientDataSet& ds, const char* theirs) {
        ds.SetFileName(path);
        ds.Open();
        ds.Edit();
        ds.FieldByName("Name")->SetAsString("Ours");
        ds.Post();
        People({{1, theirs, 1}})->SaveToFile(path);
        return ReadWholeFile(path);
    };
    {
        TClientDataSet ds;
        const QByteArray theirs = editAndRewriteElsewhere(ds, "Theirs");
        EXPECT_THROW(ds.Close(), EAbort);
        EXPECT_TRUE(ds.Active());
        EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Ours");
        EXPECT_EQ(ReadWholeFile(path), theirs);
        ASSERT_EQ(questions.size(), 1);
        EXPECT_TRUE(questions[0].contains(path)) << questions[0].toStdString();

        answer = true;
        ds.Close();
        EXPECT_FALSE(ds.Active());
        EXPECT_EQ(questions.size(), 2);
        ds.Open();
        EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Ours");
        // Written by us since: the next write-back does not ask.
        ds.Edit();
        ds.FieldByName("Name")->SetAsString("Ours again");
        ds.Post();
        ds.Close();
        EXPECT_EQ(questions.size(), 2);
    }
    answer = false;
    QStringList errors;
    SetApplicationExceptionHandler([&](const std::exception& e) { errors << QString::fromUtf8(e.what()); });
    QByteArray theirs;
    {
        TClientDataSet ds;
        theirs = editAndRewriteElsewhere(ds, "Theirs again");
    }
    EXPECT_EQ(questions.size(), 3);
    EXPECT_EQ(ReadWholeFile(path), theirs);
    EXPECT_TRUE(errors.isEmpty());   // the user's own answer is no error

    // A write-back that fails in a destructor reaches the application's error handler.
    {
        TClientDataSet ds;
        ds.SetFileName(path);
        ds.Open();
        ds.Edit();
        ds.FieldByName("Name")->SetAsString("Lost");
        ds.Post();
        ds.SetFileName(dir.filePath("no such folder/people.cds"));
    }
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("no such folder")) << errors[0].toStdString();
    SetApplicationExceptionHandler(nullptr);
    SetApplicationConfirmHandler(nullptr);
}

TEST(ClientDataSetFiles, BadFilesGiveDatabaseErrorsNamingTheFile)
{
    QUARROW_NEED_SAMPLES();
    QTemporaryDir dir;
    const QByteArray good = ReadWholeFile(SamplePath("demo-country.cds"));
    const struct {
        const char* Name;
        QByteArray Bytes;
    } cases[] = {
        {"truncated.cds", good.left(good.size() / 2)},
        {"garbage.cds", QByteArray("\x96\x19\xE0\xBD garbage", 13)},
        {"text.xml", QByteArray("<DATAPACKET><METADATA>")},
        {"empty.cds", QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = dir.filePath(c.Name);
        WriteWholeFile(path, c.Bytes);
        TClientDataSet ds;
        ds.SetFileName(path);
        try {
            ds.Open();
            ADD_FAILURE() << "opened";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message().contains(c.Name)) << e.Message().toStdString();
        }
        EXPECT_FALSE(ds.Active());
        EXPECT_THROW(ds.LoadFromFile(path), EDatabaseError);
        EXPECT_EQ(ReadWholeFile(path), c.Bytes);
    }
    TClientDataSet missing;
    missing.SetFileName(dir.filePath("none.cds"));
    EXPECT_THROW(missing.Open(), EDatabaseError);
    TClientDataSet empty;
    EXPECT_THROW(empty.Open(), EDatabaseError);
    EXPECT_THROW(empty.SetData(QByteArray("nonsense")), EDatabaseError);
}

// The workbench's field-definition tables: declared fields with a calculated one, a unique
// index on Name that is not the active order, ordered by Pos, cloned for printing.
TEST(ClientDataSet, FieldDefinitionTableAsTheWorkbenchUsesIt)
{
    TClientDataSet defs;
    auto add = [&](TField* f, const char* name, int size = 0) {
        f->SetFieldName(name);
        if (size) f->SetSize(size);
        f->SetDataSet(&defs);
        return f;
    };
    add(new TIntegerField(&defs), "Pos");
    add(new TWideStringField(&defs), "Name", 60)->SetRequired(true);
    TField* detail = add(new TIntegerField(&defs), "Detail");
    detail->SetFieldKind(fkCalculated);
    TField* type = add(new TWideStringField(&defs), "Type", 60);
    add(new TWideStringField(&defs), "Size", 20);
    add(new TStringField(&defs), "OrgName", 30);
    defs.OnCalcFields = [&](TDataSet*) { detail->SetAsInteger(type->AsString() == "DataSet" ? 1 : 0); };
    defs.IndexDefs().Add("NAME_INX", "Name", ixUnique);
    defs.SetIndexFieldNames("Pos");
    defs.CreateDataSet();
    EXPECT_EQ(defs.FieldDefs().Count(), 5);

    const struct { int Pos; const char* Name; const char* Type; } rows[] = {
        {3, "Total", "Float"}, {1, "ID", "Integer"}, {2, "Items", "DataSet"}};
    for (const auto& r : rows) {
        defs.Append();
        defs.FieldByName("Pos")->SetAsInteger(r.Pos);
        defs.FieldByName("Name")->SetAsString(r.Name);
        defs.FieldByName("Type")->SetAsString(r.Type);
        defs.FieldByName("Size")->SetAsString("0");
        defs.Post();
    }
    EXPECT_EQ(Column(defs, "Name"), (QStringList{"ID", "Items", "Total"}));
    EXPECT_EQ(Column(defs, "Detail"), (QStringList{"0", "1", "0"}));
    defs.Append();
    defs.FieldByName("Pos")->SetAsInteger(4);
    defs.FieldByName("Name")->SetAsString("ID");
    EXPECT_EQ(ErrorOf([&] { defs.Post(); }), "Key violation.");
    defs.Cancel();

    // The print report's clone follows rows added to the table later.
    TClientDataSet print;
    print.CloneCursor(&defs, false, false);
    EXPECT_EQ(Column(print, "Name"), (QStringList{"ID", "Items", "Total"}));
    defs.Append();
    defs.FieldByName("Pos")->SetAsInteger(0);
    defs.FieldByName("Name")->SetAsString("First");
    defs.Post();
    EXPECT_EQ(Column(print, "Name"), (QStringList{"First", "ID", "Items", "Total"}));
    defs.MergeChangeLog();
    EXPECT_EQ(print.ChangeCount(), 0);
    defs.EmptyDataSet();
    EXPECT_TRUE(print.IsEmpty());
}

TEST(ClientDataSetNested, DeltaCarriesNestedChangesUnderTheirMaster)
{
    auto orders = Orders();
    TClientDataSet* items = ItemsOf(*orders);
    orders->Append();
    orders->FieldByName("ID")->SetAsInteger(1);
    AddItem(*items, "a", 1);
    AddItem(*items, "b", 2);
    orders->Post();
    orders->MergeChangeLog();
    items->First();
    items->Edit();
    items->FieldByName("Qty")->SetAsInteger(5);
    items->Post();
    orders->Post();

    TClientDataSet delta;
    delta.SetData(orders->Delta());
    ASSERT_EQ(delta.RecordCount(), 1);
    EXPECT_EQ(delta.UpdateStatus(), usUnmodified);
    TClientDataSet* deltaItems = ItemsOf(delta);
    ASSERT_NE(deltaItems, nullptr);
    QStringList seen;
    deltaItems->First();
    while (!deltaItems->Eof()) {
        seen << QStringLiteral("%1:%2").arg(int(deltaItems->UpdateStatus())).arg(deltaItems->FieldByName("Qty")->AsString());
        deltaItems->Next();
    }
    EXPECT_EQ(seen, (QStringList{"0:1", "1:5"}));
}

// Damaged packets: every opening either works or gives a database error; nothing crashes, and
// what opens can be read in full and saved again.
TEST(ClientDataSetFiles, DamagedPacketsNeverCrash)
{
    QUARROW_NEED_SAMPLES();
    for (const char* name : {"demo-country.cds", "app-sales-Vendas.cds", "demo-country.xml", "demo-iconData-changelog.cds"}) {
        SCOPED_TRACE(name);
        const QByteArray good = ReadWholeFile(SamplePath(name));
        std::vector<QByteArray> inputs;
        for (qsizetype n = 1; n < good.size(); n += qMax<qsizetype>(1, good.size() / 300)) inputs.push_back(good.left(n));
        std::mt19937 rng(11);
        for (int i = 0; i < 300; ++i) {
            QByteArray b = good;
            for (int k = 0; k < 3; ++k) b[qsizetype(rng() % quint32(b.size()))] ^= char(1 << (rng() % 8));
            inputs.push_back(b);
        }
        int opened = 0;
        for (const QByteArray& bytes : inputs) {
            TClientDataSet ds;
            try {
                ds.SetData(bytes);
            } catch (const EDatabaseError&) {
                continue;
            }
            ++opened;
            ds.First();
            while (!ds.Eof()) {
                for (TField* f : ds.Fields()) f->AsString();
                ds.Next();
            }
            EXPECT_NO_THROW(ds.Data());
            EXPECT_NO_THROW(ds.Delta());
            ds.SetIndexFieldNames(ds.Fields()[0]->FieldName());
            ds.UndoLastChange(true);
            ds.MergeChangeLog();
        }
        EXPECT_GT(opened, 0);
    }
}

// 8-bit text is in the code page of the packet's locale; without one, Windows-1252.
TEST(ClientDataSetFiles, TextInTheCodePageOfThePacketsLocale)
{
    for (const auto& [lcid, bytes, text] : {std::tuple<int, QByteArray, QString>{1049, "\xCF\xF0\xE8", QStringLiteral("При")},
                                            {0, "\xE7\xE3", QStringLiteral("çã")}}) {
        TPacketMetadata meta;
        meta.Fields.push_back(WithParam(Field("Name", PacketTypeWord::Make(ptcString, 1, PacketTypeWord::Varying)),
                                        TPacketParam::MakeInt("WIDTH", PacketTypeWord::UInt16, 20)));
        if (lcid) meta.Params.Set(TPacketParam::MakeInt("LCID", PacketTypeWord::Int32, lcid));
        TDocBuilder builder(meta);
        builder.Row().Bytes(bytes);
        const QByteArray packet = SaveDocument(builder.Done(), pfBinary);
        TClientDataSet ds;
        ds.SetData(packet);
        EXPECT_EQ(ds.FieldByName("Name")->AsString(), text);
        ds.Edit();
        ds.FieldByName("Name")->SetAsString(text + text);
        ds.Post();
        TPacketDocument doc;
        ReadPacket(ds.Data(), doc);
        EXPECT_EQ(doc.ResolvedCell(0, doc.VisibleRows().front(), 0).Bytes().toByteArray(), bytes + bytes);
    }
}

// Two levels down: changes of the innermost rows mark both masters, undo from the top walks
// back through them, and a packet keeps all three levels.
TEST(ClientDataSetNested, TwoLevelsDeep)
{
    TClientDataSet orders;
    orders.FieldDefs().Add("ID", ftInteger);
    TFieldDef* items = orders.FieldDefs().Add("Items", ftDataSet);
    items->ChildDefs()->Add("Code", ftString, 10);
    TFieldDef* parts = items->ChildDefs()->Add("Parts", ftDataSet);
    parts->ChildDefs()->Add("Part", ftString, 10);
    orders.CreateDataSet();
    TClientDataSet* it = ItemsOf(orders);
    ASSERT_NE(it, nullptr);
    auto* partsField = qobject_cast<TDataSetField*>(it->FieldByName("Parts"));
    ASSERT_NE(partsField, nullptr);
    auto* pt = qobject_cast<TClientDataSet*>(partsField->NestedDataSet());
    ASSERT_NE(pt, nullptr);
    ASSERT_TRUE(pt->Active());

    orders.Append();
    orders.FieldByName("ID")->SetAsInteger(1);
    orders.Post();
    it->Append();
    it->FieldByName("Code")->SetAsString("i1");
    it->Post();
    orders.Post();
    orders.MergeChangeLog();

    pt->Append();
    pt->FieldByName("Part")->SetAsString("p1");
    pt->Post();
    EXPECT_EQ(it->State(), dsEdit);
    EXPECT_EQ(orders.State(), dsEdit);
    it->Post();
    orders.Post();
    EXPECT_EQ(pt->ChangeCount(), 1);
    EXPECT_EQ(it->ChangeCount(), 1);
    EXPECT_EQ(orders.ChangeCount(), 1);

    TClientDataSet copy;
    copy.SetData(orders.Data());
    TClientDataSet* copyItems = ItemsOf(copy);
    auto* copyParts = qobject_cast<TClientDataSet*>(qobject_cast<TDataSetField*>(copyItems->FieldByName("Parts"))->NestedDataSet());
    EXPECT_EQ(Column(*copyParts, "Part"), QStringList{"p1"});
    EXPECT_EQ(copy.ChangeCount(), 1);

    // Accepting the items' changes alone takes the markers out of the order's log too.
    TClientDataSet second;
    second.SetData(orders.Data());
    ItemsOf(second)->MergeChangeLog();
    EXPECT_EQ(second.ChangeCount(), 0);

    ASSERT_TRUE(orders.UndoLastChange(true));
    EXPECT_TRUE(pt->IsEmpty());
    EXPECT_EQ(pt->ChangeCount(), 0);
    EXPECT_EQ(it->ChangeCount(), 0);
    EXPECT_EQ(orders.ChangeCount(), 0);
}

// A dataset made with a locale keeps its 8-bit text in that locale's code page, in memory
// and in its files.
TEST(ClientDataSetFiles, CreatedWithALocale)
{
    QTemporaryDir dir;
    for (const auto& [lcid, text, bytes] : {std::tuple<quint32, QString, QByteArray>{0x0419, QStringLiteral("При"), "\xCF\xF0\xE8"},
                                            {0x0408, QStringLiteral("Αβ"), "\xC1\xE2"},
                                            {0, QStringLiteral("çã"), "\xE7\xE3"}}) {
        const QString path = dir.filePath(QStringLiteral("loc%1.cds").arg(lcid));
        {
            TClientDataSet ds;
            ds.FieldDefs().Add("Name", ftString, 20);
            ds.SetCreateLocale(lcid);
            ds.CreateDataSet();
            ds.Append();
            ds.FieldByName("Name")->SetAsString(text);
            ds.Post();
            EXPECT_EQ(ds.FieldByName("Name")->AsBytes(), bytes);
            ds.SaveToFile(path);
        }
        TClientDataSet again;
        again.SetFileName(path);
        again.Open();
        EXPECT_EQ(again.FieldByName("Name")->AsString(), text);
        EXPECT_EQ(again.FieldByName("Name")->AsBytes(), bytes);
    }
}

// A file larger than one chunk of records is read as it is needed: what it shows, how it is
// edited and what it writes back agree with a dataset that read the same bytes whole.
TEST(ClientDataSetFiles, LargeFileReadAsNeededAgreesWithAWholeRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("large.cds");
    constexpr int Count = 10000;
    {
        TClientDataSet ds;
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("Name", ftString, 12);
        ds.FieldDefs().Add("Note", ftString, 80);   // kept outside the record block
        ds.CreateDataSet();
        ds.SetLogChanges(false);
        for (int i = 0; i < Count; ++i) {
            ds.Append();
            ds.FieldByName("ID")->SetAsInteger(i);
            if (i % 7) ds.FieldByName("Name")->SetAsString(QStringLiteral("N%1").arg(i));
            ds.FieldByName("Note")->SetAsString(QStringLiteral("a longer note for record %1").arg(i));
            ds.Post();
        }
        ds.SaveToFile(path);
    }
    TClientDataSet lazy, whole;
    lazy.LoadFromFile(path);
    whole.SetData(ReadWholeFile(path));
    ASSERT_EQ(lazy.RecordCount(), Count);
    for (int recNo : {1, 4096, 4097, 8193, 9999, Count}) {
        lazy.SetRecNo(recNo);
        EXPECT_EQ(lazy.FieldByName("ID")->AsInteger(), recNo - 1);
        EXPECT_EQ(lazy.FieldByName("Name")->IsNull(), (recNo - 1) % 7 == 0);
        EXPECT_EQ(lazy.FieldByName("Note")->AsString(), QStringLiteral("a longer note for record %1").arg(recNo - 1));
    }
    EXPECT_TRUE(lazy.Locate("ID", 7777));
    EXPECT_EQ(lazy.RecNo(), 7778);
    // The same changes on both: an edit in a chunk not read yet, an insert, a deletion.
    for (TClientDataSet* ds : {&lazy, &whole}) {
        ds->SetRecNo(6000);
        ds->Edit();
        ds->FieldByName("Note")->SetAsString(QStringLiteral("changed"));
        ds->Post();
        ds->SetRecNo(2);
        ds->Insert();
        ds->FieldByName("ID")->SetAsInteger(-1);
        ds->Post();
        ds->SetRecNo(9000);
        ds->Delete();
    }
    EXPECT_EQ(lazy.Data(), whole.Data());
    lazy.MergeChangeLog();
    whole.MergeChangeLog();
    EXPECT_EQ(lazy.Data(), whole.Data());
    EXPECT_EQ(Column(lazy, "Note"), Column(whole, "Note"));
}

// A file cut short by another program while its records are still being read as needed gives
// an error, never a crash.
TEST(ClientDataSetFiles, FileTruncatedWhileOpenGivesAnError)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cut.cds");
    {
        TClientDataSet ds;
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("Note", ftString, 60);
        ds.CreateDataSet();
        ds.SetLogChanges(false);
        for (int i = 0; i < 20000; ++i) {
            ds.Append();
            ds.FieldByName("ID")->SetAsInteger(i);
            ds.FieldByName("Note")->SetAsString(QStringLiteral("note %1").arg(i));
            ds.Post();
        }
        ds.SaveToFile(path);
    }
    TClientDataSet ds;
    ds.SetReadOnly(true);
    ds.LoadFromFile(path);
    ASSERT_TRUE(QFile::resize(path, 4096));
    EXPECT_THROW(
        {
            ds.Last();
            ds.FieldByName("Note")->AsString();
        },
        EDatabaseError);
}

// Records updated cell to cell from another dataset are stored as editing them through their
// fields stores them, byte for byte in the saved packet (short, long and wide texts, NULLs,
// numbers, dates, a value changed and one left alike); a pair whose value must go through the
// fields is refused; required fields and unique keys hold as on an edit, and leave the record.
TEST(ClientDataSet, RecordUpdaterPostsAsAnEditOfTheFieldsDoes)
{
    auto make = [](TClientDataSet& ds, bool required) {
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("S", ftString, 200, required);
        ds.FieldDefs().Add("W", ftWideString, 20);
        ds.FieldDefs().Add("F", ftFloat);
        ds.FieldDefs().Add("D", ftDate);
        ds.CreateDataSet();
    };
    const QString longText = QString(150, QLatin1Char('x'));
    // ID, S, W, F, D; an empty text is NULL.
    using TRow = std::tuple<int, QString, QString, double, int>;
    auto fill = [](TClientDataSet& ds, const std::vector<TRow>& rows) {
        for (const auto& [id, s, w, f, d] : rows) {
            ds.Append();
            ds.FieldByName("ID")->SetAsInteger(id);
            if (!s.isEmpty()) ds.FieldByName("S")->SetAsString(s);
            if (!w.isEmpty()) ds.FieldByName("W")->SetAsString(w);
            if (f == f) ds.FieldByName("F")->SetAsFloat(f);
            if (d) ds.FieldByName("D")->SetAsDateTime(d);
            ds.Post();
        }
    };
    const double nan = std::nan("");
    TClientDataSet source;
    make(source, false);
    fill(source, {{1, "one", QString::fromUtf8("ein\u00e9"), 1.5, 40000},
                  {2, longText, "", -0.0, 0},
                  {3, "", "drei", nan, 40002},
                  {4, "same", "same", 4, 40003}});
    const std::vector<TRow> start{{4, "same", "same", 4, 40003},
                                  {3, "three", "", 3, 0},
                                  {2, "two", "zwei", 2, 40001},
                                  {1, longText + "y", "", nan, 0}};
    TClientDataSet cells, edits;
    make(cells, false);
    make(edits, false);
    fill(cells, start);
    fill(edits, start);
    cells.MergeChangeLog();
    edits.MergeChangeLog();
    const QStringList names{"ID", "S", "W", "F", "D"};
    std::vector<TRecordUpdater::TPair> pairs;
    for (const QString& n : names) pairs.emplace_back(cells.FieldByName(n), source.FieldByName(n));
    ASSERT_TRUE(TRecordUpdater::Supports(cells, pairs));
    TRecordUpdater updater(source, cells, pairs, {cells.FieldByName("ID"), source.FieldByName("ID")});
    ASSERT_TRUE(updater.KeyTravels());
    TLocateHash hash(cells, cells.FieldByName("ID"));
    for (source.First(); !source.Eof(); source.Next()) {
        ASSERT_TRUE(updater.Take());
        const TRecordId id = hash.FindBlock(updater.KeyBlock());
        ASSERT_NE(id, NoRecord);
        updater.Post(id);
        ASSERT_TRUE(edits.Locate("ID", source.FieldByName("ID")->Value()));
        edits.Edit();
        for (const QString& n : names) edits.FieldByName(n)->SetValue(source.FieldByName(n)->Value());
        edits.Post();
    }
    cells.Resync();
    EXPECT_EQ(cells.ChangeCount(), 4);
    EXPECT_EQ(cells.Data(), edits.Data());
    EXPECT_EQ(Column(cells, "S"), Column(edits, "S"));
    // A record that is not there takes nothing.
    source.First();
    ASSERT_TRUE(updater.Take());
    EXPECT_THROW(updater.Post(TRecordId(1000)), EDatabaseError);
    EXPECT_EQ(cells.ChangeCount(), 4);

    // A pair of two types goes through the fields.
    TRecordUpdater mixed(source, cells, {{cells.FieldByName("F"), source.FieldByName("ID")}});
    source.First();
    EXPECT_FALSE(mixed.Take());

    // The checks of a post: a required field left NULL, a second record with a unique key.
    TClientDataSet strict;
    make(strict, true);
    fill(strict, {{7, "seven", "", 7, 0}, {8, "eight", "", 8, 0}});
    strict.MergeChangeLog();
    strict.AddIndex("ByID", "ID", ixUnique);
    strict.SetIndexName("ByID");
    const QByteArray before = strict.Data();
    TRecordUpdater checked(source, strict, {{strict.FieldByName("S"), source.FieldByName("S")}});
    ASSERT_TRUE(source.Locate("ID", 3));
    ASSERT_TRUE(checked.Take());
    EXPECT_THROW(checked.Post(TRecordId(0)), EDatabaseError);
    TRecordUpdater ids(source, strict, {{strict.FieldByName("ID"), source.FieldByName("ID")}});
    ASSERT_TRUE(source.Locate("ID", 1));
    ASSERT_TRUE(ids.Take());
    ids.Post(TRecordId(0));     // 7 becomes 1
    const TRecordId eight = TRecordId(1);
    ASSERT_TRUE(ids.Take());
    EXPECT_THROW(ids.Post(eight), EDatabaseError);
    EXPECT_EQ(strict.ChangeCount(), 1);
    EXPECT_NE(strict.Data(), before);
}

// An edit from outside a run: the record that `by` finds takes a number in `field`.
static void EditFloat(TClientDataSet& ds, const char* by, int key, const char* field, double value)
{
    ASSERT_TRUE(ds.Locate(by, key));
    ds.Edit();
    ds.FieldByName(field)->SetAsFloat(value);
    ds.Post();
}

// Finding every source key's record before a run answers as a lookup of each in turn does:
// a repeated key finds the first of its records, NULL finds NULL, 0 finds -0, a deleted record
// is passed over, a key no record holds finds nothing. Where a post or a change from outside
// could change the answers (a target in an index order that the run rewrites, a record that
// goes through the fields, an edit between two posts), the lookups still agree.
TEST(ClientDataSet, RecordUpdaterFindsEveryKeyAsLookupsDo)
{
    auto make = [](TClientDataSet& ds, int size) {
        ds.FieldDefs().Add("K", ftFloat);
        ds.FieldDefs().Add("S", ftString, size);
        ds.FieldDefs().Add("V", ftInteger);
        ds.CreateDataSet();
    };
    const double null = -1e300;     // stands for NULL below
    auto fill = [&](TClientDataSet& ds, const std::vector<std::tuple<double, QString, int>>& rows) {
        for (const auto& [k, s, v] : rows) {
            ds.Append();
            if (k != null) ds.FieldByName("K")->SetAsFloat(k);
            ds.FieldByName("S")->SetAsString(s);
            ds.FieldByName("V")->SetAsInteger(v);
            ds.Post();
        }
    };
    TClientDataSet source;
    make(source, 10);
    fill(source, {{2, "a", 30}, {1, "b", 31}, {0.0, "c", 32}, {null, "d", 33}, {2, "e", 34},
                  {7, "f", 35}, {3, "g", 36}, {2, "toolong", 37}, {1, "h", 38}, {3, "i", 39}});
    struct TCase {
        const char* Name;
        bool Index = false;         // the target in an index order on V, which the run rewrites
        int EditAt = -1;            // before that source record, the first record takes key 3
    };
    for (const TCase& c : {TCase{"plain"}, TCase{"index", true}, TCase{"outside edit", false, 6}}) {
        SCOPED_TRACE(c.Name);
        TClientDataSet target;
        make(target, 6);
        fill(target, {{5, "x", 12}, {2, "x", 11}, {-0.0, "x", 10}, {2, "x", 9}, {null, "x", 8},
                      {1, "x", 7}, {3, "x", 6}, {3, "x", 5}, {9, "x", 4}});
        target.MergeChangeLog();
        ASSERT_TRUE(target.Locate("V", 6));
        target.Delete();
        if (c.Index) target.SetIndexFieldNames("V");
        std::vector<TRecordUpdater::TPair> pairs{{target.FieldByName("K"), source.FieldByName("K")},
                                                 {target.FieldByName("S"), source.FieldByName("S")},
                                                 {target.FieldByName("V"), source.FieldByName("V")}};
        TRecordUpdater updater(source, target, pairs, {target.FieldByName("K"), source.FieldByName("K")});
        TLocateHash hash(target, target.FieldByName("K"));
        TLocateHash reference(target, target.FieldByName("K"));
        updater.FindAll(hash);
        int n = 0, posted = 0;
        for (source.First(); !source.Eof(); source.Next(), ++n) {
            if (n == c.EditAt) EditFloat(target, "V", 12, "K", 3);
            if (!updater.Take()) {
                EXPECT_EQ(source.FieldByName("S")->AsString(), "toolong");
                continue;
            }
            const TRecordId expected = reference.FindBlock(updater.KeyBlock());
            const TRecordId id = updater.Find(hash);
            ASSERT_EQ(id, expected) << "source record " << n;
            if (id == NoRecord) {
                updater.Drop();
                continue;
            }
            updater.Post(id);
            ++posted;
        }
        EXPECT_EQ(posted, 8);
    }
}

// Versions made beforehand, on several threads, are posted as the run's own posts would be,
// byte for byte: long values, NULLs, values kept as they were, keys no record holds. Where they
// cannot hold (a key found twice, a value that must go through the fields, a change from
// outside between two posts) the run goes the ordinary way and ends the same.
TEST(ClientDataSet, RecordUpdaterPostsVersionsMadeBeforehandAsItsOwnPostsAre)
{
    auto make = [](TClientDataSet& ds) {
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("S", ftString, 200);
        ds.FieldDefs().Add("F", ftFloat);
        ds.CreateDataSet();
    };
    auto fill = [](TClientDataSet& ds, int rows, int scramble, int from) {
        for (int r = 0; r < rows; ++r) {
            ds.Append();
            ds.FieldByName("ID")->SetAsInteger((r * scramble) % rows);
            if (r % 5) ds.FieldByName("S")->SetAsString(QString(40 + r % 50, QChar(u'a' + (r + from) % 3)));
            if (r % 7) ds.FieldByName("F")->SetAsFloat((r + from) % 4);
            ds.Post();
        }
    };
    constexpr int Rows = 9000;      // several threads' shares
    struct TCase {
        const char* Name;
        int Twice = -1;             // the source record that takes the key of the one before
        int Long = -1;              // the source record whose text is too long for the target
        int EditAt = -1;            // before that source record, the target is edited
    };
    for (const TCase& c : {TCase{"made beforehand"}, TCase{"a key twice", 4000}, TCase{"too long", -1, 6000},
                           TCase{"outside edit", -1, -1, 5000}}) {
        SCOPED_TRACE(c.Name);
        TClientDataSet source;
        make(source);
        fill(source, Rows + 100, 1, 1);     // IDs past the target's find nothing
        if (c.Twice >= 0) {
            source.SetRecNo(c.Twice + 1);
            source.Edit();
            source.FieldByName("ID")->SetAsInteger(c.Twice - 1);
            source.Post();
        }
        if (c.Long >= 0) {
            source.SetRecNo(c.Long + 1);
            source.Edit();
            source.FieldByName("S")->SetAsString(QString(150, QLatin1Char('L')));
            source.Post();
        }
        QByteArray data[2];
        int changes[2] = {0, 0};
        for (const bool beforehand : {true, false}) {
            TClientDataSet target;
            target.FieldDefs().Add("ID", ftInteger);
            target.FieldDefs().Add("S", ftString, c.Long >= 0 ? 100 : 200);
            target.FieldDefs().Add("F", ftFloat);
            target.CreateDataSet();
            fill(target, Rows, 7919, 0);
            target.MergeChangeLog();
            std::vector<TRecordUpdater::TPair> pairs;
            for (const char* n : {"ID", "S", "F"}) pairs.emplace_back(target.FieldByName(n), source.FieldByName(n));
            TRecordUpdater updater(source, target, pairs, {target.FieldByName("ID"), source.FieldByName("ID")});
            TLocateHash hash(target, target.FieldByName("ID"));
            updater.FindAll(hash);
            if (beforehand) updater.PrepareAll(hash);
            int n = 0, early = 0;
            for (source.First(); !source.Eof(); source.Next(), ++n) {
                if (n == c.EditAt) EditFloat(target, "ID", 17, "F", 99);
                updater.ReadAhead(hash);
                if (updater.PostPrepared()) {
                    ++early;
                    continue;
                }
                if (!updater.Take()) {
                    ASSERT_TRUE(target.Locate("ID", source.FieldByName("ID")->Value()));
                    target.Edit();
                    for (const char* f : {"ID", "S", "F"}) target.FieldByName(f)->SetValue(source.FieldByName(f)->Value());
                    target.Post();
                    continue;
                }
                const TRecordId id = updater.Find(hash);
                if (id == NoRecord) updater.Drop();
                else updater.Post(id);
            }
            target.Resync();
            // Every record, none, or those before the edit went the early way.
            const bool whole = c.Twice < 0 && c.Long < 0 && beforehand;
            EXPECT_EQ(early, whole ? (c.EditAt >= 0 ? c.EditAt : Rows + 100) : 0);
            data[beforehand] = target.Data();
            changes[beforehand] = target.ChangeCount();
        }
        EXPECT_EQ(changes[1], c.EditAt >= 0 ? Rows + 1 : Rows);
        EXPECT_EQ(changes[1], changes[0]);
        EXPECT_TRUE(data[1] == data[0]);
    }
}

// The hash of a field's values answers what Locate answers, for numbers (0 and -0 among
// them), texts and dates with repeated and NULL values, while records are edited, inserted,
// deleted and undone through the dataset and through a clone.
TEST(ClientDataSet, LocateHashAgreesWithLocateAsRecordsChange)
{
    std::mt19937 rng(11);
    TClientDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("I", ftInteger);
    ds.FieldDefs().Add("S", ftString, 10);
    ds.FieldDefs().Add("F", ftFloat);
    ds.FieldDefs().Add("D", ftDate);
    ds.CreateDataSet();
    int nextId = 0;
    auto fill = [&] {
        ds.FieldByName("ID")->SetAsInteger(nextId++);
        const int k = int(rng() % 40);
        if (k == 0) return;     // NULLs
        ds.FieldByName("I")->SetAsInteger(k);
        ds.FieldByName("S")->SetAsString(k % 3 ? QStringLiteral("s%1").arg(k) : QStringLiteral("S%1").arg(k));
        ds.FieldByName("F")->SetAsFloat(k == 2 ? -0.0 : k / 4.0);
        ds.FieldByName("D")->SetAsDateTime(40000 + k);
    };
    for (int i = 0; i < 2000; ++i) {
        ds.Append();
        fill();
        ds.Post();
    }
    TClientDataSet clone;
    clone.CloneCursor(&ds, true);
    std::vector<std::unique_ptr<TLocateHash>> hashes;
    const QStringList fields{"I", "S", "F", "D"};
    for (const QString& f : fields) hashes.push_back(std::make_unique<TLocateHash>(ds, ds.FieldByName(f)));
    auto keyOf = [&](const QString& f, int k) -> TVariant {
        if (k == 0) return TVariant::Null();
        if (f == "I") return TVariant(k);
        if (f == "S") return TVariant(k % 3 ? QStringLiteral("s%1").arg(k) : QStringLiteral("S%1").arg(k));
        if (f == "F") return TVariant(k == 2 ? 0.0 : k / 4.0);
        return TVariant::FromDate(40000 + k);
    };
    auto check = [&] {
        for (int n = 0; n < 8; ++n) {
            const int fi = int(rng() % 4);
            const TVariant key = keyOf(fields[fi], int(rng() % 44));
            const TRecordId id = hashes[size_t(fi)]->Find(key);
            if (!ds.Locate(fields[fi], key)) {
                ASSERT_EQ(id, NoRecord) << fields[fi].toStdString();
                continue;
            }
            const int expected = ds.FieldByName("ID")->AsInteger();
            ASSERT_NE(id, NoRecord) << fields[fi].toStdString();
            ds.GotoBookmark(TBookmark(id));
            ASSERT_EQ(ds.FieldByName("ID")->AsInteger(), expected) << fields[fi].toStdString();
        }
    };
    for (int step = 0; step < 1500; ++step) {
        TClientDataSet& target = step % 5 == 0 ? clone : ds;
        const int op = int(rng() % 10);
        if (target.RecordCount() > 0) target.SetRecNo(int(rng() % quint32(target.RecordCount())) + 1);
        if (op < 5 && target.RecordCount() > 0) {
            target.Edit();
            const int k = int(rng() % 40);
            const QString f = fields[int(rng() % 4)];
            target.FieldByName(f)->SetValue(keyOf(f, k));
            target.Post();
        } else if (op < 7) {
            if (&target == &ds) {
                ds.Insert();
                fill();
                ds.Post();
            }
        } else if (op < 9 && target.RecordCount() > 0) {
            target.Delete();
        } else {
            ds.UndoLastChange(false);
        }
        check();
    }
    ds.MergeChangeLog();
    check();
}
