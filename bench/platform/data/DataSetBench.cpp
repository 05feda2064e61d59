// The framework's own cost on a million records of ten fields: navigation, reading fields,
// record-number jumps, a grid-sized window scrolled page by page, and an unindexed locate.
// The store is a plain column store, so the figures are the framework's share.

#include "platform/data/DB.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <random>

namespace {

constexpr int RecordCount = 1000000;

class TColumnDataSet : public TDataSet {
    Q_OBJECT
public:
    explicit TColumnDataSet(int records)
    {
        const TFieldType types[10] = {ftInteger, ftString, ftFloat, ftDate, ftInteger,
                                      ftString, ftFloat, ftSmallint, ftBoolean, ftInteger};
        for (int c = 0; c < 10; ++c) FieldDefs().Add(QStringLiteral("F%1").arg(c), types[c], 20);
        FInts.resize(size_t(records));
        FDoubles.resize(size_t(records));
        FTextStart.resize(size_t(records) + 1);
        FText.reserve(records * 20);
        for (int i = 0; i < records; ++i) {
            FInts[size_t(i)] = i;
            FDoubles[size_t(i)] = i * 1.25;
            FTextStart[size_t(i)] = int(FText.size());
            FText += "Customer name " + QByteArray::number(i);
        }
        FTextStart[size_t(records)] = int(FText.size());
    }
    ~TColumnDataSet() override { CloseOnDestroy(); }

protected:
    void InternalOpen() override {}
    void InternalClose() override {}
    int ViewCount() const override { return int(FInts.size()); }
    TRecordId ViewRecord(int position) const override { return position; }
    int ViewPosition(TRecordId id) const override { return id >= 0 && id < TRecordId(FInts.size()) ? int(id) : -1; }
    bool GetRecordValue(TRecordId id, const TField* field, TVariant& value) const override
    {
        const size_t r = size_t(id);
        switch (field->DataType()) {
        case ftString:
            value = TVariant::FromAnsiString(QByteArray(FText.constData() + FTextStart[r], FTextStart[r + 1] - FTextStart[r]));
            return true;
        case ftFloat: value = TVariant(FDoubles[r]); return true;
        case ftDate: value = TVariant::FromDate(36000 + FInts[r] % 5000); return true;
        case ftBoolean: value = TVariant(FInts[r] % 2 == 0); return true;
        case ftSmallint: value = TVariant::FromSmallint(qint16(FInts[r] % 30000)); return true;
        default: value = TVariant(FInts[r]); return true;
        }
    }
    TRecordId InternalPost(const TEditBuffer& buffer) override { return buffer.RecordId(); }
    void InternalDelete(TRecordId) override {}

private:
    std::vector<int> FInts;
    std::vector<double> FDoubles;
    std::vector<int> FTextStart;
    QByteArray FText;
};

TColumnDataSet& Data()
{
    static std::unique_ptr<TColumnDataSet> ds = [] {
        auto d = std::make_unique<TColumnDataSet>(RecordCount);
        d->Open();
        return d;
    }();
    return *ds;
}

// A grid's link: BufferCount rows, every row read on each page.
class TGridLink : public TDataLink {};

void BM_FirstToEofReadingThreeFields(benchmark::State& state)
{
    TColumnDataSet& ds = Data();
    TField* id = ds.Fields()[0];
    TField* name = ds.Fields()[1];
    TField* amount = ds.Fields()[2];
    for (auto _ : state) {
        qint64 sum = 0;
        ds.First();
        while (!ds.Eof()) {
            sum += id->AsInteger() + name->AsString().size() + qint64(amount->AsFloat());
            ds.Next();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * RecordCount);
}
BENCHMARK(BM_FirstToEofReadingThreeFields)->Unit(benchmark::kMillisecond);

void BM_MoveByAcrossTheView(benchmark::State& state)
{
    TColumnDataSet& ds = Data();
    for (auto _ : state) {
        ds.First();
        int moved = 0;
        while (!ds.Eof()) moved += ds.MoveBy(1);
        benchmark::DoNotOptimize(moved);
    }
    state.SetItemsProcessed(state.iterations() * RecordCount);
}
BENCHMARK(BM_MoveByAcrossTheView)->Unit(benchmark::kMillisecond);

void BM_RecNoJumps(benchmark::State& state)
{
    TColumnDataSet& ds = Data();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(1, RecordCount);
    std::vector<int> targets(100000);
    for (int& t : targets) t = pick(random);
    for (auto _ : state) {
        for (int t : targets) ds.SetRecNo(t);
        benchmark::DoNotOptimize(ds.RecNo());
    }
    state.SetItemsProcessed(state.iterations() * qint64(targets.size()));
}
BENCHMARK(BM_RecNoJumps)->Unit(benchmark::kMillisecond);

void BM_WindowOf30RowsPageByPage(benchmark::State& state)
{
    TColumnDataSet& ds = Data();
    TDataSource source;
    source.SetDataSet(&ds);
    TGridLink link;
    link.SetDataSource(&source);
    link.SetBufferCount(30);
    TField* id = ds.Fields()[0];
    TField* name = ds.Fields()[1];
    TField* amount = ds.Fields()[2];
    qint64 rows = 0;
    for (auto _ : state) {
        ds.First();
        for (;;) {
            const int active = link.ActiveRecord();
            for (int row = 0; row < link.RecordCount(); ++row) {
                link.SetActiveRecord(row);
                benchmark::DoNotOptimize(id->AsInteger() + name->DisplayText().size() + amount->AsFloat());
                ++rows;
            }
            link.SetActiveRecord(active);
            if (ds.Eof()) break;
            ds.MoveBy(30);
        }
    }
    state.SetItemsProcessed(rows);
}
BENCHMARK(BM_WindowOf30RowsPageByPage)->Unit(benchmark::kMillisecond);

void BM_LocateUnindexedLastRecord(benchmark::State& state)
{
    TColumnDataSet& ds = Data();
    for (auto _ : state) {
        ds.First();
        benchmark::DoNotOptimize(ds.Locate("F4", RecordCount - 1));
    }
    state.SetItemsProcessed(state.iterations() * RecordCount);
}
BENCHMARK(BM_LocateUnindexedLastRecord)->Unit(benchmark::kMillisecond);

} // namespace

#include "DataSetBench.moc"
