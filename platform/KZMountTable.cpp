#include "platform/KZMountTable.h"

#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

namespace {

constexpr std::string_view kPseudoTypes[] = {
    "proc",        "sysfs",    "devtmpfs",  "devpts",   "cgroup",  "cgroup2",    "debugfs",   "tracefs",
    "securityfs",  "pstore",   "bpf",       "configfs", "fusectl", "mqueue",     "hugetlbfs", "autofs",
    "binfmt_misc", "efivarfs", "selinuxfs", "smackfs",  "nsfs",    "rpc_pipefs", "nfsd",      "resctrl",
    "binder",      "usbfs",    "devfs",     "sockfs",   "pipefs",
};

constexpr std::string_view kNetworkTypes[] = {
    "nfs",   "nfs4",  "cifs",       "smb3",           "smbfs",  "9p",
    "afs",   "ceph",  "glusterfs",  "fuse.glusterfs", "lustre", "fuse.sshfs",
    "sshfs", "davfs", "fuse.davfs", "fuse.davfs2",    "coda",   "ncpfs",
};

constexpr uint64_t kPseudoMagic[] = {
    0x9fa0,     // proc
    0x62656572, // sysfs
    0x1cd1,     // devpts
    0x27e0eb,   // cgroup
    0x63677270, // cgroup2
    0x64626720, // debugfs
    0x74726163, // tracefs
    0x73636673, // securityfs
    0x6165676c, // pstore
    0xcafe4a11, // bpf
    0x62656570, // configfs
    0x65735543, // fusectl
    0x19800202, // mqueue
    0x958458f6, // hugetlbfs
    0x0187,     // autofs
    0x42494e4d, // binfmt_misc
    0xde5e81e4, // efivarfs
    0xf97cff8c, // selinuxfs
    0x43415d53, // smackfs
    0x6e736673, // nsfs
    0x07655821, // resctrl
    0x6c6f6f70, // binderfs
};

constexpr uint64_t kNetworkMagic[] = {
    0x6969,     // nfs
    0x517b,     // smb
    0xff534d42, // cifs
    0xfe534d42, // smb2
    0x01021997, // 9p
    0x5346414f, // afs
    0x6b414653, // kafs
    0x00c36400, // ceph
    0x0bd00bd0, // lustre
    0x73757245, // coda
    0x564c,     // ncp
};

std::string unescape(std::string_view field)
{
    // mountinfo writes space, tab, newline and backslash as \ooo.
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            auto octal = [](char x) { return x >= '0' && x <= '7'; };
            if (octal(a) && octal(b) && octal(c)) {
                out.push_back(char((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

} // namespace

KZMountTable KZMountTable::current()
{
    std::string text;
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, size_t(n));
    }
    ::close(fd);
    return fromMountInfo(text);
}

KZMountTable KZMountTable::fromMountInfo(std::string_view text)
{
    // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue"
    KZMountTable table;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;

        std::array<std::string_view, 3> head{};
        size_t pos = 0;
        bool ok = true;
        for (auto& field : head) {
            const size_t space = line.find(' ', pos);
            if (space == std::string_view::npos) {
                ok = false;
                break;
            }
            field = line.substr(pos, space - pos);
            pos = space + 1;
        }
        const size_t dash = line.find(" - ", pos);
        if (!ok || dash == std::string_view::npos) continue;
        const size_t typeStart = dash + 3;
        size_t typeEnd = line.find(' ', typeStart);
        if (typeEnd == std::string_view::npos) typeEnd = line.size();
        const std::string_view numbers = head[2];
        const size_t colon = numbers.find(':');
        if (colon == std::string_view::npos) continue;
        const uint64_t major = std::strtoull(std::string(numbers.substr(0, colon)).c_str(), nullptr, 10);
        const uint64_t minor = std::strtoull(std::string(numbers.substr(colon + 1)).c_str(), nullptr, 10);
        table.types_.emplace((major << 32) | minor, unescape(line.substr(typeStart, typeEnd - typeStart)));
    }
    return table;
}

std::string KZMountTable::typeOfDevice(uint64_t device) const
{
    const auto it = types_.find(device);
    return it == types_.end() ? std::string() : it->second;
}

std::optional<KZMountTable::Kind> KZMountTable::kindOfDevice(uint64_t device) const
{
    const auto it = types_.find(device);
    if (it == types_.end()) return std::nullopt;
    return kindOfType(it->second);
}

KZMountTable::Kind KZMountTable::kindOfOpenFolder(int fd)
{
    struct statfs st {};
    if (::fstatfs(fd, &st) != 0) return Kind::Local;
    return kindOfMagic(uint64_t(st.f_type) & 0xffffffffu);
}

KZMountTable::Kind KZMountTable::kindOfType(std::string_view type)
{
    for (std::string_view t : kPseudoTypes)
        if (t == type) return Kind::Pseudo;
    for (std::string_view t : kNetworkTypes)
        if (t == type) return Kind::Network;
    return Kind::Local;
}

KZMountTable::Kind KZMountTable::kindOfMagic(uint64_t magic)
{
    for (uint64_t m : kPseudoMagic)
        if (m == magic) return Kind::Pseudo;
    for (uint64_t m : kNetworkMagic)
        if (m == magic) return Kind::Network;
    return Kind::Local;
}
