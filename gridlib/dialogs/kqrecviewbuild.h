#pragma once
// What the record view panel and the record view dialog share: which fields they show, which
// editor each gets, and the small steps of making and placing it.

#include "platform/data/DB.h"
#include "platform/vcl/Graphics.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QFont;
class QLabel;
class QObject;
class QWidget;
class TkqDBCheckBox;
struct TkqCustomControlItem;

namespace kqrecview {

// One field to show: from a Selected line or from the dataset's field list. A Selected line
// naming no field gives an entry without a field.
struct TEntry {
    TField* Field = nullptr;
    int DisplayWidth = 0;
    QString Title;
    bool ReadOnly = false;
};
// Raises EConvertError for a Selected width that is no number.
std::vector<TEntry> RecordEntries(const TDataSet* dataSet, const QStringList& selected);
bool AcceptsEntry(const TEntry& entry, bool hideReadOnly, bool hideCalculated);

enum TEditorKind : int { ekCheckBox, ekBorrowed, ekDateTime, ekRichEdit, ekMemo, ekEditMemo, ekImage, ekEdit };
struct TEditorChoice {
    TEditorKind Kind = ekEdit;
    QWidget* Borrowed = nullptr;
    QString ValueChecked, ValueUnchecked;
};
// control: the panel or dialog whose lists count; owners: where a borrowed control is looked
// for, in order (none skipped).
TEditorChoice ChooseEditor(QObject* control, const QList<const QObject*>& owners, TField* field, bool useCustomControls,
                           bool useDateTimePicker, bool editFrameInEffect);
// A new editor of the kind (not the borrowed or check-box kinds), parented and hidden.
QWidget* CreateEditor(TEditorKind kind, QWidget* parent);
// The label of an entry: a TkqLabel beside a check box, a plain label otherwise; hidden.
QLabel* CreateLabel(bool forCheckBox, const QFont& font, const QString& caption, QWidget* parent);
// A bound check box with its values; a read-only or calculated entry leaves the tab order and,
// with disable, is disabled. None when it cannot be bound.
TkqDBCheckBox* CreateCheckBox(QWidget* parent, QLabel* label, const TEditorChoice& choice, TDataSource* source,
                              const TField* field, bool readOnly, bool disable);
// A lent control looks like an edit of the record view: 3-D, with a single border unless its
// own frame draws one.
void PrepareBorrowedControl(QWidget* control);
// Where a lent control came from; and putting it back there (without parent, on fallback).
std::unique_ptr<TkqCustomControlItem> SaveControlItem(QWidget* control);
void RestoreControlItem(const TkqCustomControlItem& item, QWidget* fallbackParent);

// c x (DisplayWidth + 1) + 3.
int PlainEditWidth(int charWidth, int displayWidth);
// The width a drop-down button adds (the date-time picker's); 0 for other editors.
int EditorButtonWidth(const QWidget* editor);
// A control of a rich-edit class (by class name).
bool IsRichEditControl(const QObject* control);
// Background colour of an editor: its published Color, else its palette.
void SetEditorColor(QWidget* editor, TColor color);
// Reached by the Tab key or not (still focusable by a click).
void SetTabStop(QWidget* control, bool tabStop);
// Binds by the published DataSource and DataField; false when the control lacks either.
bool BindControl(QObject* control, TDataSource* source, const QString& fieldName);
// The label's caption with "~" as a blank.
QString LabelText(const QString& title);
int TextWidth(const QFont& font, const QString& text);
// An editor's modified flag, read and cleared through whatever the control offers.
bool EditorModified(const QWidget* editor);
void ClearEditorModified(QWidget* editor);

} // namespace kqrecview
