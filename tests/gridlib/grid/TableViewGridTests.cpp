#include "gridlib/core/Kqdbspin.h"
#include "gridlib/grid/KqTableViewGrid.h"
#include "gridlib/grid/KqTableViewExpand.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QHeaderView>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A form with one grid on a dataset of Id (integer) and Name (wide string) rows.
struct GridForm {
    explicit GridForm(int rows = 20, bool show = true)
    {
        form = std::make_unique<QWidget>();
        form->setObjectName(QStringLiteral("Form1"));
        form->resize(420, 300);
        auto* layout = new QVBoxLayout(form.get());
        grid = new TkqTableViewGrid(form.get());
        grid->setObjectName(QStringLiteral("grdData"));
        layout->addWidget(grid);
        ds = new TGridTestDataSet(form.get());
        ds->Define({{"Id", ftInteger}, {"Name", ftWideString}});
        ds->Fill(rows);
        source = new TDataSource(form.get());
        source->SetDataSet(ds);
        ds->Open();
        grid->SetDataSource(source);
        if (show) {
            form->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        }
    }
    QPoint CellCenter(int row, int col) const
    {
        return grid->visualRect(grid->model()->index(row, col)).center();
    }
    void Click(int row, int col, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, mods, CellCenter(row, col));
    }

    std::unique_ptr<QWidget> form;
    TkqTableViewGrid* grid = nullptr;
    TGridTestDataSet* ds = nullptr;
    TDataSource* source = nullptr;
};

// Messages the application would show, recorded instead.
struct ShownErrors {
    ShownErrors()
    {
        Application()->OnException = [this](const std::exception& e) {
            if (!dynamic_cast<const EAbort*>(&e)) texts << QString::fromUtf8(e.what());
        };
    }
    ~ShownErrors() { Application()->OnException = nullptr; }
    QStringList texts;
};

} // namespace

TEST(DBGrid, RowsAppendedByTheProgramScrollIntoView)
{
    GridForm f(5);
    f.grid->SetFixedCols(1);
    f.grid->SetOptions(f.grid->Options().With(dgAlwaysShowEditor, true));
    // As a window adds rows and then tidies them up with its controls disabled.
    for (int i = 0; i < 60; ++i) {
        f.ds->Append();
        f.ds->FieldByName(QStringLiteral("Id"))->SetAsInteger(100 + i);
        f.ds->Post();
        f.ds->DisableControls();
        f.ds->First();
        f.ds->Last();
        f.ds->EnableControls();
    }
    const int last = f.ds->RecordCount() - 1;
    EXPECT_EQ(f.grid->currentIndex().row(), last);
    EXPECT_TRUE(f.grid->viewport()->rect().contains(f.CellCenter(last, 0)));
}

TEST(DBGrid, ShiftTabReachesTheKeyEventWithShift)
{
    GridForm f(5);
    f.grid->setFocus();
    int key = 0;
    TShiftState shift;
    f.grid->OnKeyDown = [&](QObject*, int& k, TShiftState s) {
        key = k;
        shift = s;
    };
    f.grid->SelectFieldByName(QStringLiteral("Name"));
    QTest::keyClick(f.grid, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(key, VK_TAB);
    EXPECT_EQ(shift, TShiftState{ssShift});
    QTest::keyClick(f.grid, Qt::Key_Tab);
    EXPECT_EQ(key, VK_TAB);
    EXPECT_TRUE(shift.IsEmpty());
}

TEST(DBGrid, RowsAndColumnsComeFromTheDataSet)
{
    GridForm f(50);
    EXPECT_EQ(f.grid->model()->rowCount(), 50);
    EXPECT_EQ(f.grid->model()->columnCount(), 2);
    EXPECT_EQ(f.grid->ColCount(), 3);   // with the indicator
    EXPECT_EQ(f.grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(f.grid->GetCellText(49, 1), QStringLiteral("Name50"));

    // Hidden fields are no columns; a label change shows in the title.
    f.ds->FieldByName(QStringLiteral("Id"))->SetVisible(false);
    EXPECT_EQ(f.grid->model()->columnCount(), 1);
    f.ds->FieldByName(QStringLiteral("Name"))->SetDisplayLabel(QStringLiteral("Customer"));
    EXPECT_EQ(f.grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Customer"));

    // Closing empties the grid; reopening brings the rows back.
    f.ds->Close();
    EXPECT_EQ(f.grid->model()->rowCount(), 0);
    f.ds->Open();
    EXPECT_EQ(f.grid->model()->rowCount(), 50);
}

TEST(DBGrid, ColumnWidthsFollowDisplayWidthsInCharacters)
{
    GridForm f(3);
    const int zero = QFontMetrics(f.grid->font()).horizontalAdvance(QLatin1Char('0'));
    f.ds->FieldByName(QStringLiteral("Name"))->SetDisplayWidth(30);
    EXPECT_EQ(f.grid->columnWidth(1), zero * 30 + 4);
    // A title wider than the data decides the width.
    f.ds->FieldByName(QStringLiteral("Id"))->SetDisplayWidth(1);
    f.ds->FieldByName(QStringLiteral("Id"))->SetDisplayLabel(QStringLiteral("A long title"));
    EXPECT_EQ(f.grid->columnWidth(0), QFontMetrics(f.grid->TitleFont()).horizontalAdvance(QStringLiteral("A long title")) + 4);
    // A user's resize goes back to the field in characters.
    f.grid->horizontalHeader()->resizeSection(1, zero * 12 + 4);
    EXPECT_EQ(f.ds->FieldByName(QStringLiteral("Name"))->DisplayWidth(), 12);
}

TEST(DBGrid, ReadingCellsNeverMovesTheCursor)
{
    GridForm f(1000);
    int scrolls = 0;
    f.ds->AfterScroll = [&](TDataSet*) { ++scrolls; };
    f.ds->SetRecNo(500);
    scrolls = 0;
    EXPECT_EQ(f.grid->GetCellText(0, 0), QStringLiteral("1"));
    EXPECT_EQ(f.grid->GetCellText(999, 1), QStringLiteral("Name1000"));
    f.grid->viewport()->repaint();
    f.grid->scrollToBottom();
    f.grid->viewport()->repaint();
    EXPECT_EQ(f.ds->RecNo(), 500);
    EXPECT_EQ(scrolls, 0);
}

TEST(DBGrid, CurrentRowFollowsTheCursorBothWays)
{
    GridForm f(100);
    // Dataset to grid, also far off screen.
    f.ds->SetRecNo(80);
    EXPECT_EQ(f.grid->currentIndex().row(), 79);
    EXPECT_GE(f.grid->rowAt(f.grid->viewport()->height() / 2), 0);
    f.ds->First();
    EXPECT_EQ(f.grid->currentIndex().row(), 0);
    // Grid to dataset: keys and clicks.
    f.grid->setFocus();
    QTest::keyClick(f.grid, Qt::Key_Down);
    EXPECT_EQ(f.ds->RecNo(), 2);
    f.Click(4, 1);
    EXPECT_EQ(f.ds->RecNo(), 5);
    EXPECT_EQ(f.grid->currentIndex().column(), 1);
    QTest::keyClick(f.grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(f.ds->RecNo(), 100);
    // The old grid's data-row coordinates: counted from the first visible row.
    f.ds->First();
    f.ds->SetRecNo(3);
    EXPECT_EQ(f.grid->GetDataRow(), 2);
    f.grid->SetDataRow(5);
    EXPECT_EQ(f.ds->RecNo(), 6);
}

TEST(DBGrid, EditingPutsTheRecordInEditAndPostsOnRowChange)
{
    GridForm f(10);
    f.grid->setFocus();
    f.Click(2, 1);
    QTest::keyClicks(f.grid, QStringLiteral("Z"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ed"));
    EXPECT_EQ(f.ds->State(), dsEdit);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(f.ds->State(), dsBrowse);
    EXPECT_EQ(f.ds->RecNo(), 4);
    EXPECT_EQ(f.ds->Stored(2, 1).RawString(), QStringLiteral("Zed"));
    EXPECT_EQ(f.ds->Posts, 1);
}

TEST(DBGrid, AFailedPostKeepsTheRowAndShowsTheMessage)
{
    GridForm f(10);
    ShownErrors shown;
    f.grid->setFocus();
    f.Click(1, 1);
    QTest::keyClicks(f.grid, QStringLiteral("X"));
    f.ds->FailPostWith = QStringLiteral("Key violation");
    f.Click(5, 1);
    EXPECT_EQ(f.ds->RecNo(), 2);
    EXPECT_EQ(f.ds->State(), dsEdit);
    EXPECT_EQ(f.grid->currentIndex().row(), 1);
    ASSERT_EQ(shown.texts.size(), 1);
    EXPECT_TRUE(shown.texts[0].contains(QStringLiteral("Key violation")));
    // Once the store takes it, the move goes on.
    f.ds->FailPostWith.clear();
    f.Click(5, 1);
    EXPECT_EQ(f.ds->RecNo(), 6);
    EXPECT_EQ(f.ds->Stored(1, 1).RawString(), QStringLiteral("X"));
}

// A value that cannot be read leaves its cell empty and reaches the application once, after
// the paint, however often the cell is painted.
TEST(DBGrid, ACellThatCannotBeReadReportsItsErrorOnce)
{
    GridForm f(5);
    ShownErrors shown;
    f.ds->FieldByName("Name")->OnGetText = [](TField* field, QString& text, bool) {
        if (field->DataSet()->RecNo() == 3) throw Exception("Bad value in row 3");
        text = field->AsString();
    };
    f.grid->viewport()->repaint();
    EXPECT_TRUE(f.grid->model()->data(f.grid->model()->index(2, 1), Qt::DisplayRole).toString().isEmpty());
    EXPECT_EQ(f.grid->model()->data(f.grid->model()->index(1, 1), Qt::DisplayRole).toString(), "Name2");
    f.grid->viewport()->repaint();
    EXPECT_TRUE(shown.texts.isEmpty());   // not from inside the paint
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.texts, QStringList{"Bad value in row 3"});
}

TEST(DBGrid, KeysInsertCancelDeleteAndAppend)
{
    GridForm f(3);
    f.grid->setFocus();
    f.ds->SetRecNo(2);
    QTest::keyClick(f.grid, Qt::Key_Insert);
    EXPECT_EQ(f.ds->State(), dsInsert);
    EXPECT_EQ(f.grid->model()->rowCount(), 4);
    EXPECT_EQ(f.grid->currentIndex().row(), 1);
    QTest::keyClick(f.grid, Qt::Key_Escape);
    EXPECT_EQ(f.ds->State(), dsBrowse);
    EXPECT_EQ(f.grid->model()->rowCount(), 3);

    // Ctrl+Delete asks first; Cancel keeps the record.
    TDialogSeam::AnswerMessages({mrCancel, mrOk});
    QTest::keyClick(f.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(f.ds->RecordCount(), 3);
    QTest::keyClick(f.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(f.ds->RecordCount(), 2);
    EXPECT_EQ(f.grid->model()->rowCount(), 2);
    EXPECT_EQ(TDialogSeam::Messages().value(0), QStringLiteral("Delete record?"));

    // Down on the last row appends a record; a read-only grid appends nothing.
    f.ds->Last();
    QTest::keyClick(f.grid, Qt::Key_Down);
    EXPECT_EQ(f.ds->State(), dsInsert);
    EXPECT_EQ(f.grid->currentIndex().row(), 2);
    f.ds->Cancel();
    f.grid->SetReadOnly(true);
    QTest::keyClick(f.grid, Qt::Key_Down);
    QTest::keyClick(f.grid, Qt::Key_Insert);
    EXPECT_EQ(f.ds->State(), dsBrowse);
    EXPECT_EQ(f.grid->model()->rowCount(), 2);
}

TEST(DBGrid, ReadOnlyGridAndFieldsOpenNoEditor)
{
    GridForm f(3);
    f.grid->setFocus();
    f.grid->SetReadOnly(true);
    f.Click(0, 1);
    QTest::keyClicks(f.grid, QStringLiteral("abc"));
    EXPECT_EQ(f.ds->State(), dsBrowse);
    f.grid->SetReadOnly(false);
    f.ds->FieldByName(QStringLiteral("Name"))->SetReadOnly(true);
    QTest::keyClicks(f.grid, QStringLiteral("abc"));
    EXPECT_EQ(f.ds->State(), dsBrowse);
}

TEST(DBGrid, TitlesShowTwoLinesAndReportClicks)
{
    GridForm f(3);
    f.ds->FieldByName(QStringLiteral("Name"))->SetDisplayLabel(QStringLiteral("Name~WideString(20)"));
    f.grid->SetTitleLines(2);
    const int lineHeight = QFontMetrics(f.grid->TitleFont()).height();
    EXPECT_EQ(f.grid->horizontalHeader()->height(), 2 * lineHeight + 4);
    // The wider of the two lines decides the width.
    EXPECT_GE(f.grid->columnWidth(1), QFontMetrics(f.grid->TitleFont()).horizontalAdvance(QStringLiteral("WideString(20)")) + 4);

    QStringList clicked;
    f.grid->OnTitleButtonClick = [&](QObject*, const QString& name) { clicked << name; };
    auto* header = f.grid->horizontalHeader();
    const QPoint title(header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, title);
    EXPECT_TRUE(clicked.isEmpty());   // only with title buttons
    f.grid->SetTitleButtons(true);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, title);
    EXPECT_EQ(clicked, QStringList{QStringLiteral("Name")});
    EXPECT_EQ(f.ds->RecNo(), 1);   // a title click moves no record
}

TEST(DBGrid, CellColoursAndTitleImagesAskTheirEvents)
{
    GridForm f(5);
    QStringList cellFields;
    f.grid->OnCalcCellColors = [&](QObject*, TField* field, TGridDrawState, bool, QFont&, TColor&, TColor& brush) {
        cellFields << field->FieldName() + QLatin1Char('=') + field->AsString();
        brush = clYellow;
    };
    QStringList titleFields;
    f.grid->OnCalcTitleImage = [&](QObject*, TField* field, TkqTitleImageAttributes& a) {
        titleFields << field->FieldName();
        if (field->FieldName() == QLatin1String("Id")) a.ImageIndex = 0;
    };
    QPixmap up(8, 8);
    up.fill(Qt::red);
    f.grid->SetTitleImageList({QIcon(up)});
    f.grid->viewport()->repaint();
    f.grid->horizontalHeader()->viewport()->repaint();
    // The handlers read the values of the row being painted.
    EXPECT_TRUE(cellFields.contains(QStringLiteral("Name=Name4")));
    EXPECT_TRUE(titleFields.contains(QStringLiteral("Id")));
    const QImage shot = f.grid->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(f.CellCenter(2, 0) + QPoint(0, 3)), QColor(Qt::yellow));
}

TEST(DBGrid, MouseCoordGivesGridCells)
{
    GridForm f(30);
    const QPoint inCell = f.grid->viewport()->mapTo(f.grid, f.CellCenter(2, 1));
    const TGridCoord c = f.grid->MouseCoord(inCell.x(), inCell.y());
    EXPECT_EQ(c.X, 2);
    EXPECT_EQ(c.Y, 3);
    const int titleY = f.grid->frameWidth() + 2;
    EXPECT_EQ(f.grid->MouseCoord(inCell.x(), titleY).Y, 0);
    const TGridCoord indicator = f.grid->MouseCoord(f.grid->frameWidth() + 2, inCell.y());
    EXPECT_EQ(indicator.X, 0);
    const TGridCoord outside = f.grid->MouseCoord(f.grid->width() + 10, 5);
    EXPECT_EQ(outside.X, -1);
    EXPECT_EQ(outside.Y, -1);
    // Rows count from the first visible row.
    f.grid->verticalScrollBar()->setValue(10);
    const QPoint scrolled = f.grid->viewport()->mapTo(f.grid, f.CellCenter(12, 0));
    EXPECT_EQ(f.grid->MouseCoord(scrolled.x(), scrolled.y()).Y, 3);
}

TEST(DBGrid, MultiSelectionByClicksAndAll)
{
    GridForm f(1000);
    f.grid->SetOptions(f.grid->Options().With(dgMultiSelect, true));
    f.grid->SetMultiSelectOptions({msoAutoUnselect, msoShiftSelect});

    f.grid->SelectAll();
    ASSERT_EQ(f.grid->SelectedBookmarks().size(), 1000);
    f.ds->GotoBookmark(f.grid->SelectedBookmarks()[999]);
    EXPECT_EQ(f.ds->RecNo(), 1000);   // dataset order
    f.grid->UnselectAll();
    EXPECT_TRUE(f.grid->SelectedBookmarks().isEmpty());

    f.ds->First();
    f.Click(2, 0);                               // plain click: just this one
    f.Click(6, 0, Qt::ShiftModifier);            // range 3..7
    EXPECT_EQ(f.grid->SelectedBookmarks().size(), 5);
    f.Click(0, 0, Qt::ShiftModifier);            // range 1..7, no duplicates
    EXPECT_EQ(f.grid->SelectedBookmarks().size(), 7);
    f.Click(3, 0, Qt::ControlModifier);          // ctrl toggles one off
    EXPECT_EQ(f.grid->SelectedBookmarks().size(), 6);
    EXPECT_FALSE(f.grid->IsCurrentRecordSelected());
    f.Click(8, 0);                               // plain click replaces
    EXPECT_EQ(f.grid->SelectedBookmarks().size(), 1);
    EXPECT_TRUE(f.grid->IsCurrentRecordSelected());

    // A handler may refuse.
    f.grid->OnMultiSelectAllRecords = [](QObject*, bool selecting, bool& accept) { accept = !selecting; };
    f.grid->SelectAll();
    EXPECT_EQ(f.grid->SelectedBookmarks().size(), 1);
}

TEST(DBGrid, SelectedLinesLayOutTheColumns)
{
    GridForm f(3);
    f.ds->Close();
    f.ds->FieldDefs().Add(QStringLiteral("City"), ftWideString, 20);
    f.ds->Open();
    // Applied to the fields: order, titles, widths and visibility.
    f.grid->SetSelected({QStringLiteral("City\t12\tTown"), QStringLiteral("Id\t4\tNo.")});
    f.grid->RefreshLayout();
    EXPECT_EQ(f.grid->model()->columnCount(), 2);
    EXPECT_EQ(f.grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Town"));
    EXPECT_EQ(f.ds->FieldByName(QStringLiteral("City"))->DisplayWidth(), 12);
    EXPECT_FALSE(f.ds->FieldByName(QStringLiteral("Name"))->Visible());
    // Without UseTFields the lines are the columns; a line of a missing field goes.
    f.grid->SetSelected({QStringLiteral("Name\t10\tWho"), QStringLiteral("Gone\t5\tX"), QStringLiteral("Id\t3\t#")});
    f.grid->SetUseTFields(false);
    EXPECT_EQ(f.grid->model()->columnCount(), 2);
    EXPECT_EQ(f.grid->Selected().size(), 2);
    EXPECT_EQ(f.grid->GetCellText(0, 0), QStringLiteral("Name1"));
    EXPECT_EQ(f.grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("#"));
    // A width that is no number is reported, not a crash.
    f.grid->SetUseTFields(true);
    f.grid->SetSelected({QStringLiteral("Name\tabc\tWho")});
    EXPECT_THROW(f.grid->RefreshLayout(), EConvertError);
    EXPECT_GE(f.grid->model()->columnCount(), 1);
}

TEST(DBGrid, ControlTypeLinesPlaceTheNamedControlInTheCurrentCell)
{
    GridForm f(5);
    auto* spin = new TkqDBSpinEdit(f.form.get());
    spin->setObjectName(QStringLiteral("EdtSize"));
    spin->hide();
    f.grid->SetControlType(QStringList{QStringLiteral("Id;CustomEdit;EdtSize;F")});
    f.grid->RefreshLayout();
    f.grid->setFocus();
    f.Click(1, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.grid->CurrentCellControl(), spin);
    EXPECT_TRUE(spin->isVisible());
    EXPECT_EQ(spin->parentWidget(), f.grid->viewport());
    EXPECT_EQ(spin->DataField(), QStringLiteral("Id"));
    EXPECT_EQ(spin->Text(), QStringLiteral("2"));
    EXPECT_EQ(spin->geometry().topLeft(), f.grid->visualRect(f.grid->currentIndex()).topLeft());
    // The control edits the field of the current record; moving on writes it.
    spin->UpClick();
    EXPECT_EQ(f.ds->State(), dsEdit);
    f.Click(3, 1);
    EXPECT_EQ(f.ds->Stored(1, 0).AsInteger(), 3);
    EXPECT_FALSE(spin->isVisible());   // another column
    // A read-only grid places no editing control.
    f.grid->SetReadOnly(true);
    f.Click(3, 0);
    EXPECT_FALSE(spin->isVisible());
}

TEST(DBGrid, ExpandButtonOpensTheDetailGridInsideTheRow)
{
    GridForm f(10);
    TGridTestDataSet detail;
    detail.Define({{"Line", ftInteger}});
    detail.AddRow({TVariant(1)});
    detail.AddRow({TVariant(2)});
    TDataSource detailSource;
    detailSource.SetDataSet(&detail);
    detail.Open();
    auto* detailGrid = new TkqTableViewGrid(f.form.get());
    detailGrid->setObjectName(QStringLiteral("grdDetail"));
    detailGrid->resize(200, 150);
    detailGrid->SetDataSource(&detailSource);
    auto* button = new TkqTableViewExpandButton(f.form.get());
    button->setObjectName(QStringLiteral("ExpandButton"));
    button->SetGrid(detailGrid);
    QStringList events;
    button->OnBeforeExpand = [&](QObject*) { events << QStringLiteral("before"); };
    button->OnAfterExpand = [&](QObject*) { events << QStringLiteral("after"); };
    button->OnAfterCollapse = [&](QObject*) { events << QStringLiteral("collapsed"); };

    // Bound by the application even in a read-only grid.
    f.grid->SetReadOnly(true);
    f.grid->SetControlType(QStringLiteral("Name"), 3, QStringLiteral("ExpandButton"));
    EXPECT_TRUE(f.grid->ControlType().contains(QStringLiteral("Name;CustomEdit;ExpandButton")));
    f.ds->SetRecNo(3);
    f.grid->SelectFieldByName(QStringLiteral("name"));
    QCoreApplication::processEvents();
    ASSERT_EQ(f.grid->CurrentCellControl(), button);

    const int rowHeight = f.grid->rowHeight(2);
    button->Toggle();
    EXPECT_TRUE(button->Expanded());
    EXPECT_TRUE(detailGrid->isVisible());
    EXPECT_EQ(detailGrid->parentWidget(), f.grid->viewport());
    EXPECT_EQ(f.grid->rowHeight(2), rowHeight + detailGrid->height());
    EXPECT_GT(detailGrid->y(), button->y());
    EXPECT_EQ(events, (QStringList{QStringLiteral("before"), QStringLiteral("after")}));

    // Another record closes it.
    f.ds->Next();
    EXPECT_FALSE(button->Expanded());
    EXPECT_FALSE(detailGrid->isVisible());
    EXPECT_EQ(f.grid->rowHeight(2), rowHeight);
    EXPECT_EQ(events.last(), QStringLiteral("collapsed"));

    // A silent abort before expanding refuses it.
    button->OnBeforeExpand = [](QObject*) { Abort(); };
    button->Toggle();
    EXPECT_FALSE(button->Expanded());
}

TEST(DBGrid, FixedColumnsStayAndTabPassesThem)
{
    GridForm f(5);
    f.ds->Close();
    for (int i = 0; i < 8; ++i) f.ds->FieldDefs().Add(QStringLiteral("Extra%1").arg(i), ftWideString, 20);
    f.ds->Open();
    f.grid->SetFixedCols(1);
    f.grid->horizontalScrollBar()->setValue(f.grid->horizontalScrollBar()->maximum());
    QCoreApplication::processEvents();
    // A click on the left edge is on the fixed column, whatever the scrolling.
    EXPECT_EQ(f.grid->indexAt(QPoint(3, f.CellCenter(1, 0).y())).column(), 0);
    EXPECT_EQ(f.grid->visualRect(f.grid->model()->index(1, 0)).left(), 0);
    EXPECT_EQ(f.grid->LeftCol(), f.grid->columnAt(f.grid->columnWidth(0) + 1) + 1);
    // Tab from the last column wraps past the fixed one.
    f.grid->setFocus();
    f.grid->SelectColumn(f.grid->model()->columnCount() - 1);
    QTest::keyClick(f.grid, Qt::Key_Tab);
    EXPECT_EQ(f.grid->currentIndex().column(), 1);
    // Tabbing along brings each column into view.
    for (int c = 2; c < f.grid->model()->columnCount(); ++c) {
        QTest::keyClick(f.grid, Qt::Key_Tab);
        ASSERT_EQ(f.grid->currentIndex().column(), c);
        EXPECT_TRUE(f.grid->viewport()->rect().contains(f.grid->visualRect(f.grid->currentIndex()).center())) << c;
    }
    // A count that leaves no scrolling column shows none.
    f.grid->SetFixedCols(99);
    EXPECT_EQ(f.grid->FixedCols(), 99);
    EXPECT_NE(f.grid->indexAt(QPoint(3, f.CellCenter(1, 0).y())).column(), 0);
}

TEST(DBGrid, FixedColumnsAreReachedByKeysOnlyWhenEditable)
{
    GridForm f(5);
    f.ds->Close();
    for (int i = 0; i < 4; ++i) f.ds->FieldDefs().Add(QStringLiteral("Extra%1").arg(i), ftWideString, 20);
    f.ds->Open();
    f.grid->SetFixedCols(1);
    f.grid->setFocus();
    f.grid->SelectColumn(2);
    QTest::keyClick(f.grid, Qt::Key_Left);
    QTest::keyClick(f.grid, Qt::Key_Left);
    EXPECT_EQ(f.grid->currentIndex().column(), 1);
    QTest::keyClick(f.grid, Qt::Key_Home);
    EXPECT_EQ(f.grid->currentIndex().column(), 1);
    f.grid->SelectColumn(3);
    f.grid->SelectColumn(0);
    EXPECT_EQ(f.grid->currentIndex().column(), 1);
    f.grid->SetOptions(f.grid->Options().With(dgFixedEditable, true));
    QTest::keyClick(f.grid, Qt::Key_Left);
    EXPECT_EQ(f.grid->currentIndex().column(), 0);
}

TEST(DBGrid, DragBetweenGridsReportsOverAndDrop)
{
    GridForm f(5);
    int overs = 0;
    QPoint dropped(-1, -1);
    QObject* from = nullptr;
    f.grid->OnDragOver = [&](QObject*, QObject* source, int, int y, bool& accept) {
        ++overs;
        accept = qobject_cast<TkqTableViewGrid*>(source) != nullptr && f.grid->MouseCoord(5, y).Y > 0;
    };
    f.grid->OnDragDrop = [&](QObject*, QObject* source, int x, int y) {
        from = source;
        dropped = QPoint(x, y);
    };
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("application/x-kqdbgrid-drag"), QByteArray::number(quintptr(f.grid)));
    const QPoint at = f.CellCenter(2, 0);
    // Enter makes the grid the drop target; over rows only.
    QDragEnterEvent enter(at, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.grid->viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDragMoveEvent overTitle(QPoint(at.x(), -3), Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.grid->viewport(), &overTitle);
    EXPECT_FALSE(overTitle.isAccepted());
    QDropEvent drop(QPointF(at), Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.grid->viewport(), &drop);
    EXPECT_EQ(overs, 2);
    EXPECT_EQ(from, f.grid);
    const TGridCoord cell = f.grid->MouseCoord(dropped.x(), dropped.y());
    EXPECT_EQ(cell.Y, 3);
    delete mime;
}

TEST(DBGrid, DragDataNamingNoGridHereIsRefused)
{
    GridForm f(5);
    int overs = 0;
    f.grid->OnDragOver = [&](QObject*, QObject*, int, int, bool& accept) {
        ++overs;
        accept = true;
    };
    // Another program's drag of the same format names no widget of this one.
    QMimeData mime;
    mime.setData(QStringLiteral("application/x-kqdbgrid-drag"), QByteArray::number(quintptr(0x10)));
    QDropEvent drop(QPointF(f.CellCenter(1, 0)), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.grid->viewport(), &drop);
    EXPECT_EQ(overs, 0);
    EXPECT_FALSE(drop.isAccepted());
}

TEST(DBGrid, ColumnEventsMayRedirectTheCurrentColumn)
{
    GridForm f(5);
    f.ds->Close();
    f.ds->FieldDefs().Add(QStringLiteral("Detail"), ftInteger);
    f.ds->FieldDefs().Add(QStringLiteral("Type"), ftWideString, 20);
    f.ds->Open();
    // The structure window's rule: Tab onto the button column goes on to Type.
    int lastKey = 0;
    f.grid->OnKeyDown = [&](QObject*, int& key, TShiftState) { lastKey = key; };
    f.grid->OnCellChanged = [&](QObject* sender) {
        auto* g = static_cast<TkqTableViewGrid*>(sender);
        if (g->GetSelectedField() && g->GetSelectedField()->FieldName() == QLatin1String("Detail") && lastKey == VK_TAB) {
            lastKey = 0;
            g->SelectFieldByName(QStringLiteral("Type"));
        }
    };
    f.grid->setFocus();
    f.grid->SelectFieldByName(QStringLiteral("Name"));
    QTest::keyClick(f.grid, Qt::Key_Tab);
    EXPECT_EQ(f.grid->GetSelectedField()->FieldName(), QStringLiteral("Type"));
    EXPECT_EQ(f.grid->Col(), 4);
    EXPECT_EQ(f.ds->RecNo(), 1);
}

TEST(DBGrid, FocusFlagCountsTheGridsOwnEditorOnly)
{
    GridForm f(5);
    auto* other = new TkqTableViewGrid(f.form.get());
    other->SetDataSource(f.source);
    f.form->layout()->addWidget(other);
    other->setFocus();
    QCoreApplication::processEvents();
    QStringList events;
    f.grid->OnEnter = [&](QObject*) { events << QStringLiteral("enter"); };
    f.grid->OnExit = [&](QObject*) { events << QStringLiteral("exit"); };
    f.grid->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.grid->IsGridFocused());
    EXPECT_FALSE(other->IsGridFocused());
    // Typing opens the in-place editor: the grid still counts as focused.
    f.grid->SelectFieldByName(QStringLiteral("Name"));
    QTest::keyClicks(f.grid, QStringLiteral("Q"));
    EXPECT_NE(QApplication::focusWidget(), f.grid);
    EXPECT_TRUE(f.grid->IsGridFocused());
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(f.grid->IsGridFocused());
    EXPECT_TRUE(other->IsGridFocused());
    EXPECT_EQ(events, (QStringList{QStringLiteral("enter"), QStringLiteral("exit")}));
    // Leaving posted nothing yet: the record is still in edit with the typed text.
    EXPECT_EQ(f.ds->State(), dsEdit);
    EXPECT_EQ(f.ds->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Q"));
    // An untouched new row goes when the user leaves the grid.
    f.ds->Cancel();
    f.grid->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClick(f.grid, Qt::Key_Insert);
    EXPECT_EQ(f.grid->model()->rowCount(), 6);
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(f.ds->State(), dsBrowse);
    EXPECT_EQ(f.grid->model()->rowCount(), 5);
}

TEST(DBGrid, PopupMenuOpensOverTitlesAndCellsAtThePointer)
{
    GridForm f(5);
    QMenu menu;
    int shown = 0;
    QObject::connect(&menu, &QMenu::aboutToShow, [&] { ++shown; });
    f.grid->SetPopupMenu(&menu);
    auto popupAt = [&](QWidget* target, const QPoint& pos) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
        QApplication::sendEvent(target, &event);
        menu.hide();
        const QPoint at = f.grid->PopupMenuPoint();
        return f.grid->MouseCoord(at.x(), at.y());
    };
    QHeaderView* titles = f.grid->horizontalHeader();
    const TGridCoord title = popupAt(titles->viewport(), QPoint(titles->sectionViewportPosition(1) + 4, titles->height() / 2));
    EXPECT_EQ(title.Y, 0);
    EXPECT_EQ(title.X, 2);
    const TGridCoord cell = popupAt(f.grid->viewport(), f.CellCenter(2, 0));
    EXPECT_EQ(cell.Y, 3);
    EXPECT_EQ(cell.X, 1);
    EXPECT_EQ(shown, 2);
    // Over the cell being edited the grid's menu comes up, not the editor's own.
    f.grid->setFocus();
    f.grid->SelectFieldByName(QStringLiteral("Name"));
    QTest::keyClick(f.grid, Qt::Key_X);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_TRUE(editor);
    popupAt(editor, QPoint(4, 4));
    EXPECT_EQ(shown, 3);
}

TEST(DBGrid, DownFromAnEditedLastRowAppendsARowWithAnEmptyEditor)
{
    GridForm f(3);
    f.grid->setFocus();
    f.ds->Last();
    f.grid->SelectFieldByName(QStringLiteral("Name"));
    QTest::keyClicks(f.grid, QStringLiteral("abc"));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_TRUE(editor);
    QTest::keyClick(editor, Qt::Key_Down);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.ds->State(), dsInsert);
    EXPECT_EQ(f.ds->RecordCount(), 4);
    EXPECT_EQ(f.grid->currentIndex().row(), 3);
    auto* now = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (now && now->isVisible()) {
        EXPECT_EQ(now->text(), QString());
    }
}

TEST(DBGrid, TypingIntoAnEmptyGridStartsTheFirstRecord)
{
    for (bool alwaysShowEditor : {false, true}) {
        GridForm f(0);
        f.grid->SetOptions(f.grid->Options().With(dgAlwaysShowEditor, alwaysShowEditor));
        f.grid->setFocus();
        QTest::keyClick(f.grid, Qt::Key_7);
        EXPECT_EQ(f.ds->State(), dsInsert);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_TRUE(editor) << alwaysShowEditor;
        EXPECT_EQ(editor->text(), QStringLiteral("7")) << alwaysShowEditor;
    }
}
