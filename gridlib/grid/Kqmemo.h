#pragma once
// The memo dialog's window: one large edit, OK and Cancel, and two optional buttons of the
// program's own below the text. TkqMemoDialog (Kqdbgrid.h) runs it.

#include "gridlib/grid/Kqdbgrid.h"

#include <QDialog>

class QAbstractButton;
class QFrame;
class QPlainTextEdit;
class QPushButton;

class TkqMemoDlg : public QDialog {
    Q_OBJECT
public:
    explicit TkqMemoDlg(TkqMemoDialog* caller);

    QPlainTextEdit* Memo;
    QFrame* UserButtonPanel;
    QPushButton* UserButton1;
    QPushButton* UserButton2;
    QAbstractButton* OKBtn;
    QAbstractButton* CancelBtn;

    TkqMemoDialog* Caller() const { return FCaller; }
    // The text was changed since the window was shown.
    bool Modified() const;
    // Closed with OK (by the button, Ctrl+Enter or F2).
    bool Accepted() const { return FAccepted; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TkqMemoDialog;
    void FormShow();
    void ResizeControls();
    void OKBtnClick();

    TkqMemoDialog* FCaller;
    TFont FShowFont;
    QString FShowCaption;
    QRect FPlacement;
    bool FShown = false;
    bool FOKPressed = false;
    bool FAccepted = false;
};
