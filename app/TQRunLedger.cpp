#include "app/TQRunLedger.h"

#include "app/TQEmptyTrashWindowController.h"
#include "kit/KZController.h"
#include "model/KZFileScanner.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZDispatch.h"
#include "platform/KZError.h"
#include "platform/KZLog.h"
#include "platform/KZTimeSlice.h"

#include <algorithm>
#include <cmath>

namespace {

bool isChildOf(const KZDirectory* parent, const KZFile* file)
{
    const auto children = parent->children();
    return std::find(children.begin(), children.end(), file) != children.end();
}

KZFilePtr childNamed(const KZDirectory* folder, const std::string& name)
{
    for (KZFile* child : folder->children())
        if (child->nameBytes() == name) return KZFilePtr(child);
    return nullptr;
}

// Everything the engine found gone: deleted, gone with a listed folder, or gone before.
KZFileList wentRecords(const TQDeletionResult& result)
{
    KZFileList went;
    went.reserve(result.deletedFiles.size() + result.nestedFiles.size() + result.vanishedFiles.size());
    for (const KZFileList* list : {&result.deletedFiles, &result.nestedFiles, &result.vanishedFiles})
        went.insert(went.end(), list->begin(), list->end());
    return went;
}

} // namespace

TQRunLedger::TQRunLedger(QObject* parent) : QObject(parent) {}

TQRunLedger::~TQRunLedger()
{
    // Compressions still running report to no one once the ledger is gone.
    for (const auto& [controller, generation] : compressions_)
        if (controller && controller->delegate() == this) controller->setDelegate(nullptr);
    for (const auto& scanner : folderScans_) scanner->cancel();
    // The last sheet hangs from the main window, which goes right after the ledger: it goes now.
    delete sheet_.release();
}

// ---- the run ----

void TQRunLedger::beginRun()
{
    ++generation_;
    root_ = nullptr;
    recording_ = false;
    recorded_ = {};
    const bool changed = totalFreed_ != 0 || totalCompressed_ != 0 || totalTrashed_ != 0 || !liveDeletions_.empty();
    totalFreed_ = 0;
    totalCompressed_ = 0;
    totalTrashed_ = 0;
    if (changed) Q_EMIT totalsChanged();
}

void TQRunLedger::beginScan()
{
    recording_ = true;
    recorded_ = {};
}

void TQRunLedger::setRootDirectory(const KZDirectoryPtr& root)
{
    const bool replaced = root != root_;
    root_ = root;
    if (recording_) {
        const Recorded recorded = std::move(recorded_);
        recorded_ = {};
        recording_ = false;
        if (replaced && root_) replayRecorded(recorded);
    }
}

void TQRunLedger::addTotalFreed(double bytes)
{
    // A compression whose archive outweighs what went counts less than nothing.
    if (bytes == 0 || !std::isfinite(bytes)) return;
    totalFreed_ += bytes;
    Q_EMIT totalsChanged();
}

void TQRunLedger::addTotalCompressed(double items)
{
    if (!(items > 0)) return;
    totalCompressed_ += items;
    Q_EMIT totalsChanged();
}

void TQRunLedger::addTotalTrashed(double bytes)
{
    if (!(bytes > 0)) return;
    totalTrashed_ += bytes;
    Q_EMIT totalsChanged();
}

// ---- the work still running ----

TQRunTotals TQRunLedger::totals() const
{
    TQRunTotals totals;
    totals.freed = totalFreed_;
    totals.inTrash = totalTrashed_;
    totals.compressed = totalCompressed_;
    // How far the running work has come: each operation weighed by the bytes it set out to remove.
    double weights = 0, done = 0;
    const auto progressed = [&](double fraction, double weight) {
        weight = std::max(weight, 1.0);
        weights += weight;
        done += weight * std::clamp(fraction, 0.0, 1.0);
    };
    for (const auto& [id, deletion] : liveDeletions_) {
        if (deletion.generation != generation_) continue;
        totals.freed += deletion.progress.freedBytes;
        totals.inTrash += deletion.progress.trashedBytes;
        if (!deletion.running) continue;
        ++totals.deleting;
        totals.goneBytes += deletion.progress.freedBytes;
        totals.leftBytes += deletion.progress.bytesLeft;
        progressed(deletion.progress.fraction, deletion.weight);
    }
    for (const auto& [controller, generation] : compressions_) {
        if (!controller || generation != generation_) continue;
        if (controller->state() == TQCompressingWindowController::State::Complete) {
            // Done, its window not yet closed: it counts as it will once reported.
            totals.freed += controller->totalSaved();
            totals.inTrash += controller->trashedBytes();
            totals.compressed += double(controller->files().size());
            continue;
        }
        if (!controller->isWorking()) continue;
        ++totals.compressing;
        totals.freed += controller->savingSoFar();
        totals.inTrash += controller->trashedBytes();
        totals.goneBytes += controller->freedBytes();
        totals.leftBytes += controller->bytesLeftToRemove();
        double size = 0;
        for (const KZFilePtr& file : controller->files()) size += file->fileSize();
        progressed(controller->workDone(), size);
    }
    totals.progress = weights > 0 ? done / weights : 1.0;
    return totals;
}

quint64 TQRunLedger::startLiveDeletion()
{
    const quint64 id = ++nextLiveDeletion_;
    liveDeletions_[id].generation = generation_;
    noteActivity();
    return id;
}

void TQRunLedger::updateLiveDeletion(quint64 id, const TQDeletionProgress& progress, bool running)
{
    const auto it = liveDeletions_.find(id);
    if (it == liveDeletions_.end()) return;
    LiveDeletion& deletion = it->second;
    // The first report tells what the run set out to remove.
    if (deletion.weight <= 0) deletion.weight = progress.freedBytes + progress.bytesLeft;
    deletion.progress = progress;
    deletion.running = running;
    noteActivity();
}

void TQRunLedger::dropLiveDeletion(quint64 id)
{
    liveDeletions_.erase(id);
    noteActivity();
}

void TQRunLedger::noteActivity()
{
    if (activityPending_) return;
    activityPending_ = true;
    KZRunOnMainThread(
        [this] {
            activityPending_ = false;
            Q_EMIT totalsChanged();
        },
        this);
}

void TQRunLedger::recordGone(const TQDeletionResult& result)
{
    if (!recording_) return;
    for (const KZFileList* list : {&result.deletedFiles, &result.nestedFiles, &result.vanishedFiles})
        for (const KZFilePtr& file : *list) recorded_.gone.push_back(file->path());
}

void TQRunLedger::replayRecorded(const Recorded& recorded)
{
    // The new tree was scanned while these went or were made: it may hold what went and miss
    // what was made. Only what the disk confirms is changed.
    bool changed = false;
    for (const std::string& path : recorded.gone) {
        const KZDirectoryPtr folder = folderAtPath(kz_stringByDeletingLastPathComponent(path));
        if (!folder) continue;
        const KZFilePtr target = childNamed(folder.get(), kz_lastPathComponent(path));
        if (!target || target->exists()) continue;
        target->removeFromParent();
        changed = true;
    }
    // A folder that only partly went while the new tree was scanned may be missing from it
    // (a scan leaves out what the program is removing): it is scanned again into it.
    for (const KZFilePtr& file : recorded.partly) {
        const KZDirectoryPtr folder = kz_asDirectory(file);
        if (folder && !folderAtPath(folder->path()) && folder->exists()) rescanInPlace(folder);
    }
    for (const std::string& path : recorded.archives) {
        const KZDirectoryPtr folder = folderAtPath(kz_stringByDeletingLastPathComponent(path));
        if (!folder || childNamed(folder.get(), kz_lastPathComponent(path))) continue;
        addArchive(path);
        changed = true;
    }
    if (changed) Q_EMIT treeChanged();
}

// ---- tree edits ----

KZDirectoryPtr TQRunLedger::directoryWithPath(const std::string& path, const KZDirectoryPtr& folder, bool enterPackages,
                                              bool* reachedPath)
{
    if (reachedPath) *reachedPath = false;
    if (!folder) return nullptr;
    const std::string folderPath = folder->path();
    if (!kz_isChildOfPath(path, folderPath)) return nullptr;
    KZDirectory* current = folder.get();
    size_t start = kz_withTrailingSlash(folderPath).size();
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string_view name(path.data() + start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        KZDirectory* next = nullptr;
        for (KZFile* child : current->children()) {
            if (child->isDirectory() && child->nameBytes() == name) {
                next = static_cast<KZDirectory*>(child);
                break;
            }
        }
        // Deeper components can't match below a folder the tree doesn't hold.
        if (!next || (!enterPackages && next->isPackage())) return KZDirectoryPtr(current);
        current = next;
    }
    if (reachedPath) *reachedPath = true;
    return KZDirectoryPtr(current);
}

KZDirectoryPtr TQRunLedger::folderAtPath(const std::string& path, bool enterPackages) const
{
    bool reached = false;
    KZDirectoryPtr folder = directoryWithPath(path, root_, enterPackages, &reached);
    return reached ? folder : nullptr;
}

bool TQRunLedger::isInTree(const KZDirectory* folder) const
{
    const KZDirectory* d = folder;
    while (d && d != root_.get()) {
        const KZDirectory* parent = d->parent();
        if (!parent || !isChildOf(parent, d)) return false;
        d = parent;
    }
    return d && d == root_.get();
}

bool TQRunLedger::removeGoneRecord(const KZFilePtr& file, bool keepSizeInParent, bool knownGone)
{
    if (!file || (!knownGone && file->exists())) return false;
    KZFilePtr target = file;
    KZDirectory* parent = file->parent();
    if (!(parent && isInTree(parent) && isChildOf(parent, file.get()))) {
        // The record is out of the held tree (queued, its folder scanned again, or a record of
        // an earlier tree): what stands at its path now goes instead, if its item is gone too.
        const std::string path = file->path();
        const KZDirectoryPtr folder = folderAtPath(kz_stringByDeletingLastPathComponent(path));
        if (!folder) return false;
        target = childNamed(folder.get(), kz_lastPathComponent(path));
        if (!target || (target != file && target->exists())) return false;
    }
    if (keepSizeInParent) {
        target->removeFromParent();
    } else {
        target->deleteFromParent();
    }
    return true;
}

void TQRunLedger::addArchive(const std::string& destinationPath)
{
    const KZDirectoryPtr folder = folderAtPath(kz_stringByDeletingLastPathComponent(destinationPath));
    if (!folder || childNamed(folder.get(), kz_lastPathComponent(destinationPath))) return;
    if (KZFilePtr archive = KZFile::fileWithPath(destinationPath, true); archive && archive->exists())
        folder->addChild(archive.get());
}

// ---- folders that only partly went ----

KZFileList TQRunLedger::partlyRemovedFolders(const KZFileList& requested, const TQDeletionResult& result, bool useTrash)
{
    KZFileList folders;
    if (!result.errors) return folders;
    for (const KZFilePtr& file : requested) {
        // A move to the Trash takes a folder whole or not at all; only the remover leaves part.
        if (!file->isDirectory() || (useTrash && !file->isNetworkItem())) continue;
        const auto it = result.errors->find(file->path());
        if (it == result.errors->end()) continue;
        // Refused before anything was touched: the folder is as it was scanned.
        const KZError& error = it->second;
        if (error.domain() == KZError::SizemereDomain &&
            (error.code() == KZError::ChangedSinceScan || error.code() == KZError::ProtectedItem ||
             error.code() == KZError::InTrash))
            continue;
        if (file->exists()) folders.push_back(file);
    }
    return folders;
}

void TQRunLedger::rescanInPlace(const KZDirectoryPtr& folder)
{
    if (recording_) recorded_.partly.push_back(folder);
    const Preferences& preferences = Preferences::sharedPreferences();
    std::shared_ptr<KZFileScanner> scanner =
        KZFileScanner::scannerWithPaths({folder->path()}, preferences.minFileSize());
    scanner->setIgnoredPaths(preferences.ignoredPaths());
    scanner->setIgnoredExtensions(preferences.ignoreList());
    scanner->setOwner(this);
    KZFileScanner* raw = scanner.get();
    scanner->setCompletionBlock([this, folder, raw](const KZFileList& files) { folderScanned(folder, raw, &files); });
    scanner->setFailureBlock([this, folder, raw](const QString&) { folderScanned(folder, raw, nullptr); });
    scanner->setCancelledBlock([this, folder, raw] { folderScanned(folder, raw, nullptr); });
    folderScans_.push_back(scanner);
    scanner->start();
}

void TQRunLedger::folderScanned(const KZDirectoryPtr& folder, KZFileScanner* scanner, const KZFileList* files)
{
    const auto it = std::find_if(folderScans_.begin(), folderScans_.end(),
                                 [scanner](const std::shared_ptr<KZFileScanner>& s) { return s.get() == scanner; });
    if (it != folderScans_.end()) {
        // The scanner is running the block that called us; it goes on a later turn.
        KZRunOnMainThread([s = std::move(*it)] {});
        folderScans_.erase(it);
    }
    const KZDirectoryPtr fresh = files && !files->empty() ? kz_asDirectory(files->front()) : nullptr;
    if (!fresh) return;
    const KZDirectoryPtr record = recordInHeldTree(folder);
    if (!record) {
        // The tree was scanned again while the folder was being removed, and has none: the
        // folder joins it as it is now.
        const KZDirectoryPtr holder = folderAtPath(kz_stringByDeletingLastPathComponent(folder->path()));
        if (!holder || childNamed(holder.get(), folder->nameBytes())) return;
        fresh->setIsHidden(folder->isHidden());
        fresh->setIsSystemFile(folder->isSystemFile());
        holder->addChild(fresh.get());
        // The folders above were measured without it.
        holder->moveTotalsBy(fresh->fileSize());
        Q_EMIT treeChanged();
        return;
    }
    // The record stays (the tree, the queue and the screens name it); its contents and its
    // total become what is on disk now. The folders above keep counting what went, as after
    // any deletion.
    KZFileList children;
    children.reserve(fresh->childCount());
    for (KZFile* child : fresh->children()) children.emplace_back(child);
    fresh->removeAllChildren();
    record->removeAllChildren();
    for (const KZFilePtr& child : children) record->addChild(child.get());
    record->setRemovedFileSizes(0);
    record->setIgnoredSize(fresh->ignoredSize());
    record->setFileSize(fresh->fileSize());
    Q_EMIT treeChanged();
}

KZDirectoryPtr TQRunLedger::recordInHeldTree(const KZDirectoryPtr& folder) const
{
    // A record out of the held tree only below the folder it came from (queued) is the one
    // the queue names; a record whose folder has left the tree, or has gone, is of an earlier
    // tree.
    const KZDirectory* parent = folder->parent();
    if (folder == root_ || isInTree(folder.get()) || (parent && isInTree(parent))) return folder;
    const KZDirectoryPtr holder = folderAtPath(kz_stringByDeletingLastPathComponent(folder->path()));
    return holder ? kz_asDirectory(childNamed(holder.get(), folder->nameBytes())) : nullptr;
}

// ---- the confirmed delete ----

void TQRunLedger::deleteFiles(const KZFileList& files, const TQDeletionEngine::Options& options, const QObject* screen,
                              DeletionReport report, DeletionReport orphanReport)
{
    ++runningDeletions_;
    const quint64 generation = generation_;
    QPointer<const QObject> guard(screen);
    const bool useTrash = options.useTrash;
    // What has gone counts in the run's figures as it goes.
    const quint64 live = startLiveDeletion();
    TQDeletionEngine::deleteFilesWithReports(
        files, options, [this, live](const TQDeletionProgress& progress) { updateLiveDeletion(live, progress, true); },
        [this, generation, guard, files, useTrash, live, report = std::move(report),
         orphanReport = std::move(orphanReport)](const TQDeletionResult& result) {
            runningDeletions_ = std::max(0, runningDeletions_ - 1);
            dropLiveDeletion(live);
            recordGone(result);
            // Only what is gone leaves the tree; the folders keep counting the removed sizes.
            for (const KZFileList* list : {&result.deletedFiles, &result.nestedFiles, &result.vanishedFiles})
                for (const KZFilePtr& file : *list) removeGoneRecord(file, true, true);
            for (const KZFilePtr& folder : partlyRemovedFolders(files, result, useTrash))
                rescanInPlace(kz_asDirectory(folder));
            if (generation == generation_) {
                addTotalFreed(result.freedBytes);
                addTotalTrashed(result.trashedBytes);
            }
            Q_EMIT treeChanged();
            if (guard) {
                if (report) report(result);
            } else if (orphanReport) {
                orphanReport(result);
            }
        },
        this);
}

// ---- emptying the queue ----

TQEmptyTrashWindowController* TQRunLedger::emptyQueue(QWidget* window, const QObject* screen, RecordBlock taken,
                                                      DeletionReport ended, Block afterwards)
{
    if (emptying_ || TQEmptyTrashWindowController::isAnySheetRunning()) return nullptr;
    // The sheet belongs to the ledger: its report arrives even when the screen has gone.
    KZOwnedObject<TQEmptyTrashWindowController> sheet(controller<TQEmptyTrashWindowController>().release());
    const quint64 generation = generation_;
    // The folders asked for, to scan again those that only partly go.
    KZFileList requested;
    for (const KZFilePtr& file : TQDeleteQueue::sharedInstance().queue())
        if (file->isDirectory()) requested.push_back(file);
    const bool useTrash = Preferences::sharedPreferences().useTrash();
    auto followUp = std::make_shared<const EmptyingFollowUp>(
        EmptyingFollowUp{QPointer<const QObject>(screen), std::move(taken), std::move(ended), std::move(afterwards)});
    // What goes counts in the run's figures as it goes, until the sheet hands over its result.
    const quint64 live = startLiveDeletion();
    sheet->setProgressBlock([this, live](const TQDeletionProgress& progress, bool running) {
        updateLiveDeletion(live, progress, running);
    });
    sheet->setCompletionBlock([this, generation, requested, useTrash, followUp, live](const TQDeletionResult& result) {
        dropLiveDeletion(live);
        emptyingReported(generation, requested, useTrash, followUp, result);
    });
    emptying_ = true;
    if (!sheet->beginSheetForWindow(window)) {
        emptying_ = false;
        dropLiveDeletion(live);
        return nullptr; // released on a later turn
    }
    // The sheet before goes on a later turn (this may run inside its own report).
    sheet_ = std::move(sheet);
    return sheet_.get();
}

void TQRunLedger::emptyingReported(quint64 generation, const KZFileList& requested, bool useTrash,
                                   std::shared_ptr<const EmptyingFollowUp> followUp, const TQDeletionResult& result)
{
    recordGone(result);
    if (generation == generation_) {
        addTotalFreed(result.freedBytes);
        addTotalTrashed(result.trashedBytes);
    }
    for (const KZFilePtr& folder : partlyRemovedFolders(requested, result, useTrash))
        rescanInPlace(kz_asDirectory(folder));
    auto went = std::make_shared<const KZFileList>(wentRecords(result));
    // A long queue leaves the tree a slice at a time, so the window keeps answering.
    takeOutEmptied(std::move(went), 0, std::make_shared<const TQDeletionResult>(result), std::move(followUp));
}

void TQRunLedger::takeOutEmptied(std::shared_ptr<const KZFileList> went, size_t from,
                                 std::shared_ptr<const TQDeletionResult> result,
                                 std::shared_ptr<const EmptyingFollowUp> followUp)
{
    // A slice ends after emptyingSlice_ records, or sooner when its time is up.
    const size_t last = std::min(went->size(), from + emptyingSlice_);
    KZTimeSlice slice(kEmptyingSliceTime, 64);
    const bool tell = followUp->screen && followUp->taken;
    size_t end = from;
    while (end < last) {
        // The engine's result lists only records it found gone: they are not looked up on disk
        // again here, on the main thread.
        removeGoneRecord((*went)[end], false, true);
        if (tell) followUp->taken((*went)[end]);
        ++end;
        if (slice.step()) break;
    }
    if (end < went->size()) {
        if (!takingOut_) {
            takingOut_ = true;
            Q_EMIT takingOutRecordsChanged(true);
        }
        KZRunOnMainThread(
            [this, went = std::move(went), end, result = std::move(result), followUp = std::move(followUp)]() mutable {
                takeOutEmptied(std::move(went), end, std::move(result), std::move(followUp));
            },
            this);
        return;
    }
    emptying_ = false;
    if (takingOut_) {
        takingOut_ = false;
        Q_EMIT takingOutRecordsChanged(false);
    }
    Q_EMIT treeChanged();
    if (followUp->screen && followUp->ended) followUp->ended(*result);
    // What follows (the finished screen, or the end) takes a turn of its own, so a long
    // emptying and the next screen's set-up don't hold up the window in one go.
    if (followUp->afterwards) KZRunOnMainThread(followUp->afterwards, this);
}

// ---- compressions ----

void TQRunLedger::compressionStarted(TQCompressingWindowController* controller)
{
    if (!controller) return;
    std::erase_if(compressions_, [](const auto& entry) { return entry.first.isNull(); });
    compressions_.emplace_back(controller, generation_);
    // Its progress, and its saving once complete, count in the run's figures before it reports.
    connect(controller, &TQCompressingWindowController::activityChanged, this, &TQRunLedger::noteActivity,
            Qt::UniqueConnection);
    noteActivity();
}

void TQRunLedger::adoptCompression(TQCompressingWindowController* controller)
{
    if (!controller) return;
    const bool known = std::any_of(compressions_.begin(), compressions_.end(),
                                   [controller](const auto& entry) { return entry.first == controller; });
    if (!known) {
        compressions_.emplace_back(controller, generation_);
        connect(controller, &TQCompressingWindowController::activityChanged, this, &TQRunLedger::noteActivity,
                Qt::UniqueConnection);
    }
    controller->setDelegate(this);
}

std::vector<TQCompressingWindowController*> TQRunLedger::runningCompressions() const
{
    std::vector<TQCompressingWindowController*> running;
    for (const auto& [controller, generation] : compressions_)
        if (controller) running.push_back(controller.data());
    return running;
}

bool TQRunLedger::applyCompression(TQCompressingWindowController* controller, const std::string& destinationPath,
                                   double totalSaved, bool /*originalDeleted*/, bool wasCancelled)
{
    if (!controller) return false;
    const auto it = std::find_if(compressions_.begin(), compressions_.end(),
                                 [controller](const auto& entry) { return entry.first == controller; });
    const bool ofThisRun = it != compressions_.end() && it->second == generation_;
    if (it != compressions_.end()) compressions_.erase(it);
    disconnect(controller, &TQCompressingWindowController::activityChanged, this, &TQRunLedger::noteActivity);
    noteActivity();
    if (wasCancelled) return false;

    if (recording_) {
        recorded_.archives.push_back(destinationPath);
        for (const KZFilePtr& file : controller->removedFiles()) recorded_.gone.push_back(file->path());
    }
    // The archive joins its folder when that folder is in the tree (and has no record of
    // that name yet, say from a rescan).
    addArchive(destinationPath);
    // Only what is gone from the disk leaves the tree.
    for (const KZFilePtr& file : controller->removedFiles()) removeGoneRecord(file, false);
    if (ofThisRun) {
        addTotalCompressed(double(controller->files().size()));
        // What the removal freed on disk less the archive, also when only some originals went.
        addTotalFreed(totalSaved);
        addTotalTrashed(controller->trashedBytes());
    }
    Q_EMIT treeChanged();
    return ofThisRun;
}

void TQRunLedger::compressingDidFinishForController(TQCompressingWindowController* controller,
                                                    const std::string& destinationPath, double totalSaved,
                                                    bool originalDeleted, bool wasCancelled)
{
    if (!controller) return;
    if (controller->delegate() == this) controller->setDelegate(nullptr);
    applyCompression(controller, destinationPath, totalSaved, originalDeleted, wasCancelled);
}
