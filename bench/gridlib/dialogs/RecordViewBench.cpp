// The record view panel while the user moves through the records: each move refreshes one editor
// per field. Side A moves through a million records, side B through a thousand, in the same run;
// a ratio near 1 shows that a move costs per field, never per record. Building the panel is
// timed alone on a million records too.

#include "bench/common/BenchPair.h"
#include "bench/gridlib/grid/GeneratedDataSet.h"
#include "gridlib/dialogs/kqrecview.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

struct PanelWindow {
    explicit PanelWindow(int records) : ds(records)
    {
        panel.resize(500, 400);
        source.SetDataSet(&ds);
        ds.Open();
        panel.SetDataSource(&source);
        panel.show();
        QApplication::processEvents();
        ds.SetRecNo(records / 2);
    }
    // Moves forward and back again: the same stretch of records every time.
    void Move(int steps)
    {
        for (int i = 0; i < steps; ++i) ds.Next();
        for (int i = 0; i < steps; ++i) ds.Prior();
    }
    TGeneratedDataSet ds;
    TDataSource source;
    TkqRecordViewPanel panel;
};

void BM_RecordViewMoves_MillionVsThousand(benchmark::State& state)
{
    PanelWindow million(1000000), thousand(1000);
    TBenchPair pair;
    for (auto _ : state) TimePair(state, pair, [&] { million.Move(100); }, [&] { thousand.Move(100); });
    pair.Report(state);
    state.counters["moves"] = 200;
}
BENCHMARK(BM_RecordViewMoves_MillionVsThousand)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RecordViewBuild_MillionRecords(benchmark::State& state)
{
    PanelWindow million(1000000);
    for (auto _ : state) million.panel.Rebuild();
}
BENCHMARK(BM_RecordViewBuild_MillionRecords)->Unit(benchmark::kMillisecond);

} // namespace
