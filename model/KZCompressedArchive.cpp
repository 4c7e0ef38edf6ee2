#include "model/KZCompressedArchive.h"

#include "model/KZTreeWalker.h"
#include "platform/KZPathString.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>

namespace {

QString text(const char* source)
{
    return QCoreApplication::translate("KZCompressedArchive", source);
}

KZError refusal(const QString& description)
{
    return KZError::sizemere(KZError::CompressionFailed, description);
}

constexpr unsigned kStampMask = kz::kFileIdentityMask | STATX_SIZE | STATX_MTIME;
constexpr unsigned kFingerprintMask = STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_CTIME;

// The stamp of the entry `name` of `dirFd` ("": `dirFd` itself) whose statx record is `st`.
KZCompressedArchive::Stamp stampOf(int dirFd, const char* name, const struct statx& st)
{
    KZCompressedArchive::Stamp s;
    s.identity = kz::fileIdentityAt(dirFd, name, st);
    s.size = st.stx_size;
    s.modifiedSeconds = st.stx_mtime.tv_sec;
    s.modifiedNanoseconds = st.stx_mtime.tv_nsec;
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

std::optional<KZCompressedArchive::Fingerprint>
KZCompressedArchive::fingerprintOf(const std::string& path, const std::optional<kz::ItemIdentity>& skipped,
                                   const std::atomic<bool>* cancelled)
{
    const std::string root = kz::pathWithoutTrailingSlash(path);
    struct statx st {};
    if (kz::statPath(root, kFingerprintMask | STATX_INO, st) != 0) return std::nullopt;
    Fingerprint f;
    add(f, {}, st);
    if (!S_ISDIR(st.stx_mode)) return f;
    bool complete = true;
    kz::TreeWalkCallbacks callbacks;
    callbacks.visit = [&](const kz::WalkEntry& e) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) return kz::WalkAction::Stop;
        if (S_ISDIR(e.st.stx_mode) && skipped && kz::identityOf(e.st) == *skipped) return kz::WalkAction::Skip;
        add(f, std::string_view(e.path).substr(std::min(root.size(), e.path.size())), e.st);
        return kz::WalkAction::Continue;
    };
    callbacks.failed = [&](const std::string&, int) { complete = false; };
    if (!kz::walkTree(root, callbacks) || !complete) return std::nullopt;
    return f;
}

KZCompressedArchive::KZCompressedArchive(std::string path, Stamp stamp, std::vector<Source> sources,
                                         std::optional<kz::ItemIdentity> skippedFolder)
    : path_(std::move(path)), stamp_(stamp), sources_(std::move(sources)), skippedFolder_(skippedFolder)
{
    for (Source& source : sources_) source.first = kz::pathWithoutTrailingSlash(source.first);
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
