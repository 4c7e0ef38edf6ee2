#pragma once
// The Trash of the freedesktop.org Trash standard (1.0), our own implementation:
// - an item on the same mount as the home Trash ($XDG_DATA_HOME/Trash, by default
//   ~/.local/share/Trash, created when missing) goes there;
// - an item on another mount goes to the Trash at the top of its own mount:
//   $topdir/.Trash/$uid when $topdir/.Trash is a real folder with the sticky bit, else
//   $topdir/.Trash-$uid (created when missing);
// - the item is moved with one rename (RENAME_NOREPLACE) from its opened parent folder; a
//   move that the system refuses (another mount, no space, no permission) is an error and
//   the item stays; nothing is ever copied or deleted instead;
// - the information file info/<name>.trashinfo is created exclusively before the move, with
//   Path= percent-encoded byte by byte (spaces, newlines, non-UTF-8 bytes survive) and
//   DeletionDate= in local time; a name already in the Trash gets ".2", ".3" ... before its
//   extension.
// The home Trash location is read from the environment at each call. Thread-safe.

#include "platform/KZTrash.h"

#include <string>

class KZFreedesktopTrash : public KZTrash {
public:
    std::optional<KZError> trashItem(std::string_view path,
                                     const std::optional<kz::FileIdentity>& expected = std::nullopt) override;

    // $XDG_DATA_HOME/Trash when that variable holds an absolute path, else
    // $HOME/.local/share/Trash (the user database's home when $HOME is unset).
    static std::string homeTrashPath();
    // Path= value of an information file: the bytes percent-encoded, "/" and the unreserved
    // characters of RFC 2396 kept.
    static std::string encodeTrashPath(std::string_view path);
    // The name an item gets in the Trash at the given attempt (1 is the name itself), cut so
    // that its information file's name fits in 255 bytes.
    static std::string trashNameForAttempt(std::string_view name, int attempt);
};
