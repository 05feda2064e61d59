#include "app/Main.h"
#include "app/WorkbenchWindows.h"
#include "platform/vcl/Forms.h"

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    RegisterWorkbenchWindows();
    auto* frame = new TMainForm;
    frame->setAttribute(Qt::WA_DeleteOnClose);
    app.SetMainForm(frame);
    frame->show();
    return app.exec();
}
