#include "platform/tables/AccessTables.h"

namespace {

// The "Data Source" of a connection string ("key=value" items separated by ";", a value
// possibly quoted); a text without any "key=value" is the file itself.
QString DataSourceOf(const QString& connectionString)
{
    if (!connectionString.contains(QLatin1Char('='))) return connectionString.trimmed();
    QStringList items;
    QString item;
    QChar quote;
    for (const QChar ch : connectionString) {
        if (!quote.isNull()) {
            if (ch == quote) quote = QChar();
            item += ch;
        } else if (ch == QLatin1Char(';')) {
            items << item;
            item.clear();
        } else {
            if ((ch == QLatin1Char('"') || ch == QLatin1Char('\'')) && item.section(QLatin1Char('='), 1).trimmed().isEmpty()
                && item.contains(QLatin1Char('=')))
                quote = ch;
            item += ch;
        }
    }
    items << item;
    for (const QString& part : items) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        if (part.left(eq).trimmed().compare(QStringLiteral("Data Source"), Qt::CaseInsensitive) != 0) continue;
        QString value = part.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\'')))
            && value.endsWith(value.at(0)))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

std::shared_ptr<TAccessDatabase> OpenFromConnectionString(const QString& connectionString, int codePage, const QObject* component)
{
    const QString file = DataSourceOf(connectionString);
    if (file.isEmpty()) DatabaseError(QStringLiteral("The connection string names no database file"), component);
    return OpenAccessDatabase(file, codePage);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TADOConnection

TADOConnection::TADOConnection(QObject* owner) : QObject(owner) {}

TADOConnection::~TADOConnection()
{
    for (const QPointer<TADOTable>& table : FTables)
        if (table) table->FConnection = nullptr;
}

void TADOConnection::SetConnectionString(const QString& text)
{
    if (text == FConnectionString) return;
    Close();
    FConnectionString = text;
}

QString TADOConnection::DataSource() const
{
    return DataSourceOf(FConnectionString);
}

void TADOConnection::SetConnected(bool connected)
{
    if (connected == Connected()) return;
    if (connected) {
        FDatabase = OpenFromConnectionString(FConnectionString, FCodePage, this);
        return;
    }
    for (const QPointer<TADOTable>& table : FTables)
        if (table) table->Close();
    FDatabase.reset();
}

void TADOConnection::SetCodePage(int codePage)
{
    if (codePage == FCodePage) return;
    Close();
    FCodePage = codePage;
}

void TADOConnection::GetTableNames(QStringList& list, bool systemTables)
{
    list = Database()->TableNames(systemTables);
}

std::shared_ptr<TAccessDatabase> TADOConnection::Database()
{
    Open();
    return FDatabase;
}

void TADOConnection::Attach(TADOTable* table)
{
    if (!FTables.contains(table)) FTables.append(table);
}

void TADOConnection::Detach(TADOTable* table)
{
    FTables.removeAll(table);
}

// ---------------------------------------------------------------------------------------------
// TADOTable

TADOTable::TADOTable(QObject* owner) : TTableDataSet(owner) {}

TADOTable::~TADOTable()
{
    CloseOnDestroy();
    if (FConnection) FConnection->Detach(this);
}

void TADOTable::SetTableName(const QString& name)
{
    CheckInactive();
    FTableName = name;
    IndexDefs().SetUpdated(false);
}

void TADOTable::SetConnection(TADOConnection* connection)
{
    if (connection == FConnection) return;
    CheckInactive();
    if (FConnection) FConnection->Detach(this);
    FConnection = connection;
    if (FConnection) FConnection->Attach(this);
}

void TADOTable::SetConnectionString(const QString& text)
{
    CheckInactive();
    FConnectionString = text;
    IndexDefs().SetUpdated(false);
}

std::unique_ptr<TTableReader> TADOTable::CreateReader()
{
    if (FTableName.isEmpty()) DatabaseError(QStringLiteral("Missing TableName property"), this);
    std::shared_ptr<TAccessDatabase> database =
        FConnection ? FConnection->Database() : OpenFromConnectionString(FConnectionString, CodePage(), this);
    return database->OpenTable(FTableName);
}
