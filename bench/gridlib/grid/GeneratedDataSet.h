#pragma once
// The grid benchmarks' dataset: Id, Name, Amount, Due and Paid of any number of records.

#include "platform/data/DB.h"

// Records computed from their number: the store costs nothing, so the figures are the grid's.
class TGeneratedDataSet : public TDataSet {
public:
    explicit TGeneratedDataSet(int records) : FCount(records)
    {
        FieldDefs().Add(QStringLiteral("Id"), ftInteger);
        FieldDefs().Add(QStringLiteral("Name"), ftWideString, 30);
        FieldDefs().Add(QStringLiteral("Amount"), ftFloat);
        FieldDefs().Add(QStringLiteral("Due"), ftDate);
        FieldDefs().Add(QStringLiteral("Paid"), ftBoolean);
    }
    ~TGeneratedDataSet() override { CloseOnDestroy(); }

protected:
    void InternalOpen() override {}
    void InternalClose() override {}
    int ViewCount() const override { return FCount; }
    TRecordId ViewRecord(int position) const override { return position; }
    int ViewPosition(TRecordId id) const override { return id >= 0 && id < FCount ? int(id) : -1; }
    bool GetRecordValue(TRecordId id, const TField* field, TVariant& value) const override
    {
        switch (field->FieldNo()) {
        case 1: value = TVariant(int(id) + 1); break;
        case 2: value = TVariant(QStringLiteral("Customer %1").arg(id + 1)); break;
        case 3: value = TVariant(double(id) * 1.25); break;
        case 4: value = TVariant::FromDate(40000 + double(id % 3000)); break;
        default: value = TVariant(id % 2 == 0); break;
        }
        return true;
    }
    TRecordId InternalPost(const TEditBuffer& buffer) override { return buffer.RecordId(); }
    void InternalDelete(TRecordId) override {}

private:
    int FCount;
};
