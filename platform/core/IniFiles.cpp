#include "platform/core/IniFiles.h"

#include "platform/core/AtomicFile.h"
#include "platform/core/ProgramFolder.h"
#include "platform/core/SysUtils.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A line break inside a written name or value would end the line and let the rest of the
// text be read as keys or sections of its own.
QString OneLine(const QString& text)
{
    if (!text.contains('\n') && !text.contains('\r')) return text;
    QString s = text;
    s.replace(QLatin1String("\r\n"), QLatin1String(" "));
    s.replace('\r', ' ');
    s.replace('\n', ' ');
    return s;
}

QString ValueOf(const QByteArray& raw)
{
    int eq = raw.indexOf('=');
    QString v = QString::fromUtf8(raw.mid(eq + 1)).trimmed();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}
} // namespace

TCustomIniFile::~TCustomIniFile() = default;

int TCustomIniFile::ReadInteger(const QString& section, const QString& ident, int def) const
{
    return StrToIntDef(ReadString(section, ident, QString()), def);
}

void TCustomIniFile::WriteInteger(const QString& section, const QString& ident, int value)
{
    WriteString(section, ident, QString::number(value));
}

bool TCustomIniFile::ReadBool(const QString& section, const QString& ident, bool def) const
{
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const QString& section, const QString& ident, bool value)
{
    WriteString(section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TCustomIniFile::SectionExists(const QString& section) const
{
    for (const QString& s : ReadSections())
        if (SameName(s, section)) return true;
    return false;
}

bool TCustomIniFile::ValueExists(const QString& section, const QString& ident) const
{
    for (const QString& k : ReadSection(section))
        if (SameName(k, ident)) return true;
    return false;
}

TIniFile::TIniFile(const QString& fileName) : TCustomIniFile(fileName)
{
    FPath = fileName.contains('/') ? fileName : ProgramDataFolder() + fileName;
    Load();
}

TIniFile::~TIniFile() = default;

void TIniFile::Load()
{
    QByteArray path = QFile::encodeName(FPath);
    int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) FLoadError = SysErrorMessage(errno);
        return;
    }
    struct stat st {};
    QByteArray bytes;
    if (::fstat(fd, &st) != 0) {
        FLoadError = SysErrorMessage(errno);
    } else if (S_ISDIR(st.st_mode)) {
        FLoadError = SysErrorMessage(EISDIR);
    } else if (st.st_size > MaxFileSize) {
        FLoadError = QStringLiteral("the file is larger than a settings file can be");
    } else {
        char buf[65536];
        for (;;) {
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                FLoadError = SysErrorMessage(errno);
                break;
            }
            if (n == 0) break;
            bytes.append(buf, int(n));
            if (bytes.size() > MaxFileSize) {
                FLoadError = QStringLiteral("the file is larger than a settings file can be");
                break;
            }
        }
    }
    ::close(fd);
    if (FLoadError.isEmpty()) Parse(bytes);
}

void TIniFile::Parse(const QByteArray& bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF")) {
        FBom = true;
        data.remove(0, 3);
    }
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype nl = data.indexOf('\n', start);
        qsizetype end = nl < 0 ? data.size() : nl;
        QByteArray raw = data.mid(start, end - start);
        if (raw.endsWith('\r')) raw.chop(1);
        FLines.push_back(MakeLine(raw));
        start = end + 1;
    }
}

TIniFile::TLine TIniFile::MakeLine(const QByteArray& raw)
{
    TLine line;
    line.Raw = raw;
    QByteArray t = raw.trimmed();
    if (t.startsWith('[')) {
        int close = t.lastIndexOf(']');
        line.Kind = lkSection;
        line.Name = QString::fromUtf8(close > 0 ? t.mid(1, close - 1) : t.mid(1)).trimmed();
    } else if (!t.isEmpty() && !t.startsWith(';')) {
        int eq = t.indexOf('=');
        if (eq >= 0) {
            line.Kind = lkKey;
            line.Name = QString::fromUtf8(t.left(eq)).trimmed();
        }
    }
    return line;
}

TIniFile::TRange TIniFile::FindSection(const QString& section) const
{
    TRange r;
    const int n = int(FLines.size());
    for (int i = 0; i < n; ++i) {
        if (FLines[i].Kind == lkSection && SameName(FLines[i].Name, section)) {
            r.Header = i;
            r.Begin = i + 1;
            r.End = i + 1;
            while (r.End < n && FLines[r.End].Kind != lkSection) ++r.End;
            return r;
        }
    }
    return r;
}

int TIniFile::FindKey(const TRange& range, const QString& ident) const
{
    if (range.Header < 0) return -1;
    for (int i = range.Begin; i < range.End; ++i)
        if (FLines[i].Kind == lkKey && SameName(FLines[i].Name, ident)) return i;
    return -1;
}

QString TIniFile::ReadString(const QString& section, const QString& ident, const QString& def) const
{
    int i = FindKey(FindSection(section), ident);
    return i < 0 ? def : ValueOf(FLines[i].Raw);
}

void TIniFile::WriteString(const QString& section, const QString& ident, const QString& value)
{
    TLine line = MakeLine((OneLine(ident) + '=' + OneLine(value)).toUtf8());
    line.Kind = lkKey;
    line.Name = OneLine(ident).trimmed();
    TRange r = FindSection(section);
    if (r.Header < 0) {
        if (!FLines.empty() && !FLines.back().Raw.trimmed().isEmpty()) FLines.push_back(TLine());
        FLines.push_back(MakeLine(('[' + OneLine(section) + ']').toUtf8()));
        FLines.push_back(line);
    } else if (int i = FindKey(r, ident); i >= 0) {
        // The file's own spelling of the key stays.
        line.Raw = (FLines[i].Name + '=' + OneLine(value)).toUtf8();
        line.Name = FLines[i].Name;
        if (FLines[i].Raw == line.Raw) return;
        FLines[i] = line;
    } else {
        int at = r.End;
        while (at > r.Begin && FLines[at - 1].Raw.trimmed().isEmpty()) --at;
        FLines.insert(FLines.begin() + at, line);
    }
    Changed();
}

QStringList TIniFile::ReadSection(const QString& section) const
{
    QStringList keys;
    TRange r = FindSection(section);
    if (r.Header < 0) return keys;
    for (int i = r.Begin; i < r.End; ++i)
        if (FLines[i].Kind == lkKey) keys << FLines[i].Name;
    return keys;
}

QStringList TIniFile::ReadSections() const
{
    QStringList names;
    for (const TLine& l : FLines)
        if (l.Kind == lkSection) {
            bool seen = false;
            for (const QString& n : names) seen = seen || SameName(n, l.Name);
            if (!seen) names << l.Name;
        }
    return names;
}

void TIniFile::EraseSection(const QString& section)
{
    bool erased = false;
    for (TRange r = FindSection(section); r.Header >= 0; r = FindSection(section)) {
        FLines.erase(FLines.begin() + r.Header, FLines.begin() + r.End);
        erased = true;
    }
    if (!erased) return;
    while (!FLines.empty() && FLines.back().Raw.trimmed().isEmpty()) FLines.pop_back();
    Changed();
}

void TIniFile::DeleteKey(const QString& section, const QString& ident)
{
    int i = FindKey(FindSection(section), ident);
    if (i < 0) return;
    FLines.erase(FLines.begin() + i);
    Changed();
}

bool TIniFile::SectionExists(const QString& section) const { return FindSection(section).Header >= 0; }

bool TIniFile::ValueExists(const QString& section, const QString& ident) const
{
    return FindKey(FindSection(section), ident) >= 0;
}

QByteArray TIniFile::Contents() const
{
    QByteArray out;
    if (FBom) out += "\xEF\xBB\xBF";
    for (const TLine& l : FLines) {
        out += l.Raw;
        out += '\n';
    }
    return out;
}

void TIniFile::Changed()
{
    FModified = true;
    if (FUpdateCount == 0) UpdateFile();
}

void TIniFile::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0) UpdateFile();
}

void TIniFile::UpdateFile()
{
    if (!FModified) return;
    if (!FLoadError.isEmpty())
        throw EFCreateError(Format(QStringLiteral("Cannot create file %s: it could not be read (%s)"), {FPath, FLoadError}));
    AtomicWriteFile(FPath, Contents());
    FModified = false;
}
