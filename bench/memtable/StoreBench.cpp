// Load and save of a memory-table stream of a million records of ten fields.

#include "memtable/zohBinary.h"
#include "memtable/zohFieldData.h"

#include <QBuffer>
#include <benchmark/benchmark.h>

using namespace zohdata;

namespace {

constexpr int kRecords = 1000000;

std::vector<TzohFieldDesc> TenFields()
{
    auto def = [](const char* n, int t, int size = 0) {
        TzohFieldDesc d;
        d.Name = QString::fromLatin1(n);
        d.DataType = t;
        d.Size = size;
        return d;
    };
    return {def("Id", zft::Integer), def("Name", zft::String, 20), def("Price", zft::Float),
            def("Amount", zft::Currency), def("Born", zft::Date), def("Stamp", zft::DateTime),
            def("Active", zft::Boolean), def("Qty", zft::Smallint), def("Big", zft::Largeint),
            def("Note", zft::String, 40)};
}

std::vector<TzohStreamField> StreamFields(const TzohCommon& s)
{
    std::vector<TzohStreamField> f;
    for (int i = 0; i < s.FieldCount(); ++i) f.push_back({i, s.Slot(i).DataType, s.Slot(i).Size});
    return f;
}

void Fill(TzohCommon& s, int n)
{
    for (int i = 0; i < n; ++i) {
        TzohStoredRecord* r = s.AllocRecord();
        SetInteger(s, r, 0, i);
        SetBytes(s, r, 1, QByteArray("Name ") + QByteArray::number(i % 9973));
        SetFloat(s, r, 2, i * 0.25);
        SetCurrency(s, r, 3, qint64(i) * 123);
        SetDateTime(s, r, 4, 30000 + i % 20000);
        SetDateTime(s, r, 5, 40000.5 + i / 1000.0);
        SetBoolean(s, r, 6, i % 2);
        SetInteger(s, r, 7, i % 30000);
        SetInteger(s, r, 8, (qint64(1) << 40) + i);
        if (i % 3) SetBytes(s, r, 9, QByteArray("A note of some length"));
        s.AddRecord(r);
    }
}

QByteArray Save(TzohCommon& s)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    TValueWriter w(&buf);
    TzohBinaryWriter bw(w);
    bw.WriteHeader();
    bw.WriteFieldDefs(TenFields(), false);
    bw.WriteIndexDefs({});
    bw.BeginRecords();
    const auto fields = StreamFields(s);
    for (int id = 0; id < s.RecordCount(); ++id) bw.WriteRecord(s, s.Record(id), fields, false);
    bw.EndRecords();
    w.FlushBuffer();
    return out;
}

struct TSource {
    TzohCommon Store{nullptr};
    QByteArray Bytes;
    TSource()
    {
        Store.Layout(TenFields());
        Fill(Store, kRecords);
        Bytes = Save(Store);
    }
};

TSource& Source()
{
    static TSource s;
    return s;
}
} // namespace

// The stream of a million records, shared with the table benchmark.
const QByteArray& MillionRecordStream() { return Source().Bytes; }

namespace {

void BM_StoreSave(benchmark::State& state)
{
    TSource& src = Source();
    for (auto _ : state) {
        QByteArray b = Save(src.Store);
        benchmark::DoNotOptimize(b.size());
    }
    state.counters["bytes"] = double(src.Bytes.size());
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_StoreSave)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_StoreLoad(benchmark::State& state)
{
    TSource& src = Source();
    for (auto _ : state) {
        TzohCommon s(nullptr);
        TValueReader r(src.Bytes);
        TzohBinaryReader br(r);
        br.ReadHeader();
        std::vector<TzohFieldDesc> defs;
        br.ReadFieldDefs([&](const TzohFieldDesc& d, bool) { defs.push_back(d); });
        br.ReadIndexDefs([](const TzohIndexDesc&, bool) {});
        s.Layout(defs);
        s.ReserveRecords(kRecords);
        const auto fields = StreamFields(s);
        br.BeginRecords();
        while (!br.AtRecordsEnd()) s.AppendRecord(br.ReadRecord(s, fields));
        br.EndRecords();
        benchmark::DoNotOptimize(s.RecordCount());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_StoreLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

// Reading the same bytes without decoding them: the floor for any loader.
void BM_ReadBytesOnly(benchmark::State& state)
{
    TSource& src = Source();
    for (auto _ : state) {
        quint64 sum = 0;
        for (char c : src.Bytes) sum += quint8(c);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ReadBytesOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
