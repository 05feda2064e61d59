#pragma once
// The status bar with panels the bar draws itself. A panel's width is pixels ("80") or a
// percentage of the width the fixed panels leave ("100%"); the last panel always reaches the
// right edge. A panel's draw-text event may change its text and enabled state just before it
// is drawn (the frame's version panel gets its text this way).

#include "platform/data/DB.h"
#include "platform/vcl/Graphics.h"

#include <QFont>
#include <QStatusBar>
#include <functional>
#include <memory>
#include <vector>

class TqeStatusBar;

enum TqeStatusPanelStyle {
    psTextOnly, psControl, psOverWrite, psCapsLock, psNumLock, psDateTime, psDate, psTime, psGlyph,
    psRichEditStatus, psHint, psUserName, psComputerName, psScrollLock, psHintContainerOnly
};
enum TqeStatusPanelBevel { pbNone, pbLowered, pbRaised };

class TqeStatusPanel {
public:
    explicit TqeStatusPanel(TqeStatusBar* bar);

    QString Name() const { return FName; }
    // Raises "A panel named %s already exists." for a name another panel has.
    void SetName(const QString& name);
    QString Text() const { return FText; }
    void SetText(const QString& text);
    QString Width() const { return FWidth; }
    // An integer ("80") or an integer followed by "%" ("100%"); anything else raises.
    void SetWidth(const QString& width);
    // The width of the panel's part after the last layout.
    int PixelWidth() const { return FPixelWidth; }
    QFont Font() const { return FFont; }
    void SetFont(const QFont& font);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    TqeStatusPanelStyle Style() const { return FStyle; }
    void SetStyle(TqeStatusPanelStyle style);
    TqeStatusPanelBevel Bevel() const { return FBevel; }
    void SetBevel(TqeStatusPanelBevel bevel);
    int Indent() const { return FIndent; }
    void SetIndent(int indent);
    QString Hint;
    int Tag = 0;
    int Index() const;
    TqeStatusBar* StatusBar() const { return FBar; }
    // The part's rectangle in the bar.
    QRect GetRect() const;
    // The text as drawn last (after the draw-text event).
    QString DrawnText() const { return FDrawnText; }

    std::function<void(TqeStatusPanel*, QString& text, bool& enabled)> OnDrawText;
    std::function<void(TqeStatusPanel*, const QString& text)> OnTextChanged;
    std::function<void(TqeStatusPanel*)> OnClick;
    std::function<void(TqeStatusPanel*)> OnDblClick;

private:
    friend class TqeStatusBar;
    friend class TqeStatusPanels;
    void Repaint();
    QString ShownText() const;

    TqeStatusBar* FBar;
    QString FName;
    QString FText;
    QString FWidth = QStringLiteral("50");
    int FWidthValue = 50;
    bool FPercent = false;
    int FPixelWidth = 50;
    QFont FFont;
    TAlignment FAlignment = taLeftJustify;
    bool FEnabled = true;
    TqeStatusPanelStyle FStyle = psTextOnly;
    TqeStatusPanelBevel FBevel = pbLowered;
    int FIndent = 0;
    mutable QString FDrawnText;
    bool FInDrawText = false;
};

class TqeStatusPanels {
public:
    explicit TqeStatusPanels(TqeStatusBar* bar) : FBar(bar) {}
    int Count() const { return int(FItems.size()); }
    TqeStatusPanel* Items(int index) const;
    TqeStatusPanel* GetItem(int index) const { return Items(index); }
    TqeStatusPanel* operator[](int index) const { return Items(index); }
    // A new last panel, named "Panel" and the smallest number no other panel uses.
    TqeStatusPanel* Add();
    // The panel of that name (exact); none when there is none.
    TqeStatusPanel* FindPanel(const QString& name) const;
    void Delete(int index);
    void Clear();
    int IndexOf(const TqeStatusPanel* panel) const;

private:
    TqeStatusBar* FBar;
    std::vector<std::unique_ptr<TqeStatusPanel>> FItems;
};

class TqeStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TqeStatusBar(QWidget* parent = nullptr);
    ~TqeStatusBar() override;

    TqeStatusPanels& Panels() { return FPanels; }
    const TqeStatusPanels& Panels() const { return FPanels; }
    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool value);
    QString SimpleText() const { return FSimpleText; }
    void SetSimpleText(const QString& text);
    bool SizeGrip() const { return isSizeGripEnabled(); }
    void SetSizeGrip(bool value) { setSizeGripEnabled(value); }
    // The first panel whose part contains the point; none when there is none.
    TqeStatusPanel* GetPanelAt(int x, int y) const;
    // Recomputes the panels' pixel widths for the bar's width.
    void UpdatePanels();

    std::function<void(TqeStatusBar*, TqeStatusPanel*, const QRect&)> OnDrawPanel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class TqeStatusPanel;
    friend class TqeStatusPanels;
    void DrawPanel(QPainter& painter, TqeStatusPanel* panel, const QRect& rect);

    TqeStatusPanels FPanels;
    bool FSimplePanel = false;
    QString FSimpleText;
};
