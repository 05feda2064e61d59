#pragma once
// The library's query: the per-field lists, lookup fields, picture masks and record filter of its
// datasets over the database engine. Its SQL text is kept; running it raises "not supported".

#include "gridlib/core/kqbde.h"

#include <functional>

class TkqQuery;
using TkqQueryFilterEvent = std::function<void(TkqQuery* query, bool& accept)>;
Q_DECLARE_METATYPE(TkqQueryFilterEvent)

class TkqQuery : public TkqBDEDataSetOf<TQuery> {
    Q_OBJECT
    Q_PROPERTY(QStringList ControlType READ ControlType WRITE SetControlType)
    Q_PROPERTY(QStringList LookupFields READ LookupFields WRITE SetLookupFields)
    Q_PROPERTY(QStringList LookupLinks READ LookupLinks WRITE SetLookupLinks)
    Q_PROPERTY(QStringList PictureMasks READ PictureMasks WRITE SetPictureMasks)
    Q_PROPERTY(bool ValidateWithMask READ ValidateWithMask WRITE SetValidateWithMask)
    Q_PROPERTY(TkqQueryFilterEvent OnFilter READ OnFilter WRITE SetOnFilter)
    Q_PROPERTY(TDataSet::TDataSetNotifyEvent OnFilterEscape READ OnFilterEscape WRITE SetOnFilterEscape)
    Q_PROPERTY(TkqOnFilterOptions OnFilterOptions READ OnFilterOptions WRITE SetOnFilterOptions)
    Q_PROPERTY(TkqInvalidValueEvent OnInvalidValue READ OnInvalidValue WRITE SetOnInvalidValue)

public:
    explicit TkqQuery(QObject* owner = nullptr);
    ~TkqQuery() override;

    TkqQueryFilterEvent OnFilter() const { return FOnFilter; }
    void SetOnFilter(const TkqQueryFilterEvent& handler);

protected:
    bool HasFilterHandler() const override { return bool(FOnFilter); }
    void CallFilterHandler(bool& accept) override { FOnFilter(this, accept); }

private:
    TkqQueryFilterEvent FOnFilter;
};
