#pragma once
// The grid library's rich-text edit and its data-aware form, with their companions: the
// string-list view of the lines, the memory stream of every content transfer, the stream
// callbacks, the protection handler used while a field loads, and the print margins.
// Execute opens the editor window (unit kqrich) on a copy of the content and takes it back
// on OK; formatted memo fields load into the data-aware control and save from it as RTF.

#include "gridlib/core/Kqtypes.h"
#include "platform/data/DB.h"
#include "platform/vcl/CommonDialogs.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/RichEdit.h"

#include <QBuffer>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QContextMenuEvent;
class TkqCustomRichEdit;
class TkqRichEditForm;

enum TkqRichEditPopupOption {
    rpoPopupEdit, rpoPopupCut, rpoPopupCopy, rpoPopupPaste, rpoPopupBold, rpoPopupItalic, rpoPopupUnderline,
    rpoPopupFont, rpoPopupBullet, rpoPopupParagraph, rpoPopupTabs, rpoPopupFind, rpoPopupReplace,
    rpoPopupInsertObject, rpoPopupMSWordSpellCheck
};
using TkqRichEditPopupOptions = TSet<TkqRichEditPopupOption>;
enum TkqRichEditOption {
    reoShowLoad, reoShowSaveAs, reoShowSaveExit, reoShowPrint, reoShowPageSetup, reoShowFormatBar,
    reoShowToolBar, reoShowStatusBar, reoShowHints, reoShowRuler, reoShowInsertObject, reoCloseOnEscape,
    reoFlatButtons, reoShowSpellCheck, reoShowMainMenuIcons, reoShowJustifyButton, reoUseBackColor,
    reoNoConfirmation
};
using TkqRichEditOptions = TSet<TkqRichEditOption>;
enum TkqRichEditOleOption { reoAdjustPopupMenu, reoDisableOLE };
using TkqRichEditOleOptions = TSet<TkqRichEditOleOption>;
enum TkqRichEditWidth { rewWindowSize, rewPrinterSize };
enum TkqMeasurementUnits { muInches, muCentimeters };

// The print margins of a rich edit, in its measurement units.
class TkqPrintMargins : public QObject {
    Q_OBJECT
    Q_PROPERTY(double Top MEMBER Top)
    Q_PROPERTY(double Bottom MEMBER Bottom)
    Q_PROPERTY(double Left MEMBER Left)
    Q_PROPERTY(double Right MEMBER Right)
public:
    explicit TkqPrintMargins(QObject* parent = nullptr) : QObject(parent) {}
    double Top = 1.0, Bottom = 1.0, Left = 1.0, Right = 1.0;
    // Copies another set of margins; any other source is ignored.
    void Assign(const QObject* source);
};

// The memory stream of content transfers: its capacity grows in steps of 128 KB.
class TkqRichMemoryStream : public QBuffer {
    Q_OBJECT
public:
    static constexpr qint64 GrowthStep = 131072;
    explicit TkqRichMemoryStream(QObject* parent = nullptr);
    qint64 Capacity() const { return FCapacity; }
    // Rounded up to the step; 0 frees the memory. Raises EStreamError "Out of memory while
    // expanding memory stream" when the memory cannot be had (the old block stays).
    void SetCapacity(qint64 capacity);

protected:
    qint64 writeData(const char* data, qint64 length) override;

private:
    qint64 FCapacity = 0;
};

// Stream callbacks with a memory stream as their cookie: the read callback copies what is
// left (at most the request), the write callback appends.
int RichStreamRead(QIODevice& stream, char* buffer, int count, int& done);
int RichStreamWrite(QIODevice& stream, const char* buffer, int count, int& done);
// The selection out as RTF into the stream, and the stream (from its start) in as RTF
// replacing the selection.
void StreamOutSelection(TCustomRichEdit* control, QIODevice& stream);
void StreamInSelection(TCustomRichEdit* control, QIODevice& stream);

// Lets every protected change through (installed while a field loads).
class TRichProtectClass {
public:
    void AllowProtectChange(QObject* sender, int startPos, int endPos, bool& allowChange);
};

// The string-list view of the control's lines: line access through the control's line
// services, whole content through the platform lines.
class TkqRichEditStrings : public TRichEditStrings {
public:
    explicit TkqRichEditStrings(TCustomRichEdit* control) : TRichEditStrings(control) {}
    int Count() const override;
    QString Get(int index) const override;
    void Put(int index, const QString& text) override;
    void Insert(int index, const QString& text) override;
    void Delete(int index) override;
    void Clear() override;
    void AddStrings(const QStringList& lines) override;
    void SetText(const QString& text) override;
    void BeginUpdate() override;
    void EndUpdate() override;
    void LoadFromStream(QIODevice& stream) override;
    void SaveToStream(QIODevice& stream) override;

private:
    int FUpdateCount = 0;
};

// The editor window's events.
using TkqOnRichEditDlgEvent = std::function<void(QWidget* form)>;
using TkqURLOpenEvent = std::function<void(TkqCustomRichEdit* sender, const QString& urlLink, bool& useDefault)>;
using TkqRTFNotifyEvent = std::function<void(QWidget* form, TkqCustomRichEdit* richEdit, bool& doDefault)>;

class TkqCustomRichEdit : public TCustomRichEdit {
    Q_OBJECT
    Q_PROPERTY(int RichEditVersion READ RichEditVersion WRITE SetRichEditVersion)
    Q_PROPERTY(QString EditorCaption MEMBER EditorCaption)
    Q_PROPERTY(int PrintPageSize READ PrintPageSize WRITE SetPrintPageSize)
    Q_PROPERTY(QString PrintJobName MEMBER PrintJobName)
    Q_PROPERTY(int HighlightColor MEMBER HighlightColor)
    Q_PROPERTY(QString Title MEMBER Title)
    Q_PROPERTY(int GutterWidth READ GutterWidth WRITE SetGutterWidth)
    Q_PROPERTY(bool AutoURLDetect READ AutoURLDetect WRITE SetAutoURLDetect)
    Q_PROPERTY(bool AutoSelect MEMBER AutoSelect)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)

public:
    explicit TkqCustomRichEdit(QWidget* parent = nullptr);
    ~TkqCustomRichEdit() override;

    // A new control of this one's class (the editor window's editing control is one).
    virtual TkqCustomRichEdit* NewInstance(QWidget* parent) const { return new TkqCustomRichEdit(parent); }

    // --- Properties
    TkqRichEditPopupOptions PopupOptions;
    TkqRichEditOptions EditorOptions;
    QString EditorCaption = QStringLiteral("Edit Rich Text");
    TkqFormPosition* EditorPosition() const { return FEditorPosition; }
    TkqMeasurementUnits MeasurementUnits = muInches;
    TkqPrintMargins* PrintMargins() const { return FPrintMargins; }
    TkqRichEditWidth EditWidth = rewWindowSize;
    int PrintPageSize() const { return FPrintPageSize; }
    void SetPrintPageSize(int value);
    QString PrintJobName;
    TColor HighlightColor = 65535;
    QString Title;
    QPointer<QWidget> UserSpeedButton1, UserSpeedButton2;
    TkqRichEditOleOptions OleOptions() const { return FOleOptions; }
    void SetOleOptions(TkqRichEditOleOptions options) { FOleOptions = options; }
    int GutterWidth() const { return FGutterWidth; }
    void SetGutterWidth(int value);
    bool AutoURLDetect() const { return AutoUrlDetect(); }
    void SetAutoURLDetect(bool value);
    bool AutoSelect = false;
    TkqRichEditStrings* Lines() const { return FLines.get(); }
    void SetLines(const QStringList& lines) { PlatformLines()->Assign(lines); }

    TkqOnRichEditDlgEvent OnInitDialog, OnCloseDialog, OnCreateDialog;
    TkqURLOpenEvent OnURLOpen;
    TkqRTFNotifyEvent OnMenuLoadClick, OnMenuPrintClick, OnMenuSaveAsClick, OnMenuSaveAndExitClick;

    // Switches read by window creation, showing, character-set lookup and object double
    // click (1, 2, 4, 6); element 0 is set while FindTextRange runs.
    std::array<int, 7> RichBehaviourFlags{0, 0, 0, 0, 0, 0, 0};

    // --- Loading and the component stream
    using TCustomRichEdit::StreamIn;
    // RTF (text with PlainText) from the stream's position; pieceLimit > 0 reads only the first
    // pieces (2: one piece, as a grid cell's preview). Whole content that fails as RTF loads
    // as text; failing again raises EOutOfResources "Failed to Load Stream".
    virtual void StreamIn(QIODevice& stream, bool selectionOnly, int pieceLimit);
    int RichEditVersion() const { return FRichEditVersion; }
    void SetRichEditVersion(int value) { FRichEditVersion = value; }
    // The "Data" property: a 32-bit little-endian count and the content as the platform lines
    // save it; empty (not written) while a field is bound.
    QByteArray WriteDataProperty();
    // Reads a "Data" value from its start and answers the bytes it took (4 + the count, as
    // stated, also when a bound field leaves them unread).
    qsizetype ReadDataProperty(QByteArrayView value);
    // Reading a component stream: the properties found ("RichEditVersion", "Data") and, for
    // older streams, the text as lines.
    void ReadState(const QMap<QString, QVariant>& properties, const QStringList& lines = {});

    // --- Character formats
    void SetSelFont(const QString& faceName, int size, TColor color, TFontStyles style);
    void SetSelBold(bool on);
    void SetSelItalic(bool on);
    void SetSelUnderline(bool on);
    void SetSelEffect(int effect, bool on);
    void SetSelHighlight(TColor color);
    TColor GetSelHighlight();
    int GetFontCharset(const QString& faceName);

    // --- Paragraph formats
    using TCustomRichEdit::GetParaFormat;
    using TCustomRichEdit::SetParaFormat;
    void GetParaFormat(TParaFormat2& format);
    void GetParaIndents(int& offset, int& rightIndent, int& startIndent);
    // Mask bits: 0 alignment, 1 numbering, 2 offset, 3 right indent, 4 start indent, 5 tab
    // stops, 6 space before, 7 space after, 8 line spacing.
    void SetParaFormat(quint16 mask, const QString& alignment, bool bullet, int offset, int rightIndent,
                       int startIndent, int tabCount, const int* tabs, int spaceBefore, int spaceAfter,
                       int lineSpacing, int lineSpacingKind);
    void SetBullets(bool on);

    bool CanPaste();
    bool CanUndo() const { return CanUndoEdit(); }
    bool CanRedo() const { return CanRedoEdit(); }
    bool HasSelText() const { return SelLength() > 0; }
    bool HasFindText() const { return !FLastFindText.isEmpty(); }

    // --- Find and replace, fonts, units, printing
    int FindTextEx(int flags, const TCharRange& range, const QString& text) override;
    QString LastFindText() const { return FLastFindText; }
    TFindDialog* FindDialogObject() const { return FFindDialog; }
    TReplaceDialog* ReplaceDialogObject() const { return FReplaceDialog; }
    TFontDialog* FontDialogObject() const { return FFontDialog; }
    QString UnitsText(double length) const;
    QString RoundedUnitsText(int stepPerUnit, double length) const;
    int UnitsTextToTwips(const QString& text) const;
    double TwipsToUnits(int twips) const;
    void GetPrintRect(TRect& rect) const;
    void ApplyPaperSize();
    bool IsPrinterWidth() const;
    void Print(const QString& jobTitle) override;

    // The formatting rectangle from the gutter, the border and the printer width.
    void UpdateEditRect();
    // The click a grid passed on (its message time), turned into a double click by a press
    // that follows within the double-click time.
    qint64 GridClickTime = 0;
    // The editor window while Execute runs.
    TkqRichEditForm* EditorForm() const { return FEditorForm; }

    // --- Virtual operations, in the order the class introduces them
    virtual void RemoveHighlightCodes();
    virtual bool GetReadOnly() { return ReadOnly(); }
    virtual void BeginFieldChange() {}
    virtual void SaveToField() {}
    virtual bool IsContentLoaded() { return true; }
    virtual TField* GetField() { return nullptr; }
    virtual void DoURLOpen(const QString& urlLink, bool& useDefault);
    virtual bool PaintsTransparent() const { return false; }
    virtual void LoadFromField() {}
    virtual void CreatePopupMenu();
    virtual void CreateDialogs();
    virtual int FindTextRange(const QString& text, int start, int length, TSearchTypes options);
    // Embedded objects need the platform's object linking, which does not exist here: none is
    // inserted, and the properties shown are the object's type and where it lives.
    virtual bool InsertObjectDialog() { return false; }
    virtual bool ObjectPropertiesDialog();
    virtual bool Execute();
    virtual void FindDialog();
    virtual void ReplaceDialog();
    virtual void FontDialog();
    virtual bool ParagraphDialog();
    virtual bool TabsDialog();
    virtual void FindNext();
    virtual void ReplaceNext();
    virtual bool ReplaceText(const QString& findText, const QString& replacement, TSearchTypes options);
    virtual void DoInitDialog(QWidget* form);
    virtual void DoCloseDialog(QWidget* form);
    virtual void DoCreateDialog(QWidget* form);
    virtual bool SpellCheck() { return true; }
    // There is no word processor to automate here: shows RichEditMSWordNotFound, false.
    virtual bool PrintWithWord(const QString& documentName);

    // --- The popup menu: the default one (built by CreatePopupMenu) unless another is set
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* menu) { FPopupMenu = menu; }
    TPopupMenu* DefaultPopupMenu() const { return FDefaultPopup; }
    TMenuItem* PopupItem(const QString& name) const;
    // Captions from the library texts.
    void ReadPopupCaptions();
    // As the default menu opens: captions, visibility, enabling and check marks.
    void PopupMenuOpening();
    // The menu to show, with the items of an object at the selection.
    TPopupMenu* BuildObjectMenu();

    // Content from one control to another (the editor window's copy and copy back).
    friend void CopyRichContent(TkqCustomRichEdit* source, TCustomRichEdit* destination);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void LinkNotify(const TENLink& link) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void SearchStep(TFindDialog* dialog, bool replacing, const QString& replacement);
    void OpenSearchDialog(TFindDialog* dialog);

    std::unique_ptr<TkqRichEditStrings> FLines;
    TkqFormPosition* FEditorPosition;
    TkqPrintMargins* FPrintMargins;
    int FPrintPageSize = 1;
    TkqRichEditOleOptions FOleOptions{reoAdjustPopupMenu};
    int FGutterWidth = 3;
    int FRichEditVersion = 2;
    bool FDataRead = false;
    QPointer<TFindDialog> FFindDialog;
    QPointer<TReplaceDialog> FReplaceDialog;
    QPointer<TFontDialog> FFontDialog;
    QString FLastFindText;
    int FWrapAnchor = 0;
    bool FWrapped = false;
    bool FSavedHideSelection = true;
    bool FLinkPressed = false;
    TkqRichEditForm* FEditorForm = nullptr;
    int FLastFirstVisible = -1, FLastLineCount = -1;
    TPopupMenu* FDefaultPopup = nullptr;
    QPointer<TPopupMenu> FPopupMenu;
    std::vector<TMenuItem*> FObjectItems;
};

class TkqDBRichEdit : public TkqCustomRichEdit {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool AutoDisplay READ AutoDisplay WRITE SetAutoDisplay)
    Q_PROPERTY(bool ReadOnly READ GetReadOnly WRITE SetReadOnly)

public:
    explicit TkqDBRichEdit(QWidget* parent = nullptr);
    ~TkqDBRichEdit() override;
    TkqCustomRichEdit* NewInstance(QWidget* parent) const override { return new TkqDBRichEdit(parent); }

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name);
    TField* Field() const { return FDataLink.Field(); }
    bool AutoDisplay() const { return FAutoDisplay; }
    void SetAutoDisplay(bool value);
    bool GetReadOnly() override;
    void SetReadOnly(bool value) override;

    // The whole value of a blob field (RTF, else text); afterwards Text is its plain text.
    void LoadFromBlobField(TField* field);
    // The first pieces of the field's value as formatted text; the content counts as not
    // loaded afterwards, so editing loads the full value first.
    void LoadFieldParagraphs(TField* field, int pieceLimit);
    // The same from stored bytes, for a grid that reads values itself.
    void LoadFromBytes(const QByteArray& bytes);
    void LoadBytesParagraphs(const QByteArray& bytes, int pieceLimit);
    bool IsBlobField() const;

    void LoadFromField() override;
    void SaveToField() override;
    void BeginFieldChange() override;
    bool IsContentLoaded() override { return FLoaded; }
    TField* GetField() override { return FDataLink.Field(); }
    TFieldDataLink* DataLink() { return &FDataLink; }

protected:
    void Change() override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    bool event(QEvent* event) override;

private:
    void DataChange();
    void EditingChange();
    void UpdateData();
    void LoadBytes(const QByteArray& bytes);
    bool IsVisibleControl() const;

    TFieldDataLink FDataLink;
    bool FAutoDisplay = true;
    bool FLoaded = false;
    bool FKeepingText = false;
    QByteArray FKeptText;
    bool FFocused = false;
    bool FDataFieldSet = false;
    bool FChangingParent = false;
    bool FOwnReadOnly = false;
    QMetaObject::Connection FSourceGone;
};

// Plugs the rich-text control into the grid library's rich-text-to-plain seam.
void RegisterRichTextReader();

class TkqTrackIcon;

// The editor window's ruler: a white scale in the editing control's measurement units and
// three markers that show and set the paragraph's first-line, left and right indents.
class TkqRulerPanel : public QWidget {
    Q_OBJECT
public:
    explicit TkqRulerPanel(QWidget* parent = nullptr);

    // The control whose paragraph the ruler shows (its resolution converts pixels and twips).
    TkqCustomRichEdit* RichEdit() const { return FRichEdit; }
    void SetRichEdit(TkqCustomRichEdit* edit) { FRichEdit = edit; }

    // The scale area: (6, 4, Width - 6, Height - 4).
    TRect InnerRect() const { return TRect(6, 4, width() - 6, height() - 4); }
    // Creates the three markers at their first places.
    void CreateMarkers();
    TkqTrackIcon* LeftMarker() const { return FLeftMarker; }
    TkqTrackIcon* RightMarker() const { return FRightMarker; }
    TkqTrackIcon* FirstLineMarker() const { return FFirstMarker; }

    double PixelsPerUnit() const;
    int TwipsFromPixels(int pixels) const;
    int PixelsFromTwips(int twips) const;
    // The scale's length in units: the printable width at printer width, else the control's.
    double Extent() const;
    // Sizes the ruler to the printer page less the margins.
    void SetPrinterWidth();
    // Places the markers from the paragraph's indents.
    void UpdateMarkers();
    // Snaps the dragged marker and writes the indents to the paragraph.
    void MarkerEndDrag(TkqTrackIcon* marker);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int Resolution() const;
    int Snapped(const TkqTrackIcon* marker) const;

    QPointer<TkqCustomRichEdit> FRichEdit;
    TkqTrackIcon* FLeftMarker = nullptr;
    TkqTrackIcon* FRightMarker = nullptr;
    TkqTrackIcon* FFirstMarker = nullptr;
};
