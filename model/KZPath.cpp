#include "model/KZPath.h"

#include "model/KZTreeWalker.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDatabase.h"

#include <sys/stat.h>

std::string kz_withTrailingSlash(std::string_view path)
{
    std::string s(path);
    if (s.empty() || s.back() != '/') s.push_back('/');
    return s;
}

bool kz_isEqualToPath(std::string_view path, std::string_view other)
{
    const bool a = !path.empty() && path.back() == '/';
    const bool b = !other.empty() && other.back() == '/';
    if (a == b) return path == other;
    if (a) return path.size() == other.size() + 1 && path.substr(0, other.size()) == other;
    return other.size() == path.size() + 1 && other.substr(0, path.size()) == path;
}

bool kz_isChildOfPath(std::string_view path, std::string_view ancestor)
{
    // Compares path + "/" with ancestor + "/" (each "/" only where missing), without copying.
    const bool pSlash = !path.empty() && path.back() == '/';
    const bool aSlash = !ancestor.empty() && ancestor.back() == '/';
    const size_t pLen = path.size() + (pSlash ? 0 : 1);
    const size_t aLen = ancestor.size() + (aSlash ? 0 : 1);
    if (aLen > pLen) return false;
    auto at = [](std::string_view s, size_t i) { return i < s.size() ? s[i] : '/'; };
    for (size_t i = 0; i < aLen; ++i)
        if (at(path, i) != at(ancestor, i)) return false;
    return true;
}

bool kz_isUserDirectory(std::string_view path)
{
    return kz::isUserHomeFolder(path);
}

bool kz_isDirectory(std::string_view path)
{
    const std::string p = kz::pathWithoutTrailingSlash(path);
    struct stat st {};
    return !p.empty() && ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string kz_lastPathComponent(std::string_view path)
{
    path = kz::withoutTrailingSlash(path);
    if (path == "/") return "/";
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool kz_isHidden(std::string_view path)
{
    const std::string last = kz_lastPathComponent(path);
    return !last.empty() && last[0] == '.';
}

QString kz_localizedFileName(std::string_view path)
{
    if (path.empty()) return {};
    return kz::displayString(kz_lastPathComponent(path));
}

std::string kz_stringByDeletingLastPathComponent(std::string_view path)
{
    return kz::parentPath(path);
}

std::string_view kz_pathExtension(std::string_view path)
{
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = last.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return last.substr(dot + 1);
}

std::vector<std::string> kz_pathComponents(std::string_view path)
{
    std::vector<std::string> out;
    if (path.empty()) return out;
    if (path.front() == '/') out.emplace_back("/");
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/') ++i;
        const size_t start = i;
        while (i < path.size() && path[i] != '/') ++i;
        if (i > start) out.emplace_back(path.substr(start, i - start));
    }
    if (path.size() > 1 && path.back() == '/') out.emplace_back("/");
    return out;
}

std::optional<std::string> kz_commonAncestorWithPaths(const std::vector<std::string>& paths)
{
    if (paths.empty()) return std::nullopt;
    std::vector<std::string> common;
    if (paths.size() == 1) return kz_stringByDeletingLastPathComponent(paths.front());
    {
        common = kz_pathComponents(paths.front());
        for (size_t k = 1; k < paths.size() && !common.empty(); ++k) {
            const std::vector<std::string> other = kz_pathComponents(paths[k]);
            size_t n = std::min(common.size(), other.size());
            size_t i = 0;
            while (i < n && common[i] == other[i]) ++i;
            common.resize(i);
        }
        if (common.empty()) return std::nullopt;
    }
    if (!common.empty() && common.front() == "/") common.erase(common.begin());
    if (common.size() > 0 && common.back() == "/") common.pop_back();
    std::string joined;
    for (size_t i = 0; i < common.size(); ++i) {
        if (i) joined.push_back('/');
        joined += common[i];
    }
    if (joined.empty() || joined.front() != '/') joined.insert(joined.begin(), '/');
    return joined;
}

uint64_t kz_pathFileSize(std::string_view path)
{
    const std::string p = kz::pathWithoutTrailingSlash(path);
    struct stat st {};
    if (p.empty() || ::lstat(p.c_str(), &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return kz::deepSizeOfFolder(p);
    return uint64_t(st.st_size);
}
