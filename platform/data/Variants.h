#pragma once
// TVariant: the value type of fields, locate keys and lookups. Scalars live inside the
// object (no heap); strings, byte arrays and variant arrays are implicitly shared.

#include "platform/core/SysFormat.h"
#include "platform/core/SysUtils.h"

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <memory>
#include <vector>

enum TVarType : quint16 {
    varEmpty = 0x0000,
    varNull = 0x0001,
    varSmallint = 0x0002,
    varInteger = 0x0003,
    varDouble = 0x0005,
    varCurrency = 0x0006,
    varDate = 0x0007,
    varBoolean = 0x000B,
    varVariant = 0x000C,
    varByte = 0x0011,
    varWord = 0x0012,
    varInt64 = 0x0014,
    varString = 0x0100,    // 8-bit text: the bytes as stored, code page known to the field
    varUString = 0x0102,   // Unicode text
    varArray = 0x2000,
    varBytes = varArray | varByte,        // byte array
    varVarArray = varArray | varVariant,  // array of variants (multi-field keys)
};

// A conversion between variant types that cannot be made.
class EVariantError : public Exception { public: using Exception::Exception; };
class EVariantTypeCastError : public EVariantError { public: using EVariantError::EVariantError; };
class EVariantOverflowError : public EVariantError { public: using EVariantError::EVariantError; };

class TVariant {
public:
    TVariant() noexcept : FType(varEmpty) { FInt = 0; }
    TVariant(const TVariant& other);
    TVariant(TVariant&& other) noexcept;
    TVariant& operator=(const TVariant& other);
    TVariant& operator=(TVariant&& other) noexcept;
    ~TVariant() { if (FType >= varString) Release(); }

    TVariant(bool v) noexcept : FType(varBoolean) { FInt = 0; FBool = v; }
    TVariant(int v) noexcept : FType(varInteger) { FInt = v; }
    TVariant(qint64 v) noexcept : FType(varInt64) { FInt = v; }
    TVariant(double v) noexcept : FType(varDouble) { FDouble = v; }
    TVariant(TCurrency v) noexcept : FType(varCurrency) { FInt = v.Scaled(); }
    TVariant(const QString& v);
    TVariant(QString&& v) noexcept;
    TVariant(const char* utf8) : TVariant(QString::fromUtf8(utf8)) {}

    static TVariant Null() noexcept { TVariant v; v.FType = varNull; return v; }
    static TVariant FromSmallint(qint16 v) noexcept { TVariant r; r.FType = varSmallint; r.FInt = v; return r; }
    static TVariant FromWord(quint16 v) noexcept { TVariant r; r.FType = varWord; r.FInt = v; return r; }
    static TVariant FromByte(quint8 v) noexcept { TVariant r; r.FType = varByte; r.FInt = v; return r; }
    static TVariant FromDate(TDateTime v) noexcept { TVariant r; r.FType = varDate; r.FDouble = v; return r; }
    // 8-bit text, kept byte for byte, in a code page (0: the default code page).
    static TVariant FromAnsiString(const QByteArray& bytes, int codePage = 0);
    static TVariant FromBytes(const QByteArray& bytes);
    static TVariant ArrayOf(std::initializer_list<TVariant> items);
    static TVariant ArrayOf(std::vector<TVariant> items);

    TVarType Type() const noexcept { return FType; }
    bool IsNull() const noexcept { return FType == varNull; }
    bool IsEmpty() const noexcept { return FType == varEmpty; }
    bool IsNullOrEmpty() const noexcept { return FType <= varNull; }
    bool IsArray() const noexcept { return FType == varVarArray; }
    bool IsString() const noexcept { return FType == varString || FType == varUString; }
    bool IsOrdinal() const noexcept;
    bool IsNumeric() const noexcept;   // ordinal, double or currency

    // Conversions with the platform's rules. Empty converts to 0, "" or false; Null, a text
    // that is no number and a value out of range raise EVariantError with both type names.
    int AsInteger() const;
    qint64 AsInt64() const;
    double AsDouble() const;
    bool AsBoolean() const;
    TCurrency AsCurrency() const;
    TDateTime AsDateTime() const;
    QString AsString() const;               // 8-bit text decoded in its code page
    // 8-bit text in the same code page as is; any other value as text encoded in codePage.
    QByteArray AsAnsiString(int codePage) const;
    QByteArray AsBytes() const;             // byte arrays and 8-bit text as is

    // Raw access without conversion; only for the matching type.
    qint64 RawInt() const noexcept { return FInt; }
    double RawDouble() const noexcept { return FDouble; }
    const QString& RawString() const noexcept { return FString; }   // varUString
    const QByteArray& RawBytes() const noexcept { return FBytes; }  // varString, varBytes
    int CodePage() const noexcept;           // of varString: its own or the default one

    // Variant arrays.
    int ArrayCount() const noexcept;
    const TVariant& operator[](int index) const;   // raises EVariantError out of range

    // Same type and same value (arrays element by element).
    bool operator==(const TVariant& other) const;

private:
    void Release() noexcept;
    void CopyFrom(const TVariant& other);
    void MoveFrom(TVariant& other) noexcept;

    TVarType FType;
    quint16 FCodePage = 0;
    union {
        qint64 FInt;
        double FDouble;
        bool FBool;
        QString FString;
        QByteArray FBytes;
        std::shared_ptr<const std::vector<TVariant>> FArray;
    };
};

inline bool VarIsNull(const TVariant& v) { return v.IsNull(); }
inline bool VarIsEmpty(const TVariant& v) { return v.IsEmpty(); }
inline bool VarIsArray(const TVariant& v) { return v.IsArray(); }
inline TVarType VarType(const TVariant& v) { return v.Type(); }
bool VarIsStr(const TVariant& v);
// Null and Empty give an empty text.
QString VarToStr(const TVariant& v);
QString VarTypeAsText(TVarType type);
TVariant VarArrayOf(std::initializer_list<TVariant> items);
int VarArrayHighBound(const TVariant& v);   // ArrayCount() - 1
// Converts to another variant type with the rules above.
TVariant VarAsType(const TVariant& v, TVarType type);

enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };
// Compares by value across types: numbers as numbers, texts as texts (case-sensitive), a date
// with a number as numbers, a text with a number as numbers when it is one; Null and Empty
// equal each other and nothing else; otherwise vrNotEqual.
TVariantRelationship VarCompareValue(const TVariant& a, const TVariant& b);
