#include "platform/client/ClientKeys.h"

#include "platform/client/PacketValues.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace {

template <typename T> int Order(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

long double BcdValue(const char* bcd)
{
    const int precision = qMin(int(uchar(bcd[0])), 32);
    const int scale = uchar(bcd[1]) & 0x3F;
    long double v = 0;
    for (int i = 0; i < precision; ++i) {
        const uchar byte = uchar(bcd[2 + i / 2]);
        v = v * 10 + (i % 2 == 0 ? byte >> 4 : byte & 0x0F);
    }
    v /= std::pow(10.0L, scale);
    return (uchar(bcd[1]) & 0x80) ? -v : v;
}

double FloatValue(const TStoreColumn& c, const char* p)
{
    switch (c.Kind) {
    case pkSingle: {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    case pkExtended:
        return PacketExtendedToDouble(p);
    default: {
        double d;
        std::memcpy(&d, p, 8);
        return d;
    }
    }
}

// UTF-16 text of a cell as aligned characters: in place where the bytes are aligned, else
// copied, on the stack for all but long texts.
class TWideText {
public:
    TWideText(const char* bytes, qsizetype size) : FSize(size / 2)
    {
        if (!(quintptr(bytes) & 1)) {
            FData = reinterpret_cast<const char16_t*>(bytes);
            return;
        }
        FCopy.resize(FSize);
        std::memcpy(FCopy.data(), bytes, size_t(FSize) * 2);
        FData = FCopy.constData();
    }
    const char16_t* Data() const { return FData; }
    qsizetype Size() const { return FSize; }

private:
    QVarLengthArray<char16_t, 128> FCopy;
    const char16_t* FData = nullptr;
    qsizetype FSize = 0;
};

} // namespace

// ---- TKeyComparer ----------------------------------------------------------------------------

TKeyComparer::TKeyComparer(const TRecordStore* store, int level, std::vector<TKeyPart> parts)
    : FStore(store), FLevel(&store->Level(level)), FCollation(&TCollation::ForCodePage(store->CodePage())),
      FParts(std::move(parts))
{
}

const char* TKeyComparer::Cell(const TKeyRow& row, int column) const
{
    if (row.Slot) return FStore->CellBlock(*FLevel, row.Slot, column);
    return row.Block && FLevel->State(row.Block, column) == csValue ? row.Block : nullptr;
}

int TKeyComparer::CompareCells(const char* a, const char* b, int column, bool caseInsensitive) const
{
    if (!a || !b) return a ? 1 : (b ? -1 : 0);
    const TStoreColumn& c = FLevel->Columns[size_t(column)];
    const char* pa = a + c.Offset;
    const char* pb = b + c.Offset;
    switch (c.Kind) {
    case pkNone: case pkNested:
        return 0;
    case pkInt8: case pkInt16: case pkInt32: case pkInt64: case pkDate: case pkTime:
        return Order(BlockInt(pa, c.Bytes, true), BlockInt(pb, c.Bytes, true));
    case pkUInt8: case pkUInt16: case pkUInt32: case pkUInt64: case pkBoolean:
        return Order(quint64(BlockInt(pa, c.Bytes, false)), quint64(BlockInt(pb, c.Bytes, false)));
    case pkDouble: case pkSingle: case pkExtended: case pkTimeStamp:
        return Order(FloatValue(c, pa), FloatValue(c, pb));
    case pkBcd:
        return Order(BcdValue(pa), BcdValue(pb));
    case pkSqlTimeStamp: case pkSqlTimeStampOffset: {
        qint16 ya, yb;
        std::memcpy(&ya, pa, 2);
        std::memcpy(&yb, pb, 2);
        if (ya != yb) return Order(ya, yb);
        for (int i = 2; i < 12; i += 2) {
            quint16 x, y;
            std::memcpy(&x, pa + i, 2);
            std::memcpy(&y, pb + i, 2);
            if (x != y) return Order(x, y);
        }
        quint32 fa, fb;
        std::memcpy(&fa, pa + 12, 4);
        std::memcpy(&fb, pb + 12, 4);
        return Order(fa, fb);
    }
    case pkAnsiString: {
        qsizetype na = 0, nb = 0;
        const char* sa = FStore->BytesView(*FLevel, a, column, na);
        const char* sb = FStore->BytesView(*FLevel, b, column, nb);
        return FCollation->CompareAnsi(sa, na, sb, nb, caseInsensitive);
    }
    case pkWideString: {
        qsizetype na = 0, nb = 0;
        const char* sa = FStore->BytesView(*FLevel, a, column, na);
        const char* sb = FStore->BytesView(*FLevel, b, column, nb);
        // The block need not keep UTF-16 aligned.
        const TWideText x(sa, na), y(sb, nb);
        return TCollation::CompareWide(x.Data(), x.Size(), y.Data(), y.Size(), caseInsensitive);
    }
    default: {
        qsizetype na = 0, nb = 0;
        const char* sa = FStore->BytesView(*FLevel, a, column, na);
        const char* sb = FStore->BytesView(*FLevel, b, column, nb);
        const int r = std::memcmp(sa, sb, size_t(std::min(na, nb)));
        if (r) return r < 0 ? -1 : 1;
        return Order(na, nb);
    }
    }
}

bool TKeyComparer::CellStartsWith(const char* cell, const char* key, int column, bool caseInsensitive) const
{
    if (!cell || !key) return !cell && !key;
    const TStoreColumn& c = FLevel->Columns[size_t(column)];
    if (c.Kind == pkAnsiString || c.Kind == pkWideString) {
        qsizetype n = 0, np = 0;
        const char* s = FStore->BytesView(*FLevel, cell, column, n);
        const char* p = FStore->BytesView(*FLevel, key, column, np);
        if (c.Kind == pkAnsiString) return FCollation->StartsWithAnsi(s, n, p, np, caseInsensitive);
        const TWideText x(s, n), y(p, np);
        return TCollation::StartsWithWide(x.Data(), x.Size(), y.Data(), y.Size(), caseInsensitive);
    }
    return CompareCells(cell, key, column, caseInsensitive) == 0;
}

int TKeyComparer::ComparePrefixPrimary(const char* cell, const char* key, int column) const
{
    if (!cell || !key) return cell ? 1 : (key ? -1 : 0);
    const TStoreColumn& c = FLevel->Columns[size_t(column)];
    qsizetype n = 0, np = 0;
    const char* s = FStore->BytesView(*FLevel, cell, column, n);
    const char* p = FStore->BytesView(*FLevel, key, column, np);
    if (c.Kind == pkAnsiString) return FCollation->ComparePrefixPrimaryAnsi(s, n, p, np);
    const TWideText x(s, n), y(p, np);
    return TCollation::ComparePrefixPrimaryWide(x.Data(), x.Size(), y.Data(), y.Size());
}

int TKeyComparer::Compare(const TKeyRow& a, const TKeyRow& b, int parts) const
{
    const int n = parts < 0 ? int(FParts.size()) : qMin(parts, int(FParts.size()));
    for (int i = 0; i < n; ++i) {
        const TKeyPart& p = FParts[size_t(i)];
        const int c = CompareCells(Cell(a, p.Column), Cell(b, p.Column), p.Column, p.CaseInsensitive);
        if (c) return p.Descending ? -c : c;
    }
    return 0;
}

int TKeyComparer::CompareRecs(TRecIndex a, TRecIndex b) const
{
    return Compare({nullptr, FLevel->Current(a)}, {nullptr, FLevel->Current(b)});
}

void TKeyComparer::SortPrefix(const TKeyRow& row, quint64& high, quint64& low) const
{
    high = low = 0;
    if (FParts.empty()) return;
    const TKeyPart& part = FParts.front();
    const char* cell = Cell(row, part.Column);
    if (cell) {
        const TStoreColumn& c = FLevel->Columns[size_t(part.Column)];
        const char* p = cell + c.Offset;
        switch (c.Kind) {
        case pkInt8: case pkInt16: case pkInt32: case pkInt64: case pkDate: case pkTime:
            high = quint64(BlockInt(p, c.Bytes, true)) ^ (quint64(1) << 63);
            low = 1;
            break;
        case pkUInt8: case pkUInt16: case pkUInt32: case pkUInt64: case pkBoolean:
            high = quint64(BlockInt(p, c.Bytes, false));
            low = 1;
            break;
        case pkDouble: case pkTimeStamp: case pkSingle: {
            const double d = FloatValue(c, p);
            if (d != d) break;
            quint64 bits;
            std::memcpy(&bits, &d, 8);
            high = (bits & (quint64(1) << 63)) ? ~bits : bits | (quint64(1) << 63);
            if (d == 0) high = quint64(1) << 63;
            low = 1;
            break;
        }
        case pkAnsiString:
            if (FCollation->SingleByte()) {
                qsizetype n = 0;
                const uchar* s = reinterpret_cast<const uchar*>(FStore->BytesView(*FLevel, cell, part.Column, n));
                // Seven 9-bit ranks per word; a shorter text pads with 0, which ranks first.
                for (int i = 0; i < 14; ++i) {
                    const quint64 r = i < n ? FCollation->PrimaryRank(s[i]) : 0;
                    if (i < 7) high = (high << 9) | r;
                    else low = (low << 9) | r;
                }
                low = (low << 1) | 1;
            }
            break;
        case pkWideString: {
            qsizetype n = 0;
            const char* s = FStore->BytesView(*FLevel, cell, part.Column, n);
            n /= 2;
            for (int i = 0; i < 6; ++i) {
                quint64 w = 0;
                if (i < n) {
                    char16_t ch;
                    std::memcpy(&ch, s + 2 * i, 2);
                    w = TCollation::KeyOf(ch).Primary + 1;
                }
                if (i < 3) high = (high << 21) | w;
                else low = (low << 21) | w;
            }
            low = (low << 1) | 1;
            break;
        }
        default:
            break;
        }
    }
    if (part.Descending) {
        high = ~high;
        low = ~low;
    }
}

void SortRecords(const TRecordStore& store, int level, const std::vector<TKeyPart>& parts, std::vector<TRecIndex>& recs)
{
    if (parts.empty() || recs.size() < 2) return;
    const TKeyComparer cmp(&store, level, parts);
    const TStoreLevel& lv = store.Level(level);
    struct TItem {
        quint64 High;
        quint64 Low;
        TSlotNo Slot;
        quint32 Pos;    // equal keys keep their order
    };
    std::vector<TItem> items;
    items.reserve(recs.size());
    for (size_t i = 0; i < recs.size(); ++i) {
        TItem item{0, 0, lv.Current(recs[i]), quint32(i)};
        cmp.SortPrefix({nullptr, item.Slot}, item.High, item.Low);
        items.push_back(item);
    }
    std::sort(items.begin(), items.end(), [&](const TItem& a, const TItem& b) {
        if (a.High != b.High) return a.High < b.High;
        if (a.Low != b.Low) return a.Low < b.Low;
        const int c = cmp.Compare({nullptr, a.Slot}, {nullptr, b.Slot});
        return c ? c < 0 : a.Pos < b.Pos;
    });
    std::vector<TRecIndex> sorted(recs.size());
    for (size_t i = 0; i < items.size(); ++i) sorted[i] = recs[items[i].Pos];
    recs.swap(sorted);
}

// ---- TIndexOrder -----------------------------------------------------------------------------

TIndexOrder::TIndexOrder(TRecordStore& store, std::vector<TKeyPart> parts)
    : FStore(store), FComparer(&store, 0, std::move(parts))
{
    Build();
    FStore.Attach(this, true);
}

TIndexOrder::~TIndexOrder()
{
    FStore.Detach(this);
}

std::shared_ptr<TIndexOrder> TIndexOrder::Obtain(TRecordStore& store, const std::vector<TKeyPart>& parts)
{
    auto& orders = store.IndexOrders;
    orders.erase(std::remove_if(orders.begin(), orders.end(), [](const std::weak_ptr<TIndexOrder>& w) { return w.expired(); }),
                 orders.end());
    for (const std::weak_ptr<TIndexOrder>& w : orders)
        if (std::shared_ptr<TIndexOrder> o = w.lock(); o && o->Parts() == parts) return o;
    auto order = std::make_shared<TIndexOrder>(store, parts);
    orders.push_back(order);
    return order;
}

void TIndexOrder::Build()
{
    std::vector<TRecIndex> recs = FStore.RecordOrder().ToVector();
    SortRecords(FStore, 0, FComparer.Parts(), recs);
    FList.Assign(recs);
}

bool TIndexOrder::Less(TRecIndex a, TRecIndex b) const
{
    const int c = FComparer.Compare(Row(a), Row(b));
    if (c) return c < 0;
    return FStore.RecordOrder().IndexOf(a) < FStore.RecordOrder().IndexOf(b);
}

void TIndexOrder::Place(TRecIndex rec)
{
    const int pos = FList.LowerBound([&](quint32 id) { return Less(id, rec); });
    FList.Insert(pos, rec);
}

int TIndexOrder::LowerBound(const TKeyRow& key, int parts) const
{
    return FList.LowerBound([&](quint32 id) { return FComparer.Compare(Row(id), key, parts) < 0; });
}

bool TKeyComparer::HasNull(const TKeyRow& row) const
{
    for (const TKeyPart& p : FParts)
        if (!Cell(row, p.Column)) return true;
    return false;
}

TRecIndex TIndexOrder::FindDuplicate(const TKeyRow& key, TRecIndex self) const
{
    // As in SQL, a key with a NULL part is never a duplicate.
    if (FComparer.HasNull(key)) return NoRec;
    for (int pos = LowerBound(key); pos < FList.Count(); ++pos) {
        const TRecIndex rec = FList.At(pos);
        if (FComparer.Compare(Row(rec), key) != 0) break;
        if (rec != self && FStore.IsVisible(0, rec) && !FStore.IsDelta()) return rec;
    }
    return NoRec;
}

bool TIndexOrder::HasDuplicates() const
{
    TRecIndex previous = NoRec;
    bool found = false;
    FList.ForEach([&](quint32 rec) {
        if (!FStore.IsVisible(0, rec) || FComparer.HasNull(Row(rec))) return true;
        if (previous != NoRec && FComparer.Compare(Row(previous), Row(rec)) == 0) {
            found = true;
            return false;
        }
        previous = rec;
        return true;
    });
    return found;
}

void TIndexOrder::StoreChanging(const TStoreChange& change)
{
    if (change.Kind != sckModified || change.Level != 0) return;
    FChangingRec = change.Rec;
    FChangingSlot = FStore.Level(0).Current(change.Rec);
}

void TIndexOrder::StoreChanged(const TStoreChange& change)
{
    const TRecIndex changing = FChangingRec;
    FChangingRec = NoRec;
    if (change.Kind == sckReset) {
        if (change.Level == 0) Build();
        return;
    }
    if (change.Level != 0) return;
    switch (change.Kind) {
    case sckInserted:
        if (FList.IndexOf(change.Rec) < 0) Place(change.Rec);
        break;
    case sckModified: {
        if (change.Rec == changing) {
            bool kept = true;
            for (const TKeyPart& part : FComparer.Parts())
                if (!(kept = part.Column >= 0 && FStore.KeptCell(0, change.Rec, FChangingSlot, part.Column))) break;
            if (kept) break;
        }
        const int pos = FList.IndexOf(change.Rec);
        if (pos >= 0) {
            // Most edits leave the key alone: the neighbours tell.
            const bool inPlace = (pos == 0 || Less(FList.At(pos - 1), change.Rec))
                              && (pos + 1 >= FList.Count() || Less(change.Rec, FList.At(pos + 1)));
            if (inPlace) break;
            FList.RemoveAt(pos);
        }
        Place(change.Rec);
        break;
    }
    case sckRemoved:
        FList.Remove(change.Rec);
        break;
    default:
        break;
    }
}
