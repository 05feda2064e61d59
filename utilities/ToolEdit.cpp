#include "utilities/ToolEdit.h"

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>

TCustomComboEdit::TCustomComboEdit(QWidget* parent) : QWidget(parent), FEdit(new QLineEdit(this)), FButton(new QToolButton(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FEdit);
    layout->addWidget(FButton);
    FButton->setText(QStringLiteral("..."));
    FButton->setFixedWidth(21);
    FButton->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(FEdit);
    connect(FEdit, &QLineEdit::textChanged, this, [this] {
        if (OnChange) TApplication::Guard([this] { OnChange(this); });
    });
    connect(FButton, &QToolButton::clicked, this, [this] { TApplication::Guard([this] { DoClick(); }); });
    FEdit->installEventFilter(this);
}

void TCustomComboEdit::SetText(const QString& text) { FEdit->setText(text); }

bool TCustomComboEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FEdit && event->type() == QEvent::FocusOut && OnExit) TApplication::Guard([this] { OnExit(this); });
    return QWidget::eventFilter(watched, event);
}

QString TFilenameEdit::GetFileName() const
{
    const QString text = Text();
    if (!text.isEmpty() && QFileInfo(text).isFile()) return text;
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('"'))) {
        const int end = trimmed.indexOf(QLatin1Char('"'), 1);
        return end < 0 ? trimmed.mid(1) : trimmed.mid(1, end - 1);
    }
    const int blank = trimmed.indexOf(QLatin1Char(' '));
    return blank < 0 ? trimmed : trimmed.left(blank);
}

void TFilenameEdit::DoClick()
{
    TFileDialogOptions o;
    o.Title = DialogTitle;
    o.Filter = Filter;
    o.DefaultExt = DefaultExt;
    o.OverwritePrompt = DialogOptions.Contains(ofOverwritePrompt);
    o.FileMustExist = DialogOptions.Contains(ofFileMustExist);
    const QString current = GetFileName();
    o.InitialDir = !FInitialDir.isEmpty() ? FInitialDir : (current.isEmpty() ? QString() : QFileInfo(current).absolutePath());
    o.FileName = current.isEmpty() ? QString() : QFileInfo(current).fileName();
    if (DialogKind == dkSave) {
        QString name;
        if (ExecuteSaveDialog(o, name, window())) SetText(name);
        return;
    }
    QStringList files;
    if (ExecuteOpenDialog(o, files, window()) && !files.isEmpty()) SetText(files.first());
}

void TDirectoryEdit::DoClick()
{
    QString folder = Text().isEmpty() ? FInitialDir : Text();
    if (SelectDirectory(DialogText, QString(), folder, window())) SetText(folder);
}
