#pragma once
// Shared helpers of the test programs.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Folder of the real data files written by the original engine.
QString SamplesDir();
QString SamplePath(const QString& name);
QByteArray ReadWholeFile(const QString& path);
void WriteWholeFile(const QString& path, const QByteArray& bytes);

#include <ostream>
// Readable QString values in test failure messages.
void PrintTo(const QString& s, std::ostream* os);
void PrintTo(const QByteArray& b, std::ostream* os);
