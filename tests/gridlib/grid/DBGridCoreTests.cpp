#include "gridlib/core/Kqintl.h"
#include "gridlib/grid/Kqdbigrd.h"
#include "platform/vcl/Dialogs.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

// The data grid with its protected operations in reach, recording the cells it draws.
class TTestGrid : public TkqCustomDBGrid {
public:
    using TkqCustomDBGrid::TkqCustomDBGrid;
    struct TDrawn {
        int Col, Row;
        TRect Rect;
    };
    std::vector<TDrawn> Drawn;
    using TkqCustomDBGrid::ColumnMoved;
    using TkqCustomDBGrid::FixedCols;
    using TkqCustomDBGrid::MouseCoord;
    using TkqCustomDBGrid::MoveColRow;
    using TkqCustomDBGrid::Scroll;
    using TkqCustomDBGrid::VertScrollInfo;

    TRect Cell(int col, int row) const { return CellRect(col, row); }
    QPoint Center(int col, int row) const
    {
        const TRect r = CellRect(col, row);
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    void Bar(int code, int pos = 0) { VertScroll(code, pos); }

protected:
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override
    {
        Drawn.push_back({col, row, rect});
        TkqCustomDBGrid::DrawCell(col, row, rect, state);
    }
};

// A form with the grid over Id (integer) and Name (wide string) records, and an edit after
// the grid for the focus to go to.
struct GridForm {
    explicit GridForm(int rows = 20, bool show = true)
    {
        form = std::make_unique<QWidget>();
        form->resize(420, 260);
        auto* layout = new QVBoxLayout(form.get());
        grid = new TTestGrid(form.get());
        layout->addWidget(grid);
        after = new QLineEdit(form.get());
        layout->addWidget(after);
        ds = new TGridTestDataSet(form.get());
        ds->Define({{"Id", ftInteger}, {"Name", ftWideString}});
        ds->Fill(rows);
        source = new TDataSource(form.get());
        source->SetDataSet(ds);
        ds->Open();
        grid->SetDataSource(source);
        if (show) {
            form->show();
            form->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
            grid->setFocus();
            QApplication::processEvents();
        }
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
        QTest::keyClick(target, Qt::Key(key), mods);
        QApplication::processEvents();
    }
    void Click(int col, int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, mods, grid->Center(col, row));
        QApplication::processEvents();
    }
    int Id() const { return ds->FieldByName(QStringLiteral("Id"))->AsInteger(); }

    std::unique_ptr<QWidget> form;
    TTestGrid* grid = nullptr;
    QLineEdit* after = nullptr;
    TGridTestDataSet* ds = nullptr;
    TDataSource* source = nullptr;
};

int TextHeight(const QFont& font) { return QFontMetrics(font).height(); }

QColor Pixel(TTestGrid* grid, int x, int y)
{
    return grid->viewport()->grab().toImage().pixelColor(x, y);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Columns and layout

TEST(DBGridLayout, ColumnsComeFromVisibleFieldsOrSelectedLines)
{
    GridForm f(5, false);
    EXPECT_EQ(f.grid->ColCount(), 3);
    EXPECT_EQ(f.grid->GetField(1)->FieldName(), QStringLiteral("Name"));
    EXPECT_EQ(f.grid->GetField(2), nullptr);

    // Hidden fields give one empty data column.
    for (TField* field : f.ds->Fields()) field->SetVisible(false);
    f.grid->LayoutChanged();
    EXPECT_EQ(f.grid->ColCount(), 2);
    EXPECT_EQ(f.grid->GetField(0), nullptr);

    // Selected lines, in their order; a line naming no field is dropped while the link is active.
    f.grid->SetSelected({QStringLiteral("Name\t12\tWho"), QStringLiteral("Gone\t5\tX"), QStringLiteral("Id\t4\tNo.")});
    f.grid->SetUseTFields(false);
    EXPECT_EQ(f.grid->ColCount(), 3);
    EXPECT_EQ(f.grid->Selected().size(), 2);
    EXPECT_EQ(f.grid->GetField(0)->FieldName(), QStringLiteral("Name"));
    EXPECT_EQ(f.grid->GetColumn(0)->DisplayLabel(), QStringLiteral("Who"));
    EXPECT_EQ(f.grid->GetColumn(1)->DisplayWidth(), 4);
    EXPECT_TRUE(f.grid->GetColumn(7)->IsDummy());
    EXPECT_EQ(f.grid->ColumnByFieldName(QStringLiteral("ID")), f.grid->GetColumn(1));

    // An empty Selected list with UseTFields off: one empty column again.
    f.grid->SetSelected({});
    f.grid->LayoutChanged();
    EXPECT_EQ(f.grid->ColCount(), 2);
}

TEST(DBGridLayout, RowAndTitleHeightsFollowTheFonts)
{
    TTestGrid grid;
    const int h = TextHeight(grid.font());
    grid.SetRowHeightPercent(50);
    EXPECT_EQ(grid.DefaultRowHeight(), (h + 3) * 50 / 100);
    grid.SetOptions(grid.Options().Exclude(dgRowLines).Include(dgRowLinesDisableFixed));
    EXPECT_FALSE(grid.HasRowLines());
    EXPECT_EQ(grid.DefaultRowHeight(), (h + 2) * 50 / 100);

    TFont title = grid.TitleFont();
    title.Font.setPixelSize(20);
    grid.SetTitleFont(title);
    grid.SetTitleLines(2);
    const int th = TextHeight(title.Font);
    EXPECT_EQ(grid.RowHeights(0), th * 2 + 4 + 1);   // one more without row lines
    grid.SetOptions(DefaultDBGridOptions);
    EXPECT_EQ(grid.RowHeights(0), th * 2 + 4);

    // Zero or below reads 100 without touching the minimum.
    grid.SetRowHeightPercent(-5);
    EXPECT_EQ(grid.RowHeightPercent(), 100);
    EXPECT_EQ(grid.MinRowHeightPercent(), 50);
    grid.SetTitleLines(0);
    EXPECT_EQ(grid.TitleLines(), 2);
}

TEST(DBGridLayout, ColumnWidthsInCharactersAndTitles)
{
    GridForm f(3, false);
    TTestGrid& g = *f.grid;
    const int c0 = QFontMetrics(g.font()).horizontalAdvance(QStringLiteral("0"));
    const QFont& tf = g.TitleFont().Font;
    f.ds->FieldByName(QStringLiteral("Id"))->SetDisplayWidth(3);
    f.ds->FieldByName(QStringLiteral("Id"))->SetDisplayLabel(QStringLiteral("Short~A much longer second line"));
    f.ds->FieldByName(QStringLiteral("Name"))->SetDisplayLabel(QStringLiteral("Tiny~~Ignored because it follows an empty line"));
    g.LayoutChanged();
    const int idTitle = QFontMetrics(tf).horizontalAdvance(QStringLiteral("A much longer second line")) + 4;
    EXPECT_EQ(g.ColWidths(1), std::max(c0 * 3 + 4, idTitle));
    EXPECT_EQ(g.ColWidths(2), std::max(c0 * f.ds->FieldByName(QStringLiteral("Name"))->DisplayWidth() + 4,
                                       QFontMetrics(tf).horizontalAdvance(QStringLiteral("Tiny")) + 4));

    // Pixels back to characters: c = width of "0", p = max(0, c / 2 - 3).
    struct TCase {
        int Pixels, ZeroWidth, Characters;
    };
    for (const TCase& t : {TCase{74, 7, 10}, TCase{74, 10, 7}}) {
        QFont font(QStringLiteral("DejaVu Sans"));
        int px = 6;
        for (; px < 60; ++px) {
            font.setPixelSize(px);
            if (QFontMetrics(font).horizontalAdvance(QStringLiteral("0")) == t.ZeroWidth) break;
        }
        ASSERT_LT(px, 60) << t.ZeroWidth;
        g.setFont(font);
        EXPECT_EQ(g.WidthInCharacters(t.Pixels), t.Characters) << t.ZeroWidth;
    }
}

TEST(DBGridLayout, SizedColumnWritesItsWidthBack)
{
    GridForm f(3, false);
    TTestGrid& g = *f.grid;
    g.SetColWidths(2, 150);
    EXPECT_EQ(f.ds->FieldByName(QStringLiteral("Name"))->DisplayWidth(), g.WidthInCharacters(150));

    g.SetSelected({QStringLiteral("Name\t5\tWho\tT\tGroup"), QStringLiteral("Id\t4\tNo.")});
    g.SetUseTFields(false);
    g.SetColWidths(1, 100);
    EXPECT_EQ(g.Selected().at(0), QStringLiteral("Name\t%1\tWho\tT\tGroup").arg(g.WidthInCharacters(100)));
    EXPECT_EQ(g.Selected().at(1), QStringLiteral("Id\t4\tNo."));
    EXPECT_FALSE(g.TabStops(1));   // read-only column
}

TEST(DBGridLayout, FieldMapGrowsByDoublingUpToItsLimit)
{
    TGridTestDataSet ds;
    ds.Define({{"Id", ftInteger}});
    TDataSource source;
    source.SetDataSet(&ds);
    ds.Open();
    TTestGrid grid;
    grid.SetDataSource(&source);
    TkqGridDataLink& link = *grid.DataLink();
    link.ClearFieldMap();
    std::vector<int> capacities;
    for (int i = 0; i < TkqGridDataLink::MaxMapSize; ++i) {
        ASSERT_TRUE(link.AddFieldMapping(QStringLiteral("Id")));
        if (capacities.empty() || capacities.back() != link.FieldMapCapacity()) capacities.push_back(link.FieldMapCapacity());
    }
    const std::vector<int> expected{8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16380};
    EXPECT_EQ(capacities, expected);
    EXPECT_THROW(link.AddFieldMapping(QStringLiteral("Id")), EInvalidGridOperation);
    EXPECT_FALSE(TkqGridDataLink(&grid).AddFieldMapping(QStringLiteral("Id")));
}

TEST(DBGridLayout, GroupedTitlesShareAHeaderOverTheUpperHalf)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    f.ds->Close();
    f.ds->FieldDefs().Add(QStringLiteral("City"), ftWideString, 20);
    f.ds->Open();
    g.SetSelected({QStringLiteral("Id\t4\tNo.\tF"), QStringLiteral("Name\t8\tName\tF\tAddress"),
                   QStringLiteral("City\t8\tCity\tF\tAddress")});
    g.SetUseTFields(false);
    const TRect title = g.GetCellRectDefaultHeight(2, 0);
    EXPECT_EQ(g.GetTitleCellRect(1, 0).Top, 0);
    EXPECT_EQ(g.GetTitleCellRect(2, 0).Top, title.Height() / 2);
    int first = 0, last = 0;
    const TRect header = g.GetGroupHeaderRect(3, 0, false, first, last);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 3);
    EXPECT_EQ(header.Left, g.Cell(2, 0).Left);
    EXPECT_EQ(header.Right, g.Cell(3, 0).Left + g.ColWidths(3));
    EXPECT_EQ(g.TitleHitTest(3, {}, 2).Left, header.Left);
    EXPECT_EQ(g.TitleHitTest(3, {}, title.Bottom - 2).Left, g.Cell(3, 0).Left);
}

// ---------------------------------------------------------------------------------------------
// Data link, record tracking and painting rows through the link

TEST(DBGridLink, RowsAreTheLinksWindow)
{
    GridForm f(1000);
    TTestGrid& g = *f.grid;
    const int visible = g.VisibleRowCount();
    ASSERT_GT(visible, 3);
    EXPECT_EQ(g.DataLink()->BufferCount(), visible);
    EXPECT_EQ(g.RowCount(), visible + 1);
    f.ds->Last();
    EXPECT_EQ(g.Row(), visible);
    EXPECT_EQ(g.TopRow(), 1);

    // Painting reads every row through the link and leaves the cursor where it was.
    QStringList painted;
    g.OnDrawDataCell = [&](QObject*, const TRect&, TField* field, TGridDrawState) {
        if (field->FieldName() == QLatin1String("Id")) painted << field->AsString();
    };
    g.viewport()->repaint();
    ASSERT_EQ(painted.size(), visible);
    EXPECT_EQ(painted.first(), QString::number(1000 - visible + 1));
    EXPECT_EQ(painted.last(), QStringLiteral("1000"));
    EXPECT_EQ(f.ds->RecNo(), 1000);

    // Rows beyond the records are not painted: three records in a tall grid.
    GridForm few(3);
    few.grid->Drawn.clear();
    few.grid->viewport()->repaint();
    int maxRow = 0;
    for (const auto& d : few.grid->Drawn) maxRow = std::max(maxRow, d.Row);
    EXPECT_EQ(maxRow, 3);
}

TEST(DBGridLink, EventsFollowTheDataset)
{
    GridForm f(100);
    TTestGrid& g = *f.grid;
    QStringList events;
    g.OnRowChanged = [&](QObject*) { events << QStringLiteral("row"); };
    g.OnCellChanged = [&](QObject*) { events << QStringLiteral("cell"); };
    g.OnTopRowChanged = [&](QObject*) { events << QStringLiteral("top"); };
    g.OnFieldChanged = [&](QObject*, TField* field) { events << QStringLiteral("field ") + field->FieldName(); };

    f.ds->Next();   // inside the window
    EXPECT_EQ(events, QStringList({"row", "cell"}));
    events.clear();
    f.ds->MoveBy(g.VisibleRowCount());   // the window moves by fewer rows than it holds
    EXPECT_EQ(events, QStringList({"top", "row", "cell"}));
    events.clear();
    f.ds->MoveBy(3 * g.VisibleRowCount());   // past the window: a new set of rows
    EXPECT_EQ(events, QStringList({"row", "cell"}));
    events.clear();
    g.Scroll(g.VisibleRowCount() + 1);   // a scroll notice past the window only repaints
    EXPECT_TRUE(events.isEmpty());

    events.clear();
    f.ds->Edit();
    f.ds->FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("changed"));
    EXPECT_EQ(events, QStringList({"field Name"}));
    events.clear();
    f.ds->Cancel();
    EXPECT_TRUE(events.isEmpty());

    f.ds->Insert();   // the new row counts as another row
    EXPECT_EQ(events, QStringList({"row", "cell"}));
    events.clear();
    f.ds->Cancel();
    EXPECT_EQ(events, QStringList({"row", "cell"}));
    events.clear();
    const int before = f.ds->RecordCount();
    f.ds->Delete();
    EXPECT_EQ(f.ds->RecordCount(), before - 1);
    // The deleted record cannot be ordered against the new current one: no row change.
    EXPECT_TRUE(events.isEmpty());
    f.ds->Next();
    EXPECT_EQ(events, QStringList({"row", "cell"}));
}

TEST(DBGridLink, InactiveLinkOrNoRecordsShowOneEmptyRow)
{
    GridForm f(10);
    EXPECT_GT(f.grid->RowCount(), 2);
    f.ds->Close();
    EXPECT_EQ(f.grid->RowCount(), 2);
    GridForm empty(0);
    EXPECT_EQ(empty.grid->RowCount(), 2);
}

// ---------------------------------------------------------------------------------------------
// Vertical scroll bar

namespace {
class TUnsequencedDataSet : public TGridTestDataSet {
public:
    bool IsSequenced() const override { return false; }
};
} // namespace

TEST(DBGridScrollBar, SequencedAndFiveStepBars)
{
    GridForm f(500);
    TTestGrid& g = *f.grid;
    TScrollInfo si = g.VertScrollInfo();
    EXPECT_EQ(si.Min, 1);
    EXPECT_EQ(si.Page, g.VisibleRowCount());
    EXPECT_EQ(si.Max, 500 + si.Page - 1);
    EXPECT_EQ(si.Pos, 1);
    g.Bar(SB_THUMBPOSITION, 250);
    EXPECT_EQ(f.ds->RecNo(), 250);
    EXPECT_EQ(g.VertScrollInfo().Pos, 250);
    g.Bar(SB_PAGEDOWN);
    EXPECT_EQ(f.ds->RecNo(), 250 + g.VisibleRowCount());

    TUnsequencedDataSet ds;
    ds.Define({{"Id", ftInteger}, {"Name", ftWideString}});
    ds.Fill(100);
    TDataSource source;
    source.SetDataSet(&ds);
    ds.Open();
    g.SetDataSource(&source);
    EXPECT_EQ(g.VertScrollInfo().Min, 0);
    EXPECT_EQ(g.VertScrollInfo().Max, 4);
    EXPECT_EQ(g.VertScrollInfo().Pos, 0);
    ds.MoveBy(50);
    EXPECT_EQ(g.VertScrollInfo().Pos, 2);
    g.Bar(SB_THUMBPOSITION, 2);   // the middle does nothing
    EXPECT_EQ(ds.RecNo(), 51);
    ds.Last();
    EXPECT_EQ(g.VertScrollInfo().Pos, 4);
    g.Bar(SB_THUMBPOSITION, 0);
    EXPECT_EQ(ds.RecNo(), 1);
    g.SetDataSource(nullptr);
}
