#pragma once
// Finding records by a field's text: FindFieldValue, and the locate dialog that runs it from
// a small modal window (field, value, match kind, First and Next).

#include "gridlib/core/kqDialog.h"
#include "platform/data/DB.h"

#include <QDialog>
#include <QPointer>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

enum TkqLocateMatchType { mtExactMatch, mtPartialMatchStart, mtPartialMatchAny };
enum TkqFieldSortType { fsSortByFieldNo, fsSortByFieldName };
enum TkqDefaultButtonType { dbFindFirst, dbFindNext };
enum TkqFieldSelection { fsAllFields, fsVisibleFields };

// Moves the dataset to the first record (fromFirst) or the next one after the current record
// whose field matches: 0 exact, 1 at the start, 2 anywhere; without case sensitivity both
// texts are compared in upper case. Exact matches of float, currency and BCD fields compare
// numbers. The records are read without moving the dataset; it moves once, to the match.
// No match: false, and the dataset stays where it was. A field the dataset lacks: the
// warning "Field <name> not found." and false.
bool FindFieldValue(bool fromFirst, TDataSet* dataSet, const QString& fieldName, const QString& searchValue,
                    int matchType, bool caseSensitive, bool useLocate = false);

class TkqLocateDlg : public QDialog {
    Q_OBJECT
public:
    explicit TkqLocateDlg(QWidget* parent = nullptr);
    QLineEdit* SearchValue;
    QCheckBox* CaseSensitiveCheckBox;
    QRadioButton* ExactMatchBtn;
    QRadioButton* PartialMatchStartBtn;
    QRadioButton* PartialMatchAnyBtn;
    QComboBox* FieldNameComboBox;
    QPushButton* FirstButton;
    QPushButton* NextButton;
    QPushButton* CloseButton;
};

class TkqLocateDialog : public TkqCustomDialog {
    Q_OBJECT
public:
    explicit TkqLocateDialog(QObject* owner = nullptr);
    ~TkqLocateDialog() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    QString Caption = QStringLiteral("Locate Field Value");
    QString SearchField;
    TkqLocateMatchType MatchType = mtPartialMatchStart;
    bool CaseSensitive = false;
    TkqFieldSortType SortFields = fsSortByFieldName;
    TkqDefaultButtonType DefaultButton = dbFindNext;
    TkqFieldSelection FieldSelection = fsAllFields;
    bool ShowMessages = true;
    bool UseLocateMethod = false;
    bool CloseOnMatch = true;

    // Shows the window modally; true when a match closed it.
    bool Execute() override;
    TDataSet* GetPrimaryDataSet() const override;
    // The window while it is shown (for tests and OnInitDialog handlers).
    TkqLocateDlg* Form() const { return FForm; }
    std::function<void(TkqLocateDlg*)> OnInitDialog;

private:
    bool Find(bool first);
    QString SelectedFieldName() const;

    std::unique_ptr<TDataLink> FDataLink;
    QPointer<TkqLocateDlg> FForm;
    TDataSet* FDataSet = nullptr;
    QString FLastSearchValue;
};
