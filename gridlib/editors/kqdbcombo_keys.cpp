// How the combo box treats keys: which keys reach the edit, the drop-down handling and the
// open list; type-ahead in the open list and in the edit (completion, first letters);
// opening while typing; Up and Down while closed; clearing; the history entry made by Enter.

#include "gridlib/editors/kqdbcombo.h"

#include "gridlib/core/Kqstr.h"
#include "gridlib/core/kqcommon.h"

#include <QGuiApplication>

namespace {
constexpr ushort KeyBack = 0x08, KeyEnter = 0x0D, KeyEscape = 0x1B, KeyCtrlX = 0x18;

int SelStart(const QLineEdit* edit)
{
    return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

int SelLength(const QLineEdit* edit)
{
    return edit->hasSelectedText() ? int(edit->selectedText().size()) : 0;
}

// Selects from start to the end of the text (the caret at the end).
void SelectToEnd(QLineEdit* edit, int start)
{
    const int size = int(edit->text().size());
    start = std::clamp(start, 0, size);
    edit->setSelection(start, size - start);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// The window's key routing

void TkqDBCustomComboBox::KeyDownMessage(int& key, TShiftState shift)
{
    if (FListVisible && (key == VK_END || key == VK_HOME || key == VK_LEFT || key == VK_RIGHT)) {
        KeyDown(key, shift);
        return;
    }
    if (HandleDropDownKey(key, shift)) return;
    if (FListVisible && FPopupList) {
        int listKey = key;
        FPopupList->KeyDownMessage(listKey, shift);
        if ((key == VK_UP || key == VK_DOWN) && !shift.Contains(ssShift)) {
            key = 0;
            return;
        }
    }
    KeyDown(key, shift);
}

void TkqDBCustomComboBox::CharMessage(QChar& key)
{
    if (FListVisible && FPopupList) {
        QChar listKey = key;
        FPopupList->KeyPressMessage(listKey);
    }
    KeyPress(key);
}

// ---------------------------------------------------------------------------------------------
// The edit's keys

bool TkqDBCustomComboBox::BoundEditOrEditing()
{
    return !Field() || DataLink().Editing();
}

bool TkqDBCustomComboBox::EditForSelection()
{
    TField* field = Field();
    if (!field) return true;
    DataLink().Edit();
    if (DataLink().Editing()) return true;
    if (!IsCalculatedOrLookup(field) || !EditCanModify()) return false;
    TDataSet* ds = field->DataSet();
    if (ds && ds->State() != dsEdit && ds->State() != dsInsert) ds->Edit();
    return true;
}

bool TkqDBCustomComboBox::SelectItemForTypeAhead(int index, bool fromUpDown)
{
    EnsurePopupList();
    if (index < 0 || index >= FPopupList->Count()) return false;
    if (!EditForSelection()) return false;
    SetItemIndex(index);
    MarkModified(true);
    if (fromUpDown && IsCaretShown()) selectAll();
    return true;
}

void TkqDBCustomComboBox::KeyDown(int& key, TShiftState shift)
{
    if (key == VK_RETURN && FHistoryList->Enabled) AddHistoryItem(text(), true);
    const bool alt = shift.Contains(ssAlt) || (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier);
    if (!FListVisible && IsTypingKey(key) && key != VK_BACK && key != VK_DELETE && !alt && AutoDropDown) {
        FInAutoDropDown = true;
        struct TClear {
            bool& Flag;
            ~TClear() { Flag = false; }
        } clear{FInAutoDropDown};
        DropDown();
    }
    if (alt) shift.Include(ssAlt);
    const bool ctrlX = key == 'X' && shift.Contains(ssCtrl);
    if (ShowMatchText && FStyle == csDropDownList && (key == VK_DELETE || key == VK_BACK || ctrlX)) {
        if (AllowClearKey && selectedText().size() == text().size()) {
            bool proceed = true;
            if (!text().isEmpty() && Field()) proceed = EditForSelection();
            if (proceed) {
                SetItemIndex(-1);
                MarkModified(true);
            }
        }
        key = 0;
        return;
    }
    if (!FListVisible && !IsInGrid(this) && (key == VK_DOWN || key == VK_UP) && !alt) {
        const int index = key == VK_DOWN ? FStoredIndex + 1 : FStoredIndex - 1;
        SelectItemForTypeAhead(index, true);
        if (OnKeyDown) OnKeyDown(this, key, shift);
        key = 0;
        return;
    }
    if (FListVisible && (FStyle != csDropDown || AutoDropDown) && IsTypingKey(key) && FNoKeysEnteredYet) {
        EnterEditState();
        FNoKeysEnteredYet = false;
    }
    TkqDBCustomCombo::KeyDown(key, shift);
}

void TkqDBCustomComboBox::KeyPress(QChar& key)
{
    EnsurePopupList();
    const ushort code = key.unicode();
    if (code == KeyBack || code == KeyCtrlX) {
        if (FListVisible) {
            key = QChar();
            return;
        }
        if (FStyle == csDropDownList) {
            FillPopupList();
            QChar listKey = key;
            FPopupList->KeyPressMessage(listKey);
        }
    }
    const QString current = text();
    const int selStart = SelStart(this);
    const int selLength = SelLength(this);
    const QString typed = current.left(selStart) + key + current.mid(selStart + selLength);
    const bool typing = code >= 32 && code <= 254;
    if (ShowMatchText && typing && typed != current) {
        if (selStart >= typed.size() - 1) {
            const int n = FPopupList->Count();
            const int first = std::max(0, FHistoryList->MRUCount());
            for (int k = 0; k < n; ++k) {
                const int i = (first + k) % n;
                if (!FPopupList->Line(i).startsWith(typed, Qt::CaseInsensitive)) continue;
                if (SelectItemForTypeAhead(i, false) && BoundEditOrEditing())
                    SelectToEnd(this, int(typed.size()));
                key = QChar();
                return;
            }
            if (FStyle == csDropDownList) {
                key = QChar();
                return;
            }
        }
    } else if (!IsCaretShown() && typing) {
        const int n = FPopupList->Count();
        for (int k = 1; k <= n; ++k) {
            const int i = ((FStoredIndex + k) % n + n) % n;
            if (FPopupList->Line(i).startsWith(key, Qt::CaseInsensitive)) {
                SelectItemForTypeAhead(i, false);
                break;
            }
        }
        if (FStyle == csDropDownList) {
            key = QChar();
            return;
        }
    }
    const bool savedAutoFill = AutoFillDate;
    if (FMapList) AutoFillDate = false;
    TField* field = Field();
    TDataSet* ds = field ? field->DataSet() : nullptr;
    if (!FMapList && ds && ds->State() == dsBrowse && field->Text() != field->DisplayText()) {
        // Going into edit state shows the edit text; the typed key keeps its place.
        const int start = SelStart(this), length = SelLength(this);
        TkqDBCustomCombo::KeyPress(key);
        if (SelStart(this) == 0 && !key.isNull()) setSelection(start, length);
    } else {
        TkqDBCustomCombo::KeyPress(key);
    }
    AutoFillDate = savedAutoFill;
    if (key.unicode() == KeyEnter) key = QChar();
}

void TkqDBCustomComboBox::KeyUp(int& key, TShiftState shift)
{
    if (AllowClearKey && (key == VK_DELETE || key == VK_BACK)) {
        if (FListVisible) {
            if (text().isEmpty()) SetItemIndex(-1);
        } else if (FStyle == csDropDownList && !ShowMatchText) {
            EnterEditState();
            setText(QString());
            SetItemIndex(-1);
            MarkModified(true);
        }
    }
    TkqDBCustomCombo::KeyUp(key, shift);
}

// ---------------------------------------------------------------------------------------------
// The open list's keys

void TkqPopupListbox::KeyDownMessage(int& key, TShiftState)
{
    const int visible = std::max(1, viewport()->height() / std::max(1, FItemHeight));
    int index = FItemIndex;
    switch (key) {
    case VK_UP: index = index < 0 ? 0 : index - 1; break;
    case VK_DOWN: index = index + 1; break;
    case VK_PRIOR: index = index < 0 ? 0 : index - (visible - 1); break;
    case VK_NEXT: index = index + (visible - 1); break;
    case VK_HOME: index = 0; break;
    case VK_END: index = Count() - 1; break;
    default: return;
    }
    if (Count() == 0) return;
    index = std::clamp(index, 0, Count() - 1);
    const bool follows = key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT;
    FCombo->FSelectionFollowsKeys = follows;
    struct TClear {
        bool& Flag;
        ~TClear() { Flag = false; }
    } clear{FCombo->FSelectionFollowsKeys};
    ChangeSelection(index);
}

void TkqPopupListbox::KeyPressMessage(QChar& key)
{
    const ushort code = key.unicode();
    if (code == KeyEscape) {
        FSearchText.clear();
        return;
    }
    if (!(code == KeyBack || (code >= 32 && code <= 255))) return;
    TkqDBCustomComboBox* combo = FCombo;
    const TComboBoxStyle style = combo->Style();
    const int selStart = SelStart(combo), selLength = SelLength(combo);
    const QString current = combo->text();
    if (combo->IsOwnerDrawn()) {
        const qint64 now = TickCount();
        if (now - FLastSearchTick > 1500) FSearchText.clear();
        FLastSearchTick = now;
        // Backspace takes back the last character typed.
        if (code == KeyBack) FSearchText.chop(1);
        else FSearchText += key;
    } else {
        QString search = current;
        if (code == KeyBack) {
            if (selLength > 0) search.remove(selStart, selLength);
            else if (selStart > 0) search.remove(selStart - 1, 1);
        } else {
            search = current.left(selStart) + key + current.mid(selStart + selLength);
        }
        FSearchText = search;
    }
    const QString search = FSearchText.left(255);
    const int found = SelectString(combo->HistoryList()->MRUCount() - 1, search);
    if (found < 0) {
        if (code != KeyBack) {
            if (style != csDropDownList && combo->IsDroppedDown()) SetItemIndex(-1);
        } else if (search.isEmpty() && style == csDropDownList && combo->ShowMatchText) {
            SelectToEnd(combo, selStart - 1);
        } else if (style != csDropDownList) {
            SetItemIndex(-1);
            combo->setText(search);
            combo->setCursorPosition(int(search.size()));
        }
    } else if (code == KeyBack) {
        const QString line = Line(found);
        if (style == csDropDownList) {
            if (current.compare(line, Qt::CaseInsensitive) == 0) {
                SelectToEnd(combo, selStart - 1);
            } else if (current.startsWith(line, Qt::CaseInsensitive)) {
                combo->setText(line);
                combo->setCursorPosition(int(line.size()));
            } else {
                combo->setSelection(selStart, selLength);
                SelectToEnd(combo, selStart - 1);
            }
        } else {
            combo->setText(search);
            combo->setCursorPosition(int(search.size()));
            if (search.compare(line, Qt::CaseInsensitive) != 0) SetItemIndex(-1);
        }
    }
    key = QChar();
}
