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

// --- TDBMemo -----------------------------------------------------------------------------------

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnEditingChange = [this](TFieldDataLink*) { EditingChange(); };
    FDataLink.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
    FDataLink.OnActiveChange = [this](TFieldDataLink*) { DataChange(); };
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (FLoading) return;
        FModified = true;
        FDataLink.Modified();
    });
    DataChange();
}

TDBMemo::~TDBMemo() { FDataLink.SetDataSource(nullptr); }

void TDBMemo::SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }

void TDBMemo::SetDataField(const QString& name) { FDataLink.SetFieldName(name); }

void TDBMemo::SetReadOnly(bool readOnly)
{
    FDataLink.SetReadOnly(readOnly);
    EditingChange();
}

void TDBMemo::SetWantTabs(bool value)
{
    FWantTabs = value;
    setTabChangesFocus(!value);
}

QStringList TDBMemo::Lines() const { return toPlainText().split(QLatin1Char('\n')); }

void TDBMemo::SetLines(const QStringList& lines) { setPlainText(lines.join(QLatin1Char('\n'))); }

void TDBMemo::DataChange()
{
    TField* field = Field();
    QString text;
    if (field) {
        text = field->IsBlob() ? field->AsString() : FDataLink.Editing() && hasFocus() ? field->EditText()
                                                                                     : field->DisplayText();
        // Stored memos keep CR LF line ends; the edit shows one line break for each.
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    }
    FLoading = true;
    if (text != toPlainText()) setPlainText(text);
    FLoading = false;
    FModified = false;
    EditingChange();
}

void TDBMemo::EditingChange() { QPlainTextEdit::setReadOnly(!FDataLink.CanModify()); }

bool TDBMemo::BeginChange()
{
    if (!FDataLink.Edit()) return false;
    return true;
}

void TDBMemo::UpdateData()
{
    TField* field = Field();
    if (!field) return;
    QString text = toPlainText();
    if (field->IsBlob()) {
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        field->SetAsString(text);
    } else {
        field->SetEditText(text);
    }
    FModified = false;
}

void TDBMemo::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !FWantReturns && !(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    if (key == Qt::Key_Escape) {
        // Escape drops the change of the record (the dataset cancels when it was this edit).
        if (FDataLink.Editing() && FModified) {
            FDataLink.Reset();
            selectAll();
            return;
        }
        event->ignore();
        return;
    }
    const bool changes = !event->text().isEmpty() && event->text().at(0).isPrint() ? true
                         : key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Return ||
                               key == Qt::Key_Enter || event->matches(QKeySequence::Paste) ||
                               event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Undo) ||
                               event->matches(QKeySequence::Redo) || (key == Qt::Key_Tab && FWantTabs);
    if (changes && !BeginChange()) {
        // Navigation and copying stay possible; changing keys are refused.
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TDBMemo::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    if (FModified && FDataLink.Editing()) {
        try {
            FDataLink.UpdateRecord();
        } catch (const std::exception& e) {
            ApplicationShowException(e);
            setFocus();
        }
    }
}

void TDBMemo::insertFromMimeData(const QMimeData* source)
{
    if (!BeginChange()) return;
    QPlainTextEdit::insertFromMimeData(source);
}
