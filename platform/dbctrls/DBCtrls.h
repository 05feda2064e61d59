#pragma once
// Data-aware controls of the platform: TDBImage, the picture of a blob field, and TDBMemo, the
// text of a memo field.

#include "platform/data/DB.h"
#include "platform/vcl/Picture.h"

#include <QFrame>
#include <QImage>
#include <QPlainTextEdit>
#include <QStringList>

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

// The text of a memo field (or of any field, as its edit text) in a multi-line edit. Typing
// puts the dataset into edit state first and is refused when the field cannot be changed; the
// text reaches the field when the record is posted or the memo loses the focus.
class TDBMemo : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
    Q_PROPERTY(bool WantReturns READ WantReturns WRITE SetWantReturns)
    Q_PROPERTY(bool WantTabs READ WantTabs WRITE SetWantTabs)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(bool Modified READ Modified WRITE SetModified)

public:
    explicit TDBMemo(QWidget* parent = nullptr);
    ~TDBMemo() override;

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name);
    TField* Field() const { return FDataLink.Field(); }
    TFieldDataLink& DataLink() { return FDataLink; }
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    void SetReadOnly(bool readOnly);
    QStringList Lines() const;
    void SetLines(const QStringList& lines);
    // Off: Enter is left to the window (its default button).
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }
    // Off: Tab moves the focus.
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value);
    bool WordWrap() const { return lineWrapMode() != NoWrap; }
    void SetWordWrap(bool value) { setLineWrapMode(value ? WidgetWidth : NoWrap); }
    // The user changed the text since it was last read from the field.
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }

    // Writes the text to the field (the data link's update).
    void UpdateData();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void DataChange();
    void EditingChange();
    // Puts the dataset into edit state; false when the field cannot be changed.
    bool BeginChange();

    TFieldDataLink FDataLink;
    bool FLoading = false;
    bool FModified = false;
    bool FWantReturns = true;
    bool FWantTabs = false;
};
