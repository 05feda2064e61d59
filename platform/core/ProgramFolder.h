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
// The settings file that stands for a registry key path ("Software\Firm\Program"): each key of
// the path a folder under the program's per-user configuration folder, the last one the file, with
// ".ini"; empty for a path without keys. Nothing in the path climbs out of that folder.
QString RegistryKeyFileName(const QString& keyPath);
