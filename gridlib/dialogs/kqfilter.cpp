#include "gridlib/dialogs/kqfilter.h"

#include "gridlib/editors/kqdbdatetimepicker.h"

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QStringList Words(const QString& value)
{
    QStringList words;
    int i = 0;
    const int n = value.size();
    while (i < n) {
        while (i < n && (value[i] == QLatin1Char(' ') || value[i] == QLatin1Char('\t'))) ++i;
        if (i >= n) break;
        if (value[i] == QLatin1Char('"')) {
            const int end = value.indexOf(QLatin1Char('"'), i + 1);
            words << value.mid(i + 1, (end < 0 ? n : end) - i - 1);
            i = end < 0 ? n : end + 1;
            continue;
        }
        const int start = i;
        while (i < n && value[i] != QLatin1Char(' ') && value[i] != QLatin1Char('\t')) ++i;
        words << value.mid(start, i - start);
    }
    return words;
}

// The value's parts and whether any one of them is enough.
QStringList Parts(const QString& value, const TkqFieldOperators& ops, bool& anyPart)
{
    const QStringList words = Words(value);
    QString op;
    for (int i = 1; i < words.size() && op.isEmpty(); ++i)
        if (words[i].compare(ops.OrChar, Qt::CaseInsensitive) == 0 || words[i].compare(ops.AndChar, Qt::CaseInsensitive) == 0)
            op = words[i];
    anyPart = !op.isEmpty() && op.compare(ops.OrChar, Qt::CaseInsensitive) == 0;
    QStringList parts;
    QStringList run;
    for (const QString& w : words) {
        if (!op.isEmpty() && w.compare(op, Qt::CaseInsensitive) == 0) {
            if (!run.isEmpty()) parts << run.join(QLatin1Char(' '));
            run.clear();
        } else {
            run << w;
        }
    }
    if (!run.isEmpty()) parts << run.join(QLatin1Char(' '));
    return parts;
}

const char* const MatchNames[] = {"Partial Match at Beginning", "Partial Match Anywhere", "Exact Match"};

} // namespace

TkqFilterDlg::TkqFilterDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("kqFilterDlg"));
    resize(420, 300);
    auto* layout = new QVBoxLayout(this);
    Criteria = new QTableWidget(0, 3, this);
    Criteria->setObjectName(QStringLiteral("Criteria"));
    Criteria->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Match"), QStringLiteral("Value")});
    Criteria->horizontalHeader()->setStretchLastSection(true);
    Criteria->verticalHeader()->hide();
    layout->addWidget(Criteria);
    auto* buttons = new QHBoxLayout;
    ClearButton = new QPushButton(QStringLiteral("C&lear"), this);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    OKButton->setDefault(true);
    buttons->addWidget(ClearButton);
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    layout->addLayout(buttons);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ClearButton, &QPushButton::clicked, this, [this] {
        for (int r = 0; r < Criteria->rowCount(); ++r)
            if (QTableWidgetItem* item = Criteria->item(r, 2)) item->setText(QString());
    });
}

TkqFilterDialog::TkqFilterDialog(QObject* owner) : TkqCustomDialog(owner), FDataLink(std::make_unique<TDataLink>()) {}

TkqFilterDialog::~TkqFilterDialog()
{
    ApplyCriteria({});
    FDataLink->SetDataSource(nullptr);
}

TDataSource* TkqFilterDialog::DataSource() const { return FDataLink->DataSource(); }
void TkqFilterDialog::SetDataSource(TDataSource* source) { FDataLink->SetDataSource(source); }
TDataSet* TkqFilterDialog::GetPrimaryDataSet() const { return FDataLink->DataSet(); }

bool TkqFilterDialog::AcceptRecord(TDataSet* dataSet) const
{
    for (qsizetype i = 0; i < FCriteria.size(); ++i) {
        const TkqFieldInfo& c = FCriteria[i];
        const TPreparedCriterion& p = FPrepared[size_t(i)];
        if (!p.Field || p.Field->DataSet() != dataSet || p.Field->FieldName().compare(c.FieldName, Qt::CaseInsensitive) != 0)
            p.Field = dataSet->FindField(c.FieldName);
        TField* f = p.Field;
        if (!f) continue;
        const QString text = f->IsNull() ? QString() : f->AsString();
        const Qt::CaseSensitivity cs = c.CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const bool anyPart = p.AnyPart;
        bool result = !anyPart;
        for (const QString& part : p.Parts) {
            bool match;
            if (part.compare(FieldOperators.NullChar, Qt::CaseInsensitive) == 0) {
                match = text.isEmpty();
            } else {
                switch (c.MatchType) {
                case fdMatchAny: match = text.contains(part, cs); break;
                case fdMatchExact: match = text.compare(part, cs) == 0; break;
                case fdMatchEnd: match = text.endsWith(part, cs); break;
                default: match = text.startsWith(part, cs); break;
                }
            }
            if (anyPart && match) {
                result = true;
                break;
            }
            if (!anyPart && !match) {
                result = false;
                break;
            }
        }
        if (c.NonMatching) result = !result;
        if (!result) return false;
    }
    return true;
}

void TkqFilterDialog::ApplyCriteria(const QList<TkqFieldInfo>& criteria)
{
    FCriteria.clear();
    FPrepared.clear();
    for (const TkqFieldInfo& c : criteria) {
        if (c.FilterValue.trimmed().isEmpty()) continue;
        FCriteria << c;
        TPreparedCriterion p;
        p.Parts = Parts(c.FilterValue, FieldOperators, p.AnyPart);
        FPrepared.push_back(std::move(p));
    }
    TDataSet* old = FInstalled ? FFilteredDataSet.data() : nullptr;
    const bool wasFiltered = FWasFiltered;
    // The dataset's own handler comes back before anything else is decided.
    if (old) old->OnFilterRecord = FPreviousFilter;
    FInstalled = false;
    if (FCriteria.isEmpty()) {
        if (old && old->Active()) {
            old->SetFiltered(false);
            if (wasFiltered) old->SetFiltered(true);
        }
        return;
    }
    TDataSet* ds = FDataLink->DataSet();
    if (!ds) return;
    FWasFiltered = ds == old ? wasFiltered : ds->Filtered();
    FFilteredDataSet = ds;
    FPreviousFilter = ds->OnFilterRecord;
    FInstalled = true;
    const auto previous = FPreviousFilter;
    ds->OnFilterRecord = [this, previous](TDataSet* d, bool& accept) {
        if (previous) previous(d, accept);
        if (accept) accept = AcceptRecord(d);
    };
    ds->SetFiltered(false);
    ds->SetFiltered(true);
}

bool TkqFilterDialog::Execute()
{
    TDataSet* ds = FDataLink->DataSet();
    if (!ds || !ds->Active()) {
        MessageDlg(QStringLiteral("DataSource does not reference an active DataSet"), mtError, {mbOK});
        return false;
    }
    TkqFilterDlg form(Application() ? Application()->MainForm() : nullptr);
    FForm = &form;
    if (!Caption.isEmpty()) form.setWindowTitle(Caption);
    QList<TField*> fields;
    for (TField* f : ds->Fields())
        if (f->DataType() != ftDataSet && !f->IsBlob()) fields << f;
    if (SortBy == fdSortByFieldName)
        std::sort(fields.begin(), fields.end(), [](TField* a, TField* b) {
            return a->DisplayLabel().compare(b->DisplayLabel(), Qt::CaseInsensitive) < 0;
        });
    form.Criteria->setRowCount(int(fields.size()));
    for (int r = 0; r < fields.size(); ++r) {
        TField* f = fields[r];
        TkqFieldInfo info;
        info.FieldName = f->FieldName();
        info.MatchType = DefaultMatchType;
        for (const TkqFieldInfo& c : FCriteria)
            if (c.FieldName.compare(f->FieldName(), Qt::CaseInsensitive) == 0) info = c;
        auto* label = new QTableWidgetItem(f->DisplayLabel().replace(QLatin1Char('~'), QLatin1Char(' ')));
        label->setFlags(Qt::ItemIsEnabled);
        label->setData(Qt::UserRole, f->FieldName());
        form.Criteria->setItem(r, 0, label);
        auto* match = new QComboBox(form.Criteria);
        for (const char* name : MatchNames) match->addItem(QString::fromLatin1(name));
        match->setCurrentIndex(info.MatchType <= fdMatchExact ? int(info.MatchType) : 0);
        form.Criteria->setCellWidget(r, 1, match);
        form.Criteria->setItem(r, 2, new QTableWidgetItem(info.FilterValue));
        if (qobject_cast<TDateTimeField*>(f)) {
            // Dates and times are given through an unbound picker of the field's kind.
            auto* picker = new TkqDBDateTimePicker(form.Criteria);
            picker->SetUnboundDataType(f->DataType() == ftDate   ? kqDTEdtDate
                                       : f->DataType() == ftTime ? kqDTEdtTime
                                                                 : kqDTEdtDateTime);
            picker->SetBorderStyle(0);
            TDateTime value = 0;
            const QString given = info.FilterValue.trimmed();
            const bool parsed = f->DataType() == ftTime ? TryStrToTime(given, value) : TryStrToDateTime(given, value);
            if (!given.isEmpty() && parsed && value != 0) picker->SetDateTime(value);
            form.Criteria->setCellWidget(r, 2, picker);
        }
    }
    form.Criteria->resizeColumnsToContents();
    const bool ok = form.exec() == QDialog::Accepted;
    if (ok) {
        QList<TkqFieldInfo> criteria;
        for (int r = 0; r < form.Criteria->rowCount(); ++r) {
            TkqFieldInfo c;
            c.FieldName = form.Criteria->item(r, 0)->data(Qt::UserRole).toString();
            c.DisplayLabel = form.Criteria->item(r, 0)->text();
            c.MatchType = TkqFilterMatchType(qobject_cast<QComboBox*>(form.Criteria->cellWidget(r, 1))->currentIndex());
            c.FilterValue = form.Criteria->item(r, 2) ? form.Criteria->item(r, 2)->text() : QString();
            if (auto* picker = qobject_cast<TkqDBCustomDateTimePicker*>(form.Criteria->cellWidget(r, 2)))
                c.FilterValue = picker->text();
            criteria << c;
        }
        ApplyCriteria(criteria);
    }
    FForm = nullptr;
    return ok;
}
