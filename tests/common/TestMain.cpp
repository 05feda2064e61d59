// Every test program starts here: the application object on the offscreen platform,
// with a fixed style, font and locale, and the dialog seam so no test waits on a box.

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QFont>
#include <QLocale>
#include <QStyleFactory>
#include <gtest/gtest.h>

namespace {
// Every test starts with an empty dialog script and no leftover exception handler.
class DialogSeamReset : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        TDialogSeam::Clear();
        if (Application()) Application()->OnException = nullptr;
    }
};
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TZ", "UTC");
    QLocale::setDefault(QLocale::c());
    TApplication app(argc, argv);
    TApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    TApplication::setFont(font);
    TDialogSeam::Install();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new DialogSeamReset);
    return RUN_ALL_TESTS();
}
