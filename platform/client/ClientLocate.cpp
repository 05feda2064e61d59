#include "platform/client/ClientLocate.h"

#include "platform/client/ClientDataSet.h"
#include "platform/client/ClientFields.h"
#include "platform/client/ClientKeys.h"
#include "platform/core/CodePages.h"

#include <QHash>
#include <cmath>

namespace {

quint64 Mix(quint64 h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

// Kinds whose equal values (as the key comparer finds them equal) hash alike below.
bool Hashable(TPacketValueKind k)
{
    switch (k) {
    case pkInt8: case pkInt16: case pkInt32: case pkInt64: case pkDate: case pkTime:
    case pkUInt8: case pkUInt16: case pkUInt32: case pkUInt64: case pkBoolean:
    case pkDouble: case pkSingle: case pkTimeStamp:
    case pkAnsiString: case pkWideString: case pkFixedBytes:
        return true;
    default:
        return false;
    }
}

constexpr quint64 NullHash = 0x9e3779b97f4a7c15ull;

} // namespace

TLocateHash::TLocateHash(TClientDataSet& dataSet, TField* field) : FDataSet(dataSet), FField(field)
{
    const TColumnBinding* b = dataSet.FStore && dataSet.FLevel == 0 ? dataSet.Binding(field) : nullptr;
    if (!b || !Hashable(dataSet.FStore->Level(0).Columns[size_t(b->Column)].Kind))
        DatabaseErrorFmt(QStringLiteral("Field '%s' cannot be searched by a hash"), {field->FieldName()}, &dataSet);
    FStore = dataSet.FStore;
    FColumn = b->Column;
    FStore->Attach(this);
}

TLocateHash::~TLocateHash()
{
    FStore->Detach(this);
}

// The value's hash as the comparer sees values: numbers by value (0 and -0 alike), texts by
// their bytes (a multi-byte code page's by its characters); NaN, which compares equal to every
// number, is left to the caller (answers 0 with isNaN set).
quint64 TLocateHash::HashOf(const char* block) const
{
    if (!block) return NullHash;
    const TStoreLevel& lv = FStore->Level(0);
    const TStoreColumn& c = lv.Columns[size_t(FColumn)];
    const char* p = block + c.Offset;
    switch (c.Kind) {
    case pkInt8: case pkInt16: case pkInt32: case pkInt64: case pkDate: case pkTime:
        return Mix(quint64(BlockInt(p, c.Bytes, true)));
    case pkUInt8: case pkUInt16: case pkUInt32: case pkUInt64: case pkBoolean:
        return Mix(quint64(BlockInt(p, c.Bytes, false)));
    case pkDouble: case pkSingle: case pkTimeStamp: {
        double d;
        if (c.Kind == pkSingle) {
            float f;
            std::memcpy(&f, p, 4);
            d = f;
        } else {
            std::memcpy(&d, p, 8);
        }
        if (std::isnan(d)) return 0;
        if (d == 0) d = 0;
        quint64 bits;
        std::memcpy(&bits, &d, 8);
        return Mix(bits) | 1;
    }
    default: {
        qsizetype n = 0;
        const char* s = FStore->BytesView(lv, block, FColumn, n);
        if (c.Kind == pkAnsiString && !TCollation::ForCodePage(FStore->CodePage()).SingleByte()) {
            const QString text = DecodeCodePage(QByteArrayView(s, n), FStore->CodePage());
            return Mix(qHash(text)) | 1;
        }
        return Mix(qHashBits(s, size_t(n))) | 1;
    }
    }
}

void TLocateHash::Add(TRecIndex rec)
{
    const TStoreLevel& lv = FStore->Level(0);
    const TSlotNo slot = lv.Current(rec);
    if (!slot) return;
    if ((FUsed + 1) * 10 > FTable.size() * 7) Grow();
    const quint64 h = HashOf(FStore->CellBlock(lv, slot, FColumn));
    const size_t mask = FTable.size() - 1;
    for (size_t i = size_t(h) & mask;; i = (i + 1) & mask) {
        TEntry& e = FTable[i];
        if (e.Rec == NoRec || e.Rec == Tombstone) {
            if (e.Rec == NoRec) ++FUsed;
            e.Hash = quint32(h >> 32);
            e.Rec = rec;
            return;
        }
    }
}

void TLocateHash::Remove(TRecIndex rec)
{
    if (FTable.empty()) return;
    const TStoreLevel& lv = FStore->Level(0);
    const TSlotNo slot = lv.Current(rec);
    if (!slot) return;
    const quint64 h = HashOf(FStore->CellBlock(lv, slot, FColumn));
    const size_t mask = FTable.size() - 1;
    for (size_t i = size_t(h) & mask; FTable[i].Rec != NoRec; i = (i + 1) & mask)
        if (FTable[i].Rec == rec) {
            FTable[i].Rec = Tombstone;
            return;
        }
}

void TLocateHash::Grow()
{
    std::vector<TEntry> old;
    old.swap(FTable);
    size_t live = 0;
    for (const TEntry& e : old) live += e.Rec != NoRec && e.Rec != Tombstone;
    // Room for every record the level may hold soon, at most half full.
    const size_t need = std::max<size_t>({live * 2, size_t(FStore->Level(0).RecCapacity()) * 2, 16});
    size_t size = 16;
    while (size < need) size *= 2;
    FTable.assign(size, TEntry{});
    FUsed = 0;
    const size_t mask = size - 1;
    const TStoreLevel& lv = FStore->Level(0);
    for (const TEntry& e : old) {
        if (e.Rec == NoRec || e.Rec == Tombstone) continue;
        // The table keeps the hash's high half: place by the record's value again.
        const quint64 h = HashOf(FStore->CellBlock(lv, lv.Current(e.Rec), FColumn));
        size_t i = size_t(h) & mask;
        while (FTable[i].Rec != NoRec) i = (i + 1) & mask;
        FTable[i] = e;
        ++FUsed;
    }
}

void TLocateHash::Build()
{
    FTable.clear();
    FUsed = 0;
    Grow();
    const quint32 n = FStore->Level(0).RecCapacity();
    for (TRecIndex rec = 0; rec < n; ++rec)
        if (FStore->IsVisible(0, rec)) Add(rec);
    FStale = false;
}

void TLocateHash::StoreChanging(const TStoreChange& change)
{
    if (FStale || change.Level != 0 || change.Kind == sckInserted || change.Kind == sckReset) return;
    Remove(change.Rec);
}

void TLocateHash::StoreChanged(const TStoreChange& change)
{
    if (FStale || change.Level != 0) return;
    if (change.Kind == sckReset) {
        FStale = true;
        return;
    }
    if (change.Kind == sckRemoved) return;
    if (change.Kind == sckInserted) Remove(change.Rec);     // an undeleted record may be listed
    if (FStore->IsVisible(0, change.Rec)) Add(change.Rec);
}

TRecordId TLocateHash::Find(const TVariant& value)
{
    if (FStale) Build();
    const TStoreLevel& lv = FStore->Level(0);
    TColumnBinding b = *FDataSet.Binding(FField);
    b.Type = FField->DataType();
    std::vector<char>& key = FKey;
    key.resize(size_t(lv.SlotSize));
    lv.InitBlock(key.data());
    const TByteHeap::TMark mark = FStore->Heap().Mark();
    struct TRollback {
        TRecordStore& Store;
        TByteHeap::TMark Mark;
        ~TRollback() { Store.Heap().Rollback(Mark); }
    } rollback{*FStore, mark};
    const TVariant v = value.IsArray() && value.ArrayCount() == 1 ? value[0] : value;
    try {
        WriteCell(*FStore, lv, key.data(), b, v);
    } catch (const Exception&) {
        return NoRecord;    // a key the field cannot hold matches nothing
    }
    const TKeyComparer cmp(FStore.get(), 0, {{FColumn, false, false}});
    const char* keyCell = lv.State(key.data(), FColumn) == csValue ? key.data() : nullptr;
    const quint64 h = HashOf(keyCell);
    TRecordId best = NoRecord;
    int bestPos = -1;
    auto consider = [&](TRecIndex rec) {
        const TSlotNo slot = lv.Current(rec);
        if (!slot) return;
        if (cmp.CompareCells(FStore->CellBlock(lv, slot, FColumn), keyCell, FColumn, false) != 0) return;
        const int pos = FDataSet.ViewPosition(TRecordId(rec));
        if (pos >= 0 && (bestPos < 0 || pos < bestPos)) {
            bestPos = pos;
            best = TRecordId(rec);
        }
    };
    if (h == 0) {
        // NaN equals every number: the first record with one.
        for (int pos = 0; pos < FDataSet.ViewCount(); ++pos) {
            consider(TRecIndex(FDataSet.ViewRecord(pos)));
            if (best != NoRecord) return best;
        }
        return NoRecord;
    }
    const size_t mask = FTable.size() - 1;
    for (size_t i = size_t(h) & mask; FTable[i].Rec != NoRec; i = (i + 1) & mask)
        if (FTable[i].Rec != Tombstone && FTable[i].Hash == quint32(h >> 32)) consider(FTable[i].Rec);
    // Stored NaNs equal every number.
    if (keyCell && h != NullHash)
        for (size_t i = size_t(0) & mask; FTable[i].Rec != NoRec; i = (i + 1) & mask)
            if (FTable[i].Rec != Tombstone && FTable[i].Hash == 0) consider(FTable[i].Rec);
    return best;
}
