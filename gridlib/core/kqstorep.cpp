#include "gridlib/core/kqstorep.h"

TkqStoredProc::TkqStoredProc(QObject* owner) : TkqBDEDataSetOf<TStoredProc>(owner) {}

TkqStoredProc::~TkqStoredProc()
{
    FDestroying = true;
    CloseOnDestroy();
}

void TkqStoredProc::SetOnFilter(const TkqStoredProcFilterEvent& handler)
{
    FOnFilter = handler;
    HandlerChanged(LiveQueryFilterRefused());
}
