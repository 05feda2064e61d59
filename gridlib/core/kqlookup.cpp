#include "gridlib/core/kqlookup.h"

#include "gridlib/core/Kqstr.h"
#include "gridlib/core/Kqtable.h"
#include "gridlib/core/kqfieldlists.h"

#include <QScopedValueRollback>

namespace {

// Set while a search for the record being filtered runs: a field read by that search must not
// start another.
bool GFindingLookupResult = false;

QStringList Split(const QString& line)
{
    QStringList items;
    SplitToList(line, QLatin1Char(';'), items);
    return items;
}

// Items 6 to the one before the last: the lookup table's index fields.
QString IndexFieldsOf(const QStringList& items)
{
    return items.mid(5, items.size() - 6).join(QLatin1Char(';'));
}

// The texts of the dataset's fields named by items 1, 3, 5, ... of the links.
QStringList LinkValues(const TDataSet* dataSet, const QStringList& links)
{
    QStringList values;
    for (int i = 0; i < links.size(); i += 2) values << dataSet->FieldByName(links[i])->AsString();
    return values;
}

// The first dataset-side item of the links that the dataset lacks; empty when all are fields.
bool LinksNameFieldsOf(const TDataSet* dataSet, const QStringList& links)
{
    for (int i = 0; i < links.size(); i += 2)
        if (!dataSet->FindField(links[i])) return false;
    return true;
}

void HideField(TDataSet* dataSet, const QString& name)
{
    if (TField* f = dataSet->FindField(name)) f->SetVisible(false);
}

bool IsKeyValueCount(qsizetype items) { return items >= 2 && items <= 12 && items % 2 == 0; }

} // namespace

bool IsShortTableNameEntry(const QStringList& items)
{
    return items.size() >= 6 && items.last() == QLatin1String("N");
}

QString TableNameBeforeDot(const QString& name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

bool LookupTableMatchesEntry(const TkqTable* table, const QStringList& items)
{
    if (!table || items.size() < 3 || table->DatabaseName() != items[1]) return false;
    return table->TableName() == (IsShortTableNameEntry(items) ? TableNameBeforeDot(items[2]) : items[2]);
}

void OpenLookupTables(TDataSet* dataSet, const QStringList& lookupFields, const QStringList& lookupLinks,
                      TkqLookupTableList& tables)
{
    for (TkqLookupTableEntry& entry : tables) entry.Searched = false;
    for (int i = 0; i < lookupFields.size(); ++i) {
        const QStringList items = Split(lookupFields[i]);
        if (items.size() < 4) continue;
        const QString linksLine = lookupLinks.value(i);
        TkqLookupTableEntry* entry = nullptr;
        for (TkqLookupTableEntry& e : tables)
            if (LookupTableMatchesEntry(e.Table, items) && e.LinksText.compare(linksLine, Qt::CaseInsensitive) == 0) {
                entry = &e;
                break;
            }
        if (!entry) {
            // A table that cannot be opened is tried again in the next step.
            auto* table = new TkqTable(dataSet);
            try {
                table->SetDatabaseName(items[1]);
                table->SetTableName(IsShortTableNameEntry(items) ? TableNameBeforeDot(items[2]) : items[2]);
                if (items.size() < 6) table->SetIndexName(items.value(4));
                else table->SetIndexName(table->FindAnyIndexNameForFields(IndexFieldsOf(items)));
                table->SetReadOnly(true);
                table->Open();
            } catch (const Exception&) {
                delete table;
                continue;
            }
            tables.push_back({table, linksLine, false, false});
            entry = &tables.back();
        } else if (!entry->Table->Active()) {
            try {
                entry->Table->Open();
            } catch (const Exception&) {
                continue;
            }
        }
        const QStringList links = Split(linksLine);
        if (!LinksNameFieldsOf(dataSet, links)) {
            HideField(dataSet, items[0]);
            return;
        }
        if (!entry->Searched) {
            QScopedValueRollback<bool> inLookup(entry->Table->InLookup, true);
            entry->Found = SearchLookupTable(entry->Table, dataSet, links);
        }
        if (TField* field = dataSet->FindField(items[0])) {
            const TField* result = entry->Found ? entry->Table->FindField(items[3]) : nullptr;
            if (!result) field->SetAsString(QString());
            else if (result->IsBlob()) field->SetAsString(result->AsString());
            else field->SetAsString(result->EditText());
        }
        entry->Searched = true;
    }
}

bool SearchLookupTable(TkqTable* table, TDataSet* dataSet, const QStringList& links)
{
    if (!table || !dataSet || links.isEmpty()) return false;
    if (table->IndexFieldCount() == 0) {
        if (links.size() < 2) return false;
        return table->FindByFieldValue(dataSet->FieldByName(links[0])->AsString(), links[1], 0, false);
    }
    if (!IsKeyValueCount(links.size())) return false;
    const QStringList values = LinkValues(dataSet, links);
    return table->FindKeyValues(values, int(values.size()) - 1);
}

bool PositionLookupTable(TDataSet* dataSet, TkqTable* lookupTable, const QString& fieldName, QString& keyFieldName)
{
    if (!dataSet || !lookupTable) return false;
    QStringList lookupFields, lookupLinks, controlType;
    const bool hasFields = GetLookupFieldsList(dataSet, lookupFields);
    const bool hasLinks = GetLookupLinksList(dataSet, lookupLinks);
    const bool hasControls = GetControlTypeList(dataSet, controlType);
    PurgeMissingFieldEntries(dataSet, hasFields ? &lookupFields : nullptr, hasLinks ? &lookupLinks : nullptr,
                             hasControls ? &controlType : nullptr);
    if (hasFields) SetStringListProperty(dataSet, "LookupFields", lookupFields);
    if (hasLinks) SetStringListProperty(dataSet, "LookupLinks", lookupLinks);
    if (hasControls) SetStringListProperty(dataSet, "ControlType", controlType);

    int line = -1;
    QStringList items;
    for (int i = 0; i < lookupFields.size() && line < 0; ++i) {
        items = Split(lookupFields[i]);
        if (items.value(0).compare(fieldName, Qt::CaseInsensitive) == 0) line = i;
    }
    if (line < 0) return false;
    if (items.size() >= 3
        && TableNameBeforeDot(lookupTable->TableName()).compare(TableNameBeforeDot(items[2]), Qt::CaseInsensitive) == 0) {
        if (items.size() < 6) {
            if (lookupTable->IndexName() != items.value(4)) lookupTable->SetIndexName(items.value(4));
        } else {
            QScopedValueRollback<bool> ignore(lookupTable->IgnoreMasterLink, true);
            lookupTable->ChooseIndexForFields(IndexFieldsOf(items));
        }
    }
    const QStringList links = Split(lookupLinks.value(line));
    if (!LinksNameFieldsOf(dataSet, links)) {
        HideField(dataSet, items.value(0));
        return false;
    }
    const bool found = SearchLookupTable(lookupTable, dataSet, links);
    keyFieldName = links.value(0);
    return found;
}

bool SeekLookupTableForField(TField* field, QString& keyText, TField*& resultField)
{
    resultField = field;
    TDataSet* dataSet = field ? field->DataSet() : nullptr;
    TkqLookupTableList* tables = dataSet ? GetLookupTablesList(dataSet) : nullptr;
    if (!tables) return false;
    const TkqLookupTableInfo info = GetLookupTableInfo(field);
    for (const TkqLookupTableEntry& entry : *tables) {
        if (entry.Table->DatabaseName() != info.DatabaseName || entry.Table->TableName() != info.TableName
            || entry.LinksText.compare(info.Links, Qt::CaseInsensitive) != 0)
            continue;
        if (TField* result = entry.Table->FindField(info.ResultField)) resultField = result;
        const QString keyField = Split(info.Links).value(0);
        const TField* key = dataSet->FindField(keyField);
        keyText = key ? key->AsString() : QString();
        return entry.Table->FindKeyValues({keyText}, 0);
    }
    return false;
}

TField* FindLookupResultField(TDataSet* dataSet, TField* field, const TkqParamSource& paramSource)
{
    if (!dataSet || !field) return nullptr;
    if (field->FieldKind() == fkCalculated) {
        TkqLookupTableList* tables = GetLookupTablesList(dataSet);
        if (GFindingLookupResult || !tables) return nullptr;
        const QStringList pairs = Split(GetLookupLinkEntry(dataSet, field->FieldName()));
        QStringList lookupFields, lookupLinks;
        GetLookupFieldsList(dataSet, lookupFields);
        GetLookupLinksList(dataSet, lookupLinks);
        for (int i = 0; i < lookupFields.size(); ++i) {
            const QStringList items = Split(lookupFields[i]);
            if (items.value(0).compare(field->FieldName(), Qt::CaseInsensitive) != 0) continue;
            for (const TkqLookupTableEntry& entry : *tables) {
                if (!LookupTableMatchesEntry(entry.Table, items)
                    || entry.LinksText.compare(lookupLinks.value(i), Qt::CaseInsensitive) != 0)
                    continue;
                QScopedValueRollback<bool> reentry(GFindingLookupResult, true);
                if (!SearchLookupDataSet(dataSet, entry.Table, pairs, paramSource)) return nullptr;
                return entry.Table->FindField(GetLookupResultFieldName(dataSet, field->FieldName()));
            }
            return nullptr;
        }
        return nullptr;
    }
    if (field->FieldKind() == fkLookup && field->LookupDataSet()) {
        const QStringList keys = field->KeyFields().split(QLatin1Char(';'));
        const QStringList lookupKeys = field->LookupKeyFields().split(QLatin1Char(';'));
        QStringList pairs;
        for (int i = 0; i < keys.size() && i < lookupKeys.size(); ++i) pairs << keys[i] << lookupKeys[i];
        if (!SearchLookupDataSet(dataSet, field->LookupDataSet(), pairs, paramSource)) return nullptr;
        return field->LookupDataSet()->FindField(field->LookupResultField());
    }
    return nullptr;
}

bool SearchLookupDataSet(TDataSet* dataSet, TDataSet* lookupDataSet, const QStringList& pairs,
                         const TkqParamSource& paramSource)
{
    if (!dataSet || !lookupDataSet || pairs.size() < 2) return false;
    auto valueOf = [&](const QString& name) {
        if (paramSource) {
            const TParam* p = CallParamByName(paramSource, name);
            return p ? p->AsString() : QString();
        }
        return dataSet->FieldByName(name)->AsString();
    };
    if (auto* table = qobject_cast<TkqTable*>(lookupDataSet)) {
        if (!IsKeyValueCount(pairs.size())) return false;
        QStringList values;
        for (int i = 0; i < pairs.size(); i += 2) values << valueOf(pairs[i]);
        return table->FindKeyValues(values, int(values.size()) - 1);
    }
    return lookupDataSet->Locate(pairs[1], TVariant(valueOf(pairs[0])), {});
}

TParam* CallParamByName(const TkqParamSource& paramSource, const QString& fieldName)
{
    return paramSource ? paramSource(fieldName) : nullptr;
}
