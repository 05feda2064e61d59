// The data grid's keyboard, focus and mouse handling: navigation and editing keys, keys that
// controls inside the grid hand back to it, focus arrival and departure, clicks on cells and
// links, title presses that become title-button clicks or column drags, row sizing, the
// vertical scroll bar, and the cell editor's typing through picture masks.

#include "gridlib/grid/Kqdbigrd.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqpict.h"
#include "gridlib/core/Kqstr.h"
#include "platform/vcl/Dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScopeGuard>
#include <QScrollBar>

const TImageList* DropMarkerImages();

namespace {

// ---- The program's key hook: while a grid has the focus, keys typed into controls inside a
// data grid may belong to the grid (Enter and Tab, record and column moves).

TkqCustomDBGrid* NearestDBGrid(QWidget* w)
{
    for (; w; w = ControlParent(w))
        if (auto* grid = qobject_cast<TkqCustomDBGrid*>(w)) return grid;
    return nullptr;
}

QWidget* NearestGrid(QWidget* w)
{
    for (; w; w = ControlParent(w))
        if (IsClassOrAncestorNamed(w, "TCustomGrid")) return w;
    return nullptr;
}

class TGridKeyHook : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

TGridKeyHook* KeyHook = nullptr;

// The grid that keys of the focused control go to; none when the focus sits in the detail
// grid of an expanded expand button (that grid handles its own keys).
TkqCustomDBGrid* FindHostGrid(QWidget* active)
{
    TkqCustomDBGrid* db = NearestDBGrid(active);
    if (!db) return nullptr;
    QWidget* grid = NearestGrid(active);
    return grid && IsClassOrAncestorNamed(grid, "TkqCustomDBGrid") ? qobject_cast<TkqCustomDBGrid*>(grid) : nullptr;
}

void PostKey(QWidget* target, const QKeyEvent* original)
{
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, original->key(), original->modifiers(),
                                                      original->text(), original->isAutoRepeat()));
}

bool TGridKeyHook::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    QWidget* active = QApplication::focusWidget();
    // Only the first delivery, to the focused control, is looked at.
    if (!active || watched != active) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const int vk = KeyEventToVirtualKey(key);
    TShiftState shift = ShiftStateFromModifiers(key->modifiers());
    if (key->key() == Qt::Key_Backtab) shift.Include(ssShift);
    const bool down = type == QEvent::KeyPress;
    TkqCustomDBGrid* host = FindHostGrid(active);
    const bool ctrl = shift.Contains(ssCtrl), alt = shift.Contains(ssAlt);
    if (host && host == active) return false;

    if ((vk == VK_RETURN || vk == VK_TAB) && !ctrl && !alt) {
        if (!host) return false;
        // The grid's own cell editor passes Enter and Tab itself.
        if (active == host->InplaceEditor()) return false;
        if (!down) return true;
        if (host->KeyOptions().Contains(dgEnterToTab) || vk == VK_TAB) {
            PostKey(host, key);
            return true;
        }
        return false;
    }
    const bool navigation = vk == VK_PRIOR || vk == VK_NEXT || vk == VK_END || vk == VK_HOME || vk == VK_LEFT ||
                            vk == VK_UP || vk == VK_RIGHT || vk == VK_DOWN;
    if (ctrl && down && (navigation || vk == VK_DELETE)) {
        if (HasChildOutsideClient(active) || !host) return false;
        if (active == host->InplaceEditor()) return false;
        PostKey(host, key);
        return true;
    }
    const bool moves = vk == VK_PRIOR || vk == VK_NEXT || vk == VK_LEFT || vk == VK_UP || vk == VK_RIGHT ||
                       vk == VK_DOWN || vk == VK_INSERT;
    if (!moves || ctrl || alt || HasChildOutsideClient(active)) return false;
    if (!down || !host) return false;
    if (!host->isAncestorOf(active)) return false;
    const bool arrow = vk == VK_LEFT || vk == VK_UP || vk == VK_RIGHT || vk == VK_DOWN;
    if (arrow && !IsClassOrAncestorNamed(ControlParent(active), "TCustomGrid")) return false;
    if (auto* edit = qobject_cast<QLineEdit*>(active)) {
        const int len = int(edit->text().size());
        const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
        const int end = edit->hasSelectedText() ? edit->selectionEnd() : start;
        const bool masked = IsClassOrAncestorNamed(active, "TkqDBCustomEdit") &&
                            !FindPublishedProperty(active, "EditMask").read(active).toString().isEmpty();
        if (vk == VK_LEFT && !(start == 0 && (end == 0 || end == len || (masked && end == 1)))) return false;
        if (vk == VK_RIGHT && !((start == 0 || start == end) && end == len)) return false;
        // The grid's editor moves Up and Down itself.
        if (active == host->InplaceEditor() && vk != VK_LEFT && vk != VK_RIGHT) return false;
    }
    PostKey(host, key);
    return true;
}

} // namespace

// =============================================================================================
// Focus

void TkqCustomDBGrid::InstallKeyHook()
{
    if (KeyHook) return;
    KeyHook = new TGridKeyHook;
    qApp->installEventFilter(KeyHook);
}

void TkqCustomDBGrid::RemoveKeyHook()
{
    if (!KeyHook) return;
    qApp->removeEventFilter(KeyHook);
    delete KeyHook;
    KeyHook = nullptr;
}

void TkqCustomDBGrid::DoEnter()
{
    TCustomGrid::DoEnter();
    FGridFocused = true;
    if (FPaintOptions->ActiveRecordColor() != clNone && !FOptions.Contains(dgAlwaysShowSelection)) InvalidateCurrentRow();
    InstallKeyHook();
    InvalidateCell(Col(), Row());
}

void TkqCustomDBGrid::DoExit()
{
    if (!ParentGrid(this)) RemoveKeyHook();
    try {
        if (FDataLink->Active()) {
            TDataSet* ds = DataSet();
            if (FOptions.Contains(dgCancelOnExit) && ds && ds->State() == dsInsert && !ds->Modified() &&
                !FDataLink->IsModified()) {
                if (CancelInsertOnExit()) ds->Cancel();
                else UpdateData();
            } else {
                UpdateData();
            }
        }
        if (!FOptions.Contains(dgAlwaysShowSelection)) InvalidateCurrentRow();
    } catch (...) {
        // What cannot be written keeps the focus here; the handler already told the user.
        setFocus(Qt::OtherFocusReason);
        return;
    }
    TCustomGrid::DoExit();
    FGridFocused = false;
    InvalidateCurrentRow();
}

void TkqCustomDBGrid::FocusNeighbour(bool next)
{
    QWidget* w = this;
    for (int guard = 0; guard < 1000; ++guard) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == this) return;
        if (isAncestorOf(w) || w->window() != window()) continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

// =============================================================================================
// Keys

void TkqCustomDBGrid::KeyDown(int& key, TShiftState shift)
{
    if (FocusInExpandedDetail()) return;
    DoKeyDownEvent(key, shift);
    if (!key || !FDataLink->Active() || !CanGridAcceptKey(key, shift)) return;
    TDataSet* ds = DataSet();
    if (!ds) return;
    const bool ctrl = shift.Contains(ssCtrl);
    if (key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN) {
        Update();
        MoveCellControlOutOfView();
        if (!TakeFocus()) return;
    }
    if (ctrl) {
        switch (key) {
        case VK_PRIOR: case VK_UP:
            FDataLink->MoveBy(-FDataLink->ActiveRecord());
            break;
        case VK_NEXT: case VK_DOWN:
            FDataLink->MoveBy(FDataLink->BufferCount() - FDataLink->ActiveRecord() - 1);
            break;
        case VK_END: ds->Last(); break;
        case VK_HOME: ds->First(); break;
        case VK_LEFT:
            if (auto* parent = qobject_cast<TkqCustomDBGrid*>(ControlParent(this)); parent && IsClassOrAncestorNamed(parent, "TkqDBGrid"))
                parent->CollapseExpandButtons();
            else if (CurrentControlIsExpandButton()) CollapseExpandButtons();
            else SelectColumn(0);
            break;
        case VK_RIGHT: {
            bool expanded = false;
            if (CurrentControlIsExpandButton(&expanded)) {
                if (!expanded) ExpandCurrentButton();
            } else {
                SelectColumn(ds->FieldCount() - 1);
            }
            break;
        }
        case VK_DELETE:
            if (FKeyOptions.Contains(dgAllowDelete) && !FReadOnly && ds->CanModify() && FOptions.Contains(dgEditing)) {
                if (!FOptions.Contains(dgConfirmDelete) ||
                    MessageDlg(QStringLiteral("Delete record?"), mtConfirmation, mbOKCancel) != mrCancel) {
                    ds->Delete();
                    HideEditor();
                }
            }
            break;
        default:
            return;
        }
        key = 0;
        return;
    }
    const bool focusKey = key == VK_TAB || key == VK_RETURN || (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT ||
                          key == VK_DELETE;
    if (focusKey)
        if (QWidget* control = CurrentCellControl(); control && control->isAncestorOf(QApplication::focusWidget()))
            setFocus(Qt::OtherFocusReason);
    if (!TakeFocus()) return;
    const int current = DataColumn(Col());
    switch (key) {
    case VK_TAB:
        if (shift.Contains(ssAlt)) return;
        TabToColumn(!shift.Contains(ssShift));
        break;
    case VK_RETURN:
        if (!FKeyOptions.Contains(dgEnterToTab)) return;
        TabToColumn(!shift.Contains(ssShift));
        break;
    case VK_ESCAPE:
        FDataLink->Reset();
        if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
        else if (OnCheckValue && CellEditor()) CheckEditText(CellEditor(), CellEditor()->Text());
        break;
    case VK_PRIOR: FDataLink->MoveBy(-VisibleRowCount()); break;
    case VK_NEXT: FDataLink->MoveBy(VisibleRowCount()); break;
    case VK_END:
        if (ds->FieldCount() == 1 || FOptions.Contains(dgRowSelect)) ds->Last();
        else SelectColumn(ds->FieldCount() - 1);
        break;
    case VK_HOME:
        if (ds->FieldCount() == 1 || FOptions.Contains(dgRowSelect)) ds->First();
        else SelectColumn(0);
        break;
    case VK_LEFT:
        if (FOptions.Contains(dgRowSelect)) PriorRecord();
        else SelectColumn(current - 1);
        break;
    case VK_UP: PriorRecord(); break;
    case VK_RIGHT:
        if (FOptions.Contains(dgRowSelect)) NextRecord();
        else if (FOptions.Contains(dgFixedEditable) && Col() < FixedCols() && Col() >= FIndicatorOffset)
            SelectColumn(Col() == FixedCols() - 1 ? DataColumn(LeftCol()) : current + 1);
        else SelectColumn(current + 1);
        break;
    case VK_DOWN: NextRecord(); break;
    case VK_INSERT:
        if (!FReadOnly && FOptions.Contains(dgEditing) && FKeyOptions.Contains(dgAllowInsert)) ds->Insert();
        break;
    case VK_F2:
        if (TField* f = GetSelectedField(); f && !qobject_cast<TBlobField*>(f) && !IsCustomControlCell(Col(), Row()))
            SetEditorMode(true);
        break;
    default:
        return;
    }
    key = 0;
}

void TkqCustomDBGrid::KeyPress(QChar& key)
{
    if (FKeyOptions.Contains(dgEnterToTab) && key.unicode() == '\r') key = QLatin1Char('\t');
    const bool enter = key.unicode() == '\r' && !FOptions.Contains(dgAlwaysShowEditor);
    if (enter) UpdateData();
    TCustomGrid::KeyPress(key);
    if (!enter) return;
    if (!CanEditShow() && EditorMode()) {
        SetEditorMode(false);
        return;
    }
    QWidget* control = CurrentCellControl();
    if (CanEditShow() && control && GetControlWantReturns(control)) key = QLatin1Char('\r');
}

void TkqCustomDBGrid::NextRecord() { NextRecordOrAppend(true); }

void TkqCustomDBGrid::NextRecordOrAppend(bool allowAppend)
{
    TDataSet* ds = DataSet();
    if (!ds) return;
    if (ds->State() == dsInsert && !ds->Modified() && !FDataLink->IsModified()) {
        if (ds->Eof()) return;
        ds->Cancel();
    } else {
        ds->Next();
    }
    if (allowAppend && ds->Eof() && ds->CanModify() && !FReadOnly && FOptions.Contains(dgEditing) &&
        FKeyOptions.Contains(dgAllowInsert)) {
        HideCustomEdit();
        ds->Append();
    }
}

void TkqCustomDBGrid::PriorRecord()
{
    TDataSet* ds = DataSet();
    if (!ds) return;
    if (ds->State() == dsInsert && !ds->Modified() && ds->Eof() && !FDataLink->IsModified()) ds->Cancel();
    else ds->Prior();
}

void TkqCustomDBGrid::TabToColumn(bool forward)
{
    const int count = GetFieldCount();
    if (count <= 0) return;
    const int last = count - 1;
    const int b = DataColumn(Col());
    const bool fixedEditable = FOptions.Contains(dgFixedEditable);
    const int firstScrolled = FixedCols() - FIndicatorOffset;
    int n = b;
    for (int guard = 0; guard < 4 * (count + 2); ++guard) {
        n += forward ? 1 : -1;
        if (!forward && (fixedEditable ? n < 0 : n < firstScrolled)) {
            HideCustomEdit();
            if (FOptions.Contains(dgTabExitsOnLastCol)) {
                FocusNeighbour(false);
                return;
            }
            if (b != last && TabStops(last + FIndicatorOffset)) FSuppressShowEditor = true;
            PriorRecord();
            n = last;
        } else if (forward && n > last) {
            HideCustomEdit();
            if (FOptions.Contains(dgTabExitsOnLastCol)) {
                FocusNeighbour(true);
                return;
            }
            if (b == 0 && TabStops(FIndicatorOffset)) FSuppressShowEditor = true;
            NextRecord();
            n = 0;
        }
        if (n == b) {
            FSuppressShowEditor = false;
            return;
        }
        if (!TabStops(n + FIndicatorOffset)) {
            FSuppressShowEditor = false;
            continue;
        }
        FSuppressShowEditor = false;
        if (fixedEditable && forward && n == firstScrolled) n = DataColumn(LeftCol());
        const int target = n + FIndicatorOffset;
        if (!fixedEditable || target >= FixedCols()) {
            SelectColumn(n);
            return;
        }
        HideCustomEdit();
        MoveColRow(target, Row(), true, false);
        DoColEnter();
        InvalidateEditor();
        SetLeftCol(FixedCols());
        return;
    }
}

void TkqCustomDBGrid::ScrollColumnIntoView(int col)
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const bool rowVisible = Row() >= TopRow() && Row() <= info.Vert.LastFullVisibleCell;
    if (col < FixedCols() || ((col >= LeftCol() && col <= info.Horz.LastFullVisibleCell) && rowVisible)) return;
    // The leftmost first column from which col still fits whole.
    int left = col;
    int used = ColWidths(col) + info.Horz.EffectiveLineWidth;
    const int avail = info.Horz.GridExtent - info.Horz.FixedBoundary;
    while (left > FixedCols() && used + ColWidths(left - 1) + info.Horz.EffectiveLineWidth <= avail) {
        used += ColWidths(left - 1) + info.Horz.EffectiveLineWidth;
        --left;
    }
    BeginRedrawLock();
    if (col < LeftCol()) SetLeftCol(col);
    else if (col > info.Horz.LastFullVisibleCell) SetLeftCol(left);
    EndRedrawLock(false);
    InvalidateGrid();
}

// =============================================================================================
// Vertical scroll bar

void TkqCustomDBGrid::VertScroll(int code, int pos)
{
    MoveCellControlOutOfView();
    if (!TakeFocus() || !FDataLink->Active()) return;
    TDataSet* ds = DataSet();
    if (!ds) return;
    switch (code) {
    case SB_LINEUP: PriorRecord(); break;
    case SB_LINEDOWN: NextRecordOrAppend(false); break;
    case SB_PAGEUP: FDataLink->MoveBy(-VisibleRowCount()); break;
    case SB_PAGEDOWN: FDataLink->MoveBy(VisibleRowCount()); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        if (ds->IsSequenced()) {
            if (pos <= 1) ds->First();
            else if (pos < ds->RecordCount()) ds->SetRecNo(pos);
            else ds->Last();
            ds->Resync();
        } else {
            switch (pos) {
            case 0: ds->First(); break;
            case 1: FDataLink->MoveBy(-VisibleRowCount()); break;
            case 3: FDataLink->MoveBy(VisibleRowCount()); break;
            case 4: ds->Last(); break;
            default: break;
            }
        }
        break;
    case SB_TOP: ds->First(); break;
    case SB_BOTTOM: ds->Last(); break;
    default: break;
    }
    UpdateScrollBar();
}

void TkqCustomDBGrid::TimedScroll(int direction)
{
    if (!FDataLink->Active()) return;
    // bit 2 up, bit 3 down; sideways is the framework's.
    if (direction & 4) FDataLink->MoveBy(-(FDataLink->ActiveRecord() + 1));
    if (direction & 8) FDataLink->MoveBy(FDataLink->RecordCount() - FDataLink->ActiveRecord());
    if (direction & 3) TCustomGrid::TimedScroll(direction & 3);
}

// =============================================================================================
// Mouse

void TkqCustomDBGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    FSizingIndex = -1;
    FSizingWidth = 0;
    HideCellHint();
    const int notedRow = Row();
    if (button == mbLeft && shift.Contains(ssDouble)) {
        if (TakeFocus()) DblClick();
        return;
    }
    if (Sizing(x, y)) {
        TGridDrawInfo info;
        CalcDrawInfo(info);
        if (FOptions.Contains(dgRowResize) || ProportionalResizeActive()) {
            TGridState state;
            int index = -1, pos = 0, ofs = 0;
            CalcSizingState(x, y, state, index, pos, ofs, info);
            FSizingIndex = index;
            if (state == gsColSizing) FSizingWidth = ColWidths(index);
        }
        FWidthChangedColumn = MouseCoord(x - 8, y).X;
        UpdateData();
        GridMouseDown(button, shift, x, y);
        return;
    }
    const TGridCoord cell = MouseCoord(x, y);
    const bool cellChange = !(cell == TGridCoord{Col(), Row()}) && cell.X >= FIndicatorOffset;
    const int oldLeft = LeftCol();
    if (cell.Y < 0) {
        if (TakeFocus()) DoMouseDownEvent(button, shift, x, y);
        return;
    }
    if (cell.Y < FTitleOffset) {
        if (!TakeFocus()) return;
        PressTitle(x, y);
        if (GridOptions().Contains(goColMoving)) {
            if (cell.X >= FixedCols()) {
                if (button == mbLeft) BeginTitleTracking(x, y);
                DoMouseDownEvent(button, shift, x, y);
                return;
            }
            GridMouseDown(button, shift, x, y);
        }
        DoMouseDownEvent(button, shift, x, y);
        return;
    }
    if (FDataLink->Active()) {
        if (cell == TGridCoord{Col(), Row()} && !IsCustomControlCell(cell.X, cell.Y) && !IsMemoCell(cell.X, cell.Y))
            ShowCellEditor();
        const bool rowChange = cell.Y != Row();
        QScopedValueRollback<bool> suppressEditor(FSuppressShowEditor, rowChange ? true : FSuppressShowEditor);
        QScopedValueRollback<bool> suppressCell(FCellChangedSuppressed, true);
        if (cellChange) MoveCellControlOutOfView();
        if (!TakeFocus()) return;
        if (!FOptions.Contains(dgRowSelect) &&
            (cell.X >= FixedCols() || (FOptions.Contains(dgFixedEditable) && cell.X >= FIndicatorOffset)))
            SelectColumn(DataColumn(cell.X));
        FSuppressShowEditor = false;
        if (rowChange && DataSet()) DataSet()->MoveBy(cell.Y - notedRow);
        FCellChangedSuppressed = false;
        if (cellChange) DoCellChanged();
        TField* field = GetColumnField(DataColumn(cell.X));
        if (button == mbLeft && field && ColInfo(cell.X).ControlKind == QLatin1String("URL-Link")) OpenURLOfCell(field);
        // A click inside the row being edited moves between its cells: the selection (which
        // would post or drop the record first) stays as it is.
        const TDataSetState state = DataSet() ? DataSet()->State() : dsInactive;
        const bool insideEditedRow = !rowChange && (state == dsEdit || state == dsInsert);
        if (FOptions.Contains(dgMultiSelect) && !IsSelectionCheckBoxColumn(cell.X) && !insideEditedRow) {
            const TBookmark anchor = FShiftAnchor;
            const bool modifier = shift.Contains(ssCtrl) || shift.Contains(ssShift);
            if (modifier) {
                if (IsCurrentRecordSelected()) UnselectRecord();
                else SelectRecord();
            } else if (FMultiSelectOptions.Contains(msoAutoUnselect) && button == mbLeft) {
                UnselectAll();
                SelectRecord();
            }
            if (FMultiSelectOptions.Contains(msoShiftSelect) && (modifier || FMultiSelectOptions.Contains(msoAutoUnselect))) {
                FShiftSelecting = true;
                if (TDataSet* ds = DataSet()) {
                    ds->CheckBrowseMode();
                    if (FShiftAnchor == anchor) FShiftAnchor = ds->GetBookmark();
                }
            }
        }
    }
    // The current cell shows its new state at once.
    InvalidateCell(Col(), Row());
    if (!FEditControlOptions.Contains(ecoDisableCustomControls) && CurrentControlIsExpandButton()) PlaceCellControl();
    else Update();
    QWidget* control = CurrentCellControl();
    if (cellChange && control && !qobject_cast<QLineEdit*>(control) && LeftCol() == oldLeft && !shift.Contains(ssCtrl)) {
        const QPoint global = viewport()->mapToGlobal(QPoint(x, y));
        QWidget* target = control->childAt(control->mapFromGlobal(global));
        if (!target && control->rect().contains(control->mapFromGlobal(global))) target = control;
        if (target && target != control && target->isWindow() == false) {
            const QPointF local = target->mapFromGlobal(QPointF(global));
            QMouseEvent press(QEvent::MouseButtonPress, local, QPointF(global), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QMouseEvent release(QEvent::MouseButtonRelease, local, QPointF(global), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &press);
            QCoreApplication::sendEvent(target, &release);
        } else if (target == control) {
            const QPointF local = control->mapFromGlobal(QPointF(global));
            QMouseEvent press(QEvent::MouseButtonPress, local, QPointF(global), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(control, &press);
        }
    }
    Update();
    DoMouseDownEvent(button, shift, x, y);
}

void TkqCustomDBGrid::OpenURLOfCell(TField* field)
{
    QString display, link;
    SplitURLLink(field->AsString(), display, link);
    bool useDefault = true;
    DoURLOpen(link, field, useDefault);
    if (!useDefault) return;
    const int at = int(link.indexOf(QLatin1Char('@')));
    const int dot = int(link.indexOf(QLatin1Char('.')));
    if (!AsciiUpper(link).contains(QLatin1String("MAILTO:")) && at > 0 && dot > at) link = QStringLiteral("MailTo:") + link;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (OpenLink) OpenLink(link);
}

void TkqCustomDBGrid::SplitURLLink(const QString& value, QString& display, QString& link) const
{
    const int hash = int(value.indexOf(QLatin1Char('#')));
    display = hash < 0 ? value : value.left(hash);
    link = hash < 0 ? QString() : value.mid(hash + 1).section(QLatin1Char('#'), 0, 0);
    if (link.isEmpty()) link = display;
}

void TkqCustomDBGrid::DoURLOpen(QString& link, TField* field, bool& useDefault)
{
    if (OnURLOpen) OnURLOpen(this, link, field, useDefault);
}

void TkqCustomDBGrid::DoTitleButtonClick(const QString& fieldName)
{
    if (OnTitleButtonClick) OnTitleButtonClick(this, fieldName);
}

void TkqCustomDBGrid::PressTitle(int x, int y)
{
    if (!FTitleButtons) return;
    const TGridCoord cell = MouseCoord(x, y);
    if (cell.Y < 0 || cell.Y >= FTitleOffset) return;
    FTitlePress = {cell.X, cell.Y, false};
    InvalidateCell(cell.X, cell.Y);
    const int dc = DataColumn(cell.X);
    if (dc >= 0 && !GetColumn(dc)->GroupHeaderName().isEmpty()) {
        int first = 0, last = 0;
        const TRect header = GetGroupHeaderRect(cell.X, 0, true, first, last);
        TRect pressed;
        if (y >= header.Bottom) {
            pressed = GetTitleCellRect(cell.X, 0);
        } else {
            pressed = header;
            FTitlePress.Group = true;
        }
        InvalidateRect({pressed.Left, pressed.Top, pressed.Right + 1, pressed.Bottom + 1});
    }
}

void TkqCustomDBGrid::ClearTitlePress() { FTitlePress = TTitlePress(); }

void TkqCustomDBGrid::InvalidateTitleRow()
{
    if (FOptions.Contains(dgTitles)) InvalidateRect({0, 0, ClientWidth(), RowHeights(0) + 1});
}

void TkqCustomDBGrid::MouseMove(TShiftState shift, int x, int y)
{
    if (FTracking) {
        TrackTitleMove(x, y);
        return;
    }
    TCustomGrid::MouseMove(shift, x, y);
    TrackURLCell(x, y);
    ShowCellHint(x, y);
}

void TkqCustomDBGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (FTracking) TrackTitleRelease(x, y);
    const bool border = Sizing(x, y);
    const TGridState state = GridState();
    GridMouseUp(button, shift, x, y);
    if (border && state == gsColSizing && OnColWidthChanged) OnColWidthChanged(this, FWidthChangedColumn);
    if (border && state == gsRowSizing && FOptions.Contains(dgRowResize) && FSizingIndex >= 0) {
        const int h = QFontMetrics(font()).height();
        const int line = HasRowLines() ? 1 : 0;
        const int limit = ClientHeight() - 1 - (FOptions.Contains(dgTitles) ? RowHeights(0) : 0);
        const int height = std::min(RowHeights(FSizingIndex), limit);
        SetRowHeights(FSizingIndex, height);
        const int percent = std::max(int(std::nearbyint(height * 100.0 / (h + 2 + line))), FMinRowHeightPercent);
        if (percent != FRowHeightPercent) {
            FRowHeightPercent = percent;
            LayoutChanged();
        }
    }
    if (FTitlePress.Col >= 0) {
        const TGridCoord cell = MouseCoord(x, y);
        const TTitlePress pressed = FTitlePress;
        ClearTitlePress();
        InvalidateTitleRow();
        const int dc = DataColumn(pressed.Col);
        TField* field = GetColumnField(dc);
        if (cell.X == pressed.Col && cell.Y == pressed.Row && y >= 0 && field && !FSkipTitleClick) {
            const QString group = GetColumn(dc)->GroupHeaderName();
            int first = 0, last = 0;
            if (!group.isEmpty() && GetGroupHeaderRect(pressed.Col, 0, true, first, last).Contains(x, y))
                DoTitleButtonClick(group);
            else
                DoTitleButtonClick(field->FieldName());
        }
    }
    ClearTitlePress();
    FSkipTitleClick = false;
    FSizingIndex = -1;
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TkqCustomDBGrid::ColumnMoved(int fromIndex, int toIndex)
{
    const int from = fromIndex - FIndicatorOffset, to = toIndex - FIndicatorOffset;
    if (!FUseTFields) {
        if (from >= 0 && from < FSelected.size() && to >= 0 && to < FSelected.size()) FSelected.move(from, to);
        LayoutChanged();
    } else if (FDataLink->Active() && GetFieldCount() > 0) {
        TField* moved = GetField(from);
        TField* target = GetField(to);
        if (moved && target) moved->SetIndex(target->Index());
    }
    viewport()->update();
    if (OnColumnMoved) OnColumnMoved(this, from, to);
}

// ---- Title tracking: a press on a scrolled column's title that may become a column drag.

void TkqCustomDBGrid::BeginTitleTracking(int x, int y)
{
    FTracking = true;
    FDragging = false;
    FDragDirection = ddNone;
    FDragGroupName = FDragGroupMember = false;
    FRightScrollEdge = width();
    FSkipTitleClick = false;
    FTrackLastX = 0;
    FTrackStart = QPoint(x, y);
    FDragCol = MouseCoord(x, y).X;
    FDropCol = -1;
}

void TkqCustomDBGrid::TrackTitleMove(int x, int y)
{
    x = std::clamp(x, 0, ClientWidth());
    y = std::clamp(y, 0, ClientHeight());
    if (!FDragging) {
        if (std::abs(x - FTrackStart.x()) > 2 || std::abs(y - FTrackStart.y()) >= 3) StartTitleDrag(x, y);
        return;
    }
    FDragImagePos = QPoint(x - FGrabOffset, FDragPart.Top + FDragVertOffset);
    if (x > FTrackLastX) FDragDirection = ddRight;
    else if (x < FTrackLastX) FDragDirection = ddLeft;
    FTrackLastX = x;
    UpdateDropMarkers(x, false);
    viewport()->update();
}

void TkqCustomDBGrid::StartTitleDrag(int x, int y)
{
    Q_UNUSED(y);
    FSkipTitleClick = true;
    ClearTitlePress();
    const int col = FDragCol;
    const int dc = DataColumn(col);
    if (col < FixedCols() || dc < 0) {
        EndTitleTracking();
        return;
    }
    const QString group = GetColumn(dc)->GroupHeaderName();
    const TRect title = GetTitleCellRect(col, 0);
    if (!group.isEmpty()) {
        if (FTrackStart.y() >= title.Top) {
            FDragGroupMember = true;
            FDragPart = title;
        } else {
            FDragGroupName = true;
            FDragPart = GetGroupHeaderRect(col, 0, true, FDragFirstCol, FDragLastCol);
        }
    } else {
        FDragPart = title;
    }
    if (!FDragGroupName) FDragFirstCol = FDragLastCol = col;
    int imageWidth = std::max(FDragPart.Width(), ColWidths(col));
    const int cap = width() - (FShowVertScrollBar ? GetSystemMetrics(SM_CXVSCROLL) + 9 : 10) -
                    (FOptions.Contains(dgIndicator) ? ColWidths(0) + 2 : 0);
    imageWidth = std::max(1, std::min(imageWidth, cap));
    const int imageHeight = std::max(1, FDragPart.Height());
    FDragImage = QImage(imageWidth, imageHeight, QImage::Format_RGB32);
    FDragImage.fill(Qt::white);
    {
        TBitmap bitmap(imageWidth, imageHeight);
        TCanvas canvas(bitmap);
        TCanvas* saved = FCanvas;
        FCanvas = &canvas;
        QScopedValueRollback<bool> dragImage(FPaintingDragImage, true);
        auto restore = qScopeGuard([&] { FCanvas = saved; });
        const int dx = -FDragPart.Left;
        if (FDragGroupName) {
            const TRect full = GetCellRectDefaultHeight(col, 0);
            FDragImage = QImage(imageWidth, std::max(1, full.Height()), QImage::Format_RGB32);
            bitmap.SetSize(imageWidth, std::max(1, full.Height()));
            TCanvas whole(bitmap);
            FCanvas = &whole;
            DrawCell(col, 0, FDragPart.Offset(dx, 0), {gdFixed});
            for (int c = FDragFirstCol; c <= FDragLastCol; ++c) {
                const TRect member = GetTitleCellRect(c, 0);
                if (!member.IsEmpty()) DrawCell(c, 0, member.Offset(dx, 0), {gdFixed});
            }
            FCanvas = saved;
            FDragPart.Bottom = full.Bottom;
        } else {
            DrawCell(col, 0, FDragPart.Offset(dx, -FDragPart.Top), {gdFixed});
        }
        FDragImage = bitmap.Image().copy();
    }
    {
        QPainter p(&FDragImage);
        TCanvas c(p);
        const int w = FDragImage.width(), h = FDragImage.height();
        c.Pen.Color = clBtnHighlight;
        c.MoveTo(0, h - 1);
        c.LineTo(0, 0);
        c.LineTo(w - 1, 0);
        c.Pen.Color = clBlack;
        c.LineTo(w - 1, h - 1);
        c.LineTo(-1, h - 1);
    }
    FGrabOffset = FTrackStart.x() - FDragPart.Left;
    FDragging = true;
    FDragTimer.start();
    TGridDrawInfo info;
    CalcDrawInfo(info);
    if (info.Horz.LastFullVisibleCell < ColCount() - 1 || LeftCol() > FixedCols())
        FRightScrollEdge = width() - GetSystemMetrics(SM_CXVSCROLL);
    FDragImagePos = QPoint(x - FGrabOffset, FDragPart.Top + FDragVertOffset);
    FTrackLastX = x;
    UpdateDropMarkers(x, true);
    viewport()->update();
}

void TkqCustomDBGrid::TrackTitleTimer()
{
    if (!FDragging) {
        FDragTimer.stop();
        return;
    }
    const int x = FTrackLastX;
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const bool allVisible = info.Horz.LastFullVisibleCell >= ColCount() - 1;
    bool scrolled = false;
    const auto groupOf = [&](int c) { return c >= FIndicatorOffset && c < ColCount() ? GetColumn(DataColumn(c))->GroupHeaderName() : QString(); };
    const QString ownGroup = FDragGroupMember ? groupOf(FDragCol) : QString();
    if (FDragDirection == ddRight && x > FRightScrollEdge - 10 && !allVisible) {
        // A dragged group member stays within reach of its own group.
        if (!FDragGroupMember || groupOf(info.Horz.LastFullVisibleCell + 1) == ownGroup) {
            BeginRedrawLock();
            SetLeftCol(LeftCol() + 1);
            EndRedrawLock(false);
            scrolled = true;
        }
    } else if (FDragDirection == ddLeft && x - 10 < CellRect(LeftCol(), 0).Left && FixedCols() < LeftCol()) {
        if (!FDragGroupMember || groupOf(LeftCol() - 1) == ownGroup) {
            BeginRedrawLock();
            SetLeftCol(LeftCol() - 1);
            EndRedrawLock(false);
            scrolled = true;
        }
    }
    if (scrolled) {
        UpdateDropMarkers(x, true);
        viewport()->update();
    }
}

int TkqCustomDBGrid::DropColumnAt(int x) const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    int col = MouseCoord(x, std::min(5, std::max(0, RowHeights(0) - 1))).X;
    const bool allVisible = info.Horz.LastFullVisibleCell >= ColCount() - 1;
    const TRect lastRect = CellRect(ColCount() - 1, 0);
    if (allVisible && !lastRect.IsEmpty() && x >= lastRect.Right) col = ColCount() - 1;
    if (col < 0) col = x < info.Horz.FixedBoundary ? FixedCols() : ColCount() - 1;
    return std::clamp(col, FixedCols(), ColCount() - 1);
}

void TkqCustomDBGrid::UpdateDropMarkers(int x, bool forced)
{
    int drop = DropColumnAt(x);
    const auto groupOf = [&](int c) { return c >= FIndicatorOffset && c < ColCount() ? GetColumn(DataColumn(c))->GroupHeaderName() : QString(); };
    const QString dropGroup = groupOf(drop);
    if (FDragGroupMember) {
        const QString own = groupOf(FDragCol);
        int first = FDragCol, last = FDragCol;
        while (first - 1 >= FixedCols() && groupOf(first - 1) == own) --first;
        while (last + 1 < ColCount() && groupOf(last + 1) == own) ++last;
        drop = std::clamp(drop, first, last);
    } else if (!dropGroup.isEmpty()) {
        int first = drop, last = drop;
        while (first - 1 >= FixedCols() && groupOf(first - 1) == dropGroup) --first;
        while (last + 1 < ColCount() && groupOf(last + 1) == dropGroup) ++last;
        drop = FDragDirection == ddRight ? last : first;
    }
    if (drop == FDropCol && !forced) return;
    FDropCol = drop;
    InvalidateRect({CellRect(0, 0).Right, 0, ClientWidth(), RowHeights(0) + 1});
}

void TkqCustomDBGrid::PaintDragOverlay(TCanvas& canvas)
{
    if (FDragImage.isNull()) return;
    canvas.DrawImage(FDragImagePos.x(), FDragImagePos.y(), FDragImage);
    const TImageList* markers = DropMarkerImages();
    if (!markers || FDropCol < 0) return;
    const bool ownGroup = FDragGroupName && FDropCol >= FDragFirstCol && FDropCol <= FDragLastCol;
    if (ownGroup) return;
    const TRect drop = FDragGroupMember ? GetTitleCellRect(FDropCol, 0) : GetCellRectDefaultHeight(FDropCol, 0);
    if (drop.IsEmpty()) return;
    const bool right = FDropCol > FDragCol || (FDropCol == FDragCol && FDragDirection == ddRight);
    const int boundary = right ? drop.Left + ColWidths(FDropCol) : drop.Left - 1;
    const int top = FDragGroupMember ? drop.Top : 0;
    const int w = markers->Width();
    int x = boundary - w;
    if (x + w > ClientWidth()) x = ClientWidth() - w;
    markers->Draw(canvas, x, top, 0);
    markers->Draw(canvas, boundary + 1, top, 1);
}

void TkqCustomDBGrid::TrackTitleRelease(int x, int y)
{
    Q_UNUSED(y);
    if (!FDragging) {
        EndTitleTracking();
        return;
    }
    x = std::clamp(x, 0, ClientWidth());
    FDragTimer.stop();
    const int from = FDragCol;
    UpdateDropMarkers(x, true);
    const int drop = FDropCol;
    ClearTitlePress();
    EndTitleTracking();
    if (drop >= 0 && drop != from) MoveDroppedColumns(from, drop);
    InvalidateGrid();
}

void TkqCustomDBGrid::EndTitleTracking()
{
    FTracking = false;
    FDragging = false;
    FDragTimer.stop();
    FDragImage = QImage();
    FDropCol = -1;
    viewport()->update();
}

void TkqCustomDBGrid::MoveDroppedColumns(int from, int to)
{
    const auto groupOf = [&](int c) { return c >= FIndicatorOffset && c < ColCount() ? GetColumn(DataColumn(c))->GroupHeaderName() : QString(); };
    if (FDragGroupName) {
        // The whole group moves member by member and keeps its order.
        const int first = FDragFirstCol, last = FDragLastCol;
        const int count = last - first + 1;
        if (to >= first && to <= last) return;
        if (to < first) {
            for (int i = 0; i < count; ++i) MoveColumn(first + i, to + i);
        } else {
            for (int i = 0; i < count; ++i) MoveColumn(first, to);
        }
        return;
    }
    if (FDragGroupMember) {
        if (groupOf(to) == groupOf(from)) MoveColumn(from, to);
        return;
    }
    const QString target = groupOf(to);
    if (!target.isEmpty()) {
        int first = to, last = to;
        while (first - 1 >= FixedCols() && groupOf(first - 1) == target) --first;
        while (last + 1 < ColCount() && groupOf(last + 1) == target) ++last;
        to = to <= from ? first : last;
    }
    MoveColumn(from, to);
}

// =============================================================================================
// TkqInplaceEdit

TkqInplaceEdit::TkqInplaceEdit(TkqCustomDBGrid* grid) : TInplaceEdit(grid), FDBGrid(grid)
{
    FWordWrap = grid->Options().Contains(dgWordWrap);
}

void TkqInplaceEdit::SetWordWrap(bool value)
{
    // One line of text is all a cell editor shows; the switch is kept for the cell's own look.
    FWordWrap = value;
}

void TkqInplaceEdit::UpdateContents()
{
    SetWordWrap(FDBGrid->Options().Contains(dgWordWrap) &&
                FDBGrid->ColInfo(FDBGrid->Col()).ControlKind != QLatin1String("URL-Link"));
    TInplaceEdit::UpdateContents();
}

void TkqInplaceEdit::DoEnter()
{
    TDataSet* ds = FDBGrid->DataSet();
    TField* field = FDBGrid->GetSelectedField();
    if (!ds || !field) return;
    const TkqPictureMaskEntry entry = FindPictureMask(ChoosePictureMaskOwner(FDBGrid, ds), field->FieldName(), true);
    FPictureMask = entry.Mask;
    FAutoFill = entry.AutoFill;
    FAllowInvalidExit = false;
    FGridValidate = entry.GridValidate;
    FDBGrid->CheckEditText(this, field->EditText());
}

void TkqInplaceEdit::KeyDown(int& key, TShiftState shift)
{
    const bool enterToTab = FDBGrid->KeyOptions().Contains(dgEnterToTab);
    if ((key == VK_RETURN && enterToTab) || (key == VK_DELETE && shift.Contains(ssCtrl))) {
        FDBGrid->setFocus(Qt::OtherFocusReason);
        FDBGrid->KeyDown(key, shift);
        key = 0;
        update();
        return;
    }
    TInplaceEdit::KeyDown(key, shift);
}

void TkqInplaceEdit::KeyUp(int& key, TShiftState shift)
{
    if (key == VK_RETURN && FDBGrid->KeyOptions().Contains(dgEnterToTab)) key = VK_TAB;
    TInplaceEdit::KeyUp(key, shift);
    if (key == VK_DELETE && FDBGrid->OnCheckValue) FDBGrid->CheckEditText(this, Text());
}

void TkqInplaceEdit::KeyPress(QChar& key)
{
    if (FDBGrid->KeyOptions().Contains(dgEnterToTab) && key.unicode() == '\r') key = QLatin1Char('\t');
    TInplaceEdit::KeyPress(key);
    if (key.isNull()) return;
    if (key.unicode() == 10 && qobject_cast<TFloatField*>(FDBGrid->GetSelectedField())) {
        key = QChar();
        return;
    }
    if (!PictureCheckApplies()) return;
    bool passes = true;
    if (key.unicode() == 8) {
        if (!FDBGrid->OnCheckValue) return;
        QString shorter = Text();
        const int start = SelStart(), length = SelLength();
        if (length > 0) shorter.remove(start, length);
        else if (start > 0) shorter.remove(start - 1, 1);
        FDBGrid->CheckEditText(this, shorter);
        return;
    }
    if (key.unicode() < 32) return;
    if (!TypeThroughPicture(key, passes)) return;
    if (FDBGrid->OnCheckValue) FDBGrid->OnCheckValue(this, passes);
}

bool TkqInplaceEdit::TypeThroughPicture(QChar& key, bool& passes)
{
    const QString old = Text();
    const int start = SelStart(), length = SelLength();
    const bool wholeSelected = length > 0 && length == old.size();
    QString typed = old.left(start) + key + old.mid(start + length);
    if (MaxLength() > 0 && typed.size() > MaxLength() && old.size() < typed.size()) return false;
    // 0 complete, 1 incomplete, 2 empty, 3 error, 4 a malformed picture.
    const auto check = [this](QString& text, bool autoFill) { return int(TkqPictureValidator(FPictureMask, autoFill).Picture(text, autoFill)); };
    int result = check(typed, FAutoFill);
    if (FAutoFill && result == 3) {
        // A literal may be due where the character was typed: fill it in, then type again.
        QString blank = old.left(start) + QLatin1Char(' ') + old.mid(start + length);
        if (check(blank, true) != prError) {
            typed = blank + key;
            result = check(typed, true);
        }
    }
    const auto place = [&](int caret) {
        SetText(typed);
        SetSelStart(caret);
        SetSelLength(0);
    };
    switch (result) {
    case 0:
        place(wholeSelected ? int(typed.size())
              : typed.size() > old.size() ? start + int(typed.size() - old.size())
                                          : start + 1);
        FDBGrid->SetEditText(FDBGrid->Col(), FDBGrid->Row(), typed);
        key = QChar();
        passes = true;
        return true;
    case 1:
        place(wholeSelected ? int(typed.size()) : start + int(typed.size() - old.size()));
        FDBGrid->SetEditText(FDBGrid->Col(), FDBGrid->Row(), Text());
        key = QChar();
        passes = false;
        return true;
    case 3:
        if (start + length < old.size()) {
            passes = false;
            return true;
        }
        key = QChar();
        QApplication::beep();
        return false;
    default:
        passes = true;
        return true;
    }
}
