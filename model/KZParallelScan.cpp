#include "model/KZParallelScan.h"

#include "model/KZIgnoreList.h"
#include "model/KZMountTable.h"
#include "model/KZPath.h"
#include "model/KZTreeWalker.h"
#include "platform/KZDispatch.h"
#include "platform/KZLog.h"
#include "platform/KZPathString.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

constexpr unsigned kStatMask =
    STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_INO | STATX_SIZE | STATX_MTIME | STATX_BTIME;
constexpr int kStatFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
// Counters reach the shared totals at least this often within one large folder.
constexpr size_t kFlushEvery = 4096;
constexpr unsigned kMaxThreads = 16;

// A folder the platform would call a package: shown and measured as one item, never entered.
bool isPackageName(std::string_view name)
{
    const std::string_view ext = kz_pathExtension(name);
    if (ext.empty() || ext.size() > 12) return false;
    char lower[12];
    for (size_t i = 0; i < ext.size(); ++i) {
        const char c = ext[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    const std::string_view e(lower, ext.size());
    return e == "app" || e == "bundle" || e == "plugin" || e == "kext" || e == "rtfd" || e == "sparsebundle" ||
           e == "pkg" || e == "xcodeproj";
}

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
        bool hasBirth;
        uint64_t size;
        uint64_t inode;
        uint64_t device;
        int64_t birth;
        int64_t modification;
    };
    std::vector<char> names;
    std::vector<Entry> entries;
    std::vector<Task> children;
    std::string scratch;
    int64_t items = 0;
    uint64_t bytes = 0;
    const KZFile* latest = nullptr;
};

struct KZParallelScan::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<Task> tasks; // a stack: the newest folder first keeps descriptors few
    size_t pending = 0;      // tasks queued or being read
    std::atomic<int> descriptors{0};
    int descriptorBudget = 256;
    KZMountTable mounts;
    uid_t uid = 0;
    std::vector<gid_t> groups;
    std::mutex pruneMutex;
    std::vector<KZDirectory*> prune; // folders that are packages by extension, outermost only

    bool reserveDescriptor()
    {
        if (descriptors.fetch_add(1, std::memory_order_relaxed) < descriptorBudget) return true;
        descriptors.fetch_sub(1, std::memory_order_relaxed);
        return false;
    }
    void releaseDescriptor() { descriptors.fetch_sub(1, std::memory_order_relaxed); }

    bool readableByBits(const struct statx& st, bool isDirectory) const
    {
        if (uid == 0 || S_ISLNK(st.stx_mode)) return true;
        unsigned bits;
        if (st.stx_uid == uid)
            bits = (st.stx_mode >> 6) & 7;
        else if (std::binary_search(groups.begin(), groups.end(), gid_t(st.stx_gid)))
            bits = (st.stx_mode >> 3) & 7;
        else
            bits = st.stx_mode & 7;
        return (bits & 4) && (!isDirectory || (bits & 1));
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

KZDirectoryPtr KZParallelScan::run(const std::string& path)
{
    State& s = *state_;
    KZDirectoryPtr root = KZDirectory::fileWithPath(path);
    root->isPackage(); // settled here, before other threads read the flags
    s.mounts = KZMountTable::current();
    s.uid = ::geteuid();
    s.groups.push_back(::getegid());
    if (const int n = ::getgroups(0, nullptr); n > 0) {
        std::vector<gid_t> more(size_t(n), 0);
        if (::getgroups(n, more.data()) == n) s.groups.insert(s.groups.end(), more.begin(), more.end());
    }
    std::sort(s.groups.begin(), s.groups.end());
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        s.descriptorBudget = int(std::clamp<rlim_t>(limit.rlim_cur / 4, 8, 256));

    const int fd = kz::openDirectoryPath(path);
    if (fd < 0) {
        logError(path, errno);
        return root;
    }
    struct statx st {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, kStatMask, &st) != 0) {
        logError(path, errno);
        ::close(fd);
        return root;
    }
    const uint64_t device = kz::deviceOf(st);
    if (st.stx_mask & STATX_BTIME) root->setCreationTime(st.stx_btime.tv_sec);
    root->setModificationTime(st.stx_mtime.tv_sec);
    root->setDeviceAndInode(device, st.stx_ino);
    KZMountTable::Kind kind = s.mounts.kindOfDevice(device).value_or(KZMountTable::Kind::Local);
    if (kind == KZMountTable::Kind::Local) kind = KZMountTable::kindOfOpenFolder(fd);
    if (kind == KZMountTable::Kind::Pseudo) {
        ::close(fd);
        return root;
    }
    if (kind == KZMountTable::Kind::Network) root->setIsNetworkVolume(true);

    s.tasks.push_back(Task{root.get(), fd, false, KZFolderIgnoreRules::forFolder(ignoreList_, root->path()), device});
    s.pending = 1;

    unsigned threads = options_.threads ? options_.threads : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min(threads, kMaxThreads);
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
            s.wake.wait(lock, [&s] { return !s.tasks.empty() || s.pending == 0; });
            if (s.tasks.empty()) return;
            task = std::move(s.tasks.back());
            s.tasks.pop_back();
        }
        readFolder(task, w);
        {
            std::lock_guard lock(s.mutex);
            if (--s.pending == 0) s.wake.notify_all();
        }
    }
}

void KZParallelScan::readFolder(Task& task, Worker& w)
{
    State& s = *state_;
    KZDirectory* dir = task.dir;
    int fd = task.fd;
    auto closeFolder = [&] {
        if (fd >= 0) ::close(fd);
        if (task.budgeted) s.releaseDescriptor();
        fd = -1;
        task.budgeted = false;
    };
    if (cancelled_.load(std::memory_order_relaxed)) {
        closeFolder();
        return;
    }
    if (fd < 0) {
        const std::string path = dir->path();
        fd = kz::openDirectoryPath(path);
        if (fd < 0) {
            if (errno != ENOENT) logError(path, errno);
            return;
        }
        if (!isSameFolder(fd, dir->device(), dir->inode())) {
            closeFolder();
            return;
        }
    }

    w.names.clear();
    if (const int err = kz::readDirectoryNames(fd, w.names); err && err != ENOENT) logError(dir->path(), err);

    // First pass: look at every entry, count it, and keep those that become records.
    std::string base;
    if (options_.readabilityCheck) base = dir->path();
    const double minimum = options_.minimumFileSize;
    w.entries.clear();
    size_t sinceFlush = 0;
    const char* const first = w.names.data();
    const char* const end = first + w.names.size();
    for (const char* p = first; p < end;) {
        const char* name = p;
        const size_t length = std::strlen(name);
        p += length + 1;
        if (cancelled_.load(std::memory_order_relaxed)) break;

        struct statx st {};
        if (::statx(fd, name, kStatFlags, kStatMask, &st) != 0) {
            const int err = errno;
            if (err != ENOENT) logError(dir->path() + name, err);
            continue;
        }
        const std::string_view nameView(name, length);
        const KZFolderIgnoreRules::Answer answer = task.rules->answerForItem(nameView);
        if (answer.ignored) continue;
        const bool isDirectory = S_ISDIR(st.stx_mode);
        bool readable;
        if (options_.readabilityCheck) {
            w.scratch = base;
            w.scratch.append(nameView);
            if (isDirectory) w.scratch.push_back('/');
            readable = options_.readabilityCheck(w.scratch, isDirectory);
        } else {
            readable = s.readableByBits(st, isDirectory);
        }
        if (!readable) continue;

        const uint64_t size = isDirectory ? 0 : st.stx_size;
        ++w.items;
        w.bytes += size;
        if (!isDirectory && minimum > 0 && double(size) < minimum) {
            dir->addIgnoredSize(double(size));
        } else {
            Worker::Entry e{};
            e.offset = uint32_t(name - first);
            e.length = uint32_t(length);
            e.mode = st.stx_mode;
            e.system = answer.system;
            e.mountRoot = (st.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
            e.mountRootKnown = (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0;
            e.hasBirth = (st.stx_mask & STATX_BTIME) != 0;
            e.size = size;
            e.inode = st.stx_ino;
            e.device = kz::deviceOf(st);
            e.birth = st.stx_btime.tv_sec;
            e.modification = st.stx_mtime.tv_sec;
            w.entries.push_back(e);
        }
        if (++sinceFlush >= kFlushEvery) {
            flush(w);
            sinceFlush = 0;
        }
    }
    if (cancelled_.load(std::memory_order_relaxed)) {
        closeFolder();
        return;
    }

    // Second pass: make the records, in the order the folder listed them.
    dir->reserveChildren(w.entries.size());
    w.children.clear();
    const bool inPackage = dir->isPackage();
    for (const Worker::Entry& e : w.entries) {
        const char* name = first + e.offset;
        const std::string_view nameView(name, e.length);
        auto fill = [&e, name](KZFile* record) {
            record->setCreationTime(e.hasBirth ? std::optional<qint64>(e.birth) : std::nullopt);
            record->setModificationTime(e.modification);
            record->setIsHidden(name[0] == '.');
            record->setIsSystemFile(e.system);
            record->setDeviceAndInode(e.device, e.inode);
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
        const bool package = isPackageName(nameView);
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
        if ((boundary || !e.mountRootKnown) && isOnAncestorChain(dir, e.device, e.inode)) {
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
    closeFolder();
    flush(w);

    if (w.children.empty()) return;
    if (cancelled_.load(std::memory_order_relaxed)) {
        for (Task& t : w.children) {
            if (t.fd >= 0) ::close(t.fd);
            if (t.budgeted) s.releaseDescriptor();
        }
        w.children.clear();
        return;
    }
    const size_t count = w.children.size();
    {
        std::lock_guard lock(s.mutex);
        s.pending += count;
        // Pushed in reverse, so the folder's first child is read first.
        for (size_t i = count; i-- > 0;) s.tasks.push_back(std::move(w.children[i]));
    }
    w.children.clear();
    if (count == 1)
        s.wake.notify_one();
    else
        s.wake.notify_all();
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
