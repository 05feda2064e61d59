#include "platform/data/DB.h"

// ---------------------------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(QObject* owner) : QObject(owner) {}

TDataSource::~TDataSource()
{
    if (FDataSet) FDataSet->RemoveDataSource(this);
    FDataSet = nullptr;
    const QList<TDataLink*> links = FLinks;
    FLinks.clear();
    for (TDataLink* link : links) {
        link->FDataSource = nullptr;
        link->FActive = false;
        link->FEditing = false;
    }
}

void TDataSource::SetDataSet(TDataSet* dataSet)
{
    if (dataSet == FDataSet) return;
    // Rebinding deactivates the links on the old dataset and activates them on the new one.
    if (FDataSet) {
        FDataSet->RemoveDataSource(this);
        FDataSet = nullptr;
        UpdateState();
    }
    FDataSet = dataSet;
    if (FDataSet) {
        FDataSet->AddDataSource(this);
        UpdateState();
    }
}

void TDataSource::SetEnabled(bool enabled)
{
    if (enabled == FEnabled) return;
    FEnabled = enabled;
    UpdateState();
}

void TDataSource::Edit()
{
    if (FAutoEdit && FState == dsBrowse && FDataSet) FDataSet->Edit();
}

bool TDataSource::IsLinkedTo(const TDataSet* dataSet) const
{
    for (const TDataSet* ds = FDataSet; ds; ds = ds->ParentDataSet())
        if (ds == dataSet) return true;
    return false;
}

void TDataSource::UpdateState()
{
    const TDataSetState state = FEnabled && FDataSet ? FDataSet->State() : dsInactive;
    if (state == FState) {
        // Read-only changes reach the links' editing state without a state change.
        if (state != dsInactive) NotifyLinks(deUpdateState, 0);
        return;
    }
    const TDataSetState prior = FState;
    FState = state;
    NotifyLinks(deUpdateState, 0);
    if (OnStateChange) OnStateChange(this);
    if (prior == dsInactive && OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::NotifyLinks(TDataEvent event, qintptr info)
{
    const QList<TDataLink*> links = FLinks;
    for (TDataLink* link : links)
        if (FLinks.contains(link)) link->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, qintptr info)
{
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (FState == dsInactive) return;
    NotifyLinks(event, info);
    switch (event) {
    case deFieldChange: case deRecordChange:
        if (OnDataChange) OnDataChange(this, reinterpret_cast<TField*>(info));
        break;
    case deDataSetChange: case deDataSetScroll: case deLayoutChange:
        if (OnDataChange) OnDataChange(this, nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData) OnUpdateData(this);
        break;
    default:
        break;
    }
}

void TDataSource::AddLink(TDataLink* link)
{
    FLinks.append(link);
    link->FDataSource = this;
    link->UpdateState();
}

void TDataSource::RemoveLink(TDataLink* link)
{
    link->FDataSource = nullptr;
    FLinks.removeOne(link);
    link->UpdateState();
}

// ---------------------------------------------------------------------------------------------
// TDataLink

TDataLink::TDataLink() = default;

TDataLink::~TDataLink()
{
    if (FDataSource) FDataSource->FLinks.removeOne(this);
    FDataSource = nullptr;
}

void TDataLink::SetDataSource(TDataSource* source)
{
    if (source == FDataSource) return;
    if (FDataSource) FDataSource->RemoveLink(this);
    if (source) source->AddLink(this);
}

TDataSet* TDataLink::DataSet() const { return FDataSource ? FDataSource->DataSet() : nullptr; }

void TDataLink::SetReadOnly(bool readOnly)
{
    if (readOnly == FReadOnly) return;
    FReadOnly = readOnly;
    UpdateState();
}

void TDataLink::UpdateState()
{
    const bool active = FDataSource && FDataSource->State() != dsInactive;
    SetActive(active);
    const TDataSetState state = FDataSource ? FDataSource->State() : dsInactive;
    SetEditing(active && (state == dsEdit || state == dsInsert || state == dsSetKey) && !FReadOnly);
}

void TDataLink::SetActive(bool active)
{
    if (active == FActive) return;
    FActive = active;
    if (active) {
        TDataSet* ds = DataSet();
        FFirstRecord = qMax(ds->FCurPos, 0);
        FActiveOffset = 0;
        ds->UpdateLinkWindow(this, TDataSet::wmMinimal);
    } else {
        FFirstRecord = 0;
        FActiveOffset = 0;
    }
    ActiveChanged();
}

void TDataLink::SetEditing(bool editing)
{
    if (editing == FEditing) return;
    FEditing = editing;
    EditingChanged();
}

bool TDataLink::Edit()
{
    if (!FReadOnly && FDataSource) FDataSource->Edit();
    return FEditing;
}

void TDataLink::UpdateRecord()
{
    FUpdating = true;
    try {
        UpdateData();
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
}

bool TDataLink::Bof() const
{
    TDataSet* ds = DataSet();
    return !ds || ds->Bof();
}

bool TDataLink::Eof() const
{
    TDataSet* ds = DataSet();
    return !ds || ds->Eof();
}

int TDataLink::MoveBy(int distance)
{
    TDataSet* ds = DataSet();
    return ds ? ds->MoveBy(distance) : 0;
}

void TDataLink::SetBufferCount(int count)
{
    count = qMax(1, count);
    if (count == FBufferCount) return;
    FBufferCount = count;
    if (FActive) DataSet()->UpdateLinkWindow(this, TDataSet::wmMinimal);
}

int TDataLink::RecordCount() const
{
    if (!FActive) return 0;
    const int count = DataSet()->FrameworkCount() - FFirstRecord;
    return qBound(0, count, FBufferCount);
}

int TDataLink::ActiveRecord() const
{
    if (!FActive) return 0;
    const int pos = DataSet()->FReadPos;
    return pos < 0 ? 0 : pos - FFirstRecord;
}

void TDataLink::SetActiveRecord(int row)
{
    if (!FActive) return;
    TDataSet* ds = DataSet();
    if (ds->State() == dsSetKey) return;
    ds->FReadPos = FFirstRecord + row;
}

void TDataLink::DataEvent(TDataEvent event, qintptr info)
{
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!FActive) return;
    TDataSet* ds = DataSet();
    switch (event) {
    case deFieldChange: case deRecordChange:
        if (!FUpdating) RecordChanged(reinterpret_cast<TField*>(info));
        break;
    case deDataSetChange:
        ds->UpdateLinkWindow(this, ds->FChangeMode);
        DataSetChanged();
        break;
    case deDataSetScroll: {
        const int old = FFirstRecord;
        ds->UpdateLinkWindow(this, TDataSet::wmMinimal);
        DataSetScrolled(FFirstRecord - old);
        break;
    }
    case deLayoutChange:
        ds->UpdateLinkWindow(this, TDataSet::wmKeepOffset);
        LayoutChanged();
        break;
    case deUpdateRecord:
        UpdateRecord();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(*reinterpret_cast<TField**>(info));
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// TFieldDataLink

void TFieldDataLink::SetFieldName(const QString& name)
{
    if (name == FFieldName) return;
    FFieldName = name;
    UpdateField();
}

void TFieldDataLink::UpdateField()
{
    TDataSet* ds = DataSet();
    SetField(Active() && ds && !FFieldName.isEmpty() ? ds->FindField(FFieldName) : nullptr);
}

void TFieldDataLink::SetField(TField* field)
{
    if (field == FField) return;
    FField = field;
    EditingChanged();
    RecordChanged(nullptr);
}

bool TFieldDataLink::CanModify() const { return !ReadOnly() && FField && FField->CanModify(); }

bool TFieldDataLink::Edit()
{
    if (CanModify()) TDataLink::Edit();
    return FFieldEditing;
}

void TFieldDataLink::SetFieldEditing(bool editing)
{
    if (editing == FFieldEditing) return;
    FFieldEditing = editing;
    FModified = false;
    if (OnEditingChange) OnEditingChange(this);
}

void TFieldDataLink::ActiveChanged()
{
    UpdateField();
    if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() { SetFieldEditing(TDataLink::Editing() && CanModify()); }

void TFieldDataLink::FocusControl(TField*& field)
{
    if (!field || field != FField) return;
    if (FocusControlObject(FControl)) field = nullptr;
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::RecordChanged(TField* field)
{
    if (field && field != FField) return;
    if (OnDataChange) OnDataChange(this);
    FModified = false;
}

void TFieldDataLink::UpdateData()
{
    if (!FModified) return;
    if (FField && OnUpdateData) OnUpdateData(this);
    FModified = false;
}
