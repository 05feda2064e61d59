#pragma once
// Shared fixtures of the utilities tests: a fixed screen and a settings file in a fresh folder.

#include "platform/vcl/Forms.h"
#include "tests/common/TestSupport.h"
#include "utilities/AppUtils.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TFixedScreen {
public:
    explicit TFixedScreen(TScreenMetrics metrics = {}) { Set(metrics); }
    ~TFixedScreen() { SetScreenMetricsSource(nullptr); }
    void Set(TScreenMetrics metrics)
    {
        FMetrics = metrics;
        SetScreenMetricsSource([this] { return FMetrics; });
    }

private:
    TScreenMetrics FMetrics;
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FIni = FDir.filePath("Quarrow.ini");
        if (Application()) Application()->SetMainForm(nullptr);
    }
    void TearDown() override
    {
        if (Application()) Application()->SetMainForm(nullptr);
    }
    QByteArray IniBytes() const { return QFileInfo::exists(FIni) ? ReadWholeFile(FIni) : QByteArray(); }

    QTemporaryDir FDir;
    QString FIni;
    TFixedScreen FScreen;
};

// Readable values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray& b, std::ostream* os) { *os << "\n" << b.toStdString(); }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '{' << l.join("; ").toStdString() << '}'; }
