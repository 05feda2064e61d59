#include "gridlib/dialogs/kqfind.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqtable.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqdbservices.h"
#include "gridlib/core/kqSystem.h"
#include "gridlib/core/kqfieldlists.h"
#include "platform/client/ClientDataSet.h"
#include "platform/core/SysFormat.h"
#include "platform/tables/LocalTables.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/RtfReader.h"

#include <optional>

namespace {

// This engine serves the library's record search (typed searches of the grid and editors).
const bool RecordSearchServed = [] {
    SetRecordSearch([](bool fromFirst, TDataSet* dataSet, const QString& fieldName, const QString& value,
                       int matchType, bool caseSensitive) {
        return FindFieldValue(fromFirst, dataSet, fieldName, value, matchType, caseSensitive);
    });
    return true;
}();

bool IsMemoField(const TField* field) { return field->DataType() == ftMemo; }

// The rule on a field text already in the key's case.
bool MatchCased(const QString& text, const QString& key, int matchType)
{
    switch (matchType) {
    case mtExactMatch: return text.size() == key.size() && text == key;
    case mtPartialMatchStart: return !key.isEmpty() && text.startsWith(key);
    case mtPartialMatchAny: return !key.isEmpty() && text.contains(key);
    default: return false;
    }
}

QString MemoPlainText(const TField* field)
{
    const QByteArray bytes = field->AsBytes();
    if (bytes.startsWith("{\\rtf")) return RtfPlainText(QByteArrayView(bytes));
    return field->AsString();
}

// How one record is tested: the comparison the field's kind asks for, with everything that does
// not change between records worked out once.
struct TRecordTest {
    TField* Field = nullptr;
    QString Key;            // upper-cased unless case-sensitive
    int MatchType = 0;
    bool CaseSensitive = false;
    bool Memo = false;
    bool Numeric = false;   // an exact search of a float field with a key
    std::optional<double> Number;

    bool Matches() const
    {
        if (Memo) return MatchMemoText(Field, Key, CaseSensitive, MatchType);
        if (Numeric) return Number && !Field->IsNull() && Field->AsFloat() == *Number;
        const QString text = Field->AsString();
        if (CaseSensitive) return MatchCased(text, Key, MatchType);
        // Compared without an upper-cased copy of every record's text.
        switch (MatchType) {
        case mtExactMatch: return text.size() == Key.size() && text.compare(Key, Qt::CaseInsensitive) == 0;
        case mtPartialMatchStart: return !Key.isEmpty() && text.startsWith(Key, Qt::CaseInsensitive);
        case mtPartialMatchAny: return !Key.isEmpty() && text.contains(Key, Qt::CaseInsensitive);
        default: return false;
        }
    }
};

// The first field of the dataset's active index, when the dataset keeps its records in one.
TField* ActiveIndexFirstField(TDataSet* dataSet)
{
    if (auto* table = qobject_cast<TTableDataSet*>(dataSet))
        return table->IndexFieldCount() > 0 ? table->IndexFields(0) : nullptr;
    auto* cds = qobject_cast<TClientDataSet*>(dataSet);
    if (!cds) return nullptr;
    QString fields = cds->IndexFieldNames();
    if (fields.isEmpty() && !cds->IndexName().isEmpty()) {
        const TIndexDefs& defs = cds->IndexDefs();
        for (int i = 0; i < defs.Count(); ++i)
            if (defs.Items(i)->Name().compare(cds->IndexName(), Qt::CaseInsensitive) == 0) {
                fields = defs.Items(i)->Fields();
                break;
            }
    }
    const QString first = fields.section(QLatin1Char(';'), 0, 0).section(QLatin1Char(':'), 0, 0).trimmed();
    return first.isEmpty() ? nullptr : dataSet->FindField(first);
}

// An index search: set when the active index answered (found or not); unset when a scan must.
std::optional<bool> IndexSearch(bool fromFirst, TDataSet* dataSet, TField* field, const QString& searchValue,
                                const QString& key, int matchType, bool caseSensitive)
{
    if (field->IsBlob() || field->DataType() == ftBoolean || IsCalculatedOrLookup(field)) return std::nullopt;
    if (IsTableInQueryMode(dataSet)) return std::nullopt;
    if (ActiveIndexFirstField(dataSet) != field) return std::nullopt;
    const bool text = field->DataType() == ftString || field->DataType() == ftWideString ||
                      field->DataType() == ftFixedChar;
    if (matchType == mtExactMatch) {
        const QString current = caseSensitive ? field->AsString() : field->AsString().toUpper();
        // From the current record on a record that already matches, the next equal key is the
        // next record, which the scan finds at once.
        if (!fromFirst && current == key) return std::nullopt;
        if (text && searchValue.isEmpty()) return std::nullopt;   // empty texts are nulls to an index
        if (!text) {
            // A key the field's type cannot hold matches nothing, as the scan would find.
            if (!IsValidTextForField(field, searchValue.trimmed())) return false;
        }
        if (auto* table = qobject_cast<TTableDataSet*>(dataSet)) {
            if (text && table->IndexFieldCaseInsensitive(0) == caseSensitive) return std::nullopt;
            return table->FindKey({TVariant(searchValue)});
        }
        const TLocateOptions options = caseSensitive ? TLocateOptions() : TLocateOptions(loCaseInsensitive);
        return dataSet->Locate(field->FieldName(), TVariant(searchValue), options);
    }
    // A text at the start, from the first record: the matching keys are one run of the index.
    if (matchType == mtPartialMatchStart && fromFirst && text && !searchValue.isEmpty() &&
        qobject_cast<TClientDataSet*>(dataSet)) {
        TLocateOptions options(loPartialKey);
        if (!caseSensitive) options |= loCaseInsensitive;
        return dataSet->Locate(field->FieldName(), TVariant(searchValue), options);
    }
    return std::nullopt;
}

bool UsesDataSetLocate(bool fromFirst, TDataSet* dataSet, const TField* field, int matchType, bool useLocate)
{
    if (!fromFirst || (matchType != mtExactMatch && matchType != mtPartialMatchStart)) return false;
    if (IsMemoField(field) || IsCalculatedOrLookup(field)) return false;
    return useLocate ||
           (KqIntl()->ADO->UseLocateWhenFindingValue && IsClassOrAncestorNamed(dataSet, "TCustomADODataSet"));
}

// The scan from view position first on, reading each record in place through a data link of our
// own. Returns the bookmark of the first record that matches (null when none).
TBookmark ScanInPlace(TDataSet* dataSet, const TRecordTest& test, int firstPosition)
{
    TDataSource source;
    source.SetDataSet(dataSet);
    TDataLink link;
    link.SetDataSource(&source);
    const int saved = link.ActiveRecord();
    const int windowTop = link.FirstRecord();
    const int count = dataSet->RecordCount();
    TBookmark found;
    try {
        for (int position = firstPosition; position < count; ++position) {
            link.SetActiveRecord(position - windowTop);
            if (test.Matches()) {
                found = dataSet->GetBookmark();
                break;
            }
        }
    } catch (...) {
        link.SetActiveRecord(saved);
        throw;
    }
    link.SetActiveRecord(saved);
    return found;
}

// The scan for calculated and lookup fields: their values exist only for the record the dataset
// stands on, so the dataset moves, with its controls disabled.
bool ScanByMoving(TDataSet* dataSet, const TRecordTest& test)
{
    while (true) {
        dataSet->Next();
        if (dataSet->Eof()) return false;
        if (test.Matches()) return true;
    }
}

// The view position of the current record, read through a data link (RecNo means nothing on a
// dataset that is not sequenced).
int CurrentPosition(TDataSet* dataSet)
{
    TDataSource source;
    source.SetDataSet(dataSet);
    TDataLink link;
    link.SetDataSource(&source);
    return link.FirstRecord() + link.ActiveRecord();
}

} // namespace

bool MatchFieldText(const QString& fieldText, const QString& key, int matchType, bool caseSensitive)
{
    return MatchCased(caseSensitive ? fieldText : fieldText.toUpper(), key, matchType);
}

bool MatchMemoText(const TField* field, const QString& key, bool caseSensitive, int matchType)
{
    if (key.isEmpty()) return false;
    const QString text = MemoPlainText(field);
    return MatchCased(caseSensitive ? text : text.toUpper(), key, matchType);
}

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
    if (dataSet->IsEmpty()) return false;
    dataSet->UpdateCursorPos();
    const QString key = caseSensitive ? searchValue : searchValue.toUpper();

    if (const std::optional<bool> answer =
            IndexSearch(fromFirst, dataSet, field, searchValue, key, matchType, caseSensitive))
        return *answer;

    TRecordTest test;
    test.Field = field;
    test.Key = key;
    test.MatchType = matchType;
    test.CaseSensitive = caseSensitive;
    test.Memo = IsMemoField(field);
    test.Numeric = !test.Memo && matchType == mtExactMatch && IsFloatFieldType(field->DataType()) && !key.isEmpty();
    if (test.Numeric) {
        double number = 0;
        if (IsValidFloatText(searchValue.trimmed()) && TryStrToFloat(searchValue.trimmed(), number)) test.Number = number;
    }

    const TBookmark start = dataSet->GetBookmark();
    TBusyCursor busy;
    if (UsesDataSetLocate(fromFirst, dataSet, field, matchType, useLocate)) {
        dataSet->First();
        if (test.Matches()) return true;
        TLocateOptions options;
        if (!caseSensitive) options |= loCaseInsensitive;
        if (matchType == mtPartialMatchStart) options |= loPartialKey;
        if (dataSet->Locate(fieldName, TVariant(searchValue), options)) return true;
        dataSet->GotoBookmark(start);
        return false;
    }

    if (IsCalculatedOrLookup(field)) {
        dataSet->DisableControls();
        bool found = false;
        try {
            if (fromFirst) {
                dataSet->First();
                found = test.Matches();
            }
            if (!found) found = ScanByMoving(dataSet, test);
            if (!found) dataSet->GotoBookmark(start);
        } catch (...) {
            dataSet->EnableControls();
            throw;
        }
        dataSet->EnableControls();
        if (found) dataSet->Resync(TResyncModes(rmExact) | rmCenter);
        return found;
    }

    const TBookmark found = ScanInPlace(dataSet, test, fromFirst ? 0 : CurrentPosition(dataSet) + 1);
    if (found.IsNull()) return false;
    dataSet->GotoBookmark(found);
    dataSet->Resync(TResyncModes(rmExact) | rmCenter);
    return true;
}
