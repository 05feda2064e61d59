#pragma once
// The filter dialog: the user gives fields a value (matched at the start, anywhere or
// exactly) and OK restricts the dataset to the records that meet every criterion. Values are
// words: "a or b" matches either, "a and b" both, the null word an empty field. The criteria
// stay with the dialog for the next run; clearing them all ends the filter.

#include "gridlib/core/kqDialog.h"
#include "platform/data/DB.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <memory>
#include <vector>

class QTableWidget;
class QPushButton;

enum TkqFilterMatchType { fdMatchStart, fdMatchAny, fdMatchExact, fdMatchEnd, fdMatchRange, fdMatchNone };
enum TkqDefaultFilterBy { fdSmartFilter, fdFilterByRange, fdFilterByValue };
enum TkqFilterDialogSort { fdSortByFieldNo, fdSortByFieldName };
enum TkqFilterMethod { fdByFilter, fdByQueryModify };
enum TkqFilterOptimization { fdNone, fdUseAllIndexes, fdUseActiveIndex };
enum TkqQueryFormatDateMode { qfdMonthDayYear, qfdDayMonthYear, qfdYearMonthDay };

struct TkqFieldOperators {
    QString OrChar = QStringLiteral("or");
    QString AndChar = QStringLiteral("and");
    QString NullChar = QStringLiteral("null");
};

struct TkqFilterPropertyOptions {
    bool UseLikeOperator = false;
    QString LikeWildcardChar = QStringLiteral("%");
};

// One criterion: the field, how its value matches, and the value in the words above.
struct TkqFieldInfo {
    QString FieldName;
    QString DisplayLabel;
    TkqFilterMatchType MatchType = fdMatchStart;
    QString FilterValue;
    bool CaseSensitive = false;
    bool NonMatching = false;
};

class TkqFilterDlg : public QDialog {
    Q_OBJECT
public:
    explicit TkqFilterDlg(QWidget* parent = nullptr);
    // One row per field: label, match kind, value.
    QTableWidget* Criteria;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    QPushButton* ClearButton;
};

class TkqFilterDialog : public TkqCustomDialog {
    Q_OBJECT
public:
    explicit TkqFilterDialog(QObject* owner = nullptr);
    ~TkqFilterDialog() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    QString Caption;
    TkqFilterMethod FilterMethod = fdByFilter;
    TkqFilterMatchType DefaultMatchType = fdMatchStart;
    TkqDefaultFilterBy DefaultFilterBy = fdSmartFilter;
    TkqFilterDialogSort SortBy = fdSortByFieldNo;
    TkqFieldOperators FieldOperators;
    TkqFilterPropertyOptions FilterPropertyOptions;
    TkqFilterOptimization FilterOptimization = fdNone;
    TkqQueryFormatDateMode QueryFormatDateMode = qfdMonthDayYear;

    // Shows the window modally; OK installs the criteria on the dataset.
    bool Execute() override;
    TDataSet* GetPrimaryDataSet() const override;
    TkqFilterDlg* Form() const { return FForm; }

    const QList<TkqFieldInfo>& FieldInfo() const { return FCriteria; }
    // Installs criteria (as OK does): a non-empty list filters, an empty one ends the filter.
    void ApplyCriteria(const QList<TkqFieldInfo>& criteria);
    // Whether the dataset's current record meets the criteria.
    bool AcceptRecord(TDataSet* dataSet) const;

private:
    std::unique_ptr<TDataLink> FDataLink;
    QPointer<TkqFilterDlg> FForm;
    QList<TkqFieldInfo> FCriteria;
    // Each criterion made ready for the record loop: its value split once, its field found once.
    struct TPreparedCriterion {
        QStringList Parts;
        bool AnyPart = false;
        mutable QPointer<TField> Field;
    };
    std::vector<TPreparedCriterion> FPrepared;
    QPointer<TDataSet> FFilteredDataSet;
    TDataSet::TFilterRecordEvent FPreviousFilter;
    bool FInstalled = false;
    bool FWasFiltered = false;
};
