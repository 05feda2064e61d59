#pragma once
// Icons built at their real size from the image data of an icon file: the image of the best
// colour depth for the display is chosen and split into its colour and mask parts.

#include "platform/vcl/Canvas.h"
#include "platform/core/SysUtils.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

class EOutOfResources : public Exception { public: using Exception::Exception; };

// The name under which icons travel on the clipboard.
QString IconClipboardFormat();

// A new icon image from the icon's data: the standard application icon for a data type of 0,
// the best image for type 1, the icon's own image otherwise.
QImage MakeRealSizeIcon(const TIcon& icon);
// The icon's size; the standard icon size for none.
QSize GetIconPixelSize(const QImage& icon);
// Reads count directory entries at offset and builds the icon of the entry that suits the
// display best (displayColors as the display reports it: 2 to the power of its bits per pixel,
// held in 16 bits). Raises EOutOfResources when the image cannot be made.
QImage ReadBestIconImage(const QByteArray& data, int count, int offset, int displayColors);
int DisplayColorCount();
// The entry ReadBestIconImage takes, from the entries' colour counts.
int ChooseIconEntry(const QList<int>& colorCounts, int displayColors);
// One icon image (header, colour table, colour rows, mask rows) as its colour and mask parts;
// the mask's white pixels are the transparent ones.
void SplitIconImage(const QByteArray& image, QImage& color, QImage& mask);
QImage CopyBitmapToSize(const QImage& bitmap, const QSize& size, bool monochrome);
constexpr int DibRowBytes(int bits) { return ((bits + 31) / 32) * 4; }
constexpr int DibPaletteSize(int bitsPerPixel)
{
    return bitsPerPixel == 1 ? 2 : bitsPerPixel == 4 ? 16 : bitsPerPixel == 8 ? 256 : 0;
}
[[noreturn]] void RaiseOutOfResources();
