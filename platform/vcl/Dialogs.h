#pragma once
// Message boxes and common dialogs. Every modal box of the program goes through
// these functions, so that tests can script the answers (TDialogSeam) and no test
// ever waits on a modal window.

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/vcl/Controls.h"
#include <vector>

class QWidget;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };

// A set of buttons, as bits of TMsgDlgBtn.
class TMsgDlgButtons {
public:
    constexpr TMsgDlgButtons() = default;
    constexpr TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> list)
    {
        for (TMsgDlgBtn b : list) FBits |= 1u << b;
    }
    constexpr bool Contains(TMsgDlgBtn b) const { return FBits & (1u << b); }
    constexpr unsigned Bits() const { return FBits; }
    constexpr bool operator==(const TMsgDlgButtons&) const = default;

private:
    unsigned FBits = 0;
};

inline constexpr TMsgDlgButtons mbYesNo{mbYes, mbNo};
inline constexpr TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline constexpr TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline constexpr TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// Modal results.
enum TModalResult : int {
    mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
    mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10
};

int MessageDlg(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx = 0);
void ShowMessage(const QString& msg);

// The Win32-style box: flags from the MB_ constants below; answers an ID constant.
enum { MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
       MB_RETRYCANCEL = 0x5, MB_ICONERROR = 0x10, MB_ICONSTOP = 0x10, MB_ICONQUESTION = 0x20,
       MB_ICONWARNING = 0x30, MB_ICONEXCLAMATION = 0x30, MB_ICONINFORMATION = 0x40,
       MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200 };
enum { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };
int MessageBox(const QString& text, const QString& caption, int flags);

// Common dialogs. Filters use the old form "Text|*.a;*.b|Other|*.*".
struct TFileDialogOptions {
    QString Title;
    QString Filter;
    int FilterIndex = 1;
    QString DefaultExt;
    QString InitialDir;
    QString FileName;
    bool MultiSelect = false;
    bool OverwritePrompt = false;
    bool FileMustExist = false;
};
// True when the user chose; the chosen names in files (one unless MultiSelect).
bool ExecuteOpenDialog(const TFileDialogOptions& options, QStringList& files, QWidget* parent = nullptr);
bool ExecuteSaveDialog(const TFileDialogOptions& options, QString& fileName, QWidget* parent = nullptr);
bool SelectDirectory(const QString& caption, const QString& root, QString& directory, QWidget* parent = nullptr);

// The open and save dialogs as objects that keep their settings between runs.
enum TOpenOption {
    ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
    ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
    ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks
};
using TOpenOptions = TSet<TOpenOption>;
enum TFileEditStyle { fsEdit, fsComboBox };
enum TSelectDirOpt { sdAllowCreate, sdPerformCreate, sdPrompt };
using TSelectDirOpts = TSet<TSelectDirOpt>;

class TOpenDialog {
public:
    virtual ~TOpenDialog() = default;
    QString DefaultExt;
    TFileEditStyle FileEditStyle = fsEdit;
    QString FileName;            // the chosen file (a full path), or where the dialog starts
    QString Filter;
    int FilterIndex = 1;
    QString InitialDir;
    QStringList HistoryList;
    QStringList Files;           // every chosen file when several may be chosen
    TOpenOptions Options{ofHideReadOnly};
    QString Title;
    int HelpContext = 0;
    // True when the user chose; FileName and Files then hold the choice.
    virtual bool Execute(QWidget* parent = nullptr);
    // Takes over every setting of another dialog (when the kind of dialog changes).
    void AssignSettings(const TOpenDialog& other);

protected:
    TFileDialogOptions DialogOptions() const;
};
class TSaveDialog : public TOpenDialog {
public:
    bool Execute(QWidget* parent = nullptr) override;
};
// The picture dialogs are the plain ones here: there is no preview pane.
class TOpenPictureDialog : public TOpenDialog {};
class TSavePictureDialog : public TSaveDialog {};

// Test seam: while installed, no box is shown; each call is recorded and answered
// from the scripted queue. An unscripted message box gets its first button's result
// and counts as unexpected; an unscripted file or folder dialog is cancelled.
struct TDialogRecord {
    enum TKind { Message, OpenFile, SaveFile, Directory };
    TKind Kind;
    QString Text;            // message, or dialog title
    int Type = 0;            // TMsgDlgType for messages
    unsigned Buttons = 0;    // TMsgDlgButtons bits
    int Answer = 0;
    bool Scripted = false;
};

class TDialogSeam {
public:
    static void Install();
    static void Uninstall();
    static bool Installed();
    // Answers for the next message boxes, in order (mrYes, mrNo, ...).
    static void AnswerMessages(std::initializer_list<int> answers);
    // Answers for the next file or folder dialogs: a name (or several for a multi-select
    // open dialog, separated by '\n'); an empty string cancels.
    static void AnswerFiles(std::initializer_list<QString> names);
    static const std::vector<TDialogRecord>& Records();
    static QStringList Messages();   // texts of the recorded message boxes
    static int UnexpectedCount();
    static void Clear();              // records and queues
    // Custom handler called for every message box instead of the queue when set.
    static std::function<int(const TDialogRecord&)> OnMessage;
};
