#pragma once
// The open folders of a serial, depth-first walk on descriptors, with the rules every such
// walk keeps in one place: a folder is entered through its parent's descriptor, never through
// a link (O_NOFOLLOW | O_DIRECTORY); it is checked to be the item looked at; the walk stays
// on its mount or device when told to, never enters a pseudo-file system met at a mount
// boundary, nor a folder that is one of the folders being walked or lies above the first
// (a bind mount that leads back); and however deep the tree, only a bounded number of
// descriptors stay open: past the bound the shallowest are closed, and found again through
// ".." (and checked) on the way back up. The stack keeps the path of the entry at hand.
//
// A walk may keep a second folder in step with each folder of the stack (a copy being made
// of it): its twin, closed and found again with it.

#include "platform/KZDirectoryIO.h"
#include "platform/KZMountTable.h"

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kz {

// Which mounts a walk enters below its first folder.
enum class MountRule : uint8_t {
    Cross,        // every mount (but pseudo-file systems, when they are left out)
    StayOnDevice, // only folders on the first folder's device
    StayOnMount,  // only folders on the first folder's mount
};

struct FolderGuards {
    MountRule mounts = MountRule::Cross;
    // Leave out pseudo-file systems (proc, sysfs, ...) met at a mount boundary.
    bool skipPseudoFileSystems = true;
};

// What came of entering a folder.
enum class EnterResult : uint8_t {
    Entered,          // it is on top of the stack now
    OtherMount,       // on a mount (or device) the walk keeps off
    PseudoFileSystem, // a pseudo-file system
    Loop,             // a folder being walked, the first one, or one above it
    Replaced,         // not the item that was looked at (error(): ESTALE)
    Failed,           // it could not be opened or looked at: error() says why
};

class FolderStack {
public:
    struct Folder {
        int fd = -1;   // -1 while closed to keep the descriptors bounded
        int twin = -1; // the folder kept in step with it, or -1
        bool hasTwin = false;
        ItemIdentity identity;
        ItemIdentity twinIdentity;
        uint64_t mountId = 0; // 0 when the system names no mounts
        std::vector<char> entries;
        size_t next = 0;       // offset of the next entry in `entries`
        size_t pathLength = 0; // length of the folder's path in path()
        std::string name;      // the folder's name in its parent
        int listError = 0;     // why its entries could not all be read, or 0
    };

    // At most `maxOpen` folders open at once (the first one counted only when the stack owns
    // it); entries listed with their d_type byte when `withTypes` is set.
    FolderStack(size_t maxOpen, FolderGuards guards, bool withTypes);
    ~FolderStack();
    FolderStack(const FolderStack&) = delete;
    FolderStack& operator=(const FolderStack&) = delete;

    // Starts the walk at the open folder `fd`, whose path is `path`; with `owned`, the stack
    // closes it. Its entries are read (listError tells a failure). 0, or the errno value when
    // the folder can't be looked at (nothing is started then; an owned `fd` is closed).
    int start(int fd, std::string_view path, bool owned);

    size_t depth() const { return depth_; } // 1 for the first folder alone
    Folder& top() { return frames_[depth_ - 1]; }
    Folder& at(size_t level) { return frames_[level]; }

    // The next entry of the folder on top, or nullptr when none is left; path() is its path
    // then. With types, `type` gets its d_type byte.
    const char* nextEntry(unsigned char* type = nullptr)
    {
        Folder& f = top();
        if (f.next >= f.entries.size()) return nullptr;
        if (withTypes_) {
            if (type) *type = static_cast<unsigned char>(f.entries[f.next]);
            ++f.next;
        }
        const char* name = f.entries.data() + f.next;
        const size_t length = std::char_traits<char>::length(name);
        f.next += length + 1;
        path_.resize(f.pathLength);
        path_.push_back('/');
        path_.append(name, length);
        return name;
    }

    // Enters the folder `name` of the folder on top (the entry nextEntry gave last). With
    // `seen` (the entry's record, as looked at through the parent), the guards judge it before
    // it is opened and the opened folder must be that item; without, they judge what was
    // opened. Entered: it is on top, with its entries read (listError tells a failure).
    EnterResult enter(const char* name, const struct statx* seen = nullptr);
    // Why the last enter failed or found the item replaced, or why leave() failed.
    int error() const { return error_; }

    // Keeps `fd` (the stack closes it) in step with the folder on top.
    void attachTwin(int fd, const ItemIdentity& identity);

    // Leaves the folder on top (there must be one above the first): its parent is open
    // again then and path() is the path of the folder left, which left() describes. False
    // when the parent could not be found again (error() is ESTALE; path() is the parent's):
    // the tree was moved under the walk, which must stop.
    bool leave();
    Folder& left() { return frames_[depth_]; }

    // Closes every folder it holds open; the walk is over.
    void clear();

    // The path of the entry nextEntry gave last, or of the folder leave() left.
    const std::string& path() const { return path_; }
    // The path of the folder at `level`.
    std::string folderPath(size_t level) const;

private:
    bool isBoundary(const struct statx& st, const Folder& parent) const;
    EnterResult judge(const struct statx& st, bool boundary);
    bool isPseudo(int fd, uint64_t device);
    void push(int fd, const struct statx& st, std::string_view name, size_t pathLength);
    void boundOpenFolders();
    void closeFrame(Folder& f);

    std::vector<Folder> frames_; // frames past depth_ keep their buffers for reuse
    size_t depth_ = 0;
    size_t open_ = 0; // folders the stack opened itself and holds open
    size_t maxOpen_;
    FolderGuards guards_;
    bool withTypes_;
    bool ownsFirst_ = false;
    int error_ = 0;
    std::string path_;
    std::optional<KZMountTable> mounts_;                              // read when first needed
    std::optional<std::vector<std::pair<uint64_t, uint64_t>>> above_; // the first folder and those above it
};

} // namespace kz
