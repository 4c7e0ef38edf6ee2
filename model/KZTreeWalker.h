#pragma once
// A serial, iterative walk over a folder on directory descriptors: never follows a link,
// never recurses on the tree's depth, keeps a bounded number of descriptors open however deep
// the tree is, and hands every entry to the caller with its statx record. Used for deep
// sizes, fingerprints, the watcher and the Trash's measure; it enters folders by the rules of
// kz::FolderStack, as the remover and the copier do. The scanner has a parallel walk of its
// own built on the same low-level helpers.

#include "platform/KZDirectoryIO.h"

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kz {

// The most folders a walk opens at once (the root's, which the caller owns, not counted),
// however deep the tree: past it, the shallowest are closed and reopened through ".." (and
// checked) on the way back up.
constexpr size_t kWalkMaxOpenFolders = 48;

// statx of the entry, never following a final link and never triggering an automount.
int statEntry(int dirFd, const char* name, struct statx& st);
inline bool isDirectoryMode(uint16_t mode)
{
    return S_ISDIR(mode);
}

struct WalkEntry {
    int parentFd;            // open folder that holds the entry
    const char* name;        // the entry's name in that folder
    const std::string& path; // the whole path (a folder's without a final "/")
    const struct statx& st;
    size_t depth; // 1 for the root's own entries
};

enum class WalkAction { Continue, Skip, Stop };

struct TreeWalkCallbacks {
    // Called for every entry before anything below it; Skip keeps the walk out of a folder.
    std::function<WalkAction(const WalkEntry&)> visit;
    // Called for a folder after everything below it (and after a folder it could not open).
    std::function<WalkAction(const WalkEntry&)> leave;
    // Called when an entry or folder can't be read or opened; the walk goes on.
    std::function<void(const std::string& path, int error)> failed;
};

struct TreeWalkOptions {
    bool stayOnDevice = false; // don't enter folders on another device than the root
    // Don't enter pseudo-file systems (proc, sysfs, ...) met at a mount boundary.
    bool skipPseudoFileSystems = true;
};

// Walks everything below the folder at `root` (the root itself is not visited). A folder that
// is one of its own ancestors, the root, or a folder above the root (a bind mount that leads
// back) is never entered. Returns
// false when the root can't be opened (errno set) or a callback stopped the walk.
bool walkTree(const std::string& root, const TreeWalkCallbacks& callbacks, TreeWalkOptions options = {});
// As above, starting from a folder descriptor the caller owns (it is not closed).
bool walkTreeAt(int rootFd, const std::string& rootPath, const TreeWalkCallbacks& callbacks,
                TreeWalkOptions options = {});

// Sum of the logical sizes of every non-folder item below the folder (links their own size).
uint64_t deepSizeOfFolder(const std::string& root);

} // namespace kz
