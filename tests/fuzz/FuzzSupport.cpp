#include "tests/fuzz/FuzzSupport.h"

#include "platform/client/ClientDataSet.h"
#include "platform/data/DB.h"
#include "platform/core/SysUtils.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <memory>

namespace {
// Never destroyed: libFuzzer ends the process with exit(), after Qt's own globals are gone.
QCoreApplication* GApp = nullptr;
std::unique_ptr<QTemporaryDir> GFolder;
} // namespace

void FuzzInitApplication(int* argc, char*** argv, bool widgets)
{
    if (GApp) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TZ", "UTC");
    QLocale::setDefault(QLocale::c());
    if (widgets)
        GApp = new QApplication(*argc, *argv);
    else
        GApp = new QCoreApplication(*argc, *argv);
}

QString FuzzFolder()
{
    if (!GFolder) {
        // Memory-backed when the machine has it: every input is written once or twice.
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        GFolder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/quarrow-fuzz-XXXXXX"));
    }
    return GFolder->path();
}

QString FuzzWriteFile(const QString& name, const QByteArray& bytes)
{
    const QString path = FuzzFolder() + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) abort();
    return path;
}

void FuzzRemoveFile(const QString& name) { QFile::remove(FuzzFolder() + QLatin1Char('/') + name); }

void SplitCompanion(const uint8_t* data, size_t size, QByteArray& table, QByteArray& companion, bool& hasCompanion)
{
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray marker(CompanionMarker, sizeof(CompanionMarker) - 1);
    const qsizetype at = all.indexOf(marker);
    hasCompanion = at >= 0;
    table = QByteArray(all.constData(), hasCompanion ? at : all.size());
    companion = hasCompanion ? all.mid(at + marker.size()) : QByteArray();
}

void ReadEveryValue(TDataSet& dataSet, int maxRecords)
{
    TClientDataSet copy;
    bool copying = true;
    try {
        copy.FieldDefs().Assign(dataSet.FieldDefs());
        copy.CreateDataSet();
    } catch (const Exception&) {
        copying = false;   // a structure the engine refuses
    }
    int n = 0;
    for (dataSet.First(); !dataSet.Eof() && n < maxRecords; dataSet.Next(), ++n) {
        for (TField* f : dataSet.Fields()) {
            try {
                (void)f->AsString();
                (void)f->DisplayText();
            } catch (const Exception&) {
            }
        }
        if (!copying) continue;
        try {
            copy.Append();
            for (TField* f : dataSet.Fields())
                if (TField* to = copy.FindField(f->FieldName()); to && !to->ReadOnly()) to->SetValue(f->Value());
            copy.Post();
        } catch (const Exception&) {
            try { copy.Cancel(); } catch (const Exception&) {}
        }
    }
    if (!copying) return;
    for (copy.First(); !copy.Eof(); copy.Next())
        for (TField* f : copy.Fields()) {
            try {
                (void)f->AsString();
            } catch (const Exception&) {
            }
        }
}
