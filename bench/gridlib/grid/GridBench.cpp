// The data grid on a thousand and on a million records: opening, and paging from the top to
// the bottom with the scroll bar (the view alone moves) and with Page Down (the cursor moves),
// each page painted. A page should cost the same whatever the record count.

#include "bench/gridlib/grid/GeneratedDataSet.h"
#include "gridlib/grid/Kqdbgrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

struct GridWindow {
    explicit GridWindow(int records) : ds(records)
    {
        window.resize(640, 480);
        grid = new TkqDBGrid(&window);
        grid->setGeometry(0, 0, 640, 480);
        source.SetDataSet(&ds);
        ds.Open();
        grid->SetDataSource(&source);
        window.show();
        QApplication::processEvents();
    }
    QWidget window;
    TkqDBGrid* grid;
    TGeneratedDataSet ds;
    TDataSource source;
};

void BM_GridOpen(benchmark::State& state)
{
    const int records = int(state.range(0));
    TGeneratedDataSet ds(records);
    ds.Open();
    TDataSource source;
    source.SetDataSet(&ds);
    QWidget window;
    window.resize(640, 480);
    auto* grid = new TkqDBGrid(&window);
    grid->setGeometry(0, 0, 640, 480);
    window.show();
    for (auto _ : state) {
        grid->SetDataSource(&source);
        grid->viewport()->repaint();
        state.PauseTiming();
        grid->SetDataSource(nullptr);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GridOpen)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The scroll bar pages the view; reading the rows of each page is all the grid does.
void BM_ScrollBarPageByPage(benchmark::State& state)
{
    GridWindow w(int(state.range(0)));
    QScrollBar* bar = w.grid->verticalScrollBar();
    qint64 pages = 0;
    for (auto _ : state) {
        bar->setValue(0);
        for (;;) {
            w.grid->viewport()->repaint();
            ++pages;
            if (bar->value() >= bar->maximum()) break;
            bar->setValue(bar->value() + bar->pageStep());
        }
    }
    state.SetItemsProcessed(pages);
    state.counters["pages"] = double(pages) / double(state.iterations());
}
BENCHMARK(BM_ScrollBarPageByPage)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Thirty pages from a point of the file (percent): the same work wherever it happens.
void BM_ThirtyPagesFrom(benchmark::State& state)
{
    GridWindow w(int(state.range(0)));
    QScrollBar* bar = w.grid->verticalScrollBar();
    const int start = int(qint64(bar->maximum()) * state.range(1) / 100);
    const int pages = qMin(30, (bar->maximum() - start) / qMax(1, bar->pageStep()) + 1);
    for (auto _ : state) {
        bar->setValue(start);
        for (int p = 0; p < pages; ++p) {
            w.grid->viewport()->repaint();
            bar->setValue(bar->value() + bar->pageStep());
        }
    }
    state.SetItemsProcessed(state.iterations() * pages);
}
BENCHMARK(BM_ThirtyPagesFrom)->Args({1000, 0})->Args({1000000, 0})->Args({1000000, 50})->Args({1000000, 99})
    ->Unit(benchmark::kMillisecond);

// Page Down moves the dataset's cursor a page; the grid follows and repaints.
void BM_PageDownToTheEnd(benchmark::State& state)
{
    GridWindow w(int(state.range(0)));
    w.grid->setFocus();
    qint64 pages = 0;
    for (auto _ : state) {
        w.ds.First();
        while (!w.ds.Eof()) {
            QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
            QCoreApplication::sendEvent(w.grid, &down);
            w.grid->viewport()->repaint();
            ++pages;
            if (w.ds.RecNo() == w.ds.RecordCount()) break;
        }
    }
    state.SetItemsProcessed(pages);
    state.counters["pages"] = double(pages) / double(state.iterations());
}
BENCHMARK(BM_PageDownToTheEnd)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
