#pragma once
// Filter expressions of the memory table: the filter text parsed once, by the datasets' shared
// filter parser, into a tree of nodes (classes and operator codes of the platform's filter
// data), evaluated per record.

#include "memtable/zohTypes.h"
#include "platform/data/FilterData.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

// The values, nodes and operator codes are the datasets' filter data; the memory table's
// names for them stay.
using TzohFilterValue = TFilterValue;
using TzohNodeClass = TNodeClass;
using TzohCanOp = TCANOperator;
using TzohFilterNode = TFilterNode;

enum TzohFilterOption : int { zfoCaseInsensitive = 1, zfoNoPartialCompare = 2 };

// A field the parser may name: the caller resolves names (raising its own not-found error).
struct TzohFilterField {
    int Index = -1;
    int DataType = zft::Unknown;
};
using TzohFilterFieldResolver = std::function<TzohFilterField(const QString& name)>;
using TzohFilterFieldReader = TFilterFieldReader;

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
inline bool zohMatchesMask(const QString& text, const QString& mask) { return MatchesFileMask(text, mask); }
