// The history of a combo box, kept in one section of a settings file: the file named, or the
// library's, or the program's own; a registry key path stands for a settings file of the same
// name under the user's configuration folder.

#include "gridlib/editors/kqdbcombo.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqstr.h"
#include "gridlib/core/kqcommon.h"
#include "platform/core/IniFiles.h"
#include "platform/core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

TkqHistoryList::TkqHistoryList(TkqDBCustomComboBox* owner) : QObject(owner), FOwner(owner) {}

TkqHistoryList::~TkqHistoryList()
{
    if (FOwner && IsInDesigner(FOwner)) return;
    try {
        Save();
    } catch (...) {
        // Nothing can report a failed save while the combo goes away.
    }
}

QString TkqHistoryList::FileName() const
{
    if (!FFileName.isEmpty()) return FFileName;
    if (const TkqIntl* intl = KqIntl(); intl && !intl->IniFileName.isEmpty()) return intl->IniFileName;
    if (StorageType == stIniFile && FOwner && !IsInDesigner(FOwner))
        return BareFileName(QCoreApplication::applicationFilePath()) + QStringLiteral(".ini");
    return QString();
}

int TkqHistoryList::MRUCount() const
{
    if (!Enabled || !MRUEnabled) return 0;
    return std::max(0, std::min(MRUMaxSize, int(FEntries.size())));
}

QString TkqHistoryList::StorePath() const
{
    const QString file = FileName();
    if (Section.isEmpty() || file.isEmpty()) return QString();
    return StorageType == stRegistry ? RegistryKeyFileName(file) : file;
}

void TkqHistoryList::LoadInto(QStringList& target)
{
    if (const QString path = StorePath(); !path.isEmpty()) {
        const TIniFile ini(path);
        FEntries.clear();
        for (const QString& key : ini.ReadSection(Section)) FEntries << ini.ReadString(Section, key, QString());
    }
    for (const QString& entry : FEntries)
        if (FindTextInList(target, entry) < 0) target << entry;
}

void TkqHistoryList::Save()
{
    const QString path = StorePath();
    if (path.isEmpty()) return;
    const int count = int(FEntries.size());
    int first = MaxSize > 0 && count > MaxSize ? count - MaxSize : 0;
    if (StorageType == stRegistry) {
        // The registry form keeps only what it writes.
        FEntries = FEntries.mid(first);
        first = 0;
        QDir().mkpath(QFileInfo(path).path());
    }
    TIniFile ini(path);
    ini.BeginUpdate();
    ini.EraseSection(Section);
    for (int i = first; i < int(FEntries.size()); ++i) ini.WriteString(Section, QString::number(i), FEntries.at(i));
    ini.EndUpdate();
}
