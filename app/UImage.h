#pragma once
// The picture dialog: shows the picture of a blob field, copies it, pastes a new one.

#include <QDialog>

class QAction;
class TkqCheckBox;
class QPushButton;
class QToolBar;
class TDBImage;
class TkqDBNavigator;

class TFrmImage : public QDialog {
    Q_OBJECT
public:
    explicit TFrmImage(QWidget* parent = nullptr);

    // Bound by the caller to a data source and a field before showing.
    TDBImage* DBImage;
    TkqDBNavigator* DBNavigator;

    QToolBar* ToolBar;
    QAction* EditCopy1;
    QAction* EditPaste1;
    TkqCheckBox* cbCenter;
    TkqCheckBox* cbStretch;
    QPushButton* btnClose;

    void cbClick();

    // Posts an edit or insert of the data source before the dialog closes.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
};
