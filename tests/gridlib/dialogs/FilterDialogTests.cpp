#include "gridlib/core/kqclient.h"
#include "gridlib/core/kqcheckbox.h"
#include "gridlib/core/kqdbedit.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/dialogs/kqfilter.h"
#include "gridlib/dialogs/kqfilterdlg.h"
#include "gridlib/dialogs/kqfiltereval.h"
#include "gridlib/editors/kqdbcombo.h"
#include "gridlib/editors/kqdbdatetimepicker.h"
#include "platform/core/SysFormat.h"
#include "platform/core/SysUtils.h"
#include "platform/tables/LocalTables.h"
#include "platform/vcl/Dialogs.h"
#include "tests/gridlib/dialogs/ModalTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString D(int y, int m, int d) { return DateToStr(EncodeDate(y, m, d)); }

// Six records covering the field types the dialog treats apart.
struct TFilterData {
    TFilterData()
    {
        ds.FieldDefs().Add(QStringLiteral("Id"), ftInteger);
        ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 20);
        ds.FieldDefs().Add(QStringLiteral("City"), ftString, 10);
        ds.FieldDefs().Add(QStringLiteral("Qty"), ftInteger);
        ds.FieldDefs().Add(QStringLiteral("Price"), ftFloat);
        ds.FieldDefs().Add(QStringLiteral("Due"), ftDate);
        ds.FieldDefs().Add(QStringLiteral("Stamp"), ftDateTime);
        ds.FieldDefs().Add(QStringLiteral("Notes"), ftMemo);
        ds.CreateDataSet();
        struct Row {
            const char *name, *city;
            int qty;
            double price;
            int y, m, d;
            double stampTime;
            const char* notes;
        };
        const Row rows[] = {
            {"Apple", "Oslo", 1, 1.0, 2020, 5, 17, 10.5 / 24, "red fruit"},
            {"apricot", "Rome", 12, 2.5, 2021, 6, 1, 0, "orange"},
            {"banana", "Oslo", 5, 1.5, 2021, 6, 2, (86399.0 / 86400) - 1, nullptr},
            {"Banana split", nullptr, 7, 4.0, 2021, 7, 1, 0.25, "dessert"},
            {nullptr, "Lima", -1, 3.0, 0, 0, 0, 0, nullptr},
            {"cherry", "O'Hare", 20, 10.0, 2019, 1, 1, 0.5, "pit"},
        };
        int id = 0;
        for (const Row& r : rows) {
            ds.Append();
            ds.FieldByName(QStringLiteral("Id"))->SetAsInteger(++id);
            if (r.name) ds.FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromLatin1(r.name));
            if (r.city) ds.FieldByName(QStringLiteral("City"))->SetAsString(QString::fromLatin1(r.city));
            if (r.qty >= 0) ds.FieldByName(QStringLiteral("Qty"))->SetAsInteger(r.qty);
            ds.FieldByName(QStringLiteral("Price"))->SetAsFloat(r.price);
            if (r.y) {
                ds.FieldByName(QStringLiteral("Due"))->SetAsDateTime(EncodeDate(r.y, r.m, r.d));
                // Record 3's stamp is the last second of 1 June 2021.
                const double day = id == 3 ? EncodeDate(2021, 6, 2) : EncodeDate(r.y, r.m, r.d);
                ds.FieldByName(QStringLiteral("Stamp"))->SetAsDateTime(day + r.stampTime);
            }
            if (r.notes) ds.FieldByName(QStringLiteral("Notes"))->SetAsString(QString::fromLatin1(r.notes));
            ds.Post();
        }
        source.SetDataSet(&ds);
        dialog.SetDataSource(&source);
    }
    // The ids of the records the dataset shows.
    QString Ids()
    {
        QStringList ids;
        ds.First();
        while (!ds.Eof()) {
            ids << ds.FieldByName(QStringLiteral("Id"))->AsString();
            ds.Next();
        }
        return ids.join(QLatin1Char(','));
    }
    TkqClientDataSet ds;
    TDataSource source;
    TkqFilterDialog dialog;
};

TkqFieldInfo Criterion(const char* field, TkqFilterMatchType kind, const QString& value, bool cs = false,
                       bool non = false)
{
    TkqFieldInfo c;
    c.FieldName = c.DisplayLabel = QString::fromLatin1(field);
    c.MatchType = kind;
    c.FilterValue = value;
    c.CaseSensitive = cs;
    c.NonMatching = non;
    return c;
}

TkqFieldInfo Range(const char* field, const QString& lower, const QString& upper, bool cs = false)
{
    TkqFieldInfo c = Criterion(field, fdMatchRange, QString(), cs);
    c.MinValue = lower;
    c.MaxValue = upper;
    return c;
}

struct TCase {
    TkqFieldInfo Criterion;
    const char* Ids;
};

// Every kind of criterion the window creates, on every kind of field.
QList<TCase> CommonCases()
{
    return {
        {Criterion("Name", fdMatchStart, "ap"), "1,2"},
        {Criterion("Name", fdMatchStart, "ap", true), "2"},
        {Criterion("Name", fdMatchAny, "an"), "3,4"},
        {Criterion("Name", fdMatchExact, "banana"), "3"},
        {Criterion("Name", fdMatchExact, "\"banana split\""), "4"},
        {Criterion("Name", fdMatchStart, "apple or cherry"), "1,6"},
        {Criterion("Name", fdMatchAny, "ban and split"), "4"},
        {Criterion("Name", fdMatchStart, "null"), "5"},
        {Criterion("Name", fdMatchStart, "ap or null"), "1,2,5"},
        {Criterion("Name", fdMatchStart, "ap", false, true), "3,4,5,6"},
        {Criterion("City", fdMatchExact, "o'hare"), "6"},
        {Criterion("Qty", fdMatchExact, "5"), "3"},
        {Criterion("Qty", fdMatchExact, "5 or 20"), "3,6"},
        {Criterion("Qty", fdMatchExact, "null"), "5"},
        {Criterion("Price", fdMatchExact, "1.0"), "1"},
        {Criterion("Due", fdMatchExact, D(2021, 6, 1)), "2"},
        {Range("Qty", "2", "12"), "2,3,4"},
        {Range("Price", "1.5", ""), "2,3,4,5,6"},
        {Range("Name", "c", "d", true), "6"},
        {Range("Due", D(2021, 6, 1), D(2021, 6, 2)), "2,3"},
        {Range("Stamp", "", D(2021, 6, 1)), "1,2,3,6"},   // a date alone takes in the whole day
    };
}

} // namespace

TEST(FilterValueSyntax, WordsMakePartsAndTheFirstOperatorDecides)
{
    TkqFieldOperators ops;
    struct Case {
        const char* value;
        TkqFilterValueParts::TOperator op;
        QStringList parts;
    } cases[] = {
        {"smith", TkqFilterValueParts::opNone, {"smith"}},
        {"smith or jones", TkqFilterValueParts::opOr, {"smith", "jones"}},
        {"smith OR jones and brown", TkqFilterValueParts::opOr, {"smith", "jones and brown"}},
        {"a  and\tb", TkqFilterValueParts::opAnd, {"a", "b"}},
        {"\"x or y\" or z", TkqFilterValueParts::opOr, {"x or y", "z"}},
        {"or x", TkqFilterValueParts::opNone, {"or x"}},   // the first word is no operator
    };
    for (const Case& c : cases) {
        const TkqFilterValueParts p = ParseFilterValue(QString::fromLatin1(c.value), ops);
        EXPECT_EQ(p.Operator, c.op) << c.value;
        EXPECT_EQ(p.Parts, c.parts) << c.value;
    }
    // A one-character operator ends a word without blanks.
    TDialogSeam::Clear();
    ops.SetOrChar(QStringLiteral(" | "));
    EXPECT_EQ(ops.OrChar(), QStringLiteral("|"));
    EXPECT_EQ(ParseFilterValue(QStringLiteral("a|b"), ops).Parts, (QStringList{"a", "b"}));
    // Two equal words warn; the value stays.
    ops.SetAndChar(QStringLiteral("|"));
    EXPECT_EQ(ops.AndChar(), QStringLiteral("|"));
    EXPECT_EQ(TDialogSeam::Messages().value(0), QStringLiteral("Operators do not have a unique value."));
}

TEST(FilterEvaluation, CriteriaTablesPerFieldType)
{
    TFilterData d;
    QList<TCase> cases = CommonCases();
    cases << TCase{Criterion("Qty", fdMatchStart, "1"), "1,2"}            // numbers as text at the start
          << TCase{Criterion("Name", fdMatchExact, "1.0"), ""}            // only the same text on strings
          << TCase{Criterion("Notes", fdMatchAny, "FRUIT"), "1"}
          << TCase{Criterion("Notes", fdMatchExact, "pit or null"), "3,5,6"}
          << TCase{Range("Name", "b", "c"), "3,4,6"};                      // case-insensitive, c padded with z
    for (const TCase& c : cases) {
        d.dialog.SetCriteria({c.Criterion});
        EXPECT_EQ(d.Ids(), QString::fromLatin1(c.Ids))
            << c.Criterion.FieldName.toStdString() << " " << c.Criterion.FilterValue.toStdString() << " "
            << c.Criterion.MinValue.toStdString() << ".." << c.Criterion.MaxValue.toStdString();
    }
    // All criteria must hold.
    d.dialog.SetCriteria({Criterion("City", fdMatchExact, "oslo"), Range("Qty", "2", "")});
    EXPECT_EQ(d.Ids(), QStringLiteral("3"));
    // No criteria left: the filter ends.
    d.dialog.SetCriteria({});
    EXPECT_FALSE(d.ds.Filtered());
    EXPECT_EQ(d.Ids(), QStringLiteral("1,2,3,4,5,6"));
}

TEST(FilterEvaluation, ApplicationHandlerMayDecideAlone)
{
    TFilterData d;
    d.dialog.OnAcceptFilterRecord = [](QObject*, TDataSet* ds, bool& accept, bool& defaultFiltering) {
        const int id = ds->FieldByName(QStringLiteral("Id"))->AsInteger();
        defaultFiltering = id > 4;   // records 1 to 4 are decided here alone
        accept = id != 1;
    };
    d.dialog.SetCriteria({Criterion("Name", fdMatchStart, "ch")});
    EXPECT_EQ(d.Ids(), QStringLiteral("2,3,4,6"));
}

// The text the dialog writes for the dataset's filter goes through the engine's own filter
// parser; both paths must accept the same records.
TEST(FilterText, EngineFilterAcceptsWhatTheCallbackAccepts)
{
    QList<TCase> cases = CommonCases();
    // Values that try to end their literal early or add a condition.
    cases << TCase{Criterion("Name", fdMatchExact, "x' or 'a'='a"), ""}
          << TCase{Criterion("Name", fdMatchStart, "x')or([Name]<>'"), ""}
          << TCase{Range("City", "x') or ('a'='a", ""), ""};
    for (const TCase& c : cases) {
        TFilterData callback, text;
        callback.dialog.SetCriteria({c.Criterion});
        TkqFilterPropertyOptions* po = text.dialog.FilterPropertyOptions();
        po->DatasetFilterType = fdUseFilterProp;
        po->UseLikeOperator = true;
        po->LikeSupportsUpperKeyword = true;
        TDialogSeam::Clear();
        text.dialog.SetCriteria({c.Criterion});
        const std::string what = (c.Criterion.FieldName + " " + c.Criterion.FilterValue + " " + c.Criterion.MinValue +
                                  ".." + c.Criterion.MaxValue + " -> " + text.ds.Filter())
                                     .toStdString();
        EXPECT_TRUE(TDialogSeam::Messages().isEmpty()) << what << TDialogSeam::Messages().join('|').toStdString();
        EXPECT_TRUE(text.ds.Filtered()) << what;
        EXPECT_EQ(text.Ids(), callback.Ids()) << what;
    }
    // A number field's part that is no number stays one text literal: the engine refuses the
    // comparison (the user is told, and the text filter is dropped) instead of running it.
    for (const TkqFieldInfo& c : {Criterion("Qty", fdMatchExact, "1)or(1=1"), Range("Qty", "0 or 1=1", "")}) {
        TFilterData text;
        text.dialog.FilterPropertyOptions()->DatasetFilterType = fdUseFilterProp;
        TDialogSeam::Clear();
        text.dialog.SetCriteria({c});
        EXPECT_TRUE(TDialogSeam::Messages().value(0).startsWith(QStringLiteral("Unable to Execute Filter:\r")));
        EXPECT_TRUE(TDialogSeam::Messages().value(0).contains(QStringLiteral("'1)or(1=1')")) ||
                    TDialogSeam::Messages().value(0).contains(QStringLiteral("'0 or 1=1'")));
        EXPECT_FALSE(text.ds.Filtered());
        EXPECT_TRUE(text.ds.Filter().isEmpty());
    }
}

TEST(FilterText, LinesFollowTheCriteria)
{
    TFilterData d;
    d.dialog.FilterPropertyOptions()->DatasetFilterType = fdUseFilterProp;
    d.dialog.SetCriteria({Criterion("Name", fdMatchStart, "ab"), Criterion("City", fdMatchExact, "x", false, true),
                          Range("City", "", "M"), Criterion("Notes", fdMatchAny, "memo gives nothing")});
    QStringList lines;
    ASSERT_TRUE(d.dialog.BuildFilterTextLines(lines));
    EXPECT_EQ(lines, (QStringList{"([Name]='ab*')", "  and not", "([City]='x')", " and", "([City] <= 'Mzzzzzzzzz')"}));
    EXPECT_EQ(d.ds.Filter(), QLatin1Char(' ') + lines.join(QLatin1Char(' ')));
    // A quote is doubled; without brackets the bare name.
    d.dialog.FilterPropertyOptions()->UseBracketsAroundFields = false;
    d.dialog.SetCriteria({Criterion("City", fdMatchExact, "O'Hare", true), Criterion("Due", fdMatchExact, D(2021, 6, 1))});
    ASSERT_TRUE(d.dialog.BuildFilterTextLines(lines));
    EXPECT_EQ(lines, (QStringList{"(City='O''Hare')", " and", "(Due='6/1/2021')"}));
    EXPECT_EQ(d.Ids(), QStringLiteral(""));
    // A missing field warns and leaves the Filter property as it was.
    const QString before = d.ds.Filter();
    TDialogSeam::Clear();
    d.dialog.SetCriteria({Criterion("Gone", fdMatchExact, "x")});
    EXPECT_EQ(TDialogSeam::Messages().value(0), QStringLiteral("Field Name not found in referenced tables. \rGone"));
    EXPECT_EQ(d.ds.Filter(), before);
}

namespace {

// A query over nothing: its SQL text is kept, opening it fails.
struct TSqlData {
    TSqlData()
    {
        source.SetDataSet(&query);
        dialog.SetDataSource(&source);
        dialog.SetFilterMethod(fdByQueryModify);
        dialog.FieldsFetchMethod = fmUseTFields;
        auto add = [this](const char* name, TFieldType type, int size) {
            TkqDBFieldInfo e;
            e.FieldName = e.SqlFieldName = e.DisplayLabel = QString::fromLatin1(name);
            e.DataType = type;
            e.Size = size;
            dialog.DBFieldInfo() << e;
        };
        add("NAME", ftString, 5);
        add("Qty", ftInteger, 0);
        add("Ship Date", ftDate, 0);
    }
    QStringList Lines(const TkqFieldInfoList& criteria)
    {
        QStringList lines;
        // The criteria go in without applying: the dialog's own list is set through a failing open.
        TDialogSeam::Clear();
        TDialogSeam::AnswerMessages({mrOk});
        try {
            dialog.SetCriteria(criteria);
        } catch (const std::exception&) {
        }
        return dialog.LastConditionLines();
    }
    TQuery query;
    TDataSource source;
    TkqFilterDialog dialog;
};

} // namespace

TEST(FilterSql, ConditionLinesAndQuoting)
{
    TSqlData d;
    d.query.SetSQL({QStringLiteral("select * from T")});
    struct Case {
        TkqFieldInfo criterion;
        QStringList lines;
    } cases[] = {
        {Criterion("NAME", fdMatchStart, "ab"), {"(Upper(NAME) like 'AB%')"}},
        {Criterion("NAME", fdMatchExact, "ab", true), {"(NAME='ab')"}},
        {Criterion("NAME", fdMatchAny, "o'h", true), {"(NAME like \"%o'h%\")"}},
        {Criterion("NAME", fdMatchExact, "a'b\"or\"x", true), {"(NAME=\"a'b\"\"or\"\"x\")"}},
        {Criterion("Qty", fdMatchExact, "1 or null"), {"(Qty=1 or Qty is NULL)"}},
        {Criterion("Qty", fdMatchExact, "1;drop"), {"(Qty='1;drop')"}},
        {Criterion("Ship Date", fdMatchExact, D(2021, 6, 1)), {"(\"Ship Date\"='6/1/2021')"}},
        {Range("NAME", "", "M"), {"   NAME <= 'Mzzzz'"}},
        {Range("Qty", "1", "5"), {"   Qty >= 1", " and", "   Qty <= 5"}},
    };
    for (const Case& c : cases) EXPECT_EQ(d.Lines({c.criterion}), c.lines) << c.criterion.FilterValue.toStdString();
    EXPECT_EQ(d.Lines({Criterion("Qty", fdMatchExact, "1", false, true), Criterion("NAME", fdMatchExact, "x", true)}),
              (QStringList{"  not", "(Qty=1)", " and", "(NAME='x')"}));
    // The open failed: the user saw the SQL it ran.
    EXPECT_TRUE(TDialogSeam::Messages().value(0).startsWith(QStringLiteral("Unable to Execute SQL:\r")));
}

TEST(FilterSql, WhereClauseGoesInOnceBeforeLaterClauses)
{
    struct Case {
        QStringList sql, result;
    } cases[] = {
        {{"select * from T"}, {"select * from T", "Where", "(Qty=1)"}},
        {{"select * from T", "order by Qty"}, {"select * from T", "Where", "(Qty=1)", "order by Qty"}},
        {{"select * from T order by Qty"}, {"select * from T", "Where", "(Qty=1)", " order by Qty"}},
        {{"select * from T", "where A = 1", "group by Qty"}, {"select * from T", "where A = 1", "And", "(Qty=1)", "group by Qty"}},
        {{"select * from T where A = 'order' order by B"},
         {"select * from T where A = 'order'", "And", "(Qty=1)", " order by B"}},
        {{"select * from T", "where A = 1"}, {"select * from T", "where A = 1", "And", "(Qty=1)"}},
    };
    for (const Case& c : cases) {
        TSqlData d;
        d.query.SetSQL(c.sql);
        d.Lines({Criterion("Qty", fdMatchExact, "1")});
        EXPECT_EQ(d.query.SQL(), c.result) << c.sql.join('|').toStdString();
        // A second run starts again from the saved text.
        d.Lines({Criterion("Qty", fdMatchExact, "1")});
        EXPECT_EQ(d.query.SQL(), c.result) << c.sql.join('|').toStdString();
    }
}

TEST(FilterDialogComponent, PropertiesAndLifecycle)
{
    TFilterData d;
    d.dialog.SetDlgHeight(200);
    EXPECT_EQ(d.dialog.DlgHeight(), 267);
    d.dialog.SetDlgHeight(300);
    EXPECT_EQ(d.dialog.DlgHeight(), 300);
    // A client dataset has no SQL: only local filtering.
    TDialogSeam::Clear();
    d.dialog.SetFilterMethod(fdByQueryModify);
    EXPECT_EQ(d.dialog.FilterMethod(), fdByFilter);
    EXPECT_EQ(TDialogSeam::Messages().value(0),
              QStringLiteral("Invalid FilterMethod for Dataset. \rOnly fdByFilter is supported for this type of Dataset"));
    EXPECT_EQ(d.dialog.GetSQLPropertyName(), QStringLiteral("CommandText"));
    // Closing the dataset (not by the dialog) forgets the criteria.
    d.dialog.SetCriteria({Criterion("Name", fdMatchStart, "ap")});
    EXPECT_EQ(d.Ids(), QStringLiteral("1,2"));
    d.ds.Close();
    EXPECT_TRUE(d.dialog.Criteria().isEmpty());
    // Execute needs an active dataset.
    TDialogSeam::Clear();
    EXPECT_FALSE(d.dialog.Execute());
    EXPECT_EQ(TDialogSeam::Messages().value(0),
              QStringLiteral("Dataset must be active to perform local filtering (FilterMethod=fdByFilter)."));
    TkqSQLTablesCollectionItem item{QStringLiteral("Orders"), QString()};
    EXPECT_EQ(item.DisplayName(0), QStringLiteral("0 - Orders"));
    EXPECT_EQ(TkqSQLTablesCollectionItem().DisplayName(1), QStringLiteral("<Unassigned>"));
}

TEST(FilterSummary, LinesNameFieldKindAndValue)
{
    TFilterData d;
    const QList<QStringList> rows = FilterSummaryRows(
        &d.dialog, {Criterion("Name", fdMatchStart, "ap"), Criterion("City", fdMatchAny, "os", false, true),
                    Criterion("Qty", fdMatchExact, "1 or 2", false, true), Range("Price", "1", "2"), Range("Due", "", "5"),
                    Criterion("Name", fdMatchEnd, "x")});
    const QList<QStringList> expected{
        {"Name", "Partial Match at Beginning", "ap"}, {"City", "Partial Match Anywhere", "NOT os"},
        {"Qty", "Exact Match", "NOT (1 or 2)"},      {"Price", "By Range", ">=1, <=2"},
        {"Due", "By Range", "<=5"},                  {"", "", ""}};
    EXPECT_EQ(rows, expected);
    // The window: a header row, then one row per criterion.
    OnModal([](QWidget* w) {
        auto* view = qobject_cast<TkqFilterDialogView*>(w);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->windowTitle(), QStringLiteral("Show Search Summary"));
        EXPECT_EQ(view->StringGrid1->Row(0), (QStringList{"Field", "Search Type", "Value"}));
        EXPECT_EQ(view->StringGrid1->RowCount(), 2);
        EXPECT_EQ(view->StringGrid1->Row(1).value(2), QStringLiteral("ap"));
        view->reject();
    });
    d.dialog.DoDialogSummary({Criterion("Name", fdMatchStart, "ap")});
    // A handler replaces it unless it asks for the default.
    int fired = 0;
    d.dialog.OnDialogSummary = [&](QObject*, const TkqFieldInfoList& list, bool&) { fired = int(list.size()); };
    d.dialog.DoDialogSummary({Criterion("Name", fdMatchStart, "ap")});
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// --- The window ---------------------------------------------------------------------------------

namespace {

void SelectField(TkqFilterDlg* form, const QString& caption)
{
    const QList<QListWidgetItem*> found = form->FieldsListBox->findItems(caption, Qt::MatchFixedString);
    ASSERT_FALSE(found.isEmpty()) << caption.toStdString();
    form->FieldsListBox->setCurrentItem(found.first());
    form->FieldsListBoxClick();
}

} // namespace

TEST(FilterDialogWindow, ValuesAreCheckedAgainstTheFieldType)
{
    TFilterData d;
    d.ds.First();
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqFilterDlg*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->FieldsListBox->count(), 8);   // the memo is offered too
        EXPECT_EQ(form->MatchTypeGroup->Items().size(), 3);
        SelectField(form, QStringLiteral("Qty"));
        // An integer field opens on the range page (smart filter); values are typed on the value page.
        EXPECT_EQ(form->SelectNotebook->currentIndex(), 1);
        form->SelectNotebook->setCurrentIndex(0);
        struct Case {
            const char* value;
            bool passes;
        } cases[] = {{"1 or 2", true}, {"1 or x", false}, {"NULL", true}, {"abc", false}};
        for (const Case& c : cases) {
            form->FilterValueEdit->SetText(QString::fromLatin1(c.value));
            SelectField(form, QStringLiteral("Name"));
            EXPECT_EQ(form->FieldCriteria->text() == QLatin1String("Name"), c.passes) << c.value;
            if (!c.passes) {
                EXPECT_EQ(form->FilterValueEdit->selectedText(), QString::fromLatin1(c.value));
                form->FilterValueEdit->SetText(QString());
            }
            SelectField(form, QStringLiteral("Qty"));
            form->SelectNotebook->setCurrentIndex(0);
        }
        // Down and Up in an editor move through the field list; a bad value stays put.
        SelectField(form, QStringLiteral("City"));
        QTest::keyClick(form->FilterValueEdit, Qt::Key_Down);
        EXPECT_EQ(form->FieldCriteria->text(), QStringLiteral("Qty"));
        form->SelectNotebook->setCurrentIndex(0);
        form->FilterValueEdit->SetText(QStringLiteral("x"));
        QTest::keyClick(form->FilterValueEdit, Qt::Key_Up);
        EXPECT_EQ(form->FieldCriteria->text(), QStringLiteral("Qty"));
        form->FilterValueEdit->SetText(QString());
        QTest::keyClick(form->FilterValueEdit, Qt::Key_PageUp);
        EXPECT_EQ(form->FieldCriteria->text(), QStringLiteral("Id"));
        // A date field takes its range through pickers.
        SelectField(form, QStringLiteral("Due"));
        EXPECT_TRUE(form->MinDateEdit->isVisibleTo(form->TabSheet2));
        EXPECT_FALSE(form->MinValueEdit->isVisibleTo(form->TabSheet2));
        form->reject();
    });
    EXPECT_FALSE(d.dialog.Execute());
    // Cancel keeps the earlier criteria (none here) and filtering.
    EXPECT_TRUE(d.dialog.Criteria().isEmpty());
    EXPECT_FALSE(d.ds.Filtered());

    d.dialog.Options = d.dialog.Options.With(fdHidePartialAnywhere, true).With(fdDisableDateTimePicker, true);
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqFilterDlg*>(w);
        EXPECT_EQ(form->MatchTypeGroup->Items().size(), 2);
        SelectField(form, QStringLiteral("Due"));
        EXPECT_FALSE(form->MinDateEdit->isVisibleTo(form->TabSheet2));
        form->reject();
    });
    d.dialog.Execute();
}

TEST(FilterDialogWindow, OkFiltersSearchedTabListsAndDeleteRemoves)
{
    TFilterData d;
    d.ds.First();
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqFilterDlg*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Filter"));
        EXPECT_FALSE(form->OKButton->isEnabled());
        SelectField(form, QStringLiteral("Name"));
        EXPECT_EQ(form->SelectNotebook->currentIndex(), 0);
        EXPECT_EQ(form->MatchTypeGroup->ItemIndex(), 1);   // start, the default
        form->FilterValueEdit->SetText(QStringLiteral("ap"));
        EXPECT_TRUE(form->OKButton->isEnabled());
        EXPECT_TRUE(form->FilterValueClearButton->isEnabled());
        SelectField(form, QStringLiteral("Qty"));
        form->MinValueEdit->SetText(QStringLiteral("5"));
        SelectField(form, QStringLiteral("City"));
        EXPECT_EQ(form->WorkingCriteria().size(), 2);
        // Searched lists the two; Delete removes the selected one.
        form->FieldTabSet->setCurrentIndex(1);
        EXPECT_EQ(form->FieldTabSet->currentIndex(), 1);
        EXPECT_EQ(form->FieldsListBox->count(), 2);
        form->FieldsListBox->setCurrentRow(1);
        form->FieldsListBoxClick();
        form->FieldsListBox->setFocus();
        form->DeleteSelectedCriterion();
        EXPECT_EQ(form->FieldsListBox->count(), 1);
        EXPECT_EQ(form->WorkingCriteria().value(0).FieldName, QStringLiteral("Name"));
        form->OKButton->click();
    });
    d.dialog.Caption = QStringLiteral("Filter");
    EXPECT_TRUE(d.dialog.Execute());
    EXPECT_EQ(d.Ids(), QStringLiteral("1,2"));

    // OK without a change on a filtered dataset applies nothing again; New Search and OK end it.
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqFilterDlg*>(w);
        EXPECT_EQ(form->FieldTabSet->currentIndex(), 1);   // criteria exist: the Searched tab
        EXPECT_EQ(form->FilterValueEdit->text(), QStringLiteral("ap"));
        form->OKButton->setEnabled(true);
        form->OKButton->click();
    });
    EXPECT_TRUE(d.dialog.Execute());
    EXPECT_EQ(d.Ids(), QStringLiteral("1,2"));
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqFilterDlg*>(w);
        form->ClearSearchButton->click();
        EXPECT_EQ(form->FieldTabSet->currentIndex(), 0);
        TDialogSeam::Clear();
        form->ViewButton->click();
        EXPECT_EQ(TDialogSeam::Messages().value(0), QStringLiteral("You have not selected any search criteria"));
        form->OKButton->click();
    });
    EXPECT_TRUE(d.dialog.Execute());
    EXPECT_FALSE(d.ds.Filtered());
    EXPECT_EQ(d.Ids(), QStringLiteral("1,2,3,4,5,6"));
}

TEST(FilterDialogWindow, PickListTurnsTheValueEditorIntoACombo)
{
    TFilterData d;
    d.dialog.OnSelectField = [](QObject*, const QString& field, QString&, QStringList& list) {
        if (field == QLatin1String("City")) list = {QStringLiteral("Oslo"), QStringLiteral("Rome")};
    };
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqFilterDlg*>(w);
        SelectField(form, QStringLiteral("City"));
        EXPECT_TRUE(form->FilterValueCombo->isVisibleTo(form->TabSheet1));
        EXPECT_EQ(form->FilterValueCombo->ItemsList(), (QStringList{"Oslo", "Rome"}));
        // Not for partial-anywhere matching.
        form->MatchTypeGroup->SetItemIndex(2);
        form->MatchTypeGroupClick();
        EXPECT_FALSE(form->FilterValueCombo->isVisibleTo(form->TabSheet1));
        SelectField(form, QStringLiteral("Name"));
        EXPECT_FALSE(form->FilterValueCombo->isVisibleTo(form->TabSheet1));
        form->reject();
    });
    d.dialog.Execute();
}
