#include "gridlib/dialogs/kqrich.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/dialogs/kqriched.h"
#include "platform/vcl/Dialogs.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>

TkqRichEditForm::TkqRichEditForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("kqRichEditForm"));
    setWindowTitle(QStringLiteral("Edit Rich Text"));
    resize(610, 455);
    FOK = new QPushButton(KqIntl()->BtnOKCaption, this);
    FOK->setObjectName(QStringLiteral("SaveExitButton"));
    FCancel = new QPushButton(KqIntl()->BtnCancelCaption, this);
    FCancel->setObjectName(QStringLiteral("ExitButton"));
    connect(FOK, &QAbstractButton::clicked, this, &TkqRichEditForm::SaveAndExit);
    connect(FCancel, &QAbstractButton::clicked, this, &TkqRichEditForm::ExitEditor);
    auto* save = new QShortcut(QKeySequence(QStringLiteral("Ctrl+S")), this);
    connect(save, &QShortcut::activated, this, &TkqRichEditForm::SaveAndExit);
}

void TkqRichEditForm::SetEditors(TkqCustomRichEdit* source, TkqCustomRichEdit* richEdit)
{
    FSource = source;
    FRichEdit = richEdit;
    richEdit->setParent(this);
    richEdit->show();
    richEdit->setFocus();
    LayOut();
}

TkqCustomRichEdit* TkqRichEditForm::Source() const { return FSource; }
TkqCustomRichEdit* TkqRichEditForm::RichEdit1() const { return FRichEdit; }

bool TkqRichEditForm::ReadOnlyContent() const { return FRichEdit && FRichEdit->GetReadOnly(); }

void TkqRichEditForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (FShownOnce || !FSource || !FRichEdit) return;
    FShownOnce = true;
    // the editing control works on a copy; the source's own flag stays as it was
    const bool sourceModified = FSource->Modified();
    CopyRichContent(FSource, FRichEdit);
    FSource->SetModified(sourceModified);
    FRichEdit->SetGutterWidth(6);
    FRichEdit->SetModified(false);
    FOK->setVisible(FSource->EditorOptions.Contains(reoShowSaveExit) && !ReadOnlyContent());
    FSource->DoInitDialog(this);
    LayOut();
}

void TkqRichEditForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayOut();
}

void TkqRichEditForm::LayOut()
{
    if (!FRichEdit) return;
    const int buttonHeight = FOK->sizeHint().height();
    const int margin = 4;
    const int buttonsTop = height() - buttonHeight - margin;
    FRichEdit->setGeometry(0, 0, width(), qMax(buttonsTop - margin, 0));
    int x = width() - margin;
    for (QAbstractButton* b : {FCancel, FOK}) {
        if (!b->isVisibleTo(this)) continue;
        const int w = qMax(b->sizeHint().width(), 77);
        x -= w;
        b->setGeometry(x, buttonsTop, w, buttonHeight);
        x -= margin;
    }
}

void TkqRichEditForm::SaveAndExit()
{
    bool doDefault = true;
    if (FSource && FSource->OnMenuSaveAndExitClick) FSource->OnMenuSaveAndExitClick(this, FRichEdit, doDefault);
    if (!doDefault) return;
    FClosing = true;
    done(QDialog::Accepted);
}

void TkqRichEditForm::ExitEditor() { close(); }

bool TkqRichEditForm::CanClose(int& result)
{
    if (FClosing) return true;
    if (FSource && FSource->EditorOptions.Contains(reoNoConfirmation)) {
        result = QDialog::Accepted;
        return true;
    }
    if (FRichEdit && FRichEdit->Modified() && !ReadOnlyContent()) {
        switch (MessageDlg(KqIntl()->GetUserMessages()->RichEditExitWarning, mtConfirmation, mbYesNoCancel)) {
        case mrYes: result = QDialog::Accepted; return true;
        case mrNo: result = QDialog::Rejected; return true;
        default: return false;
        }
    }
    result = QDialog::Rejected;
    return true;
}

void TkqRichEditForm::closeEvent(QCloseEvent* event)
{
    int result = QDialog::Rejected;
    if (!CanClose(result)) {
        event->ignore();
        return;
    }
    // the window closes with the answer's result (not the dialog's own reject)
    FClosing = true;
    event->ignore();
    done(result);
}

void TkqRichEditForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        // read-only content closes; otherwise Escape closes with reoCloseOnEscape, else undoes
        if (ReadOnlyContent() || (FSource && FSource->EditorOptions.Contains(reoCloseOnEscape))) close();
        else if (FRichEdit) FRichEdit->undo();
        return;
    }
    QDialog::keyPressEvent(event);
}
