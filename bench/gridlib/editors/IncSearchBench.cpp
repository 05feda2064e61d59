// The incremental search answering keystrokes over a million records: through the dataset's
// index (the search halves over it) against the same search over the records in their stored
// order (a walk from the first record), side by side.

#include "gridlib/editors/kqincsearch.h"
#include "bench/gridlib/editors/ScrambledNames.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {
constexpr int Million = 1000000;

struct TBenchData {
    TClientDataSet ds;
    TDataSource source;
    TBenchData()
    {
        FillScrambledNames(ds, Million);
        source.SetDataSet(&ds);
    }
};

TBenchData& Data()
{
    static std::unique_ptr<TBenchData> data;
    if (!data) data = std::make_unique<TBenchData>();
    return *data;
}

// Arg 0: the records in their stored order; 1: an index on the searched field.
void BM_IncrementalSearchKeystrokes(benchmark::State& state)
{
    TBenchData& data = Data();
    data.ds.SetIndexFieldNames(state.range(0) ? QStringLiteral("Name") : QString());
    TkqIncrementalSearch search;
    search.SetDataSource(&data.source);
    search.SetSearchField(QStringLiteral("Name"));
    // The keystrokes of a user typing a name that lies deep in both orders.
    const QString target = QStringLiteral("name0777777");
    int keys = 0;
    for (auto _ : state) {
        for (int n = 6; n <= target.size(); ++n) {
            search.setText(target.left(n));
            search.SearchTypedText();
            ++keys;
        }
        if (data.ds.FieldByName(QStringLiteral("Name"))->AsString() != target) state.SkipWithError("not found");
    }
    state.SetItemsProcessed(keys);
    data.ds.SetIndexFieldNames(QString());
}
} // namespace

BENCHMARK(BM_IncrementalSearchKeystrokes)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
