#include "platform/tables/OemCodePages.h"

#include "platform/core/CodePages.h"

const TOemCodePage* FindOemCodePage(int codePage)
{
    for (int i = 0; i < OemCodePageCount; ++i)
        if (OemCodePages[i].CodePage == codePage) return &OemCodePages[i];
    return nullptr;
}

namespace {

// A character the Windows page lacks: line-drawing characters become their ASCII outline,
// accented letters their base letter, anything else '?'.
char Substitute(char16_t ch)
{
    if (ch >= 0x2500 && ch <= 0x257F) {
        switch (ch) {
        case 0x2500: case 0x2501: case 0x2504: case 0x2505: case 0x2508: case 0x2509:
        case 0x254C: case 0x254D: case 0x2550:
            return '-';
        case 0x2502: case 0x2503: case 0x2506: case 0x2507: case 0x250A: case 0x250B:
        case 0x254E: case 0x254F: case 0x2551:
            return '|';
        default:
            return '+';
        }
    }
    if (ch >= 0x2580 && ch <= 0x259F) return '#';
    const QString decomposed = QChar(ch).decomposition();
    if (!decomposed.isEmpty() && decomposed.at(0).unicode() < 0x80) return char(decomposed.at(0).unicode());
    return '?';
}

} // namespace

TTableText::TTableText(int declaredCodePage, int overrideCodePage)
{
    const int page = overrideCodePage > 0 ? overrideCodePage : declaredCodePage;
    FOem = FindOemCodePage(page);
    if (FOem) {
        FSource = page;
        FTarget = FOem->AnsiCodePage;
        FTranslates = true;
        for (int b = 0; b < 256; ++b) {
            const char16_t ch = FOem->Chars[b];
            if (b < 0x80 && ch == b) {
                FMap[size_t(b)] = quint8(b);
                continue;
            }
            bool lossless = true;
            const QByteArray encoded = EncodeCodePage(QStringView(&ch, 1), FTarget, &lossless);
            FMap[size_t(b)] = lossless && encoded.size() == 1 ? quint8(encoded[0]) : quint8(Substitute(ch));
        }
        return;
    }
    FSource = FTarget = page > 0 && IsCodePageSupported(page) ? page : DefaultCodePage();
}

void TTableText::Translate(QByteArray& bytes) const
{
    if (!FTranslates) return;
    char* p = bytes.data();
    for (qsizetype i = 0, n = bytes.size(); i < n; ++i) p[i] = char(FMap[quint8(p[i])]);
}

QByteArray TTableText::Translated(const char* data, qsizetype length) const
{
    QByteArray bytes(data, length);
    Translate(bytes);
    return bytes;
}

QString TTableText::Decode(QByteArrayView bytes) const
{
    return FOem ? DecodeWithTable(bytes, FOem->Chars) : DecodeCodePage(bytes, FSource);
}
