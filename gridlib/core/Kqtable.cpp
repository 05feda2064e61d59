#include "gridlib/core/Kqtable.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqfilter.h"
#include "gridlib/core/kqlookup.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QFileInfo>
#include <QScopedValueRollback>

namespace {

// Raises the counter for the life of the object.
class TFindGuard {
public:
    explicit TFindGuard(TkqTable* table) : FTable(table) { ++FTable->FindInProgress; }
    ~TFindGuard() { --FTable->FindInProgress; }
    TFindGuard(const TFindGuard&) = delete;
    TFindGuard& operator=(const TFindGuard&) = delete;

private:
    TkqTable* FTable;
};

QString TrimRightBlanksAndTabs(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && (s.at(n - 1) == QLatin1Char(' ') || s.at(n - 1) == QLatin1Char('\t'))) --n;
    return s.left(n);
}

void Warn(const QString& text)
{
    MessageDlg(text, mtWarning, {mbOK});
}

// The index field list in upper case, as the index searches compare it.
QString UpperFields(const QString& fields) { return fields.toUpper(); }

} // namespace

TkqTable::TkqTable(QObject* owner) : TkqBDEDataSetOf<TTable>(owner) {}

TkqTable::~TkqTable()
{
    FDestroying = true;
    FreeLookupTables();
    for (bool* flag : FDependents) *flag = true;
    if (OnDestroyNotify) OnDestroyNotify(this);
    CloseOnDestroy();
}

void TkqTable::AddDependentFlag(bool* flag)
{
    if (flag && std::find(FDependents.begin(), FDependents.end(), flag) == FDependents.end()) FDependents.push_back(flag);
}

void TkqTable::RemoveDependentFlag(bool* flag)
{
    std::erase(FDependents, flag);
}

// --- Published setters

void TkqTable::SetkqFilter(const QStringList& lines)
{
    FkqFilter = lines;
    if (!Active()) return;
    if (!ApplyFilterText(GetFilterText(), this, FFilterHandle, false)) Warn(QStringLiteral("Fail to set filter"));
}

void TkqTable::SetQuery(const QStringList& lines)
{
    if (Active()) Close();
    const bool text = !lines.isEmpty() && !lines.join(QString()).trimmed().isEmpty();
    if (text) {
        TTable::SetTableName(QString());
        SetIndexFieldNames(QString());
        SetIndexName(QString());
        SetMasterSource(nullptr);
        SetMasterFields(QString());
    }
    FQuery = lines;
}

void TkqTable::SetTableName(const QString& name)
{
    TTable::SetTableName(name);
    if (!name.isEmpty()) FQuery.clear();
}

void TkqTable::SetOnFilter(const TkqTableFilterEvent& handler)
{
    FOnFilter = handler;
    if (Active()) InstallOnFilterCallback();
}

// --- Filter text

QString TkqTable::GetFilterText() const
{
    QString text;
    for (const QString& raw : FkqFilter) {
        const QString line = TrimRightBlanksAndTabs(raw);
        if (line.isEmpty()) continue;
        if (text.isEmpty()) text = line;
        else text += QStringLiteral(" AND (") + line + QLatin1Char(')');
    }
    return text;
}

void TkqTable::ApplyFilter()
{
    ApplyFilterText(GetFilterText(), this, FFilterHandle, false);
    if (FOnFilter) InstallOnFilterCallback();
}

bool TkqTable::IsSequenced() const
{
    return GetFilterText().isEmpty() && TkqBDEDataSetOf<TTable>::IsSequenced();
}

// --- Opening and closing

void TkqTable::DoBeforeOpen()
{
    if (!FQuery.isEmpty()) {
        const QString first = FQuery.first();
        FQueryKind = first.section(QLatin1Char(' '), 0, 0).toLower() == QLatin1String("query") ? QStringLiteral("QBE")
                                                                                               : QStringLiteral("SQL");
    }
    TTable::DoBeforeOpen();
}

std::unique_ptr<TTableReader> TkqTable::CreateReader()
{
    if (FQuery.isEmpty()) return TTable::CreateReader();
    // The texts were run by a database engine that does not exist here.
    if (FQueryKind == QLatin1String("QBE")) TableNotSupported(QStringLiteral("Running QBE queries"));
    TableNotSupported(QStringLiteral("SQL over Paradox and dBASE tables"));
}

void TkqTable::PrepareCursor()
{
    // The filters are in place before the first record is read.
    if (!GetFilterText().isEmpty() || FOnFilter) ApplyFilter();
}

void TkqTable::InternalClose()
{
    FreeLookupTables();
    TTable::InternalClose();
    FFilterHandle = 0;
    FCallbackHandle = 0;
}

// --- Indexes

namespace {
enum TIndexMatch { imExact, imPrefix };

// The first definition whose fields match in that way, with that case rule.
QString FindIndex(const TIndexDefs& defs, const QString& fields, TIndexMatch match, bool caseSensitive)
{
    const QString wanted = UpperFields(fields);
    for (int i = 0; i < defs.Count(); ++i) {
        const TIndexDef* def = defs[i];
        if (def->Options().testFlag(ixCaseInsensitive) == caseSensitive) continue;
        const QString have = UpperFields(def->Fields());
        if (match == imExact ? have == wanted : have.startsWith(wanted + QLatin1Char(';'))) return def->Name();
    }
    return QStringLiteral("?");
}
} // namespace

QString TkqTable::FindIndexNameForFields(const QString& fields, bool caseSensitive)
{
    const QString exact = FindIndex(IndexDefs(), fields, imExact, caseSensitive);
    return exact != QLatin1String("?") ? exact : FindIndex(IndexDefs(), fields, imPrefix, caseSensitive);
}

QString TkqTable::FindAnyIndexNameForFields(const QString& fields)
{
    EnsureIndexDefs();
    for (const TIndexMatch match : {imExact, imPrefix})
        for (const bool caseSensitive : {false, true}) {
            const QString name = FindIndex(IndexDefs(), fields, match, caseSensitive);
            if (name != QLatin1String("?")) return name;
        }
    return QStringLiteral("?");
}

void TkqTable::EnsureIndexDefs()
{
    if (IndexDefs().Count() == 0
        || IndexDefs()[0]->Name().compare(objectName() + QStringLiteral("Index0"), Qt::CaseInsensitive) == 0)
        IndexDefs().Update();
}

QString TkqTable::GetFirstIndexFieldName()
{
    if (!IndexFieldNames().isEmpty()) return IndexFieldNames().section(QLatin1Char(';'), 0, 0);
    const QString name = IndexName().isEmpty() ? QStringLiteral("PrimaryKey") : IndexName();
    const int i = IndexDefs().IndexOf(name);
    return i < 0 ? QString() : IndexDefs()[i]->Fields().section(QLatin1Char(';'), 0, 0);
}

bool TkqTable::ChooseIndexForFields(const QString& fields)
{
    if (fields.isEmpty() || !FQuery.isEmpty()) return false;
    EnsureIndexDefs();
    const bool master = MasterSource() != nullptr && !IgnoreMasterLink;
    if (!MasterSource() && IndexFieldCount() > 0 && IndexFields(0)->FieldName().compare(fields, Qt::CaseInsensitive) == 0)
        return true;
    TFindGuard guard(this);
    QString wanted;
    if (!master) {
        wanted = FindAnyIndexNameForFields(fields);
    } else {
        QStringList list;
        const int k = int(MasterFields().split(QLatin1Char(';'), Qt::SkipEmptyParts).size());
        for (int i = 0; i < k && i < IndexFieldCount(); ++i) list << IndexFields(i)->FieldName();
        list << fields.section(QLatin1Char(';'), 0, 0);
        wanted = FindAnyIndexNameForFields(list.join(QLatin1Char(';')));
    }
    if (wanted == QLatin1String("?")) return false;
    QString current = IndexName();
    if (!IndexFieldNames().isEmpty()) {
        const TIndexDef* def = IndexDefs().GetIndexForFields(IndexFieldNames(), false);
        current = def ? def->Name() : QStringLiteral("?");
    }
    if (wanted.compare(current, Qt::CaseInsensitive) != 0) {
        if (master) ResetCurrentRange();
        SwitchToIndexNamed(wanted);
    }
    return true;
}

bool TkqTable::ChooseIndexForSelected(const QStringList& selected)
{
    if (selected.isEmpty()) return false;
    return ChooseIndexForFields(selected.first().section(QLatin1Char('\t'), 0, 0));
}

void TkqTable::SwitchToIndexNamed(const QString& name)
{
    const int i = IndexDefs().IndexOf(name);
    if (i >= 0) SwitchIndexKeepingPosition(this, IndexDefs()[i]);
}

bool TkqTable::FindKeyValues(const QStringList& values, int lastIndex)
{
    if (IndexFieldCount() == 0) return false;
    if (lastIndex >= IndexFieldCount()) {
        Warn(QStringLiteral("Table ") + objectName() + QStringLiteral(": FindKey has too many lookup values for index ")
             + IndexName());
        return false;
    }
    TFindGuard guard(this);
    if (NarrowSearch()) CancelRange();
    const int count = qMin(lastIndex + 1, int(values.size()));
    bool same = true;
    for (int i = 0; i < count && same; ++i) {
        const TField* f = IndexFields(i);
        if (!f) {
            Warn(QStringLiteral("Table ") + objectName() + QStringLiteral(": Table index not found"));
            return false;
        }
        same = !IsEmpty() && f->AsString().compare(values[i], Qt::CaseInsensitive) == 0;
    }
    if (same && count > 0) return true;
    std::vector<TVariant> keys;
    for (int i = 0; i < count; ++i) keys.push_back(TVariant(values[i]));
    return FindKey(keys);
}

bool TkqTable::FindByText(const QString& text, int keyIndex)
{
    TFindGuard guard(this);
    return FindNearestByText(this, text, keyIndex);
}

bool TkqTable::FindByFieldValue(const QString& value, const QString& fieldName, int matchType, bool caseSensitive)
{
    TFindGuard guard(this);
    return MoveToFieldValue(this, value, fieldName, matchType, caseSensitive);
}

void TkqTable::SetRangeFromKey(const QStringList& values, const QStringList& upper)
{
    CheckBrowseMode();
    SetRangeStart();
    for (int i = 0; i < values.size() && i < IndexFieldCount(); ++i) IndexFields(i)->SetAsString(values[i]);
    SetRangeEnd();
    for (int i = 0; i < upper.size() && i < IndexFieldCount(); ++i) IndexFields(i)->SetAsString(upper[i]);
    ApplyRange();
}

void TkqTable::ClearRange()
{
    // Local tables are never SQL-based: the platform's cancel serves.
    CancelRange();
}

void TkqTable::ResetCurrentRange()
{
    if (!Active() || IndexFieldCount() == 0) return;
    SetRangeStart();
    SetRangeEnd();
    CheckBrowseMode();
}

void TkqTable::FindNearest(const QStringList& values)
{
    std::vector<TVariant> keys;
    for (int i = 0; i < values.size() && i < IndexFieldCount(); ++i) keys.push_back(TVariant(values[i]));
    TTableDataSet::FindNearest(keys);
}

// --- What the search services ask

QStringList TkqTable::ActiveIndexFields() const
{
    QStringList fields;
    for (int i = 0; i < IndexFieldCount(); ++i) fields << IndexFields(i)->FieldName();
    return fields;
}

bool TkqTable::ActiveIndexNamedDescending() const
{
    if (!IndexFieldNames().isEmpty()) return false;
    if (IndexName().isEmpty()) return IndexFieldDescending(0);
    const int i = IndexDefs().IndexOf(IndexName());
    return i >= 0 && IndexDefs()[i]->Options().testFlag(ixDescending);
}

bool TkqTable::FieldMapsToCaseInsensitiveIndex(const QString& fieldName) const
{
    return FieldsMapToIndex(this, fieldName, false);
}

// --- Paradox and dBASE

bool TkqTable::IsParadoxTable() const
{
    if (TableType() == ttParadox) return true;
    if (TableType() != ttDefault) return false;
    const QString name = TableName().toLower();
    return name.contains(QLatin1String(".db")) && name.endsWith(QLatin1Char('b'));
}

bool TkqTable::IsDBaseTable() const
{
    return TableType() == ttDBase || QFileInfo(TableName()).suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) == 0;
}

void TkqTable::LoadParadoxMasks()
{
    if (FParadoxPicturesLoaded || !IsParadoxTable()) return;
    FParadoxPicturesLoaded = true;
    std::unique_ptr<TTableReader> temporary;
    TTableReader* reader = Reader();
    if (!reader) {
        try {
            temporary = TTable::CreateReader();
        } catch (const Exception&) {
            return;
        }
        reader = temporary.get();
    }
    for (const TTableValidity& check : reader->ValidityChecks()) {
        if (check.Field < 0 || check.Field >= int(reader->Fields().size()) || check.Picture.isEmpty()) continue;
        FParadoxPictures << reader->Fields()[size_t(check.Field)].Name + QLatin1Char('\t') + check.Picture;
    }
}

QString TkqTable::GetParadoxMask(const QString& fieldName)
{
    if (!IsParadoxTable()) return {};
    LoadParadoxMasks();
    for (const QString& line : FParadoxPictures)
        if (line.section(QLatin1Char('\t'), 0, 0) == fieldName) return line.section(QLatin1Char('\t'), 1);
    return {};
}

QString TkqTable::TablePicture(const QString& fieldName) const
{
    return const_cast<TkqTable*>(this)->GetParadoxMask(fieldName);
}

// --- Services over any table

void SelectIndexForFields(TTable* table, const QString& fields)
{
    if (!table) return;
    table->IndexDefs().Update();
    const TIndexDef* def = table->IndexDefs().GetIndexForFields(fields, false);
    if (!def) def = table->IndexDefs().GetIndexForFields(fields, true);
    if (def) table->SetIndexName(def->Name());
}

void SwitchIndexKeepingPosition(TTable* table, const TIndexDef* indexDef)
{
    if (!table || !indexDef) return;
    // Local tables are not SQL-based: keeping the position by ranges never applies.
    table->SetIndexName(indexDef->Name());
}

void ApplyRangeFromDataSet(TTable* table, TDataSet* source)
{
    if (!table || !source || static_cast<TDataSet*>(table) == source) return;
    TBusyCursor busy;
    table->DisableControls();
    struct TEnable {
        TTable* Table;
        ~TEnable() { Table->EnableControls(); }
    } enable{table};
    table->SetRangeStart();
    for (int i = 0; i < table->IndexFieldCount(); ++i)
        if (const TField* from = source->FindField(table->IndexFields(i)->FieldName()))
            table->IndexFields(i)->SetAsString(from->EditText());
    table->SetRangeEnd();
    table->ApplyRange();
}

bool FieldsMapToIndex(const TDataSet* dataSet, const QString& fields, bool caseSensitive)
{
    const auto* table = qobject_cast<const TTableDataSet*>(dataSet);
    if (!table || fields.isEmpty()) return false;
    QList<TField*> list;
    for (const QString& name : fields.split(QLatin1Char(';'))) {
        TField* f = table->FindField(name);
        if (!f) return false;
        list << f;
    }
    return table->MapsToIndex(list, !caseSensitive);
}

bool IsTableWithIndex(const TDataSet* dataSet)
{
    const auto* table = qobject_cast<const TkqTable*>(dataSet);
    return table && table->IndexFieldCount() > 0;
}

bool IsTableInQueryMode(const TDataSet* dataSet)
{
    const auto* table = qobject_cast<const TkqTable*>(dataSet);
    return table && !table->Query().isEmpty();
}
