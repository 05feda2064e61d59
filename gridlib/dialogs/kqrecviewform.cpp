// The record view dialog and its window.

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqframe.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "gridlib/dialogs/kqrecview.h"
#include "gridlib/dialogs/kqrecviewbuild.h"
#include "gridlib/editors/kqdbdatetimepicker.h"
#include "gridlib/editors/kqdblook.h"
#include "platform/core/TypInfo.h"
#include "platform/vcl/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

using namespace kqrecview;

namespace {
int ScrollBarWidth() { return GetSystemMetrics(SM_CXVSCROLL); }
constexpr int DlgFrame = 3;   // the dialog frame's height (SM_CYDLGFRAME)
constexpr int RecordPanelBorder = 5;   // border width 4 and the lowered bevel
constexpr int ScrollBoxOffset = 6;

int TitleBarHeight()
{
    return QApplication::style() ? QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight) : 20;
}

int MemoHeight(const QFont& font, int lines) { return lines * QFontMetrics(font).height() + 8; }

int OwnHeight(const QWidget* control)
{
    const int hint = control->sizeHint().height();
    return hint > 0 ? hint : control->height();
}

bool WantsReturns(const QWidget* control)
{
    if (!control) return false;
    if (FindPublishedProperty(control, "WantReturns").isValid()) return ReadBoolProperty(control, "WantReturns", false);
    return false;
}

bool WantsTabs(const QWidget* control)
{
    if (!control) return false;
    return ReadBoolProperty(control, "WantTabs", false);
}

// The editor a focused widget belongs to (the widget itself, or the editor it sits in).
QWidget* EditorOwning(QWidget* widget, QWidget* content)
{
    while (widget && widget->parentWidget() != content) widget = widget->parentWidget();
    return widget;
}
} // namespace

// --- The window ---------------------------------------------------------------------------------

TkqRecordViewForm::TkqRecordViewForm(TkqRecordViewDialog* dialog) : QDialog(nullptr), FDialog(dialog)
{
    setObjectName(QStringLiteral("TkqRecordViewForm"));
    resize(342, 362);
    QFont designed(QStringLiteral("MS Sans Serif"));
    designed.setPixelSize(11);
    setFont(designed);
}

TkqRecordViewForm::~TkqRecordViewForm()
{
    qApp->removeEventFilter(this);
    if (FDialog && FDialog->FForm == this) {
        FDialog->ReturnBorrowed();
        FDialog->FForm = nullptr;
    }
}

QWidget* TkqRecordViewForm::EditorOf(const QString& fieldName) const
{
    for (const QPointer<QWidget>& editor : FDialog->Editors())
        if (editor && GetControlDataField(editor).compare(fieldName, Qt::CaseInsensitive) == 0) return editor;
    return nullptr;
}

QLabel* TkqRecordViewForm::LabelOf(const QString& fieldName) const
{
    const auto& editors = FDialog->Editors();
    for (int i = 0; i < editors.size(); ++i)
        if (editors[i] && GetControlDataField(editors[i]).compare(fieldName, Qt::CaseInsensitive) == 0)
            return i < FDialog->Labels().size() ? FDialog->Labels()[i].data() : nullptr;
    return nullptr;
}

void TkqRecordViewForm::CloseWith(int modalResult, TCloseReason reason)
{
    ModalResult = modalResult;
    CloseReason = reason;
    close();
}

void TkqRecordViewForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The window sees the keys of its controls first while it is shown.
    qApp->installEventFilter(this);
    FDialog->FormShow();
}

void TkqRecordViewForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    FDialog->FormResize();
}

void TkqRecordViewForm::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
}

void TkqRecordViewForm::closeEvent(QCloseEvent* event)
{
    if (FClosing) {
        event->accept();
        return;
    }
    if (!FDialog->ConfirmClose()) {
        CloseReason = crOther;
        event->ignore();
        return;
    }
    try {
        FDialog->FinishClose();
    } catch (const std::exception& e) {
        CloseReason = crOther;
        event->ignore();
        ApplicationShowException(e);
        return;
    }
    event->accept();
    qApp->removeEventFilter(this);
    FClosing = true;
    QDialog::done(ModalResult == mrOk ? Accepted : Rejected);
    FClosing = false;
}

void TkqRecordViewForm::reject() { CloseWith(ModalResult == mrOk ? mrOk : mrCancel, crCancel); }

void TkqRecordViewForm::done(int result)
{
    if (FClosing) {
        QDialog::done(result);
        return;
    }
    CloseWith(result == Accepted ? mrOk : mrCancel, result == Accepted ? crOK : crCancel);
}

bool TkqRecordViewForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && watched != this)
        return PreviewKey(static_cast<QWidget*>(watched), static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool TkqRecordViewForm::PreviewKey(QWidget* active, QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & Qt::AltModifier) return false;
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const TkqRecordViewOptions& options = FDialog->Options;
    if (enter && (mods & Qt::ControlModifier) && isModal() && !options.Contains(rvoEnterToTab)) {
        CloseWith(mrOk, crOther);
        return true;
    }
    if (key == Qt::Key_Escape) {
        // A changed editor takes Escape to undo its change; otherwise the window cancels.
        QWidget* editor = EditorOwning(active, Content);
        if (editor && EditorModified(editor)) return false;
        CloseWith(mrCancel, crCancel);
        return true;
    }
    const bool shift = mods & Qt::ShiftModifier;
    if ((enter && options.Contains(rvoEnterToTab) && !WantsReturns(active)) ||
        ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !WantsTabs(active))) {
        focusNextPrevChild(!(shift || key == Qt::Key_Backtab));
        return true;
    }
    return false;
}

void TkqRecordViewForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !(event->modifiers() & Qt::AltModifier)) {
        // The active control had the key first and left it: the window takes it.
        event->accept();
        QWidget* editor = EditorOwning(QApplication::focusWidget(), Content);
        if (!editor || !EditorModified(editor)) CloseWith(mrCancel, crCancel);
        return;
    }
    QDialog::keyPressEvent(event);
}

// --- The dialog ---------------------------------------------------------------------------------

struct TkqRecordViewDialog::TLayout {
    TkqRecordViewForm* Form = nullptr;
    QWidget* Content = nullptr;
    TDataSet* DataSet = nullptr;
    int CharWidth = 0;
    int EditLeft = 0;
    int Available = 0;
    int Widest = 0;
    int WidestRow = 0;
    int Y = 0;
    int LastHeight = 0;
    int WindowWidth = 0;
};

TkqRecordViewDialog::TkqRecordViewDialog(QObject* owner)
    : TkqCustomDialog(owner), FDataLink(std::make_unique<TDataLink>()), FEditFrame(new TkqEditFrame(this)),
      FEditSpacing(new TkqEditSpacing(this)), FMargin(new TkqMargin(this))
{
    FormPosition = new TkqFormPosition(this);
    QFont designed(QStringLiteral("MS Sans Serif"));
    designed.setPixelSize(11);
    Font = designed;
    LabelFont = designed;
    for (int s = nbsFirst; s <= nbsRestoreBookmark; ++s) NavigatorButtons.Include(TkqNavButtonStyle(s));
}

TkqRecordViewDialog::~TkqRecordViewDialog()
{
    if (FForm) {
        FForm->FDialog = this;
        ReturnBorrowed();
        delete FForm.data();
    }
    FDataLink->SetDataSource(nullptr);
}

TDataSource* TkqRecordViewDialog::DataSource() const { return FDataLink->DataSource(); }

void TkqRecordViewDialog::SetDataSource(TDataSource* source) { FDataLink->SetDataSource(source); }

TDataSet* TkqRecordViewDialog::GetPrimaryDataSet() const
{
    return DataSource() ? DataSource()->DataSet() : nullptr;
}

void TkqRecordViewDialog::SetNavigator(TkqDBNavigator* navigator)
{
    FNavigator = navigator;
    if (navigator) navigator->hide();
}

bool TkqRecordViewDialog::IsPlainEdit(const QWidget* control) const
{
    return qobject_cast<const TkqDBEdit*>(control) || qobject_cast<const TkqDBDateTimePicker*>(control);
}

void TkqRecordViewDialog::DoBeforeCreateControl(TkqRecordViewForm* form, TField* field, bool& accept)
{
    if (OnBeforeCreateControl) OnBeforeCreateControl(form, field, accept);
}

void TkqRecordViewDialog::DoSetControlEffects(TkqRecordViewForm* form, TField* field, QWidget* control,
                                              TkqEditFrame* frame, TkqButtonEffects* buttonEffects)
{
    if (OnSetControlEffects) OnSetControlEffects(form, field, control, frame, buttonEffects);
}

void TkqRecordViewDialog::ApplyControlEffects(TkqRecordViewForm* form, TField* field, QWidget* control)
{
    TkqButtonEffects* effects = GetControlButtonEffects(control);
    if (effects) {
        effects->SetTransparent(ControlOptions.Contains(rvcTransparentButtons));
        effects->SetFlat(ControlOptions.Contains(rvcFlatButtons));
    }
    if (TkqEditFrame* frame = GetControlFrame(control)) {
        frame->Assign(*FEditFrame);
        DoSetControlEffects(form, field, control, frame, effects);
    }
    if (OnAfterCreateControl) OnAfterCreateControl(form, field, control);
    if (!qobject_cast<QLabel*>(control)) {
        FEditors.append(control);
        FLabels.append(FCurrentLabel);
    }
}

void TkqRecordViewDialog::DoInitDialog(TkqRecordViewForm* form)
{
    if (OnInitDialog) OnInitDialog(form);
}

void TkqRecordViewDialog::DoCloseDialog(TkqRecordViewForm* form)
{
    if (OnCloseDialog) OnCloseDialog(form);
}

void TkqRecordViewDialog::DoCancelWarning(bool& canClose)
{
    if (OnCancelWarning) OnCancelWarning(FForm, canClose);
}

void TkqRecordViewDialog::OKButtonClick()
{
    if (FForm) FForm->CloseWith(mrOk, TkqRecordViewForm::crOK);
}

void TkqRecordViewDialog::CancelButtonClick()
{
    if (FForm) FForm->CloseWith(mrCancel, TkqRecordViewForm::crCancel);
}

bool TkqRecordViewDialog::Execute()
{
    TDataSet* ds = GetPrimaryDataSet();
    if (!ds) {
        MessageDlg(QStringLiteral("DataSource or DataSource.DataSet not defined."), mtWarning, {mbOK});
        return false;
    }
    if (!ds->Active()) {
        MessageDlg(QStringLiteral("DataSet must be active."), mtWarning, {mbOK});
        return false;
    }
    if (FForm) {
        FForm->CloseReason = TkqRecordViewForm::crOther;
        FForm->show();
        FForm->raise();
        FForm->activateWindow();
        return false;
    }
    BuildForm();
    TkqRecordViewForm* form = FForm;
    form->CloseReason = TkqRecordViewForm::crOther;
    if (Options.Contains(rvoModalForm)) {
        form->exec();
        const bool result = form->ModalResult == mrOk;
        if (FNavigator) {
            FNavigator->hide();
            FNavigator->setParent(FNavigatorParent);
        }
        delete form;
        return result;
    }
    form->ModalResult = mrCancel;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    return true;
}

void TkqRecordViewDialog::BuildForm()
{
    auto* form = new TkqRecordViewForm(this);
    FForm = form;
    form->setWindowTitle(Caption);
    form->setFont(Font);
    form->setSizeGripEnabled(BorderStyle == bsSizeable || BorderStyle == bsSizeToolWin);
    if (Options.Contains(rvoStayOnTopForm)) form->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    FEditors.clear();
    FLabels.clear();
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (FMenu && !FMenu->actions().isEmpty()) layout->setMenuBar(FMenu);

    int navWidth = 0;
    if (!Options.Contains(rvoHideNavigator)) {
        form->TopPanel = new QFrame(form);
        form->TopPanel->setObjectName(QStringLiteral("TopPanel"));
        TkqDBNavigator* nav = FNavigator;
        if (nav) {
            FNavigatorParent = nav->parentWidget();
        } else {
            nav = new TkqDBNavigator(form->TopPanel);
            nav->SetAutosizeStyle(asNone);
            nav->SetShowHint(true);
            nav->SetFlat(NavigatorFlat);
            nav->SetVisibleButtons(NavigatorButtons);
        }
        nav->setParent(form->TopPanel);
        nav->SetDataSource(DataSource());
        navWidth = nav->GetButtonsWidth();
        const bool flat = nav->Flat();
        nav->setGeometry(8, flat ? 1 : 8, navWidth, 25);
        nav->show();
        form->TopPanel->setFixedHeight(flat ? 25 + 2 : 41);
        form->Navigator = nav;
        layout->addWidget(form->TopPanel);
    }

    form->RecordPanel = new QFrame(form);
    form->RecordPanel->setObjectName(QStringLiteral("RecordPanel"));
    form->RecordPanel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* recordLayout = new QVBoxLayout(form->RecordPanel);
    recordLayout->setContentsMargins(RecordPanelBorder, RecordPanelBorder, RecordPanelBorder, RecordPanelBorder);
    form->ScrollBox = new QScrollArea(form->RecordPanel);
    form->ScrollBox->setFrameShape(QFrame::NoFrame);
    form->ScrollBox->setWidgetResizable(false);
    form->Content = new QWidget;
    form->Content->setObjectName(QStringLiteral("RecordViewContent"));
    form->ScrollBox->setWidget(form->Content);
    recordLayout->addWidget(form->ScrollBox);
    layout->addWidget(form->RecordPanel, 1);

    int userHeight = 0;
    if (OKCancelOptions.Contains(rvokShowOKCancel)) {
        form->UserPanel = new QFrame(form);
        form->UserPanel->setObjectName(QStringLiteral("UserPanel"));
        form->OKBtn = CreateDialogButton(form->UserPanel, 1);
        form->CancelBtn = CreateDialogButton(form->UserPanel, 2);
        userHeight = 2 * DlgFrame + form->OKBtn->height() + 10;
        form->UserPanel->setFixedHeight(userHeight);
        for (QAbstractButton* b : {form->OKBtn, form->CancelBtn}) {
            b->move(b->x(), DlgFrame + 5);
            b->setFocusPolicy(Qt::ClickFocus);
            b->show();
        }
        if (auto* ok = qobject_cast<QPushButton*>(form->OKBtn)) ok->setDefault(!Options.Contains(rvoEnterToTab));
        QObject::connect(form->OKBtn, &QAbstractButton::clicked, this, [this] { OKButtonClick(); });
        QObject::connect(form->CancelBtn, &QAbstractButton::clicked, this, [this] { CancelButtonClick(); });
        layout->addWidget(form->UserPanel);
    }

    // The window's width first (the editors' available width follows from it), then the record.
    TLayout l;
    l.Form = form;
    l.Content = form->Content;
    l.DataSet = GetPrimaryDataSet();
    l.CharWidth = QFontMetrics(Font).horizontalAdvance(QLatin1Char('0'));
    const TRect area = GetDesktopWorkArea();
    const std::vector<TEntry> entries = RecordEntries(l.DataSet, Selected);
    const bool hideRO = Options.Contains(rvoHideReadOnly), hideCalc = Options.Contains(rvoHideCalculated);
    int labelWidth = 0, widestPlain = 0;
    for (const TEntry& e : entries) {
        if (!AcceptsEntry(e, hideRO, hideCalc)) continue;
        labelWidth = std::max(labelWidth, TextWidth(LabelFont, LabelText(e.Title)));
        widestPlain = std::max(widestPlain, PlainEditWidth(l.CharWidth, e.DisplayWidth));
    }
    const int inset = RecordPanelBorder + ScrollBoxOffset;
    l.EditLeft = Style == rvsVertical ? FMargin->LeftOffset + labelWidth + FEditSpacing->VerticalView()->BetweenLabelEdit
                                      : FMargin->LeftOffset;
    FEditLeft = l.EditLeft;
    int w = FormPosition->Width >= 1 ? FormPosition->Width : inset + l.EditLeft + widestPlain + FMargin->RightOffset + 14;
    if (Style == rvsHorizontal && FormPosition->Width < 1) w = std::max(w, 400);
    w = std::max(w, navWidth + FMargin->RightOffset + 14);
    w = std::min(w, RectWidth(area) - FMargin->RightOffset - 14);
    l.WindowWidth = w;
    l.Available = Style == rvsVertical ? w - l.EditLeft - FMargin->RightOffset - 20
                                       : w - ScrollBoxOffset - l.EditLeft - FMargin->RightOffset - 20;
    LayoutRecord(l);

    for (const QPointer<QWidget>& editor : FEditors)
        if (editor) ClearEditorModified(editor);

    // The height the record needs, within the work area; the width likewise.
    const int topHeight = form->TopPanel ? form->TopPanel->height() : 0;
    const int menuHeight = FMenu && !FMenu->actions().isEmpty() ? FMenu->sizeHint().height() : 0;
    FNeededHeight = topHeight + menuHeight + 2 * RecordPanelBorder + l.Y + userHeight + 21 - TitleBarHeight() / 2;
    int height = FNeededHeight;
    if (FormPosition->Height >= 1 && FormPosition->Height < height) height = FormPosition->Height;
    const int maxHeight = RectHeight(area) - 12 - TitleBarHeight();
    const bool cut = height > maxHeight;
    if (cut) height = maxHeight;
    const int recordHeight = height - topHeight - menuHeight - userHeight;
    if (recordHeight - 12 < l.Y) w += ScrollBarWidth();
    FNeededWidth = inset + l.EditLeft + (Style == rvsVertical ? l.Widest : l.WidestRow) + FMargin->RightOffset + 14;
    w = std::min(w, RectWidth(area));
    if (w < FNeededWidth) height += ScrollBarWidth();
    else if (Style == rvsHorizontal) w = FNeededWidth + (recordHeight - 12 < l.Y ? ScrollBarWidth() : 0);
    int hRange = Style == rvsVertical && Options.Contains(rvoConsistentEditWidth) ? l.Widest
                                                                                   : l.EditLeft + l.Widest + FMargin->RightOffset;
    if (cut) hRange -= ScrollBarWidth();
    form->Content->resize(std::max(hRange, 1), std::max(l.Y, 1));
    form->resize(w, height);

    const int left = FormPosition->Left >= 1 ? FormPosition->Left : area.Left + (RectWidth(area) - w) / 2;
    const int top = FormPosition->Top >= 1 ? FormPosition->Top : area.Top + (RectHeight(area) - height) / 2;
    form->move(left, top);
    FormResize();
}

void TkqRecordViewDialog::LayoutRecord(TLayout& l)
{
    const bool vertical = Style == rvsVertical;
    TkqVertEditSpacing* vs = FEditSpacing->VerticalView();
    TkqHorzEditSpacing* hs = FEditSpacing->HorizontalView();
    const std::vector<TEntry> entries = RecordEntries(l.DataSet, Selected);
    const bool hideRO = Options.Contains(rvoHideReadOnly), hideCalc = Options.Contains(rvoHideCalculated);
    const bool shorten = Options.Contains(rvoShortenEditBox), raise = Options.Contains(rvoConsistentEditWidth);
    const bool minWidth = Options.Contains(rvoSetControlMinWidth), maximize = Options.Contains(rvoMaximizeMemoWidth);
    int labelWidth = 0;
    for (const TEntry& e : entries)
        if (AcceptsEntry(e, hideRO, hideCalc)) labelWidth = std::max(labelWidth, TextWidth(LabelFont, LabelText(e.Title)));
    const QList<const QObject*> owners{FindOwnerFormOrFrame(this)};
    const int labelHeight = QFontMetrics(LabelFont).height();
    QObject* maskOwner = ChoosePictureMaskOwner(this, l.DataSet);
    int x = 0, y = FMargin->TopOffset, rowTallest = 0, rowLabel = 0;
    const auto newRow = [&] {
        y += hs->BetweenLabelEdit + hs->BetweenRow + rowTallest + rowLabel;
        l.WidestRow = std::max(l.WidestRow, x);
        x = 0;
        rowTallest = 0;
    };
    const auto fit = [&](int w) {
        if (shorten && w > l.Available) w = l.Available;
        if (raise && w < l.Available) w = l.Available;
        return w;
    };

    for (const TEntry& e : entries) {
        if (!e.Field) {
            if (!vertical && x > 0) newRow();
            continue;
        }
        if (!AcceptsEntry(e, hideRO, hideCalc)) continue;
        TField* field = e.Field;
        bool accept = true;
        DoBeforeCreateControl(l.Form, field, accept);
        if (!accept) continue;
        const TEditorChoice choice = ChooseEditor(this, owners, field, Options.Contains(rvoUseCustomControls),
                                                  Options.Contains(rvoUseDateTimePicker), FEditFrame->IsInEffect());
        const QString caption = LabelText(e.Title);
        const int t = TextWidth(LabelFont, caption);
        QWidget* editor = nullptr;
        if (choice.Kind == ekBorrowed) editor = choice.Borrowed;
        else if (choice.Kind != ekCheckBox) editor = CreateEditor(choice.Kind, l.Content);
        const bool plain = editor && IsPlainEdit(editor);
        int width = 17;
        if (choice.Kind == ekBorrowed) {
            width = IsRichEditControl(editor) && (vertical || maximize) ? l.Available
                                                                         : PlainEditWidth(l.CharWidth, e.DisplayWidth);
        } else if (choice.Kind != ekCheckBox) {
            width = plain || maximize ? PlainEditWidth(l.CharWidth, e.DisplayWidth) + EditorButtonWidth(editor)
                                      : PlainEditWidth(l.CharWidth, e.DisplayWidth);
            if (!plain && maximize) width = vertical ? l.Available : std::max(PlainEditWidth(l.CharWidth, e.DisplayWidth), l.Available);
        }
        if (!vertical && x > 0 && std::max(width, hs->LabelIndent + t) + hs->BetweenEditsInRow + x > l.Available) newRow();

        QLabel* label = CreateLabel(choice.Kind == ekCheckBox, LabelFont, caption, l.Content);
        FCurrentLabel = label;
        int left = 0, top = 0;
        if (vertical) {
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
            label->setGeometry(FMargin->LeftOffset, y + (choice.Kind == ekCheckBox ? 1 : 4), labelWidth, labelHeight);
            left = l.EditLeft;
            top = y;
        } else {
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setGeometry(FMargin->LeftOffset + x + hs->LabelIndent, y, t, labelHeight);
            rowLabel = labelHeight;
            left = l.EditLeft + x;
            top = y + hs->BetweenLabelEdit + rowLabel;
        }
        if (ControlOptions.Contains(rvcTransparentLabels)) label->setAutoFillBackground(false);
        ApplyControlEffects(l.Form, field, label);

        int height = 0;
        if (choice.Kind == ekCheckBox) {
            auto* box = CreateCheckBox(l.Content, label, choice, DataSource(), field, e.ReadOnly, false);
            if (!box) continue;
            editor = box;
            height = std::max(OwnHeight(box), 17);
            if (!vertical) height = std::max(height, rowTallest);
            box->setGeometry(left, top, 17, height);
            ApplyControlEffects(l.Form, field, box);
        } else if (choice.Kind == ekBorrowed) {
            FBorrowed.push_back(SaveControlItem(editor));
            editor->setParent(l.Content);
            if (!BindControl(editor, DataSource(), field->FieldName())) continue;
            label->setBuddy(editor);
            PrepareBorrowedControl(editor);
            // A lent lookup combo on a stored key field shows the lookup text of this record.
            if (auto* lookup = qobject_cast<TkqDBCustomLookupCombo*>(editor);
                lookup && !field->Calculated() && !field->Lookup())
                lookup->RefreshDisplayText();
            width = fit(width);
            if (minWidth && width < t) width = t + 1;
            height = editor->height();
            editor->setGeometry(left, top, width, height);
            editor->show();
            ApplyControlEffects(l.Form, field, editor);
            height = editor->height();
        } else {
            if (auto* edit = qobject_cast<TkqDBCustomEdit*>(editor)) {
                const TkqPictureMaskEntry mask = FindPictureMask(maskOwner, field->FieldName(), true);
                edit->Picture()->SetPictureMaskFromDataSet(false);
                edit->Picture()->SetPictureMask(mask.Mask);
                edit->Picture()->SetAutoFill(mask.AutoFill);
                edit->Picture()->SetAllowInvalidExit(false);
            }
            label->setBuddy(editor);
            if (!BindControl(editor, DataSource(), field->FieldName())) {
                delete editor;
                continue;
            }
            if (e.ReadOnly || field->Calculated()) {
                SetEditorColor(editor, ReadOnlyColor);
                SetTabStop(editor, false);
            }
            if (auto* edit = qobject_cast<TkqDBEdit*>(editor); edit && field->DataType() == ftString)
                edit->SetMaxLength(field->Size());
            if (e.ReadOnly) editor->setEnabled(false);
            if (Options.Contains(rvoEnterToTab))
                if (auto* memo = qobject_cast<TDBMemo*>(editor)) memo->SetWantReturns(false);
            if (!vertical && !plain && maximize && x > 0) {
                newRow();
                label->move(FMargin->LeftOffset + hs->LabelIndent, y);
                top = y + hs->BetweenLabelEdit + rowLabel;
                left = l.EditLeft;
            }
            width = fit(width);
            if (!vertical && minWidth && width < t) width = t + 1;
            height = plain ? OwnHeight(editor) : MemoHeight(Font, LinesPerMemoControl);
            editor->setGeometry(left, top, width, height);
            ApplyControlEffects(l.Form, field, editor);
            editor->resize(fit(editor->width()), editor->height());
            if (!vertical) x = left - l.EditLeft;
        }
        l.Widest = std::max(l.Widest, editor->width());
        if (vertical) {
            y += height + vs->BetweenRow;
            l.LastHeight = height;
        } else {
            x += std::max(editor->width(), t + hs->LabelIndent) + hs->BetweenEditsInRow;
            rowTallest = std::max(rowTallest, height);
            l.LastHeight = rowTallest;
        }
    }
    FCurrentLabel = nullptr;
    if (vertical) {
        y += FMargin->BottomOffset - vs->BetweenRow;
        l.Form->ScrollBox->verticalScrollBar()->setSingleStep(std::max(1, vs->BetweenRow + l.LastHeight));
    } else {
        l.WidestRow = std::max(l.WidestRow, x);
        y += hs->BetweenLabelEdit + rowTallest + rowLabel + FMargin->BottomOffset;
        l.Form->ScrollBox->verticalScrollBar()->setSingleStep(std::max(1, rowTallest + hs->BetweenRow));
    }
    l.Y = y;
    for (QObject* child : l.Content->children())
        if (auto* w = qobject_cast<QWidget*>(child)) w->show();
}

void TkqRecordViewDialog::FormShow()
{
    if (!FForm) return;
    if (Style == rvsHorizontal && Options.Contains(rvoLabelsBeneathControl)) {
        for (int i = 0; i < FEditors.size() && i < FLabels.size(); ++i) {
            QWidget* editor = FEditors[i];
            QLabel* label = FLabels[i];
            if (!editor || !label) continue;
            label->move(label->x(), editor->y() + editor->height() + FEditSpacing->HorizontalView()->BetweenLabelEdit - 1);
        }
    }
    DoInitDialog(FForm);
    QApplication::restoreOverrideCursor();
}

void TkqRecordViewDialog::FormResize()
{
    TkqRecordViewForm* form = FForm;
    if (!form || !form->Content) return;
    if (Style == rvsVertical && Options.Contains(rvoConsistentEditWidth)) {
        int w = form->width() - (FEditLeft + FMargin->RightOffset + 20);
        if (form->height() < FNeededHeight) w -= ScrollBarWidth();
        for (const QPointer<QWidget>& editor : FEditors)
            if (editor) editor->resize(std::max(w, 1), editor->height());
    }
    if (form->UserPanel && form->OKBtn && form->CancelBtn) {
        const int okWidth = form->OKBtn->width();
        int okLeft = form->width() - 2 * okWidth - 36, cancelLeft = form->width() - okWidth - 23;
        if (form->width() - 10 < okWidth + form->CancelBtn->width() + 31) {
            okLeft = 5;
            cancelLeft = okWidth + 18;
        }
        form->OKBtn->move(okLeft, form->OKBtn->y());
        form->CancelBtn->move(cancelLeft, form->CancelBtn->y());
    }
    if (form->Navigator && form->TopPanel)
        form->Navigator->resize(std::max(form->TopPanel->width() - 10, 1), form->Navigator->height());
    if (OnResizeDialog) OnResizeDialog(form);
}

bool TkqRecordViewDialog::AnyEditorModified() const
{
    for (const QPointer<QWidget>& editor : FEditors)
        if (editor && EditorModified(editor)) return true;
    return false;
}

bool TkqRecordViewDialog::ConfirmClose()
{
    TkqRecordViewForm* form = FForm;
    if (!form) return true;
    switch (form->CloseReason) {
    case TkqRecordViewForm::crOK: form->ModalResult = mrOk; return true;
    case TkqRecordViewForm::crOther:
        if (!Options.Contains(rvoCloseIsCancel)) {
            form->ModalResult = mrOk;
            return true;
        }
        break;
    case TkqRecordViewForm::crCancel: break;
    }
    if (form->ModalResult == mrOk) return true;
    TDataSet* ds = GetPrimaryDataSet();
    const bool browsing = !ds || ds->State() == dsBrowse;
    if (!Options.Contains(rvoConfirmCancel) ||
        (!AnyEditorModified() && (!OKCancelOptions.Contains(rvokAutoCancelRec) || browsing))) {
        form->ModalResult = mrCancel;
        return true;
    }
    if (OnCancelWarning) {
        bool canClose = true;
        DoCancelWarning(canClose);
        if (canClose) form->ModalResult = mrCancel;
        return canClose;
    }
    switch (MessageDlg(KqIntl()->GetUserMessages()->RecordViewExitWarning, mtConfirmation, mbYesNoCancel)) {
    case mrYes: form->ModalResult = mrOk; return true;
    case mrNo: form->ModalResult = mrCancel; return true;
    default: return false;
    }
}

void TkqRecordViewDialog::FinishClose()
{
    TkqRecordViewForm* form = FForm;
    if (!form) return;
    DoCloseDialog(form);
    TDataSet* ds = GetPrimaryDataSet();
    const bool editing = ds && (ds->State() == dsEdit || ds->State() == dsInsert);
    if (OKCancelOptions.Contains(rvokAutoCancelRec) && form->ModalResult == mrCancel) {
        if (editing) ds->Cancel();
    } else {
        // The active editor's pending text reaches the field, then OK posts.
        if (editing) ds->UpdateRecord();
        if (OKCancelOptions.Contains(rvokAutoPostRec) && form->ModalResult == mrOk && ds &&
            (ds->State() == dsEdit || ds->State() == dsInsert))
            ds->Post();
    }
    if (FMenu && FMenu->parentWidget() == form) {
        FMenu->hide();
        FMenu->setParent(nullptr);
    }
    if (!Options.Contains(rvoModalForm) && FNavigator) {
        FNavigator->hide();
        FNavigator->setParent(FNavigatorParent);
    }
    ReturnBorrowed();
}

void TkqRecordViewDialog::ReturnBorrowed()
{
    for (auto& item : FBorrowed) {
        QWidget* control = item->Control;
        if (!control || control->parentWidget() != (FForm ? FForm->Content : nullptr)) continue;
        RestoreControlItem(*item, FindOwnerForm(this));
        // Back in a grid, the control is a cell editor again: flat and without a border.
        if (control->parentWidget() && IsClassOrAncestorNamed(control->parentWidget(), "TkqDBGrid")) {
            WriteProperty(control, "Ctl3D", false);
            SetControlBorderStyle(control, false);
        }
    }
    FBorrowed.clear();
    FEditors.clear();
    FLabels.clear();
}
