// The same million records through the table: LoadBinaryStream and SaveBinaryStream, and
// the workbench's walk over every record after the load.

#include "bench/memtable/BenchSupport.h"
#include "memtable/zohMemTable.h"

#include <QBuffer>
#include <benchmark/benchmark.h>



namespace {

void Load(TzohMemTable& t)
{
    QByteArray bytes = MillionRecordStream();
    QBuffer b(&bytes);
    b.open(QIODevice::ReadOnly);
    t.LoadBinaryStream(b);
}

void BM_TableLoadBinaryStream(benchmark::State& state)
{
    MillionRecordStream();
    for (auto _ : state) {
        TzohMemTable t;
        Load(t);
        benchmark::DoNotOptimize(t.RecordCount());
        state.PauseTiming();
        t.Close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_TableLoadBinaryStream)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TableSaveBinaryStream(benchmark::State& state)
{
    TzohMemTable t;
    Load(t);
    for (auto _ : state) {
        TCountingDevice sink;
        t.SaveBinaryStream(sink, {mtfSaveData, mtfSaveDef, mtfSaveBlobs, mtfSaveNonVisible});
        benchmark::DoNotOptimize(sink.Count);
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_TableSaveBinaryStream)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TableWalkThreeFields(benchmark::State& state)
{
    TzohMemTable t;
    Load(t);
    TField* a = t.FieldByName("ID");
    TField* b = t.FieldByName("Name");
    TField* c = t.FieldByName("Amount");
    for (auto _ : state) {
        double sum = 0;
        for (t.First(); !t.Eof(); t.Next()) sum += a->AsInteger() + b->AsString().size() + c->AsFloat();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_TableWalkThreeFields)->Unit(benchmark::kMillisecond)->Iterations(3);

// The delimited-text load posts record after record through the dataset.
void BM_TableLoadCSVStream(benchmark::State& state)
{
    QByteArray csv;
    {
        TzohMemTable t;
        Load(t);
        QBuffer b(&csv);
        b.open(QIODevice::WriteOnly);
        t.SaveCSVStream(b, {mtfSaveData, mtfSaveDef});
    }
    for (auto _ : state) {
        TzohMemTable t;
        QBuffer b(&csv);
        b.open(QIODevice::ReadOnly);
        t.LoadCSVStream(b);
        benchmark::DoNotOptimize(t.RecordCount());
        state.PauseTiming();
        t.Close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_TableLoadCSVStream)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

namespace {
// Loading with an index definition: the load plus one sort of a million records, by a text
// field under the locale (0) or by a small integer (1).
void BM_TableLoadWithIndex(benchmark::State& state)
{
    QByteArray bytes;
    {
        TzohMemTable t;
        Load(t);
        t.IndexDefs().Add("X", state.range(0) == 0 ? "Name;ID" : "Qty;ID", {});
        QBuffer b(&bytes);
        b.open(QIODevice::WriteOnly);
        t.SaveBinaryStream(b, {mtfSaveData, mtfSaveDef, mtfSaveIndexDef});
    }
    for (auto _ : state) {
        TzohMemTable t;
        QBuffer b(&bytes);
        b.open(QIODevice::ReadOnly);
        t.LoadBinaryStream(b);
        t.SetIndexName("X");
        benchmark::DoNotOptimize(t.RecordCount());
        state.PauseTiming();
        t.Close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_TableLoadWithIndex)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
} // namespace
