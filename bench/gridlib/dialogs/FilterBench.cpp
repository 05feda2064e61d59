// Filtering a million records by the filter dialog's criteria (the record callback of its
// hidden form) against the client dataset engine's own filter expression for the same
// condition, side by side: A is the dialog, B the engine. The criteria are prepared once per
// application, so both sides are one pass over the records.

#include "bench/common/BenchPair.h"
#include "bench/common/MillionPacket.h"
#include "gridlib/core/kqclient.h"
#include "gridlib/dialogs/kqfilter.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct TMillion {
    TMillion()
    {
        const QString path = dir.filePath(QStringLiteral("million.cds"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(MillionPacket::Bytes(pfBinary));
        file.close();
        ds.LoadFromFile(path);
        source.SetDataSet(&ds);
        dialog.SetDataSource(&source);
    }
    QTemporaryDir dir;
    TkqClientDataSet ds;
    TDataSource source;
    TkqFilterDialog dialog;
};

TMillion& Data()
{
    static TMillion data;
    return data;
}

TkqFieldInfo Criterion(const char* field, TkqFilterMatchType kind, const char* value, const char* lower = "",
                       const char* upper = "")
{
    TkqFieldInfo c;
    c.FieldName = c.DisplayLabel = QString::fromLatin1(field);
    c.MatchType = kind;
    c.FilterValue = QString::fromLatin1(value);
    c.MinValue = QString::fromLatin1(lower);
    c.MaxValue = QString::fromLatin1(upper);
    return c;
}

// range(0): 0 a case-insensitive start on a string, 1 a float range, 2 an or-list of exact
// strings, 3 an integer exact value.
void BM_FilterMillionDialogVsEngine(benchmark::State& state)
{
    TMillion& d = Data();
    TkqFieldInfo criterion;
    QString expression;
    TFilterOptions options;
    switch (state.range(0)) {
    case 0:
        criterion = Criterion("Name", fdMatchStart, "carv");
        expression = QStringLiteral("Name = 'carv*'");
        options = foCaseInsensitive;
        break;
    case 1:
        criterion = Criterion("Amount", fdMatchRange, "", "100", "200");
        expression = QStringLiteral("Amount >= 100 and Amount <= 200");
        break;
    case 2:
        criterion = Criterion("City", fdMatchExact, "lisboa or porto");
        expression = QStringLiteral("Upper(City) = 'LISBOA' or Upper(City) = 'PORTO'");
        break;
    default:
        criterion = Criterion("Qty", fdMatchExact, "7");
        expression = QStringLiteral("Qty = 7");
        break;
    }
    TBenchPair pair;
    int dialogCount = 0, engineCount = 0;
    for (auto _ : state) {
        TimePair(
            state, pair,
            [&] {
                d.dialog.SetCriteria({criterion});
                dialogCount = d.ds.RecordCount();
            },
            [&] {
                d.dialog.SetCriteria({});
                d.ds.SetFilterOptions(options);
                d.ds.SetFilter(expression);
                d.ds.SetFiltered(true);
                engineCount = d.ds.RecordCount();
            });
        d.ds.SetFiltered(false);
        d.ds.SetFilter(QString());
        d.ds.SetFilterOptions({});
    }
    pair.Report(state);
    state.counters["records"] = dialogCount;
    if (dialogCount != engineCount) state.SkipWithError("the two sides accept different records");
}

} // namespace

BENCHMARK(BM_FilterMillionDialogVsEngine)
    ->DenseRange(0, 3)
    ->UseManualTime()
    ->Iterations(3)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond)
    ->ReportAggregatesOnly(true);
