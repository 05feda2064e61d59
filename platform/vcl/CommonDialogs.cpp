#include "platform/vcl/CommonDialogs.h"

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Printers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

std::function<bool(QObject* dialog)> TCommonDialogSeam::OnExecute;

// --- Find and replace --------------------------------------------------------------------------

class TFindDialogForm : public QDialog {
public:
    TFindDialogForm(TFindDialog* dialog, QWidget* parent) : QDialog(parent), FDialog(dialog)
    {
        const bool replace = dialog->IsReplace();
        setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
        setObjectName(replace ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
        auto* grid = new QGridLayout;
        FFind = new QLineEdit(dialog->FindText());
        FFind->setObjectName(QStringLiteral("FindText"));
        grid->addWidget(new QLabel(QStringLiteral("Fi&nd what:")), 0, 0);
        grid->addWidget(FFind, 0, 1);
        if (replace) {
            FReplace = new QLineEdit(static_cast<TReplaceDialog*>(dialog)->ReplaceText());
            FReplace->setObjectName(QStringLiteral("ReplaceText"));
            grid->addWidget(new QLabel(QStringLiteral("Re&place with:")), 1, 0);
            grid->addWidget(FReplace, 1, 1);
        }
        const TFindOptions o = dialog->Options;
        FWholeWord = new QCheckBox(QStringLiteral("Match &whole word only"));
        FWholeWord->setChecked(o.Contains(frWholeWord));
        FWholeWord->setVisible(!o.Contains(frHideWholeWord));
        FWholeWord->setEnabled(!o.Contains(frDisableWholeWord));
        FMatchCase = new QCheckBox(QStringLiteral("Match &case"));
        FMatchCase->setChecked(o.Contains(frMatchCase));
        FMatchCase->setVisible(!o.Contains(frHideMatchCase));
        FMatchCase->setEnabled(!o.Contains(frDisableMatchCase));
        auto* checks = new QVBoxLayout;
        checks->addWidget(FWholeWord);
        checks->addWidget(FMatchCase);
        auto* options = new QHBoxLayout;
        options->addLayout(checks);
        auto* direction = new QGroupBox(QStringLiteral("Direction"));
        auto* up = new QRadioButton(QStringLiteral("&Up"));
        FDown = new QRadioButton(QStringLiteral("&Down"));
        (o.Contains(frDown) ? FDown : up)->setChecked(true);
        auto* dirLayout = new QHBoxLayout(direction);
        dirLayout->addWidget(up);
        dirLayout->addWidget(FDown);
        direction->setVisible(!replace && !o.Contains(frHideUpDown));
        direction->setEnabled(!o.Contains(frDisableUpDown));
        options->addWidget(direction);
        auto* left = new QVBoxLayout;
        left->addLayout(grid);
        left->addLayout(options);
        auto* buttons = new QVBoxLayout;
        auto* findNext = new QPushButton(QStringLiteral("&Find Next"));
        findNext->setObjectName(QStringLiteral("FindNext"));
        findNext->setDefault(true);
        connect(findNext, &QPushButton::clicked, this, [this] { Take(); FDialog->ClickFindNext(); });
        buttons->addWidget(findNext);
        if (replace) {
            auto* one = new QPushButton(QStringLiteral("&Replace"));
            one->setObjectName(QStringLiteral("Replace"));
            connect(one, &QPushButton::clicked, this, [this] { Take(); static_cast<TReplaceDialog*>(FDialog)->ClickReplace(); });
            auto* all = new QPushButton(QStringLiteral("Replace &All"));
            all->setObjectName(QStringLiteral("ReplaceAll"));
            connect(all, &QPushButton::clicked, this, [this] { Take(); static_cast<TReplaceDialog*>(FDialog)->ClickReplaceAll(); });
            buttons->addWidget(one);
            buttons->addWidget(all);
        }
        auto* cancel = new QPushButton(QStringLiteral("Cancel"));
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        buttons->addWidget(cancel);
        buttons->addStretch();
        auto* layout = new QHBoxLayout(this);
        layout->addLayout(left);
        layout->addLayout(buttons);
        connect(this, &QDialog::finished, this, [this] { if (FDialog) FDialog->Closed(); });
    }

    // What the window shows becomes the dialog's.
    void Take()
    {
        FDialog->FFindText = FFind->text();
        if (FReplace) static_cast<TReplaceDialog*>(FDialog)->FReplaceText = FReplace->text();
        TFindOptions& o = FDialog->Options;
        o = o.With(frWholeWord, FWholeWord->isChecked()).With(frMatchCase, FMatchCase->isChecked());
        o = o.With(frDown, FDown->isChecked() || FDialog->IsReplace());
    }

    void Show()
    {
        FFind->setText(FDialog->FindText());
        if (FReplace) FReplace->setText(static_cast<TReplaceDialog*>(FDialog)->ReplaceText());
    }

    TFindDialog* FDialog;
    QLineEdit* FFind = nullptr;
    QLineEdit* FReplace = nullptr;
    QCheckBox* FWholeWord = nullptr;
    QCheckBox* FMatchCase = nullptr;
    QRadioButton* FDown = nullptr;
};

TFindDialog::TFindDialog(QObject* owner) : QObject(owner) { Options = TFindOptions{frDown}; }

TFindDialog::~TFindDialog()
{
    if (FForm) {
        FForm->FDialog = nullptr;
        delete FForm.data();
    }
}

void TFindDialog::SetFindText(const QString& text)
{
    FFindText = text;
    if (FForm) FForm->Show();
}

bool TFindDialog::Execute(QWidget* parent)
{
    if (!FForm) FForm = new TFindDialogForm(this, parent);
    FForm->Show();
    FForm->setModal(false);
    FForm->show();
    FForm->raise();
    if (OnShow) OnShow(this);
    return true;
}

void TFindDialog::CloseDialog()
{
    if (FForm) FForm->close();
}

QDialog* TFindDialog::Form() const { return FForm; }

void TFindDialog::Closed()
{
    if (OnClose) OnClose(this);
}

void TFindDialog::ClickFindNext()
{
    Options = Options.With(frFindNext, true).With(frReplace, false).With(frReplaceAll, false);
    if (OnFind) OnFind(this);
}

void TReplaceDialog::SetReplaceText(const QString& text)
{
    FReplaceText = text;
    if (FForm) FForm->Show();
}

void TReplaceDialog::ClickReplace()
{
    Options = Options.With(frReplace, true).With(frReplaceAll, false).With(frFindNext, false);
    if (OnReplace) OnReplace(this);
}

void TReplaceDialog::ClickReplaceAll()
{
    Options = Options.With(frReplaceAll, true).With(frReplace, false).With(frFindNext, false);
    if (OnReplace) OnReplace(this);
}

// --- Font --------------------------------------------------------------------------------------

namespace {

struct TNamedColor {
    const char* Name;
    TColor Color;
};
const TNamedColor FontColors[] = {
    {"Black", clBlack}, {"Maroon", clMaroon}, {"Green", clGreen}, {"Olive", clOlive}, {"Navy", clNavy},
    {"Purple", clPurple}, {"Teal", clTeal}, {"Gray", clGray}, {"Silver", clSilver}, {"Red", clRed},
    {"Lime", clLime}, {"Yellow", clYellow}, {"Blue", clBlue}, {"Fuchsia", clFuchsia}, {"Aqua", clAqua},
    {"White", clWhite}};

} // namespace

bool TFontDialog::Execute(QWidget* parent)
{
    if (TDialogSeam::Installed()) return TCommonDialogSeam::OnExecute ? TCommonDialogSeam::OnExecute(this) : false;
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Font"));
    auto* fonts = new QFontDialog(Font.Font, &dialog);
    fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts->setWindowFlags(Qt::Widget);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(fonts);
    QComboBox* colors = nullptr;
    if (Options.Contains(fdEffects)) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("&Color:")));
        colors = new QComboBox;
        for (const TNamedColor& c : FontColors) {
            QPixmap swatch(16, 12);
            swatch.fill(ColorToQColor(c.Color));
            colors->addItem(QIcon(swatch), QLatin1String(c.Name), int(c.Color));
        }
        const int at = colors->findData(int(ColorToRGB(Font.Color)));
        if (at < 0) {
            QPixmap swatch(16, 12);
            swatch.fill(ColorToQColor(Font.Color));
            colors->addItem(QIcon(swatch), QStringLiteral("Custom"), int(ColorToRGB(Font.Color)));
            colors->setCurrentIndex(colors->count() - 1);
        } else {
            colors->setCurrentIndex(at);
        }
        row->addWidget(colors);
        row->addStretch();
        layout->addLayout(row);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    Font.Font = fonts->currentFont();
    if (colors) Font.Color = TColor(colors->currentData().toInt());
    return true;
}

// --- Print -------------------------------------------------------------------------------------

bool TPrintDialog::Execute(QWidget* parent)
{
    if (TDialogSeam::Installed()) return TCommonDialogSeam::OnExecute ? TCommonDialogSeam::OnExecute(this) : false;
    QPrintDialog dialog(Printer().QtPrinter(), parent);
    Printer().QtPrinter()->setCollateCopies(Collate);
    if (dialog.exec() != QDialog::Accepted) return false;
    Collate = Printer().QtPrinter()->collateCopies();
    Copies = Printer().QtPrinter()->copyCount();
    Printer().Copies = Copies;
    Printer().Collate = Collate;
    return true;
}
