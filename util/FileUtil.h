#pragma once
#include <QString>

namespace dorv {

// The system temporary folder with a trailing separator, or empty text when there is none.
QString GetTempDirectory();
// True when path is a folder now: it existed or was just created (one level only). The folder is
// made private to the user (mode 0700): it holds the household's unpacked data.
bool EnsureDirectory(const QString& path);
// Deletes every file of the folder (skipping any that resist), then removes the folder; returns
// whether the folder is gone.
bool ClearDirectory(const QString& path);
// Full path of the first entry of the program's folder matching the wildcard mask (hidden entries
// and folders included, in the order the file system lists them), or empty text.
QString FindBesideExecutable(const QString& mask);

// The program's folder: the executable's, unless a test or tool chose another.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);

} // namespace dorv
