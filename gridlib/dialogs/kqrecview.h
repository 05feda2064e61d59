#pragma once
// The record view: the current record of a dataset as a form of one label and one data-aware
// editor per field. TkqRecordViewPanel is a scroll box that shows it inside a window;
// TkqRecordViewDialog shows it in a window of its own (TkqRecordViewForm) with a navigator and
// OK and Cancel. Both pick the editor by the field's type and the ControlType list: a check
// box, a control of the program's own (borrowed while shown), a date-time picker, a rich edit,
// a memo, an image, or a plain edit. Each editor keeps its own field link, so moving through
// the records refreshes the editors and costs per field, never per record.

#include "gridlib/core/kqDialog.h"
#include "gridlib/core/kqcheckbox.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/Kqtypes.h"
#include "gridlib/core/kqdbedit.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "platform/data/DB.h"
#include "platform/dbctrls/DBCtrls.h"
#include "platform/vcl/Graphics.h"
#include "utilities/AppUtils.h"

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QScrollArea>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QFrame;
class QAbstractButton;
class TkqDBNavigator;
class TkqEditFrame;
class TkqButtonEffects;
class TkqRecordViewPanel;
class TkqRecordViewDialog;
namespace kqrecview {
enum TEditorKind : int;
struct TEditorChoice;
}

// --- Layout settings ----------------------------------------------------------------------------

class TkqMargin : public QObject {
    Q_OBJECT
    Q_PROPERTY(int LeftOffset MEMBER LeftOffset)
    Q_PROPERTY(int TopOffset MEMBER TopOffset)
    Q_PROPERTY(int RightOffset MEMBER RightOffset)
    Q_PROPERTY(int BottomOffset MEMBER BottomOffset)
public:
    using QObject::QObject;
    int LeftOffset = 5;
    int TopOffset = 5;
    int RightOffset = 5;
    int BottomOffset = 5;
    void Assign(const TkqMargin& source);
};

class TkqVertEditSpacing : public QObject {
    Q_OBJECT
    Q_PROPERTY(int BetweenLabelEdit MEMBER BetweenLabelEdit)
    Q_PROPERTY(int BetweenRow MEMBER BetweenRow)
public:
    using QObject::QObject;
    int BetweenLabelEdit = 5;
    int BetweenRow = 2;
};

class TkqHorzEditSpacing : public QObject {
    Q_OBJECT
    Q_PROPERTY(int BetweenLabelEdit MEMBER BetweenLabelEdit)
    Q_PROPERTY(int BetweenEditsInRow MEMBER BetweenEditsInRow)
    Q_PROPERTY(int BetweenRow MEMBER BetweenRow)
    Q_PROPERTY(int LabelIndent MEMBER LabelIndent)
public:
    using QObject::QObject;
    int BetweenLabelEdit = 1;
    int BetweenEditsInRow = 5;
    int BetweenRow = 2;
    int LabelIndent = 1;
};

class TkqEditSpacing : public QObject {
    Q_OBJECT
    Q_PROPERTY(TkqHorzEditSpacing* HorizontalView READ HorizontalView)
    Q_PROPERTY(TkqVertEditSpacing* VerticalView READ VerticalView)
public:
    explicit TkqEditSpacing(QObject* owner = nullptr);
    TkqHorzEditSpacing* HorizontalView() const { return FHorizontal; }
    TkqVertEditSpacing* VerticalView() const { return FVertical; }
    void Assign(const TkqEditSpacing& source);

private:
    TkqHorzEditSpacing* FHorizontal;
    TkqVertEditSpacing* FVertical;
};

// A control of the program's own, lent to the record view while it is shown: where it came
// from and how it looked, so that it can go back.
struct TkqCustomControlItem {
    QPointer<QWidget> Control;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    QPointer<QWidget> Parent;
    bool Visible = false;
    bool ButtonFlat = false;
    bool ButtonTransparent = false;
};

// A control and the bounds a re-layout gives it.
struct TControlPosition {
    QPointer<QWidget> Control;
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

// --- The small controls the record view creates ------------------------------------------------

// A data-aware check box that knows its label: entering and leaving repaint it.
class TkqDBCheckBox : public TkqDBCustomCheckBox {
    Q_OBJECT
public:
    using TkqDBCustomCheckBox::TkqDBCustomCheckBox;
    QLabel* Label() const { return FLabel; }
    void SetLabel(QLabel* label) { FLabel = label; }

protected:
    void DoEnter() override;
    void DoExit() override;

private:
    QPointer<QLabel> FLabel;
};

// A label that draws a dotted grey rectangle round itself while its control has the focus.
class TkqLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The memo dialog of the grid opened from a record view's memo with F2.
class TkqMemoDialogPopup : public TkqMemoDialog {
    Q_OBJECT
public:
    using TkqMemoDialog::TkqMemoDialog;
    // The memo of the window gets this selection start and font; the window the field's label.
    int SelStart = 0;
    QFont MemoFont;
    QString FieldLabel;

protected:
    void DoInitDialog(TkqMemoDlg* dialog) override;
};

// Runs the memo dialog on the editor's field; the caller has written a pending change first.
void RunRecordViewMemoPopup(QWidget* editor, TField* field, int selStart);

class TkqDBMemo : public TDBMemo {
    Q_OBJECT
public:
    using TDBMemo::TDBMemo;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class TkqDBEditMemo : public TkqDBCustomEdit {
    Q_OBJECT
public:
    explicit TkqDBEditMemo(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// --- The panel ---------------------------------------------------------------------------------

enum TkqRecordViewPanelStyle { rvpsVertical, rvpsHorizontal };
enum TkqRecordViewPanelOption {
    rvopHideReadOnly, rvopHideCalculated, rvopUseCustomControls, rvopShortenEditBox, rvopConsistentEditWidth,
    rvopMaximizeMemoWidth, rvopUseDateTimePicker, rvopLabelsBeneathControl
};
using TkqRecordViewPanelOptions = TkqSet<TkqRecordViewPanelOption>;
enum TkqRecordViewControlOption { rvcTransparentLabels, rvcTransparentButtons, rvcFlatButtons };
using TkqRecordViewControlOptions = TkqSet<TkqRecordViewControlOption>;

using TkqRecordOnBeforeCreateControl = std::function<void(QObject* sender, TField* curField, bool& accept)>;
using TkqRecordOnAfterCreateControl = std::function<void(QObject* sender, TField* curField, QWidget* control)>;
using TkqRecordSetControlEffects = std::function<void(QObject* sender, TField* curField, QWidget* control,
                                                      TkqEditFrame* frame, TkqButtonEffects* buttonEffects)>;

class TkqRecordViewDataLink : public TDataLink {
public:
    explicit TkqRecordViewDataLink(TkqRecordViewPanel* panel) : FPanel(panel) {}

protected:
    void ActiveChanged() override;
    void LayoutChanged() override {}
    void DataSetChanged() override {}
    void DataSetScrolled(int) override {}

private:
    TkqRecordViewPanel* FPanel;
};

class TkqRecordViewPanel : public QScrollArea {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QStringList Selected READ Selected WRITE SetSelected)
    Q_PROPERTY(QStringList ControlType READ ControlType WRITE SetControlType)
    Q_PROPERTY(bool ControlInfoInDataset MEMBER ControlInfoInDataset)
    Q_PROPERTY(QStringList PictureMasks READ PictureMasks WRITE SetPictureMasks)
    Q_PROPERTY(bool PictureMaskFromDataSet MEMBER PictureMaskFromDataSet)
    Q_PROPERTY(TkqEditFrame* EditFrame READ EditFrame)
    Q_PROPERTY(TkqEditSpacing* EditSpacing READ EditSpacing)
    Q_PROPERTY(TkqMargin* Margin READ Margin)
    Q_PROPERTY(int LinesPerMemoControl READ LinesPerMemoControl WRITE SetLinesPerMemoControl)
    Q_PROPERTY(int ReadOnlyColor READ ReadOnlyColorValue WRITE SetReadOnlyColorValue)

public:
    explicit TkqRecordViewPanel(QWidget* parent = nullptr);
    ~TkqRecordViewPanel() override;

    TDataSource* DataSource() const { return FDataLink->DataSource(); }
    void SetDataSource(TDataSource* source);
    TkqRecordViewPanelStyle Style() const { return FStyle; }
    void SetStyle(TkqRecordViewPanelStyle value);
    TkqRecordViewPanelOptions Options() const { return FOptions; }
    void SetOptions(TkqRecordViewPanelOptions value);
    TkqRecordViewControlOptions ControlOptions() const { return FControlOptions; }
    void SetControlOptions(TkqRecordViewControlOptions value);
    QStringList Selected() const { return FSelected; }
    void SetSelected(const QStringList& lines) { FSelected = lines; }
    QStringList ControlType() const { return FControlType; }
    void SetControlType(const QStringList& lines) { FControlType = lines; }
    bool ControlInfoInDataset = true;
    QStringList PictureMasks() const { return FPictureMasks; }
    void SetPictureMasks(const QStringList& lines) { FPictureMasks = lines; }
    bool PictureMaskFromDataSet = true;
    TkqEditFrame* EditFrame() const { return FEditFrame; }
    TkqEditSpacing* EditSpacing() const { return FEditSpacing; }
    TkqMargin* Margin() const { return FMargin; }
    QFont LabelFont() const { return FLabelFont; }
    void SetLabelFont(const QFont& font);
    TColor ReadOnlyColor() const { return FReadOnlyColor; }
    void SetReadOnlyColor(TColor color) { FReadOnlyColor = color; }
    int LinesPerMemoControl() const { return FLinesPerMemoControl; }
    // Values below 1 are refused.
    void SetLinesPerMemoControl(int value);

    TkqRecordOnBeforeCreateControl OnBeforeCreateControl;
    TkqRecordOnAfterCreateControl OnAfterCreateControl;
    TkqRecordSetControlEffects OnSetControlEffects;

    // The widget the labels and editors sit on (the scrolled area).
    QWidget* Content() const { return FContent; }
    // The editor placed for a field, found by its DataField (none when the field is not shown);
    // its label.
    QWidget* EditorOf(const QString& fieldName) const;
    QLabel* LabelOf(const QString& fieldName) const;
    // Controls lent by the program that the panel shows now.
    int BorrowedCount() const { return int(FBorrowed.size()); }

    virtual bool IsPlainEdit(const QWidget* control) const;
    virtual void DoBeforeCreateControl(QObject* sender, TField* field, bool& accept);
    virtual void ApplyControlEffects(QObject* sender, TField* field, QWidget* control);
    // A full build of the controls.
    virtual void Rebuild() { BuildControls(true); }
    // Full: the controls are made anew; otherwise the existing ones are moved and sized. False
    // while a build is under way.
    virtual bool BuildControls(bool full);
    // The data link's ActiveChanged: unbinds the editors and builds anew once the dataset's
    // event has finished.
    void RequestRebuild();
    // Gives the borrowed controls back; the panel's own controls are freed, or only unbound.
    void ReleaseControls(bool free);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class TkqRecordViewDataLink;
    struct TLayout;
    bool StartLayout(bool& full);
    TLayout NewLayout(bool full) const;
    QWidget* ExistingEditor(const TField* field, kqrecview::TEditorKind& kind) const;
    bool EditorFor(bool full, TField* field, const QList<const QObject*>& owners, bool editFrame,
                   kqrecview::TEditorChoice& choice, QWidget*& editor);
    void LayoutVertical(bool full);
    void LayoutHorizontal(bool full);
    // Places an editor of the record view's own making; false when it could not be bound.
    bool PlaceEditor(TLayout& l, QWidget* editor, TField* field, bool readOnly, int left, int top, int width, bool full);
    // Places a control borrowed from the form, tied to its label; answers its height.
    int PlaceBorrowed(TLayout& l, QWidget* control, QLabel* label, TField* field, int left, int top, int width,
                      bool full);
    QWidget* BorrowControl(TLayout& l, QWidget* control, TField* field, bool full);
    void SaveCustomControl(QWidget* control);
    void ApplyPositions();
    void ShowChildren();
    int ReadOnlyColorValue() const { return int(FReadOnlyColor); }
    void SetReadOnlyColorValue(int v) { FReadOnlyColor = TColor(v); }
    void OwnedControlGone(QObject* control);

    std::unique_ptr<TkqRecordViewDataLink> FDataLink;
    QWidget* FContent;
    TkqRecordViewPanelStyle FStyle = rvpsVertical;
    TkqRecordViewPanelOptions FOptions{rvopUseCustomControls, rvopShortenEditBox, rvopMaximizeMemoWidth,
                                       rvopUseDateTimePicker};
    TkqRecordViewControlOptions FControlOptions;
    QStringList FSelected;
    QStringList FControlType;
    QStringList FPictureMasks;
    TkqEditFrame* FEditFrame;
    TkqEditSpacing* FEditSpacing;
    TkqMargin* FMargin;
    QFont FLabelFont;
    TColor FReadOnlyColor = clInactiveCaptionText;
    int FLinesPerMemoControl = 2;
    int FEditLeft = 0;
    QPointer<QLabel> FCurrentLabel;
    bool FBuilding = false;
    bool FRebuildPending = false;
    bool FResizePosted = false;
    std::vector<std::unique_ptr<TkqCustomControlItem>> FBorrowed;
    std::vector<TControlPosition> FPositions;
};

// --- The dialog --------------------------------------------------------------------------------

enum TkqRecordViewStyle { rvsVertical, rvsHorizontal };
enum TkqRecordViewOption {
    rvoHideReadOnly, rvoHideCalculated, rvoHideNavigator, rvoUseCustomControls, rvoShortenEditBox, rvoModalForm,
    rvoStayOnTopForm, rvoConsistentEditWidth, rvoEnterToTab, rvoConfirmCancel, rvoCloseIsCancel,
    rvoMaximizeMemoWidth, rvoSetControlMinWidth, rvoUseDateTimePicker, rvoLabelsBeneathControl
};
using TkqRecordViewOptions = TkqSet<TkqRecordViewOption>;
enum TkqRecordViewOKCancelOption { rvokShowOKCancel, rvokAutoPostRec, rvokAutoCancelRec };
using TkqRecordViewOKCancelOptions = TkqSet<TkqRecordViewOKCancelOption>;

class TkqRecordViewForm;
using TkqOnBeforeCreateControlEvent = std::function<void(TkqRecordViewForm* form, TField* curField, bool& accept)>;
using TkqOnAfterCreateControlEvent = std::function<void(TkqRecordViewForm* form, TField* curField, QWidget* control)>;
using TkqOnSetControlEffectsEvent = std::function<void(TkqRecordViewForm* form, TField* curField, QWidget* control,
                                                       TkqEditFrame* frame, TkqButtonEffects* buttonEffects)>;
using TkqOnInitFormEvent = std::function<void(TkqRecordViewForm* form)>;
using TkqCancelEvent = std::function<void(QWidget* form, bool& canClose)>;


// The dialog's window: navigator on top, the record in a scroll box, OK and Cancel below.
class TkqRecordViewForm : public QDialog {
    Q_OBJECT
public:
    enum TCloseReason { crOther, crOK, crCancel };
    explicit TkqRecordViewForm(TkqRecordViewDialog* dialog);
    ~TkqRecordViewForm() override;

    TkqRecordViewDialog* Dialog() const { return FDialog; }
    QFrame* TopPanel = nullptr;
    QFrame* RecordPanel = nullptr;
    QFrame* UserPanel = nullptr;
    QScrollArea* ScrollBox = nullptr;
    QWidget* Content = nullptr;
    QAbstractButton* OKBtn = nullptr;
    QAbstractButton* CancelBtn = nullptr;
    TkqDBNavigator* Navigator = nullptr;
    bool Topmost = false;

    // The editor placed for a field; its label.
    QWidget* EditorOf(const QString& fieldName) const;
    QLabel* LabelOf(const QString& fieldName) const;
    // The window's result as the old modal result: 1 OK, 2 Cancel, 0 none yet.
    int ModalResult = 0;
    TCloseReason CloseReason = crOther;
    // Closes with the result, through the close query.
    void CloseWith(int modalResult, TCloseReason reason);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override;
    void done(int result) override;

private:
    friend class TkqRecordViewDialog;
    // The keys the window sees before its controls; true when consumed.
    bool PreviewKey(QWidget* active, QKeyEvent* event);
    TkqRecordViewDialog* FDialog;
    bool FClosing = false;
};

class TkqRecordViewDialog : public TkqCustomDialog {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(QStringList Selected MEMBER Selected)
    Q_PROPERTY(QStringList ControlType MEMBER ControlType)
    Q_PROPERTY(bool ControlInfoInDataset MEMBER ControlInfoInDataset)
    Q_PROPERTY(QStringList PictureMasks MEMBER PictureMasks)
    Q_PROPERTY(bool PictureMaskFromDataSet MEMBER PictureMaskFromDataSet)
    Q_PROPERTY(TkqEditFrame* EditFrame READ EditFrame)
    Q_PROPERTY(TkqEditSpacing* EditSpacing READ EditSpacing)
    Q_PROPERTY(TkqMargin* Margin READ Margin)
    Q_PROPERTY(TkqFormPosition* FormPosition MEMBER FormPosition)
    Q_PROPERTY(int LinesPerMemoControl MEMBER LinesPerMemoControl)
    Q_PROPERTY(bool NavigatorFlat MEMBER NavigatorFlat)

public:
    Q_INVOKABLE explicit TkqRecordViewDialog(QObject* owner = nullptr);
    ~TkqRecordViewDialog() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    QString Caption = QStringLiteral("Record View");
    TkqRecordViewStyle Style = rvsVertical;
    TkqRecordViewOptions Options{rvoUseCustomControls, rvoShortenEditBox, rvoModalForm, rvoConfirmCancel,
                                 rvoCloseIsCancel, rvoMaximizeMemoWidth, rvoUseDateTimePicker};
    TkqRecordViewControlOptions ControlOptions;
    TkqRecordViewOKCancelOptions OKCancelOptions{rvokShowOKCancel, rvokAutoPostRec, rvokAutoCancelRec};
    QFont Font;
    QFont LabelFont;
    TFormBorderStyle BorderStyle = bsSizeable;
    // A value below 1 lets the dialog compute that value.
    TkqFormPosition* FormPosition;
    TColor ReadOnlyColor = clInactiveCaptionText;
    int LinesPerMemoControl = 2;
    QStringList Selected;
    QStringList ControlType;
    bool ControlInfoInDataset = true;
    QStringList PictureMasks;
    bool PictureMaskFromDataSet = true;
    TkqEditFrame* EditFrame() const { return FEditFrame; }
    TkqEditSpacing* EditSpacing() const { return FEditSpacing; }
    TkqMargin* Margin() const { return FMargin; }
    // A menu bar shown on the window when it has items.
    QMenuBar* Menu() const { return FMenu; }
    void SetMenu(QMenuBar* menu) { FMenu = menu; }
    // A navigator of the program's own, lent to the window instead of a new one; hidden until then.
    TkqDBNavigator* Navigator() const { return FNavigator; }
    void SetNavigator(TkqDBNavigator* navigator);
    // Visible buttons of a navigator the dialog creates.
    TkqNavButtonNavStylesEx NavigatorButtons;
    bool NavigatorFlat = true;

    TkqOnBeforeCreateControlEvent OnBeforeCreateControl;
    TkqOnAfterCreateControlEvent OnAfterCreateControl;
    TkqOnSetControlEffectsEvent OnSetControlEffects;
    TkqOnInitFormEvent OnInitDialog;
    TkqOnInitFormEvent OnCloseDialog;
    TkqOnInitFormEvent OnResizeDialog;
    TkqCancelEvent OnCancelWarning;

    // Modal: true when closed with OK. Modeless: true once shown (false when already open).
    bool Execute() override;
    TDataSet* GetPrimaryDataSet() const override;
    // The window while it exists.
    TkqRecordViewForm* Form() const { return FForm; }

    virtual bool IsPlainEdit(const QWidget* control) const;
    virtual void DoBeforeCreateControl(TkqRecordViewForm* form, TField* field, bool& accept);
    virtual void ApplyControlEffects(TkqRecordViewForm* form, TField* field, QWidget* control);
    virtual void DoSetControlEffects(TkqRecordViewForm* form, TField* field, QWidget* control, TkqEditFrame* frame,
                                     TkqButtonEffects* buttonEffects);
    virtual void DoInitDialog(TkqRecordViewForm* form);
    virtual void DoCloseDialog(TkqRecordViewForm* form);
    virtual void DoCancelWarning(bool& canClose);
    virtual void OKButtonClick();
    virtual void CancelButtonClick();

    // The editors placed and their labels, in step.
    const QList<QPointer<QWidget>>& Editors() const { return FEditors; }
    const QList<QPointer<QLabel>>& Labels() const { return FLabels; }

private:
    friend class TkqRecordViewForm;
    struct TLayout;
    void BuildForm();
    void LayoutRecord(TLayout& l);
    void FormShow();
    void FormResize();
    // The close query; false keeps the window open.
    bool ConfirmClose();
    void FinishClose();
    void ReturnBorrowed();
    bool AnyEditorModified() const;

    std::unique_ptr<TDataLink> FDataLink;
    QPointer<TkqRecordViewForm> FForm;
    QPointer<TkqDBNavigator> FNavigator;
    QPointer<QWidget> FNavigatorParent;
    QPointer<QMenuBar> FMenu;
    TkqEditFrame* FEditFrame;
    TkqEditSpacing* FEditSpacing;
    TkqMargin* FMargin;
    int FEditLeft = 0;
    int FNeededHeight = 0;
    int FNeededWidth = 0;
    QList<QPointer<QWidget>> FEditors;
    QList<QPointer<QLabel>> FLabels;
    std::vector<std::unique_ptr<TkqCustomControlItem>> FBorrowed;
    QPointer<QLabel> FCurrentLabel;
};
