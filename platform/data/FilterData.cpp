#include "platform/data/FilterData.h"

#include "platform/core/CodePages.h"
#include "platform/core/SysFormat.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace {

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

bool MatchesFileMask(const QString& text, const QString& mask)
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

QString TFilterValue::ToText() const
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

double TFilterValue::ToFloat() const
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

qint64 TFilterValue::ToInt() const
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

bool TFilterValue::ToBool() const
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

double TFilterValue::ToDateTime() const
{
    if (Kind == fvString) return StrToDateTime(S);
    return ToFloat();
}

namespace {

// Variant comparison: -1, 0, 1; 2 means "not comparable" (a null is involved).
int CompareValues(const TFilterValue& a, const TFilterValue& b)
{
    using V = TFilterValue;
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

TFilterValue Arith(int op, const TFilterValue& a, const TFilterValue& b)
{
    using V = TFilterValue;
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

TFilterValue Negate(const TFilterValue& v)
{
    using V = TFilterValue;
    switch (v.Kind) {
    case V::fvNull: case V::fvEmpty: return v;
    case V::fvInt: return V::Int(-v.I);
    case V::fvDate: return V::Date(-v.F);
    default: return V::Float(-v.ToFloat());
    }
}

// ---------------------------------------------------------------- evaluator

TFilterValue Eval(const TFilterNode* n, const TFilterFieldReader& read);

TFilterValue EvalFunction(const TFilterNode* n, const TFilterFieldReader& read)
{
    using V = TFilterValue;
    const QString& name = n->Name;
    std::vector<V> a;
    for (const auto& arg : n->Args) a.push_back(Eval(arg.get(), read));
    auto bad = [&]() -> V {
        throw EFilterError(Format(QStringLiteral("Invalid or missing parameter for function %s"), {name}));
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
    throw EFilterError(Format(QStringLiteral("Invalid function name %s"), {name}));
}

const TFilterValue& OperandValue(const TFilterNode* n, const TFilterFieldReader& read, TFilterValue& scratch)
{
    if (n->Class == nodeCONST && n->Op == canCONST2) return n->Value;
    scratch = Eval(n, read);
    return scratch;
}

TFilterValue Eval(const TFilterNode* n, const TFilterFieldReader& read)
{
    using V = TFilterValue;
    switch (n->Class) {
    case nodeFIELD:
        if (n->Op != canFIELD2) throw EFilterError(Format(QStringLiteral("Unknown operator (%d)"), {n->Op}));
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
        // Constants are compared where they stand, without a copy per record.
        V leftValue, rightValue;
        const V& l = OperandValue(n->Args[0].get(), read, leftValue);
        const V& r = OperandValue(n->Args[1].get(), read, rightValue);
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
            return V::Bool(MatchesFileMask(l.ToText(), r.ToText()));
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
            throw EFilterError(Format(QStringLiteral("Operator not supported (%d)."), {op}));
        }
    }
    case nodeCOMPARE: {
        if (n->Op == canLIKE) {
            const V l = Eval(n->Args[0].get(), read), r = Eval(n->Args[1].get(), read);
            return V::Bool(MatchesFileMask(l.ToText(), r.ToText()));
        }
        if (n->Op != canEQ && n->Op != canNE)
            throw EFilterError(Format(QStringLiteral("Operator not supported (%d)."), {n->Op}));
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
        if (n->Op != canLISTELEM2) throw EFilterError(Format(QStringLiteral("Operator not supported (%d)."), {n->Op}));
        auto arr = std::make_shared<std::vector<V>>();
        arr->reserve(n->Args.size());
        for (const auto& e : n->Args) arr->push_back(Eval(e.get(), read));
        V v;
        v.Kind = V::fvArray;
        v.A = arr;
        return v;
    }
    case nodeFUNC:
        if (n->Op != canFUNC2) throw EFilterError(Format(QStringLiteral("Operator not supported (%d)."), {n->Op}));
        return EvalFunction(n, read);
    default:
        return V();
    }
}

} // namespace
TFilterValue EvaluateFilter(const TFilterNode* node, const TFilterFieldReader& read)
{
    return Eval(node, read);
}

TFilterValue FilterValueOf(const TVariant& v)
{
    using V = TFilterValue;
    switch (v.Type()) {
    case varEmpty: return V();
    case varNull: return V::Null();
    case varBoolean: return V::Bool(v.AsBoolean());
    case varSmallint: case varInteger: case varByte: case varWord: case varInt64: return V::Int(v.AsInt64());
    case varDouble: return V::Float(v.AsDouble());
    case varCurrency: return V::Float(v.AsCurrency().ToDouble());
    case varDate: return V::Date(v.AsDateTime());
    default: return V::Str(v.AsString());
    }
}

// ---------------------------------------------------------------- BCD

bool FloatToFilterBcd(double value, int decimals, uchar* bcd)
{
    constexpr int Digits = 32;
    std::memset(bcd, 0, FilterBlock::BcdSize);
    if (!std::isfinite(value) || decimals < 0 || decimals > Digits) return false;
    // The digits as text, rounded at the last decimal; a whole part of 0 takes no digit.
    const QByteArray text = QByteArray::number(std::fabs(value), 'f', decimals);
    const qsizetype dot = text.indexOf('.');
    QByteArray whole = dot < 0 ? text : text.left(dot);
    while (!whole.isEmpty() && whole.at(0) == '0') whole.remove(0, 1);
    const QByteArray digits = whole + (dot < 0 ? QByteArray() : text.mid(dot + 1));
    if (whole.size() > Digits - decimals) return false;
    // Right-aligned in the 32 digits: the whole part ends where the decimals begin.
    const int first = Digits - int(digits.size());
    bool zero = true;
    for (int i = 0; i < int(digits.size()); ++i) {
        const int digit = digits.at(i) - '0';
        zero = zero && digit == 0;
        const int at = first + i;
        bcd[2 + at / 2] |= uchar(at % 2 ? digit : digit << 4);
    }
    bcd[0] = uchar(Digits);
    bcd[1] = uchar(decimals | (value < 0 && !zero ? 0x80 : 0));
    return true;
}

double FilterBcdToFloat(const uchar* bcd)
{
    const int precision = qMin<int>(bcd[0], 64);
    const int decimals = bcd[1] & 0x3F;
    double v = 0;
    for (int i = 0; i < precision; ++i) {
        const int digit = (bcd[2 + i / 2] >> (i % 2 ? 0 : 4)) & 0x0F;
        v = v * 10 + qMin(digit, 9);
    }
    v /= std::pow(10.0, decimals);
    return (bcd[1] & 0x80) ? -v : v;
}

// ---------------------------------------------------------------- the filter-expression block

namespace {

class TBlockReader {
public:
    TBlockReader(const QByteArray& block, int codePage, const TFilterBlockFieldResolver& resolve)
        : FBlock(block), FCodePage(codePage), FResolve(resolve)
    {
        if (block.size() < FilterBlock::HeaderSize) Damaged();
        const quint16 version = U16(0);
        const int total = U16(2);
        FNodeCount = U16(4);
        FNodeStart = U16(6);
        FLiteralStart = U16(8);
        if (version != FilterBlock::Version || total > block.size() || FNodeCount < 1
            || FNodeStart < FilterBlock::HeaderSize || FLiteralStart < FNodeStart + FNodeCount * FilterBlock::NodeSize
            || FLiteralStart > total)
            Damaged();
        FEnd = total;
    }

    std::unique_ptr<TFilterNode> Root() { return Node(0, 0); }

private:
    [[noreturn]] static void Damaged() { DatabaseError(QStringLiteral("The filter expression block is damaged")); }

    quint16 U16(int at) const { return qFromLittleEndian<quint16>(FBlock.constData() + at); }
    quint32 U32(int at) const { return qFromLittleEndian<quint32>(FBlock.constData() + at); }

    // The literal at a pool offset with size bytes; damaged when it leaves the block.
    const uchar* Literal(int offset, int size) const
    {
        const int at = FLiteralStart + offset;
        if (offset < 0 || size < 0 || at + size > FEnd) Damaged();
        return reinterpret_cast<const uchar*>(FBlock.constData() + at);
    }

    QString ZeroTerminated(int offset) const
    {
        const int at = FLiteralStart + offset;
        if (offset < 0 || at >= FEnd) Damaged();
        const char* p = FBlock.constData() + at;
        const int n = int(qstrnlen(p, size_t(FEnd - at)));
        if (at + n >= FEnd) Damaged();   // no terminating zero inside the block
        return DecodeCodePage(QByteArrayView(p, n), FCodePage);
    }

    std::unique_ptr<TFilterNode> Node(int offset, int depth)
    {
        // Offsets are checked against the node area; the depth bound stops a block whose nodes
        // point at one another.
        if (offset % FilterBlock::NodeSize || offset < 0 || offset >= FNodeCount * FilterBlock::NodeSize
            || depth > FNodeCount || ++FNodesRead > FNodeCount)
            Damaged();
        const int at = FNodeStart + offset;
        auto node = std::make_unique<TFilterNode>();
        node->Class = TNodeClass(U32(at));
        node->Op = int(U32(at + 4));
        switch (node->Class) {
        case nodeBINARY:
        case nodeCOMPARE:
            node->Args.push_back(Node(U16(at + 8), depth + 1));
            node->Args.push_back(Node(U16(at + 10), depth + 1));
            break;
        case nodeUNARY:
            node->Args.push_back(Node(U16(at + 8), depth + 1));
            break;
        case nodeFIELD: {
            if (node->Op != canFIELD2) Damaged();
            node->Name = ZeroTerminated(U16(at + 10));
            if (!FResolve(node->Name, node->FieldIndex))
                DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {node->Name});
            break;
        }
        case nodeCONST:
            if (node->Op != canCONST2) Damaged();
            node->ConstType = U16(at + 8);
            node->Value = Constant(node->ConstType, U16(at + 10), U16(at + 12));
            break;
        default:
            Damaged();
        }
        return node;
    }

    TFilterValue Constant(int type, int size, int offset) const
    {
        using V = TFilterValue;
        auto need = [&](int n) {
            if (size != n) Damaged();
            return Literal(offset, n);
        };
        switch (type) {
        case fdtString: {
            const uchar* p = Literal(offset, size);
            if (size < 1 || p[size - 1] != 0) Damaged();
            return V::Str(DecodeCodePage(QByteArrayView(reinterpret_cast<const char*>(p), qstrnlen(reinterpret_cast<const char*>(p), size_t(size))), FCodePage));
        }
        case fdtFloat: return V::Float(qFromLittleEndian<double>(need(8)));
        case fdtBcd: return V::Float(FilterBcdToFloat(need(FilterBlock::BcdSize)));
        case fdtInt32: return V::Int(qFromLittleEndian<qint32>(need(4)));
        case fdtInt16: return V::Int(qFromLittleEndian<qint16>(need(2)));
        case fdtBoolean: return V::Bool(qFromLittleEndian<qint16>(need(2)) != 0);
        case fdtDate: return V::Date(DayNumberToDateTime(qFromLittleEndian<qint32>(need(4))));
        case fdtTime: return V::Date(qFromLittleEndian<qint32>(need(4)) / MSecsPerDay);
        case fdtTimeStamp: {
            const double msecs = qFromLittleEndian<double>(need(8));
            const double days = std::floor(msecs / MSecsPerDay);
            return V::Date(DayNumberToDateTime(int(days), int(msecs - days * MSecsPerDay)));
        }
        default: Damaged();
        }
    }

    const QByteArray& FBlock;
    int FCodePage;
    const TFilterBlockFieldResolver& FResolve;
    int FNodeCount = 0;
    int FNodeStart = 0;
    int FLiteralStart = 0;
    int FEnd = 0;
    int FNodesRead = 0;
};

} // namespace

std::unique_ptr<TFilterNode> ReadFilterBlock(const QByteArray& block, int codePage, const TFilterBlockFieldResolver& resolve)
{
    return TBlockReader(block, codePage, resolve).Root();
}
