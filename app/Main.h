#pragma once
// The program's frame window: a multiple-document parent holding every tool window.

#include <QMainWindow>

class QMdiArea;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    QMdiArea* MdiArea() const { return FMdiArea; }

private:
    QMdiArea* FMdiArea;
};

// The one frame window (null before it is created and after it is freed).
TMainForm* MainForm();
