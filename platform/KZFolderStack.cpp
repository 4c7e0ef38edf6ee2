#include "platform/KZFolderStack.h"

#include "platform/KZPathString.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kz {

namespace {

constexpr unsigned kFolderMask = STATX_TYPE | STATX_INO | STATX_MNT_ID;

// Opens the folder above `childFd` through "..": -1 unless it is the folder with `identity`.
int reopenParent(int childFd, const ItemIdentity& identity)
{
    int fd;
    do {
        fd = ::openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || identityOf(st) != identity) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

// Large listings are not kept for reuse once their folder is left.
constexpr size_t kKeptListing = size_t(1) << 20;

} // namespace

FolderStack::FolderStack(size_t maxOpen, FolderGuards guards, bool withTypes)
    : maxOpen_(maxOpen), guards_(guards), withTypes_(withTypes)
{
    frames_.reserve(64);
}

FolderStack::~FolderStack()
{
    clear();
}

void FolderStack::clear()
{
    for (size_t i = 0; i < depth_; ++i) closeFrame(frames_[i]);
    depth_ = 0;
}

void FolderStack::closeFrame(Folder& f)
{
    const bool ours = &f != &frames_.front() || ownsFirst_;
    if (f.fd >= 0 && ours) {
        ::close(f.fd);
        --open_;
    }
    if (f.twin >= 0) ::close(f.twin);
    f.fd = f.twin = -1;
}

int FolderStack::start(int fd, std::string_view path, bool owned)
{
    clear();
    struct statx st {};
    if (::statx(fd, "", AT_EMPTY_PATH, kFolderMask, &st) != 0) {
        const int err = errno;
        if (owned) ::close(fd);
        return err;
    }
    ownsFirst_ = owned;
    open_ = 0;
    above_.reset();
    path_ = pathWithoutTrailingSlash(path);
    // The root's entries are "/name", not "//name".
    push(fd, st, {}, path_ == "/" ? 0 : path_.size());
    if (!owned) --open_;
    return 0;
}

void FolderStack::push(int fd, const struct statx& st, std::string_view name, size_t pathLength)
{
    if (frames_.size() <= depth_) frames_.emplace_back();
    Folder& f = frames_[depth_++];
    f.fd = fd;
    f.twin = -1;
    f.hasTwin = false;
    f.identity = identityOf(st);
    f.twinIdentity = {};
    f.mountId = mountIdOf(st);
    f.entries.clear();
    f.next = 0;
    f.pathLength = pathLength;
    f.name.assign(name);
    f.listError = readDirectoryEntries(fd, f.entries, withTypes_);
    ++open_;
}

bool FolderStack::isBoundary(const struct statx& st, const Folder& parent) const
{
    if (deviceOf(st) != parent.identity.device || (st.stx_attributes & STATX_ATTR_MOUNT_ROOT)) return true;
    const uint64_t mount = mountIdOf(st);
    return mount && parent.mountId && mount != parent.mountId;
}

EnterResult FolderStack::judge(const struct statx& st, bool boundary)
{
    if (boundary && guards_.mounts == MountRule::StayOnMount) return EnterResult::OtherMount;
    const ItemIdentity identity = identityOf(st);
    if (guards_.mounts == MountRule::StayOnDevice && identity.device != frames_.front().identity.device)
        return EnterResult::OtherMount;
    // A folder met again can only be reached through a mount; where the system can't tell a
    // mount's root, every folder is looked at.
    if (boundary || !(st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)) {
        for (size_t i = 0; i < depth_; ++i)
            if (frames_[i].identity == identity) return EnterResult::Loop;
        // A bind mount of a folder above the first leads out of the walked tree and back.
        if (!above_) above_ = foldersAtAndAbove(frames_.front().fd);
        for (const auto& [device, inode] : *above_)
            if (device == identity.device && inode == identity.inode) return EnterResult::Loop;
    }
    if (boundary && guards_.skipPseudoFileSystems) {
        if (!mounts_) mounts_ = KZMountTable::current();
        if (mounts_->kindOfDevice(identity.device) == KZMountTable::Kind::Pseudo) return EnterResult::PseudoFileSystem;
    }
    return EnterResult::Entered;
}

bool FolderStack::isPseudo(int fd, uint64_t device)
{
    if (!mounts_) mounts_ = KZMountTable::current();
    std::optional<KZMountTable::Kind> kind = mounts_->kindOfDevice(device);
    // The table names the type a mount was made with; the file system itself has the last word.
    if (!kind || *kind == KZMountTable::Kind::Local) kind = KZMountTable::kindOfOpenFolder(fd);
    return kind == KZMountTable::Kind::Pseudo;
}

EnterResult FolderStack::enter(const char* name, const struct statx* seen)
{
    error_ = 0;
    const Folder& parent = top();
    if (seen) {
        const EnterResult judged = judge(*seen, isBoundary(*seen, parent));
        if (judged != EnterResult::Entered) return judged;
    }
    const int fd = openDirectoryAt(parent.fd, name);
    if (fd < 0) {
        error_ = errno;
        return EnterResult::Failed;
    }
    struct statx st {};
    if (::statx(fd, "", AT_EMPTY_PATH, kFolderMask, &st) != 0) {
        error_ = errno;
        ::close(fd);
        return EnterResult::Failed;
    }
    if (seen && identityOf(st) != identityOf(*seen)) {
        // Replaced between the look and the open.
        ::close(fd);
        error_ = ESTALE;
        return EnterResult::Replaced;
    }
    const bool boundary = isBoundary(st, parent);
    if (!seen) {
        const EnterResult judged = judge(st, boundary);
        if (judged != EnterResult::Entered) {
            ::close(fd);
            return judged;
        }
    }
    if (boundary && guards_.skipPseudoFileSystems && isPseudo(fd, deviceOf(st))) {
        ::close(fd);
        return EnterResult::PseudoFileSystem;
    }
    push(fd, st, name, path_.size());
    boundOpenFolders();
    return EnterResult::Entered;
}

void FolderStack::boundOpenFolders()
{
    if (open_ <= maxOpen_) return;
    // Close the shallowest (never the first, nor the folder on top and its parent); they are
    // found again through ".." on the way back up.
    for (size_t i = 1; i + 2 < depth_ && open_ > maxOpen_ / 2; ++i)
        if (frames_[i].fd >= 0) closeFrame(frames_[i]);
}

void FolderStack::attachTwin(int fd, const ItemIdentity& identity)
{
    Folder& f = top();
    if (f.twin >= 0) ::close(f.twin);
    f.twin = fd;
    f.twinIdentity = identity;
    f.hasTwin = true;
}

bool FolderStack::leave()
{
    Folder& done = frames_[depth_ - 1];
    Folder& parent = frames_[depth_ - 2];
    if (parent.fd < 0) {
        const int up = reopenParent(done.fd, parent.identity);
        const int upTwin = up >= 0 && parent.hasTwin ? reopenParent(done.twin, parent.twinIdentity) : -1;
        if (up < 0 || (parent.hasTwin && upTwin < 0)) {
            if (up >= 0) ::close(up);
            closeFrame(done);
            --depth_;
            path_.resize(parent.pathLength ? parent.pathLength : 1);
            error_ = ESTALE;
            return false;
        }
        parent.fd = up;
        parent.twin = upTwin;
        ++open_;
    }
    closeFrame(done);
    --depth_;
    if (done.entries.capacity() > kKeptListing) std::vector<char>().swap(done.entries);
    path_.resize(parent.pathLength);
    path_.push_back('/');
    path_ += done.name;
    return true;
}

std::string FolderStack::folderPath(size_t level) const
{
    const size_t length = frames_[level].pathLength;
    return length ? path_.substr(0, length) : std::string("/");
}

} // namespace kz
