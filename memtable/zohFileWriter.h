#pragma once
// Writes a memory-table file through the platform's atomic writer; with append the old
// content is carried into the new file first, so the old file stays whole until Commit.

#include "platform/core/AtomicFile.h"

#include <QString>

class TzohFileWriter {
public:
    // With append the file must exist.
    TzohFileWriter(const QString& fileName, bool append);
    TzohFileWriter(const TzohFileWriter&) = delete;
    TzohFileWriter& operator=(const TzohFileWriter&) = delete;

    QIODevice& Device() { return FFile; }
    // Raises EInOutError with the system's message when the file cannot be completed.
    void Commit() { FFile.Commit(); }

private:
    TAtomicFileDevice FFile;
};
