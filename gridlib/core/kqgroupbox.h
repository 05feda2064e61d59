#pragma once
// Two small controls: a group box that can let its parent show through (the radio group is
// built on it), and the track icon, a bitmap the user drags sideways between limits as the
// markers of a ruler move.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QWidget>
#include <functional>

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// A panel's frame inside the rectangle, which shrinks by what is drawn: the outer bevel, a
// border in the panel's colour, the inner bevel (raised: highlight top-left, shadow
// bottom-right; lowered the other way round).
void DrawPanelBevels(TCanvas& canvas, TRect& rect, TBevelCut outer, TBevelCut inner, int bevelWidth, int borderWidth,
                     TColor color);

class TkqCustomTransparentGroupBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE SetCtl3D)

public:
    explicit TkqCustomTransparentGroupBox(QWidget* parent = nullptr);

    bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool value);
    // Transparent, and not inside a grid.
    virtual bool IsTransparentNow() const;
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor color);
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool value);
    TBevelCut BevelOuter = bvRaised;
    TBevelCut BevelInner = bvNone;
    int BevelWidth = 1;
    int BorderWidth = 0;

    QSize sizeHint() const override { return QSize(185, 105); }

protected:
    // The group box's look: its background (unless transparent now), border and caption; a
    // transparent box adds its bevels.
    virtual void Paint(TCanvas& canvas);
    // The platform's group box: the etched border below half the caption's height, the caption.
    void PaintGroupFrame(TCanvas& canvas);
    void paintEvent(QPaintEvent* event) override;
    void UpdateTransparentStyle();

private:
    bool FTransparent = false;
    QString FCaption;
    TColor FColor = clBtnFace;
    TColor FFontColor = clWindowText;
    bool FCtl3D = true;
};

class TkqTrackIcon : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString BitmapName READ BitmapName WRITE SetBitmapName)
    Q_PROPERTY(int MinValue MEMBER MinValue)
    Q_PROPERTY(int MaxValue MEMBER MaxValue)

public:
    explicit TkqTrackIcon(QWidget* parent = nullptr);

    QString BitmapName() const { return FBitmapName; }
    // Loads the picture of that name from the program's resources and takes its size.
    void SetBitmapName(const QString& name);
    const TBitmap& Bitmap() const { return FBitmap; }
    void SetBitmap(const TBitmap& bitmap);
    // Horizontal limits of the position; 0 means none.
    int MinValue = 0;
    int MaxValue = 0;
    std::function<void(QObject*)> OnEndDrag;
    bool Dragging() const { return FDragging; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString FBitmapName;
    TBitmap FBitmap;
    bool FDragging = false;
    bool FMoved = false;
    QPoint FPress;
};
