#include "gridlib/dialogs/kqrichtb.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/dialogs/kqrchdlg.h"
#include "gridlib/dialogs/kqriched.h"
#include "platform/core/SysFormat.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A listed or typed position as its length in units (marks removed).
double UnitsOf(const QString& text)
{
    QString number = text;
    while (!number.isEmpty() && QStringLiteral(" 'cmCM").contains(number.back())) number.chop(1);
    double value = 0;
    TryStrToFloat(number.trimmed(), value);
    return value;
}

} // namespace

TkqRichTabDialog::TkqRichTabDialog(TkqCustomRichEdit* control, QWidget* parent) : QDialog(parent), FControl(control)
{
    setObjectName(QStringLiteral("kqRichTabDialog"));
    const TkqRichEditTabDlg& t = *KqIntl()->GetRichEdit()->GetTabDialog();
    setWindowTitle(t.TabDlgCaption);
    GroupBox1 = new QGroupBox(t.TabGroupBoxCaption, this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    ListBox1 = new QListWidget(GroupBox1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto button = [](QWidget* parent, const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    Button1 = button(GroupBox1, "Button1", t.SetTabButtonCaption);
    Button2 = button(GroupBox1, "Button2", t.ClearTabButtonCaption);
    OKButton = button(this, "OKButton", KqIntl()->BtnOKCaption);
    OKButton->setDefault(true);
    Button3 = button(this, "Button3", KqIntl()->BtnCancelCaption);
    Button4 = button(this, "Button4", t.ClearAllButtonCaption);
    if (control->EditorOptions.Contains(reoShowHints)) {
        Edit1->setToolTip(t.TabPositionEditHint);
        ListBox1->setToolTip(t.ListBoxHint);
        Button1->setToolTip(t.SetButtonHint);
        Button2->setToolTip(t.ClearButtonHint);
        Button4->setToolTip(t.ClearAllButtonHint);
    }
    auto* group = new QGridLayout(GroupBox1);
    group->addWidget(Edit1, 0, 0);
    group->addWidget(ListBox1, 1, 0, 3, 1);
    group->addWidget(Button1, 0, 1);
    group->addWidget(Button2, 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OKButton);
    buttons->addWidget(Button3);
    buttons->addWidget(Button4);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(GroupBox1, 1);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, [this] { SetClick(); });
    connect(Button2, &QPushButton::clicked, this, &TkqRichTabDialog::ClearClick);
    connect(Button4, &QPushButton::clicked, this, &TkqRichTabDialog::ClearAllClick);
    connect(OKButton, &QPushButton::clicked, this, &TkqRichTabDialog::OKClick);
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
    Edit1->installEventFilter(this);

    TParaFormat2 format;
    control->GetParaFormat(format);
    for (int i = 0; i < format.TabCount; ++i)
        ListBox1->addItem(control->UnitsText(control->TwipsToUnits(format.Tabs[i])));
}

QStringList TkqRichTabDialog::Positions() const
{
    QStringList list;
    for (int i = 0; i < ListBox1->count(); ++i) list << ListBox1->item(i)->text();
    return list;
}

bool TkqRichTabDialog::SetClick()
{
    const QString text = Edit1->text().trimmed();
    if (text.isEmpty() || !IsValidUnitsText(FControl, text)) return false;
    const double value = UnitsOf(text);
    const QString entry = FControl->UnitsText(value);
    if (Positions().contains(entry)) return false;
    int row = 0;
    while (row < ListBox1->count() && UnitsOf(ListBox1->item(row)->text()) <= value) ++row;
    ListBox1->insertItem(row, entry);
    Edit1->clear();
    return true;
}

void TkqRichTabDialog::ClearClick() { qDeleteAll(ListBox1->selectedItems()); }

void TkqRichTabDialog::ClearAllClick() { ListBox1->clear(); }

void TkqRichTabDialog::OKClick()
{
    if (!Edit1->text().trimmed().isEmpty() && !SetClick()) {
        if (!IsValidUnitsText(FControl, Edit1->text().trimmed())) {
            Edit1->setFocus();
            return;
        }
        Edit1->clear();   // already listed
    }
    accept();
}

bool TkqRichTabDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1) {
        // while the position is typed, Enter sets it (or closes with OK when the edit is empty)
        if (event->type() == QEvent::FocusIn) OKButton->setDefault(false);
        else if (event->type() == QEvent::FocusOut) OKButton->setDefault(true);
        else if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                if (Edit1->text().isEmpty()) OKClick();
                else SetClick();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TkqRichTabDialog::Apply()
{
    int tabs[MAX_TAB_STOPS] = {};
    const QStringList positions = Positions();
    const int count = qMin<int>(positions.size(), MAX_TAB_STOPS);
    for (int i = 0; i < count; ++i) tabs[i] = FControl->UnitsTextToTwips(positions[i]);
    FControl->SetParaFormat(0x20, QString(), false, 0, 0, 0, count, tabs, 0, 0, 0, 0);
}

TkqCustomRichEdit* TkqRichTabDialog::Control() const { return FControl; }
