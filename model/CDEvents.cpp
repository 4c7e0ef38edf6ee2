#include "model/CDEvents.h"

#include "platform/KZDirectoryIO.h"
#include "platform/KZDispatch.h"
#include "platform/KZLog.h"
#include "platform/KZPathString.h"
#include "platform/KZSelfChangeRegistry.h"
#include "platform/KZTimeSlice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace {

// Without content changes (IN_CLOSE_WRITE, IN_ATTRIB) a watch asks only for changes to the
// folder's entries, and the system needn't mark each of its items as watched.
constexpr uint32_t kContentEvents = IN_CLOSE_WRITE | IN_ATTRIB;
constexpr uint32_t kEventMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

// A flood of events is read, and delivered, a slice per turn of the event loop.
constexpr std::chrono::milliseconds kReadSlice{8};
constexpr size_t kMostEventsPerDelivery = 2048;

std::atomic<uint64_t> nextEventIdentifier{1};
std::atomic<size_t> watchLimit{0};

// Lexically tidied absolute path: no "//", no "." or ".." components, no final "/".
std::string standardizedPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        const size_t end = std::min(path.find('/', pos), path.size());
        const std::string part = path.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    std::string out;
    for (const std::string& p : parts) out += "/" + p;
    return out.empty() ? std::string("/") : out;
}

std::string joined(const std::string& folder, const char* name)
{
    return folder == "/" ? std::string(1, '/').append(name) : folder + "/" + name;
}

bool isAtOrBelow(std::string_view path, std::string_view folder)
{
    if (folder == "/") return true;
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

// File systems with nothing a person keeps files in; never watched.
bool isPseudoFileSystemType(unsigned long type)
{
    switch (type) {
    case 0x9fa0:     // proc
    case 0x62656572: // sysfs
    case 0x1cd1:     // devpts
    case 0x27e0eb:   // cgroup
    case 0x63677270: // cgroup2
    case 0x64626720: // debugfs
    case 0x74726163: // tracefs
    case 0x73636673: // securityfs
    case 0x6165676c: // pstore
    case 0xcafe4a11: // bpf
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case 0x958458f6: // hugetlbfs
    case 0x0187:     // autofs
        return true;
    default:
        return false;
    }
}

bool isPseudoFileSystem(int fd)
{
    struct statfs fs {};
    return ::fstatfs(fd, &fs) == 0 && isPseudoFileSystemType(static_cast<unsigned long>(fs.f_type));
}

bool isPseudoFileSystem(const std::string& path)
{
    struct statfs fs {};
    return ::statfs(path.c_str(), &fs) == 0 && isPseudoFileSystemType(static_cast<unsigned long>(fs.f_type));
}

struct FolderIdentityHash {
    size_t operator()(const std::pair<dev_t, ino_t>& id) const
    {
        return std::hash<uint64_t>()(uint64_t(id.second) * 31 + uint64_t(id.first));
    }
};

uint32_t kindOf(const std::string& path, bool isDir)
{
    if (isDir) return CDEventFlags::ItemIsDir;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return CDEventFlags::ItemIsSymlink;
    return CDEventFlags::ItemIsFile;
}

} // namespace

// The inotify descriptor and its watches, shared with the background walks that add them.
struct CDEvents::Watches {
    int fd = -1;
    std::mutex mutex;
    // watch -> folder, and folder -> watch; each key of byPath views the path that `paths`
    // holds for the watch it maps to, so that a folder's path is kept once.
    std::unordered_map<int, std::string> paths;
    std::map<std::string_view, int> byPath;
    std::atomic<bool> stopped{false};
    std::atomic<bool> outOfWatches{false};
    std::atomic<int> walks{0};
    std::vector<std::string> excluded;
    std::function<bool(std::string_view)> skip;
    uint32_t mask = kEventMask;
    // Listed folders not yet watched, and whether a background task is watching them: one
    // task at a time (watches added side by side only wait for each other in the kernel).
    std::mutex queueMutex;
    std::vector<std::vector<CDEventsFolders::Folder>> queue;
    bool draining = false;

    ~Watches()
    {
        if (fd >= 0) ::close(fd);
    }

    // Adds a watch for the folder; false when the system has no watch left.
    bool add(std::string path, bool followLink)
    {
        std::lock_guard lock(mutex);
        if (stopped) return true;
        const size_t limit = watchLimit.load();
        const int wd = limit && paths.size() >= limit
                           ? (errno = ENOSPC, -1)
                           : ::inotify_add_watch(fd, path.c_str(), mask | (followLink ? 0 : IN_DONT_FOLLOW));
        if (wd < 0) {
            if (errno == ENOSPC) {
                if (!outOfWatches.exchange(true))
                    KZSystemLog(
                        QStringLiteral("Sizemere: no more folders can be watched (fs.inotify.max_user_watches); "
                                       "changes below %1 and other folders may go unnoticed.")
                            .arg(kz::displayString(path)));
                return false;
            }
            return true; // gone or unreadable: nothing to watch
        }
        // The system answers a folder it already watches with the same watch.
        auto [it, added] = paths.try_emplace(wd);
        if (!added) unlink(it);
        it->second = std::move(path);
        link(it);
        return true;
    }

    // The path of the watch at `it` stands for that watch (also when another watch had it).
    void link(std::unordered_map<int, std::string>::iterator it)
    {
        auto [at, added] = byPath.try_emplace(it->second, it->first);
        if (added) return;
        auto node = byPath.extract(at);
        node.key() = it->second;
        node.mapped() = it->first;
        byPath.insert(std::move(node));
    }

    // The path of the watch at `it` no longer names it (before that path changes or goes).
    void unlink(std::unordered_map<int, std::string>::iterator it)
    {
        auto at = byPath.find(it->second);
        if (at != byPath.end() && at->second == it->first) byPath.erase(at);
    }

    std::optional<std::string> folderOf(int wd)
    {
        std::lock_guard lock(mutex);
        auto it = paths.find(wd);
        if (it == paths.end()) return std::nullopt;
        return it->second;
    }

    void forget(int wd)
    {
        std::lock_guard lock(mutex);
        auto it = paths.find(wd);
        if (it == paths.end()) return;
        unlink(it);
        paths.erase(it);
    }

    // Every watch at or below `from` now stands at or below `to`; false when there was none.
    bool rename(const std::string& from, const std::string& to)
    {
        std::lock_guard lock(mutex);
        std::vector<int> moved;
        for (auto it = byPath.lower_bound(from); it != byPath.end() && isAtOrBelow(it->first, from);) {
            moved.push_back(it->second);
            it = byPath.erase(it);
        }
        for (int wd : moved) {
            auto it = paths.find(wd);
            if (it == paths.end()) continue;
            it->second = to + it->second.substr(from.size());
            link(it);
        }
        return !moved.empty();
    }

    // Stops watching everything at or below the folder (it left the watched tree).
    void drop(const std::string& folder)
    {
        std::lock_guard lock(mutex);
        for (auto it = byPath.lower_bound(folder); it != byPath.end() && isAtOrBelow(it->first, folder);) {
            const int wd = it->second;
            it = byPath.erase(it);
            ::inotify_rm_watch(fd, wd);
            paths.erase(wd);
        }
    }

    bool excludedPath(const std::string& path) const
    {
        for (const std::string& e : excluded)
            if (isAtOrBelow(path, e)) return true;
        return false;
    }

    // A folder that gets no watch, nor anything below it.
    bool skipped(const std::string& path) const { return excludedPath(path) || (skip && skip(path)); }

    // Watches every folder below `root` (its own watch is there already), reading each folder
    // for its entries' names and types: one stat per folder, none per file. A folder already
    // entered (a bind mount leading back) is not entered again. With `reportContents`, what is
    // found is handed to `found` as created.
    void addTree(const std::string& root, bool reportContents, const std::function<void(std::vector<Pending>)>& found)
    {
        std::vector<Pending> items;
        std::unordered_set<std::pair<dev_t, ino_t>, FolderIdentityHash> entered;
        std::vector<std::string> stack{root};
        std::vector<char> entries;
        dev_t rootDevice = 0;
        bool atRoot = true;
        while (!stack.empty() && !stopped && !outOfWatches) {
            const std::string folder = std::move(stack.back());
            stack.pop_back();
            const bool isRoot = std::exchange(atRoot, false);
            const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW));
            if (fd < 0) continue;
            struct stat st {};
            if (::fstat(fd, &st) != 0 || !entered.insert({st.st_dev, st.st_ino}).second) {
                ::close(fd);
                continue;
            }
            if (isRoot) {
                rootDevice = st.st_dev;
            } else if ((st.st_dev != rootDevice && isPseudoFileSystem(fd)) || !add(folder, false)) {
                ::close(fd);
                continue; // out of watches: the loop ends
            }
            entries.clear();
            kz::readDirectoryEntries(fd, entries, true);
            for (size_t pos = 0; pos < entries.size();) {
                unsigned char type = static_cast<unsigned char>(entries[pos]);
                const char* name = entries.data() + pos + 1;
                pos += std::strlen(name) + 2;
                if (type == DT_UNKNOWN) {
                    struct stat es {};
                    if (::fstatat(fd, name, &es, AT_SYMLINK_NOFOLLOW) != 0) continue;
                    type = S_ISDIR(es.st_mode) ? DT_DIR : S_ISLNK(es.st_mode) ? DT_LNK : DT_REG;
                }
                std::string path = joined(folder, name);
                if (reportContents)
                    items.push_back({path,
                                     CDEventFlags::ItemCreated | (type == DT_DIR   ? CDEventFlags::ItemIsDir
                                                                  : type == DT_LNK ? CDEventFlags::ItemIsSymlink
                                                                                   : CDEventFlags::ItemIsFile),
                                     KZChange::Created});
                if (type == DT_DIR && !skipped(path)) stack.push_back(std::move(path));
            }
            ::close(fd);
        }
        if (!items.empty() && found) found(std::move(items));
    }

    // Queues listed folders for the one background task that watches them (started when none runs).
    static void enqueue(const std::shared_ptr<Watches>& self, std::vector<CDEventsFolders::Folder> part)
    {
        {
            std::lock_guard lock(self->queueMutex);
            self->queue.push_back(std::move(part));
            if (std::exchange(self->draining, true)) return;
        }
        ++self->walks;
        KZRunInBackground([self] {
            for (;;) {
                std::vector<CDEventsFolders::Folder> next;
                {
                    std::lock_guard lock(self->queueMutex);
                    if (self->queue.empty()) {
                        self->draining = false;
                        break;
                    }
                    next = std::move(self->queue.front());
                    self->queue.erase(self->queue.begin());
                }
                self->addListed(next);
            }
            --self->walks;
        });
    }

    // Watches the listed folders, and what lies below those whose sub-folders aren't listed.
    // The watches keep the listed paths.
    void addListed(std::vector<CDEventsFolders::Folder>& folders)
    {
        {
            std::lock_guard lock(mutex);
            paths.reserve(paths.size() + folders.size());
        }
        for (CDEventsFolders::Folder& f : folders) {
            if (stopped || outOfWatches) return;
            if (f.onOtherDevice && isPseudoFileSystem(f.path)) continue;
            const std::string below = f.walkBelow ? f.path : std::string();
            if (!add(std::move(f.path), false)) return;
            if (f.walkBelow) addTree(below, false, {});
        }
    }
};

CDEvents::CDEvents(std::vector<std::string> watchedPaths, EventBlock block, uint64_t sinceEventIdentifier,
                   double notificationLatency, bool ignoreEventsFromSubDirs, std::vector<std::string> excludedPaths,
                   uint32_t streamCreationFlags, QObject* parent)
    : CDEvents(std::move(watchedPaths), std::move(block), sinceEventIdentifier, notificationLatency,
               ignoreEventsFromSubDirs, std::move(excludedPaths), streamCreationFlags, CDEventsFolders{}, parent)
{
}

CDEvents::CDEvents(std::vector<std::string> watchedPaths, EventBlock block, uint64_t sinceEventIdentifier,
                   double notificationLatency, bool ignoreEventsFromSubDirs, std::vector<std::string> excludedPaths,
                   uint32_t streamCreationFlags, CDEventsFolders folders, QObject* parent)
    : QObject(parent), eventBlock_(std::move(block)), folders_(std::move(folders)), since_(sinceEventIdentifier),
      latency_(notificationLatency), ignoreSubDirs_(ignoreEventsFromSubDirs), flags_(streamCreationFlags)
{
    if (watchedPaths.empty() || !eventBlock_) throw CDEventsInvalidArgumentException();
    for (const std::string& p : watchedPaths) {
        if (p.empty() || p[0] != '/') throw CDEventsInvalidArgumentException();
        watched_.push_back(standardizedPath(p));
    }
    for (const std::string& p : excludedPaths)
        if (!p.empty() && p[0] == '/') excluded_.push_back(standardizedPath(p));
    self_ = this;
    start();
}

CDEvents::CDEvents(std::vector<std::string> watchedPaths, EventBlock block, QObject* parent)
    : CDEvents(std::move(watchedPaths), std::move(block), kCDEventsSinceEventNow, kCDEventsDefaultEventLatency, false,
               {}, kCDEventsDefaultEventStreamFlags, parent)
{
}

static std::vector<std::string> pathsOf(const QList<QUrl>& urls)
{
    std::vector<std::string> paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile()) paths.push_back(kz::toStdString(QFile::encodeName(url.toLocalFile())));
    return paths;
}

CDEvents::CDEvents(const QList<QUrl>& watchedURLs, EventBlock block, QObject* parent)
    : CDEvents(pathsOf(watchedURLs), std::move(block), parent)
{
}

CDEvents::~CDEvents()
{
    disposeEventStream();
}

void CDEvents::start()
{
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) throw CDEventsEventStreamCreationFailureException();
    watches_ = std::make_shared<Watches>();
    watches_->fd = fd;
    watches_->excluded = ignoreSubDirs_ ? std::vector<std::string>{} : excluded_;
    watches_->skip = folders_.skip;
    if (!folders_.contentChanges) watches_->mask = kEventMask & ~kContentEvents;
    for (const std::string& root : watched_) watches_->add(root, true);

    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &CDEvents::readEvents);
    latencyTimer_ = std::make_unique<QTimer>();
    latencyTimer_->setSingleShot(true);
    connect(latencyTimer_.get(), &QTimer::timeout, this, &CDEvents::deliver);

    // Events of sub-folders are never delivered when they are ignored: the watched folders'
    // own watches are enough then.
    if (!ignoreSubDirs_) {
        auto watches = watches_;
        const auto roots = watched_;
        if (folders_.listed) {
            if (folders_.moreToCome) {
                // The rest of the list holds the watcher short of everything until it has come.
                listOpen_ = true;
                ++watches->walks;
            }
            std::vector<CDEventsFolders::Folder> listed;
            listed.swap(*folders_.listed);
            folders_.listed.reset();
            if (!listed.empty()) Watches::enqueue(watches, std::move(listed));
        } else {
            ++watches->walks;
            KZRunInBackground([watches, roots] {
                for (const std::string& root : roots) watches->addTree(root, false, {});
                --watches->walks;
            });
        }
    }
    // There is no history to replay: a watcher asked for past events gets only its end.
    if (since_ != kCDEventsSinceEventNow) emitChange(watched_.front(), CDEventFlags::HistoryDone, KZChange::Any);
}

void CDEvents::watchListedFolders(std::vector<CDEventsFolders::Folder> folders, bool last)
{
    if (!watches_ || !listOpen_) return;
    auto watches = watches_;
    if (!folders.empty()) Watches::enqueue(watches, std::move(folders));
    if (last) {
        listOpen_ = false;
        --watches->walks;
    }
}

void CDEvents::disposeEventStream()
{
    if (!watches_) return;
    {
        std::lock_guard lock(watches_->mutex);
        watches_->stopped = true;
    }
    notifier_.reset();
    latencyTimer_.reset();
    batch_.clear();
    // The descriptor closes when the last background walk lets go, and never on this thread:
    // the system takes tens of milliseconds to drop tens of thousands of watches.
    KZRunInBackground([watches = std::move(watches_)]() mutable { watches.reset(); });
    watches_.reset();
}

size_t CDEvents::watchCount() const
{
    if (!watches_) return 0;
    std::lock_guard lock(watches_->mutex);
    return watches_->paths.size();
}

void CDEvents::setWatchLimitForTesting(size_t limit)
{
    watchLimit = limit;
}

bool CDEvents::isWatchingEverything() const
{
    return watches_ && watches_->walks.load() == 0;
}

bool CDEvents::isIdle() const
{
    if (!watches_) return true;
    int unread = 0;
    if (::ioctl(watches_->fd, FIONREAD, &unread) == 0 && unread > 0) return false;
    return batch_.empty() && !(latencyTimer_ && latencyTimer_->isActive()) && watches_->walks.load() == 0;
}

void CDEvents::readEvents()
{
    if (!watches_) return;
    alignas(struct inotify_event) char buffer[65536];
    KZTimeSlice slice(kReadSlice);
    bool drained = false;
    while (!drained) {
        const ssize_t n = ::read(watches_->fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            drained = true;
            break;
        }
        for (ssize_t pos = 0; pos < n;) {
            const auto* ev = reinterpret_cast<const struct inotify_event*>(buffer + pos);
            pos += ssize_t(sizeof(struct inotify_event) + ev->len);
            handle(ev->wd, ev->mask, ev->cookie, ev->len ? ev->name : nullptr);
            if (!watches_) return; // stopped meanwhile
        }
        // The rest of a flood waits for the next turn (the descriptor stays readable).
        if (slice.step()) break;
    }
    // A move whose other half did not come with it left (or entered) the watched tree.
    if (drained) flushMove();
    scheduleDelivery();
}

void CDEvents::handle(int wd, uint32_t mask, uint32_t cookie, const char* name)
{
    using namespace CDEventFlags;
    if (mask & IN_Q_OVERFLOW) {
        for (const std::string& root : watched_) emitChange(root, MustScanSubDirs | KernelDropped, KZChange::Any);
        return;
    }
    const auto folder = watches_->folderOf(wd);
    if (!folder) return;
    if (mask & IN_IGNORED) {
        watches_->forget(wd);
        return;
    }
    const bool isRoot = std::find(watched_.begin(), watched_.end(), *folder) != watched_.end();
    if (mask & IN_UNMOUNT) {
        emitChange(*folder, Unmount | ItemIsDir, KZChange::Any);
        return;
    }
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        if (isRoot && (flags_ & CDEventsStreamFlags::WatchRoot))
            emitChange(*folder, RootChanged, (mask & IN_DELETE_SELF) ? KZChange::Removed : KZChange::RenamedFrom);
        return;
    }
    if (!name) return;
    const std::string path = joined(*folder, name);
    const bool isDir = mask & IN_ISDIR;

    if (!(mask & IN_MOVED_TO)) flushMove();
    if (mask & IN_CREATE) {
        emitChange(path, ItemCreated | kindOf(path, isDir), KZChange::Created);
        if (isDir && !ignoreSubDirs_ && !watches_->skipped(path) && watches_->add(path, false)) {
            // What was made inside before the watch took hold is reported as created.
            auto watches = watches_;
            auto self = self_;
            ++watches->walks;
            KZRunInBackground([watches, self, path] {
                watches->addTree(path, true, [self](std::vector<Pending> items) {
                    KZRunOnMainThread([self, items = std::move(items)] {
                        if (self) self->catchUp(items);
                    });
                });
                --watches->walks;
            });
        }
    } else if (mask & IN_DELETE) {
        emitChange(path, ItemRemoved | (isDir ? ItemIsDir : ItemIsFile), KZChange::Removed);
    } else if (mask & IN_MOVED_FROM) {
        emitChange(path, ItemRenamed | (isDir ? ItemIsDir : kindOf(path, false)), KZChange::RenamedFrom);
        moveFrom_ = {cookie, path, isDir, true};
    } else if (mask & IN_MOVED_TO) {
        const bool paired = moveFrom_.active && moveFrom_.cookie == cookie;
        emitChange(path, ItemRenamed | kindOf(path, isDir), KZChange::RenamedTo);
        bool watchAnew = false;
        if (paired) {
            moveFrom_.active = false;
            if (isDir) {
                // Watched before: the watches follow, unless the new place gets none. Not
                // watched before (a folder that got no watch): it may get them now.
                const bool wasWatched = watches_->rename(moveFrom_.path, path);
                if (!ignoreSubDirs_ && watches_->skipped(path))
                    watches_->drop(path);
                else
                    watchAnew = !wasWatched;
            }
        } else {
            flushMove();
            watchAnew = isDir;
        }
        if (watchAnew) {
            if (!ignoreSubDirs_ && !watches_->skipped(path) && watches_->add(path, false)) {
                auto watches = watches_;
                ++watches->walks;
                KZRunInBackground([watches, path] {
                    watches->addTree(path, false, {});
                    --watches->walks;
                });
            }
        }
    } else if (mask & IN_CLOSE_WRITE) {
        emitChange(path, ItemModified | ItemIsFile, KZChange::Modified);
    } else if (mask & IN_ATTRIB) {
        emitChange(path, ItemInodeMetaMod | kindOf(path, isDir), KZChange::Metadata);
    }
}

void CDEvents::flushMove()
{
    if (!moveFrom_.active) return;
    moveFrom_.active = false;
    if (moveFrom_.isDir) watches_->drop(moveFrom_.path); // it left the watched tree
}

void CDEvents::catchUp(const std::vector<Pending>& items)
{
    if (!watches_) return;
    // Only what is not in the batch already.
    std::unordered_set<std::string_view> created;
    for (const Pending& p : batch_)
        if (p.flags & CDEventFlags::ItemCreated) created.insert(p.path);
    std::vector<const Pending*> fresh;
    for (const Pending& item : items)
        if (!created.count(item.path)) fresh.push_back(&item);
    created.clear(); // it points into the batch, which grows below
    for (const Pending* item : fresh) emitChange(item->path, item->flags, item->kinds);
    scheduleDelivery();
}

void CDEvents::emitChange(std::string path, uint32_t flags, uint32_t ownKinds)
{
    if ((flags_ & CDEventsStreamFlags::IgnoreSelf) && KZSelfChangeRegistry::shared().isOwnChange(path, ownKinds))
        return;
    batch_.push_back({std::move(path), flags, ownKinds});
}

void CDEvents::scheduleDelivery()
{
    if (batch_.empty() || !latencyTimer_ || latencyTimer_->isActive()) return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 latencyMs = qint64(latency_ * 1000);
    const bool quiet = now - lastDelivery_ >= latencyMs;
    latencyTimer_->start((flags_ & CDEventsStreamFlags::NoDefer) && quiet ? 0 : int(latencyMs));
}

bool CDEvents::isExcluded(const std::string& path) const
{
    for (const std::string& e : excluded_)
        if (isAtOrBelow(path, e)) return true;
    return false;
}

void CDEvents::deliver()
{
    using namespace CDEventFlags;
    std::vector<Pending> batch;
    if (batch_.size() > kMostEventsPerDelivery) {
        // A slice now, the rest on the next turn of the event loop.
        batch.assign(std::make_move_iterator(batch_.begin()),
                     std::make_move_iterator(batch_.begin() + kMostEventsPerDelivery));
        batch_.erase(batch_.begin(), batch_.begin() + kMostEventsPerDelivery);
    } else {
        batch = std::move(batch_);
        batch_.clear();
    }
    lastDelivery_ = QDateTime::currentMSecsSinceEpoch();
    constexpr uint32_t itemBits = ItemCreated | ItemRemoved | ItemInodeMetaMod | ItemRenamed | ItemModified |
                                  ItemFinderInfoMod | ItemChangeOwner | ItemXattrMod | ItemIsFile | ItemIsDir |
                                  ItemIsSymlink;
    if (!(flags_ & CDEventsStreamFlags::FileEvents)) {
        // Without single-item events, the folder that changed is reported once.
        std::vector<Pending> folders;
        std::unordered_set<std::string> seen;
        for (Pending& p : batch) {
            if (p.flags & itemBits) {
                p.path = kz::parentPath(p.path);
                p.flags &= ~itemBits;
            }
            if (seen.insert(p.path + '\0' + std::to_string(p.flags)).second) folders.push_back(std::move(p));
        }
        batch = std::move(folders);
    }
    QPointer<CDEvents> guard(this);
    const QDateTime now = QDateTime::currentDateTime();
    std::vector<CDEventPtr> events;
    events.reserve(batch.size());
    for (Pending& p : batch) {
        if (ignoreSubDirs_) {
            if (std::find(watched_.begin(), watched_.end(), p.path) == watched_.end()) continue;
        } else if (isExcluded(p.path)) {
            continue;
        }
        events.push_back(CDEvent::eventWithIdentifier(nextEventIdentifier++, now, std::move(p.path), p.flags));
    }
    if (batchBlock_) {
        if (!events.empty()) {
            {
                std::lock_guard lock(lastMutex_);
                lastEvent_ = events.back();
            }
            const BatchBlock block = batchBlock_;
            block(*this, events);
        }
    } else {
        for (const CDEventPtr& event : events) {
            {
                std::lock_guard lock(lastMutex_);
                lastEvent_ = event;
            }
            const EventBlock block = eventBlock_;
            block(*this, event);
            if (!guard || !watches_) return; // destroyed or stopped by the block
        }
    }
    if (guard && watches_ && !batch_.empty() && latencyTimer_ && !latencyTimer_->isActive()) latencyTimer_->start(0);
}

std::unique_ptr<CDEvents> CDEvents::copy() const
{
    // A listed set of folders was a snapshot: the copy finds them itself.
    CDEventsFolders folders;
    folders.skip = folders_.skip;
    folders.contentChanges = folders_.contentChanges;
    auto copy = std::make_unique<CDEvents>(watched_, eventBlock_, since_, latency_, ignoreSubDirs_, excluded_, flags_,
                                           std::move(folders));
    copy->setBatchBlock(batchBlock_);
    return copy;
}

std::vector<std::string> CDEvents::watchedPaths() const
{
    return watched_;
}

QList<QUrl> CDEvents::watchedURLs() const
{
    QList<QUrl> urls;
    for (const std::string& p : watched_) urls.push_back(QUrl::fromLocalFile(kz::pathToQString(p)));
    return urls;
}

std::vector<std::string> CDEvents::excludedPaths() const
{
    return excluded_;
}

QList<QUrl> CDEvents::excludedURLs() const
{
    QList<QUrl> urls;
    for (const std::string& p : excluded_) urls.push_back(QUrl::fromLocalFile(kz::pathToQString(p)));
    return urls;
}

CDEventPtr CDEvents::lastEvent() const
{
    std::lock_guard lock(lastMutex_);
    return lastEvent_;
}

std::string CDEvents::description() const
{
    char head[64];
    std::snprintf(head, sizeof head, "<CDEvents: %p { watchedURLs = (", static_cast<const void*>(this));
    std::string out = head;
    for (size_t i = 0; i < watched_.size(); ++i) {
        if (i) out += ", ";
        out += QUrl::fromLocalFile(kz::pathToQString(watched_[i])).toString().toStdString();
    }
    return out + ") }>";
}
