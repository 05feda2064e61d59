// Restructuring a million-record file of ten fields (one field renamed, one retyped) against
// loading and saving the same file, side by side in one run; and the same restructure run by the
// structure window with its messages let through (the longest pause between two rounds of
// messages is reported).

#include "app/Main.h"
#include "bench/common/BenchPair.h"
#include "bench/common/MillionPacket.h"
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

// The shared million-record packet: integers, strings, dates, time stamps, floats.
const QString& PristineFile()
{
    static QString path;
    if (!path.isEmpty()) return path;
    path = Dir().filePath(QStringLiteral("pristine.cds"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(MillionPacket::Bytes(pfBinary));
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
    rows[4].Type = QStringLiteral("Float");          // retyped: Qty, a small integer
    return rows;
}

void BM_RestructureVsLoadAndSave(benchmark::State& state)
{
    const QString work = FreshCopy();
    const QString target = Dir().filePath(QStringLiteral("saved.cds"));
    const TFieldDefRows rows = ChangedRows(work);
    TBenchPair pair;
    for (auto _ : state) {
        FreshCopy();
        TimePair(
            state, pair, [&] { benchmark::DoNotOptimize(RestructureDataFile(work, rows)); },
            [&] {
                TClientDataSet ds;
                ds.LoadFromFile(PristineFile());
                ds.SaveToFile(target);
                ds.Close();
            });
    }
    pair.Report(state);
}
BENCHMARK(BM_RestructureVsLoadAndSave)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);

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
        t->Locate(QStringLiteral("Name"), TVariant(QStringLiteral("Qty")));
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
