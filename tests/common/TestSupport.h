#pragma once
// Shared helpers of the test programs.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>

// What both test mains do: before the application object, a fixed time zone and locale;
// after it, GoogleTest with every test starting from the standard number and date formats
// and code page, plus what resetEachTest restores.
void PrepareTestProcess();
int RunAllTests(int& argc, char** argv, std::function<void()> resetEachTest = {});

// Folder of the real data files written by the original engine: the build's samples setting
// (default ../shared/samples beside the checkout), or QUARROW_SAMPLES_DIR when set.
QString SamplesDir();
QString SamplePath(const QString& name);
// Why the sample files cannot be used (one line), or empty when they are there.
QString MissingSamplesReason();
// CI sets QUARROW_REQUIRE_SAMPLES: there a missing sample folder fails the tests that need it.
bool SamplesRequired();

// The first statement of a test (or of its fixture's SetUp) that reads the sample files: without
// them the test is skipped with one line saying why, or fails where they are required.
#define QUARROW_NEED_SAMPLES()                                                          \
    do {                                                                                \
        if (const QString why_ = MissingSamplesReason(); !why_.isEmpty()) {              \
            if (SamplesRequired()) FAIL() << why_.toStdString();                         \
            GTEST_SKIP() << why_.toStdString();                                          \
        }                                                                               \
    } while (false)

// An input a fuzz target found a fault with, kept in tests/fuzz/fixtures/<target>/<name>.
QString FuzzFixturePath(const QString& target, const QString& name);

// A small fixture of our own, checked in under tests/data.
QString TestDataPath(const QString& name);
QByteArray ReadWholeFile(const QString& path);
void WriteWholeFile(const QString& path, const QByteArray& bytes);

#include <ostream>
// Readable QString values in test failure messages.
void PrintTo(const QString& s, std::ostream* os);
void PrintTo(const QByteArray& b, std::ostream* os);
