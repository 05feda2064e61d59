#include "gridlib/dialogs/kqriched.h"

#include "platform/vcl/Forms.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace {

bool IsRtf(const QByteArray& value) { return value.startsWith("{\\rtf"); }

QByteArray FieldBytes(TField* field)
{
    if (!field || field->IsNull()) return {};
    return field->IsBlob() ? field->AsBytes() : field->AsString().toUtf8();
}

} // namespace

QString RichTextToPlainText(const QByteArray& value)
{
    if (!IsRtf(value)) return QString::fromLocal8Bit(value);
    QString out;
    // Groups whose text is not part of the document.
    static const QList<QByteArray> skipped = {"fonttbl", "colortbl", "stylesheet", "info", "pict", "header",
                                              "footer", "listtable", "listoverridetable", "generator"};
    std::vector<bool> skip{false};
    int ucSkip = 0;
    const int n = value.size();
    for (int i = 0; i < n;) {
        const char c = value[i];
        if (c == '{') {
            skip.push_back(skip.back());
            ++i;
            continue;
        }
        if (c == '}') {
            if (skip.size() > 1) skip.pop_back();
            ++i;
            continue;
        }
        if (c == '\\') {
            ++i;
            if (i >= n) break;
            const char d = value[i];
            if (d == '\\' || d == '{' || d == '}') {
                if (!skip.back()) out += QLatin1Char(d);
                ++i;
                continue;
            }
            if (d == '*') {
                skip.back() = true;
                ++i;
                continue;
            }
            if (d == '\'') {
                if (i + 2 < n + 1 && !skip.back()) {
                    bool ok = false;
                    const int code = value.mid(i + 1, 2).toInt(&ok, 16);
                    if (ok) out += QString::fromLatin1(QByteArray(1, char(code)));
                }
                i += 3;
                continue;
            }
            if (!((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z'))) {
                ++i;
                continue;
            }
            int j = i;
            while (j < n && ((value[j] >= 'a' && value[j] <= 'z') || (value[j] >= 'A' && value[j] <= 'Z'))) ++j;
            const QByteArray word = value.mid(i, j - i);
            int k = j;
            if (k < n && (value[k] == '-' || (value[k] >= '0' && value[k] <= '9'))) {
                ++k;
                while (k < n && value[k] >= '0' && value[k] <= '9') ++k;
            }
            const int param = value.mid(j, k - j).toInt();
            if (k < n && value[k] == ' ') ++k;
            i = k;
            if (skipped.contains(word)) skip.back() = true;
            if (skip.back()) continue;
            if (word == "par" || word == "line") out += QLatin1Char('\n');
            else if (word == "tab") out += QLatin1Char('\t');
            else if (word == "uc") ucSkip = param;
            else if (word == "u") {
                out += QChar(char16_t(param < 0 ? param + 65536 : param));
                for (int s = 0; s < ucSkip && i < n; ++s) i += value[i] == '\\' ? 4 : 1;
            }
            continue;
        }
        if (c != '\r' && c != '\n' && !skip.back()) out += QLatin1Char(c);
        ++i;
    }
    while (out.endsWith(QLatin1Char('\n'))) out.chop(1);
    return out;
}

// ---------------------------------------------------------------------------------------------

TkqCustomRichEdit::TkqCustomRichEdit(QWidget* parent) : QTextEdit(parent) { setAcceptRichText(false); }

bool TkqCustomRichEdit::Execute()
{
    QDialog form(Application() ? Application()->MainForm() : nullptr);
    form.setObjectName(QStringLiteral("kqRichEditForm"));
    form.setWindowTitle(EditorCaption);
    form.resize(560, 400);
    auto* layout = new QVBoxLayout(&form);
    auto* editor = new QTextEdit(&form);
    editor->setObjectName(QStringLiteral("RichEdit1"));
    editor->setAcceptRichText(false);
    editor->setPlainText(toPlainText());
    editor->setReadOnly(FContentIsRichText || isReadOnly());
    layout->addWidget(editor);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &form);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &form, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &form, &QDialog::reject);
    layout->addWidget(buttons);
    FEditorForm = &form;
    const bool ok = form.exec() == QDialog::Accepted;
    FEditorForm = nullptr;
    if (ok && !editor->isReadOnly()) setPlainText(editor->toPlainText());
    return ok;
}

// ---------------------------------------------------------------------------------------------

TkqDBRichEdit::TkqDBRichEdit(QWidget* parent) : TkqCustomRichEdit(parent)
{
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnActiveChange = [this](TFieldDataLink*) { DataChange(); };
}

TkqDBRichEdit::~TkqDBRichEdit() { FDataLink.OnDataChange = nullptr; }

void TkqDBRichEdit::DataChange() { LoadFromBlobField(FDataLink.Field()); }

void TkqDBRichEdit::LoadFromBlobField(TField* field)
{
    const QByteArray bytes = FieldBytes(field);
    FContentIsRichText = IsRtf(bytes);
    setPlainText(FContentIsRichText ? RichTextToPlainText(bytes) : (field && !field->IsNull() ? field->AsString() : QString()));
}

void TkqDBRichEdit::LoadFieldParagraphs(TField* field, int count)
{
    LoadFromBlobField(field);
    const QStringList paragraphs = toPlainText().split(QLatin1Char('\n'));
    if (count >= 0 && paragraphs.size() > count) setPlainText(paragraphs.mid(0, count).join(QLatin1Char('\n')));
}

bool TkqDBRichEdit::Execute()
{
    TField* field = FDataLink.Field();
    LoadFromBlobField(field);
    const bool canWrite = field && FDataLink.CanModify() && !FContentIsRichText;
    setReadOnly(!canWrite);
    const QString before = toPlainText();
    const bool ok = TkqCustomRichEdit::Execute();
    const QString text = toPlainText();
    // Edit re-reads the record into the control, so the new text is taken first.
    if (ok && canWrite && text != before && FDataLink.Edit()) field->SetAsString(text);
    return ok;
}
