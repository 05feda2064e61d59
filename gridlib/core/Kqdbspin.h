#pragma once
// The data-aware spin edit: the library's edit with an up/down button pair at its right edge.
// Number fields step by Increment within MinValue..MaxValue (no limits while both are 0);
// date, time and date-time fields (bound, or unbound through UnboundDataType) step the day,
// month, year, hour, minute, second or AM/PM part the caret stands in, and select it.

#include "gridlib/core/kqdbedit.h"
#include "gridlib/core/kqspin.h"

#include <functional>

// The spin edit's button effects: applied to its spin button.
class TkqSpinButtonEffects : public TkqButtonEffects {
    Q_OBJECT
public:
    using TkqButtonEffects::TkqButtonEffects;
    void ApplyToControl() override;
};

class TkqDBSpinEdit : public TkqDBCustomEdit, public TkqSpinHost {
    Q_OBJECT
    Q_PROPERTY(double Increment READ Increment WRITE SetIncrement)
    Q_PROPERTY(double MinValue READ MinValue WRITE SetMinValue)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE SetMaxValue)
    Q_PROPERTY(double Value READ Value WRITE SetValue)
    Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE SetEditorEnabled)
    Q_PROPERTY(bool LimitEditRect READ LimitEditRect WRITE SetLimitEditRect)
    Q_PROPERTY(TkqButtonEffects* ButtonEffects READ ButtonEffects)

public:
    explicit TkqDBSpinEdit(QWidget* parent = nullptr);

    double Increment() const { return FIncrement; }
    void SetIncrement(double value) { FIncrement = value; }
    double MinValue() const { return FMinValue; }
    void SetMinValue(double value) { FMinValue = value; }
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double value) { FMaxValue = value; }
    // Read from the text (MinValue when it does not read); written clamped and formatted by
    // the field's kind, marking the edit modified.
    double Value() const;
    void SetValue(double value);
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool value) { FEditorEnabled = value; }
    bool LimitEditRect() const { return FLimitEditRect; }
    void SetLimitEditRect(bool value);
    TkqButtonEffects* ButtonEffects() const { return FButtonEffects; }
    TkqSpinButton* SpinButton() const { return FSpinButton; }

    // The value within MinValue..MaxValue (any value while both are 0).
    double CheckValue(double value) const;
    virtual bool IsValidChar(QChar key) const;
    virtual void UpClick();
    virtual void DownClick();

    void SetEditRect() override;
    bool GetShowButton() const override { return FSpinButton->isVisibleTo(const_cast<TkqDBSpinEdit*>(this)); }
    int GetButtonWidth() const override { return FSpinButton->width(); }
    int GetButtonLeft() const override { return FSpinButton->x() - BorderWidth() - 1; }
    // Places the spin button for the edit's size.
    void PlaceSpinButton();

    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& key) override;

    std::function<void(QObject*)> BeforeUpClick;
    std::function<void(QObject*)> AfterUpClick;
    std::function<void(QObject*)> BeforeDownClick;
    std::function<void(QObject*)> AfterDownClick;

    // The spin button's view of its edit.
    QWidget* HostEdit() override { return this; }
    bool RepaintingBehindButtons() const override { return FRepaintingBehind; }
    const TkqButtonEffects* HostButtonEffects() const override { return FButtonEffects; }
    bool HostPaintsTransparent() const override { return PaintsTransparent() && !Focused(); }
    void RefreshBehindButtons() override;

protected:
    void DoEnter() override;
    void DoExit() override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Step(bool up);
    void StepDateTime(bool up);

    TkqSpinButton* FSpinButton;
    TkqSpinButtonEffects* FButtonEffects;
    double FIncrement = 1;
    double FMinValue = 0;
    double FMaxValue = 0;
    bool FEditorEnabled = true;
    bool FLimitEditRect = false;
    bool FRepaintingBehind = false;
};
