#include "platform/widgets/KZFolderPanel.h"

#include "platform/KZPathString.h"
#include "platform/KZUserDatabase.h"
#include "platform/KZUserDefaults.h"

#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>

#include <sys/stat.h>

namespace {

// Room for the names beside detail columns as wide as theirs.
constexpr QSize kPanelSize(820, 500);

// A folder the dialog can open: one that exists and whose name it can show (its text is
// UTF-8; the dialog's paths are text).
bool isOpenableFolder(const std::string& path)
{
    if (path.empty() || path.front() != '/' || !kz::isValidUtf8(path)) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The columns after the name take the width of what they show; the name keeps the rest.
void fitDetailColumns(QTreeView* view)
{
    const int columns = view->header()->count();
    for (int column = 1; column < columns; ++column)
        if (!view->isColumnHidden(column)) view->resizeColumnToContents(column);
}

} // namespace

namespace kz {

std::string folderPanelStartFolder()
{
    const std::string chosen =
        pathFromQString(KZUserDefaults::standardUserDefaults().stringForKey(LastChosenFolderKey));
    if (isOpenableFolder(chosen)) return chosen;
    for (const std::string& home : {homeDirectoryFromEnvironment(), homeDirectoryForCurrentUser()})
        if (isOpenableFolder(home)) return home;
    return "/";
}

void rememberChosenFolder(std::string_view folder)
{
    if (folder.empty()) return;
    KZUserDefaults::standardUserDefaults().setObject(LastChosenFolderKey,
                                                     pathToQString(pathWithoutTrailingSlash(folder)));
}

void prepareFolderPanel(QFileDialog* panel)
{
    if (!panel) return;
    panel->setDirectory(QFile::decodeName(toByteArray(folderPanelStartFolder())));
    panel->resize(panel->sizeHint().expandedTo(kPanelSize));
    // The dialog's own list (its detail view) and the model behind it, which lists each
    // folder on a thread of its own and says when it has.
    auto* view = panel->findChild<QTreeView*>(QStringLiteral("treeView"));
    auto* files = panel->findChild<QFileSystemModel*>();
    if (!view || !files) return;
    view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    QObject::connect(files, &QFileSystemModel::directoryLoaded, view, [view] { fitDetailColumns(view); });
}

} // namespace kz
