#pragma once
// Edges, bevels and frame controls (check marks, radio bullets, arrows, push buttons, the size
// grip), drawn the one way every library draws them, and painting a colour through a stencil
// (the old "brush where the mask is set" raster operation).

#include "platform/vcl/Canvas.h"

#include <QImage>

// Edge kinds and which borders to draw.
enum : unsigned {
    BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8,
    EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER, EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
    EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER, EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER
};
enum : unsigned {
    BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_RECT = 0xF, BF_MIDDLE = 0x800, BF_SOFT = 0x1000,
    BF_ADJUST = 0x2000, BF_FLAT = 0x4000, BF_MONO = 0x8000
};

// One-pixel frames of width rings just inside the rectangle: the top-left colour on the left
// column and top row, the bottom-right colour on the right column and bottom row (corners
// included). The rectangle shrinks by width on every side.
void Frame3D(TCanvas& canvas, TRect& rect, TColor topLeft, TColor bottomRight, int width = 1);
// Draws the edge on the chosen borders; with BF_ADJUST the rectangle shrinks by what was drawn.
void DrawEdge(TCanvas& canvas, TRect& rect, unsigned edge, unsigned flags);

// Frame control kinds and states.
enum : unsigned { DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4 };
enum : unsigned {
    DFCS_MENUARROW = 0x0, DFCS_MENUCHECK = 0x1, DFCS_MENUBULLET = 0x2,
    DFCS_SCROLLUP = 0x0, DFCS_SCROLLDOWN = 0x1, DFCS_SCROLLLEFT = 0x2, DFCS_SCROLLRIGHT = 0x3,
    DFCS_SCROLLCOMBOBOX = 0x5, DFCS_SCROLLSIZEGRIP = 0x8,
    DFCS_BUTTONCHECK = 0x0, DFCS_BUTTONRADIO = 0x4, DFCS_BUTTON3STATE = 0x8, DFCS_BUTTONPUSH = 0x10,
    DFCS_INACTIVE = 0x100, DFCS_PUSHED = 0x200, DFCS_CHECKED = 0x400, DFCS_FLAT = 0x4000, DFCS_MONO = 0x8000
};
// Menu glyphs are drawn black on white (callers use them as stencils); the others in the
// button colours. A checked three-state box (grayed) shows a grey mark on the face colour.
void DrawFrameControl(TCanvas& canvas, const TRect& rect, unsigned kind, unsigned state);

// A triangle pointing up, down, left or right (the DFCS_SCROLL directions), centred in the
// rectangle, in one colour.
void DrawArrow(TCanvas& canvas, const TRect& rect, unsigned direction, TColor color);

// Stencils: images whose opaque pixels mark where a later paint goes.
QImage StencilOfAlpha(const QImage& argb);
// The pixels of one colour (or, with matching false, all other pixels).
QImage StencilOfColor(const QImage& image, TColor color, bool matching = true);
// Paints the colour where the stencil is opaque, leaving the rest of the canvas as it was.
void PaintThroughStencil(TCanvas& canvas, int x, int y, const QImage& stencil, TColor color);
// An image's silhouette (its opaque pixels) as the platform draws disabled images: the
// highlight colour one pixel right and down, then the shadow colour in place.
void DrawImageSilhouette(TCanvas& canvas, int x, int y, const QImage& argb, TColor highlight = clBtnHighlight,
                         TColor shadow = clBtnShadow, bool drawHighlight = true);
