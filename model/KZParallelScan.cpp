#include "model/KZParallelScan.h"

#include "model/KZIgnoreList.h"
#include "model/KZTreeWalker.h"
#include "platform/KZDispatch.h"
#include "platform/KZFileFaults.h"
#include "platform/KZLog.h"
#include "platform/KZMountTable.h"
#include "platform/KZPackages.h"
#include "platform/KZPathString.h"
#include "platform/KZReadAccess.h"
#include "platform/KZRemovalRegistry.h"
#include "platform/KZRemover.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

constexpr unsigned kStatMask = STATX_MODE | STATX_UID | STATX_GID | STATX_SIZE | STATX_MTIME | kz::kFileIdentityMask;
constexpr int kStatFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
// Counters reach the shared totals at least this often within one large folder.
constexpr size_t kFlushEvery = 4096;
constexpr unsigned kMaxThreads = 16;
// A folder whose names take at least two slices of this size is looked at by every idle
// worker, a slice at a time (about 2,000 names each).
constexpr size_t kSliceBytes = 32768;

// True when the folder with this identity is `dir` or one of its ancestors: entering it would
// walk in a circle (a bind mount of an ancestor below itself).
bool isOnAncestorChain(const KZDirectory* dir, uint64_t device, uint64_t inode)
{
    for (const KZDirectory* d = dir; d; d = d->parent())
        if (d->hasDeviceAndInode() && d->inode() == inode && d->device() == device) return true;
    return false;
}

// The open folder is still the one that was looked at (not replaced in between).
bool isSameFolder(int fd, uint64_t device, uint64_t inode)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_ino == inode && kz::deviceOf(st) == device;
}

void logError(const std::string& path, int error)
{
    KZDebugLog(QStringLiteral("Got an error while scanning: %1: %2")
                   .arg(kz::displayString(path), QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace

struct KZParallelScan::Task {
    KZDirectory* dir = nullptr; // held by the tree
    int fd = -1;                // open descriptor of the folder, or -1 to open it by path
    bool budgeted = false;      // fd counts against the descriptor budget
    KZFolderIgnoreRules::Ptr rules;
    uint64_t device = 0; // the folder's device
};

struct KZParallelScan::Worker {
    struct Entry {
        uint32_t offset; // of the name in `names`
        uint32_t length;
        uint16_t mode;
        bool system;
        bool mountRoot;
        bool mountRootKnown;
        kz::IdentityStamp stampKind;
        uint64_t size;
        uint64_t inode;
        uint64_t device;
        int64_t stamp; // the identity's
        int64_t modification;
    };
    std::vector<char> names;
    std::vector<Entry> entries;
    std::vector<Task> children;
    std::string scratch;
    // Whether the records of items on this device may settle readability (see isReadable).
    uint64_t rulesDevice = 0;
    bool rulesKnown = false;
    bool commonRules = false;
    int64_t items = 0;
    uint64_t bytes = 0;
    const KZFile* latest = nullptr;
    // The items the program was removing when this worker last asked, and when that was.
    std::vector<kz::ItemIdentity> removing;
    uint64_t removingGeneration = 0;
};

// What a reading pass over a folder's names needs.
struct KZParallelScan::Look {
    const Task* task = nullptr;
    int fd = -1;
    const char* names = nullptr; // the folder's names; entries count their offsets from here
    std::string base;            // the folder's path, for the readability seam and the fault layer
    bool recordMaySettle = false;
};

// The reading pass of a large folder, cut into slices of whole names that any idle worker may
// take. Each slice writes its entries into its own stretch of the reader's w.entries (as many
// places as it has names); the reader takes slices too, waits for the others' to end, and
// closes the gaps.
struct KZParallelScan::SharedLook {
    struct Slice {
        size_t from = 0, to = 0; // offsets into look.names
        size_t at = 0;           // its first place in `entries`
        size_t count = 0;        // entries it wrote
        double ignored = 0;      // bytes of its files below the minimum
    };
    // Appends to a slice's stretch (the reading pass's output).
    struct Out {
        Worker::Entry* at;
        size_t& count;
        void push_back(const Worker::Entry& e) { at[count++] = e; }
    };
    Look look;
    std::vector<Slice> slices;
    Worker::Entry* entries = nullptr;
    std::atomic<size_t> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    size_t done = 0; // slices looked at, under mutex
};

struct KZParallelScan::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<Task> tasks;                        // a stack: the newest folder first keeps descriptors few
    std::vector<std::shared_ptr<SharedLook>> looks; // large folders' passes that want help
    size_t pending = 0;                             // tasks queued or being read
    std::atomic<int> descriptors{0};
    int descriptorBudget = 256;
    KZMountTable mounts;
    kz::ReadAccessShortcut access;
    std::vector<std::pair<uint64_t, uint64_t>> aboveRoot; // the root and every folder above it
    std::mutex pruneMutex;
    std::vector<KZDirectory*> prune; // folders that are packages by extension, outermost only

    bool reserveDescriptor()
    {
        if (descriptors.fetch_add(1, std::memory_order_relaxed) < descriptorBudget) return true;
        descriptors.fetch_sub(1, std::memory_order_relaxed);
        return false;
    }
    void releaseDescriptor() { descriptors.fetch_sub(1, std::memory_order_relaxed); }

    bool isAboveRoot(uint64_t device, uint64_t inode) const
    {
        return std::find(aboveRoot.begin(), aboveRoot.end(), std::make_pair(device, inode)) != aboveRoot.end();
    }
};

KZParallelScan::KZParallelScan(const KZIgnoreList& ignoreList, Options options, const std::atomic<bool>& cancelled)
    : ignoreList_(ignoreList), options_(std::move(options)), cancelled_(cancelled), state_(std::make_unique<State>())
{
}

KZParallelScan::~KZParallelScan() = default;

void KZParallelScan::flush(Worker& w)
{
    if (w.items) items_.fetch_add(w.items, std::memory_order_relaxed);
    if (w.bytes) bytes_.fetch_add(w.bytes, std::memory_order_relaxed);
    w.items = 0;
    w.bytes = 0;
    if (w.latest) lastRecord_.store(w.latest, std::memory_order_relaxed);
    if (options_.progress) options_.progress(w.latest);
}

// Opens the folder chosen as the root. A link chosen as the root (also written "link/") is
// followed once, to the folder it names, whose own path the tree then holds; links below the
// root are never followed. -1 with `error` set when it can't be opened.
int KZParallelScan::openRoot(const std::string& path, int& error)
{
    rootPath_ = kz::pathWithoutTrailingSlash(path);
    if ((error = kz::fileFault(kz::FileOperation::Read, rootPath_))) return -1;
    int fd = kz::openDirectoryPath(rootPath_);
    if (fd >= 0) return fd;
    error = errno;
    struct statx st {};
    if ((error != ELOOP && error != ENOTDIR) || kz::statPath(rootPath_, STATX_TYPE, st) != 0 || !S_ISLNK(st.stx_mode))
        return -1;
    fd = kz::openDirectoryPath(rootPath_, kz::FollowLinks::All);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    std::string real = kz::currentPathOf(fd);
    if (real.empty()) {
        if (char* resolved = ::realpath(rootPath_.c_str(), nullptr)) {
            real = resolved;
            ::free(resolved);
        }
    }
    if (!real.empty()) rootPath_ = std::move(real);
    return fd;
}

KZDirectoryPtr KZParallelScan::run(const std::string& path)
{
    State& s = *state_;
    s.mounts = options_.mountTable ? *options_.mountTable : KZMountTable::current();
    // Removals that run while the tree is walked (KZRemovalRegistry).
    KZRemovalWindow removals;
    s.access = kz::ReadAccessShortcut(kz::ReadAccessShortcut::currentIdentity());
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        s.descriptorBudget = int(std::clamp<rlim_t>(limit.rlim_cur / 4, 8, 256));

    const int fd = openRoot(path, error_);
    if (fd < 0) {
        logError(path, error_);
        return nullptr;
    }
    KZDirectoryPtr root = KZDirectory::fileWithPath(rootPath_);
    root->isPackage(); // settled here, before other threads read the flags
    struct statx st {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, kStatMask, &st) != 0) {
        error_ = errno;
        logError(path, error_);
        ::close(fd);
        return nullptr;
    }
    const uint64_t device = kz::deviceOf(st);
    root->setModificationTime(st.stx_mtime.tv_sec);
    root->setIdentity(kz::fileIdentityAt(fd, "", st));
    // A bind mount below the root of a folder above it would lead back out of the tree: the
    // root and every folder above it count as loops too.
    s.aboveRoot = kz::foldersAtAndAbove(fd);
    KZMountTable::Kind kind = s.mounts.kindOfDevice(device).value_or(KZMountTable::Kind::Local);
    if (kind == KZMountTable::Kind::Local) kind = KZMountTable::kindOfOpenFolder(fd);
    if (kind == KZMountTable::Kind::Pseudo) {
        ::close(fd);
        return root;
    }
    if (kind == KZMountTable::Kind::Network) root->setIsNetworkVolume(true);

    s.tasks.push_back(Task{root.get(), fd, false, KZFolderIgnoreRules::forFolder(ignoreList_, root->path()), device});
    s.pending = 1;

    unsigned threads = options_.threads ? options_.threads : defaultThreadCount();
    threads = std::min(threads, kMaxThreads);
    threads_ = threads; // read by the workers: whether a large folder's pass is shared
    {
        std::vector<Worker> workers(threads);
        std::vector<std::thread> helpers;
        helpers.reserve(threads - 1);
        for (unsigned i = 1; i < threads; ++i) {
            try {
                helpers.emplace_back([this, &workers, i] {
                    kz::lowerCurrentThreadPriority();
                    work(workers[i]);
                });
            } catch (const std::system_error&) {
                break; // fewer helpers; the walk still finishes
            }
        }
        work(workers[0]);
        for (std::thread& t : helpers) t.join();
        threads_ = unsigned(helpers.size()) + 1;
    }
    if (cancelled_.load(std::memory_order_relaxed)) return root;

    if (const KZFile* last = lastRecord_.load(std::memory_order_relaxed)) lastPath_ = last->path();

    // Folders that are packages by their extension were entered; their records go now, and
    // their sizes stay in their totals.
    if (root->isPackage()) {
        root->removeAllChildren();
    } else {
        for (KZDirectory* d : s.prune) {
            d->fileSize();
            d->removeAllChildren();
        }
    }
    s.prune.clear();
    dropItemsRemovedMeanwhile(root.get(), removals.close());
    // Every folder total but the root's is computed here, off the main thread.
    for (KZFile* child : root->children())
        if (auto* d = kz_asDirectory(child)) d->fileSize();
#if defined(__GLIBC__)
    ::malloc_trim(0); // give the walk's buffers back
#endif
    return root;
}

void KZParallelScan::work(Worker& w)
{
    State& s = *state_;
    for (;;) {
        Task task;
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait(lock, [&s] { return !s.looks.empty() || !s.tasks.empty() || s.pending == 0; });
            if (!s.looks.empty()) {
                // A large folder's pass first: its reader waits for it.
                std::shared_ptr<SharedLook> shared = s.looks.back();
                lock.unlock();
                helpLook(*shared, w);
                flush(w);
                lock.lock();
                if (shared->next.load(std::memory_order_relaxed) >= shared->slices.size())
                    s.looks.erase(std::remove(s.looks.begin(), s.looks.end(), shared), s.looks.end());
                continue;
            }
            if (s.tasks.empty()) return;
            task = std::move(s.tasks.back());
            s.tasks.pop_back();
        }
        // A folder whose only subfolder is to be walked is followed into it here, without a
        // turn through the queue: a deep chain of folders costs no hand-over per level.
        while (readFolder(task, w)) {
            task = std::move(w.children.front());
            w.children.clear();
        }
        {
            std::lock_guard lock(s.mutex);
            if (--s.pending == 0) s.wake.notify_all();
        }
    }
}

bool KZParallelScan::readFolder(Task& task, Worker& w)
{
    State& s = *state_;
    int fd = task.fd;
    auto closeFolder = [&] {
        if (fd >= 0) ::close(fd);
        if (task.budgeted) s.releaseDescriptor();
        fd = -1;
        task.budgeted = false;
    };
    if (cancelled_.load(std::memory_order_relaxed)) {
        closeFolder();
        return false;
    }
    KZDirectory* dir = task.dir;
    if (fd < 0) {
        const std::string path = dir->path();
        fd = kz::openDirectoryPath(path);
        if (fd < 0) {
            if (errno != ENOENT) {
                logError(path, errno);
                noteUnreadableFolder(path);
            }
            return false;
        }
        if (!isSameFolder(fd, dir->device(), dir->inode())) {
            closeFolder();
            return false;
        }
    }

    w.names.clear();
    if (const int err = kz::readDirectoryNames(fd, w.names); err && err != ENOENT) {
        logError(dir->path(), err);
        noteUnreadableFolder(dir->path());
    }
    lookAtEntries(task, fd, w);
    if (cancelled_.load(std::memory_order_relaxed)) {
        closeFolder();
        return false;
    }
    makeRecords(task, fd, w);
    closeFolder();
    flush(w);
    return queueChildren(w);
}

// The reading pass over the names between the two offsets: the records to make go to `out`,
// the bytes of files below the minimum to `ignored`. Safe on any worker: it changes no record.
template <typename Entries>
void KZParallelScan::lookAtNames(const Look& look, size_t from, size_t to, Worker& w, Entries& out, double& ignored)
{
    const Task& task = *look.task;
    const int fd = look.fd;
    const double minimum = options_.minimumFileSize;
    size_t sinceFlush = 0;
    const char* const first = look.names;
    const char* const end = first + to;
    for (const char* p = first + from; p < end;) {
        const char* name = p;
        const size_t length = std::strlen(name);
        p += length + 1;
        if (cancelled_.load(std::memory_order_relaxed)) return;

        struct statx st {};
        if (::statx(fd, name, kStatFlags, kStatMask, &st) != 0) {
            const int err = errno;
            if (err != ENOENT) logError(task.dir->path() + name, err);
            continue;
        }
        const std::string_view nameView(name, length);
        if (isBeingRemoved(w, st, nameView)) continue;
        const KZFolderIgnoreRules::Answer answer = task.rules->answerForItem(nameView);
        if (answer.ignored) continue;
        const bool isDirectory = S_ISDIR(st.stx_mode);
        bool readable;
        if (options_.readabilityCheck) {
            w.scratch = look.base;
            w.scratch.append(nameView);
            if (isDirectory) w.scratch.push_back('/');
            readable = options_.readabilityCheck(w.scratch, isDirectory);
        } else {
            readable = isReadable(fd, name, st, look.base, look.recordMaySettle && kz::deviceOf(st) == task.device);
        }
        if (!readable) {
            // look.base is set only for the seams: the folder's path is named from the record.
            if (isDirectory) noteUnreadableFolder(task.dir->path() + std::string(nameView) + "/");
            continue;
        }

        const uint64_t size = isDirectory ? 0 : st.stx_size;
        ++w.items;
        w.bytes += size;
        if (!isDirectory && minimum > 0 && double(size) < minimum) {
            ignored += double(size);
        } else {
            Worker::Entry e{};
            e.offset = uint32_t(name - first);
            e.length = uint32_t(length);
            e.mode = st.stx_mode;
            e.system = answer.system;
            e.mountRoot = (st.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
            e.mountRootKnown = (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0;
            const kz::FileIdentity identity = kz::fileIdentityAt(fd, name, st);
            e.stampKind = identity.kind;
            e.size = size;
            e.inode = identity.inode;
            e.device = identity.device;
            e.stamp = identity.stamp;
            e.modification = st.stx_mtime.tv_sec;
            out.push_back(e);
        }
        if (++sinceFlush >= kFlushEvery) {
            flush(w);
            sinceFlush = 0;
        }
    }
}

// The reading pass: looks at every entry of the folder once (one statx), counts it, and keeps
// those that become records in w.entries, in the order the folder listed them. A large
// folder's names are cut into slices that idle workers help look at. Stops early on a cancel.
void KZParallelScan::lookAtEntries(const Task& task, int fd, Worker& w)
{
    State& s = *state_;
    Look look;
    look.task = &task;
    look.fd = fd;
    look.names = w.names.data();
    // The folder's path names entries to the readability seam and to the fault layer only.
    if (options_.readabilityCheck || kz::hasFileFaultHook()) look.base = task.dir->path();
    // The fault layer answers in the system's place; a record never does then.
    look.recordMaySettle = !options_.readabilityCheck && !kz::hasFileFaultHook() && followsCommonRules(task, fd, w);
    w.entries.clear();
    const size_t size = w.names.size();
    if (threads_ < 2 || size < 2 * kSliceBytes) {
        double ignored = 0;
        lookAtNames(look, 0, size, w, w.entries, ignored);
        if (ignored > 0) task.dir->addIgnoredSize(ignored);
        return;
    }

    auto shared = std::make_shared<SharedLook>();
    shared->look = std::move(look);
    const char* const names = shared->look.names;
    // Slices of whole names, about kSliceBytes each.
    size_t places = 0;
    for (size_t from = 0; from < size;) {
        size_t to = std::min(size, from + kSliceBytes);
        if (to < size) {
            const void* nul = std::memchr(names + to - 1, '\0', size - (to - 1));
            to = nul ? size_t(static_cast<const char*>(nul) - names) + 1 : size;
        }
        SharedLook::Slice slice;
        slice.from = from;
        slice.to = to;
        slice.at = places;
        places += size_t(std::count(names + from, names + to, '\0'));
        shared->slices.push_back(slice);
        from = to;
    }
    w.entries.resize(places);
    shared->entries = w.entries.data();
    {
        std::lock_guard lock(s.mutex);
        s.looks.push_back(shared);
    }
    s.wake.notify_all();
    helpLook(*shared, w);
    {
        std::lock_guard lock(s.mutex);
        s.looks.erase(std::remove(s.looks.begin(), s.looks.end(), shared), s.looks.end());
    }
    {
        std::unique_lock lock(shared->mutex);
        shared->finished.wait(lock, [&] { return shared->done == shared->slices.size(); });
    }
    size_t kept = 0;
    double ignored = 0;
    for (const SharedLook::Slice& slice : shared->slices) {
        if (slice.at != kept)
            std::memmove(w.entries.data() + kept, w.entries.data() + slice.at, slice.count * sizeof(Worker::Entry));
        kept += slice.count;
        ignored += slice.ignored;
    }
    w.entries.resize(kept);
    if (ignored > 0) task.dir->addIgnoredSize(ignored);
}

// Looks at the slices of a shared reading pass that no worker has taken yet.
void KZParallelScan::helpLook(SharedLook& shared, Worker& w)
{
    const size_t count = shared.slices.size();
    for (;;) {
        const size_t i = shared.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= count) return;
        SharedLook::Slice& slice = shared.slices[i];
        SharedLook::Out out{shared.entries + slice.at, slice.count};
        lookAtNames(shared.look, slice.from, slice.to, w, out, slice.ignored);
        std::lock_guard lock(shared.mutex);
        if (++shared.done == count) shared.finished.notify_all();
    }
}

// The record pass: makes the records of w.entries, in the order the folder listed them, and
// a task in w.children for every child folder to walk. Packages are measured here, in one
// deep pass, and not walked.
void KZParallelScan::makeRecords(const Task& task, int fd, Worker& w)
{
    State& s = *state_;
    KZDirectory* dir = task.dir;
    const char* const first = w.names.data();
    dir->reserveChildren(w.entries.size());
    w.children.clear();
    const bool inPackage = dir->isPackage();
    for (const Worker::Entry& e : w.entries) {
        const char* name = first + e.offset;
        const std::string_view nameView(name, e.length);
        auto fill = [&e, name](KZFile* record) {
            record->setModificationTime(e.modification);
            record->setIsHidden(name[0] == '.');
            record->setIsSystemFile(e.system);
            // The creation time comes with the identity: it is the birth time its stamp holds.
            record->setIdentity({e.device, e.inode, e.stampKind, e.stamp});
        };
        if (!S_ISDIR(e.mode)) {
            KZFilePtr file = KZFile::childWithName(dir, nameView);
            file->setFileSize(double(e.size));
            fill(file.get());
            dir->addChild(file.get());
            w.latest = file.get();
            continue;
        }

        KZDirectoryPtr child = KZDirectory::childWithName(dir, nameView);
        fill(child.get());
        const bool package = kz_isPackageName(nameView);
        if (package) child->setIsPackage(true);
        dir->addChild(child.get());
        w.latest = child.get();
        if (!package && !inPackage && child->isPackage()) {
            std::lock_guard lock(s.pruneMutex);
            s.prune.push_back(child.get());
        }

        // A folder on another file system: pseudo-file systems are never entered, network
        // volumes flag their items, and a folder that is its own ancestor is a loop.
        const bool boundary = e.mountRoot || e.device != task.device;
        std::optional<KZMountTable::Kind> kind;
        if (boundary) {
            kind = s.mounts.kindOfDevice(e.device);
            if (kind == KZMountTable::Kind::Pseudo) continue;
        }
        if ((boundary || !e.mountRootKnown) &&
            (isOnAncestorChain(dir, e.device, e.inode) || s.isAboveRoot(e.device, e.inode))) {
            KZDebugLog(QStringLiteral("Not entering %1: it leads back to a folder above it")
                           .arg(kz::displayString(child->path())));
            continue;
        }

        bool budgeted = !package && !boundary && s.reserveDescriptor();
        int childFd = -1;
        if (package || boundary || budgeted) {
            childFd = kz::openDirectoryAt(fd, name);
            if (childFd < 0 || !isSameFolder(childFd, e.device, e.inode)) {
                const int err = childFd < 0 ? errno : ESTALE;
                if (childFd >= 0) ::close(childFd);
                if (budgeted) s.releaseDescriptor();
                if (err != ENOENT) logError(child->path(), err);
                if (err != ENOENT && err != ESTALE) noteUnreadableFolder(child->path());
                continue;
            }
        }
        if (boundary) {
            if (!kind || *kind == KZMountTable::Kind::Local) kind = KZMountTable::kindOfOpenFolder(childFd);
            if (kind == KZMountTable::Kind::Pseudo) {
                ::close(childFd);
                continue;
            }
            const bool network = kind == KZMountTable::Kind::Network;
            if (network != child->isNetworkItem()) child->setIsNetworkItem(network);
        }
        if (package) {
            const uint64_t deep = measurePackage(childFd, child.get());
            ::close(childFd);
            child->setFileSize(double(deep));
            w.bytes += deep;
            continue;
        }
        if (childFd >= 0 && !budgeted) {
            budgeted = s.reserveDescriptor();
            if (!budgeted) {
                ::close(childFd);
                childFd = -1;
            }
        }
        w.children.push_back(
            Task{child.get(), childFd, budgeted, KZFolderIgnoreRules::forChildFolder(task.rules, nameView), e.device});
    }
}

// Hands the child folders of the folder just read to the workers (or lets them go after a
// cancel). A single one stays in w.children for this worker to read next: true then.
bool KZParallelScan::queueChildren(Worker& w)
{
    State& s = *state_;
    if (w.children.empty()) return false;
    if (cancelled_.load(std::memory_order_relaxed)) {
        for (Task& t : w.children) {
            if (t.fd >= 0) ::close(t.fd);
            if (t.budgeted) s.releaseDescriptor();
        }
        w.children.clear();
        return false;
    }
    const size_t count = w.children.size();
    if (count == 1) return true;
    {
        std::lock_guard lock(s.mutex);
        s.pending += count;
        // Pushed in reverse, so the folder's first child is read first.
        for (size_t i = count; i-- > 0;) s.tasks.push_back(std::move(w.children[i]));
    }
    w.children.clear();
    s.wake.notify_all();
    return false;
}

bool KZParallelScan::isReadable(int dirFd, const char* name, const struct statx& st, const std::string& folderPath,
                                bool recordMaySettle) const
{
    if (S_ISLNK(st.stx_mode)) return true; // never followed, nothing to read
    // Whether the system lets the process read it (a folder: list and enter it). The record
    // answers only where it settles it (the process reads everything, or owns the item and
    // the owner's bits grant it); anything else is asked of the system itself, so that access
    // lists and file systems with their own rules count.
    if (recordMaySettle && state_->access.grants(st)) return true;
    const int mode = S_ISDIR(st.stx_mode) ? R_OK | X_OK : R_OK;
    return kz::accessAt(dirFd, name, mode, folderPath) == 0;
}

bool KZParallelScan::isBeingRemoved(Worker& w, const struct statx& st, std::string_view name) const
{
    const KZRemovalRegistry& registry = KZRemovalRegistry::shared();
    if (!registry.anyRemovalRunning()) return false;
    // A file's identity is shared by its other names, which stay: only the remover's own
    // name of it is left out.
    if (!S_ISDIR(st.stx_mode) && !kz::isRemovalAsideName(name)) return false;
    if (const uint64_t generation = registry.generation(); generation != w.removingGeneration) {
        w.removing = registry.itemsBeingRemoved();
        w.removingGeneration = generation;
    }
    return std::find(w.removing.begin(), w.removing.end(), kz::identityOf(st)) != w.removing.end();
}

void KZParallelScan::dropItemsRemovedMeanwhile(KZDirectory* root, const std::vector<kz::ItemIdentity>& removed) const
{
    if (removed.empty() || cancelled_.load(std::memory_order_relaxed)) return;
    // Records keep their device in a narrower form.
    std::vector<std::pair<std::pair<uint64_t, uint64_t>, kz::ItemIdentity>> keys;
    keys.reserve(removed.size());
    for (const kz::ItemIdentity& item : removed)
        keys.push_back({{KZFile::recordedDevice(item.device), item.inode}, item});
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    auto removalOf = [&keys](const KZFile* f) -> const kz::ItemIdentity* {
        if (!f->hasDeviceAndInode()) return nullptr;
        const std::pair<uint64_t, uint64_t> key{f->device(), f->inode()};
        const auto it = std::lower_bound(keys.begin(), keys.end(), key,
                                         [](const auto& entry, const auto& k) { return entry.first < k; });
        return it != keys.end() && it->first == key ? &it->second : nullptr;
    };
    const KZRemovalRegistry& registry = KZRemovalRegistry::shared();
    KZFileList going;
    std::vector<KZDirectory*> stack{root};
    while (!stack.empty()) {
        KZDirectory* d = stack.back();
        stack.pop_back();
        for (KZFile* child : d->children()) {
            if (const kz::ItemIdentity* item = removalOf(child)) {
                // Still being removed (a file only under the private name), or no longer there.
                bool gone = registry.isBeingRemoved(*item) &&
                            (child->isDirectory() || kz::isRemovalAsideName(child->nameBytes()));
                if (!gone) {
                    struct statx st {};
                    gone = kz::statPath(kz::pathWithoutTrailingSlash(child->path()), STATX_INO, st) != 0 ||
                           kz::identityOf(st) != *item;
                }
                if (gone) {
                    going.emplace_back(child);
                    continue;
                }
            }
            if (auto* sub = kz_asDirectory(child)) stack.push_back(sub);
        }
    }
    for (const KZFilePtr& f : going) f->deleteFromParent();
}

void KZParallelScan::noteUnreadableFolder(std::string path)
{
    unreadableCount_.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(unreadableMutex_);
    if (unreadable_.size() < kMaxUnreadableListed) unreadable_.push_back(std::move(path));
}

std::vector<std::string> KZParallelScan::unreadableFolders() const
{
    std::lock_guard lock(unreadableMutex_);
    std::vector<std::string> out = unreadable_;
    std::sort(out.begin(), out.end());
    return out;
}

// Whether the items of the task's folder that lie on its device are judged by the kernel's
// common rules alone (by the mount table's type, else the folder's statfs magic). Kept per
// worker for the device it saw last.
bool KZParallelScan::followsCommonRules(const Task& task, int fd, Worker& w) const
{
    if (!w.rulesKnown || w.rulesDevice != task.device) {
        const std::string type = state_->mounts.typeOfDevice(task.device);
        if (!type.empty()) {
            w.commonRules = kz::ReadAccessShortcut::judgesByCommonRules(type);
        } else {
            struct statfs fs {};
            w.commonRules =
                ::fstatfs(fd, &fs) == 0 && kz::ReadAccessShortcut::judgesByCommonRulesMagic(uint64_t(fs.f_type));
        }
        w.rulesDevice = task.device;
        w.rulesKnown = true;
    }
    return w.commonRules;
}

unsigned KZParallelScan::defaultThreadCount()
{
    unsigned count = 0;
    // The mask may name more CPUs than a cpu_set_t holds: grow until it fits.
    for (size_t cpus = CPU_SETSIZE; cpus <= (size_t(1) << 20) && !count; cpus *= 2) {
        cpu_set_t* set = CPU_ALLOC(cpus);
        if (!set) break;
        const size_t size = CPU_ALLOC_SIZE(cpus);
        CPU_ZERO_S(size, set);
        if (::sched_getaffinity(0, size, set) == 0) {
            count = unsigned(CPU_COUNT_S(size, set));
            CPU_FREE(set);
            break;
        }
        CPU_FREE(set);
        if (errno != EINVAL) break;
    }
    if (!count) count = std::thread::hardware_concurrency();
    return std::clamp(count, 1u, kMaxThreads);
}

uint64_t KZParallelScan::measurePackage(int fd, const KZDirectory* package)
{
    // One serial pass under the package, by the same rules as the walk: links not followed,
    // pseudo-file systems and loops not entered (the walker guards both).
    uint64_t total = 0;
    kz::TreeWalkCallbacks callbacks;
    callbacks.visit = [&](const kz::WalkEntry& e) {
        if (cancelled_.load(std::memory_order_relaxed)) return kz::WalkAction::Stop;
        if (!S_ISDIR(e.st.stx_mode)) total += e.st.stx_size;
        return kz::WalkAction::Continue;
    };
    kz::walkTreeAt(fd, package->path(), callbacks);
    return total;
}
