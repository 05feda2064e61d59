#pragma once
// Where the program keeps its own files (the settings file, saved filler definitions).

#include <QString>

// The executable's folder when the program may write there, else the per-user
// configuration folder (created on demand). Always ends with '/'. Decided at the first call.
QString ProgramDataFolder();
// The same rule for a given executable folder.
QString ProgramDataFolderFor(const QString& exeFolder);
// True when a file can be created in the folder (tried, not guessed from permission bits).
bool FolderIsWritable(const QString& folder);
