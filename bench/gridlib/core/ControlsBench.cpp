// A grid page of cell-control copies: a check box and a spin edit bound to a client dataset,
// each painted for 30 rows of the data link's window around the middle record, on a thousand
// and on a million records. The cost must not grow with the records.

#include "gridlib/core/Kqdbspin.h"
#include "gridlib/core/kqcheckbox.h"
#include "gridlib/core/kqgridhost.h"
#include "platform/client/ClientDataSet.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {
constexpr int PageRows = 30;
constexpr int RowHeight = 18;

struct TBenchData {
    TClientDataSet ds;
    TDataSource source;
    explicit TBenchData(int records)
    {
        ds.FieldDefs().Add(QStringLiteral("Flag"), ftString, 5);
        ds.FieldDefs().Add(QStringLiteral("Size"), ftInteger);
        ds.CreateDataSet();
        ds.SetLogChanges(false);
        TField* flag = ds.FieldByName(QStringLiteral("Flag"));
        TField* size = ds.FieldByName(QStringLiteral("Size"));
        for (int i = 0; i < records; ++i) {
            ds.Append();
            flag->SetAsString(i % 2 ? QStringLiteral("True") : QStringLiteral("False"));
            size->SetAsInteger(i % 32565);
            ds.Post();
        }
        source.SetDataSet(&ds);
        ds.First();
        ds.MoveBy(records / 2);
    }
};

TBenchData& Data(int records)
{
    static std::map<int, std::unique_ptr<TBenchData>> cache;
    auto& slot = cache[records];
    if (!slot) slot = std::make_unique<TBenchData>(records);
    return *slot;
}

// A window of the page's rows, as the grid's link keeps one.
class TPageLink : public TDataLink {};

template <typename Control>
void PaintPage(benchmark::State& state, const char* field)
{
    TBenchData& data = Data(int(state.range(0)));
    TPageLink link;
    link.SetBufferCount(PageRows);
    link.SetDataSource(&data.source);
    Control control;
    control.resize(120, RowHeight);
    control.SetDataSource(&data.source);
    control.SetDataField(QString::fromLatin1(field));
    QImage page(120, PageRows * RowHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&page);
        TCanvas canvas(painter);
        canvas.Font.Color = clWindowText;
        const int active = link.ActiveRecord();
        for (int row = 0; row < link.RecordCount(); ++row) {
            link.SetActiveRecord(row);
            PaintControlCopy(&control, canvas, 0, row * RowHeight);
        }
        link.SetActiveRecord(active);
    }
    state.SetItemsProcessed(state.iterations() * PageRows);
}

void CheckBoxPage(benchmark::State& state) { PaintPage<TkqCheckBox>(state, "Flag"); }
void SpinEditPage(benchmark::State& state) { PaintPage<TkqDBSpinEdit>(state, "Size"); }
} // namespace

BENCHMARK(CheckBoxPage)->ArgName("records")->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(SpinEditPage)->ArgName("records")->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
