#include "platform/KZUserDatabase.h"

#include "platform/KZPathString.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace kz {

namespace {
std::mutex testHomeMutex;
std::string testHome;

std::string databaseHome()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == ERANGE)
        buffer.resize(buffer.size() * 2);
    return pathWithoutTrailingSlash((result && result->pw_dir && *result->pw_dir) ? result->pw_dir : "/");
}
} // namespace

std::string homeDirectoryForCurrentUser()
{
    {
        std::lock_guard lock(testHomeMutex);
        if (!testHome.empty()) return testHome;
    }
    static const std::string home = databaseHome();
    return home;
}

void setHomeDirectoryForTesting(std::string home)
{
    std::lock_guard lock(testHomeMutex);
    testHome = home.empty() ? std::string() : pathWithoutTrailingSlash(home);
}

std::string homeDirectoryFromEnvironment()
{
    const char* value = std::getenv("HOME");
    if (!value || value[0] != '/') return {};
    // Repeated "/" are dropped; "/a/../b" names a folder its text does not, so such a value
    // is not used as a path.
    const std::string_view text(value);
    std::string dir;
    for (size_t pos = 1; pos <= text.size();) {
        const size_t end = std::min(text.find('/', pos), text.size());
        const std::string_view part = text.substr(pos, end - pos);
        if (part == "." || part == "..") return {};
        if (!part.empty()) {
            dir.push_back('/');
            dir.append(part);
        }
        pos = end + 1;
    }
    return dir.empty() ? std::string("/") : dir;
}

std::vector<std::string> homeDirectoriesOfCurrentUser()
{
    std::vector<std::string> homes{homeDirectoryForCurrentUser()};
    const std::string environment = homeDirectoryFromEnvironment();
    if (!environment.empty() && environment != "/" && environment != homes.front()) homes.push_back(environment);
    return homes;
}

bool isUserHomeFolder(std::string_view path)
{
    const std::string p = pathWithoutTrailingSlash(path);
    if (p.empty()) return false;
    if (p == "/root") return true;
    for (const std::string& home : homeDirectoriesOfCurrentUser())
        if (home != "/" && p == home) return true;
    for (std::string_view base : {std::string_view("/home/"), std::string_view("/Users/")}) {
        if (p.size() > base.size() && p.compare(0, base.size(), base) == 0 &&
            p.find('/', base.size()) == std::string::npos)
            return true;
    }
    return false;
}

std::vector<std::string> homeFoldersAndTheFoldersAbove()
{
    std::vector<std::string> out;
    for (std::string folder : homeDirectoriesOfCurrentUser()) {
        for (;;) {
            out.push_back(folder);
            if (folder.size() <= 1) break;
            folder = parentPath(folder);
        }
    }
    return out;
}

bool isHomeFolderOrAncestor(std::string_view path)
{
    const std::string p = pathWithoutTrailingSlash(path);
    if (p.empty() || p == "/" || p == "/home" || p == "/Users" || isUserHomeFolder(p)) return true;
    for (const std::string& folder : homeFoldersAndTheFoldersAbove())
        if (folder == p) return true;
    return false;
}

} // namespace kz
