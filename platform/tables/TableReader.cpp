#include "platform/tables/TableReader.h"

#include <QDir>
#include <QFileInfo>

TTableFile::TTableFile(const QString& fileName, qsizetype windowSize)
    : FFileName(fileName), FFile(fileName), FWindowSize(windowSize)
{
    if (!FFile.open(QIODevice::ReadOnly))
        DatabaseError(QStringLiteral("Cannot open file \"%1\": %2").arg(QDir::toNativeSeparators(fileName), FFile.errorString()));
    FSize = FFile.size();
}

const uchar* TTableFile::View(qint64 offset, qsizetype length)
{
    if (!Contains(offset, length)) return nullptr;
    if (offset >= FWindowStart && offset - FWindowStart + length <= FWindowLength)
        return FWindow.data() + (offset - FWindowStart);
    const qsizetype want = qsizetype(qMin<qint64>(qMax(FWindowSize, length), FSize - offset));
    if (FWindow.size() < size_t(want)) FWindow.resize(size_t(want));
    FWindowLength = 0;
    if (!FFile.seek(offset)) return nullptr;
    qsizetype got = 0;
    while (got < want) {
        const qint64 n = FFile.read(reinterpret_cast<char*>(FWindow.data()) + got, want - got);
        if (n <= 0) break;
        got += qsizetype(n);
    }
    FWindowStart = offset;
    FWindowLength = got;
    return got >= length ? FWindow.data() : nullptr;
}

bool TTableFile::Read(qint64 offset, qsizetype length, QByteArray& bytes)
{
    if (!Contains(offset, length)) return false;
    if (length <= FWindowSize) {
        const uchar* p = View(offset, length);
        if (!p) return false;
        bytes = QByteArray(reinterpret_cast<const char*>(p), length);
        return true;
    }
    // Large values (pictures, OLE objects) bypass the window.
    bytes.resize(length);
    if (!FFile.seek(offset)) return false;
    qsizetype got = 0;
    while (got < length) {
        const qint64 n = FFile.read(bytes.data() + got, length - got);
        if (n <= 0) return false;
        got += qsizetype(n);
    }
    return true;
}

void TableDamaged(const QString& fileName, const QString& detail)
{
    DatabaseError(QStringLiteral("Table \"%1\" is damaged: %2").arg(QDir::toNativeSeparators(fileName), detail));
}

void TableNotSupported(const QString& what)
{
    DatabaseError(QStringLiteral("%1 is not supported").arg(what));
}

QString FindCompanionFile(const QString& tableFile, const QString& extension)
{
    const QFileInfo info(tableFile);
    const QDir dir = info.absoluteDir();
    const QString base = info.completeBaseName();
    for (const QString& ext : {extension.toLower(), extension.toUpper()}) {
        const QString candidate = dir.filePath(base + QLatin1Char('.') + ext);
        if (QFileInfo(candidate).isFile()) return candidate;
    }
    const QString wanted = base + QLatin1Char('.') + extension;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& entry : entries)
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
    return {};
}
