#pragma once
// Plain routines the workbench's windows share: field-type names, the read-only test, a
// quote-aware splitter, the row-key test, the data-file kind, and the field-definition
// tables through which the windows describe a file's fields.

#include <QString>
#include <QStringList>

class TClientDataSet;

// The name of a field-type code ("String", "DataSet", ...); "UnKown" outside 0-35.
QString FieldTypeName(int fieldType);
// The code whose name equals the text exactly; 1 (String) for any other text.
int FieldTypeFromName(const QString& name);

// True when two or more open windows have a caption that contains the path.
bool FileShownTwice(const QString& path);

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
