#pragma once
// A million records of ten fields as a generated dBASE table (one record in a thousand flagged
// deleted) and as a generated Paradox 7 table, written once per benchmark program.
//   ID N9, NAME C30 ("Customer <n>"), AMOUNT N12.2 (n x 1.25), BORN D, ACTIVE L (odd n),
//   CITY C20, RATE F10.4, QTY N4, CODE C10, NOTE C40

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>


constexpr int MillionRecordCount = 1000000;

inline QTemporaryDir& MillionTablesFolder()
{
    static QTemporaryDir dir;
    return dir;
}

inline void MillionPut16(QByteArray& b, int offset, quint16 v) { b[offset] = char(v & 0xFF); b[offset + 1] = char(v >> 8); }
inline void MillionPut32(QByteArray& b, int offset, quint32 v) { for (int i = 0; i < 4; ++i) b[offset + i] = char((v >> (8 * i)) & 0xFF); }

inline QString MillionDBaseTable()
{
    static const QString file = [] {
        const QString name = MillionTablesFolder().filePath(QStringLiteral("million.dbf"));
        struct TDef { const char* Name; char Type; int Length; int Decimals; };
        const TDef defs[] = {{"ID", 'N', 9, 0}, {"NAME", 'C', 30, 0}, {"AMOUNT", 'N', 12, 2}, {"BORN", 'D', 8, 0},
                             {"ACTIVE", 'L', 1, 0}, {"CITY", 'C', 20, 0}, {"RATE", 'F', 10, 4}, {"QTY", 'N', 4, 0},
                             {"CODE", 'C', 10, 0}, {"NOTE", 'C', 40, 0}};
        int recordLength = 1;
        for (const TDef& d : defs) recordLength += d.Length;
        const int headerLength = 32 + 10 * 32 + 1;
        QByteArray header(32, '\0');
        header[0] = 0x03;
        MillionPut32(header, 4, MillionRecordCount);
        MillionPut16(header, 8, quint16(headerLength));
        MillionPut16(header, 10, quint16(recordLength));
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
        for (int i = 0; i < MillionRecordCount; ++i) {
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
inline QString MillionParadoxTable()
{
    static const QString file = [] {
        const QString name = MillionTablesFolder().filePath(QStringLiteral("million.db"));
        const quint8 types[10] = {0x04, 0x01, 0x06, 0x02, 0x03, 0x09, 0x01, 0x06, 0x04, 0x01};
        const quint8 widths[10] = {4, 30, 8, 4, 2, 1, 20, 8, 4, 40};
        const char* names[10] = {"ID", "Name", "Amount", "Born", "Qty", "Active", "City", "Rate", "Code", "Note"};
        int recordSize = 0;
        for (quint8 w : widths) recordSize += w;
        const int blockSize = 4096;
        const int perBlock = (blockSize - 6) / recordSize;
        const int blocks = (MillionRecordCount + perBlock - 1) / perBlock;
        QByteArray h(0x800, '\0');
        MillionPut16(h, 0x00, quint16(recordSize));
        MillionPut16(h, 0x02, 0x800);
        h[0x04] = 2;
        h[0x05] = 4;
        MillionPut32(h, 0x06, MillionRecordCount);
        MillionPut16(h, 0x0A, quint16(blocks));
        MillionPut16(h, 0x0C, quint16(blocks));
        MillionPut16(h, 0x0E, 1);
        MillionPut16(h, 0x10, quint16(blocks));
        MillionPut16(h, 0x21, 10);
        MillionPut32(h, 0x25, 0xFF00FF00);
        h[0x39] = 12;
        MillionPut16(h, 0x6A, 1252);
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
            const int count = qMin(perBlock, MillionRecordCount - record);
            MillionPut16(block, 0, quint16(b < blocks ? b + 1 : 0));
            MillionPut16(block, 2, quint16(b - 1));
            MillionPut16(block, 4, quint16((count - 1) * recordSize));
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
