#include "platform/core/Classes.h"
#include "platform/core/ScopeExit.h"
#include "platform/core/SysUtils.h"
#include "platform/core/TypInfo.h"

#include <QObject>
#include <QStringList>
#include <gtest/gtest.h>
#include <stdexcept>

// The clean-up runs on every way out; its own error propagates unless another one is already
// on its way, which then arrives unchanged.
TEST(ScopeExit, RunsOnEveryExitAndNeverHidesTheFirstError)
{
    int runs = 0;
    { TScopeExit done([&] { ++runs; }); }
    EXPECT_EQ(runs, 1);
    try {
        TScopeExit done([&] { ++runs; throw std::runtime_error("clean-up"); });
        throw Exception("first");
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "first");
    }
    EXPECT_EQ(runs, 2);
    EXPECT_THROW({ TScopeExit done([] { throw std::runtime_error("clean-up"); }); }, std::runtime_error);
}

// Without an application object an error that cannot propagate is logged, EAbort not at all;
// an installed handler gets every other exception.
TEST(ApplicationSeams, ExceptionsReachTheInstalledHandler)
{
    QStringList seen;
    SetApplicationExceptionHandler([&](const std::exception& e) { seen << QString::fromUtf8(e.what()); });
    ApplicationShowException(Exception("Disk full"));
    ApplicationShowException(std::runtime_error("boom"));
    ApplicationShowException(EAbort("silent"));
    EXPECT_EQ(seen, QStringList({"Disk full", "boom"}));
    SetApplicationExceptionHandler(nullptr);
    ApplicationShowException(Exception("logged only"));   // no handler: no crash
    EXPECT_EQ(seen.size(), 2);
}

namespace {
class TProbe : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Height MEMBER FHeight)
    Q_PROPERTY(QString Caption MEMBER FCaption)
    Q_PROPERTY(QStringList Lines MEMBER FLines)
    Q_PROPERTY(QObject* Link MEMBER FLink)
    Q_PROPERTY(bool Flag READ Flag)
public:
    bool Flag() const { return true; }
    int FHeight = 0;
    QString FCaption;
    QStringList FLines;
    QObject* FLink = nullptr;
};
} // namespace

// By name in any case; a property of another kind, or a read-only one, counts as none.
TEST(TypInfo, PropertiesByNameAndKind)
{
    TProbe probe;
    EXPECT_TRUE(WriteIntegerProperty(&probe, "height", 7));
    EXPECT_EQ(probe.FHeight, 7);
    EXPECT_FALSE(WriteIntegerProperty(&probe, "Caption", 1));
    EXPECT_FALSE(WriteIntegerProperty(&probe, "Missing", 1));
    EXPECT_TRUE(WriteTextProperty(&probe, "CAPTION", "Title"));
    EXPECT_EQ(ReadTextProperty(&probe, "caption"), "Title");
    EXPECT_FALSE(WriteTextProperty(&probe, "Height", "8"));
    EXPECT_TRUE(SetStringListProperty(&probe, "Lines", {"a", "b"}));
    QStringList lines;
    EXPECT_TRUE(GetStringListProperty(&probe, "lines", lines));
    EXPECT_EQ(lines, QStringList({"a", "b"}));
    EXPECT_FALSE(GetStringListProperty(&probe, "Caption", lines));
    QObject other;
    EXPECT_TRUE(WriteObjectProperty(&probe, "Link", &other));
    EXPECT_EQ(ReadObjectProperty(&probe, "link"), &other);
    EXPECT_TRUE(WriteObjectProperty(&probe, "Link", nullptr));
    EXPECT_EQ(probe.FLink, nullptr);
    EXPECT_FALSE(WriteProperty(&probe, "Flag", false));
    EXPECT_TRUE(ReadBoolProperty(&probe, "flag", false));
    EXPECT_TRUE(ReadBoolProperty(&probe, "Missing", true));
    EXPECT_FALSE(ReadProperty(nullptr, "Height").isValid());
}

#include "ClassesTests.moc"
