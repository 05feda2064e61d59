#pragma once
// File-name and folder edits: a line edit with a button that fills it from a file or folder
// dialog. Setting the text, by the program or by browsing, fires OnChange.

#include "platform/vcl/Controls.h"

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>
#include <functional>

enum TOpenOption { ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofAllowMultiSelect, ofPathMustExist, ofFileMustExist, ofCreatePrompt };
using TOpenOptions = TSet<TOpenOption>;
enum TFileDialogKind { dkOpen, dkSave };

class TCustomComboEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)

public:
    explicit TCustomComboEdit(QWidget* parent = nullptr);
    QString Text() const { return FEdit->text(); }
    void SetText(const QString& text);
    QLineEdit* Edit() const { return FEdit; }
    QToolButton* Button() const { return FButton; }
    // The button's action: runs the dialog and takes its answer.
    virtual void DoClick() = 0;

    std::function<void(QObject*)> OnChange;
    std::function<void(QObject*)> OnExit;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* FEdit;
    QToolButton* FButton;
};

class TFilenameEdit : public TCustomComboEdit {
    Q_OBJECT
public:
    explicit TFilenameEdit(QWidget* parent = nullptr) : TCustomComboEdit(parent) {}
    QString Filter;
    QString DefaultExt;
    QString DialogTitle;
    TOpenOptions DialogOptions{ofHideReadOnly};
    TFileDialogKind DialogKind = dkOpen;
    QString InitialDir() const { return FInitialDir; }
    void SetInitialDir(const QString& folder) { FInitialDir = folder; }
    // The text when it names an existing file, else the file part of the text read as a
    // command line (quotes removed, parameters dropped).
    QString GetFileName() const;
    QString FileName() const { return GetFileName(); }
    void SetFileName(const QString& name) { SetText(name); }
    void DoClick() override;

private:
    QString FInitialDir;
};

class TDirectoryEdit : public TCustomComboEdit {
    Q_OBJECT
public:
    explicit TDirectoryEdit(QWidget* parent = nullptr) : TCustomComboEdit(parent) {}
    QString DialogText = QStringLiteral("Select a folder");
    QString InitialDir() const { return FInitialDir; }
    void SetInitialDir(const QString& folder) { FInitialDir = folder; }
    void DoClick() override;

private:
    QString FInitialDir;
};
