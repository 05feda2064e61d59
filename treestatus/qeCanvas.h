#pragma once
// The suite's control canvas and its canvas routines: a dotted line and text drawn with the
// embossed look of disabled text.

#include "platform/vcl/Canvas.h"

#include <QPoint>

// The control canvas the tree paints through.
class TqeCanvas : public TCanvas {
public:
    using TCanvas::TCanvas;
};

// The format bit that asks DrawTextEffect for the disabled (embossed) look.
constexpr unsigned DT_QE_DISABLED = 0x80000;

// The canvas applies its pen, font and brush on every drawing call; nothing to select here.
inline void SelectCanvasObjects(TCanvas&) {}
// One pixel on, one off, from p1 towards p2 in the pen colour.
void DrawDottedLine(TCanvas& canvas, const QPoint& p1, const QPoint& p2);
// Draws the text in r by the flags; with DT_QE_DISABLED (and no DT_CALCRECT) a highlight copy
// one pixel down and right under a face in the shadow colour. r2 is r as the drawing left it.
void DrawTextEffect(TCanvas& canvas, const QString& text, const TRect& r, TRect& r2, unsigned format);
