#pragma once
// Tables for the library's table tests: the real Paradox and dBASE samples, and small dBASE III
// tables written here with the fields a test needs.

#include "gridlib/core/Kqtable.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

inline QString SampleTable(const QString& relative)
{
    return SamplePath(QStringLiteral("tables/") + relative);
}

// An open library table over a sample.
inline std::unique_ptr<TkqTable> OpenKqSample(const QString& relative, const QStringList& filter = {})
{
    auto table = std::make_unique<TkqTable>();
    table->setObjectName(QStringLiteral("tblSample"));
    table->SetTableName(SampleTable(relative));
    table->SetkqFilter(filter);
    table->Open();
    return table;
}

// The text of one field in every record of the view.
inline QStringList ColumnTexts(TDataSet& dataSet, const QString& field)
{
    QStringList values;
    const TField* f = dataSet.FieldByName(field);
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) values << f->AsString();
    return values;
}

struct TFixtureField {
    QByteArray Name;
    char Type;   // C, N, L or D
    int Length;
    int Decimals = 0;
};

// A dBASE III table in the folder: each row one text per field (blank-padded or right-aligned
// as dBASE stores them; "" is an empty value).
inline QString WriteDBaseFixture(const QTemporaryDir& dir, const QString& name, const std::vector<TFixtureField>& fields,
                                 const std::vector<QStringList>& rows)
{
    int recordLength = 1;
    for (const TFixtureField& f : fields) recordLength += f.Length;
    const int headerLength = 32 + 32 * int(fields.size()) + 1;
    QByteArray bytes(32, '\0');
    bytes[0] = 0x03;
    bytes[1] = 124;
    bytes[2] = 1;
    bytes[3] = 1;
    auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    put32(4, quint32(rows.size()));
    bytes[8] = char(headerLength & 0xFF);
    bytes[9] = char(headerLength >> 8);
    bytes[10] = char(recordLength & 0xFF);
    bytes[11] = char(recordLength >> 8);
    bytes[29] = 0x03;
    for (const TFixtureField& f : fields) {
        QByteArray d(32, '\0');
        d.replace(0, f.Name.size(), f.Name);
        d[11] = f.Type;
        d[16] = char(f.Length);
        d[17] = char(f.Decimals);
        bytes += d;
    }
    bytes += '\x0D';
    for (const QStringList& row : rows) {
        bytes += ' ';
        for (size_t i = 0; i < fields.size(); ++i) {
            const QByteArray text = row.value(int(i)).toLatin1();
            const bool right = fields[i].Type == 'N';
            bytes += right ? text.rightJustified(fields[i].Length, ' ', true) : text.leftJustified(fields[i].Length, ' ', true);
        }
    }
    bytes += '\x1A';
    const QString path = QDir(dir.path()).filePath(name);
    WriteWholeFile(path, bytes);
    return path;
}
