#include "platform/data/DBParams.h"

void TParam::SetAsString(const QString& value)
{
    FDataType = ftString;
    FValue = TVariant(value);
}

void TParam::SetAsInteger(int value)
{
    FDataType = ftInteger;
    FValue = TVariant(value);
}

void TParam::SetAsFloat(double value)
{
    FDataType = ftFloat;
    FValue = TVariant(value);
}

void TParam::SetAsBoolean(bool value)
{
    FDataType = ftBoolean;
    FValue = TVariant(value);
}

void TParam::SetAsCurrency(TCurrency value)
{
    FDataType = ftCurrency;
    FValue = TVariant(value);
}

void TParam::AssignField(const TField* field)
{
    if (!field) return;
    FDataType = field->DataType();
    FValue = field->IsNull() ? TVariant::Null() : field->Value();
}

TParams::TParams(QObject* owner) : QObject(owner) {}

TParams::~TParams() = default;

TParam* TParams::Items(int index) const
{
    if (index < 0 || index >= Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[size_t(index)].get();
}

TParam* TParams::CreateParam(TFieldType dataType, const QString& name, TParamType paramType)
{
    FItems.push_back(std::make_unique<TParam>(name, dataType, paramType));
    return FItems.back().get();
}

TParam* TParams::FindParam(const QString& name) const
{
    for (const auto& p : FItems)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0) return p.get();
    return nullptr;
}

TParam* TParams::ParamByName(const QString& name) const
{
    TParam* p = FindParam(name);
    if (!p) DatabaseErrorFmt(QStringLiteral("Parameter '%s' not found"), {name});
    return p;
}

void TParams::AssignParams(const TParams& source)
{
    if (&source == this) return;
    FItems.clear();
    for (const auto& p : source.FItems) FItems.push_back(std::make_unique<TParam>(*p));
}

void TParams::Assign(QObject* source)
{
    if (auto* params = qobject_cast<TParams*>(source)) AssignParams(*params);
}
