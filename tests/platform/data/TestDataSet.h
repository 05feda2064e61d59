#pragma once
// A small array-backed dataset for testing the framework: records in natural order, a view
// that applies OnFilterRecord, and hooks to make posts and deletes fail.

#include "platform/data/DB.h"
#include "platform/core/CodePages.h"

#include <QStringList>
#include <vector>

class TTestDataSet : public TDataSet {
    Q_OBJECT
public:
    explicit TTestDataSet(QObject* owner = nullptr) : TDataSet(owner) {}
    ~TTestDataSet() override { CloseOnDestroy(); }

    // Appends a stored record; texts of 8-bit fields are encoded in 1252.
    TRecordId AddRow(std::initializer_list<TVariant> values)
    {
        Row row;
        int i = 0;
        for (const TVariant& v : values) row.Values.push_back(Raw(i++, v));
        while (int(row.Values.size()) < FieldDefs().Count()) row.Values.push_back(TVariant::Null());
        const TRecordId id = TRecordId(FRows.size());
        FRows.push_back(std::move(row));
        FOrder.push_back(id);
        if (Active()) {
            RebuildView();
            Resync();
        }
        return id;
    }
    const TVariant& Stored(TRecordId id, int column) const { return FRows[size_t(id)].Values[size_t(column)]; }
    int StoredCount() const { return int(FOrder.size()); }

    QString FailPostWith;      // InternalPost raises this as EDatabaseError when set
    QString FailDeleteWith;
    int Posts = 0;
    QStringList* Log = nullptr;   // internal steps, when set

protected:
    void InternalOpen() override { RebuildView(); }
    void InternalClose() override
    {
        FView.clear();
        FPosOf.clear();
    }
    int ViewCount() const override { return int(FView.size()); }
    TRecordId ViewRecord(int position) const override { return FView[size_t(position)]; }
    int ViewPosition(TRecordId id) const override
    {
        return id >= 0 && id < TRecordId(FPosOf.size()) ? FPosOf[size_t(id)] : -1;
    }
    bool GetRecordValue(TRecordId id, const TField* field, TVariant& value) const override
    {
        const auto& values = FRows[size_t(id)].Values;
        const size_t column = size_t(field->FieldNo() - 1);
        if (column >= values.size() || values[column].IsNull()) return false;
        const TVariant& v = values[column];
        value = v;
        return true;
    }
    void InternalEdit(TRecordId) override { Note(QStringLiteral("InternalEdit")); }
    void InternalInsert(bool append) override { Note(append ? QStringLiteral("InternalAppend") : QStringLiteral("InternalInsert")); }
    void InternalCancel() override { Note(QStringLiteral("InternalCancel")); }
    TRecordId InternalPost(const TEditBuffer& buffer) override
    {
        Note(QStringLiteral("InternalPost"));
        if (!FailPostWith.isEmpty()) DatabaseError(FailPostWith);
        ++Posts;
        TRecordId id = buffer.RecordId();
        if (buffer.IsInsert()) {
            id = TRecordId(FRows.size());
            FRows.push_back(Row{std::vector<TVariant>(size_t(FieldDefs().Count()), TVariant::Null())});
            // Before the record at the insert position, or at the end.
            const int pos = buffer.InsertPosition();
            auto at = pos < int(FView.size()) ? std::find(FOrder.begin(), FOrder.end(), FView[size_t(pos)]) : FOrder.end();
            FOrder.insert(at, id);
        }
        Row& row = FRows[size_t(id)];
        row.Values.resize(size_t(FieldDefs().Count()), TVariant::Null());
        for (TField* f : Fields())
            if (f->FieldNo() > 0 && buffer.IsAssigned(f)) row.Values[size_t(f->FieldNo() - 1)] = buffer.Value(f);
        RebuildView();
        return id;
    }
    void InternalDelete(TRecordId id) override
    {
        Note(QStringLiteral("InternalDelete"));
        if (!FailDeleteWith.isEmpty()) DatabaseError(FailDeleteWith);
        FOrder.erase(std::find(FOrder.begin(), FOrder.end(), id));
        RebuildView();
    }
    void FilterChanged() override { RebuildView(); }

private:
    struct Row {
        std::vector<TVariant> Values;
    };
    void Note(const QString& s)
    {
        if (Log) *Log << s;
    }
    TVariant Raw(int column, const TVariant& v) const
    {
        if (column >= FieldDefs().Count() || v.IsNullOrEmpty()) return v.IsEmpty() ? TVariant::Null() : v;
        switch (FieldDefs()[column]->DataType()) {
        case ftString: case ftFixedChar: case ftMemo:
            return v.Type() == varUString ? TVariant::FromAnsiString(EncodeCodePage(v.RawString(), 1252)) : v;
        case ftDate: case ftTime: case ftDateTime:
            return v.Type() == varDouble ? TVariant::FromDate(v.RawDouble()) : v;
        default:
            return v;
        }
    }
    void RebuildView()
    {
        FView.clear();
        for (TRecordId id : FOrder)
            if (!Filtered() || FilterRecord(id)) FView.push_back(id);
        FPosOf.assign(FRows.size(), -1);
        for (size_t i = 0; i < FView.size(); ++i) FPosOf[size_t(FView[i])] = int(i);
    }

    std::vector<Row> FRows;
    std::vector<TRecordId> FOrder;
    std::vector<TRecordId> FView;
    std::vector<int> FPosOf;
};
