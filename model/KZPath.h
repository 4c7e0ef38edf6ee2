#pragma once
// Path operations on byte strings, used across the program. Folder paths carry a final "/";
// comparisons add a missing "/" before comparing, and a path counts as its own child.

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Equal once a final "/" missing on exactly one side is added; case-sensitive.
bool kz_isEqualToPath(std::string_view path, std::string_view other);
// True when `path` (with a final "/" added) begins with `ancestor` (with a final "/" added).
bool kz_isChildOfPath(std::string_view path, std::string_view ancestor);
// True for a user's home folder (see kz::isUserHomeFolder).
bool kz_isUserDirectory(std::string_view path);
// True when the item at the path is a folder (a final link is not followed).
bool kz_isDirectory(std::string_view path);
// True when the last component begins with ".".
bool kz_isHidden(std::string_view path);
// The last component (a final "/" is not a component), decoded for display; "" for "".
QString kz_localizedFileName(std::string_view path);
// The last component as bytes.
std::string kz_lastPathComponent(std::string_view path);
// The path without its last component ("/a/b/c/" gives "/a/b"; "/a" gives "/").
std::string kz_stringByDeletingLastPathComponent(std::string_view path);
// The extension of the last component (after its last "."), or "".
std::string_view kz_pathExtension(std::string_view path);
// The components as the platform splits them: a leading "/" and a final "/" are components
// of their own; empty components are dropped.
std::vector<std::string> kz_pathComponents(std::string_view path);
// Deepest common folder of the paths; nullopt for none or no common component.
std::optional<std::string> kz_commonAncestorWithPaths(const std::vector<std::string>& paths);
// Deep size in bytes: a folder's non-folder items at every depth, or a file's own size; 0
// when nothing is there.
uint64_t kz_pathFileSize(std::string_view path);
// `path` with a final "/" (added when missing).
std::string kz_withTrailingSlash(std::string_view path);
