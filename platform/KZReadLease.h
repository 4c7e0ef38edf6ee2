#pragma once
// A read lease on an open file (fcntl F_SETLEASE, F_RDLCK): the system grants it only while
// no process has the file open for writing (this one's other descriptors included), and it
// holds until its descriptor's last duplicate closes, it is released, or some process opens
// the file for writing or truncates it, which breaks it (that process then waits until the
// lease goes, at most the system's lease-break time). So "the lease still holds" means that
// nobody could have written into the file since it was taken. The holder is never signalled
// (a broken lease is found by asking), and nothing is waited for here except a few short
// retries while the file is open for writing. Not on network volumes, where the server's
// clients write without asking this system. Any thread.

namespace kz {

enum class ReadLease {
    Held,           // taken
    OpenForWriting, // refused: some process has the file open for writing
    Unavailable,    // not offered for this file (file system, network volume, leases disabled)
};

ReadLease takeReadLease(int fd);
// Whether the lease taken on the descriptor still holds (not broken, not released).
bool readLeaseHolds(int fd);
// Gives the lease up, so that a process waiting to write goes on at once.
void releaseReadLease(int fd);

} // namespace kz
