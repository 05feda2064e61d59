#pragma once
// The streaming interfaces between packet readers, writers and whatever holds the records.
//
// A reader pushes a packet into an IPacketSink; a writer is an IPacketSink; an IPacketSource (a
// record store, TPacketDocument) produces its packet into any sink. So a file loads straight into a
// record store and saves straight from it, and a reader feeding a writer converts between formats.
//
// The call sequence for one packet:
//   BeginPacket(meta, rowCountHint)
//   for each top-level row:
//     BeginRow(0, status)
//     Cell(c, cell) for every column c of the level, in column order; for a nested column whose
//       cell state is pcsValue, the nested rows follow right after its Cell (BeginRow(childLevel,
//       ...) ... EndRow() each), then EndNested(c)
//     EndRow()
//   EndPacket()
// Every pointer handed to a sink (metadata, cell data) is valid only during the call; the metadata
// stays valid until EndPacket.

#include "platform/client/PacketModel.h"

#include <QString>

enum TPacketCellState : quint8 {
    pcsValue,           // a value follows in the cell
    pcsNull,
    pcsNotChanged,      // "blank, same as before": see the change log rules
    pcsNotFetched       // BLOB or nested rows left on the server; Int holds the stored word
};

// One column's value in one row. Which member carries it depends on the column's kind:
//   integers, Boolean          Int (unsigned 64-bit as its bit pattern; Boolean as stored)
//   pkDate / pkTime            Int: day number (0001-01-01 = 1) / milliseconds of the day
//   pkDouble, pkSingle         Float (a single widened exactly)
//   pkTimeStamp                Float: milliseconds, day number x 86,400,000 + time of day
//   pkExtended                 Data/Size: the 10 stored bytes
//   pkBcd                      Data/Size: the 18 stored bytes
//   pkSqlTimeStamp(Offset)     Data/Size: the 16 (20) stored bytes
//   pkAnsiString               Data/Size: the stored bytes up to the first zero byte
//   pkWideString               Data/Size: UTF-16LE bytes (Size even), up to the first zero char
//   bytes, BLOB, raw kinds     Data/Size: the stored bytes (without any length prefix)
//   pkNested                   Int: number of rows that follow, -1 when the reader cannot know yet
//   pkNone                     nothing (ADT or array column)
struct TPacketCell {
    TPacketCellState State = pcsNull;
    TPacketValueKind Kind = pkNone;
    union {
        qint64 Int = 0;
        double Float;
    };
    const char* Data = nullptr;
    qsizetype Size = 0;

    bool IsValue() const { return State == pcsValue; }
    QByteArrayView Bytes() const { return QByteArrayView(Data, Size); }
    QString WideText() const;
    static TPacketCell Null(TPacketValueKind kind = pkNone) { TPacketCell c; c.Kind = kind; return c; }
    static TPacketCell NotChanged(TPacketValueKind kind = pkNone)
    {
        TPacketCell c;
        c.State = pcsNotChanged;
        c.Kind = kind;
        return c;
    }
    static TPacketCell OfInt(TPacketValueKind kind, qint64 v)
    {
        TPacketCell c;
        c.State = pcsValue;
        c.Kind = kind;
        c.Int = v;
        return c;
    }
    static TPacketCell OfFloat(TPacketValueKind kind, double v)
    {
        TPacketCell c;
        c.State = pcsValue;
        c.Kind = kind;
        c.Float = v;
        return c;
    }
    static TPacketCell OfBytes(TPacketValueKind kind, const char* data, qsizetype size)
    {
        TPacketCell c;
        c.State = pcsValue;
        c.Kind = kind;
        c.Data = data;
        c.Size = size;
        return c;
    }
};

class IPacketSink {
public:
    virtual ~IPacketSink() = default;
    // rowCountHint: top-level rows to come, -1 when unknown. The metadata is prepared.
    virtual void BeginPacket(const TPacketMetadata& meta, qint64 rowCountHint) = 0;
    virtual void BeginRow(int level, quint8 status) = 0;
    virtual void Cell(int column, const TPacketCell& cell) = 0;
    virtual void EndNested(int column) = 0;
    virtual void EndRow() = 0;
    virtual void EndPacket() = 0;
    // Whether this sink can store a "not changed" cell of that column in a row of that status.
    // Where it cannot, a source must pass the value the cell stands for (see the change log rules
    // of TPacketDocument) or NULL.
    virtual bool CanCarryNotChanged(int level, int column, quint8 status) const
    {
        Q_UNUSED(level) Q_UNUSED(column) Q_UNUSED(status)
        return true;
    }
};

class IPacketSource {
public:
    virtual ~IPacketSource() = default;
    virtual void Produce(IPacketSink& sink) = 0;
};

// Row status bits.
enum TPacketRowStatus : quint8 {
    prsOriginal = 0x01,     // an older version, replaced by a newer one
    prsDeleted = 0x02,
    prsInserted = 0x04,
    prsModified = 0x08,
    prsUnused = 0x20,       // an undone change
    prsDetailsChanged = 0x40
};

// Rows that are part of the current data (not replaced, deleted or unused).
inline bool PacketRowVisible(quint8 status) { return (status & 0x23) == 0; }
