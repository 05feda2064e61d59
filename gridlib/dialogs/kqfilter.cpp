#include "gridlib/dialogs/kqfilter.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqquery.h"
#include "gridlib/core/Kqtable.h"
#include "gridlib/core/kqbde.h"
#include "gridlib/dialogs/kqfilterdlg.h"
#include "gridlib/dialogs/kqfiltereval.h"
#include "platform/core/ScopeExit.h"
#include "platform/core/TypInfo.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QMetaProperty>

// --- Value syntax -------------------------------------------------------------------------

namespace {

bool IsBlankChar(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// A one-character operator word ends a word even without a blank before it.
bool IsOneCharOperator(QChar c, const TkqFieldOperators& ops)
{
    for (const QString& op : {ops.OrChar(), ops.AndChar()})
        if (op.size() == 1 && QString(c).compare(op, Qt::CaseInsensitive) == 0) return true;
    return false;
}

} // namespace

QStringList FilterValueWords(const QString& value, const TkqFieldOperators& ops)
{
    QStringList words;
    const int n = int(value.size());
    int i = 0;
    while (i < n) {
        while (i < n && IsBlankChar(value[i])) ++i;
        if (i >= n) break;
        if (value[i] == QLatin1Char('"')) {
            const int end = int(value.indexOf(QLatin1Char('"'), i + 1));
            words << value.mid(i + 1, (end < 0 ? n : end) - i - 1);
            i = end < 0 ? n : end + 1;
            continue;
        }
        if (IsOneCharOperator(value[i], ops)) {
            words << QString(value[i]);
            ++i;
            continue;
        }
        const int start = i;
        while (i < n && !IsBlankChar(value[i]) && !IsOneCharOperator(value[i], ops)) ++i;
        words << value.mid(start, i - start);
    }
    return words;
}

TkqFilterValueParts ParseFilterValue(const QString& value, const TkqFieldOperators& ops)
{
    TkqFilterValueParts result;
    const QStringList words = FilterValueWords(value, ops);
    QString op;
    for (int i = 1; i < words.size() && op.isEmpty(); ++i) {
        if (words[i].compare(ops.OrChar(), Qt::CaseInsensitive) == 0) {
            op = ops.OrChar();
            result.Operator = TkqFilterValueParts::opOr;
        } else if (words[i].compare(ops.AndChar(), Qt::CaseInsensitive) == 0) {
            op = ops.AndChar();
            result.Operator = TkqFilterValueParts::opAnd;
        }
    }
    QStringList run;
    for (const QString& w : words) {
        if (!op.isEmpty() && w.compare(op, Qt::CaseInsensitive) == 0) {
            if (!run.isEmpty()) result.Parts << run.join(QLatin1Char(' '));
            run.clear();
        } else {
            run << w;
        }
    }
    if (!run.isEmpty()) result.Parts << run.join(QLatin1Char(' '));
    return result;
}

QString PadUpperBound(const QString& text, int size, ushort padChar)
{
    if (padChar == 0 || text.size() >= size) return text;
    return text + QString(size - int(text.size()), QChar(padChar));
}

void TkqFieldOperators::Set(QString& slot, const QString& value)
{
    int b = 0, e = int(value.size());
    while (b < e && IsBlankChar(value[b])) ++b;
    while (e > b && IsBlankChar(value[e - 1])) --e;
    const QString trimmed = value.mid(b, e - b);
    if (trimmed == slot) return;
    slot = trimmed;
    const auto same = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
    if (same(FOrChar, FAndChar) || same(FOrChar, FNullChar) || same(FAndChar, FNullChar))
        MessageDlg(QStringLiteral("Operators do not have a unique value."), mtWarning, {mbOK});
}

QString TkqSQLTablesCollectionItem::DisplayName(int index) const
{
    if (!TableAliasName.isEmpty()) return QStringLiteral("%1 - %2").arg(index).arg(TableAliasName);
    if (!TableName.isEmpty()) return QStringLiteral("%1 - %2").arg(index).arg(TableName);
    return QStringLiteral("<Unassigned>");
}

// --- Data link and events ---------------------------------------------------------------

void TkqFilterDataLink::ActiveChanged()
{
    TDataLink::ActiveChanged();
    FDialog->ClearOnDataSetClose(Active());
}

void SetDataSetFilterEvent(TDataSet* dataSet, const TDataSet::TFilterRecordEvent& handler)
{
    if (!dataSet) return;
    const QMetaProperty p = FindPublishedProperty(dataSet, "OnFilter");
    if (!p.isValid() || !p.isWritable()) {
        dataSet->OnFilterRecord = handler;
        return;
    }
    // Each library dataset publishes its own handler type (the dataset passed as its class);
    // all take (dataset, accept).
    QVariant value;
    if (p.metaType() == QMetaType::fromType<TFilterRecordEvent>()) {
        value = QVariant::fromValue(handler);
    } else {
        const QByteArray type = p.metaType().name();
        auto wrap = [&](auto tag) {
            using TEvent = decltype(tag);
            TEvent e;
            if (handler) e = [handler](auto* d, bool& accept) { handler(d, accept); };
            value = QVariant::fromValue(e);
        };
        if (type == "TkqTableFilterEvent" || type.contains("TkqTable"))
            wrap(TkqTableFilterEvent());
        else if (type.contains("TkqQuery"))
            wrap(TkqQueryFilterEvent());
        else {
            dataSet->OnFilterRecord = handler;
            return;
        }
    }
    p.write(dataSet, value);
}

// --- The component ---------------------------------------------------------------------------

TkqFilterDialog::TkqFilterDialog(QObject* owner)
    : TkqCustomDialog(owner),
      FDataLink(std::make_unique<TkqFilterDataLink>(this)),
      FFieldOperators(new TkqFieldOperators(this)),
      FFilterPropertyOptions(new TkqFilterPropertyOptions(this))
{
    FDummyForm = new TkqDummyForm(this);
}

TkqFilterDialog::~TkqFilterDialog()
{
    FDataLink->SetDataSource(nullptr);
    delete FDummyForm;
    FDummyForm = nullptr;
}

TDataSource* TkqFilterDialog::DataSource() const { return FDataLink->DataSource(); }

void TkqFilterDialog::SetDataSource(TDataSource* source)
{
    FDataLink->SetDataSource(source);
    if (TDataSet* ds = GetPrimaryDataSet(); ds && IsClassOrAncestorNamed(ds, "TTable")) FFilterMethod = fdByFilter;
}

TDataSet* TkqFilterDialog::GetPrimaryDataSet() const { return FDataLink->DataSet(); }

bool TkqFilterDialog::HasSQLProperty(const TDataSet* dataSet) const
{
    return dataSet && FindPublishedProperty(dataSet, GetSQLPropertyName().toLatin1().constData()).isValid();
}

void TkqFilterDialog::SetFilterMethod(TkqFilterMethod method)
{
    TDataSet* ds = GetPrimaryDataSet();
    if (!DataSource() || !ds || IsClassOrAncestorNamed(ds, "TQuery") || HasSQLProperty(ds) || method == fdByFilter) {
        FFilterMethod = method;
        return;
    }
    MessageDlg(QStringLiteral("Invalid FilterMethod for Dataset. ") + QLatin1Char('\r') +
                   QStringLiteral("Only fdByFilter is supported for this type of Dataset"),
               mtWarning, {mbOK});
}

void TkqFilterDialog::SetDlgHeight(int value)
{
    if (value > 267) FDlgHeight = value;
}

QString TkqFilterDialog::GetSQLPropertyName() const
{
    if (!SQLPropertyName.isEmpty()) return SQLPropertyName;
    const TDataSet* ds = GetPrimaryDataSet();
    if (ds && (IsClassOrAncestorNamed(ds, "TClientDataSet") || IsClassOrAncestorNamed(ds, "TADODataSet")))
        return QStringLiteral("CommandText");
    return QStringLiteral("SQL");
}

void TkqFilterDialog::DoDialogSummary(const TkqFieldInfoList& criteria)
{
    bool doDefault = true;
    if (OnDialogSummary) {
        doDefault = false;
        OnDialogSummary(this, criteria, doDefault);
    }
    if (doDefault) ShowFilterSummary(this, criteria);
}

void TkqFilterDialog::DoInitDialog(TkqFilterDlg* dialog)
{
    if (OnInitDialog) OnInitDialog(dialog);
}

void TkqFilterDialog::ClearOnDataSetClose(bool active)
{
    if (active || FBusy || !OnFilterPropertyOptions.Contains(fdClearWhenCloseDataSet) || FFilterMethod != fdByFilter)
        return;
    TDataSet* ds = GetPrimaryDataSet();
    if (!FCriteria.isEmpty() && ds && dynamic_cast<TkqBDEDataSet*>(ds)) SetFilterEnabledOption(ds, false);
    FCriteria.clear();
    FDummyForm->Invalidate();
}

void TkqFilterDialog::DoSelectField(const QString& fieldName, QString& pictureMask, QStringList& comboList)
{
    if (OnSelectField) OnSelectField(this, fieldName, pictureMask, comboList);
}

void TkqFilterDialog::DoInitTempDataSet(TDataSet* orig, TDataSet* temp)
{
    if (OnInitTempDataSet) OnInitTempDataSet(this, orig, temp);
}

void TkqFilterDialog::DoAcceptFilterRecord(TDataSet* dataSet, bool& accept, bool& defaultFiltering)
{
    if (OnAcceptFilterRecord) OnAcceptFilterRecord(this, dataSet, accept, defaultFiltering);
}

void TkqFilterDialog::LoadFieldInfoFromFields()
{
    FDBFieldInfo.clear();
    TDataSet* ds = GetPrimaryDataSet();
    if (!ds) return;
    for (const TField* f : ds->Fields()) {
        TkqDBFieldInfo info;
        info.FieldName = info.SqlFieldName = f->FieldName();
        info.DataType = f->DataType();
        info.DisplayLabel = f->DisplayLabel();
        info.Size = f->Size();
        FDBFieldInfo << info;
    }
}

void TkqFilterDialog::LoadFieldInfo()
{
    if (FFilterMethod == fdByQueryModify)
        LoadFieldInfoBySQL();
    else
        LoadFieldInfoFromFields();
}

void TkqFilterDialog::SetCriteria(const TkqFieldInfoList& criteria)
{
    FCriteria.clear();
    TDataSet* ds = GetPrimaryDataSet();
    for (TkqFieldInfo c : criteria) {
        if (c.DisplayLabel.isEmpty()) c.DisplayLabel = c.FieldName;
        if (const QString name = FieldNameFromDisplayLabel(ds, c.DisplayLabel); !name.isEmpty()) c.FieldName = name;
        FCriteria << c;
    }
    FDummyForm->Invalidate();
    if (!ds) return;
    SetFilterEnabledOption(ds, true);
    if (!IsClassOrAncestorNamed(ds, "TQuery") && !HasSQLProperty(ds)) {
        ApplyLocalFilter();
        return;
    }
    switch (FFilterMethod) {
    case fdByFilter: ApplyLocalFilter(); break;
    case fdByQueryModify: {
        TBusyCursor busy;
        ApplySQLFilter();
        break;
    }
    case fdByQueryParams: break;
    }
}

bool TkqFilterDialog::Execute()
{
    TDataSet* ds = GetPrimaryDataSet();
    if (!DataSource() || !ds) return false;
    if (!ds->Active() && FFilterMethod == fdByFilter) {
        MessageDlg(QStringLiteral("Dataset must be active to perform local filtering (FilterMethod=fdByFilter)."),
                   mtError, {mbOK});
        return false;
    }
    if (FFieldOperators->OrChar() == FFieldOperators->AndChar())
        MessageDlg(QStringLiteral("And and Or Operators have the same value."), mtWarning, {mbOK});
    bool ok = false;
    {
        auto busy = std::make_unique<TBusyCursor>();
        TkqFilterDlg form(this, &busy);
        FForm = &form;
        const TScopeExit forget([this] { FForm = nullptr; });
        ok = form.exec() == QDialog::Accepted;
        if (!ok || !(form.ChangedFlag() || !GetDataSetFilterOptions(ds).Contains(ofoEnabled))) return ok;
        const TkqFieldInfoList working = form.WorkingCriteria();
        if (QWidget* owner = qobject_cast<QWidget*>(parent())) owner->update();
        if (FFilterMethod == fdByFilter)
            if (QWidget* owner = FindOwnerForm(this)) owner->update();
        SetCriteria(working);
    }
    return ok;
}

// --- Local filtering ------------------------------------------------------------------------

void TkqFilterDialog::ApplyLocalFilter()
{
    TDataSet* ds = GetPrimaryDataSet();
    if (!ds) return;
    const TkqDatasetFilterType type = FFilterPropertyOptions->DatasetFilterType;
    if (type == fdUseFilterProp || type == fdUseBothFilterTypes) {
        if (!ApplyFilterText() || type == fdUseFilterProp) return;
    }
    if (!ds->Active()) ds->Open();
    SetDataSetFilterEvent(ds, {});
    if (IsClassOrAncestorNamed(ds, "TkqTable")) IndexRangeStep(ds);
    if (FCriteria.isEmpty() && OnFilterPropertyOptions.Contains(fdClearWhenNoCriteria)) {
        ds->SetFiltered(false);
        return;
    }
    FDummyForm->Invalidate();
    TkqDummyForm* form = FDummyForm;
    SetDataSetFilterEvent(ds, [form](TDataSet* d, bool& accept) { form->FilterRecord(d, accept); });
    if (!FindPublishedProperty(ds, "OnFilter").isValid() || IsClassOrAncestorNamed(ds, "TClientDataSet")) {
        const bool wasBusy = FBusy;
        FBusy = true;
        const TScopeExit restore([this, wasBusy] { FBusy = wasBusy; });
        ds->SetFiltered(false);
        ds->SetFiltered(true);
    }
}

void TkqFilterDialog::IndexRangeStep(TDataSet* dataSet)
{
    auto* table = qobject_cast<TkqTable*>(dataSet);
    if (!table || table->MasterSource()) return;
    if (FRangeInForce) {
        const bool wasBusy = FBusy;
        FBusy = true;
        const TScopeExit restore([this, wasBusy] { FBusy = wasBusy; });
        table->ClearRange();
        FRangeInForce = false;
    }
    if (FilterOptimization == fdNone) return;
    if (FilterOptimization == fdUseActiveIndex && table->GetFirstIndexFieldName().isEmpty()) return;
    const ushort pad = ushort(UpperRangePadChar);
    for (TkqFieldInfo& c : FCriteria) {
        if (c.NonMatching) continue;
        if (c.MatchType != fdMatchRange && ParseFilterValue(c.FilterValue, *FFieldOperators).Operator != TkqFilterValueParts::opNone)
            continue;
        if (c.FieldName.isEmpty()) c.FieldName = FieldNameFromDisplayLabel(table, c.DisplayLabel);
        TField* field = table->FindField(c.FieldName);
        if (!field) continue;
        if (FilterOptimization == fdUseAllIndexes) {
            const bool cs = c.MatchType == fdMatchRange ? false : c.CaseSensitive;
            QString index = table->FindIndexNameForFields(c.FieldName, cs);
            if (index == QLatin1String("?")) index = table->FindIndexNameForFields(c.FieldName, !cs);
            if (index == QLatin1String("?")) continue;
            table->SetIndexName(index);
        } else if (table->GetFirstIndexFieldName() != c.FieldName) {
            continue;
        }
        const TFieldType t = field->DataType();
        const bool isString = t == ftString || t == ftFixedChar || t == ftWideString;
        bool set = false;
        if (c.MatchType == fdMatchExact && !c.FilterValue.isEmpty()) {
            table->SetRangeFromKey({c.FilterValue}, {c.FilterValue});
            set = true;
        } else if (c.MatchType == fdMatchStart && !c.FilterValue.isEmpty() && isString) {
            table->SetRangeFromKey({c.FilterValue}, {PadUpperBound(c.FilterValue, field->Size(), pad)});
            set = true;
        } else if (c.MatchType == fdMatchRange && (!c.MinValue.isEmpty() || !c.MaxValue.isEmpty())) {
            const QString upper = isString ? PadUpperBound(c.MaxValue, field->Size(), pad) : c.MaxValue;
            if (c.MaxValue.isEmpty())
                table->SetRangeFromKey({c.MinValue});
            else if (c.MinValue.isEmpty())
                table->SetRangeFromKey({}, {upper});
            else
                table->SetRangeFromKey({c.MinValue}, {upper});
            set = true;
        }
        if (set) {
            FRangeInForce = true;
            return;
        }
    }
}
