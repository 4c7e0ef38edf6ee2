#include "platform/KZDirectoryIO.h"

#include "platform/KZFileFaults.h"
#include "platform/KZPathString.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kz {

namespace {
struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

int openFolder(int at, const char* name, bool noFollow)
{
    int fd;
    do {
        fd = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | (noFollow ? O_NOFOLLOW : 0));
    } while (fd < 0 && errno == EINTR);
    return fd;
}
} // namespace

int readDirectoryEntries(int dirFd, std::vector<char>& out, bool withTypes)
{
    alignas(8) char buffer[32768];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, dirFd, buffer, sizeof buffer);
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        for (long pos = 0; pos < n;) {
            auto* d = reinterpret_cast<LinuxDirent64*>(buffer + pos);
            pos += d->d_reclen;
            const char* nm = d->d_name;
            if (nm[0] == '.' && (nm[1] == 0 || (nm[1] == '.' && nm[2] == 0))) continue;
            if (withTypes) out.push_back(char(d->d_type));
            out.insert(out.end(), nm, nm + std::strlen(nm) + 1);
        }
    }
}

int openDirectoryAt(int dirFd, const char* name)
{
    return openFolder(dirFd, name, true);
}

int openDirectoryPath(const std::string& path, FollowLinks follow)
{
    if (path.empty() || path[0] != '/') {
        errno = EINVAL;
        return -1;
    }
    const bool noFollowFinal = follow == FollowLinks::AllButFinal;
    const std::string p = pathWithoutTrailingSlash(path);
    // Short paths open in one call; long ones a piece at a time, each well under PATH_MAX,
    // so a folder 10,000 levels deep still opens.
    constexpr size_t kPiece = 2048;
    if (p.size() < kPiece) return openFolder(AT_FDCWD, p.c_str(), noFollowFinal && p != "/");
    int fd = openFolder(AT_FDCWD, "/", false);
    size_t pos = 1;
    while (fd >= 0 && pos < p.size()) {
        size_t end = std::min(p.size(), pos + kPiece);
        if (end < p.size()) {
            const size_t slash = p.rfind('/', end);
            if (slash == std::string::npos || slash <= pos) {
                ::close(fd);
                errno = ENAMETOOLONG;
                return -1;
            }
            end = slash;
        }
        const std::string piece = p.substr(pos, end - pos);
        const bool last = end >= p.size();
        const int next = openFolder(fd, piece.c_str(), last && noFollowFinal);
        const int saved = errno;
        ::close(fd);
        errno = saved;
        fd = next;
        pos = end + 1;
    }
    return fd;
}

std::vector<std::pair<uint64_t, uint64_t>> foldersAtAndAbove(int dirFd)
{
    std::vector<std::pair<uint64_t, uint64_t>> out;
    int current = ::openat(dirFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (current < 0 || ::fstat(current, &st) != 0) {
        if (current >= 0) ::close(current);
        return out;
    }
    for (int depth = 0; depth < 4096; ++depth) {
        out.emplace_back(deviceOf(st), st.st_ino);
        const int up = ::openat(current, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        struct stat upSt {};
        const bool haveUp = up >= 0 && ::fstat(up, &upSt) == 0;
        ::close(current);
        current = up;
        if (!haveUp || (upSt.st_ino == st.st_ino && upSt.st_dev == st.st_dev)) break; // "/"
        st = upSt;
    }
    if (current >= 0) ::close(current);
    return out;
}

std::string currentPathOf(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::string out(4096, '\0');
    const ssize_t n = ::readlink(link, out.data(), out.size());
    if (n <= 0 || size_t(n) >= out.size() || out[0] != '/') return {};
    out.resize(size_t(n));
    return out;
}

int statPath(const std::string& path, unsigned mask, struct statx& st)
{
    constexpr int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
    if (path.size() < PATH_MAX) {
        if (::statx(AT_FDCWD, path.c_str(), flags, mask, &st) == 0) return 0;
        if (errno != ENAMETOOLONG) return errno;
    }
    const std::string p = pathWithoutTrailingSlash(path);
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos) return EINVAL;
    const int parent = openDirectoryPath(parentPath(p), FollowLinks::All);
    if (parent < 0) return errno == ENOTDIR ? ENOENT : errno;
    const int err = ::statx(parent, p.c_str() + slash + 1, flags, mask, &st) == 0 ? 0 : errno;
    ::close(parent);
    return err;
}

std::optional<ItemIdentity> identityOfPath(const std::string& path)
{
    struct statx st {};
    if (statPath(path, STATX_INO, st) != 0) return std::nullopt;
    return identityOf(st);
}

int renameNoReplace(int fromFd, const char* from, int toFd, const char* to, const std::string& toPath)
{
    const int fault = hasFileFaultHook() ? fileFault(FileOperation::NoReplaceRename, toPath) : 0;
    if (fault && fault != EINVAL) return fault;
    if (!fault) {
        if (::renameat2(fromFd, from, toFd, to, RENAME_NOREPLACE) == 0) return 0;
        if (errno != EINVAL) return errno;
    }
    // The file system can't promise not to replace: look first.
    struct stat st {};
    if (::fstatat(toFd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(fromFd, from, toFd, to) == 0 ? 0 : errno;
}

int accessAt(int dirFd, const char* name, int mode, std::string_view folderPath)
{
    if (hasFileFaultHook()) {
        std::string path = pathWithoutTrailingSlash(folderPath);
        if (path != "/") path.push_back('/');
        path += name;
        if ((mode & R_OK)) {
            if (int fault = fileFault(FileOperation::Read, path)) return fault;
        }
        if ((mode & X_OK)) {
            if (int fault = fileFault(FileOperation::Search, path)) return fault;
        }
    }
    return ::faccessat(dirFd, name, mode, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

} // namespace kz
