#include "gridlib/core/Kqintl.h"

#include "platform/vcl/Dialogs.h"
#include "platform/core/SysUtils.h"

#include <QApplication>
#include <QDialog>
#include <QMetaProperty>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

void TkqIntlHolder::Assign(const TkqIntlHolder& source)
{
    const QMetaObject* mo = metaObject();
    if (source.metaObject() != mo) return;
    for (int i = QObject::staticMetaObject.propertyCount(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        const QVariant value = p.read(&source);
        if (p.metaType().flags().testFlag(QMetaType::PointerToQObject)) {
            auto* mine = qobject_cast<TkqIntlHolder*>(p.read(this).value<QObject*>());
            auto* theirs = qobject_cast<TkqIntlHolder*>(value.value<QObject*>());
            if (mine && theirs) mine->Assign(*theirs);
        } else if (p.isWritable()) {
            p.write(this, value);
        }
    }
}

TkqDBRichEditIntl::TkqDBRichEditIntl(QObject* parent)
    : TkqIntlHolder(parent), MenuLabels(new TkqRichEditMenuLabels(this)),
      PopupMenuLabels(new TkqRichEditPopupMenuLabels(this)), ParagraphDialog(new TkqRichEditParagraphDlg(this)),
      TabDialog(new TkqRichEditTabDlg(this))
{
}

TkqDBNavigatorIntl::TkqDBNavigatorIntl(QObject* parent) : TkqIntlHolder(parent), Hints(new TkqDBNavigatorIntlHints(this)) {}

// ---------------------------------------------------------------------------------------------

namespace {
TkqIntl* GGlobalIntl = nullptr;
} // namespace

TkqIntl* KqIntl()
{
    if (!GGlobalIntl) GGlobalIntl = new TkqIntl(QCoreApplication::instance());
    return GGlobalIntl;
}

int GlobalFilterMemoSize()
{
    return KqIntl()->FilterMemoSize;
}

TkqIntl::TkqIntl(QObject* owner)
    : QObject(owner), ADO(new TkqADOIntl(this)), Navigator(new TkqDBNavigatorIntl(this)),
      SearchDialog(new TkqSearchDialogIntl(this)), LocateDialog(new TkqLocateDialogIntl(this)),
      MonthCalendar(new TkqMonthCalendarIntl(this)), FilterDialog(new TkqFilterDialogIntl(this)),
      RichEdit(new TkqDBRichEditIntl(this)), UserMessages(new TkqUserMessagesIntl(this))
{
}

TkqIntl::~TkqIntl()
{
    if (GGlobalIntl == this) GGlobalIntl = nullptr;
}

void TkqIntl::SetCheckBoxInGridStyle(TkqCheckBoxInGridStyle style)
{
    FCheckBoxInGridStyle = style;
    if (FConnected && GGlobalIntl && GGlobalIntl != this) GGlobalIntl->SetCheckBoxInGridStyle(style);
}

void TkqIntl::SetConnected(bool connected)
{
    FConnected = connected;
    if (connected) ApplyToGlobal();
}

void TkqIntl::Loaded()
{
    if (FConnected) ApplyToGlobal();
}

void TkqIntl::ApplyToGlobal()
{
    TkqIntl* g = KqIntl();
    if (g == this) return;
    g->FilterDialog->Assign(*FilterDialog);
    g->RichEdit->Assign(*RichEdit);
    g->SearchDialog->Assign(*SearchDialog);
    g->MonthCalendar->Assign(*MonthCalendar);
    g->LocateDialog->Assign(*LocateDialog);
    g->ADO->Assign(*ADO);
    g->Navigator->Assign(*Navigator);
    g->OKCancelBitmapped = OKCancelBitmapped;
    g->UserMessages->Assign(*UserMessages);
    g->BtnOKCaption = BtnOKCaption;
    g->BtnCancelCaption = BtnCancelCaption;
    if (IniFileName.isEmpty() || IniFileName == QLatin1String(".ini")) g->IniFileName.clear();
    else g->IniFileName = IniFileName + QStringLiteral(".ini");
    g->SetCheckBoxInGridStyle(FCheckBoxInGridStyle);
    g->OnValidationErrorUsingMask = OnValidationErrorUsingMask;
    g->DialogFontStyle = DialogFontStyle;
    g->UseLocateMethodForSearch = UseLocateMethodForSearch;
    g->ReopenOnCancelRange = ReopenOnCancelRange;
    g->DefaultEpochYear = DefaultEpochYear;
    g->FilterMemoSize = FilterMemoSize;
}

void TkqIntl::ReportValidationError(QObject* sender, TField* field)
{
    QString msg = QStringLiteral("Invalid input value.  Use escape key to abandon changes");
    bool doDefault = true;
    if (OnValidationErrorUsingMask) OnValidationErrorUsingMask(sender, field, msg, doDefault);
    if (!doDefault) return;
    QApplication::beep();
    throw EInvalidOperation(msg);
}

// ---------------------------------------------------------------------------------------------

void ApplyDialogFontStyle(QWidget* form)
{
    const TFontStyles style = KqIntl()->DialogFontStyle;
    QFont f = form->font();
    f.setBold(style.Contains(fsBold));
    f.setItalic(style.Contains(fsItalic));
    f.setUnderline(style.Contains(fsUnderline));
    f.setStrikeOut(style.Contains(fsStrikeOut));
    form->setFont(f);
}

QAbstractButton* CreateDialogButton(QWidget* form, int kind)
{
    const TkqIntl* intl = KqIntl();
    const QScreen* screen = form && form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    const int ppi = screen ? qRound(screen->logicalDotsPerInch()) : 96;
    auto scaled = [ppi](int value) { return value * ppi / 96; };

    auto* button = new QPushButton(form);
    button->setVisible(false);
    button->resize(scaled(77), scaled(24));
    if (intl->OKCancelBitmapped) {
        // The bitmap button: the kind's glyph on the left, a small fixed font.
        const QStyle::StandardPixmap glyph = kind == 1   ? QStyle::SP_DialogOkButton
                                             : kind == 2 ? QStyle::SP_DialogCancelButton
                                                         : QStyle::SP_DialogHelpButton;
        button->setIcon(button->style()->standardIcon(glyph));
        button->resize(scaled(77), scaled(27));
        QFont font(QStringLiteral("MS Sans Serif"));
        font.setPixelSize(11);
        font.setBold(intl->DialogFontStyle.Contains(fsBold));
        font.setItalic(intl->DialogFontStyle.Contains(fsItalic));
        font.setUnderline(intl->DialogFontStyle.Contains(fsUnderline));
        font.setStrikeOut(intl->DialogFontStyle.Contains(fsStrikeOut));
        button->setFont(font);
    }
    auto* dialog = qobject_cast<QDialog*>(form);
    switch (kind) {
    case 1:
        button->setText(intl->BtnOKCaption);
        button->setProperty("ModalResult", int(mrOk));
        if (dialog) QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::accept);
        break;
    case 2:
        // A dialog's Escape key rejects it: the Cancel button's own result.
        button->setText(intl->BtnCancelCaption);
        button->setProperty("ModalResult", int(mrCancel));
        button->setProperty("Cancel", true);
        if (dialog) QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::reject);
        break;
    default:
        button->setText(QStringLiteral("Help"));
        break;
    }
    return button;
}
