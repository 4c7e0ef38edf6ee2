#pragma once
// Removes one file or folder from disk for the program's delete. Works on directory
// descriptors: never follows a link (a folder path's final "/" is dropped first, so "link/"
// removes the link, never what it points to), never enters a folder on another file system
// (or another mount of the same one), goes on past a failure inside a folder and reports
// each failure. Refuses a mounted volume itself (EXDEV), "", relative paths, "." and ".."
// components, "/", home folders and the folders above them (by path and, for folders, by
// identity, so a path through a link to "/" can't reach them either). Thread-safe; runs on
// the caller's thread.

#include "platform/KZDirectoryIO.h"
#include "platform/KZFileIdentity.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDatabase.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kz {

// The most folders one removal keeps open at once, however deep the tree: past it, the
// shallowest are closed and found again through ".." on the way back up.
constexpr size_t kRemovalMaxOpenFolders = 64;

struct RemovalFailure {
    std::string path; // without a final "/"
    int error;        // errno value
};

struct RemovalResult {
    // 0 when the item is gone; otherwise why it is still (partly) there: the item's own
    // failure, or ENOTEMPTY when something inside it could not be removed.
    int error = 0;
    // Every failure, inner ones included, in the order they happened.
    std::vector<RemovalFailure> failures;
    // The bytes that left the disk: the logical sizes (st_size) of the files and links whose
    // last name this removal unlinked (a link count of 1, read just before each unlink), so
    // a file with several names counts once, when its last name goes; folders count 0.
    // Partial removals count what went.
    uint64_t removedBytes = 0;
    bool succeeded() const { return error == 0; }
};

// Told, on the removing thread, how far the removal of a folder has come: the entries (files,
// links and folders) removed inside it so far and the bytes of those files and links. Called
// after every kRemovalProgressEvery entries; must be cheap.
using RemovalProgress = std::function<void(uint64_t entries, uint64_t bytes)>;
constexpr uint64_t kRemovalProgressEvery = 256;

// 0 when the program may remove or trash the item at the path; EINVAL for "", a relative
// path or one with a "." or ".." component; EPERM for "/", a home folder or a folder above
// one (isHomeFolderOrAncestor).
int checkRemovablePath(std::string_view path);
// True when the folder with this identity is "/", a home folder or a folder above one,
// whatever path leads to it.
bool isProtectedFolder(const ItemIdentity& identity);

// True for a private name the remover sets an item aside under: ".sizemere-removing-" and
// 16 hex digits.
bool isRemovalAsideName(std::string_view name);

// Opens the folder at an absolute path of any length (links in it are followed); -1 with
// errno set on failure.
int openFolder(const std::string& path);

// Removes the item at the path with everything in it. With `expected`, the item is removed
// only while it is still the item with that identity (isSameFile; ESTALE otherwise). Nothing at the path gives
// ENOENT. The item is first renamed to a private name in its folder (".sizemere-removing-"
// and 16 hex digits) and looked at there, so an item another program puts at the path after
// the check is moved back untouched (ESTALE); what can't be removed whole goes back under its
// own name. Only the item itself is moved: nothing inside it costs more than its unlink. (A
// file system that can't rename removes in place, after the same check.) The move away and
// everything under the private name are marked as the program's own change just before they
// happen, and so is what goes inside a folder under the folder's own path too (a watcher that
// missed the move knows it by that path), and the move back; a refused removal marks nothing.
// From just before the move until the removal ends, the item is marked as being removed
// (KZRemovalRegistry), so that no scan records it under either name. `progress`, when set,
// follows the work inside a folder.
RemovalResult removeItemAtPath(std::string_view path, const std::optional<FileIdentity>& expected = std::nullopt,
                               const RemovalProgress& progress = {});

} // namespace kz
