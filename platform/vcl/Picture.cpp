#include "platform/vcl/Picture.h"

#include "platform/vcl/Jpeg.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <vector>

namespace {
QImage ReadWithQt(const QByteArray& bytes, const char* format, const char* message)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // Sizes come from the file: refuse what we would not allocate.
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > TJPEGImage::MaxPixels)
        throw EInvalidGraphic(QLatin1String(message));
    QImage image = reader.read();
    if (image.isNull()) throw EInvalidGraphic(QLatin1String(message));
    return image;
}

QImage ReadBitmap(const QByteArray& bytes) { return ReadWithQt(bytes, "BMP", "Bitmap image is not valid"); }
QImage ReadPng(const QByteArray& bytes) { return ReadWithQt(bytes, "PNG", "PNG image is not valid"); }

QImage ReadJpeg(const QByteArray& bytes)
{
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(bytes);
    return jpeg.Image();
}

std::vector<TFileFormat>& Formats()
{
    static std::vector<TFileFormat> formats = [] {
        std::vector<TFileFormat> list;
        list.push_back({QStringLiteral("bmp"), QStringLiteral("Bitmaps"), ReadBitmap});
        list.push_back({QStringLiteral("png"), QStringLiteral("Portable Network Graphics"), ReadPng});
        list.push_back({QStringLiteral("jpeg"), QStringLiteral("JPEG Image File"), ReadJpeg});
        list.push_back({QStringLiteral("jpg"), QStringLiteral("JPEG Image File"), ReadJpeg});
        return list;
    }();
    return formats;
}

QString NormalExtension(const QString& extension)
{
    return (extension.startsWith('.') ? extension.mid(1) : extension).toLower();
}
} // namespace

void RegisterFileFormat(const QString& extension, const QString& description, TGraphicReader reader)
{
    const QString ext = NormalExtension(extension);
    for (TFileFormat& f : Formats())
        if (f.Extension == ext) {
            f.Description = description;
            f.Read = std::move(reader);
            return;
        }
    Formats().push_back({ext, description, std::move(reader)});
}

void UnregisterFileFormat(const QString& extension)
{
    const QString ext = NormalExtension(extension);
    auto& list = Formats();
    std::erase_if(list, [&ext](const TFileFormat& f) { return f.Extension == ext; });
}

const TFileFormat* FileFormatOf(const QString& extension)
{
    const QString ext = NormalExtension(extension);
    for (const TFileFormat& f : Formats())
        if (f.Extension == ext) return &f;
    return nullptr;
}

QStringList RegisteredExtensions()
{
    QStringList list;
    for (const TFileFormat& f : Formats()) list.append(f.Extension);
    return list;
}

QString GraphicFilter()
{
    QStringList masks;
    QStringList parts;
    for (const TFileFormat& f : Formats()) {
        const QString mask = QStringLiteral("*.") + f.Extension;
        masks.append(mask);
        parts.append(QStringLiteral("%1 (%2)|%2").arg(f.Description, mask));
    }
    const QString all = masks.join(';');
    return QStringLiteral("All (%1)|%1|").arg(all) + parts.join('|');
}

TGraphicKind GraphicKindOf(const QByteArray& bytes)
{
    if (bytes.startsWith("BM")) return gkBitmap;
    if (bytes.startsWith("\xFF\xD8")) return gkJPEG;
    if (bytes.startsWith("\x89PNG\r\n\x1A\n")) return gkPNG;
    return gkNone;
}

QImage ReadPicture(const QByteArray& bytes)
{
    switch (GraphicKindOf(bytes)) {
    case gkBitmap: return ReadBitmap(bytes);
    case gkJPEG: return ReadJpeg(bytes);
    case gkPNG: return ReadPng(bytes);
    case gkNone: break;
    }
    return QImage();
}

QByteArray BitmapBytes(const QImage& image)
{
    QByteArray bytes;
    if (image.isNull()) return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage source = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image;
    QImageWriter writer(&buffer, "BMP");
    if (!writer.write(source)) throw EInvalidGraphic(QStringLiteral("Bitmap image is not valid"));
    return bytes;
}
