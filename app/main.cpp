#include "app/Main.h"
#include "platform/vcl/Forms.h"

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    TMainForm* frame = new TMainForm;
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->show();
    return app.exec();
}
