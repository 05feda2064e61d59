#pragma once
// Shared pieces of the fuzz targets: the readers that take files get the input written to a
// scratch folder of their own, and every target reads what loaded the way the workbench
// would (field texts, and the values copied into a client dataset as a migration does).

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

class TDataSet;

// Creates the application object once (offscreen, fixed locale) for targets that need one.
void FuzzInitApplication(int* argc, char*** argv, bool widgets);

// A scratch folder for this process, removed at exit.
QString FuzzFolder();
// Writes the bytes to name in the scratch folder and returns the path; an empty name
// removes nothing and writes nothing.
QString FuzzWriteFile(const QString& name, const QByteArray& bytes);
void FuzzRemoveFile(const QString& name);

// A table input carries its companion file (memo or blob file) after a marker, so that
// a plain table file is an input too. Splits the input; the companion is empty without one.
inline constexpr char CompanionMarker[] = "\0QUARROW-COMPANION\0";
void SplitCompanion(const uint8_t* data, size_t size, QByteArray& table, QByteArray& companion, bool& hasCompanion);

// Reads every field of at most maxRecords records as text, then copies those records into a
// client dataset of the same structure. Database and conversion errors are answers; anything
// else escapes to the fuzzer as a finding.
void ReadEveryValue(TDataSet& dataSet, int maxRecords = 64);
