#include "app/Main.h"

#include "platform/vcl/Graphics.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>

namespace {
TMainForm* GMainForm = nullptr;
}

TMainForm* MainForm() { return GMainForm; }

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    GMainForm = this;
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Quarrow"));
    FMdiArea = new QMdiArea(this);
    FMdiArea->setBackground(ColorToQColor(clAppWorkSpace));
    setCentralWidget(FMdiArea);
    resize(667, 549);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(width() / 2, height() / 2));
    }
}

TMainForm::~TMainForm()
{
    if (GMainForm == this) GMainForm = nullptr;
}
