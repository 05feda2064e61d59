#pragma once
// The library's filter texts on tables: a text such as a field compared with a value, combined
// with AND and OR, compiled into the filter-expression block the table's cursor takes (node
// classes and operator codes of the datasets' filter data), installed as the cursor's filter;
// and record-callback filters.
//
// Grammar (recursive descent, L the start; whatever follows a complete L is ignored):
//   L := R { (AND | OR) R }        R := E [ (= | <> | < | > | <= | >=) E ]
//   E := T { (+ | -) T }           T := P { (* | /) P }           P := "(" L ")" | operand
// Names run over blanks and digits and may hold ! # $ * + - / @ _ `, so field names with blanks
// need no quotes, and an unparenthesised "Amount * 2" is one name. A field must stand on the
// left of an operator; the operand on its right is a constant of the field's type.

#include "platform/data/FilterData.h"
#include "platform/tables/LocalTables.h"

#include <QByteArray>
#include <QString>
#include <memory>

// A node of the parsed text.
enum TkqNodeKind : quint8 { nkComparison = 0, nkLogical = 1, nkArithmetic = 2, nkOperand = 3 };

// Constant types, set on an operand from the field it is compared with (0: a field reference).
enum TkqConstType : quint8 {
    kctField = 0, kctString = 1, kctFloat = 2, kctTimeStamp = 3, kctDate = 4, kctTime = 5, kctBoolean = 6,
    kctInteger = 7, kctBCD = 8, kctSmallInt = 9
};

struct TNode {
    TkqNodeKind Kind = nkOperand;
    quint8 ConstType = kctField;
    qint32 Size = 0;          // decimal places of a BCD constant
    QString Text;             // the operator, field name or constant as written
    qint32 Offset = 0;        // byte offset in the node area, once written
    std::unique_ptr<TNode> Left;
    std::unique_ptr<TNode> Right;
};

// The constant type of a value compared with a field of that type.
TkqConstType ConstTypeForField(TFieldType type);

// The block, or a null array when the text does not parse, names an unknown field on the left of
// an operator (after the warning box "<name>\rField not found in Table. ") or needs more than the
// literal pool holds. Fields and the text's code page come from the table ApplyFilterText set, or
// the one given. A constant that does not convert raises the platform's conversion error.
QByteArray CompileFilter(const QString& text);
QByteArray CompileFilter(const QString& text, TTableDataSet* table);

// Installs the text as the table's cursor filter (dropping the one the handle names), or removes
// it for an empty text; an open table is refreshed. A closed table without force only clears the
// handle. False when the text does not compile, or the dataset has no table cursor or refuses it.
bool ApplyFilterText(const QString& text, TDataSet* table, TFilterHandle& filterHandle, bool force);
// Installs the callback as the dataset's record filter (dropping the one the handle names), or
// only drops it without a callback; an open table reads its records again. False without a table
// cursor.
bool InstallRecordFilterCallback(const TRecordFilterCallback& callback, TDataSet* table, TFilterHandle& filterHandle);
// Deactivates and drops the filter the handle names; the handle becomes 0.
void DropDataSetFilter(TDataSet* table, TFilterHandle& filterHandle);
