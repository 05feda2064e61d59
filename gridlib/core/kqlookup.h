#pragma once
// Lookup tables of the library's datasets over the database engine: each LookupFields line names a
// table, its result field and the index to search; the LookupLinks line at the same index pairs
// the dataset's fields with the lookup table's key fields. The tables are opened once, cached on
// the dataset and searched while it computes its calculated fields, positioned for the grid and
// the lookup combo, and searched for the record being filtered.

#include "gridlib/core/kqbde.h"

#include <QStringList>
#include <functional>

class TkqTable;

// A parameter holding the value of a named field of the record being filtered (a dataset's
// FieldAsParam).
using TkqParamSource = std::function<TParam*(const QString& fieldName)>;

// A split LookupFields line with at least six items whose last is exactly "N".
bool IsShortTableNameEntry(const QStringList& items);
// The part of the name before its first "." (all of it without one).
QString TableNameBeforeDot(const QString& name);
// The table's DatabaseName equals item 2 exactly, and its TableName item 3 (or the part of item
// 3 before its first "." for a short-name entry). Items count from 1: item 1 is the field.
bool LookupTableMatchesEntry(const TkqTable* table, const QStringList& items);

// Fills every lookup field of the current record (in the dataset's calculated-fields step).
void OpenLookupTables(TDataSet* dataSet, const QStringList& lookupFields, const QStringList& lookupLinks,
                      TkqLookupTableList& tables);
// Moves the lookup table to the record for the dataset's current link values (the split
// LookupLinks line); true when found.
bool SearchLookupTable(TkqTable* table, TDataSet* dataSet, const QStringList& links);
// Prepares a lookup table (a lookup combo's own) for one lookup field and searches it;
// keyFieldName receives the first item of the field's LookupLinks line.
bool PositionLookupTable(TDataSet* dataSet, TkqTable* lookupTable, const QString& fieldName, QString& keyFieldName);
// Moves the cached lookup table of a lookup field to the current record's key; resultField
// becomes the table's result field (the field itself when there is no such table).
bool SeekLookupTableForField(TField* field, QString& keyText, TField*& resultField);
// The lookup table's result field positioned for the record being filtered; none when not found.
TField* FindLookupResultField(TDataSet* dataSet, TField* field, const TkqParamSource& paramSource);
// The search step of FindLookupResultField; pairs alternate the dataset's and the lookup
// dataset's fields.
bool SearchLookupDataSet(TDataSet* dataSet, TDataSet* lookupDataSet, const QStringList& pairs,
                         const TkqParamSource& paramSource);
TParam* CallParamByName(const TkqParamSource& paramSource, const QString& fieldName);
