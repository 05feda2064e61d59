#pragma once
// The rich-text editor window that Execute of a rich edit opens: the editing control
// RichEdit1 (an instance of the opening control's class) on a copy of the content, closing
// with OK (Save and Exit, Ctrl+S) or Cancel (Exit, Escape with reoCloseOnEscape), and asking
// before changes are dropped.

#include <QDialog>
#include <QPointer>

class QAbstractButton;
class TkqCustomRichEdit;

class TkqRichEditForm : public QDialog {
    Q_OBJECT
public:
    explicit TkqRichEditForm(QWidget* parent = nullptr);

    // The control that opened the window and the editing control (set by Execute).
    void SetEditors(TkqCustomRichEdit* source, TkqCustomRichEdit* richEdit);
    TkqCustomRichEdit* Source() const;
    TkqCustomRichEdit* RichEdit1() const;
    bool ReadOnlyContent() const;

    // File, Save and Exit: closes with OK.
    void SaveAndExit();
    // File, Exit: closes with Cancel, after the question when there are changes.
    void ExitEditor();

    QAbstractButton* OKButton() const { return FOK; }
    QAbstractButton* CancelButton() const { return FCancel; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayOut();
    // The close query: true when the window may close, with the result it closes with.
    bool CanClose(int& result);

    QPointer<TkqCustomRichEdit> FSource;
    QPointer<TkqCustomRichEdit> FRichEdit;
    QAbstractButton* FOK = nullptr;
    QAbstractButton* FCancel = nullptr;
    bool FShownOnce = false;
    bool FClosing = false;
};
