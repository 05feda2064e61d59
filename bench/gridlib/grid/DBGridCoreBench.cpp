// The data grid's core on data files of a thousand and of a million records, side by side:
// painting a page, moving one row, paging down and jumping to the last record, each step
// painted. Rows come from the data link's window, so every figure should be the same for both.

#include "gridlib/grid/Kqdbigrd.h"
#include "platform/client/ClientDataSet.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

// Data files written once per run, one per size.
QString DataFile(int records)
{
    static QTemporaryDir dir;
    static std::map<int, QString> files;
    auto it = files.find(records);
    if (it != files.end()) return it->second;
    TClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("ID"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 30);
    ds.FieldDefs().Add(QStringLiteral("City"), ftString, 24);
    ds.FieldDefs().Add(QStringLiteral("Price"), ftFloat);
    ds.FieldDefs().Add(QStringLiteral("Born"), ftDate);
    ds.FieldDefs().Add(QStringLiteral("Active"), ftBoolean);
    ds.CreateDataSet();
    ds.SetLogChanges(false);
    TField* f[6];
    for (int i = 0; i < 6; ++i) f[i] = ds.Fields()[i];
    ds.DisableControls();
    for (int i = 0; i < records; ++i) {
        ds.Append();
        f[0]->SetAsInteger(i + 1);
        f[1]->SetAsString(QStringLiteral("Customer number %1").arg(i + 1));
        f[2]->SetAsString(QStringLiteral("City %1").arg(i % 5000));
        f[3]->SetAsFloat(i * 1.25);
        f[4]->SetAsDateTime(30000 + i % 20000);
        f[5]->SetAsBoolean(i % 2 == 0);
        ds.Post();
    }
    ds.EnableControls();
    const QString name = dir.filePath(QStringLiteral("grid%1.cds").arg(records));
    ds.SaveToFile(name);
    files[records] = name;
    return name;
}

// A window with the grid over a data file, shown and painted once.
struct TGridWindow {
    explicit TGridWindow(int records)
    {
        ds.LoadFromFile(DataFile(records));
        ds.Open();
        source.SetDataSet(&ds);
        window.resize(800, 600);
        grid = new TkqCustomDBGrid(&window);
        grid->setGeometry(0, 0, 800, 600);
        grid->SetDataSource(&source);
        window.show();
        QApplication::processEvents();
        grid->setFocus();
        grid->viewport()->repaint();
    }
    ~TGridWindow() { grid->SetDataSource(nullptr); }
    void Paint() { grid->viewport()->repaint(); }
    void Key(int key)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(grid, &press);
    }

    TClientDataSet ds;
    TDataSource source;
    QWidget window;
    TkqCustomDBGrid* grid = nullptr;
};

void Counters(benchmark::State& state, TGridWindow& w)
{
    state.counters["records"] = double(w.ds.RecordCount());
    state.counters["rows"] = double(w.grid->VisibleRowCount());
}

} // namespace

static void BM_GridPaintPage(benchmark::State& state)
{
    TGridWindow w(int(state.range(0)));
    w.ds.SetRecNo(w.ds.RecordCount() / 2);
    for (auto _ : state) w.Paint();
    Counters(state, w);
}

static void BM_GridMoveOneRow(benchmark::State& state)
{
    TGridWindow w(int(state.range(0)));
    w.ds.SetRecNo(w.ds.RecordCount() / 2);
    bool down = true;
    for (auto _ : state) {
        // Down and up in turn: the cursor stays in the middle of the file.
        w.Key(down ? Qt::Key_Down : Qt::Key_Up);
        down = !down;
        w.Paint();
    }
    Counters(state, w);
}

static void BM_GridPageDown(benchmark::State& state)
{
    TGridWindow w(int(state.range(0)));
    const int page = w.grid->VisibleRowCount();
    for (auto _ : state) {
        if (w.ds.RecNo() + page >= w.ds.RecordCount()) {
            state.PauseTiming();
            w.ds.First();
            state.ResumeTiming();
        }
        w.Key(Qt::Key_PageDown);
        w.Paint();
    }
    Counters(state, w);
}

static void BM_GridJumpToLast(benchmark::State& state)
{
    TGridWindow w(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        w.ds.First();
        w.Paint();
        state.ResumeTiming();
        w.ds.Last();
        w.Paint();
    }
    Counters(state, w);
}

BENCHMARK(BM_GridPaintPage)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_GridMoveOneRow)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_GridPageDown)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_GridJumpToLast)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
