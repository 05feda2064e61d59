#pragma once
// Helpers of the packet tests: loading into a document, comparing documents by value, and a small
// builder for generated packets.

#include "platform/client/PacketDocument.h"
#include "platform/client/PacketFile.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <ostream>

// Failure messages show texts as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

TPacketDocument LoadDocument(const QByteArray& bytes);
QByteArray SaveDocument(TPacketDocument& doc, TPacketFormat format);

// Canonical text of a cell (NULL, "not changed" and values of every kind), for messages and
// exact comparisons.
QString CellText(const TPacketCell& cell);

// Compares two documents by value: metadata shape (names, type words, attributes, parameters
// unless skipped), statuses and cells, nested rows included. resolved: compare the cells as
// read (following "not changed"), which is what a format that cannot hold the bit keeps.
// Doubles may differ by relTolerance. Returns an empty string when equal, else the first
// difference.
struct TCompareOptions {
    bool Resolved = false;
    bool CompareTypeWords = true;
    bool CompareParams = true;
    double RelTolerance = 0.0;
};
QString CompareDocuments(const TPacketDocument& a, const TPacketDocument& b, const TCompareOptions& options = {});

// Builds a document row by row through its sink interface.
class TDocBuilder {
public:
    explicit TDocBuilder(TPacketMetadata meta);
    TDocBuilder& Row(quint8 status = 0);
    TDocBuilder& Null();
    TDocBuilder& NotChanged();
    TDocBuilder& Int(qint64 v);
    TDocBuilder& Float(double v);
    TDocBuilder& Bytes(const QByteArray& v);
    TDocBuilder& Wide(const QString& v);
    // Nested rows: Nested() opens the nested column's value; rows follow; EndNested() closes it.
    TDocBuilder& Nested();
    TDocBuilder& EndNested();
    TPacketDocument& Done();

private:
    void Put(TPacketCell cell);
    void CloseRow();
    TPacketDocument FDoc;
    TPacketMetadata FMeta;
    struct TOpenRow { int Level; int Next; };
    std::vector<int> FTables;
    std::vector<TOpenRow> FRows;
};

TPacketFieldDesc Field(const QByteArray& name, quint32 typeWord, quint16 attributes = 0);
TPacketFieldDesc WithParam(TPacketFieldDesc f, const TPacketParam& p);
