#include "model/KZFile.h"
#include "model/TQDeletionEngine.h"
#include "platform/KZDirectoryIO.h"
#include "platform/KZDispatch.h"
#include "platform/KZFileFaults.h"
#include "platform/KZFreedesktopTrash.h"
#include "platform/KZTrash.h"
#include "tests/support/Identity.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using kztest::exists;
using kztest::makeDir;
using kztest::makeFile;
using kztest::makeSymlink;

namespace {

using FaultHook = kztest::ScopedFaultHook;

// A Trash that records what it was asked and does as it is told.
class FakeTrash : public KZTrash {
public:
    enum class Mode { Move, Refuse, PretendOnly, MoveButReportAnError };
    Mode mode = Mode::Move;
    std::vector<std::string> asked;
    std::string bin;
    std::optional<KZError> trashItem(std::string_view path, const std::optional<kz::FileIdentity>&) override
    {
        asked.emplace_back(path);
        switch (mode) {
        case Mode::Refuse:
            return KZError::posix(EACCES, QStringLiteral("refused"));
        case Mode::PretendOnly:
            return std::nullopt; // says yes, moves nothing
        case Mode::Move:
        case Mode::MoveButReportAnError: {
            const std::string to = bin + "/" + std::to_string(asked.size());
            if (::rename(std::string(path).c_str(), to.c_str()) != 0) return KZError::posix(errno);
            if (mode == Mode::MoveButReportAnError) return KZError::posix(EIO, QStringLiteral("lost the reply"));
            return std::nullopt;
        }
        }
        return std::nullopt;
    }
};

struct Outcome {
    std::vector<double> progress;
    std::optional<TQDeletionResult> result;
};

std::shared_ptr<Outcome> start(const KZFileList& files, TQDeletionEngine::Options options = {},
                               const QObject* context = nullptr)
{
    auto run = std::make_shared<Outcome>();
    TQDeletionEngine::deleteFiles(
        files, options, [run](double p) { run->progress.push_back(p); },
        [run](const TQDeletionResult& r) { run->result = r; }, context);
    return run;
}

TQDeletionResult finish(const std::shared_ptr<Outcome>& run)
{
    EXPECT_TRUE(kztest::waitFor([&] { return run->result.has_value(); }));
    return run->result.value_or(TQDeletionResult{});
}

KZFilePtr scanned(const std::string& path)
{
    return KZFile::fileWithPath(path, true);
}

KZDirectoryPtr scannedFolder(const std::string& path)
{
    return KZDirectory::fileWithPath(path, true);
}

TEST(DeletionEngine, DeletesInChunksAndReportsProgressOnTheMainThread)
{
    kztest::TempDir dir;
    KZFileList files;
    for (int i = 0; i < 120; ++i) {
        makeFile(dir / ("f" + std::to_string(i)), 10);
        files.push_back(scanned(dir / ("f" + std::to_string(i))));
    }
    bool onMain = true;
    auto run = std::make_shared<Outcome>();
    TQDeletionEngine::deleteFiles(
        files, {},
        [run, &onMain](double p) {
            onMain = onMain && kz::isMainThread();
            run->progress.push_back(p);
        },
        [run, &onMain](const TQDeletionResult& r) {
            onMain = onMain && kz::isMainThread();
            run->result = r;
        });
    const auto result = finish(run);
    EXPECT_TRUE(onMain);
    EXPECT_EQ(run->progress, (std::vector<double>{0, 50.0 / 120, 100.0 / 120, 1}));
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles.size(), 120u);
    EXPECT_EQ(result.freedBytes, 1200);
    for (int i = 0; i < 120; ++i) EXPECT_FALSE(exists(dir / ("f" + std::to_string(i))));
}

TEST(DeletionEngine, AnEmptyRunEndsAtOnce)
{
    auto run = start({});
    const auto result = finish(run);
    EXPECT_EQ(run->progress, (std::vector<double>{1}));
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_TRUE(result.deletedFiles.empty());
}

TEST(DeletionEngine, NestedRecordsGoWithTheirFolderAndCountOnce)
{
    kztest::TempDir dir;
    makeFile(dir / "folder/inner", 40);
    makeFile(dir / "folder/sub/deeper", 2);
    KZDirectoryPtr folder = scannedFolder(dir / "folder");
    folder->setFileSize(42);
    KZFilePtr inner = KZFile::childWithName(folder.get(), "inner");
    inner->setFileSize(40);
    folder->addChild(inner.get());
    KZFilePtr loose = scanned(dir / "folder/sub/deeper"); // no parent link, inside by path

    EXPECT_EQ(TQDeletionEngine::filesWithChildrenRemovedWithFiles({inner, folder, loose, folder}),
              (KZFileList{folder}));
    auto run = start({inner, folder, loose});
    const auto result = finish(run);
    EXPECT_EQ(run->progress, (std::vector<double>{0, 1}));
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles, (KZFileList{folder}));
    EXPECT_EQ(result.nestedFiles, (KZFileList{inner, loose}));
    EXPECT_EQ(result.freedBytes, 42);
    EXPECT_FALSE(exists(dir / "folder"));
}

TEST(DeletionEngine, ItemsAlreadyGoneAreNeitherDeletedNorFreed)
{
    kztest::TempDir dir;
    makeFile(dir / "here", 5);
    makeFile(dir / "gone", 7);
    KZFilePtr here = scanned(dir / "here");
    KZFilePtr gone = scanned(dir / "gone");
    ::unlink((dir / "gone").c_str());
    auto run = start({gone, here});
    const auto result = finish(run);
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles, (KZFileList{here}));
    EXPECT_EQ(result.vanishedFiles, (KZFileList{gone}));
    EXPECT_EQ(result.freedBytes, 5);
    EXPECT_EQ(run->progress, (std::vector<double>{0, 1}));
}

TEST(DeletionEngine, FreedBytesAreWhatLeftTheDiskCountedOnce)
{
    kztest::TempDir dir;
    makeFile(dir / "folder/inner", 40);
    makeFile(dir / "folder/rest", 2);
    KZDirectoryPtr folder = scannedFolder(dir / "folder");
    KZFilePtr inner = KZFile::childWithName(folder.get(), "inner");
    inner->setFileSize(40);
    folder->addChild(inner.get());
    folder->setFileSize(42);

    // The file first; its folder keeps counting it, as the treemap wants, but the folder's
    // run frees only what was still there.
    EXPECT_EQ(finish(start({inner})).freedBytes, 40);
    folder->removeChild(inner.get());
    EXPECT_EQ(folder->fileSize(), 42);
    EXPECT_EQ(finish(start({folder})).freedBytes, 2);

    // A folder that partly stays frees what went.
    makeFile(dir / "tree/locked", 1);
    makeFile(dir / "tree/free", 5);
    makeSymlink("somewhere/else", dir / "tree/link");
    {
        FaultHook hook([&](kz::FileOperation op, const std::string& path) {
            return op == kz::FileOperation::Unlink && path == dir / "tree/locked" ? EACCES : 0;
        });
        const auto result = finish(start({scannedFolder(dir / "tree")}));
        EXPECT_TRUE(result.errors.has_value());
        EXPECT_EQ(result.freedBytes, 5 + 14); // the link its own size
    }

    // The Trash frees the size of what it took, whatever the record says.
    FakeTrash trash;
    trash.bin = dir / "bin";
    makeDir(trash.bin);
    makeFile(dir / "bag/a", 5);
    makeFile(dir / "bag/b/c", 7);
    makeFile(dir / "single", 3);
    KZDirectoryPtr bag = scannedFolder(dir / "bag");
    bag->setFileSize(999);
    TQDeletionEngine::Options options;
    options.useTrash = true;
    options.trash = &trash;
    EXPECT_EQ(finish(start({bag, scanned(dir / "single")}, options)).freedBytes, 15);
    trash.mode = FakeTrash::Mode::Refuse;
    makeFile(dir / "kept", 3);
    EXPECT_EQ(finish(start({scanned(dir / "kept")}, options)).freedBytes, 0);
}

TEST(DeletionEngine, LinksAreRemovedNeverTheirTargets)
{
    kztest::TempDir dir;
    makeFile(dir / "target/keep", 1);
    makeSymlink(dir / "target", dir / "link");
    makeSymlink(dir / "missing", dir / "dangling");
    // The link named as a folder ("link/"), and a dangling link: both are removed.
    auto run = start({KZDirectory::fileWithPath(dir / "link/", true), scanned(dir / "dangling")});
    const auto result = finish(run);
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles.size(), 2u);
    EXPECT_FALSE(exists(dir / "link"));
    EXPECT_FALSE(exists(dir / "dangling"));
    EXPECT_TRUE(exists(dir / "target/keep"));
}

TEST(DeletionEngine, EveryFailureIsReportedUnderItsPath)
{
    kztest::TempDir dir;
    KZFileList files;
    for (int i = 0; i < 60; ++i) {
        makeFile(dir / ("f" + std::to_string(i)), 1);
        files.push_back(scanned(dir / ("f" + std::to_string(i))));
    }
    makeFile(dir / "tree/locked", 1);
    makeFile(dir / "tree/free", 1);
    files.push_back(scannedFolder(dir / "tree"));
    FaultHook hook([&](kz::FileOperation, const std::string& path) { return path == dir / "tree/free" ? 0 : EACCES; });
    auto run = start(files);
    const auto result = finish(run);
    ASSERT_TRUE(result.errors.has_value());
    EXPECT_EQ(result.errors->size(), 61u);
    EXPECT_TRUE(result.deletedFiles.empty());
    EXPECT_EQ(result.freedBytes, 1); // tree/free went
    EXPECT_EQ(run->progress.back(), 1);
    const KZError& f0 = result.errors->at(dir / "f0");
    EXPECT_EQ(f0.domain(), KZError::POSIXDomain);
    EXPECT_EQ(f0.code(), EACCES);
    const KZError& tree = result.errors->at(dir / "tree/");
    EXPECT_EQ(tree.code(), EACCES);
    EXPECT_TRUE(tree.localizedDescription().contains(QStringLiteral("locked")));
    EXPECT_TRUE(exists(dir / "tree/locked"));
    EXPECT_FALSE(exists(dir / "tree/free"));
}

TEST(DeletionEngine, RefusesItemsChangedSinceTheScanAndHomeFolders)
{
    kztest::TempDir dir;
    makeFile(dir / "file", 1);
    KZFilePtr record = scanned(dir / "file");
    // The scanned file is replaced by another of the same name.
    makeFile(dir / "placeholder", 1);
    ::rename((dir / "placeholder").c_str(), (dir / "file").c_str());

    FaultHook safety([](kz::FileOperation, const std::string& path) {
        return path.rfind("/tmp", 0) == 0 ? 0 : EACCES; // nothing outside the test folders
    });
    makeSymlink("/", dir / "to-root");
    auto result = finish(start(
        {record, KZDirectory::fileWithPath("/root/", true), KZDirectory::fileWithPath(dir / "to-root/root", true)}));
    ASSERT_TRUE(result.errors.has_value());
    EXPECT_EQ(result.errors->at(dir / "file").code(), KZError::ChangedSinceScan);
    EXPECT_EQ(result.errors->at("/root/").code(), KZError::ProtectedItem);
    EXPECT_EQ(result.errors->at(dir / "to-root/root/").code(), KZError::ProtectedItem);
    EXPECT_TRUE(result.deletedFiles.empty());
    // "/" listed with something inside it: "/" is refused, and what it holds stays, reported.
    result = finish(start({KZDirectory::fileWithPath("/", true), KZDirectory::fileWithPath("/root", true)}));
    ASSERT_TRUE(result.errors.has_value());
    EXPECT_EQ(result.errors->at("/").code(), KZError::ProtectedItem);
    EXPECT_EQ(result.errors->at("/root/").code(), KZError::StillPresent);
    EXPECT_TRUE(result.deletedFiles.empty());
    EXPECT_TRUE(result.nestedFiles.empty());
    EXPECT_TRUE(exists(dir / "file"));
    EXPECT_TRUE(exists("/root"));
}

TEST(DeletionEngine, TrashModeHandsItemsToTheTrashAndChecksTheOutcome)
{
    kztest::TempDir dir;
    FakeTrash trash;
    trash.bin = dir / "bin";
    makeDir(trash.bin);
    makeFile(dir / "a", 3);
    makeFile(dir / "net", 4);
    makeFile(dir / "b", 5);
    KZFilePtr a = scanned(dir / "a"), net = scanned(dir / "net"), b = scanned(dir / "b");
    net->setIsNetworkItem(true);
    TQDeletionEngine::Options options;
    options.useTrash = true;
    options.trash = &trash;

    auto result = finish(start({a, net, b}, options));
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(trash.asked, (std::vector<std::string>{dir / "a", dir / "b"})); // never the network item
    EXPECT_EQ(result.deletedFiles, (KZFileList{a, net, b}));
    EXPECT_FALSE(exists(dir / "net"));
    EXPECT_TRUE(exists(trash.bin + "/1"));

    // A refused move, and a Trash that claims success but leaves the item: both are errors.
    makeFile(dir / "c", 1);
    makeFile(dir / "d", 1);
    KZFilePtr c = scanned(dir / "c"), d = scanned(dir / "d");
    trash.mode = FakeTrash::Mode::Refuse;
    result = finish(start({c}, options));
    ASSERT_TRUE(result.errors.has_value());
    EXPECT_EQ(result.errors->at(dir / "c").code(), EACCES);
    trash.mode = FakeTrash::Mode::PretendOnly;
    result = finish(start({d}, options));
    ASSERT_TRUE(result.errors.has_value());
    EXPECT_EQ(result.errors->at(dir / "d").code(), KZError::StillPresent);
    EXPECT_TRUE(result.deletedFiles.empty());
    EXPECT_TRUE(exists(dir / "c"));
    EXPECT_TRUE(exists(dir / "d"));
}

TEST(DeletionEngine, TheDiskDecidesWhatWasDeleted)
{
    // Whatever the Trash or the remover reports, what lstat finds at the path afterwards
    // decides: an item that went counts as deleted although an error came back, and an item
    // still there is an error although success came back.
    kztest::TempDir dir;
    FakeTrash trash;
    trash.bin = dir / "bin";
    makeDir(trash.bin);
    TQDeletionEngine::Options options;
    options.useTrash = true;
    options.trash = &trash;
    makeFile(dir / "went", 4);
    makeFile(dir / "stayed", 4);
    KZFilePtr went = scanned(dir / "went"), stayed = scanned(dir / "stayed");
    trash.mode = FakeTrash::Mode::MoveButReportAnError;
    auto result = finish(start({went}, options));
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles, (KZFileList{went}));
    trash.mode = FakeTrash::Mode::PretendOnly;
    result = finish(start({stayed}, options));
    ASSERT_TRUE(result.errors.has_value());
    EXPECT_EQ(result.errors->at(dir / "stayed").code(), KZError::StillPresent);
    EXPECT_TRUE(result.deletedFiles.empty());

    // The remover: another program removes the item as the remover is refused (an error, the
    // item gone), or puts a new item at the path once the checked one was set aside (success,
    // something there).
    makeFile(dir / "taken", 4);
    makeFile(dir / "replaced", 4);
    KZFilePtr taken = scanned(dir / "taken"), replaced = scanned(dir / "replaced");
    FaultHook hook([&](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Rename && path == dir / "taken") {
            ::unlink(path.c_str());
            return EACCES;
        }
        if (op == kz::FileOperation::Unlink && path == dir / "replaced") makeFile(path, 1);
        return 0;
    });
    result = finish(start({taken, replaced}));
    EXPECT_EQ(result.deletedFiles, (KZFileList{taken}));
    ASSERT_TRUE(result.errors.has_value());
    EXPECT_EQ(result.errors->size(), 1u);
    EXPECT_EQ(result.errors->at(dir / "replaced").code(), KZError::StillPresent);
    EXPECT_TRUE(exists(dir / "replaced"));
}

TEST(DeletionEngine, TheRealTrashInATemporaryDataFolder)
{
    kztest::TempDir dir;
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved ? saved : "";
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    makeFile(dir / "items/one", 1);
    makeFile(dir / "items/folder/two", 1);
    KZFreedesktopTrash trash;
    TQDeletionEngine::Options options;
    options.useTrash = true;
    options.trash = &trash;
    const auto result = finish(start({scanned(dir / "items/one"), scannedFolder(dir / "items/folder")}, options));
    saved ? ::setenv("XDG_DATA_HOME", previous.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles.size(), 2u);
    EXPECT_TRUE(exists(dir / "data/Trash/files/one"));
    EXPECT_TRUE(exists(dir / "data/Trash/files/folder/two"));
    EXPECT_TRUE(exists(dir / "data/Trash/info/folder.trashinfo"));
}

// Makes `levels` nested folders named `name` below `top` (paths outgrow PATH_MAX) with a
// 7-byte file "leaf", a 3-byte file "last" and a folder "bottom" at the bottom, working
// through descriptors; answers the bottom folder's path.
std::string makeDeepChain(const std::string& top, int levels, const char* name)
{
    std::string path = top;
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        ::mkdirat(fd, name, 0755);
        const int next = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        path += std::string("/") + name;
    }
    for (const auto& [file, size] : {std::pair("leaf", 7), std::pair("last", 3)}) {
        const int leaf = ::openat(fd, file, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        EXPECT_EQ(::ftruncate(leaf, size), 0);
        ::close(leaf);
    }
    ::mkdirat(fd, "bottom", 0755);
    ::close(fd);
    return path;
}

// A record for an item at a path of any length, with its identity, as the scanner makes it.
template <class Record>
KZRef<Record> deepRecord(const std::string& path)
{
    KZRef<Record> record = Record::fileWithPath(path);
    const auto identity = kz::fileIdentityOfPath(path);
    EXPECT_TRUE(identity.has_value());
    if (identity) record->setIdentity(*identity);
    return record;
}

TEST(DeletionEngine, PathsLongerThanPathMax)
{
    kztest::TempDir dir;
    makeDir(dir / "deep");
    const std::string bottom = makeDeepChain(dir / "deep", 2100, "dd");
    ASSERT_GT(bottom.size(), size_t(PATH_MAX));
    auto result = finish(start({deepRecord<KZFile>(bottom + "/leaf")}));
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles.size(), 1u);
    EXPECT_EQ(result.freedBytes, 7);

    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved ? saved : "";
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    KZFreedesktopTrash trash;
    TQDeletionEngine::Options options;
    options.useTrash = true;
    options.trash = &trash;
    result = finish(start({deepRecord<KZDirectory>(bottom + "/bottom")}, options));
    saved ? ::setenv("XDG_DATA_HOME", previous.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles.size(), 1u);
    EXPECT_TRUE(exists(dir / "data/Trash/files/bottom"));

    // The whole deep folder, with a record of its deepest file listed too: the file went
    // with the folder and is counted once, through it.
    result = finish(start({deepRecord<KZDirectory>(dir / "deep/dd"), deepRecord<KZFile>(bottom + "/last")}));
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles.size(), 1u);
    EXPECT_EQ(result.nestedFiles.size(), 1u);
    EXPECT_EQ(result.freedBytes, 3);
    EXPECT_FALSE(exists(dir / "deep/dd"));
}

TEST(DeletionEngine, NothingArrivesForADestroyedContext)
{
    kztest::TempDir dir;
    makeFile(dir / "f", 1);
    auto context = std::make_unique<QObject>();
    auto run = start({scanned(dir / "f")}, {}, context.get());
    context.reset();
    kztest::drainBackgroundWork(); // the run is over and everything it sent was handled
    EXPECT_FALSE(exists(dir / "f"));
    EXPECT_TRUE(run->progress.empty());
    EXPECT_FALSE(run->result.has_value());
}

TEST(DeletionEngine, ALongListIsReadOverSeveralTurnsAndStillDeletedWhole)
{
    kztest::TempDir dir;
    KZFileList files;
    for (int i = 0; i < 100; ++i) {
        makeFile(dir / ("f" + std::to_string(i)), 10);
        files.push_back(scanned(dir / ("f" + std::to_string(i))));
    }
    files.push_back(files[3]); // listed twice, in different slices: read and counted once
    TQDeletionEngine::Options options;
    options.readSliceSeconds = 0; // as few records a turn as the engine reads
    auto run = start(files, options);
    // The rest of the list is read a turn later: nothing has started yet.
    EXPECT_GT(kz::pendingMainThreadBlocks(), 0);
    EXPECT_TRUE(run->progress.empty());
    EXPECT_TRUE(exists(dir / "f99"));
    const auto result = finish(run);
    EXPECT_FALSE(result.errors.has_value());
    EXPECT_EQ(result.deletedFiles.size(), 100u);
    EXPECT_EQ(result.freedBytes, 1000);
    EXPECT_EQ(run->progress.back(), 1);
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(exists(dir / ("f" + std::to_string(i))));

    // The context goes while the list is being read: the run goes on, nothing arrives.
    KZFileList more;
    for (int i = 0; i < 100; ++i) {
        makeFile(dir / ("g" + std::to_string(i)), 1);
        more.push_back(scanned(dir / ("g" + std::to_string(i))));
    }
    auto context = std::make_unique<QObject>();
    auto quiet = start(more, options, context.get());
    EXPECT_GT(kz::pendingMainThreadBlocks(), 0);
    context.reset();
    kztest::drainBackgroundWork();
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(exists(dir / ("g" + std::to_string(i))));
    EXPECT_TRUE(quiet->progress.empty());
    EXPECT_FALSE(quiet->result.has_value());
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

TEST(DeletionEngine, AFileWrittenAnewAfterTheScanIsNeverDeletedInItsPlace)
{
    for (auto fs : kEveryFileSystem) {
        for (bool useTrash : {false, true}) {
            SCOPED_TRACE(std::string(kztest::nameOf(fs)) + (useTrash ? ", Trash" : ", direct"));
            kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
            kztest::TempDir dir;
            kztest::ScopedEnvironment data("XDG_DATA_HOME", dir / "data");
            KZFreedesktopTrash trash;
            TQDeletionEngine::Options options;
            options.useTrash = useTrash;
            options.trash = &trash;

            // Written anew before the run: refused.
            makeFile(dir / "file", 10);
            KZFilePtr record = scanned(dir / "file");
            const kz::FileIdentity seen = kztest::scannedIdentityOfAFileWrittenAnew(dir / "file", 20);
            record->setIdentity(seen); // what the scan saw, under the number the new file has
            auto result = finish(start({record}, options));
            ASSERT_TRUE(result.errors.has_value());
            EXPECT_EQ(result.errors->at(dir / "file").code(), KZError::ChangedSinceScan);
            EXPECT_TRUE(result.deletedFiles.empty());
            EXPECT_EQ(result.freedBytes, 0);
            EXPECT_EQ(sizeAt(dir / "file"), 20);

            // Written anew at the last moment, after the engine's own look: still refused.
            makeFile(dir / "late", 10);
            KZFilePtr late = scanned(dir / "late");
            bool rewritten = false;
            FaultHook hook([&](kz::FileOperation op, const std::string& path) {
                if (op == kz::FileOperation::Rename && path == dir / "late" && !rewritten) {
                    rewritten = true;
                    kztest::rewriteWithSameInode(dir / "late", 20);
                }
                return 0;
            });
            result = finish(start({late}, options));
            EXPECT_TRUE(rewritten);
            ASSERT_TRUE(result.errors.has_value());
            EXPECT_EQ(result.errors->at(dir / "late").code(), KZError::ChangedSinceScan);
            EXPECT_EQ(sizeAt(dir / "late"), 20);
            EXPECT_EQ(result.freedBytes, 0);
        }
    }
}

TEST(DeletionEngine, AFileWithSeveralNamesFreesItsBytesOnceWhenItsLastNameGoes)
{
    kztest::TempDir dir;
    auto linked = [&](const std::string& a, const std::string& b) {
        makeFile(a, 1000);
        kztest::makeDir(b.substr(0, b.rfind('/')));
        ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
    };
    // Removed: once, in one run or in two.
    linked(dir / "a1", dir / "b1");
    EXPECT_EQ(finish(start({scanned(dir / "a1"), scanned(dir / "b1")})).freedBytes, 1000);
    linked(dir / "a2", dir / "b2");
    EXPECT_EQ(finish(start({scanned(dir / "a2")})).freedBytes, 0);
    EXPECT_EQ(finish(start({scanned(dir / "b2")})).freedBytes, 1000);

    // To the Trash: once, when the last name outside the Trash goes there.
    kztest::ScopedEnvironment data("XDG_DATA_HOME", dir / "data");
    KZFreedesktopTrash trash;
    TQDeletionEngine::Options options;
    options.useTrash = true;
    options.trash = &trash;
    linked(dir / "c", dir / "d");
    EXPECT_EQ(finish(start({scanned(dir / "c")}, options)).freedBytes, 0);
    EXPECT_EQ(finish(start({scanned(dir / "d")}, options)).freedBytes, 1000);
    linked(dir / "e", dir / "f");
    EXPECT_EQ(finish(start({scanned(dir / "e"), scanned(dir / "f")}, options)).freedBytes, 1000);
    // Both names in one folder; then one inside and one outside.
    linked(dir / "both/one", dir / "both/sub/two");
    makeFile(dir / "both/plain", 5);
    EXPECT_EQ(finish(start({scannedFolder(dir / "both")}, options)).freedBytes, 1005);
    linked(dir / "box/inside", dir / "outside");
    EXPECT_EQ(finish(start({scannedFolder(dir / "box")}, options)).freedBytes, 0);
    EXPECT_EQ(finish(start({scanned(dir / "outside")}, options)).freedBytes, 1000);
    // A name taken back out of the Trash keeps the bytes: the other name's move frees nothing.
    linked(dir / "g", dir / "h");
    EXPECT_EQ(finish(start({scanned(dir / "g")}, options)).freedBytes, 0);
    ASSERT_EQ(::rename((dir / "data/Trash/files/g").c_str(), (dir / "g").c_str()), 0);
    EXPECT_EQ(finish(start({scanned(dir / "h")}, options)).freedBytes, 0);
    EXPECT_TRUE(exists(dir / "g"));
}

namespace {

// A scanned record of the folder with a record for each of its files.
KZDirectoryPtr folderWithRecords(const std::string& path, int files, long long size)
{
    makeDir(path);
    KZDirectoryPtr folder = scannedFolder(path);
    for (int i = 0; i < files; ++i) {
        const std::string name = "f" + std::to_string(i);
        makeFile(path + "/" + name, size);
        KZFilePtr f = KZFile::childWithName(folder.get(), name);
        f->setFileSize(double(size));
        folder->addChild(f.get());
    }
    return folder;
}

void expectRisingFromZeroToOne(const std::vector<double>& progress)
{
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 1);
    for (size_t i = 1; i < progress.size(); ++i) {
        EXPECT_FALSE(std::isnan(progress[i]));
        EXPECT_GE(progress[i], progress[i - 1]) << "at " << i;
        EXPECT_LE(progress[i], 1.0);
    }
}

} // namespace

TEST(DeletionEngine, ProgressFollowsTheFilesRemovedInsideOneQueuedFolder)
{
    kztest::TempDir dir;
    KZDirectoryPtr folder = folderWithRecords(dir / "many", 3000, 10);
    TQDeletionEngine::Options options;
    options.progressInterval = 0;
    auto run = start({folder}, options);
    const auto result = finish(run);
    EXPECT_EQ(result.deletedFiles, (KZFileList{folder}));
    EXPECT_FALSE(exists(dir / "many"));
    expectRisingFromZeroToOne(run->progress);
    // Every 256 files removed move the bar: it went through the middle, not from 0 to 1.
    const auto between =
        std::count_if(run->progress.begin(), run->progress.end(), [](double p) { return p > 0 && p < 1; });
    EXPECT_GE(between, 5);
    EXPECT_TRUE(std::any_of(run->progress.begin(), run->progress.end(), [](double p) { return p > 0.3 && p < 0.7; }));
}

TEST(DeletionEngine, ProgressWeighsEachItemByWhatItHoldsAndNeverGoesBack)
{
    kztest::TempDir dir;
    // A large folder first, then a small file: the file's share is tiny, the folder's is
    // nearly all of the run.
    KZDirectoryPtr folder = folderWithRecords(dir / "many", 2000, 100);
    makeFile(dir / "small", 100);
    KZFilePtr small = scanned(dir / "small");
    // A folder whose records are fewer than what is on disk (files the scan left out): the
    // bar stops at the folder's share until it is gone, and never runs past it.
    KZDirectoryPtr sparse = folderWithRecords(dir / "sparse", 1, 100);
    for (int i = 0; i < 1500; ++i) makeFile(dir / ("sparse/extra" + std::to_string(i)), 0);
    TQDeletionEngine::Options options;
    options.progressInterval = 0;
    options.chunkSize = 1;
    auto run = start({folder, small, sparse}, options);
    finish(run);
    expectRisingFromZeroToOne(run->progress);
    // Before the file's chunk: the whole folder was done, nearly all the run.
    bool sawFolderDone = false;
    for (double p : run->progress)
        if (p > 0.97 && p < 1) sawFolderDone = true;
    EXPECT_TRUE(sawFolderDone);
}

TEST(DeletionEngine, AFolderWhoseSmallFilesHaveNoRecordsMovesTheBarByItsBytes)
{
    // The scan kept only the bytes of the folder's small files: the bar follows the bytes
    // removed, rather than leaping ahead once the one record is used up.
    kztest::TempDir dir;
    makeDir(dir / "small");
    for (int i = 0; i < 2000; ++i) makeFile(dir / ("small/f" + std::to_string(i)), 100);
    KZDirectoryPtr folder = scannedFolder(dir / "small");
    folder->setIgnoredSize(2000 * 100);
    TQDeletionEngine::Options options;
    options.progressInterval = 0;
    auto run = start({folder}, options);
    const auto result = finish(run);
    EXPECT_EQ(result.deletedFiles, (KZFileList{folder}));
    expectRisingFromZeroToOne(run->progress);
    ASSERT_GE(run->progress.size(), 4u);
    EXPECT_LT(run->progress[1], 0.25); // the first report from inside: 256 of 2000 files
    EXPECT_TRUE(std::any_of(run->progress.begin(), run->progress.end(), [](double p) { return p > 0.3 && p < 0.7; }));
}

namespace {

struct Reports {
    std::vector<TQDeletionProgress> reports;
    std::optional<TQDeletionResult> result;
};

std::shared_ptr<Reports> startWithReports(const KZFileList& files, const TQDeletionEngine::Options& options)
{
    auto run = std::make_shared<Reports>();
    TQDeletionEngine::deleteFilesWithReports(
        files, options, [run](const TQDeletionProgress& p) { run->reports.push_back(p); },
        [run](const TQDeletionResult& r) { run->result = r; });
    EXPECT_TRUE(kztest::waitFor([&] { return run->result.has_value(); }));
    return run;
}

} // namespace

TEST(DeletionEngine, ReportsFollowTheBytesAsTheyLeaveTheDisk)
{
    kztest::TempDir dir;
    KZDirectoryPtr folder = folderWithRecords(dir / "many", 3000, 10);
    folder->setFileSize(30000);
    TQDeletionEngine::Options options;
    options.progressInterval = 0;
    auto run = startWithReports({folder}, options);
    ASSERT_TRUE(run->result);
    EXPECT_EQ(run->result->freedBytes, 30000);
    EXPECT_EQ(run->result->trashedBytes, 0) << "nothing went to the Trash";
    const auto& reports = run->reports;
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports.front().freedBytes, 0);
    EXPECT_EQ(reports.front().bytesLeft, 30000);
    EXPECT_EQ(reports.back().freedBytes, 30000) << "the last report holds the run's whole figure";
    EXPECT_EQ(reports.back().bytesLeft, 0);
    EXPECT_EQ(reports.back().fraction, 1);
    // The figure grows while the one folder is being emptied, and what is left shrinks.
    bool sawMiddle = false;
    for (size_t i = 1; i < reports.size(); ++i) {
        EXPECT_GE(reports[i].freedBytes, reports[i - 1].freedBytes) << "at " << i;
        EXPECT_LE(reports[i].bytesLeft, reports[i - 1].bytesLeft) << "at " << i;
        EXPECT_EQ(reports[i].trashedBytes, 0);
        sawMiddle = sawMiddle || (reports[i].freedBytes > 5000 && reports[i].freedBytes < 25000 &&
                                  reports[i].bytesLeft > 0 && reports[i].bytesLeft < 30000);
    }
    EXPECT_TRUE(sawMiddle);
}

TEST(DeletionEngine, WhatTheTrashTookIsToldApartFromWhatWasRemovedOutright)
{
    kztest::TempDir dir;
    FakeTrash trash;
    trash.bin = dir / "bin";
    makeDir(trash.bin);
    makeFile(dir / "video", 367);
    makeFile(dir / "queue/a", 100);
    makeFile(dir / "queue/b", 31);
    makeFile(dir / "net", 40);
    KZFilePtr video = scanned(dir / "video"), net = scanned(dir / "net");
    KZDirectoryPtr queue = scannedFolder(dir / "queue");
    net->setIsNetworkItem(true); // removed outright although the Trash is chosen
    TQDeletionEngine::Options options;
    options.useTrash = true;
    options.trash = &trash;
    options.chunkSize = 1;
    auto run = startWithReports({video, queue, net}, options);
    ASSERT_TRUE(run->result);
    EXPECT_FALSE(run->result->errors.has_value());
    EXPECT_EQ(run->result->freedBytes, 367 + 131 + 40);
    EXPECT_EQ(run->result->trashedBytes, 367 + 131);
    EXPECT_EQ(run->reports.back().trashedBytes, 367 + 131);
    EXPECT_EQ(run->reports.back().freedBytes, 367 + 131 + 40);
    // Chunk by chunk: after the video, then after the folder.
    std::vector<double> trashed;
    for (const auto& r : run->reports) trashed.push_back(r.trashedBytes);
    EXPECT_EQ(trashed, (std::vector<double>{0, 367, 498, 498}));

    // Deleted outright, nothing is in the Trash.
    makeFile(dir / "plain", 315);
    options.useTrash = false;
    run = startWithReports({scanned(dir / "plain")}, options);
    ASSERT_TRUE(run->result);
    EXPECT_EQ(run->result->freedBytes, 315);
    EXPECT_EQ(run->result->trashedBytes, 0);
    EXPECT_TRUE(trash.asked.size() == 2u);
}
