#include "platform/client/ClientFilter.h"

#include "platform/client/ClientCollation.h"
#include "platform/data/FilterParser.h"

#include <QRegularExpression>
#include <cmath>

namespace {

struct TVal {
    enum TKind : quint8 { vNull, vBool, vInt, vNum, vDate, vText };
    TKind Kind = vNull;
    qint64 Int = 0;
    double Num = 0;
    QString Text;

    static TVal OfBool(bool b) { TVal v; v.Kind = vBool; v.Int = b; v.Num = b; return v; }
    static TVal OfInt(qint64 i) { TVal v; v.Kind = vInt; v.Int = i; v.Num = double(i); return v; }
    static TVal OfNum(double d) { TVal v; v.Kind = vNum; v.Num = d; return v; }
    static TVal OfDate(double d) { TVal v; v.Kind = vDate; v.Num = d; return v; }
    static TVal OfText(QString s) { TVal v; v.Kind = vText; v.Text = std::move(s); return v; }
    bool IsNull() const { return Kind == vNull; }
    bool IsNumeric() const { return Kind == vBool || Kind == vInt || Kind == vNum || Kind == vDate; }
};

enum TOp {
    opConst, opField, opNeg, opAdd, opSub, opMul, opDiv,
    opEq, opNe, opLt, opGt, opLe, opGe, opLike, opIn, opIsNull,
    opAnd, opOr, opNot, opFunc
};

enum TFunc {
    fnUpper, fnLower, fnTrim, fnTrimLeft, fnTrimRight, fnSubstring, fnYear, fnMonth, fnDay,
    fnHour, fnMinute, fnSecond, fnDate, fnTime, fnGetDate
};

[[noreturn]] void SyntaxError(const QString& text, int pos, const QString& what)
{
    DatabaseError(QStringLiteral("Filter expression incorrectly formatted: %1 at position %2 of \"%3\"").arg(what).arg(pos + 1).arg(text));
}

bool ParseDateText(const QString& s, double& out)
{
    const QString t = s.trimmed();
    static const QRegularExpression us(QStringLiteral(R"(^(\d{1,2})/(\d{1,2})/(\d{1,4})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?$)"));
    static const QRegularExpression iso(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?$)"));
    auto build = [&](int y, int m, int d, const QRegularExpressionMatch& match, int first) {
        TDateTime date, time = 0;
        if (y < 100) y += y < 50 ? 2000 : 1900;
        if (!TryEncodeDate(y, m, d, date)) return false;
        if (match.hasCaptured(first) && !TryEncodeTime(match.captured(first).toInt(), match.captured(first + 1).toInt(),
                                                       match.captured(first + 2).toInt(), 0, time))
            return false;
        out = date >= 0 ? date + time : date - time;
        return true;
    };
    QRegularExpressionMatch m = us.match(t);
    if (m.hasMatch()) return build(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt(), m, 4);
    m = iso.match(t);
    if (m.hasMatch()) return build(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m, 4);
    TDateTime dt;
    if (TryStrToDateTime(t, dt) || TryStrToDate(t, dt) || TryStrToTime(t, dt)) {
        out = dt;
        return true;
    }
    return false;
}

bool ParseNumberText(const QString& s, double& out)
{
    bool ok = false;
    out = s.trimmed().toDouble(&ok);
    return ok;
}

// LIKE with % and _ over UTF-16, iterative with backtracking to the last %.
bool LikeMatch(QStringView text, QStringView pattern, bool caseInsensitive, QChar escape)
{
    auto same = [&](QChar a, QChar b) {
        return caseInsensitive ? QString(a).compare(QString(b), Qt::CaseInsensitive) == 0 : a == b;
    };
    qsizetype t = 0, p = 0, starP = -1, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            QChar pc = pattern[p];
            if (!escape.isNull() && pc == escape && p + 1 < pattern.size()) {
                if (same(text[t], pattern[p + 1])) {
                    ++t;
                    p += 2;
                    continue;
                }
            } else if (pc == QLatin1Char('%')) {
                starP = p++;
                starT = t;
                continue;
            } else if (pc == QLatin1Char('_') || same(text[t], pc)) {
                ++t;
                ++p;
                continue;
            }
        }
        if (starP < 0) return false;
        p = starP + 1;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('%')) ++p;
    return p == pattern.size();
}

} // namespace

struct TFilterExpr::TNode {
    TOp Op = opConst;
    TVal Value;                 // opConst
    TColumnBinding Binding;     // opField
    TFunc Func = fnUpper;
    bool Negated = false;       // NOT LIKE, NOT IN, IS NOT NULL
    bool Partial = false;       // = 'abc*'
    QChar Escape;
    std::vector<std::unique_ptr<TNode>> Args;
};

namespace {

class TParser : public TFilterParser<std::unique_ptr<TFilterExpr::TNode>> {
public:
    TParser(const QString& text, const TFilterExpr::TFieldResolver& resolve)
        : TFilterParser(text, Rules()), FResolve(resolve)
    {
    }

    using TFilterParser::Parse;

private:
    using TNode = TFilterExpr::TNode;
    using PNode = std::unique_ptr<TNode>;

    static TFilterLexerRules Rules()
    {
        TFilterLexerRules r;
        r.DoubledQuotesInNames = true;
        r.TrimBracketedNames = true;
        r.BarsConcatenate = true;
        return r;
    }

    [[noreturn]] void SyntaxError(const TFilterToken& at, const QString& what) override
    {
        ::SyntaxError(Text(), at.Pos, what);
    }

    static PNode Make(TOp op)
    {
        auto n = std::make_unique<TNode>();
        n->Op = op;
        return n;
    }
    static PNode Binary(TOp op, PNode a, PNode b)
    {
        auto n = Make(op);
        n->Args.push_back(std::move(a));
        n->Args.push_back(std::move(b));
        return n;
    }

    PNode MakeOperator(TFilterOperator op, PNode left, PNode right) override
    {
        static const TOp ops[] = {opOr, opAnd, opNot, opAdd, opSub, opMul, opDiv, opNeg};
        auto n = Make(ops[op]);
        n->Args.push_back(std::move(left));
        if (right) n->Args.push_back(std::move(right));
        return n;
    }

    PNode ParseComparison() override
    {
        auto left = ParseAdditive();
        static const struct { const char* Sym; TOp Op; } ops[] = {
            {"=", opEq}, {"<>", opNe}, {"!=", opNe}, {"<", opLt}, {">", opGt}, {"<=", opLe}, {">=", opGe}};
        for (const auto& o : ops) {
            if (!IsSym(o.Sym)) continue;
            Next();
            auto right = ParseAdditive();
            // Comparing with the NULL word asks whether the value is null.
            if ((o.Op == opEq || o.Op == opNe) && right->Op == opConst && right->Value.IsNull()) {
                auto n = Make(opIsNull);
                n->Negated = o.Op == opNe;
                n->Args.push_back(std::move(left));
                return n;
            }
            return Binary(o.Op, std::move(left), std::move(right));
        }
        if (IsWord("IS")) {
            Next();
            auto n = Make(opIsNull);
            if (IsWord("NOT")) {
                n->Negated = true;
                Next();
            }
            if (!IsWord("NULL")) SyntaxError(Token(), QStringLiteral("NULL expected"));
            Next();
            n->Args.push_back(std::move(left));
            return n;
        }
        bool negated = false;
        if (IsWord("NOT")) {
            negated = true;
            Next();
            if (!IsWord("LIKE") && !IsWord("IN")) SyntaxError(Token(), QStringLiteral("LIKE or IN expected"));
        }
        if (IsWord("LIKE")) {
            Next();
            auto n = Binary(opLike, std::move(left), ParseAdditive());
            n->Negated = negated;
            if (IsWord("ESCAPE")) {
                Next();
                if (Token().Kind != TFilterToken::ftkText || Token().Text.size() != 1)
                    SyntaxError(Token(), QStringLiteral("one escape character expected"));
                n->Escape = Token().Text[0];
                Next();
            }
            return n;
        }
        if (IsWord("IN")) {
            Next();
            auto n = Make(opIn);
            n->Negated = negated;
            n->Args.push_back(std::move(left));
            Expect("(");
            n->Args.push_back(ParseAdditive());
            while (IsSym(",")) {
                Next();
                n->Args.push_back(ParseAdditive());
            }
            Expect(")");
            return n;
        }
        return left;
    }

    PNode FieldNode(const QString& name)
    {
        auto n = Make(opField);
        if (!FResolve(name, n->Binding)) DatabaseError(QStringLiteral("Field '%1' not found").arg(name));
        return n;
    }

    PNode ParsePrimary() override
    {
        const TFilterToken token = Token();
        const int pos = token.Pos;
        switch (token.Kind) {
        case TFilterToken::ftkEnd:
            SyntaxError(token, QStringLiteral("operand expected"));
        case TFilterToken::ftkText: {
            auto n = Make(opConst);
            n->Value = TVal::OfText(token.Text);
            Next();
            return n;
        }
        case TFilterToken::ftkNumber: {
            auto n = Make(opConst);
            bool ok = false;
            const qint64 i = token.Text.toLongLong(&ok);
            if (ok) {
                n->Value = TVal::OfInt(i);
            } else {
                const double d = token.Text.toDouble(&ok);
                if (!ok) SyntaxError(token, QStringLiteral("bad number \"%1\"").arg(token.Text));
                n->Value = TVal::OfNum(d);
            }
            Next();
            return n;
        }
        case TFilterToken::ftkSymbol:
            if (IsSym("(")) return ParseParenthesized();
            SyntaxError(token, QStringLiteral("unexpected \"%1\"").arg(token.Text));
        case TFilterToken::ftkName:
            break;
        }
        Next();
        if (!token.Quote.isNull()) {
            // "x" names a field when there is one, else it is a text.
            TColumnBinding b;
            if (token.Quote == QLatin1Char('"') && !FResolve(token.Text, b)) {
                auto n = Make(opConst);
                n->Value = TVal::OfText(token.Text);
                return n;
            }
            return FieldNode(token.Text);
        }
        const QString& word = token.Text;
        if (word.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) return Make(opConst);
        if (word.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 || word.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
            auto n = Make(opConst);
            n->Value = TVal::OfBool(word.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0);
            return n;
        }
        if (IsSym("(")) {
            static const struct { const char* Name; TFunc Func; int MinArgs; int MaxArgs; } funcs[] = {
                {"UPPER", fnUpper, 1, 1}, {"LOWER", fnLower, 1, 1}, {"TRIM", fnTrim, 1, 1},
                {"TRIMLEFT", fnTrimLeft, 1, 1}, {"LTRIM", fnTrimLeft, 1, 1}, {"TRIMRIGHT", fnTrimRight, 1, 1},
                {"RTRIM", fnTrimRight, 1, 1}, {"SUBSTRING", fnSubstring, 2, 3}, {"YEAR", fnYear, 1, 1},
                {"MONTH", fnMonth, 1, 1}, {"DAY", fnDay, 1, 1}, {"HOUR", fnHour, 1, 1}, {"MINUTE", fnMinute, 1, 1},
                {"SECOND", fnSecond, 1, 1}, {"DATE", fnDate, 1, 1}, {"TIME", fnTime, 1, 1}, {"GETDATE", fnGetDate, 0, 0}};
            for (const auto& f : funcs) {
                if (word.compare(QLatin1String(f.Name), Qt::CaseInsensitive) != 0) continue;
                Next();
                auto n = Make(opFunc);
                n->Func = f.Func;
                if (!IsSym(")")) {
                    n->Args.push_back(ParseOr());
                    while (IsSym(",")) {
                        Next();
                        n->Args.push_back(ParseOr());
                    }
                }
                Expect(")");
                if (int(n->Args.size()) < f.MinArgs || int(n->Args.size()) > f.MaxArgs)
                    ::SyntaxError(Text(), pos, QStringLiteral("wrong number of arguments to %1").arg(word));
                return n;
            }
            ::SyntaxError(Text(), pos, QStringLiteral("unknown function \"%1\"").arg(word));
        }
        return FieldNode(word);
    }

    const TFilterExpr::TFieldResolver& FResolve;
};

bool IsDateType(TFieldType t)
{
    return t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp;
}

bool IsNumberType(TFieldType t)
{
    switch (t) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: case ftFloat:
    case ftCurrency: case ftBCD: case ftFMTBcd:
        return true;
    default:
        return false;
    }
}

// A text constant compared with a field takes the field's kind now, once.
void Coerce(TFilterExpr::TNode& field, TFilterExpr::TNode& constant)
{
    if (field.Op != opField || constant.Op != opConst || constant.Value.Kind != TVal::vText) return;
    const TFieldType t = field.Binding.Type;
    const QString text = constant.Value.Text;
    if (IsDateType(t)) {
        double d;
        if (!ParseDateText(text, d)) DatabaseError(QStringLiteral("'%1' is not a valid date and time").arg(text));
        constant.Value = TVal::OfDate(d);
    } else if (IsNumberType(t)) {
        double d;
        if (!ParseNumberText(text, d)) DatabaseError(QStringLiteral("'%1' is not a valid number").arg(text));
        constant.Value = TVal::OfNum(d);
    } else if (t == ftBoolean) {
        const QString s = text.trimmed();
        if (s.startsWith(QLatin1Char('T'), Qt::CaseInsensitive) || s == QLatin1String("1")) constant.Value = TVal::OfBool(true);
        else if (s.startsWith(QLatin1Char('F'), Qt::CaseInsensitive) || s == QLatin1String("0")) constant.Value = TVal::OfBool(false);
        else DatabaseError(QStringLiteral("'%1' is not a valid Boolean value").arg(text));
    }
}

void Prepare(TFilterExpr::TNode& n, TFilterOptions options)
{
    for (auto& a : n.Args) Prepare(*a, options);
    const bool comparison = n.Op >= opEq && n.Op <= opGe;
    if (comparison || n.Op == opIn) {
        TFilterExpr::TNode& left = *n.Args[0];
        for (size_t i = 1; i < n.Args.size(); ++i) {
            Coerce(left, *n.Args[i]);
            Coerce(*n.Args[i], left);
        }
    }
    if ((n.Op == opEq || n.Op == opNe) && !options.testFlag(foNoPartialCompare)) {
        TFilterExpr::TNode& right = *n.Args[1];
        if (right.Op == opConst && right.Value.Kind == TVal::vText && right.Value.Text.endsWith(QLatin1Char('*'))) {
            right.Value.Text.chop(1);
            n.Partial = true;
        }
    }
}

} // namespace

namespace {

struct TEvaluator {
    const TRecordStore& Store;
    const TStoreLevel& Level;
    TSlotNo Slot;
    bool CaseInsensitive;

    TVal Field(const TColumnBinding& b) const
    {
        TVariant v;
        const char* block = Store.CellBlock(Level, Slot, b.Column);
        if (!ReadCell(Store, Level, block, b, v)) return TVal();
        switch (b.Type) {
        case ftBoolean: return TVal::OfBool(v.AsBoolean());
        case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: return TVal::OfInt(v.AsInt64());
        case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd: return TVal::OfNum(v.AsDouble());
        case ftDate: case ftTime: case ftDateTime: case ftTimeStamp: return TVal::OfDate(v.AsDateTime());
        case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftTypedBinary: case ftParadoxOle:
        case ftDBaseOle: case ftOraBlob:
            return TVal::OfText(QString::fromLatin1(v.AsBytes()));
        default: return TVal::OfText(v.AsString());
        }
    }

    static QString AsText(const TVal& v)
    {
        switch (v.Kind) {
        case TVal::vText: return v.Text;
        case TVal::vBool: return v.Int ? QStringLiteral("True") : QStringLiteral("False");
        case TVal::vInt: return QString::number(v.Int);
        case TVal::vNum: return QString::number(v.Num, 'g', 15);
        case TVal::vDate: return FormatDateTime(QString(), v.Num);
        default: return QString();
        }
    }

    // -2 when the two cannot be compared.
    int Compare(const TVal& a, const TVal& b) const
    {
        if (a.Kind == TVal::vText && b.Kind == TVal::vText) {
            const int c = TCollation::CompareText(a.Text, b.Text, CaseInsensitive);
            return c;
        }
        if (a.Kind == TVal::vInt && b.Kind == TVal::vInt) return a.Int < b.Int ? -1 : (a.Int > b.Int ? 1 : 0);
        double x = a.Num, y = b.Num;
        if (a.Kind == TVal::vText && !ParseNumberText(a.Text, x)) return -2;
        if (b.Kind == TVal::vText && !ParseNumberText(b.Text, y)) return -2;
        return x < y ? -1 : (x > y ? 1 : 0);
    }

    bool Equal(const TVal& a, const TVal& b) const
    {
        if (a.Kind == TVal::vText && b.Kind == TVal::vText)
            return CaseInsensitive ? TCollation::CompareText(a.Text, b.Text, true) == 0 : a.Text == b.Text;
        return Compare(a, b) == 0;
    }

    TVal Eval(const TFilterExpr::TNode& n) const
    {
        switch (n.Op) {
        case opConst: return n.Value;
        case opField: return Field(n.Binding);
        case opNeg: {
            const TVal v = Eval(*n.Args[0]);
            if (v.IsNull()) return v;
            if (v.Kind == TVal::vInt) return TVal::OfInt(-v.Int);
            double d = v.Num;
            if (v.Kind == TVal::vText && !ParseNumberText(v.Text, d)) return TVal();
            return TVal::OfNum(-d);
        }
        case opAdd: case opSub: case opMul: case opDiv: {
            const TVal a = Eval(*n.Args[0]);
            const TVal b = Eval(*n.Args[1]);
            if (a.IsNull() || b.IsNull()) return TVal();
            if (n.Op == opAdd && (a.Kind == TVal::vText || b.Kind == TVal::vText)) return TVal::OfText(AsText(a) + AsText(b));
            if (a.Kind == TVal::vInt && b.Kind == TVal::vInt && n.Op != opDiv) {
                switch (n.Op) {
                case opAdd: return TVal::OfInt(a.Int + b.Int);
                case opSub: return TVal::OfInt(a.Int - b.Int);
                default: return TVal::OfInt(a.Int * b.Int);
                }
            }
            double x = a.Num, y = b.Num;
            if (a.Kind == TVal::vText && !ParseNumberText(a.Text, x)) return TVal();
            if (b.Kind == TVal::vText && !ParseNumberText(b.Text, y)) return TVal();
            double r = 0;
            switch (n.Op) {
            case opAdd: r = x + y; break;
            case opSub: r = x - y; break;
            case opMul: r = x * y; break;
            default:
                if (y == 0) return TVal();
                r = x / y;
                break;
            }
            // A date plus or minus days is still a date.
            if ((a.Kind == TVal::vDate) != (b.Kind == TVal::vDate) && (n.Op == opAdd || n.Op == opSub)) return TVal::OfDate(r);
            return TVal::OfNum(r);
        }
        case opEq: case opNe: case opLt: case opGt: case opLe: case opGe: {
            const TVal a = Eval(*n.Args[0]);
            const TVal b = Eval(*n.Args[1]);
            if (a.IsNull() || b.IsNull()) return TVal::OfBool(false);
            if (n.Partial && a.Kind == TVal::vText && b.Kind == TVal::vText) {
                const bool starts = a.Text.startsWith(b.Text, CaseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive);
                return TVal::OfBool(n.Op == opEq ? starts : !starts);
            }
            if (n.Op == opEq) return TVal::OfBool(Equal(a, b));
            if (n.Op == opNe) return TVal::OfBool(!Equal(a, b));
            const int c = Compare(a, b);
            if (c == -2) return TVal::OfBool(false);
            switch (n.Op) {
            case opLt: return TVal::OfBool(c < 0);
            case opGt: return TVal::OfBool(c > 0);
            case opLe: return TVal::OfBool(c <= 0);
            default: return TVal::OfBool(c >= 0);
            }
        }
        case opLike: {
            const TVal a = Eval(*n.Args[0]);
            const TVal p = Eval(*n.Args[1]);
            if (a.IsNull() || p.IsNull()) return TVal::OfBool(false);
            const bool m = LikeMatch(AsText(a), AsText(p), CaseInsensitive, n.Escape);
            return TVal::OfBool(n.Negated ? !m : m);
        }
        case opIn: {
            const TVal a = Eval(*n.Args[0]);
            if (a.IsNull()) return TVal::OfBool(false);
            bool found = false;
            for (size_t i = 1; i < n.Args.size() && !found; ++i) {
                const TVal b = Eval(*n.Args[i]);
                found = !b.IsNull() && Equal(a, b);
            }
            return TVal::OfBool(n.Negated ? !found : found);
        }
        case opIsNull: {
            const bool isNull = Eval(*n.Args[0]).IsNull();
            return TVal::OfBool(n.Negated ? !isNull : isNull);
        }
        case opAnd:
            return TVal::OfBool(Truth(*n.Args[0]) && Truth(*n.Args[1]));
        case opOr:
            return TVal::OfBool(Truth(*n.Args[0]) || Truth(*n.Args[1]));
        case opNot:
            return TVal::OfBool(!Truth(*n.Args[0]));
        case opFunc:
            return Function(n);
        }
        return TVal();
    }

    bool Truth(const TFilterExpr::TNode& n) const
    {
        const TVal v = Eval(n);
        switch (v.Kind) {
        case TVal::vNull: return false;
        case TVal::vText: return !v.Text.isEmpty();
        case TVal::vInt: case TVal::vBool: return v.Int != 0;
        default: return v.Num != 0;
        }
    }

    TVal Function(const TFilterExpr::TNode& n) const
    {
        if (n.Func == fnGetDate) return TVal::OfDate(Now());
        const TVal a = Eval(*n.Args[0]);
        if (a.IsNull()) return a;
        switch (n.Func) {
        case fnUpper: return TVal::OfText(AsText(a).toUpper());
        case fnLower: return TVal::OfText(AsText(a).toLower());
        case fnTrim: return TVal::OfText(AsText(a).trimmed());
        case fnTrimLeft: {
            const QString s = AsText(a);
            int i = 0;
            while (i < s.size() && s[i].isSpace()) ++i;
            return TVal::OfText(s.mid(i));
        }
        case fnTrimRight: {
            QString s = AsText(a);
            while (!s.isEmpty() && s.back().isSpace()) s.chop(1);
            return TVal::OfText(s);
        }
        case fnSubstring: {
            const TVal from = Eval(*n.Args[1]);
            if (from.IsNull()) return TVal();
            const QString s = AsText(a);
            const qint64 start = qMax<qint64>(1, qint64(std::llround(from.Num))) - 1;
            qint64 length = s.size();
            if (n.Args.size() > 2) {
                const TVal len = Eval(*n.Args[2]);
                if (len.IsNull()) return TVal();
                length = qMax<qint64>(0, qint64(std::llround(len.Num)));
            }
            return TVal::OfText(s.mid(qsizetype(qMin<qint64>(start, s.size())), qsizetype(qMin<qint64>(length, s.size()))));
        }
        default:
            break;
        }
        double d = a.Num;
        if (a.Kind == TVal::vText && !ParseDateText(a.Text, d)) return TVal();
        int y, m, day, hh, mm, ss, ms;
        DecodeDate(d, y, m, day);
        DecodeTime(d, hh, mm, ss, ms);
        switch (n.Func) {
        case fnYear: return TVal::OfInt(y);
        case fnMonth: return TVal::OfInt(m);
        case fnDay: return TVal::OfInt(day);
        case fnHour: return TVal::OfInt(hh);
        case fnMinute: return TVal::OfInt(mm);
        case fnSecond: return TVal::OfInt(ss);
        case fnDate: return TVal::OfDate(std::trunc(d));
        case fnTime: return TVal::OfDate(std::fabs(d - std::trunc(d)));
        default: return TVal();
        }
    }
};

} // namespace

TFilterExpr::TFilterExpr(const QString& text, const TRecordStore& store, int level, const TFieldResolver& resolve,
                         TFilterOptions options)
    : FStore(store), FLevel(store.Level(level)), FOptions(options)
{
    TParser parser(text, resolve);
    FRoot = parser.Parse();
    Prepare(*FRoot, options);
}

TFilterExpr::~TFilterExpr() = default;

bool TFilterExpr::Matches(TSlotNo slot) const
{
    if (!FRoot || !slot) return true;
    const TEvaluator e{FStore, FLevel, slot, FOptions.testFlag(foCaseInsensitive)};
    return e.Truth(*FRoot);
}
