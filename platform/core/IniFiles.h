#pragma once
// Settings files in the old profile dialect: "[Section]" lines and "Key=Value" lines, sections
// and keys looked up without regard to case, keys updated where they stand, new keys appended
// to their section and new sections to the file, one pair of matching quotes stripped from a
// value on read, no escaping. Files are UTF-8 with LF line ends and are saved atomically.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// What the settings routines need of a settings object.
class TCustomIniFile {
public:
    explicit TCustomIniFile(const QString& fileName) : FFileName(fileName) {}
    virtual ~TCustomIniFile();
    TCustomIniFile(const TCustomIniFile&) = delete;
    TCustomIniFile& operator=(const TCustomIniFile&) = delete;

    QString FileName() const { return FFileName; }

    virtual QString ReadString(const QString& section, const QString& ident, const QString& def) const = 0;
    virtual void WriteString(const QString& section, const QString& ident, const QString& value) = 0;
    // Decimal, or hexadecimal with "$" or "0x"; anything else gives the default.
    virtual int ReadInteger(const QString& section, const QString& ident, int def) const;
    virtual void WriteInteger(const QString& section, const QString& ident, int value);
    // Read as an integer: not 0 is true. Written as "1" or "0".
    virtual bool ReadBool(const QString& section, const QString& ident, bool def) const;
    virtual void WriteBool(const QString& section, const QString& ident, bool value);
    virtual QStringList ReadSection(const QString& section) const = 0;   // key names in file order
    virtual QStringList ReadSections() const = 0;
    virtual void EraseSection(const QString& section) = 0;
    virtual void DeleteKey(const QString& section, const QString& ident) = 0;
    virtual bool SectionExists(const QString& section) const;
    virtual bool ValueExists(const QString& section, const QString& ident) const;
    virtual void UpdateFile() {}

private:
    QString FFileName;
};

// The settings file. The file is read once, when the object is created: a missing file reads
// as empty; one that cannot be read (or is implausibly large) reads as empty too, but then
// refuses to be written, so that its contents are never lost. A bare name without a folder
// lives in the program data folder.
//
// Every write is saved at once, unless it falls inside BeginUpdate/EndUpdate: then the file is
// saved once, by the outermost EndUpdate (or UpdateFile), and only when something changed.
// Saving raises EFCreateError or EInOutError with the system's message.
class TIniFile : public TCustomIniFile {
public:
    explicit TIniFile(const QString& fileName);
    ~TIniFile() override;

    QString ReadString(const QString& section, const QString& ident, const QString& def) const override;
    void WriteString(const QString& section, const QString& ident, const QString& value) override;
    QStringList ReadSection(const QString& section) const override;
    QStringList ReadSections() const override;
    void EraseSection(const QString& section) override;
    void DeleteKey(const QString& section, const QString& ident) override;
    bool SectionExists(const QString& section) const override;
    bool ValueExists(const QString& section, const QString& ident) const override;
    void UpdateFile() override;

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

    QString Path() const { return FPath; }           // the file actually used
    bool Modified() const { return FModified; }
    QString LoadError() const { return FLoadError; } // why the file could not be read, or empty
    QByteArray Contents() const;                     // the bytes a save writes

    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

private:
    enum TLineKind { lkOther, lkSection, lkKey };
    struct TLine {
        QByteArray Raw;
        TLineKind Kind = lkOther;
        QString Name;          // section name or key, trimmed
    };
    struct TRange { int Header = -1; int Begin = 0; int End = 0; };   // lines [Begin, End) after Header

    void Load();
    void Parse(const QByteArray& bytes);
    static TLine MakeLine(const QByteArray& raw);
    TRange FindSection(const QString& section) const;
    int FindKey(const TRange& range, const QString& ident) const;
    void Changed();

    QString FPath;
    QString FLoadError;
    std::vector<TLine> FLines;
    bool FBom = false;
    bool FModified = false;
    int FUpdateCount = 0;
};

// Settings kept in a system registry: this system has none, so this one keeps nothing (every
// read gives its default, every write is dropped).
class TRegIniFile : public TCustomIniFile {
public:
    using TCustomIniFile::TCustomIniFile;
    QString ReadString(const QString&, const QString&, const QString& def) const override { return def; }
    void WriteString(const QString&, const QString&, const QString&) override {}
    QStringList ReadSection(const QString&) const override { return {}; }
    QStringList ReadSections() const override { return {}; }
    void EraseSection(const QString&) override {}
    void DeleteKey(const QString&, const QString&) override {}
};
