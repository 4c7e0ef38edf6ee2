// The results screen's flows: the confirmed delete, putting queued records back, emptying the
// queue through the delete sheet, the totals, the window title and the key filter.
#include "app/TQTreemapViewController.h"

#include "ui_TQTreemapViewController.h"

#include "app/TQEmptyTrashWindowController.h"
#include "app/TQNotifications.h"
#include "kit/KZController.h"
#include "model/KZMemoryFormatter.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "model/TQDeletionEngine.h"
#include "platform/KZDispatch.h"
#include "platform/KZLog.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZApplicationServices.h"
#include "treemap/KZNestedTreemapView.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>

namespace {

// True for a widget in which keys type text.
bool isTextEditor(const QWidget* w)
{
    if (!w) return false;
    if (const auto* line = qobject_cast<const QLineEdit*>(w)) return !line->isReadOnly();
    if (const auto* text = qobject_cast<const QTextEdit*>(w)) return !text->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(w)) return !plain->isReadOnly();
    if (qobject_cast<const QAbstractSpinBox*>(w)) return true;
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) return combo->isEditable();
    return false;
}

QString displayPath(const std::string& path)
{
    return kz::displayString(kz::withoutTrailingSlash(path));
}

} // namespace

// ---- the confirmed delete ----

bool TQTreemapViewController::removeFiles(const KZFileList& files)
{
    if (files.empty()) return false;
    const bool useTrash = Preferences::sharedPreferences().useTrash();
    const size_t n = files.size();

    KZAlert alert;
    alert.messageText = n == 1 ? DeleteOneMessage.arg(files.front()->fileName()) : DeleteManyMessage.arg(qlonglong(n));
    alert.informativeText =
        QStringLiteral("%1 %2").arg(n == 1 ? ThisFile : TheseItems, useTrash ? WillBeTrashed : WillBeDeleted);
    if (useTrash) {
        // Items on network volumes never go to the Trash: the user is told before confirming.
        KZFileList network;
        std::copy_if(files.begin(), files.end(), std::back_inserter(network),
                     [](const KZFilePtr& f) { return f->isNetworkItem(); });
        QString note;
        if (network.size() == n) {
            note = n == 1 ? NetworkAllOneNote : NetworkAllManyNote;
        } else if (network.size() == 1) {
            note = NetworkSomeOneNote.arg(network.front()->fileName());
        } else if (!network.empty()) {
            note = NetworkSomeManyNote.arg(qlonglong(network.size()));
        }
        if (!note.isEmpty()) alert.informativeText += QStringLiteral("\n\n") + note;
    }
    alert.buttons = {DeleteButton, CancelButton};
    if (KZAlertService::shared().runModal(alert).response != KZAlertFirstButtonReturn) return false;

    // Items the ignore list protects are refused (and reported), never passed on.
    KZFileList removable;
    KZFileList unremovable;
    for (const KZFilePtr& file : files)
        (ensureIgnoreList().fileIsUnremovable(*file) ? unremovable : removable).push_back(file);

    ++runningDeletions_;
    TQDeletionEngine::Options options;
    options.useTrash = useTrash;
    TQDeletionEngine::deleteFiles(
        removable, options, [](double) {},
        [this, unremovable](const TQDeletionResult& result) { deletionFinished(result, unremovable); }, this);
    return true;
}

void TQTreemapViewController::deletionFinished(const TQDeletionResult& result, const KZFileList& unremovable)
{
    runningDeletions_ = std::max(0, runningDeletions_ - 1);
    // Only what is gone leaves the tree; the folders keep counting the removed sizes.
    for (const KZFileList* list : {&result.deletedFiles, &result.nestedFiles, &result.vanishedFiles})
        for (const KZFilePtr& file : *list) removeGoneRecord(file, true, true);
    addTotalSaved(result.freedBytes);
    if (treemapView_) treemapView_->reloadDataShouldClear(true);
    if (result.errors || !unremovable.empty()) showDeletionFailures(result, unremovable);
    Q_EMIT removalFinished();
}

void TQTreemapViewController::showDeletionFailures(const TQDeletionResult& result, const KZFileList& unremovable)
{
    QStringList lines;
    if (result.errors) {
        for (const auto& [path, error] : *result.errors) {
            KZDebugLog(QStringLiteral("Could not remove file at path '%1' because of error: %2")
                           .arg(kz::displayString(path), error.localizedDescription()));
            lines << QStringLiteral("%1: %2").arg(displayPath(path), error.localizedDescription());
        }
    }
    for (const KZFilePtr& file : unremovable) {
        KZDebugLog(QStringLiteral("Could not remove file at path '%1' because of error: %2")
                       .arg(kz::displayString(file->path()), UnremovableReason));
        lines << QStringLiteral("%1: %2").arg(displayPath(file->path()), UnremovableReason);
    }
    KZSystemLog(QStringLiteral("There was an error while deleting: %1 item(s) stayed").arg(lines.size()));
    if (lines.size() > kMaxListedFailures) {
        const qsizetype more = lines.size() - kMaxListedFailures;
        lines = lines.mid(0, kMaxListedFailures);
        lines << QStringLiteral("... and %1 more").arg(qlonglong(more));
    }
    KZAlert alert;
    alert.messageText = DeleteFailedMessage;
    alert.informativeText = lines.join(QLatin1Char('\n'));
    alert.buttons = {OkayButton};
    alert.style = KZAlert::Style::Critical;
    KZAlertService::shared().runModal(alert);
}

// ---- tree edits ----

bool TQTreemapViewController::isInTree(const KZDirectory* folder) const
{
    const KZDirectory* d = folder;
    while (d && d != rootDirectory_.get()) {
        const KZDirectory* parent = d->parent();
        if (!parent) return false;
        const auto siblings = parent->children();
        if (std::find(siblings.begin(), siblings.end(), d) == siblings.end()) return false;
        d = parent;
    }
    return d && d == rootDirectory_.get();
}

bool TQTreemapViewController::removeGoneRecord(const KZFilePtr& file, bool keepSizeInParent, bool knownGone)
{
    if (!file || (!knownGone && file->exists())) return false;
    KZFilePtr target = file;
    KZDirectory* parent = file->parent();
    const bool linked = parent && isInTree(parent) && [&] {
        const auto children = parent->children();
        return std::find(children.begin(), children.end(), file.get()) != children.end();
    }();
    if (!linked) {
        // The record is out of the tree already (queued, or its folder was rescanned): what
        // stands at its path now, if anything, goes instead.
        const std::string path = file->path();
        const KZDirectoryPtr folder = folderAtPath(kz_stringByDeletingLastPathComponent(path), true);
        if (!folder) return false;
        const std::string name = kz_lastPathComponent(path);
        target = nullptr;
        for (KZFile* child : folder->children())
            if (child->nameBytes() == name) target = KZFilePtr(child);
        if (!target) return false;
    }
    if (keepSizeInParent) {
        target->removeFromParent();
    } else {
        target->deleteFromParent();
    }
    return true;
}

void TQTreemapViewController::releaseQueuedFolder(const KZFile* file)
{
    const auto it = queuedFolders_.find(file);
    if (it == queuedFolders_.end()) return;
    auto [record, folder] = std::move(it->second);
    queuedFolders_.erase(it);
    // The path was fixed when the record was queued; the link to a folder no one holds goes.
    if (record->parent() == folder.get()) record->setParent(nullptr);
}

// ---- totals and title ----

void TQTreemapViewController::addTotalSaved(double bytes)
{
    if (!(bytes > 0)) return;
    totalFreed_ += bytes;
    KZNotificationCenter::defaultCenter().post(TQNotification_EnableNextButton);
}

void TQTreemapViewController::setWindowTitle()
{
    QWidget* window = parentWindow() ? parentWindow()->window() : nullptr;
    if (!window || !treemapView_) return;
    static const KZMemoryFormatter formatter;
    const KZDirectoryPtr& shown = treemapView_->directory();
    window->setWindowFilePath(displayPath(shown->path()));
    window->setWindowTitle(QStringLiteral("%1 - %2").arg(shown->fileName(), formatter.stringFromBytes(shown->fileSize())));
}

// ---- the delete queue ----

void TQTreemapViewController::updateQueueToolbarItemEnabled()
{
    const bool on = Preferences::sharedPreferences().useDeleteQueue();
    if (QAction* item = toolbarItem(DeleteQueueItem)) item->setEnabled(on && treemapView_);
    if (!on) closePopoverIfAny();
}

void TQTreemapViewController::addFileRemovedFromQueueNotification()
{
    if (queueObserved_) return;
    KZNotificationCenter& center = KZNotificationCenter::defaultCenter();
    const auto token = center.addObserver(
        TQDeleteQueueNotification::didRemoveFiles,
        [this](const KZNotification& n) {
            didRemoveFilesFromQueue(n.userInfo.value(TQDeleteQueueNotification::filesKey).value<KZFileList>());
        },
        this);
    queueObserver_ = KZObserverToken(&center, token);
    queueObserved_ = true;
}

void TQTreemapViewController::removeFileRemovedFromQueueNotification()
{
    queueObserver_.reset();
    queueObserved_ = false;
}

void TQTreemapViewController::didRemoveFilesFromQueue(const KZFileList& files)
{
    bool changed = false;
    for (const KZFilePtr& file : files) {
        const auto it = queuedFolders_.find(file.get());
        if (it == queuedFolders_.end()) continue; // not queued from this screen, or back already
        const KZDirectoryPtr folder = it->second.second;
        const std::string name = file->nameBytes();
        const auto children = folder->children();
        // Back only into a folder still in the tree that holds nothing of that name, and
        // only while the item is still there.
        const bool goesBack = file->exists() && isInTree(folder.get()) &&
                              std::none_of(children.begin(), children.end(),
                                           [&](const KZFile* child) { return child->nameBytes() == name; });
        if (goesBack) {
            queuedFolders_.erase(it);
            folder->addChild(file.get());
            changed = true;
        } else {
            releaseQueuedFolder(file.get());
        }
    }
    if (changed && treemapView_) treemapView_->reloadData();
}

void TQTreemapViewController::showEmptyTrashWindow(const QString& notificationName)
{
    // One emptying at a time: the sheet is window-modal, so a second request can only come
    // from the program itself while it runs.
    if (emptyWindowController_ && emptyWindowController_->isRunning()) return;
    canShowFileChangeAlert_ = false;
    removeFileRemovedFromQueueNotification();

    TQEmptyTrashWindowController* sheet = controller<TQEmptyTrashWindowController>().release();
    sheet->setParent(this);
    QPointer<TQTreemapViewController> self(this);
    sheet->setCompletionBlock([self, notificationName](const TQDeletionResult& result) {
        if (self) self->emptyingFinished(notificationName, result);
    });
    if (!sheet->beginSheetForWindow(parentWindow() ? parentWindow()->window() : nullptr)) {
        // Another delete sheet of the program runs: this request is dropped.
        KZSystemLog(QStringLiteral("A delete sheet is already running; the queue is not emptied twice."));
        sheet->deleteLater();
        canShowFileChangeAlert_ = true;
        addFileRemovedFromQueueNotification();
        return;
    }
    if (emptyWindowController_) emptyWindowController_->deleteLater();
    emptyWindowController_ = sheet;
}

void TQTreemapViewController::emptyingFinished(const QString& notificationName, const TQDeletionResult& result)
{
    auto went = std::make_shared<KZFileList>();
    went->reserve(result.deletedFiles.size() + result.nestedFiles.size() + result.vanishedFiles.size());
    for (const KZFileList* list : {&result.deletedFiles, &result.nestedFiles, &result.vanishedFiles})
        went->insert(went->end(), list->begin(), list->end());
    // A long queue leaves the tree a slice at a time, so the window keeps answering; the view
    // takes no clicks until the tree is whole again.
    if (went->size() > emptyingSlice_ && treemapView_) treemapView_->setEnabled(false);
    takeOutEmptiedRecords(std::move(went), 0, notificationName, result.freedBytes);
}

void TQTreemapViewController::takeOutEmptiedRecords(std::shared_ptr<const KZFileList> went, size_t from,
                                                    const QString& notificationName, double freedBytes)
{
    const size_t end = std::min(went->size(), from + emptyingSlice_);
    for (size_t i = from; i < end; ++i) {
        // The engine's result lists only records it found gone: they are not looked up on disk
        // again here, on the main thread.
        removeGoneRecord((*went)[i], false, true);
        releaseQueuedFolder((*went)[i].get());
    }
    if (end < went->size()) {
        KZRunOnMainThread([this, went = std::move(went), end, notificationName, freedBytes]() mutable {
            takeOutEmptiedRecords(std::move(went), end, notificationName, freedBytes);
        }, this);
        return;
    }
    endEmptying(notificationName, freedBytes);
}

void TQTreemapViewController::endEmptying(const QString& notificationName, double freedBytes)
{
    addTotalSaved(freedBytes);
    if (treemapView_) {
        treemapView_->setEnabled(true);
        treemapView_->reloadDataShouldClear(true);
    }
    canShowFileChangeAlert_ = true;
    addFileRemovedFromQueueNotification();
    // What follows (the finished screen, or the end) takes a turn of its own, so a long emptying
    // and the next screen's set-up don't hold up the window in one go.
    if (notificationName == TQNotification_EmptyTrashAndFinish) {
        KZRunOnMainThread([] { KZNotificationCenter::defaultCenter().post(TQNotification_Finish); }, this);
    } else if (notificationName == TQNotification_EmptyTrashAndQuit) {
        KZRunOnMainThread([] { KZApplicationServices::shared().terminate(); }, this);
    }
}

// ---- the key filter ----

void TQTreemapViewController::addLocalEventListener()
{
    if (localEventListener_ || !qApp) return;
    qApp->installEventFilter(this);
    localEventListener_ = true;
}

void TQTreemapViewController::removeLocalEventListener()
{
    if (!localEventListener_) return;
    if (qApp) qApp->removeEventFilter(this);
    localEventListener_ = false;
}

bool TQTreemapViewController::handleKeyPress(QObject* receiver, QKeyEvent* event)
{
    const int key = event->key();
    if (key != Qt::Key_Space && key != Qt::Key_Escape) return false;
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    if (!treemapView_) return false;
    // Only in the results window while it is the active one, with no dialog or menu up.
    QWidget* window = parentWindow() ? parentWindow()->window() : nullptr;
    auto* target = qobject_cast<QWidget*>(receiver);
    if (!window || !target || target->window() != window || QApplication::activeWindow() != window) return false;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
    if (isTextEditor(QApplication::focusWidget()) || isTextEditor(target)) return false;
    // The popover takes its own keys (Escape closes it).
    if (popover_ && popover_->popoverIsVisible()) {
        if (key == Qt::Key_Escape) return false;
        if (QWidget* content = popover_->contentView(); content && content->isAncestorOf(target)) return false;
    }
    if (key == Qt::Key_Space) {
        if (!event->isAutoRepeat()) quickLook();
    } else {
        treemapView_->clearSelection();
    }
    return true;
}
