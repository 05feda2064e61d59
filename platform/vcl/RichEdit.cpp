#include "platform/vcl/RichEdit.h"

#include "platform/core/AtomicFile.h"
#include "platform/core/CodePages.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Printers.h"
#include "platform/vcl/RichText.h"
#include "platform/vcl/RtfReader.h"
#include "platform/vcl/RtfWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextList>
#include <cmath>

namespace {

const char* const RtfMimeTypes[] = {"text/rtf", "application/rtf", "text/richtext"};

// The paragraph numbering of a list style and back.
int NumberingOfList(const QTextList* list)
{
    if (!list) return 0;
    switch (list->format().style()) {
    case QTextListFormat::ListDecimal: return PFN_ARABIC;
    case QTextListFormat::ListLowerAlpha: return PFN_LCLETTER;
    case QTextListFormat::ListUpperAlpha: return PFN_UCLETTER;
    case QTextListFormat::ListLowerRoman: return PFN_LCROMAN;
    case QTextListFormat::ListUpperRoman: return PFN_UCROMAN;
    default: return PFN_BULLET;
    }
}

QTextListFormat::Style ListStyleOf(int numbering)
{
    switch (numbering) {
    case PFN_ARABIC: return QTextListFormat::ListDecimal;
    case PFN_LCLETTER: return QTextListFormat::ListLowerAlpha;
    case PFN_UCLETTER: return QTextListFormat::ListUpperAlpha;
    case PFN_LCROMAN: return QTextListFormat::ListLowerRoman;
    case PFN_UCROMAN: return QTextListFormat::ListUpperRoman;
    default: return QTextListFormat::ListDisc;
    }
}

bool IsObjectChar(const QTextDocument* doc, int position)
{
    if (doc->characterAt(position) != QChar::ObjectReplacementCharacter) return false;
    QTextCursor c(const_cast<QTextDocument*>(doc));
    c.setPosition(position + 1);
    return c.charFormat().isImageFormat();
}

} // namespace

// --- Text attributes ---------------------------------------------------------------------------

TCharFormat2 TTextAttributes::Get() const
{
    return FControl->GetCharFormat(FType == atSelected ? SCF_SELECTION : SCF_DEFAULT);
}

void TTextAttributes::Set(const TCharFormat2& format)
{
    FControl->SetCharFormat(FType == atSelected ? SCF_SELECTION : SCF_DEFAULT, format);
}

QString TTextAttributes::Name() const { return Get().FaceName; }
void TTextAttributes::SetName(const QString& name)
{
    TCharFormat2 f;
    f.Mask = CFM_FACE;
    f.FaceName = name;
    Set(f);
}
int TTextAttributes::Size() const { return Get().Height / 20; }
void TTextAttributes::SetSize(int points)
{
    TCharFormat2 f;
    f.Mask = CFM_SIZE;
    f.Height = points * 20;
    Set(f);
}
int TTextAttributes::Height() const { return qRound(Get().Height * FControl->ScreenPixelsPerInch() / 1440.0); }
void TTextAttributes::SetHeight(int pixels) { SetSize(qRound(pixels * 72.0 / FControl->ScreenPixelsPerInch())); }
TFontStyles TTextAttributes::Style() const
{
    const TCharFormat2 f = Get();
    TFontStyles s;
    if (f.Effects & CFE_BOLD) s.Include(fsBold);
    if (f.Effects & CFE_ITALIC) s.Include(fsItalic);
    if (f.Effects & CFE_UNDERLINE) s.Include(fsUnderline);
    if (f.Effects & CFE_STRIKEOUT) s.Include(fsStrikeOut);
    return s;
}
void TTextAttributes::SetStyle(TFontStyles style)
{
    TCharFormat2 f;
    f.Mask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    if (style.Contains(fsBold)) f.Effects |= CFE_BOLD;
    if (style.Contains(fsItalic)) f.Effects |= CFE_ITALIC;
    if (style.Contains(fsUnderline)) f.Effects |= CFE_UNDERLINE;
    if (style.Contains(fsStrikeOut)) f.Effects |= CFE_STRIKEOUT;
    Set(f);
}
TColor TTextAttributes::Color() const
{
    const TCharFormat2 f = Get();
    return (f.Effects & CFE_AUTOCOLOR) ? clWindowText : f.TextColor;
}
void TTextAttributes::SetColor(TColor color)
{
    TCharFormat2 f;
    f.Mask = CFM_COLOR;
    if (color == clWindowText || color == clDefault) f.Effects = CFE_AUTOCOLOR;
    else f.TextColor = ColorToRGB(color);
    Set(f);
}
int TTextAttributes::Charset() const { return Get().CharSet; }
void TTextAttributes::SetCharset(int charSet)
{
    TCharFormat2 f;
    f.Mask = CFM_CHARSET;
    f.CharSet = quint8(charSet);
    Set(f);
}
int TTextAttributes::Pitch() const { return Get().PitchAndFamily & 3; }
void TTextAttributes::SetPitch(int) {}
bool TTextAttributes::Protected() const { return Get().Effects & CFE_PROTECTED; }
void TTextAttributes::SetProtected(bool value)
{
    TCharFormat2 f;
    f.Mask = CFM_PROTECTED;
    f.Effects = value ? quint32(CFE_PROTECTED) : 0u;
    Set(f);
}
void TTextAttributes::Assign(const QFont& font, TColor color)
{
    TCharFormat2 f;
    f.Mask = CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_COLOR;
    f.FaceName = font.family();
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / FControl->ScreenPixelsPerInch();
    f.Height = int(std::lround(points * 20));
    if (font.bold()) f.Effects |= CFE_BOLD;
    if (font.italic()) f.Effects |= CFE_ITALIC;
    if (font.underline()) f.Effects |= CFE_UNDERLINE;
    if (font.strikeOut()) f.Effects |= CFE_STRIKEOUT;
    if (color == clWindowText || color == clDefault) f.Effects |= CFE_AUTOCOLOR;
    else f.TextColor = ColorToRGB(color);
    Set(f);
}

// --- Paragraph attributes ----------------------------------------------------------------------

TAlignment TParaAttributes::Alignment() const
{
    switch (FControl->GetParaFormat().Alignment) {
    case PFA_RIGHT: return taRightJustify;
    case PFA_CENTER: return taCenter;
    default: return taLeftJustify;
    }
}
void TParaAttributes::SetAlignment(TAlignment value)
{
    TParaFormat2 p;
    p.Mask = PFM_ALIGNMENT;
    p.Alignment = quint16(value == taRightJustify ? int(PFA_RIGHT) : value == taCenter ? int(PFA_CENTER) : int(PFA_LEFT));
    FControl->SetParaFormat(p);
}
TNumberingStyle TParaAttributes::Numbering() const { return FControl->GetParaFormat().Numbering ? nsBullet : nsNone; }
void TParaAttributes::SetNumbering(TNumberingStyle value)
{
    TParaFormat2 p;
    p.Mask = PFM_NUMBERING;
    p.Numbering = value == nsBullet ? PFN_BULLET : 0;
    FControl->SetParaFormat(p);
}
int TParaAttributes::FirstIndent() const { return FControl->GetParaFormat().StartIndent / 20; }
void TParaAttributes::SetFirstIndent(int value)
{
    TParaFormat2 p;
    p.Mask = PFM_STARTINDENT;
    p.StartIndent = value * 20;
    FControl->SetParaFormat(p);
}
int TParaAttributes::LeftIndent() const
{
    const TParaFormat2 p = FControl->GetParaFormat();
    return (p.StartIndent + p.Offset) / 20;
}
void TParaAttributes::SetLeftIndent(int value)
{
    const TParaFormat2 current = FControl->GetParaFormat();
    TParaFormat2 p;
    p.Mask = PFM_OFFSET;
    p.Offset = value * 20 - current.StartIndent;
    FControl->SetParaFormat(p);
}
int TParaAttributes::RightIndent() const { return FControl->GetParaFormat().RightIndent / 20; }
void TParaAttributes::SetRightIndent(int value)
{
    TParaFormat2 p;
    p.Mask = PFM_RIGHTINDENT;
    p.RightIndent = value * 20;
    FControl->SetParaFormat(p);
}
int TParaAttributes::TabCount() const { return FControl->GetParaFormat().TabCount; }
int TParaAttributes::Tab(int index) const
{
    const TParaFormat2 p = FControl->GetParaFormat();
    return index >= 0 && index < p.TabCount ? p.Tabs[index] / 20 : 0;
}

// --- Platform lines ----------------------------------------------------------------------------

int TRichEditStrings::Count() const
{
    const int count = FControl->LineCount();
    // the last paragraph counts only when it holds text
    return FControl->document()->lastBlock().length() <= 1 ? count - 1 : count;
}

QString TRichEditStrings::Get(int index) const
{
    const QTextBlock block = FControl->document()->findBlockByNumber(index);
    return block.isValid() ? block.text() : QString();
}

void TRichEditStrings::Put(int index, const QString& text)
{
    const QTextBlock block = FControl->document()->findBlockByNumber(index);
    if (index < 0 || !block.isValid()) return;
    FControl->SetSel({block.position(), block.position() + block.length() - 1});
    FControl->ReplaceSel(text);
}

void TRichEditStrings::Insert(int index, const QString& text)
{
    if (index < 0) return;
    const QTextBlock block = FControl->document()->findBlockByNumber(index);
    if (block.isValid()) {
        FControl->SetSel({block.position(), block.position()});
        FControl->ReplaceSel(text + QStringLiteral("\r\n"));
        return;
    }
    const QTextBlock previous = FControl->document()->findBlockByNumber(index - 1);
    if (!previous.isValid() || previous.length() <= 1) return;
    const int end = previous.position() + previous.length() - 1;
    FControl->SetSel({end, end});
    FControl->ReplaceSel(QStringLiteral("\r\n") + text);
}

void TRichEditStrings::Delete(int index)
{
    const QTextBlock block = FControl->document()->findBlockByNumber(index);
    if (index < 0 || !block.isValid()) return;
    QTextCursor c(FControl->document());
    c.setPosition(block.position());
    const QTextBlock next = block.next();
    if (next.isValid()) c.setPosition(next.position(), QTextCursor::KeepAnchor);
    else {
        // the last paragraph: its text and the mark before it
        c.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        if (block.previous().isValid()) {
            c.setPosition(block.position() + block.length() - 1);
            c.setPosition(block.position() - 1, QTextCursor::KeepAnchor);
        }
    }
    c.removeSelectedText();
}

void TRichEditStrings::Clear() { FControl->Clear(); }

void TRichEditStrings::AddStrings(const QStringList& lines)
{
    for (const QString& line : lines) Add(line);
}

QStringList TRichEditStrings::ToStringList() const
{
    QStringList lines;
    for (int i = 0, n = Count(); i < n; ++i) lines << Get(i);
    return lines;
}

void TRichEditStrings::Assign(const QStringList& lines)
{
    BeginUpdate();
    Clear();
    AddStrings(lines);
    EndUpdate();
}

QString TRichEditStrings::Text() const
{
    QString text;
    for (int i = 0, n = Count(); i < n; ++i) text += Get(i) + QStringLiteral("\r\n");
    return text;
}

void TRichEditStrings::SetText(const QString& text) { FControl->SetText(text); }

void TRichEditStrings::LoadFromStream(QIODevice& stream)
{
    const qint64 start = stream.pos();
    auto load = [&](int format) {
        stream.seek(start);
        TEditStream es;
        es.Callback = [&](char* buffer, int count, int& done) {
            const qint64 read = stream.read(buffer, count);
            done = int(qMax<qint64>(read, 0));
            return read < 0 ? EditStreamFail : 0;
        };
        FControl->StreamIn(format, es);
        return es.Error == 0;
    };
    if (FControl->PlainText()) {
        if (!load(SF_TEXT)) throw EOutOfResources(QStringLiteral("Failed to Load Stream"));
        return;
    }
    if (load(SF_RTF)) return;
    if (!load(SF_TEXT)) throw EOutOfResources(QStringLiteral("Failed to Load Stream"));
}

void TRichEditStrings::SaveToStream(QIODevice& stream)
{
    TEditStream es;
    es.Callback = [&](char* buffer, int count, int& done) {
        const qint64 written = stream.write(buffer, count);
        done = int(qMax<qint64>(written, 0));
        return written == count ? 0 : EditStreamFail;
    };
    FControl->StreamOut(FControl->PlainText() ? SF_TEXT : SF_RTF, es);
    if (es.Error) throw EStreamError(QStringLiteral("Stream write error"));
}

void TRichEditStrings::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(Format(QStringLiteral("Cannot open file \"%s\". %s"), {fileName, file.errorString()}));
    LoadFromStream(file);
}

void TRichEditStrings::SaveToFile(const QString& fileName)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    SaveToStream(buffer);
    // a user's file is replaced whole or not at all
    AtomicWriteFile(fileName, buffer.data());
}

// --- The control -------------------------------------------------------------------------------

TCustomRichEdit::TCustomRichEdit(QWidget* parent)
    : QTextEdit(parent), FPlatformLines(std::make_unique<TRichEditStrings>(this))
{
    FPixelsPerInch = logicalDpiY() > 0 ? logicalDpiY() : 96;
    setAcceptRichText(true);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    document()->setDocumentMargin(0);
    QTextOption option = document()->defaultTextOption();
    option.setTabStopDistance(TwipsToDocUnits(720));
    document()->setDefaultTextOption(option);
    setTabChangesFocus(!FWantTabs);
    SetScrollBars(ssBoth);
    connect(document(), &QTextDocument::contentsChange, this, &TCustomRichEdit::ContentsChange);
    connect(this, &QTextEdit::cursorPositionChanged, this, &TCustomRichEdit::CursorMoved);
    connect(this, &QTextEdit::selectionChanged, this, &TCustomRichEdit::CursorMoved);
    connect(this, &QTextEdit::textChanged, this, [this] {
        if (!FLoadingContent && (FEventMask & ENM_CHANGE)) Change();
    });
    viewport()->setMouseTracking(true);
}

TCustomRichEdit::~TCustomRichEdit()
{
    disconnect(document(), nullptr, this, nullptr);
    disconnect(this, nullptr, this, nullptr);
}

void TCustomRichEdit::Change()
{
    if (OnChange) OnChange(this);
}

void TCustomRichEdit::SelectionChange()
{
    if (OnSelectionChange) OnSelectionChange(this);
}

bool TCustomRichEdit::ProtectChange(int startPos, int endPos)
{
    bool allow = false;
    if (OnProtectChange) OnProtectChange(this, startPos, endPos, allow);
    return allow;
}

void TCustomRichEdit::LinkNotify(const TENLink&) {}

void TCustomRichEdit::ContentsChange(int, int, int)
{
    FLayoutCache.reset();
    if (FAutoUrlDetect) DetectUrls();
}

void TCustomRichEdit::CursorMoved()
{
    const TCharRange sel = GetSel();
    if (sel == FLastSelection) return;
    FLastSelection = sel;
    if (!FLoadingContent && (FEventMask & ENM_SELCHANGE)) SelectionChange();
}

bool TCustomRichEdit::CheckProtected(int start, int end)
{
    if (!(FEventMask & ENM_PROTECTED)) return true;
    const QTextDocument* doc = document();
    bool isProtected = false;
    if (start == end) {
        // typing inside a protected run
        if (start > 0 && start < TextLength()) {
            QTextCursor before(const_cast<QTextDocument*>(doc));
            before.setPosition(start);
            QTextCursor after(const_cast<QTextDocument*>(doc));
            after.setPosition(start + 1);
            isProtected = before.charFormat().boolProperty(rpProtected) && after.charFormat().boolProperty(rpProtected);
        }
    } else {
        for (QTextBlock b = doc->findBlock(start); b.isValid() && b.position() < end && !isProtected; b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                if (f.position() + f.length() <= start || f.position() >= end) continue;
                if (f.charFormat().boolProperty(rpProtected)) {
                    isProtected = true;
                    break;
                }
            }
    }
    return !isProtected || ProtectChange(start, end);
}

// --- Streams -----------------------------------------------------------------------------------

int TCustomRichEdit::StreamIn(int format, TEditStream& stream)
{
    stream.Error = 0;
    QByteArray data;
    constexpr int request = RichEditStreamRequest;
    char buffer[request];
    for (;;) {
        int done = 0;
        const int answer = stream.Callback ? stream.Callback(buffer, request, done) : 0;
        if (answer != 0) {
            stream.Error = answer;
            break;
        }
        if (done <= 0) break;
        data.append(buffer, qMin(done, request));
    }
    const bool selection = format & SFF_SELECTION;
    const bool rtf = format & SF_RTF;
    if (rtf) {
        TRtfReadResult check;
        check.Status = CheckRtf(data);
        if (check.Status != rrOk) {
            if (!stream.Error) stream.Error = EditStreamBadRichText;
            return 0;
        }
    }
    const TCharRange sel = GetSel();
    if (!CheckProtected(selection ? sel.Min : 0, selection ? sel.Max : TextLength())) return 0;

    const bool wasLoading = FLoadingContent;
    FLoadingContent = true;
    const int before = TextLength();
    int inserted = 0;
    if (!selection) {
        document()->setUndoRedoEnabled(false);
        document()->clear();
        QTextCursor cursor(document());
        if (rtf) ReadRtf(data, cursor);
        else InsertPlainText(cursor, DecodeCodePage(data.left(data.indexOf('\0') < 0 ? data.size() : data.indexOf('\0')),
                                                    DefaultCodePage()));
        document()->setUndoRedoEnabled(true);
        inserted = TextLength();
        if (FMaxLength > 0 && inserted > FMaxLength) {
            QTextCursor cut(document());
            cut.setPosition(FMaxLength);
            cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cut.removeSelectedText();
            inserted = FMaxLength;
        }
        QTextCursor start(document());
        setTextCursor(start);
        document()->setModified(false);
    } else {
        QTextCursor cursor = textCursor();
        cursor.beginEditBlock();
        cursor.removeSelectedText();
        const int at = cursor.position();
        const int kept = TextLength();
        if (rtf) ReadRtf(data, cursor, {true});
        else InsertPlainText(cursor, DecodeCodePage(data.left(data.indexOf('\0') < 0 ? data.size() : data.indexOf('\0')),
                                                    DefaultCodePage()));
        inserted = TextLength() - kept;
        if (FMaxLength > 0 && TextLength() > FMaxLength) {
            const int excess = qMin(TextLength() - FMaxLength, inserted);
            QTextCursor cut(document());
            cut.setPosition(at + inserted - excess);
            cut.setPosition(at + inserted, QTextCursor::KeepAnchor);
            cut.removeSelectedText();
            inserted -= excess;
        }
        cursor.endEditBlock();
        cursor.setPosition(at + inserted);
        setTextCursor(cursor);
        document()->setModified(true);
    }
    FLoadingContent = wasLoading;
    Q_UNUSED(before);
    if (!FLoadingContent && (FEventMask & ENM_CHANGE)) Change();
    CursorMoved();
    return inserted;
}

int TCustomRichEdit::StreamOut(int format, TEditStream& stream)
{
    stream.Error = 0;
    int start = 0, end = TextLength();
    if (format & SFF_SELECTION) {
        const TCharRange sel = GetSel();
        start = sel.Min;
        end = sel.Max;
    }
    QByteArray data;
    if (format & SF_RTF) {
        data = (format & SFF_SELECTION) ? WriteRtf(document(), start, end) : WriteRtf(document());
        data.append('\0');
    } else {
        QString text = PlainTextOf(start, end);
        text.remove(QChar::ObjectReplacementCharacter);
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        data = EncodeCodePage(text, DefaultCodePage());
    }
    if (!stream.Callback) return 0;
    int written = 0;
    while (written < data.size()) {
        const int count = int(qMin<qsizetype>(4096, data.size() - written));
        int done = 0;
        const int answer = stream.Callback(data.data() + written, count, done);
        if (answer != 0) {
            stream.Error = answer;
            break;
        }
        if (done <= 0) break;
        written += qMin(done, count);
    }
    return written;
}

// --- Lines, selection, text --------------------------------------------------------------------

int TCustomRichEdit::LineCount() const { return document()->blockCount(); }

int TCustomRichEdit::LineIndex(int line) const
{
    if (line < 0) line = textCursor().blockNumber();
    const QTextBlock block = document()->findBlockByNumber(line);
    return block.isValid() ? block.position() : -1;
}

int TCustomRichEdit::LineLength(int charIndex) const
{
    const QTextBlock block = charIndex < 0 ? textCursor().block() : document()->findBlock(charIndex);
    return block.isValid() ? block.length() - 1 : 0;
}

int TCustomRichEdit::LineFromChar(int charIndex) const
{
    if (charIndex < 0) return textCursor().blockNumber();
    const QTextBlock block = document()->findBlock(qMin(charIndex, TextLength()));
    return block.isValid() ? block.blockNumber() : 0;
}

QString TCustomRichEdit::Line(int line, int bufferSize) const
{
    const QTextBlock block = document()->findBlockByNumber(line);
    if (!block.isValid()) return {};
    QString text = block.text();
    if (block.next().isValid()) text += QLatin1Char('\r');
    return text.left(qMax(bufferSize, 0));
}

TCharRange TCustomRichEdit::GetSel() const
{
    const QTextCursor c = textCursor();
    return {c.selectionStart(), c.selectionEnd()};
}

void TCustomRichEdit::SetSel(const TCharRange& range)
{
    const int length = TextLength();
    QTextCursor c = textCursor();
    if (range.Min < 0) {
        c.clearSelection();
    } else {
        const int from = qBound(0, range.Min, length);
        const int to = range.Max < 0 ? length : qBound(0, range.Max, length);
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
    }
    setTextCursor(c);
}

void TCustomRichEdit::InsertPlainText(QTextCursor& cursor, const QString& text)
{
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QTextCharFormat format = cursor.charFormat();
    const QStringList paragraphs = normal.split(QLatin1Char('\n'));
    for (int i = 0; i < paragraphs.size(); ++i) {
        if (i > 0) cursor.insertBlock(cursor.blockFormat(), format);
        if (!paragraphs[i].isEmpty()) cursor.insertText(paragraphs[i], format);
    }
}

void TCustomRichEdit::ReplaceSel(const QString& text, bool canUndo)
{
    Q_UNUSED(canUndo);
    QTextCursor c = textCursor();
    if (!CheckProtected(c.selectionStart(), c.selectionEnd())) return;
    c.beginEditBlock();
    const int at = c.selectionStart();
    const int kept = TextLength() - (c.selectionEnd() - c.selectionStart());
    c.removeSelectedText();
    InsertPlainText(c, text);
    if (FMaxLength > 0 && TextLength() > FMaxLength) {
        const int inserted = TextLength() - kept;
        const int excess = qMin(TextLength() - FMaxLength, inserted);
        QTextCursor cut(document());
        cut.setPosition(at + inserted - excess);
        cut.setPosition(at + inserted, QTextCursor::KeepAnchor);
        cut.removeSelectedText();
        c.setPosition(at + inserted - excess);
    }
    c.endEditBlock();
    setTextCursor(c);
}

void TCustomRichEdit::ScrollCaret() { ensureCursorVisible(); }

QString TCustomRichEdit::PlainTextOf(int start, int end) const
{
    const int length = TextLength();
    start = qBound(0, start, length);
    end = end < 0 ? length : qBound(start, end, length);
    QTextCursor c(const_cast<QTextDocument*>(document()));
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    QString text = c.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

QString TCustomRichEdit::TextRange(const TCharRange& range) const
{
    return PlainTextOf(range.Min, range.Max).replace(QLatin1Char('\n'), QLatin1Char('\r'));
}

int TCustomRichEdit::CharFromPos(const QPoint& point) const
{
    return cursorForPosition(point - viewport()->pos()).position();
}

QPoint TCustomRichEdit::PosFromChar(int charIndex) const
{
    QTextCursor c(const_cast<QTextDocument*>(document()));
    c.setPosition(qBound(0, charIndex, TextLength()));
    return cursorRect(c).topLeft() + viewport()->pos();
}

int TCustomRichEdit::TextLength() const { return document()->characterCount() - 1; }

// --- Formats -----------------------------------------------------------------------------------

namespace {

TCharFormat2 ToCharFormat2(const QTextCharFormat& c, const QFont& defaultFont, const QPalette& palette)
{
    TCharFormat2 f;
    f.Mask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK | CFM_SIZE | CFM_COLOR
             | CFM_FACE | CFM_OFFSET | CFM_CHARSET | CFM_BACKCOLOR | CFM_SUPERSCRIPT | CFM_WEIGHT;
    const QStringList families = c.fontFamilies().toStringList();
    f.FaceName = families.isEmpty() ? defaultFont.family() : families.first();
    double points = c.fontPointSize();
    if (points <= 0) points = defaultFont.pointSizeF();
    if (points <= 0) points = defaultFont.pixelSize() > 0 ? defaultFont.pixelSize() * 0.75 : 12;
    f.Height = int(std::lround(points * 20));
    const bool bold = c.hasProperty(QTextFormat::FontWeight) ? c.fontWeight() > QFont::Medium : defaultFont.bold();
    if (bold) f.Effects |= CFE_BOLD;
    if (c.hasProperty(QTextFormat::FontItalic) ? c.fontItalic() : defaultFont.italic()) f.Effects |= CFE_ITALIC;
    if (c.hasProperty(QTextFormat::FontUnderline) || c.hasProperty(QTextFormat::TextUnderlineStyle)
            ? c.fontUnderline()
            : defaultFont.underline())
        f.Effects |= CFE_UNDERLINE;
    if (c.hasProperty(QTextFormat::FontStrikeOut) ? c.fontStrikeOut() : defaultFont.strikeOut())
        f.Effects |= CFE_STRIKEOUT;
    if (c.boolProperty(rpProtected)) f.Effects |= CFE_PROTECTED;
    if (c.isAnchor()) f.Effects |= CFE_LINK;
    if (c.verticalAlignment() == QTextCharFormat::AlignSuperScript) f.Effects |= CFE_SUPERSCRIPT;
    if (c.verticalAlignment() == QTextCharFormat::AlignSubScript) f.Effects |= CFE_SUBSCRIPT;
    if (c.foreground().style() == Qt::NoBrush) {
        f.Effects |= CFE_AUTOCOLOR;
        f.TextColor = QColorToColor(palette.color(QPalette::Text));
    } else {
        f.TextColor = QColorToColor(c.foreground().color());
    }
    if (c.background().style() == Qt::NoBrush) {
        f.Effects |= CFE_AUTOBACKCOLOR;
        f.BackColor = QColorToColor(palette.color(QPalette::Base));
    } else {
        f.BackColor = QColorToColor(c.background().color());
    }
    f.CharSet = quint8(c.hasProperty(rpCharSet) ? c.intProperty(rpCharSet) : 0);
    f.Weight = bold ? 700 : 400;
    return f;
}

// The masked parts of a record applied to a format.
void ApplyCharFormat2(QTextCharFormat& c, const TCharFormat2& f)
{
    if (f.Mask & CFM_FACE) c.setFontFamilies(QStringList{f.FaceName.left(31)});
    if (f.Mask & CFM_SIZE) c.setFontPointSize(f.Height / 20.0);
    if (f.Mask & CFM_BOLD) c.setFontWeight((f.Effects & CFE_BOLD) ? QFont::Bold : QFont::Normal);
    if (f.Mask & CFM_WEIGHT && !(f.Mask & CFM_BOLD)) c.setFontWeight(f.Weight >= 600 ? QFont::Bold : QFont::Normal);
    if (f.Mask & CFM_ITALIC) c.setFontItalic(f.Effects & CFE_ITALIC);
    if (f.Mask & CFM_UNDERLINE) c.setFontUnderline(f.Effects & CFE_UNDERLINE);
    if (f.Mask & CFM_STRIKEOUT) c.setFontStrikeOut(f.Effects & CFE_STRIKEOUT);
    if (f.Mask & CFM_PROTECTED) {
        if (f.Effects & CFE_PROTECTED) c.setProperty(rpProtected, true);
        else c.clearProperty(rpProtected);
    }
    if (f.Mask & CFM_COLOR) {
        if (f.Effects & CFE_AUTOCOLOR) c.clearForeground();
        else c.setForeground(ColorToQColor(f.TextColor));
    }
    if (f.Mask & CFM_BACKCOLOR) {
        if (f.Effects & CFE_AUTOBACKCOLOR) c.clearBackground();
        else c.setBackground(ColorToQColor(f.BackColor));
    }
    if (f.Mask & CFM_CHARSET) c.setProperty(rpCharSet, int(f.CharSet));
    if (f.Mask & CFM_SUPERSCRIPT) {
        c.setVerticalAlignment((f.Effects & CFE_SUPERSCRIPT) ? QTextCharFormat::AlignSuperScript
                               : (f.Effects & CFE_SUBSCRIPT) ? QTextCharFormat::AlignSubScript
                                                             : QTextCharFormat::AlignNormal);
    }
    if (f.Mask & CFM_OFFSET && !(f.Mask & CFM_SUPERSCRIPT)) {
        c.setVerticalAlignment(f.Offset > 0 ? QTextCharFormat::AlignSuperScript
                               : f.Offset < 0 ? QTextCharFormat::AlignSubScript
                                              : QTextCharFormat::AlignNormal);
    }
}

// The mask bits of the parts in which two records differ.
quint32 DifferingParts(const TCharFormat2& a, const TCharFormat2& b)
{
    quint32 differ = 0;
    const quint32 effects = a.Effects ^ b.Effects;
    if (effects & CFE_BOLD) differ |= CFM_BOLD | CFM_WEIGHT;
    if (effects & CFE_ITALIC) differ |= CFM_ITALIC;
    if (effects & CFE_UNDERLINE) differ |= CFM_UNDERLINE;
    if (effects & CFE_STRIKEOUT) differ |= CFM_STRIKEOUT;
    if (effects & CFE_PROTECTED) differ |= CFM_PROTECTED;
    if (effects & CFE_LINK) differ |= CFM_LINK;
    if (effects & (CFE_SUPERSCRIPT | CFE_SUBSCRIPT)) differ |= CFM_SUPERSCRIPT | CFM_OFFSET;
    if ((effects & CFE_AUTOCOLOR) || a.TextColor != b.TextColor) differ |= CFM_COLOR;
    if ((effects & CFE_AUTOBACKCOLOR) || a.BackColor != b.BackColor) differ |= CFM_BACKCOLOR;
    if (a.FaceName != b.FaceName) differ |= CFM_FACE;
    if (a.Height != b.Height) differ |= CFM_SIZE;
    if (a.CharSet != b.CharSet) differ |= CFM_CHARSET;
    return differ;
}

} // namespace

QTextCursor TCustomRichEdit::SelectionCursor(int scf) const
{
    QTextCursor c = textCursor();
    if (scf & SCF_ALL) c.select(QTextCursor::Document);
    else if ((scf & SCF_WORD) && !c.hasSelection()) c.select(QTextCursor::WordUnderCursor);
    return c;
}

TCharFormat2 TCustomRichEdit::GetCharFormat(int scf) const
{
    const QFont defaultFont = document()->defaultFont();
    if (scf == SCF_DEFAULT) {
        QTextCharFormat none;
        return ToCharFormat2(none, defaultFont, palette());
    }
    const QTextCursor c = SelectionCursor(scf);
    if (!c.hasSelection()) return ToCharFormat2(currentCharFormat(), defaultFont, palette());
    const int start = c.selectionStart(), end = c.selectionEnd();
    TCharFormat2 result;
    bool first = true;
    for (QTextBlock b = document()->findBlock(start); b.isValid() && b.position() < end; b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() + f.length() <= start || f.position() >= end) continue;
            const TCharFormat2 part = ToCharFormat2(f.charFormat(), defaultFont, palette());
            if (first) {
                result = part;
                first = false;
            } else {
                result.Mask &= ~DifferingParts(result, part);
            }
        }
    }
    if (first) result = ToCharFormat2(c.charFormat(), defaultFont, palette());
    return result;
}

bool TCustomRichEdit::SetCharFormat(int scf, const TCharFormat2& format)
{
    if (scf == SCF_DEFAULT) {
        QTextCharFormat c;
        c.setFont(document()->defaultFont());
        ApplyCharFormat2(c, format);
        QFont font = document()->defaultFont();
        if (format.Mask & CFM_FACE) font.setFamilies({format.FaceName.left(31)});
        if (format.Mask & CFM_SIZE) font.setPointSizeF(format.Height / 20.0);
        if (format.Mask & CFM_BOLD) font.setBold(format.Effects & CFE_BOLD);
        if (format.Mask & CFM_ITALIC) font.setItalic(format.Effects & CFE_ITALIC);
        if (format.Mask & CFM_UNDERLINE) font.setUnderline(format.Effects & CFE_UNDERLINE);
        if (format.Mask & CFM_STRIKEOUT) font.setStrikeOut(format.Effects & CFE_STRIKEOUT);
        document()->setDefaultFont(font);
        if (format.Mask & CFM_COLOR) {
            QPalette p = palette();
            p.setColor(QPalette::Text, (format.Effects & CFE_AUTOCOLOR) ? QApplication::palette().color(QPalette::Text)
                                                                        : ColorToQColor(format.TextColor));
            setPalette(p);
        }
        return true;
    }
    QTextCursor c = SelectionCursor(scf);
    if (!c.hasSelection()) {
        QTextCharFormat current = currentCharFormat();
        ApplyCharFormat2(current, format);
        setCurrentCharFormat(current);
        return true;
    }
    const int start = c.selectionStart(), end = c.selectionEnd();
    QTextCursor edit(document());
    edit.beginEditBlock();
    // each run keeps what the record leaves out
    std::vector<std::tuple<int, int, QTextCharFormat>> runs;
    for (QTextBlock b = document()->findBlock(start); b.isValid() && b.position() < end; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const int from = qMax(f.position(), start), to = qMin(f.position() + f.length(), end);
            if (from >= to) continue;
            QTextCharFormat changed = f.charFormat();
            ApplyCharFormat2(changed, format);
            runs.emplace_back(from, to, changed);
        }
    for (const auto& [from, to, changed] : runs) {
        edit.setPosition(from);
        edit.setPosition(to, QTextCursor::KeepAnchor);
        edit.setCharFormat(changed);
    }
    edit.endEditBlock();
    return true;
}

TParaFormat2 TCustomRichEdit::GetParaFormat(int size) const
{
    TParaFormat2 p;
    p.Size = size;
    p.Mask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_NUMBERING;
    const QTextBlock block = document()->findBlock(textCursor().selectionStart());
    const QTextBlockFormat f = block.blockFormat();
    const TBlockIndents indents = BlockIndents(f, block.textList() != nullptr);
    p.StartIndent = indents.Left + indents.First;
    p.Offset = -indents.First;
    p.RightIndent = indents.Right;
    p.Numbering = quint16(NumberingOfList(block.textList()));
    const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask;
    p.Alignment = (align & Qt::AlignRight) ? PFA_RIGHT : (align & Qt::AlignHCenter) ? PFA_CENTER
                  : (align & Qt::AlignJustify) ? PFA_JUSTIFY : PFA_LEFT;
    const QList<QTextOption::Tab> tabs = f.tabPositions();
    p.TabCount = short(qMin<qsizetype>(tabs.size(), MAX_TAB_STOPS));
    for (int i = 0; i < p.TabCount; ++i) p.Tabs[i] = DocUnitsToTwips(tabs[i].position);
    if (size >= ParaFormat2Size) {
        p.Mask |= PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_LINESPACING;
        p.SpaceBefore = DocUnitsToTwips(f.topMargin());
        p.SpaceAfter = DocUnitsToTwips(f.bottomMargin());
        switch (f.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight: {
            const int percent = int(std::lround(f.lineHeight()));
            if (percent == 100) p.LineSpacingRule = 0;
            else if (percent == 150) p.LineSpacingRule = 1;
            else if (percent == 200) p.LineSpacingRule = 2;
            else {
                p.LineSpacingRule = 5;
                p.LineSpacing = percent * 20 / 100;
            }
            if (p.LineSpacingRule < 5) p.LineSpacing = 0;
            break;
        }
        case QTextBlockFormat::MinimumHeight:
            p.LineSpacingRule = 3;
            p.LineSpacing = DocUnitsToTwips(f.lineHeight());
            break;
        case QTextBlockFormat::FixedHeight:
            p.LineSpacingRule = 4;
            p.LineSpacing = DocUnitsToTwips(f.lineHeight());
            break;
        default: break;
        }
    }
    return p;
}

bool TCustomRichEdit::SetParaFormat(const TParaFormat2& p)
{
    const QTextCursor c = textCursor();
    const int start = c.selectionStart(), end = c.selectionEnd();
    // the paragraphs the selection touches (a selection that ends where a paragraph starts
    // leaves that paragraph alone)
    const QTextBlock firstBlock = document()->findBlock(start);
    const QTextBlock lastBlock = document()->findBlock(end > start ? end - 1 : end);
    QTextCursor edit(document());
    edit.beginEditBlock();
    for (QTextBlock b = firstBlock; b.isValid(); b = b.next()) {
        edit.setPosition(b.position());
        QTextBlockFormat f = b.blockFormat();
        bool inList = b.textList() != nullptr;
        TBlockIndents indents = BlockIndents(f, inList);
        int startIndent = indents.Left + indents.First, offset = -indents.First;
        if (p.Mask & PFM_STARTINDENT) startIndent = p.StartIndent;
        if (p.Mask & PFM_OFFSETINDENT) startIndent += p.StartIndent;
        if (p.Mask & PFM_OFFSET) offset = p.Offset;
        if (p.Mask & PFM_RIGHTINDENT) indents.Right = p.RightIndent;
        if (p.Mask & PFM_ALIGNMENT) {
            switch (p.Alignment) {
            case PFA_RIGHT: f.setAlignment(Qt::AlignRight); break;
            case PFA_CENTER: f.setAlignment(Qt::AlignHCenter); break;
            case PFA_JUSTIFY: f.setAlignment(Qt::AlignJustify); break;
            default: f.setAlignment(Qt::AlignLeft); break;
            }
        }
        if (p.Mask & PFM_TABSTOPS) {
            QList<QTextOption::Tab> tabs;
            for (int i = 0; i < qBound<int>(0, p.TabCount, MAX_TAB_STOPS); ++i)
                tabs << QTextOption::Tab(TwipsToDocUnits(p.Tabs[i] & 0x00FFFFFF), QTextOption::LeftTab);
            f.setTabPositions(tabs);
        }
        if (p.Size >= ParaFormat2Size) {
            if (p.Mask & PFM_SPACEBEFORE) f.setTopMargin(TwipsToDocUnits(p.SpaceBefore));
            if (p.Mask & PFM_SPACEAFTER) f.setBottomMargin(TwipsToDocUnits(p.SpaceAfter));
            if (p.Mask & PFM_LINESPACING) {
                switch (p.LineSpacingRule) {
                case 1: f.setLineHeight(150, QTextBlockFormat::ProportionalHeight); break;
                case 2: f.setLineHeight(200, QTextBlockFormat::ProportionalHeight); break;
                case 3: f.setLineHeight(TwipsToDocUnits(p.LineSpacing), QTextBlockFormat::MinimumHeight); break;
                case 4: f.setLineHeight(TwipsToDocUnits(p.LineSpacing), QTextBlockFormat::FixedHeight); break;
                case 5: f.setLineHeight(p.LineSpacing * 100.0 / 20.0, QTextBlockFormat::ProportionalHeight); break;
                default: f.setLineHeight(0, QTextBlockFormat::SingleHeight); break;
                }
            }
        }
        if (p.Mask & PFM_NUMBERING) inList = p.Numbering != 0;
        indents.Left = startIndent + offset;
        indents.First = -offset;
        SetBlockIndents(f, indents, inList);
        edit.setBlockFormat(f);
        // list membership last: setting a block's format does not keep it
        if (p.Mask & PFM_NUMBERING) {
            if (QTextList* old = b.textList())
                if (!p.Numbering || NumberingOfList(old) != p.Numbering) old->remove(b);
            if (inList && !b.textList()) {
                // joins the list of the paragraph before when that numbers alike
                QTextList* list = b.previous().isValid() ? b.previous().textList() : nullptr;
                if (list && NumberingOfList(list) == p.Numbering) {
                    list->add(b);
                } else {
                    QTextListFormat lf;
                    lf.setStyle(ListStyleOf(p.Numbering));
                    lf.setIndent(0);
                    edit.createList(lf);
                }
            }
        }
        if (b == lastBlock) break;
    }
    edit.endEditBlock();
    return true;
}

// --- Find --------------------------------------------------------------------------------------

int TCustomRichEdit::FindTextEx(int flags, const TCharRange& range, const QString& text)
{
    if (text.isEmpty()) return -1;
    QTextDocument::FindFlags options;
    if (flags & FR_MATCHCASE) options |= QTextDocument::FindCaseSensitively;
    if (flags & FR_WHOLEWORD) options |= QTextDocument::FindWholeWords;
    const int length = TextLength();
    const bool forward = (flags & FR_DOWN) || range.Max < 0 || range.Max >= range.Min;
    if (forward) {
        const int from = qBound(0, range.Min, length);
        const int to = range.Max < 0 ? length : qMin(range.Max, length);
        const QTextCursor found = document()->find(text, from, options);
        if (found.isNull() || found.selectionEnd() > to) return -1;
        return found.selectionStart();
    }
    const int from = qBound(0, range.Min, length);
    const QTextCursor found = document()->find(text, from, options | QTextDocument::FindBackward);
    if (found.isNull() || found.selectionStart() < range.Max) return -1;
    return found.selectionStart();
}

int TCustomRichEdit::FindText(const QString& text, int start, int length, TSearchTypes options)
{
    int flags = FR_DOWN;
    if (options.Contains(stMatchCase)) flags |= FR_MATCHCASE;
    if (options.Contains(stWholeWord)) flags |= FR_WHOLEWORD;
    return FindTextEx(flags, {start, start + length}, text);
}

// --- Pages -------------------------------------------------------------------------------------

int TCustomRichEdit::FormatRange(const TFormatRange* range, bool render)
{
    if (!range) {
        FLayoutCache.reset();
        FLayoutWidth = -1;
        return 0;
    }
    const int length = TextLength();
    const int first = qBound(0, range->Chrg.Min, length);
    const int last = range->Chrg.Max < 0 ? length : qBound(first, range->Chrg.Max, length);
    if (first >= last) return last;
    const double width = TwipsToDocUnits(range->Rc.Width());
    const double height = TwipsToDocUnits(range->Rc.Height());
    if (!FLayoutCache || FLayoutWidth != width) {
        FLayoutCache.reset(document()->clone());
        FLayoutCache->setDocumentMargin(0);
        FLayoutCache->setTextWidth(width);
        FLayoutWidth = width;
    }
    QTextDocument* doc = FLayoutCache.get();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    doc->size();   // lays the whole document out

    // Lines from the first character while they fit the page; at least one, so that pages advance.
    double top = -1, bottom = 0;
    int next = last;
    bool done = false;
    for (QTextBlock block = doc->findBlock(first); block.isValid() && !done; block = block.next()) {
        const QTextLayout* lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const int lineStart = block.position() + line.textStart();
            const int lineEnd = lineStart + line.textLength();
            if (lineEnd <= first && !(lineStart == first)) continue;
            if (lineStart >= last) {
                next = last;
                done = true;
                break;
            }
            const double lineTop = lines->position().y() + line.y();
            const double lineBottom = lineTop + line.height();
            if (top < 0) top = lineTop;
            else if (lineBottom - top > height) {
                next = lineStart;
                done = true;
                break;
            }
            bottom = lineBottom;
        }
    }
    if (top < 0) return last;
    if (render && range->Painter && range->Target) {
        QPainter* painter = range->Painter;
        const double dpiX = range->Target->logicalDpiX(), dpiY = range->Target->logicalDpiY();
        painter->save();
        painter->translate(range->Rc.Left * dpiX / 1440.0, range->Rc.Top * dpiY / 1440.0);
        painter->scale(dpiX / RichTextDpi(), dpiY / RichTextDpi());
        const QRectF clip(0, 0, width, bottom - top);
        painter->setClipRect(clip);
        painter->translate(0, -top);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, top, width, bottom - top);
        context.palette.setColor(QPalette::Text, Qt::black);
        layout->draw(painter, context);
        painter->restore();
    }
    return next;
}

void TCustomRichEdit::PrintPages(TPrinter& printer, const QString& title, const TRect& pageTwips)
{
    printer.Title = title;
    printer.BeginDoc();
    TFormatRange range;
    range.Painter = printer.Canvas();
    range.Target = printer.Handle();
    range.Rc = pageTwips;
    range.RcPage = pageTwips;
    range.Chrg = {0, -1};
    struct TRelease {
        TCustomRichEdit* Control;
        ~TRelease() { Control->FormatRange(nullptr, false); }
    } release{this};
    try {
        FormatRange(nullptr, false);
        const int length = TextLength();
        // measuring: where the print ends
        int end = 0;
        for (int from = 0;;) {
            range.Chrg = {from, -1};
            const int next = FormatRange(&range, false);
            if (next <= from || next == -1) break;
            end = next;
            if (next >= length) break;
            from = next;
        }
        FormatRange(nullptr, false);
        // printing: one page per call
        for (int from = 0;;) {
            range.Rc = pageTwips;
            range.Chrg = {from, end};
            const int next = FormatRange(&range, true);
            if (next <= from || next >= end || next == -1) break;
            printer.NewPage();
            from = next;
        }
        printer.EndDoc();
    } catch (...) {
        printer.Abort();
        throw;
    }
}

void TCustomRichEdit::Print(const QString& caption)
{
    TPrinter& printer = Printer();
    const int dpiX = printer.XResolution(), dpiY = printer.YResolution();
    TRect page = PageRect;
    if (page.IsEmpty()) page = TRect(0, 0, printer.PageWidth(), printer.PageHeight());
    const TRect twips(page.Left * 1440 / dpiX, page.Top * 1440 / dpiY, page.Right * 1440 / dpiX, page.Bottom * 1440 / dpiY);
    PrintPages(printer, caption, twips);
}

// --- Formatting rectangle ----------------------------------------------------------------------

void TCustomRichEdit::SetFormattingRect(const TRect& rect)
{
    FFormattingRect = rect;
    FHasFormattingRect = true;
    ApplyFormattingRect();
}

TRect TCustomRichEdit::FormattingRect() const
{
    if (FHasFormattingRect) return FFormattingRect;
    const QRect r = contentsRect();
    return TRect(0, 0, r.width(), r.height());
}

void TCustomRichEdit::ApplyFormattingRect()
{
    if (!FHasFormattingRect) {
        setViewportMargins(0, 0, 0, 0);
        setLineWrapMode(FWordWrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
        return;
    }
    setViewportMargins(qMax(FFormattingRect.Left, 0), qMax(FFormattingRect.Top, 0), 0, 0);
    if (!FWordWrap) {
        setLineWrapMode(QTextEdit::NoWrap);
    } else {
        setLineWrapMode(QTextEdit::FixedPixelWidth);
        setLineWrapColumnOrWidth(qMax(FFormattingRect.Width(), 1));
    }
}

// --- Tests -------------------------------------------------------------------------------------

bool TCustomRichEdit::CanPasteClipboard() const
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && canInsertFromMimeData(data);
}

int TCustomRichEdit::SelectionType() const
{
    const TCharRange sel = GetSel();
    if (sel.Min == sel.Max) return SEL_EMPTY;
    int objects = 0, chars = 0;
    for (int i = sel.Min; i < sel.Max; ++i) {
        if (IsObjectChar(document(), i)) ++objects;
        else ++chars;
    }
    int type = 0;
    if (chars > 0) type |= SEL_TEXT;
    if (chars > 1) type |= SEL_MULTICHAR;
    if (objects > 0) type |= SEL_OBJECT;
    if (objects > 1) type |= SEL_MULTIOBJECT;
    return type;
}

bool TCustomRichEdit::ObjectAtSelection(TRichObjectInfo& info) const
{
    const TCharRange sel = GetSel();
    if (sel.Max != sel.Min + 1 || !IsObjectChar(document(), sel.Min)) return false;
    QTextCursor c(const_cast<QTextDocument*>(document()));
    c.setPosition(sel.Max);
    const QTextCharFormat f = c.charFormat();
    if (!f.boolProperty(rpIsObject)) return false;
    info.Position = sel.Min;
    info.ClassName = f.stringProperty(rpObjectClass);
    return true;
}

// --- Notifications and links -------------------------------------------------------------------

quint32 TCustomRichEdit::SetEventMask(quint32 mask)
{
    const quint32 old = FEventMask;
    FEventMask = mask;
    return old;
}

void TCustomRichEdit::SetAutoUrlDetect(bool value)
{
    if (value == FAutoUrlDetect) return;
    FAutoUrlDetect = value;
    if (value) DetectUrls();
    else {
        FUrlRanges.clear();
        ApplyExtraSelections();
    }
}

void TCustomRichEdit::DetectUrls()
{
    static const QRegularExpression url(QStringLiteral(
        R"((?:\b(?:https?|ftp|file|mailto|news|nntp|telnet|gopher|wais|prospero|notes|tel|callto):|\bwww\.)[^\s<>"]+)"),
        QRegularExpression::CaseInsensitiveOption);
    FUrlRanges.clear();
    const QString text = document()->toRawText();
    for (auto it = url.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        int end = int(m.capturedEnd());
        while (end > m.capturedStart() && QStringLiteral(".,;:!?)'").contains(text[end - 1])) --end;
        FUrlRanges.push_back({int(m.capturedStart()), end});
    }
    ApplyExtraSelections();
}

void TCustomRichEdit::ApplyExtraSelections()
{
    QList<QTextEdit::ExtraSelection> selections;
    for (const TCharRange& r : FUrlRanges) {
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(document());
        s.cursor.setPosition(r.Min);
        s.cursor.setPosition(r.Max, QTextCursor::KeepAnchor);
        s.format.setFontUnderline(true);
        s.format.setForeground(palette().color(QPalette::Link));
        selections << s;
    }
    setExtraSelections(selections);
}

bool TCustomRichEdit::LinkAt(const QPoint& point, TCharRange& range) const
{
    if (!(FEventMask & ENM_LINK)) return false;
    const QPoint docPoint = point + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int position = document()->documentLayout()->hitTest(docPoint, Qt::ExactHit);
    if (position < 0) return false;
    for (const TCharRange& r : FUrlRanges)
        if (position >= r.Min && position < r.Max) {
            range = r;
            return true;
        }
    // links the document carries (hyperlink fields)
    const QTextBlock block = document()->findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (position < f.position() || position >= f.position() + f.length()) continue;
        if (!f.charFormat().isAnchor()) return false;
        const QString href = f.charFormat().anchorHref();
        int from = f.position(), to = f.position() + f.length();
        // the whole link, across runs of other formats
        for (auto back = it; back != block.begin();) {
            --back;
            if (back.fragment().charFormat().anchorHref() != href) break;
            from = back.fragment().position();
        }
        for (auto fwd = it; !(++fwd).atEnd();) {
            if (fwd.fragment().charFormat().anchorHref() != href) break;
            to = fwd.fragment().position() + fwd.fragment().length();
        }
        range = {from, to};
        return true;
    }
    return false;
}

namespace {
int MouseKeys(const QMouseEvent* e)
{
    int keys = 0;
    if (e->buttons() & Qt::LeftButton) keys |= 0x1;
    if (e->buttons() & Qt::RightButton) keys |= 0x2;
    if (e->modifiers() & Qt::ShiftModifier) keys |= 0x4;
    if (e->modifiers() & Qt::ControlModifier) keys |= 0x8;
    return keys;
}
} // namespace

void TCustomRichEdit::mousePressEvent(QMouseEvent* event)
{
    TCharRange link;
    if (LinkAt(event->position().toPoint(), link))
        LinkNotify({event->button() == Qt::RightButton ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, MouseKeys(event), link});
    QTextEdit::mousePressEvent(event);
}

void TCustomRichEdit::mouseReleaseEvent(QMouseEvent* event)
{
    TCharRange link;
    if (LinkAt(event->position().toPoint(), link))
        LinkNotify({event->button() == Qt::RightButton ? WM_RBUTTONUP : WM_LBUTTONUP, MouseKeys(event), link});
    QTextEdit::mouseReleaseEvent(event);
}

void TCustomRichEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    TCharRange link;
    if (LinkAt(event->position().toPoint(), link)) LinkNotify({WM_LBUTTONDBLCLK, MouseKeys(event), link});
    QTextEdit::mouseDoubleClickEvent(event);
}

void TCustomRichEdit::mouseMoveEvent(QMouseEvent* event)
{
    TCharRange link;
    const bool onLink = LinkAt(event->position().toPoint(), link);
    viewport()->setCursor(onLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
    if (onLink) LinkNotify({WM_MOUSEMOVE, MouseKeys(event), link});
    QTextEdit::mouseMoveEvent(event);
}

// --- Keys and input ----------------------------------------------------------------------------

void TCustomRichEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !FWantReturns && !ctrl) {
        event->ignore();
        return;
    }
    if (ctrl && key == Qt::Key_Y && !isReadOnly()) {
        redo();
        return;
    }
    if (!isReadOnly()) {
        const QTextCursor c = textCursor();
        int start = c.selectionStart(), end = c.selectionEnd();
        bool changes = false;
        bool inserts = false;
        if (event->matches(QKeySequence::Paste)) {
            changes = true;
        } else if (event->matches(QKeySequence::Cut)) {
            changes = c.hasSelection();
        } else if (key == Qt::Key_Backspace) {
            changes = true;
            if (start == end) start = qMax(0, start - 1);
        } else if (key == Qt::Key_Delete) {
            changes = true;
            if (start == end) end = qMin(TextLength(), end + 1);
        } else if (key == Qt::Key_Return || key == Qt::Key_Enter || (key == Qt::Key_Tab && FWantTabs)) {
            changes = inserts = true;
        } else if (!event->text().isEmpty() && event->text().at(0).isPrint() && !ctrl) {
            changes = inserts = true;
        }
        if (changes && !CheckProtected(start, end)) {
            QApplication::beep();
            return;
        }
        if (inserts && FMaxLength > 0 && TextLength() - (end - start) + 1 > FMaxLength) {
            QApplication::beep();
            return;
        }
    }
    QTextEdit::keyPressEvent(event);
}

void TCustomRichEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QTextCursor c = textCursor();
    if (!event->commitString().isEmpty() && !CheckProtected(c.selectionStart(), c.selectionEnd())) {
        event->ignore();
        return;
    }
    QTextEdit::inputMethodEvent(event);
}

bool TCustomRichEdit::canInsertFromMimeData(const QMimeData* source) const
{
    if (!source) return false;
    for (const char* type : RtfMimeTypes)
        if (source->hasFormat(QLatin1String(type))) return true;
    return source->hasText() || source->hasHtml();
}

void TCustomRichEdit::insertFromMimeData(const QMimeData* source)
{
    if (isReadOnly() || !source) return;
    QTextCursor c = textCursor();
    if (!CheckProtected(c.selectionStart(), c.selectionEnd())) {
        QApplication::beep();
        return;
    }
    for (const char* type : RtfMimeTypes) {
        if (!source->hasFormat(QLatin1String(type))) continue;
        QByteArray data = source->data(QLatin1String(type));
        TEditStream es;
        qsizetype at = 0;
        es.Callback = [&](char* buffer, int count, int& done) {
            done = int(qMin<qsizetype>(count, data.size() - at));
            memcpy(buffer, data.constData() + at, size_t(done));
            at += done;
            return 0;
        };
        StreamIn(SF_RTF | SFF_SELECTION, es);
        if (es.Error == 0) {
            ensureCursorVisible();
            return;
        }
    }
    if (source->hasHtml() && acceptRichText()) {
        QTextEdit::insertFromMimeData(source);
    } else if (source->hasText()) {
        ReplaceSel(source->text());
    }
    ensureCursorVisible();
}

QMimeData* TCustomRichEdit::createMimeDataFromSelection() const
{
    // the text edit's own data lists a fixed set of formats: ours adds rich text
    auto* data = new QMimeData;
    const TCharRange sel = GetSel();
    const QTextDocumentFragment fragment(textCursor());
    data->setText(fragment.toPlainText());
    data->setHtml(fragment.toHtml());
    if (sel.Min < sel.Max) data->setData(QStringLiteral("text/rtf"), WriteRtf(document(), sel.Min, sel.Max));
    return data;
}

// --- Framework properties ----------------------------------------------------------------------

int TCustomRichEdit::SelStart() const { return textCursor().selectionStart(); }

void TCustomRichEdit::SetSelStart(int value) { SetSel({value, value}); }

int TCustomRichEdit::SelLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void TCustomRichEdit::SetSelLength(int value)
{
    const int start = SelStart();
    SetSel({start, start + qMax(value, 0)});
}

QString TCustomRichEdit::SelText() const
{
    const TCharRange sel = GetSel();
    return PlainTextOf(sel.Min, sel.Max);
}

QString TCustomRichEdit::Text() const
{
    QString text = PlainTextOf(0, TextLength());
    text.remove(QChar::ObjectReplacementCharacter);
    return text;
}

void TCustomRichEdit::SetText(const QString& text)
{
    const bool wasLoading = FLoadingContent;
    FLoadingContent = true;
    document()->setUndoRedoEnabled(false);
    document()->clear();
    QTextCursor c(document());
    InsertPlainText(c, text);
    document()->setUndoRedoEnabled(true);
    setTextCursor(QTextCursor(document()));
    document()->setModified(false);
    FLoadingContent = wasLoading;
    if (!FLoadingContent && (FEventMask & ENM_CHANGE)) Change();
    CursorMoved();
}

void TCustomRichEdit::Clear() { SetText(QString()); }

bool TCustomRichEdit::Modified() const { return document()->isModified(); }

void TCustomRichEdit::SetModified(bool value) { document()->setModified(value); }

void TCustomRichEdit::SetHideSelection(bool value)
{
    FHideSelection = value;
    ApplySelectionPalette();
}

void TCustomRichEdit::ApplySelectionPalette()
{
    // a hidden selection: without the focus the highlight paints nothing
    QPalette p = palette();
    if (FHideSelection && !hasFocus()) {
        p.setColor(QPalette::Inactive, QPalette::Highlight, Qt::transparent);
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Inactive, QPalette::Text));
    } else {
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    }
    setPalette(p);
}

void TCustomRichEdit::focusInEvent(QFocusEvent* event)
{
    QTextEdit::focusInEvent(event);
    ApplySelectionPalette();
}

void TCustomRichEdit::focusOutEvent(QFocusEvent* event)
{
    QTextEdit::focusOutEvent(event);
    ApplySelectionPalette();
}

void TCustomRichEdit::SetHideScrollBars(bool value)
{
    FHideScrollBars = value;
    SetScrollBars(FScrollBars);
}

void TCustomRichEdit::SetWantTabs(bool value)
{
    FWantTabs = value;
    setTabChangesFocus(!value);
}

void TCustomRichEdit::SetWordWrap(bool value)
{
    FWordWrap = value;
    ApplyFormattingRect();
}

void TCustomRichEdit::SetScrollBars(TScrollStyle value)
{
    FScrollBars = value;
    const Qt::ScrollBarPolicy shown = FHideScrollBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
    setVerticalScrollBarPolicy(value == ssVertical || value == ssBoth ? shown : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(value == ssHorizontal || value == ssBoth ? shown : Qt::ScrollBarAlwaysOff);
}

void TCustomRichEdit::resizeEvent(QResizeEvent* event)
{
    QTextEdit::resizeEvent(event);
}
