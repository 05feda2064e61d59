#include "tests/common/TestSupport.h"

#include "platform/core/CodePages.h"
#include "platform/core/SysFormat.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {
class TStandardSettingsReset : public ::testing::EmptyTestEventListener {
public:
    explicit TStandardSettingsReset(std::function<void()> more) : FMore(std::move(more)) {}

private:
    void OnTestStart(const ::testing::TestInfo&) override
    {
        FormatSettings = TFormatSettings::Standard();
        SetDefaultCodePage(1252);
        if (FMore) FMore();
    }
    std::function<void()> FMore;
};
} // namespace

void PrepareTestProcess()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TZ", "UTC");
    QLocale::setDefault(QLocale::c());
}

int RunAllTests(int& argc, char** argv, std::function<void()> resetEachTest)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TStandardSettingsReset(std::move(resetEachTest)));
    return RUN_ALL_TESTS();
}

QString SamplesDir()
{
    QByteArray env = qgetenv("QUARROW_SAMPLES_DIR");
    return QDir::cleanPath(env.isEmpty() ? QStringLiteral(QUARROW_SAMPLES_DIR) : QString::fromLocal8Bit(env));
}

QString SamplePath(const QString& name) { return SamplesDir() + '/' + name; }

QString TestDataPath(const QString& name) { return QStringLiteral(QUARROW_TEST_DATA_DIR) + '/' + name; }

QByteArray ReadWholeFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error(("cannot read " + path).toStdString());
    return f.readAll();
}

void WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error(("cannot write " + path).toStdString());
}

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
void PrintTo(const QByteArray& b, std::ostream* os) { *os << "bytes(" << b.toHex(' ').toStdString() << ')'; }
