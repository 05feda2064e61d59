#pragma once
// A whole packet in memory in plain containers: metadata, and for each level its row statuses and
// a flat array of cells, with the bytes of strings and blobs in one shared block.
// It is a sink (readers fill it) and a source (writers are fed from it).

#include "platform/client/PacketSink.h"
#include "platform/client/PacketValues.h"

#include <vector>

class TPacketDocument : public IPacketSink, public IPacketSource {
public:
    TPacketDocument() = default;

    const TPacketMetadata& Metadata() const { return FMeta; }
    // Rows of a level: for the top level the packet's rows; for a nested level every nested row
    // of every parent, in stream order (the nested dataset's record order).
    qint64 RowCount(int level = 0) const;
    quint8 Status(int level, qint64 row) const;
    // The cell as stored, "not changed" included. Data points into the document and stays valid
    // until the document changes.
    TPacketCell Cell(int level, qint64 row, int column) const;
    // The rows of a nested column's value: first row in the nested level and count.
    qint64 NestedFirst(int level, qint64 row, int column) const;
    qint64 NestedCount(int level, qint64 row, int column) const;

    // Change log reading. The previous version of a modified row (-1 if none), from the level's
    // CHANGE_LOG (or, in a delta packet, the original row just before it).
    qint64 PreviousVersion(int level, qint64 row) const;
    // Where a cell's value really is: a "not changed" cell of a modified row takes the value of
    // the previous version, repeatedly; elsewhere "not changed" means never assigned and reads as
    // NULL. Returns the row that holds the value, or -1 for NULL.
    qint64 ResolveRow(int level, qint64 row, int column) const;
    TPacketCell ResolvedCell(int level, qint64 row, int column) const;
    // Rows of the top level that are part of the current data, in record order.
    std::vector<qint64> VisibleRows() const;

    // IPacketSink
    void BeginPacket(const TPacketMetadata& meta, qint64 rowCountHint) override;
    void BeginRow(int level, quint8 status) override;
    void Cell(int column, const TPacketCell& cell) override;
    void EndNested(int column) override;
    void EndRow() override;
    void EndPacket() override;

    // IPacketSource: the packet as stored; "not changed" cells the sink cannot carry are passed
    // resolved.
    void Produce(IPacketSink& sink) override;

private:
    struct TStoredCell {
        union {
            qint64 Int;
            double Float;
            qint64 Offset;      // bytes in FBytes, or the first nested row
        };
        quint32 Size;           // bytes, or nested rows
        TPacketCellState State;
    };
    struct TTable {
        int Columns = 0;
        std::vector<quint8> Status;
        std::vector<TStoredCell> Cells;
    };
    struct TOpenRow {
        int Level;
        qint64 Row;
        int NextColumn;
    };
    static bool IsByteKind(TPacketValueKind k);
    const TStoredCell& Stored(int level, qint64 row, int column) const
    {
        const TTable& t = FTables[size_t(level)];
        return t.Cells[size_t(row) * size_t(t.Columns) + size_t(column)];
    }
    TPacketCell View(int level, const TStoredCell& s, int column) const;
    void ProduceRow(IPacketSink& sink, int level, qint64 row);
    void BuildPrevious(int level) const;

    TPacketMetadata FMeta;
    std::vector<TTable> FTables;
    TPacketBuffer FBytes;
    std::vector<TOpenRow> FOpen;
    mutable std::vector<std::vector<qint64>> FPrevious;   // per level, built on first use
};
