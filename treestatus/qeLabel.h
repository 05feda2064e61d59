#pragma once
// The effect label: a caption drawn plain, lowered, raised or outlined (eight copies in the
// outline colour around the face in the font colour), aligned in its rectangle.

#include "platform/data/DB.h"
#include "platform/vcl/Graphics.h"

#include <QWidget>

enum TqeTextStyle { qelsDefault, qelsLowered, qelsRaised, qelsOutline };
enum TqeVAlignment { vaTop, vaVCenter, vaBottom };

// The text's drawing settings (the label's TextOptions).
struct TqeCaptionText {
    TqeTextStyle Style = qelsDefault;
    TColor OutlineColor = clBlack;
    TColor HighlightColor = clBtnHighlight;
    TColor ShadeColor = clBtnShadow;
    TAlignment Alignment = taLeftJustify;
    TqeVAlignment VAlignment = vaTop;
    bool WordWrap = false;
    bool ShowAccel = true;
};

class TqeLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TqeLabel(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    // The face colour of the text (the font colour).
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor color);
    // The background; clNone with Transparent.
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    TqeCaptionText& TextOptions() { return FTextOptions; }
    void SetTextOptions(const TqeCaptionText& options);
    // The rectangle the text takes (for AutoSize and tests).
    QRect TextRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void AdjustBounds();
    QString ShownText() const;
    int Flags() const;

    QString FCaption;
    TColor FFontColor = clWindowText;
    TColor FColor = clBtnFace;
    bool FTransparent = false;
    bool FAutoSize = true;
    TqeCaptionText FTextOptions;
};
