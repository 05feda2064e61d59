// The migration window's run on large files: Append, and Update matching every record by a
// locate field (which must stay near linear: each lookup halves an index). Timed: the run
// itself with the final save; reading the two files when they are chosen is not.

#include "app/UMigrate.h"
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

// The fields of the benchmark's files: ID Integer, Name String(20), Amount Float, City String(15).
void CreateTable(TClientDataSet& ds)
{
    ds.FieldDefs().Add(QStringLiteral("ID"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("Amount"), ftFloat);
    ds.FieldDefs().Add(QStringLiteral("City"), ftString, 15);
    ds.CreateDataSet();
}

// IDs in a scrambled order so that lookups do not walk the file in step.
QString DataFile(int records, bool scrambled)
{
    static std::map<std::pair<int, bool>, QString> made;
    QString& path = made[{records, scrambled}];
    if (!path.isEmpty()) return path;
    path = Dir().filePath(QStringLiteral("data-%1-%2.cds").arg(records).arg(scrambled ? "s" : "o"));
    TClientDataSet ds;
    CreateTable(ds);
    ds.SetLogChanges(false);
    TField* id = ds.FieldByName(QStringLiteral("ID"));
    TField* name = ds.FieldByName(QStringLiteral("Name"));
    TField* amount = ds.FieldByName(QStringLiteral("Amount"));
    TField* city = ds.FieldByName(QStringLiteral("City"));
    for (int i = 0; i < records; ++i) {
        const int key = scrambled ? int((qint64(i) * 7919) % records) : i;
        ds.Append();
        id->SetAsInteger(key);
        name->SetAsString(QStringLiteral("Name %1").arg(key));
        amount->SetAsFloat(key * 0.25);
        city->SetAsString(QStringLiteral("City %1").arg(key % 977));
        ds.Post();
    }
    ds.SaveToFile(path);
    return path;
}

QString EmptyFile()
{
    const QString path = Dir().filePath(QStringLiteral("empty.cds"));
    if (!QFile::exists(path)) {
        TClientDataSet ds;
        CreateTable(ds);
        ds.SaveToFile(path);
    }
    return path;
}

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
void BM_MigrateUpdateByLocate(benchmark::State& state) { RunMigration(state, umUpdate); }

BENCHMARK(BM_MigrateAppend)->Arg(100000)->Arg(1000000)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MigrateUpdateByLocate)->Arg(100000)->Arg(1000000)->Iterations(1)->Repetitions(3)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
} // namespace
