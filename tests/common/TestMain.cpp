// Every test program starts here: the application object on the offscreen platform,
// with a fixed style, font and locale, and the dialog seam so no test waits on a box.

#include "platform/vcl/CodePages.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/SysFormat.h"

#include <QFont>
#include <QLocale>
#include <QStyleFactory>
#include <gtest/gtest.h>

namespace {
// Every test starts with an empty dialog script, no leftover exception handler, and the
// standard number and date formats whatever the machine's locale.
class DialogSeamReset : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        TDialogSeam::Clear();
        if (Application()) Application()->OnException = nullptr;
        FormatSettings = TFormatSettings::Standard();
        SetDefaultCodePage(1252);
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
