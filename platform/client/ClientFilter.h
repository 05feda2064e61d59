#pragma once
// The client dataset's filter expressions:
//   comparisons  =  <>  !=  <  >  <=  >=          Name = 'Smith', Price >= 10.5
//   partial      Name = 'Sm*'                      (unless foNoPartialCompare)
//   LIKE         Name LIKE 'Sm%th_'  [NOT] LIKE    % any text, _ one character
//   IN           Code IN ('A', 'B')
//   nulls        Field IS NULL, Field IS NOT NULL  (a comparison with NULL is false)
//   logic        AND, OR, NOT, parentheses
//   arithmetic   + - * /  (+ joins texts), unary minus
//   functions    Upper, Lower, Trim, TrimLeft, TrimRight, Substring(text, from[, length]),
//                Year, Month, Day, Hour, Minute, Second, Date, Time, GetDate()
//   literals     'text' (quotes doubled inside), numbers, TRUE, FALSE, NULL; a text compared
//                with a date field is read as a date ("m/d/yyyy", the short date format, or
//                "yyyy-mm-dd", each with an optional time)
//   field names  Name, [Field With Blanks], "Field"
// foCaseInsensitive makes text comparisons, partial matches and LIKE ignore case.

#include "platform/client/ClientFields.h"

#include <functional>
#include <memory>
#include <vector>

class TFilterExpr {
public:
    // The fields the expression may name: name -> binding (column and type).
    using TFieldResolver = std::function<bool(const QString& name, TColumnBinding& binding)>;

    // Raises EDatabaseError for text that is no expression or names an unknown field.
    TFilterExpr(const QString& text, const TRecordStore& store, int level, const TFieldResolver& resolve,
                TFilterOptions options);
    ~TFilterExpr();
    TFilterExpr(const TFilterExpr&) = delete;
    TFilterExpr& operator=(const TFilterExpr&) = delete;

    bool Matches(TSlotNo slot) const;

    struct TNode;

private:
    const TRecordStore& FStore;
    const TStoreLevel& FLevel;
    TFilterOptions FOptions;
    std::unique_ptr<TNode> FRoot;
};
