#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqclient.h"
#include "gridlib/core/kqdbservices.h"
#include "platform/vcl/Dialogs.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// A client dataset of people with a masked zip code and phone, open and empty.
void CreatePeople(TkqClientDataSet& ds)
{
    ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("Zip"), ftString, 10);
    ds.FieldDefs().Add(QStringLiteral("Phone"), ftString, 12);
    ds.CreateDataSet();
    ds.SetPictureMasks({QStringLiteral("ZIP\t#####\tT\tF"), QStringLiteral("Phone\t###-####")});
}

void AppendPerson(TDataSet& ds, const char* name, const char* zip, const char* phone)
{
    ds.Append();
    ds.FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromLatin1(name));
    ds.FieldByName(QStringLiteral("Zip"))->SetAsString(QString::fromLatin1(zip));
    ds.FieldByName(QStringLiteral("Phone"))->SetAsString(QString::fromLatin1(phone));
    ds.Post();
}

QString PostError(TDataSet& ds)
{
    try {
        ds.Post();
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    return QString();
}
} // namespace

TEST(PictureValidation, ValueMatchesOnlyWhenComplete)
{
    const struct {
        const char* Mask;
        const char* Text;
        bool Match;
    } cases[] = {{"#####", "", true},     {"#####", "12345", true}, {"#####", "1234", false},
                 {"#####", "1234a", false}, {"[#", "1", false},       {"*#", "12", true}};
    for (const auto& c : cases)
        EXPECT_EQ(ValueMatchesPicture(QString::fromLatin1(c.Mask), QString::fromLatin1(c.Text)), c.Match)
            << c.Mask << " / " << c.Text;
}

TEST(PictureValidation, PostRefusedByAMaskWritesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("people.cds"));
    TkqClientDataSet ds;
    CreatePeople(ds);
    // As the data window does: every posted record saves the file.
    ds.AfterPost = [&](TDataSet*) { ds.SaveToFile(path); };
    AppendPerson(ds, "Ann", "12345", "555-1234");
    const QByteArray saved = ReadWholeFile(path);

    std::vector<QString> invalid;
    ds.SetOnInvalidValue([&](TDataSet* d, TField* f) {
        EXPECT_EQ(d, &ds);
        invalid.push_back(f->FieldName());
    });
    ds.Append();
    ds.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Bob"));
    ds.FieldByName(QStringLiteral("Zip"))->SetAsString(QStringLiteral("12a45"));
    ds.FieldByName(QStringLiteral("Phone"))->SetAsString(QStringLiteral("555"));
    // The first failing field in field order is named, and the handler runs once.
    EXPECT_EQ(PostError(ds), QStringLiteral("Invalid characters. Field : Zip"));
    EXPECT_EQ(invalid, std::vector<QString>{QStringLiteral("Zip")});
    EXPECT_EQ(ds.State(), dsInsert);
    EXPECT_EQ(ReadWholeFile(path), saved);

    // The library's text is the one used, then the corrected record posts.
    KqIntl()->UserMessages->PictureValidateError = QStringLiteral("Bad value in ");
    ds.FieldByName(QStringLiteral("Zip"))->SetAsString(QStringLiteral("12345"));
    ds.FieldByName(QStringLiteral("Phone"))->SetDisplayLabel(QStringLiteral("Telephone"));
    EXPECT_EQ(PostError(ds), QStringLiteral("Bad value in Telephone"));
    KqIntl()->UserMessages->PictureValidateError = QStringLiteral("Invalid characters. Field : ");
    ds.FieldByName(QStringLiteral("Phone"))->SetAsString(QStringLiteral("555-9876"));
    EXPECT_EQ(PostError(ds), QString());
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_NE(ReadWholeFile(path), saved);
}

TEST(PictureValidation, EmptyReadOnlyAndSwitchedOffPass)
{
    TkqClientDataSet ds;
    CreatePeople(ds);
    AppendPerson(ds, "Empty", "", "");   // an empty text always matches

    ds.FieldByName(QStringLiteral("Zip"))->SetReadOnly(true);
    ds.Append();
    ds.FieldByName(QStringLiteral("Phone"))->SetAsString(QStringLiteral("555-1234"));
    ds.FieldByName(QStringLiteral("Zip"))->SetReadOnly(false);
    ds.FieldByName(QStringLiteral("Zip"))->SetAsString(QStringLiteral("x"));
    ds.FieldByName(QStringLiteral("Zip"))->SetReadOnly(true);
    EXPECT_EQ(PostError(ds), QString());   // a read-only field that does not fit is passed over
    ds.FieldByName(QStringLiteral("Zip"))->SetReadOnly(false);

    ds.SetValidateWithMask(false);
    AppendPerson(ds, "Off", "bad", "bad");
    ds.SetValidateWithMask(true);
    ds.SetPictureMasks({});
    AppendPerson(ds, "None", "bad", "bad");
    EXPECT_EQ(ds.RecordCount(), 4);
}

TEST(ClientDataSet, NewDataSetAndItsPublishedLists)
{
    TkqClientDataSet ds;
    EXPECT_TRUE(ds.ValidateWithMask());
    EXPECT_TRUE(ds.ControlType().isEmpty());
    EXPECT_TRUE(ds.PictureMasks().isEmpty());
    EXPECT_TRUE(ds.FieldInfo().isEmpty());
    // The library reaches the lists and the event by property name only.
    ds.SetControlType({QStringLiteral("Method;CustomEdit;EdtMethod;F")});
    QStringList list;
    ASSERT_TRUE(GetControlTypeList(&ds, list));
    EXPECT_EQ(list, ds.ControlType());
    ASSERT_TRUE(SetStringListProperty(&ds, "PictureMasks", {QStringLiteral("Zip\t#####")}));
    EXPECT_EQ(ds.PictureMasks(), QStringList{QStringLiteral("Zip\t#####")});
    EXPECT_FALSE(SetStringListProperty(&ds, "FieldInfo", {QStringLiteral("x")}));   // read-only
    int calls = 0;
    ds.SetOnInvalidValue([&](TDataSet*, TField*) { ++calls; });
    GetOnInvalidValueHandler(&ds)(nullptr, nullptr);
    EXPECT_EQ(calls, 1);
}

TEST(ClientDataSet, OnFilterIsTheRecordFilter)
{
    TkqClientDataSet ds;
    CreatePeople(ds);
    ds.SetPictureMasks({});
    for (const char* name : {"Ann", "Bob", "Cy"}) AppendPerson(ds, name, "", "");
    EXPECT_TRUE(ds.IsSequenced());
    const TFilterRecordEvent onlyB = [](TDataSet* d, bool& accept) {
        accept = d->FieldByName(QStringLiteral("Name"))->AsString().startsWith(QLatin1Char('B'));
    };
    ds.SetOnFilter(onlyB);
    EXPECT_TRUE(ds.OnFilter());
    EXPECT_TRUE(ds.OnFilterRecord);
    EXPECT_FALSE(ds.IsSequenced());
    ds.SetFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Bob"));
    ds.SetFiltered(false);
    ds.SetOnFilter(nullptr);
    EXPECT_FALSE(ds.OnFilterRecord);
    EXPECT_TRUE(ds.IsSequenced());
}

TEST(PictureValidation, AutoFillWhileTyping)
{
    QLineEdit edit;
    auto type = [&](const char* mask, bool autoFill, QChar key) {
        const bool handled = AutoFillEditByPicture(&edit, QString::fromLatin1(mask), autoFill, key);
        EXPECT_EQ(key.isNull(), handled);
        return handled;
    };
    edit.setText(QStringLiteral("55"));
    edit.setCursorPosition(2);
    EXPECT_TRUE(type("###-####", true, QLatin1Char('5')));
    EXPECT_EQ(edit.text(), QStringLiteral("555-"));   // the literal comes with the third digit
    EXPECT_EQ(edit.cursorPosition(), 4);
    EXPECT_TRUE(type("###-####", true, QLatin1Char('x')));   // refused: beeps, text unchanged
    EXPECT_EQ(edit.text(), QStringLiteral("555-"));
    for (QChar c : QStringLiteral("1234")) EXPECT_TRUE(type("###-####", true, c));
    EXPECT_EQ(edit.text(), QStringLiteral("555-1234"));
    EXPECT_EQ(edit.cursorPosition(), 8);

    // A whole selected text is replaced; the caret goes to the end.
    edit.selectAll();
    EXPECT_TRUE(type("&&&", false, QLatin1Char('a')));
    EXPECT_EQ(edit.text(), QStringLiteral("A"));
    EXPECT_EQ(edit.cursorPosition(), 1);

    // The caret inside the text, or a control key: the caller handles the key.
    edit.setText(QStringLiteral("123"));
    edit.setCursorPosition(1);
    EXPECT_FALSE(type("###", true, QLatin1Char('4')));
    edit.setCursorPosition(3);
    EXPECT_FALSE(type("###", true, QChar(8)));
    EXPECT_EQ(TextAfterTyping(&edit, QLatin1Char('9')), QStringLiteral("1239"));
    edit.setSelection(1, 1);
    EXPECT_EQ(TextAfterTyping(&edit, QLatin1Char('9')), QStringLiteral("193"));
}

TEST(TextForFieldTypes, TypeTestsAndSearchTexts)
{
    const struct {
        TFieldType Type;
        const char* Text;
        bool Valid;
        bool Search;
    } cases[] = {
        {ftInteger, "", true, false},   {ftInteger, "-12", true, true},   {ftInteger, "1a", false, false},
        {ftAutoInc, "7", true, true},   {ftFloat, "2.5", true, true},      {ftCurrency, "x", false, false},
        {ftBCD, "", true, false},       {ftDate, "1/2/2003", true, true},  {ftDate, "1/2/2003 1:00", false, false},
        {ftTime, "10:30", true, true},  {ftDateTime, "1/2/2003", true, true},
        {ftDateTime, "1/2/2003 10:30", true, true}, {ftString, "", true, true}, {ftLargeint, "abc", true, true},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromLatin1(c.Text);
        EXPECT_EQ(IsValidTextForFieldType(c.Type, text), c.Valid) << int(c.Type) << " " << c.Text;
        TGridTestDataSet ds;
        ds.FieldDefs().Add(QStringLiteral("F"), c.Type, c.Type == ftString ? 10 : 0);
        ds.Open();
        EXPECT_EQ(IsValidSearchText(ds.FieldByName(QStringLiteral("F")), text), c.Search) << int(c.Type) << " " << c.Text;
    }
    EXPECT_FALSE(IsValidSearchText(nullptr, QStringLiteral("1")));
    EXPECT_TRUE(IsNumericFieldType(ftCurrency));
    EXPECT_FALSE(IsNumericFieldType(ftBCD));
}

TEST(KeySearch, MoveToFieldValueUsesTheRecordSearch)
{
    TGridTestDataSet ds;
    ds.Define({{"Id", ftInteger}, {"Name", ftWideString}});
    ds.Fill(5);
    ds.Open();
    struct Call {
        bool FromFirst;
        QString Value;
        int Match;
        bool Case;
    };
    std::vector<Call> calls;
    SetRecordSearch([&](bool fromFirst, TDataSet* d, const QString& field, const QString& value, int match, bool cs) {
        EXPECT_EQ(d, &ds);
        EXPECT_EQ(field, QStringLiteral("Name"));
        calls.push_back({fromFirst, value, match, cs});
        return d->Locate(field, TVariant(value), {});
    });
    // The current record already matches: no search.
    EXPECT_TRUE(MoveToFieldValue(&ds, QStringLiteral("name1"), QStringLiteral("Name"), 1, false));
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(MoveToFieldValue(&ds, QStringLiteral("Name4"), QStringLiteral("Name"), 0, true));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].FromFirst);
    EXPECT_EQ(calls[0].Match, 0);
    EXPECT_TRUE(calls[0].Case);
    EXPECT_EQ(ds.RecNo(), 4);
    EXPECT_THROW(MoveToFieldValue(&ds, QStringLiteral("x"), QStringLiteral("Missing"), 0, false), EDatabaseError);
    SetRecordSearch(nullptr);
    EXPECT_FALSE(MoveToFieldValue(&ds, QStringLiteral("Name2"), QStringLiteral("Name"), 0, false));
}

namespace {
// A client dataset serving the typed key search over IndexFieldNames; it records ranges.
class TIndexedDataSet : public TClientDataSet, public TkqIndexedTable {
public:
    QStringList ActiveIndexFields() const override
    {
        return IndexFieldNames().isEmpty() ? QStringList() : IndexFieldNames().split(QLatin1Char(';'));
    }
    bool ActiveIndexNamedDescending() const override { return Descending; }
    bool FieldMapsToCaseInsensitiveIndex(const QString&) const override { return CaseInsensitive; }
    bool NarrowSearch() const override { return Narrow; }
    void SetRangeFromKey(const QStringList& values, const QStringList& upper) override
    {
        Ranges << values.join(QLatin1Char('|')) + QStringLiteral(" .. ") + upper.join(QLatin1Char('|'));
    }
    void ClearRange() override { Ranges << QStringLiteral("clear"); }
    void FindNearest(const QStringList& values) override { Nearest << values.join(QLatin1Char('|')); }

    bool Descending = false;
    bool CaseInsensitive = true;
    bool Narrow = false;
    QStringList Ranges;
    QStringList Nearest;
};

void CreateIndexed(TIndexedDataSet& ds)
{
    ds.FieldDefs().Add(QStringLiteral("Code"), ftInteger, 0);
    ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 8);
    ds.FieldDefs().Add(QStringLiteral("Price"), ftFloat, 0);
    ds.CreateDataSet();
    const struct {
        int Code;
        const char* Name;
        double Price;
    } rows[] = {{1, "apple", 1.25}, {2, "Banana", 2.5}, {3, "cherry", 4}};
    for (const auto& r : rows) {
        ds.Append();
        ds.FieldByName(QStringLiteral("Code"))->SetAsInteger(r.Code);
        ds.FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromLatin1(r.Name));
        ds.FieldByName(QStringLiteral("Price"))->SetAsFloat(r.Price);
        ds.Post();
    }
    ds.First();
}
} // namespace

TEST(KeySearch, FindNearestByTextOverTheActiveIndex)
{
    TIndexedDataSet ds;
    ds.setObjectName(QStringLiteral("Goods"));
    CreateIndexed(ds);

    // No index fields: the warning, and nothing moves.
    TDialogSeam::AnswerMessages({mrOk});
    EXPECT_FALSE(FindNearestByText(&ds, QStringLiteral("b"), 0));
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{QStringLiteral("Table Goods: Table index not found")});

    ds.SetIndexFieldNames(QStringLiteral("Name"));
    ds.First();
    EXPECT_TRUE(FindNearestByText(&ds, QStringLiteral("ban"), 0));   // located, case-insensitively
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Code"))->AsInteger(), 2);

    ds.SetIndexFieldNames(QStringLiteral("Code"));
    ds.First();
    EXPECT_FALSE(FindNearestByText(&ds, QStringLiteral("x"), 0));    // a letter on an integer index
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_TRUE(FindNearestByText(&ds, QStringLiteral("3"), 0));
    EXPECT_EQ(ds.RecNo(), 3);

    ds.SetIndexFieldNames(QStringLiteral("Price"));
    EXPECT_TRUE(FindNearestByText(&ds, QStringLiteral("2.50"), 0));  // floats compare as numbers
    EXPECT_DOUBLE_EQ(ds.FieldByName(QStringLiteral("Price"))->AsFloat(), 2.5);

    // A second key field: the first field's value comes from the current record; a null
    // there locates nothing.
    ds.SetIndexFieldNames(QStringLiteral("Code;Name"));
    ds.First();
    EXPECT_TRUE(FindNearestByText(&ds, QStringLiteral("APP"), 1));
    ds.Edit();
    ds.FieldByName(QStringLiteral("Code"))->Clear();
    ds.Post();
    const int at = ds.RecNo();
    EXPECT_FALSE(FindNearestByText(&ds, QStringLiteral("ban"), 1));
    EXPECT_EQ(ds.RecNo(), at);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("apple"));

    // Other datasets never move.
    TGridTestDataSet other;
    other.Define({{"Id", ftInteger}});
    other.Fill(2);
    other.Open();
    EXPECT_FALSE(FindNearestByText(&other, QStringLiteral("2"), 0));
    EXPECT_EQ(other.RecNo(), 1);
}

TEST(KeySearch, NarrowingAndNearestKeys)
{
    TIndexedDataSet ds;
    CreateIndexed(ds);
    ds.SetIndexFieldNames(QStringLiteral("Name;Code"));
    ds.Narrow = true;
    FindNearestByText(&ds, QStringLiteral("ch"), 0);
    FindNearestByText(&ds, QString(), 0);
    ds.Descending = true;
    FindNearestByText(&ds, QStringLiteral("ch"), 0);
    const QString top(6, QChar(255));
    EXPECT_EQ(ds.Ranges, (QStringList{QStringLiteral("ch .. ch") + top, QStringLiteral("clear"),
                                      QStringLiteral("ch") + top + QStringLiteral(" .. ch")}));

    // Without Locate the nearest-key search gets the earlier key values of the current record.
    ds.Narrow = false;
    KqIntl()->UseLocateMethodForSearch = false;
    ds.First();
    FindNearestByText(&ds, QStringLiteral("7"), 1);
    KqIntl()->UseLocateMethodForSearch = true;
    EXPECT_EQ(ds.Nearest, QStringList{QStringLiteral("apple|7")});
    EXPECT_TRUE(ActiveIndexMapsCaseInsensitive(&ds));
    ds.CaseInsensitive = false;
    EXPECT_FALSE(ActiveIndexMapsCaseInsensitive(&ds));
}
