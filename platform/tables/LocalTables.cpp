#include "platform/tables/LocalTables.h"

#include "platform/tables/DBaseReader.h"
#include "platform/tables/ParadoxReader.h"

#include <QDir>
#include <QFileInfo>

// ---------------------------------------------------------------------------------------------
// TTableDataSet

TTableDataSet::TTableDataSet(QObject* owner) : TDataSet(owner) {}

TTableDataSet::~TTableDataSet()
{
    CloseOnDestroy();
}

void TTableDataSet::SetCodePage(int codePage)
{
    CheckInactive();
    FCodePage = codePage;
}

void TTableDataSet::InternalInitFieldDefs()
{
    // Opening starts a fresh reader and keeps it; an update of the definitions uses the open
    // one, or a temporary one while closed.
    std::unique_ptr<TTableReader> created;
    TTableReader* reader = FReader.get();
    if (State() == dsOpening || !reader) {
        created = CreateReader();
        reader = created.get();
    }
    FieldDefs().Clear();
    for (const TTableFieldInfo& info : reader->Fields()) {
        // Some tables repeat a name; the later field gets a number so that every field can be
        // reached by name.
        QString name = info.Name;
        for (int n = 1; FieldDefs().IndexOf(name) >= 0; ++n) name = QStringLiteral("%1_%2").arg(info.Name).arg(n);
        TFieldDef* def = FieldDefs().Add(name, info.DataType, info.Size, info.Required);
        def->SetPrecision(info.Precision);
    }
    if (State() == dsOpening) FReader = std::move(created);
}

void TTableDataSet::InternalOpen()
{
    if (!FReader) FReader = CreateReader();
    const auto& infos = FReader->Fields();
    for (TField* field : Fields()) {
        const int no = field->FieldNo();
        if (no < 1 || no > int(infos.size())) continue;
        const int codePage = infos[size_t(no - 1)].CodePage;
        if (codePage <= 0) continue;
        if (auto* s = qobject_cast<TStringField*>(field); s && !qobject_cast<TWideStringField*>(field)) s->SetCodePage(codePage);
        else if (auto* b = qobject_cast<TBlobField*>(field)) b->SetCodePage(codePage);
    }
    RebuildView();
}

void TTableDataSet::InternalClose()
{
    FReader.reset();
    FView.clear();
    FPositionOf.clear();
    FFilteredView = false;
}

int TTableDataSet::ViewCount() const
{
    if (!FReader) return 0;
    return FFilteredView ? int(FView.size()) : FReader->RecordCount();
}

TRecordId TTableDataSet::ViewRecord(int position) const
{
    return FFilteredView ? TRecordId(FView[size_t(position)]) : TRecordId(position);
}

int TTableDataSet::ViewPosition(TRecordId id) const
{
    if (!FReader || id < 0 || id >= FReader->RecordCount()) return -1;
    return FFilteredView ? FPositionOf[size_t(id)] : int(id);
}

bool TTableDataSet::GetRecordValue(TRecordId id, const TField* field, TVariant& value) const
{
    const int no = field->FieldNo();
    if (!FReader || no < 1 || no > int(FReader->Fields().size()) || id < 0 || id >= FReader->RecordCount()) return false;
    return FReader->ReadValue(int(id), no - 1, value);
}

namespace {
[[noreturn]] void WriteNotSupported()
{
    TableNotSupported(QStringLiteral("Writing to Paradox, dBASE and Access tables"));
}
} // namespace

void TTableDataSet::InternalEdit(TRecordId) { WriteNotSupported(); }
void TTableDataSet::InternalInsert(bool) { WriteNotSupported(); }
TRecordId TTableDataSet::InternalPost(const TEditBuffer&) { WriteNotSupported(); }
void TTableDataSet::InternalDelete(TRecordId) { WriteNotSupported(); }

void TTableDataSet::FilterChanged()
{
    RebuildView();
}

void TTableDataSet::RebuildView()
{
    FView.clear();
    FPositionOf.clear();
    FFilteredView = false;
    if (!FReader || !Filtered() || !OnFilterRecord) return;
    const int count = FReader->RecordCount();
    FPositionOf.assign(size_t(count), -1);
    for (int id = 0; id < count; ++id) {
        if (!FilterRecord(id)) continue;
        FPositionOf[size_t(id)] = int(FView.size());
        FView.push_back(id);
    }
    FFilteredView = true;
}

void TTableDataSet::UpdateIndexDefs()
{
    IndexDefs().Clear();
    std::unique_ptr<TTableReader> temporary;
    TTableReader* reader = FReader.get();
    if (!reader) {
        temporary = CreateReader();
        reader = temporary.get();
    }
    const QStringList key = reader->PrimaryKey();
    if (!key.isEmpty()) IndexDefs().Add(QString(), key.join(QLatin1Char(';')), TIndexOptions(ixPrimary | ixUnique));
}

// ---------------------------------------------------------------------------------------------
// TTable

TTable::TTable(QObject* owner) : TTableDataSet(owner) {}

TTable::~TTable()
{
    CloseOnDestroy();
}

void TTable::SetDatabaseName(const QString& name)
{
    CheckInactive();
    FDatabaseName = name;
}

void TTable::SetTableName(const QString& name)
{
    CheckInactive();
    FTableName = name;
}

void TTable::SetTableType(TTableType type)
{
    CheckInactive();
    FTableType = type;
}

QString TTable::TableFileName() const
{
    QString name = FTableName;
    if (!FDatabaseName.isEmpty() && QFileInfo(name).isRelative()) name = QDir(FDatabaseName).filePath(name);
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty()) {
        const QString paradox = name + QStringLiteral(".db");
        const QString dbase = name + QStringLiteral(".dbf");
        if (FTableType == ttDBase) return dbase;
        if (FTableType == ttParadox || QFileInfo::exists(paradox) || !QFileInfo::exists(dbase)) return paradox;
        return dbase;
    }
    return name;
}

TTableType TTable::ActualTableType() const
{
    if (FTableType != ttDefault) return FTableType;
    return QFileInfo(TableFileName()).suffix().compare(QStringLiteral("dbf"), Qt::CaseInsensitive) == 0 ? ttDBase : ttParadox;
}

bool TTable::Exists() const
{
    return QFileInfo(TableFileName()).isFile();
}

std::unique_ptr<TTableReader> TTable::CreateReader()
{
    if (FTableName.isEmpty()) DatabaseError(QStringLiteral("Missing TableName property"), this);
    const QString file = TableFileName();
    if (ActualTableType() == ttDBase) return std::make_unique<TDBaseReader>(file, CodePage());
    return std::make_unique<TParadoxReader>(file, CodePage());
}

// ---------------------------------------------------------------------------------------------
// TQuery

TQuery::TQuery(QObject* owner) : TDataSet(owner) {}

TQuery::~TQuery()
{
    CloseOnDestroy();
}

void TQuery::InternalOpen()
{
    TableNotSupported(QStringLiteral("SQL over Paradox and dBASE tables"));
}

void TQuery::ExecSQL()
{
    TableNotSupported(QStringLiteral("SQL over Paradox and dBASE tables"));
}
