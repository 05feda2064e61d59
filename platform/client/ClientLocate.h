#pragma once
// Finding a dataset's records by one field's value through a hash of every record's value,
// built once and kept up to date as records change (through this dataset or any cursor on the
// same records). For runs of many lookups: a search by halving an index touches records all over
// memory for every lookup, the hash one or two. It answers what Locate without options answers:
// the first record, in the dataset's order, whose field equals the value exactly.

#include "platform/client/ClientStore.h"
#include "platform/data/DB.h"

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

private:
    void StoreChanging(const TStoreChange& change) override;
    void StoreChanged(const TStoreChange& change) override;
    quint64 HashOf(const char* block) const;
    void Add(TRecIndex rec);
    void Remove(TRecIndex rec);
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
    std::vector<TEntry> FTable;     // open addressing, a power of two long
    std::vector<char> FKey;         // the sought value as a block
    size_t FUsed = 0;               // entries and tombstones
    bool FStale = true;
};
