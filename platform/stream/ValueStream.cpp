#include "platform/stream/ValueStream.h"

#include "platform/stream/Win1252.h"
#include "platform/core/ScopeExit.h"

#include <cfloat>
#include <cmath>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the value encoding is read and written in host order");

const char* const SInvalidImage = "Invalid stream format";
const char* const SInvalidPropertyValue = "Invalid property value";
const char* const SReadError = "Stream read error";
const char* const SWriteError = "Stream write error";

namespace {
// Deeper nesting than this in a value stream is damage, not data.
constexpr int kMaxDepth = 256;
// A device of unknown size is read in pieces no larger than this.
constexpr qsizetype kChunk = 1 << 20;
} // namespace

// ---------------------------------------------------------------- TExtended80

TExtended80 TExtended80::FromDouble(double value)
{
    TExtended80 r;
    quint64 bits;
    std::memcpy(&bits, &value, 8);
    const quint16 sign = (bits >> 63) ? 0x8000 : 0;
    const int exp = int((bits >> 52) & 0x7FF);
    quint64 frac = bits & ((quint64(1) << 52) - 1);
    if (exp == 0x7FF) {
        r.SignExponent = sign | 0x7FFF;
        r.Mantissa = (quint64(1) << 63) | (frac << 11);
        return r;
    }
    if (exp == 0) {
        if (frac == 0) {
            r.SignExponent = sign;
            return r;
        }
        // Subnormal double: normalise into the wider exponent range.
        int e = -1022;
        while (!(frac & (quint64(1) << 52))) {
            frac <<= 1;
            --e;
        }
        r.Mantissa = frac << 11;
        r.SignExponent = sign | quint16(e + 16383);
        return r;
    }
    r.Mantissa = (quint64(1) << 63) | (frac << 11);
    r.SignExponent = sign | quint16(exp - 1023 + 16383);
    return r;
}

TExtended80 TExtended80::FromInt64(qint64 value)
{
    TExtended80 r;
    if (value == 0) return r;
    const quint16 sign = value < 0 ? 0x8000 : 0;
    quint64 m = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    int e = 63;
    while (!(m & (quint64(1) << 63))) {
        m <<= 1;
        --e;
    }
    r.Mantissa = m;
    r.SignExponent = sign | quint16(e + 16383);
    return r;
}

TExtended80 TExtended80::FromLongDouble(long double value)
{
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384
    TExtended80 r;
    unsigned char raw[sizeof(long double)];
    std::memcpy(raw, &value, sizeof(long double));
    std::memcpy(&r.Mantissa, raw, 8);
    std::memcpy(&r.SignExponent, raw + 8, 2);
    return r;
#else
    return FromDouble(double(value));
#endif
}

long double TExtended80::ToLongDouble() const
{
    const bool neg = SignExponent & 0x8000;
    const int exp = SignExponent & 0x7FFF;
    if (exp == 0x7FFF) return ToDouble();
    if (Mantissa == 0) return neg ? -0.0L : 0.0L;
    const long double v = std::ldexp(static_cast<long double>(Mantissa), exp - 16383 - 63);
    return neg ? -v : v;
}

double TExtended80::ToDouble() const
{
    const bool neg = SignExponent & 0x8000;
    const int exp = SignExponent & 0x7FFF;
    if (exp == 0x7FFF) {
        if ((Mantissa << 1) == 0) return neg ? -HUGE_VAL : HUGE_VAL;
        return std::nan("");
    }
    if (Mantissa == 0) return neg ? -0.0 : 0.0;
    const int e = exp - 16383 - 63;
#if LDBL_MANT_DIG >= 64
    // Exact in the wide type, so the one rounding to double is correct.
    const long double v = std::ldexp(static_cast<long double>(Mantissa), e);
    return static_cast<double>(neg ? -v : v);
#else
    // Round the 64-bit mantissa to 53 bits (ties to even) and scale.
    const int lead = 63 - __builtin_clzll(Mantissa);
    quint64 m = Mantissa;
    int shift = lead - 52;
    double v;
    if (shift > 0) {
        const quint64 rest = m & ((quint64(1) << shift) - 1);
        const quint64 half = quint64(1) << (shift - 1);
        m >>= shift;
        if (rest > half || (rest == half && (m & 1))) ++m;
        v = std::ldexp(double(m), e + shift);
    } else {
        v = std::ldexp(double(m), e);
    }
    return neg ? -v : v;
#endif
}

bool TExtended80::ToInt64(qint64& value) const
{
    const bool neg = SignExponent & 0x8000;
    const int exp = SignExponent & 0x7FFF;
    if (Mantissa == 0) {
        if (exp == 0x7FFF) return false;
        value = 0;
        return true;
    }
    if (exp == 0x7FFF) return false;
    const int e = exp - 16383 - 63;   // value = Mantissa * 2^e
    quint64 mag;
    if (e >= 0) {
        if (e > 63 || (e > 0 && (Mantissa >> (64 - e)) != 0)) return false;
        mag = Mantissa << e;
    } else {
        if (e < -63) return false;
        if (Mantissa & ((quint64(1) << -e) - 1)) return false;
        mag = Mantissa >> -e;
    }
    if (neg) {
        if (mag > quint64(1) << 63) return false;
        value = qint64(quint64(0) - mag);
    } else {
        if (mag > quint64(INT64_MAX)) return false;
        value = qint64(mag);
    }
    return true;
}

// ---------------------------------------------------------------- TValueReader

TValueReader::TValueReader(QIODevice* source, qsizetype bufferSize)
    : FSource(source), FBufferSize(qMax<qsizetype>(bufferSize, 64))
{
    if (!source->isSequential()) {
        FBase = source->pos();
        FSourceSize = source->size();
    }
    FMemory.reserve(FBufferSize);
    FData = FMemory.constData();
}

TValueReader::TValueReader(const QByteArray& data)
    : FMemory(data), FData(FMemory.constData()), FEnd(FMemory.size()), FSourceSize(FMemory.size())
{
}

TValueReader::~TValueReader() = default;

void TValueReader::Fill(qsizetype count)
{
    if (!FSource) throw EReadError(SReadError);
    // Keep the unread tail, then top up from the device.
    const qsizetype left = FEnd - FPos;
    QByteArray next;
    const qsizetype want = qMax(FBufferSize, count);
    next.resize(want);
    if (left > 0) std::memcpy(next.data(), FData + FPos, left);
    FBase += FPos;
    qsizetype have = left;
    while (have < count) {
        const qint64 got = FSource->read(next.data() + have, want - have);
        if (got <= 0) {
            if (got == 0 && FSource->isSequential() && FSource->waitForReadyRead(-1)) continue;
            break;
        }
        have += got;
    }
    next.resize(have);
    FMemory = next;
    FData = FMemory.constData();
    FPos = 0;
    FEnd = have;
    if (have < count) throw EReadError(SReadError);
}

bool TValueReader::AtEnd()
{
    if (FPos < FEnd) return false;
    if (!FSource) return true;
    try {
        Fill(1);
    } catch (const EReadError&) {
        return true;
    }
    return false;
}

void TValueReader::Read(void* dest, qsizetype count)
{
    if (count <= 0) return;
    char* out = static_cast<char*>(dest);
    const qsizetype inBuf = qMin(count, FEnd - FPos);
    if (inBuf > 0) {
        std::memcpy(out, FData + FPos, inBuf);
        FPos += inBuf;
        out += inBuf;
        count -= inBuf;
    }
    while (count > 0) {
        const qsizetype piece = qMin(count, qMax(FBufferSize, qsizetype(1)));
        Fill(piece);
        std::memcpy(out, FData + FPos, piece);
        FPos += piece;
        out += piece;
        count -= piece;
    }
}

void TValueReader::CheckLength(qint64 len)
{
    if (len < 0) throw EReadError(SReadError);
    if (FSourceSize >= 0 && len > FSourceSize - Position()) throw EReadError(SReadError);
}

QByteArray TValueReader::ReadBytes(qint64 len)
{
    CheckLength(len);
    QByteArray out;
    if (FSourceSize >= 0) {
        out.resize(qsizetype(len));
        Read(out.data(), qsizetype(len));
        return out;
    }
    // Unknown size: grow as the bytes actually arrive, never by the stored count alone.
    while (len > 0) {
        const qsizetype piece = qsizetype(qMin<qint64>(len, kChunk));
        const qsizetype at = out.size();
        out.resize(at + piece);
        Read(out.data() + at, piece);
        len -= piece;
    }
    return out;
}

void TValueReader::PropertyError()
{
    throw EReadError(SInvalidPropertyValue);
}

TValueType TValueReader::NextValue()
{
    if (FPos >= FEnd) Fill(1);
    return static_cast<TValueType>(static_cast<quint8>(FData[FPos]));
}

TValueType TValueReader::ReadValue()
{
    return static_cast<TValueType>(ReadByte());
}

void TValueReader::CheckValue(TValueType expected)
{
    if (ReadValue() != expected) PropertyError();
}

void TValueReader::ReadSignature()
{
    char sig[4];
    if (FEnd - FPos < 4) {
        try {
            Fill(4);
        } catch (const EReadError&) {
            throw EReadError(SInvalidImage);
        }
    }
    Read(sig, 4);
    if (std::memcmp(sig, kFilerSignature, 4) != 0) throw EReadError(SInvalidImage);
}

qint32 TValueReader::ReadInteger()
{
    switch (ReadValue()) {
    case vaInt8: return ReadRaw<qint8>();
    case vaInt16: return ReadRaw<qint16>();
    case vaInt32: return ReadRaw<qint32>();
    default: PropertyError();
    }
}

qint64 TValueReader::ReadInt64()
{
    if (NextValue() == vaInt64) {
        ReadValue();
        return ReadRaw<qint64>();
    }
    return ReadInteger();
}

TExtended80 TValueReader::ReadExtended()
{
    CheckValue(vaExtended);
    TExtended80 r;
    r.Mantissa = ReadRaw<quint64>();
    r.SignExponent = ReadRaw<quint16>();
    return r;
}

double TValueReader::ReadFloat()
{
    switch (NextValue()) {
    case vaExtended: return ReadExtended().ToDouble();
    case vaSingle: return ReadSingle();
    case vaDouble: return ReadDouble();
    case vaInt64: return double(ReadInt64());
    default: return ReadInteger();
    }
}

float TValueReader::ReadSingle()
{
    CheckValue(vaSingle);
    return ReadRaw<float>();
}

double TValueReader::ReadDouble()
{
    CheckValue(vaDouble);
    return ReadRaw<double>();
}

qint64 TValueReader::ReadCurrency()
{
    CheckValue(vaCurrency);
    return ReadRaw<qint64>();
}

double TValueReader::ReadDate()
{
    CheckValue(vaDate);
    return ReadRaw<double>();
}

bool TValueReader::ReadBoolean()
{
    switch (ReadValue()) {
    case vaTrue: return true;
    case vaFalse: return false;
    default: PropertyError();
    }
}

QByteArray TValueReader::ReadAnsiString()
{
    switch (ReadValue()) {
    case vaString: return ReadBytes(ReadByte());
    case vaLString: return ReadBytes(ReadRaw<qint32>());
    case vaUTF8String: {
        const QByteArray utf8 = ReadBytes(ReadRaw<qint32>());
        QByteArray out;
        Utf8ToWin1252(utf8.constData(), utf8.size(), out);
        return out;
    }
    case vaWString: {
        const qint32 chars = ReadRaw<qint32>();
        if (chars < 0) throw EReadError(SReadError);
        const QByteArray raw = ReadBytes(qint64(chars) * 2);
        return StringToWin1252(QString(reinterpret_cast<const QChar*>(raw.constData()), chars));
    }
    default: PropertyError();
    }
}

void TValueReader::ReadAnsiStringView(const char*& data, qsizetype& len, QByteArray& scratch)
{
    const TValueType t = NextValue();
    if (t == vaString || t == vaLString) {
        ReadValue();
        const qint64 n = t == vaString ? qint64(ReadByte()) : qint64(ReadRaw<qint32>());
        CheckLength(n);
        if (FEnd - FPos >= n) {
            data = FData + FPos;
            len = qsizetype(n);
            FPos += qsizetype(n);
            return;
        }
        scratch = ReadBytes(n);
    } else {
        scratch = ReadAnsiString();
    }
    data = scratch.constData();
    len = scratch.size();
}

QString TValueReader::ReadString()
{
    switch (NextValue()) {
    case vaUTF8String: {
        ReadValue();
        const QByteArray utf8 = ReadBytes(ReadRaw<qint32>());
        return QString::fromUtf8(utf8);
    }
    case vaWString: {
        ReadValue();
        const qint32 chars = ReadRaw<qint32>();
        if (chars < 0) throw EReadError(SReadError);
        const QByteArray raw = ReadBytes(qint64(chars) * 2);
        return QString(reinterpret_cast<const QChar*>(raw.constData()), chars);
    }
    default: return Win1252ToString(ReadAnsiString());
    }
}

QByteArray TValueReader::ReadIdent()
{
    switch (ReadValue()) {
    case vaIdent: return ReadBytes(ReadByte());
    case vaFalse: return "False";
    case vaTrue: return "True";
    case vaNil: return "nil";
    case vaNull: return "Null";
    default: PropertyError();
    }
}

QStringList TValueReader::ReadSet()
{
    CheckValue(vaSet);
    QStringList names;
    for (;;) {
        const quint8 len = ReadByte();
        if (len == 0) break;
        names.append(QString::fromLatin1(ReadBytes(len)));
    }
    return names;
}

QByteArray TValueReader::ReadBinary()
{
    CheckValue(vaBinary);
    return ReadBytes(ReadRaw<qint32>());
}

void TValueReader::SkipValue()
{
    if (++FDepth > kMaxDepth) {
        FDepth = 0;
        throw EReadError(SInvalidPropertyValue);
    }
    TScopeExit leaveLevel([this] {
        if (FDepth > 0) --FDepth;
    });
    auto skipBytes = [this](qint64 n) {
        CheckLength(n);
        while (n > 0) {
            if (FPos >= FEnd) Fill(1);
            const qsizetype step = qsizetype(qMin<qint64>(n, FEnd - FPos));
            FPos += step;
            n -= step;
        }
    };
    switch (ReadValue()) {
    case vaNull: case vaFalse: case vaTrue: case vaNil: break;
    case vaList:
        while (!EndOfList()) SkipValue();
        ReadValue();
        break;
    case vaInt8: skipBytes(1); break;
    case vaInt16: skipBytes(2); break;
    case vaInt32: case vaSingle: skipBytes(4); break;
    case vaExtended: skipBytes(10); break;
    case vaInt64: case vaCurrency: case vaDate: case vaDouble: skipBytes(8); break;
    case vaString: case vaIdent: skipBytes(ReadByte()); break;
    case vaLString: case vaUTF8String: case vaBinary: skipBytes(ReadRaw<qint32>()); break;
    case vaWString: {
        const qint32 chars = ReadRaw<qint32>();
        if (chars < 0) throw EReadError(SReadError);
        skipBytes(qint64(chars) * 2);
        break;
    }
    case vaSet:
        for (;;) {
            const quint8 len = ReadByte();
            if (len == 0) break;
            skipBytes(len);
        }
        break;
    case vaCollection:
        // Items: an optional order value, then a list of name/value properties.
        while (!EndOfList()) {
            const TValueType t = NextValue();
            if (t == vaInt8 || t == vaInt16 || t == vaInt32) SkipValue();
            CheckValue(vaList);
            while (!EndOfList()) {
                skipBytes(ReadByte());
                SkipValue();
            }
            ReadValue();
        }
        ReadValue();
        break;
    default: PropertyError();
    }
}

// ---------------------------------------------------------------- TValueWriter

TValueWriter::TValueWriter(QIODevice* target, qsizetype bufferSize)
    : FTarget(target), FBufferSize(qMax<qsizetype>(bufferSize, 64))
{
    FBuffer.reset(new char[size_t(FBufferSize)]);
}

TValueWriter::~TValueWriter()
{
    try {
        FlushBuffer();
    } catch (...) {
    }
}

void TValueWriter::FlushBuffer()
{
    if (FUsed == 0) return;
    const qint64 n = FTarget->write(FBuffer.get(), FUsed);
    const qsizetype used = FUsed;
    FUsed = 0;
    if (n != used) throw EWriteError(SWriteError);
    FWritten += n;
}

void TValueWriter::Write(const void* data, qsizetype count)
{
    if (count <= 0) return;
    if (FUsed + count > FBufferSize) {
        FlushBuffer();
        if (count >= FBufferSize) {
            const qint64 n = FTarget->write(static_cast<const char*>(data), count);
            if (n != count) throw EWriteError(SWriteError);
            FWritten += n;
            return;
        }
    }
    std::memcpy(FBuffer.get() + FUsed, data, size_t(count));
    FUsed += count;
}

void TValueWriter::WriteInteger(qint64 value)
{
    if (value >= -128 && value <= 127) {
        WriteByte(vaInt8);
        WriteRaw<qint8>(qint8(value));
    } else if (value >= -32768 && value <= 32767) {
        WriteByte(vaInt16);
        WriteRaw<qint16>(qint16(value));
    } else if (value >= INT32_MIN && value <= INT32_MAX) {
        WriteByte(vaInt32);
        WriteRaw<qint32>(qint32(value));
    } else {
        WriteByte(vaInt64);
        WriteRaw<qint64>(value);
    }
}

void TValueWriter::WriteExtended(const TExtended80& value)
{
    char buf[11];
    buf[0] = char(vaExtended);
    std::memcpy(buf + 1, &value.Mantissa, 8);
    std::memcpy(buf + 9, &value.SignExponent, 2);
    Write(buf, 11);
}

void TValueWriter::WriteSingle(float value)
{
    WriteByte(vaSingle);
    WriteRaw(value);
}

void TValueWriter::WriteDouble(double value)
{
    WriteByte(vaDouble);
    WriteRaw(value);
}

void TValueWriter::WriteCurrency(qint64 scaled)
{
    WriteByte(vaCurrency);
    WriteRaw(scaled);
}

void TValueWriter::WriteDate(double value)
{
    WriteByte(vaDate);
    WriteRaw(value);
}

void TValueWriter::WriteAnsiString(const char* data, qsizetype len)
{
    if (IsAscii(data, len)) {
        if (len <= 255) {
            WriteByte(vaString);
            WriteByte(quint8(len));
        } else {
            WriteByte(vaLString);
            WriteRaw<qint32>(qint32(len));
        }
        Write(data, len);
        return;
    }
    WriteUTF8String(Win1252ToUtf8(data, len));
}

void TValueWriter::WriteString(const QString& text)
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        const QByteArray b = text.toLatin1();
        WriteAnsiString(b.constData(), b.size());
    } else {
        WriteUTF8String(text.toUtf8());
    }
}

void TValueWriter::WriteUTF8String(const QByteArray& utf8)
{
    WriteByte(vaUTF8String);
    WriteRaw<qint32>(qint32(utf8.size()));
    Write(utf8.constData(), utf8.size());
}

void TValueWriter::WriteWideString(const QString& text)
{
    WriteByte(vaWString);
    WriteRaw<qint32>(qint32(text.size()));
    Write(text.utf16(), text.size() * 2);
}

void TValueWriter::WriteIdent(const QByteArray& ident)
{
    if (ident.compare("False", Qt::CaseInsensitive) == 0) return WriteByte(vaFalse);
    if (ident.compare("True", Qt::CaseInsensitive) == 0) return WriteByte(vaTrue);
    if (ident.compare("nil", Qt::CaseInsensitive) == 0) return WriteByte(vaNil);
    if (ident.compare("Null", Qt::CaseInsensitive) == 0) return WriteByte(vaNull);
    if (ident.size() > 255) throw EWriteError(SWriteError);
    WriteByte(vaIdent);
    WriteByte(quint8(ident.size()));
    Write(ident.constData(), ident.size());
}

void TValueWriter::WriteSet(const QStringList& names)
{
    WriteByte(vaSet);
    for (const QString& n : names) {
        const QByteArray b = n.toLatin1();
        if (b.isEmpty() || b.size() > 255) throw EWriteError(SWriteError);
        WriteByte(quint8(b.size()));
        Write(b.constData(), b.size());
    }
    WriteByte(0);
}

void TValueWriter::WriteBinary(const QByteArray& bytes)
{
    WriteByte(vaBinary);
    WriteRaw<qint32>(qint32(bytes.size()));
    Write(bytes.constData(), bytes.size());
}
