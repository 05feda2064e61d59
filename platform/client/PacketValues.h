#pragma once
// Value encodings shared by the packet readers and writers: the growable output buffer, calendar
// arithmetic of the stored day numbers, the XML text forms of values, BCD and base64.

#include <QByteArray>
#include <QtGlobal>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include <string>

class QIODevice;
#include <string_view>

// Memory for large blocks of rows or output. Touching pages new to the process is what filling
// hundreds of megabytes costs most (on a virtual machine every first touch of a page may trap to
// the host), so blocks of 2 MB and more are aligned and marked for transparent huge pages, and
// blocks given back are kept for the next request of their size class (up to a limit) instead
// of returning to the system: loading a file again, or a second file like it, reuses them.
struct TPacketFree {
    size_t Size = 0;
    void operator()(char* p) const;
};
using TPacketBlock = std::unique_ptr<char[], TPacketFree>;
// At least size bytes; the contents are undefined.
TPacketBlock PacketAllocate(size_t size);
// Bytes of blocks kept for reuse.
size_t PacketCachedBytes();
// Returns every kept block to the system.
void PacketReleaseCache();

// Where a streaming writer's bytes go as they are made: written in order, and, for the odd
// count that turns out different from the one announced, patched afterwards.
class IPacketDrain {
public:
    virtual ~IPacketDrain() = default;
    virtual void Write(const char* data, qsizetype size) = 0;
    // Overwrites bytes already written at offset.
    virtual void Patch(qint64 offset, const char* data, qsizetype size) = 0;
};

// Output of the writers: append-only, in chunks that never move, so that a pointer to bytes
// written earlier (a row's bitmap, a count) stays valid for patching, and growth copies nothing.
// With a drain, the buffer streams: whole chunks before the held offset go to the drain as soon
// as the next chunk is needed, and their memory is used again, so that a packet of any size is
// written through about a megabyte.
class TPacketBuffer {
public:
    TPacketBuffer() = default;
    TPacketBuffer(const TPacketBuffer&) = delete;
    TPacketBuffer& operator=(const TPacketBuffer&) = delete;
    TPacketBuffer(TPacketBuffer&&) noexcept = default;
    TPacketBuffer& operator=(TPacketBuffer&&) noexcept = default;

    // Bytes written so far (also those handed to the drain).
    qsizetype Size() const { return FBase + FKept + (FPos - FBegin); }
    // n contiguous bytes; the pointer stays valid until the buffer is taken or destroyed, or,
    // when streaming, while no byte at or before it has gone to the drain (see Hold).
    char* Grow(qsizetype n)
    {
        if (FEnd - FPos < n) NewChunk(n);
        char* p = FPos;
        FPos += n;
        return p;
    }
    void Append(const void* p, qsizetype n) { if (n > 0) std::memcpy(Grow(n), p, size_t(n)); }
    void Append(char c) { *Grow(1) = c; }
    void Append(std::string_view s) { Append(s.data(), qsizetype(s.size())); }
    template <typename T> void AppendLE(T v, int size) { StoreLE(Grow(size), quint64(v), size); }
    static void StoreLE(char* p, quint64 v, int size)
    {
        for (int i = 0; i < size; ++i) p[i] = char((v >> (8 * i)) & 0xFF);
    }
    // Overwrites n bytes written earlier at offset (in the buffer, or through the drain).
    void Patch(qint64 offset, const char* data, qsizetype n);

    // ---- streaming
    void SetDrain(IPacketDrain* drain);
    // Bytes from offset on stay in the buffer (their pointers stay valid); -1 holds nothing.
    void Hold(qint64 offset) { FHold = offset; }
    // Hands every byte left to the drain.
    void Finish();

    // Hands over the bytes written as one array; the buffer is empty afterwards.
    QByteArray Take();
    // Hands the chunks in order to write; the buffer is empty afterwards.
    void TakeEach(const std::function<void(const char*, qsizetype)>& write);

private:
    struct TChunk {
        TPacketBlock Data;
        qsizetype Used;
        qsizetype Capacity;
    };
    void NewChunk(qsizetype need);
    void Seal();
    void DrainSealed();
    std::vector<TChunk> FChunks;
    char* FBegin = nullptr;
    char* FPos = nullptr;
    char* FEnd = nullptr;
    qint64 FBase = 0;           // offset of the first chunk kept (bytes before it were drained)
    qsizetype FKept = 0;        // bytes in sealed chunks kept
    qsizetype FNextSize = 64 * 1024;
    IPacketDrain* FDrain = nullptr;
    qint64 FHold = -1;
    TChunk FSpare{};            // a drained chunk, for the next one
};

// Day numbers: 0001-01-01 = 1, proleptic Gregorian; any day number has a date (years may be
// zero or negative), so no stored value is refused.
void PacketDayToDate(qint64 day, qint64& year, int& month, int& dayOfMonth);
bool PacketDateToDay(qint64 year, int month, int dayOfMonth, qint64& day);

// XML text forms. The Append functions write into the buffer; the Parse functions return false
// for text that does not hold such a value.
void PacketAppendInt(TPacketBuffer& out, qint64 v);
void PacketAppendUInt(TPacketBuffer& out, quint64 v);
bool PacketParseInt(std::string_view text, qint64& v);
bool PacketParseUInt(std::string_view text, quint64& v);
bool PacketParseBoolean(std::string_view text, bool& v);
// Text that reads back to the same value (doubles with the engine's 16 significant digits where
// they suffice, else 17; singles and extended values shortest); plain digits unless the exponent
// is large.
void PacketAppendDouble(TPacketBuffer& out, double v);
void PacketAppendSingle(TPacketBuffer& out, float v);
void PacketAppendExtended(TPacketBuffer& out, const char* tenBytes);
bool PacketParseDouble(std::string_view text, double& v);
bool PacketParseSingle(std::string_view text, float& v);
bool PacketParseExtended(std::string_view text, char* tenBytes);
// Extended (80-bit) <-> double, for readers that want a number.
double PacketExtendedToDouble(const char* tenBytes);
void PacketDoubleToExtended(double v, char* tenBytes);

void PacketAppendXmlDate(TPacketBuffer& out, qint64 day);                    // YYYYMMDD
void PacketAppendXmlTime(TPacketBuffer& out, qint64 msecOfDay);              // HH:MM:SSmmm
bool PacketAppendXmlTimeStamp(TPacketBuffer& out, double msecs);             // false for NaN/inf
bool PacketParseXmlDate(std::string_view text, qint64& day);
bool PacketParseXmlTime(std::string_view text, qint64& msecOfDay);
bool PacketParseXmlTimeStamp(std::string_view text, double& msecs);
// The 16-byte SQL time stamp and the 20-byte one with a zone offset.
void PacketAppendXmlSqlTimeStamp(TPacketBuffer& out, const char* bytes, bool withOffset);
bool PacketParseXmlSqlTimeStamp(std::string_view text, char* bytes, bool withOffset);

// BCD (18 bytes): byte 0 precision, byte 1 sign (0x80) and decimals (0x3F), then digit nibbles.
bool PacketAppendBcd(TPacketBuffer& out, const char* bcd);
// precision/scale: the field's; a value that needs more digits keeps them (up to 32).
bool PacketParseBcd(std::string_view text, int precision, int scale, char* bcd);

void PacketAppendBase64(TPacketBuffer& out, const char* data, qsizetype size);
// Appends the decoded bytes; whitespace is skipped.
bool PacketDecodeBase64(std::string_view text, std::string& out);
