#pragma once
// Read-only datasets over Paradox and dBASE tables (TTable) and over the tables of Access
// databases (TADOTable on a TADOConnection). Writing, SQL and QBE raise a clear
// "not supported" error.

#include "platform/data/DB.h"
#include "platform/tables/TableReader.h"

#include <QStringList>
#include <memory>
#include <vector>

// A dataset whose records a table reader serves: records in the table's order, deleted ones
// left out, read on demand. OnFilterRecord filters; nothing else changes the view.
class TTableDataSet : public TDataSet {
    Q_OBJECT
    Q_PROPERTY(int CodePage READ CodePage WRITE SetCodePage)
public:
    explicit TTableDataSet(QObject* owner = nullptr);
    ~TTableDataSet() override;

    // The code page of the table's 8-bit text; 0 (the default) takes what the table declares,
    // else the default code page. Set it while closed.
    int CodePage() const { return FCodePage; }
    void SetCodePage(int codePage);

    bool IsSequenced() const override { return !Filtered(); }

    // The open table's missing blob or memo file and the fields that keep their values in it
    // (see TTableReader); empty when closed or nothing is missing.
    QString MissingCompanionFile() const { return FReader ? FReader->MissingCompanionFile() : QString(); }
    QStringList CompanionFields() const { return FReader ? FReader->CompanionFields() : QStringList(); }

protected:
    // Opens the reader of the table; raises when the table cannot be read.
    virtual std::unique_ptr<TTableReader> CreateReader() = 0;
    TTableReader* Reader() const { return FReader.get(); }

    void InternalInitFieldDefs() override;
    void InternalOpen() override;
    void InternalClose() override;
    int ViewCount() const override;
    TRecordId ViewRecord(int position) const override;
    int ViewPosition(TRecordId id) const override;
    bool GetRecordValue(TRecordId id, const TField* field, TVariant& value) const override;
    void InternalEdit(TRecordId id) override;
    void InternalInsert(bool append) override;
    TRecordId InternalPost(const TEditBuffer& buffer) override;
    void InternalDelete(TRecordId id) override;
    bool GetCanModify() const override { return false; }
    void FilterChanged() override;
    void UpdateIndexDefs() override;

private:
    void RebuildView();

    std::unique_ptr<TTableReader> FReader;
    // Record numbers of the view while filtered; empty means all records in order.
    std::vector<int> FView;
    std::vector<int> FPositionOf;
    bool FFilteredView = false;
    int FCodePage = 0;
};

enum TTableType { ttDefault, ttParadox, ttDBase };

// A Paradox (.db) or dBASE (.dbf) table, chosen by TableType or else by the extension.
class TTable : public TTableDataSet {
    Q_OBJECT
    Q_PROPERTY(QString DatabaseName READ DatabaseName WRITE SetDatabaseName)
    Q_PROPERTY(QString TableName READ TableName WRITE SetTableName)
public:
    explicit TTable(QObject* owner = nullptr);
    ~TTable() override;

    // The folder of the table; empty when TableName is a full path.
    QString DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QString& name);
    // The table's file name, with or without a folder and an extension (without one, ".db"
    // is tried first, then ".dbf").
    QString TableName() const { return FTableName; }
    void SetTableName(const QString& name);
    TTableType TableType() const { return FTableType; }
    void SetTableType(TTableType type);

    // The file the table reads.
    QString TableFileName() const;
    // The kind the file is read as (never ttDefault).
    TTableType ActualTableType() const;
    bool Exists() const;

protected:
    std::unique_ptr<TTableReader> CreateReader() override;

private:
    QString FDatabaseName;
    QString FTableName;
    TTableType FTableType = ttDefault;
};

// SQL over local tables: every attempt to run it raises "not supported".
class TQuery : public TDataSet {
    Q_OBJECT
    Q_PROPERTY(QStringList SQL READ SQL WRITE SetSQL)
    Q_PROPERTY(QString DatabaseName READ DatabaseName WRITE SetDatabaseName)
public:
    explicit TQuery(QObject* owner = nullptr);
    ~TQuery() override;
    QStringList SQL() const { return FSQL; }
    void SetSQL(const QStringList& sql) { FSQL = sql; }
    QString DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QString& name) { FDatabaseName = name; }
    void ExecSQL();

protected:
    void InternalOpen() override;
    void InternalClose() override {}
    int ViewCount() const override { return 0; }
    TRecordId ViewRecord(int) const override { return NoRecord; }
    int ViewPosition(TRecordId) const override { return -1; }
    bool GetRecordValue(TRecordId, const TField*, TVariant&) const override { return false; }
    TRecordId InternalPost(const TEditBuffer&) override { return NoRecord; }
    void InternalDelete(TRecordId) override {}
    bool GetCanModify() const override { return false; }

private:
    QStringList FSQL;
    QString FDatabaseName;
};
