#pragma once
// Small stateless routines the suite's controls share: integers, points and rectangles,
// substrings and tokens, multi-line text measuring, image-list drawing and colour splitting.
// Positions in strings count from 1, as the callers count them.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/ImgList.h"
#include "utilities/vzStrUtils.h"   // ReplaceAll: the one text replacement of the program

#include <QPoint>
#include <QString>
#include <QtGlobal>

inline int MinInt(int a, int b) { return a < b ? a : b; }
inline int MaxInt(int a, int b) { return a > b ? a : b; }
inline int RectWidth(const TRect& r) { return r.Right - r.Left; }
inline int RectHeight(const TRect& r) { return r.Bottom - r.Top; }
inline QPoint MakePoint(int x, int y) { return QPoint(x, y); }
inline bool PointsEqual(const QPoint& a, const QPoint& b) { return a == b; }
inline int IfThenInt(bool flag, int a, int b) { return flag ? a : b; }
template <typename T>
void SetFlagBits(bool on, T& flags, T mask)
{
    flags = on ? T(flags | mask) : T(flags & ~mask);
}
// The mouse pointer in screen coordinates.
QPoint GetCursorPosition();
// The colour's red-green-blue value split into its four bytes, low (red) to high.
void SplitColor(TColor color, quint8& red, quint8& green, quint8& blue, quint8& high);

// Characters from to to - 1; to = 0 runs to the end of s.
QString CopyRange(const QString& s, int from, int to);
// Position of the first sub at or after start; 0 when none.
int PosFrom(const QString& sub, const QString& s, int start);
// Position of occurrence n + 1 of sub; each step searches after the last hit and starts over
// from the beginning when a step finds nothing.
int NthPos(const QString& sub, const QString& s, int n);
// 0 for an empty text, else one more than the places the separator occurs (overlapping ones
// each count).
int TokenCount(const QString& s, const QString& separator);
// Token index (from 0) between separators; empty past the last; the last runs to the end.
QString GetToken(const QString& s, const QString& separator, int index);

// Height of the text drawn with the flags into a rectangle of the width.
int TextHeightForWidth(TCanvas& canvas, unsigned flags, int width, const QString& text);
// Extent of a text of CR LF separated lines: the widest line, and the line heights with the
// spacing between lines (not after the last). Width 0 measures each line unwrapped.
void MultiLineTextExtent(TCanvas& canvas, const QString& text, int lineSpacing, unsigned flags, int width, int& w,
                         int& h);

// Image-list colour values: clNone and clDefault become these flags.
constexpr quint32 CLR_NONE = 0xFFFFFFFF;
constexpr quint32 CLR_DEFAULT = 0xFF000000;
quint32 ImageListColor(TColor color);
// Draws the image in its own size; disabled, as the embossed silhouette of its mask.
void DrawImageListImage(const TImageList* images, int index, TCanvas& canvas, int x, int y, bool enabled);
