#include "app/Main.h"
#include "app/RegisterWindows.h"
#include "platform/vcl/Forms.h"

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    RegisterWorkbenchWindows();
    auto* frame = new TMainForm;
    // The first argument names the data file to open; the others are not used.
    frame->StartFile = app.arguments().value(1);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    app.SetMainForm(frame);
    frame->show();
    return app.exec();
}
