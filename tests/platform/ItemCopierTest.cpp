#include "platform/KZItemCopier.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using kztest::exists;
using kztest::makeDir;
using kztest::makeFile;
using kztest::makeSymlink;

namespace {

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ItemCopier, CopiesTreesExactlyWithoutFollowingLinks)
{
    kztest::TempDir dir;
    makeDir(dir / "out");
    makeFile(dir / "src/tree/a.txt", 0);
    makeFile(dir / "src/tree/sub/b \xff.bin", 0);
    std::ofstream(dir / "src/tree/sub/b \xff.bin") << "payload\n";
    makeFile(dir / "src/tree/sparse", 32 << 20);
    ::chmod((dir / "src/tree/sub/b \xff.bin").c_str(), 0751);
    makeSymlink("../a.txt", dir / "src/tree/sub/link");
    makeSymlink("/nowhere", dir / "src/tree/dangling");
    ::mkfifo((dir / "src/tree/fifo").c_str(), 0644);
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, (dir / "src/tree/sub/b \xff.bin").c_str(), old, 0);

    std::atomic<uint64_t> bytes{0};
    kz::CopyControl control;
    control.bytesCopied = &bytes;
    const auto result = kz::copyItemIntoFolder(dir / "src/tree/", dir / "out", control);
    ASSERT_TRUE(result.succeeded()) << result.path << ": " << result.error;
    EXPECT_EQ(contents(dir / "out/tree/sub/b \xff.bin"), "payload\n");
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "out/tree/sub/b \xff.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    ASSERT_EQ(::lstat((dir / "out/tree/sub/link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(exists(dir / "out/tree/dangling"));
    EXPECT_FALSE(exists(dir / "out/tree/fifo")); // nothing to copy from a pipe
    ASSERT_EQ(::stat((dir / "out/tree/sparse").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 32 << 20);
    EXPECT_LT(st.st_blocks * 512, 1 << 20); // the holes stayed holes
    EXPECT_EQ(bytes.load(), (32u << 20) + 8u);

    // Copying again never replaces what is there.
    const auto again = kz::copyItemIntoFolder(dir / "src/tree", dir / "out");
    EXPECT_EQ(again.error, EEXIST);
}

TEST(ItemCopier, DeepTreesAndCancel)
{
    kztest::TempDir dir;
    makeDir(dir / "out");
    std::string deep = dir / "src/deep";
    for (int i = 0; i < 200; ++i) deep += "/d";
    makeFile(deep + "/leaf", 1);
    ASSERT_TRUE(kz::copyItemIntoFolder(dir / "src/deep", dir / "out").succeeded());
    EXPECT_TRUE(exists(dir / "out/deep" + deep.substr((dir / "src/deep").size()) + "/leaf"));

    std::atomic<bool> cancelled{true};
    kz::CopyControl control;
    control.cancelled = &cancelled;
    makeDir(dir / "out2");
    EXPECT_EQ(kz::copyItemIntoFolder(dir / "src/deep", dir / "out2", control).error, ECANCELED);
    EXPECT_FALSE(exists(dir / "out2/deep"));
    EXPECT_EQ(kz::copyItemIntoFolder(dir / "src/missing", dir / "out2").error, ENOENT);
}

} // namespace
