#pragma once
// TClientDataSet: a dataset that holds all its records in memory in a record store shaped like
// the data packet (see ClientStore.h), with a change log, indexes, filters, clones that share
// the records, nested datasets, and loading and saving of binary and XML packet files.
//
// Behaviour worth knowing:
// - Records keep their place in the default order when edited, also after a file with a change
//   log is read again (the place of a record is that of its first version).
// - A unique index refuses a second record with the same key on post ("Key violation."); keys
//   with a NULL part never collide.
// - Each TDataSetField gets a nested client dataset when the master opens (unless one is
//   attached already); nested datasets open and close with their master.
// - OnFilterRecord assigned while Filtered is on takes effect at the next Refresh (or when
//   Filtered or Filter change).
// - A delta packet opens read-only, every row visible with its own update status.

#include "platform/core/AtomicFile.h"
#include "platform/client/ClientFields.h"
#include "platform/client/ClientKeys.h"
#include "platform/data/DB.h"

#include <QByteArray>
#include <QIODevice>

#include <initializer_list>
#include <memory>
#include <vector>

class TFilterExpr;
class TRecordStore;
class TStoreLoader;
class TStoreSource;

enum TDataPacketFormat { dfBinary, dfXML, dfXMLUTF8 };

// A set of update statuses (StatusFilter); empty means the current data.
class TUpdateStatusSet {
public:
    TUpdateStatusSet() = default;
    TUpdateStatusSet(std::initializer_list<TUpdateStatus> statuses)
    {
        for (TUpdateStatus s : statuses) FBits |= quint8(1u << s);
    }
    bool Contains(TUpdateStatus s) const { return FBits & (1u << s); }
    bool IsEmpty() const { return FBits == 0; }
    void Include(TUpdateStatus s) { FBits |= quint8(1u << s); }
    friend bool operator==(TUpdateStatusSet a, TUpdateStatusSet b) { return a.FBits == b.FBits; }

private:
    quint8 FBits = 0;
};

class TClientDataSet : public TDataSet, private IStoreObserver {
    Q_OBJECT
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(QString IndexName READ IndexName WRITE SetIndexName)
    Q_PROPERTY(QString IndexFieldNames READ IndexFieldNames WRITE SetIndexFieldNames)
    Q_PROPERTY(bool LogChanges READ LogChanges WRITE SetLogChanges)

public:
    explicit TClientDataSet(QObject* owner = nullptr);
    ~TClientDataSet() override;

    // ---- Creating and emptying
    // A new empty dataset from FieldDefs (nested definitions included), or, when there are none,
    // from the declared data fields; calculated and lookup fields are not stored. Raises when
    // the dataset is open.
    void CreateDataSet();
    // The Windows locale (LCID) that CreateDataSet records in the new data: its ANSI code page
    // is the one of the 8-bit text. 0 (the default) records none: Windows-1252.
    quint32 CreateLocale() const { return FCreateLocale; }
    void SetCreateLocale(quint32 lcid) { FCreateLocale = lcid; }
    // Removes every record; at the top level the change log goes too.
    void EmptyDataSet();

    // ---- Files and packets
    // Opening reads FileName; closing writes it back when the data changed since it was read or
    // saved (never when read-only).
    QString FileName() const { return FFileName; }
    void SetFileName(const QString& fileName);
    // Reads a packet file (binary or XML by its content) and opens the dataset on it.
    void LoadFromFile(const QString& fileName = QString());
    // Writes the data with its change log. XML whenever the name ends in ".xml" (any case),
    // through a temporary file that replaces the old one only when complete.
    void SaveToFile(const QString& fileName = QString(), TDataPacketFormat format = dfBinary);
    void LoadFromStream(QIODevice& stream);
    void SaveToStream(QIODevice& stream, TDataPacketFormat format = dfBinary);
    // The whole dataset as a binary packet (with its change log); assigning opens the dataset
    // on a packet (an empty one closes it).
    QByteArray Data() const;
    void SetData(const QByteArray& packet);
    // The changes as a delta packet.
    QByteArray Delta() const;

    // ---- Change log
    bool LogChanges() const;
    void SetLogChanges(bool on);
    int ChangeCount() const;
    void MergeChangeLog();
    void CancelUpdates();
    // Undoes the newest change; with followChange the cursor goes to the record it restored.
    bool UndoLastChange(bool followChange);
    // Takes the current record back to its state at the last merge.
    void RevertRecord();
    // Log position to return to; setting it undoes every later change.
    int SavePoint() const;
    void SetSavePoint(int savePoint);
    TUpdateStatusSet StatusFilter() const { return FStatusFilter; }
    void SetStatusFilter(TUpdateStatusSet filter);
    TUpdateStatus UpdateStatus() const override;

    // ---- Indexes. "DEFAULT_ORDER" is the order a packet was saved in (its default index).
    void AddIndex(const QString& name, const QString& fields, TIndexOptions options = {},
                  const QString& descFields = QString(), const QString& caseInsFields = QString(),
                  int groupingLevel = 0);
    void DeleteIndex(const QString& name);
    QString IndexName() const { return FIndexName; }
    void SetIndexName(const QString& name);
    // Fields "a;b" (each may end in ":D" descending, ":N" case-insensitive, ":DN" both).
    QString IndexFieldNames() const { return FIndexFieldNames; }
    void SetIndexFieldNames(const QString& fields);
    void GetIndexNames(QStringList& list);

    // ---- Cursors: the clone shares the records. reset clears the clone's index, filter and
    // status filter; otherwise keepSettings keeps the clone's own, and without it the source's
    // are taken.
    void CloneCursor(TClientDataSet* source, bool reset, bool keepSettings = false);

    bool Locate(const QString& keyFields, const TVariant& keyValues, TLocateOptions options = {}) override;
    bool IsIndexField(const TField* field) const override;
    TVariant Lookup(const QString& keyFields, const TVariant& keyValues, const QString& resultFields) override;

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
    void InternalEdit(TRecordId id) override;
    void InternalInsert(bool append) override;
    TRecordId InternalPost(const TEditBuffer& buffer) override;
    void InternalCancel() override;
    void InternalDelete(TRecordId id) override;
    void InternalRefresh() override;
    bool GetCanModify() const override;
    void FilterChanged() override;
    bool RecordMatchesFilter(TRecordId id) override;
    void UpdateIndexDefs() override;
    void DataEvent(TDataEvent event, qintptr info = 0) override;
    void DoAfterOpen() override;
    void DoBeforeClose() override;
    void DoBeforePost() override;
    void DoBeforeCancel() override;

private:
    friend class TRecordCopySource;
    friend class TRecordUpdater;
    friend class TCopyPlan;
    friend class TLocateHash;
    void StoreChanged(const TStoreChange& change) override;

    TClientDataSet* ParentClientDataSet() const;
    bool IsNested() const { return DataSetField() != nullptr || FFixed; }
    void AttachStore(std::shared_ptr<TRecordStore> store, int level);
    void ReleaseStore();
    void ReadFile(const QString& fileName);
    void LoadPacket(const QByteArray& bytes, const QString& what);
    void AdoptLoaded(TStoreLoader& loader, const QString& what);
    void AdoptStore(std::shared_ptr<TRecordStore> store, const QString& what);
    TStoreSource PacketSource() const;
    QByteArray WritePacketBytes(TDataPacketFormat format) const;
    void BindColumns();
    void CreateNestedDataSets();
    void CloseNestedDataSets();
    const TColumnBinding* Binding(const TField* field) const;
    bool ResolveField(const QString& name, TColumnBinding& binding) const;
    TSlotNo SlotOf(TRecordId id) const;

    // Views and indexes.
    std::vector<TKeyPart> KeyParts(const QString& fields, const QString& descFields, const QString& caseInsFields,
                                   TIndexOptions options) const;
    std::vector<TKeyPart> CurrentKey() const;
    void ApplyIndex();
    void SwitchIndex(const QString& name, const QString& fields);
    void RebuildUniqueOrders();
    void RebuildView();
    bool Passes(TRecIndex rec);
    TUpdateStatus StatusOf(TRecIndex rec) const;
    void UpdateViewFor(const TStoreChange& change);
    bool ViewIsTrivial() const;
    // Whether a status filter or an active filter decides which records the view shows.
    bool ViewFiltered() const;
    TRecIndex CurrentOwner() const;
    void ParentScrolled();
    int FindPosition(const QString& keyFields, const TVariant& keyValues, TLocateOptions options);
    void CheckUnique(const char* block, TRecIndex self);
    // The record's current slot; raises when the record is gone.
    TSlotNo SlotOrFail(TRecIndex rec) const;
    // A record's values as one block of the level's layout ("not changed" cells resolved);
    // raises when the record is gone.
    void ReadBlock(TRecIndex rec, char* block) const;
    // Stores a record's new values as posting an edit of them does (required fields, unique
    // keys, the change log), without the fields, the edit state or a move of the cursor;
    // raises when the record is gone.
    void PostBlock(TRecIndex rec, const char* block);
    // The same for a version made beforehand in the block of the level's next slot (see
    // TRecordStore::ModifyPrepared).
    void PostPrepared(TRecIndex rec, quint64 same);
    // What posting a record's new values checks first (see PostBlock).
    void CheckPost(TRecIndex rec, const char* block);
    // The filter text compiled; nullptr for a blank one.
    std::unique_ptr<TFilterExpr> NewFilterExpr() const;
    TRecIndex ReservedForNested();
    void AfterStoreOperation(TRecIndex follow);

    std::shared_ptr<TRecordStore> FStore;
    int FLevel = 0;
    std::vector<TColumnBinding> FBindings;      // by field number - 1 of the level
    std::shared_ptr<TIndexOrder> FOrder;        // the top level's current index
    std::vector<std::shared_ptr<TIndexOrder>> FUniqueOrders;
    std::vector<TKeyPart> FKey;                 // the current index's parts
    std::vector<std::vector<TKeyPart>> FUniqueKeys;
    TIdList FOwnView;
    const TIdList* FView = nullptr;
    bool FMaterialized = false;
    TRecIndex FOwner = NoRec;                   // nested: the master record shown
    bool FFixed = false;                        // a clone of a nested dataset: one master
    TRecIndex FFixedOwner = NoRec;
    TRecIndex FReserved = NoRec;                // a master row being inserted with nested rows
    std::vector<int> FEditMarks;                // child levels' log sizes when an edit began
    std::unique_ptr<TFilterExpr> FFilterExpr;
    std::unique_ptr<TFilterExpr> FFindExpr;     // Filter() for FindFirst/FindNext while not Filtered
    QString FFindText;
    TFilterOptions FFindOptions;
    TUpdateStatusSet FStatusFilter;
    QString FFileName;
    QString FStoreFile;                         // the file a closed dataset's store was read from
    QString FDiskFile;                          // the file the data came from or went to last
    TFileStamp FDiskStamp;                      // that file as it was then
    QString FIndexName;
    QString FIndexFieldNames;
    bool FLogChanges = true;
    quint32 FCreateLocale = 0;
    quint64 FSavedVersion = 0;
    int FOwnChange = 0;
    std::vector<char> FScratch;
};
