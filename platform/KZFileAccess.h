#pragma once
// Whether the user may delete an item: its folder must be searchable and writable by the
// process, and in a sticky folder (such as /tmp) the user must own the item or the folder
// (root may always). This answers what the system would allow; what the program refuses on
// its own (home folders, system paths) is the ignore list's business. Tests run as root,
// where the system allows everything, so they install an answer of their own.

#include <functional>
#include <string>

bool kz_isDeletableFileAtPath(const std::string& path);

namespace kz {
// Replaces the answer for every path (tests); an empty function restores the system's.
void setDeletableCheckForTesting(std::function<bool(const std::string& path)> check);
} // namespace kz
