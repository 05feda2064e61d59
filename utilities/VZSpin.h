#pragma once
// The spin edit: a single-line edit for a number (integer, floating-point or hexadecimal) with
// two spin buttons at its right edge, either one square button split along its diagonal or an
// up-down pair. Clicking a half, or pressing Up or Down, adds or subtracts Increment; the value
// is kept between MinValue and MaxValue unless the two are equal. The value lives in the text.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include "utilities/VzEdit.h"
#include <QPointer>
#include <QWidget>
#include <functional>

class QTimer;

enum TValueType { vtInteger, vtFloat, vtHex };
enum TSpinButtonKind { bkStandard, bkDiagonal };
enum TSpinButtonState { sbNotDown, sbTopDown, sbBottomDown };
enum TUDBtnType { btNext, btPrev };

// The default width of the spin buttons: a vertical scroll bar's, at most 15 pixels.
int DefaultSpinButtonWidth();

// One square button split along its diagonal: the upper half counts up, the lower half down.
class TVzSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TVzSpinButton(QWidget* parent = nullptr);

    const TBitmap& UpGlyph() const { return FUpGlyph; }
    // Null brings the built-in arrow back.
    void SetUpGlyph(const TBitmap* glyph);
    const TBitmap& DownGlyph() const { return FDownGlyph; }
    void SetDownGlyph(const TBitmap* glyph);
    QWidget* FocusControl() const { return FFocusControl; }
    void SetFocusControl(QWidget* control) { FFocusControl = control; }
    TSpinButtonState Down() const { return FDown; }
    // Whether the point lies in the lower half (below the diagonal).
    bool InBottomHalf(int x, int y) const;
    // Draws the face of one pressed state (the faces are cached by size).
    static void DrawFace(TBitmap& face, TSpinButtonState pressed, const TBitmap& up, const TBitmap& down);
    // One tick of the repeat timer (the timer calls it; tests may too).
    void TimerTick();
    QTimer* RepeatTimer() const { return FRepeatTimer; }

    std::function<void(QObject*)> OnTopClick;
    std::function<void(QObject*)> OnBottomClick;

    QSize sizeHint() const override { return QSize(20, 20); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FireHalf(TSpinButtonState half);
    TBitmap FUpGlyph, FDownGlyph;
    QPointer<QWidget> FFocusControl;
    TSpinButtonState FDown = sbNotDown;
    TSpinButtonState FLastDown = sbNotDown;
    bool FDragging = false;
    bool FInvalidate = true;
    TBitmap FFaces[3];
    QTimer* FRepeatTimer = nullptr;
};

// The up-down pair: two arrow buttons, the upper one "next", the lower one "previous"; a held
// button repeats.
class TVzUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TVzUpDown(QWidget* parent = nullptr);
    // The button held down, or -1.
    int Pressed() const { return FPressed; }
    void TimerTick();
    std::function<void(QObject*, TUDBtnType)> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TUDBtnType ButtonAt(const QPoint& p) const { return p.y() < height() / 2 ? btNext : btPrev; }
    int FPressed = -1;   // -1 none, else the TUDBtnType held
    TUDBtnType FPressedType = btNext;
    bool FInside = false;
    QTimer* FRepeatTimer;
};

class TVzSpinEdit : public TVzFramedEdit {
    Q_OBJECT
    Q_PROPERTY(double Value READ Value WRITE SetValue)

public:
    explicit TVzSpinEdit(QWidget* parent = nullptr);
    ~TVzSpinEdit() override;

    // Read from the text: what does not convert reads as MinValue (truncated for the integer
    // types). Written clamped and formatted by ValueType.
    double Value() const;
    void SetValue(double value);
    int GetIntValue() const;
    void SetIntValue(int value) { SetValue(value); }
    double MinValue() const { return FMinValue; }
    void SetMinValue(double value) { FMinValue = value; }
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double value) { FMaxValue = value; }
    double Increment() const { return FIncrement; }
    void SetIncrement(double value) { FIncrement = value; }
    TValueType ValueType() const { return FValueType; }
    void SetValueType(TValueType value);
    int Decimal() const { return FDecimal; }
    void SetDecimal(int value);
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool value);
    bool ArrowKeys() const { return FArrowKeys; }
    void SetArrowKeys(bool value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TSpinButtonKind ButtonKind() const { return FButtonKind; }
    void SetButtonKind(TSpinButtonKind value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);

    // The value clamped to MinValue..MaxValue (any value while the two are equal).
    double CheckValue(double value) const;
    virtual bool IsValidChar(QChar key) const;
    virtual void UpClick(QObject* sender);
    virtual void DownClick(QObject* sender);

    TVzSpinButton* SpinButton() const { return FButton; }
    TVzUpDown* UpDown() const { return FUpDown; }
    // The text area inside the frame, beside the buttons.
    QRect EditRect() const override;

    std::function<void(QObject*)> OnChange;
    std::function<void(QObject*)> OnTopClick;
    std::function<void(QObject*)> OnBottomClick;

    QSize minimumSizeHint() const override;

protected:
    void PlaceParts() override { ResizeButton(); }
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void RecreateButton();
    void ResizeButton();
    void UpdateEditable();
    void Spin(double delta, const std::function<void(QObject*)>& after);
    QWidget* FBtnWindow = nullptr;
    TVzSpinButton* FButton = nullptr;
    TVzUpDown* FUpDown = nullptr;
    double FMinValue = 0;
    double FMaxValue = 0;
    double FIncrement = 1.0;
    TValueType FValueType = vtInteger;
    int FDecimal = 2;
    bool FEditorEnabled = true;
    bool FArrowKeys = true;
    TAlignment FAlignment = taLeftJustify;
    TSpinButtonKind FButtonKind = bkDiagonal;
    bool FReadOnly = false;
    bool FChanging = false;
};
