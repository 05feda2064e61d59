#pragma once
// Finding a dataset's records by one field's value through a hash of every record's value,
// built once and kept up to date as records change (through this dataset or any cursor on the
// same records). For runs of many lookups: a search by halving an index touches records all over
// memory for every lookup, the hash one or two. It answers what Locate without options answers:
// the first record, in the dataset's order, whose field equals the value exactly.

#include "platform/client/ClientKeys.h"
#include "platform/client/ClientStore.h"
#include "platform/client/PacketValues.h"
#include "platform/data/DB.h"

#include <functional>
#include <vector>

class TClientDataSet;

class TLocateHash : private IStoreObserver {
public:
    // The dataset open at its top level; the field one of its data fields whose values can be
    // compared (not a blob or nested dataset), else EDatabaseError.
    TLocateHash(TClientDataSet& dataSet, TField* field);
    ~TLocateHash() override;
    TLocateHash(const TLocateHash&) = delete;
    TLocateHash& operator=(const TLocateHash&) = delete;

    // The record, or NoRecord; a value the field cannot hold matches nothing.
    TRecordId Find(const TVariant& value);
    // The same for a value already in a block of the dataset's layout (only the field's cell
    // is read).
    TRecordId FindBlock(const char* block);
    int Column() const { return FColumn; }

    // For a run that looks up many values in a row while this dataset's records and values stay
    // as they are: what FindBlock would answer for each value, all at once, given the values'
    // hashes (HashOfCell) as `sought` makes them. Lookups one by one land all over memory; this
    // joins the hashes with the records' in parts that fit the processor's caches. Each answer
    // is the record, first in the dataset's order, whose value has the hash: Holds confirms that
    // it has the value (another value may share the hash). NoRec: no record has it; Unmatched:
    // only FindBlock can tell (a NaN, which equals every number). Empty when a record holds a
    // NaN. apart: `sought` touches nothing of this dataset's records, and runs on a thread of
    // its own while they are hashed (each may have a file to read).
    static constexpr TRecIndex Unmatched = NoRec - 1;
    std::vector<TRecIndex> FindAll(const std::function<std::vector<quint64>()>& sought, bool apart) const;
    // Whether a record of the dataset holds the value given in a block of the dataset's layout
    // (only the field's cell is read).
    bool Holds(TRecIndex rec, const char* block) const;

    // The hash a value has here, given as a cell of any store's level (the block CellBlock
    // answers, nullptr for NULL): a value of the same kind and code page as the field's hashes
    // as the field's equal value does.
    quint64 HashOfCell(const TRecordStore& store, const TStoreLevel& lv, const char* block, int column) const;
    // For runs of lookups, done for several values in a row so that the waits for memory
    // overlap: reads what a later FindBlock of a value with this hash, and the post of the
    // record it finds, will read, in four steps taken some lookups apart: 0 its slot of the
    // hash, 1 the matching records' places, 2 their blocks, 3 their long values. Changes
    // nothing, and a stale hash only costs the reads.
    void ReadAhead(quint64 hash, int step) const;

private:
    void StoreChanging(const TStoreChange& change) override;
    void StoreChanged(const TStoreChange& change) override;
    quint64 HashOf(const char* block) const;
    quint64 HashOfRec(TRecIndex rec) const;
    void Add(TRecIndex rec);
    void Add(TRecIndex rec, quint64 hash);
    void Remove(TRecIndex rec, quint64 hash);
    void Build();
    void Grow();

    struct TEntry {
        quint32 Hash = 0;
        TRecIndex Rec = NoRec;      // NoRec: empty; Tombstone: removed
    };
    static constexpr TRecIndex Tombstone = NoRec - 1;

    TClientDataSet& FDataSet;
    TField* FField;
    std::shared_ptr<TRecordStore> FStore;
    int FColumn = -1;
    // Open addressing, a power of two long; in memory that may be mapped in huge pages, since
    // every lookup lands somewhere else in it.
    TPacketBlock FBlock;
    TEntry* FTable = nullptr;
    size_t FSize = 0;
    std::vector<char> FKey;         // the sought value as a block
    TKeyComparer FCompare;          // the field's cells, as Locate compares them
    size_t FUsed = 0;               // entries and tombstones
    // A record being changed and the hash of its value before: an entry moves only when the
    // value's hash does.
    TRecIndex FChanging = NoRec;
    TSlotNo FChangingSlot = NoSlot;
    bool FChangingHashed = false;   // a change in place: the hash before is taken at once
    quint64 FChangingHash = 0;
    bool FChangingVisible = false;
    bool FStale = true;
};
