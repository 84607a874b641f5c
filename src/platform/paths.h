#pragma once
// Where things live on this machine: the mailbox root, the program's folder,
// the fonts folder and the settings file. Nothing else in the program knows
// about drive letters, environment variables or path separators.
#include <QString>

namespace platform {

// The mailbox root, always ending in a separator; created when missing.
// Windows: c:\Email\ ; elsewhere $TOVELMAIL_ROOT, else $HOME/Email/.
QString mailRoot();

// Joins path pieces with exactly one separator between them. A trailing
// separator on the last piece is kept.
QString joinPath(const QString& a, const QString& b);
QString joinPath(const QString& a, const QString& b, const QString& c);

// The folder the program reads its table, pictures and icons from: the
// executable's folder, else ../share/tovelmail beside it.
QString programFolder();

// Stand-in for the Windows directory: the folder whose fonts/ holds the
// bundled display fonts (the program folder elsewhere than on Windows).
QString windowsDirectory();
QString fontsFolder();

// The settings file used where there is no registry.
QString settingsFilePath();

// True when a directory exists at path (case as given).
bool directoryExists(const QString& path);

}  // namespace platform
