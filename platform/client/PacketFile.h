#pragma once
// Entry points: the format of a packet from its content, reading into a sink, writing from a
// source, and saving a user's file atomically.

#include "platform/client/PacketSink.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

enum TPacketFormat { pfBinary, pfXml, pfXmlUtf8 };

// What the first bytes say: the binary magic, the very old binary magic, or else XML.
enum TPacketContent { pcoBinary, pcoOldBinary, pcoXml };
TPacketContent DetectPacketContent(const char* data, qsizetype size);
// True when the first bytes are those of a data packet this engine writes: the binary magic
// or the start of an XML declaration. (The reader takes anything else for XML and reports it.)
bool HasPacketSignature(const char* data, qsizetype size);

// Raises EPacketError for damaged or unreadable content.
void ReadPacket(const char* data, qsizetype size, IPacketSink& sink);
void ReadPacket(const QByteArray& bytes, IPacketSink& sink);
// The file is mapped (or read) whole; EPacketError names the file.
void ReadPacketFile(const QString& fileName, IPacketSink& sink);
TPacketMetadata ReadPacketMetadata(const char* data, qsizetype size);

QByteArray WritePacket(IPacketSource& source, TPacketFormat format);
// Writes the whole packet to the device; raises EPacketError when the device fails.
void WritePacket(IPacketSource& source, TPacketFormat format, QIODevice& device);

// Saves atomically through the platform's atomic writer: the whole packet is produced first,
// then written to a temporary file beside fileName that replaces it only when complete. Raises
// EPacketError for what the format cannot hold and the atomic writer's EFCreateError or
// EInOutError for what the file system refuses; in every case the old file stays as it was.
void SavePacketFile(IPacketSource& source, const QString& fileName, TPacketFormat format);
