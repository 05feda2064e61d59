#include "app/Main.h"
#include "app/UDBFiller.h"
#include "platform/vcl/Menus.h"
#include "app/UGeneral.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/editors/kqdbcombo.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/core/IniFiles.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "utilities/VZSpin.h"

#include <QAbstractItemView>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <unistd.h>
#include <functional>
#include <memory>

namespace {
// The program's generator with a fixed seed, also after the dialog "seeds it from the clock".
class TSeededRandom : public TRandomGenerator {
public:
    explicit TSeededRandom(quint64 seed) : TRandomGenerator(seed), FSeed(seed) {}
    void Randomize() override { SetSeed(FSeed); }

private:
    quint64 FSeed;
};

constexpr quint64 Seed = 20240611;

struct FieldSpec {
    const char* Name;
    TFieldType Type;
    int Size = 0;
};

struct FillerFixture : ::testing::Test {
    QTemporaryDir Dir;
    QStringList Shown;

    void SetUp() override
    {
        SetSettingsFileName(Dir.filePath("Quarrow.ini"));
        Application()->OnException = [this](const std::exception& e) {
            const auto* ex = dynamic_cast<const Exception*>(&e);
            Shown << (ex ? ex->Message() : QString::fromUtf8(e.what()));
        };
    }
    void TearDown() override
    {
        Application()->OnException = nullptr;
        SetSettingsFileName(QString());
        Settle();
    }
    QString Path(const QString& name) const { return Dir.filePath(name); }

    // A data file of the fields, opened with its file name set, as the data window has it.
    std::unique_ptr<TClientDataSet> Target(const QString& name, std::initializer_list<FieldSpec> fields,
                                           const std::function<void(TFieldDefs&)>& more = nullptr)
    {
        auto ds = std::make_unique<TClientDataSet>();
        for (const FieldSpec& f : fields) ds->FieldDefs().Add(QString::fromLatin1(f.Name), f.Type, f.Size);
        if (more) more(ds->FieldDefs());
        ds->CreateDataSet();
        ds->SaveToFile(Path(name));
        ds->Close();
        ds->FieldDefs().Clear();
        ds->SetFileName(Path(name));
        ds->Open();
        return ds;
    }

    std::unique_ptr<TfrmDBFiller> Filler(TClientDataSet* target)
    {
        auto dlg = std::make_unique<TfrmDBFiller>();
        dlg->SetRandomSource(std::make_unique<TSeededRandom>(Seed));
        dlg->SetDataSet(target);
        dlg->show();
        return dlg;
    }

    static void SetRow(TfrmDBFiller& dlg, int row, const QString& method, const QString& value = QString())
    {
        dlg.cdsFiller->SetRecNo(row);
        dlg.cdsFiller->Edit();
        dlg.cdsFiller->FieldByName("Method")->SetAsString(method);
        dlg.cdsFiller->FieldByName("Value")->SetAsString(value);
        dlg.cdsFiller->Post();
    }

    static QStringList Column(TfrmDBFiller& dlg, const char* field)
    {
        QStringList list;
        for (dlg.cdsFiller->First(); !dlg.cdsFiller->Eof(); dlg.cdsFiller->Next())
            list << dlg.cdsFiller->FieldByName(QString::fromLatin1(field))->AsString();
        return list;
    }

    static QStringList Values(TDataSet* ds, const char* field)
    {
        QStringList list;
        for (ds->First(); !ds->Eof(); ds->Next()) {
            TField* f = ds->FieldByName(QString::fromLatin1(field));
            list << (f->IsNull() ? QStringLiteral("<null>") : f->AsString());
        }
        return list;
    }
};
} // namespace

TEST_F(FillerFixture, FirstOpeningDescribesEveryFieldWithNoValue)
{
    auto ds = Target("first.cds", {{"Name", ftString, 20}, {"Count", ftInteger}, {"Wide", ftWideString, 8}, {"When", ftDateTime}});
    auto dlg = Filler(ds.get());
    EXPECT_EQ(dlg->windowTitle(), "Table Filler");
    EXPECT_EQ(Column(*dlg, "FieldName"),
              QStringList({"Name String(20)", "Count Integer(0)", "Wide WideString(8)", "When DateTime(0)"}));
    EXPECT_EQ(Column(*dlg, "Method"), QStringList(4, "No Value"));
    EXPECT_EQ(Column(*dlg, "Value"), QStringList(4, ""));
    EXPECT_EQ(dlg->cdsFiller->FieldByName("FieldName")->DisplayLabel(), "Field Name Type(Length)");
    EXPECT_EQ(dlg->cdsFiller->FieldByName("Value")->DisplayWidth(), 62);
    EXPECT_EQ(dlg->btnCancel->text(), "&Close");
    EXPECT_EQ(dlg->EdtNoFill->GetIntValue(), 10);
    EXPECT_EQ(dlg->rgAppendUpdate->ItemIndex(), 0);
    EXPECT_EQ(dlg->Gauge->value(), 0);
}

TEST_F(FillerFixture, RandomValuesFollowTheFieldKind)
{
    auto ds = Target("random.cds", {{"S", ftString, 10},
                                    {"W", ftWideString, 6},
                                    {"I", ftInteger},
                                    {"Small", ftSmallint},
                                    {"B", ftBoolean},
                                    {"F", ftFloat},
                                    {"C", ftCurrency},
                                    {"D", ftDate},
                                    {"DT", ftDateTime},
                                    {"Bytes", ftBytes, 4},
                                    {"Blob", ftBlob},
                                    {"Memo", ftMemo},
                                    {"Large", ftLargeint}});
    auto dlg = Filler(ds.get());
    for (int row = 1; row <= 13; ++row) SetRow(*dlg, row, "Random");
    dlg->EdtNoFill->SetIntValue(5);
    const TDateTime before = Now();
    dlg->FromTop1->Click();
    const TDateTime after = Now();
    ASSERT_EQ(ds->RecordCount(), 5);

    // The same generator, drawn in the order the fill draws: row by row, record by record.
    TRandomGenerator expect(Seed);
    for (ds->First(); !ds->Eof(); ds->Next()) {
        SCOPED_TRACE(ds->RecNo());
        QByteArray s;
        for (int i = 0; i < 10; ++i) s += char(32 + expect.Random(101));
        EXPECT_EQ(ds->FieldByName("S")->AsBytes(), s);
        QString w;
        for (int i = 0; i < 6; ++i) w += QChar(ushort(32 + expect.Random(101)));
        EXPECT_EQ(ds->FieldByName("W")->AsString(), w);
        EXPECT_EQ(ds->FieldByName("I")->AsInteger(), expect.Random(1000));
        EXPECT_EQ(ds->FieldByName("Small")->AsInteger(), expect.Random(1000));
        EXPECT_EQ(ds->FieldByName("B")->AsBoolean(), expect.Random(2) == 1);
        EXPECT_DOUBLE_EQ(ds->FieldByName("F")->AsFloat(), expect.Random() * 1000.0);
        EXPECT_NEAR(ds->FieldByName("C")->AsFloat(), expect.Random() * 1000.0, 0.00005);
        for (const char* name : {"D", "DT"}) {
            const int r = expect.Random(100);
            const int d = expect.Random(1000);
            const double offset = r <= 50 ? -d : d;
            const TDateTime value = ds->FieldByName(QString::fromLatin1(name))->AsDateTime();
            if (QByteArray(name) == "D") {
                EXPECT_EQ(value, std::floor(before + offset)) << name;
            } else {
                EXPECT_GE(value, before + offset - 1e-6);
                EXPECT_LE(value, after + offset + 1e-6);
            }
        }
        EXPECT_TRUE(ds->FieldByName("Bytes")->IsNull());   // byte fields are not touched
        EXPECT_TRUE(ds->FieldByName("Blob")->IsNull());    // other kinds get the empty text
        EXPECT_EQ(ds->FieldByName("Memo")->AsString(), "");   // a memo's size of 0 gives the empty text
        EXPECT_EQ(ds->FieldByName("Large")->AsLargeInt(), expect.Random(1000));
    }
    EXPECT_EQ(dlg->Gauge->value(), dlg->Gauge->maximum());
}

TEST_F(FillerFixture, IncrementSingleListAndGuidFillAppendedRecords)
{
    struct Case {
        const char* Method;
        const char* Value;
        FieldSpec Field;
        std::function<void(const QStringList&)> Check;
    };
    const QRegularExpression guid("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$");
    const Case cases[] = {
        {"Increment", "100", {"N", ftInteger}, [](const QStringList& v) { EXPECT_EQ(v, QStringList({"100", "101", "102", "103", "104"})); }},
        {"Increment", "abc", {"N", ftInteger}, [](const QStringList& v) { EXPECT_EQ(v, QStringList({"0", "1", "2", "3", "4"})); }},
        {"Increment", " $10", {"T", ftString, 8}, [](const QStringList& v) { EXPECT_EQ(v, QStringList({"16", "17", "18", "19", "20"})); }},
        {"Increment", "2147483647", {"T", ftString, 12},
         [](const QStringList& v) { EXPECT_EQ(v.last(), "2147483651"); }},   // no wrap past the 32-bit range
        {"Single", "X", {"T", ftString, 8}, [](const QStringList& v) { EXPECT_EQ(v, QStringList(5, "X")); }},
        {"Single", "", {"M", ftMemo}, [](const QStringList& v) { EXPECT_EQ(v, QStringList(5, " ")); }},
        {"Single", "", {"N", ftInteger}, [](const QStringList& v) { EXPECT_EQ(v, QStringList(5, "<null>")); }},
        {"Single", "7", {"N", ftInteger}, [](const QStringList& v) { EXPECT_EQ(v, QStringList(5, "7")); }},
        {"List", "red;green;;blue", {"T", ftString, 8},
         [](const QStringList& v) {
             for (const QString& s : v) EXPECT_TRUE(s == "red" || s == "green" || s == "blue") << s.toStdString();
         }},
        {"List", "'a;b';c", {"T", ftString, 8},
         [](const QStringList& v) {
             for (const QString& s : v) EXPECT_TRUE(s == "'a;b'" || s == "c") << s.toStdString();
         }},
        {"GUID", "", {"T", ftString, 38},
         [&guid](const QStringList& v) {
             for (const QString& s : v) EXPECT_TRUE(guid.match(s).hasMatch()) << s.toStdString();
             EXPECT_EQ(QSet<QString>(v.begin(), v.end()).size(), 5);
         }},
        {"GUID", "", {"T", ftWideString, 38}, [&guid](const QStringList& v) { EXPECT_TRUE(guid.match(v[0]).hasMatch()); }},
        {"GUID", "", {"T", ftGuid, 38}, [&guid](const QStringList& v) { EXPECT_TRUE(guid.match(v[0]).hasMatch()); }},
        {"GUID", "", {"N", ftInteger}, [](const QStringList& v) { EXPECT_EQ(v, QStringList(5, "<null>")); }},
        {"guid", "", {"T", ftString, 38}, [](const QStringList& v) { EXPECT_EQ(v, QStringList(5, "<null>")); }},   // exact names only
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Method) + " '" + c.Value + "' on " + c.Field.Name);
        auto ds = Target(QStringLiteral("methods%1.cds").arg(++n), {{"Key", ftInteger}, c.Field});
        auto dlg = Filler(ds.get());
        SetRow(*dlg, 1, "Increment", "1");
        SetRow(*dlg, 2, QString::fromLatin1(c.Method), QString::fromLatin1(c.Value));
        dlg->EdtNoFill->SetIntValue(5);
        dlg->FromTop1->Click();
        EXPECT_EQ(Values(ds.get(), "Key"), QStringList({"1", "2", "3", "4", "5"}));
        c.Check(Values(ds.get(), c.Field.Name));
        dlg->reject();
    }
}

TEST_F(FillerFixture, ListSpreadsOverAllItemsAndAnEmptyListCostsOnlyThatRow)
{
    auto ds = Target("list.cds", {{"Key", ftInteger}, {"Colour", ftString, 8}});
    auto dlg = Filler(ds.get());
    SetRow(*dlg, 2, "List", "red;green;;blue");
    dlg->EdtNoFill->SetIntValue(300);
    dlg->FromTop1->Click();
    const QStringList colours = Values(ds.get(), "Colour");
    EXPECT_EQ(QSet<QString>(colours.begin(), colours.end()), QSet<QString>({"red", "green", "blue"}));

    // A list with no items ends each record's filling at that row; the record filled so far
    // is posted by the next append (the last one when the data window saves).
    SetRow(*dlg, 1, "Increment", "1");
    SetRow(*dlg, 2, "List", ";;");
    dlg->EdtNoFill->SetIntValue(3);
    dlg->FromCurrentRecord1->Click();
    ds->CheckBrowseMode();
    EXPECT_EQ(ds->RecordCount(), 303);
    EXPECT_EQ(Values(ds.get(), "Key").mid(300), QStringList({"1", "2", "3"}));
    EXPECT_EQ(Values(ds.get(), "Colour").mid(300), QStringList(3, "<null>"));
    EXPECT_TRUE(Shown.isEmpty());
}

TEST_F(FillerFixture, UpdateModeEditsAnExistingFileFromTheCurrentRecord)
{
    QUARROW_NEED_SAMPLES();
    QFile::copy(SamplePath("demo-country.cds"), Path("country.cds"));
    QFile::setPermissions(Path("country.cds"), QFile::ReadOwner | QFile::WriteOwner);
    TClientDataSet ds;
    ds.SetFileName(Path("country.cds"));
    ds.Open();
    const int records = ds.RecordCount();
    ASSERT_GT(records, 5);
    const QStringList names = Values(&ds, "Name");
    auto dlg = Filler(&ds);
    ASSERT_EQ(dlg->cdsFiller->RecordCount(), ds.FieldDefs().Count());
    dlg->rgAppendUpdate->SetItemIndex(1);
    SetRow(*dlg, 2, "Single", "X");        // Capital
    SetRow(*dlg, 3, "Single", "");         // Continent: an edited record keeps its value
    dlg->EdtNoFill->SetIntValue(3);
    ds.SetRecNo(4);
    dlg->FromTop1->Click();
    EXPECT_EQ(ds.RecordCount(), records);
    QStringList capitals = Values(&ds, "Capital");
    EXPECT_EQ(capitals.mid(0, 3), QStringList(3, "X"));
    EXPECT_NE(capitals[3], "X");
    EXPECT_EQ(Values(&ds, "Name"), names);
    EXPECT_EQ(Values(&ds, "Continent").count("<null>"), 0);

    // From the current record; past the last record the last one is edited again.
    SetRow(*dlg, 2, "Increment", "1");
    ds.SetRecNo(records - 1);
    dlg->EdtNoFill->SetIntValue(4);
    dlg->FromCurrentRecord1->Click();
    EXPECT_EQ(ds.RecordCount(), records);
    capitals = Values(&ds, "Capital");
    EXPECT_EQ(capitals.mid(records - 2), QStringList({"1", "4"}));
    dlg->reject();
}

TEST_F(FillerFixture, RandomOnADataSetFieldFillsEveryLevelOfNestedRecords)
{
    auto ds = Target("nested.cds", {{"ID", ftInteger}}, [](TFieldDefs& defs) {
        TFieldDef* items = defs.Add("Items", ftDataSet);
        items->ChildDefs()->Add("Code", ftString, 6);
        TFieldDef* parts = items->ChildDefs()->Add("Parts", ftDataSet);
        parts->ChildDefs()->Add("Part", ftInteger);
        parts->ChildDefs()->Add("Label", ftWideString, 4);
        items->ChildDefs()->Add("Qty", ftInteger);
        defs.Add("Notes", ftString, 12);
    });
    auto dlg = Filler(ds.get());
    EXPECT_EQ(Column(*dlg, "FieldName"), QStringList({"ID Integer(0)", "Items DataSet(0)", "Notes String(12)"}));
    SetRow(*dlg, 1, "Increment", "1");
    SetRow(*dlg, 2, "Random");
    SetRow(*dlg, 3, "Single", "note");
    dlg->EdtNoFill->SetIntValue(3);
    dlg->EdtDetailNoFill->SetIntValue(4);
    dlg->FromTop1->Click();
    ds->CheckBrowseMode();

    ASSERT_EQ(ds->RecordCount(), 3);
    TDataSet* items = static_cast<TDataSetField*>(ds->FieldByName("Items"))->NestedDataSet();
    TDataSet* parts = static_cast<TDataSetField*>(items->FieldByName("Parts"))->NestedDataSet();
    for (ds->First(); !ds->Eof(); ds->Next()) {
        SCOPED_TRACE(ds->RecNo());
        EXPECT_EQ(ds->FieldByName("Notes")->AsString(), "note");
        EXPECT_EQ(items->RecordCount(), 4);
        for (items->First(); !items->Eof(); items->Next()) {
            EXPECT_EQ(items->FieldByName("Code")->AsString().size(), 6);
            // The field after the deeper level is filled by its own level's rows.
            EXPECT_FALSE(items->FieldByName("Qty")->IsNull());
            EXPECT_LT(items->FieldByName("Qty")->AsInteger(), 1000);
            EXPECT_EQ(parts->RecordCount(), 4);
            for (parts->First(); !parts->Eof(); parts->Next()) {
                EXPECT_FALSE(parts->FieldByName("Part")->IsNull());
                EXPECT_EQ(parts->FieldByName("Label")->AsString().size(), 4);
            }
        }
    }
    EXPECT_EQ(Values(ds.get(), "ID"), QStringList({"1", "2", "3"}));
    // The detail rows show what the first nested level was filled by.
    EXPECT_EQ(Column(*dlg, "Method"), QStringList({"Increment", "Random", "Single"}));
    QStringList detailMethods;
    for (dlg->cdsFillerDetail->First(); !dlg->cdsFillerDetail->Eof(); dlg->cdsFillerDetail->Next())
        detailMethods << dlg->cdsFillerDetail->FieldByName("Method")->AsString();
    EXPECT_EQ(detailMethods, QStringList(3, "Random"));
    EXPECT_EQ(dlg->btnCancel->text(), "&Close");

    // The filled file keeps its nested records through a save and a reload.
    ds->SaveToFile();
    TClientDataSet reread;
    reread.LoadFromFile(Path("nested.cds"));
    EXPECT_EQ(reread.RecordCount(), 3);
    EXPECT_EQ(static_cast<TDataSetField*>(reread.FieldByName("Items"))->NestedDataSet()->RecordCount(), 4);
}

TEST_F(FillerFixture, CancelStopsBeforeTheNextRecordAndTheNextRunStartsAfresh)
{
    auto ds = Target("cancel.cds", {{"N", ftInteger}});
    auto dlg = Filler(ds.get());
    SetRow(*dlg, 1, "Increment", "0");
    dlg->EdtNoFill->SetIntValue(1000);
    QStringList captions;
    ds->AfterPost = [&](TDataSet* d) {
        captions << dlg->btnCancel->text();
        if (d->RecordCount() == 3) dlg->btnCancel->click();
    };
    dlg->FromTop1->Click();
    EXPECT_EQ(ds->RecordCount(), 3);
    EXPECT_EQ(captions, QStringList(3, "&Cancel"));
    EXPECT_TRUE(dlg->isVisible());   // clicked during the fill: no closing
    EXPECT_EQ(dlg->btnCancel->text(), "&Close");
    EXPECT_EQ(dlg->Gauge->value(), 2);

    ds->AfterPost = nullptr;
    dlg->EdtNoFill->SetIntValue(20);
    dlg->FromCurrentRecord1->Click();
    EXPECT_EQ(ds->RecordCount(), 23);
    EXPECT_TRUE(dlg->isVisible());
    dlg->btnCancel->click();   // outside a fill it closes
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

TEST_F(FillerFixture, SavedDefinitionsComeBackPerFileAndFollowTheStructure)
{
    auto a = Target("a.cds", {{"Name", ftString, 20}, {"Count", ftInteger}});
    auto b = Target("b.cds", {{"Name", ftString, 20}, {"Count", ftInteger}});
    {
        auto dlg = Filler(a.get());
        SetRow(*dlg, 1, "List", "TITLE;x");
        SetRow(*dlg, 2, "Increment", "5");
        dlg->EdtNoFill->SetIntValue(2);
        dlg->FromTop1->Click();
        dlg->reject();
    }
    ASSERT_TRUE(QFile::exists(Path("FillerSaveDef.dat")));
    for (int round = 0; round < 2; ++round) {   // a reopened and closed file keeps one record
        auto dlg = Filler(a.get());
        EXPECT_EQ(Column(*dlg, "Method"), QStringList({"List", "Increment"}));
        EXPECT_EQ(Column(*dlg, "Value"), QStringList({"TITLE;x", "5"}));
        dlg->reject();
    }
    {
        auto dlg = Filler(b.get());   // another file: its own rows
        EXPECT_EQ(Column(*dlg, "Method"), QStringList(2, "No Value"));
        dlg->reject();
    }
    TClientDataSet saved;
    saved.LoadFromFile(Path("FillerSaveDef.dat"));
    EXPECT_EQ(Values(&saved, "TableName"), QStringList({a->FileName(), b->FileName()}));

    // The file gained a field and one changed its size: only the unchanged field comes back.
    a->Close();
    a.reset();
    auto changed = Target("a.cds", {{"Name", ftString, 30}, {"Count", ftInteger}, {"Extra", ftFloat}});
    auto dlg = Filler(changed.get());
    EXPECT_EQ(Column(*dlg, "Method"), QStringList({"No Value", "Increment", "No Value"}));
    EXPECT_EQ(Column(*dlg, "Value"), QStringList({"", "5", ""}));
    dlg->reject();
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
}

TEST_F(FillerFixture, UnreadableDefinitionsAreReportedAndLeftAlone)
{
    auto ds = Target("t.cds", {{"N", ftInteger}});
    const QByteArray damaged = QByteArray::fromHex("9619E0BD0100") + QByteArray(40, '\x7f');
    WriteWholeFile(Path("FillerSaveDef.dat"), damaged);
    {
        auto dlg = Filler(ds.get());
        ASSERT_EQ(Shown.size(), 1);
        SetRow(*dlg, 1, "Increment", "3");
        dlg->EdtNoFill->SetIntValue(2);
        dlg->FromTop1->Click();
        EXPECT_EQ(Values(ds.get(), "N"), QStringList({"3", "4"}));
        dlg->reject();
    }
    EXPECT_EQ(ReadWholeFile(Path("FillerSaveDef.dat")), damaged);

    // A readable file of another shape is no store of definitions either.
    TClientDataSet other;
    other.FieldDefs().Add("Something", ftInteger);
    other.CreateDataSet();
    other.SaveToFile(Path("FillerSaveDef.dat"));
    const QByteArray otherBytes = ReadWholeFile(Path("FillerSaveDef.dat"));
    Shown.clear();
    Filler(ds.get())->reject();
    EXPECT_EQ(Shown.size(), 1);
    EXPECT_EQ(ReadWholeFile(Path("FillerSaveDef.dat")), otherBytes);

    // A definitions file that cannot be written is reported; the dialog still closes.
    QFile::remove(Path("FillerSaveDef.dat"));
    QFile::setPermissions(Dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    Shown.clear();
    auto dlg = Filler(ds.get());
    dlg->reject();
    QFile::setPermissions(Dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(dlg->isVisible());
    if (::geteuid() != 0) {
        EXPECT_EQ(Shown.size(), 1);
    }
}

TEST_F(FillerFixture, RowCommandsAndTheValueCombo)
{
    auto ds = Target("ui.cds", {{"Title", ftString, 10}, {"N", ftInteger}, {"Other", ftString, 5}});
    for (int i = 1; i <= 2; ++i) {
        ds->Append();
        ds->FieldByName("N")->SetAsInteger(i);
        ds->Post();
    }
    auto dlg = Filler(ds.get());
    // Cell controls stand over the cell of a grid that has the focus of the active window.
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));

    // "Change all Methods to": the five methods, GUID not among them.
    QStringList offered;
    ASSERT_EQ(dlg->PopupMenu1->actions().size(), 1);
    EXPECT_EQ(dlg->PopupMenu1->actions()[0]->text(), "Change all Methods to");
    for (QAction* a : dlg->PopupMenu1->actions()[0]->menu()->actions()) offered << a->text();
    EXPECT_EQ(offered, QStringList({"No Value", "Increment", "Random", "Single", "List"}));
    dlg->mnuRandom->trigger();
    EXPECT_EQ(Column(*dlg, "Method"), QStringList(3, "Random"));
    dlg->mnuNoValue->trigger();
    EXPECT_EQ(Column(*dlg, "Method"), QStringList(3, "No Value"));

    // The value combo's list drops down only on a List row.
    SetRow(*dlg, 1, "Random");
    dlg->cdsFiller->SetRecNo(1);
    dlg->grdFiller->setFocus();
    dlg->grdFiller->SelectFieldByName("Value");
    QCoreApplication::processEvents();
    EXPECT_TRUE(dlg->EdtValue->DisableDropDownList);
    dlg->EdtValue->DropDown();
    EXPECT_FALSE(dlg->EdtValue->IsDroppedDown());
    SetRow(*dlg, 1, "List");
    dlg->grdFiller->SelectFieldByName("Method");
    dlg->grdFiller->SelectFieldByName("Value");
    QCoreApplication::processEvents();
    EXPECT_FALSE(dlg->EdtValue->DisableDropDownList);

    // Picking the TITLE line puts its values into the row.
    const int title = int(FillValueItems.indexOf(QRegularExpression("^TITLE=.*")));
    ASSERT_GE(title, 0);
    dlg->EdtValue->DropDown();
    ASSERT_TRUE(dlg->EdtValue->IsDroppedDown());
    EXPECT_EQ(dlg->EdtValue->PopupList()->Line(title), "TITLE=Mr;Ms;Mrs;Miss;Dr;Prof");
    dlg->EdtValue->PopupList()->SetItemIndex(title);
    dlg->EdtValue->CloseUp(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->cdsFiller->FieldByName("Value")->AsString(), "Mr;Ms;Mrs;Miss;Dr;Prof");
    // Leaving the cell hides the combo; the row's value stays as it is.
    SetRow(*dlg, 2, "Single", "a=b");
    dlg->grdFiller->SelectFieldByName("Value");
    QCoreApplication::processEvents();
    dlg->grdFiller->SelectFieldByName("Method");
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->cdsFiller->FieldByName("Value")->AsString(), "a=b");
    for (const QString& item : FillValueItems) {
        const QStringList parts = item.split('\t');
        ASSERT_EQ(parts.size(), 2);
        EXPECT_EQ(parts[0].section('=', 1), parts[1]);
        QStringList values;
        SplitDelimited(parts[1], ";", values);
        EXPECT_GE(values.size(), 6) << item.toStdString();
        EXPECT_FALSE(parts[1].contains('\'') || parts[1].contains('"')) << item.toStdString();   // quotes would join items
    }

    // Count takes the target's record count.
    dlg->btnCountTabSQL->click();
    EXPECT_EQ(dlg->EdtNoFill->GetIntValue(), 2);

    // The counts and the fill type are kept in the settings file.
    dlg->EdtDetailNoFill->SetIntValue(7);
    dlg->rgAppendUpdate->SetItemIndex(1);
    dlg->reject();
    dlg.reset();
    TIniFile ini(Path("Quarrow.ini"));
    EXPECT_EQ(ini.ReadString("DBFiller", "rgAppendUpdate_ItemIndex", ""), "1");
    auto again = Filler(ds.get());
    EXPECT_EQ(again->EdtNoFill->GetIntValue(), 2);
    EXPECT_EQ(again->EdtDetailNoFill->GetIntValue(), 7);
    EXPECT_EQ(again->rgAppendUpdate->ItemIndex(), 1);
}

TEST_F(FillerFixture, EnterInTheGridNeverClosesTheDialog)
{
    auto ds = Target("enter.cds", {{"Title", ftString, 10}, {"N", ftInteger}});
    auto dlg = Filler(ds.get());
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    SetRow(*dlg, 1, "Single", "a");
    dlg->cdsFiller->SetRecNo(1);
    dlg->grdFiller->setFocus();
    dlg->grdFiller->SelectFieldByName("Value");
    QCoreApplication::processEvents();
    auto enter = [&] {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
    };
    // On the grid, in the value combo after typing into it, and in the grid's own editor.
    enter();
    EXPECT_TRUE(dlg->isVisible());
    ASSERT_TRUE(dlg->EdtValue->isVisible());
    QTest::keyClicks(dlg->grdFiller, "b");
    QCoreApplication::processEvents();
    EXPECT_TRUE(dlg->EdtValue->hasFocus());
    enter();
    EXPECT_TRUE(dlg->isVisible());
    dlg->cdsFiller->CheckBrowseMode();
    // The combo comes up with its text selected, so what is typed replaces it.
    EXPECT_EQ(dlg->cdsFiller->FieldByName("Value")->AsString(), "b");
    EXPECT_EQ(dlg->result(), 0);
}

TEST(FillRandom, SeededGeneratorStaysInRange)
{
    TRandomGenerator a(7), b(7);
    int seen[5] = {};
    for (int i = 0; i < 10000; ++i) {
        const int r = a.Random(5);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 5);
        ++seen[r];
        EXPECT_EQ(r, b.Random(5));
        const double x = a.Random();
        ASSERT_GE(x, 0.0);
        ASSERT_LT(x, 1.0);
        b.Random();
    }
    for (int n : seen) EXPECT_GT(n, 1800);
    EXPECT_EQ(a.Random(0), 0);
    EXPECT_EQ(a.Random(-3), 0);
}
