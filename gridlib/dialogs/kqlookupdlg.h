#pragma once
// The lookup and search dialogs: a modal form with a grid of a dataset's records, an
// incremental-search edit above it and, optionally, a sort-order combo, a status header, two
// buttons of the application's own, OK and Cancel. TkqLookupDialog shows it over a
// LookupTable; TkqSearchDialog over a SearchTable, or over a ShadowSearchTable (a second
// dataset on the same table) whose chosen record is then made current in the SearchTable, so
// that browsing in the form does not move the SearchTable. The dialog lookup combo shows the
// same form.

#include "gridlib/core/kqDialog.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/editors/kqincsearch.h"
#include "gridlib/grid/Kqdbgrid.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QLabel;
class QPushButton;
class QAbstractButton;
class TkqLookupDlg;

enum TkqDBLookupDlgOption {
    opShowOKCancel, opShowSearchBy, opGroupControls, opFixFirstColumn, opShowStatusBar, opDisableReorderColumns
};
using TkqDBLookupDlgOptions = TkqSet<TkqDBLookupDlgOption>;
inline constexpr TkqDBLookupDlgOptions DefaultLookupDlgOptions{opShowOKCancel, opShowSearchBy};
inline constexpr TkqDBGridOptions DefaultLookupDlgGridOptions{dgTitles, dgIndicator, dgColumnResize, dgColLines,
                                                              dgRowLines, dgTabs, dgRowSelect, dgAlwaysShowSelection,
                                                              dgConfirmDelete, dgPerfectRowFit};

using TkqUserButtonEvent = std::function<void(QObject* sender, TDataSet* lookupTable)>;
using TkqOnInitDialogEvent = std::function<void(TkqLookupDlg* dialog)>;
using TkqSyncDataSetsEvent = std::function<void(QObject* sender, TDataSet* moveDataSet, TDataSet* baseDataSet)>;

// The form's sort-order combo: Down opens its list, a change applies the order to the form.
class TkqTempKeyCombo : public TkqKeyCombo {
    Q_OBJECT
public:
    explicit TkqTempKeyCombo(TkqLookupDlg* form);
    void KeyDown(int& key, TShiftState shift) override;

protected:
    void Change() override;

private:
    TkqLookupDlg* FForm;
};

// What the form is shown with (the arguments of ShowLookupForm).
struct TkqLookupFormParams {
    QObject* Component = nullptr;        // the dialog or dialog combo the settings come from
    QStringList Selected;
    bool PictureMaskFromField = false;
    bool UseTFields = true;
    QString InitialSearchText;
    TkqUserButtonEvent OnUserButton1Click, OnUserButton2Click;
    TkqOnInitDialogEvent OnInitDialog, OnCloseDialog;
    std::function<void(QObject*)> OnSortChange;
    QString UserButton1Caption, UserButton2Caption;
    TEditCharCase CharCase = ecNormal;
    int MaxHeight = 209;
    int MaxWidth = 0;
    QString Caption;
    TAlignment GridTitleAlignment = taLeftJustify;
    TColor GridColor = TColor(0xFFFFFF);
    TkqDBGridOptions GridOptions = DefaultLookupDlgGridOptions;
    TkqDBLookupDlgOptions Options = DefaultLookupDlgOptions;
    // The search edit's delay (a dialog lookup combo's SearchDelay); 0 keeps its own.
    int SearchDelay = 0;
    // Called with the form once it is shown (tests and callers that drive it).
    std::function<void(TkqLookupDlg*)> OnShown;
};

class TkqLookupDlg : public QDialog {
    Q_OBJECT
public:
    explicit TkqLookupDlg(QWidget* parent = nullptr);

    QLabel* SearchCharacterLabel;
    TkqIncrementalSearch* kqIncrementalSearch1;
    QLabel* SortByLabel;
    TkqDBGrid* kqDBGrid1;
    QWidget* StatusHeader;
    QLabel* StatusSection1;
    QLabel* StatusSection2;
    QWidget* UserButtonPanel;
    QPushButton* UserButton1;
    QPushButton* UserButton2;
    TDataSource* DataSource1;
    QAbstractButton* OKBtn;
    QAbstractButton* CancelBtn;
    TkqTempKeyCombo* SortCombo;

    TkqDBLookupDlgOptions Options = DefaultLookupDlgOptions;
    int MaxWidth = 0;
    int MaxHeight = 360;
    QString InitialSearchText;
    TkqUserButtonEvent OnUserButton1Click, OnUserButton2Click;
    TkqOnInitDialogEvent OnInitDialog, OnCloseDialog;
    std::function<void(QObject*)> OnSortChange;
    int SearchDelay = 0;
    TDataSet* DataSet = nullptr;

    // The sort order of the combo (or the dataset's) applied to the grid and the search field.
    void ApplySortOrder(bool fromCombo);
    // Places the controls; with columnsOnly only the columns' width is adjusted.
    void LayoutControls(bool columnsOnly = false);
    void RefreshStatus();
    // The form's left position was set by OnInitDialog and is kept.
    bool LeftFixed() const { return FLeftFixed; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void DoShow();
    void Activate();
    void CenterOnScreen(int width, int height);
    // Handles a previewed key; true when consumed.
    bool PreviewKey(QKeyEvent* event);

    bool FShown = false;
    bool FActivated = false;
    bool FLeftFixed = false;
    bool FShowing = false;
};

class TkqCustomLookupDialog : public TkqCustomDialog {
    Q_OBJECT
    Q_PROPERTY(QStringList ControlType MEMBER ControlType)
    Q_PROPERTY(QStringList PictureMasks MEMBER PictureMasks)
    Q_PROPERTY(bool ControlInfoInDataset MEMBER ControlInfoInDataset)
    Q_PROPERTY(bool PictureMaskFromDataSet MEMBER PictureMaskFromDataset)
public:
    explicit TkqCustomLookupDialog(QObject* owner = nullptr);
    ~TkqCustomLookupDialog() override;

    QStringList Selected;
    TkqDBLookupDlgOptions Options = DefaultLookupDlgOptions;
    TkqDBGridOptions GridOptions = DefaultLookupDlgGridOptions;
    TColor GridColor = TColor(0xFFFFFF);
    TAlignment GridTitleAlignment = taLeftJustify;
    QString Caption;
    int MaxWidth = 0;
    int MaxHeight = 209;
    TEditCharCase CharCase = ecNormal;
    bool UseTFields = true;
    bool PictureMaskFromField = false;
    QString UserButton1Caption, UserButton2Caption;
    TkqUserButtonEvent OnUserButton1Click, OnUserButton2Click;
    TkqOnInitDialogEvent OnInitDialog, OnCloseDialog;
    std::function<void(QObject*)> OnSortChange;
    QStringList ControlType, PictureMasks;
    bool ControlInfoInDataset = true;
    bool PictureMaskFromDataset = true;
    // Called with the form once it is shown.
    std::function<void(TkqLookupDlg*)> OnShown;

    bool Execute() override;
    // Raises: each kind of dialog names its dataset itself.
    TDataSet* GetPrimaryDataSet() const override;
    virtual void DoSyncDataSets(TDataSet* moveDataSet, TDataSet* baseDataSet);
    TkqSyncDataSetsEvent OnSyncDataSets;

protected:
    // Runs the form over the dataset with this dialog's settings.
    bool RunForm(TDataSet* dataSet);
};

class TkqLookupDialog : public TkqCustomLookupDialog {
    Q_OBJECT
    Q_PROPERTY(TDataSet* LookupTable READ LookupTable WRITE SetLookupTable)
public:
    explicit TkqLookupDialog(QObject* owner = nullptr);
    TDataSet* LookupTable() const { return FLookupTable; }
    void SetLookupTable(TDataSet* table) { FLookupTable = table; }
    bool Execute() override;
    TDataSet* GetPrimaryDataSet() const override { return FLookupTable; }

private:
    QPointer<TDataSet> FLookupTable;
};

class TkqSearchDialog : public TkqCustomLookupDialog {
    Q_OBJECT
    Q_PROPERTY(TDataSet* SearchTable READ SearchTable WRITE SetSearchTable)
    Q_PROPERTY(TDataSet* ShadowSearchTable READ ShadowSearchTable WRITE SetShadowSearchTable)
public:
    explicit TkqSearchDialog(QObject* owner = nullptr);
    TDataSet* SearchTable() const { return FSearchTable; }
    void SetSearchTable(TDataSet* table) { FSearchTable = table; }
    TDataSet* ShadowSearchTable() const { return FShadowSearchTable; }
    void SetShadowSearchTable(TDataSet* table) { FShadowSearchTable = table; }
    bool Execute() override;
    TDataSet* GetPrimaryDataSet() const override { return FSearchTable; }

private:
    QPointer<TDataSet> FSearchTable, FShadowSearchTable;
};

// Shows the form modally over the dataset; true when it closed with OK.
bool ShowLookupForm(QWidget* owner, const TkqLookupFormParams& params, TDataSet* dataSet);
