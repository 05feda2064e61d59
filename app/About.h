#pragma once
// The About box: the program's name, version and comments, and links to its publisher.

#include <QDialog>

class QLabel;
class QPushButton;
class TqeLabel;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    TqeLabel* labTitle;
    QLabel* labVersion;
    QLabel* labWebAddress;
    QLabel* labMailTo;
    QPushButton* OKButton;

    // Opens the link label's caption with the desktop (a failure is not reported).
    void LinkClick(QLabel* link);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
