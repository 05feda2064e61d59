#include "platform/vcl/Dialogs.h"
#include "platform/vcl/InputQuery.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <deque>

std::function<int(const TDialogRecord&)> TDialogSeam::OnMessage;

namespace {

struct TSeamState {
    bool Installed = false;
    std::deque<int> Answers;
    std::deque<QString> Files;
    std::deque<QString> Inputs;
    QStringList InputCaptions;
    QStringList InputDefaults;
    std::vector<TDialogRecord> Records;
    int Unexpected = 0;
};

TSeamState& Seam()
{
    static TSeamState s;
    return s;
}

const char* const ButtonCaptions[] = {"&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore",
                                      "&All", "N&o to All", "Yes to &All", "&Help"};
const int ButtonResults[] = {mrYes, mrNo, mrOk, mrCancel, mrAbort, mrRetry, mrIgnore,
                             mrAll, mrNoToAll, mrYesToAll, mrNone};

int FirstButtonResult(TMsgDlgButtons buttons)
{
    for (int b = mbYes; b <= mbHelp; ++b)
        if (buttons.Contains(TMsgDlgBtn(b))) return ButtonResults[b];
    return mrOk;
}

QString DialogCaption(TMsgDlgType type)
{
    switch (type) {
    case mtWarning: return QStringLiteral("Warning");
    case mtError: return QStringLiteral("Error");
    case mtInformation: return QStringLiteral("Information");
    case mtConfirmation: return QStringLiteral("Confirm");
    default: return QApplication::applicationDisplayName();
    }
}

int SeamMessage(const QString& msg, int type, TMsgDlgButtons buttons)
{
    TSeamState& s = Seam();
    TDialogRecord rec{TDialogRecord::Message, msg, type, buttons.Bits(), 0, false};
    if (TDialogSeam::OnMessage) {
        rec.Answer = TDialogSeam::OnMessage(rec);
        rec.Scripted = true;
    } else if (!s.Answers.empty()) {
        rec.Answer = s.Answers.front();
        s.Answers.pop_front();
        rec.Scripted = true;
    } else {
        rec.Answer = FirstButtonResult(buttons);
        ++s.Unexpected;
    }
    s.Records.push_back(rec);
    return rec.Answer;
}

QString SeamFile(TDialogRecord::TKind kind, const QString& title)
{
    TSeamState& s = Seam();
    TDialogRecord rec{kind, title, 0, 0, 0, false};
    QString answer;
    if (!s.Files.empty()) {
        answer = s.Files.front();
        s.Files.pop_front();
        rec.Scripted = true;
    } else {
        ++s.Unexpected;
    }
    rec.Answer = answer.isEmpty() ? mrCancel : mrOk;
    s.Records.push_back(rec);
    return answer;
}

// "Text|*.a;*.b|Other (*.*)|*.*" -> "Text (*.a *.b);;Other (*)". A description that already
// shows its patterns in brackets keeps one bracket group: Qt reads the patterns from the last one.
QString QtFilter(const QString& filter, int index, QString* selected)
{
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(';', ' ');
        pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        QString text = parts[i].trimmed();
        const qsizetype open = text.lastIndexOf('(');
        if (text.endsWith(')') && open >= 0) text = text.left(open).trimmed();
        QString entry = text + " (" + pattern + ")";
        if (i / 2 + 1 == index && selected) *selected = entry;
        out << entry;
    }
    return out.join(QStringLiteral(";;"));
}

QWidget* DialogParent(QWidget* parent)
{
    return parent ? parent : QApplication::activeWindow();
}

} // namespace

int MessageDlg(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons, int)
{
    if (Seam().Installed) return SeamMessage(msg, type, buttons);
    QMessageBox box(DialogParent(nullptr));
    box.setWindowTitle(DialogCaption(type));
    box.setText(msg);
    switch (type) {
    case mtWarning: box.setIcon(QMessageBox::Warning); break;
    case mtError: box.setIcon(QMessageBox::Critical); break;
    case mtInformation: box.setIcon(QMessageBox::Information); break;
    case mtConfirmation: box.setIcon(QMessageBox::Question); break;
    default: break;
    }
    QPushButton* first = nullptr;
    QPushButton* cancel = nullptr;
    for (int b = mbYes; b <= mbHelp; ++b) {
        if (!buttons.Contains(TMsgDlgBtn(b)) || b == mbHelp) continue;
        QPushButton* btn = box.addButton(QString::fromLatin1(ButtonCaptions[b]), QMessageBox::AcceptRole);
        btn->setProperty("modalResult", ButtonResults[b]);
        if (!first) first = btn;
        if (b == mbCancel || (b == mbNo && !buttons.Contains(mbCancel))) cancel = btn;
    }
    if (!first) first = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole), first->setProperty("modalResult", int(mrOk));
    box.setDefaultButton(first);
    if (cancel) box.setEscapeButton(cancel);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked) return cancel ? cancel->property("modalResult").toInt() : mrCancel;
    return clicked->property("modalResult").toInt();
}

void ShowMessage(const QString& msg)
{
    if (Seam().Installed) { SeamMessage(msg, mtCustom, {mbOK}); return; }
    QMessageBox box(DialogParent(nullptr));
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(msg);
    box.exec();
}

int MessageBox(const QString& text, const QString& caption, int flags)
{
    TMsgDlgButtons buttons;
    switch (flags & 0xF) {
    case MB_OKCANCEL: buttons = mbOKCancel; break;
    case MB_ABORTRETRYIGNORE: buttons = mbAbortRetryIgnore; break;
    case MB_YESNOCANCEL: buttons = mbYesNoCancel; break;
    case MB_YESNO: buttons = mbYesNo; break;
    case MB_RETRYCANCEL: buttons = {mbRetry, mbCancel}; break;
    default: buttons = {mbOK}; break;
    }
    TMsgDlgType type = mtCustom;
    switch (flags & 0xF0) {
    case MB_ICONERROR: type = mtError; break;
    case MB_ICONQUESTION: type = mtConfirmation; break;
    case MB_ICONWARNING: type = mtWarning; break;
    case MB_ICONINFORMATION: type = mtInformation; break;
    }
    if (Seam().Installed) return SeamMessage(text, type, buttons);   // mr* values equal ID* values
    QMessageBox box(DialogParent(nullptr));
    box.setWindowTitle(caption);
    box.setText(text);
    QMessageBox::Icon icons[] = {QMessageBox::Warning, QMessageBox::Critical, QMessageBox::Information,
                                 QMessageBox::Question, QMessageBox::NoIcon};
    box.setIcon(icons[type]);
    QPushButton* defaultBtn = nullptr;
    int defIndex = (flags & MB_DEFBUTTON3) ? 2 : (flags & MB_DEFBUTTON2) ? 1 : 0;
    int n = 0;
    for (int b = mbYes; b <= mbHelp; ++b) {
        if (!buttons.Contains(TMsgDlgBtn(b))) continue;
        QPushButton* btn = box.addButton(QString::fromLatin1(ButtonCaptions[b]), QMessageBox::AcceptRole);
        btn->setProperty("modalResult", ButtonResults[b]);
        if (n++ == defIndex) defaultBtn = btn;
    }
    if (defaultBtn) box.setDefaultButton(defaultBtn);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    return clicked ? clicked->property("modalResult").toInt() : IDCANCEL;
}

bool ExecuteOpenDialog(const TFileDialogOptions& o, QStringList& files, QWidget* parent)
{
    if (Seam().Installed) {
        QString answer = SeamFile(TDialogRecord::OpenFile, o.Title);
        if (answer.isEmpty()) return false;
        files = answer.split('\n');
        return true;
    }
    QString selected;
    QString filter = QtFilter(o.Filter, o.FilterIndex, &selected);
    QString start = o.FileName.isEmpty() ? o.InitialDir : o.FileName;
    if (o.MultiSelect) {
        files = QFileDialog::getOpenFileNames(DialogParent(parent), o.Title, start, filter, &selected);
        return !files.isEmpty();
    }
    QString f = QFileDialog::getOpenFileName(DialogParent(parent), o.Title, start, filter, &selected);
    if (f.isEmpty()) return false;
    files = QStringList{f};
    return true;
}

bool ExecuteSaveDialog(const TFileDialogOptions& o, QString& fileName, QWidget* parent)
{
    if (Seam().Installed) {
        QString answer = SeamFile(TDialogRecord::SaveFile, o.Title);
        if (answer.isEmpty()) return false;
        fileName = answer;
        return true;
    }
    QString selected;
    QString filter = QtFilter(o.Filter, o.FilterIndex, &selected);
    QFileDialog::Options opts;
    if (!o.OverwritePrompt) opts |= QFileDialog::DontConfirmOverwrite;
    QString start = o.FileName.isEmpty() ? o.InitialDir : o.FileName;
    QString f = QFileDialog::getSaveFileName(DialogParent(parent), o.Title, start, filter, &selected, opts);
    if (f.isEmpty()) return false;
    if (!o.DefaultExt.isEmpty() && QFileInfo(f).suffix().isEmpty()) f += '.' + o.DefaultExt;
    fileName = f;
    return true;
}

bool SelectDirectory(const QString& caption, const QString& root, QString& directory, QWidget* parent)
{
    if (Seam().Installed) {
        QString answer = SeamFile(TDialogRecord::Directory, caption);
        if (answer.isEmpty()) return false;
        directory = answer;
        return true;
    }
    QString d = QFileDialog::getExistingDirectory(DialogParent(parent), caption,
                                                  directory.isEmpty() ? root : directory);
    if (d.isEmpty()) return false;
    directory = d;
    return true;
}

bool InputQuery(const QString& caption, const QString& prompt, QString& value, QWidget* parent)
{
    if (Seam().Installed) {
        TSeamState& s = Seam();
        s.InputCaptions << caption;
        s.InputDefaults << value;
        QString answer;
        if (!s.Inputs.empty()) {
            answer = s.Inputs.front();
            s.Inputs.pop_front();
        } else {
            ++s.Unexpected;
        }
        if (answer.isNull()) return false;
        value = answer;
        return true;
    }
    bool ok = false;
    const QString text = QInputDialog::getText(DialogParent(parent), caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = text;
    return ok;
}

void AnswerInputQueries(std::initializer_list<QString> texts)
{
    for (const QString& t : texts) Seam().Inputs.push_back(t);
}

QStringList InputQueryCaptions() { return Seam().InputCaptions; }
QStringList InputQueryDefaults() { return Seam().InputDefaults; }

void ClearInputQueries()
{
    Seam().Inputs.clear();
    Seam().InputCaptions.clear();
    Seam().InputDefaults.clear();
}

TFileDialogOptions TOpenDialog::DialogOptions() const
{
    TFileDialogOptions o;
    o.Title = Title;
    o.Filter = Filter;
    o.FilterIndex = FilterIndex;
    o.DefaultExt = DefaultExt;
    o.InitialDir = InitialDir;
    // A bare name starts in the initial folder.
    o.FileName = FileName.isEmpty() || FileName.contains(QLatin1Char('/')) || InitialDir.isEmpty()
                     ? FileName
                     : QDir(InitialDir).filePath(FileName);
    o.MultiSelect = Options.Contains(ofAllowMultiSelect);
    o.OverwritePrompt = Options.Contains(ofOverwritePrompt);
    o.FileMustExist = Options.Contains(ofFileMustExist);
    return o;
}

bool TOpenDialog::Execute(QWidget* parent)
{
    QStringList files;
    if (!ExecuteOpenDialog(DialogOptions(), files, parent) || files.isEmpty()) return false;
    FileName = files.first();
    Files = files;
    return true;
}

bool TSaveDialog::Execute(QWidget* parent)
{
    QString name;
    if (!ExecuteSaveDialog(DialogOptions(), name, parent)) return false;
    FileName = name;
    Files = QStringList{name};
    return true;
}

void TOpenDialog::AssignSettings(const TOpenDialog& other)
{
    DefaultExt = other.DefaultExt;
    FileEditStyle = other.FileEditStyle;
    FileName = other.FileName;
    Filter = other.Filter;
    FilterIndex = other.FilterIndex;
    InitialDir = other.InitialDir;
    HistoryList = other.HistoryList;
    Files = other.Files;
    Options = other.Options;
    Title = other.Title;
    HelpContext = other.HelpContext;
}

void TDialogSeam::Install() { Seam().Installed = true; }
void TDialogSeam::Uninstall() { Seam().Installed = false; }
bool TDialogSeam::Installed() { return Seam().Installed; }

void TDialogSeam::AnswerMessages(std::initializer_list<int> answers)
{
    for (int a : answers) Seam().Answers.push_back(a);
}

void TDialogSeam::AnswerFiles(std::initializer_list<QString> names)
{
    for (const QString& n : names) Seam().Files.push_back(n);
}

const std::vector<TDialogRecord>& TDialogSeam::Records() { return Seam().Records; }

QStringList TDialogSeam::Messages()
{
    QStringList out;
    for (const TDialogRecord& r : Seam().Records)
        if (r.Kind == TDialogRecord::Message) out << r.Text;
    return out;
}

int TDialogSeam::UnexpectedCount() { return Seam().Unexpected; }

void TDialogSeam::Clear()
{
    TSeamState& s = Seam();
    s.Answers.clear();
    s.Files.clear();
    s.Inputs.clear();
    s.InputCaptions.clear();
    s.InputDefaults.clear();
    s.Records.clear();
    s.Unexpected = 0;
    OnMessage = nullptr;
}
