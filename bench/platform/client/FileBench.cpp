// Loading and saving a file of a million records of ten fields through the client dataset, each
// against its yardstick in the same run: binary load against reading the same bytes from the
// page cache into a reused buffer, XML load against binary load, and each save (atomic, synced)
// against the load of its format. A binary file's records are decoded when first needed, so
// the comparisons with a binary load are also made against a load that reads every record.

#include "bench/common/BenchPair.h"
#include "bench/common/MillionPacket.h"
#include "platform/client/ClientDataSet.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct TFiles {
    QTemporaryDir Dir;
    QString Binary, Xml;
    TFiles()
    {
        Binary = Dir.filePath("million.cds");
        Xml = Dir.filePath("million.xml");
        for (auto [name, format] : {std::pair{Binary, pfBinary}, std::pair{Xml, pfXml}}) {
            QFile f(name);
            f.open(QIODevice::WriteOnly);
            f.write(MillionPacket::Bytes(format));
        }
    }
};

TFiles& Files()
{
    static TFiles files;
    return files;
}

// The yardstick of a load: the file's bytes from the page cache into a buffer that is reused
// (so that its pages are not new to the process each time).
class TReusedRead {
public:
    explicit TReusedRead(const QString& name) : FName(QFile::encodeName(name))
    {
        FBuffer.assign(size_t(QFile(name).size()), 1);
        Run();
    }
    void Run()
    {
        const int fd = ::open(FName.constData(), O_RDONLY | O_CLOEXEC);
        size_t done = 0;
        while (fd >= 0 && done < FBuffer.size()) {
            const ssize_t n = ::read(fd, FBuffer.data() + done, FBuffer.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        if (fd >= 0) ::close(fd);
        benchmark::DoNotOptimize(FBuffer.data());
    }

private:
    QByteArray FName;
    std::vector<char> FBuffer;
};

std::unique_ptr<TClientDataSet> Load(const QString& name)
{
    auto ds = std::make_unique<TClientDataSet>();
    ds->LoadFromFile(name);
    if (ds->RecordCount() != MillionPacket::Rows) throw std::runtime_error("wrong record count");
    return ds;
}

// A load after which every record has been read once (a binary file's records are otherwise
// decoded only when first needed): a search for a value no record holds reads them all.
std::unique_ptr<TClientDataSet> LoadEveryRecord(const QString& name)
{
    auto ds = Load(name);
    if (ds->Locate("ID", -1)) throw std::runtime_error("found a record that is not there");
    return ds;
}

void BM_BinaryLoadVsReusedRead(benchmark::State& state)
{
    TReusedRead read(Files().Binary);
    Load(Files().Binary);
    TBenchPair pair;
    for (auto _ : state) {
        std::unique_ptr<TClientDataSet> ds;
        TimePair(state, pair, [&] { ds = Load(Files().Binary); }, [&] { read.Run(); });
    }
    pair.Report(state);
}

// The same with every record read, as a load that decodes them all at once would.
void BM_BinaryLoadEveryRecordVsReusedRead(benchmark::State& state)
{
    TReusedRead read(Files().Binary);
    LoadEveryRecord(Files().Binary);
    TBenchPair pair;
    for (auto _ : state) {
        std::unique_ptr<TClientDataSet> ds;
        TimePair(state, pair, [&] { ds = LoadEveryRecord(Files().Binary); }, [&] { read.Run(); });
    }
    pair.Report(state);
}

void BM_XmlLoadVsBinaryLoad(benchmark::State& state)
{
    Load(Files().Xml);
    TBenchPair pair;
    for (auto _ : state) {
        std::unique_ptr<TClientDataSet> a, b;
        TimePair(state, pair, [&] { a = Load(Files().Xml); }, [&] { b = Load(Files().Binary); });
    }
    pair.Report(state);
}

// The same with the binary file's records all read, as loading them all at once would.
void BM_XmlLoadVsBinaryLoadEveryRecord(benchmark::State& state)
{
    Load(Files().Xml);
    TBenchPair pair;
    for (auto _ : state) {
        std::unique_ptr<TClientDataSet> a, b;
        TimePair(state, pair, [&] { a = Load(Files().Xml); }, [&] { b = LoadEveryRecord(Files().Binary); });
    }
    pair.Report(state);
}

void SaveVsLoad(benchmark::State& state, const QString& file, TDataPacketFormat format, bool everyRecord = false)
{
    auto ds = Load(file);
    const QString target = Files().Dir.filePath(format == dfBinary ? "saved.cds" : "saved.xml");
    ds->SaveToFile(target, format);
    TBenchPair pair;
    for (auto _ : state) {
        std::unique_ptr<TClientDataSet> loaded;
        TimePair(state, pair, [&] { ds->SaveToFile(target, format); }, [&] { loaded = everyRecord ? LoadEveryRecord(file) : Load(file); });
    }
    pair.Report(state);
}

void BM_BinarySaveVsBinaryLoad(benchmark::State& state) { SaveVsLoad(state, Files().Binary, dfBinary); }
void BM_XmlSaveVsXmlLoad(benchmark::State& state) { SaveVsLoad(state, Files().Xml, dfXML); }
void BM_BinarySaveVsBinaryLoadEveryRecord(benchmark::State& state) { SaveVsLoad(state, Files().Binary, dfBinary, true); }

} // namespace

BENCHMARK(BM_BinaryLoadVsReusedRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_BinaryLoadEveryRecordVsReusedRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_XmlLoadVsBinaryLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_XmlLoadVsBinaryLoadEveryRecord)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_BinarySaveVsBinaryLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_BinarySaveVsBinaryLoadEveryRecord)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_XmlSaveVsXmlLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
