// The grid core outside its cells: the footer, cell hints, link cells under the mouse and the
// wheel.

#include "gridlib/grid/Kqdbigrd.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>

namespace {

class TFooterGrid : public TkqCustomDBGrid {
public:
    using TkqCustomDBGrid::TkqCustomDBGrid;
    TRect Cell(int col, int row) const { return CellRect(col, row); }
    void Move(int x, int y) { MouseMove({}, x, y); }
    using TkqCustomDBGrid::MoveColRow;
};

struct FooterForm {
    explicit FooterForm(int rows = 6)
    {
        form = std::make_unique<QWidget>();
        form->resize(420, 260);
        auto* layout = new QVBoxLayout(form.get());
        grid = new TFooterGrid(form.get());
        layout->addWidget(grid);
        ds = new TGridTestDataSet(form.get());
        ds->Define({{"Id", ftInteger}, {"Name", ftWideString}, {"Amount", ftFloat}});
        for (int i = 1; i <= rows; ++i)
            ds->AddRow({TVariant(i), TVariant(QStringLiteral("Name%1").arg(i)), TVariant(i * 1.5)});
        source = new TDataSource(form.get());
        source->SetDataSet(ds);
        ds->Open();
        grid->SetDataSource(source);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    std::unique_ptr<QWidget> form;
    TFooterGrid* grid = nullptr;
    TGridTestDataSet* ds = nullptr;
    TDataSource* source = nullptr;
};

QRgb Rgb(TColor color) { return ColorToQColor(color).rgb(); }

} // namespace

TEST(DBGridFooter, FooterTakesItsHeightFromTheCellsArea)
{
    FooterForm f;
    TFooterGrid& g = *f.grid;
    const int full = g.ClientHeight();
    const int th = QFontMetrics(g.font()).height();
    g.SetOptions(g.Options().Include(dgShowFooter));
    EXPECT_EQ(g.ClientHeight(), full - (th + 6));
    EXPECT_EQ(g.GetFooterRect().Top, g.ClientHeight());
    EXPECT_EQ(g.FooterTotalHeight(), th + 8);
    g.SetOptions(g.Options().Include(dgFooter3DCells));
    EXPECT_EQ(g.ClientHeight(), full - (th + 8));
    EXPECT_EQ(g.FooterTotalHeight(), th + 10);
    g.SetFooterHeight(-5);
    EXPECT_EQ(g.FooterHeight(), 0);
    g.SetFooterHeight(30);
    EXPECT_EQ(g.ClientHeight(), full - 32);
}

TEST(DBGridFooter, CellsWithTextAreSunkenAndAnEventMayDrawThem)
{
    FooterForm f;
    TFooterGrid& g = *f.grid;
    g.SetOptions(g.Options().Include(dgShowFooter));
    g.SetFooterColor(clLime);
    g.SetFooterCellColor(clYellow);
    int asked = 0;
    g.OnUpdateFooter = [&](QObject*) {
        ++asked;
        g.GetColumn(1)->SetFooterText(QStringLiteral("Total"));
        g.GetColumn(2)->SetFooterText(QStringLiteral("9.5"));
    };
    g.LayoutChanged();
    EXPECT_GT(asked, 0);
    g.OnDrawFooterCell = [](QObject*, TCanvas&, const TRect&, TField* field, const QString&, bool& defaultDrawing) {
        if (field->FieldName() == QLatin1String("Amount")) defaultDrawing = false;
    };
    g.viewport()->repaint();
    const QImage image = g.viewport()->grab().toImage();
    const TRect footer = g.GetFooterRect();
    const int y = (footer.Top + footer.Bottom) / 2;
    auto inColumn = [&](int col) { return image.pixel(g.Cell(col, 1).Left + 3, y); };
    EXPECT_EQ(inColumn(1), Rgb(clLime));     // no text: plain footer background
    EXPECT_EQ(inColumn(2), Rgb(clYellow));   // a sunken cell in the cell colour
    EXPECT_EQ(inColumn(3), Rgb(clLime));     // drawn by the event (which drew nothing)
}

TEST(DBGridHints, LongTextsGetAHintThatLeavesWithTheMouseOrTheTime)
{
    FooterForm f;
    TFooterGrid& g = *f.grid;
    g.SetOptions(g.Options().Include(dgShowCellHint));
    f.ds->Edit();
    f.ds->FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Name1 is longer"));
    f.ds->Post();
    g.SetColWidths(2, QFontMetrics(g.font()).horizontalAdvance(QStringLiteral("Name10")));
    g.MoveColRow(1, 1, true, false);
    const TRect shortCell = g.Cell(2, 2), longCell = g.Cell(2, 1);
    g.Move(shortCell.Left + 3, shortCell.Top + 3);
    EXPECT_EQ(g.CellHintWindow(), nullptr);
    g.Move(longCell.Left + 3, longCell.Top + 3);
    ASSERT_NE(g.CellHintWindow(), nullptr);
    EXPECT_EQ(g.CellHintWindow()->Caption(), QStringLiteral("Name1 is longer"));
    EXPECT_EQ(g.CellHintWindow()->height(), longCell.Height() - 2);
    // The same cell again does nothing; another cell replaces the hint at once.
    TkqGridHintWindow* first = g.CellHintWindow();
    g.Move(longCell.Left + 5, longCell.Top + 3);
    EXPECT_EQ(g.CellHintWindow(), first);
    g.Move(shortCell.Left + 3, shortCell.Top + 3);
    EXPECT_EQ(g.CellHintWindow(), nullptr);

    // A right-aligned number keeps the hint's right edge on the cell's.
    f.ds->Edit();
    f.ds->FieldByName(QStringLiteral("Amount"))->SetAsFloat(123456789012.25);
    f.ds->Post();
    g.SetColWidths(3, 30);
    const TRect amount = g.Cell(3, 1);
    g.Move(amount.Left + 3, amount.Top + 3);
    ASSERT_NE(g.CellHintWindow(), nullptr);
    const QPoint right = g.viewport()->mapToGlobal(QPoint(amount.Right, 0));
    EXPECT_EQ(g.CellHintWindow()->geometry().right() + 1, right.x());

    // A mouse that rests stays hinted for 17 ticks; a mouse gone ends the hint at the next tick.
    QCursor::setPos(g.viewport()->mapToGlobal(QPoint(amount.Left + 3, amount.Top + 3)));
    int ticks = 0;
    while (g.CellHintWindow() && ticks < 40) {
        g.HintTimerTick();
        ++ticks;
    }
    if (QCursor::pos() == g.viewport()->mapToGlobal(QPoint(amount.Left + 3, amount.Top + 3))) {
        EXPECT_EQ(ticks, 17);
    }
    g.Move(longCell.Left + 3, longCell.Top + 3);
    ASSERT_NE(g.CellHintWindow(), nullptr);
    QCursor::setPos(g.viewport()->mapToGlobal(QPoint(shortCell.Left + 3, shortCell.Top + 3)));
    g.HintTimerTick();
    if (QCursor::pos() == g.viewport()->mapToGlobal(QPoint(shortCell.Left + 3, shortCell.Top + 3))) {
        EXPECT_EQ(g.CellHintWindow(), nullptr);
    }
}

TEST(DBGridHints, LinkCellsTurnHotUnderTheMouse)
{
    FooterForm f;
    TFooterGrid& g = *f.grid;
    g.SetControlType({QStringLiteral("Name;URL-Link")});
    g.LayoutChanged();
    const TRect link = g.Cell(2, 2);
    g.Move(link.Left + 3, link.Top + 3);
    EXPECT_EQ(g.viewport()->cursor().shape(), Qt::PointingHandCursor);
    const TRect plain = g.Cell(1, 2);
    g.Move(plain.Left + 3, plain.Top + 3);
    EXPECT_NE(g.viewport()->cursor().shape(), Qt::PointingHandCursor);
}

TEST(DBGridWheel, EachStepMovesOneRecord)
{
    FooterForm f(20);
    TFooterGrid& g = *f.grid;
    const QPoint at = g.viewport()->rect().center();
    auto roll = [&](int delta) {
        QWheelEvent wheel(at, g.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(g.viewport(), &wheel);
    };
    roll(-120);
    roll(-240);
    EXPECT_EQ(f.ds->FieldByName(QStringLiteral("Id"))->AsInteger(), 4);
    roll(120);
    EXPECT_EQ(f.ds->FieldByName(QStringLiteral("Id"))->AsInteger(), 3);
}
