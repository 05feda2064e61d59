#include "UtilitiesTestSupport.h"
#include "platform/core/AtomicFile.h"
#include "platform/vcl/Dialogs.h"
#include "utilities/FileUtil.h"

#include <QDir>
#include <QProgressBar>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
class FileUtilTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return Dir.filePath(name); }
    void SetTime(const QString& path, qint64 secs)
    {
        const struct timespec t[2] = {{secs, 0}, {secs, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), t, 0), 0);
    }
    QByteArray Bytes(int n)
    {
        QByteArray b(n, '\0');
        for (int i = 0; i < n; ++i) b[i] = char(i * 7);
        return b;
    }
    QTemporaryDir Dir;
};

template <class E>
QString MessageOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}
} // namespace

TEST_F(FileUtilTest, CopyKeepsContentsAndDate)
{
    for (int size : {0, 1, 8191, 8192, 8193, 100000}) {
        const QString src = Path(QString("src%1.cds").arg(size));
        WriteWholeFile(src, Bytes(size));
        SetTime(src, 981173106);   // 2001-02-03 04:05:06 UTC
        const QString dst = Path(QString("out/deeper/copy%1.cds").arg(size));   // folders are created
        CopyFileTo(src, dst);
        EXPECT_EQ(ReadWholeFile(dst), Bytes(size)) << size;
        EXPECT_EQ(FileModifiedDateTime(dst), EncodeDate(2001, 2, 3) + EncodeTime(4, 5, 6, 0)) << size;
    }
    // Onto a folder: into it, under the source's name.
    CopyFileTo(Path("src1.cds"), Path("out"));
    EXPECT_EQ(ReadWholeFile(Path("out/src1.cds")), Bytes(1));

    QProgressBar bar;
    CopyFileTo(Path("src100000.cds"), Path("p.cds"), &bar);
    EXPECT_EQ(bar.maximum(), 100000);
    EXPECT_EQ(bar.value(), 0);   // back to the start when done
}

TEST_F(FileUtilTest, CopyGoesOnAfterAShortRead)
{
    // A pipe hands out what has been written so far: the first read returns less than a buffer
    // long before the end, as network file systems may do.
    const QString src = Path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(src).constData(), 0600), 0);
    std::thread writer([&] {
        // Should the copy stop early, the second write fails instead of ending the program.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        const int fd = ::open(QFile::encodeName(src).constData(), O_WRONLY);
        if (fd < 0) return;
        (void)!::write(fd, "first,", 6);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        (void)!::write(fd, "second", 6);
        ::close(fd);
    });
    EXPECT_NO_THROW(CopyFileTo(src, Path("copy.cds")));
    writer.join();
    EXPECT_EQ(ReadWholeFile(Path("copy.cds")), "first,second");
}

TEST_F(FileUtilTest, CopyFailuresLeaveTheDestination)
{
    const QString src = Path("src.cds");
    const QString dst = Path("dst.cds");
    WriteWholeFile(src, Bytes(50000));
    WriteWholeFile(dst, "old");

    EXPECT_EQ(MessageOf<EFOpenError>([&] { CopyFileTo(Path("missing.cds"), dst); }), "Cannot open file " + Path("missing.cds"));
    EXPECT_EQ(MessageOf<EFOpenError>([&] { CopyFileTo(Dir.path(), dst); }), "Cannot open file " + Dir.path());
    // A file onto itself (also through a link) would be emptied: refused.
    ::symlink("src.cds", QFile::encodeName(Path("alias.cds")).constData());
    EXPECT_EQ(MessageOf<EFCreateError>([&] { CopyFileTo(src, src); }), "Cannot create file " + src);
    EXPECT_EQ(MessageOf<EFCreateError>([&] { CopyFileTo(src, Path("alias.cds")); }), "Cannot create file " + Path("alias.cds"));
    EXPECT_EQ(ReadWholeFile(src), Bytes(50000));

    ::chmod(QFile::encodeName(dst).constData(), 0444);
    EXPECT_EQ(MessageOf<EFCreateError>([&] { CopyFileTo(src, dst); }), "Cannot create file " + dst);
    EXPECT_EQ(ReadWholeFile(dst), "old");

    TAtomicFileWriter::InjectWriteFailure(20000, ENOSPC);
    QString message = MessageOf<EWriteError>([&] { CopyFileFull(src, dst, true, false, nullptr); });
    TAtomicFileWriter::InjectWriteFailure(-1, 0);
    EXPECT_EQ(message, "Stream write error");
    EXPECT_EQ(ReadWholeFile(dst), "old");
    EXPECT_FALSE(QFileInfo(dst).permissions() & QFile::WriteOwner);   // still read-only after the failed copy

    CopyFileFull(src, dst, true, false, nullptr);   // allowed to overwrite a read-only file
    EXPECT_EQ(ReadWholeFile(dst), Bytes(50000));
    EXPECT_TRUE(QFileInfo(dst).permissions() & QFile::WriteOwner);
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Hidden | QDir::Files).filter(".dst.cds").size(), 0);
}

TEST_F(FileUtilTest, SizesDatesAndAttributes)
{
    EXPECT_EQ(FileSizeByName(Path("missing")), -1);
    EXPECT_EQ(FileSizeByName(Dir.path()), -1);
    EXPECT_EQ(FileModifiedDateTime(Path("missing")), 0.0);
    {
        QFile big(Path("big.cds"));   // sparse: takes no room
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(5LL * 1024 * 1024 * 1024));
    }
    EXPECT_EQ(FileSizeByName(Path("big.cds")), 5LL * 1024 * 1024 * 1024);
    WriteWholeFile(Path(".hidden"), "x");
    ::chmod(QFile::encodeName(Path(".hidden")).constData(), 0444);
    EXPECT_EQ(FileGetAttr(Path(".hidden")), faHidden | faReadOnly | faArchive);
    EXPECT_EQ(FileGetAttr(Dir.path()), faDirectory | (QFileInfo(Dir.path()).fileName().startsWith('.') ? faHidden : 0));
    EXPECT_EQ(FileGetAttr("/dev/null"), faSysFile);
    EXPECT_TRUE(HasAttributes(Path(".hidden"), faHidden | faReadOnly));
    EXPECT_FALSE(HasAttributes(Path(".hidden"), faDirectory));
    EXPECT_FALSE(HasAttributes(Path("missing"), 0));
    EXPECT_TRUE(FolderExists(Dir.path()));
    EXPECT_FALSE(FolderExists(Path(".hidden")));
    CreateFolderPath(Path("a/b/c/"));
    EXPECT_TRUE(FolderExists(Path("a/b/c")));
    EXPECT_EQ(LongNameOf(Path("a/b")), "b");
    EXPECT_EQ(ShortNameOf(Path("a/none")), "");
    EXPECT_EQ(LongPathOf(Path("a/b/c")), Path("a/b/c"));
}

TEST(FileNames, Routines)
{
    struct Case { const char* in; const char* with; const char* without; };
    const Case cases[] = {
        {"", "", ""}, {"/", "/", "/"}, {"/data", "/data/", "/data"}, {"/data/", "/data/", "/data"}, {"rel", "rel/", "rel"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WithTrailingBackslash(c.in), QString(c.with)) << c.in;
        EXPECT_EQ(WithoutTrailingBackslash(c.in), QString(c.without)) << c.in;
    }
    for (const char* bad : {"", "a|b", "a<b", "a>b", "a\"b", "a[1]"}) EXPECT_FALSE(IsValidFileName(bad)) << bad;
    for (const char* good : {"data.cds", "Copy of data.cds", "a,b (1).xml"}) EXPECT_TRUE(IsValidFileName(good)) << good;
    EXPECT_TRUE(ContainsAnyChar("abc", "xyc"));
    EXPECT_FALSE(ContainsAnyChar("abc", ""));
}

TEST_F(FileUtilTest, FileOperations)
{
    WriteWholeFile(Path("a.cds"), "A");
    WriteWholeFile(Path("b.cds"), "B");
    QDir(Dir.path()).mkpath("target/sub");
    WriteWholeFile(Path("target/a.cds"), "old");

    TVzFileOperator op;
    op.Source = Path("a.cds") + ";" + Path("b.cds");
    op.Destination = Path("target");
    op.Options = TVzFileOperator::flAllowUndo | TVzFileOperator::flNoConfirmMkDir;
    TDialogSeam::AnswerMessages({mrNo});   // keep the existing a.cds
    EXPECT_TRUE(op.Execute());
    EXPECT_EQ(ReadWholeFile(Path("target/a.cds")), "old");
    EXPECT_EQ(ReadWholeFile(Path("target/b.cds")), "B");
    EXPECT_EQ(TDialogSeam::Messages().size(), 1);

    TDialogSeam::AnswerMessages({mrCancel});
    EXPECT_FALSE(op.Execute());
    EXPECT_TRUE(op.WasAborted);

    op.Source = Path("a.cds");
    op.Options |= TVzFileOperator::flRenameOnCollision;
    EXPECT_TRUE(op.Execute());
    EXPECT_EQ(ReadWholeFile(Path("target/Copy of a.cds")), "A");

    // Moving within a folder renames; the shell routine's failure is a silent abort.
    ShellCopyOrMove(Path("b.cds"), Path("c.cds"), false, true, false);
    EXPECT_FALSE(QFileInfo::exists(Path("b.cds")));
    EXPECT_EQ(ReadWholeFile(Path("c.cds")), "B");
    EXPECT_THROW(ShellCopyOrMove(Path("missing.cds"), Path("d.cds"), false, false, false), EAbort);

    TVzFileOperator del;
    del.Operation = TVzFileOperator::foDelete;
    del.Options = TVzFileOperator::flNoConfirmation;
    del.Source = Path("target");
    EXPECT_TRUE(del.Execute());
    EXPECT_FALSE(QFileInfo::exists(Path("target")));

    QString folder = "/start";
    TDialogSeam::AnswerFiles({Dir.path() + "/"});
    EXPECT_TRUE(BrowseForFolder(folder, "Choose"));
    EXPECT_EQ(folder, Dir.path());
    TDialogSeam::AnswerFiles({""});
    EXPECT_FALSE(BrowseForFolder(folder, "Choose"));
    EXPECT_EQ(folder, Dir.path());
}
