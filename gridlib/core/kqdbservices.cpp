#include "gridlib/core/kqdbservices.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqpict.h"
#include "gridlib/core/kqSystem.h"
#include "gridlib/core/kqfieldlists.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"

#include <QApplication>
#include <QLineEdit>

// --- Picture masks ------------------------------------------------------------------------------

bool ValueMatchesPicture(const QString& mask, const QString& text)
{
    if (text.isEmpty()) return true;
    TkqPictureValidator validator(mask, false);
    QString copy = text;
    return validator.Picture(copy, false) == prComplete;
}

void ValidateRecordPictureMasks(TDataSet* dataSet, const TkqInvalidValueEvent& onInvalidValue)
{
    if (!dataSet) return;
    // The list is read once per post: a dataset without masks costs one property read. A table
    // with pictures of its own is asked field by field.
    QStringList masks;
    GetPictureMaskList(dataSet, masks);
    const bool tablePictures = dynamic_cast<const TkqTablePictures*>(dataSet) != nullptr;
    if (masks.isEmpty() && !tablePictures) return;
    for (TField* field : dataSet->Fields()) {
        const QString mask = tablePictures ? FindPictureMask(dataSet, field->FieldName(), true).Mask
                                           : FindPictureMask(masks, field->FieldName()).Mask;
        if (mask.isEmpty() || field->ReadOnly() || ValueMatchesPicture(mask, field->AsString())) continue;
        field->FocusControl();
        if (onInvalidValue) onInvalidValue(dataSet, field);
        DatabaseError(KqIntl()->UserMessages->PictureValidateError + field->DisplayName());
    }
}

namespace {
int SelectionStart(const QLineEdit* edit)
{
    return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}
} // namespace

QString TextAfterTyping(const QLineEdit* edit, QChar key)
{
    const QString text = edit->text();
    const int start = SelectionStart(edit);
    const int length = int(edit->selectedText().size());
    return text.left(start) + key + text.mid(start + length);
}

bool AutoFillEditByPicture(QLineEdit* edit, const QString& mask, bool autoFill, QChar& key)
{
    if (!edit || key.unicode() < 32 || key.unicode() > 254) return false;
    const int s = SelectionStart(edit);
    const int n = int(edit->text().size());
    const int l = int(edit->selectedText().size());
    if (s < n - l) return false;

    TkqPictureValidator validator(mask, autoFill);
    QString t = TextAfterTyping(edit, key);
    switch (validator.Picture(t, autoFill)) {
    case prComplete:
        edit->setText(t);
        edit->setCursorPosition(n == l ? int(t.size()) : int(t.size()) > n ? int(t.size()) + s - n : s + 1);
        break;
    case prIncomplete:
        edit->setText(t);
        edit->setCursorPosition(n == l ? int(t.size()) : l == 0 ? int(t.size()) + s - n : s + 1);
        break;
    case prError:
        QApplication::beep();
        break;
    default:
        break;
    }
    key = QChar();
    return true;
}

// --- Texts against field types --------------------------------------------------------------------

bool IsValidTextForFieldType(TFieldType type, const QString& text)
{
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return IsIntegerText(text);
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return IsValidFloatText(text);
    case ftDate:
        return IsValidDateText(text);
    case ftTime:
        return IsValidTimeText(text);
    case ftDateTime:
        return IsValidDateTimeText(text) || IsValidDateText(text);
    default:
        return true;
    }
}

bool IsValidTextForField(const TField* field, const QString& text)
{
    return field && IsValidTextForFieldType(field->DataType(), text);
}

bool IsValidSearchText(const TField* field, const QString& text)
{
    if (!field) return false;
    if (text.isEmpty()) {
        switch (field->DataType()) {
        case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency:
        case ftBCD: case ftDate: case ftTime: case ftDateTime: case ftAutoInc:
            return false;
        default:
            break;
        }
    }
    return IsValidTextForField(field, text);
}

bool IsIntegerFieldType(TFieldType type)
{
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: return true;
    default: return false;
    }
}

bool IsFloatFieldType(TFieldType type)
{
    switch (type) {
    case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd: return true;
    default: return false;
    }
}

bool IsNumericFieldType(TFieldType type)
{
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftAutoInc:
        return true;
    default:
        return false;
    }
}

// --- Searching by a field's value ---------------------------------------------------------------------

namespace {
TkqFindFieldValue& RecordSearch()
{
    static TkqFindFieldValue search;
    return search;
}
} // namespace

void SetRecordSearch(TkqFindFieldValue search)
{
    RecordSearch() = std::move(search);
}

bool HasRecordSearch()
{
    return bool(RecordSearch());
}

bool MoveToFieldValue(TDataSet* dataSet, const QString& value, const QString& fieldName, int matchType,
                      bool caseSensitive)
{
    if (!dataSet) return false;
    const QString current = dataSet->FieldByName(fieldName)->AsString();
    if (current.compare(value, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0) return true;
    return RecordSearch() && RecordSearch()(true, dataSet, fieldName, value, matchType, caseSensitive);
}

// --- Searching by the keys of a table's active index --------------------------------------------------

namespace {
bool ComparedAsText(TFieldType type)
{
    return type == ftUnknown || type == ftString || type == ftBoolean || type == ftBytes || type == ftVarBytes ||
           type >= ftBlob;
}

// The hourglass and the table's controls disabled, both restored on every way out.
class TSearchGuard {
public:
    explicit TSearchGuard(TDataSet* table) : FTable(table) { FTable->DisableControls(); }
    ~TSearchGuard() { FTable->EnableControls(); }

private:
    TBusyCursor FCursor;
    TDataSet* FTable;
};

// The current record's texts of index fields 0 to count - 1, then text.
QStringList KeyValues(const TDataSet* table, const QStringList& indexFields, int count, const QString& text)
{
    QStringList values;
    for (int k = 0; k < count; ++k) values << table->FieldByName(indexFields[k])->AsString();
    values << text;
    return values;
}

bool CurrentRecordMatches(const TField* field, const QString& text)
{
    const QString shown = field->AsString();
    switch (field->DataType()) {
    case ftFloat:
    case ftCurrency:
        if (text.isEmpty()) return shown.isEmpty();
        return StrToFloat(text) == field->AsFloat();
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return shown == text;
    default:
        return shown.startsWith(text, Qt::CaseInsensitive);
    }
}
} // namespace

bool ActiveIndexMapsCaseInsensitive(const TDataSet* table)
{
    const auto* indexed = dynamic_cast<const TkqIndexedTable*>(table);
    if (!indexed) return false;
    const QStringList fields = indexed->ActiveIndexFields();
    return !fields.isEmpty() && indexed->FieldMapsToCaseInsensitiveIndex(fields.first());
}

bool FindNearestByText(TDataSet* table, const QString& text, int keyIndex)
{
    if (!table) return false;
    auto* indexed = dynamic_cast<TkqIndexedTable*>(table);
    if (!indexed && !IsClassOrAncestorNamed(table, "TTable")) return false;
    const QStringList indexFields = indexed ? indexed->ActiveIndexFields() : QStringList();
    if (indexFields.isEmpty()) {
        MessageDlg(QStringLiteral("Table ") + table->objectName() + QStringLiteral(": Table index not found"),
                   mtWarning, {mbOK});
        return false;
    }
    if (keyIndex < 0 || keyIndex >= indexFields.size()) return false;
    TField* keyField = table->FieldByName(indexFields[keyIndex]);
    const bool asText = ComparedAsText(keyField->DataType());
    if (!asText && !IsValidTextForFieldType(keyField->DataType(), text)) return false;

    if (indexed->NarrowSearch()) {
        TSearchGuard guard(table);
        if (!asText) {
            indexed->SetRangeFromKey({text});
        } else if (!text.isEmpty()) {
            const TField* first = table->FieldByName(indexFields.first());
            QString upper = text;
            if (upper.size() < first->Size()) upper += QString(first->Size() - upper.size(), indexed->NarrowSearchUpperChar());
            if (indexed->ActiveIndexNamedDescending()) indexed->SetRangeFromKey({upper}, {text});
            else indexed->SetRangeFromKey({text}, {upper});
        } else {
            indexed->ClearRange();
        }
    } else if (indexed->SyncSQLByRange() && indexed->IsSQLBased() && !indexed->HasMasterSource()) {
        TSearchGuard guard(table);
        if (text.isEmpty()) indexed->ClearRange();
        else if (keyIndex <= 3) indexed->SetRangeFromKey(KeyValues(table, indexFields, keyIndex, text));
    } else if (KqIntl()->UseLocateMethodForSearch) {
        TLocateOptions options = loPartialKey;
        if (ActiveIndexMapsCaseInsensitive(table)) options |= loCaseInsensitive;
        if (text.isEmpty()) {
            table->First();
        } else if (keyIndex == 0) {
            table->Locate(indexFields.first(), TVariant(text), options);
        } else {
            bool anyNull = false;
            for (int k = 0; k < keyIndex; ++k) anyNull = anyNull || table->FieldByName(indexFields[k])->IsNull();
            if (!anyNull) {
                const QStringList values = KeyValues(table, indexFields, keyIndex, text);
                std::vector<TVariant> keys;
                for (const QString& v : values) keys.push_back(TVariant(v));
                table->Locate(indexFields.mid(0, keyIndex + 1).join(QLatin1Char(';')), TVariant::ArrayOf(std::move(keys)),
                              options);
            }
        }
    } else if (keyIndex <= 3) {
        indexed->FindNearest(KeyValues(table, indexFields, keyIndex, text));
    }
    return CurrentRecordMatches(keyField, text);
}
