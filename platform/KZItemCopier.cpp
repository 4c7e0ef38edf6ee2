#include "platform/KZItemCopier.h"

#include "platform/KZDirectoryIO.h"
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
        struct stat st {};
        if (::fstatat(srcParent.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return {errno, src};
        if (int err = copyEntry(srcParent.fd, dstParent.fd, name.c_str(), st)) return {err, path_};
        return {};
    }

private:
    struct Frame {
        int src = -1, dst = -1;
        dev_t srcDev = 0, dstDev = 0;
        ino_t srcIno = 0, dstIno = 0;
        std::vector<char> names;
        size_t next = 0;
        size_t pathLength = 0;
        std::string name;
        mode_t mode = 0;
        struct timespec mtime {};
    };

    bool isSkipped(const struct stat& st) const
    {
        return S_ISDIR(st.st_mode) && control_.skippedFolder && control_.skippedFolder->inode == st.st_ino &&
               control_.skippedFolder->device == deviceOf(st);
    }

    bool cancelled() const { return control_.cancelled && control_.cancelled->load(std::memory_order_relaxed); }
    void count(uint64_t n)
    {
        if (control_.bytesCopied) control_.bytesCopied->fetch_add(n, std::memory_order_relaxed);
    }

    // One entry of any kind; a folder is walked here, iteratively.
    int copyEntry(int srcDir, int dstDir, const char* name, const struct stat& st)
    {
        if (cancelled()) return ECANCELED;
        if (isSkipped(st)) return 0;
        if (control_.willCopyItem) control_.willCopyItem(path_);
        if (S_ISREG(st.st_mode)) return copyFile(srcDir, dstDir, name, st);
        if (S_ISLNK(st.st_mode)) return copyLink(srcDir, dstDir, name, st);
        if (S_ISDIR(st.st_mode)) return copyFolder(srcDir, dstDir, name, st);
        return 0; // no content to copy
    }

    int copyFile(int srcDir, int dstDir, const char* name, const struct stat& st)
    {
        Closer in{::openat(srcDir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY)};
        if (in.fd < 0) return errno;
        struct stat opened {};
        if (::fstat(in.fd, &opened) != 0) return errno;
        if (!S_ISREG(opened.st_mode) || opened.st_ino != st.st_ino || opened.st_dev != st.st_dev) return ESTALE;
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

    int copyLink(int srcDir, int dstDir, const char* name, const struct stat& st)
    {
        std::vector<char> target(size_t(st.st_size) + 1);
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
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(dstDir, name, times, AT_SYMLINK_NOFOLLOW);
        return 0;
    }

    int openPair(int srcDir, int dstDir, const char* name, const struct stat& st, Frame& f)
    {
        f.src = ::openat(srcDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (f.src < 0) return errno;
        struct stat s {};
        if (::fstat(f.src, &s) != 0 || s.st_ino != st.st_ino || s.st_dev != st.st_dev) return ESTALE;
        if (::mkdirat(dstDir, name, 0700) != 0) return errno;
        f.dst = ::openat(dstDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (f.dst < 0) return errno;
        struct stat d {};
        if (::fstat(f.dst, &d) != 0) return errno;
        f.srcDev = s.st_dev;
        f.srcIno = s.st_ino;
        f.dstDev = d.st_dev;
        f.dstIno = d.st_ino;
        f.name = name;
        f.mode = st.st_mode & 07777;
        f.mtime = st.st_mtim;
        f.pathLength = path_.size();
        return readDirectoryNames(f.src, f.names);
    }

    static int reopenParent(int childFd, dev_t dev, ino_t ino)
    {
        const int fd = ::openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat s {};
        if (fd < 0 || ::fstat(fd, &s) != 0 || s.st_dev != dev || s.st_ino != ino) {
            if (fd >= 0) ::close(fd);
            return -1;
        }
        return fd;
    }

    static void finishFolder(const Frame& f)
    {
        ::fchmod(f.dst, f.mode);
        const struct timespec times[2] = {{0, UTIME_OMIT}, f.mtime};
        ::futimens(f.dst, times);
    }

    int copyFolder(int srcDir, int dstDir, const char* name, const struct stat& st)
    {
        std::vector<Frame> stack;
        auto closeAll = [&] {
            for (Frame& f : stack) {
                if (f.src >= 0) ::close(f.src);
                if (f.dst >= 0) ::close(f.dst);
            }
        };
        {
            Frame root;
            const int err = openPair(srcDir, dstDir, name, st, root);
            stack.push_back(std::move(root));
            if (err) {
                closeAll();
                return err;
            }
        }
        size_t open = 1;
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next >= top.names.size()) {
                finishFolder(top);
                Frame done = std::move(stack.back());
                stack.pop_back();
                if (!stack.empty() && stack.back().src < 0) {
                    Frame& parent = stack.back();
                    parent.src = reopenParent(done.src, parent.srcDev, parent.srcIno);
                    parent.dst = reopenParent(done.dst, parent.dstDev, parent.dstIno);
                    if (parent.src < 0 || parent.dst < 0) {
                        ::close(done.src);
                        ::close(done.dst);
                        closeAll();
                        return ESTALE;
                    }
                    ++open;
                }
                ::close(done.src);
                ::close(done.dst);
                --open;
                continue;
            }
            const char* entry = top.names.data() + top.next;
            top.next += std::strlen(entry) + 1;
            path_.resize(top.pathLength);
            path_.push_back('/');
            path_ += entry;
            struct stat est {};
            if (::fstatat(top.src, entry, &est, AT_SYMLINK_NOFOLLOW) != 0) {
                const int err = errno;
                closeAll();
                return err;
            }
            if (!S_ISDIR(est.st_mode)) {
                if (int err = copyEntry(top.src, top.dst, entry, est)) {
                    closeAll();
                    return err;
                }
                continue;
            }
            if (cancelled()) {
                closeAll();
                return ECANCELED;
            }
            if (isSkipped(est)) continue;
            if (control_.willCopyItem) control_.willCopyItem(path_);
            Frame child;
            const int err = openPair(top.src, top.dst, entry, est, child);
            stack.push_back(std::move(child));
            ++open;
            if (err) {
                closeAll();
                return err;
            }
            if (open > kMaxOpenFolders) {
                for (size_t i = 0; i + 1 < stack.size() && open > kMaxOpenFolders / 2; ++i) {
                    if (stack[i].src < 0) continue;
                    ::close(stack[i].src);
                    ::close(stack[i].dst);
                    stack[i].src = stack[i].dst = -1;
                    --open;
                }
            }
        }
        return 0;
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
