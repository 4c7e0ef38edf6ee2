#include "platform/KZItemCopier.h"
#include "tests/support/Mounts.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The names in a folder; nullopt when it is not there.
std::optional<std::vector<std::string>> entriesOf(const std::string& path)
{
    DIR* d = ::opendir(path.c_str());
    if (!d) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    ::closedir(d);
    return names;
}

// Copies with a bound on the items, so that a copy that would never end is cancelled instead.
kz::CopyResult boundedCopy(const std::string& source, const std::string& folder)
{
    std::atomic<bool> cancelled{false};
    int items = 0;
    kz::CopyControl control;
    control.cancelled = &cancelled;
    control.willCopyItem = [&](const std::string&) {
        if (++items > 1000) cancelled = true;
    };
    return kz::copyItemIntoFolder(source, folder, control);
}

TEST(ItemCopier, ABindMountThatLeadsBackIsCopiedAsAnEmptyFolder)
{
    // A folder mounted again below itself, or the folder above the copied one mounted inside
    // it: copying what they lead to would never end.
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    makeDir(dir / "out");
    makeFile(dir / "src/tree/a/file", 3);
    makeDir(dir / "src/tree/a/loop");
    makeDir(dir / "src/tree/up");
    const auto loop = kztest::ScratchMount::bind(dir / "src/tree/a", dir / "src/tree/a/loop");
    if (!loop.mounted()) GTEST_SKIP() << loop.refusal();
    const auto up = kztest::ScratchMount::bind(dir / "src", dir / "src/tree/up");
    if (!up.mounted()) GTEST_SKIP() << up.refusal();
    ::chmod((dir / "src/tree/a").c_str(), 0751);

    const auto result = boundedCopy(dir / "src/tree", dir / "out");
    ASSERT_TRUE(result.succeeded()) << result.path << ": " << result.error;
    EXPECT_EQ(contents(dir / "out/tree/a/file").size(), 3u);
    EXPECT_EQ(entriesOf(dir / "out/tree/a/loop"), std::vector<std::string>{});
    EXPECT_EQ(entriesOf(dir / "out/tree/up"), std::vector<std::string>{});
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "out/tree/a/loop").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u); // the mounted folder's mode
}

TEST(ItemCopier, APseudoFileSystemIsCopiedAsAnEmptyFolder)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    makeDir(dir / "out");
    makeFile(dir / "src/tree/file", 3);
    const auto proc = kztest::ScratchMount::proc(dir / "src/tree/proc");
    if (!proc.mounted()) GTEST_SKIP() << proc.refusal();
    const auto result = boundedCopy(dir / "src/tree", dir / "out");
    ASSERT_TRUE(result.succeeded()) << result.path << ": " << result.error;
    EXPECT_TRUE(exists(dir / "out/tree/file"));
    EXPECT_EQ(entriesOf(dir / "out/tree/proc"), std::vector<std::string>{});
}

} // namespace
