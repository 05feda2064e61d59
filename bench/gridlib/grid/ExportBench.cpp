// The grid export of 100,000 and 1,000,000 records to a file, in each format, against a plain
// loop that writes the same bytes: the same dataset walk and cell texts, the bytes appended to
// one buffer written out in pieces (SYLK: built whole in memory, as it must precede its head).
// Both sides are checked to write identical files. rss_growth_MB is the growth of the process's
// peak memory over the export's own run (run one case alone to read it: a peak is kept).

#include "bench/common/BenchPair.h"
#include "bench/gridlib/grid/GeneratedDataSet.h"
#include "gridlib/grid/Kqdbgrid.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <charconv>
#include <sys/resource.h>

namespace {

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct ExportWindow {
    explicit ExportWindow(int records) : ds(records)
    {
        window.resize(640, 480);
        grid = new TkqDBGrid(&window);
        grid->setGeometry(0, 0, 640, 480);
        QFont title = grid->Font().Font;
        title.setBold(true);
        grid->SetTitleFont(TFont(title, clNavy));
        source.SetDataSet(&ds);
        ds.Open();
        grid->SetDataSource(&source);
        window.show();
        QApplication::processEvents();
    }
    QByteArray Export(TkqGridExportType type, TkqExportSaveOptions options, const QString& path)
    {
        grid->ExportOptions()->SetExportType(type);
        grid->ExportOptions()->SetOptions(options);
        grid->ExportOptions()->SetFileName(path);
        grid->ExportOptions()->Save();
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QWidget window;
    TkqDBGrid* grid;
    TGeneratedDataSet ds;
    TDataSource source;
};

void AppendNumber(QByteArray& out, qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

// The plain loop: head and tail are the constant parts an export of no records writes; each
// record's bytes are built from the field texts.
struct PlainWriter {
    TkqGridExportType Type;
    QByteArray Head, Tail, RowStyle;
    int SylkFont = 1;

    void Record(TDataSet& ds, qint64 counter, QByteArray& out) const
    {
        const int n = ds.FieldCount();
        if (Type == kqgetHTML) out += "<TR VALIGN=\"TOP\" " + RowStyle + ">\r\n";
        for (int i = 0; i < n; ++i) {
            TField* f = ds.Fields()[i];
            QString text = f->DisplayText();
            const TAlignment a = f->Alignment();
            switch (Type) {
            case kqgetTxt:
                out += '"';
                out += text.toUtf8();
                out += '"';
                if (i < n - 1) out += ',';
                break;
            case kqgetHTML:
                out += "<TD NOWRAP ALIGN=\"";
                out += a == taRightJustify ? "right" : a == taCenter ? "center" : "left";
                out += "\" WIDTH=\"0*\" SCOPE=\"row\">";
                while (text.endsWith(QLatin1Char(' '))) text.chop(1);
                out += text.isEmpty() ? QByteArray("&nbsp") : text.toUtf8();
                out += "</TD>\r\n";
                break;
            default: {
                out.append("F;SLTRBM");
                AppendNumber(out, SylkFont);
                out.append(";FG0");
                out.append(a == taRightJustify ? 'R' : a == taCenter ? 'C' : 'L');
                out.append(";Y");
                AppendNumber(out, counter + 2);
                out.append(";X");
                AppendNumber(out, i + 1);
                out.append("\r\nC;K");
                if (f->DataType() == ftInteger) {
                    out.append(text.toUtf8());
                } else {
                    out.append('"').append(text.left(255).toUtf8()).append('"');
                }
                out.append("\r\n");
            }
            }
        }
        out += Type == kqgetHTML ? "</TR>\r\n" : Type == kqgetTxt ? "\r\n" : "";
    }

    void Write(TDataSet& ds, const QString& path) const
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
        ds.DisableControls();
        QByteArray out;
        qint64 counter = 0;
        if (Type != kqgetSYLK) out = Head;
        else out.reserve(qsizetype(ds.RecordCount()) * 256);
        ds.First();
        while (!ds.Eof()) {
            Record(ds, ++counter, out);
            if (Type != kqgetSYLK && out.size() >= (1 << 16)) {
                file.write(out);
                out.resize(0);
            }
            ds.Next();
        }
        ds.EnableControls();
        if (Type == kqgetSYLK) {
            QByteArray head = Head;
            head.replace("B;Y0;", "B;Y" + QByteArray::number(counter) + ";");
            file.write(head);
        }
        out += Tail;
        file.write(out);
    }
};

PlainWriter MakePlainWriter(ExportWindow& w, TkqGridExportType type, TkqExportSaveOptions options, const QString& path)
{
    PlainWriter p{type, {}, {}, {}};
    const QByteArray none = w.Export(type, options | TkqExportSaveOptions{esoSaveSelectedOnly}, path);
    switch (type) {
    case kqgetTxt: p.Head = none; break;
    case kqgetHTML: {
        const qsizetype body = none.indexOf("<TBODY>\r\n") + 9;
        p.Head = none.left(body);
        p.Tail = none.mid(none.indexOf("</TBODY>\r\n"));
        p.RowStyle = "STYLE=\"font-family: " + w.grid->Font().Font.family().toUtf8() + ";font-size: " +
                     QByteArray::number(qRound(w.grid->Font().Font.pointSizeF())) + " pt;color:#000000;\"";
        break;
    }
    default:
        p.Head = none.left(none.size() - 3);
        p.Tail = "E\r\n";
        break;
    }
    return p;
}

void BM_ExportToFile(benchmark::State& state)
{
    const auto type = TkqGridExportType(state.range(0));
    const int records = int(state.range(1));
    const TkqExportSaveOptions options = type == kqgetHTML ? DefaultExportSaveOptions | TkqExportSaveOptions{esoBestColFit}
                                                           : DefaultExportSaveOptions;
    ExportWindow w(records);
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("export.out")), b = dir.filePath(QStringLiteral("plain.out"));
    const PlainWriter plain = MakePlainWriter(w, type, options, a);
    w.grid->ExportOptions()->SetExportType(type);
    w.grid->ExportOptions()->SetOptions(options);
    w.grid->ExportOptions()->SetFileName(a);
    TBenchPair pair;
    long growth = 0;
    bool checked = false;
    for (auto _ : state) {
        // The export runs first, so the peak it reaches is its own.
        const long before = PeakRssKb();
        const double ta = TBenchPair::Time([&] { w.grid->ExportOptions()->Save(); });
        growth = std::max(growth, PeakRssKb() - before);
        const double tb = TBenchPair::Time([&] { plain.Write(w.ds, b); });
        pair.A += ta;
        pair.B += tb;
        state.SetIterationTime(ta);
        if (!checked) {
            checked = true;
            QFile fa(a), fb(b);
            fa.open(QIODevice::ReadOnly);
            fb.open(QIODevice::ReadOnly);
            if (records <= 100000 && fa.readAll() != fb.readAll()) state.SkipWithError("the two sides wrote different bytes");
        }
    }
    pair.Report(state);
    state.counters["rss_growth_MB"] = double(growth) / 1024.0;
    state.counters["MB"] = double(QFile(a).size()) / (1 << 20);
}
BENCHMARK(BM_ExportToFile)
    ->ArgNames({"type", "records"})
    ->Args({kqgetTxt, 100000})->Args({kqgetTxt, 1000000})
    ->Args({kqgetHTML, 100000})->Args({kqgetHTML, 1000000})
    ->Args({kqgetSYLK, 100000})->Args({kqgetSYLK, 1000000})
    ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace
