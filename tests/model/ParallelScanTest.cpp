// The walk behind the scanner, driven directly: readability as another identity sees it
// (access lists, dropped capabilities), the thread count under an affinity mask, large folders
// read by several workers, and chains of single folders.
#include "model/KZIgnoreList.h"
#include "model/KZParallelScan.h"
#include "platform/KZDirectoryIO.h"
#include "platform/KZMountTable.h"
#include "platform/KZReadAccess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <map>
#include <mutex>
#include <sched.h>
#include <set>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uid_t kOtherUid = 23456; // an identity with no other rights here
constexpr gid_t kOtherGid = 23456;

// Every record below the root, by path, each with its size.
std::vector<std::pair<std::string, double>> listing(KZDirectory* root)
{
    std::vector<std::pair<std::string, double>> out;
    std::vector<KZDirectory*> stack{root};
    while (!stack.empty()) {
        KZDirectory* d = stack.back();
        stack.pop_back();
        for (KZFile* child : d->children()) {
            out.emplace_back(child->path(), child->fileSize());
            if (auto* sub = kz_asDirectory(child)) stack.push_back(sub);
        }
    }
    return out;
}

std::set<std::string> paths(KZDirectory* root)
{
    std::set<std::string> out;
    for (const auto& [path, size] : listing(root)) out.insert(path);
    return out;
}

KZDirectoryPtr walk(const std::string& folder, KZParallelScan::Options options = {})
{
    KZIgnoreList ignoreList;
    std::atomic<bool> cancelled{false};
    KZParallelScan scan(ignoreList, std::move(options), cancelled);
    return scan.run(folder);
}

// An access list entry as the kernel stores it (system.posix_acl_access).
struct AclEntry {
    uint16_t tag;
    uint16_t perm;
    uint32_t id;
};
constexpr uint16_t kUserObj = 0x01, kUser = 0x02, kGroupObj = 0x04, kMask = 0x10, kOther = 0x20;
constexpr uint32_t kNoId = 0xffffffff;

// Gives the item the access list: owner, one named user, owning group, mask, other (the
// kernel then shows the mask in the group bits). False when the file system has none.
bool setAccessList(const std::string& path, uint16_t owner, uint32_t user, uint16_t userPerm, uint16_t group,
                   uint16_t mask, uint16_t other)
{
    struct {
        uint32_t version = 2;
        AclEntry entries[5];
    } acl;
    acl.entries[0] = {kUserObj, owner, kNoId};
    acl.entries[1] = {kUser, userPerm, user};
    acl.entries[2] = {kGroupObj, group, kNoId};
    acl.entries[3] = {kMask, mask, kNoId};
    acl.entries[4] = {kOther, other, kNoId};
    return ::setxattr(path.c_str(), "system.posix_acl_access", &acl, sizeof acl, 0) == 0;
}

void make(const std::string& path, mode_t mode, uid_t owner = 0)
{
    kztest::makeFile(path, 10);
    ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

void makeFolder(const std::string& path, mode_t mode, uid_t owner = 0)
{
    kztest::makeDir(path);
    ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

constexpr const char* kNoIdentity = "the identity could not be changed";

// Whether this process may give an item in `folder` to another identity (chown takes CAP_CHOWN:
// root in CI, never an ordinary user).
bool canGiveItemsAway(const std::string& folder)
{
    const std::string probe = folder + "/probe";
    kztest::makeFile(probe, 1);
    const bool given = ::chown(probe.c_str(), kOtherUid, kOtherGid) == 0;
    ::unlink(probe.c_str());
    return given;
}

constexpr const char* kNotRoot = "needs root: the items must belong to another identity (chown)";

// Runs `body` in a child process (after `becomeOther` changed its identity) and returns the
// lines it wrote (kNoIdentity alone when the change failed), or nothing when the child failed.
std::optional<std::vector<std::string>> inChild(const std::function<bool()>& becomeOther,
                                                const std::function<std::vector<std::string>()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        ::close(fds[0]);
        if (!becomeOther()) ::_exit(3);
        std::string text;
        for (const std::string& line : body()) text += line + "\n";
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
            if (n <= 0) ::_exit(4);
            done += size_t(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3) return std::vector<std::string>{kNoIdentity};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// From here on the system refuses every access check of this process (faccessat,
// faccessat2) with EACCES. False when no filter can be set.
bool refuseAccessChecks()
{
    struct sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_faccessat, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_faccessat2, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EACCES & SECCOMP_RET_DATA)),
    };
    struct sock_fprog program {
        static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter
    };
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0) == 0;
}

// The walk's records below the root as relative paths, and the identity the walk saw.
std::vector<std::string> walkAndList(const std::string& top)
{
    std::vector<std::string> out;
    const kz::ReadAccessShortcut::Identity id = kz::ReadAccessShortcut::currentIdentity();
    out.push_back("fsuid=" + std::to_string(id.fsuid) + " readsEverything=" + std::to_string(id.readsEverything));
    KZDirectoryPtr root = walk(top);
    if (!root) return {"no tree"};
    for (const std::string& p : paths(root.get())) out.push_back(p.substr(top.size() + 1));
    return out;
}

bool dropCapabilities(uint32_t drop)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    data[0].effective &= ~drop;
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace

TEST(ParallelScan, ReadabilityUnderAccessListsIsWhatTheSystemGrants)
{
    kztest::TempDir dir;
    if (!canGiveItemsAway(dir.path())) GTEST_SKIP() << kNotRoot;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string top = dir / "top";
    makeFolder(top, 0755);
    const uid_t other = kOtherUid;
    make(top + "/plain.txt", 0644);
    // The bits let "other" read it, the named entry for this user takes it away.
    make(top + "/narrowed.txt", 0644);
    if (!setAccessList(top + "/narrowed.txt", 6, other, 0, 4, 4, 4)) GTEST_SKIP() << "no access lists here";
    // The bits let nobody but the owner read it, the named entry gives it to this user.
    make(top + "/widened.txt", 0600);
    ASSERT_TRUE(setAccessList(top + "/widened.txt", 6, other, 4, 0, 4, 0));
    // Owned by this user: the owner's bits decide, whatever an entry for the same id says.
    make(top + "/mine.txt", 0400, other);
    make(top + "/mine-closed.txt", 0044, other);
    make(top + "/mine-listed.txt", 0600, other);
    ASSERT_TRUE(setAccessList(top + "/mine-listed.txt", 6, other, 0, 0, 0, 0));
    // Folders: listed but not entered, or opened by the list alone.
    makeFolder(top + "/closed", 0755);
    make(top + "/closed/inner.txt", 0644);
    ASSERT_TRUE(setAccessList(top + "/closed", 7, other, 4, 5, 5, 5));
    makeFolder(top + "/opened", 0750);
    make(top + "/opened/inner.txt", 0644);
    ASSERT_TRUE(setAccessList(top + "/opened", 7, other, 5, 5, 5, 0));
    makeFolder(top + "/mine", 0500, other);
    make(top + "/mine/inner.txt", 0644);
    // What the bits show stays as it was: the shortcut could be fooled by them.
    struct stat st {};
    ASSERT_EQ(::stat((top + "/narrowed.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    auto lines = inChild(
        [&] {
            return ::setgroups(0, nullptr) == 0 && ::setresgid(kOtherGid, kOtherGid, kOtherGid) == 0 &&
                   ::setresuid(other, other, other) == 0;
        },
        [&] { return walkAndList(top); });
    ASSERT_TRUE(lines.has_value());
    ASSERT_FALSE(lines->empty());
    if (lines->front() == kNoIdentity) GTEST_SKIP() << kNoIdentity;
    EXPECT_EQ(lines->front(), "fsuid=" + std::to_string(other) + " readsEverything=0");
    const std::set<std::string> seen(lines->begin() + 1, lines->end());
    const std::set<std::string> expected{"plain.txt", "widened.txt",      "mine.txt", "mine-listed.txt",
                                         "opened/",   "opened/inner.txt", "mine/",    "mine/inner.txt"};
    EXPECT_EQ(seen, expected);

    // As root, with every capability, everything is read, and answered without asking.
    KZDirectoryPtr root = walk(top);
    ASSERT_TRUE(root);
    EXPECT_EQ(paths(root.get()).size(), expected.size() + 4);
}

TEST(ParallelScan, RootWithoutItsReadCapabilitiesGoesByTheBits)
{
    kztest::TempDir dir;
    if (!canGiveItemsAway(dir.path())) GTEST_SKIP() << kNotRoot;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string top = dir / "top";
    makeFolder(top, 0755);
    make(top + "/mine.txt", 0400);
    make(top + "/mine-closed.txt", 0044);
    make(top + "/theirs.txt", 0600, kOtherUid);
    make(top + "/public.txt", 0644, kOtherUid);
    makeFolder(top + "/theirs", 0700, kOtherUid);
    make(top + "/theirs/inner.txt", 0644);
    makeFolder(top + "/mine", 0700);
    make(top + "/mine/inner.txt", 0600, kOtherUid);

    auto lines = inChild([] { return dropCapabilities((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH)); },
                         [&] { return walkAndList(top); });
    ASSERT_TRUE(lines.has_value());
    ASSERT_FALSE(lines->empty());
    if (lines->front() == kNoIdentity) GTEST_SKIP() << kNoIdentity;
    EXPECT_EQ(lines->front(), "fsuid=0 readsEverything=0");
    const std::set<std::string> seen(lines->begin() + 1, lines->end());
    EXPECT_EQ(seen, (std::set<std::string>{"mine.txt", "public.txt", "mine/"}));
}

TEST(ParallelScan, TheRecordSettlesReadabilityOnlyWhereItIsCertain)
{
    auto record = [](mode_t mode, uid_t uid, gid_t gid) {
        struct statx st {};
        st.stx_mode = uint16_t(mode);
        st.stx_uid = uid;
        st.stx_gid = gid;
        return st;
    };
    kz::ReadAccessShortcut::Identity user;
    user.fsuid = 1000;
    user.moduleJudges = false;
    const kz::ReadAccessShortcut asUser(user);
    EXPECT_TRUE(asUser.grants(record(S_IFREG | 0400, 1000, 1000)));
    EXPECT_TRUE(asUser.grants(record(S_IFDIR | 0500, 1000, 1000)));
    EXPECT_FALSE(asUser.grants(record(S_IFDIR | 0400, 1000, 1000))); // listed, not entered
    EXPECT_FALSE(asUser.grants(record(S_IFREG | 0044, 1000, 1000))); // the owner's bits alone count
    EXPECT_FALSE(asUser.grants(record(S_IFREG | 0444, 1001, 1000))); // group and other: an access list may narrow them
    EXPECT_FALSE(asUser.grants(record(S_IFCHR | 0666, 1000, 1000))); // a device policy may refuse it
    kz::ReadAccessShortcut::Identity nobody = user;
    nobody.fsuid = 65534;
    EXPECT_FALSE(kz::ReadAccessShortcut(nobody).grants(record(S_IFREG | 0400, 65534, 65534))); // maybe unmapped

    kz::ReadAccessShortcut::Identity all = user;
    all.readsEverything = true;
    const kz::ReadAccessShortcut asAll(all);
    EXPECT_TRUE(asAll.grants(record(S_IFREG | 0000, 4242, 4242)));
    EXPECT_TRUE(asAll.grants(record(S_IFDIR | 0000, 4242, 4242)));
    EXPECT_FALSE(asAll.grants(record(S_IFREG | 0000, 65534, 4242))); // unmapped owner: no capability
    EXPECT_FALSE(asAll.grants(record(S_IFREG | 0000, 4242, 65534)));
    EXPECT_FALSE(asAll.grants(record(S_IFBLK | 0600, 4242, 4242)));

    all.moduleJudges = true; // SELinux or Smack: always ask
    EXPECT_FALSE(kz::ReadAccessShortcut(all).grants(record(S_IFREG | 0444, 1000, 1000)));
    EXPECT_FALSE(kz::ReadAccessShortcut().grants(record(S_IFREG | 0444, 0, 0)));

    EXPECT_TRUE(kz::ReadAccessShortcut::judgesByCommonRules("ext4"));
    EXPECT_TRUE(kz::ReadAccessShortcut::judgesByCommonRules("tmpfs"));
    for (const char* type : {"nfs4", "cifs", "fuse.sshfs", "fuseblk", "overlay", "9p", ""})
        EXPECT_FALSE(kz::ReadAccessShortcut::judgesByCommonRules(type)) << type;
    EXPECT_TRUE(kz::ReadAccessShortcut::judgesByCommonRulesMagic(0xEF53));
    EXPECT_FALSE(kz::ReadAccessShortcut::judgesByCommonRulesMagic(0x6969)); // NFS
}

TEST(ParallelScan, TheRecordSettlesReadabilityOnlyOnFileSystemsWithTheCommonRules)
{
    if (kz::ReadAccessShortcut::currentIdentity().moduleJudges)
        GTEST_SKIP() << "a security module judges every access here: the record never settles it";
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/file.txt", 10);
    kztest::makeFile(top + "/folder/inner.txt", 10);
    struct statx st {};
    ASSERT_EQ(kz::statPath(top, STATX_INO | STATX_MODE | STATX_UID | STATX_GID, st), 0);
    // The identity "nobody" may stand for owners the system could not map: the record settles
    // nothing for it, and the system is always asked.
    if (!kz::ReadAccessShortcut(kz::ReadAccessShortcut::currentIdentity()).grants(st))
        GTEST_SKIP() << "the record settles nothing for this identity (uid " << ::geteuid() << ")";
    const std::string device = std::to_string(st.stx_dev_major) + ":" + std::to_string(st.stx_dev_minor);
    // Walks the folder with its mount faked as one of the given type, in a child process
    // whose every access check the system refuses: what the walk asks the system is refused,
    // what the record settles is not. (Everything here is the process's own, so the record
    // settles it wherever it may.)
    auto walkAs = [&](const std::string& type) {
        return inChild(refuseAccessChecks, [&] {
            KZParallelScan::Options options;
            options.mountTable = KZMountTable::fromMountInfo("1 0 " + device + " / / rw - " + type + " src rw\n");
            std::vector<std::string> out;
            if (KZDirectoryPtr root = walk(top, options))
                for (const std::string& p : paths(root.get())) out.push_back(p.substr(top.size() + 1));
            return out;
        });
    };
    const auto common = walkAs("ext4");
    ASSERT_TRUE(common.has_value());
    if (common->size() == 1 && common->front() == kNoIdentity) GTEST_SKIP() << "no system call filter can be set here";
    EXPECT_EQ(*common, (std::vector<std::string>{"file.txt", "folder/", "folder/inner.txt"}));
    for (const char* type : {"fuseblk", "overlay", "nfs4", "zfs"}) {
        const auto own = walkAs(type);
        ASSERT_TRUE(own.has_value()) << type;
        EXPECT_EQ(*own, std::vector<std::string>{}) << type << ": the system is asked";
    }
}

TEST(ParallelScan, ThreadCountFollowsTheAffinityMask)
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    ASSERT_EQ(::sched_getaffinity(0, sizeof allowed, &allowed), 0);
    std::vector<int> cpus;
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &allowed)) cpus.push_back(c);
    ASSERT_FALSE(cpus.empty());
    EXPECT_EQ(KZParallelScan::defaultThreadCount(), std::min<unsigned>(unsigned(cpus.size()), 16));

    kztest::TempDir dir;
    for (int i = 0; i < 40; ++i) kztest::makeFile(dir / ("f" + std::to_string(i % 4) + "/x" + std::to_string(i)), 3);

    // A thread limited to one CPU, then to two: the count, and a walk started there.
    for (size_t limit : {size_t(1), size_t(2)}) {
        if (cpus.size() < limit) continue;
        unsigned counted = 0, used = 0;
        size_t records = 0;
        double total = 0;
        std::thread t([&] {
            cpu_set_t mask;
            CPU_ZERO(&mask);
            for (size_t i = 0; i < limit; ++i) CPU_SET(cpus[i], &mask);
            if (::sched_setaffinity(0, sizeof mask, &mask) != 0) return;
            counted = KZParallelScan::defaultThreadCount();
            KZIgnoreList ignoreList;
            std::atomic<bool> cancelled{false};
            KZParallelScan scan(ignoreList, {}, cancelled);
            KZDirectoryPtr root = scan.run(dir.path());
            used = scan.threadCount();
            if (root) {
                records = listing(root.get()).size();
                total = root->fileSize();
            }
        });
        t.join();
        EXPECT_EQ(counted, limit);
        EXPECT_EQ(used, limit);
        EXPECT_EQ(records, 44u);
        EXPECT_EQ(total, 120);
    }
    // The mask of this thread was never touched.
    cpu_set_t after;
    CPU_ZERO(&after);
    ASSERT_EQ(::sched_getaffinity(0, sizeof after, &after), 0);
    EXPECT_TRUE(CPU_EQUAL(&after, &allowed));
}

TEST(ParallelScan, ALargeFolderReadByManyWorkersComesOutAsOneWouldReadIt)
{
    kztest::TempDir dir;
    const std::string top = dir / "big";
    kztest::makeDir(top);
    // Enough names for several slices: files of many sizes (some below the minimum), folders
    // with something in them, links, and names the ignore list leaves out.
    constexpr int kFiles = 30000;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = top + "/item-" + std::to_string(i);
        if (i % 997 == 0) {
            kztest::makeFile(name + "/inside", 5);
        } else if (i % 1009 == 0) {
            kztest::makeSymlink("nowhere", name);
        } else if (i % 1013 == 0) {
            kztest::makeFile(name + ".o", 1); // an extension the test ignores
        } else {
            kztest::makeFile(name, i % 300);
        }
    }
    auto options = [](unsigned threads) {
        KZParallelScan::Options o;
        o.threads = threads;
        o.minimumFileSize = 100;
        return o;
    };
    KZIgnoreList ignoreList;
    ignoreList.setIgnoredExtensions(QStringList{QStringLiteral("o")});
    std::atomic<bool> cancelled{false};
    KZParallelScan one(ignoreList, options(1), cancelled);
    KZDirectoryPtr alone = one.run(top);
    KZParallelScan many(ignoreList, options(8), cancelled);
    KZDirectoryPtr shared = many.run(top);
    ASSERT_TRUE(alone && shared);
    // The same records in the same order (the folder's), the same totals and counts.
    EXPECT_EQ(listing(shared.get()), listing(alone.get()));
    EXPECT_EQ(shared->fileSize(), alone->fileSize());
    EXPECT_EQ(shared->ignoredSize(), alone->ignoredSize());
    EXPECT_GT(shared->ignoredSize(), 0);
    EXPECT_EQ(many.itemCount(), one.itemCount());
    EXPECT_EQ(many.byteCount(), one.byteCount());
    int expectedItems = 0;
    for (int i = 0; i < kFiles; ++i) expectedItems += (i % 997 == 0) ? 2 : (i % 1009 == 0 || i % 1013 != 0) ? 1 : 0;
    EXPECT_EQ(many.itemCount(), expectedItems);
    // The folder's own order is kept.
    std::vector<char> names;
    const int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(kz::readDirectoryNames(fd, names), 0);
    ::close(fd);
    std::map<std::string, size_t> position;
    for (const char* p = names.data(); p < names.data() + names.size(); p += std::strlen(p) + 1)
        position.emplace(p, position.size());
    size_t last = 0;
    bool inOrder = true;
    for (KZFile* child : shared->children()) {
        const size_t at = position.at(child->nameBytes());
        inOrder = inOrder && at >= last;
        last = at;
    }
    EXPECT_TRUE(inOrder);
    EXPECT_GT(shared->childCount(), 15000u);

    // A cancel while the workers share the folder ends the walk, every worker with it.
    std::atomic<bool> stop{false};
    KZParallelScan::Options o = options(8);
    std::atomic<int> calls{0};
    o.readabilityCheck = [&](const std::string&, bool) {
        if (++calls == 5000) stop = true;
        return true;
    };
    KZParallelScan cancelledScan(ignoreList, o, stop);
    cancelledScan.run(top);
    EXPECT_TRUE(stop.load());
    EXPECT_LT(cancelledScan.itemCount(), expectedItems);
}

TEST(ParallelScan, AChainOfSingleFoldersIsFollowedByOneWorker)
{
    kztest::TempDir dir;
    const std::string top = dir / "chain";
    std::string path = top;
    constexpr int kLevels = 300;
    for (int i = 0; i < kLevels; ++i) {
        path += "/d";
        kztest::makeFile(path + "/f", 1); // each level holds a file too
    }
    kztest::makeFile(path + "/a/x", 2); // and at the bottom, two branches
    kztest::makeFile(path + "/b/y", 3);
    std::mutex m;
    std::set<std::thread::id> readers;
    KZParallelScan::Options o;
    o.threads = 4;
    o.progress = [&](const KZFile*) {
        std::lock_guard lock(m);
        readers.insert(std::this_thread::get_id());
    };
    const int before = kztest::openDescriptorCount();
    KZDirectoryPtr root = walk(top, o);
    ASSERT_TRUE(root);
    EXPECT_EQ(kztest::openDescriptorCount(), before);
    EXPECT_EQ(root->fileSize(), kLevels + 5);
    EXPECT_EQ(listing(root.get()).size(), size_t(2 * kLevels + 4));
    // Down to the two branches, one worker read every level without handing one over.
    EXPECT_LE(readers.size(), 3u);
    ASSERT_EQ(root->childCount(), 1u);
    KZDirectory* d = kz_asDirectory(root->children()[0]);
    for (int i = 1; i < kLevels; ++i) {
        ASSERT_EQ(d->childCount(), 2u);
        d = kz_asDirectory(d->children()[0]->isDirectory() ? d->children()[0] : d->children()[1]);
        ASSERT_TRUE(d);
    }
    EXPECT_EQ(d->childCount(), 3u);
}
