#include "model/KZFileManagerUtilities.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(FileManagerUtilities, SizesOfFilesMissingPathsAndFolders)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "f", 123);
    kztest::makeFile(dir / "d/a", 10);
    kztest::makeFile(dir / "d/e/b", 20);
    int calls = 0;
    double size = -1;
    kz_fileSizeForPath(dir / "f", [&](double b) { ++calls, size = b; });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(size, 123);
    kz_fileSizeForPath(dir / "missing", [&](double b) { ++calls, size = b; });
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(size, 0);
    kz_fileSizeForPath(dir / "d", [&](double b) { ++calls, size = b; });
    EXPECT_EQ(calls, 2); // a folder answers later, on the main thread
    ASSERT_TRUE(kztest::waitFor([&] { return calls == 3; }));
    EXPECT_EQ(size, 30);
    EXPECT_TRUE(kz_pathIsDirectory(dir / "d"));
    EXPECT_FALSE(kz_pathIsDirectory(dir / "f"));
}
