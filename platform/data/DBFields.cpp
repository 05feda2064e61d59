#include "platform/data/DBFields.h"

#include "platform/core/CodePages.h"

#include <cmath>
#include <limits>

namespace {

// "'abc' is not a valid integer value for field 'Age'"
[[noreturn]] void InvalidValue(const char* kind, const QString& text, const TField* field)
{
    DatabaseErrorFmt(QStringLiteral("'%s' is not a valid %s value for field '%s'"),
                     {text, QString::fromLatin1(kind), field->DisplayName()});
}

[[noreturn]] void RangeError(const QString& value, const QString& low, const QString& high, const TField* field)
{
    DatabaseErrorFmt(QStringLiteral("%s is not a valid value for field '%s'. The allowed range is %s to %s"),
                     {value, field->DisplayName(), low, high});
}

// Keeps at most `limit` bytes without cutting a character of a multi-byte page in two.
QByteArray TruncateEncoded(const QString& text, QByteArray bytes, int limit, int codePage)
{
    if (limit <= 0 || bytes.size() <= limit) return bytes;
    if (IsSingleByteCodePage(codePage)) return bytes.left(limit);
    // The longest prefix of whole characters whose encoding fits.
    std::vector<qsizetype> ends;
    for (qsizetype i = 1; i <= text.size(); ++i)
        if (i == text.size() || !text[i].isLowSurrogate()) ends.push_back(i);
    size_t low = 0, high = ends.size();   // prefixes ends[0..low) known to fit
    while (low < high) {
        const size_t mid = (low + high + 1) / 2;
        if (EncodeCodePage(QStringView(text).left(ends[mid - 1]), codePage).size() <= limit) low = mid;
        else high = mid - 1;
    }
    return low == 0 ? QByteArray() : EncodeCodePage(QStringView(text).left(ends[low - 1]), codePage);
}

qint64 RoundCurrencyToInt(TCurrency c)
{
    return TVariant(c).AsInt64();
}

// Currency and BCD fields: a stored double becomes currency when it fits.
TVariant CurrencyFromRaw(const TVariant& raw)
{
    if (raw.Type() != varDouble) return raw;
    try {
        return TVariant(TCurrency::FromDouble(raw.RawDouble()));
    } catch (const Exception&) {
        return raw;
    }
}

TCurrency CurrencyFromText(const QString& text, const TField* field)
{
    TCurrency c;
    if (!TryStrToCurr(text, c)) InvalidValue("floating point", text, field);
    return c;
}

// Empty converts to 0, false or a zero date where Null raises.
TVariant NullAsEmpty(TVariant v) { return v.IsNull() ? TVariant() : std::move(v); }

TCurrency CurrencyFromFloat(double value, const char* kind, const TField* field)
{
    try {
        return TCurrency::FromDouble(value);
    } catch (const EConvertError&) {
        InvalidValue(kind, FloatToStr(value), field);
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Strings

TStringField::TStringField(QObject* owner) : TStringField(owner, ftString, 20) {}

TStringField::TStringField(QObject* owner, TFieldType type, int size) : TField(owner)
{
    SetDataType(type);
    SetSize(size);
}

int TStringField::CodePage() const { return FCodePage > 0 ? FCodePage : DefaultCodePage(); }

void TStringField::SetFixedChar(bool fixed)
{
    FFixedChar = fixed;
    if (DataType() == ftString || DataType() == ftFixedChar) SetDataType(fixed ? ftFixedChar : ftString);
}

TVariant TStringField::RawToValue(const TVariant& raw) const
{
    if (raw.Type() == varString || raw.Type() == varBytes) return TVariant::FromAnsiString(raw.RawBytes(), CodePage());
    return raw;
}

QString TStringField::AsString() const
{
    TVariant v;
    if (!GetData(v)) return QString();
    if (v.Type() == varString || v.Type() == varBytes) return DecodeCodePage(v.RawBytes(), CodePage());
    return v.AsString();
}

void TStringField::StoreBytes(QByteArray bytes)
{
    if (Size() > 0 && bytes.size() > Size()) bytes.truncate(Size());
    SetData(TVariant::FromAnsiString(bytes, CodePage()));
}

void TStringField::SetAsString(const QString& value)
{
    const int cp = CodePage();
    SetData(TVariant::FromAnsiString(TruncateEncoded(value, EncodeCodePage(value, cp), Size(), cp), cp));
}

void TStringField::SetVarValue(const TVariant& value)
{
    if (value.Type() == varString && value.CodePage() == CodePage()) StoreBytes(value.RawBytes());
    else if (value.Type() == varBytes) StoreBytes(value.RawBytes());
    else SetAsString(value.AsString());
}

QByteArray TStringField::AsBytes() const
{
    TVariant v;
    if (!GetData(v)) return QByteArray();
    return v.AsAnsiString(CodePage());
}

void TStringField::SetAsBytes(const QByteArray& value) { StoreBytes(value); }

int TStringField::AsInteger() const
{
    const QString s = AsString();
    return s.isEmpty() ? 0 : StrToInt(s);
}
void TStringField::SetAsInteger(int value) { SetAsString(IntToStr(value)); }
qint64 TStringField::AsLargeInt() const
{
    const QString s = AsString();
    return s.isEmpty() ? 0 : StrToInt64(s);
}
void TStringField::SetAsLargeInt(qint64 value) { SetAsString(IntToStr(value)); }
double TStringField::AsFloat() const
{
    const QString s = AsString();
    return s.isEmpty() ? 0 : StrToFloat(s);
}
void TStringField::SetAsFloat(double value) { SetAsString(FloatToStr(value)); }
bool TStringField::AsBoolean() const
{
    const QString s = AsString();
    return !s.isEmpty() && QStringLiteral("TtYy").contains(s[0]);
}
void TStringField::SetAsBoolean(bool value) { SetAsString(value ? QStringLiteral("T") : QStringLiteral("F")); }
TDateTime TStringField::AsDateTime() const
{
    const QString s = AsString();
    return s.isEmpty() ? 0 : StrToDateTime(s);
}
void TStringField::SetAsDateTime(TDateTime value) { SetAsString(DateTimeToStr(value)); }
TCurrency TStringField::AsCurrency() const
{
    const QString s = AsString();
    return s.isEmpty() ? TCurrency() : StrToCurr(s);
}
void TStringField::SetAsCurrency(TCurrency value) { SetAsString(CurrToStr(value)); }

void TStringField::GetText(QString& text, bool displayText) const
{
    Q_UNUSED(displayText);
    text = AsString();
}

TWideStringField::TWideStringField(QObject* owner) : TStringField(owner, ftWideString, 20) {}

TVariant TWideStringField::RawToValue(const TVariant& raw) const
{
    if (raw.Type() == varString) return TVariant(raw.AsString());
    return raw;
}

QString TWideStringField::AsString() const
{
    TVariant v;
    if (!GetData(v)) return QString();
    return v.AsString();
}

void TWideStringField::SetAsString(const QString& value)
{
    if (Size() <= 0 || value.size() <= Size()) {
        SetData(TVariant(value));
        return;
    }
    // Never half of a surrogate pair.
    qsizetype keep = Size();
    if (value[keep].isLowSurrogate()) --keep;
    SetData(TVariant(value.left(keep)));
}

void TWideStringField::SetVarValue(const TVariant& value) { SetAsString(value.AsString()); }

QByteArray TWideStringField::AsBytes() const
{
    const QString s = AsString();
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

void TWideStringField::SetAsBytes(const QByteArray& value)
{
    SetAsString(QString::fromUtf16(reinterpret_cast<const char16_t*>(value.constData()), value.size() / 2));
}

TGuidField::TGuidField(QObject* owner) : TStringField(owner, ftGuid, 38) {}

// ---------------------------------------------------------------------------------------------
// Numbers

TNumericField::TNumericField(QObject* owner, TFieldType type) : TField(owner)
{
    SetDataType(type);
    SetAlignment(taRightJustify);
}

void TNumericField::SetDisplayFormat(const QString& format)
{
    if (format == FDisplayFormat) return;
    FDisplayFormat = format;
    PropertyChanged(false);
}

void TNumericField::SetEditFormat(const QString& format)
{
    if (format == FEditFormat) return;
    FEditFormat = format;
    PropertyChanged(false);
}

QString TNumericField::FormatFor(bool displayText) const
{
    return displayText || FEditFormat.isEmpty() ? FDisplayFormat : FEditFormat;
}

bool TNumericField::IsValidChar(QChar ch) const
{
    if (ch.isDigit() && ch.unicode() < 128) return true;
    if (ch == '+' || ch == '-') return true;
    switch (DataType()) {
    case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd:
        return ch == FormatSettings.DecimalSeparator || ch == 'E' || ch == 'e';
    default:
        return false;
    }
}

TIntegerField::TIntegerField(QObject* owner)
    : TIntegerField(owner, ftInteger, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()) {}

TIntegerField::TIntegerField(QObject* owner, TFieldType type, qint64 low, qint64 high)
    : TNumericField(owner, type), FLow(low), FHigh(high) {}

TSmallintField::TSmallintField(QObject* owner) : TIntegerField(owner, ftSmallint, -32768, 32767) {}
TWordField::TWordField(QObject* owner) : TIntegerField(owner, ftWord, 0, 65535) {}
TAutoIncField::TAutoIncField(QObject* owner)
    : TIntegerField(owner, ftAutoInc, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()) {}
TLargeintField::TLargeintField(QObject* owner)
    : TIntegerField(owner, ftLargeint, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()) {}

int TIntegerField::DefaultWidth() const
{
    switch (DataType()) {
    case ftSmallint: return 6;
    case ftWord: return 5;
    case ftLargeint: return 15;
    default: return 11;
    }
}

void TIntegerField::CheckRange(qint64 value) const
{
    qint64 low = FLow, high = FHigh;
    if (FMinValue != 0 || FMaxValue != 0) {
        low = qMax(low, FMinValue);
        high = qMin(high, FMaxValue);
    }
    if (value < low || value > high) RangeError(IntToStr(value), IntToStr(low), IntToStr(high), this);
}

qint64 TIntegerField::AsLargeInt() const
{
    TVariant v;
    return GetData(v) ? v.AsInt64() : 0;
}

int TIntegerField::AsInteger() const
{
    TVariant v;
    return GetData(v) ? v.AsInteger() : 0;
}

void TIntegerField::SetAsLargeInt(qint64 value)
{
    CheckRange(value);
    SetData(MakeValue(value));
}

void TIntegerField::SetAsInteger(int value) { SetAsLargeInt(value); }

double TIntegerField::AsFloat() const { return double(AsLargeInt()); }

void TIntegerField::SetAsFloat(double value)
{
    const double r = std::nearbyint(value);
    if (!std::isfinite(r) || r < -9.2233720368547758e18 || r >= 9.2233720368547758e18)
        RangeError(FloatToStr(value), IntToStr(FLow), IntToStr(FHigh), this);
    SetAsLargeInt(qint64(r));
}

bool TIntegerField::AsBoolean() const { return AsLargeInt() != 0; }
void TIntegerField::SetAsBoolean(bool value) { SetAsLargeInt(value ? 1 : 0); }
TCurrency TIntegerField::AsCurrency() const { return TVariant(AsLargeInt()).AsCurrency(); }
void TIntegerField::SetAsCurrency(TCurrency value) { SetAsLargeInt(RoundCurrencyToInt(value)); }

QString TIntegerField::AsString() const
{
    TVariant v;
    return GetData(v) ? IntToStr(v.AsInt64()) : QString();
}

void TIntegerField::SetAsString(const QString& value)
{
    if (value.isEmpty()) {
        Clear();
        return;
    }
    qint64 v;
    if (!TryStrToInt64(value, v)) InvalidValue("integer", value, this);
    SetAsLargeInt(v);
}

void TIntegerField::SetVarValue(const TVariant& value)
{
    if (value.IsString()) SetAsString(value.AsString());
    else SetAsLargeInt(value.AsInt64());
}

void TIntegerField::GetText(QString& text, bool displayText) const
{
    TVariant v;
    if (!GetData(v)) {
        text.clear();
        return;
    }
    const QString fmt = FormatFor(displayText);
    text = fmt.isEmpty() ? IntToStr(v.AsInt64()) : FormatFloat(fmt, double(v.AsInt64()));
}

TFloatField::TFloatField(QObject* owner) : TFloatField(owner, ftFloat) {}
TFloatField::TFloatField(QObject* owner, TFieldType type) : TNumericField(owner, type) {}

void TFloatField::SetCurrency(bool currency)
{
    if (currency == FCurrency) return;
    FCurrency = currency;
    PropertyChanged(false);
}

void TFloatField::SetPrecision(int precision)
{
    precision = qBound(2, precision, 15);
    if (precision == FPrecision) return;
    FPrecision = precision;
    PropertyChanged(false);
}

void TFloatField::CheckRange(double value) const
{
    if (!std::isfinite(value)) InvalidValue("floating point", FloatToStr(value), this);
    if ((FMinValue != 0 || FMaxValue != 0) && (value < FMinValue || value > FMaxValue))
        RangeError(FloatToStr(value), FloatToStr(FMinValue), FloatToStr(FMaxValue), this);
}

void TFloatField::StoreFloat(double value) { SetData(TVariant(value)); }

double TFloatField::AsFloat() const
{
    TVariant v;
    return GetData(v) ? v.AsDouble() : 0;
}

void TFloatField::SetAsFloat(double value)
{
    CheckRange(value);
    StoreFloat(value);
}

int TFloatField::AsInteger() const { return TVariant(AsFloat()).AsInteger(); }
void TFloatField::SetAsInteger(int value) { SetAsFloat(value); }
qint64 TFloatField::AsLargeInt() const { return TVariant(AsFloat()).AsInt64(); }
void TFloatField::SetAsLargeInt(qint64 value) { SetAsFloat(double(value)); }
TCurrency TFloatField::AsCurrency() const { return TCurrency::FromDouble(AsFloat()); }
void TFloatField::SetAsCurrency(TCurrency value) { SetAsFloat(value.ToDouble()); }

QString TFloatField::AsString() const
{
    TVariant v;
    return GetData(v) ? FloatToStr(v.AsDouble()) : QString();
}

void TFloatField::SetAsString(const QString& value)
{
    if (value.isEmpty()) {
        Clear();
        return;
    }
    double d;
    if (!TryStrToFloat(value, d)) InvalidValue("floating point", value, this);
    SetAsFloat(d);
}

void TFloatField::SetVarValue(const TVariant& value)
{
    if (value.IsString()) SetAsString(value.AsString());
    else SetAsFloat(value.AsDouble());
}

void TFloatField::GetText(QString& text, bool displayText) const
{
    TVariant v;
    if (!GetData(v)) {
        text.clear();
        return;
    }
    const QString fmt = FormatFor(displayText);
    const double d = v.AsDouble();
    if (!fmt.isEmpty()) text = FormatFloat(fmt, d);
    else if (FCurrency)
        text = FloatToStrF(d, displayText ? ffCurrency : ffFixed, FPrecision, FormatSettings.CurrencyDecimals);
    else text = FloatToStrF(d, ffGeneral, FPrecision, 0);
}

TCurrencyField::TCurrencyField(QObject* owner) : TFloatField(owner, ftCurrency) { SetCurrency(true); }

TVariant TCurrencyField::RawToValue(const TVariant& raw) const { return CurrencyFromRaw(raw); }

double TCurrencyField::AsFloat() const
{
    TVariant v;
    return GetData(v) ? v.AsDouble() : 0;
}

TCurrency TCurrencyField::AsCurrency() const
{
    TVariant v;
    return GetData(v) ? v.AsCurrency() : TCurrency();
}

void TCurrencyField::SetAsCurrency(TCurrency value)
{
    CheckRange(value.ToDouble());
    SetData(TVariant(value));
}

void TCurrencyField::StoreFloat(double value) { SetData(TVariant(CurrencyFromFloat(value, "currency", this))); }

void TCurrencyField::SetAsString(const QString& value)
{
    if (value.isEmpty()) Clear();
    else SetAsCurrency(CurrencyFromText(value, this));
}

void TCurrencyField::SetVarValue(const TVariant& value)
{
    if (value.IsString()) SetAsString(value.AsString());
    else SetAsCurrency(value.AsCurrency());
}

TBCDField::TBCDField(QObject* owner) : TBCDField(owner, ftBCD) {}
TBCDField::TBCDField(QObject* owner, TFieldType type) : TNumericField(owner, type) { SetSize(4); }

void TBCDField::SetCurrency(bool currency)
{
    if (currency == FCurrency) return;
    FCurrency = currency;
    PropertyChanged(false);
}

TVariant TBCDField::RawToValue(const TVariant& raw) const { return CurrencyFromRaw(raw); }

TCurrency TBCDField::AsCurrency() const
{
    TVariant v;
    return GetData(v) ? v.AsCurrency() : TCurrency();
}

void TBCDField::SetAsCurrency(TCurrency value)
{
    // Keep Size decimals and no more integer digits than the precision leaves.
    const int decimals = qBound(0, Size(), 4);
    qint64 unit = 1;
    for (int i = decimals; i < 4; ++i) unit *= 10;
    qint64 scaled = value.Scaled();
    if (unit > 1) {
        const qint64 rem = scaled % unit;
        scaled -= rem;
        if (2 * (rem < 0 ? -rem : rem) >= unit) scaled += rem < 0 ? -unit : unit;
    }
    if (Precision() > 0) {
        const int intDigits = Precision() - decimals;
        if (intDigits < 19) {
            qint64 limit = 1;
            for (int i = 0; i < intDigits && limit <= std::numeric_limits<qint64>::max() / 10; ++i) limit *= 10;
            const qint64 intPart = scaled / TCurrency::Scale;
            if (intPart >= limit || intPart <= -limit)
                RangeError(CurrToStr(value), '-' + IntToStr(limit - 1), IntToStr(limit - 1), this);
        }
    }
    SetData(TVariant(TCurrency::FromScaled(scaled)));
}

double TBCDField::AsFloat() const { return AsCurrency().ToDouble(); }
void TBCDField::SetAsFloat(double value) { SetAsCurrency(CurrencyFromFloat(value, "BCD", this)); }
int TBCDField::AsInteger() const { return TVariant(AsCurrency()).AsInteger(); }
void TBCDField::SetAsInteger(int value) { SetAsCurrency(TCurrency::FromInt(value)); }
qint64 TBCDField::AsLargeInt() const { return RoundCurrencyToInt(AsCurrency()); }
void TBCDField::SetAsLargeInt(qint64 value) { SetAsCurrency(TVariant(value).AsCurrency()); }

QString TBCDField::AsString() const
{
    TVariant v;
    return GetData(v) ? CurrToStr(v.AsCurrency()) : QString();
}

void TBCDField::SetAsString(const QString& value)
{
    if (value.isEmpty()) Clear();
    else SetAsCurrency(CurrencyFromText(value, this));
}

void TBCDField::SetVarValue(const TVariant& value)
{
    if (value.IsString()) SetAsString(value.AsString());
    else SetAsCurrency(value.AsCurrency());
}

void TBCDField::GetText(QString& text, bool displayText) const
{
    TVariant v;
    if (!GetData(v)) {
        text.clear();
        return;
    }
    const TCurrency c = v.AsCurrency();
    const QString fmt = FormatFor(displayText);
    if (!fmt.isEmpty()) text = FormatFloat(fmt, c.ToDouble());
    else if (FCurrency) text = CurrToStrF(c, displayText ? ffCurrency : ffFixed, FormatSettings.CurrencyDecimals);
    else text = CurrToStr(c);
}

TFMTBCDField::TFMTBCDField(QObject* owner) : TFloatField(owner, ftFMTBcd) { SetSize(8); }

// ---------------------------------------------------------------------------------------------
// Boolean

TBooleanField::TBooleanField(QObject* owner) : TField(owner)
{
    SetDataType(ftBoolean);
    SetDisplayValues(QStringLiteral("True;False"));
}

void TBooleanField::SetDisplayValues(const QString& values)
{
    FDisplayValues = values;
    const int p = values.indexOf(';');
    FTrueText = p < 0 ? values : values.left(p);
    FFalseText = p < 0 ? QString() : values.mid(p + 1);
    PropertyChanged(false);
}

int TBooleanField::DefaultWidth() const { return int(qMax(FTrueText.size(), FFalseText.size())); }

bool TBooleanField::AsBoolean() const
{
    TVariant v;
    return GetData(v) && v.AsBoolean();
}

void TBooleanField::SetAsBoolean(bool value) { SetData(TVariant(value)); }

QString TBooleanField::AsString() const
{
    TVariant v;
    if (!GetData(v)) return QString();
    return v.AsBoolean() ? FTrueText : FFalseText;
}

void TBooleanField::SetAsString(const QString& value)
{
    if (value.isEmpty()) {
        if (FFalseText.isEmpty()) SetAsBoolean(false);
        else if (FTrueText.isEmpty()) SetAsBoolean(true);
        else Clear();
        return;
    }
    // A beginning of either text will do, the false text first.
    if (FFalseText.left(value.size()).compare(value, Qt::CaseInsensitive) == 0 && !FFalseText.isEmpty()) SetAsBoolean(false);
    else if (FTrueText.left(value.size()).compare(value, Qt::CaseInsensitive) == 0 && !FTrueText.isEmpty()) SetAsBoolean(true);
    else InvalidValue("boolean", value, this);
}

void TBooleanField::SetVarValue(const TVariant& value)
{
    if (value.IsString()) {
        bool b;
        try {
            b = value.AsBoolean();
        } catch (const EVariantError&) {
            SetAsString(value.AsString());
            return;
        }
        SetAsBoolean(b);
        return;
    }
    SetAsBoolean(value.AsBoolean());
}

void TBooleanField::GetText(QString& text, bool displayText) const
{
    Q_UNUSED(displayText);
    text = AsString();
}

// ---------------------------------------------------------------------------------------------
// Dates and times

TDateTimeField::TDateTimeField(QObject* owner) : TDateTimeField(owner, ftDateTime) {}
TDateTimeField::TDateTimeField(QObject* owner, TFieldType type) : TField(owner) { SetDataType(type); }
TDateField::TDateField(QObject* owner) : TDateTimeField(owner, ftDate) {}
TTimeField::TTimeField(QObject* owner) : TDateTimeField(owner, ftTime) {}
TSQLTimeStampField::TSQLTimeStampField(QObject* owner) : TDateTimeField(owner, ftTimeStamp) {}

TDateTime TDateField::Normalize(TDateTime value) const { return std::trunc(value); }
TDateTime TTimeField::Normalize(TDateTime value) const { return std::fabs(value - std::trunc(value)); }

void TDateTimeField::SetDisplayFormat(const QString& format)
{
    if (format == FDisplayFormat) return;
    FDisplayFormat = format;
    PropertyChanged(false);
}

TVariant TDateTimeField::RawToValue(const TVariant& raw) const
{
    if (raw.Type() == varDouble) return TVariant::FromDate(raw.RawDouble());
    return raw;
}

TDateTime TDateTimeField::AsDateTime() const
{
    TVariant v;
    return GetData(v) ? v.AsDateTime() : 0;
}

void TDateTimeField::SetAsDateTime(TDateTime value)
{
    const TDateTime v = Normalize(value);
    // Day 1 is 0001-01-01, the last day 9999-12-31.
    static const double first = EncodeDate(1, 1, 1);
    static const double last = EncodeDate(9999, 12, 31) + 1;
    if (!std::isfinite(v) || v <= first - 1 || v >= last)
        DatabaseErrorFmt(QStringLiteral("%s is not a valid date and time value for field '%s'"), {FloatToStr(value), DisplayName()});
    SetData(TVariant::FromDate(v));
}

double TDateTimeField::AsFloat() const { return AsDateTime(); }
void TDateTimeField::SetAsFloat(double value) { SetAsDateTime(value); }

QString TDateTimeField::AsString() const
{
    QString text;
    GetText(text, false);
    return text;
}

void TDateTimeField::SetAsString(const QString& value)
{
    if (value.isEmpty()) {
        Clear();
        return;
    }
    switch (DataType()) {
    case ftDate: SetAsDateTime(StrToDate(value)); break;
    case ftTime: SetAsDateTime(StrToTime(value)); break;
    default: SetAsDateTime(StrToDateTime(value)); break;
    }
}

void TDateTimeField::SetVarValue(const TVariant& value)
{
    if (value.IsString()) SetAsString(value.AsString());
    else SetAsDateTime(value.AsDateTime());
}

void TDateTimeField::GetText(QString& text, bool displayText) const
{
    TVariant v;
    if (!GetData(v)) {
        text.clear();
        return;
    }
    QString fmt;
    if (displayText && !FDisplayFormat.isEmpty()) fmt = FDisplayFormat;
    else if (DataType() == ftDate) fmt = FormatSettings.ShortDateFormat;
    else if (DataType() == ftTime) fmt = FormatSettings.LongTimeFormat;
    text = FormatDateTime(fmt, v.AsDateTime());
}

// ---------------------------------------------------------------------------------------------
// Bytes and blobs

TBinaryField::TBinaryField(QObject* owner, TFieldType type, int size) : TField(owner)
{
    SetDataType(type);
    SetSize(size);
}

TBytesField::TBytesField(QObject* owner) : TBinaryField(owner, ftBytes, 16) {}
TVarBytesField::TVarBytesField(QObject* owner) : TBinaryField(owner, ftVarBytes, 16) {}

TVariant TBinaryField::RawToValue(const TVariant& raw) const
{
    if (raw.Type() == varString) return TVariant::FromBytes(raw.RawBytes());
    return raw;
}

QByteArray TBinaryField::AsBytes() const
{
    TVariant v;
    if (!GetData(v)) return QByteArray();
    return v.AsBytes();
}

void TBinaryField::SetAsBytes(const QByteArray& value)
{
    QByteArray bytes = value;
    if (Size() > 0 && bytes.size() > Size()) bytes.truncate(Size());
    // Fixed-size bytes always hold Size bytes.
    if (DataType() == ftBytes && Size() > 0 && bytes.size() < Size()) bytes.append(Size() - bytes.size(), '\0');
    SetData(TVariant::FromBytes(bytes));
}

QString TBinaryField::AsString() const { return QString::fromLatin1(AsBytes()); }
void TBinaryField::SetAsString(const QString& value) { SetAsBytes(value.toLatin1()); }

void TBinaryField::SetVarValue(const TVariant& value)
{
    if (value.Type() == varUString) SetAsString(value.RawString());
    else SetAsBytes(value.AsBytes());
}

void TBinaryField::GetText(QString& text, bool displayText) const
{
    Q_UNUSED(displayText);
    text = ClassDesc();
}

TBlobField::TBlobField(QObject* owner) : TBlobField(owner, ftBlob) {}
TBlobField::TBlobField(QObject* owner, TFieldType type) : TField(owner) { SetDataType(type); }
TMemoField::TMemoField(QObject* owner) : TBlobField(owner, ftMemo) {}
TGraphicField::TGraphicField(QObject* owner) : TBlobField(owner, ftGraphic) {}

int TBlobField::CodePage() const { return FCodePage > 0 ? FCodePage : DefaultCodePage(); }

void TBlobField::SetBlobType(TFieldType type)
{
    if (IsBlobFieldType(type)) SetDataType(type);
}

bool TBlobField::IsTextBlob() const
{
    return DataType() == ftMemo || DataType() == ftFmtMemo || DataType() == ftOraClob;
}

TVariant TBlobField::RawToValue(const TVariant& raw) const
{
    if (raw.Type() == varString || raw.Type() == varBytes) {
        if (!IsTextBlob()) return TVariant::FromBytes(raw.RawBytes());
        if (CodePage() == WideTextCodePage)
            return TVariant(QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.RawBytes().constData()), raw.RawBytes().size() / 2));
        return TVariant::FromAnsiString(raw.RawBytes(), CodePage());
    }
    return raw;
}

int TBlobField::BlobSize() const
{
    TVariant v;
    if (!GetData(v)) return 0;
    if (v.Type() == varUString) return int(v.RawString().size() * 2);
    return int(v.AsBytes().size());
}

QByteArray TBlobField::AsBytes() const
{
    TVariant v;
    if (!GetData(v)) return QByteArray();
    if (v.Type() == varUString) {
        const QString& s = v.RawString();
        if (CodePage() == WideTextCodePage) return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
        return EncodeCodePage(s, CodePage());
    }
    return v.AsBytes();
}

void TBlobField::SetAsBytes(const QByteArray& value)
{
    // An empty blob is stored as null, as the engine does.
    if (value.isEmpty()) SetData(TVariant::Null());
    else if (IsTextBlob() && CodePage() == WideTextCodePage)
        SetData(TVariant(QString::fromUtf16(reinterpret_cast<const char16_t*>(value.constData()), value.size() / 2)));
    else if (IsTextBlob()) SetData(TVariant::FromAnsiString(value, CodePage()));
    else SetData(TVariant::FromBytes(value));
}

QString TBlobField::AsString() const
{
    TVariant v;
    if (!GetData(v)) return QString();
    if (v.Type() == varUString) return v.RawString();
    if (!IsTextBlob()) return QString::fromLatin1(v.AsBytes());
    return RawToValue(v).AsString();
}

void TBlobField::SetAsString(const QString& value)
{
    if (value.isEmpty()) SetData(TVariant::Null());
    else if (!IsTextBlob()) SetData(TVariant::FromBytes(value.toLatin1()));
    else if (CodePage() == WideTextCodePage) SetData(TVariant(value));
    else SetData(TVariant::FromAnsiString(EncodeCodePage(value, CodePage()), CodePage()));
}

void TBlobField::SetVarValue(const TVariant& value)
{
    switch (value.Type()) {
    case varUString: SetAsString(value.RawString()); break;
    case varString:
        if (IsTextBlob() && value.CodePage() != CodePage()) SetAsString(value.AsString());
        else SetAsBytes(value.RawBytes());
        break;
    case varBytes: SetAsBytes(value.RawBytes()); break;
    default: SetAsString(value.AsString()); break;
    }
}

void TBlobField::GetText(QString& text, bool displayText) const
{
    Q_UNUSED(displayText);
    text = ClassDesc();
}

// ---------------------------------------------------------------------------------------------
// Variants and nested datasets

TVariantField::TVariantField(QObject* owner) : TField(owner) { SetDataType(ftVariant); }
QString TVariantField::AsString() const { return VarToStr(AsVariant()); }
void TVariantField::SetAsString(const QString& value) { SetData(TVariant(value)); }
int TVariantField::AsInteger() const { return NullAsEmpty(AsVariant()).AsInteger(); }
double TVariantField::AsFloat() const { return NullAsEmpty(AsVariant()).AsDouble(); }
bool TVariantField::AsBoolean() const { return NullAsEmpty(AsVariant()).AsBoolean(); }
TDateTime TVariantField::AsDateTime() const { return NullAsEmpty(AsVariant()).AsDateTime(); }
TCurrency TVariantField::AsCurrency() const { return NullAsEmpty(AsVariant()).AsCurrency(); }
void TVariantField::SetVarValue(const TVariant& value) { SetData(value); }

TDataSetField::TDataSetField(QObject* owner) : TField(owner) { SetDataType(ftDataSet); }

TDataSetField::~TDataSetField()
{
    if (FNestedDataSet) FNestedDataSet->DetachDataSetField();
}

void TDataSetField::SetNestedDataSet(TDataSet* dataSet)
{
    if (dataSet == FNestedDataSet) return;
    if (dataSet) dataSet->SetDataSetField(this);
    else if (FNestedDataSet) FNestedDataSet->SetDataSetField(nullptr);
}

TVariant TDataSetField::AsVariant() const { return TVariant::Null(); }

void TDataSetField::GetText(QString& text, bool displayText) const
{
    Q_UNUSED(displayText);
    text = ClassDesc();
}

void TDataSetField::SetVarValue(const TVariant& value)
{
    Q_UNUSED(value);
    AccessError("Variant");
}

// ---------------------------------------------------------------------------------------------

TField* CreateField(TFieldType type, QObject* owner)
{
    switch (type) {
    case ftString: return new TStringField(owner);
    case ftFixedChar: {
        auto* f = new TStringField(owner);
        f->SetFixedChar(true);
        return f;
    }
    case ftWideString: return new TWideStringField(owner);
    case ftGuid: return new TGuidField(owner);
    case ftSmallint: return new TSmallintField(owner);
    case ftInteger: return new TIntegerField(owner);
    case ftWord: return new TWordField(owner);
    case ftAutoInc: return new TAutoIncField(owner);
    case ftLargeint: return new TLargeintField(owner);
    case ftBoolean: return new TBooleanField(owner);
    case ftFloat: return new TFloatField(owner);
    case ftCurrency: return new TCurrencyField(owner);
    case ftBCD: return new TBCDField(owner);
    case ftFMTBcd: return new TFMTBCDField(owner);
    case ftDate: return new TDateField(owner);
    case ftTime: return new TTimeField(owner);
    case ftDateTime: return new TDateTimeField(owner);
    case ftTimeStamp: return new TSQLTimeStampField(owner);
    case ftBytes: return new TBytesField(owner);
    case ftVarBytes: return new TVarBytesField(owner);
    case ftMemo: case ftOraClob: {
        auto* f = new TMemoField(owner);
        f->SetBlobType(type);
        return f;
    }
    case ftGraphic: return new TGraphicField(owner);
    case ftBlob: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary: case ftOraBlob: {
        auto* f = new TBlobField(owner);
        f->SetBlobType(type);
        return f;
    }
    case ftVariant: return new TVariantField(owner);
    case ftDataSet: return new TDataSetField(owner);
    default: return nullptr;
    }
}
