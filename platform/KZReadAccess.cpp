#include "platform/KZReadAccess.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <string>
#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kz {

namespace {

// The first bytes of a small file of /proc or /sys, without trailing new lines; false when it
// can't be read.
bool readSmallFile(const char* path, std::string& out)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[512];
    ssize_t n;
    do {
        n = ::read(fd, buffer, sizeof buffer - 1);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n < 0) return false;
    out.assign(buffer, size_t(n));
    while (!out.empty() && (out.back() == '\n' || out.back() == '\0' || out.back() == ' ')) out.pop_back();
    return true;
}

bool exists(const char* path)
{
    struct stat st {};
    return ::stat(path, &st) == 0;
}

// The whole id range maps onto itself: the initial user namespace.
bool isInitialMap(const char* path)
{
    std::string map;
    if (!readSmallFile(path, map)) return false;
    unsigned long long inside = 1, outside = 1, count = 0;
    char rest = 0;
    return std::sscanf(map.c_str(), " %llu %llu %llu %c", &inside, &outside, &count, &rest) == 3 && inside == 0 &&
           outside == 0 && count == 4294967295ull;
}

bool hasReadEverythingCapability()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    const uint32_t effective = data[0].effective;
    return (effective & (1u << CAP_DAC_READ_SEARCH)) || (effective & (1u << CAP_DAC_OVERRIDE));
}

// The calling thread's security label; "" when no module gives one.
std::string securityLabel()
{
    std::string label;
    if (readSmallFile("/proc/thread-self/attr/apparmor/current", label)) return label;
    if (readSmallFile("/proc/thread-self/attr/current", label)) return label;
    return {};
}

bool isAppArmorLabel(const std::string& label)
{
    return label == "unconfined" || (!label.empty() && label.back() == ')');
}

// A module that judges every access is active: SELinux or Smack.
bool moduleJudgesEveryAccess()
{
    std::string modules;
    if (readSmallFile("/sys/kernel/security/lsm", modules)) {
        size_t start = 0;
        while (start <= modules.size()) {
            const size_t comma = std::min(modules.find(',', start), modules.size());
            const std::string name = modules.substr(start, comma - start);
            if (name == "selinux" || name == "smack") return true;
            start = comma + 1;
        }
        return false;
    }
    // Without securityfs: their own file systems, or a label no other module writes.
    if (exists("/sys/fs/selinux/enforce") || exists("/sys/fs/smackfs")) return true;
    const std::string label = securityLabel();
    return !label.empty() && !isAppArmorLabel(label);
}

uint32_t overflowId(const char* path)
{
    std::string text;
    unsigned long value = 65534;
    if (readSmallFile(path, text)) std::sscanf(text.c_str(), "%lu", &value);
    return uint32_t(value);
}

} // namespace

ReadAccessShortcut::Identity ReadAccessShortcut::currentIdentity()
{
    Identity id;
    id.fsuid = uid_t(::setfsuid(uid_t(-1))); // an invalid id changes nothing and answers the current one
    id.moduleJudges = moduleJudgesEveryAccess();
    id.overflowUid = overflowId("/proc/sys/kernel/overflowuid");
    id.overflowGid = overflowId("/proc/sys/kernel/overflowgid");
    // A profile could refuse the capability itself; outside the initial namespace it covers
    // only the ids mapped there.
    const std::string label = securityLabel();
    const bool confined = !label.empty() && label != "unconfined";
    id.readsEverything = !confined && hasReadEverythingCapability() && isInitialMap("/proc/self/uid_map") &&
                         isInitialMap("/proc/self/gid_map");
    return id;
}

bool ReadAccessShortcut::judgesByCommonRules(std::string_view type)
{
    return type == "ext2" || type == "ext3" || type == "ext4" || type == "xfs" || type == "btrfs" || type == "tmpfs" ||
           type == "f2fs";
}

bool ReadAccessShortcut::judgesByCommonRulesMagic(uint64_t magic)
{
    switch (magic) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0xF2F52010: // f2fs
        return true;
    default:
        return false;
    }
}

} // namespace kz
