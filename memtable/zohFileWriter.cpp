#include "memtable/zohFileWriter.h"

#include "platform/core/SysUtils.h"

#include <QFile>

TzohFileWriter::TzohFileWriter(const QString& fileName, bool append) : FFile(fileName)
{
    if (!append) return;
    QFile old(fileName);
    if (!old.open(QIODevice::ReadOnly))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, old.errorString()));
    char buf[65536];
    for (;;) {
        const qint64 n = old.read(buf, sizeof buf);
        if (n < 0) throw EInOutError(QStringLiteral("Cannot read file \"%1\". %2").arg(fileName, old.errorString()));
        if (n == 0) break;
        FFile.Writer().Write(buf, n);
    }
}
