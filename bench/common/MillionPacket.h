#pragma once
// The packet the speed benchmarks share: 1,000,000 records of ten fields (integers, strings of
// about twenty characters, dates, time stamps, floats, a Boolean), made row by row straight into
// a packet writer.

#include "platform/client/PacketFile.h"
#include "platform/client/PacketValues.h"

#include <QByteArray>
#include <cstdio>
#include <cstring>

namespace MillionPacket {

constexpr qint64 Rows = 1000000;

inline TPacketMetadata TenFields()
{
    using namespace PacketTypeWord;
    auto field = [](const char* name, quint32 type, int width = -1) {
        TPacketFieldDesc f;
        f.Name = name;
        f.TypeWord = type;
        if (width >= 0) f.Params.Set(TPacketParam::MakeInt("WIDTH", UInt16, width));
        return f;
    };
    TPacketMetadata m;
    m.Fields = {field("ID", Int32), field("Name", 0x00490001, 30), field("City", 0x00490001, 20),
                field("Amount", Double), field("Qty", Int16), field("Created", Make(ptcTimeStamp, 8)),
                field("Birth", Make(ptcDate, 4)), field("Active", Boolean), field("Code", Int64),
                field("Note", 0x00490001, 60)};
    m.Params.Set(TPacketParam::MakeInt("LCID", Int32, 1033));
    m.Prepare();
    return m;
}

// scrambled: the IDs (1 .. rows) in another order, so that lookups by ID jump about.
class TSource : public IPacketSource {
public:
    explicit TSource(qint64 rows = Rows, bool scrambled = false) : FRows(rows), FScrambled(scrambled) {}
    void Produce(IPacketSink& sink) override
    {
        static const char* const names[] = {"Anderson Silva", "Bernardes Costa", "Carvalho Pinto", "Dominguez Ruiz",
                                            "Eriksson Lund", "Fontaine Marc"};
        static const char* const cities[] = {"Lisboa", "Porto", "Amsterdam", "Rio de Janeiro", "Montreal"};
        const TPacketMetadata meta = TenFields();
        sink.BeginPacket(meta, FRows);
        char name[64], note[64];
        for (qint64 r = 0; r < FRows; ++r) {
            sink.BeginRow(0, 0);
            const int n = std::snprintf(name, sizeof name, "%s %lld", names[r % 6], (long long)(r % 10000));
            const char* city = cities[r % 5];
            sink.Cell(0, TPacketCell::OfInt(pkInt32, (FScrambled ? r * 7919 % FRows : r) + 1));
            sink.Cell(1, TPacketCell::OfBytes(pkAnsiString, name, n));
            sink.Cell(2, TPacketCell::OfBytes(pkAnsiString, city, qsizetype(std::strlen(city))));
            sink.Cell(3, TPacketCell::OfFloat(pkDouble, double(r % 100000) / 100.0 + 0.25));
            sink.Cell(4, TPacketCell::OfInt(pkInt16, r % 1000));
            sink.Cell(5, TPacketCell::OfFloat(pkTimeStamp, (730000.0 + double(r % 3650)) * 86400000.0 + double(r % 86400) * 1000.0));
            sink.Cell(6, TPacketCell::OfInt(pkDate, 700000 + r % 20000));
            sink.Cell(7, TPacketCell::OfInt(pkBoolean, r & 1));
            sink.Cell(8, TPacketCell::OfInt(pkInt64, r * 7919));
            if (r % 4 == 0) {
                sink.Cell(9, TPacketCell::Null(pkAnsiString));
            } else {
                const int k = std::snprintf(note, sizeof note, "Customer note %lld", (long long)r);
                sink.Cell(9, TPacketCell::OfBytes(pkAnsiString, note, k));
            }
            sink.EndRow();
        }
        sink.EndPacket();
    }

private:
    qint64 FRows;
    bool FScrambled;
};

inline QByteArray Bytes(TPacketFormat format, qint64 rows = Rows, bool scrambled = false)
{
    TSource source(rows, scrambled);
    return WritePacket(source, format);
}

} // namespace MillionPacket
