#include "memtable/zohMemTable.h"

#include "platform/core/ScopeExit.h"
#include "memtable/zohFieldData.h"
#include "platform/stream/Win1252.h"
#include "platform/core/CodePages.h"

#include <QScopedValueRollback>
#include <cmath>

using namespace zohdata;

namespace {
const QString kRowOrderName = QStringLiteral("__MT__ROWORDER");

template <typename T> int Sign(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }
} // namespace

// ---------------------------------------------------------------- master link

class TzohMasterLink : public TDataLink {
public:
    explicit TzohMasterLink(TzohCustomMemTable* table) : FTable(table) {}

protected:
    void ActiveChanged() override { FTable->MasterChanged(); }
    void RecordChanged(TField* field) override
    {
        if (!field) FTable->MasterChanged();
    }
    void DataSetScrolled(int) override { FTable->MasterChanged(); }

private:
    TzohCustomMemTable* FTable;
};

// ---------------------------------------------------------------- life

TzohCustomMemTable::TzohCustomMemTable(QObject* owner) : TDataSet(owner)
{
    FOwnStore = std::make_unique<TzohCommon>(this);
    FStore = FOwnStore.get();
    FAttachIndex = FStore->RegisterTable(this);
    FRowOrder = std::make_unique<TzohIndex>(this, kRowOrderName, true, false, 0, QString(), nullptr);
    FCurrentIndex = FRowOrder.get();
}

TzohCustomMemTable::~TzohCustomMemTable()
{
    try {
        if (Active()) Close();
    } catch (...) {
    }
    CloseOnDestroy();
    FMasterLink.reset();
    if (FMasterValues) {
        FStore->FreeRecord(FMasterValues, true, false);
        FMasterValues = nullptr;
    }
    if (FDeltaHandler) FDeltaHandler->FTable = nullptr;
    if (FStore) FStore->ReleaseTable(FAttachIndex);
    FIndexes.clear();
    FRowOrder.reset();
    FOwnStore.reset();
}

void TzohCustomMemTable::Progress(int percent, TzohProgressCode code)
{
    if (OnProgress && FProgressFlags.contains(code)) OnProgress(this, percent, code);
}

// ---------------------------------------------------------------- records and the view

TzohStoredRecord* TzohCustomMemTable::RecordOf(TRecordId id) const
{
    if (id < 0) return nullptr;
    TzohStoredRecord* r = FStore->Record(qint32(quint32(id & 0xFFFFFFFF)));
    return (r && quint32(r->UniqueID) == quint32(id >> 32)) ? r : nullptr;
}

TzohStoredRecord* TzohCustomMemTable::CurrentStoredRecord() const
{
    return RecordOf(CurrentRecord());
}

int TzohCustomMemTable::SlotOf(const TField* field) const
{
    if (!field || field->FieldKind() != fkData) return -1;
    const int n = field->FieldNo();
    return (n >= 1 && n <= FStore->FieldCount()) ? n - 1 : -1;
}

bool TzohCustomMemTable::MasterDetailActive() const
{
    return FMasterDetailEnabled && FMasterLink && FMasterLink->Active() && !FMasterList.isEmpty() && FMasterValues &&
           DetailKeyList().Count() > 0;
}

bool TzohCustomMemTable::AnythingToFilter() const
{
    if (FStore->DeletedCount() > 0 || MasterDetailActive()) return true;
    return Filtered() && !FFilterSwitchedOff && (FFilterExpr || OnFilterRecord);
}

namespace {
TzohFilterValue FilterValueOf(const TzohCommon& s, const TzohStoredRecord* r, int slot)
{
    using V = TzohFilterValue;
    if (!s.FieldHasValue(r, slot)) return V::Null();
    switch (s.Slot(slot).DataType) {
    case zft::String: case zft::FixedChar: case zft::Memo: case zft::FmtMemo: {
        const char* d;
        qsizetype n;
        ViewBytes(s, r, slot, d, n);
        return V::Str(Win1252ToString(d, n));
    }
    case zft::Smallint: case zft::Integer: case zft::Word: case zft::AutoInc: case zft::Largeint:
        return V::Int(GetInteger(s, r, slot));
    case zft::Boolean: return V::Bool(GetBoolean(s, r, slot));
    case zft::Float: return V::Float(GetFloat(s, r, slot));
    case zft::Currency: case zft::BCD: return V::Float(double(GetCurrency(s, r, slot)) / 10000.0);
    case zft::Date: case zft::Time: case zft::DateTime: return V::Date(GetDateTime(s, r, slot));
    default: return V::Str(QString::fromLatin1(GetBytes(s, r, slot)));
    }
}

} // namespace

void TzohCustomMemTable::RunOnRecord(TzohStoredRecord* rec, const std::function<void()>& fn)
{
    // The framework's filter step makes the fields read one stored record.
    TFilterRecordEvent saved = OnFilterRecord;
    OnFilterRecord = [&](TDataSet*, bool& accept) {
        accept = true;
        fn();
    };
    try {
        FilterRecord(IdOf(rec));
    } catch (...) {
        OnFilterRecord = saved;
        throw;
    }
    OnFilterRecord = saved;
}

bool TzohCustomMemTable::AcceptRecord(TzohStoredRecord* rec, bool force)
{
    if (!force && !AnythingToFilter()) return true;
    if (rec->UpdateStatus == usDeleted) return false;
    if (MasterDetailActive()) {
        const TzohFieldList& list = DetailKeyList();
        const int limit = qMin(int(FMasterList.size()), list.Count());
        if (zohCompareFields(*FStore, list, limit, false, false, FMasterValues, rec) != 0) return false;
    }
    if ((force || Filtered()) && !FFilterSwitchedOff) {
        if (OnFilterRecord && !FilterRecord(IdOf(rec))) return false;
        if (FFilterExpr) {
            bool accepted = false;
            const TzohCommon& s = *FStore;
            accepted = FFilterExpr->Accepts([&](int index) -> TzohFilterValue {
                TField* f = Fields()[index];
                const int slot = SlotOf(f);
                if (slot >= 0) return FilterValueOf(s, rec, slot);
                TzohFilterValue v = TzohFilterValue::Null();
                RunOnRecord(rec, [&] { v = FilterValueOf(f->Value()); });
                return v;
            });
            if (!accepted) return false;
        }
    }
    return true;
}

void TzohCustomMemTable::BuildView() const
{
    auto* self = const_cast<TzohCustomMemTable*>(this);
    FViewFiltered = AnythingToFilter();
    FFilteredView.clear();
    if (FViewFiltered) {
        const auto& all = FCurrentIndex->Records();
        FFilteredView.reserve(all.size());
        for (TzohStoredRecord* r : all)
            if (self->AcceptRecord(r, false)) FFilteredView.push_back(r);
    }
    FViewDirty = false;
    FPosDirty = true;
}

const std::vector<TzohStoredRecord*>& TzohCustomMemTable::View() const
{
    if (FViewDirty) BuildView();
    return FViewFiltered ? FFilteredView : FCurrentIndex->Records();
}

void TzohCustomMemTable::BuildPositions() const
{
    const auto& v = View();
    FPosOfSlot.assign(size_t(FStore->RecordCount()), -1);
    for (int i = 0; i < int(v.size()); ++i) {
        const qint32 id = v[i]->RecordID;
        if (id >= 0 && id < qint32(FPosOfSlot.size())) FPosOfSlot[id] = i;
    }
    FPosDirty = false;
}

int TzohCustomMemTable::ViewCount() const
{
    return int(View().size());
}

TRecordId TzohCustomMemTable::ViewRecord(int position) const
{
    const auto& v = View();
    if (position < 0 || position >= int(v.size())) return NoRecord;
    return IdOf(v[position]);
}

int TzohCustomMemTable::ViewPosition(TRecordId id) const
{
    const TzohStoredRecord* r = RecordOf(id);
    if (!r) return -1;
    const auto& v = View();
    auto holds = [&](int p) { return p >= 0 && p < int(v.size()) && v[p] == r; };
    auto mapped = [&] { return r->RecordID < qint32(FPosOfSlot.size()) ? FPosOfSlot[r->RecordID] : -1; };
    // Even a stale map is right where its entry still holds the record, and a record just
    // appended is the last: posting record after record must not map the view every time.
    if (holds(mapped())) return mapped();
    if (holds(int(v.size()) - 1)) return int(v.size()) - 1;
    if (FPosDirty || r->RecordID >= qint32(FPosOfSlot.size())) BuildPositions();
    return holds(mapped()) ? mapped() : -1;
}

bool TzohCustomMemTable::IsSequenced() const
{
    return !Filtered();
}

bool TzohCustomMemTable::BookmarkValid(const TBookmark& bookmark) const
{
    const TzohStoredRecord* r = RecordOf(bookmark.RecordId());
    return r && r->UpdateStatus != usDeleted;
}

int TzohCustomMemTable::CompareBookmarks(const TBookmark& a, const TBookmark& b) const
{
    const TzohStoredRecord* ra = RecordOf(a.RecordId());
    const TzohStoredRecord* rb = RecordOf(b.RecordId());
    if (!ra || !rb) return (!ra && !rb) ? 0 : (!ra ? 1 : -1);
    const int pa = ViewPosition(a.RecordId()), pb = ViewPosition(b.RecordId());
    if (pa >= 0 && pb >= 0) return Sign(pa, pb);
    TzohCommon::TLocker lock(FStore);
    int r = 0;
    if (!FCurrentIndex->RowOrder()) r = FCurrentIndex->CompareRecords(FCurrentIndex->Fields(), ra, false, true, rb);
    if (!r) r = Sign(ra->RecordID, rb->RecordID);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

TUpdateStatus TzohCustomMemTable::UpdateStatus() const
{
    const TzohStoredRecord* r = RecordOf(ReadRecord());
    if (!r) return TDataSet::UpdateStatus();
    return TUpdateStatus(r->UpdateStatus);
}

// ---------------------------------------------------------------- values

TVariant TzohCustomMemTable::ReadValue(const TzohStoredRecord* rec, int slot) const
{
    const TzohCommon& s = *FStore;
    if (!s.FieldHasValue(rec, slot)) return TVariant::Null();
    switch (s.Slot(slot).DataType) {
    case zft::String: case zft::FixedChar: case zft::Memo: case zft::FmtMemo:
        return TVariant::FromAnsiString(GetBytes(s, rec, slot));
    case zft::Smallint: return TVariant::FromSmallint(qint16(GetInteger(s, rec, slot)));
    case zft::Word: return TVariant::FromWord(quint16(GetInteger(s, rec, slot)));
    case zft::Integer: case zft::AutoInc: return TVariant(int(GetInteger(s, rec, slot)));
    case zft::Largeint: return TVariant(qint64(GetInteger(s, rec, slot)));
    case zft::Boolean: return TVariant(GetBoolean(s, rec, slot));
    case zft::Float: return TVariant(GetFloat(s, rec, slot));
    case zft::Currency: case zft::BCD: return TVariant(TCurrency::FromScaled(GetCurrency(s, rec, slot)));
    case zft::Date: case zft::Time: case zft::DateTime: return TVariant::FromDate(GetDateTime(s, rec, slot));
    default: return TVariant::FromBytes(GetBytes(s, rec, slot));
    }
}

TVariant TzohCustomMemTable::VersionValue(const TzohStoredRecord* version, const TField* field) const
{
    const int slot = SlotOf(field);
    if (!version || slot < 0) return TVariant::Null();
    return ReadValue(version, slot);
}

void TzohCustomMemTable::WriteValue(TzohStoredRecord* rec, int slot, const TVariant& v)
{
    TzohCommon& s = *FStore;
    if (v.IsNullOrEmpty()) {
        SetNull(s, rec, slot);
        return;
    }
    switch (s.Slot(slot).DataType) {
    case zft::String: case zft::FixedChar: case zft::Memo: case zft::FmtMemo:
        SetBytes(s, rec, slot, v.Type() == varUString ? v.AsAnsiString(DefaultCodePage()) : v.AsBytes());
        return;
    case zft::Smallint: case zft::Integer: case zft::Word: case zft::AutoInc:
        SetInteger(s, rec, slot, v.AsInteger());
        return;
    case zft::Largeint: SetInteger(s, rec, slot, v.AsInt64()); return;
    case zft::Boolean: SetBoolean(s, rec, slot, v.AsBoolean()); return;
    case zft::Float: SetFloat(s, rec, slot, v.AsDouble()); return;
    case zft::Currency: case zft::BCD: SetCurrency(s, rec, slot, v.AsCurrency().Scaled()); return;
    case zft::Date: case zft::Time: case zft::DateTime: SetDateTime(s, rec, slot, v.AsDateTime()); return;
    default:
        SetBytes(s, rec, slot, v.Type() == varUString ? v.AsAnsiString(DefaultCodePage()) : v.AsBytes());
        return;
    }
}

bool TzohCustomMemTable::GetRecordValue(TRecordId id, const TField* field, TVariant& value) const
{
    const TzohStoredRecord* r = RecordOf(id);
    const int slot = SlotOf(field);
    if (!r || slot < 0 || !FStore->FieldHasValue(r, slot)) return false;
    TzohCommon::TLocker lock(FStore);
    value = ReadValue(r, slot);
    return true;
}

bool TzohCustomMemTable::IsRecordValueNull(TRecordId id, const TField* field) const
{
    const TzohStoredRecord* r = RecordOf(id);
    const int slot = SlotOf(field);
    return !r || slot < 0 || !FStore->FieldHasValue(r, slot);
}

bool TzohCustomMemTable::GetOldRecordValue(TRecordId id, const TField* field, TVariant& value) const
{
    return GetRecordValue(id, field, value);
}

// ---------------------------------------------------------------- opening and closing

std::vector<TzohFieldDesc> TzohCustomMemTable::DescribeFields() const
{
    std::vector<TzohFieldDesc> out;
    auto& defs = const_cast<TzohCustomMemTable*>(this)->FieldDefs();
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef* d = defs[i];
        TzohFieldDesc f;
        f.Name = d->Name();
        f.DataType = d->DataType();
        f.Size = d->Size();
        const TField* field = FindField(d->Name());
        f.DisplayName = field ? field->DisplayName() : d->Name();
        out.push_back(f);
    }
    return out;
}

void TzohCustomMemTable::InternalInitFieldDefs()
{
    if (FAttachedTo) {
        FieldDefs().Assign(FAttachedTo->FieldDefs());
        return;
    }
    if (Fields().Count() == 0) return;
    // Persistent field objects define the record.
    FieldDefs().Clear();
    for (TField* f : Fields()) {
        if (f->FieldKind() != fkData) continue;
        FieldDefs().Add(f->FieldName(), f->DataType(), f->Size(), f->Required());
    }
}

TField* TzohCustomMemTable::AutoIncField() const
{
    for (TField* f : Fields())
        if (f->DataType() == ftAutoInc) return f;
    return nullptr;
}

void TzohCustomMemTable::ResetAutoInc()
{
    if (!FAttachedTo) FStore->SetLastAutoIncValue(FStore->AutoIncMinValue() - 1);
}

void TzohCustomMemTable::LayoutStore()
{
    const std::vector<TzohFieldDesc> defs = DescribeFields();
    TzohSetupFieldHook hook;
    if (OnSetupField)
        hook = [this](const TzohFieldDesc& d, quint8& flags) { OnSetupField(this, d, flags); };
    FStore->Layout(defs, 0, hook);
}

void TzohCustomMemTable::InternalOpen()
{
    QScopedValueRollback<bool> opening(FOpening, true);
    TzohCommon::TLocker lock(FStore);
    if (FAttachedTo && !FAttachedTo->Active()) FAttachedTo->Open();
    const bool owner = FStore->Owner() == this;
    if (owner && FieldDefs().Count() == 0) throw EMemTableError(QStringLiteral("There must be at least one field"));
    ResetAutoInc();
    if (owner) LayoutStore();
    FCurrentIndex = FRowOrder.get();
    RebuildIndexesFromDefs();
    MarkViewDirty();
}

void TzohCustomMemTable::DoAfterOpen()
{
    if (FAfterOpenRunning) return;
    QScopedValueRollback<bool> running(FAfterOpenRunning, true);
    FPersistentSaved = false;
    SyncIndexesWithDefs();
    ApplyIndexSelection();
    BuildMasterLists();
    LoadPersistent();
    ParseFilter();
    MarkViewDirty();
    Resync();
    TDataSet::DoAfterOpen();
}

void TzohCustomMemTable::DoBeforeClose()
{
    TDataSet::DoBeforeClose();
    SavePersistent();
}

void TzohCustomMemTable::InternalClose()
{
    TzohCommon::TLocker lock(FStore);
    if (FMasterValues) {
        FStore->FreeRecord(FMasterValues, true, false);
        FMasterValues = nullptr;
    }
    FDetailList.Clear();
    FMasterList.clear();
    if (FStore->Owner() == this) {
        Progress(0, mtpcEmpty);
        FStore->EmptyAllTables();
        Progress(100, mtpcEmpty);
        FStore->CloseOtherTables(this);
    }
    DropIndexes();
    FRowOrder->Clear();
    FCurrentIndex = FRowOrder.get();
    FFilteredView.clear();
    FPosOfSlot.clear();
    MarkViewDirty();
}

void TzohCustomMemTable::InternalRefresh()
{
    MarkViewDirty();
}

void TzohCustomMemTable::StoreClientRefresh()
{
    MarkViewDirty();
    Refresh();
}

void TzohCustomMemTable::StoreClientEmpty()
{
    if (State() == dsEdit || State() == dsInsert) Cancel();
    FRowOrder->Clear();
    for (auto& i : FIndexes) i->Clear();
    FFilteredView.clear();
    MarkViewDirty();
}

void TzohCustomMemTable::StoreClientRebuildIndexes()
{
    FRowOrder->RebuildAndSort();
    for (auto& i : FIndexes) i->RebuildAndSort();
    MarkViewDirty();
}

void TzohCustomMemTable::StoreClientMarkIndexesOutOfDate()
{
    FRowOrder->SetUpToDate(false);
    for (auto& i : FIndexes) i->SetUpToDate(false);
}

void TzohCustomMemTable::StoreClientDetach()
{
    FAttachedTo = nullptr;
    FOwnStore = std::make_unique<TzohCommon>(this);
    FStore = FOwnStore.get();
    FAttachIndex = FStore->RegisterTable(this);
}

// ---------------------------------------------------------------- settings that need the store

void TzohCustomMemTable::SetPerformance(TzohPerformance p)
{
    CheckInactive();
    FStore->SetPerformance(p);
}

void TzohCustomMemTable::SetStandalone(bool v)
{
    CheckInactive();
    if (FAttachedTo) throw EMemTableError(QStringLiteral("Table is attached to another table."));
    FStore->SetStandalone(v);
}

void TzohCustomMemTable::SetAttachedTo(TzohCustomMemTable* table)
{
    if (table == FAttachedTo) return;
    if (table == this) throw EMemTableError(QStringLiteral("Cant attach memorytable to it self."));
    Close();
    if (FAttachedTo) {
        FStore->ReleaseTable(FAttachIndex);
        FAttachedTo = nullptr;
        FOwnStore = std::make_unique<TzohCommon>(this);
        FStore = FOwnStore.get();
        FAttachIndex = FStore->RegisterTable(this);
    }
    if (!table) return;
    if (table->FAttachedTo)
        throw EMemTableError(QStringLiteral("Cant attach to another table which itself is an attachment."));
    const int index = table->FStore->RegisterTable(this);
    FOwnStore->ReleaseTable(FAttachIndex);
    FOwnStore.reset();
    FStore = table->FStore;
    FAttachIndex = index;
    FAttachedTo = table;
    FRowOrder = std::make_unique<TzohIndex>(this, kRowOrderName, true, false, 0, QString(), nullptr);
    FCurrentIndex = FRowOrder.get();
    FieldDefs().Assign(table->FieldDefs());
    const bool hadFields = Fields().Count() > 0;
    const std::vector<TField*> sources(table->Fields().begin(), table->Fields().end());
    for (const TField* src : sources) {
        if (FindField(src->FieldName())) continue;
        TField* f = MakeFieldLike(src);
        if (!f) continue;
        CopyDisplayProperties(src, f);
        if (hadFields) f->SetVisible(false);
    }
}

TField* TzohCustomMemTable::MakeFieldLike(const TField* source)
{
    if (!source) return nullptr;
    TFieldType type = source->DataType();
    if (type == ftWideString || type == ftGuid) type = ftString;
    if (!zohIsStoreType(type) || type == ftADT || type == ftArray) return nullptr;
    TField* f = ::CreateField(type, this);
    if (!f) return nullptr;
    f->SetFieldName(source->FieldName());
    if (type == ftString || type == ftFixedChar || type == ftBytes || type == ftVarBytes || type == ftBCD ||
        IsBlobFieldType(type))
        f->SetSize(source->Size());
    f->SetFieldKind(source->FieldKind());
    f->SetKeyFields(source->KeyFields());
    f->SetLookupDataSet(source->LookupDataSet());
    f->SetLookupResultField(source->LookupResultField());
    f->SetLookupKeyFields(source->LookupKeyFields());
    if (auto* to = qobject_cast<TBCDField*>(f))
        if (auto* from = qobject_cast<const TBCDField*>(source)) to->SetPrecision(from->Precision());
    f->SetDataSet(this);
    return f;
}

void TzohCustomMemTable::CopyDisplayProperties(const TField* from, TField* to)
{
    if (!from || !to || from == to) return;
    to->SetEditMask(from->EditMask());
    to->SetDisplayWidth(from->DisplayWidth());
    to->SetDisplayLabel(from->DisplayLabel());
    to->SetRequired(from->Required());
    to->SetReadOnly(from->ReadOnly());
    to->SetVisible(from->Visible());
    to->SetDefaultExpression(from->DefaultExpression());
    to->SetAlignment(from->Alignment());
    if (auto* a = qobject_cast<const TNumericField*>(from))
        if (auto* b = qobject_cast<TNumericField*>(to)) {
            b->SetDisplayFormat(a->DisplayFormat());
            b->SetEditFormat(a->EditFormat());
        }
    if (auto* a = qobject_cast<const TIntegerField*>(from))
        if (auto* b = qobject_cast<TIntegerField*>(to)) {
            b->SetMinValue(a->MinValue());
            b->SetMaxValue(a->MaxValue());
        }
    if (auto* a = qobject_cast<const TDateTimeField*>(from))
        if (auto* b = qobject_cast<TDateTimeField*>(to)) b->SetDisplayFormat(a->DisplayFormat());
    if (auto* a = qobject_cast<const TBooleanField*>(from))
        if (auto* b = qobject_cast<TBooleanField*>(to)) b->SetDisplayValues(a->DisplayValues());
    if (auto* a = qobject_cast<const TFloatField*>(from))
        if (auto* b = qobject_cast<TFloatField*>(to)) {
            b->SetMinValue(a->MinValue());
            b->SetMaxValue(a->MaxValue());
            b->SetPrecision(a->Precision());
            b->SetCurrency(a->Currency());
        }
    if (auto* a = qobject_cast<const TBCDField*>(from))
        if (auto* b = qobject_cast<TBCDField*>(to)) b->SetCurrency(a->Currency());
    if (auto* a = qobject_cast<const TBlobField*>(from))
        if (auto* b = qobject_cast<TBlobField*>(to)) b->SetBlobType(a->BlobType());
    if (OnSetupFieldProperties) OnSetupFieldProperties(this, to);
}

void TzohCustomMemTable::SetDeltaHandler(TzohCustomDeltaHandler* handler)
{
    if (FDeltaHandler == handler) return;
    if (FDeltaHandler) FDeltaHandler->FTable = nullptr;
    FDeltaHandler = handler;
    if (handler) {
        if (handler->FTable && handler->FTable != this) handler->FTable->FDeltaHandler = nullptr;
        handler->FTable = this;
    }
}

// ---------------------------------------------------------------- editing

void TzohCustomMemTable::InternalInsert(bool append)
{
    Q_UNUSED(append);
    FStore->ClearAssigned();
}

void TzohCustomMemTable::DoOnNewRecord()
{
    if (MasterDetailActive()) {
        const int n = qMin(int(FMasterList.size()), DetailKeyList().Count());
        for (int i = 0; i < n; ++i) {
            const int slot = DetailKeyList().Field(i).Slot;
            for (TField* f : Fields())
                if (SlotOf(f) == slot && slot >= 0) f->SetValue(FMasterList[i]->Value());
        }
    }
    for (TField* f : Fields())
        if (!f->DefaultExpression().isEmpty() && f->FieldKind() == fkData) f->SetAsString(f->DefaultExpression());
    TDataSet::DoOnNewRecord();
    if (TField* ai = AutoIncField(); ai && !FAutoIncFromCSV)
        EditBuffer().SetValue(ai, TVariant(int(FStore->LastAutoIncValue() + 1)));
}

void TzohCustomMemTable::DoBeforePost()
{
    TDataSet::DoBeforePost();
    if (TField* ai = AutoIncField(); ai && !ai->IsNull()) {
        const int v = ai->AsInteger();
        if (v > FStore->LastAutoIncValue()) FStore->SetLastAutoIncValue(v);
    }
}

void TzohCustomMemTable::CheckUnique(const TzohStoredRecord* newValues, const TzohStoredRecord* stored)
{
    if (!FEnableIndexes) return;
    for (auto& idx : FIndexes) {
        if (!(idx->Options() & zixUnique) || (idx->Options() & zixNonMaintained)) continue;
        int pos = -1;
        if (idx->Search(nullptr, newValues, false, false, pos) != 0 || pos < 0) continue;
        for (int p = pos; p < idx->Count(); ++p) {
            const TzohStoredRecord* r = idx->At(p);
            if (idx->CompareRecords(idx->Fields(), newValues, false, false, r) != 0) break;
            if (r == stored || (stored && r->RecordID == stored->RecordID) || r->UpdateStatus == usDeleted) continue;
            throw EMemTableError(QStringLiteral("Duplicate index value. Operation aborted."));
        }
    }
}

void TzohCustomMemTable::NotifyInsert(TzohStoredRecord* rec, int indexPosition, bool append)
{
    for (TzohStoreClient* c : FStore->Tables()) {
        auto* t = dynamic_cast<TzohCustomMemTable*>(c);
        if (!t || !t->Active()) continue;
        const bool changing = t == this;
        t->FRowOrder->RecordInserted(rec, changing ? indexPosition : -1, changing, append || !changing);
        t->FRowOrder->SetUpToDate(true);
        for (auto& idx : t->FIndexes) {
            if ((idx->Options() & zixNonMaintained) || !t->FEnableIndexes) {
                idx->SetUpToDate(false);
                continue;
            }
            idx->RecordInserted(rec, -1, changing, append);
        }
        t->MarkViewDirty();
    }
}

void TzohCustomMemTable::NotifyChange(TzohStoredRecord* stored, const TzohStoredRecord* newValues)
{
    for (TzohStoreClient* c : FStore->Tables()) {
        auto* t = dynamic_cast<TzohCustomMemTable*>(c);
        if (!t || !t->Active()) continue;
        for (auto& idx : t->FIndexes) {
            if ((idx->Options() & zixNonMaintained) || !t->FEnableIndexes) {
                idx->SetUpToDate(false);
                continue;
            }
            int newPos = -1;
            idx->RecordChanged(stored, stored, newValues, -1, false, newPos);
            if (t == this && idx.get() == FCurrentIndex) FPostPosition = newPos;
        }
        t->MarkViewDirty();
    }
}

void TzohCustomMemTable::NotifyDelete(TzohStoredRecord* rec)
{
    for (TzohStoreClient* c : FStore->Tables()) {
        auto* t = dynamic_cast<TzohCustomMemTable*>(c);
        if (!t || !t->Active()) continue;
        t->FRowOrder->RecordDeleted(rec);
        for (auto& idx : t->FIndexes) idx->RecordDeleted(rec);
        t->MarkViewDirty();
    }
}

TRecordId TzohCustomMemTable::InternalPost(const TEditBuffer& buffer)
{
    TzohCommon::TLocker lock(FStore);
    TzohCommon& s = *FStore;
    if (buffer.IsInsert()) {
        TzohStoredRecord* rec = s.AllocRecord();
        rec->RecordNumber = 0;
        try {
            for (TField* f : Fields()) {
                const int slot = SlotOf(f);
                if (slot >= 0 && buffer.IsAssigned(f)) WriteValue(rec, slot, buffer.Value(f));
            }
            CheckUnique(rec, nullptr);
        } catch (...) {
            s.FreeRecord(rec, true, false);
            throw;
        }
        // Where the new record goes in the row order: before the record it was inserted at.
        int indexPos = -1;
        const bool append = buffer.IsAppend() || buffer.InsertPosition() >= ViewCount();
        if (!append && FCurrentIndex->RowOrder()) {
            const TzohStoredRecord* at = RecordOf(ViewRecord(buffer.InsertPosition()));
            indexPos = at ? FRowOrder->PositionOfRecordID(at->RecordID) : -1;
        }
        rec->RecordNumber = -1;
        s.AddRecord(rec);
        rec->TransactionLevel = s.TransactionLevel();
        NotifyInsert(rec, indexPos, append || indexPos < 0);
        s.SetModified(true);
        s.ClearAssigned();
        return IdOf(rec);
    }
    TzohStoredRecord* stored = RecordOf(buffer.RecordId());
    if (!stored) DatabaseError(QStringLiteral("Record not found"), this);
    TzohStoredRecord* buf = s.AllocRecord();
    s.CopyRecord(stored, buf);
    buf->RecordNumber = 0;
    try {
        for (TField* f : Fields()) {
            const int slot = SlotOf(f);
            if (slot >= 0 && buffer.IsAssigned(f)) WriteValue(buf, slot, buffer.Value(f));
        }
        CheckUnique(buf, stored);
    } catch (...) {
        s.FreeRecord(buf, true, false);
        throw;
    }
    if (s.VersioningEnabled() && buffer.AnyAssigned() &&
        (s.VersioningMode() == mtvmAllSinceCheckPoint || buf->UpdateStatus == usUnmodified)) {
        buf->UpdateStatus = usModified;
        TzohStoredRecord* older = s.DuplicateRecord(stored, true);
        older->StoredMark = 1;
        older->RecordNumber = -1;
        buf->PreviousVersion = older;
    }
    NotifyChange(stored, buf);
    s.MoveVarBuffers(buf, stored);
    stored->RecordNumber = -1;
    stored->StoredMark = 1;
    stored->TransactionLevel = s.TransactionLevel();
    s.FreeRecord(buf, true, false);
    s.SetModified(true);
    s.ClearAssigned();
    return buffer.RecordId();
}

void TzohCustomMemTable::InternalDelete(TRecordId id)
{
    TzohCommon::TLocker lock(FStore);
    TzohCommon& s = *FStore;
    TzohStoredRecord* rec = RecordOf(id);
    if (!rec) return;
    NotifyDelete(rec);
    if (s.VersioningEnabled()) {
        TzohStoredRecord* older = s.DuplicateRecord(rec, true);
        older->StoredMark = 1;
        older->RecordNumber = -1;
        rec->PreviousVersion = older;
        rec->UpdateStatus = usDeleted;
        rec->TransactionLevel = s.TransactionLevel();
        s.IncDeletedCount();
    } else {
        s.ReleaseSlot(rec->RecordID);
        s.FreeRecord(rec, true, true);
    }
    s.SetModified(true);
    MarkViewDirty();
}

void TzohCustomMemTable::DoAfterPost()
{
    TDataSet::DoAfterPost();
    if (FAttachedAutoRefresh) FStore->RefreshOtherTables(this);
}

void TzohCustomMemTable::DoAfterDelete()
{
    TDataSet::DoAfterDelete();
    if (FAttachedAutoRefresh) FStore->RefreshOtherTables(this);
}

// ---------------------------------------------------------------- transactions

void TzohCustomMemTable::StartTransaction()
{
    CheckActive();
    if (!FStore->VersioningEnabled() || FStore->VersioningMode() != mtvmAllSinceCheckPoint)
        throw EMemTableError(QStringLiteral("Transactioning requires multiversion versioning."));
    FStore->IncTransactionLevel();
}

void TzohCustomMemTable::Commit()
{
    CheckActive();
    if (FStore->TransactionLevel() <= 0) return;
    {
        TzohCommon::TLocker lock(FStore);
        FStore->Commit();
        FStore->RebuildAllIndexes();
    }
    Refresh();
}

void TzohCustomMemTable::Rollback()
{
    CheckActive();
    if (FStore->TransactionLevel() <= 0) return;
    CheckBrowseMode();
    {
        TzohCommon::TLocker lock(FStore);
        FStore->Rollback();
        FStore->RebuildAllIndexes();
    }
    Refresh();
}

// ---------------------------------------------------------------- indexes

TzohResolvedField TzohCustomMemTable::ResolveField(const QString& name) const
{
    TField* f = FieldByName(name);
    TzohResolvedField r;
    r.Slot = SlotOf(f);
    r.DataType = f->DataType();
    r.Kind = f->FieldKind();
    r.DisplayName = f->DisplayName();
    return r;
}

bool TzohCustomMemTable::IndexHostBelongs(TzohIndex* index, TzohStoredRecord* rec)
{
    if (!OnFilterIndex) return true;
    bool accept = true;
    RunOnRecord(rec, [&] { OnFilterIndex(this, index, accept); });
    return accept;
}

bool TzohCustomMemTable::IndexHostCompareFields(const TzohListField& field, const TzohStoredRecord* key,
                                                const TzohStoredRecord* rec, TzohMemTableCompareOptions options,
                                                bool& fullCompare, int& result)
{
    if (!OnCompareFields) return false;
    TField* f = nullptr;
    for (TField* c : Fields())
        if (SlotOf(c) == field.Slot) {
            f = c;
            break;
        }
    if (!f) return false;
    result = 0;
    OnCompareFields(this, f, f, f->DataType(), options, ReadValue(key, field.Slot), ReadValue(rec, field.Slot),
                    fullCompare, result);
    return true;
}

TzohIndex* TzohCustomMemTable::FindIndex(const QString& name) const
{
    if (name.compare(kRowOrderName, Qt::CaseInsensitive) == 0) return FRowOrder.get();
    for (const auto& i : FIndexes)
        if (i->Name().compare(name, Qt::CaseInsensitive) == 0) return i.get();
    return nullptr;
}

void TzohCustomMemTable::DropIndexes()
{
    FIndexes.clear();
    FCurrentIndex = FRowOrder.get();
    MarkViewDirty();
}

std::unique_ptr<TzohIndex> TzohCustomMemTable::MakeIndex(const TIndexDef* d)
{
    if (d->Name().isEmpty() || d->Fields().isEmpty())
        throw EMemTableError(QStringLiteral("Missing Name or FieldNames in IndexDef!"));
    return std::make_unique<TzohIndex>(this, d->Name(), false, true, quint32(int(d->Options())), d->Fields(),
                                       [this](const QString& n) { return ResolveField(n); });
}

void TzohCustomMemTable::RebuildIndexesFromDefs(bool sort)
{
    DropIndexes();
    for (int i = 0; i < IndexDefs().Count(); ++i) {
        auto idx = MakeIndex(IndexDefs()[i]);
        idx->SetPosition(int(FIndexes.size()) + 1);
        FIndexes.push_back(std::move(idx));
    }
    if (sort) {
        FRowOrder->RebuildAndSort();
        for (auto& idx : FIndexes) idx->RebuildAndSort();
    } else {
        for (auto& idx : FIndexes) idx->SetUpToDate(false);
    }
    MarkViewDirty();
}

void TzohCustomMemTable::SyncIndexesWithDefs()
{
    bool changed = false;
    for (size_t i = 0; i < FIndexes.size();) {
        if (IndexDefs().IndexOf(FIndexes[i]->Name()) < 0) {
            if (FCurrentIndex == FIndexes[i].get()) {
                FCurrentIndex = FRowOrder.get();
                FIndexFieldNames.clear();
                changed = true;
            }
            FIndexes.erase(FIndexes.begin() + qsizetype(i));
        } else {
            ++i;
        }
    }
    for (int i = 0; i < IndexDefs().Count(); ++i) {
        const TIndexDef* d = IndexDefs()[i];
        if (!FindIndex(d->Name())) FIndexes.push_back(MakeIndex(d));
    }
    for (size_t i = 0; i < FIndexes.size(); ++i) FIndexes[i]->SetPosition(int(i) + 1);
    if (!FRowOrder->UpToDate()) {
        FRowOrder->RebuildAndSort();
        changed = true;
    }
    for (auto& idx : FIndexes)
        if (!idx->UpToDate()) {
            idx->RebuildAndSort();
            changed = true;
        }
    if (changed) MarkViewDirty();
}

void TzohCustomMemTable::SelectIndex(TzohIndex* index)
{
    if (!index || index == FCurrentIndex) return;
    if (Active()) CheckBrowseMode();
    FCurrentIndex = index;
    FIndexFieldNames = index->RowOrder() ? QString() : index->FieldNames();
    FIndexName = index->RowOrder() ? QString() : index->Name();
    if (!index->UpToDate() && Active()) index->RebuildAndSort();
    MarkViewDirty();
    if (Active()) Resync();
}

void TzohCustomMemTable::ApplyIndexSelection()
{
    if (!FIndexFieldNames.isEmpty()) {
        for (auto& i : FIndexes)
            if (i->FieldNames().compare(FIndexFieldNames, Qt::CaseInsensitive) == 0) return SelectIndex(i.get());
    } else if (!FIndexName.isEmpty()) {
        if (TzohIndex* i = FindIndex(FIndexName)) SelectIndex(i);
    }
}

void TzohCustomMemTable::SetIndexFieldNames(const QString& names)
{
    FIndexFieldNames = names;
    if (!names.isEmpty()) FIndexName.clear();
    if (!Active()) return;
    if (names.isEmpty()) return SelectIndex(FRowOrder.get());
    ApplyIndexSelection();
}

void TzohCustomMemTable::SetIndexName(const QString& name)
{
    FIndexName = name;
    if (!name.isEmpty()) FIndexFieldNames.clear();
    if (!Active()) return;
    if (name.isEmpty()) return SelectIndex(FRowOrder.get());
    ApplyIndexSelection();
}

// ---------------------------------------------------------------- filter

void TzohCustomMemTable::ParseFilter()
{
    FFilterExpr.reset();
    const QString text = Filter().trimmed();
    if (text.isEmpty() || !Active()) return;
    int options = 0;
    if (FilterOptions().testFlag(foCaseInsensitive)) options |= zfoCaseInsensitive;
    if (FilterOptions().testFlag(foNoPartialCompare)) options |= zfoNoPartialCompare;
    FFilterExpr = std::make_unique<TzohFilterExpr>(text, options, [this](const QString& name) {
        TField* f = FieldByName(name);
        return TzohFilterField{Fields().IndexOf(f), int(f->DataType())};
    });
}

bool TzohCustomMemTable::RecordMatchesFilter(TRecordId id)
{
    TzohStoredRecord* rec = RecordOf(id);
    return rec && AcceptRecord(rec, true);
}

bool TzohCustomMemTable::IsIndexField(const TField* field) const
{
    const int slot = SlotOf(field);
    return slot >= 0 && FCurrentIndex && FCurrentIndex->Fields().IndexOfSlot(slot) >= 0;
}

void TzohCustomMemTable::FilterChanged()
{
    ParseFilter();
    MarkViewDirty();
}

// ---------------------------------------------------------------- master/detail

TDataSource* TzohCustomMemTable::MasterSource() const
{
    return FMasterLink ? FMasterLink->DataSource() : nullptr;
}

void TzohCustomMemTable::SetMasterSource(TDataSource* source)
{
    if (source && source->DataSet() == this)
        DatabaseError(QStringLiteral("Selfreferencing master/detail relations not allowed."), this);
    if (!FMasterLink) FMasterLink = std::make_unique<TzohMasterLink>(this);
    FMasterLink->SetDataSource(source);
    if (Active()) {
        BuildMasterLists();
        MasterChanged();
    }
}

void TzohCustomMemTable::SetMasterFields(const QString& fields)
{
    FMasterFields = fields;
    if (Active()) {
        BuildMasterLists();
        MasterChanged();
    }
}

void TzohCustomMemTable::SetDetailFields(const QString& fields)
{
    FDetailFields = fields;
    if (Active()) {
        BuildMasterLists();
        MasterChanged();
    }
}

void TzohCustomMemTable::BuildMasterLists()
{
    FMasterList.clear();
    FDetailList.Clear();
    TDataSet* master = FMasterLink ? FMasterLink->DataSet() : nullptr;
    if (master && master->Active() && !FMasterFields.isEmpty()) master->GetFieldList(FMasterList, FMasterFields);
    if (!FDetailFields.isEmpty()) BuildFieldList(FDetailList, FDetailFields, [this](const QString& n) { return ResolveField(n); });
}

void TzohCustomMemTable::MasterChanged()
{
    if (!Active()) return;
    if (FMasterLink && FMasterLink->Active() && FMasterList.isEmpty()) BuildMasterLists();
    if (FMasterLink && FMasterLink->Active() && !FMasterList.isEmpty()) {
        if (!FMasterValues) FMasterValues = FStore->AllocRecord();
        FMasterValues->RecordNumber = 0;
        const TzohFieldList& list = DetailKeyList();
        const int n = qMin(int(FMasterList.size()), list.Count());
        for (int i = 0; i < n; ++i)
            if (list.Field(i).Slot >= 0) WriteKeyValue(FMasterValues, list.Field(i).Slot, FMasterList[i]->Value());
    }
    CheckBrowseMode();
    MarkViewDirty();
    First();
}

// ---------------------------------------------------------------- locate and lookup

void TzohCustomMemTable::WriteKeyValue(TzohStoredRecord* rec, int slot, const TVariant& v)
{
    TzohCommon& s = *FStore;
    const TzohSlot& f = s.Slot(slot);
    if (v.IsNullOrEmpty()) {
        SetNull(s, rec, slot);
        if (!f.VarLength()) std::memset(s.FixedData(rec, slot), 0, size_t(f.DataSize));
        return;
    }
    switch (f.DataType) {
    case zft::Date: case zft::Time: case zft::DateTime: {
        TDateTime dt = v.IsString() ? StrToDateTime(v.AsString()) : v.AsDateTime();
        SetDateTime(s, rec, slot, dt);
        return;
    }
    case zft::Largeint: SetInteger(s, rec, slot, qint64(std::trunc(v.AsDouble()))); return;
    case zft::BCD: case zft::Bytes: case zft::VarBytes:
        // No key form is defined: present with zero bytes.
        std::memset(s.FixedData(rec, slot), 0, size_t(f.DataSize));
        s.FieldAddress(rec, slot)[0] = 1;
        return;
    default: WriteValue(rec, slot, v); return;
    }
}

void TzohCustomMemTable::WriteKeyValues(TzohStoredRecord* rec, const TzohFieldList& list, const TVariant& values)
{
    if (list.Count() == 0) throw EMemTableError(QStringLiteral("There must be at least one field"));
    if (values.IsArray()) {
        if (values.ArrayCount() < list.Count()) throw EMemTableError(QStringLiteral("More fields than values"));
        for (int i = 0; i < list.Count(); ++i) WriteKeyValue(rec, list.Field(i).Slot, values[i]);
        return;
    }
    if (list.Count() > 1) throw EMemTableError(QStringLiteral("More fields than values"));
    WriteKeyValue(rec, list.Field(0).Slot, values);
}

int TzohCustomMemTable::FindKeyPosition(const QString& keyFields, const TVariant& keyValues, TLocateOptions options)
{
    CheckActive();
    CheckBrowseMode();
    TzohFieldList list;
    BuildFieldList(list, keyFields, [this](const QString& n) { return ResolveField(n); });
    for (int i = 0; i < list.Count(); ++i) {
        if (list.Field(i).Slot < 0) return -2;   // a calculated key: the framework's own search
        TzohMemTableCompareOptions o = list.Options(i);
        if (options.testFlag(loCaseInsensitive)) o |= mtcoCaseInsensitive;
        if (options.testFlag(loPartialKey)) o |= mtcoPartialKey;
        list.SetOptions(i, o);
    }
    TzohCommon::TLocker lock(FStore);
    TzohStoredRecord* key = FStore->AllocRecord();
    key->RecordNumber = 0;
    TScopeExit release([this, key] { FStore->FreeRecord(key, true, false); });
    WriteKeyValues(key, list, keyValues);
    Progress(0, mtpcSearch);
    const TzohStoredRecord* found = nullptr;
    // The index search only when the index orders by the same fields the same way.
    bool sameOrder = FCurrentIndex->UpToDate() && !FCurrentIndex->RowOrder() && list.SameAs(FCurrentIndex->Fields());
    for (int i = 0; sameOrder && i < list.Count(); ++i) {
        const quint32 mask = mtcoDescending | mtcoCaseInsensitive | mtcoIgnoreLocale;
        if ((list.Options(i) & mask) != (FCurrentIndex->Fields().Options(i) & mask)) sameOrder = false;
    }
    if (sameOrder) {
        int pos = -1;
        if (FCurrentIndex->Search(&list, key, true, false, pos) == 0 && pos >= 0 && pos < FCurrentIndex->Count())
            found = FCurrentIndex->At(pos);
    } else {
        for (TzohStoredRecord* r : FCurrentIndex->Records())
            if (FCurrentIndex->CompareRecords(list, key, false, false, r) == 0 && AcceptRecord(r, false)) {
                found = r;
                break;
            }
    }
    Progress(100, mtpcSearch);
    return found ? ViewPosition(IdOf(found)) : -1;
}

bool TzohCustomMemTable::Locate(const QString& keyFields, const TVariant& keyValues, TLocateOptions options)
{
    const int pos = FindKeyPosition(keyFields, keyValues, options);
    if (pos == -2) return TDataSet::Locate(keyFields, keyValues, options);
    if (pos < 0) return false;
    GotoBookmark(TBookmark(ViewRecord(pos)));
    return true;
}

TVariant TzohCustomMemTable::Lookup(const QString& keyFields, const TVariant& keyValues, const QString& resultFields)
{
    const int pos = FindKeyPosition(keyFields, keyValues, {});
    if (pos == -2) return TDataSet::Lookup(keyFields, keyValues, resultFields);
    if (pos < 0) return TVariant::Null();
    TzohStoredRecord* rec = RecordOf(ViewRecord(pos));
    QList<TField*> fields;
    GetFieldList(fields, resultFields);
    std::vector<TVariant> values;
    for (TField* f : fields) {
        const int slot = SlotOf(f);
        if (slot >= 0) {
            values.push_back(ReadValue(rec, slot));
        } else {
            TVariant v = TVariant::Null();
            RunOnRecord(rec, [&] { v = f->Value(); });
            values.push_back(v);
        }
    }
    if (values.size() == 1) return values[0];
    return TVariant::ArrayOf(std::move(values));
}

// ---------------------------------------------------------------- delta handler

void TzohCustomDeltaHandler::ApplyDeltas()
{
    if (!FTable) throw EMemTableError(QStringLiteral("Delta handler is not assigned to any memorytables."));
    TzohCommon* s = FTable->Store();
    TzohCommon::TLocker lock(s);
    for (int id = 0; id < s->RecordCount(); ++id) {
        const TzohStoredRecord* rec = s->Record(id);
        if (!rec) continue;
        const TzohStoredRecord* oldest = rec;
        while (oldest->PreviousVersion) oldest = oldest->PreviousVersion;
        FNewest = rec;
        FOldest = oldest;
        if (rec->UpdateStatus == usDeleted) {
            if (oldest->UpdateStatus == usInserted) ApplyUnmodified();
            else ApplyDeleted();
        } else if (oldest->UpdateStatus == usInserted) {
            ApplyInserted();
        } else if (rec->UpdateStatus == usModified) {
            ApplyModified();
        } else {
            ApplyUnmodified();
        }
    }
    FNewest = FOldest = nullptr;
}
