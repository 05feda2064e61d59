#pragma once
// Text replacement, word splitting over a set of delimiter characters, and the key-XOR
// encoding of stored values. Positions count from 1, as the callers count them.

#include <QString>
#include <bitset>
#include <initializer_list>

// A set of 8-bit characters; characters above 255 are never members.
class TCharSet {
public:
    TCharSet() = default;
    TCharSet(std::initializer_list<char> chars)
    {
        for (char c : chars) FBits.set(static_cast<unsigned char>(c));
    }
    bool Contains(QChar c) const { return c.unicode() < 256 && FBits.test(c.unicode()); }

private:
    std::bitset<256> FBits;
};

QString ReplaceAll(const QString& text, const QString& search, const QString& replacement);
QString DeleteChar(const QString& text, QChar c);
int CountWords(const QString& text, const TCharSet& delimiters);
int WordStart(int n, const QString& text, const TCharSet& delimiters);   // 0 when fewer words
QString NthWord(int n, const QString& text, const TCharSet& delimiters);  // empty when fewer words
// The text from position up to the next delimiter; position moves past that delimiter, or to
// the length plus one when there is none.
QString NextField(const QString& text, int& position, const TCharSet& delimiters);

// Each byte of the text's UTF-8 form combined with the key's bytes in turn, as lower-case
// hexadecimal; decoding undoes it (a pair that is not hexadecimal counts as a blank).
QString KeyXorEncode(const QString& key, const QString& text);
QString KeyXorDecode(const QString& key, const QString& hexText);
