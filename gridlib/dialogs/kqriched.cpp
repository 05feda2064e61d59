#include "gridlib/dialogs/kqriched.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/dialogs/kqrich.h"
#include "platform/core/CodePages.h"
#include "platform/core/SysFormat.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Printers.h"
#include "platform/vcl/RtfReader.h"
#include "platform/vcl/Shell.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <cmath>
#include <new>
#include <optional>

namespace {

// Restores a flag when the scope ends, also on failure.
class TFlagGuard {
public:
    TFlagGuard(bool& flag, bool value) : FFlag(flag), FOld(flag) { flag = value; }
    ~TFlagGuard() { FFlag = FOld; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& FFlag;
    bool FOld;
};

// MaxLength raised by one for the time of a load, when it is positive.
class TMaxLengthGuard {
public:
    explicit TMaxLengthGuard(TCustomRichEdit* control) : FControl(control), FOld(control->MaxLength())
    {
        if (FOld > 0) control->SetMaxLength(FOld + 1);
    }
    ~TMaxLengthGuard() { FControl->SetMaxLength(FOld); }
    TMaxLengthGuard(const TMaxLengthGuard&) = delete;
    TMaxLengthGuard& operator=(const TMaxLengthGuard&) = delete;

private:
    TCustomRichEdit* FControl;
    int FOld;
};

// The handler of protected changes replaced for the time of a load.
class TProtectGuard {
public:
    explicit TProtectGuard(TCustomRichEdit* control) : FControl(control), FOld(control->OnProtectChange)
    {
        auto allow = std::make_shared<TRichProtectClass>();
        control->OnProtectChange = [allow](QObject* sender, int start, int end, bool& allowChange) {
            allow->AllowProtectChange(sender, start, end, allowChange);
        };
    }
    ~TProtectGuard() { FControl->OnProtectChange = FOld; }
    TProtectGuard(const TProtectGuard&) = delete;
    TProtectGuard& operator=(const TProtectGuard&) = delete;

private:
    TCustomRichEdit* FControl;
    decltype(TCustomRichEdit::OnProtectChange) FOld;
};

constexpr double InchesPerCentimetreFactor = 2.537;   // the library's own factor, not 2.54

QString DataFieldDisplay(TField* field)
{
    return QStringLiteral("(%1)").arg(field ? field->DisplayLabel() : QString());
}

} // namespace

// --- Print margins -----------------------------------------------------------------------------

void TkqPrintMargins::Assign(const QObject* source)
{
    const auto* other = qobject_cast<const TkqPrintMargins*>(source);
    if (!other) return;
    Top = other->Top;
    Bottom = other->Bottom;
    Left = other->Left;
    Right = other->Right;
}

// --- Memory stream -----------------------------------------------------------------------------

TkqRichMemoryStream::TkqRichMemoryStream(QObject* parent) : QBuffer(parent) { open(QIODevice::ReadWrite); }

void TkqRichMemoryStream::SetCapacity(qint64 capacity)
{
    if (capacity <= 0) {
        buffer().clear();
        buffer().squeeze();
        FCapacity = 0;
        return;
    }
    const qint64 rounded = (capacity + GrowthStep - 1) / GrowthStep * GrowthStep;
    if (rounded == FCapacity) return;
    try {
        if (rounded > qint64(std::numeric_limits<qsizetype>::max() / 2)) throw std::bad_alloc();
        buffer().reserve(qsizetype(rounded));
    } catch (const std::bad_alloc&) {
        throw EStreamError(QStringLiteral("Out of memory while expanding memory stream"));
    }
    FCapacity = rounded;
}

qint64 TkqRichMemoryStream::writeData(const char* data, qint64 length)
{
    if (length > 0 && pos() + length > FCapacity) SetCapacity(pos() + length);
    return QBuffer::writeData(data, length);
}

int RichStreamRead(QIODevice& stream, char* buffer, int count, int& done)
{
    const qint64 wanted = qMin<qint64>(count, qMax<qint64>(stream.size() - stream.pos(), 0));
    const qint64 read = wanted > 0 ? stream.read(buffer, wanted) : 0;
    done = int(qMax<qint64>(read, 0));
    return read == wanted ? 0 : EditStreamFail;
}

int RichStreamWrite(QIODevice& stream, const char* buffer, int count, int& done)
{
    done = 0;
    if (count > 0) done = int(qMax<qint64>(stream.write(buffer, count), 0));
    return 0;
}

void StreamOutSelection(TCustomRichEdit* control, QIODevice& stream)
{
    TEditStream es;
    es.Callback = [&](char* buffer, int count, int& done) { return RichStreamWrite(stream, buffer, count, done); };
    control->StreamOut(SF_RTF | SFF_SELECTION, es);
}

void StreamInSelection(TCustomRichEdit* control, QIODevice& stream)
{
    stream.seek(0);
    TEditStream es;
    es.Callback = [&](char* buffer, int count, int& done) { return RichStreamRead(stream, buffer, count, done); };
    control->StreamIn(SF_RTF | SFF_SELECTION, es);
}

void TRichProtectClass::AllowProtectChange(QObject*, int, int, bool& allowChange) { allowChange = true; }

// --- Strings -----------------------------------------------------------------------------------

int TkqRichEditStrings::Count() const
{
    const TCustomRichEdit* c = Control();
    const int count = c->LineCount();
    return c->LineLength(c->LineIndex(count - 1)) == 0 ? count - 1 : count;
}

QString TkqRichEditStrings::Get(int index) const
{
    QString line = Control()->Line(index, 4096);
    if (line.length() > 1 && line.endsWith(QLatin1String("\r\n"))) line.chop(2);
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return line;
}

void TkqRichEditStrings::Put(int index, const QString& text)
{
    TCustomRichEdit* c = Control();
    if (index < 0) return;
    const int start = c->LineIndex(index);
    if (start < 0) return;
    c->SetSel({start, start + c->LineLength(start)});
    c->ReplaceSel(text);
}

void TkqRichEditStrings::Insert(int index, const QString& text)
{
    TCustomRichEdit* c = Control();
    if (index < 0) return;
    int at = c->LineIndex(index);
    QString inserted = text + QStringLiteral("\r\n");
    if (at < 0) {
        const int previous = c->LineIndex(index - 1);
        if (previous < 0 || c->LineLength(previous) == 0) return;
        at = previous + c->LineLength(previous);
        inserted = QStringLiteral("\r\n") + text;
    }
    c->SetSel({at, at});
    c->ReplaceSel(inserted);
}

void TkqRichEditStrings::Delete(int index) { TRichEditStrings::Delete(index); }

void TkqRichEditStrings::Clear() { Control()->Clear(); }

void TkqRichEditStrings::AddStrings(const QStringList& lines)
{
    TCustomRichEdit* c = Control();
    struct TDetach {
        TCustomRichEdit* Control;
        std::function<void(QObject*)> Saved;
        ~TDetach() { Control->OnSelectionChange = Saved; }
    } detach{c, c->OnSelectionChange};
    c->OnSelectionChange = nullptr;
    TRichEditStrings::AddStrings(lines);
}

void TkqRichEditStrings::SetText(const QString& text)
{
    TCustomRichEdit* c = Control();
    const quint32 mask = c->EventMask();
    struct TRestore {
        TCustomRichEdit* Control;
        quint32 Mask;
        ~TRestore() { Control->SetEventMask(Mask); }
    } restore{c, mask};
    c->SetEventMask(mask & ~ENM_CHANGE);
    TRichEditStrings::SetText(text);
}

void TkqRichEditStrings::BeginUpdate()
{
    if (FUpdateCount++ == 0 && Control()->isVisible()) Control()->setUpdatesEnabled(false);
}

void TkqRichEditStrings::EndUpdate()
{
    if (FUpdateCount == 0 || --FUpdateCount > 0) return;
    Control()->setUpdatesEnabled(true);
    Control()->update();
}

void TkqRichEditStrings::LoadFromStream(QIODevice& stream) { Control()->PlatformLines()->LoadFromStream(stream); }

void TkqRichEditStrings::SaveToStream(QIODevice& stream) { Control()->PlatformLines()->SaveToStream(stream); }

// --- The control -------------------------------------------------------------------------------

TkqCustomRichEdit::TkqCustomRichEdit(QWidget* parent) : TCustomRichEdit(parent)
{
    PopupOptions = TkqRichEditPopupOptions{rpoPopupEdit, rpoPopupCut, rpoPopupCopy, rpoPopupPaste, rpoPopupFont,
                                           rpoPopupBullet, rpoPopupParagraph, rpoPopupTabs, rpoPopupFind,
                                           rpoPopupReplace, rpoPopupInsertObject, rpoPopupMSWordSpellCheck};
    EditorOptions = TkqRichEditOptions{reoShowSaveExit, reoShowPrint, reoShowPageSetup, reoShowFormatBar,
                                       reoShowToolBar, reoShowStatusBar, reoShowHints, reoShowRuler,
                                       reoShowInsertObject, reoCloseOnEscape, reoFlatButtons, reoShowSpellCheck,
                                       reoShowMainMenuIcons};
    FPrintMargins = new TkqPrintMargins(this);
    SetPrintPageSize(1);
    CreateDialogs();
    FEditorPosition = new TkqFormPosition(this);
    PrintJobName = QApplication::applicationDisplayName();
    FLines = std::make_unique<TkqRichEditStrings>(this);
    SetScrollBars(ssNone);
}

TkqCustomRichEdit::~TkqCustomRichEdit()
{
    delete FFindDialog.data();
    delete FReplaceDialog.data();
    delete FFontDialog.data();
}

void TkqCustomRichEdit::SetPrintPageSize(int value)
{
    FPrintPageSize = value;
    if (IsPrinterWidth()) UpdateEditRect();
}

void TkqCustomRichEdit::SetGutterWidth(int value)
{
    if (value == FGutterWidth) return;
    FGutterWidth = value;
    UpdateEditRect();
}

void TkqCustomRichEdit::SetAutoURLDetect(bool value)
{
    SetAutoUrlDetect(value);
    SetEventMask(value ? EventMask() | ENM_LINK : EventMask() & ~ENM_LINK);
}

void TkqCustomRichEdit::CreateDialogs()
{
    if (!FFindDialog) {
        FFindDialog = new TFindDialog(this);
        FFindDialog->Options = TFindOptions{frHideUpDown, frReplace, frReplaceAll};
        FFindDialog->OnFind = [this](TFindDialog* d) {
            FLastFindText = d->FindText();
            FindNext();
        };
        FFindDialog->OnClose = [this](TFindDialog*) { SetHideSelection(FSavedHideSelection); };
    }
    if (!FReplaceDialog) {
        FReplaceDialog = new TReplaceDialog(this);
        FReplaceDialog->OnFind = [this](TFindDialog* d) {
            FLastFindText = d->FindText();
            FFindDialog->SetFindText(d->FindText());
            FindNext();
        };
        FReplaceDialog->OnReplace = [this](TFindDialog* d) {
            FLastFindText = d->FindText();
            ReplaceNext();
        };
        FReplaceDialog->OnClose = [this](TFindDialog*) { SetHideSelection(FSavedHideSelection); };
    }
    if (!FFontDialog) {
        FFontDialog = new TFontDialog(this);
        FFontDialog->Device = fdBoth;
    }
    CreatePopupMenu();
}

// --- Loading -----------------------------------------------------------------------------------

namespace {

// One request of the piece-reading callback: at most half the request from the stream, a final
// carriage return dropped, line breaks written as CR LF; with a limit the counter moves on
// twice a piece, and the piece that reaches the limit ends its first paragraph's group.
// False when the stream cannot be read.
bool ReadPiece(QIODevice& stream, int request, int pieceLimit, int& counter, QByteArray& lines)
{
    lines.clear();
    if (pieceLimit > 0 && counter >= pieceLimit) return true;
    QByteArray piece(request / 2, Qt::Uninitialized);
    const qint64 read = stream.read(piece.data(), piece.size());
    if (read < 0) return false;
    piece.truncate(read);
    if (piece.endsWith('\r')) piece.chop(1);
    lines.reserve(piece.size() * 2);
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const char c = piece[i];
        if (c == '\r') {
            lines += "\r\n";
            if (i + 1 < piece.size() && piece[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            lines += "\r\n";
        } else {
            lines += c;
        }
    }
    if (pieceLimit > 0 && ++counter >= pieceLimit) {
        const qsizetype pard = lines.indexOf("\\pard");
        const qsizetype brace = pard >= 0 ? lines.indexOf('{', pard) : -1;
        if (brace >= 0) {
            lines[brace] = '}';
            lines.truncate(brace + 1);
        }
    }
    if (pieceLimit > 0) ++counter;
    return true;
}

// What the control receives of a value read piece by piece (all of it without a limit).
QByteArray ReadPieces(const QByteArray& value, int pieceLimit)
{
    QBuffer stream;
    stream.setData(value);
    stream.open(QIODevice::ReadOnly);
    QByteArray all, piece;
    int counter = 0;
    while (ReadPiece(stream, RichEditStreamRequest, pieceLimit, counter, piece) && !piece.isEmpty()) all += piece;
    return all;
}

} // namespace

void TkqCustomRichEdit::StreamIn(QIODevice& stream, bool selectionOnly, int pieceLimit)
{
    const qint64 start = stream.pos();
    auto streamIn = [&](int format) {
        int counter = 0;
        QByteArray piece;
        TEditStream es;
        es.Callback = [&](char* buffer, int count, int& done) {
            done = 0;
            try {
                if (!ReadPiece(stream, count, pieceLimit, counter, piece)) return EditStreamFail;
                done = int(qMin<qsizetype>(piece.size(), count));
                memcpy(buffer, piece.constData(), size_t(done));
                return 0;
            } catch (...) {
                return EditStreamFail;
            }
        };
        TCustomRichEdit::StreamIn(format | (selectionOnly ? SFF_SELECTION : 0), es);
        return es.Error;
    };
    const int error = streamIn(PlainText() ? SF_TEXT : SF_RTF);
    if (!PlainText() && !selectionOnly && error != 0) {
        stream.seek(start);
        if (streamIn(SF_TEXT) != 0) throw EOutOfResources(QStringLiteral("Failed to Load Stream"));
    }
}

QByteArray TkqCustomRichEdit::WriteDataProperty()
{
    FRichEditVersion = 2;
    if (GetField()) return {};
    TkqRichMemoryStream stream;
    PlatformLines()->SaveToStream(stream);
    const QByteArray content = stream.data();
    QByteArray value(4, '\0');
    const quint32 count = quint32(content.size());
    for (int i = 0; i < 4; ++i) value[i] = char((count >> (8 * i)) & 0xFF);
    return value + content;
}

qsizetype TkqCustomRichEdit::ReadDataProperty(QByteArrayView value)
{
    SetPlainText(false);
    FDataRead = true;
    if (value.size() < 4) return value.size();
    quint32 count = 0;
    for (int i = 0; i < 4; ++i) count |= quint32(quint8(value[i])) << (8 * i);
    const qsizetype available = qMin<qsizetype>(qsizetype(count), value.size() - 4);
    if (count > 0 && !GetField()) {
        TkqRichMemoryStream stream;
        stream.write(value.sliced(4, available).data(), available);
        stream.seek(0);
        PlatformLines()->LoadFromStream(stream);
    }
    return 4 + qsizetype(count);
}

void TkqCustomRichEdit::ReadState(const QMap<QString, QVariant>& properties, const QStringList& lines)
{
    FRichEditVersion = 1;
    if (GetField()) {
        if (properties.contains(QStringLiteral("RichEditVersion")))
            FRichEditVersion = properties.value(QStringLiteral("RichEditVersion")).toInt();
        return;
    }
    TBusyCursor busy;
    SetPlainText(true);
    FDataRead = false;
    if (properties.contains(QStringLiteral("RichEditVersion")))
        FRichEditVersion = properties.value(QStringLiteral("RichEditVersion")).toInt();
    if (properties.contains(QStringLiteral("Data"))) ReadDataProperty(properties.value(QStringLiteral("Data")).toByteArray());
    if (!FDataRead) {
        // an older stream carried the text itself: RTF source text becomes formatted content
        TkqRichMemoryStream stream;
        const QByteArray text = EncodeCodePage(lines.join(QStringLiteral("\r\n")), DefaultCodePage());
        stream.write(text);
        stream.seek(0);
        SetPlainText(false);
        PlatformLines()->LoadFromStream(stream);
    }
    SetPlainText(false);
}

void CopyRichContent(TkqCustomRichEdit* source, TCustomRichEdit* destination)
{
    TBusyCursor busy;
    TFlagGuard loading(source->FLoadingContent, true);
    if (source->GetField() && !source->IsContentLoaded()) {
        auto* db = qobject_cast<TkqDBRichEdit*>(destination);
        if (db) {
            db->LoadFromBlobField(source->GetField());
            return;
        }
        source->LoadFromField();
    }
    TkqRichMemoryStream stream;
    source->PlatformLines()->SaveToStream(stream);
    stream.seek(0);
    const int old = destination->MaxLength();
    if (source->MaxLength() > 0 && old > 0) destination->SetMaxLength(old + 1);
    struct TRestore {
        TCustomRichEdit* Control;
        int Old;
        ~TRestore() { Control->SetMaxLength(Old); }
    } restore{destination, old};
    destination->PlatformLines()->LoadFromStream(stream);
}

// --- Character formats -------------------------------------------------------------------------

void TkqCustomRichEdit::SetSelFont(const QString& faceName, int size, TColor color, TFontStyles style)
{
    TCharFormat2 f;
    f.Mask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_FACE | CFM_CHARSET | CFM_SIZE;
    if (color != clNone) {
        f.Mask |= CFM_COLOR;
        f.TextColor = ColorToRGB(color);
    }
    f.FaceName = faceName.left(31);
    f.CharSet = quint8(GetFontCharset(faceName));
    if (style.Contains(fsBold)) f.Effects |= CFE_BOLD;
    if (style.Contains(fsItalic)) f.Effects |= CFE_ITALIC;
    if (style.Contains(fsUnderline)) f.Effects |= CFE_UNDERLINE;
    if (style.Contains(fsStrikeOut)) f.Effects |= CFE_STRIKEOUT;
    f.Height = size * 20;
    SetCharFormat(SCF_SELECTION, f);
}

void TkqCustomRichEdit::SetSelBold(bool on)
{
    BeginFieldChange();
    SetSelEffect(0, on);
}

void TkqCustomRichEdit::SetSelItalic(bool on)
{
    BeginFieldChange();
    SetSelEffect(1, on);
}

void TkqCustomRichEdit::SetSelUnderline(bool on)
{
    BeginFieldChange();
    SetSelEffect(2, on);
}

void TkqCustomRichEdit::SetSelEffect(int effect, bool on)
{
    static const quint32 bits[] = {CFE_BOLD, CFE_ITALIC, CFE_UNDERLINE, CFE_STRIKEOUT};
    if (effect < 0 || effect > 3) return;
    TCharFormat2 f = GetCharFormat(SCF_SELECTION);
    f.Mask = bits[effect];
    if (on) f.Effects |= bits[effect];
    else f.Effects &= ~bits[effect];
    SetCharFormat(SCF_SELECTION, f);
}

void TkqCustomRichEdit::SetSelHighlight(TColor color)
{
    if (color == -1) {
        RemoveHighlightCodes();
    } else if (FRichEditVersion >= 2) {
        TCharFormat2 f;
        f.Mask = CFM_BACKCOLOR;
        f.BackColor = ColorToRGB(color);
        SetCharFormat(SCF_SELECTION, f);
    } else {
        return;
    }
    SetSelLength(0);
}

TColor TkqCustomRichEdit::GetSelHighlight()
{
    if (FRichEditVersion < 2) return 0xFFFFFF;
    return GetCharFormat(SCF_SELECTION).BackColor;
}

int TkqCustomRichEdit::GetFontCharset(const QString& faceName)
{
    if (RichBehaviourFlags[4]) return 0;
    // the first character set the system reports for the face; the control font's without one
    if (!QFontDatabase::hasFamily(faceName)) return 0;
    const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(faceName);
    if (systems.contains(QFontDatabase::Latin) || systems.isEmpty()) return 0;
    if (systems.contains(QFontDatabase::Symbol)) return 2;
    switch (systems.first()) {
    case QFontDatabase::Cyrillic: return 204;
    case QFontDatabase::Greek: return 161;
    case QFontDatabase::Hebrew: return 177;
    case QFontDatabase::Arabic: return 178;
    case QFontDatabase::Thai: return 222;
    case QFontDatabase::Japanese: return 128;
    case QFontDatabase::Korean: return 129;
    case QFontDatabase::SimplifiedChinese: return 134;
    case QFontDatabase::TraditionalChinese: return 136;
    default: return 0;
    }
}

void TkqCustomRichEdit::RemoveHighlightCodes()
{
    TkqRichMemoryStream out;
    StreamOutSelection(this, out);
    QByteArray text = out.data();
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0) text.truncate(zero);
    static const QByteArray word = "\\highlight";
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at)) {
        if (at > 0 && text[at - 1] == '\\') {
            at += word.size();   // "\\highlight": an escaped backslash and the text "highlight"
            continue;
        }
        qsizetype end = at + word.size();
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        if (end < text.size() && text[end] == ' ') ++end;
        text.remove(at, end - at);
    }
    TkqRichMemoryStream in;
    in.write(text);
    StreamInSelection(this, in);
}

// --- Paragraph formats -------------------------------------------------------------------------

void TkqCustomRichEdit::GetParaFormat(TParaFormat2& format)
{
    format = TCustomRichEdit::GetParaFormat(FRichEditVersion <= 1 ? ParaFormatSize : ParaFormat2Size);
}

void TkqCustomRichEdit::GetParaIndents(int& offset, int& rightIndent, int& startIndent)
{
    const TParaFormat2 p = TCustomRichEdit::GetParaFormat(ParaFormatSize);
    offset = p.Offset;
    rightIndent = p.RightIndent;
    startIndent = p.StartIndent;
}

void TkqCustomRichEdit::SetParaFormat(quint16 mask, const QString& alignment, bool bullet, int offset,
                                      int rightIndent, int startIndent, int tabCount, const int* tabs,
                                      int spaceBefore, int spaceAfter, int lineSpacing, int lineSpacingKind)
{
    BeginFieldChange();
    TParaFormat2 p;
    p.Size = FRichEditVersion <= 1 ? ParaFormatSize : ParaFormat2Size;
    static const quint32 bits[] = {PFM_ALIGNMENT, PFM_NUMBERING, PFM_OFFSET, PFM_RIGHTINDENT, PFM_STARTINDENT,
                                   PFM_TABSTOPS, PFM_SPACEBEFORE, PFM_SPACEAFTER, PFM_LINESPACING};
    for (int i = 0; i < 9; ++i)
        if (mask & (1u << i)) p.Mask |= bits[i];
    p.Numbering = bullet ? PFN_BULLET : 0;
    p.StartIndent = startIndent;
    p.RightIndent = rightIndent;
    p.Offset = offset;
    const TkqRichEditParagraphDlg* texts = KqIntl()->GetRichEdit()->ParagraphDialog;
    if (alignment == texts->AlignLeft) p.Alignment = PFA_LEFT;
    else if (alignment == texts->AlignRight) p.Alignment = PFA_RIGHT;
    else if (alignment == texts->AlignJustify) p.Alignment = PFA_JUSTIFY;
    else p.Alignment = PFA_CENTER;
    if (mask & (1u << 5)) {
        p.TabCount = short(qBound(0, tabCount, MAX_TAB_STOPS));
        for (int i = 0; i < p.TabCount; ++i) p.Tabs[i] = tabs ? tabs[i] : 0;
    }
    p.SpaceBefore = spaceBefore;
    p.SpaceAfter = spaceAfter;
    if (lineSpacingKind == 1 || lineSpacingKind == 2) {
        p.LineSpacingRule = 5;
        p.LineSpacing = lineSpacingKind == 1 ? 30 : 40;
    } else {
        p.LineSpacingRule = quint8(lineSpacingKind);
        p.LineSpacing = lineSpacing;
    }
    TCustomRichEdit::SetParaFormat(p);
}

void TkqCustomRichEdit::SetBullets(bool on)
{
    BeginFieldChange();
    if (on) {
        TParaFormat2 p;
        p.Size = FRichEditVersion <= 1 ? ParaFormatSize : ParaFormat2Size;
        p.Mask = PFM_NUMBERING | PFM_OFFSET;
        p.Numbering = PFN_BULLET;
        p.Offset = 720;
        TCustomRichEdit::SetParaFormat(p);
    } else {
        Paragraph()->SetNumbering(nsNone);
    }
}

bool TkqCustomRichEdit::CanPaste()
{
    bool result = CanPasteClipboard();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data) return result;
    // a picture alone cannot be pasted; a metafile-like picture can
    for (const QString& format : data->formats()) {
        if (format == QLatin1String("image/x-emf") || format == QLatin1String("image/x-wmf")
            || format == QLatin1String("image/svg+xml"))
            return true;
        if (format.startsWith(QLatin1String("image/")) || format == QLatin1String("application/x-qt-image"))
            result = false;
    }
    return result;
}

// --- Find and replace --------------------------------------------------------------------------

int TkqCustomRichEdit::FindTextEx(int flags, const TCharRange& range, const QString& text)
{
    // searches run forward unless the range search asks otherwise
    if (!RichBehaviourFlags[0]) flags |= FR_DOWN;
    return TCustomRichEdit::FindTextEx(flags, range, text);
}

int TkqCustomRichEdit::FindTextRange(const QString& text, int start, int length, TSearchTypes options)
{
    int flags = 0;
    if (options.Contains(stWholeWord)) flags |= FR_WHOLEWORD;
    if (options.Contains(stMatchCase)) flags |= FR_MATCHCASE;
    RichBehaviourFlags[0] = 1;
    struct TReset {
        int& Flag;
        ~TReset() { Flag = 0; }
    } reset{RichBehaviourFlags[0]};
    return FindTextEx(flags, {start, start + length}, text);
}

void TkqCustomRichEdit::OpenSearchDialog(TFindDialog* dialog)
{
    const QString selected = SelText();
    dialog->SetFindText(selected.isEmpty() || selected.contains(QLatin1Char('\n')) || selected.contains(QLatin1Char('\r'))
                            ? FLastFindText
                            : selected);
    FWrapped = false;
    FWrapAnchor = SelStart();
    FSavedHideSelection = HideSelection();
    SetHideSelection(false);
    dialog->Execute(this);
}

void TkqCustomRichEdit::FindDialog() { OpenSearchDialog(FFindDialog); }

void TkqCustomRichEdit::ReplaceDialog() { OpenSearchDialog(FReplaceDialog); }

void TkqCustomRichEdit::FindNext()
{
    if (FFindDialog) SearchStep(FFindDialog, false, QString());
}

void TkqCustomRichEdit::ReplaceNext()
{
    if (FReplaceDialog) SearchStep(FReplaceDialog, true, FReplaceDialog->ReplaceText());
}

void TkqCustomRichEdit::SearchStep(TFindDialog* dialog, bool replacing, const QString& replacement)
{
    const QString text = dialog->FindText();
    if (text.isEmpty()) return;
    TSearchTypes options;
    if (dialog->Options.Contains(frMatchCase)) options.Include(stMatchCase);
    if (dialog->Options.Contains(frWholeWord)) options.Include(stWholeWord);
    const int length = int(text.length());
    // every round replaces or finds one match; more rounds than characters would be a loop
    for (int rounds = TextLength() + 2; rounds > 0; --rounds) {
        bool replaced = false;
        if (replacing) {
            const int at = FindText(text, SelStart(), TextLength(), options);
            if (at == SelStart() && SelLength() == length) {
                if (FWrapped) FWrapAnchor += int(replacement.length()) - length;
                ReplaceSel(replacement);
                replaced = true;
            }
        }
        // after a replacement the caret stands behind it: a match may start right there
        int found = FindText(text, SelStart() + (replaced ? 0 : 1), TextLength(), options);
        if (FWrapped && found > FWrapAnchor) found = -1;
        if (!FWrapped && found < 0 && SelStart() > 0) {
            found = FindText(text, 0, TextLength(), options);
            FWrapped = true;
            if (found > FWrapAnchor) found = -1;
        }
        if (found < 0) {
            MessageDlg(KqIntl()->GetUserMessages()->LocateNoMoreMatches, mtInformation, {mbOK});
            FWrapAnchor = SelStart();
            FWrapped = false;
            return;
        }
        SetSel({found, found + length});
        if (!dialog->Options.Contains(frReplaceAll)) return;
    }
}

bool TkqCustomRichEdit::ReplaceText(const QString& findText, const QString& replacement, TSearchTypes options)
{
    const int at = FindText(findText, SelStart(), TextLength(), options);
    if (at < 0) return false;
    SetSel({at, at + int(findText.length())});
    ReplaceSel(replacement);
    return true;
}

// --- Fonts -------------------------------------------------------------------------------------

void TkqCustomRichEdit::FontDialog()
{
    if (!FFontDialog) return;
    const TCharFormat2 sel = GetCharFormat(SCF_SELECTION);
    const TColor remembered = (sel.Effects & CFE_AUTOCOLOR) ? clWindowText : sel.TextColor;
    QFont font(sel.FaceName);
    font.setPointSizeF(sel.Height / 20.0);
    font.setBold(sel.Effects & CFE_BOLD);
    font.setItalic(sel.Effects & CFE_ITALIC);
    font.setUnderline(sel.Effects & CFE_UNDERLINE);
    font.setStrikeOut(sel.Effects & CFE_STRIKEOUT);
    FFontDialog->Font = TFont(font, remembered);
    FFontDialog->Options = FFontDialog->Options.With(fdWysiwyg, IsPrinterWidth());
    if (!FFontDialog->Execute(this)) return;
    BeginFieldChange();
    TColor color = FFontDialog->Font.Color;
    if (color == remembered) color = clNone;   // the runs keep their own colours
    const QFont& chosen = FFontDialog->Font.Font;
    TFontStyles style;
    if (chosen.bold()) style.Include(fsBold);
    if (chosen.italic()) style.Include(fsItalic);
    if (chosen.underline()) style.Include(fsUnderline);
    if (chosen.strikeOut()) style.Include(fsStrikeOut);
    const int size = chosen.pointSize() > 0 ? chosen.pointSize() : sel.Height / 20;
    SetSelFont(chosen.family(), size, color, style);
}

// --- Units -------------------------------------------------------------------------------------

QString TkqCustomRichEdit::UnitsText(double length) const
{
    return FloatToStr(length) + (MeasurementUnits == muCentimeters ? QStringLiteral(" cm") : QStringLiteral("''"));
}

QString TkqCustomRichEdit::RoundedUnitsText(int stepPerUnit, double length) const
{
    const int step = stepPerUnit > 0 ? stepPerUnit : (MeasurementUnits == muCentimeters ? 20 : 8);
    const double away = 1.0 / (1.5 * step);
    const double moved = length < 0 ? length - away : length + away;
    qint64 thousandths = qint64(std::trunc(moved * 1000.0));
    thousandths -= thousandths % (1000 / step);
    return UnitsText(thousandths / 1000.0);
}

int TkqCustomRichEdit::UnitsTextToTwips(const QString& text) const
{
    QString number = text;
    while (!number.isEmpty() && QStringLiteral(" 'cmCM").contains(number.back())) number.chop(1);
    double value = StrToFloat(number.trimmed());
    value *= 1440.0;
    if (MeasurementUnits == muCentimeters) value /= InchesPerCentimetreFactor;
    return int(std::trunc(value));
}

double TkqCustomRichEdit::TwipsToUnits(int twips) const
{
    double value = twips / 1440.0;
    if (MeasurementUnits == muCentimeters) value *= InchesPerCentimetreFactor;
    return std::round(value * 100.0) / 100.0;
}

// --- Printing ----------------------------------------------------------------------------------

bool TkqCustomRichEdit::IsPrinterWidth() const { return EditWidth == rewPrinterSize && PrinterInstalled(); }

void TkqCustomRichEdit::ApplyPaperSize() { Printer().SetPaperSize(FPrintPageSize); }

void TkqCustomRichEdit::GetPrintRect(TRect& rect) const
{
    const TPrinter& printer = Printer();
    const int dpiX = qMax(printer.XResolution(), 1), dpiY = qMax(printer.YResolution(), 1);
    const QSize page = printer.PhysicalPageSize();
    const QPoint offset = printer.PrintingOffset();
    const int pageWidth = page.width() * 1440 / dpiX, pageHeight = page.height() * 1440 / dpiY;
    const int offsetX = offset.x() * 1440 / dpiX, offsetY = offset.y() * 1440 / dpiY;
    const int left = UnitsTextToTwips(UnitsText(FPrintMargins->Left));
    const int right = UnitsTextToTwips(UnitsText(FPrintMargins->Right));
    const int top = UnitsTextToTwips(UnitsText(FPrintMargins->Top));
    const int bottom = UnitsTextToTwips(UnitsText(FPrintMargins->Bottom));
    rect.Left = qMin(qMax(left - offsetX, 0), pageWidth - 2 * offsetX);
    rect.Right = qMin(qMax(pageWidth - right - offsetX, rect.Left), pageWidth - 2 * offsetX);
    rect.Top = qMin(qMax(top - offsetY, 0), pageHeight - offsetY);
    rect.Bottom = qMin(qMax(pageHeight - bottom - offsetY, rect.Top), pageHeight - 2 * offsetY);
    // an inverted page keeps its edges in order
    rect.Right = qMax(rect.Right, rect.Left);
    rect.Bottom = qMax(rect.Bottom, rect.Top);
}

void TkqCustomRichEdit::Print(const QString& jobTitle)
{
    if (IsPrinterWidth()) ApplyPaperSize();
    TPrinter& printer = Printer();
    TRect rect;
    if (!PageRect.IsEmpty()) {
        const int dpiX = qMax(printer.XResolution(), 1), dpiY = qMax(printer.YResolution(), 1);
        rect = TRect(PageRect.Left * 1440 / dpiX, PageRect.Top * 1440 / dpiY, PageRect.Right * 1440 / dpiX,
                     PageRect.Bottom * 1440 / dpiY);
    } else {
        GetPrintRect(rect);
    }
    PrintPages(printer, jobTitle, rect);
}

bool TkqCustomRichEdit::PrintWithWord(const QString&)
{
    MessageDlg(KqIntl()->GetUserMessages()->RichEditMSWordNotFound, mtInformation, {mbOK});
    return false;
}

// --- Formatting rectangle, links, events -------------------------------------------------------

void TkqCustomRichEdit::UpdateEditRect()
{
    TFlagGuard loading(FLoadingContent, true);
    TRect r;
    if (IsPrinterWidth()) {
        const TPrinter& printer = Printer();
        const double pageWidth = printer.PhysicalPageSize().width() / double(qMax(printer.XResolution(), 1));
        double margins = FPrintMargins->Left + FPrintMargins->Right;
        if (MeasurementUnits == muCentimeters) margins /= InchesPerCentimetreFactor;
        r.Left = FGutterWidth + 10;
        r.Top = 0;
        r.Right = int((pageWidth - margins) * ScreenPixelsPerInch()) + FGutterWidth + 4;
        if ((ScrollBars() == ssVertical || ScrollBars() == ssBoth) && verticalScrollBar()->maximum() != 0)
            r.Right -= verticalScrollBar()->sizeHint().width() + 5;
        r.Bottom = printer.PhysicalPageSize().height() * ScreenPixelsPerInch() / qMax(printer.YResolution(), 1);
    } else {
        int clientWidth = contentsRect().width();
        if (verticalScrollBar()->isVisible()) clientWidth -= verticalScrollBar()->width();
        r.Bottom = height();
        r.Right = clientWidth - 2;
        if (frameStyle() == QFrame::NoFrame && IsInGrid(this)) {
            r.Top = 1;
            r.Left = FGutterWidth - 1;
        } else {
            r.Top = 2;
            r.Left = FGutterWidth - 2;
            r.Bottom -= 2;
        }
    }
    SetFormattingRect(r);
}

void TkqCustomRichEdit::resizeEvent(QResizeEvent* event)
{
    TCustomRichEdit::resizeEvent(event);
    if (!IsPrinterWidth()) UpdateEditRect();
}

void TkqCustomRichEdit::changeEvent(QEvent* event)
{
    TCustomRichEdit::changeEvent(event);
    // the default attributes follow the control's font
    if (event->type() == QEvent::FontChange) DefAttributes()->Assign(font(), clWindowText);
}

void TkqCustomRichEdit::LinkNotify(const TENLink& link)
{
    if (link.Msg == WM_LBUTTONDOWN && (link.WParam & 0x1)) {
        FLinkPressed = true;
        return;
    }
    if (link.Msg == WM_LBUTTONUP && FLinkPressed) {
        FLinkPressed = false;
        bool useDefault = true;
        const QString address = TextRange(link.Chrg);
        DoURLOpen(address, useDefault);
        if (useDefault) {
            TBusyCursor busy;
            ShellOpen(address);
        }
        return;
    }
    if (link.Msg == WM_LBUTTONUP || link.Msg == WM_RBUTTONUP) FLinkPressed = false;
}

void TkqCustomRichEdit::DoURLOpen(const QString& urlLink, bool& useDefault)
{
    if (OnURLOpen) OnURLOpen(this, urlLink, useDefault);
}

void TkqCustomRichEdit::DoInitDialog(QWidget* form)
{
    if (OnInitDialog) OnInitDialog(form);
}

void TkqCustomRichEdit::DoCloseDialog(QWidget* form)
{
    if (OnCloseDialog) OnCloseDialog(form);
}

void TkqCustomRichEdit::DoCreateDialog(QWidget* form)
{
    if (OnCreateDialog) OnCreateDialog(form);
}

// --- The editor --------------------------------------------------------------------------------

bool TkqCustomRichEdit::Execute()
{
    QWidget* owner = Application() ? Application()->MainForm() : nullptr;
    std::unique_ptr<TkqRichEditForm> form(new TkqRichEditForm(owner ? owner : window()));
    FEditorForm = form.get();
    struct TForget {
        TkqCustomRichEdit* Control;
        ~TForget() { Control->FEditorForm = nullptr; }
    } forget{this};
    std::optional<TBusyCursor> busy(std::in_place);
    LoadFromField();

    // the ruler under the format bar; its width follows the window or the printer page
    auto* ruler = new TkqRulerPanel(form.get());
    const QWidget* formatBar = form->FormatBar();
    ruler->setGeometry(0, formatBar->y() + formatBar->height() + 10, form->width() - 8,
                       form->logicalDpiY() < 97 ? 25 : 27);

    TkqCustomRichEdit* edit = NewInstance(form.get());
    edit->setObjectName(QStringLiteral("RichEdit1"));
    edit->SetOleOptions(OleOptions());
    edit->SetScrollBars(ssVertical);
    edit->SetWordWrap(WordWrap());
    edit->setGeometry(0, ruler->height() + 62, 595, 330);
    edit->SetHideSelection(false);
    edit->SetWantTabs(true);
    edit->SetWantReturns(true);
    edit->PopupOptions = TkqRichEditPopupOptions{rpoPopupCut, rpoPopupCopy, rpoPopupPaste, rpoPopupFont,
                                                 rpoPopupBullet, rpoPopupParagraph};
    edit->EditorCaption = QStringLiteral("Edit Rich Text");
    form->setWindowTitle(EditorCaption);
    edit->setFont(font());
    edit->DefAttributes()->Assign(font(), clWindowText);
    edit->MeasurementUnits = MeasurementUnits;
    edit->OnInitDialog = OnInitDialog;
    edit->PrintMargins()->Assign(PrintMargins());
    edit->EditWidth = EditWidth;
    edit->SetPrintPageSize(FPrintPageSize);
    edit->HighlightColor = HighlightColor;
    if (EditorOptions.Contains(reoUseBackColor)) edit->setPalette(palette());
    edit->EditorOptions = EditorOptions;
    edit->SetReadOnly(GetReadOnly());
    edit->SetMaxLength(MaxLength());
    edit->SetAutoURLDetect(AutoURLDetect());
    edit->OnURLOpen = OnURLOpen;
    ruler->SetRichEdit(edit);
    if (edit->IsPrinterWidth()) ruler->SetPrinterWidth();
    ruler->CreateMarkers();
    form->SetRuler(ruler);
    form->SetEditors(this, edit);

    // placement within the work area: a size above 0 is taken, a Left or Top below 1 centres
    const QRect area = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry() : QRect();
    if (FEditorPosition->Width > 0 && FEditorPosition->Height > 0)
        form->resize(FEditorPosition->Width, FEditorPosition->Height);
    const int left = FEditorPosition->Left < 1 ? area.left() + (area.width() - form->width()) / 2 : FEditorPosition->Left;
    const int top = FEditorPosition->Top < 1 ? area.top() + (area.height() - form->height()) / 2 : FEditorPosition->Top;
    form->move(left, top);

    DoCreateDialog(form.get());
    busy.reset();
    const bool ok = form->exec() == QDialog::Accepted;
    TBusyCursor restoring;
    if (ok) {
        if (edit->Modified()) {
            BeginFieldChange();
            if (TField* field = GetField()) {
                if (field->IsBlob()) {
                    TkqRichMemoryStream stream;
                    edit->PlatformLines()->SaveToStream(stream);
                    field->SetAsBytes(stream.data());
                }
            } else {
                CopyRichContent(edit, this);
            }
            DoCloseDialog(form.get());
            SetModified(true);
        } else {
            DoCloseDialog(form.get());
        }
        PrintMargins()->Assign(edit->PrintMargins());
        SetPrintPageSize(edit->PrintPageSize());
    } else {
        DoCloseDialog(form.get());
    }
    edit->PlatformLines()->Clear();
    return ok;
}

// --- The data-aware control --------------------------------------------------------------------

TkqDBRichEdit::TkqDBRichEdit(QWidget* parent) : TkqCustomRichEdit(parent)
{
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnEditingChange = [this](TFieldDataLink*) { EditingChange(); };
    FDataLink.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
    SetOleOptions(TkqRichEditOleOptions{reoAdjustPopupMenu});
    SetGutterWidth(3);
}

TkqDBRichEdit::~TkqDBRichEdit()
{
    FDataLink.OnDataChange = nullptr;
    FDataLink.OnEditingChange = nullptr;
    FDataLink.OnUpdateData = nullptr;
    FDataLink.SetDataSource(nullptr);
}

void TkqDBRichEdit::SetDataSource(TDataSource* source)
{
    QObject::disconnect(FSourceGone);
    FDataLink.SetDataSource(source);
    // the source going away leaves the control without one
    if (source)
        FSourceGone = QObject::connect(source, &QObject::destroyed, this, [this] { FDataLink.SetDataSource(nullptr); });
}

void TkqDBRichEdit::SetDataField(const QString& name)
{
    if (!name.isEmpty() && name != FDataLink.FieldName()) {
        setReadOnly(true);   // until the link says it edits
        FDataFieldSet = true;
    } else if (name.isEmpty()) {
        setReadOnly(GetReadOnly());
        FDataFieldSet = false;
    }
    FDataLink.SetFieldName(name);
}

void TkqDBRichEdit::SetAutoDisplay(bool value)
{
    if (value == FAutoDisplay) return;
    FAutoDisplay = value;
    if (value && Field()) LoadFromField();
}

bool TkqDBRichEdit::GetReadOnly()
{
    if (!Field() && FDataLink.FieldName().isEmpty()) return FOwnReadOnly || isReadOnly();
    if (FDataLink.ReadOnly()) return true;
    TField* field = Field();
    if (!field || !field->DataSet()) return false;
    if (field->DataSet()->CanModify()) return field->ReadOnly();
    return true;
}

void TkqDBRichEdit::SetReadOnly(bool value)
{
    FOwnReadOnly = value;
    if (!Field()) setReadOnly(value);
    FDataLink.SetReadOnly(value);
}

bool TkqDBRichEdit::IsVisibleControl() const
{
    // visible unless hidden on purpose (a control not yet shown still counts as visible)
    return !(testAttribute(Qt::WA_WState_ExplicitShowHide) && testAttribute(Qt::WA_WState_Hidden));
}

bool TkqDBRichEdit::IsBlobField() const { return Field() && Field()->IsBlob(); }

void TkqDBRichEdit::DataChange()
{
    TField* field = Field();
    TFlagGuard loading(FLoadingContent, true);
    if (!field) {
        FLoaded = false;
        SetText(QString());
        return;
    }
    if (!field->IsBlob()) {
        FLoaded = false;
        SetText(FFocused && FDataLink.CanModify() ? field->Text() : field->DisplayText());
        FLoaded = true;
        return;
    }
    if (FAutoDisplay || (FDataLink.Editing() && FLoaded)) {
        if (FKeepingText && FKeptText == field->AsBytes()) return;   // the edit that began keeps its text
        FLoaded = false;
        if (IsVisibleControl()) {
            FLoadingContent = false;
            LoadFromField();
        }
        return;
    }
    FLoaded = false;
    SetText(DataFieldDisplay(field));
}

void TkqDBRichEdit::EditingChange()
{
    if (Field()) setReadOnly(!(FDataLink.Editing() && FLoaded));
}

void TkqDBRichEdit::UpdateData() { SaveToField(); }

void TkqDBRichEdit::LoadFromField()
{
    TField* field = Field();
    if (!field || !field->IsBlob() || FLoaded) return;
    {
        TFlagGuard loading(FLoadingContent, true);
        TBusyCursor busy;
        TProtectGuard allow(this);
        FLoaded = true;
        try {
            LoadFromBlobField(field);
            if (!IsPaintCopyInGrid(this) && field->AsBytes().isEmpty()) {
                Paragraph()->SetNumbering(nsNone);
                Paragraph()->SetAlignment(taLeftJustify);
                DefAttributes()->SetColor(clWindowText);
            }
        } catch (const EOutOfResources& e) {
            SetText(QStringLiteral("(%1)").arg(e.Message()));
        }
    }
    EditingChange();
    SetModified(false);
}

void TkqDBRichEdit::LoadBytes(const QByteArray& bytes)
{
    TFlagGuard loading(FLoadingContent, true);
    TMaxLengthGuard limit(this);
    TkqRichMemoryStream stream;
    stream.write(bytes);
    stream.seek(0);
    PlatformLines()->Clear();
    StreamIn(stream, false, 0);
}

void TkqDBRichEdit::LoadFromBlobField(TField* field)
{
    if (!field) return;
    const QByteArray bytes = field->AsBytes();
    // a text memo reads in its own code page
    if (CheckRtf(bytes) != rrOk && !PlainText()) {
        TFlagGuard loading(FLoadingContent, true);
        SetText(field->AsString());
        return;
    }
    LoadBytes(bytes);
}

void TkqDBRichEdit::LoadFromBytes(const QByteArray& bytes) { LoadBytes(bytes); }

void TkqDBRichEdit::LoadBytesParagraphs(const QByteArray& bytes, int pieceLimit)
{
    TFlagGuard loading(FLoadingContent, true);
    TkqRichMemoryStream stream;
    stream.write(bytes);
    stream.seek(0);
    if (PlainText()) {
        StreamIn(stream, false, pieceLimit);
    } else {
        SetPlainText(true);
        StreamIn(stream, false, pieceLimit);
        TkqRichMemoryStream text;
        PlatformLines()->SaveToStream(text);
        SetPlainText(false);
        PlatformLines()->Clear();
        text.seek(0);
        StreamIn(text, true, 0);
    }
    FLoaded = false;
}

void TkqDBRichEdit::LoadFieldParagraphs(TField* field, int pieceLimit)
{
    if (!field || !field->DataSet()) return;
    auto blob = field->DataSet()->CreateBlobStream(field, bmRead);
    LoadBytesParagraphs(blob->readAll(), pieceLimit);
}

void TkqDBRichEdit::SaveToField()
{
    TField* field = Field();
    if (!field || !Modified() || !FLoaded) return;
    if (field->IsBlob()) {
        TkqRichMemoryStream stream;
        PlatformLines()->SaveToStream(stream);
        field->SetAsBytes(stream.data());
    } else {
        field->SetAsString(Text());
    }
}

void TkqDBRichEdit::BeginFieldChange()
{
    TField* field = Field();
    if (!field) return;
    if (!FDataLink.Editing()) {
        if (field->IsBlob()) {
            FKeptText = field->AsBytes();
            FKeepingText = true;
        }
        struct TClear {
            TkqDBRichEdit* Control;
            ~TClear() {
                Control->FKeepingText = false;
                Control->FKeptText.clear();
            }
        } clear{this};
        if (FDataLink.DataSource() && FDataLink.DataSource()->State() == dsBrowse) FDataLink.Edit();
    }
    if (IsInGrid(this) && !GetReadOnly() && FDataLink.Editing()) FDataLink.Modified();
}

void TkqDBRichEdit::Change()
{
    if (Field() && FLoaded && !FLoadingContent && !FChangingParent && !GetReadOnly()) {
        BeginFieldChange();
        FDataLink.Modified();
    }
    TkqCustomRichEdit::Change();
}

void TkqDBRichEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier, alt = mods & Qt::AltModifier, shift = mods & Qt::ShiftModifier;
    if (IsInGrid(this)) {
        const bool toGrid = (key == Qt::Key_Escape && !Modified()) || key == Qt::Key_PageUp || key == Qt::Key_PageDown
                            || ((key == Qt::Key_Up || key == Qt::Key_Down) && !alt)
                            || ((key == Qt::Key_Home || key == Qt::Key_End) && ctrl);
        if (toGrid) {
            if (QWidget* grid = ControlParent(this)) {
                grid->setFocus();
                if (grid->hasFocus()) QApplication::sendEvent(grid, event);
            }
            return;
        }
    }
    if (key == Qt::Key_F2 && PopupOptions.Contains(rpoPopupEdit)) {
        Execute();
        return;
    }
    const bool paste = (shift && key == Qt::Key_Insert) || (ctrl && key == Qt::Key_V);
    if (paste && !CanPaste()) return;
    if (key == Qt::Key_Tab && !WantTabs()) {
        event->ignore();
        return;
    }
    TField* field = Field();
    if (field && !FLoaded) {
        // not loaded: Enter loads, every key stays out
        if (key == Qt::Key_Return || key == Qt::Key_Enter) LoadFromField();
        return;
    }
    if (field) {
        const QString text = event->text();
        if (key == Qt::Key_Escape) {
            FDataLink.Reset();
            return;
        }
        if (!text.isEmpty() && text[0].unicode() > 31 && !ctrl && !field->IsValidChar(text[0])) {
            QApplication::beep();
            return;
        }
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter && !WantReturns()) {
            SetSel({0, 0});
            return;
        }
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace || paste || (ctrl && key == Qt::Key_X) || enter
            || (key == Qt::Key_Tab && WantTabs()) || (!text.isEmpty() && text[0].isPrint() && !ctrl))
            BeginFieldChange();
    }
    TkqCustomRichEdit::keyPressEvent(event);
}

void TkqDBRichEdit::focusInEvent(QFocusEvent* event)
{
    FFocused = true;
    if (Field() && !Field()->IsBlob()) DataChange();
    TkqCustomRichEdit::focusInEvent(event);
    if (AutoSelect) selectAll();
}

void TkqDBRichEdit::focusOutEvent(QFocusEvent* event)
{
    if (Field()) {
        try {
            FDataLink.UpdateRecord();
        } catch (...) {
            setFocus();
            throw;
        }
    }
    FFocused = false;
    TkqCustomRichEdit::focusOutEvent(event);
}

void TkqDBRichEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (Field() && !FLoaded) {
        LoadFromField();
        return;
    }
    TkqCustomRichEdit::mouseDoubleClickEvent(event);
}

void TkqDBRichEdit::paintEvent(QPaintEvent* event)
{
    if (Field() && Field()->IsBlob() && !FLoaded && FAutoDisplay && !IsPaintCopyInGrid(this)) LoadFromField();
    TkqCustomRichEdit::paintEvent(event);
}

void TkqDBRichEdit::insertFromMimeData(const QMimeData* source)
{
    if (Field()) BeginFieldChange();
    TkqCustomRichEdit::insertFromMimeData(source);
}

bool TkqDBRichEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ParentAboutToChange) FChangingParent = true;
    const bool result = TkqCustomRichEdit::event(event);
    if (event->type() == QEvent::ParentChange) {
        FChangingParent = false;
        FLoaded = false;
    }
    return result;
}

// --- The grid library's reader -----------------------------------------------------------------

namespace {

// Stored rich text to the plain text a cell shows: what the rich edit would hold after reading
// the value (or its first pieces), read by the same reader without building a document, so a
// cell costs microseconds, not a document's layout.
class TkqRichEditTextReader : public TkqRichTextReader {
public:
    QString PlainText(const QByteArray& richText, int pieceLimit) override
    {
        if (!richText.startsWith("{\\rtf")) return DecodeCodePage(richText, DefaultCodePage());
        TRtfReadResult result;
        const QString text = RtfPlainText(ReadPieces(richText, pieceLimit), &result);
        if (result.Ok()) return text;
        // whole values that are no rich text after all show as text; a preview shows nothing
        return pieceLimit > 0 ? QString() : DecodeCodePage(richText, DefaultCodePage());
    }
};

} // namespace

void RegisterRichTextReader()
{
    SetRichTextReaderFactory([](QObject*) { return std::make_unique<TkqRichEditTextReader>(); });
}

namespace {
// The unit's start-up: the grid library reads rich text through this control from then on.
const bool RichTextReaderRegistered = [] {
    RegisterRichTextReader();
    return true;
}();
} // namespace
