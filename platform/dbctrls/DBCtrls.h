#pragma once
// Data-aware controls of the platform: TDBImage, the picture of a blob field.

#include "platform/data/DB.h"
#include "platform/vcl/Picture.h"

#include <QFrame>
#include <QImage>

// Shows the picture held in a graphic or blob field: a bitmap, a JPEG or a PNG, after the
// 8-byte graphic header that graphic and typed-binary fields may carry. The picture can be
// copied to the clipboard, and pasted or cut, which puts the dataset into edit state; the
// field gets the new picture when the record is posted, in the kind it held (a bitmap when
// it held none), with the graphic header when it had one (an empty graphic or typed-binary
// field gets one).
class TDBImage : public QFrame {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool Center READ Center WRITE SetCenter)
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool AutoDisplay READ AutoDisplay WRITE SetAutoDisplay)

public:
    explicit TDBImage(QWidget* parent = nullptr);
    ~TDBImage() override;

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name);
    TField* Field() const { return FDataLink.Field(); }
    bool Center() const { return FCenter; }
    void SetCenter(bool center);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool stretch);
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    void SetReadOnly(bool readOnly) { FDataLink.SetReadOnly(readOnly); }
    // Off: the picture is read only on LoadPicture (Enter or a double click).
    bool AutoDisplay() const { return FAutoDisplay; }
    void SetAutoDisplay(bool autoDisplay);

    // The picture shown (null when the field is empty or holds no picture).
    const QImage& Picture() const { return FPicture; }
    // The kind of picture the field held when it was read.
    TGraphicKind GraphicKind() const { return FKind; }
    // The message of a picture that could not be read ("" when it could).
    QString PictureError() const { return FPictureError; }

    void LoadPicture();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // True when the clipboard holds a picture.
    static bool CanPaste();

    // The graphic header of graphic and typed-binary blobs: 01 00 00 01 and the size.
    static QByteArray StripGraphicHeader(const QByteArray& bytes);
    static QByteArray AddGraphicHeader(const QByteArray& bytes);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void DataChange();
    void UpdateData();
    void SetPicture(const QImage& picture);
    QRect DestRect() const;

    TFieldDataLink FDataLink;
    QImage FPicture;
    TGraphicKind FKind = gkNone;
    QString FPictureError;
    bool FPictureLoaded = false;
    bool FGraphicHeader = false;   // written in front of the picture at the next store
    bool FCenter = true;
    bool FStretch = false;
    bool FAutoDisplay = true;
};
