#include "memtable/zohFileWriter.h"

#include "platform/vcl/SysUtils.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

TzohFileWriter::TzohFileWriter(const QString& fileName, bool append) : FFileName(fileName), FFile(fileName)
{
    FFile.setDirectWriteFallback(false);
    QFile old(fileName);
    if (append && !old.open(QIODevice::ReadOnly))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, old.errorString()));
    if (!FFile.open(QIODevice::WriteOnly))
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, FFile.errorString()));
    if (append) {
        char buf[65536];
        for (;;) {
            const qint64 n = old.read(buf, sizeof buf);
            if (n < 0) throw EInOutError(QStringLiteral("Cannot read file \"%1\". %2").arg(fileName, old.errorString()));
            if (n == 0) break;
            if (FFile.write(buf, n) != n)
                throw EInOutError(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, FFile.errorString()));
        }
    }
}

TzohFileWriter::~TzohFileWriter()
{
    if (!FCommitted) FFile.cancelWriting();
}

void TzohFileWriter::Commit()
{
    if (!FFile.commit()) {
        FCommitted = true;
        throw EInOutError(QStringLiteral("Cannot write file \"%1\". %2").arg(FFileName, FFile.errorString()));
    }
    FCommitted = true;
    // The rename itself reaches the disk only with the folder.
    const QByteArray dir = QFile::encodeName(QFileInfo(QFileInfo(FFileName).canonicalFilePath()).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
