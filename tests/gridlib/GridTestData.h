#pragma once
// A small array-backed dataset for the grid library's tests: records in natural order, edits,
// inserts and deletes, and a post that can be made to fail. Texts are wide strings.

#include "platform/data/DB.h"

#include <QStringList>
#include <algorithm>
#include <vector>

class TGridTestDataSet : public TDataSet {
public:
    explicit TGridTestDataSet(QObject* owner = nullptr) : TDataSet(owner) {}
    ~TGridTestDataSet() override { CloseOnDestroy(); }

    // Fields: name and type pairs, sizes 20 for texts.
    void Define(std::initializer_list<std::pair<const char*, TFieldType>> fields)
    {
        for (const auto& [name, type] : fields)
            FieldDefs().Add(QString::fromLatin1(name), type, type == ftWideString || type == ftString ? 20 : 0);
    }
    TRecordId AddRow(std::initializer_list<TVariant> values)
    {
        std::vector<TVariant> row(values);
        row.resize(size_t(FieldDefs().Count()), TVariant::Null());
        const TRecordId id = TRecordId(FRows.size());
        FRows.push_back(std::move(row));
        FOrder.push_back(id);
        if (Active()) {
            RebuildView();
            Resync();
        }
        return id;
    }
    // n rows: Id = 1..n, Name = "Name<i>".
    void Fill(int n)
    {
        for (int i = 1; i <= n; ++i) AddRow({TVariant(i), TVariant(QStringLiteral("Name%1").arg(i))});
    }
    const TVariant& Stored(TRecordId id, int column) const { return FRows[size_t(id)][size_t(column)]; }
    QString FailPostWith;
    int Posts = 0;

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
        const auto& values = FRows[size_t(id)];
        const size_t column = size_t(field->FieldNo() - 1);
        if (column >= values.size() || values[column].IsNull()) return false;
        value = values[column];
        return true;
    }
    TRecordId InternalPost(const TEditBuffer& buffer) override
    {
        if (!FailPostWith.isEmpty()) DatabaseError(FailPostWith);
        ++Posts;
        TRecordId id = buffer.RecordId();
        if (buffer.IsInsert()) {
            id = TRecordId(FRows.size());
            FRows.emplace_back(size_t(FieldDefs().Count()), TVariant::Null());
            const int pos = buffer.InsertPosition();
            auto at = pos < int(FView.size()) ? std::find(FOrder.begin(), FOrder.end(), FView[size_t(pos)]) : FOrder.end();
            FOrder.insert(at, id);
        }
        auto& row = FRows[size_t(id)];
        for (TField* f : Fields())
            if (f->FieldNo() > 0 && buffer.IsAssigned(f)) row[size_t(f->FieldNo() - 1)] = buffer.Value(f);
        RebuildView();
        return id;
    }
    void InternalDelete(TRecordId id) override
    {
        FOrder.erase(std::find(FOrder.begin(), FOrder.end(), id));
        RebuildView();
    }
    void FilterChanged() override { RebuildView(); }

private:
    void RebuildView()
    {
        FView.clear();
        for (TRecordId id : FOrder)
            if (!Filtered() || FilterRecord(id)) FView.push_back(id);
        FPosOf.assign(FRows.size(), -1);
        for (size_t i = 0; i < FView.size(); ++i) FPosOf[size_t(FView[i])] = int(i);
    }

    std::vector<std::vector<TVariant>> FRows;
    std::vector<TRecordId> FOrder;
    std::vector<TRecordId> FView;
    std::vector<int> FPosOf;
};
