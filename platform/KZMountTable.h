#pragma once
// Which kind of file system a folder lies on, as far as a scan cares: an ordinary local one,
// a pseudo-file system that is never entered (proc, sysfs, devtmpfs, cgroup, ...), or a
// network volume whose items are flagged. The scanner reads the mount table once per scan and
// asks it at every mount boundary it meets; where the table has no entry for a device, the
// magic number of statfs decides.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

class KZMountTable {
public:
    enum class Kind { Local, Pseudo, Network };

    // The process's mount table (/proc/self/mountinfo); empty when it can't be read.
    static KZMountTable current();
    // A table from mountinfo text (tests).
    static KZMountTable fromMountInfo(std::string_view text);

    // The file-system type the table records for the device ("" when none). Devices are
    // (major << 32) | minor.
    std::string typeOfDevice(uint64_t device) const;
    // The kind by the recorded type name; nullopt when the device has no entry.
    std::optional<Kind> kindOfDevice(uint64_t device) const;
    // The kind by statfs of an open folder.
    static Kind kindOfOpenFolder(int fd);

    static Kind kindOfType(std::string_view type);
    static Kind kindOfMagic(uint64_t magic);

private:
    std::unordered_map<uint64_t, std::string> types_;
};
