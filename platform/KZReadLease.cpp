#include "platform/KZReadLease.h"

#include "platform/KZDirectoryIO.h"
#include "platform/KZMountTable.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kz {

namespace {

// A descriptor another thread is just passing to a starting child process holds the file
// open for writing for a moment: a refusal is asked again a few times before it counts.
constexpr int kAttempts = 5;
constexpr std::chrono::milliseconds kRetryDelay{20};

bool onNetworkVolume(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) return true;
    const KZMountTable table = KZMountTable::current();
    const std::optional<KZMountTable::Kind> kind = table.kindOfDevice(deviceOf(st));
    return (kind ? *kind : KZMountTable::kindOfOpenFolder(fd)) == KZMountTable::Kind::Network;
}

} // namespace

ReadLease takeReadLease(int fd)
{
    if (fd < 0 || onNetworkVolume(fd)) return ReadLease::Unavailable;
    // A break of the lease is told by a signal, SIGIO unless another is chosen, and SIGIO
    // ends a process that does not handle it. SIGURG is ignored unless handled, and the
    // descriptor is given no owner once the lease is taken, so nothing is sent at all.
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0) return ReadLease::Unavailable;
    for (int attempt = 1;; ++attempt) {
        if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) break;
        if (errno != EAGAIN && errno != EBUSY) return ReadLease::Unavailable;
        if (attempt == kAttempts) return ReadLease::OpenForWriting;
        std::this_thread::sleep_for(kRetryDelay);
    }
    ::fcntl(fd, F_SETOWN, 0);
    return readLeaseHolds(fd) ? ReadLease::Held : ReadLease::OpenForWriting;
}

bool readLeaseHolds(int fd)
{
    return fd >= 0 && ::fcntl(fd, F_GETLEASE) == F_RDLCK;
}

void releaseReadLease(int fd)
{
    if (fd >= 0) ::fcntl(fd, F_SETLEASE, F_UNLCK);
}

} // namespace kz
