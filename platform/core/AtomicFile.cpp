#include "platform/core/AtomicFile.h"

#include "platform/core/SysUtils.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>
#include <unistd.h>

namespace {
constexpr qint64 BufferSize = 64 * 1024;
constexpr int MaxLinkDepth = 40;

qint64 GInjectedAfter = -1;
int GInjectedError = 0;

QByteArray DirOf(const QByteArray& path)
{
    int slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    if (slash == 0) return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray BaseOf(const QByteArray& path)
{
    int slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.mid(slash + 1);
}

mode_t CurrentUmask()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

void SyncFolder(const QByteArray& dir)
{
    // Makes the rename itself durable. Best effort: the new contents are already in place,
    // and some file systems cannot sync a folder.
    int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

QString CreateMessage(const QString& fileName, int err)
{
    return Format(QStringLiteral("Cannot create file %s: %s"), {fileName, SysErrorMessage(err)});
}
} // namespace

TAtomicFileWriter::TAtomicFileWriter(const QString& fileName) : FFileName(fileName)
{
    QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty()) throw EFCreateError(CreateMessage(fileName, ENOENT), ENOENT);

    struct stat st {};
    bool exists = false;
    for (int depth = 0;; ++depth) {
        if (::lstat(path.constData(), &st) != 0) {
            int err = errno;
            if (err != ENOENT) throw EFCreateError(CreateMessage(fileName, err), err);
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            break;
        }
        if (depth >= MaxLinkDepth) throw EFCreateError(CreateMessage(fileName, ELOOP), ELOOP);
        char link[PATH_MAX];
        ssize_t n = ::readlink(path.constData(), link, sizeof(link) - 1);
        if (n < 0) {
            int err = errno;
            throw EFCreateError(CreateMessage(fileName, err), err);
        }
        QByteArray target(link, int(n));
        path = target.startsWith('/') ? target : DirOf(path) + '/' + target;
    }
    if (exists) {
        if (S_ISDIR(st.st_mode)) throw EFCreateError(CreateMessage(fileName, EISDIR), EISDIR);
        if (!S_ISREG(st.st_mode))
            throw EFCreateError(Format(QStringLiteral("Cannot create file %s: not a regular file"), {fileName}), EINVAL);
        FHasOldMode = true;
        FOldMode = st.st_mode & 07777;
        FOldUid = st.st_uid;
        FOldGid = st.st_gid;
    }
    FTarget = QFile::decodeName(path);

    QByteArray tmpl = DirOf(path) + "/." + BaseOf(path) + ".XXXXXX";
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        throw EFCreateError(CreateMessage(fileName, err), err);
    }
    FFd = fd;
    FTemp = QFile::decodeName(tmpl);
    FFailAfter = GInjectedAfter;
    FFailError = GInjectedError;
    FBuffer.resize(BufferSize);
}

TAtomicFileWriter::~TAtomicFileWriter()
{
    if (!FCommitted) Discard();
}

void TAtomicFileWriter::InjectWriteFailure(qint64 afterBytes, int errorCode)
{
    GInjectedAfter = afterBytes < 0 ? -1 : afterBytes;
    GInjectedError = errorCode;
}

void TAtomicFileWriter::Discard()
{
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
        ::unlink(QFile::encodeName(FTemp).constData());
    }
    FBufferUsed = 0;
}

void TAtomicFileWriter::Fail(const QString& what, int errorCode)
{
    Discard();
    throw EInOutError(Format(QStringLiteral("%s %s: %s"), {what, FFileName, SysErrorMessage(errorCode)}), errorCode);
}

void TAtomicFileWriter::WriteRaw(const char* data, qint64 size)
{
    while (size > 0) {
        qint64 chunk = size;
        if (FFailAfter >= 0) {
            chunk = std::min(chunk, FFailAfter - FWritten);
            if (chunk <= 0) Fail(QStringLiteral("Cannot write file"), FFailError);
        }
        ssize_t n = ::write(FFd, data, size_t(chunk));
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(QStringLiteral("Cannot write file"), errno);
        }
        if (n == 0) Fail(QStringLiteral("Cannot write file"), ENOSPC);
        data += n;
        size -= n;
        FWritten += n;
    }
}

void TAtomicFileWriter::FlushBuffer()
{
    if (FBufferUsed == 0) return;
    qint64 used = FBufferUsed;
    FBufferUsed = 0;
    WriteRaw(FBuffer.constData(), used);
}

void TAtomicFileWriter::Write(const char* data, qint64 size)
{
    if (FFd < 0) Fail(QStringLiteral("Cannot write file"), EBADF);
    if (size <= 0) return;
    if (FBufferUsed + size <= BufferSize) {
        std::memcpy(FBuffer.data() + FBufferUsed, data, size_t(size));
        FBufferUsed += size;
        return;
    }
    FlushBuffer();
    if (size >= BufferSize) {
        WriteRaw(data, size);
        return;
    }
    std::memcpy(FBuffer.data(), data, size_t(size));
    FBufferUsed = size;
}

void TAtomicFileWriter::Patch(qint64 offset, const char* data, qint64 size)
{
    if (FFd < 0) Fail(QStringLiteral("Cannot write file"), EBADF);
    if (offset < 0 || size < 0 || offset + size > BytesWritten()) Fail(QStringLiteral("Cannot write file"), EINVAL);
    // The part still in the buffer is patched there, the rest in the file.
    while (size > 0 && offset < FWritten) {
        const qint64 part = std::min(size, FWritten - offset);
        const ssize_t n = ::pwrite(FFd, data, size_t(part), off_t(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(QStringLiteral("Cannot write file"), errno);
        }
        if (n == 0) Fail(QStringLiteral("Cannot write file"), ENOSPC);
        offset += n;
        data += n;
        size -= n;
    }
    if (size > 0) std::memcpy(FBuffer.data() + (offset - FWritten), data, size_t(size));
}

void TAtomicFileWriter::SetModificationTime(qint64 secs, qint64 nsecs)
{
    FHasTime = true;
    FTimeSecs = secs;
    FTimeNsecs = nsecs;
}

void TAtomicFileWriter::Commit()
{
    if (FFd < 0) Fail(QStringLiteral("Cannot write file"), EBADF);
    FlushBuffer();
    if (FHasTime) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(FTimeSecs), long(FTimeNsecs)}};
        if (::futimens(FFd, times) != 0) Fail(QStringLiteral("Cannot write file"), errno);
    }
    if (::fsync(FFd) != 0) Fail(QStringLiteral("Cannot write file"), errno);
    if (FHasOldMode) {
        // Ownership first: changing the owner may clear set-id bits that fchmod then restores.
        if (::fchown(FFd, FOldUid, FOldGid) != 0) { /* not ours to give away: keep our own */ }
        if (::fchmod(FFd, FOldMode) != 0) Fail(QStringLiteral("Cannot write file"), errno);
    } else if (::fchmod(FFd, 0666 & ~CurrentUmask()) != 0) {
        Fail(QStringLiteral("Cannot write file"), errno);
    }
    int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(QFile::encodeName(FTemp).constData());
        Fail(QStringLiteral("Cannot write file"), err);
    }
    QByteArray temp = QFile::encodeName(FTemp);
    QByteArray target = QFile::encodeName(FTarget);
    if (::rename(temp.constData(), target.constData()) != 0) {
        int err = errno;
        ::unlink(temp.constData());
        Fail(QStringLiteral("Cannot write file"), err);
    }
    FCommitted = true;
    SyncFolder(DirOf(target));
}

void AtomicWriteFile(const QString& fileName, const QByteArray& bytes)
{
    TAtomicFileWriter writer(fileName);
    writer.Write(bytes);
    writer.Commit();
}

TAtomicFileDevice::TAtomicFileDevice(const QString& fileName) : FWriter(fileName)
{
    open(QIODevice::WriteOnly);
}

qint64 TAtomicFileDevice::writeData(const char* data, qint64 size)
{
    FWriter.Write(data, size);
    return size;
}

TFileStamp FileStamp(const QString& fileName)
{
    TFileStamp stamp;
    struct stat st;
    if (fileName.isEmpty() || ::stat(QFile::encodeName(fileName).constData(), &st) != 0) return stamp;
    stamp.Exists = true;
    stamp.Device = quint64(st.st_dev);
    stamp.Inode = quint64(st.st_ino);
    stamp.Size = qint64(st.st_size);
    stamp.ModifiedSecs = qint64(st.st_mtim.tv_sec);
    stamp.ModifiedNsecs = qint64(st.st_mtim.tv_nsec);
    return stamp;
}
