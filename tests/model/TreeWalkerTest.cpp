#include "model/KZPath.h"
#include "model/KZTreeWalker.h"
#include "tests/support/Mounts.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

std::set<std::string> walkAll(const std::string& root)
{
    std::set<std::string> seen;
    kz::TreeWalkCallbacks cb;
    cb.visit = [&](const kz::WalkEntry& e) {
        seen.insert(e.path);
        return kz::WalkAction::Continue;
    };
    EXPECT_TRUE(kz::walkTree(root, cb));
    return seen;
}

TEST(TreeWalker, VisitsEverythingOnceWithoutFollowingLinks)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "t/a/b/c", 1);
    kztest::makeFile(dir / "t/odd\nname \xff", 2);
    kztest::makeSymlink(dir / "t", dir / "t/a/up");
    const auto seen = walkAll(dir / "t");
    EXPECT_EQ(seen, (std::set<std::string>{dir / "t/a", dir / "t/a/b", dir / "t/a/b/c", dir / "t/a/up",
                                           dir / "t/odd\nname \xff"}));
}

TEST(TreeWalker, TheRootsEntriesHaveOneSlash)
{
    std::vector<std::string> paths;
    kz::TreeWalkCallbacks cb;
    cb.visit = [&](const kz::WalkEntry& e) {
        paths.push_back(e.path);
        return kz::WalkAction::Skip;
    };
    EXPECT_TRUE(kz::walkTree("/", cb));
    ASSERT_FALSE(paths.empty());
    for (const std::string& p : paths) {
        EXPECT_EQ(p.rfind("//", 0), std::string::npos) << p;
        EXPECT_EQ(p.find('/', 1), std::string::npos) << p;
    }
}

TEST(TreeWalker, LeavesFoldersAfterTheirContents)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "t/a/f", 1);
    std::vector<std::string> order;
    kz::TreeWalkCallbacks cb;
    cb.visit = [&](const kz::WalkEntry& e) {
        order.push_back("visit " + e.path);
        return kz::WalkAction::Continue;
    };
    cb.leave = [&](const kz::WalkEntry& e) {
        order.push_back("leave " + e.path);
        return kz::WalkAction::Continue;
    };
    kz::walkTree(dir / "t", cb);
    EXPECT_EQ(order,
              (std::vector<std::string>{"visit " + dir / "t/a", "visit " + dir / "t/a/f", "leave " + dir / "t/a"}));
}

TEST(TreeWalker, DeepChainsKeepFewDescriptorsOpen)
{
    // The promise: at most 48 folders open at once. A chain six times deeper, with files on
    // the way: the open descriptors are counted at every entry, on the way down and back up.
    constexpr size_t cap = 48;
    EXPECT_EQ(kz::kWalkMaxOpenFolders, cap);
    constexpr size_t depth = 6 * cap;
    kztest::TempDir dir;
    std::string p = dir / "t";
    for (size_t i = 0; i < depth; ++i) {
        p += "/d";
        if (i % 50 == 0) kztest::makeFile(p + "/on-the-way", 1);
    }
    kztest::makeFile(p + "/leaf", 5);
    const int before = kztest::openDescriptorCount();
    int peak = before;
    size_t deepest = 0;
    kz::TreeWalkCallbacks cb;
    cb.visit = [&](const kz::WalkEntry& e) {
        peak = std::max(peak, kztest::openDescriptorCount());
        deepest = std::max(deepest, e.depth);
        return kz::WalkAction::Continue;
    };
    cb.leave = cb.visit;
    EXPECT_TRUE(kz::walkTree(dir / "t", cb));
    EXPECT_EQ(deepest, depth + 1);
    // The walk's folders, the root's own descriptor, and a little for the rest of the process.
    EXPECT_LE(peak - before, int(cap) + 4);
    EXPECT_EQ(kztest::openDescriptorCount(), before);
    EXPECT_EQ(kz_pathFileSize(dir / "t"), 5u + (depth + 49) / 50);
}

TEST(TreeWalker, BindMountLoopsAreNotEntered)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    kztest::makeFile(dir / "t/a/file", 11);
    kztest::makeDir(dir / "t/a/b/loop");
    const auto loop = kztest::ScratchMount::bind(dir / "t/a", dir / "t/a/b/loop");
    if (!loop.mounted()) GTEST_SKIP() << loop.refusal();
    EXPECT_EQ(kz_pathFileSize(dir / "t"), 11u);
    const auto seen = walkAll(dir / "t");
    EXPECT_TRUE(seen.count(dir / "t/a/b/loop"));
    EXPECT_FALSE(seen.count(dir / "t/a/b/loop/file"));
}

TEST(TreeWalker, PseudoFileSystemsAreNotEntered)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    kztest::makeFile(dir / "t/file", 11);
    const auto proc = kztest::ScratchMount::proc(dir / "t/proc");
    if (!proc.mounted()) GTEST_SKIP() << proc.refusal();
    EXPECT_EQ(kz_pathFileSize(dir / "t"), 11u);
    const auto seen = walkAll(dir / "t");
    EXPECT_TRUE(seen.count(dir / "t/proc"));
    EXPECT_FALSE(seen.count(dir / "t/proc/self"));
}

} // namespace
