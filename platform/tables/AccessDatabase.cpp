#include "platform/tables/AccessDatabase.h"

#ifdef QUARROW_HAVE_MDBTOOLS
#include "platform/tables/mdb/MdbDatabase.h"
#endif

bool AccessDatabasesSupported()
{
#ifdef QUARROW_HAVE_MDBTOOLS
    return true;
#else
    return false;
#endif
}

std::shared_ptr<TAccessDatabase> OpenAccessDatabase(const QString& fileName, int codePage)
{
#ifdef QUARROW_HAVE_MDBTOOLS
    return OpenMdbDatabase(fileName, codePage);
#else
    Q_UNUSED(fileName);
    Q_UNUSED(codePage);
    DatabaseError(QStringLiteral("Access databases (.mdb) are not supported in this build"));
#endif
}
