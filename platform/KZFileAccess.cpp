#include "platform/KZFileAccess.h"

#include "platform/KZPathString.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::function<bool(const std::string&)>& testCheck()
{
    static std::function<bool(const std::string&)> check;
    return check;
}
} // namespace

bool kz_isDeletableFileAtPath(const std::string& rawPath)
{
    if (const auto& check = testCheck()) return check(rawPath);

    const std::string path = kz::pathWithoutTrailingSlash(rawPath);
    if (path.empty() || path.front() != '/' || path == "/") return false;
    const std::string parent = kz::parentPath(path);

    struct stat item {};
    if (::lstat(path.c_str(), &item) != 0) return false;
    struct stat folder {};
    if (::stat(parent.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) return false;
    if (::faccessat(AT_FDCWD, parent.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return false;

    const uid_t me = ::geteuid();
    if ((folder.st_mode & S_ISVTX) && me != 0 && me != item.st_uid && me != folder.st_uid) return false;
    return true;
}

void kz::setDeletableCheckForTesting(std::function<bool(const std::string&)> check)
{
    testCheck() = std::move(check);
}
