#pragma once
// A tmpfs mounted inside a test's temporary folder for the life of the object, standing in
// for another volume. Tests skip when the system does not allow mounting.

#include <string>
#include <sys/mount.h>
#include <sys/stat.h>

namespace kztest {

class ScratchMount {
public:
    explicit ScratchMount(std::string path) : path_(std::move(path))
    {
        ::mkdir(path_.c_str(), 0755);
        mounted_ = ::mount("sizemere-test", path_.c_str(), "tmpfs", 0, "size=16m") == 0;
    }
    ~ScratchMount()
    {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    bool mounted() const { return mounted_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool mounted_ = false;
};

} // namespace kztest
