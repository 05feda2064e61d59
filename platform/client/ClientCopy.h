#pragma once
// A whole-file rewrite with another structure: the packet of a target dataset's structure whose
// rows are a source dataset's records, produced straight into a packet writer, so that nothing
// of the new file is built in memory. Each target field takes the value of its paired source
// field: cell to cell where both keep the value alike (same type, layout and code page, and a
// value that fits), otherwise through the fields as assigning one to the other would do, on the
// target's edit buffer (the caller says how, e.g. what a value that does not fit becomes).

#include "platform/client/ClientStore.h"
#include "platform/client/PacketSink.h"
#include "platform/data/DB.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TClientDataSet;
class TField;
class TCopyPlan;
class TLocateHash;

class TRecordCopySource : public IPacketSource {
public:
    using TPair = std::pair<TField*, TField*>;     // target field, source field
    // target: open and empty, created here (no file), without nested or auto-increment fields;
    // source: open at its top level. The target is put into insert state while producing.
    TRecordCopySource(TClientDataSet& source, TClientDataSet& target, std::vector<TPair> pairs);

    // Whether a target can be written this way (see above); else append and post.
    static bool Supports(const TClientDataSet& target);

    // Gives `to` (the target's field, in insert state) the value of `from` (the source's field,
    // on the record being copied) for values that do not go cell to cell.
    std::function<void(TField* to, TField* from)> Assign;
    // Called every few thousand records with the number done.
    std::function<void(qint64 done)> Progress;

    void Produce(IPacketSink& sink) override;
    qint64 RowsProduced() const { return FRows; }

private:
    TClientDataSet& FSource;
    TClientDataSet& FTarget;
    std::vector<TPair> FPairs;
    qint64 FRows = 0;
};

// Updates of a target dataset's records from a source dataset's records through the same plan:
// each paired target cell takes the source's cell, and the record is posted as an edit of it
// would be (required fields, unique keys, the change log, the other cursors and hashes told),
// without the target's fields, edit state or cursor. For runs that change many records in a
// row; a record with a value that must go through the fields is left to an edit.
class TRecordUpdater {
public:
    using TPair = std::pair<TField*, TField*>;     // target field, source field
    // Both open at their top level; pairs without nested dataset fields. key: the target field
    // that finds the record to update and its source field, or nulls.
    TRecordUpdater(TClientDataSet& source, TClientDataSet& target, const std::vector<TPair>& pairs, TPair key = {});
    ~TRecordUpdater();
    TRecordUpdater(const TRecordUpdater&) = delete;
    TRecordUpdater& operator=(const TRecordUpdater&) = delete;

    // Whether records can go this way: a flat target and a key, if any, whose cells travel.
    static bool Supports(const TClientDataSet& target, const std::vector<TPair>& pairs);
    bool KeyTravels() const;

    // Takes the source's current record; false when one of its values (or its key) must go
    // through the fields, and then nothing is kept.
    bool Take();
    // The taken key as a block of the target's layout (only the key field's cell is set).
    const char* KeyBlock() const;
    // For a run over the whole source in its order that updates the records the keys find and
    // adds none: finds the records of every source record's key at once (see
    // TLocateHash::FindAll). Find then answers from them while the target changes only through
    // this updater's posts and every record's values travel. Not done (Find looks up each key)
    // where a post could change which record a key finds first: a pair that writes the key
    // field from another field, a target in an index order or filtered.
    void FindAll(const TLocateHash& hash);
    // For an Update run after FindAll: makes the new version of every record found, a share of
    // them on each core, in the blocks of the slots the target adds next (in the source's
    // order), and works out what each keeps of the version before; PostPrepared then posts them
    // in turn. Nothing is made when a record is found twice, a value must go through the fields,
    // the source is the target, or the target does not log changes.
    void PrepareAll(const TLocateHash& hash);
    // Posts the version PrepareAll made for the source's current record: true when the record is
    // done with (posted, or no record has its key); false when it takes the ordinary way (Take,
    // Find, Post), as every record does after a change PrepareAll did not foresee.
    bool PostPrepared();
    // The record the taken key finds, as hash.FindBlock(KeyBlock()) answers it.
    TRecordId Find(TLocateHash& hash);
    // Posts the taken values onto a target record; the taken values are used up either way.
    void Post(TRecordId id);
    // Drops the taken values when no record takes them.
    void Drop();
    // For a run over the source in its order, each record's key looked up in the hash: reads
    // ahead what the lookups and posts of the next few records will read (see
    // TLocateHash::ReadAhead), a batch of records at a time. Changes nothing.
    void ReadAhead(const TLocateHash& hash);

private:
    // The hash of the key of the source record at a position of its view; false when the
    // position holds no record.
    bool KeyHashAt(const TLocateHash& hash, int position, quint64& keyHash) const;
    bool Prepared() const { return !FPreparedPos.empty(); }
    void DropPrepared();
    // The found records go, and the versions made from them: they no longer hold.
    void ForgetFound();

    TClientDataSet& FSource;
    TClientDataSet& FTarget;
    std::unique_ptr<TCopyPlan> FPlan;
    std::vector<char> FValues;      // the taken cells, target layout
    std::vector<char> FKey;
    std::vector<char> FBlock;       // the record being posted
    bool FTaken = false;
    TByteHeap::TMark FMark;         // the target's heap before Take
    // Hashes of the keys ahead, by source position (each computed once on the way).
    static constexpr int AheadBatch = 8;
    static constexpr int AheadSteps = 4;
    struct TAheadKey {
        int Position = -1;
        quint64 Hash = 0;
    };
    TAheadKey FAhead[AheadBatch * AheadSteps];
    int FNextReadAhead = 0;         // the position of the next batch
    bool FChangesKey = false;       // a pair puts another source field into the key field
    bool FAllPaired = false;        // every target field takes a source field's value
    // FindAll's records by source position, and the target's version they hold for.
    std::vector<TRecIndex> FFound;
    quint64 FFoundVersion = 0;
    // PrepareAll's versions: the source positions they are for, what each keeps of the version
    // before (a bit per column), the next to post, and the target's slots before the first.
    std::vector<quint32> FPreparedPos;
    std::vector<quint64> FSame;
    size_t FNextPrepared = 0;
    quint32 FPreparedFirst = 0;
};
