#include "platform/core/AtomicFile.h"

#include "platform/core/SysUtils.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>
#include <dirent.h>
#include <sys/file.h>
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

constexpr int TempSuffixLength = 6;
// A temporary file whose writer is still at work is younger than this, or locked.
constexpr time_t StaleAfterSeconds = 5;

bool IsTempSuffixChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

// ".<base>.XXXXXX" for the given base, or for any base when it is empty.
bool IsTempNameOf(const QByteArray& name, const QByteArray& base)
{
    const qsizetype n = name.size();
    if (n < 3 + TempSuffixLength || name[0] != '.' || name[n - TempSuffixLength - 1] != '.') return false;
    for (qsizetype i = n - TempSuffixLength; i < n; ++i)
        if (!IsTempSuffixChar(name[i])) return false;
    const qsizetype baseLength = n - TempSuffixLength - 2;
    if (base.isEmpty()) return baseLength > 0;
    return baseLength == base.size() && name.mid(1, baseLength) == base;
}

bool InGroup(gid_t gid)
{
    if (gid == ::getegid()) return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(size_t(n), 0);
    const int got = ::getgroups(n, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[size_t(i)] == gid) return true;
    return false;
}

bool ModeDeniesWrite(const struct stat& st)
{
    if (st.st_uid == ::geteuid()) return !(st.st_mode & S_IWUSR);
    if (InGroup(st.st_gid)) return !(st.st_mode & S_IWGRP);
    return !(st.st_mode & S_IWOTH);
}

// Removes the temporary files of a save of this target that was killed: their lock went with
// their writer. A writer at work holds its lock (and its file is young besides).
void RemoveStaleTemporaries(const QByteArray& dir, const QByteArray& base)
{
    DIR* d = ::opendir(dir.constData());
    if (!d) return;
    const time_t now = ::time(nullptr);
    while (dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (!IsTempNameOf(name, base)) continue;
        const int fd = ::openat(::dirfd(d), e->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime >= StaleAfterSeconds
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(::dirfd(d), e->d_name, 0);
        ::close(fd);
    }
    ::closedir(d);
}
} // namespace

bool FileIsWriteProtected(const QString& fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return ModeDeniesWrite(st) || ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0;
}

bool IsAtomicTemporaryName(const QString& fileName)
{
    return IsTempNameOf(QFile::encodeName(QFileInfo(fileName).fileName()), QByteArray());
}

TAtomicFileWriter::TAtomicFileWriter(const QString& fileName, bool replaceProtected) : FFileName(fileName)
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
        if (!replaceProtected && (ModeDeniesWrite(st) || ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0))
            throw EFCreateError(Format(QStringLiteral("Cannot write file %s: the file is write-protected"), {fileName}),
                                EACCES);
        FHasOldMode = true;
        FOldMode = st.st_mode & 07777;
        FOldUid = st.st_uid;
        FOldGid = st.st_gid;
    }
    FTarget = QFile::decodeName(path);

    const QByteArray dir = DirOf(path);
    RemoveStaleTemporaries(dir, BaseOf(path));
    QByteArray tmpl = dir + "/." + BaseOf(path) + ".XXXXXX";
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        // The temporary file goes beside the target: it is the folder that refused.
        throw EFCreateError(Format(QStringLiteral("Cannot save %s: cannot create a file in the folder %s: %s"),
                                   {fileName, QFile::decodeName(dir), SysErrorMessage(err)}),
                            err);
    }
    // Held until the writer is done, so that no other save takes this file for a stale one.
    ::flock(fd, LOCK_EX | LOCK_NB);
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

namespace {
constexpr qint64 FlushStep = qint64(8) << 20;
} // namespace

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
    // The disk starts writing what is written while the rest is made, so that the flush that
    // commits a large file waits only for its tail.
    if (FWritten - FFlushStarted >= FlushStep) {
        ::sync_file_range(FFd, off_t(FFlushStarted), off_t(FWritten - FFlushStarted), SYNC_FILE_RANGE_WRITE);
        FFlushStarted = FWritten;
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
