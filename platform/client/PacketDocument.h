#pragma once
// A whole packet in memory in plain containers: metadata, and for each level its row statuses and
// cells (16 bytes each, in blocks that never move), with the bytes of strings and blobs in shared
// chunks.
// It is a sink (readers fill it) and a source (writers are fed from it). Movable, not copyable.

#include "platform/client/PacketSink.h"
#include "platform/client/PacketValues.h"

#include <bit>
#include <memory>
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
    // until the document is loaded again or destroyed.
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
            const char* Data;   // bytes in FBytes
            qint64 First;       // nested: first row in the nested level
        };
        quint32 Size;           // bytes, or nested rows
        TPacketCellState State;
    };
    // Rows in blocks that never move, so that loading a million rows copies nothing twice.
    // Block 0 holds 1 << Shift rows (about 4096 cells, so that a wide level with few rows stays
    // small); block b > 0 holds rows [1 << (Shift + b - 1), 1 << (Shift + b)).
    struct TTable {
        int Columns = 0;
        int Shift = 0;
        std::vector<quint8> Status;
        std::vector<TPacketBlock> Blocks;
    };
    static int BlockOf(const TTable& t, qint64 row) { return int(std::bit_width(quint64(row) >> t.Shift)); }
    static qint64 BlockStart(const TTable& t, int block) { return block ? qint64(1) << (t.Shift + block - 1) : 0; }
    static qint64 BlockRows(const TTable& t, int block) { return qint64(1) << (block ? t.Shift + block - 1 : t.Shift); }
    struct TOpenRow {
        int Level;
        qint64 Row;
        int NextColumn;
    };
    static bool IsByteKind(TPacketValueKind k);
    TStoredCell* Row(int level, qint64 row) const
    {
        const TTable& t = FTables[size_t(level)];
        const int b = BlockOf(t, row);
        return reinterpret_cast<TStoredCell*>(t.Blocks[size_t(b)].get()) + size_t(row - BlockStart(t, b)) * size_t(t.Columns);
    }
    const TStoredCell& Stored(int level, qint64 row, int column) const { return Row(level, row)[column]; }
    TPacketCell View(int level, const TStoredCell& s, int column) const;
    void ProduceRow(IPacketSink& sink, int level, qint64 row);
    void BuildPrevious(int level) const;

    TPacketMetadata FMeta;
    std::vector<TTable> FTables;
    TPacketBuffer FBytes;
    std::vector<TOpenRow> FOpen;
    mutable std::vector<std::vector<qint64>> FPrevious;   // per level, built on first use
};
