// libFuzzer target for both packet readers: any input must load or raise EPacketError, and what
// loads must write back in every format and load again.

#include "platform/client/PacketBinary.h"
#include "platform/client/PacketDocument.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketFile.h"
#include "platform/client/PacketXmlReader.h"
#include "platform/client/PacketXmlWriter.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool loaded, TPacketDocument& doc)
{
    if (!loaded) return;
    for (TPacketFormat f : {pfBinary, pfXml, pfXmlUtf8}) {
        QByteArray out;
        try {
            out = WritePacket(doc, f);
        } catch (const EPacketError&) {
            continue;   // values XML cannot hold
        }
        TPacketDocument again;
        try {
            ReadPacket(out, again);
        } catch (const EPacketError&) {
            std::abort();   // what we write must read back
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const qsizetype n = qsizetype(size);
    {
        TPacketDocument doc;
        bool loaded = true;
        try {
            ReadBinaryPacket(bytes, n, doc);
        } catch (const EPacketError&) {
            loaded = false;
        }
        Check(loaded, doc);
    }
    {
        TPacketDocument doc;
        bool loaded = true;
        try {
            ReadXmlPacket(bytes, n, doc);
        } catch (const EPacketError&) {
            loaded = false;
        }
        Check(loaded, doc);
    }
    try {
        ReadPacketMetadata(bytes, n);
    } catch (const EPacketError&) {
    }
    return 0;
}
