// File search over a large folder tree, and copying a large file.

#include "utilities/FileUtil.h"
#include "utilities/FindFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
// 100 folders of 1000 files each.
class TTree {
public:
    TTree()
    {
        QDir root(Dir.path());
        for (int d = 0; d < 100; ++d) {
            const QString folder = QString("folder%1").arg(d);
            root.mkdir(folder);
            for (int f = 0; f < 1000; ++f) {
                QFile file(root.filePath(folder + QString("/data%1.cds").arg(f)));
                file.open(QIODevice::WriteOnly);
            }
        }
    }
    QTemporaryDir Dir;
};

void BM_FindFileHundredThousandFiles(benchmark::State& state)
{
    static TTree tree;
    TFindFile find;
    find.SetDirectory(tree.Dir.path());
    find.SetFilter("*.cds");
    find.SetRecurse(true);
    for (auto _ : state) {
        find.Execute();
        benchmark::DoNotOptimize(find.Files().size());
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_FindFileHundredThousandFiles)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_CopyFile100MB(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src.cds");
    {
        QFile f(src);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(100 << 20, 'c'));
    }
    for (auto _ : state) CopyFileTo(src, dir.filePath("copy.cds"));
    state.SetBytesProcessed(state.iterations() * (100 << 20));
}
BENCHMARK(BM_CopyFile100MB)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
} // namespace
