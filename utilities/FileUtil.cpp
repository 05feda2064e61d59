#include "utilities/FileUtil.h"

#include "platform/core/AtomicFile.h"
#include "platform/vcl/Dialogs.h"
#include "utilities/VzPrgrss.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr qint64 CopyBufferSize = 8192;

bool StatOf(const QString& path, struct stat& st)
{
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

QStringList MakeNameList(const QString& names)
{
    QStringList list;
    for (const QString& n : names.split(QRegularExpression(QStringLiteral("[;|]")), Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty()) list << n;
    return list;
}

// Closes the source and resets the progress control whatever way the copy ends.
struct TCopyCleanup {
    int Fd = -1;
    QObject* Progress = nullptr;
    ~TCopyCleanup()
    {
        if (Fd >= 0) ::close(Fd);
        if (Progress) ProgressSetPosition(Progress, 0);
    }
};
} // namespace

int FileAttributesFromStat(const QString& name, const struct stat& st)
{
    int attr = 0;
    const QString base = ExtractFileName(WithoutTrailingBackslash(name));
    if (S_ISDIR(st.st_mode)) attr |= faDirectory;
    else if (S_ISREG(st.st_mode)) attr |= faArchive;
    else attr |= faSysFile;
    if (base.startsWith('.') && base != QLatin1String(".") && base != QLatin1String("..")) attr |= faHidden;
    if (!(st.st_mode & S_IWUSR)) attr |= faReadOnly;
    return attr;
}

int FileGetAttr(const QString& path)
{
    struct stat st {};
    if (!StatOf(path, st)) return -1;
    return FileAttributesFromStat(path, st);
}

void CopyFileTo(const QString& source, const QString& destination, QObject* progress)
{
    CopyFileFull(source, destination, false, false, progress);
}

void CopyFileFull(const QString& source, const QString& destination, bool overwriteReadOnly, bool shellDialog,
                  QObject* progress)
{
    if (shellDialog) {
        ShellCopyOrMove(source, destination, !overwriteReadOnly, false, false);
        return;
    }
    QString dest = destination;
    if (FolderExists(dest)) dest = WithTrailingBackslash(dest) + ExtractFileName(source);
    const qint64 size = FileSizeByName(source);

    TCopyCleanup cleanup;
    struct stat srcStat {};
    cleanup.Fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (cleanup.Fd < 0 || ::fstat(cleanup.Fd, &srcStat) != 0 || S_ISDIR(srcStat.st_mode))
        throw EFOpenError(Format(QStringLiteral("Cannot open file %s"), {source}), errno);
    if (progress) {
        cleanup.Progress = progress;
        ProgressSetMax(progress, int(quint32(quint64(size))));
        ProgressSetMin(progress, 0);
        ProgressSetPosition(progress, 0);
    }
    CreateFolderPath(ExtractFileDir(dest));

    const QString cannotCreate = Format(QStringLiteral("Cannot create file %s"), {dest});
    struct stat dstStat {};
    bool clearReadOnly = false;
    if (StatOf(dest, dstStat)) {
        // Copying a file onto itself would empty it.
        if (dstStat.st_dev == srcStat.st_dev && dstStat.st_ino == srcStat.st_ino) throw EFCreateError(cannotCreate, EINVAL);
        if (!(dstStat.st_mode & S_IWUSR)) {
            if (!overwriteReadOnly) throw EFCreateError(cannotCreate, EACCES);
            clearReadOnly = true;
        }
    }
    std::unique_ptr<TAtomicFileWriter> writer;
    try {
        writer = std::make_unique<TAtomicFileWriter>(dest);
    } catch (const EInOutError& e) {
        throw EFCreateError(cannotCreate, e.ErrorCode);
    }

    char buffer[CopyBufferSize];
    quint32 total = 0;
    for (;;) {
        ssize_t n = ::read(cleanup.Fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EReadError(QStringLiteral("Stream read error"));
        // Only the end of the file ends the copy: a read may return less than asked before it.
        if (n == 0) break;
        total += quint32(n);
        try {
            writer->Write(buffer, n);
        } catch (const EInOutError&) {
            throw EWriteError(QStringLiteral("Stream write error"));
        }
        if (progress) ProgressSetPosition(progress, int(total));
    }
    writer->SetModificationTime(srcStat.st_mtim.tv_sec, srcStat.st_mtim.tv_nsec);
    try {
        writer->Commit();
    } catch (const EInOutError&) {
        throw EWriteError(QStringLiteral("Stream write error"));
    }
    // Only a copy that took place drops the read-only bit: a failed one leaves the file as it was.
    if (clearReadOnly) ::chmod(QFile::encodeName(dest).constData(), (dstStat.st_mode & 07777) | S_IWUSR);
}

void ShellCopyOrMove(const QString& source, const QString& destination, bool confirm, bool move, bool allowUndo)
{
    TVzFileOperator op;
    op.Source = source;
    op.Destination = destination;
    if (!move) op.Operation = TVzFileOperator::foCopy;
    else if (ExtractFileDir(source).compare(ExtractFileDir(destination), Qt::CaseInsensitive) == 0) op.Operation = TVzFileOperator::foRename;
    else op.Operation = TVzFileOperator::foMove;
    if (!allowUndo) op.Options &= ~TVzFileOperator::TFileOperFlags(TVzFileOperator::flAllowUndo);
    if (!confirm) op.Options |= TVzFileOperator::flNoConfirmation;
    if (!op.Execute() || op.WasAborted) Abort();
}

qint64 FileSizeByName(const QString& name)
{
    struct stat st {};
    if (!StatOf(name, st) || S_ISDIR(st.st_mode)) return -1;
    return qint64(st.st_size);
}

TDateTime FileModifiedDateTime(const QString& name)
{
    struct stat st {};
    if (!StatOf(name, st)) return 0.0;
    const qint64 msecs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return QDateTimeToDateTime(QDateTime::fromMSecsSinceEpoch(msecs));
}

bool FolderExists(const QString& name)
{
    struct stat st {};
    return StatOf(name, st) && S_ISDIR(st.st_mode);
}

void CreateFolderPath(const QString& folder)
{
    if (folder.isEmpty()) return;
    QString path = folder.endsWith('/') ? folder.left(folder.size() - 1) : folder;
    if (path.isEmpty() || QFileInfo::exists(path)) return;
    const QString parent = ExtractFileDir(path);
    if (!parent.isEmpty() && parent != path) CreateFolderPath(parent);
    ::mkdir(QFile::encodeName(path).constData(), 0777);
}

QString WithTrailingBackslash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith('/')) return folder;
    return folder + '/';
}

QString WithoutTrailingBackslash(const QString& folder)
{
    if (folder.size() > 1 && folder.endsWith('/')) return folder.left(folder.size() - 1);
    return folder;
}

bool HasAttributes(const QString& name, int bits)
{
    const int attr = FileGetAttr(name);
    return attr >= 0 && (attr & bits) == bits;
}

bool ContainsAnyChar(const QString& text, const QString& characters)
{
    for (QChar c : characters)
        if (text.contains(c)) return true;
    return false;
}

bool IsValidFileName(const QString& name)
{
    return !name.isEmpty() && !ContainsAnyChar(name, QStringLiteral("<>\"[]|"));
}

QString LongNameOf(const QString& name)
{
    struct stat st {};
    if (name.isEmpty() || ::lstat(QFile::encodeName(name).constData(), &st) != 0) return QString();
    if (name == QLatin1String("/")) return name;
    return ExtractFileName(WithoutTrailingBackslash(name));
}

QString ShortNameOf(const QString& name) { return LongNameOf(name); }

namespace {
QString PathOf(const QString& path, QString (*nameOf)(const QString&))
{
    const QStringList parts = path.split('/');
    QString result = parts.first();
    QString prefix = parts.first();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        prefix += '/' + parts[i];
        if (parts[i].isEmpty()) continue;
        result += '/' + nameOf(prefix);
    }
    return result;
}
} // namespace

QString LongPathOf(const QString& path) { return PathOf(path, LongNameOf); }
QString ShortPathOf(const QString& path) { return PathOf(path, ShortNameOf); }

bool BrowseForFolder(QString& folder, const QString& dialogText, int helpContext)
{
    TBrowseFolderDlg dlg;
    dlg.DialogText = dialogText;
    dlg.FolderName = folder;
    dlg.HelpContext = helpContext;
    if (!dlg.Execute()) return false;
    folder = dlg.FolderName;
    return true;
}

bool TBrowseFolderDlg::Execute()
{
    QString dir = FolderExists(FolderName) ? FolderName : QString();
    if (!SelectDirectory(DialogText, QString(), dir)) return false;
    FolderName = WithoutTrailingBackslash(dir);
    SelectedName = FolderName;
    return true;
}

// ---- TVzFileOperator ----

bool TVzFileOperator::Fail(const QString& reason)
{
    LastError = reason;
    return false;
}

bool TVzFileOperator::TargetFor(QString& target)
{
    if (!QFileInfo::exists(target)) return true;
    if (Options.testFlag(flRenameOnCollision)) {
        const QString folder = ExtractFilePath(target);
        QString name = ExtractFileName(target);
        do name = QStringLiteral("Copy of ") + name;
        while (QFileInfo::exists(folder + name));
        target = folder + name;
        return true;
    }
    if (Options.testFlag(flNoConfirmation)) return true;
    switch (MessageDlg(Format(QStringLiteral("The file %s already exists.\nDo you want to replace it?"), {target}),
                       mtConfirmation, mbYesNoCancel)) {
    case mrYes: return true;
    case mrNo: target.clear(); return true;
    default: WasAborted = true; return false;
    }
}

bool TVzFileOperator::CopyEntry(const QString& from, const QString& to, bool move)
{
    const QFileInfo info(from);
    if (!info.exists() && !info.isSymLink()) return Fail(Format(QStringLiteral("Cannot open file %s"), {from}));
    if (move && ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) return true;
    if (move && errno != EXDEV) return Fail(SysErrorMessage(errno));
    if (info.isDir()) {
        if (Options.testFlag(flFilesOnly)) return true;
        CreateFolderPath(to);
        const QDir dir(from);
        for (const QString& name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            if (!CopyEntry(dir.filePath(name), WithTrailingBackslash(to) + name, false)) return false;
        if (move && !QDir(from).removeRecursively()) return Fail(Format(QStringLiteral("Cannot delete %s"), {from}));
        return true;
    }
    try {
        CopyFileFull(from, to, true, false, nullptr);
    } catch (const Exception& e) {
        return Fail(e.Message());
    }
    if (move && !QFile::remove(from)) return Fail(Format(QStringLiteral("Cannot delete %s"), {from}));
    return true;
}

bool TVzFileOperator::Execute()
{
    WasAborted = false;
    LastError.clear();
    const QStringList sources = MakeNameList(Source);
    const QStringList dests = MakeNameList(Destination);
    if (sources.isEmpty()) return false;
    if (Operation != foDelete && dests.isEmpty()) return Fail(QStringLiteral("No destination"));
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const QString& source = sources[i];
        if (Operation == foDelete) {
            if (!Options.testFlag(flNoConfirmation)
                && MessageDlg(Format(QStringLiteral("Are you sure you want to delete %s?"), {source}), mtConfirmation, mbYesNo) != mrYes) {
                WasAborted = true;
                return false;
            }
            bool ok = Options.testFlag(flAllowUndo) ? QFile::moveToTrash(source)
                    : QFileInfo(source).isDir() ? QDir(source).removeRecursively() : QFile::remove(source);
            if (!ok) return Fail(Format(QStringLiteral("Cannot delete %s"), {source}));
            continue;
        }
        QString target = Options.testFlag(flMultiDest) && i < dests.size() ? dests[i] : dests.first();
        if (Operation == foRename && !target.contains('/')) target = ExtractFilePath(source) + target;
        if (Operation != foRename && FolderExists(target)) target = WithTrailingBackslash(target) + ExtractFileName(source);
        const QString folder = ExtractFileDir(target);
        if (!folder.isEmpty() && !FolderExists(folder)) {
            if (!Options.testFlag(flNoConfirmMkDir)
                && MessageDlg(Format(QStringLiteral("The folder %s does not exist.\nDo you want to create it?"), {folder}),
                              mtConfirmation, mbYesNo) != mrYes) {
                WasAborted = true;
                return false;
            }
            CreateFolderPath(folder);
        }
        if (!TargetFor(target)) return false;
        if (target.isEmpty()) continue;   // the user kept the existing file
        if (!CopyEntry(source, target, Operation != foCopy)) return false;
    }
    return true;
}
