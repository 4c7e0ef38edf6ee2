#pragma once
// The system's user database: the process user's home folder, and which folders are
// somebody's home folder.

#include <string>
#include <string_view>

namespace kz {
// The home folder the user database records for the process's user (not $HOME), without a
// final "/"; "/" when the database has no entry.
std::string homeDirectoryForCurrentUser();
// True for a user's home folder, with or without a final "/": /home/<name>, /Users/<name>,
// /root, and the process user's own home.
bool isUserHomeFolder(std::string_view path);
} // namespace kz
