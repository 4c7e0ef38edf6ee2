#pragma once
// Moving items to the Trash. The program reaches the Trash only through this interface, so
// tests can put a fake in its place; the real one is KZFreedesktopTrash. An item either lands
// in a Trash whole, or stays where it was and the failure is reported: there is never a copy
// and never a permanent deletion in its place.

#include "platform/KZError.h"
#include "platform/KZRemover.h"

#include <cstdint>
#include <optional>
#include <string_view>

class KZTrash {
public:
    virtual ~KZTrash() = default;

    // Moves the item at the path (a final "/" is ignored; a link is moved, not what it points
    // to) into the Trash. With `expected`, only while the item still has that identity.
    // nullopt on success, else why the item stayed.
    virtual std::optional<KZError> trashItem(std::string_view path,
                                             const std::optional<kz::FileIdentity>& expected = std::nullopt) = 0;

    // The process-wide Trash: the freedesktop.org one unless a test has put another in place.
    static KZTrash& shared();
    // Replaces the process-wide Trash (tests); nullptr restores the real one. The caller keeps
    // ownership and keeps the object alive while it is installed.
    static void setShared(KZTrash* trash);
};

namespace kz {

// What a move to the Trash counts as freed. The move itself frees nothing; the program counts
// what emptying the Trash would free: a file's bytes once, when every name it has is in a
// Trash. A file with one name counts at its move. A file with several counts when its last
// name outside the Trash goes there, whether the other names went inside the same folder or
// in earlier moves. For those, the Trash side keeps how many names of each such file the
// program moved itself, valid while the file's status-change time is still the one seen after
// that move: any other change to it (a name restored, added or removed, the Trash emptied)
// forgets them, so a file is never counted twice, at worst not at all.

// How many names of the file (by device and inode) the program moved to a Trash: 0 unless its
// status-change time (nanoseconds) is still `changeTime`.
unsigned namesMovedToTrash(const ItemIdentity& file, int64_t changeTime);
// Records that the program has now moved `names` names of the file to a Trash (those it had
// moved before included); its status-change time after the last move is `changeTime`.
void rememberNamesMovedToTrash(const ItemIdentity& file, unsigned names, int64_t changeTime);

} // namespace kz
