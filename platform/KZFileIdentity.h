#pragma once
// An item's identity: what tells the item that was looked at (scanned, checked) from another
// one that took its place at the same path. Device and inode alone are not enough: a file
// system hands a deleted file's inode number to the next file it makes, often at once (ext4
// does). So the identity adds what a reused inode number does not keep, the first of these
// the file system has:
// - the birth time (statx's stx_btime, to the nanosecond): a new inode is born later;
// - the file handle (name_to_handle_at), which holds the inode's generation on every file
//   system that can export its files; kept as a 64-bit digest;
// - the status-change time (stx_ctime, to the nanosecond): a new inode can't share the old
//   one's, but it also moves with every change of the item itself (its content, permissions,
//   owner, links, a folder's entries), so such an item counts as another one, and is refused,
//   until it is scanned again.
// The scanner's records, the remover, the Trash, the deletion engine and the compressor all
// use this one type and compare with isSameFile.

#include "platform/KZDirectoryIO.h"

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

namespace kz {

enum class IdentityStamp : uint8_t {
    None = 0,       // device and inode only: nothing more was recorded
    BirthTime = 1,  // stamp: the birth time, nanoseconds since the epoch
    Handle = 2,     // stamp: a digest of the file handle (inode and generation)
    ChangeTime = 3, // stamp: the status-change time, nanoseconds since the epoch
};

struct FileIdentity {
    uint64_t device = 0; // as deviceOf gives it
    uint64_t inode = 0;
    IdentityStamp kind = IdentityStamp::None;
    int64_t stamp = 0; // 0 with IdentityStamp::None
    ItemIdentity item() const { return {device, inode}; }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The statx fields an identity is made from; every statx record handed to the functions
// below must have been asked for them.
constexpr unsigned kFileIdentityMask = STATX_TYPE | STATX_INO | STATX_BTIME | STATX_CTIME;

// The birth time of a statx record in nanoseconds, when the file system gave one (a time of
// exactly 0 and times past the year 2255 count as none).
std::optional<int64_t> birthTimeOf(const struct statx& st);

// The identity of the entry `name` of the open folder `dirFd` (or, with name "", of the open
// item `dirFd` itself), whose statx record is `st`. Costs nothing beyond `st` where the file
// system keeps birth times; otherwise one name_to_handle_at.
FileIdentity fileIdentityAt(int dirFd, const char* name, const struct statx& st);
// The identity of the item at an absolute path of any length, a final link not followed;
// nullopt when nothing can be looked at there.
std::optional<FileIdentity> fileIdentityOfPath(const std::string& path);
// The identity of an open item.
std::optional<FileIdentity> fileIdentityOfDescriptor(int fd);

// True when the entry `name` of `dirFd` (name "": `dirFd` itself), whose statx record is `st`,
// is the item `recorded` describes. With `afterOwnMove`, the entry was just renamed by the
// caller (which changes its status-change time): a change-time stamp is then not compared,
// the rest is.
bool isSameFile(const FileIdentity& recorded, int dirFd, const char* name, const struct statx& st,
                bool afterOwnMove = false);
// The same for the item at an absolute path of any length whose statx record is `st`.
bool isSameFileAtPath(const FileIdentity& recorded, const std::string& path, const struct statx& st);

// Keeps the checked item open (O_PATH) while the caller removes or moves it, where only its
// change time tells it from another item: while it is held, its inode number can't be handed
// to a new file, so the look after the caller's own rename (which changes the change time)
// can rely on device and inode. Elsewhere it holds nothing.
class HeldItem {
public:
    HeldItem() = default;
    HeldItem(const HeldItem&) = delete;
    HeldItem& operator=(const HeldItem&) = delete;
    ~HeldItem();
    // 0; ESTALE when the entry `name` of `dirFd` is no longer the item `checked` describes;
    // or the errno value of the open.
    int hold(int dirFd, const char* name, const FileIdentity& checked);

private:
    int fd_ = -1;
};

// Tests: makes identities as on a file system that keeps no birth times, and with
// noFileHandles, none that gives file handles either (the last resort, the change time).
struct IdentityLimits {
    bool noBirthTimes = false;
    bool noFileHandles = false;
};
void setIdentityLimitsForTesting(IdentityLimits limits);

} // namespace kz
