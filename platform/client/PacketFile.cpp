#include "platform/client/PacketFile.h"

#include "platform/client/PacketBinary.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketXml.h"
#include "platform/core/AtomicFile.h"

#include <QFile>

namespace {

quint32 FirstWord(const char* data, qsizetype size)
{
    if (size < 4) return 0;
    return quint32(uchar(data[0])) | (quint32(uchar(data[1])) << 8) | (quint32(uchar(data[2])) << 16) | (quint32(uchar(data[3])) << 24);
}

void CheckReadable(const char* data, qsizetype size)
{
    if (size == 0) PacketError(QStringLiteral("The file is empty"));
    if (DetectPacketContent(data, size) == pcoOldBinary)
        PacketError(QStringLiteral("The file is a data packet of a very old binary format, which cannot be read"));
}

} // namespace

TPacketContent DetectPacketContent(const char* data, qsizetype size)
{
    const quint32 w = FirstWord(data, size);
    if (w == PacketBinaryMagic) return pcoBinary;
    if (w == PacketOldBinaryMagic) return pcoOldBinary;
    return pcoXml;
}

bool HasPacketSignature(const char* data, qsizetype size)
{
    if (DetectPacketContent(data, size) == pcoBinary) return true;
    return size >= 4 && QByteArrayView(data, 4) == QByteArrayView("<?xm");
}

void ReadPacket(const char* data, qsizetype size, IPacketSink& sink)
{
    CheckReadable(data, size);
    if (DetectPacketContent(data, size) == pcoBinary) ReadBinaryPacket(data, size, sink);
    else ReadXmlPacket(data, size, sink);
}

void ReadPacket(const QByteArray& bytes, IPacketSink& sink)
{
    ReadPacket(bytes.constData(), bytes.size(), sink);
}

TPacketMetadata ReadPacketMetadata(const char* data, qsizetype size)
{
    CheckReadable(data, size);
    if (DetectPacketContent(data, size) == pcoBinary) return ReadBinaryPacketMetadata(data, size);
    return ReadXmlPacketMetadata(data, size);
}

void ReadPacketFile(const QString& fileName, IPacketSink& sink)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EPacketError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    const qint64 size = file.size();
    try {
        if (size == 0) {
            ReadPacket(nullptr, 0, sink);
        } else if (const uchar* mapped = file.map(0, size)) {
            ReadPacket(reinterpret_cast<const char*>(mapped), size, sink);
        } else {
            const QByteArray bytes = file.readAll();
            if (bytes.size() != size)
                throw EPacketError(QStringLiteral("Cannot read file \"%1\": %2").arg(fileName, file.errorString()));
            ReadPacket(bytes, sink);
        }
    } catch (const EPacketError& e) {
        throw EPacketError(QStringLiteral("%1: %2").arg(fileName, e.Message()), e.Offset);
    }
}

namespace {

// Produces the packet into the writer of the format and hands the writer to take.
template <typename F> void ProduceWith(IPacketSource& source, TPacketFormat format, F take)
{
    if (format == pfBinary) {
        TPacketBinaryWriter writer;
        source.Produce(writer);
        take(writer);
    } else {
        TPacketXmlWriter writer(format == pfXmlUtf8);
        source.Produce(writer);
        take(writer);
    }
}

} // namespace

QByteArray WritePacket(IPacketSource& source, TPacketFormat format)
{
    QByteArray bytes;
    ProduceWith(source, format, [&](auto& writer) { bytes = writer.TakeBytes(); });
    return bytes;
}

void WritePacket(IPacketSource& source, TPacketFormat format, QIODevice& device)
{
    bool ok = false;
    ProduceWith(source, format, [&](auto& writer) { ok = writer.TakeTo(device); });
    if (!ok) PacketError(QStringLiteral("Cannot write the data packet: %1").arg(device.errorString()));
}

void SavePacketFile(IPacketSource& source, const QString& fileName, TPacketFormat format)
{
    ProduceWith(source, format, [&](auto& writer) {
        TAtomicFileWriter file(fileName);
        writer.TakeEach([&](const char* data, qsizetype size) { file.Write(data, size); });
        file.Commit();
    });
}
