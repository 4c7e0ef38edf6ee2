#include "model/TQDeletionEngine.h"

#include "model/KZTreeWalker.h"
#include "platform/KZCollections.h"
#include "platform/KZDirectoryIO.h"
#include "platform/KZDispatch.h"
#include "platform/KZPathString.h"
#include "platform/KZRemover.h"
#include "platform/KZTrash.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unordered_set>

namespace {

// What the background work knows of a record.
struct Snapshot {
    std::string path;   // the record's path (a folder's ends with "/"): the key of errors
    std::string target; // the path without a final "/": what is removed (made in the background)
    bool isDirectory = false;
    bool hasIdentity = false;
    uint64_t device = 0; // as the record keeps it
    uint64_t inode = 0;
    bool isNetworkItem = false;
    // The work the record stands for, as the scanned tree knows it: its records (itself and
    // every record below it) and its bytes; whether those records are all that is there (no
    // small files the scan kept only the bytes of, no package measured without records).
    double entries = 1;
    double bytes = 0;
    bool recordsComplete = true;
};

enum class Fate { Deleted, Vanished, Failed };

// Main-thread side of a run: the records and the handlers. Created and released on the
// main thread only.
struct MainSide {
    KZFileList records; // the records asked for, each once, in order
    TQDeletionEngine::ProgressHandler progress;
    double lastProgress = 0; // what the handler was told last: the bar never goes back
    TQDeletionEngine::FinishedHandler finished;
    QPointer<const QObject> context;
    bool hasContext = false;
    bool alive() const { return !hasContext || context; }
};

// Background side of a run.
struct Work {
    std::vector<Snapshot> items; // one per record of MainSide::records
    TQDeletionEngine::Options options;
    std::vector<bool> isNested;  // inside another listed folder: goes with it
    std::vector<Fate> fates;     // by item; a nested item is Deleted when it went with its folder
    uint64_t freedBytes = 0; // what left the disk, as the remover and the Trash moves measured it
    KZErrorTable errors;
};

// How far a run has come, as a fraction of the work of the items it deletes: half by the
// records they hold, half by their bytes (by the records alone when they hold no bytes), so
// that a long removal inside one folder moves the bar as its files go. Background side; only
// `pending` is shared with the main thread.
struct Progress {
    double totalEntries = 0;
    double totalBytes = 0;
    double doneEntries = 0; // of the items finished
    double doneBytes = 0;
    double interval = 0;    // seconds between reports from inside one item
    std::chrono::steady_clock::time_point lastReport{};
    std::shared_ptr<std::atomic<bool>> pending = std::make_shared<std::atomic<bool>>(false);

    double fraction(double entries, double bytes) const
    {
        if (totalEntries <= 0) return 1.0;
        const double byEntries = std::min(entries / totalEntries, 1.0);
        if (totalBytes <= 0) return byEntries;
        return 0.5 * byEntries + 0.5 * std::min(bytes / totalBytes, 1.0);
    }
};

// For each path (a folder's ends with "/"), whether a folder above it is among the paths.
std::vector<bool> nestedInListedFolders(const std::vector<const std::string*>& paths)
{
    std::unordered_set<std::string_view> folders;
    for (const std::string* p : paths)
        if (!p->empty() && p->back() == '/') folders.insert(*p);
    std::vector<bool> nested(paths.size(), false);
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string_view p = kz::withoutTrailingSlash(*paths[i]);
        size_t slash = p.size() > 1 ? p.rfind('/') : std::string_view::npos;
        while (slash != std::string_view::npos) {
            if (folders.count(p.substr(0, slash + 1))) {
                nested[i] = true;
                break;
            }
            if (slash == 0) break;
            slash = p.rfind('/', slash - 1);
        }
    }
    return nested;
}

QString text(const char* source)
{
    return QCoreApplication::translate("TQDeletionEngine", source);
}

KZError changedSinceScan()
{
    return KZError::sizemere(KZError::ChangedSinceScan, text("The item was changed since the scan."));
}

KZError protectedItem()
{
    return KZError::sizemere(KZError::ProtectedItem,
                             text("Home folders and the folders that hold them are never deleted."));
}

KZError removalError(const kz::RemovalResult& result, const std::string& target)
{
    if (result.error == ESTALE) return changedSinceScan();
    std::vector<kz::RemovalFailure> inner;
    for (const auto& f : result.failures)
        if (f.path != target) inner.push_back(f);
    if (inner.empty()) return KZError::posix(result.error, text("Could not delete the item"));
    const auto& first = inner.front();
    const QString description =
        inner.size() == 1
            ? text("An item inside could not be deleted (%1): %2")
                  .arg(kz::displayString(first.path), QString::fromLocal8Bit(std::strerror(first.error)))
            : text("%1 items inside could not be deleted; the first (%2): %3")
                  .arg(inner.size())
                  .arg(kz::displayString(first.path), QString::fromLocal8Bit(std::strerror(first.error)));
    return {KZError::POSIXDomain, first.error, description};
}

// lstat, for a path of any length: 0 when something is at the path, else the errno value
// (ENOENT when nothing is there).
int look(const std::string& path, struct statx& st)
{
    const int err = kz::statPath(path, STATX_TYPE | STATX_INO | STATX_SIZE, st);
    return err == ENOTDIR ? ENOENT : err;
}

bool isGone(const std::string& path)
{
    struct statx st {};
    return look(path, st) == ENOENT;
}

// The logical size of everything in the folder with this identity (files and links their
// own size, folders 0), on descriptors; 0 when it is not that folder any more.
uint64_t deepSizeOfFolder(const std::string& path, const kz::ItemIdentity& identity)
{
    const int fd = kz::openDirectoryPath(path);
    if (fd < 0) return 0;
    uint64_t total = 0;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && kz::identityOf(st) == identity) {
        kz::TreeWalkCallbacks callbacks;
        callbacks.visit = [&](const kz::WalkEntry& e) {
            if (!S_ISDIR(e.st.stx_mode)) total += e.st.stx_size;
            return kz::WalkAction::Continue;
        };
        kz::TreeWalkOptions options;
        options.stayOnDevice = true;
        kz::walkTreeAt(fd, path, callbacks, options);
    }
    ::close(fd);
    return total;
}

// Deletes or trashes one record; answers its fate and, when it failed, the error. `freed`
// grows by the bytes that left: what the remover unlinked (also when the item partly
// stayed), or the size of what the Trash took, measured just before the move.
Fate deleteOne(const Snapshot& s, const TQDeletionEngine::Options& options, KZErrorTable& errors, uint64_t& freed,
               const kz::RemovalProgress& progress)
{
    auto failed = [&](KZError error) {
        errors[s.path] = std::move(error);
        return Fate::Failed;
    };
    if (int err = kz::checkRemovablePath(s.target))
        return failed(err == EPERM ? protectedItem() : KZError::posix(err, text("Could not delete the item")));
    struct statx st {};
    if (int err = look(s.target, st)) {
        if (err == ENOENT) return Fate::Vanished;
        return failed(KZError::posix(err, text("Could not delete the item")));
    }
    const kz::ItemIdentity live = kz::identityOf(st);
    if (s.hasIdentity && (KZFile::recordedDevice(live.device) != s.device || live.inode != s.inode))
        return failed(changedSinceScan());
    if (S_ISDIR(st.stx_mode) && kz::isProtectedFolder(live)) return failed(protectedItem());

    std::optional<KZError> error;
    uint64_t moved = 0;
    if (options.useTrash && !s.isNetworkItem) {
        KZTrash& trash = options.trash ? *options.trash : KZTrash::shared();
        const uint64_t size = S_ISDIR(st.stx_mode) ? deepSizeOfFolder(s.target, live) : st.stx_size;
        error = trash.trashItem(s.target, live);
        if (!error) moved = size;
    } else {
        const kz::RemovalResult result = kz::removeItemAtPath(s.target, live, progress);
        freed += result.removedBytes;
        if (!result.succeeded()) error = removalError(result, s.target);
    }
    // The truth is what is at the path now.
    if (isGone(s.target)) {
        freed += moved;
        return Fate::Deleted;
    }
    if (!error) error = KZError::sizemere(KZError::StillPresent, text("The item is still there after deleting it."));
    return failed(*error);
}

// The records in the item's subtree, itself included, and the bytes of its file records.
std::pair<double, double> recordsAtAndBelow(const KZFile& f)
{
    const KZDirectory* top = kz_asDirectory(&f);
    if (!top) return {1, f.fileSize()};
    double count = 1, bytes = 0;
    std::vector<const KZDirectory*> stack{top};
    while (!stack.empty()) {
        const KZDirectory* d = stack.back();
        stack.pop_back();
        count += double(d->childCount());
        for (const KZFile* child : d->children()) {
            if (const KZDirectory* sub = kz_asDirectory(child)) {
                if (sub->childCount()) stack.push_back(sub);
            } else {
                bytes += child->fileSize();
            }
        }
    }
    return {count, bytes};
}

Snapshot snapshotOf(const KZFile& f)
{
    Snapshot s;
    s.path = f.path();
    s.isDirectory = f.isDirectory();
    s.hasIdentity = f.hasDeviceAndInode();
    s.device = f.device();
    s.inode = f.inode();
    s.isNetworkItem = f.isNetworkItem();
    const auto [records, recordBytes] = recordsAtAndBelow(f);
    s.entries = records;
    const double bytes = f.fileSize();
    s.bytes = std::isfinite(bytes) && bytes > 0 ? bytes : 0;
    s.recordsComplete = !(recordBytes < 0.99 * s.bytes);
    return s;
}

void postProgress(const std::shared_ptr<MainSide>& main, double value,
                  std::shared_ptr<std::atomic<bool>> pending = nullptr)
{
    KZRunOnMainThread([main, value, pending = std::move(pending)] {
        if (pending) pending->store(false, std::memory_order_relaxed);
        if (!main->alive() || !main->progress) return;
        main->lastProgress = std::max(main->lastProgress, std::clamp(value, 0.0, 1.0));
        main->progress(main->lastProgress);
    });
}

void run(std::shared_ptr<Work> work, std::shared_ptr<MainSide> main)
{
    const size_t count = work->items.size();
    for (Snapshot& s : work->items) s.target = kz::pathWithoutTrailingSlash(s.path);
    {
        std::vector<const std::string*> paths;
        paths.reserve(count);
        for (const Snapshot& s : work->items) paths.push_back(&s.path);
        work->isNested = nestedInListedFolders(paths);
    }
    work->fates.assign(count, Fate::Failed);
    // Items already gone are set aside; the rest are deleted in chunks. Records inside listed
    // folders go with them.
    std::vector<size_t> toDelete;
    toDelete.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        if (work->isNested[i]) continue;
        if (isGone(work->items[i].target)) {
            work->fates[i] = Fate::Vanished;
        } else {
            toDelete.push_back(i);
        }
    }
    const size_t chunk = std::max<size_t>(1, work->options.chunkSize);
    const auto chunks = kz::chunkyArray(toDelete, chunk);
    Progress progress;
    progress.interval = std::max(0.0, work->options.progressInterval);
    for (size_t i : toDelete) {
        progress.totalEntries += work->items[i].entries;
        progress.totalBytes += work->items[i].bytes;
    }
    // Reports from inside one item: at most one on its way to the main thread, and not more
    // often than the interval.
    const Snapshot* current = nullptr;
    const kz::RemovalProgress inside = [&](uint64_t entries, uint64_t bytes) {
        const auto now = std::chrono::steady_clock::now();
        if (progress.pending->load(std::memory_order_relaxed) ||
            std::chrono::duration<double>(now - progress.lastReport).count() < progress.interval)
            return;
        progress.lastReport = now;
        progress.pending->store(true, std::memory_order_relaxed);
        // How far into the item: by its files and bytes when its records are all there, else
        // by its bytes alone (a count of records would run out long before its files do).
        const double byEntries = std::min(double(entries) / current->entries, 1.0);
        const double byBytes = current->bytes > 0 ? std::min(double(bytes) / current->bytes, 1.0) : byEntries;
        const double inItem = current->recordsComplete ? 0.5 * byEntries + 0.5 * byBytes : byBytes;
        postProgress(main,
                     progress.fraction(progress.doneEntries + inItem * current->entries,
                                       progress.doneBytes + inItem * current->bytes),
                     progress.pending);
    };
    for (size_t c = 0;; ++c) {
        if (c >= chunks.size()) {
            postProgress(main, 1.0);
            break;
        }
        postProgress(main, progress.fraction(progress.doneEntries, progress.doneBytes));
        progress.lastReport = std::chrono::steady_clock::now();
        for (size_t i : chunks[c]) {
            current = &work->items[i];
            work->fates[i] = deleteOne(*current, work->options, work->errors, work->freedBytes, inside);
            progress.doneEntries += current->entries;
            progress.doneBytes += current->bytes;
        }
    }
    // Records inside listed folders went with them, or are still there with their folder.
    for (size_t i = 0; i < count; ++i) {
        if (!work->isNested[i]) continue;
        const Snapshot& s = work->items[i];
        if (isGone(s.target)) {
            work->fates[i] = Fate::Deleted;
        } else if (!work->errors.count(s.path)) {
            work->errors[s.path] = KZError::sizemere(KZError::StillPresent,
                                                     text("The folder that holds the item could not be deleted."));
        }
    }
    KZRunOnMainThread([work = std::move(work), main = std::move(main)]() mutable {
        if (!main->alive() || !main->finished) return;
        TQDeletionResult result;
        for (size_t i = 0; i < main->records.size(); ++i) {
            const Fate fate = work->fates[i];
            if (work->isNested[i]) {
                if (fate == Fate::Deleted) result.nestedFiles.push_back(main->records[i]);
            } else if (fate == Fate::Deleted) {
                result.deletedFiles.push_back(main->records[i]);
            } else if (fate == Fate::Vanished) {
                result.vanishedFiles.push_back(main->records[i]);
            }
        }
        result.freedBytes = double(work->freedBytes);
        if (!work->errors.empty()) result.errors = std::move(work->errors);
        // The snapshots of a long run take a while to free: not on the main thread.
        KZRunInBackground([w = std::move(work)] {});
        const auto finished = main->finished;
        finished(result);
    });
}

} // namespace

KZFileList TQDeletionEngine::filesWithChildrenRemovedWithFiles(const KZFileList& files)
{
    KZFileList unique;
    const std::vector<bool> first = kz_firstOccurrences(files);
    for (size_t i = 0; i < files.size(); ++i)
        if (first[i]) unique.push_back(files[i]);
    std::vector<std::string> paths;
    paths.reserve(unique.size());
    for (const KZFilePtr& f : unique) paths.push_back(f->path());
    std::vector<const std::string*> pointers;
    for (const std::string& p : paths) pointers.push_back(&p);
    const std::vector<bool> nested = nestedInListedFolders(pointers);
    KZFileList out;
    for (size_t i = 0; i < unique.size(); ++i)
        if (!nested[i]) out.push_back(unique[i]);
    return out;
}

void TQDeletionEngine::deleteFiles(const KZFileList& files, const Options& options, ProgressHandler progressHandler,
                                   FinishedHandler finishedHandler, const QObject* context)
{
    // The main thread only reads the records (each once); everything else happens in the
    // background, so a long list doesn't hold up the window.
    auto main = std::make_shared<MainSide>();
    main->progress = std::move(progressHandler);
    main->finished = std::move(finishedHandler);
    main->context = context;
    main->hasContext = context != nullptr;
    auto work = std::make_shared<Work>();
    work->options = options;
    const std::vector<bool> first = kz_firstOccurrences(files);
    main->records.reserve(files.size());
    work->items.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (!first[i]) continue;
        main->records.push_back(files[i]);
        work->items.push_back(snapshotOf(*files[i]));
    }
    KZRunInBackground([work = std::move(work), main = std::move(main)]() mutable {
        run(std::move(work), std::move(main));
    });
}
