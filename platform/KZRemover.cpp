#include "platform/KZRemover.h"

#include "platform/KZDirectoryIO.h"
#include "platform/KZFileFaults.h"
#include "platform/KZFileIdentity.h"
#include "platform/KZSelfChangeRegistry.h"
#include "platform/KZUserDatabase.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kz {

namespace {

constexpr unsigned kIdentityMask = kFileIdentityMask | STATX_MNT_ID | STATX_SIZE | STATX_NLINK;

int statAt(int dirFd, const char* name, int flags, struct statx& st)
{
    return ::statx(dirFd, name, flags | AT_NO_AUTOMOUNT, kIdentityMask, &st) == 0 ? 0 : errno;
}

// The bytes that leave the disk when the entry described by `st` is unlinked: its logical
// size when this is its last name, else nothing (another name keeps them).
uint64_t bytesFreedByUnlink(const struct statx& st)
{
    return st.stx_nlink <= 1 ? st.stx_size : 0;
}

// The identities of "/", the home folders and the folders above them, read again at most
// every two seconds, and at once when the homes change.
struct ProtectedFolders {
    std::mutex mutex;
    std::vector<ItemIdentity> identities;
    std::chrono::steady_clock::time_point readAt{};
    std::vector<std::string> homes; // the user's homes when they were read
};

void addIdentity(std::vector<ItemIdentity>& out, const std::string& path)
{
    struct statx st {};
    if (::statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_INO, &st) == 0) out.push_back(identityOf(st));
}

std::vector<ItemIdentity> readProtectedFolders()
{
    std::vector<ItemIdentity> out;
    for (const char* p : {"/", "/home", "/Users", "/root"}) addIdentity(out, p);
    // The user's own home (as the user database and as $HOME name it) and every folder above it.
    for (const std::string& folder : homeFoldersAndTheFoldersAbove()) addIdentity(out, folder);
    for (const char* base : {"/home", "/Users"}) {
        const int fd = openFolder(base);
        if (fd < 0) continue;
        std::vector<char> entries;
        readDirectoryEntries(fd, entries, true);
        for (size_t pos = 0; pos < entries.size();) {
            const char* name = entries.data() + pos + 1;
            pos += std::strlen(name) + 2;
            struct statx st {};
            if (::statx(fd, name, AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO, &st) == 0 && S_ISDIR(st.stx_mode))
                out.push_back(identityOf(st));
        }
        ::close(fd);
    }
    return out;
}

struct Frame {
    int fd = -1;
    ItemIdentity identity;
    std::vector<char> entries;
    size_t next = 0;
    size_t pathLength = 0;
    std::string name; // the folder's name in its parent
    bool failedInside = false;
};

class Removal {
public:
    Removal(RemovalResult& result, const RemovalProgress& progress) : result_(result), progress_(progress) {}

    void fail(const std::string& path, int error) { result_.failures.push_back({path, error}); }

    // Removes the folder `name` in `parentFd` (already checked: `checked`, described by `st`)
    // with everything in it. Answers 0, or the errno value that leaves it in place.
    int removeFolder(int parentFd, const std::string& path, const char* name, const struct statx& st,
                     const FileIdentity& checked)
    {
        root_ = st;
        const int rootFd = openDirectoryAt(parentFd, name);
        if (rootFd < 0) return errno;
        {
            struct statx opened {};
            if (statAt(rootFd, "", AT_EMPTY_PATH, opened) != 0 || !isSameFile(checked, rootFd, "", opened, true)) {
                ::close(rootFd);
                return ESTALE; // replaced between the look and the open
            }
        }
        path_ = path;
        Frame root;
        root.fd = rootFd;
        root.identity = identityOf(st);
        root.pathLength = path_.size();
        root.name = name;
        if (int err = readDirectoryEntries(rootFd, root.entries, true)) {
            fail(path_, err);
            root.failedInside = true;
        }
        stack_.push_back(std::move(root));
        open_ = 1;
        const bool whole = walk();
        for (Frame& f : stack_)
            if (f.fd >= 0) ::close(f.fd);
        if (!whole) return ENOTEMPTY;
        return removeEmptied(parentFd, path, name, lastRootFailedInside_);
    }

private:
    // Removes an emptied folder; a folder that kept something gives ENOTEMPTY without a
    // failure of its own (the inner one is reported).
    int removeEmptied(int parentFd, const std::string& path, const char* name, bool failedInside)
    {
        if (int fault = fileFault(FileOperation::RemoveDirectory, path)) {
            fail(path, fault);
            return fault;
        }
        if (::unlinkat(parentFd, name, AT_REMOVEDIR) == 0) {
            removedEntry();
            return 0;
        }
        const int err = errno;
        if (err == ENOENT) return 0;
        if (failedInside && (err == ENOTEMPTY || err == EEXIST)) return ENOTEMPTY;
        fail(path, err);
        return err;
    }

    // Unlinks a file or link that frees `size` bytes when it goes; they count as removed only
    // when this call removed it.
    int unlinkFile(int dirFd, const char* name, uint64_t size)
    {
        if (hasFileFaultHook()) {
            if (int fault = fileFault(FileOperation::Unlink, path_)) return fault;
        }
        if (::unlinkat(dirFd, name, 0) == 0) {
            result_.removedBytes += size;
            removedEntry();
            return 0;
        }
        return errno == ENOENT ? 0 : errno;
    }

    void removedEntry()
    {
        if (++entries_ % kRemovalProgressEvery == 0 && progress_) progress_(entries_, result_.removedBytes);
    }

    // Walks the folders on the stack depth first, removing as it goes. False when it had to
    // stop (a folder above could not be found again).
    bool walk()
    {
        while (!stack_.empty()) {
            Frame& top = stack_.back();
            if (top.next >= top.entries.size()) {
                if (stack_.size() == 1) {
                    lastRootFailedInside_ = top.failedInside;
                    return true;
                }
                if (!leaveFolder()) return false;
                continue;
            }
            const unsigned char type = static_cast<unsigned char>(top.entries[top.next]);
            const char* name = top.entries.data() + top.next + 1;
            top.next += std::strlen(name) + 2;
            path_.resize(top.pathLength);
            path_.push_back('/');
            path_ += name;

            bool isFolder = type == DT_DIR;
            uint64_t size = 0;
            if (!isFolder) {
                // Files are looked at for their size and links (what the removal frees),
                // folders not.
                struct statx st {};
                if (int err = statAt(top.fd, name, AT_SYMLINK_NOFOLLOW, st)) {
                    if (err != ENOENT) {
                        fail(path_, err);
                        top.failedInside = true;
                    }
                    continue;
                }
                isFolder = S_ISDIR(st.stx_mode);
                size = bytesFreedByUnlink(st);
            }
            if (!isFolder) {
                int err = unlinkFile(top.fd, name, size);
                if (err == EISDIR || err == EPERM) {
                    // EPERM is what some systems answer for a folder; look again.
                    struct statx st {};
                    if (statAt(top.fd, name, AT_SYMLINK_NOFOLLOW, st) == 0 && S_ISDIR(st.stx_mode)) {
                        isFolder = true;
                        err = 0;
                    }
                }
                if (!isFolder) {
                    if (err) {
                        fail(path_, err);
                        top.failedInside = true;
                    }
                    continue;
                }
            }
            enterFolder(top, name);
        }
        return true;
    }

    void enterFolder(Frame& parent, const char* name)
    {
        const int fd = openDirectoryAt(parent.fd, name);
        if (fd < 0) {
            const int err = errno;
            if (err == ENOENT) return;
            if (err == ENOTDIR || err == ELOOP) {
                // It became a file or link since it was listed: remove that.
                struct statx st {};
                const uint64_t size = statAt(parent.fd, name, AT_SYMLINK_NOFOLLOW, st) == 0 ? bytesFreedByUnlink(st) : 0;
                if (int e = unlinkFile(parent.fd, name, size)) {
                    fail(path_, e);
                    parent.failedInside = true;
                }
                return;
            }
            fail(path_, err);
            parent.failedInside = true;
            return;
        }
        struct statx st {};
        if (int err = statAt(fd, "", AT_EMPTY_PATH, st)) {
            ::close(fd);
            fail(path_, err);
            parent.failedInside = true;
            return;
        }
        if (!onSameMount(st, root_)) {
            // Another file system is mounted here: it is not part of the item.
            ::close(fd);
            fail(path_, EXDEV);
            parent.failedInside = true;
            return;
        }
        Frame f;
        f.fd = fd;
        f.identity = identityOf(st);
        f.pathLength = path_.size();
        f.name = name;
        if (int err = readDirectoryEntries(fd, f.entries, true)) {
            fail(path_, err);
            f.failedInside = true;
        }
        stack_.push_back(std::move(f));
        if (++open_ > kRemovalMaxOpenFolders) {
            // Keep the number of open folders bounded however deep the tree is: close the
            // shallowest ones; they are found again through ".." on the way back up.
            for (size_t i = 1; i + 1 < stack_.size() && open_ > kRemovalMaxOpenFolders / 2; ++i) {
                if (stack_[i].fd >= 0) {
                    ::close(stack_[i].fd);
                    stack_[i].fd = -1;
                    --open_;
                }
            }
        }
    }

    // The folder on top is done: remove it from its parent.
    bool leaveFolder()
    {
        Frame done = std::move(stack_.back());
        stack_.pop_back();
        Frame& parent = stack_.back();
        if (parent.fd < 0) {
            const int up = ::openat(done.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct statx st {};
            if (up < 0 || statAt(up, "", AT_EMPTY_PATH, st) != 0 || identityOf(st) != parent.identity) {
                // The tree was moved under us: stop rather than remove anything elsewhere.
                if (up >= 0) ::close(up);
                ::close(done.fd);
                --open_;
                fail(path_.substr(0, parent.pathLength), ESTALE);
                return false;
            }
            parent.fd = up;
            ++open_;
        }
        ::close(done.fd);
        --open_;
        path_.resize(parent.pathLength);
        path_.push_back('/');
        path_ += done.name;
        if (removeEmptied(parent.fd, path_, done.name.c_str(), done.failedInside) != 0) parent.failedInside = true;
        return true;
    }

    RemovalResult& result_;
    const RemovalProgress& progress_;
    uint64_t entries_ = 0;
    std::vector<Frame> stack_;
    std::string path_;
    struct statx root_ {}; // the item being removed: nothing on another mount is part of it
    size_t open_ = 0;
    bool lastRootFailedInside_ = false;
};

} // namespace

int checkRemovablePath(std::string_view path)
{
    if (path.empty() || path.front() != '/') return EINVAL;
    for (size_t pos = 0; pos < path.size();) {
        const size_t end = std::min(path.find('/', pos), path.size());
        const std::string_view part = path.substr(pos, end - pos);
        if (part == "." || part == "..") return EINVAL;
        pos = end + 1;
    }
    return isHomeFolderOrAncestor(path) ? EPERM : 0;
}

bool isProtectedFolder(const ItemIdentity& identity)
{
    static ProtectedFolders cache;
    std::lock_guard lock(cache.mutex);
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::string> homes = homeDirectoriesOfCurrentUser();
    if (cache.identities.empty() || now - cache.readAt > std::chrono::seconds(2) || homes != cache.homes) {
        cache.identities = readProtectedFolders();
        cache.readAt = now;
        cache.homes = std::move(homes);
    }
    return std::find(cache.identities.begin(), cache.identities.end(), identity) != cache.identities.end();
}

int openFolder(const std::string& path)
{
    return openDirectoryPath(path, FollowLinks::All);
}

namespace {

// A name of the program's own in the item's folder: the item is set aside under it before it
// is removed, so what is removed is the item that was checked.
std::string asideName()
{
    static std::atomic<uint64_t> counter{0};
    uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != ssize_t(sizeof bits))
        bits = (uint64_t(::getpid()) << 40) ^ uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    bits ^= counter.fetch_add(1, std::memory_order_relaxed);
    char name[40];
    std::snprintf(name, sizeof name, ".sizemere-removing-%016llx", static_cast<unsigned long long>(bits));
    return name;
}

// Errors of a file system that can't rename (in that way) rather than of this item.
bool isRenameUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Removes the checked item `name` (`checked`, described by `st`) from the open folder, whose
// path is `holder`. The item is first renamed to a private name in the same folder and looked at again
// there: another item put at the path after the check is moved back untouched (ESTALE), and an
// item that can't be removed whole is put back under its name.
int removeCheckedItem(int parentFd, const std::string& holder, const std::string& path, const std::string& name,
                      const struct statx& st, const FileIdentity& checked, RemovalResult& result,
                      const RemovalProgress& progress)
{
    const bool folder = S_ISDIR(st.stx_mode);
    Removal removal(result, progress);

    std::string aside;
    int err = EEXIST;
    for (int attempt = 0; attempt < 8 && err == EEXIST; ++attempt) {
        aside = asideName();
        const std::string asidePath = joinPath(holder, aside);
        // Marked just before the move: it takes the item away from its path, and everything
        // under the private name is the program's own.
        KZSelfChange movedAway(path, KZChange::RenamedFrom);
        KZSelfChange underAside(asidePath, KZChange::Any);
        err = fileFault(FileOperation::Rename, path);
        if (!err) err = renameNoReplace(parentFd, name.c_str(), parentFd, aside.c_str(), asidePath);
        if (err) {
            movedAway.discard();
            underAside.discard();
            continue;
        }
        // Set aside: make sure it is the item that was checked, then remove it.
        auto putBack = [&](int reason) {
            if (int e = renameNoReplace(parentFd, aside.c_str(), parentFd, name.c_str(), path)) {
                // Something else took the name meanwhile: the item stays under the private name.
                result.failures.push_back({asidePath, e});
            }
            return reason;
        };
        struct statx moved {};
        if (int e = statAt(parentFd, aside.c_str(), AT_SYMLINK_NOFOLLOW, moved)) return e == ENOENT ? ENOENT : putBack(e);
        if ((moved.stx_mode & S_IFMT) != (st.stx_mode & S_IFMT) || !isSameFile(checked, parentFd, aside.c_str(), moved, true))
            return putBack(ESTALE);
        int removed;
        if (folder) {
            removed = removal.removeFolder(parentFd, path, aside.c_str(), moved, checked);
        } else if (int fault = fileFault(FileOperation::Unlink, path)) {
            removed = fault;
        } else if (::unlinkat(parentFd, aside.c_str(), 0) == 0) {
            removed = 0;
            result.removedBytes += bytesFreedByUnlink(moved);
        } else {
            removed = errno == ENOENT ? 0 : errno;
        }
        return removed ? putBack(removed) : 0;
    }
    if (err == ENOENT) return ENOENT;
    // The item could not be renamed. A file needs the same permission to be removed, unless
    // the file system can't rename; a folder is emptied in place, on descriptors checked
    // against the item's identity, so that what can go goes.
    if (!folder && !isRenameUnsupported(err)) return err;
    KZSelfChange removing(path, KZChange::Removed);
    if (folder) return removal.removeFolder(parentFd, path, name.c_str(), st, checked);
    if (int fault = fileFault(FileOperation::Unlink, path)) return fault;
    if (::unlinkat(parentFd, name.c_str(), 0) != 0) return errno == ENOENT ? 0 : errno;
    result.removedBytes += bytesFreedByUnlink(st);
    return 0;
}

} // namespace

RemovalResult removeItemAtPath(std::string_view rawPath, const std::optional<FileIdentity>& expected,
                               const RemovalProgress& progress)
{
    RemovalResult result;
    const std::string path = pathWithoutTrailingSlash(rawPath);
    if (int err = checkRemovablePath(path)) {
        result.error = err;
        result.failures.push_back({path, err});
        return result;
    }
    const std::string folder = parentPath(path);
    const std::string name = path.substr(path.rfind('/') + 1);

    auto finish = [&](int err) {
        result.error = err;
        // The item's own failure is listed unless the inner ones explain it or it is there.
        const bool explained = err == ENOTEMPTY && !result.failures.empty();
        const bool listed = !result.failures.empty() && result.failures.back().path == path;
        if (err && !explained && !listed) result.failures.push_back({path, err});
        return result;
    };

    const int parentFd = openFolder(folder);
    if (parentFd < 0) return finish(errno);
    struct statx st {};
    int err = statAt(parentFd, name.c_str(), AT_SYMLINK_NOFOLLOW, st);
    if (!err && expected && !isSameFile(*expected, parentFd, name.c_str(), st)) err = ESTALE;
    if (!err && S_ISDIR(st.stx_mode) && isProtectedFolder(identityOf(st))) err = EPERM;
    if (!err && S_ISDIR(st.stx_mode)) {
        // A mounted volume is not a folder to empty: refused whole.
        struct statx parentSt {};
        if (statAt(parentFd, "", AT_EMPTY_PATH, parentSt) == 0 && !onSameMount(parentSt, st)) err = EXDEV;
    }
    if (!err) {
        const FileIdentity checked = expected ? *expected : fileIdentityAt(parentFd, name.c_str(), st);
        HeldItem held;
        err = held.hold(parentFd, name.c_str(), checked);
        if (!err) err = removeCheckedItem(parentFd, folder, path, name, st, checked, result, progress);
    }
    ::close(parentFd);
    return finish(err);
}

} // namespace kz
