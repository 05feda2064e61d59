#include "utilities/ClipIcon.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QtEndian>

namespace {
quint16 U16(const QByteArray& d, qsizetype at) { return qFromLittleEndian<quint16>(d.constData() + at); }
quint32 U32(const QByteArray& d, qsizetype at) { return qFromLittleEndian<quint32>(d.constData() + at); }
qint32 I32(const QByteArray& d, qsizetype at) { return qFromLittleEndian<qint32>(d.constData() + at); }

QImage StandardIcon()
{
    const QStyle* style = QApplication::style();
    return style ? style->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32).toImage() : QImage();
}
} // namespace

QString IconClipboardFormat() { return QStringLiteral("application/x-quarrow-icon"); }

void RaiseOutOfResources() { throw EOutOfResources(QStringLiteral("Out of system resources")); }

QImage MakeRealSizeIcon(const TIcon& icon)
{
    const QByteArray& data = icon.Data();
    if (data.size() < 6) return icon.Image();
    const int type = U16(data, 2);
    if (type == 0) return StandardIcon();
    if (type == 1) return ReadBestIconImage(data, U16(data, 4), 6, DisplayColorCount());
    return icon.Image();
}

QSize GetIconPixelSize(const QImage& icon)
{
    if (icon.isNull()) return QSize(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    return icon.size();
}

int DisplayColorCount()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int bits = screen ? screen->depth() : 32;
    return int(quint16(quint32(1) << (bits % 32)));
}

int ChooseIconEntry(const QList<int>& colorCounts, int displayColors)
{
    int candidate = -1, remembered = 0;
    for (int i = 0; i < colorCounts.size(); ++i) {
        const int colors = colorCounts[i];
        if (colors == displayColors) return i;
        if (candidate < 0) {
            if (colors <= displayColors) {
                candidate = i;
                remembered = colors;
            }
        } else if (colors > remembered) {
            candidate = i;
        }
    }
    return candidate < 0 ? 0 : candidate;
}

QImage ReadBestIconImage(const QByteArray& data, int count, int offset, int displayColors)
{
    if (count <= 0 || offset < 0 || data.size() < offset + qsizetype(count) * 16) RaiseOutOfResources();
    QList<int> colors;
    for (int i = 0; i < count; ++i) colors << U16(data, offset + i * 16 + 2);
    const qsizetype entry = offset + qsizetype(ChooseIconEntry(colors, displayColors)) * 16;
    const quint32 size = U32(data, entry + 8), at = U32(data, entry + 12);
    if (qsizetype(at) + qsizetype(size) > data.size()) RaiseOutOfResources();
    const QByteArray image = data.mid(at, size);
    if (image.startsWith("\x89PNG")) {
        const QImage png = QImage::fromData(image, "PNG");
        if (png.isNull()) RaiseOutOfResources();
        return png.convertToFormat(QImage::Format_ARGB32);
    }
    QImage color, mask;
    SplitIconImage(image, color, mask);
    // The mask's white pixels let the background through; 32-bit images carry their own alpha.
    QImage icon = color.convertToFormat(QImage::Format_ARGB32);
    bool hasAlpha = false;
    if (color.format() == QImage::Format_ARGB32)
        for (int y = 0; y < icon.height() && !hasAlpha; ++y)
            for (int x = 0; x < icon.width(); ++x)
                if (qAlpha(icon.pixel(x, y)) != 0) {
                    hasAlpha = true;
                    break;
                }
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x) {
            const bool clear = (mask.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
            if (!hasAlpha) icon.setPixel(x, y, clear ? 0u : (icon.pixel(x, y) | 0xFF000000u));
        }
    return icon;
}

void SplitIconImage(const QByteArray& image, QImage& color, QImage& mask)
{
    if (image.size() < 40) RaiseOutOfResources();
    const quint32 headerSize = U32(image, 0);
    const int width = I32(image, 4);
    const int height = I32(image, 8) / 2;   // colour rows, then mask rows
    const int bpp = U16(image, 14);
    if (width <= 0 || height <= 0 || width > 1024 || height > 1024) RaiseOutOfResources();
    const int paletteEntries = DibPaletteSize(bpp);
    const qsizetype palette = headerSize;
    const qsizetype colorBits = palette + qsizetype(paletteEntries) * 4;
    const int colorRow = DibRowBytes(width * bpp);
    const qsizetype maskBits = colorBits + qsizetype(colorRow) * height;
    const int maskRow = DibRowBytes(width);
    if (maskBits + qsizetype(maskRow) * height > image.size() || !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32))
        RaiseOutOfResources();
    color = QImage(width, height, bpp == 32 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    mask = QImage(width, height, QImage::Format_RGB32);
    auto paletteColor = [&](int index) {
        const qsizetype at = palette + qsizetype(index) * 4;
        return qRgb(quint8(image[at + 2]), quint8(image[at + 1]), quint8(image[at]));
    };
    for (int y = 0; y < height; ++y) {
        const qsizetype row = colorBits + qsizetype(height - 1 - y) * colorRow;
        const qsizetype mrow = maskBits + qsizetype(height - 1 - y) * maskRow;
        for (int x = 0; x < width; ++x) {
            QRgb px = 0;
            switch (bpp) {
            case 1: px = paletteColor((quint8(image[row + x / 8]) >> (7 - x % 8)) & 1); break;
            case 4: px = paletteColor((quint8(image[row + x / 2]) >> (x % 2 ? 0 : 4)) & 0xF); break;
            case 8: px = paletteColor(quint8(image[row + x])); break;
            case 24: px = qRgb(quint8(image[row + 3 * x + 2]), quint8(image[row + 3 * x + 1]), quint8(image[row + 3 * x])); break;
            default:
                px = qRgba(quint8(image[row + 4 * x + 2]), quint8(image[row + 4 * x + 1]), quint8(image[row + 4 * x]),
                           quint8(image[row + 4 * x + 3]));
            }
            color.setPixel(x, y, px);
            const bool set = (quint8(image[mrow + x / 8]) >> (7 - x % 8)) & 1;
            mask.setPixel(x, y, set ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
}

QImage CopyBitmapToSize(const QImage& bitmap, const QSize& size, bool monochrome)
{
    QImage scaled = bitmap.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return monochrome ? scaled.convertToFormat(QImage::Format_Mono).convertToFormat(QImage::Format_RGB32) : scaled;
}
