#pragma once
// Moving items to the Trash. The program reaches the Trash only through this interface, so
// tests can put a fake in its place; the real one is KZFreedesktopTrash. An item either lands
// in a Trash whole, or stays where it was and the failure is reported: there is never a copy
// and never a permanent deletion in its place.

#include "platform/KZError.h"
#include "platform/KZRemover.h"

#include <optional>
#include <string_view>

class KZTrash {
public:
    virtual ~KZTrash() = default;

    // Moves the item at the path (a final "/" is ignored; a link is moved, not what it points
    // to) into the Trash. With `expected`, only while the item still has that identity.
    // nullopt on success, else why the item stayed.
    virtual std::optional<KZError> trashItem(std::string_view path,
                                             const std::optional<kz::ItemIdentity>& expected = std::nullopt) = 0;

    // The process-wide Trash: the freedesktop.org one unless a test has put another in place.
    static KZTrash& shared();
    // Replaces the process-wide Trash (tests); nullptr restores the real one. The caller keeps
    // ownership and keeps the object alive while it is installed.
    static void setShared(KZTrash* trash);
};
