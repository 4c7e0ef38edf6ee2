#pragma once
// The system's user database: the process user's home folder, and which folders are
// somebody's home folder.

#include <string>
#include <string_view>
#include <vector>

namespace kz {
// The home folder the user database records for the process's user (not $HOME), without a
// final "/"; "/" when the database has no entry.
std::string homeDirectoryForCurrentUser();
// The folder $HOME names, without a final "/", when it is an absolute path with no "." or
// ".." component; "" otherwise. Read at each call.
std::string homeDirectoryFromEnvironment();
// Every folder the process user's home may be: the user database's and, when it differs and
// is not "/", $HOME's. Both are protected alike.
std::vector<std::string> homeDirectoriesOfCurrentUser();
// True for a user's home folder, with or without a final "/": /home/<name>, /Users/<name>,
// /root, and the process user's own home (the user database's and $HOME's).
bool isUserHomeFolder(std::string_view path);
} // namespace kz
