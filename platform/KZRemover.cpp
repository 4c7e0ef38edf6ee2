#include "platform/KZRemover.h"

#include "platform/KZDirectoryIO.h"
#include "platform/KZFileFaults.h"
#include "platform/KZFileIdentity.h"
#include "platform/KZFolderStack.h"
#include "platform/KZRemovalRegistry.h"
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

class Removal {
public:
    Removal(RemovalResult& result, const RemovalProgress& progress) : result_(result), progress_(progress) {}

    void fail(const std::string& path, int error) { result_.failures.push_back({path, error}); }
    // The entries this removal has removed so far.
    uint64_t removedEntries() const { return entries_; }

    // Removes the folder `name` in `parentFd` (already checked: `checked`) with everything in
    // it. Answers 0, or the errno value that leaves it in place.
    int removeFolder(int parentFd, const std::string& path, const char* name, const FileIdentity& checked)
    {
        const int rootFd = openDirectoryAt(parentFd, name);
        if (rootFd < 0) return errno;
        {
            struct statx opened {};
            if (statAt(rootFd, "", AT_EMPTY_PATH, opened) != 0 || !isSameFile(checked, rootFd, "", opened, true)) {
                ::close(rootFd);
                return ESTALE; // replaced between the look and the open
            }
        }
        if (int err = stack_.start(rootFd, path, true)) return err;
        failedInside_.assign(1, false);
        if (int err = stack_.top().listError) {
            fail(path, err);
            failedInside_[0] = true;
        }
        const bool whole = walk();
        const bool failedInside = failedInside_[0];
        stack_.clear();
        if (!whole) return ENOTEMPTY;
        return removeEmptied(parentFd, path, name, failedInside);
    }

private:
    // Removes an emptied folder; a folder that kept something gives ENOTEMPTY without a
    // failure of its own (the inner one is reported). A faked refusal is judged as the
    // system's would be.
    int removeEmptied(int parentFd, const std::string& path, const char* name, bool failedInside)
    {
        int err = fileFault(FileOperation::RemoveDirectory, path);
        if (!err) {
            if (::unlinkat(parentFd, name, AT_REMOVEDIR) == 0) {
                removedEntry();
                return 0;
            }
            err = errno;
            if (err == ENOENT) return 0;
        }
        // A folder that still holds something: ENOTEMPTY, or EEXIST where the system says so.
        if (failedInside && (err == ENOTEMPTY || err == EEXIST)) return ENOTEMPTY;
        fail(path, err);
        return err;
    }

    // Unlinks a file or link that frees `size` bytes when it goes; they count as removed only
    // when this call removed it.
    int unlinkFile(int dirFd, const char* name, uint64_t size)
    {
        if (hasFileFaultHook()) {
            if (int fault = fileFault(FileOperation::Unlink, stack_.path())) return fault;
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

    // Something in the folder on top could not be removed.
    void failInside(int error)
    {
        fail(stack_.path(), error);
        failedInside_[stack_.depth() - 1] = true;
    }

    // Walks the folders on the stack depth first, removing as it goes. False when it had to
    // stop (a folder above could not be found again).
    bool walk()
    {
        for (;;) {
            unsigned char type = DT_UNKNOWN;
            const char* name = stack_.nextEntry(&type);
            if (!name) {
                if (stack_.depth() == 1) return true;
                if (!leaveFolder()) return false;
                continue;
            }
            const int dirFd = stack_.top().fd;
            bool isFolder = type == DT_DIR;
            uint64_t size = 0;
            if (!isFolder) {
                // Files are looked at for their size and links (what the removal frees),
                // folders not.
                struct statx st {};
                if (int err = statAt(dirFd, name, AT_SYMLINK_NOFOLLOW, st)) {
                    if (err != ENOENT) failInside(err);
                    continue;
                }
                isFolder = S_ISDIR(st.stx_mode);
                size = bytesFreedByUnlink(st);
            }
            if (!isFolder) {
                int err = unlinkFile(dirFd, name, size);
                if (err == EISDIR || err == EPERM) {
                    // EPERM is what some systems answer for a folder; look again.
                    struct statx st {};
                    if (statAt(dirFd, name, AT_SYMLINK_NOFOLLOW, st) == 0 && S_ISDIR(st.stx_mode)) {
                        isFolder = true;
                        err = 0;
                    }
                }
                if (!isFolder) {
                    if (err) failInside(err);
                    continue;
                }
            }
            enterFolder(name);
        }
    }

    void enterFolder(const char* name)
    {
        switch (stack_.enter(name)) {
        case EnterResult::Entered:
            if (failedInside_.size() < stack_.depth()) failedInside_.resize(stack_.depth());
            failedInside_[stack_.depth() - 1] = false;
            if (int err = stack_.top().listError) failInside(err);
            return;
        case EnterResult::OtherMount:
        case EnterResult::Loop:
        case EnterResult::PseudoFileSystem:
            // Another file system is mounted here: it is not part of the item.
            failInside(EXDEV);
            return;
        case EnterResult::Replaced:
        case EnterResult::Failed:
            break;
        }
        const int err = stack_.error();
        if (err == ENOENT) return;
        if (err == ENOTDIR || err == ELOOP) {
            // It became a file or link since it was listed: remove that.
            const int dirFd = stack_.top().fd;
            struct statx st {};
            const uint64_t size = statAt(dirFd, name, AT_SYMLINK_NOFOLLOW, st) == 0 ? bytesFreedByUnlink(st) : 0;
            if (int e = unlinkFile(dirFd, name, size)) failInside(e);
            return;
        }
        failInside(err);
    }

    // The folder on top is done: remove it from its parent.
    bool leaveFolder()
    {
        if (!stack_.leave()) {
            // The tree was moved under us: stop rather than remove anything elsewhere.
            fail(stack_.path(), ESTALE);
            return false;
        }
        const size_t level = stack_.depth();
        if (removeEmptied(stack_.top().fd, stack_.path(), stack_.left().name.c_str(), failedInside_[level]) != 0)
            failedInside_[level - 1] = true;
        return true;
    }

    RemovalResult& result_;
    const RemovalProgress& progress_;
    uint64_t entries_ = 0;
    // Nothing on another mount than the item's is part of it.
    FolderStack stack_{kRemovalMaxOpenFolders, FolderGuards{MountRule::StayOnMount, false}, true};
    std::vector<unsigned char> failedInside_; // for each folder on the stack: something in it stayed
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

constexpr std::string_view kAsidePrefix = ".sizemere-removing-";

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
    std::snprintf(name, sizeof name, "%s%016llx", kAsidePrefix.data(), static_cast<unsigned long long>(bits));
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
            KZSelfChange movedBack(path, KZChange::RenamedTo);
            if (int e = renameNoReplace(parentFd, aside.c_str(), parentFd, name.c_str(), path)) {
                // Something else took the name meanwhile: the item stays under the private name.
                movedBack.discard();
                result.failures.push_back({asidePath, e});
            }
            return reason;
        };
        struct statx moved {};
        if (int e = statAt(parentFd, aside.c_str(), AT_SYMLINK_NOFOLLOW, moved))
            return e == ENOENT ? ENOENT : putBack(e);
        if ((moved.stx_mode & S_IFMT) != (st.stx_mode & S_IFMT) ||
            !isSameFile(checked, parentFd, aside.c_str(), moved, true))
            return putBack(ESTALE);
        int removed;
        if (folder) {
            // The watcher may not have seen the move (the system drops events when its queue
            // overflows): it then knows the folders inside by their old paths, and what goes
            // in them is reported there.
            KZSelfChange removedInside(path, KZChange::Removed);
            removed = removal.removeFolder(parentFd, path, aside.c_str(), checked);
            if (removal.removedEntries() == 0) removedInside.discard();
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
    if (folder) return removal.removeFolder(parentFd, path, name.c_str(), checked);
    if (int fault = fileFault(FileOperation::Unlink, path)) return fault;
    if (::unlinkat(parentFd, name.c_str(), 0) != 0) return errno == ENOENT ? 0 : errno;
    result.removedBytes += bytesFreedByUnlink(st);
    return 0;
}

} // namespace

bool isRemovalAsideName(std::string_view name)
{
    if (name.size() != kAsidePrefix.size() + 16 || name.substr(0, kAsidePrefix.size()) != kAsidePrefix) return false;
    return std::all_of(name.begin() + kAsidePrefix.size(), name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

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
        if (!err) {
            // Scans leave the item out from before its move until its removal has ended.
            KZRemovalMark removing(identityOf(st));
            err = removeCheckedItem(parentFd, folder, path, name, st, checked, result, progress);
        }
    }
    ::close(parentFd);
    return finish(err);
}

} // namespace kz
