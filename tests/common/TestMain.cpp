// Test programs of the widget layers start here: the program's application object on the
// offscreen platform, with a fixed style and font, and the dialog seam so no test waits on a box.

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "tests/common/TestSupport.h"

#include <QFont>
#include <QStyleFactory>

int main(int argc, char** argv)
{
    PrepareTestProcess();
    TApplication app(argc, argv);
    TApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    TApplication::setFont(font);
    TDialogSeam::Install();
    // Every test starts with an empty dialog script and no leftover exception handler.
    return RunAllTests(argc, argv, [] {
        TDialogSeam::Clear();
        if (Application()) Application()->OnException = nullptr;
    });
}
