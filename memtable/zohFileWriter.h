#pragma once
// Writes a user's file atomically: a temporary file beside it, flushed and synced, then
// renamed over the target (permissions kept, a symbolic link followed). On any failure, or
// when Commit is never reached, the old file is left as it was.

#include <QSaveFile>
#include <QString>

class TzohFileWriter {
public:
    // With append the old content is carried into the new file first; the file must exist.
    TzohFileWriter(const QString& fileName, bool append);
    ~TzohFileWriter();
    TzohFileWriter(const TzohFileWriter&) = delete;
    TzohFileWriter& operator=(const TzohFileWriter&) = delete;

    QIODevice& Device() { return FFile; }
    // Raises EInOutError with the system's message when the file cannot be completed.
    void Commit();

private:
    QString FFileName;
    QSaveFile FFile;
    bool FCommitted = false;
};
