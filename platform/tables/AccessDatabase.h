#pragma once
// Access databases (.mdb, Jet 3 and Jet 4). They are read by an optional reader program,
// quarrow-mdb, built with the mdbtools library when it is on the machine. The program runs it
// as a process of its own and watches it: a damaged file that makes the library crash, loop
// or run out of memory ends in a clear error here. Without the reader every attempt to open an
// Access database says that this build does not support them.

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
// How long the reader may stay silent before it counts as hung (20 s unless changed).
void SetAccessReaderTimeout(int milliseconds);
// Opens an Access database for reading. codePage, when not 0, is the code page of Jet 3 text
// (Jet 3 files record none that can be trusted; Windows-1252 otherwise). Raises EDatabaseError
// for a file that is not an Access database, and "not supported in this build" without the
// back end.
std::shared_ptr<TAccessDatabase> OpenAccessDatabase(const QString& fileName, int codePage = 0);
