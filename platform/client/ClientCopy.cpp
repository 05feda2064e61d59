#include "platform/client/ClientCopy.h"

#include "platform/client/ClientDataSet.h"
#include "platform/client/ClientPacket.h"

#include <cmath>

namespace {

// Day numbers of 0001-01-01 and 9999-12-31, and of the platform's day 0 (1899-12-30).
constexpr qint64 FirstDay = 1;
constexpr qint64 LastDay = 3652059;
constexpr qint64 DayZero = 693594;
constexpr qint64 DayMSecs = 86400000;

// Types whose value reads back from the field and is assigned to a field of the same type
// unchanged, so that the cell itself can travel (within the bounds CellTravels checks).
bool SameValueType(TFieldType t)
{
    switch (t) {
    case ftString: case ftWideString:
    case ftSmallint: case ftInteger: case ftWord: case ftLargeint:
    case ftBoolean: case ftFloat: case ftDate: case ftTime: case ftDateTime:
        return true;
    default:
        return false;
    }
}

} // namespace

TRecordCopySource::TRecordCopySource(TClientDataSet& source, TClientDataSet& target, std::vector<TPair> pairs)
    : FSource(source), FTarget(target), FPairs(std::move(pairs))
{
}

bool TRecordCopySource::Supports(const TClientDataSet& target)
{
    if (!target.FStore || target.FLevel != 0 || target.IsNested()) return false;
    for (const TStoreColumn& c : target.FStore->Level(0).Columns)
        if (c.Kind == pkNested) return false;
    for (const TColumnBinding& b : target.FBindings)
        if (b.Type == ftAutoInc || b.Type == ftDataSet) return false;
    return true;
}

void TRecordCopySource::Produce(IPacketSink& sink)
{
    TRecordStore& from = *FSource.FStore;
    TRecordStore& to = *FTarget.FStore;
    const TStoreLevel& slv = from.Level(FSource.FLevel);
    const TStoreLevel& tlv = to.Level(0);

    // The plan: for each target column, where its value comes from and how.
    struct TColumnPlan {
        TField* To = nullptr;
        TField* From = nullptr;
        TColumnBinding Target;
        int SourceColumn = -1;
        bool Cell = false;      // cell to cell, when the value passes CellTravels
    };
    std::vector<TColumnPlan> plan(tlv.Columns.size());
    for (const TPair& p : FPairs) {
        const TColumnBinding* tb = FTarget.Binding(p.first);
        const TColumnBinding* sb = FSource.Binding(p.second);
        if (!tb || !sb) continue;
        TColumnPlan& c = plan[size_t(tb->Column)];
        c.To = p.first;
        c.From = p.second;
        c.Target = *tb;
        c.Target.Type = p.first->DataType();
        c.SourceColumn = sb->Column;
        const TStoreColumn& tc = tlv.Columns[size_t(tb->Column)];
        const TStoreColumn& sc = slv.Columns[size_t(sb->Column)];
        c.Cell = p.first->DataType() == p.second->DataType() && SameValueType(p.first->DataType())
                 && tc.Kind == sc.Kind && tc.PacketSize == sc.PacketSize && tc.Bytes == sc.Bytes
                 && (tc.Kind != pkAnsiString || tb->CodePage == sb->CodePage);
    }
    // Whether a value is one the fields would hand on unchanged.
    auto cellTravels = [&](const TColumnPlan& c, const char* block) {
        const TStoreColumn& sc = slv.Columns[size_t(c.SourceColumn)];
        const char* p = block + sc.Offset;
        switch (sc.Kind) {
        case pkAnsiString: case pkWideString: {
            qsizetype n = 0;
            from.BytesView(slv, block, c.SourceColumn, n);
            const qsizetype chars = sc.Kind == pkWideString ? n / 2 : n;
            return n > 0 && (c.To->Size() <= 0 || chars <= c.To->Size());
        }
        case pkDate: {
            qint32 day;
            std::memcpy(&day, p, 4);
            return day >= FirstDay && day <= LastDay;
        }
        case pkTime: {
            qint32 ms;
            std::memcpy(&ms, p, 4);
            return ms >= 0 && ms < DayMSecs;
        }
        case pkTimeStamp: {
            double ms;
            std::memcpy(&ms, p, 8);
            return ms >= double(DayZero) * DayMSecs && ms <= double(LastDay + 1) * DayMSecs && ms == std::floor(ms);
        }
        default:
            return true;
        }
    };

    const TPacketMetadata& meta = to.Metadata();
    struct TRestore {
        TClientDataSet& Source;
        TClientDataSet& Target;
        ~TRestore()
        {
            if (Target.State() == dsInsert) Target.Cancel();
            Source.EnableControls();
        }
    } restore{FSource, FTarget};
    FSource.DisableControls();
    FTarget.Append();
    TEditBuffer& buffer = FTarget.EditBuffer();
    std::vector<char> scratch(size_t(tlv.SlotSize));
    FRows = 0;
    sink.BeginPacket(meta, FSource.RecordCount());
    for (FSource.First(); !FSource.Eof(); FSource.Next()) {
        const TSlotNo slot = FSource.SlotOf(FSource.CurrentRecord());
        if (!slot) continue;
        const TByteHeap::TMark mark = to.Heap().Mark();
        tlv.InitBlock(scratch.data());
        sink.BeginRow(0, 0);
        for (int col = 0; col < int(plan.size()); ++col) {
            const TColumnPlan& c = plan[size_t(col)];
            const TPacketValueKind kind = tlv.Columns[size_t(col)].Kind;
            if (!c.To) {
                sink.Cell(col, TPacketCell::Null(kind));
                continue;
            }
            if (c.Cell) {
                const char* block = from.CellBlock(slv, slot, c.SourceColumn);
                if (!block) {
                    sink.Cell(col, TPacketCell::Null(kind));
                    continue;
                }
                if (cellTravels(c, block)) {
                    sink.Cell(col, ValueCell(from, slv, block, c.SourceColumn));
                    continue;
                }
            }
            Assign(c.To, c.From);
            if (!buffer.IsAssigned(c.To)) {
                sink.Cell(col, TPacketCell::Null(kind));
                continue;
            }
            try {
                WriteCell(to, tlv, scratch.data(), c.Target, buffer.Value(c.To));
            } catch (const EDatabaseError&) {
                throw;
            } catch (const Exception& e) {
                DatabaseErrorFmt(QStringLiteral("Field '%s': %s"), {c.To->DisplayName(), e.Message()}, &FTarget);
            }
            buffer.Unassign(c.To);
            sink.Cell(col, tlv.State(scratch.data(), col) == csValue ? ValueCell(to, tlv, scratch.data(), col) : TPacketCell::Null(kind));
        }
        sink.EndRow();
        to.Heap().Rollback(mark);
        if ((++FRows & 4095) == 0 && Progress) Progress(FRows);
    }
    sink.EndPacket();
    if (Progress) Progress(FRows);
}
