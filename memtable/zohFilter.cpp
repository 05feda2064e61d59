#include "memtable/zohFilter.h"

#include "platform/core/SysFormat.h"

#include <cmath>


namespace {

[[noreturn]] void ConvertError(const QString& text, const char* what)
{
    throw EConvertError(Format(QStringLiteral("'%s' is not a valid %s"), {text, QString::fromLatin1(what)}));
}

// ---------------------------------------------------------------- parser

struct TToken {
    enum TKind { tkEnd, tkName, tkString, tkNumber, tkSymbol } Kind = tkEnd;
    QString Text;
    bool Quoted = false;   // a [bracketed] or "double-quoted" name
};

class TParser {
public:
    TParser(const QString& text, int options, const TzohFilterFieldResolver& resolve)
        : FText(text), FOptions(options), FResolve(resolve)
    {
        Next();
    }

    std::unique_ptr<TzohFilterNode> Parse()
    {
        auto root = ParseOr();
        if (FTok.Kind != TToken::tkEnd) Error();
        return root;
    }

private:
    using PNode = std::unique_ptr<TzohFilterNode>;

    [[noreturn]] void Error()
    {
        throw EMemTableError(Format(QStringLiteral("Invalid filter expression near '%s': %s"),
                                    {FTok.Kind == TToken::tkEnd ? QStringLiteral("end") : FTok.Text, FText}));
    }

    bool IsWord(const char* w) const
    {
        return FTok.Kind == TToken::tkName && !FTok.Quoted && FTok.Text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }
    bool IsSym(const char* s) const { return FTok.Kind == TToken::tkSymbol && FTok.Text == QLatin1String(s); }
    void Expect(const char* s)
    {
        if (!IsSym(s)) Error();
        Next();
    }

    void Next()
    {
        const int n = FText.size();
        while (FPos < n && FText.at(FPos).isSpace()) ++FPos;
        FTok = TToken();
        if (FPos >= n) return;
        const QChar c = FText.at(FPos);
        if (c == QLatin1Char('\'')) {
            QString s;
            ++FPos;
            for (;;) {
                if (FPos >= n) Error();
                if (FText.at(FPos) == QLatin1Char('\'')) {
                    if (FPos + 1 < n && FText.at(FPos + 1) == QLatin1Char('\'')) {
                        s += QLatin1Char('\'');
                        FPos += 2;
                        continue;
                    }
                    ++FPos;
                    break;
                }
                s += FText.at(FPos++);
            }
            FTok.Kind = TToken::tkString;
            FTok.Text = s;
            return;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('"') ? QLatin1Char('"') : QLatin1Char(']');
            const int end = FText.indexOf(close, FPos + 1);
            if (end < 0) {
                FTok.Kind = TToken::tkSymbol;
                FTok.Text = c;
                Error();
            }
            FTok.Kind = TToken::tkName;
            FTok.Quoted = true;
            FTok.Text = FText.mid(FPos + 1, end - FPos - 1);
            FPos = end + 1;
            return;
        }
        if (c.isDigit() || (c == QLatin1Char('.') && FPos + 1 < n && FText.at(FPos + 1).isDigit())) {
            int e = FPos;
            while (e < n && (FText.at(e).isDigit() || FText.at(e) == QLatin1Char('.'))) ++e;
            if (e < n && (FText.at(e) == QLatin1Char('e') || FText.at(e) == QLatin1Char('E'))) {
                int k = e + 1;
                if (k < n && (FText.at(k) == QLatin1Char('+') || FText.at(k) == QLatin1Char('-'))) ++k;
                if (k < n && FText.at(k).isDigit()) {
                    e = k;
                    while (e < n && FText.at(e).isDigit()) ++e;
                }
            }
            FTok.Kind = TToken::tkNumber;
            FTok.Text = FText.mid(FPos, e - FPos);
            FPos = e;
            return;
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            int e = FPos;
            while (e < n && (FText.at(e).isLetterOrNumber() || FText.at(e) == QLatin1Char('_') || FText.at(e) == QLatin1Char('.'))) ++e;
            FTok.Kind = TToken::tkName;
            FTok.Text = FText.mid(FPos, e - FPos);
            FPos = e;
            return;
        }
        static const char* const two[] = {"<>", "<=", ">=", "!="};
        for (const char* t : two)
            if (FText.mid(FPos, 2) == QLatin1String(t)) {
                FTok.Kind = TToken::tkSymbol;
                FTok.Text = QLatin1String(t) == QLatin1String("!=") ? QStringLiteral("<>") : QString::fromLatin1(t);
                FPos += 2;
                return;
            }
        if (QStringLiteral("=<>+-*/(),").contains(c)) {
            FTok.Kind = TToken::tkSymbol;
            FTok.Text = c;
            ++FPos;
            return;
        }
        FTok.Kind = TToken::tkSymbol;
        FTok.Text = c;
        Error();
    }

    static PNode Make(TzohNodeClass cls, int op)
    {
        auto n = std::make_unique<TzohFilterNode>();
        n->Class = cls;
        n->Op = op;
        return n;
    }
    static PNode Binary(int op, PNode l, PNode r)
    {
        auto n = Make(nodeBINARY, op);
        n->Args.push_back(std::move(l));
        n->Args.push_back(std::move(r));
        return n;
    }

    PNode ParseOr()
    {
        auto l = ParseAnd();
        while (IsWord("OR")) {
            Next();
            l = Binary(canOR, std::move(l), ParseAnd());
        }
        return l;
    }
    PNode ParseAnd()
    {
        auto l = ParseNot();
        while (IsWord("AND")) {
            Next();
            l = Binary(canAND, std::move(l), ParseNot());
        }
        return l;
    }
    PNode ParseNot()
    {
        if (IsWord("NOT")) {
            Next();
            auto n = Make(nodeUNARY, canNOT);
            n->Args.push_back(ParseNot());
            return n;
        }
        return ParseCompare();
    }

    // Types a text constant by the field it is compared with.
    void TypeConstant(const TzohFilterNode* field, TzohFilterNode* constant)
    {
        if (!field || field->Class != nodeFIELD || constant->Class != nodeCONST) return;
        if (constant->Value.Kind != TzohFilterValue::fvString) return;
        const int t = zohFilterConstType(field->ConstType);
        const QString s = constant->Value.S;
        using V = TzohFilterValue;
        switch (t) {
        case 2: case 3: case 4: case 25: {
            bool ok = false;
            const qint64 v = s.trimmed().toLongLong(&ok);
            if (!ok) ConvertError(s, "integer value");
            constant->Value = V::Int(v);
            break;
        }
        case 5: constant->Value = V::Bool(V::Str(s).ToBool()); break;
        case 6: case 7: case 8: constant->Value = V::Float(StrToFloat(s)); break;
        case 9: constant->Value = V::Date(StrToDate(s)); break;
        case 10: constant->Value = V::Date(StrToTime(s)); break;
        case 11: constant->Value = V::Date(StrToDateTime(s)); break;
        default: return;
        }
        constant->ConstType = t;
    }

    PNode ParseCompare()
    {
        auto l = ParseAdd();
        if (IsWord("IS")) {
            Next();
            bool negate = false;
            if (IsWord("NOT")) {
                negate = true;
                Next();
            }
            if (!IsWord("NULL")) Error();
            Next();
            auto n = Make(nodeUNARY, negate ? canNOTBLANK : canISBLANK);
            n->Args.push_back(std::move(l));
            return n;
        }
        if (IsWord("LIKE")) {
            Next();
            return Binary(canLIKE, std::move(l), ParseAdd());
        }
        if (IsWord("IN")) {
            Next();
            Expect("(");
            auto list = Make(nodeLISTELEM, canLISTELEM2);
            if (!IsSym(")")) {
                for (;;) {
                    auto e = ParseAdd();
                    TypeConstant(l.get(), e.get());
                    list->Args.push_back(std::move(e));
                    if (!IsSym(",")) break;
                    Next();
                }
            }
            Expect(")");
            return Binary(canIN, std::move(l), std::move(list));
        }
        static const struct { const char* sym; int op; } ops[] = {
            {"=", canEQ}, {"<>", canNE}, {">", canGT}, {"<", canLT}, {">=", canGE}, {"<=", canLE}};
        for (const auto& o : ops) {
            if (!IsSym(o.sym)) continue;
            Next();
            auto r = ParseAdd();
            TzohFilterNode* field = l->Class == nodeFIELD ? l.get() : r->Class == nodeFIELD ? r.get() : nullptr;
            TzohFilterNode* constant = l->Class == nodeCONST ? l.get() : r->Class == nodeCONST ? r.get() : nullptr;
            if ((o.op == canEQ || o.op == canNE) && field && constant && constant->Value.Kind == TzohFilterValue::fvString &&
                zohFilterConstType(field->ConstType) == 1) {
                QString s = constant->Value.S;
                int partial = 0;
                if (!(FOptions & zfoNoPartialCompare) && s.endsWith(QLatin1Char('*'))) {
                    s.chop(1);
                    partial = int(s.size());
                    if (partial == 0) partial = -1;   // a lone star matches every value
                }
                if (partial || (FOptions & zfoCaseInsensitive)) {
                    constant->Value.S = s;
                    auto n = Make(nodeCOMPARE, o.op);
                    n->CaseInsensitive = FOptions & zfoCaseInsensitive;
                    n->PartialLength = partial;
                    n->Args.push_back(std::move(l));
                    n->Args.push_back(std::move(r));
                    return n;
                }
            }
            if (field && constant) TypeConstant(field, constant);
            return Binary(o.op, std::move(l), std::move(r));
        }
        return l;
    }

    PNode ParseAdd()
    {
        auto l = ParseMul();
        while (IsSym("+") || IsSym("-")) {
            const int op = IsSym("+") ? canADD : canSUB;
            Next();
            l = Binary(op, std::move(l), ParseMul());
        }
        return l;
    }
    PNode ParseMul()
    {
        auto l = ParseUnary();
        while (IsSym("*") || IsSym("/")) {
            const int op = IsSym("*") ? canMUL : canDIV;
            Next();
            l = Binary(op, std::move(l), ParseUnary());
        }
        return l;
    }
    PNode ParseUnary()
    {
        if (IsSym("-")) {
            Next();
            auto n = Make(nodeUNARY, canMINUS);
            n->Args.push_back(ParseUnary());
            return n;
        }
        if (IsSym("+")) {
            Next();
            return ParseUnary();
        }
        return ParsePrimary();
    }

    PNode ParsePrimary()
    {
        using V = TzohFilterValue;
        if (IsSym("(")) {
            Next();
            auto e = ParseOr();
            Expect(")");
            return e;
        }
        if (FTok.Kind == TToken::tkString) {
            auto n = Make(nodeCONST, canCONST2);
            n->ConstType = 1;
            n->Value = V::Str(FTok.Text);
            Next();
            return n;
        }
        if (FTok.Kind == TToken::tkNumber) {
            auto n = Make(nodeCONST, canCONST2);
            bool ok = false;
            const qint64 iv = FTok.Text.toLongLong(&ok);
            if (ok && iv >= INT32_MIN && iv <= INT32_MAX) {
                n->ConstType = 3;
                n->Value = V::Int(iv);
            } else if (ok) {
                n->ConstType = 25;
                n->Value = V::Int(iv);
            } else {
                double d;
                if (!TryStrToFloat(FTok.Text, d, TFormatSettings::Standard())) Error();
                n->ConstType = 6;
                n->Value = V::Float(d);
            }
            Next();
            return n;
        }
        if (FTok.Kind != TToken::tkName) Error();
        if (!FTok.Quoted) {
            if (IsWord("NULL")) {
                Next();
                auto n = Make(nodeCONST, canCONST2);
                n->Value = V::Null();
                return n;
            }
            if (IsWord("TRUE") || IsWord("FALSE")) {
                auto n = Make(nodeCONST, canCONST2);
                n->ConstType = 5;
                n->Value = V::Bool(IsWord("TRUE"));
                Next();
                return n;
            }
        }
        const QString name = FTok.Text;
        const bool quoted = FTok.Quoted;
        Next();
        if (!quoted && IsSym("(")) {
            Next();
            std::vector<PNode> args;
            if (!IsSym(")")) {
                for (;;) {
                    args.push_back(ParseOr());
                    if (!IsSym(",")) break;
                    Next();
                }
            }
            Expect(")");
            const QString upper = name.toUpper();
            if ((upper == QLatin1String("UPPER") || upper == QLatin1String("LOWER")) && args.size() == 1) {
                auto n = Make(nodeUNARY, upper == QLatin1String("UPPER") ? canUPPER : canLOWER);
                n->Args.push_back(std::move(args[0]));
                return n;
            }
            auto n = Make(nodeFUNC, canFUNC2);
            n->Name = upper;
            n->Args = std::move(args);
            return n;
        }
        const TzohFilterField f = FResolve(name);
        auto n = Make(nodeFIELD, canFIELD2);
        n->Name = name;
        n->FieldIndex = f.Index;
        n->ConstType = f.DataType;   // the field's type; constants compared with it take its map
        return n;
    }

    QString FText;
    int FOptions;
    TzohFilterFieldResolver FResolve;
    int FPos = 0;
    TToken FTok;
};

// ---------------------------------------------------------------- evaluator


} // namespace

int zohFilterConstType(int t)
{
    switch (t) {
    case zft::String: case zft::FixedChar: case zft::WideString: return 1;
    case zft::Smallint: return 2;
    case zft::Integer: case zft::AutoInc: return 3;
    case zft::Word: return 4;
    case zft::Boolean: return 5;
    case zft::Float: case zft::Currency: return 6;
    case zft::BCD: return 8;
    case zft::Date: return 9;
    case zft::Time: return 10;
    case zft::DateTime: return 11;
    case zft::Bytes: return 12;
    case zft::VarBytes: return 13;
    case zft::Largeint: return 25;
    case zft::ADT: return 26;
    case zft::Array: return 27;
    default: return (t >= zft::Blob && t <= zft::TypedBinary) ? 15 : 0;
    }
}

TzohFilterExpr::TzohFilterExpr(const QString& text, int options, const TzohFilterFieldResolver& resolve)
{
    TParser p(text, options, resolve);
    FRoot = p.Parse();
}

bool TzohFilterExpr::Accepts(const TzohFilterFieldReader& read) const
{
    try {
        return FilterAccepts(FRoot.get(), read);
    } catch (const EFilterError& e) {
        throw EMemTableError(e.Message());
    }
}
