#pragma once
// What the rich-text reader, writer and control share: how lengths in twips become document
// units, the format properties that carry what Qt's formats have no place for, and the code
// pages of 8-bit rich text.
//
// Document units are pixels at the screen's resolution (as Qt lays text out on screen);
// lengths are kept as fractional pixels, so twips survive a round trip exactly.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTextFormat>

class QTextBlockFormat;
class QTextDocument;

// Pixels per inch of the document units (the screen's logical resolution, 96 without one).
int RichTextDpi();
double TwipsToDocUnits(int twips);
int DocUnitsToTwips(double units);

// Format properties of our own.
enum TRichTextProperty : int {
    // Text: the font's character set (RTF \fcharset), and protected text.
    rpCharSet = QTextFormat::UserProperty + 1,
    rpProtected,
    // Images: the picture or object group exactly as it was read, written back unchanged.
    rpRawGroup,
    // Images: an embedded object (true) shown by its result picture or a placeholder; its class.
    rpIsObject,
    rpObjectClass,
    // Blocks: the first-line indent in twips of a numbered paragraph, whose marker Qt draws
    // in the hanging indent (the block's own text indent stays 0 there).
    rpListFirstIndent,
};

// Paragraph indents in twips, as the rich-text formats hold them: left (all lines), first
// (first line, relative to left) and right.
struct TBlockIndents {
    int Left = 0, First = 0, Right = 0;
};
TBlockIndents BlockIndents(const QTextBlockFormat& format, bool inList);
void SetBlockIndents(QTextBlockFormat& format, const TBlockIndents& indents, bool inList);

// The code page of a font character set (RTF \fcharset, the Windows LOGFONT values); 0 for
// the default set (the document's code page) and for sets without one.
int CharSetCodePage(int charSet);
// The character set of a code page (for fonts written with text of that page); 0 when none.
int CodePageCharSet(int codePage);
// 8-bit text of a code page: 1252 through the platform's table, the others through the
// system's ICU converters; a page the system cannot convert reads as 1252.
QString DecodeRichTextBytes(const QByteArray& bytes, int codePage);
// The bytes of text in a code page; false (and no bytes) when a character cannot be held.
bool EncodeRichTextChars(const QString& text, int codePage, QByteArray& bytes);

// The picture shown for an object or picture that cannot be drawn here: a framed box of the
// given size in document units with the caption inside.
QImage RichTextPlaceholder(int width, int height, const QString& caption);
