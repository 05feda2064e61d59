#pragma once
// The tab dialog of a rich edit: the tab stops of the selected paragraphs, positions in the
// control's measurement units.

#include <QDialog>
#include <QPointer>

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class TkqCustomRichEdit;

class TkqRichTabDialog : public QDialog {
    Q_OBJECT
public:
    explicit TkqRichTabDialog(TkqCustomRichEdit* control, QWidget* parent = nullptr);
    TkqCustomRichEdit* Control() const;

    // Set: a valid position not yet listed goes in its place in the order; false otherwise.
    bool SetClick();
    // Clear: the selected positions go; Clear All: every one.
    void ClearClick();
    void ClearAllClick();
    // OK: a position still in the edit is set first; an invalid one keeps the dialog open.
    void OKClick();
    // The listed positions (at most 32) into the selected paragraphs.
    void Apply();
    QStringList Positions() const;

    QGroupBox* GroupBox1;
    QLineEdit* Edit1;
    QListWidget* ListBox1;
    QPushButton* Button1;   // Set
    QPushButton* Button2;   // Clear
    QPushButton* OKButton;
    QPushButton* Button3;   // Cancel
    QPushButton* Button4;   // Clear All

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<TkqCustomRichEdit> FControl;
};
