#include "platform/KZFreedesktopTrash.h"

#include "platform/KZDirectoryIO.h"
#include "platform/KZFileFaults.h"
#include "platform/KZFileIdentity.h"
#include "platform/KZPathString.h"
#include "platform/KZSelfChangeRegistry.h"
#include "platform/KZUserDatabase.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxAttempts = 10000;
constexpr size_t kMaxInfoNameLength = 255;
const std::string kInfoSuffix = ".trashinfo";

using kz::identityOf;
using kz::mountIdOf;
using kz::renameNoReplace;

int statPath(int at, const char* path, int flags, struct statx& st)
{
    return ::statx(at, path, flags | AT_NO_AUTOMOUNT, STATX_MODE | STATX_UID | STATX_MNT_ID | kz::kFileIdentityMask,
                   &st) == 0
               ? 0
               : errno;
}

KZError trashError(int error)
{
    return KZError::posix(error, QCoreApplication::translate("KZTrash", "Could not move the item to the Trash"));
}

// A descriptor closed at the end of the scope.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& o) noexcept
    {
        std::swap(fd, o.fd);
        return *this;
    }
    ~Fd()
    {
        if (fd >= 0) ::close(fd);
    }
    explicit operator bool() const { return fd >= 0; }
};

int makeDirectoryAt(int at, const char* name, const std::string& path)
{
    if (int fault = kz::fileFault(kz::FileOperation::MakeDirectory, path)) return fault;
    KZSelfChange created(path, KZChange::Created);
    if (::mkdirat(at, name, 0700) == 0) return 0;
    const int err = errno;
    created.discard();
    return err == EEXIST ? 0 : err;
}

// Creates the folder and the missing folders above it (0700), following links on the way.
int makeDirectories(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    if (path != "/") {
        if (int err = makeDirectories(kz::parentPath(path))) return err;
    }
    return makeDirectoryAt(AT_FDCWD, path.c_str(), path);
}

// Every mount of /proc/self/mountinfo, with its id and its mount point (octal escapes such
// as \040 for a blank decoded), until `stop` answers true for one.
void forEachMount(const std::function<bool(uint64_t id, const std::string& point)>& stop)
{
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        uint64_t id = 0, parent = 0;
        std::string devices, root, point;
        if (!(fields >> id >> parent >> devices >> root >> point)) continue;
        std::string out;
        for (size_t i = 0; i < point.size(); ++i) {
            if (point[i] == '\\' && i + 3 < point.size() && std::isdigit(static_cast<unsigned char>(point[i + 1]))) {
                out.push_back(char(std::strtol(point.substr(i + 1, 3).c_str(), nullptr, 8)));
                i += 3;
            } else {
                out.push_back(point[i]);
            }
        }
        if (stop(id, out)) return;
    }
}

// The mount point of the mount with this id; "" when not found.
std::string mountPointOf(uint64_t mountId)
{
    std::string found;
    if (!mountId) return found;
    forEachMount([&](uint64_t id, const std::string& point) {
        if (id != mountId) return false;
        found = point;
        return true;
    });
    return found;
}

// The mount point of a volume mounted below the folder `name` of the open folder (a bind
// mount of a single file included); "" when there is none.
std::string volumeMountedInside(int parentFd, const std::string& name, const std::string& path)
{
    Fd folder(::openat(parentFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    std::string base = folder ? kz::currentPathOf(folder.fd) : std::string();
    if (base.empty()) base = path;
    if (base != "/") base.push_back('/');
    std::string found;
    forEachMount([&](uint64_t, const std::string& point) {
        if (point.size() <= base.size() || point.compare(0, base.size(), base) != 0) return false;
        found = point;
        return true;
    });
    return found;
}

// True when the open folder, or any folder above it, is a Trash folder in use: the home
// Trash, or $topdir/.Trash or $topdir/.Trash-$uid at the top of the folder's own mount
// (whatever uid is in use there for the shared .Trash). Decided by identity, walking ".."
// on descriptors, so no path that leads here through a link gets around it.
bool isInTrashFolder(int folderFd, const std::optional<kz::ItemIdentity>& homeTrash,
                     const std::optional<kz::ItemIdentity>& item)
{
    std::vector<kz::ItemIdentity> trashes;
    if (homeTrash) trashes.push_back(*homeTrash);
    std::vector<kz::ItemIdentity> chain;
    if (item) chain.push_back(*item);
    const std::string volumeTrash = ".Trash-" + std::to_string(::getuid());
    Fd current(::openat(folderFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct statx st {
    }, first{};
    if (!current || statPath(current.fd, "", AT_EMPTY_PATH, st) != 0) return false;
    first = st;
    bool topSeen = false;
    for (int depth = 0; depth < 4096; ++depth) {
        chain.push_back(identityOf(st));
        Fd up(::openat(current.fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct statx upSt {};
        const bool haveUp = up && statPath(up.fd, "", AT_EMPTY_PATH, upSt) == 0;
        const bool atRoot = !haveUp || (identityOf(upSt) == identityOf(st) && kz::onSameMount(upSt, st));
        if (!topSeen && (atRoot || !kz::onSameMount(upSt, first))) {
            // The top of the folder's mount: its Trash folders.
            topSeen = true;
            for (const char* name : {".Trash", volumeTrash.c_str()}) {
                struct statx t {};
                if (statPath(current.fd, name, AT_SYMLINK_NOFOLLOW, t) == 0 && S_ISDIR(t.stx_mode))
                    trashes.push_back(identityOf(t));
            }
        }
        if (atRoot) break;
        current = std::move(up);
        st = upSt;
    }
    for (const kz::ItemIdentity& c : chain)
        if (std::find(trashes.begin(), trashes.end(), c) != trashes.end()) return true;
    return false;
}

// True when the path lies at or below the home Trash, or below a volume Trash folder of the
// user, by its text.
bool isInTrashByPath(const std::string& path, const std::string& homeTrash)
{
    if (path == homeTrash || (path.size() > homeTrash.size() && path.compare(0, homeTrash.size(), homeTrash) == 0 &&
                              path[homeTrash.size()] == '/'))
        return true;
    const std::string uid = std::to_string(::getuid());
    std::string_view previous;
    for (size_t pos = 1; pos < path.size();) {
        const size_t end = std::min(path.find('/', pos), path.size());
        const std::string_view part(path.data() + pos, end - pos);
        if (part == ".Trash-" + uid || (previous == ".Trash" && part == uid)) return true;
        previous = part;
        pos = end + 1;
    }
    return false;
}

// The folder at the top of the item's mount.
std::string topDirectoryOf(const std::string& parentPath, const struct statx& item)
{
    const std::string point = mountPointOf(mountIdOf(item));
    struct statx st {};
    if (!point.empty() && statPath(AT_FDCWD, point.c_str(), 0, st) == 0 && kz::onSameMount(st, item)) return point;
    // No mount table: climb while the folder above is on the same mount.
    std::string top = parentPath;
    while (top != "/") {
        const std::string up = kz::parentPath(top);
        if (statPath(AT_FDCWD, up.c_str(), 0, st) != 0 || !kz::onSameMount(st, item)) break;
        top = up;
    }
    return top;
}

struct TrashFolder {
    std::string path;   // the Trash folder (holding files/ and info/)
    std::string topDir; // the top of the mount for a volume Trash, "" for the home Trash
    Fd files;
    Fd info;
};

bool isOwnPrivateFolder(const struct statx& st)
{
    return S_ISDIR(st.stx_mode) && st.stx_uid == ::getuid();
}

// Opens (creating when missing) files/ and info/ of the Trash folder.
int openTrashFolder(TrashFolder& trash)
{
    Fd root(kz::openFolder(trash.path));
    if (!root) return errno;
    for (const char* sub : {"files", "info"}) {
        const std::string subPath = trash.path + "/" + sub;
        if (int err = makeDirectoryAt(root.fd, sub, subPath)) return err;
        const int fd = ::openat(root.fd, sub, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return errno;
        (std::strcmp(sub, "files") == 0 ? trash.files : trash.info) = Fd(fd);
    }
    return 0;
}

// The volume Trash at the top of the item's mount.
int findVolumeTrash(const std::string& parentPath, const struct statx& item, TrashFolder& trash)
{
    const std::string top = topDirectoryOf(parentPath, item);
    Fd topFd(kz::openFolder(top));
    if (!topFd) return errno;
    const std::string uid = std::to_string(::getuid());
    const std::string base = top == "/" ? std::string() : top;
    struct statx st {};
    // The shared $topdir/.Trash, only when it is a real folder with the sticky bit.
    if (statPath(topFd.fd, ".Trash", AT_SYMLINK_NOFOLLOW, st) == 0 && S_ISDIR(st.stx_mode) && (st.stx_mode & S_ISVTX)) {
        Fd shared(::openat(topFd.fd, ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (shared && makeDirectoryAt(shared.fd, uid.c_str(), base + "/.Trash/" + uid) == 0 &&
            statPath(shared.fd, uid.c_str(), AT_SYMLINK_NOFOLLOW, st) == 0 && isOwnPrivateFolder(st) &&
            kz::onSameMount(st, item)) {
            trash.path = base + "/.Trash/" + uid;
            trash.topDir = top;
            return 0;
        }
    }
    const std::string name = ".Trash-" + uid;
    if (int err = makeDirectoryAt(topFd.fd, name.c_str(), base + "/" + name)) return err;
    if (int err = statPath(topFd.fd, name.c_str(), AT_SYMLINK_NOFOLLOW, st)) return err;
    if (!isOwnPrivateFolder(st)) return EPERM; // a link or somebody else's: never used
    if (!kz::onSameMount(st, item)) return EXDEV;
    trash.path = base + "/" + name;
    trash.topDir = top;
    return 0;
}

// The Trash for an item: the home Trash when it shares the item's mount, else the volume's.
int findTrash(const std::string& parentPath, const struct statx& item, TrashFolder& trash)
{
    const std::string home = KZFreedesktopTrash::homeTrashPath();
    // The mount the home Trash is (or will be) on: that of the nearest existing folder.
    std::string probe = home;
    struct statx st {};
    int err;
    while ((err = statPath(AT_FDCWD, probe.c_str(), 0, st)) == ENOENT && probe != "/") probe = kz::parentPath(probe);
    if (err == 0 && kz::onSameMount(st, item)) {
        if (int e = makeDirectories(home)) return e;
        trash.path = home;
        trash.topDir.clear();
        return 0;
    }
    return findVolumeTrash(parentPath, item, trash);
}

std::string deletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
    return buffer;
}

int writeAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += size_t(n);
    }
    return 0;
}

} // namespace

std::string KZFreedesktopTrash::homeTrashPath()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') return kz::pathWithoutTrailingSlash(dataHome) + "/Trash";
    const char* home = std::getenv("HOME");
    std::string h = home && home[0] == '/' ? kz::pathWithoutTrailingSlash(home) : kz::homeDirectoryForCurrentUser();
    if (h == "/") h.clear();
    return h + "/.local/share/Trash";
}

std::string KZFreedesktopTrash::encodeTrashPath(std::string_view path)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size() * 3 / 2);
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          std::strchr("/-_.!~*'()", c) != nullptr;
        if (keep && c != 0) {
            out.push_back(char(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

std::string KZFreedesktopTrash::trashNameForAttempt(std::string_view name, int attempt)
{
    std::string stem(name), ext;
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) {
        stem = std::string(name.substr(0, dot));
        ext = std::string(name.substr(dot));
    }
    const std::string suffix = attempt > 1 ? std::string(1, '.').append(std::to_string(attempt)) : std::string();
    const size_t room = kMaxInfoNameLength - kInfoSuffix.size();
    auto cut = [](std::string& s, size_t length) {
        // Cut on a character boundary when the bytes are UTF-8.
        while (length > 0 && length < s.size() && (static_cast<unsigned char>(s[length]) & 0xC0) == 0x80) --length;
        s.resize(length);
    };
    if (stem.size() + suffix.size() + ext.size() > room) {
        if (suffix.size() + ext.size() + 1 > room) ext.clear();
        cut(stem, room - suffix.size() - ext.size());
    }
    return stem + suffix + ext;
}

std::optional<KZError> KZFreedesktopTrash::trashItem(std::string_view rawPath,
                                                     const std::optional<kz::FileIdentity>& expected)
{
    const std::string path = kz::pathWithoutTrailingSlash(rawPath);
    if (int err = kz::checkRemovablePath(path)) {
        if (err == EPERM)
            return KZError::sizemere(KZError::ProtectedItem,
                                     QCoreApplication::translate("KZTrash",
                                                                 "Home folders and the folders that hold them "
                                                                 "are never moved to the Trash."));
        return trashError(err);
    }
    const std::string parentPath = kz::parentPath(path);
    const std::string name = path.substr(path.rfind('/') + 1);

    Fd parent(kz::openFolder(parentPath));
    if (!parent) return trashError(errno);
    struct statx item {};
    if (int err = statPath(parent.fd, name.c_str(), AT_SYMLINK_NOFOLLOW, item)) return trashError(err);
    if (expected && !kz::isSameFile(*expected, parent.fd, name.c_str(), item))
        return KZError::sizemere(KZError::ChangedSinceScan,
                                 QCoreApplication::translate("KZTrash", "The item was changed since the scan."));
    const kz::FileIdentity checked = expected ? *expected : kz::fileIdentityAt(parent.fd, name.c_str(), item);
    kz::HeldItem held;
    if (int err = held.hold(parent.fd, name.c_str(), checked))
        return err == ESTALE
                   ? KZError::sizemere(KZError::ChangedSinceScan,
                                       QCoreApplication::translate("KZTrash", "The item was changed since the scan."))
                   : trashError(err);
    if (S_ISDIR(item.stx_mode) && kz::isProtectedFolder(identityOf(item)))
        return KZError::sizemere(KZError::ProtectedItem,
                                 QCoreApplication::translate("KZTrash", "Home folders and the folders that hold them "
                                                                        "are never moved to the Trash."));
    struct statx parentSt {};
    if (int err = statPath(parent.fd, "", AT_EMPTY_PATH, parentSt)) return trashError(err);
    if (!kz::onSameMount(item, parentSt)) return trashError(EXDEV); // a mounted volume itself

    // Nothing that is already in a Trash, nor a Trash folder itself: moving it would leave
    // information files without their items, or items without theirs.
    const std::string homeTrash = homeTrashPath();
    std::optional<kz::ItemIdentity> homeTrashIdentity;
    if (struct statx t{}; statPath(AT_FDCWD, homeTrash.c_str(), 0, t) == 0) homeTrashIdentity = identityOf(t);
    if (isInTrashByPath(path, homeTrash) ||
        isInTrashFolder(parent.fd, homeTrashIdentity,
                        S_ISDIR(item.stx_mode) ? std::optional<kz::ItemIdentity>(identityOf(item)) : std::nullopt))
        return KZError::sizemere(KZError::InTrash,
                                 QCoreApplication::translate("KZTrash", "The item is in the Trash already."));
    // A folder that holds a mounted volume would carry the volume into the Trash, where
    // emptying the Trash destroys what is on it.
    if (S_ISDIR(item.stx_mode)) {
        const std::string volume = volumeMountedInside(parent.fd, name, path);
        if (!volume.empty())
            return KZError::sizemere(KZError::HoldsMountedVolume,
                                     QCoreApplication::translate("KZTrash", "A volume is mounted inside the folder "
                                                                            "(%1); it can't be moved to the Trash.")
                                         .arg(kz::displayString(volume)));
    }

    TrashFolder trash;
    if (int err = findTrash(parentPath, item, trash)) return trashError(err);
    KZSelfChange markTrash(trash.path);
    if (int err = openTrashFolder(trash)) return trashError(err);
    struct statx filesSt {};
    if (int err = statPath(trash.files.fd, "", AT_EMPTY_PATH, filesSt)) return trashError(err);
    if (!kz::onSameMount(filesSt, item)) return trashError(EXDEV); // never a copy

    // Path= is relative to the top of the volume for a volume Trash, else absolute.
    std::string recorded = path;
    if (!trash.topDir.empty()) {
        if (trash.topDir == "/") {
            recorded = path.substr(1);
        } else if (path.size() > trash.topDir.size() && path.compare(0, trash.topDir.size(), trash.topDir) == 0 &&
                   path[trash.topDir.size()] == '/') {
            recorded = path.substr(trash.topDir.size() + 1);
        }
    }
    const std::string info =
        "[Trash Info]\nPath=" + encodeTrashPath(recorded) + "\nDeletionDate=" + deletionDate() + "\n";

    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const std::string candidate = trashNameForAttempt(name, attempt);
        const std::string infoName = candidate + kInfoSuffix;
        if (int fault = kz::fileFault(kz::FileOperation::Create, trash.path + "/info/" + infoName))
            return trashError(fault);
        Fd infoFd(
            ::openat(trash.info.fd, infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFd) {
            if (errno == EEXIST) continue;
            return trashError(errno);
        }
        auto dropInfo = [&] { ::unlinkat(trash.info.fd, infoName.c_str(), 0); };
        struct stat existing {};
        if (::fstatat(trash.files.fd, candidate.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            dropInfo();
            continue;
        }
        if (int err = writeAll(infoFd.fd, info)) {
            dropInfo();
            return trashError(err);
        }
        if (::close(std::exchange(infoFd.fd, -1)) != 0) {
            const int err = errno;
            dropInfo();
            return trashError(err);
        }
        // Marked just before the move, which takes the item away from its path.
        KZSelfChange movedAway(path, KZChange::RenamedFrom);
        int err = kz::fileFault(kz::FileOperation::Rename, path);
        if (!err)
            err = renameNoReplace(parent.fd, name.c_str(), trash.files.fd, candidate.c_str(),
                                  trash.path + "/files/" + candidate);
        if (err) {
            movedAway.discard();
            dropInfo();
            if (err == EEXIST) continue;
            return trashError(err);
        }
        // What was moved must be the item that was checked: another one put at the path in
        // between goes back where it was.
        struct statx moved {};
        if (statPath(trash.files.fd, candidate.c_str(), AT_SYMLINK_NOFOLLOW, moved) == 0 &&
            (moved.stx_mode & S_IFMT) == (item.stx_mode & S_IFMT) &&
            kz::isSameFile(checked, trash.files.fd, candidate.c_str(), moved, true))
            return std::nullopt;
        if (renameNoReplace(trash.files.fd, candidate.c_str(), parent.fd, name.c_str(), path) == 0) {
            dropInfo();
            return KZError::sizemere(KZError::ChangedSinceScan,
                                     QCoreApplication::translate("KZTrash", "The item was changed since the scan."));
        }
        // Its place was taken again: it stays in the Trash, where its information file
        // lets it be restored.
        return KZError::sizemere(KZError::ChangedSinceScan,
                                 QCoreApplication::translate("KZTrash", "The item was changed since the scan; what "
                                                                        "stood at its place is in the Trash now."));
    }
    return trashError(EEXIST);
}
