#pragma once
// The entry operations by which the workbench's windows open one another. The data,
// structure and migration windows implement these bases; the program registers their factories
// once at start (RegisterWorkbenchWindows, RegisterWindows.h). Tests register their own.
//
// The caller creates the window through the factory, sets its caption, shows it as a child
// of the frame (TMDIChildForm::ShowChild) and then calls the entry operations, so that the
// window finds its own caption among the open windows when it checks FileShownTwice.

#include "app/ChildForm.h"

#include <QStringList>
#include <functional>

// The data window: views and edits the records of one file.
class TDataWindowBase : public TMDIChildForm {
    Q_OBJECT
public:
    using TMDIChildForm::TMDIChildForm;
    // The files of the caller's list, for the window's file combo box.
    virtual void SetFileList(const QStringList& files) = 0;
    // Opens the file (read-only when FileShownTwice says so).
    virtual void OpenDataFile(const QString& path) = 0;
    // True while the window may not change its file (another window showed it when it opened).
    virtual bool IsReadOnly() const { return false; }
};

// The structure window: creates a file or changes a file's structure.
class TStructureWindowBase : public TMDIChildForm {
    Q_OBJECT
public:
    using TMDIChildForm::TMDIChildForm;
    virtual void SetFileList(const QStringList& files) = 0;
    // Loads the field definitions of an existing file.
    virtual void OpenStructure(const QString& path) = 0;
    // The folder a new file goes to.
    virtual void SetBaseFolder(const QString& folder) = 0;
    // Asks for the new file's name and starts an empty structure.
    virtual void BeginNewStructure() = 0;
};

// The migration window: copies records into a destination file from other sources.
class TMigrateWindowBase : public TMDIChildForm {
    Q_OBJECT
public:
    using TMDIChildForm::TMDIChildForm;
    virtual void SetDestination(const QString& path) = 0;
};

class TClientDataSet;

using TDataWindowFactory = std::function<TDataWindowBase*()>;
using TStructureWindowFactory = std::function<TStructureWindowBase*()>;
using TMigrateWindowFactory = std::function<TMigrateWindowBase*()>;

// An empty factory unregisters; the New... functions answer null while none is registered.
void SetDataWindowFactory(TDataWindowFactory factory);
void SetStructureWindowFactory(TStructureWindowFactory factory);
void SetMigrateWindowFactory(TMigrateWindowFactory factory);
TDataWindowBase* NewDataWindow();
TStructureWindowBase* NewStructureWindow();
TMigrateWindowBase* NewMigrateWindow();

// The test-data filler: the registered function creates the filler dialog on the target dataset,
// shows it modally and frees it. ExecuteFillerDialog answers false (and does nothing) while none
// is registered.
using TFillerDialogFactory = std::function<void(TClientDataSet* target)>;
void SetFillerDialogFactory(TFillerDialogFactory factory);
bool ExecuteFillerDialog(TClientDataSet* target);

// Opening sequences shared by the windows that open others (captions and sizes as the
// windows have always had them). Each answers the window, or null when none is registered.

// A new data window "View Data " + path, 740 x 540, given the file list, opening the path.
TDataWindowBase* OpenDataWindow(const QString& path, const QStringList& fileList);
// The structure window of the path: an open one captioned "Create/Modify Structure " + path
// comes to the front (and null is answered); else a new one opens the path.
TStructureWindowBase* OpenStructureWindow(const QString& path, const QStringList& fileList);
// A new structure window "Create/Modify Structure " for a new file in the base folder.
TStructureWindowBase* NewStructureWindowFor(const QString& baseFolder, const QStringList& fileList);
// The migration window: an open "Migrate" window comes to the front (null is answered); else
// a new one of the given outer size, with the destination preset when one is given.
TMigrateWindowBase* OpenMigrateWindow(int width, int height, const QString& destination = QString());

// The caption of an open data window that may change the file (also when its caption writes
// the name differently), or empty when every window showing it is read-only.
QString EditableDataWindowCaption(const QString& path);
