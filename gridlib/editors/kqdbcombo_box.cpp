// The data-aware combo box: its items with stored and display parts, the field's value shown
// through them, the drop-down list (filling, placing, drawing, closing), the event filter that
// closes it on a press elsewhere, and the history operations.

#include "gridlib/editors/kqdbcombo.h"

#include "gridlib/core/Kqstr.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqgridhost.h"
#include "platform/vcl/Forms.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace {

int CompareLines(const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive); }

// The cancel-mode message of the component framework, posted by the mouse watch.
class TCancelModeEvent : public QEvent {
public:
    explicit TCancelModeEvent(QObject* sender) : QEvent(TkqDBCustomComboBox::CancelModeEventType()), Sender(sender) {}
    QObject* Sender;
};

// One watch for the whole program while a list is open: a left press outside the open list
// and its combo closes the list, accepting its selection.
class TComboMouseHook : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::MouseButtonPress && type != QEvent::NonClientAreaMouseButtonPress) || !watched->isWidgetType())
            return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        auto* combo = qobject_cast<TkqDBCustomComboBox*>(QApplication::focusWidget());
        if (!combo || !combo->IsDroppedDown() || combo == FPosted) return false;
        const QPoint global = mouse->globalPosition().toPoint();
        const QWidget* list = combo->PopupList();
        const bool inList = list && list->frameGeometry().contains(global);
        const bool inCombo = QRect(combo->mapToGlobal(QPoint(0, 0)), combo->size()).contains(global);
        if (inList || inCombo) return false;
        // The press goes on to its window first; the combo closes when the message arrives.
        FPosted = combo;
        QCoreApplication::postEvent(combo, new TCancelModeEvent(nullptr));
        return false;
    }
    QPointer<TkqDBCustomComboBox> FPosted;
};

TComboMouseHook*& MouseHook()
{
    static TComboMouseHook* hook = nullptr;
    return hook;
}

void InstallMouseHook()
{
    if (MouseHook() || !qApp) return;
    MouseHook() = new TComboMouseHook;
    qApp->installEventFilter(MouseHook());
}

void RemoveInstalledMouseHook()
{
    TComboMouseHook* hook = MouseHook();
    if (!hook) return;
    MouseHook() = nullptr;
    if (qApp) qApp->removeEventFilter(hook);
    delete hook;
}

} // namespace

QEvent::Type TkqDBCustomComboBox::CancelModeEventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

bool TkqDBCustomComboBox::MouseHookInstalled()
{
    return MouseHook() != nullptr;
}

void TkqDBCustomComboBox::RemoveMouseHook()
{
    RemoveInstalledMouseHook();
}

// ---------------------------------------------------------------------------------------------
// Items

void TkqComboStringList::Changed()
{
    if (FCombo) FCombo->FListDirty = true;
}

void TkqComboStringList::SetSorted(bool value)
{
    if (value == FSorted) return;
    FSorted = value;
    if (value) Sort();
}

int TkqComboStringList::Add(const QString& line)
{
    int index = Count();
    if (FSorted) {
        const auto it = std::upper_bound(FLines.begin(), FLines.end(), line,
                                         [](const QString& a, const QString& b) { return CompareLines(a, b) < 0; });
        index = int(it - FLines.begin());
    }
    FLines.insert(index, line);
    Changed();
    return index;
}

void TkqComboStringList::Insert(int index, const QString& line)
{
    FLines.insert(std::clamp(index, 0, Count()), line);
    Changed();
}

void TkqComboStringList::Delete(int index)
{
    if (index < 0 || index >= Count()) return;
    FLines.removeAt(index);
    Changed();
}

void TkqComboStringList::Clear()
{
    FLines.clear();
    Changed();
}

void TkqComboStringList::Exchange(int a, int b)
{
    if (a < 0 || b < 0 || a >= Count() || b >= Count()) return;
    FLines.swapItemsAt(a, b);
    Changed();
}

void TkqComboStringList::Assign(const QStringList& lines)
{
    FLines = lines;
    if (FSorted) Sort();
    Changed();
}

int TkqComboStringList::IndexOf(const QString& text) const
{
    for (int i = 0; i < Count(); ++i)
        if (CompareLines(FLines.at(i), text) == 0) return i;
    return -1;
}

void TkqComboStringList::Sort()
{
    std::stable_sort(FLines.begin(), FLines.end(), [](const QString& a, const QString& b) { return CompareLines(a, b) < 0; });
    Changed();
}

// ---------------------------------------------------------------------------------------------
// The drop-down list

std::function<qint64()> TkqPopupListbox::TickCount = [] {
    static QElapsedTimer timer;
    if (!timer.isValid()) timer.start();
    return timer.elapsed();
};

TkqPopupListbox::TkqPopupListbox(TkqDBCustomComboBox* combo) : QAbstractScrollArea(combo), FCombo(combo)
{
    // A window of its own that never takes the focus (nor activates): the edit keeps it.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setMouseTracking(false);
    hide();
}

void TkqPopupListbox::SetLines(const QStringList& lines)
{
    FLines = lines;
    if (FSorted) std::stable_sort(FLines.begin(), FLines.end(), [](const QString& a, const QString& b) { return CompareLines(a, b) < 0; });
    FItemIndex = -1;
    UpdateScrollRange();
    viewport()->update();
}

void TkqPopupListbox::InsertSorted(const QString& line)
{
    const auto it = std::upper_bound(FLines.begin(), FLines.end(), line,
                                     [](const QString& a, const QString& b) { return CompareLines(a, b) < 0; });
    FLines.insert(it, line);
}

int TkqPopupListbox::Add(const QString& line)
{
    if (FSorted) {
        InsertSorted(line);
        UpdateScrollRange();
        return IndexOf(line);
    }
    FLines.append(line);
    UpdateScrollRange();
    viewport()->update();
    return Count() - 1;
}

void TkqPopupListbox::Insert(int index, const QString& line)
{
    FLines.insert(std::clamp(index, 0, Count()), line);
    if (FItemIndex >= index && FItemIndex >= 0) ++FItemIndex;
    UpdateScrollRange();
    viewport()->update();
}

void TkqPopupListbox::Delete(int index)
{
    if (index < 0 || index >= Count()) return;
    FLines.removeAt(index);
    if (FItemIndex == index) FItemIndex = -1;
    else if (FItemIndex > index) --FItemIndex;
    UpdateScrollRange();
    viewport()->update();
}

void TkqPopupListbox::Clear()
{
    FLines.clear();
    FItemIndex = -1;
    UpdateScrollRange();
    viewport()->update();
}

int TkqPopupListbox::IndexOf(const QString& text) const
{
    return FindStringExact(-1, text);
}

void TkqPopupListbox::SetSorted(bool value)
{
    if (value == FSorted) return;
    FSorted = value;
    if (value) SetLines(FLines);
}

void TkqPopupListbox::SetStyle(TkqListBoxStyle style)
{
    FStyle = style;
    viewport()->update();
}

void TkqPopupListbox::SetItemHeight(int height)
{
    if (height <= 0 || height == FItemHeight) return;
    FItemHeight = height;
    UpdateScrollRange();
    viewport()->update();
}

void TkqPopupListbox::SetItemIndex(int index)
{
    if (index < -1 || index >= Count()) index = -1;
    FItemIndex = index;
    if (index >= 0) {
        const int visible = std::max(1, viewport()->height() / FItemHeight);
        if (index < TopIndex()) SetTopIndex(index);
        else if (index >= TopIndex() + visible) SetTopIndex(index - visible + 1);
    }
    viewport()->update();
}

int TkqPopupListbox::TopIndex() const
{
    return verticalScrollBar()->value();
}

void TkqPopupListbox::SetTopIndex(int index)
{
    verticalScrollBar()->setValue(index);
}

TRect TkqPopupListbox::ItemRect(int index) const
{
    const int top = (index - TopIndex()) * FItemHeight;
    return TRect(0, top, viewport()->width(), top + FItemHeight);
}

int TkqPopupListbox::ItemAtPos(const QPoint& pos) const
{
    if (pos.y() < 0 || FItemHeight <= 0) return -1;
    const int index = TopIndex() + pos.y() / FItemHeight;
    return index < Count() ? index : -1;
}

void TkqPopupListbox::UpdateScrollRange()
{
    const int visible = std::max(1, viewport()->height() / std::max(1, FItemHeight));
    verticalScrollBar()->setRange(0, std::max(0, Count() - visible));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
}

void TkqPopupListbox::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void TkqPopupListbox::scrollContentsBy(int, int)
{
    viewport()->update();
}

int TkqPopupListbox::FindStringExact(int start, const QString& text) const
{
    const int n = Count();
    for (int k = 1; k <= n; ++k) {
        const int i = (start + k) % n;
        if (CompareLines(FLines.at(i), text) == 0) return i;
    }
    return -1;
}

int TkqPopupListbox::SelectString(int start, const QString& text)
{
    const int n = Count();
    if (text.isEmpty() || n == 0) return -1;
    if (start < -1 || start >= n) start = -1;
    for (int k = 1; k <= n; ++k) {
        const int i = (start + k + n) % n;
        if (FLines.at(i).startsWith(text, Qt::CaseInsensitive)) {
            SetItemIndex(i);
            return i;
        }
    }
    return -1;
}

void TkqPopupListbox::ChangeSelection(int index)
{
    if (index == FItemIndex || index < 0 || index >= Count()) return;
    SetItemIndex(index);
    FCombo->ListSelectionChanged();
}

void TkqPopupListbox::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    TCanvas canvas(painter);
    canvas.Font = TFont(FCombo->font(), FCombo->FontColor());
    canvas.Brush.Color = FCombo->Color();
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(TRect(0, 0, viewport()->width(), viewport()->height()));
    const int first = TopIndex();
    const int last = std::min(Count() - 1, first + viewport()->height() / std::max(1, FItemHeight) + 1);
    for (int i = first; i <= last; ++i) {
        TOwnerDrawState state;
        if (i == FItemIndex) state.Include(odSelected).Include(odFocused);
        canvas.Save();
        const TRect r = ItemRect(i);
        canvas.SetClipRect(r);
        canvas.Font = TFont(FCombo->font(), FCombo->FontColor());
        canvas.Brush.Color = state.Contains(odSelected) ? clHighlight : FCombo->Color();
        if (state.Contains(odSelected)) canvas.Font.Color = clHighlightText;
        canvas.Brush.Style = bsSolid;
        if (FStyle == lbStandard) {
            canvas.FillRect(r);
            canvas.Brush.Style = bsClear;
            canvas.TextOut(r.Left + 2, r.Top, FLines.at(i));
        } else {
            FCombo->DrawListItem(canvas, i, r, state);
        }
        canvas.Restore();
        // The selection draws as focused, as if the list had the focus.
        if (state.Contains(odSelected)) DrawFocusRect(canvas, r);
    }
}

void TkqPopupListbox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    FTracking = true;
    TApplication::Guard([this, event] { ChangeSelection(ItemAtPos(event->position().toPoint())); });
}

void TkqPopupListbox::mouseMoveEvent(QMouseEvent* event)
{
    if (!FTracking) return;
    TApplication::Guard([this, event] { ChangeSelection(ItemAtPos(event->position().toPoint())); });
}

void TkqPopupListbox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const bool tracked = FTracking;
    FTracking = false;
    if (tracked) TApplication::Guard([this, event] { FCombo->ListMouseUp(event->position().toPoint()); });
}

// ---------------------------------------------------------------------------------------------
// The combo box

TkqDBCustomComboBox::TkqDBCustomComboBox(QWidget* parent) : TkqDBCustomCombo(parent), FItems(this)
{
    FHistoryList = new TkqHistoryList(this);
    SetButtonStyle(cbsDownArrow);
    if (!BehaviourFlags[2]) Button()->OnClick = nullptr;
}

TkqDBCustomComboBox::~TkqDBCustomComboBox()
{
    FDestroying = true;
    RemoveMouseHook();
    if (FPopupList) FPopupList->hide();
    // The history saves itself while its combo still stands.
    delete FHistoryList;
    FHistoryList = nullptr;
}

QString TkqDBCustomComboBox::DisplayPart(const QString& line)
{
    int pos = 1;
    return NextToken(line, QStringLiteral("\t"), pos);
}

QString TkqDBCustomComboBox::StoredPart(const QString& line)
{
    int pos = 1;
    NextToken(line, QStringLiteral("\t"), pos);
    return pos > 0 ? NextToken(line, QStringLiteral("\t"), pos) : QString();
}

void TkqDBCustomComboBox::SetMapList(bool value)
{
    if (value == FMapList) return;
    FMapList = value;
    FListDirty = true;
}

void TkqDBCustomComboBox::SetItems(const QStringList& lines)
{
    FItems.Assign(lines);
    DataChange();
}

void TkqDBCustomComboBox::SetStyle(TComboBoxStyle style)
{
    if (style == FStyle) return;
    const TComboBoxStyle old = FStyle;
    FStyle = style;
    if (style == csSimple) SetShowButton(false);
    else if (old == csSimple) SetShowButton(true);
    update();
}

bool TkqDBCustomComboBox::IsCaretShown() const
{
    if (IsOwnerDrawn()) return false;
    return !(FStyle == csDropDownList && !ShowMatchText);
}

QString TkqDBCustomComboBox::StoredToDisplay(const QString& value) const
{
    if (!FMapList && !TwoColumnDisplay) return value;
    for (const QString& line : FItems.Lines())
        if (StoredPart(line) == value) return DisplayPart(line);
    return QString();
}

QString TkqDBCustomComboBox::DisplayToStored(const QString& text) const
{
    if (!FMapList && !TwoColumnDisplay) return text;
    for (const QString& line : FItems.Lines())
        if (DisplayPart(line) == text) return StoredPart(line);
    return text;
}

QString TkqDBCustomComboBox::GetStoredText() const
{
    if (FStyle == csDropDown && text().isEmpty()) return QString();
    return DisplayToStored(text());
}

bool TkqDBCustomComboBox::MapStoredToDisplay(const QString& value, QString& display) const
{
    if (!FMapList) return false;
    display = StoredToDisplay(value);
    if (display.isNull()) display = QStringLiteral("");
    return true;
}

int TkqDBCustomComboBox::ItemIndex() const
{
    return FPopupList ? FPopupList->ItemIndex() : FStoredIndex;
}

void TkqDBCustomComboBox::SetItemIndex(int index)
{
    FStoredIndex = index;
    EnsurePopupList();
    FPopupList->SetItemIndex(index);
    if (index >= 0 && index < FPopupList->Count()) setText(FPopupList->Line(index));
    else if (index == -1) setText(QString());
}

void TkqDBCustomComboBox::EnsurePopupList()
{
    if (!FPopupList) {
        FPopupList = new TkqPopupListbox(this);
        FListDirty = true;
    }
    if (FPopupList->Count() == 0 || FListDirty) FillPopupList();
    FListDirty = false;
}

void TkqDBCustomComboBox::FillPopupList()
{
    if (!FPopupList) FPopupList = new TkqPopupListbox(this);
    QStringList lines;
    for (const QString& line : FItems.Lines()) {
        if (FMapList) {
            lines << DisplayPart(line);
        } else {
            const QString stored = StoredPart(line);
            lines << (stored.isEmpty() ? DisplayPart(line) : stored);
        }
    }
    if (FHistoryList->Enabled) FHistoryList->LoadInto(lines);
    if (FHistoryList->Enabled && FHistoryList->MRUEnabled) {
        if (FItems.Sorted())
            std::stable_sort(lines.begin(), lines.end(), [](const QString& a, const QString& b) { return CompareLines(a, b) < 0; });
        FPopupList->SetSorted(false);
        const QStringList& entries = FHistoryList->Entries();
        const int n = int(entries.size());
        const int k = FHistoryList->MRUCount();
        for (int i = std::max(0, n - k); i < n; ++i) lines.insert(0, entries.at(i));
    }
    const int selected = FPopupList->ItemIndex();
    FPopupList->SetLines(lines);
    if (selected < FPopupList->Count()) FPopupList->SetItemIndex(selected);
    FListDirty = false;
}

int TkqDBCustomComboBox::FindItem(const QString& text, int start) const
{
    if (!FPopupList) return -1;
    if (start == 0) return FPopupList->FindStringExact(-1, text);
    const int n = FPopupList->Count();
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        if (EqualIgnoringCase(FPopupList->Line(i), text)) return i;
    }
    return -1;
}

void TkqDBCustomComboBox::SetTextFromValue(const QString& value)
{
    if (value == GetStoredText() && !(value.isEmpty() && FMapList)) return;
    if (FStyle == csDropDown && !FMapList) {
        setText(value);
        FStoredIndex = FindItem(value, 0);
        return;
    }
    int index = -1;
    if (FMapList) {
        for (const QString& line : FItems.Lines()) {
            if (StoredPart(line) != value) continue;
            const QString display = DisplayPart(line);
            setText(display);
            index = FindItem(display, 0);
            break;
        }
    } else if (!value.isEmpty()) {
        index = FindItem(value, 0);
    }
    SetItemIndex(index);
    if (index < 0 && FPopupList->ItemIndex() < 0) setText(QString());
}

void TkqDBCustomComboBox::DataChange()
{
    if (BehaviourFlags[1] || FDestroying) return;
    EnsurePopupList();
    TField* field = Field();
    if (FMapList) {
        SetTextFromValue(field ? field->AsString() : QString());
        update();
        return;
    }
    if (field) {
        SetTextFromValue(field->DisplayText());
        if (IsOwnerDrawn()) {
            FStoredIndex = FindItem(field->AsString(), 0);
            update();
        }
    }
    TkqDBCustomCombo::DataChange();
}

int TkqDBCustomComboBox::ListLineHeight() const
{
    if (ItemHeight > 0) return ItemHeight;
    return QFontMetrics(font()).height() + 2;
}

bool TkqDBCustomComboBox::ListWindowNeeded() const
{
    return FStyle != csSimple;
}

void TkqDBCustomComboBox::DropDown()
{
    if (FListVisible || !ListWindowNeeded()) return;
    update();
    FillPopupList();
    if (OnDropDown) {
        OnDropDown(this);
        if (DisableDropDownList) return;
        FillPopupList();
    } else if (DisableDropDownList) {
        return;
    }
    const bool mruInUse = FHistoryList->Enabled && FHistoryList->MRUEnabled;
    if (FStyle == csOwnerDrawFixed) FPopupList->SetStyle(lbOwnerDrawFixed);
    else if (FStyle == csOwnerDrawVariable) FPopupList->SetStyle(lbOwnerDrawVariable);
    else if (mruInUse || TwoColumnDisplay) FPopupList->SetStyle(lbOwnerDrawFixed);
    FPopupList->SetSorted(FItems.Sorted() && !mruInUse);
    FPopupList->setFont(font());
    const int lineHeight = ListLineHeight();
    FPopupList->SetItemHeight(lineHeight);

    const int lines = std::min(FPopupList->Count(), std::max(DropDownCount, 1));
    const int height = lines * lineHeight + 4;
    int width = DropDownWidth;
    if (width == 0) width = Column1Width != 0 ? Column1Width * 3 / 2 : this->width();

    int selection;
    if (IsOwnerDrawn() && Field()) selection = FindItem(Field()->AsString(), 0);
    else selection = text().isEmpty() ? -1 : FindItem(text(), 0);
    FPopupList->resize(width, height);
    FPopupList->SetItemIndex(selection);

    const QPoint p = mapToGlobal(QPoint(0, 0));
    int y = p.y() + this->height() - (BorderStyle() == 0 ? 0 : 1);
    const TRect work = GetDesktopWorkArea();
    const int workHeight = work.IsEmpty() ? GetSystemMetrics(SM_CYSCREEN) : work.Height();
    if (workHeight < y + height) y = p.y() - height;
    int x = p.x();
    if (x + width >= GetSystemMetrics(SM_CXSCREEN)) x = p.x() + this->width() - 1 - width;
    FPopupList->move(x, y);
    FPopupList->show();

    FListVisible = true;
    FNoKeysEnteredYet = true;
    if (focusPolicy() != Qt::NoFocus && !hasFocus()) setFocus(Qt::OtherFocusReason);
    if (!FInAutoDropDown && IsCaretShown()) selectAll();
    FSavedToolTip = toolTip();
    setToolTip(QString());
    update();
    InstallMouseHook();
    FTextBeforeDropDown = text();
}

void TkqDBCustomComboBox::CloseUp(bool accept)
{
    if (FListVisible && FPopupList) {
        if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
        QString newText;
        const int selected = FPopupList->ItemIndex();
        if (accept && !ReadOnly() && selected >= 0 && FPopupList->Count() > 0) newText = FPopupList->Line(selected);
        else if (FStyle == csDropDown) newText = text();
        else if (FStyle == csDropDownList && selected < 0) newText = text();
        FPopupList->hide();
        FListVisible = false;
        if (accept) {
            BehaviourFlags[1] = true;
            struct TGuard {
                TkqDBCustomComboBox* Combo;
                ~TGuard() { Combo->BehaviourFlags[1] = false; }
            } guard{this};
            if (newText != FTextBeforeDropDown && EditCanModify()) {
                if (!newText.isEmpty()) setText(newText);
                else if (FStyle == csDropDownList || FMapList) setText(QString());
                FStoredIndex = FPopupList->ItemIndex();
                MarkModified(true);
                if (FHistoryList->Enabled && isModified()) {
                    AddHistoryItem(text(), true);
                    FHistoryList->Save();
                }
            }
        }
        BehaviourFlags[1] = false;
        update();
        if (IsCaretShown()) selectAll();
        DoCloseUpEvent(accept);
        setToolTip(FSavedToolTip);
    }
    RemoveMouseHook();
}

void TkqDBCustomComboBox::SetDroppedDown(bool value)
{
    if (value && !FListVisible) DropDown();
    else if (!value && FListVisible) CloseUp(true);
}

void TkqDBCustomComboBox::ListSelectionChanged()
{
    if (!FSelectionFollowsKeys) return;
    if (Field() && !DataLink().Editing()) return;
    const int index = FPopupList->ItemIndex();
    if (index < 0) return;
    setText(FPopupList->Line(index));
    if (IsCaretShown()) selectAll();
}

void TkqDBCustomComboBox::ListMouseUp(const QPoint& viewportPos)
{
    if (FPopupList && FPopupList->viewport()->rect().contains(viewportPos)) CloseUp(true);
}

bool TkqDBCustomComboBox::event(QEvent* event)
{
    if (event->type() == CancelModeEventType()) {
        if (TComboMouseHook* hook = MouseHook(); hook && hook->FPosted == this) hook->FPosted = nullptr;
        QObject* sender = static_cast<TCancelModeEvent*>(event)->Sender;
        if (sender != this && sender != FPopupList && sender != Button())
            TApplication::Guard([this] { CloseUp(true); });
        return true;
    }
    if (event->type() == QEvent::KeyPress && FListVisible) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            TApplication::Guard([this] { CloseUp(true); });
        } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) {
            // The form's default and cancel buttons do not see these while the list is open.
            keyPressEvent(key);
            return true;
        }
    }
    return TkqDBCustomCombo::event(event);
}

void TkqDBCustomComboBox::focusOutEvent(QFocusEvent* event)
{
    if (!FDestroying) {
        TApplication::Guard([this] {
            CloseUp(true);
            if (FHistoryList->Enabled && isModified()) {
                AddHistoryItem(text(), true);
                FHistoryList->Save();
            }
        });
    }
    TkqDBCustomCombo::focusOutEvent(event);
}

void TkqDBCustomComboBox::DoEnter()
{
    TkqDBCustomCombo::DoEnter();
    if (FHistoryList->Enabled) FillPopupList();
}

void TkqDBCustomComboBox::DoExit()
{
    TkqDBCustomCombo::DoExit();
}

void TkqDBCustomComboBox::DoCut()
{
    if (FStyle == csDropDownList && ShowMatchText && !AllowClearKey) return;
    TkqDBCustomCombo::DoCut();
}

void TkqDBCustomComboBox::contextMenuEvent(QContextMenuEvent* event)
{
    // Cut and delete follow the combo's rules: a completed list-only text is not cut away.
    if (FStyle == csDropDownList && ShowMatchText && !AllowClearKey) {
        QMenu* menu = createStandardContextMenu();
        for (QAction* action : menu->actions()) {
            const QString name = action->objectName();
            if (name == QLatin1String("edit-cut") || name == QLatin1String("edit-delete") || name == QLatin1String("edit-paste")
                || name == QLatin1String("edit-undo") || name == QLatin1String("edit-redo"))
                action->setEnabled(false);
        }
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(event->globalPos());
        return;
    }
    TkqDBCustomCombo::contextMenuEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Drawing

void TkqDBCustomComboBox::DrawEditText(TCanvas& canvas, const TRect& rect, const QString& text, int x, int y)
{
    if (OnDrawItem && IsOwnerDrawn()) {
        FDrawingCanvas = &canvas;
        struct TClear {
            TkqDBCustomComboBox* Combo;
            ~TClear() { Combo->FDrawingCanvas = nullptr; }
        } clear{this};
        if (FListVisible) {
            canvas.Brush.Color = Color();
            canvas.Font.Color = FontColor();
        }
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(rect);
        TOwnerDrawState state;
        if (Focused()) state.Include(odFocused);
        OnDrawItem(this, FStoredIndex, rect, state);
        return;
    }
    TkqDBCustomCombo::DrawEditText(canvas, rect, text, x, y);
}

void TkqDBCustomComboBox::DrawListItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state)
{
    const bool selected = state.Contains(odSelected);
    if (OnDrawItem && IsOwnerDrawn()) {
        if (!selected) {
            canvas.Brush.Color = Color();
            canvas.Font.Color = FontColor();
            canvas.Brush.Style = bsSolid;
            canvas.FillRect(rect);
        }
        FDrawingCanvas = &canvas;
        try {
            OnDrawItem(this, index, rect, state);
        } catch (...) {
        }
        FDrawingCanvas = nullptr;
        return;
    }
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(rect);
    const QString line = FPopupList ? FPopupList->Line(index) : QString();
    if (TwoColumnDisplay && FPopupList && index < FPopupList->Count()) {
        const int column1 = Column1Width != 0 ? Column1Width : RectWidth(rect) / 2;
        const TRect first(rect.Left, rect.Top, rect.Left + column1, rect.Bottom);
        const TRect second(first.Right, rect.Top, rect.Right, rect.Bottom);
        const QString other = FMapList ? DisplayToStored(line) : StoredToDisplay(line);
        canvas.Brush.Style = bsClear;
        canvas.TextRect(first, first.Left + 1, first.Top + 1, line);
        canvas.TextRect(second, second.Left + 1, second.Top + 1, other);
    } else {
        canvas.Brush.Style = bsClear;
        canvas.TextOut(rect.Left + 2, rect.Top, line);
    }
    // The most recent history entries are set off from the rest.
    const int mru = FHistoryList->MRUCount();
    if (mru > 0 && (index == mru - 1 || index == mru)) {
        canvas.Pen.Color = clBtnShadow;
        const int y = index == mru - 1 ? rect.Bottom - 1 : rect.Top + 1;
        canvas.MoveTo(rect.Left, y);
        canvas.LineTo(rect.Right, y);
    }
}

// ---------------------------------------------------------------------------------------------
// History operations

void TkqDBCustomComboBox::AddHistoryItem(const QString& value, bool toStore)
{
    QString text = value;
    TrimRightCharSet(text, QStringLiteral("\t "));
    if (text.isEmpty()) return;
    bool accept = true;
    if (OnAddHistoryItem) OnAddHistoryItem(this, text, accept);
    if (!accept) return;
    if (toStore) {
        QStringList& entries = FHistoryList->Entries();
        entries.removeAll(text);
        entries.append(text);
    }
    if (FPopupList && FPopupList->IndexOf(text) < 0) FPopupList->Add(text);
}

void TkqDBCustomComboBox::RemoveHistoryItem(const QString& text, bool fromStore)
{
    if (fromStore) FHistoryList->Entries().removeOne(text);
    if (!FPopupList) return;
    for (int n = 0; n < 2; ++n) {
        const int i = FPopupList->Lines().indexOf(text);
        if (i < 0) break;
        FPopupList->Delete(i);
    }
}

void TkqDBCustomComboBox::ClearHistory()
{
    FHistoryList->Entries().clear();
    FHistoryList->Save();
}
