#pragma once
// The rich edit control over a QTextEdit: formatted text read and written as RTF (or as
// plain text) through stream callbacks, whole or into the selection; lines, selection, text
// ranges and positions; character and paragraph formats with masks; find within a range;
// page measuring and rendering for printing; the formatting rectangle; undo and redo;
// protected text; change, selection and link notifications; detected web links. Character
// positions count a paragraph end as one character, as the text document does.
//
// TCustomRichEdit also carries what the framework's rich edit class offered over the control:
// the lines object that loads and saves whole content, PlainText, the selection and its
// attributes, the paragraph, the default attributes, and printing.

#include "platform/core/SysUtils.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QPointer>
#include <QTextCursor>
#include <QTextEdit>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;
class QPainter;
class QPaintDevice;
class QTextDocument;
class TCustomRichEdit;
class TPrinter;

// --- Messages' constants, with the control's values ----------------------------------------------

enum : int { SF_TEXT = 0x0001, SF_RTF = 0x0002, SFF_SELECTION = 0x8000 };
enum : int { SCF_DEFAULT = 0, SCF_SELECTION = 1, SCF_WORD = 2, SCF_ALL = 4 };
enum : quint32 {
    CFM_BOLD = 0x1, CFM_ITALIC = 0x2, CFM_UNDERLINE = 0x4, CFM_STRIKEOUT = 0x8, CFM_PROTECTED = 0x10,
    CFM_LINK = 0x20, CFM_SUBSCRIPT = 0x00030000, CFM_SUPERSCRIPT = 0x00030000, CFM_BACKCOLOR = 0x04000000,
    CFM_CHARSET = 0x08000000, CFM_OFFSET = 0x10000000, CFM_FACE = 0x20000000, CFM_COLOR = 0x40000000,
    CFM_SIZE = 0x80000000, CFM_WEIGHT = 0x00400000,
    CFE_BOLD = 0x1, CFE_ITALIC = 0x2, CFE_UNDERLINE = 0x4, CFE_STRIKEOUT = 0x8, CFE_PROTECTED = 0x10,
    CFE_LINK = 0x20, CFE_SUBSCRIPT = 0x00010000, CFE_SUPERSCRIPT = 0x00020000, CFE_AUTOBACKCOLOR = 0x04000000,
    CFE_AUTOCOLOR = 0x40000000
};
enum : quint32 {
    PFM_STARTINDENT = 0x1, PFM_RIGHTINDENT = 0x2, PFM_OFFSET = 0x4, PFM_ALIGNMENT = 0x8, PFM_TABSTOPS = 0x10,
    PFM_NUMBERING = 0x20, PFM_SPACEBEFORE = 0x40, PFM_SPACEAFTER = 0x80, PFM_LINESPACING = 0x100,
    PFM_NUMBERINGSTYLE = 0x2000, PFM_NUMBERINGTAB = 0x4000, PFM_NUMBERINGSTART = 0x8000,
    PFM_OFFSETINDENT = 0x80000000
};
enum : int { PFA_LEFT = 1, PFA_RIGHT = 2, PFA_CENTER = 3, PFA_JUSTIFY = 4 };
// Numbering: none, bullets, then the numbered kinds.
enum : int { PFN_BULLET = 1, PFN_ARABIC = 2, PFN_LCLETTER = 3, PFN_UCLETTER = 4, PFN_LCROMAN = 5, PFN_UCROMAN = 6 };
constexpr int MAX_TAB_STOPS = 32;
// Sizes of the two paragraph records: the first knows no spacing.
constexpr int ParaFormatSize = 156;
constexpr int ParaFormat2Size = 188;
enum : int { FR_DOWN = 0x1, FR_WHOLEWORD = 0x2, FR_MATCHCASE = 0x4 };
enum : quint32 { ENM_CHANGE = 0x1, ENM_SELCHANGE = 0x80000, ENM_PROTECTED = 0x200000, ENM_LINK = 0x4000000 };
enum : int { SEL_EMPTY = 0, SEL_TEXT = 1, SEL_OBJECT = 2, SEL_MULTICHAR = 4, SEL_MULTIOBJECT = 8 };
// Mouse messages a link notification reports.
enum : int { WM_MOUSEMOVE = 0x200, WM_LBUTTONDOWN = 0x201, WM_LBUTTONUP = 0x202, WM_LBUTTONDBLCLK = 0x203,
             WM_RBUTTONDOWN = 0x204, WM_RBUTTONUP = 0x205, WM_SETCURSOR = 0x20 };
// The bytes the control asks its stream-in callback for, each time.
constexpr int RichEditStreamRequest = 4096;
// A stream callback's answer that stops the transfer (the control keeps it as the error).
constexpr int EditStreamFail = int(0x80004005);
// The error the control reports for a stream that is no rich text or breaks its syntax.
constexpr int EditStreamBadRichText = -16;

struct TCharRange {
    int Min = 0;
    int Max = 0;   // -1: to the end
    bool operator==(const TCharRange&) const = default;
};

struct TCharFormat2 {
    quint32 Mask = 0;
    quint32 Effects = 0;
    int Height = 0;             // twips
    int Offset = 0;             // twips above the base line
    TColor TextColor = 0;
    quint8 CharSet = 0;
    quint8 PitchAndFamily = 0;
    QString FaceName;           // up to 31 characters
    int Weight = 0;
    TColor BackColor = 0;
};

struct TParaFormat2 {
    int Size = ParaFormat2Size;
    quint32 Mask = 0;
    quint16 Numbering = 0;
    quint16 Effects = 0;
    int StartIndent = 0, RightIndent = 0, Offset = 0;   // twips
    quint16 Alignment = 0;
    short TabCount = 0;
    int Tabs[MAX_TAB_STOPS] = {};
    int SpaceBefore = 0, SpaceAfter = 0, LineSpacing = 0;
    quint8 LineSpacingRule = 0;
    quint16 NumberingStyle = 0, NumberingTab = 0, NumberingStart = 0;
};

// One page to measure or draw: Painter draws (null while measuring) for the device Target; the
// rectangles are in twips of the target's page.
struct TFormatRange {
    QPainter* Painter = nullptr;
    QPaintDevice* Target = nullptr;
    TRect Rc;
    TRect RcPage;
    TCharRange Chrg;
};

// Stream transfer: the callback fills (reading in) or takes (writing out) at most count bytes
// and sets done; any answer but 0 stops the transfer and is kept in Error.
struct TEditStream {
    std::function<int(char* buffer, int count, int& done)> Callback;
    int Error = 0;
};

// A link notification: the mouse message, its key and button flags, the link's characters.
struct TENLink {
    int Msg = 0;
    int WParam = 0;
    TCharRange Chrg;
};

// An object kept in the text (shown by its picture or a placeholder).
struct TRichObjectInfo {
    int Position = -1;
    QString ClassName;
};

enum TSearchType { stWholeWord, stMatchCase };
using TSearchTypes = TSet<TSearchType>;
enum TNumberingStyle { nsNone, nsBullet };

// The character attributes of the selection (or the defaults for new text).
class TTextAttributes {
public:
    enum TAttributeType { atSelected, atDefaultText };
    TTextAttributes(TCustomRichEdit* control, TAttributeType type) : FControl(control), FType(type) {}
    QString Name() const;
    void SetName(const QString& name);
    int Size() const;   // points
    void SetSize(int points);
    int Height() const;   // pixels
    void SetHeight(int pixels);
    TFontStyles Style() const;
    void SetStyle(TFontStyles style);
    TColor Color() const;   // clWindowText when automatic
    void SetColor(TColor color);
    int Charset() const;
    void SetCharset(int charSet);
    int Pitch() const;   // 0 default, 1 fixed, 2 variable
    void SetPitch(int pitch);
    bool Protected() const;
    void SetProtected(bool value);
    void Assign(const QFont& font, TColor color);

private:
    TCharFormat2 Get() const;
    void Set(const TCharFormat2& format);
    TCustomRichEdit* FControl;
    TAttributeType FType;
};

// The paragraph at the selection.
class TParaAttributes {
public:
    explicit TParaAttributes(TCustomRichEdit* control) : FControl(control) {}
    TAlignment Alignment() const;
    void SetAlignment(TAlignment value);
    TNumberingStyle Numbering() const;
    void SetNumbering(TNumberingStyle value);
    int FirstIndent() const;   // points, as left and right
    void SetFirstIndent(int value);
    int LeftIndent() const;
    void SetLeftIndent(int value);
    int RightIndent() const;
    void SetRightIndent(int value);
    int TabCount() const;
    int Tab(int index) const;   // points

private:
    TCustomRichEdit* FControl;
};

// The lines of a rich edit as the framework saw them; whole content loads and saves here, as
// RTF or, with PlainText, as text. Line access is by paragraph.
class TRichEditStrings {
public:
    explicit TRichEditStrings(TCustomRichEdit* control) : FControl(control) {}
    virtual ~TRichEditStrings() = default;
    TCustomRichEdit* Control() const { return FControl; }

    virtual int Count() const;
    virtual QString Get(int index) const;
    virtual void Put(int index, const QString& text);
    virtual void Insert(int index, const QString& text);
    virtual void Delete(int index);
    virtual void Clear();
    void Add(const QString& text) { Insert(Count(), text); }
    virtual void AddStrings(const QStringList& lines);
    QStringList ToStringList() const;
    void Assign(const QStringList& lines);
    virtual QString Text() const;
    virtual void SetText(const QString& text);
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}

    // RTF unless PlainText; a stream that is not rich text loads as text. Loading raises
    // EOutOfResources "Failed to Load Stream" when neither works.
    virtual void LoadFromStream(QIODevice& stream);
    virtual void SaveToStream(QIODevice& stream);
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName);

private:
    TCustomRichEdit* FControl;
};

// Resources ran out, or a stream could not be loaded at all.
class EOutOfResources : public Exception { public: using Exception::Exception; };

class TCustomRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TCustomRichEdit(QWidget* parent = nullptr);
    ~TCustomRichEdit() override;

    // --- Streams
    // Reads RTF or text (SF_RTF / SF_TEXT, with SFF_SELECTION into the selection); answers the
    // characters read. Rich text that is refused leaves stream.Error at EditStreamBadRichText.
    int StreamIn(int format, TEditStream& stream);
    // Writes RTF (followed by a zero byte) or text (paragraphs end in CR LF).
    int StreamOut(int format, TEditStream& stream);

    // --- Lines, selection, text
    int LineCount() const;                    // paragraphs, at least 1
    int LineIndex(int line) const;            // first character; -1 for a line that does not exist
    int LineLength(int charIndex) const;      // of the line holding the character
    int LineFromChar(int charIndex) const;
    QString Line(int line, int bufferSize) const;   // at most bufferSize characters, with its end as CR
    TCharRange GetSel() const;
    void SetSel(const TCharRange& range);     // Max -1: to the end
    void ReplaceSel(const QString& text, bool canUndo = true);
    void ScrollCaret();
    QString TextRange(const TCharRange& range) const;   // paragraph ends as CR
    int CharFromPos(const QPoint& point) const;
    QPoint PosFromChar(int charIndex) const;
    int TextLength() const;

    // --- Formats
    TCharFormat2 GetCharFormat(int scf) const;
    bool SetCharFormat(int scf, const TCharFormat2& format);
    TParaFormat2 GetParaFormat(int size = ParaFormat2Size) const;
    bool SetParaFormat(const TParaFormat2& format);

    // --- Find; position of the match or -1. Without FR_DOWN a range running backwards is
    // searched from its end towards its start.
    virtual int FindTextEx(int flags, const TCharRange& range, const QString& text);

    // --- Pages: measures (Painter null or render false) or draws one page, answering the first
    // character not on it; a null range releases what was kept for measuring.
    int FormatRange(const TFormatRange* range, bool render);

    // --- Formatting rectangle, in client pixels
    void SetFormattingRect(const TRect& rect);
    TRect FormattingRect() const;

    // --- Tests
    bool CanPasteClipboard() const;
    bool CanUndoEdit() const { return document()->isUndoAvailable(); }
    bool CanRedoEdit() const { return document()->isRedoAvailable(); }
    int SelectionType() const;
    bool ObjectAtSelection(TRichObjectInfo& info) const;

    // --- Notifications
    quint32 EventMask() const { return FEventMask; }
    quint32 SetEventMask(quint32 mask);
    bool AutoUrlDetect() const { return FAutoUrlDetect; }
    void SetAutoUrlDetect(bool value);
    // The detected links, as character ranges.
    const std::vector<TCharRange>& UrlRanges() const { return FUrlRanges; }

    // --- What the framework's class offered
    TRichEditStrings* PlatformLines() const { return FPlatformLines.get(); }
    bool PlainText() const { return FPlainText; }
    void SetPlainText(bool value) { FPlainText = value; }
    int SelStart() const;
    void SetSelStart(int value);
    int SelLength() const;
    void SetSelLength(int value);
    QString SelText() const;
    void SetSelText(const QString& text) { ReplaceSel(text); }
    TTextAttributes* SelAttributes() { return &FSelAttributes; }
    TTextAttributes* DefAttributes() { return &FDefAttributes; }
    TParaAttributes* Paragraph() { return &FParagraph; }
    // The plain text, paragraphs separated by line feeds.
    QString Text() const;
    void SetText(const QString& text);
    void Clear();
    bool Modified() const;
    void SetModified(bool value);
    bool ReadOnly() const { return isReadOnly(); }
    virtual void SetReadOnly(bool value) { setReadOnly(value); }
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value) { FMaxLength = qMax(value, 0); }
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    bool HideScrollBars() const { return FHideScrollBars; }
    void SetHideScrollBars(bool value);
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value);
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    // Page rectangle for printing, in printer pixels; empty: the whole printable page.
    TRect PageRect;
    int FindText(const QString& text, int start, int length, TSearchTypes options);
    // Prints the whole content on the program's printer.
    virtual void Print(const QString& caption);
    void CutToClipboard() { cut(); }
    void CopyToClipboard() { copy(); }
    void PasteFromClipboard() { paste(); }
    void SelectAll() { selectAll(); }
    // The screen's vertical resolution, for pixels and twips.
    int ScreenPixelsPerInch() const { return FPixelsPerInch; }

    std::function<void(QObject* sender)> OnChange;
    std::function<void(QObject* sender)> OnSelectionChange;
    std::function<void(QObject* sender, int startPos, int endPos, bool& allowChange)> OnProtectChange;

protected:
    // Notifications, as the control sends them (each only while its event-mask bit is set).
    virtual void Change();
    virtual void SelectionChange();
    virtual bool ProtectChange(int startPos, int endPos);
    virtual void LinkNotify(const TENLink& link);

    // Prints pages from character 0 within a page rectangle (twips of the printable area).
    void PrintPages(TPrinter& printer, const QString& title, const TRect& pageTwips);
    // True when a change of the range may go ahead (asks ProtectChange for protected text).
    bool CheckProtected(int start, int end);
    // Set while content is loaded: no change notifications.
    bool FLoadingContent = false;

    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    void ContentsChange(int position, int removed, int added);
    void CursorMoved();
    void DetectUrls();
    void ApplyExtraSelections();
    bool LinkAt(const QPoint& point, TCharRange& range) const;
    void ApplyFormattingRect();
    void ApplySelectionPalette();
    void EnforceMaxLength();
    QTextCursor SelectionCursor(int scf) const;
    QString PlainTextOf(int start, int end) const;
    void InsertPlainText(QTextCursor& cursor, const QString& text);

    std::unique_ptr<TRichEditStrings> FPlatformLines;
    TTextAttributes FSelAttributes{this, TTextAttributes::atSelected};
    TTextAttributes FDefAttributes{this, TTextAttributes::atDefaultText};
    TParaAttributes FParagraph{this};
    bool FPlainText = false;
    quint32 FEventMask = ENM_CHANGE | ENM_SELCHANGE | ENM_PROTECTED;
    bool FAutoUrlDetect = false;
    std::vector<TCharRange> FUrlRanges;
    int FMaxLength = 0;
    bool FHideSelection = true;
    bool FHideScrollBars = true;
    bool FWantTabs = false;
    bool FWantReturns = true;
    bool FWordWrap = true;
    TScrollStyle FScrollBars = ssBoth;
    TRect FFormattingRect;
    bool FHasFormattingRect = false;
    int FPixelsPerInch = 96;
    TCharRange FLastSelection{-1, -1};
    // Kept for measuring pages until released.
    std::unique_ptr<QTextDocument> FLayoutCache;
    double FLayoutWidth = -1;
    bool FLinkPressed = false;
};
