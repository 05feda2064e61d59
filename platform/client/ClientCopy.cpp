#include "platform/client/ClientCopy.h"

#include "platform/client/ClientDataSet.h"
#include "platform/client/ClientLocate.h"
#include "platform/client/ClientPacket.h"

#include <algorithm>
#include <cmath>

namespace {

// Day numbers of 0001-01-01 and 9999-12-31, and of the platform's day 0 (1899-12-30).
constexpr qint64 FirstDay = 1;
constexpr qint64 LastDay = 3652059;
constexpr qint64 DayZero = 693594;
constexpr qint64 DayMSecs = 86400000;

// Types whose value reads back from the field and is assigned to a field of the same type
// unchanged, so that the cell itself can travel (within the bounds CellTravels checks).
bool SameValueType(TFieldType t)
{
    switch (t) {
    case ftString: case ftWideString:
    case ftSmallint: case ftInteger: case ftWord: case ftLargeint:
    case ftBoolean: case ftFloat: case ftDate: case ftTime: case ftDateTime:
        return true;
    default:
        return false;
    }
}

} // namespace

// For each target column, where its value comes from and how: cell to cell where both keep the
// value alike (within the bounds Travels checks), otherwise through the fields.
class TCopyPlan {
public:
    struct TColumn {
        TField* To = nullptr;
        TField* From = nullptr;
        TColumnBinding Target;
        int SourceColumn = -1;
        bool Cell = false;
    };

    TCopyPlan(TClientDataSet& source, TClientDataSet& target, const std::vector<std::pair<TField*, TField*>>& pairs)
        : From(*source.FStore), To(*target.FStore), Slv(From.Level(source.FLevel)), Tlv(To.Level(target.FLevel)),
          Columns(Tlv.Columns.size())
    {
        for (const auto& p : pairs) {
            TColumn c = Make(source, target, p);
            if (c.To) Columns[size_t(c.Target.Column)] = c;
        }
    }

    TColumn Make(TClientDataSet& source, TClientDataSet& target, const std::pair<TField*, TField*>& p) const
    {
        TColumn c;
        const TColumnBinding* tb = target.Binding(p.first);
        const TColumnBinding* sb = source.Binding(p.second);
        if (!tb || !sb || tb->Column < 0 || sb->Column < 0) return c;
        c.To = p.first;
        c.From = p.second;
        c.Target = *tb;
        c.Target.Type = p.first->DataType();
        c.SourceColumn = sb->Column;
        const TStoreColumn& tc = Tlv.Columns[size_t(tb->Column)];
        const TStoreColumn& sc = Slv.Columns[size_t(sb->Column)];
        c.Cell = p.first->DataType() == p.second->DataType() && SameValueType(p.first->DataType())
                 && tc.Kind == sc.Kind && tc.PacketSize == sc.PacketSize && tc.Bytes == sc.Bytes
                 && tc.InlineCapacity == sc.InlineCapacity && tc.InHeap == sc.InHeap
                 && (tc.Kind != pkAnsiString || tb->CodePage == sb->CodePage);
        return c;
    }

    // Whether a value is one the fields would hand on unchanged.
    bool Travels(const TColumn& c, const char* block) const
    {
        const TStoreColumn& sc = Slv.Columns[size_t(c.SourceColumn)];
        const char* p = block + sc.Offset;
        switch (sc.Kind) {
        case pkAnsiString: case pkWideString: {
            qsizetype n = 0;
            From.BytesView(Slv, block, c.SourceColumn, n);
            const qsizetype chars = sc.Kind == pkWideString ? n / 2 : n;
            return n > 0 && (c.To->Size() <= 0 || chars <= c.To->Size());
        }
        case pkDate: {
            qint32 day;
            std::memcpy(&day, p, 4);
            return day >= FirstDay && day <= LastDay;
        }
        case pkTime: {
            qint32 ms;
            std::memcpy(&ms, p, 4);
            return ms >= 0 && ms < DayMSecs;
        }
        case pkTimeStamp: {
            double ms;
            std::memcpy(&ms, p, 8);
            return ms >= double(DayZero) * DayMSecs && ms <= double(LastDay + 1) * DayMSecs && ms == std::floor(ms);
        }
        default:
            return true;
        }
    }

    // Puts a travelling source cell (block: the source block that holds it) into a target
    // block; values the source keeps in its heap go to the target's (through the lane when
    // given).
    void CopyCell(const TColumn& c, const char* block, char* to, TByteHeap::TLoadLane* lane = nullptr) const
    {
        const TStoreColumn& sc = Slv.Columns[size_t(c.SourceColumn)];
        const TStoreColumn& tc = Tlv.Columns[size_t(c.Target.Column)];
        const char* p = block + sc.Offset;
        if (sc.InHeap || (sc.InlineCapacity > 0 && quint8(p[0]) == OverflowMark)) {
            qsizetype n = 0;
            const char* bytes = From.BytesView(Slv, block, c.SourceColumn, n);
            if (lane) To.SetBytes(Tlv, to, c.Target.Column, bytes, n, *lane);
            else To.SetBytes(Tlv, to, c.Target.Column, bytes, n);
            return;
        }
        std::memcpy(to + tc.Offset, p, size_t(tc.Bytes));
        Tlv.SetState(to, c.Target.Column, csValue);
    }

    // Puts the cell of a source slot into a target block: null, copied, or false when it must go
    // through the fields.
    bool TakeCell(const TColumn& c, TSlotNo slot, char* to, TByteHeap::TLoadLane* lane = nullptr) const
    {
        if (!c.Cell) return false;
        const char* block = From.CellBlock(Slv, slot, c.SourceColumn);
        if (!block) {
            Tlv.SetState(to, c.Target.Column, csNull);
            return true;
        }
        if (!Travels(c, block)) return false;
        CopyCell(c, block, to, lane);
        return true;
    }

    TRecordStore& From;
    TRecordStore& To;
    const TStoreLevel& Slv;
    const TStoreLevel& Tlv;
    std::vector<TColumn> Columns;   // by target column
    TColumn Key;                    // the field that finds a record to update
};

TRecordCopySource::TRecordCopySource(TClientDataSet& source, TClientDataSet& target, std::vector<TPair> pairs)
    : FSource(source), FTarget(target), FPairs(std::move(pairs))
{
}

bool TRecordCopySource::Supports(const TClientDataSet& target)
{
    if (!target.FStore || target.FLevel != 0 || target.IsNested()) return false;
    for (const TStoreColumn& c : target.FStore->Level(0).Columns)
        if (c.Kind == pkNested) return false;
    for (const TColumnBinding& b : target.FBindings)
        if (b.Type == ftAutoInc || b.Type == ftDataSet) return false;
    return true;
}

void TRecordCopySource::Produce(IPacketSink& sink)
{
    const TCopyPlan planned(FSource, FTarget, FPairs);
    const std::vector<TCopyPlan::TColumn>& plan = planned.Columns;
    TRecordStore& from = planned.From;
    TRecordStore& to = planned.To;
    const TStoreLevel& slv = planned.Slv;
    const TStoreLevel& tlv = planned.Tlv;

    const TPacketMetadata& meta = to.Metadata();
    struct TRestore {
        TClientDataSet& Source;
        TClientDataSet& Target;
        ~TRestore()
        {
            if (Target.State() == dsInsert) Target.Cancel();
            Source.EnableControls();
        }
    } restore{FSource, FTarget};
    FSource.DisableControls();
    FTarget.Append();
    TEditBuffer& buffer = FTarget.EditBuffer();
    std::vector<char> scratch(size_t(tlv.SlotSize));
    FRows = 0;
    sink.BeginPacket(meta, FSource.RecordCount());
    for (FSource.First(); !FSource.Eof(); FSource.Next()) {
        const TSlotNo slot = FSource.SlotOf(FSource.CurrentRecord());
        if (!slot) continue;
        const TByteHeap::TMark mark = to.Heap().Mark();
        tlv.InitBlock(scratch.data());
        sink.BeginRow(0, 0);
        for (int col = 0; col < int(plan.size()); ++col) {
            const TCopyPlan::TColumn& c = plan[size_t(col)];
            const TPacketValueKind kind = tlv.Columns[size_t(col)].Kind;
            if (!c.To) {
                sink.Cell(col, TPacketCell::Null(kind));
                continue;
            }
            if (c.Cell) {
                const char* block = from.CellBlock(slv, slot, c.SourceColumn);
                if (!block) {
                    sink.Cell(col, TPacketCell::Null(kind));
                    continue;
                }
                if (planned.Travels(c, block)) {
                    sink.Cell(col, ValueCell(from, slv, block, c.SourceColumn));
                    continue;
                }
            }
            Assign(c.To, c.From);
            if (!buffer.IsAssigned(c.To)) {
                sink.Cell(col, TPacketCell::Null(kind));
                continue;
            }
            try {
                WriteCell(to, tlv, scratch.data(), c.Target, buffer.Value(c.To));
            } catch (const EDatabaseError&) {
                throw;
            } catch (const Exception& e) {
                DatabaseErrorFmt(QStringLiteral("Field '%s': %s"), {c.To->DisplayName(), e.Message()}, &FTarget);
            }
            buffer.Unassign(c.To);
            sink.Cell(col, tlv.State(scratch.data(), col) == csValue ? ValueCell(to, tlv, scratch.data(), col) : TPacketCell::Null(kind));
        }
        sink.EndRow();
        to.Heap().Rollback(mark);
        if ((++FRows & 4095) == 0 && Progress) Progress(FRows);
    }
    sink.EndPacket();
    if (Progress) Progress(FRows);
}

// ---------------------------------------------------------------------------------------------

namespace {
// The plan's key column: the target's key field taking its source field's cell.
TCopyPlan::TColumn KeyColumn(const TCopyPlan& plan, TClientDataSet& source, TClientDataSet& target,
                             const TRecordUpdater::TPair& key)
{
    if (!key.first || !key.second) return {};
    return plan.Make(source, target, key);
}
} // namespace

TRecordUpdater::TRecordUpdater(TClientDataSet& source, TClientDataSet& target, const std::vector<TPair>& pairs, TPair key)
    : FSource(source), FTarget(target), FPlan(std::make_unique<TCopyPlan>(source, target, pairs))
{
    FPlan->Key = KeyColumn(*FPlan, source, target, key);
    for (const TPair& p : pairs)
        if (key.first && p.first == key.first && p.second != key.second) FChangesKey = true;
    const TStoreLevel& tlv = FPlan->Tlv;
    FValues.resize(size_t(tlv.SlotSize));
    FKey.resize(size_t(tlv.SlotSize));
    FBlock.resize(size_t(tlv.SlotSize));
    tlv.InitBlock(FKey.data());
    tlv.InitBlock(FValues.data());
    FAllPaired = !FPlan->Columns.empty()
                 && std::all_of(FPlan->Columns.begin(), FPlan->Columns.end(), [](const TCopyPlan::TColumn& c) { return c.To; });
}

TRecordUpdater::~TRecordUpdater()
{
    Drop();
}

bool TRecordUpdater::Supports(const TClientDataSet& target, const std::vector<TPair>& pairs)
{
    if (!target.FStore || target.FLevel != 0 || target.IsNested()) return false;
    for (const TPair& p : pairs)
        if (!target.Binding(p.first) || p.first->DataType() == ftDataSet) return false;
    return true;
}

bool TRecordUpdater::KeyTravels() const
{
    return FPlan->Key.To && FPlan->Key.Cell;
}

bool TRecordUpdater::Take()
{
    Drop();
    const TCopyPlan& plan = *FPlan;
    const TRecordId id = FSource.CurrentRecord();
    const TSlotNo slot = id == NoRecord ? NoSlot : FSource.SlotOf(id);
    // A record that goes through the fields may change the target in ways the found records
    // do not follow.
    auto refuse = [this] {
        Drop();
        ForgetFound();
        return false;
    };
    if (!slot) return refuse();
    FMark = plan.To.Heap().Mark();
    FTaken = true;
    char* values = FValues.data();
    if (plan.Key.To && !plan.TakeCell(plan.Key, slot, FKey.data())) return refuse();
    for (const TCopyPlan::TColumn& c : plan.Columns)
        if (c.To && !plan.TakeCell(c, slot, values)) return refuse();
    return true;
}

void TRecordUpdater::FindAll(const TLocateHash& hash)
{
    ForgetFound();
    const TCopyPlan& plan = *FPlan;
    if (!KeyTravels() || FChangesKey) return;
    // The first record of a key stays the first only where no post can move a record or take
    // it out of sight: the target shown in record order, unfiltered.
    if (FTarget.FOrder || FTarget.ViewFiltered()) return;
    // The source's keys, read (from its file, when it is still there) while the target's are.
    auto sought = [&] {
        plan.From.DecodeAll();
        const int count = FSource.ViewCount();
        std::vector<quint64> hashes(size_t(std::max(count, 0)), 0);
        for (int pos = 0; pos < count; ++pos) KeyHashAt(hash, pos, hashes[size_t(pos)]);
        return hashes;
    };
    FFound = hash.FindAll(sought, &plan.From != &plan.To);
    FFoundVersion = plan.To.Version();
    // Each update the run makes is a change logged.
    plan.To.ReserveLog(FTarget.FLevel, FFound.size());
}

void TRecordUpdater::PrepareAll(const TLocateHash& hash)
{
    DropPrepared();
    const TCopyPlan& plan = *FPlan;
    TStoreLevel& tlv = FTarget.FStore->Level(FTarget.FLevel);
    if (FFound.empty() || !FAllPaired || &plan.From == &plan.To || !plan.To.WritesLog() || tlv.Parent >= 0
        || tlv.Columns.size() > 64 || tlv.HasUndecoded() || plan.Slv.HasUndecoded())
        return;
    // The records found, each once, in the source's order, and the source records' slots (read
    // here: the source's view is not to be read on several threads at once).
    const size_t capacity = tlv.RecCapacity();
    std::vector<quint64> seen((capacity + 63) / 64, 0);
    std::vector<quint32> positions;
    std::vector<TSlotNo> sources;
    positions.reserve(FFound.size());
    sources.reserve(FFound.size());
    for (size_t pos = 0; pos < FFound.size(); ++pos) {
        const TRecIndex rec = FFound[pos];
        if (rec == NoRec) continue;
        if (rec >= capacity) return;    // only a lookup can tell
        const quint64 bit = quint64(1) << (rec & 63);
        if (seen[rec >> 6] & bit) return;
        seen[rec >> 6] |= bit;
        const TSlotNo slot = FSource.SlotOf(FSource.ViewRecord(int(pos)));
        if (!slot) return;
        positions.push_back(quint32(pos));
        sources.push_back(slot);
    }
    if (positions.empty()) return;
    tlv.ReserveSlots(quint32(positions.size()));

    constexpr size_t Share = 1024;      // versions a thread takes at a time
    const size_t n = positions.size();
    std::vector<quint64> same(n, 0);
    // Each share of versions: the source's cells taken (the key's record must hold the key, not
    // only its hash), then compared with the record's version before.
    auto make = [&](size_t share, TByteHeap::TLoadLane& lane) {
        for (size_t k = share * Share; k < std::min((share + 1) * Share, n); ++k) {
            const TRecIndex rec = FFound[positions[k]];
            char* nb = tlv.NextBlock(quint32(k));
            if (!nb) return false;
            tlv.InitBlock(nb);
            for (const TCopyPlan::TColumn& c : plan.Columns)
                if (!plan.TakeCell(c, sources[k], nb, &lane)) return false;
            if (!hash.Holds(rec, nb)) return false;
            const char* ob = tlv.Block(tlv.Current(rec));
            for (int col = 0; col < int(tlv.Columns.size()); ++col)
                if (plan.To.SameCell(tlv, ob, nb, col)) same[k] |= quint64(1) << col;
        }
        return true;
    };
    // What failed leaves its values in the heap unused, and its blocks to the ordinary posts.
    if (!plan.To.Heap().RunLanes((n + Share - 1) / Share, plan.From.Heap().Used(), make)) return;
    FPreparedPos = std::move(positions);
    FSame = std::move(same);
    FPreparedFirst = tlv.SlotCount();
}

bool TRecordUpdater::PostPrepared()
{
    if (!Prepared()) return false;
    const TCopyPlan& plan = *FPlan;
    const int pos = FSource.CurrentViewPosition();
    // The versions hold while the target changes only through them, in their order.
    if (pos < 0 || size_t(pos) >= FFound.size() || plan.To.Version() != FFoundVersion
        || plan.Tlv.SlotCount() != FPreparedFirst + FNextPrepared) {
        DropPrepared();
        return false;
    }
    const TRecIndex rec = FFound[size_t(pos)];
    if (rec == NoRec) return true;
    if (FNextPrepared >= FPreparedPos.size() || FPreparedPos[FNextPrepared] != quint32(pos)) {
        DropPrepared();
        return false;
    }
    try {
        FTarget.PostPrepared(rec, FSame[FNextPrepared]);
    } catch (...) {
        ForgetFound();
        throw;
    }
    ++FNextPrepared;
    FFoundVersion = plan.To.Version();
    return true;
}

void TRecordUpdater::DropPrepared()
{
    FPreparedPos.clear();
    FSame.clear();
    FNextPrepared = 0;
}

void TRecordUpdater::ForgetFound()
{
    FFound.clear();
    DropPrepared();
}

TRecordId TRecordUpdater::Find(TLocateHash& hash)
{
    const int pos = FSource.CurrentViewPosition();
    if (!FFound.empty() && FPlan->To.Version() != FFoundVersion) ForgetFound();
    if (pos >= 0 && size_t(pos) < FFound.size()) {
        const TRecIndex rec = FFound[size_t(pos)];
        if (rec == NoRec) return NoRecord;
        if (rec != TLocateHash::Unmatched && hash.Holds(rec, KeyBlock())) return TRecordId(rec);
    }
    return hash.FindBlock(KeyBlock());
}

const char* TRecordUpdater::KeyBlock() const
{
    return FKey.data();
}

void TRecordUpdater::Post(TRecordId id)
{
    if (!FTaken) return;
    const TCopyPlan& plan = *FPlan;
    try {
        if (FAllPaired) {
            // Every cell is taken: the record's own values are not needed.
            FTarget.PostBlock(TRecIndex(id), FValues.data());
        } else {
            char* block = FBlock.data();
            FTarget.ReadBlock(TRecIndex(id), block);
            bool assigned = false;
            for (const TCopyPlan::TColumn& c : plan.Columns)
                if (c.To) {
                    plan.To.CopyCell(plan.Tlv, FValues.data(), block, c.Target.Column);
                    assigned = true;
                }
            if (assigned) FTarget.PostBlock(TRecIndex(id), block);
        }
    } catch (...) {
        Drop();
        ForgetFound();
        throw;
    }
    FTaken = false;
    FFoundVersion = plan.To.Version();
}

void TRecordUpdater::ReadAhead(const TLocateHash& hash)
{
    const TCopyPlan& plan = *FPlan;
    if (!plan.Key.To || !plan.Key.Cell) return;
    const int pos = FSource.CurrentViewPosition();
    if (pos < 0 || (pos < FNextReadAhead && pos >= FNextReadAhead - AheadBatch)) return;
    FNextReadAhead = pos + AheadBatch;
    const int count = FSource.ViewCount();
    // Each step of a lookup for a batch of records some batches before theirs, the deepest step
    // first; a key's hash is taken at the first step and kept for the others. A step reads for
    // all the batch's records in a row, so that their waits for memory overlap.
    for (int step = AheadSteps - 1; step >= 0; --step) {
        const int first = pos + (AheadSteps - 1 - step) * AheadBatch;
        for (int at = first; at < std::min(first + AheadBatch, count); ++at) {
            if (!FFound.empty()) {
                if (step == 0 || size_t(at) >= FFound.size() || FFound[size_t(at)] >= TLocateHash::Unmatched) continue;
                const TRecIndex rec = FFound[size_t(at)];
                // A version made beforehand needs only the record's place and status.
                if (!Prepared() || step == 1) plan.To.TouchRecord(plan.Tlv, rec, step);
                else if (step == 2) plan.Tlv.TouchStatus(plan.Tlv.Current(rec));
                continue;
            }
            TAheadKey& key = FAhead[size_t(at) % std::size(FAhead)];
            if (key.Position != at) {
                if (!KeyHashAt(hash, at, key.Hash)) continue;
                key.Position = at;
            }
            hash.ReadAhead(key.Hash, step);
        }
    }
}

bool TRecordUpdater::KeyHashAt(const TLocateHash& hash, int position, quint64& keyHash) const
{
    const TCopyPlan& plan = *FPlan;
    const TSlotNo slot = FSource.SlotOf(FSource.ViewRecord(position));
    if (!slot) return false;
    const char* block = plan.From.CellBlock(plan.Slv, slot, plan.Key.SourceColumn);
    keyHash = hash.HashOfCell(plan.From, plan.Slv, block, plan.Key.SourceColumn);
    return true;
}

void TRecordUpdater::Drop()
{
    if (!FTaken) return;
    FTaken = false;
    FPlan->To.Heap().Rollback(FMark);
}
