// Saving a data file of a million records through the atomic writer, record by record.

#include "platform/core/AtomicFile.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
void BM_AtomicWriterMillionRecords(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("million.cds");
    const int recordSize = int(state.range(0));
    QByteArray record(recordSize, 'r');
    for (auto _ : state) {
        TAtomicFileWriter writer(path);
        for (int i = 0; i < 1000000; ++i) {
            record[0] = char(i);
            writer.Write(record.constData(), record.size());
        }
        writer.Commit();
    }
    state.SetBytesProcessed(state.iterations() * qint64(recordSize) * 1000000);
}
BENCHMARK(BM_AtomicWriterMillionRecords)->Arg(16)->Arg(100)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_AtomicWriteWholeFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("whole.cds");
    const QByteArray bytes(int(state.range(0)), 'x');
    for (auto _ : state) AtomicWriteFile(path, bytes);
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_AtomicWriteWholeFile)->Arg(4096)->Arg(100 << 20)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
} // namespace
