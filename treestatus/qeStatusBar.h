#pragma once
// The status bar: panels the bar draws itself, each by its style (its own text, a lock key's
// state, the date or time, the application's hint, the user or computer name, a rich edit's
// caret position, a picture with text, or a control placed inside it). A panel's width is
// pixels ("80") or a percentage of what the fixed panels leave ("100%"); the last panel always
// reaches the right edge. Timers keep clock, hint and caret panels current; a keyboard filter
// repaints the lock-key panels of every bar when those keys are pressed.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/ImgList.h"
#include "treestatus/qeCollection.h"
#include "treestatus/qetext.h"

#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

class QMenu;
class TqeCustomStatusBar;

enum TqeStatusPanelStyle {
    psTextOnly, psControl, psOverWrite, psCapsLock, psNumLock, psDateTime, psDate, psTime, psGlyph,
    psRichEditStatus, psHint, psUserName, psComputerName, psScrollLock, psHintContainerOnly
};
enum TqeStatusPanelBevel { pbNone, pbLowered, pbRaised };

// The texts of the lock-key panels.
class TqeStatusBarText {
public:
    explicit TqeStatusBarText(TqeCustomStatusBar* bar) : FBar(bar) {}
    QString CapsLock() const { return FCapsLock; }
    void SetCapsLock(const QString& s) { Set(FCapsLock, s); }
    QString Overwrite() const { return FOverwrite; }
    void SetOverwrite(const QString& s) { Set(FOverwrite, s); }
    QString NumLock() const { return FNumLock; }
    void SetNumLock(const QString& s) { Set(FNumLock, s); }
    QString ScrollLock() const { return FScrollLock; }
    void SetScrollLock(const QString& s) { Set(FScrollLock, s); }

private:
    void Set(QString& field, const QString& value);
    TqeCustomStatusBar* FBar;
    QString FCapsLock = QStringLiteral("Caps");
    QString FOverwrite = QStringLiteral("Overwrite");
    QString FNumLock = QStringLiteral("Num");
    QString FScrollLock = QStringLiteral("Scroll");
};

class TqeStatusPanels;

class TqeStatusPanel : public TqeCollectionItem {
public:
    explicit TqeStatusPanel(TqeStatusPanels* panels);
    ~TqeStatusPanel() override;

    // Copies the stored values and events (not Name, Tag or TextOptions), without side effects.
    void Assign(const TqeStatusPanel& source);
    QString GetDisplayName() const override;

    TqeStatusPanelBevel Bevel() const { return FBevel; }
    void SetBevel(TqeStatusPanelBevel value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    QWidget* Component() const { return FComponent; }
    // Raises "Control cannot equal parent StatusBar" for the bar itself.
    void SetComponent(QWidget* component);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    QFont Font() const { return FFont.Font; }
    void SetFont(const QFont& font);
    QString Hint() const { return FHint; }
    void SetHint(const QString& hint);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    int Indent() const { return FIndent; }
    void SetIndent(int value);
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    QString Name() const { return FName; }
    // Raises "A panel named %s already exists." for a name another panel of the bar has.
    void SetName(const QString& name);
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    TqeStatusPanelStyle Style() const { return FStyle; }
    void SetStyle(TqeStatusPanelStyle value);
    QString Text() const { return FText; }
    void SetText(const QString& text);
    TqeCaptionText& TextOptions() { return *FTextOptions; }
    QString Width() const { return FWidth; }
    // An integer ("80") or an integer followed by "%" ("100%"); -1 and anything else raise.
    void SetWidth(const QString& width);

    int PixelWidth() const;
    bool DrawEnabled() const { return FDrawEnabled; }
    double LastTimeValue() const { return FLastTimeValue; }
    int RichEditLine() const { return FRichEditLine; }
    int RichEditColumn() const { return FRichEditColumn; }
    // The text as drawn last (after the draw-text event).
    QString DrawnText() const { return FTextOptions->Text(); }

    TqeCustomStatusBar* GetStatusBar() const;
    // The part's rectangle inside its bevel.
    virtual TRect GetRect() const;
    // Draws the panel again (a date panel only when the day changed, outside a resize).
    virtual void Repaint();

    std::function<void(TqeStatusPanel*)> OnClick;
    std::function<void(TqeStatusPanel*)> OnDblClick;
    std::function<void(TqeStatusPanel*, TMouseButton, TShiftState, int x, int y)> OnMouseDown;
    std::function<void(TqeStatusPanel*, TShiftState, int x, int y)> OnMouseMove;
    std::function<void(TqeStatusPanel*, TMouseButton, TShiftState, int x, int y)> OnMouseUp;
    std::function<void(TqeStatusPanel*, QString& text, bool& enabled)> OnDrawText;
    std::function<void(TqeStatusPanel*, const QString& text)> OnTextChanged;

    // Draws the panel on the canvas into the rectangle.
    virtual void Draw(TCanvas& canvas, const TRect& rect);

protected:
    friend class TqeCustomStatusBar;
    friend class TqeStatusPanels;
    virtual QString GetDefaultName() const;
    virtual bool IsWidthStored() const { return FWidth != QLatin1String("0"); }
    virtual bool GetDrawEnabled() const { return FDrawEnabled; }
    // True when the date or time text changed.
    virtual bool UpdateDateTimeText();
    virtual void DrawControl();
    virtual void DrawGlyph();
    virtual void DrawKeyState();
    virtual void DrawHint();
    virtual void DrawUserName();
    virtual void DrawComputerName();
    virtual void DrawRichEditStatus();
    virtual void DrawText(QString text, const TRect& rect, bool enabled);
    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void TextChanged(const QString& text);
    // The caret of the watched rich edit moved: true when the shown position changed.
    bool CheckCaret();

private:
    bool IsDateTimeStyle() const { return FStyle == psDateTime || FStyle == psDate || FStyle == psTime; }
    bool IsHintStyle() const { return FStyle == psHint || FStyle == psHintContainerOnly; }
    void ApplyToControl();

    TqeStatusPanels* FPanels;
    TqeStatusPanelBevel FBevel = pbLowered;
    TColor FColor = clBtnFace;
    QPointer<QWidget> FComponent;
    bool FEnabled = true;
    TFont FFont;
    QString FHint;
    int FImageIndex = 0;
    int FIndent = 0;
    int FMargin = 0;
    QString FName;
    QPointer<QMenu> FPopupMenu;
    TqeStatusPanelStyle FStyle = psTextOnly;
    QString FText;
    std::unique_ptr<TqeCaptionText> FTextOptions;
    QString FWidth = QStringLiteral("50");
    int FWidthValue = 50;
    bool FPercent = false;
    int FPixelWidth = 50;
    bool FDrawEnabled = true;
    double FLastTimeValue = 0;
    int FRichEditLine = 0;
    int FRichEditColumn = 0;
    bool FInDrawText = false;
    TCanvas* FCanvas = nullptr;
    TRect FDrawRect;
};

class TqeStatusPanels : public TqeCollection {
public:
    explicit TqeStatusPanels(TqeCustomStatusBar* bar) : FBar(bar) {}
    TqeCustomStatusBar* Owner() const { return FBar; }
    TqeStatusPanel* GetItem(int index) const { return static_cast<TqeStatusPanel*>(Items(index)); }
    TqeStatusPanel* operator[](int index) const { return GetItem(index); }
    TqeStatusPanel* Add() { return static_cast<TqeStatusPanel*>(TqeCollection::Add()); }
    // The panel of exactly that name; none when there is none.
    TqeStatusPanel* FindPanel(const QString& name) const;
    // Repaints every panel of the style.
    virtual void RepaintStyle(TqeStatusPanelStyle style);

protected:
    std::unique_ptr<TqeCollectionItem> CreateItem() override;
    void Update(TqeCollectionItem* item) override;

private:
    TqeCustomStatusBar* FBar;
};

class TqeCustomStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit TqeCustomStatusBar(QWidget* parent = nullptr);
    ~TqeCustomStatusBar() override;

    TqeStatusPanels& Panels() { return FPanels; }
    const TqeStatusPanels& Panels() const { return FPanels; }
    TqeStatusBarText& StatusBarText() { return FStatusBarText; }
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* images);
    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool value);
    QString SimpleText() const { return FSimpleText; }
    void SetSimpleText(const QString& text);
    // Shown only when the bar's form has a sizeable border.
    bool SizeGrip() const;
    void SetSizeGrip(bool value);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);

    // The first panel whose part contains the point; (-1, -1) asks for the mouse pointer's.
    virtual TqeStatusPanel* GetPanelAt(int x, int y) const;
    // Lays the parts out again from the panels' widths.
    virtual void UpdatePanels();
    // The part rectangle of a panel inside its bevel (the whole bar in simple mode).
    TRect PartRect(int index) const;

    // The timers, callable directly: date and time panels, hint panels, caret panels.
    void DateTimeTick();
    void HintTick();
    void CaretTick();
    bool DateTimeTimerActive() const { return FDateTimeTimer.isActive(); }
    bool HintTimerActive() const { return FHintTimer.isActive(); }
    bool CaretTimerActive() const { return FCaretTimer.isActive(); }

    // The mouse pointer is over the bar's form and that form is active.
    bool PointerInForm() const;

    // Every status bar in existence.
    static const std::vector<TqeCustomStatusBar*>& AllBars();
    // What the date, time, user-name and computer-name panels read (a test sets its own).
    static std::function<double()> Clock;
    static std::function<QString()> UserName;
    static std::function<QString()> ComputerName;

    std::function<void(TqeCustomStatusBar*, TqeStatusPanel*, bool on, const TRect&, QString& text)> OnDrawKeyboardState;
    std::function<void(TqeCustomStatusBar*, TqeStatusPanel*, const TRect&)> OnDrawPanel;
    std::function<void(QObject*)> OnResize;
    std::function<void(QObject*)> OnClick;
    std::function<void(QObject*)> OnDblClick;
    std::function<void(QObject*, TMouseButton, TShiftState, int x, int y)> OnMouseDown;
    std::function<void(QObject*, TShiftState, int x, int y)> OnMouseMove;
    std::function<void(QObject*, TMouseButton, TShiftState, int x, int y)> OnMouseUp;

    QSize sizeHint() const override { return QSize(200, 20); }
    QSize minimumSizeHint() const override { return QSize(20, 20); }

protected:
    friend class TqeStatusPanel;
    friend class TqeStatusPanels;
    virtual void DrawPanel(TqeStatusPanel* panel, TCanvas& canvas, const TRect& rect);
    void UpdateTimers();
    // The width the size grip takes from the last panel (0 without a grip).
    int GripAllowance() const;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Resize();
    // A hidden bar hears of no resize: the layout catches up with the width when asked.
    void EnsureLayout() const;
    int FLayoutWidth = -1;

    TqeStatusPanels FPanels;
    TqeStatusBarText FStatusBarText;
    TImageList* FImages = nullptr;
    int FImagesFreeKey = 0;
    bool FSimplePanel = false;
    QString FSimpleText;
    bool FSizeGrip = true;
    TColor FColor = clBtnFace;
    std::vector<int> FRights;   // right edges of the parts, the last -1
    bool FResizing = false;
    QTimer FDateTimeTimer;
    QTimer FHintTimer;
    QTimer FCaretTimer;
    // Dragging the size grip.
    bool FGripDrag = false;
    QPoint FGripStart;
    QSize FGripStartSize;
    QPointer<QWidget> FGripWindow;
    TqeStatusPanel* FPressedPanel = nullptr;
};

class TqeStatusBar : public TqeCustomStatusBar {
    Q_OBJECT
public:
    explicit TqeStatusBar(QWidget* parent = nullptr) : TqeCustomStatusBar(parent) {}
};
