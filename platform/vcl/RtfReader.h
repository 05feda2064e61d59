#pragma once
// Reads rich text (RTF) into a QTextDocument: groups, control words with parameters, control
// symbols, hex and Unicode escapes with their skip count, binary runs, font and colour tables,
// character and paragraph formats, bullets and numbering, tab stops, fields as their result
// text (hyperlinks kept as links), pictures as images, embedded objects kept byte for byte and
// shown by their result picture or a placeholder; other destinations are skipped.
//
// A stream that does not start as rich text, or breaks its syntax (a control word or number
// beyond the format's limits, a negative binary run, a zero byte in the text, groups nested
// beyond reason), is refused before anything is inserted, so that the caller can load it as
// plain text. A stream cut short loads what it holds.

#include <QByteArray>
#include <QByteArrayView>

class QTextCursor;

enum TRtfReadStatus { rrOk, rrNotRtf, rrBroken };

struct TRtfReadResult {
    TRtfReadStatus Status = rrOk;
    bool Truncated = false;   // the stream ended inside a group (what it held was loaded)
    bool Ok() const { return Status == rrOk; }
};

struct TRtfReadOptions {
    // Read into the selection rather than as a whole document: a paragraph mark that ends the
    // stream starts a new paragraph when text follows the cursor (otherwise it only ends the
    // last paragraph), and a last paragraph without a mark that runs on into the text after
    // the cursor keeps that paragraph's format.
    bool Selection = false;
};

// True when the bytes begin as rich text ("{\rtf" or "{\urtf").
bool LooksLikeRtf(QByteArrayView data);

// Whether the bytes would be read: rrNotRtf, rrBroken, or rrOk.
TRtfReadStatus CheckRtf(QByteArrayView data);

// The plain text the document would hold (paragraphs end in '\n', the last one not; pictures
// and objects are left out), read without building a document; empty when refused.
QString RtfPlainText(QByteArrayView data, TRtfReadResult* result = nullptr);

// Inserts the document at the cursor (the cursor's selection is not removed).
TRtfReadResult ReadRtf(QByteArrayView data, QTextCursor& cursor, const TRtfReadOptions& options = {});
