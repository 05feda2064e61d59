#pragma once
// Filter expressions of the memory table: the filter text parsed once, by the datasets' shared
// filter parser, into a tree of nodes (classes and operator codes of the platform's filter
// data), evaluated per record.

#include "memtable/zohTypes.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

// A value of the evaluator, with the platform's variant rules for comparing,
// converting and arithmetic.
struct TzohFilterValue {
    enum TKind : quint8 { fvEmpty, fvNull, fvBool, fvInt, fvFloat, fvDate, fvString, fvArray } Kind = fvEmpty;
    bool B = false;
    qint64 I = 0;
    double F = 0;
    QString S;
    std::shared_ptr<std::vector<TzohFilterValue>> A;

    static TzohFilterValue Null() { TzohFilterValue v; v.Kind = fvNull; return v; }
    static TzohFilterValue Bool(bool b) { TzohFilterValue v; v.Kind = fvBool; v.B = b; return v; }
    static TzohFilterValue Int(qint64 i) { TzohFilterValue v; v.Kind = fvInt; v.I = i; return v; }
    static TzohFilterValue Float(double f) { TzohFilterValue v; v.Kind = fvFloat; v.F = f; return v; }
    static TzohFilterValue Date(double d) { TzohFilterValue v; v.Kind = fvDate; v.F = d; return v; }
    static TzohFilterValue Str(const QString& s) { TzohFilterValue v; v.Kind = fvString; v.S = s; return v; }
    bool IsNullOrEmpty() const { return Kind == fvNull || Kind == fvEmpty; }
    QString ToText() const;
    double ToFloat() const;
    qint64 ToInt() const;
    bool ToBool() const;
    double ToDateTime() const;
};

// Node classes and operators of the filter tree.
enum TzohNodeClass : int {
    nodeNULL = 0, nodeUNARY, nodeBINARY, nodeCOMPARE, nodeFIELD, nodeCONST, nodeTUPLE, nodeCONTINUE,
    nodeUDF, nodeLIST, nodeFUNC, nodeLISTELEM
};
enum TzohCanOp : int {
    canNOTDEFINED = 0, canISBLANK, canNOTBLANK, canEQ, canNE, canGT, canLT, canGE, canLE, canNOT, canAND,
    canOR, canTUPLE2, canFIELD2, canCONST2, canMINUS, canADD, canSUB, canMUL, canDIV, canMOD, canREM,
    canSUM, canCOUNT, canMIN, canMAX, canAVG, canCONT, canUDF2, canCONTINUE2, canLIKE, canIN, canLIST2,
    canUPPER, canLOWER, canFUNC2, canLISTELEM2, canASSIGN
};

struct TzohFilterNode {
    TzohNodeClass Class = nodeNULL;
    int Op = canNOTDEFINED;
    // Compare nodes: case-insensitive flag and partial length.
    bool CaseInsensitive = false;
    int PartialLength = 0;
    // Field nodes: the name and the caller's index for it. Function nodes: the name in
    // capitals (matched once per record). Constants: type code and value.
    QString Name;
    int FieldIndex = -1;
    int ConstType = 0;
    TzohFilterValue Value;
    std::vector<std::unique_ptr<TzohFilterNode>> Args;   // operands, list elements, function arguments
};

enum TzohFilterOption : int { zfoCaseInsensitive = 1, zfoNoPartialCompare = 2 };

// A field the parser may name: the caller resolves names (raising its own not-found error).
struct TzohFilterField {
    int Index = -1;
    int DataType = zft::Unknown;
};
using TzohFilterFieldResolver = std::function<TzohFilterField(const QString& name)>;
using TzohFilterFieldReader = std::function<TzohFilterValue(int index)>;

// Type code of constants compared with a field of each type.
int zohFilterConstType(int fieldType);

class TzohFilterExpr {
public:
    // Parses the text; raises a clear error for a text that does not parse.
    TzohFilterExpr(const QString& text, int options, const TzohFilterFieldResolver& resolve);
    // True when the record the reader answers for is accepted.
    bool Accepts(const TzohFilterFieldReader& read) const;
    const TzohFilterNode* Root() const { return FRoot.get(); }

private:
    std::unique_ptr<TzohFilterNode> FRoot;
};

// Matches a file-name mask: *, ?, [set], case-insensitive.
bool zohMatchesMask(const QString& text, const QString& mask);
