#include "app/About.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("About")); }
