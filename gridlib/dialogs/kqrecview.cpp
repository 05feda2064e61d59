#include "gridlib/dialogs/kqrecview.h"

#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqframe.h"
#include "gridlib/dialogs/kqrecviewbuild.h"
#include "gridlib/editors/kqdbdatetimepicker.h"
#include "gridlib/grid/Kqmemo.h"
#include "platform/core/TypInfo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

using namespace kqrecview;

// The navigator's record view button makes its dialog by class name.
namespace {
const bool RecordViewDialogRegistered = [] {
    RegisterNavDialogClass(QStringLiteral("TkqRecordViewDialog"), &TkqRecordViewDialog::staticMetaObject,
                           [](QObject* owner) { return new TkqRecordViewDialog(owner); });
    return true;
}();
} // namespace

// --- Layout settings ----------------------------------------------------------------------------

void TkqMargin::Assign(const TkqMargin& source)
{
    LeftOffset = source.LeftOffset;
    TopOffset = source.TopOffset;
    RightOffset = source.RightOffset;
    BottomOffset = source.BottomOffset;
}

TkqEditSpacing::TkqEditSpacing(QObject* owner)
    : QObject(owner), FHorizontal(new TkqHorzEditSpacing(this)), FVertical(new TkqVertEditSpacing(this))
{
}

void TkqEditSpacing::Assign(const TkqEditSpacing& source)
{
    FVertical->BetweenLabelEdit = source.FVertical->BetweenLabelEdit;
    FVertical->BetweenRow = source.FVertical->BetweenRow;
    FHorizontal->BetweenLabelEdit = source.FHorizontal->BetweenLabelEdit;
    FHorizontal->BetweenEditsInRow = source.FHorizontal->BetweenEditsInRow;
    FHorizontal->BetweenRow = source.FHorizontal->BetweenRow;
    FHorizontal->LabelIndent = source.FHorizontal->LabelIndent;
}

// --- Small controls -----------------------------------------------------------------------------

void TkqDBCheckBox::DoEnter()
{
    TkqDBCustomCheckBox::DoEnter();
    if (FLabel) FLabel->update();
}

void TkqDBCheckBox::DoExit()
{
    TkqDBCustomCheckBox::DoExit();
    if (FLabel) FLabel->update();
}

void TkqLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!buddy() || !buddy()->hasFocus()) return;
    QPainter painter(this);
    painter.setPen(QPen(ColorToQColor(clGray), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TkqMemoDialogPopup::DoInitDialog(TkqMemoDlg* dialog)
{
    // Replaces the dialog's event: the popup's memo continues where the editor was.
    QTextCursor cursor = dialog->Memo->textCursor();
    cursor.setPosition(std::clamp(SelStart, 0, int(dialog->Memo->toPlainText().size())));
    dialog->Memo->setTextCursor(cursor);
    dialog->Memo->setFont(MemoFont);
    dialog->setWindowTitle(FieldLabel);
}

void RunRecordViewMemoPopup(QWidget* editor, TField* field, int selStart)
{
    if (!field) return;
    TkqMemoDialogPopup popup;
    popup.SetDataSource(GetControlDataSource(editor));
    popup.SetDataField(field->FieldName());
    popup.SetCaption(field->FieldName());
    TDataSet* ds = field->DataSet();
    if (field->ReadOnly() || (ds && IsClassOrAncestorNamed(ds, "TkqTable") && ds->ReadOnly()))
        popup.SetMemoAttributes(popup.MemoAttributes().Include(mViewOnly));
    popup.SelStart = selStart;
    popup.MemoFont = editor->font();
    popup.FieldLabel = field->DisplayLabel();
    popup.Execute();
}

void TkqDBMemo::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_F2 || event->modifiers() != Qt::NoModifier) {
        TDBMemo::keyPressEvent(event);
        return;
    }
    if (Modified() && DataLink().Edit()) UpdateData();
    RunRecordViewMemoPopup(this, Field(), textCursor().position());
    event->accept();
}

TkqDBEditMemo::TkqDBEditMemo(QWidget* parent) : TkqDBCustomEdit(parent)
{
    SetAutoSize(false);
    SetWantReturns(true);
    SetWordWrap(true);
    AutoSelect = false;
}

void TkqDBEditMemo::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_F2 || event->modifiers() != Qt::NoModifier) {
        TkqDBCustomEdit::keyPressEvent(event);
        return;
    }
    if (isModified()) UpdateFieldFromEdit();
    RunRecordViewMemoPopup(this, Field(), cursorPosition());
    event->accept();
}

// --- The panel ----------------------------------------------------------------------------------

namespace {
QEvent::Type RebuildEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

int ScrollBarWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

// Editor height for multi-line editors: lines of "0" plus 8.
int MemoHeight(const QFont& font, int lines) { return lines * QFontMetrics(font).height() + 8; }

int OwnHeight(const QWidget* control)
{
    const int hint = control->sizeHint().height();
    return hint > 0 ? hint : control->height();
}
} // namespace

void TkqRecordViewDataLink::ActiveChanged() { FPanel->RequestRebuild(); }

// What one layout pass works with.
struct TkqRecordViewPanel::TLayout {
    bool Full = false;
    int CharWidth = 0;
    int EditLeft = 0;     // e
    int Available = 0;    // a
    int Widest = 0;       // m
    int LastHeight = 0;
    struct TPlaced {
        QWidget* Control;
        bool Plain;
    };
    std::vector<TPlaced> Placed;
    TDataSource* Source = nullptr;
};

TkqRecordViewPanel::TkqRecordViewPanel(QWidget* parent)
    : QScrollArea(parent), FDataLink(std::make_unique<TkqRecordViewDataLink>(this)), FContent(new QWidget),
      FEditFrame(new TkqEditFrame(this)), FEditSpacing(new TkqEditSpacing(this)), FMargin(new TkqMargin(this)),
      FLabelFont(font())
{
    setObjectName(QStringLiteral("RecordViewPanel"));
    FContent->setObjectName(QStringLiteral("RecordViewContent"));
    setWidgetResizable(false);
    setWidget(FContent);
    FContent->resize(0, 0);
}

TkqRecordViewPanel::~TkqRecordViewPanel()
{
    // The lent controls go back to their forms before the panel's children die.
    for (auto& item : FBorrowed)
        if (item->Control) QObject::disconnect(item->Control, nullptr, this, nullptr);
    FDataLink->SetDataSource(nullptr);
    ReleaseControls(true);
}

void TkqRecordViewPanel::SetDataSource(TDataSource* source)
{
    if (source == DataSource()) return;
    const int before = int(FContent->children().size());
    FDataLink->SetDataSource(source);
    if (int(FContent->children().size()) == before) Rebuild();
}

void TkqRecordViewPanel::SetStyle(TkqRecordViewPanelStyle value)
{
    if (value == FStyle) return;
    FStyle = value;
    BuildControls(true);
}

void TkqRecordViewPanel::SetOptions(TkqRecordViewPanelOptions value)
{
    if (value == FOptions) return;
    FOptions = value;
    BuildControls(true);
}

void TkqRecordViewPanel::SetControlOptions(TkqRecordViewControlOptions value)
{
    if (value == FControlOptions) return;
    FControlOptions = value;
    BuildControls(true);
}

void TkqRecordViewPanel::SetLinesPerMemoControl(int value)
{
    if (value < 1 || value == FLinesPerMemoControl) return;
    FLinesPerMemoControl = value;
    BuildControls(true);
}

void TkqRecordViewPanel::SetLabelFont(const QFont& font)
{
    FLabelFont = font;
    BuildControls(false);
}

QWidget* TkqRecordViewPanel::EditorOf(const QString& fieldName) const
{
    if (fieldName.isEmpty()) return nullptr;
    for (QObject* child : FContent->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && !qobject_cast<QLabel*>(w) && GetControlDataField(w).compare(fieldName, Qt::CaseInsensitive) == 0)
            return w;
    }
    return nullptr;
}

QLabel* TkqRecordViewPanel::LabelOf(const QString& fieldName) const
{
    QWidget* editor = EditorOf(fieldName);
    if (!editor) return nullptr;
    for (QObject* child : FContent->children())
        if (auto* label = qobject_cast<QLabel*>(child); label && label->buddy() == editor) return label;
    return nullptr;
}

bool TkqRecordViewPanel::IsPlainEdit(const QWidget* control) const
{
    return qobject_cast<const TkqDBEdit*>(control) || qobject_cast<const TkqDBDateTimePicker*>(control);
}

void TkqRecordViewPanel::DoBeforeCreateControl(QObject* sender, TField* field, bool& accept)
{
    if (OnBeforeCreateControl) OnBeforeCreateControl(sender, field, accept);
}

void TkqRecordViewPanel::ApplyControlEffects(QObject* sender, TField* field, QWidget* control)
{
    TkqButtonEffects* effects = GetControlButtonEffects(control);
    if (effects) {
        effects->SetTransparent(FControlOptions.Contains(rvcTransparentButtons));
        effects->SetFlat(FControlOptions.Contains(rvcFlatButtons));
    }
    if (TkqEditFrame* frame = GetControlFrame(control)) {
        frame->Assign(*FEditFrame);
        if (OnSetControlEffects) OnSetControlEffects(sender, field, control, frame, effects);
    }
    if (OnAfterCreateControl) OnAfterCreateControl(sender, field, control);
    if (FStyle == rvpsHorizontal && FOptions.Contains(rvopLabelsBeneathControl) && !qobject_cast<QLabel*>(control) &&
        FCurrentLabel) {
        const int labelTop = FCurrentLabel->y();
        control->move(control->x(), labelTop);
        FCurrentLabel->move(FCurrentLabel->x(),
                            control->y() + control->height() + FEditSpacing->HorizontalView()->BetweenLabelEdit - 1);
    }
}

void TkqRecordViewPanel::RequestRebuild()
{
    for (QObject* child : FContent->children()) {
        if (!child->isWidgetType() || qobject_cast<QLabel*>(child)) continue;
        bool borrowed = false;
        for (auto& item : FBorrowed) borrowed = borrowed || item->Control == child;
        if (!borrowed) SetControlDataField(child, QString());
    }
    FRebuildPending = true;
    if (FResizePosted) return;
    FResizePosted = true;
    QApplication::postEvent(this, new QEvent(RebuildEventType()));
}

bool TkqRecordViewPanel::event(QEvent* event)
{
    if (event->type() == RebuildEventType()) {
        FResizePosted = false;
        if (!(testAttribute(Qt::WA_WState_ExplicitShowHide) && isHidden())) BuildControls(FRebuildPending);
        return true;
    }
    return QScrollArea::event(event);
}

void TkqRecordViewPanel::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    if (!(testAttribute(Qt::WA_WState_ExplicitShowHide) && isHidden())) BuildControls(FRebuildPending);
}

void TkqRecordViewPanel::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    if (FRebuildPending) BuildControls(true);
}

void TkqRecordViewPanel::changeEvent(QEvent* event)
{
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) BuildControls(false);
}

bool TkqRecordViewPanel::BuildControls(bool full)
{
    if (FBuilding) return false;
    FBuilding = true;
    try {
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        if (FStyle == rvpsHorizontal) LayoutHorizontal(full);
        else LayoutVertical(full);
    } catch (...) {
        FBuilding = false;
        FRebuildPending = false;
        throw;
    }
    if (full && (hasFocus() || (QApplication::focusWidget() && FContent->isAncestorOf(QApplication::focusWidget())))) {
        QPointer<QWidget> content = FContent;
        QTimer::singleShot(0, this, [content] {
            if (!content) return;
            for (QObject* child : content->children()) {
                auto* w = qobject_cast<QWidget*>(child);
                if (w && !qobject_cast<QLabel*>(w) && w->isEnabled() && w->focusPolicy() & Qt::TabFocus) {
                    w->setFocus(Qt::TabFocusReason);
                    return;
                }
            }
        });
    }
    FBuilding = false;
    FRebuildPending = false;
    return true;
}

void TkqRecordViewPanel::SaveCustomControl(QWidget* control)
{
    connect(control, &QObject::destroyed, this, [this](QObject* gone) { OwnedControlGone(gone); });
    FBorrowed.push_back(SaveControlItem(control));
}

void TkqRecordViewPanel::OwnedControlGone(QObject* control)
{
    for (auto it = FBorrowed.begin(); it != FBorrowed.end(); ++it) {
        if ((*it)->Control.data() != nullptr && (*it)->Control.data() != control) continue;
        FBorrowed.erase(it);
        FRebuildPending = true;
        return;
    }
}

void TkqRecordViewPanel::ReleaseControls(bool free)
{
    const QObjectList children = FContent->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        QObject* child = *it;
        TkqCustomControlItem* item = nullptr;
        for (auto& b : FBorrowed)
            if (b->Control == child) item = b.get();
        if (item) {
            QObject::disconnect(item->Control, &QObject::destroyed, this, nullptr);
            BindControl(item->Control, nullptr, QString());
            RestoreControlItem(*item, window());
            continue;
        }
        if (free) delete child;
        else if (child->isWidgetType()) SetControlDataField(child, QString());
    }
    FBorrowed.clear();
    FPositions.clear();
}

// The controls' bounds, now (full build) or recorded for the end of a re-layout.
namespace {
void PlaceAt(bool full, std::vector<TControlPosition>& positions, QWidget* control, int left, int top, int width,
             int height)
{
    if (full) {
        control->setGeometry(left, top, width, height);
        return;
    }
    for (TControlPosition& p : positions)
        if (p.Control == control) {
            p = {control, left, top, width, height};
            return;
        }
    positions.push_back({control, left, top, width, height});
}

TControlPosition* PositionOf(std::vector<TControlPosition>& positions, QWidget* control)
{
    for (TControlPosition& p : positions)
        if (p.Control == control) return &p;
    return nullptr;
}
} // namespace

QWidget* TkqRecordViewPanel::BorrowControl(TLayout& l, QWidget* control, TField* field, bool full)
{
    if (full) {
        SaveCustomControl(control);
        control->hide();
        control->setParent(FContent);
        if (!SetControlDataSource(control, l.Source) || !SetControlDataField(control, QString()) ||
            !SetControlDataField(control, field->FieldName())) {
            return nullptr;
        }
    }
    return control;
}

int TkqRecordViewPanel::PlaceBorrowed(TLayout& l, QWidget* control, QLabel* label, TField* field, int left, int top,
                                      int width, bool full)
{
    int height = control->height();
    PlaceAt(full, FPositions, control, left, top, width, height);
    if (full) {
        if (label) label->setBuddy(control);
        ApplyControlEffects(this, field, control);
        height = control->height();
    }
    l.Placed.push_back({control, false});
    return height;
}

bool TkqRecordViewPanel::PlaceEditor(TLayout& l, QWidget* editor, TField* field, bool readOnly, int left, int top,
                                     int width, bool full)
{
    auto* edit = qobject_cast<TkqDBCustomEdit*>(editor);
    if (full) {
        if (edit && ChoosePictureMaskOwner(this, field->DataSet()) == this) {
            const TkqPictureMaskEntry mask = FindPictureMask(this, field->FieldName());
            edit->Picture()->SetPictureMaskFromDataSet(false);
            edit->Picture()->SetPictureMask(mask.Mask);
            edit->Picture()->SetAutoFill(mask.AutoFill);
        }
        if (FCurrentLabel) FCurrentLabel->setBuddy(editor);
        editor->hide();
        editor->setParent(FContent);
        if (!BindControl(editor, l.Source, field->FieldName())) return false;
        if (readOnly || field->Calculated()) {
            SetEditorColor(editor, FReadOnlyColor);
            SetTabStop(editor, false);
        }
        if (auto* plain = qobject_cast<TkqDBEdit*>(editor); plain && field->DataType() == ftString)
            plain->SetMaxLength(field->Size());
        if (readOnly) editor->setEnabled(false);
    }
    const bool plain = IsPlainEdit(editor);
    const int height = plain ? OwnHeight(editor) : MemoHeight(font(), FLinesPerMemoControl);
    const auto fit = [&](int w) {
        if (FOptions.Contains(rvopShortenEditBox) && w > l.Available) w = l.Available;
        if (FStyle == rvpsVertical && FOptions.Contains(rvopConsistentEditWidth) && w < l.Available) w = l.Available;
        return w;
    };
    width = fit(width);
    if (full) {
        editor->setGeometry(left, top, width, height);
        ApplyControlEffects(this, field, editor);
        editor->resize(fit(editor->width()), editor->height());
    } else {
        PlaceAt(false, FPositions, editor, left, top, width, height);
    }
    l.Placed.push_back({editor, plain});
    return true;
}

// V1: a panel without controls builds in full; nothing is laid out while the dataset is closed,
// and without a data source a full build only releases the controls.
bool TkqRecordViewPanel::StartLayout(bool& full)
{
    bool ownsChildren = false;
    for (QObject* child : FContent->children()) ownsChildren = ownsChildren || child->isWidgetType();
    if (!ownsChildren) full = true;
    const TDataSet* ds = DataSource() ? DataSource()->DataSet() : nullptr;
    if (!FDataLink->Active() && ds) return false;
    if (full) ReleaseControls(true);
    if (!FDataLink->Active()) {
        FContent->resize(0, 0);
        return false;
    }
    FPositions.clear();
    return true;
}

TkqRecordViewPanel::TLayout TkqRecordViewPanel::NewLayout(bool full) const
{
    TLayout l;
    l.Full = full;
    l.Source = DataSource();
    l.CharWidth = QFontMetrics(font()).horizontalAdvance(QLatin1Char('0'));
    return l;
}

// The editor a re-layout moves for the field, and what kind it is.
QWidget* TkqRecordViewPanel::ExistingEditor(const TField* field, TEditorKind& kind) const
{
    QWidget* editor = EditorOf(field->FieldName());
    kind = qobject_cast<TkqDBCheckBox*>(editor) ? ekCheckBox : ekEdit;
    for (const auto& item : FBorrowed)
        if (editor && item->Control == editor) kind = ekBorrowed;
    return editor;
}

// The editor a layout places for the field: on a full layout a new choice, which the
// application may refuse; otherwise the editor already there. False: the field gets none.
bool TkqRecordViewPanel::EditorFor(bool full, TField* field, const QList<const QObject*>& owners, bool editFrame,
                                   TEditorChoice& choice, QWidget*& editor)
{
    if (!full) {
        editor = ExistingEditor(field, choice.Kind);
        return editor != nullptr;
    }
    bool accept = true;
    DoBeforeCreateControl(this, field, accept);
    if (!accept) return false;
    choice = ChooseEditor(this, owners, field, FOptions.Contains(rvopUseCustomControls),
                          FOptions.Contains(rvopUseDateTimePicker), editFrame);
    return true;
}

void TkqRecordViewPanel::LayoutVertical(bool full)
{
    if (!StartLayout(full)) return;
    TDataSet* ds = DataSource()->DataSet();
    TkqVertEditSpacing* sp = FEditSpacing->VerticalView();
    TLayout l = NewLayout(full);
    const std::vector<TEntry> entries = RecordEntries(ds, FSelected);
    const bool hideRO = FOptions.Contains(rvopHideReadOnly), hideCalc = FOptions.Contains(rvopHideCalculated);
    int labelWidth = 0;
    for (const TEntry& e : entries)
        if (AcceptsEntry(e, hideRO, hideCalc)) labelWidth = std::max(labelWidth, TextWidth(FLabelFont, LabelText(e.Title)));
    int y = FMargin->TopOffset;
    l.EditLeft = FMargin->LeftOffset + labelWidth + sp->BetweenLabelEdit;
    FEditLeft = l.EditLeft;
    l.Available = width() - l.EditLeft - FMargin->RightOffset - (frameShape() != QFrame::NoFrame ? 4 : 0);
    const bool editFrame = FEditFrame->IsInEffect();
    const QList<const QObject*> owners{FindOwnerFormOrFrame(this), ds->parent()};
    const int labelHeight = QFontMetrics(FLabelFont).height();

    for (const TEntry& e : entries) {
        if (!AcceptsEntry(e, hideRO, hideCalc)) continue;
        TField* field = e.Field;
        QWidget* editor = nullptr;
        QLabel* label = nullptr;
        TEditorChoice choice;
        if (!EditorFor(full, field, owners, editFrame, choice, editor)) continue;
        label = full ? CreateLabel(choice.Kind == ekCheckBox, FLabelFont, LabelText(e.Title), FContent)
                     : LabelOf(field->FieldName());
        FCurrentLabel = label;
        if (label) {
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
            PlaceAt(full, FPositions, label, FMargin->LeftOffset, y + (choice.Kind == ekCheckBox ? 1 : 4), labelWidth,
                    labelHeight);
            if (full) ApplyControlEffects(this, field, label);
        }
        int height = 0;
        if (choice.Kind == ekCheckBox) {
            auto* box = full ? CreateCheckBox(FContent, label, choice, l.Source, field, e.ReadOnly, true)
                             : static_cast<TkqDBCheckBox*>(editor);
            if (!box) continue;
            height = std::max(OwnHeight(box), 17);
            PlaceAt(full, FPositions, box, l.EditLeft, y, 17, height);
            if (full) ApplyControlEffects(this, field, box);
            editor = box;
            l.Placed.push_back({box, true});
        } else if (choice.Kind == ekBorrowed) {
            QWidget* control = full ? BorrowControl(l, choice.Borrowed, field, true) : editor;
            if (!control) continue;
            PrepareBorrowedControl(control);
            int w = IsRichEditControl(control) ? l.Available : PlainEditWidth(l.CharWidth, e.DisplayWidth);
            if (FOptions.Contains(rvopShortenEditBox) && w > l.Available) w = l.Available;
            if (FOptions.Contains(rvopConsistentEditWidth) && w < l.Available) w = l.Available;
            height = PlaceBorrowed(l, control, label, field, l.EditLeft, y, w, full);
            editor = control;
        } else {
            if (full) editor = CreateEditor(choice.Kind, FContent);
            const bool plain = IsPlainEdit(editor);
            const int w = plain ? PlainEditWidth(l.CharWidth, e.DisplayWidth) + EditorButtonWidth(editor) : l.Available;
            if (!PlaceEditor(l, editor, field, e.ReadOnly, l.EditLeft, y, w, full)) {
                delete editor;
                continue;
            }
            height = full ? editor->height() : PositionOf(FPositions, editor)->Height;
        }
        y += height + sp->BetweenRow;
        l.LastHeight = height;
    }
    FCurrentLabel = nullptr;

    // V4-V6: scroll ranges, and editors cut to the width left beside a vertical scroll bar.
    y += FMargin->BottomOffset - sp->BetweenRow;
    verticalScrollBar()->setSingleStep(std::max(1, sp->BetweenRow + l.LastHeight));
    const bool widthOption = FOptions.Contains(rvopShortenEditBox) || FOptions.Contains(rvopConsistentEditWidth);
    const bool vertBar = y > height();
    if (vertBar) {
        l.Available -= ScrollBarWidth();
        for (const auto& p : l.Placed) {
            if (!widthOption && p.Plain) continue;
            if (full) {
                if (p.Control->width() > l.Available) p.Control->resize(l.Available, p.Control->height());
            } else if (TControlPosition* pos = PositionOf(FPositions, p.Control); pos && pos->Width > l.Available) {
                pos->Width = l.Available;
            }
        }
    }
    for (const auto& p : l.Placed) {
        const TControlPosition* pos = full ? nullptr : PositionOf(FPositions, p.Control);
        l.Widest = std::max(l.Widest, pos ? pos->Width : p.Control->width());
    }
    if (widthOption) l.Widest = std::min(l.Widest, l.Available);
    int hRange = FOptions.Contains(rvopConsistentEditWidth) ? l.Widest : l.EditLeft + l.Widest + FMargin->RightOffset;
    if (!FOptions.Contains(rvopConsistentEditWidth) && vertBar) hRange -= ScrollBarWidth();
    // The scrolled area is never smaller than what the panel shows, so a range within it shows no bar.
    FContent->resize(std::max(hRange, viewport()->width()), std::max(y, viewport()->height()));
    ApplyPositions();
    ShowChildren();
}

void TkqRecordViewPanel::LayoutHorizontal(bool full)
{
    if (!StartLayout(full)) return;
    TDataSet* ds = DataSource()->DataSet();
    TkqHorzEditSpacing* sp = FEditSpacing->HorizontalView();
    TLayout l = NewLayout(full);
    l.EditLeft = FMargin->LeftOffset;
    FEditLeft = l.EditLeft;
    l.Available = width() - l.EditLeft - FMargin->RightOffset - (frameShape() != QFrame::NoFrame ? 4 : 0);
    const std::vector<TEntry> entries = RecordEntries(ds, FSelected);
    const bool hideRO = FOptions.Contains(rvopHideReadOnly), hideCalc = FOptions.Contains(rvopHideCalculated);
    const bool maximize = FOptions.Contains(rvopMaximizeMemoWidth);
    int widestPlain = 0;
    for (const TEntry& e : entries)
        if (AcceptsEntry(e, hideRO, hideCalc))
            widestPlain = std::max(widestPlain, PlainEditWidth(l.CharWidth, e.DisplayWidth));
    const bool editFrame = FEditFrame->IsInEffect();
    const QList<const QObject*> owners{FindOwnerFormOrFrame(this), ds->parent()};
    const int labelHeight = QFontMetrics(FLabelFont).height();
    int x = 0, y = FMargin->TopOffset, rowTallest = 0, rowLabel = 0;
    const auto newRow = [&] {
        y += sp->BetweenLabelEdit + sp->BetweenRow + rowTallest + rowLabel;
        x = 0;
        rowTallest = 0;
    };

    for (const TEntry& e : entries) {
        if (!e.Field) {
            if (x > 0) newRow();
            continue;
        }
        if (!AcceptsEntry(e, hideRO, hideCalc)) continue;
        TField* field = e.Field;
        QWidget* editor = nullptr;
        QLabel* label = nullptr;
        TEditorChoice choice;
        if (!EditorFor(full, field, owners, editFrame, choice, editor)) continue;
        const QString caption = LabelText(e.Title);
        const int t = TextWidth(FLabelFont, caption);
        // H2: the editor's width.
        bool wide = false;
        if (choice.Kind == ekBorrowed) wide = maximize && IsRichEditControl(full ? choice.Borrowed : editor);
        else if (choice.Kind != ekCheckBox) wide = maximize && field->IsBlob();
        int w = wide ? l.Available : PlainEditWidth(l.CharWidth, e.DisplayWidth);
        if (choice.Kind == ekCheckBox) w = 17;
        // H3: a new row when the pair would come within 8 pixels of the available width.
        if (x > 0 && std::max(w, sp->LabelIndent + t) + sp->BetweenEditsInRow + x >= l.Available - 8) newRow();
        if (full) {
            label = CreateLabel(choice.Kind == ekCheckBox, FLabelFont, caption, FContent);
        } else {
            label = LabelOf(field->FieldName());
        }
        FCurrentLabel = label;
        if (label) {
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            PlaceAt(full, FPositions, label, FMargin->LeftOffset + x + sp->LabelIndent, y, t, labelHeight);
            rowLabel = labelHeight;
            if (full) ApplyControlEffects(this, field, label);
        }
        const int editTop = y + sp->BetweenLabelEdit + rowLabel;
        int height = 0;
        if (choice.Kind == ekCheckBox) {
            auto* box = full ? CreateCheckBox(FContent, label, choice, l.Source, field, e.ReadOnly, true)
                             : static_cast<TkqDBCheckBox*>(editor);
            if (!box) continue;
            height = std::max(rowTallest, std::max(OwnHeight(box), 17));
            PlaceAt(full, FPositions, box, l.EditLeft + x, editTop, 17, height);
            if (full) ApplyControlEffects(this, field, box);
            editor = box;
            l.Placed.push_back({box, true});
        } else if (choice.Kind == ekBorrowed) {
            QWidget* control = full ? BorrowControl(l, choice.Borrowed, field, true) : editor;
            if (!control) continue;
            PrepareBorrowedControl(control);
            if (wide) w = std::max(widestPlain, l.Available);
            if (FOptions.Contains(rvopShortenEditBox) && w > l.Available) w = l.Available;
            height = PlaceBorrowed(l, control, label, field, l.EditLeft + x, editTop, w, full);
            editor = control;
        } else {
            if (full) editor = CreateEditor(choice.Kind, FContent);
            const bool plain = IsPlainEdit(editor);
            int left = l.EditLeft + x;
            w = PlainEditWidth(l.CharWidth, e.DisplayWidth) + EditorButtonWidth(editor);
            if (!plain && maximize) {
                // A wide editor starts its own row.
                if (x > 0) {
                    newRow();
                    if (label) {
                        PlaceAt(full, FPositions, label, FMargin->LeftOffset + sp->LabelIndent, y, t, labelHeight);
                    }
                }
                left = l.EditLeft;
                w = std::max(widestPlain, l.Available);
            }
            const int top = y + sp->BetweenLabelEdit + rowLabel;
            if (!PlaceEditor(l, editor, field, e.ReadOnly, left, top, w, full)) {
                delete editor;
                continue;
            }
            const TControlPosition* pos = full ? nullptr : PositionOf(FPositions, editor);
            height = pos ? pos->Height : editor->height();
            w = pos ? pos->Width : editor->width();
            x = left - l.EditLeft;
        }
        // H6.
        const int placedWidth = choice.Kind == ekCheckBox ? 17 : w;
        x += std::max(placedWidth, t + sp->LabelIndent) + sp->BetweenEditsInRow;
        rowTallest = std::max(rowTallest, height);
        l.LastHeight = rowTallest;
        if (!full && FOptions.Contains(rvopLabelsBeneathControl) && label) {
            // The re-layout moves the label under its control as the full build did.
            TControlPosition* lp = PositionOf(FPositions, label);
            TControlPosition* ep = PositionOf(FPositions, editor);
            if (lp && ep) {
                ep->Top = lp->Top;
                lp->Top = ep->Top + ep->Height + sp->BetweenLabelEdit - 1;
            }
        }
    }
    FCurrentLabel = nullptr;
    y += sp->BetweenLabelEdit + rowTallest + rowLabel + FMargin->BottomOffset;
    const bool vertBar = y > height() - 5;
    for (const auto& p : l.Placed) {
        const TControlPosition* pos = full ? nullptr : PositionOf(FPositions, p.Control);
        l.Widest = std::max(l.Widest, (pos ? pos->Left : p.Control->x()) - l.EditLeft + (pos ? pos->Width : p.Control->width()));
    }
    if (FOptions.Contains(rvopShortenEditBox)) l.Widest = std::min(l.Widest, l.Available);
    int hRange = l.EditLeft + l.Widest + FMargin->RightOffset;
    if (vertBar) hRange -= ScrollBarWidth();
    FContent->resize(std::max(hRange, viewport()->width()), std::max(y, viewport()->height()));
    ApplyPositions();
    ShowChildren();
}

void TkqRecordViewPanel::ApplyPositions()
{
    for (const TControlPosition& p : FPositions)
        if (p.Control) p.Control->setGeometry(p.Left, p.Top, p.Width, p.Height);
    FPositions.clear();
}

void TkqRecordViewPanel::ShowChildren()
{
    for (QObject* child : FContent->children())
        if (auto* w = qobject_cast<QWidget*>(child)) w->show();
}
