#pragma once
// Helpers of the workbench's window tests: a settings file of the test's own, stand-in
// windows for the data, structure and migration windows, and answering modal dialogs.

#include "app/UGeneral.h"
#include "app/Main.h"
#include "app/WorkbenchWindows.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMdiArea>
#include <QTemporaryDir>
#include <functional>

// Records what the opener asked of it.
class TFakeDataWindow : public TDataWindowBase {
    Q_OBJECT
public:
    QStringList Files;
    QString Opened;
    QString CaptionAtOpen;
    QSize SizeAtOpen;
    bool ReadOnly = false;
    bool IsReadOnly() const override { return ReadOnly; }
    void SetFileList(const QStringList& files) override { Files = files; }
    void OpenDataFile(const QString& path) override
    {
        Opened = path;
        CaptionAtOpen = Caption();
        SizeAtOpen = OuterWindow()->size();
    }
};

class TFakeStructureWindow : public TStructureWindowBase {
    Q_OBJECT
public:
    QStringList Files;
    QString Opened;
    QString BaseFolder;
    bool Began = false;
    void SetFileList(const QStringList& files) override { Files = files; }
    void OpenStructure(const QString& path) override { Opened = path; }
    void SetBaseFolder(const QString& folder) override { BaseFolder = folder; }
    void BeginNewStructure() override { Began = true; }
};

class TFakeMigrateWindow : public TMigrateWindowBase {
    Q_OBJECT
public:
    QString Destination;
    bool Refuse = false;   // refuses to close
    void SetDestination(const QString& path) override { Destination = path; }
    bool CloseQuery() override { return !Refuse; }
};

// Registers the fakes and points the settings file into a temporary folder for one test.
class TWorkbenchFixture {
public:
    TWorkbenchFixture();
    ~TWorkbenchFixture();
    QTemporaryDir Dir;
    QString SettingsFile() const { return Dir.filePath("Quarrow.ini"); }
    QList<TFakeDataWindow*> DataWindows() const;
    QList<TFakeStructureWindow*> StructureWindows() const;
    QList<TFakeMigrateWindow*> MigrateWindows() const;
};

// The child forms of a class that are open in the frame.
template <typename T>
QList<T*> OpenChildren()
{
    QList<T*> list;
    if (TMainForm* frame = MainForm())
        for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList(QMdiArea::CreationOrder))
            if (auto* w = qobject_cast<T*>(sub->widget()); w && !w->IsClosed()) list.append(w);
    return list;
}

// Runs action; the first modal dialog it opens is handed to answer (which should close it).
void WithModal(const std::function<void()>& action, const std::function<void(QDialog*)>& answer);

// Lets deferred deletions and queued calls run.
void Settle();

// Writes an empty data file with a nested dataset: ID Integer, Items (Code String(10),
// Qty Integer), Notes String(40).
void WriteNestedFile(const QString& path);
