#pragma once
// The client dataset's record store, shared by a dataset and its clones.
//
// It mirrors the data packet model so that packets load into it and are written from it without
// translation. Each level (the top level and every nested table) has:
//  - slots, numbered from 1 in creation order: one fixed-size block per slot (the packet's two
//    bits per column, null and "not changed", then the values; strings up to a small width
//    inline, longer values, blobs and memos in a side heap), a status byte (the packet's row
//    status), the previous version and the logical record the slot belongs to;
//  - logical records: what a user sees as one record, identified by an id that stays stable
//    while the store lives; its current slot is the newest version;
//  - the change log: (slot, previous slot, action) triples exactly as the packet stores them,
//    including the (master slot, nested table, 64) marker of a nested change.
// Nested rows belong to a master logical record and are held by one master slot (the slot they
// are written under); the master's newer versions mark the nested column "not changed".

#include "platform/client/ClientIdList.h"
#include "platform/client/PacketModel.h"
#include "platform/client/PacketSink.h"
#include "platform/client/PacketValues.h"

#include <QByteArray>
#include <QString>

#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

using TRecIndex = quint32;           // logical record id within a level
constexpr TRecIndex NoRec = 0xFFFFFFFFu;
using TSlotNo = quint32;             // 1-based slot number; 0 = none
constexpr TSlotNo NoSlot = 0;

// The two bits of a cell, as in the packet bitmap.
enum TCellState : quint8 { csValue = 0, csNull = 1, csNotChanged = 2, csNotFetched = 3 };

// Where a heap value is: chunk, position, length.
struct THeapRef {
    quint32 Chunk = 0;
    quint32 Pos = 0;
    quint32 Len = 0;
};

// Append-only storage for long strings, blobs and memos. Values are never moved while the
// store lives; replaced ones become garbage until the store compacts.
class TByteHeap {
public:
    // load: a value of a record decoded from the file, which a rollback never drops.
    THeapRef Append(const char* data, qsizetype size, bool load = false);
    // Where one of several threads appending at once (see RunLanes) puts values: a lane fills
    // chunks of its own and takes the heap's lock only to add one.
    class TLoadLane {
    public:
        ~TLoadLane() { Close(); }
        TLoadLane(const TLoadLane&) = delete;
        TLoadLane& operator=(const TLoadLane&) = delete;
        THeapRef Append(const char* data, qsizetype size);

    private:
        friend class TByteHeap;
        // fixed: other threads read the heap's values meanwhile, so the chunk list must not move
        // (a lane then raises EDatabaseError rather than outgrow the room RunLanes made).
        TLoadLane(TByteHeap& heap, std::mutex& lock, bool fixed) : FHeap(heap), FLock(lock), FFixed(fixed) {}
        void Close();

        TByteHeap& FHeap;
        std::mutex& FLock;
        bool FFixed;
        int FChunk = -1;        // the chunk small values go to, filled up to FSize
        char* FData = nullptr;
        quint32 FSize = 0;
        quint32 FCapacity = 0;
        qint64 FUsed = 0;       // bytes not yet counted by the heap
    };
    // Runs work(part, lane) for every part 0 .. parts - 1 side by side on the processor's cores
    // (at most 16 threads, this one among them): each thread takes the next part until none is
    // left, appending values of records it decodes or makes through a lane of its own. A part
    // that returns false or throws stops the others from taking more, and RunLanes answers false.
    // room: the bytes the parts append in all, when the threads also read the heap's values (its
    // chunk list is given room beforehand, so that it never moves); -1 when they do not.
    bool RunLanes(size_t parts, qint64 room, const std::function<bool(size_t, TLoadLane&)>& work);
    const char* Data(const THeapRef& ref) const
    {
        return ref.Len ? FChunks[ref.Chunk].Data.get() + ref.Pos : "";
    }
    void AddGarbage(qint64 bytes) { FGarbage += bytes; }
    // Values appended after a mark can be dropped again (scratch keys, a refused post); values
    // of records decoded meanwhile stay.
    struct TMark {
        size_t Chunks = 0;
        int Active = -1;
        quint32 ActiveSize = 0;
        qint64 Used = 0;
    };
    TMark Mark() const;
    void Rollback(const TMark& mark);
    qint64 Garbage() const { return FGarbage; }
    qint64 Used() const { return FUsed + FLoadUsed; }
    void Clear();
    void Swap(TByteHeap& other) noexcept;

private:
    struct TChunk {
        TPacketBlock Data;
        quint32 Size = 0;
        quint32 Capacity = 0;
        bool Load = false;
    };
    static constexpr quint32 ChunkSize = 1u << 20;
    // A value's length, or EDatabaseError when it is too large to keep.
    static quint32 Length(qsizetype size);
    // Whether a value of n bytes takes a chunk of its own.
    static bool Own(quint32 n) { return n > ChunkSize / 4; }
    std::vector<TChunk> FChunks;
    int FActive = -1;       // the chunk small values go to
    int FLoadActive = -1;   // the chunk small values of decoded records go to
    qint64 FGarbage = 0;
    qint64 FUsed = 0;
    qint64 FLoadUsed = 0;
};

// Decodes records that a level keeps in the file they were read from until they are needed.
class TStoreRowSource {
public:
    virtual ~TStoreRowSource() = default;
    // Fills count blocks (the level's slot size apart) with the records of slots first ..
    // first + count - 1. Raises EDatabaseError when the file no longer holds them.
    // lane: where long values go when several threads decode at once (else the store's heap).
    virtual void Decode(int level, quint32 first, quint32 count, char* blocks, TByteHeap::TLoadLane* lane = nullptr) = 0;
};

// A growable array of small values in fixed pages: growing never moves or copies what is there
// (a vector of millions doubling would copy them all and take fresh memory for twice as many in
// the middle of an edit).
template <typename T> class TPagedArray {
public:
    size_t size() const { return FSize; }
    bool empty() const { return FSize == 0; }
    T& operator[](size_t i) { return reinterpret_cast<T*>(FPages[i >> PageShift].get())[i & PageMask]; }
    const T& operator[](size_t i) const { return reinterpret_cast<const T*>(FPages[i >> PageShift].get())[i & PageMask]; }
    void push_back(T v)
    {
        if ((FSize >> PageShift) >= FPages.size()) FPages.push_back(PacketAllocate(sizeof(T) << PageShift));
        (*this)[FSize++] = v;
    }
    void resize(size_t n, T v = T())
    {
        while (FSize < n) push_back(v);
        FSize = n;
        FPages.resize((n + PageMask) >> PageShift);
    }
    void assign(size_t n, T v)
    {
        clear();
        resize(n, v);
    }
    void fill(T v)
    {
        for (size_t i = 0; i < FSize; ++i) (*this)[i] = v;
    }
    void clear()
    {
        FPages.clear();
        FSize = 0;
    }
    void swap(TPagedArray& other) noexcept
    {
        FPages.swap(other.FPages);
        std::swap(FSize, other.FSize);
    }

private:
    static constexpr int PageShift = 16;
    static constexpr size_t PageMask = (size_t(1) << PageShift) - 1;
    std::vector<TPacketBlock> FPages;
    size_t FSize = 0;
};

// How a column of a level is kept in a slot block.
struct TStoreColumn {
    TPacketValueKind Kind = pkNone;
    int PacketSize = 0;     // from the packet column: value bytes, or prefix bytes of varying kinds
    int Offset = 0;         // of the value in the block
    int Bytes = 0;          // bytes the value takes in the block
    // Variable-length kinds: inline capacity in bytes (the block holds a length byte and the
    // bytes; a longer value moves to the heap and the length byte reads OverflowMark), or 0
    // when the value always lives in the heap (the block holds a THeapRef).
    int InlineCapacity = 0;
    bool InHeap = false;    // the block holds a THeapRef
    int NestedLevel = -1;   // pkNested: the level of its rows
    bool Indexable = true;
};
constexpr quint8 OverflowMark = 0xFF;

// An integer cell of 1 to 8 bytes as a block holds it.
inline qint64 BlockInt(const char* p, int bytes, bool isSigned)
{
    quint64 v = 0;
    std::memcpy(&v, p, size_t(bytes));
    if (isSigned && bytes < 8) {
        const quint64 sign = quint64(1) << (bytes * 8 - 1);
        if (v & sign) v |= ~((sign << 1) - 1);
    }
    return qint64(v);
}

// Change log actions.
enum TLogAction : quint32 { laDeleted = 2, laInserted = 4, laModified = 8, laNested = 64 };

class TRecordStore;
class TIndexOrder;

class TStoreLevel {
public:
    int Index = 0;
    int Parent = -1;            // parent level, -1 for the top level
    int ParentColumn = -1;      // the nested column of the parent that holds this level
    int TableNo = 0;            // 1-based number among the parent's nested columns
    std::vector<TStoreColumn> Columns;
    std::vector<int> ChildLevels;   // nested levels by TableNo - 1
    int BitmapBytes = 0;
    int SlotSize = 0;

    // ---- slots (1-based)
    quint32 SlotCount() const { return FPristine ? FPristine : quint32(FStatus.size()); }
    char* Block(TSlotNo slot)
    {
        const size_t c = (slot - 1) >> ChunkShift;
        char* base = FChunks[c].get();
        if (Q_UNLIKELY(!base)) base = DecodeChunk(c);
        return base + size_t((slot - 1) & ChunkMask) * size_t(SlotSize);
    }
    const char* Block(TSlotNo slot) const { return const_cast<TStoreLevel*>(this)->Block(slot); }
    quint8 Status(TSlotNo slot) const { return FPristine ? 0 : FStatus[slot - 1]; }
    void SetStatus(TSlotNo slot, quint8 status)
    {
        Materialize();
        FStatus[slot - 1] = status;
    }
    void SetHolder(TSlotNo slot, TSlotNo holder)
    {
        Materialize();
        if (Parent >= 0) FHolder[slot - 1] = holder;
    }
    TSlotNo Prev(TSlotNo slot) const { return FPristine ? NoSlot : FPrev[slot - 1]; }
    TRecIndex RecOf(TSlotNo slot) const { return FPristine ? slot - 1 : FRecOf[slot - 1]; }
    // Nested levels: the master slot the row is written under.
    TSlotNo Holder(TSlotNo slot) const { return Parent < 0 || FPristine ? NoSlot : FHolder[slot - 1]; }
    // Appends a slot with a copy of the block.
    TSlotNo AddSlot(const char* block, quint8 status, TSlotNo prev, TRecIndex rec, TSlotNo holder);
    // Blocks for n slots after the last, to be filled before they are added (AppendSlot), in
    // any order and on any thread: NextBlock(k) is the block of the k-th slot added from now.
    void ReserveSlots(quint32 n);
    char* NextBlock(quint32 k)
    {
        const size_t at = size_t(SlotCount()) + k;
        return (at >> ChunkShift) < FChunks.size() ? Block(TSlotNo(at + 1)) : nullptr;
    }
    // Adds the next slot with the block it was given (see ReserveSlots).
    TSlotNo AppendSlot(quint8 status, TSlotNo prev, TRecIndex rec, TSlotNo holder);
    // Records as read and not changed since: slot n holds record n - 1 in its first version with
    // status 0. Such a level keeps no per-slot lists until its first change.
    bool IsPristine() const { return FPristine != 0; }
    // Records whose blocks are still to be decoded from the file.
    bool HasUndecoded() const { return FUndecoded != 0; }
    // Whether every "not changed" cell of the slot's block (nested ones aside) still holds the
    // value it stands for, as a version made from a whole record does: reading it then needs
    // no walk back through older versions (scattered in memory once the log is long).
    bool HoldsUnchanged(TSlotNo slot) const
    {
        const size_t i = slot - 1;
        return (i >> 6) < FHoldsUnchanged.size() && ((FHoldsUnchanged[i >> 6] >> (i & 63)) & 1);
    }
    // For runs of lookups that land all over the level, done for several records in a row so
    // that the waits for memory overlap: reads what reading a record's current slot, or a
    // slot's block and status, will touch (the values are not used; nothing is decoded).
    void TouchCurrent(TRecIndex rec) const
    {
        if (!FPristine && rec < FCurrent.size()) Touch(&FCurrent[rec]);
    }
    void TouchStatus(TSlotNo slot) const
    {
        if (!FPristine && slot && slot <= FStatus.size()) Touch(&FStatus[slot - 1]);
    }
    void TouchBlock(TSlotNo slot) const
    {
        const char* b = DecodedBlock(slot);
        if (!b) return;
        for (int at = 0; at < SlotSize; at += 64) Touch(b + at);
        Touch(b + SlotSize - 1);
        if (!FPristine && slot <= FStatus.size()) Touch(&FStatus[slot - 1]);
    }
    // The slot's block, or nullptr while it is still in the file.
    const char* DecodedBlock(TSlotNo slot) const
    {
        const size_t c = (slot - 1) >> ChunkShift;
        if (c >= FChunks.size() || !FChunks[c]) return nullptr;
        return FChunks[c].get() + size_t((slot - 1) & ChunkMask) * size_t(SlotSize);
    }
    // One read of the byte at p, kept by the compiler though nothing uses it.
    static void Touch(const void* p) { (void)*static_cast<const volatile char*>(p); }

    // ---- logical records
    quint32 RecCapacity() const { return FPristine ? FPristine : quint32(FCurrent.size()); }
    TSlotNo Current(TRecIndex rec) const
    {
        if (FPristine) return rec < FPristine ? rec + 1 : NoSlot;
        return rec < FCurrent.size() ? FCurrent[rec] : NoSlot;
    }
    bool IsAlive(TRecIndex rec) const { return Current(rec) != NoSlot; }
    // Nested levels: the master record the record belongs to.
    TRecIndex Owner(TRecIndex rec) const { return Parent < 0 || rec >= FOwner.size() ? NoRec : FOwner[rec]; }
    // The first version of the record.
    TSlotNo Origin(TRecIndex rec) const;
    bool IsDeleted(TRecIndex rec) const { const TSlotNo s = Current(rec); return s && (Status(s) & 0x02); }
    // The master slot that holds this master record's nested rows of a child table: the newest
    // version whose nested cell is not "not changed".
    TSlotNo NestedHolder(TRecIndex rec, int column) const;

    // Nested levels: the records of each master record in their order.
    std::vector<TRecIndex>& Children(TRecIndex owner);
    const std::vector<TRecIndex>* ChildrenIf(TRecIndex owner) const
    {
        return owner < FChildren.size() ? &FChildren[owner] : nullptr;
    }

    // ---- the change log: flat triples; for a nested level, whether each entry put a marker
    // into the parent's log
    std::vector<quint32> Log;
    std::vector<quint8> Marked;
    int LogEntries() const { return int(Log.size() / 3); }
    void AddLog(quint32 row, quint32 prev, quint32 action, bool marked = false)
    {
        Log.push_back(row);
        Log.push_back(prev);
        Log.push_back(action);
        Marked.push_back(marked ? 1 : 0);
    }

    // ---- cells of a block
    TCellState State(const char* block, int column) const
    {
        return TCellState((quint8(block[column >> 2]) >> ((column & 3) * 2)) & 3);
    }
    void SetState(char* block, int column, TCellState state) const
    {
        quint8& b = reinterpret_cast<quint8&>(block[column >> 2]);
        const int shift = (column & 3) * 2;
        b = quint8((b & ~(3 << shift)) | (int(state) << shift));
    }
    // A fresh block: every cell NULL.
    void InitBlock(char* block) const;

private:
    friend class TRecordStore;
    static constexpr int ChunkShift = 12;
    static constexpr quint32 ChunkMask = (1u << ChunkShift) - 1;

    TRecIndex NewRec(TSlotNo current, TRecIndex owner);
    void ClearData();
    // Gives a pristine level its per-slot lists, before its first change.
    void Materialize()
    {
        if (Q_UNLIKELY(FPristine)) MaterializeLists();
    }
    // forLoad: the lists of slots being loaded (records are resolved afterwards).
    void MaterializeLists(bool forLoad = false);
    TSlotNo LoadSlot(quint8 status, TSlotNo holder);
    char* DecodeChunk(size_t chunk);
    // A chunk's records decoded from the file into a block of their own (long values through
    // the lane when given).
    TPacketBlock ReadChunk(size_t chunk, TByteHeap::TLoadLane* lane) const;
    char* NewChunk();
    void SetHoldsUnchanged(TSlotNo slot, bool on);

    std::vector<TPacketBlock> FChunks;      // null: still in the file (see FSource)
    TPagedArray<quint8> FStatus;
    TPagedArray<TSlotNo> FPrev;
    TPagedArray<TRecIndex> FRecOf;
    TPagedArray<TSlotNo> FHolder;
    TPagedArray<TSlotNo> FCurrent;
    TPagedArray<TRecIndex> FOwner;
    std::vector<quint64> FHoldsUnchanged;   // a bit per slot (see HoldsUnchanged)
    std::vector<std::vector<TRecIndex>> FChildren;
    quint32 FPristine = 0;
    size_t FUndecoded = 0;                  // null chunks
    quint32 FLazyCount = 0;                 // slots the source holds
    TRecordStore* FStore = nullptr;         // for decoding (heap values, the source)
    TStoreRowSource* FSource = nullptr;
};

// A change of the store, told to every cursor on it.
enum TStoreChangeKind {
    sckInserted,    // a record came (or came back) into the level
    sckModified,    // its values changed
    sckStatus,      // deleted or undeleted
    sckRemoved,     // gone for good (an undone insert, a deletion without a log)
    sckReset        // anything may have changed: rebuild
};

struct TStoreChange {
    TStoreChangeKind Kind = sckReset;
    int Level = 0;
    TRecIndex Rec = NoRec;
    TRecIndex Owner = NoRec;
};

class IStoreObserver {
public:
    virtual ~IStoreObserver() = default;
    // Before a record's values or place change (the cursor may still read the old values).
    virtual void StoreChanging(const TStoreChange& change) { Q_UNUSED(change) }
    virtual void StoreChanged(const TStoreChange& change) = 0;
};

class TRecordStore {
public:
    // Builds the levels from prepared metadata (without a LINK_FIELD column).
    explicit TRecordStore(const TPacketMetadata& meta);
    TRecordStore(const TRecordStore&) = delete;
    TRecordStore& operator=(const TRecordStore&) = delete;

    const TPacketMetadata& Metadata() const { return FMeta; }
    TPacketMetadata& MutableMetadata() { return FMeta; }
    int CodePage() const { return FCodePage; }
    int LevelCount() const { return int(FLevels.size()); }
    TStoreLevel& Level(int index) { return FLevels[size_t(index)]; }
    const TStoreLevel& Level(int index) const { return FLevels[size_t(index)]; }
    TByteHeap& Heap() { return FHeap; }
    const TByteHeap& Heap() const { return FHeap; }
    // The top level's records in record order, deleted ones included.
    const TIdList& RecordOrder() const { return FRecordOrder; }

    // A delta packet: every row is a record of its own and nothing may change.
    bool IsDelta() const { return FDelta; }
    void SetDelta(bool delta) { FDelta = delta; }
    bool LogChanges() const { return FLogChanges; }
    // Whether a change goes into the change log: logging is on and this is no delta.
    bool WritesLog() const { return FLogChanges && !FDelta; }
    void SetLogChanges(bool on) { FLogChanges = on; }
    // Grows with every change of the data.
    quint64 Version() const { return FVersion; }
    void Touch() { ++FVersion; }
    // Next value of the auto-increment field.
    qint64 NextAutoInc() const { return FNextAutoInc; }
    void SetNextAutoInc(qint64 value) { FNextAutoInc = value; }

    // Records that are part of the current data at a level (not deleted).
    bool IsVisible(int level, TRecIndex rec) const;
    qint64 AliveCount(int level) const { return FAlive[size_t(level)]; }
    qint64 DeletedCount(int level) const { return FDeleted[size_t(level)]; }

    // ---- values of a block (the heap holds long ones)
    // The block that holds a cell's value: the slot's own, or for a "not changed" cell of a
    // modified row the previous version's that has it; nullptr when the value is NULL.
    const char* CellBlock(const TStoreLevel& lv, TSlotNo slot, int column) const
    {
        const char* b = lv.Block(slot);
        TCellState st = lv.State(b, column);
        if (st == csValue) return b;
        while (st == csNotChanged && (lv.Status(slot) & prsModified) && lv.Prev(slot)) {
            slot = lv.Prev(slot);
            b = lv.Block(slot);
            st = lv.State(b, column);
        }
        return st == csValue ? b : nullptr;
    }
    // After a change of a record whose current slot was `before`: whether the change kept a
    // cell as it was, as far as the new version's marks tell without reading values.
    bool KeptCell(int level, TRecIndex rec, TSlotNo before, int column) const
    {
        const TStoreLevel& lv = FLevels[size_t(level)];
        const TSlotNo s = lv.Current(rec);
        return s && before && s != before && lv.Prev(s) == before && (lv.Status(s) & prsModified)
               && lv.State(lv.Block(s), column) == csNotChanged;
    }
    // For runs of changes to records all over a level, done for several records in a row some
    // records before each is changed (see TStoreLevel::TouchBlock), in three steps: 1 reads where
    // the record's current slot is, 2 its block and status, 3 a byte of each of its long values
    // (those kept in the heap). Each step finds what the one before read at hand.
    void TouchRecord(const TStoreLevel& lv, TRecIndex rec, int step) const;
    // Copies a slot's block with every "not changed" cell (nested ones aside) replaced by the
    // value it stands for: the whole record as of that version.
    void ReadResolved(const TStoreLevel& lv, TSlotNo slot, char* to) const;
    QByteArray Bytes(const TStoreLevel& lv, const char* block, int column) const;
    // Pointer and size of a variable-length or byte value (valid until the store changes).
    const char* BytesView(const TStoreLevel& lv, const char* block, int column, qsizetype& size) const;
    // load: the value of a record decoded from the file (see TByteHeap::Append).
    void SetBytes(const TStoreLevel& lv, char* block, int column, const char* data, qsizetype size, bool load = false);
    // The same for a record decoded on one of several threads (see TByteHeap::TLoadLane).
    void SetBytes(const TStoreLevel& lv, char* block, int column, const char* data, qsizetype size, TByteHeap::TLoadLane& lane);
    // Copies a cell from one block to another of the same level (heap values are shared).
    void CopyCell(const TStoreLevel& lv, const char* from, char* to, int column) const;
    // Releases the heap values of a block that will not be kept.
    void DiscardBlock(const TStoreLevel& lv, const char* block);
    // Releases the heap values of a block that will not be kept where the kept one differs.
    void DiscardReplaced(const TStoreLevel& lv, const char* gone, const char* kept);
    // Same value (and state) in two blocks of one level.
    bool SameCell(const TStoreLevel& lv, const char* a, const char* b, int column) const;

    // ---- changes. The block is a full block of the level's layout; the store copies it.
    // Inserts a record before `before` in the order (NoRec: at the end). Nested levels give the
    // master record.
    TRecIndex Insert(int level, TRecIndex owner, const char* block, TRecIndex before = NoRec);
    void Modify(int level, TRecIndex rec, const char* block);
    // The same for a version made beforehand in the block of the level's next slot (see
    // TStoreLevel::ReserveSlots), which the record's version now is: `same` has a bit for each
    // column whose value that version keeps (as SameCell tells). Only where changes are logged,
    // on a level of at most 64 columns; EDatabaseError when the next slot has no block.
    void ModifyPrepared(int level, TRecIndex rec, quint64 same);
    // Room in a level's change log for this many more changes, for a run about to make them
    // (nothing when changes are not logged).
    void ReserveLog(int level, size_t changes);
    void Delete(int level, TRecIndex rec);
    // Undoes the newest change of a level; returns the record it concerned (NoRec when the log
    // was empty). A nested marker undoes the nested table's newest change.
    TRecIndex UndoLast(int level);
    // Takes a record back to its state at the last merge: an inserted one goes away.
    bool Revert(int level, TRecIndex rec);
    // Accepts every change of the level and the levels below it.
    void MergeChangeLog(int level = 0);
    // Removes every record and the change log.
    void Empty();
    // Undoes changes of a level until its log has that many entries.
    void UndoTo(int level, int entries);
    // Reserves a master record id for a master row being inserted, so that nested rows can be
    // added to it before it is posted; Insert with it as `reserved` uses it.
    TRecIndex ReserveRec(int level);
    TRecIndex InsertReserved(int level, TRecIndex reserved, TRecIndex owner, const char* block, TRecIndex before = NoRec);
    // Removes every nested record of a master record (and their log entries): a master
    // insert that is cancelled or undone.
    void PurgeChildren(int level, TRecIndex rec);

    // Index orders of the top level that cursors share (see TIndexOrder::Obtain).
    std::vector<std::weak_ptr<TIndexOrder>> IndexOrders;

    // Total change log entries of a level.
    int ChangeCount(int level = 0) const { return FLevels[size_t(level)].LogEntries(); }
    bool HasChanges() const;

    // ---- observers: index orders (early, told first) and cursors
    void Attach(IStoreObserver* observer, bool early = false);
    void Detach(IStoreObserver* observer);
    void Notify(const TStoreChange& change);
    void NotifyChanging(const TStoreChange& change);

    // ---- building (the packet loader)
    // Appends a slot as read; the loader resolves logical records afterwards.
    TSlotNo LoadSlot(int level, const char* block, quint8 status, TSlotNo holder);
    // Appends a slot as read and answers its block (with undefined contents) for the loader to
    // fill in place.
    char* LoadSlotInPlace(int level, quint8 status, TSlotNo holder, TSlotNo& slot);
    // Rebuilds logical records, record orders and counts from slots, statuses and the logs.
    void FinishLoad();
    // Builds the store's only level from rows left in the file: count records in their first
    // version, decoded by the source when a block of them is first needed.
    void LoadLazily(std::unique_ptr<TStoreRowSource> source, quint32 count);
    // Decodes every record still in the file, a share of them on each of the processor's cores:
    // for a run that is about to read them all. A part that fails is decoded again on its own,
    // which raises what it meets.
    void DecodeAll();

private:
    friend class TStoreLevel;
    void ChunkDecoded();
    // Bytes a cell's value takes in the heap (0 when inline or not a value).
    qint64 HeapBytes(const TStoreLevel& lv, const char* block, int column) const;
    TRecIndex DoInsert(int level, TRecIndex rec, TRecIndex owner, const char* block, TRecIndex before);
    void PlaceRec(int level, TRecIndex rec, TRecIndex owner, TRecIndex before);
    void UnplaceRec(int level, TRecIndex rec);
    bool AddNestedMarker(int level, TRecIndex owner);
    void RemoveNestedMarkers(int level, int count, TRecIndex owner);
    TRecIndex UndoLastEntry(int level, bool fromParent);
    void ClearNestedBit(int level, TSlotNo slot);
    std::vector<TSlotNo> Chain(int level, TRecIndex rec) const;
    void RemoveLogEntries(int level, const std::vector<TSlotNo>& chainSlots);
    int RemoveLogEntriesCount(int level, const std::vector<TSlotNo>& chainSlots);
    void PurgeRec(int level, TRecIndex rec);
    void CountRec(int level, TRecIndex rec, int sign);
    void CompactLevel(int level, std::vector<TSlotNo>& newSlotOf);
    void CompactHeap();
    template <typename F> void TellObservers(F tell);
    // Marks what a record's new version in slot s keeps of the one before (slot c) as "not
    // changed", and logs the change.
    template <typename TSame>
    void LogVersion(TStoreLevel& lv, int level, TRecIndex rec, TRecIndex owner, TSlotNo c, TSlotNo s, const TSame& same);

    TPacketMetadata FMeta;
    int FCodePage = 1252;
    std::vector<TStoreLevel> FLevels;
    TByteHeap FHeap;
    TIdList FRecordOrder;
    std::vector<qint64> FAlive;
    std::vector<qint64> FDeleted;
    std::vector<IStoreObserver*> FObservers;
    int FEarlyObservers = 0;
    bool FDelta = false;
    bool FLogChanges = true;
    quint64 FVersion = 0;
    qint64 FNextAutoInc = 1;
    std::vector<char> FScratch;
    std::unique_ptr<TStoreRowSource> FRowSource;
};
