#pragma once
// The datasets' filter data: the node classes and operator codes of a filter tree, the values
// the evaluator computes with, the one evaluator of such trees, and the filter-expression block
// a table's cursor takes (a header, fixed-size nodes and a literal pool). The memory table's
// parser builds these trees from its filter text; a table's cursor builds them from a block.

#include "platform/data/DB.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

// A value of the evaluator, with the platform's variant rules for comparing, converting and
// arithmetic.
struct TFilterValue {
    enum TKind : quint8 { fvEmpty, fvNull, fvBool, fvInt, fvFloat, fvDate, fvString, fvArray } Kind = fvEmpty;
    bool B = false;
    qint64 I = 0;
    double F = 0;
    QString S;
    std::shared_ptr<std::vector<TFilterValue>> A;

    static TFilterValue Null() { TFilterValue v; v.Kind = fvNull; return v; }
    static TFilterValue Bool(bool b) { TFilterValue v; v.Kind = fvBool; v.B = b; return v; }
    static TFilterValue Int(qint64 i) { TFilterValue v; v.Kind = fvInt; v.I = i; return v; }
    static TFilterValue Float(double f) { TFilterValue v; v.Kind = fvFloat; v.F = f; return v; }
    static TFilterValue Date(double d) { TFilterValue v; v.Kind = fvDate; v.F = d; return v; }
    static TFilterValue Str(const QString& s) { TFilterValue v; v.Kind = fvString; v.S = s; return v; }
    static TFilterValue Str(QString&& s) { TFilterValue v; v.Kind = fvString; v.S = std::move(s); return v; }
    bool IsNullOrEmpty() const { return Kind == fvNull || Kind == fvEmpty; }
    QString ToText() const;
    double ToFloat() const;
    qint64 ToInt() const;
    bool ToBool() const;
    double ToDateTime() const;
};

// A field value as the evaluator sees it: integers, booleans, floats (currency too), dates and
// times, and text of every other kind.
TFilterValue FilterValueOf(const TVariant& value);

// Node classes and operators of the filter tree (the numbers the filter block stores).
enum TNodeClass : int {
    nodeNULL = 0, nodeUNARY, nodeBINARY, nodeCOMPARE, nodeFIELD, nodeCONST, nodeTUPLE, nodeCONTINUE,
    nodeUDF, nodeLIST, nodeFUNC, nodeLISTELEM
};
enum TCANOperator : int {
    canNOTDEFINED = 0, canISBLANK, canNOTBLANK, canEQ, canNE, canGT, canLT, canGE, canLE, canNOT, canAND,
    canOR, canTUPLE2, canFIELD2, canCONST2, canMINUS, canADD, canSUB, canMUL, canDIV, canMOD, canREM,
    canSUM, canCOUNT, canMIN, canMAX, canAVG, canCONT, canUDF2, canCONTINUE2, canLIKE, canIN, canLIST2,
    canUPPER, canLOWER, canFUNC2, canLISTELEM2, canASSIGN
};

struct TFilterNode {
    TNodeClass Class = nodeNULL;
    int Op = canNOTDEFINED;
    // Compare nodes: case-insensitive flag and partial length.
    bool CaseInsensitive = false;
    int PartialLength = 0;
    // Field nodes: the name and the caller's index for it. Function nodes: the name in
    // capitals (matched once per record). Constants: type code and value.
    QString Name;
    int FieldIndex = -1;
    int ConstType = 0;
    TFilterValue Value;
    std::vector<std::unique_ptr<TFilterNode>> Args;   // operands, list elements, function arguments
};

// What evaluating a tree can raise besides conversion errors (an unknown function or operator,
// a bad function argument).
class EFilterError : public EDatabaseError { public: using EDatabaseError::EDatabaseError; };

// The value of a field node's FieldIndex in the record being evaluated.
using TFilterFieldReader = std::function<TFilterValue(int index)>;

TFilterValue EvaluateFilter(const TFilterNode* node, const TFilterFieldReader& read);
// The record is accepted when the tree's value is true.
inline bool FilterAccepts(const TFilterNode* root, const TFilterFieldReader& read)
{
    return EvaluateFilter(root, read).ToBool();
}

// Matches a file-name mask: *, ?, [set], case-insensitive.
bool MatchesFileMask(const QString& text, const QString& mask);

// --- The filter-expression block
//
// Little-endian: version (2 bytes, 1), total size (2), node count N (2), node area start (2,
// always 10), literal area start (2, 10 + 14 N); N node slots of 14 bytes; the literal pool.
// A node is at its slot index x 14 in the node area; the root is at 0. Slot layouts (first two
// fields 32-bit, the rest 16-bit):
//   binary    class 2, operator, left node offset, right node offset
//   field     class 4, canFIELD2, field number, literal offset of the zero-terminated name
//   constant  class 5, canCONST2, data type, data size, literal offset of the value
namespace FilterBlock {
constexpr int Version = 1;
constexpr int HeaderSize = 10;
constexpr int NodeSize = 14;
constexpr int LiteralPoolSize = 1000;
constexpr int BcdSize = 34;   // precision, sign and decimals, 32 bytes of digit nibbles
}

// Data types of constants in the block.
enum TFilterDataType : int {
    fdtString = 1, fdtDate = 2, fdtBoolean = 4, fdtInt16 = 5, fdtInt32 = 6, fdtFloat = 7, fdtBcd = 8,
    fdtTime = 10, fdtTimeStamp = 11
};

// The caller's index of a field a block names; false when there is no such field.
using TFilterBlockFieldResolver = std::function<bool(const QString& name, int& index)>;

// The tree a block holds; its names and string literals are text in codePage. Raises
// EDatabaseError for a damaged block and "Field 'X' not found" for a field the resolver does
// not know.
std::unique_ptr<TFilterNode> ReadFilterBlock(const QByteArray& block, int codePage,
                                             const TFilterBlockFieldResolver& resolve);

// BCD of the block: the value with the given decimal places, 32 digits at most; false when it
// does not fit.
bool FloatToFilterBcd(double value, int decimals, uchar* bcd);
double FilterBcdToFloat(const uchar* bcd);
