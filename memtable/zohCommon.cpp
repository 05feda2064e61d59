#include "memtable/zohCommon.h"

#include "platform/core/CodePages.h"

#include <QLocale>
#include <sys/mman.h>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

namespace {
// Every block carries the layout generation it was cut for, so that a block freed
// after a new layout goes back to the heap rather than into the wrong free list.
struct TBlockPrefix {
    quint64 Generation;
};
constexpr qsizetype kPrefix = sizeof(TBlockPrefix);
// Chunks start small for small tables and grow to huge-page size for large ones.
constexpr qsizetype kFirstChunk = 64 << 10;
constexpr qsizetype kHugeChunk = 4 << 20;
constexpr qsizetype kHugePage = 2 << 20;
// A record larger than this is a damaged definition, not a table.
constexpr int kMaxRecordBytes = 16 << 20;
quint64 gGeneration = 0;

TzohVarBuffer* NewVarBuffer(const char* data, qsizetype len)
{
    auto* b = static_cast<TzohVarBuffer*>(std::malloc(sizeof(TzohVarBuffer) + size_t(len)));
    if (!b) throw EOutOfMemory(QStringLiteral("Out of memory"));
    b->Length = qint32(len);
    if (len) std::memcpy(b->Bytes(), data, size_t(len));
    return b;
}

inline TzohVarBuffer* LoadRef(const char* at)
{
    TzohVarBuffer* p;
    std::memcpy(&p, at, sizeof(p));
    return p;
}
inline void StoreRef(char* at, TzohVarBuffer* p) { std::memcpy(at, &p, sizeof(p)); }

// Windows primary language identifiers and the languages they name.
struct TLangEntry { int Id; QLocale::Language Language; };
const TLangEntry kLanguages[] = {
    {0x01, QLocale::Arabic}, {0x02, QLocale::Bulgarian}, {0x03, QLocale::Catalan}, {0x04, QLocale::Chinese},
    {0x05, QLocale::Czech}, {0x06, QLocale::Danish}, {0x07, QLocale::German}, {0x08, QLocale::Greek},
    {0x09, QLocale::English}, {0x0A, QLocale::Spanish}, {0x0B, QLocale::Finnish}, {0x0C, QLocale::French},
    {0x0D, QLocale::Hebrew}, {0x0E, QLocale::Hungarian}, {0x0F, QLocale::Icelandic}, {0x10, QLocale::Italian},
    {0x11, QLocale::Japanese}, {0x12, QLocale::Korean}, {0x13, QLocale::Dutch}, {0x14, QLocale::NorwegianBokmal},
    {0x15, QLocale::Polish}, {0x16, QLocale::Portuguese}, {0x18, QLocale::Romanian}, {0x19, QLocale::Russian},
    {0x1A, QLocale::Croatian}, {0x1B, QLocale::Slovak}, {0x1C, QLocale::Albanian}, {0x1D, QLocale::Swedish},
    {0x1E, QLocale::Thai}, {0x1F, QLocale::Turkish}, {0x21, QLocale::Indonesian}, {0x22, QLocale::Ukrainian},
    {0x23, QLocale::Belarusian}, {0x24, QLocale::Slovenian}, {0x25, QLocale::Estonian}, {0x26, QLocale::Latvian},
    {0x27, QLocale::Lithuanian}, {0x2A, QLocale::Vietnamese}, {0x36, QLocale::Afrikaans}, {0x2D, QLocale::Basque},
    {0x38, QLocale::Faroese}, {0x56, QLocale::Galician},
};

bool LocaleOfLCID(int lcid, QLocale& out)
{
    const int lang = lcid & 0x3FF;
    const int sub = (lcid >> 10) & 0x3F;
    if (lang == 0) {
        // Neutral with the user's or the system's default: the program's fixed English order.
        if (sub == 1 || sub == 2) {
            out = QLocale(QLocale::English, QLocale::UnitedStates);
            return true;
        }
        return false;
    }
    if (lcid == 0x7F) {
        out = QLocale(QLocale::English, QLocale::UnitedStates);
        return true;
    }
    for (const TLangEntry& e : kLanguages)
        if (e.Id == lang) {
            out = QLocale(e.Language);
            return true;
        }
    return false;
}

// 8-bit text into UTF-16 without a heap allocation for ordinary lengths.
class TWideText {
public:
    TWideText(const char* s, qsizetype n)
    {
        static const char16_t* table = SingleByteCodePageTable(1252);
        FData = n <= qsizetype(std::size(FLocal)) ? FLocal : (FHeap = std::make_unique<char16_t[]>(n)).get();
        for (qsizetype i = 0; i < n; ++i) {
            const unsigned char b = static_cast<unsigned char>(s[i]);
            FData[i] = table[b];
        }
        FSize = n;
    }
    QStringView View() const { return QStringView(FData, FSize); }

private:
    char16_t FLocal[256];
    std::unique_ptr<char16_t[]> FHeap;
    char16_t* FData;
    qsizetype FSize;
};
} // namespace

void TzohCommon::TChunkFree::operator()(char* p) const
{
    std::free(p);
}

TzohCommon::TzohCommon(TzohStoreClient* owner) : FOwner(owner)
{
    FTables.assign(1, nullptr);
}

TzohCommon::~TzohCommon()
{
    for (int i = int(FTables.size()) - 1; i >= 0; --i) {
        TzohStoreClient* t = FTables[i];
        if (t && t != FOwner) {
            t->StoreClientClose();
            t->StoreClientDetach();
        }
    }
    ClearRecords();
}

// ---------------------------------------------------------------- layout

int TzohCommon::SlotOfName(const QString& name) const
{
    for (int i = 0; i < int(FSlots.size()); ++i)
        if (FSlots[i].Name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void TzohCommon::LayoutDefs(const std::vector<TzohFieldDesc>& defs, qint64& offset, const TzohSetupFieldHook& setup)
{
    for (const TzohFieldDesc& d : defs) {
        if (!zohIsStoreType(d.DataType))
            throw EMemTableError(QStringLiteral("Fielddef ") + d.Name + QStringLiteral(" (") +
                                 (d.DisplayName.isEmpty() ? d.Name : d.DisplayName) + QStringLiteral(")") +
                                 Format(QStringLiteral(" Datatype %d not supported.)"), {d.DataType}));
        TzohSlot s;
        s.Name = d.Name;
        s.DisplayName = d.DisplayName.isEmpty() ? d.Name : d.DisplayName;
        s.DataType = d.DataType;
        s.Size = d.Size;
        s.Kind = d.Kind;
        s.DataSize = zohDataSize(d.DataType, d.Size);
        s.HasChildren = !d.Children.empty();
        if (d.Kind == zfk::Data) {
            const bool blob = IsBlobFieldType(TFieldType(d.DataType));
            const bool sized = d.DataType == zft::String || d.DataType == zft::Bytes ||
                               d.DataType == zft::VarBytes || d.DataType == zft::FixedChar;
            if (blob || (sized && d.Size > 12 && FPerformance != mtpfFast))
                s.Flags |= zffVarLength;
            if (setup && !blob) setup(d, s.Flags);
        }
        if (!s.VarLength() && !s.HasChildren) {
            s.Offset = offset;
            offset += s.DataSize + 1;
            if (offset > kMaxRecordBytes) throw EMemTableError(QStringLiteral("Record size too large"));
        }
        FSlots.push_back(s);
        if (d.DataType == zft::ADT) {
            LayoutDefs(d.Children, offset, setup);
        } else if (d.DataType == zft::Array) {
            for (int i = 0; i < d.Size; ++i) LayoutDefs(d.Children, offset, setup);
        }
    }
}

void TzohCommon::Layout(const std::vector<TzohFieldDesc>& defs, int calcFieldsSize, const TzohSetupFieldHook& setup)
{
    TLocker lock(this);
    if (defs.empty()) throw EMemTableError(QStringLiteral("There must be at least one field"));
    std::vector<TzohSlot> old;
    old.swap(FSlots);
    qint64 offset = 0;
    try {
        LayoutDefs(defs, offset, setup);
    } catch (...) {
        FSlots.swap(old);
        throw;
    }
    FCalcStart = int(offset);
    FCalcSize = calcFieldsSize;
    FVarStart = FCalcStart + FCalcSize;
    FVarCount = 0;
    constexpr int kVarSlot = 1 + int(sizeof(void*));
    for (TzohSlot& s : FSlots) {
        if (!s.VarLength()) continue;
        if (FPerformance == mtpfSmall) s.Flags |= zffCompressed;
        s.Offset = FVarStart + kVarSlot * FVarCount;
        ++FVarCount;
    }
    FVarSize = kVarSlot * FVarCount;
    if (qint64(FVarStart) + FVarSize > kMaxRecordBytes) {
        FSlots.swap(old);
        throw EMemTableError(QStringLiteral("Record size too large"));
    }
    FCopyLength = FVarStart;
    FTotalDataSize = FVarStart + FVarSize;
    FAllocationSize = int(sizeof(TzohStoredRecord)) + FTotalDataSize;
    FModified = false;
    ClearAssigned();
    ResetPool();
}

void TzohCommon::ClearAssigned()
{
    for (TzohSlot& s : FSlots) s.Flags &= quint8(~zffAssigned);
}

// ---------------------------------------------------------------- blocks

void TzohCommon::ResetPool()
{
    ++gGeneration;
    FFreeBlocks.clear();
    FChunkCursor = nullptr;
    FChunkLeft = 0;
    const qsizetype raw = kPrefix + FAllocationSize;
    FBlockSize = (raw + 7) & ~qsizetype(7);
    // Old chunks stay until the store goes: blocks cut from them may still be in use.
}

TzohStoredRecord* TzohCommon::AllocRecord()
{
    char* p;
    if (!FFreeBlocks.empty()) {
        p = reinterpret_cast<char*>(FFreeBlocks.back()) - kPrefix;
        FFreeBlocks.pop_back();
    } else {
        if (FBlockSize == 0) ResetPool();
        if (FChunkLeft < FBlockSize) {
            if (FNextChunk == 0) FNextChunk = kFirstChunk;
            const qsizetype bytes = qMax(FNextChunk, FBlockSize);
            FNextChunk = qMin(FNextChunk * 2, kHugeChunk);
            char* chunk;
            if (bytes >= kHugePage) {
                const qsizetype rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
                chunk = static_cast<char*>(std::aligned_alloc(size_t(kHugePage), size_t(rounded)));
                // Fewer page faults for a million records.
                if (chunk) ::madvise(chunk, size_t(rounded), MADV_HUGEPAGE);
            } else {
                chunk = static_cast<char*>(std::malloc(size_t(bytes)));
            }
            if (!chunk) throw EOutOfMemory(QStringLiteral("Out of memory"));
            FChunks.emplace_back(chunk);
            FChunkCursor = chunk;
            FChunkLeft = bytes;
        }
        p = FChunkCursor;
        FChunkCursor += FBlockSize;
        FChunkLeft -= FBlockSize;
        reinterpret_cast<TBlockPrefix*>(p)->Generation = gGeneration;
    }
    auto* rec = reinterpret_cast<TzohStoredRecord*>(p + kPrefix);
    ++FLiveBlocks;
    new (rec) TzohStoredRecord;
    std::memset(rec->Data(), 0, size_t(FTotalDataSize));
    return rec;
}

void TzohCommon::FreeVarBuffers(TzohStoredRecord* rec)
{
    if (!FVarCount) return;
    for (const TzohSlot& s : FSlots) {
        if (!s.VarLength()) continue;
        char* at = rec->Data() + s.Offset + 1;
        if (TzohVarBuffer* b = LoadRef(at)) {
            std::free(b);
            StoreRef(at, nullptr);
        }
    }
}

void TzohCommon::FreeRecord(TzohStoredRecord* rec, bool freeVarBuffers, bool freeVersions)
{
    while (rec) {
        TzohStoredRecord* older = (freeVersions && rec->StoredMark) ? rec->PreviousVersion : nullptr;
        if (freeVarBuffers) FreeVarBuffers(rec);
        char* p = reinterpret_cast<char*>(rec) - kPrefix;
        if (reinterpret_cast<TBlockPrefix*>(p)->Generation == gGeneration && FBlockSize)
            FFreeBlocks.push_back(rec);
        --FLiveBlocks;
        rec = older;
    }
}

void TzohCommon::CopyRecord(const TzohStoredRecord* src, TzohStoredRecord* dst)
{
    dst->RecordNumber = src->RecordNumber;
    dst->RecordID = src->RecordID;
    dst->UniqueID = src->UniqueID;
    dst->UpdateStatus = src->UpdateStatus;
    dst->PreviousVersion = src->PreviousVersion;
    dst->TransactionLevel = src->TransactionLevel;
    dst->Spare = src->Spare;
    std::memcpy(dst->Data(), src->Data(), size_t(FCopyLength));
    for (const TzohSlot& s : FSlots)
        if (s.VarLength()) dst->Data()[s.Offset] = src->Data()[s.Offset];
}

TzohStoredRecord* TzohCommon::DuplicateRecord(const TzohStoredRecord* src, bool ownVarBuffers)
{
    TzohStoredRecord* dup = AllocRecord();
    CopyRecord(src, dup);
    if (ownVarBuffers) {
        for (int i = 0; i < int(FSlots.size()); ++i) {
            const TzohSlot& s = FSlots[i];
            if (!s.VarLength()) continue;
            const TzohVarBuffer* b = VarBufferOf(src, i);
            char* at = dup->Data() + s.Offset;
            if (b) {
                at[0] = 1;
                StoreRef(at + 1, NewVarBuffer(b->Bytes(), b->Length));
            } else {
                at[0] = 0;
                StoreRef(at + 1, nullptr);
            }
        }
    }
    return dup;
}

void TzohCommon::MoveVarBuffers(TzohStoredRecord* buffer, TzohStoredRecord* stored)
{
    for (const TzohSlot& s : FSlots) {
        if (!s.VarLength()) continue;
        char* from = buffer->Data() + s.Offset;
        char* to = stored->Data() + s.Offset;
        if (TzohVarBuffer* b = LoadRef(from + 1)) {
            if (TzohVarBuffer* old = LoadRef(to + 1)) std::free(old);
            StoreRef(to + 1, b);
            StoreRef(from + 1, nullptr);
        } else if (!from[0]) {
            if (TzohVarBuffer* old = LoadRef(to + 1)) std::free(old);
            StoreRef(to + 1, nullptr);
            to[0] = 0;
        }
    }
    CopyRecord(buffer, stored);
}

const TzohVarBuffer* TzohCommon::VarBufferOf(const TzohStoredRecord* rec, int slot) const
{
    if (!rec) return nullptr;
    const char* at = rec->Data() + FSlots[slot].Offset;
    if (TzohVarBuffer* b = LoadRef(at + 1)) return b;
    if (!at[0]) return nullptr;
    if (rec->StoredMark) return nullptr;
    if (rec->RecordID < 0) throw EMemTableError(QStringLiteral("Invalid record "));
    const TzohStoredRecord* stored = Record(rec->RecordID);
    if (!stored || stored == rec) return nullptr;
    return LoadRef(stored->Data() + FSlots[slot].Offset + 1);
}

void TzohCommon::SetVarValue(TzohStoredRecord* rec, int slot, const char* data, qsizetype len, bool isNull)
{
    char* at = rec->Data() + FSlots[slot].Offset;
    if (TzohVarBuffer* old = LoadRef(at + 1)) std::free(old);
    if (isNull) {
        StoreRef(at + 1, nullptr);
        at[0] = 0;
        return;
    }
    StoreRef(at + 1, NewVarBuffer(data, len));
    at[0] = 1;
}

void TzohCommon::SetFieldNull(TzohStoredRecord* rec, int slot)
{
    if (FSlots[slot].VarLength())
        SetVarValue(rec, slot, nullptr, 0, true);
    else
        rec->Data()[FSlots[slot].Offset] = 0;
}

// ---------------------------------------------------------------- records

qint32 TzohCommon::AddRecord(TzohStoredRecord* rec)
{
    TLocker lock(this);
    if (FFreeSlots.empty()) {
        rec->RecordID = FNextRecordID++;
        rec->UniqueID = FUniqueCounter++;
        rec->StoredMark = 1;
        FRecords.push_back(rec);
        if (FVersioningEnabled) rec->UpdateStatus = usInserted;
        if (FUniqueCounter >= 2147483600)
            throw EMemTableError(QStringLiteral("Bookmark counter is out of range. Please close and reopen table."));
    } else {
        rec->RecordID = FFreeSlots.back();
        FFreeSlots.pop_back();
        rec->UniqueID = FUniqueCounter++;
        FRecords[rec->RecordID] = rec;
        rec->StoredMark = 1;
        if (FVersioningEnabled) rec->UpdateStatus = usInserted;
    }
    return rec->RecordID;
}

qint32 TzohCommon::AppendRecord(TzohStoredRecord* rec)
{
    rec->RecordID = qint32(FRecords.size());
    FNextRecordID = rec->RecordID + 1;
    rec->UniqueID = FUniqueCounter++;
    rec->StoredMark = 1;
    FRecords.push_back(rec);
    return rec->RecordID;
}

void TzohCommon::DropLastAppended()
{
    if (FRecords.empty()) return;
    TzohStoredRecord* rec = FRecords.back();
    FRecords.pop_back();
    FNextRecordID = qint32(FRecords.size());
    --FUniqueCounter;
    if (rec) FreeRecord(rec, true, true);
}

void TzohCommon::ReleaseSlot(qint32 recordID)
{
    TLocker lock(this);
    if (!Record(recordID)) return;
    FFreeSlots.push_back(recordID);
    FRecords[recordID] = nullptr;
}

void TzohCommon::DeleteRecord(qint32 recordID)
{
    TLocker lock(this);
    TzohStoredRecord* rec = Record(recordID);
    if (!rec) return;
    ReleaseSlot(recordID);
    FreeRecord(rec, true, true);
}

void TzohCommon::ClearRecords()
{
    TLocker lock(this);
    qsizetype blocks = 0;
    for (TzohStoredRecord* r : FRecords)
        for (TzohStoredRecord* v = r; v; v = (v->StoredMark ? v->PreviousVersion : nullptr)) ++blocks;
    if (blocks == FLiveBlocks) {
        // Nothing else lives in the chunks: give them back whole.
        for (TzohStoredRecord* r : FRecords)
            for (TzohStoredRecord* v = r; v; v = (v->StoredMark ? v->PreviousVersion : nullptr)) FreeVarBuffers(v);
        FChunks.clear();
        FNextChunk = 0;
        FFreeBlocks.clear();
        FFreeBlocks.shrink_to_fit();
        FChunkCursor = nullptr;
        FChunkLeft = 0;
        FLiveBlocks = 0;
    } else {
        for (TzohStoredRecord* r : FRecords)
            if (r) FreeRecord(r, true, true);
    }
    FRecords.clear();
    FRecords.shrink_to_fit();
    FFreeSlots.clear();
    FNextRecordID = 0;
    FUniqueCounter = 0;
    FDeletedCount = 0;
}

void TzohCommon::SetStandalone(bool v)
{
    if (v == FStandalone) return;
    if (v && FTables.size() > 1) throw EMemTableError(QStringLiteral("Children are attached to this table."));
    FStandalone = v;
}

// ---------------------------------------------------------------- locale

void TzohCommon::SetLocaleID(int id)
{
    FLocaleID = id;
    FSortID = (id >> 16) & 0xF;
    FLanguageID = id & 0xFF;
    FSubLanguageID = (id >> 10) & 0x3F;
}

void TzohCommon::RecomputeLocale()
{
    FLocaleID = (((FSubLanguageID * 1024) | FLanguageID) & 0xFFFF) | (FSortID * 65536);
}

void TzohCommon::EnsureCollator()
{
    if (FCollatorLocale != FLocaleID) {
        QLocale loc;
        FCollatorValid = LocaleOfLCID(FLocaleID, loc);
        if (FCollatorValid) {
            FCollator = std::make_unique<QCollator>(loc);
            FCollator->setCaseSensitivity(Qt::CaseSensitive);
            FCollatorCI = std::make_unique<QCollator>(loc);
            FCollatorCI->setCaseSensitivity(Qt::CaseInsensitive);
        }
        FCollatorLocale = FLocaleID;
    }
    if (!FCollatorValid) throw EMemTableError(QStringLiteral("Invalid locale. ") + QString::number(FLocaleID));
}

int TzohCommon::CompareText(const char* a, qsizetype alen, const char* b, qsizetype blen, bool caseInsensitive)
{
    EnsureCollator();
    const TWideText wa(a, alen), wb(b, blen);
    const int r = (caseInsensitive ? FCollatorCI : FCollator)->compare(wa.View(), wb.View());
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

QCollatorSortKey TzohCommon::SortKey(const char* s, qsizetype len, bool caseInsensitive)
{
    EnsureCollator();
    const TWideText w(s, len);
    return (caseInsensitive ? FCollatorCI : FCollator)->sortKey(w.View().toString());
}

// ---------------------------------------------------------------- transactions

void TzohCommon::Commit()
{
    TLocker lock(this);
    const int level = FTransactionLevel;
    for (TzohStoredRecord* rec : FRecords) {
        if (!rec) continue;
        TzohStoredRecord* prev = rec->PreviousVersion;
        while (prev && prev->TransactionLevel == level) {
            TzohStoredRecord* older = prev->PreviousVersion;
            FreeVarBuffers(prev);
            prev->StoredMark = 0;
            FreeRecord(prev, false, false);
            prev = older;
        }
        rec->PreviousVersion = prev;
        if (rec->TransactionLevel == level) rec->TransactionLevel = level - 1;
    }
    DecTransactionLevel();
}

void TzohCommon::Rollback()
{
    TLocker lock(this);
    const int level = FTransactionLevel;
    FModified = false;
    for (qint32 id = 0; id < qint32(FRecords.size()); ++id) {
        TzohStoredRecord* rec = FRecords[id];
        while (rec && rec->TransactionLevel == level) {
            if (rec->UpdateStatus == usUnmodified) break;
            if (rec->UpdateStatus == usInserted) {
                FRecords[id] = nullptr;
                FFreeSlots.push_back(id);
                FreeRecord(rec, true, true);
                rec = nullptr;
                break;
            }
            TzohStoredRecord* prev = rec->PreviousVersion;
            if (rec->UpdateStatus == usDeleted && FDeletedCount > 0) --FDeletedCount;
            if (prev) {
                prev->RecordID = id;
                prev->StoredMark = 1;
            }
            FRecords[id] = prev;
            if (!prev) FFreeSlots.push_back(id);
            FreeVarBuffers(rec);
            rec->StoredMark = 0;
            FreeRecord(rec, false, false);
            rec = prev;
        }
    }
    for (TzohStoredRecord* rec : FRecords)
        if (rec && rec->UpdateStatus != usUnmodified) {
            FModified = true;
            break;
        }
    DecTransactionLevel();
}

// ---------------------------------------------------------------- attached tables

void TzohCommon::SetAttachMaxCount(int n)
{
    if (n == FAttachMaxCount) return;
    if (n <= 0) throw EMemTableError(QStringLiteral("Invalid argument."));
    if (AnyTableOpen()) throw EMemTableError(QStringLiteral("Table must be closed for this operation."));
    FTables.resize(size_t(n), nullptr);
    FAttachMaxCount = n;
}

int TzohCommon::RegisterTable(TzohStoreClient* table)
{
    TLocker lock(this);
    for (int i = 0; i < int(FTables.size()); ++i)
        if (!FTables[i]) {
            FTables[i] = table;
            return i;
        }
    if (AnyTableOpen()) throw EMemTableError(QStringLiteral("Table must be closed for this operation."));
    FTables.push_back(table);
    FAttachMaxCount = int(FTables.size());
    return FAttachMaxCount - 1;
}

void TzohCommon::ReleaseTable(int attachIndex)
{
    TLocker lock(this);
    if (attachIndex >= 0 && attachIndex < int(FTables.size())) FTables[attachIndex] = nullptr;
}

bool TzohCommon::AnyTableOpen() const
{
    for (TzohStoreClient* t : FTables)
        if (t && t->StoreClientActive()) return true;
    return false;
}

void TzohCommon::CloseOtherTables(TzohStoreClient* except)
{
    TLocker lock(this);
    for (int i = int(FTables.size()) - 1; i >= 0; --i)
        if (FTables[i] && FTables[i] != except) FTables[i]->StoreClientClose();
}

void TzohCommon::RefreshOtherTables(TzohStoreClient* except)
{
    TLocker lock(this);
    for (TzohStoreClient* t : FTables)
        if (t && t != except && t->StoreClientActive() && t->StoreClientBrowsing()) t->StoreClientRefresh();
}

void TzohCommon::EmptyAllTables()
{
    TLocker lock(this);
    for (TzohStoreClient* t : FTables)
        if (t && t->StoreClientActive()) t->StoreClientEmpty();
    ClearRecords();
}

void TzohCommon::RebuildAllIndexes()
{
    TLocker lock(this);
    for (TzohStoreClient* t : FTables)
        if (t && t->StoreClientActive()) t->StoreClientRebuildIndexes();
}
