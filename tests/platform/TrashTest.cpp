#include "platform/KZDirectoryIO.h"
#include "platform/KZFileFaults.h"
#include "platform/KZFreedesktopTrash.h"
#include "platform/KZSelfChangeRegistry.h"
#include "tests/support/Identity.h"
#include "tests/support/Mounts.h"
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

using kztest::exists;
using kztest::makeDir;
using kztest::makeFile;
using kztest::makeSymlink;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string percentDecode(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out.push_back(char(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// The Path= value of an information file, decoded; "" when the file is not valid.
std::string trashedPath(const std::string& infoFile)
{
    const std::string text = readFile(infoFile);
    std::smatch m;
    static const std::regex form(
        "^\\[Trash Info\\]\nPath=([^\n]+)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$");
    if (!std::regex_match(text, m, form)) return {};
    const std::string encoded = m[1];
    // Only unreserved characters, "/" and escapes may stand in the value.
    if (encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/-_.!~*'()%") !=
        std::string::npos)
        return {};
    return percentDecode(encoded);
}

using FaultHook = kztest::ScopedFaultHook;

// Points the home Trash at a temporary folder for the test.
struct TrashTest : ::testing::Test {
    kztest::TempDir dir;
    std::string data = dir / "data";
    std::string trash = data + "/Trash";
    std::string savedDataHome;
    bool hadDataHome = false;
    KZFreedesktopTrash bin;

    void SetUp() override
    {
        if (const char* v = std::getenv("XDG_DATA_HOME")) {
            hadDataHome = true;
            savedDataHome = v;
        }
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    }
    void TearDown() override
    {
        if (hadDataHome) {
            ::setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
    }
};

TEST_F(TrashTest, FilesLandInTheHomeTrashWithValidInformation)
{
    makeFile(dir / "items/report.pdf", 100);
    makeFile(dir / "items/folder/inner", 5);
    EXPECT_EQ(KZFreedesktopTrash::homeTrashPath(), trash);

    EXPECT_FALSE(bin.trashItem(dir / "items/report.pdf").has_value());
    EXPECT_FALSE(bin.trashItem(dir / "items/folder/").has_value());
    EXPECT_FALSE(exists(dir / "items/report.pdf"));
    EXPECT_FALSE(exists(dir / "items/folder"));
    EXPECT_TRUE(exists(trash + "/files/report.pdf"));
    EXPECT_TRUE(exists(trash + "/files/folder/inner"));
    EXPECT_EQ(trashedPath(trash + "/info/report.pdf.trashinfo"), dir / "items/report.pdf");
    EXPECT_EQ(trashedPath(trash + "/info/folder.trashinfo"), dir / "items/folder");
    struct stat st {};
    ::stat((trash + "/info").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(TrashTest, OddNamesAreRecordedExactly)
{
    const std::string names[] = {"with space & more", "new\nline", "bytes \xff\xfe\x80", "100% sure?#"};
    for (const std::string& name : names) {
        makeFile(dir / "items" + "/" + name, 1);
        ASSERT_FALSE(bin.trashItem(dir / "items/" + name).has_value()) << name;
        EXPECT_TRUE(exists(trash + "/files/" + name));
        EXPECT_EQ(trashedPath(trash + "/info/" + name + ".trashinfo"), dir / "items/" + name);
    }
}

TEST_F(TrashTest, NamesAlreadyInTheTrashAreNotReplaced)
{
    for (const char* folder : {"a", "b", "c"}) makeFile(dir / folder + "/photo.jpg", 1);
    makeFile(dir / "d/.profile", 1);
    makeFile(dir / "e/.profile", 1);
    for (const char* path : {"a/photo.jpg", "b/photo.jpg", "c/photo.jpg", "d/.profile", "e/.profile"})
        ASSERT_FALSE(bin.trashItem(dir / path).has_value()) << path;
    EXPECT_EQ(trashedPath(trash + "/info/photo.jpg.trashinfo"), dir / "a/photo.jpg");
    EXPECT_EQ(trashedPath(trash + "/info/photo.2.jpg.trashinfo"), dir / "b/photo.jpg");
    EXPECT_EQ(trashedPath(trash + "/info/photo.3.jpg.trashinfo"), dir / "c/photo.jpg");
    EXPECT_TRUE(exists(trash + "/files/photo.3.jpg"));
    EXPECT_EQ(trashedPath(trash + "/info/.profile.2.trashinfo"), dir / "e/.profile");

    // A file in files/ without an information file still keeps its name.
    makeFile(trash + "/files/orphan", 1);
    makeFile(dir / "f/orphan", 1);
    ASSERT_FALSE(bin.trashItem(dir / "f/orphan").has_value());
    EXPECT_EQ(trashedPath(trash + "/info/orphan.2.trashinfo"), dir / "f/orphan");
}

TEST_F(TrashTest, LongNamesAreCutToFit)
{
    const std::string longName = std::string(250, 'x') + ".txt";
    EXPECT_LE(KZFreedesktopTrash::trashNameForAttempt(longName, 1).size() + 10, 255u);
    EXPECT_EQ(KZFreedesktopTrash::trashNameForAttempt("a.b.c", 3), "a.b.3.c");
    // A cut never splits a UTF-8 character.
    std::string accented;
    for (int i = 0; i < 125; ++i) accented += "\xc3\xa9";
    const std::string cut = KZFreedesktopTrash::trashNameForAttempt(accented, 2);
    EXPECT_LE(cut.size() + 10, 255u);
    EXPECT_EQ(cut.size() % 2, 0u);
    makeFile(dir / "items" + "/" + longName, 1);
    makeFile(dir / "other" + "/" + longName, 1);
    EXPECT_FALSE(bin.trashItem(dir / "items/" + longName).has_value());
    EXPECT_FALSE(bin.trashItem(dir / "other/" + longName).has_value());
    EXPECT_FALSE(exists(dir / "other/" + longName));
}

TEST_F(TrashTest, LinksAreTrashedNotWhatTheyPointTo)
{
    makeFile(dir / "target/keep", 1);
    makeSymlink(dir / "target", dir / "items/link");
    makeSymlink(dir / "nowhere", dir / "items/dangling");
    EXPECT_FALSE(bin.trashItem(dir / "items/link/").has_value());
    EXPECT_FALSE(bin.trashItem(dir / "items/dangling").has_value());
    EXPECT_TRUE(exists(dir / "target/keep"));
    struct stat st {};
    ASSERT_EQ(::lstat((trash + "/files/link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(exists(trash + "/files/dangling"));
}

TEST_F(TrashTest, ATrashThatCannotBeWrittenFailsAtOnceAndTheItemStays)
{
    makeFile(dir / "items/file", 1);
    makeFile(trash, 1); // a file where the Trash folder should be
    QElapsedTimer timer;
    timer.start();
    auto error = bin.trashItem(dir / "items/file");
    ASSERT_TRUE(error.has_value());
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(error->domain(), KZError::POSIXDomain);
    EXPECT_EQ(error->code(), ENOTDIR);
    EXPECT_TRUE(exists(dir / "items/file"));
    ::unlink(trash.c_str());

    // The system refuses the information file, then the move itself.
    {
        FaultHook hook(
            [](kz::FileOperation op, const std::string&) { return op == kz::FileOperation::Create ? EACCES : 0; });
        error = bin.trashItem(dir / "items/file");
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->code(), EACCES);
    }
    {
        FaultHook hook(
            [](kz::FileOperation op, const std::string&) { return op == kz::FileOperation::Rename ? EXDEV : 0; });
        error = bin.trashItem(dir / "items/file");
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->code(), EXDEV);
    }
    EXPECT_TRUE(exists(dir / "items/file"));
    EXPECT_FALSE(exists(trash + "/info/file.trashinfo")); // no information without its item
    EXPECT_FALSE(exists(trash + "/files/file"));
}

TEST_F(TrashTest, RefusesChangedItemsHomeFoldersAndMissingItems)
{
    makeFile(dir / "items/file", 1);
    auto error = bin.trashItem(dir / "items/file", kz::FileIdentity{1, 1});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain(), KZError::SizemereDomain);
    EXPECT_EQ(error->code(), KZError::ChangedSinceScan);
    EXPECT_TRUE(exists(dir / "items/file"));

    FaultHook hook([](kz::FileOperation, const std::string&) { return EACCES; }); // a safety net
    for (const char* p : {"/", "/root", "/home", "/root/"}) {
        error = bin.trashItem(p);
        ASSERT_TRUE(error.has_value()) << p;
        EXPECT_EQ(error->code(), KZError::ProtectedItem) << p;
    }
    makeSymlink("/", dir / "to-root");
    error = bin.trashItem(dir / "to-root/root");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), KZError::ProtectedItem);
    error = bin.trashItem(dir / "items/missing");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), ENOENT);
}

TEST_F(TrashTest, ItemsOnAnotherVolumeUseThatVolumesTrash)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::ScratchMount volume(dir / "volume");
    if (!volume.mounted()) GTEST_SKIP() << volume.refusal();
    const std::string uid = std::to_string(::getuid());
    makeFile(dir / "volume/sub/item name", 3);
    ASSERT_FALSE(bin.trashItem(dir / "volume/sub/item name").has_value());
    const std::string volumeTrash = dir / "volume/.Trash-" + uid;
    EXPECT_TRUE(exists(volumeTrash + "/files/item name"));
    EXPECT_EQ(trashedPath(volumeTrash + "/info/item name.trashinfo"), "sub/item name");
    EXPECT_FALSE(exists(trash + "/files/item name"));

    // A shared .Trash with the sticky bit is used first; one without it never.
    makeDir(dir / "volume/.Trash");
    ::chmod((dir / "volume/.Trash").c_str(), 01777);
    makeFile(dir / "volume/second", 1);
    ASSERT_FALSE(bin.trashItem(dir / "volume/second").has_value());
    EXPECT_TRUE(exists(dir / "volume/.Trash/" + uid + "/files/second"));
    ::chmod((dir / "volume/.Trash").c_str(), 0777);
    makeFile(dir / "volume/third", 1);
    ASSERT_FALSE(bin.trashItem(dir / "volume/third").has_value());
    EXPECT_TRUE(exists(volumeTrash + "/files/third"));

    // A volume Trash that is a link is never used; the item stays.
    ::rmdir((dir / "volume/.Trash/" + uid + "/files").c_str());
    makeDir(dir / "elsewhere");
    ASSERT_TRUE(kz::removeItemAtPath(volumeTrash).succeeded());
    makeSymlink(dir / "elsewhere", volumeTrash);
    makeFile(dir / "volume/fourth", 1);
    const auto error = bin.trashItem(dir / "volume/fourth");
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(exists(dir / "volume/fourth"));

    // The mounted volume itself can't go to any Trash.
    const auto self = bin.trashItem(dir / "volume");
    ASSERT_TRUE(self.has_value());
    EXPECT_EQ(self->code(), EXDEV);
}

TEST_F(TrashTest, WhatIsInATrashStaysThere)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    makeFile(dir / "items/a", 1);
    makeFile(dir / "items/b", 1);
    ASSERT_FALSE(bin.trashItem(dir / "items/a").has_value());
    ASSERT_FALSE(bin.trashItem(dir / "items/b").has_value());
    makeSymlink(trash, dir / "to-trash");
    makeSymlink(dir.path(), dir / "up");
    for (const std::string& p : {trash + "/info", trash + "/info/a.trashinfo", trash + "/files/a", trash + "/files",
                                 trash, dir / "to-trash/files/b", dir / "up/data/Trash/info"}) {
        const auto error = bin.trashItem(p);
        ASSERT_TRUE(error.has_value()) << p;
        EXPECT_EQ(error->code(), KZError::InTrash) << p;
    }
    EXPECT_TRUE(exists(trash + "/info/a.trashinfo"));
    EXPECT_TRUE(exists(trash + "/info/b.trashinfo"));
    EXPECT_TRUE(exists(trash + "/files/a"));
    EXPECT_FALSE(exists(trash + "/files/info"));

    // The Trash folders at the top of another volume, the shared one with the sticky bit too.
    kztest::ScratchMount volume(dir / "volume");
    if (!volume.mounted()) GTEST_SKIP() << volume.refusal();
    const std::string uid = std::to_string(::getuid());
    makeFile(dir / "volume/x", 1);
    ASSERT_FALSE(bin.trashItem(dir / "volume/x").has_value());
    makeDir(dir / "volume/.Trash");
    ::chmod((dir / "volume/.Trash").c_str(), 01777);
    makeFile(dir / "volume/y", 1);
    ASSERT_FALSE(bin.trashItem(dir / "volume/y").has_value());
    makeSymlink(dir / "volume/.Trash", dir / "shared");
    for (const std::string& p :
         {dir / "volume/.Trash-" + uid + "/info", dir / "volume/.Trash-" + uid + "/files/x",
          dir / "volume/.Trash/" + uid + "/files/y", dir / "shared/" + uid, dir / "volume/.Trash"}) {
        const auto error = bin.trashItem(p);
        ASSERT_TRUE(error.has_value()) << p;
        EXPECT_EQ(error->code(), KZError::InTrash) << p;
    }
    EXPECT_TRUE(exists(dir / "volume/.Trash-" + uid + "/info/x.trashinfo"));
    EXPECT_TRUE(exists(dir / "volume/.Trash/" + uid + "/files/y"));
}

TEST_F(TrashTest, AFolderThatHoldsAMountedVolumeStays)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    makeFile(dir / "items/folder/file", 1);
    makeDir(dir / "items/folder/inner");
    kztest::ScratchMount volume(dir / "items/folder/inner/volume");
    if (!volume.mounted()) GTEST_SKIP() << volume.refusal();
    makeFile(dir / "items/folder/inner/volume/precious", 1);
    makeSymlink(dir / "items", dir / "link");
    for (const std::string& p : {dir / "items/folder", dir / "items/folder/inner", dir / "link/folder/"}) {
        const auto error = bin.trashItem(p);
        ASSERT_TRUE(error.has_value()) << p;
        EXPECT_EQ(error->code(), KZError::HoldsMountedVolume) << p;
    }
    EXPECT_TRUE(exists(dir / "items/folder/inner/volume/precious"));
    EXPECT_FALSE(exists(trash + "/info/folder.trashinfo"));
    EXPECT_FALSE(exists(trash + "/info/inner.trashinfo"));
    // Beside the volume, items still go.
    EXPECT_FALSE(bin.trashItem(dir / "items/folder/file").has_value());
}

TEST_F(TrashTest, MarksOnlyWhatItChangesWhenItChangesIt)
{
    KZSelfChangeRegistry& registry = KZSelfChangeRegistry::shared();
    makeFile(dir / "items/file", 1);
    makeFile(dir / "items/refused", 1);
    ASSERT_TRUE(bin.trashItem(dir / "items/refused", kz::FileIdentity{1, 1}).has_value());
    EXPECT_FALSE(registry.isOwnChange(dir / "items/refused"));

    ASSERT_FALSE(bin.trashItem(dir / "items/file").has_value());
    EXPECT_TRUE(registry.isOwnChange(dir / "items/file", KZChange::RenamedFrom));
    EXPECT_FALSE(registry.isOwnChange(dir / "items/file", KZChange::Created | KZChange::RenamedTo));
    EXPECT_TRUE(registry.isOwnChange(trash + "/files/file"));
    EXPECT_TRUE(registry.isOwnChange(trash + "/info/file.trashinfo"));
}

TEST_F(TrashTest, AnItemSwappedInAfterTheCheckGoesBackWhereItWas)
{
    makeFile(dir / "items/file", 1);
    makeFile(dir / "items/intruder", 2);
    const kz::FileIdentity checked = kz::fileIdentityOfPath(dir / "items/file").value();
    // Another program puts its own file at the path just before the move.
    FaultHook hook([&](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Rename && path == dir / "items/file")
            ::rename((dir / "items/intruder").c_str(), (dir / "items/file").c_str());
        return 0;
    });
    const auto error = bin.trashItem(dir / "items/file", checked);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), KZError::ChangedSinceScan);
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "items/file").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 2); // the intruder, back at its place
    EXPECT_FALSE(exists(trash + "/files/file"));
    EXPECT_FALSE(exists(trash + "/info/file.trashinfo"));
}

TEST_F(TrashTest, ANameTakenAtTheLastMomentIsNeverReplaced)
{
    // Another program puts its own file into the Trash under the item's name just before the
    // move: the item takes the next name, and the other file stays whole, whether or not the
    // file system has a rename that never replaces.
    for (const bool hasNoReplaceRename : {true, false}) {
        const std::string name = hasNoReplaceRename ? "report.txt" : "other.txt";
        const std::string stem = name.substr(0, name.size() - 4);
        makeFile(dir / "items/" + name, 3);
        FaultHook hook([&](kz::FileOperation op, const std::string& path) {
            if (op == kz::FileOperation::NoReplaceRename) return hasNoReplaceRename ? 0 : EINVAL;
            if (op == kz::FileOperation::Rename && path == dir / "items/" + name && !exists(trash + "/files/" + name))
                makeFile(trash + "/files/" + name, 9);
            return 0;
        });
        ASSERT_FALSE(bin.trashItem(dir / "items/" + name).has_value()) << hasNoReplaceRename;
        struct stat st {};
        ASSERT_EQ(::lstat((trash + "/files/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 9) << hasNoReplaceRename; // the other program's file
        EXPECT_FALSE(exists(trash + "/info/" + name + ".trashinfo"));
        ASSERT_EQ(::lstat((trash + "/files/" + stem + ".2.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 3);
        EXPECT_EQ(trashedPath(trash + "/info/" + stem + ".2.txt.trashinfo"), dir / "items/" + name);
        EXPECT_FALSE(exists(dir / "items/" + name));
    }
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

TEST_F(TrashTest, AFileWrittenAnewUnderTheOldInodeNumberStays)
{
    for (auto fs : kEveryFileSystem) {
        SCOPED_TRACE(kztest::nameOf(fs));
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        makeFile(dir / "items/file", 10);
        const kz::FileIdentity scanned = kztest::scannedIdentityOfAFileWrittenAnew(dir / "items/file", 20);
        const auto error = bin.trashItem(dir / "items/file", scanned);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->code(), KZError::ChangedSinceScan);
        EXPECT_EQ(sizeAt(dir / "items/file"), 20);
        EXPECT_FALSE(exists(trash + "/files/file"));
        ::unlink((dir / "items/file").c_str());
    }
}

TEST_F(TrashTest, AFileWrittenAnewJustBeforeTheMoveGoesBack)
{
    for (auto fs : kEveryFileSystem) {
        SCOPED_TRACE(kztest::nameOf(fs));
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        makeFile(dir / "items/file", 10);
        const kz::FileIdentity scanned = kz::fileIdentityOfPath(dir / "items/file").value();
        bool rewritten = false;
        FaultHook hook([&](kz::FileOperation op, const std::string& path) {
            if (op == kz::FileOperation::Rename && path == dir / "items/file" && !rewritten) {
                rewritten = true;
                kztest::rewriteWithSameInode(dir / "items/file", 20);
            }
            return 0;
        });
        const auto error = bin.trashItem(dir / "items/file", scanned);
        EXPECT_TRUE(rewritten);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->code(), KZError::ChangedSinceScan);
        EXPECT_EQ(sizeAt(dir / "items/file"), 20); // the new file, back at its place
        EXPECT_FALSE(exists(trash + "/files/file"));
        EXPECT_FALSE(exists(trash + "/info/file.trashinfo"));
        ::unlink((dir / "items/file").c_str());
    }
}
