#pragma once
// Lists the entries of a folder, and optionally of all its subfolders, that match a file-name
// pattern and a set of attributes: one line per entry in Files, "path,size,time".
//
// The pattern is matched without regard to case; "*" and "?" are wildcards, and a pattern
// ending in ".*" also matches names without a dot ("*.*" matches every name). Subfolders are
// searched breadth first, each folder's entries in name order; linked folders are listed like
// folders but not entered, so that a link back up cannot make the search endless.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct TFoundEntry;

namespace FindFileTypes {
Q_NAMESPACE
enum TAttrOption { ffReadOnly = 0x01, ffHidden = 0x02, ffSystem = 0x04, ffVolumeID = 0x08, ffDirectory = 0x10, ffArchive = 0x20 };
Q_DECLARE_FLAGS(TAttrOptions, TAttrOption)
Q_FLAG_NS(TAttrOptions)
} // namespace FindFileTypes
Q_DECLARE_OPERATORS_FOR_FLAGS(FindFileTypes::TAttrOptions)
using namespace FindFileTypes;

class TFindFile : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Directory MEMBER FDirectory)
    Q_PROPERTY(QString Filter MEMBER FFilter)
    Q_PROPERTY(FindFileTypes::TAttrOptions Attributes MEMBER FAttributes)
    Q_PROPERTY(bool Recurse MEMBER FRecurse)
    Q_PROPERTY(bool FindOne MEMBER FFindOne)
    Q_PROPERTY(QStringList Files MEMBER FFiles)
public:
    explicit TFindFile(QObject* owner = nullptr) : QObject(owner) {}

    QString Directory() const { return FDirectory; }
    void SetDirectory(const QString& value) { FDirectory = value; }
    QString Filter() const { return FFilter; }
    void SetFilter(const QString& value) { FFilter = value; }
    TAttrOptions Attributes() const { return FAttributes; }
    void SetAttributes(TAttrOptions value) { FAttributes = value; }
    bool Recurse() const { return FRecurse; }
    void SetRecurse(bool value) { FRecurse = value; }
    bool FindOne() const { return FFindOne; }
    void SetFindOne(bool value) { FFindOne = value; }
    const QStringList& Files() const { return FFiles; }
    void SetFiles(const QStringList& files) { FFiles = files; }

    qint64 TotalSize() const { return FTotalSize; }
    int FolderCount() const { return FFolderCount; }
    int FileCount() const { return FFileCount; }

    std::function<void()> BeforeExecute;
    std::function<void()> AfterExecute;
    // Before each folder is listed; setting abort stops the whole search.
    std::function<void(const QString& newPath, bool& abort)> OnNewPath;

    virtual void Execute();

    // The entry's full path from a result line, whole even when it contains commas.
    static QString PathOfLine(const QString& line);
    static bool MatchesPattern(const QString& name, const QString& pattern);

private:
    void SearchFolder(const QString& path);
    void SearchTree(const QString& start);
    void AddEntries(const QString& path, const std::vector<TFoundEntry>& entries);

    QString FDirectory;
    QString FFilter = QStringLiteral("*.*");
    TAttrOptions FAttributes = ffReadOnly | ffHidden | ffSystem | ffArchive;
    bool FRecurse = false;
    bool FFindOne = false;
    QStringList FFiles;
    qint64 FTotalSize = 0;
    int FFolderCount = 0;
    int FFileCount = 0;
    bool FStopped = false;
    int FMask = 0;
};
