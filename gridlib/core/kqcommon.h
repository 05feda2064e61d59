#pragma once
// Services the grid library's controls share: properties read and written by name, controls
// found by name, and the per-field list lines (ControlType, Selected) the grid reads.

#include "platform/data/DB.h"
#include "platform/vcl/Controls.h"

#include <QString>
#include <QStringList>
#include <initializer_list>

class QObject;
class QWidget;

template <typename E>
using TkqSet = TSet<E>;

// --- Classes and properties by name

// True when the object's class, or one of its ancestors, has that name (ignoring case).
bool IsClassOrAncestorNamed(const QObject* object, const char* className);
// The control's DataSource/DataField properties, written by name; false when it has none.
bool SetControlDataSource(QObject* control, TDataSource* source);
bool SetControlDataField(QObject* control, const QString& fieldName);
TDataSource* GetControlDataSource(const QObject* control);
QString GetControlDataField(const QObject* control);
// A string-list property by name; false when the object has no such property.
bool GetStringListProperty(const QObject* object, const char* name, QStringList& list);
bool SetStringListProperty(QObject* object, const char* name, const QStringList& list);

// The window a control sits on (itself for a window); a child window of a multiple-document
// frame, not the frame.
QWidget* FindOwnerForm(QWidget* control);
// A control found by object name under root; "Frame.Edit" looks inside the child named Frame.
QWidget* FindNamedControl(QWidget* root, const QString& name);

// --- ControlType lines: FieldName;Kind;Params

// "CustomEdit", "LookupCombo", "Combo", "RichEdit", compared without regard to case.
bool IsEditControlType(const QString& kind);
// The last line whose field equals the name exactly; empty kind and params when none.
void GetControlTypeEntry(const QStringList& list, const QString& fieldName, QString& kind, QString& params);
// Changes the first line of the field (ignoring case): an empty kind or "field" removes it,
// any other replaces it; a field without a line gets one appended unless the kind is empty.
void StoreControlTypeEntry(QStringList& list, const QString& fieldName, const QString& kind, const QString& params);

// --- Selected lines: FieldName<TAB>DisplayWidth<TAB>Title[<TAB>ReadOnly[<TAB>GroupName]]

// Part k of a line (0 field, 1 width, 2 title, 3 read-only, 4 group); a missing read-only
// part reads "F", any other missing part reads empty.
QString SelectedPart(const QString& line, int part);
// The line with part k replaced; written lines have at least four parts.
QString WithSelectedPart(const QString& line, int part, const QString& value);
// Index of the first line whose field equals the name ignoring case; -1 when none.
int FindSelectedEntry(const QStringList& list, const QString& fieldName);
// The dataset's fields follow the list: listed fields visible in list order with the list's
// widths and titles, all others hidden. Raises EConvertError for a width that is no integer.
void ApplySelectedToFields(TDataSet* dataSet, const QStringList& list);
void BuildSelectedFromFields(const TDataSet* dataSet, QStringList& list);
