#include "gridlib/dialogs/kqrchdlg.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/dialogs/kqriched.h"
#include "gridlib/editors/kqdbcombo.h"
#include "platform/core/SysFormat.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

bool IsValidUnitsText(const TkqCustomRichEdit* control, const QString& text)
{
    QString number = text;
    while (!number.isEmpty() && QStringLiteral(" 'cmCM").contains(number.back())) number.chop(1);
    if (number.trimmed().isEmpty()) return true;
    double value = 0;
    if (!TryStrToFloat(number.trimmed(), value)) return false;
    const int twips = control->UnitsTextToTwips(text);
    return twips >= 0 && twips <= MaxRichEditLengthTwips;
}

TkqRichParagraphDialog::TkqRichParagraphDialog(TkqCustomRichEdit* control, QWidget* parent)
    : QDialog(parent), FControl(control)
{
    setObjectName(QStringLiteral("kqRichParagraphDialog"));
    const TkqRichEditParagraphDlg& t = *KqIntl()->GetRichEdit()->GetParagraphDialog();
    setWindowTitle(t.ParagraphDlgCaption);
    const bool hints = control->EditorOptions.Contains(reoShowHints);
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    auto label = [this](const char* name, const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        l->setBuddy(buddy);
        return l;
    };
    LeftEdit = edit("LeftEdit");
    RightEdit = edit("RightEdit");
    FirstLineEdit = edit("FirstLineEdit");
    BeforeParagraphEdit = edit("BeforeParagraphEdit");
    AfterParagraphEdit = edit("AfterParagraphEdit");
    WithinParagraphEdit = edit("WithinParagraphEdit");
    AlignmentCombo = new TkqDBComboBox(this);
    AlignmentCombo->setObjectName(QStringLiteral("AlignmentCombo"));
    AlignmentCombo->SetStyle(csDropDownList);
    LineSpacingComboBox = new TkqDBComboBox(this);
    LineSpacingComboBox->setObjectName(QStringLiteral("LineSpacingComboBox"));
    LineSpacingComboBox->SetStyle(csDropDownList);
    Label1 = label("Label1", t.LeftEditCaption, LeftEdit);
    Label2 = label("Label2", t.RightEditCaption, RightEdit);
    Label3 = label("Label3", t.FirstLineEditCaption, FirstLineEdit);
    Label4 = label("Label4", t.AlignmentCaption, AlignmentCombo);
    BeforeParagraphLabel = label("BeforeParagraphLabel", t.BeforeParagraphCaption, BeforeParagraphEdit);
    AfterParagraphLabel = label("AfterParagraphLabel", t.AfterParagraphCaption, AfterParagraphEdit);
    WithinParagraphLabel = label("WithinParagraphLabel", t.WithinParagraphCaption, LineSpacingComboBox);
    WithinParagraphAt = label("WithinParagraphAt", t.WithinParagraphAtCaption, WithinParagraphEdit);
    if (hints) {
        LeftEdit->setToolTip(t.LeftEditHint);
        RightEdit->setToolTip(t.RightEditHint);
        FirstLineEdit->setToolTip(t.FirstLineEditHint);
        AlignmentCombo->setToolTip(t.AlignmentHint);
    }

    GroupBox1 = new QGroupBox(t.IndentationGroupBoxCaption, this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* indents = new QGridLayout(GroupBox1);
    indents->addWidget(Label1, 0, 0);
    indents->addWidget(LeftEdit, 0, 1);
    indents->addWidget(Label2, 1, 0);
    indents->addWidget(RightEdit, 1, 1);
    indents->addWidget(Label3, 2, 0);
    indents->addWidget(FirstLineEdit, 2, 1);
    SpacingGroup = new QGroupBox(t.SpacingGroupCaption, this);
    SpacingGroup->setObjectName(QStringLiteral("SpacingGroup"));
    auto* spacing = new QGridLayout(SpacingGroup);
    spacing->addWidget(BeforeParagraphLabel, 0, 0);
    spacing->addWidget(BeforeParagraphEdit, 0, 1);
    spacing->addWidget(AfterParagraphLabel, 1, 0);
    spacing->addWidget(AfterParagraphEdit, 1, 1);
    spacing->addWidget(WithinParagraphLabel, 2, 0);
    spacing->addWidget(LineSpacingComboBox, 2, 1);
    spacing->addWidget(WithinParagraphAt, 3, 0);
    spacing->addWidget(WithinParagraphEdit, 3, 1);

    OKBtn = new QPushButton(KqIntl()->BtnOKCaption, this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(KqIntl()->BtnCancelCaption, this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &TkqRichParagraphDialog::OKClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* alignment = new QHBoxLayout;
    alignment->addWidget(Label4);
    alignment->addWidget(AlignmentCombo, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(alignment);
    layout->addWidget(SpacingGroup);
    layout->addLayout(buttons);

    QStringList alignments{t.AlignLeft, t.AlignCenter, t.AlignRight};
    if (control->EditorOptions.Contains(reoShowJustifyButton)) alignments << t.AlignJustify;
    AlignmentCombo->SetItems(alignments);
    auto orDefault = [](const QString& text, const char* fallback) {
        return text.isEmpty() ? QString::fromLatin1(fallback) : text;
    };
    LineSpacingComboBox->SetItems({orDefault(t.SpacingSingle, "Single"), orDefault(t.Spacing1_5, "1.5 Lines"),
                                   orDefault(t.SpacingDouble, "Double"), orDefault(t.SpacingAtLeast, "At least"),
                                   orDefault(t.SpacingExactly, "Exactly"), orDefault(t.SpacingMultiple, "Multiple")});
    LoadValues();
    connect(LineSpacingComboBox, &QComboBox::currentIndexChanged, this, [this](int kind) {
        if (!FSettingSpacing) LineSpacingKindChanged(kind);
    });
    connect(WithinParagraphEdit, &QLineEdit::textEdited, this, &TkqRichParagraphDialog::SpacingTyped);
}

void TkqRichParagraphDialog::LoadValues()
{
    TkqCustomRichEdit* c = FControl;
    int offset = 0, right = 0, start = 0;
    c->GetParaIndents(offset, right, start);
    LeftEdit->setText(c->RoundedUnitsText(0, c->TwipsToUnits(start + offset)));
    FirstLineEdit->setText(c->RoundedUnitsText(0, c->TwipsToUnits(-offset)));
    RightEdit->setText(c->RoundedUnitsText(0, c->TwipsToUnits(right)));
    FSettingSpacing = true;
    TParaFormat2 format;
    c->GetParaFormat(format);
    if (c->RichEditVersion() >= 2) {
        BeforeParagraphEdit->setText(c->RoundedUnitsText(100, c->TwipsToUnits(format.SpaceBefore)));
        AfterParagraphEdit->setText(c->RoundedUnitsText(100, c->TwipsToUnits(format.SpaceAfter)));
        const int rule = qBound(0, int(format.LineSpacingRule), 5);
        LineSpacingComboBox->setCurrentIndex(rule);
        if (rule == 5) WithinParagraphEdit->setText(QString::number(format.LineSpacing / 20.0));
        else if (rule >= 3) WithinParagraphEdit->setText(c->RoundedUnitsText(100, c->TwipsToUnits(format.LineSpacing)));
        else WithinParagraphEdit->clear();
    } else {
        // the older control keeps no spacing
        BeforeParagraphEdit->setText(QStringLiteral("0"));
        AfterParagraphEdit->setText(QStringLiteral("0"));
        BeforeParagraphEdit->setEnabled(false);
        AfterParagraphEdit->setEnabled(false);
        WithinParagraphEdit->clear();
        WithinParagraphEdit->setEnabled(false);
        LineSpacingComboBox->setCurrentIndex(0);
        LineSpacingComboBox->setEnabled(false);
    }
    FSettingSpacing = false;
    const TkqRichEditParagraphDlg& t = *KqIntl()->GetRichEdit()->GetParagraphDialog();
    switch (format.Alignment) {
    case PFA_JUSTIFY: AlignmentCombo->SetText(t.AlignJustify); break;
    case PFA_RIGHT: AlignmentCombo->SetText(t.AlignRight); break;
    case PFA_CENTER: AlignmentCombo->SetText(t.AlignCenter); break;
    default: AlignmentCombo->SetText(t.AlignLeft); break;
    }
}

void TkqRichParagraphDialog::LineSpacingKindChanged(int kind)
{
    WithinParagraphEdit->clear();
    if (kind == 3 || kind == 4) {
        // twelve points, truncated to hundredths of the unit
        double sixth = 1.0 / 6.0;
        if (FControl->MeasurementUnits == muCentimeters) sixth *= 2.537;
        WithinParagraphEdit->setText(FControl->UnitsText(std::trunc(sixth * 100.0) / 100.0));
    } else if (kind == 5) {
        WithinParagraphEdit->setText(QStringLiteral("1"));
    }
}

void TkqRichParagraphDialog::SpacingTyped()
{
    if (LineSpacingComboBox->currentIndex() > 2) return;
    // typing a spacing makes the kind a multiple, keeping what was typed
    FSettingSpacing = true;
    LineSpacingComboBox->setCurrentIndex(5);
    FSettingSpacing = false;
}

void TkqRichParagraphDialog::OKClick()
{
    for (QLineEdit* e : {LeftEdit, FirstLineEdit, RightEdit, BeforeParagraphEdit, AfterParagraphEdit}) {
        if (!IsValidUnitsText(FControl, e->text())) {
            e->setFocus();
            e->selectAll();
            return;
        }
    }
    if (!WithinParagraphEdit->text().isEmpty() && !IsValidUnitsText(FControl, WithinParagraphEdit->text())) {
        WithinParagraphEdit->setFocus();
        return;
    }
    accept();
}

void TkqRichParagraphDialog::Apply()
{
    TkqCustomRichEdit* c = FControl;
    const int left = c->UnitsTextToTwips(LeftEdit->text());
    const int first = c->UnitsTextToTwips(FirstLineEdit->text());
    const int offset = qMin(-first, left);
    const int start = first + left;
    const int kind = LineSpacingComboBox->currentIndex();
    int lineSpacing = 0;
    if (kind == 5) {
        double number = 0;
        lineSpacing = TryStrToFloat(WithinParagraphEdit->text().trimmed(), number) ? int(number * 20) : 20;
    } else if (!WithinParagraphEdit->text().isEmpty()) {
        lineSpacing = c->UnitsTextToTwips(WithinParagraphEdit->text());
    }
    // alignment, offset, right and start indents, space before and after, line spacing
    const quint16 mask = 0x01 | 0x04 | 0x08 | 0x10 | 0x40 | 0x80 | 0x100;
    c->SetParaFormat(mask, AlignmentCombo->Text(), false, offset, c->UnitsTextToTwips(RightEdit->text()), start, 0,
                     nullptr, c->UnitsTextToTwips(BeforeParagraphEdit->text()),
                     c->UnitsTextToTwips(AfterParagraphEdit->text()), lineSpacing, kind);
}

TkqCustomRichEdit* TkqRichParagraphDialog::Control() const { return FControl; }
