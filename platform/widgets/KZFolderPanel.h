#pragma once
// What the program's folder dialogs (non-native QFileDialogs choosing folders) do as desktop
// programs' dialogs do: they open in the folder last chosen to scan (the drop view's open
// panel remembers each choice in the settings store, so it holds across runs), in the home
// folder the first time and when that folder is no longer there, never in the process's
// working folder; and their Size, Type and Date Modified columns are as wide as what they
// show each time a folder is listed. Main thread only.

#include <QString>

#include <string>
#include <string_view>

class QFileDialog;

namespace kz {

// The settings store's key of the last folder chosen.
inline const QString LastChosenFolderKey = QStringLiteral("LastChosenFolder");

// The folder a folder dialog opens in: the last one chosen while it is still a folder (one
// whose name the dialog can show), else the home folder ($HOME, else the user database's),
// else "/".
std::string folderPanelStartFolder();
// Remembers a folder chosen in a folder dialog (stored at once).
void rememberChosenFolder(std::string_view folder);
// Points the dialog at folderPanelStartFolder() and keeps its detail columns as wide as
// their contents. Call before showing it.
void prepareFolderPanel(QFileDialog* panel);

} // namespace kz
