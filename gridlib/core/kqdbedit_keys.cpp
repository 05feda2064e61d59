// How the data-aware edit treats keys: picture-mask typing with auto-fill, the data-aware key
// press (edit state, characters filtered by the field's type), dates completed part by part on
// Space, navigation keys handed to the grid the edit sits in, clipboard and undo.

#include "gridlib/core/kqdbedit.h"

#include "gridlib/core/Kqpict.h"
#include "gridlib/core/kqSystem.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqdbservices.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QMenu>

namespace {
constexpr QChar KeyBack(0x08), KeyTab(0x09), KeyEnter(0x0D), KeyEscape(0x1B), KeyCtrlV(0x16), KeyCtrlX(0x18);

Qt::KeyboardModifiers CurrentModifiers = Qt::NoModifier;
} // namespace

// ---------------------------------------------------------------------------------------------
// Picture typing

void TkqCustomMaskEdit::PictureKeyPress(QChar& key)
{
    FPictureChangedText = false;
    if (!PictureInUse()) {
        if (key == KeyEnter && !FWantReturns) key = QChar();
        return;
    }
    auto* dbEdit = qobject_cast<TkqDBCustomEdit*>(this);
    auto enterEdit = [dbEdit] {
        if (dbEdit) dbEdit->EnterEditState();
    };
    const QString old = text();
    const int selLen = int(selectedText().size());
    const int selStart = selLen > 0 ? selectionStart() : cursorPosition();
    if (key == KeyBack) {
        enterEdit();
        if (OnCheckValue && !isReadOnly()) {
            QString after = old;
            if (selLen > 0) after.remove(selStart, selLen);
            else if (selStart > 0) after.remove(selStart - 1, 1);
            PassesPictureTest(after);
        }
        return;
    }
    if (key < QLatin1Char(' ')) {
        if (key == KeyEnter && !FWantReturns) key = QChar();
        return;
    }
    QString typed = old.left(selStart) + key + old.mid(selStart + selLen);
    if (FMaxLength > 0 && typed.size() > FMaxLength && typed.size() > old.size()) return;
    const bool autoFill = FPicture->AutoFill();
    TkqPictureValidator validator(FPicture->PictureMask(), autoFill);
    TkqPicResult r = validator.Picture(typed, autoFill);
    if (autoFill && BehaviourFlags[0] && r == prError) {
        typed = old.left(selStart) + QLatin1Char(' ') + old.mid(selStart + selLen);
        r = validator.Picture(typed, autoFill);
        if (r != prError) {
            typed += key;
            r = validator.Picture(typed, autoFill);
        }
    }
    bool beeped = false;
    bool letThrough = false;
    const bool wholeSelected = selLen > 0 && selLen == old.size();
    const int growth = int(typed.size() - old.size());
    if (r == prComplete || r == prIncomplete) {
        enterEdit();
        if (!isReadOnly()) {
            SetTextMarkingModified(typed);
            int caret;
            if (wholeSelected) caret = int(typed.size());
            else if (r == prComplete) caret = selStart + (growth > 0 ? growth : 1);
            else caret = selStart + (selLen == 0 ? std::max(growth, 1) : 1);
            setCursorPosition(std::min(caret, int(typed.size())));
            key = QChar();
            FPictureChangedText = true;
        }
    } else if (r == prError) {
        if (selStart + selLen < old.size()) {
            letThrough = true;
        } else {
            key = QChar();
            QApplication::beep();
            beeped = true;
        }
    }
    if (!beeped && !isReadOnly()) DoCheckValue(!(r == prIncomplete || letThrough));
    if (key == KeyEnter && !FWantReturns) key = QChar();
}

// ---------------------------------------------------------------------------------------------
// The data-aware key press

void TkqDBCustomEdit::KeyPress(QChar& key)
{
    TkqGridHost* host = ParentGridHost(this);
    if (host) {
        host->GridKeyPress(key);
        if (key.isNull()) return;
    }
    if (key == KeyTab) {
        key = QChar();
        return;
    }
    TField* field = FDataLink.Field();
    if (key >= QLatin1Char(' ') || key == KeyBack || (key == KeyEnter && WantReturns())) {
        const TDataSource* source = FDataLink.DataSource();
        const TDataSet* ds = source ? source->DataSet() : nullptr;
        if (source && !source->AutoEdit() && !(ds && (ds->State() == dsEdit || ds->State() == dsInsert))) {
            key = QChar();
            return;
        }
        if (!field) {
            if (ReadOnly()) {
                key = QChar();
                return;
            }
            setReadOnly(false);
        } else if (IsCalculatedOrLookup(field) && !ReadOnly()) {
            TDataSet* fieldSet = field->DataSet();
            if (!field->ReadOnly() && fieldSet && fieldSet->CanModify()) {
                if (fieldSet->State() != dsEdit && fieldSet->State() != dsInsert) fieldSet->Edit();
                setReadOnly(false);
            }
        }
    }
    if (!(Picture()->AutoFill() && PictureInUse()) && AutoFillDate && key == QLatin1Char(' ')) {
        EnterEditState();
        if (!(CurrentModifiers & Qt::ControlModifier) && DateAutoFill()) {
            if (OnCheckValue) PassesPictureTest(text());
            key = QChar();
            return;
        }
    }
    const QChar original = key;
    PictureKeyPress(key);
    bool dropAtEnd = false;
    if (key.isNull() && !PictureChangedText() && !EditMask().isEmpty()) {
        key = original;
        dropAtEnd = true;
    }
    if (PictureChangedText()) MarkModified(true);
    if (key.isNull()) return;

    QString mapped;
    const bool maps = field && MapStoredToDisplay(field->AsString(), mapped);
    if (field && !maps && key >= QLatin1Char(' ')) {
        const auto* numeric = qobject_cast<const TNumericField*>(field);
        bool ok;
        if (numeric && !numeric->DisplayFormat().isEmpty() && IsIntegerFieldType(field->DataType()))
            ok = key == QLatin1Char('+') || key == QLatin1Char('-') || (key.isDigit() && key.unicode() < 128);
        else if (numeric && !numeric->DisplayFormat().isEmpty() && IsFloatFieldType(field->DataType()))
            ok = key == QLatin1Char('+') || key == QLatin1Char('-') || (key.isDigit() && key.unicode() < 128)
                 || key == QLatin1Char('E') || key == QLatin1Char('e') || key == FormatSettings.DecimalSeparator;
        else
            ok = field->IsValidChar(key);
        if (!ok) {
            QApplication::beep();
            key = QChar();
            return;
        }
    }
    if (key == KeyBack || key == KeyCtrlV || key == KeyCtrlX || key >= QLatin1Char(' ')) {
        FDataLink.Edit();
        MarkModified(true);
        if (!IsCaretShown()) key = QChar();
    } else if (key == KeyTab) {
        if (host) key = QChar();
    } else if (key == KeyEnter) {
        if (WantReturns()) {
            FDataLink.Edit();
            MarkModified(true);
        } else if (host) {
            key = QChar();
        }
    } else if (key == KeyEscape) {
        Reset();
        update();
        key = QChar();
        if (host)
            if (QWidget* grid = ParentGrid(this)) grid->setFocus(Qt::OtherFocusReason);
    }
    if (dropAtEnd) key = QChar();
}

// ---------------------------------------------------------------------------------------------
// Date auto-fill

bool TkqDBCustomEdit::DateAutoFill()
{
    if (isReadOnly()) return false;
    const bool timeField = IsTimeField();
    const bool dateField = IsDateField();
    const bool dateTimeField = IsDateTimeField();
    if (!timeField && !dateField && !dateTimeField) return false;
    const QString old = text();
    const int selLen = int(selectedText().size());
    const bool wholeSelected = selLen == old.size() && (selLen == 0 || selectionStart() == 0);
    const bool atEnd = selLen == 0 && cursorPosition() == old.size();
    if (!wholeSelected && !atEnd) return false;
    if (FDataLink.Field() && FDataLink.ReadOnly()) {
        QApplication::beep();
        return true;
    }
    QString s = wholeSelected ? QString() : old;
    const QDateTime now = QDateTime::currentDateTime();
    if (!IsAutoEditOff()) FDataLink.Edit();
    const QChar ds = FormatSettings.DateSeparator, ts = FormatSettings.TimeSeparator;
    auto finish = [this](const QString& value) {
        setText(value);
        setCursorPosition(int(value.size()));
        MarkModified(true);
        return true;
    };
    const bool dateComplete = s.count(ds) >= 2 && !s.endsWith(ds);
    const int caret = int(s.size());
    TkqDateTimePart part;
    if (timeField) {
        part = TimePartAtCaret(caret, s);
    } else if (wholeSelected) {
        const int order = GetDateOrder(FormatSettings.ShortDateFormat);
        part = order == 1 ? dtpDay : order == 2 ? dtpYear : dtpMonth;
    } else {
        if (!dateComplete && !s.endsWith(ds)) return finish(s + ds);
        part = DateTimePartAtCaret(caret, s, false);
    }
    if ((dateComplete || timeField) && part <= dtpYear) part = dtpHour;

    const QString format = FormatSettings.ShortDateFormat.toLower();
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    if (part <= dtpYear) {
        const QDate today = now.date();
        if (part == dtpDay) s += format.contains(QLatin1String("dd")) ? two(today.day()) : QString::number(today.day());
        else if (part == dtpMonth)
            s += format.contains(QLatin1String("mm")) ? two(today.month()) : QString::number(today.month());
        else s += format.contains(QLatin1String("yyyy")) ? QString::number(today.year()) : two(today.year() % 100);
        if (!s.endsWith(ds) && s.count(ds) < 2) s += ds;
        return finish(s);
    }
    if (dateField) return finish(s);
    const QString am = FormatSettings.TimeAMString, pm = FormatSettings.TimePMString;
    const bool timeComplete = s.count(ts) >= 2 && !s.endsWith(ts);
    bool hasAmPm;
    if (am.isEmpty() && pm.isEmpty()) {
        hasAmPm = timeComplete;
    } else {
        hasAmPm = (!am.isEmpty() && s.contains(am[0], Qt::CaseInsensitive))
                  || (!pm.isEmpty() && s.contains(pm[0], Qt::CaseInsensitive));
    }
    if (hasAmPm) return finish(s);
    if (timeComplete) part = dtpAmPm;
    const QTime time = now.time();
    switch (part) {
    case dtpHour: {
        if (dateTimeField && !s.endsWith(QLatin1Char(' '))) return finish(s + QLatin1Char(' '));
        int hour = time.hour();
        if (!am.isEmpty()) {
            hour %= 12;
            if (hour == 0) hour = 12;
        }
        s += QString::number(hour) + ts;
        break;
    }
    case dtpMinute:
        if (!s.endsWith(ts)) return finish(s + ts);
        s += two(time.minute()) + ts;
        break;
    case dtpSecond: s += two(time.second()); break;
    default:
        if (!s.endsWith(QLatin1Char(' '))) s += QLatin1Char(' ');
        s += time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
        break;
    }
    return finish(s);
}

// ---------------------------------------------------------------------------------------------
// Keys handed to the grid

bool TkqDBCustomEdit::RouteKeyToGrid(int& key, TShiftState shift)
{
    TkqGridHost* host = ParentGridHost(this);
    QWidget* grid = ParentGrid(this);
    if (!host || !grid) return false;
    const QString t = text();
    const int selLen = int(selectedText().size());
    const int selStart = selLen > 0 ? selectionStart() : cursorPosition();
    const int selEnd = selStart + selLen;
    if (IsMemoField() && !(selStart == 0 && selLen == t.size())) return false;
    const bool ctrl = shift.Contains(ssCtrl), alt = shift.Contains(ssAlt);
    const bool inDBGrid = ParentIsNamed(this, "TkqDBGrid");
    const bool inspector = IsInInspector(this);
    const bool atStart = selStart == 0 && (selEnd == 0 || selEnd == t.size() || (!EditMask().isEmpty() && selEnd == 1));
    const bool atEnd = selEnd == t.size() && (selStart == 0 || selLen == 0);
    bool toGrid = false;
    switch (key) {
    case VK_ESCAPE: toGrid = !isModified(); break;
    case VK_PRIOR: case VK_NEXT: case VK_UP: case VK_DOWN: toGrid = !alt; break;
    case VK_HOME: case VK_LEFT:
        toGrid = !inspector && inDBGrid && host->AlwaysShowEditor() && (ctrl || atStart);
        break;
    case VK_END: case VK_RIGHT:
        toGrid = !inspector && inDBGrid && host->AlwaysShowEditor() && (ctrl || atEnd);
        break;
    case VK_INSERT: toGrid = !shift.Contains(ssShift); break;
    case VK_DELETE: toGrid = ctrl; break;
    default: break;
    }
    if (!IsCaretShown() && (key == VK_END || key == VK_HOME || key == VK_LEFT || key == VK_RIGHT)) toGrid = true;
    if (toGrid) {
        grid->setFocus(Qt::OtherFocusReason);
        if (grid->hasFocus()) host->GridKeyDown(key, shift);
        key = 0;
        return true;
    }
    if (key == VK_F2) {
        if (host->HasOnKeyDown()) host->FireOnKeyDown(key, shift);
        if (key == VK_F2 && IsCaretShown()) deselect();
        key = 0;
        return true;
    }
    const bool active = QApplication::focusWidget() == this;
    if ((key == VK_RETURN || key == VK_TAB) && !active) return false;
    if (host->HasOnKeyDown()) host->FireOnKeyDown(key, shift);
    return key == 0;
}

void TkqDBCustomEdit::KeyDown(int& key, TShiftState shift)
{
    if (RouteKeyToGrid(key, shift) || key == 0) return;
    if (key == VK_DELETE || (key == VK_INSERT && shift.Contains(ssShift))) {
        if (FDataLink.Field()) {
            if (IsAutoEditOff()) {
                key = 0;
                return;
            }
            FDataLink.Edit();
            MarkModified(true);
        } else if (!ReadOnly()) {
            setReadOnly(false);
        }
    }
}

void TkqDBCustomEdit::KeyUp(int& key, TShiftState)
{
    if (key == VK_DELETE && OnCheckValue) PassesPictureTest(text());
}

bool TkqDBCustomEdit::PreviewKey(int key, TShiftState shift)
{
    if (key == VK_RETURN && WantReturns() && !shift.Contains(ssCtrl)) return false;
    TkqGridHost* host = ParentGridHost(this);
    QWidget* grid = ParentGrid(this);
    if (host && grid && (key == VK_RETURN || (key == VK_TAB && host->TabsMoveBetweenCells()))) {
        grid->setFocus(Qt::OtherFocusReason);
        if (grid->hasFocus()) {
            int k = key;
            host->GridKeyDown(k, shift);
        }
        return true;
    }
    return false;
}

bool TkqDBCustomEdit::event(QEvent* event)
{
    if (event->type() == RecreateWndEventType()) {
        RecreateWnd();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key() == Qt::Key_Backtab ? VK_TAB : KeyEventToVirtualKey(keyEvent);
        if ((key == VK_TAB || key == VK_RETURN)
            && PreviewKey(key, ShiftStateFromModifiers(keyEvent->modifiers()))) {
            return true;
        }
    }
    return TkqCustomMaskEdit::event(event);
}

void TkqDBCustomEdit::keyPressEvent(QKeyEvent* event)
{
    struct TModifiers {
        explicit TModifiers(Qt::KeyboardModifiers m) { CurrentModifiers = m; }
        ~TModifiers() { CurrentModifiers = Qt::NoModifier; }
    } modifiers(event->modifiers());
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers());
    int key = KeyEventToVirtualKey(event);
    if (key) {
        KeyDown(key, shift);
        if (key == 0) return;
    }
    if (event == QKeySequence::Paste) {
        PasteFromClipboard();
        return;
    }
    if (event == QKeySequence::Cut) {
        CutToClipboard();
        return;
    }
    if (event == QKeySequence::Undo) {
        UndoEdit();
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty()) {
        QChar ch = typed[0];
        if (CharCase() == ecUpperCase) ch = ch.toUpper();
        else if (CharCase() == ecLowerCase) ch = ch.toLower();
        KeyPress(ch);
        if (ch.isNull()) return;
        if (ch != typed[0]) {
            QKeyEvent changed(event->type(), event->key(), event->modifiers(), QString(ch));
            QLineEdit::keyPressEvent(&changed);
            return;
        }
    }
    // Escape and Enter the line edit leaves alone go on to the parent window.
    QLineEdit::keyPressEvent(event);
}

void TkqDBCustomEdit::keyReleaseEvent(QKeyEvent* event)
{
    int key = KeyEventToVirtualKey(event);
    KeyUp(key, ShiftStateFromModifiers(event->modifiers()));
    QLineEdit::keyReleaseEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Clipboard and undo

void TkqDBCustomEdit::PasteFromClipboard()
{
    if (!FDataLink.Field()) {
        if (ReadOnly()) return;
        setReadOnly(false);
    }
    if (IsAutoEditOff()) return;
    EnterEditState();
    const int oldCaret = cursorPosition();
    const int oldSize = int(text().size());
    paste();
    MarkModified(true);
    ApplyPictureAutoFill();
    if (cursorPosition() == 0) setCursorPosition(oldCaret + int(text().size()) - oldSize);
    if (OnCheckValue) PassesPictureTest(text());
}

void TkqDBCustomEdit::CutToClipboard()
{
    if (IsAutoEditOff()) return;
    EnterEditState();
    cut();
    MarkModified(true);
    if (OnCheckValue) PassesPictureTest(text());
}

void TkqDBCustomEdit::UndoEdit()
{
    if (IsAutoEditOff()) return;
    EnterEditState();
    undo();
    MarkModified(true);
}

void TkqDBCustomEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        std::function<void()> handler;
        if (name == QLatin1String("edit-paste")) handler = [this] { PasteFromClipboard(); };
        else if (name == QLatin1String("edit-cut")) handler = [this] { CutToClipboard(); };
        else if (name == QLatin1String("edit-undo")) handler = [this] { UndoEdit(); };
        if (!handler) continue;
        action->disconnect();
        connect(action, &QAction::triggered, this, [handler] { TApplication::Guard(handler); });
        if (name == QLatin1String("edit-paste"))
            action->setEnabled(!ReadOnly() && !QApplication::clipboard()->text().isEmpty());
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
