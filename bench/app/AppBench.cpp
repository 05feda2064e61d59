// The folder tree's search and rebuild on a large folder, and the reading of one file's
// structure, which every expansion of a "Columns" node costs.

#include "app/UGeneral.h"
#include "app/Main.h"
#include "app/UTree.h"
#include "platform/client/ClientDataSet.h"
#include "treestatus/qeTreeView.h"
#include "utilities/ToolEdit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
// A folder of files with mixed extensions and case, as a user's data folder looks.
const QTemporaryDir& Folder(int files)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    auto& dir = folders[files];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        static const char* const exts[] = {".cds", ".xml", ".dat", ".txt", ".CDS"};
        for (int i = 0; i < files; ++i) {
            QFile f(dir->filePath(QStringLiteral("%1file %2%3").arg(QChar(i % 2 ? 'a' : 'B')).arg(i * 7919 % files).arg(
                QLatin1String(exts[i % 5]))));
            f.open(QIODevice::WriteOnly);
        }
    }
    return *dir;
}

void BM_BuildTree(benchmark::State& state)
{
    const QTemporaryDir& dir = Folder(int(state.range(0)));
    SetSettingsFileName(QDir::temp().filePath(QStringLiteral("quarrow-bench.ini")));
    TFrmTree tree;
    tree.EdtFilter->setCurrentText(QStringLiteral("*.cds;*.xml;*.dat"));
    tree.EdtDirectory->SetText(dir.path());
    for (auto _ : state) {
        tree.BuildTree();
        benchmark::DoNotOptimize(tree.FileList.size());
    }
    state.counters["files"] = double(tree.FileList.size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildTree)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_LoadFileStructure(benchmark::State& state)
{
    // A million-record file: only its field list is read.
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.cds"));
    if (!QFile::exists(path)) {
        TClientDataSet ds;
        ds.FieldDefs().Add(QStringLiteral("ID"), ftInteger);
        ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 20);
        ds.FieldDefs().Add(QStringLiteral("Amount"), ftFloat);
        ds.CreateDataSet();
        ds.SetLogChanges(false);
        for (int i = 0; i < 1000000; ++i) {
            ds.Append();
            ds.Fields()[0]->SetAsInteger(i);
            ds.Fields()[1]->SetAsString(QStringLiteral("name"));
            ds.Fields()[2]->SetAsFloat(i * 0.5);
            ds.Post();
        }
        ds.SaveToFile(path);
    }
    SetSettingsFileName(QDir::temp().filePath(QStringLiteral("quarrow-bench.ini")));
    TFrmTree tree;
    for (auto _ : state) tree.LoadFileStructure(path, nullptr);
}
BENCHMARK(BM_LoadFileStructure)->Unit(benchmark::kMillisecond);
} // namespace
