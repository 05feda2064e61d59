#pragma once
// Filter expressions of the datasets: one lexer and one precedence parser for both dialects
// (the client dataset's and the memory table's). A dialect is a set of lexer rules plus a
// front end that builds its own nodes: it parses comparisons and operands, and words its own
// errors. OR, AND, NOT, the arithmetic operators and parentheses are parsed here, lowest
// precedence first:  OR < AND < NOT < comparison < + - || < * / < unary - + < operand.

#include <QString>

struct TFilterToken {
    enum TKind { ftkEnd, ftkName, ftkText, ftkNumber, ftkSymbol };
    TKind Kind = ftkEnd;
    QString Text;   // the name, the text without its quotes, the number or the symbol
    QChar Quote;    // '"' or '[' for a quoted name; null otherwise
    int Pos = 0;    // where the token starts in the expression
};

struct TFilterLexerRules {
    bool DoubledQuotesInNames = false;   // "a""b" names a"b; else a quoted name ends at the next quote
    bool TrimBracketedNames = false;     // [ Name ] names Name
    bool DotsInNames = false;            // Table.Field is one name
    bool BarsConcatenate = false;        // || joins texts (as +)
    bool SpellNotEqualAsAngles = false;  // != comes out as <>
};

class TFilterLexer {
public:
    virtual ~TFilterLexer() = default;

protected:
    TFilterLexer(const QString& text, const TFilterLexerRules& rules) : FText(text), FRules(rules) {}

    const QString& Text() const { return FText; }
    const TFilterToken& Token() const { return FToken; }
    // Reads the next token; text no token can be made of goes to SyntaxError.
    void Next();
    // An unquoted name, in any case.
    bool IsWord(const char* word) const;
    bool IsSym(const char* sym) const;
    void Expect(const char* sym);

    // The front end's error for the token where parsing stopped; what says what went wrong
    // there. Never returns. A token the lexer could not finish comes as far as it went: an
    // unterminated text as the end, an unterminated name or a stray character as a symbol.
    [[noreturn]] virtual void SyntaxError(const TFilterToken& at, const QString& what) = 0;

private:
    QString FText;
    TFilterLexerRules FRules;
    TFilterToken FToken;
    int FPos = 0;
};

enum TFilterOperator { fopOr, fopAnd, fopNot, fopAdd, fopSubtract, fopMultiply, fopDivide, fopNegate };

template <typename PNode>
class TFilterParser : public TFilterLexer {
protected:
    using TFilterLexer::TFilterLexer;

    // The front end: comparisons (their operands through ParseAdditive), operands (a
    // parenthesis through ParseParenthesized), and the nodes of the shared operators (unary
    // ones get no right operand).
    virtual PNode ParseComparison() = 0;
    virtual PNode ParsePrimary() = 0;
    virtual PNode MakeOperator(TFilterOperator op, PNode left, PNode right) = 0;

    // The whole expression.
    PNode Parse()
    {
        Next();
        PNode root = ParseOr();
        if (Token().Kind != TFilterToken::ftkEnd)
            SyntaxError(Token(), QStringLiteral("unexpected \"%1\"").arg(Token().Text));
        return root;
    }

    PNode ParseOr()
    {
        PNode left = ParseAnd();
        while (IsWord("OR")) {
            Next();
            left = MakeOperator(fopOr, std::move(left), ParseAnd());
        }
        return left;
    }

    PNode ParseAnd()
    {
        PNode left = ParseNot();
        while (IsWord("AND")) {
            Next();
            left = MakeOperator(fopAnd, std::move(left), ParseNot());
        }
        return left;
    }

    PNode ParseNot()
    {
        if (!IsWord("NOT")) return ParseComparison();
        Next();
        return MakeOperator(fopNot, ParseNot(), PNode());
    }

    PNode ParseAdditive()
    {
        PNode left = ParseMultiplicative();
        while (IsSym("+") || IsSym("-") || IsSym("||")) {
            const TFilterOperator op = IsSym("-") ? fopSubtract : fopAdd;
            Next();
            left = MakeOperator(op, std::move(left), ParseMultiplicative());
        }
        return left;
    }

    PNode ParseMultiplicative()
    {
        PNode left = ParseUnary();
        while (IsSym("*") || IsSym("/")) {
            const TFilterOperator op = IsSym("*") ? fopMultiply : fopDivide;
            Next();
            left = MakeOperator(op, std::move(left), ParseUnary());
        }
        return left;
    }

    PNode ParseUnary()
    {
        if (IsSym("-")) {
            Next();
            return MakeOperator(fopNegate, ParseUnary(), PNode());
        }
        if (IsSym("+")) {
            Next();
            return ParseUnary();
        }
        return ParsePrimary();
    }

    // At "(": the expression inside and its ")".
    PNode ParseParenthesized()
    {
        Next();
        PNode inner = ParseOr();
        Expect(")");
        return inner;
    }
};
