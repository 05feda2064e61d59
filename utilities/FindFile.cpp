#include "utilities/FindFile.h"

#include "utilities/FileUtil.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

// One entry of a folder listing.
struct TFoundEntry {
    QString Name;
    int Attributes = 0;
    qint64 Size = 0;
    qint64 MTime = 0;   // seconds since the epoch
    dev_t Device = 0;
    ino_t Inode = 0;
    bool IsLink = false;
    bool Matches = true;
};
using TEntry = TFoundEntry;

namespace {
constexpr int SpecialAttributes = faHidden | faSysFile | faVolumeID | faDirectory;


bool Listed(int attributes, int mask)
{
    const int special = attributes & SpecialAttributes;
    return special == 0 || (special & mask) == special;
}

// Last-write time in the packed date-and-time form of the old file listings.
quint32 PackedTime(qint64 secs)
{
    QDateTime t = QDateTime::fromSecsSinceEpoch(secs);
    QDate d = t.date();
    if (d.year() < 1980) return (1u << 21) | (1u << 16);
    if (d.year() > 2107) d = QDate(2107, 12, 31);
    const QTime tm = t.time();
    return quint32(d.year() - 1980) << 25 | quint32(d.month()) << 21 | quint32(d.day()) << 16 | quint32(tm.hour()) << 11
         | quint32(tm.minute()) << 5 | quint32(tm.second() / 2);
}

// The folder's entries matching the pattern (and, with withFolders, every folder too), "."
// and ".." first and the rest by name; a folder that cannot be listed has none.
std::vector<TEntry> ListFolder(const QString& folder, const QString& pattern, bool withFolders)
{
    std::vector<TEntry> entries;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) return entries;
    const int dirFd = ::dirfd(dir);
    while (dirent* d = ::readdir(dir)) {
        const QString name = QFile::decodeName(d->d_name);
        const bool matches = TFindFile::MatchesPattern(name, pattern);
        const bool maybeFolder = withFolders && (d->d_type == DT_DIR || d->d_type == DT_LNK || d->d_type == DT_UNKNOWN);
        if (!matches && !maybeFolder) continue;
        struct stat st {};
        if (::fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        TEntry e;
        e.Matches = matches;
        // A link is listed as what it points to (itself when that is gone).
        e.IsLink = S_ISLNK(st.st_mode);
        if (e.IsLink) ::fstatat(dirFd, d->d_name, &st, 0);
        e.Name = name;
        e.Attributes = FileAttributesFromStat(name, st);
        e.Size = S_ISDIR(st.st_mode) ? 0 : qint64(st.st_size);
        e.MTime = qint64(st.st_mtim.tv_sec);
        e.Device = st.st_dev;
        e.Inode = st.st_ino;
        entries.push_back(std::move(e));
    }
    ::closedir(dir);
    auto rank = [](const QString& n) { return n == QLatin1String(".") ? 0 : n == QLatin1String("..") ? 1 : 2; };
    std::sort(entries.begin(), entries.end(), [&](const TEntry& a, const TEntry& b) {
        if (rank(a.Name) != rank(b.Name)) return rank(a.Name) < rank(b.Name);
        const int c = a.Name.compare(b.Name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.Name < b.Name;
    });
    return entries;
}

bool IsDots(const QString& name) { return name == QLatin1String(".") || name == QLatin1String(".."); }
} // namespace

bool TFindFile::MatchesPattern(const QString& name, const QString& pattern)
{
    if (pattern.isEmpty()) return false;
    auto match = [&name](QStringView p) {
        qsizetype n = 0, i = 0, star = -1, mark = 0;
        while (n < name.size()) {
            if (i < p.size() && (p[i] == '?' || p[i].toCaseFolded() == name[n].toCaseFolded())) {
                ++n;
                ++i;
            } else if (i < p.size() && p[i] == '*') {
                star = i++;
                mark = n;
            } else if (star >= 0) {
                i = star + 1;
                n = ++mark;
            } else {
                return false;
            }
        }
        while (i < p.size() && p[i] == '*') ++i;
        return i == p.size();
    };
    if (match(pattern)) return true;
    return pattern.endsWith(QLatin1String(".*")) && !name.contains('.') && match(QStringView(pattern).chopped(2));
}

QString TFindFile::PathOfLine(const QString& line)
{
    const qsizetype last = line.lastIndexOf(',');
    if (last <= 0) return line;
    const qsizetype before = line.lastIndexOf(',', last - 1);
    return before < 0 ? line.left(last) : line.left(before);
}

void TFindFile::Execute()
{
    FMask = int(FAttributes) & 0x3F;
    FFiles.clear();
    FTotalSize = 0;
    FFolderCount = 0;
    FFileCount = 0;
    FStopped = false;
    if (BeforeExecute) BeforeExecute();
    if (!FDirectory.isEmpty()) {
        if (FRecurse) SearchTree(FDirectory);
        else SearchFolder(FDirectory);
    }
    if (AfterExecute) AfterExecute();
}

void TFindFile::SearchFolder(const QString& folder)
{
    const QString path = WithTrailingBackslash(folder);
    if (OnNewPath) OnNewPath(path, FStopped);
    if (FStopped) return;
    AddEntries(path, ListFolder(path, FFilter, false));
}

void TFindFile::AddEntries(const QString& path, const std::vector<TFoundEntry>& entries)
{
    for (const TEntry& e : entries) {
        if (!e.Matches || !Listed(e.Attributes, FMask)) continue;
        if (!IsDots(e.Name)) {
            FFiles << path + e.Name + ',' + QString::number(e.Size) + ',' + QString::number(PackedTime(e.MTime));
            if (e.Attributes == faDirectory) ++FFolderCount;
            else ++FFileCount;
            FTotalSize += e.Size;
        }
        if (FFindOne) {
            FStopped = true;
            break;
        }
    }
}

void TFindFile::SearchTree(const QString& start)
{
    std::deque<QString> work{WithTrailingBackslash(start)};
    std::set<std::pair<dev_t, ino_t>> visited;
    struct stat st {};
    if (::stat(QFile::encodeName(start).constData(), &st) == 0) visited.insert({st.st_dev, st.st_ino});
    while (!work.empty() && !FStopped) {
        // One listing serves both: the subfolders to visit and the folder's own entries.
        const QString folder = WithTrailingBackslash(work.front());
        const std::vector<TEntry> entries = ListFolder(folder, FFilter, true);
        for (const TEntry& e : entries)
            // Linked folders are not entered: a link back up would never end.
            if ((e.Attributes & faDirectory) && !e.IsLink && !IsDots(e.Name) && visited.insert({e.Device, e.Inode}).second)
                work.push_back(folder + e.Name);
        if (OnNewPath) OnNewPath(folder, FStopped);
        if (!FStopped) AddEntries(folder, entries);
        work.pop_front();
    }
}
