#pragma once
// What the library's datasets over the database engine share (the table, the query, the query by
// example and the stored procedure): their cached lookup tables, the record filter with its
// options (hourglass while records are rejected, Escape to stop, a switch), and the fields of the
// record being filtered handed over as a parameter.

#include "gridlib/core/kqcommon.h"
#include "platform/data/DBParams.h"
#include "platform/tables/LocalTables.h"

#include <QByteArray>
#include <QStringList>
#include <vector>

class TkqTable;

// A lookup table a dataset opened for its LookupFields lines, shared by every line with the same
// table and links.
struct TkqLookupTableEntry {
    TkqTable* Table = nullptr;   // owned by the dataset
    QString LinksText;           // the LookupLinks line it was opened for
    bool Searched = false;       // in the current calculated-fields step
    bool Found = false;
};
using TkqLookupTableList = std::vector<TkqLookupTableEntry>;

// The state and steps the four datasets share; each class passes itself.
class TkqBDEDataSet {
public:
    explicit TkqBDEDataSet(TDataSet* self);
    virtual ~TkqBDEDataSet();
    TkqBDEDataSet(const TkqBDEDataSet&) = delete;
    TkqBDEDataSet& operator=(const TkqBDEDataSet&) = delete;

    TkqLookupTableList& LookupTablesList() { return FLookupTables; }
    void FreeLookupTables();

    // A parameter (always the same object) holding the value of the field in the record being
    // filtered (the current record outside a filter). Raises "Field '%s' not found".
    TParam* FieldAsParam(const QString& fieldName);

    TkqOnFilterOptions FilterOptions() const { return FOnFilterOptions; }
    bool InFilterEvent() const { return FInFilterEvent; }
    bool FilterShowedHourGlass() const { return FHourGlassShown; }

protected:
    // The class's OnFilter handler, called with its own type.
    virtual bool HasFilterHandler() const = 0;
    virtual void CallFilterHandler(bool& accept) = 0;

    // The record filter installed on the dataset's cursor: one call per record.
    bool RecordFilter();
    TRecordFilterCallback FilterCallback() { return [this](TDataSet*) { return RecordFilter(); }; }
    // Installs (or with no handler removes) the callback; false when the cursor refuses it.
    bool InstallOnFilterCallback();
    // The arrow cursor again once a filter pass that showed the hourglass is over.
    void RestoreCursorAfterFilter();
    // Switching ofoEnabled off on an open filtered dataset shows the records it hid.
    void StoreFilterOptions(TkqOnFilterOptions options);
    void ValidateMasks(const TkqInvalidValueEvent& onInvalidValue);
    static void MessageDlgWarning(const QString& text);
    // What the query and the stored procedure say when their cursor refuses a record filter.
    static QString LiveQueryFilterRefused();
    // Purges list lines of missing fields and fills the lookup fields of the record.
    void CalculateLookupFields(QStringList& lookupFields, QStringList& lookupLinks, QStringList& controlType);

    TDataSet::TDataSetNotifyEvent FOnFilterEscape;
    TkqOnFilterOptions FOnFilterOptions{ofoEnabled, ofoShowHourGlass};
    TFilterHandle FCallbackHandle = 0;
    bool FDestroying = false;

private:
    TDataSet* FSelf;
    TkqLookupTableList FLookupTables;
    bool FInFilterEvent = false;
    bool FHourGlassShown = false;
    bool FHourGlassPushed = false;
    int FFilterCalls = 0;
    QByteArray FFieldBuffer;
    TParam FParam;
};

// The four classes over their platform bases: the lists and settings they publish, and their
// steps around the base's events.
template <typename TBase>
class TkqBDEDataSetOf : public TBase, public TkqBDEDataSet {
public:
    explicit TkqBDEDataSetOf(QObject* owner) : TBase(owner), TkqBDEDataSet(this) {}

    QStringList ControlType() const { return FControlType; }
    void SetControlType(const QStringList& lines) { FControlType = lines; }
    QStringList LookupFields() const { return FLookupFields; }
    void SetLookupFields(const QStringList& lines) { FLookupFields = lines; }
    QStringList LookupLinks() const { return FLookupLinks; }
    void SetLookupLinks(const QStringList& lines) { FLookupLinks = lines; }
    QStringList PictureMasks() const { return FPictureMasks; }
    void SetPictureMasks(const QStringList& lines) { FPictureMasks = lines; }
    // Masks are checked before each post (on when created).
    bool ValidateWithMask() const { return FValidateWithMask; }
    void SetValidateWithMask(bool on) { FValidateWithMask = on; }
    TkqInvalidValueEvent OnInvalidValue() const { return FOnInvalidValue; }
    void SetOnInvalidValue(const TkqInvalidValueEvent& handler) { FOnInvalidValue = handler; }
    TDataSet::TDataSetNotifyEvent OnFilterEscape() const { return FOnFilterEscape; }
    void SetOnFilterEscape(const TDataSet::TDataSetNotifyEvent& handler) { FOnFilterEscape = handler; }
    TkqOnFilterOptions OnFilterOptions() const { return FOnFilterOptions; }
    void SetOnFilterOptions(TkqOnFilterOptions options) { StoreFilterOptions(options); }

    // Record numbers mean nothing while a record filter is assigned.
    bool IsSequenced() const override { return !HasFilterHandler() && TBase::IsSequenced(); }

protected:
    void DataEvent(TDataEvent event, qintptr info = 0) override
    {
        TBase::DataEvent(event, info);
        RestoreCursorAfterFilter();
    }
    void DoAfterOpen() override
    {
        TBase::DoAfterOpen();
        if (HasFilterHandler()) InstallOnFilterCallback();
    }
    void DoBeforePost() override
    {
        TBase::DoBeforePost();
        if (FValidateWithMask) ValidateMasks(FOnInvalidValue);
    }
    void DoOnCalcFields() override
    {
        CalculateLookupFields(FLookupFields, FLookupLinks, FControlType);
        TBase::DoOnCalcFields();
    }
    // After a new OnFilter handler: installed at once on an open dataset, removed for none; a
    // cursor that refuses it gets the warning box with that text.
    void HandlerChanged(const QString& refused)
    {
        if (!InstallOnFilterCallback() && HasFilterHandler() && this->Active()) MessageDlgWarning(refused);
    }

    QStringList FControlType, FLookupFields, FLookupLinks, FPictureMasks;
    bool FValidateWithMask = true;
    TkqInvalidValueEvent FOnInvalidValue;
};

// The lookup-table list of one of the four datasets; none for any other dataset.
TkqLookupTableList* GetLookupTablesList(TDataSet* dataSet);

// Reads at most the buffer's size less one and maxLength bytes of the field's blob in the
// current record into buffer, zero-terminated; answers the bytes read.
int ReadBlobIntoBuffer(TDataSet* dataSet, QByteArray& buffer, int maxLength, TField* field);
// Stores the field's value in buffer in the engine's layout (text zero-terminated, 2-byte small
// integers and booleans, 4-byte integers, dates and times, 8-byte floats and time stamps, 34-byte
// BCD) and gives the parameter the field's type and value; without a field, an empty text.
void FieldToParamBuffer(const TField* field, TParam* param, QByteArray& buffer);
