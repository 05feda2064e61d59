#pragma once
// The XML data packet writer, in both flavours (ANSI without an encoding declaration, and UTF-8).

#include "platform/client/PacketSink.h"
#include "platform/client/PacketValues.h"

#include <vector>

class TPacketXmlWriter : public IPacketSink {
public:
    explicit TPacketXmlWriter(bool utf8 = false) : FUtf8(utf8) {}
    void BeginPacket(const TPacketMetadata& meta, qint64 rowCountHint) override;
    void BeginRow(int level, quint8 status) override;
    void Cell(int column, const TPacketCell& cell) override;
    void EndNested(int column) override;
    void EndRow() override;
    void EndPacket() override;
    // XML keeps "not changed" only for blobs and nested tables of modified rows (and any column
    // of a modified row in a delta packet): an absent value means NULL everywhere else. A reader
    // feeding this writer directly passes the rest on as NULL; a document resolves them first.
    bool CanCarryNotChanged(int level, int column, quint8 status) const override;
    QByteArray TakeBytes() { return FOut.Take(); }
    // Streams the packet into the drain as it is made (call before BeginPacket); Finish hands
    // over the rest after EndPacket.
    void StreamTo(IPacketDrain* drain) { FOut.SetDrain(drain); }
    void Finish() { FOut.Finish(); }

private:
    enum TTextKind : quint8 { xtNumber, xtAnsi, xtWide, xtBase64, xtNested, xtBcd, xtBoolean };
    struct TColumnInfo {
        QByteArray Name;
        bool AsElement = false;     // written as a child element (fields after a nested field)
        TTextKind Text = xtNumber;
    };
    struct TLevelInfo {
        std::vector<TColumnInfo> Columns;
        QByteArray RowTag;          // "ROW", or "ROW" + the nested field's name
    };
    struct TOpenRow {
        int Level;
        bool TagClosed;
        int NextColumn;
        quint8 Status;
    };
    void WriteFields(const std::vector<TPacketFieldDesc>& fields);
    void WriteField(const TPacketFieldDesc& f, const QByteArray& xmlName);
    void WriteParams(const TPacketParams& params);
    void WriteParamElement(const TPacketParam& p);
    void BuildLevels();
    void AppendAnsi(const char* data, qsizetype size);
    void AppendWide(const char* utf16le, qsizetype bytes);
    void AppendValue(const TPacketColumn& col, const TColumnInfo& info, const TPacketCell& cell);
    void CloseTag(TOpenRow& row);
    [[noreturn]] void Fail(const QString& msg) const;

    bool FUtf8;
    int FCodePage = 1252;
    bool FSingleByte = true;
    bool FDelta = false;
    const TPacketMetadata* FMeta = nullptr;
    TPacketBuffer FOut;
    std::vector<TLevelInfo> FLevels;
    std::vector<TOpenRow> FRows;
};
