#pragma once
// The rich-text edit and its data-aware form. Execute opens the editor window (caption
// EditorCaption) on a copy of the content and takes it back on OK. Stored rich text is shown
// as its plain text; it is kept read-only in the editor, so its formatting is never lost.

#include "platform/data/DB.h"

#include <QTextEdit>
#include <functional>

// The plain text of a rich-text value ("{\rtf..."): paragraphs as line breaks, control words
// and the font, colour and style tables dropped. Other text comes back as it is.
QString RichTextToPlainText(const QByteArray& value);

class TkqCustomRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TkqCustomRichEdit(QWidget* parent = nullptr);
    QString EditorCaption = QStringLiteral("Edit Rich Text");
    // The plain text of the content.
    QString Text() const { return toPlainText(); }
    void SetText(const QString& text) { setPlainText(text); }
    // Opens the editor window; true when the user chose OK.
    virtual bool Execute();
    // The window while it is shown (for tests).
    QWidget* EditorForm() const { return FEditorForm; }

protected:
    // The content is stored rich text: the editor shows it read-only.
    bool FContentIsRichText = false;

private:
    QWidget* FEditorForm = nullptr;
};

class TkqDBRichEdit : public TkqCustomRichEdit {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)

public:
    explicit TkqDBRichEdit(QWidget* parent = nullptr);
    ~TkqDBRichEdit() override;

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name) { FDataLink.SetFieldName(name); }
    TField* Field() const { return FDataLink.Field(); }

    // The whole value of a blob field; afterwards Text is its plain text.
    void LoadFromBlobField(TField* field);
    // At most count paragraphs of the field's value.
    void LoadFieldParagraphs(TField* field, int count);
    // Opens the editor on the bound field of the current record and writes it back on OK.
    bool Execute() override;

private:
    void DataChange();

    TFieldDataLink FDataLink;
};
