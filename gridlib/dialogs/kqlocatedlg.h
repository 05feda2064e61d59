#pragma once
// The locate dialog: a component that shows a small modal window in which the user picks a
// field, types a value, chooses how it compares, and steps to the first or the next record of a
// dataset that matches (FindFieldValue). It remembers the last field, text, match kind and case
// from one Execute to the next.

#include "gridlib/core/kqDialog.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/dialogs/kqfind.h"
#include "platform/data/DB.h"

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

class QAbstractButton;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TkqDBComboBox;
class TkqLocateDialog;

enum TkqFieldSortType { fsSortByFieldNo, fsSortByFieldName };
enum TkqDefaultButtonType { dbFindFirst, dbFindNext };
enum TkqFieldSelection { fsAllFields, fsVisibleFields };
enum TkqLocateDlgOption { ldoCaseSensitiveBelow, ldoCloseOnMatch };
using TkqLocateDlgOptions = TkqSet<TkqLocateDlgOption>;

// The window. Its controls keep the names and places of its definition.
class TkqLocateDlg : public QDialog {
    Q_OBJECT
public:
    explicit TkqLocateDlg(QWidget* parent = nullptr);

    QGroupBox* FieldValueGroup;
    QLineEdit* SearchValue;
    QGroupBox* SearchTypeGroup;
    QCheckBox* CaseSensitiveCheckBox;
    QFrame* Panel1;
    QRadioButton* ExactMatchBtn;
    QRadioButton* PartialMatchStartBtn;
    QRadioButton* PartialMatchAnyBtn;
    QGroupBox* FieldsGroup;
    TkqDBComboBox* FieldNameComboBox;
    QPushButton* FirstButton;
    QPushButton* NextButton;
    QAbstractButton* CloseButton;

    // The dataset being searched and the component that shows the window.
    TDataSet* DataSet() const { return FDataSet; }
    TkqLocateDialog* LocateDialog() const { return FDialog; }

    // The match kind of the checked radio button.
    TkqLocateMatchType MatchType() const;
    // The field belonging to the selected line (empty when none).
    QString SelectedFieldName() const;

    void FindFirst();
    void FindNextBtnClick();
    void FieldNameComboBoxChange();
    void FieldNameComboBoxEnter();
    void FieldNameComboBoxExit();
    void FieldNameComboBoxKeyDown(int& key);
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    friend class TkqLocateDialog;
    bool Find(bool fromFirst);

    TDataSet* FDataSet = nullptr;
    TkqLocateDialog* FDialog = nullptr;
};

class TkqLocateDialog : public TkqCustomDialog {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(QString SearchField MEMBER SearchField)
    Q_PROPERTY(bool CaseSensitive MEMBER CaseSensitive)
    Q_PROPERTY(bool ShowMessages MEMBER ShowMessages)
    Q_PROPERTY(bool UseLocateMethod MEMBER UseLocateMethod)

public:
    Q_INVOKABLE explicit TkqLocateDialog(QObject* owner = nullptr);
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
    // Kept with the component; the no-match messages show whatever it says.
    bool ShowMessages = true;
    bool UseLocateMethod = false;
    TkqLocateDlgOptions Options{ldoCloseOnMatch};

    // Shows the window modally; true only when a match closed it (ldoCloseOnMatch).
    bool Execute() override;
    TDataSet* GetPrimaryDataSet() const override;
    // The window while it is shown.
    TkqLocateDlg* Form() const { return FForm; }

    std::function<void(TkqLocateDlg*)> OnInitDialog;
    std::function<void(TkqLocateDlg*, const QString& searchField)> OnSelectField;

protected:
    virtual void DoInitDialog();

private:
    friend class TkqLocateDlg;
    std::unique_ptr<TDataLink> FDataLink;
    QPointer<TkqLocateDlg> FForm;
    QString FLastSearchValue;
};
