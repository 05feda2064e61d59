#include "platform/tables/LocalTables.h"

#include "platform/client/ClientCollation.h"
#include "platform/core/CodePages.h"
#include "platform/data/FilterData.h"
#include "platform/tables/DBaseReader.h"
#include "platform/tables/ParadoxReader.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>

// ---------------------------------------------------------------------------------------------
// Orders and keys

namespace {

// Keys compare decoded text: 8-bit text is decoded once, when the key is taken.
TVariant ComparableKey(const TVariant& value)
{
    return value.Type() == varString ? TVariant(value.AsString()) : value;
}

int Sign(double d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// NULL first; text by the collation of the client dataset's indexes.
int CompareKeyValues(const TVariant& a, const TVariant& b, bool caseInsensitive)
{
    const bool an = a.IsNullOrEmpty(), bn = b.IsNullOrEmpty();
    if (an || bn) return an == bn ? 0 : an ? -1 : 1;
    if (a.Type() == varUString && b.Type() == varUString)
        return Sign(TCollation::CompareText(a.RawString(), b.RawString(), caseInsensitive));
    if (a.IsString() || b.IsString()) return Sign(TCollation::CompareText(VarToStr(a), VarToStr(b), caseInsensitive));
    if (a.Type() == varBytes || b.Type() == varBytes) {
        const int c = a.AsBytes().compare(b.AsBytes());
        return Sign(c);
    }
    if (a.Type() == varBoolean || b.Type() == varBoolean) return Sign(int(a.AsBoolean()) - int(b.AsBoolean()));
    if (a.IsOrdinal() && b.IsOrdinal()) {
        const qint64 x = a.AsInt64(), y = b.AsInt64();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return Sign(a.AsDouble() - b.AsDouble());
}

struct TKeyPart {
    int Field = -1;   // of the reader
    bool Descending = false;
    bool CaseInsensitive = false;
};

bool ListedIn(const QString& name, const QString& fields)
{
    for (const QString& f : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (f.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

} // namespace

// The records of a table sorted by a key, equal keys in table order, with the key values kept
// for searching. A table already in key order (a keyed Paradox table) keeps its own order.
class TTableIndexOrder {
public:
    // An order whose keys are read on first need (Build): the table's own order serves until
    // then.
    TTableIndexOrder(std::vector<TKeyPart> parts, QString signature)
        : FParts(std::move(parts)), FSignature(std::move(signature)) {}

    bool Built() const { return FBuilt; }
    // Reads the keys; sorts unless the table is in key order already. True when the order
    // differs from the table's.
    bool Build(TTableReader& reader)
    {
        FBuilt = true;
        const int n = reader.RecordCount();
        FKeys.resize(FParts.size());
        for (size_t k = 0; k < FParts.size(); ++k) {
            FKeys[k].resize(size_t(n));
            for (int r = 0; r < n; ++r) {
                TVariant v;
                if (reader.ReadValue(r, FParts[k].Field, v)) FKeys[k][size_t(r)] = ComparableKey(v);
                else FKeys[k][size_t(r)] = TVariant::Null();
            }
        }
        bool sorted = true;
        for (int r = 1; r < n && sorted; ++r) sorted = CompareRecords(r - 1, r) <= 0;
        if (sorted) return false;
        FRecords.resize(size_t(n));
        for (int r = 0; r < n; ++r) FRecords[size_t(r)] = r;
        std::stable_sort(FRecords.begin(), FRecords.end(), [this](int a, int b) { return CompareRecords(a, b) < 0; });
        FPositions.resize(size_t(n));
        for (int p = 0; p < n; ++p) FPositions[size_t(FRecords[size_t(p)])] = p;
        return true;
    }

    const QString& Signature() const { return FSignature; }
    const std::vector<TKeyPart>& Parts() const { return FParts; }
    int Record(int position) const { return FRecords.empty() ? position : FRecords[size_t(position)]; }
    int Position(int record) const { return FPositions.empty() ? record : FPositions[size_t(record)]; }

    // The record's key against key values over the first `parts` parts.
    int CompareToKey(int record, const std::vector<TVariant>& key, int parts) const
    {
        for (int k = 0; k < parts && k < int(FParts.size()); ++k) {
            const int c = CompareKeyValues(FKeys[size_t(k)][size_t(record)], key[size_t(k)], FParts[size_t(k)].CaseInsensitive);
            if (c) return FParts[size_t(k)].Descending ? -c : c;
        }
        return 0;
    }

    // The first position in [low, high) whose key is not below the key (upper: above it).
    int Bound(const std::vector<TVariant>& key, int parts, bool upper, int low, int high) const
    {
        while (low < high) {
            const int mid = low + (high - low) / 2;
            const int c = CompareToKey(Record(mid), key, parts);
            if (c < 0 || (upper && c == 0)) low = mid + 1;
            else high = mid;
        }
        return low;
    }

private:
    int CompareRecords(int a, int b) const
    {
        for (size_t k = 0; k < FParts.size(); ++k) {
            const int c = CompareKeyValues(FKeys[k][size_t(a)], FKeys[k][size_t(b)], FParts[k].CaseInsensitive);
            if (c) return FParts[k].Descending ? -c : c;
        }
        return 0;
    }

    std::vector<TKeyPart> FParts;
    QString FSignature;
    bool FBuilt = false;
    std::vector<std::vector<TVariant>> FKeys;   // per part, by record
    std::vector<int> FRecords;                  // by position; empty: the table's order
    std::vector<int> FPositions;                // by record
};

// A filter of the cursor: an expression tree or a record callback.
struct TTableCursorFilter {
    TFilterHandle Handle = 0;
    std::unique_ptr<TFilterNode> Expression;
    TRecordFilterCallback Callback;
    bool Active = false;
};

// Follows the master's current record.
class TTableMasterLink : public TDataLink {
public:
    explicit TTableMasterLink(TTableDataSet* detail) : FDetail(detail) {}

protected:
    void ActiveChanged() override { FDetail->MasterChanged(); }
    void RecordChanged(TField* field) override
    {
        if (!field) FDetail->MasterChanged();
    }
    void DataSetScrolled(int) override { FDetail->MasterChanged(); }

private:
    TTableDataSet* FDetail;
};

// ---------------------------------------------------------------------------------------------
// TTableDataSet

TTableDataSet::TTableDataSet(QObject* owner) : TDataSet(owner) {}

TTableDataSet::~TTableDataSet()
{
    CloseOnDestroy();
}

void TTableDataSet::SetCodePage(int codePage)
{
    CheckInactive();
    FCodePage = codePage;
}

int TTableDataSet::TextCodePage() const
{
    if (!FReader) return 0;
    for (const TTableFieldInfo& info : FReader->Fields())
        if (info.CodePage > 0) return info.CodePage;
    return FCodePage > 0 ? FCodePage : DefaultCodePage();
}

bool TTableDataSet::IsSequenced() const
{
    if (Filtered()) return false;
    for (const auto& f : FCursorFilters)
        if (f->Active) return false;
    return true;
}

void TTableDataSet::InternalInitFieldDefs()
{
    // Opening starts a fresh reader and keeps it; an update of the definitions uses the open
    // one, or a temporary one while closed.
    std::unique_ptr<TTableReader> created;
    TTableReader* reader = FReader.get();
    if (State() == dsOpening || !reader) {
        created = CreateReader();
        reader = created.get();
    }
    FieldDefs().Clear();
    for (const TTableFieldInfo& info : reader->Fields()) {
        // Some tables repeat a name; the later field gets a number so that every field can be
        // reached by name.
        QString name = info.Name;
        for (int n = 1; FieldDefs().IndexOf(name) >= 0; ++n) name = QStringLiteral("%1_%2").arg(info.Name).arg(n);
        TFieldDef* def = FieldDefs().Add(name, info.DataType, info.Size, info.Required);
        def->SetPrecision(info.Precision);
    }
    if (State() == dsOpening) FReader = std::move(created);
}

void TTableDataSet::InternalOpen()
{
    if (!FReader) FReader = CreateReader();
    const auto& infos = FReader->Fields();
    for (TField* field : Fields()) {
        const int no = field->FieldNo();
        if (no < 1 || no > int(infos.size())) continue;
        const int codePage = infos[size_t(no - 1)].CodePage;
        if (codePage <= 0) continue;
        if (auto* s = qobject_cast<TStringField*>(field); s && !qobject_cast<TWideStringField*>(field)) s->SetCodePage(codePage);
        else if (auto* b = qobject_cast<TBlobField*>(field)) b->SetCodePage(codePage);
    }
    if (!IndexDefs().Updated()) IndexDefs().Update();
    ChooseOrder();
    ResetKeys();
    if (FMasterLink) MasterChanged();
    PrepareCursor();
    RebuildView();
}

void TTableDataSet::InternalClose()
{
    FReader.reset();
    FOrder.reset();
    FOrderCache.clear();
    FView.clear();
    FPositionOf.clear();
    FFilteredView = false;
    FLow = FHigh = 0;
    FRangeActive = false;
    FMasterActive = false;
    FMasterValues.clear();
    // The cursor's filters go with the cursor.
    FCursorFilters.clear();
}

void TTableDataSet::InternalRefresh()
{
    RebuildView();
}

int TTableDataSet::ViewCount() const
{
    if (!FReader) return 0;
    return FFilteredView ? int(FView.size()) : FHigh - FLow;
}

TRecordId TTableDataSet::ViewRecord(int position) const
{
    if (FFilteredView) return TRecordId(FView[size_t(position)]);
    return TRecordId(FOrder ? FOrder->Record(FLow + position) : FLow + position);
}

int TTableDataSet::ViewPosition(TRecordId id) const
{
    if (!FReader || id < 0 || id >= FReader->RecordCount()) return -1;
    if (FFilteredView) return FPositionOf[size_t(id)];
    const int p = FOrder ? FOrder->Position(int(id)) : int(id);
    return p >= FLow && p < FHigh ? p - FLow : -1;
}

bool TTableDataSet::GetRecordValue(TRecordId id, const TField* field, TVariant& value) const
{
    const int no = field->FieldNo();
    if (!FReader || no < 1 || no > int(FReader->Fields().size()) || id < 0 || id >= FReader->RecordCount()) return false;
    return FReader->ReadValue(int(id), no - 1, value);
}

namespace {
[[noreturn]] void WriteNotSupported()
{
    TableNotSupported(QStringLiteral("Writing to Paradox, dBASE and Access tables"));
}
} // namespace

void TTableDataSet::InternalEdit(TRecordId) { WriteNotSupported(); }
void TTableDataSet::InternalInsert(bool) { WriteNotSupported(); }
TRecordId TTableDataSet::InternalPost(const TEditBuffer&) { WriteNotSupported(); }
void TTableDataSet::InternalDelete(TRecordId) { WriteNotSupported(); }

void TTableDataSet::FilterChanged()
{
    RebuildView();
}

void TTableDataSet::Refilter()
{
    if (!Active()) return;
    RebuildView();
    Resync();
}

bool TTableDataSet::PassesCursorFilters(int record)
{
    FFilterRecord = record;
    for (const auto& filter : FCursorFilters) {
        if (!filter->Active) continue;
        if (filter->Expression) {
            if (!FFieldReader)
                FFieldReader = [this](int index) {
                    TVariant v;
                    return FReader->ReadValue(FFilterRecord, index, v) ? FilterValueOf(v) : TFilterValue::Null();
                };
            if (!FilterAccepts(filter->Expression.get(), FFieldReader)) return false;
        } else if (filter->Callback) {
            const TRecordFilterCallback callback = filter->Callback;   // it may drop itself
            if (!FilterRecordWith(record, [&](TDataSet*, bool& accept) { accept = callback(this); })) return false;
        }
    }
    return true;
}

void TTableDataSet::RebuildView()
{
    if (!FReader) return;
    // A filter that changes its answers while the view is built (a callback switched off by
    // the user) asks for another pass.
    if (FBuilding) {
        FBuildAgain = true;
        return;
    }
    FBuilding = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{FBuilding};
    do {
        FBuildAgain = false;
        FView.clear();
        FPositionOf.clear();
        FFilteredView = false;
        const int count = FReader->RecordCount();
        int low = 0, high = count;
        if (FOrder && (FMasterActive || FRangeActive)) {
            if (!FOrder->Built()) FOrder->Build(*FReader);
            if (FMasterActive) {
                const int parts = int(FMasterValues.size());
                low = FOrder->Bound(FMasterValues, parts, false, low, high);
                high = FOrder->Bound(FMasterValues, parts, true, low, high);
            }
            if (FRangeActive) {
                const TKeyBuffer& start = FKeys[kiRangeStart];
                const TKeyBuffer& end = FKeys[kiRangeEnd];
                if (const int parts = KeyParts(start)) low = qMax(low, FOrder->Bound(start.Values, parts, start.Exclusive, low, high));
                if (const int parts = KeyParts(end)) high = qMin(high, FOrder->Bound(end.Values, parts, !end.Exclusive, low, high));
                high = qMax(low, high);
            }
        }
        FLow = low;
        FHigh = high;
        bool anyFilter = Filtered() && OnFilterRecord;
        for (const auto& f : FCursorFilters) anyFilter = anyFilter || f->Active;
        if (!anyFilter) continue;
        FPositionOf.assign(size_t(count), -1);
        for (int p = low; p < high; ++p) {
            const int record = FOrder ? FOrder->Record(p) : p;
            if (!PassesCursorFilters(record)) continue;
            if (Filtered() && OnFilterRecord && !FilterRecord(record)) continue;
            FPositionOf[size_t(record)] = int(FView.size());
            FView.push_back(record);
        }
        FFilteredView = true;
    } while (FBuildAgain);
}

void TTableDataSet::UpdateIndexDefs()
{
    IndexDefs().Clear();
    // The key is named by the field definitions.
    if (FieldDefs().Count() == 0 && !Active()) FieldDefs().Update();
    std::unique_ptr<TTableReader> temporary;
    TTableReader* reader = FReader.get();
    if (!reader) {
        temporary = CreateReader();
        reader = temporary.get();
    }
    QStringList key;
    for (const int field : reader->PrimaryKeyFields())
        if (field >= 0 && field < FieldDefs().Count()) key << FieldDefs()[field]->Name();
    if (!key.isEmpty()) IndexDefs().Add(QString(), key.join(QLatin1Char(';')), TIndexOptions(ixPrimary | ixUnique));
}

// --- Indexes

void TTableDataSet::ChooseOrder()
{
    FOrder.reset();
    if (!FReader) return;
    QString fields;
    TIndexOptions options;
    QString descFields, caseInsFields;
    bool primary = false;
    if (!FIndexFieldNames.isEmpty()) {
        fields = FIndexFieldNames;
    } else {
        const TIndexDef* def = nullptr;
        if (!FIndexName.isEmpty()) {
            def = IndexDefs().Find(FIndexName);
        } else {
            for (int i = 0; i < IndexDefs().Count() && !def; ++i)
                if (IndexDefs()[i]->Options().testFlag(ixPrimary)) def = IndexDefs()[i];
        }
        if (!def) return;
        primary = def->Options().testFlag(ixPrimary);
        fields = def->Fields();
        options = def->Options();
        descFields = def->DescFields();
        caseInsFields = def->CaseInsFields();
    }
    std::vector<TKeyPart> parts;
    QString signature;
    for (const QString& name : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        TKeyPart part;
        part.Field = FieldDefs().IndexOf(name);
        if (part.Field < 0) DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {name}, this);
        part.Descending = options.testFlag(ixDescending) || ListedIn(name, descFields);
        part.CaseInsensitive = options.testFlag(ixCaseInsensitive) || ListedIn(name, caseInsFields);
        parts.push_back(part);
        signature += QStringLiteral("%1:%2%3;").arg(part.Field).arg(part.Descending).arg(part.CaseInsensitive);
    }
    if (parts.empty()) return;
    for (const auto& cached : FOrderCache)
        if (cached->Signature() == signature) {
            FOrder = cached;
            return;
        }
    FOrder = std::make_shared<TTableIndexOrder>(std::move(parts), signature);
    FOrderCache.push_back(FOrder);
    // The primary index of a keyed table is the table's own order: its keys wait until a
    // search needs them. Any other order is sorted now.
    if (!primary) FOrder->Build(*FReader);
}

void TTableDataSet::SetIndexName(const QString& name)
{
    if (name == FIndexName && FIndexFieldNames.isEmpty()) return;
    ChangeIndex(name, QString());
}

void TTableDataSet::SetIndexFieldNames(const QString& fields)
{
    if (fields == FIndexFieldNames && (fields.isEmpty() || FIndexName.isEmpty())) return;
    ChangeIndex(QString(), fields);
}

void TTableDataSet::ChangeIndex(const QString& name, const QString& fields)
{
    if (Active()) CheckBrowseMode();
    const QString oldName = FIndexName, oldFields = FIndexFieldNames;
    FIndexName = name;
    FIndexFieldNames = fields;
    if (!Active()) return;
    try {
        ChooseOrder();
    } catch (...) {
        // An order that cannot be made leaves the old one.
        FIndexName = oldName;
        FIndexFieldNames = oldFields;
        ChooseOrder();
        throw;
    }
    ResetKeys();
    if (FMasterLink) MasterChanged();
    RebuildView();
    First();
}

int TTableDataSet::IndexFieldCount() const
{
    return FOrder ? int(FOrder->Parts().size()) : 0;
}

TField* TTableDataSet::IndexFields(int index) const
{
    if (!FOrder || index < 0 || index >= IndexFieldCount()) return nullptr;
    const int field = FOrder->Parts()[size_t(index)].Field;
    return FindField(FieldDefs()[field]->Name());
}

bool TTableDataSet::IndexFieldDescending(int index) const
{
    return index >= 0 && index < IndexFieldCount() && FOrder->Parts()[size_t(index)].Descending;
}

bool TTableDataSet::IndexFieldCaseInsensitive(int index) const
{
    return index >= 0 && index < IndexFieldCount() && FOrder->Parts()[size_t(index)].CaseInsensitive;
}

bool TTableDataSet::MapsToIndex(const QList<TField*>& fields, bool caseInsensitive) const
{
    if (fields.isEmpty() || fields.size() > IndexFieldCount()) return false;
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i] != IndexFields(i)) return false;
        // Case matters only for text.
        const TFieldType type = fields[i]->DataType();
        const bool text = type == ftString || type == ftFixedChar || type == ftWideString;
        if (text && IndexFieldCaseInsensitive(i) != caseInsensitive) return false;
    }
    return true;
}

void TTableDataSet::GetIndexNames(QStringList& list)
{
    list.clear();
    if (IndexDefs().Count() == 0 && (Active() || !FieldDefs().Count())) IndexDefs().Update();
    for (int i = 0; i < IndexDefs().Count(); ++i)
        if (!IndexDefs()[i]->Name().isEmpty()) list << IndexDefs()[i]->Name();
}

bool TTableDataSet::IsIndexField(const TField* field) const
{
    for (int i = 0; i < IndexFieldCount(); ++i)
        if (IndexFields(i) == field) return true;
    return false;
}

// --- Keys and ranges

void TTableDataSet::ResetKeys()
{
    const size_t n = size_t(IndexFieldCount());
    for (TKeyBuffer& key : FKeys) {
        key.Values.assign(n, TVariant::Null());
        key.Assigned.assign(n, false);
        key.FieldCount = 0;
        key.Exclusive = false;
    }
    FRangeActive = false;
}

void TTableDataSet::BeginKey(TKeyIndex index, bool keep)
{
    CheckActive();
    if (!FOrder) DatabaseError(QStringLiteral("The table has no active index"), this);
    TKeyBuffer& key = FKeys[index];
    if (!keep) {
        std::fill(key.Values.begin(), key.Values.end(), TVariant::Null());
        std::fill(key.Assigned.begin(), key.Assigned.end(), false);
        key.FieldCount = 0;
        key.Exclusive = false;
    }
    BeginKeyEdit();
    FEditingKey = index;
    for (int i = 0; i < IndexFieldCount(); ++i)
        if (key.Assigned[size_t(i)])
            if (TField* f = IndexFields(i)) EditBuffer().SetValue(f, key.Values[size_t(i)]);
}

void TTableDataSet::PostKey()
{
    if (State() != dsSetKey) return;
    TKeyBuffer& key = FKeys[FEditingKey];
    for (int i = 0; i < IndexFieldCount(); ++i) {
        const TField* f = IndexFields(i);
        const bool assigned = f && EditBuffer().IsAssigned(f);
        key.Assigned[size_t(i)] = assigned;
        key.Values[size_t(i)] = assigned ? ComparableKey(EditBuffer().Value(f)) : TVariant::Null();
    }
    CheckBrowseMode();
}

int TTableDataSet::KeyParts(const TKeyBuffer& key) const
{
    const int n = IndexFieldCount();
    if (key.FieldCount > 0) return qMin(key.FieldCount, n);
    int k = 0;
    while (k < n && key.Assigned[size_t(k)]) ++k;
    return k;
}

void TTableDataSet::SetKey() { BeginKey(kiLookup, false); }
void TTableDataSet::EditKey() { BeginKey(kiLookup, true); }
void TTableDataSet::SetRangeStart() { BeginKey(kiRangeStart, false); }
void TTableDataSet::SetRangeEnd() { PostKey(); BeginKey(kiRangeEnd, false); }
void TTableDataSet::EditRangeStart() { BeginKey(kiRangeStart, true); }
void TTableDataSet::EditRangeEnd() { PostKey(); BeginKey(kiRangeEnd, true); }

int TTableDataSet::KeyFieldCount() const { return FKeys[FEditingKey].FieldCount; }
void TTableDataSet::SetKeyFieldCount(int count) { FKeys[FEditingKey].FieldCount = qMax(0, count); }
bool TTableDataSet::KeyExclusive() const { return FKeys[FEditingKey].Exclusive; }
void TTableDataSet::SetKeyExclusive(bool exclusive) { FKeys[FEditingKey].Exclusive = exclusive; }

void TTableDataSet::EnsureKeys()
{
    if (!FOrder || FOrder->Built()) return;
    // A table found out of key order is shown in key order from now on.
    if (FOrder->Build(*FReader)) {
        RebuildView();
        Resync();
    }
}

int TTableDataSet::SearchView(const TKeyBuffer& key, bool upper) const
{
    const int parts = KeyParts(key);
    int low = 0, high = ViewCount();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        const int c = FOrder->CompareToKey(int(ViewRecord(mid)), key.Values, parts);
        if (c < 0 || (upper && c == 0)) low = mid + 1;
        else high = mid;
    }
    return low;
}

bool TTableDataSet::RecordMatchesKey(TRecordId id, const TKeyBuffer& key) const
{
    return FOrder->CompareToKey(int(id), key.Values, KeyParts(key)) == 0;
}

bool TTableDataSet::GotoKey()
{
    CheckActive();
    PostKey();
    if (!FOrder) DatabaseError(QStringLiteral("The table has no active index"), this);
    EnsureKeys();
    const TKeyBuffer& key = FKeys[kiLookup];
    const int p = SearchView(key, false);
    if (p >= ViewCount() || !RecordMatchesKey(ViewRecord(p), key)) return false;
    SetRecNo(p + 1);
    return true;
}

void TTableDataSet::GotoNearest()
{
    CheckActive();
    PostKey();
    if (!FOrder) DatabaseError(QStringLiteral("The table has no active index"), this);
    EnsureKeys();
    const TKeyBuffer& key = FKeys[kiLookup];
    const int p = SearchView(key, key.Exclusive);
    if (p >= ViewCount()) Last();
    else SetRecNo(p + 1);
}

namespace {
void CheckKeyValueCount(const TTableDataSet* table, const std::vector<TVariant>& values)
{
    if (int(values.size()) > table->IndexFieldCount())
        DatabaseError(QStringLiteral("Too many key values for the active index"), table);
}

// In the key state; a value that does not convert leaves it.
void AssignKeyValues(TTableDataSet* table, const std::vector<TVariant>& values)
{
    try {
        for (size_t i = 0; i < values.size(); ++i) table->IndexFields(int(i))->SetValue(values[i]);
    } catch (...) {
        table->CheckBrowseMode();
        throw;
    }
    table->SetKeyFieldCount(int(values.size()));
}
} // namespace

bool TTableDataSet::FindKey(const std::vector<TVariant>& values)
{
    CheckKeyValueCount(this, values);
    SetKey();
    AssignKeyValues(this, values);
    return GotoKey();
}

void TTableDataSet::FindNearest(const std::vector<TVariant>& values)
{
    CheckKeyValueCount(this, values);
    SetKey();
    AssignKeyValues(this, values);
    GotoNearest();
}

void TTableDataSet::ApplyRange()
{
    CheckActive();
    PostKey();
    if (!FOrder) DatabaseError(QStringLiteral("The table has no active index"), this);
    FRangeActive = true;
    RebuildView();
    First();
}

void TTableDataSet::CancelRange()
{
    CheckActive();
    CheckBrowseMode();
    if (!FRangeActive) return;
    FRangeActive = false;
    RebuildView();
    First();
}

void TTableDataSet::SetRange(const std::vector<TVariant>& startValues, const std::vector<TVariant>& endValues)
{
    CheckKeyValueCount(this, startValues);
    CheckKeyValueCount(this, endValues);
    SetRangeStart();
    AssignKeyValues(this, startValues);
    SetRangeEnd();
    AssignKeyValues(this, endValues);
    ApplyRange();
}

// --- Master-detail

TDataSource* TTableDataSet::MasterSource() const
{
    return FMasterLink ? FMasterLink->DataSource() : nullptr;
}

void TTableDataSet::SetMasterSource(TDataSource* source)
{
    if (source == MasterSource()) return;
    if (source && source->DataSet() == this) DatabaseError(QStringLiteral("Circular datalinks are not allowed"), this);
    if (!source) {
        FMasterLink.reset();
        if (FMasterActive) {
            FMasterActive = false;
            FMasterValues.clear();
            if (Active()) {
                RebuildView();
                First();
            }
        }
        return;
    }
    if (!FMasterLink) FMasterLink = std::make_unique<TTableMasterLink>(this);
    FMasterLink->SetDataSource(source);
    MasterChanged();
}

void TTableDataSet::SetMasterFields(const QString& fields)
{
    if (fields == FMasterFields) return;
    FMasterFields = fields;
    MasterChanged();
}

void TTableDataSet::MasterChanged()
{
    if (!FReader) return;
    TDataSet* master = FMasterLink ? FMasterLink->DataSet() : nullptr;
    const QStringList names = FMasterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    std::vector<TVariant> values;
    const bool active = master && master->Active() && FMasterLink->Active() && !names.isEmpty() && FOrder;
    if (active) {
        if (names.size() > IndexFieldCount()) DatabaseError(QStringLiteral("Too many master fields for the active index"), this);
        for (const QString& name : names) {
            const TField* f = master->FieldByName(name);
            values.push_back(f->IsNull() ? TVariant::Null() : ComparableKey(f->Value()));
        }
    }
    if (active == FMasterActive && values == FMasterValues) return;
    FMasterActive = active;
    FMasterValues = std::move(values);
    // While opening, the view is built afterwards.
    if (State() == dsOpening) return;
    RebuildView();
    First();
}

// --- Filters of the cursor

TTableCursorFilter* TTableDataSet::FindCursorFilter(TFilterHandle handle) const
{
    for (const auto& f : FCursorFilters)
        if (f->Handle == handle) return f.get();
    DatabaseError(QStringLiteral("The filter handle is not valid"), this);
}

TFilterHandle TTableDataSet::AddFilter(const QByteArray& block)
{
    CheckActive();
    auto filter = std::make_unique<TTableCursorFilter>();
    const int codePage = TextCodePage();
    filter->Expression = ReadFilterBlock(block, codePage, [this](const QString& name, int& index) {
        index = FieldDefs().IndexOf(name);
        return index >= 0;
    });
    filter->Handle = ++FLastFilterHandle;
    FCursorFilters.push_back(std::move(filter));
    return FLastFilterHandle;
}

TFilterHandle TTableDataSet::AddFilterCallback(const TRecordFilterCallback& accept)
{
    CheckActive();
    auto filter = std::make_unique<TTableCursorFilter>();
    filter->Callback = accept;
    filter->Handle = ++FLastFilterHandle;
    FCursorFilters.push_back(std::move(filter));
    return FLastFilterHandle;
}

void TTableDataSet::ActivateFilter(TFilterHandle handle)
{
    FindCursorFilter(handle)->Active = true;
}

void TTableDataSet::DeactivateFilter(TFilterHandle handle)
{
    FindCursorFilter(handle)->Active = false;
}

void TTableDataSet::DropFilter(TFilterHandle handle)
{
    if (handle == 0) {
        FCursorFilters.clear();
        return;
    }
    FindCursorFilter(handle);
    std::erase_if(FCursorFilters, [handle](const auto& f) { return f->Handle == handle; });
}

// ---------------------------------------------------------------------------------------------
// TTable

TTable::TTable(QObject* owner) : TTableDataSet(owner) {}

TTable::~TTable()
{
    CloseOnDestroy();
}

void TTable::SetDatabaseName(const QString& name)
{
    CheckInactive();
    FDatabaseName = name;
    IndexDefs().SetUpdated(false);
}

void TTable::SetTableName(const QString& name)
{
    CheckInactive();
    FTableName = name;
    IndexDefs().SetUpdated(false);
}

void TTable::SetTableType(TTableType type)
{
    CheckInactive();
    FTableType = type;
    IndexDefs().SetUpdated(false);
}

QString TTable::TableFileName() const
{
    QString name = FTableName;
    if (!FDatabaseName.isEmpty() && QFileInfo(name).isRelative()) name = QDir(FDatabaseName).filePath(name);
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty()) {
        // Tables copied from other systems often carry upper-case extensions.
        const QString paradox = FindCompanionFile(name, QStringLiteral("db"));
        const QString dbase = FindCompanionFile(name, QStringLiteral("dbf"));
        if (FTableType == ttDBase) return dbase.isEmpty() ? name + QStringLiteral(".dbf") : dbase;
        if (!paradox.isEmpty()) return paradox;
        if (FTableType == ttParadox || dbase.isEmpty()) return name + QStringLiteral(".db");
        return dbase;
    }
    return name;
}

TTableType TTable::ActualTableType() const
{
    if (FTableType != ttDefault) return FTableType;
    return QFileInfo(TableFileName()).suffix().compare(QStringLiteral("dbf"), Qt::CaseInsensitive) == 0 ? ttDBase : ttParadox;
}

bool TTable::Exists() const
{
    return QFileInfo(TableFileName()).isFile();
}

std::unique_ptr<TTableReader> TTable::CreateReader()
{
    if (FTableName.isEmpty()) DatabaseError(QStringLiteral("Missing TableName property"), this);
    const QString file = TableFileName();
    if (ActualTableType() == ttDBase) return std::make_unique<TDBaseReader>(file, CodePage());
    return std::make_unique<TParadoxReader>(file, CodePage());
}

// ---------------------------------------------------------------------------------------------
// Statements

TDBDataSet::TDBDataSet(QObject* owner) : TDataSet(owner) {}

TDBDataSet::~TDBDataSet()
{
    CloseOnDestroy();
}

void TDBDataSet::SetDatabaseName(const QString& name)
{
    CheckInactive();
    FDatabaseName = name;
}

QString TDBDataSet::StatementKind() const
{
    return QStringLiteral("Running statements of the database engine");
}

void TDBDataSet::StatementNotSupported() const
{
    TableNotSupported(StatementKind());
}

void TDBDataSet::InternalOpen()
{
    StatementNotSupported();
}

TQuery::TQuery(QObject* owner) : TDBDataSet(owner), FParams(new TParams(this)) {}

TQuery::~TQuery()
{
    CloseOnDestroy();
}

void TQuery::SetSQL(const QStringList& sql)
{
    if (Active()) Close();
    FSQL = sql;
}

QString TQuery::StatementKind() const
{
    return QStringLiteral("SQL over Paradox and dBASE tables");
}

void TQuery::ExecSQL()
{
    StatementNotSupported();
}

TStoredProc::TStoredProc(QObject* owner) : TDBDataSet(owner), FParams(new TParams(this)) {}

TStoredProc::~TStoredProc()
{
    CloseOnDestroy();
}

void TStoredProc::SetStoredProcName(const QString& name)
{
    CheckInactive();
    FStoredProcName = name;
}

QString TStoredProc::StatementKind() const
{
    return QStringLiteral("Running stored procedures");
}

void TStoredProc::ExecProc()
{
    StatementNotSupported();
}
