// The library's table over a million generated dBASE records: a filter text compiled into the
// cursor's filter against the same condition written as a record-filter handler reading the
// fields, and key searches and ranges over an order built by a field list against Locate.

#include "bench/platform/tables/MillionTables.h"
#include "gridlib/core/Kqtable.h"

#include <benchmark/benchmark.h>

namespace {

// AMOUNT > 600000 (records from 480,001 on) and ACTIVE (odd records): about 260,000 records.
void BM_FilterByHandler(benchmark::State& state)
{
    for (auto _ : state) {
        TkqTable table;
        table.SetTableName(MillionDBaseTable());
        table.Open();
        TField* amount = table.FieldByName(QStringLiteral("AMOUNT"));
        TField* active = table.FieldByName(QStringLiteral("ACTIVE"));
        table.OnFilterRecord = [&](TDataSet*, bool& accept) { accept = amount->AsFloat() > 600000 && active->AsBoolean(); };
        table.SetFiltered(true);
        benchmark::DoNotOptimize(table.RecordCount());
    }
}

void BM_FilterByText(benchmark::State& state)
{
    for (auto _ : state) {
        TkqTable table;
        table.SetTableName(MillionDBaseTable());
        table.SetkqFilter({QStringLiteral("AMOUNT > 600000 AND ACTIVE = T")});
        table.Open();
        benchmark::DoNotOptimize(table.RecordCount());
    }
}

// A text comparison: one city in the whole table.
void BM_TextFilterByHandler(benchmark::State& state)
{
    for (auto _ : state) {
        TkqTable table;
        table.SetTableName(MillionDBaseTable());
        table.Open();
        TField* name = table.FieldByName(QStringLiteral("NAME"));
        table.OnFilterRecord = [&](TDataSet*, bool& accept) { accept = name->AsString() == QLatin1String("Customer 777777"); };
        table.SetFiltered(true);
        benchmark::DoNotOptimize(table.RecordCount());
    }
}

void BM_TextFilterByText(benchmark::State& state)
{
    for (auto _ : state) {
        TkqTable table;
        table.SetTableName(MillionDBaseTable());
        table.SetkqFilter({QStringLiteral("NAME = \"Customer 777777\"")});
        table.Open();
        benchmark::DoNotOptimize(table.RecordCount());
    }
}

// Twenty searches by name on a freshly opened table: key searches over an order by NAME (its
// sort included) against Locate scanning the table.
constexpr int Searches = 20;

void BM_FindKeyByName(benchmark::State& state)
{
    for (auto _ : state) {
        TkqTable table;
        table.SetTableName(MillionDBaseTable());
        table.Open();
        table.SetIndexFieldNames(QStringLiteral("NAME"));
        for (int i = 0; i < Searches; ++i)
            benchmark::DoNotOptimize(table.FindKeyValues({QStringLiteral("Customer %1").arg(i * 49999)}, 0));
    }
}

void BM_LocateByName(benchmark::State& state)
{
    for (auto _ : state) {
        TkqTable table;
        table.SetTableName(MillionDBaseTable());
        table.Open();
        for (int i = 0; i < Searches; ++i)
            benchmark::DoNotOptimize(table.Locate(QStringLiteral("NAME"), TVariant(QStringLiteral("Customer %1").arg(i * 49999)), {}));
    }
}

// The records of one quantity: a range on an order by QTY against a record filter.
void BM_RangeByQuantity(benchmark::State& state)
{
    TkqTable table;
    table.SetTableName(MillionDBaseTable());
    table.Open();
    table.SetIndexFieldNames(QStringLiteral("QTY"));
    for (auto _ : state) {
        table.SetRangeFromKey({QStringLiteral("1234")}, {QStringLiteral("1234")});
        benchmark::DoNotOptimize(table.RecordCount());
        table.ClearRange();
    }
}

void BM_FilterByQuantity(benchmark::State& state)
{
    TkqTable table;
    table.SetTableName(MillionDBaseTable());
    table.Open();
    TField* qty = table.FieldByName(QStringLiteral("QTY"));
    table.OnFilterRecord = [&](TDataSet*, bool& accept) { accept = qty->AsInteger() == 1234; };
    for (auto _ : state) {
        table.SetFiltered(true);
        benchmark::DoNotOptimize(table.RecordCount());
        table.SetFiltered(false);
    }
}

BENCHMARK(BM_FilterByHandler)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_FilterByText)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TextFilterByHandler)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TextFilterByText)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_FindKeyByName)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LocateByName)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_RangeByQuantity)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_FilterByQuantity)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
