// libFuzzer target for the XML packet reader alone: any input must load or raise EPacketError,
// and what loads must write back and load again.

#include "platform/client/PacketBinary.h"
#include "platform/client/PacketDocument.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketFile.h"
#include "platform/client/PacketXml.h"
#include "platform/client/PacketXmlReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TPacketDocument doc;
    try {
        ReadXmlPacket(reinterpret_cast<const char*>(data), qsizetype(size), doc);
    } catch (const EPacketError&) {
        return 0;
    }
    for (TPacketFormat f : {pfXml, pfXmlUtf8, pfBinary}) {
        QByteArray out;
        try {
            out = WritePacket(doc, f);
        } catch (const EPacketError&) {
            continue;   // values the format cannot hold
        }
        TPacketDocument again;
        try {
            ReadPacket(out, again);
        } catch (const EPacketError& e) {
            fprintf(stderr, "what the writer wrote does not read: %s\n", e.what());
            std::abort();
        }
    }
    return 0;
}
