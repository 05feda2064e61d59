#include "app/WorkbenchWindows.h"

#include "app/UGeneral.h"

#include <QDir>

namespace {
TDataWindowFactory GDataWindowFactory;
TStructureWindowFactory GStructureWindowFactory;
TMigrateWindowFactory GMigrateWindowFactory;
TFillerDialogFactory GFillerDialogFactory;

const QString StructureCaption = QStringLiteral("Create/Modify Structure ");
} // namespace

void SetDataWindowFactory(TDataWindowFactory factory) { GDataWindowFactory = std::move(factory); }
void SetStructureWindowFactory(TStructureWindowFactory factory) { GStructureWindowFactory = std::move(factory); }
void SetMigrateWindowFactory(TMigrateWindowFactory factory) { GMigrateWindowFactory = std::move(factory); }

TDataWindowBase* NewDataWindow() { return GDataWindowFactory ? GDataWindowFactory() : nullptr; }
TStructureWindowBase* NewStructureWindow() { return GStructureWindowFactory ? GStructureWindowFactory() : nullptr; }
TMigrateWindowBase* NewMigrateWindow() { return GMigrateWindowFactory ? GMigrateWindowFactory() : nullptr; }

void SetFillerDialogFactory(TFillerDialogFactory factory) { GFillerDialogFactory = std::move(factory); }

bool ExecuteFillerDialog(TClientDataSet* target)
{
    if (!GFillerDialogFactory) return false;
    GFillerDialogFactory(target);
    return true;
}

TDataWindowBase* OpenDataWindow(const QString& path, const QStringList& fileList)
{
    TDataWindowBase* window = NewDataWindow();
    if (!window) return nullptr;
    window->SetCaption(QStringLiteral("View Data ") + path);
    window->SetFormSize(740, 540);
    window->ShowChild();
    window->SetFileList(fileList);
    window->OpenDataFile(path);
    return window;
}

TStructureWindowBase* OpenStructureWindow(const QString& path, const QStringList& fileList)
{
    if (ActivateWindowByCaption(StructureCaption + path)) return nullptr;
    TStructureWindowBase* window = NewStructureWindow();
    if (!window) return nullptr;
    window->SetCaption(StructureCaption + path);
    window->ShowChild();
    window->SetFileList(fileList);
    window->OpenStructure(path);
    return window;
}

TStructureWindowBase* NewStructureWindowFor(const QString& baseFolder, const QStringList& fileList)
{
    TStructureWindowBase* window = NewStructureWindow();
    if (!window) return nullptr;
    window->SetCaption(StructureCaption);
    window->ShowChild();
    window->SetFileList(fileList);
    // No folder chosen yet: new files go to the user's home folder.
    window->SetBaseFolder(baseFolder.isEmpty() ? QDir::homePath() : baseFolder);
    window->BeginNewStructure();
    return window;
}

TMigrateWindowBase* OpenMigrateWindow(int width, int height, const QString& destination)
{
    if (ActivateWindowByCaption(QStringLiteral("Migrate"))) return nullptr;
    TMigrateWindowBase* window = NewMigrateWindow();
    if (!window) return nullptr;
    window->SetCaption(QStringLiteral("Migrate"));
    window->SetFormSize(width, height);
    window->ShowChild();
    if (!destination.isEmpty()) window->SetDestination(destination);
    return window;
}

QString EditableDataWindowCaption(const QString& path)
{
    const QString prefix = QStringLiteral("View Data ");
    for (QWidget* form : OpenForms()) {
        const QString caption = OwnCaption(form);
        if (!caption.startsWith(prefix) || !SamePath(caption.mid(prefix.size()), path)) continue;
        if (auto* window = qobject_cast<TDataWindowBase*>(form); window && window->IsReadOnly()) continue;
        return caption;
    }
    return QString();
}
