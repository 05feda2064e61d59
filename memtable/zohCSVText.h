#pragma once
// Text pieces of the memory table's delimited format: escaping, the 6-bit packing of
// binary values, quoting, comma text, and reading lines and columns.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <functional>

// NUL, LF, CR and "%" become "%0", "%n", "%c" and "%%".
QByteArray zohEscape(const QByteArray& text);
QByteArray zohUnescape(const QByteArray& text);

// Bytes as printable characters, 6 bits each (4 characters per 3 bytes), and back.
QByteArray zohEncode6Bit(const QByteArray& bytes);
QByteArray zohDecode6Bit(const QByteArray& text);

// Encloses in the quote character, doubling it inside; a quote of 0 leaves the text alone.
QByteArray zohQuote(const QByteArray& text, char quote);
// Takes the quoted text at the start (after blanks); without a leading quote the text is kept.
QByteArray zohUnquote(const QByteArray& text, char quote);

// Items separated by commas or blanks; double-quoted items may hold both.
QList<QByteArray> zohSplitCommaText(const QByteArray& text);

// Reads lines (a run of CR, LF and NUL separates two lines) in blocks of 8192 bytes.
class TzohLineReader {
public:
    explicit TzohLineReader(QIODevice* source) : FSource(source) {}
    bool ReadLine(QByteArray& line);
    qint64 Position() const { return FSource->pos() - (FBuffer.size() - FPos); }
    int BlocksRead() const { return FBlocks; }
    std::function<void()> OnBlock;   // after each block read

private:
    bool Fill();
    QIODevice* FSource;
    QByteArray FBuffer;
    qsizetype FPos = 0;
    int FBlocks = 0;
    bool FEnd = false;
};

// Reads the columns of one line with the delimiters and quote of the table.
class TzohColumnReader {
public:
    TzohColumnReader(const QByteArray& line, char quote, char fieldDelimiter, char recordDelimiter)
        : FLine(line), FQuote(quote), FField(fieldDelimiter), FRecord(recordDelimiter) {}
    // False at the end of the line.
    bool Next(QByteArray& column);
    // Whether the column just read was in quotes (an empty text rather than no value).
    bool WasQuoted() const { return FQuoted; }
    bool AtEnd() const { return FPos >= FLine.size(); }

private:
    bool IsDelimiter(char c) const { return c == FField || (FRecord && c == FRecord); }
    QByteArray FLine;
    char FQuote, FField, FRecord;
    qsizetype FPos = 0;
    bool FQuoted = false;
};
