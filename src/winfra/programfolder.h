#pragma once

#include <QString>

// Every data file of the program lives in the program folder, the folder of
// the executable. Tests point it at a temporary folder.
namespace ProgramFolder {

// The folder, without a trailing separator.
QString path();

// Path of a data file in the program folder. File names are compared without
// regard to case ("VerTmp.Dll" and "VerTmp.dll" are one file): an existing
// file whose name differs only in case is returned instead of the given
// spelling, so the program never creates a second copy next to it.
QString file(const QString &name);

// Whether the data file exists (hidden files count).
bool exists(const QString &name);

// Overrides the folder (tests); an empty path returns to the executable's.
void setPath(const QString &folder);

} // namespace ProgramFolder
