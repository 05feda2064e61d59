#include "platform/client/PacketDocument.h"

#include "platform/client/PacketError.h"

#include <cstring>
#include <unordered_map>

bool TPacketDocument::IsByteKind(TPacketValueKind k)
{
    switch (k) {
    case pkExtended: case pkBcd: case pkSqlTimeStamp: case pkSqlTimeStampOffset:
    case pkAnsiString: case pkWideString: case pkFixedBytes: case pkVarBytes: case pkBlob:
    case pkRawFixed: case pkRawVarying:
        return true;
    default:
        return false;
    }
}

qint64 TPacketDocument::RowCount(int level) const
{
    if (level < 0 || size_t(level) >= FTables.size()) return 0;
    return qint64(FTables[size_t(level)].Status.size());
}

quint8 TPacketDocument::Status(int level, qint64 row) const
{
    return FTables[size_t(level)].Status[size_t(row)];
}

TPacketCell TPacketDocument::View(int level, const TStoredCell& s, int column) const
{
    TPacketCell c;
    c.State = s.State;
    c.Kind = FMeta.Level(level).Columns[size_t(column)].Kind;
    if (s.State == pcsNotFetched) {
        c.Int = s.Int;
    } else if (s.State == pcsValue) {
        if (c.Kind == pkNested) {
            c.Int = s.Size;
        } else if (IsByteKind(c.Kind)) {
            c.Data = s.Data;
            c.Size = s.Size;
        } else {
            c.Int = s.Int;      // the union carries Float alike
        }
    }
    return c;
}

TPacketCell TPacketDocument::Cell(int level, qint64 row, int column) const
{
    return View(level, Stored(level, row, column), column);
}

qint64 TPacketDocument::NestedFirst(int level, qint64 row, int column) const
{
    const TStoredCell& s = Stored(level, row, column);
    return s.State == pcsValue ? s.First : 0;
}

qint64 TPacketDocument::NestedCount(int level, qint64 row, int column) const
{
    const TStoredCell& s = Stored(level, row, column);
    return s.State == pcsValue ? s.Size : 0;
}

// ---- building ------------------------------------------------------------------------------

void TPacketDocument::BeginPacket(const TPacketMetadata& meta, qint64 rowCountHint)
{
    FMeta = meta;
    if (!FMeta.IsPrepared()) FMeta.Prepare();
    FTables.clear();
    FTables.resize(size_t(FMeta.LevelCount()));
    for (int i = 0; i < FMeta.LevelCount(); ++i) {
        TTable& t = FTables[size_t(i)];
        t.Columns = int(FMeta.Level(i).Columns.size());
        while (t.Shift < 12 && (qint64(2) << t.Shift) * t.Columns <= 4096) ++t.Shift;
    }
    FBytes = TPacketBuffer();
    FOpen.clear();
    FPrevious.clear();
    // Hints come from files; only a modest part of one is trusted ahead of the rows themselves.
    FTables[0].Status.reserve(size_t(qBound(qint64(0), rowCountHint, qint64(1) << 20)));
}

void TPacketDocument::BeginRow(int level, quint8 status)
{
    if (level < 0 || size_t(level) >= FTables.size()) PacketError(QStringLiteral("Row of an unknown level %1").arg(level));
    TTable& t = FTables[size_t(level)];
    const qint64 row = qint64(t.Status.size());
    const int block = BlockOf(t, row);
    if (size_t(block) == t.Blocks.size())
        t.Blocks.push_back(PacketAllocate(size_t(BlockRows(t, block)) * size_t(t.Columns) * sizeof(TStoredCell)));
    t.Status.push_back(status);
    TStoredCell* cells = Row(level, row);
    for (int c = 0; c < t.Columns; ++c) {
        cells[c].Int = 0;
        cells[c].Size = 0;
        cells[c].State = pcsNull;
    }
    FOpen.push_back({level, row, 0});
}

void TPacketDocument::Cell(int column, const TPacketCell& cell)
{
    if (FOpen.empty() || FOpen.back().Level < 0) PacketError(QStringLiteral("Value outside a row"));
    TOpenRow& open = FOpen.back();
    TTable& t = FTables[size_t(open.Level)];
    if (column < 0 || column >= t.Columns) PacketError(QStringLiteral("Value for an unknown column %1").arg(column));
    open.NextColumn = column + 1;
    TStoredCell& s = Row(open.Level, open.Row)[column];
    const TPacketColumn& col = FMeta.Level(open.Level).Columns[size_t(column)];
    s.State = cell.State;
    s.Size = 0;
    s.Int = 0;
    if (cell.State == pcsNotFetched) {
        s.Int = cell.Int;
    } else if (cell.State == pcsValue) {
        if (col.Kind == pkNested) {
            s.First = RowCount(col.NestedLevel);
            // Nested rows follow; the parent's open row waits below them.
            FOpen.push_back({-1 - col.NestedLevel, open.Row, column});
            FOpen[FOpen.size() - 2].NextColumn = column + 1;
            return;
        }
        if (IsByteKind(col.Kind)) {
            if (cell.Size < 0 || cell.Size > 0x7FFFFFFF) PacketError(QStringLiteral("Value of %1 bytes is too large").arg(cell.Size));
            char* d = FBytes.Grow(cell.Size);
            if (cell.Size) std::memcpy(d, cell.Data, size_t(cell.Size));
            s.Data = d;
            s.Size = quint32(cell.Size);
        } else {
            s.Int = cell.Int;
        }
    }
}

void TPacketDocument::EndNested(int column)
{
    // The marker pushed by Cell: its Level holds -1 - nested level, Row the parent's row.
    if (FOpen.size() < 2 || FOpen.back().Level >= 0) PacketError(QStringLiteral("Nested rows ended without having begun"));
    const TOpenRow marker = FOpen.back();
    FOpen.pop_back();
    const int nestedLevel = -1 - marker.Level;
    TOpenRow& parent = FOpen.back();
    TStoredCell& s = Row(parent.Level, parent.Row)[column];
    s.Size = quint32(RowCount(nestedLevel) - s.First);
}

void TPacketDocument::EndRow()
{
    if (FOpen.empty() || FOpen.back().Level < 0) PacketError(QStringLiteral("Row ended without having begun"));
    FOpen.pop_back();
}

void TPacketDocument::EndPacket()
{
    FOpen.clear();
}

// ---- change log ----------------------------------------------------------------------------

void TPacketDocument::BuildPrevious(int level) const
{
    if (FPrevious.size() < FTables.size()) FPrevious.resize(FTables.size());
    std::vector<qint64>& prev = FPrevious[size_t(level)];
    const qint64 rows = RowCount(level);
    prev.assign(size_t(rows), -1);
    const TPacketLevel& lv = FMeta.Level(level);
    // Record numbers: slot numbers, or in a nested level with a change log the hidden link
    // column's values.
    std::unordered_map<qint64, qint64> byRecNo;
    int linkColumn = -1;
    if (level > 0 && !lv.Columns.empty()) {
        const TPacketColumn& last = lv.Columns.back();
        if ((last.Field->Attributes & pfaLink) && last.Kind >= pkInt8 && last.Kind <= pkUInt64) linkColumn = int(lv.Columns.size()) - 1;
    }
    if (linkColumn >= 0) {
        for (qint64 r = 0; r < rows; ++r) {
            const TStoredCell& s = Stored(level, r, linkColumn);
            if (s.State == pcsValue) byRecNo.emplace(s.Int, r);
        }
    }
    auto rowOf = [&](qint64 recNo) -> qint64 {
        if (linkColumn >= 0) {
            auto it = byRecNo.find(recNo);
            return it == byRecNo.end() ? -1 : it->second;
        }
        return recNo >= 1 && recNo <= rows ? recNo - 1 : -1;
    };
    const std::vector<qint64> log = lv.Params->ChangeLog();
    for (size_t i = 0; i + 2 < log.size(); i += 3) {
        if (log[i + 2] != prsModified) continue;
        const qint64 r = rowOf(log[i]);
        const qint64 p = rowOf(log[i + 1]);
        // A previous version is always an earlier row; anything else is damage and is ignored,
        // which also keeps the chains free of cycles.
        if (r >= 0 && p >= 0 && p < r) prev[size_t(r)] = p;
    }
    if (log.empty() && FMeta.Params.IsDelta()) {
        for (qint64 r = 1; r < rows; ++r)
            if ((Status(level, r) & prsModified) && (Status(level, r - 1) & prsOriginal)) prev[size_t(r)] = r - 1;
    }
}

qint64 TPacketDocument::PreviousVersion(int level, qint64 row) const
{
    if (FPrevious.size() <= size_t(level) || FPrevious[size_t(level)].size() != size_t(RowCount(level))) BuildPrevious(level);
    return FPrevious[size_t(level)][size_t(row)];
}

qint64 TPacketDocument::ResolveRow(int level, qint64 row, int column) const
{
    qint64 r = row;
    while (Stored(level, r, column).State == pcsNotChanged) {
        if (!(Status(level, r) & prsModified)) return -1;
        r = PreviousVersion(level, r);
        if (r < 0) return -1;
    }
    return Stored(level, r, column).State == pcsNull ? -1 : r;
}

TPacketCell TPacketDocument::ResolvedCell(int level, qint64 row, int column) const
{
    const qint64 r = ResolveRow(level, row, column);
    if (r < 0) return TPacketCell::Null(FMeta.Level(level).Columns[size_t(column)].Kind);
    return Cell(level, r, column);
}

std::vector<qint64> TPacketDocument::VisibleRows() const
{
    std::vector<qint64> rows;
    for (qint64 r = 0; r < RowCount(0); ++r)
        if (PacketRowVisible(Status(0, r))) rows.push_back(r);
    return rows;
}

// ---- source --------------------------------------------------------------------------------

void TPacketDocument::ProduceRow(IPacketSink& sink, int level, qint64 row)
{
    const quint8 status = Status(level, row);
    sink.BeginRow(level, status);
    const TPacketLevel& lv = FMeta.Level(level);
    for (int c = 0; c < int(lv.Columns.size()); ++c) {
        qint64 from = row;
        const TStoredCell* s = &Stored(level, row, c);
        if (s->State == pcsNotChanged && !sink.CanCarryNotChanged(level, c, status)) {
            from = ResolveRow(level, row, c);
            if (from < 0) {
                sink.Cell(c, TPacketCell::Null(lv.Columns[size_t(c)].Kind));
                continue;
            }
            s = &Stored(level, from, c);
        }
        const TPacketCell cell = View(level, *s, c);
        sink.Cell(c, cell);
        if (cell.Kind == pkNested && cell.State == pcsValue) {
            const int nested = lv.Columns[size_t(c)].NestedLevel;
            for (qint64 i = 0; i < qint64(s->Size); ++i) ProduceRow(sink, nested, s->First + i);
            sink.EndNested(c);
        }
    }
    sink.EndRow();
}

void TPacketDocument::Produce(IPacketSink& sink)
{
    if (!FMeta.IsPrepared()) FMeta.Prepare();
    if (FTables.empty()) FTables.resize(size_t(FMeta.LevelCount()));
    sink.BeginPacket(FMeta, RowCount(0));
    for (qint64 r = 0; r < RowCount(0); ++r) ProduceRow(sink, 0, r);
    sink.EndPacket();
}
