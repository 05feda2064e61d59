#pragma once
// Writing data files from field definitions: a new empty file, or an existing file rewritten
// with a new structure while its records are carried over field by field (nested records
// included). The structure window turns its tables into TFieldDefRow lists and calls these.
//
// A restructure never touches the old file until the new one is complete: the new packet is
// written through the atomic writer beside the old file and renamed over it only when whole.
// A flat structure streams from the old records straight into that file; one with nested
// datasets is built in memory first and read back before it is written. Any failure leaves
// the old file as it was and reaches the caller as an exception with the system's message.

#include <QList>
#include <QString>
#include <functional>

class TFieldDefs;

// One field definition as the structure window's tables hold it (texts, as typed).
struct TFieldDefRow {
    QString Name;
    QString OrgName;     // the field's name in the file; empty for a field the user added
    QString Type;        // field-type name ("String", "DataSet", ...)
    QString Size;        // decimal text; empty for none
    // The nested field list of a "DataSet" row.
    QList<TFieldDefRow> Children;

    // The name under which the field's data is found in the old file.
    QString OldName() const;
    bool IsDataSet() const { return Type == QLatin1String("DataSet"); }
};
using TFieldDefRows = QList<TFieldDefRow>;

// Adds one definition per row: the type named by Type (an unknown name gives String), the
// size from Size (0 when empty; a text that is no number raises EConvertError). A wide
// string's size is its number of characters, as the user typed it.
void BuildFieldDefs(TFieldDefs& defs, const TFieldDefRows& rows);


// True when a data file of this name is written as XML (the extension ".xml", any case).
bool IsXmlFileName(const QString& path);

// Writes an empty data file with the structure (XML for ".xml" names), atomically.
void WriteNewDataFile(const QString& path, const TFieldDefRows& rows);

// Rewrites the data file with the new structure. Every record of the file, in its order, gets
// one new record; each new field takes the value of the old field named by its row's OldName
// (a value the new type cannot take becomes empty); fields the old file lacks stay empty, old
// fields without a row are dropped. Nested records are copied the same way by the child rows.
// The file keeps its name and its format (XML when named ".xml" or when it was XML).
// progress, when given, is called every few thousand records with the count done so far, and
// about every 10 ms while the old file is read and a nested structure's file is produced,
// checked and written (that work then runs beside the caller's thread, which stays free to
// handle its messages in progress).
// Answers the number of records written.
qint64 RestructureDataFile(const QString& path, const TFieldDefRows& rows,
                           const std::function<void(qint64 done)>& progress = {});
