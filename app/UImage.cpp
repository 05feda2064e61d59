#include "app/UImage.h"

#include "app/UGeneral.h"
#include "gridlib/core/kqcheckbox.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "platform/dbctrls/DBCtrls.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

TFrmImage::TFrmImage(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmImage"));
    setWindowTitle(QStringLiteral("Image"));
    resize(470, 386);

    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar1"));
    DBNavigator = new TkqDBNavigator(ToolBar);
    DBNavigator->setObjectName(QStringLiteral("DBNavigator"));
    DBNavigator->SetVisibleButtons({nbsEdit, nbsPost});
    DBNavigator->SetFlat(false);
    DBNavigator->SetShowHint(true);
    if (TkqNavButton* b = DBNavigator->Button(nbsEdit)) b->SetHint(QStringLiteral("Edit current record"));
    if (TkqNavButton* b = DBNavigator->Button(nbsPost)) b->SetHint(QStringLiteral("Post changes of current record"));
    ToolBar->addWidget(DBNavigator);
    ToolBar->addSeparator();

    EditCopy1 = NewAction(this, "EditCopy1", QStringLiteral("&Copy"),
                          QStringLiteral("Copy|Copies the selection and puts it on the Clipboard"),
                          style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    EditCopy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    EditCopy1->setShortcutContext(Qt::WindowShortcut);
    EditPaste1 = NewAction(this, "EditPaste1", QStringLiteral("&Paste"), QStringLiteral("Paste|Inserts Clipboard contents"),
                           style()->standardIcon(QStyle::SP_DialogApplyButton));
    EditPaste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    EditPaste1->setShortcutContext(Qt::WindowShortcut);
    ToolBar->addAction(EditCopy1);
    ToolBar->addAction(EditPaste1);
    ToolBar->addSeparator();

    cbCenter = new TkqCheckBox(ToolBar);
    cbCenter->setObjectName(QStringLiteral("cbCenter"));
    cbCenter->SetCaption(QStringLiteral("Center"));
    cbStretch = new TkqCheckBox(ToolBar);
    cbStretch->setObjectName(QStringLiteral("cbStretch"));
    cbStretch->SetCaption(QStringLiteral("Stretch"));
    ToolBar->addWidget(cbCenter);
    ToolBar->addWidget(cbStretch);

    DBImage = new TDBImage(this);
    DBImage->setObjectName(QStringLiteral("DBImage"));

    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(ToolBar);
    layout->addWidget(DBImage, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClose);
    buttons->addSpacing(6);
    layout->addLayout(buttons);

    connect(EditCopy1, &QAction::triggered, this, [this] { DBImage->CopyToClipboard(); });
    connect(EditPaste1, &QAction::triggered, this, [this] { DBImage->PasteFromClipboard(); });
    cbCenter->OnClick = [this](QObject*) { cbClick(); };
    cbStretch->OnClick = [this](QObject*) { cbClick(); };
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmImage::cbClick()
{
    DBImage->SetCenter(cbCenter->Checked());
    DBImage->SetStretch(cbStretch->Checked());
}

void TFrmImage::showEvent(QShowEvent* event)
{
    cbClick();
    QDialog::showEvent(event);
}

void TFrmImage::done(int result)
{
    // A failing post (a refused value) keeps the dialog open with the message shown.
    if (TDataSource* source = DBImage->DataSource())
        if (source->DataSet() && (source->State() == dsEdit || source->State() == dsInsert)) source->DataSet()->Post();
    QDialog::done(result);
}
