// The treemap view's context menu, the actions on its selection and the rescan of single
// folders.
#include "treemap/KZNestedTreemapView.h"

#include "model/KZFileScanner.h"
#include "model/Preferences.h"
#include "platform/KZDispatch.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZWorkspace.h"
#include "treemap/KZNestedTreemapViewDelegate.h"

#include <QMenu>

#include <algorithm>

// ---- context menu ----

QMenu* KZNestedTreemapView::menuForPoint(const QPoint& point, QEvent* event)
{
    return menuForNode(treemapNodeAt(QPointF(point)), event);
}

QMenu* KZNestedTreemapView::menuForNode(const KZTreemapNodePtr& node, QEvent* event)
{
    // An inert area is no target: it counts as empty space.
    if (node && (node->isReloading() || node->isInertArea())) {
        setClickedNode(nullptr);
        update();
        return nullptr;
    }
    setClickedNode(node);
    update();
    if (!node || !node->file()) return nullptr;

    if (delegate_) delegate_->treemapViewMouseExitedWithEvent(this, event);
    const KZFilePtr file = node->file();
    const bool folder = node->isPlainFolder();
    auto* menu = new QMenu(this);
    if (folder) {
        menu->addAction(RefreshDirectoryTitle, this, &KZNestedTreemapView::reloadSelectedDirectory);
        menu->addAction(ZoomToDirectoryTitle, this, &KZNestedTreemapView::zoomIn);
        menu->addSeparator();
    }
    menu->addAction(ShowInFileManagerTitle, this, &KZNestedTreemapView::showInFinder);
    menu->addAction(OpenWithFileManagerTitle, this, &KZNestedTreemapView::openInFinder);
    menu->addAction(AddToIgnoreListTitle, this, &KZNestedTreemapView::addToIgnoreList);
    menu->addSeparator();
    menu->addAction(folder ? CompressDirectoryTitle : CompressFileTitle, this, &KZNestedTreemapView::compressNode);
    if (delegate_ && delegate_->treemapViewCanRemoveFile(this, file))
        menu->addAction(folder ? DeleteDirectoryTitle : DeleteFileTitle, this,
                        &KZNestedTreemapView::deleteSelectedFile);
    return menu;
}

// ---- actions on the selection ----

void KZNestedTreemapView::openInFinder()
{
    for (const KZFilePtr& file : filesOfSelection()) KZWorkspace::shared().openFile(file->path());
}

void KZNestedTreemapView::showInFinder()
{
    std::vector<std::string> paths;
    for (const KZFilePtr& file : filesOfSelection()) paths.push_back(file->path());
    if (!paths.empty()) KZWorkspace::shared().revealInFileManager(paths);
}

void KZNestedTreemapView::addToIgnoreList()
{
    if (clickedNodes_.empty()) return;
    for (const KZFilePtr& file : filesOfSelection()) {
        // The folder keeps the item's bytes, counted as ignored.
        if (delegate_ && delegate_->treemapViewIgnoreFile(this, file) && file->parent())
            file->parent()->ignoreChild(file.get());
    }
    reloadDataShouldClear(true);
}

void KZNestedTreemapView::compressNode()
{
    // A selection of grouped nodes alone holds no record to compress.
    const std::vector<KZFilePtr> files = filesOfSelection();
    if (files.empty() || !delegate_) return;
    delegate_->treemapViewCompressFiles(this, files);
}

void KZNestedTreemapView::deleteSelectedFile()
{
    const std::vector<KZFilePtr> files = filesOfSelection();
    if (files.empty() || !delegate_) return;
    if (!delegate_->treemapViewRemoveFiles(this, files)) return;
    for (const KZFilePtr& file : files) {
        if (KZDirectory* parent = file->parent()) {
            lists_.removeList(parent);
            file->removeFromParent();
        }
    }
    reloadDataShouldClear(true);
}

// ---- rescan of one folder ----

void KZNestedTreemapView::reloadSelectedDirectory()
{
    if (clickedNodes_.empty()) return;
    const std::vector<KZTreemapNodePtr> selected = clickedNodes_;
    for (const KZTreemapNodePtr& node : selected)
        if (node->isPlainFolder()) reloadDirectoryNode(node);
}

void KZNestedTreemapView::reloadDirectoryNode(const KZTreemapNodePtr& node)
{
    const KZDirectoryPtr folder = node ? kz_asDirectory(node->file()) : nullptr;
    if (!folder || folder->isPackage()) return;
    const std::string path = folder->path();
    if (lists_.isReloadingPath(path)) return;

    node->setIsReloading(true);
    folder->removeAllChildren();
    lists_.removeList(folder.get());
    reloadDataShouldClear(false);
    lists_.setReloadingNode(path, node);

    auto scanner = KZFileScanner::scannerWithPaths({path}, preferences().minFileSize());
    scanner->setOwner(this);
    QPointer<KZNestedTreemapView> self(this);
    scanner->setCurrentPathBlock([self, path](const std::string& current) {
        if (!self) return;
        if (KZTreemapNodePtr reloading = self->lists_.reloadingNode(path)) reloading->setCurrentPath(current);
        // Reports come up to about 30 a second from each rescan; repaint at most that often
        // whatever the number of rescans.
        if (!self->progressRepaint_.isRunning()) self->progressRepaint_.run();
    });
    scanner->setCompletionBlock([self, folder, path](const KZFileList& files) {
        if (self) self->rescanFinished(folder, path, &files);
    });
    scanner->setFailureBlock([self, folder, path](const QString&) {
        if (self) self->rescanFinished(folder, path, nullptr);
    });
    scanner->setCancelledBlock([self, folder, path] {
        if (!self) return;
        self->lists_.removeReloadingNode(path);
        self->releaseRescan(path);
        self->reloadDataShouldClear(true);
    });
    rescans_[path] = scanner;
    scanner->start();
}

void KZNestedTreemapView::rescanFinished(const KZDirectoryPtr& folder, const std::string& path, const KZFileList* files)
{
    lists_.removeReloadingNode(path);
    releaseRescan(path);
    const KZDirectoryPtr scanned = files && !files->empty() ? kz_asDirectory(files->front()) : nullptr;
    if (!scanned) {
        reloadDataShouldClear(true);
        KZAlert alert;
        alert.messageText = RescanFailedMessage;
        alert.informativeText = RescanFailedInformativeText;
        alert.buttons = {RescanFailedButton};
        // Modal: nothing of the view is touched once it returns.
        KZAlertService::shared().runModal(alert);
        return;
    }
    // The fresh record takes the old one's place; what the scan can't know about the folder
    // (its flags as the first scan set them) carries over.
    scanned->setIsHidden(folder->isHidden());
    scanned->setIsSystemFile(folder->isSystemFile());
    // Only a folder still in its parent is replaced: one taken out meanwhile (with its
    // parent link kept for putting it back) stays out. The folders above count what the scan
    // found instead of the old record's size.
    if (KZDirectory* parent = folder->parent()) parent->replaceChild(folder.get(), scanned.get());
    reloadDataShouldClear(true);
}

void KZNestedTreemapView::releaseRescan(const std::string& path)
{
    auto it = rescans_.find(path);
    if (it == rescans_.end()) return;
    // The scanner is running the block that called us; let it go on a later turn.
    KZRunOnMainThread([scanner = std::move(it->second)] {});
    rescans_.erase(it);
}
