#pragma once
// The record store of the memory table: record layout, stored records with their
// older versions, identity and auto-increment counters, locale, and the tables that
// share the records.

#include "memtable/zohTypes.h"

#include <QCollator>
#include <QRecursiveMutex>
#include <functional>
#include <memory>
#include <vector>

// One record version: a header and, directly behind it, the data area.
struct TzohStoredRecord {
    qint32 RecordNumber = -1;     // position in the current index for a dataset buffer; -1 when stored
    qint32 RecordID = -1;         // slot in the store's record list
    qint32 UniqueID = -1;         // never repeats within the store's life
    qint32 TransactionLevel = -1;
    qint32 Spare = 0;
    quint8 StoredMark = 0;
    quint8 UpdateStatus = usUnmodified;
    TzohStoredRecord* PreviousVersion = nullptr;

    char* Data() { return reinterpret_cast<char*>(this + 1); }
    const char* Data() const { return reinterpret_cast<const char*>(this + 1); }
};

// A variable-length value kept out of the record: a length, then the bytes.
struct TzohVarBuffer {
    qint32 Length;
    char* Bytes() { return reinterpret_cast<char*>(this + 1); }
    const char* Bytes() const { return reinterpret_cast<const char*>(this + 1); }
};

// Field flag bits.
enum : quint8 { zffVarLength = 1, zffCompressed = 2, zffAssigned = 4 };

// One laid-out field (index = field number - 1).
struct TzohSlot {
    QString Name;
    QString DisplayName;
    int DataType = zft::Unknown;
    int Size = 0;
    int Kind = zfk::Data;
    int DataSize = 0;       // bytes behind the null flag in a fixed slot
    int Offset = -1;        // of the null-flag byte in the data area; -1 for ADT and array parents
    quint8 Flags = 0;
    bool HasChildren = false;
    bool VarLength() const { return Flags & zffVarLength; }
};

class TzohCommon;

// What the store asks of each table working on it.
class TzohStoreClient {
public:
    virtual ~TzohStoreClient() = default;
    virtual bool StoreClientActive() const = 0;
    virtual bool StoreClientBrowsing() const = 0;
    virtual void StoreClientClose() = 0;
    virtual void StoreClientRefresh() = 0;
    // Leave edit state, drop positions and clear the indexes before the records go.
    virtual void StoreClientEmpty() = 0;
    virtual void StoreClientRebuildIndexes() = 0;
    virtual void StoreClientMarkIndexesOutOfDate() = 0;
    virtual void StoreClientDetach() = 0;
};

// Lays out fields: the owner's hook may change the flags of a non-blob field.
using TzohSetupFieldHook = std::function<void(const TzohFieldDesc&, quint8& flags)>;

class TzohCommon {
public:
    explicit TzohCommon(TzohStoreClient* owner);
    ~TzohCommon();
    TzohCommon(const TzohCommon&) = delete;
    TzohCommon& operator=(const TzohCommon&) = delete;

    // Lock, skipped when standalone. Re-entrant.
    void Lock() { if (!FStandalone) FLock.lock(); }
    void Unlock() { if (!FStandalone) FLock.unlock(); }
    class TLocker {
    public:
        explicit TLocker(TzohCommon* s) : FStore(s) { FStore->Lock(); }
        ~TLocker() { FStore->Unlock(); }
        TLocker(const TLocker&) = delete;
        TLocker& operator=(const TLocker&) = delete;
    private:
        TzohCommon* FStore;
    };

    // ---- layout
    void Layout(const std::vector<TzohFieldDesc>& defs, int calcFieldsSize = 0,
                const TzohSetupFieldHook& setup = nullptr);
    int FieldCount() const { return int(FSlots.size()); }
    const TzohSlot& Slot(int index) const { return FSlots[index]; }
    TzohSlot& Slot(int index) { return FSlots[index]; }
    // Slot of a field number (1-based), or -1.
    int SlotOfFieldNo(int fieldNo) const { return fieldNo >= 1 && fieldNo <= int(FSlots.size()) ? fieldNo - 1 : -1; }
    int SlotOfName(const QString& name) const;
    int AllocationSize() const { return FAllocationSize; }
    int TotalDataSize() const { return FTotalDataSize; }
    int StartOfCalculated() const { return FCalcStart; }
    int CalcAreaSize() const { return FCalcSize; }
    int StartOfVarArea() const { return FVarStart; }
    int VarFieldCount() const { return FVarCount; }

    // ---- blocks
    TzohStoredRecord* AllocRecord();
    void FreeRecord(TzohStoredRecord* rec, bool freeVarBuffers, bool freeVersions);
    void CopyRecord(const TzohStoredRecord* src, TzohStoredRecord* dst);
    TzohStoredRecord* DuplicateRecord(const TzohStoredRecord* src, bool ownVarBuffers);
    void MoveVarBuffers(TzohStoredRecord* buffer, TzohStoredRecord* stored);
    void FreeVarBuffers(TzohStoredRecord* rec);

    // ---- field data. Addresses point at the null-flag byte.
    char* FieldAddress(TzohStoredRecord* rec, int slot) { return rec ? rec->Data() + FSlots[slot].Offset : nullptr; }
    const char* FieldAddress(const TzohStoredRecord* rec, int slot) const { return rec ? rec->Data() + FSlots[slot].Offset : nullptr; }
    bool FieldHasValue(const TzohStoredRecord* rec, int slot) const { return rec && rec->Data()[FSlots[slot].Offset] != 0; }
    // The bytes of a variable-length field; a buffer without its own copy reads the
    // stored record of the same record ID. Null when the field has no buffer.
    const TzohVarBuffer* VarBufferOf(const TzohStoredRecord* rec, int slot) const;
    // Replaces a variable-length value (null: no buffer, flag cleared).
    void SetVarValue(TzohStoredRecord* rec, int slot, const char* data, qsizetype len, bool isNull = false);
    // Fixed data of a field (behind the flag); writes set the flag.
    char* FixedData(TzohStoredRecord* rec, int slot) { return rec->Data() + FSlots[slot].Offset + 1; }
    const char* FixedData(const TzohStoredRecord* rec, int slot) const { return rec->Data() + FSlots[slot].Offset + 1; }
    void SetFieldNull(TzohStoredRecord* rec, int slot);
    void MarkAssigned(int slot) { FSlots[slot].Flags |= zffAssigned; }
    void ClearAssigned();

    // ---- records
    qint32 AddRecord(TzohStoredRecord* rec);
    // Appends after the existing slots without reusing free ones (loading).
    qint32 AppendRecord(TzohStoredRecord* rec);
    // Takes back the record AppendRecord added last (a load that rejects it).
    void DropLastAppended();
    void ReleaseSlot(qint32 recordID);
    void DeleteRecord(qint32 recordID);
    void ClearRecords();
    int RecordCount() const { return int(FRecords.size()); }
    int LiveRecordCount() const { return int(FRecords.size() - FFreeSlots.size()); }
    TzohStoredRecord* Record(qint32 recordID) const
    {
        return recordID >= 0 && recordID < qint32(FRecords.size()) ? FRecords[recordID] : nullptr;
    }
    void ReserveRecords(qsizetype n) { FRecords.reserve(n); }

    // ---- counters and settings
    qint32 AutoIncMinValue() const { return FAutoIncMinValue; }
    void SetAutoIncMinValue(qint32 v) { FAutoIncMinValue = v; }
    qint32 LastAutoIncValue() const { return FLastAutoIncValue; }
    void SetLastAutoIncValue(qint32 v) { FLastAutoIncValue = v; }
    int DeletedCount() const { return FDeletedCount; }
    void IncDeletedCount() { ++FDeletedCount; }
    TzohPerformance Performance() const { return FPerformance; }
    void SetPerformance(TzohPerformance p) { FPerformance = p; }
    TzohVersioningMode VersioningMode() const { return FVersioningMode; }
    void SetVersioningMode(TzohVersioningMode m) { FVersioningMode = m; }
    bool VersioningEnabled() const { return FVersioningEnabled; }
    void SetVersioningEnabled(bool v) { FVersioningEnabled = v; }
    bool Modified() const { return FModified; }
    void SetModified(bool v) { FModified = v; }
    int TransactionLevel() const { return FTransactionLevel; }
    void IncTransactionLevel() { ++FTransactionLevel; }
    void DecTransactionLevel() { if (FTransactionLevel > 0) --FTransactionLevel; }
    bool Standalone() const { return FStandalone; }
    void SetStandalone(bool v);

    // ---- locale
    int LocaleID() const { return FLocaleID; }
    void SetLocaleID(int id);
    int LanguageID() const { return FLanguageID; }
    int SubLanguageID() const { return FSubLanguageID; }
    int SortID() const { return FSortID; }
    void SetLanguageID(int v) { FLanguageID = v; RecomputeLocale(); }
    void SetSubLanguageID(int v) { FSubLanguageID = v; RecomputeLocale(); }
    void SetSortID(int v) { FSortID = v; RecomputeLocale(); }
    // Text order under the locale (-1, 0, 1); raises "Invalid locale. " for an unknown one.
    int CompareText(const char* a, qsizetype alen, const char* b, qsizetype blen, bool caseInsensitive);
    // The collation key of a text, ordered as CompareText orders the texts (for sorting many).
    QCollatorSortKey SortKey(const char* s, qsizetype len, bool caseInsensitive);

    // ---- transactions
    void Commit();
    void Rollback();

    // ---- attached tables
    TzohStoreClient* Owner() const { return FOwner; }
    int AttachMaxCount() const { return FAttachMaxCount; }
    void SetAttachMaxCount(int n);
    int RegisterTable(TzohStoreClient* table);
    void ReleaseTable(int attachIndex);
    const std::vector<TzohStoreClient*>& Tables() const { return FTables; }
    bool AnyTableOpen() const;
    void CloseOtherTables(TzohStoreClient* except);
    void RefreshOtherTables(TzohStoreClient* except);
    void EmptyAllTables();
    void RebuildAllIndexes();

private:
    void RecomputeLocale();
    void EnsureCollator();
    void ResetPool();
    void LayoutDefs(const std::vector<TzohFieldDesc>& defs, qint64& offset, const TzohSetupFieldHook& setup);

    QRecursiveMutex FLock;
    bool FStandalone = false;
    std::vector<TzohStoredRecord*> FRecords;
    TzohStoreClient* FOwner;
    std::vector<TzohSlot> FSlots;
    int FLanguageID = 0, FSubLanguageID = 1, FSortID = 0, FLocaleID = 1024;
    int FCopyLength = 0, FAllocationSize = 36, FTotalDataSize = 0, FCalcSize = 0, FVarSize = 0;
    int FCalcStart = 0, FVarStart = 0, FVarCount = 0;
    bool FModified = false;
    qint32 FAutoIncMinValue = 0, FLastAutoIncValue = -1;
    int FDeletedCount = 0;
    qint32 FUniqueCounter = 0, FNextRecordID = 0;
    TzohPerformance FPerformance = mtpfFast;
    int FAttachMaxCount = 1;
    std::vector<TzohStoreClient*> FTables;
    std::vector<qint32> FFreeSlots;
    TzohVersioningMode FVersioningMode = mtvm1SinceCheckPoint;
    bool FVersioningEnabled = false;
    int FTransactionLevel = 0;

    // Record blocks come from chunks, so a million records are not a million allocations.
    struct TChunkFree { void operator()(char* p) const; };
    std::vector<std::unique_ptr<char, TChunkFree>> FChunks;
    qsizetype FNextChunk = 0;
    std::vector<TzohStoredRecord*> FFreeBlocks;
    char* FChunkCursor = nullptr;
    qsizetype FChunkLeft = 0;
    qsizetype FBlockSize = 0;
    qsizetype FLiveBlocks = 0;

    std::unique_ptr<QCollator> FCollator, FCollatorCI;
    int FCollatorLocale = -1;
    bool FCollatorValid = false;
};
