#pragma once
// What a completed compression leaves to be checked before anything it read is removed: the
// archive the compressor created (known by its own descriptor: device, inode and birth time,
// with the size and modification time it had once complete) and what each source was like
// when it was read (its type, size and times; for a folder, those of everything inside).
// Made by KZFileCompressor when it completes, then never changed: its checks may run on any
// thread, the deletion engine's workers included.
//
// The originals themselves are still checked against their records by whoever removes them;
// these checks add what the records can't know: that the archive holding their copy is still
// there, whole and unchanged, and that no original changed after it went into the archive.

#include "platform/KZDirectoryIO.h"
#include "platform/KZError.h"

#include <sys/stat.h>

#include "platform/KZFileIdentity.h"
#include <atomic>
#include <cstdint>

#include <optional>
#include <string>
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

    // The stamp of an open file (statx on the descriptor); nullopt when it can't be read.
    static std::optional<Stamp> stampOfDescriptor(int fd);
    // The stamp of what is at the path now, a final link not followed; an errno value
    // (ENOENT when nothing is there) when it can't be read.
    static int stampOfPath(const std::string& path, Stamp& stamp, bool& isRegularFile);
    // The fingerprint of the item at the path (a final "/" ignored, a final link not
    // followed), leaving out the folder with the identity `skipped` wherever it is met;
    // nullopt when the item, or anything inside it, can't be read, or when `cancelled` is
    // set meanwhile.
    static std::optional<Fingerprint> fingerprintOf(const std::string& path,
                                                    const std::optional<kz::ItemIdentity>& skipped = std::nullopt,
                                                    const std::atomic<bool>* cancelled = nullptr);

    // One source as it was read: its path (without a final "/") and its fingerprint then.
    using Source = std::pair<std::string, std::optional<Fingerprint>>;

    KZCompressedArchive(std::string path, Stamp stamp, std::vector<Source> sources,
                        std::optional<kz::ItemIdentity> skippedFolder);

    const std::string& path() const { return path_; }
    const Stamp& stamp() const { return stamp_; }
    const std::vector<Source>& sources() const { return sources_; }

    // nullopt when the item at the archive's path is the file created, with the size and
    // modification time it had when complete; otherwise why not (the compression's error).
    std::optional<KZError> checkArchive() const;
    // The archive's size while checkArchive passes; nullopt otherwise.
    std::optional<uint64_t> currentSize() const;
    // nullopt when the source at the path (one of the sources, with or without a final "/")
    // may go: the archive passes checkArchive and the source is as it was read; otherwise
    // why it must stay.
    std::optional<KZError> checkSourceBeforeRemoving(const std::string& path) const;

private:
    std::string path_;
    Stamp stamp_;
    std::vector<Source> sources_;
    std::optional<kz::ItemIdentity> skippedFolder_;
};
