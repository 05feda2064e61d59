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
