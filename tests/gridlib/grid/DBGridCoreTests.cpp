#include "gridlib/core/Kqintl.h"
#include "platform/core/SysUtils.h"
#include "gridlib/grid/Kqdbigrd.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QBuffer>
#include <QFontMetrics>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
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
    // Characters typed where the focus is (the grid, then its editor).
    void Type(const QString& text)
    {
        for (QChar ch : text) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
            QTest::keyClick(target, ch.toLatin1());
            QApplication::processEvents();
        }
    }
    int Id() const { return ds->FieldByName(QStringLiteral("Id"))->AsInteger(); }

    std::unique_ptr<QWidget> form;
    TTestGrid* grid = nullptr;
    QLineEdit* after = nullptr;
    TGridTestDataSet* ds = nullptr;
    TDataSource* source = nullptr;
};

int TextHeight(const QFont& font) { return QFontMetrics(font).height(); }

QRgb Pixel(TTestGrid* grid, int x, int y)
{
    return grid->viewport()->grab().toImage().pixel(x, y);
}

QRgb Rgb(TColor color) { return ColorToQColor(color).rgb(); }

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

TEST(DBGridLayout, CornerButtonSetsTheIndicatorWidthAndTitleHeight)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    const int title = g.RowHeights(0);
    auto* button = new TkqIButton;
    button->resize(24, title + 10);
    g.SetIndicatorButton(button);
    EXPECT_EQ(g.ColWidths(0), 23);
    EXPECT_EQ(g.RowHeights(0), title + 10 - 1);   // with row lines
    EXPECT_EQ(g.TitleTextOffset(), 10 / 2 + 2);
    EXPECT_EQ(button->pos(), QPoint(0, 0));
    button->resize(30, button->height());
    EXPECT_EQ(g.ColWidths(0), 29);
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
    EXPECT_TRUE(events.contains(QStringLiteral("row")));
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

// ---------------------------------------------------------------------------------------------
// Painting: probe pixels of lines, pads and cells

TEST(DBGridPaint, LineStylesAndPadArea)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    g.SetColor(clWhite);
    const TRect cell = g.Cell(2, 2);   // a data cell not current
    const QRgb silver = Rgb(0xC0C0C0);
    // Dynamic on white: one data-coloured line under each row.
    EXPECT_EQ(Pixel(&g, cell.Left + 5, cell.Bottom), silver);
    // Dynamic on another colour: the 3-D pair, shadow below and light on top.
    g.SetColor(clYellow);
    EXPECT_EQ(Pixel(&g, cell.Left + 5, cell.Bottom), Rgb(clBtnShadow));
    EXPECT_EQ(Pixel(&g, cell.Left + 5, cell.Top), Rgb(clBtnHighlight));
    EXPECT_EQ(Pixel(&g, cell.Right - 3, cell.Top + 4), Rgb(clYellow));
    g.SetLineStyle(glsSingle);
    EXPECT_EQ(Pixel(&g, cell.Left + 5, cell.Bottom), silver);

    // Below the third record and right of the last column: the title colour, or the grid's
    // colour with the plain style.
    g.SetTitleColor(clAqua);
    const int belowY = g.Cell(2, 3).Bottom + 10;
    const int rightX = g.Cell(2, 1).Right + 10;
    ASSERT_LT(belowY, g.ClientHeight());
    ASSERT_LT(rightX, g.ClientWidth());
    EXPECT_EQ(Pixel(&g, 30, belowY), Rgb(clAqua));
    EXPECT_EQ(Pixel(&g, rightX, g.Cell(2, 2).Top + 4), Rgb(clAqua));
    g.SetPadColumnStyle(pcsPlain);
    EXPECT_EQ(Pixel(&g, 30, belowY), Rgb(clYellow));
    EXPECT_EQ(Pixel(&g, rightX, g.Cell(2, 2).Top + 4), Rgb(clYellow));
    g.SetPadColumnStyle(pcsPadHeader);
    EXPECT_EQ(Pixel(&g, rightX, 4), Rgb(clAqua));
    EXPECT_EQ(Pixel(&g, rightX, g.Cell(2, 2).Top + 4), Rgb(clYellow));

    // No lines at all, but the fills stay.
    g.SetPadColumnStyle(pcsPadHeaderAndData);
    g.SetHideAllLines(true);
    g.SetLineStyle(glsDynamic);
    EXPECT_EQ(Pixel(&g, 30, belowY), Rgb(clAqua));
}

TEST(DBGridPaint, InactiveGridShowsTitleColourAroundAnEmptyDataArea)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    g.SetTitleColor(clAqua);
    g.SetColor(clYellow);
    f.ds->Close();
    const TRect data = g.Cell(1, 1);
    EXPECT_EQ(Pixel(&g, data.Left + 5, data.Top + 5), Rgb(clYellow));
    EXPECT_EQ(Pixel(&g, 4, data.Top + 5), Rgb(clAqua));
    EXPECT_EQ(Pixel(&g, data.Left + 5, 4), Rgb(clAqua));
}

// A value that cannot be read leaves its cell empty, the other cells painted, and reaches the
// application once, after the paint, however often the cell is painted.
TEST(DBGridPaint, ACellThatCannotBeReadReportsItsErrorOnce)
{
    GridForm f(5);
    QStringList shown;
    Application()->OnException = [&shown](const std::exception& e) {
        const auto* ex = dynamic_cast<const Exception*>(&e);
        shown << (ex ? ex->Message() : QString::fromUtf8(e.what()));
    };
    f.ds->FieldByName("Name")->OnGetText = [](TField* field, QString& text, bool) {
        if (field->AsString() == QLatin1String("Name3")) throw Exception("Bad value in row 3");
        text = field->AsString();
    };
    f.grid->Drawn.clear();
    f.grid->viewport()->repaint();
    // Every cell of the rows after the failing one was still drawn.
    const auto drawn = [&](int col, int row) {
        return std::any_of(f.grid->Drawn.begin(), f.grid->Drawn.end(), [&](const auto& d) { return d.Col == col && d.Row == row; });
    };
    EXPECT_TRUE(drawn(2, 4));
    EXPECT_TRUE(drawn(2, 5));
    f.grid->viewport()->repaint();
    EXPECT_TRUE(shown.isEmpty());   // not from inside the paint
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, QStringList{"Bad value in row 3"});
    f.grid->viewport()->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.size(), 1);
    Application()->OnException = nullptr;
}

TEST(DBGridPaint, CellColoursHighlightAndCheckBoxes)
{
    GridForm f(4);
    TTestGrid& g = *f.grid;
    g.SetColor(clWhite);
    // The focused current cell is highlighted; without the focus it is not.
    const TRect current = g.Cell(1, 1);
    EXPECT_EQ(Pixel(&g, current.Right - 3, current.Top + 3), Rgb(clHighlight));
    f.after->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(Pixel(&g, current.Right - 3, current.Top + 3), Rgb(clWhite));
    g.SetOptions(g.Options().Include(dgAlwaysShowSelection));
    EXPECT_EQ(Pixel(&g, current.Right - 3, current.Top + 3), Rgb(clHighlight));

    // A colour event that changes the brush fills the cell; one that leaves it changes nothing.
    g.OnCalcCellColors = [&](QObject*, TField* field, TGridDrawState, bool, TFont&, TColor& brush) {
        if (field->FieldName() == QLatin1String("Id") && field->AsInteger() == 3) brush = clLime;
    };
    const TRect third = g.Cell(1, 3);
    EXPECT_EQ(Pixel(&g, third.Right - 3, third.Top + 3), Rgb(clLime));

    // "Y;N" check boxes: checked for "y" and "Y".
    g.SetControlType({QStringLiteral("Name;CheckBox;Y;N")});
    g.LayoutChanged();
    f.ds->First();
    f.ds->Edit();
    f.ds->FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("y"));
    f.ds->Post();
    QString unchecked, checked;
    EXPECT_TRUE(g.GetCheckBoxValues(2, 1, unchecked, checked));
    EXPECT_EQ(checked, QStringLiteral("Y"));
    EXPECT_EQ(g.ColInfo(2).ControlKind, QStringLiteral("CheckBox"));
    const TRect box1 = g.Cell(2, 1), box2 = g.Cell(2, 2);
    const QImage image = g.viewport()->grab().toImage();
    auto darkPixels = [&](const TRect& r) {
        int n = 0;
        const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
        for (int y = cy - 3; y <= cy + 3; ++y)
            for (int x = cx - 3; x <= cx + 3; ++x) n += image.pixelColor(x, y).lightness() < 80;
        return n;
    };
    EXPECT_GT(darkPixels(box1), 4);   // the check mark
    EXPECT_EQ(darkPixels(box2), 0);
}

TEST(DBGridPaint, IndicatorGlyphFollowsTheState)
{
    GridForm f(4);
    TTestGrid& g = *f.grid;
    g.SetIndicatorIconColor(clRed);
    auto glyphPixels = [&](int row) {
        const QImage image = g.viewport()->grab().toImage();
        const TRect r = g.Cell(0, row);
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) n += image.pixel(x, y) == qRgb(255, 0, 0);
        return n;
    };
    const int arrow = glyphPixels(1);
    EXPECT_GT(arrow, 10);
    EXPECT_EQ(glyphPixels(2), 0);
    f.ds->Edit();
    const int edit = glyphPixels(1);
    EXPECT_GT(edit, 0);
    EXPECT_NE(edit, arrow);
    EXPECT_EQ(glyphPixels(2), 0);
    f.ds->Cancel();
    EXPECT_EQ(glyphPixels(1), arrow);
}

TEST(DBGridPaint, TitleEventsAndImages)
{
    GridForm f(2);
    TTestGrid& g = *f.grid;
    TImageList images(8, 8);
    TBitmap red(8, 8);
    red.Fill(clRed);
    images.Add(red);
    g.SetTitleImageList(&images);
    quint8 placement = 0;
    g.OnCalcTitleImage = [&](QObject*, TField* field, TkqTitleImageAttributes& a) {
        if (field->FieldName() == QLatin1String("Id")) {
            a.ImageIndex = 0;
            a.Placement = placement;
        }
    };
    QStringList names;
    g.OnCalcTitleAttributes = [&](QObject*, const QString& name, TFont&, TColor&, TAlignment&) { names << name; };
    g.viewport()->repaint();
    EXPECT_TRUE(names.contains(QStringLiteral("Id")));
    EXPECT_TRUE(names.contains(QStringLiteral("Name")));
    const TRect title = g.Cell(1, 0);
    const int y = (title.Top + title.Bottom) / 2;
    EXPECT_EQ(Pixel(&g, title.Left + 3, y), qRgb(255, 0, 0));   // left of the text, 3 pixels in
    EXPECT_NE(Pixel(&g, title.Left + 2, y), qRgb(255, 0, 0));
    placement = 2;
    g.viewport()->repaint();
    EXPECT_EQ(Pixel(&g, (title.Left + title.Right) / 2, y), qRgb(255, 0, 0));   // alone, centred
    g.SetTitleImageList(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Keys and focus

TEST(DBGridKeys, MovingThroughRecordsAndColumns)
{
    GridForm f(100);
    TTestGrid& g = *f.grid;
    ASSERT_TRUE(g.hasFocus());
    f.Key(Qt::Key_Down);
    EXPECT_EQ(f.Id(), 2);
    f.Key(Qt::Key_PageDown);
    EXPECT_EQ(f.Id(), 2 + g.VisibleRowCount());
    f.Key(Qt::Key_Up);
    EXPECT_EQ(f.Id(), 1 + g.VisibleRowCount());
    f.Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(f.Id(), 100);
    f.Key(Qt::Key_PageUp, Qt::ControlModifier);   // the top visible record
    EXPECT_EQ(f.Id(), 100 - g.VisibleRowCount() + 1);
    f.Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(f.Id(), 1);
    f.Key(Qt::Key_Right);
    EXPECT_EQ(g.Col(), 2);
    f.Key(Qt::Key_Home);
    EXPECT_EQ(g.Col(), 1);
    f.Key(Qt::Key_End);
    EXPECT_EQ(g.Col(), 2);
}

TEST(DBGridKeys, DownOnTheLastRecordAppendsWhenAllowed)
{
    struct TCase {
        bool Editing, AllowInsert, Appends;
    };
    for (const TCase& t : {TCase{true, true, true}, TCase{false, true, false}, TCase{true, false, false}}) {
        GridForm f(3);
        TTestGrid& g = *f.grid;
        g.SetOptions(g.Options().With(dgEditing, t.Editing));
        g.SetKeyOptions(g.KeyOptions().With(dgAllowInsert, t.AllowInsert));
        f.ds->Last();
        f.Key(Qt::Key_Down);
        EXPECT_EQ(f.ds->State() == dsInsert, t.Appends);
        if (!t.Appends) continue;
        // Down on the untouched new record does nothing; Up cancels it.
        f.Key(Qt::Key_Down);
        EXPECT_EQ(f.ds->State(), dsInsert);
        f.Key(Qt::Key_Up);
        EXPECT_EQ(f.ds->State(), dsBrowse);
        EXPECT_EQ(f.ds->RecordCount(), 3);
        EXPECT_EQ(f.Id(), 3);
    }
}

TEST(DBGridKeys, TabWrapsToTheNextRecordOrLeavesTheGrid)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    f.Key(Qt::Key_Tab);
    EXPECT_EQ(g.Col(), 2);
    f.Key(Qt::Key_Tab);
    EXPECT_EQ(g.Col(), 1);
    EXPECT_EQ(f.Id(), 2);
    f.Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(g.Col(), 2);
    EXPECT_EQ(f.Id(), 1);
    g.SetOptions(g.Options().Include(dgTabExitsOnLastCol));
    f.Key(Qt::Key_Tab);
    EXPECT_TRUE(f.after->hasFocus());
}

TEST(DBGridKeys, CtrlDeleteAsksAndDeletes)
{
    struct TCase {
        bool Confirm, AllowDelete, ReadOnly;
        int Answer;
        bool Deletes, Asks;
    };
    for (const TCase& t : {TCase{true, true, false, mrOk, true, true}, TCase{true, true, false, mrCancel, false, true},
                           TCase{false, true, false, 0, true, false}, TCase{true, false, false, 0, false, false},
                           TCase{true, true, true, 0, false, false}}) {
        TDialogSeam::Clear();
        GridForm f(5);
        TTestGrid& g = *f.grid;
        g.SetOptions(g.Options().With(dgConfirmDelete, t.Confirm));
        g.SetKeyOptions(g.KeyOptions().With(dgAllowDelete, t.AllowDelete));
        g.SetReadOnly(t.ReadOnly);
        if (t.Answer) TDialogSeam::AnswerMessages({t.Answer});
        f.Key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(f.ds->RecordCount(), t.Deletes ? 4 : 5);
        EXPECT_EQ(TDialogSeam::Messages(), t.Asks ? QStringList{QStringLiteral("Delete record?")} : QStringList{});
    }
}

TEST(DBGridKeys, EscapeCancelsAndAsksOnlyForRealChanges)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    f.ds->Edit();
    f.Key(Qt::Key_Escape);
    EXPECT_EQ(f.ds->State(), dsBrowse);
    EXPECT_TRUE(TDialogSeam::Messages().isEmpty());
    f.ds->Edit();
    f.ds->FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("x"));
    TDialogSeam::AnswerMessages({mrNo, mrYes});
    f.Key(Qt::Key_Escape);
    EXPECT_EQ(f.ds->State(), dsEdit);
    f.Key(Qt::Key_Escape);
    EXPECT_EQ(f.ds->State(), dsBrowse);
    EXPECT_EQ(TDialogSeam::Messages().size(), 2);
    EXPECT_EQ(TDialogSeam::Messages().first(), KqIntl()->UserMessages->kqDBGridDiscardChanges);
    Q_UNUSED(g);
}

TEST(DBGridKeys, KeysOfControlsInCellsReachTheGrid)
{
    GridForm f(5);
    TTestGrid& g = *f.grid;
    // A control placed over a cell, as the published grid places its cell controls.
    auto* edit = new QLineEdit(g.viewport());
    edit->setText(QStringLiteral("ab"));
    g.MoveColRow(2, 1, true, false);
    edit->setGeometry(g.Cell(2, 1).ToQRect());
    edit->show();
    edit->setFocus();
    edit->setCursorPosition(2);
    QApplication::processEvents();
    f.Key(Qt::Key_Left);
    f.Key(Qt::Key_Left);
    EXPECT_EQ(edit->cursorPosition(), 0);
    EXPECT_EQ(g.Col(), 2);
    f.Key(Qt::Key_Left);   // at the start: the grid moves to the previous column
    EXPECT_EQ(g.Col(), 1);
    edit->setFocus();
    QApplication::processEvents();
    f.Key(Qt::Key_Down);
    EXPECT_EQ(f.Id(), 2);
    // Enter stays with the control unless Enter works as Tab.
    edit->setFocus();
    QApplication::processEvents();
    f.Key(Qt::Key_Return);
    EXPECT_EQ(g.Col(), 1);
    g.SetKeyOptions(g.KeyOptions().Include(dgEnterToTab));
    edit->setFocus();
    QApplication::processEvents();
    f.Key(Qt::Key_Return);
    EXPECT_EQ(g.Col(), 2);
}

TEST(DBGridKeys, LeavingTheGridCancelsAnUntouchedInsert)
{
    GridForm f(3);
    f.ds->Insert();
    f.after->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.ds->State(), dsBrowse);
    EXPECT_EQ(f.ds->RecordCount(), 3);
    EXPECT_FALSE(f.grid->GridFocused());
}

// ---------------------------------------------------------------------------------------------
// Mouse

TEST(DBGridMouse, ClicksMoveToTheCellAndOpenTheEditor)
{
    GridForm f(10);
    TTestGrid& g = *f.grid;
    f.Click(2, 4);
    EXPECT_EQ(f.Id(), 4);
    EXPECT_EQ(g.Col(), 2);
    EXPECT_FALSE(g.EditorMode());
    f.Click(2, 4);   // the current cell again
    EXPECT_TRUE(g.EditorMode());
    ASSERT_TRUE(g.CellEditor());
    EXPECT_EQ(g.CellEditor()->Text(), QStringLiteral("Name4"));
    f.Click(0, 2);   // the indicator: the record only
    EXPECT_EQ(f.Id(), 2);
    EXPECT_EQ(g.Col(), 2);
}

TEST(DBGridMouse, TitleClicksAndColumnDrags)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    g.SetTitleButtons(true);
    QStringList clicked;
    g.OnTitleButtonClick = [&](QObject*, const QString& name) { clicked << name; };
    std::vector<std::pair<int, int>> moved;
    g.OnColumnMoved = [&](QObject*, int from, int to) { moved.emplace_back(from, to); };
    const QPoint id = g.Center(1, 0), name = g.Center(2, 0);
    f.Click(1, 0);
    EXPECT_EQ(clicked, QStringList{QStringLiteral("Id")});

    // Two pixels sideways is still a click; three start a drag.
    QTest::mousePress(g.viewport(), Qt::LeftButton, {}, id);
    QTest::mouseMove(g.viewport(), id + QPoint(2, 2));
    QTest::mouseRelease(g.viewport(), Qt::LeftButton, {}, id + QPoint(2, 2));
    EXPECT_EQ(clicked.size(), 2);
    QTest::mousePress(g.viewport(), Qt::LeftButton, {}, id);
    QTest::mouseMove(g.viewport(), id + QPoint(3, 0));
    QTest::mouseMove(g.viewport(), name + QPoint(10, 0));
    QTest::mouseRelease(g.viewport(), Qt::LeftButton, {}, name + QPoint(10, 0));
    QApplication::processEvents();
    EXPECT_EQ(clicked.size(), 2);
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0], std::make_pair(0, 1));
    EXPECT_EQ(g.GetField(0)->FieldName(), QStringLiteral("Name"));
    EXPECT_EQ(f.ds->Fields()[0]->FieldName(), QStringLiteral("Name"));
}

TEST(DBGridMouse, LinksOpenWithMailToWhereTheyLookLikeAddresses)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    g.SetControlType({QStringLiteral("Name;URL-Link")});
    g.LayoutChanged();
    QStringList opened;
    const auto saved = TkqCustomDBGrid::OpenLink;
    TkqCustomDBGrid::OpenLink = [&](const QString& link) { opened << link; };
    bool veto = false;
    g.OnURLOpen = [&](QObject*, QString&, TField*, bool& useDefault) { useDefault = !veto; };
    struct TCase {
        const char* Value;
        const char* Opened;
    };
    for (const TCase& t : {TCase{"ann@example.com", "MailTo:ann@example.com"}, TCase{"www.x@y", "www.x@y"},
                           TCase{"mailto:bo@x.org", "mailto:bo@x.org"}, TCase{"Site#http://a.b/c#", "http://a.b/c"}}) {
        f.ds->Edit();
        f.ds->FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromLatin1(t.Value));
        f.ds->Post();
        opened.clear();
        f.Click(2, 1);
        EXPECT_EQ(opened, QStringList{QString::fromLatin1(t.Opened)}) << t.Value;
    }
    veto = true;
    opened.clear();
    f.Click(2, 1);
    EXPECT_TRUE(opened.isEmpty());
    TkqCustomDBGrid::OpenLink = saved;
}

TEST(DBGridMouse, RowSizingSetsTheRowHeightPercent)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    g.SetOptions(g.Options().Include(dgRowResize));
    const int natural = QFontMetrics(g.font()).height() + 3;
    const TRect first = g.Cell(0, 1);
    const QPoint border(3, first.Bottom);
    QTest::mousePress(g.viewport(), Qt::LeftButton, {}, border);
    QTest::mouseMove(g.viewport(), QPoint(3, first.Top + 2 * natural));
    QTest::mouseRelease(g.viewport(), Qt::LeftButton, {}, QPoint(3, first.Top + 2 * natural));
    EXPECT_EQ(g.RowHeightPercent(), 200);
    EXPECT_EQ(g.DefaultRowHeight(), natural * 2);

    // Not below the last percent set through the property.
    g.SetRowHeightPercent(150);
    const TRect again = g.Cell(0, 1);
    QTest::mousePress(g.viewport(), Qt::LeftButton, {}, QPoint(3, again.Bottom));
    QTest::mouseMove(g.viewport(), QPoint(3, again.Top + 4));
    QTest::mouseRelease(g.viewport(), Qt::LeftButton, {}, QPoint(3, again.Top + 4));
    EXPECT_EQ(g.RowHeightPercent(), 150);
}

// ---------------------------------------------------------------------------------------------
// Cell editor

TEST(DBGridEditor, TypedTextReachesTheFieldOrIsRefused)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    TField* id = f.ds->FieldByName(QStringLiteral("Id"));
    f.Type(QStringLiteral("42"));
    ASSERT_TRUE(g.EditorMode());
    EXPECT_EQ(f.ds->State(), dsEdit);
    EXPECT_EQ(g.CellEditor()->Text(), QStringLiteral("42"));
    f.Key(Qt::Key_Return);
    EXPECT_EQ(id->AsInteger(), 42);
    EXPECT_FALSE(g.EditorMode());
    f.Key(Qt::Key_Down);
    EXPECT_EQ(f.ds->State(), dsBrowse);
    EXPECT_EQ(f.ds->Posts, 1);

    // Letters are not typed into a number; a text the field cannot take is reported and
    // leaves the field as it was.
    f.Key(Qt::Key_Up);
    f.Type(QStringLiteral("x-5-"));
    EXPECT_EQ(g.CellEditor()->Text(), QStringLiteral("-5-"));
    TDialogSeam::Clear();
    f.Key(Qt::Key_Return);
    EXPECT_EQ(id->AsInteger(), 42);
    EXPECT_EQ(TDialogSeam::Messages().size(), 1);
}

TEST(DBGridEditor, WhereTypingIsRefused)
{
    // An empty dataset without inserting: nothing may start a record.
    GridForm empty(0);
    empty.grid->SetKeyOptions(empty.grid->KeyOptions().Exclude(dgAllowInsert));
    empty.Type(QStringLiteral("7"));
    EXPECT_EQ(empty.ds->State(), dsBrowse);
    EXPECT_EQ(empty.ds->RecordCount(), 0);

    // A read-only column refuses the change; with ecoDisableEditorIfReadOnly no editor opens.
    GridForm f(3);
    TTestGrid& g = *f.grid;
    g.SetSelected({QStringLiteral("Id\t4\tNo.\tT"), QStringLiteral("Name\t10\tName")});
    g.SetUseTFields(false);
    f.Type(QStringLiteral("9"));
    EXPECT_EQ(f.ds->State(), dsBrowse);
    EXPECT_FALSE(g.CanEditModify());
    g.HideEditor();
    g.SetEditControlOptions(g.EditControlOptions().Include(ecoDisableEditorIfReadOnly));
    f.Key(Qt::Key_F2);
    g.ShowCellEditor();
    EXPECT_TRUE(!g.CellEditor() || !g.CellEditor()->isVisible());

    // A read-only grid edits nothing.
    f.Key(Qt::Key_Right);
    g.SetReadOnly(true);
    f.Type(QStringLiteral("z"));
    EXPECT_EQ(f.ds->State(), dsBrowse);
}

TEST(DBGridEditor, AlwaysShownEditorFollowsTheRecord)
{
    GridForm f(5);
    TTestGrid& g = *f.grid;
    g.SetOptions(g.Options().Include(dgAlwaysShowEditor));
    g.ShowCellEditor();
    ASSERT_TRUE(g.CellEditor() && g.CellEditor()->isVisible());
    f.Key(Qt::Key_Down);
    f.Key(Qt::Key_Down);
    EXPECT_EQ(f.Id(), 3);
    ASSERT_TRUE(g.CellEditor()->isVisible());
    EXPECT_TRUE(g.CellEditor()->hasFocus());
    EXPECT_EQ(g.CellEditor()->Text(), QStringLiteral("3"));
    EXPECT_EQ(g.CellEditor()->geometry().top(), g.Cell(1, 3).Top);
    f.Key(Qt::Key_Tab);
    EXPECT_EQ(g.CellEditor()->Text(), QStringLiteral("Name3"));
}

TEST(DBGridEditor, DatesAndNumbersAsTheLibraryReadsThem)
{
    TGridTestDataSet ds;
    ds.Define({{"Count", ftInteger}, {"Amount", ftFloat}, {"Day", ftDate}});
    ds.AddRow({TVariant(1), TVariant(1.0), TVariant::Null()});
    ds.Open();
    TDataSource source;
    source.SetDataSet(&ds);
    TTestGrid g;
    g.SetDataSource(&source);
    auto* count = static_cast<TIntegerField*>(ds.FieldByName(QStringLiteral("Count")));
    auto* amount = static_cast<TFloatField*>(ds.FieldByName(QStringLiteral("Amount")));
    // The editor reports its text as it changes; the write follows at Enter, moves and exit.
    auto type = [&](int col, const QString& text) {
        g.MoveColRow(col, 1, true, false);
        ASSERT_TRUE(g.CanEditModify());
        g.SetEditText(col, 1, text);
        g.UpdateData();
    };
    count->SetDisplayFormat(QStringLiteral("#,##0"));
    amount->SetDisplayFormat(QStringLiteral("#,##0.00"));
    struct TCase {
        int Col;
        const char* Text;
        double Expected;
    };
    for (const TCase& t : {TCase{1, "1,234", 1234}, TCase{1, "(12)", -12}, TCase{1, "2.5", 2}, TCase{1, "3.5", 4},
                           TCase{2, "1,234.56", 1234.56}, TCase{2, "(0.5)", -0.5}}) {
        type(t.Col, QString::fromLatin1(t.Text));
        EXPECT_DOUBLE_EQ(ds.Fields()[t.Col - 1]->AsFloat(), t.Expected) << t.Text;
    }
    // Without a display format the field's own conversion reads the text, and refuses this one.
    count->SetDisplayFormat(QString());
    EXPECT_THROW(type(1, QStringLiteral("1,234")), Exception);
    EXPECT_EQ(count->AsInteger(), 4);

    // Two-digit years by the library's pivot: below 50 in this century.
    for (const auto& [text, year] : {std::pair{"1/5/49", 2049}, std::pair{"1/5/50", 1950}, std::pair{"12/31/1999", 1999}}) {
        type(3, QString::fromLatin1(text));
        int y = 0, m = 0, d = 0;
        DecodeDate(ds.FieldByName(QStringLiteral("Day"))->AsDateTime(), y, m, d);
        EXPECT_EQ(y, year) << text;
    }
    g.SetDataSource(nullptr);
}

TEST(DBGridEditor, PictureMasksCheckTypingAndTheWrite)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    f.ds->Edit();
    f.ds->FieldByName(QStringLiteral("Name"))->SetAsString(QString());
    f.ds->Post();
    g.SetPictureMasks({QStringLiteral("Name\t###-###\tT\tT")});
    QList<bool> checks;
    g.OnCheckValue = [&](QObject*, bool passes) { checks << passes; };
    f.Key(Qt::Key_Right);
    f.Key(Qt::Key_F2);
    ASSERT_TRUE(g.CellEditor() && g.CellEditor()->hasFocus());
    EXPECT_TRUE(g.CellEditor()->PictureCheckApplies());
    checks.clear();
    f.Type(QStringLiteral("1234"));
    EXPECT_EQ(g.CellEditor()->Text(), QStringLiteral("123-4"));   // the literal filled in
    EXPECT_EQ(checks.last(), false);
    f.Type(QStringLiteral("x"));   // refused at the end: a beep, no report
    EXPECT_EQ(g.CellEditor()->Text(), QStringLiteral("123-4"));
    // An incomplete value is not written: the library's message, the field unchanged.
    TDialogSeam::Clear();
    f.Key(Qt::Key_Return);
    EXPECT_EQ(TDialogSeam::Messages().size(), 1);
    EXPECT_TRUE(f.ds->FieldByName(QStringLiteral("Name"))->AsString().isEmpty());
    f.Type(QStringLiteral("56"));
    EXPECT_EQ(checks.last(), true);
    f.Key(Qt::Key_Return);
    EXPECT_EQ(f.ds->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("123-456"));
}

TEST(DBGridPaint, BitmapCellsReadBitmapsWithOrWithoutTheirHeader)
{
    auto encoded = [](QColor colour, const char* format, bool header) {
        QImage image(60, 60, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        if (!header) return bytes;
        QByteArray head(8, '\0');
        head[0] = 1;
        head[3] = 1;
        const quint32 len = quint32(bytes.size());
        for (int i = 0; i < 4; ++i) head[4 + i] = char(len >> (8 * i));
        return head + bytes;
    };
    TGridTestDataSet ds;
    ds.Define({{"Id", ftInteger}, {"Pic", ftGraphic}});
    ds.AddRow({TVariant(1), TVariant::FromBytes(encoded(Qt::red, "BMP", true))});
    ds.AddRow({TVariant(2), TVariant::FromBytes(encoded(Qt::blue, "BMP", false))});
    ds.AddRow({TVariant(3), TVariant::FromBytes(encoded(Qt::green, "PNG", false))});   // not a bitmap: colours only
    ds.Open();
    TDataSource source;
    source.SetDataSet(&ds);
    QWidget form;
    form.resize(300, 200);
    auto* grid = new TTestGrid(&form);
    grid->setGeometry(0, 0, 300, 200);
    grid->SetColor(clWhite);
    grid->SetControlType({QStringLiteral("Pic;Bitmap;Original Size")});
    grid->SetDataSource(&source);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QImage image = grid->viewport()->grab().toImage();
    auto at = [&](int row) {
        const TRect r = grid->Cell(2, row);
        // The picture is higher than the cell: its top-left part fills the cell's height.
        return image.pixel(r.Left + 5, r.Bottom - 2);
    };
    EXPECT_EQ(at(1), qRgb(255, 0, 0));
    EXPECT_EQ(at(2), qRgb(0, 0, 255));
    EXPECT_EQ(at(3), qRgb(255, 255, 255));
    grid->SetDataSource(nullptr);
}

TEST(DBGridPaint, AlternatingRowsKeepTheirRecordsWhenScrolling)
{
    GridForm f(100);
    TTestGrid& g = *f.grid;
    g.SetColor(clWhite);
    g.PaintOptions()->SetAlternatingRowColor(clYellow);
    auto colourOfRecord = [&](int id) {
        for (int row = 1; row < g.RowCount(); ++row) {
            const TRect r = g.Cell(2, row);
            const int saved = g.DataLink()->ActiveRecord();
            g.DataLink()->SetActiveRecord(row - 1);
            const int rowId = f.ds->FieldByName(QStringLiteral("Id"))->AsInteger();
            g.DataLink()->SetActiveRecord(saved);
            if (rowId == id) return Pixel(&g, r.Right - 3, r.Top + 3);
        }
        return QRgb(0);
    };
    EXPECT_EQ(colourOfRecord(3), Rgb(clWhite));
    EXPECT_EQ(colourOfRecord(4), Rgb(clYellow));
    f.ds->MoveBy(g.VisibleRowCount());   // the window moves by one record
    EXPECT_TRUE(g.AlternatingRowPhase());
    EXPECT_EQ(colourOfRecord(3), Rgb(clWhite));
    EXPECT_EQ(colourOfRecord(4), Rgb(clYellow));
}

TEST(DBGridMouse, GroupHeaderClickReportsTheGroup)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    g.SetSelected({QStringLiteral("Id\t4\tNo.\tF\tKey"), QStringLiteral("Name\t8\tName\tF\tKey")});
    g.SetUseTFields(false);
    g.SetTitleButtons(true);
    QStringList clicked;
    g.OnTitleButtonClick = [&](QObject*, const QString& name) { clicked << name; };
    const TRect title = g.GetTitleCellRect(2, 0);
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, QPoint(title.Left + 5, 3));
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, QPoint(title.Left + 5, title.Top + 3));
    EXPECT_EQ(clicked, QStringList({"Key", "Name"}));
}

TEST(DBGridLayout, ProportionalColumnsFillTheWidthInWholeCharacters)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    g.SetSelected({QStringLiteral("Id\t4\tNo."), QStringLiteral("Name\t12\tName")});
    g.SetUseTFields(false);
    g.SetShowVertScrollBar(false);
    g.SetOptions(g.Options().Include(dgProportionalColResize));
    const int c = QFontMetrics(g.font()).horizontalAdvance(QStringLiteral("0"));
    auto check = [&] {
        const int first = g.ColWidths(1), last = g.ColWidths(2);
        EXPECT_EQ((first - 4) % c, 0);
        // The last column's line is the client's last pixel.
        EXPECT_EQ(g.ColWidths(0) + 1 + first + 1 + last + 1, g.ClientWidth());
        EXPECT_GT(last, 2 * first);
        EXPECT_EQ(SelectedPart(g.Selected().at(0), 1).toInt(), (first - 4) / c);
    };
    check();
    f.form->resize(f.form->width() + 120, f.form->height());
    QApplication::processEvents();
    check();
    EXPECT_EQ(g.ScrollBars(), ssNone);
}

TEST(DBGridKeys, ColumnExitEnterAndFocusControl)
{
    GridForm f(3);
    TTestGrid& g = *f.grid;
    QStringList events;
    g.OnColExit = [&](QObject*) { events << QStringLiteral("exit %1").arg(g.Col()); };
    g.OnColEnter = [&](QObject*) { events << QStringLiteral("enter %1").arg(g.Col()); };
    f.Key(Qt::Key_Right);
    EXPECT_EQ(events, QStringList({"exit 1", "enter 2"}));
    f.after->setFocus();
    QApplication::processEvents();
    events.clear();
    f.ds->FieldByName(QStringLiteral("Id"))->FocusControl();
    QApplication::processEvents();
    EXPECT_EQ(g.Col(), 1);
    EXPECT_TRUE(g.hasFocus());
    EXPECT_EQ(events, QStringList({"exit 2", "enter 1"}));
}

// ---------------------------------------------------------------------------------------------
// A real data file in the grid. With QUARROW_SHOW_GRID_SECONDS set, the window stays up that long
// (for a look at it on a real display).

#include "platform/client/ClientDataSet.h"

#include <QElapsedTimer>
#include <QFile>

TEST(DBGridSample, RealFileWithPicturesAndTexts)
{
    QUARROW_NEED_SAMPLES();
    const QString path = SamplePath(QStringLiteral("demo-events.cds"));
    TClientDataSet ds;
    ds.LoadFromFile(path);
    ds.Open();
    TDataSource source;
    source.SetDataSet(&ds);
    QWidget form;
    form.setWindowTitle(QStringLiteral("View Data demo-events.cds"));
    form.resize(1250, 560);
    auto* layout = new QVBoxLayout(&form);
    auto* grid = new TTestGrid(&form);
    layout->addWidget(grid);
    grid->SetControlType({QStringLiteral("Event_Photo;Bitmap;Fit Height")});
    grid->SetRowHeightPercent(260);
    grid->PaintOptions()->SetAlternatingRowColor(0xF4ECE4);
    grid->SetTitleButtons(true);
    grid->SetDataSource(&source);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    grid->setFocus();
    ds.SetRecNo(3);
    grid->SelectColumn(2);

    EXPECT_EQ(grid->GetFieldCount(), ds.FieldCount());
    EXPECT_EQ(grid->ColInfo(grid->GetFieldCount()).ControlKind, QStringLiteral("Bitmap"));
    QStringList names;
    grid->OnDrawDataCell = [&](QObject*, const TRect&, TField* field, TGridDrawState) {
        if (field->FieldName() == QLatin1String("Event_Name")) names << field->DisplayText();
    };
    grid->viewport()->repaint();
    ds.First();
    EXPECT_FALSE(names.isEmpty());
    EXPECT_TRUE(names.contains(ds.FieldByName(QStringLiteral("Event_Name"))->DisplayText()));
    grid->OnDrawDataCell = nullptr;
    // The picture cell of the first row shows the picture, not just its background.
    const TRect photo = grid->Cell(grid->GetFieldCount(), 1);
    const QImage image = grid->viewport()->grab().toImage();
    QSet<QRgb> colours;
    for (int x = photo.Left + 2; x < photo.Right - 2; x += 3) colours.insert(image.pixel(x, (photo.Top + photo.Bottom) / 2));
    EXPECT_GT(colours.size(), 3);

    if (const int seconds = qEnvironmentVariableIntValue("QUARROW_SHOW_GRID_SECONDS"); seconds > 0) {
        ds.SetRecNo(3);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < seconds * 1000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    grid->SetDataSource(nullptr);
}
