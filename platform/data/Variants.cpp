#include "platform/data/Variants.h"

#include "platform/core/CodePages.h"

#include <cmath>
#include <limits>
#include <new>

// ---------------------------------------------------------------------------------------------
// Storage

TVariant::TVariant(const TVariant& other) : FType(varEmpty)
{
    FInt = 0;
    CopyFrom(other);
}

TVariant::TVariant(TVariant&& other) noexcept : FType(varEmpty)
{
    FInt = 0;
    MoveFrom(other);
}

TVariant& TVariant::operator=(const TVariant& other)
{
    if (this != &other) {
        if (FType >= varString) Release();
        CopyFrom(other);
    }
    return *this;
}

TVariant& TVariant::operator=(TVariant&& other) noexcept
{
    if (this != &other) {
        if (FType >= varString) Release();
        MoveFrom(other);
    }
    return *this;
}

TVariant::TVariant(const QString& v) : FType(varUString) { new (&FString) QString(v); }
TVariant::TVariant(QString&& v) noexcept : FType(varUString) { new (&FString) QString(std::move(v)); }

TVariant TVariant::FromAnsiString(const QByteArray& bytes, int codePage)
{
    TVariant r;
    new (&r.FBytes) QByteArray(bytes);
    r.FType = varString;
    r.FCodePage = quint16(codePage > 0 && codePage < 65536 ? codePage : 0);
    return r;
}

int TVariant::CodePage() const noexcept { return FCodePage ? FCodePage : DefaultCodePage(); }

TVariant TVariant::FromBytes(const QByteArray& bytes)
{
    TVariant r;
    new (&r.FBytes) QByteArray(bytes);
    r.FType = varBytes;
    return r;
}

TVariant TVariant::ArrayOf(std::initializer_list<TVariant> items)
{
    return ArrayOf(std::vector<TVariant>(items));
}

TVariant TVariant::ArrayOf(std::vector<TVariant> items)
{
    TVariant r;
    new (&r.FArray) std::shared_ptr<const std::vector<TVariant>>(std::make_shared<const std::vector<TVariant>>(std::move(items)));
    r.FType = varVarArray;
    return r;
}

void TVariant::Release() noexcept
{
    switch (FType) {
    case varUString: FString.~QString(); break;
    case varString: case varBytes: FBytes.~QByteArray(); break;
    case varVarArray: FArray.~shared_ptr(); break;
    default: break;
    }
    FType = varEmpty;
    FCodePage = 0;
    FInt = 0;
}

void TVariant::CopyFrom(const TVariant& other)
{
    switch (other.FType) {
    case varUString: new (&FString) QString(other.FString); break;
    case varString: case varBytes: new (&FBytes) QByteArray(other.FBytes); break;
    case varVarArray: new (&FArray) std::shared_ptr<const std::vector<TVariant>>(other.FArray); break;
    default: FInt = other.FInt; break;
    }
    FType = other.FType;
    FCodePage = other.FCodePage;
}

void TVariant::MoveFrom(TVariant& other) noexcept
{
    switch (other.FType) {
    case varUString: new (&FString) QString(std::move(other.FString)); break;
    case varString: case varBytes: new (&FBytes) QByteArray(std::move(other.FBytes)); break;
    case varVarArray: new (&FArray) std::shared_ptr<const std::vector<TVariant>>(std::move(other.FArray)); break;
    default: FInt = other.FInt; break;
    }
    FType = other.FType;
    FCodePage = other.FCodePage;
    other.Release();
}

// ---------------------------------------------------------------------------------------------
// Conversions

namespace {

[[noreturn]] void CastError(TVarType from, const char* to)
{
    throw EVariantTypeCastError(QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                                    .arg(VarTypeAsText(from), QLatin1String(to)));
}

[[noreturn]] void OverflowError(TVarType from, const char* to)
{
    throw EVariantOverflowError(QStringLiteral("Overflow while converting variant of type (%1) into type (%2)")
                                    .arg(VarTypeAsText(from), QLatin1String(to)));
}

// Round half to even, as the platform converts fractions to integers.
bool RoundToInt64(double v, qint64& out)
{
    if (!std::isfinite(v)) return false;
    const double r = std::nearbyint(v);
    if (r < -9.2233720368547758e18 || r >= 9.2233720368547758e18) return false;
    out = qint64(r);
    return true;
}

qint64 RoundCurrency(qint64 scaled)
{
    // Half to even on the four decimals.
    qint64 q = scaled / TCurrency::Scale;
    qint64 rem = scaled % TCurrency::Scale;
    if (rem < 0) rem = -rem;
    if (rem > TCurrency::Scale / 2 || (rem == TCurrency::Scale / 2 && (q % 2) != 0)) q += scaled < 0 ? -1 : 1;
    return q;
}

bool ParseBool(const QString& s, bool& out)
{
    const QString t = s.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) { out = true; return true; }
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) { out = false; return true; }
    double d;
    if (TryStrToFloat(t, d)) { out = d != 0; return true; }
    return false;
}

} // namespace

bool TVariant::IsOrdinal() const noexcept
{
    switch (FType) {
    case varSmallint: case varInteger: case varByte: case varWord: case varInt64: case varBoolean: return true;
    default: return false;
    }
}

bool TVariant::IsNumeric() const noexcept
{
    return IsOrdinal() || FType == varDouble || FType == varCurrency;
}

qint64 TVariant::AsInt64() const
{
    switch (FType) {
    case varEmpty: return 0;
    case varSmallint: case varInteger: case varByte: case varWord: case varInt64: return FInt;
    case varBoolean: return FBool ? -1 : 0;
    case varDouble: case varDate: {
        qint64 r;
        if (!RoundToInt64(FDouble, r)) OverflowError(FType, "Int64");
        return r;
    }
    case varCurrency: return RoundCurrency(FInt);
    case varString: case varUString: {
        const QString s = AsString();
        qint64 r;
        if (TryStrToInt64(s.trimmed(), r)) return r;
        double d;
        if (TryStrToFloat(s, d)) {
            if (!RoundToInt64(d, r)) OverflowError(FType, "Int64");
            return r;
        }
        CastError(FType, "Int64");
    }
    default: CastError(FType, "Int64");
    }
}

int TVariant::AsInteger() const
{
    const qint64 v = AsInt64();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) OverflowError(FType, "Integer");
    return int(v);
}

double TVariant::AsDouble() const
{
    switch (FType) {
    case varEmpty: return 0;
    case varSmallint: case varInteger: case varByte: case varWord: case varInt64: return double(FInt);
    case varBoolean: return FBool ? -1 : 0;
    case varDouble: case varDate: return FDouble;
    case varCurrency: return double(FInt) / double(TCurrency::Scale);
    case varString: case varUString: {
        double d;
        if (TryStrToFloat(AsString(), d)) return d;
        CastError(FType, "Double");
    }
    default: CastError(FType, "Double");
    }
}

bool TVariant::AsBoolean() const
{
    switch (FType) {
    case varEmpty: return false;
    case varBoolean: return FBool;
    case varSmallint: case varInteger: case varByte: case varWord: case varInt64: case varCurrency: return FInt != 0;
    case varDouble: case varDate: return FDouble != 0;
    case varString: case varUString: {
        bool b;
        if (ParseBool(AsString(), b)) return b;
        CastError(FType, "Boolean");
    }
    default: CastError(FType, "Boolean");
    }
}

TCurrency TVariant::AsCurrency() const
{
    switch (FType) {
    case varEmpty: return TCurrency();
    case varCurrency: return TCurrency::FromScaled(FInt);
    case varSmallint: case varInteger: case varByte: case varWord: case varInt64: case varBoolean: {
        const qint64 v = FType == varBoolean ? (FBool ? -1 : 0) : FInt;
        if (v > std::numeric_limits<qint64>::max() / TCurrency::Scale || v < std::numeric_limits<qint64>::min() / TCurrency::Scale)
            OverflowError(FType, "Currency");
        return TCurrency::FromInt(v);
    }
    case varDouble: case varDate: {
        const double scaled = FDouble * double(TCurrency::Scale);
        if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2233720368547758e18) OverflowError(FType, "Currency");
        return TCurrency::FromScaled(qint64(std::llround(scaled)));
    }
    case varString: case varUString: {
        TCurrency c;
        if (TryStrToCurr(AsString(), c)) return c;
        CastError(FType, "Currency");
    }
    default: CastError(FType, "Currency");
    }
}

TDateTime TVariant::AsDateTime() const
{
    switch (FType) {
    case varEmpty: return 0;
    case varDate: case varDouble: return FDouble;
    case varSmallint: case varInteger: case varByte: case varWord: case varInt64: return double(FInt);
    case varCurrency: return double(FInt) / double(TCurrency::Scale);
    case varString: case varUString: {
        TDateTime d;
        if (TryStrToDateTime(AsString(), d)) return d;
        CastError(FType, "Date");
    }
    default: CastError(FType, "Date");
    }
}

QString TVariant::AsString() const
{
    switch (FType) {
    case varEmpty: case varNull: return QString();
    case varSmallint: case varInteger: case varByte: case varWord: case varInt64: return QString::number(FInt);
    case varBoolean: return FBool ? QStringLiteral("True") : QStringLiteral("False");
    case varDouble: return FloatToStr(FDouble);
    case varCurrency: return CurrToStr(TCurrency::FromScaled(FInt));
    case varDate: {
        const double day = std::trunc(FDouble);
        if (day == 0 && FDouble != 0) return TimeToStr(FDouble);
        return DateTimeToStr(FDouble);
    }
    case varString: return DecodeCodePage(FBytes, CodePage());
    case varUString: return FString;
    case varBytes: return QString::fromLatin1(FBytes);
    default: CastError(FType, "String");
    }
}

QByteArray TVariant::AsAnsiString(int codePage) const
{
    if (FType == varBytes || (FType == varString && CodePage() == codePage)) return FBytes;
    return EncodeCodePage(AsString(), codePage);
}

QByteArray TVariant::AsBytes() const
{
    switch (FType) {
    case varEmpty: return QByteArray();
    case varString: case varBytes: return FBytes;
    case varUString: return EncodeCodePage(FString, DefaultCodePage());
    default: CastError(FType, "Array of Byte");
    }
}

int TVariant::ArrayCount() const noexcept
{
    return FType == varVarArray && FArray ? int(FArray->size()) : 0;
}

const TVariant& TVariant::operator[](int index) const
{
    if (FType != varVarArray) throw EVariantError(QStringLiteral("Variant is not an array"));
    if (index < 0 || index >= int(FArray->size())) throw EVariantError(QStringLiteral("Variant array index out of bounds"));
    return (*FArray)[size_t(index)];
}

bool TVariant::operator==(const TVariant& other) const
{
    if (FType != other.FType) return false;
    switch (FType) {
    case varEmpty: case varNull: return true;
    case varBoolean: return FBool == other.FBool;
    case varDouble: case varDate: return FDouble == other.FDouble;
    case varUString: return FString == other.FString;
    case varString: case varBytes: return FBytes == other.FBytes;
    case varVarArray: {
        if (FArray == other.FArray) return true;
        return *FArray == *other.FArray;
    }
    default: return FInt == other.FInt;
    }
}

// ---------------------------------------------------------------------------------------------
// Free functions

bool VarIsStr(const TVariant& v) { return v.IsString(); }
QString VarToStr(const TVariant& v) { return v.AsString(); }

QString VarTypeAsText(TVarType type)
{
    switch (type) {
    case varEmpty: return QStringLiteral("Empty");
    case varNull: return QStringLiteral("Null");
    case varSmallint: return QStringLiteral("Smallint");
    case varInteger: return QStringLiteral("Integer");
    case varDouble: return QStringLiteral("Double");
    case varCurrency: return QStringLiteral("Currency");
    case varDate: return QStringLiteral("Date");
    case varBoolean: return QStringLiteral("Boolean");
    case varVariant: return QStringLiteral("Variant");
    case varByte: return QStringLiteral("Byte");
    case varWord: return QStringLiteral("Word");
    case varInt64: return QStringLiteral("Int64");
    case varString: return QStringLiteral("String");
    case varUString: return QStringLiteral("UnicodeString");
    case varBytes: return QStringLiteral("Array of Byte");
    case varVarArray: return QStringLiteral("Array of Variant");
    default: return QStringLiteral("Unknown");
    }
}

TVariant VarArrayOf(std::initializer_list<TVariant> items) { return TVariant::ArrayOf(items); }

int VarArrayHighBound(const TVariant& v) { return v.ArrayCount() - 1; }

TVariant VarAsType(const TVariant& v, TVarType type)
{
    if (v.Type() == type) return v;
    switch (type) {
    case varEmpty: return TVariant();
    case varNull: return TVariant::Null();
    case varSmallint: {
        const int i = v.AsInteger();
        if (i < -32768 || i > 32767) OverflowError(v.Type(), "Smallint");
        return TVariant::FromSmallint(qint16(i));
    }
    case varByte: {
        const int i = v.AsInteger();
        if (i < 0 || i > 255) OverflowError(v.Type(), "Byte");
        return TVariant::FromByte(quint8(i));
    }
    case varWord: {
        const int i = v.AsInteger();
        if (i < 0 || i > 65535) OverflowError(v.Type(), "Word");
        return TVariant::FromWord(quint16(i));
    }
    case varInteger: return TVariant(v.AsInteger());
    case varInt64: return TVariant(v.AsInt64());
    case varDouble: return TVariant(v.AsDouble());
    case varCurrency: return TVariant(v.AsCurrency());
    case varDate: return TVariant::FromDate(v.AsDateTime());
    case varBoolean: return TVariant(v.AsBoolean());
    case varUString: return TVariant(v.AsString());
    case varString: return v.Type() == varBytes ? TVariant::FromAnsiString(v.RawBytes())
                                                : TVariant::FromAnsiString(v.AsAnsiString(DefaultCodePage()));
    case varBytes: return TVariant::FromBytes(v.AsBytes());
    default: CastError(v.Type(), qPrintable(VarTypeAsText(type)));
    }
}

TVariantRelationship VarCompareValue(const TVariant& a, const TVariant& b)
{
    auto cmp = [](auto x, auto y) { return x < y ? vrLessThan : (y < x ? vrGreaterThan : vrEqual); };
    if (a.IsNullOrEmpty() || b.IsNullOrEmpty()) return a.IsNullOrEmpty() && b.IsNullOrEmpty() ? vrEqual : vrNotEqual;
    if (a.IsArray() || b.IsArray()) {
        if (!a.IsArray() || !b.IsArray() || a.ArrayCount() != b.ArrayCount()) return vrNotEqual;
        for (int i = 0; i < a.ArrayCount(); ++i)
            if (VarCompareValue(a[i], b[i]) != vrEqual) return vrNotEqual;
        return vrEqual;
    }
    if (a.Type() == varBytes || b.Type() == varBytes) return cmp(a.AsBytes(), b.AsBytes());
    if (a.IsString() && b.IsString()) return cmp(a.AsString(), b.AsString());
    const bool aNum = a.IsNumeric() || a.Type() == varDate;
    const bool bNum = b.IsNumeric() || b.Type() == varDate;
    if (aNum && bNum) {
        if (a.IsOrdinal() && b.IsOrdinal()) return cmp(a.AsInt64(), b.AsInt64());
        if ((a.IsOrdinal() || a.Type() == varCurrency) && (b.IsOrdinal() || b.Type() == varCurrency))
            return cmp(a.AsCurrency().Scaled(), b.AsCurrency().Scaled());
        return cmp(a.AsDouble(), b.AsDouble());
    }
    // A text against a number: compare as numbers when the text is one.
    const TVariant& text = a.IsString() ? a : b;
    const TVariant& number = a.IsString() ? b : a;
    double d;
    if (!TryStrToFloat(text.AsString(), d)) return vrNotEqual;
    const double n = number.AsDouble();
    return a.IsString() ? cmp(d, n) : cmp(n, d);
}
