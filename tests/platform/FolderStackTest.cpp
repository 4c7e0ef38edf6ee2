#include "platform/KZFolderStack.h"
#include "tests/support/Mounts.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using kztest::makeDir;
using kztest::makeFile;
using kztest::makeSymlink;

namespace {

int openFolder(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Walks everything below `root` with the stack: every entry's path, "enter RESULT path" for
// each folder not entered.
std::set<std::string> walk(const std::string& root, kz::FolderGuards guards)
{
    std::set<std::string> seen;
    kz::FolderStack stack(8, guards, true);
    EXPECT_EQ(stack.start(openFolder(root), root, true), 0);
    for (;;) {
        unsigned char type = 0;
        const char* name = stack.nextEntry(&type);
        if (!name) {
            if (stack.depth() == 1) break;
            EXPECT_TRUE(stack.leave());
            continue;
        }
        seen.insert(stack.path());
        if (type != DT_DIR) continue;
        const kz::EnterResult r = stack.enter(name);
        if (r != kz::EnterResult::Entered) seen.insert("not entered " + std::to_string(int(r)) + " " + stack.path());
    }
    return seen;
}

std::string notEntered(kz::EnterResult r, const std::string& path)
{
    return "not entered " + std::to_string(int(r)) + " " + path;
}

TEST(FolderStack, EntersFoldersOnlyThroughTheirParentAndNeverThroughALink)
{
    kztest::TempDir dir;
    makeFile(dir / "t/a/b/file", 1);
    makeFile(dir / "t/odd \xff\n", 1);
    makeSymlink(dir / "t/a", dir / "t/link");
    kz::FolderStack stack(8, {}, false);
    ASSERT_EQ(stack.start(openFolder(dir / "t"), dir / "t/", true), 0);
    EXPECT_EQ(stack.path(), dir / "t");
    std::set<std::string> names;
    while (const char* name = stack.nextEntry()) {
        names.insert(stack.path());
        if (std::string(name) == "link") {
            EXPECT_EQ(stack.enter(name), kz::EnterResult::Failed);
            EXPECT_TRUE(stack.error() == ENOTDIR || stack.error() == ELOOP) << stack.error();
            EXPECT_EQ(stack.depth(), 1u);
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{dir / "t/a", dir / "t/link", dir / "t/odd \xff\n"}));

    // An item that is not the one looked at is not entered.
    kz::FolderStack again(8, {}, false);
    ASSERT_EQ(again.start(openFolder(dir / "t"), dir / "t", true), 0);
    struct statx other {};
    ASSERT_EQ(::statx(AT_FDCWD, (dir / "t/a/b").c_str(), 0, STATX_INO | STATX_TYPE, &other), 0);
    while (const char* name = again.nextEntry()) {
        if (std::string(name) != "a") continue;
        EXPECT_EQ(again.enter(name, &other), kz::EnterResult::Replaced);
        EXPECT_EQ(again.error(), ESTALE);
        EXPECT_EQ(again.depth(), 1u);
    }
}

TEST(FolderStack, TheRootsEntriesHaveOneSlash)
{
    kz::FolderStack stack(8, {}, false);
    ASSERT_EQ(stack.start(openFolder("/"), "/", true), 0);
    ASSERT_NE(stack.nextEntry(), nullptr);
    EXPECT_EQ(stack.path().rfind("//", 0), std::string::npos) << stack.path();
    EXPECT_EQ(stack.folderPath(0), "/");
}

TEST(FolderStack, DeepChainsKeepFewDescriptorsAndTheirTwinsOpen)
{
    // A chain walked with a twin kept in step (as a copy is made): past the bound, shallow
    // folders and their twins are closed and found again through "..".
    constexpr size_t cap = 6;
    constexpr int depth = 200;
    kztest::TempDir dir;
    std::string p = dir / "src", q = dir / "dst";
    for (int i = 0; i < depth; ++i) {
        p += "/d";
        q += "/d";
    }
    makeFile(p + "/leaf", 1);
    makeDir(q);
    const int before = kztest::openDescriptorCount();
    int peak = before;
    size_t deepest = 0;
    {
        kz::FolderStack stack(cap, {}, false);
        ASSERT_EQ(stack.start(openFolder(dir / "src"), dir / "src", true), 0);
        struct stat st {};
        ASSERT_EQ(::stat((dir / "dst").c_str(), &st), 0);
        stack.attachTwin(openFolder(dir / "dst"), kz::identityOf(st));
        for (;;) {
            const char* name = stack.nextEntry();
            peak = std::max(peak, kztest::openDescriptorCount());
            if (!name) {
                if (stack.depth() == 1) break;
                ASSERT_TRUE(stack.leave());
                // The twin is the copy's folder at the same place.
                ASSERT_EQ(::fstat(stack.top().twin, &st), 0);
                EXPECT_EQ(kz::identityOfPath(q.substr(0, q.size() - 2 * (depth - stack.depth() + 1))),
                          kz::identityOf(st));
                continue;
            }
            if (std::string(name) != "d") continue;
            const int parentTwin = stack.top().twin;
            ASSERT_EQ(stack.enter(name), kz::EnterResult::Entered) << stack.path();
            const int twin = kz::openDirectoryAt(parentTwin, name);
            ASSERT_GE(twin, 0);
            ASSERT_EQ(::fstat(twin, &st), 0);
            stack.attachTwin(twin, kz::identityOf(st));
            deepest = std::max(deepest, stack.depth());
        }
    }
    EXPECT_EQ(deepest, size_t(depth) + 1);
    EXPECT_LE(peak - before, int(2 * cap) + 4);
    EXPECT_EQ(kztest::openDescriptorCount(), before);
}

TEST(FolderStack, AParentThatCantBeFoundAgainStopsTheWalk)
{
    // The walk is deep down when its folder is moved elsewhere: ".." no longer leads to the
    // (closed) folder above, and the walk stops there instead of going on elsewhere.
    kztest::TempDir dir;
    std::string p = dir / "t";
    for (int i = 0; i < 20; ++i) p += "/d" + std::to_string(i);
    makeFile(p + "/leaf", 1);
    makeDir(dir / "elsewhere");
    kz::FolderStack stack(4, {}, false);
    ASSERT_EQ(stack.start(openFolder(dir / "t"), dir / "t", true), 0);
    while (const char* name = stack.nextEntry()) {
        if (std::string(name) == "leaf") break;
        ASSERT_EQ(stack.enter(name), kz::EnterResult::Entered);
    }
    ASSERT_EQ(stack.depth(), 21u);
    ASSERT_LT(stack.at(10).fd, 0); // closed to bound the descriptors
    const std::string moved = dir / "t/d0/d1/d2/d3/d4/d5/d6/d7/d8/d9/d10";
    ASSERT_EQ(::rename(moved.c_str(), (dir / "elsewhere/d10").c_str()), 0);
    bool stopped = false;
    for (;;) {
        if (stack.nextEntry()) continue;
        if (stack.depth() == 1) break;
        if (!stack.leave()) {
            stopped = true;
            break;
        }
    }
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stack.error(), ESTALE);
    EXPECT_EQ(stack.path(), dir / "t/d0/d1/d2/d3/d4/d5/d6/d7/d8/d9");
}

TEST(FolderStack, KeepsToItsMountWhenTold)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    makeFile(dir / "t/file", 1);
    kztest::ScratchMount volume(dir / "t/volume");
    if (!volume.mounted()) GTEST_SKIP() << volume.refusal();
    makeFile(dir / "t/volume/inside", 1);
    makeDir(dir / "t/same");
    const auto bind = kztest::ScratchMount::bind(dir / "t/same", dir / "t/bound");
    if (!bind.mounted()) GTEST_SKIP() << bind.refusal();
    makeFile(dir / "t/same/x", 1);

    const auto crossing = walk(dir / "t", {kz::MountRule::Cross, true});
    EXPECT_TRUE(crossing.count(dir / "t/volume/inside"));
    EXPECT_TRUE(crossing.count(dir / "t/bound/x"));

    // Another file system, and another mount of the same one, are other mounts.
    const auto staying = walk(dir / "t", {kz::MountRule::StayOnMount, false});
    EXPECT_TRUE(staying.count(notEntered(kz::EnterResult::OtherMount, dir / "t/volume")));
    EXPECT_TRUE(staying.count(notEntered(kz::EnterResult::OtherMount, dir / "t/bound")));
    EXPECT_FALSE(staying.count(dir / "t/volume/inside"));
    EXPECT_TRUE(staying.count(dir / "t/same/x"));

    // On the same device, a bind mount is entered.
    const auto device = walk(dir / "t", {kz::MountRule::StayOnDevice, true});
    EXPECT_TRUE(device.count(notEntered(kz::EnterResult::OtherMount, dir / "t/volume")));
    EXPECT_TRUE(device.count(dir / "t/bound/x"));
}

TEST(FolderStack, NeverEntersLoopsOrPseudoFileSystems)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    makeFile(dir / "top/t/a/file", 1);
    makeDir(dir / "top/t/a/loop");
    makeDir(dir / "top/t/up");
    makeDir(dir / "top/t/proc");
    const auto loop = kztest::ScratchMount::bind(dir / "top/t/a", dir / "top/t/a/loop");
    if (!loop.mounted()) GTEST_SKIP() << loop.refusal();
    // A bind mount of the folder above the walk's first leads out of it and back.
    const auto up = kztest::ScratchMount::bind(dir / "top", dir / "top/t/up");
    if (!up.mounted()) GTEST_SKIP() << up.refusal();
    const auto proc = kztest::ScratchMount::proc(dir / "top/t/proc");
    if (!proc.mounted()) GTEST_SKIP() << proc.refusal();

    const auto seen = walk(dir / "top/t", {});
    EXPECT_TRUE(seen.count(dir / "top/t/a/file"));
    EXPECT_TRUE(seen.count(notEntered(kz::EnterResult::Loop, dir / "top/t/a/loop")));
    EXPECT_TRUE(seen.count(notEntered(kz::EnterResult::Loop, dir / "top/t/up")));
    EXPECT_TRUE(seen.count(notEntered(kz::EnterResult::PseudoFileSystem, dir / "top/t/proc")));
    EXPECT_EQ(seen.size(), 8u); // a, a/file, a/loop, up, proc and the three refusals

    // Pseudo-file systems are entered only when the walk is told to.
    const auto all = walk(dir / "top/t", {kz::MountRule::Cross, false});
    EXPECT_TRUE(all.count(dir / "top/t/proc/self"));
}

} // namespace
