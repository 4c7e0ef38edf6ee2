#include "model/KZTreeWalker.h"

#include "model/KZMountTable.h"
#include "platform/KZPathString.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kz {

namespace {

constexpr unsigned kStatMask =
    STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_NLINK | STATX_MTIME | STATX_CTIME | STATX_BTIME;

struct Frame {
    int fd;
    uint64_t device;
    uint64_t inode;
    std::vector<char> names;
    size_t next = 0;
    size_t pathLength; // length of `path` for this folder
    struct statx st;   // the folder's own record (not used for the root)
    std::string name;  // the folder's name in its parent
};

} // namespace

int statEntry(int dirFd, const char* name, struct statx& st)
{
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, kStatMask, &st) != 0)
        return errno;
    return 0;
}

bool walkTree(const std::string& root, const TreeWalkCallbacks& callbacks, TreeWalkOptions options)
{
    const int fd = openDirectoryPath(root);
    if (fd < 0) return false;
    const bool ok = walkTreeAt(fd, root, callbacks, options);
    ::close(fd);
    return ok;
}

bool walkTreeAt(int rootFd, const std::string& rootPath, const TreeWalkCallbacks& callbacks,
                TreeWalkOptions options)
{
    struct stat rootSt {};
    if (::fstat(rootFd, &rootSt) != 0) return false;
    const uint64_t rootDevice = deviceOf(rootSt);

    std::string path = pathWithoutTrailingSlash(rootPath);

    std::vector<Frame> stack;
    stack.reserve(64);
    {
        Frame f{};
        f.fd = rootFd;
        f.device = rootDevice;
        f.inode = rootSt.st_ino;
        f.pathLength = path.size();
        if (int err = readDirectoryNames(rootFd, f.names)) {
            if (callbacks.failed) callbacks.failed(path, err);
        }
        stack.push_back(std::move(f));
    }
    size_t openCount = 0; // descriptors the walk opened itself (the root's is the caller's)
    std::optional<KZMountTable> mounts; // read when the first mount boundary is met
    std::optional<std::vector<std::pair<uint64_t, uint64_t>>> above; // the root and what holds it, read then too
    bool stopped = false;

    auto closeFrame = [&](Frame& f) {
        if (f.fd >= 0 && &f != &stack.front()) {
            ::close(f.fd);
            --openCount;
        }
        f.fd = -1;
    };

    while (!stack.empty() && !stopped) {
        Frame& top = stack.back();
        if (top.next >= top.names.size()) {
            // Leaving a folder: make sure its parent is open again, then report it.
            Frame done = std::move(stack.back());
            stack.pop_back();
            if (stack.empty()) break;
            Frame& parent = stack.back();
            if (parent.fd < 0) {
                const int up = ::openat(done.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                struct stat upSt {};
                if (up < 0 || ::fstat(up, &upSt) != 0 ||
                    deviceOf(upSt) != parent.device ||
                    upSt.st_ino != parent.inode) {
                    if (up >= 0) ::close(up);
                    if (callbacks.failed) callbacks.failed(path.substr(0, parent.pathLength), ESTALE);
                    ::close(done.fd);
                    --openCount;
                    return false;
                }
                parent.fd = up;
                ++openCount;
            }
            ::close(done.fd);
            --openCount;
            path.resize(parent.pathLength);
            path.push_back('/');
            path += done.name;
            if (callbacks.leave) {
                const WalkEntry entry{parent.fd, done.name.c_str(), path, done.st, stack.size()};
                if (callbacks.leave(entry) == WalkAction::Stop) stopped = true;
            }
            path.resize(parent.pathLength);
            continue;
        }

        const char* name = top.names.data() + top.next;
        top.next += std::strlen(name) + 1;
        path.resize(top.pathLength);
        path.push_back('/');
        path += name;

        struct statx st {};
        if (int err = statEntry(top.fd, name, st)) {
            if (err != ENOENT && callbacks.failed) callbacks.failed(path, err);
            continue;
        }
        const WalkEntry entry{top.fd, name, path, st, stack.size()};
        const WalkAction action = callbacks.visit ? callbacks.visit(entry) : WalkAction::Continue;
        if (action == WalkAction::Stop) {
            stopped = true;
            break;
        }
        if (action == WalkAction::Skip || !S_ISDIR(st.stx_mode)) continue;
        const uint64_t device = deviceOf(st);
        const bool boundary = device != top.device || (st.stx_attributes & STATX_ATTR_MOUNT_ROOT);
        if (options.stayOnDevice && device != rootDevice) continue;
        if (boundary || !(st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)) {
            bool loop = false;
            for (const Frame& f : stack) loop = loop || (f.device == device && f.inode == st.stx_ino);
            // A bind mount of a folder above the root leads out of the walked tree and back.
            if (!above) above = foldersAtAndAbove(rootFd);
            for (const auto& [d, i] : *above) loop = loop || (d == device && i == st.stx_ino);
            if (loop) continue;
        }
        if (boundary && options.skipPseudoFileSystems) {
            if (!mounts) mounts = KZMountTable::current();
            if (mounts->kindOfDevice(device) == KZMountTable::Kind::Pseudo) continue;
        }

        const int child = openDirectoryAt(top.fd, name);
        if (child < 0) {
            const int err = errno;
            if (err != ENOENT && callbacks.failed) callbacks.failed(path, err);
            if (callbacks.leave && callbacks.leave(entry) == WalkAction::Stop) stopped = true;
            continue;
        }
        if (boundary && options.skipPseudoFileSystems && !mounts->kindOfDevice(device) &&
            KZMountTable::kindOfOpenFolder(child) == KZMountTable::Kind::Pseudo) {
            ::close(child);
            continue;
        }
        struct stat childSt {};
        if (::fstat(child, &childSt) != 0 || childSt.st_ino != st.stx_ino ||
            deviceOf(childSt) != deviceOf(st)) {
            // Replaced between the look and the open.
            ::close(child);
            if (callbacks.failed) callbacks.failed(path, ESTALE);
            continue;
        }
        ++openCount;
        Frame f{};
        f.fd = child;
        f.device = deviceOf(st);
        f.inode = st.stx_ino;
        f.pathLength = path.size();
        f.st = st;
        f.name = name;
        if (int err = readDirectoryNames(child, f.names)) {
            if (callbacks.failed) callbacks.failed(path, err);
        }
        stack.push_back(std::move(f));
        // Bound the open descriptors: close the shallowest ones; they are reopened through
        // ".." (and checked) on the way back up.
        if (openCount > kWalkMaxOpenFolders) {
            for (size_t i = 1; i + 1 < stack.size() && openCount > kWalkMaxOpenFolders / 2; ++i)
                if (stack[i].fd >= 0) closeFrame(stack[i]);
        }
    }
    for (size_t i = 1; i < stack.size(); ++i) closeFrame(stack[i]);
    return !stopped;
}

uint64_t deepSizeOfFolder(const std::string& root)
{
    uint64_t total = 0;
    TreeWalkCallbacks cb;
    cb.visit = [&](const WalkEntry& e) {
        if (!S_ISDIR(e.st.stx_mode)) total += e.st.stx_size;
        return WalkAction::Continue;
    };
    walkTree(root, cb);
    return total;
}

} // namespace kz
