#pragma once
// Access databases as the migration window uses them: a connection names the database file
// (in an ADO-style connection string or as the bare file name) and lists its tables; a table
// dataset on the connection reads one table. Jet 3 text takes the connection's code page.

#include "platform/tables/AccessDatabase.h"
#include "platform/tables/LocalTables.h"

#include <QList>
#include <QPointer>

class TADOTable;

class TADOConnection : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ConnectionString READ ConnectionString WRITE SetConnectionString)
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)
    Q_PROPERTY(int CodePage READ CodePage WRITE SetCodePage)
public:
    explicit TADOConnection(QObject* owner = nullptr);
    ~TADOConnection() override;

    // "Provider=...;Data Source=<file>;..." or the database file itself. Changing it closes
    // the connection.
    QString ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const QString& text);
    // The database file the connection string names.
    QString DataSource() const;

    bool Connected() const { return FDatabase != nullptr; }
    void SetConnected(bool connected);
    void Open() { SetConnected(true); }
    // Closes the tables open on the connection first.
    void Close() { SetConnected(false); }

    // Code page of Jet 3 text (0: the declared one, else Windows-1252); set while closed.
    int CodePage() const { return FCodePage; }
    void SetCodePage(int codePage);

    // The names of the database's tables (connects when needed).
    void GetTableNames(QStringList& list, bool systemTables = false);
    // The open database (connects when needed).
    std::shared_ptr<TAccessDatabase> Database();

private:
    friend class TADOTable;
    void Attach(TADOTable* table);
    void Detach(TADOTable* table);

    QString FConnectionString;
    int FCodePage = 0;
    std::shared_ptr<TAccessDatabase> FDatabase;
    QList<QPointer<TADOTable>> FTables;
};

// One table of an Access database, on a connection or on a connection string of its own.
class TADOTable : public TTableDataSet {
    Q_OBJECT
    Q_PROPERTY(QString TableName READ TableName WRITE SetTableName)
    Q_PROPERTY(QString ConnectionString READ ConnectionString WRITE SetConnectionString)
    Q_PROPERTY(TADOConnection* Connection READ Connection WRITE SetConnection)
public:
    explicit TADOTable(QObject* owner = nullptr);
    ~TADOTable() override;

    QString TableName() const { return FTableName; }
    void SetTableName(const QString& name);
    TADOConnection* Connection() const { return FConnection; }
    void SetConnection(TADOConnection* connection);
    // Used when no connection is set.
    QString ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const QString& text);

protected:
    std::unique_ptr<TTableReader> CreateReader() override;

private:
    friend class TADOConnection;
    QString FTableName;
    QString FConnectionString;
    QPointer<TADOConnection> FConnection;
};
