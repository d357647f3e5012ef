#pragma once

#include <QString>

// The program's own folder under the user's data home:
// $XDG_DATA_HOME/MoraImport, or ~/.local/share/MoraImport when that is
// unset (or not an absolute path).
QString UserDataFolder();

// Makes folder and its Data/ where missing, then makes folder the current
// one. Gives why that failed, or an empty text.
QString EnterDataFolder(const QString& folder);
