#include "platform/KZDirectoryIO.h"
#include "platform/KZPathString.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using kztest::makeFile;

namespace {

TEST(DirectoryIO, PathText)
{
    EXPECT_EQ(kz::pathWithoutTrailingSlash("/a/b//"), "/a/b");
    EXPECT_EQ(kz::pathWithoutTrailingSlash("//"), "/");
    EXPECT_EQ(kz::pathWithoutTrailingSlash(""), "");
    EXPECT_EQ(kz::parentPath("/a/b/c/"), "/a/b");
    EXPECT_EQ(kz::parentPath("/a"), "/");
    EXPECT_EQ(kz::parentPath("/"), "/");
    EXPECT_EQ(kz::parentPath("name"), "");
    EXPECT_EQ(kz::parentPath("/a/\xff\n/b"), "/a/\xff\n");
}

TEST(DirectoryIO, TheRenameThatNeverReplaces)
{
    // With the file system's own rename, and without it (the program looks first): a
    // collision is EEXIST and both items stay as they were.
    for (const bool hasNoReplaceRename : {true, false}) {
        kztest::TempDir dir;
        makeFile(dir / "a", 1);
        makeFile(dir / "b", 2);
        kztest::ScopedFaultHook hook([&](kz::FileOperation op, const std::string& path) {
            EXPECT_EQ(op, kz::FileOperation::NoReplaceRename);
            EXPECT_TRUE(path == dir / "b" || path == dir / "c") << path;
            return hasNoReplaceRename ? 0 : EINVAL;
        });
        const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(kz::renameNoReplace(fd, "a", fd, "b", dir / "b"), EEXIST) << hasNoReplaceRename;
        struct stat st {};
        ASSERT_EQ(::lstat((dir / "b").c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 2);
        EXPECT_TRUE(kztest::exists(dir / "a"));
        EXPECT_EQ(kz::renameNoReplace(fd, "a", fd, "c", dir / "c"), 0);
        EXPECT_TRUE(kztest::exists(dir / "c"));
        EXPECT_FALSE(kztest::exists(dir / "a"));
        ::close(fd);
    }
}

TEST(DirectoryIO, AccessIsWhatTheSystemGrants)
{
    kztest::TempDir dir;
    makeFile(dir / "plain", 1); // rw-r--r--: nobody may run it, root included
    kztest::makeDir(dir / "folder");
    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(kz::accessAt(fd, "plain", R_OK, ""), 0);
    EXPECT_EQ(kz::accessAt(fd, "plain", X_OK, ""), EACCES); // the system asked, not the bits read
    EXPECT_EQ(kz::accessAt(fd, "folder", R_OK | X_OK, ""), 0);
    EXPECT_EQ(kz::accessAt(fd, "missing", R_OK, ""), ENOENT);
    {
        // The fault layer answers for the system: Read for reading, Search for entering.
        kztest::ScopedFaultHook hook([&](kz::FileOperation op, const std::string& path) {
            if (path != dir / "folder") return 0;
            return op == kz::FileOperation::Search ? EACCES : 0;
        });
        EXPECT_EQ(kz::accessAt(fd, "folder", R_OK, dir.path() + "/"), 0);
        EXPECT_EQ(kz::accessAt(fd, "folder", R_OK | X_OK, dir.path() + "/"), EACCES);
    }
    ::close(fd);
}

TEST(DirectoryIO, IdentityAndMount)
{
    kztest::TempDir dir;
    makeFile(dir / "file", 1);
    kztest::makeSymlink(dir / "file", dir / "link");
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "file").c_str(), &st), 0);
    EXPECT_EQ(kz::identityOfPath(dir / "file"), kz::identityOf(st));
    EXPECT_NE(kz::identityOfPath(dir / "link"), kz::identityOf(st)); // the link itself
    EXPECT_EQ(kz::identityOfPath(dir / "missing"), std::nullopt);
    struct statx a {
    }, b{};
    ASSERT_EQ(kz::statPath(dir / "file", STATX_INO | STATX_MNT_ID, a), 0);
    ASSERT_EQ(kz::statPath(dir.path(), STATX_INO | STATX_MNT_ID, b), 0);
    EXPECT_TRUE(kz::onSameMount(a, b));
    b.stx_dev_minor += 1;
    EXPECT_FALSE(kz::onSameMount(a, b));
    b.stx_dev_minor -= 1;
    if (kz::mountIdOf(a)) {
        b.stx_mnt_id += 1; // a bind mount of the same file system is another mount
        EXPECT_FALSE(kz::onSameMount(a, b));
    }
}

} // namespace
