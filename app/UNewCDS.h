#pragma once
// The new-file dialog: asks for the name of a data file that does not exist yet.

#include <QDialog>

class QPushButton;
class TFilenameEdit;

class TFrmNewCDS : public QDialog {
    Q_OBJECT
public:
    explicit TFrmNewCDS(QWidget* parent = nullptr);

    // The folder the name starts from; the file dialog opens there too.
    QString Folder;
    void SetFolder(const QString& folder);

    // After Select: the chosen name without double quotes (without extension when the user
    // gave none; the caller adds ".cds").
    TFilenameEdit* EdtFileName;
    QPushButton* btnSelect;
    QPushButton* btnCancel;

    void btnSelectClick();

protected:
    void showEvent(QShowEvent* event) override;
};
