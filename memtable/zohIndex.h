#pragma once
// Indexes of the memory table: ordered lists of stored records, compared field by field
// with per-field options and the store's locale.

#include "memtable/zohCommon.h"

#include <QString>
#include <functional>
#include <vector>

// A field of a key or index field list: its store slot and compare options.
struct TzohListField {
    int Slot = -1;
    int DataType = zft::Unknown;
    QString Name;
    TzohMemTableCompareOptions Options = 0;
};

class TzohFieldList {
public:
    virtual ~TzohFieldList() = default;
    int Add(const TzohListField& f) { FFields.push_back(f); return int(FFields.size()) - 1; }
    int Count() const { return int(FFields.size()); }
    const TzohListField& Field(int i) const { return FFields[i]; }
    TzohMemTableCompareOptions Options(int i) const { return FFields[i].Options; }
    void SetOptions(int i, TzohMemTableCompareOptions o) { FFields[i].Options = o; }
    virtual void Clear() { FFields.clear(); }
    int IndexOfSlot(int slot) const;
    // Same fields in the same order (options not compared).
    bool SameAs(const TzohFieldList& o) const;

private:
    std::vector<TzohListField> FFields;
};

// Splits "a;b:DC" into names and option letters (C, D, N, P, L anywhere after the colon).
struct TzohFieldSpec { QString Name; TzohMemTableCompareOptions Options = 0; };
std::vector<TzohFieldSpec> ParseFieldListText(const QString& text);

// A field as an index may see it; the resolver raises "Field '%s' not found" itself.
struct TzohResolvedField {
    int Slot = -1;
    int DataType = zft::Unknown;
    int Kind = zfk::Data;
    QString DisplayName;
};
using TzohFieldResolver = std::function<TzohResolvedField(const QString& name)>;
// Builds a field list from text; "Can't index on field %s" for fields that cannot be compared.
void BuildFieldList(TzohFieldList& list, const QString& text, const TzohFieldResolver& resolve, bool* hasCalculated = nullptr);

// What an index asks of the table it belongs to.
class TzohIndexHost {
public:
    virtual ~TzohIndexHost() = default;
    virtual TzohCommon* IndexStore() const = 0;
    virtual bool IndexHostActive() const = 0;
    virtual bool IndexHostEnableIndexes() const = 0;
    // True when the table hides some records (deleted ones, filters, master/detail).
    virtual bool IndexHostFilters() const = 0;
    // The table's record filter.
    virtual bool IndexHostAccepts(TzohStoredRecord* rec) = 0;
    // OnFilterIndex: whether a record belongs to the index.
    virtual bool IndexHostBelongs(class TzohIndex* index, TzohStoredRecord* rec) = 0;
    virtual void IndexHostProgress(TzohProgressCode code, int percent) = 0;
    // Whether OnCompareFields is assigned (sorting then asks it for every pair).
    virtual bool IndexHostHasCompareHook() const { return false; }
    // OnCompareFields; returns false when not assigned.
    virtual bool IndexHostCompareFields(const TzohListField&, const TzohStoredRecord*, const TzohStoredRecord*,
                                        TzohMemTableCompareOptions, bool&, int&)
    {
        return false;
    }
};

// Compare of one value pair by type; fullMatch turns false on a partial text match.
int zohCompareValues(TzohCommon& store, int type, const char* key, qsizetype keyLen, const char* rec, qsizetype recLen,
                     TzohMemTableCompareOptions options, bool& fullMatch);
// Field compare over the first limit fields of the list (all when limit <= 0).
int zohCompareFields(TzohCommon& store, const TzohFieldList& list, int limit, bool partial, bool ignoreNulls,
                     const TzohStoredRecord* key, const TzohStoredRecord* rec, TzohIndexHost* host = nullptr);

class TzohIndex {
public:
    TzohIndex(TzohIndexHost* host, const QString& name, bool rowOrder, bool sorted, quint32 options,
              const QString& fieldNames, const TzohFieldResolver& resolve);

    const QString& Name() const { return FName; }
    void SetName(const QString& n) { FName = n; }
    const QString& FieldNames() const { return FFieldNames; }
    const TzohFieldList& Fields() const { return FFields; }
    TzohFieldList& Fields() { return FFields; }
    quint32 Options() const { return FOptions; }
    bool UpToDate() const { return FUpToDate; }
    void SetUpToDate(bool v) { FUpToDate = v; }
    bool Sorted() const { return FSorted; }
    bool RowOrder() const { return FRowOrder; }
    int Position() const { return FPosition; }
    void SetPosition(int p) { FPosition = p; }
    bool HasCalculated() const { return FHasCalculated; }

    int Count() const { return int(FRecords.size()); }
    TzohStoredRecord* At(int i) const { return FRecords[i]; }
    std::vector<TzohStoredRecord*>& Records() { return FRecords; }

    // Record compare with the index's fields; tie-break orders equal stored records by ID.
    int CompareRecords(const TzohFieldList& list, const TzohStoredRecord* key, bool partial, bool tieBreak,
                       const TzohStoredRecord* rec) const;
    bool Belongs(TzohStoredRecord* rec) const { return FHost->IndexHostBelongs(const_cast<TzohIndex*>(this), rec); }

    void Clear() { FRecords.clear(); FUpToDate = false; }
    void Rebuild();
    // Sorts a sorted index; "Duplicate index value. Operation aborted." for a unique one with equal keys.
    void Sort();
    void RebuildAndSort();
    // Searches the key; returns the last comparison (0 when found) and the position.
    int Search(const TzohFieldList* list, const TzohStoredRecord* key, bool respectFilter, bool partial, int& pos);
    int PositionOf(const TzohStoredRecord* rec);
    int PositionOfRecordID(qint32 id) const;

    // Maintenance after a record change. position is the changing table's position (-1 for the others).
    void RecordInserted(TzohStoredRecord* rec, int position, bool changingTable, bool append);
    void RecordChanged(const TzohStoredRecord* oldValues, TzohStoredRecord* stored, const TzohStoredRecord* newValues,
                       int currentPos, bool isCurrent, int& newPos);
    void RecordDeleted(TzohStoredRecord* rec);

private:
    // Sorts texts by collation keys made once per record instead of collating every pair.
    bool SortWithKeys();

    TzohIndexHost* FHost;
    QString FName;
    std::vector<TzohStoredRecord*> FRecords;
    QString FFieldNames;
    TzohFieldList FFields;
    quint32 FOptions;
    bool FUpToDate = false;
    bool FSorted;
    bool FRowOrder;
    int FPosition = 0;
    bool FHasCalculated = false;
};
