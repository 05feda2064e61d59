#pragma once
// The XML data packet reader: a streaming reader over the file's bytes.

#include "platform/client/PacketSink.h"

// Reads a whole XML packet into the sink; raises EPacketError for damaged XML or values.
void ReadXmlPacket(const char* data, qsizetype size, IPacketSink& sink);
// Reads the metadata only.
TPacketMetadata ReadXmlPacketMetadata(const char* data, qsizetype size);
