// A grid cell's preview of a stored rich text (one piece) against loading the whole value, for
// a short memo and a long one: the preview costs the same whatever the value's length, so a
// page of rich-text cells costs the same at a thousand records as at a million.

#include "gridlib/core/kqcommon.h"
#include "gridlib/dialogs/kqriched.h"

#include <QWidget>
#include <benchmark/benchmark.h>

namespace {

QByteArray Memo(int paragraphs)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 DejaVu Sans;}}"
                     "{\\colortbl ;\\red255\\green0\\blue0;}\\viewkind4\\uc1";
    for (int i = 0; i < paragraphs; ++i)
        rtf += "\\pard Paragraph " + QByteArray::number(i)
               + " of the memo, with \\b bold\\b0  and \\cf1 red\\cf0  words and a caf\\'e9 or two.\\par\n";
    return rtf + "}";
}

// range(0): paragraphs of the memo; range(1): piece limit (0: the whole value).
void BM_GridRichTextCell(benchmark::State& state)
{
    RegisterRichTextReader();
    const QByteArray memo = Memo(int(state.range(0)));
    QWidget grid;
    std::unique_ptr<TkqRichTextReader> reader;
    for (auto _ : state) benchmark::DoNotOptimize(RichTextToPlainText(&grid, memo, reader, int(state.range(1))).size());
    state.counters["memo_bytes"] = double(memo.size());
}
BENCHMARK(BM_GridRichTextCell)
    ->Args({20, RichTextPreviewPieceLimit})
    ->Args({20, 0})
    ->Args({2000, RichTextPreviewPieceLimit})
    ->Args({2000, 0})
    ->Unit(benchmark::kMicrosecond);

} // namespace
