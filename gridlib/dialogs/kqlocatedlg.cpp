#include "gridlib/dialogs/kqlocatedlg.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/editors/kqdbcombo.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>

namespace {

QString LabelOf(const TField* field)
{
    QString label = field->DisplayLabel();
    return label.replace(QLatin1Char('~'), QLatin1Char(' '));
}

int Scaled(const QWidget* form, int value)
{
    const QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    return ScaleToScreenDpi(value, screen ? qRound(screen->logicalDotsPerInch()) : 96);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The window

TkqLocateDlg::TkqLocateDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("kqLocateDlg"));
    setWindowTitle(QStringLiteral("Locate Value"));
    setFixedSize(212, 238);

    FieldValueGroup = new QGroupBox(QStringLiteral("Field &Value"), this);
    FieldValueGroup->setObjectName(QStringLiteral("FieldValueGroup"));
    FieldValueGroup->setGeometry(4, 4, 201, 45);
    SearchValue = new QLineEdit(FieldValueGroup);
    SearchValue->setObjectName(QStringLiteral("SearchValue"));
    SearchValue->setGeometry(12, 17, 181, 20);
    SearchValue->setToolTip(QStringLiteral("Enter field's search value"));

    SearchTypeGroup = new QGroupBox(QStringLiteral("&Search Type"), this);
    SearchTypeGroup->setObjectName(QStringLiteral("SearchTypeGroup"));
    SearchTypeGroup->setGeometry(4, 52, 201, 101);
    CaseSensitiveCheckBox = new QCheckBox(QStringLiteral("&Case-sensitive"), SearchTypeGroup);
    CaseSensitiveCheckBox->setObjectName(QStringLiteral("CaseSensitiveCheckBox"));
    CaseSensitiveCheckBox->setGeometry(12, 16, 181, 21);
    Panel1 = new QFrame(SearchTypeGroup);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::HLine);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setGeometry(1, 38, 200, 2);
    ExactMatchBtn = new QRadioButton(QStringLiteral("&Exact Match"), SearchTypeGroup);
    ExactMatchBtn->setObjectName(QStringLiteral("ExactMatchBtn"));
    ExactMatchBtn->setGeometry(12, 44, 181, 17);
    PartialMatchStartBtn = new QRadioButton(QStringLiteral("&Partial Match at Beginning"), SearchTypeGroup);
    PartialMatchStartBtn->setObjectName(QStringLiteral("PartialMatchStartBtn"));
    PartialMatchStartBtn->setGeometry(12, 62, 185, 17);
    PartialMatchStartBtn->setChecked(true);
    PartialMatchAnyBtn = new QRadioButton(QStringLiteral("Partial Match &Anywhere"), SearchTypeGroup);
    PartialMatchAnyBtn->setObjectName(QStringLiteral("PartialMatchAnyBtn"));
    PartialMatchAnyBtn->setGeometry(12, 80, 185, 17);

    FieldsGroup = new QGroupBox(QStringLiteral("&Fields"), this);
    FieldsGroup->setObjectName(QStringLiteral("FieldsGroup"));
    FieldsGroup->setGeometry(4, 156, 201, 49);
    FieldNameComboBox = new TkqDBComboBox(FieldsGroup);
    FieldNameComboBox->setObjectName(QStringLiteral("FieldNameComboBox"));
    FieldNameComboBox->SetStyle(csDropDownList);
    FieldNameComboBox->SetSorted(true);
    FieldNameComboBox->setGeometry(12, 20, 181, 21);
    FieldNameComboBox->setToolTip(QStringLiteral("Select the field to search on"));
    FieldNameComboBox->OnChange = [this](QObject*) { FieldNameComboBoxChange(); };
    FieldNameComboBox->OnEnter = [this](QObject*) { FieldNameComboBoxEnter(); };
    FieldNameComboBox->OnExit = [this](QObject*) { FieldNameComboBoxExit(); };
    FieldNameComboBox->OnKeyDown = [this](QObject*, int& key, TShiftState) { FieldNameComboBoxKeyDown(key); };

    FirstButton = new QPushButton(QStringLiteral("Fi&rst"), this);
    FirstButton->setObjectName(QStringLiteral("FirstButton"));
    FirstButton->setGeometry(4, 209, 57, 27);
    FirstButton->setToolTip(QStringLiteral("Find first match"));
    NextButton = new QPushButton(QStringLiteral("&Next"), this);
    NextButton->setObjectName(QStringLiteral("NextButton"));
    NextButton->setGeometry(60, 209, 57, 27);
    NextButton->setToolTip(QStringLiteral("Find next match from current record"));
    NextButton->setDefault(true);
    connect(FirstButton, &QPushButton::clicked, this, [this] { TApplication::Guard([this] { FindFirst(); }); });
    connect(NextButton, &QPushButton::clicked, this, [this] { TApplication::Guard([this] { FindNextBtnClick(); }); });

    // The close button: the library's Cancel button, its right edge one pixel inside the
    // fields group's, level with Next.
    CloseButton = CreateDialogButton(this, 2);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    const int w = Scaled(this, 72), h = Scaled(this, 27);
    CloseButton->setGeometry(FieldsGroup->geometry().right() - 1 - w + 1, NextButton->y(), w, h);
    CloseButton->setVisible(true);

    setTabOrder(FieldValueGroup, SearchValue);
    setTabOrder(SearchValue, CaseSensitiveCheckBox);
    setTabOrder(CaseSensitiveCheckBox, ExactMatchBtn);
    setTabOrder(ExactMatchBtn, PartialMatchStartBtn);
    setTabOrder(PartialMatchStartBtn, PartialMatchAnyBtn);
    setTabOrder(PartialMatchAnyBtn, FieldNameComboBox);
    setTabOrder(FieldNameComboBox, FirstButton);
    setTabOrder(FirstButton, NextButton);
    setTabOrder(NextButton, CloseButton);
    SearchValue->setFocus();
}

TkqLocateMatchType TkqLocateDlg::MatchType() const
{
    if (ExactMatchBtn->isChecked()) return mtExactMatch;
    if (PartialMatchStartBtn->isChecked()) return mtPartialMatchStart;
    return mtPartialMatchAny;
}

QString TkqLocateDlg::SelectedFieldName() const
{
    if (!FDataSet) return {};
    const QString line = FieldNameComboBox->Text();
    if (line.isEmpty()) return {};
    // A stored field first, then a calculated or lookup field with that label.
    for (const bool stored : {true, false})
        for (TField* f : FDataSet->Fields())
            if (IsCalculatedOrLookup(f) != stored && LabelOf(f) == line) return f->FieldName();
    return {};
}

bool TkqLocateDlg::Find(bool fromFirst)
{
    const QString name = SelectedFieldName();
    const bool found = !name.isEmpty() && FindFieldValue(fromFirst, FDataSet, name, SearchValue->text(), MatchType(),
                                                         CaseSensitiveCheckBox->isChecked(),
                                                         FDialog && FDialog->UseLocateMethod);
    if (!found) {
        const TkqUserMessagesIntl* texts = KqIntl()->UserMessages;
        MessageDlg(fromFirst ? texts->LocateNoMatches : texts->LocateNoMoreMatches, mtInformation, {mbOK});
        return false;
    }
    if (FDialog && FDialog->Options.Contains(ldoCloseOnMatch)) accept();
    return true;
}

void TkqLocateDlg::FindFirst() { Find(true); }

void TkqLocateDlg::FindNextBtnClick() { Find(false); }

void TkqLocateDlg::FieldNameComboBoxChange()
{
    SearchValue->clear();
    if (!FieldNameComboBox->IsDroppedDown()) SearchValue->setFocus();
    if (FDialog && FDialog->OnSelectField) FDialog->OnSelectField(this, FieldNameComboBox->Text());
}

// While the field list has the focus, Enter belongs to it.
void TkqLocateDlg::FieldNameComboBoxEnter() { NextButton->setDefault(false); }

void TkqLocateDlg::FieldNameComboBoxExit() { NextButton->setDefault(true); }

void TkqLocateDlg::FieldNameComboBoxKeyDown(int& key)
{
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && FieldNameComboBox->IsDroppedDown()) {
        FieldNameComboBox->SetDroppedDown(false);
        SearchValue->setFocus();
    }
}

void TkqLocateDlg::FormShow()
{
    const TkqIntl* intl = KqIntl();
    const TkqLocateDialogIntl* t = intl->LocateDialog;
    QFont f = font();
    f.setBold(intl->DialogFontStyle.Contains(fsBold));
    f.setItalic(intl->DialogFontStyle.Contains(fsItalic));
    f.setUnderline(intl->DialogFontStyle.Contains(fsUnderline));
    f.setStrikeOut(intl->DialogFontStyle.Contains(fsStrikeOut));
    setFont(f);
    const bool closeOnMatch = !FDialog || FDialog->Options.Contains(ldoCloseOnMatch);
    FieldValueGroup->setTitle(t->FieldValueLabel);
    SearchTypeGroup->setTitle(t->SearchTypeLabel);
    CaseSensitiveCheckBox->setText(t->CaseSensitiveLabel);
    ExactMatchBtn->setText(t->MatchExactLabel);
    PartialMatchStartBtn->setText(t->MatchStartLabel);
    PartialMatchAnyBtn->setText(t->MatchAnyLabel);
    FieldsGroup->setTitle(t->FieldsLabel);
    FirstButton->setText(t->BtnFirst);
    NextButton->setText(t->BtnNext);
    CloseButton->setText(closeOnMatch ? t->BtnCancel : t->BtnClose);
    SearchValue->setToolTip(t->FieldValueHint);
    CaseSensitiveCheckBox->setToolTip(t->CaseSensitiveHint);
    ExactMatchBtn->setToolTip(t->MatchExactHint);
    PartialMatchStartBtn->setToolTip(t->MatchStartHint);
    PartialMatchAnyBtn->setToolTip(t->MatchAnyHint);
    FirstButton->setToolTip(t->BtnFirstHint);
    NextButton->setToolTip(t->BtnNextHint);
    FieldNameComboBox->setToolTip(t->FieldNameHint);
    // A plain "Close" carries no Cancel glyph.
    if (!closeOnMatch) CloseButton->setIcon(QIcon());
    if (FDialog) FDialog->FForm = this;
    if (FDialog && FDialog->Options.Contains(ldoCaseSensitiveBelow)) {
        ExactMatchBtn->move(ExactMatchBtn->x(), 16);
        PartialMatchStartBtn->move(PartialMatchStartBtn->x(), 34);
        PartialMatchAnyBtn->move(PartialMatchAnyBtn->x(), 52);
        Panel1->move(Panel1->x(), 72);
        CaseSensitiveCheckBox->move(CaseSensitiveCheckBox->x(), 75);
    }
    if (FDialog) FDialog->DoInitDialog();
}

void TkqLocateDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) TApplication::Guard([this] { FormShow(); });
}

// ---------------------------------------------------------------------------------------------
// The component

TkqLocateDialog::TkqLocateDialog(QObject* owner) : TkqCustomDialog(owner), FDataLink(std::make_unique<TDataLink>()) {}

TkqLocateDialog::~TkqLocateDialog() { FDataLink->SetDataSource(nullptr); }

TDataSource* TkqLocateDialog::DataSource() const { return FDataLink->DataSource(); }
void TkqLocateDialog::SetDataSource(TDataSource* source) { FDataLink->SetDataSource(source); }
TDataSet* TkqLocateDialog::GetPrimaryDataSet() const { return FDataLink->DataSet(); }

void TkqLocateDialog::DoInitDialog()
{
    if (OnInitDialog && FForm) OnInitDialog(FForm);
}

bool TkqLocateDialog::Execute()
{
    TkqLocateDlg form(Application() ? Application()->MainForm() : nullptr);
    TDataSet* ds = FDataLink->DataSet();
    if (!ds || !ds->Active()) {
        MessageDlg(QStringLiteral("DataSource does not reference an active DataSet"), mtError, {mbOK});
        return false;
    }
    const TField* searchField = SearchField.isEmpty() ? nullptr : ds->FindField(SearchField);
    QStringList lines;
    for (const TField* f : ds->Fields()) {
        if (!IsSearchableFieldType(f->DataType())) continue;
        if (FieldSelection == fsVisibleFields && !f->Visible()) continue;
        lines << LabelOf(f);
    }
    form.FieldNameComboBox->SetSorted(SortFields == fsSortByFieldName);
    form.FieldNameComboBox->SetItems(lines);
    form.NextButton->setDefault(DefaultButton == dbFindNext);
    form.FirstButton->setDefault(DefaultButton == dbFindFirst);
    if (searchField) {
        form.FieldNameComboBox->SetItemIndex(form.FieldNameComboBox->Items().Lines().indexOf(LabelOf(searchField)));
        form.SearchValue->setText(FLastSearchValue);
    } else {
        form.SearchValue->clear();
    }
    form.FDataSet = ds;
    form.FDialog = this;
    form.CaseSensitiveCheckBox->setChecked(CaseSensitive);
    (MatchType == mtExactMatch          ? form.ExactMatchBtn
     : MatchType == mtPartialMatchStart ? form.PartialMatchStartBtn
                                        : form.PartialMatchAnyBtn)
        ->setChecked(true);
    form.setWindowTitle(Caption);
    form.SearchValue->setFocus();

    const bool result = form.exec() == QDialog::Accepted;

    MatchType = form.MatchType();
    CaseSensitive = form.CaseSensitiveCheckBox->isChecked();
    FLastSearchValue = form.SearchValue->text();
    SearchField = form.SelectedFieldName();
    FForm = nullptr;
    return result;
}
