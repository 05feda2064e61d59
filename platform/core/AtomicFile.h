#pragma once
// Every file written for the user goes through here: the new contents go to a temporary
// file beside the target, are flushed to disk and then renamed over the target, so that a
// crash, a full disk or a failing write never leaves a half-written file behind.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QtGlobal>

// Streams a file's new contents. Construction creates the temporary file (EFCreateError
// with the operating system's message when it cannot, naming the folder that cannot be
// written; or when the file is write-protected, which is never replaced); Write buffers and writes (EInOutError
// on failure); Commit makes the new contents the file's (EInOutError on failure). Destroying
// a writer that was not committed discards the temporary file and leaves the target as it was.
//
// The target keeps its permission bits (and, where allowed, its owner); a new file gets the
// usual mode after the umask. A symbolic link stays in place: the file it points to is replaced.
// The temporary file is ".<name>.XXXXXX" beside the target and stays locked while it is
// written; a writer first removes the temporaries of its target whose writer died.
class TAtomicFileWriter {
public:
    // replaceProtected: the caller was told to overwrite a write-protected file (a copy
    // asked to overwrite read-only files); nothing else replaces one.
    explicit TAtomicFileWriter(const QString& fileName, bool replaceProtected = false);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

    void Write(const char* data, qint64 size);
    void Write(const QByteArray& bytes) { Write(bytes.constData(), bytes.size()); }
    // Overwrites bytes written before at offset (a count known only at the end).
    void Patch(qint64 offset, const char* data, qint64 size);
    void Commit();
    void Discard();
    // The modification time the new file gets (set after its last byte is written).
    void SetModificationTime(qint64 secs, qint64 nsecs);

    QString FileName() const { return FFileName; }      // as given
    QString TargetPath() const { return FTarget; }      // after following symbolic links
    qint64 BytesWritten() const { return FWritten + FBufferUsed; }

    // Test seam: every writer opened while a failure is injected fails with errorCode once
    // it has written afterBytes bytes to its temporary file. afterBytes < 0 clears it.
    static void InjectWriteFailure(qint64 afterBytes, int errorCode);

private:
    void FlushBuffer();
    void WriteRaw(const char* data, qint64 size);
    [[noreturn]] void Fail(const QString& what, int errorCode);

    QString FFileName;
    QString FTarget;
    QString FTemp;
    int FFd = -1;
    bool FCommitted = false;
    bool FHasOldMode = false;
    unsigned FOldMode = 0;
    unsigned FOldUid = 0;
    unsigned FOldGid = 0;
    qint64 FWritten = 0;
    qint64 FFlushStarted = 0;   // bytes whose write-back to the disk was started
    qint64 FFailAfter = -1;
    int FFailError = 0;
    QByteArray FBuffer;
    qint64 FBufferUsed = 0;
    bool FHasTime = false;
    qint64 FTimeSecs = 0;
    qint64 FTimeNsecs = 0;
};

// True when the file exists and its permission bits (or the file system) do not let this
// process write it. The bits count even for a superuser: a file its owner protected is
// opened read-only and never replaced.
bool FileIsWriteProtected(const QString& fileName);
// A temporary file of the writer (".<name>.XXXXXX"): listings of data files leave it out.
bool IsAtomicTemporaryName(const QString& fileName);

// What tells whether a file changed on disk without reading it: any writer, in place or by
// renaming a new file over it, changes the stamp. A symbolic link is followed.
struct TFileStamp {
    bool Exists = false;
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 Size = 0;
    qint64 ModifiedSecs = 0;
    qint64 ModifiedNsecs = 0;
    bool operator==(const TFileStamp&) const = default;
};
TFileStamp FileStamp(const QString& fileName);

// Writes a whole file atomically (see TAtomicFileWriter).
void AtomicWriteFile(const QString& fileName, const QByteArray& bytes);

// A write-only QIODevice over TAtomicFileWriter, for writers that stream into a device.
// Writes raise like the writer does (they never report a short write); Commit finishes.
class TAtomicFileDevice : public QIODevice {
public:
    explicit TAtomicFileDevice(const QString& fileName);
    TAtomicFileWriter& Writer() { return FWriter; }
    void Commit() { FWriter.Commit(); close(); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    TAtomicFileWriter FWriter;
};
