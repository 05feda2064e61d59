#include "platform/core/ProgramFolder.h"

#include "platform/core/SysUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <fcntl.h>
#include <unistd.h>

bool FolderIsWritable(const QString& folder)
{
    if (folder.isEmpty()) return false;
    QByteArray tmpl = QFile::encodeName(IncludeTrailingPathDelimiter(folder)) + ".quarrow-probe.XXXXXX";
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(tmpl.constData());
    return true;
}

QString ProgramDataFolderFor(const QString& exeFolder)
{
    if (FolderIsWritable(exeFolder)) return IncludeTrailingPathDelimiter(exeFolder);
    QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (config.isEmpty()) return IncludeTrailingPathDelimiter(exeFolder);
    // When even this cannot be created, the first save reports the system's reason.
    QDir().mkpath(config);
    return IncludeTrailingPathDelimiter(config);
}

QString ProgramDataFolder()
{
    // Decided once per run: the answer must not move between two saves.
    static QString folder;
    if (folder.isEmpty() && QCoreApplication::instance())
        folder = ProgramDataFolderFor(QCoreApplication::applicationDirPath());
    return folder.isEmpty() ? ProgramDataFolderFor(QCoreApplication::applicationDirPath()) : folder;
}

QString RegistryKeyFileName(const QString& keyPath)
{
    QStringList keys;
    for (const QString& part : QString(keyPath).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'))) {
        const QString key = part.trimmed();
        if (key.isEmpty() || key == QLatin1String(".") || key == QLatin1String("..")) continue;
        keys << key;
    }
    if (keys.isEmpty()) return {};
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QLatin1Char('/') + keys.join(QLatin1Char('/')) + QStringLiteral(".ini");
}
