// Load and save of a memory-table stream of a million records of ten fields.

#include "bench/memtable/BenchSupport.h"
#include "memtable/zohBinary.h"
#include "memtable/zohFieldData.h"

#include <QBuffer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>

using namespace zohdata;

namespace {

constexpr int kRecords = 1000000;

// The same ten fields and values as the packet benchmark, for a like-for-like comparison.
std::vector<TzohFieldDesc> TenFields()
{
    auto def = [](const char* n, int t, int size = 0) {
        TzohFieldDesc d;
        d.Name = QString::fromLatin1(n);
        d.DataType = t;
        d.Size = size;
        return d;
    };
    return {def("ID", zft::Integer), def("Name", zft::String, 30), def("City", zft::String, 20),
            def("Amount", zft::Float), def("Qty", zft::Smallint), def("Created", zft::DateTime),
            def("Birth", zft::Date), def("Active", zft::Boolean), def("Code", zft::Largeint),
            def("Note", zft::String, 60)};
}

std::vector<TzohStreamField> StreamFields(const TzohCommon& s)
{
    std::vector<TzohStreamField> f;
    for (int i = 0; i < s.FieldCount(); ++i) f.push_back({i, s.Slot(i).DataType, s.Slot(i).Size});
    return f;
}

void Fill(TzohCommon& s, int n)
{
    static const char* const names[] = {"Anderson", "Bernardes", "Carvalho", "Dominguez", "Eriksson", "Fontaine"};
    static const char* const cities[] = {"Lisboa", "Porto", "Amsterdam", "Rio de Janeiro", "Montreal"};
    char note[64];
    for (qint64 r = 0; r < n; ++r) {
        TzohStoredRecord* rec = s.AllocRecord();
        SetInteger(s, rec, 0, r + 1);
        SetBytes(s, rec, 1, names[r % 6], qsizetype(strlen(names[r % 6])));
        SetBytes(s, rec, 2, cities[r % 5], qsizetype(strlen(cities[r % 5])));
        SetFloat(s, rec, 3, double(r % 100000) / 100.0 + 0.25);
        SetInteger(s, rec, 4, r % 1000);
        SetDateTime(s, rec, 5, StampToDateTime((730000.0 + double(r % 3650)) * 86400000.0 + double(r % 86400) * 1000.0));
        SetDateTime(s, rec, 6, DateFieldToDateTime(qint32(700000 + r % 20000)));
        SetBoolean(s, rec, 7, r & 1);
        SetInteger(s, rec, 8, r * 7919);
        if (r % 4 != 0) {
            const int len = snprintf(note, sizeof note, "Customer note number %lld", (long long)r);
            SetBytes(s, rec, 9, note, len);
        }
        s.AddRecord(rec);
    }
}

void SaveTo(TzohCommon& s, QIODevice& device)
{
    TValueWriter w(&device);
    TzohBinaryWriter bw(w);
    bw.WriteHeader();
    bw.WriteFieldDefs(TenFields(), false);
    bw.WriteIndexDefs({});
    bw.BeginRecords();
    const auto fields = StreamFields(s);
    for (int id = 0; id < s.RecordCount(); ++id) bw.WriteRecord(s, s.Record(id), fields, false);
    bw.EndRecords();
    w.FlushBuffer();
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

const QByteArray& MillionRecordStream() { return Source().Bytes; }

namespace {

void BM_StoreSave(benchmark::State& state)
{
    TSource& src = Source();
    for (auto _ : state) {
        TCountingDevice sink;
        SaveTo(src.Store, sink);
        benchmark::DoNotOptimize(sink.Count);
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
