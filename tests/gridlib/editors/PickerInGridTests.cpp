#include "gridlib/editors/kqdbdatetimepicker.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {
// A grid over records with a date, the picker class registered as the program does.
struct GridForm {
    GridForm()
    {
        RegisterDateTimePickerClass();
        form = std::make_unique<QWidget>();
        form->resize(420, 240);
        auto* layout = new QVBoxLayout(form.get());
        grid = new TkqDBGrid(form.get());
        layout->addWidget(grid);
        ds = new TGridTestDataSet(form.get());
        ds->Define({{"Id", ftInteger}, {"Due", ftDate}});
        ds->AddRow({TVariant(1), TVariant::FromDate(EncodeDate(2020, 5, 17))});
        ds->AddRow({TVariant(2), TVariant::FromDate(EncodeDate(2021, 6, 1))});
        source = new TDataSource(form.get());
        source->SetDataSet(ds);
        ds->Open();
        grid->SetDataSource(source);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        grid->setFocus();
        grid->SelectFieldByName(QStringLiteral("Due"));
        QApplication::processEvents();
    }
    ~GridForm() { RegisterControlClass(QStringLiteral("TkqDBDateTimePicker"), nullptr); }
    TkqDBDateTimePicker* Picker() const { return qobject_cast<TkqDBDateTimePicker*>(grid->CellPicker()); }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
        QTest::keyClick(target, key, mods);
        QApplication::processEvents();
    }
    TDateTime Due() const { return ds->FieldByName(QStringLiteral("Due"))->AsDateTime(); }
    std::unique_ptr<QWidget> form;
    TkqDBGrid* grid;
    TGridTestDataSet* ds;
    TDataSource* source;
};
} // namespace

TEST(PickerInGrid, TypedValueReachesTheFieldOnExitAndEscapeRestores)
{
    GridForm g;
    TkqDBDateTimePicker* picker = g.Picker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->Field(), g.ds->FieldByName(QStringLiteral("Due")));
    EXPECT_EQ(picker->BorderStyle(), 0);
    // F2 in the grid enters the picker.
    g.Key(Qt::Key_F2);
    ASSERT_TRUE(picker->hasFocus());
    EXPECT_TRUE(picker->selectedText() == picker->text()) << "entering selects the whole text";
    // F2 in the picker selects the first part (the month); a digit sets it. (Up and Down are
    // the grid's: its keyboard hook moves the row with them.)
    g.Key(Qt::Key_F2);
    EXPECT_EQ(picker->selectedText(), QStringLiteral("5"));
    g.Key(Qt::Key_6);
    EXPECT_EQ(picker->text(), QStringLiteral("6/17/2020"));
    EXPECT_EQ(picker->CurrentPart(), 2);
    EXPECT_DOUBLE_EQ(g.Due(), EncodeDate(2020, 5, 17));
    // Escape on the changed picker shows the field again and gives the grid the focus.
    g.Key(Qt::Key_Escape);
    EXPECT_EQ(picker->text(), QStringLiteral("5/17/2020"));
    EXPECT_TRUE(g.grid->hasFocus());
    EXPECT_DOUBLE_EQ(g.Due(), EncodeDate(2020, 5, 17));

    // Changed again, then Enter hands the key to the grid: the value is written on leaving.
    g.Key(Qt::Key_F2);
    g.Key(Qt::Key_F2);
    g.Key(Qt::Key_6);
    g.Key(Qt::Key_Return);
    EXPECT_TRUE(g.grid->hasFocus());
    EXPECT_DOUBLE_EQ(g.Due(), EncodeDate(2020, 6, 17));
}

TEST(PickerInGrid, AltDownDropsTheCalendarAndAClickedDayIsWritten)
{
    GridForm g;
    TkqDBDateTimePicker* picker = g.Picker();
    ASSERT_NE(picker, nullptr);
    g.Key(Qt::Key_Down, Qt::AltModifier);
    QApplication::processEvents();
    ASSERT_TRUE(picker->IsDroppedDown());
    TkqPopupCalendar* cal = picker->Calendar();
    const TRect day = cal->DayRect(2020, 5, 20);
    QTest::mouseClick(cal, Qt::LeftButton, {}, QPoint((day.Left + day.Right) / 2, (day.Top + day.Bottom) / 2));
    EXPECT_FALSE(picker->IsDroppedDown());
    EXPECT_EQ(picker->text(), QStringLiteral("5/20/2020"));
    // Posting the record writes the picker's date.
    EXPECT_EQ(g.ds->State(), dsEdit);
    g.ds->Post();
    EXPECT_DOUBLE_EQ(g.Due(), EncodeDate(2020, 5, 20));
}
