#include "gridlib/core/kqclient.h"

#include "gridlib/core/kqdbservices.h"

TkqClientDataSet::TkqClientDataSet(QObject* owner) : TClientDataSet(owner) {}

TkqClientDataSet::~TkqClientDataSet() = default;

void TkqClientDataSet::SetOnFilter(const TFilterRecordEvent& handler)
{
    FOnFilter = handler;
    OnFilterRecord = handler;
}

QStringList TkqClientDataSet::FieldInfo() const
{
    return IsInDesigner(this) ? QStringList() : FFieldInfo;
}

bool TkqClientDataSet::IsSequenced() const
{
    return !FOnFilter && TClientDataSet::IsSequenced();
}

void TkqClientDataSet::DoBeforePost()
{
    TClientDataSet::DoBeforePost();
    // Files without masks (most of them, and every bulk copy) pay nothing per post.
    if (FValidateWithMask && !FPictureMasks.isEmpty()) ValidateRecordPictureMasks(this, FOnInvalidValue);
}
