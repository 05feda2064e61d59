// The library's dataset on a million appended records: the platform's client dataset, the
// library's without masks, and the library's checking two masked fields before every post.
// Beside it, the per-text costs of the checks: a picture match, and reading a typed date
// against the platform's date parser.

#include "gridlib/core/kqSystem.h"
#include "gridlib/core/kqclient.h"
#include "gridlib/core/kqdbservices.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {
constexpr int Records = 1000000;

enum TKind { kPlatform, kLibrary, kLibraryMasked };

void AppendRecords(benchmark::State& state)
{
    const auto kind = TKind(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<TClientDataSet> ds;
        if (kind == kPlatform) {
            ds = std::make_unique<TClientDataSet>();
        } else {
            auto kq = std::make_unique<TkqClientDataSet>();
            if (kind == kLibraryMasked) kq->SetPictureMasks({QStringLiteral("Zip\t#####"), QStringLiteral("Phone\t###-####")});
            ds = std::move(kq);
        }
        ds->FieldDefs().Add(QStringLiteral("Id"), ftInteger);
        ds->FieldDefs().Add(QStringLiteral("Name"), ftString, 30);
        ds->FieldDefs().Add(QStringLiteral("Zip"), ftString, 10);
        ds->FieldDefs().Add(QStringLiteral("Phone"), ftString, 12);
        ds->CreateDataSet();
        ds->SetLogChanges(false);
        TField* id = ds->FieldByName(QStringLiteral("Id"));
        TField* name = ds->FieldByName(QStringLiteral("Name"));
        TField* zip = ds->FieldByName(QStringLiteral("Zip"));
        TField* phone = ds->FieldByName(QStringLiteral("Phone"));
        const QString zipText = QStringLiteral("12345"), phoneText = QStringLiteral("555-1234"),
                      nameText = QStringLiteral("Customer");
        for (int i = 0; i < Records; ++i) {
            ds->Append();
            id->SetAsInteger(i);
            name->SetAsString(nameText);
            zip->SetAsString(zipText);
            phone->SetAsString(phoneText);
            ds->Post();
        }
        benchmark::DoNotOptimize(ds->RecordCount());
    }
    state.SetItemsProcessed(state.iterations() * Records);
}
BENCHMARK(AppendRecords)
    ->ArgName("platform0_library1_masked2")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void MatchPicture(benchmark::State& state)
{
    const QString mask = QStringLiteral("###-####");
    const QString texts[] = {QStringLiteral("555-1234"), QStringLiteral("555-12a4"), QStringLiteral("555")};
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(ValueMatchesPicture(mask, texts[i++ % 3]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MatchPicture)->Repetitions(5)->ReportAggregatesOnly(true);

// The library's lenient date reading against the platform's strict parser, on the same texts.
void ReadDate(benchmark::State& state)
{
    const bool library = state.range(0) == 1;
    const TFormatSettings fs = TFormatSettings::Standard();
    const QString texts[] = {QStringLiteral("12/25/2003"), QStringLiteral("2/29/1900"), QStringLiteral("1/5/49")};
    int i = 0;
    TDateTime d;
    for (auto _ : state) {
        const QString& t = texts[i++ % 3];
        benchmark::DoNotOptimize(library ? ParseDateText(t, d, fs) : TryStrToDate(t, d, fs));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ReadDate)->ArgName("platform0_library1")->DenseRange(0, 1)->Repetitions(5)->ReportAggregatesOnly(true);
} // namespace
