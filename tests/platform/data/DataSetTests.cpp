#include "tests/common/TestSupport.h"
#include "tests/platform/data/TestDataSet.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

// Five records: ID, Name, Amount.
class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ds = std::make_unique<TTestDataSet>();
        ds->setObjectName(QStringLiteral("cdsTest"));
        ds->FieldDefs().Add("ID", ftInteger);
        ds->FieldDefs().Add("Name", ftString, 20);
        ds->FieldDefs().Add("Amount", ftFloat);
        ds->AddRow({1, "Alpha", 1.5});
        ds->AddRow({2, "beta", 2.5});
        ds->AddRow({3, "Gamma", 3.5});
        ds->AddRow({4, "delta", 4.5});
        ds->AddRow({5, "Epsilon", 5.5});
        ds->Log = &log;
    }

    void Open()
    {
        ds->Open();
        id = ds->FieldByName("ID");
        name = ds->FieldByName("Name");
        amount = ds->FieldByName("Amount");
    }

    // Every dataset event appends its name to the log.
    void LogEvents()
    {
        auto add = [this](TDataSet::TDataSetNotifyEvent& e, const char* n) {
            e = [this, n](TDataSet*) { log << QString::fromLatin1(n); };
        };
        add(ds->BeforeOpen, "BeforeOpen");
        add(ds->AfterOpen, "AfterOpen");
        add(ds->BeforeClose, "BeforeClose");
        add(ds->AfterClose, "AfterClose");
        add(ds->BeforeInsert, "BeforeInsert");
        add(ds->AfterInsert, "AfterInsert");
        add(ds->BeforeEdit, "BeforeEdit");
        add(ds->AfterEdit, "AfterEdit");
        add(ds->BeforePost, "BeforePost");
        add(ds->AfterPost, "AfterPost");
        add(ds->BeforeCancel, "BeforeCancel");
        add(ds->AfterCancel, "AfterCancel");
        add(ds->BeforeDelete, "BeforeDelete");
        add(ds->AfterDelete, "AfterDelete");
        add(ds->BeforeScroll, "BeforeScroll");
        add(ds->AfterScroll, "AfterScroll");
        add(ds->OnNewRecord, "OnNewRecord");
    }

    QList<int> Ids()
    {
        QList<int> ids;
        ds->First();
        while (!ds->Eof()) {
            ids << id->AsInteger();
            ds->Next();
        }
        return ids;
    }

    QStringList log;
    std::unique_ptr<TTestDataSet> ds;
    TField* id = nullptr;
    TField* name = nullptr;
    TField* amount = nullptr;
};

template <typename E>
QString MessageOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

} // namespace

TEST_F(DataSetTest, OpenAndCloseWithDefaultFields)
{
    LogEvents();
    EXPECT_EQ(ds->State(), dsInactive);
    EXPECT_EQ(ds->FieldCount(), 0);
    Open();
    EXPECT_EQ(log, QStringList({"BeforeOpen", "AfterOpen", "AfterScroll"}));
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_TRUE(ds->DefaultFields());
    ASSERT_EQ(ds->FieldCount(), 3);
    EXPECT_EQ(ds->Fields()[1]->FieldNo(), 2);
    EXPECT_TRUE(qobject_cast<TStringField*>(name));
    EXPECT_EQ(ds->FindField("aMoUnT"), amount);
    EXPECT_EQ(ds->FindField("Missing"), nullptr);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->FieldByName("Missing"); }), QStringLiteral("cdsTest: Field 'Missing' not found"));
    EXPECT_EQ(ds->FieldValues("ID;Name")[1].AsString(), QStringLiteral("Alpha"));

    log.clear();
    ds->Close();
    EXPECT_EQ(log, QStringList({"BeforeClose", "AfterClose"}));
    EXPECT_EQ(ds->FieldCount(), 0);
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_EQ(ds->RecNo(), -1);

    // BeforeOpen may refuse.
    ds->BeforeOpen = [](TDataSet*) { Abort(); };
    EXPECT_THROW(ds->Open(), EAbort);
    EXPECT_FALSE(ds->Active());
}

TEST_F(DataSetTest, PersistentFieldsAreBoundByName)
{
    auto* f = new TFloatField(ds.get());
    f->SetFieldName("amount");
    f->SetDataSet(ds.get());
    ds->Open();
    EXPECT_FALSE(ds->DefaultFields());
    ASSERT_EQ(ds->FieldCount(), 1);
    EXPECT_EQ(f->FieldNo(), 3);
    EXPECT_DOUBLE_EQ(f->AsFloat(), 1.5);
    ds->Close();
    EXPECT_EQ(ds->FieldCount(), 1);   // persistent fields outlive the cursor

    auto* wrong = new TIntegerField(ds.get());
    wrong->SetFieldName("Name");
    wrong->SetDataSet(ds.get());
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Open(); }),
              QStringLiteral("cdsTest: Type mismatch for field 'Name', expecting: Integer actual: String"));
    EXPECT_FALSE(ds->Active());
    delete wrong;
    auto* missing = new TIntegerField(ds.get());
    missing->SetFieldName("Nowhere");
    missing->SetDataSet(ds.get());
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Open(); }), QStringLiteral("cdsTest: Field 'Nowhere' not found"));
    delete missing;
    ds->Open();
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { f->SetFieldName("Other"); }),
              QStringLiteral("cdsTest: Cannot perform this operation on an open dataset"));
}

TEST_F(DataSetTest, MoveByReturnsTheDistanceMoved)
{
    Open();
    struct Step { int distance; int moved; int recNo; bool bof; bool eof; };
    const Step steps[] = {
        {2, 2, 3, false, false},
        {10, 2, 5, false, true},
        {1, 0, 5, false, true},
        {-1, -1, 4, false, false},
        {1, 1, 5, false, false},   // on the last record, but no step has failed yet
        {1, 0, 5, false, true},
        {-100, -4, 1, true, false},
        {-1, 0, 1, true, false},
        {0, 0, 1, false, false},
    };
    EXPECT_TRUE(ds->Bof());
    for (const Step& s : steps) {
        EXPECT_EQ(ds->MoveBy(s.distance), s.moved) << "MoveBy(" << s.distance << ")";
        EXPECT_EQ(ds->RecNo(), s.recNo) << s.distance;
        EXPECT_EQ(id->AsInteger(), s.recNo) << s.distance;
        if (s.distance != 0) {
            EXPECT_EQ(ds->Bof(), s.bof) << s.distance;
            EXPECT_EQ(ds->Eof(), s.eof) << s.distance;
        }
    }
    ds->Last();
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(id->AsInteger(), 5);
    ds->SetRecNo(3);
    EXPECT_EQ(id->AsInteger(), 3);
    ds->SetRecNo(99);
    EXPECT_EQ(ds->RecNo(), 3);
    EXPECT_EQ(Ids(), QList<int>({1, 2, 3, 4, 5}));
}

TEST_F(DataSetTest, EmptyDataSet)
{
    TTestDataSet empty;
    empty.FieldDefs().Add("ID", ftInteger);
    int scrolls = 0;
    empty.AfterScroll = [&](TDataSet*) { ++scrolls; };
    empty.Open();
    EXPECT_EQ(scrolls, 0);
    EXPECT_TRUE(empty.Bof());
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.RecNo(), -1);
    EXPECT_EQ(empty.MoveBy(3), 0);
    EXPECT_TRUE(empty.FieldByName("ID")->IsNull());
    EXPECT_TRUE(empty.GetBookmark().IsNull());
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { empty.Delete(); }), QStringLiteral("Cannot perform this operation on an empty dataset"));
    // Edit of an empty dataset inserts.
    empty.Edit();
    EXPECT_EQ(empty.State(), dsInsert);
    EXPECT_EQ(empty.RecordCount(), 1);
    EXPECT_EQ(empty.RecNo(), 1);
}

TEST_F(DataSetTest, EditAndPostInOrder)
{
    Open();
    ds->Next();
    LogEvents();
    ds->Edit();
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_FALSE(ds->Modified());
    name->SetAsString("Bravo");
    EXPECT_TRUE(ds->Modified());
    EXPECT_EQ(name->AsString(), QStringLiteral("Bravo"));
    EXPECT_EQ(name->OldValue().AsString(), QStringLiteral("beta"));
    EXPECT_DOUBLE_EQ(amount->AsFloat(), 2.5);   // unassigned fields read the stored record
    ds->Post();
    EXPECT_EQ(log, QStringList({"BeforeEdit", "InternalEdit", "AfterEdit", "BeforePost", "InternalPost", "AfterPost"}));
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_FALSE(ds->Modified());
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_EQ(ds->Stored(1, 1).AsString(), QStringLiteral("Bravo"));
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Post(); }), QStringLiteral("cdsTest: Dataset not in edit or insert mode"));
}

TEST_F(DataSetTest, BeforeEventsAbortSilentlyAndKeepTheState)
{
    Open();
    ds->Edit();
    name->SetAsString("Changed");
    ds->BeforePost = [](TDataSet*) { Abort(); };
    log.clear();
    EXPECT_THROW(ds->Post(), EAbort);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_TRUE(ds->Modified());
    EXPECT_EQ(name->AsString(), QStringLiteral("Changed"));
    // Moving would post first: the abort stops the move too.
    EXPECT_THROW(ds->Next(), EAbort);
    EXPECT_EQ(ds->RecNo(), 1);
    ds->Cancel();
    EXPECT_EQ(name->AsString(), QStringLiteral("Alpha"));

    ds->BeforeEdit = [](TDataSet*) { Abort(); };
    EXPECT_THROW(ds->Edit(), EAbort);
    EXPECT_EQ(ds->State(), dsBrowse);
    ds->BeforeDelete = [](TDataSet*) { Abort(); };
    EXPECT_THROW(ds->Delete(), EAbort);
    EXPECT_EQ(ds->RecordCount(), 5);
    ds->BeforeInsert = [](TDataSet*) { Abort(); };
    EXPECT_THROW(ds->Append(), EAbort);
    EXPECT_EQ(ds->RecordCount(), 5);
    ds->BeforeScroll = [](TDataSet*) { Abort(); };
    EXPECT_THROW(ds->Last(), EAbort);
    EXPECT_EQ(ds->RecNo(), 1);
}

TEST_F(DataSetTest, MovingWhileEditingPostsFirst)
{
    Open();
    ds->Edit();
    amount->SetAsFloat(10);
    ds->Next();
    EXPECT_EQ(ds->Posts, 1);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_DOUBLE_EQ(ds->Stored(0, 2).AsDouble(), 10);

    // An untouched edit is cancelled, not posted.
    ds->Edit();
    log.clear();
    ds->Prior();
    EXPECT_EQ(ds->Posts, 1);
    EXPECT_EQ(log, QStringList({"InternalCancel"}));

    // Appending while editing posts the edit.
    ds->Edit();
    name->SetAsString("Again");
    ds->Append();
    EXPECT_EQ(ds->Posts, 2);
    EXPECT_EQ(ds->State(), dsInsert);
}

TEST_F(DataSetTest, CloseCancelsAnEdit)
{
    Open();
    LogEvents();
    ds->Edit();
    name->SetAsString("Lost");
    log.clear();
    ds->Close();
    EXPECT_EQ(log, QStringList({"BeforeClose", "InternalCancel", "AfterClose"}));
    EXPECT_EQ(ds->Posts, 0);
    Open();
    EXPECT_EQ(name->AsString(), QStringLiteral("Alpha"));
}

TEST_F(DataSetTest, InsertInTheMiddleAndAppendAtTheEnd)
{
    Open();
    LogEvents();
    ds->SetRecNo(3);
    log.clear();
    ds->Insert();
    EXPECT_EQ(log, QStringList({"BeforeInsert", "BeforeScroll", "InternalInsert", "OnNewRecord", "AfterInsert", "AfterScroll"}));
    EXPECT_EQ(ds->State(), dsInsert);
    EXPECT_EQ(ds->RecordCount(), 6);
    EXPECT_EQ(ds->RecNo(), 3);
    EXPECT_FALSE(ds->Eof());
    EXPECT_TRUE(id->IsNull());
    EXPECT_TRUE(ds->GetBookmark().IsNull());
    id->SetAsInteger(30);
    name->SetAsString("Inserted");
    ds->Post();
    EXPECT_EQ(ds->RecNo(), 3);
    EXPECT_EQ(id->AsInteger(), 30);
    EXPECT_EQ(Ids(), QList<int>({1, 2, 30, 3, 4, 5}));

    ds->First();
    ds->Append();
    EXPECT_EQ(ds->RecordCount(), 7);
    EXPECT_EQ(ds->RecNo(), 7);
    EXPECT_TRUE(ds->Eof());
    id->SetAsInteger(70);
    ds->Post();
    EXPECT_EQ(ds->RecNo(), 7);
    EXPECT_EQ(Ids(), QList<int>({1, 2, 30, 3, 4, 5, 70}));

    // Default values from OnNewRecord do not count as a change: moving cancels the row.
    ds->OnNewRecord = [this](TDataSet*) { amount->SetAsFloat(99); };
    ds->First();
    ds->Insert();
    EXPECT_DOUBLE_EQ(amount->AsFloat(), 99);
    EXPECT_FALSE(ds->Modified());
    ds->Next();
    EXPECT_EQ(ds->RecordCount(), 7);
}

TEST_F(DataSetTest, CancellingAnInsertRemovesTheNewRow)
{
    Open();
    ds->SetRecNo(2);
    ds->Insert();
    name->SetAsString("Gone");
    EXPECT_EQ(ds->RecordCount(), 6);
    ds->Cancel();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->RecordCount(), 5);
    EXPECT_EQ(id->AsInteger(), 2);
    EXPECT_EQ(ds->StoredCount(), 5);

    ds->Append();
    ds->Cancel();
    EXPECT_EQ(id->AsInteger(), 5);
    // Delete on a new row cancels it.
    ds->Insert();
    ds->Delete();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->RecordCount(), 5);
}

TEST_F(DataSetTest, DeleteMovesToTheNextRecord)
{
    Open();
    LogEvents();
    ds->SetRecNo(3);
    log.clear();
    ds->Delete();
    EXPECT_EQ(log, QStringList({"BeforeDelete", "BeforeScroll", "InternalDelete", "AfterDelete", "AfterScroll"}));
    EXPECT_EQ(id->AsInteger(), 4);
    EXPECT_EQ(ds->RecNo(), 3);
    ds->Last();
    ds->Delete();
    EXPECT_EQ(id->AsInteger(), 4);
    EXPECT_EQ(ds->RecordCount(), 3);
    // Deleting while editing drops the edit with the record.
    ds->First();
    ds->Edit();
    name->SetAsString("Doomed");
    ds->Delete();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(Ids(), QList<int>({2, 4}));
    ds->First();
    while (!ds->IsEmpty()) ds->Delete();
    EXPECT_TRUE(ds->Eof());
    EXPECT_TRUE(ds->Bof());
}

TEST_F(DataSetTest, BookmarksSurviveDeletesOfOtherRecords)
{
    Open();
    ds->SetRecNo(4);
    const TBookmark fourth = ds->GetBookmark();
    ds->SetRecNo(2);
    const TBookmark second = ds->Bookmark();
    EXPECT_EQ(ds->CompareBookmarks(second, fourth), -1);
    EXPECT_EQ(ds->CompareBookmarks(fourth, second), 1);
    EXPECT_EQ(ds->CompareBookmarks(fourth, fourth), 0);
    EXPECT_EQ(ds->CompareBookmarks(TBookmark(), fourth), 1);   // no bookmark sorts last
    EXPECT_EQ(ds->CompareBookmarks(TBookmark(), TBookmark()), 0);
    ds->First();
    ds->Delete();
    ds->Delete();   // the record of `second` is gone
    EXPECT_TRUE(ds->BookmarkValid(fourth));
    EXPECT_FALSE(ds->BookmarkValid(second));
    EXPECT_EQ(ds->CompareBookmarks(second, fourth), 2);
    ds->GotoBookmark(fourth);
    EXPECT_EQ(id->AsInteger(), 4);
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->GotoBookmark(second); }), QStringLiteral("cdsTest: Record not found"));
    EXPECT_EQ(id->AsInteger(), 4);
    ds->GotoBookmark(TBookmark());   // nothing happens
    EXPECT_EQ(id->AsInteger(), 4);
}

TEST_F(DataSetTest, RequiredFieldsAndPostErrors)
{
    ds->FieldDefs()[1]->SetRequired(true);
    Open();
    EXPECT_TRUE(name->Required());
    ds->Append();
    id->SetAsInteger(6);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Post(); }), QStringLiteral("Field 'Name' must have a value"));
    EXPECT_EQ(ds->State(), dsInsert);
    name->SetAsString("Six");

    ds->FailPostWith = QStringLiteral("Key violation");
    int errors = 0;
    TDataAction answer = daFail;
    ds->OnPostError = [&](TDataSet*, EDatabaseError& e, TDataAction& action) {
        ++errors;
        EXPECT_EQ(e.Message(), QStringLiteral("Key violation"));
        action = answer;
        if (answer == daRetry) ds->FailPostWith.clear();
    };
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Post(); }), QStringLiteral("Key violation"));
    EXPECT_EQ(ds->State(), dsInsert);
    answer = daAbort;
    EXPECT_THROW(ds->Post(), EAbort);
    EXPECT_EQ(ds->State(), dsInsert);
    answer = daRetry;
    ds->Post();
    EXPECT_EQ(errors, 3);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(name->AsString(), QStringLiteral("Six"));

    ds->FailDeleteWith = QStringLiteral("Locked");
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Delete(); }), QStringLiteral("Locked"));
    EXPECT_EQ(ds->RecordCount(), 6);
}

TEST_F(DataSetTest, ReadOnlyAndStateChecks)
{
    Open();
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { name->SetAsString("x"); }), QStringLiteral("cdsTest: Dataset not in edit or insert mode"));
    name->SetReadOnly(true);
    ds->Edit();
    EXPECT_FALSE(name->CanModify());
    EXPECT_TRUE(id->CanModify());
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { name->SetAsString("x"); }), QStringLiteral("cdsTest: Field 'Name' cannot be modified"));
    ds->Cancel();
    ds->SetReadOnly(true);
    EXPECT_FALSE(ds->CanModify());
    EXPECT_FALSE(id->CanModify());
    const QString refused = QStringLiteral("cdsTest: Cannot modify a read-only dataset");
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Edit(); }), refused);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Insert(); }), refused);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Delete(); }), refused);
    EXPECT_EQ(ds->State(), dsBrowse);
    ds->Close();
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->First(); }), QStringLiteral("cdsTest: Cannot perform this operation on a closed dataset"));
}

TEST_F(DataSetTest, FieldEventsAndValidation)
{
    Open();
    QStringList events;
    name->OnValidate = [&](TField* f) {
        events << "validate " + f->AsString();   // the new value is readable here
        if (f->AsString() == "bad") throw EDatabaseError(QStringLiteral("No bad names"));
    };
    name->OnChange = [&](TField* f) { events << "change " + f->AsString(); };
    ds->Edit();
    name->SetAsString("good");
    EXPECT_THROW(name->SetAsString("bad"), EDatabaseError);
    EXPECT_EQ(name->AsString(), QStringLiteral("good"));
    EXPECT_EQ(events, QStringList({"validate good", "change good", "validate bad"}));

    name->OnGetText = [](TField* f, QString& text, bool display) { text = (display ? "<" : "[") + f->AsString() + (display ? ">" : "]"); };
    name->OnSetText = [](TField* f, const QString& text) { f->SetAsString(text.toUpper()); };
    EXPECT_EQ(name->DisplayText(), QStringLiteral("<good>"));
    EXPECT_EQ(name->EditText(), QStringLiteral("[good]"));
    name->SetText("shout");
    EXPECT_EQ(name->AsString(), QStringLiteral("SHOUT"));

    ds->ClearFields();
    EXPECT_TRUE(name->IsNull());
    EXPECT_TRUE(id->IsNull());
    ds->Cancel();
    EXPECT_EQ(id->AsInteger(), 1);
}

TEST_F(DataSetTest, CalculatedAndLookupFields)
{
    // Persistent fields: two data fields, a calculated one and a lookup into a second dataset.
    auto* fId = new TIntegerField(ds.get());
    fId->SetFieldName("ID");
    fId->SetDataSet(ds.get());
    auto* fAmount = new TFloatField(ds.get());
    fAmount->SetFieldName("Amount");
    fAmount->SetDataSet(ds.get());
    auto* fDouble = new TFloatField(ds.get());
    fDouble->SetFieldName("Double");
    fDouble->SetFieldKind(fkCalculated);
    fDouble->SetDataSet(ds.get());

    TTestDataSet colours;
    colours.FieldDefs().Add("Code", ftInteger);
    colours.FieldDefs().Add("Colour", ftString, 10);
    colours.AddRow({2, "Blue"});
    colours.AddRow({4, "Red"});
    colours.Open();
    auto* fColour = new TStringField(ds.get());
    fColour->SetFieldName("Colour");
    fColour->SetFieldKind(fkLookup);
    fColour->SetKeyFields("ID");
    fColour->SetLookupDataSet(&colours);
    fColour->SetLookupKeyFields("Code");
    fColour->SetLookupResultField("Colour");
    fColour->SetDataSet(ds.get());

    int calcs = 0;
    ds->OnCalcFields = [&](TDataSet* d) {
        ++calcs;
        EXPECT_EQ(d->State(), dsCalcFields);
        fDouble->SetAsFloat(fAmount->AsFloat() * 2);
    };
    ds->Open();
    EXPECT_EQ(fDouble->FieldNo(), -1);
    EXPECT_DOUBLE_EQ(fDouble->AsFloat(), 3.0);
    EXPECT_DOUBLE_EQ(fDouble->AsFloat(), 3.0);
    EXPECT_EQ(calcs, 1);   // computed once per record
    EXPECT_TRUE(fColour->IsNull());
    ds->Next();
    EXPECT_EQ(fColour->AsString(), QStringLiteral("Blue"));
    EXPECT_DOUBLE_EQ(fDouble->AsFloat(), 5.0);
    EXPECT_EQ(calcs, 2);
    ds->Edit();
    fAmount->SetAsFloat(10);
    EXPECT_DOUBLE_EQ(fDouble->AsFloat(), 20.0);   // the edit buffer's values
    fId->SetAsInteger(4);
    EXPECT_EQ(fColour->AsString(), QStringLiteral("Red"));
    ds->Cancel();
    EXPECT_DOUBLE_EQ(fDouble->AsFloat(), 5.0);
    EXPECT_EQ(ds->Lookup("Colour", "Blue", "ID").AsInteger(), 2);
    EXPECT_TRUE(ds->Locate("Double", 7.0));
    EXPECT_EQ(fId->AsInteger(), 3);
}

TEST_F(DataSetTest, FilteringThroughOnFilterRecord)
{
    Open();
    TDataSetState seen = dsInactive;
    ds->OnFilterRecord = [&](TDataSet* d, bool& accept) {
        seen = d->State();
        accept = d->FieldByName("ID")->AsInteger() % 2 == 0;
    };
    ds->SetRecNo(3);
    ds->SetFiltered(true);
    EXPECT_EQ(seen, dsFilter);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->RecordCount(), 2);
    EXPECT_EQ(ds->RecNo(), 1);
    EXPECT_EQ(Ids(), QList<int>({2, 4}));
    ds->First();
    ds->Edit();
    id->SetAsInteger(7);   // no longer passes: the cursor moves on after the post
    ds->Post();
    EXPECT_EQ(Ids(), QList<int>({4}));
    ds->SetFiltered(false);
    EXPECT_EQ(Ids(), QList<int>({1, 7, 3, 4, 5}));
    ds->SetFilter("anything");   // the text is the dataset class's own business
    EXPECT_EQ(ds->Filter(), QStringLiteral("anything"));
}

TEST_F(DataSetTest, LocateWithOptionsAndSeveralFields)
{
    Open();
    struct Case { const char* fields; TVariant key; TLocateOptions options; int found; };
    const Case cases[] = {
        {"Name", "beta", {}, 2},
        {"Name", "BETA", loCaseInsensitive, 2},
        {"Name", "BETA", {}, 0},
        {"Name", "Gam", loPartialKey, 3},
        {"Name", "gam", {}, 0},
        {"Name", "gam", loPartialKey | loCaseInsensitive, 3},
        {"name", "Delta", loCaseInsensitive, 4},
        {"ID;Name", VarArrayOf({4, "delta"}), {}, 4},
        {"ID;Name", VarArrayOf({4, "Delta"}), {}, 0},
        {"ID;Name", VarArrayOf({"5", "eps"}), loPartialKey | loCaseInsensitive, 5},
        {"Amount", 3.5, {}, 3},
        {"Amount", "3.5", {}, 3},
        {"ID", "abc", {}, 0},      // not a number: matches nothing
        {"ID", TVariant::Null(), {}, 0},
    };
    for (const Case& c : cases) {
        ds->SetRecNo(1);
        EXPECT_EQ(ds->Locate(c.fields, c.key, c.options), c.found != 0) << c.fields << " " << c.key.AsString().toStdString();
        EXPECT_EQ(id->AsInteger(), c.found ? c.found : 1) << c.fields;
    }
    // A null key finds a null value.
    ds->Append();
    id->SetAsInteger(6);
    ds->Post();
    ds->First();
    EXPECT_TRUE(ds->Locate("Name", TVariant::Null()));
    EXPECT_EQ(id->AsInteger(), 6);
    EXPECT_THROW(ds->Locate("Nothing", 1), EDatabaseError);
}

TEST_F(DataSetTest, LookupDoesNotMove)
{
    Open();
    ds->SetRecNo(2);
    int scrolls = 0;
    ds->AfterScroll = [&](TDataSet*) { ++scrolls; };
    EXPECT_EQ(ds->Lookup("Name", "Gamma", "ID").AsInteger(), 3);
    const TVariant both = ds->Lookup("ID", 4, "Name;Amount");
    ASSERT_EQ(both.ArrayCount(), 2);
    EXPECT_EQ(both[0].AsString(), QStringLiteral("delta"));
    EXPECT_DOUBLE_EQ(both[1].AsDouble(), 4.5);
    EXPECT_TRUE(ds->Lookup("ID", 42, "Name").IsNull());
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_EQ(scrolls, 0);
}

namespace {
// Counts the parent's moves it is told of.
class TNestedProbe : public TTestDataSet {
public:
    int ParentScrolls = 0;
protected:
    void DataEvent(TDataEvent event, qintptr info) override
    {
        if (event == deParentScroll) ++ParentScrolls;
        TTestDataSet::DataEvent(event, info);
    }
};
} // namespace

TEST_F(DataSetTest, NestedDataSetFollowsItsParent)
{
    ds->FieldDefs().Add("Items", ftDataSet);
    Open();
    auto* items = qobject_cast<TDataSetField*>(ds->FieldByName("Items"));
    ASSERT_TRUE(items);
    EXPECT_EQ(items->DisplayText(), QStringLiteral("(DataSet)"));
    TNestedProbe child;
    child.FieldDefs().Add("X", ftInteger);
    child.AddRow({1});
    items->SetNestedDataSet(&child);
    EXPECT_EQ(child.DataSetField(), items);
    EXPECT_EQ(child.ParentDataSet(), ds.get());
    child.Open();
    // The parent's moves reach the nested dataset, also while its controls are disabled.
    ds->DisableControls();
    ds->Next();
    ds->Last();
    ds->EnableControls();
    EXPECT_EQ(child.ParentScrolls, 3);
    // Editing the nested dataset puts the parent into edit state.
    child.Edit();
    EXPECT_EQ(ds->State(), dsEdit);
    child.Cancel();
    ds->Cancel();
    // Closing the parent frees its default fields; the nested dataset lets go.
    child.Close();
    ds->Close();
    EXPECT_EQ(child.DataSetField(), nullptr);
}

TEST_F(DataSetTest, ResyncKeepsTheCurrentRecordWhenTheStoreChanges)
{
    Open();
    int refreshes = 0;
    ds->BeforeRefresh = [&](TDataSet*) { ++refreshes; };
    ds->AfterRefresh = [&](TDataSet*) { ++refreshes; };
    ds->SetRecNo(3);
    ds->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("ID")->AsInteger() != 1; };
    ds->SetFiltered(true);
    ds->SetRecNo(2);
    EXPECT_EQ(id->AsInteger(), 3);
    // Records appear before the current one (through the store): it stays current.
    ds->OnFilterRecord = nullptr;
    ds->Refresh();
    EXPECT_EQ(refreshes, 2);
    ds->SetFiltered(false);
    ds->SetRecNo(3);
    ds->AddRow({0, "Zero", 0.0});
    EXPECT_EQ(id->AsInteger(), 3);
    EXPECT_EQ(ds->RecNo(), 3);
    // An appended row stays the last row while the store grows.
    ds->Append();
    ds->AddRow({7, "Seven", 7.0});
    EXPECT_EQ(ds->RecNo(), ds->RecordCount());
    EXPECT_EQ(ds->RecordCount(), 8);
    id->SetAsInteger(8);
    ds->Post();
    ds->Last();
    EXPECT_EQ(id->AsInteger(), 8);
    ds->Prior();
    EXPECT_EQ(id->AsInteger(), 7);
}

TEST_F(DataSetTest, FindFirstAndNextUseTheFilterWithoutFiltering)
{
    Open();
    ds->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("Amount")->AsFloat() > 2; };
    EXPECT_TRUE(ds->FindFirst());
    EXPECT_EQ(id->AsInteger(), 2);
    EXPECT_TRUE(ds->FindNext());
    EXPECT_EQ(id->AsInteger(), 3);
    EXPECT_TRUE(ds->FindLast());
    EXPECT_EQ(id->AsInteger(), 5);
    EXPECT_FALSE(ds->FindNext());
    EXPECT_FALSE(ds->Found());
    EXPECT_EQ(id->AsInteger(), 5);
    EXPECT_TRUE(ds->FindPrior());
    EXPECT_EQ(id->AsInteger(), 4);
    EXPECT_EQ(ds->RecordCount(), 5);
}
