// The data window on a generated binary file of a thousand and of a million records: opening
// it (against the engine's own load of the same file) and paging from the top to the bottom
// and back with Page Down and Page Up, each page painted with its status line, and selecting
// and copying rows. A page, and a copied row, should cost the same whatever the record count.

#include "app/UGeneral.h"
#include "app/Main.h"
#include "app/UViewData.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "platform/client/ClientDataSet.h"
#include "treestatus/qeStatusBar.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <vector>

namespace {

QString GeneratedFile(int records)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("generated-%1.cds").arg(records));
    if (QFile::exists(path)) return path;
    TClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("ID"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("Amount"), ftFloat);
    ds.FieldDefs().Add(QStringLiteral("Due"), ftDate);
    ds.FieldDefs().Add(QStringLiteral("Notes"), ftString, 40);
    ds.CreateDataSet();
    ds.SetLogChanges(false);
    TField* id = ds.Fields()[0];
    TField* name = ds.Fields()[1];
    TField* amount = ds.Fields()[2];
    TField* due = ds.Fields()[3];
    TField* notes = ds.Fields()[4];
    for (int i = 0; i < records; ++i) {
        ds.Append();
        id->SetAsInteger(i + 1);
        name->SetAsString(QStringLiteral("Customer %1").arg(i + 1));
        amount->SetAsFloat(i * 1.25);
        due->SetAsDateTime(40000 + i % 3000);
        if (i % 3 == 0) notes->SetAsString(QStringLiteral("note %1").arg(i));
        ds.Post();
    }
    ds.SaveToFile(path);
    return path;
}

std::unique_ptr<TFrmViewData> OpenWindow(const QString& path)
{
    SetSettingsFileName(QDir::temp().filePath(QStringLiteral("quarrow-bench.ini")));
    auto w = std::make_unique<TFrmViewData>();
    w->SetCaption(QStringLiteral("View Data ") + path);
    w->SetFormSize(740, 540);
    w->ShowChild();
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->SetFileList({path});
    w->OpenDataFile(path);
    QApplication::processEvents();
    return w;
}

void BM_EngineLoad(benchmark::State& state)
{
    const QString path = GeneratedFile(int(state.range(0)));
    for (auto _ : state) {
        auto ds = std::make_unique<TClientDataSet>();
        ds->SetReadOnly(true);
        ds->LoadFromFile(path);
        benchmark::DoNotOptimize(ds->RecordCount());
        // Freeing the records is not loading them (the window's figure leaves it out too).
        state.PauseTiming();
        ds.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EngineLoad)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// From nothing to the painted window on the file. Only a process's first run pays for fresh
// memory pages; later runs reuse what the previous window freed (compare the engine's figure
// with the first repetition).
void BM_OpenDataWindow(benchmark::State& state)
{
    const QString path = GeneratedFile(int(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<TFrmViewData> w = OpenWindow(path);
        w->repaint();
        if (!w->cdsViewData->Active() || w->cdsViewData->RecordCount() != state.range(0)) {
            state.SkipWithError("the file did not open");
            break;
        }
        state.PauseTiming();
        w.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenDataWindow)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Every page from the top to the bottom and back, each key press followed by the painting of
// the grid and the status line; the counters give the page time's median and 99th percentile.
void BM_PageDownAndBackUp(benchmark::State& state)
{
    const QString path = GeneratedFile(int(state.range(0)));
    std::unique_ptr<TFrmViewData> w = OpenWindow(path);
    TkqDBGrid* grid = w->grdViewData;
    TClientDataSet* ds = w->cdsViewData;
    grid->setFocus();
    std::vector<qint64> pageTimes;
    QElapsedTimer timer;
    auto page = [&](Qt::Key key) {
        timer.start();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(grid, &press);
        grid->viewport()->repaint();
        w->StatusBar->repaint();
        pageTimes.push_back(timer.nsecsElapsed());
    };
    // A second argument pages that far from the top, then from the end, and back (a quick run).
    const qint64 limit = state.range(1);
    for (auto _ : state) {
        pageTimes.clear();
        ds->First();
        for (qint64 n = 0; ds->RecNo() < ds->RecordCount() && (limit == 0 || n < limit); ++n) page(Qt::Key_PageDown);
        if (limit > 0) ds->Last();
        for (qint64 n = 0; ds->RecNo() > 1 && (limit == 0 || n < limit); ++n) page(Qt::Key_PageUp);
    }
    std::sort(pageTimes.begin(), pageTimes.end());
    const auto at = [&](double q) { return double(pageTimes[size_t(q * double(pageTimes.size() - 1))]) / 1000.0; };
    state.counters["pages"] = double(pageTimes.size());
    state.counters["page_median_us"] = at(0.5);
    state.counters["page_p99_us"] = at(0.99);
}
BENCHMARK(BM_PageDownAndBackUp)->Args({1000, 0})->Args({1000000, 0})->Args({1000000, 2000})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

// Selecting rows and copying them: every record of a file (Select all), or the first thousand
// rows of a million one by one; the counter is the time per selected row, which should not
// grow with the selection or the file.
void BM_SelectAndCopy(benchmark::State& state)
{
    const int records = int(state.range(0));
    const int selected = int(state.range(1));
    const QString path = GeneratedFile(records);
    std::unique_ptr<TFrmViewData> w = OpenWindow(path);
    TkqDBGrid* grid = w->grdViewData;
    TClientDataSet* ds = w->cdsViewData;
    grid->setFocus();
    QElapsedTimer timer;
    qint64 total = 0;
    for (auto _ : state) {
        timer.start();
        if (selected >= records) {
            grid->SelectAll();
        } else {
            ds->First();
            for (int i = 0; i < selected; ++i) {
                grid->SelectRecord();
                ds->Next();
            }
        }
        w->CopyClick();
        total += timer.nsecsElapsed();
    }
    state.counters["row_us"] = double(total) / 1000.0 / (double(selected) * double(state.iterations()));
}
BENCHMARK(BM_SelectAndCopy)->Args({1000, 1000})->Args({10000, 10000})->Args({1000000, 1000})
    ->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace
