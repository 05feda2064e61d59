// libFuzzer target for the memory table's files, built twice: the binary stream ("TPF0") and,
// with MEMTABLE_CSV, the delimited-text stream. Any input must load or raise a database or
// conversion error; what loads must be readable, and what the table writes must load again.

#include "memtable/zohMemTable.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QBuffer>
#include <cstdlib>

namespace {

void Load(TzohCustomMemTable& table, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
#ifdef MEMTABLE_CSV
    table.LoadCSVStream(buffer);
#else
    table.LoadBinaryStream(buffer);
#endif
}

QByteArray Save(TzohCustomMemTable& table)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
#ifdef MEMTABLE_CSV
    table.SaveCSVStream(buffer, {mtfSaveData, mtfSaveBlobs, mtfSaveDef, mtfSaveIndexDef, mtfSaveNonVisible});
#else
    table.SaveBinaryStream(buffer, {mtfSaveData, mtfSaveBlobs, mtfSaveDef, mtfSaveIndexDef, mtfSaveNonVisible,
                                    mtfSaveDeltas});
#endif
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInitApplication(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TzohMemTable table;
    try {
        Load(table, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        if (!table.Active()) return 0;
        ReadEveryValue(table);
    } catch (const Exception&) {
        return 0;
    }
    QByteArray written;
    try {
        written = Save(table);
    } catch (const Exception&) {
        return 0;   // values the format cannot hold
    }
    TzohMemTable again;
    try {
        Load(again, written);
    } catch (const Exception& e) {
        fprintf(stderr, "what the table wrote does not load: %s\n", qPrintable(e.Message()));
        std::abort();
    }
    return 0;
}
