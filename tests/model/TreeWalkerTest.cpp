#include "model/KZPath.h"
#include "model/KZTreeWalker.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <set>
#include <sys/mount.h>

namespace {

struct Mounted {
    std::string path;
    bool ok = false;
    ~Mounted()
    {
        if (ok) ::umount2(path.c_str(), MNT_DETACH);
    }
};

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
    EXPECT_EQ(order, (std::vector<std::string>{"visit " + dir / "t/a", "visit " + dir / "t/a/f",
                                               "leave " + dir / "t/a"}));
}

TEST(TreeWalker, DeepChainsKeepFewDescriptorsOpen)
{
    kztest::TempDir dir;
    std::string p = dir / "t";
    for (int i = 0; i < 300; ++i) p += "/d";
    kztest::makeFile(p + "/leaf", 5);
    EXPECT_EQ(kz_pathFileSize(dir / "t"), 5u);
    EXPECT_EQ(walkAll(dir / "t").size(), 301u);
}

TEST(TreeWalker, BindMountLoopsAndPseudoFileSystemsAreNotEntered)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "t/a/file", 11);
    kztest::makeDir(dir / "t/a/b/loop");
    kztest::makeDir(dir / "t/proc");
    Mounted loop{dir / "t/a/b/loop"};
    if (::mount((dir / "t/a").c_str(), loop.path.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "bind mounts are not allowed here";
    loop.ok = true;
    Mounted proc{dir / "t/proc"};
    proc.ok = ::mount("proc", proc.path.c_str(), "proc", 0, nullptr) == 0;
    EXPECT_EQ(kz_pathFileSize(dir / "t"), 11u);
    const auto seen = walkAll(dir / "t");
    EXPECT_TRUE(seen.count(dir / "t/a/b/loop"));
    EXPECT_FALSE(seen.count(dir / "t/a/b/loop/file"));
    if (proc.ok) {
        EXPECT_FALSE(seen.count(dir / "t/proc/self"));
    }
}

} // namespace
