#pragma once
// Plain routines the workbench's windows share: field-type names, the read-only test, a
// quote-aware splitter, the row-key test, the data-file kind, and the field-definition
// tables through which the windows describe a file's fields; the settings file; the small
// builders of actions and labels.

#include "platform/data/DB.h"

#include <QIcon>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QLabel;
class QObject;
class QWidget;
class TClientDataSet;
class TDataSet;
class TFieldDefs;

// The name of a field-type code ("String", "DataSet", ...); "UnKown" outside 0-35.
QString FieldTypeName(int fieldType);
// The code whose name equals the text exactly; 1 (String) for any other text.
int FieldTypeFromName(const QString& name);

// True when two or more open windows have a caption that contains the path.
bool FileShownTwice(const QString& path);

// The same file, also when the two names are written differently.
bool SamePath(const QString& a, const QString& b);

// Appends the non-empty pieces of the text, split at the delimiter characters outside quotes
// (either quote character toggles one quote state; quotes stay in the piece).
void SplitDelimited(const QString& text, const QString& delimiters, QStringList& list);

// Page Up, Page Down, Up and Down (virtual key codes 33, 34, 38, 40).
bool IsRowNavigationKey(int virtualKey);

enum TDataFileKind : int { dfkUnknown = 0, dfkClientDataSet = 1, dfkMemTable = 2 };
// 1 for a binary (96 19 E0 BD) or XML ("<?xm") packet, 2 for a memory-table stream ("TPF0"),
// else 0. A missing or unreadable file raises EFOpenError; one shorter than four bytes
// raises EReadError.
int DetectDataFileKind(const QString& path);

// The field definitions of a data file, read from its header alone (the records are not read,
// so a file of a million records answers at once). A file that cannot be opened raises
// EFOpenError; one that is no data packet raises EDatabaseError naming the file.
void ReadFileFieldDefs(const QString& path, TFieldDefs& defs);

// The field-definition tables. Each declares its fields (in the order and with the sizes,
// display widths and flags every window relies on), its index and its order on a client
// dataset, and creates it open and empty; a dataset that was created before is emptied.
//
// Master list, one row per field: Pos, Name, Detail (calculated: 1 on the "DataSet" row),
// Type, Size, OrgName (hidden); unique index NAME_INX on Name; ordered by Pos.
void CreateFieldDefsTable(TClientDataSet* table);
// Nested list: Pos, Name, Type, Size, OrgName (hidden), Detail (calculated, hidden, always 1);
// ordered by Pos.
void CreateDetailTable(TClientDataSet* table);
// The frame's clipboard: Pos, Name, Type, Size, Precision, OrgName (hidden); unique index
// NAME_INX on Name; no order.
void CreateFieldDefsClipboard(TClientDataSet* table);

// True while the dataset holds a record being edited or inserted (false for none).
bool IsEditing(const TDataSet* ds);

// Appends one definition row (OrgName = name) and posts it.
void AppendDefinitionRow(TClientDataSet* table, int pos, const QString& name, const QString& type, const QString& size);

// Keeps a dataset's controls disabled for the life of the object.
class TControlsDisabled {
public:
    explicit TControlsDisabled(TDataSet* ds);
    ~TControlsDisabled();
    TControlsDisabled(const TControlsDisabled&) = delete;
    TControlsDisabled& operator=(const TControlsDisabled&) = delete;

private:
    TDataSet* FDataSet;
};

// Appends to the nested table the field list of the master's current row, read from the
// file: the nested-dataset field of that name (the row's OrgName, else its Name). When the
// file has no such field (or does not exist) one placeholder row "Dummy" String(50) is
// appended instead. The rows count as unchanged afterwards. The nested table is not emptied.
void LoadNestedStructure(TClientDataSet* master, TClientDataSet* nested, const QString& path);

// The settings file: "Quarrow.ini" in the program data folder, unless a test chose another.
QString SettingsFileName();
void SetSettingsFileName(const QString& fileName);

// Runs fn on each selected record that is still there (the cursor on it), or on the current
// record when nothing is selected.
void ForSelectedRecords(TDataSet* dataSet, const QList<TBookmark>& selected, const std::function<void()>& fn);

// An action named for the program's lookups. The hint is "Short|Long" (or one text for both):
// the short part is the tool tip, the long part the status-bar text.
QAction* NewAction(QObject* owner, const char* name, const QString& caption, const QString& hint,
                   const QIcon& icon = QIcon());
// A label in the bold face of its parent's font.
QLabel* BoldLabel(const QString& text, QWidget* parent);
