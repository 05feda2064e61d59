#pragma once
// The filter window: the dataset's fields on the left, the selected field's criterion on the
// right (a value with a match kind, or a range), OK and Cancel. Each time the selection moves,
// the editors are checked and stored into the window's working copy of the criteria and the
// next field's criterion is loaded; OK hands the copy to the dialog component.

#include "gridlib/dialogs/kqfilter.h"

#include <QDialog>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class QTabBar;
class QTabWidget;
class QWidget;
class TBusyCursor;
class TkqCheckBox;
class TkqCustomMaskEdit;
class TkqDBComboBox;
class TkqDBDateTimePicker;
class TkqDBEdit;
class TkqRadioGroup;

class TkqFilterDlg : public QDialog {
    Q_OBJECT
public:
    // Copies the dialog's criteria and loads its field information. busy, when given, is the
    // hourglass of Execute: the window ends it once shown.
    explicit TkqFilterDlg(TkqFilterDialog* dialog, std::unique_ptr<TBusyCursor>* busy = nullptr);
    ~TkqFilterDlg() override;

    TkqFilterDialog* Dialog() const { return FDialog; }
    const TkqFieldInfoList& WorkingCriteria() const { return FCriteria; }
    bool ChangedFlag() const { return FChangedFlag; }

    // The named controls.
    QWidget* FieldListPanel;
    QLabel* FieldsLbl;
    QTabBar* FieldTabSet;
    QListWidget* FieldsListBox;
    TkqRadioGroup* FieldOrder;
    QWidget* FieldCriteriaPanel;
    QLabel* FieldCriteria;
    QTabWidget* SelectNotebook;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QLabel* FieldValueLbl;
    TkqDBEdit* FilterValueEdit;
    TkqDBComboBox* FilterValueCombo;
    QPushButton* FilterValueClearButton;
    TkqRadioGroup* MatchTypeGroup;
    QWidget* Panel1;
    TkqCheckBox* CaseSensitive;
    TkqCheckBox* Nonmatching;
    QLabel* StartingRangeLbl;
    QLabel* EndingRangeLbl;
    TkqDBEdit* MinValueEdit;
    TkqDBEdit* MaxValueEdit;
    TkqDBDateTimePicker* MinDateEdit;
    TkqDBDateTimePicker* MaxDateEdit;
    QPushButton* MinValueClearButton;
    QPushButton* MaxValueClearButton;
    QWidget* ButtonPanel;
    QPushButton* ViewButton;
    QPushButton* ClearSearchButton;
    QWidget* OKCancelPanel;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    // The steps the handlers share (public for tests).
    void FillCriteriaFieldList(bool searchedOnly);
    bool CommitAndLoadField(bool load);
    void ChooseCriteriaPage();
    void ChooseValueEditor();
    void FocusValueEditor();
    void UpdateClearButtons();
    int FindCriterion(const QString& caption) const;
    TFieldType FieldTypeOfCaption(const QString& caption) const;
    bool IsTypedField(const QString& caption) const;
    bool ValidateValueText(const QString& caption, const QString& text) const;
    bool ValidateRangeText(const QString& caption, const QString& text) const;
    int CurrentLine() const { return FCurrentLine; }
    QWidget* ValueEditor() const;

    // The handlers.
    void FieldsListBoxClick();
    void FieldOrderClick();
    bool FieldTabSetChanging(int newTab);
    void MatchTypeGroupClick();
    void ViewButtonClick();
    void ClearSearchButtonClick();
    void DeleteSelectedCriterion();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Build();
    void FormShow();
    void ApplyTexts();
    void StoreCriterion(const QString& caption, TkqFilterMatchType kind, const QString& value, const QString& minValue,
                        const QString& maxValue, bool caseSensitive, bool nonMatching);
    QString CaptionOfLine(int line) const;
    bool UsingPickers() const;
    QString PickerText(TkqDBDateTimePicker* picker, bool upper) const;
    void SetPickerText(TkqDBDateTimePicker* picker, const QString& text);
    QString ValueEditorText() const;
    TkqFilterMatchType MatchKindOfGroup() const;
    void SetMatchKindOfGroup(TkqFilterMatchType kind);
    bool HandleNavigationKey(QWidget* focus, int key, Qt::KeyboardModifiers modifiers);

    TkqFilterDialog* FDialog;
    TDataSet* FDataSet;
    TkqFieldInfoList FCriteria;
    int FCurrentLine = -1;
    bool FActivated = false;
    bool FShown = false;
    bool FChangedFlag = false;
    bool FLoading = false;
    bool FHasPickList = false;
    std::unique_ptr<TBusyCursor>* FBusy = nullptr;
};
