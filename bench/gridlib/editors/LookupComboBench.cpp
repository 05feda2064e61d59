// Typing in a lookup combo over a million lookup records: each keystroke's search goes through
// the lookup table's index on the display field (Locate halves over it) against the same
// combo over the records in their stored order (a walk from the first record), side by side.

#include "gridlib/editors/kqdblook.h"
#include "bench/gridlib/editors/ScrambledNames.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {
constexpr int Million = 1000000;

struct TLookupData {
    TClientDataSet ds;
    TLookupData()
    {
        FillScrambledNames(ds, Million);
    }
};

TLookupData& Data()
{
    static std::unique_ptr<TLookupData> data;
    if (!data) data = std::make_unique<TLookupData>();
    return *data;
}

// Arg 0: the records in their stored order; 1: an index on the display field.
void BM_LookupComboTypingKeystrokes(benchmark::State& state)
{
    TLookupData& data = Data();
    data.ds.SetIndexFieldNames(state.range(0) ? QStringLiteral("Name") : QString());
    TkqDBCustomLookupCombo combo;
    combo.SetLookupTable(&data.ds);
    combo.SetLookupField(QStringLiteral("Id"));
    combo.SetSelected({QStringLiteral("Name\t20\tName")});
    // The keystrokes of a user typing a name that lies deep in both orders; each is searched
    // as in the open list (a starts-with search).
    const QString target = QStringLiteral("name0777777");
    int keys = 0;
    for (auto _ : state) {
        for (int n = 6; n <= target.size(); ++n) {
            combo.setText(target.left(n));
            combo.AutoDropping = true;
            combo.PerformSearch();
            combo.AutoDropping = false;
            ++keys;
        }
        if (data.ds.FieldByName(QStringLiteral("Name"))->AsString() != target || !combo.TextMatched)
            state.SkipWithError("not found");
        data.ds.First();
        combo.LastSearchText.clear();
    }
    state.SetItemsProcessed(keys);
    data.ds.SetIndexFieldNames(QString());
}
} // namespace

BENCHMARK(BM_LookupComboTypingKeystrokes)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
