#pragma once
// The common find, replace, font and print dialogs. Find and replace are modeless and report
// through their events; font and print are modal and, while the dialog seam is installed,
// answer through TCommonDialogSeam instead of showing.

#include "platform/core/Classes.h"
#include "platform/vcl/Canvas.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

enum TFindOption {
    frDown, frFindNext, frHideMatchCase, frHideWholeWord, frHideUpDown, frMatchCase, frDisableMatchCase,
    frDisableUpDown, frDisableWholeWord, frReplace, frReplaceAll, frWholeWord, frShowHelp
};
using TFindOptions = TSet<TFindOption>;

class TFindDialogForm;

// The find dialog. Find Next sets frFindNext (and clears the replace flags) and fires OnFind;
// the replace dialog's Replace and Replace All set frReplace or frReplaceAll and fire OnReplace.
class TFindDialog : public QObject {
    Q_OBJECT
public:
    explicit TFindDialog(QObject* owner = nullptr);
    ~TFindDialog() override;
    QString FindText() const { return FFindText; }
    void SetFindText(const QString& text);
    TFindOptions Options;
    std::function<void(TFindDialog*)> OnFind;
    std::function<void(TFindDialog*)> OnShow;
    std::function<void(TFindDialog*)> OnClose;
    // Shows the dialog without waiting; true once it shows.
    virtual bool Execute(QWidget* parent = nullptr);
    void CloseDialog();
    // The window while shown (tests press its buttons).
    QDialog* Form() const;
    // What the buttons do, callable directly.
    void ClickFindNext();

protected:
    virtual bool IsReplace() const { return false; }
    void Closed();
    friend class TFindDialogForm;
    QString FFindText;
    QPointer<TFindDialogForm> FForm;
};

class TReplaceDialog : public TFindDialog {
    Q_OBJECT
public:
    using TFindDialog::TFindDialog;
    QString ReplaceText() const { return FReplaceText; }
    void SetReplaceText(const QString& text);
    std::function<void(TFindDialog*)> OnReplace;
    void ClickReplace();
    void ClickReplaceAll();

protected:
    bool IsReplace() const override { return true; }
    friend class TFindDialogForm;
    QString FReplaceText;
};

enum TFontDialogOption { fdAnsiOnly, fdTrueTypeOnly, fdEffects, fdFixedPitchOnly, fdForceFontExist, fdNoFaceSel,
                         fdNoOEMFonts, fdNoSimulations, fdNoSizeSel, fdNoStyleSel, fdNoVectorFonts, fdShowHelp,
                         fdWysiwyg, fdLimitSize, fdScalableOnly, fdApplyButton };
using TFontDialogOptions = TSet<TFontDialogOption>;
enum TFontDialogDevice { fdScreen, fdPrinter, fdBoth };

// The font dialog: face, style, size and (with fdEffects) underline, strike-out and colour.
class TFontDialog : public QObject {
    Q_OBJECT
public:
    explicit TFontDialog(QObject* owner = nullptr) : QObject(owner) {}
    TFont Font;
    TFontDialogOptions Options{fdEffects};
    TFontDialogDevice Device = fdScreen;
    int MinFontSize = 0, MaxFontSize = 0;
    bool Execute(QWidget* parent = nullptr);
};

// The print dialog over the program's printer.
class TPrintDialog : public QObject {
    Q_OBJECT
public:
    explicit TPrintDialog(QObject* owner = nullptr) : QObject(owner) {}
    bool Collate = false;
    int Copies = 1;
    bool Execute(QWidget* parent = nullptr);
};

// While the dialog seam is installed, a modal common dialog calls this instead of showing
// (the dialog object is passed; the answer is the dialog's result); unset, it is cancelled.
class TCommonDialogSeam {
public:
    static std::function<bool(QObject* dialog)> OnExecute;
};
