#include "tests/support/Identity.h"

#include "tests/support/TestSupport.h"

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kztest {

bool rewriteWithSameInode(const std::string& path, long long size)
{
    struct stat before {};
    if (::lstat(path.c_str(), &before) != 0) return false;
    // Written later than the scan that saw the old file: a later tick of the file system's clock.
    spin(std::chrono::milliseconds(20));
    ::unlink(path.c_str());
    // New files that got other numbers are kept aside meanwhile, so that the next one can't
    // get the same other number again.
    std::vector<std::string> fillers;
    bool same = false;
    for (int attempt = 0; attempt < 512 && !same; ++attempt) {
        makeFile(path, size);
        struct stat after {};
        same = ::lstat(path.c_str(), &after) == 0 && after.st_ino == before.st_ino && after.st_dev == before.st_dev;
        if (!same) {
            fillers.push_back(path + ".filler" + std::to_string(attempt));
            ::rename(path.c_str(), fillers.back().c_str());
        }
    }
    for (const std::string& f : fillers) ::unlink(f.c_str());
    if (!same) makeFile(path, size);
    return same;
}

kz::FileIdentity scannedIdentityOfAFileWrittenAnew(const std::string& path, long long size)
{
    const kz::FileIdentity old = kz::fileIdentityOfPath(path).value_or(kz::FileIdentity{});
    rewriteWithSameInode(path, size);
    const kz::FileIdentity now = kz::fileIdentityOfPath(path).value_or(kz::FileIdentity{});
    return {now.device, now.inode, old.kind, old.stamp};
}

kz::IdentityLimits limitsFor(IdentityFileSystem fs)
{
    switch (fs) {
    case IdentityFileSystem::WithBirthTimes:
        return {};
    case IdentityFileSystem::WithHandlesOnly:
        return {true, false};
    case IdentityFileSystem::WithNeither:
        return {true, true};
    }
    return {};
}

const char* nameOf(IdentityFileSystem fs)
{
    switch (fs) {
    case IdentityFileSystem::WithBirthTimes:
        return "birth times";
    case IdentityFileSystem::WithHandlesOnly:
        return "file handles only";
    case IdentityFileSystem::WithNeither:
        return "neither";
    }
    return "";
}

} // namespace kztest
