#pragma once
// Copies one file, link or folder tree into a folder, for the compressor's several-items
// archive. Never follows a link (links are copied as links), keeps modes and modification
// times, keeps the holes of sparse files, creates nothing over an existing item, never
// recurses on the tree's depth and keeps a bounded number of descriptors open. Devices,
// sockets and pipes have no content to copy and are passed over; a pseudo-file system, or a
// bind mount that leads back to a folder being copied or above it, is copied as an empty
// folder. The first failure stops the
// copy and is reported with the path it happened at. Runs on the caller's thread.

#include "platform/KZRemover.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kz {

struct CopyControl {
    // Set from any thread to stop the copy (it then fails with ECANCELED).
    const std::atomic<bool>* cancelled = nullptr;
    // Raised as file data is copied (holes count as copied).
    std::atomic<uint64_t>* bytesCopied = nullptr;
    // Called before each item is copied, with the item's source path (tests).
    std::function<void(const std::string& source)> willCopyItem;
    // A folder never copied, wherever it is met, by identity: the destination itself, when it
    // lies inside a source, so that the copy never descends into its own output.
    std::optional<ItemIdentity> skippedFolder;
};

struct CopyResult {
    int error = 0;    // 0, or the errno value that stopped the copy
    std::string path; // where it happened
    bool succeeded() const { return error == 0; }
};

// Copies the item at `source` (a final "/" is ignored) into the folder `destinationFolder`
// under the item's own name.
CopyResult copyItemIntoFolder(const std::string& source, const std::string& destinationFolder,
                              const CopyControl& control = {});

} // namespace kz
