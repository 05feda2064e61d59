#pragma once
// The memory table's binary stream ("TPF0"): field and index definitions, then records
// with their update status and older versions, in the component-stream value encoding.
// Reads versions 100, 200, 230, 249, 250 and 251; writes 251.

#include "memtable/zohCommon.h"
#include "platform/stream/ValueStream.h"

#include <functional>

constexpr int kzohStreamVersion = 251;

// A value of a field the store does not hold (calculated and lookup fields).
struct TzohValue {
    bool Null = true;
    qint64 Int = 0;          // integers, booleans, currency (scaled)
    double Float = 0;        // floats and date-times
    QByteArray Bytes;        // text and binary
};

// One field of a record as it is read or written: its slot in the store, or -1 for a
// field whose value lives outside the store.
struct TzohStreamField {
    int Slot = -1;
    int DataType = zft::Unknown;
    int Size = 0;
};

class TzohBinaryReader {
public:
    explicit TzohBinaryReader(TValueReader& reader) : R(reader) {}

    // Signature and version (100 when a list follows the signature directly).
    void ReadHeader();
    int Version() const { return FVersion; }

    // Field-definition groups; onGroup is called for each as it is read (first = true
    // for the first). Raises "Unknown field type (%s)" for a type the table cannot hold.
    int ReadFieldDefs(const std::function<void(const TzohFieldDesc&, bool first)>& onGroup);
    // Index-definition groups (version 200 and later; nothing before).
    int ReadIndexDefs(const std::function<void(const TzohIndexDesc&, bool first)>& onGroup);

    void BeginRecords() { R.ReadListBegin(); }
    bool AtRecordsEnd() { return R.EndOfList(); }
    void EndRecords() { R.ReadListEnd(); }

    // Reads one record entry into a chain of new blocks (newest first); values of fields
    // without a slot are read and dropped. Raises the stream's read errors; nothing is
    // leaked on failure.
    TzohStoredRecord* ReadRecord(TzohCommon& store, const std::vector<TzohStreamField>& fields);
    // The largest auto-increment value read so far.
    qint32 MaxAutoInc() const { return FMaxAutoInc; }
    bool SawAutoInc() const { return FSawAutoInc; }

private:
    void ReadVersionInto(TzohCommon& store, TzohStoredRecord* rec, const std::vector<TzohStreamField>& fields);
    void ReadValue(TzohCommon& store, TzohStoredRecord* rec, const TzohStreamField& f, TzohValue* other);

    TValueReader& R;
    int FVersion = kzohStreamVersion;
    qint32 FMaxAutoInc = 0;
    bool FSawAutoInc = false;
    QByteArray FScratch;
};

class TzohBinaryWriter {
public:
    explicit TzohBinaryWriter(TValueWriter& writer) : W(writer) {}

    void WriteHeader() { W.WriteSignature(); W.WriteInteger(kzohStreamVersion); }
    void WriteFieldDefs(const std::vector<TzohFieldDesc>& defs, bool withKind);
    void WriteIndexDefs(const std::vector<TzohIndexDesc>& defs);
    void BeginRecords() { W.WriteListBegin(); }
    void EndRecords() { W.WriteListEnd(); }
    // One record entry: the newest version, then (withVersions) every older one.
    void WriteRecord(const TzohCommon& store, const TzohStoredRecord* rec, const std::vector<TzohStreamField>& fields,
                     bool withVersions, const std::function<TzohValue(int field, const TzohStoredRecord*)>& other = nullptr,
                     const std::function<void(int field)>& onSaveField = nullptr);

private:
    void WriteVersion(const TzohCommon& store, const TzohStoredRecord* rec, const std::vector<TzohStreamField>& fields,
                      bool newest, const std::function<TzohValue(int, const TzohStoredRecord*)>& other,
                      const std::function<void(int)>& onSaveField);
    void WriteStoredValue(const TzohCommon& store, const TzohStoredRecord* rec, const TzohStreamField& f);
    void WriteOtherValue(const TzohValue& v, int type);

    TValueWriter& W;
};
