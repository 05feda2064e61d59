#pragma once
// Read-only datasets over Paradox and dBASE tables (TTable) and over the tables of Access
// databases (TADOTable on a TADOConnection). Indexes, key searches, ranges and master-detail
// links work on orders built over the records in memory; the cursor takes filters as the
// database engine did (filter-expression blocks and record callbacks). Writing, SQL, QBE and
// stored procedures raise a clear "not supported" error.

#include "platform/data/DB.h"
#include "platform/data/DBParams.h"
#include "platform/data/FilterData.h"
#include "platform/tables/TableReader.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class TTableIndexOrder;
class TTableMasterLink;
struct TTableCursorFilter;

// A filter of the cursor (0: none).
using TFilterHandle = int;
// A record filter of the cursor: field reads answer the record being filtered; true accepts it.
using TRecordFilterCallback = std::function<bool(TDataSet* dataSet)>;

// A dataset whose records a table reader serves, read on demand, deleted ones left out. The view
// is the active index's order (the table's own order without one), narrowed by the range and
// the master link, then by the cursor's filters and the dataset's own filter.
class TTableDataSet : public TDataSet {
    Q_OBJECT
    Q_PROPERTY(int CodePage READ CodePage WRITE SetCodePage)
    Q_PROPERTY(QString IndexName READ IndexName WRITE SetIndexName)
    Q_PROPERTY(QString IndexFieldNames READ IndexFieldNames WRITE SetIndexFieldNames)
    Q_PROPERTY(TDataSource* MasterSource READ MasterSource WRITE SetMasterSource)
    Q_PROPERTY(QString MasterFields READ MasterFields WRITE SetMasterFields)
public:
    explicit TTableDataSet(QObject* owner = nullptr);
    ~TTableDataSet() override;

    // The code page of the table's 8-bit text; 0 (the default) takes what the table declares,
    // else the default code page. Set it while closed.
    int CodePage() const { return FCodePage; }
    void SetCodePage(int codePage);
    // The code page the open table's text is read in (0 while closed).
    int TextCodePage() const;

    bool IsSequenced() const override;

    // --- Indexes: the primary key the table declares (IndexDefs after Update) and any
    // definition a program adds to IndexDefs. IndexName "" is the primary index, or the table's
    // own order when it has none; IndexFieldNames ("a;b") orders by any fields. Setting one
    // clears the other; a new order cancels the range and goes to the first record.
    QString IndexName() const { return FIndexName; }
    void SetIndexName(const QString& name);
    QString IndexFieldNames() const { return FIndexFieldNames; }
    void SetIndexFieldNames(const QString& fields);
    int IndexFieldCount() const;
    TField* IndexFields(int index) const;
    bool IndexFieldDescending(int index) const;
    bool IndexFieldCaseInsensitive(int index) const;
    // The fields are the leading fields of the active index, compared with the case rule asked.
    bool MapsToIndex(const QList<TField*>& fields, bool caseInsensitive) const;
    void GetIndexNames(QStringList& list);
    bool IsIndexField(const TField* field) const override;

    // --- Keys of the active index. SetKey and EditKey enter dsSetKey: the index fields take the
    // key; GotoKey and GotoNearest search with it. A key compares the leading fields assigned
    // (KeyFieldCount of them when it is set); text compares by the index's case rule.
    void SetKey();
    void EditKey();
    bool GotoKey();
    void GotoNearest();
    bool FindKey(const std::vector<TVariant>& values);
    void FindNearest(const std::vector<TVariant>& values);
    int KeyFieldCount() const;
    void SetKeyFieldCount(int count);
    // A nearest search and a range start pass over records equal to the key.
    bool KeyExclusive() const;
    void SetKeyExclusive(bool exclusive);

    // --- Ranges of the active index: the records from the start key to the end key, both
    // included; an unassigned bound leaves that end open.
    void SetRangeStart();
    void SetRangeEnd();
    void EditRangeStart();
    void EditRangeEnd();
    void ApplyRange();
    void CancelRange();
    void SetRange(const std::vector<TVariant>& startValues, const std::vector<TVariant>& endValues);
    bool RangeActive() const { return FRangeActive; }

    // --- Master-detail: the records whose leading index fields equal MasterFields ("a;b") of
    // the master source's current record.
    TDataSource* MasterSource() const;
    void SetMasterSource(TDataSource* source);
    QString MasterFields() const { return FMasterFields; }
    void SetMasterFields(const QString& fields);

    // --- Filters of the cursor, as the database engine keeps them. A new filter is inactive;
    // activating, deactivating and dropping take effect when the table is refreshed (or
    // opened). Adding a block raises for a damaged block and for a field the table lacks.
    TFilterHandle AddFilter(const QByteArray& block);
    TFilterHandle AddFilterCallback(const TRecordFilterCallback& accept);
    void ActivateFilter(TFilterHandle handle);
    void DeactivateFilter(TFilterHandle handle);
    // Drops one filter, or every filter for handle 0.
    void DropFilter(TFilterHandle handle);
    // The view is built again, with the current record kept where it still is: after a
    // filter's answers changed.
    void Refilter();

protected:
    // Opens the reader of the table; raises when the table cannot be read.
    virtual std::unique_ptr<TTableReader> CreateReader() = 0;
    TTableReader* Reader() const { return FReader.get(); }
    // Runs after the reader is open and before the first record is read: a class may set up
    // its cursor filters here.
    virtual void PrepareCursor() {}

    void InternalInitFieldDefs() override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalRefresh() override;
    int ViewCount() const override;
    TRecordId ViewRecord(int position) const override;
    int ViewPosition(TRecordId id) const override;
    bool GetRecordValue(TRecordId id, const TField* field, TVariant& value) const override;
    void InternalEdit(TRecordId id) override;
    void InternalInsert(bool append) override;
    TRecordId InternalPost(const TEditBuffer& buffer) override;
    void InternalDelete(TRecordId id) override;
    bool GetCanModify() const override { return false; }
    void FilterChanged() override;
    void UpdateIndexDefs() override;

private:
    friend class TTableMasterLink;
    enum TKeyIndex { kiLookup, kiRangeStart, kiRangeEnd, kiCount };
    struct TKeyBuffer {
        std::vector<TVariant> Values;   // per index field, comparable form
        std::vector<bool> Assigned;
        int FieldCount = 0;             // 0: the leading assigned fields
        bool Exclusive = false;
    };

    void RebuildView();
    void ChooseOrder();
    void ChangeIndex(const QString& name, const QString& fields);
    void ResetKeys();
    void BeginKey(TKeyIndex index, bool keep);
    void PostKey();
    int KeyParts(const TKeyBuffer& key) const;
    void EnsureKeys();
    // First view position whose record's key is not below (upper: above) the key.
    int SearchView(const TKeyBuffer& key, bool upper) const;
    bool RecordMatchesKey(TRecordId id, const TKeyBuffer& key) const;
    bool PassesCursorFilters(int record);
    void MasterChanged();
    TTableCursorFilter* FindCursorFilter(TFilterHandle handle) const;

    std::unique_ptr<TTableReader> FReader;
    int FCodePage = 0;

    // The active order and its bounds [FLow, FHigh) from the range and the master link.
    QString FIndexName;
    QString FIndexFieldNames;
    std::shared_ptr<TTableIndexOrder> FOrder;
    std::vector<std::shared_ptr<TTableIndexOrder>> FOrderCache;
    int FLow = 0;
    int FHigh = 0;
    TKeyBuffer FKeys[kiCount];
    TKeyIndex FEditingKey = kiLookup;
    bool FRangeActive = false;

    // Record numbers of the view while filtered, and each record's position in it (-1: out).
    std::vector<int> FView;
    std::vector<int> FPositionOf;
    bool FFilteredView = false;
    bool FBuilding = false;
    bool FBuildAgain = false;

    std::unique_ptr<TTableMasterLink> FMasterLink;
    QString FMasterFields;
    std::vector<TVariant> FMasterValues;
    bool FMasterActive = false;

    std::vector<std::unique_ptr<TTableCursorFilter>> FCursorFilters;
    // Field values of the record the cursor filters evaluate.
    std::function<TFilterValue(int)> FFieldReader;
    int FFilterRecord = -1;
    TFilterHandle FLastFilterHandle = 0;
};

enum TTableType { ttDefault, ttParadox, ttDBase };

// A Paradox (.db) or dBASE (.dbf) table, chosen by TableType or else by the extension.
class TTable : public TTableDataSet {
    Q_OBJECT
    Q_PROPERTY(QString DatabaseName READ DatabaseName WRITE SetDatabaseName)
    Q_PROPERTY(QString TableName READ TableName WRITE SetTableName)
public:
    explicit TTable(QObject* owner = nullptr);
    ~TTable() override;

    // The folder of the table; empty when TableName is a full path.
    QString DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QString& name);
    // The table's file name, with or without a folder and an extension (without one, ".db"
    // is tried first, then ".dbf").
    QString TableName() const { return FTableName; }
    void SetTableName(const QString& name);
    TTableType TableType() const { return FTableType; }
    void SetTableType(TTableType type);

    // The file the table reads.
    QString TableFileName() const;
    // The kind the file is read as (never ttDefault).
    TTableType ActualTableType() const;
    bool Exists() const;

protected:
    std::unique_ptr<TTableReader> CreateReader() override;

private:
    QString FDatabaseName;
    QString FTableName;
    TTableType FTableType = ttDefault;
};

// A dataset that a statement of the database engine would fill: a query, a stored procedure, a
// query by example. No such engine exists here: the texts are kept, and opening or running
// raises "... is not supported".
class TDBDataSet : public TDataSet {
    Q_OBJECT
    Q_PROPERTY(QString DatabaseName READ DatabaseName WRITE SetDatabaseName)
public:
    explicit TDBDataSet(QObject* owner = nullptr);
    ~TDBDataSet() override;
    QString DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QString& name);

protected:
    // What would run, as the message names it ("SQL over Paradox and dBASE tables").
    virtual QString StatementKind() const;
    [[noreturn]] void StatementNotSupported() const;

    void InternalOpen() override;
    void InternalClose() override {}
    int ViewCount() const override { return 0; }
    TRecordId ViewRecord(int) const override { return NoRecord; }
    int ViewPosition(TRecordId) const override { return -1; }
    bool GetRecordValue(TRecordId, const TField*, TVariant&) const override { return false; }
    TRecordId InternalPost(const TEditBuffer&) override { return NoRecord; }
    void InternalDelete(TRecordId) override {}
    bool GetCanModify() const override { return false; }

private:
    QString FDatabaseName;
};

class TQuery : public TDBDataSet {
    Q_OBJECT
    Q_PROPERTY(QStringList SQL READ SQL WRITE SetSQL)
    Q_PROPERTY(TParams* Params READ Params)
public:
    explicit TQuery(QObject* owner = nullptr);
    ~TQuery() override;
    QStringList SQL() const { return FSQL; }
    // Closes an open query first.
    void SetSQL(const QStringList& sql);
    TParams* Params() const { return FParams; }
    void ExecSQL();

protected:
    QString StatementKind() const override;

private:
    QStringList FSQL;
    TParams* FParams;
};

class TStoredProc : public TDBDataSet {
    Q_OBJECT
    Q_PROPERTY(QString StoredProcName READ StoredProcName WRITE SetStoredProcName)
    Q_PROPERTY(TParams* Params READ Params)
public:
    explicit TStoredProc(QObject* owner = nullptr);
    ~TStoredProc() override;
    QString StoredProcName() const { return FStoredProcName; }
    void SetStoredProcName(const QString& name);
    TParams* Params() const { return FParams; }
    void ExecProc();

protected:
    QString StatementKind() const override;

private:
    QString FStoredProcName;
    TParams* FParams;
};
