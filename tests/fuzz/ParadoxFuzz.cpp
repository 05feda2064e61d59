// libFuzzer target for the Paradox reader: the input is a table (.db), optionally followed by
// its blob file (.mb) after the companion marker. Any input must open and read, or raise a
// database error; nothing else.

#include "platform/tables/LocalTables.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInitApplication(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray table, blobs;
    bool hasBlobs = false;
    SplitCompanion(data, size, table, blobs, hasBlobs);
    const QString path = FuzzWriteFile(QStringLiteral("fuzz.db"), table);
    if (hasBlobs)
        FuzzWriteFile(QStringLiteral("fuzz.mb"), blobs);
    else
        FuzzRemoveFile(QStringLiteral("fuzz.mb"));
    TTable t;
    t.SetTableName(path);
    try {
        t.Open();
        ReadEveryValue(t);
    } catch (const Exception&) {
    }
    return 0;
}
