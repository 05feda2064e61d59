#pragma once
// How the client dataset orders and matches text: letters by their base letter first, then by
// accent, then lower case before upper case; symbols before digits before letters. Case-
// insensitive comparison stops after the accents. 8-bit text of a single-byte code page is
// compared through a table of its 256 characters, without decoding.

#include <QString>
#include <QStringView>

#include <array>

class TCollation {
public:
    // The collation of 8-bit text in a code page (cached; multi-byte code pages decode).
    static const TCollation& ForCodePage(int codePage);

    int CompareAnsi(const char* a, qsizetype na, const char* b, qsizetype nb, bool caseInsensitive) const;
    // Whether the text begins with the prefix under the same rules.
    bool StartsWithAnsi(const char* text, qsizetype n, const char* prefix, qsizetype np, bool caseInsensitive) const;
    // The text against a prefix by base letters alone: negative when the text orders before
    // every text that begins with the prefix, 0 when its base letters begin with the prefix's,
    // positive when it orders after them. Texts that begin with the prefix (in any case or
    // accent) are therefore one run of any order by this collation.
    int ComparePrefixPrimaryAnsi(const char* text, qsizetype n, const char* prefix, qsizetype np) const;

    // UTF-16 text.
    static int CompareWide(const char16_t* a, qsizetype na, const char16_t* b, qsizetype nb, bool caseInsensitive);
    static bool StartsWithWide(const char16_t* text, qsizetype n, const char16_t* prefix, qsizetype np, bool caseInsensitive);
    static int ComparePrefixPrimaryWide(const char16_t* text, qsizetype n, const char16_t* prefix, qsizetype np);
    static int CompareText(QStringView a, QStringView b, bool caseInsensitive)
    {
        return CompareWide(reinterpret_cast<const char16_t*>(a.utf16()), a.size(),
                           reinterpret_cast<const char16_t*>(b.utf16()), b.size(), caseInsensitive);
    }

    int CodePage() const { return FCodePage; }
    bool SingleByte() const { return FSingleByte; }
    // Each byte's primary weight as a dense rank from 1, in weight order (for sort prefixes).
    quint16 PrimaryRank(uchar byte) const { return FRanks[byte]; }

    // The weights of one character.
    struct TKey {
        quint32 Primary = 0;
        quint16 Secondary = 0;
        quint8 Tertiary = 0;
    };
    static TKey KeyOf(char16_t ch);

private:
    explicit TCollation(int codePage);
    int FCodePage;
    bool FSingleByte;
    std::array<TKey, 256> FKeys;
    std::array<quint16, 256> FRanks;
};
