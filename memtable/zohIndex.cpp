#include "memtable/zohIndex.h"

#include "memtable/zohFieldData.h"

#include <algorithm>
#include <cstring>

namespace {
template <typename T> T Load(const char* p)
{
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}
template <typename T> int Sign(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }

bool Indexable(int t)
{
    switch (t) {
    case zft::String: case zft::Smallint: case zft::Integer: case zft::Word: case zft::Boolean:
    case zft::Float: case zft::Currency: case zft::BCD: case zft::Date: case zft::Time:
    case zft::DateTime: case zft::AutoInc: case zft::FixedChar: case zft::Largeint: case zft::ADT:
    case zft::Array:
        return true;
    default:
        return false;
    }
}

inline char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }
} // namespace

// ---------------------------------------------------------------- field lists

int TzohFieldList::IndexOfSlot(int slot) const
{
    for (int i = 0; i < int(FFields.size()); ++i)
        if (FFields[i].Slot == slot) return i;
    return -1;
}

bool TzohFieldList::SameAs(const TzohFieldList& o) const
{
    if (o.Count() != Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (FFields[i].Slot != o.FFields[i].Slot || FFields[i].Name.compare(o.FFields[i].Name, Qt::CaseInsensitive) != 0)
            return false;
    return true;
}

std::vector<TzohFieldSpec> ParseFieldListText(const QString& text)
{
    std::vector<TzohFieldSpec> out;
    for (const QString& part : text.split(QLatin1Char(';'))) {
        QString item = part.trimmed();
        if (item.isEmpty()) continue;
        TzohFieldSpec spec;
        const int colon = item.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            const QString opts = item.mid(colon + 1).toUpper();
            item = item.left(colon).trimmed();
            if (opts.contains(QLatin1Char('C'))) spec.Options |= mtcoCaseInsensitive;
            if (opts.contains(QLatin1Char('D'))) spec.Options |= mtcoDescending;
            if (opts.contains(QLatin1Char('N'))) spec.Options |= mtcoIgnoreNullKey;
            if (opts.contains(QLatin1Char('P'))) spec.Options |= mtcoPartialKey;
            if (opts.contains(QLatin1Char('L'))) spec.Options |= mtcoIgnoreLocale;
        }
        spec.Name = item;
        out.push_back(spec);
    }
    return out;
}

void BuildFieldList(TzohFieldList& list, const QString& text, const TzohFieldResolver& resolve, bool* hasCalculated)
{
    list.Clear();
    if (hasCalculated) *hasCalculated = false;
    for (const TzohFieldSpec& spec : ParseFieldListText(text)) {
        const TzohResolvedField f = resolve(spec.Name);
        if ((f.Kind != zfk::Data && f.Kind != zfk::Calculated) || !Indexable(f.DataType))
            throw EMemTableError(Format(QStringLiteral("Can't index on field %s"), {f.DisplayName}));
        TzohListField lf;
        lf.Slot = f.Slot;
        lf.DataType = f.DataType;
        lf.Name = spec.Name;
        lf.Options = spec.Options;
        list.Add(lf);
        if (f.Kind == zfk::Calculated && hasCalculated) *hasCalculated = true;
    }
}

// ---------------------------------------------------------------- comparing

int zohCompareValues(TzohCommon& store, int type, const char* key, qsizetype keyLen, const char* rec, qsizetype recLen,
                     TzohMemTableCompareOptions options, bool& fullMatch)
{
    fullMatch = true;
    int r = 0;
    switch (type) {
    case zft::String:
    case zft::FixedChar: {
        if (options & mtcoPartialKey) {
            fullMatch = recLen <= keyLen;
            recLen = qMin(recLen, keyLen);
        }
        if (options & mtcoIgnoreLocale) {
            const qsizetype n = qMin(keyLen, recLen);
            if (options & mtcoCaseInsensitive) {
                for (qsizetype i = 0; i < n && !r; ++i)
                    r = Sign(quint8(FoldAscii(key[i])), quint8(FoldAscii(rec[i])));
            } else {
                const int c = n ? std::memcmp(key, rec, size_t(n)) : 0;
                r = c < 0 ? -1 : c > 0 ? 1 : 0;
            }
            if (!r) r = Sign(keyLen, recLen);
        } else {
            r = store.CompareText(key, keyLen, rec, recLen, options & mtcoCaseInsensitive);
        }
        break;
    }
    case zft::Smallint: r = Sign(Load<qint16>(key), Load<qint16>(rec)); break;
    case zft::Integer: case zft::AutoInc: case zft::Date: case zft::Time: r = Sign(Load<qint32>(key), Load<qint32>(rec)); break;
    case zft::Word: r = Sign(Load<quint16>(key), Load<quint16>(rec)); break;
    case zft::Boolean: r = Sign(Load<quint16>(key) != 0, Load<quint16>(rec) != 0); break;
    case zft::Float: case zft::Currency: case zft::DateTime: r = Sign(Load<double>(key), Load<double>(rec)); break;
    case zft::BCD: {
        zohdata::TBcd a, b;
        std::memcpy(&a, key, sizeof a);
        std::memcpy(&b, rec, sizeof b);
        qint64 ca = 0, cb = 0;
        if (zohdata::BcdToCurr(a, ca) && zohdata::BcdToCurr(b, cb)) r = Sign(ca, cb);
        break;
    }
    case zft::Largeint: r = Sign(Load<qint64>(key), Load<qint64>(rec)); break;
    default: r = 0; break;
    }
    return (options & mtcoDescending) ? -r : r;
}

namespace {
// The bytes compared for a field: text without its terminator, fixed data otherwise.
inline void ValueBytes(const TzohCommon& s, const TzohStoredRecord* r, int slot, const char*& d, qsizetype& n)
{
    const TzohSlot& f = s.Slot(slot);
    if (f.VarLength() || f.DataType == zft::String || f.DataType == zft::FixedChar) {
        zohdata::ViewBytes(s, r, slot, d, n);
        if (!d) { d = ""; n = 0; }
        return;
    }
    d = s.FixedData(r, slot);
    n = f.DataSize;
}
} // namespace

int zohCompareFields(TzohCommon& store, const TzohFieldList& list, int limit, bool partial, bool ignoreNulls,
                     const TzohStoredRecord* key, const TzohStoredRecord* rec, TzohIndexHost* host)
{
    const int n = (limit <= 0 || limit >= list.Count()) ? list.Count() : limit;
    for (int i = 0; i < n; ++i) {
        const TzohListField& f = list.Field(i);
        if (f.Slot < 0) continue;
        TzohMemTableCompareOptions opts = f.Options;
        if (partial) opts |= mtcoPartialKey;
        const bool keyHas = store.FieldHasValue(key, f.Slot);
        if (!keyHas && ((opts & mtcoIgnoreNullKey) || ignoreNulls)) continue;
        const bool recHas = store.FieldHasValue(rec, f.Slot);
        int r;
        bool full = true;
        if (keyHas && recHas) {
            if (!(host && host->IndexHostCompareFields(f, key, rec, opts, full, r))) {
                const char *kd, *rd;
                qsizetype kn, rn;
                ValueBytes(store, key, f.Slot, kd, kn);
                ValueBytes(store, rec, f.Slot, rd, rn);
                r = zohCompareValues(store, f.DataType, kd, kn, rd, rn, opts, full);
            }
        } else if (keyHas) {
            r = 1;
        } else if (recHas) {
            r = -1;
        } else {
            continue;
        }
        if (r != 0) return r;
        if (!full) return 0;
    }
    return 0;
}

// ---------------------------------------------------------------- index

TzohIndex::TzohIndex(TzohIndexHost* host, const QString& name, bool rowOrder, bool sorted, quint32 options,
                     const QString& fieldNames, const TzohFieldResolver& resolve)
    : FHost(host), FName(name), FFieldNames(fieldNames), FOptions(options), FSorted(sorted), FRowOrder(rowOrder)
{
    FUpToDate = host->IndexStore()->LiveRecordCount() == 0;
    if (!fieldNames.isEmpty() && resolve) BuildFieldList(FFields, fieldNames, resolve, &FHasCalculated);
    for (int i = 0; i < FFields.Count(); ++i) {
        TzohMemTableCompareOptions o = FFields.Options(i);
        if (options & zixDescending) o |= mtcoDescending;
        if (options & zixCaseInsensitive) o |= mtcoCaseInsensitive;
        FFields.SetOptions(i, o);
    }
}

int TzohIndex::CompareRecords(const TzohFieldList& list, const TzohStoredRecord* key, bool partial, bool tieBreak,
                              const TzohStoredRecord* rec) const
{
    int r = zohCompareFields(*FHost->IndexStore(), list, 0, partial, false, key, rec, FHost);
    if (r != 0 || !tieBreak) return r;
    const bool keyBuf = key->RecordNumber >= 0, recBuf = rec->RecordNumber >= 0;
    if (!keyBuf && !recBuf) r = Sign(key->RecordID, rec->RecordID);
    else if (keyBuf && !recBuf) r = 1;
    else if (!keyBuf && recBuf) r = -1;
    if (list.Count() && (list.Options(0) & mtcoDescending)) r = -r;
    return r;
}

void TzohIndex::Rebuild()
{
    TzohCommon* s = FHost->IndexStore();
    TzohCommon::TLocker lock(s);
    FRecords.clear();
    FUpToDate = false;
    FRecords.reserve(size_t(s->RecordCount()));
    const int n = s->RecordCount();
    for (int id = 0; id < n; ++id)
        if (TzohStoredRecord* r = s->Record(id))
            if (Belongs(r)) FRecords.push_back(r);
}

void TzohIndex::Sort()
{
    if (!FSorted || FRecords.empty()) return;
    TzohCommon* s = FHost->IndexStore();
    FHost->IndexHostProgress(mtpcSort, 0);
    TzohCommon::TLocker lock(s);
    // With the tie-break the order is total, so any correct sort gives the one result.
    if (!SortWithKeys())
        std::sort(FRecords.begin(), FRecords.end(), [this](const TzohStoredRecord* a, const TzohStoredRecord* b) {
            return CompareRecords(FFields, a, false, true, b) < 0;
        });
    FUpToDate = true;
    if (FOptions & zixUnique) {
        for (size_t i = 1; i < FRecords.size(); ++i)
            if (CompareRecords(FFields, FRecords[i - 1], false, false, FRecords[i]) == 0) {
                FHost->IndexHostProgress(mtpcSort, 100);
                throw EMemTableError(QStringLiteral("Duplicate index value. Operation aborted."));
            }
    }
    FHost->IndexHostProgress(mtpcSort, 100);
}

bool TzohIndex::SortWithKeys()
{
    const int nf = FFields.Count();
    if (FRecords.size() < 64 || FHost->IndexHostHasCompareHook() || nf == 0) return false;
    for (int f = 0; f < nf; ++f) {
        const TzohListField& lf = FFields.Field(f);
        if (lf.Slot < 0 || (lf.Options & (mtcoIgnoreNullKey | mtcoPartialKey))) return false;
    }
    TzohCommon& s = *FHost->IndexStore();
    const int n = int(FRecords.size());
    // Per field: how its keys compare, and the keys made once per record.
    enum TKeyKind { kkCollation, kkInt, kkFloat, kkBytes };
    struct TFieldKeys {
        TKeyKind Kind = kkBytes;
        std::vector<char> Has;
        std::vector<QCollatorSortKey> Text;
        std::vector<qint64> Ints;
        std::vector<double> Floats;
    };
    std::vector<TFieldKeys> keys(static_cast<size_t>(nf));
    for (int f = 0; f < nf; ++f) {
        const TzohListField& lf = FFields.Field(f);
        TFieldKeys& k = keys[f];
        switch (lf.DataType) {
        case zft::String: case zft::FixedChar: k.Kind = (lf.Options & mtcoIgnoreLocale) ? kkBytes : kkCollation; break;
        case zft::Smallint: case zft::Integer: case zft::Word: case zft::AutoInc: case zft::Date: case zft::Time:
        case zft::Largeint: case zft::Boolean: case zft::BCD:
            k.Kind = kkInt;
            break;
        case zft::Float: case zft::Currency: case zft::DateTime: k.Kind = kkFloat; break;
        default: k.Kind = kkBytes; break;
        }
        k.Has.resize(static_cast<size_t>(n));
        if (k.Kind == kkCollation) k.Text.reserve(static_cast<size_t>(n));
        if (k.Kind == kkInt) k.Ints.resize(static_cast<size_t>(n));
        if (k.Kind == kkFloat) k.Floats.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const TzohStoredRecord* r = FRecords[i];
            const bool has = s.FieldHasValue(r, lf.Slot);
            k.Has[i] = has;
            switch (k.Kind) {
            case kkCollation: {
                const char* d = nullptr;
                qsizetype len = 0;
                if (has) zohdata::ViewBytes(s, r, lf.Slot, d, len);
                k.Text.push_back(s.SortKey(d ? d : "", len, lf.Options & mtcoCaseInsensitive));
                break;
            }
            case kkInt:
                if (!has) break;
                if (lf.DataType == zft::BCD) k.Ints[i] = zohdata::GetCurrency(s, r, lf.Slot);
                else if (lf.DataType == zft::Boolean) k.Ints[i] = zohdata::GetBoolean(s, r, lf.Slot);
                else k.Ints[i] = zohdata::GetInteger(s, r, lf.Slot);
                break;
            case kkFloat: {
                if (!has) break;
                double v;
                std::memcpy(&v, s.FixedData(r, lf.Slot), sizeof v);
                k.Floats[i] = v;
                break;
            }
            case kkBytes: break;
            }
        }
    }
    const bool firstDescending = FFields.Options(0) & mtcoDescending;
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](int i, int j) {
        for (int f = 0; f < nf; ++f) {
            const TFieldKeys& k = keys[f];
            const bool ha = k.Has[i], hb = k.Has[j];
            int r;
            if (ha && hb) {
                const TzohListField& lf = FFields.Field(f);
                switch (k.Kind) {
                case kkCollation: r = k.Text[i].compare(k.Text[j]); r = r < 0 ? -1 : r > 0 ? 1 : 0; break;
                case kkInt: r = Sign(k.Ints[i], k.Ints[j]); break;
                case kkFloat: r = Sign(k.Floats[i], k.Floats[j]); break;
                default: {
                    bool full = true;
                    const char *da, *db;
                    qsizetype na, nb;
                    ValueBytes(s, FRecords[i], lf.Slot, da, na);
                    ValueBytes(s, FRecords[j], lf.Slot, db, nb);
                    // Handles the descending option itself.
                    r = zohCompareValues(s, lf.DataType, da, na, db, nb, lf.Options, full);
                    if (r) return r < 0;
                    continue;
                }
                }
                if (lf.Options & mtcoDescending) r = -r;
            } else if (ha) {
                r = 1;
            } else if (hb) {
                r = -1;
            } else {
                continue;
            }
            if (r) return r < 0;
        }
        const int t = Sign(FRecords[i]->RecordID, FRecords[j]->RecordID);
        return (firstDescending ? -t : t) < 0;
    });
    std::vector<TzohStoredRecord*> sorted(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) sorted[i] = FRecords[order[i]];
    FRecords.swap(sorted);
    return true;
}

void TzohIndex::RebuildAndSort()
{
    if (!FHost->IndexHostActive()) {
        FUpToDate = true;
        return;
    }
    Rebuild();
    if (!FRecords.empty()) Sort();
    FUpToDate = true;
}

int TzohIndex::Search(const TzohFieldList* list, const TzohStoredRecord* key, bool respectFilter, bool partial, int& pos)
{
    const TzohFieldList& fl = list ? *list : FFields;
    TzohCommon::TLocker lock(FHost->IndexStore());
    const int count = int(FRecords.size());
    int r = 1;
    pos = -1;
    if (!FUpToDate || FRowOrder || count <= 20) {
        for (int i = 0; i < count; ++i) {
            r = CompareRecords(fl, key, partial, false, FRecords[i]);
            if (r == 0 && (!respectFilter || FHost->IndexHostAccepts(FRecords[i]))) {
                pos = i;
                return 0;
            }
            if (partial && r < 0) {
                pos = i;
                return r;
            }
        }
        return r;
    }
    int low = 0, high = count - 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        r = CompareRecords(fl, key, false, false, FRecords[mid]);
        if (r < 0) {
            high = mid - 1;
        } else if (r > 0) {
            low = mid + 1;
        } else {
            int m = mid;
            while (m > 0 && CompareRecords(fl, key, partial, false, FRecords[m - 1]) == 0) --m;
            low = m;
            break;
        }
    }
    if (r != 0 && partial && low < count && CompareRecords(fl, key, true, false, FRecords[low]) == 0) r = 0;
    if (respectFilter && FHost->IndexHostFilters()) {
        while (low < count && !FHost->IndexHostAccepts(FRecords[low])) {
            ++low;
            if (low < count) {
                const int c = CompareRecords(fl, key, partial, false, FRecords[low]);
                if (c != 0 && !(partial && c < 0)) {
                    r = c;
                    break;
                }
            }
        }
    }
    pos = low;
    return r;
}

int TzohIndex::PositionOfRecordID(qint32 id) const
{
    if (FUpToDate) {
        int low = 0, high = int(FRecords.size()) - 1;
        while (low <= high) {
            const int mid = (low + high + 1) / 2;
            const qint32 v = FRecords[mid]->RecordID;
            if (v == id) return mid;
            if (v < id) low = mid + 1;
            else high = mid - 1;
        }
    }
    for (int i = 0; i < int(FRecords.size()); ++i)
        if (FRecords[i]->RecordID == id) return i;
    return -1;
}

int TzohIndex::PositionOf(const TzohStoredRecord* rec)
{
    if (!rec) return -1;
    int start = 0;
    if (FUpToDate && FRecords.size() > 20) {
        if (FRowOrder) {
            const int p = PositionOfRecordID(rec->RecordID);
            if (p >= 0) return p;
        } else {
            int p = -1;
            if (Search(nullptr, rec, false, false, p) == 0 && p >= 0) start = p;
        }
    }
    for (int i = start; i < int(FRecords.size()); ++i)
        if (FRecords[i]->RecordID == rec->RecordID) return i;
    if (start > 0)
        for (int i = 0; i < start; ++i)
            if (FRecords[i]->RecordID == rec->RecordID) return i;
    return -1;
}

void TzohIndex::RecordInserted(TzohStoredRecord* rec, int position, bool changingTable, bool append)
{
    if (!Belongs(rec)) return;
    if (FRowOrder) {
        if (changingTable && !append && position >= 0 && position <= int(FRecords.size()))
            FRecords.insert(FRecords.begin() + position, rec);
        else
            FRecords.push_back(rec);
        return;
    }
    if (FRecords.empty()) {
        FRecords.push_back(rec);
        return;
    }
    int pos = -1;
    const int r = Search(nullptr, rec, false, true, pos);
    if (r == 0 || pos >= 0) {
        pos = qBound(0, pos, int(FRecords.size()));
        FRecords.insert(FRecords.begin() + pos, rec);
    } else {
        FRecords.push_back(rec);
    }
}

void TzohIndex::RecordChanged(const TzohStoredRecord* oldValues, TzohStoredRecord* stored, const TzohStoredRecord* newValues,
                              int currentPos, bool isCurrent, int& newPos)
{
    newPos = -1;
    if (FRowOrder) {
        newPos = PositionOf(stored);
        return;
    }
    if (CompareRecords(FFields, oldValues, false, false, newValues) == 0) {
        newPos = PositionOf(stored);
        return;
    }
    int at = -1;
    if (isCurrent && currentPos >= 0 && currentPos < int(FRecords.size()) && FRecords[currentPos]->RecordID == stored->RecordID)
        at = currentPos;
    else
        at = PositionOf(stored);
    if (at >= 0) FRecords.erase(FRecords.begin() + at);
    if (!Belongs(const_cast<TzohStoredRecord*>(newValues))) return;
    int pos = -1;
    const int r = FRecords.empty() ? 1 : Search(nullptr, newValues, false, true, pos);
    if (r == 0 || pos >= 0) {
        pos = qBound(0, pos, int(FRecords.size()));
        FRecords.insert(FRecords.begin() + pos, stored);
        newPos = pos;
    } else {
        FRecords.push_back(stored);
        newPos = int(FRecords.size()) - 1;
    }
}

void TzohIndex::RecordDeleted(TzohStoredRecord* rec)
{
    const int at = FRowOrder ? PositionOfRecordID(rec->RecordID) : PositionOf(rec);
    if (at >= 0) FRecords.erase(FRecords.begin() + at);
}
