// The filler's run: a million records of ten fields appended to an open dataset, every
// method in use, with the progress bar and the event loop served as in the dialog.

#include "app/UGeneral.h"
#include "app/Main.h"
#include "app/UDBFiller.h"
#include "platform/client/ClientDataSet.h"

#include <QDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {
struct Column {
    const char* Name;
    TFieldType Type;
    int Size;
    const char* Method;
    const char* Value;
};

const Column Columns[] = {
    {"ID", ftInteger, 0, "Increment", "1"},
    {"Name", ftString, 20, "List", "Anna;Ben;Clara;Daniel;Eva;Felix;Grace;Hugo"},
    {"Code", ftString, 10, "Random", ""},
    {"Amount", ftFloat, 0, "Random", ""},
    {"Price", ftCurrency, 0, "Random", ""},
    {"Since", ftDateTime, 0, "Random", ""},
    {"Active", ftBoolean, 0, "Random", ""},
    {"Qty", ftSmallint, 0, "Random", ""},
    {"Note", ftString, 30, "Single", "generated"},
    {"Ref", ftString, 38, "GUID", ""},
};

void BM_FillRecords(benchmark::State& state)
{
    const int count = int(state.range(0));
    SetSettingsFileName(QDir::temp().filePath(QStringLiteral("quarrow-bench.ini")));
    for (auto _ : state) {
        state.PauseTiming();
        auto ds = std::make_unique<TClientDataSet>();
        for (const Column& c : Columns) ds->FieldDefs().Add(QString::fromLatin1(c.Name), c.Type, c.Size);
        ds->CreateDataSet();
        auto filler = std::make_unique<TfrmDBFiller>();
        filler->SetDataSet(ds.get());
        filler->BuildFillerRows(ds.get(), filler->cdsFiller);
        int row = 0;
        for (filler->cdsFiller->First(); !filler->cdsFiller->Eof(); filler->cdsFiller->Next(), ++row) {
            filler->cdsFiller->Edit();
            filler->cdsFiller->FieldByName(QStringLiteral("Method"))->SetAsString(QString::fromLatin1(Columns[row].Method));
            filler->cdsFiller->FieldByName(QStringLiteral("Value"))->SetAsString(QString::fromLatin1(Columns[row].Value));
            filler->cdsFiller->Post();
        }
        state.ResumeTiming();

        filler->FillRecords(ds.get(), filler->cdsFiller, true, count);

        state.PauseTiming();
        if (ds->RecordCount() != count) state.SkipWithError("records missing");
        filler.reset();
        ds.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
// The same records appended and posted directly with fixed values: what the dataset costs
// without the filler around it.
void BM_AppendDirect(benchmark::State& state)
{
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto ds = std::make_unique<TClientDataSet>();
        for (const Column& c : Columns) ds->FieldDefs().Add(QString::fromLatin1(c.Name), c.Type, c.Size);
        ds->CreateDataSet();
        TField* f[10];
        for (int i = 0; i < 10; ++i) f[i] = ds->Fields()[i];
        state.ResumeTiming();
        for (int k = 0; k < count; ++k) {
            ds->Append();
            f[0]->SetAsString(QString::number(k));
            f[1]->SetAsString(QStringLiteral("Clara"));
            f[2]->SetAsBytes(QByteArrayLiteral("abcdefghij"));
            f[3]->SetAsFloat(k * 0.5);
            f[4]->SetAsFloat(k * 0.25);
            f[5]->SetAsDateTime(45000.5);
            f[6]->SetAsBoolean(k & 1);
            f[7]->SetAsInteger(k % 1000);
            f[8]->SetAsString(QStringLiteral("generated"));
            f[9]->SetAsString(QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
            ds->Post();
        }
        state.PauseTiming();
        ds.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_AppendDirect)->Arg(1000000)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_FillRecords)->Arg(1000000)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
} // namespace
