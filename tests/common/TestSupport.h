#pragma once
// Shared helpers of the test programs.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>

// What both test mains do: before the application object, a fixed time zone and locale;
// after it, GoogleTest with every test starting from the standard number and date formats
// and code page, plus what resetEachTest restores.
void PrepareTestProcess();
int RunAllTests(int& argc, char** argv, std::function<void()> resetEachTest = {});

// Folder of the real sample data files.
QString SamplesDir();
QString SamplePath(const QString& name);
// A small fixture of our own, checked in under tests/data.
QString TestDataPath(const QString& name);
QByteArray ReadWholeFile(const QString& path);
void WriteWholeFile(const QString& path, const QByteArray& bytes);

#include <ostream>
// Readable QString values in test failure messages.
void PrintTo(const QString& s, std::ostream* os);
void PrintTo(const QByteArray& b, std::ostream* os);
