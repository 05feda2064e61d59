#pragma once
// The test-data filler: a modal dialog that fills the records of one open dataset, the
// target, with generated values. One row per field of the target says how that field is
// filled (a method and a value); each target's rows are kept from one use of the dialog to
// the next in "FillerSaveDef.dat" beside the settings file.
//
//   TfrmDBFiller filler(this);
//   filler.SetDataSet(cdsViewData);     // before the dialog is shown
//   filler.exec();
//
// The fill runs on the user-interface thread; events are let through every few milliseconds
// so that the progress bar moves and the Cancel button works.

#include "gridlib/core/kqclient.h"
#include "platform/client/ClientDataSet.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <unordered_map>
#include <vector>

class QAction;
class QLayout;
class TMenuItem;
class QMenu;
class QProgressBar;
class QPushButton;
class TFormStorage;
class TkqRadioGroup;
class TVzPopupMenu;
class TVzSpeedButton;
class TVzSpinEdit;
class TkqDBComboBox;
class TkqDBGrid;

// The random numbers of a fill. The program's generator is seeded from the clock each time the
// dialog is shown; tests give a source of their own so that the values are known.
class TFillRandom {
public:
    virtual ~TFillRandom() = default;
    virtual void Randomize() = 0;
    // 0 <= r < range; 0 when range <= 0.
    virtual int Random(int range) = 0;
    // 0 <= x < 1.
    virtual double Random() = 0;
};

// A small fast generator (xoshiro256**, seeded through splitmix64).
class TRandomGenerator : public TFillRandom {
public:
    explicit TRandomGenerator(quint64 seed = 0) { SetSeed(seed); }
    void SetSeed(quint64 seed);
    void Randomize() override;
    int Random(int range) override;
    double Random() override;

private:
    quint64 Next();
    quint64 FState[4] = {};
};

// The fill methods as the rows name them.
extern const QStringList FillMethods;   // "No Value", "Increment", "Random", "Single", "List", "GUID"
// The sample value lists of the value combo: "CATEGORY=a;b;c" <tab> "a;b;c".
extern const QStringList FillValueItems;

// The file of saved definitions: "FillerSaveDef.dat" in the folder of the settings file.
QString FillerDefinitionsFileName();

class TfrmDBFiller : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDBFiller(QWidget* parent = nullptr);
    ~TfrmDBFiller() override;

    // The dataset to fill; set before the dialog is shown.
    TClientDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TClientDataSet* dataSet) { FDataSet = dataSet; }
    // The nested dataset while a nested fill runs.
    TDataSet* NestedDataSet() const { return FNestedDataSet; }
    // Replaces the random source (the dialog owns it).
    void SetRandomSource(std::unique_ptr<TFillRandom> source);
    TFillRandom& RandomSource() { return *FRandom; }
    bool CancelRequested() const { return FCancelRequest; }
    bool Filling() const { return FFillDepth > 0; }

    // --- Rows tables and saved definitions
    TkqClientDataSet* cdsFiller;
    TkqClientDataSet* cdsFillerDetail;
    TClientDataSet* cdsFillerSaveDef;
    TDataSet* cdsFillerSaveDefDetail = nullptr;
    TDataSource* dsFiller;

    // --- Controls
    TVzSpinEdit* EdtNoFill;
    QPushButton* btnCountTabSQL;
    TVzSpinEdit* EdtDetailNoFill;
    TkqRadioGroup* rgAppendUpdate;
    TVzSpeedButton* btnFill;
    TVzPopupMenu* VzPopupMenu;
    TMenuItem* FromTop1;
    TMenuItem* FromCurrentRecord1;
    TkqDBGrid* grdFiller;
    QMenu* PopupMenu1;
    QAction* mnuNoValue;
    QAction* mnuIncrement;
    QAction* mnuRandom;
    QAction* mnuSingle;
    QAction* mnuList;
    TkqDBComboBox* EdtMethod;
    TkqDBComboBox* EdtValue;
    QProgressBar* Gauge;
    QPushButton* btnCancel;
    TFormStorage* FormStorage;

    // --- Handlers
    void FormShow();
    void FormClose();
    void FromTop1Click();
    void FromCurrentRecord1Click();
    void btnCancelClick();
    void btnCountTabSQLClick();
    void EdtValueCloseUp();
    void grdFillerCellChanged();
    void rgAppendUpdateClick() {}

    // --- Rows
    // Empties the rows and appends one per field definition of the dataset: "Name Type(Size)"
    // with the method "No Value".
    void BuildFillerRows(TDataSet* dataSet, TClientDataSet* rows);
    void SetAllMethods(TClientDataSet* rows, const QString& method);

    // --- The run: count records appended (or edited, in Update mode) and filled by the rows.
    void FillRecords(TDataSet* dataSet, TClientDataSet* rows, bool progress, int count);

    // One row of a run, read from the rows table once: the method, its value and the field
    // definition it fills.
    struct TFillRow {
        enum TMethod { fmNone, fmIncrement, fmRandom, fmSingle, fmList, fmGuid };
        TMethod Method = fmNone;
        QString Value;
        QStringList Items;    // List: the pieces of the value
        qint64 Start = 0;     // Increment: the value as an integer
        TField* Field = nullptr;
        int DataType = 0;
        int Size = 0;
        bool WideText = false;
    };
    void FillIncrement(const TFillRow& row, int k);
    void FillSingle(const TFillRow& row, bool newRecord);
    void FillRandom(const TFillRow& row);
    void FillFromList(const TFillRow& row);
    void FillGuid(const TFillRow& row);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void CreateControls();
    QLayout* CreateSettingsRow();
    QWidget* CreateProgress();
    void CreateCellEditors();
    void CreateGrid();
    void CreateTables();
    void OpenDefinitions();
    void RestoreRows();
    void SaveRows();
    std::vector<TFillRow> ReadRows(TDataSet* dataSet, TClientDataSet* rows);
    const std::vector<TFillRow>& NestedRows(TDataSet* nested);
    void FillNested(TField* field);
    // The loop of a run; answers the index of the last record it began.
    int RunFill(TDataSet* dataSet, const std::vector<TFillRow>& rows, bool progress, int count);
    void LetMessagesThrough(bool progress, int position);
    void SetFillingButton(bool filling);

    QPointer<TClientDataSet> FDataSet;
    QPointer<TDataSet> FNestedDataSet;
    std::unique_ptr<TFillRandom> FRandom;
    bool FCancelRequest = false;
    int FFillDepth = 0;
    bool FDefinitionsUsable = true;   // false after a definitions file that could not be read
    bool FClosed = false;
    QElapsedTimer FSinceEvents;
    double FNow = 0;                  // the current date and time, read when events are let through
    // Nested rows of the run, by nested dataset; deeper levels get rows tables of their own.
    std::unordered_map<TDataSet*, std::vector<TFillRow>> FNestedRows;
    std::vector<std::unique_ptr<TClientDataSet>> FDeepRows;
};
