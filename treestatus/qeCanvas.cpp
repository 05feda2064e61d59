#include "treestatus/qeCanvas.h"

#include <cstdlib>

void DrawDottedLine(TCanvas& canvas, const QPoint& p1, const QPoint& p2)
{
    SelectCanvasObjects(canvas);
    const int dx = p2.x() - p1.x(), dy = p2.y() - p1.y();
    const int n = std::max(std::abs(dy), std::abs(dx));
    const int step = std::max(1, n / 2);
    QPoint at = p1;
    for (int i = 0; i <= n; ++i) {
        if (i % 2 != 0) continue;
        canvas.SetPixel(at.x(), at.y(), canvas.Pen.Color);
        at += QPoint(dx / step, dy / step);
    }
}

void DrawTextEffect(TCanvas& canvas, const QString& text, const TRect& r, TRect& r2, unsigned format)
{
    SelectCanvasObjects(canvas);
    const TColor fontColor = canvas.Font.Color;
    TRect rect = r;
    if ((format & DT_QE_DISABLED) && !(format & DT_CALCRECT)) {
        canvas.Font.Color = clBtnHighlight;
        TRect shifted = rect.Offset(1, 1);
        canvas.DrawText(text, shifted, format & ~DT_QE_DISABLED);
        canvas.Font.Color = clBtnShadow;
    }
    canvas.DrawText(text, rect, format & ~DT_QE_DISABLED);
    canvas.Font.Color = fontColor;
    r2 = rect;
}
