// Reading a million records of ten fields from a generated dBASE table (one record in a
// thousand flagged deleted) and from a generated Paradox table: opening (the dBASE deletion
// flags are read then), walking every record reading every field, and walking one field.

#include "bench/platform/tables/MillionTables.h"
#include "platform/tables/LocalTables.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

void Open(benchmark::State& state, const QString& file)
{
    for (auto _ : state) {
        TTable table;
        table.SetTableName(file);
        table.Open();
        benchmark::DoNotOptimize(table.RecordCount());
    }
}

void ReadAll(benchmark::State& state, const QString& file)
{
    qint64 values = 0;
    for (auto _ : state) {
        TTable table;
        table.SetTableName(file);
        table.Open();
        const std::vector<TField*> fields(table.Fields().begin(), table.Fields().end());
        for (table.First(); !table.Eof(); table.Next())
            for (TField* f : fields) {
                benchmark::DoNotOptimize(f->AsVariant());
                ++values;
            }
    }
    state.counters["values/s"] = benchmark::Counter(double(values), benchmark::Counter::kIsRate);
}

void ReadOneField(benchmark::State& state, const QString& file, const char* field)
{
    for (auto _ : state) {
        TTable table;
        table.SetTableName(file);
        table.Open();
        TField* f = table.FieldByName(QString::fromLatin1(field));
        for (table.First(); !table.Eof(); table.Next()) benchmark::DoNotOptimize(f->AsString());
    }
}

void BM_DBaseOpen(benchmark::State& state) { Open(state, MillionDBaseTable()); }
void BM_DBaseReadAllFields(benchmark::State& state) { ReadAll(state, MillionDBaseTable()); }
void BM_DBaseReadOneField(benchmark::State& state) { ReadOneField(state, MillionDBaseTable(), "NAME"); }
void BM_ParadoxOpen(benchmark::State& state) { Open(state, MillionParadoxTable()); }
void BM_ParadoxReadAllFields(benchmark::State& state) { ReadAll(state, MillionParadoxTable()); }
void BM_ParadoxReadOneField(benchmark::State& state) { ReadOneField(state, MillionParadoxTable(), "Name"); }

BENCHMARK(BM_DBaseOpen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_DBaseReadAllFields)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_DBaseReadOneField)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ParadoxOpen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ParadoxReadAllFields)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ParadoxReadOneField)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
