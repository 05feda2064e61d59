#include "platform/vcl/Jpeg.h"
#include "platform/vcl/Picture.h"
#include "tests/common/TestSupport.h"

#include <QBuffer>
#include <gtest/gtest.h>

extern "C" {
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>
}

namespace {
QImage Gradient(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
    return image;
}

QByteArray Encode(const QImage& image, int quality = 90, bool progressive = false, bool gray = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EncodeJPEG(image, buffer, quality, progressive, gray);
    return bytes;
}

int MaxChannelDifference(const QImage& a, const QImage& b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

int ErrorCodeOf(const QByteArray& bytes)
{
    try {
        TJPEGImage jpeg;
        jpeg.LoadFromBytes(bytes);
    } catch (const EJPEG& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("JPEG error #%1").arg(e.ErrorCode));
        return e.ErrorCode;
    }
    return 0;
}

// A device that refuses every write.
class TFullDevice : public QIODevice {
public:
    TFullDevice() { open(QIODevice::WriteOnly); }
protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64) override { return -1; }
};
} // namespace

TEST(Jpeg, BaselineAndProgressiveRoundTrips)
{
    const QImage source = Gradient(97, 61);
    struct Case {
        bool Progressive;
        bool Gray;
    };
    for (Case c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
        const QByteArray data = Encode(source, 95, c.Progressive, c.Gray);
        ASSERT_TRUE(data.startsWith("\xFF\xD8"));
        TJPEGImage jpeg;
        jpeg.LoadFromBytes(data);
        EXPECT_EQ(jpeg.ProgressiveData(), c.Progressive);
        ASSERT_EQ(jpeg.Image().size(), source.size());
        if (c.Gray) {
            EXPECT_EQ(jpeg.Image().format(), QImage::Format_Grayscale8);
            EXPECT_EQ(jpeg.PixelFormat(), jf24Bit);   // the data was grey, not the setting
        } else {
            EXPECT_LE(MaxChannelDifference(jpeg.Image(), source), 24) << c.Progressive;
        }
        // Saving what was loaded writes the same bytes.
        EXPECT_EQ(jpeg.SaveToBytes(), data);
    }
}

TEST(Jpeg, SettingsAffectDecodingAndEncoding)
{
    const QImage source = Gradient(64, 48);
    TJPEGImage jpeg;
    jpeg.Assign(source);
    jpeg.SetCompressionQuality(20);
    const QByteArray low = jpeg.SaveToBytes();
    jpeg.SetCompressionQuality(100);
    const QByteArray high = jpeg.SaveToBytes();
    EXPECT_LT(low.size(), high.size());
    jpeg.SetCompressionQuality(500);
    EXPECT_EQ(jpeg.CompressionQuality(), 100);

    jpeg.SetProgressiveEncoding(true);
    TJPEGImage progressive;
    progressive.LoadFromBytes(jpeg.SaveToBytes());
    EXPECT_TRUE(progressive.ProgressiveData());

    TJPEGImage scaled;
    scaled.SetScale(jsQuarter);
    scaled.LoadFromBytes(high);
    EXPECT_EQ(scaled.Image().size(), QSize(16, 12));
    scaled.SetScale(jsFullSize);
    EXPECT_EQ(scaled.Image().size(), QSize(64, 48));
    scaled.SetGrayscale(true);
    EXPECT_EQ(scaled.Image().format(), QImage::Format_Grayscale8);
    scaled.SetPerformance(jpBestSpeed);
    EXPECT_EQ(scaled.Image().size(), QSize(64, 48));
}

TEST(Jpeg, DamagedDataRaisesJpegErrors)
{
    QBuffer none;
    none.open(QIODevice::ReadOnly);
    try {
        DecodeJPEG(none);
        ADD_FAILURE();
    } catch (const EJPEG& e) {
        EXPECT_EQ(e.ErrorCode, JERR_INPUT_EMPTY);
    }
    // No data at all is no picture rather than a damaged one.
    EXPECT_EQ(ErrorCodeOf(QByteArray()), 0);
    EXPECT_EQ(ErrorCodeOf("BM not a jpeg at all"), JERR_NO_SOI);

    // Every truncation either gives a picture (the rest reads as grey) or an error, never more.
    for (bool progressive : {false, true}) {
        const QByteArray data = Encode(Gradient(40, 30), 80, progressive);
        for (int n = 1; n < data.size(); n += (n < 400 ? 1 : 37)) {
            TJPEGImage jpeg;
            try {
                jpeg.LoadFromBytes(data.left(n));
                EXPECT_EQ(jpeg.Image().size(), QSize(40, 30));
            } catch (const EJPEG&) {
                EXPECT_TRUE(jpeg.Empty());
            }
        }
        // Flipped bits anywhere.
        for (int i = 0; i < data.size(); i += 3) {
            QByteArray bad = data;
            bad[i] = char(bad[i] ^ (1 << (i % 8)));
            TJPEGImage jpeg;
            try {
                jpeg.LoadFromBytes(bad);
            } catch (const EJPEG&) {
            }
        }
    }
}

TEST(Jpeg, HugeDimensionsAreRefusedBeforeAllocation)
{
    QByteArray data = Encode(Gradient(16, 16));
    // The frame header (SOF0): FF C0, length, precision, height, width.
    const int sof = data.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    data[sof + 5] = char(0xFF);
    data[sof + 6] = char(0xF0);
    data[sof + 7] = char(0xFF);
    data[sof + 8] = char(0xF0);
    EXPECT_EQ(ErrorCodeOf(data), JERR_IMAGE_TOO_BIG);
}

TEST(Jpeg, WriteFailuresAndEmptyPicturesRaise)
{
    TFullDevice full;
    try {
        EncodeJPEG(Gradient(300, 300), full);
        ADD_FAILURE();
    } catch (const EJPEG& e) {
        EXPECT_EQ(e.ErrorCode, JERR_FILE_WRITE);
    }
    TJPEGImage empty;
    EXPECT_TRUE(empty.SaveToBytes().isEmpty());
    EXPECT_THROW(Encode(QImage()), EJPEG);
}

TEST(PictureFormats, RegistryAndSniffing)
{
    for (const char* ext : {"jpeg", "jpg", ".JPG", "bmp", "png"}) EXPECT_NE(FileFormatOf(QLatin1String(ext)), nullptr) << ext;
    EXPECT_EQ(FileFormatOf("gif"), nullptr);
    EXPECT_EQ(FileFormatOf("jpg")->Description, "JPEG Image File");
    EXPECT_TRUE(GraphicFilter().contains("JPEG Image File (*.jpeg)|*.jpeg"));

    const QImage source = Gradient(20, 10);
    const QByteArray jpeg = Encode(source);
    const QByteArray bmp = BitmapBytes(source);
    EXPECT_EQ(GraphicKindOf(jpeg), gkJPEG);
    EXPECT_EQ(GraphicKindOf(bmp), gkBitmap);
    EXPECT_EQ(GraphicKindOf("GIF89a"), gkNone);
    EXPECT_EQ(ReadPicture(jpeg).size(), source.size());
    EXPECT_EQ(ReadPicture(bmp).convertToFormat(QImage::Format_RGB32), source);
    EXPECT_TRUE(ReadPicture("nothing").isNull());
    EXPECT_THROW(ReadPicture(bmp.left(20)), EInvalidGraphic);
    EXPECT_EQ(FileFormatOf("jpg")->Read(jpeg).size(), source.size());
}
