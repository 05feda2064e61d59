// The field-value find engine on a million records of ten fields.
// - A find that runs to the last record reads every record where it lies; its baseline is the
//   plain loop a search would otherwise be (move with Next, read the field, compare), side by
//   side in one run. Run at a quarter and at all of the records, the time grows with the count.
// - An exact find on a field that the active index starts with answers by halving the index;
//   its baseline is the same find on a cursor without the index (a scan), over the same records.

#include "bench/common/BenchPair.h"
#include "bench/common/MillionPacket.h"
#include "gridlib/dialogs/kqfind.h"
#include "platform/client/ClientDataSet.h"

#include <QBuffer>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

std::unique_ptr<TClientDataSet> Table(qint64 rows)
{
    auto ds = std::make_unique<TClientDataSet>();
    QByteArray bytes = MillionPacket::Bytes(pfBinary, rows);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ds->LoadFromStream(buffer);
    ds->SetLogChanges(false);
    return ds;
}

// The plain loop: every record made current in turn.
bool NextLoop(TClientDataSet& ds, const QString& key)
{
    TField* note = ds.FieldByName(QStringLiteral("Note"));
    for (ds.First(); !ds.Eof(); ds.Next())
        if (note->AsString().toUpper() == key) return true;
    return false;
}

void BM_FindToTheLastRecordVsNextLoop(benchmark::State& state)
{
    const qint64 rows = state.range(0);
    auto ds = Table(rows);
    const QString value = QStringLiteral("customer note %1").arg(rows - 1);   // the last record only
    const QString key = value.toUpper();
    TBenchPair pair;
    for (auto _ : state) {
        bool a = false, b = false;
        TimePair(
            state, pair,
            [&] { a = FindFieldValue(true, ds.get(), QStringLiteral("Note"), value, mtExactMatch, false); },
            [&] { b = NextLoop(*ds, key); });
        if (!a || !b) state.SkipWithError("not found");
    }
    pair.Report(state);
    state.SetComplexityN(rows);
}
BENCHMARK(BM_FindToTheLastRecordVsNextLoop)
    ->Arg(250000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_IndexedExactFindVsScan(benchmark::State& state)
{
    auto ds = Table(MillionPacket::Rows);
    TClientDataSet indexed;
    indexed.CloneCursor(ds.get(), true);
    indexed.SetIndexFieldNames(QStringLiteral("ID"));
    const QString value = QString::number(MillionPacket::Rows - 3);
    TBenchPair pair;
    for (auto _ : state) {
        bool a = false, b = false;
        indexed.First();
        ds->First();
        TimePair(
            state, pair, [&] { a = FindFieldValue(true, &indexed, QStringLiteral("ID"), value, mtExactMatch, false); },
            [&] { b = FindFieldValue(true, ds.get(), QStringLiteral("ID"), value, mtExactMatch, false); });
        if (!a || !b) state.SkipWithError("not found");
    }
    pair.Report(state);
}
BENCHMARK(BM_IndexedExactFindVsScan)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
