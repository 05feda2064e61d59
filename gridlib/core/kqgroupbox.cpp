#include "gridlib/core/kqgroupbox.h"

#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqframe.h"
#include "platform/vcl/Edges.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>

TkqCustomTransparentGroupBox::TkqCustomTransparentGroupBox(QWidget* parent) : QWidget(parent)
{
    resize(185, 105);
}

bool TkqCustomTransparentGroupBox::IsTransparentNow() const
{
    return FTransparent && !IsInDesigner(this) && !IsInGrid(this);
}

void TkqCustomTransparentGroupBox::UpdateTransparentStyle()
{
    SetTransparentStyle(this, IsTransparentNow());
}

void TkqCustomTransparentGroupBox::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    FTransparent = value;
    UpdateTransparentStyle();
    update();
}

void TkqCustomTransparentGroupBox::SetCaption(const QString& caption)
{
    if (caption == FCaption) return;
    FCaption = caption;
    update();
}

void TkqCustomTransparentGroupBox::SetColor(TColor color)
{
    if (color == FColor) return;
    FColor = color;
    update();
}

void TkqCustomTransparentGroupBox::SetFontColor(TColor color)
{
    if (color == FFontColor) return;
    FFontColor = color;
    update();
}

void TkqCustomTransparentGroupBox::SetCtl3D(bool value)
{
    if (value == FCtl3D) return;
    FCtl3D = value;
    update();
}

void TkqCustomTransparentGroupBox::PaintGroupFrame(TCanvas& canvas)
{
    canvas.Font = TFont(font(), isEnabled() ? FFontColor : clGrayText);
    const int h = canvas.TextHeight(QStringLiteral("0"));
    TRect r(0, h / 2 - 1, width(), height());
    canvas.Brush.Style = bsSolid;
    if (FCtl3D) {
        r.Left += 1;
        r.Top += 1;
        canvas.Brush.Color = clBtnHighlight;
        canvas.FrameRect(r);
        r = r.Offset(-1, -1);
        canvas.Brush.Color = clBtnShadow;
    } else {
        canvas.Brush.Color = clWindowFrame;
    }
    canvas.FrameRect(r);
    if (FCaption.isEmpty()) return;
    TRect text(8, 0, 0, h);
    canvas.DrawText(FCaption, text, DT_SINGLELINE | DT_CALCRECT);
    canvas.Brush.Color = FColor;
    if (IsTransparentNow()) canvas.Brush.Style = bsClear;
    else canvas.FillRect(text);
    canvas.DrawText(FCaption, text, DT_SINGLELINE);
}

void TkqCustomTransparentGroupBox::Paint(TCanvas& canvas)
{
    const TRect client(0, 0, width(), height());
    if (!IsTransparentNow()) {
        canvas.Brush.Color = FColor;
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(client);
        PaintGroupFrame(canvas);
        return;
    }
    PaintGroupFrame(canvas);
    TRect r = client;
    DrawPanelBevels(canvas, r, BevelOuter, BevelInner, BevelWidth, BorderWidth, FColor);
}

void DrawPanelBevels(TCanvas& canvas, TRect& rect, TBevelCut outer, TBevelCut inner, int bevelWidth, int borderWidth,
                     TColor color)
{
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone) return;
        const bool lowered = cut == bvLowered;
        Frame3D(canvas, rect, lowered ? clBtnShadow : clBtnHighlight, lowered ? clBtnHighlight : clBtnShadow,
                bevelWidth);
    };
    bevel(outer);
    if (borderWidth > 0) Frame3D(canvas, rect, color, color, borderWidth);
    bevel(inner);
}

void TkqCustomTransparentGroupBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    Paint(canvas);
}

// ---------------------------------------------------------------------------------------------

TkqTrackIcon::TkqTrackIcon(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TkqTrackIcon::SetBitmap(const TBitmap& bitmap)
{
    FBitmap = bitmap;
    if (!FBitmap.Empty()) resize(FBitmap.Width(), FBitmap.Height());
    update();
}

void TkqTrackIcon::SetBitmapName(const QString& name)
{
    if (name == FBitmapName) return;
    FBitmapName = name;
    if (!name.isEmpty()) {
        QImage image;
        for (const QString& path : {QStringLiteral(":/") + name, QStringLiteral(":/") + name + QStringLiteral(".png"),
                                    QStringLiteral(":/") + name + QStringLiteral(".bmp")})
            if (QFile::exists(path) && image.load(path)) break;
        if (!image.isNull()) {
            SetBitmap(TBitmap(image));
            return;
        }
    }
    update();
}

void TkqTrackIcon::paintEvent(QPaintEvent*)
{
    if (FBitmap.Empty()) return;
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.DrawImage(0, 0, FBitmap.MaskedImage(FBitmap.Pixel(0, height() - 1)));
}

void TkqTrackIcon::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    FDragging = true;
    FMoved = false;
    FPress = event->position().toPoint();
}

void TkqTrackIcon::mouseMoveEvent(QMouseEvent* event)
{
    if (!FDragging) return;
    const QPoint p = event->position().toPoint();
    if (!FMoved && p == FPress) return;
    int left = p.x() + x() - FPress.x();
    if (MinValue != 0 && left < MinValue) left = MinValue;
    if (MaxValue != 0 && left > MaxValue) left = MaxValue;
    move(left, y());
    FMoved = true;
}

void TkqTrackIcon::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !FDragging) return;
    FDragging = false;
    if (FMoved && OnEndDrag) OnEndDrag(this);
}
