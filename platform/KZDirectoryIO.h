#pragma once
// Low-level folder access on descriptors, shared by every walk of the program (scanner, the
// serial walks' kz::FolderStack, Trash): reading a folder's entries, opening folders without
// following a link, opening paths longer than PATH_MAX, an item's identity (device and inode)
// and mount, the rename that never replaces, and the access the system grants.

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kz {

// An item as the system identifies it: the device (as deviceOf gives it) and inode.
struct ItemIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    friend bool operator==(const ItemIdentity&, const ItemIdentity&) = default;
};

// Reads every entry name of the open folder (without "." and ".."), appending each as a
// NUL-terminated string, preceded by its d_type byte when withTypes is set. Returns 0 or
// an errno value.
int readDirectoryEntries(int dirFd, std::vector<char>& out, bool withTypes);
inline int readDirectoryNames(int dirFd, std::vector<char>& names)
{
    return readDirectoryEntries(dirFd, names, false);
}

// Opens a folder entry without following a link; -1 (errno set) otherwise.
int openDirectoryAt(int dirFd, const char* name);

enum class FollowLinks { AllButFinal, All };
// Opens the folder at an absolute path of any length (pieces under PATH_MAX at a time);
// links are followed in every component but the last, or in all of them. -1 (errno set)
// otherwise; EINVAL for a relative path.
int openDirectoryPath(const std::string& path, FollowLinks follow = FollowLinks::AllButFinal);

// statx of the item at an absolute path of any length, never following a final link (links
// in the folders above are followed, as lstat does): 0 or the errno value. Paths longer than
// PATH_MAX go through a descriptor of the folder that holds the item; a folder on the way
// that is missing or not a folder gives ENOENT, as nothing is at the path then.
int statPath(const std::string& path, unsigned mask, struct statx& st);

// The identities (device, inode) of the open folder and of every folder above it up to "/",
// nearest first, found by walking ".." on descriptors (mounts included), so they are what is
// there whatever path led to the folder. Stops after 4096 levels.
std::vector<std::pair<uint64_t, uint64_t>> foldersAtAndAbove(int dirFd);

// The path of an open item as the system names it now (links resolved); "" when it has none
// (or it is too long to be named).
std::string currentPathOf(int fd);

// Device numbers as the program compares them: (major << 32) | minor.
inline uint64_t deviceOf(const struct statx& st)
{
    return (uint64_t(st.stx_dev_major) << 32) | st.stx_dev_minor;
}
inline uint64_t deviceOf(const struct stat& st)
{
    return (uint64_t(major(st.st_dev)) << 32) | minor(st.st_dev);
}
inline ItemIdentity identityOf(const struct statx& st)
{
    return {deviceOf(st), st.stx_ino};
}
inline ItemIdentity identityOf(const struct stat& st)
{
    return {deviceOf(st), st.st_ino};
}
// The identity of the item at an absolute path of any length, a final link not followed (as
// statPath looks); nullopt when nothing can be looked at there.
std::optional<ItemIdentity> identityOfPath(const std::string& path);

// The mount id of a statx record asked with STATX_MNT_ID; 0 when the system gave none.
inline uint64_t mountIdOf(const struct statx& st)
{
    return (st.stx_mask & STATX_MNT_ID) ? st.stx_mnt_id : 0;
}
// True when the two items lie on one mount: the same device and, where the system names
// mounts, the same mount (a bind mount of the same file system is another mount).
inline bool onSameMount(const struct statx& a, const struct statx& b)
{
    return deviceOf(a) == deviceOf(b) && (!mountIdOf(a) || !mountIdOf(b) || mountIdOf(a) == mountIdOf(b));
}

// Renames `from` in one open folder to `to` in another (or the same) without ever replacing
// an item at `to`: 0, EEXIST when something is there, or another errno value. On a file
// system without a rename that refuses to replace (EINVAL), it looks at `to` first and
// renames only when nothing is there. `toPath` names the destination to the fault layer,
// whose NoReplaceRename answer stands for the system's (EINVAL: no such rename here).
int renameNoReplace(int fromFd, const char* from, int toFd, const char* to, const std::string& toPath);

// Whether the system grants the process (its effective ids, access lists and the file
// system's own rules included) the access `mode` (R_OK and/or X_OK) to the entry `name` of
// the open folder, a final link not followed: 0 or the errno value (EACCES when refused).
// The fault layer may answer in the system's place: Read for R_OK, Search for X_OK, for the
// entry's path (`folderPath` joined with `name`; `folderPath` may be "" when no fault hook
// is installed).
int accessAt(int dirFd, const char* name, int mode, std::string_view folderPath);

} // namespace kz
