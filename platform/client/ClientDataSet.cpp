#include "platform/client/ClientDataSet.h"

#include "platform/core/ScopeExit.h"
#include "platform/client/ClientFilter.h"
#include "platform/client/ClientPacket.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Counts a cursor's own changes of the store, so that it does not resync in their middle.
class TOwnChange {
public:
    explicit TOwnChange(int& counter) : FCounter(counter) { ++FCounter; }
    ~TOwnChange() { --FCounter; }
    TOwnChange(const TOwnChange&) = delete;
    TOwnChange& operator=(const TOwnChange&) = delete;

private:
    int& FCounter;
};

bool SameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty()) return false;
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

TPacketFormat PacketFormatOf(TDataPacketFormat format)
{
    switch (format) {
    case dfXML: return pfXml;
    case dfXMLUTF8: return pfXmlUtf8;
    default: return pfBinary;
    }
}

bool IsTextKind(TPacketValueKind k)
{
    return k == pkAnsiString || k == pkWideString;
}

// Key parts of a level's DEFAULT_ORDER parameter: 1-based field numbers with 0x8000 for
// descending and 0x4000 for case-insensitive.
std::vector<TKeyPart> DefaultOrderParts(const TRecordStore& store, int level)
{
    std::vector<TKeyPart> parts;
    const TPacketLevel& pl = store.Metadata().Level(level);
    if (!pl.Params) return parts;
    const std::vector<qint64> order = pl.Params->DefaultOrder();
    if (order.empty()) return parts;
    const std::vector<int> cols = DescriptorColumns(pl);
    for (qint64 v : order) {
        const int fieldNo = int(v & 0x3FFF);
        if (fieldNo < 1 || fieldNo > int(cols.size())) return {};
        const int col = cols[size_t(fieldNo - 1)];
        if (col < 0 || !store.Level(level).Columns[size_t(col)].Indexable) return {};
        parts.push_back({col, (v & 0x8000) != 0, (v & 0x4000) != 0});
    }
    return parts;
}

// The next auto-increment value of a packet without one: past the largest stored value.
void FindNextAutoInc(TRecordStore& store)
{
    if (store.Metadata().Params.AutoIncValue()) return;
    const TPacketLevel& pl = store.Metadata().Level(0);
    const TStoreLevel& lv = store.Level(0);
    for (const TPacketColumn& pc : pl.Columns) {
        if (!pc.Field || pc.Kind != pkInt32 || pc.Field->Params.SubType().compare("Autoinc", Qt::CaseInsensitive) != 0) continue;
        const int col = int(&pc - pl.Columns.data());
        qint64 next = 1;
        for (TSlotNo s = 1; s <= lv.SlotCount(); ++s) {
            const char* b = lv.Block(s);
            if (lv.State(b, col) != csValue) continue;
            qint32 v;
            std::memcpy(&v, b + lv.Columns[size_t(col)].Offset, 4);
            next = qMax<qint64>(next, qint64(v) + 1);
        }
        store.SetNextAutoInc(next);
        return;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Life

TClientDataSet::TClientDataSet(QObject* owner) : TDataSet(owner) {}

TClientDataSet::~TClientDataSet()
{
    // Freed while open: the file still gets the data it is owed.
    if (Active()) {
        try {
            if (!IsNested() && !FFileName.isEmpty() && FStore && !ReadOnly() && FStore->Version() != FSavedVersion)
                SaveToFile(FFileName);
        } catch (const std::exception& e) {
            // Nobody is left to catch it: the application says what was not written.
            ApplicationShowException(e);
        }
    }
    CloseOnDestroy();
    ReleaseStore();
}

TClientDataSet* TClientDataSet::ParentClientDataSet() const
{
    return qobject_cast<TClientDataSet*>(ParentDataSet());
}

void TClientDataSet::AttachStore(std::shared_ptr<TRecordStore> store, int level)
{
    ReleaseStore();
    FStore = std::move(store);
    FLevel = level;
}

void TClientDataSet::SetFileName(const QString& fileName)
{
    // Definitions read from the old file while closed must not stand for the new one.
    if (!Active() && FStore && !FStoreFile.isEmpty() && fileName != FStoreFile) ReleaseStore();
    FFileName = fileName;
}

void TClientDataSet::ReleaseStore()
{
    FStoreFile.clear();
    FDiskFile.clear();
    if (!FStore) return;
    FStore->Detach(this);
    FOrder.reset();
    FUniqueOrders.clear();
    FUniqueKeys.clear();
    FKey.clear();
    FView = nullptr;
    FMaterialized = false;
    FOwnView.Clear();
    FFilterExpr.reset();
    FFindExpr.reset();
    FBindings.clear();
    FStore.reset();
    FLevel = 0;
    FOwner = NoRec;
    FReserved = NoRec;
    FEditMarks.clear();
}

// ---------------------------------------------------------------------------------------------
// Creating, loading and saving

void TClientDataSet::CreateDataSet()
{
    CheckInactive();
    if (IsNested()) DatabaseError(QStringLiteral("A nested dataset is created with its master"), this);
    if (FieldDefs().Count() == 0) {
        for (TField* f : Fields()) {
            if (f->FieldKind() != fkData) continue;
            TFieldDef* d = FieldDefs().AddFieldDef();
            d->SetName(f->FieldName());
            d->SetDataType(f->DataType());
            d->SetSize(f->Size());
            d->SetRequired(f->Required());
            if (auto* bcd = qobject_cast<TBCDField*>(f)) d->SetPrecision(bcd->Precision());
        }
    }
    if (FieldDefs().Count() == 0) DatabaseError(QStringLiteral("Cannot create a dataset without fields"), this);
    TPacketMetadata meta;
    meta.Fields = DescriptorsFromFieldDefs(FieldDefs());
    if (FCreateLocale) meta.Params.Set(TPacketParam::MakeInt("LCID", PacketTypeWord::Int32, qint64(FCreateLocale)));
    for (const TPacketFieldDesc& f : meta.Fields)
        if (f.Params.SubType() == "Autoinc") {
            meta.Params.Set(TPacketParam::MakeInt("AUTOINCVALUE", PacketTypeWord::Int32, 1));
            break;
        }
    try {
        meta.Prepare();
    } catch (const EPacketError& e) {
        DatabaseError(e.Message(), this);
    }
    auto store = std::make_shared<TRecordStore>(meta);
    store->FinishLoad();
    store->SetLogChanges(FLogChanges);
    AttachStore(store, 0);
    FSavedVersion = FStore->Version();
    Open();
}

void TClientDataSet::AdoptLoaded(TStoreLoader& loader, const QString& what)
{
    AdoptStore(loader.TakeStore(), what);
}

void TClientDataSet::AdoptStore(std::shared_ptr<TRecordStore> store, const QString& what)
{
    if (!store) DatabaseError(QStringLiteral("%1: no data packet").arg(what), this);
    store->SetLogChanges(FLogChanges);
    FindNextAutoInc(*store);
    AttachStore(store, 0);
    FSavedVersion = FStore->Version();
}

void TClientDataSet::LoadPacket(const QByteArray& bytes, const QString& what)
{
    TStoreLoader loader;
    try {
        ReadPacket(bytes, loader);
    } catch (const EPacketError& e) {
        DatabaseError(QStringLiteral("%1: %2").arg(what, e.Message()), this);
    }
    AdoptLoaded(loader, what);
}

void TClientDataSet::ReadFile(const QString& fileName)
{
    // Stamped before reading: a change while it is read counts as a change.
    const TFileStamp stamp = FileStamp(fileName);
    std::shared_ptr<TRecordStore> store;
    try {
        store = LoadStoreFile(fileName);
    } catch (const EPacketError& e) {
        DatabaseError(e.Message(), this);
    }
    AdoptStore(std::move(store), fileName);
    FDiskFile = fileName;
    FDiskStamp = stamp;
}

void TClientDataSet::LoadFromFile(const QString& fileName)
{
    if (IsNested()) DatabaseError(QStringLiteral("A nested dataset gets its data from its master"), this);
    const QString name = fileName.isEmpty() ? FFileName : fileName;
    if (name.isEmpty()) DatabaseError(QStringLiteral("Missing file name"), this);
    Close();
    ReleaseStore();
    ReadFile(name);
    Open();
}

void TClientDataSet::LoadFromStream(QIODevice& stream)
{
    if (IsNested()) DatabaseError(QStringLiteral("A nested dataset gets its data from its master"), this);
    const QByteArray bytes = stream.readAll();
    Close();
    ReleaseStore();
    LoadPacket(bytes, QStringLiteral("Data packet"));
    Open();
}

TStoreSource TClientDataSet::PacketSource() const
{
    if (!FStore) DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"), this);
    TStoreSource source(*FStore);
    // Each level's default order is worked out once, not again for every master row.
    std::vector<std::vector<TKeyPart>> orders;
    for (int level = 0; level < FStore->LevelCount(); ++level) orders.push_back(DefaultOrderParts(*FStore, level));
    source.SortLevel = [&store = *FStore, orders = std::move(orders)](int level, std::vector<TRecIndex>& recs) {
        const std::vector<TKeyPart>& parts = orders[size_t(level)];
        if (!parts.empty()) SortRecords(store, level, parts, recs);
    };
    return source;
}

QByteArray TClientDataSet::WritePacketBytes(TDataPacketFormat format) const
{
    TStoreSource source = PacketSource();
    try {
        return WritePacket(source, PacketFormatOf(format));
    } catch (const EPacketError& e) {
        DatabaseError(e.Message(), this);
    }
}

void TClientDataSet::SaveToFile(const QString& fileName, TDataPacketFormat format)
{
    const QString name = fileName.isEmpty() ? FFileName : fileName;
    if (name.isEmpty()) DatabaseError(QStringLiteral("Missing file name"), this);
    CheckActive();
    if (IsNested()) DatabaseError(QStringLiteral("A nested dataset is saved with its master"), this);
    CheckBrowseMode();
    if (format == dfBinary && name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)) format = dfXML;
    // Another program's changes to the file are not overwritten without asking.
    if (SameFile(name, FDiskFile)) {
        const TFileStamp now = FileStamp(name);
        if (now.Exists && now != FDiskStamp &&
            !ApplicationConfirm(QStringLiteral("The file \"%1\" has been changed by another program since it was read.\n"
                                               "Overwrite it?").arg(QDir::toNativeSeparators(name))))
            Abort();
    }
    // Streamed from the writer's buffers into the atomic writer: no second copy of the packet.
    TStoreSource source = PacketSource();
    try {
        SavePacketFile(source, name, PacketFormatOf(format));
    } catch (const EPacketError& e) {
        DatabaseError(e.Message(), this);
    }
    if (name == FFileName || SameFile(name, FFileName)) FSavedVersion = FStore->Version();
    if (FDiskFile.isEmpty() || SameFile(name, FDiskFile) || SameFile(name, FFileName)) {
        FDiskFile = name;
        FDiskStamp = FileStamp(name);
    }
}

void TClientDataSet::SaveToStream(QIODevice& stream, TDataPacketFormat format)
{
    CheckActive();
    if (IsNested()) DatabaseError(QStringLiteral("A nested dataset is saved with its master"), this);
    CheckBrowseMode();
    const QByteArray bytes = WritePacketBytes(format);
    if (stream.write(bytes) != bytes.size())
        DatabaseError(QStringLiteral("Cannot write the data packet: %1").arg(stream.errorString()), this);
}

QByteArray TClientDataSet::Data() const
{
    if (!FStore || !Active() || FLevel != 0) return QByteArray();
    return WritePacketBytes(dfBinary);
}

void TClientDataSet::SetData(const QByteArray& packet)
{
    if (IsNested()) DatabaseError(QStringLiteral("A nested dataset gets its data from its master"), this);
    Close();
    ReleaseStore();
    if (packet.isEmpty()) return;
    LoadPacket(packet, QStringLiteral("Data packet"));
    Open();
}

QByteArray TClientDataSet::Delta() const
{
    if (!FStore || !Active() || FLevel != 0) return QByteArray();
    TDeltaSource source(*FStore);
    try {
        return WritePacket(source, pfBinary);
    } catch (const EPacketError& e) {
        DatabaseError(e.Message(), this);
    }
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

void TClientDataSet::InternalInitFieldDefs()
{
    if (IsNested() && !FFixed) {
        TClientDataSet* parent = ParentClientDataSet();
        if (!parent) DatabaseError(QStringLiteral("The master of a nested client dataset must be a client dataset"), this);
        if (parent->Active() && parent->FStore) {
            const TDataSetField* field = DataSetField();
            const int fieldNo = field->FieldNo();
            const TPacketLevel& pl = parent->FStore->Metadata().Level(parent->FLevel);
            const std::vector<int> cols = DescriptorColumns(pl);
            if (fieldNo < 1 || fieldNo > int(cols.size()) || cols[size_t(fieldNo - 1)] < 0)
                DatabaseErrorFmt(QStringLiteral("Field '%s' is not a nested dataset of its master"), {field->FieldName()}, this);
            const int level = parent->FStore->Level(parent->FLevel).Columns[size_t(cols[size_t(fieldNo - 1)])].NestedLevel;
            if (level < 0) DatabaseErrorFmt(QStringLiteral("Field '%s' is not a nested dataset of its master"), {field->FieldName()}, this);
            FieldDefsFromDescriptors(*parent->FStore->Metadata().Level(level).Fields, FieldDefs());
        } else {
            const int i = parent->FieldDefs().IndexOf(DataSetField()->FieldName());
            if (i >= 0) FieldDefs().Assign(*parent->FieldDefs().Items(i)->ChildDefs());
        }
        return;
    }
    if (!FStore && !FFileName.isEmpty()) {
        ReadFile(FFileName);
        FStoreFile = FFileName;
    }
    if (FStore) FieldDefsFromDescriptors(*FStore->Metadata().Level(FLevel).Fields, FieldDefs());
}

void TClientDataSet::InternalOpen()
{
    if (IsNested() && !FFixed) {
        TClientDataSet* parent = ParentClientDataSet();
        if (!parent || !parent->Active() || !parent->FStore)
            DatabaseError(QStringLiteral("The master of a nested dataset is not open"), this);
        const int fieldNo = DataSetField()->FieldNo();
        const std::vector<int> cols = DescriptorColumns(parent->FStore->Metadata().Level(parent->FLevel));
        const int col = fieldNo >= 1 && fieldNo <= int(cols.size()) ? cols[size_t(fieldNo - 1)] : -1;
        const int level = col >= 0 ? parent->FStore->Level(parent->FLevel).Columns[size_t(col)].NestedLevel : -1;
        if (level < 0) DatabaseError(QStringLiteral("The nested dataset does not match its master"), this);
        AttachStore(parent->FStore, level);
    }
    if (!FStore) DatabaseError(QStringLiteral("Missing data provider or data packet"), this);
    try {
        FStore->Attach(this);
        BindColumns();
        IndexDefs().Update();
        ApplyIndex();
        RebuildUniqueOrders();
        FFilterExpr.reset();
        if (Filtered()) FFilterExpr = NewFilterExpr();
        FOwner = FLevel > 0 ? CurrentOwner() : NoRec;
        RebuildView();
        CreateNestedDataSets();
    } catch (...) {
        if (!IsNested() || FFixed) {
            // A dataset that failed to open keeps its data for the next try.
            FStore->Detach(this);
        } else {
            ReleaseStore();
        }
        throw;
    }
}

void TClientDataSet::InternalClose()
{
    CloseNestedDataSets();
    ReleaseStore();
}

void TClientDataSet::DoAfterOpen()
{
    for (TDataSet* nested : NestedDataSets())
        if (!nested->Active()) nested->Open();
    TDataSet::DoAfterOpen();
}

void TClientDataSet::DoBeforeClose()
{
    TDataSet::DoBeforeClose();
    if (!IsNested() && !FFileName.isEmpty() && FStore && !ReadOnly() && FStore->Version() != FSavedVersion)
        SaveToFile(FFileName);
    CloseNestedDataSets();
}

void TClientDataSet::CloseNestedDataSets()
{
    const QList<TDataSet*> nested = NestedDataSets();
    for (TDataSet* ds : nested)
        if (ds->Active()) ds->Close();
}

void TClientDataSet::CreateNestedDataSets()
{
    for (TField* f : Fields()) {
        auto* field = qobject_cast<TDataSetField*>(f);
        if (!field || field->NestedDataSet()) continue;
        auto* nested = new TClientDataSet(field);
        nested->setObjectName(field->FieldName());
        nested->SetDataSetField(field);
    }
}

void TClientDataSet::BindColumns()
{
    const TPacketLevel& pl = FStore->Metadata().Level(FLevel);
    const std::vector<int> cols = DescriptorColumns(pl);
    FBindings.assign(pl.Fields ? pl.Fields->size() : 0, TColumnBinding());
    for (size_t i = 0; i < FBindings.size(); ++i) {
        const TPacketFieldDesc& d = (*pl.Fields)[i];
        TColumnBinding& b = FBindings[i];
        int size = 0, precision = 0;
        b.Column = cols[i];
        b.Type = FieldTypeOfDescriptor(d, size, precision);
        b.WideText = IsWideTextDescriptor(d);
        b.CodePage = FStore->CodePage();
        b.Precision = precision;
        b.Scale = size;
    }
    for (TField* f : Fields()) {
        const TColumnBinding* b = Binding(f);
        if (!b) continue;
        if (auto* s = qobject_cast<TStringField*>(f)) s->SetCodePage(b->CodePage);
        if (auto* blob = qobject_cast<TBlobField*>(f)) blob->SetCodePage(b->WideText ? TBlobField::WideTextCodePage : b->CodePage);
    }
}

const TColumnBinding* TClientDataSet::Binding(const TField* field) const
{
    const int n = field->FieldNo();
    if (n < 1 || n > int(FBindings.size()) || field->FieldKind() != fkData) return nullptr;
    const TColumnBinding* b = &FBindings[size_t(n - 1)];
    return b->Column >= 0 ? b : nullptr;
}

bool TClientDataSet::ResolveField(const QString& name, TColumnBinding& binding) const
{
    TField* f = FindField(name);
    if (f) {
        const TColumnBinding* b = Binding(f);
        if (!b) return false;
        binding = *b;
        binding.Type = f->DataType();
        return true;
    }
    const int i = const_cast<TClientDataSet*>(this)->FieldDefs().IndexOf(name);
    if (i < 0 || i >= int(FBindings.size()) || FBindings[size_t(i)].Column < 0) return false;
    binding = FBindings[size_t(i)];
    return true;
}

// ---------------------------------------------------------------------------------------------
// The view

int TClientDataSet::ViewCount() const
{
    return FView ? FView->Count() : 0;
}

TRecordId TClientDataSet::ViewRecord(int position) const
{
    return FView ? TRecordId(FView->At(position)) : NoRecord;
}

int TClientDataSet::ViewPosition(TRecordId id) const
{
    if (!FView || id < 0 || id >= TRecordId(NoRec)) return -1;
    return FView->IndexOf(quint32(id));
}

TSlotNo TClientDataSet::SlotOf(TRecordId id) const
{
    if (!FStore || id < 0 || id >= TRecordId(NoRec)) return NoSlot;
    return FStore->Level(FLevel).Current(TRecIndex(id));
}

TUpdateStatus TClientDataSet::StatusOf(TRecIndex rec) const
{
    const TStoreLevel& lv = FStore->Level(FLevel);
    const TSlotNo s = lv.Current(rec);
    if (!s) return usUnmodified;
    const quint8 st = lv.Status(s);
    if (st & prsDeleted) return usDeleted;
    if (st & prsInserted) return usInserted;
    if (st & (prsModified | prsDetailsChanged)) return usModified;
    return usUnmodified;
}

TUpdateStatus TClientDataSet::UpdateStatus() const
{
    if (!FStore || !Active()) return usUnmodified;
    const TRecordId id = ReadRecord();
    if (id == NoRecord) return State() == dsInsert ? usInserted : usUnmodified;
    return StatusOf(TRecIndex(id));
}

bool TClientDataSet::ViewFiltered() const
{
    return !FStatusFilter.IsEmpty() || (Filtered() && (FFilterExpr || OnFilterRecord));
}

bool TClientDataSet::ViewIsTrivial() const
{
    return !ViewFiltered() && (FStore->IsDelta() || FStore->DeletedCount(FLevel) == 0);
}

bool TClientDataSet::Passes(TRecIndex rec)
{
    const TSlotNo slot = FStore->Level(FLevel).Current(rec);
    if (!slot) return false;
    if (FStatusFilter.IsEmpty()) {
        if (!FStore->IsVisible(FLevel, rec)) return false;
    } else if (!FStatusFilter.Contains(StatusOf(rec))) {
        return false;
    }
    if (Filtered()) {
        if (FFilterExpr && !FFilterExpr->Matches(slot)) return false;
        if (OnFilterRecord && !FilterRecord(TRecordId(rec))) return false;
    }
    return true;
}

void TClientDataSet::RebuildView()
{
    FView = nullptr;
    FMaterialized = false;
    if (!FStore) return;
    std::vector<TRecIndex> recs;
    if (FLevel > 0) {
        if (FOwner != NoRec) {
            if (const std::vector<TRecIndex>* list = FStore->Level(FLevel).ChildrenIf(FOwner)) {
                const std::vector<TRecIndex> copy = *list;
                for (TRecIndex r : copy)
                    if (Passes(r)) recs.push_back(r);
            }
        }
        SortRecords(*FStore, FLevel, FKey, recs);
        FOwnView.Assign(recs);
        FView = &FOwnView;
        FMaterialized = true;
        return;
    }
    const TIdList& base = FOrder ? FOrder->List() : FStore->RecordOrder();
    if (ViewIsTrivial()) {
        FOwnView.Clear();
        FView = &base;
        return;
    }
    recs.reserve(size_t(base.Count()));
    base.ForEach([&](quint32 rec) {
        if (Passes(rec)) recs.push_back(rec);
        return true;
    });
    FOwnView.Assign(recs);
    FView = &FOwnView;
    FMaterialized = true;
}

void TClientDataSet::UpdateViewFor(const TStoreChange& change)
{
    const TRecIndex rec = change.Rec;
    const int pos = FOwnView.IndexOf(rec);
    const bool pass = change.Kind != sckRemoved && Passes(rec);
    if (!pass) {
        if (pos >= 0) FOwnView.RemoveAt(pos);
        return;
    }
    const TIdList& base = FOrder ? FOrder->List() : FStore->RecordOrder();
    const int rank = base.IndexOf(rec);
    if (rank < 0) {
        if (pos >= 0) FOwnView.RemoveAt(pos);
        return;
    }
    if (pos >= 0) {
        if (!FOrder || change.Kind != sckModified) return;
        const bool inPlace = (pos == 0 || base.IndexOf(FOwnView.At(pos - 1)) < rank)
                          && (pos + 1 >= FOwnView.Count() || rank < base.IndexOf(FOwnView.At(pos + 1)));
        if (inPlace) return;
        FOwnView.RemoveAt(pos);
    }
    const int at = FOwnView.LowerBound([&](quint32 id) { return base.IndexOf(id) < rank; });
    FOwnView.Insert(at, rec);
}

TRecIndex TClientDataSet::CurrentOwner() const
{
    if (FFixed) return FFixedOwner;
    TClientDataSet* parent = ParentClientDataSet();
    if (!parent || !parent->Active()) return NoRec;
    if (parent->State() == dsInsert) return parent->FReserved;
    const TRecordId id = parent->CurrentRecord();
    return id < 0 ? NoRec : TRecIndex(id);
}

TRecIndex TClientDataSet::ReservedForNested()
{
    if (FReserved == NoRec && FStore) FReserved = FStore->ReserveRec(FLevel);
    return FReserved;
}

void TClientDataSet::ParentScrolled()
{
    if (!Active() || !FStore || FFixed) return;
    const TRecIndex owner = CurrentOwner();
    const bool moved = owner != FOwner;
    FOwner = owner;
    RebuildView();
    if (FOwnChange) return;
    if (moved && State() != dsEdit && State() != dsInsert) First();
    else Resync();
}

void TClientDataSet::StoreChanged(const TStoreChange& change)
{
    if (!FStore || !FView) return;
    if (change.Kind == sckReset) {
        if (FLevel == 0 && change.Level != 0) return;
        if (FLevel > 0 && !FFixed) FOwner = CurrentOwner();
        RebuildView();
    } else if (FLevel > 0) {
        if (change.Level != FLevel || change.Owner != FOwner) return;
        RebuildView();
    } else {
        if (change.Level != 0) return;
        if (!FMaterialized) {
            if (!ViewIsTrivial()) RebuildView();
        } else {
            UpdateViewFor(change);
        }
    }
    if (!FOwnChange && Active()) Resync();
}

void TClientDataSet::DataEvent(TDataEvent event, qintptr info)
{
    if (event == deParentScroll) {
        ParentScrolled();
        return;
    }
    TDataSet::DataEvent(event, info);
}

std::unique_ptr<TFilterExpr> TClientDataSet::NewFilterExpr() const
{
    if (Filter().trimmed().isEmpty()) return nullptr;
    return std::make_unique<TFilterExpr>(Filter(), *FStore, FLevel,
        [this](const QString& name, TColumnBinding& b) { return ResolveField(name, b); }, FilterOptions());
}

void TClientDataSet::FilterChanged()
{
    if (!FStore) return;
    FFilterExpr = Filtered() ? NewFilterExpr() : nullptr;
    RebuildView();
}

bool TClientDataSet::RecordMatchesFilter(TRecordId id)
{
    const TSlotNo slot = SlotOf(id);
    if (!slot) return false;
    const TFilterExpr* expr = nullptr;
    if (!Filter().trimmed().isEmpty()) {
        if (Filtered() && FFilterExpr) {
            expr = FFilterExpr.get();
        } else {
            if (!FFindExpr || FFindText != Filter() || FFindOptions != FilterOptions()) {
                FFindExpr.reset();
                FFindExpr = NewFilterExpr();
                FFindText = Filter();
                FFindOptions = FilterOptions();
            }
            expr = FFindExpr.get();
        }
    }
    if (expr && !expr->Matches(slot)) return false;
    return FilterRecord(id);
}

bool TClientDataSet::IsIndexField(const TField* field) const
{
    const TColumnBinding* b = Binding(field);
    if (!b) return false;
    for (const TKeyPart& p : FKey)
        if (p.Column == b->Column) return true;
    return false;
}

void TClientDataSet::InternalRefresh()
{
    RebuildView();
}

// ---------------------------------------------------------------------------------------------
// Values

bool TClientDataSet::GetRecordValue(TRecordId id, const TField* field, TVariant& value) const
{
    const TColumnBinding* b = Binding(field);
    const TSlotNo slot = SlotOf(id);
    if (!b || !slot) return false;
    const TStoreLevel& lv = FStore->Level(FLevel);
    TColumnBinding typed = *b;
    typed.Type = field->DataType();
    return ReadCell(*FStore, lv, FStore->CellBlock(lv, slot, b->Column), typed, value);
}

bool TClientDataSet::IsRecordValueNull(TRecordId id, const TField* field) const
{
    const TColumnBinding* b = Binding(field);
    const TSlotNo slot = SlotOf(id);
    if (!b || !slot) return true;
    const TStoreLevel& lv = FStore->Level(FLevel);
    if (lv.Columns[size_t(b->Column)].Kind == pkNested) return true;
    return FStore->CellBlock(lv, slot, b->Column) == nullptr;
}

bool TClientDataSet::GetOldRecordValue(TRecordId id, const TField* field, TVariant& value) const
{
    const TColumnBinding* b = Binding(field);
    if (!b || !SlotOf(id)) return false;
    const TStoreLevel& lv = FStore->Level(FLevel);
    const TSlotNo origin = lv.Origin(TRecIndex(id));
    if (!origin || (lv.Status(origin) & prsInserted)) return false;
    TColumnBinding typed = *b;
    typed.Type = field->DataType();
    return ReadCell(*FStore, lv, FStore->CellBlock(lv, origin, b->Column), typed, value);
}

// ---------------------------------------------------------------------------------------------
// Editing

bool TClientDataSet::GetCanModify() const
{
    if (!TDataSet::GetCanModify() || (FStore && FStore->IsDelta())) return false;
    // Nested rows change only where their master may.
    const TDataSet* parent = ParentDataSet();
    return !parent || parent->CanModify();
}

void TClientDataSet::InternalEdit(TRecordId id)
{
    if (!SlotOf(id)) DatabaseError(QStringLiteral("Record not found"), this);
    // Nested changes made while this record is edited are undone if the edit is cancelled.
    FEditMarks.clear();
    for (int child : FStore->Level(FLevel).ChildLevels) FEditMarks.push_back(FStore->Level(child).LogEntries());
}

void TClientDataSet::InternalInsert(bool append)
{
    Q_UNUSED(append)
    FEditMarks.clear();
    FReserved = NoRec;
}

void TClientDataSet::DoBeforePost()
{
    for (TDataSet* nested : NestedDataSets())
        if (nested->Active() && (nested->State() == dsEdit || nested->State() == dsInsert)) nested->CheckBrowseMode();
    TDataSet::DoBeforePost();
}

void TClientDataSet::DoBeforeCancel()
{
    TDataSet::DoBeforeCancel();
    for (TDataSet* nested : NestedDataSets())
        if (nested->Active() && (nested->State() == dsEdit || nested->State() == dsInsert)) nested->Cancel();
}

void TClientDataSet::CheckUnique(const char* block, TRecIndex self)
{
    const TKeyRow row{block, NoSlot};
    for (const std::shared_ptr<TIndexOrder>& order : FUniqueOrders)
        if (order->FindDuplicate(row, self) != NoRec) DatabaseError(QStringLiteral("Key violation."), this);
    if (FUniqueKeys.empty() || FOwner == NoRec) return;
    const TStoreLevel& lv = FStore->Level(FLevel);
    const std::vector<TRecIndex>* list = lv.ChildrenIf(FOwner);
    if (!list) return;
    for (const std::vector<TKeyPart>& parts : FUniqueKeys) {
        const TKeyComparer cmp(FStore.get(), FLevel, parts);
        if (cmp.HasNull(row)) continue;
        for (TRecIndex r : *list)
            if (r != self && FStore->IsVisible(FLevel, r) && cmp.Compare({nullptr, lv.Current(r)}, row) == 0)
                DatabaseError(QStringLiteral("Key violation."), this);
    }
}

TSlotNo TClientDataSet::SlotOrFail(TRecIndex rec) const
{
    const TSlotNo slot = SlotOf(TRecordId(rec));
    if (!slot) DatabaseError(QStringLiteral("Record not found"), this);
    return slot;
}

void TClientDataSet::ReadBlock(TRecIndex rec, char* block) const
{
    FStore->ReadResolved(FStore->Level(FLevel), SlotOrFail(rec), block);
}

void TClientDataSet::CheckPost(TRecIndex rec, const char* block)
{
    CheckCanModify();
    SlotOrFail(rec);
    const TStoreLevel& lv = FStore->Level(FLevel);
    for (TField* f : Fields()) {
        if (!f->Required() || f->ReadOnly() || f->FieldKind() != fkData) continue;
        const TColumnBinding* b = Binding(f);
        if (b && b->Column >= 0 && lv.State(block, b->Column) != csValue)
            DatabaseErrorFmt(QStringLiteral("Field '%s' must have a value"), {f->DisplayName()});
    }
    CheckUnique(block, rec);
}

void TClientDataSet::PostBlock(TRecIndex rec, const char* block)
{
    CheckPost(rec, block);
    TOwnChange own(FOwnChange);
    FStore->Modify(FLevel, rec, block);
}

void TClientDataSet::PostPrepared(TRecIndex rec, quint64 same)
{
    TStoreLevel& lv = FStore->Level(FLevel);
    const char* block = lv.NextBlock(0);
    if (!block) DatabaseError(QStringLiteral("The record's new version was not made beforehand"), this);
    CheckPost(rec, block);
    TOwnChange own(FOwnChange);
    FStore->ModifyPrepared(FLevel, rec, same);
}

TRecordId TClientDataSet::InternalPost(const TEditBuffer& buffer)
{
    if (!FStore) DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"), this);
    TStoreLevel& lv = FStore->Level(FLevel);
    FScratch.resize(size_t(lv.SlotSize));
    char* block = FScratch.data();
    TRecIndex rec = NoRec;
    const TByteHeap::TMark mark = FStore->Heap().Mark();
    try {
        if (buffer.IsInsert()) {
            lv.InitBlock(block);
        } else {
            rec = TRecIndex(buffer.RecordId());
            ReadBlock(rec, block);
        }
        bool assigned = false;
        for (TField* f : Fields()) {
            if (!buffer.IsAssigned(f)) continue;
            const TColumnBinding* b = Binding(f);
            if (!b) continue;
            TColumnBinding typed = *b;
            typed.Type = f->DataType();
            try {
                WriteCell(*FStore, lv, block, typed, buffer.Value(f));
            } catch (const EDatabaseError&) {
                throw;
            } catch (const Exception& e) {
                DatabaseErrorFmt(QStringLiteral("Field '%s': %s"), {f->DisplayName(), e.Message()}, this);
            }
            assigned = true;
        }
        if (buffer.IsInsert() && FLevel == 0) {
            for (const TColumnBinding& b : FBindings) {
                if (b.Type != ftAutoInc || b.Column < 0) continue;
                qint32 v;
                if (lv.State(block, b.Column) == csValue) {
                    std::memcpy(&v, block + lv.Columns[size_t(b.Column)].Offset, 4);
                    if (v >= FStore->NextAutoInc()) FStore->SetNextAutoInc(qint64(v) + 1);
                } else {
                    v = qint32(FStore->NextAutoInc());
                    std::memcpy(block + lv.Columns[size_t(b.Column)].Offset, &v, 4);
                    lv.SetState(block, b.Column, csValue);
                    FStore->SetNextAutoInc(qint64(v) + 1);
                }
            }
        }
        CheckUnique(block, rec);
        TOwnChange own(FOwnChange);
        if (buffer.IsInsert()) {
            TRecIndex owner = NoRec;
            if (FLevel > 0) {
                owner = FOwner;
                TClientDataSet* parent = ParentClientDataSet();
                if (owner == NoRec && parent && parent->State() == dsInsert) owner = FOwner = parent->ReservedForNested();
                if (owner == NoRec) DatabaseError(QStringLiteral("The master record of a nested record is missing"), this);
            }
            TRecIndex before = NoRec;
            if (!buffer.IsAppend() && FKey.empty()) {
                const int pos = buffer.InsertPosition();
                if (pos >= 0 && pos < ViewCount()) before = TRecIndex(ViewRecord(pos));
            }
            if (FReserved != NoRec) {
                rec = FStore->InsertReserved(FLevel, FReserved, owner, block, before);
                FReserved = NoRec;
            } else {
                rec = FStore->Insert(FLevel, owner, block, before);
            }
        } else if (assigned) {
            FStore->Modify(FLevel, rec, block);
        }
    } catch (...) {
        FStore->Heap().Rollback(mark);
        throw;
    }
    FEditMarks.clear();
    return TRecordId(rec);
}

void TClientDataSet::InternalCancel()
{
    if (!FStore) return;
    TOwnChange own(FOwnChange);
    const std::vector<int>& children = FStore->Level(FLevel).ChildLevels;
    for (size_t i = 0; i < FEditMarks.size() && i < children.size(); ++i) FStore->UndoTo(children[i], FEditMarks[i]);
    FEditMarks.clear();
    if (FReserved != NoRec) {
        FStore->PurgeChildren(FLevel, FReserved);
        FReserved = NoRec;
    }
}

void TClientDataSet::InternalDelete(TRecordId id)
{
    if (!SlotOf(id)) DatabaseError(QStringLiteral("Record not found"), this);
    // A record deleted while edited (its nested rows were just removed) keeps those changes.
    FEditMarks.clear();
    TOwnChange own(FOwnChange);
    FStore->Delete(FLevel, TRecIndex(id));
}

// ---------------------------------------------------------------------------------------------
// Change log

bool TClientDataSet::LogChanges() const
{
    return FStore ? FStore->LogChanges() : FLogChanges;
}

void TClientDataSet::SetLogChanges(bool on)
{
    FLogChanges = on;
    if (FStore) FStore->SetLogChanges(on);
}

int TClientDataSet::ChangeCount() const
{
    return FStore && Active() ? FStore->ChangeCount(FLevel) : 0;
}

void TClientDataSet::AfterStoreOperation(TRecIndex follow)
{
    Resync();
    if (follow != NoRec && ViewPosition(TRecordId(follow)) >= 0) GotoBookmark(TBookmark(TRecordId(follow)));
}

void TClientDataSet::MergeChangeLog()
{
    CheckActive();
    CheckBrowseMode();
    {
        TOwnChange own(FOwnChange);
        FStore->MergeChangeLog(FLevel);
    }
    Resync();
}

void TClientDataSet::CancelUpdates()
{
    CheckActive();
    CheckCanModify();
    Cancel();
    {
        TOwnChange own(FOwnChange);
        FStore->UndoTo(FLevel, 0);
    }
    Resync();
}

bool TClientDataSet::UndoLastChange(bool followChange)
{
    CheckActive();
    CheckCanModify();
    Cancel();
    if (FStore->ChangeCount(FLevel) == 0) return false;
    TRecIndex rec;
    {
        TOwnChange own(FOwnChange);
        rec = FStore->UndoLast(FLevel);
    }
    AfterStoreOperation(followChange ? rec : NoRec);
    return true;
}

void TClientDataSet::RevertRecord()
{
    CheckActive();
    CheckCanModify();
    Cancel();
    const TRecordId id = CurrentRecord();
    if (id == NoRecord) return;
    {
        TOwnChange own(FOwnChange);
        FStore->Revert(FLevel, TRecIndex(id));
    }
    Resync();
}

int TClientDataSet::SavePoint() const
{
    return ChangeCount();
}

void TClientDataSet::SetSavePoint(int savePoint)
{
    CheckActive();
    CheckCanModify();
    Cancel();
    {
        TOwnChange own(FOwnChange);
        FStore->UndoTo(FLevel, savePoint);
    }
    Resync();
}

void TClientDataSet::SetStatusFilter(TUpdateStatusSet filter)
{
    if (filter == FStatusFilter) return;
    if (!Active()) {
        FStatusFilter = filter;
        return;
    }
    CheckBrowseMode();
    FStatusFilter = filter;
    RebuildView();
    First();
}

void TClientDataSet::EmptyDataSet()
{
    CheckActive();
    CheckCanModify();
    Cancel();
    if (FLevel > 0) {
        DisableControls();
        try {
            First();
            while (!IsEmpty()) Delete();
        } catch (...) {
            EnableControls();
            throw;
        }
        EnableControls();
        return;
    }
    {
        TOwnChange own(FOwnChange);
        FStore->Empty();
    }
    Resync();
    First();
}

// ---------------------------------------------------------------------------------------------
// Indexes

std::vector<TKeyPart> TClientDataSet::KeyParts(const QString& fields, const QString& descFields,
                                               const QString& caseInsFields, TIndexOptions options) const
{
    auto names = [](const QString& list) {
        QStringList out;
        for (const QString& part : list.split(QLatin1Char(';'))) {
            const QString name = part.trimmed();
            if (!name.isEmpty()) out << name;
        }
        return out;
    };
    const QStringList desc = names(descFields);
    const QStringList caseIns = names(caseInsFields);
    auto listed = [](const QStringList& list, const QString& name) {
        for (const QString& n : list)
            if (n.compare(name, Qt::CaseInsensitive) == 0) return true;
        return false;
    };
    std::vector<TKeyPart> parts;
    TFieldDefs& defs = const_cast<TClientDataSet*>(this)->FieldDefs();
    for (QString name : names(fields)) {
        bool descending = false, insensitive = false;
        // IndexFieldNames: "Name:D" descending, "Name:N" case-insensitive.
        const int colon = int(name.lastIndexOf(QLatin1Char(':')));
        if (colon > 0 && defs.IndexOf(name) < 0) {
            const QString flags = name.mid(colon + 1).toUpper();
            if (!flags.isEmpty() && flags.count(QLatin1Char('D')) + flags.count(QLatin1Char('N')) == flags.size()) {
                descending = flags.contains(QLatin1Char('D'));
                insensitive = flags.contains(QLatin1Char('N'));
                name = name.left(colon).trimmed();
            }
        }
        const int i = defs.IndexOf(name);
        if (i < 0 || i >= int(FBindings.size())) {
            if (FindField(name)) DatabaseErrorFmt(QStringLiteral("Cannot index on calculated field '%s'"), {name}, this);
            DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {name}, this);
        }
        const TColumnBinding& b = FBindings[size_t(i)];
        if (b.Column < 0 || !FStore->Level(FLevel).Columns[size_t(b.Column)].Indexable)
            DatabaseErrorFmt(QStringLiteral("Cannot index on field '%s' of type %s"), {name, FieldTypeText(b.Type)}, this);
        TKeyPart p;
        p.Column = b.Column;
        p.Descending = descending || listed(desc, name) || (desc.isEmpty() && options.testFlag(ixDescending));
        p.CaseInsensitive = insensitive || listed(caseIns, name) || (caseIns.isEmpty() && options.testFlag(ixCaseInsensitive));
        parts.push_back(p);
    }
    return parts;
}

std::vector<TKeyPart> TClientDataSet::CurrentKey() const
{
    if (!FIndexFieldNames.trimmed().isEmpty()) return KeyParts(FIndexFieldNames, QString(), QString(), {});
    if (!FIndexName.isEmpty()) {
        TIndexDefs& defs = const_cast<TClientDataSet*>(this)->IndexDefs();
        // The default order has its name also where the packet declares none.
        if (defs.IndexOf(FIndexName) < 0 && FIndexName.compare(QLatin1String("DEFAULT_ORDER"), Qt::CaseInsensitive) == 0)
            return DefaultOrderParts(*FStore, FLevel);
        const TIndexDef* d = defs.Find(FIndexName);
        return KeyParts(d->Fields(), d->DescFields(), d->CaseInsFields(), d->Options());
    }
    return DefaultOrderParts(*FStore, FLevel);
}

void TClientDataSet::ApplyIndex()
{
    FKey = CurrentKey();
    FOrder = FLevel == 0 && !FKey.empty() ? TIndexOrder::Obtain(*FStore, FKey) : nullptr;
}

void TClientDataSet::RebuildUniqueOrders()
{
    FUniqueOrders.clear();
    FUniqueKeys.clear();
    for (int i = 0; i < IndexDefs().Count(); ++i) {
        const TIndexDef* d = IndexDefs().Items(i);
        if (!d->Options().testFlag(ixUnique)) continue;
        std::vector<TKeyPart> parts = KeyParts(d->Fields(), d->DescFields(), d->CaseInsFields(), d->Options());
        if (parts.empty()) continue;
        if (FLevel == 0) FUniqueOrders.push_back(TIndexOrder::Obtain(*FStore, parts));
        else FUniqueKeys.push_back(std::move(parts));
    }
}

void TClientDataSet::UpdateIndexDefs()
{
    if (!FStore || IndexDefs().IndexOf(QStringLiteral("DEFAULT_ORDER")) >= 0) return;
    const TPacketLevel& pl = FStore->Metadata().Level(FLevel);
    if (!pl.Params || !pl.Fields) return;
    const std::vector<qint64> order = pl.Params->DefaultOrder();
    if (order.empty()) return;
    QStringList fields, desc, caseIns;
    for (qint64 v : order) {
        const int fieldNo = int(v & 0x3FFF);
        if (fieldNo < 1 || fieldNo > int(pl.Fields->size())) return;
        const TPacketFieldDesc& f = (*pl.Fields)[size_t(fieldNo - 1)];
        const QString name = f.Text.isEmpty() ? QString::fromLatin1(f.Name) : f.Text;
        fields << name;
        if (v & 0x8000) desc << name;
        if (v & 0x4000) caseIns << name;
    }
    std::vector<qint64> primary = pl.Params->PrimaryKey();
    std::vector<qint64> plain;
    for (qint64 v : order) plain.push_back(v & 0x3FFF);
    TIndexOptions options;
    if (!primary.empty() && primary == plain) options |= ixPrimary;
    TIndexDef* d = IndexDefs().Add(QStringLiteral("DEFAULT_ORDER"), fields.join(QLatin1Char(';')), options);
    d->SetDescFields(desc.join(QLatin1Char(';')));
    d->SetCaseInsFields(caseIns.join(QLatin1Char(';')));
}

void TClientDataSet::AddIndex(const QString& name, const QString& fields, TIndexOptions options, const QString& descFields,
                              const QString& caseInsFields, int groupingLevel)
{
    if (name.trimmed().isEmpty()) DatabaseError(QStringLiteral("Index name missing"), this);
    if (IndexDefs().IndexOf(name) >= 0) DatabaseErrorFmt(QStringLiteral("Index '%s' already exists"), {name}, this);
    if (Active()) {
        const std::vector<TKeyPart> parts = KeyParts(fields, descFields, caseInsFields, options);
        if (parts.empty()) DatabaseError(QStringLiteral("An index needs at least one field"), this);
        if (options.testFlag(ixUnique)) {
            bool duplicates = false;
            if (FLevel == 0) {
                duplicates = TIndexOrder::Obtain(*FStore, parts)->HasDuplicates();
            } else if (FOwner != NoRec) {
                std::vector<TRecIndex> recs;
                if (const std::vector<TRecIndex>* list = FStore->Level(FLevel).ChildrenIf(FOwner))
                    for (TRecIndex r : *list)
                        if (FStore->IsVisible(FLevel, r)) recs.push_back(r);
                SortRecords(*FStore, FLevel, parts, recs);
                const TKeyComparer cmp(FStore.get(), FLevel, parts);
                for (size_t i = 1; i < recs.size() && !duplicates; ++i)
                    duplicates = cmp.CompareRecs(recs[i - 1], recs[i]) == 0 && !cmp.HasNull({nullptr, FStore->Level(FLevel).Current(recs[i])});
            }
            if (duplicates) DatabaseError(QStringLiteral("Key violation."), this);
        }
    }
    TIndexDef* d = IndexDefs().Add(name, fields, options);
    d->SetDescFields(descFields);
    d->SetCaseInsFields(caseInsFields);
    d->SetGroupingLevel(groupingLevel);
    if (Active() && options.testFlag(ixUnique)) RebuildUniqueOrders();
}

void TClientDataSet::DeleteIndex(const QString& name)
{
    const int i = IndexDefs().IndexOf(name);
    if (i < 0) DatabaseErrorFmt(QStringLiteral("Index '%s' not found"), {name}, this);
    const bool current = FIndexName.compare(name, Qt::CaseInsensitive) == 0;
    if (current && Active()) CheckBrowseMode();
    IndexDefs().Delete(i);
    if (current) FIndexName.clear();
    if (!Active()) return;
    RebuildUniqueOrders();
    if (current) {
        ApplyIndex();
        RebuildView();
        Resync();
    }
}

void TClientDataSet::SetIndexName(const QString& name)
{
    if (name == FIndexName && FIndexFieldNames.isEmpty()) return;
    SwitchIndex(name, QString());
}

void TClientDataSet::SetIndexFieldNames(const QString& fields)
{
    if (fields == FIndexFieldNames && FIndexName.isEmpty()) return;
    SwitchIndex(QString(), fields);
}

// Orders the records by a named index or by a list of fields (one of the two is empty); an
// order that cannot be built leaves the previous one in place.
void TClientDataSet::SwitchIndex(const QString& name, const QString& fields)
{
    if (!Active()) {
        FIndexName = name;
        FIndexFieldNames = fields;
        return;
    }
    CheckBrowseMode();
    const QString oldName = FIndexName, oldFields = FIndexFieldNames;
    FIndexName = name;
    FIndexFieldNames = fields;
    try {
        ApplyIndex();
    } catch (...) {
        FIndexName = oldName;
        FIndexFieldNames = oldFields;
        throw;
    }
    RebuildView();
    Resync();
}

void TClientDataSet::GetIndexNames(QStringList& list)
{
    list.clear();
    IndexDefs().Update();
    for (int i = 0; i < IndexDefs().Count(); ++i) list << IndexDefs().Items(i)->Name();
}

// ---------------------------------------------------------------------------------------------
// Clones

void TClientDataSet::CloneCursor(TClientDataSet* source, bool reset, bool keepSettings)
{
    if (!source || !source->Active() || !source->FStore)
        DatabaseError(QStringLiteral("Cannot clone a closed dataset"), this);
    if (source == this) return;
    if (IsNested() && !FFixed) DatabaseError(QStringLiteral("A nested dataset cannot be a clone"), this);
    Close();
    std::shared_ptr<TRecordStore> store = source->FStore;
    const int level = source->FLevel;
    const TRecIndex owner = source->FLevel > 0 ? source->FOwner : NoRec;
    AttachStore(store, level);
    // A clone of a nested dataset shows the nested rows of the master record its source showed.
    FFixed = level > 0;
    FFixedOwner = owner;
    IndexDefs().Assign(source->IndexDefs());
    if (reset) {
        FIndexName.clear();
        FIndexFieldNames.clear();
        FStatusFilter = TUpdateStatusSet();
        SetFiltered(false);
        SetFilter(QString());
    } else if (!keepSettings) {
        FIndexName = source->FIndexName;
        FIndexFieldNames = source->FIndexFieldNames;
        FStatusFilter = source->FStatusFilter;
        SetFilter(source->Filter());
        SetFilterOptions(source->FilterOptions());
        SetFiltered(source->Filtered());
        SetReadOnly(source->ReadOnly());
    }
    FSavedVersion = FStore->Version();
    Open();
}

// ---------------------------------------------------------------------------------------------
// Searching

int TClientDataSet::FindPosition(const QString& keyFields, const TVariant& keyValues, TLocateOptions options)
{
    QList<TField*> fields;
    GetFieldList(fields, keyFields);
    if (fields.isEmpty() || !FStore) return -1;
    std::vector<TKeyPart> parts;
    std::vector<TColumnBinding> bindings;
    for (TField* f : fields) {
        const TColumnBinding* b = Binding(f);
        if (!b || !FStore->Level(FLevel).Columns[size_t(b->Column)].Indexable) return -2;
        TColumnBinding typed = *b;
        typed.Type = f->DataType();
        bindings.push_back(typed);
        parts.push_back({b->Column, false, options.testFlag(loCaseInsensitive)});
    }
    const TStoreLevel& lv = FStore->Level(FLevel);
    std::vector<char> key(size_t(lv.SlotSize));
    lv.InitBlock(key.data());
    const TByteHeap::TMark mark = FStore->Heap().Mark();
    TScopeExit rollback([this, mark] { FStore->Heap().Rollback(mark); });
    for (int i = 0; i < fields.size(); ++i) {
        TVariant v;
        if (fields.size() == 1) v = keyValues.IsArray() && keyValues.ArrayCount() == 1 ? keyValues[0] : keyValues;
        else v = keyValues.IsArray() && i < keyValues.ArrayCount() ? keyValues[i] : TVariant::Null();
        try {
            WriteCell(*FStore, lv, key.data(), bindings[size_t(i)], v);
        } catch (const Exception&) {
            return -1;   // a key the field cannot hold matches nothing
        }
    }
    const TKeyRow keyRow{key.data(), NoSlot};
    const bool partial = options.testFlag(loPartialKey);
    // An index whose leading fields are the key fields finds the first match by halving.
    if (!partial && FLevel == 0 && FKey.size() >= parts.size()) {
        bool fits = true;
        for (size_t i = 0; i < parts.size() && fits; ++i) {
            fits = FKey[i].Column == parts[i].Column;
            if (fits && IsTextKind(lv.Columns[size_t(parts[i].Column)].Kind)) fits = FKey[i].CaseInsensitive == parts[i].CaseInsensitive;
        }
        if (fits) {
            const TKeyComparer cmp(FStore.get(), FLevel, FKey);
            const int n = int(parts.size());
            const int pos = FView->LowerBound([&](quint32 id) { return cmp.Compare({nullptr, lv.Current(id)}, keyRow, n) < 0; });
            if (pos < FView->Count() && cmp.Compare({nullptr, lv.Current(FView->At(pos))}, keyRow, n) == 0) return pos;
            return -1;
        }
    }
    // A text that begins the first field of the current index: the records that begin with
    // it by base letters are one run of the index, found by halving; the first of them that
    // begins with it in the asked case is the answer.
    if (partial && FLevel == 0 && parts.size() == 1 && !FKey.empty() && FKey[0].Column == parts[0].Column
        && IsTextKind(lv.Columns[size_t(parts[0].Column)].Kind)) {
        const TKeyComparer cmp(FStore.get(), FLevel, FKey);
        const int column = parts[0].Column;
        const char* k = cmp.Cell(keyRow, column);
        if (k) {
            const bool descending = FKey[0].Descending;
            auto order = [&](quint32 id) { return cmp.ComparePrefixPrimary(cmp.Cell({nullptr, lv.Current(id)}, column), k, column); };
            int pos = FView->LowerBound([&](quint32 id) { return descending ? order(id) > 0 : order(id) < 0; });
            for (; pos < FView->Count(); ++pos) {
                const quint32 id = FView->At(pos);
                if (order(id) != 0) break;
                if (cmp.CellStartsWith(cmp.Cell({nullptr, lv.Current(id)}, column), k, column, parts[0].CaseInsensitive))
                    return pos;
            }
            return -1;
        }
    }
    const TKeyComparer cmp(FStore.get(), FLevel, parts);
    const int count = FView->Count();
    int found = -1;
    int pos = 0;
    FView->ForEach([&](quint32 id) {
        const TKeyRow row{nullptr, lv.Current(id)};
        bool match = true;
        for (const TKeyPart& p : parts) {
            const char* cell = cmp.Cell(row, p.Column);
            const char* k = cmp.Cell(keyRow, p.Column);
            const bool ok = partial && k && IsTextKind(lv.Columns[size_t(p.Column)].Kind)
                                ? cmp.CellStartsWith(cell, k, p.Column, p.CaseInsensitive)
                                : cmp.CompareCells(cell, k, p.Column, p.CaseInsensitive) == 0;
            if (!ok) {
                match = false;
                break;
            }
        }
        if (match) {
            found = pos;
            return false;
        }
        return ++pos < count;
    });
    return found;
}

bool TClientDataSet::Locate(const QString& keyFields, const TVariant& keyValues, TLocateOptions options)
{
    CheckBrowseMode();
    const int pos = FindPosition(keyFields, keyValues, options);
    if (pos == -2) return TDataSet::Locate(keyFields, keyValues, options);
    if (pos < 0) return false;
    GotoBookmark(TBookmark(ViewRecord(pos)));
    return true;
}

TVariant TClientDataSet::Lookup(const QString& keyFields, const TVariant& keyValues, const QString& resultFields)
{
    CheckBrowseMode();
    QList<TField*> results;
    GetFieldList(results, resultFields);
    for (TField* f : results)
        if (!Binding(f)) return TDataSet::Lookup(keyFields, keyValues, resultFields);
    const int pos = FindPosition(keyFields, keyValues, {});
    if (pos == -2) return TDataSet::Lookup(keyFields, keyValues, resultFields);
    if (pos < 0) return TVariant::Null();
    const TRecordId id = ViewRecord(pos);
    auto valueOf = [&](const TField* f) {
        TVariant v;
        return GetRecordValue(id, f, v) ? v : TVariant::Null();
    };
    if (results.size() == 1) return valueOf(results[0]);
    std::vector<TVariant> values;
    for (const TField* f : results) values.push_back(valueOf(f));
    return TVariant::ArrayOf(std::move(values));
}
