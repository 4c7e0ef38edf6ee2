#include "model/TQDeletionEngine.h"

#include "model/KZTreeWalker.h"
#include "platform/KZCollections.h"
#include "platform/KZDirectoryIO.h"
#include "platform/KZDispatch.h"
#include "platform/KZFileIdentity.h"
#include "platform/KZPathString.h"
#include "platform/KZRemover.h"
#include "platform/KZTimeSlice.h"
#include "platform/KZTrash.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace {

// What the background work knows of a record.
struct Snapshot {
    std::string path;   // the record's path (a folder's ends with "/"): the key of errors
    std::string target; // the path without a final "/": what is removed (made in the background)
    bool isDirectory = false;
    bool hasIdentity = false;
    kz::FileIdentity identity; // as the record keeps it
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
    TQDeletionEngine::ReportHandler progress;
    double lastProgress = 0; // the fraction the handler was told last: the bar never goes back
    TQDeletionEngine::FinishedHandler finished;
    QPointer<const QObject> context;
    bool hasContext = false;
    bool alive() const { return !hasContext || context; }
};

// Background side of a run.
struct Work {
    std::vector<Snapshot> items; // one per record of MainSide::records
    TQDeletionEngine::Options options;
    std::vector<bool> isNested; // inside another listed folder: goes with it
    std::vector<Fate> fates;    // by item; a nested item is Deleted when it went with its folder
    uint64_t freedBytes = 0;    // what left the disk, as the remover and the Trash moves measured it
    uint64_t trashedBytes = 0;  // the part of it the Trash took
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
    double interval = 0; // seconds between reports from inside one item
    std::chrono::steady_clock::time_point lastReport{};
    std::shared_ptr<std::atomic<bool>> pending = std::make_shared<std::atomic<bool>>(false);

    double fraction(double entries, double bytes) const
    {
        if (totalEntries <= 0) return 1.0;
        const double byEntries = std::min(entries / totalEntries, 1.0);
        if (totalBytes <= 0) return byEntries;
        return 0.5 * byEntries + 0.5 * std::min(bytes / totalBytes, 1.0);
    }
    // What the items not yet done hold, as scanned, when `bytes` of them are done.
    double bytesLeft(double bytes) const { return std::max(0.0, totalBytes - bytes); }
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
        inner.size() == 1 ? text("An item inside could not be deleted (%1): %2")
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
    const int err = kz::statPath(path, kz::kFileIdentityMask | STATX_SIZE | STATX_NLINK, st);
    return err == ENOTDIR ? ENOENT : err;
}

int64_t changeTimeOf(const struct statx& st)
{
    return st.stx_ctime.tv_sec * 1'000'000'000 + int64_t(st.stx_ctime.tv_nsec);
}

bool isGone(const std::string& path)
{
    struct statx st {};
    return look(path, st) == ENOENT;
}

// What a move to the Trash will count as freed (kz::namesMovedToTrash): measured just before
// the move, counted and remembered once the item is gone from its path.
struct TrashMeasure {
    struct Linked {
        kz::ItemIdentity file;
        unsigned names;     // moved by the program, this move's included
        int64_t changeTime; // the file's status-change time after the move
    };
    uint64_t bytes = 0;
    std::vector<Linked> linked; // files with several names moving with the item
    bool single = false;        // the item is one such file (its move changes its change time)
    int itemFd = -1;            // then: the item, to read that change time after the move

    TrashMeasure() = default;
    TrashMeasure(const TrashMeasure&) = delete;
    TrashMeasure& operator=(const TrashMeasure&) = delete;
    ~TrashMeasure()
    {
        if (itemFd >= 0) ::close(itemFd);
    }

    // A file (or link) whose statx record is `st`, met with `names` of its names: its bytes
    // count when none of its names is left outside the Trash after the move.
    void add(const struct statx& st, unsigned names)
    {
        if (st.stx_nlink <= 1) {
            bytes += st.stx_size;
            return;
        }
        const kz::ItemIdentity file = kz::identityOf(st);
        const int64_t change = changeTimeOf(st);
        const unsigned inTrash = names + kz::namesMovedToTrash(file, change);
        if (inTrash >= st.stx_nlink) bytes += st.stx_size;
        linked.push_back({file, inTrash, change});
    }

    // The item went: remember the names of files with several names now in the Trash.
    void remember()
    {
        if (single) {
            struct statx st {};
            if (linked.size() != 1 || itemFd < 0 ||
                ::statx(itemFd, "", AT_EMPTY_PATH, STATX_INO | STATX_CTIME, &st) != 0 ||
                kz::identityOf(st) != linked.front().file)
                return;
            linked.front().changeTime = changeTimeOf(st);
        }
        for (const Linked& l : linked) kz::rememberNamesMovedToTrash(l.file, l.names, l.changeTime);
    }
};

// Measures the item at `path` (whose statx record is `st`) for its move to the Trash: a file
// counts its own size; a folder the sizes of the files and links inside it (folders 0), a file
// with several names once, and only when all its names are inside (or already in the Trash).
// A folder that is not the one looked at any more counts nothing.
void measureForTrash(const std::string& path, const struct statx& st, TrashMeasure& measure)
{
    if (!S_ISDIR(st.stx_mode)) {
        if (st.stx_nlink > 1) {
            // Its change time after the move (the move changes it) is read on a descriptor.
            measure.single = true;
            measure.itemFd = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        }
        measure.add(st, 1);
        return;
    }
    const int fd = kz::openDirectoryPath(path);
    if (fd < 0) return;
    struct stat opened {};
    if (::fstat(fd, &opened) == 0 && kz::identityOf(opened) == kz::identityOf(st)) {
        struct Linked {
            struct statx st;
            unsigned names = 0;
        };
        std::map<std::pair<uint64_t, uint64_t>, Linked> linked;
        kz::TreeWalkCallbacks callbacks;
        callbacks.visit = [&](const kz::WalkEntry& e) {
            if (S_ISDIR(e.st.stx_mode)) return kz::WalkAction::Continue;
            if (e.st.stx_nlink <= 1) {
                measure.bytes += e.st.stx_size;
            } else {
                Linked& l = linked[{kz::deviceOf(e.st), e.st.stx_ino}];
                l.st = e.st;
                ++l.names;
            }
            return kz::WalkAction::Continue;
        };
        kz::TreeWalkOptions options;
        options.stayOnDevice = true;
        kz::walkTreeAt(fd, path, callbacks, options);
        for (const auto& [key, l] : linked) measure.add(l.st, l.names);
    }
    ::close(fd);
}

// Deletes or trashes one record; answers its fate and, when it failed, the error. `freed`
// grows by the bytes that left: what the remover unlinked (also when the item partly
// stayed), or the size of what the Trash took, measured just before the move (`trashed`
// grows by that too).
Fate deleteOne(const Snapshot& s, const TQDeletionEngine::Options& options, KZErrorTable& errors, uint64_t& freed,
               uint64_t& trashed, const kz::RemovalProgress& progress)
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
    if (s.hasIdentity && !kz::isSameFileAtPath(s.identity, s.target, st)) return failed(changedSinceScan());
    if (S_ISDIR(st.stx_mode) && kz::isProtectedFolder(kz::identityOf(st))) return failed(protectedItem());
    if (options.mayRemove)
        if (std::optional<KZError> refused = options.mayRemove(s.target)) return failed(std::move(*refused));
    // What goes is the item looked at here: the one scanned, or (a record without identity)
    // the one found now.
    kz::FileIdentity expected = s.identity;
    if (!s.hasIdentity) {
        expected = {kz::deviceOf(st), st.stx_ino};
        if (auto birth = kz::birthTimeOf(st)) {
            expected.kind = kz::IdentityStamp::BirthTime;
            expected.stamp = *birth;
        }
    }

    std::optional<KZError> error;
    TrashMeasure measure;
    const bool toTrash = options.useTrash && !s.isNetworkItem;
    if (toTrash) {
        KZTrash& trash = options.trash ? *options.trash : KZTrash::shared();
        measureForTrash(s.target, st, measure);
        error = trash.trashItem(s.target, expected);
    } else {
        const kz::RemovalResult result = kz::removeItemAtPath(s.target, expected, progress);
        freed += result.removedBytes;
        if (!result.succeeded()) error = removalError(result, s.target);
    }
    // The truth is what is at the path now.
    if (isGone(s.target)) {
        if (toTrash) {
            freed += measure.bytes;
            trashed += measure.bytes;
            measure.remember();
        }
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
    s.hasIdentity = f.hasIdentity();
    s.identity = f.identity();
    s.isNetworkItem = f.isNetworkItem();
    const auto [records, recordBytes] = recordsAtAndBelow(f);
    s.entries = records;
    const double bytes = f.fileSize();
    s.bytes = std::isfinite(bytes) && bytes > 0 ? bytes : 0;
    s.recordsComplete = !(recordBytes < 0.99 * s.bytes);
    return s;
}

void postProgress(const std::shared_ptr<MainSide>& main, TQDeletionProgress value,
                  std::shared_ptr<std::atomic<bool>> pending = nullptr)
{
    KZRunOnMainThread([main, value, pending = std::move(pending)]() mutable {
        if (pending) pending->store(false, std::memory_order_relaxed);
        if (!main->alive() || !main->progress) return;
        main->lastProgress = std::max(main->lastProgress, std::clamp(value.fraction, 0.0, 1.0));
        value.fraction = main->lastProgress;
        main->progress(value);
    });
}

// A report of what is done: `doneBytes` of the scanned bytes, and what left the disk so far.
TQDeletionProgress report(const Progress& progress, double doneEntries, double doneBytes, uint64_t freed,
                          uint64_t trashed)
{
    return {progress.fraction(doneEntries, doneBytes), double(freed), double(trashed), progress.bytesLeft(doneBytes)};
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
        // The bytes unlinked inside the item so far have left the disk already.
        postProgress(main,
                     report(progress, progress.doneEntries + inItem * current->entries,
                            progress.doneBytes + inItem * current->bytes, work->freedBytes + bytes, work->trashedBytes),
                     progress.pending);
    };
    for (size_t c = 0;; ++c) {
        if (c >= chunks.size()) {
            postProgress(main, {1.0, double(work->freedBytes), double(work->trashedBytes), 0.0});
            break;
        }
        postProgress(main,
                     report(progress, progress.doneEntries, progress.doneBytes, work->freedBytes, work->trashedBytes));
        progress.lastReport = std::chrono::steady_clock::now();
        for (size_t i : chunks[c]) {
            current = &work->items[i];
            work->fates[i] =
                deleteOne(*current, work->options, work->errors, work->freedBytes, work->trashedBytes, inside);
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
            work->errors[s.path] =
                KZError::sizemere(KZError::StillPresent, text("The folder that holds the item could not be deleted."));
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
        result.trashedBytes = double(work->trashedBytes);
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

namespace {

// The records of a run still to be read on the main thread, and how far the reading has come.
struct Reading {
    std::shared_ptr<MainSide> main;
    std::shared_ptr<Work> work;
    KZFileList files;        // as asked, held until read
    std::vector<bool> first; // by place in `files`: the record's first occurrence there
    size_t next = 0;
};

// Reads records until the list ends or the slice's time is up; then the next slice comes a
// turn of the event loop later, and after the last one the run goes to the background. The
// reading goes on when the context goes (nothing is reported to it then, as for the run).
void readSlice(const std::shared_ptr<Reading>& reading)
{
    KZTimeSlice slice(KZTimeSlice::seconds(std::max(0.0, reading->work->options.readSliceSeconds)), 16);
    const size_t count = reading->files.size();
    while (reading->next < count) {
        const size_t i = reading->next++;
        if (!reading->first[i]) continue;
        reading->main->records.push_back(reading->files[i]);
        reading->work->items.push_back(snapshotOf(*reading->files[i]));
        if (slice.step()) break;
    }
    if (reading->next < count) {
        KZRunOnMainThread([reading] { readSlice(reading); });
        return;
    }
    KZRunInBackground([work = std::move(reading->work), main = std::move(reading->main)]() mutable {
        run(std::move(work), std::move(main));
    });
    reading->files.clear();
}

} // namespace

void TQDeletionEngine::deleteFiles(const KZFileList& files, const Options& options, ProgressHandler progressHandler,
                                   FinishedHandler finishedHandler, const QObject* context)
{
    ReportHandler reports;
    if (progressHandler)
        reports = [handler = std::move(progressHandler)](const TQDeletionProgress& p) { handler(p.fraction); };
    deleteFilesWithReports(files, options, std::move(reports), std::move(finishedHandler), context);
}

void TQDeletionEngine::deleteFilesWithReports(const KZFileList& files, const Options& options,
                                              ReportHandler reportHandler, FinishedHandler finishedHandler,
                                              const QObject* context)
{
    // The main thread only reads the records (each once), a slice at a time when the list is
    // long; everything else happens in the background, so a long list doesn't hold up the
    // window.
    auto reading = std::make_shared<Reading>();
    reading->main = std::make_shared<MainSide>();
    MainSide& main = *reading->main;
    main.progress = std::move(reportHandler);
    main.finished = std::move(finishedHandler);
    main.context = context;
    main.hasContext = context != nullptr;
    reading->work = std::make_shared<Work>();
    reading->work->options = options;
    reading->files = files;
    reading->first = kz_firstOccurrences(files);
    main.records.reserve(files.size());
    reading->work->items.reserve(files.size());
    readSlice(reading);
}
