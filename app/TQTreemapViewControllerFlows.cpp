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
    // The run's ledger runs the deletion: what went leaves the tree and counts in the run's
    // totals even when this screen has gone by then.
    ledger().deleteFiles(
        removable, options, this,
        [this, unremovable](const TQDeletionResult& result) { deletionFinished(result, unremovable); },
        [unremovable](const TQDeletionResult& result) {
            if (result.errors || !unremovable.empty()) showDeletionFailures(result, unremovable);
        });
    return true;
}

void TQTreemapViewController::deletionFinished(const TQDeletionResult& result, const KZFileList& unremovable)
{
    runningDeletions_ = std::max(0, runningDeletions_ - 1);
    // The ledger has taken what went out of the tree and counted it for the run.
    noteFreed(result.freedBytes);
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

bool TQTreemapViewController::isInTreeOrQueued(const KZDirectory* folder) const
{
    const KZDirectory* d = folder;
    while (d && d != rootDirectory_.get()) {
        const KZDirectory* parent = d->parent();
        if (!parent) return false;
        const auto siblings = parent->children();
        if (std::find(siblings.begin(), siblings.end(), d) == siblings.end()) {
            // Out of its folder: only as a record queued from here, still naming that folder.
            const auto it = queuedFolders_.find(d);
            if (it == queuedFolders_.end() || it->second.second.get() != parent) return false;
        }
        d = parent;
    }
    return d && d == rootDirectory_.get();
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
    ledger().addTotalFreed(bytes);
    noteFreed(bytes);
}

void TQTreemapViewController::noteFreed(double bytes)
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
    window->setWindowTitle(
        QStringLiteral("%1 - %2").arg(shown->fileName(), formatter.stringFromBytes(shown->fileSize())));
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
        // Back only into a folder still in the tree (or queued itself, so that it comes back
        // with the record in it) that holds nothing of that name, and only while the item is
        // still there.
        const bool goesBack = file->exists() && isInTreeOrQueued(folder.get()) &&
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
    if (ledger().isEmptying()) return;
    canShowFileChangeAlert_ = false;
    removeFileRemovedFromQueueNotification();

    // The ledger runs the sheet: the records that went leave the tree and count in the run's
    // totals even when this screen has gone by then. What follows an emptying asked for by
    // Finish or Quit happens in any case.
    QPointer<TQTreemapViewController> self(this);
    TQEmptyTrashWindowController* sheet = ledger().emptyQueue(
        parentWindow() ? parentWindow()->window() : nullptr, this,
        [this](const KZFilePtr& file) { releaseQueuedFolder(file.get()); },
        [this](const TQDeletionResult& result) { emptyingEnded(result); },
        [self, notificationName] {
            if (notificationName == TQNotification_EmptyTrashAndFinish) {
                if (self) KZNotificationCenter::defaultCenter().post(TQNotification_Finish);
            } else if (notificationName == TQNotification_EmptyTrashAndQuit) {
                KZApplicationServices::shared().terminate();
            }
        });
    if (!sheet) {
        // Another delete sheet of the program runs: this request is dropped.
        KZSystemLog(QStringLiteral("A delete sheet is already running; the queue is not emptied twice."));
        canShowFileChangeAlert_ = true;
        addFileRemovedFromQueueNotification();
        return;
    }
    emptyWindowController_ = sheet;
}

void TQTreemapViewController::emptyingEnded(const TQDeletionResult& result)
{
    noteFreed(result.freedBytes);
    canShowFileChangeAlert_ = true;
    addFileRemovedFromQueueNotification();
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
