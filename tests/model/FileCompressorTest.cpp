#include "model/KZFileCompressor.h"
#include "platform/KZDispatch.h"
#include "platform/KZFileFaults.h"
#include "platform/KZSelfChangeRegistry.h"
#include "tests/support/Identity.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using kztest::exists;
using kztest::makeDir;
using kztest::makeFile;
using kztest::makeSymlink;

namespace {

struct Outcome {
    bool completed = false;
    bool failed = false;
    std::optional<KZError> error;
    bool cancelled = false;
    std::vector<double> copyProgress;
    std::vector<double> progress;
    bool ended() const { return completed || failed; }
};

std::shared_ptr<Outcome> watch(KZFileCompressor& c)
{
    auto o = std::make_shared<Outcome>();
    c.setCopyProgressBlock([o](double b) { o->copyProgress.push_back(b); });
    c.setProgressBlock([o](double b) { o->progress.push_back(b); });
    c.setCompletionBlock([o] { o->completed = true; });
    c.setFailedBlock([o](const std::optional<KZError>& e, bool cancelled) {
        o->failed = true;
        o->error = e;
        o->cancelled = cancelled;
    });
    return o;
}

QByteArray run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(30000);
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray("exit ") + QByteArray::number(p.exitCode());
}

// The archive's entry names, sorted.
std::vector<std::string> entries(const std::string& archive)
{
    const QByteArray out = run("unzip", {"-Z1", QFile::decodeName(archive.c_str())});
    std::vector<std::string> names;
    for (const QByteArray& line : out.split('\n'))
        if (!line.isEmpty()) names.emplace_back(line.constData(), size_t(line.size()));
    std::sort(names.begin(), names.end());
    return names;
}

bool archiveIsSound(const std::string& archive)
{
    QProcess p;
    p.start("unzip", {"-tq", QFile::decodeName(archive.c_str())});
    p.waitForFinished(30000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool isEmptyFolder(const std::string& path)
{
    DIR* d = ::opendir(path.c_str());
    if (!d) return false;
    int n = 0;
    while (dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) ++n;
    ::closedir(d);
    return n == 0;
}

struct CompressorTest : ::testing::Test {
    kztest::TempDir dir;
    std::string tmp = dir / "tmp";
    void SetUp() override { makeDir(tmp); }

    std::unique_ptr<KZFileCompressor> make(std::vector<std::string> sources, const std::string& archive)
    {
        auto c = KZFileCompressor::compressorWithSourcePaths(std::move(sources), archive);
        c->setTemporaryDirectory(tmp);
        c->setProgressIntervals(0.02, 0.02);
        return c;
    }
    bool temporaryFoldersGone()
    {
        return kztest::waitFor([&] { return isEmptyFolder(tmp); });
    }
};

TEST_F(CompressorTest, OneFileIsArchivedAsItself)
{
    makeFile(dir / "src/report.txt", 1000);
    auto c = make({dir / "src/report.txt"}, dir / "report.zip");
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_TRUE(o->completed) << (o->error ? o->error->localizedDescription().toStdString() : "");
    EXPECT_EQ(entries(dir / "report.zip"), (std::vector<std::string>{"report.txt"}));
    EXPECT_TRUE(archiveIsSound(dir / "report.zip"));
    EXPECT_TRUE(exists(dir / "src/report.txt"));
    EXPECT_TRUE(isEmptyFolder(tmp));

    // A link alone is archived as a link, and reads back as one.
    makeSymlink("report.txt", dir / "src/shortcut");
    auto l = make({dir / "src/shortcut"}, dir / "shortcut.zip");
    auto lo = watch(*l);
    l->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return lo->ended(); }));
    EXPECT_TRUE(lo->completed) << (lo->error ? lo->error->localizedDescription().toStdString() : "");
    EXPECT_EQ(entries(dir / "shortcut.zip"), (std::vector<std::string>{"shortcut"}));
}

TEST_F(CompressorTest, OneFolderIsTheTopEntryAndLinksStayLinks)
{
    makeFile(dir / "src/-Folder/a.txt", 10);
    makeFile(dir / "src/-Folder/sub/b.txt", 10);
    makeSymlink("/etc", dir / "src/-Folder/etc-link");
    makeDir(dir / "src/-Folder/empty");
    ASSERT_EQ(::mkfifo((dir / "src/-Folder/pipe").c_str(), 0644), 0); // no content: not archived
    auto c = make({dir / "src/-Folder/"}, dir / "folder.zip");
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    ASSERT_TRUE(o->completed) << (o->error ? o->error->localizedDescription().toStdString() : "");
    EXPECT_EQ(entries(dir / "folder.zip"),
              (std::vector<std::string>{"-Folder/", "-Folder/a.txt", "-Folder/empty/", "-Folder/etc-link",
                                        "-Folder/sub/", "-Folder/sub/b.txt"}));
    EXPECT_TRUE(archiveIsSound(dir / "folder.zip"));
    const QByteArray listing = run("unzip", {"-Z", QString::fromStdString(dir / "folder.zip"), "-Folder/etc-link"});
    EXPECT_TRUE(listing.startsWith("l")) << listing.constData();
}

TEST_F(CompressorTest, SeveralItemsStandSideBySideAndTheCopyIsRemoved)
{
    const std::string odd = "odd \xff name";
    makeFile(dir / "one/file.txt", 5000);
    makeFile(dir / "two/folder/inner.txt", 5000);
    makeFile(dir / "three/" + odd, 10);
    makeFile(dir / "four/-dash", 10);
    makeFile(dir / "five/sparse.img", 4 << 20); // holes stay holes in the copy
    auto c = make({dir / "one/file.txt", dir / "two/folder/", dir / "three/" + odd, dir / "four/-dash",
                   dir / "five/sparse.img"},
                  dir / "several.zip");
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    ASSERT_TRUE(o->completed) << (o->error ? o->error->localizedDescription().toStdString() : "");
    EXPECT_EQ(entries(dir / "several.zip"),
              (std::vector<std::string>{"-dash", "file.txt", "folder/", "folder/inner.txt", odd, "sparse.img"}));
    EXPECT_TRUE(archiveIsSound(dir / "several.zip"));
    EXPECT_TRUE(temporaryFoldersGone());
    for (const std::string& p : {dir / "one/file.txt", dir / "two/folder/inner.txt", dir / "three/" + odd})
        EXPECT_TRUE(exists(p));
}

TEST_F(CompressorTest, ATemporaryFolderInsideASourceIsLeftOutOfTheCopy)
{
    makeFile(dir / "home/notes.txt", 10);
    makeDir(dir / "home/tmp");
    makeFile(dir / "other/b", 5);
    auto c = make({dir / "home", dir / "other"}, dir / "both.zip");
    c->setTemporaryDirectory(dir / "home/tmp");
    // A copy that walks into its own output is stopped here rather than left to fill the disk.
    std::promise<void> looped, go;
    auto loopedFuture = looped.get_future();
    auto goFuture = go.get_future().share();
    std::atomic<bool> once{false};
    c->setCopyItemHook([&, goFuture](const std::string& source) {
        if (source.find("/Sizemere-") == std::string::npos || once.exchange(true)) return;
        looped.set_value();
        goFuture.wait();
    });
    auto o = watch(*c);
    c->compress();
    auto wentIntoItself = [&] { return loopedFuture.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended() || wentIntoItself(); }));
    const bool looping = wentIntoItself();
    if (looping) c->cancel();
    go.set_value();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_FALSE(looping);
    ASSERT_TRUE(o->completed);
    EXPECT_EQ(entries(dir / "both.zip"),
              (std::vector<std::string>{"home/", "home/notes.txt", "home/tmp/", "other/", "other/b"}));
    EXPECT_TRUE(kztest::waitFor([&] { return isEmptyFolder(dir / "home/tmp"); }));
    // The temporary folder came and went inside "home": that is no change to "home".
    ASSERT_TRUE(c->archive());
    EXPECT_FALSE(c->archive()->checkSourceBeforeRemoving(dir / "home"));
    EXPECT_FALSE(c->archive()->checkSourceBeforeRemoving(dir / "other/"));
}

TEST_F(CompressorTest, TwoSourcesOfOneNameFailRatherThanLoseOne)
{
    makeFile(dir / "a/same", 1);
    makeFile(dir / "b/same", 1);
    auto c = make({dir / "a/same", dir / "b/same"}, dir / "same.zip");
    auto o = watch(*c);
    c->compress();
    EXPECT_FALSE(o->ended()); // reported on a later turn
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    ASSERT_TRUE(o->failed);
    ASSERT_TRUE(o->error.has_value());
    EXPECT_EQ(o->error->domain(), QStringLiteral("Sizemere"));
    EXPECT_EQ(o->error->code(), 1);
    EXPECT_FALSE(o->cancelled);
    EXPECT_FALSE(exists(dir / "same.zip"));
    EXPECT_TRUE(isEmptyFolder(tmp));
}

TEST_F(CompressorTest, ACopyErrorFailsTheWholeCompression)
{
    makeFile(dir / "a/here", 1);
    auto c = make({dir / "a/here", dir / "a/missing"}, dir / "broken.zip");
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    ASSERT_TRUE(o->failed);
    ASSERT_TRUE(o->error.has_value());
    EXPECT_EQ(o->error->code(), 1);
    EXPECT_TRUE(o->error->localizedDescription().contains(QStringLiteral("missing")));
    EXPECT_FALSE(exists(dir / "broken.zip"));
    EXPECT_TRUE(temporaryFoldersGone());
}

TEST_F(CompressorTest, NeverOverwritesAnExistingItem)
{
    makeFile(dir / "a/file", 1);
    makeFile(dir / "taken.zip", 123);
    auto c = make({dir / "a/file"}, dir / "taken.zip");
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    ASSERT_TRUE(o->failed);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "taken.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 123);
}

TEST_F(CompressorTest, CancelDuringTheCopyLeavesNothing)
{
    makeFile(dir / "a/first", 10);
    makeFile(dir / "b/second", 10);
    auto c = make({dir / "a/first", dir / "b/second"}, dir / "cancelled.zip");
    std::promise<void> reached, go;
    auto goFuture = go.get_future().share();
    bool once = true;
    c->setCopyItemHook([&, goFuture](const std::string&) {
        if (!std::exchange(once, false)) return;
        reached.set_value();
        goFuture.wait();
    });
    auto o = watch(*c);
    c->compress();
    reached.get_future().wait();
    c->cancel();
    go.set_value();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_TRUE(o->failed);
    EXPECT_TRUE(o->cancelled);
    EXPECT_FALSE(o->error.has_value());
    EXPECT_FALSE(exists(dir / "cancelled.zip"));
    EXPECT_TRUE(temporaryFoldersGone());
}

TEST_F(CompressorTest, CancelDuringZippingLeavesNothing)
{
    makeFile(dir / "a/big.img", 8LL << 30); // sparse: zip reads for a good while
    makeFile(dir / "b/small", 1);
    auto c = make({dir / "a/big.img", dir / "b/small"}, dir / "big.zip");
    auto o = watch(*c);
    c->compress();
    // Size polling reports the growing archive while zip runs.
    ASSERT_TRUE(kztest::waitFor([&] { return o->progress.size() >= 2 || o->ended(); }));
    ASSERT_FALSE(o->ended());
    EXPECT_EQ(c->state(), KZFileCompressor::State::Compressing);
    c->cancel();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_TRUE(o->failed);
    EXPECT_TRUE(o->cancelled);
    ASSERT_TRUE(o->error.has_value());
    // zip ends on the signal with its own status, which the message names.
    EXPECT_TRUE(o->error->localizedDescription().startsWith(QStringLiteral("compression failed with exit code ")))
        << o->error->localizedDescription().toStdString();
    EXPECT_FALSE(exists(dir / "big.zip"));
    EXPECT_TRUE(temporaryFoldersGone());
}

TEST_F(CompressorTest, DestroyingItWhileZipRunsCleansUpAndReportsNothing)
{
    makeFile(dir / "a/big.img", 8LL << 30);
    makeFile(dir / "b/small", 1);
    auto c = make({dir / "a/big.img", dir / "b/small"}, dir / "gone.zip");
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return c->state() == KZFileCompressor::State::Compressing; }));
    c.reset();
    EXPECT_FALSE(exists(dir / "gone.zip"));
    EXPECT_TRUE(temporaryFoldersGone());
    kztest::drainBackgroundWork(); // zip has ended and everything sent since has been handled
    EXPECT_FALSE(o->ended());
}

// Holds the archive's flush (after zip has exited) until the test lets it go.
struct HeldFlush {
    std::promise<void> reached, go;
    std::shared_future<void> goFuture = go.get_future().share();
    std::future<void> reachedFuture = reached.get_future();
    std::function<int()> then = [] { return 0; };
    HeldFlush()
    {
        kz::setFileFaultHook([this](kz::FileOperation op, const std::string&) {
            if (op != kz::FileOperation::Flush) return 0;
            reached.set_value();
            goFuture.wait();
            return then();
        });
    }
    ~HeldFlush()
    {
        release();
        kz::backgroundPool().waitForDone();
        kz::setFileFaultHook({});
    }
    bool wait()
    {
        return kztest::waitFor(
            [&] { return reachedFuture.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    }
    void release()
    {
        if (!released) go.set_value();
        released = true;
    }
    bool released = false;
};

TEST_F(CompressorTest, ACancelAfterZipExitedIsACancel)
{
    makeFile(dir / "a/one", 1);
    auto c = make({dir / "a/one"}, dir / "late.zip");
    auto o = watch(*c);
    HeldFlush flush;
    c->compress();
    ASSERT_TRUE(flush.wait());
    EXPECT_TRUE(exists(dir / "late.zip"));
    c->cancel();
    flush.release();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_FALSE(o->completed);
    EXPECT_TRUE(o->failed);
    EXPECT_TRUE(o->cancelled);
    EXPECT_FALSE(exists(dir / "late.zip"));
}

TEST_F(CompressorTest, DestroyingItAfterZipExitedRemovesTheArchive)
{
    makeFile(dir / "a/one", 1);
    auto c = make({dir / "a/one"}, dir / "dropped.zip");
    auto o = watch(*c);
    HeldFlush flush;
    c->compress();
    ASSERT_TRUE(flush.wait());
    c.reset();
    EXPECT_FALSE(exists(dir / "dropped.zip"));
    flush.release();
    kztest::drainBackgroundWork();
    EXPECT_FALSE(o->ended());
}

TEST_F(CompressorTest, AFailedFlushRemovesOnlyTheArchiveItMade)
{
    makeFile(dir / "a/one", 1);
    makeFile(dir / "theirs.zip", 77);
    auto c = make({dir / "a/one"}, dir / "out.zip");
    auto o = watch(*c);
    HeldFlush flush;
    // Someone puts a file of their own at the archive's path, and the flush fails.
    flush.then = [&] {
        ::rename((dir / "theirs.zip").c_str(), (dir / "out.zip").c_str());
        return EIO;
    };
    c->compress();
    ASSERT_TRUE(flush.wait());
    flush.release();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_TRUE(o->failed);
    EXPECT_FALSE(o->cancelled);
    ASSERT_TRUE(o->error.has_value());
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "out.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 77);
}

TEST_F(CompressorTest, AMissingZipProgramFailsCleanly)
{
    makeFile(dir / "a/one", 1);
    makeFile(dir / "b/two", 1);
    auto c = make({dir / "a/one", dir / "b/two"}, dir / "nozip.zip");
    c->setZipProgram(dir / "no-such-zip");
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    ASSERT_TRUE(o->failed);
    ASSERT_TRUE(o->error.has_value());
    EXPECT_EQ(o->error->domain(), QStringLiteral("Sizemere"));
    EXPECT_EQ(o->error->code(), 1);
    EXPECT_FALSE(o->cancelled);
    EXPECT_FALSE(exists(dir / "nozip.zip"));
    EXPECT_TRUE(temporaryFoldersGone());
}

TEST_F(CompressorTest, ZipRefusingAnItemFailsTheCompression)
{
    // A fake zip that writes a little and exits with an error.
    const std::string fake = dir / "fake-zip";
    {
        std::ofstream f(fake);
        f << "#!/bin/sh\nprintf 'PK partial'\nexit 18\n";
    }
    ::chmod(fake.c_str(), 0755);
    makeFile(dir / "a/one", 1);
    auto c = make({dir / "a/one"}, dir / "partial.zip");
    c->setZipProgram(fake);
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    ASSERT_TRUE(o->failed);
    ASSERT_TRUE(o->error.has_value());
    EXPECT_EQ(o->error->localizedDescription().toStdString(), "compression failed with exit code 18");
    EXPECT_FALSE(o->cancelled);
    EXPECT_FALSE(exists(dir / "partial.zip"));
}

TEST_F(CompressorTest, TheArchiveIsTheProgramsOwnChange)
{
    makeFile(dir / "a/one", 1);
    auto c = make({dir / "a/one"}, dir / "own.zip");
    auto o = watch(*c);
    c->compress();
    EXPECT_TRUE(KZSelfChangeRegistry::shared().isOwnChange(dir / "own.zip"));
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_TRUE(o->completed);
}

// A stand-in for zip: a shell script, run the way the compressor runs zip.
std::string fakeZip(const std::string& path, const std::string& body)
{
    {
        std::ofstream f(path);
        f << "#!/bin/sh\n" << body << "\n";
    }
    ::chmod(path.c_str(), 0755);
    return path;
}

std::string describe(const std::optional<KZError>& error)
{
    return error ? error->localizedDescription().toStdString() : std::string();
}

uint64_t sizeAt(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

TEST_F(CompressorTest, AnArchiveDeletedOrReplacedWhileZipRunsIsNoArchive)
{
    makeFile(dir / "a/one", 1000);
    makeFile(dir / "theirs", 77);
    // zip writes, the archive is deleted meanwhile (as the treemap's Delete would), zip
    // goes on writing into the deleted file and exits with 0.
    for (const char* how : {"deleted", "replaced"}) {
        SCOPED_TRACE(how);
        const std::string archive = dir / (std::string(how) + ".zip");
        const std::string go = dir / (std::string(how) + ".go");
        auto c = make({dir / "a/one"}, archive);
        c->setZipProgram(fakeZip(dir / (std::string(how) + "-zip"), "head -c 3000 /dev/zero\nwhile [ ! -e '" + go +
                                                                        "' ]; do sleep 0.01; done\n"
                                                                        "head -c 2000 /dev/zero\nexit 0"));
        auto o = watch(*c);
        c->compress();
        ASSERT_TRUE(kztest::waitFor([&] { return sizeAt(archive) == 3000; }));
        if (std::string(how) == "deleted") {
            ASSERT_EQ(::unlink(archive.c_str()), 0);
        } else {
            ASSERT_EQ(::rename((dir / "theirs").c_str(), archive.c_str()), 0);
        }
        makeFile(go);
        ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
        EXPECT_TRUE(o->failed);
        EXPECT_FALSE(o->cancelled);
        ASSERT_TRUE(o->error.has_value());
        EXPECT_EQ(o->error->code(), 1);
        EXPECT_FALSE(c->archive());
        if (std::string(how) == "deleted") {
            EXPECT_EQ(describe(o->error), "The archive \"" + archive + "\" is no longer there.");
            EXPECT_FALSE(exists(archive));
        } else {
            EXPECT_EQ(describe(o->error), "The archive \"" + archive + "\" was replaced by another item.");
            EXPECT_EQ(sizeAt(archive), 77u); // theirs, untouched
        }
    }
}

TEST_F(CompressorTest, AnArchiveCutShortOrAddedToWhileWrittenIsNoArchive)
{
    makeFile(dir / "a/one", 1000);
    for (const char* how : {"truncate -s 100", "printf more >>"}) {
        SCOPED_TRACE(how);
        const std::string archive = dir / "out.zip";
        auto c = make({dir / "a/one"}, archive);
        // Another program changes the file zip writes, through its path.
        c->setZipProgram(fakeZip(dir / "changing-zip",
                                 "head -c 3000 /dev/zero\n" + std::string(how) + " '" + archive + "'\nexit 0"));
        auto o = watch(*c);
        c->compress();
        ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
        EXPECT_TRUE(o->failed);
        EXPECT_FALSE(o->cancelled);
        EXPECT_TRUE(
            QString::fromStdString(describe(o->error)).startsWith("The archive was changed while it was written"))
            << describe(o->error);
        EXPECT_FALSE(c->archive());
        EXPECT_FALSE(exists(archive)); // ours, so removed
    }
}

TEST_F(CompressorTest, TheArchiveAndTheSourcesAreCheckedAgainstHowTheyWere)
{
    makeFile(dir / "src/file.txt", 4000);
    makeFile(dir / "src/folder/inner.txt", 4000);
    makeFile(dir / "src/folder/deep/x", 10);
    auto c = make({dir / "src/file.txt", dir / "src/folder/"}, dir / "both.zip");
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    ASSERT_TRUE(o->completed) << describe(o->error);
    const std::shared_ptr<const KZCompressedArchive> archive = c->archive();
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->path(), dir / "both.zip");
    EXPECT_FALSE(archive->checkArchive());
    ASSERT_TRUE(archive->currentSize().has_value());
    EXPECT_EQ(*archive->currentSize(), sizeAt(dir / "both.zip"));
    EXPECT_FALSE(archive->checkSourceBeforeRemoving(dir / "src/file.txt"));
    EXPECT_FALSE(archive->checkSourceBeforeRemoving(dir / "src/folder"));
    EXPECT_EQ(describe(archive->checkSourceBeforeRemoving(dir / "src/other")), "It is not in the archive.");

    // A file's modification time alone, with its size unchanged.
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 678}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "src/file.txt").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_EQ(describe(archive->checkSourceBeforeRemoving(dir / "src/file.txt")),
              "It changed after it was compressed.");
    // Something new deep in a folder; then something renamed.
    makeFile(dir / "src/folder/deep/new", 0);
    EXPECT_EQ(describe(archive->checkSourceBeforeRemoving(dir / "src/folder/")), "It changed after it was compressed.");
    ::unlink((dir / "src/folder/deep/new").c_str());
    EXPECT_FALSE(archive->checkSourceBeforeRemoving(dir / "src/folder/"));
    ::rename((dir / "src/folder/deep/x").c_str(), (dir / "src/folder/deep/y").c_str());
    EXPECT_TRUE(archive->checkSourceBeforeRemoving(dir / "src/folder/"));
    ::rename((dir / "src/folder/deep/y").c_str(), (dir / "src/folder/deep/x").c_str());

    // The archive added to, then replaced by an identical copy, then gone: none of them is it.
    // (Let go first: while it is held, a program that opens it for writing waits.)
    archive->releaseHold();
    const std::string saved = dir / "saved.zip";
    ASSERT_EQ(::link((dir / "both.zip").c_str(), saved.c_str()), 0);
    {
        std::ofstream(dir / "both.zip", std::ios::app) << "x";
    }
    EXPECT_TRUE(
        QString::fromStdString(describe(archive->checkArchive())).endsWith("was changed after it was written."));
    EXPECT_FALSE(archive->currentSize());
    EXPECT_TRUE(archive->checkSourceBeforeRemoving(dir / "src/folder/")); // the archive fails first
    ::truncate(saved.c_str(), off_t(archive->stamp().size));
    ::unlink((dir / "both.zip").c_str());
    QFile::copy(QString::fromStdString(saved), QString::fromStdString(dir / "both.zip"));
    EXPECT_EQ(sizeAt(dir / "both.zip"), archive->stamp().size);
    EXPECT_TRUE(QString::fromStdString(describe(archive->checkArchive())).endsWith("was replaced by another item."));
    ::unlink((dir / "both.zip").c_str());
    EXPECT_TRUE(QString::fromStdString(describe(archive->checkArchive())).endsWith("is no longer there."));
    EXPECT_FALSE(archive->currentSize());
}

TEST_F(CompressorTest, AnArchiveWrittenAnewUnderItsInodeNumberIsNotTheArchive)
{
    // Once complete, the archive is deleted and another file written at its path, which gets
    // the old inode number, with the archive's size and modification time: on every file
    // system it is another file, and no original may go on its strength.
    makeFile(dir / "src/file.txt", 4000);
    for (auto fs : {kztest::IdentityFileSystem::WithBirthTimes, kztest::IdentityFileSystem::WithHandlesOnly,
                    kztest::IdentityFileSystem::WithNeither}) {
        SCOPED_TRACE(kztest::nameOf(fs));
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        const std::string path = dir / "out.zip";
        auto c = make({dir / "src/file.txt"}, path);
        auto o = watch(*c);
        c->compress();
        ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
        ASSERT_TRUE(o->completed) << describe(o->error);
        std::shared_ptr<const KZCompressedArchive> archive = c->archive();
        ASSERT_TRUE(archive);
        ASSERT_FALSE(archive->checkArchive());
        const KZCompressedArchive::Stamp written = archive->stamp();
        // While the archive is held its number can't pass to another file: let go first.
        archive->releaseHold();

        const bool sameNumber = kztest::rewriteWithSameInode(path, (long long)written.size);
        struct timespec times[2] = {{0, UTIME_OMIT}, {written.modifiedSeconds, long(written.modifiedNanoseconds)}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        if (!sameNumber) {
            // Another process took the number meanwhile: the archive as the compressor would
            // have recorded it under the number the new file has.
            KZCompressedArchive::Stamp now;
            bool regular = false;
            ASSERT_EQ(KZCompressedArchive::stampOfPath(path, now, regular), 0);
            KZCompressedArchive::Stamp recorded = now;
            recorded.identity.kind = written.identity.kind;
            recorded.identity.stamp = written.identity.stamp;
            archive = std::make_shared<const KZCompressedArchive>(path, recorded, archive->sources(), std::nullopt);
        }
        EXPECT_EQ(describe(archive->checkArchive()), "The archive \"" + path + "\" was replaced by another item.");
        EXPECT_FALSE(archive->currentSize());
        EXPECT_EQ(describe(archive->checkSourceBeforeRemoving(dir / "src/file.txt")),
                  "The archive \"" + path + "\" was replaced by another item.");
        ::unlink(path.c_str());
    }
}

TEST_F(CompressorTest, ASourceChangedAfterItWasCopiedOrReadNoLongerPasses)
{
    // Several: the first changes while the second is being copied.
    makeFile(dir / "a/first.log", 100);
    makeFile(dir / "b/second", 100);
    auto c = make({dir / "a/first.log", dir / "b/second"}, dir / "several.zip");
    c->setCopyItemHook([&](const std::string& source) {
        if (source.find("second") != std::string::npos) std::ofstream(dir / "a/first.log", std::ios::app) << "more";
    });
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    ASSERT_TRUE(o->completed) << describe(o->error);
    ASSERT_TRUE(c->archive());
    EXPECT_EQ(describe(c->archive()->checkSourceBeforeRemoving(dir / "a/first.log")),
              "It changed after it was compressed.");
    EXPECT_FALSE(c->archive()->checkSourceBeforeRemoving(dir / "b/second"));

    // One folder, read by zip itself: a file inside emptied once zip has read it.
    makeFile(dir / "logs/app.log", 5000);
    auto one = make({dir / "logs"}, dir / "logs.zip");
    auto oneOutcome = watch(*one);
    kztest::ScopedFaultHook faults([&](kz::FileOperation op, const std::string&) {
        if (op == kz::FileOperation::Flush) ::truncate((dir / "logs/app.log").c_str(), 0);
        return 0;
    });
    one->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return oneOutcome->ended(); }));
    ASSERT_TRUE(oneOutcome->completed) << describe(oneOutcome->error);
    EXPECT_EQ(describe(one->archive()->checkSourceBeforeRemoving(dir / "logs")), "It changed after it was compressed.");
}

// ---- the archive read back before it counts as complete ----

// Whether the system grants read leases on files in the folder (it does on local disks).
bool leasesWorkIn(const std::string& folder)
{
    const std::string probe = folder + "/lease-probe";
    makeFile(probe, 1);
    const int fd = ::open(probe.c_str(), O_RDONLY | O_CLOEXEC);
    ::fcntl(fd, F_SETSIG, SIGURG);
    const bool held = ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0;
    ::close(fd);
    ::unlink(probe.c_str());
    return held;
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    makeFile(path);
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string noise(size_t n)
{
    std::string s(n, '\0');
    uint32_t x = 12345;
    for (char& c : s) c = char((x = x * 1103515245 + 12345) >> 24);
    return s;
}

TEST_F(CompressorTest, AnArchiveRewrittenInPlaceAtItsSizeAndTimeIsNoArchive)
{
    // Another program writes into the archive while zip runs, keeping its size, and puts its
    // modification time back: the same file, size and time, but not what zip wrote.
    writeBytes(dir / "src/F/notes.txt", noise(40000));
    writeBytes(dir / "src/F/more.txt", noise(40000));
    const std::string archive = dir / "F.zip";
    auto c = make({dir / "src/F"}, archive);
    c->setZipProgram(fakeZip(dir / "rewriting-zip", "/usr/bin/zip \"$@\" || exit $?\n"
                                                    "touch -r '" +
                                                        archive + "' '" + dir / "time" +
                                                        "'\n"
                                                        "printf 'XXXXXXXX' | dd of='" +
                                                        archive +
                                                        "' bs=1 seek=20000 conv=notrunc 2>/dev/null\n"
                                                        "touch -r '" +
                                                        dir / "time" + "' '" + archive + "'"));
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_TRUE(o->failed);
    EXPECT_FALSE(o->cancelled);
    EXPECT_TRUE(QString::fromStdString(describe(o->error))
                    .startsWith(QString::fromStdString("The archive \"" + archive + "\" does not read back whole: ")))
        << describe(o->error);
    EXPECT_FALSE(c->archive());
    EXPECT_FALSE(exists(archive)); // ours, so removed
}

TEST_F(CompressorTest, AnArchiveMustListExactlyWhatWasRead)
{
    writeBytes(dir / "src/F/a.txt", "alpha");
    writeBytes(dir / "src/F/skip.txt", "skip");
    writeBytes(dir / "src/extra.txt", "not asked for");
    struct Case {
        const char* zip; // run in the source's folder, after which zip runs as asked
        std::string error;
    };
    const std::vector<Case> cases{
        {"exec /usr/bin/zip \"$@\" -x F/skip.txt", "\"F/skip.txt\" is missing from it."},
        {"exec /usr/bin/zip \"$@\" extra.txt", "it holds \"extra.txt\", which was not among the items compressed."},
        {"printf more >> F/a.txt\nexec /usr/bin/zip \"$@\"",
         "it holds \"F/a.txt\" with 9 bytes, where the item had 5 bytes when it was read."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.zip);
        writeBytes(dir / "src/F/a.txt", "alpha");
        const std::string archive = dir / "F.zip";
        auto c = make({dir / "src/F"}, archive);
        c->setZipProgram(fakeZip(dir / "odd-zip", k.zip));
        auto o = watch(*c);
        c->compress();
        ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
        EXPECT_TRUE(o->failed);
        EXPECT_EQ(describe(o->error), "The archive \"" + archive + "\" does not read back whole: " + k.error);
        EXPECT_FALSE(c->archive());
        EXPECT_FALSE(exists(archive));
    }
    // ZIP64 records read back like any other.
    writeBytes(dir / "src/F/a.txt", "alpha");
    auto c = make({dir / "src/F", dir / "src/extra.txt"}, dir / "zip64.zip");
    c->setZipProgram(fakeZip(dir / "zip64-zip", "exec /usr/bin/zip -fz \"$@\""));
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_TRUE(o->completed) << describe(o->error);
}

TEST_F(CompressorTest, AnArchiveStillOpenForWritingElsewhereIsNoArchive)
{
    if (!leasesWorkIn(dir.path())) GTEST_SKIP() << "the file system grants no leases here";
    writeBytes(dir / "src/F/a.txt", noise(5000));
    const std::string archive = dir / "F.zip";
    auto c = make({dir / "src/F"}, archive);
    // zip ends, but something it left behind still holds the archive open for writing.
    c->setZipProgram(fakeZip(dir / "lingering-zip", "/usr/bin/zip \"$@\" || exit $?\n(sleep 1) &"));
    auto o = watch(*c);
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_TRUE(o->failed);
    EXPECT_EQ(describe(o->error), "The archive \"" + archive + "\" is open for writing in another program.");
    EXPECT_FALSE(exists(archive));
}

TEST_F(CompressorTest, OnceReadBackTheArchiveIsHeldAndAnyWriteIsNoticed)
{
    writeBytes(dir / "src/F/a.txt", noise(5000));
    const bool leases = leasesWorkIn(dir.path());
    auto compress = [&](const std::string& archive) {
        auto c = make({dir / "src/F"}, archive);
        auto o = watch(*c);
        c->compress();
        EXPECT_TRUE(kztest::waitFor([&] { return o->ended(); }));
        EXPECT_TRUE(o->completed) << describe(o->error);
        return c;
    };
    // A program opening it for writing after the check: it waits while the archive is held,
    // and the archive no longer counts.
    auto held = compress(dir / "held.zip");
    const std::shared_ptr<const KZCompressedArchive> archive = held->archive();
    ASSERT_TRUE(archive);
    if (leases) {
        EXPECT_TRUE(archive->isLeaseHeld());
        const int writer = ::open((dir / "held.zip").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_EQ(writer, -1);
        EXPECT_EQ(errno, EWOULDBLOCK);
        const std::string why = "The archive \"" + dir / "held.zip" +
                                "\" was opened for writing by another program after it was read back.";
        EXPECT_EQ(describe(archive->checkArchive()), why);
        EXPECT_EQ(describe(archive->checkSourceBeforeRemoving(dir / "src/F")), why);
        EXPECT_FALSE(archive->currentSize());
    }
    // Let go, nobody waits to write into it.
    archive->releaseHold();
    EXPECT_FALSE(archive->isLeaseHeld());
    const int writer = ::open((dir / "held.zip").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(writer, 0);
    ::close(writer);

    // Without a lease: bytes changed in place at the same size, the modification time put
    // back. The change time tells.
    auto other = compress(dir / "other.zip");
    ASSERT_TRUE(other->archive());
    other->archive()->releaseHold();
    EXPECT_FALSE(other->archive()->checkArchive());
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a later tick of the file system's clock
    struct stat before {};
    ASSERT_EQ(::stat((dir / "other.zip").c_str(), &before), 0);
    {
        const int fd = ::open((dir / "other.zip").c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_EQ(::pwrite(fd, "X", 1, 100), 1);
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::futimens(fd, times), 0);
        ::close(fd);
    }
    EXPECT_EQ(sizeAt(dir / "other.zip"), other->archive()->stamp().size);
    EXPECT_EQ(describe(other->archive()->checkArchive()),
              "The archive \"" + dir / "other.zip" + "\" was changed after it was written.");
}

TEST_F(CompressorTest, CancelBeforeStartingReportsACancel)
{
    makeFile(dir / "a/one", 1);
    auto c = make({dir / "a/one"}, dir / "never.zip");
    auto o = watch(*c);
    c->cancel();
    c->compress();
    ASSERT_TRUE(kztest::waitFor([&] { return o->ended(); }));
    EXPECT_TRUE(o->failed);
    EXPECT_TRUE(o->cancelled);
    EXPECT_FALSE(exists(dir / "never.zip"));
}

} // namespace
