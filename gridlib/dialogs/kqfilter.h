#pragma once
// The filter dialog component: criteria kept per field (a value matched exactly, at the start
// or anywhere, or a range) and applied to a dataset by the chosen method: a per-record callback
// that a hidden form carries, a Filter property text in the dataset's own filter language, or
// extra conditions in the WHERE clause of the dataset's SQL.
//
// Value syntax: a value is read as words (blanks and tabs separate them, a word in double
// quotes is taken whole, a one-character operator word also ends a word). The first word after
// the first that is the or-word or the and-word makes the value an or-list or an and-list;
// the parts are the runs of words between that word's occurrences. A part that is the null
// word stands for an empty field.

#include "gridlib/core/kqDialog.h"
#include "gridlib/core/kqcommon.h"
#include "platform/data/DB.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class TkqFilterDlg;
class TkqFilterDialog;
class TkqDummyForm;
class TQuery;

enum TkqFilterMatchType { fdMatchStart, fdMatchAny, fdMatchExact, fdMatchEnd, fdMatchRange, fdMatchNone };
// The match kind offered for a field without criterion: only start, any and exact.
using TkqDefaultMatchType = TkqFilterMatchType;
enum TkqDefaultFilterBy { fdSmartFilter, fdFilterByRange, fdFilterByValue };
enum TkqFilterDialogSort { fdSortByFieldNo, fdSortByFieldName };
// The published property takes the first two; with the third the list shows a query's
// parameters and Execute applies nothing.
enum TkqFilterMethodAll { fdByFilter, fdByQueryModify, fdByQueryParams };
using TkqFilterMethod = TkqFilterMethodAll;
enum TkqFilterFieldsFetchType { fmUseTTable, fmUseSQL, fmUseTFields };
enum TkqFilterOptimization { fdNone, fdUseAllIndexes, fdUseActiveIndex };
enum TkqQueryFormatDateMode { qfdMonthDayYear, qfdDayMonthYear, qfdYearMonthDay };
enum TkqDatasetFilterType { fdUseOnFilter, fdUseFilterProp, fdUseBothFilterTypes };

enum TkqFilterDialogOption {
    fdCaseSensitive, fdShowCaseSensitive, fdShowOKCancel, fdShowViewSummary, fdShowFieldOrder, fdShowValueRangeTab,
    fdShowNonMatching, fdHidePartialAnywhere, fdDisableDateTimePicker, fdSizeable, fdTabsAtTop
};
using TkqFilterDialogOptions = TSet<TkqFilterDialogOption>;
enum TkqOnFilterPropertyOption { fdClearWhenNoCriteria, fdClearWhenCloseDataSet };
using TkqOnFilterPropertyOptions = TSet<TkqOnFilterPropertyOption>;

// One criterion: a field (found by its caption) and its value or range.
struct TkqFieldInfo {
    QString FieldName;
    QString DisplayLabel;
    TkqFilterMatchType MatchType = fdMatchStart;
    QString FilterValue;
    QString MinValue;
    QString MaxValue;
    bool CaseSensitive = false;
    bool NonMatching = false;
};
using TkqFieldInfoList = QList<TkqFieldInfo>;

// A field the window offers: the name criteria use, the column written into SQL, its table.
struct TkqDBFieldInfo {
    QString FieldName;
    QString SqlFieldName;
    QString Qualifier;
    TFieldType DataType = ftUnknown;
    QString DisplayLabel;
    int Size = 0;
};

class TkqFieldOperators : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString OrChar READ OrChar WRITE SetOrChar)
    Q_PROPERTY(QString AndChar READ AndChar WRITE SetAndChar)
    Q_PROPERTY(QString NullChar READ NullChar WRITE SetNullChar)
public:
    explicit TkqFieldOperators(QObject* owner = nullptr) : QObject(owner) {}
    QString OrChar() const { return FOrChar; }
    QString AndChar() const { return FAndChar; }
    QString NullChar() const { return FNullChar; }
    // Stored without surrounding blanks and tabs; two equal words (ignoring case) warn, the
    // value stays.
    void SetOrChar(const QString& value) { Set(FOrChar, value); }
    void SetAndChar(const QString& value) { Set(FAndChar, value); }
    void SetNullChar(const QString& value) { Set(FNullChar, value); }

private:
    void Set(QString& slot, const QString& value);
    QString FOrChar = QStringLiteral("or");
    QString FAndChar = QStringLiteral("and");
    QString FNullChar = QStringLiteral("null");
};

class TkqFilterPropertyOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(int DatasetFilterType READ DatasetFilterTypeValue WRITE SetDatasetFilterTypeValue)
    Q_PROPERTY(bool UseLikeOperator MEMBER UseLikeOperator)
    Q_PROPERTY(QString LikeWildcardChar MEMBER LikeWildcardChar)
    Q_PROPERTY(bool LikeSupportsUpperKeyword MEMBER LikeSupportsUpperKeyword)
    Q_PROPERTY(bool UseBracketsAroundFields MEMBER UseBracketsAroundFields)
public:
    explicit TkqFilterPropertyOptions(QObject* owner = nullptr) : QObject(owner) {}
    TkqDatasetFilterType DatasetFilterType = fdUseOnFilter;
    bool UseLikeOperator = false;
    QString LikeWildcardChar = QStringLiteral("%");
    bool LikeSupportsUpperKeyword = false;
    bool UseBracketsAroundFields = true;

private:
    int DatasetFilterTypeValue() const { return int(DatasetFilterType); }
    void SetDatasetFilterTypeValue(int v) { DatasetFilterType = TkqDatasetFilterType(v); }
};

struct TkqSQLTablesCollectionItem {
    QString TableName;
    QString TableAliasName;
    // "index - alias", else the table name, else "<Unassigned>".
    QString DisplayName(int index) const;
};
using TkqSQLTablesCollection = QList<TkqSQLTablesCollectionItem>;

// A value split by the value syntax.
struct TkqFilterValueParts {
    enum TOperator { opNone, opOr, opAnd } Operator = opNone;
    QStringList Parts;
};
QStringList FilterValueWords(const QString& value, const TkqFieldOperators& ops);
TkqFilterValueParts ParseFilterValue(const QString& value, const TkqFieldOperators& ops);
// The upper bound of a string range lengthened to size with the pad character (0: none).
QString PadUpperBound(const QString& text, int size, ushort padChar);

class TkqFilterDataLink : public TDataLink {
public:
    explicit TkqFilterDataLink(TkqFilterDialog* dialog) : FDialog(dialog) {}

protected:
    void ActiveChanged() override;

private:
    TkqFilterDialog* FDialog;
};

using TkqOnInitFilterDlgEvent = std::function<void(TkqFilterDlg* dialog)>;
using TkqOnExecuteSQLEvent = std::function<void(TkqFilterDlg* dialog, TDataSet* query)>;
using TkqOnEncodeValueEvent = std::function<void(TFieldType fieldType, const QString& fieldName, QString& userValue)>;
using TkqOnEncodeDateTimeEvent = std::function<void(TDateTime value, TFieldType fieldType, const QString& fieldName,
                                                    QString& formatted)>;
using TkqOnSelectFilterField = std::function<void(QObject* sender, const QString& fieldName, QString& pictureMask,
                                                  QStringList& comboList)>;
using TkqOnInitTempDataSetEvent = std::function<void(QObject* sender, TDataSet* orig, TDataSet* temp)>;
using TkqOnAcceptFilterRecord = std::function<void(QObject* sender, TDataSet* dataSet, bool& accept,
                                                   bool& defaultFiltering)>;
using TkqFilterDialogSummaryEvent = std::function<void(QObject* sender, const TkqFieldInfoList& criteria,
                                                       bool& doDefault)>;

class TkqFilterDialog : public TkqCustomDialog {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(QString DefaultField MEMBER DefaultField)
    Q_PROPERTY(int DlgHeight READ DlgHeight WRITE SetDlgHeight)
    Q_PROPERTY(int UpperRangePadChar MEMBER UpperRangePadChar)
    Q_PROPERTY(QStringList SelectedFields MEMBER SelectedFields)
    Q_PROPERTY(QString SQLUpperString MEMBER SQLUpperString)
    Q_PROPERTY(QString SQLPropertyName MEMBER SQLPropertyName)
    Q_PROPERTY(TkqFieldOperators* FieldOperators READ FieldOperators CONSTANT)
    Q_PROPERTY(TkqFilterPropertyOptions* FilterPropertyOptions READ FilterPropertyOptions CONSTANT)
public:
    explicit TkqFilterDialog(QObject* owner = nullptr);
    ~TkqFilterDialog() override;

    TDataSource* DataSource() const;
    // A table forces FilterMethod to fdByFilter.
    void SetDataSource(TDataSource* source);
    TkqFilterMethod FilterMethod() const { return FFilterMethod; }
    // Anything goes without a data source, on a query or on a dataset with an SQL property;
    // otherwise only fdByFilter (a warning refuses the rest).
    void SetFilterMethod(TkqFilterMethod method);
    int DlgHeight() const { return FDlgHeight; }
    // Values of 267 and below are ignored.
    void SetDlgHeight(int value);

    TkqFilterDialogOptions Options{fdShowCaseSensitive, fdShowOKCancel, fdShowViewSummary, fdShowFieldOrder,
                                   fdShowValueRangeTab};
    TkqFilterDialogSort SortBy = fdSortByFieldNo;
    QString Caption;
    TkqDefaultMatchType DefaultMatchType = fdMatchStart;
    TkqDefaultFilterBy DefaultFilterBy = fdSmartFilter;
    QString DefaultField;
    TkqFilterFieldsFetchType FieldsFetchMethod = fmUseTTable;
    TkqFieldOperators* FieldOperators() const { return FFieldOperators; }
    TkqFilterPropertyOptions* FilterPropertyOptions() const { return FFilterPropertyOptions; }
    TkqOnFilterPropertyOptions OnFilterPropertyOptions{fdClearWhenNoCriteria, fdClearWhenCloseDataSet};
    // Lines "FieldName;Caption".
    QStringList SelectedFields;
    TkqFilterOptimization FilterOptimization = fdNone;
    int UpperRangePadChar = 'z';
    TkqQueryFormatDateMode QueryFormatDateMode = qfdMonthDayYear;
    TkqSQLTablesCollection SQLTables;
    QString SQLUpperString;
    QString SQLPropertyName;

    TkqOnInitFilterDlgEvent OnInitDialog;
    TkqOnExecuteSQLEvent OnExecuteSQL;
    TkqOnEncodeValueEvent OnEncodeValue;
    TkqOnEncodeDateTimeEvent OnEncodeDateTime;
    TkqOnSelectFilterField OnSelectField;
    TkqOnInitTempDataSetEvent OnInitTempDataSet;
    TkqOnAcceptFilterRecord OnAcceptFilterRecord;
    TkqFilterDialogSummaryEvent OnDialogSummary;

    // Shows the filter window; OK with changed criteria (or with filtering off) applies them.
    // True when the window closed with OK.
    bool Execute() override;
    TDataSet* GetPrimaryDataSet() const override;
    virtual void DoDialogSummary(const TkqFieldInfoList& criteria);
    virtual QString GetSQLPropertyName() const;
    virtual void DoInitDialog(TkqFilterDlg* dialog);
    virtual void ClearOnDataSetClose(bool active);
    virtual void DoSelectField(const QString& fieldName, QString& pictureMask, QStringList& comboList);
    virtual void DoInitTempDataSet(TDataSet* orig, TDataSet* temp);
    virtual void DoAcceptFilterRecord(TDataSet* dataSet, bool& accept, bool& defaultFiltering);
    virtual void LoadFieldInfoBySQL();
    virtual void LoadFieldInfoFromFields();
    virtual void InsertWhereClause(const QStringList& conditionLines);
    virtual void LoadFieldInfo();

    // The criteria, in the order they were first given.
    const TkqFieldInfoList& Criteria() const { return FCriteria; }
    // Replaces the criteria (each FieldName derived again from its caption) and applies them as
    // OK does.
    void SetCriteria(const TkqFieldInfoList& criteria);
    const QList<TkqDBFieldInfo>& DBFieldInfo() const { return FDBFieldInfo; }
    QList<TkqDBFieldInfo>& DBFieldInfo() { return FDBFieldInfo; }
    TkqDummyForm* DummyForm() const { return FDummyForm; }
    // The window while it is shown.
    TkqFilterDlg* Form() const { return FForm; }

    // Filters the dataset locally by the criteria (callback and/or Filter text).
    void ApplyLocalFilter();
    // The Filter property text's lines; false (after the warning) when a field is missing.
    bool BuildFilterTextLines(QStringList& lines);
    // Builds and applies the Filter property text; false when the dataset refused it.
    bool ApplyFilterText();
    // The SQL condition lines; false (after the warning) when a field is missing.
    bool BuildSQLConditionLines(QStringList& lines);
    void ApplySQLFilter();
    const QStringList& LastConditionLines() const { return FLastConditionLines; }
    bool RangeInForce() const { return FRangeInForce; }
    bool Busy() const { return FBusy; }
    // The text of a date, time or date-time value as filter and SQL texts write it (after
    // OnEncodeDateTime).
    QString FormatQueryDate(TDateTime value, TFieldType type, const QString& fieldName) const;

private:
    void IndexRangeStep(TDataSet* dataSet);
    // A range criterion's conditions in the filter text (sql false) or SQL; none for a field
    // type without ranges.
    QStringList RangeConditions(const TkqFieldInfo& c, TFieldType type, int size, const QString& column,
                                const QString& encodeName, const QString& dateName, bool sql) const;
    bool HasSQLProperty(const TDataSet* dataSet) const;
    QStringList ReadSQLLines(bool* exists = nullptr) const;
    QString UpperFunction() const { return SQLUpperString.isEmpty() ? QStringLiteral("Upper") : SQLUpperString; }

    std::unique_ptr<TkqFilterDataLink> FDataLink;
    TkqFilterMethod FFilterMethod = fdByFilter;
    int FDlgHeight = 267;
    TkqFieldOperators* FFieldOperators;
    TkqFilterPropertyOptions* FFilterPropertyOptions;
    TkqFieldInfoList FCriteria;
    QList<TkqDBFieldInfo> FDBFieldInfo;
    TkqDummyForm* FDummyForm = nullptr;
    TkqFilterDlg* FForm = nullptr;
    QStringList FSavedSQL;
    bool FHasSavedSQL = false;
    QStringList FLastConditionLines;
    bool FRangeInForce = false;
    bool FBusy = false;

    friend class TkqFilterDlg;
};

// Installs handler as the dataset's published "OnFilter" event (of whatever record-event type
// its class publishes), or as OnFilterRecord without one; an empty handler removes it.
void SetDataSetFilterEvent(TDataSet* dataSet, const TDataSet::TFilterRecordEvent& handler);
