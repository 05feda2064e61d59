#include "memtable/zohFilter.h"

#include "platform/core/SysFormat.h"
#include "platform/data/FilterParser.h"

#include <cmath>

namespace {

[[noreturn]] void ConvertError(const QString& text, const char* what)
{
    throw EConvertError(Format(QStringLiteral("'%s' is not a valid %s"), {text, QString::fromLatin1(what)}));
}

// ---------------------------------------------------------------- parser

class TParser : public TFilterParser<std::unique_ptr<TzohFilterNode>> {
public:
    TParser(const QString& text, int options, const TzohFilterFieldResolver& resolve)
        : TFilterParser(text, Rules()), FOptions(options), FResolve(resolve)
    {
    }

    using TFilterParser::Parse;

private:
    using PNode = std::unique_ptr<TzohFilterNode>;

    static TFilterLexerRules Rules()
    {
        TFilterLexerRules r;
        r.DotsInNames = true;
        r.SpellNotEqualAsAngles = true;
        return r;
    }

    [[noreturn]] void SyntaxError(const TFilterToken& at, const QString&) override
    {
        throw EMemTableError(Format(QStringLiteral("Invalid filter expression near '%s': %s"),
                                    {at.Kind == TFilterToken::ftkEnd ? QStringLiteral("end") : at.Text, Text()}));
    }
    [[noreturn]] void Fail() { SyntaxError(Token(), QString()); }

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

    PNode MakeOperator(TFilterOperator op, PNode left, PNode right) override
    {
        static const int ops[] = {canOR, canAND, canNOT, canADD, canSUB, canMUL, canDIV, canMINUS};
        if (!right) {
            auto n = Make(nodeUNARY, ops[op]);
            n->Args.push_back(std::move(left));
            return n;
        }
        return Binary(ops[op], std::move(left), std::move(right));
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

    PNode ParseComparison() override
    {
        auto l = ParseAdditive();
        if (IsWord("IS")) {
            Next();
            bool negate = false;
            if (IsWord("NOT")) {
                negate = true;
                Next();
            }
            if (!IsWord("NULL")) Fail();
            Next();
            auto n = Make(nodeUNARY, negate ? canNOTBLANK : canISBLANK);
            n->Args.push_back(std::move(l));
            return n;
        }
        if (IsWord("LIKE")) {
            Next();
            return Binary(canLIKE, std::move(l), ParseAdditive());
        }
        if (IsWord("IN")) {
            Next();
            Expect("(");
            auto list = Make(nodeLISTELEM, canLISTELEM2);
            if (!IsSym(")")) {
                for (;;) {
                    auto e = ParseAdditive();
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
            auto r = ParseAdditive();
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

    PNode ParsePrimary() override
    {
        using V = TzohFilterValue;
        if (IsSym("(")) return ParseParenthesized();
        if (Token().Kind == TFilterToken::ftkText) {
            auto n = Make(nodeCONST, canCONST2);
            n->ConstType = 1;
            n->Value = V::Str(Token().Text);
            Next();
            return n;
        }
        if (Token().Kind == TFilterToken::ftkNumber) {
            auto n = Make(nodeCONST, canCONST2);
            bool ok = false;
            const qint64 iv = Token().Text.toLongLong(&ok);
            if (ok && iv >= INT32_MIN && iv <= INT32_MAX) {
                n->ConstType = 3;
                n->Value = V::Int(iv);
            } else if (ok) {
                n->ConstType = 25;
                n->Value = V::Int(iv);
            } else {
                double d;
                if (!TryStrToFloat(Token().Text, d, TFormatSettings::Standard())) Fail();
                n->ConstType = 6;
                n->Value = V::Float(d);
            }
            Next();
            return n;
        }
        if (Token().Kind != TFilterToken::ftkName) Fail();
        if (Token().Quote.isNull()) {
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
        const QString name = Token().Text;
        const bool quoted = !Token().Quote.isNull();
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

    int FOptions;
    TzohFilterFieldResolver FResolve;
};

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
