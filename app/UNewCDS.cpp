#include "app/UNewCDS.h"

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysUtils.h"
#include "utilities/ToolEdit.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFrmNewCDS::TFrmNewCDS(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmNewCDS"));
    setWindowTitle(QStringLiteral("New CDS"));
    resize(360, 126);

    auto* group = new QGroupBox(QStringLiteral("Filename"), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    EdtFileName = new TFilenameEdit(group);
    EdtFileName->setObjectName(QStringLiteral("EdtFileName"));
    EdtFileName->SetDefaultExt(QStringLiteral("cds"));
    EdtFileName->SetFilter(QStringLiteral("CDS files (*.cds)|*.cds|XML files (*.xml)|*.xml|DAT files (*.dat)|*.dat"));
    EdtFileName->SetDialogOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly});
    EdtFileName->SetDialogKind(dkSave);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(EdtFileName);

    btnSelect = new QPushButton(QStringLiteral("Select"), this);
    btnSelect->setObjectName(QStringLiteral("btnSelect"));
    btnSelect->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSelect);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    connect(btnSelect, &QPushButton::clicked, this, [this] { btnSelectClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmNewCDS::SetFolder(const QString& folder)
{
    Folder = folder;
    EdtFileName->SetInitialDir(folder);
    EdtFileName->SetText(folder);
}

void TFrmNewCDS::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // After the window has given its first focus (which selects the whole text).
    PostCall(this, [this] {
        QLineEdit* edit = EdtFileName;
        edit->setFocus();
        edit->deselect();
        edit->setCursorPosition(int(edit->text().size()));
    });
}

void TFrmNewCDS::btnSelectClick()
{
    // The name as it will be used: without quotes, and with ".cds" when it has no extension.
    QString name = EdtFileName->Text();
    name.remove(QLatin1Char('"'));
    QString tested = name;
    if (ExtractFileExt(tested).isEmpty()) tested += QStringLiteral(".cds");
    if (FileExists(tested)) {
        ShowMessage(QStringLiteral("File already exists."));
        return;
    }
    EdtFileName->SetText(name);
    accept();
}
