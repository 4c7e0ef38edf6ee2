#include "model/KZPath.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(Path, Equality)
{
    EXPECT_TRUE(kz_isEqualToPath("/a/b", "/a/b/"));
    EXPECT_TRUE(kz_isEqualToPath("/a/b/", "/a/b"));
    EXPECT_FALSE(kz_isEqualToPath("/a/B", "/a/b"));
    EXPECT_FALSE(kz_isEqualToPath("/a/bc", "/a/b/"));
}

TEST(Path, ChildTest)
{
    EXPECT_TRUE(kz_isChildOfPath("/a/b", "/a/b"));
    EXPECT_TRUE(kz_isChildOfPath("/a/b", "/a"));
    EXPECT_TRUE(kz_isChildOfPath("/a/b/", "/a/"));
    EXPECT_TRUE(kz_isChildOfPath("/a/b/c", "/a/b/"));
    EXPECT_FALSE(kz_isChildOfPath("/a/bc", "/a/b"));
    EXPECT_FALSE(kz_isChildOfPath("/a", "/a/b"));
    EXPECT_TRUE(kz_isChildOfPath("/anything", "/"));
}

TEST(Path, UserDirectories)
{
    EXPECT_TRUE(kz_isUserDirectory("/Users/ann"));
    EXPECT_TRUE(kz_isUserDirectory("/Users/ann/"));
    EXPECT_TRUE(kz_isUserDirectory("/home/ann"));
    EXPECT_TRUE(kz_isUserDirectory("/root/"));
    EXPECT_FALSE(kz_isUserDirectory("/Users/"));
    EXPECT_FALSE(kz_isUserDirectory("/home/"));
    EXPECT_FALSE(kz_isUserDirectory("/Users/ann/Documents"));
    EXPECT_FALSE(kz_isUserDirectory("/Volumes/Users/ann"));
}

TEST(Path, CommonAncestor)
{
    EXPECT_EQ(kz_commonAncestorWithPaths({"/a/b/c", "/a/b/d/e"}), "/a/b");
    EXPECT_EQ(kz_commonAncestorWithPaths({"/a/x", "/b/y"}), "/");
    EXPECT_EQ(kz_commonAncestorWithPaths({"/x/y"}), "/x");
    EXPECT_EQ(kz_commonAncestorWithPaths({"/a/b/c/"}), "/a/b");
    EXPECT_EQ(kz_commonAncestorWithPaths({}), std::nullopt);
    EXPECT_EQ(kz_commonAncestorWithPaths({"a/b", "c/d"}), std::nullopt);
    EXPECT_EQ(kz_commonAncestorWithPaths({"/a/b/", "/a/b/"}), "/a/b");
}

TEST(Path, ComponentsAndNames)
{
    EXPECT_EQ(kz_pathComponents("/a//b/"), (std::vector<std::string>{"/", "a", "b", "/"}));
    EXPECT_EQ(kz_lastPathComponent("/a/b/"), "b");
    EXPECT_EQ(kz_lastPathComponent("/"), "/");
    EXPECT_EQ(kz_pathExtension("/a/b.tar.gz"), "gz");
    EXPECT_EQ(kz_pathExtension("/a/.bashrc"), "");
    EXPECT_EQ(kz_stringByDeletingLastPathComponent("/a"), "/");
    EXPECT_TRUE(kz_isHidden("/a/.b/"));
    EXPECT_EQ(kz_localizedFileName("/a/b/"), QStringLiteral("b"));
}

TEST(Path, DeepSizeOnRealFiles)
{
    kztest::TempDir dir;
    EXPECT_EQ(kz_pathFileSize(dir / "missing"), 0u);
    kztest::makeDir(dir / "empty");
    EXPECT_EQ(kz_pathFileSize(dir / "empty"), 0u);
    kztest::makeFile(dir / "f/a", 100);
    kztest::makeFile(dir / "f/sub/b", 50);
    kztest::makeSymlink("a", dir / "f/link"); // counts its own size (1), never followed
    kztest::makeSymlink(dir.path(), dir / "f/sub/loop");
    EXPECT_EQ(kz_pathFileSize(dir / "f"), 100u + 50u + 1u + dir.path().size());
    EXPECT_EQ(kz_pathFileSize(dir / "f/a"), 100u);
    EXPECT_TRUE(kz_isDirectory(dir / "f/"));
    EXPECT_FALSE(kz_isDirectory(dir / "f/link"));
}
