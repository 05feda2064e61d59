#pragma once
// The typed value encoding of component streams ("TPF0"): one value-type byte, then
// its payload, little-endian. Used by the memory-table files, report templates and
// page archives. Reader and writer are buffered and bounds-checked: a length that
// runs past the end of the source raises before anything is allocated for it.

#include "platform/core/SysUtils.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

enum TValueType : quint8 {
    vaNull = 0, vaList = 1, vaInt8 = 2, vaInt16 = 3, vaInt32 = 4, vaExtended = 5,
    vaString = 6, vaIdent = 7, vaFalse = 8, vaTrue = 9, vaBinary = 10, vaSet = 11,
    vaLString = 12, vaNil = 13, vaCollection = 14, vaSingle = 15, vaCurrency = 16,
    vaDate = 17, vaWString = 18, vaInt64 = 19, vaUTF8String = 20, vaDouble = 21
};


// Messages of the reader and writer.
extern const char* const SInvalidImage;        // "Invalid stream format"
extern const char* const SInvalidPropertyValue; // "Invalid property value"
extern const char* const SReadError;           // "Stream read error"
extern const char* const SWriteError;          // "Stream write error"

// An x87 80-bit extended value as stored: 64-bit mantissa with explicit integer bit,
// then sign and 15-bit exponent. Kept as bits so that 64-bit integers survive exactly.
struct TExtended80 {
    quint64 Mantissa = 0;
    quint16 SignExponent = 0;

    static TExtended80 FromDouble(double value);
    static TExtended80 FromInt64(qint64 value);
    // Exact where the machine's long double is the same 80-bit format.
    static TExtended80 FromLongDouble(long double value);
    long double ToLongDouble() const;
    // Nearest double (ties to even); infinities and NaN carried over.
    double ToDouble() const;
    // True when the value is an integer that fits 64 bits; value then holds it.
    bool ToInt64(qint64& value) const;
    bool IsZero() const { return Mantissa == 0 && (SignExponent & 0x7FFF) == 0; }
    bool operator==(const TExtended80& o) const { return Mantissa == o.Mantissa && SignExponent == o.SignExponent; }
};

const char kFilerSignature[4] = {'T', 'P', 'F', '0'};

class TValueReader {
public:
    // Reads from a device through a buffer of the given size.
    explicit TValueReader(QIODevice* source, qsizetype bufferSize = 16384);
    // Reads straight out of the bytes (kept alive by the implicit sharing of the copy).
    explicit TValueReader(const QByteArray& data);
    ~TValueReader();
    TValueReader(const TValueReader&) = delete;
    TValueReader& operator=(const TValueReader&) = delete;

    // Peeks at the next type byte without consuming it.
    TValueType NextValue();
    TValueType ReadValue();
    void CheckValue(TValueType expected);
    bool EndOfList() { return NextValue() == vaNull; }
    bool AtEnd();

    void ReadSignature();                 // "TPF0", else "Invalid stream format"
    void ReadListBegin() { CheckValue(vaList); }
    void ReadListEnd() { CheckValue(vaNull); }

    qint32 ReadInteger();                 // types 2, 3, 4
    qint64 ReadInt64();                   // types 2, 3, 4, 19
    TExtended80 ReadExtended();           // type 5 only
    double ReadFloat();                   // 5, the integer types, single, double
    float ReadSingle();
    double ReadDouble();
    qint64 ReadCurrency();                // scaled by 10,000
    double ReadDate();
    bool ReadBoolean();                   // 8 false, 9 true, anything else an error
    // Strings: 6 and 12 are 8-bit bytes in Windows-1252, 18 UTF-16, 20 UTF-8.
    QString ReadString();
    // The same strings in their 8-bit Windows-1252 form (what 8-bit fields store).
    QByteArray ReadAnsiString();
    // The same without a copy where it can: data points into the reader's buffer (valid until
    // the next read) or into scratch, which holds converted or split text.
    void ReadAnsiStringView(const char*& data, qsizetype& len, QByteArray& scratch);
    QByteArray ReadIdent();               // 7, also nil, false, true, null as their names
    QStringList ReadSet();
    QByteArray ReadBinary();              // 10: 32-bit length, bytes
    void ReadCollectionBegin() { CheckValue(vaCollection); }
    // Consumes one whole value, lists, collections and sets included.
    void SkipValue();

    // Raw access for callers that read their own payloads.
    void Read(void* dest, qsizetype count);
    qint64 Position() const { return FBase + FPos; }
    // Total size of the source when known (random access), else -1.
    qint64 SourceSize() const { return FSourceSize; }

private:
    quint8 ReadByte()
    {
        if (FPos >= FEnd) Fill(1);
        return static_cast<quint8>(FData[FPos++]);
    }
    template <typename T> T ReadRaw()
    {
        T v;
        if (FEnd - FPos < qsizetype(sizeof(T))) Fill(sizeof(T));
        std::memcpy(&v, FData + FPos, sizeof(T));
        FPos += sizeof(T);
        return v;
    }
    // Makes at least count bytes available in the buffer or raises.
    void Fill(qsizetype count);
    // Raises when a payload of len bytes cannot be in the rest of the source.
    void CheckLength(qint64 len);
    QByteArray ReadBytes(qint64 len);
    [[noreturn]] void PropertyError();

    QIODevice* FSource = nullptr;
    QByteArray FMemory;           // memory source, or the buffer of a device source
    const char* FData = nullptr;
    qsizetype FPos = 0;
    qsizetype FEnd = 0;
    qint64 FBase = 0;             // stream position of FData[0]
    qint64 FSourceSize = -1;
    qsizetype FBufferSize = 16384;
    int FDepth = 0;
};

class TValueWriter {
public:
    explicit TValueWriter(QIODevice* target, qsizetype bufferSize = 16384);
    // Flushes what is still buffered (errors there are swallowed: call FlushBuffer to see them).
    ~TValueWriter();
    TValueWriter(const TValueWriter&) = delete;
    TValueWriter& operator=(const TValueWriter&) = delete;

    void WriteSignature() { Write(kFilerSignature, 4); }
    void WriteValue(TValueType t) { WriteByte(t); }
    void WriteListBegin() { WriteByte(vaList); }
    void WriteListEnd() { WriteByte(vaNull); }
    void WriteCollectionBegin() { WriteByte(vaCollection); }
    // Smallest of types 2, 3, 4; beyond 32 bits type 19.
    void WriteInteger(qint64 value);
    void WriteBoolean(bool value) { WriteByte(value ? vaTrue : vaFalse); }
    void WriteExtended(const TExtended80& value);
    void WriteFloat(double value) { WriteExtended(TExtended80::FromDouble(value)); }
    void WriteSingle(float value);
    void WriteDouble(double value);
    void WriteCurrency(qint64 scaled);
    void WriteDate(double value);
    // 8-bit Windows-1252 text: ASCII as type 6 (up to 255 bytes) or 12, anything else as 20 in UTF-8.
    void WriteAnsiString(const char* data, qsizetype len);
    void WriteAnsiString(const QByteArray& bytes) { WriteAnsiString(bytes.constData(), bytes.size()); }
    // Unicode text: ASCII as 6 or 12, anything else as 20 in UTF-8.
    void WriteString(const QString& text);
    void WriteUTF8String(const QByteArray& utf8);
    void WriteWideString(const QString& text);
    void WriteIdent(const QByteArray& ident);
    void WriteSet(const QStringList& names);
    void WriteBinary(const QByteArray& bytes);

    void Write(const void* data, qsizetype count);
    void FlushBuffer();
    qint64 Position() const { return FWritten + qint64(FUsed); }

private:
    void WriteByte(quint8 b)
    {
        if (FUsed >= FBufferSize) FlushBuffer();
        FBuffer[FUsed++] = char(b);
    }
    template <typename T> void WriteRaw(T v)
    {
        if (FBufferSize - FUsed < qsizetype(sizeof(T))) FlushBuffer();
        std::memcpy(FBuffer.get() + FUsed, &v, sizeof(T));
        FUsed += sizeof(T);
    }

    QIODevice* FTarget;
    std::unique_ptr<char[]> FBuffer;
    qsizetype FBufferSize;
    qsizetype FUsed = 0;
    qint64 FWritten = 0;
};
