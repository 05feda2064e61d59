#include "platform/client/PacketFile.h"

#include "platform/client/PacketBinary.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketXmlReader.h"
#include "platform/client/PacketXmlWriter.h"
#include "platform/core/AtomicFile.h"

#include <QFile>
#include <csetjmp>
#include <csignal>
#include <mutex>
#include <sys/mman.h>

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

TPacketFileBytes::TPacketFileBytes(const QString& fileName) : FFileName(fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EPacketError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    const qint64 size = file.size();
    if (size <= 0) return;
    // Every page is read at once by the system (one call instead of a fault per page).
    void* p = ::mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.handle(), 0);
    if (p != MAP_FAILED) {
        FMapped = p;
        FData = static_cast<const char*>(p);
        FSize = size;
        return;
    }
    FCopy = file.readAll();
    if (FCopy.size() != size)
        throw EPacketError(QStringLiteral("Cannot read file \"%1\": %2").arg(fileName, file.errorString()));
    FData = FCopy.constData();
    FSize = FCopy.size();
}

TPacketFileBytes::~TPacketFileBytes()
{
    if (FMapped) ::munmap(FMapped, size_t(FSize));
}

namespace {

// A read of mapped bytes in progress on this thread: where a bus error returns to.
thread_local sigjmp_buf* GMappedRead = nullptr;
struct sigaction GPreviousBusAction;

void OnBusError(int sig, siginfo_t* info, void* context)
{
    if (GMappedRead) siglongjmp(*GMappedRead, 1);
    // Not ours: whatever handled the signal before does.
    if (GPreviousBusAction.sa_flags & SA_SIGINFO) {
        if (GPreviousBusAction.sa_sigaction) GPreviousBusAction.sa_sigaction(sig, info, context);
        return;
    }
    if (GPreviousBusAction.sa_handler == SIG_IGN) return;
    if (GPreviousBusAction.sa_handler != SIG_DFL) {
        GPreviousBusAction.sa_handler(sig);
        return;
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

void InstallBusHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &GPreviousBusAction);
    });
}

} // namespace

void TPacketFileBytes::Read(const std::function<void()>& read) const
{
    if (!FMapped) {
        read();
        return;
    }
    InstallBusHandler();
    sigjmp_buf here;
    sigjmp_buf* const outer = GMappedRead;
    if (sigsetjmp(here, 1) != 0) {
        GMappedRead = outer;
        PacketError(QStringLiteral("the file became shorter while it was open"));
    }
    GMappedRead = &here;
    try {
        read();
    } catch (...) {
        GMappedRead = outer;
        throw;
    }
    GMappedRead = outer;
}

void ReadPacketFile(const QString& fileName, IPacketSink& sink)
{
    const TPacketFileBytes bytes(fileName);
    try {
        bytes.Read([&] { ReadPacket(bytes.Data(), bytes.Size(), sink); });
    } catch (const EPacketError& e) {
        throw EPacketError(QStringLiteral("%1: %2").arg(fileName, e.Message()), e.Offset);
    }
}

namespace {

class TAtomicDrain : public IPacketDrain {
public:
    explicit TAtomicDrain(TAtomicFileWriter& file) : FFile(file) {}
    void Write(const char* data, qsizetype size) override { FFile.Write(data, size); }
    void Patch(qint64 offset, const char* data, qsizetype size) override { FFile.Patch(offset, data, size); }

private:
    TAtomicFileWriter& FFile;
};

// A device that can seek: bytes go out as they are made.
class TDeviceDrain : public IPacketDrain {
public:
    explicit TDeviceDrain(QIODevice& device) : FDevice(device), FStart(device.pos()) {}
    void Write(const char* data, qsizetype size) override
    {
        qsizetype done = 0;
        while (done < size) {
            const qint64 n = FDevice.write(data + done, size - done);
            if (n <= 0) Fail();
            done += n;
        }
    }
    void Patch(qint64 offset, const char* data, qsizetype size) override
    {
        const qint64 end = FDevice.pos();
        if (!FDevice.seek(FStart + offset)) Fail();
        Write(data, size);
        if (!FDevice.seek(end)) Fail();
    }
    [[noreturn]] void Fail() { PacketError(QStringLiteral("Cannot write the data packet: %1").arg(FDevice.errorString())); }

private:
    QIODevice& FDevice;
    qint64 FStart;
};

// Produces the packet into the writer of the format, streaming into the drain when one is
// given (else the writer keeps the packet), and hands the writer to take.
template <typename F> void ProduceWith(IPacketSource& source, TPacketFormat format, IPacketDrain* drain, F take)
{
    if (format == pfBinary) {
        TPacketBinaryWriter writer;
        writer.StreamTo(drain);
        source.Produce(writer);
        writer.Finish();
        take(writer);
    } else {
        TPacketXmlWriter writer(format == pfXmlUtf8);
        writer.StreamTo(drain);
        source.Produce(writer);
        writer.Finish();
        take(writer);
    }
}

} // namespace

QByteArray WritePacket(IPacketSource& source, TPacketFormat format)
{
    QByteArray bytes;
    ProduceWith(source, format, nullptr, [&](auto& writer) { bytes = writer.TakeBytes(); });
    return bytes;
}

void WritePacket(IPacketSource& source, TPacketFormat format, QIODevice& device)
{
    if (!device.isSequential()) {
        TDeviceDrain drain(device);
        ProduceWith(source, format, &drain, [](auto&) {});
        return;
    }
    QByteArray bytes;
    ProduceWith(source, format, nullptr, [&](auto& writer) { bytes = writer.TakeBytes(); });
    TDeviceDrain(device).Write(bytes.constData(), bytes.size());
}

void SavePacketFile(IPacketSource& source, const QString& fileName, TPacketFormat format)
{
    TAtomicFileWriter file(fileName);
    TAtomicDrain drain(file);
    ProduceWith(source, format, &drain, [](auto&) {});
    file.Commit();
}
