#include "platform/data/DB.h"

#include <QIODevice>
#include <algorithm>
#include <limits>

// ---------------------------------------------------------------------------------------------
// Types and errors

QString FieldTypeText(TFieldType type)
{
    static const char* const names[FieldTypeCount] = {
        "Unknown", "String", "Smallint", "Integer", "Word", "Boolean", "Float", "Currency", "BCD",
        "Date", "Time", "DateTime", "Bytes", "VarBytes", "AutoInc", "Blob", "Memo", "Graphic",
        "FmtMemo", "ParadoxOle", "DBaseOle", "TypedBinary", "Cursor", "FixedChar", "WideString",
        "Largeint", "ADT", "Array", "Reference", "DataSet", "OraBlob", "OraClob", "Variant",
        "Interface", "IDispatch", "Guid", "TimeStamp", "FMTBcd"};
    const int i = int(type);
    return i >= 0 && i < FieldTypeCount ? QLatin1String(names[i]) : QStringLiteral("Unknown");
}

bool IsBlobFieldType(TFieldType type)
{
    switch (type) {
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle:
    case ftTypedBinary: case ftOraBlob: case ftOraClob: return true;
    default: return false;
    }
}

void DatabaseError(const QString& message, const QObject* component)
{
    if (component && !component->objectName().isEmpty())
        throw EDatabaseError(component->objectName() + QStringLiteral(": ") + message);
    throw EDatabaseError(message);
}

void DatabaseErrorFmt(const QString& format, std::initializer_list<QVariant> args, const QObject* component)
{
    DatabaseError(Format(format, args), component);
}

// ---------------------------------------------------------------------------------------------
// Field definitions

TFieldDef::TFieldDef(TFieldDefs* owner) : FOwner(owner) {}
TFieldDef::~TFieldDef() = default;

TFieldDefs* TFieldDef::ChildDefs()
{
    if (!FChildDefs) FChildDefs = std::make_unique<TFieldDefs>(FOwner ? FOwner->DataSet() : nullptr, this);
    return FChildDefs.get();
}

bool TFieldDef::HasChildDefs() const { return FChildDefs && FChildDefs->Count() > 0; }
TFieldDef* TFieldDef::ParentDef() const { return FOwner ? FOwner->ParentDef() : nullptr; }

int TFieldDef::Index() const
{
    if (!FOwner) return -1;
    for (int i = 0; i < FOwner->Count(); ++i)
        if (FOwner->Items(i) == this) return i;
    return -1;
}

TField* TFieldDef::CreateField(QObject* owner, TDataSet* dataSet) const
{
    TField* f = ::CreateField(FDataType, owner);
    if (!f) return nullptr;
    f->SetFieldName(FName);
    switch (FDataType) {
    case ftString: case ftFixedChar: case ftWideString: case ftGuid: case ftBytes: case ftVarBytes:
    case ftBCD: case ftFMTBcd:
        f->SetSize(FSize);
        break;
    default:
        if (IsBlobFieldType(FDataType)) f->SetSize(FSize);
        break;
    }
    if (auto* b = qobject_cast<TBCDField*>(f)) b->SetPrecision(FPrecision);
    f->SetRequired(Required());
    f->SetReadOnly(FAttributes.testFlag(faReadonly));
    if (FAttributes.testFlag(faHiddenCol) || FAttributes.testFlag(faLink)) f->SetVisible(false);
    if (dataSet) f->SetDataSet(dataSet);
    return f;
}

void TFieldDef::Assign(const TFieldDef& source)
{
    FName = source.FName;
    FDataType = source.FDataType;
    FSize = source.FSize;
    FPrecision = source.FPrecision;
    FFieldNo = source.FFieldNo;
    FAttributes = source.FAttributes;
    FInternalCalcField = source.FInternalCalcField;
    if (source.FChildDefs) ChildDefs()->Assign(*source.FChildDefs);
    else if (FChildDefs) FChildDefs->Clear();
}

TFieldDefs::TFieldDefs(TDataSet* dataSet, TFieldDef* parentDef) : FDataSet(dataSet), FParentDef(parentDef) {}
TFieldDefs::~TFieldDefs() = default;

TFieldDef* TFieldDefs::Items(int index) const
{
    if (index < 0 || index >= Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[size_t(index)].get();
}

TFieldDef* TFieldDefs::Add(const QString& name, TFieldType type, int size, bool required)
{
    TFieldDef* def = AddFieldDef();
    def->SetName(name);
    def->SetDataType(type);
    def->SetSize(size);
    def->SetRequired(required);
    return def;
}

TFieldDef* TFieldDefs::AddFieldDef()
{
    FItems.push_back(std::make_unique<TFieldDef>(this));
    FItems.back()->SetFieldNo(Count());
    return FItems.back().get();
}

void TFieldDefs::Delete(int index)
{
    Items(index);
    FItems.erase(FItems.begin() + index);
    for (int i = index; i < Count(); ++i) FItems[size_t(i)]->SetFieldNo(i + 1);
}

void TFieldDefs::Clear() { FItems.clear(); }

int TFieldDefs::IndexOf(const QString& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->Name().compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

TFieldDef* TFieldDefs::Find(const QString& name) const
{
    const int i = IndexOf(name);
    if (i < 0) DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {name}, FDataSet);
    return FItems[size_t(i)].get();
}

void TFieldDefs::Update()
{
    if (FDataSet && !FParentDef) FDataSet->InternalInitFieldDefs();
    FUpdated = true;
}

void TFieldDefs::Assign(const TFieldDefs& source)
{
    if (&source == this) return;
    Clear();
    for (const auto& item : source.FItems) AddFieldDef()->Assign(*item);
}

// ---------------------------------------------------------------------------------------------
// Index definitions

TIndexDefs::TIndexDefs(TDataSet* dataSet) : FDataSet(dataSet) {}
TIndexDefs::~TIndexDefs() = default;

TIndexDef* TIndexDefs::Items(int index) const
{
    if (index < 0 || index >= Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[size_t(index)].get();
}

TIndexDef* TIndexDefs::Add(const QString& name, const QString& fields, TIndexOptions options)
{
    if (IndexOf(name) >= 0 && !name.isEmpty())
        DatabaseErrorFmt(QStringLiteral("Duplicate index name '%s'"), {name}, FDataSet);
    TIndexDef* def = AddIndexDef();
    def->SetName(name);
    def->SetFields(fields);
    def->SetOptions(options);
    return def;
}

TIndexDef* TIndexDefs::AddIndexDef()
{
    FItems.push_back(std::make_unique<TIndexDef>());
    return FItems.back().get();
}

void TIndexDefs::Delete(int index)
{
    Items(index);
    FItems.erase(FItems.begin() + index);
}

void TIndexDefs::Clear() { FItems.clear(); }

int TIndexDefs::IndexOf(const QString& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->Name().compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

TIndexDef* TIndexDefs::Find(const QString& name) const
{
    const int i = IndexOf(name);
    if (i < 0) DatabaseErrorFmt(QStringLiteral("Index '%s' not found"), {name}, FDataSet);
    return FItems[size_t(i)].get();
}

namespace {
QStringList SplitFieldNames(const QString& names)
{
    QStringList out;
    for (const QString& part : names.split(';')) {
        const QString t = part.trimmed();
        if (!t.isEmpty()) out << t;
    }
    return out;
}

bool SameFieldList(const QStringList& a, const QStringList& b, int count)
{
    if (a.size() < count || b.size() < count) return false;
    for (int i = 0; i < count; ++i)
        if (a[i].compare(b[i], Qt::CaseInsensitive) != 0) return false;
    return true;
}
} // namespace

TIndexDef* TIndexDefs::GetIndexForFields(const QString& fields, bool caseInsensitive) const
{
    const QStringList wanted = SplitFieldNames(fields);
    if (wanted.isEmpty()) return nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& def : FItems) {
            if (def->Options().testFlag(ixExpression)) continue;
            if (def->Options().testFlag(ixCaseInsensitive) != caseInsensitive) continue;
            const QStringList have = SplitFieldNames(def->Fields());
            // First an exact match, then an index that begins with the fields.
            if (pass == 0 ? (have.size() == wanted.size() && SameFieldList(have, wanted, wanted.size()))
                          : SameFieldList(have, wanted, wanted.size()))
                return def.get();
        }
    }
    return nullptr;
}

void TIndexDefs::Update()
{
    if (FDataSet) FDataSet->UpdateIndexDefs();
    FUpdated = true;
}

void TIndexDefs::Assign(const TIndexDefs& source)
{
    if (&source == this) return;
    Clear();
    for (const auto& item : source.FItems) *AddIndexDef() = *item;
}

// ---------------------------------------------------------------------------------------------
// The field list

TField* TFields::Fields(int index) const
{
    if (index < 0 || index >= Count()) DatabaseError(QStringLiteral("Field index out of range"), FDataSet);
    return FList[size_t(index)];
}

int TFields::IndexOf(const TField* field) const
{
    auto it = std::find(FList.begin(), FList.end(), field);
    return it == FList.end() ? -1 : int(it - FList.begin());
}

TField* TFields::FindField(const QString& name) const
{
    for (TField* f : FList)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f;
    return nullptr;
}

TField* TFields::FieldByName(const QString& name) const
{
    TField* f = FindField(name);
    if (!f) DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {name}, FDataSet);
    return f;
}

TField* TFields::FieldByNumber(int fieldNo) const
{
    for (TField* f : FList)
        if (f->FieldNo() == fieldNo) return f;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// The edit buffer

namespace {
const TVariant& NullVariant()
{
    static const TVariant null = TVariant::Null();
    return null;
}
} // namespace

void TEditBuffer::Reset(int slotCount, bool insert, bool append, TRecordId id, int insertPosition)
{
    FValues.assign(size_t(slotCount), TVariant::Null());
    FAssigned.assign(size_t(slotCount), 0);
    FInsert = insert;
    FAppend = append;
    FRecordId = id;
    FInsertPosition = insertPosition;
}

void TEditBuffer::Release()
{
    FValues.clear();
    FAssigned.clear();
    FInsert = FAppend = false;
    FRecordId = NoRecord;
    FInsertPosition = -1;
}

bool TEditBuffer::IsAssigned(const TField* field) const
{
    const int slot = field ? field->FSlot : -1;
    return slot >= 0 && slot < int(FAssigned.size()) && FAssigned[size_t(slot)];
}

const TVariant& TEditBuffer::Value(const TField* field) const
{
    return IsAssigned(field) ? FValues[size_t(field->FSlot)] : NullVariant();
}

void TEditBuffer::SetValue(const TField* field, const TVariant& value)
{
    const int slot = field ? field->FSlot : -1;
    if (slot < 0 || slot >= int(FValues.size())) return;
    FValues[size_t(slot)] = value.IsEmpty() ? TVariant::Null() : value;
    FAssigned[size_t(slot)] = 1;
}

void TEditBuffer::Unassign(const TField* field)
{
    const int slot = field ? field->FSlot : -1;
    if (slot < 0 || slot >= int(FValues.size())) return;
    FValues[size_t(slot)] = TVariant::Null();
    FAssigned[size_t(slot)] = 0;
}

bool TEditBuffer::AnyAssigned() const
{
    return std::any_of(FAssigned.begin(), FAssigned.end(), [](quint8 a) { return a != 0; });
}

// ---------------------------------------------------------------------------------------------
// TField

TField::TField(QObject* owner) : QObject(owner) {}

TField::~TField()
{
    if (FDataSet) FDataSet->RemoveField(this);
}

void TField::SetDataSet(TDataSet* dataSet)
{
    if (dataSet == FDataSet) return;
    auto checkClosed = [](TDataSet* ds) {
        if (ds && ds->State() != dsInactive && ds->State() != dsOpening) ds->CheckInactive();
    };
    checkClosed(FDataSet);
    checkClosed(dataSet);
    if (dataSet && !FFieldName.isEmpty() && dataSet->FindField(FFieldName))
        DatabaseErrorFmt(QStringLiteral("Duplicate field name '%s'"), {FFieldName}, dataSet);
    if (FDataSet) FDataSet->RemoveField(this);
    if (dataSet) dataSet->AddField(this);
}

void TField::SetFieldName(const QString& name)
{
    if (name == FFieldName) return;
    if (FDataSet) {
        if (FDataSet->Active()) FDataSet->CheckInactive();
        TField* other = FDataSet->FindField(name);
        if (other && other != this) DatabaseErrorFmt(QStringLiteral("Duplicate field name '%s'"), {name}, FDataSet);
    }
    FFieldName = name;
}

void TField::SetSize(int size)
{
    if (FDataSet && FDataSet->Active()) FDataSet->CheckInactive();
    if (size < 0) DatabaseError(QStringLiteral("Invalid field size"), this);
    FSize = size;
}

int TField::Index() const { return FDataSet ? FDataSet->Fields().IndexOf(this) : -1; }

void TField::SetIndex(int index)
{
    if (FDataSet) FDataSet->MoveField(this, index);
}

void TField::SetFieldKind(TFieldKind kind)
{
    if (kind == FFieldKind) return;
    if (FDataSet && FDataSet->Active()) FDataSet->CheckInactive();
    FFieldKind = kind;
}

void TField::SetDisplayLabel(const QString& label)
{
    if (label == FDisplayLabel) return;
    FDisplayLabel = label == FFieldName ? QString() : label;
    PropertyChanged(true);
}

void TField::SetDisplayWidth(int width)
{
    if (width == FDisplayWidth) return;
    FDisplayWidth = width;
    PropertyChanged(true);
}

void TField::SetVisible(bool visible)
{
    if (visible == FVisible) return;
    FVisible = visible;
    PropertyChanged(true);
}

void TField::SetReadOnly(bool readOnly)
{
    if (readOnly == FReadOnly) return;
    FReadOnly = readOnly;
    PropertyChanged(false);
}

void TField::SetAlignment(TAlignment alignment)
{
    if (alignment == FAlignment) return;
    FAlignment = alignment;
    PropertyChanged(false);
}

void TField::PropertyChanged(bool layoutAffected)
{
    if (FDataSet && FDataSet->Active() && FDataSet->State() != dsOpening)
        FDataSet->DataEvent(layoutAffected ? deLayoutChange : deDataSetChange);
}

bool TField::GetData(TVariant& value) const
{
    if (FValidating && FValidateValue) {
        value = *FValidateValue;
        return !value.IsNullOrEmpty();
    }
    if (!FDataSet) {
        value = TVariant::Null();
        return false;
    }
    if (!FDataSet->GetFieldData(this, value)) {
        value = TVariant::Null();
        return false;
    }
    return true;
}

void TField::SetData(const TVariant& value)
{
    if (!FDataSet) DatabaseErrorFmt(QStringLiteral("Missing DataSet for field '%s'"), {DisplayName()});
    FDataSet->SetFieldData(this, value);
}

bool TField::IsNull() const
{
    if (FValidating && FValidateValue) return FValidateValue->IsNullOrEmpty();
    if (!FDataSet) return true;
    return FDataSet->FieldIsNull(this);
}

void TField::AccessError(const char* typeName) const
{
    DatabaseErrorFmt(QStringLiteral("Cannot access field '%s' as type %s"), {DisplayName(), QString::fromLatin1(typeName)});
}

QString TField::ClassDesc() const
{
    QString name = QString::fromLatin1(metaObject()->className());
    if (name.startsWith('T')) name.remove(0, 1);
    if (name.endsWith(QLatin1String("Field"), Qt::CaseInsensitive)) name.chop(5);
    QString desc = '(' + name + ')';
    return IsNull() ? desc : desc.toUpper();
}

void TField::GetText(QString& text, bool displayText) const
{
    Q_UNUSED(displayText);
    text = AsString();
}

QString TField::DisplayText() const
{
    QString text;
    if (OnGetText) OnGetText(const_cast<TField*>(this), text, true);
    else GetText(text, true);
    return text;
}

QString TField::EditText() const
{
    QString text;
    if (OnGetText) OnGetText(const_cast<TField*>(this), text, false);
    else GetText(text, false);
    return text;
}

void TField::SetEditText(const QString& text)
{
    if (OnSetText) OnSetText(this, text);
    else SetTextValue(text);
}

TVariant TField::OldValue() const
{
    TVariant v;
    if (!FDataSet || !FDataSet->GetFieldOldData(this, v)) return TVariant::Null();
    return RawToValue(v);
}

bool TField::CanModify() const
{
    if (!FDataSet || FFieldNo <= 0 || (FFieldKind != fkData && FFieldKind != fkInternalCalc)) return false;
    if (FDataSet->State() == dsSetKey) return IsIndexField();
    return !FReadOnly && FDataSet->CanModify();
}

bool TField::IsIndexField() const { return FDataSet && FDataSet->IsIndexField(this); }

bool TField::IsValidChar(QChar ch) const
{
    Q_UNUSED(ch);
    return true;
}

void TField::FocusControl()
{
    if (!FDataSet || !FDataSet->Active()) return;
    TField* field = this;
    FDataSet->DataEvent(deFocusControl, qintptr(&field));
}

void TField::LoadFromStream(QIODevice& stream)
{
    SetAsBytes(stream.readAll());
}

void TField::SaveToStream(QIODevice& stream) const
{
    const QByteArray bytes = AsBytes();
    if (stream.write(bytes) != bytes.size())
        throw EInOutError(QStringLiteral("Stream write error: %1").arg(stream.errorString()));
}

TVariant TField::AsVariant() const
{
    TVariant v;
    if (!GetData(v)) return TVariant::Null();
    return RawToValue(v);
}

void TField::SetAsVariant(const TVariant& value)
{
    if (value.IsNullOrEmpty()) SetData(TVariant::Null());
    else SetVarValue(value);
}

void TField::SetVarValue(const TVariant& value) { SetData(value); }

QString TField::AsString() const { return ClassDesc(); }
void TField::SetAsString(const QString& value) { Q_UNUSED(value); AccessError("String"); }
int TField::AsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(int value) { Q_UNUSED(value); AccessError("Integer"); }
qint64 TField::AsLargeInt() const { return AsInteger(); }
void TField::SetAsLargeInt(qint64 value)
{
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) AccessError("LargeInt");
    SetAsInteger(int(value));
}
double TField::AsFloat() const { AccessError("Float"); }
void TField::SetAsFloat(double value) { Q_UNUSED(value); AccessError("Float"); }
bool TField::AsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBoolean(bool value) { Q_UNUSED(value); AccessError("Boolean"); }
TDateTime TField::AsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTime(TDateTime value) { Q_UNUSED(value); AccessError("DateTime"); }
TCurrency TField::AsCurrency() const { return TCurrency::FromDouble(AsFloat()); }
void TField::SetAsCurrency(TCurrency value) { SetAsFloat(value.ToDouble()); }
QByteArray TField::AsBytes() const
{
    TVariant v;
    if (!GetData(v)) return QByteArray();
    if (v.Type() == varBytes || v.Type() == varString) return v.RawBytes();
    AccessError("Bytes");
}
void TField::SetAsBytes(const QByteArray& value) { Q_UNUSED(value); AccessError("Bytes"); }
