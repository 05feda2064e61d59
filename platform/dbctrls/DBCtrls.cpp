#include "platform/dbctrls/DBCtrls.h"

#include "platform/vcl/Jpeg.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImageWriter>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QtEndian>

TDBImage::TDBImage(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
    FDataLink.OnActiveChange = [this](TFieldDataLink*) { DataChange(); };
}

TDBImage::~TDBImage() { FDataLink.SetDataSource(nullptr); }

void TDBImage::SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }

void TDBImage::SetDataField(const QString& name) { FDataLink.SetFieldName(name); }

void TDBImage::SetCenter(bool center)
{
    if (center == FCenter) return;
    FCenter = center;
    update();
}

void TDBImage::SetStretch(bool stretch)
{
    if (stretch == FStretch) return;
    FStretch = stretch;
    update();
}

void TDBImage::SetAutoDisplay(bool autoDisplay)
{
    if (autoDisplay == FAutoDisplay) return;
    FAutoDisplay = autoDisplay;
    if (autoDisplay) LoadPicture();
}

QByteArray TDBImage::StripGraphicHeader(const QByteArray& bytes)
{
    if (bytes.size() < 8) return bytes;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromLittleEndian<quint16>(p) == 1 && qFromLittleEndian<quint16>(p + 2) == 0x0100 &&
        qFromLittleEndian<quint32>(p + 4) == quint32(bytes.size() - 8))
        return bytes.mid(8);
    return bytes;
}

QByteArray TDBImage::AddGraphicHeader(const QByteArray& bytes)
{
    QByteArray result(8, '\0');
    auto* p = reinterpret_cast<uchar*>(result.data());
    qToLittleEndian<quint16>(1, p);
    qToLittleEndian<quint16>(0x0100, p + 2);
    qToLittleEndian<quint32>(quint32(bytes.size()), p + 4);
    return result + bytes;
}

void TDBImage::DataChange()
{
    FPictureLoaded = false;
    FPicture = QImage();
    FKind = gkNone;
    FPictureError.clear();
    FGraphicHeader = false;
    if (FAutoDisplay) LoadPicture();
    update();
}

void TDBImage::LoadPicture()
{
    if (FPictureLoaded) return;
    FPictureLoaded = true;
    FPicture = QImage();
    FKind = gkNone;
    FPictureError.clear();
    TField* field = Field();
    FGraphicHeader = field && (field->DataType() == ftGraphic || field->DataType() == ftTypedBinary);
    if (field && field->IsBlob() && !field->IsNull()) {
        const QByteArray raw = field->AsBytes();
        const QByteArray bytes = StripGraphicHeader(raw);
        FKind = GraphicKindOf(bytes);
        if (FKind != gkNone) FGraphicHeader = bytes.size() != raw.size();
        try {
            FPicture = ReadPicture(bytes);
        } catch (const Exception& e) {
            // A damaged picture says so in place of the picture; the record stays usable.
            FPictureError = e.Message();
        }
    }
    update();
}

void TDBImage::SetPicture(const QImage& picture)
{
    FPicture = picture;
    FPictureError.clear();
    FPictureLoaded = true;
    FDataLink.Modified();
    update();
}

void TDBImage::UpdateData()
{
    TField* field = Field();
    if (!field) return;
    if (FPicture.isNull()) {
        field->Clear();
        return;
    }
    QByteArray bytes;
    if (FKind == gkJPEG) {
        TJPEGImage jpeg;
        jpeg.Assign(FPicture);
        bytes = jpeg.SaveToBytes();
    } else if (FKind == gkPNG) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        // A failed write must not store an empty field in place of the picture.
        if (!QImageWriter(&buffer, "PNG").write(FPicture)) throw EInvalidGraphic(QStringLiteral("PNG image is not valid"));
    } else {
        bytes = BitmapBytes(FPicture);
    }
    if (FGraphicHeader) bytes = AddGraphicHeader(bytes);
    field->SetAsBytes(bytes);
}

void TDBImage::CopyToClipboard()
{
    if (!FPicture.isNull()) QApplication::clipboard()->setImage(FPicture);
}

void TDBImage::CutToClipboard()
{
    if (FPicture.isNull() || !FDataLink.Edit()) return;
    CopyToClipboard();
    SetPicture(QImage());
}

bool TDBImage::CanPaste()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

void TDBImage::PasteFromClipboard()
{
    if (!CanPaste() || !FDataLink.Edit()) return;
    const QImage image = QApplication::clipboard()->image();
    if (image.isNull()) return;
    if (FKind == gkNone) FKind = gkBitmap;
    SetPicture(image);
}

QRect TDBImage::DestRect() const
{
    const QRect area = contentsRect();
    if (FStretch) return area;
    QRect dest(area.topLeft(), FPicture.size());
    if (FCenter) dest.moveCenter(area.center());
    return dest;
}

void TDBImage::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    if (!FPicture.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, FStretch);
        painter.drawImage(DestRect(), FPicture);
        return;
    }
    QString text;
    if (!FPictureError.isEmpty())
        text = FPictureError;
    else if (Field() && !FPictureLoaded)
        text = QStringLiteral("(%1)").arg(Field()->DisplayLabel());
    if (!text.isEmpty()) painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextWordWrap, text);
}

void TDBImage::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    const int key = event->key();
    if ((mods == Qt::ControlModifier && key == Qt::Key_C) || (mods == Qt::ControlModifier && key == Qt::Key_Insert)) {
        CopyToClipboard();
    } else if ((mods == Qt::ControlModifier && key == Qt::Key_V) || (mods == Qt::ShiftModifier && key == Qt::Key_Insert)) {
        PasteFromClipboard();
    } else if ((mods == Qt::ControlModifier && key == Qt::Key_X) || (mods == Qt::ShiftModifier && key == Qt::Key_Delete)) {
        CutToClipboard();
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        LoadPicture();
    } else if (key == Qt::Key_Escape) {
        FDataLink.Reset();
    } else {
        QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TDBImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    LoadPicture();
    QFrame::mouseDoubleClickEvent(event);
}
