#pragma once
// The system's user database: the process user's home folder, which folders are somebody's
// home folder, and the one rule for the folders the program never removes because they are
// homes or hold one.

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
// The process user's homes (see homeDirectoriesOfCurrentUser) and every folder above them,
// "/" included, without a final "/", nearest first for each home.
std::vector<std::string> homeFoldersAndTheFoldersAbove();
// True for "", "/", a home folder (see isUserHomeFolder), /home, /Users, and every folder
// above one of the process user's homes: the folders that are never removed. Decided on the
// text of the path; the remover and the Trash also decide by identity (isProtectedFolder).
bool isHomeFolderOrAncestor(std::string_view path);

// Replaces the user database's answer for the process user's home (tests: a home such as
// /srv/users/ann, whose folders above are not "/" alone); "" restores the database's.
void setHomeDirectoryForTesting(std::string home);
} // namespace kz
