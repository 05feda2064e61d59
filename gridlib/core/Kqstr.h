#pragma once
// Token and list routines that read and write every delimited setting of the grid library:
// per-field lists, combo items, title and layout strings, dialog criteria. Positions are
// 1-based; every routine returns a new text unless it says "in place".

#include <QString>
#include <QStringList>
#include <QStringView>

// The next token of Text from Pos up to Sep. A one-character Sep is searched for as it is;
// a longer one is a word searched for with a blank on each side, in any case ("and" finds
// " AND "). Pos moves past the separator, or becomes -1 when the text ran out; a Pos of 0
// or below returns an empty token and stays.
QString NextToken(const QString& text, const QString& sep, int& pos);
// Clears the list and adds the parts between the separators: n separators give n+1 parts,
// empty ones included; an empty text gives one empty part.
void SplitToList(const QString& text, QChar sep, QStringList& list);

// ScanToken flags.
enum : unsigned {
    stSkipBlanks = 1,      // skip leading blanks and tabs
    stQuoted = 2,          // a token beginning with a double quote runs to the closing one
    stStripQuotes = 4,     // remove the quotes of such a token
    stBlanksInside = 8     // blanks may occur inside a token
};
// The next token from Pos, ended by a control character (and a blank, without
// stBlanksInside) or by one of the delimiter characters; a delimiter at Pos is a token of
// its own. A token of one character also steps over the character after it.
QString ScanToken(const QString& text, int& pos, unsigned flags, const QString& delims);

// The file name without folder and without everything from its first "."; a name without
// any "." gives an empty text.
QString BareFileName(const QString& path);
void TrimBlanksAndTabs(QString& text);
void TrimLeftCharSet(QString& text, const QString& chars);
void TrimRightCharSet(QString& text, const QString& chars);
QString DeleteCharOccurrences(const QString& text, QChar ch);
QString SubstituteChar(const QString& text, QChar oldCh, QChar newCh);
// A replacement that holds the character itself is not replaced again.
QString SubstituteCharWithText(const QString& text, QChar ch, const QString& replacement);
// Equal after upper-casing a-z.
bool EqualIgnoringCase(QStringView a, QStringView b);
int CountCharOccurrences(const QString& text, QChar ch);
// The parts after and before the first ch; empty when there is none.
QString TextAfterChar(const QString& text, QChar ch);
QString TextBeforeChar(const QString& text, QChar ch);

// The library's case rules map only the letters a-z and A-Z.
QString AsciiUpper(const QString& text);
QString AsciiLower(const QString& text);
