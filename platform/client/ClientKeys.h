#pragma once
// Keys of the client dataset: comparing cells and records of a level by a list of columns (each
// ascending or descending, case-sensitive or not), and index orders: the top level's records
// sorted by a key, kept in order as the store changes and shared by every cursor on the store.

#include "platform/client/ClientCollation.h"
#include "platform/client/ClientStore.h"

#include <memory>
#include <vector>

struct TKeyPart {
    int Column = -1;
    bool Descending = false;
    bool CaseInsensitive = false;
    friend bool operator==(const TKeyPart& a, const TKeyPart& b)
    {
        return a.Column == b.Column && a.Descending == b.Descending && a.CaseInsensitive == b.CaseInsensitive;
    }
};

// A row whose cells a key reads: a stored slot (its "not changed" cells resolved through the
// older versions) or a free-standing block.
struct TKeyRow {
    const char* Block = nullptr;
    TSlotNo Slot = NoSlot;
};

class TKeyComparer {
public:
    TKeyComparer() = default;
    TKeyComparer(const TRecordStore* store, int level, std::vector<TKeyPart> parts);

    const std::vector<TKeyPart>& Parts() const { return FParts; }
    bool IsEmpty() const { return FParts.empty(); }
    // -1, 0 or 1 over all parts (or the first `parts` of them).
    int Compare(const TKeyRow& a, const TKeyRow& b, int parts = -1) const;
    int CompareRecs(TRecIndex a, TRecIndex b) const;
    // One cell against another: NULL (nullptr) before any value.
    int CompareCells(const char* a, const char* b, int column, bool caseInsensitive) const;
    // Whether a stored cell begins with the key cell (texts; other kinds must be equal).
    bool CellStartsWith(const char* cell, const char* key, int column, bool caseInsensitive) const;
    // A text cell against a key text taken as a prefix, by base letters alone (see
    // TCollation::ComparePrefixPrimaryAnsi); NULL before any text.
    int ComparePrefixPrimary(const char* cell, const char* key, int column) const;
    const char* Cell(const TKeyRow& row, int column) const;
    // A prefix of the first part's value as two words that order like the value (unequal words
    // decide; equal ones need the full comparison).
    void SortPrefix(const TKeyRow& row, quint64& high, quint64& low) const;
    // Whether a part of the row's key is NULL.
    bool HasNull(const TKeyRow& row) const;

private:
    const TRecordStore* FStore = nullptr;
    const TStoreLevel* FLevel = nullptr;
    const TCollation* FCollation = nullptr;
    std::vector<TKeyPart> FParts;
};

class TIndexOrder : public IStoreObserver {
public:
    TIndexOrder(TRecordStore& store, std::vector<TKeyPart> parts);
    ~TIndexOrder() override;
    TIndexOrder(const TIndexOrder&) = delete;
    TIndexOrder& operator=(const TIndexOrder&) = delete;

    const TIdList& List() const { return FList; }
    const TKeyComparer& Comparer() const { return FComparer; }
    const std::vector<TKeyPart>& Parts() const { return FComparer.Parts(); }
    // By key, equal keys in record order.
    bool Less(TRecIndex a, TRecIndex b) const;
    // First position whose record's key is not below the row's (over the first `parts` parts).
    int LowerBound(const TKeyRow& key, int parts = -1) const;
    // A record of the current data, other than `self`, whose key equals the row's (none for a
    // key with a NULL part).
    TRecIndex FindDuplicate(const TKeyRow& key, TRecIndex self) const;
    // The first two records of the current data with equal keys, if any.
    bool HasDuplicates() const;

    void StoreChanging(const TStoreChange& change) override;
    void StoreChanged(const TStoreChange& change) override;

    // The order of these parts on the store: shared when one exists, else made.
    static std::shared_ptr<TIndexOrder> Obtain(TRecordStore& store, const std::vector<TKeyPart>& parts);

private:
    void Build();
    void Place(TRecIndex rec);
    TKeyRow Row(TRecIndex rec) const { return {nullptr, FStore.Level(0).Current(rec)}; }

    TRecordStore& FStore;
    TKeyComparer FComparer;
    TIdList FList;
    // The record being modified and its slot before: a change that keeps the key keeps the place.
    TRecIndex FChangingRec = NoRec;
    TSlotNo FChangingSlot = NoSlot;
};

// Sorts records of a level by a key, stably (equal keys keep their order).
void SortRecords(const TRecordStore& store, int level, const std::vector<TKeyPart>& parts, std::vector<TRecIndex>& recs);
