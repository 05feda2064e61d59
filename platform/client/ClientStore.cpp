#include "platform/client/ClientStore.h"

#include "platform/data/DB.h"

#include <QVarLengthArray>

#include <algorithm>
#include <atomic>
#include <limits>
#include <system_error>
#include <thread>

namespace {

// Strings and byte values declared no wider than this stay inside the slot block.
constexpr int InlineLimit = 40;
// A slot block always has room for a heap reference where an inline value may overflow.
constexpr int MinInlineCapacity = int(sizeof(THeapRef));
constexpr int LargeFixedBytes = 64;

THeapRef ReadRef(const char* p)
{
    THeapRef r;
    std::memcpy(&r, p, sizeof r);
    return r;
}

void WriteRef(char* p, const THeapRef& r)
{
    std::memcpy(p, &r, sizeof r);
}


} // namespace

// ---- TByteHeap -----------------------------------------------------------------------------

quint32 TByteHeap::Length(qsizetype size)
{
    if (size > qsizetype(std::numeric_limits<qint32>::max()))
        DatabaseError(QStringLiteral("A value of %1 bytes is too large to keep").arg(size));
    return quint32(size);
}

THeapRef TByteHeap::Append(const char* data, qsizetype size, bool load)
{
    THeapRef ref;
    if (size <= 0) return ref;
    ref.Len = Length(size);
    const quint32 n = ref.Len;
    (load ? FLoadUsed : FUsed) += n;
    if (Own(n)) {
        TChunk c;
        c.Data = PacketAllocate(n);
        c.Size = c.Capacity = n;
        c.Load = load;
        std::memcpy(c.Data.get(), data, n);
        ref.Chunk = quint32(FChunks.size());
        FChunks.push_back(std::move(c));
        return ref;
    }
    int& active = load ? FLoadActive : FActive;
    if (active < 0 || FChunks[size_t(active)].Capacity - FChunks[size_t(active)].Size < n) {
        TChunk c;
        c.Data = PacketAllocate(ChunkSize);
        c.Capacity = ChunkSize;
        c.Load = load;
        active = int(FChunks.size());
        FChunks.push_back(std::move(c));
    }
    TChunk& c = FChunks[size_t(active)];
    ref.Chunk = quint32(active);
    ref.Pos = c.Size;
    std::memcpy(c.Data.get() + c.Size, data, n);
    c.Size += n;
    return ref;
}

THeapRef TByteHeap::TLoadLane::Append(const char* data, qsizetype size)
{
    THeapRef ref;
    if (size <= 0) return ref;
    ref.Len = Length(size);
    const quint32 n = ref.Len;
    FUsed += n;
    const bool own = Own(n);
    if (own || FCapacity - FSize < n) {
        // A new chunk, added to the heap's list under the lock; its bytes never move.
        TChunk c;
        c.Capacity = own ? n : ChunkSize;
        c.Data = PacketAllocate(c.Capacity);
        c.Load = true;
        char* to = c.Data.get();
        if (own) {
            std::memcpy(to, data, n);
            c.Size = n;
        }
        std::lock_guard<std::mutex> guard(FLock);
        if (FFixed && FHeap.FChunks.size() == FHeap.FChunks.capacity())
            DatabaseError(QStringLiteral("The values do not fit the room set aside for them"));
        FHeap.FChunks.push_back(std::move(c));
        const quint32 at = quint32(FHeap.FChunks.size() - 1);
        if (own) {
            ref.Chunk = at;
            return ref;
        }
        if (FChunk >= 0) FHeap.FChunks[size_t(FChunk)].Size = FSize;
        FChunk = int(at);
        FData = to;
        FCapacity = ChunkSize;
        FSize = 0;
    }
    ref.Chunk = quint32(FChunk);
    ref.Pos = FSize;
    std::memcpy(FData + FSize, data, n);
    FSize += n;
    return ref;
}

void TByteHeap::TLoadLane::Close()
{
    std::lock_guard<std::mutex> guard(FLock);
    if (FChunk >= 0) FHeap.FChunks[size_t(FChunk)].Size = FSize;
    FChunk = -1;
    FCapacity = FSize = 0;
    FHeap.FLoadUsed += FUsed;
    FUsed = 0;
}

bool TByteHeap::RunLanes(size_t parts, qint64 room, const std::function<bool(size_t, TLoadLane&)>& work)
{
    const size_t threads = std::clamp<size_t>(std::min<size_t>(parts, std::thread::hardware_concurrency()), 1, 16);
    // A chunk a lane leaves holds at least a quarter of its size, and each lane has one open.
    if (room >= 0) FChunks.reserve(FChunks.size() + size_t(room / (ChunkSize / 4)) + 2 * threads + 1);
    std::mutex lock;
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    auto run = [&] {
        TLoadLane lane(*this, lock, room >= 0);
        for (size_t part = next++; part < parts && !failed; part = next++) {
            try {
                if (!work(part, lane)) failed = true;
            } catch (...) {
                failed = true;
            }
        }
    };
    std::vector<std::jthread> helpers;
    for (size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(run);
        } catch (const std::system_error&) {
            break;      // fewer threads, then
        }
    }
    run();
    helpers.clear();    // every thread done
    return !failed;
}

TByteHeap::TMark TByteHeap::Mark() const
{
    TMark m;
    m.Chunks = FChunks.size();
    m.Active = FActive;
    m.ActiveSize = FActive >= 0 ? FChunks[size_t(FActive)].Size : 0;
    m.Used = FUsed;
    return m;
}

void TByteHeap::Rollback(const TMark& mark)
{
    if (mark.Chunks > FChunks.size()) return;
    // Chunks of decoded records keep their places (their values are referenced); the others
    // made since the mark go.
    while (FChunks.size() > mark.Chunks && !FChunks.back().Load) FChunks.pop_back();
    for (size_t i = mark.Chunks; i < FChunks.size(); ++i) {
        if (FChunks[i].Load) continue;
        FChunks[i].Data.reset();
        FChunks[i].Size = FChunks[i].Capacity = 0;
    }
    FActive = mark.Active;
    if (FActive >= 0 && size_t(FActive) < FChunks.size()) FChunks[size_t(FActive)].Size = mark.ActiveSize;
    FUsed = mark.Used;
}

void TByteHeap::Clear()
{
    FChunks.clear();
    FActive = FLoadActive = -1;
    FGarbage = 0;
    FUsed = FLoadUsed = 0;
}

void TByteHeap::Swap(TByteHeap& other) noexcept
{
    FChunks.swap(other.FChunks);
    std::swap(FActive, other.FActive);
    std::swap(FLoadActive, other.FLoadActive);
    std::swap(FGarbage, other.FGarbage);
    std::swap(FUsed, other.FUsed);
    std::swap(FLoadUsed, other.FLoadUsed);
}

// ---- TStoreLevel ---------------------------------------------------------------------------

TSlotNo TStoreLevel::AddSlot(const char* block, quint8 status, TSlotNo prev, TRecIndex rec, TSlotNo holder)
{
    const quint32 n = SlotCount();
    if (n >= 0x7FFFFFF0u) DatabaseError(QStringLiteral("Too many records"));
    if ((n >> ChunkShift) >= FChunks.size()) NewChunk();
    std::memcpy(Block(n + 1), block, size_t(SlotSize));
    return AppendSlot(status, prev, rec, holder);
}

void TStoreLevel::ReserveSlots(quint32 n)
{
    const size_t last = size_t(SlotCount()) + n;
    if (last >= 0x7FFFFFF0u) DatabaseError(QStringLiteral("Too many records"));
    while (FChunks.size() << ChunkShift < last) NewChunk();
}

TSlotNo TStoreLevel::AppendSlot(quint8 status, TSlotNo prev, TRecIndex rec, TSlotNo holder)
{
    Materialize();
    const quint32 n = SlotCount();
    if ((n >> ChunkShift) >= FChunks.size()) DatabaseError(QStringLiteral("The next record version has no room"));
    FStatus.push_back(status);
    FPrev.push_back(prev);
    FRecOf.push_back(rec);
    if (Parent >= 0) FHolder.push_back(holder);
    return n + 1;
}

void TStoreLevel::SetHoldsUnchanged(TSlotNo slot, bool on)
{
    const size_t i = slot - 1;
    if ((i >> 6) >= FHoldsUnchanged.size()) {
        if (!on) return;
        FHoldsUnchanged.resize((i >> 6) + 1, 0);
    }
    const quint64 bit = quint64(1) << (i & 63);
    if (on) FHoldsUnchanged[i >> 6] |= bit;
    else FHoldsUnchanged[i >> 6] &= ~bit;
}

char* TStoreLevel::NewChunk()
{
    FChunks.push_back(PacketAllocate(size_t(SlotSize) << ChunkShift));
    return FChunks.back().get();
}

void TStoreLevel::MaterializeLists(bool forLoad)
{
    const quint32 n = FPristine;
    FPristine = 0;
    FStatus.assign(n, 0);
    FPrev.assign(n, NoSlot);
    if (Parent >= 0) FHolder.assign(n, NoSlot);
    if (forLoad) {
        FRecOf.assign(n, NoRec);
        return;
    }
    FRecOf.resize(n);
    FCurrent.resize(n);
    for (quint32 i = 0; i < n; ++i) {
        FRecOf[i] = i;
        FCurrent[i] = i + 1;
    }
    if (Parent >= 0) FOwner.assign(n, NoRec);
}

TSlotNo TStoreLevel::LoadSlot(quint8 status, TSlotNo holder)
{
    const quint32 n = SlotCount();
    if (n >= 0x7FFFFFF0u) DatabaseError(QStringLiteral("Too many records"));
    if ((n >> ChunkShift) >= FChunks.size()) NewChunk();
    // Top-level rows of plain current data need no per-slot lists (see IsPristine).
    if (FPristine == n && FStatus.empty() && status == 0 && Parent < 0) {
        ++FPristine;
        return n + 1;
    }
    if (FPristine) MaterializeLists(true);
    FStatus.push_back(status);
    FPrev.push_back(NoSlot);
    FRecOf.push_back(NoRec);
    if (Parent >= 0) FHolder.push_back(holder);
    return n + 1;
}

TPacketBlock TStoreLevel::ReadChunk(size_t chunk, TByteHeap::TLoadLane* lane) const
{
    if (!FSource || !FStore) DatabaseError(QStringLiteral("Records are missing from the dataset"));
    TPacketBlock block = PacketAllocate(size_t(SlotSize) << ChunkShift);
    const quint32 first = quint32(chunk << ChunkShift);
    const quint32 count = std::min<quint32>(ChunkMask + 1, FLazyCount - first);
    FSource->Decode(Index, first + 1, count, block.get(), lane);
    return block;
}

char* TStoreLevel::DecodeChunk(size_t chunk)
{
    FChunks[chunk] = ReadChunk(chunk, nullptr);
    if (--FUndecoded == 0) FStore->ChunkDecoded();
    return FChunks[chunk].get();
}

TSlotNo TStoreLevel::Origin(TRecIndex rec) const
{
    TSlotNo s = Current(rec);
    while (s && Prev(s)) s = Prev(s);
    return s;
}

TSlotNo TStoreLevel::NestedHolder(TRecIndex rec, int column) const
{
    TSlotNo s = Current(rec);
    while (s && State(Block(s), column) == csNotChanged && Prev(s)) s = Prev(s);
    return s;
}

std::vector<TRecIndex>& TStoreLevel::Children(TRecIndex owner)
{
    if (owner >= FChildren.size()) FChildren.resize(size_t(owner) + 1);
    return FChildren[owner];
}

void TStoreLevel::InitBlock(char* block) const
{
    std::memset(block, 0, size_t(SlotSize));
    std::memset(block, 0x55, size_t(BitmapBytes));   // 01 in every pair: NULL
}

TRecIndex TStoreLevel::NewRec(TSlotNo current, TRecIndex owner)
{
    Materialize();
    if (FCurrent.size() >= size_t(NoRec) - 1) DatabaseError(QStringLiteral("Too many records"));
    const TRecIndex rec = TRecIndex(FCurrent.size());
    FCurrent.push_back(current);
    if (Parent >= 0) FOwner.push_back(owner);
    return rec;
}

void TStoreLevel::ClearData()
{
    // Record ids are never reused while the store lives: bookmarks of the old ones stay invalid.
    if (FPristine) FCurrent.resize(FPristine);
    FPristine = 0;
    FChunks.clear();
    FUndecoded = 0;
    FLazyCount = 0;
    FSource = nullptr;
    FStatus.clear();
    FPrev.clear();
    FRecOf.clear();
    FHolder.clear();
    FCurrent.fill(NoSlot);
    FHoldsUnchanged.clear();
    FChildren.clear();
    Log.clear();
    Marked.clear();
}

// ---- TRecordStore: construction ----------------------------------------------------------

TRecordStore::TRecordStore(const TPacketMetadata& meta)
    : FMeta(meta)
{
    if (!FMeta.IsPrepared()) FMeta.Prepare();
    FCodePage = FMeta.CodePage();
    FLevels.resize(size_t(FMeta.LevelCount()));
    for (int i = 0; i < FMeta.LevelCount(); ++i) {
        const TPacketLevel& pl = FMeta.Level(i);
        TStoreLevel& lv = FLevels[size_t(i)];
        lv.Index = i;
        lv.FStore = this;
        lv.Parent = pl.Parent;
        const int cols = int(pl.Columns.size());
        lv.BitmapBytes = (cols + 3) / 4;
        int offset = lv.BitmapBytes;
        for (const TPacketColumn& pc : pl.Columns) {
            TStoreColumn c;
            c.Kind = pc.Kind;
            c.PacketSize = pc.Size;
            c.NestedLevel = pc.NestedLevel;
            switch (pc.Kind) {
            case pkNone: case pkNested: c.Bytes = 0; c.Indexable = false; break;
            case pkInt8: case pkUInt8: case pkBoolean: c.Bytes = 1; break;
            case pkInt16: case pkUInt16: c.Bytes = 2; break;
            case pkInt32: case pkUInt32: case pkDate: case pkTime: case pkSingle: c.Bytes = 4; break;
            case pkInt64: case pkUInt64: case pkDouble: case pkTimeStamp: c.Bytes = 8; break;
            case pkExtended: c.Bytes = 10; break;
            case pkBcd: c.Bytes = 18; break;
            case pkSqlTimeStamp: c.Bytes = 16; break;
            case pkSqlTimeStampOffset: c.Bytes = 20; break;
            case pkAnsiString: case pkWideString: case pkVarBytes: {
                const qint64 width = pc.Field ? pc.Field->Params.Width().value_or(0) : 0;
                const qint64 declared = width > 0 ? width : (pc.Size == 1 ? 255 : 65535);
                if (declared <= InlineLimit) {
                    c.InlineCapacity = std::max<int>(int(declared), MinInlineCapacity);
                    c.Bytes = 1 + c.InlineCapacity;
                } else {
                    c.InHeap = true;
                    c.Bytes = int(sizeof(THeapRef));
                }
                break;
            }
            case pkBlob: case pkRawVarying:
                c.InHeap = true;
                c.Bytes = int(sizeof(THeapRef));
                c.Indexable = false;
                break;
            case pkFixedBytes: case pkRawFixed:
                if (pc.Size > LargeFixedBytes) {
                    c.InHeap = true;
                    c.Bytes = int(sizeof(THeapRef));
                } else {
                    c.Bytes = pc.Size;
                }
                c.Indexable = pc.Kind == pkFixedBytes;
                break;
            }
            c.Offset = offset;
            offset += c.Bytes;
            lv.Columns.push_back(c);
        }
        lv.SlotSize = std::max(offset, 1);
    }
    for (TStoreLevel& lv : FLevels) {
        for (int c = 0; c < int(lv.Columns.size()); ++c) {
            const int nested = lv.Columns[size_t(c)].NestedLevel;
            if (lv.Columns[size_t(c)].Kind != pkNested || nested < 0 || nested >= LevelCount()) continue;
            lv.ChildLevels.push_back(nested);
            TStoreLevel& child = FLevels[size_t(nested)];
            child.ParentColumn = c;
            child.TableNo = int(lv.ChildLevels.size());
        }
    }
    FAlive.assign(FLevels.size(), 0);
    FDeleted.assign(FLevels.size(), 0);
}

// ---- values ----------------------------------------------------------------------------------

void TRecordStore::TouchRecord(const TStoreLevel& lv, TRecIndex rec, int step) const
{
    if (step <= 1) {
        lv.TouchCurrent(rec);
        return;
    }
    const TSlotNo slot = lv.Current(rec);
    if (!slot) return;
    if (step == 2) {
        lv.TouchBlock(slot);
        return;
    }
    const char* b = lv.DecodedBlock(slot);
    if (!b) return;
    for (int col = 0; col < int(lv.Columns.size()); ++col) {
        if (!HeapBytes(lv, b, col)) continue;
        qsizetype n = 0;
        const char* v = BytesView(lv, b, col, n);
        TStoreLevel::Touch(v);
        TStoreLevel::Touch(v + n - 1);
    }
}

const char* TRecordStore::BytesView(const TStoreLevel& lv, const char* block, int column, qsizetype& size) const
{
    const TStoreColumn& c = lv.Columns[size_t(column)];
    const char* p = block + c.Offset;
    if (c.InlineCapacity > 0) {
        const quint8 len = quint8(p[0]);
        if (len == OverflowMark) {
            const THeapRef r = ReadRef(p + 1);
            size = r.Len;
            return FHeap.Data(r);
        }
        size = len;
        return p + 1;
    }
    if (c.InHeap) {
        const THeapRef r = ReadRef(p);
        size = r.Len;
        return FHeap.Data(r);
    }
    size = c.Bytes;
    return p;
}

QByteArray TRecordStore::Bytes(const TStoreLevel& lv, const char* block, int column) const
{
    qsizetype size = 0;
    const char* p = BytesView(lv, block, column, size);
    return QByteArray(p, size);
}

namespace {
// Places a value's bytes in its cell: inline, or in the heap through `append`.
template <typename TAppend>
void PlaceBytes(const TStoreLevel& lv, char* block, int column, const char* data, qsizetype size, const TAppend& append)
{
    const TStoreColumn& c = lv.Columns[size_t(column)];
    char* p = block + c.Offset;
    if (c.InlineCapacity > 0) {
        if (size <= c.InlineCapacity && size < OverflowMark) {
            p[0] = char(quint8(size));
            if (size > 0) std::memcpy(p + 1, data, size_t(size));
        } else {
            p[0] = char(OverflowMark);
            WriteRef(p + 1, append());
        }
    } else if (c.InHeap) {
        WriteRef(p, append());
    } else {
        std::memset(p, 0, size_t(c.Bytes));
        if (size > 0) std::memcpy(p, data, size_t(std::min<qsizetype>(size, c.Bytes)));
    }
    lv.SetState(block, column, csValue);
}
} // namespace

void TRecordStore::SetBytes(const TStoreLevel& lv, char* block, int column, const char* data, qsizetype size, bool load)
{
    PlaceBytes(lv, block, column, data, size, [&] { return FHeap.Append(data, size, load); });
}

void TRecordStore::SetBytes(const TStoreLevel& lv, char* block, int column, const char* data, qsizetype size,
                            TByteHeap::TLoadLane& lane)
{
    PlaceBytes(lv, block, column, data, size, [&] { return lane.Append(data, size); });
}

void TRecordStore::ReadResolved(const TStoreLevel& lv, TSlotNo slot, char* to) const
{
    std::memcpy(to, lv.Block(slot), size_t(lv.SlotSize));
    const bool holds = lv.HoldsUnchanged(slot);
    for (int col = 0; col < int(lv.Columns.size()); ++col) {
        if (lv.Columns[size_t(col)].Kind == pkNested || lv.State(to, col) != csNotChanged) continue;
        if (holds) {
            lv.SetState(to, col, csValue);
        } else if (const char* from = CellBlock(lv, slot, col)) {
            CopyCell(lv, from, to, col);
        } else {
            lv.SetState(to, col, csNull);
        }
    }
}

void TRecordStore::CopyCell(const TStoreLevel& lv, const char* from, char* to, int column) const
{
    const TStoreColumn& c = lv.Columns[size_t(column)];
    lv.SetState(to, column, lv.State(from, column));
    if (c.Bytes) std::memcpy(to + c.Offset, from + c.Offset, size_t(c.Bytes));
}

qint64 TRecordStore::HeapBytes(const TStoreLevel& lv, const char* block, int column) const
{
    const TStoreColumn& c = lv.Columns[size_t(column)];
    if (lv.State(block, column) != csValue) return 0;
    if (c.InHeap) return ReadRef(block + c.Offset).Len;
    if (c.InlineCapacity > 0 && quint8(block[c.Offset]) == OverflowMark) return ReadRef(block + c.Offset + 1).Len;
    return 0;
}

void TRecordStore::DiscardBlock(const TStoreLevel& lv, const char* block)
{
    for (int i = 0; i < int(lv.Columns.size()); ++i) FHeap.AddGarbage(HeapBytes(lv, block, i));
}

void TRecordStore::DiscardReplaced(const TStoreLevel& lv, const char* gone, const char* kept)
{
    for (int i = 0; i < int(lv.Columns.size()); ++i)
        if (const qint64 n = HeapBytes(lv, gone, i); n && !SameCell(lv, gone, kept, i)) FHeap.AddGarbage(n);
}

namespace {
template <typename T> T Word(const char* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
} // namespace

bool TRecordStore::SameCell(const TStoreLevel& lv, const char* a, const char* b, int column) const
{
    const TCellState sa = lv.State(a, column);
    if (sa != lv.State(b, column)) return false;
    if (sa != csValue) return true;
    const TStoreColumn& c = lv.Columns[size_t(column)];
    if (c.InHeap || c.InlineCapacity > 0) {
        qsizetype na = 0, nb = 0;
        const char* pa = BytesView(lv, a, column, na);
        const char* pb = BytesView(lv, b, column, nb);
        return na == nb && (pa == pb || std::memcmp(pa, pb, size_t(na)) == 0);
    }
    const char* pa = a + c.Offset;
    const char* pb = b + c.Offset;
    // Most cells are numbers and dates: compared as one word, not through a call.
    switch (c.Bytes) {
    case 8: return Word<quint64>(pa) == Word<quint64>(pb);
    case 4: return Word<quint32>(pa) == Word<quint32>(pb);
    case 2: return Word<quint16>(pa) == Word<quint16>(pb);
    case 1: return *pa == *pb;
    default: return std::memcmp(pa, pb, size_t(c.Bytes)) == 0;
    }
}

// ---- records -------------------------------------------------------------------------------

bool TRecordStore::IsVisible(int level, TRecIndex rec) const
{
    const TStoreLevel& lv = FLevels[size_t(level)];
    const TSlotNo s = lv.Current(rec);
    return s && (FDelta || !(lv.Status(s) & 0x02));
}

void TRecordStore::CountRec(int level, TRecIndex rec, int sign)
{
    if (FLevels[size_t(level)].IsDeleted(rec)) FDeleted[size_t(level)] += sign;
    else FAlive[size_t(level)] += sign;
}

std::vector<TSlotNo> TRecordStore::Chain(int level, TRecIndex rec) const
{
    const TStoreLevel& lv = FLevels[size_t(level)];
    std::vector<TSlotNo> chain;
    for (TSlotNo s = lv.Current(rec); s; s = lv.Prev(s)) {
        chain.push_back(s);
        if (chain.size() > lv.SlotCount()) break;   // damaged chains cannot loop us
    }
    return chain;
}

void TRecordStore::PlaceRec(int level, TRecIndex rec, TRecIndex owner, TRecIndex before)
{
    if (level == 0) {
        const int pos = before == NoRec ? -1 : FRecordOrder.IndexOf(before);
        if (pos < 0) FRecordOrder.Append(rec);
        else FRecordOrder.Insert(pos, rec);
        return;
    }
    if (owner == NoRec) return;
    std::vector<TRecIndex>& list = FLevels[size_t(level)].Children(owner);
    auto it = before == NoRec ? list.end() : std::find(list.begin(), list.end(), before);
    list.insert(it, rec);
}

void TRecordStore::UnplaceRec(int level, TRecIndex rec)
{
    if (level == 0) {
        FRecordOrder.Remove(rec);
        return;
    }
    TStoreLevel& lv = FLevels[size_t(level)];
    const TRecIndex owner = lv.Owner(rec);
    if (owner == NoRec || owner >= lv.FChildren.size()) return;
    std::vector<TRecIndex>& list = lv.FChildren[owner];
    list.erase(std::remove(list.begin(), list.end(), rec), list.end());
}

bool TRecordStore::AddNestedMarker(int level, TRecIndex owner)
{
    const TStoreLevel& lv = FLevels[size_t(level)];
    if (lv.Parent < 0 || !FLogChanges) return false;
    TStoreLevel& parent = FLevels[size_t(lv.Parent)];
    const TSlotNo m = parent.Current(owner);
    if (!m) return false;
    const bool marked = AddNestedMarker(lv.Parent, parent.Owner(owner));
    parent.AddLog(m, quint32(lv.TableNo), laNested, marked);
    parent.SetStatus(m, parent.Status(m) | 0x40);
    return true;
}

void TRecordStore::ClearNestedBit(int level, TSlotNo slot)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    if (!slot || slot > lv.SlotCount()) return;
    for (size_t i = 0; i + 2 < lv.Log.size(); i += 3)
        if (lv.Log[i] == slot && lv.Log[i + 2] == laNested) return;
    lv.SetStatus(slot, lv.Status(slot) & ~0x40);
}

void TRecordStore::RemoveNestedMarkers(int level, int count, TRecIndex owner)
{
    const TStoreLevel& lv = FLevels[size_t(level)];
    if (lv.Parent < 0 || count <= 0) return;
    TStoreLevel& parent = FLevels[size_t(lv.Parent)];
    // NoRec: the markers of every master row.
    const std::vector<TSlotNo> chain = owner == NoRec ? std::vector<TSlotNo>() : Chain(lv.Parent, owner);
    std::vector<TSlotNo> cleared;
    std::vector<TRecIndex> cascade;
    for (int e = parent.LogEntries() - 1; e >= 0 && count > 0; --e) {
        const size_t i = size_t(e) * 3;
        if (parent.Log[i + 2] != laNested || parent.Log[i + 1] != quint32(lv.TableNo)) continue;
        const TSlotNo m = parent.Log[i];
        if (owner != NoRec && std::find(chain.begin(), chain.end(), m) == chain.end()) continue;
        cleared.push_back(m);
        // A marker that itself marked the grandparent takes that marker with it.
        if (parent.Marked[size_t(e)] && m >= 1 && m <= parent.SlotCount()) cascade.push_back(parent.Owner(parent.RecOf(m)));
        parent.Log.erase(parent.Log.begin() + qsizetype(i), parent.Log.begin() + qsizetype(i) + 3);
        parent.Marked.erase(parent.Marked.begin() + e);
        --count;
    }
    for (TSlotNo s : cleared) ClearNestedBit(lv.Parent, s);
    for (TRecIndex r : cascade)
        if (r != NoRec) RemoveNestedMarkers(lv.Parent, 1, r);
}

int TRecordStore::RemoveLogEntriesCount(int level, const std::vector<TSlotNo>& chainSlots)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    if (chainSlots.empty() || lv.Log.empty()) return 0;
    std::vector<bool> hit(size_t(lv.SlotCount()) + 1, false);
    for (TSlotNo s : chainSlots)
        if (s <= lv.SlotCount()) hit[s] = true;
    int marked = 0;
    size_t out = 0;
    for (size_t e = 0; e < lv.Marked.size(); ++e) {
        const quint32 r = lv.Log[e * 3], p = lv.Log[e * 3 + 1], a = lv.Log[e * 3 + 2];
        const bool known = a == laInserted || a == laModified || a == laDeleted || a == laNested;
        const bool drop = known && ((r < hit.size() && hit[r]) || (a == laModified && p < hit.size() && hit[p]));
        if (drop) {
            if (lv.Marked[e]) ++marked;
            continue;
        }
        lv.Log[out * 3] = r;
        lv.Log[out * 3 + 1] = p;
        lv.Log[out * 3 + 2] = a;
        lv.Marked[out] = lv.Marked[e];
        ++out;
    }
    lv.Log.resize(out * 3);
    lv.Marked.resize(out);
    return marked;
}

void TRecordStore::RemoveLogEntries(int level, const std::vector<TSlotNo>& chainSlots)
{
    const int marked = RemoveLogEntriesCount(level, chainSlots);
    const TStoreLevel& lv = FLevels[size_t(level)];
    if (marked && lv.Parent >= 0 && !chainSlots.empty()) {
        const TRecIndex rec = lv.RecOf(chainSlots.front());
        RemoveNestedMarkers(level, marked, rec == NoRec ? NoRec : lv.Owner(rec));
    }
}

TRecIndex TRecordStore::DoInsert(int level, TRecIndex rec, TRecIndex owner, const char* block, TRecIndex before)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    TSlotNo holder = NoSlot;
    if (lv.Parent >= 0 && owner != NoRec)
        holder = FLevels[size_t(lv.Parent)].NestedHolder(owner, lv.ParentColumn);
    const bool log = WritesLog();
    const TSlotNo s = lv.AddSlot(block, log ? prsInserted : 0, NoSlot, rec, holder);
    lv.FCurrent[rec] = s;
    if (lv.Parent >= 0) lv.FOwner[rec] = owner;
    PlaceRec(level, rec, owner, before);
    if (log) {
        const bool marked = lv.Parent >= 0 && AddNestedMarker(level, owner);
        lv.AddLog(s, 0, laInserted, marked);
    }
    CountRec(level, rec, +1);
    Touch();
    Notify({sckInserted, level, rec, owner});
    return rec;
}

TRecIndex TRecordStore::Insert(int level, TRecIndex owner, const char* block, TRecIndex before)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    const TRecIndex rec = lv.NewRec(NoSlot, owner);
    return DoInsert(level, rec, owner, block, before);
}

TRecIndex TRecordStore::ReserveRec(int level)
{
    return FLevels[size_t(level)].NewRec(NoSlot, NoRec);
}

TRecIndex TRecordStore::InsertReserved(int level, TRecIndex reserved, TRecIndex owner, const char* block, TRecIndex before)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    if (reserved >= lv.RecCapacity() || lv.Current(reserved)) return Insert(level, owner, block, before);
    DoInsert(level, reserved, owner, block, before);
    // Nested rows added before the master was posted are held by its first slot now.
    const TSlotNo s = lv.Current(reserved);
    for (int child : lv.ChildLevels) {
        TStoreLevel& cl = FLevels[size_t(child)];
        const std::vector<TRecIndex>* list = cl.ChildrenIf(reserved);
        if (!list) continue;
        for (TRecIndex r : *list)
            for (TSlotNo v : Chain(child, r)) cl.SetHolder(v, s);
    }
    return reserved;
}

void TRecordStore::Modify(int level, TRecIndex rec, const char* block)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    const TSlotNo c = lv.Current(rec);
    if (!c) return;
    const TRecIndex owner = lv.Owner(rec);
    NotifyChanging({sckModified, level, rec, owner});
    if (WritesLog()) {
        const quint8 status = quint8(prsModified | (lv.Status(c) & prsInserted));
        const TSlotNo s = lv.AddSlot(block, status, c, rec, lv.Holder(c));
        const char* nb = lv.Block(s);
        const char* ob = lv.Block(c);
        LogVersion(lv, level, rec, owner, c, s, [&](int col) { return SameCell(lv, ob, nb, col); });
    } else {
        char* old = lv.Block(c);
        FScratch.assign(block, block + lv.SlotSize);
        char* nb = FScratch.data();
        for (int col = 0; col < int(lv.Columns.size()); ++col)
            if (lv.Columns[size_t(col)].Kind == pkNested) CopyCell(lv, old, nb, col);
        DiscardReplaced(lv, old, nb);
        std::memcpy(old, nb, size_t(lv.SlotSize));
        lv.SetHoldsUnchanged(c, false);
    }
    Touch();
    Notify({sckModified, level, rec, owner});
}

void TRecordStore::ModifyPrepared(int level, TRecIndex rec, quint64 same)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    const TSlotNo c = lv.Current(rec);
    if (!c) return;
    if (!WritesLog() || lv.Columns.size() > 64 || !lv.NextBlock(0))
        DatabaseError(QStringLiteral("The record's new version was not made beforehand"));
    const TRecIndex owner = lv.Owner(rec);
    NotifyChanging({sckModified, level, rec, owner});
    const quint8 status = quint8(prsModified | (lv.Status(c) & prsInserted));
    const TSlotNo s = lv.AppendSlot(status, c, rec, lv.Holder(c));
    LogVersion(lv, level, rec, owner, c, s, [same](int col) { return ((same >> col) & 1) != 0; });
    Touch();
    Notify({sckModified, level, rec, owner});
}

template <typename TSame>
void TRecordStore::LogVersion(TStoreLevel& lv, int level, TRecIndex rec, TRecIndex owner, TSlotNo c, TSlotNo s, const TSame& same)
{
    // As the engine writes it: a new version carries only what changed. The values it marks
    // "not changed" stay in the block, so reading it needs no older version.
    char* nb = lv.Block(s);
    bool holds = true;
    for (int col = 0; col < int(lv.Columns.size()); ++col) {
        if (lv.Columns[size_t(col)].Kind == pkNested) {
            lv.SetState(nb, col, csNotChanged);
        } else if (same(col)) {
            holds = holds && lv.State(nb, col) == csValue;
            lv.SetState(nb, col, csNotChanged);
        }
    }
    if (holds) lv.SetHoldsUnchanged(s, true);
    lv.SetStatus(c, lv.Status(c) | prsOriginal);
    lv.FCurrent[rec] = s;
    const bool marked = lv.Parent >= 0 && AddNestedMarker(level, owner);
    lv.AddLog(s, c, laModified, marked);
}

void TRecordStore::ReserveLog(int level, size_t changes)
{
    if (!WritesLog()) return;
    TStoreLevel& lv = FLevels[size_t(level)];
    lv.Log.reserve(lv.Log.size() + 3 * changes);
    lv.Marked.reserve(lv.Marked.size() + changes);
}

void TRecordStore::Delete(int level, TRecIndex rec)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    const TSlotNo c = lv.Current(rec);
    if (!c || (lv.Status(c) & prsDeleted)) return;
    const TRecIndex owner = lv.Owner(rec);
    if (WritesLog()) {
        NotifyChanging({sckStatus, level, rec, owner});
        CountRec(level, rec, -1);
        lv.SetStatus(c, lv.Status(c) | prsDeleted);
        CountRec(level, rec, +1);
        const bool marked = lv.Parent >= 0 && AddNestedMarker(level, owner);
        lv.AddLog(c, 0, laDeleted, marked);
        Touch();
        Notify({sckStatus, level, rec, owner});
    } else {
        PurgeRec(level, rec);
        Touch();
    }
}

void TRecordStore::PurgeChildren(int level, TRecIndex rec)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    for (int child : lv.ChildLevels) {
        const std::vector<TRecIndex>* list = FLevels[size_t(child)].ChildrenIf(rec);
        if (!list) continue;
        const std::vector<TRecIndex> copy = *list;
        for (auto it = copy.rbegin(); it != copy.rend(); ++it) PurgeRec(child, *it);
    }
}

void TRecordStore::PurgeRec(int level, TRecIndex rec)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    if (!lv.Current(rec)) return;
    const TRecIndex owner = lv.Owner(rec);
    NotifyChanging({sckRemoved, level, rec, owner});
    PurgeChildren(level, rec);
    const std::vector<TSlotNo> chain = Chain(level, rec);
    RemoveLogEntries(level, chain);
    for (TSlotNo s : chain) {
        DiscardBlock(lv, lv.Block(s));
        lv.SetStatus(s, prsUnused);
    }
    CountRec(level, rec, -1);
    UnplaceRec(level, rec);
    lv.FCurrent[rec] = NoSlot;
    Notify({sckRemoved, level, rec, owner});
}

TRecIndex TRecordStore::UndoLast(int level)
{
    return UndoLastEntry(level, false);
}

TRecIndex TRecordStore::UndoLastEntry(int level, bool fromParent)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    if (lv.Log.size() < 3) return NoRec;
    const quint32 r = lv.Log[lv.Log.size() - 3];
    const quint32 p = lv.Log[lv.Log.size() - 2];
    const quint32 a = lv.Log[lv.Log.size() - 1];
    const bool marked = !lv.Marked.empty() && lv.Marked.back();
    lv.Log.resize(lv.Log.size() - 3);
    if (!lv.Marked.empty()) lv.Marked.pop_back();
    const bool valid = r >= 1 && r <= lv.SlotCount();
    const TRecIndex rec = valid ? lv.RecOf(r) : NoRec;
    if (marked && !fromParent && rec != NoRec) RemoveNestedMarkers(level, 1, lv.Owner(rec));
    Touch();
    if (!valid || rec == NoRec) return NoRec;
    const TRecIndex owner = lv.Owner(rec);
    switch (a) {
    case laInserted:
        if (lv.Current(rec) == r) {
            NotifyChanging({sckRemoved, level, rec, owner});
            PurgeChildren(level, rec);
            DiscardBlock(lv, lv.Block(r));
            CountRec(level, rec, -1);
            lv.SetStatus(r, prsUnused);
            UnplaceRec(level, rec);
            lv.FCurrent[rec] = NoSlot;
            Notify({sckRemoved, level, rec, owner});
        }
        return rec;
    case laModified:
        if (lv.Current(rec) == r && p >= 1 && p < r) {
            NotifyChanging({sckModified, level, rec, owner});
            DiscardReplaced(lv, lv.Block(r), lv.Block(p));
            lv.SetStatus(r, prsUnused);
            lv.SetStatus(p, lv.Status(p) & ~prsOriginal);
            lv.FCurrent[rec] = p;
            Notify({sckModified, level, rec, owner});
        }
        return rec;
    case laDeleted:
        if (lv.Current(rec) == r && (lv.Status(r) & prsDeleted)) {
            NotifyChanging({sckStatus, level, rec, owner});
            CountRec(level, rec, -1);
            lv.SetStatus(r, lv.Status(r) & ~prsDeleted);
            CountRec(level, rec, +1);
            Notify({sckStatus, level, rec, owner});
        }
        return rec;
    case laNested:
        if (p >= 1 && p <= lv.ChildLevels.size()) {
            UndoLastEntry(lv.ChildLevels[p - 1], true);
            ClearNestedBit(level, r);
            Notify({sckStatus, level, rec, owner});
        }
        return rec;
    default:
        return NoRec;
    }
}

void TRecordStore::UndoTo(int level, int entries)
{
    while (FLevels[size_t(level)].LogEntries() > std::max(entries, 0))
        UndoLast(level);
}

bool TRecordStore::Revert(int level, TRecIndex rec)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    const TSlotNo c = lv.Current(rec);
    if (!c || FDelta) return false;
    const std::vector<TSlotNo> chain = Chain(level, rec);
    const TSlotNo o = chain.back();
    if (lv.Status(o) & prsInserted) {
        PurgeRec(level, rec);
        Touch();
        return true;
    }
    const bool changed = chain.size() > 1 || (lv.Status(c) & (prsDeleted | prsDetailsChanged));
    if (!changed) return false;
    const TRecIndex owner = lv.Owner(rec);
    NotifyChanging({sckModified, level, rec, owner});
    for (int child : lv.ChildLevels) {
        const std::vector<TRecIndex>* list = FLevels[size_t(child)].ChildrenIf(rec);
        if (!list) continue;
        const std::vector<TRecIndex> copy = *list;
        for (TRecIndex r : copy) Revert(child, r);
    }
    CountRec(level, rec, -1);
    for (TSlotNo s : chain) {
        if (s == o) continue;
        DiscardReplaced(lv, lv.Block(s), lv.Block(o));
        lv.SetStatus(s, prsUnused);
    }
    lv.SetStatus(o, lv.Status(o) & ~(prsOriginal | prsDeleted | prsModified | prsDetailsChanged));
    RemoveLogEntries(level, chain);
    lv.FCurrent[rec] = o;
    CountRec(level, rec, +1);
    Touch();
    Notify({sckModified, level, rec, owner});
    return true;
}

// ---- merging and emptying ----------------------------------------------------------------------

void TRecordStore::CompactLevel(int level, std::vector<TSlotNo>& newSlotOf)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    lv.Materialize();
    // The records that stay, in their order.
    std::vector<TRecIndex> kept;
    if (level == 0) {
        kept.reserve(size_t(FRecordOrder.Count()));
        FRecordOrder.ForEach([&](quint32 rec) {
            if (IsVisible(0, rec)) kept.push_back(rec);
            return true;
        });
    } else {
        const TStoreLevel& parent = FLevels[size_t(lv.Parent)];
        for (TRecIndex owner = 0; owner < parent.RecCapacity(); ++owner) {
            if (!parent.Current(owner) || (parent.Status(parent.Current(owner)) & prsDeleted)) continue;
            const std::vector<TRecIndex>* list = lv.ChildrenIf(owner);
            if (!list) continue;
            for (TRecIndex r : *list)
                if (IsVisible(level, r)) kept.push_back(r);
        }
    }

    TStoreLevel fresh;
    fresh.Index = lv.Index;
    fresh.Parent = lv.Parent;
    fresh.ParentColumn = lv.ParentColumn;
    fresh.TableNo = lv.TableNo;
    fresh.Columns = lv.Columns;
    fresh.ChildLevels = lv.ChildLevels;
    fresh.BitmapBytes = lv.BitmapBytes;
    fresh.SlotSize = lv.SlotSize;
    newSlotOf.assign(size_t(lv.SlotCount()) + 1, NoSlot);
    std::vector<char> block(size_t(lv.SlotSize));
    for (TRecIndex rec : kept) {
        const TSlotNo c = lv.Current(rec);
        // The older versions go, so values they held move into the one left.
        ReadResolved(lv, c, block.data());
        for (int col = 0; col < int(lv.Columns.size()); ++col) {
            if (lv.Columns[size_t(col)].Kind != pkNested) continue;
            // Nested rows end up held by the only slot left.
            const TSlotNo h = lv.NestedHolder(rec, col);
            TCellState st = h ? lv.State(lv.Block(h), col) : csNull;
            if (st != csValue) st = csNull;
            const int child = lv.Columns[size_t(col)].NestedLevel;
            if (child >= 0) {
                const std::vector<TRecIndex>* list = FLevels[size_t(child)].ChildrenIf(rec);
                if (list && !list->empty()) st = csValue;
            }
            lv.SetState(block.data(), col, st);
        }
        TSlotNo holder = NoSlot;
        if (lv.Parent >= 0) holder = FLevels[size_t(lv.Parent)].Current(lv.Owner(rec));
        const TSlotNo s = fresh.AddSlot(block.data(), quint8(lv.Status(c) & ~(prsOriginal | prsDeleted | prsInserted | prsModified | prsUnused | prsDetailsChanged)), NoSlot, rec, holder);
        newSlotOf[c] = s;
    }
    // Records left behind are gone; the kept ones keep their ids.
    TPagedArray<TSlotNo> current;
    current.assign(lv.FCurrent.size(), NoSlot);
    for (TRecIndex rec : kept) current[rec] = newSlotOf[lv.Current(rec)];
    lv.FChunks.swap(fresh.FChunks);
    lv.FUndecoded = 0;
    lv.FLazyCount = 0;
    lv.FSource = nullptr;
    lv.FStatus.swap(fresh.FStatus);
    lv.FPrev.swap(fresh.FPrev);
    lv.FRecOf.swap(fresh.FRecOf);
    lv.FHolder.swap(fresh.FHolder);
    lv.FHoldsUnchanged.swap(fresh.FHoldsUnchanged);
    lv.FCurrent.swap(current);
    lv.Log.clear();
    lv.Marked.clear();
    if (level == 0) {
        FRecordOrder.Assign(kept);
    } else {
        for (size_t owner = 0; owner < lv.FChildren.size(); ++owner) {
            std::vector<TRecIndex>& list = lv.FChildren[owner];
            list.erase(std::remove_if(list.begin(), list.end(), [&](TRecIndex r) { return !lv.Current(r); }), list.end());
        }
    }
    FAlive[size_t(level)] = qint64(kept.size());
    FDeleted[size_t(level)] = 0;
}

void TRecordStore::CompactHeap()
{
    TByteHeap fresh;
    for (TStoreLevel& lv : FLevels) {
        // Only cells marked as values move: copies kept under "not changed" marks would dangle.
        lv.FHoldsUnchanged.clear();
        for (TSlotNo s = 1; s <= lv.SlotCount(); ++s) {
            char* block = lv.Block(s);
            for (int col = 0; col < int(lv.Columns.size()); ++col) {
                const TStoreColumn& c = lv.Columns[size_t(col)];
                if (lv.State(block, col) != csValue) continue;
                char* p = nullptr;
                if (c.InHeap) p = block + c.Offset;
                else if (c.InlineCapacity > 0 && quint8(block[c.Offset]) == OverflowMark) p = block + c.Offset + 1;
                if (!p) continue;
                const THeapRef r = ReadRef(p);
                WriteRef(p, fresh.Append(FHeap.Data(r), r.Len));
            }
        }
    }
    FHeap.Swap(fresh);
}

void TRecordStore::MergeChangeLog(int level)
{
    if (FDelta || level < 0 || level >= LevelCount()) return;
    std::vector<std::vector<TSlotNo>> newSlotOf(FLevels.size());
    // Levels are numbered depth-first, so a level's descendants follow it until the next
    // level of the same or a lower depth.
    const int depth = FMeta.Level(level).Depth;
    int end = level + 1;
    while (end < LevelCount() && FMeta.Level(end).Depth > depth) ++end;
    // Records as read and unchanged have nothing to merge.
    bool pristine = true;
    for (int l = level; l < end && pristine; ++l) pristine = FLevels[size_t(l)].IsPristine() || FLevels[size_t(l)].SlotCount() == 0;
    if (pristine) {
        Touch();
        Notify({sckReset, level, NoRec, NoRec});
        return;
    }
    for (int l = level; l < end; ++l) CompactLevel(l, newSlotOf[size_t(l)]);
    if (level > 0) {
        RemoveNestedMarkers(level, std::numeric_limits<int>::max(), NoRec);
    } else if (FHeap.Garbage() > FHeap.Used() / 4) {
        CompactHeap();
    }
    Touch();
    Notify({sckReset, level, NoRec, NoRec});
}

void TRecordStore::Empty()
{
    for (TStoreLevel& lv : FLevels) lv.ClearData();
    FRecordOrder.Clear();
    FHeap.Clear();
    std::fill(FAlive.begin(), FAlive.end(), 0);
    std::fill(FDeleted.begin(), FDeleted.end(), 0);
    Touch();
    Notify({sckReset, 0, NoRec, NoRec});
}

bool TRecordStore::HasChanges() const
{
    for (const TStoreLevel& lv : FLevels)
        if (!lv.Log.empty()) return true;
    return false;
}

// ---- observers -------------------------------------------------------------------------------

void TRecordStore::Attach(IStoreObserver* observer, bool early)
{
    if (std::find(FObservers.begin(), FObservers.end(), observer) != FObservers.end()) return;
    if (early) {
        FObservers.insert(FObservers.begin() + FEarlyObservers, observer);
        ++FEarlyObservers;
    } else {
        FObservers.push_back(observer);
    }
}

void TRecordStore::Detach(IStoreObserver* observer)
{
    const auto it = std::find(FObservers.begin(), FObservers.end(), observer);
    if (it == FObservers.end()) return;
    if (it - FObservers.begin() < FEarlyObservers) --FEarlyObservers;
    FObservers.erase(it);
}

template <typename F> void TRecordStore::TellObservers(F tell)
{
    // Observers may attach or detach while being told. Every change of a record comes here, so
    // the snapshot stays on the stack.
    const QVarLengthArray<IStoreObserver*, 16> observers(FObservers.begin(), FObservers.end());
    for (IStoreObserver* o : observers)
        if (std::find(FObservers.begin(), FObservers.end(), o) != FObservers.end()) tell(o);
}

void TRecordStore::Notify(const TStoreChange& change)
{
    TellObservers([&](IStoreObserver* o) { o->StoreChanged(change); });
}

void TRecordStore::NotifyChanging(const TStoreChange& change)
{
    TellObservers([&](IStoreObserver* o) { o->StoreChanging(change); });
}

// ---- loading ---------------------------------------------------------------------------------

void TRecordStore::LoadLazily(std::unique_ptr<TStoreRowSource> source, quint32 count)
{
    TStoreLevel& lv = FLevels[0];
    lv.ClearData();
    lv.FCurrent.clear();
    FRecordOrder.AssignIdentity(int(count));
    FAlive.assign(FLevels.size(), 0);
    FDeleted.assign(FLevels.size(), 0);
    FAlive[0] = count;
    if (count == 0) return;
    lv.FPristine = count;
    lv.FLazyCount = count;
    lv.FChunks.resize(((size_t(count) - 1) >> TStoreLevel::ChunkShift) + 1);
    lv.FUndecoded = lv.FChunks.size();
    FRowSource = std::move(source);
    lv.FSource = FRowSource.get();
}

void TRecordStore::DecodeAll()
{
    for (TStoreLevel& lv : FLevels) {
        if (!lv.FUndecoded || !lv.FSource) continue;
        std::vector<size_t> todo;
        for (size_t c = 0; c < lv.FChunks.size(); ++c)
            if (!lv.FChunks[c]) todo.push_back(c);
        std::vector<TPacketBlock> decoded(todo.size());
        FHeap.RunLanes(todo.size(), -1, [&](size_t i, TByteHeap::TLoadLane& lane) {
            decoded[i] = lv.ReadChunk(todo[i], &lane);
            return true;
        });
        for (size_t i = 0; i < todo.size(); ++i) {
            if (!decoded[i]) continue;
            lv.FChunks[todo[i]] = std::move(decoded[i]);
            --lv.FUndecoded;
        }
        if (!lv.FUndecoded) {
            ChunkDecoded();
            continue;
        }
        // What failed is decoded here, one chunk at a time, and raises as it would when needed.
        for (size_t c = 0; c < lv.FChunks.size() && lv.FSource; ++c)
            if (!lv.FChunks[c]) lv.DecodeChunk(c);
    }
}

void TRecordStore::ChunkDecoded()
{
    for (const TStoreLevel& lv : FLevels)
        if (lv.FUndecoded) return;
    // Every record is in memory: the file is let go.
    for (TStoreLevel& lv : FLevels) lv.FSource = nullptr;
    FRowSource.reset();
}

TSlotNo TRecordStore::LoadSlot(int level, const char* block, quint8 status, TSlotNo holder)
{
    TSlotNo slot = NoSlot;
    std::memcpy(LoadSlotInPlace(level, status, holder, slot), block, size_t(FLevels[size_t(level)].SlotSize));
    return slot;
}

char* TRecordStore::LoadSlotInPlace(int level, quint8 status, TSlotNo holder, TSlotNo& slot)
{
    TStoreLevel& lv = FLevels[size_t(level)];
    slot = lv.LoadSlot(status, holder);
    return lv.Block(slot);
}

void TRecordStore::FinishLoad()
{
    for (int l = 0; l < LevelCount(); ++l) {
        TStoreLevel& lv = FLevels[size_t(l)];
        const quint32 n = lv.SlotCount();
        if (lv.IsPristine()) {
            // Plain current data: record n - 1 in slot n, in file order.
            if (lv.Log.empty() && lv.FCurrent.empty()) {
                FRecordOrder.AssignIdentity(int(n));
                FAlive[size_t(l)] = n;
                FDeleted[size_t(l)] = 0;
                continue;
            }
            lv.MaterializeLists(true);
        }
        // Keep only log entries that name slots of this level; a damaged log must not lead
        // undo astray. Previous versions are always earlier slots.
        std::vector<quint32> log;
        log.reserve(lv.Log.size());
        for (size_t i = 0; i + 2 < lv.Log.size(); i += 3) {
            const quint32 r = lv.Log[i], p = lv.Log[i + 1], a = lv.Log[i + 2];
            bool ok = true;
            if (a == laInserted || a == laDeleted) ok = r >= 1 && r <= n;
            else if (a == laModified) ok = r >= 1 && r <= n && p >= 1 && p < r && !lv.FPrev[r - 1];
            else if (a == laNested) ok = r >= 1 && r <= n && p >= 1 && p <= lv.ChildLevels.size();
            if (!ok) continue;
            if (a == laModified && !FDelta) lv.FPrev[r - 1] = p;
            log.push_back(r);
            log.push_back(p);
            log.push_back(a);
        }
        lv.Log.swap(log);
        bool parentMarks = false;
        if (lv.Parent >= 0) {
            const TStoreLevel& parent = FLevels[size_t(lv.Parent)];
            for (size_t i = 0; i + 2 < parent.Log.size(); i += 3)
                if (parent.Log[i + 2] == laNested && parent.Log[i + 1] == quint32(lv.TableNo)) parentMarks = true;
        }
        lv.Marked.assign(lv.Log.size() / 3, parentMarks ? 1 : 0);

        const TStoreLevel* parent = lv.Parent >= 0 ? &FLevels[size_t(lv.Parent)] : nullptr;
        for (TSlotNo s = 1; s <= n; ++s) {
            if (lv.Status(s) & prsUnused) continue;
            const TSlotNo p = lv.Prev(s);
            if (p && lv.RecOf(p) != NoRec) {
                const TRecIndex rec = lv.RecOf(p);
                lv.FRecOf[s - 1] = rec;
                lv.FCurrent[rec] = s;
                continue;
            }
            TRecIndex owner = NoRec;
            if (parent) {
                const TSlotNo h = lv.Holder(s);
                owner = h ? parent->RecOf(h) : NoRec;
            }
            lv.FRecOf[s - 1] = lv.NewRec(s, owner);
        }
        FAlive[size_t(l)] = FDeleted[size_t(l)] = 0;
        if (l == 0) {
            std::vector<TRecIndex> order;
            order.reserve(lv.FCurrent.size());
            for (TRecIndex rec = 0; rec < lv.RecCapacity(); ++rec)
                if (lv.Current(rec)) order.push_back(rec);
            FRecordOrder.Assign(order);
        }
        for (TRecIndex rec = 0; rec < lv.RecCapacity(); ++rec) {
            if (!lv.Current(rec)) continue;
            if (parent) {
                const TRecIndex owner = lv.Owner(rec);
                // Rows under an older version of their master, which a newer version replaced,
                // are kept for writing back but are no part of the data.
                if (owner == NoRec || !parent->Current(owner)) continue;
                if (lv.Holder(lv.Current(rec)) != parent->NestedHolder(owner, lv.ParentColumn)) continue;
                lv.Children(owner).push_back(rec);
            }
            CountRec(l, rec, +1);
        }
    }
}
