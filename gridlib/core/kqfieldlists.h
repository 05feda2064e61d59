#pragma once
// The per-field string lists that the library's datasets and controls publish as properties,
// read and written by the same rules everywhere. Nothing caches parsed lines: every read
// parses the current text. Case is ignored for a-z and A-Z only; "T"/"F" flags are written in
// capitals and only "T" reads as true.
//
//   ControlType   FieldName;Kind;Params           which control edits or draws a field
//   PictureMasks  FieldName<TAB>Mask<TAB>AutoFill<TAB>GridValidate
//   Selected      FieldName<TAB>DisplayWidth<TAB>Title[<TAB>ReadOnly[<TAB>GroupName]]
//   LookupFields  FieldName;DatabaseName;TableName;ResultField;IndexName (or the long form)
//   LookupLinks   MasterField1;LookupField1[;MasterField2;LookupField2...]
//   FieldInfo     SqlName;FieldName;Qualifier;DisplayLabel;FieldType;Size

#include "platform/data/DB.h"

#include <QString>
#include <QStringList>

class QObject;
class QWidget;

// --- Choosing the list a control follows

// The control's dataset (from its DataSource when none is given) when the control's switch
// (ControlInfoInDataset, PictureMaskFromDataSet; on when it lacks one) is on and the dataset
// has the list; otherwise the control itself.
QObject* ChooseControlTypeOwner(QObject* control, QObject* dataSet = nullptr);
QObject* ChoosePictureMaskOwner(QObject* control, QObject* dataSet = nullptr);

// --- ControlType

// "CustomEdit", "LookupCombo", "Combo", "RichEdit", ignoring case.
bool IsEditControlType(const QString& kind);
// The last line whose field equals the name exactly; empty kind and params when none.
void GetControlTypeEntry(const QStringList& list, const QString& fieldName, QString& kind, QString& params);
void GetControlTypeEntry(const QObject* component, const QString& fieldName, QString& kind, QString& params);
// The windowed control, owned by owner, that the first edit-kind line of the field names.
QWidget* FindCustomEditControl(const QObject* control, const QObject* owner, const TField* field);
// A blob field marked "FieldName;RichEdit..." in its dataset's list or, with readValue, whose
// value begins with "{\rtf".
bool IsRichTextField(const TField* field, bool readValue);
// Changes the first line of the field (ignoring case): an empty kind or "field" removes it,
// another replaces it keeping the line's own spelling of the name; a field without a line
// gets one appended unless the kind removes.
void StoreControlTypeEntry(QStringList& list, const QString& fieldName, const QString& kind, const QString& params);
void StoreControlTypeEntry(QObject* component, const QString& fieldName, const QString& kind, const QString& params);

// --- PictureMasks

// A table with pictures of its own (the library's table class): they take precedence over the
// PictureMasks lines wherever the table's masks are asked for.
class TkqTablePictures {
public:
    virtual ~TkqTablePictures() = default;
    // The table's own picture of the field; empty when it defines none or lacks the field.
    virtual QString TablePicture(const QString& fieldName) const = 0;
};

struct TkqPictureMaskEntry {
    QString Mask;
    bool AutoFill = true;       // both flags read true for a field without a line
    bool GridValidate = true;
};
TkqPictureMaskEntry FindPictureMask(const QStringList& list, const QString& fieldName);
// With useTableMasks a table's own picture wins, and a line that gave another mask is rewritten
// to hold it.
TkqPictureMaskEntry FindPictureMask(QObject* component, const QString& fieldName, bool useTableMasks = true);
// Values whose Set flag is off keep the line's existing ones; an empty resulting mask removes
// the line. On a table with its own picture of the field, that picture is stored.
void StorePictureMask(QStringList& list, const QString& fieldName, const QString& mask, bool autoFill,
                      bool gridValidate, bool setMask, bool setAutoFill, bool setGridValidate);
void StorePictureMask(QObject* component, const QString& fieldName, const QString& mask, bool autoFill,
                      bool gridValidate, bool setMask, bool setAutoFill, bool setGridValidate);

// --- Selected

// Part k of a line (0 field, 1 width, 2 title, 3 read-only, 4 group); a missing or empty
// read-only part reads "F", any other missing part reads empty.
QString SelectedPart(const QString& line, int part);
// The line with part k replaced; written lines have at least four parts.
QString WithSelectedPart(const QString& line, int part, const QString& value);
// Index of the first line whose field equals the name ignoring case; -1 when none.
int FindSelectedEntry(const QStringList& list, const QString& fieldName);
// Listed fields visible in list order with the list's widths and titles, all others hidden.
// Raises EConvertError for a width that is no integer, EListError for a short line.
void ApplySelectedToFields(TDataSet* dataSet, const QStringList& list);
void BuildSelectedFromFields(const TDataSet* dataSet, QStringList& list);

// --- LookupFields and LookupLinks (the first line whose field equals the name exactly)

QString GetLookupLinkEntry(const QObject* dataSet, const QString& fieldName);
QString GetLookupResultFieldName(const QObject* dataSet, const QString& fieldName);
struct TkqLookupTableInfo {
    QString DatabaseName;
    QString TableName;
    QString ResultField;
    QString Links;
};
TkqLookupTableInfo GetLookupTableInfo(const TField* field);

// Removes the lines of fields the dataset no longer has; a LookupFields line goes with the
// LookupLinks line at its index. Any list may be absent.
void PurgeMissingFieldEntries(const TDataSet* dataSet, QStringList* lookupFields, QStringList* lookupLinks,
                              QStringList* controlType);
