#pragma once
// The binary data packet (first bytes 96 19 E0 BD): a streaming reader and a writer.

#include "platform/client/PacketSink.h"
#include "platform/client/PacketValues.h"

#include <vector>

constexpr quint32 PacketBinaryMagic = 0xBDE01996u;
constexpr quint32 PacketOldBinaryMagic = 0x0000ABCDu;

// Reads a whole binary packet into the sink; raises EPacketError for anything damaged, before or
// while rows are delivered.
void ReadBinaryPacket(const char* data, qsizetype size, IPacketSink& sink);
// Reads the metadata only (the rows are not looked at); rowsOffset: where the first row starts.
TPacketMetadata ReadBinaryPacketMetadata(const char* data, qsizetype size, qint64* rowCount = nullptr,
                                         qint64* rowsOffset = nullptr);

// Rows left in place. The scan walks the count rows of a packet without nested tables from
// offset as a reader would, without decoding a value, and notes where every `every`th row
// starts; it answers false for damage or for a row that is not plain current data (status 0),
// which a full read then reports or takes. ReadBinaryRows hands count rows from offset to the
// sink (BeginRow .. EndRow each), as ReadBinaryPacket does.
bool ScanBinaryRows(const char* data, qsizetype size, const TPacketMetadata& meta, qint64 offset, quint32 count,
                    quint32 every, std::vector<qint64>& starts);
void ReadBinaryRows(const char* data, qsizetype size, const TPacketMetadata& meta, qint64 offset, quint32 count,
                    IPacketSink& sink);

// Writes the packet it receives as a sink. Counts are patched when the rows have been seen, so
// the hints need not be exact.
class TPacketBinaryWriter : public IPacketSink {
public:
    TPacketBinaryWriter() = default;
    void BeginPacket(const TPacketMetadata& meta, qint64 rowCountHint) override;
    void BeginRow(int level, quint8 status) override;
    void Cell(int column, const TPacketCell& cell) override;
    void EndNested(int column) override;
    void EndRow() override;
    void EndPacket() override;
    // The bytes written; valid after EndPacket.
    QByteArray TakeBytes() { return FOut.Take(); }
    // Streams the packet into the drain as it is made (call before BeginPacket); Finish hands
    // over the rest after EndPacket.
    void StreamTo(IPacketDrain* drain) { FOut.SetDrain(drain); }
    void Finish() { FOut.Finish(); }

private:
    struct TRow {
        const TPacketLevel* Level;
        char* Bitmap;
        int NextColumn;
    };
    struct TTable {
        int Level;
        char* Count;            // the header's row count for the top level
        quint32 Rows;
    };
    void WriteFields(const std::vector<TPacketFieldDesc>& fields);
    void WriteDescriptor(const TPacketFieldDesc& f);
    void WriteParams(const TPacketParams& params);
    void WriteParam(const TPacketParam& p);
    void WriteName(const QByteArray& name, const char* what);
    void WritePrefixed(const TPacketColumn& col, const char* data, qsizetype size);
    [[noreturn]] void Fail(const QString& msg) const;

    void PatchLE(qint64 offset, quint64 v, int size);

    TPacketBuffer FOut;
    qint64 FHeaderAt = 0;
    qint64 FBaseHold = -1;      // held from here to the end: the row count is not known
    quint32 FRowsWritten = 0;   // the row count the header holds
    const TPacketMetadata* FMeta = nullptr;
    std::vector<TRow> FRows;
    std::vector<TTable> FTables;
};
