#include "gridlib/dialogs/kqlocate.h"

#include "gridlib/core/kqdbservices.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

bool MatchText(const QString& text, const QString& key, int matchType, bool emptyMatchesEmpty)
{
    switch (matchType) {
    case 0:
        if (text.size() != key.size()) return false;
        if (text.isEmpty()) return emptyMatchesEmpty;
        return text == key;
    case 1: return !key.isEmpty() && text.startsWith(key);
    case 2: return !key.isEmpty() && text.contains(key);
    default: return false;
    }
}

bool IsFloatField(const TField* f)
{
    return f->DataType() == ftFloat || f->DataType() == ftCurrency || f->DataType() == ftBCD || f->DataType() == ftFMTBcd;
}

// This engine serves the library's record search (typed searches of the grid and editors).
const bool RecordSearchServed = [] {
    SetRecordSearch([](bool fromFirst, TDataSet* dataSet, const QString& fieldName, const QString& value,
                       int matchType, bool caseSensitive) {
        return FindFieldValue(fromFirst, dataSet, fieldName, value, matchType, caseSensitive);
    });
    return true;
}();

} // namespace

bool FindFieldValue(bool fromFirst, TDataSet* dataSet, const QString& fieldName, const QString& searchValue,
                    int matchType, bool caseSensitive, bool useLocate)
{
    if (!dataSet || !dataSet->Active()) return false;
    dataSet->CheckBrowseMode();
    TField* field = dataSet->FindField(fieldName);
    if (!field) {
        MessageDlg(QStringLiteral("Field ") + fieldName + QStringLiteral(" not found."), mtWarning, {mbOK});
        return false;
    }
    if (matchType < 0 || matchType > 2) return false;
    const bool memo = field->DataType() == ftMemo;
    if (useLocate && fromFirst && matchType <= 1 && !memo && !field->Calculated() && !field->Lookup()) {
        TLocateOptions options;
        if (!caseSensitive) options |= loCaseInsensitive;
        if (matchType == 1) options |= loPartialKey;
        return dataSet->Locate(fieldName, TVariant(searchValue), options);
    }
    const QString key = caseSensitive ? searchValue : searchValue.toUpper();
    double number = 0;
    const bool numeric = matchType == 0 && IsFloatField(field) && !key.isEmpty();
    const bool validNumber = numeric && TryStrToFloat(searchValue.trimmed(), number);
    if (numeric && !validNumber) return false;

    const int count = dataSet->RecordCount();
    const int start = fromFirst ? 0 : dataSet->RecNo();
    if (count <= 0 || start < 0 || start >= count) return false;

    // The records are read through a link of our own; the dataset moves once, to the match.
    TDataSource source;
    source.SetDataSet(dataSet);
    TDataLink link;
    link.SetDataSource(&source);
    const int saved = link.ActiveRecord();
    const int first = link.FirstRecord();
    int found = -1;
    try {
        for (int row = start; row < count && found < 0; ++row) {
            link.SetActiveRecord(row - first);
            bool match;
            if (validNumber) {
                match = !field->IsNull() && field->AsFloat() == number;
            } else {
                const QString text = caseSensitive ? field->AsString() : field->AsString().toUpper();
                match = MatchText(text, key, matchType, !memo);
            }
            if (match) found = row;
        }
    } catch (...) {
        link.SetActiveRecord(saved);
        throw;
    }
    link.SetActiveRecord(saved);
    link.SetDataSource(nullptr);
    source.SetDataSet(nullptr);
    if (found < 0) return false;
    dataSet->SetRecNo(found + 1);
    return true;
}

// ---------------------------------------------------------------------------------------------

TkqLocateDlg::TkqLocateDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("kqLocateDlg"));
    setWindowTitle(QStringLiteral("Locate Value"));
    auto* layout = new QVBoxLayout(this);
    auto* valueGroup = new QGroupBox(QStringLiteral("Field &Value"), this);
    auto* vl = new QVBoxLayout(valueGroup);
    SearchValue = new QLineEdit(valueGroup);
    SearchValue->setObjectName(QStringLiteral("SearchValue"));
    SearchValue->setToolTip(QStringLiteral("Enter field's search value"));
    vl->addWidget(SearchValue);
    layout->addWidget(valueGroup);

    auto* typeGroup = new QGroupBox(QStringLiteral("&Search Type"), this);
    auto* tl = new QVBoxLayout(typeGroup);
    CaseSensitiveCheckBox = new QCheckBox(QStringLiteral("&Case-sensitive"), typeGroup);
    auto* line = new QFrame(typeGroup);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    ExactMatchBtn = new QRadioButton(QStringLiteral("&Exact Match"), typeGroup);
    PartialMatchStartBtn = new QRadioButton(QStringLiteral("&Partial Match at Beginning"), typeGroup);
    PartialMatchAnyBtn = new QRadioButton(QStringLiteral("Partial Match &Anywhere"), typeGroup);
    PartialMatchStartBtn->setChecked(true);
    for (QWidget* w : {static_cast<QWidget*>(CaseSensitiveCheckBox), static_cast<QWidget*>(line),
                       static_cast<QWidget*>(ExactMatchBtn), static_cast<QWidget*>(PartialMatchStartBtn),
                       static_cast<QWidget*>(PartialMatchAnyBtn)})
        tl->addWidget(w);
    layout->addWidget(typeGroup);

    auto* fieldsGroup = new QGroupBox(QStringLiteral("&Fields"), this);
    auto* fl = new QVBoxLayout(fieldsGroup);
    FieldNameComboBox = new QComboBox(fieldsGroup);
    FieldNameComboBox->setObjectName(QStringLiteral("FieldNameComboBox"));
    FieldNameComboBox->setToolTip(QStringLiteral("Select the field to search on"));
    fl->addWidget(FieldNameComboBox);
    layout->addWidget(fieldsGroup);

    auto* buttons = new QHBoxLayout;
    FirstButton = new QPushButton(QStringLiteral("Fi&rst"), this);
    FirstButton->setToolTip(QStringLiteral("Find first match"));
    NextButton = new QPushButton(QStringLiteral("&Next"), this);
    NextButton->setToolTip(QStringLiteral("Find next match from current record"));
    CloseButton = new QPushButton(QStringLiteral("Cancel"), this);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(FirstButton);
    buttons->addWidget(NextButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);
    SearchValue->setFocus();
}

TkqLocateDialog::TkqLocateDialog(QObject* owner) : TkqCustomDialog(owner), FDataLink(std::make_unique<TDataLink>()) {}

TkqLocateDialog::~TkqLocateDialog() { FDataLink->SetDataSource(nullptr); }

TDataSource* TkqLocateDialog::DataSource() const { return FDataLink->DataSource(); }
void TkqLocateDialog::SetDataSource(TDataSource* source) { FDataLink->SetDataSource(source); }
TDataSet* TkqLocateDialog::GetPrimaryDataSet() const { return FDataLink->DataSet(); }

QString TkqLocateDialog::SelectedFieldName() const
{
    if (!FForm || !FDataSet) return {};
    const QString line = FForm->FieldNameComboBox->currentText();
    if (line.isEmpty()) return {};
    // Data fields first, then calculated and lookup fields, by their shown label.
    for (const bool data : {true, false})
        for (TField* f : FDataSet->Fields()) {
            const bool isData = !f->Calculated() && !f->Lookup();
            if (isData == data && f->DisplayLabel().replace(QLatin1Char('~'), QLatin1Char(' ')) == line)
                return f->FieldName();
        }
    return {};
}

bool TkqLocateDialog::Find(bool first)
{
    const TkqLocateMatchType match = FForm->ExactMatchBtn->isChecked()          ? mtExactMatch
                                     : FForm->PartialMatchStartBtn->isChecked() ? mtPartialMatchStart
                                                                                : mtPartialMatchAny;
    const QString name = SelectedFieldName();
    const bool ok = !name.isEmpty() && FindFieldValue(first, FDataSet, name, FForm->SearchValue->text(), int(match),
                                                      FForm->CaseSensitiveCheckBox->isChecked(), UseLocateMethod);
    if (!ok) {
        MessageDlg(first ? QStringLiteral("No matches found") : QStringLiteral("No more matches found"), mtInformation,
                   {mbOK});
        return false;
    }
    if (CloseOnMatch) FForm->accept();
    return true;
}

bool TkqLocateDialog::Execute()
{
    TDataSet* ds = FDataLink->DataSet();
    if (!ds || !ds->Active()) {
        MessageDlg(QStringLiteral("DataSource does not reference an active DataSet"), mtError, {mbOK});
        return false;
    }
    FDataSet = ds;
    TkqLocateDlg form(Application() ? Application()->MainForm() : nullptr);
    FForm = &form;
    form.setWindowTitle(Caption);
    form.CloseButton->setText(CloseOnMatch ? QStringLiteral("Cancel") : QStringLiteral("Close"));
    TField* searchField = SearchField.isEmpty() ? nullptr : ds->FindField(SearchField);
    QStringList lines;
    for (TField* f : ds->Fields()) {
        const TFieldType t = f->DataType();
        if (t == ftBytes || t == ftVarBytes || t == ftBlob || t == ftGraphic) continue;
        if (FieldSelection == fsVisibleFields && !f->Visible()) continue;
        lines << f->DisplayLabel().replace(QLatin1Char('~'), QLatin1Char(' '));
    }
    if (SortFields == fsSortByFieldName) lines.sort(Qt::CaseInsensitive);
    form.FieldNameComboBox->addItems(lines);
    if (searchField) {
        form.SearchValue->setText(FLastSearchValue);
        form.FieldNameComboBox->setCurrentIndex(
            form.FieldNameComboBox->findText(searchField->DisplayLabel().replace(QLatin1Char('~'), QLatin1Char(' '))));
    } else {
        form.SearchValue->clear();
    }
    form.CaseSensitiveCheckBox->setChecked(CaseSensitive);
    (MatchType == mtExactMatch ? form.ExactMatchBtn : MatchType == mtPartialMatchStart ? form.PartialMatchStartBtn
                                                                                       : form.PartialMatchAnyBtn)
        ->setChecked(true);
    form.NextButton->setDefault(DefaultButton == dbFindNext);
    form.FirstButton->setDefault(DefaultButton == dbFindFirst);
    connect(form.FirstButton, &QPushButton::clicked, &form, [this] { TApplication::Guard([this] { Find(true); }); });
    connect(form.NextButton, &QPushButton::clicked, &form, [this] { TApplication::Guard([this] { Find(false); }); });
    connect(form.FieldNameComboBox, &QComboBox::activated, &form, [&form] {
        form.SearchValue->clear();
        form.SearchValue->setFocus();
    });
    if (OnInitDialog) OnInitDialog(&form);
    const bool result = form.exec() == QDialog::Accepted;
    MatchType = form.ExactMatchBtn->isChecked()          ? mtExactMatch
                : form.PartialMatchStartBtn->isChecked() ? mtPartialMatchStart
                                                         : mtPartialMatchAny;
    CaseSensitive = form.CaseSensitiveCheckBox->isChecked();
    FLastSearchValue = form.SearchValue->text();
    SearchField = SelectedFieldName();
    FForm = nullptr;
    FDataSet = nullptr;
    return result;
}
