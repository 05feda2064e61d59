// The migration window's run on large files: Append, and Update matching every record by a
// locate field, the latter side by side with loading and saving the destination. Timed: the
// run itself with the final save; reading the two files when they are chosen is not.

#include "app/UMigrate.h"
#include "bench/common/BenchPair.h"
#include "bench/common/MillionPacket.h"
#include "platform/client/ClientDataSet.h"
#include "gridlib/core/kqradiogroup.h"
#include "utilities/ToolEdit.h"

#include <QFile>
#include <QListWidget>
#include <QComboBox>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {
QTemporaryDir& Dir()
{
    static QTemporaryDir dir;
    return dir;
}

// The shared packet of ten fields (ID first); IDs in a scrambled order so that lookups do not
// walk the file in step.
QString DataFile(int records, bool scrambled)
{
    static std::map<std::pair<int, bool>, QString> made;
    QString& path = made[{records, scrambled}];
    if (!path.isEmpty()) return path;
    path = Dir().filePath(QStringLiteral("data-%1-%2.cds").arg(records).arg(scrambled ? "s" : "o"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(MillionPacket::Bytes(pfBinary, records, scrambled));
    return path;
}

QString EmptyFile() { return DataFile(0, false); }

void RunMigration(benchmark::State& state, int mode)
{
    const int records = int(state.range(0));
    const QString source = DataFile(records, false);
    const QString start = mode == umAppend ? EmptyFile() : DataFile(records, true);
    const QString dest = Dir().filePath(QStringLiteral("dest.cds"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(dest);
        QFile::copy(start, dest);
        auto form = std::make_unique<TFrmMigrate>();
        form->EdtToDoSource->SetText(source);
        form->SetDestination(dest);
        form->rgUpdateMode->SetItemIndex(mode);
        form->btnAddAllClick();
        if (mode == umUpdate) {
            form->EdtSourceField->setCurrentIndex(0);
            form->EdtDestField->setCurrentIndex(0);
        }
        state.ResumeTiming();
        form->MigrateRecords();
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * records);
}

void BM_MigrateAppend(benchmark::State& state) { RunMigration(state, umAppend); }

// Update with ID as the locate field on both sides, every source record matching one in the
// destination (whose IDs are in another order), against loading and saving the destination.
void BM_MigrateUpdateVsLoadAndSave(benchmark::State& state)
{
    const int records = int(state.range(0));
    const QString source = DataFile(records, false);
    const QString start = DataFile(records, true);
    const QString dest = Dir().filePath(QStringLiteral("dest.cds"));
    const QString saved = Dir().filePath(QStringLiteral("saved.cds"));
    TBenchPair pair;
    for (auto _ : state) {
        QFile::remove(dest);
        QFile::copy(start, dest);
        auto form = std::make_unique<TFrmMigrate>();
        form->EdtToDoSource->SetText(source);
        form->SetDestination(dest);
        form->rgUpdateMode->SetItemIndex(umUpdate);
        form->btnAddAllClick();
        form->EdtSourceField->setCurrentIndex(0);
        form->EdtDestField->setCurrentIndex(0);
        TimePair(
            state, pair, [&] { form->MigrateRecords(); },
            [&] {
                TClientDataSet ds;
                ds.LoadFromFile(start);
                ds.SaveToFile(saved);
                ds.Close();
            });
    }
    pair.Report(state);
}

BENCHMARK(BM_MigrateAppend)->Arg(100000)->Arg(1000000)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MigrateUpdateVsLoadAndSave)->Arg(1000000)->UseManualTime()->Iterations(1)->Repetitions(5)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
} // namespace
