#include "gridlib/core/kqdbservices.h"
#include "gridlib/dialogs/kqfind.h"
#include "gridlib/dialogs/kqlocatedlg.h"
#include "gridlib/editors/kqdbcombo.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Dialogs.h"
#include "tests/gridlib/dialogs/ModalTestSupport.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

// One record per row, a field of every kind a user searches; record 3 holds nulls only.
struct Records {
    explicit Records(const QString& index = {})
    {
        auto& defs = ds.FieldDefs();
        defs.Add(QStringLiteral("Id"), ftInteger);
        defs.Add(QStringLiteral("Name"), ftString, 20);
        defs.Add(QStringLiteral("Wide"), ftWideString, 20);
        defs.Add(QStringLiteral("Amount"), ftFloat);
        defs.Add(QStringLiteral("Price"), ftCurrency);
        defs.Add(QStringLiteral("Flag"), ftBoolean);
        defs.Add(QStringLiteral("Day"), ftDate);
        defs.Add(QStringLiteral("Notes"), ftMemo);
        ds.CreateDataSet();
        struct Row {
            const char* name;
            const char* wide;
            double amount;
            bool flag;
            int day;   // days after 2020-01-01
            const char* notes;
        };
        const Row rows[] = {
            {"Apple", "Äpfel", 1.5, true, 0, "red fruit"},
            {"banana", "Banane", 2.25, false, 1, "{\\rtf1\\ansi\\b yellow\\b0  fruit}"},
            {nullptr, nullptr, 0, false, 0, nullptr},
            {"apricot", "Aprikose", 1.5, true, 2, ""},
            {"Banana split", "Bananensplit", 10, false, 3, "dessert with banana"},
            {"cherry", "Kirsche", -4, true, 4, "RED small"},
        };
        int id = 1;
        for (const Row& r : rows) {
            ds.Append();
            ds.FieldByName(QStringLiteral("Id"))->SetAsInteger(id++);
            if (r.name) {
                ds.FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromLatin1(r.name));
                ds.FieldByName(QStringLiteral("Wide"))->SetAsString(QString::fromUtf8(r.wide));
                ds.FieldByName(QStringLiteral("Amount"))->SetAsFloat(r.amount);
                ds.FieldByName(QStringLiteral("Price"))->SetAsFloat(r.amount);
                ds.FieldByName(QStringLiteral("Flag"))->SetAsBoolean(r.flag);
                ds.FieldByName(QStringLiteral("Day"))->SetAsDateTime(43831 + r.day);
                ds.FieldByName(QStringLiteral("Notes"))->SetAsString(QString::fromLatin1(r.notes));
            }
            ds.Post();
        }
        if (!index.isEmpty()) ds.SetIndexFieldNames(index);
        source.SetDataSet(&ds);
        ds.First();
    }
    // The Id of the current record.
    int Id() const { return ds.FieldByName(QStringLiteral("Id"))->AsInteger(); }
    void GoTo(int id) { ASSERT_TRUE(ds.Locate(QStringLiteral("Id"), TVariant(id))); }
    TClientDataSet ds;
    TDataSource source;
};

} // namespace

TEST(FindFieldValue, FindsByEveryFieldKindWithAndWithoutAnIndex)
{
    struct Case {
        bool fromFirst;
        int startId;
        const char* field;
        const char* value;
        int match;
        bool caseSensitive;
        int foundId;   // 0: nothing found, the start record stays current
    };
    const Case cases[] = {
        {true, 4, "Name", "ap", 1, false, 1},             // start, any case: "Apple" first
        {false, 1, "Name", "ap", 1, false, 4},            // the next one after the current
        {true, 1, "Name", "ap", 1, true, 4},              // case-sensitive: only "apricot"
        {true, 5, "Name", "BANANA", 0, false, 2},         // whole field, any case
        {true, 1, "Name", "Banana", 0, true, 0},          // whole field, case-sensitive
        {true, 1, "Name", "split", 2, false, 5},          // anywhere
        {true, 4, "Name", "", 0, false, 3},               // empty key, exact: the empty (null) text
        {true, 4, "Name", "", 1, false, 0},               // empty key never matches in part
        {false, 6, "Name", "a", 2, false, 0},             // from the last record: nothing further
        {true, 2, "Name", "zzz", 1, false, 0},            // no match keeps the record
        {true, 1, "Name", "a", 7, false, 0},              // an unknown match kind never matches
        {true, 1, "Wide", "äpf", 1, false, 1},            // wide text, upper-cased beyond ASCII
        {false, 2, "Wide", "ANANE", 2, false, 5},         // anywhere, the next one
        {true, 1, "Id", "5", 0, false, 5},                // integers by their text
        {true, 1, "Id", "x", 0, false, 0},
        {true, 1, "Amount", "1.50", 0, false, 1},         // floats compare as numbers
        {false, 1, "Amount", "1.5", 0, false, 4},
        {true, 1, "Amount", "-4", 0, false, 6},
        {true, 1, "Amount", "one", 0, false, 0},          // no number: no match
        {true, 1, "Amount", "0", 0, false, 0},            // a null is not zero
        {true, 1, "Amount", "2.2", 1, false, 2},          // a float's text, at the start
        {true, 1, "Price", "10", 0, false, 5},            // currency as a number
        {true, 1, "Flag", "false", 0, false, 2},          // booleans by their text
        {true, 1, "Notes", "red", 1, false, 1},           // memos
        {false, 1, "Notes", "red", 2, false, 6},
        {true, 1, "Notes", "", 0, false, 0},              // an empty memo key finds nothing
        {true, 1, "Notes", "yellow fruit", 1, false, 2},  // rich text by its plain text
        {true, 1, "Notes", "rtf", 2, false, 0},           // never by its control words
    };
    for (const bool indexed : {false, true})
        for (const Case& c : cases) {
            const QString field = QString::fromLatin1(c.field);
            Records d(indexed && field != QLatin1String("Notes") ? field : QString());
            d.GoTo(c.startId);
            SCOPED_TRACE(QStringLiteral("%1 %2 '%3' match %4 from %5")
                             .arg(indexed ? "indexed" : "scan", field, QString::fromUtf8(c.value))
                             .arg(c.match)
                             .arg(c.startId)
                             .toStdString());
            EXPECT_EQ(FindFieldValue(c.fromFirst, &d.ds, field, QString::fromUtf8(c.value), c.match, c.caseSensitive),
                      c.foundId != 0);
            EXPECT_EQ(d.Id(), c.foundId ? c.foundId : c.startId);
        }
}

TEST(FindFieldValue, EveryFieldFindsItsOwnText)
{
    Records d;
    for (TField* f : d.ds.Fields()) {
        if (f->DataType() == ftMemo) continue;   // an empty memo key finds nothing
        SCOPED_TRACE(f->FieldName().toStdString());
        d.GoTo(4);
        const QString text = f->AsString();
        d.ds.First();
        EXPECT_TRUE(FindFieldValue(true, &d.ds, f->FieldName(), text, 0, true));
        EXPECT_EQ(f->AsString(), text);
    }
}

TEST(FindFieldValue, PostsAPendingEditAndReportsAMissingField)
{
    Records d;
    d.GoTo(6);
    d.ds.Edit();
    d.ds.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("date"));
    EXPECT_TRUE(FindFieldValue(true, &d.ds, QStringLiteral("Name"), QStringLiteral("DATE"), 0, false));
    EXPECT_EQ(d.ds.State(), dsBrowse);
    EXPECT_EQ(d.Id(), 6);

    TDialogSeam::Clear();
    EXPECT_FALSE(FindFieldValue(true, &d.ds, QStringLiteral("Missing"), QStringLiteral("x"), 0, false));
    EXPECT_EQ(TDialogSeam::Messages().value(0), QStringLiteral("Field Missing not found."));
    EXPECT_EQ(d.Id(), 6);
}

TEST(FindFieldValue, CalculatedFieldsAndTheDataSetsLocate)
{
    TClientDataSet ds;
    auto* id = new TIntegerField(&ds);
    id->SetFieldName(QStringLiteral("Id"));
    id->SetDataSet(&ds);
    auto* label = new TStringField(&ds);
    label->SetFieldName(QStringLiteral("Label"));
    label->SetSize(20);
    label->SetFieldKind(fkCalculated);
    label->SetDataSet(&ds);
    ds.OnCalcFields = [&](TDataSet*) { label->SetAsString(QStringLiteral("row %1").arg(id->AsInteger())); };
    ds.CreateDataSet();
    for (int i = 1; i <= 5; ++i) {
        ds.Append();
        id->SetAsInteger(i);
        ds.Post();
    }
    ds.First();
    EXPECT_TRUE(FindFieldValue(true, &ds, QStringLiteral("Label"), QStringLiteral("ROW 4"), 0, false));
    EXPECT_EQ(id->AsInteger(), 4);
    EXPECT_FALSE(FindFieldValue(false, &ds, QStringLiteral("Label"), QStringLiteral("row 2"), 0, false));
    EXPECT_EQ(id->AsInteger(), 4);
    EXPECT_FALSE(ds.ControlsDisabled());
    // The dataset's own Locate, when asked for, answers a search from the first record.
    EXPECT_TRUE(FindFieldValue(true, &ds, QStringLiteral("Id"), QStringLiteral("3"), 0, false, true));
    EXPECT_EQ(id->AsInteger(), 3);
    EXPECT_FALSE(FindFieldValue(true, &ds, QStringLiteral("Id"), QStringLiteral("9"), 0, false, true));
    EXPECT_EQ(id->AsInteger(), 3);
}

TEST(FindFieldValue, ServesTheLibrarysRecordSearch)
{
    Records d;
    ASSERT_TRUE(HasRecordSearch());
    EXPECT_TRUE(MoveToFieldValue(&d.ds, QStringLiteral("cher"), QStringLiteral("Name"), 1, false));
    EXPECT_EQ(d.Id(), 6);
}

TEST(FindFieldValue, MatchFieldTextRule)
{
    EXPECT_TRUE(MatchFieldText(QStringLiteral("abc"), QStringLiteral("ABC"), 0, false));
    EXPECT_FALSE(MatchFieldText(QStringLiteral("abc"), QStringLiteral("ABC"), 0, true));
    EXPECT_TRUE(MatchFieldText(QString(), QString(), 0, true));
    EXPECT_FALSE(MatchFieldText(QStringLiteral("abc"), QString(), 1, true));
    EXPECT_FALSE(MatchFieldText(QStringLiteral("abc"), QString(), 2, true));
    EXPECT_TRUE(MatchFieldText(QStringLiteral("xabc"), QStringLiteral("BC"), 2, false));
    EXPECT_FALSE(MatchFieldText(QStringLiteral("xabc"), QStringLiteral("BC"), 1, false));
}

// ---------------------------------------------------------------------------------------------
// The locate dialog

namespace {

void ChooseField(TkqLocateDlg* form, const QString& line)
{
    form->FieldNameComboBox->SetItemIndex(form->FieldNameComboBox->Items().Lines().indexOf(line));
}

} // namespace

TEST(LocateDialog, CloseOnMatchClosesWithOKAndRemembersTheChoices)
{
    Records d;
    TkqLocateDialog locate;
    locate.SetDataSource(&d.source);
    TDialogSeam::Clear();
    OnModal([](QWidget* w) {
        auto* form = qobject_cast<TkqLocateDlg*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Locate Field Value"));
        EXPECT_TRUE(form->PartialMatchStartBtn->isChecked());
        EXPECT_EQ(form->CloseButton->text(), QStringLiteral("Cancel"));
        // Sorted by label; bytes and blobs are never offered, memos are.
        EXPECT_EQ(form->FieldNameComboBox->Items().Lines(),
                  QStringList({"Amount", "Day", "Flag", "Id", "Name", "Notes", "Price", "Wide"}));
        ChooseField(form, QStringLiteral("Name"));
        form->SearchValue->setText(QStringLiteral("cher"));
        form->NextButton->click();
    });
    EXPECT_TRUE(locate.Execute());
    EXPECT_EQ(d.Id(), 6);
    EXPECT_EQ(locate.SearchField, QStringLiteral("Name"));

    OnModal([](QWidget* w) {
        auto* form = qobject_cast<TkqLocateDlg*>(w);
        EXPECT_EQ(form->SearchValue->text(), QStringLiteral("cher"));
        EXPECT_EQ(form->FieldNameComboBox->Text(), QStringLiteral("Name"));
        form->ExactMatchBtn->setChecked(true);
        form->SearchValue->setText(QStringLiteral("nothing"));
        form->FirstButton->click();
        form->NextButton->click();
        form->CloseButton->click();
    });
    EXPECT_FALSE(locate.Execute());
    EXPECT_EQ(TDialogSeam::Messages(), QStringList({"No matches found", "No more matches found"}));
    EXPECT_EQ(d.Id(), 6);
    EXPECT_EQ(locate.MatchType, mtExactMatch);

    d.ds.Close();
    EXPECT_FALSE(locate.Execute());
    EXPECT_EQ(TDialogSeam::Messages().value(2), QStringLiteral("DataSource does not reference an active DataSet"));
}

TEST(LocateDialog, WithoutCloseOnMatchTheWindowStaysOnTheFoundRecord)
{
    Records d;
    d.ds.FieldByName(QStringLiteral("Wide"))->SetDisplayLabel(QStringLiteral("German~Name"));
    d.ds.FieldByName(QStringLiteral("Price"))->SetVisible(false);
    TkqLocateDialog locate;
    locate.SetDataSource(&d.source);
    locate.Options = {ldoCaseSensitiveBelow};
    locate.SortFields = fsSortByFieldNo;
    locate.FieldSelection = fsVisibleFields;
    TkqLocateDlg* shown = nullptr;
    locate.OnInitDialog = [&](TkqLocateDlg* form) { shown = form; };
    QStringList selected;
    locate.OnSelectField = [&](TkqLocateDlg*, const QString& line) { selected << line; };
    TDialogSeam::Clear();
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqLocateDlg*>(w);
        EXPECT_EQ(shown, form);
        EXPECT_EQ(form->CloseButton->text(), QStringLiteral("Close"));
        EXPECT_TRUE(form->CloseButton->icon().isNull());
        EXPECT_EQ(form->CaseSensitiveCheckBox->y(), 75);   // below the match kinds
        EXPECT_EQ(form->FieldNameComboBox->Items().Lines(),
                  QStringList({"Id", "Name", "German Name", "Amount", "Flag", "Day", "Notes"}));
        ChooseField(form, QStringLiteral("German Name"));
        form->SearchValue->setText(QStringLiteral("bAn"));
        form->FirstButton->click();
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(d.Id(), 2);
        form->NextButton->click();
        EXPECT_EQ(d.Id(), 5);
        form->CloseButton->click();
    });
    EXPECT_FALSE(locate.Execute());
    EXPECT_TRUE(TDialogSeam::Messages().isEmpty());
    EXPECT_EQ(selected, QStringList({"German Name"}));
    EXPECT_EQ(locate.SearchField, QStringLiteral("Wide"));
}
