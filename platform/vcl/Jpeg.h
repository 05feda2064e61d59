#pragma once
// The JPEG picture class: decodes baseline and progressive JPEG data (progressive data through
// the library's buffered-image mode) and encodes pictures with a quality and optional
// progression. Reads from and writes to streams; every library error becomes an EJPEG with the
// text "JPEG error #<code>". Registered for the file extensions "jpeg" and "jpg".

#include "platform/core/SysUtils.h"

#include <QByteArray>
#include <QImage>

class QIODevice;

class EJPEG : public Exception {
public:
    explicit EJPEG(int errorCode);
    int ErrorCode;
};

enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
enum TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum TJPEGPixelFormat { jf24Bit, jf8Bit };

class TJPEGImage {
public:
    TJPEGImage();
    ~TJPEGImage();
    TJPEGImage(const TJPEGImage&) = default;
    TJPEGImage& operator=(const TJPEGImage&) = default;

    // Takes the rest of the stream as the JPEG data and decodes it (raises EJPEG when the data
    // is no JPEG or is damaged; the picture is then empty).
    void LoadFromStream(QIODevice& stream);
    void LoadFromBytes(const QByteArray& bytes);
    // Writes the JPEG data: the data loaded, or the picture compressed with the current
    // settings when it was assigned or the settings changed.
    void SaveToStream(QIODevice& stream);
    QByteArray SaveToBytes();

    // Takes a picture to be compressed at the next save.
    void Assign(const QImage& image);
    // The decoded picture (32-bit RGB, or 8-bit grey for grey data); null when empty.
    const QImage& Image() const { return FImage; }
    bool Empty() const { return FImage.isNull(); }
    int Width() const { return FImage.width(); }
    int Height() const { return FImage.height(); }
    // The picture was compressed progressively (as loaded).
    bool ProgressiveData() const { return FProgressiveData; }
    void Clear();

    // Compression settings.
    int CompressionQuality() const { return FQuality; }
    void SetCompressionQuality(int quality);   // 1..100
    bool ProgressiveEncoding() const { return FProgressiveEncoding; }
    void SetProgressiveEncoding(bool progressive);
    // Decoding and encoding settings.
    bool Grayscale() const { return FGrayscale; }
    void SetGrayscale(bool grayscale);
    TJPEGScale Scale() const { return FScale; }
    void SetScale(TJPEGScale scale);
    TJPEGPerformance Performance() const { return FPerformance; }
    void SetPerformance(TJPEGPerformance performance);
    TJPEGPixelFormat PixelFormat() const { return FGrayscale ? jf8Bit : jf24Bit; }

    // Recompresses the picture with the current settings.
    void Compress();
    // Decodes the data again with the current decoding settings.
    void Decode();

    // Pictures larger than this many pixels are refused rather than allocated.
    static constexpr qint64 MaxPixels = 64LL * 1024 * 1024;

private:
    QByteArray FData;       // the compressed data; empty when only FImage holds the picture
    QImage FImage;
    int FQuality = 90;
    bool FProgressiveEncoding = false;
    bool FGrayscale = false;
    bool FProgressiveData = false;
    TJPEGScale FScale = jsFullSize;
    TJPEGPerformance FPerformance = jpBestQuality;
};

// Low level: decode one JPEG stream (the stream's rest) or encode a picture into a stream.
QImage DecodeJPEG(QIODevice& source, TJPEGScale scale = jsFullSize, TJPEGPerformance performance = jpBestQuality,
                  bool grayscale = false, bool* progressive = nullptr);
void EncodeJPEG(const QImage& image, QIODevice& destination, int quality = 90, bool progressive = false,
                bool grayscale = false);
