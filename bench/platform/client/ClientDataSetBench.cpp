// The client dataset on a million records of ten fields: filling, editing with the change log
// growing, indexing, searching, undoing, loading and saving, and memory per record.

#include "bench/common/BenchPair.h"
#include "platform/client/ClientDataSet.h"
#include "platform/client/PacketValues.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <malloc.h>
#include <QTemporaryDir>

#include <memory>
#include <random>

namespace {

constexpr int Million = 1000000;

std::unique_ptr<TClientDataSet> NewTable()
{
    auto ds = std::make_unique<TClientDataSet>();
    ds->FieldDefs().Add("ID", ftInteger);
    ds->FieldDefs().Add("Qty", ftInteger);
    ds->FieldDefs().Add("Code", ftInteger);
    ds->FieldDefs().Add("Price", ftFloat);
    ds->FieldDefs().Add("Weight", ftFloat);
    ds->FieldDefs().Add("Rate", ftFloat);
    ds->FieldDefs().Add("Name", ftString, 30);
    ds->FieldDefs().Add("City", ftString, 30);
    ds->FieldDefs().Add("Born", ftDate);
    ds->FieldDefs().Add("Joined", ftDate);
    ds->CreateDataSet();
    return ds;
}

QString NameOf(quint32 n)
{
    // About twenty characters, varied at the front so that sorting has work to do.
    static const char* const first[] = {"Maria", "John", "Anne", "Paul", "Lucia", "Peter", "Olga", "Ivan"};
    return QStringLiteral("%1 %2 Person%3").arg(QLatin1String(first[n % 8])).arg((n * 2654435761u) % 100000, 5, 10, QLatin1Char('0')).arg(n % 1000);
}

void AppendRows(TClientDataSet& ds, int count, int firstId = 0)
{
    TField* f[10];
    for (int i = 0; i < 10; ++i) f[i] = ds.Fields()[i];
    ds.DisableControls();
    for (int i = 0; i < count; ++i) {
        const int id = firstId + i;
        ds.Append();
        f[0]->SetAsInteger(id);
        f[1]->SetAsInteger(id % 97);
        f[2]->SetAsInteger(id * 7);
        f[3]->SetAsFloat(id * 0.25);
        f[4]->SetAsFloat(id / 3.0);
        f[5]->SetAsFloat(1.5);
        f[6]->SetAsString(NameOf(quint32(id)));
        f[7]->SetAsString(QStringLiteral("City number %1").arg(id % 5000));
        f[8]->SetAsDateTime(30000 + id % 20000);
        f[9]->SetAsDateTime(40000 + id % 3000);
        ds.Post();
    }
    ds.EnableControls();
}

// A million records, change log merged.
std::unique_ptr<TClientDataSet> MillionTable()
{
    auto ds = NewTable();
    ds->SetLogChanges(false);
    AppendRows(*ds, Million);
    ds->SetLogChanges(true);
    ds->MergeChangeLog();
    return ds;
}

// Bytes the allocator has handed out and not got back (small blocks and mapped ones), so that
// memory freed by earlier benchmarks does not hide what a dataset takes.
qint64 HeapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}

void EditOne(TClientDataSet& ds, std::mt19937& rng)
{
    ds.SetRecNo(int(rng() % quint32(ds.RecordCount())) + 1);
    ds.Edit();
    ds.Fields()[1]->SetAsInteger(int(rng() % 1000));
    ds.Post();
}

} // namespace

static void BM_AppendAndPostMillion(benchmark::State& state)
{
    for (auto _ : state) {
        auto ds = NewTable();
        AppendRows(*ds, Million);
        benchmark::DoNotOptimize(ds->RecordCount());
        state.PauseTiming();
        ds.reset();
        state.ResumeTiming();
    }
    state.counters["records"] = Million;
}
BENCHMARK(BM_AppendAndPostMillion)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

// One edit, insert or delete with the change log at 1,000,000 entries against the same with it at
// 20,000, side by side: the cost stays flat. Each iteration times 2,000 changes on either side.
static void BM_ChangeWithMillionLogVsTwentyThousand(benchmark::State& state)
{
    const int kind = int(state.range(0));        // 0 edit, 1 insert, 2 delete
    struct TSide {
        std::unique_ptr<TClientDataSet> Ds;
        std::mt19937 Rng{42};
        int Next = Million;
    };
    TSide sides[2];
    const int logs[2] = {Million, 20000};
    for (TSide& side : sides) side.Ds = MillionTable();
    // The two sides' edits in step, so that neither side's memory all comes before the other's
    // (the side made first is slower on some machines, whatever its log).
    for (int n = 0; n < logs[0]; ++n) {
        EditOne(*sides[0].Ds, sides[0].Rng);
        if (n % (logs[0] / logs[1]) == 0) EditOne(*sides[1].Ds, sides[1].Rng);
    }
    // The first deletion turns the view into a list of its own (once, linear): not timed.
    if (kind == 2)
        for (TSide& side : sides) side.Ds->Delete();
    auto run = [&](TSide& side) {
        TClientDataSet& ds = *side.Ds;
        for (int n = 0; n < 2000; ++n) {
            switch (kind) {
            case 0:
                EditOne(ds, side.Rng);
                break;
            case 1:
                ds.SetRecNo(int(side.Rng() % quint32(ds.RecordCount())) + 1);
                ds.Insert();
                ds.Fields()[0]->SetAsInteger(side.Next++);
                ds.Fields()[6]->SetAsString(QStringLiteral("Inserted somebody"));
                ds.Post();
                break;
            default:
                ds.SetRecNo(int(side.Rng() % quint32(ds.RecordCount())) + 1);
                ds.Delete();
                break;
            }
        }
    };
    TBenchPair pair;
    for (auto _ : state) TimePair(state, pair, [&] { run(sides[0]); }, [&] { run(sides[1]); });
    pair.Report(state);
    state.counters["log_A"] = sides[0].Ds->ChangeCount();
    state.counters["log_B"] = sides[1].Ds->ChangeCount();
}
BENCHMARK(BM_ChangeWithMillionLogVsTwentyThousand)->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

static void BM_AddIndexOnString(benchmark::State& state)
{
    auto ds = MillionTable();
    int n = 0;
    for (auto _ : state) {
        const QString name = QStringLiteral("ByName%1").arg(n++);
        ds->AddIndex(name, "Name");
        ds->SetIndexName(name);
        state.PauseTiming();
        ds->SetIndexName("");
        ds->DeleteIndex(name);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddIndexOnString)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

static void BM_LocateUnindexed(benchmark::State& state)
{
    auto ds = MillionTable();
    const QString last = NameOf(Million - 5);
    for (auto _ : state) {
        ds->First();
        if (!ds->Locate("Name", last)) state.SkipWithError("not found");
    }
}
BENCHMARK(BM_LocateUnindexed)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

static void BM_LocateIndexed(benchmark::State& state)
{
    auto ds = MillionTable();
    ds->SetIndexFieldNames("Name");
    const QString last = NameOf(Million - 5);
    for (auto _ : state)
        if (!ds->Locate("Name", last)) state.SkipWithError("not found");
}
BENCHMARK(BM_LocateIndexed)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

static void BM_UndoLastOfAMillionChanges(benchmark::State& state)
{
    auto ds = MillionTable();
    std::mt19937 rng(7);
    for (int i = 0; i < Million; ++i) EditOne(*ds, rng);
    for (auto _ : state)
        if (!ds->UndoLastChange(true)) state.SkipWithError("nothing to undo");
    state.counters["log"] = ds->ChangeCount();
}
BENCHMARK(BM_UndoLastOfAMillionChanges)->Iterations(1000)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

static void BM_SaveAndLoadBinary(benchmark::State& state)
{
    auto ds = MillionTable();
    QTemporaryDir dir;
    const QString path = dir.filePath("million.cds");
    const bool load = state.range(0) == 1;
    if (load) ds->SaveToFile(path);
    for (auto _ : state) {
        if (load) {
            TClientDataSet copy;
            copy.LoadFromFile(path);
            benchmark::DoNotOptimize(copy.RecordCount());
        } else {
            ds->SaveToFile(path);
        }
    }
    state.counters["bytes"] = double(QFile(path).size());
}
BENCHMARK(BM_SaveAndLoadBinary)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

// Memory of a loaded million-record dataset with every record read (a binary file's records are
// decoded when first needed) against its binary packet.
static void BM_MemoryPerRecord(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("million.cds");
    {
        auto ds = MillionTable();
        ds->SaveToFile(path);
    }
    const double packetPerRecord = double(QFile(path).size()) / Million;
    double heapPerRecord = 0;
    for (auto _ : state) {
        // Blocks kept for reuse would be taken without showing as new memory.
        PacketReleaseCache();
        const qint64 before = HeapInUse();
        TClientDataSet ds;
        ds.LoadFromFile(path);
        if (ds.Locate("ID", -1)) state.SkipWithError("found a record that is not there");
        heapPerRecord = double(HeapInUse() - before) / Million;
        benchmark::DoNotOptimize(ds.RecordCount());
    }
    state.counters["packet_B_per_rec"] = packetPerRecord;
    state.counters["memory_B_per_rec"] = heapPerRecord;
    state.counters["ratio"] = heapPerRecord / packetPerRecord;
}
BENCHMARK(BM_MemoryPerRecord)->Unit(benchmark::kMillisecond)->Iterations(1);

// The packet of a million records in memory (SaveToFile adds writing it to disk and syncing).
static void BM_DataPacketMillion(benchmark::State& state)
{
    auto ds = MillionTable();
    for (auto _ : state) benchmark::DoNotOptimize(ds->Data().size());
}
BENCHMARK(BM_DataPacketMillion)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

// The first deletion of a million-record dataset: the view becomes a list of its own.
static void BM_FirstDeletionOfAMillion(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto ds = MillionTable();
        ds->SetRecNo(Million / 2);
        state.ResumeTiming();
        ds->Delete();
        state.PauseTiming();
        ds.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstDeletionOfAMillion)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);
