#pragma once
// Parameters: a name, a field type and a value; the parameter lists of queries and stored
// procedures, and the single parameter the library's datasets hand to a filter evaluation.

#include "platform/data/DB.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

class TParam {
public:
    TParam() = default;
    TParam(const QString& name, TFieldType dataType, TParamType paramType = ptInput)
        : FName(name), FDataType(dataType), FParamType(paramType) {}

    QString Name() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    TFieldType DataType() const { return FDataType; }
    void SetDataType(TFieldType type) { FDataType = type; }
    TParamType ParamType() const { return FParamType; }
    void SetParamType(TParamType type) { FParamType = type; }

    const TVariant& Value() const { return FValue; }
    void SetValue(const TVariant& value) { FValue = value; }
    bool IsNull() const { return FValue.IsNullOrEmpty(); }
    void Clear() { FValue = TVariant::Null(); }

    // Null reads as an empty text, 0 or false.
    QString AsString() const { return VarToStr(FValue); }
    void SetAsString(const QString& value);
    int AsInteger() const { return IsNull() ? 0 : FValue.AsInteger(); }
    void SetAsInteger(int value);
    double AsFloat() const { return IsNull() ? 0 : FValue.AsDouble(); }
    void SetAsFloat(double value);
    bool AsBoolean() const { return !IsNull() && FValue.AsBoolean(); }
    void SetAsBoolean(bool value);
    TDateTime AsDateTime() const { return IsNull() ? 0 : FValue.AsDateTime(); }
    TCurrency AsCurrency() const { return IsNull() ? TCurrency() : FValue.AsCurrency(); }
    void SetAsCurrency(TCurrency value);

    // The field's type and value (null when the field is).
    void AssignField(const TField* field);
    void Assign(const TParam& source) { *this = source; }

private:
    QString FName;
    TFieldType FDataType = ftUnknown;
    TParamType FParamType = ptUnknown;
    TVariant FValue = TVariant::Null();
};

class TParams : public QObject {
    Q_OBJECT
public:
    explicit TParams(QObject* owner = nullptr);
    ~TParams() override;

    int Count() const { return int(FItems.size()); }
    TParam* Items(int index) const;
    TParam* operator[](int index) const { return Items(index); }
    TParam* CreateParam(TFieldType dataType, const QString& name, TParamType paramType);
    // Case-insensitive; nullptr when missing.
    TParam* FindParam(const QString& name) const;
    // Raises "Parameter '%s' not found".
    TParam* ParamByName(const QString& name) const;
    void Clear() { FItems.clear(); }
    void AssignParams(const TParams& source);
    // Copies another parameter list (a TParams); anything else is ignored.
    Q_INVOKABLE void Assign(QObject* source);

private:
    std::vector<std::unique_ptr<TParam>> FItems;
};
