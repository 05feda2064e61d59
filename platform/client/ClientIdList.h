#pragma once
// An ordered list of record ids with positional access, position-of-id, and insertion and
// removal anywhere, all in far less than linear time: the ids live in blocks of at most
// BlockCapacity, with the first position of every block kept (lazily) as a prefix count, and
// for long lists a map from id to block. Views, record orders and indexes are such lists.
// A list that holds exactly 0, 1, ..., n - 1 (the record order of a file as read) keeps no
// blocks at all until it changes otherwise: position and id are the same number.

#include <QtGlobal>

#include <memory>
#include <vector>

class TIdList {
public:
    static constexpr int BlockCapacity = 1024;

    TIdList() = default;
    TIdList(const TIdList& other) { *this = other; }
    TIdList& operator=(const TIdList& other);
    TIdList(TIdList&&) noexcept = default;
    TIdList& operator=(TIdList&&) noexcept = default;

    int Count() const { return FCount; }
    bool IsEmpty() const { return FCount == 0; }
    quint32 At(int position) const
    {
        if (FIdentity) return position >= 0 && position < FCount ? quint32(position) : 0;
        return AtInBlocks(position);
    }
    // -1 when the id is not in the list.
    int IndexOf(quint32 id) const
    {
        if (FIdentity) return id < quint32(FCount) ? int(id) : -1;
        return IndexOfInBlocks(id);
    }
    bool Contains(quint32 id) const { return IndexOf(id) >= 0; }

    // 0 <= position <= Count().
    void Insert(int position, quint32 id);
    void Append(quint32 id);
    void RemoveAt(int position);
    bool Remove(quint32 id);
    void Clear();
    // Replaces the contents in one pass.
    void Assign(const std::vector<quint32>& ids);
    // Replaces the contents with 0, 1, ..., count - 1.
    void AssignIdentity(int count);
    std::vector<quint32> ToVector() const;

    // First position whose id is not "before" the sought place: before(id) must be true for a
    // leading run of the list and false after it.
    template <typename Before> int LowerBound(Before before) const
    {
        int lo = 0, hi = FCount;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (before(At(mid))) lo = mid + 1;
            else hi = mid;
        }
        return lo;
    }

    // Calls f(id) for every id in order; stops early when f returns false.
    template <typename F> void ForEach(F f) const
    {
        if (FIdentity) {
            for (int i = 0; i < FCount; ++i)
                if (!f(quint32(i))) return;
            return;
        }
        for (quint32 serial : FOrder) {
            const TBlock& b = *FPool[serial];
            for (int i = 0; i < b.Count; ++i)
                if (!f(b.Ids[i])) return;
        }
    }

private:
    struct TBlock {
        int Count = 0;
        int Position = 0;       // index in FOrder
        quint32 Ids[BlockCapacity];
    };
    static constexpr quint32 NoBlock = 0xFFFFFFFFu;
    // The id map holds the block's serial and the id's offset in it.
    static constexpr int OffsetBits = 10;
    static constexpr quint32 OffsetMask = (1u << OffsetBits) - 1;
    static constexpr size_t MaxSerials = (size_t(1) << (32 - OffsetBits)) - 1;
    static_assert(BlockCapacity <= (1 << OffsetBits));
    // Lists shorter than this find ids by scanning; longer ones keep the id-to-block map.
    static constexpr int MapThreshold = 2 * BlockCapacity;

    TBlock& BlockAt(int index) const { return *FPool[FOrder[size_t(index)]]; }
    quint32 AtInBlocks(int position) const;
    int IndexOfInBlocks(quint32 id) const;
    // Gives an identity list its blocks, before a change that would break the identity.
    void Materialize();
    void AssignBlocks(const std::vector<quint32>& ids);
    void UpdateStarts() const;
    int BlockOfPosition(int position) const;
    quint32 NewBlock(int index);
    void MapBlock(quint32 serial, int from = 0);
    void SetMapped(bool mapped);
    void Renumber(int fromIndex);
    void SplitBlock(int index);
    void RemoveBlock(int index);
    static int FindInBlock(const TBlock& b, quint32 id);

    std::vector<std::unique_ptr<TBlock>> FPool;   // by serial; freed serials are reused
    std::vector<quint32> FFree;
    std::vector<quint32> FOrder;                  // serials in list order
    mutable std::vector<int> FStarts;             // first position of each block in FOrder
    mutable int FStartsValid = 0;                 // FStarts[0 .. FStartsValid) are up to date
    std::vector<quint32> FBlockOf;                // id -> serial, when mapped
    bool FMapped = false;
    bool FIdentity = false;     // the list is 0 .. FCount - 1 and has no blocks
    int FCount = 0;
};
