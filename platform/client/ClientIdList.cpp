#include "platform/client/ClientIdList.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

TIdList& TIdList::operator=(const TIdList& other)
{
    if (this == &other) return *this;
    FPool.clear();
    FPool.reserve(other.FPool.size());
    for (const auto& b : other.FPool) FPool.push_back(b ? std::make_unique<TBlock>(*b) : nullptr);
    FFree = other.FFree;
    FOrder = other.FOrder;
    FStarts = other.FStarts;
    FStartsValid = other.FStartsValid;
    FBlockOf = other.FBlockOf;
    FMapped = other.FMapped;
    FIdentity = other.FIdentity;
    FCount = other.FCount;
    return *this;
}

void TIdList::UpdateStarts() const
{
    const int n = int(FOrder.size());
    if (FStartsValid >= n && int(FStarts.size()) == n) return;
    FStarts.resize(size_t(n));
    int i = FStartsValid;
    if (i <= 0) {
        if (n > 0) FStarts[0] = 0;
        i = 1;
    }
    for (; i < n; ++i) FStarts[size_t(i)] = FStarts[size_t(i) - 1] + BlockAt(i - 1).Count;
    FStartsValid = n;
}

int TIdList::BlockOfPosition(int position) const
{
    UpdateStarts();
    if (position >= FCount) return int(FOrder.size()) - 1;
    const auto it = std::upper_bound(FStarts.begin(), FStarts.end(), position);
    return int(it - FStarts.begin()) - 1;
}

quint32 TIdList::AtInBlocks(int position) const
{
    if (position < 0 || position >= FCount) return 0;
    const int b = BlockOfPosition(position);
    return BlockAt(b).Ids[position - FStarts[size_t(b)]];
}

int TIdList::FindInBlock(const TBlock& b, quint32 id)
{
    for (int i = 0; i < b.Count; ++i)
        if (b.Ids[i] == id) return i;
    return -1;
}

int TIdList::IndexOfInBlocks(quint32 id) const
{
    if (FMapped) {
        if (id >= FBlockOf.size() || FBlockOf[id] == NoBlock) return -1;
        const quint32 serial = FBlockOf[id] >> OffsetBits;
        const int i = int(FBlockOf[id] & OffsetMask);
        if (serial >= FPool.size() || !FPool[serial]) return -1;
        const TBlock& b = *FPool[serial];
        if (i >= b.Count || b.Ids[i] != id) return -1;
        UpdateStarts();
        return FStarts[size_t(b.Position)] + i;
    }
    int start = 0;
    for (quint32 serial : FOrder) {
        const TBlock& b = *FPool[serial];
        const int i = FindInBlock(b, id);
        if (i >= 0) return start + i;
        start += b.Count;
    }
    return -1;
}

quint32 TIdList::NewBlock(int index)
{
    if (FFree.empty() && FPool.size() >= MaxSerials) throw std::length_error("Too many records in one list");
    quint32 serial;
    if (!FFree.empty()) {
        serial = FFree.back();
        FFree.pop_back();
        FPool[serial] = std::make_unique<TBlock>();
    } else {
        serial = quint32(FPool.size());
        FPool.push_back(std::make_unique<TBlock>());
    }
    FOrder.insert(FOrder.begin() + index, serial);
    Renumber(index);
    return serial;
}

void TIdList::Renumber(int fromIndex)
{
    for (int i = fromIndex; i < int(FOrder.size()); ++i) BlockAt(i).Position = i;
    FStartsValid = std::min(FStartsValid, fromIndex);
}

void TIdList::MapBlock(quint32 serial, int from)
{
    const TBlock& b = *FPool[serial];
    for (int i = from; i < b.Count; ++i) {
        const quint32 id = b.Ids[i];
        if (id >= FBlockOf.size()) FBlockOf.resize(std::max<size_t>(size_t(id) + 1, FBlockOf.size() * 3 / 2), NoBlock);
        FBlockOf[id] = (serial << OffsetBits) | quint32(i);
    }
}

void TIdList::SetMapped(bool mapped)
{
    FMapped = mapped;
    FBlockOf.clear();
    if (!mapped) {
        FBlockOf.shrink_to_fit();
        return;
    }
    for (quint32 serial : FOrder) MapBlock(serial);
}

void TIdList::SplitBlock(int index)
{
    const quint32 serial = NewBlock(index + 1);
    TBlock& from = BlockAt(index);
    TBlock& to = *FPool[serial];
    const int keep = from.Count / 2;
    to.Count = from.Count - keep;
    std::memcpy(to.Ids, from.Ids + keep, sizeof(quint32) * size_t(to.Count));
    from.Count = keep;
    if (FMapped) MapBlock(serial);
    FStartsValid = std::min(FStartsValid, index + 1);
}

void TIdList::RemoveBlock(int index)
{
    const quint32 serial = FOrder[size_t(index)];
    FPool[serial].reset();
    FFree.push_back(serial);
    FOrder.erase(FOrder.begin() + index);
    Renumber(index);
}

void TIdList::Materialize()
{
    if (!FIdentity) return;
    std::vector<quint32> ids(static_cast<size_t>(FCount));
    for (int i = 0; i < FCount; ++i) ids[size_t(i)] = quint32(i);
    AssignBlocks(ids);
}

void TIdList::Insert(int position, quint32 id)
{
    if (FIdentity) {
        if (position >= FCount && id == quint32(FCount)) {
            ++FCount;
            return;
        }
        Materialize();
    }
    if (position < 0) position = 0;
    if (position > FCount) position = FCount;
    if (FOrder.empty()) NewBlock(0);
    int b = BlockOfPosition(position);
    int offset = position - FStarts[size_t(b)];
    if (BlockAt(b).Count >= BlockCapacity) {
        SplitBlock(b);
        if (offset > BlockAt(b).Count) {
            offset -= BlockAt(b).Count;
            ++b;
        }
    }
    TBlock& blk = BlockAt(b);
    std::memmove(blk.Ids + offset + 1, blk.Ids + offset, sizeof(quint32) * size_t(blk.Count - offset));
    blk.Ids[offset] = id;
    ++blk.Count;
    ++FCount;
    FStartsValid = std::min(FStartsValid, b + 1);
    if (FMapped) {
        MapBlock(FOrder[size_t(b)], offset);
    } else if (FCount >= MapThreshold) {
        SetMapped(true);
    }
}

void TIdList::Append(quint32 id)
{
    Insert(FCount, id);
}

void TIdList::RemoveAt(int position)
{
    if (position < 0 || position >= FCount) return;
    if (FIdentity) {
        if (position == FCount - 1) {
            --FCount;
            FIdentity = FCount > 0;
            return;
        }
        Materialize();
    }
    const int b = BlockOfPosition(position);
    TBlock& blk = BlockAt(b);
    const int offset = position - FStarts[size_t(b)];
    const quint32 id = blk.Ids[offset];
    std::memmove(blk.Ids + offset, blk.Ids + offset + 1, sizeof(quint32) * size_t(blk.Count - offset - 1));
    --blk.Count;
    --FCount;
    if (FMapped) {
        if (id < FBlockOf.size()) FBlockOf[id] = NoBlock;
        MapBlock(FOrder[size_t(b)], offset);
    }
    FStartsValid = std::min(FStartsValid, b + 1);
    if (blk.Count == 0) {
        RemoveBlock(b);
    } else if (b + 1 < int(FOrder.size()) && blk.Count + BlockAt(b + 1).Count <= BlockCapacity / 2) {
        // Keeps many deletions from leaving a trail of nearly empty blocks.
        TBlock& next = BlockAt(b + 1);
        std::memcpy(blk.Ids + blk.Count, next.Ids, sizeof(quint32) * size_t(next.Count));
        blk.Count += next.Count;
        if (FMapped) MapBlock(FOrder[size_t(b)]);
        RemoveBlock(b + 1);
    }
    if (FMapped && FCount < MapThreshold / 2) SetMapped(false);
}

bool TIdList::Remove(quint32 id)
{
    const int position = IndexOf(id);
    if (position < 0) return false;
    RemoveAt(position);
    return true;
}

void TIdList::Clear()
{
    FPool.clear();
    FFree.clear();
    FOrder.clear();
    FStarts.clear();
    FStartsValid = 0;
    FBlockOf.clear();
    FMapped = false;
    FIdentity = false;
    FCount = 0;
}

void TIdList::AssignIdentity(int count)
{
    Clear();
    FCount = count;
    FIdentity = count > 0;
}

void TIdList::Assign(const std::vector<quint32>& ids)
{
    Clear();
    bool identity = !ids.empty();
    for (size_t i = 0; i < ids.size() && identity; ++i) identity = ids[i] == quint32(i);
    if (identity) {
        AssignIdentity(int(ids.size()));
        return;
    }
    AssignBlocks(ids);
}

void TIdList::AssignBlocks(const std::vector<quint32>& ids)
{
    Clear();
    // Blocks start three quarters full so that insertions rarely split at once.
    constexpr int fill = BlockCapacity * 3 / 4;
    FOrder.reserve(ids.size() / fill + 1);
    FPool.reserve(ids.size() / fill + 1);
    for (size_t i = 0; i < ids.size(); i += fill) {
        const quint32 serial = quint32(FPool.size());
        FPool.push_back(std::make_unique<TBlock>());
        TBlock& b = *FPool.back();
        b.Count = int(std::min<size_t>(fill, ids.size() - i));
        b.Position = int(FOrder.size());
        std::memcpy(b.Ids, ids.data() + i, sizeof(quint32) * size_t(b.Count));
        FOrder.push_back(serial);
    }
    FCount = int(ids.size());
    if (FCount >= MapThreshold) SetMapped(true);
}

std::vector<quint32> TIdList::ToVector() const
{
    std::vector<quint32> out;
    out.reserve(size_t(FCount));
    ForEach([&](quint32 id) { out.push_back(id); return true; });
    return out;
}
