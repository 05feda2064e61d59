#include "app/About.h"

#include "app/UGeneral.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/Shell.h"
#include "treestatus/qeLabel.h"
#include "utilities/VzVerInf.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
QLabel* LinkLabel(const char* name, const QString& caption, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ColorToQColor(clBlue));
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}
} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(445, 228);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    const QIcon programIcon = QApplication::windowIcon().isNull()
                                  ? style()->standardIcon(QStyle::SP_ComputerIcon) : QApplication::windowIcon();
    icon->setPixmap(programIcon.pixmap(32, 32));

    labTitle = new TqeLabel(panel);
    labTitle->setObjectName(QStringLiteral("labTitle"));
    labTitle->SetCaption(QStringLiteral("Quarrow"));
    QFont titleFont = labTitle->font();
    titleFont.setBold(true);
    titleFont.setPixelSize(19);
    labTitle->setFont(titleFont);
    labTitle->SetFontColor(TColor(14599344));
    labTitle->SetTransparent(true);
    TqeCaptionText& options = labTitle->TextOptions();
    options.SetStyle(qelsOutline);
    options.SetOutlineColor(clNavy);
    options.SetAlignment(taCenter);
    options.SetVAlignment(vaTop);
    options.SetOptions({});
    labTitle->SetAutoSize(false);
    labTitle->setMinimumHeight(30);

    labVersion = new QLabel(panel);
    labVersion->setObjectName(QStringLiteral("labVersion"));
    labWebAddress = LinkLabel("labWebAddress", QStringLiteral("https://www.example.org/quarrow"), panel);
    labMailTo = LinkLabel("labMailTo", QStringLiteral("mailto:quarrow@example.org"), panel);
    labWebAddress->installEventFilter(this);
    labMailTo->installEventFilter(this);

    auto* grid = new QGridLayout(panel);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(labTitle, 0, 1, 1, 2);
    grid->addWidget(BoldLabel(QStringLiteral("Product Name:"), panel), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Quarrow"), panel), 1, 2);
    grid->addWidget(BoldLabel(QStringLiteral("Version:"), panel), 2, 1);
    grid->addWidget(labVersion, 2, 2);
    grid->addWidget(BoldLabel(QStringLiteral("Comments:"), panel), 3, 1, Qt::AlignTop);
    auto* comments = new QLabel(QStringLiteral("A workbench for client dataset files."), panel);
    comments->setWordWrap(true);
    grid->addWidget(comments, 3, 2);
    grid->addWidget(labWebAddress, 4, 2);
    grid->addWidget(labMailTo, 5, 2);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(6, 1);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();
    layout->addLayout(buttons);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    labVersion->setText(CreateModuleVersionInfo()->GetFileVersionText());
    QDialog::showEvent(event);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        (watched == labWebAddress || watched == labMailTo)) {
        LinkClick(static_cast<QLabel*>(watched));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::LinkClick(QLabel* link) { ShellOpen(link->text()); }
