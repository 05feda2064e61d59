#pragma once
// The spin button of the library's spin edit: an up and a down button, stacked and
// overlapping by one pixel, each repeating its click while held (after 400 ms, then every
// 100 ms). Inside an edit the buttons take the edit's button effects (flat, transparent).

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QTimer;
class TkqButtonEffects;

// What the spin button needs of the edit it sits in.
class TkqSpinHost {
public:
    virtual ~TkqSpinHost() = default;
    virtual QWidget* HostEdit() = 0;
    // Set while the edit repaints what lies behind its buttons.
    virtual bool RepaintingBehindButtons() const = 0;
    virtual const TkqButtonEffects* HostButtonEffects() const = 0;
    // The edit leaves its background to what lies behind it.
    virtual bool HostPaintsTransparent() const = 0;
    // Repaints what lies behind the spin button on the edit's parent.
    virtual void RefreshBehindButtons() = 0;
};

// The bitmaps "kqSpinUp" and "kqSpinDown": small arrows, their corner colour transparent.
TBitmap KqSpinGlyph(bool up);

class TkqTimerSpeedButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

public:
    explicit TkqTimerSpeedButton(QWidget* parent = nullptr);

    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    const TBitmap& Glyph() const { return FGlyph; }
    void SetGlyph(const TBitmap& glyph);
    bool AllowTimer = false;
    // Pressed by the mouse.
    bool Down() const { return FDown; }
    bool MouseInside() const { return FMouseInside; }
    // Resets the pressed and mouse-inside state (the edit does so when it loses the focus).
    void ResetState();

    // The repeat timer, made on the first press; a tick can be run directly.
    QTimer* RepeatTimer() const { return FRepeatTimer; }
    void TimerTick();
    void Click();
    std::function<void(QObject*)> OnClick;

    // Draws the button's face into the canvas (the widget's paint uses it).
    void PaintButton(TCanvas& canvas);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TkqSpinHost* Host() const;
    void SetMouseInside(bool inside);
    TBitmap FGlyph;
    bool FFlat = false;
    bool FTransparent = false;
    bool FDown = false;
    bool FMouseInside = false;
    QTimer* FRepeatTimer = nullptr;
};

class TkqSpinButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)

public:
    explicit TkqSpinButton(QWidget* parent = nullptr);

    TkqTimerSpeedButton* UpButton() const { return FUpButton; }
    TkqTimerSpeedButton* DownButton() const { return FDownButton; }
    bool Flat() const { return FUpButton->Flat(); }
    void SetFlat(bool value);
    std::function<void(QObject*)> OnUpClick;
    std::function<void(QObject*)> OnDownClick;
    // Places the two buttons for the current size.
    void AdjustButtons();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TkqSpinHost* Host() const;
    TkqTimerSpeedButton* FUpButton;
    TkqTimerSpeedButton* FDownButton;
};
