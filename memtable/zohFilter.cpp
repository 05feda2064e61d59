#include "memtable/zohFilter.h"

#include "platform/core/SysFormat.h"
#include "platform/data/FilterParser.h"

#include <cmath>

namespace {

[[noreturn]] void ConvertError(const QString& text, const char* what)
{
    throw EConvertError(Format(QStringLiteral("'%s' is not a valid %s"), {text, QString::fromLatin1(what)}));
}

QString AsciiUpper(const QString& s)
{
    QString r = s;
    for (QChar& c : r)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 32);
    return r;
}
QString AsciiLower(const QString& s)
{
    QString r = s;
    for (QChar& c : r)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
    return r;
}
} // namespace

// ---------------------------------------------------------------- masks

bool zohMatchesMask(const QString& text, const QString& mask)
{
    const QString t = text.toUpper(), m = mask.toUpper();
    // Iterative match with back-tracking to the last star.
    int ti = 0, mi = 0, starM = -1, starT = 0;
    auto matchOne = [&](int& mpos, QChar c) -> bool {
        if (m.at(mpos) == QLatin1Char('?')) {
            ++mpos;
            return true;
        }
        if (m.at(mpos) == QLatin1Char('[')) {
            const int close = m.indexOf(QLatin1Char(']'), mpos + 1);
            if (close < 0) {
                const bool ok = c == QLatin1Char('[');
                ++mpos;
                return ok;
            }
            int p = mpos + 1;
            bool negate = false;
            if (p < close && m.at(p) == QLatin1Char('!')) {
                negate = true;
                ++p;
            }
            bool hit = false;
            while (p < close) {
                if (p + 2 < close && m.at(p + 1) == QLatin1Char('-')) {
                    if (c >= m.at(p) && c <= m.at(p + 2)) hit = true;
                    p += 3;
                } else {
                    if (c == m.at(p)) hit = true;
                    ++p;
                }
            }
            mpos = close + 1;
            return hit != negate;
        }
        const bool ok = m.at(mpos) == c;
        ++mpos;
        return ok;
    };
    while (ti < t.size()) {
        if (mi < m.size() && m.at(mi) == QLatin1Char('*')) {
            starM = ++mi;
            starT = ti;
            continue;
        }
        int mp = mi;
        if (mi < m.size() && matchOne(mp, t.at(ti))) {
            mi = mp;
            ++ti;
            continue;
        }
        if (starM < 0) return false;
        mi = starM;
        ti = ++starT;
    }
    while (mi < m.size() && m.at(mi) == QLatin1Char('*')) ++mi;
    return mi == m.size();
}

// ---------------------------------------------------------------- values

QString TzohFilterValue::ToText() const
{
    switch (Kind) {
    case fvEmpty: case fvNull: return QString();
    case fvBool: return B ? QStringLiteral("True") : QStringLiteral("False");
    case fvInt: return QString::number(I);
    case fvFloat: return FloatToStr(F);
    case fvDate: return DateTimeToStr(F);
    case fvString: return S;
    case fvArray: throw EConvertError(QStringLiteral("Invalid variant type conversion"));
    }
    return QString();
}

double TzohFilterValue::ToFloat() const
{
    switch (Kind) {
    case fvEmpty: return 0;
    case fvNull: throw EConvertError(QStringLiteral("Could not convert variant of type (Null) into type (Double)"));
    case fvBool: return B ? -1 : 0;
    case fvInt: return double(I);
    case fvFloat: case fvDate: return F;
    case fvString: return StrToFloat(S);
    case fvArray: break;
    }
    throw EConvertError(QStringLiteral("Invalid variant type conversion"));
}

qint64 TzohFilterValue::ToInt() const
{
    switch (Kind) {
    case fvInt: return I;
    case fvString: {
        bool ok = false;
        const qint64 v = S.trimmed().toLongLong(&ok);
        if (ok) return v;
        return qint64(std::llround(ToFloat()));
    }
    default: return qint64(std::llround(ToFloat()));
    }
}

bool TzohFilterValue::ToBool() const
{
    switch (Kind) {
    case fvEmpty: case fvNull: return false;
    case fvBool: return B;
    case fvInt: return I != 0;
    case fvFloat: case fvDate: return F != 0;
    case fvString:
        if (S.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
        if (S.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
        return ToFloat() != 0;
    case fvArray: break;
    }
    throw EConvertError(QStringLiteral("Invalid variant type conversion"));
}

double TzohFilterValue::ToDateTime() const
{
    if (Kind == fvString) return StrToDateTime(S);
    return ToFloat();
}

namespace {

// Variant comparison: -1, 0, 1; 2 means "not comparable" (a null is involved).
int CompareValues(const TzohFilterValue& a, const TzohFilterValue& b)
{
    using V = TzohFilterValue;
    if (a.IsNullOrEmpty() || b.IsNullOrEmpty()) {
        if (a.IsNullOrEmpty() && b.IsNullOrEmpty()) return 0;
        return 2;
    }
    if (a.Kind == V::fvString && b.Kind == V::fvString) {
        const int c = a.S.compare(b.S);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (a.Kind == V::fvBool && b.Kind == V::fvBool) return a.B == b.B ? 0 : (a.B ? 1 : -1);
    if (a.Kind == V::fvInt && b.Kind == V::fvInt) return a.I < b.I ? -1 : a.I > b.I ? 1 : 0;
    double x, y;
    if (a.Kind == V::fvDate && b.Kind == V::fvString) {
        x = a.F;
        y = b.ToDateTime();
    } else if (b.Kind == V::fvDate && a.Kind == V::fvString) {
        x = a.ToDateTime();
        y = b.F;
    } else if ((a.Kind == V::fvBool && b.Kind == V::fvString) || (b.Kind == V::fvBool && a.Kind == V::fvString)) {
        const bool p = a.ToBool(), q = b.ToBool();
        return p == q ? 0 : (p ? 1 : -1);
    } else {
        x = a.ToFloat();
        y = b.ToFloat();
    }
    return x < y ? -1 : x > y ? 1 : 0;
}

TzohFilterValue Arith(int op, const TzohFilterValue& a, const TzohFilterValue& b)
{
    using V = TzohFilterValue;
    if (a.Kind == V::fvNull || b.Kind == V::fvNull) return V::Null();
    if (op == canADD && a.Kind == V::fvString && b.Kind == V::fvString) return V::Str(a.S + b.S);
    const bool ints = (a.Kind == V::fvInt || a.Kind == V::fvBool || a.Kind == V::fvEmpty) &&
                      (b.Kind == V::fvInt || b.Kind == V::fvBool || b.Kind == V::fvEmpty);
    const bool date = a.Kind == V::fvDate || b.Kind == V::fvDate;
    switch (op) {
    case canADD: case canSUB: case canMUL: {
        if (ints) {
            const qint64 x = a.ToInt(), y = b.ToInt();
            return V::Int(op == canADD ? x + y : op == canSUB ? x - y : x * y);
        }
        const double x = a.ToFloat(), y = b.ToFloat();
        const double r = op == canADD ? x + y : op == canSUB ? x - y : x * y;
        return (date && op != canMUL) ? V::Date(r) : V::Float(r);
    }
    case canDIV: {
        const double y = b.ToFloat();
        if (y == 0) throw EConvertError(QStringLiteral("Floating point division by zero"));
        return V::Float(a.ToFloat() / y);
    }
    default: {
        const qint64 y = b.ToInt();
        if (y == 0) throw EConvertError(QStringLiteral("Division by zero"));
        return V::Int(a.ToInt() % y);
    }
    }
}

TzohFilterValue Negate(const TzohFilterValue& v)
{
    using V = TzohFilterValue;
    switch (v.Kind) {
    case V::fvNull: case V::fvEmpty: return v;
    case V::fvInt: return V::Int(-v.I);
    case V::fvDate: return V::Date(-v.F);
    default: return V::Float(-v.ToFloat());
    }
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

// ---------------------------------------------------------------- evaluator

TzohFilterValue Eval(const TzohFilterNode* n, const TzohFilterFieldReader& read);

TzohFilterValue EvalFunction(const TzohFilterNode* n, const TzohFilterFieldReader& read)
{
    using V = TzohFilterValue;
    const QString& name = n->Name;
    std::vector<V> a;
    for (const auto& arg : n->Args) a.push_back(Eval(arg.get(), read));
    auto bad = [&]() -> V {
        throw EMemTableError(Format(QStringLiteral("Invalid or missing parameter for function %s"), {name}));
    };
    auto arg = [&](size_t i) -> const V& {
        static const V empty;
        return i < a.size() ? a[i] : empty;
    };
    if (name == QLatin1String("UPPER")) return arg(0).IsNullOrEmpty() ? arg(0) : V::Str(AsciiUpper(arg(0).ToText()));
    if (name == QLatin1String("LOWER")) return arg(0).IsNullOrEmpty() ? arg(0) : V::Str(AsciiLower(arg(0).ToText()));
    if (name == QLatin1String("SUBSTRING")) {
        if (arg(0).Kind == V::fvNull) return V::Null();
        QString text;
        qint64 start = 0, count = 0;
        try {
            text = arg(0).ToText();
            const V& st = arg(1);
            if (st.Kind == V::fvString && st.S.contains(QLatin1Char(','))) {
                const QStringList parts = st.S.split(QLatin1Char(','));
                start = V::Str(parts.value(0)).ToInt();
                count = V::Str(parts.value(1)).ToInt();
            } else {
                start = st.ToInt();
                count = a.size() > 2 ? arg(2).ToInt() : 0;
            }
        } catch (const EConvertError&) {
            bad();
        }
        if (start < 1) start = 1;
        if (start > text.size()) return V::Str(QString());
        return V::Str(count <= 0 ? text.mid(int(start - 1)) : text.mid(int(start - 1), int(count)));
    }
    auto isBlankOrCtl = [](QChar c) { return c.unicode() <= 32; };
    if (name == QLatin1String("TRIM") || name == QLatin1String("TRIMLEFT") || name == QLatin1String("TRIMRIGHT")) {
        if (arg(0).IsNullOrEmpty()) return arg(0);
        QString s = arg(0).ToText();
        if (name != QLatin1String("TRIMRIGHT")) {
            int i = 0;
            while (i < s.size() && isBlankOrCtl(s.at(i))) ++i;
            s = s.mid(i);
        }
        if (name != QLatin1String("TRIMLEFT")) {
            int e = int(s.size());
            while (e > 0 && isBlankOrCtl(s.at(e - 1))) --e;
            s.truncate(e);
        }
        return V::Str(s);
    }
    if (name == QLatin1String("GETDATE")) return V::Date(Now());
    const bool datePart = name == QLatin1String("YEAR") || name == QLatin1String("MONTH") || name == QLatin1String("DAY");
    const bool timePart = name == QLatin1String("HOUR") || name == QLatin1String("MINUTE") || name == QLatin1String("SECOND");
    if (datePart || timePart) {
        if (arg(0).IsNullOrEmpty()) return V::Null();
        const double dt = arg(0).ToDateTime();
        int y, m, d, h, mi, s, ms;
        DecodeDate(dt, y, m, d);
        DecodeTime(dt, h, mi, s, ms);
        if (name == QLatin1String("YEAR")) return V::Int(y);
        if (name == QLatin1String("MONTH")) return V::Int(m);
        if (name == QLatin1String("DAY")) return V::Int(d);
        if (name == QLatin1String("HOUR")) return V::Int(h);
        if (name == QLatin1String("MINUTE")) return V::Int(mi);
        return V::Int(s);
    }
    if (name == QLatin1String("DATE") || name == QLatin1String("TIME")) {
        const bool isDate = name == QLatin1String("DATE");
        if (a.size() >= 2) {
            double dt = 0;
            QString text, format;
            try {
                text = arg(0).ToText();
                format = arg(1).ToText();
            } catch (const EConvertError&) {
                bad();
            }
            // The text is read while the short format is the one given.
            TFormatSettings fs = FormatSettings;
            (isDate ? fs.ShortDateFormat : fs.ShortTimeFormat) = format;
            if (!(isDate ? TryStrToDate(text, dt, fs) : TryStrToTime(text, dt, fs))) bad();
            return V::Date(dt);
        }
        if (arg(0).IsNullOrEmpty()) return V::Null();
        const double dt = arg(0).ToDateTime();
        if (isDate) return V::Int(qint64(std::trunc(dt)));
        return V::Float(std::fabs(dt - std::trunc(dt)));
    }
    throw EMemTableError(Format(QStringLiteral("Invalid function name %s"), {name}));
}

TzohFilterValue Eval(const TzohFilterNode* n, const TzohFilterFieldReader& read)
{
    using V = TzohFilterValue;
    switch (n->Class) {
    case nodeFIELD:
        if (n->Op != canFIELD2) throw EMemTableError(Format(QStringLiteral("Unknown operator (%d)"), {n->Op}));
        return read(n->FieldIndex);
    case nodeCONST:
        return n->Op == canCONST2 ? n->Value : V();
    case nodeUNARY: {
        const V v = Eval(n->Args[0].get(), read);
        switch (n->Op) {
        case canISBLANK: return V::Bool(v.IsNullOrEmpty());
        case canNOTBLANK: return V::Bool(!v.IsNullOrEmpty());
        case canNOT: return V::Bool(!v.ToBool());
        case canMINUS: return Negate(v);
        case canUPPER: return v.IsNullOrEmpty() ? v : V::Str(AsciiUpper(v.ToText()));
        case canLOWER: return v.IsNullOrEmpty() ? v : V::Str(AsciiLower(v.ToText()));
        default: return V();
        }
    }
    case nodeBINARY: {
        const int op = n->Op;
        if (op == canAND) {
            if (!Eval(n->Args[0].get(), read).ToBool()) return V::Bool(false);
            return V::Bool(Eval(n->Args[1].get(), read).ToBool());
        }
        if (op == canOR) {
            if (Eval(n->Args[0].get(), read).ToBool()) return V::Bool(true);
            return V::Bool(Eval(n->Args[1].get(), read).ToBool());
        }
        const V l = Eval(n->Args[0].get(), read);
        const V r = Eval(n->Args[1].get(), read);
        switch (op) {
        case canEQ: return V::Bool(CompareValues(l, r) == 0);
        case canNE: return V::Bool(CompareValues(l, r) != 0);
        case canGT: return V::Bool(CompareValues(l, r) == 1);
        case canLT: return V::Bool(CompareValues(l, r) == -1);
        case canGE: { const int c = CompareValues(l, r); return V::Bool(c == 0 || c == 1); }
        case canLE: { const int c = CompareValues(l, r); return V::Bool(c == 0 || c == -1); }
        case canADD: case canSUB: case canMUL: case canDIV: case canMOD: case canREM: return Arith(op, l, r);
        case canLIKE:
            if (l.IsNullOrEmpty() || r.IsNullOrEmpty()) return V::Bool(false);
            return V::Bool(zohMatchesMask(l.ToText(), r.ToText()));
        case canIN:
            if (r.Kind == V::fvArray) {
                for (const V& e : *r.A) {
                    if (e.Kind == V::fvNull) break;
                    if (CompareValues(l, e) == 0) return V::Bool(true);
                }
                return V::Bool(false);
            }
            return V::Bool(CompareValues(l, r) == 0);
        default:
            throw EMemTableError(Format(QStringLiteral("Operator not supported (%d)."), {op}));
        }
    }
    case nodeCOMPARE: {
        if (n->Op == canLIKE) {
            const V l = Eval(n->Args[0].get(), read), r = Eval(n->Args[1].get(), read);
            return V::Bool(zohMatchesMask(l.ToText(), r.ToText()));
        }
        if (n->Op != canEQ && n->Op != canNE)
            throw EMemTableError(Format(QStringLiteral("Operator not supported (%d)."), {n->Op}));
        const V lv = Eval(n->Args[0].get(), read), rv = Eval(n->Args[1].get(), read);
        QString l = lv.ToText(), r = rv.ToText();
        if (n->CaseInsensitive) {
            l = l.toUpper();
            r = r.toUpper();
        }
        bool eq;
        if (n->PartialLength < 0) {
            eq = !lv.IsNullOrEmpty();
        } else {
            if (n->PartialLength > 0) {
                l.truncate(n->PartialLength);
                r.truncate(n->PartialLength);
            }
            eq = l == r;
        }
        return V::Bool(n->Op == canEQ ? eq : !eq);
    }
    case nodeLISTELEM: {
        if (n->Op != canLISTELEM2) throw EMemTableError(Format(QStringLiteral("Operator not supported (%d)."), {n->Op}));
        auto arr = std::make_shared<std::vector<V>>();
        arr->reserve(n->Args.size());
        for (const auto& e : n->Args) arr->push_back(Eval(e.get(), read));
        V v;
        v.Kind = V::fvArray;
        v.A = arr;
        return v;
    }
    case nodeFUNC:
        if (n->Op != canFUNC2) throw EMemTableError(Format(QStringLiteral("Operator not supported (%d)."), {n->Op}));
        return EvalFunction(n, read);
    default:
        return V();
    }
}

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
    return Eval(FRoot.get(), read).ToBool();
}
