#pragma once
// Writes a QTextDocument, or a range of it, as rich text (RTF) that the reader reads back with
// its formats: font and colour tables, character formats (font, size, bold, italic, underline,
// strike-out, colours, super- and subscript, protection), paragraph formats (alignment,
// indents, spacing, line spacing, tab stops), bullets and numbering, links as hyperlink
// fields, pictures, and the picture and object groups the reader kept, byte for byte.
// Characters outside the font's code page are written as Unicode escapes.

#include <QByteArray>

class QTextDocument;

// end -1: to the end. The whole document ends every paragraph with its mark; a range writes
// the marks that lie inside it.
QByteArray WriteRtf(const QTextDocument* document, int start = 0, int end = -1);
