#pragma once
// Entry points: the format of a packet from its content, reading into a sink, writing from a
// source. Saving to a user's file goes through the platform's atomic writer with these bytes.

#include "platform/client/PacketSink.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

enum TPacketFormat { pfBinary, pfXml, pfXmlUtf8 };

// What the first bytes say: the binary magic, the very old binary magic, or else XML.
enum TPacketContent { pcoBinary, pcoOldBinary, pcoXml };
TPacketContent DetectPacketContent(const char* data, qsizetype size);

// Raises EPacketError for damaged or unreadable content.
void ReadPacket(const char* data, qsizetype size, IPacketSink& sink);
void ReadPacket(const QByteArray& bytes, IPacketSink& sink);
// The file is mapped (or read) whole; EPacketError names the file.
void ReadPacketFile(const QString& fileName, IPacketSink& sink);
TPacketMetadata ReadPacketMetadata(const char* data, qsizetype size);

QByteArray WritePacket(IPacketSource& source, TPacketFormat format);
// Writes the whole packet to the device; raises EPacketError when the device fails.
void WritePacket(IPacketSource& source, TPacketFormat format, QIODevice& device);
