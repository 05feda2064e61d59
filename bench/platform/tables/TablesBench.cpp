// Reading a million records of ten fields from a generated dBASE table (one record in a
// thousand flagged deleted) and from a generated Paradox table: opening (the dBASE deletion
// flags are read then), walking every record reading every field, and walking one field.

#include "platform/tables/LocalTables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>

namespace {

constexpr int RecordCount = 1000000;

QTemporaryDir& Folder()
{
    static QTemporaryDir dir;
    return dir;
}

void Put16(QByteArray& b, int offset, quint16 v) { b[offset] = char(v & 0xFF); b[offset + 1] = char(v >> 8); }
void Put32(QByteArray& b, int offset, quint32 v) { for (int i = 0; i < 4; ++i) b[offset + i] = char((v >> (8 * i)) & 0xFF); }

QString DBaseTable()
{
    static const QString file = [] {
        const QString name = Folder().filePath(QStringLiteral("million.dbf"));
        struct TDef { const char* Name; char Type; int Length; int Decimals; };
        const TDef defs[] = {{"ID", 'N', 9, 0}, {"NAME", 'C', 30, 0}, {"AMOUNT", 'N', 12, 2}, {"BORN", 'D', 8, 0},
                             {"ACTIVE", 'L', 1, 0}, {"CITY", 'C', 20, 0}, {"RATE", 'F', 10, 4}, {"QTY", 'N', 4, 0},
                             {"CODE", 'C', 10, 0}, {"NOTE", 'C', 40, 0}};
        int recordLength = 1;
        for (const TDef& d : defs) recordLength += d.Length;
        const int headerLength = 32 + 10 * 32 + 1;
        QByteArray header(32, '\0');
        header[0] = 0x03;
        Put32(header, 4, RecordCount);
        Put16(header, 8, quint16(headerLength));
        Put16(header, 10, quint16(recordLength));
        header[29] = 0x03;
        for (const TDef& d : defs) {
            QByteArray f(32, '\0');
            f.replace(0, int(qstrlen(d.Name)), d.Name);
            f[11] = d.Type;
            f[16] = char(d.Length);
            f[17] = char(d.Decimals);
            header += f;
        }
        header += '\x0D';
        QFile out(name);
        out.open(QIODevice::WriteOnly);
        out.write(header);
        QByteArray chunk;
        for (int i = 0; i < RecordCount; ++i) {
            QByteArray r = i % 1000 == 999 ? "*" : " ";
            r += QByteArray::number(i).rightJustified(9, ' ');
            r += ("Customer " + QByteArray::number(i)).leftJustified(30, ' ');
            r += QByteArray::number(i * 1.25, 'f', 2).rightJustified(12, ' ');
            r += QByteArray::number(19500101 + (i % 28) + 100 * (i % 12));
            r += i % 2 ? "T" : "F";
            r += QByteArray("Springfield").leftJustified(20, ' ');
            r += QByteArray::number((i % 1000) / 7.0, 'f', 4).rightJustified(10, ' ');
            r += QByteArray::number(i % 9999).rightJustified(4, ' ');
            r += QByteArray("C") + QByteArray::number(i % 100000).leftJustified(9, ' ');
            r += QByteArray("A note of some length for the record").leftJustified(40, ' ');
            chunk += r;
            if (chunk.size() > (1 << 20)) {
                out.write(chunk);
                chunk.clear();
            }
        }
        out.write(chunk);
        out.write("\x1A");
        return name;
    }();
    return file;
}

// Paradox 7: 4 KB blocks, alpha, long, number, date, short and logical fields.
QString ParadoxTable()
{
    static const QString file = [] {
        const QString name = Folder().filePath(QStringLiteral("million.db"));
        const quint8 types[10] = {0x04, 0x01, 0x06, 0x02, 0x03, 0x09, 0x01, 0x06, 0x04, 0x01};
        const quint8 widths[10] = {4, 30, 8, 4, 2, 1, 20, 8, 4, 40};
        const char* names[10] = {"ID", "Name", "Amount", "Born", "Qty", "Active", "City", "Rate", "Code", "Note"};
        int recordSize = 0;
        for (quint8 w : widths) recordSize += w;
        const int blockSize = 4096;
        const int perBlock = (blockSize - 6) / recordSize;
        const int blocks = (RecordCount + perBlock - 1) / perBlock;
        QByteArray h(0x800, '\0');
        Put16(h, 0x00, quint16(recordSize));
        Put16(h, 0x02, 0x800);
        h[0x04] = 2;
        h[0x05] = 4;
        Put32(h, 0x06, RecordCount);
        Put16(h, 0x0A, quint16(blocks));
        Put16(h, 0x0C, quint16(blocks));
        Put16(h, 0x0E, 1);
        Put16(h, 0x10, quint16(blocks));
        Put16(h, 0x21, 10);
        Put32(h, 0x25, 0xFF00FF00);
        h[0x39] = 12;
        Put16(h, 0x6A, 1252);
        int pos = 0x78;
        for (int i = 0; i < 10; ++i) {
            h[pos++] = char(types[i]);
            h[pos++] = char(widths[i]);
        }
        pos += 4 + 10 * 4;
        h.replace(pos, 10, "million.db");
        pos += 261;
        for (const char* n : names) {
            h.replace(pos, int(qstrlen(n)), n);
            pos += int(qstrlen(n)) + 1;
        }
        auto be32 = [](char* p, qint32 v) { const quint32 u = quint32(v) ^ 0x80000000u; for (int i = 0; i < 4; ++i) p[i] = char((u >> (24 - 8 * i)) & 0xFF); };
        auto beDouble = [](char* p, double d) {
            quint64 bits;
            std::memcpy(&bits, &d, 8);
            bits = d >= 0 ? bits ^ 0x8000000000000000ull : ~bits;
            for (int i = 0; i < 8; ++i) p[i] = char((bits >> (56 - 8 * i)) & 0xFF);
        };
        QFile out(name);
        out.open(QIODevice::WriteOnly);
        out.write(h);
        QByteArray block(blockSize, '\0');
        int record = 0;
        for (int b = 1; b <= blocks; ++b) {
            block.fill('\0');
            const int count = qMin(perBlock, RecordCount - record);
            Put16(block, 0, quint16(b < blocks ? b + 1 : 0));
            Put16(block, 2, quint16(b - 1));
            Put16(block, 4, quint16((count - 1) * recordSize));
            for (int k = 0; k < count; ++k, ++record) {
                char* p = block.data() + 6 + k * recordSize;
                be32(p, record); p += 4;
                const QByteArray n = "Customer " + QByteArray::number(record);
                memcpy(p, n.constData(), size_t(n.size())); p += 30;
                beDouble(p, record * 1.25); p += 8;
                be32(p, 712000 + record % 20000); p += 4;
                const quint16 q = quint16(record % 30000) ^ 0x8000u; p[0] = char(q >> 8); p[1] = char(q & 0xFF); p += 2;
                *p++ = char(record % 2 ? 0x81 : 0x80);
                memcpy(p, "Springfield", 11); p += 20;
                beDouble(p, (record % 1000) / 7.0); p += 8;
                be32(p, record % 100000); p += 4;
                memcpy(p, "A note of some length for the record", 36);
            }
            out.write(block);
        }
        return name;
    }();
    return file;
}

void Open(benchmark::State& state, const QString& file)
{
    for (auto _ : state) {
        TTable table;
        table.SetTableName(file);
        table.Open();
        benchmark::DoNotOptimize(table.RecordCount());
    }
}

void ReadAll(benchmark::State& state, const QString& file)
{
    qint64 values = 0;
    for (auto _ : state) {
        TTable table;
        table.SetTableName(file);
        table.Open();
        const std::vector<TField*> fields(table.Fields().begin(), table.Fields().end());
        for (table.First(); !table.Eof(); table.Next())
            for (TField* f : fields) {
                benchmark::DoNotOptimize(f->AsVariant());
                ++values;
            }
    }
    state.counters["values/s"] = benchmark::Counter(double(values), benchmark::Counter::kIsRate);
}

void ReadOneField(benchmark::State& state, const QString& file, const char* field)
{
    for (auto _ : state) {
        TTable table;
        table.SetTableName(file);
        table.Open();
        TField* f = table.FieldByName(QString::fromLatin1(field));
        for (table.First(); !table.Eof(); table.Next()) benchmark::DoNotOptimize(f->AsString());
    }
}

void BM_DBaseOpen(benchmark::State& state) { Open(state, DBaseTable()); }
void BM_DBaseReadAllFields(benchmark::State& state) { ReadAll(state, DBaseTable()); }
void BM_DBaseReadOneField(benchmark::State& state) { ReadOneField(state, DBaseTable(), "NAME"); }
void BM_ParadoxOpen(benchmark::State& state) { Open(state, ParadoxTable()); }
void BM_ParadoxReadAllFields(benchmark::State& state) { ReadAll(state, ParadoxTable()); }
void BM_ParadoxReadOneField(benchmark::State& state) { ReadOneField(state, ParadoxTable(), "Name"); }

BENCHMARK(BM_DBaseOpen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_DBaseReadAllFields)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_DBaseReadOneField)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ParadoxOpen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ParadoxReadAllFields)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ParadoxReadOneField)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
