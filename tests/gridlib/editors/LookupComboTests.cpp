// The lookup combo: key fields and display field, the shown text for a record's keys (one and
// several key fields, nulls, keys not found, link fields), the searches by index and record by
// record, the drop-down grid's geometry, keys and mouse, and what reaches the bound record.

#include "gridlib/editors/kqdblook.h"
#include "platform/client/ClientDataSet.h"
#include "platform/data/DBFields.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Customers in a client dataset (the lookup table), orders (the bound records) in an
// array-backed one.
struct LookupData {
    LookupData()
    {
        customers.FieldDefs().Add(QStringLiteral("CustNo"), ftInteger);
        customers.FieldDefs().Add(QStringLiteral("Company"), ftString, 30);
        customers.FieldDefs().Add(QStringLiteral("City"), ftString, 20);
        customers.CreateDataSet();
        const struct {
            int no;
            const char* company;
            const char* city;
        } rows[] = {{10, "Cobalt Tools", "Oslo"},
                    {20, "Acme", "Lima"},
                    {30, "Bayside Ltd", "Kiel"},
                    {40, "Bolt & Nut", "Kiel"},
                    {50, "Delta Marine", "Oslo"}};
        for (const auto& r : rows) {
            customers.Append();
            customers.FieldByName(QStringLiteral("CustNo"))->SetAsInteger(r.no);
            customers.FieldByName(QStringLiteral("Company"))->SetAsString(QString::fromLatin1(r.company));
            customers.FieldByName(QStringLiteral("City"))->SetAsString(QString::fromLatin1(r.city));
            customers.Post();
        }
        customers.First();
        orders.Define({{"OrderNo", ftInteger}, {"CustNo", ftInteger}});
        orders.AddRow({TVariant(1), TVariant(30)});
        orders.AddRow({TVariant(2), TVariant(50)});
        orders.AddRow({TVariant(3), TVariant::Null()});
        orders.AddRow({TVariant(4), TVariant(99)});
        orderSource.SetDataSet(&orders);
        orders.Open();
    }
    QString StoredCust(int row) const
    {
        return orders.Stored(row, 1).IsNull() ? QString() : QString::number(orders.Stored(row, 1).AsInteger());
    }
    TClientDataSet customers;
    TGridTestDataSet orders;
    TDataSource orderSource;
};

// A combo on a shown window, bound to Orders.CustNo, showing Customers.Company.
struct Shown : LookupData {
    explicit Shown(QPoint at = QPoint(40, 40))
    {
        TDialogSeam::Clear();
        window.move(at);
        window.resize(320, 200);
        combo = new TkqDBCustomLookupCombo(&window);
        combo->setGeometry(10, 10, 180, 23);
        other = new QLineEdit(&window);
        other->setGeometry(10, 150, 100, 21);
        combo->SetLookupTable(&customers);
        combo->SetLookupField(QStringLiteral("CustNo"));
        combo->SetSelected({QStringLiteral("Company\t20\tCompany")});
        combo->SetDataSource(&orderSource);
        combo->SetDataField(QStringLiteral("CustNo"));
        window.show();
        combo->setFocus();
        QApplication::processEvents();
    }
    ~Shown()
    {
        combo->CloseUp(false);
        TDialogSeam::Clear();
    }
    void Key(int key, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(combo, Qt::Key(key), m); }
    QWidget window;
    TkqDBCustomLookupCombo* combo = nullptr;
    QLineEdit* other = nullptr;
};

} // namespace

TEST(LookupComboKeys, KeyAndDisplayFieldsResolveFromLookupFieldAndSelected)
{
    LookupData d;
    TkqDBCustomLookupCombo combo;
    combo.SetLookupTable(&d.customers);
    struct Case {
        const char* lookupField;
        QStringList selected;
        const char *key, *key2, *key3, *display;
    } cases[] = {
        {"CustNo", {}, "CustNo", nullptr, nullptr, "CustNo"},
        {"CustNo", {"Company\t20\tName"}, "CustNo", nullptr, nullptr, "Company"},
        {"CustNo", {"Company"}, "CustNo", nullptr, nullptr, "CustNo"},   // no TAB: the key shows
        {"CustNo;City", {"Company\t20\tName"}, "CustNo", "City", nullptr, "Company"},
        {"CustNo;City;Company;CustNo", {}, "CustNo", "City", "Company", "CustNo"},   // a fourth is ignored
    };
    for (const Case& c : cases) {
        combo.SetSelected(c.selected);
        combo.SetLookupField(QString::fromLatin1(c.lookupField));
        TkqDBLookupList* g = combo.DropDownGrid();
        auto name = [](TField* f) { return f ? f->FieldName() : QString(); };
        SCOPED_TRACE(c.lookupField);
        EXPECT_EQ(name(g->KeyField()), QString::fromLatin1(c.key));
        EXPECT_EQ(name(g->KeyField2()), c.key2 ? QString::fromLatin1(c.key2) : QString());
        EXPECT_EQ(name(g->KeyField3()), c.key3 ? QString::fromLatin1(c.key3) : QString());
        EXPECT_EQ(name(g->DisplayField()), QString::fromLatin1(c.display));
    }
    // A first key field that names no field of the open table.
    EXPECT_THROW(combo.SetLookupField(QStringLiteral("Nope;City")), EInvalidOperation);
    EXPECT_EQ(combo.DropDownGrid()->KeyField(), nullptr);
}

TEST(LookupComboKeys, ShowsTheLookupTextOfEachRecordsKey)
{
    Shown s;
    // Order rows: key 30, key 50, a null key, a key that is in no customer record.
    const struct {
        const char *text, *key;
    } expected[] = {{"Bayside Ltd", "30"}, {"Delta Marine", "50"}, {"", ""}, {"", "99"}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.key);
        EXPECT_EQ(s.combo->text(), QString::fromLatin1(e.text));
        EXPECT_EQ(s.combo->GetKeyValue(), QString::fromLatin1(e.key));
        s.orders.Next();
    }
    // The display text of any row's key, as a grid paints this combo's cells.
    EXPECT_EQ(s.combo->MapStoredToDisplay(QStringLiteral("40")), QStringLiteral("Bolt & Nut"));
    EXPECT_EQ(s.combo->MapStoredToDisplay(QStringLiteral("77")), QString());
}

TEST(LookupComboKeys, DuplicateSourceIsRefused)
{
    LookupData d;
    TkqDBCustomLookupCombo combo;
    TDataSource customerSource;
    customerSource.SetDataSet(&d.customers);
    combo.SetLookupTable(&d.customers);
    EXPECT_THROW(combo.SetDataSource(&customerSource), EInvalidOperation);
    EXPECT_EQ(combo.DataSource(), nullptr);
}

TEST(LookupComboKeys, SeveralKeyFieldsFindTheRecordOfAllKeys)
{
    // Rooms are keyed by building and number; the bound record holds both.
    TClientDataSet rooms;
    rooms.FieldDefs().Add(QStringLiteral("Building"), ftString, 4);
    rooms.FieldDefs().Add(QStringLiteral("Room"), ftInteger);
    rooms.FieldDefs().Add(QStringLiteral("Label"), ftString, 20);
    rooms.CreateDataSet();
    for (const auto& [b, r, l] : {std::tuple{"A", 1, "A one"}, {"A", 2, "A two"}, {"B", 1, "B one"}}) {
        rooms.Append();
        rooms.FieldByName(QStringLiteral("Building"))->SetAsString(QString::fromLatin1(b));
        rooms.FieldByName(QStringLiteral("Room"))->SetAsInteger(r);
        rooms.FieldByName(QStringLiteral("Label"))->SetAsString(QString::fromLatin1(l));
        rooms.Post();
    }
    rooms.SetIndexFieldNames(QStringLiteral("Room;Building"));
    TGridTestDataSet bookings;
    bookings.Define({{"Room", ftInteger}, {"Building", ftWideString}});
    bookings.AddRow({TVariant(1), TVariant(QStringLiteral("B"))});
    bookings.AddRow({TVariant(2), TVariant(QStringLiteral("A"))});
    bookings.AddRow({TVariant(2), TVariant(QStringLiteral("B"))});
    TDataSource source;
    source.SetDataSet(&bookings);
    bookings.Open();
    QWidget window;
    auto* combo = new TkqDBCustomLookupCombo(&window);
    combo->SetLookupTable(&rooms);
    combo->SetLookupField(QStringLiteral("Room;Building"));
    combo->SetSelected({QStringLiteral("Label\t10\tLabel")});
    combo->SetDataSource(&source);
    combo->SetDataField(QStringLiteral("Room"));
    window.show();
    EXPECT_EQ(combo->text(), QStringLiteral("B one"));
    EXPECT_EQ(combo->GetKeyValue2(), QStringLiteral("B"));
    bookings.Next();
    EXPECT_EQ(combo->text(), QStringLiteral("A two"));
    bookings.Next();
    EXPECT_EQ(combo->text(), QString());   // room 2 exists, but not in building B
}

TEST(LookupComboKeys, LookupFieldWritesItsKeyFields)
{
    LookupData d;
    // Orders with a lookup field CustName: Orders.CustNo searched as Customers.CustNo.
    TGridTestDataSet orders;
    orders.Define({{"OrderNo", ftInteger}, {"CustNo", ftInteger}});
    orders.AddRow({TVariant(1), TVariant(20)});
    auto* no = new TIntegerField(&orders);
    no->SetFieldName(QStringLiteral("OrderNo"));
    no->SetDataSet(&orders);
    auto* cust = new TIntegerField(&orders);
    cust->SetFieldName(QStringLiteral("CustNo"));
    cust->SetDataSet(&orders);
    auto* name = new TStringField(&orders);
    name->SetFieldName(QStringLiteral("CustName"));
    name->SetFieldKind(fkLookup);
    name->SetKeyFields(QStringLiteral("CustNo"));
    name->SetLookupDataSet(&d.customers);
    name->SetLookupKeyFields(QStringLiteral("CustNo"));
    name->SetLookupResultField(QStringLiteral("Company"));
    name->SetDataSet(&orders);
    TDataSource source;
    source.SetDataSet(&orders);
    orders.Open();
    QWidget window;
    auto* combo = new TkqDBCustomLookupCombo(&window);
    combo->setGeometry(0, 0, 150, 23);
    combo->SetLookupTable(&d.customers);
    combo->SetDataSource(&source);
    combo->SetDataField(QStringLiteral("CustName"));
    window.show();
    // The key fields come from the lookup field; the display field is its result field.
    EXPECT_EQ(combo->LookupField(), QStringLiteral("CustNo"));
    EXPECT_EQ(combo->DropDownGrid()->DisplayField()->FieldName(), QStringLiteral("Company"));
    EXPECT_TRUE(combo->IsCalcFieldLookup());
    EXPECT_EQ(combo->text(), QStringLiteral("Acme"));
    // The list finds the bound record's customer; a choice writes CustNo, never CustName.
    combo->DropDown();
    EXPECT_EQ(d.customers.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 20);
    d.customers.Locate(QStringLiteral("CustNo"), TVariant(40));
    combo->DropDownGrid()->HighlightRow = 0;
    combo->DropDownGrid()->RecordChosen();
    combo->CloseUp(true);
    EXPECT_EQ(orders.State(), dsEdit);
    EXPECT_EQ(cust->AsInteger(), 40);
    EXPECT_EQ(name->AsString(), QStringLiteral("Bolt & Nut"));
    EXPECT_EQ(combo->text(), QStringLiteral("Bolt & Nut"));
}

TEST(LookupComboSearch, IncrementalSearchIndexedAndUnindexed)
{
    for (bool indexed : {false, true}) {
        SCOPED_TRACE(indexed ? "indexed" : "stored order");
        Shown s;
        s.combo->OrderByDisplay = false;
        s.customers.SetIndexFieldNames(indexed ? QStringLiteral("Company") : QString());
        s.combo->DropDown();
        ASSERT_TRUE(s.combo->IsDroppedDown());
        // Typed text is searched at the start of the display text, ignoring case, after the pause.
        QTest::keyClicks(s.combo, QStringLiteral("bo"));
        EXPECT_TRUE(s.combo->SearchTimer()->isActive());
        s.combo->PerformSearch();
        EXPECT_EQ(s.customers.FieldByName(QStringLiteral("Company"))->AsString(), QStringLiteral("Bolt & Nut"));
        EXPECT_EQ(s.combo->GetKeyValue(), QStringLiteral("40"));
        EXPECT_TRUE(s.combo->TextMatched);
        // A text that begins no company: not matched, the table stays.
        QTest::keyClicks(s.combo, QStringLiteral("x"));
        s.combo->PerformSearch();
        EXPECT_FALSE(s.combo->TextMatched);
        s.combo->CloseUp(false);
    }
}

TEST(LookupComboSearch, TypingRestartsTheTimerAndSearchDelaySetsIt)
{
    Shown s;
    s.combo->SearchDelay = 500;
    s.combo->DropDown();
    QTest::keyClicks(s.combo, QStringLiteral("de"));
    EXPECT_EQ(s.combo->SearchTimer()->interval(), 500);
    EXPECT_TRUE(s.combo->SearchTimer()->isActive());
    // Enter runs the pending search at once and takes its record.
    s.Key(Qt::Key_Return);
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_EQ(s.StoredCust(0), QStringLiteral("30"));   // not posted yet
    EXPECT_EQ(s.orders.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 50);
    EXPECT_EQ(s.combo->text(), QStringLiteral("Delta Marine"));
}

TEST(LookupComboSearch, ShowMatchTextCompletesAndSelectsTheRest)
{
    Shown s;
    s.combo->ShowMatchText = true;
    s.combo->setText(QString());
    QTest::keyClicks(s.combo, QStringLiteral("Ba"));
    EXPECT_EQ(s.combo->text(), QStringLiteral("Bayside Ltd"));
    EXPECT_EQ(s.combo->selectionStart(), 2);
    EXPECT_EQ(s.combo->selectedText(), QStringLiteral("yside Ltd"));
}

TEST(LookupComboDropDown, KeysChooseAndEnterWritesTheKey)
{
    Shown s;
    s.Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(s.combo->IsDroppedDown());
    EXPECT_TRUE(TkqDBCustomLookupCombo::MouseHookInstalled());
    // The list stands on the bound record's customer.
    EXPECT_EQ(s.customers.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 30);
    s.Key(Qt::Key_Down);
    EXPECT_EQ(s.combo->GetKeyValue(), QStringLiteral("40"));
    EXPECT_EQ(s.combo->text(), QStringLiteral("Bolt & Nut"));
    s.Key(Qt::Key_Return);
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_FALSE(TkqDBCustomLookupCombo::MouseHookInstalled());
    EXPECT_EQ(s.orders.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 40);
    s.orders.Post();
    EXPECT_EQ(s.StoredCust(0), QStringLiteral("40"));
}

TEST(LookupComboDropDown, EscapeRestoresTheValue)
{
    Shown s;
    bool closedModified = true;
    int closes = 0;
    s.combo->OnCloseUp = [&](QObject*, TDataSet*, TDataSet*, bool modified) {
        closedModified = modified;
        ++closes;
    };
    s.Key(Qt::Key_F4);
    ASSERT_TRUE(s.combo->IsDroppedDown());
    s.Key(Qt::Key_Down);
    s.Key(Qt::Key_Down);
    EXPECT_EQ(s.combo->text(), QStringLiteral("Delta Marine"));
    s.Key(Qt::Key_Escape);
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(closedModified);
    EXPECT_EQ(s.combo->text(), QStringLiteral("Bayside Ltd"));
    EXPECT_EQ(s.combo->GetKeyValue(), QStringLiteral("30"));
    EXPECT_EQ(s.orders.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 30);
}

TEST(LookupComboDropDown, ListShrinksToFewRecordsUnlessFixed)
{
    Shown s;
    s.combo->DropDown();
    EXPECT_EQ(s.combo->ListRowCount, 5);   // five customers, eight rows asked for
    s.combo->CloseUp(false);
    s.combo->DropDownGrid()->SetListOptions({loFixedDropDownHeight});
    s.combo->DropDown();
    EXPECT_EQ(s.combo->ListRowCount, 8);
    EXPECT_EQ(s.combo->DropDownGrid()->height(), s.combo->ListHeight());
}

TEST(LookupComboDropDown, PlacementBelowOrAboveNearTheScreenEdges)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        int y;
        bool above;
    } cases[] = {{40, false}, {screen.bottom() - 60, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        Shown s(QPoint(40, c.y));
        s.combo->DropDown();
        const QRect list = s.combo->DropDownGrid()->geometry();
        const int comboTop = s.combo->mapToGlobal(QPoint(0, 0)).y();
        if (c.above) {
            EXPECT_EQ(list.bottom(), comboTop);   // its last line over the combo's first
        } else {
            EXPECT_EQ(list.top(), comboTop + s.combo->height() - 1);
        }
        EXPECT_GE(list.width(), s.combo->width() - 4);
    }
    // A list too high for either side opens below after all.
    Shown s(QPoint(40, screen.height() / 2));
    s.combo->DropDownRows = 400;
    s.combo->DropDownGrid()->SetListOptions({loFixedDropDownHeight});
    s.combo->DropDown();
    EXPECT_EQ(s.combo->DropDownGrid()->y(), s.combo->mapToGlobal(QPoint(0, 0)).y() + s.combo->height() - 1);
}

TEST(LookupComboDropDown, NarrowComboAndMissingTableNeverOpen)
{
    Shown s;
    s.combo->resize(20, 23);
    s.combo->DropDown();
    EXPECT_FALSE(s.combo->IsDroppedDown());
    s.combo->resize(180, 23);
    TkqDBCustomLookupCombo unbound;
    TDialogSeam::AnswerMessages({mrOk});
    unbound.DropDown();
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{QStringLiteral("No lookup table specified!")});
}

TEST(LookupComboDropDown, ClickOnARowChoosesItAndAClickElsewhereCloses)
{
    Shown s;
    s.combo->DropDown();
    TkqPopupGrid* grid = s.combo->DropDownGrid();
    ASSERT_TRUE(grid->isVisible());
    // Rows in the table's order: Cobalt, Acme, Bayside, Bolt, Delta.
    const int rowHeight = grid->DefaultRowHeight() + grid->GridLineWidth();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(20, rowHeight * 3 + rowHeight / 2));
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_EQ(s.combo->text(), QStringLiteral("Bolt & Nut"));
    EXPECT_EQ(s.orders.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 40);
    // Opened again, a press on another control closes the list accepting its row.
    s.combo->DropDown();
    ASSERT_TRUE(s.combo->IsDroppedDown());
    QTest::mousePress(s.other, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_FALSE(TkqDBCustomLookupCombo::MouseHookInstalled());
    QTest::mouseRelease(s.other, Qt::LeftButton);
}

TEST(LookupComboDropDown, UnmatchedTextKeepsOrRestoresByKeyKind)
{
    // The key is the display field: a typed text that matches nothing is a new value.
    {
        LookupData d;
        TGridTestDataSet people;
        people.Define({{"Name", ftWideString}});
        people.AddRow({TVariant(QStringLiteral("Acme"))});
        TDataSource source;
        source.SetDataSet(&people);
        people.Open();
        QWidget window;
        auto* combo = new TkqDBCustomLookupCombo(&window);
        combo->setGeometry(0, 0, 150, 23);
        combo->SetLookupTable(&d.customers);
        combo->SetLookupField(QStringLiteral("Company"));
        combo->SetDataSource(&source);
        combo->SetDataField(QStringLiteral("Name"));
        window.show();
        combo->setFocus();
        combo->DropDown();
        combo->selectAll();
        QTest::keyClicks(combo, QStringLiteral("Zeta"));
        QTest::keyClick(combo, Qt::Key_Return);
        EXPECT_EQ(people.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Zeta"));
        combo->CloseUp(false);
    }
    // A key other than the display field: leaving with an unmatched text restores the saved text.
    {
        Shown s;
        s.combo->selectAll();
        QTest::keyClicks(s.combo, QStringLiteral("Zeta"));
        s.other->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(s.combo->text(), QStringLiteral("Bayside Ltd"));
        EXPECT_EQ(s.orders.FieldByName(QStringLiteral("CustNo"))->AsInteger(), 30);
    }
}

TEST(LookupComboKeys, DropDownListStyleIgnoresDeletingUnlessClearing)
{
    Shown s;
    s.combo->SetStyle(csDropDownList);
    s.combo->selectAll();
    s.Key(Qt::Key_Delete);
    EXPECT_EQ(s.combo->text(), QStringLiteral("Bayside Ltd"));
    s.combo->AllowClearKey = true;
    s.combo->selectAll();
    s.Key(Qt::Key_Delete);
    EXPECT_EQ(s.combo->text(), QString());
    EXPECT_EQ(s.combo->GetKeyValue(), QString());
    s.other->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(s.orders.FieldByName(QStringLiteral("CustNo"))->IsNull());
}
