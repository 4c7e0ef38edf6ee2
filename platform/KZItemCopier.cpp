#include "platform/KZItemCopier.h"

#include "platform/KZDirectoryIO.h"
#include "platform/KZFileFaults.h"
#include "platform/KZFolderStack.h"
#include "platform/KZRemover.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kz {

namespace {

constexpr size_t kMaxOpenFolders = 32; // pairs of descriptors (source and copy)
constexpr size_t kChunk = size_t(8) << 20;
constexpr unsigned kCopyMask =
    STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_MNT_ID;

int statEntryAt(int dirFd, const char* name, struct statx& st)
{
    return ::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kCopyMask, &st) == 0 ? 0 : errno;
}

struct timespec timeOf(const struct statx_timestamp& t)
{
    return {t.tv_sec, t.tv_nsec};
}

// What the fault layer answers for reading the item at the path (and entering it, for a
// folder): 0, or the errno value the system's refusal would give.
int readFault(const std::string& path, bool folder)
{
    if (!hasFileFaultHook()) return 0;
    if (int fault = fileFault(FileOperation::Read, path)) return fault;
    return folder ? fileFault(FileOperation::Search, path) : 0;
}

struct Closer {
    int fd;
    ~Closer()
    {
        if (fd >= 0) ::close(fd);
    }
};

class Copier {
public:
    explicit Copier(const CopyControl& control) : control_(control) {}

    CopyResult run(const std::string& source, const std::string& destinationFolder)
    {
        const std::string src = pathWithoutTrailingSlash(source);
        if (src.empty() || src[0] != '/' || src == "/") return {EINVAL, src};
        const std::string holder = parentPath(src);
        const std::string name = src.substr(src.rfind('/') + 1);
        Closer srcParent{openFolder(holder)};
        if (srcParent.fd < 0) return {errno, holder};
        Closer dstParent{openFolder(destinationFolder)};
        if (dstParent.fd < 0) return {errno, destinationFolder};
        path_ = src;
        struct statx st {};
        if (int err = statEntryAt(srcParent.fd, name.c_str(), st)) return {err, src};
        if (int err = copyEntry(srcParent.fd, dstParent.fd, name.c_str(), st)) return {err, path_};
        return {};
    }

private:
    // What a folder's copy takes from it once its contents are in.
    struct FolderAttributes {
        mode_t mode = 0;
        struct timespec mtime {};
    };

    bool isSkipped(const struct statx& st) const
    {
        return S_ISDIR(st.stx_mode) && control_.skippedFolder && *control_.skippedFolder == identityOf(st);
    }

    bool cancelled() const { return control_.cancelled && control_.cancelled->load(std::memory_order_relaxed); }
    void count(uint64_t n)
    {
        if (control_.bytesCopied) control_.bytesCopied->fetch_add(n, std::memory_order_relaxed);
    }

    // One entry of any kind; a folder is walked here, iteratively.
    int copyEntry(int srcDir, int dstDir, const char* name, const struct statx& st)
    {
        if (cancelled()) return ECANCELED;
        if (isSkipped(st)) return 0;
        if (control_.willCopyItem) control_.willCopyItem(path_);
        if (S_ISREG(st.stx_mode)) return copyFile(srcDir, dstDir, name, st);
        if (S_ISLNK(st.stx_mode)) return copyLink(srcDir, dstDir, name, st);
        if (S_ISDIR(st.stx_mode)) return copyFolder(srcDir, dstDir, name, st);
        return 0; // no content to copy
    }

    int copyFile(int srcDir, int dstDir, const char* name, const struct statx& st)
    {
        if (int fault = readFault(path_, false)) return fault;
        Closer in{::openat(srcDir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY)};
        if (in.fd < 0) return errno;
        struct stat opened {};
        if (::fstat(in.fd, &opened) != 0) return errno;
        if (!S_ISREG(opened.st_mode) || identityOf(opened) != identityOf(st)) return ESTALE;
        Closer out{::openat(dstDir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)};
        if (out.fd < 0) return errno;
        const off_t size = opened.st_size;
        off_t offset = 0;
        bool holes = true;
        while (offset < size) {
            if (cancelled()) return ECANCELED;
            off_t dataStart = offset, dataEnd = size;
            if (holes) {
                dataStart = ::lseek(in.fd, offset, SEEK_DATA);
                if (dataStart < 0) {
                    if (errno == ENXIO) { // only a hole is left
                        count(uint64_t(size - offset));
                        break;
                    }
                    holes = false; // no hole information: copy everything
                    dataStart = offset;
                } else {
                    const off_t holeStart = ::lseek(in.fd, dataStart, SEEK_HOLE);
                    dataEnd = holeStart < 0 ? size : std::min(holeStart, size);
                }
            }
            count(uint64_t(dataStart - offset));
            offset = dataStart;
            while (offset < dataEnd) {
                if (cancelled()) return ECANCELED;
                const size_t want = size_t(std::min<off_t>(dataEnd - offset, off_t(kChunk)));
                off_t inOff = offset, outOff = offset;
                ssize_t n = ::copy_file_range(in.fd, &inOff, out.fd, &outOff, want, 0);
                if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
                    n = copyByReading(in.fd, out.fd, offset, want);
                if (n < 0) {
                    if (errno == EINTR) continue;
                    return errno;
                }
                if (n == 0) return EIO; // the file shrank under us
                offset += n;
                count(uint64_t(n));
            }
        }
        if (::ftruncate(out.fd, size) != 0) return errno;
        if (::fchmod(out.fd, opened.st_mode & 07777) != 0) return errno;
        const struct timespec times[2] = {opened.st_atim, opened.st_mtim};
        ::futimens(out.fd, times);
        if (::close(std::exchange(out.fd, -1)) != 0) return errno;
        return 0;
    }

    static ssize_t copyByReading(int in, int out, off_t offset, size_t want)
    {
        std::vector<char> buffer(std::min(want, size_t(1) << 20));
        const ssize_t n = ::pread(in, buffer.data(), buffer.size(), offset);
        if (n <= 0) return n;
        ssize_t done = 0;
        while (done < n) {
            const ssize_t w = ::pwrite(out, buffer.data() + done, size_t(n - done), offset + done);
            if (w < 0) {
                if (errno == EINTR) continue;
                return -1;
            }
            done += w;
        }
        return n;
    }

    int copyLink(int srcDir, int dstDir, const char* name, const struct statx& st)
    {
        std::vector<char> target(size_t(st.stx_size) + 1);
        for (;;) {
            const ssize_t n = ::readlinkat(srcDir, name, target.data(), target.size());
            if (n < 0) return errno;
            if (size_t(n) < target.size()) {
                target[size_t(n)] = 0;
                break;
            }
            target.resize(target.size() * 2);
        }
        if (::symlinkat(target.data(), dstDir, name) != 0) return errno;
        const struct timespec times[2] = {timeOf(st.stx_atime), timeOf(st.stx_mtime)};
        ::utimensat(dstDir, name, times, AT_SYMLINK_NOFOLLOW);
        return 0;
    }

    // Makes the copy of the folder on top of the stack, `name` in `dstDir`, and keeps it in
    // step with it.
    static int makeTwin(FolderStack& stack, int dstDir, const char* name)
    {
        if (::mkdirat(dstDir, name, 0700) != 0) return errno;
        const int fd = openDirectoryAt(dstDir, name);
        if (fd < 0) return errno;
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            const int err = errno;
            ::close(fd);
            return err;
        }
        stack.attachTwin(fd, identityOf(st));
        return 0;
    }

    static void finishFolder(int fd, const FolderAttributes& a)
    {
        ::fchmod(fd, a.mode);
        const struct timespec times[2] = {{0, UTIME_OMIT}, a.mtime};
        ::futimens(fd, times);
    }

    // A folder whose contents are not copied (another walk's loop, a pseudo-file system):
    // its copy is an empty folder.
    static int copyEmptyFolder(int dstDir, const char* name, const struct statx& st)
    {
        if (::mkdirat(dstDir, name, 0700) != 0) return errno;
        const int fd = openDirectoryAt(dstDir, name);
        if (fd < 0) return errno;
        finishFolder(fd, {mode_t(st.stx_mode & 07777), timeOf(st.stx_mtime)});
        ::close(fd);
        return 0;
    }

    int copyFolder(int srcDir, int dstDir, const char* name, const struct statx& st)
    {
        FolderStack stack(kMaxOpenFolders, FolderGuards{}, false);
        if (int fault = readFault(path_, true)) return fault;
        {
            const int src = openDirectoryAt(srcDir, name);
            if (src < 0) return errno;
            struct stat opened {};
            if (::fstat(src, &opened) != 0 || identityOf(opened) != identityOf(st)) {
                ::close(src);
                return ESTALE;
            }
            if (int err = stack.start(src, path_, true)) return err;
        }
        if (int err = makeTwin(stack, dstDir, name)) return err;
        if (stack.top().listError) return stack.top().listError;
        // The attributes of each folder on the stack.
        std::vector<FolderAttributes> attributes{{mode_t(st.stx_mode & 07777), timeOf(st.stx_mtime)}};
        for (;;) {
            const char* entry = stack.nextEntry();
            if (!entry) {
                finishFolder(stack.top().twin, attributes[stack.depth() - 1]);
                if (stack.depth() == 1) return 0;
                if (!stack.leave()) {
                    path_ = stack.path();
                    return stack.error();
                }
                continue;
            }
            path_ = stack.path();
            struct statx est {};
            if (int err = statEntryAt(stack.top().fd, entry, est)) return err;
            if (!S_ISDIR(est.stx_mode)) {
                if (int err = copyEntry(stack.top().fd, stack.top().twin, entry, est)) return err;
                continue;
            }
            if (cancelled()) return ECANCELED;
            if (isSkipped(est)) continue;
            if (control_.willCopyItem) control_.willCopyItem(path_);
            if (int fault = readFault(path_, true)) return fault;
            switch (stack.enter(entry, &est)) {
            case EnterResult::Entered:
                if (int err = makeTwin(stack, stack.at(stack.depth() - 2).twin, entry)) return err;
                if (stack.top().listError) return stack.top().listError;
                if (attributes.size() < stack.depth()) attributes.resize(stack.depth());
                attributes[stack.depth() - 1] = {mode_t(est.stx_mode & 07777), timeOf(est.stx_mtime)};
                break;
            case EnterResult::Loop:
            case EnterResult::PseudoFileSystem:
            case EnterResult::OtherMount:
                if (int err = copyEmptyFolder(stack.top().twin, entry, est)) return err;
                break;
            case EnterResult::Replaced:
            case EnterResult::Failed:
                return stack.error();
            }
        }
    }

    const CopyControl& control_;
    std::string path_;
};

} // namespace

CopyResult copyItemIntoFolder(const std::string& source, const std::string& destinationFolder,
                              const CopyControl& control)
{
    Copier copier(control);
    return copier.run(source, destinationFolder);
}

} // namespace kz
