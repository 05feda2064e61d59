#include "gridlib/core/Kqquery.h"

TkqQuery::TkqQuery(QObject* owner) : TkqBDEDataSetOf<TQuery>(owner) {}

TkqQuery::~TkqQuery()
{
    FDestroying = true;
    CloseOnDestroy();
}

void TkqQuery::SetOnFilter(const TkqQueryFilterEvent& handler)
{
    FOnFilter = handler;
    HandlerChanged(LiveQueryFilterRefused());
}
