#include "platform/core/CodePages.h"

#include "platform/core/CodePageTables.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <utility>

namespace {

std::atomic<int> GDefaultCodePage{1252};

// Characters of the upper half of a single-byte page, sorted, for encoding.
struct TReverseTable {
    std::array<std::pair<char16_t, quint8>, 128> Entries;
};

int TableIndex(int codePage)
{
    for (int i = 0; i < CodePageTableCount; ++i)
        if (CodePageTables[i].CodePage == codePage) return i;
    return -1;
}

const TReverseTable& ReverseTable(int index)
{
    static const std::vector<TReverseTable> tables = [] {
        std::vector<TReverseTable> all(CodePageTableCount);
        for (int t = 0; t < CodePageTableCount; ++t) {
            for (int b = 128; b < 256; ++b) all[t].Entries[b - 128] = {CodePageTables[t].Chars[b], quint8(b)};
            std::sort(all[t].Entries.begin(), all[t].Entries.end());
        }
        return all;
    }();
    return tables[index];
}

const char* MultiByteName(int codePage)
{
    switch (codePage) {
    case 932: return "windows-932";
    case 936: return "windows-936";
    case 949: return "windows-949";
    case 950: return "windows-950";
    default: return nullptr;
    }
}

// Converters are costly to create and hold state: one per page and thread, reset per use.
QStringDecoder* Decoder(int codePage)
{
    thread_local std::map<int, std::unique_ptr<QStringDecoder>> decoders;
    auto& d = decoders[codePage];
    if (!d) {
        const char* name = MultiByteName(codePage);
        if (!name) return nullptr;
        d = std::make_unique<QStringDecoder>(name);
    }
    if (!d->isValid()) return nullptr;
    d->resetState();
    return d.get();
}

QStringEncoder* Encoder(int codePage)
{
    thread_local std::map<int, std::unique_ptr<QStringEncoder>> encoders;
    auto& e = encoders[codePage];
    if (!e) {
        const char* name = MultiByteName(codePage);
        if (!name) return nullptr;
        e = std::make_unique<QStringEncoder>(name);
    }
    if (!e->isValid()) return nullptr;
    e->resetState();
    return e.get();
}

int EffectiveSingleByteTable(int codePage)
{
    int index = TableIndex(codePage);
    return index >= 0 ? index : TableIndex(1252);
}

} // namespace

int DefaultCodePage() { return GDefaultCodePage.load(std::memory_order_relaxed); }

void SetDefaultCodePage(int codePage)
{
    GDefaultCodePage.store(IsCodePageSupported(codePage) ? codePage : 1252, std::memory_order_relaxed);
}

bool IsSingleByteCodePage(int codePage) { return TableIndex(codePage) >= 0; }

bool IsCodePageSupported(int codePage)
{
    if (IsSingleByteCodePage(codePage)) return true;
    if (!MultiByteName(codePage)) return false;
    QStringDecoder* d = Decoder(codePage);
    return d != nullptr;
}

const char16_t* SingleByteCodePageTable(int codePage)
{
    int index = TableIndex(codePage);
    return index < 0 ? nullptr : CodePageTables[index].Chars;
}

QString DecodeCodePage(QByteArrayView bytes, int codePage)
{
    if (!IsSingleByteCodePage(codePage)) {
        if (QStringDecoder* d = MultiByteName(codePage) ? Decoder(codePage) : nullptr) return d->decode(bytes);
    }
    return DecodeWithTable(bytes, CodePageTables[EffectiveSingleByteTable(codePage)].Chars);
}

QString DecodeWithTable(QByteArrayView bytes, const char16_t* table)
{
    QString result(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    const auto* in = reinterpret_cast<const quint8*>(bytes.data());
    for (qsizetype i = 0, n = bytes.size(); i < n; ++i) out[i] = table[in[i]];
    return result;
}

QByteArray EncodeCodePage(QStringView text, int codePage, bool* lossless)
{
    if (!IsSingleByteCodePage(codePage)) {
        if (QStringEncoder* e = MultiByteName(codePage) ? Encoder(codePage) : nullptr) {
            QByteArray result = e->encode(text);
            if (lossless) *lossless = DecodeCodePage(result, codePage) == text;
            return result;
        }
    }
    const int index = EffectiveSingleByteTable(codePage);
    const auto& reverse = ReverseTable(index).Entries;
    QByteArray result(text.size(), Qt::Uninitialized);
    char* out = result.data();
    bool exact = true;
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        const char16_t ch = text[i].unicode();
        if (ch < 0x80) { out[i] = char(ch); continue; }
        auto it = std::lower_bound(reverse.begin(), reverse.end(), std::make_pair(ch, quint8(0)));
        if (it != reverse.end() && it->first == ch) {
            out[i] = char(it->second);
        } else {
            out[i] = '?';
            exact = false;
        }
    }
    if (lossless) *lossless = exact;
    return result;
}

int CodePageFromLCID(quint32 lcid)
{
    const quint32 langId = lcid & 0xFFFF;
    const quint32 primary = langId & 0x3FF;
    // Languages written in Latin or Cyrillic depending on the sub-language.
    switch (langId) {
    case 0x0804: case 0x1004: return 936;                      // Chinese (PRC, Singapore)
    case 0x0404: case 0x0C04: case 0x1404: return 950;         // Chinese (Taiwan, Hong Kong, Macau)
    case 0x0C1A: case 0x1C1A: case 0x201A: case 0x281A: case 0x301A: return 1251;   // Serbian/Bosnian Cyrillic
    case 0x081A: case 0x181A: case 0x141A: case 0x241A: case 0x2C1A: return 1250;
    case 0x082C: return 1251;                                  // Azeri Cyrillic
    case 0x042C: return 1254;                                  // Azeri Latin
    case 0x0843: return 1251;                                  // Uzbek Cyrillic
    case 0x0443: return 1254;                                  // Uzbek Latin
    case 0x0850: return 1252;                                  // Mongolian (traditional): no ANSI page
    default: break;
    }
    int cp = 1252;
    switch (primary) {
    case 0x1E: cp = 874; break;                                // Thai
    case 0x11: cp = 932; break;                                // Japanese
    case 0x04: cp = 936; break;                                // Chinese, other
    case 0x12: cp = 949; break;                                // Korean
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1B: case 0x1C: case 0x24: case 0x1A:
        cp = 1250; break;                                      // Czech Hungarian Polish Romanian Slovak Albanian Slovenian Croatian
    case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F: case 0x3F: case 0x40: case 0x44:
    case 0x50: case 0x6D: case 0x85: case 0x28:
        cp = 1251; break;                                      // Bulgarian Russian Ukrainian Belarusian Macedonian Kazakh Kyrgyz Tatar Mongolian Bashkir Yakut Tajik
    case 0x08: cp = 1253; break;                               // Greek
    case 0x1F: case 0x42: cp = 1254; break;                    // Turkish, Turkmen
    case 0x0D: cp = 1255; break;                               // Hebrew
    case 0x01: case 0x29: case 0x20: case 0x80: case 0x8C: case 0x63: case 0x92:
        cp = 1256; break;                                      // Arabic Farsi Urdu Uighur Dari Pashto Kurdish
    case 0x25: case 0x26: case 0x27: cp = 1257; break;         // Estonian Latvian Lithuanian
    case 0x2A: cp = 1258; break;                               // Vietnamese
    default: break;
    }
    return cp;
}
