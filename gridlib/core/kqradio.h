#pragma once
// The library's owner-drawn radio button: the check box's frame, transparency, image glyphs and
// caption drawing, plus an optional second picture (GlyphImages) between the radio glyph and
// the caption. Checking a button unchecks its radio siblings. The radio group's buttons derive
// from it.

#include "gridlib/core/kqwinbtn.h"

class TkqCustomRadioButton : public TkqButtonControl {
    Q_OBJECT
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(QString ValueChecked MEMBER ValueChecked)
    Q_PROPERTY(QString ValueUnchecked MEMBER ValueUnchecked)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)

public:
    explicit TkqCustomRadioButton(QWidget* parent = nullptr);
    ~TkqCustomRadioButton() override;

    bool Checked() const { return FChecked; }
    // Checking unchecks the radio siblings and clicks (unless clicks are disabled).
    virtual void SetChecked(bool value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    TImageList* GlyphImages() const { return FGlyphImages; }
    void SetGlyphImages(TImageList* images);
    QString ValueChecked = QStringLiteral("True");
    QString ValueUnchecked = QStringLiteral("False");

    virtual bool ShowsText() const { return true; }
    // clNone: no override of the font colour or of the background.
    virtual TColor GetTextColor() const { return clNone; }
    virtual TColor GetBackgroundColor() const { return clNone; }
    // The picture of GlyphImages to draw.
    virtual int GetGlyphIndex() const { return 0; }
    virtual bool GetDisplayChecked() const { return FChecked; }
    TRect GetCheckRect() const override;
    // The caption rectangle, measured with the canvas' font.
    virtual TRect GetTextRect(TCanvas& canvas) const;
    virtual TRect GetGlyphRect(TCanvas& canvas) const;
    // The glyph is drawn pushed.
    bool GlyphPushed() const;

protected:
    void Paint(TCanvas& canvas) override;
    void CaptionChanged() override;
    void DoEnter() override;
    void DoExit() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void SpaceClick() override { NativeClick(); }
    // The area behind a transparent button after its look changed.
    void RefreshBehind(bool focusLoss);
    // Arrow keys move to the previous or next radio sibling and check it.
    virtual bool MoveToSibling(int step);
    // The button's own click (mouse release, space, arrow keys): it checks the button.
    virtual void NativeClick() { SetChecked(true); }

private:
    bool FChecked = false;
    bool FWordWrap = false;
    bool FLeftDown = false;
    TImageList* FGlyphImages = nullptr;
    int FGlyphImagesFreeKey = 0;
};

class TkqRadioButton : public TkqCustomRadioButton {
    Q_OBJECT
public:
    using TkqCustomRadioButton::TkqCustomRadioButton;
};
