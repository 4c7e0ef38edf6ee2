#include "model/KZTreeWalker.h"

#include "platform/KZFolderStack.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kz {

namespace {

constexpr unsigned kStatMask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_NLINK | STATX_MTIME |
                               STATX_CTIME | STATX_BTIME | STATX_MNT_ID;

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

bool walkTreeAt(int rootFd, const std::string& rootPath, const TreeWalkCallbacks& callbacks, TreeWalkOptions options)
{
    FolderGuards guards;
    guards.mounts = options.stayOnDevice ? MountRule::StayOnDevice : MountRule::Cross;
    guards.skipPseudoFileSystems = options.skipPseudoFileSystems;
    FolderStack stack(kWalkMaxOpenFolders, guards, false);
    if (stack.start(rootFd, rootPath, false) != 0) return false;
    auto failed = [&](const std::string& path, int error) {
        if (callbacks.failed) callbacks.failed(path, error);
    };
    if (stack.top().listError) failed(stack.path(), stack.top().listError);
    // The record of each folder on the stack, as its parent listed it (the root's unused).
    std::vector<struct statx> records(1);

    for (;;) {
        const char* name = stack.nextEntry();
        if (!name) {
            if (stack.depth() == 1) return true;
            if (!stack.leave()) {
                failed(stack.path(), ESTALE);
                return false;
            }
            if (callbacks.leave) {
                const WalkEntry entry{stack.top().fd, stack.left().name.c_str(), stack.path(), records[stack.depth()],
                                      stack.depth()};
                if (callbacks.leave(entry) == WalkAction::Stop) return false;
            }
            continue;
        }
        struct statx st {};
        if (int err = statEntry(stack.top().fd, name, st)) {
            if (err != ENOENT) failed(stack.path(), err);
            continue;
        }
        const WalkEntry entry{stack.top().fd, name, stack.path(), st, stack.depth()};
        const WalkAction action = callbacks.visit ? callbacks.visit(entry) : WalkAction::Continue;
        if (action == WalkAction::Stop) return false;
        if (action == WalkAction::Skip || !S_ISDIR(st.stx_mode)) continue;
        switch (stack.enter(name, &st)) {
        case EnterResult::Entered:
            if (records.size() < stack.depth()) records.resize(stack.depth());
            records[stack.depth() - 1] = st;
            if (stack.top().listError) failed(stack.path(), stack.top().listError);
            break;
        case EnterResult::Failed:
            if (stack.error() != ENOENT) failed(stack.path(), stack.error());
            if (callbacks.leave && callbacks.leave(entry) == WalkAction::Stop) return false;
            break;
        case EnterResult::Replaced:
            failed(stack.path(), ESTALE);
            break;
        case EnterResult::OtherMount:
        case EnterResult::PseudoFileSystem:
        case EnterResult::Loop:
            break; // not part of the walk
        }
    }
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
