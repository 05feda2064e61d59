#pragma once
// Entry points: the format of a packet from its content, reading into a sink, writing from a
// source, and saving a user's file atomically.

#include "platform/client/PacketSink.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>

enum TPacketFormat { pfBinary, pfXml, pfXmlUtf8 };

// What the first bytes say: the binary magic, the very old binary magic, or else XML.
enum TPacketContent { pcoBinary, pcoOldBinary, pcoXml };
TPacketContent DetectPacketContent(const char* data, qsizetype size);
// True when the first bytes are those of a data packet this engine writes: the binary magic
// or the start of an XML declaration. (The reader takes anything else for XML and reports it.)
bool HasPacketSignature(const char* data, qsizetype size);

// A file's bytes for reading a packet: mapped read-only with its pages loaded at once, or read
// where the file cannot be mapped. Raises EPacketError naming the file when it cannot be read.
class TPacketFileBytes {
public:
    explicit TPacketFileBytes(const QString& fileName);
    ~TPacketFileBytes();
    TPacketFileBytes(const TPacketFileBytes&) = delete;
    TPacketFileBytes& operator=(const TPacketFileBytes&) = delete;
    const char* Data() const { return FData; }
    qsizetype Size() const { return FSize; }
    const QString& FileName() const { return FFileName; }
    // Runs read over the bytes. Should the file shrink meanwhile (another program truncating
    // it), touching a mapped page that is gone raises EPacketError instead of ending the
    // program (what read had allocated by then is not freed: a rare loss, and no crash).
    void Read(const std::function<void()>& read) const;

private:
    QString FFileName;
    const char* FData = nullptr;
    qsizetype FSize = 0;
    void* FMapped = nullptr;
    QByteArray FCopy;
};

// Raises EPacketError for damaged or unreadable content.
void ReadPacket(const char* data, qsizetype size, IPacketSink& sink);
void ReadPacket(const QByteArray& bytes, IPacketSink& sink);
// The file is mapped (or read) whole; EPacketError names the file.
void ReadPacketFile(const QString& fileName, IPacketSink& sink);
TPacketMetadata ReadPacketMetadata(const char* data, qsizetype size);

QByteArray WritePacket(IPacketSource& source, TPacketFormat format);
// Writes the whole packet to the device; raises EPacketError when the device fails.
void WritePacket(IPacketSource& source, TPacketFormat format, QIODevice& device);

// Saves atomically through the platform's atomic writer: the packet streams into a temporary
// file beside fileName as it is produced, which replaces the file only when complete. Raises
// EPacketError for what the format cannot hold and the atomic writer's EFCreateError or
// EInOutError for what the file system refuses; in every case the old file stays as it was.
void SavePacketFile(IPacketSource& source, const QString& fileName, TPacketFormat format);
