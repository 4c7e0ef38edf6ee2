#include "platform/KZFileIdentity.h"
#include "tests/support/Identity.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using kztest::IdentityFileSystem;
using kztest::makeDir;
using kztest::makeFile;
using kztest::makeSymlink;

namespace {

struct statx lookAt(const std::string& path)
{
    struct statx st {};
    EXPECT_EQ(kz::statPath(path, kz::kFileIdentityMask, st), 0) << path;
    return st;
}

bool stillTheSame(const kz::FileIdentity& recorded, const std::string& path)
{
    return kz::isSameFileAtPath(recorded, path, lookAt(path));
}

const IdentityFileSystem kEveryKind[] = {IdentityFileSystem::WithBirthTimes, IdentityFileSystem::WithHandlesOnly,
                                         IdentityFileSystem::WithNeither};

} // namespace

TEST(FileIdentity, EachFileSystemGetsTheFirstStampItKeeps)
{
    kztest::TempDir dir;
    makeFile(dir / "file", 3);
    const struct statx st = lookAt(dir / "file");
    const auto kindUnder = [&](IdentityFileSystem fs) {
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        const auto id = kz::fileIdentityOfPath(dir / "file");
        EXPECT_TRUE(id.has_value());
        EXPECT_EQ(id->device, kz::deviceOf(st));
        EXPECT_EQ(id->inode, st.stx_ino);
        return id ? id->kind : kz::IdentityStamp::None;
    };
    if (st.stx_mask & STATX_BTIME) {
        EXPECT_EQ(kindUnder(IdentityFileSystem::WithBirthTimes), kz::IdentityStamp::BirthTime);
    }
    EXPECT_EQ(kindUnder(IdentityFileSystem::WithHandlesOnly), kz::IdentityStamp::Handle);
    EXPECT_EQ(kindUnder(IdentityFileSystem::WithNeither), kz::IdentityStamp::ChangeTime);
    EXPECT_EQ(kz::fileIdentityOfPath(dir / "missing"), std::nullopt);
}

TEST(FileIdentity, AFileWrittenAnewUnderTheOldInodeNumberIsAnotherFile)
{
    for (IdentityFileSystem fs : kEveryKind) {
        SCOPED_TRACE(kztest::nameOf(fs));
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        kztest::TempDir dir;
        makeFile(dir / "file", 10);
        const kz::FileIdentity recorded = kz::fileIdentityOfPath(dir / "file").value();
        EXPECT_TRUE(stillTheSame(recorded, dir / "file"));
        EXPECT_EQ(kz::fileIdentityOfPath(dir / "file"), recorded); // the same each time

        const kz::FileIdentity scanned = kztest::scannedIdentityOfAFileWrittenAnew(dir / "file", 10);
        EXPECT_EQ(scanned.stamp, recorded.stamp);
        EXPECT_EQ(lookAt(dir / "file").stx_ino, scanned.inode);
        EXPECT_FALSE(stillTheSame(scanned, dir / "file"));
    }
}

TEST(FileIdentity, FoldersLinksAndOpenItemsHaveTheirIdentityToo)
{
    for (IdentityFileSystem fs : kEveryKind) {
        SCOPED_TRACE(kztest::nameOf(fs));
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        kztest::TempDir dir;
        makeDir(dir / "folder");
        makeSymlink("nowhere", dir / "link");
        makeFile(dir / "file", 1);
        for (const char* name : {"folder", "link"}) {
            const auto id = kz::fileIdentityOfPath(dir / name);
            ASSERT_TRUE(id.has_value()) << name;
            EXPECT_TRUE(stillTheSame(*id, dir / name)) << name;
            EXPECT_FALSE(stillTheSame(*id, dir / "file")) << name;
        }
        // A folder written anew (ext4 may or may not hand its number out again).
        const kz::FileIdentity folder = kz::fileIdentityOfPath(dir / "folder").value();
        kztest::spin(std::chrono::milliseconds(20));
        ::rmdir((dir / "folder").c_str());
        makeDir(dir / "folder");
        EXPECT_FALSE(stillTheSame(folder, dir / "folder"));

        const int fd = ::open((dir / "file").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(kz::fileIdentityOfDescriptor(fd), kz::fileIdentityOfPath(dir / "file"));
        ::close(fd);
    }
}

TEST(FileIdentity, WithNeitherStampAnyChangeOfTheItemCountsAsAnotherItem)
{
    // The last resort is conservative: a file that was written to, or whose permissions
    // changed, is refused until it is scanned again; the program's own rename is not a change.
    kztest::ScopedIdentityLimits limits(kztest::limitsFor(IdentityFileSystem::WithNeither));
    kztest::TempDir dir;
    makeFile(dir / "file", 1);
    const kz::FileIdentity recorded = kz::fileIdentityOfPath(dir / "file").value();
    ASSERT_EQ(recorded.kind, kz::IdentityStamp::ChangeTime);
    kztest::spin(std::chrono::milliseconds(20)); // a later tick of the clock
    ::chmod((dir / "file").c_str(), 0600);
    EXPECT_FALSE(stillTheSame(recorded, dir / "file"));
    EXPECT_TRUE(kz::isSameFile(recorded, AT_FDCWD, (dir / "file").c_str(), lookAt(dir / "file"), true));
}

TEST(FileIdentity, WithNeitherStampTheHeldItemIsCheckedAgainWhenItIsHeld)
{
    // Between the check of an item and its hold, another program may put another item in its
    // place: one moved there, or a file written anew under the old inode number. Only the
    // change time tells such a file apart, and the hold is what keeps the number from passing
    // on later: it must look again.
    kztest::ScopedIdentityLimits limits(kztest::limitsFor(IdentityFileSystem::WithNeither));
    kztest::TempDir dir;
    makeFile(dir / "file", 10);
    makeFile(dir / "other", 20);
    const int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    const kz::FileIdentity checked = kz::fileIdentityOfPath(dir / "file").value();
    ASSERT_EQ(checked.kind, kz::IdentityStamp::ChangeTime);
    {
        kz::HeldItem held;
        EXPECT_EQ(held.hold(folder, "file", checked), 0);
    }

    kztest::rewriteWithSameInode(dir / "file", 30);
    {
        kz::HeldItem held;
        EXPECT_EQ(held.hold(folder, "file", checked), ESTALE) << "written anew after the check";
    }
    const kz::FileIdentity rewritten = kz::fileIdentityOfPath(dir / "file").value();
    ASSERT_EQ(::rename((dir / "other").c_str(), (dir / "file").c_str()), 0);
    {
        kz::HeldItem held;
        EXPECT_EQ(held.hold(folder, "file", rewritten), ESTALE) << "another item moved there after the check";
    }
    ::close(folder);
}

TEST(FileIdentity, BirthTimesCountOnlyWhenTheFileSystemGivesThem)
{
    struct statx st {};
    st.stx_mask = STATX_BTIME;
    st.stx_btime = {1700000000, 123456789, 0};
    EXPECT_EQ(kz::birthTimeOf(st), std::optional<int64_t>(1700000000123456789LL));
    st.stx_btime = {-2, 500000000, 0}; // before 1970
    EXPECT_EQ(kz::birthTimeOf(st), std::optional<int64_t>(-1500000000LL));
    st.stx_btime = {0, 0, 0}; // a file system that fills the field with nothing
    EXPECT_EQ(kz::birthTimeOf(st), std::nullopt);
    st.stx_btime = {10'000'000'000LL, 0, 0}; // beyond what nanoseconds hold
    EXPECT_EQ(kz::birthTimeOf(st), std::nullopt);
    st.stx_mask = 0;
    st.stx_btime = {1700000000, 1, 0};
    EXPECT_EQ(kz::birthTimeOf(st), std::nullopt);
}
