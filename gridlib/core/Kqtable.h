#pragma once
// The library's table over the local table readers: the per-field lists, lookup fields from other
// tables, picture masks checked before post (the table's own pictures first), a record filter with
// options, a filter text compiled into the cursor's filter, key searches and ranges for the
// library's search controls, and index choice for field lists. A Query text in place of the table
// name is kept; running it raises "not supported".

#include "gridlib/core/kqbde.h"
#include "gridlib/core/kqdbservices.h"
#include "gridlib/core/kqfieldlists.h"

#include <QChar>
#include <QStringList>
#include <functional>
#include <vector>

class TkqTable;
using TkqTableFilterEvent = std::function<void(TkqTable* table, bool& accept)>;
Q_DECLARE_METATYPE(TkqTableFilterEvent)

class TkqTable : public TkqBDEDataSetOf<TTable>, public TkqIndexedTable, public TkqTablePictures {
    Q_OBJECT
    Q_PROPERTY(QStringList LookupFields READ LookupFields WRITE SetLookupFields)
    Q_PROPERTY(QStringList LookupLinks READ LookupLinks WRITE SetLookupLinks)
    Q_PROPERTY(QStringList ControlType READ ControlType WRITE SetControlType)
    Q_PROPERTY(QStringList PictureMasks READ PictureMasks WRITE SetPictureMasks)
    Q_PROPERTY(QStringList kqFilter READ kqFilter WRITE SetkqFilter)
    Q_PROPERTY(bool SyncSQLByRange READ SyncSQLByRange WRITE SetSyncSQLByRange)
    Q_PROPERTY(bool NarrowSearch READ NarrowSearch WRITE SetNarrowSearch)
    Q_PROPERTY(QChar NarrowSearchUpperChar READ NarrowSearchUpperChar WRITE SetNarrowSearchUpperChar)
    Q_PROPERTY(QStringList Query READ Query WRITE SetQuery)
    Q_PROPERTY(QString TableName READ TableName WRITE SetTableName)
    Q_PROPERTY(bool ValidateWithMask READ ValidateWithMask WRITE SetValidateWithMask)
    Q_PROPERTY(TkqInvalidValueEvent OnInvalidValue READ OnInvalidValue WRITE SetOnInvalidValue)
    Q_PROPERTY(TkqTableFilterEvent OnFilter READ OnFilter WRITE SetOnFilter)
    Q_PROPERTY(TDataSet::TDataSetNotifyEvent OnFilterEscape READ OnFilterEscape WRITE SetOnFilterEscape)
    Q_PROPERTY(TkqOnFilterOptions OnFilterOptions READ OnFilterOptions WRITE SetOnFilterOptions)

public:
    explicit TkqTable(QObject* owner = nullptr);
    ~TkqTable() override;

    // --- Published (the lists and settings the four datasets share are in the base)
    // Filter lines, joined with AND; an open table applies them at once ("Fail to set filter"
    // when they do not compile).
    QStringList kqFilter() const { return FkqFilter; }
    void SetkqFilter(const QStringList& lines);
    bool SyncSQLByRange() const override { return FSyncSQLByRange; }
    void SetSyncSQLByRange(bool on) { FSyncSQLByRange = on; }
    bool NarrowSearch() const override { return FNarrowSearch; }
    void SetNarrowSearch(bool on) { FNarrowSearch = on; }
    QChar NarrowSearchUpperChar() const override { return FNarrowSearchUpperChar; }
    void SetNarrowSearchUpperChar(QChar c) { FNarrowSearchUpperChar = c; }
    // An SQL or QBE text in place of the table name; a text closes the table and clears the table
    // name, index, master source and master fields.
    QStringList Query() const { return FQuery; }
    void SetQuery(const QStringList& lines);
    // A name empties Query.
    void SetTableName(const QString& name);
    // Installs or removes the record filter at once.
    TkqTableFilterEvent OnFilter() const { return FOnFilter; }
    void SetOnFilter(const TkqTableFilterEvent& handler);

    // --- Public state for the library's search and lookup services
    // Raised around every key search; the lookup combo ignores the data events of its searches.
    int FindInProgress = 0;
    bool InLookup = false;
    bool IgnoreMasterLink = false;
    // "SQL" or "QBE" once a Query text opened.
    QString QueryKind() const { return FQueryKind; }
    TFilterHandle FilterHandle() const { return FFilterHandle; }
    // Each flag is set to true when the table is destroyed, before OnDestroyNotify.
    void AddDependentFlag(bool* flag);
    void RemoveDependentFlag(bool* flag);
    std::function<void(TkqTable*)> OnDestroyNotify;

    // The filter lines as one text: blank lines skipped, further lines as " AND (line)".
    QString GetFilterText() const;
    // Installs the filter text and, with OnFilter, the record filter on the cursor.
    void ApplyFilter();

    // --- Indexes and keys
    // The first index whose field list (in upper case) is exactly fields with that case rule, else
    // the first whose list begins with fields and ";"; "?" when none.
    QString FindIndexNameForFields(const QString& fields, bool caseSensitive);
    // Exact case-insensitive, exact case-sensitive, prefix case-insensitive, prefix case-sensitive.
    QString FindAnyIndexNameForFields(const QString& fields);
    void EnsureIndexDefs();
    QString GetFirstIndexFieldName();
    // Switches to an index that starts with the fields; true when one serves.
    bool ChooseIndexForFields(const QString& fields);
    bool ChooseIndexForSelected(const QStringList& selected);
    void SwitchToIndexNamed(const QString& name);
    // A key search with lastIndex + 1 values (texts) on the active index.
    bool FindKeyValues(const QStringList& values, int lastIndex);
    bool FindByText(const QString& text, int keyIndex);
    bool FindByFieldValue(const QString& value, const QString& fieldName, int matchType, bool caseSensitive);
    // The records from the key on.
    void SetRangeFromKey(const QStringList& values, const QStringList& upper = {}) override;
    void ClearRange() override;
    void ResetCurrentRange();

    // --- Paradox and dBASE
    bool IsParadoxTable() const;
    bool IsDBaseTable() const;
    // The table's validity picture of the field (loaded once); empty for other tables.
    QString GetParadoxMask(const QString& fieldName);

    // --- What the library's search services ask of an indexed table
    QStringList ActiveIndexFields() const override;
    bool ActiveIndexNamedDescending() const override;
    bool FieldMapsToCaseInsensitiveIndex(const QString& fieldName) const override;
    bool HasMasterSource() const override { return MasterSource() != nullptr; }
    void FindNearest(const QStringList& values) override;
    using TTableDataSet::FindNearest;
    QString TablePicture(const QString& fieldName) const override;

    bool IsSequenced() const override;

protected:
    bool HasFilterHandler() const override { return bool(FOnFilter); }
    void CallFilterHandler(bool& accept) override { FOnFilter(this, accept); }

    std::unique_ptr<TTableReader> CreateReader() override;
    void PrepareCursor() override;
    void InternalClose() override;
    void DoBeforeOpen() override;
    // The table installs its record filter while it opens (PrepareCursor).
    void DoAfterOpen() override { TTable::DoAfterOpen(); }

private:
    void LoadParadoxMasks();

    QStringList FkqFilter, FQuery;
    bool FSyncSQLByRange = false;
    bool FNarrowSearch = false;
    QChar FNarrowSearchUpperChar = QChar(255);
    TkqTableFilterEvent FOnFilter;
    QString FQueryKind;
    TFilterHandle FFilterHandle = 0;
    std::vector<bool*> FDependents;
    QStringList FParadoxPictures;
    bool FParadoxPicturesLoaded = false;
};

// --- Services over any table

// The platform's index for the fields, case-sensitive first, set as IndexName; unchanged when none.
void SelectIndexForFields(TTable* table, const QString& fields);
// Sets IndexName to the definition's (position kept by key ranges only on SQL databases).
void SwitchIndexKeepingPosition(TTable* table, const TIndexDef* indexDef);
// The range of the table's index from the edit texts of the source's fields of the same names.
void ApplyRangeFromDataSet(TTable* table, TDataSet* source);
// The fields ("a;b") are the leading fields of the active index, with its case rule.
bool FieldsMapToIndex(const TDataSet* dataSet, const QString& fields, bool caseSensitive);
bool IsTableWithIndex(const TDataSet* dataSet);
bool IsTableInQueryMode(const TDataSet* dataSet);
