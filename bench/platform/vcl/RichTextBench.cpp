// Reading and writing rich text against Qt's own HTML reader and writer on the same document
// (a few hundred formatted paragraphs with bullets, about 100 KB of RTF).

#include "platform/vcl/RtfReader.h"
#include "platform/vcl/RtfWriter.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <benchmark/benchmark.h>

namespace {

void Fill(QTextDocument& doc, int paragraphs)
{
    QTextCursor c(&doc);
    QTextCharFormat plain, bold, red;
    bold.setFontWeight(QFont::Bold);
    red.setForeground(QColor(200, 0, 0));
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    for (int i = 0; i < paragraphs; ++i) {
        if (i > 0) c.insertBlock(QTextBlockFormat(), plain);
        if (i % 10 == 5) c.createList(bullets);
        c.insertText(QStringLiteral("Paragraph %1 has some plain words, ").arg(i), plain);
        c.insertText(QStringLiteral("a bold part"), bold);
        c.insertText(QStringLiteral(", a red part and accents \u00e9\u00e8\u00fc \u20ac "), red);
        c.insertText(QStringLiteral("and the rest of the sentence to make it a real line of text."), plain);
    }
}

struct TSample {
    QByteArray Rtf;
    QString Html;
    TSample()
    {
        QTextDocument doc;
        Fill(doc, 600);
        Rtf = WriteRtf(&doc);
        Html = doc.toHtml();
    }
};

const TSample& Sample()
{
    static const TSample sample;
    return sample;
}

void BM_RtfRead(benchmark::State& state)
{
    const QByteArray& rtf = Sample().Rtf;
    for (auto _ : state) {
        QTextDocument doc;
        QTextCursor c(&doc);
        ReadRtf(rtf, c);
        benchmark::DoNotOptimize(doc.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_RtfRead)->Unit(benchmark::kMillisecond);

// Baseline: the same document through Qt's HTML reader.
void BM_HtmlRead(benchmark::State& state)
{
    const QString& html = Sample().Html;
    for (auto _ : state) {
        QTextDocument doc;
        doc.setHtml(html);
        benchmark::DoNotOptimize(doc.characterCount());
    }
}
BENCHMARK(BM_HtmlRead)->Unit(benchmark::kMillisecond);

void BM_RtfWrite(benchmark::State& state)
{
    QTextDocument doc;
    Fill(doc, 600);
    for (auto _ : state) benchmark::DoNotOptimize(WriteRtf(&doc).size());
}
BENCHMARK(BM_RtfWrite)->Unit(benchmark::kMillisecond);

// Baseline: the same document through Qt's HTML writer.
void BM_HtmlWrite(benchmark::State& state)
{
    QTextDocument doc;
    Fill(doc, 600);
    for (auto _ : state) benchmark::DoNotOptimize(doc.toHtml().size());
}
BENCHMARK(BM_HtmlWrite)->Unit(benchmark::kMillisecond);

} // namespace
