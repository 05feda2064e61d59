#include "app/UGeneral.h"

#include "app/ChildForm.h"
#include "platform/client/ClientDataSet.h"
#include "platform/client/ClientFields.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketFile.h"
#include "platform/core/ProgramFolder.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Controls.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
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

bool SamePath(const QString& a, const QString& b)
{
    if (a == b) return true;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
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
    return virtualKey == VK_PRIOR || virtualKey == VK_NEXT || virtualKey == VK_UP || virtualKey == VK_DOWN;
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
    char head[4];
    ssize_t got = 0;
    while (got < 4) {
        ssize_t n = ::read(fd, head + got, size_t(4 - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
    }
    ::close(fd);
    if (got < 4) throw EReadError(QStringLiteral("Stream read error"));
    if (HasPacketSignature(head, got)) return dfkClientDataSet;
    if (QByteArrayView(head, 4) == QByteArrayView("TPF0")) return dfkMemTable;
    return dfkUnknown;
}

void ReadFileFieldDefs(const QString& path, TFieldDefs& defs)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(Format(QStringLiteral("Cannot open file \"%s\". %s"), {path, file.errorString()}));
    const qint64 size = file.size();
    QByteArray copy;
    const char* data = nullptr;
    if (size > 0) {
        if (const uchar* mapped = file.map(0, size)) {
            data = reinterpret_cast<const char*>(mapped);
        } else {
            copy = file.readAll();
            data = copy.constData();
        }
    }
    try {
        TPacketMetadata meta = ReadPacketMetadata(data, data ? size : 0);
        if (!meta.IsPrepared()) meta.Prepare();
        defs.Clear();
        FieldDefsFromDescriptors(meta.Fields, defs);
    } catch (const EPacketError& e) {
        DatabaseError(Format(QStringLiteral("%s: %s"), {path, e.Message()}));
    }
}

// ---------------------------------------------------------------------------------------------
// Field-definition tables

namespace {
template <typename F>
F* Declare(TClientDataSet* table, const char* name, int displayWidth, bool required = false)
{
    auto* field = new F(table);
    field->SetFieldName(QLatin1String(name));
    if (displayWidth > 0) field->SetDisplayWidth(displayWidth);
    field->SetRequired(required);
    field->SetDataSet(table);
    return field;
}

TWideStringField* DeclareWide(TClientDataSet* table, const char* name, int size, int displayWidth, bool required)
{
    auto* field = Declare<TWideStringField>(table, name, displayWidth, required);
    field->SetSize(size);
    return field;
}

void DeclareOrgName(TClientDataSet* table)
{
    auto* field = Declare<TStringField>(table, "OrgName", 0);
    field->SetSize(30);
    field->SetVisible(false);
}

// Closes the table and keeps its declared fields; answers whether it has none yet.
bool Reset(TClientDataSet* table)
{
    table->Close();
    table->FieldDefs().Clear();
    table->IndexDefs().Clear();
    return table->FieldCount() == 0;
}
} // namespace

void CreateFieldDefsTable(TClientDataSet* table)
{
    if (Reset(table)) {
        Declare<TIntegerField>(table, "Pos", 6);
        DeclareWide(table, "Name", 60, 30, true);
        auto* detail = Declare<TIntegerField>(table, "Detail", 2);
        detail->SetFieldKind(fkCalculated);
        detail->SetDisplayLabel(QStringLiteral(" "));
        DeclareWide(table, "Type", 60, 30, true);
        DeclareWide(table, "Size", 20, 10, true);
        DeclareOrgName(table);
        table->OnCalcFields = [](TDataSet* ds) {
            const bool nested = ds->FieldByName(QStringLiteral("Type"))->AsString() == QLatin1String("DataSet");
            ds->FieldByName(QStringLiteral("Detail"))->SetAsInteger(nested ? 1 : 0);
        };
    }
    table->IndexDefs().Add(QStringLiteral("NAME_INX"), QStringLiteral("Name"), ixUnique);
    table->SetIndexFieldNames(QStringLiteral("Pos"));
    table->CreateDataSet();
}

void CreateDetailTable(TClientDataSet* table)
{
    if (Reset(table)) {
        Declare<TIntegerField>(table, "Pos", 6);
        DeclareWide(table, "Name", 60, 30, true);
        DeclareWide(table, "Type", 60, 30, true);
        DeclareWide(table, "Size", 20, 10, false);
        DeclareOrgName(table);
        auto* detail = Declare<TSmallintField>(table, "Detail", 0);
        detail->SetFieldKind(fkCalculated);
        detail->SetVisible(false);
        table->OnCalcFields = [](TDataSet* ds) { ds->FieldByName(QStringLiteral("Detail"))->SetAsInteger(1); };
    }
    table->SetIndexFieldNames(QStringLiteral("Pos"));
    table->CreateDataSet();
}

void CreateFieldDefsClipboard(TClientDataSet* table)
{
    if (Reset(table)) {
        Declare<TIntegerField>(table, "Pos", 0);
        DeclareWide(table, "Name", 60, 30, false);
        DeclareWide(table, "Type", 60, 30, false);
        DeclareWide(table, "Size", 20, 10, false);
        DeclareWide(table, "Precision", 20, 10, false);
        DeclareOrgName(table);
    }
    table->IndexDefs().Add(QStringLiteral("NAME_INX"), QStringLiteral("Name"), ixUnique);
    table->SetIndexFieldNames(QString());
    table->CreateDataSet();
}

void AppendDefinitionRow(TClientDataSet* table, int pos, const QString& name, const QString& type, const QString& size)
{
    table->Append();
    table->FieldByName(QStringLiteral("Pos"))->SetAsInteger(pos);
    table->FieldByName(QStringLiteral("Name"))->SetAsString(name);
    table->FieldByName(QStringLiteral("OrgName"))->SetAsString(name);
    table->FieldByName(QStringLiteral("Type"))->SetAsString(type);
    table->FieldByName(QStringLiteral("Size"))->SetAsString(size);
    table->Post();
}

bool IsEditing(const TDataSet* ds) { return ds && (ds->State() == dsEdit || ds->State() == dsInsert); }

TControlsDisabled::TControlsDisabled(TDataSet* ds) : FDataSet(ds) { FDataSet->DisableControls(); }

TControlsDisabled::~TControlsDisabled() { FDataSet->EnableControls(); }

namespace {
// The nested field of that name among the file's definitions (exact name first).
const TFieldDef* FindNestedDef(const TFieldDefs& defs, const QString& name)
{
    if (name.isEmpty()) return nullptr;
    const TFieldDef* found = nullptr;
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef* d = defs.Items(i);
        if (d->Name() == name) {
            found = d;
            break;
        }
        if (!found && d->Name().compare(name, Qt::CaseInsensitive) == 0) found = d;
    }
    return found && found->DataType() == ftDataSet ? found : nullptr;
}
} // namespace

void LoadNestedStructure(TClientDataSet* master, TClientDataSet* nested, const QString& path)
{
    TControlsDisabled disabled(nested);
    bool loaded = false;
    if (!path.isEmpty() && FileExists(path) && master->Active() && !master->IsEmpty()) {
        QString name = master->FieldByName(QStringLiteral("OrgName"))->AsString();
        if (name.isEmpty()) name = master->FieldByName(QStringLiteral("Name"))->AsString();
        // The header alone: a file of a million records answers at once.
        TClientDataSet reader;
        ReadFileFieldDefs(path, reader.FieldDefs());
        if (const TFieldDef* def = FindNestedDef(reader.FieldDefs(), name); def && def->HasChildDefs()) {
            TFieldDefs* children = const_cast<TFieldDef*>(def)->ChildDefs();
            for (int i = 0; i < children->Count(); ++i) {
                const TFieldDef* child = children->Items(i);
                AppendDefinitionRow(nested, child->FieldNo(), child->Name(), FieldTypeName(child->DataType()),
                                    QString::number(child->Size()));
            }
            loaded = true;
        }
    }
    if (!loaded)
        AppendDefinitionRow(nested, 1, QStringLiteral("Dummy"), QStringLiteral("String"), QStringLiteral("50"));
    nested->MergeChangeLog();
}

// ---------------------------------------------------------------------------------------------
// The settings file

namespace {
QString GSettingsFileName;
}

QString SettingsFileName()
{
    if (!GSettingsFileName.isEmpty()) return GSettingsFileName;
    return ProgramDataFolder() + QStringLiteral("Quarrow.ini");
}

void SetSettingsFileName(const QString& fileName) { GSettingsFileName = fileName; }

void ForSelectedRecords(TDataSet* dataSet, const QList<TBookmark>& selected, const std::function<void()>& fn)
{
    if (selected.isEmpty()) {
        fn();
        return;
    }
    for (const TBookmark& mark : selected) {
        if (!dataSet->BookmarkValid(mark)) continue;
        dataSet->GotoBookmark(mark);
        fn();
    }
}

// ---------------------------------------------------------------------------------------------
// Actions and labels

QAction* NewAction(QObject* owner, const char* name, const QString& caption, const QString& hint, const QIcon& icon)
{
    auto* action = new QAction(icon, caption, owner);
    action->setObjectName(QLatin1String(name));
    if (!hint.isEmpty()) {
        const int bar = hint.indexOf('|');
        action->setToolTip(bar < 0 ? hint : hint.left(bar));
        action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
    }
    return action;
}

QLabel* BoldLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}
