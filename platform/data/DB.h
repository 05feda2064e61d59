#pragma once
// The dataset framework: field types and definitions, fields, datasets, data sources and
// data links. Every dataset class of the program (the client dataset, the memory table, the
// table readers) derives from TDataSet and serves its records through the record interface
// described at TDataSet below; controls and grids read them through TDataSource/TDataLink.

#include "platform/data/Variants.h"
#include "platform/core/Classes.h"
#include "platform/core/SysUtils.h"

#include <QFlags>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;
class TDataLink;
class TDataSet;
class TDataSetField;
class TDataSource;
class TField;
class TFieldDefs;
class TIndexDefs;

// ---------------------------------------------------------------------------------------------
// Enumerations

// The platform's field-type codes; files and the workbench store them as numbers.
enum TFieldType : int {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
    ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
    ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
    ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
    ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd
};
constexpr int FieldTypeCount = ftFMTBcd + 1;
// "String", "Integer", ... for messages; "Unknown" outside the range.
QString FieldTypeText(TFieldType type);
bool IsBlobFieldType(TFieldType type);

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

enum TDataSetState {
    dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue,
    dsOldValue, dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};

enum TDataEvent {
    deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange,
    deUpdateRecord, deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange,
    deFocusControl, deParentScroll, deConnectChange, deReconcileError, deDisabledStateChange
};

enum TLocateOption { loCaseInsensitive = 0x1, loPartialKey = 0x2 };
Q_DECLARE_FLAGS(TLocateOptions, TLocateOption)
enum TFilterOption { foCaseInsensitive = 0x1, foNoPartialCompare = 0x2 };
Q_DECLARE_FLAGS(TFilterOptions, TFilterOption)
enum TResyncMode { rmExact = 0x1, rmCenter = 0x2 };
Q_DECLARE_FLAGS(TResyncModes, TResyncMode)
enum TFieldAttribute { faHiddenCol = 0x1, faReadonly = 0x2, faRequired = 0x4, faLink = 0x8, faUnNamed = 0x10, faFixed = 0x20 };
Q_DECLARE_FLAGS(TFieldAttributes, TFieldAttribute)
enum TIndexOption {
    ixPrimary = 0x1, ixUnique = 0x2, ixDescending = 0x4, ixCaseInsensitive = 0x8,
    ixExpression = 0x10, ixNonMaintained = 0x20
};
Q_DECLARE_FLAGS(TIndexOptions, TIndexOption)

enum TDataAction { daFail, daAbort, daRetry };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };

// ---------------------------------------------------------------------------------------------
// Errors

class EDatabaseError : public Exception { public: using Exception::Exception; };

// Raises EDatabaseError; a named component prefixes the message ("cdsData: ...").
[[noreturn]] void DatabaseError(const QString& message, const QObject* component = nullptr);
[[noreturn]] void DatabaseErrorFmt(const QString& format, std::initializer_list<QVariant> args,
                                   const QObject* component = nullptr);

// ---------------------------------------------------------------------------------------------
// Record identity and bookmarks

// Identity of one stored record, chosen by the dataset class: stable while the dataset is
// open (other records coming and going never change it) and never reused while it is open.
using TRecordId = qint64;
constexpr TRecordId NoRecord = -1;

// A bookmark wraps a record id. A null bookmark marks "no record" (an empty dataset, the
// new row of an insert).
class TBookmark {
public:
    TBookmark() = default;
    explicit TBookmark(TRecordId id) : FId(id) {}
    bool IsNull() const { return FId < 0; }
    explicit operator bool() const { return FId >= 0; }
    TRecordId RecordId() const { return FId; }
    friend bool operator==(const TBookmark& a, const TBookmark& b) { return a.FId == b.FId; }

private:
    TRecordId FId = NoRecord;
};

// ---------------------------------------------------------------------------------------------
// Field and index definitions

class TFieldDef {
public:
    explicit TFieldDef(TFieldDefs* owner);
    ~TFieldDef();
    TFieldDef(const TFieldDef&) = delete;
    TFieldDef& operator=(const TFieldDef&) = delete;

    QString Name() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    TFieldType DataType() const { return FDataType; }
    void SetDataType(TFieldType type) { FDataType = type; }
    // Characters for strings and wide strings, bytes for bytes, decimals for BCD.
    int Size() const { return FSize; }
    void SetSize(int size) { FSize = size; }
    int Precision() const { return FPrecision; }
    void SetPrecision(int precision) { FPrecision = precision; }
    bool Required() const { return FAttributes.testFlag(faRequired); }
    void SetRequired(bool required) { FAttributes.setFlag(faRequired, required); }
    TFieldAttributes Attributes() const { return FAttributes; }
    void SetAttributes(TFieldAttributes attributes) { FAttributes = attributes; }
    // 1-based position among the definitions of its level.
    int FieldNo() const { return FFieldNo; }
    void SetFieldNo(int fieldNo) { FFieldNo = fieldNo; }
    bool InternalCalcField() const { return FInternalCalcField; }
    void SetInternalCalcField(bool value) { FInternalCalcField = value; }

    // The definitions of a nested dataset (ftDataSet) or of ADT/array children.
    TFieldDefs* ChildDefs();
    bool HasChildDefs() const;
    TFieldDefs* Collection() const { return FOwner; }
    TFieldDef* ParentDef() const;
    int Index() const;

    // Creates the field object for this definition (nullptr for a type without a field class).
    TField* CreateField(QObject* owner, TDataSet* dataSet) const;
    void Assign(const TFieldDef& source);   // everything, children included

private:
    TFieldDefs* FOwner;
    QString FName;
    TFieldType FDataType = ftUnknown;
    int FSize = 0;
    int FPrecision = 0;
    int FFieldNo = 0;
    TFieldAttributes FAttributes;
    bool FInternalCalcField = false;
    std::unique_ptr<TFieldDefs> FChildDefs;
};

class TFieldDefs {
public:
    explicit TFieldDefs(TDataSet* dataSet, TFieldDef* parentDef = nullptr);
    ~TFieldDefs();
    TFieldDefs(const TFieldDefs&) = delete;
    TFieldDefs& operator=(const TFieldDefs&) = delete;

    int Count() const { return int(FItems.size()); }
    TFieldDef* Items(int index) const;
    TFieldDef* operator[](int index) const { return Items(index); }
    // FieldNo of the new definition is its 1-based position.
    TFieldDef* Add(const QString& name, TFieldType type, int size = 0, bool required = false);
    TFieldDef* AddFieldDef();
    void Delete(int index);
    void Clear();
    int IndexOf(const QString& name) const;          // case-insensitive; -1 when missing
    TFieldDef* Find(const QString& name) const;      // raises "Field '%s' not found"
    bool Contains(const QString& name) const { return IndexOf(name) >= 0; }
    // Refreshes the definitions from the dataset (its InternalInitFieldDefs).
    void Update();
    void Assign(const TFieldDefs& source);
    TDataSet* DataSet() const { return FDataSet; }
    TFieldDef* ParentDef() const { return FParentDef; }
    bool Updated() const { return FUpdated; }
    void SetUpdated(bool updated) { FUpdated = updated; }

private:
    TDataSet* FDataSet;
    TFieldDef* FParentDef;
    std::vector<std::unique_ptr<TFieldDef>> FItems;
    bool FUpdated = false;
};

class TIndexDef {
public:
    TIndexDef() = default;
    QString Name() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    QString Fields() const { return FFields; }            // "a;b"
    void SetFields(const QString& fields) { FFields = fields; }
    TIndexOptions Options() const { return FOptions; }
    void SetOptions(TIndexOptions options) { FOptions = options; }
    QString DescFields() const { return FDescFields; }    // descending fields of a mixed index
    void SetDescFields(const QString& fields) { FDescFields = fields; }
    QString CaseInsFields() const { return FCaseInsFields; }
    void SetCaseInsFields(const QString& fields) { FCaseInsFields = fields; }
    QString Expression() const { return FExpression; }
    void SetExpression(const QString& expression) { FExpression = expression; }
    QString Source() const { return FSource; }
    void SetSource(const QString& source) { FSource = source; }
    int GroupingLevel() const { return FGroupingLevel; }
    void SetGroupingLevel(int level) { FGroupingLevel = level; }

private:
    QString FName, FFields, FDescFields, FCaseInsFields, FExpression, FSource;
    TIndexOptions FOptions;
    int FGroupingLevel = 0;
};

class TIndexDefs {
public:
    explicit TIndexDefs(TDataSet* dataSet);
    ~TIndexDefs();
    TIndexDefs(const TIndexDefs&) = delete;
    TIndexDefs& operator=(const TIndexDefs&) = delete;

    int Count() const { return int(FItems.size()); }
    TIndexDef* Items(int index) const;
    TIndexDef* operator[](int index) const { return Items(index); }
    TIndexDef* Add(const QString& name, const QString& fields, TIndexOptions options = {});
    TIndexDef* AddIndexDef();
    void Delete(int index);
    void Clear();
    int IndexOf(const QString& name) const;          // case-insensitive; -1 when missing
    TIndexDef* Find(const QString& name) const;      // raises "Index '%s' not found"
    // The index whose fields equal the list (or begin with it when partial), or nullptr.
    TIndexDef* GetIndexForFields(const QString& fields, bool caseInsensitive) const;
    // Refreshes the definitions from the dataset (its UpdateIndexDefs).
    void Update();
    void Assign(const TIndexDefs& source);
    TDataSet* DataSet() const { return FDataSet; }
    bool Updated() const { return FUpdated; }
    void SetUpdated(bool updated) { FUpdated = updated; }

private:
    TDataSet* FDataSet;
    std::vector<std::unique_ptr<TIndexDef>> FItems;
    bool FUpdated = false;
};

// ---------------------------------------------------------------------------------------------
// TField: one column of a dataset. Values are read from and written to the dataset's current
// row (or the row a data link made active); the classes in DBFields.h convert them.

class TField : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FieldName READ FieldName WRITE SetFieldName)
    Q_PROPERTY(QString DisplayLabel READ DisplayLabel WRITE SetDisplayLabel)
    Q_PROPERTY(int DisplayWidth READ DisplayWidth WRITE SetDisplayWidth)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool Required READ Required WRITE SetRequired)
    Q_PROPERTY(int Index READ Index WRITE SetIndex)
    Q_PROPERTY(int Size READ Size WRITE SetSize)
    Q_PROPERTY(QString EditMask READ EditMask WRITE SetEditMask)
    Q_PROPERTY(QString DefaultExpression READ DefaultExpression WRITE SetDefaultExpression)
    Q_PROPERTY(QString Text READ Text WRITE SetText)

public:
    explicit TField(QObject* owner = nullptr);
    ~TField() override;

    TDataSet* DataSet() const { return FDataSet; }
    // Adds the field to the dataset's field list (removes it from the previous one); the
    // dataset must be closed.
    void SetDataSet(TDataSet* dataSet);

    QString FieldName() const { return FFieldName; }
    void SetFieldName(const QString& name);
    QString FullName() const { return FFieldName; }
    TFieldType DataType() const { return FDataType; }
    // Characters for string fields, decimals for BCD fields, bytes for byte fields, else 0.
    int Size() const { return FSize; }
    void SetSize(int size);
    // 1-based number of the field definition it is bound to; -1 for calculated and lookup fields.
    int FieldNo() const { return FFieldNo; }
    // Position in the dataset's field list; writing moves the field.
    int Index() const;
    void SetIndex(int index);
    TFieldKind FieldKind() const { return FFieldKind; }
    void SetFieldKind(TFieldKind kind);
    bool Calculated() const { return FFieldKind == fkCalculated; }
    void SetCalculated(bool value) { SetFieldKind(value ? fkCalculated : fkData); }
    bool Lookup() const { return FFieldKind == fkLookup; }
    void SetLookup(bool value) { SetFieldKind(value ? fkLookup : fkData); }
    virtual bool IsBlob() const { return false; }

    QString DisplayLabel() const { return FDisplayLabel.isEmpty() ? FFieldName : FDisplayLabel; }
    void SetDisplayLabel(const QString& label);
    QString DisplayName() const { return DisplayLabel(); }
    // Characters; a field class has its own default.
    int DisplayWidth() const { return FDisplayWidth > 0 ? FDisplayWidth : DefaultWidth(); }
    void SetDisplayWidth(int width);
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);
    bool Required() const { return FRequired; }
    void SetRequired(bool required) { FRequired = required; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment);
    QString EditMask() const { return FEditMask; }
    void SetEditMask(const QString& mask) { FEditMask = mask; }
    QString DefaultExpression() const { return FDefaultExpression; }
    void SetDefaultExpression(const QString& expression) { FDefaultExpression = expression; }

    // Lookup fields: KeyFields of this dataset are searched as LookupKeyFields in
    // LookupDataSet; the value is its LookupResultField.
    TDataSet* LookupDataSet() const { return FLookupDataSet; }
    void SetLookupDataSet(TDataSet* dataSet) { FLookupDataSet = dataSet; }
    QString LookupKeyFields() const { return FLookupKeyFields; }
    void SetLookupKeyFields(const QString& fields) { FLookupKeyFields = fields; }
    QString LookupResultField() const { return FLookupResultField; }
    void SetLookupResultField(const QString& field) { FLookupResultField = field; }
    QString KeyFields() const { return FKeyFields; }
    void SetKeyFields(const QString& fields) { FKeyFields = fields; }

    // --- Values of the row being read
    bool IsNull() const;
    void Clear() { SetAsVariant(TVariant::Null()); }
    TVariant Value() const { return AsVariant(); }
    void SetValue(const TVariant& value) { SetAsVariant(value); }
    // A value that does not convert to the field's type raises (EDatabaseError, EConvertError
    // or EVariantError, the message naming the value and the field).
    virtual TVariant AsVariant() const;
    void SetAsVariant(const TVariant& value);
    virtual QString AsString() const;
    virtual void SetAsString(const QString& value);
    virtual int AsInteger() const;
    virtual void SetAsInteger(int value);
    virtual qint64 AsLargeInt() const;
    virtual void SetAsLargeInt(qint64 value);
    virtual double AsFloat() const;
    virtual void SetAsFloat(double value);
    virtual bool AsBoolean() const;
    virtual void SetAsBoolean(bool value);
    virtual TDateTime AsDateTime() const;
    virtual void SetAsDateTime(TDateTime value);
    virtual TCurrency AsCurrency() const;
    virtual void SetAsCurrency(TCurrency value);
    virtual QByteArray AsBytes() const;
    virtual void SetAsBytes(const QByteArray& value);

    // Text: DisplayText for showing (display formats), EditText for editing; both through
    // OnGetText when assigned. Writing Text or EditText goes through OnSetText when assigned.
    QString DisplayText() const;
    QString EditText() const;
    void SetEditText(const QString& text);
    QString Text() const { return EditText(); }
    void SetText(const QString& text) { SetEditText(text); }

    // The value before the current edit (the stored value); Null on a new row.
    TVariant OldValue() const;
    bool CanModify() const;
    bool IsIndexField() const;
    virtual bool IsValidChar(QChar ch) const;
    // Asks the controls bound to the field to take the focus.
    void FocusControl();

    // Blob access (blob, memo, graphic and byte fields).
    void LoadFromStream(QIODevice& stream);
    void SaveToStream(QIODevice& stream) const;

    std::function<void(TField*)> OnChange;
    std::function<void(TField*)> OnValidate;
    std::function<void(TField*, QString& text, bool displayText)> OnGetText;
    std::function<void(TField*, const QString& text)> OnSetText;

protected:
    // The raw value of the row being read; false (and v untouched or Null) when null.
    bool GetData(TVariant& value) const;
    // Writes the raw value (Null clears): checks the state and ReadOnly, runs OnValidate with
    // the new value readable, stores it and notifies.
    void SetData(const TVariant& value);
    void SetDataType(TFieldType type) { FDataType = type; }
    // "Cannot access field '%s' as type %s".
    [[noreturn]] void AccessError(const char* typeName) const;
    // "(Memo)" for a null field, "(MEMO)" with a value: the class name without T and Field.
    QString ClassDesc() const;
    void PropertyChanged(bool layoutAffected);

    virtual int DefaultWidth() const { return 10; }
    virtual void GetText(QString& text, bool displayText) const;
    virtual void SetTextValue(const QString& text) { SetAsString(text); }

    // Assigns a value that is neither Null nor Empty.
    virtual void SetVarValue(const TVariant& value);
    // The value as AsVariant gives it, from the raw value a dataset class stores (8-bit text
    // gets the field's code page); Locate, Lookup and FieldValues read other records with it.
    virtual TVariant RawToValue(const TVariant& raw) const { return raw; }

private:
    friend class TDataSet;
    friend class TFields;
    friend class TEditBuffer;
    friend class TDataSetField;
    TDataSet* FDataSet = nullptr;
    QString FFieldName;
    QString FDisplayLabel;
    QString FEditMask;
    QString FDefaultExpression;
    QString FLookupKeyFields, FLookupResultField, FKeyFields;
    QPointer<TDataSet> FLookupDataSet;
    TFieldType FDataType = ftUnknown;
    TFieldKind FFieldKind = fkData;
    TAlignment FAlignment = taLeftJustify;
    int FSize = 0;
    int FFieldNo = 0;
    int FSlot = -1;            // per-field slot in the edit buffer and the calculated values
    int FDisplayWidth = 0;
    bool FVisible = true;
    bool FReadOnly = false;
    bool FRequired = false;
    bool FValidating = false;
    const TVariant* FValidateValue = nullptr;
};

// The field list of a dataset, in display order.
class TFields {
public:
    explicit TFields(TDataSet* dataSet) : FDataSet(dataSet) {}
    int Count() const { return int(FList.size()); }
    TField* Fields(int index) const;       // raises "Field index out of range"
    TField* operator[](int index) const { return Fields(index); }
    int IndexOf(const TField* field) const;
    TField* FindField(const QString& name) const;    // case-insensitive; nullptr when missing
    TField* FieldByName(const QString& name) const;  // raises "Field '%s' not found"
    TField* FieldByNumber(int fieldNo) const;
    auto begin() const { return FList.begin(); }
    auto end() const { return FList.end(); }
    TDataSet* DataSet() const { return FDataSet; }

private:
    friend class TDataSet;
    friend class TField;
    TDataSet* FDataSet;
    std::vector<TField*> FList;
};

// ---------------------------------------------------------------------------------------------
// The edit buffer: the values of the row being edited or inserted. It holds one value per
// field with an "assigned" flag; a field not assigned in an edit still reads the stored value.

class TEditBuffer {
public:
    bool IsInsert() const { return FInsert; }
    bool IsAppend() const { return FAppend; }
    // The record being edited; NoRecord for a new one.
    TRecordId RecordId() const { return FRecordId; }
    // For a new record: its position in the dataset's view (ViewPosition), that is the new
    // record goes before ViewRecord(InsertPosition()); ViewCount() when it goes at the end.
    int InsertPosition() const { return FInsertPosition; }

    bool IsAssigned(const TField* field) const;
    // The assigned value (Null when assigned null); Null when not assigned.
    const TVariant& Value(const TField* field) const;
    // Stores a value without conversion, checks or events: for defaults in InternalInitRecord
    // and for dataset classes; the value must already be of the field's own type.
    void SetValue(const TField* field, const TVariant& value);
    void Unassign(const TField* field);
    bool AnyAssigned() const;

private:
    friend class TDataSet;
    void Reset(int slotCount, bool insert, bool append, TRecordId id, int insertPosition);
    void Release();
    std::vector<TVariant> FValues;
    std::vector<quint8> FAssigned;
    TRecordId FRecordId = NoRecord;
    int FInsertPosition = -1;
    bool FInsert = false;
    bool FAppend = false;
};

// ---------------------------------------------------------------------------------------------
// TDataSet

class TDataSet : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
    Q_PROPERTY(bool Filtered READ Filtered WRITE SetFiltered)

public:
    explicit TDataSet(QObject* owner = nullptr);
    ~TDataSet() override;

    using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
    using TDataSetErrorEvent = std::function<void(TDataSet*, EDatabaseError& error, TDataAction& action)>;
    using TFilterRecordEvent = std::function<void(TDataSet*, bool& accept)>;

    // --- Opening and state
    bool Active() const { return FState != dsInactive; }
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return FState; }

    // --- Fields
    TFields& Fields() { return FFields; }
    const TFields& Fields() const { return FFields; }
    int FieldCount() const { return FFields.Count(); }
    TField* FindField(const QString& name) const { return FFields.FindField(name); }
    TField* FieldByName(const QString& name) const;
    TFieldDefs& FieldDefs() { return *FFieldDefs; }
    const TFieldDefs& FieldDefs() const { return *FFieldDefs; }
    TIndexDefs& IndexDefs() { return *FIndexDefs; }
    const TIndexDefs& IndexDefs() const { return *FIndexDefs; }
    // True while the field objects were made from the definitions at open (and die at close).
    bool DefaultFields() const { return FDefaultFields; }
    void GetFieldNames(QStringList& list) const;
    // The fields named in "a;b" (raises when one is missing).
    void GetFieldList(QList<TField*>& list, const QString& fieldNames) const;
    // The value of one field, or a variant array for "a;b".
    TVariant FieldValues(const QString& fieldNames) const;
    void SetFieldValues(const QString& fieldNames, const TVariant& values);

    // --- Navigation. Each move from an edit or insert posts it first (CheckBrowseMode).
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Returns the distance actually moved; Eof/Bof are set when a step fails.
    int MoveBy(int distance);
    bool Bof() const { return FBof; }
    bool Eof() const { return FEof; }
    // 1-based; -1 on a closed or empty dataset. Writing moves like MoveBy; out of range is ignored.
    virtual int RecNo() const;
    virtual void SetRecNo(int recNo);
    // Records in the view, the new row of an insert included.
    virtual int RecordCount() const;
    bool IsEmpty() const { return RecordCount() == 0; }
    virtual bool IsSequenced() const { return true; }

    // --- Editing
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    // Posts a changed edit, cancels an untouched one.
    void CheckBrowseMode();
    // Lets the controls write what they hold into the fields.
    void UpdateRecord();
    // Sets every field of the row being edited to null.
    void ClearFields();
    bool Modified() const { return FModified; }
    bool CanModify() const { return GetCanModify(); }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);

    // --- Bookmarks (of the row being read)
    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& bookmark);
    void FreeBookmark(TBookmark& bookmark) { bookmark = TBookmark(); }
    virtual bool BookmarkValid(const TBookmark& bookmark) const;
    // -1, 0 or 1 by the order of the view; a null bookmark sorts after any other; 2 when the
    // two records cannot be ordered (one of them is not in the view).
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b) const;
    TBookmark Bookmark() const { return GetBookmark(); }
    void SetBookmark(const TBookmark& bookmark) { GotoBookmark(bookmark); }

    // --- Searching: fields "a;b" with one value or a variant array of values. The generic
    // versions scan the view; dataset classes with indexes may do better.
    virtual bool Locate(const QString& keyFields, const TVariant& keyValues, TLocateOptions options = {});
    virtual TVariant Lookup(const QString& keyFields, const TVariant& keyValues, const QString& resultFields);
    // Moves to the first, next, prior or last record that the filter accepts, whether Filtered
    // is on or not; Found tells whether one was.
    bool FindFirst() { return FindRecord(true, true); }
    bool FindNext() { return FindRecord(false, true); }
    bool FindPrior() { return FindRecord(false, false); }
    bool FindLast() { return FindRecord(true, false); }
    virtual bool FindRecord(bool restart, bool goForward);
    bool Found() const { return FFound; }
    // A field of the current index (key fields may be edited in dsSetKey).
    virtual bool IsIndexField(const TField* field) const { Q_UNUSED(field); return false; }

    // --- Filtering: OnFilterRecord and/or a filter text in the dataset class's own language.
    QString Filter() const { return FFilterText; }
    void SetFilter(const QString& text);
    bool Filtered() const { return FFiltered; }
    void SetFiltered(bool filtered);
    TFilterOptions FilterOptions() const { return FFilterOptions; }
    void SetFilterOptions(TFilterOptions options);

    // --- Controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount > 0; }
    // Re-reads the view after the dataset class changed it (the current record stays current
    // when still visible, else its position does); rmCenter centres it in the data links' windows.
    void Resync(TResyncModes modes = {});
    // Finds the current record's position again after the view changed underneath.
    void UpdateCursorPos();
    void Refresh();

    // --- Blobs: a stream over the field's value; writing streams store their bytes into the
    // field when closed or destroyed (the dataset must be in edit or insert state).
    virtual std::unique_ptr<QIODevice> CreateBlobStream(TField* field, TBlobStreamMode mode);

    // --- Nested datasets: the field of the parent dataset whose value this dataset is.
    TDataSetField* DataSetField() const { return FDataSetField; }
    void SetDataSetField(TDataSetField* field);
    TDataSet* ParentDataSet() const;
    const QList<TDataSet*>& NestedDataSets() const { return FNestedDataSets; }

    // The update status of the row being read (the change log's view of it).
    virtual TUpdateStatus UpdateStatus() const { return usUnmodified; }

    // --- Events; windows may save, detach and restore them. EAbort from a Before... event
    // stops the operation silently and leaves the state as it was.
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TFilterRecordEvent OnFilterRecord;
    TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;

protected:
    // =========================================================================================
    // The record interface. A dataset class keeps its records in its own store and serves
    // them through these members; the framework never copies a record.
    //
    // Record ids (TRecordId) are the class's own: any non-negative number that names one
    // stored record while the dataset is open, unchanged when other records come and go, and
    // not reused for another record while it is open. Bookmarks wrap them.
    //
    // The view is the ordered list of records the cursor walks (index order, filter, range,
    // status filter and master restriction applied). Positions in it are 0-based. The
    // framework asks for positions and ids on every move and every field read, so the three
    // view members must answer in constant or logarithmic time.
    //
    // When the class changes its view by itself (a new index order, a status filter, the
    // parent of a nested dataset moved, another cursor on the same store posted), it calls
    // Resync() (keep the current record) or First(); the framework finds the cursor again by
    // its record id and tells the controls.
    //
    // Opening: InternalInitFieldDefs fills FieldDefs (it may be called again on an open
    // dataset by FieldDefs().Update(): refill them); the framework then makes the field
    // objects from the definitions when there are none (DefaultFields) and binds each data
    // field to its definition by name (FieldNo, 1-based); then InternalOpen opens the store.
    // InternalClose releases it; the framework then frees the default fields. A class's
    // destructor calls CloseOnDestroy(). Events are the framework's.

    virtual void InternalInitFieldDefs() {}
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;

    // Records in the view.
    virtual int ViewCount() const = 0;
    // The record at a view position, 0 <= position < ViewCount().
    virtual TRecordId ViewRecord(int position) const = 0;
    // The view position of a record; -1 when the record is not in the view (deleted,
    // filtered out, unknown id).
    virtual int ViewPosition(TRecordId id) const = 0;

    // Reads one data field of one record: false when the value is null. The value has the
    // field's own variant type: integers as varInteger/varSmallint/varWord/varInt64, booleans,
    // doubles, currency as varCurrency, dates and times as varDate (TDateTime), 8-bit text
    // as varString (the stored bytes), wide text as varUString, bytes and blobs as varBytes
    // (memos as varString). Never called for calculated or lookup fields.
    virtual bool GetRecordValue(TRecordId id, const TField* field, TVariant& value) const = 0;
    // Cheaper null test; the default reads the value.
    virtual bool IsRecordValueNull(TRecordId id, const TField* field) const;
    // The original value (before the changes the dataset keeps); the default is the stored value.
    virtual bool GetOldRecordValue(TRecordId id, const TField* field, TVariant& value) const;

    // Editing. The framework keeps the row being edited or inserted in its TEditBuffer; the
    // store sees it only when it is posted.
    // - InternalEdit(id): an edit of that record begins; may refuse (raise) or lock.
    // - InternalInsert(append): a new row begins (before the current record, or at the end).
    // - InternalInitRecord(buffer): may put default values into the new row (no events).
    // - InternalPost(buffer): stores the row. An edit (RecordId() set) changes the assigned
    //   fields of that record; a new record (IsInsert()) is stored with every data field,
    //   unassigned ones null, before ViewRecord(InsertPosition()) or at the end. Returns the
    //   id of the stored record. Raising (a key violation) leaves the dataset editing.
    // - InternalCancel(): the edit or the new row is dropped (also when the dataset closes).
    // - InternalDelete(id): removes the record from the view (the store may keep it as
    //   deleted for its change log).
    // After a post or a delete the framework finds the cursor again through ViewPosition: a
    // posted record that left the view (filtered out) leaves the cursor at its old position.
    virtual void InternalEdit(TRecordId id) { Q_UNUSED(id); }
    virtual void InternalInsert(bool append) { Q_UNUSED(append); }
    virtual void InternalInitRecord(TEditBuffer& buffer) { Q_UNUSED(buffer); }
    virtual TRecordId InternalPost(const TEditBuffer& buffer) = 0;
    virtual void InternalCancel() {}
    virtual void InternalDelete(TRecordId id) = 0;
    // Refresh: re-read the store (a file, a shared store); the view may change.
    virtual void InternalRefresh() {}
    virtual bool GetCanModify() const { return !FReadOnly; }

    // Filtered, Filter or FilterOptions changed on an open dataset: rebuild the view (the
    // framework then moves to the first record). Use FilterRecord for OnFilterRecord and the
    // dataset class's own evaluation of Filter().
    virtual void FilterChanged() {}
    // Runs OnFilterRecord on a record (state dsFilter, fields read that record); true when it
    // accepts or there is no handler.
    bool FilterRecord(TRecordId id);
    // The same with another handler: a dataset class's own record filters.
    bool FilterRecordWith(TRecordId id, const TFilterRecordEvent& handler);
    // Whether a record passes the filter for FindFirst/FindNext (the default: OnFilterRecord);
    // a dataset class adds its evaluation of Filter().
    virtual bool RecordMatchesFilter(TRecordId id) { return FilterRecord(id); }
    void SetFound(bool found) { FFound = found; }

    // Editing a nested dataset puts its parent into edit state first.
    virtual void CheckParentState();
    // The index definitions of the store (IndexDefs().Update()).
    virtual void UpdateIndexDefs() {}

    // Data events to the data sources and nested datasets; dataset classes may watch them
    // (deParentScroll reaches a nested dataset when its parent moves).
    virtual void DataEvent(TDataEvent event, qintptr info = 0);

    // The event dispatchers; dataset classes may add their own steps around them.
    virtual void DoBeforeOpen() { Fire(BeforeOpen); }
    virtual void DoAfterOpen() { Fire(AfterOpen); }
    virtual void DoBeforeClose() { Fire(BeforeClose); }
    virtual void DoAfterClose() { Fire(AfterClose); }
    virtual void DoBeforeInsert() { Fire(BeforeInsert); }
    virtual void DoAfterInsert() { Fire(AfterInsert); }
    virtual void DoBeforeEdit() { Fire(BeforeEdit); }
    virtual void DoAfterEdit() { Fire(AfterEdit); }
    virtual void DoBeforePost() { Fire(BeforePost); }
    virtual void DoAfterPost() { Fire(AfterPost); }
    virtual void DoBeforeCancel() { Fire(BeforeCancel); }
    virtual void DoAfterCancel() { Fire(AfterCancel); }
    virtual void DoBeforeDelete() { Fire(BeforeDelete); }
    virtual void DoAfterDelete() { Fire(AfterDelete); }
    virtual void DoBeforeScroll() { Fire(BeforeScroll); }
    virtual void DoAfterScroll() { Fire(AfterScroll); }
    virtual void DoBeforeRefresh() { Fire(BeforeRefresh); }
    virtual void DoAfterRefresh() { Fire(AfterRefresh); }
    virtual void DoOnNewRecord() { Fire(OnNewRecord); }
    virtual void DoOnCalcFields() { Fire(OnCalcFields); }

    // Helpers for dataset classes.
    void CheckActive() const;     // "Cannot perform this operation on a closed dataset"
    void CheckInactive() const;   // "Cannot perform this operation on an open dataset"
    void CheckCanModify() const;  // "Cannot modify a read-only dataset"
    // The record the cursor is on (NoRecord on the new row of an insert or when empty), its
    // view position (-1 when empty or on the new row).
    TRecordId CurrentRecord() const { return FCurId; }
    int CurrentViewPosition() const;
    // The record whose values field reads answer now (cursor row, a data link's active row,
    // the record being filtered or calculated); NoRecord for the edit buffer's new row.
    TRecordId ReadRecord() const;
    TEditBuffer& EditBuffer() { return FEditBuffer; }
    const TEditBuffer& EditBuffer() const { return FEditBuffer; }
    // Creates the default fields from FieldDefs (InternalOpen need not call it).
    void CreateFields();
    void DestroyFields();
    // Sets the state and tells the controls; for states such as dsSetKey.
    void SetState(TDataSetState state);
    // Leaves edit mode and enters dsSetKey with an empty buffer: field writes fill the key the
    // class reads back through EditBuffer().
    void BeginKeyEdit();
    // Closes from a dataset class's destructor: no events, no virtual steps beyond this class.
    void CloseOnDestroy();
    // Calls a handler; an EAbort it raises propagates (the caller stops).
    void Fire(const TDataSetNotifyEvent& handler) { if (handler) handler(this); }

private:
    friend class TField;
    friend class TFieldDefs;
    friend class TIndexDefs;
    friend class TDataSource;
    friend class TDataLink;
    friend class TDataSetField;
    friend class TFields;

    enum TWindowMode { wmMinimal, wmKeepOffset, wmCenter };
    struct TReadSource {
        bool Buffer = false;       // the edit buffer (with the stored record under it in dsEdit)
        TRecordId Id = NoRecord;   // the record (or the one under the edit buffer)
        bool Valid = false;
    };

    // Positions: the framework's view is the dataset's view plus the new row of an insert.
    int FrameworkCount() const;
    TRecordId RecordAtFramework(int position) const;   // NoRecord for the new row / out of range
    int FrameworkFromView(int viewPosition) const;
    TReadSource SourceAt(int position) const;
    TReadSource CurrentSource() const;
    void SetCursor(int position);
    void ResyncCursor(int fallbackPosition);
    void NotifyWindow(TDataEvent event, TWindowMode mode);
    void UpdateLinkWindow(TDataLink* link, TWindowMode mode) const;

    void OpenCursor();
    void CloseCursor();
    void BindFields(bool binding);
    void AddField(TField* field);
    void RemoveField(TField* field);
    void MoveField(TField* field, int index);
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    void BeginInsertAppend(bool append);
    void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& onError);
    void CheckRequiredFields();
    void DiscardEdit();
    void SetTempState(TDataSetState state, TDataSetState& saved);
    void DetachDataSetField() noexcept;

    // Field access (called by TField).
    bool GetFieldData(const TField* field, TVariant& value) const;
    bool FieldIsNull(const TField* field) const;
    bool GetFieldOldData(const TField* field, TVariant& value) const;
    void SetFieldData(TField* field, const TVariant& value);
    bool CalculatedValue(const TField* field, const TReadSource& source, TVariant& value) const;
    void ComputeCalcFields(const TReadSource& source) const;
    void InvalidateCalcFields() { ++FDataVersion; }
    struct TLocateKey;
    bool RecordFieldValue(TRecordId id, const TField* field, TVariant& value) const;
    bool LocateMatches(const std::vector<TLocateKey>& keys, TLocateOptions options, TRecordId id) const;
    int LocatePosition(const QString& keyFields, const TVariant& keyValues, TLocateOptions options);

    TFields FFields;
    std::unique_ptr<TFieldDefs> FFieldDefs;
    std::unique_ptr<TIndexDefs> FIndexDefs;
    QList<TDataSource*> FDataSources;
    QList<TDataSet*> FNestedDataSets;
    TDataSetField* FDataSetField = nullptr;

    TDataSetState FState = dsInactive;
    TDataSetState FDisableState = dsInactive;
    TDataEvent FEnableEvent = deDataSetChange;
    int FDisableCount = 0;
    bool FDefaultFields = false;
    bool FBof = true;
    bool FEof = true;
    bool FModified = false;
    bool FFound = false;
    bool FReadOnly = false;
    bool FFiltered = false;
    QString FFilterText;
    TFilterOptions FFilterOptions;

    // Cursor: framework position and record; the row field reads answer (a link's active
    // record moves it without moving the cursor); the new row of an insert.
    int FCurPos = -1;
    TRecordId FCurId = NoRecord;
    int FReadPos = -1;
    int FInsertPos = -1;
    TEditBuffer FEditBuffer;

    // Temporary read targets of dsFilter and dsCalcFields.
    TRecordId FFilterId = NoRecord;
    mutable TReadSource FCalcSource;

    // Calculated and lookup values of the record computed last.
    int FSlotCount = 0;
    mutable std::vector<TVariant> FCalcValues;
    mutable TReadSource FCalcKey;
    mutable quint64 FCalcVersion = ~quint64(0);
    quint64 FDataVersion = 0;
    mutable bool FCalculating = false;
    TWindowMode FChangeMode = wmKeepOffset;
};

// ---------------------------------------------------------------------------------------------
// TDataSource: the junction between one dataset and the controls' data links.

class TDataSource : public QObject {
    Q_OBJECT
    Q_PROPERTY(TDataSet* DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(bool AutoEdit READ AutoEdit WRITE SetAutoEdit)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)

public:
    explicit TDataSource(QObject* owner = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return FDataSet; }
    // May change at run time; the links follow.
    void SetDataSet(TDataSet* dataSet);
    TDataSetState State() const { return FState; }
    bool AutoEdit() const { return FAutoEdit; }
    void SetAutoEdit(bool autoEdit) { FAutoEdit = autoEdit; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    // Edit on the dataset when AutoEdit and browsing.
    void Edit();
    bool IsLinkedTo(const TDataSet* dataSet) const;

    std::function<void(TDataSource*, TField*)> OnDataChange;
    std::function<void(TDataSource*)> OnStateChange;
    std::function<void(TDataSource*)> OnUpdateData;

private:
    friend class TDataSet;
    friend class TDataLink;
    void DataEvent(TDataEvent event, qintptr info);
    void NotifyLinks(TDataEvent event, qintptr info);
    void UpdateState();
    void AddLink(TDataLink* link);
    void RemoveLink(TDataLink* link);

    TDataSet* FDataSet = nullptr;
    QList<TDataLink*> FLinks;
    TDataSetState FState = dsInactive;
    bool FAutoEdit = true;
    bool FEnabled = true;
};

// ---------------------------------------------------------------------------------------------
// TDataLink: a control's view of a data source. It keeps a window of BufferCount rows around
// the current record (a grid sets it to its visible rows). The window scrolls minimally when
// the cursor leaves it, DataSetScrolled reports by how many rows; after other changes the
// current record keeps its row when it can (DataSetChanged).

class TDataLink {
public:
    TDataLink();
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    bool Active() const { return FActive; }
    bool Editing() const { return FEditing; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);
    bool VisualControl() const { return FVisualControl; }
    void SetVisualControl(bool visual) { FVisualControl = visual; }

    // Puts the dataset into edit state through the data source (AutoEdit); true when editing.
    bool Edit();
    void UpdateRecord();
    bool Bof() const;
    bool Eof() const;
    int MoveBy(int distance);

    // Rows of the window.
    int BufferCount() const { return FBufferCount; }
    void SetBufferCount(int count);
    // Records in the window (up to BufferCount).
    int RecordCount() const;
    // The row of the window field reads answer; the current record's row unless set. While
    // set, every field of the dataset reads that row (the new row and the edit buffer
    // included), Bookmark and RecNo answer for it, and nothing fires; the caller restores it.
    // Any row may be set, also outside the window (a view model reads every row this way:
    // row = view position - FirstRecord()); rows past the records read null.
    int ActiveRecord() const;
    void SetActiveRecord(int row);
    // View position of the window's first row.
    int FirstRecord() const { return FFirstRecord; }

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int distance) { Q_UNUSED(distance); DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField*& field) { Q_UNUSED(field); }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* field) { Q_UNUSED(field); }
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    friend class TDataSet;
    void DataEvent(TDataEvent event, qintptr info);
    void UpdateState();
    void SetActive(bool active);
    void SetEditing(bool editing);

    TDataSource* FDataSource = nullptr;
    int FBufferCount = 1;
    int FFirstRecord = 0;
    int FActiveOffset = 0;   // the cursor's row at the last window update
    bool FActive = false;
    bool FEditing = false;
    bool FReadOnly = false;
    bool FUpdating = false;
    bool FVisualControl = false;
};

// TFieldDataLink: the link of a single-field control.
class TFieldDataLink : public TDataLink {
public:
    TFieldDataLink() = default;
    TField* Field() const { return FField; }
    QString FieldName() const { return FFieldName; }
    void SetFieldName(const QString& name);
    QObject* Control() const { return FControl; }
    void SetControl(QObject* control) { FControl = control; }
    bool CanModify() const;
    bool Edit();
    // Editing: the dataset is editing and the field can be changed.
    bool Editing() const { return FFieldEditing; }
    // The control changed the value (written back at UpdateData).
    void Modified() { FModified = true; }
    bool IsModified() const { return FModified; }
    // Drops the control's change and shows the field's value again.
    void Reset() { RecordChanged(nullptr); }

    std::function<void(TFieldDataLink*)> OnDataChange;
    std::function<void(TFieldDataLink*)> OnEditingChange;
    std::function<void(TFieldDataLink*)> OnUpdateData;
    std::function<void(TFieldDataLink*)> OnActiveChange;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void FocusControl(TField*& field) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void UpdateField();
    void SetField(TField* field);
    void SetFieldEditing(bool editing);

    QPointer<TField> FField;
    QString FFieldName;
    QObject* FControl = nullptr;
    bool FModified = false;
    bool FFieldEditing = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TLocateOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFilterOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(TResyncModes)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFieldAttributes)
Q_DECLARE_OPERATORS_FOR_FLAGS(TIndexOptions)

#include "platform/data/DBFields.h"
