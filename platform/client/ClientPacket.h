#pragma once
// The record store and the packet codec: a sink that fills a new store from a packet reader, and
// a source that produces the store's packet for a writer (the data with its change log, or the
// changes alone as a delta packet).

#include "platform/client/ClientStore.h"
#include "platform/client/PacketSink.h"

#include <functional>
#include <memory>
#include <vector>

// Name of the hidden column that numbers the rows of a nested level with a change log.
inline constexpr char LinkFieldName[] = "LINK_FIELD";

class TStoreLoader : public IPacketSink {
public:
    TStoreLoader() = default;
    // The store read; valid after EndPacket.
    std::shared_ptr<TRecordStore> TakeStore() { return std::move(FStore); }

    void BeginPacket(const TPacketMetadata& meta, qint64 rowCountHint) override;
    void BeginRow(int level, quint8 status) override;
    void Cell(int column, const TPacketCell& cell) override;
    void EndNested(int column) override;
    void EndRow() override;
    void EndPacket() override;

private:
    struct TOpenRow {
        int Level = 0;
        quint8 Status = 0;
        TSlotNo Holder = NoSlot;
        TSlotNo Slot = NoSlot;      // the slot the row takes
        qint64 Link = -1;
        char* Block = nullptr;      // the slot's block, filled in place
    };
    std::shared_ptr<TRecordStore> FStore;
    std::vector<int> FLinkColumn;           // per level of the packet: the LINK_FIELD column or -1
    std::vector<std::vector<quint32>> FLinkOf;  // per level: slot -> link value
    std::vector<TOpenRow> FRows;
    int FDepthRows = 0;
};

// Produces the packet of a store. Without a change log only the records of the current data
// are written, in the order the sorter gives (default: record order), with status 0; with a
// change log every slot is written in slot order with its status and the log.
class TStoreSource : public IPacketSource {
public:
    explicit TStoreSource(TRecordStore& store) : FStore(store) {}
    // Sorts the records of a level (the top level's whole list, or one master's nested rows)
    // into the order of the level's default index.
    std::function<void(int level, std::vector<TRecIndex>& recs)> SortLevel;

    void Produce(IPacketSink& sink) override;

private:
    void ProduceSlot(IPacketSink& sink, int level, TSlotNo slot, bool withStatus);
    void ProduceChildren(IPacketSink& sink, int level, TSlotNo masterSlot, int column, quint8 masterStatus);

    TRecordStore& FStore;
    TPacketMetadata FMeta;
    bool FLogMode = false;
    std::vector<bool> FLevelLog;            // levels written with all their slots
    std::vector<int> FLinkColumn;
    // Per nested level in log mode: its slots grouped by holder.
    std::vector<std::vector<quint32>> FHeldStart;
    std::vector<std::vector<TSlotNo>> FHeldSlots;
    std::vector<std::vector<TRecIndex>> FNestedRecs;    // per nested level: one master's rows
};

// The changes of a store as a delta packet: for each changed record its original (status 1) and
// new values (status 8, unchanged columns "not changed"), inserted records (4) and deleted ones
// (2), nested changes under their master row.
class TDeltaSource : public IPacketSource {
public:
    explicit TDeltaSource(TRecordStore& store) : FStore(store) {}
    void Produce(IPacketSink& sink) override;

private:
    bool HasNestedChanges(int level, TRecIndex rec) const;
    void ProduceRecord(IPacketSink& sink, int level, TRecIndex rec);
    void ProduceRow(IPacketSink& sink, int level, TRecIndex rec, TSlotNo slot, quint8 status, TSlotNo compareWith);

    TRecordStore& FStore;
    TPacketMetadata FMeta;
};

// A cell of a block (with a value) as a packet carries it; bytes point into the store.
TPacketCell ValueCell(const TRecordStore& store, const TStoreLevel& lv, const char* block, int column);

// The store of a packet file, binary or XML by its content. A binary file of plain current data
// keeps its rows in the mapped file until they are needed. Raises EPacketError naming the file.
std::shared_ptr<TRecordStore> LoadStoreFile(const QString& fileName);

// Packet metadata with the parameters the store keeps for itself (the change log, the next
// auto-increment value) and LINK_FIELD columns taken out: the form a store is built from.
TPacketMetadata StoreMetadata(const TPacketMetadata& meta);
