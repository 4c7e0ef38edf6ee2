#include "app/TQRemovalFlow.h"

#include "app/TQDeleteQueueViewController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQNotifications.h"
#include "app/TQRunLedger.h"
#include "kit/KZController.h"
#include "model/KZIgnoreList.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "model/TQDeletionEngine.h"
#include "platform/KZLog.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZApplicationServices.h"
#include "treemap/KZNestedTreemapView.h"

#include <algorithm>
#include <cmath>

namespace {

QString displayPath(const std::string& path)
{
    return kz::displayString(kz::withoutTrailingSlash(path));
}

// The note added to the delete question when items on a network volume will be deleted
// outright although the Trash was chosen; "" when there are none.
QString networkNote(const KZFileList& files)
{
    KZFileList network;
    std::copy_if(files.begin(), files.end(), std::back_inserter(network),
                 [](const KZFilePtr& f) { return f->isNetworkItem(); });
    if (network.empty()) return {};
    if (network.size() == files.size())
        return files.size() == 1 ? TQRemovalFlow::NetworkAllOneNote : TQRemovalFlow::NetworkAllManyNote;
    if (network.size() == 1) return TQRemovalFlow::NetworkSomeOneNote.arg(network.front()->fileName());
    return TQRemovalFlow::NetworkSomeManyNote.arg(qlonglong(network.size()));
}

} // namespace

TQRemovalFlow::TQRemovalFlow(Setup setup, const QObject* screen)
    : setup_(std::move(setup)), window_(setup_.window), screen_(screen), ledger_(setup_.ledger)
{
    deleteQueueController_ = controller<TQDeleteQueueViewController>();
    connect(&Preferences::sharedPreferences(), &Preferences::useDeleteQueueChanged, this, [this] {
        if (!Preferences::sharedPreferences().useDeleteQueue()) closeDeleteQueue();
    });
    observeNotifications();
}

TQRemovalFlow::~TQRemovalFlow()
{
    KZNotificationCenter::defaultCenter().removeObservers(screen_);
    removeFileRemovedFromQueueNotification();
    handOverCompressions();
    closeDeleteQueue();
    // Queued records that are still queued keep their paths but no longer name a folder that
    // nobody holds.
    for (auto& [key, entry] : queuedFolders_)
        if (entry.first->parent() == entry.second.get()) entry.first->setParent(nullptr);
    queuedFolders_.clear();
}

void TQRemovalFlow::observeNotifications()
{
    KZNotificationCenter& center = KZNotificationCenter::defaultCenter();
    for (const QString& name :
         {TQNotification_EmptyTrash, TQNotification_EmptyTrashAndFinish, TQNotification_EmptyTrashAndQuit})
        center.addObserver(
            name, [this, name](const KZNotification&) { showEmptyTrashWindow(name); }, screen_);
    addFileRemovedFromQueueNotification();
}

void TQRemovalFlow::setTreemapView(KZNestedTreemapView* view)
{
    view_ = view;
}

// ---- removal ----

bool TQRemovalFlow::removeFilesFromView(const KZFileList& files)
{
    if (files.empty()) return false;
    Preferences& prefs = Preferences::sharedPreferences();
    if (!prefs.hasAskedToUseDeleteQueue()) {
        prefs.setHasAskedToUseDeleteQueue(true);
        KZAlert alert;
        alert.messageText = UseQueueMessage;
        alert.informativeText = UseQueueInformative;
        alert.buttons = {YesButton, NoButton};
        if (KZAlertService::shared().runModal(alert).response == KZAlertFirstButtonReturn)
            prefs.setUseDeleteQueue(true);
    }
    if (prefs.useDeleteQueue()) {
        queueFiles(files);
    } else {
        // The deletion runs in the background; the records that went leave the tree when it
        // ends, so the view must not take them out now.
        removeFiles(files);
    }
    return false;
}

bool TQRemovalFlow::removeFiles(const KZFileList& files)
{
    if (files.empty() || !ledger_) return false;
    const bool useTrash = Preferences::sharedPreferences().useTrash();
    const size_t n = files.size();

    KZAlert alert;
    alert.messageText = n == 1 ? DeleteOneMessage.arg(files.front()->fileName()) : DeleteManyMessage.arg(qlonglong(n));
    alert.informativeText =
        QStringLiteral("%1 %2").arg(n == 1 ? ThisFile : TheseItems, useTrash ? WillBeTrashed : WillBeDeleted);
    // Items on network volumes never go to the Trash: the user is told before confirming.
    if (const QString note = useTrash ? networkNote(files) : QString(); !note.isEmpty())
        alert.informativeText += QStringLiteral("\n\n") + note;
    alert.buttons = {DeleteButton, CancelButton};
    if (KZAlertService::shared().runModal(alert).response != KZAlertFirstButtonReturn) return false;

    // Items the ignore list protects are refused (and reported), never passed on.
    KZFileList removable;
    KZFileList unremovable;
    for (const KZFilePtr& file : files)
        (setup_.ignoreList->fileIsUnremovable(*file) ? unremovable : removable).push_back(file);

    ++runningDeletions_;
    TQDeletionEngine::Options options;
    options.useTrash = useTrash;
    // The run's ledger runs the deletion: what went leaves the tree and counts in the run's
    // totals even when this screen has gone by then.
    ledger_->deleteFiles(
        removable, options, this,
        [this, unremovable](const TQDeletionResult& result) { deletionFinished(result, unremovable); },
        [unremovable](const TQDeletionResult& result) {
            if (result.errors || !unremovable.empty()) showDeletionFailures(result, unremovable);
        });
    return true;
}

void TQRemovalFlow::deletionFinished(const TQDeletionResult& result, const KZFileList& unremovable)
{
    runningDeletions_ = std::max(0, runningDeletions_ - 1);
    // The ledger has taken what went out of the tree and counted it for the run.
    noteFreed(result.freedBytes);
    if (result.errors || !unremovable.empty()) showDeletionFailures(result, unremovable);
    Q_EMIT removalFinished();
}

void TQRemovalFlow::showDeletionFailures(const TQDeletionResult& result, const KZFileList& unremovable)
{
    QStringList lines;
    const auto note = [&lines](const std::string& path, const QString& why) {
        KZDebugLog(QStringLiteral("Could not remove file at path '%1' because of error: %2")
                       .arg(kz::displayString(path), why));
        lines << QStringLiteral("%1: %2").arg(displayPath(path), why);
    };
    if (result.errors)
        for (const auto& [path, error] : *result.errors) note(path, error.localizedDescription());
    for (const KZFilePtr& file : unremovable) note(file->path(), UnremovableReason);
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

// ---- queue mode ----

void TQRemovalFlow::queueFiles(const KZFileList& files)
{
    // The records leave the tree (their folders keep their totals) but keep a link to the
    // folder they came from, held here, so they can be put back.
    for (const KZFilePtr& file : files) {
        KZDirectory* parent = file->parent();
        if (!parent) continue;
        KZDirectoryPtr folder(parent);
        file->deleteFromParent();
        file->setParent(folder.get());
        queuedFolders_[file.get()] = {file, std::move(folder)};
    }
    TQDeleteQueue::sharedInstance().addFilesToQueue(files);
    showDeleteQueue(setup_.queueButton ? setup_.queueButton() : nullptr);
    if (view_) view_->reloadData();
}

KZDirectoryPtr TQRemovalFlow::queuedFolderOf(const KZFile* file) const
{
    const auto it = queuedFolders_.find(file);
    return it == queuedFolders_.end() ? KZDirectoryPtr() : it->second.second;
}

bool TQRemovalFlow::isInTreeOrQueued(const KZDirectory* folder) const
{
    const KZDirectory* root = setup_.root.get();
    const KZDirectory* d = folder;
    while (d && d != root) {
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
    return d && d == root;
}

void TQRemovalFlow::releaseQueuedFolder(const KZFile* file)
{
    const auto it = queuedFolders_.find(file);
    if (it == queuedFolders_.end()) return;
    auto [record, folder] = std::move(it->second);
    queuedFolders_.erase(it);
    // The path was fixed when the record was queued; the link to a folder no one holds goes.
    if (record->parent() == folder.get()) record->setParent(nullptr);
}

void TQRemovalFlow::addFileRemovedFromQueueNotification()
{
    if (queueObserved_) return;
    KZNotificationCenter& center = KZNotificationCenter::defaultCenter();
    const auto token = center.addObserver(
        TQDeleteQueueNotification::didRemoveFiles,
        [this](const KZNotification& n) {
            didRemoveFilesFromQueue(n.userInfo.value(TQDeleteQueueNotification::filesKey).value<KZFileList>());
        },
        screen_);
    queueObserver_ = KZObserverToken(&center, token);
    queueObserved_ = true;
}

void TQRemovalFlow::removeFileRemovedFromQueueNotification()
{
    queueObserver_.reset();
    queueObserved_ = false;
}

void TQRemovalFlow::didRemoveFilesFromQueue(const KZFileList& files)
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
    if (changed && view_) view_->reloadData();
}

// ---- the popover ----

void TQRemovalFlow::showDeleteQueue(QWidget* sender)
{
    if (!deleteQueueController_) return;
    if (popover_ && popover_->popoverIsVisible()) {
        popover_->closePopover();
        return;
    }
    // A popover that closed without reporting yet is let go before a new one is made.
    dropPopover();
    Q_EMIT popoverWillShow();
    popover_ = kz_makeOwned<INPopoverController>(deleteQueueController_->view());
    popover_->setColor(QColor::fromRgbF(1.0, 1.0, 1.0, 1.0));
    popover_->setCornerRadius(4.0);
    popover_->setDelegate(this);
    deleteQueueController_->setPopover(popover_.get());
    popover_->presentPopoverFromRect(sender ? sender->geometry() : QRect(), sender ? sender->parentWidget() : nullptr,
                                     INPopoverArrowDirectionUp, false);
}

void TQRemovalFlow::popoverDidClose(INPopoverController* popover)
{
    if (!popover || popover != popover_.get()) return;
    dropPopover();
}

void TQRemovalFlow::dropPopover()
{
    if (!popover_) return;
    popover_->setDelegate(nullptr);
    if (deleteQueueController_ && deleteQueueController_->popover() == popover_.get())
        deleteQueueController_->setPopover(nullptr);
    // Released on a later turn: this may run inside the popover's own close report.
    popover_.reset();
}

void TQRemovalFlow::closeDeleteQueue()
{
    if (popover_ && popover_->popoverIsVisible()) popover_->closePopover();
    dropPopover();
}

// ---- emptying ----

void TQRemovalFlow::showEmptyTrashWindow(const QString& notificationName)
{
    // One emptying at a time: the sheet is window-modal, so a second request can only come
    // from the program itself while it runs.
    if (!ledger_ || ledger_->isEmptying()) return;
    setEmptying(true);
    removeFileRemovedFromQueueNotification();

    // The ledger runs the sheet: the records that went leave the tree and count in the run's
    // totals even when this screen has gone by then. What follows an emptying asked for by
    // Finish or Quit happens in any case.
    QPointer<TQRemovalFlow> self(this);
    TQEmptyTrashWindowController* sheet = ledger_->emptyQueue(
        window_, screen_, [this](const KZFilePtr& file) { releaseQueuedFolder(file.get()); },
        [this](const TQDeletionResult& result) {
            noteFreed(result.freedBytes);
            setEmptying(false);
            addFileRemovedFromQueueNotification();
        },
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
        setEmptying(false);
        addFileRemovedFromQueueNotification();
        return;
    }
    emptyWindowController_ = sheet;
}

void TQRemovalFlow::setEmptying(bool emptying)
{
    emptying_ = emptying;
    Q_EMIT emptyingChanged(emptying);
}

// ---- compressions ----

void TQRemovalFlow::compressFiles(const KZFileList& files)
{
    if (files.empty() || !ledger_) return;
    // The run's ledger holds it: a running compression outlives the screen.
    TQCompressingWindowController* compression =
        ledger_->compressionWindows().adopt(TQCompressingWindowController::controllerWithFiles(files));
    if (!compression) return;
    // The originals pass the rule of a confirmed delete.
    compression->setIgnoreList(*setup_.ignoreList);
    // Listening before the window shows, so that even an immediate end is heard.
    compression->setDelegate(this);
    compressingWindowControllers_.emplace_back(compression);
    ledger_->compressionStarted(compression);
    compression->showWindow();
}

std::vector<TQCompressingWindowController*> TQRemovalFlow::compressingWindowControllers() const
{
    std::vector<TQCompressingWindowController*> running;
    for (const auto& c : compressingWindowControllers_)
        if (c) running.push_back(c.data());
    return running;
}

bool TQRemovalFlow::filePathWasCompressFileChange(const std::string& path) const
{
    for (const auto& compression : compressingWindowControllers_)
        if (compression && kz_isEqualToPath(path, compression->compressedFilePath())) return true;
    // Compressions that earlier screens of the run started and handed over.
    if (ledger_)
        for (const TQCompressingWindowController* compression : ledger_->runningCompressions())
            if (kz_isEqualToPath(path, compression->compressedFilePath())) return true;
    return false;
}

void TQRemovalFlow::compressingDidFinishForController(TQCompressingWindowController* controller,
                                                      const std::string& destinationPath, double totalSaved,
                                                      bool originalDeleted, bool wasCancelled)
{
    if (!controller) return;
    if (controller->delegate() == this) controller->setDelegate(nullptr);
    std::erase_if(compressingWindowControllers_,
                  [controller](const QPointer<TQCompressingWindowController>& c) { return !c || c == controller; });
    // The ledger applies the outcome to the tree and the run's totals; the screen keeps its
    // own count.
    if (ledger_) ledger_->applyCompression(controller, destinationPath, totalSaved, originalDeleted, wasCancelled);
    if (wasCancelled) return;
    totalCompressed_ += double(controller->files().size());
    // What the removal freed on disk less the archive, also when only some originals went.
    noteFreed(totalSaved);
}

void TQRemovalFlow::handOverCompressions()
{
    // Running compressions carry on under their own owner and report to the run's ledger,
    // which outlives the screen (a screen's own ledger goes with it: they report to no one).
    for (const auto& c : compressingWindowControllers_) {
        if (!c || c->delegate() != this) continue;
        if (ledger_ && setup_.ledgerOutlivesScreen) {
            ledger_->adoptCompression(c);
        } else {
            c->setDelegate(nullptr);
        }
    }
    compressingWindowControllers_.clear();
}

// ---- totals ----

void TQRemovalFlow::addTotalSaved(double bytes)
{
    if (bytes == 0 || !std::isfinite(bytes)) return;
    if (ledger_) ledger_->addTotalFreed(bytes);
    noteFreed(bytes);
}

void TQRemovalFlow::noteFreed(double bytes)
{
    // A compression's saving may be below 0: the screen's figure follows the run's.
    if (bytes == 0 || !std::isfinite(bytes)) return;
    totalFreed_ += bytes;
    KZNotificationCenter::defaultCenter().post(TQNotification_EnableNextButton);
}
