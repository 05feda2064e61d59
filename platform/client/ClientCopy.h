#pragma once
// A whole-file rewrite with another structure: the packet of a target dataset's structure whose
// rows are a source dataset's records, produced straight into a packet writer, so that nothing
// of the new file is built in memory. Each target field takes the value of its paired source
// field: cell to cell where both keep the value alike (same type, layout and code page, and a
// value that fits), otherwise through the fields as assigning one to the other would do, on the
// target's edit buffer (the caller says how, e.g. what a value that does not fit becomes).

#include "platform/client/PacketSink.h"

#include <functional>
#include <utility>
#include <vector>

class TClientDataSet;
class TField;

class TRecordCopySource : public IPacketSource {
public:
    using TPair = std::pair<TField*, TField*>;     // target field, source field
    // target: open and empty, created here (no file), without nested or auto-increment fields;
    // source: open at its top level. The target is put into insert state while producing.
    TRecordCopySource(TClientDataSet& source, TClientDataSet& target, std::vector<TPair> pairs);

    // Whether a target can be written this way (see above); else append and post.
    static bool Supports(const TClientDataSet& target);

    // Gives `to` (the target's field, in insert state) the value of `from` (the source's field,
    // on the record being copied) for values that do not go cell to cell.
    std::function<void(TField* to, TField* from)> Assign;
    // Called every few thousand records with the number done.
    std::function<void(qint64 done)> Progress;

    void Produce(IPacketSink& sink) override;
    qint64 RowsProduced() const { return FRows; }

private:
    TClientDataSet& FSource;
    TClientDataSet& FTarget;
    std::vector<TPair> FPairs;
    qint64 FRows = 0;
};
