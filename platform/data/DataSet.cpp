#include "platform/data/DB.h"

#include <QBuffer>
#include <algorithm>

namespace {

const QString SNotEditing = QStringLiteral("Dataset not in edit or insert mode");

// Writes its bytes into the field when closed (or destroyed).
class TBlobWriteStream : public QBuffer {
public:
    TBlobWriteStream(TField* field, const QByteArray& initial) : FField(field)
    {
        FData = initial;
        setBuffer(&FData);
        open(QIODevice::ReadWrite);
    }
    ~TBlobWriteStream() override
    {
        try {
            Flush();
        } catch (...) {
            // A destructor must not throw; call close() to see the error.
        }
    }
    void close() override
    {
        Flush();
        QBuffer::close();
    }

private:
    void Flush()
    {
        if (FDone || !FField) return;
        FDone = true;
        FField->SetAsBytes(FData);
    }
    QPointer<TField> FField;
    QByteArray FData;
    bool FDone = false;
};

bool IsTextField(TFieldType t)
{
    switch (t) {
    case ftString: case ftFixedChar: case ftWideString: case ftGuid: case ftMemo: case ftFmtMemo: case ftOraClob:
        return true;
    default:
        return false;
    }
}

bool CompatibleTypes(TFieldType fieldType, TFieldType defType)
{
    if (fieldType == defType) return true;
    auto family = [](TFieldType t) {
        switch (t) {
        case ftString: case ftFixedChar: case ftGuid: return 1;
        case ftInteger: case ftAutoInc: return 2;
        case ftDateTime: case ftTimeStamp: return 3;
        case ftBCD: case ftFMTBcd: return 4;
        default: return IsBlobFieldType(t) ? 5 : 100 + int(t);
        }
    };
    return family(fieldType) == family(defType);
}

} // namespace

struct TDataSet::TLocateKey {
    enum TKind { kNull, kText, kValue, kNever };
    const TField* Field = nullptr;
    TKind Kind = kNever;
    QString Text;
    TVariant Value;
};

// ---------------------------------------------------------------------------------------------
// Life

TDataSet::TDataSet(QObject* owner)
    : QObject(owner), FFields(this), FFieldDefs(std::make_unique<TFieldDefs>(this)),
      FIndexDefs(std::make_unique<TIndexDefs>(this))
{
}

TDataSet::~TDataSet()
{
    // A dataset class closes in its own destructor (CloseOnDestroy); what is left is torn down
    // here without events.
    FState = dsInactive;
    DetachDataSetField();
    for (TDataSet* nested : FNestedDataSets) nested->FDataSetField = nullptr;
    FNestedDataSets.clear();
    const QList<TDataSource*> sources = FDataSources;
    FDataSources.clear();
    for (TDataSource* source : sources) {
        source->FDataSet = nullptr;
        source->UpdateState();
    }
    DestroyFields();
    FFields.FList.clear();
}

void TDataSet::CheckActive() const
{
    if (FState == dsInactive) DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"), this);
}

void TDataSet::CheckInactive() const
{
    if (FState != dsInactive) DatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"), this);
}

void TDataSet::CheckCanModify() const
{
    if (!CanModify()) DatabaseError(QStringLiteral("Cannot modify a read-only dataset"), this);
}

void TDataSet::SetReadOnly(bool readOnly)
{
    if (readOnly == FReadOnly) return;
    if (readOnly && Active()) CheckBrowseMode();
    FReadOnly = readOnly;
    if (Active()) {
        DataEvent(deUpdateState);
        // Controls that offer editing (navigators, grids) look again at what they may do.
        DataEvent(deDataSetChange);
    }
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

void TDataSet::SetActive(bool active)
{
    if (active == Active()) return;
    if (active) {
        DoBeforeOpen();
        OpenCursor();
        FState = dsInactive;
        SetState(dsBrowse);
        DoAfterOpen();
        if (!IsEmpty()) DoAfterScroll();
    } else {
        DoBeforeClose();
        DiscardEdit();
        SetState(dsInactive);
        CloseCursor();
        DoAfterClose();
    }
}

void TDataSet::OpenCursor()
{
    FState = dsOpening;
    bool created = false;
    try {
        InternalInitFieldDefs();
        if (FFields.Count() == 0) {
            CreateFields();
            created = true;
        }
        FDefaultFields = created;
        BindFields(true);
        InternalOpen();
    } catch (...) {
        BindFields(false);
        if (created) DestroyFields();
        FDefaultFields = false;
        FState = dsInactive;
        throw;
    }
    FInsertPos = -1;
    FEditBuffer.Release();
    FModified = false;
    const int n = ViewCount();
    FCurPos = n > 0 ? 0 : -1;
    FCurId = n > 0 ? ViewRecord(0) : NoRecord;
    FReadPos = FCurPos;
    FBof = true;
    FEof = n == 0;
    InvalidateCalcFields();
}

void TDataSet::CloseCursor()
{
    // Closing goes on: the fields and the cursor are released whatever the store says.
    auto release = [this] {
        BindFields(false);
        if (FDefaultFields) DestroyFields();
        FDefaultFields = false;
        FCurPos = FReadPos = FInsertPos = -1;
        FCurId = NoRecord;
    };
    try {
        InternalClose();
    } catch (...) {
        release();
        throw;
    }
    release();
    FBof = FEof = true;
    FEditBuffer.Release();
    FModified = false;
}

void TDataSet::CloseOnDestroy()
{
    if (FState == dsInactive) return;
    if (FState == dsEdit || FState == dsInsert) {
        try {
            InternalCancel();
        } catch (...) {
        }
    }
    FInsertPos = -1;
    FEditBuffer.Release();
    FState = dsInactive;
    try {
        DataEvent(deUpdateState);
        CloseCursor();
    } catch (...) {
        // Destruction goes on.
    }
}

void TDataSet::CreateFields()
{
    for (int i = 0; i < FFieldDefs->Count(); ++i) {
        const TFieldDef* def = FFieldDefs->Items(i);
        if (def->DataType() == ftUnknown || def->Attributes().testFlag(faHiddenCol)) continue;
        if (FFields.FindField(def->Name())) continue;
        TField* f = def->CreateField(this, nullptr);
        if (f) AddField(f);
    }
}

void TDataSet::DestroyFields()
{
    const std::vector<TField*> fields = FFields.FList;
    for (TField* f : fields) {
        if (f->parent() == this) delete f;
        else RemoveField(f);
    }
}

void TDataSet::BindFields(bool binding)
{
    FSlotCount = 0;
    for (TField* f : FFields.FList) {
        if (!binding) {
            f->FSlot = -1;
            f->FFieldNo = 0;
            continue;
        }
        f->FSlot = FSlotCount++;
        if (f->FFieldKind == fkData || f->FFieldKind == fkInternalCalc) {
            const int i = FFieldDefs->IndexOf(f->FFieldName);
            if (i < 0) DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {f->DisplayName()}, this);
            const TFieldDef* def = FFieldDefs->Items(i);
            if (!CompatibleTypes(f->DataType(), def->DataType()))
                DatabaseErrorFmt(QStringLiteral("Type mismatch for field '%s', expecting: %s actual: %s"),
                                 {f->DisplayName(), FieldTypeText(f->DataType()), FieldTypeText(def->DataType())}, this);
            f->FFieldNo = def->FieldNo();
        } else {
            f->FFieldNo = -1;
        }
    }
    if (binding) FCalcValues.assign(size_t(FSlotCount), TVariant::Null());
    else FCalcValues.clear();
    FCalcVersion = ~quint64(0);
}

void TDataSet::AddField(TField* field)
{
    FFields.FList.push_back(field);
    field->FDataSet = this;
}

void TDataSet::RemoveField(TField* field)
{
    auto& list = FFields.FList;
    list.erase(std::remove(list.begin(), list.end(), field), list.end());
    field->FDataSet = nullptr;
    if (auto* nested = qobject_cast<TDataSetField*>(field); nested && nested->FNestedDataSet)
        FNestedDataSets.removeOne(nested->FNestedDataSet.data());
}

void TDataSet::MoveField(TField* field, int index)
{
    auto& list = FFields.FList;
    const int from = FFields.IndexOf(field);
    if (from < 0) return;
    index = qBound(0, index, int(list.size()) - 1);
    if (index == from) return;
    list.erase(list.begin() + from);
    list.insert(list.begin() + index, field);
    if (Active()) DataEvent(deLayoutChange);
}

void TDataSet::AddDataSource(TDataSource* source)
{
    if (!FDataSources.contains(source)) FDataSources.append(source);
}

void TDataSet::RemoveDataSource(TDataSource* source) { FDataSources.removeOne(source); }

TField* TDataSet::FieldByName(const QString& name) const { return FFields.FieldByName(name); }

void TDataSet::GetFieldNames(QStringList& list) const
{
    list.clear();
    if (FFields.Count() > 0) {
        for (TField* f : FFields) list << f->FieldName();
    } else {
        for (int i = 0; i < FFieldDefs->Count(); ++i) list << FFieldDefs->Items(i)->Name();
    }
}

void TDataSet::GetFieldList(QList<TField*>& list, const QString& fieldNames) const
{
    list.clear();
    for (const QString& part : fieldNames.split(';')) {
        const QString name = part.trimmed();
        if (!name.isEmpty()) list << FieldByName(name);
    }
}

TVariant TDataSet::FieldValues(const QString& fieldNames) const
{
    QList<TField*> fields;
    GetFieldList(fields, fieldNames);
    if (fields.size() == 1) return fields[0]->AsVariant();
    std::vector<TVariant> values;
    values.reserve(size_t(fields.size()));
    for (TField* f : fields) values.push_back(f->AsVariant());
    return TVariant::ArrayOf(std::move(values));
}

void TDataSet::SetFieldValues(const QString& fieldNames, const TVariant& values)
{
    QList<TField*> fields;
    GetFieldList(fields, fieldNames);
    if (fields.size() == 1) {
        fields[0]->SetAsVariant(values.IsArray() && values.ArrayCount() == 1 ? values[0] : values);
        return;
    }
    for (int i = 0; i < fields.size(); ++i) fields[i]->SetAsVariant(values[i]);
}

// ---------------------------------------------------------------------------------------------
// State and events

void TDataSet::SetState(TDataSetState state)
{
    if (FState == state) return;
    FState = state;
    FModified = false;
    DataEvent(deUpdateState);
}

void TDataSet::BeginKeyEdit()
{
    CheckBrowseMode();
    FEditBuffer.Reset(FSlotCount, false, false, NoRecord, -1);
    SetState(dsSetKey);
}

void TDataSet::SetTempState(TDataSetState state, TDataSetState& saved)
{
    saved = FState;
    FState = state;
}

void TDataSet::DataEvent(TDataEvent event, qintptr info)
{
    bool notifyNested = false;
    switch (event) {
    case deFieldChange: {
        const TField* f = reinterpret_cast<const TField*>(info);
        if (f && (f->FFieldKind == fkData || f->FFieldKind == fkInternalCalc)) FModified = true;
        InvalidateCalcFields();
        break;
    }
    case deDataSetChange: case deDataSetScroll:
        notifyNested = true;
        break;
    default:
        break;
    }
    if (FDisableCount == 0) {
        const QList<TDataSource*> sources = FDataSources;
        for (TDataSource* source : sources)
            if (FDataSources.contains(source)) source->DataEvent(event, info);
    } else if ((event == deUpdateState && FState == dsInactive) || event == deLayoutChange) {
        FEnableEvent = deLayoutChange;
    }
    // Nested datasets follow their parent's record even while its controls are disabled.
    if (notifyNested) {
        const QList<TDataSet*> nested = FNestedDataSets;
        for (TDataSet* ds : nested)
            if (FNestedDataSets.contains(ds) && ds->Active()) ds->DataEvent(deParentScroll, 0);
    }
}

void TDataSet::DisableControls()
{
    if (FDisableCount == 0) {
        FDisableState = FState;
        FEnableEvent = deDataSetChange;
    }
    ++FDisableCount;
}

void TDataSet::EnableControls()
{
    if (FDisableCount == 0) return;
    if (--FDisableCount > 0) return;
    if (FDisableState != FState) DataEvent(deUpdateState);
    if (FDisableState != dsInactive && FState != dsInactive) {
        FChangeMode = wmMinimal;
        DataEvent(FEnableEvent);
        FChangeMode = wmKeepOffset;
    }
}

void TDataSet::NotifyWindow(TDataEvent event, TWindowMode mode)
{
    FChangeMode = mode;
    try {
        DataEvent(event);
    } catch (...) {
        FChangeMode = wmKeepOffset;
        throw;
    }
    FChangeMode = wmKeepOffset;
}

void TDataSet::UpdateLinkWindow(TDataLink* link, TWindowMode mode) const
{
    const int count = FrameworkCount();
    const int bc = link->FBufferCount;
    const int cur = FCurPos;
    int top = 0;
    if (cur >= 0 && count > 0) {
        switch (mode) {
        case wmMinimal: top = link->FFirstRecord; break;
        case wmKeepOffset: top = cur - link->FActiveOffset; break;
        case wmCenter:
            top = cur >= link->FFirstRecord && cur < link->FFirstRecord + bc ? link->FFirstRecord : cur - bc / 2;
            break;
        }
        // The cursor stays inside the window and the window full where records allow.
        const int low = qMax(0, cur - bc + 1);
        const int high = qMin(cur, qMax(0, count - bc));
        top = qBound(low, top, high);
    }
    link->FFirstRecord = top;
    link->FActiveOffset = cur >= 0 ? cur - top : 0;
}

// ---------------------------------------------------------------------------------------------
// Positions

int TDataSet::FrameworkCount() const
{
    if (FState == dsInactive || FState == dsOpening) return 0;
    return ViewCount() + (FInsertPos >= 0 ? 1 : 0);
}

TRecordId TDataSet::RecordAtFramework(int position) const
{
    if (position < 0 || position >= FrameworkCount()) return NoRecord;
    if (FInsertPos >= 0) {
        if (position == FInsertPos) return NoRecord;
        if (position > FInsertPos) --position;
    }
    return ViewRecord(position);
}

int TDataSet::FrameworkFromView(int viewPosition) const
{
    if (viewPosition < 0) return -1;
    return FInsertPos >= 0 && viewPosition >= FInsertPos ? viewPosition + 1 : viewPosition;
}

TDataSet::TReadSource TDataSet::SourceAt(int position) const
{
    TReadSource s;
    if (position < 0 || FState == dsInactive || FState == dsOpening) return s;
    if (FInsertPos >= 0 && position == FInsertPos) {
        s.Buffer = true;
        s.Valid = true;
        return s;
    }
    s.Id = RecordAtFramework(position);
    s.Valid = s.Id != NoRecord;
    if (s.Valid && position == FCurPos && !FEditBuffer.IsInsert() && FEditBuffer.RecordId() == s.Id &&
        FEditBuffer.RecordId() != NoRecord)
        s.Buffer = true;
    return s;
}

TDataSet::TReadSource TDataSet::CurrentSource() const
{
    switch (FState) {
    case dsInactive: case dsOpening: return TReadSource();
    case dsCalcFields: return FCalcSource;
    case dsFilter: {
        TReadSource s;
        s.Id = FFilterId;
        s.Valid = FFilterId != NoRecord;
        return s;
    }
    case dsSetKey: {
        TReadSource s;
        s.Buffer = true;
        s.Valid = true;
        return s;
    }
    default: return SourceAt(FReadPos);
    }
}

void TDataSet::SetCursor(int position)
{
    FCurPos = position;
    FCurId = RecordAtFramework(position);
    FReadPos = position;
}

void TDataSet::ResyncCursor(int fallbackPosition)
{
    const int count = FrameworkCount();
    if (FInsertPos >= 0) {
        // The new row keeps its place; an appended one stays the last.
        FInsertPos = FEditBuffer.IsAppend() ? count - 1 : qBound(0, FInsertPos, count - 1);
        FEditBuffer.FInsertPosition = FInsertPos;
        FCurPos = FReadPos = FInsertPos;
        FCurId = NoRecord;
    } else {
        const int vp = FCurId != NoRecord ? ViewPosition(FCurId) : -1;
        int p = vp >= 0 ? FrameworkFromView(vp) : (count > 0 ? qBound(0, fallbackPosition, count - 1) : -1);
        SetCursor(p);
    }
    if (count == 0) FBof = FEof = true;
    else FBof = FEof = false;
    InvalidateCalcFields();
    if (FState == dsEdit && FEditBuffer.RecordId() != NoRecord && FCurId != FEditBuffer.RecordId()) {
        // The record being edited left the view underneath: its edit cannot go on.
        FEditBuffer.Release();
        SetState(dsBrowse);
    }
}

int TDataSet::CurrentViewPosition() const
{
    if (FCurId == NoRecord || FCurPos < 0) return -1;
    return FInsertPos >= 0 && FCurPos > FInsertPos ? FCurPos - 1 : FCurPos;
}

TRecordId TDataSet::ReadRecord() const { return CurrentSource().Id; }

void TDataSet::Resync(TResyncModes modes)
{
    if (!Active()) return;
    ResyncCursor(FCurPos);
    NotifyWindow(deDataSetChange, modes.testFlag(rmCenter) ? wmCenter : wmKeepOffset);
}

void TDataSet::UpdateCursorPos()
{
    if (!Active()) return;
    const bool bof = FBof, eof = FEof;
    ResyncCursor(FCurPos);
    if (FrameworkCount() > 0) {
        FBof = bof;
        FEof = eof;
    }
}

void TDataSet::Refresh()
{
    CheckBrowseMode();
    DoBeforeRefresh();
    InternalRefresh();
    Resync();
    DoAfterRefresh();
}

// ---------------------------------------------------------------------------------------------
// Navigation

void TDataSet::First()
{
    CheckBrowseMode();
    DoBeforeScroll();
    const int n = FrameworkCount();
    SetCursor(n > 0 ? 0 : -1);
    FBof = true;
    FEof = n == 0;
    NotifyWindow(deDataSetChange, wmMinimal);
    DoAfterScroll();
}

void TDataSet::Last()
{
    CheckBrowseMode();
    DoBeforeScroll();
    const int n = FrameworkCount();
    SetCursor(n - 1);
    FEof = true;
    FBof = n == 0;
    NotifyWindow(deDataSetChange, wmMinimal);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance)
{
    CheckBrowseMode();
    int result = 0;
    DoBeforeScroll();
    if ((distance > 0 && !FEof) || (distance < 0 && !FBof)) {
        FBof = FEof = false;
        const int count = FrameworkCount();
        if (count == 0) {
            FBof = FEof = true;
            SetCursor(-1);
        } else {
            const qint64 target = qint64(FCurPos) + distance;
            int pos;
            if (target >= count) {
                pos = count - 1;
                FEof = true;
            } else if (target < 0) {
                pos = 0;
                FBof = true;
            } else {
                pos = int(target);
            }
            result = pos - FCurPos;
            SetCursor(pos);
        }
        NotifyWindow(deDataSetScroll, wmMinimal);
        DoAfterScroll();
    }
    return result;
}

int TDataSet::RecNo() const
{
    if (!Active() || FReadPos < 0 || FReadPos >= FrameworkCount()) return -1;
    return FReadPos + 1;
}

void TDataSet::SetRecNo(int recNo)
{
    CheckBrowseMode();
    const int count = FrameworkCount();
    if (recNo < 1 || recNo > count || recNo - 1 == FCurPos) return;
    MoveBy(recNo - 1 - FCurPos);
}

int TDataSet::RecordCount() const { return Active() ? FrameworkCount() : 0; }

// ---------------------------------------------------------------------------------------------
// Editing

void TDataSet::CheckParentState()
{
    TDataSet* parent = ParentDataSet();
    if (parent && parent->State() != dsEdit && parent->State() != dsInsert) parent->Edit();
}

void TDataSet::CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& onError)
{
    for (;;) {
        try {
            operation();
            return;
        } catch (EDatabaseError& e) {
            if (!onError) throw;
            TDataAction action = daFail;
            onError(this, e, action);
            if (action == daFail) throw;
            if (action == daAbort) Abort();
        }
    }
}

void TDataSet::Edit()
{
    if (FState == dsEdit || FState == dsInsert) return;
    CheckActive();
    if (FrameworkCount() == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeEdit();
    CheckParentState();
    const TRecordId id = FCurId;
    CheckOperation([&] { InternalEdit(id); }, OnEditError);
    FEditBuffer.Reset(FSlotCount, false, false, id, -1);
    FReadPos = FCurPos;
    InvalidateCalcFields();
    SetState(dsEdit);
    DataEvent(deRecordChange);
    DoAfterEdit();
}

void TDataSet::Insert() { BeginInsertAppend(false); }
void TDataSet::Append() { BeginInsertAppend(true); }

void TDataSet::BeginInsertAppend(bool append)
{
    CheckActive();
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
    CheckParentState();
    InternalInsert(append);
    const int viewCount = ViewCount();
    const int pos = append ? viewCount : qBound(0, FCurPos, viewCount);
    FEditBuffer.Reset(FSlotCount, true, append, NoRecord, pos);
    try {
        InternalInitRecord(FEditBuffer);
    } catch (...) {
        FEditBuffer.Release();
        try {
            InternalCancel();
        } catch (...) {
        }
        throw;
    }
    FInsertPos = pos;
    SetCursor(pos);
    FBof = false;
    FEof = append;
    InvalidateCalcFields();
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        FInsertPos = -1;
        FEditBuffer.Release();
        FCurId = NoRecord;
        ResyncCursor(pos);
        SetState(dsBrowse);
        NotifyWindow(deDataSetChange, wmKeepOffset);
        throw;
    }
    FModified = false;
    NotifyWindow(deDataSetChange, wmKeepOffset);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::CheckRequiredFields()
{
    for (TField* f : FFields) {
        if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData && f->IsNull()) {
            f->FocusControl();
            DatabaseErrorFmt(QStringLiteral("Field '%s' must have a value"), {f->DisplayName()});
        }
    }
}

void TDataSet::UpdateRecord()
{
    if (FState != dsEdit && FState != dsInsert && FState != dsSetKey) DatabaseError(SNotEditing, this);
    DataEvent(deUpdateRecord);
}

void TDataSet::Post()
{
    UpdateRecord();
    if (FState != dsEdit && FState != dsInsert) return;
    DataEvent(deCheckBrowseMode);
    DoBeforePost();
    TRecordId id = NoRecord;
    CheckOperation([&] {
        CheckRequiredFields();
        id = InternalPost(FEditBuffer);
    }, OnPostError);
    const int fallback = FCurPos;
    FInsertPos = -1;
    FEditBuffer.Release();
    FCurId = id;
    ResyncCursor(fallback);
    SetState(dsBrowse);
    NotifyWindow(deDataSetChange, wmKeepOffset);
    DoAfterPost();
}

void TDataSet::Cancel()
{
    if (FState != dsEdit && FState != dsInsert) return;
    DataEvent(deCheckBrowseMode);
    DoBeforeCancel();
    const bool inserting = FState == dsInsert;
    const int fallback = inserting ? FInsertPos : FCurPos;
    InternalCancel();
    FInsertPos = -1;
    FEditBuffer.Release();
    if (inserting) FCurId = NoRecord;
    ResyncCursor(fallback);
    SetState(dsBrowse);
    NotifyWindow(deDataSetChange, wmKeepOffset);
    DoAfterCancel();
}

void TDataSet::DiscardEdit()
{
    if (FState != dsEdit && FState != dsInsert) return;
    try {
        InternalCancel();
    } catch (...) {
    }
    const bool inserting = FState == dsInsert;
    const int fallback = inserting ? FInsertPos : FCurPos;
    FInsertPos = -1;
    FEditBuffer.Release();
    if (inserting) FCurId = NoRecord;
    FState = dsBrowse;
    ResyncCursor(fallback);
}

void TDataSet::Delete()
{
    CheckActive();
    if (FState == dsInsert || FState == dsSetKey) {
        Cancel();
        return;
    }
    if (FrameworkCount() == 0) DatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"), this);
    CheckCanModify();
    DataEvent(deCheckBrowseMode);
    DoBeforeDelete();
    DoBeforeScroll();
    CheckParentState();
    const TRecordId id = FCurId;
    const int pos = FCurPos;
    CheckOperation([&] { InternalDelete(id); }, OnDeleteError);
    FEditBuffer.Release();
    FCurId = NoRecord;
    ResyncCursor(pos);
    SetState(dsBrowse);
    NotifyWindow(deDataSetChange, wmKeepOffset);
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    DataEvent(deCheckBrowseMode);
    switch (FState) {
    case dsEdit: case dsInsert:
        UpdateRecord();
        if (FModified) Post();
        else Cancel();
        break;
    case dsSetKey:
        FEditBuffer.Release();
        SetState(dsBrowse);
        break;
    default:
        break;
    }
}

void TDataSet::ClearFields()
{
    if (FState != dsEdit && FState != dsInsert && FState != dsSetKey) DatabaseError(SNotEditing, this);
    DataEvent(deCheckBrowseMode);
    for (TField* f : FFields)
        if (f->FFieldKind == fkData || f->FFieldKind == fkInternalCalc) FEditBuffer.SetValue(f, TVariant::Null());
    InvalidateCalcFields();
    DataEvent(deRecordChange);
}

// ---------------------------------------------------------------------------------------------
// Field values

bool TDataSet::IsRecordValueNull(TRecordId id, const TField* field) const
{
    TVariant v;
    return !GetRecordValue(id, field, v);
}

bool TDataSet::GetOldRecordValue(TRecordId id, const TField* field, TVariant& value) const
{
    return GetRecordValue(id, field, value);
}

bool TDataSet::GetFieldData(const TField* field, TVariant& value) const
{
    const TReadSource src = CurrentSource();
    if (!src.Valid) return false;
    if (field->FFieldKind == fkCalculated || field->FFieldKind == fkLookup) return CalculatedValue(field, src, value);
    if (src.Buffer) {
        if (FEditBuffer.IsAssigned(field)) {
            value = FEditBuffer.Value(field);
            return !value.IsNull();
        }
        if (src.Id == NoRecord) return false;
    }
    if (field->FFieldNo <= 0) return false;
    return GetRecordValue(src.Id, field, value);
}

bool TDataSet::FieldIsNull(const TField* field) const
{
    const TReadSource src = CurrentSource();
    if (!src.Valid) return true;
    if (field->FFieldKind == fkCalculated || field->FFieldKind == fkLookup) {
        TVariant v;
        return !CalculatedValue(field, src, v);
    }
    if (src.Buffer) {
        if (FEditBuffer.IsAssigned(field)) return FEditBuffer.Value(field).IsNull();
        if (src.Id == NoRecord) return true;
    }
    if (field->FFieldNo <= 0) return true;
    return IsRecordValueNull(src.Id, field);
}

bool TDataSet::GetFieldOldData(const TField* field, TVariant& value) const
{
    const TReadSource src = CurrentSource();
    if (!src.Valid || src.Id == NoRecord || field->FFieldNo <= 0) return false;
    if (field->FFieldKind != fkData && field->FFieldKind != fkInternalCalc) return false;
    return GetOldRecordValue(src.Id, field, value);
}

bool TDataSet::RecordFieldValue(TRecordId id, const TField* field, TVariant& value) const
{
    if (field->FFieldKind == fkCalculated || field->FFieldKind == fkLookup) {
        TReadSource src;
        src.Id = id;
        src.Valid = true;
        return CalculatedValue(field, src, value);
    }
    if (field->FFieldNo <= 0) return false;
    return GetRecordValue(id, field, value);
}

void TDataSet::SetFieldData(TField* field, const TVariant& value)
{
    const bool calculated = field->FFieldKind == fkCalculated || field->FFieldKind == fkLookup;
    if (calculated) {
        if (FCalculating) {
            if (field->FSlot >= 0 && field->FSlot < int(FCalcValues.size())) FCalcValues[size_t(field->FSlot)] = value;
            return;
        }
        if (FState != dsEdit && FState != dsInsert && FState != dsInternalCalc) DatabaseError(SNotEditing, this);
        const TReadSource src = CurrentSource();
        TVariant dummy;
        CalculatedValue(field, src, dummy);   // makes the current record's values the cached ones
        if (field->FSlot >= 0 && field->FSlot < int(FCalcValues.size())) FCalcValues[size_t(field->FSlot)] = value;
        DataEvent(deFieldChange, qintptr(field));
        FCalcVersion = FDataVersion;
        FCalcKey = src;
        if (field->OnChange) field->OnChange(field);
        return;
    }
    if (FState == dsSetKey) {
        if (!IsIndexField(field))
            DatabaseErrorFmt(QStringLiteral("Field '%s' is not indexed and cannot be modified"), {field->DisplayName()}, this);
        FEditBuffer.SetValue(field, value);
        return;
    }
    if (FState != dsEdit && FState != dsInsert) DatabaseError(SNotEditing, this);
    if (field->FReadOnly) DatabaseErrorFmt(QStringLiteral("Field '%s' cannot be modified"), {field->DisplayName()}, this);
    if (field->OnValidate) {
        field->FValidating = true;
        field->FValidateValue = &value;
        try {
            field->OnValidate(field);
        } catch (...) {
            field->FValidating = false;
            field->FValidateValue = nullptr;
            throw;
        }
        field->FValidating = false;
        field->FValidateValue = nullptr;
    }
    FEditBuffer.SetValue(field, value);
    DataEvent(deFieldChange, qintptr(field));
    if (field->OnChange) field->OnChange(field);
}

bool TDataSet::CalculatedValue(const TField* field, const TReadSource& source, TVariant& value) const
{
    const int slot = field->FSlot;
    if (slot < 0 || slot >= int(FCalcValues.size())) return false;
    if (!FCalculating) {
        const bool cached = FCalcVersion == FDataVersion && FCalcKey.Valid && FCalcKey.Buffer == source.Buffer &&
                            FCalcKey.Id == source.Id;
        if (!cached) ComputeCalcFields(source);
    }
    value = FCalcValues[size_t(slot)];
    return !value.IsNullOrEmpty();
}

void TDataSet::ComputeCalcFields(const TReadSource& source) const
{
    auto* self = const_cast<TDataSet*>(this);
    std::fill(FCalcValues.begin(), FCalcValues.end(), TVariant::Null());
    FCalcKey = source;
    FCalcVersion = FDataVersion;
    const TDataSetState saved = FState;
    const TReadSource savedSource = FCalcSource;
    self->FState = dsCalcFields;
    FCalcSource = source;
    FCalculating = true;
    auto restore = [&] {
        FCalculating = false;
        self->FState = saved;
        FCalcSource = savedSource;
    };
    try {
        for (TField* f : FFields) {
            if (f->FFieldKind != fkLookup) continue;
            TDataSet* lookup = f->FLookupDataSet;
            if (!lookup || !lookup->Active() || f->FKeyFields.isEmpty() || f->FLookupKeyFields.isEmpty() ||
                f->FLookupResultField.isEmpty())
                continue;
            const TVariant keys = FieldValues(f->FKeyFields);
            FCalcValues[size_t(f->FSlot)] = lookup->Lookup(f->FLookupKeyFields, keys, f->FLookupResultField);
        }
        self->DoOnCalcFields();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

// ---------------------------------------------------------------------------------------------
// Bookmarks

TBookmark TDataSet::GetBookmark() const
{
    if (!Active()) return TBookmark();
    const TReadSource src = SourceAt(FReadPos);
    if (!src.Valid || src.Id == NoRecord) return TBookmark();
    return TBookmark(src.Id);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark)
{
    if (bookmark.IsNull()) return;
    CheckBrowseMode();
    const int vp = ViewPosition(bookmark.RecordId());
    if (vp < 0) DatabaseError(QStringLiteral("Record not found"), this);
    DoBeforeScroll();
    SetCursor(FrameworkFromView(vp));
    FBof = FEof = false;
    NotifyWindow(deDataSetChange, wmCenter);
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) const
{
    return Active() && !bookmark.IsNull() && ViewPosition(bookmark.RecordId()) >= 0;
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) const
{
    if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull() ? 0 : (a.IsNull() ? 1 : -1);
    if (a.RecordId() == b.RecordId()) return 0;
    if (!Active()) return 2;
    const int pa = ViewPosition(a.RecordId());
    const int pb = ViewPosition(b.RecordId());
    if (pa < 0 || pb < 0) return 2;
    return pa < pb ? -1 : 1;
}

// ---------------------------------------------------------------------------------------------
// Searching

int TDataSet::LocatePosition(const QString& keyFields, const TVariant& keyValues, TLocateOptions options)
{
    QList<TField*> fields;
    GetFieldList(fields, keyFields);
    if (fields.isEmpty()) return -1;
    std::vector<TLocateKey> keys(size_t(fields.size()));
    for (int i = 0; i < fields.size(); ++i) {
        TLocateKey& k = keys[size_t(i)];
        k.Field = fields[i];
        TVariant key;
        if (fields.size() == 1) key = keyValues.IsArray() && keyValues.ArrayCount() == 1 ? keyValues[0] : keyValues;
        else key = keyValues[i];
        const TFieldType type = k.Field->DataType();
        if (key.IsNullOrEmpty()) {
            k.Kind = TLocateKey::kNull;
        } else if (IsTextField(type)) {
            k.Kind = TLocateKey::kText;
            k.Text = key.AsString();
        } else {
            // The key as a value of the field's kind; a key that cannot be one matches nothing.
            try {
                switch (type) {
                case ftBoolean:
                    k.Value = TVariant(key.AsBoolean());
                    break;
                case ftDate: case ftTime: case ftDateTime: case ftTimeStamp:
                    k.Value = TVariant::FromDate(key.AsDateTime());
                    break;
                case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: case ftFloat:
                case ftCurrency: case ftBCD: case ftFMTBcd:
                    if (key.IsString()) {
                        double d;
                        TCurrency c;
                        if (TryStrToCurr(key.AsString(), c) && (type == ftCurrency || type == ftBCD)) k.Value = TVariant(c);
                        else if (TryStrToFloat(key.AsString(), d)) k.Value = TVariant(d);
                        else throw EVariantError(QString());
                    } else {
                        k.Value = key;
                    }
                    break;
                default:
                    k.Value = key;
                    break;
                }
                k.Kind = TLocateKey::kValue;
            } catch (const EVariantError&) {
                k.Kind = TLocateKey::kNever;
            } catch (const EConvertError&) {
                k.Kind = TLocateKey::kNever;
            }
        }
    }
    const int count = ViewCount();
    for (int pos = 0; pos < count; ++pos)
        if (LocateMatches(keys, options, ViewRecord(pos))) return pos;
    return -1;
}

bool TDataSet::LocateMatches(const std::vector<TLocateKey>& keys, TLocateOptions options, TRecordId id) const
{
    const Qt::CaseSensitivity cs = options.testFlag(loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    TVariant raw;
    for (const TLocateKey& k : keys) {
        const bool has = RecordFieldValue(id, k.Field, raw) && !raw.IsNullOrEmpty();
        switch (k.Kind) {
        case TLocateKey::kNever: return false;
        case TLocateKey::kNull:
            if (has) return false;
            break;
        case TLocateKey::kText: {
            if (!has) return false;
            const QString text = k.Field->RawToValue(raw).AsString();
            if (options.testFlag(loPartialKey) ? !text.startsWith(k.Text, cs) : text.compare(k.Text, cs) != 0) return false;
            break;
        }
        case TLocateKey::kValue:
            if (!has || VarCompareValue(k.Field->RawToValue(raw), k.Value) != vrEqual) return false;
            break;
        }
    }
    return true;
}

bool TDataSet::FindRecord(bool restart, bool goForward)
{
    CheckBrowseMode();
    DoBeforeScroll();
    FFound = false;
    const int count = ViewCount();
    const int current = CurrentViewPosition();
    int pos = restart ? (goForward ? 0 : count - 1) : (goForward ? current + 1 : current - 1);
    const int step = goForward ? 1 : -1;
    for (; pos >= 0 && pos < count; pos += step) {
        if (RecordMatchesFilter(ViewRecord(pos))) {
            FFound = true;
            break;
        }
    }
    if (FFound) {
        SetCursor(FrameworkFromView(pos));
        FBof = FEof = false;
        NotifyWindow(deDataSetChange, wmCenter);
        DoAfterScroll();
    }
    return FFound;
}

bool TDataSet::Locate(const QString& keyFields, const TVariant& keyValues, TLocateOptions options)
{
    CheckBrowseMode();
    const int vp = LocatePosition(keyFields, keyValues, options);
    if (vp < 0) return false;
    DoBeforeScroll();
    SetCursor(FrameworkFromView(vp));
    FBof = FEof = false;
    NotifyWindow(deDataSetChange, wmCenter);
    DoAfterScroll();
    return true;
}

TVariant TDataSet::Lookup(const QString& keyFields, const TVariant& keyValues, const QString& resultFields)
{
    CheckBrowseMode();
    const int vp = LocatePosition(keyFields, keyValues, {});
    if (vp < 0) return TVariant::Null();
    const TRecordId id = ViewRecord(vp);
    QList<TField*> fields;
    GetFieldList(fields, resultFields);
    auto valueOf = [&](const TField* f) {
        TVariant raw;
        return RecordFieldValue(id, f, raw) ? f->RawToValue(raw) : TVariant::Null();
    };
    if (fields.size() == 1) return valueOf(fields[0]);
    std::vector<TVariant> values;
    for (const TField* f : fields) values.push_back(valueOf(f));
    return TVariant::ArrayOf(std::move(values));
}

// ---------------------------------------------------------------------------------------------
// Filtering

bool TDataSet::FilterRecord(TRecordId id)
{
    return FilterRecordWith(id, OnFilterRecord);
}

bool TDataSet::FilterRecordWith(TRecordId id, const TFilterRecordEvent& handler)
{
    if (!handler) return true;
    TDataSetState saved;
    const TRecordId savedId = FFilterId;
    SetTempState(dsFilter, saved);
    FFilterId = id;
    bool accept = true;
    try {
        handler(this, accept);
    } catch (...) {
        FState = saved;
        FFilterId = savedId;
        throw;
    }
    FState = saved;
    FFilterId = savedId;
    return accept;
}

void TDataSet::SetFiltered(bool filtered)
{
    if (filtered == FFiltered) return;
    if (!Active()) {
        FFiltered = filtered;
        return;
    }
    CheckBrowseMode();
    FFiltered = filtered;
    try {
        FilterChanged();
    } catch (...) {
        FFiltered = !filtered;
        throw;
    }
    First();
}

void TDataSet::SetFilter(const QString& text)
{
    if (text == FFilterText) return;
    if (!Active()) {
        FFilterText = text;
        return;
    }
    CheckBrowseMode();
    const QString old = FFilterText;
    FFilterText = text;
    try {
        FilterChanged();
    } catch (...) {
        FFilterText = old;
        throw;
    }
    if (FFiltered) First();
}

void TDataSet::SetFilterOptions(TFilterOptions options)
{
    if (options == FFilterOptions) return;
    if (!Active()) {
        FFilterOptions = options;
        return;
    }
    CheckBrowseMode();
    const TFilterOptions old = FFilterOptions;
    FFilterOptions = options;
    try {
        FilterChanged();
    } catch (...) {
        FFilterOptions = old;
        throw;
    }
    if (FFiltered) First();
}

// ---------------------------------------------------------------------------------------------
// Blobs and nesting

std::unique_ptr<QIODevice> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode)
{
    if (!field) DatabaseError(QStringLiteral("Field is missing"), this);
    if (mode == bmRead) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(field->AsBytes());
        buffer->open(QIODevice::ReadOnly);
        return buffer;
    }
    if (FState != dsEdit && FState != dsInsert) DatabaseError(SNotEditing, this);
    if (field->ReadOnly()) DatabaseErrorFmt(QStringLiteral("Field '%s' cannot be modified"), {field->DisplayName()}, this);
    return std::make_unique<TBlobWriteStream>(field, mode == bmReadWrite ? field->AsBytes() : QByteArray());
}

TDataSet* TDataSet::ParentDataSet() const { return FDataSetField ? FDataSetField->DataSet() : nullptr; }

void TDataSet::SetDataSetField(TDataSetField* field)
{
    if (field == FDataSetField) return;
    if (field && field->DataSet() == this) DatabaseError(QStringLiteral("Circular datalinks are not allowed"), this);
    CheckInactive();
    DetachDataSetField();
    if (!field) return;
    if (field->FNestedDataSet && field->FNestedDataSet != this) field->FNestedDataSet->DetachDataSetField();
    FDataSetField = field;
    field->FNestedDataSet = this;
    if (TDataSet* parent = field->DataSet(); parent && !parent->FNestedDataSets.contains(this))
        parent->FNestedDataSets.append(this);
}

void TDataSet::DetachDataSetField() noexcept
{
    if (!FDataSetField) return;
    TDataSetField* field = FDataSetField;
    FDataSetField = nullptr;
    if (field->FNestedDataSet == this) field->FNestedDataSet = nullptr;
    if (TDataSet* parent = field->DataSet()) parent->FNestedDataSets.removeOne(this);
}
