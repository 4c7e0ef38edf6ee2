#include "platform/KZFileIdentity.h"

#include "platform/KZPathString.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kz {

namespace {

// Seconds beyond this can't be held in nanoseconds of 64 bits (the year 2255, and as far back).
constexpr int64_t kMaxSeconds = 9'000'000'000;

std::optional<int64_t> nanoseconds(const struct statx_timestamp& t)
{
    if (t.tv_sec > kMaxSeconds || t.tv_sec < -kMaxSeconds) return std::nullopt;
    return t.tv_sec * 1'000'000'000 + int64_t(t.tv_nsec);
}

std::atomic<bool> noBirthTimes{false};
std::atomic<bool> noFileHandles{false};

// A digest of the entry's file handle; nullopt when the file system gives none.
std::optional<int64_t> handleStamp(int dirFd, const char* name)
{
    if (noFileHandles.load(std::memory_order_relaxed)) return std::nullopt;
    union {
        struct file_handle handle;
        char bytes[sizeof(struct file_handle) + MAX_HANDLE_SZ];
    } buffer;
    buffer.handle.handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    const int flags = name && *name ? 0 : AT_EMPTY_PATH; // a final link is never followed
    if (::name_to_handle_at(dirFd, name ? name : "", &buffer.handle, &mountId, flags) != 0) return std::nullopt;
    // FNV-1a over the handle's type and bytes.
    uint64_t h = 14695981039346656037ull;
    auto mix = [&h](unsigned char c) {
        h ^= c;
        h *= 1099511628211ull;
    };
    for (size_t i = 0; i < sizeof buffer.handle.handle_type; ++i)
        mix(reinterpret_cast<const unsigned char*>(&buffer.handle.handle_type)[i]);
    const auto* data = reinterpret_cast<const unsigned char*>(buffer.bytes) + offsetof(struct file_handle, f_handle);
    for (unsigned i = 0; i < buffer.handle.handle_bytes && i < MAX_HANDLE_SZ; ++i) mix(data[i]);
    const int64_t stamp = int64_t(h);
    return stamp == INT64_MIN ? INT64_MIN + 1 : stamp; // INT64_MIN is the records' "no time"
}

std::optional<int64_t> changeTimeOf(const struct statx& st)
{
    return (st.stx_mask & STATX_CTIME) ? nanoseconds(st.stx_ctime) : std::nullopt;
}

} // namespace

std::optional<int64_t> birthTimeOf(const struct statx& st)
{
    if (noBirthTimes.load(std::memory_order_relaxed)) return std::nullopt;
    if (!(st.stx_mask & STATX_BTIME) || (st.stx_btime.tv_sec == 0 && st.stx_btime.tv_nsec == 0)) return std::nullopt;
    return nanoseconds(st.stx_btime);
}

FileIdentity fileIdentityAt(int dirFd, const char* name, const struct statx& st)
{
    FileIdentity id;
    id.device = deviceOf(st);
    id.inode = st.stx_ino;
    if (auto birth = birthTimeOf(st)) {
        id.kind = IdentityStamp::BirthTime;
        id.stamp = *birth;
    } else if (auto handle = handleStamp(dirFd, name)) {
        id.kind = IdentityStamp::Handle;
        id.stamp = *handle;
    } else if (auto change = changeTimeOf(st)) {
        id.kind = IdentityStamp::ChangeTime;
        id.stamp = *change;
    }
    return id;
}

std::optional<FileIdentity> fileIdentityOfPath(const std::string& rawPath)
{
    const std::string path = pathWithoutTrailingSlash(rawPath);
    if (path.empty() || path[0] != '/') return std::nullopt;
    if (path == "/") {
        const int root = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (root < 0) return std::nullopt;
        auto out = fileIdentityOfDescriptor(root);
        ::close(root);
        return out;
    }
    const int parent = openDirectoryPath(parentPath(path), FollowLinks::All);
    if (parent < 0) return std::nullopt;
    const char* name = path.c_str() + path.rfind('/') + 1;
    std::optional<FileIdentity> out;
    struct statx st {};
    if (::statx(parent, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kFileIdentityMask, &st) == 0)
        out = fileIdentityAt(parent, name, st);
    ::close(parent);
    return out;
}

std::optional<FileIdentity> fileIdentityOfDescriptor(int fd)
{
    struct statx st {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, kFileIdentityMask, &st) != 0) return std::nullopt;
    return fileIdentityAt(fd, "", st);
}

bool isSameFile(const FileIdentity& recorded, int dirFd, const char* name, const struct statx& st, bool afterOwnMove)
{
    if (deviceOf(st) != recorded.device || st.stx_ino != recorded.inode) return false;
    switch (recorded.kind) {
    case IdentityStamp::None:
        return true;
    case IdentityStamp::BirthTime:
        return birthTimeOf(st) == recorded.stamp;
    case IdentityStamp::Handle:
        return handleStamp(dirFd, name) == recorded.stamp;
    case IdentityStamp::ChangeTime:
        return afterOwnMove || changeTimeOf(st) == recorded.stamp;
    }
    return false;
}

bool isSameFileAtPath(const FileIdentity& recorded, const std::string& rawPath, const struct statx& st)
{
    if (deviceOf(st) != recorded.device || st.stx_ino != recorded.inode) return false;
    if (recorded.kind != IdentityStamp::Handle) return isSameFile(recorded, AT_FDCWD, rawPath.c_str(), st);
    // The handle is read by name in the folder that holds the item (paths of any length).
    const std::string path = pathWithoutTrailingSlash(rawPath);
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || path == "/") return false;
    const int parent = openDirectoryPath(parentPath(path), FollowLinks::All);
    if (parent < 0) return false;
    const bool same = isSameFile(recorded, parent, path.c_str() + slash + 1, st);
    ::close(parent);
    return same;
}

HeldItem::~HeldItem()
{
    if (fd_ >= 0) ::close(fd_);
}

int HeldItem::hold(int dirFd, const char* name, const FileIdentity& checked)
{
    if (checked.kind != IdentityStamp::ChangeTime || fd_ >= 0) return 0;
    fd_ = ::openat(dirFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) return errno;
    struct statx st {};
    if (::statx(fd_, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, kFileIdentityMask, &st) != 0) return errno;
    return isSameFile(checked, fd_, "", st) ? 0 : ESTALE;
}

void setIdentityLimitsForTesting(IdentityLimits limits)
{
    noBirthTimes = limits.noBirthTimes;
    noFileHandles = limits.noFileHandles;
}

} // namespace kz
