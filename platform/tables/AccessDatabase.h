#pragma once
// Access databases (.mdb, Jet 3 and Jet 4). The reading itself lives in an optional back end
// built only when its library is on the machine; without it every attempt to open an Access
// database says that this build does not support them.

#include "platform/tables/TableReader.h"

#include <QStringList>
#include <memory>

class TAccessDatabase {
public:
    virtual ~TAccessDatabase() = default;
    virtual QString FileName() const = 0;
    // 3 (Access 97) or 4 (Access 2000-2003).
    virtual int JetVersion() const = 0;
    // The code page of Jet 3 text: the one chosen when opening, else the declared one.
    virtual int CodePage() const = 0;
    // The user tables; systemTables adds the database's own.
    virtual QStringList TableNames(bool systemTables = false) = 0;
    // A reader of one table (names compare without regard to case); it keeps the database
    // open. Raises when there is no such table.
    virtual std::unique_ptr<TTableReader> OpenTable(const QString& name) = 0;
};

bool AccessDatabasesSupported();
// Opens an Access database for reading. codePage, when not 0, is the code page of Jet 3 text
// (Jet 3 files record none that can be trusted; Windows-1252 otherwise). Raises EDatabaseError
// for a file that is not an Access database, and "not supported in this build" without the
// back end.
std::shared_ptr<TAccessDatabase> OpenAccessDatabase(const QString& fileName, int codePage = 0);
