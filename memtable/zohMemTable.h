#pragma once
// TzohMemTable: a dataset whose records live in memory, in a record store that tables
// can share, ordered by indexes, with versions of changed records, filters, and its own
// binary ("TPF0") and delimited-text files.

#include "memtable/zohCommon.h"
#include "memtable/zohFilter.h"
#include "memtable/zohIndex.h"
#include "platform/data/DB.h"

#include <QHash>
#include <QPointer>
#include <memory>

class TzohCustomDeltaHandler;
class TzohBinaryReader;

class TzohCustomMemTable : public TDataSet, public TzohStoreClient, public TzohIndexHost {
    Q_OBJECT
    Q_PROPERTY(QString IndexFieldNames READ IndexFieldNames WRITE SetIndexFieldNames)
    Q_PROPERTY(QString IndexName READ IndexName WRITE SetIndexName)
    Q_PROPERTY(QString Version READ Version)

public:
    explicit TzohCustomMemTable(QObject* owner = nullptr);
    ~TzohCustomMemTable() override;

    // --- Events of the table
    std::function<void(TDataSet*, int percentage, TzohProgressCode code)> OnProgress;
    std::function<void(TDataSet*, bool& accept)> OnLoadRecord, OnSaveRecord;
    std::function<void(TDataSet*, int fieldNo, TField* field)> OnLoadField, OnSaveField;
    std::function<void(QIODevice& uncompressed, QIODevice& compressed)> OnCompressSave, OnCompressBlobStream;
    std::function<void(QIODevice& compressed, QIODevice& decompressed)> OnDecompressLoad, OnDecompressBlobStream;
    std::function<void(TDataSet*, const TzohFieldDesc& field, quint8& fieldFlags)> OnSetupField;
    std::function<void(TDataSet*, TField* field)> OnSetupFieldProperties;
    std::function<void(TDataSet*, TzohMemTableStorageType, QIODevice& stream)> OnSave, OnLoad;
    std::function<void(TDataSet*, TField* keyField, TField* field, TFieldType type, TzohMemTableCompareOptions,
                       const TVariant& key, const TVariant& value, bool& fullCompare, int& result)> OnCompareFields;
    std::function<void(TDataSet*, TzohIndex* index, bool& accept)> OnFilterIndex;
    // The value of a compressed variable-length field (see OnSetupField and mtpfSmall) on its
    // way into the store and out of it: the handler puts the new bytes into result and their
    // count into size (which starts as the count of buffer). Without a handler the bytes are
    // kept as they are.
    std::function<void(TDataSet*, TField* field, const QByteArray& buffer, int& size, QByteArray& result)>
        OnCompressField, OnDecompressField;

    // --- Binary files (the workbench calls LoadBinaryFile).
    void SaveBinaryStream(QIODevice& stream, TzohMemTableSaveFlags options);
    void LoadBinaryStream(QIODevice& stream);
    // The file is replaced atomically; with mtfSaveAppend the stream is added at its end.
    void SaveBinaryFile(const QString& fileName, TzohMemTableSaveFlags options);
    void LoadBinaryFile(const QString& fileName);

    // --- Delimited text files.
    void SaveCSVStream(QIODevice& stream, TzohMemTableSaveFlags options);
    void LoadCSVStream(QIODevice& stream);
    void SaveCSVFile(const QString& fileName, TzohMemTableSaveFlags options);
    void LoadCSVFile(const QString& fileName);

    void LoadPersistent();
    void SavePersistent();

    // --- Versions and transactions.
    virtual void StartTransaction();
    virtual void Commit();
    virtual void Rollback();

    // --- Properties
    QString Version() const { return QStringLiteral("2.53g"); }
    TzohCustomMemTable* AttachedTo() const { return FAttachedTo; }
    void SetAttachedTo(TzohCustomMemTable* table);
    bool AttachedAutoRefresh() const { return FAttachedAutoRefresh; }
    void SetAttachedAutoRefresh(bool v) { FAttachedAutoRefresh = v; }
    int AttachMaxCount() const { return FStore->AttachMaxCount(); }
    void SetAttachMaxCount(int n) { FStore->SetAttachMaxCount(n); }
    int AutoIncMinValue() const { return FStore->AutoIncMinValue(); }
    void SetAutoIncMinValue(int v) { FStore->SetAutoIncMinValue(v); }
    TzohCustomDeltaHandler* DeltaHandler() const { return FDeltaHandler; }
    void SetDeltaHandler(TzohCustomDeltaHandler* handler);
    bool EnableIndexes() const { return FEnableIndexes; }
    void SetEnableIndexes(bool v) { FEnableIndexes = v; }
    bool AutoReposition() const { return FAutoReposition; }
    void SetAutoReposition(bool v) { FAutoReposition = v; }
    QString IndexFieldNames() const { return FIndexFieldNames; }
    void SetIndexFieldNames(const QString& names);
    QString IndexName() const { return FIndexName; }
    void SetIndexName(const QString& name);
    bool RecalcOnIndex() const { return FRecalcOnIndex; }
    void SetRecalcOnIndex(bool v) { FRecalcOnIndex = v; }
    bool RecalcOnFetch() const { return FRecalcOnFetch; }
    void SetRecalcOnFetch(bool v) { FRecalcOnFetch = v; }
    QString SortFields() const { return FSortFields; }
    void SetSortFields(const QString& v) { FSortFields = v; }
    TzohMemTableCompareOptions SortOptions() const { return FSortOptions; }
    void SetSortOptions(TzohMemTableCompareOptions v) { FSortOptions = v; }
    TzohPerformance Performance() const { return FStore->Performance(); }
    void SetPerformance(TzohPerformance p);
    bool Standalone() const { return FStore->Standalone(); }
    void SetStandalone(bool v);
    QString PersistentFile() const { return FPersistentFile; }
    void SetPersistentFile(const QString& f) { FPersistentFile = f; }
    bool Persistent() const { return FPersistent; }
    void SetPersistent(bool v) { FPersistent = v; }
    TzohMemTableSaveFlags PersistentSaveOptions() const { return FPersistentSaveOptions; }
    void SetPersistentSaveOptions(TzohMemTableSaveFlags f) { FPersistentSaveOptions = f; }
    TzohMemTableSaveFormat PersistentSaveFormat() const { return FPersistentSaveFormat; }
    void SetPersistentSaveFormat(TzohMemTableSaveFormat f) { FPersistentSaveFormat = f; }
    bool PersistentBackup() const { return FPersistentBackup; }
    void SetPersistentBackup(bool v) { FPersistentBackup = v; }
    QString PersistentBackupExt() const { return FPersistentBackupExt; }
    void SetPersistentBackupExt(const QString& e) { FPersistentBackupExt = e; }
    TzohMemTableSaveFlags AllDataOptions() const { return FAllDataOptions; }
    void SetAllDataOptions(TzohMemTableSaveFlags f) { FAllDataOptions = f; }
    TzohMemTableSaveFlags CommaTextOptions() const { return FCommaTextOptions; }
    void SetCommaTextOptions(TzohMemTableSaveFlags f) { FCommaTextOptions = f; }
    char CSVQuote() const { return FCSVQuote; }
    void SetCSVQuote(char c) { FCSVQuote = c; }
    char CSVFieldDelimiter() const { return FCSVFieldDelimiter; }
    void SetCSVFieldDelimiter(char c) { FCSVFieldDelimiter = c; }
    char CSVRecordDelimiter() const { return FCSVRecordDelimiter; }
    void SetCSVRecordDelimiter(char c) { FCSVRecordDelimiter = c; }
    QString CSVTrueString() const { return FCSVTrueString; }
    void SetCSVTrueString(const QString& s) { FCSVTrueString = s; }
    QString CSVFalseString() const { return FCSVFalseString; }
    void SetCSVFalseString(const QString& s) { FCSVFalseString = s; }
    QList<TzohProgressCode> ProgressFlags() const { return FProgressFlags; }
    void SetProgressFlags(const QList<TzohProgressCode>& f) { FProgressFlags = f; }
    int LoadLimit() const { return FLoadLimit; }
    void SetLoadLimit(int n) { FLoadLimit = n; }
    bool LoadedCompletely() const { return FLoadedCompletely; }
    bool EnableVersioning() const { return FStore->VersioningEnabled(); }
    void SetEnableVersioning(bool v) { FStore->SetVersioningEnabled(v); }
    TzohVersioningMode VersioningMode() const { return FStore->VersioningMode(); }
    void SetVersioningMode(TzohVersioningMode m) { FStore->SetVersioningMode(m); }
    int LocaleID() const { return FStore->LocaleID(); }
    void SetLocaleID(int id) { FStore->SetLocaleID(id); }
    int LanguageID() const { return FStore->LanguageID(); }
    void SetLanguageID(int id) { FStore->SetLanguageID(id); }
    int SubLanguageID() const { return FStore->SubLanguageID(); }
    void SetSubLanguageID(int id) { FStore->SetSubLanguageID(id); }
    int SortID() const { return FStore->SortID(); }
    void SetSortID(int id) { FStore->SetSortID(id); }
    // Master/detail: records whose detail fields (or the current index's fields) equal the
    // master's current MasterFields values.
    TDataSource* MasterSource() const;
    void SetMasterSource(TDataSource* source);
    QString MasterFields() const { return FMasterFields; }
    void SetMasterFields(const QString& fields);
    QString DetailFields() const { return FDetailFields; }
    void SetDetailFields(const QString& fields);

    // --- Access for the delta handler, tests and tools.
    TzohCommon* Store() const { return FStore; }
    TzohIndex* CurrentIndex() const { return FCurrentIndex; }
    TzohIndex* RowOrderIndex() const { return FRowOrder.get(); }
    TzohIndex* FindIndex(const QString& name) const;
    // The value of a data field in one version of a record.
    TVariant VersionValue(const TzohStoredRecord* version, const TField* field) const;
    // The stored record the cursor is on (nullptr when none).
    TzohStoredRecord* CurrentStoredRecord() const;
    // The store slot of a data field (-1 for calculated and lookup fields).
    int SlotOf(const TField* field) const;
    // A field of this table shaped like another table's field (wide strings and GUIDs as
    // strings); nullptr for a type the store cannot hold.
    TField* MakeFieldLike(const TField* source);
    // Display settings of one field onto another; OnSetupFieldProperties follows.
    void CopyDisplayProperties(const TField* from, TField* to);

    // --- Framework operations with the table's own search.
    bool Locate(const QString& keyFields, const TVariant& keyValues, TLocateOptions options = {}) override;
    TVariant Lookup(const QString& keyFields, const TVariant& keyValues, const QString& resultFields) override;
    bool IsSequenced() const override;
    bool BookmarkValid(const TBookmark& bookmark) const override;
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const override;
    TUpdateStatus UpdateStatus() const override;
    // A field of the current index's field list.
    bool IsIndexField(const TField* field) const override;
    std::unique_ptr<QIODevice> CreateBlobStream(TField* field, TBlobStreamMode mode) override;

protected:
    void InternalInitFieldDefs() override;
    void InternalOpen() override;
    void InternalClose() override;
    int ViewCount() const override;
    TRecordId ViewRecord(int position) const override;
    int ViewPosition(TRecordId id) const override;
    bool GetRecordValue(TRecordId id, const TField* field, TVariant& value) const override;
    bool IsRecordValueNull(TRecordId id, const TField* field) const override;
    bool GetOldRecordValue(TRecordId id, const TField* field, TVariant& value) const override;
    void InternalInsert(bool append) override;
    TRecordId InternalPost(const TEditBuffer& buffer) override;
    void InternalDelete(TRecordId id) override;
    void InternalRefresh() override;
    // "Field %s is read only" (a read-only table or field; not while loading).
    void CheckFieldModifiable(const TField* field) const override;
    // "Bookmark -200 not found." for a bookmark whose record is gone.
    int BookmarkPosition(const TBookmark& bookmark) const override;
    bool RepositionAfterPost() const override { return FAutoReposition; }
    // Fetched records with RecalcOnFetch, records filtered or indexed with RecalcOnIndex.
    bool CalcFieldsOnRead(TDataSetState state) const override;
    void FilterChanged() override;
    // FindFirst and FindNext: the record filter as if Filtered were on.
    bool RecordMatchesFilter(TRecordId id) override;
    void DoAfterOpen() override;
    void DoBeforeClose() override;
    void DoAfterPost() override;
    void DoAfterDelete() override;
    void DoBeforePost() override;
    void DoOnNewRecord() override;

    // TzohStoreClient
    bool StoreClientActive() const override { return Active(); }
    bool StoreClientBrowsing() const override { return State() == dsBrowse; }
    void StoreClientClose() override { Close(); }
    void StoreClientRefresh() override;
    void StoreClientEmpty() override;
    void StoreClientRebuildIndexes() override;
    void StoreClientMarkIndexesOutOfDate() override;
    void StoreClientDetach() override;

    // TzohIndexHost
    TzohCommon* IndexStore() const override { return FStore; }
    bool IndexHostActive() const override { return Active() || FOpening; }
    bool IndexHostEnableIndexes() const override { return FEnableIndexes; }
    bool IndexHostFilters() const override { return AnythingToFilter(); }
    bool IndexHostAccepts(TzohStoredRecord* rec) override { return AcceptRecord(rec, false); }
    bool IndexHostBelongs(TzohIndex* index, TzohStoredRecord* rec) override;
    void IndexHostProgress(TzohProgressCode code, int percent) override { Progress(percent, code); }
    bool IndexHostHasCompareHook() const override { return bool(OnCompareFields); }
    bool IndexHostCompareFields(const TzohListField& field, const TzohStoredRecord* key, const TzohStoredRecord* rec,
                                TzohMemTableCompareOptions options, bool& fullCompare, int& result) override;

private:
    friend class TzohBlobStream;
    friend class TzohMasterLink;
    friend class TzohCustomDeltaHandler;

    static TRecordId IdOf(const TzohStoredRecord* r) { return (TRecordId(quint32(r->UniqueID)) << 32) | quint32(r->RecordID); }
    TzohStoredRecord* RecordOf(TRecordId id) const;
    void Progress(int percent, TzohProgressCode code);
    bool AnythingToFilter() const;
    bool AcceptRecord(TzohStoredRecord* rec, bool force);
    void MarkViewDirty() { FViewDirty = true; FPosDirty = true; }
    void BuildView() const;
    void BuildPositions() const;
    const std::vector<TzohStoredRecord*>& View() const;

    // Values between variants and the store.
    TVariant ReadValue(const TzohStoredRecord* rec, int slot) const;
    // The stored bytes of a compressed slot through OnDecompressField (as they are without it).
    QByteArray DecompressedBytes(const TzohStoredRecord* rec, int slot) const;
    TField* FieldOfSlot(int slot) const;
    void WriteValue(TzohStoredRecord* rec, int slot, const TVariant& value);
    // Key records for searches (8.107 rules: text cut to size, dates as time stamps).
    void WriteKeyValue(TzohStoredRecord* rec, int slot, const TVariant& value);
    void WriteKeyValues(TzohStoredRecord* rec, const TzohFieldList& list, const TVariant& values);
    int FindKeyPosition(const QString& keyFields, const TVariant& keyValues, TLocateOptions options);
    TzohResolvedField ResolveField(const QString& name) const;

    // Indexes.
    // Without sort the indexes are made but left out of date (a later step sorts them once).
    void RebuildIndexesFromDefs(bool sort = true);
    // An index of a definition; "Missing Name or FieldNames in IndexDef!" for an incomplete one.
    std::unique_ptr<TzohIndex> MakeIndex(const TIndexDef* def);
    void SyncIndexesWithDefs();
    void DropIndexes();
    void SelectIndex(TzohIndex* index);
    void ApplyIndexSelection();
    void NotifyInsert(TzohStoredRecord* rec, int indexPosition, bool append);
    void NotifyChange(TzohStoredRecord* stored, const TzohStoredRecord* newValues);
    void NotifyDelete(TzohStoredRecord* rec);
    void CheckUnique(const TzohStoredRecord* newValues, const TzohStoredRecord* stored);

    void ParseFilter();
    std::vector<TzohFieldDesc> DescribeFields() const;
    void LayoutStore();
    void ResetAutoInc();
    TField* AutoIncField() const;

    // Persistence helpers.
    std::vector<TField*> SelectFields(TzohMemTableSaveFlags options, bool skipRest) const;
    void CloseForDefinitions();
    // After a load: every open table sharing the store brings its indexes in line and sorts them once.
    void SyncTablesAfterLoad();
    TField* MakeField(const TzohFieldDesc& d);
    // Runs fn with the fields reading a stored record; its calculated fields are computed
    // unless calculate is false (then RecalcOnIndex decides, as for any filtered record).
    void RunOnRecord(TzohStoredRecord* rec, const std::function<void()>& fn, bool calculate = true);
    void LoadBinaryRecords(TzohBinaryReader& reader, QIODevice& source, const std::vector<TzohFieldDesc>& defs);

    TzohCommon* FStore;
    std::unique_ptr<TzohCommon> FOwnStore;
    int FAttachIndex = 0;
    QPointer<TzohCustomMemTable> FAttachedTo;
    bool FAttachedAutoRefresh = true;
    QPointer<TzohCustomDeltaHandler> FDeltaHandler;

    std::unique_ptr<TzohIndex> FRowOrder;
    std::vector<std::unique_ptr<TzohIndex>> FIndexes;   // besides the row-order index
    TzohIndex* FCurrentIndex = nullptr;
    QString FIndexFieldNames, FIndexName;

    std::unique_ptr<TzohFilterExpr> FFilterExpr;

    mutable std::vector<TzohStoredRecord*> FFilteredView;
    mutable bool FViewFiltered = false;
    mutable bool FViewDirty = true;
    mutable std::vector<int> FPosOfSlot;
    mutable bool FPosDirty = true;

    bool FEnableIndexes = true;
    bool FAutoReposition = false;
    bool FRecalcOnIndex = false;
    bool FRecalcOnFetch = true;
    bool FForceCalc = false;   // RunOnRecord that computes calculated fields whatever the switches say
    QString FSortFields;
    TzohMemTableCompareOptions FSortOptions = 0;
    QString FPersistentFile;
    bool FPersistent = false;
    TzohMemTableSaveFlags FPersistentSaveOptions{mtfSaveData, mtfSaveNonVisible, mtfSaveIgnoreRange, mtfSaveIgnoreMasterDetail};
    TzohMemTableSaveFormat FPersistentSaveFormat = mtsfBinary;
    bool FPersistentBackup = false;
    QString FPersistentBackupExt = QStringLiteral(".bak");
    TzohMemTableSaveFlags FAllDataOptions{mtfSaveData, mtfSaveNonVisible, mtfSaveBlobs, mtfSaveFiltered,
                                          mtfSaveIgnoreRange, mtfSaveIgnoreMasterDetail, mtfSaveDeltas};
    TzohMemTableSaveFlags FCommaTextOptions{mtfSaveData};
    char FCSVQuote = '"';
    char FCSVFieldDelimiter = ',';
    char FCSVRecordDelimiter = ',';
    QString FCSVTrueString = QStringLiteral("True");
    QString FCSVFalseString = QStringLiteral("False");
    QList<TzohProgressCode> FProgressFlags{mtpcLoad, mtpcSave, mtpcCopy};
    int FLoadLimit = -1;
    bool FLoadedCompletely = false;

    bool FOpening = false;
    bool FLoading = false;
    bool FAfterOpenRunning = false;
    bool FPersistentSaved = false;
    bool FAutoIncFromCSV = false;
    bool FFilterSwitchedOff = false;
    int FInsertIndexPosition = -1;
    int FPostPosition = -1;
    TzohStoredRecord* FFilterTarget = nullptr;

    std::unique_ptr<class TzohMasterLink> FMasterLink;
    QString FMasterFields, FDetailFields;
    TzohFieldList FDetailList;
    QList<TField*> FMasterList;
    TzohStoredRecord* FMasterValues = nullptr;
    bool FMasterDetailEnabled = true;
    void MasterChanged();
    void BuildMasterLists();
    bool MasterDetailActive() const;
    const TzohFieldList& DetailKeyList() const { return FDetailList.Count() ? FDetailList : FCurrentIndex->Fields(); }
};

// The published table: every property and event above.
class TzohMemTable : public TzohCustomMemTable {
    Q_OBJECT
public:
    explicit TzohMemTable(QObject* owner = nullptr) : TzohCustomMemTable(owner) {}
};

// Hands a table's changes over, record by record, by their kind of change.
class TzohCustomDeltaHandler : public QObject {
    Q_OBJECT
public:
    explicit TzohCustomDeltaHandler(QObject* owner = nullptr) : QObject(owner) {}
    TzohCustomMemTable* MemTable() const { return FTable; }
    // The record being handed over: its newest and its oldest version.
    const TzohStoredRecord* NewestVersion() const { return FNewest; }
    const TzohStoredRecord* OldestVersion() const { return FOldest; }
    virtual void ApplyInserted() {}
    virtual void ApplyDeleted() {}
    virtual void ApplyModified() {}
    virtual void ApplyUnmodified() {}
    virtual void ApplyDeltas();

private:
    friend class TzohCustomMemTable;
    QPointer<TzohCustomMemTable> FTable;
    const TzohStoredRecord* FNewest = nullptr;
    const TzohStoredRecord* FOldest = nullptr;
};
