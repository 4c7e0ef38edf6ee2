#pragma once
// What a completed compression leaves to be checked before anything it read is removed: the
// archive the compressor created (known by its own descriptor: device, inode and birth time,
// with the size and times it had once read back whole) and what each source was like when it
// was read (its type, size and times; for a folder, those of everything inside). Made by
// KZFileCompressor when it completes; its checks may run on any thread, the deletion
// engine's workers included.
//
// The archive is read back whole before the compression completes (readBack): its central
// directory must list exactly the items read from the sources (names, kinds, sizes) and
// every member's data must inflate to its size and checksum. From then on "the same archive"
// is the file read back, still at its path, with the size, modification and change times it
// had then (the change time moves with any write and can't be set back), and, where the
// system grants a read lease, a lease that still holds: taken before the reading, it breaks
// as soon as any process opens the archive for writing. The object holds the descriptor it
// read through (and with it the lease, and the inode number) until releaseHold() or its end.
//
// The originals themselves are still checked against their records by whoever removes them;
// these checks add what the records can't know: that the archive holding their copy is still
// there, whole and unchanged, and that no original changed after it went into the archive.

#include "model/KZZipReader.h"
#include "platform/KZDirectoryIO.h"
#include "platform/KZError.h"
#include "platform/KZFileIdentity.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class KZCompressedArchive {
public:
    // The archive file as the system knows it.
    struct Stamp {
        kz::FileIdentity identity; // the program's one identity of an item
        uint64_t size = 0;
        int64_t modifiedSeconds = 0;
        uint32_t modifiedNanoseconds = 0;
        int64_t changedSeconds = 0;
        uint32_t changedNanoseconds = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    // An item's state folded into a few numbers: its entries (the item and everything inside)
    // with their names, types, sizes and times, independent of the order a folder lists them.
    struct Fingerprint {
        uint64_t entries = 0;
        uint64_t sumA = 0;
        uint64_t sumB = 0;
        friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
    };
    // One item as an archive of the sources lists it: a hash of its name there (the source's
    // own name, then the path below it; a folder's ending in "/"), its kind and its size.
    // Devices, pipes and sockets have no place in an archive and are not listed.
    struct Item {
        uint64_t nameHash = 0;
        uint64_t size = 0;
        KZZipReader::Kind kind = KZZipReader::Kind::File;
        friend auto operator<=>(const Item&, const Item&) = default;
    };
    using Contents = std::vector<Item>;
    static Item itemNamed(std::string_view name, KZZipReader::Kind kind, uint64_t size);

    // The stamp of an open file (statx on the descriptor); nullopt when it can't be read.
    static std::optional<Stamp> stampOfDescriptor(int fd);
    // The stamp of what is at the path now, a final link not followed; an errno value
    // (ENOENT when nothing is there) when it can't be read.
    static int stampOfPath(const std::string& path, Stamp& stamp, bool& isRegularFile);
    // The fingerprint of the item at the path (a final "/" ignored, a final link not
    // followed), leaving out the folder with the identity `skipped` wherever it is met;
    // nullopt when the item, or anything inside it, can't be read, or when `cancelled` is
    // set meanwhile. With `contents`, what an archive of the item holds is added to it.
    static std::optional<Fingerprint> fingerprintOf(const std::string& path,
                                                    const std::optional<kz::ItemIdentity>& skipped = std::nullopt,
                                                    const std::atomic<bool>* cancelled = nullptr,
                                                    Contents* contents = nullptr);

    // One source as it was read: its path (without a final "/") and its fingerprint then.
    using Source = std::pair<std::string, std::optional<Fingerprint>>;

    // What reading an archive back found.
    struct ReadBack {
        std::optional<KZError> error; // nullopt: it read back whole
        std::optional<Stamp> stamp;   // as it was when read back
        bool leased = false;          // a read lease was taken, and held to the end
    };
    // Reads back the archive at `path`, open for reading at `fd` (which the caller keeps, and
    // which holds the lease taken here), against the contents of the sources as they were
    // read (`expected`, in any order). `sources` and `skipped` only serve to name an item
    // missing from the archive.
    static ReadBack readBack(int fd, const std::string& path, Contents expected, const std::vector<Source>& sources,
                             const std::optional<kz::ItemIdentity>& skipped, const std::atomic<bool>* cancelled);

    // Takes the descriptor `heldFd` (-1: none), through which the archive was read back,
    // with the lease on it when `leased`.
    KZCompressedArchive(std::string path, Stamp stamp, std::vector<Source> sources,
                        std::optional<kz::ItemIdentity> skippedFolder, int heldFd = -1, bool leased = false);
    ~KZCompressedArchive();
    KZCompressedArchive(const KZCompressedArchive&) = delete;
    KZCompressedArchive& operator=(const KZCompressedArchive&) = delete;

    const std::string& path() const { return path_; }
    const Stamp& stamp() const { return stamp_; }
    const std::vector<Source>& sources() const { return sources_; }

    // nullopt while the item at the archive's path is the file read back, with the size and
    // times it had then, and no process has opened it for writing since (where a lease tells);
    // otherwise why not (the compression's error).
    std::optional<KZError> checkArchive() const;
    // The archive's size while checkArchive passes; nullopt otherwise.
    std::optional<uint64_t> currentSize() const;
    // nullopt when the source at the path (one of the sources, with or without a final "/")
    // may go: the archive passes checkArchive and the source is as it was read; otherwise
    // why it must stay.
    std::optional<KZError> checkSourceBeforeRemoving(const std::string& path) const;
    // Lets the archive go: the descriptor closes and the lease with it, so that other
    // programs may write into it without waiting. Later checks compare the stamps only.
    void releaseHold() const;
    // Whether the lease taken when it was read back still holds (false once released).
    bool isLeaseHeld() const;

private:
    std::string path_;
    Stamp stamp_;
    std::vector<Source> sources_;
    std::optional<kz::ItemIdentity> skippedFolder_;
    mutable std::mutex holdMutex_;
    mutable int heldFd_ = -1;
    mutable bool leased_ = false;
    mutable bool leaseBroken_ = false; // found broken once: stays so
};
