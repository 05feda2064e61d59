#pragma once
// What the data window does to its datasets, apart from the window itself: sorting by one
// column through two temporary indexes, copying records to the shared clipboard dataset (and
// as text) and pasting them back, and the name Save As proposes.

#include "platform/data/DB.h"

#include <QList>
#include <QString>

class TClientDataSet;

// Blobs, memos, graphics and nested datasets give no order.
bool CannotSort(TFieldType type);
// Deletes the sort indexes, "DownIndex" and "UpIndex" (the natural order becomes current).
void DropSortIndexes(TClientDataSet* dataSet);
// Orders the dataset by the field and moves to its first record. A failure leaves no sort
// index behind and propagates.
void SortByField(TClientDataSet* dataSet, const TField* field, bool ascending);

// Copies the given records (or the current one when there are none) into the clipboard
// dataset, which is made anew with the source's fields (every field but nested datasets, or
// only the chosen column); answers them as tab-separated text lines for the system clipboard.
QString CopyRecords(TDataSet* source, const QString& chosenColumn, const QList<TBookmark>& records,
                    TClientDataSet* clipboard);
// Appends every clipboard record to the target, fields matched by name (nested datasets left
// out). A failing record is cancelled and its error propagates; the ones before it stay.
void AppendClipboardRecords(TClientDataSet* clipboard, TDataSet* target);

// The name Save As proposes: the file part of the current name with the first occurrence of
// its extension (any case) replaced.
QString ProposedSaveName(const QString& fileName, const QString& newExtension);
