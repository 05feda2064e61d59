#include "platform/client/ClientPacket.h"

#include "platform/client/PacketBinary.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketFile.h"
#include "platform/data/DB.h"

#include <algorithm>
#include <unordered_map>

namespace {

bool IsIntegerKind(TPacketValueKind k)
{
    return k >= pkInt8 && k <= pkUInt64;
}

bool IsLinkColumn(const TPacketColumn& col)
{
    return col.Field && (col.Field->Attributes & pfaLink) && IsIntegerKind(col.Kind);
}

// Fixes the descriptor counts of nested and composite fields after children were removed or added.
void FixCounts(std::vector<TPacketFieldDesc>& fields)
{
    for (TPacketFieldDesc& f : fields) {
        FixCounts(f.Children);
        if (f.IsNestedTable())
            f.TypeWord = (f.TypeWord & ~PacketTypeWord::SizeMask) | quint32(PacketDescendantCount(f) & 0xFFFF);
    }
}

void RemoveLinkFields(std::vector<TPacketFieldDesc>& fields)
{
    for (TPacketFieldDesc& f : fields) {
        if (f.IsNestedTable() && !f.Children.empty()) {
            const TPacketFieldDesc& last = f.Children.back();
            const bool integer = !last.IsComposite() && (last.TypeWord & PacketTypeWord::Array) == 0
                && PacketTypeWord::Code(last.TypeWord) >= ptcInteger && PacketTypeWord::Code(last.TypeWord) <= ptcUnsigned
                && !(last.TypeWord & PacketTypeWord::Varying);
            if ((last.Attributes & pfaLink) && integer) f.Children.pop_back();
        }
        RemoveLinkFields(f.Children);
    }
}

bool IsSignedKind(TPacketValueKind k)
{
    return k == pkInt8 || k == pkInt16 || k == pkInt32 || k == pkInt64;
}

// Puts a cell as read into a block; load: a record decoded when first needed (its heap values
// outlive any rollback of the heap).
void PutCell(TRecordStore& store, const TStoreLevel& lv, char* block, int column, const TPacketCell& cell, bool load = false,
             TByteHeap::TLoadLane* lane = nullptr)
{
    const TStoreColumn& c = lv.Columns[size_t(column)];
    switch (cell.State) {
    case pcsNull:
        lv.SetState(block, column, csNull);
        return;
    case pcsNotChanged:
        lv.SetState(block, column, csNotChanged);
        return;
    case pcsNotFetched: {
        lv.SetState(block, column, csNotFetched);
        if (c.Bytes >= 4) {
            const quint32 word = quint32(cell.Int);
            std::memcpy(block + c.Offset, &word, 4);
        }
        return;
    }
    case pcsValue:
        break;
    }
    char* p = block + c.Offset;
    switch (c.Kind) {
    case pkNone:
    case pkNested:
        lv.SetState(block, column, csValue);
        return;
    case pkInt8: case pkInt16: case pkInt32: case pkInt64:
    case pkUInt8: case pkUInt16: case pkUInt32: case pkUInt64: case pkDate: case pkTime: {
        const qint64 v = cell.Int;
        std::memcpy(p, &v, size_t(c.Bytes));
        break;
    }
    case pkBoolean:
        p[0] = cell.Int != 0 ? 1 : 0;
        break;
    case pkDouble: case pkTimeStamp:
        std::memcpy(p, &cell.Float, 8);
        break;
    case pkSingle: {
        const float f = float(cell.Float);
        std::memcpy(p, &f, 4);
        break;
    }
    default:
        if (lane) store.SetBytes(lv, block, column, cell.Data, cell.Size, *lane);
        else store.SetBytes(lv, block, column, cell.Data, cell.Size, load);
        return;
    }
    lv.SetState(block, column, csValue);
}

} // namespace

TPacketCell ValueCell(const TRecordStore& store, const TStoreLevel& lv, const char* block, int column)
{
    const TStoreColumn& c = lv.Columns[size_t(column)];
    const char* p = block + c.Offset;
    switch (c.Kind) {
    case pkNone:
    case pkNested: {
        TPacketCell cell;
        cell.State = pcsValue;
        cell.Kind = c.Kind;
        return cell;
    }
    case pkInt8: case pkInt16: case pkInt32: case pkInt64:
    case pkUInt8: case pkUInt16: case pkUInt32: case pkUInt64: case pkDate: case pkTime:
        return TPacketCell::OfInt(c.Kind, BlockInt(p, c.Bytes, IsSignedKind(c.Kind) || c.Kind == pkDate || c.Kind == pkTime));
    case pkBoolean:
        return TPacketCell::OfInt(c.Kind, p[0] ? 1 : 0);
    case pkDouble: case pkTimeStamp: {
        double d;
        std::memcpy(&d, p, 8);
        return TPacketCell::OfFloat(c.Kind, d);
    }
    case pkSingle: {
        float f;
        std::memcpy(&f, p, 4);
        return TPacketCell::OfFloat(c.Kind, double(f));
    }
    default: {
        qsizetype size = 0;
        const char* data = store.BytesView(lv, block, column, size);
        return TPacketCell::OfBytes(c.Kind, data, size);
    }
    }
}


TPacketMetadata StoreMetadata(const TPacketMetadata& meta)
{
    TPacketMetadata m;
    m.Fields = meta.Fields;
    m.Params = meta.Params;
    m.MajorVersion = meta.MajorVersion;
    m.MinorVersion = meta.MinorVersion;
    RemoveLinkFields(m.Fields);
    FixCounts(m.Fields);
    m.Prepare();
    return m;
}

namespace {

std::shared_ptr<TRecordStore> NewStoreFor(const TPacketMetadata& meta)
{
    auto store = std::make_shared<TRecordStore>(StoreMetadata(meta));
    if (store->LevelCount() != meta.LevelCount()) PacketError(QStringLiteral("The nested datasets do not match their descriptors"));
    store->SetDelta(meta.Params.IsDelta());
    if (const std::optional<qint64> next = meta.Params.AutoIncValue()) store->SetNextAutoInc(*next);
    return store;
}

} // namespace

// ---- TStoreLoader ----------------------------------------------------------------------------

void TStoreLoader::BeginPacket(const TPacketMetadata& meta, qint64 rowCountHint)
{
    Q_UNUSED(rowCountHint)
    FStore = NewStoreFor(meta);
    FLinkColumn.assign(size_t(meta.LevelCount()), -1);
    FLinkOf.assign(size_t(meta.LevelCount()), {});
    for (int l = 0; l < meta.LevelCount(); ++l) {
        const TPacketLevel& pl = meta.Level(l);
        if (l > 0 && !pl.Columns.empty() && IsLinkColumn(pl.Columns.back())
            && int(pl.Columns.size()) == int(FStore->Level(l).Columns.size()) + 1)
            FLinkColumn[size_t(l)] = int(pl.Columns.size()) - 1;
        if (FLinkColumn[size_t(l)] < 0 && pl.Columns.size() != FStore->Level(l).Columns.size())
            PacketError(QStringLiteral("The columns of a nested dataset do not match its descriptors"));
        std::vector<quint32>& log = FStore->Level(l).Log;
        const std::vector<qint64> values = pl.Params ? pl.Params->ChangeLog() : std::vector<qint64>();
        log.reserve(values.size());
        for (size_t i = 0; i + 2 < values.size(); i += 3) {
            bool ok = true;
            for (size_t k = i; k < i + 3; ++k) ok = ok && values[k] >= 0 && values[k] <= 0xFFFFFFFFll;
            if (!ok) continue;
            for (size_t k = i; k < i + 3; ++k) log.push_back(quint32(values[k]));
        }
    }
    FRows.clear();
    FDepthRows = 0;
}

void TStoreLoader::BeginRow(int level, quint8 status)
{
    if (!FStore || level < 0 || level >= FStore->LevelCount()) PacketError(QStringLiteral("Row of an unknown level %1").arg(level));
    TStoreLevel& lv = FStore->Level(level);
    TSlotNo holder = NoSlot;
    if (FDepthRows > 0) {
        const TOpenRow& parent = FRows[size_t(FDepthRows) - 1];
        if (parent.Level != lv.Parent) PacketError(QStringLiteral("A nested row is not inside a row of its master"));
        holder = parent.Slot;
    } else if (level != 0) {
        PacketError(QStringLiteral("A nested row outside its master row"));
    }
    if (FDepthRows >= int(FRows.size())) FRows.emplace_back();
    TOpenRow& row = FRows[size_t(FDepthRows++)];
    row.Level = level;
    row.Status = status;
    row.Holder = holder;
    row.Link = -1;
    row.Block = FStore->LoadSlotInPlace(level, status, holder, row.Slot);
    lv.InitBlock(row.Block);
}

void TStoreLoader::Cell(int column, const TPacketCell& cell)
{
    if (FDepthRows <= 0) PacketError(QStringLiteral("Value outside a row"));
    TOpenRow& row = FRows[size_t(FDepthRows) - 1];
    const TStoreLevel& lv = FStore->Level(row.Level);
    if (column == FLinkColumn[size_t(row.Level)]) {
        if (cell.State == pcsValue && cell.Int >= 0 && cell.Int <= 0xFFFFFFFFll) row.Link = cell.Int;
        return;
    }
    if (column < 0 || column >= int(lv.Columns.size())) PacketError(QStringLiteral("Value for an unknown column %1").arg(column));
    PutCell(*FStore, lv, row.Block, column, cell);
}

void TStoreLoader::EndNested(int column)
{
    Q_UNUSED(column)
}

void TStoreLoader::EndRow()
{
    if (FDepthRows <= 0) PacketError(QStringLiteral("Row ended without having begun"));
    TOpenRow& row = FRows[size_t(--FDepthRows)];
    if (FLinkColumn[size_t(row.Level)] >= 0) FLinkOf[size_t(row.Level)].push_back(row.Link < 0 ? 0 : quint32(row.Link));
}

void TStoreLoader::EndPacket()
{
    if (!FStore) return;
    // Nested logs name rows by their LINK_FIELD numbers; the store numbers them as they came.
    for (int l = 0; l < FStore->LevelCount(); ++l) {
        if (FLinkColumn[size_t(l)] < 0) continue;
        std::unordered_map<quint32, TSlotNo> slotOf;
        const std::vector<quint32>& links = FLinkOf[size_t(l)];
        slotOf.reserve(links.size());
        for (size_t i = 0; i < links.size(); ++i)
            if (links[i]) slotOf.emplace(links[i], TSlotNo(i + 1));
        std::vector<quint32>& log = FStore->Level(l).Log;
        std::vector<quint32> out;
        out.reserve(log.size());
        for (size_t i = 0; i + 2 < log.size(); i += 3) {
            const quint32 a = log[i + 2];
            const bool known = a == laInserted || a == laModified || a == laDeleted || a == laNested;
            quint32 r = log[i], p = log[i + 1];
            if (known) {
                const auto ri = slotOf.find(r);
                if (ri == slotOf.end()) continue;
                r = ri->second;
                if (a == laModified) {
                    const auto pi = slotOf.find(p);
                    if (pi == slotOf.end()) continue;
                    p = pi->second;
                }
            }
            out.push_back(r);
            out.push_back(p);
            out.push_back(a);
        }
        log.swap(out);
    }
    FStore->FinishLoad();
}

// ---- loading a file -------------------------------------------------------------------------

namespace {

constexpr quint32 LazyChunkRows = 4096;     // the store's chunk of slots

// Fills blocks of a level from rows read again from the file.
class TChunkFiller : public IPacketSink {
public:
    TChunkFiller(TRecordStore& store, char* blocks, quint32 count, TByteHeap::TLoadLane* lane)
        : FStore(store), FLevel(store.Level(0)), FBlocks(blocks), FCount(count), FLane(lane)
    {
    }
    void BeginPacket(const TPacketMetadata&, qint64) override {}
    void BeginRow(int level, quint8 status) override
    {
        if (level != 0 || status != 0 || FDone >= FCount) Changed();
        FBlock = FBlocks + size_t(FDone) * size_t(FLevel.SlotSize);
        FLevel.InitBlock(FBlock);
    }
    void Cell(int column, const TPacketCell& cell) override
    {
        if (column < 0 || column >= int(FLevel.Columns.size())) Changed();
        PutCell(FStore, FLevel, FBlock, column, cell, true, FLane);
    }
    void EndNested(int) override { Changed(); }
    void EndRow() override { ++FDone; }
    void EndPacket() override {}
    [[noreturn]] static void Changed() { PacketError(QStringLiteral("the file changed while it was open")); }

private:
    TRecordStore& FStore;
    const TStoreLevel& FLevel;
    char* FBlocks;
    char* FBlock = nullptr;
    quint32 FCount;
    quint32 FDone = 0;
    TByteHeap::TLoadLane* FLane;
};

// The rows of a binary file, left in the mapped file until a chunk of them is needed.
class TBinaryRowSource : public TStoreRowSource {
public:
    TBinaryRowSource(std::shared_ptr<TPacketFileBytes> bytes, TPacketMetadata meta, std::vector<qint64> starts, TRecordStore& store)
        : FBytes(std::move(bytes)), FMeta(std::move(meta)), FStarts(std::move(starts)), FStore(store)
    {
    }
    void Decode(int level, quint32 first, quint32 count, char* blocks, TByteHeap::TLoadLane* lane) override
    {
        const size_t chunk = (first - 1) / LazyChunkRows;
        try {
            if (level != 0 || (first - 1) % LazyChunkRows != 0 || chunk >= FStarts.size()) TChunkFiller::Changed();
            TChunkFiller filler(FStore, blocks, count, lane);
            FBytes->Read([&] { ReadBinaryRows(FBytes->Data(), FBytes->Size(), FMeta, FStarts[chunk], count, filler); });
        } catch (const EPacketError& e) {
            DatabaseError(QStringLiteral("%1: %2").arg(FBytes->FileName(), e.Message()));
        }
    }

private:
    std::shared_ptr<TPacketFileBytes> FBytes;
    TPacketMetadata FMeta;
    std::vector<qint64> FStarts;
    TRecordStore& FStore;
};

// A binary file of plain current data (no nested tables, no change log, every row status 0)
// is taken as it lies: its rows are checked now and decoded a chunk at a time when needed.
std::shared_ptr<TRecordStore> LoadLazily(const std::shared_ptr<TPacketFileBytes>& bytes)
{
    qint64 rows = 0, offset = 0;
    TPacketMetadata meta = ReadBinaryPacketMetadata(bytes->Data(), bytes->Size(), &rows, &offset);
    if (meta.LevelCount() != 1 || rows <= 0 || meta.Params.IsDelta() || !meta.Params.ChangeLog().empty()) return nullptr;
    std::vector<qint64> starts;
    bool plain = false;
    bytes->Read([&] { plain = ScanBinaryRows(bytes->Data(), bytes->Size(), meta, offset, quint32(rows), LazyChunkRows, starts); });
    if (!plain) return nullptr;
    std::shared_ptr<TRecordStore> store = NewStoreFor(meta);
    if (store->Level(0).Columns.size() != meta.Level(0).Columns.size()) return nullptr;
    auto source = std::make_unique<TBinaryRowSource>(bytes, std::move(meta), std::move(starts), *store);
    store->LoadLazily(std::move(source), quint32(rows));
    return store;
}

} // namespace

std::shared_ptr<TRecordStore> LoadStoreFile(const QString& fileName)
{
    auto bytes = std::make_shared<TPacketFileBytes>(fileName);
    try {
        if (DetectPacketContent(bytes->Data(), bytes->Size()) == pcoBinary)
            if (std::shared_ptr<TRecordStore> store = LoadLazily(bytes)) return store;
        TStoreLoader loader;
        bytes->Read([&] { ReadPacket(bytes->Data(), bytes->Size(), loader); });
        return loader.TakeStore();
    } catch (const EPacketError& e) {
        throw EPacketError(QStringLiteral("%1: %2").arg(fileName, e.Message()), e.Offset);
    }
}

// ---- TStoreSource --------------------------------------------------------------------------

void TStoreSource::Produce(IPacketSink& sink)
{
    const bool delta = FStore.IsDelta();
    FLogMode = !delta && FStore.HasChanges();
    const int levels = FStore.LevelCount();
    FLevelLog.assign(size_t(levels), false);
    FLinkColumn.assign(size_t(levels), -1);
    for (int l = 0; l < levels; ++l)
        FLevelLog[size_t(l)] = delta || (FLogMode && (l == 0 || !FStore.Level(l).Log.empty()));

    // Metadata: LINK_FIELD columns where nested rows carry their numbers, then the parameters.
    FMeta = FStore.Metadata();
    if (!FMeta.IsPrepared()) FMeta.Prepare();
    bool linked = false;
    for (int l = levels - 1; l > 0; --l) {
        if (delta || !FLevelLog[size_t(l)]) continue;
        TPacketFieldDesc* owner = const_cast<TPacketFieldDesc*>(FMeta.Level(l).Owner);
        if (!owner) continue;
        TPacketFieldDesc link;
        link.Name = LinkFieldName;
        link.TypeWord = PacketTypeWord::UInt32;
        link.Attributes = pfaHidden | pfaLink;
        owner->Children.push_back(link);
        linked = true;
    }
    if (linked) {
        FixCounts(FMeta.Fields);
        FMeta.Prepare();
    }
    for (int l = 0; l < levels; ++l) {
        if (FLevelLog[size_t(l)] && l > 0 && !delta) FLinkColumn[size_t(l)] = int(FMeta.Level(l).Columns.size()) - 1;
        TPacketParams& params = const_cast<TPacketParams&>(*FMeta.Level(l).Params);
        const std::vector<quint32>& log = FStore.Level(l).Log;
        if (FLevelLog[size_t(l)] && !log.empty() && !delta) {
            const TPacketParam p = TPacketParam::MakeIntArray("CHANGE_LOG", PacketTypeWord::UInt32, log.data(), log.size());
            if (params.IndexOf("CHANGE_LOG") >= 0) params.Set(p);
            else params.Items.insert(params.Items.begin(), p);
        } else {
            params.Remove("CHANGE_LOG");
        }
    }
    // The next auto-increment value travels where the packet had it (a dataset created here
    // with an auto-increment field gets the parameter when it is created).
    if (FMeta.Params.IndexOf("AUTOINCVALUE") >= 0)
        FMeta.Params.Set(TPacketParam::MakeInt("AUTOINCVALUE", PacketTypeWord::Int32, FStore.NextAutoInc()));

    FNestedRecs.assign(size_t(levels), {});
    // Nested slots grouped by the master slot that holds them.
    FHeldStart.assign(size_t(levels), {});
    FHeldSlots.assign(size_t(levels), {});
    for (int l = 1; l < levels; ++l) {
        if (!FLevelLog[size_t(l)]) continue;
        const TStoreLevel& lv = FStore.Level(l);
        const quint32 parents = FStore.Level(lv.Parent).SlotCount();
        std::vector<quint32>& start = FHeldStart[size_t(l)];
        std::vector<TSlotNo>& held = FHeldSlots[size_t(l)];
        start.assign(size_t(parents) + 2, 0);
        for (TSlotNo s = 1; s <= lv.SlotCount(); ++s) {
            const TSlotNo h = lv.Holder(s);
            if (h && h <= parents) ++start[h + 1];
        }
        for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
        held.assign(start.back(), NoSlot);
        std::vector<quint32> fill(start.begin(), start.end() - 1);
        for (TSlotNo s = 1; s <= lv.SlotCount(); ++s) {
            const TSlotNo h = lv.Holder(s);
            if (h && h <= parents) held[fill[h]++] = s;
        }
    }

    const TStoreLevel& top = FStore.Level(0);
    if (FLevelLog[0]) {
        sink.BeginPacket(FMeta, top.SlotCount());
        for (TSlotNo s = 1; s <= top.SlotCount(); ++s) {
            if (delta && (top.Status(s) & prsUnused)) continue;
            ProduceSlot(sink, 0, s, true);
        }
    } else {
        std::vector<TRecIndex> recs;
        recs.reserve(size_t(FStore.AliveCount(0)));
        FStore.RecordOrder().ForEach([&](quint32 rec) {
            if (FStore.IsVisible(0, rec)) recs.push_back(rec);
            return true;
        });
        if (SortLevel) SortLevel(0, recs);
        sink.BeginPacket(FMeta, qint64(recs.size()));
        for (TRecIndex rec : recs) ProduceSlot(sink, 0, top.Current(rec), false);
    }
    sink.EndPacket();
}

void TStoreSource::ProduceSlot(IPacketSink& sink, int level, TSlotNo slot, bool withStatus)
{
    const TStoreLevel& lv = FStore.Level(level);
    const char* block = lv.Block(slot);
    // Status bits the engine does not define travel unchanged.
    const quint8 status = withStatus ? lv.Status(slot) : quint8(lv.Status(slot) & 0x90);
    sink.BeginRow(level, status);
    for (int col = 0; col < int(lv.Columns.size()); ++col) {
        const TStoreColumn& c = lv.Columns[size_t(col)];
        if (c.Kind == pkNested) {
            ProduceChildren(sink, level, slot, col, status);
            continue;
        }
        switch (lv.State(block, col)) {
        case csValue:
            sink.Cell(col, ValueCell(FStore, lv, block, col));
            break;
        case csNull:
            sink.Cell(col, TPacketCell::Null(c.Kind));
            break;
        case csNotChanged:
            if (withStatus && sink.CanCarryNotChanged(level, col, status)) {
                sink.Cell(col, TPacketCell::NotChanged(c.Kind));
            } else {
                const char* from = FStore.CellBlock(lv, slot, col);
                sink.Cell(col, from ? ValueCell(FStore, lv, from, col) : TPacketCell::Null(c.Kind));
            }
            break;
        case csNotFetched: {
            TPacketCell cell;
            cell.State = pcsNotFetched;
            cell.Kind = c.Kind;
            quint32 word = 0x80000000u;
            if (c.Bytes >= 4) std::memcpy(&word, block + c.Offset, 4);
            cell.Int = word;
            sink.Cell(col, cell);
            break;
        }
        }
    }
    if (FLinkColumn[size_t(level)] >= 0) sink.Cell(FLinkColumn[size_t(level)], TPacketCell::OfInt(pkUInt32, slot));
    sink.EndRow();
}

void TStoreSource::ProduceChildren(IPacketSink& sink, int level, TSlotNo masterSlot, int column, quint8 masterStatus)
{
    const TStoreLevel& lv = FStore.Level(level);
    const int child = lv.Columns[size_t(column)].NestedLevel;
    const TCellState state = lv.State(lv.Block(masterSlot), column);
    const bool allSlots = FLevelLog[size_t(level)];
    if (allSlots && state == csNotChanged) {
        if (sink.CanCarryNotChanged(level, column, masterStatus)) sink.Cell(column, TPacketCell::NotChanged(pkNested));
        else sink.Cell(column, TPacketCell::Null(pkNested));
        return;
    }
    if (child < 0) {
        sink.Cell(column, TPacketCell::Null(pkNested));
        return;
    }
    const TStoreLevel& cl = FStore.Level(child);
    if (FLevelLog[size_t(child)]) {
        const std::vector<quint32>& start = FHeldStart[size_t(child)];
        const quint32 from = masterSlot + 1 < start.size() ? start[masterSlot] : 0;
        const quint32 to = masterSlot + 1 < start.size() ? start[masterSlot + 1] : 0;
        if (to == from && state == csNull) {
            sink.Cell(column, TPacketCell::Null(pkNested));
            return;
        }
        sink.Cell(column, TPacketCell::OfInt(pkNested, qint64(to - from)));
        for (quint32 i = from; i < to; ++i) ProduceSlot(sink, child, FHeldSlots[size_t(child)][i], true);
        sink.EndNested(column);
        return;
    }
    // Deeper levels have buffers of their own, so the recursion below leaves this one alone.
    std::vector<TRecIndex>& recs = FNestedRecs[size_t(child)];
    recs.clear();
    const TRecIndex rec = lv.RecOf(masterSlot);
    if (rec != NoRec && (!allSlots || lv.NestedHolder(rec, column) == masterSlot)) {
        if (const std::vector<TRecIndex>* list = cl.ChildrenIf(rec))
            for (TRecIndex r : *list)
                if (FStore.IsVisible(child, r)) recs.push_back(r);
    }
    if (recs.empty() && state == csNull) {
        sink.Cell(column, TPacketCell::Null(pkNested));
        return;
    }
    if (SortLevel) SortLevel(child, recs);
    sink.Cell(column, TPacketCell::OfInt(pkNested, qint64(recs.size())));
    for (TRecIndex r : recs) ProduceSlot(sink, child, cl.Current(r), false);
    sink.EndNested(column);
}

// ---- TDeltaSource --------------------------------------------------------------------------

bool TDeltaSource::HasNestedChanges(int level, TRecIndex rec) const
{
    const TStoreLevel& lv = FStore.Level(level);
    for (int child : lv.ChildLevels) {
        const TStoreLevel& cl = FStore.Level(child);
        const std::vector<TRecIndex>* list = cl.ChildrenIf(rec);
        if (!list) continue;
        for (TRecIndex r : *list) {
            const TSlotNo c = cl.Current(r);
            if (!c) continue;
            if (cl.Prev(c) || (cl.Status(c) & (prsDeleted | prsInserted)) || HasNestedChanges(child, r)) return true;
        }
    }
    return false;
}

void TDeltaSource::Produce(IPacketSink& sink)
{
    FMeta = FStore.Metadata();
    FMeta.Params.Remove("CHANGE_LOG");
    FMeta.Params.Set(TPacketParam::MakeInt("DATASET_DELTA", PacketTypeWord::Int32, 1));
    FMeta.Prepare();
    for (int l = 1; l < FMeta.LevelCount(); ++l) const_cast<TPacketParams*>(FMeta.Level(l).Params)->Remove("CHANGE_LOG");
    std::vector<TRecIndex> recs;
    FStore.RecordOrder().ForEach([&](quint32 rec) { recs.push_back(rec); return true; });
    sink.BeginPacket(FMeta, -1);
    for (TRecIndex rec : recs) ProduceRecord(sink, 0, rec);
    sink.EndPacket();
}

void TDeltaSource::ProduceRecord(IPacketSink& sink, int level, TRecIndex rec)
{
    const TStoreLevel& lv = FStore.Level(level);
    const TSlotNo c = lv.Current(rec);
    if (!c) return;
    const TSlotNo o = lv.Origin(rec);
    const bool inserted = lv.Status(o) & prsInserted;
    const bool deleted = lv.Status(c) & prsDeleted;
    if (inserted && deleted) return;
    if (inserted) {
        ProduceRow(sink, level, rec, c, prsInserted, NoSlot);
    } else if (deleted) {
        ProduceRow(sink, level, rec, o, prsDeleted, NoSlot);
    } else if (c != o) {
        ProduceRow(sink, level, rec, o, prsOriginal, NoSlot);
        ProduceRow(sink, level, rec, c, prsModified, o);
    } else if (HasNestedChanges(level, rec)) {
        ProduceRow(sink, level, rec, c, 0, NoSlot);
    }
}

void TDeltaSource::ProduceRow(IPacketSink& sink, int level, TRecIndex rec, TSlotNo slot, quint8 status, TSlotNo compareWith)
{
    const TStoreLevel& lv = FStore.Level(level);
    sink.BeginRow(level, status);
    for (int col = 0; col < int(lv.Columns.size()); ++col) {
        const TStoreColumn& c = lv.Columns[size_t(col)];
        if (c.Kind == pkNested) {
            // Nested changes travel under the row that shows the master's current state.
            const bool carries = status == prsInserted || status == prsModified || status == 0;
            const int child = c.NestedLevel;
            std::vector<TRecIndex> changed;
            if (carries && child >= 0) {
                const TStoreLevel& cl = FStore.Level(child);
                if (const std::vector<TRecIndex>* list = cl.ChildrenIf(rec)) {
                    for (TRecIndex r : *list) {
                        const TSlotNo cs = cl.Current(r);
                        if (!cs) continue;
                        const bool ins = cl.Status(cl.Origin(r)) & prsInserted;
                        const bool del = cl.Status(cs) & prsDeleted;
                        if (ins && del) continue;
                        if (ins || del || cl.Prev(cs) || HasNestedChanges(child, r)) changed.push_back(r);
                    }
                }
            }
            if (changed.empty()) {
                sink.Cell(col, status == prsModified ? TPacketCell::NotChanged(pkNested) : TPacketCell::Null(pkNested));
                continue;
            }
            qint64 rows = 0;
            const TStoreLevel& cl = FStore.Level(child);
            for (TRecIndex r : changed) {
                const TSlotNo cs = cl.Current(r);
                const bool ins = cl.Status(cl.Origin(r)) & prsInserted;
                const bool del = cl.Status(cs) & prsDeleted;
                rows += (!ins && !del && cl.Prev(cs)) ? 2 : 1;
            }
            sink.Cell(col, TPacketCell::OfInt(pkNested, rows));
            for (TRecIndex r : changed) ProduceRecord(sink, child, r);
            sink.EndNested(col);
            continue;
        }
        const char* from = FStore.CellBlock(lv, slot, col);
        if (compareWith) {
            const char* before = FStore.CellBlock(lv, compareWith, col);
            const bool same = (!from && !before) || (from && before && FStore.SameCell(lv, from, before, col));
            if (same) {
                sink.Cell(col, TPacketCell::NotChanged(c.Kind));
                continue;
            }
        }
        if (!from) {
            sink.Cell(col, TPacketCell::Null(c.Kind));
            continue;
        }
        sink.Cell(col, ValueCell(FStore, lv, from, col));
    }
    sink.EndRow();
}
