// Restructuring a million-record file (one field renamed, one retyped) against what loading
// and saving the same file costs, and the same restructure run by the structure window with
// its messages let through (the longest pause between two rounds of messages is reported).

#include "app/Main.h"
#include "app/UGeneral.h"
#include "app/UModifyEditStruct.h"
#include "app/URestructure.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Forms.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

namespace {
constexpr int Records = 1000000;

QTemporaryDir& Dir()
{
    static QTemporaryDir dir;
    return dir;
}

// Ten fields of the usual kinds.
const QString& PristineFile()
{
    static QString path;
    if (!path.isEmpty()) return path;
    path = Dir().filePath(QStringLiteral("pristine.cds"));
    TClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("ID"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 30);
    ds.FieldDefs().Add(QStringLiteral("City"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("Amount"), ftFloat);
    ds.FieldDefs().Add(QStringLiteral("Price"), ftCurrency);
    ds.FieldDefs().Add(QStringLiteral("Born"), ftDate);
    ds.FieldDefs().Add(QStringLiteral("Count"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("Active"), ftBoolean);
    ds.FieldDefs().Add(QStringLiteral("Code"), ftString, 8);
    ds.FieldDefs().Add(QStringLiteral("Stamp"), ftDateTime);
    ds.CreateDataSet();
    ds.SetLogChanges(false);
    for (int i = 0; i < Records; ++i) {
        ds.Append();
        ds.Fields()[0]->SetAsInteger(i);
        ds.Fields()[1]->SetAsString(QStringLiteral("Customer %1").arg(i));
        ds.Fields()[2]->SetAsString(i % 3 ? QStringLiteral("Lisboa") : QStringLiteral("Porto"));
        ds.Fields()[3]->SetAsFloat(i * 0.25);
        ds.Fields()[4]->SetAsCurrency(TCurrency::FromScaled(i * 100));
        ds.Fields()[5]->SetAsDateTime(36526 + i % 9000);
        ds.Fields()[6]->SetAsInteger(i % 1000);
        ds.Fields()[7]->SetAsBoolean(i % 2);
        ds.Fields()[8]->SetAsString(QStringLiteral("C%1").arg(i % 10000));
        ds.Fields()[9]->SetAsDateTime(36526.5 + i % 9000);
        ds.Post();
    }
    ds.SaveToFile(path);
    return path;
}

QString FreshCopy()
{
    const QString work = Dir().filePath(QStringLiteral("work.cds"));
    QFile::remove(work);
    QFile::copy(PristineFile(), work);
    QFile::setPermissions(work, QFile::ReadOwner | QFile::WriteOwner);
    return work;
}

TFieldDefRows ChangedRows(const QString& path)
{
    TClientDataSet ds;
    ds.SetReadOnly(true);
    ds.SetFileName(path);
    ds.Open();
    TFieldDefRows rows;
    for (int i = 0; i < ds.FieldDefs().Count(); ++i) {
        const TFieldDef* d = ds.FieldDefs().Items(i);
        rows.append({d->Name(), d->Name(), FieldTypeName(d->DataType()), QString::number(d->Size()), {}});
    }
    ds.Close();
    rows[1].Name = QStringLiteral("CustomerName");   // renamed
    rows[6].Type = QStringLiteral("Float");          // retyped
    return rows;
}

void BM_LoadAndSave(benchmark::State& state)
{
    const QString work = FreshCopy();
    const QString target = Dir().filePath(QStringLiteral("saved.cds"));
    for (auto _ : state) {
        TClientDataSet ds;
        ds.LoadFromFile(work);
        ds.SaveToFile(target);
        ds.Close();
    }
    state.SetItemsProcessed(state.iterations() * Records);
}
BENCHMARK(BM_LoadAndSave)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RestructureFile(benchmark::State& state)
{
    const QString work = FreshCopy();
    const TFieldDefRows rows = ChangedRows(work);
    for (auto _ : state) {
        state.PauseTiming();
        FreshCopy();
        state.ResumeTiming();
        benchmark::DoNotOptimize(RestructureDataFile(work, rows));
    }
    state.SetItemsProcessed(state.iterations() * Records);
}
BENCHMARK(BM_RestructureFile)->Unit(benchmark::kMillisecond)->Iterations(3);

// The structure window's Save: the copy lets messages through; a timer firing every 10 ms
// measures the longest time the window went without handling one.
void BM_RestructureInWindow(benchmark::State& state)
{
    const QString work = FreshCopy();
    double longestPause = 0;
    for (auto _ : state) {
        state.PauseTiming();
        FreshCopy();
        TFrmModifyEditStruct window;
        window.OpenStructure(work);
        TClientDataSet* t = window.cdsFieldDefs;
        t->Locate(QStringLiteral("Name"), TVariant(QStringLiteral("Name")));
        t->Edit();
        t->FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("CustomerName"));
        t->Post();
        window.NewFile = false;
        t->Locate(QStringLiteral("Name"), TVariant(QStringLiteral("Count")));
        t->Edit();
        t->FieldByName(QStringLiteral("Type"))->SetAsString(QStringLiteral("Float"));
        // Changing the type asks; this run has its answer already.
        auto before = t->BeforePost;
        t->BeforePost = nullptr;
        t->Post();
        t->BeforePost = before;
        QElapsedTimer clock;
        qint64 last = 0;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longestPause = std::max(longestPause, double(now - last));
            last = now;
        });
        state.ResumeTiming();
        clock.start();
        ticker.start();
        window.SaveStructure();
        ticker.stop();
    }
    state.counters["longest_pause_ms"] = longestPause;
    state.SetItemsProcessed(state.iterations() * Records);
}
BENCHMARK(BM_RestructureInWindow)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace
