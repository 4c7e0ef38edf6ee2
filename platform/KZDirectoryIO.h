#pragma once
// Low-level folder access on descriptors, shared by every walk of the program (scanner, deep
// sizes, remover, copier): reading a folder's entries, opening folders without following a
// link, opening paths longer than PATH_MAX, and the device number of a statx record.

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kz {

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
inline uint64_t deviceOf(const struct statx& st) { return (uint64_t(st.stx_dev_major) << 32) | st.stx_dev_minor; }
inline uint64_t deviceOf(const struct stat& st) { return (uint64_t(major(st.st_dev)) << 32) | minor(st.st_dev); }

} // namespace kz
