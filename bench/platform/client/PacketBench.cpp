// Load and save of a generated packet of 1,000,000 rows of ten fields, binary and XML, through a
// counting sink and through the document model, against reading and writing the same bytes with
// no parsing at all.

#include "platform/client/PacketDocument.h"
#include "platform/client/PacketFile.h"
#include "platform/client/PacketValues.h"

#include <benchmark/benchmark.h>
#include <QFile>
#include <QTemporaryDir>

namespace {

using namespace PacketTypeWord;

constexpr qint64 Rows = 1000000;

TPacketMetadata TenFields()
{
    auto field = [](const char* name, quint32 type, int width = -1) {
        TPacketFieldDesc f;
        f.Name = name;
        f.TypeWord = type;
        if (width >= 0) f.Params.Set(TPacketParam::MakeInt("WIDTH", UInt16, width));
        return f;
    };
    TPacketMetadata m;
    m.Fields = {field("ID", Int32), field("Name", 0x00490001, 30), field("City", 0x00490001, 20),
                field("Amount", Double), field("Qty", Int16), field("Created", Make(ptcTimeStamp, 8)),
                field("Birth", Make(ptcDate, 4)), field("Active", Boolean), field("Code", Int64),
                field("Note", 0x00490001, 60)};
    m.Params.Set(TPacketParam::MakeInt("LCID", Int32, 1033));
    m.Prepare();
    return m;
}

// Rows made on the fly, so that the packet is written without a document in between.
class TGenerated : public IPacketSource {
public:
    void Produce(IPacketSink& sink) override
    {
        static const char* const names[] = {"Anderson", "Bernardes", "Carvalho", "Dominguez", "Eriksson", "Fontaine"};
        static const char* const cities[] = {"Lisboa", "Porto", "Amsterdam", "Rio de Janeiro", "Montreal"};
        const TPacketMetadata meta = TenFields();
        sink.BeginPacket(meta, Rows);
        char note[64];
        for (qint64 r = 0; r < Rows; ++r) {
            sink.BeginRow(0, 0);
            const char* name = names[r % 6];
            const char* city = cities[r % 5];
            sink.Cell(0, TPacketCell::OfInt(pkInt32, r + 1));
            sink.Cell(1, TPacketCell::OfBytes(pkAnsiString, name, qsizetype(strlen(name))));
            sink.Cell(2, TPacketCell::OfBytes(pkAnsiString, city, qsizetype(strlen(city))));
            sink.Cell(3, TPacketCell::OfFloat(pkDouble, double(r % 100000) / 100.0 + 0.25));
            sink.Cell(4, TPacketCell::OfInt(pkInt16, r % 1000));
            sink.Cell(5, TPacketCell::OfFloat(pkTimeStamp, (730000.0 + double(r % 3650)) * 86400000.0 + double(r % 86400) * 1000.0));
            sink.Cell(6, TPacketCell::OfInt(pkDate, 700000 + r % 20000));
            sink.Cell(7, TPacketCell::OfInt(pkBoolean, r & 1));
            sink.Cell(8, TPacketCell::OfInt(pkInt64, r * 7919));
            if (r % 4 == 0) {
                sink.Cell(9, TPacketCell::Null(pkAnsiString));
            } else {
                const int n = snprintf(note, sizeof note, "Customer note number %lld", (long long)r);
                sink.Cell(9, TPacketCell::OfBytes(pkAnsiString, note, n));
            }
            sink.EndRow();
        }
        sink.EndPacket();
    }
};

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
        TGenerated source;
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

QByteArray ReadRaw(const QString& name)
{
    QFile f(name);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void WriteRaw(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

void BM_RawRead(benchmark::State& state, bool xml)
{
    const QString name = xml ? Files().Xml : Files().Binary;
    for (auto _ : state) {
        QByteArray b = ReadRaw(name);
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(state.iterations() * (xml ? Files().XmlBytes : Files().BinaryBytes).size());
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
