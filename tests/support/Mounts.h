#pragma once
// Mounts for tests that need another volume, a bind mount or a pseudo-file system.
//
// Such a test begins with KZTEST_IN_MOUNT_NAMESPACE(): the test then runs again in a child
// process inside private mount namespaces (`unshare --mount`, or `unshare --user
// --map-root-user --pid --fork --mount` where only an ordinary user's namespaces are allowed:
// the PID namespace lets it mount proc), so its
// mounts are its own and vanish with it, and it can mount where the machine refuses mounts
// to the test process itself. The child's failures and skips are reported as the test's own.
// Where no namespace can be had, the test runs in the process itself, and a mount it can't
// make skips it with the reason (ScratchMount::refusal), never silently.

#include <string>

namespace kztest {

// True when the caller should return at once: the test ran in a child inside the
// namespaces (its result reported here). False where the test body should run: in that
// child, or here when no namespace could be had.
bool runInMountNamespace();

// Why mounting may be refused here: the namespaces' own refusal, or "".
std::string mountNamespaceRefusal();
// In a test's child process inside the namespaces: hands every failure and skip to the
// parent (called by the tests' main).
void reportToParentProcess();

// A file system mounted at a folder (made when missing) for the life of the object.
class ScratchMount {
public:
    // A 16 MB tmpfs: another volume.
    explicit ScratchMount(std::string path);
    // The folder `source` mounted again at the path (MS_BIND), or a proc file system.
    static ScratchMount bind(const std::string& source, std::string path);
    static ScratchMount proc(std::string path);
    ~ScratchMount();
    ScratchMount(ScratchMount&& other) noexcept;
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& path() const { return path_; }
    // Why the mount was refused, for a skip message: the system's reason and, when the test
    // could not run in its own namespaces, theirs.
    std::string refusal() const;

private:
    ScratchMount(std::string path, const char* source, const char* type, unsigned long flags, const char* data);
    std::string path_;
    bool mounted_ = false;
    int error_ = 0;
};

} // namespace kztest

#define KZTEST_IN_MOUNT_NAMESPACE()                                                                                    \
    do {                                                                                                               \
        if (::kztest::runInMountNamespace()) return;                                                                   \
    } while (0)
