#pragma once
// The library's stored procedure: the per-field lists, lookup fields, picture masks and record
// filter of its datasets over the database engine. Running the procedure raises "not supported".

#include "gridlib/core/kqbde.h"

#include <functional>

class TkqStoredProc;
using TkqStoredProcFilterEvent = std::function<void(TkqStoredProc* storedProc, bool& accept)>;
Q_DECLARE_METATYPE(TkqStoredProcFilterEvent)

class TkqStoredProc : public TkqBDEDataSetOf<TStoredProc> {
    Q_OBJECT
    Q_PROPERTY(QStringList ControlType READ ControlType WRITE SetControlType)
    Q_PROPERTY(QStringList LookupFields READ LookupFields WRITE SetLookupFields)
    Q_PROPERTY(QStringList LookupLinks READ LookupLinks WRITE SetLookupLinks)
    Q_PROPERTY(QStringList PictureMasks READ PictureMasks WRITE SetPictureMasks)
    Q_PROPERTY(bool ValidateWithMask READ ValidateWithMask WRITE SetValidateWithMask)
    Q_PROPERTY(TkqStoredProcFilterEvent OnFilter READ OnFilter WRITE SetOnFilter)
    Q_PROPERTY(TDataSet::TDataSetNotifyEvent OnFilterEscape READ OnFilterEscape WRITE SetOnFilterEscape)
    Q_PROPERTY(TkqOnFilterOptions OnFilterOptions READ OnFilterOptions WRITE SetOnFilterOptions)
    Q_PROPERTY(TkqInvalidValueEvent OnInvalidValue READ OnInvalidValue WRITE SetOnInvalidValue)

public:
    explicit TkqStoredProc(QObject* owner = nullptr);
    ~TkqStoredProc() override;

    TkqStoredProcFilterEvent OnFilter() const { return FOnFilter; }
    void SetOnFilter(const TkqStoredProcFilterEvent& handler);

protected:
    bool HasFilterHandler() const override { return bool(FOnFilter); }
    void CallFilterHandler(bool& accept) override { FOnFilter(this, accept); }

private:
    TkqStoredProcFilterEvent FOnFilter;
};
