#include "gridlib/core/kqbde.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqtable.h"
#include "gridlib/core/kqdbservices.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqfilter.h"
#include "gridlib/core/kqlookup.h"
#include "platform/core/CodePages.h"
#include "platform/vcl/Dialogs.h"

#include <QApplication>
#include <QtEndian>
#include <cstring>

namespace {

bool IsWaitCursorShown()
{
    const QCursor* c = QApplication::overrideCursor();
    return c && c->shape() == Qt::WaitCursor;
}

} // namespace

TkqBDEDataSet::TkqBDEDataSet(TDataSet* self) : FSelf(self) {}

TkqBDEDataSet::~TkqBDEDataSet()
{
    FDestroying = true;
    if (FHourGlassPushed) QApplication::restoreOverrideCursor();
    FreeLookupTables();
}

void TkqBDEDataSet::FreeLookupTables()
{
    TkqLookupTableList tables;
    tables.swap(FLookupTables);
    for (TkqLookupTableEntry& entry : tables) delete entry.Table;
}

bool TkqBDEDataSet::RecordFilter()
{
    if (FDestroying || !HasFilterHandler() || FInFilterEvent || !FOnFilterOptions.Contains(ofoEnabled)) return true;
    bool accept = true;
    FInFilterEvent = true;
    try {
        CallFilterHandler(accept);
    } catch (...) {
        FInFilterEvent = false;
        throw;
    }
    FInFilterEvent = false;
    if (FOnFilterOptions.Contains(ofoShowHourGlass) && !FHourGlassShown && !accept) {
        if (!IsWaitCursorShown()) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            FHourGlassPushed = true;
        }
        FHourGlassShown = true;
    }
    if (FOnFilterOptions.Contains(ofoCancelOnEscape)) {
        if (++FFilterCalls > 31999) FFilterCalls = 0;
        if (FFilterCalls % 100 == 0 && EscapeStopsFilter(FSelf) && FOnFilterEscape) FOnFilterEscape(FSelf);
    }
    return accept;
}

bool TkqBDEDataSet::InstallOnFilterCallback()
{
    return InstallRecordFilterCallback(HasFilterHandler() ? FilterCallback() : TRecordFilterCallback(), FSelf,
                                       FCallbackHandle);
}

void TkqBDEDataSet::RestoreCursorAfterFilter()
{
    if (!FOnFilterOptions.Contains(ofoShowHourGlass) || !FHourGlassShown) return;
    if (FHourGlassPushed) {
        QApplication::restoreOverrideCursor();
        FHourGlassPushed = false;
    }
    FHourGlassShown = false;
}

void TkqBDEDataSet::StoreFilterOptions(TkqOnFilterOptions options)
{
    const bool switchedOff = FOnFilterOptions.Contains(ofoEnabled) && !options.Contains(ofoEnabled);
    FOnFilterOptions = options;
    if (!switchedOff || !FSelf->Active() || !HasFilterHandler()) return;
    // The records the handler hid come back.
    FSelf->UpdateCursorPos();
    if (auto* table = qobject_cast<TTableDataSet*>(FSelf)) table->Refilter();
    else FSelf->Resync();
}

void TkqBDEDataSet::ValidateMasks(const TkqInvalidValueEvent& onInvalidValue)
{
    ValidateRecordPictureMasks(FSelf, onInvalidValue);
}

QString TkqBDEDataSet::LiveQueryFilterRefused()
{
    return QStringLiteral("Local filtering is not supported on a Live-Query which contains a Where clause in the SQL string. "
                          "To perform a local filter on this query, you will need to set its RequestLive property to False.");
}

void TkqBDEDataSet::MessageDlgWarning(const QString& text)
{
    MessageDlg(text, mtWarning, {mbOK});
}

void TkqBDEDataSet::CalculateLookupFields(QStringList& lookupFields, QStringList& lookupLinks, QStringList& controlType)
{
    PurgeMissingFieldEntries(FSelf, &lookupFields, &lookupLinks, &controlType);
    OpenLookupTables(FSelf, lookupFields, lookupLinks, FLookupTables);
}

TParam* TkqBDEDataSet::FieldAsParam(const QString& fieldName)
{
    TField* field = FSelf->FindField(fieldName);
    if (!field) DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {fieldName});
    if (FFieldBuffer.isEmpty()) FFieldBuffer = QByteArray(qMax(1, GlobalFilterMemoSize()), '\0');
    FFieldBuffer[0] = '\0';
    FParam.SetName(field->FieldName());
    const TFieldType type = field->DataType();
    if (type == ftMemo || type == ftFmtMemo || type == ftBlob) {
        const int n = ReadBlobIntoBuffer(FSelf, FFieldBuffer, int(FFieldBuffer.size()), field);
        const QByteArrayView bytes(FFieldBuffer.constData(), n);
        const auto* blob = qobject_cast<const TBlobField*>(field);
        FParam.SetDataType(ftString);
        FParam.SetValue(TVariant(type == ftBlob || !blob ? QString::fromLatin1(bytes) : DecodeCodePage(bytes, blob->CodePage())));
        return &FParam;
    }
    if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
        TField* result = FindLookupResultField(FSelf, field, [this](const QString& name) { return FieldAsParam(name); });
        if (result) FieldToParamBuffer(result, &FParam, FFieldBuffer);
        return &FParam;
    }
    FParam.SetDataType(type == ftAutoInc ? ftInteger : type);
    if (field->IsNull()) {
        FParam.Clear();
    } else if (type == ftBCD) {
        FParam.SetValue(TVariant(field->AsCurrency()));
    } else if (type == ftString || type == ftFixedChar || type == ftWideString) {
        FParam.SetValue(TVariant(field->AsString().left(255)));
    } else {
        FParam.SetValue(field->Value());
    }
    return &FParam;
}

TkqLookupTableList* GetLookupTablesList(TDataSet* dataSet)
{
    auto* bde = dynamic_cast<TkqBDEDataSet*>(dataSet);
    return bde ? &bde->LookupTablesList() : nullptr;
}

int ReadBlobIntoBuffer(TDataSet* dataSet, QByteArray& buffer, int maxLength, TField* field)
{
    Q_UNUSED(dataSet);
    if (buffer.isEmpty()) return 0;
    const int limit = qMin(int(buffer.size()) - 1, qMax(0, maxLength));
    const QByteArray bytes = field && !field->IsNull() ? field->AsBytes() : QByteArray();
    const int n = qMin(limit, int(bytes.size()));
    std::memcpy(buffer.data(), bytes.constData(), size_t(n));
    buffer[n] = '\0';
    return n;
}

void FieldToParamBuffer(const TField* field, TParam* param, QByteArray& buffer)
{
    auto store = [&](const void* bytes, int size) {
        if (buffer.size() < size) buffer.resize(size);
        std::memcpy(buffer.data(), bytes, size_t(size));
    };
    if (!field) {
        store("", 1);
        param->SetDataType(ftString);
        param->SetValue(TVariant(QString()));
        return;
    }
    const TFieldType type = field->DataType();
    param->SetDataType(type);
    if (field->IsNull()) {
        param->Clear();
        return;
    }
    switch (type) {
    case ftString: case ftFixedChar: case ftWideString: case ftMemo: case ftFmtMemo: {
        const QString text = field->AsString().left(32767);
        QByteArray bytes = EncodeCodePage(text, DefaultCodePage());
        bytes.append('\0');
        store(bytes.constData(), int(bytes.size()));
        param->SetValue(TVariant(text));
        break;
    }
    case ftSmallint: case ftWord: {
        const qint16 v = qToLittleEndian(qint16(field->AsInteger()));
        store(&v, 2);
        param->SetValue(TVariant(field->AsInteger()));
        break;
    }
    case ftInteger: case ftAutoInc: {
        const qint32 v = qToLittleEndian(qint32(field->AsInteger()));
        store(&v, 4);
        param->SetValue(TVariant(field->AsInteger()));
        break;
    }
    case ftBoolean: {
        const qint16 v = qToLittleEndian(qint16(field->AsBoolean() ? -1 : 0));
        store(&v, 2);
        param->SetValue(TVariant(field->AsBoolean()));
        break;
    }
    case ftFloat: case ftCurrency: {
        const double d = qToLittleEndian(field->AsFloat());
        store(&d, 8);
        param->SetValue(TVariant(field->AsFloat()));
        break;
    }
    case ftBCD: {
        uchar bcd[FilterBlock::BcdSize];
        const TCurrency c = field->AsCurrency();
        FloatToFilterBcd(c.ToDouble(), 4, bcd);
        store(bcd, FilterBlock::BcdSize);
        param->SetValue(TVariant(c));
        break;
    }
    case ftDate: {
        const qint32 v = qToLittleEndian(qint32(DateTimeToDayNumber(field->AsDateTime())));
        store(&v, 4);
        param->SetValue(TVariant::FromDate(field->AsDateTime()));
        break;
    }
    case ftTime: {
        const qint32 v = qToLittleEndian(qint32(DateTimeToMSecOfDay(field->AsDateTime())));
        store(&v, 4);
        param->SetValue(TVariant::FromDate(field->AsDateTime()));
        break;
    }
    case ftDateTime: {
        const TDateTime dt = field->AsDateTime();
        const double ms = qToLittleEndian(double(DateTimeToDayNumber(dt)) * MSecsPerDay + DateTimeToMSecOfDay(dt));
        store(&ms, 8);
        param->SetValue(TVariant::FromDate(dt));
        break;
    }
    default:
        break;
    }
}
