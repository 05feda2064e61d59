// libFuzzer target for the dBASE reader. Built twice: without its memo file (the input is the
// table alone) and with it (DBASE_WITH_MEMO: the memo file follows the companion marker and is
// written under both memo extensions). Any input must open and read, or raise a database
// error; nothing else.

#include "platform/tables/LocalTables.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInitApplication(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray table, memo;
    bool hasMemo = false;
#ifdef DBASE_WITH_MEMO
    SplitCompanion(data, size, table, memo, hasMemo);
#else
    table = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
#endif
    const QString path = FuzzWriteFile(QStringLiteral("fuzz.dbf"), table);
    for (const QString& name : {QStringLiteral("fuzz.dbt"), QStringLiteral("fuzz.fpt")}) {
        if (hasMemo)
            FuzzWriteFile(name, memo);
        else
            FuzzRemoveFile(name);
    }
    TTable t;
    t.SetTableName(path);
    try {
        t.Open();
        ReadEveryValue(t);
    } catch (const Exception&) {
    }
    return 0;
}
