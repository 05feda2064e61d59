#pragma once
// Dataset services of the library's datasets, edits, lookup combo and incremental search:
// field values checked against picture masks (a whole record before it is posted, one text,
// one key typed into an edit), texts checked against a field's type, and moving a dataset to
// the record a user typed: by the keys of a table's active index, or by a field's value.

#include "gridlib/core/kqcommon.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <functional>

class QLineEdit;

// --- Picture masks

// An empty text matches; otherwise only a complete match counts (incomplete, error and a
// malformed picture do not).
bool ValueMatchesPicture(const QString& mask, const QString& text);
// Checks every field of the current record against its mask (the dataset's PictureMasks, found
// by property name), in field order. The first field that fails and is not read-only gets the
// focus, onInvalidValue runs, and EDatabaseError with the library's PictureValidateError text
// and the field's display name stops the post.
void ValidateRecordPictureMasks(TDataSet* dataSet, const TkqInvalidValueEvent& onInvalidValue);
// The edit's text with key in place of the selection.
QString TextAfterTyping(const QLineEdit* edit, QChar key);
// Applies one typed character through the mask when the selection reaches the end of the
// text: the text takes the key and the literals the mask fills in, a refused key beeps. True
// (and key cleared) when it handled the key; false for control keys, keys above 254 and a
// caret inside the text.
bool AutoFillEditByPicture(QLineEdit* edit, const QString& mask, bool autoFill, QChar& key);

// --- Texts against field types

bool IsValidTextForFieldType(TFieldType type, const QString& text);
bool IsValidTextForField(const TField* field, const QString& text);
// As IsValidTextForField, but an empty text is refused for number, date and time fields.
bool IsValidSearchText(const TField* field, const QString& text);
bool IsNumericFieldType(TFieldType type);
// The integer family (with auto-increment and large integers), and the float family (float,
// currency, BCD).
bool IsIntegerFieldType(TFieldType type);
bool IsFloatFieldType(TFieldType type);

// --- Searching by a field's value

// The generic record search: moves the dataset to the first record (fromFirst) or the next one
// after the current record whose field text matches (0 exact, 1 at the start, 2 anywhere;
// without case sensitivity both texts compared in upper case). No match: false, and the
// dataset stays where it was. The find engine plugs itself in here.
using TkqFindFieldValue = std::function<bool(bool fromFirst, TDataSet* dataSet, const QString& fieldName,
                                             const QString& value, int matchType, bool caseSensitive)>;
void SetRecordSearch(TkqFindFieldValue search);
bool HasRecordSearch();

// True at once when the current record's field text equals value already; otherwise the
// record search from the first record. A field the dataset lacks raises.
bool MoveToFieldValue(TDataSet* dataSet, const QString& value, const QString& fieldName, int matchType,
                      bool caseSensitive);

// --- Searching by the keys of a table's active index

// What the typed key search needs of an indexed table; the library's table class serves it.
class TkqIndexedTable {
public:
    virtual ~TkqIndexedTable() = default;
    // The fields of the active index, in order.
    virtual QStringList ActiveIndexFields() const = 0;
    // The active index is a named one (by IndexName, or IndexFieldNames is empty) and descending.
    virtual bool ActiveIndexNamedDescending() const = 0;
    // An index of the table serves the field case-insensitively.
    virtual bool FieldMapsToCaseInsensitiveIndex(const QString& fieldName) const = 0;
    virtual bool NarrowSearch() const { return false; }
    virtual bool SyncSQLByRange() const { return false; }
    virtual QChar NarrowSearchUpperChar() const { return QChar(255); }
    virtual bool IsSQLBased() const { return false; }
    virtual bool HasMasterSource() const { return false; }
    // The records from the key values on (a range to upper when it is given).
    virtual void SetRangeFromKey(const QStringList& values, const QStringList& upper = {}) = 0;
    virtual void ClearRange() = 0;
    // The nearest record at or after the key values.
    virtual void FindNearest(const QStringList& values) = 0;
};

// Moves an indexed table to the records that match text in index field keyIndex (0 the first
// field of the active index) and answers whether the record it ends on matches. A text that
// does not fit the field's type moves nothing; a table without index fields shows the warning
// "Table <name>: Table index not found"; any other dataset answers false.
bool FindNearestByText(TDataSet* table, const QString& text, int keyIndex);
// The first field of the table's active index is served case-insensitively.
bool ActiveIndexMapsCaseInsensitive(const TDataSet* table);
