#pragma once
// The rename dialog of the folder tree: shows a file's path and asks for its new name.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TFrmRename : public QDialog {
    Q_OBJECT
public:
    explicit TFrmRename(QWidget* parent = nullptr);

    // The old path, shown and offered for editing; also the new name until OK.
    void SetOldName(const QString& path);
    // After OK: the edit's text.
    QString NewName;

    QLabel* labRename;
    QLineEdit* EdtRename;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    void btnOKClick();
};
