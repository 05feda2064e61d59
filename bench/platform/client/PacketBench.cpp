// Load and save of a generated packet of 1,000,000 rows of ten fields, binary and XML, through a
// counting sink and through the document model, against reading and writing the same bytes with
// no parsing at all.

#include "bench/common/MillionPacket.h"
#include "platform/client/PacketDocument.h"
#include "platform/client/PacketFile.h"
#include "platform/client/PacketValues.h"

#include <benchmark/benchmark.h>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>

namespace {

constexpr qint64 Rows = MillionPacket::Rows;

class TCountingSink : public IPacketSink {
public:
    void BeginPacket(const TPacketMetadata&, qint64) override {}
    void BeginRow(int, quint8) override { ++Rows; }
    void Cell(int, const TPacketCell& c) override { Sum += c.Int + c.Size; }
    void EndNested(int) override {}
    void EndRow() override {}
    void EndPacket() override {}
    qint64 Rows = 0;
    qint64 Sum = 0;
};

struct TFiles {
    QTemporaryDir Dir;
    QString Binary, Xml;
    QByteArray BinaryBytes, XmlBytes;
    TFiles()
    {
        MillionPacket::TSource source;
        BinaryBytes = WritePacket(source, pfBinary);
        XmlBytes = WritePacket(source, pfXml);
        Binary = Dir.filePath("bench.cds");
        Xml = Dir.filePath("bench.xml");
        for (auto [name, bytes] : {std::pair{Binary, &BinaryBytes}, std::pair{Xml, &XmlBytes}}) {
            QFile f(name);
            f.open(QIODevice::WriteOnly);
            f.write(*bytes);
        }
    }
};

TFiles& Files()
{
    static TFiles files;
    return files;
}

void WriteRaw(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

// Reading the bytes from the page cache into a buffer allocated and touched once: a fresh buffer
// for every read would time the system's handing out of new pages, not the reading.
void BM_RawRead(benchmark::State& state, bool xml)
{
    const QString name = xml ? Files().Xml : Files().Binary;
    QByteArray buffer((xml ? Files().XmlBytes : Files().BinaryBytes).size(), Qt::Uninitialized);
    std::memset(buffer.data(), 1, size_t(buffer.size()));
    for (auto _ : state) {
        QFile f(name);
        f.open(QIODevice::ReadOnly);
        qint64 done = 0;
        while (done < buffer.size()) {
            const qint64 n = f.read(buffer.data() + done, buffer.size() - done);
            if (n <= 0) break;
            done += n;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * buffer.size());
}

void BM_LoadCounting(benchmark::State& state, bool xml)
{
    const QString name = xml ? Files().Xml : Files().Binary;
    for (auto _ : state) {
        TCountingSink sink;
        ReadPacketFile(name, sink);
        if (sink.Rows != Rows) state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(sink.Sum);
    }
}

void BM_LoadDocument(benchmark::State& state, bool xml)
{
    const QString name = xml ? Files().Xml : Files().Binary;
    for (auto _ : state) {
        TPacketDocument doc;
        ReadPacketFile(name, doc);
        if (doc.RowCount(0) != Rows) state.SkipWithError("wrong row count");
    }
}

void BM_RawWrite(benchmark::State& state, bool xml)
{
    const QByteArray& bytes = xml ? Files().XmlBytes : Files().BinaryBytes;
    const QString name = Files().Dir.filePath("raw.out");
    for (auto _ : state) WriteRaw(name, bytes);
}

void BM_SaveDocument(benchmark::State& state, bool xml)
{
    TPacketDocument doc;
    ReadPacket(Files().BinaryBytes, doc);
    const QString name = Files().Dir.filePath("doc.out");
    for (auto _ : state) {
        QFile f(name);
        f.open(QIODevice::WriteOnly);
        WritePacket(doc, xml ? pfXml : pfBinary, f);
    }
}

} // namespace

BENCHMARK_CAPTURE(BM_RawRead, binary, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadCounting, binary, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadDocument, binary, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RawWrite, binary, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveDocument, binary, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RawRead, xml, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadCounting, xml, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadDocument, xml, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RawWrite, xml, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveDocument, xml, true)->Unit(benchmark::kMillisecond);
