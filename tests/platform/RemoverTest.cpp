#include "platform/KZFileFaults.h"
#include "platform/KZFreedesktopTrash.h"
#include "platform/KZRemover.h"
#include "platform/KZSelfChangeRegistry.h"
#include "platform/KZUserDatabase.h"
#include "tests/support/Identity.h"
#include "tests/support/Mounts.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using kztest::exists;
using kztest::makeDir;
using kztest::makeFile;
using kztest::makeSymlink;
using FaultHook = kztest::ScopedFaultHook;
using kztest::ScopedEnvironment;

namespace {

// The private name a removal set an item aside under, "" when there is none.
std::string asideIn(const std::string& folder)
{
    std::string found;
    DIR* d = ::opendir(folder.c_str());
    if (!d) return found;
    while (const dirent* e = ::readdir(d))
        if (std::string_view(e->d_name).rfind(".sizemere-removing-", 0) == 0) found = folder + "/" + e->d_name;
    ::closedir(d);
    return found;
}

kz::FileIdentity identityOf(const std::string& path)
{
    return kz::fileIdentityOfPath(path).value_or(kz::FileIdentity{});
}

TEST(Remover, RemovesFilesAndWholeTrees)
{
    kztest::TempDir dir;
    makeFile(dir / "file", 10);
    makeFile(dir / "tree/a/b/c.txt", 5);
    makeFile(dir / "tree/a/d", 5);
    makeDir(dir / "tree/empty");
    makeSymlink("/etc", dir / "tree/a/etc-link");
    ::mkfifo((dir / "tree/fifo").c_str(), 0644);

    EXPECT_TRUE(kz::removeItemAtPath(dir / "file").succeeded());
    EXPECT_FALSE(exists(dir / "file"));
    const auto result = kz::removeItemAtPath(dir / "tree/");
    EXPECT_TRUE(result.succeeded());
    EXPECT_TRUE(result.failures.empty());
    EXPECT_FALSE(exists(dir / "tree"));
    EXPECT_TRUE(exists("/etc/hostname") || exists("/etc/passwd"));

    EXPECT_EQ(kz::removeItemAtPath(dir / "nothing").error, ENOENT);
}

TEST(Remover, NeverFollowsALink)
{
    kztest::TempDir dir;
    makeFile(dir / "target/keep.txt", 3);
    makeSymlink(dir / "target", dir / "link");
    makeSymlink(dir / "missing", dir / "dangling");

    // "link/" names the link: it goes, the folder it points to stays whole.
    EXPECT_TRUE(kz::removeItemAtPath(dir / "link/").succeeded());
    EXPECT_FALSE(exists(dir / "link"));
    EXPECT_TRUE(exists(dir / "target/keep.txt"));

    EXPECT_TRUE(kz::removeItemAtPath(dir / "dangling").succeeded());
    EXPECT_FALSE(exists(dir / "dangling"));
}

TEST(Remover, RemovesOddNamesExactly)
{
    kztest::TempDir dir;
    const std::string odd = dir / "odd\nname \xff\xfe";
    makeFile(odd + "/inner \x80 file", 4);
    makeFile(dir / "odd\nname", 1); // a sibling sharing a prefix stays
    EXPECT_TRUE(kz::removeItemAtPath(odd + "/").succeeded());
    EXPECT_FALSE(exists(odd));
    EXPECT_TRUE(exists(dir / "odd\nname"));
}

TEST(Remover, RefusesUnsafePaths)
{
    // A hook that refuses everything: whatever the remover does wrongly, nothing goes.
    int calls = 0;
    FaultHook hook([&](kz::FileOperation, const std::string&) {
        ++calls;
        return EACCES;
    });
    for (const char* p : {"", "relative/path", "/tmp/../tmp/x", "/tmp/./x", ".."})
        EXPECT_EQ(kz::removeItemAtPath(p).error, EINVAL) << p;
    for (const char* p : {"/", "//", "/root", "/root/", "/home", "/home/someone", "/Users/someone/"})
        EXPECT_EQ(kz::removeItemAtPath(p).error, EPERM) << p;
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(kz::isHomeFolderOrAncestor("/"));
    EXPECT_FALSE(kz::isHomeFolderOrAncestor("/tmp"));
    EXPECT_FALSE(kz::isHomeFolderOrAncestor("/home/someone/Music"));
}

TEST(Remover, RefusesHomeFoldersReachedThroughALink)
{
    kztest::TempDir dir;
    makeSymlink("/", dir / "to-root");
    int calls = 0;
    FaultHook hook([&](kz::FileOperation, const std::string&) {
        ++calls;
        return EACCES;
    });
    // /root and "/" itself, named through a link: refused by identity.
    EXPECT_EQ(kz::removeItemAtPath(dir / "to-root/root").error, EPERM);
    if (exists("/home")) {
        EXPECT_EQ(kz::removeItemAtPath(dir / "to-root/home").error, EPERM);
    }
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(exists("/root"));
}

TEST(Remover, TheHomeThatHomeNamesIsProtectedLikeTheDatabasesOne)
{
    kztest::TempDir dir;
    makeFile(dir / "elsewhere/home/docs/a", 1);
    makeSymlink(dir / "elsewhere", dir / "via-link");
    makeDir(dir / "data");
    ScopedEnvironment dataHome("XDG_DATA_HOME", dir / "data");
    ScopedEnvironment home("HOME", dir / "elsewhere//home/");
    EXPECT_TRUE(kz::isUserHomeFolder(dir / "elsewhere/home"));
    // The folder, the folders above it, and the folder reached through a link: refused.
    EXPECT_EQ(kz::removeItemAtPath(dir / "elsewhere/home").error, EPERM);
    EXPECT_EQ(kz::removeItemAtPath(dir / "elsewhere/").error, EPERM);
    EXPECT_EQ(kz::removeItemAtPath(dir / "via-link/home").error, EPERM);
    KZFreedesktopTrash trash;
    for (const std::string& p : {dir / "elsewhere/home", dir / "elsewhere", dir / "via-link/home"}) {
        const auto error = trash.trashItem(p);
        ASSERT_TRUE(error.has_value()) << p;
        EXPECT_EQ(error->code(), KZError::ProtectedItem) << p;
    }
    EXPECT_TRUE(exists(dir / "elsewhere/home/docs/a"));
    // What the home holds is the user's to delete.
    EXPECT_TRUE(kz::removeItemAtPath(dir / "elsewhere/home/docs").succeeded());
    EXPECT_FALSE(exists(dir / "elsewhere/home/docs"));
}

TEST(Remover, TheFoldersAboveAHomeAreNeverRemoved)
{
    // A home whose folders above are more than "/": each of them is refused by its path...
    {
        kztest::ScopedHome home("/srv/users/ann");
        for (const char* p : {"/srv", "/srv/", "/srv/users", "/srv/users/ann/"})
            EXPECT_EQ(kz::checkRemovablePath(p), EPERM) << p;
        for (const char* p : {"/srv/users/ann/Music", "/srv/users/bob", "/srv/other", "/srvx"})
            EXPECT_EQ(kz::checkRemovablePath(p), 0) << p;
    }
    // ...and by identity, whatever path leads to it.
    kztest::TempDir dir;
    makeFile(dir / "users/ann/docs/a", 1);
    makeFile(dir / "users/bob/b", 1);
    makeSymlink(dir.path(), dir / "again");
    kztest::ScopedHome home(dir / "users/ann");
    {
        int calls = 0; // whatever goes wrong, the hook lets nothing go
        FaultHook hook([&](kz::FileOperation, const std::string&) {
            ++calls;
            return EACCES;
        });
        for (const std::string& p : {dir / "again/users", dir / "again/users/ann/", dir / "users"})
            EXPECT_EQ(kz::removeItemAtPath(p).error, EPERM) << p;
        KZFreedesktopTrash trash;
        const auto error = trash.trashItem(dir / "again/users");
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->code(), KZError::ProtectedItem);
        EXPECT_EQ(calls, 0);
    }
    EXPECT_TRUE(exists(dir / "users/ann/docs/a"));
    // Beside the home, and inside it, things are the user's to delete.
    EXPECT_TRUE(kz::removeItemAtPath(dir / "again/users/bob").succeeded());
    EXPECT_TRUE(kz::removeItemAtPath(dir / "users/ann/docs").succeeded());
}

TEST(Remover, GoesOnPastAFailureAndReportsIt)
{
    kztest::TempDir dir;
    makeFile(dir / "tree/a/locked", 1);
    makeFile(dir / "tree/a/free1", 1);
    makeFile(dir / "tree/b/free2", 1);
    makeFile(dir / "tree/free3", 1);
    FaultHook hook([&](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && path == dir / "tree/a/locked" ? EACCES : 0;
    });
    const auto result = kz::removeItemAtPath(dir / "tree");
    EXPECT_EQ(result.error, ENOTEMPTY);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].path, dir / "tree/a/locked");
    EXPECT_EQ(result.failures[0].error, EACCES);
    EXPECT_TRUE(exists(dir / "tree/a/locked"));
    EXPECT_FALSE(exists(dir / "tree/a/free1"));
    EXPECT_FALSE(exists(dir / "tree/b"));
    EXPECT_FALSE(exists(dir / "tree/free3"));
}

TEST(Remover, AFolderThatKeptSomethingReportsOnlyWhatItKept)
{
    // A folder that still holds something can't go: the system answers ENOTEMPTY, or EEXIST
    // (which POSIX allows too). Either way the inner failure is the reason, not the folder.
    for (const int answer : {ENOTEMPTY, EEXIST}) {
        SCOPED_TRACE(answer);
        kztest::TempDir dir;
        makeFile(dir / "tree/sub/locked", 1);
        makeFile(dir / "tree/sub/free", 1);
        makeFile(dir / "tree/free", 1);
        FaultHook hook([&](kz::FileOperation op, const std::string& path) {
            if (op == kz::FileOperation::Unlink && path == dir / "tree/sub/locked") return EACCES;
            if (op == kz::FileOperation::RemoveDirectory && (path == dir / "tree/sub" || path == dir / "tree"))
                return answer;
            return 0;
        });
        const auto result = kz::removeItemAtPath(dir / "tree");
        EXPECT_EQ(result.error, ENOTEMPTY);
        ASSERT_EQ(result.failures.size(), 1u);
        EXPECT_EQ(result.failures[0].path, dir / "tree/sub/locked");
        EXPECT_EQ(result.failures[0].error, EACCES);
        EXPECT_TRUE(exists(dir / "tree/sub/locked"));
        EXPECT_FALSE(exists(dir / "tree/sub/free"));
        EXPECT_FALSE(exists(dir / "tree/free"));
    }
}

TEST(Remover, ItemsVanishingMidwayAreNoFailure)
{
    kztest::TempDir dir;
    makeFile(dir / "tree/a", 1);
    makeFile(dir / "tree/b", 1);
    makeFile(dir / "tree/sub/c", 1);
    // Whichever entry goes first, the others are taken away by someone else meanwhile.
    bool first = true;
    FaultHook hook([&](kz::FileOperation op, const std::string&) {
        if (op == kz::FileOperation::Unlink && first) {
            first = false;
            const std::string tree = exists(dir / "tree") ? dir / "tree" : asideIn(dir.path());
            ::unlink((tree + "/a").c_str());
            ::unlink((tree + "/b").c_str());
            ::unlink((tree + "/sub/c").c_str());
            ::rmdir((tree + "/sub").c_str());
        }
        return 0;
    });
    const auto result = kz::removeItemAtPath(dir / "tree");
    EXPECT_TRUE(result.succeeded());
    EXPECT_TRUE(result.failures.empty());
    EXPECT_FALSE(exists(dir / "tree"));
}

TEST(Remover, RemovesOnlyTheItemItWasGiven)
{
    kztest::TempDir dir;
    makeFile(dir / "file", 1);
    const kz::FileIdentity before = identityOf(dir / "file");
    // Held open, the first file keeps its inode while the new one is made, so the two are
    // always different items.
    const int held = ::open((dir / "file").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ::unlink((dir / "file").c_str());
    makeFile(dir / "file", 2); // a new item under the old name
    ASSERT_NE(identityOf(dir / "file"), before);
    EXPECT_EQ(kz::removeItemAtPath(dir / "file", before).error, ESTALE);
    ::close(held);
    EXPECT_TRUE(exists(dir / "file"));
    EXPECT_TRUE(kz::removeItemAtPath(dir / "file", identityOf(dir / "file")).succeeded());
}

TEST(Remover, DeepTreesWithBoundedDescriptors)
{
    // The promise: at most 64 folders open at once. A chain five times deeper, with files on
    // the way down and at the bottom: the open descriptors are counted at every unlink.
    constexpr int cap = 64;
    EXPECT_EQ(kz::kRemovalMaxOpenFolders, size_t(cap));
    constexpr int depth = 5 * cap;
    kztest::TempDir dir;
    std::string deep = dir / "deep";
    for (int i = 0; i < depth; ++i) {
        deep += "/d";
        if (i % 40 == 0) makeFile(deep + "/on-the-way", 1);
    }
    makeFile(deep + "/leaf", 1);
    makeFile(dir / "deep/d/d/side", 1);
    const int before = kztest::openDescriptorCount();
    int peak = before;
    int unlinks = 0;
    {
        FaultHook hook([&](kz::FileOperation op, const std::string&) {
            if (op == kz::FileOperation::Unlink) {
                peak = std::max(peak, kztest::openDescriptorCount());
                ++unlinks;
            }
            return 0;
        });
        EXPECT_TRUE(kz::removeItemAtPath(dir / "deep").succeeded());
    }
    EXPECT_FALSE(exists(dir / "deep"));
    EXPECT_GT(unlinks, 8);
    // The removal's folders, its item's parent, and a little for the rest of the process.
    EXPECT_LE(peak - before, cap + 4) << "deepest chain " << depth;
    EXPECT_EQ(kztest::openDescriptorCount(), before); // every descriptor closed again
}

TEST(Remover, NeverEntersAnotherFileSystem)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    makeFile(dir / "tree/file", 1);
    kztest::ScratchMount volume(dir / "tree/volume");
    if (!volume.mounted()) GTEST_SKIP() << volume.refusal();
    makeFile(dir / "tree/volume/precious", 1);
    const auto result = kz::removeItemAtPath(dir / "tree");
    EXPECT_FALSE(result.succeeded());
    ASSERT_FALSE(result.failures.empty());
    EXPECT_EQ(result.failures[0].path, dir / "tree/volume");
    EXPECT_EQ(result.failures[0].error, EXDEV);
    EXPECT_TRUE(exists(dir / "tree/volume/precious"));
    EXPECT_FALSE(exists(dir / "tree/file"));
    // The volume itself is not emptied either.
    EXPECT_EQ(kz::removeItemAtPath(dir / "tree/volume/").error, EXDEV);
    EXPECT_TRUE(exists(dir / "tree/volume/precious"));
}

TEST(Remover, MarksOnlyWhatItChangesWhenItChangesIt)
{
    kztest::TempDir dir;
    KZSelfChangeRegistry& registry = KZSelfChangeRegistry::shared();
    makeFile(dir / "tree/a", 1);
    makeFile(dir / "refused", 1);
    bool markedDuring = false;
    FaultHook hook([&](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Unlink && path == dir / "tree/a")
            markedDuring = registry.isOwnChange(dir / "tree", KZChange::RenamedFrom);
        return 0;
    });
    // A refused removal changes nothing and marks nothing.
    EXPECT_EQ(kz::removeItemAtPath(dir / "refused", kz::FileIdentity{1, 1}).error, ESTALE);
    EXPECT_FALSE(registry.isOwnChange(dir / "refused"));
    EXPECT_EQ(kz::removeItemAtPath(dir / "missing").error, ENOENT);
    EXPECT_FALSE(registry.isOwnChange(dir / "missing"));

    EXPECT_TRUE(kz::removeItemAtPath(dir / "tree").succeeded());
    EXPECT_TRUE(markedDuring);
    // Within the grace period the move away is the program's own; an item created at the
    // path by someone else is not.
    EXPECT_TRUE(registry.isOwnChange(dir / "tree", KZChange::RenamedFrom));
    EXPECT_FALSE(registry.isOwnChange(dir / "tree", KZChange::Created | KZChange::RenamedTo | KZChange::Modified));
    EXPECT_FALSE(registry.isOwnChange(dir / "tree/a", KZChange::Created));
}

TEST(Remover, WhatGoesInsideAFolderIsMarkedUnderItsOwnPathToo)
{
    // A watcher that missed the move to the private name reports what goes inside under the
    // folder's own path: that is marked, as a removal only, and only when something went.
    kztest::TempDir dir;
    KZSelfChangeRegistry& registry = KZSelfChangeRegistry::shared();
    makeFile(dir / "tree/sub/a", 1);
    makeFile(dir / "file", 1);
    makeFile(dir / "stuck/sub/locked", 1);
    bool markedDuring = false;
    FaultHook hook([&](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Unlink && path == dir / "tree/sub/a")
            markedDuring = registry.isOwnChange(dir / "tree/sub/a", KZChange::Removed);
        return op == kz::FileOperation::Unlink && path.rfind(dir / "stuck/", 0) == 0 ? EACCES : 0;
    });
    ASSERT_TRUE(kz::removeItemAtPath(dir / "tree").succeeded());
    EXPECT_TRUE(markedDuring);
    EXPECT_TRUE(registry.isOwnChange(dir / "tree/sub", KZChange::Removed));
    EXPECT_FALSE(registry.isOwnChange(dir / "tree/sub", KZChange::Created | KZChange::RenamedTo));

    // A file has nothing inside: its own path only saw it moved away.
    ASSERT_TRUE(kz::removeItemAtPath(dir / "file").succeeded());
    EXPECT_FALSE(registry.isOwnChange(dir / "file", KZChange::Removed));

    // Nothing inside could go: no removal is marked; the move back under its name is.
    EXPECT_NE(kz::removeItemAtPath(dir / "stuck").error, 0);
    ASSERT_TRUE(exists(dir / "stuck/sub/locked"));
    EXPECT_FALSE(registry.isOwnChange(dir / "stuck/sub/locked", KZChange::Removed));
    EXPECT_TRUE(registry.isOwnChange(dir / "stuck", KZChange::RenamedTo));
}

TEST(Remover, AnItemSwappedInAfterTheCheckIsPutBackUntouched)
{
    kztest::TempDir dir;
    makeFile(dir / "file", 1);
    makeFile(dir / "intruder", 2);
    makeFile(dir / "tree/inner", 1);
    makeDir(dir / "empty-intruder");
    const kz::FileIdentity file = identityOf(dir / "file");
    const kz::FileIdentity tree = identityOf(dir / "tree");
    const kz::FileIdentity intruder = identityOf(dir / "empty-intruder");
    // Another program puts its own item at the path after the remover looked, at the last
    // moment it can: just before the item is moved or removed.
    std::string swapAt;
    FaultHook hook([&](kz::FileOperation op, const std::string& path) {
        if (path != swapAt || op == kz::FileOperation::Unlink) return 0;
        if (swapAt == dir / "file") {
            ::rename((dir / "intruder").c_str(), (dir / "file").c_str());
        } else {
            ::rename((dir / "tree").c_str(), (dir / "tree-moved").c_str());
            ::rename((dir / "empty-intruder").c_str(), (dir / "tree").c_str());
        }
        swapAt.clear();
        return 0;
    });
    swapAt = dir / "file";
    EXPECT_EQ(kz::removeItemAtPath(dir / "file", file).error, ESTALE);
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "file").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 2);

    swapAt = dir / "tree";
    EXPECT_EQ(kz::removeItemAtPath(dir / "tree", tree).error, ESTALE);
    EXPECT_EQ(identityOf(dir / "tree"), intruder); // the intruder, whole
    EXPECT_TRUE(exists(dir / "tree-moved/inner")); // and the checked folder untouched elsewhere
    EXPECT_EQ(asideIn(dir.path()), "");
}

TEST(Remover, PuttingBackNeverReplacesWhatTookTheName)
{
    // An item that can't be removed goes back under its name, unless another program put
    // something there meanwhile: then the newcomer stays untouched and the item keeps its
    // private name, whether or not the file system has a rename that never replaces.
    for (const bool hasNoReplaceRename : {true, false}) {
        kztest::TempDir dir;
        makeFile(dir / "file", 1);
        FaultHook hook([&](kz::FileOperation op, const std::string& path) {
            if (op == kz::FileOperation::NoReplaceRename) return hasNoReplaceRename ? 0 : EINVAL;
            if (op == kz::FileOperation::Unlink && path == dir / "file") {
                makeFile(dir / "file", 7); // the newcomer
                return EACCES;
            }
            return 0;
        });
        const auto result = kz::removeItemAtPath(dir / "file");
        EXPECT_EQ(result.error, EACCES);
        struct stat st {};
        ASSERT_EQ(::lstat((dir / "file").c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 7) << hasNoReplaceRename;
        const std::string aside = asideIn(dir.path());
        ASSERT_NE(aside, "") << hasNoReplaceRename;
        ASSERT_EQ(::lstat(aside.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 1);
        ASSERT_FALSE(result.failures.empty());
        EXPECT_EQ(result.failures[0].path, aside);
        EXPECT_EQ(result.failures[0].error, EEXIST);
    }
}

TEST(Remover, WhatCantBeRemovedWholeKeepsItsName)
{
    kztest::TempDir dir;
    makeFile(dir / "tree/locked", 1);
    makeFile(dir / "tree/free", 1);
    makeFile(dir / "file", 1);
    FaultHook hook([&](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && (path == dir / "tree/locked" || path == dir / "file") ? EACCES : 0;
    });
    EXPECT_EQ(kz::removeItemAtPath(dir / "tree").error, ENOTEMPTY);
    EXPECT_EQ(kz::removeItemAtPath(dir / "file").error, EACCES);
    EXPECT_TRUE(exists(dir / "tree/locked"));
    EXPECT_FALSE(exists(dir / "tree/free"));
    EXPECT_TRUE(exists(dir / "file"));
    EXPECT_EQ(asideIn(dir.path()), "");
}

} // namespace

namespace {

const kztest::IdentityFileSystem kEveryFileSystem[] = {kztest::IdentityFileSystem::WithBirthTimes,
                                                       kztest::IdentityFileSystem::WithHandlesOnly,
                                                       kztest::IdentityFileSystem::WithNeither};

long long sizeAt(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

} // namespace

TEST(Remover, AFileWrittenAnewUnderTheOldInodeNumberIsNotRemoved)
{
    for (auto fs : kEveryFileSystem) {
        SCOPED_TRACE(kztest::nameOf(fs));
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        kztest::TempDir dir;
        makeFile(dir / "file", 10);
        // Another program deletes the file and writes a new one, which gets the old number.
        const kz::FileIdentity scanned = kztest::scannedIdentityOfAFileWrittenAnew(dir / "file", 20);
        ASSERT_EQ(identityOf(dir / "file").inode, scanned.inode);
        const kz::RemovalResult refused = kz::removeItemAtPath(dir / "file", scanned);
        EXPECT_EQ(refused.error, ESTALE);
        EXPECT_EQ(refused.removedBytes, 0u);
        EXPECT_EQ(sizeAt(dir / "file"), 20);
        EXPECT_EQ(asideIn(dir.path()), "");
        EXPECT_TRUE(kz::removeItemAtPath(dir / "file", identityOf(dir / "file")).succeeded());
    }
}

TEST(Remover, AFileWrittenAnewJustBeforeItsRemovalIsPutBack)
{
    for (auto fs : kEveryFileSystem) {
        SCOPED_TRACE(kztest::nameOf(fs));
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        kztest::TempDir dir;
        makeFile(dir / "file", 10);
        const kz::FileIdentity scanned = identityOf(dir / "file");
        // The remover found the scanned file; at the last moment, just before it is moved
        // aside, another program writes a new one in its place (with the old number if the
        // file system can give it).
        bool rewritten = false;
        FaultHook hook([&](kz::FileOperation op, const std::string& path) {
            if (op == kz::FileOperation::Rename && path == dir / "file" && !rewritten) {
                rewritten = true;
                kztest::rewriteWithSameInode(dir / "file", 20);
            }
            return 0;
        });
        const kz::RemovalResult result = kz::removeItemAtPath(dir / "file", scanned);
        EXPECT_TRUE(rewritten);
        EXPECT_EQ(result.error, ESTALE);
        EXPECT_EQ(result.removedBytes, 0u);
        EXPECT_EQ(sizeAt(dir / "file"), 20); // the new file, back under its name
        EXPECT_EQ(asideIn(dir.path()), "");
    }
}

TEST(Remover, AFileWithSeveralNamesFreesItsBytesWhenItsLastNameGoes)
{
    kztest::TempDir dir;
    makeFile(dir / "a", 1000);
    ASSERT_EQ(::link((dir / "a").c_str(), (dir / "b").c_str()), 0);
    const kz::RemovalResult first = kz::removeItemAtPath(dir / "a");
    EXPECT_TRUE(first.succeeded());
    EXPECT_EQ(first.removedBytes, 0u); // "b" keeps the bytes
    EXPECT_EQ(kz::removeItemAtPath(dir / "b").removedBytes, 1000u);

    // Both names inside one folder: counted once, at the second.
    makeFile(dir / "tree/one", 300);
    makeDir(dir / "tree/sub");
    ASSERT_EQ(::link((dir / "tree/one").c_str(), (dir / "tree/sub/two").c_str()), 0);
    makeFile(dir / "tree/plain", 5);
    EXPECT_EQ(kz::removeItemAtPath(dir / "tree").removedBytes, 305u);

    // One name inside, the other outside: the folder frees nothing of it, the outside name all.
    makeFile(dir / "box/inside", 70);
    ASSERT_EQ(::link((dir / "box/inside").c_str(), (dir / "outside").c_str()), 0);
    EXPECT_EQ(kz::removeItemAtPath(dir / "box").removedBytes, 0u);
    EXPECT_EQ(kz::removeItemAtPath(dir / "outside").removedBytes, 70u);
}
