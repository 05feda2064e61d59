#include "platform/client/ClientLocate.h"

#include "platform/client/ClientDataSet.h"
#include "platform/client/ClientFields.h"
#include "platform/client/ClientKeys.h"
#include "platform/core/CodePages.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>

namespace {

quint64 Mix(quint64 h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

// Kinds whose equal values (as the key comparer finds them equal) hash alike below.
bool Hashable(TPacketValueKind k)
{
    switch (k) {
    case pkInt8: case pkInt16: case pkInt32: case pkInt64: case pkDate: case pkTime:
    case pkUInt8: case pkUInt16: case pkUInt32: case pkUInt64: case pkBoolean:
    case pkDouble: case pkSingle: case pkTimeStamp:
    case pkAnsiString: case pkWideString: case pkFixedBytes:
        return true;
    default:
        return false;
    }
}

constexpr quint64 NullHash = 0x9e3779b97f4a7c15ull;

} // namespace

TLocateHash::TLocateHash(TClientDataSet& dataSet, TField* field) : FDataSet(dataSet), FField(field)
{
    const TColumnBinding* b = dataSet.FStore && dataSet.FLevel == 0 ? dataSet.Binding(field) : nullptr;
    if (!b || !Hashable(dataSet.FStore->Level(0).Columns[size_t(b->Column)].Kind))
        DatabaseErrorFmt(QStringLiteral("Field '%s' cannot be searched by a hash"), {field->FieldName()}, &dataSet);
    FStore = dataSet.FStore;
    FColumn = b->Column;
    FCompare = TKeyComparer(FStore.get(), 0, {{FColumn, false, false}});
    FStore->Attach(this);
}

TLocateHash::~TLocateHash()
{
    FStore->Detach(this);
}

// The value's hash as the comparer sees values: numbers by value (0 and -0 alike), texts by
// their bytes (a multi-byte code page's by its characters); NaN, which compares equal to every
// number, is left to the caller (answers 0 with isNaN set).
quint64 TLocateHash::HashOf(const char* block) const
{
    return HashOfCell(*FStore, FStore->Level(0), block, FColumn);
}

quint64 TLocateHash::HashOfCell(const TRecordStore& store, const TStoreLevel& lv, const char* block, int column) const
{
    if (!block) return NullHash;
    const TStoreColumn& c = lv.Columns[size_t(column)];
    const char* p = block + c.Offset;
    switch (c.Kind) {
    // Every value's hash has its low bit set: 0 stands for NaN, which equals every number.
    case pkInt8: case pkInt16: case pkInt32: case pkInt64: case pkDate: case pkTime:
        return Mix(quint64(BlockInt(p, c.Bytes, true))) | 1;
    case pkUInt8: case pkUInt16: case pkUInt32: case pkUInt64: case pkBoolean:
        return Mix(quint64(BlockInt(p, c.Bytes, false))) | 1;
    case pkDouble: case pkSingle: case pkTimeStamp: {
        double d;
        if (c.Kind == pkSingle) {
            float f;
            std::memcpy(&f, p, 4);
            d = f;
        } else {
            std::memcpy(&d, p, 8);
        }
        if (std::isnan(d)) return 0;
        if (d == 0) d = 0;
        quint64 bits;
        std::memcpy(&bits, &d, 8);
        return Mix(bits) | 1;
    }
    default: {
        qsizetype n = 0;
        const char* s = store.BytesView(lv, block, column, n);
        if (c.Kind == pkAnsiString && !TCollation::ForCodePage(store.CodePage()).SingleByte()) {
            const QString text = DecodeCodePage(QByteArrayView(s, n), store.CodePage());
            return Mix(qHash(text)) | 1;
        }
        return Mix(qHashBits(s, size_t(n))) | 1;
    }
    }
}

quint64 TLocateHash::HashOfRec(TRecIndex rec) const
{
    const TStoreLevel& lv = FStore->Level(0);
    return HashOf(FStore->CellBlock(lv, lv.Current(rec), FColumn));
}

void TLocateHash::Add(TRecIndex rec)
{
    if (!FStore->Level(0).Current(rec)) return;
    Add(rec, HashOfRec(rec));
}

void TLocateHash::Add(TRecIndex rec, quint64 hash)
{
    if ((FUsed + 1) * 10 > FSize * 7) Grow();
    const size_t mask = FSize - 1;
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        TEntry& e = FTable[i];
        if (e.Rec == NoRec || e.Rec == Tombstone) {
            if (e.Rec == NoRec) ++FUsed;
            e.Hash = quint32(hash >> 32);
            e.Rec = rec;
            return;
        }
    }
}

void TLocateHash::Remove(TRecIndex rec, quint64 hash)
{
    if (!FSize) return;
    const size_t mask = FSize - 1;
    for (size_t i = size_t(hash) & mask; FTable[i].Rec != NoRec; i = (i + 1) & mask)
        if (FTable[i].Rec == rec) {
            FTable[i].Rec = Tombstone;
            return;
        }
}

void TLocateHash::Grow()
{
    const TPacketBlock oldBlock = std::move(FBlock);
    const TEntry* old = FTable;
    const size_t oldSize = FSize;
    size_t live = 0;
    for (size_t k = 0; k < oldSize; ++k) live += old[k].Rec != NoRec && old[k].Rec != Tombstone;
    // Room for every record the level may hold soon, at most half full.
    const size_t need = std::max<size_t>({live * 2, size_t(FStore->Level(0).RecCapacity()) * 2, 16});
    size_t size = 16;
    while (size < need) size *= 2;
    FBlock = PacketAllocate(size * sizeof(TEntry));
    FTable = reinterpret_cast<TEntry*>(FBlock.get());
    FSize = size;
    std::fill(FTable, FTable + size, TEntry{});
    FUsed = 0;
    const size_t mask = size - 1;
    for (size_t k = 0; k < oldSize; ++k) {
        const TEntry& e = old[k];
        if (e.Rec == NoRec || e.Rec == Tombstone) continue;
        // The table keeps the hash's high half: place by the record's value again.
        size_t i = size_t(HashOfRec(e.Rec)) & mask;
        while (FTable[i].Rec != NoRec) i = (i + 1) & mask;
        FTable[i] = e;
        ++FUsed;
    }
}

void TLocateHash::Build()
{
    FBlock.reset();
    FTable = nullptr;
    FSize = 0;
    FUsed = 0;
    FChanging = NoRec;
    FCompare = TKeyComparer(FStore.get(), 0, {{FColumn, false, false}});
    FStore->DecodeAll();
    Grow();
    FStale = false;
    // Each record lands somewhere else in the table: its slot is asked for a few records ahead
    // of being filled, so that the waits for memory overlap.
    constexpr TRecIndex Ahead = 16;
    struct TAhead {
        quint64 Hash = 0;
        bool Listed = false;
    } ahead[Ahead];
    auto look = [this](TRecIndex rec) {
        if (!FStore->IsVisible(0, rec)) return TAhead{};
        const quint64 h = HashOfRec(rec);
        __builtin_prefetch(&FTable[size_t(h) & (FSize - 1)], 1);
        return TAhead{h, true};
    };
    const quint32 n = FStore->Level(0).RecCapacity();
    for (TRecIndex rec = 0; rec < std::min(n, Ahead); ++rec) ahead[rec] = look(rec);
    for (TRecIndex rec = 0; rec < n; ++rec) {
        const TAhead a = ahead[rec % Ahead];
        if (rec + Ahead < n) ahead[rec % Ahead] = look(rec + Ahead);
        if (a.Listed) Add(rec, a.Hash);
    }
}

void TLocateHash::ReadAhead(quint64 hash, int step) const
{
    if (FStale || !FSize || hash == 0) return;
    const size_t mask = FSize - 1;
    size_t i = size_t(hash) & mask;
    if (step <= 0) {
        TStoreLevel::Touch(&FTable[i]);
        return;
    }
    const TStoreLevel& lv = FStore->Level(0);
    const quint32 high = quint32(hash >> 32);
    for (int probes = 0; probes < 8 && FTable[i].Rec != NoRec; ++probes, i = (i + 1) & mask) {
        const TEntry& e = FTable[i];
        if (e.Rec != Tombstone && e.Hash == high) FStore->TouchRecord(lv, e.Rec, step);
    }
}

namespace {

struct THashed {
    quint64 Hash;
    quint32 Rec;    // the record, or the index of a sought hash
};

// n values in blocks of the packet pool, which earlier runs' blocks return to: a run's scratch
// then takes no fresh memory, whose first touch costs far more than the work on it. The values
// start unset.
template <typename T> class TScratch {
public:
    explicit TScratch(size_t n) : FBlock(PacketAllocate(std::max<size_t>(n, 1) * sizeof(T))) {}
    T& operator[](size_t i) { return reinterpret_cast<T*>(FBlock.get())[i]; }
    const T& operator[](size_t i) const { return reinterpret_cast<const T*>(FBlock.get())[i]; }

private:
    TPacketBlock FBlock;
};

// Items split into parts by their hashes' top bits, each part's in their first order.
struct TSplit {
    std::vector<size_t> Start;      // of each part, then the end
    TScratch<THashed> Items;        // Rec: the item's index
};

template <typename THashOf> TSplit Split(size_t n, int bits, const THashOf& hashOf)
{
    auto part = [bits](quint64 h) { return bits ? size_t(h >> (64 - bits)) : size_t(0); };
    TSplit s{std::vector<size_t>((size_t(1) << bits) + 1, 0), TScratch<THashed>(n)};
    for (size_t i = 0; i < n; ++i) ++s.Start[part(hashOf(i)) + 1];
    for (size_t p = 1; p < s.Start.size(); ++p) s.Start[p] += s.Start[p - 1];
    std::vector<size_t> at(s.Start.begin(), s.Start.end() - 1);
    for (size_t i = 0; i < n; ++i) {
        const quint64 h = hashOf(i);
        s.Items[at[part(h)]++] = {h, quint32(i)};
    }
    return s;
}

// For each sought hash: the first of the own records (in the dataset's order, with their
// hashes) with that hash, NoRec when none has it, `nan` for hash 0. Both sides are split into
// parts by the hashes' top bits, each with about a thousand records, so that every part's table
// fits the processor's caches; the order within a part is kept.
std::vector<TRecIndex> JoinByHash(const TScratch<quint64>& ownHashes, const TScratch<TRecIndex>& ownRecs, size_t owned,
                                  const std::vector<quint64>& hashes, TRecIndex nan)
{
    int bits = 0;
    while (bits < 20 && (owned >> bits) > 1024) ++bits;
    const TSplit own = Split(owned, bits, [&](size_t i) { return ownHashes[i]; });
    const TSplit sought = Split(hashes.size(), bits, [&](size_t i) { return hashes[i]; });

    std::vector<TRecIndex> found(hashes.size(), NoRec);
    std::vector<THashed> table;
    for (size_t p = 0; p + 1 < own.Start.size(); ++p) {
        size_t size = 16;
        while (size < (own.Start[p + 1] - own.Start[p]) * 2) size *= 2;
        table.assign(size, THashed{0, NoRec});
        const size_t mask = size - 1;
        // The low bit of a value's hash is always set: place by the bits above it.
        auto slot = [&](quint64 h) {
            size_t i = size_t(h >> 1) & mask;
            while (table[i].Rec != NoRec && table[i].Hash != h) i = (i + 1) & mask;
            return i;
        };
        for (size_t k = own.Start[p]; k < own.Start[p + 1]; ++k) {
            const THashed& o = own.Items[k];
            if (THashed& t = table[slot(o.Hash)]; t.Rec == NoRec) t = {o.Hash, ownRecs[o.Rec]};
        }
        for (size_t k = sought.Start[p]; k < sought.Start[p + 1]; ++k) {
            const THashed& q = sought.Items[k];
            found[q.Rec] = q.Hash == 0 ? nan : table[slot(q.Hash)].Rec;
        }
    }
    return found;
}

} // namespace

std::vector<TRecIndex> TLocateHash::FindAll(const std::function<std::vector<quint64>()>& makeSought, bool apart) const
{
    std::vector<quint64> hashes;
    std::exception_ptr failed;
    std::jthread other;     // joined on the way out, also when hashing here throws
    if (apart) {
        try {
            other = std::jthread([&] {
                try {
                    hashes = makeSought();
                } catch (...) {
                    failed = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            apart = false;  // no thread to be had: one after the other
        }
    }
    if (!apart) hashes = makeSought();
    FStore->DecodeAll();
    // The records in the dataset's order, so that the first of equal hashes comes first.
    const size_t count = size_t(std::max(FDataSet.ViewCount(), 0));
    TScratch<quint64> ownHashes(count);
    TScratch<TRecIndex> ownRecs(count);
    size_t owned = 0;
    bool nan = false;
    for (size_t pos = 0; pos < count && !nan; ++pos) {
        const TRecIndex rec = TRecIndex(FDataSet.ViewRecord(int(pos)));
        if (!FStore->IsVisible(0, rec)) continue;
        const quint64 h = HashOfRec(rec);
        nan = h == 0;
        ownHashes[owned] = h;
        ownRecs[owned++] = rec;
    }
    if (other.joinable()) other.join();
    if (failed) std::rethrow_exception(failed);
    if (nan) return {};
    return JoinByHash(ownHashes, ownRecs, owned, hashes, Unmatched);
}

bool TLocateHash::Holds(TRecIndex rec, const char* block) const
{
    const TStoreLevel& lv = FStore->Level(0);
    const TSlotNo slot = lv.Current(rec);
    if (!slot) return false;
    const char* keyCell = lv.State(block, FColumn) == csValue ? block : nullptr;
    return FCompare.CompareCells(FStore->CellBlock(lv, slot, FColumn), keyCell, FColumn, false) == 0;
}

void TLocateHash::StoreChanging(const TStoreChange& change)
{
    if (FStale || change.Level != 0 || change.Kind == sckInserted || change.Kind == sckReset) return;
    if (!FStore->Level(0).Current(change.Rec)) return;
    if (change.Kind == sckModified) {
        // Most changes leave the value alone (a migration's updates, edits of other fields).
        // A logged change keeps the version before, whose value is read only when needed.
        FChanging = change.Rec;
        FChangingSlot = FStore->Level(0).Current(change.Rec);
        FChangingHashed = !FStore->LogChanges() || FStore->IsDelta();
        FChangingHash = FChangingHashed ? HashOfRec(change.Rec) : 0;
        FChangingVisible = FStore->IsVisible(0, change.Rec);
        return;
    }
    Remove(change.Rec, HashOfRec(change.Rec));
}

void TLocateHash::StoreChanged(const TStoreChange& change)
{
    if (FStale || change.Level != 0) return;
    if (change.Kind == sckReset) {
        FStale = true;
        return;
    }
    if (change.Kind == sckModified && change.Rec == FChanging) {
        FChanging = NoRec;
        const bool visible = FStore->IsVisible(0, change.Rec);
        if (visible == FChangingVisible && !FChangingHashed && FStore->KeptCell(0, change.Rec, FChangingSlot, FColumn)) return;
        const TStoreLevel& lv = FStore->Level(0);
        const quint64 before = FChangingHashed ? FChangingHash : HashOf(FStore->CellBlock(lv, FChangingSlot, FColumn));
        const quint64 hash = visible ? HashOfRec(change.Rec) : 0;
        if (visible && FChangingVisible && hash == before) return;
        Remove(change.Rec, before);
        if (visible) Add(change.Rec, hash);
        return;
    }
    if (change.Kind == sckRemoved) return;
    if (change.Kind == sckInserted && FStore->Level(0).Current(change.Rec))
        Remove(change.Rec, HashOfRec(change.Rec));      // an undeleted record may be listed
    if (FStore->IsVisible(0, change.Rec)) Add(change.Rec);
}

TRecordId TLocateHash::Find(const TVariant& value)
{
    if (FStale) Build();
    const TStoreLevel& lv = FStore->Level(0);
    TColumnBinding b = *FDataSet.Binding(FField);
    b.Type = FField->DataType();
    std::vector<char>& key = FKey;
    key.resize(size_t(lv.SlotSize));
    lv.InitBlock(key.data());
    const TByteHeap::TMark mark = FStore->Heap().Mark();
    struct TRollback {
        TRecordStore& Store;
        TByteHeap::TMark Mark;
        ~TRollback() { Store.Heap().Rollback(Mark); }
    } rollback{*FStore, mark};
    const TVariant v = value.IsArray() && value.ArrayCount() == 1 ? value[0] : value;
    try {
        WriteCell(*FStore, lv, key.data(), b, v);
    } catch (const Exception&) {
        return NoRecord;    // a key the field cannot hold matches nothing
    }
    return FindBlock(key.data());
}

TRecordId TLocateHash::FindBlock(const char* key)
{
    if (FStale) Build();
    const TStoreLevel& lv = FStore->Level(0);
    const TKeyComparer& cmp = FCompare;
    const char* keyCell = lv.State(key, FColumn) == csValue ? key : nullptr;
    const quint64 h = HashOf(keyCell);
    TRecordId best = NoRecord;
    int bestPos = -1;
    auto consider = [&](TRecIndex rec) {
        const TSlotNo slot = lv.Current(rec);
        if (!slot) return;
        if (cmp.CompareCells(FStore->CellBlock(lv, slot, FColumn), keyCell, FColumn, false) != 0) return;
        const int pos = FDataSet.ViewPosition(TRecordId(rec));
        if (pos >= 0 && (bestPos < 0 || pos < bestPos)) {
            bestPos = pos;
            best = TRecordId(rec);
        }
    };
    if (h == 0) {
        // NaN equals every number: the first record with one.
        for (int pos = 0; pos < FDataSet.ViewCount(); ++pos) {
            consider(TRecIndex(FDataSet.ViewRecord(pos)));
            if (best != NoRecord) return best;
        }
        return NoRecord;
    }
    const size_t mask = FSize - 1;
    for (size_t i = size_t(h) & mask; FTable[i].Rec != NoRec; i = (i + 1) & mask)
        if (FTable[i].Rec != Tombstone && FTable[i].Hash == quint32(h >> 32)) consider(FTable[i].Rec);
    // Stored NaNs equal every number.
    if (keyCell && h != NullHash)
        for (size_t i = size_t(0) & mask; FTable[i].Rec != NoRec; i = (i + 1) & mask)
            if (FTable[i].Rec != Tombstone && FTable[i].Hash == 0) consider(FTable[i].Rec);
    return best;
}
