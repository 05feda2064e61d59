#pragma once
// Text of Paradox and dBASE tables. Tables declare DOS or Macintosh code pages, which the
// program's 8-bit strings (Windows code pages only) cannot carry; such text is carried over
// byte by byte into the Windows page of the same script, the way Windows programs have always
// read such tables.
// Windows pages stay as they are; a table without a page gets the default code page.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>

struct TOemCodePage {
    int CodePage;
    int AnsiCodePage;        // the Windows page of the same script
    const char16_t* Chars;   // 256 characters, indexed by byte
};
extern const TOemCodePage OemCodePages[];
extern const int OemCodePageCount;

// The table entry of a DOS or Macintosh page; nullptr for any other page.
const TOemCodePage* FindOemCodePage(int codePage);

class TTableText {
public:
    // declaredCodePage: what the file says (0: nothing); overrideCodePage, when not 0, wins.
    explicit TTableText(int declaredCodePage = 0, int overrideCodePage = 0);

    // The code page the file's text is in (a DOS page when it declares one).
    int SourceCodePage() const { return FSource; }
    // The Windows code page of the values handed out.
    int CodePage() const { return FTarget; }
    bool Translates() const { return FTranslates; }
    // Carries bytes of the source page over into CodePage(), in place.
    void Translate(QByteArray& bytes) const;
    QByteArray Translated(const char* data, qsizetype length) const;
    // Exact Unicode text of source bytes (names of fields and tables).
    QString Decode(QByteArrayView bytes) const;

private:
    int FSource = 0;
    int FTarget = 0;
    bool FTranslates = false;
    const TOemCodePage* FOem = nullptr;
    std::array<quint8, 256> FMap{};
};
