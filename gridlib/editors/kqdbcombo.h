#pragma once
// The library's edits with a button at their right edge, and the data-aware combo box.
//
// TkqDBCustomCombo is the data-aware edit with an embedded drop-down arrow, ellipsis or custom
// glyph: the button sits in a small container at the right edge, the typed text stays clear
// of it, F4 and Alt+Up/Down open and close the drop-down, and a click on the button (or, for
// a combo that cannot be typed into, on the combo itself) toggles it. What drops down is the
// descendant's business: the base only runs a dialog handler.
//
// TkqDBComboBox drops down a list of its Items. Each line is a display text, a tab and the
// value the field stores; with MapList the edit (and the grid's cells) show the display text
// while the field keeps the stored one. The list is a top-level window that never takes the
// focus: the edit keeps it and hands the list the keys it wants. While a list is open one
// application event filter watches for presses outside it (a press elsewhere accepts the
// selected line); it exists only while a list is open.
//
// TkqHistoryList keeps what the user entered in a combo, in an INI section or under a registry
// key path (an INI file of the same layout under the user's configuration folder).

#include "gridlib/core/kqdbedit.h"
#include "gridlib/core/kqframe.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Menus.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>

class TkqDBCustomCombo;
class TkqDBCustomComboBox;
class TkqComboDlgButton;
class TkqPopupListbox;

enum TkqComboButtonStyle { cbsEllipsis, cbsDownArrow, cbsCustom };
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
enum TkqStorageType { stRegistry, stIniFile };

// The bitmap "KQDROPDOWN": the flat drop-down arrow, its corner colour transparent.
TBitmap KqDropDownGlyph();

// What a button container, its button and the button effects need of the edit they belong
// to. The combo serves it; so may any other edit that carries the same kind of button.
class TkqComboButtonHost {
public:
    virtual ~TkqComboButtonHost() = default;
    virtual QWidget* HostControl() = 0;
    virtual TkqButtonEffects* HostButtonEffects() const = 0;
    virtual QWidget* HostButton() const = 0;
    // Set while the edit's parent repaints what lies behind the button: the button and its
    // container neither paint nor erase meanwhile.
    virtual bool PaintingSuspended() const = 0;
    // The edit leaves its background to what lies behind it (a transparent frame in effect).
    virtual bool HostPaintsTransparent() const = 0;
    virtual bool HostFocused() const = 0;
    virtual int HostBorderStyle() const = 0;
    // Loads the flat drop-down glyph when the effects ask for it.
    virtual void ApplyFlatGlyph() = 0;
};

// The button container: a small window at the edit's right edge. Its owner must serve
// TkqComboButtonHost (another owner is an invalid cast).
class TBtnWinControl : public QWidget, public TkqCopyPaintable {
    Q_OBJECT
public:
    explicit TBtnWinControl(QWidget* owner);
    TkqComboButtonHost* Host() const { return FHost; }
    void PaintCopy(TCanvas& canvas) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Erase(TCanvas& canvas);
    TkqComboButtonHost* FHost;
};

// The button effects of an edit with a button: a change loads the flat glyph when asked for.
class TkqComboButtonEffects : public TkqButtonEffects {
    Q_OBJECT
public:
    using TkqButtonEffects::TkqButtonEffects;
    void ApplyToControl() override;
};

// The combo's button: a speed button (glyph, flat, up or down, mouse over) whose face the
// combo draws.
class TkqComboDlgButton : public QWidget, public TkqCopyPaintable {
    Q_OBJECT
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

public:
    TkqComboDlgButton(TkqDBCustomCombo* combo, QWidget* parent);

    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    const TBitmap& Glyph() const { return FGlyph; }
    void SetGlyph(const TBitmap& glyph);
    TButtonState State() const { return FState; }
    bool MouseInControl() const { return FMouseInControl; }
    // Resets the pressed and mouse-over state (the combo does so when it loses the focus).
    void ResetState();

    // The click handler; the combo removes it when its button acts on the press.
    std::function<void(QObject*)> OnClick;
    void Click();
    // The button's own painting (the widget's paint uses it).
    void PaintButton(TCanvas& canvas);
    void PaintCopy(TCanvas& canvas) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    friend class TkqDBCustomCombo;
    void Press();
    void SetMouseInControl(bool inside);
    TkqDBCustomCombo* FCombo;
    TBitmap FGlyph;
    bool FFlat = false;
    bool FTransparent = false;
    TButtonState FState = bsUp;
    bool FMouseInControl = false;
};

class TkqDBCustomCombo : public TkqDBCustomEdit, public TkqComboButtonHost {
    Q_OBJECT
    Q_PROPERTY(int ButtonStyle READ ButtonStyleValue WRITE SetButtonStyleValue)
    Q_PROPERTY(int ButtonWidth READ ButtonWidth WRITE SetButtonWidth)
    Q_PROPERTY(bool ShowButton READ GetShowButton WRITE SetShowButton)
    Q_PROPERTY(bool LimitEditRect READ LimitEditRect WRITE SetLimitEditRect)
    Q_PROPERTY(TkqButtonEffects* ButtonEffects READ ButtonEffects)

public:
    explicit TkqDBCustomCombo(QWidget* parent = nullptr);
    ~TkqDBCustomCombo() override;

    TBtnWinControl* ButtonContainer() const { return FBtnControl; }
    TkqComboDlgButton* Button() const { return FButton; }
    TkqButtonEffects* ButtonEffects() const { return FButtonEffects; }
    TkqComboButtonStyle ButtonStyle() const { return FButtonStyle; }
    void SetButtonStyle(TkqComboButtonStyle value);
    // 0: automatic (the larger of the scroll bar's width and 15).
    int ButtonWidth() const { return FButtonWidth; }
    void SetButtonWidth(int value);
    const TBitmap& ButtonGlyph() const { return FButton->Glyph(); }
    void SetButtonGlyph(const TBitmap& glyph);
    bool LimitEditRect() const { return FLimitEditRect; }
    void SetLimitEditRect(bool value);
    bool AutoEditOnDialog = true;
    // Runs on the drop-down of the base (an ellipsis that opens a dialog).
    std::function<void(TkqDBCustomCombo*)> CustomDialogHandler;
    // Fired by a click on a combo that cannot be typed into (left button, shift, x, y).
    std::function<void(QObject*, TMouseButton, TShiftState, int, int)> OnMouseDown;
    std::function<void(QObject*, int& key, TShiftState)> OnKeyDown;
    std::function<void(QObject*, QChar& key)> OnKeyPress;
    std::function<void(QObject*, int& key, TShiftState)> OnKeyUp;
    std::function<void(QObject*)> OnClick;

    // Whether a custom glyph would be stored: only for cbsCustom.
    virtual bool IsButtonGlyphStored() const { return FButtonStyle == cbsCustom; }
    // Draws the button face; DefaultDraw stays true when the button's glyph should show.
    virtual void DrawButton(TCanvas& canvas, const TRect& rect, bool& defaultDraw, TControlState controlState,
                            TButtonState buttonState);
    // Whether text may be typed.
    virtual bool IsEditable() const { return true; }
    virtual void CloseUp(bool accept);
    virtual void DropDown();

    bool IsCaretShown() const override { return true; }
    bool GetShowButton() const override;
    void SetShowButton(bool value) override;
    bool IsDroppedDown() const override { return FDroppedDown; }
    int GetButtonWidth() const override;
    int GetButtonLeft() const override;
    void SetEditRect() override;

    // Toggles the drop-down: closes it accepting when open, else opens it.
    void Toggle();
    // F4, Alt+Up/Down and, while dropped down, Enter and Escape; true (key 0) when taken.
    bool HandleDropDownKey(int& key, TShiftState shift);
    // Recomputes the container and button bounds and the edit rectangle.
    void PlaceButton();
    // The button's click: closes an open drop-down, else takes the focus and drops down.
    void ButtonClick();

    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& key) override;
    void KeyUp(int& key, TShiftState shift) override;

    // TkqComboButtonHost
    QWidget* HostControl() override { return this; }
    TkqButtonEffects* HostButtonEffects() const override { return FButtonEffects; }
    QWidget* HostButton() const override { return FButton; }
    bool PaintingSuspended() const override { return FPaintingSuspended; }
    bool HostPaintsTransparent() const override { return PaintsTransparent(); }
    bool HostFocused() const override { return Focused(); }
    int HostBorderStyle() const override { return BorderStyle(); }
    void ApplyFlatGlyph() override;

    // Whether the mouse was over the button at its last paint.
    bool MouseInButton() const { return FMouseInButton; }

protected:
    friend class TkqComboDlgButton;
    // The key as the window gets it: the key-down part goes to KeyDownMessage, a character
    // it produces to CharMessage (also after the key-down part took the key, as a typed
    // character arrives apart from its key), then whatever is left to the line edit.
    void keyPressEvent(QKeyEvent* event) override;
    virtual void KeyDownMessage(int& key, TShiftState shift) { KeyDown(key, shift); }
    virtual void CharMessage(QChar& key) { KeyPress(key); }
    // Cut through the keyboard or the menu.
    virtual void DoCut() { CutToClipboard(); }

    void DoEnter() override;
    void DoExit() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

    // Repaints what lies behind a flat or transparent button, then the button.
    void RefreshButtonArea();
    void SetDroppedDownFlag(bool value) { FDroppedDown = value; }
    // Also a combo that is being destroyed answers nothing more.
    bool FDestroying = false;

private:
    int ButtonStyleValue() const { return int(FButtonStyle); }
    void SetButtonStyleValue(int v) { SetButtonStyle(TkqComboButtonStyle(v)); }
    void ToggleOnClick(QMouseEvent* event);
    void ApplyAutomaticButtonWidth();
    void PlaceButtonBounds();

    TBtnWinControl* FBtnControl = nullptr;
    TkqComboDlgButton* FButton = nullptr;
    TkqComboButtonStyle FButtonStyle = cbsEllipsis;
    bool FDroppedDown = false;
    bool FMouseInButton = false;
    bool FLimitEditRect = false;
    TkqComboButtonEffects* FButtonEffects = nullptr;
    int FButtonWidth = 0;
    bool FPaintingSuspended = false;
    bool FReleaseCapture = false;
    bool FDropDownKeyTaken = false;
};

// ---------------------------------------------------------------------------------------------
// The history of a combo box

class TkqHistoryList : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Enabled MEMBER Enabled)
    Q_PROPERTY(QString Section MEMBER Section)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(int MaxSize MEMBER MaxSize)
    Q_PROPERTY(int StorageType READ StorageTypeValue WRITE SetStorageTypeValue)
    Q_PROPERTY(bool MRUEnabled MEMBER MRUEnabled)
    Q_PROPERTY(int MRUMaxSize MEMBER MRUMaxSize)

public:
    explicit TkqHistoryList(TkqDBCustomComboBox* owner = nullptr);
    // Saves, unless the owner combo is being designed.
    ~TkqHistoryList() override;

    bool Enabled = false;
    // INI section, or the value name under the registry key path.
    QString Section;
    // How many of the newest entries a save writes; 0 or less: all.
    int MaxSize = -1;
    TkqStorageType StorageType = stIniFile;
    bool MRUEnabled = false;
    int MRUMaxSize = 2;

    // The effective file name (or key path): the one set, else the library's setting, else
    // for INI storage with an owner combo the program's bare name with ".ini".
    QString FileName() const;
    void SetFileName(const QString& name) { FFileName = name; }
    // The entries, oldest first.
    QStringList& Entries() { return FEntries; }
    const QStringList& Entries() const { return FEntries; }
    TkqDBCustomComboBox* Owner() const { return FOwner; }

    // min(MRUMaxSize, entries) when enabled with its MRU block, else 0.
    int MRUCount() const;
    // Brings the entries up to date from the store (when one is configured) and appends to
    // target each entry it does not hold yet (compared ignoring case).
    void LoadInto(QStringList& target);
    // Writes the entries to the store (when one is configured).
    void Save();
    // The settings file in use; empty when the history lives in memory only.
    QString StorePath() const;

private:
    int StorageTypeValue() const { return int(StorageType); }
    void SetStorageTypeValue(int v) { StorageType = TkqStorageType(v); }
    QString FFileName;
    QStringList FEntries;
    TkqDBCustomComboBox* FOwner;
};

// ---------------------------------------------------------------------------------------------
// The data-aware combo box

// The combo's Items: each change marks the drop-down list for refilling.
class TkqComboStringList {
public:
    explicit TkqComboStringList(TkqDBCustomComboBox* combo) : FCombo(combo) {}
    int Count() const { return int(FLines.size()); }
    const QString& Strings(int index) const { return FLines.at(index); }
    const QString& operator[](int index) const { return FLines.at(index); }
    const QStringList& Lines() const { return FLines; }
    // Sorted lists keep their lines in order (ignoring case); Add puts a line in its place.
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    int Add(const QString& line);
    void Insert(int index, const QString& line);
    void Delete(int index);
    void Clear();
    void Exchange(int a, int b);
    void Assign(const QStringList& lines);
    // Index of the line equal to the text ignoring case; -1 when none.
    int IndexOf(const QString& text) const;
    void Sort();

private:
    void Changed();
    TkqDBCustomComboBox* FCombo;
    QStringList FLines;
    bool FSorted = false;
};

enum TkqListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

// The drop-down list: a top-level window without focus of its own that draws its selection as
// focused while the edit keeps the real focus.
class TkqPopupListbox : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TkqPopupListbox(TkqDBCustomComboBox* combo);

    TkqDBCustomComboBox* Combo() const { return FCombo; }
    int Count() const { return int(FLines.size()); }
    const QStringList& Lines() const { return FLines; }
    QString Line(int index) const { return FLines.value(index); }
    void SetLines(const QStringList& lines);
    int Add(const QString& line);
    void Insert(int index, const QString& line);
    void Delete(int index);
    void Clear();
    // Ignoring case, as the list window searches.
    int IndexOf(const QString& text) const;
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    TkqListBoxStyle Style() const { return FStyle; }
    void SetStyle(TkqListBoxStyle style);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int height);
    int ItemIndex() const { return FItemIndex; }
    // Selects (and scrolls to) a line; -1 removes the selection. No notification.
    void SetItemIndex(int index);
    int TopIndex() const;
    void SetTopIndex(int index);
    // The rectangle of a line in the viewport.
    TRect ItemRect(int index) const;
    int ItemAtPos(const QPoint& viewportPos) const;

    // The first line equal to the text ignoring case, after start (-1: from the beginning),
    // wrapping; -1 when none.
    int FindStringExact(int start, const QString& text) const;
    // Selects the first line that begins with the text ignoring case, searching after start
    // and wrapping; answers its index, -1 when none (the selection stays).
    int SelectString(int start, const QString& text);

    // Keys the combo hands over while the list is open.
    void KeyDownMessage(int& key, TShiftState shift);
    // Type-ahead: true when the list took the character.
    void KeyPressMessage(QChar& key);
    QString SearchText() const { return FSearchText; }
    // Milliseconds since the start of the program, replaceable in tests.
    static std::function<qint64()> TickCount;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // A user's selection change (keys or mouse).
    void ChangeSelection(int index);
    void UpdateScrollRange();
    void InsertSorted(const QString& line);

    TkqDBCustomComboBox* FCombo;
    QStringList FLines;
    bool FSorted = false;
    TkqListBoxStyle FStyle = lbStandard;
    int FItemHeight = 11;
    int FItemIndex = -1;
    QString FSearchText;
    qint64 FLastSearchTick = 0;
    bool FTracking = false;
};

using TDrawItemEvent = std::function<void(QObject* control, int index, const TRect& rect, TOwnerDrawState state)>;
using TMeasureItemEvent = std::function<void(QObject* control, int index, int& height)>;

class TkqDBCustomComboBox : public TkqDBCustomCombo {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ ItemsList WRITE SetItems)
    Q_PROPERTY(bool MapList READ MapList WRITE SetMapList)
    Q_PROPERTY(int Style READ StyleValue WRITE SetStyleValue)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(int DropDownCount MEMBER DropDownCount)
    Q_PROPERTY(int DropDownWidth MEMBER DropDownWidth)
    Q_PROPERTY(int ItemHeight MEMBER ItemHeight)
    Q_PROPERTY(bool AutoDropDown MEMBER AutoDropDown)
    Q_PROPERTY(bool ShowMatchText MEMBER ShowMatchText)
    Q_PROPERTY(bool AllowClearKey MEMBER AllowClearKey)
    Q_PROPERTY(bool Sorted READ Sorted WRITE SetSorted)
    Q_PROPERTY(bool DisableDropDownList MEMBER DisableDropDownList)
    Q_PROPERTY(int Column1Width MEMBER Column1Width)
    Q_PROPERTY(bool TwoColumnDisplay MEMBER TwoColumnDisplay)
    Q_PROPERTY(TkqHistoryList* HistoryList READ HistoryList)

public:
    explicit TkqDBCustomComboBox(QWidget* parent = nullptr);
    ~TkqDBCustomComboBox() override;

    bool MapList() const { return FMapList; }
    void SetMapList(bool value);
    TkqComboStringList& Items() { return FItems; }
    const TkqComboStringList& Items() const { return FItems; }
    QStringList ItemsList() const { return FItems.Lines(); }
    // Assigns the lines, then shows the field's value again so the text follows them.
    void SetItems(const QStringList& lines);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle style);
    bool Sorted() const { return FItems.Sorted(); }
    void SetSorted(bool value) { FItems.SetSorted(value); }
    int DropDownCount = 8;
    // 0: from the list or the combo.
    int DropDownWidth = 0;
    // 0: from the font.
    int ItemHeight = 0;
    bool AutoDropDown = false;
    bool ShowMatchText = false;
    bool AllowClearKey = false;
    bool DisableDropDownList = false;
    int Column1Width = 0;
    bool TwoColumnDisplay = false;
    TkqHistoryList* HistoryList() const { return FHistoryList; }

    // The list's selection when it exists, else the stored index.
    int ItemIndex() const;
    void SetItemIndex(int index);
    // The drop-down list; none until first needed.
    TkqPopupListbox* PopupList() const { return FPopupList; }
    void SetDroppedDown(bool value);

    // The display part of the first line whose stored part equals the value (empty when none);
    // without MapList and TwoColumnDisplay the value itself.
    QString StoredToDisplay(const QString& value) const;
    // The stored part of the first line whose display part equals the text (the text itself
    // when none); without MapList and TwoColumnDisplay the text itself.
    QString DisplayToStored(const QString& text) const;
    QString GetStoredValue() const { return GetStoredText(); }
    QString GetStoredText() const override;
    bool MapStoredToDisplay(const QString& value, QString& display) const override;
    using TkqDBCustomEdit::MapStoredToDisplay;
    // The display and stored parts of an Items line.
    static QString DisplayPart(const QString& line);
    static QString StoredPart(const QString& line);

    void FillPopupList();
    void EnsurePopupList();
    virtual int FindItem(const QString& text, int start) const;
    virtual void RemoveHistoryItem(const QString& text, bool fromStore);
    virtual void AddHistoryItem(const QString& text, bool toStore);
    virtual void ClearHistory();

    bool IsOwnerDrawn() const override { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }
    bool IsCaretShown() const override;
    bool IsEditable() const override { return !IsOwnerDrawn() && FStyle != csDropDownList; }
    bool IsDroppedDown() const override { return FListVisible; }
    void DropDown() override;
    void CloseUp(bool accept) override;
    void DrawEditText(TCanvas& canvas, const TRect& rect, const QString& text, int x, int y) override;
    // The canvas an OnDrawItem handler draws the edit's text on (only while it runs).
    TCanvas* DrawingCanvas() const { return FDrawingCanvas; }

    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& key) override;
    void KeyUp(int& key, TShiftState shift) override;

    // Draws one line of the open list (the list's drawing).
    void DrawListItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state);
    // The list's line height for the combo's font.
    int ListLineHeight() const;

    std::function<void(QObject*)> OnDropDown;
    TDrawItemEvent OnDrawItem;
    // Kept for forms that set it; lines keep their height.
    TMeasureItemEvent OnMeasureItem;
    std::function<void(TkqDBCustomComboBox*, const QString& value, bool& accept)> OnAddHistoryItem;

    // A press outside any open list's combo closes it: the event filter that watches for it is
    // installed while a list is open.
    static bool MouseHookInstalled();
    // Handles the cancel-mode message the hook posts (and any other sender's).
    static QEvent::Type CancelModeEventType();

protected:
    friend class TkqPopupListbox;
    friend class TkqComboStringList;
    void DataChange() override;
    void KeyDownMessage(int& key, TShiftState shift) override;
    void CharMessage(QChar& key) override;
    void DoCut() override;
    void DoEnter() override;
    void DoExit() override;
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // OnCloseUp of the published class.
    virtual void DoCloseUpEvent(bool accept) { Q_UNUSED(accept); }
    // The list's selection changed by a user (keys, mouse).
    void ListSelectionChanged();
    void ListMouseUp(const QPoint& viewportPos);

    // The text for a value: the display text of a mapped value, the list's line.
    void SetTextFromValue(const QString& value);
    // The type-ahead selection of a line; false when the data link could not edit.
    bool SelectItemForTypeAhead(int index, bool fromUpDown);
    bool FSelectionFollowsKeys = false;

private:
    int StyleValue() const { return int(FStyle); }
    void SetStyleValue(int v) { SetStyle(TComboBoxStyle(v)); }
    bool ListWindowNeeded() const;
    void RemoveMouseHook();
    bool BoundEditOrEditing();
    // Asks the data link to edit; a calculated field of a modifiable dataset puts its dataset
    // into edit state itself. False when editing is not possible.
    bool EditForSelection();

    bool FMapList = false;
    TkqComboStringList FItems;
    TkqPopupListbox* FPopupList = nullptr;
    bool FListVisible = false;
    bool FNoKeysEnteredYet = false;
    int FStoredIndex = -1;
    TComboBoxStyle FStyle = csDropDown;
    TCanvas* FDrawingCanvas = nullptr;
    TkqHistoryList* FHistoryList = nullptr;
    bool FInAutoDropDown = false;
    QString FSavedToolTip;
    QString FTextBeforeDropDown;
    bool FListDirty = true;
};

class TkqDBComboBox : public TkqDBCustomComboBox {
    Q_OBJECT
public:
    explicit TkqDBComboBox(QWidget* parent = nullptr) : TkqDBCustomComboBox(parent) {}
    // Fired when a list closes (not when it was closed already); accept: Enter, a click, the
    // button, loss of focus; not on Escape.
    std::function<void(QObject*, bool accept)> OnCloseUp;

protected:
    void DoCloseUpEvent(bool accept) override
    {
        if (OnCloseUp) OnCloseUp(this, accept);
    }
};
