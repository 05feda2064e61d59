#include "platform/client/ClientFields.h"

#include "platform/core/CodePages.h"
#include "platform/client/PacketValues.h"

#include <cmath>
#include <limits>

namespace {

constexpr double MSecsPerDayD = 86400000.0;

bool SubTypeIs(const TPacketFieldDesc& f, const char* name)
{
    return f.Params.SubType().compare(name, Qt::CaseInsensitive) == 0;
}

[[noreturn]] void OutOfRange(const TVariant& value)
{
    DatabaseErrorFmt(QStringLiteral("Value %s is out of range"), {VarToStr(value)});
}

// BCD: byte 0 precision, byte 1 sign (0x80) and decimals, then digit nibbles.
bool DecodeBcd(const char* bcd, __int128& digits, int& scale)
{
    const int precision = qMin(int(uchar(bcd[0])), 32);
    scale = uchar(bcd[1]) & 0x3F;
    const bool negative = uchar(bcd[1]) & 0x80;
    digits = 0;
    for (int i = 0; i < precision; ++i) {
        const uchar byte = uchar(bcd[2 + i / 2]);
        const int d = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
        if (d > 9) return false;
        digits = digits * 10 + d;
    }
    if (negative) digits = -digits;
    return true;
}

__int128 Pow10(int n)
{
    __int128 p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

// Rounds half away from zero when dropping decimals.
__int128 Rescale(__int128 v, int from, int to)
{
    if (to >= from) return v * Pow10(to - from);
    const __int128 d = Pow10(from - to);
    const __int128 q = v / d, r = v % d;
    if (r * 2 >= d) return q + 1;
    if (r * 2 <= -d) return q - 1;
    return q;
}

void EncodeBcd(__int128 scaled, int scale, int precision, char* bcd, const TVariant& value)
{
    if (precision <= 0 || precision > 32) precision = 32;
    if (scale < 0 || scale > precision) scale = 0;
    const bool negative = scaled < 0;
    __int128 v = negative ? -scaled : scaled;
    std::memset(bcd, 0, 18);
    bcd[0] = char(precision);
    bcd[1] = char((negative ? 0x80 : 0) | scale);
    for (int i = precision - 1; i >= 0; --i) {
        const int d = int(v % 10);
        v /= 10;
        uchar& byte = reinterpret_cast<uchar&>(bcd[2 + i / 2]);
        byte = uchar(i % 2 == 0 ? (byte & 0x0F) | (d << 4) : (byte & 0xF0) | d);
    }
    if (v != 0) OutOfRange(value);
}

TVariant IntegerValue(TFieldType type, qint64 v)
{
    switch (type) {
    case ftSmallint: return TVariant::FromSmallint(qint16(v));
    case ftWord: return TVariant::FromWord(quint16(v));
    case ftLargeint: return TVariant(v);
    case ftBoolean: return TVariant(v != 0);
    case ftFloat: case ftFMTBcd: return TVariant(double(v));
    default: return TVariant(int(v));
    }
}

} // namespace

bool IsWideTextDescriptor(const TPacketFieldDesc& f)
{
    return SubTypeIs(f, "WideText");
}

TFieldType FieldTypeOfDescriptor(const TPacketFieldDesc& f, int& size, int& precision)
{
    size = 0;
    precision = 0;
    if (f.IsNestedTable()) return f.TypeCode() == ptcReference ? ftReference : ftDataSet;
    if (f.IsAdt()) return ftADT;
    if (f.IsArrayField()) return ftArray;
    // The field type follows how the value is stored, so that a field never meets a value it
    // cannot hold.
    int stored = 0;
    TPacketValueKind kind;
    try {
        kind = PacketValueKindOf(f.TypeWord, stored);
    } catch (const Exception&) {
        return ftUnknown;
    }
    const qint64 width = f.Params.Width().value_or(0);
    switch (kind) {
    case pkInt8: case pkInt16: return ftSmallint;
    case pkInt32: return SubTypeIs(f, "Autoinc") ? ftAutoInc : ftInteger;
    case pkInt64: case pkUInt32: case pkUInt64: return ftLargeint;
    case pkUInt8: case pkUInt16: return ftWord;
    case pkBoolean: return ftBoolean;
    case pkDouble: return SubTypeIs(f, "Money") ? ftCurrency : ftFloat;
    case pkExtended: case pkSingle: return ftFloat;
    case pkBcd:
        precision = int(width > 0 ? qMin<qint64>(width, 32) : qBound(1, (f.TypeSize() - 2) * 2, 32));
        size = int(qBound(qint64(0), f.Params.Decimals().value_or(0), qint64(precision)));
        return f.TypeCode() == ptcBcd ? ftBCD : ftFMTBcd;
    case pkDate: return ftDate;
    case pkTime: return ftTime;
    case pkTimeStamp: return ftDateTime;
    case pkSqlTimeStamp: case pkSqlTimeStampOffset: return ftTimeStamp;
    case pkAnsiString:
        size = int(width > 0 ? qMin<qint64>(width, 65535) : (stored == 1 ? 255 : 8192));
        if (SubTypeIs(f, "Guid")) return ftGuid;
        if (SubTypeIs(f, "FixedChar")) return ftFixedChar;
        return ftString;
    case pkWideString:
        size = int(width > 0 ? qMin<qint64>(width / 2, 32767) : (stored == 1 ? 127 : 4096));
        return ftWideString;
    case pkFixedBytes:
        size = stored;
        return ftBytes;
    case pkVarBytes:
        size = int(width > 0 ? qMin<qint64>(width, 65535) : (stored == 1 ? 255 : 8192));
        return ftVarBytes;
    case pkBlob:
        size = int(qBound(qint64(0), width, qint64(65535)));
        if (SubTypeIs(f, "Text") || SubTypeIs(f, "WideText")) return ftMemo;
        if (SubTypeIs(f, "Formatted")) return ftFmtMemo;
        if (SubTypeIs(f, "Graphics")) return ftGraphic;
        if (SubTypeIs(f, "TypedBinary")) return ftTypedBinary;
        if (SubTypeIs(f, "Ole")) return ftParadoxOle;
        if (SubTypeIs(f, "dBASEOle")) return ftDBaseOle;
        if (SubTypeIs(f, "HMemo")) return ftOraClob;
        if (SubTypeIs(f, "HBinary")) return ftOraBlob;
        return ftBlob;
    default:
        return ftUnknown;
    }
}

void FieldDefsFromDescriptors(const std::vector<TPacketFieldDesc>& fields, TFieldDefs& defs)
{
    defs.Clear();
    for (const TPacketFieldDesc& f : fields) {
        TFieldDef* d = defs.AddFieldDef();
        int size = 0, precision = 0;
        d->SetName(f.Text.isEmpty() ? QString::fromLatin1(f.Name) : f.Text);
        d->SetDataType(FieldTypeOfDescriptor(f, size, precision));
        d->SetSize(size);
        d->SetPrecision(precision);
        TFieldAttributes attrs;
        if (f.Attributes & pfaHidden) attrs |= faHiddenCol;
        if (f.Attributes & pfaReadOnly) attrs |= faReadonly;
        if (f.Attributes & pfaRequired) attrs |= faRequired;
        if (f.Attributes & pfaLink) attrs |= faLink;
        d->SetAttributes(attrs);
        if (f.IsComposite()) FieldDefsFromDescriptors(f.Children, *d->ChildDefs());
    }
}

std::vector<TPacketFieldDesc> DescriptorsFromFieldDefs(const TFieldDefs& defs)
{
    std::vector<TPacketFieldDesc> out;
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef* d = defs.Items(i);
        TPacketFieldDesc f;
        const QString name = d->Name();
        if (name.isEmpty()) DatabaseError(QStringLiteral("A field has no name"));
        bool ascii = true;
        for (QChar c : name)
            if (c.unicode() >= 0x80) ascii = false;
        const QByteArray encoded = ascii ? name.toLatin1() : name.toUtf8();
        // The engine keeps at most 31 bytes of a name; the whole name travels beside it.
        if (encoded.size() > 31) {
            int cut = 31;
            while (cut > 0 && (uchar(encoded[cut]) & 0xC0) == 0x80) --cut;
            f.Name = encoded.left(cut);
            f.Params.Set(TPacketParam::MakeText("FIELDNAME", encoded));
        } else {
            f.Name = encoded;
        }
        const int size = d->Size();
        auto requireSize = [&] {
            if (size <= 0 || size > 65530) DatabaseErrorFmt(QStringLiteral("Invalid field size for field '%s'"), {name});
        };
        auto subType = [&](const char* s) { f.Params.Set(TPacketParam::MakeText("SUBTYPE", s)); };
        auto widthParam = [&](qint64 w) { f.Params.Set(TPacketParam::MakeInt("WIDTH", PacketTypeWord::UInt16, w)); };
        switch (d->DataType()) {
        case ftString: case ftFixedChar: case ftGuid: {
            const int n = d->DataType() == ftGuid && size <= 0 ? 38 : size;
            if (n <= 0 || n > 65530) DatabaseErrorFmt(QStringLiteral("Invalid field size for field '%s'"), {name});
            f.TypeWord = PacketTypeWord::Make(ptcString, n + 1 < 255 ? 1 : 2, PacketTypeWord::Varying);
            if (d->DataType() == ftFixedChar) subType("FixedChar");
            if (d->DataType() == ftGuid) subType("Guid");
            widthParam(n);
            break;
        }
        case ftWideString:
            requireSize();
            if (size > 32765) DatabaseErrorFmt(QStringLiteral("Invalid field size for field '%s'"), {name});
            f.TypeWord = PacketTypeWord::Make(ptcWideString, 2 * size + 2 < 255 ? 1 : 2, PacketTypeWord::Varying);
            widthParam(2 * size);
            break;
        case ftSmallint: f.TypeWord = PacketTypeWord::Int16; break;
        case ftInteger: f.TypeWord = PacketTypeWord::Int32; break;
        case ftLargeint: f.TypeWord = PacketTypeWord::Int64; break;
        case ftWord: f.TypeWord = PacketTypeWord::UInt16; break;
        case ftAutoInc:
            f.TypeWord = PacketTypeWord::Int32;
            f.Attributes |= pfaReadOnly;
            subType("Autoinc");
            break;
        case ftBoolean: f.TypeWord = PacketTypeWord::Boolean; break;
        case ftFloat: f.TypeWord = PacketTypeWord::Double; break;
        case ftCurrency:
            f.TypeWord = PacketTypeWord::Double;
            subType("Money");
            break;
        case ftBCD: case ftFMTBcd: {
            int precision = d->Precision() > 0 ? d->Precision() : 18;
            if (precision > 32) precision = 32;
            const int scale = qBound(0, size, precision);
            f.TypeWord = PacketTypeWord::Make(d->DataType() == ftBCD ? ptcBcd : ptcFmtBcd, 2 + (precision + 1) / 2);
            f.Params.Set(TPacketParam::MakeInt("DECIMALS", PacketTypeWord::UInt16, scale));
            widthParam(precision);
            break;
        }
        case ftDate: f.TypeWord = PacketTypeWord::Make(ptcDate, 4); break;
        case ftTime: f.TypeWord = PacketTypeWord::Make(ptcTime, 4); break;
        case ftDateTime: f.TypeWord = PacketTypeWord::Make(ptcTimeStamp, 8); break;
        case ftTimeStamp: f.TypeWord = PacketTypeWord::Make(ptcSqlTimeStamp, 16); break;
        case ftBytes:
            requireSize();
            f.TypeWord = PacketTypeWord::Make(ptcBytes, size);
            break;
        case ftVarBytes:
            requireSize();
            f.TypeWord = PacketTypeWord::Make(ptcBytes, size + 2 < 255 ? 1 : 2, PacketTypeWord::Varying);
            widthParam(size);
            break;
        case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle:
        case ftTypedBinary: case ftOraBlob: case ftOraClob: {
            static const struct { TFieldType Type; const char* Sub; } subs[] = {
                {ftBlob, "Binary"}, {ftMemo, "Text"}, {ftGraphic, "Graphics"}, {ftFmtMemo, "Formatted"},
                {ftParadoxOle, "Ole"}, {ftDBaseOle, "dBASEOle"}, {ftTypedBinary, "TypedBinary"},
                {ftOraBlob, "HBinary"}, {ftOraClob, "HMemo"}};
            f.TypeWord = PacketTypeWord::Blob;
            for (const auto& s : subs)
                if (s.Type == d->DataType()) subType(s.Sub);
            if (size > 0) widthParam(qMin(size, 65535));
            break;
        }
        case ftDataSet:
            f.Children = DescriptorsFromFieldDefs(*const_cast<TFieldDef*>(d)->ChildDefs());
            f.TypeWord = PacketTypeWord::Make(ptcNestedTable, PacketDescendantCount(f),
                                              PacketTypeWord::Pseudo | PacketTypeWord::Embedded);
            break;
        default:
            DatabaseErrorFmt(QStringLiteral("Field '%s' is of a type a client dataset cannot hold (%s)"),
                             {name, FieldTypeText(d->DataType())});
        }
        if (d->Required()) f.Attributes |= pfaRequired;
        if (d->Attributes().testFlag(faReadonly)) f.Attributes |= pfaReadOnly;
        if (d->Attributes().testFlag(faHiddenCol)) f.Attributes |= pfaHidden;
        out.push_back(std::move(f));
    }
    return out;
}

std::vector<int> DescriptorColumns(const TPacketLevel& level)
{
    std::vector<int> cols;
    if (!level.Fields) return cols;
    cols.reserve(level.Fields->size());
    size_t c = 0;
    for (const TPacketFieldDesc& f : *level.Fields) {
        while (c < level.Columns.size() && level.Columns[c].Field != &f) ++c;
        cols.push_back(c < level.Columns.size() ? int(c) : -1);
    }
    return cols;
}

// ---- values --------------------------------------------------------------------------------

bool ReadCell(const TRecordStore& store, const TStoreLevel& lv, const char* block, const TColumnBinding& b, TVariant& value)
{
    if (!block || b.Column < 0 || lv.State(block, b.Column) != csValue) return false;
    const TStoreColumn& c = lv.Columns[size_t(b.Column)];
    const char* p = block + c.Offset;
    switch (c.Kind) {
    case pkNone: case pkNested:
        return false;
    case pkInt8: case pkInt16: case pkInt32: case pkInt64:
        value = IntegerValue(b.Type, BlockInt(p, c.Bytes, true));
        return true;
    case pkUInt8: case pkUInt16: case pkUInt32: case pkUInt64:
        value = IntegerValue(b.Type, BlockInt(p, c.Bytes, false));
        return true;
    case pkBoolean:
        value = TVariant(p[0] != 0);
        return true;
    case pkDouble: case pkSingle: case pkExtended: {
        double d;
        if (c.Kind == pkDouble) {
            std::memcpy(&d, p, 8);
        } else if (c.Kind == pkSingle) {
            float f;
            std::memcpy(&f, p, 4);
            d = f;
        } else {
            d = PacketExtendedToDouble(p);
        }
        if (b.Type == ftCurrency || b.Type == ftBCD) {
            try {
                value = TVariant(TCurrency::FromDouble(d));
            } catch (const Exception&) {
                value = TVariant(d);
            }
        } else {
            value = TVariant(d);
        }
        return true;
    }
    case pkBcd: {
        __int128 digits;
        int scale;
        if (!DecodeBcd(p, digits, scale)) return false;
        if (b.Type == ftBCD || b.Type == ftCurrency) {
            const __int128 scaled = Rescale(digits, scale, 4);
            if (scaled > std::numeric_limits<qint64>::max() || scaled < std::numeric_limits<qint64>::min()) {
                value = TVariant(double(digits) / std::pow(10.0, scale));
            } else {
                value = TVariant(TCurrency::FromScaled(qint64(scaled)));
            }
        } else {
            value = TVariant(double(digits) / std::pow(10.0, scale));
        }
        return true;
    }
    case pkDate: {
        const qint32 day = qint32(BlockInt(p, 4, true));
        value = TVariant::FromDate(DayNumberToDateTime(day));
        return true;
    }
    case pkTime: {
        const qint32 ms = qint32(BlockInt(p, 4, true));
        value = TVariant::FromDate(ms / MSecsPerDayD);
        return true;
    }
    case pkTimeStamp: {
        double ms;
        std::memcpy(&ms, p, 8);
        if (!std::isfinite(ms)) return false;
        const double day = std::floor(ms / MSecsPerDayD);
        const double msOfDay = std::round(ms - day * MSecsPerDayD);
        if (std::fabs(day) > 1e8) return false;
        value = TVariant::FromDate(DayNumberToDateTime(int(day), int(qMin(msOfDay, MSecsPerDayD - 1))));
        return true;
    }
    case pkSqlTimeStamp: case pkSqlTimeStampOffset: {
        qint16 year;
        quint16 parts[5];
        quint32 fraction;
        std::memcpy(&year, p, 2);
        std::memcpy(parts, p + 2, 10);
        std::memcpy(&fraction, p + 12, 4);
        TDateTime date = 0, time = 0;
        if (!TryEncodeDate(year, parts[0], parts[1], date)) return false;
        TryEncodeTime(qMin<int>(parts[2], 23), qMin<int>(parts[3], 59), qMin<int>(parts[4], 59), int(qMin<quint32>(fraction, 999)), time);
        value = TVariant::FromDate(date >= 0 ? date + time : date - time);
        return true;
    }
    case pkAnsiString: {
        qsizetype n = 0;
        const char* s = store.BytesView(lv, block, b.Column, n);
        value = TVariant::FromAnsiString(QByteArray(s, n), b.CodePage);
        return true;
    }
    case pkWideString: {
        qsizetype n = 0;
        const char* s = store.BytesView(lv, block, b.Column, n);
        QString text(int(n / 2), Qt::Uninitialized);
        std::memcpy(text.data(), s, size_t(n / 2) * 2);
        value = TVariant(std::move(text));
        return true;
    }
    default: {
        qsizetype n = 0;
        const char* s = store.BytesView(lv, block, b.Column, n);
        switch (b.Type) {
        case ftMemo: case ftFmtMemo: case ftOraClob:
            if (b.WideText) {
                QString text(int(n / 2), Qt::Uninitialized);
                std::memcpy(text.data(), s, size_t(n / 2) * 2);
                value = TVariant(std::move(text));
            } else {
                value = TVariant::FromAnsiString(QByteArray(s, n), b.CodePage);
            }
            return true;
        case ftString: case ftFixedChar: case ftGuid:
            value = TVariant::FromAnsiString(QByteArray(s, n), b.CodePage);
            return true;
        default:
            value = TVariant::FromBytes(QByteArray(s, n));
            return true;
        }
    }
    }
}

void WriteCell(TRecordStore& store, const TStoreLevel& lv, char* block, const TColumnBinding& b, const TVariant& value)
{
    if (b.Column < 0) return;
    const TStoreColumn& c = lv.Columns[size_t(b.Column)];
    if (value.IsNullOrEmpty()) {
        lv.SetState(block, b.Column, csNull);
        return;
    }
    char* p = block + c.Offset;
    auto putInt = [&](qint64 v, qint64 low, qint64 high) {
        if (v < low || v > high) OutOfRange(value);
        std::memcpy(p, &v, size_t(c.Bytes));
    };
    switch (c.Kind) {
    case pkNone: case pkNested:
        return;
    case pkInt8: putInt(value.AsInt64(), -128, 127); break;
    case pkInt16: putInt(value.AsInt64(), -32768, 32767); break;
    case pkInt32: putInt(value.AsInt64(), std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()); break;
    case pkInt64: putInt(value.AsInt64(), std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()); break;
    case pkUInt8: putInt(value.AsInt64(), 0, 255); break;
    case pkUInt16: putInt(value.AsInt64(), 0, 65535); break;
    case pkUInt32: putInt(value.AsInt64(), 0, 0xFFFFFFFFll); break;
    case pkUInt64: putInt(value.AsInt64(), 0, std::numeric_limits<qint64>::max()); break;
    case pkBoolean: p[0] = value.AsBoolean() ? 1 : 0; break;
    case pkDouble: {
        const double d = value.AsDouble();
        std::memcpy(p, &d, 8);
        break;
    }
    case pkSingle: {
        const float f = float(value.AsDouble());
        std::memcpy(p, &f, 4);
        break;
    }
    case pkExtended:
        PacketDoubleToExtended(value.AsDouble(), p);
        break;
    case pkBcd: {
        int precision = uchar(p[0]);
        int scale = uchar(p[1]) & 0x3F;
        if (lv.State(block, b.Column) != csValue || precision == 0) {
            precision = b.Precision > 0 ? b.Precision : 32;
            scale = b.Scale;
        }
        __int128 scaled;
        if (value.Type() == varCurrency) {
            scaled = Rescale(value.RawInt(), 4, scale);
        } else {
            const double d = value.AsDouble();
            if (!std::isfinite(d) || std::fabs(d) >= 1e32) OutOfRange(value);
            scaled = __int128(std::llround(d * std::pow(10.0, qMin(scale, 18))));
            if (scale > 18) scaled *= Pow10(scale - 18);
        }
        EncodeBcd(scaled, scale, b.Precision > 0 ? b.Precision : precision, p, value);
        break;
    }
    case pkDate: {
        const qint32 day = DateTimeToDayNumber(value.AsDateTime());
        std::memcpy(p, &day, 4);
        break;
    }
    case pkTime: {
        const qint32 ms = DateTimeToMSecOfDay(value.AsDateTime());
        std::memcpy(p, &ms, 4);
        break;
    }
    case pkTimeStamp: {
        const TDateTime dt = value.AsDateTime();
        if (!std::isfinite(dt)) OutOfRange(value);
        const double ms = double(DateTimeToDayNumber(dt)) * MSecsPerDayD + DateTimeToMSecOfDay(dt);
        std::memcpy(p, &ms, 8);
        break;
    }
    case pkSqlTimeStamp: case pkSqlTimeStampOffset: {
        const TDateTime dt = value.AsDateTime();
        int y, m, d, hh, mm, ss, ms;
        DecodeDate(dt, y, m, d);
        DecodeTime(dt, hh, mm, ss, ms);
        const qint16 year = qint16(y);
        const quint16 parts[5] = {quint16(m), quint16(d), quint16(hh), quint16(mm), quint16(ss)};
        const quint32 fraction = quint32(ms);
        std::memset(p, 0, size_t(c.Bytes));
        std::memcpy(p, &year, 2);
        std::memcpy(p + 2, parts, 10);
        std::memcpy(p + 12, &fraction, 4);
        break;
    }
    case pkAnsiString: {
        const QByteArray bytes = value.Type() == varBytes ? value.RawBytes() : value.AsAnsiString(b.CodePage);
        store.SetBytes(lv, block, b.Column, bytes.constData(), bytes.size());
        return;
    }
    case pkWideString: {
        const QString text = value.Type() == varBytes ? QString::fromUtf16(reinterpret_cast<const char16_t*>(value.RawBytes().constData()), value.RawBytes().size() / 2)
                                                     : value.AsString();
        store.SetBytes(lv, block, b.Column, reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        return;
    }
    default: {
        QByteArray bytes;
        const bool text = b.Type == ftMemo || b.Type == ftFmtMemo || b.Type == ftOraClob;
        if (text && b.WideText && value.Type() != varBytes) {
            const QString s = value.AsString();
            bytes = QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
        } else if (text && value.Type() != varBytes) {
            bytes = value.AsAnsiString(b.CodePage);
        } else {
            bytes = value.AsBytes();
        }
        if (c.Kind == pkBlob && bytes.isEmpty()) {
            // As the platform keeps it: an empty blob is no blob.
            lv.SetState(block, b.Column, csNull);
            return;
        }
        if (c.Kind == pkFixedBytes && !c.InHeap) {
            // Fixed-size bytes keep their size: shorter values are padded with zeros.
            bytes = bytes.left(c.Bytes);
        }
        store.SetBytes(lv, block, b.Column, bytes.constData(), bytes.size());
        return;
    }
    }
    lv.SetState(block, b.Column, csValue);
}
