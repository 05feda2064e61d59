#include "utilities/VzVerInf.h"

#include "platform/core/SysUtils.h"

#include <QCoreApplication>
#include <QFileInfo>

TVersionResource CompiledVersionResource()
{
    TVersionResource r;
    r.Major = QUARROW_VERSION_MAJOR;
    r.Minor = QUARROW_VERSION_MINOR;
    r.Release = QUARROW_VERSION_PATCH;
    r.Build = QUARROW_VERSION_TWEAK;
    r.FileVersion = QStringLiteral(QUARROW_FILE_VERSION);
    return r;
}

TVersionInfo::TVersionInfo(const QString& fileName) : FFileName(fileName)
{
    // Only the running program carries the compiled-in resource.
    const QString self = QFileInfo(ModuleFileName()).canonicalFilePath();
    if (!self.isEmpty() && QFileInfo(fileName).canonicalFilePath() == self) {
        const TVersionResource r = CompiledVersionResource();
        LoadVersionResource(&r);
    }
}

TVersionInfo::TVersionInfo(const QString& fileName, const TVersionResource* resource) : FFileName(fileName)
{
    LoadVersionResource(resource);
}

void TVersionInfo::LoadVersionResource(const TVersionResource* resource)
{
    FValid = resource != nullptr;
    if (!FValid) return;
    FResource = *resource;
    FFixed.FileVersionMS = quint32(FResource.Major) << 16 | FResource.Minor;
    FFixed.FileVersionLS = quint32(FResource.Release) << 16 | FResource.Build;
}

bool TVersionInfo::TranslationEntry(quint16& language, quint16& codePage) const
{
    if (!FValid || !FResource.HasTranslation) return false;
    language = FResource.Language;
    codePage = FResource.CodePage;
    return true;
}

QString TVersionInfo::TranslationText() const
{
    quint16 language = 0, codePage = 0;
    if (!TranslationEntry(language, codePage)) return QString();
    return QStringLiteral("%1%2").arg(language, 4, 16, QLatin1Char('0')).arg(codePage, 4, 16, QLatin1Char('0')).toUpper();
}

quint64 TVersionInfo::FixedFileVersion() const
{
    return FValid ? quint64(FFixed.FileVersionMS) << 32 | FFixed.FileVersionLS : 0;
}

QString TVersionInfo::StringValue(const QString& name) const
{
    // The string table belongs to the first translation; without one nothing is found.
    if (!FValid || TranslationText().isEmpty() || name.size() > 230) return QString();
    return name == QLatin1String("FileVersion") ? FResource.FileVersion : QString();
}

QString TVersionInfo::GetFileVersionText() const
{
    const QString s = StringValue(QStringLiteral("FileVersion"));
    if (!s.isEmpty() || !FValid) return s;
    return FormatFileVersion(FixedFileVersion());
}

QString TVersionInfo::FormatFileVersion(quint64 version)
{
    return Format(QStringLiteral("%d.%d.%d.%d"), {int(version >> 48 & 0xFFFF), int(version >> 32 & 0xFFFF),
                                                  int(version >> 16 & 0xFFFF), int(version & 0xFFFF)});
}

QString TVersionInfo::ModuleFileName() { return QCoreApplication::applicationFilePath(); }

std::unique_ptr<TVersionInfo> CreateModuleVersionInfo() { return std::make_unique<TVersionInfo>(TVersionInfo::ModuleFileName()); }
