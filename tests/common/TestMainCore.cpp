// Test programs of the layers without widgets start here, with a core application object
// only: they link neither Qt Gui nor Widgets.

#include "tests/common/TestSupport.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    PrepareTestProcess();
    QCoreApplication app(argc, argv);
    return RunAllTests(argc, argv);
}
