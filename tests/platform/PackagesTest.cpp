#include "platform/KZPackages.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(Packages, TheExtensionsOfThePlatformsPackages)
{
    for (const char* name :
         {"Mail.app", "x.bundle", "x.plugin", "x.kext", "Notes.rtfd", "disk.sparsebundle", "Install.pkg",
          "Proj.xcodeproj", "UPPER.APP", "Mixed.Bundle/", "/a/b/Tool.app", "/a/b/Tool.app/"})
        EXPECT_TRUE(kz_isPackageName(name)) << name;
    // The record's own bundle-like extensions are not the platform's; a leading dot is no
    // extension; only the last component counts.
    for (const char* name : {"x.framework", "x.xcarchive", ".app", "app", "x.apps", "x.app.zip", "/a/b.app/c", "", "x.",
                             "x.sparsebundlex"})
        EXPECT_FALSE(kz_isPackageName(name)) << name;
}

TEST(Packages, OnlyAFolderAtThePathIsAPackage)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "Thing.app/Contents/info", 1);
    kztest::makeFile(dir / "file.app", 1);
    kztest::makeSymlink(dir / "Thing.app", dir / "link.app");
    kztest::makeDir(dir / "plain");
    EXPECT_TRUE(kz_isPackageAtPath(dir / "Thing.app"));
    EXPECT_TRUE(kz_isPackageAtPath(dir / "Thing.app/"));
    EXPECT_FALSE(kz_isPackageAtPath(dir / "file.app"));
    EXPECT_FALSE(kz_isPackageAtPath(dir / "link.app")); // a link is not followed
    EXPECT_FALSE(kz_isPackageAtPath(dir / "plain"));
    EXPECT_FALSE(kz_isPackageAtPath(dir / "missing.app"));
}

} // namespace
