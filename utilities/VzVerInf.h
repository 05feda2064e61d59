#pragma once
// Version information of a program file. The running program's version is compiled in from
// the build (four numbers and the "FileVersion" text); other files carry none here.

#include <QString>
#include <memory>

struct TVersionResource {
    quint16 Major = 0, Minor = 0, Release = 0, Build = 0;
    QString FileVersion;          // the string table's "FileVersion"
    bool HasTranslation = true;   // "\VarFileInfo\Translation" present
    quint16 Language = 0x0409;    // US English
    quint16 CodePage = 0x04E4;    // Western
};

// The running program's own version resource.
TVersionResource CompiledVersionResource();

struct TVSFixedFileInfo {
    quint32 FileVersionMS = 0;
    quint32 FileVersionLS = 0;
};

class TVersionInfo {
public:
    explicit TVersionInfo(const QString& fileName);
    // A file with the given resource (none: no version information).
    TVersionInfo(const QString& fileName, const TVersionResource* resource);

    QString FileName() const { return FFileName; }
    bool Valid() const { return FValid; }
    // The first language and code page, or false.
    bool TranslationEntry(quint16& language, quint16& codePage) const;
    QString TranslationText() const;   // "040904E4"; empty without a translation
    const TVSFixedFileInfo* FixedInfo() const { return FValid ? &FFixed : nullptr; }
    quint64 FixedFileVersion() const;
    QString StringValue(const QString& name) const;
    QString GetFileVersionText() const;

    static QString FormatFileVersion(quint64 version);   // "%d.%d.%d.%d"
    static QString ModuleFileName();

private:
    void LoadVersionResource(const TVersionResource* resource);
    QString FFileName;
    bool FValid = false;
    TVersionResource FResource;
    TVSFixedFileInfo FFixed;
};

// A new version-information object for the running program's file.
std::unique_ptr<TVersionInfo> CreateModuleVersionInfo();
