#include "platform/client/PacketValues.h"

#include <QIODevice>
#include <cstdlib>
#include <new>
#ifdef __linux__
#include <sys/mman.h>
#endif
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <mutex>
#include <unordered_map>

// ---- memory --------------------------------------------------------------------------------

namespace {

constexpr size_t HugePage = size_t(2) << 20;
constexpr size_t SmallClass = size_t(64) << 10;
// Kept blocks never exceed this; a larger pool would hold on to memory an idle program does not
// need.
constexpr size_t CacheLimit = size_t(256) << 20;

size_t SizeClass(size_t size)
{
    if (size >= HugePage) return (size + HugePage - 1) & ~(HugePage - 1);
    return (std::max<size_t>(size, 1) + SmallClass - 1) & ~(SmallClass - 1);
}

struct TBlockCache {
    std::mutex Lock;
    std::unordered_map<size_t, std::vector<char*>> Free;
    size_t Bytes = 0;
};

TBlockCache& Cache()
{
    static TBlockCache* cache = new TBlockCache;   // outlives every static store
    return *cache;
}

} // namespace

void TPacketFree::operator()(char* p) const
{
    if (!p) return;
    TBlockCache& cache = Cache();
    {
        std::lock_guard<std::mutex> guard(cache.Lock);
        if (Size && cache.Bytes + Size <= CacheLimit) {
            cache.Free[Size].push_back(p);
            cache.Bytes += Size;
            return;
        }
    }
    std::free(p);
}

TPacketBlock PacketAllocate(size_t size)
{
    const size_t cls = SizeClass(size);
    TBlockCache& cache = Cache();
    {
        std::lock_guard<std::mutex> guard(cache.Lock);
        const auto it = cache.Free.find(cls);
        if (it != cache.Free.end() && !it->second.empty()) {
            char* p = it->second.back();
            it->second.pop_back();
            cache.Bytes -= cls;
            return TPacketBlock(p, TPacketFree{cls});
        }
    }
    void* p;
    if (cls >= HugePage) {
        p = std::aligned_alloc(HugePage, cls);
#ifdef MADV_HUGEPAGE
        if (p) madvise(p, cls, MADV_HUGEPAGE);
#endif
    } else {
        p = std::malloc(cls);
    }
    if (!p) throw std::bad_alloc();
#ifdef __linux__
    // The block's pages are about to be filled: have the system provide them all in one call
    // rather than on one fault each (best effort; older systems refuse the request).
    constexpr int PopulateWrite = 23;   // MADV_POPULATE_WRITE
    const uintptr_t page = 4096;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(p) + page - 1) & ~(page - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + cls) & ~(page - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, PopulateWrite);
#endif
    return TPacketBlock(static_cast<char*>(p), TPacketFree{cls});
}

size_t PacketCachedBytes()
{
    TBlockCache& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.Lock);
    return cache.Bytes;
}

void PacketReleaseCache()
{
    TBlockCache& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.Lock);
    for (auto& [size, blocks] : cache.Free)
        for (char* p : blocks) std::free(p);
    cache.Free.clear();
    cache.Bytes = 0;
}

// ---- TPacketBuffer -------------------------------------------------------------------------

void TPacketBuffer::Seal()
{
    if (!FBegin) return;
    FChunks.back().Used = FPos - FBegin;
    FKept += FPos - FBegin;
    FBegin = FPos = FEnd = nullptr;
}

void TPacketBuffer::DrainSealed()
{
    size_t n = 0;
    for (; n < FChunks.size(); ++n) {
        TChunk& c = FChunks[n];
        if (FHold >= 0 && FBase + c.Used > FHold) break;
        if (c.Used) FDrain->Write(c.Data.get(), c.Used);
        FBase += c.Used;
        FKept -= c.Used;
        if (!FSpare.Data || c.Capacity > FSpare.Capacity) FSpare = std::move(c);
    }
    FChunks.erase(FChunks.begin(), FChunks.begin() + qsizetype(n));
}

void TPacketBuffer::NewChunk(qsizetype need)
{
    Seal();
    if (FDrain) DrainSealed();
    const qsizetype size = qMax(FNextSize, need);
    if (!FDrain) FNextSize = qMin<qsizetype>(FNextSize * 2, 16 * 1024 * 1024);
    if (FSpare.Data && FSpare.Capacity >= size) {
        FChunks.push_back(std::move(FSpare));
        FSpare = TChunk{};
    } else {
        FChunks.push_back({PacketAllocate(size_t(size)), 0, size});
    }
    FChunks.back().Used = 0;
    FBegin = FPos = FChunks.back().Data.get();
    FEnd = FBegin + FChunks.back().Capacity;
}

void TPacketBuffer::SetDrain(IPacketDrain* drain)
{
    FDrain = drain;
    if (drain) FNextSize = 1024 * 1024;
}

void TPacketBuffer::Patch(qint64 offset, const char* data, qsizetype n)
{
    while (n > 0 && offset < FBase) {
        const qsizetype part = qsizetype(qMin<qint64>(n, FBase - offset));
        if (!FDrain) return;
        FDrain->Patch(offset, data, part);
        offset += part;
        data += part;
        n -= part;
    }
    qint64 start = FBase;
    for (size_t i = 0; i < FChunks.size() && n > 0; ++i) {
        const bool open = i + 1 == FChunks.size() && FBegin;
        const qsizetype used = open ? FPos - FBegin : FChunks[i].Used;
        if (offset < start + used) {
            const qsizetype at = qsizetype(offset - start);
            const qsizetype part = qMin(n, used - at);
            std::memcpy(FChunks[i].Data.get() + at, data, size_t(part));
            offset += part;
            data += part;
            n -= part;
        }
        start += used;
    }
}

void TPacketBuffer::Finish()
{
    if (!FDrain) return;
    Seal();
    FHold = -1;
    DrainSealed();
}

QByteArray TPacketBuffer::Take()
{
    Seal();
    QByteArray out(FKept, Qt::Uninitialized);
    char* d = out.data();
    for (TChunk& c : FChunks) {
        std::memcpy(d, c.Data.get(), size_t(c.Used));
        d += c.Used;
    }
    *this = TPacketBuffer();
    return out;
}

void TPacketBuffer::TakeEach(const std::function<void(const char*, qsizetype)>& write)
{
    Seal();
    std::vector<TChunk> chunks = std::move(FChunks);
    *this = TPacketBuffer();
    for (TChunk& c : chunks) {
        write(c.Data.get(), c.Used);
        c.Data.reset();
    }
}

// ---- calendar ------------------------------------------------------------------------------

namespace {

// Days from 1970-01-01 to a civil date and back (any year), after the well-known
// era-based algorithm.
qint64 DaysFromCivil(qint64 y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(qint64 z, qint64& y, int& m, int& d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = yoe + era * 400;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y += m <= 2;
}

constexpr qint64 DayOneFrom1970 = -719162;   // 0001-01-01 counted from 1970-01-01

bool IsLeap(qint64 y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int MonthDays(qint64 y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

void AppendPadded(TPacketBuffer& out, qint64 v, int width)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v);
    const int len = int(r.ptr - buf);
    if (v < 0) out.Append('-');
    for (int i = len; i < width; ++i) out.Append('0');
    out.Append(buf, len);
}

// Reads exactly n digits (0 < n <= 18, so that the number fits).
bool Digits(std::string_view& s, int n, qint64& v)
{
    if (n > 18 || qsizetype(s.size()) < n) return false;
    v = 0;
    for (int i = 0; i < n; ++i) {
        if (s[size_t(i)] < '0' || s[size_t(i)] > '9') return false;
        v = v * 10 + (s[size_t(i)] - '0');
    }
    s.remove_prefix(size_t(n));
    return true;
}

// Reads 1..maxN digits.
bool SomeDigits(std::string_view& s, int maxN, qint64& v)
{
    int n = 0;
    v = 0;
    while (n < maxN && size_t(n) < s.size() && s[size_t(n)] >= '0' && s[size_t(n)] <= '9') {
        v = v * 10 + (s[size_t(n)] - '0');
        ++n;
    }
    if (n == 0) return false;
    s.remove_prefix(size_t(n));
    return true;
}

// Writes a number given in scientific form "d.ddde±x" in the packet style.
void AppendScientificShortest(TPacketBuffer& out, const char* sci, int len)
{
    std::string_view s(sci, size_t(len));
    if (s.find_first_of("ni") != std::string_view::npos) {   // nan, inf
        if (s.front() == '-') out.Append('-');
        out.Append(s.find('n') != std::string_view::npos && s.find('i') == std::string_view::npos ? std::string_view("NAN") : std::string_view("INF"));
        return;
    }
    bool neg = false;
    if (s.front() == '-') { neg = true; s.remove_prefix(1); }
    const size_t e = s.find('e');
    std::string_view mant = s.substr(0, e);
    int exp10 = 0;
    std::from_chars(s.data() + e + 1 + (s[e + 1] == '+'), s.data() + s.size(), exp10);
    char digits[64];
    int nd = 0;
    for (char c : mant)
        if (c != '.' && nd < 64) digits[nd++] = c;
    while (nd > 1 && digits[nd - 1] == '0') --nd;
    if (neg) out.Append('-');
    if (digits[0] == '0' && nd == 1) { out.Append('0'); return; }
    if (exp10 >= 18 || exp10 < -6) {
        out.Append(digits[0]);
        if (nd > 1) { out.Append('.'); out.Append(digits + 1, nd - 1); }
        out.Append('E');
        if (exp10 < 0) out.Append('-');
        PacketAppendInt(out, exp10 < 0 ? -exp10 : exp10);
        return;
    }
    if (exp10 < 0) {
        out.Append("0.");
        for (int i = 0; i < -exp10 - 1; ++i) out.Append('0');
        out.Append(digits, nd);
        return;
    }
    const int intDigits = exp10 + 1;
    if (nd <= intDigits) {
        out.Append(digits, nd);
        for (int i = nd; i < intDigits; ++i) out.Append('0');
        return;
    }
    out.Append(digits, intDigits);
    out.Append('.');
    out.Append(digits + intDigits, nd - intDigits);
}

template <typename F> bool ParseFloating(std::string_view text, F& v)
{
    text = Trim(text);
    if (text.empty()) return false;
    const char* b = text.data();
    const char* e = b + text.size();
    if (*b == '+') ++b;
    auto r = std::from_chars(b, e, v);
    return r.ec == std::errc() && r.ptr == e;
}

} // namespace

void PacketDayToDate(qint64 day, qint64& year, int& month, int& dayOfMonth)
{
    CivilFromDays(day - 1 + DayOneFrom1970, year, month, dayOfMonth);
}

bool PacketDateToDay(qint64 year, int month, int dayOfMonth, qint64& day)
{
    if (month < 1 || month > 12 || dayOfMonth < 1 || dayOfMonth > MonthDays(year, month)) return false;
    // Wide enough for every INT32 day number and every time stamp the writers accept.
    if (year < -30000000 || year > 30000000) return false;
    day = DaysFromCivil(year, month, dayOfMonth) - DayOneFrom1970 + 1;
    return true;
}

// ---- numbers -------------------------------------------------------------------------------

void PacketAppendInt(TPacketBuffer& out, qint64 v)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.Append(buf, r.ptr - buf);
}

void PacketAppendUInt(TPacketBuffer& out, quint64 v)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.Append(buf, r.ptr - buf);
}

bool PacketParseInt(std::string_view text, qint64& v)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool PacketParseUInt(std::string_view text, quint64& v)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool PacketParseBoolean(std::string_view text, bool& v)
{
    text = Trim(text);
    if (text.empty()) return false;
    const char c = text.front();
    if (c == 'T' || c == 't') { v = true; return true; }
    if (c == 'F' || c == 'f') { v = false; return true; }
    qint64 n;
    if (PacketParseInt(text, n)) { v = n != 0; return true; }
    return false;
}

namespace {

constexpr double Pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

const char DigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                          "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                          "8081828384858687888990919293949596979899";

// The sixteen digits of n (< 10^16), leading zeros included.
void SixteenDigits(quint64 n, char* d)
{
    for (int i = 14; i >= 0; i -= 2) {
        const quint64 q = n / 100;
        std::memcpy(d + i, DigitPairs + 2 * (n - q * 100), 2);
        n = q;
    }
}

// The common case of PacketAppendDouble without general conversions: values from 10^-6 to
// 10^16 whose sixteen-digit form reads back. The scaled value v * 10^k is formed exactly as a
// sum of two doubles, rounded to sixteen digits, and kept only when it lies within half a unit
// of the last place of v (so that it reads back to v). False leaves the value to the general way.
bool AppendDoubleFast(TPacketBuffer& out, double v)
{
    const double a = std::fabs(v);
    if (!(a >= 1e-6 && a < 1e16)) return false;
    char buf[32];
    char* o = buf;
    if (v < 0) *o++ = '-';
    if (a < 1e15 && a == double(qint64(a))) {
        o = std::to_chars(o, buf + sizeof buf, qint64(a)).ptr;
        out.Append(buf, o - buf);
        return true;
    }
    quint64 bits;
    std::memcpy(&bits, &a, 8);
    const int exp2 = int(bits >> 52) - 1023;    // a in [2^exp2, 2^(exp2 + 1))
    int e10 = (exp2 * 78913) >> 18;              // floor(log10(2^exp2)): e10 or e10 + 1 is a's
    if (e10 + 1 <= 15 && e10 + 1 >= -22 && (e10 + 1 >= 0 ? a >= Pow10[e10 + 1] : a * Pow10[-(e10 + 1)] >= 1.0)) ++e10;
    const int k = 15 - e10;
    if (k < 0 || k > 22) return false;
    const double hi = a * Pow10[k];
    const double lo = std::fma(a, Pow10[k], -hi);
    if (hi < 1e15 || (hi == 1e15 && lo < 0) || hi >= 1e16) return false;
    const double base = std::nearbyint(hi);
    const double t = (hi - base) + lo;           // what rounding hi + lo to an integer leaves
    if (t == 0.5 || t == -0.5) return false;
    const int step = t > 0.5 ? 1 : t < -0.5 ? -1 : 0;
    const quint64 n = quint64(base) + quint64(qint64(step));
    if (n < 1000000000000000ull || n >= 10000000000000000ull) return false;
    // Half a unit of a's last place, scaled; below a power of two the gap is half as wide.
    double halfUlp = std::ldexp(0.5, exp2 - 52) * Pow10[k];
    if ((bits & ((quint64(1) << 52) - 1)) == 0 && double(step) < t) halfUlp *= 0.5;
    if (!(std::fabs(double(step) - t) < halfUlp * (1 - 1e-6))) return false;
    char d[16];
    SixteenDigits(n, d);
    int nd = 16;
    while (nd > 1 && d[nd - 1] == '0') --nd;
    if (e10 < 0) {
        *o++ = '0';
        *o++ = '.';
        for (int i = 0; i < -e10 - 1; ++i) *o++ = '0';
        std::memcpy(o, d, size_t(nd));
        o += nd;
    } else if (nd <= e10 + 1) {
        std::memcpy(o, d, size_t(nd));
        o += nd;
        for (int i = nd; i < e10 + 1; ++i) *o++ = '0';
    } else {
        std::memcpy(o, d, size_t(e10 + 1));
        o += e10 + 1;
        *o++ = '.';
        std::memcpy(o, d + e10 + 1, size_t(nd - e10 - 1));
        o += nd - e10 - 1;
    }
    out.Append(buf, o - buf);
    return true;
}

} // namespace

void PacketAppendDouble(TPacketBuffer& out, double v)
{
    if (AppendDoubleFast(out, v)) return;
    // Sixteen significant digits, as the engine writes them, unless they do not read back to
    // the same value: then seventeen, which always do.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 15);
    double back;
    if (std::isfinite(v) && (std::from_chars(buf, r.ptr, back).ec != std::errc() || back != v))
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 16);
    AppendScientificShortest(out, buf, int(r.ptr - buf));
}

void PacketAppendSingle(TPacketBuffer& out, float v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    AppendScientificShortest(out, buf, int(r.ptr - buf));
}

bool PacketParseDouble(std::string_view text, double& v) { return ParseFloating(text, v); }
bool PacketParseSingle(std::string_view text, float& v) { return ParseFloating(text, v); }

// The x87 80-bit format: 64-bit mantissa with an explicit integer bit, 15-bit exponent, sign.
double PacketExtendedToDouble(const char* p)
{
    quint64 mant = 0;
    for (int i = 7; i >= 0; --i) mant = (mant << 8) | uchar(p[i]);
    const int se = uchar(p[8]) | (uchar(p[9]) << 8);
    const bool neg = se & 0x8000;
    const int exp = se & 0x7FFF;
    double v;
    if (exp == 0x7FFF) v = (mant << 1) ? std::numeric_limits<double>::quiet_NaN() : std::numeric_limits<double>::infinity();
    else if (mant == 0) v = 0.0;
    else v = std::ldexp(double(mant), exp - 16383 - 63);
    return neg ? -v : v;
}

void PacketDoubleToExtended(double v, char* p)
{
    quint64 mant = 0;
    int exp = 0;
    const bool neg = std::signbit(v);
    if (std::isnan(v)) { exp = 0x7FFF; mant = 0xC000000000000000ull; }
    else if (std::isinf(v)) { exp = 0x7FFF; mant = 0x8000000000000000ull; }
    else if (v != 0.0) {
        int e2;
        const double m = std::frexp(std::fabs(v), &e2);   // m in [0.5, 1)
        mant = quint64(std::ldexp(m, 64));
        exp = e2 - 1 + 16383;
    }
    for (int i = 0; i < 8; ++i) p[i] = char((mant >> (8 * i)) & 0xFF);
    const int se = exp | (neg ? 0x8000 : 0);
    p[8] = char(se & 0xFF);
    p[9] = char((se >> 8) & 0xFF);
}

void PacketAppendExtended(TPacketBuffer& out, const char* tenBytes)
{
    char buf[80];
    std::to_chars_result r;
    if constexpr (std::numeric_limits<long double>::digits == 64) {
        long double ld = 0;
        std::memcpy(&ld, tenBytes, 10);
        r = std::to_chars(buf, buf + sizeof buf, ld, std::chars_format::scientific);
    } else {
        r = std::to_chars(buf, buf + sizeof buf, PacketExtendedToDouble(tenBytes), std::chars_format::scientific);
    }
    AppendScientificShortest(out, buf, int(r.ptr - buf));
}

bool PacketParseExtended(std::string_view text, char* tenBytes)
{
    if constexpr (std::numeric_limits<long double>::digits == 64) {
        long double ld;
        if (!ParseFloating(text, ld)) return false;
        std::memset(tenBytes, 0, 10);
        std::memcpy(tenBytes, &ld, 10);
        return true;
    } else {
        double d;
        if (!ParseFloating(text, d)) return false;
        PacketDoubleToExtended(d, tenBytes);
        return true;
    }
}

// ---- dates and times -----------------------------------------------------------------------

void PacketAppendXmlDate(TPacketBuffer& out, qint64 day)
{
    qint64 y;
    int m, d;
    PacketDayToDate(day, y, m, d);
    AppendPadded(out, y, 4);
    AppendPadded(out, m, 2);
    AppendPadded(out, d, 2);
}

void PacketAppendXmlTime(TPacketBuffer& out, qint64 ms)
{
    if (ms < 0) { out.Append('-'); ms = -ms; }
    AppendPadded(out, ms / 3600000, 2);
    out.Append(':');
    AppendPadded(out, ms / 60000 % 60, 2);
    out.Append(':');
    AppendPadded(out, ms % 60000, 5);
}

bool PacketAppendXmlTimeStamp(TPacketBuffer& out, double msecs)
{
    if (!std::isfinite(msecs) || std::fabs(msecs) > 9.0e17) return false;
    const qint64 total = qint64(std::llround(msecs));
    qint64 day = total / 86400000;
    qint64 ms = total % 86400000;
    if (ms < 0) { ms += 86400000; --day; }
    PacketAppendXmlDate(out, day);
    if (ms != 0) {
        out.Append('T');
        PacketAppendXmlTime(out, ms);
    }
    return true;
}

namespace {

bool ParseDatePart(std::string_view& s, qint64& day)
{
    bool neg = false;
    if (!s.empty() && s.front() == '-') { neg = true; s.remove_prefix(1); }
    // The year takes every digit before the last four (YYYYMMDD, or more digits for far years);
    // a dashed form YYYY-MM-DD is taken too.
    size_t n = 0;
    while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
    qint64 y, mo, d;
    if (n >= 8) {
        std::string_view ys = s.substr(0, n - 4);
        if (!Digits(ys, int(n - 4), y)) return false;
        s.remove_prefix(n - 4);
        if (!Digits(s, 2, mo) || !Digits(s, 2, d)) return false;
    } else if (n >= 1 && n < s.size() && s[n] == '-') {
        if (!SomeDigits(s, 9, y) || s.empty() || s.front() != '-') return false;
        s.remove_prefix(1);
        if (!SomeDigits(s, 2, mo) || s.empty() || s.front() != '-') return false;
        s.remove_prefix(1);
        if (!SomeDigits(s, 2, d)) return false;
    } else {
        return false;
    }
    return PacketDateToDay(neg ? -y : y, int(mo), int(d), day);
}

bool ParseTimePart(std::string_view& s, qint64& ms)
{
    bool neg = false;
    if (!s.empty() && s.front() == '-') { neg = true; s.remove_prefix(1); }
    qint64 h, m, secms = 0;
    if (!SomeDigits(s, 9, h) || s.empty() || s.front() != ':') return false;
    s.remove_prefix(1);
    if (!SomeDigits(s, 2, m)) return false;
    if (!s.empty() && s.front() == ':') {
        s.remove_prefix(1);
        // Seconds and milliseconds are one number of five digits; fewer digits are padded on
        // the right, so "HH:MM:SS" reads as whole seconds.
        int n = 0;
        while (size_t(n) < s.size() && s[size_t(n)] >= '0' && s[size_t(n)] <= '9') ++n;
        if (n == 0) return false;
        if (n <= 2 && size_t(n) < s.size() && s[size_t(n)] == '.') {
            qint64 sec, frac = 0;
            SomeDigits(s, 2, sec);
            s.remove_prefix(1);
            int fd = 0;
            while (!s.empty() && s.front() >= '0' && s.front() <= '9') {
                if (fd < 3) { frac = frac * 10 + (s.front() - '0'); ++fd; }
                s.remove_prefix(1);
            }
            while (fd < 3) { frac *= 10; ++fd; }
            secms = sec * 1000 + frac;
        } else {
            if (n > 9) return false;
            SomeDigits(s, n, secms);
            for (int i = n; i < 5; ++i) secms *= 10;
        }
    }
    if (h > 100000000) return false;
    ms = h * 3600000 + m * 60000 + secms;
    if (neg) ms = -ms;
    return true;
}

qint16 ReadI16(const char* p) { return qint16(uchar(p[0]) | (uchar(p[1]) << 8)); }
quint16 ReadU16(const char* p) { return quint16(uchar(p[0]) | (uchar(p[1]) << 8)); }
quint32 ReadU32(const char* p) { return quint32(ReadU16(p)) | (quint32(ReadU16(p + 2)) << 16); }
void WriteU16(char* p, quint16 v) { p[0] = char(v & 0xFF); p[1] = char(v >> 8); }
void WriteU32(char* p, quint32 v) { WriteU16(p, quint16(v & 0xFFFF)); WriteU16(p + 2, quint16(v >> 16)); }

} // namespace

bool PacketParseXmlDate(std::string_view text, qint64& day)
{
    text = Trim(text);
    return ParseDatePart(text, day) && text.empty();
}

bool PacketParseXmlTime(std::string_view text, qint64& ms)
{
    text = Trim(text);
    return ParseTimePart(text, ms) && text.empty();
}

bool PacketParseXmlTimeStamp(std::string_view text, double& msecs)
{
    text = Trim(text);
    qint64 day, ms = 0;
    if (!ParseDatePart(text, day)) return false;
    if (!text.empty()) {
        if (text.front() != 'T' && text.front() != 't' && text.front() != ' ') return false;
        text.remove_prefix(1);
        if (!ParseTimePart(text, ms) || !text.empty()) return false;
    }
    msecs = double(day) * 86400000.0 + double(ms);
    return true;
}

void PacketAppendXmlSqlTimeStamp(TPacketBuffer& out, const char* b, bool withOffset)
{
    const qint64 y = ReadI16(b);
    const int mo = ReadU16(b + 2), d = ReadU16(b + 4), h = ReadU16(b + 6), mi = ReadU16(b + 8), s = ReadU16(b + 10);
    const quint32 frac = ReadU32(b + 12);
    AppendPadded(out, y, 4);
    AppendPadded(out, mo, 2);
    AppendPadded(out, d, 2);
    if (h || mi || s || frac || withOffset) {
        out.Append('T');
        AppendPadded(out, h, 2);
        out.Append(':');
        AppendPadded(out, mi, 2);
        out.Append(':');
        AppendPadded(out, qint64(s) * 1000 + frac, 5);
    }
    if (withOffset) {
        const int zh = ReadI16(b + 16), zm = ReadI16(b + 18);
        const bool neg = zh < 0 || (zh == 0 && zm < 0);
        out.Append(neg ? '-' : '+');
        AppendPadded(out, zh < 0 ? -zh : zh, 2);
        out.Append(':');
        AppendPadded(out, zm < 0 ? -zm : zm, 2);
    }
}

bool PacketParseXmlSqlTimeStamp(std::string_view text, char* b, bool withOffset)
{
    text = Trim(text);
    qint64 y, mo, d, h = 0, mi = 0, secms = 0, zh = 0, zm = 0;
    bool zneg = false;
    if (!SomeDigits(text, 4, y)) return false;
    if (!Digits(text, 2, mo) || !Digits(text, 2, d)) return false;
    if (!text.empty() && (text.front() == 'T' || text.front() == 't')) {
        text.remove_prefix(1);
        if (!SomeDigits(text, 2, h) || text.empty() || text.front() != ':') return false;
        text.remove_prefix(1);
        if (!SomeDigits(text, 2, mi)) return false;
        if (!text.empty() && text.front() == ':') {
            text.remove_prefix(1);
            int n = 0;
            while (size_t(n) < text.size() && text[size_t(n)] >= '0' && text[size_t(n)] <= '9') ++n;
            if (n == 0 || n > 9) return false;
            SomeDigits(text, n, secms);
            for (int i = n; i < 5; ++i) secms *= 10;
        }
    }
    if (withOffset && !text.empty()) {
        // Read leniently: the engine writes negative offsets in more than one way.
        if (text.front() == '+' || text.front() == '-') { zneg = text.front() == '-'; text.remove_prefix(1); }
        if (!SomeDigits(text, 2, zh)) return false;
        if (!text.empty() && text.front() == ':') text.remove_prefix(1);
        if (!text.empty() && !SomeDigits(text, 2, zm)) return false;
    }
    if (!text.empty()) return false;
    if (mo > 65535 || d > 65535 || h > 65535 || mi > 65535 || secms / 1000 > 65535) return false;
    std::memset(b, 0, withOffset ? 20 : 16);
    WriteU16(b, quint16(qint16(y)));
    WriteU16(b + 2, quint16(mo));
    WriteU16(b + 4, quint16(d));
    WriteU16(b + 6, quint16(h));
    WriteU16(b + 8, quint16(mi));
    WriteU16(b + 10, quint16(secms / 1000));
    WriteU32(b + 12, quint32(secms % 1000));
    if (withOffset) {
        WriteU16(b + 16, quint16(qint16(zneg ? -zh : zh)));
        WriteU16(b + 18, quint16(qint16(zneg && zh == 0 ? -zm : zm)));
    }
    return true;
}

// ---- BCD -----------------------------------------------------------------------------------

bool PacketAppendBcd(TPacketBuffer& out, const char* bcd)
{
    const int precision = uchar(bcd[0]);
    const int scale = uchar(bcd[1]) & 0x3F;
    const bool neg = uchar(bcd[1]) & 0x80;
    if (precision > 32 || scale > precision) return false;
    char digits[32];
    for (int i = 0; i < precision; ++i) {
        const uchar b = uchar(bcd[2 + i / 2]);
        const int nib = (i % 2 == 0) ? (b >> 4) : (b & 0x0F);
        if (nib > 9) return false;
        digits[i] = char('0' + nib);
    }
    if (neg) out.Append('-');
    int first = 0;
    const int intDigits = precision - scale;
    while (first < intDigits && digits[first] == '0') ++first;
    if (first == intDigits) out.Append('0');
    else out.Append(digits + first, intDigits - first);
    if (scale > 0) {
        out.Append('.');
        out.Append(digits + intDigits, scale);
    }
    return true;
}

bool PacketParseBcd(std::string_view text, int precision, int scale, char* bcd)
{
    text = Trim(text);
    bool neg = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        neg = text.front() == '-';
        text.remove_prefix(1);
    }
    const size_t dot = text.find('.');
    std::string_view ip = text.substr(0, dot);
    std::string_view fp = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (ip.empty() && fp.empty()) return false;
    for (char c : ip) if (c < '0' || c > '9') return false;
    for (char c : fp) if (c < '0' || c > '9') return false;
    while (!ip.empty() && ip.front() == '0') ip.remove_prefix(1);
    if (precision <= 0 || precision > 32) precision = 32;
    if (scale < 0 || scale > precision) scale = 0;
    const int outScale = qMax(scale, int(fp.size()));
    const int outPrecision = qMax(precision, int(ip.size()) + outScale);
    if (outPrecision > 32 || outScale > 63) return false;
    std::memset(bcd, 0, 18);
    bcd[0] = char(outPrecision);
    bcd[1] = char((neg ? 0x80 : 0) | outScale);
    const int intDigits = outPrecision - outScale;
    auto put = [&](int i, int d) {
        uchar& b = reinterpret_cast<uchar&>(bcd[2 + i / 2]);
        b = uchar(i % 2 == 0 ? (b & 0x0F) | (d << 4) : (b & 0xF0) | d);
    };
    for (size_t k = 0; k < ip.size(); ++k) put(intDigits - int(ip.size()) + int(k), ip[k] - '0');
    for (size_t k = 0; k < fp.size(); ++k) put(intDigits + int(k), fp[k] - '0');
    return true;
}

// ---- base64 --------------------------------------------------------------------------------

void PacketAppendBase64(TPacketBuffer& out, const char* data, qsizetype size)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    char* p = out.Grow((size + 2) / 3 * 4);
    const uchar* s = reinterpret_cast<const uchar*>(data);
    qsizetype i = 0;
    for (; i + 3 <= size; i += 3) {
        const quint32 v = (quint32(s[i]) << 16) | (quint32(s[i + 1]) << 8) | s[i + 2];
        *p++ = alphabet[v >> 18];
        *p++ = alphabet[(v >> 12) & 63];
        *p++ = alphabet[(v >> 6) & 63];
        *p++ = alphabet[v & 63];
    }
    if (i < size) {
        quint32 v = quint32(s[i]) << 16;
        if (i + 1 < size) v |= quint32(s[i + 1]) << 8;
        *p++ = alphabet[v >> 18];
        *p++ = alphabet[(v >> 12) & 63];
        *p++ = i + 1 < size ? alphabet[(v >> 6) & 63] : '=';
        *p++ = '=';
    }
}

bool PacketDecodeBase64(std::string_view text, std::string& out)
{
    static const auto table = [] {
        std::array<signed char, 256> t{};
        t.fill(-1);
        const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) t[uchar(a[i])] = char(i);
        return t;
    }();
    const size_t start = out.size();
    out.resize(start + text.size() / 4 * 3 + 3);
    char* d = out.data() + start;
    quint32 acc = 0;
    int bits = 0, pad = 0;
    for (char c : text) {
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
        if (c == '=') { ++pad; continue; }
        if (pad) return false;              // data after padding
        const int v = table[uchar(c)];
        if (v < 0) return false;
        acc = (acc << 6) | quint32(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            *d++ = char((acc >> bits) & 0xFF);
        }
    }
    if (pad > 2 || bits >= 6) return false;
    out.resize(size_t(d - out.data()));
    return true;
}
