#include "app/UGeneral.h"

#include "app/ChildForm.h"
#include "platform/vcl/SysUtils.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr std::array<const char*, 36> TypeNames = {
    "Unknown", "String", "Smallint", "Integer", "Word", "Boolean", "Float", "Currency", "BCD",
    "Date", "Time", "DateTime", "Bytes", "VarBytes", "AutoInc", "Blob", "Memo", "Graphic",
    "FmtMemo", "ParadoxOle", "DBaseOle", "TypedBinary", "Cursor", "FixedChar", "WideString",
    "LargeInt", "ADT", "Array", "Reference", "DataSet", "OraBlob", "OraClob", "Variant",
    "Interface", "IDispatch", "Guid"};
} // namespace

QString FieldTypeName(int fieldType)
{
    if (fieldType < 0 || fieldType >= int(TypeNames.size())) return QStringLiteral("UnKown");
    return QLatin1String(TypeNames[size_t(fieldType)]);
}

int FieldTypeFromName(const QString& name)
{
    for (size_t i = 0; i < TypeNames.size(); ++i)
        if (name == QLatin1String(TypeNames[i])) return int(i);
    return 1;
}

bool FileShownTwice(const QString& path)
{
    if (path.isEmpty()) return false;
    int count = 0;
    for (const QWidget* form : OpenForms())
        if (OwnCaption(form).contains(path, Qt::CaseSensitive) && ++count > 1) return true;
    return false;
}

void SplitDelimited(const QString& text, const QString& delimiters, QStringList& list)
{
    QString piece;
    bool quoted = false;
    for (QChar c : text) {
        if (c == '"' || c == '\'') quoted = !quoted;
        if (!quoted && delimiters.contains(c)) {
            if (!piece.isEmpty()) list.append(piece);
            piece.clear();
        } else {
            piece.append(c);
        }
    }
    if (!piece.isEmpty()) list.append(piece);
}

bool IsRowNavigationKey(int virtualKey)
{
    return virtualKey == 33 || virtualKey == 34 || virtualKey == 38 || virtualKey == 40;
}

int DetectDataFileKind(const QString& path)
{
    const QByteArray name = path.toLocal8Bit();
    int fd = path.isEmpty() ? -1 : ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = path.isEmpty() ? ENOENT : errno;
        throw EFOpenError(Format(QStringLiteral("Cannot open file \"%s\". %s"), {path, SysErrorMessage(error)}),
                          error);
    }
    // A folder opens but reads nothing; a fifo must not block us.
    unsigned char head[4];
    ssize_t got = 0;
    while (got < 4) {
        ssize_t n = ::read(fd, head + got, size_t(4 - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
    }
    ::close(fd);
    if (got < 4) throw EReadError(QStringLiteral("Stream read error"));
    if (head[0] == 0x96 && head[1] == 0x19 && head[2] == 0xE0 && head[3] == 0xBD) return dfkClientDataSet;
    if (head[0] == '<' && head[1] == '?' && head[2] == 'x' && head[3] == 'm') return dfkClientDataSet;
    if (head[0] == 'T' && head[1] == 'P' && head[2] == 'F' && head[3] == '0') return dfkMemTable;
    return dfkUnknown;
}
