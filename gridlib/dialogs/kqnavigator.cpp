#include "gridlib/dialogs/kqnavigator.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqframe.h"
#include "gridlib/dialogs/kqfilter.h"
#include "gridlib/dialogs/kqlocatedlg.h"
#include "gridlib/dialogs/kqlookupdlg.h"
#include "platform/core/SysFormat.h"
#include "platform/core/TypInfo.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/ImgList.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QApplication>
#include <QTimer>
#include <map>

namespace {

const char* const StyleNames[] = {
    "nbsFirst", "nbsPrior", "nbsNext", "nbsLast", "nbsInsert", "nbsDelete", "nbsEdit", "nbsPost", "nbsCancel",
    "nbsRefresh", "nbsPriorPage", "nbsNextPage", "nbsSaveBookmark", "nbsRestoreBookmark", "nbsFilterDialog",
    "nbsRecordViewDialog", "nbsLocateDialog", "nbsSearchDialog", "nbsCustom"};

bool IsDialogStyle(TkqNavButtonStyle style) { return style >= nbsFilterDialog && style <= nbsSearchDialog; }

// The style name without its "nbs".
QString BareStyleName(TkqNavButtonStyle style) { return QString::fromLatin1(StyleNames[style] + 3); }

struct TDialogClass {
    const QMetaObject* MetaObject = nullptr;
    TkqDialogMaker Maker;
    TkqDialogBinder Binder;
};

std::map<QString, TDialogClass>& DialogClasses()
{
    static std::map<QString, TDialogClass> classes;
    return classes;
}

// The dialogs this library holds; the record view and search dialogs register themselves.
const bool LibraryDialogsRegistered = [] {
    RegisterNavDialogClass(QStringLiteral("TkqLocateDialog"), &TkqLocateDialog::staticMetaObject,
                           [](QObject* owner) { return new TkqLocateDialog(owner); });
    RegisterNavDialogClass(QStringLiteral("TkqSearchDialog"), &TkqSearchDialog::staticMetaObject,
                           [](QObject* owner) { return new TkqSearchDialog(owner); });
    RegisterNavDialogClass(
        QStringLiteral("TkqFilterDialog"), &TkqFilterDialog::staticMetaObject,
        [](QObject* owner) { return new TkqFilterDialog(owner); },
        [](TkqCustomDialog* dialog, TDataSource* source, TDataSet*) {
            static_cast<TkqFilterDialog*>(dialog)->SetDataSource(source);
        });
    return true;
}();

} // namespace

QString NavButtonStyleName(TkqNavButtonStyle style) { return QString::fromLatin1(StyleNames[style]); }

QString NavGlyphResourceName(TkqNavButtonStyle style, bool enabled)
{
    return QStringLiteral("KQ_DBN_") + BareStyleName(style).toUpper() +
           (enabled ? QStringLiteral("_ENABLED") : QStringLiteral("_DISABLED"));
}

void RegisterNavDialogClass(const QString& className, const QMetaObject* metaObject, TkqDialogMaker maker,
                            TkqDialogBinder binder)
{
    DialogClasses()[className] = {metaObject, std::move(maker), std::move(binder)};
}

const QMetaObject* DialogClassForStyle(TkqNavButtonStyle style)
{
    const auto it = DialogClasses().find(QStringLiteral("Tkq") + BareStyleName(style));
    return it == DialogClasses().end() ? nullptr : it->second.MetaObject;
}

// ---------------------------------------------------------------------------------------------
// Bookmarks and the data link

TkqNavBookmark::~TkqNavBookmark()
{
    if (DataSet) DataSet->FreeBookmark(Bookmark);
}

TkqNavDataLink::~TkqNavDataLink() { FNavigator = nullptr; }

void TkqNavDataLink::ActiveChanged()
{
    if (FNavigator) FNavigator->ActiveChanged();
}

void TkqNavDataLink::DataSetChanged()
{
    if (FNavigator) FNavigator->DataChanged();
}

void TkqNavDataLink::EditingChanged()
{
    if (FNavigator) FNavigator->EditingChanged();
}

// ---------------------------------------------------------------------------------------------
// TkqNavButton

TkqNavButton::TkqNavButton(QWidget* parent) : TkqSpeedButton(nullptr)
{
    if (parent) {
        auto* navigator = qobject_cast<TkqDBNavigator*>(parent);
        if (!navigator) {
            MessageDlg(QStringLiteral("Parent of TkqNavButton must be TkqDBNavigator"), mtError, {mbOK});
            throw EAbort();
        }
        setParent(navigator);
        navigator->InsertRemoveButton(this, true);
    }
}

TkqNavButton::~TkqNavButton()
{
    FreeRepeatTimer();
    if (FOwnsDialog) delete FDialog.data();
    if (auto* navigator = qobject_cast<TkqDBNavigator*>(parentWidget())) navigator->InsertRemoveButton(this, false);
}

TkqNavButtons* TkqNavButton::GetButtons() const
{
    if (FButtons) return FButtons;
    if (auto* navigator = qobject_cast<TkqDBNavigator*>(parentWidget())) return navigator->Buttons();
    ApplicationShowException(Exception(QStringLiteral("Parent propety of TkqNavButton not defined")));
    throw EAbort();
}

TkqDBNavigator* TkqNavButton::GetNavigator() const { return GetButtons()->GetNavigator(); }

int TkqNavButton::GetIndex() const
{
    const TkqDBNavigator* navigator = GetNavigator();
    const auto& list = navigator->FButtonList;
    const auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) throw EInvalidOperation(QStringLiteral("Button parameter of RetrieveIndex not in Buttons list"));
    return int(it - list.begin());
}

void TkqNavButton::SetIndex(int value)
{
    const int current = GetIndex();
    if (value == current) return;
    TkqDBNavigator* navigator = GetNavigator();
    auto& list = navigator->FButtonList;
    list.erase(list.begin() + current);
    value = std::clamp(value, 0, int(list.size()));
    list.insert(list.begin() + value, this);
    navigator->FButtons->Realign();
}

void TkqNavButton::SetLineBreak(bool value)
{
    if (value == FLineBreak) return;
    FLineBreak = value;
    if (auto* navigator = qobject_cast<TkqDBNavigator*>(parentWidget())) navigator->FButtons->Realign();
}

void TkqNavButton::SetStyle(TkqNavButtonStyle value)
{
    FStyle = value;
    if (GetImageIndex() == -1) LoadDefaultGlyph();
    if (qobject_cast<TkqDBNavigator*>(parentWidget())) {
        SetHint(GetHintText());
        UpdateState(ucRefreshAll);
    }
}

void TkqNavButton::SetDialog(TkqCustomDialog* value)
{
    if (value == FDialog) return;
    if (FOwnsDialog) delete FDialog.data();
    FOwnsDialog = false;
    FDialog = value;
    if (value) {
        // The style follows the dialog's class: "nbs" + the class name without "Tkq".
        const QString name = QStringLiteral("nbs") + QString::fromLatin1(value->metaObject()->className()).mid(3);
        for (int s = nbsFilterDialog; s <= nbsSearchDialog; ++s)
            if (name == QLatin1String(StyleNames[s])) {
                FStyle = TkqNavButtonStyle(s);
                if (GetImageIndex() == -1) LoadDefaultGlyph();
            }
        connect(value, &QObject::destroyed, this, [this] { SetDialog(nullptr); });
    }
    if (qobject_cast<TkqDBNavigator*>(parentWidget())) UpdateState(ucRefreshAll);
}

int TkqNavButton::GetImageIndex() const
{
    return Images() == NavigatorImages() ? -1 : TkqSpeedButton::GetImageIndex();
}

void TkqNavButton::SetImageIndex(int value)
{
    if (value == -1) {
        LoadDefaultGlyph();
        return;
    }
    auto* navigator = qobject_cast<TkqDBNavigator*>(parentWidget());
    SetImages(navigator ? navigator->ImageList() : nullptr);
    TkqSpeedButton::SetImageIndex(value);
}

void TkqNavButton::LoadDefaultGlyph()
{
    if (FStyle == nbsCustom) return;
    TkqSpeedButton::SetImageIndex(2 * int(FStyle));
    SetNumGlyphs(2);
    SetImages(NavigatorImages());
}

QString TkqNavButton::GetHintText() const
{
    QString result = Hint();
    const TkqDBNavigator* navigator = qobject_cast<TkqDBNavigator*>(parentWidget());
    const bool international = navigator && navigator->Options().Contains(noUseInternationalText);
    if (!result.isEmpty() && !international) return result;
    if (FStyle == nbsCustom) return result;
    const QByteArray property = (BareStyleName(FStyle) + QStringLiteral("Hint")).toLatin1();
    result = KqIntl()->Navigator->Hints->property(property.constData()).toString();
    if ((FStyle == nbsPriorPage || FStyle == nbsNextPage) && result.contains(QLatin1String("%d")))
        result = Format(result, {navigator ? navigator->MoveBy() : 10});
    return result;
}

void TkqNavButton::SetEnabled(bool value)
{
    if (value == Enabled()) return;
    setEnabled(value);
}

void TkqNavButton::UpdateState(TkqUpdateCause cause)
{
    TkqDBNavigator* navigator = GetNavigator();
    const bool before = Enabled();
    if (OnUpdateState) {
        try {
            OnUpdateState(navigator, this, cause);
        } catch (...) {
            return;
        }
    }
    if (cause == ucDataChanged && OnRowChanged) OnRowChanged(this);
    if (Enabled() != before || FStyle == nbsCustom) return;
    TDataSet* ds = navigator->GetDataSet(false);
    if (!ds) {
        SetEnabled(false);
        return;
    }
    TkqNavDataLink* link = navigator->FDataLink.get();
    const bool active = link->Active() && navigator->isEnabled();
    const bool canModify = active && ds->CanModify();
    bool enabled = false;
    switch (FStyle) {
    case nbsFirst: case nbsPrior: case nbsPriorPage: enabled = active && !link->Bof(); break;
    case nbsNext: case nbsLast: case nbsNextPage: enabled = active && !link->Eof(); break;
    case nbsInsert: case nbsRefresh: enabled = canModify; break;
    case nbsDelete: enabled = canModify && !(link->Bof() && link->Eof()); break;
    case nbsEdit: enabled = canModify && !link->Editing(); break;
    case nbsPost: case nbsCancel: enabled = canModify && link->Editing(); break;
    case nbsSaveBookmark: enabled = active; break;
    case nbsRestoreBookmark:
        if (cause == ucEditingChanged) return;
        enabled = active && !navigator->BookmarkFor(ds, false).IsNull();
        break;
    case nbsFilterDialog: case nbsRecordViewDialog: case nbsLocateDialog: case nbsSearchDialog:
        enabled = active && (!FDialog || FDialog->GetPrimaryDataSet());
        break;
    case nbsCustom: return;
    }
    SetEnabled(enabled);
}

bool TkqNavButton::IsInsideNavigator() const
{
    const TkqDBNavigator* navigator = GetNavigator();
    return y() + height() < navigator->height() && x() + width() < navigator->width();
}

void TkqNavButton::InvalidateBackground()
{
    auto* navigator = qobject_cast<TkqDBNavigator*>(parentWidget());
    if (navigator && navigator->IsTransparent()) InvalidateParentArea(this, navigator->TransparentClearsBackground);
}

bool TkqNavButton::Repeats() const
{
    switch (FStyle) {
    case nbsFirst: case nbsPrior: case nbsNext: case nbsLast: case nbsPriorPage: case nbsNextPage: return true;
    default: return false;
    }
}

void TkqNavButton::Click()
{
    // A raise in OnClick stops the action; the windows' own Delete ends with a silent abort,
    // which ends the click quietly.
    try {
        TkqSpeedButton::Click();
    } catch (const EAbort&) {
        FreeRepeatTimer();
        return;
    }
    try {
        TDataSet* ds = GetNavigator()->GetDataSet(true);
        DoAction(ds);
    } catch (...) {
        FreeRepeatTimer();
        throw;
    }
}

void TkqNavButton::DoAction(TDataSet* ds)
{
    TkqDBNavigator* navigator = GetNavigator();
    switch (FStyle) {
    case nbsFirst: ds->First(); break;
    case nbsPrior: ds->Prior(); break;
    case nbsNext: ds->Next(); break;
    case nbsLast: ds->Last(); break;
    case nbsInsert: ds->Insert(); break;
    case nbsDelete:
        if (navigator->Options().Contains(noConfirmDelete) &&
            MessageDlg(KqIntl()->Navigator->ConfirmDeleteMessage, mtConfirmation, mbOKCancel) != mrOk)
            return;
        ds->Delete();
        break;
    case nbsEdit: ds->Edit(); break;
    case nbsPost: ds->Post(); break;
    case nbsCancel: ds->Cancel(); break;
    case nbsRefresh: ds->Refresh(); break;
    case nbsPriorPage: ds->MoveBy(-qAbs(navigator->MoveBy())); break;
    case nbsNextPage: ds->MoveBy(qAbs(navigator->MoveBy())); break;
    case nbsSaveBookmark: navigator->BookmarkFor(ds, true); break;
    case nbsRestoreBookmark: {
        const TBookmark bookmark = navigator->BookmarkFor(ds, false);
        try {
            ds->GotoBookmark(bookmark);
        } catch (const std::exception&) {
            navigator->FreeBookmarks(navigator->GetDataSet(false));
        }
        break;
    }
    case nbsFilterDialog: case nbsRecordViewDialog: case nbsLocateDialog: case nbsSearchDialog:
        if (TkqCustomDialog* dialog = FindOrCreateDialog(ds)) dialog->Execute();
        break;
    case nbsCustom: break;
    }
}

TkqCustomDialog* TkqNavButton::FindOrCreateDialog(TDataSet* dataSet)
{
    if (!IsDialogStyle(FStyle)) return nullptr;
    if (FDialog) return FDialog;
    TkqDBNavigator* navigator = GetNavigator();
    QObject* owner = FStyle == nbsFilterDialog ? static_cast<QObject*>(dataSet) : navigator;
    const QString className = QStringLiteral("Tkq") + BareStyleName(FStyle);
    const QByteArray classNameBytes = className.toLatin1();
    for (QObject* child : owner->children()) {
        auto* dialog = qobject_cast<TkqCustomDialog*>(child);
        if (dialog && dialog->GetPrimaryDataSet() == dataSet &&
            IsClassOrAncestorNamed(dialog, classNameBytes.constData())) {
            SetDialog(dialog);
            return dialog;
        }
    }
    const auto it = DialogClasses().find(className);
    if (it == DialogClasses().end() || !it->second.Maker) return nullptr;
    TkqCustomDialog* dialog = it->second.Maker(owner);
    // The dialog works on the navigator's data source (the search dialog on its dataset).
    if (it->second.Binder) {
        it->second.Binder(dialog, navigator->DataSource(), dataSet);
    } else if (FStyle == nbsSearchDialog) {
        if (dialog->metaObject()->indexOfProperty("SearchTable") >= 0)
            dialog->setProperty("SearchTable", QVariant::fromValue(dataSet));
    } else if (dialog->metaObject()->indexOfProperty("DataSource") >= 0) {
        dialog->setProperty("DataSource", QVariant::fromValue(navigator->DataSource()));
    }
    SetDialog(dialog);
    if (OnAfterCreateDialog) OnAfterCreateDialog(dialog);
    return dialog;
}

void TkqNavButton::StartRepeatTimer()
{
    FreeRepeatTimer();
    FRepeatTimer = new QTimer(this);
    FRepeatTimer->setInterval(GetNavigator()->RepeatInterval.InitialDelay);
    connect(FRepeatTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { RepeatTimerTick(); }); });
    FRepeatTimer->start();
}

void TkqNavButton::FreeRepeatTimer()
{
    delete FRepeatTimer;
    FRepeatTimer = nullptr;
}

void TkqNavButton::RepeatTimerTick()
{
    if (!MouseHeld()) FreeRepeatTimer();
    if (!FRepeatTimer) return;
    FRepeatTimer->setInterval(GetNavigator()->RepeatInterval.Interval);
    Click();
}

void TkqNavButton::MouseStateChanged()
{
    auto* navigator = qobject_cast<TkqDBNavigator*>(parentWidget());
    if (navigator && navigator->IsTransparent()) InvalidateBackground();
}

void TkqNavButton::MouseEntered()
{
    TkqSpeedButton::MouseEntered();
    if (MouseHeld() && Repeats()) {
        if (QGuiApplication::mouseButtons() & Qt::LeftButton) StartRepeatTimer();
        else ClearMouseHeld();
    }
}

void TkqNavButton::MouseLeft()
{
    if (MouseHeld()) FreeRepeatTimer();
    TkqSpeedButton::MouseLeft();
}

void TkqNavButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TkqSpeedButton::MouseDown(button, shift, x, y);
    if (button == mbLeft && Repeats() && isEnabled()) StartRepeatTimer();
}

void TkqNavButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    FreeRepeatTimer();
    TkqSpeedButton::MouseUp(button, shift, x, y);
}

void TkqNavButton::changeEvent(QEvent* event)
{
    TkqSpeedButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) InvalidateBackground();
}

// ---------------------------------------------------------------------------------------------
// TkqNavButtons

int TkqNavButtons::GetCount() const { return int(FNavigator->FButtonList.size()); }

TkqNavButton* TkqNavButtons::GetItem(int index) const
{
    if (index < 0 || index >= GetCount()) throw EInvalidOperation(QStringLiteral("Index of Buttons[] out of range"));
    return FNavigator->FButtonList[size_t(index)];
}

bool TkqNavButtons::IsHidden(const TkqNavButton* button) const { return button->isHidden(); }

int TkqNavButtons::GetVisibleCount() const
{
    int n = 0;
    for (const TkqNavButton* b : FNavigator->FButtonList) n += IsHidden(b) ? 0 : 1;
    return n;
}

TkqNavButton* TkqNavButtons::GetVisibleItem(int index) const
{
    int n = 0;
    for (TkqNavButton* b : FNavigator->FButtonList)
        if (!IsHidden(b) && n++ == index) return b;
    throw EInvalidOperation(QStringLiteral("Index of VisibleButtons[] out of range"));
}

TkqNavButton* TkqNavButtons::ButtonOf(TkqNavButtonStyle style) const
{
    for (TkqNavButton* b : FNavigator->FButtonList)
        if (b->Style() == style) return b;
    return nullptr;
}

TkqNavButton* TkqNavButtons::RightMostButton() const
{
    TkqNavButton* result = nullptr;
    int extent = 0;
    for (TkqNavButton* b : FNavigator->FButtonList)
        if (!IsHidden(b) && b->x() + b->width() > extent) {
            extent = b->x() + b->width();
            result = b;
        }
    return result;
}

TkqNavButton* TkqNavButtons::BottomMostButton() const
{
    TkqNavButton* result = nullptr;
    int extent = 0;
    for (TkqNavButton* b : FNavigator->FButtonList)
        if (!IsHidden(b) && b->y() + b->height() > extent) {
            extent = b->y() + b->height();
            result = b;
        }
    return result;
}

TkqNavButton* TkqNavButtons::ButtonAtPoint(const QPoint& point, const TkqNavButton* exclude) const
{
    for (TkqNavButton* b : FNavigator->FButtonList)
        if (b != exclude && !IsHidden(b) && b->geometry().contains(point)) return b;
    return nullptr;
}

void TkqNavButtons::ShowStyle(TkqNavButtonStyle style)
{
    if (TkqNavButton* b = ButtonOf(style)) {
        b->setVisible(true);
        Realign();
        return;
    }
    TkqNavButton* b = Add(style);
    b->SetIndex(int(style));
}

void TkqNavButtons::HideStyle(TkqNavButtonStyle style)
{
    bool hid = false;
    for (TkqNavButton* b : FNavigator->FButtonList)
        if (b->Style() == style && !b->isHidden()) {
            b->setVisible(false);
            hid = true;
        }
    if (hid) Realign();
}

TkqNavButton* TkqNavButtons::Add(TkqNavButtonStyle style, TkqCustomDialog* dialog)
{
    BeginUpdate();
    TkqNavButton* button = nullptr;
    try {
        button = new TkqNavButton(FNavigator);
        button->FButtons = this;
        button->SetStyle(style);
        button->UpdateState(ucRefreshAll);
        button->SetFlat(FNavigator->Flat());
        if (IsDialogStyle(style)) button->SetDialog(dialog);
        button->SetHint(button->GetHintText());
        button->SetShowHint(FNavigator->GetShowHint());
        button->UpdateState(ucRefreshAll);
        button->setVisible(true);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    ArrangeButtons();
    if (!button->IsInsideNavigator()) {
        if (FNavigator->AutosizeStyle() == asSizeNavigator) {
            TkqNavButton* last = FNavigator->FButtonList.back();
            if (FNavigator->Layout() == nlHorizontal)
                FNavigator->SetSizeFromButtons(FNavigator->width(), last->y() + last->height());
            else
                FNavigator->SetSizeFromButtons(last->x() + last->width(), FNavigator->height());
        } else {
            FNavigator->ApplyAutosizeStyle();
        }
    }
    return button;
}

void TkqNavButtons::AddDialogButtons()
{
    BeginUpdate();
    for (TkqNavButtonStyle s : {nbsFilterDialog, nbsRecordViewDialog, nbsLocateDialog, nbsSearchDialog}) Add(s);
    EndUpdate();
    Realign();
}

void TkqNavButtons::Clear()
{
    while (GetCount() > 0) delete FNavigator->FButtonList.back();
}

void TkqNavButtons::CreateDefaultButtons()
{
    BeginUpdate();
    for (TkqNavButtonStyle s : {nbsFirst, nbsPriorPage, nbsPrior, nbsNext, nbsNextPage, nbsLast, nbsInsert, nbsDelete,
                                nbsEdit, nbsPost, nbsCancel, nbsRefresh, nbsSaveBookmark, nbsRestoreBookmark})
        Add(s);
    EndUpdate();
}

void TkqNavButtons::Realign()
{
    if (FNavigator->AutosizeStyle() == asSizeNavButtons) {
        FNavigator->ApplyAutosizeStyle();
        ArrangeButtons();
    } else {
        ArrangeButtons();
        FNavigator->ApplyAutosizeStyle();
    }
}

void TkqNavButtons::ArrangeButtons()
{
    if (FNavigator->FDestroying || FUpdateCount > 0) return;
    const int bevel = FNavigator->BevelCount();
    int x = bevel, y = bevel;
    BeginUpdate();
    const TkqNavButton* previous = nullptr;
    for (TkqNavButton* b : FNavigator->FButtonList) {
        if (IsHidden(b)) continue;
        if (!previous) previous = b;
        if (FNavigator->Layout() == nlHorizontal) {
            if (x + b->width() > FNavigator->width() || b->LineBreak()) {
                if (x != bevel || b->LineBreak()) y += previous->height();
                x = bevel;
            }
        } else if (y + b->height() > FNavigator->height() || b->LineBreak()) {
            if (y != bevel || b->LineBreak()) x += previous->width();
            y = bevel;
        }
        b->move(x, y);
        if (FNavigator->Layout() == nlHorizontal) x += b->width();
        else y += b->height();
        previous = b;
    }
    EndUpdate();
}

void TkqNavButtons::UpdateStates(TkqUpdateCause cause)
{
    // A copy: a handler may add or remove buttons.
    const std::vector<TkqNavButton*> buttons = FNavigator->FButtonList;
    for (TkqNavButton* b : buttons) b->UpdateState(cause);
}

// ---------------------------------------------------------------------------------------------
// TkqDBNavigator

TkqDBNavigator::TkqDBNavigator(QWidget* parent)
    : TkqCustomTransparentPanel(parent), FDataLink(std::make_unique<TkqNavDataLink>(this)),
      FButtons(std::make_unique<TkqNavButtons>(this))
{
    SetBevelOuter(bvNone);
    SetBevelInner(bvNone);
    resize(1, 25);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

TkqDBNavigator::~TkqDBNavigator()
{
    FDestroying = true;
    if (FKeyWindow) qApp->removeEventFilter(this);
    FDataLink->SetDataSource(nullptr);
    FBookmarks.clear();
    // The buttons go first, while the navigator is still whole.
    while (!FButtonList.empty()) delete FButtonList.back();
    if (FImageList) FImageList->RemoveFreeListener(FImageListFreeKey);
}

void TkqDBNavigator::InsertRemoveButton(QWidget* control, bool inserting)
{
    auto* button = qobject_cast<TkqNavButton*>(control);
    if (inserting) {
        if (!button) throw EInvalidOperation(QStringLiteral("TkqDBNavigator only accepts controls derived from TkqNavButton"));
        if (std::find(FButtonList.begin(), FButtonList.end(), button) == FButtonList.end()) {
            FButtonList.push_back(button);
            FButtons->ButtonInserted(button);
        }
        return;
    }
    const auto it = std::find(FButtonList.begin(), FButtonList.end(), button);
    if (it == FButtonList.end()) return;
    FButtonList.erase(it);
    FButtons->ButtonRemoved(button);
}

void TkqDBNavigator::childEvent(QChildEvent* event)
{
    TkqCustomTransparentPanel::childEvent(event);
    // A button deleted by its owner leaves the collection.
    if (event->type() == QEvent::ChildRemoved) {
        const auto it = std::find(FButtonList.begin(), FButtonList.end(), event->child());
        if (it != FButtonList.end()) {
            FButtonList.erase(it);
            if (!FDestroying) FButtons->Realign();
        }
    }
}

void TkqDBNavigator::DataChanged() { FButtons->UpdateStates(ucDataChanged); }

void TkqDBNavigator::EditingChanged() { FButtons->UpdateStates(ucEditingChanged); }

void TkqDBNavigator::ActiveChanged()
{
    TDataSet* ds = FDataLink->DataSet();
    if (ds && !ds->Active()) FreeBookmarks(ds);
    FButtons->UpdateStates(ucActiveChanged);
}

TkqNavButtonNavStylesEx TkqDBNavigator::GetVisibleButtons() const
{
    TkqNavButtonNavStylesEx result;
    for (const TkqNavButton* b : FButtonList)
        if (b->Style() <= nbsRestoreBookmark) result.Include(b->Style());
    return result;
}

void TkqDBNavigator::SetVisibleButtons(TkqNavButtonNavStylesEx value)
{
    if (FButtonList.empty()) {
        FButtons->CreateDefaultButtons();
        SizeToOneRow();
    }
    for (int s = nbsFirst; s <= nbsCustom; ++s) {
        const auto style = TkqNavButtonStyle(s);
        if (value.Contains(style)) FButtons->ShowStyle(style);
        else FButtons->HideStyle(style);
    }
}

void TkqDBNavigator::SetLayout(TkqNavLayout value)
{
    if (value == FLayout) return;
    FLayout = value;
    FButtons->Realign();
}

void TkqDBNavigator::SetAutosizeStyle(TkqNavAutoSizeStyle value)
{
    if (value == FAutosizeStyle) return;
    FAutosizeStyle = value;
    FButtons->Realign();
}

TDataSource* TkqDBNavigator::DataSource() const { return FDataSource; }

void TkqDBNavigator::SetDataSource(TDataSource* value)
{
    FDataSource = value;
    FDataLink->SetDataSource(value);
    FButtons->UpdateStates(ucRefreshAll);
}

void TkqDBNavigator::SetFlat(bool value)
{
    FFlat = value;
    for (TkqNavButton* b : FButtonList) b->SetFlat(value);
}

void TkqDBNavigator::SetImageList(TImageList* value)
{
    if (FImageList) FImageList->RemoveFreeListener(FImageListFreeKey);
    FImageList = value;
    if (FImageList) FImageListFreeKey = FImageList->AddFreeListener([this] { FImageList = nullptr; });
    for (TkqNavButton* b : FButtonList)
        if (b->GetImageIndex() >= 0) b->SetImages(value);
}

void TkqDBNavigator::SetMoveBy(int value)
{
    if (value == FMoveBy) return;
    FMoveBy = value;
    for (TkqNavButton* b : FButtonList)
        if ((b->Style() == nbsPriorPage || b->Style() == nbsNextPage) && b->Hint().contains(QLatin1String("%d"))) {
            b->SetHint(Format(b->Hint(), {value}));
        }
}

void TkqDBNavigator::SetShowHint(bool value)
{
    FShowHint = value;
    for (TkqNavButton* b : FButtonList) b->SetShowHint(value);
}

int TkqDBNavigator::BevelCount() const { return (BevelInner() != bvNone ? 1 : 0) + (BevelOuter() != bvNone ? 1 : 0); }

int TkqDBNavigator::GetButtonsWidth() const
{
    int width = 0;
    for (const TkqNavButton* b : FButtonList)
        if (!FButtons->IsHidden(b)) width += b->width();
    return width;
}

TDataSet* TkqDBNavigator::GetDataSet(bool raiseIfMissing) const
{
    if (!FDataSource) {
        if (raiseIfMissing) throw EInvalidOperation(QStringLiteral("Error, DataSource not assigned"));
        return nullptr;
    }
    TDataSet* ds = FDataSource->DataSet();
    if (!ds && raiseIfMissing) throw EInvalidOperation(QStringLiteral("Error, DataSource has no DataSet"));
    return ds;
}

void TkqDBNavigator::SetSizeFromButtons(int width, int height)
{
    if (QSize(width, height) == size()) return;
    const bool realigning = FRealigning;
    FRealigning = true;
    resize(width, height);
    FRealigning = realigning;
    updateGeometry();
}

void TkqDBNavigator::ApplyAutosizeStyle()
{
    if (FAutosizeStyle == asNone || FButtons->GetVisibleCount() == 0) return;
    const int bevel = BevelCount();
    if (FAutosizeStyle == asSizeNavigator) {
        const TkqNavButton* right = FButtons->RightMostButton();
        const TkqNavButton* bottom = FButtons->BottomMostButton();
        if (!right || !bottom) return;
        SetSizeFromButtons(bevel + right->x() + right->width(), bevel + bottom->y() + bottom->height());
        return;
    }
    // The buttons share the inner area: lines across, buttons along each line.
    const int w = width() - 2 * bevel, h = height() - 2 * bevel;
    std::vector<std::vector<TkqNavButton*>> lines;
    for (TkqNavButton* b : FButtonList) {
        if (FButtons->IsHidden(b)) continue;
        if (lines.empty() || b->LineBreak()) lines.emplace_back();
        lines.back().push_back(b);
    }
    const bool horizontal = FLayout == nlHorizontal;
    const int across = horizontal ? h : w, along = horizontal ? w : h;
    const int lineCount = int(lines.size());
    for (int l = 0; l < lineCount; ++l) {
        const int thick = across / lineCount + (l < across % lineCount ? 1 : 0);
        const int n = int(lines[size_t(l)].size());
        for (int i = 0; i < n; ++i) {
            const int length = along / n + (i < along % n ? 1 : 0);
            TkqNavButton* b = lines[size_t(l)][size_t(i)];
            if (horizontal) b->resize(length, thick);
            else b->resize(thick, length);
        }
    }
}

void TkqDBNavigator::LinkToComponent(QObject* component, bool force)
{
    if (!component) return;
    TDataSource* source = GetControlDataSource(component);
    if (source || force) SetDataSource(source);
}

void TkqDBNavigator::SetName(const QString& name)
{
    const QString old = objectName();
    setObjectName(name);
    if (old.isEmpty()) return;
    for (TkqNavButton* b : FButtonList)
        if (b->objectName().startsWith(old)) b->setObjectName(name + b->objectName().mid(old.size()));
}

TBookmark TkqDBNavigator::BookmarkFor(TDataSet* dataSet, bool save)
{
    if (!dataSet) return {};
    if (save) {
        TkqNavBookmark* entry = nullptr;
        for (auto& b : FBookmarks)
            if (b->DataSet == dataSet) entry = b.get();
        if (entry) {
            dataSet->FreeBookmark(entry->Bookmark);
        } else {
            FBookmarks.push_back(std::make_unique<TkqNavBookmark>());
            entry = FBookmarks.back().get();
            entry->DataSet = dataSet;
            connect(dataSet, &QObject::destroyed, this, [this, dataSet] { FreeBookmarks(dataSet); });
        }
        entry->Bookmark = dataSet->GetBookmark();
        FButtons->UpdateStates(ucRefreshAll);
        return entry->Bookmark;
    }
    for (auto it = FBookmarks.rbegin(); it != FBookmarks.rend(); ++it)
        if ((*it)->DataSet == dataSet) {
            const TBookmark bm = (*it)->Bookmark;
            return !bm.IsNull() && dataSet->Active() && dataSet->BookmarkValid(bm) ? bm : TBookmark();
        }
    return {};
}

void TkqDBNavigator::FreeBookmarks(TDataSet* dataSet)
{
    const auto end = std::remove_if(FBookmarks.begin(), FBookmarks.end(), [dataSet](const auto& b) {
        return !b->DataSet || b->DataSet == dataSet;
    });
    FBookmarks.erase(end, FBookmarks.end());
}

void TkqDBNavigator::AlignControls()
{
    if (FRealigning || FDestroying) return;
    FRealigning = true;
    FButtons->Realign();
    FRealigning = false;
}

void TkqDBNavigator::EnsureDefaultButtons()
{
    if (!FButtonList.empty() || FMakingDefaults) return;
    FMakingDefaults = true;
    FButtons->CreateDefaultButtons();
    FMakingDefaults = false;
    if (!SizeToOneRow()) FButtons->Realign();
}

bool TkqDBNavigator::SizeToOneRow()
{
    // A navigator never sized (1 pixel wide) takes one row of its buttons.
    if (width() != 1 || FButtonList.empty()) return false;
    SetSizeFromButtons(GetButtonsWidth(), FButtonList.front()->height());
    FButtons->ArrangeButtons();
    if (parentWidget()) parentWidget()->update();
    return true;
}

void TkqDBNavigator::showEvent(QShowEvent* event)
{
    TkqCustomTransparentPanel::showEvent(event);
    EnsureDefaultButtons();
    // Accelerators are watched only while a shown navigator has a caption that holds one.
    const bool accelerators = std::any_of(FButtonList.begin(), FButtonList.end(),
                                          [](const TkqNavButton* b) { return b->Caption().contains(QLatin1Char('&')); });
    if (accelerators && !FKeyWindow) {
        FKeyWindow = window();
        qApp->installEventFilter(this);
    }
}

void TkqDBNavigator::hideEvent(QHideEvent* event)
{
    TkqCustomTransparentPanel::hideEvent(event);
    if (FKeyWindow) qApp->removeEventFilter(this);
    FKeyWindow = nullptr;
}

bool TkqDBNavigator::eventFilter(QObject* watched, QEvent* event)
{
    auto* target = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && target && FKeyWindow && target->window() == FKeyWindow) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & Qt::AltModifier) && !key->text().isEmpty()) {
            bool handled = false;
            TApplication::Guard([&] { handled = DialogChar(key->text().at(0)); });
            if (handled) return true;
        }
    }
    return TkqCustomTransparentPanel::eventFilter(watched, event);
}

bool TkqDBNavigator::DialogChar(QChar key)
{
    if (!parentWidget() || !parentWidget()->isVisible()) return false;
    const QString mark = QStringLiteral("&") + key;
    for (TkqNavButton* b : FButtonList)
        if (b->Caption().contains(mark, Qt::CaseInsensitive) && b->isEnabled() && !b->isHidden()) {
            b->Click();
            return true;
        }
    return false;
}

void TkqDBNavigator::paintEvent(QPaintEvent* event)
{
    if (FMakingDefaults) return;
    EnsureDefaultButtons();
    TkqCustomTransparentPanel::paintEvent(event);
}

void TkqDBNavigator::changeEvent(QEvent* event)
{
    TkqCustomTransparentPanel::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && isEnabled()) FButtons->UpdateStates(ucRefreshAll);
}
