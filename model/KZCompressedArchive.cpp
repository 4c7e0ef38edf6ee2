#include "model/KZCompressedArchive.h"

#include "model/KZTreeWalker.h"
#include "platform/KZPathString.h"
#include "platform/KZReadLease.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string_view>
#include <unistd.h>

namespace {

QString text(const char* source)
{
    return QCoreApplication::translate("KZCompressedArchive", source);
}

KZError refusal(const QString& description)
{
    return KZError::sizemere(KZError::CompressionFailed, description);
}

constexpr unsigned kStampMask = kz::kFileIdentityMask | STATX_SIZE | STATX_MTIME | STATX_CTIME;
constexpr unsigned kFingerprintMask = STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_CTIME;

// The stamp of the entry `name` of `dirFd` ("": `dirFd` itself) whose statx record is `st`.
KZCompressedArchive::Stamp stampOf(int dirFd, const char* name, const struct statx& st)
{
    KZCompressedArchive::Stamp s;
    s.identity = kz::fileIdentityAt(dirFd, name, st);
    s.size = st.stx_size;
    s.modifiedSeconds = st.stx_mtime.tv_sec;
    s.modifiedNanoseconds = st.stx_mtime.tv_nsec;
    s.changedSeconds = st.stx_ctime.tv_sec;
    s.changedNanoseconds = st.stx_ctime.tv_nsec;
    return s;
}

uint64_t mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

uint64_t hashBytes(std::string_view bytes, uint64_t seed)
{
    uint64_t h = 0xcbf29ce484222325ULL ^ seed;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return mix(h);
}

// One entry's share of a fingerprint, under one seed: its name below the item, its type and,
// unless it is a folder (whose own size and times change with its listing, already counted
// through its entries), its size and times.
uint64_t entryHash(std::string_view relativePath, const struct statx& st, uint64_t seed)
{
    uint64_t h = mix(hashBytes(relativePath, seed) ^ (st.stx_mode & S_IFMT));
    if (!S_ISDIR(st.stx_mode)) {
        h = mix(h ^ st.stx_size);
        h = mix(h ^ uint64_t(st.stx_mtime.tv_sec));
        h = mix(h ^ st.stx_mtime.tv_nsec);
        if (st.stx_mask & STATX_CTIME) {
            h = mix(h ^ uint64_t(st.stx_ctime.tv_sec));
            h = mix(h ^ st.stx_ctime.tv_nsec);
        }
    }
    return h;
}

void add(KZCompressedArchive::Fingerprint& f, std::string_view relativePath, const struct statx& st)
{
    ++f.entries;
    f.sumA += entryHash(relativePath, st, 0x5a17e3a9c1d2b4f6ULL);
    f.sumB += entryHash(relativePath, st, 0x0123456789abcdefULL);
}

} // namespace

std::optional<KZCompressedArchive::Stamp> KZCompressedArchive::stampOfDescriptor(int fd)
{
    struct statx st {};
    if (fd < 0 || ::statx(fd, "", AT_EMPTY_PATH, kStampMask, &st) != 0) return std::nullopt;
    return stampOf(fd, "", st);
}

int KZCompressedArchive::stampOfPath(const std::string& path, Stamp& stamp, bool& isRegularFile)
{
    struct statx st {};
    if (int err = kz::statPath(path, kStampMask, st)) return err == ENOTDIR ? ENOENT : err;
    isRegularFile = S_ISREG(st.stx_mode);
    if (!isRegularFile) return 0;
    // Opened without following a link, and checked to be what was looked at, so the stamp
    // (identity included) is of that one file.
    const std::string file = kz::pathWithoutTrailingSlash(path);
    const int parent = kz::openDirectoryPath(kz::parentPath(file), kz::FollowLinks::All);
    if (parent < 0) return errno == ENOTDIR ? ENOENT : errno;
    const int fd = ::openat(parent, file.c_str() + file.rfind('/') + 1, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    const int openError = errno;
    ::close(parent);
    if (fd < 0) return openError == ENOTDIR ? ENOENT : openError;
    std::optional<Stamp> open = stampOfDescriptor(fd);
    ::close(fd);
    if (!open) return EIO;
    if (open->identity.device != kz::deviceOf(st) || open->identity.inode != st.stx_ino) return ENOENT;
    stamp = *open;
    return 0;
}

namespace {

// Every entry of the item at `root` (the item itself first, with the relative path ""), a
// folder's with the path below the item ("/a/b"), leaving out the folder `skipped`. False
// when something can't be read, or when `cancelled` is set meanwhile.
bool walkItem(const std::string& root, const std::optional<kz::ItemIdentity>& skipped,
              const std::atomic<bool>* cancelled,
              const std::function<void(std::string_view relativePath, const struct statx& st)>& visit)
{
    struct statx st {};
    if (kz::statPath(root, kFingerprintMask | STATX_INO, st) != 0) return false;
    visit({}, st);
    if (!S_ISDIR(st.stx_mode)) return true;
    bool complete = true;
    kz::TreeWalkCallbacks callbacks;
    callbacks.visit = [&](const kz::WalkEntry& e) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) return kz::WalkAction::Stop;
        if (S_ISDIR(e.st.stx_mode) && skipped && kz::identityOf(e.st) == *skipped) return kz::WalkAction::Skip;
        visit(std::string_view(e.path).substr(std::min(root.size(), e.path.size())), e.st);
        return kz::WalkAction::Continue;
    };
    callbacks.failed = [&](const std::string&, int) { complete = false; };
    return kz::walkTree(root, callbacks) && complete;
}

// What an archive holds for an entry of a walk: its name there and its kind; false for what
// no archive holds (devices, pipes, sockets).
bool archivedAs(std::string_view top, std::string_view relativePath, const struct statx& st, std::string& name,
                KZZipReader::Kind& kind, uint64_t& size)
{
    switch (st.stx_mode & S_IFMT) {
    case S_IFREG:
        kind = KZZipReader::Kind::File;
        break;
    case S_IFLNK:
        kind = KZZipReader::Kind::Link;
        break;
    case S_IFDIR:
        kind = KZZipReader::Kind::Folder;
        break;
    default:
        return false;
    }
    name.assign(top);
    name.append(relativePath);
    if (kind == KZZipReader::Kind::Folder) name.push_back('/');
    size = kind == KZZipReader::Kind::Folder ? 0 : st.stx_size;
    return true;
}

std::string_view lastComponent(std::string_view path)
{
    return path.substr(path.rfind('/') + 1);
}

} // namespace

KZCompressedArchive::Item KZCompressedArchive::itemNamed(std::string_view name, KZZipReader::Kind kind, uint64_t size)
{
    return {hashBytes(name, 0x2545f4914f6cdd1dULL), size, kind};
}

std::optional<KZCompressedArchive::Fingerprint>
KZCompressedArchive::fingerprintOf(const std::string& path, const std::optional<kz::ItemIdentity>& skipped,
                                   const std::atomic<bool>* cancelled, Contents* contents)
{
    const std::string root = kz::pathWithoutTrailingSlash(path);
    const std::string_view top = lastComponent(root);
    Fingerprint f;
    std::string name;
    const bool complete =
        walkItem(root, skipped, cancelled, [&](std::string_view relativePath, const struct statx& st) {
            add(f, relativePath, st);
            KZZipReader::Kind kind;
            uint64_t size = 0;
            if (contents && archivedAs(top, relativePath, st, name, kind, size))
                contents->push_back(itemNamed(name, kind, size));
        });
    if (!complete) return std::nullopt;
    return f;
}

namespace {

// The first difference between what the sources held and what the archive lists (both sorted),
// as a sentence about the archive; `nameInArchive` and `nameInSources` find an item's name.
std::optional<QString> firstDifference(const KZCompressedArchive::Contents& expected,
                                       const KZCompressedArchive::Contents& found,
                                       const std::function<QString(uint64_t)>& nameInArchive,
                                       const std::function<QString(uint64_t)>& nameInSources)
{
    size_t i = 0, j = 0;
    while (i < expected.size() || j < found.size()) {
        if (j == found.size() || (i < expected.size() && expected[i].nameHash < found[j].nameHash))
            return text("%1 is missing from it").arg(nameInSources(expected[i].nameHash));
        if (i == expected.size() || found[j].nameHash < expected[i].nameHash)
            return text("it holds %1, which was not among the items compressed").arg(nameInArchive(found[j].nameHash));
        if (expected[i].kind != found[j].kind)
            return text("it holds %1 as another kind of item than it was").arg(nameInArchive(found[j].nameHash));
        if (expected[i].size != found[j].size)
            return text("it holds %1 with %2 bytes, where the item had %3 bytes when it was read")
                .arg(nameInArchive(found[j].nameHash))
                .arg(qulonglong(found[j].size))
                .arg(qulonglong(expected[i].size));
        ++i;
        ++j;
    }
    return std::nullopt;
}

QString quotedName(std::string_view name)
{
    return QStringLiteral("\"%1\"").arg(kz::displayString(std::string(name)));
}

} // namespace

KZCompressedArchive::ReadBack KZCompressedArchive::readBack(int fd, const std::string& path, Contents expected,
                                                            const std::vector<Source>& sources,
                                                            const std::optional<kz::ItemIdentity>& skipped,
                                                            const std::atomic<bool>* cancelled)
{
    const QString name = kz::displayString(path);
    ReadBack result;
    // Nobody may write into it from here on without the lease telling.
    switch (kz::takeReadLease(fd)) {
    case kz::ReadLease::OpenForWriting:
        result.error = refusal(text("The archive \"%1\" is open for writing in another program.").arg(name));
        return result;
    case kz::ReadLease::Held:
        result.leased = true;
        break;
    case kz::ReadLease::Unavailable:
        break;
    }
    const std::optional<Stamp> before = stampOfDescriptor(fd);
    if (!before) {
        result.error = refusal(
            text("The archive \"%1\" can't be read: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))));
        return result;
    }
    Contents found;
    found.reserve(expected.size());
    const std::optional<QString> problem = KZZipReader::readBack(
        fd, before->size,
        [&found](const KZZipReader::Member& m) { found.push_back(itemNamed(m.name, m.kind, m.size)); }, cancelled);
    result.stamp = stampOfDescriptor(fd);
    if (result.leased && !kz::readLeaseHolds(fd)) {
        result.leased = false;
        kz::releaseReadLease(fd);
        result.error = refusal(
            text("The archive \"%1\" was opened for writing by another program while it was read back.").arg(name));
        return result;
    }
    if (!result.stamp || *result.stamp != *before) {
        result.error = refusal(text("The archive \"%1\" was changed while it was read back.").arg(name));
        return result;
    }
    const QString incomplete = text("The archive \"%1\" does not read back whole: %2.");
    if (problem) {
        result.error = refusal(incomplete.arg(name, *problem));
        return result;
    }
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    // Names are looked up only for a difference: the archive's by listing it again, a missing
    // one by walking the sources again.
    auto nameInArchive = [&](uint64_t hash) {
        QString named = text("an item");
        KZZipReader::listMembers(fd, before->size, [&](const KZZipReader::Member& m) {
            if (itemNamed(m.name, m.kind, m.size).nameHash == hash) named = quotedName(m.name);
        });
        return named;
    };
    auto nameInSources = [&](uint64_t hash) {
        QString named = text("an item");
        std::string itemName;
        for (const Source& source : sources) {
            const std::string root = kz::pathWithoutTrailingSlash(source.first);
            walkItem(root, skipped, cancelled, [&](std::string_view relativePath, const struct statx& st) {
                KZZipReader::Kind kind;
                uint64_t size = 0;
                if (archivedAs(lastComponent(root), relativePath, st, itemName, kind, size) &&
                    itemNamed(itemName, kind, size).nameHash == hash)
                    named = quotedName(itemName);
            });
        }
        return named;
    };
    if (std::optional<QString> difference = firstDifference(expected, found, nameInArchive, nameInSources))
        result.error = refusal(incomplete.arg(name, *difference));
    return result;
}

KZCompressedArchive::KZCompressedArchive(std::string path, Stamp stamp, std::vector<Source> sources,
                                         std::optional<kz::ItemIdentity> skippedFolder, int heldFd, bool leased)
    : path_(std::move(path)), stamp_(stamp), sources_(std::move(sources)), skippedFolder_(skippedFolder),
      heldFd_(heldFd), leased_(leased && heldFd >= 0)
{
    for (Source& source : sources_) source.first = kz::pathWithoutTrailingSlash(source.first);
}

KZCompressedArchive::~KZCompressedArchive()
{
    releaseHold();
}

void KZCompressedArchive::releaseHold() const
{
    std::lock_guard lock(holdMutex_);
    if (heldFd_ < 0) return;
    if (leased_) kz::releaseReadLease(heldFd_);
    ::close(heldFd_);
    heldFd_ = -1;
    leased_ = false;
}

bool KZCompressedArchive::isLeaseHeld() const
{
    std::lock_guard lock(holdMutex_);
    return leased_ && kz::readLeaseHolds(heldFd_);
}

std::optional<KZError> KZCompressedArchive::checkArchive() const
{
    const QString name = kz::displayString(path_);
    Stamp now;
    bool regular = false;
    if (int err = stampOfPath(path_, now, regular)) {
        if (err == ENOENT) return refusal(text("The archive \"%1\" is no longer there.").arg(name));
        return refusal(
            text("The archive \"%1\" can't be read: %2").arg(name, QString::fromLocal8Bit(std::strerror(err))));
    }
    const bool sameFile = regular && now.identity == stamp_.identity;
    if (!sameFile) return refusal(text("The archive \"%1\" was replaced by another item.").arg(name));
    {
        std::lock_guard lock(holdMutex_);
        if (leased_ && !kz::readLeaseHolds(heldFd_)) {
            // Broken: whoever waits to write goes on now; the archive is no longer what was read.
            kz::releaseReadLease(heldFd_);
            leaseBroken_ = true;
        }
        if (leaseBroken_)
            return refusal(
                text("The archive \"%1\" was opened for writing by another program after it was read back.").arg(name));
    }
    if (now != stamp_) return refusal(text("The archive \"%1\" was changed after it was written.").arg(name));
    return std::nullopt;
}

std::optional<uint64_t> KZCompressedArchive::currentSize() const
{
    if (checkArchive()) return std::nullopt;
    return stamp_.size;
}

std::optional<KZError> KZCompressedArchive::checkSourceBeforeRemoving(const std::string& path) const
{
    if (std::optional<KZError> archive = checkArchive()) return archive;
    const std::string key = kz::pathWithoutTrailingSlash(path);
    for (const Source& source : sources_) {
        if (source.first != key) continue;
        if (!source.second) return refusal(text("It could not be read completely when it was compressed."));
        const std::optional<Fingerprint> now = fingerprintOf(key, skippedFolder_);
        if (!now)
            return refusal(text("It can't be read completely now, so it may have changed since it was compressed."));
        if (*now != *source.second) return refusal(text("It changed after it was compressed."));
        return std::nullopt;
    }
    return refusal(text("It is not in the archive."));
}
