#pragma once
// The field classes, one per kind of value. Included by DB.h.

#include "platform/data/DB.h"

// 8-bit text. The value is the stored bytes (varString); text is decoded and encoded in the
// field's code page, and assigning text that holds more than Size bytes keeps the first Size.
class TStringField : public TField {
    Q_OBJECT
    Q_PROPERTY(bool FixedChar READ FixedChar WRITE SetFixedChar)
public:
    explicit TStringField(QObject* owner = nullptr);
    // The code page of the text (0 or unset: the default code page).
    int CodePage() const;
    void SetCodePage(int codePage) { FCodePage = codePage; }
    // Fixed-length text (ftFixedChar).
    bool FixedChar() const { return FFixedChar; }
    void SetFixedChar(bool fixed);

    QString AsString() const override;
    void SetAsString(const QString& value) override;
    int AsInteger() const override;
    void SetAsInteger(int value) override;
    qint64 AsLargeInt() const override;
    void SetAsLargeInt(qint64 value) override;
    double AsFloat() const override;
    void SetAsFloat(double value) override;
    bool AsBoolean() const override;
    void SetAsBoolean(bool value) override;
    TDateTime AsDateTime() const override;
    void SetAsDateTime(TDateTime value) override;
    TCurrency AsCurrency() const override;
    void SetAsCurrency(TCurrency value) override;
    QByteArray AsBytes() const override;
    void SetAsBytes(const QByteArray& value) override;

protected:
    TStringField(QObject* owner, TFieldType type, int size);
    int DefaultWidth() const override { return Size(); }
    void GetText(QString& text, bool displayText) const override;
    void SetVarValue(const TVariant& value) override;
    TVariant RawToValue(const TVariant& raw) const override;
    void StoreBytes(QByteArray bytes);

private:
    int FCodePage = 0;
    bool FFixedChar = false;
};

// UTF-16 text; Size in characters.
class TWideStringField : public TStringField {
    Q_OBJECT
public:
    explicit TWideStringField(QObject* owner = nullptr);
    QString AsString() const override;
    void SetAsString(const QString& value) override;
    QByteArray AsBytes() const override;
    void SetAsBytes(const QByteArray& value) override;

protected:
    void SetVarValue(const TVariant& value) override;
    TVariant RawToValue(const TVariant& raw) const override;
};

// A GUID as text "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", Size 38.
class TGuidField : public TStringField {
    Q_OBJECT
public:
    explicit TGuidField(QObject* owner = nullptr);
};

class TNumericField : public TField {
    Q_OBJECT
    Q_PROPERTY(QString DisplayFormat READ DisplayFormat WRITE SetDisplayFormat)
    Q_PROPERTY(QString EditFormat READ EditFormat WRITE SetEditFormat)
public:
    // FormatFloat formats; EditFormat falls back to DisplayFormat.
    QString DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const QString& format);
    QString EditFormat() const { return FEditFormat; }
    void SetEditFormat(const QString& format);
    bool IsValidChar(QChar ch) const override;

protected:
    TNumericField(QObject* owner, TFieldType type);
    QString FormatFor(bool displayText) const;

private:
    QString FDisplayFormat;
    QString FEditFormat;
};

class TIntegerField : public TNumericField {
    Q_OBJECT
public:
    explicit TIntegerField(QObject* owner = nullptr);
    // A range of 0..0 means the type's own range.
    qint64 MinValue() const { return FMinValue; }
    void SetMinValue(qint64 value) { FMinValue = value; }
    qint64 MaxValue() const { return FMaxValue; }
    void SetMaxValue(qint64 value) { FMaxValue = value; }

    QString AsString() const override;
    void SetAsString(const QString& value) override;
    int AsInteger() const override;
    void SetAsInteger(int value) override;
    qint64 AsLargeInt() const override;
    void SetAsLargeInt(qint64 value) override;
    double AsFloat() const override;
    void SetAsFloat(double value) override;
    bool AsBoolean() const override;
    void SetAsBoolean(bool value) override;
    TCurrency AsCurrency() const override;
    void SetAsCurrency(TCurrency value) override;

protected:
    TIntegerField(QObject* owner, TFieldType type, qint64 low, qint64 high);
    int DefaultWidth() const override;
    void GetText(QString& text, bool displayText) const override;
    void SetVarValue(const TVariant& value) override;
    // Raises "%d is not a valid value for field '%s'. The allowed range is %d to %d".
    void CheckRange(qint64 value) const;
    virtual TVariant MakeValue(qint64 value) const { return TVariant(int(value)); }

private:
    qint64 FLow, FHigh;
    qint64 FMinValue = 0, FMaxValue = 0;
};

class TSmallintField : public TIntegerField {
    Q_OBJECT
public:
    explicit TSmallintField(QObject* owner = nullptr);
protected:
    TVariant MakeValue(qint64 value) const override { return TVariant::FromSmallint(qint16(value)); }
};

class TWordField : public TIntegerField {
    Q_OBJECT
public:
    explicit TWordField(QObject* owner = nullptr);
protected:
    TVariant MakeValue(qint64 value) const override { return TVariant::FromWord(quint16(value)); }
};

class TAutoIncField : public TIntegerField {
    Q_OBJECT
public:
    explicit TAutoIncField(QObject* owner = nullptr);
};

class TLargeintField : public TIntegerField {
    Q_OBJECT
public:
    explicit TLargeintField(QObject* owner = nullptr);
protected:
    TVariant MakeValue(qint64 value) const override { return TVariant(value); }
};

class TFloatField : public TNumericField {
    Q_OBJECT
    Q_PROPERTY(bool Currency READ Currency WRITE SetCurrency)
    Q_PROPERTY(int Precision READ Precision WRITE SetPrecision)
public:
    explicit TFloatField(QObject* owner = nullptr);
    // Shows the value as money (CurrencyString, CurrencyDecimals) when no format is set.
    bool Currency() const { return FCurrency; }
    void SetCurrency(bool currency);
    // Significant digits of the general format (2..15).
    int Precision() const { return FPrecision; }
    void SetPrecision(int precision);
    // A range of 0..0 means no range.
    double MinValue() const { return FMinValue; }
    void SetMinValue(double value) { FMinValue = value; }
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double value) { FMaxValue = value; }

    QString AsString() const override;
    void SetAsString(const QString& value) override;
    int AsInteger() const override;
    void SetAsInteger(int value) override;
    qint64 AsLargeInt() const override;
    void SetAsLargeInt(qint64 value) override;
    double AsFloat() const override;
    void SetAsFloat(double value) override;
    TCurrency AsCurrency() const override;
    void SetAsCurrency(TCurrency value) override;

protected:
    TFloatField(QObject* owner, TFieldType type);
    void GetText(QString& text, bool displayText) const override;
    void SetVarValue(const TVariant& value) override;
    void CheckRange(double value) const;
    virtual void StoreFloat(double value);

private:
    bool FCurrency = false;
    int FPrecision = 15;
    double FMinValue = 0, FMaxValue = 0;
};

// Money: the value is varCurrency (exact to four decimals).
class TCurrencyField : public TFloatField {
    Q_OBJECT
public:
    explicit TCurrencyField(QObject* owner = nullptr);
    double AsFloat() const override;
    TCurrency AsCurrency() const override;
    void SetAsCurrency(TCurrency value) override;
    void SetAsString(const QString& value) override;

protected:
    void SetVarValue(const TVariant& value) override;
    void StoreFloat(double value) override;
    TVariant RawToValue(const TVariant& raw) const override;
};

// Binary-coded decimal with Precision digits and Size decimals; the value is varCurrency.
class TBCDField : public TNumericField {
    Q_OBJECT
    Q_PROPERTY(bool Currency READ Currency WRITE SetCurrency)
    Q_PROPERTY(int Precision READ Precision WRITE SetPrecision)
public:
    explicit TBCDField(QObject* owner = nullptr);
    bool Currency() const { return FCurrency; }
    void SetCurrency(bool currency);
    int Precision() const { return FPrecision; }
    void SetPrecision(int precision) { FPrecision = precision; }

    QString AsString() const override;
    void SetAsString(const QString& value) override;
    int AsInteger() const override;
    void SetAsInteger(int value) override;
    qint64 AsLargeInt() const override;
    void SetAsLargeInt(qint64 value) override;
    double AsFloat() const override;
    void SetAsFloat(double value) override;
    TCurrency AsCurrency() const override;
    void SetAsCurrency(TCurrency value) override;

protected:
    TBCDField(QObject* owner, TFieldType type);
    int DefaultWidth() const override { return FPrecision > 0 ? FPrecision + 2 : 10; }
    void GetText(QString& text, bool displayText) const override;
    void SetVarValue(const TVariant& value) override;
    TVariant RawToValue(const TVariant& raw) const override;

private:
    bool FCurrency = false;
    int FPrecision = 0;
};

// Wide binary-coded decimal; values are carried as doubles (15 significant digits).
class TFMTBCDField : public TFloatField {
    Q_OBJECT
public:
    explicit TFMTBCDField(QObject* owner = nullptr);
};

class TBooleanField : public TField {
    Q_OBJECT
    Q_PROPERTY(QString DisplayValues READ DisplayValues WRITE SetDisplayValues)
public:
    explicit TBooleanField(QObject* owner = nullptr);
    // "True text;False text" (default "True;False").
    QString DisplayValues() const { return FDisplayValues; }
    void SetDisplayValues(const QString& values);

    QString AsString() const override;
    void SetAsString(const QString& value) override;
    bool AsBoolean() const override;
    void SetAsBoolean(bool value) override;

protected:
    int DefaultWidth() const override;
    void GetText(QString& text, bool displayText) const override;
    void SetVarValue(const TVariant& value) override;

private:
    QString FDisplayValues;
    QString FTrueText, FFalseText;
};

// Date, time and date-time values as TDateTime (varDate).
class TDateTimeField : public TField {
    Q_OBJECT
    Q_PROPERTY(QString DisplayFormat READ DisplayFormat WRITE SetDisplayFormat)
public:
    explicit TDateTimeField(QObject* owner = nullptr);
    // FormatDateTime format of DisplayText; EditText always uses the short formats.
    QString DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const QString& format);

    QString AsString() const override;
    void SetAsString(const QString& value) override;
    double AsFloat() const override;
    void SetAsFloat(double value) override;
    TDateTime AsDateTime() const override;
    void SetAsDateTime(TDateTime value) override;

protected:
    TDateTimeField(QObject* owner, TFieldType type);
    int DefaultWidth() const override { return 18; }
    void GetText(QString& text, bool displayText) const override;
    void SetVarValue(const TVariant& value) override;
    TVariant RawToValue(const TVariant& raw) const override;
    // Dates drop the time of day, times drop the date.
    virtual TDateTime Normalize(TDateTime value) const { return value; }

private:
    QString FDisplayFormat;
};

class TDateField : public TDateTimeField {
    Q_OBJECT
public:
    explicit TDateField(QObject* owner = nullptr);
protected:
    int DefaultWidth() const override { return 10; }
    TDateTime Normalize(TDateTime value) const override;
};

class TTimeField : public TDateTimeField {
    Q_OBJECT
public:
    explicit TTimeField(QObject* owner = nullptr);
protected:
    int DefaultWidth() const override { return 10; }
    TDateTime Normalize(TDateTime value) const override;
};

class TSQLTimeStampField : public TDateTimeField {
    Q_OBJECT
public:
    explicit TSQLTimeStampField(QObject* owner = nullptr);
};

// Fixed-size and variable-size byte values (varBytes); Size is the (maximum) length.
class TBinaryField : public TField {
    Q_OBJECT
public:
    QString AsString() const override;
    void SetAsString(const QString& value) override;
    QByteArray AsBytes() const override;
    void SetAsBytes(const QByteArray& value) override;

protected:
    TBinaryField(QObject* owner, TFieldType type, int size);
    void GetText(QString& text, bool displayText) const override;
    void SetVarValue(const TVariant& value) override;
    TVariant RawToValue(const TVariant& raw) const override;
};

class TBytesField : public TBinaryField {
    Q_OBJECT
public:
    explicit TBytesField(QObject* owner = nullptr);
};

class TVarBytesField : public TBinaryField {
    Q_OBJECT
public:
    explicit TVarBytesField(QObject* owner = nullptr);
};

// Blobs of any kind. Memos hold 8-bit text in CodePage; code page 1200 means UTF-16 text
// (varUString), for wide memos.
class TBlobField : public TField {
    Q_OBJECT
public:
    static constexpr int WideTextCodePage = 1200;
    explicit TBlobField(QObject* owner = nullptr);
    TFieldType BlobType() const { return DataType(); }
    void SetBlobType(TFieldType type);
    int BlobSize() const;
    int CodePage() const;
    void SetCodePage(int codePage) { FCodePage = codePage; }
    bool IsBlob() const override { return true; }

    QString AsString() const override;
    void SetAsString(const QString& value) override;
    QByteArray AsBytes() const override;
    void SetAsBytes(const QByteArray& value) override;

protected:
    TBlobField(QObject* owner, TFieldType type);
    void GetText(QString& text, bool displayText) const override;
    void SetVarValue(const TVariant& value) override;
    TVariant RawToValue(const TVariant& raw) const override;
    bool IsTextBlob() const;

private:
    int FCodePage = 0;
};

class TMemoField : public TBlobField {
    Q_OBJECT
public:
    explicit TMemoField(QObject* owner = nullptr);
};

class TGraphicField : public TBlobField {
    Q_OBJECT
public:
    explicit TGraphicField(QObject* owner = nullptr);
};

// Any variant value.
class TVariantField : public TField {
    Q_OBJECT
public:
    explicit TVariantField(QObject* owner = nullptr);
    QString AsString() const override;
    void SetAsString(const QString& value) override;
    int AsInteger() const override;
    double AsFloat() const override;
    bool AsBoolean() const override;
    TDateTime AsDateTime() const override;
    TCurrency AsCurrency() const override;
protected:
    void SetVarValue(const TVariant& value) override;
};

// A nested dataset: the dataset class creates the nested dataset and attaches it
// (SetNestedDataSet); the nested dataset follows the parent's current record.
class TDataSetField : public TField {
    Q_OBJECT
public:
    explicit TDataSetField(QObject* owner = nullptr);
    ~TDataSetField() override;
    TDataSet* NestedDataSet() const { return FNestedDataSet; }
    void SetNestedDataSet(TDataSet* dataSet);
    TVariant AsVariant() const override;
protected:
    void GetText(QString& text, bool displayText) const override;
    void SetVarValue(const TVariant& value) override;
private:
    friend class TDataSet;
    QPointer<TDataSet> FNestedDataSet;
};

// The field object for a field type (owner may be nullptr); nullptr for ftUnknown, ftADT,
// ftArray, ftReference, ftCursor, ftInterface and ftIDispatch, which have no field class.
TField* CreateField(TFieldType type, QObject* owner = nullptr);
