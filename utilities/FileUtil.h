#pragma once
// File and folder services: copying with the source's date, sizes and dates by name, folder
// creation, trailing separators, name checks, the folder browser and file operations.
//
// Attributes follow the old bits, read from what this file system has: a folder is
// faDirectory, a name beginning with "." faHidden, a file its owner may not write faReadOnly,
// any other regular file faArchive, and devices, pipes and sockets faSysFile.

#include "platform/core/SysUtils.h"

#include <QObject>
#include <QString>

struct stat;

enum : int { faReadOnly = 0x01, faHidden = 0x02, faSysFile = 0x04, faVolumeID = 0x08, faDirectory = 0x10, faArchive = 0x20 };

// The attribute bits of an entry from its name and status; -1 when the name does not exist.
int FileAttributesFromStat(const QString& name, const struct stat& st);
int FileGetAttr(const QString& path);

// Copies one file and gives the copy the source's modification time. The copy is written
// atomically: a failure leaves an existing destination as it was. A destination that is a
// folder receives the file under its own name; copying a file onto itself is refused.
// Raises EFOpenError "Cannot open file %s", EFCreateError "Cannot create file %s",
// EReadError "Stream read error", EWriteError "Stream write error".
void CopyFileTo(const QString& source, const QString& destination, QObject* progress = nullptr);
void CopyFileFull(const QString& source, const QString& destination, bool overwriteReadOnly, bool shellDialog,
                  QObject* progress);
// One copy, move or rename through TVzFileOperator; a failure or a user's abort ends the
// caller's operation silently (EAbort).
void ShellCopyOrMove(const QString& source, const QString& destination, bool confirm, bool move, bool allowUndo);

qint64 FileSizeByName(const QString& name);           // -1: missing, or a folder
TDateTime FileModifiedDateTime(const QString& name);  // 0.0: missing
bool FolderExists(const QString& name);
void CreateFolderPath(const QString& folder);
QString WithTrailingBackslash(const QString& folder);     // with the trailing path separator
QString WithoutTrailingBackslash(const QString& folder);  // without it (the root stays "/")
bool HasAttributes(const QString& name, int bits);
bool ContainsAnyChar(const QString& text, const QString& characters);
bool IsValidFileName(const QString& name);   // not empty, none of < > " [ ] |
// There are no short names here: both forms are the entry's own name (empty when missing).
QString LongNameOf(const QString& name);
QString ShortNameOf(const QString& name);
QString LongPathOf(const QString& path);
QString ShortPathOf(const QString& path);
// True when the user chose a folder, which is then put into folder.
bool BrowseForFolder(QString& folder, const QString& dialogText, int helpContext = 0);

// The folder browser as a component.
class TBrowseFolderDlg : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString DialogText MEMBER DialogText)
    Q_PROPERTY(QString FolderName MEMBER FolderName)
    Q_PROPERTY(int HelpContext MEMBER HelpContext)
public:
    explicit TBrowseFolderDlg(QObject* owner = nullptr) : QObject(owner) {}
    QString DialogText;
    QString FolderName;
    int HelpContext = 0;
    QString SelectedName;
    bool Execute();
};

// File operations on lists of names (separated by ";" or "|"): copy, move, rename and delete
// of files and folders. Replacing an existing file is confirmed unless flNoConfirmation.
class TVzFileOperator : public QObject {
    Q_OBJECT
public:
    enum TFileOperation { foCopy, foDelete, foMove, foRename };
    Q_ENUM(TFileOperation)
    enum TFileOperFlag {
        flAllowUndo = 0x1, flConfirmMouse = 0x2, flFilesOnly = 0x4, flMultiDest = 0x8, flNoConfirmation = 0x10,
        flNoConfirmMkDir = 0x20, flRenameOnCollision = 0x40, flSilent = 0x80, flSimpleProgress = 0x100, flNoErrorUI = 0x200
    };
    Q_DECLARE_FLAGS(TFileOperFlags, TFileOperFlag)
    Q_FLAG(TFileOperFlags)

    explicit TVzFileOperator(QObject* owner = nullptr) : QObject(owner) {}
    QString Source;
    QString Destination;
    TFileOperation Operation = foCopy;
    TFileOperFlags Options = TFileOperFlags(flAllowUndo | flNoConfirmMkDir);
    QString ProgressTitle;
    bool WasAborted = false;
    QString LastError;   // the system's reason for the last failure
    bool Execute();

private:
    bool CopyEntry(const QString& from, const QString& to, bool move);
    bool TargetFor(QString& target);
    bool Fail(const QString& reason);
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TVzFileOperator::TFileOperFlags)
