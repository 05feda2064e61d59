#include "gridlib/grid/Grids.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

void PrintTo(const TRect& r, std::ostream* os) { *os << "(" << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom << ")"; }
void PrintTo(const TGridCoord& c, std::ostream* os) { *os << "[" << c.X << "," << c.Y << "]"; }

namespace {

// Five columns 11, 50, 60, 70 and 80 pixels wide, a 30-pixel title row over 20-pixel rows, one
// fixed column and row, one-pixel lines, and a 200 x 100 client area.
class TRecordingGrid : public TCustomGrid {
public:
    struct TDrawn {
        int Col, Row;
        TRect Rect;
        TGridDrawState State;
    };
    TRecordingGrid()
    {
        setFrameStyle(QFrame::NoFrame);
        SetScrollBars(ssNone);
        SetDefaultRowHeight(20);
        SetRowHeights(0, 30);
        const int widths[] = {11, 50, 60, 70, 80};
        for (int c = 0; c < 5; ++c) SetColWidths(c, widths[c]);
        resize(200, 100);
    }
    std::vector<TDrawn> Drawn;
    std::vector<QString> Texts;
    int WidthChanges = 0;
    bool AllowModify = true;
    QString EditText = QStringLiteral("abc");

    using TCustomGrid::FocusCell;
    using TCustomGrid::MoveColumn;

protected:
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override { Drawn.push_back({col, row, rect, state}); }
    void ColWidthsChanged() override
    {
        ++WidthChanges;
        TCustomGrid::ColWidthsChanged();
    }
    bool CanEditModify() override { return AllowModify; }
    QString GetEditText(int, int) override { return EditText; }
    void SetEditText(int, int, const QString& value) override { Texts.push_back(value); }
};

struct ShownGrid {
    ShownGrid()
    {
        grid = std::make_unique<TRecordingGrid>();
        grid->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
    }
    std::unique_ptr<TRecordingGrid> grid;
};

TEST(Grids, CellRectanglesFollowWidthsLinesAndScrolling)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    ASSERT_EQ(g.ClientWidth(), 200);
    ASSERT_EQ(g.ClientHeight(), 100);
    struct Case {
        int left;
        int col, row;
        TRect expected;
    } cases[] = {
        {1, 0, 0, {0, 0, 11, 30}},
        {1, 1, 0, {12, 0, 62, 30}},
        {1, 2, 1, {63, 31, 123, 51}},
        {1, 3, 1, {124, 31, 194, 51}},
        {1, 4, 1, {195, 31, 200, 51}},    // clipped to the client
        {1, 1, 4, {12, 94, 62, 100}},
        {2, 1, 1, {}},                     // scrolled out
        {2, 0, 1, {0, 31, 11, 51}},        // fixed columns stay
        {2, 2, 1, {12, 31, 72, 51}},
        {2, 4, 2, {144, 52, 200, 72}},
    };
    for (const Case& c : cases) {
        g.SetLeftCol(c.left);
        EXPECT_EQ(g.CellRect(c.col, c.row), c.expected) << "col " << c.col << " row " << c.row << " left " << c.left;
    }
    g.SetLeftCol(1);
    EXPECT_EQ(g.BoxRect(1, 1, 3, 2), TRect(12, 31, 194, 72));
    EXPECT_EQ(g.BoxRect(4, 4, 4, 4), TRect(195, 94, 200, 100));
}

TEST(Grids, DrawInfoAndVisibleCounts)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    TGridDrawInfo info;
    g.CalcDrawInfo(info);
    EXPECT_EQ(info.Horz.EffectiveLineWidth, 1);
    EXPECT_EQ(info.Horz.FixedBoundary, 12);
    EXPECT_EQ(info.Horz.LastFullVisibleCell, 3);
    EXPECT_EQ(info.Horz.FullVisBoundary, 195);
    EXPECT_EQ(info.Horz.GridBoundary, 200);   // the last column runs past the client
    EXPECT_EQ(info.Vert.FixedBoundary, 31);
    EXPECT_EQ(info.Vert.LastFullVisibleCell, 3);
    EXPECT_EQ(g.VisibleColCount(), 3);
    EXPECT_EQ(g.VisibleRowCount(), 3);

    // Without lines the cells sit side by side; a short grid ends its boundary at its last cell.
    g.SetGridOptions({});
    g.SetColCount(3);
    g.CalcDrawInfo(info);
    EXPECT_EQ(info.Horz.EffectiveLineWidth, 0);
    EXPECT_EQ(info.Horz.FixedBoundary, 11);
    EXPECT_EQ(info.Horz.GridBoundary, 121);
    EXPECT_EQ(g.CellRect(2, 1), TRect(61, 30, 121, 50));
}

TEST(Grids, MouseCoordGivesTheCellOrMinusOne)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    struct Case {
        int left, x, y;
        TGridCoord expected;
    } cases[] = {
        {1, 0, 0, {0, 0}},
        {1, 11, 5, {0, 0}},      // a line belongs to the cell before it
        {1, 12, 5, {1, 0}},
        {1, 63, 31, {2, 1}},
        {1, 199, 99, {4, 4}},
        {1, 5, 200, {-1, -1}},
        {1, -1, 5, {-1, -1}},
        {2, 12, 40, {2, 1}},
        {2, 5, 40, {0, 1}},
    };
    for (const Case& c : cases) {
        g.SetLeftCol(c.left);
        EXPECT_EQ(g.MouseCoord(c.x, c.y), c.expected) << c.x << "," << c.y;
    }
    // Below the last row of a short grid there is no cell.
    g.SetRowCount(2);
    EXPECT_EQ(g.MouseCoord(20, 60), (TGridCoord{-1, -1}));
}

TEST(Grids, SizingZonesLieOnBordersOfFixedCells)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    g.SetGridOptions(g.GridOptions().With(goColSizing, true).With(goRowSizing, true));
    EXPECT_TRUE(g.Sizing(62, 10));    // right border of column 1, in the title row
    EXPECT_TRUE(g.Sizing(60, 10));
    EXPECT_FALSE(g.Sizing(40, 10));
    EXPECT_FALSE(g.Sizing(62, 40));   // not in a fixed row
    EXPECT_TRUE(g.Sizing(5, 51));     // bottom border of row 1, in the fixed column
    g.SetGridOptions(g.GridOptions().With(goColSizing, false));
    EXPECT_FALSE(g.Sizing(62, 10));

    // Dragging a border sizes the column.
    g.SetGridOptions(g.GridOptions().With(goColSizing, true));
    g.WidthChanges = 0;
    QTest::mousePress(g.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(62, 10));
    QTest::mouseMove(g.viewport(), QPoint(82, 10));
    QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(82, 10));
    EXPECT_EQ(g.ColWidths(1), 70);
    EXPECT_EQ(g.WidthChanges, 1);
}

TEST(Grids, KeysMoveTheCurrentCellAndKeepItInView)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    g.SetGridOptions(g.GridOptions().With(goTabs, true));
    g.setFocus();
    QTest::keyClick(&g, Qt::Key_Right);
    EXPECT_EQ(g.Col(), 2);
    QTest::keyClick(&g, Qt::Key_End);
    EXPECT_EQ(g.Col(), 4);
    EXPECT_EQ(g.LeftCol(), 3);   // columns 3 and 4 fit after the fixed one
    QTest::keyClick(&g, Qt::Key_Home);
    EXPECT_EQ(g.Col(), 1);
    EXPECT_EQ(g.LeftCol(), 1);
    g.SetTabStops(2, false);
    QTest::keyClick(&g, Qt::Key_Tab);
    EXPECT_EQ(g.Col(), 3);       // column 2 has no tab stop
    QTest::keyClick(&g, Qt::Key_Tab);
    QTest::keyClick(&g, Qt::Key_Tab);
    EXPECT_EQ(g.Col(), 1);       // wrapped to the next row
    EXPECT_EQ(g.Row(), 2);
    QTest::keyClick(&g, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(g.Col(), 4);
    EXPECT_EQ(g.Row(), 1);
    QTest::keyClick(&g, Qt::Key_PageDown);
    EXPECT_EQ(g.Row(), 4);
    EXPECT_EQ(g.TopRow(), 2);
}

TEST(Grids, HorizontalBarMovesLeftCol)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    g.SetScrollBars(ssHorizontal);
    QApplication::processEvents();
    QScrollBar* bar = g.horizontalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(g.LeftCol(), 2);
    EXPECT_EQ(bar->value(), 1);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(g.LeftCol(), g.ColCount() - 2);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(g.LeftCol(), 1);
}

TEST(Grids, CellsAreDrawnOncePerPaintWithTheirStates)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    g.setFocus();
    QApplication::processEvents();
    g.Drawn.clear();
    g.viewport()->repaint();
    // 5 x 5 cells, all at least partly visible.
    ASSERT_EQ(g.Drawn.size(), 25u);
    int fixed = 0;
    for (const auto& d : g.Drawn) {
        EXPECT_EQ(d.Rect.Width(), g.ColWidths(d.Col));   // the unclipped cell
        if (d.State.Contains(gdFixed)) ++fixed;
        const bool current = d.Col == g.Col() && d.Row == g.Row();
        EXPECT_EQ(d.State.Contains(gdFocused), current);
        EXPECT_EQ(d.State.Contains(gdSelected), current);
    }
    EXPECT_EQ(fixed, 9);
    // The title area first, then the fixed column, then the data cells.
    EXPECT_EQ(g.Drawn[0].Col, 0);
    EXPECT_EQ(g.Drawn[0].Row, 0);
    EXPECT_EQ(g.Drawn.back().Col, 4);
    EXPECT_EQ(g.Drawn.back().Row, 4);
}

TEST(Grids, EditorShowsOverTheCellAndReportsChanges)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    g.SetGridOptions(g.GridOptions().With(goEditing, true));
    g.setFocus();
    QTest::keyClick(&g, Qt::Key_F2);
    TInplaceEdit* edit = g.InplaceEditor();
    ASSERT_TRUE(edit);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->geometry(), g.CellRect(1, 1).ToQRect());
    EXPECT_EQ(edit->text(), QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_D);
    ASSERT_FALSE(g.Texts.empty());
    EXPECT_EQ(g.Texts.back(), QStringLiteral("abcd"));

    // A grid that refuses the change keeps the text.
    g.AllowModify = false;
    QTest::keyClick(edit, Qt::Key_E);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("abcd"));

    // Down goes to the grid, which hides the editor and gives the focus back to itself.
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(g.Row(), 2);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_TRUE(g.hasFocus());

    // Typing into the grid opens the editor with the character.
    g.AllowModify = true;
    QTest::keyClick(&g, Qt::Key_X);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->text(), QStringLiteral("x"));
}

TEST(Grids, FocusEnterAndExitCountTheGridWithItsEditor)
{
    QWidget form;
    auto* grid = new TRecordingGrid;
    grid->setParent(&form);
    auto* other = new QLineEdit(&form);
    other->move(0, 150);
    form.resize(300, 250);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    grid->SetGridOptions(grid->GridOptions().With(goEditing, true));
    QStringList events;
    grid->OnEnter = [&](QObject*) { events << QStringLiteral("enter"); };
    grid->OnExit = [&](QObject*) { events << QStringLiteral("exit"); };
    other->setFocus();
    events.clear();
    grid->setFocus();
    grid->ShowEditor();   // the focus moves inside the grid: no exit
    ASSERT_TRUE(grid->InplaceEditor()->hasFocus());
    other->setFocus();
    EXPECT_EQ(events, (QStringList{QStringLiteral("enter"), QStringLiteral("exit")}));
}

TEST(Grids, DraggingOntoAnotherGridAsksItAndDrops)
{
    QWidget form;
    auto* source = new TRecordingGrid;
    source->setParent(&form);
    auto* target = new TRecordingGrid;
    target->setParent(&form);
    target->move(0, 120);
    form.resize(220, 240);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QObject* seen = nullptr;
    QPoint dropped(-1, -1);
    target->OnDragOver = [&](QObject*, QObject* src, int, int, bool& accept) {
        seen = src;
        accept = true;
    };
    target->OnDragDrop = [&](QObject*, QObject*, int x, int y) { dropped = QPoint(x, y); };
    QTest::mousePress(source->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    source->BeginDrag(false);
    QTest::mouseMove(source->viewport(), QPoint(31, 41));   // below the threshold
    EXPECT_FALSE(source->Dragging());
    const QPoint overTarget = source->viewport()->mapFrom(&form, QPoint(40, 150));
    QTest::mouseMove(source->viewport(), overTarget);
    EXPECT_TRUE(source->Dragging());
    EXPECT_EQ(seen, source);
    QTest::mouseRelease(source->viewport(), Qt::LeftButton, Qt::NoModifier, overTarget);
    EXPECT_FALSE(source->Dragging());
    EXPECT_EQ(dropped, QPoint(40, 30));
}

TEST(Grids, MovingAColumnCarriesItsWidthAndTheCurrentColumn)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    g.SetCol(2);
    g.MoveColumn(2, 4);
    EXPECT_EQ(g.ColWidths(4), 60);
    EXPECT_EQ(g.ColWidths(2), 70);
    EXPECT_EQ(g.Col(), 4);
}

TEST(Grids, RedrawLockNestsAndRepaintsOnTheLastUnlock)
{
    ShownGrid s;
    TRecordingGrid& g = *s.grid;
    g.BeginRedrawLock();
    g.BeginRedrawLock();
    EXPECT_FALSE(g.viewport()->updatesEnabled());
    g.EndRedrawLock(false);
    EXPECT_FALSE(g.viewport()->updatesEnabled());
    g.EndRedrawLock(true);
    EXPECT_TRUE(g.viewport()->updatesEnabled());
    EXPECT_FALSE(g.RedrawLocked());
}

} // namespace
