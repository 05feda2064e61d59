#include "platform/client/ClientCollation.h"

#include "platform/core/CodePages.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

TCollation::TKey ComputeKey(char16_t ch)
{
    TCollation::TKey k;
    const QChar c(ch);
    if (c.isSurrogate()) {
        k.Primary = 0x30000u + ch;
        return k;
    }
    if (c.isLetter()) {
        QChar base = c;
        quint16 accent = 0;
        // Canonical decompositions give the base letter and its first mark.
        for (int guard = 0; guard < 4 && base.decompositionTag() == QChar::Canonical; ++guard) {
            const QString d = base.decomposition();
            if (d.isEmpty()) break;
            if (d.size() > 1 && accent == 0) accent = d[1].unicode();
            base = d[0];
        }
        const QString folded = QString(base).toCaseFolded();
        k.Primary = 0x20000u + (folded.isEmpty() ? base.unicode() : folded[0].unicode());
        k.Secondary = accent;
        k.Tertiary = (c.isUpper() || c.isTitleCase()) ? 1 : 0;
        return k;
    }
    if (c.isDigit()) {
        k.Primary = 0x10000u + ch;
        return k;
    }
    k.Primary = ch;
    return k;
}

const std::vector<TCollation::TKey>& WideKeys()
{
    static const std::vector<TCollation::TKey> keys = [] {
        std::vector<TCollation::TKey> v(0x10000);
        for (quint32 i = 0; i < 0x10000; ++i) v[i] = ComputeKey(char16_t(i));
        return v;
    }();
    return keys;
}

} // namespace

TCollation::TKey TCollation::KeyOf(char16_t ch)
{
    return WideKeys()[ch];
}

TCollation::TCollation(int codePage)
    : FCodePage(codePage), FSingleByte(IsSingleByteCodePage(codePage))
{
    for (int i = 0; i < 256; ++i) {
        const char byte = char(i);
        const QString s = i == 0 ? QString(QChar(0)) : DecodeCodePage(QByteArrayView(&byte, 1), codePage);
        FKeys[size_t(i)] = s.size() == 1 ? KeyOf(s[0].unicode()) : TKey{quint32(i), 0, 0};
    }
    std::vector<quint32> weights;
    for (const TKey& k : FKeys) weights.push_back(k.Primary);
    std::sort(weights.begin(), weights.end());
    weights.erase(std::unique(weights.begin(), weights.end()), weights.end());
    for (int i = 0; i < 256; ++i)
        FRanks[size_t(i)] = quint16(1 + (std::lower_bound(weights.begin(), weights.end(), FKeys[size_t(i)].Primary) - weights.begin()));
}

const TCollation& TCollation::ForCodePage(int codePage)
{
    // Asked for by every hash and comparison of a text, also from a thread that reads one file
    // while another is read: the last one answered is kept per thread.
    thread_local int lastCodePage = -1;
    thread_local const TCollation* last = nullptr;
    if (last && lastCodePage == codePage) return *last;
    static std::mutex lock;
    static std::map<int, std::unique_ptr<TCollation>> cache;
    std::lock_guard<std::mutex> guard(lock);
    std::unique_ptr<TCollation>& made = cache[codePage];
    if (!made) made.reset(new TCollation(codePage));
    lastCodePage = codePage;
    last = made.get();
    return *last;
}

int TCollation::CompareAnsi(const char* a, qsizetype na, const char* b, qsizetype nb, bool caseInsensitive) const
{
    if (!FSingleByte) {
        const QString sa = DecodeCodePage(QByteArrayView(a, na), FCodePage);
        const QString sb = DecodeCodePage(QByteArrayView(b, nb), FCodePage);
        return CompareText(sa, sb, caseInsensitive);
    }
    const uchar* x = reinterpret_cast<const uchar*>(a);
    const uchar* y = reinterpret_cast<const uchar*>(b);
    const qsizetype n = std::min(na, nb);
    for (qsizetype i = 0; i < n; ++i) {
        if (x[i] == y[i]) continue;
        const quint32 p = FKeys[x[i]].Primary, q = FKeys[y[i]].Primary;
        if (p != q) return p < q ? -1 : 1;
    }
    if (na != nb) return na < nb ? -1 : 1;
    for (qsizetype i = 0; i < n; ++i) {
        const quint16 p = FKeys[x[i]].Secondary, q = FKeys[y[i]].Secondary;
        if (p != q) return p < q ? -1 : 1;
    }
    if (caseInsensitive) return 0;
    for (qsizetype i = 0; i < n; ++i) {
        const quint8 p = FKeys[x[i]].Tertiary, q = FKeys[y[i]].Tertiary;
        if (p != q) return p < q ? -1 : 1;
    }
    const int raw = std::memcmp(a, b, size_t(n));
    return raw < 0 ? -1 : (raw > 0 ? 1 : 0);
}

bool TCollation::StartsWithAnsi(const char* text, qsizetype n, const char* prefix, qsizetype np, bool caseInsensitive) const
{
    if (!FSingleByte) {
        const QString st = DecodeCodePage(QByteArrayView(text, n), FCodePage);
        const QString sp = DecodeCodePage(QByteArrayView(prefix, np), FCodePage);
        return StartsWithWide(reinterpret_cast<const char16_t*>(st.utf16()), st.size(),
                              reinterpret_cast<const char16_t*>(sp.utf16()), sp.size(), caseInsensitive);
    }
    if (n < np) return false;
    if (!caseInsensitive) return std::memcmp(text, prefix, size_t(np)) == 0;
    for (qsizetype i = 0; i < np; ++i) {
        const TKey& a = FKeys[uchar(text[i])];
        const TKey& b = FKeys[uchar(prefix[i])];
        if (a.Primary != b.Primary || a.Secondary != b.Secondary) return false;
    }
    return true;
}

int TCollation::ComparePrefixPrimaryAnsi(const char* text, qsizetype n, const char* prefix, qsizetype np) const
{
    if (!FSingleByte) {
        const QString st = DecodeCodePage(QByteArrayView(text, n), FCodePage);
        const QString sp = DecodeCodePage(QByteArrayView(prefix, np), FCodePage);
        return ComparePrefixPrimaryWide(reinterpret_cast<const char16_t*>(st.utf16()), st.size(),
                                        reinterpret_cast<const char16_t*>(sp.utf16()), sp.size());
    }
    const uchar* x = reinterpret_cast<const uchar*>(text);
    const uchar* y = reinterpret_cast<const uchar*>(prefix);
    const qsizetype m = std::min(n, np);
    for (qsizetype i = 0; i < m; ++i) {
        if (x[i] == y[i]) continue;
        const quint32 p = FKeys[x[i]].Primary, q = FKeys[y[i]].Primary;
        if (p != q) return p < q ? -1 : 1;
    }
    return n < np ? -1 : 0;
}

int TCollation::ComparePrefixPrimaryWide(const char16_t* text, qsizetype n, const char16_t* prefix, qsizetype np)
{
    const std::vector<TKey>& keys = WideKeys();
    const qsizetype m = std::min(n, np);
    for (qsizetype i = 0; i < m; ++i) {
        if (text[i] == prefix[i]) continue;
        const quint32 x = keys[text[i]].Primary, y = keys[prefix[i]].Primary;
        if (x != y) return x < y ? -1 : 1;
    }
    return n < np ? -1 : 0;
}

int TCollation::CompareWide(const char16_t* a, qsizetype na, const char16_t* b, qsizetype nb, bool caseInsensitive)
{
    const std::vector<TKey>& keys = WideKeys();
    const qsizetype n = std::min(na, nb);
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] == b[i]) continue;
        const quint32 x = keys[a[i]].Primary, y = keys[b[i]].Primary;
        if (x != y) return x < y ? -1 : 1;
    }
    if (na != nb) return na < nb ? -1 : 1;
    for (qsizetype i = 0; i < n; ++i) {
        const quint16 x = keys[a[i]].Secondary, y = keys[b[i]].Secondary;
        if (x != y) return x < y ? -1 : 1;
    }
    if (caseInsensitive) return 0;
    for (qsizetype i = 0; i < n; ++i) {
        const quint8 x = keys[a[i]].Tertiary, y = keys[b[i]].Tertiary;
        if (x != y) return x < y ? -1 : 1;
    }
    for (qsizetype i = 0; i < n; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

bool TCollation::StartsWithWide(const char16_t* text, qsizetype n, const char16_t* prefix, qsizetype np, bool caseInsensitive)
{
    if (n < np) return false;
    if (!caseInsensitive) return std::memcmp(text, prefix, size_t(np) * 2) == 0;
    const std::vector<TKey>& keys = WideKeys();
    for (qsizetype i = 0; i < np; ++i) {
        const TKey& a = keys[text[i]];
        const TKey& b = keys[prefix[i]];
        if (a.Primary != b.Primary || a.Secondary != b.Secondary) return false;
    }
    return true;
}
