#include "platform/core/AtomicFile.h"
#include "platform/core/ProgramFolder.h"
#include "platform/core/SysUtils.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
QByteArray Pattern(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char('a' + i % 26);
    return b;
}

unsigned ModeOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return ~0u;
    return st.st_mode & 07777;
}

// Names in the folder other than the expected ones: a failed save must leave no temporary file.
QStringList Leftovers(const QString& dir, const QStringList& expected)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& e : expected) names.removeAll(e);
    return names;
}

// Runs fn in a child process without root's rights (root may write anywhere); true when it
// returned true there.
bool RunUnprivileged(const std::function<bool()>& fn)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        bool ok = false;
        try { ok = fn(); } catch (...) { ok = false; }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct InjectedFailure {
    InjectedFailure(qint64 after, int err) { TAtomicFileWriter::InjectWriteFailure(after, err); }
    ~InjectedFailure() { TAtomicFileWriter::InjectWriteFailure(-1, 0); }
};
} // namespace

TEST(AtomicFile, ReplacesContentsAndKeepsPermissions)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.cds");

    mode_t mask = ::umask(022);
    AtomicWriteFile(path, "first");
    ::umask(mask);
    EXPECT_EQ(ReadWholeFile(path), "first");
    EXPECT_EQ(ModeOf(path), 0644u);   // a new file: the usual mode after the umask

    for (unsigned mode : {0600u, 0640u, 0755u, 0444u}) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        QByteArray big = Pattern(300000);   // larger than the writer's buffer
        AtomicWriteFile(path, big);
        EXPECT_EQ(ReadWholeFile(path), big);
        EXPECT_EQ(ModeOf(path), mode);
    }
    EXPECT_TRUE(Leftovers(dir.path(), {"data.cds"}).isEmpty());
}

// Counts known only at the end are patched in: bytes already in the file and bytes still in the
// writer's buffer; a patch beyond what was written is refused.
TEST(AtomicFile, PatchesBytesWrittenBefore)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("patched.cds");
    QByteArray expected = Pattern(200000);
    {
        TAtomicFileWriter w(path);
        w.Write(expected);
        w.Patch(10, "ABCD", 4);
        w.Patch(expected.size() - 3, "xyz", 3);
        EXPECT_THROW(w.Patch(expected.size() - 1, "12", 2), EInOutError);
    }
    {
        TAtomicFileWriter w(path);
        w.Write(expected);
        w.Patch(10, "ABCD", 4);
        w.Patch(expected.size() - 3, "xyz", 3);
        w.Commit();
    }
    expected.replace(10, 4, "ABCD");
    expected.replace(expected.size() - 3, 3, "xyz");
    EXPECT_EQ(ReadWholeFile(path), expected);
}

TEST(AtomicFile, ReplacesTheFileBehindASymbolicLink)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("real");
    const QString target = dir.filePath("real/data.ini");
    WriteWholeFile(target, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0600), 0);
    // A relative link to a link to the file.
    ASSERT_EQ(::symlink("real/data.ini", QFile::encodeName(dir.filePath("inner.ini")).constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(dir.filePath("inner.ini")).constData(),
                        QFile::encodeName(dir.filePath("outer.ini")).constData()), 0);

    TAtomicFileWriter w(dir.filePath("outer.ini"));
    EXPECT_EQ(w.TargetPath(), target);
    w.Write("new contents");
    w.Commit();

    EXPECT_TRUE(QFileInfo(dir.filePath("outer.ini")).isSymLink());
    EXPECT_TRUE(QFileInfo(dir.filePath("inner.ini")).isSymLink());
    EXPECT_EQ(ReadWholeFile(target), "new contents");
    EXPECT_EQ(ModeOf(target), 0600u);
    EXPECT_TRUE(Leftovers(dir.filePath("real"), {"data.ini"}).isEmpty());
}

TEST(AtomicFile, FailedWritesLeaveTheOldFileAndReportTheSystemsReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.cds");
    const QByteArray old = Pattern(5000);
    const QByteArray replacement = Pattern(200000);

    struct Case { qint64 after; int err; };
    for (Case c : {Case{0, ENOSPC}, Case{10, ENOSPC}, Case{65536, EIO}, Case{150000, ENOSPC}}) {
        WriteWholeFile(path, old);
        InjectedFailure failure(c.after, c.err);
        try {
            TAtomicFileWriter w(path);
            for (int i = 0; i < replacement.size(); i += 1000) w.Write(replacement.mid(i, 1000));
            w.Commit();
            ADD_FAILURE() << "no error after " << c.after;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, c.err);
            EXPECT_TRUE(e.Message().contains(path)) << e.what();
            EXPECT_TRUE(e.Message().endsWith(SysErrorMessage(c.err))) << e.what();
        }
        EXPECT_EQ(ReadWholeFile(path), old) << "after " << c.after;
        EXPECT_TRUE(Leftovers(dir.path(), {"data.cds"}).isEmpty());
    }
}

TEST(AtomicFile, RealFileSizeLimitLeavesTheOldFile)
{
    // The kernel refuses to grow a file past the limit, as a full device would refuse.
    QTemporaryDir dir;
    const QString path = dir.filePath("data.cds");
    WriteWholeFile(path, "old contents");
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString message;
    try {
        AtomicWriteFile(path, Pattern(100000));
    } catch (const EInOutError& e) {
        message = e.Message();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(message, "Cannot write file " + path + ": " + SysErrorMessage(EFBIG));
    EXPECT_EQ(ReadWholeFile(path), "old contents");
    EXPECT_TRUE(Leftovers(dir.path(), {"data.cds"}).isEmpty());
}

TEST(AtomicFile, UnwritableFolderRaisesCreateError)
{
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    QDir(dir.path()).mkdir("locked");
    const QString path = dir.filePath("locked/Quarrow.ini");
    WriteWholeFile(path, "[MainForm]\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("locked")).constData(), 0555), 0);

    EXPECT_TRUE(RunUnprivileged([&] {
        try {
            AtomicWriteFile(path, "new");
        } catch (const EFCreateError& e) {
            return e.Message() == "Cannot create file " + path + ": " + SysErrorMessage(EACCES) && e.ErrorCode == EACCES;
        }
        return false;
    }));
    EXPECT_EQ(ReadWholeFile(path), "[MainForm]\n");

    // A folder nobody may create files in, root included.
    EXPECT_THROW(AtomicWriteFile("/proc/version", "x"), EFCreateError);
    EXPECT_THROW(AtomicWriteFile(dir.path(), "x"), EFCreateError);   // a folder is no file
    EXPECT_THROW(AtomicWriteFile(QString(), "x"), EFCreateError);
}

TEST(AtomicFile, WriterWithoutCommitDiscards)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.xml");
    WriteWholeFile(path, "old");
    {
        TAtomicFileWriter w(path);
        w.Write(Pattern(100000));
        EXPECT_EQ(w.BytesWritten(), 100000);
    }
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_TRUE(Leftovers(dir.path(), {"data.xml"}).isEmpty());
}

TEST(ProgramFolder, ExecutableFolderWhenWritableElseUserConfig)
{
    QTemporaryDir dir;
    EXPECT_EQ(ProgramDataFolderFor(dir.path()), dir.path() + '/');
    EXPECT_TRUE(FolderIsWritable(dir.path()));
    EXPECT_FALSE(FolderIsWritable("/proc"));

    QStandardPaths::setTestModeEnabled(true);
    QString config = ProgramDataFolderFor("/proc");
    QStandardPaths::setTestModeEnabled(false);
    EXPECT_TRUE(config.endsWith('/'));
    EXPECT_NE(config, "/proc/");
    EXPECT_TRUE(QFileInfo(config).isDir());
    EXPECT_TRUE(FolderIsWritable(config));
}
