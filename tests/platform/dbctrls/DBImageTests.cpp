#include "platform/dbctrls/DBCtrls.h"
#include "platform/vcl/Jpeg.h"
#include "tests/platform/data/TestDataSet.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImageWriter>
#include <gtest/gtest.h>

namespace {
QImage Picture(int w, int h, QRgb color)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QByteArray PngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "PNG").write(image);
    return bytes;
}

QByteArray JpegBytes(const QImage& image)
{
    TJPEGImage jpeg;
    jpeg.Assign(image);
    return jpeg.SaveToBytes();
}

struct ImageFixture : ::testing::Test {
    TTestDataSet ds;
    TDataSource source;
    TDBImage image;
    void SetUp() override
    {
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("Pic", ftGraphic);
        source.SetDataSet(&ds);
        image.SetDataSource(&source);
        image.SetDataField("Pic");
    }
    void AddPicture(int id, const QByteArray& bytes)
    {
        ds.AddRow({id, bytes.isNull() ? TVariant::Null() : TVariant::FromBytes(bytes)});
    }
    QByteArray Stored() { return ds.FieldByName("Pic")->AsBytes(); }
};
} // namespace

TEST_F(ImageFixture, ShowsBitmapJpegAndPngWithOrWithoutTheGraphicHeader)
{
    const QImage red = Picture(12, 8, qRgb(255, 0, 0));
    const QByteArray bmp = BitmapBytes(red);
    QByteArray badHeader = TDBImage::AddGraphicHeader(bmp);
    badHeader[4] = char(badHeader[4] + 1);   // the size no longer matches: not a header
    QByteArray brokenJpeg = JpegBytes(red);
    brokenJpeg.truncate(3);

    struct Case {
        QByteArray Bytes;
        TGraphicKind Kind;
        bool Shown;
        bool Error;
    };
    const Case cases[] = {
        {TDBImage::AddGraphicHeader(bmp), gkBitmap, true, false},
        {bmp, gkBitmap, true, false},
        {TDBImage::AddGraphicHeader(JpegBytes(red)), gkJPEG, true, false},
        {PngBytes(red), gkPNG, true, false},
        {QByteArray(), gkNone, false, false},
        {badHeader, gkNone, false, false},
        {brokenJpeg, gkJPEG, false, true},
        {QByteArray("\x01\x00\x00\x01\x00\x00\x00\x00", 8), gkNone, false, false},
    };
    int id = 0;
    for (const Case& c : cases) AddPicture(++id, c.Bytes);
    ds.Open();
    id = 0;
    for (const Case& c : cases) {
        ++id;
        SCOPED_TRACE(id);
        EXPECT_EQ(image.GraphicKind(), c.Kind);
        EXPECT_EQ(!image.Picture().isNull(), c.Shown);
        if (c.Shown) {
            EXPECT_EQ(image.Picture().size(), red.size());
        }
        EXPECT_EQ(!image.PictureError().isEmpty(), c.Error);
        ds.Next();
    }
}

TEST_F(ImageFixture, PasteEditsAndPostStoresTheKindTheFieldHeld)
{
    const QImage red = Picture(10, 10, qRgb(255, 0, 0));
    const QImage blue = Picture(6, 4, qRgb(0, 0, 255));
    AddPicture(1, TDBImage::AddGraphicHeader(BitmapBytes(red)));
    AddPicture(2, PngBytes(red));
    AddPicture(3, QByteArray());
    ds.Open();

    QApplication::clipboard()->setImage(blue);
    image.PasteFromClipboard();
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Post();
    QByteArray stored = Stored();
    EXPECT_EQ(TDBImage::StripGraphicHeader(stored).size(), stored.size() - 8);
    EXPECT_EQ(GraphicKindOf(TDBImage::StripGraphicHeader(stored)), gkBitmap);
    EXPECT_EQ(image.Picture().size(), blue.size());

    ds.Next();
    image.PasteFromClipboard();
    ds.Post();
    EXPECT_EQ(GraphicKindOf(Stored()), gkPNG);
    EXPECT_EQ(ReadPicture(Stored()).convertToFormat(QImage::Format_RGB32), blue);

    // An empty field gets a bitmap.
    ds.Next();
    image.PasteFromClipboard();
    ds.Post();
    EXPECT_EQ(GraphicKindOf(TDBImage::StripGraphicHeader(Stored())), gkBitmap);

    // Copy puts the picture on the clipboard; cut empties the field at the post.
    ds.First();
    QApplication::clipboard()->clear();
    image.CopyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->image().size(), blue.size());
    image.CutToClipboard();
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Post();
    EXPECT_TRUE(ds.FieldByName("Pic")->IsNull());
}

TEST_F(ImageFixture, ReadOnlyControlOrDatasetPastesNothing)
{
    AddPicture(1, QByteArray());
    ds.Open();
    QApplication::clipboard()->setImage(Picture(4, 4, qRgb(0, 255, 0)));
    image.SetReadOnly(true);
    image.PasteFromClipboard();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_TRUE(image.Picture().isNull());

    image.SetReadOnly(false);
    ds.SetReadOnly(true);
    image.PasteFromClipboard();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_TRUE(image.Picture().isNull());

    // Nothing to paste: no edit either.
    ds.SetReadOnly(false);
    QApplication::clipboard()->clear();
    image.PasteFromClipboard();
    EXPECT_EQ(ds.State(), dsBrowse);
}
