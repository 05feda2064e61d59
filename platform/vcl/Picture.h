#pragma once
// Picture file formats: readers registered by file extension (bitmaps and PNG by the
// platform, "jpeg" and "jpg" by the JPEG picture class), and pictures recognised in bytes by
// their signatures whatever their extension.

#include "platform/core/SysUtils.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>

class EInvalidGraphic : public Exception { public: using Exception::Exception; };

using TGraphicReader = std::function<QImage(const QByteArray& bytes)>;

struct TFileFormat {
    QString Extension;     // without the dot, lower case
    QString Description;
    TGraphicReader Read;   // raises when the bytes are damaged
};

// A later registration of an extension replaces the earlier one.
void RegisterFileFormat(const QString& extension, const QString& description, TGraphicReader reader);
void UnregisterFileFormat(const QString& extension);
// The format of an extension (with or without the dot, any case); null when none.
const TFileFormat* FileFormatOf(const QString& extension);
QStringList RegisteredExtensions();
// "All (*.bmp;*.jpg;...)|*.bmp;*.jpg;...|Bitmaps (*.bmp)|*.bmp|..." for the file dialogs.
QString GraphicFilter();

enum TGraphicKind { gkNone, gkBitmap, gkJPEG, gkPNG };
// The kind of picture the bytes begin with.
TGraphicKind GraphicKindOf(const QByteArray& bytes);
// The picture the bytes hold; a null image when they hold no picture of a known kind. A
// damaged picture of a known kind raises (EJPEG, or EInvalidGraphic "Bitmap image is not
// valid" / "PNG image is not valid").
QImage ReadPicture(const QByteArray& bytes);
// The picture as a bitmap file (24-bit colour, or 8-bit for grey pictures).
QByteArray BitmapBytes(const QImage& image);
