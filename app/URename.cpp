#include "app/URename.h"

#include "app/UGeneral.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFrmRename::TFrmRename(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmRename"));
    setWindowTitle(QStringLiteral("Rename"));
    resize(475, 198);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BoldLabel(QStringLiteral("Rename"), this));
    labRename = new QLabel(this);
    labRename->setObjectName(QStringLiteral("labRename"));
    labRename->setWordWrap(true);
    labRename->setTextFormat(Qt::PlainText);
    layout->addWidget(labRename);
    layout->addWidget(BoldLabel(QStringLiteral("To"), this));
    EdtRename = new QLineEdit(this);
    EdtRename->setObjectName(QStringLiteral("EdtRename"));
    layout->addWidget(EdtRename);
    layout->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmRename::SetOldName(const QString& path)
{
    NewName = path;
    labRename->setText(path);
    EdtRename->setText(path);
}

void TFrmRename::btnOKClick()
{
    NewName = EdtRename->text();
    accept();
}
