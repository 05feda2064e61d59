#pragma once
// Bitmap and canvas routines the utility controls share (transparent and disabled pictures,
// glyph cells, what lies behind a control, gradients, shortened texts), screen and window
// routines, and splitting a command line into tokens.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/ImgList.h"

#include <QString>
#include <memory>

class QObject;
class QWidget;

// Copies cell index of a graphic divided into columns x rows into the bitmap.
void ExtractGlyphCell(const TGraphic* source, TBitmap* dest, int columns, int rows, int index);
// Paints what lies behind the control (its parent's background and the sibling controls
// below it) into the canvas, the control's top-left corner at the canvas's origin.
void PaintParentBackground(QWidget* control, TCanvas& canvas);
// Stretches part of the source onto the canvas, leaving out the pixels of the transparent
// colour.
void StretchBlitMasked(TCanvas& canvas, int x, int y, int width, int height, const QImage& source, int sourceX,
                       int sourceY, int sourceWidth, int sourceHeight, TColor transparentColor);
// The same for a bitmap: a destination size below 1 takes the bitmap's, a source size below
// 1 the whole bitmap; clDefault means the bitmap's bottom-left pixel, clNone draws it plainly.
void StretchBitmapMasked(TCanvas& canvas, const TBitmap& bitmap, TColor transparentColor, int x, int y,
                         int width = 0, int height = 0, int sourceX = 0, int sourceY = 0, int sourceWidth = 0,
                         int sourceHeight = 0);
void DrawBitmapMasked(TCanvas& canvas, int x, int y, const TBitmap& bitmap, TColor transparentColor);
// The disabled (embossed) picture: the background colour everywhere, the pixels of the
// outline colour drawn in the shadow colour, with a highlight copy one pixel right and down.
std::unique_ptr<TBitmap> MakeDisabledBitmapEx(const TBitmap& bitmap, TColor outlineColor, TColor backColor,
                                              TColor highlightColor, TColor shadowColor, bool drawHighlight);
std::unique_ptr<TBitmap> MakeDisabledBitmap(const TBitmap& bitmap, TColor outlineColor);
// An image's silhouette as disabled.
void DrawImageDisabled(const TImageList& images, TCanvas& canvas, int x, int y, int index, TColor highlightColor,
                       TColor shadowColor, bool drawHighlight);
inline TColor ToPaletteRGB(TColor color) { return ColorToRGB(color) | 0x02000000; }
// A picture with an alpha channel as a glyph bitmap: drawn on fuchsia, fuchsia its
// transparent colour.
TBitmap GlyphFromImage(const QImage& image);
// Removes one waiting posted event of that type for the receiver (any receiver when null).
void DiscardPendingMessage(QObject* receiver, int eventType);
// Moves the rectangle onto the screen.
void FitRectToScreen(TRect& rect);
void CenterWindowOnScreen(QWidget* window);
// Directions: 0 top to bottom, 1 bottom to top, 2 left to right, 3 right to left.
void FillGradientRect(TCanvas& canvas, const TRect& rect, TColor startColor, TColor endColor, int direction,
                      int bandCount);
// The text cut with "..." until it fits the width on the canvas.
QString ShortenTextToWidth(const QString& text, const TCanvas& canvas, int maxWidth);
// Message texts pass through here before they are formatted.
inline QString MessageText(const QString& text) { return text; }

// Command lines: a token runs over characters above blank; double quotes enclose blanks.
QString NextCommandToken(const QString& text, int& position);
int CountCommandTokens(const QString& text);
QString GetCommandToken(const QString& text, int index);
void SplitCommandText(const QString& text, QString& programName, QString& parameters);

// True when one of the program's windows is the active window.
bool IsOwnThreadWindowActive();
