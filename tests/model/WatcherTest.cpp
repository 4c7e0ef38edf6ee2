#include "model/CDEvents.h"
#include "model/KZFile.h"
#include "model/TQDeletionEngine.h"
#include "platform/KZDispatch.h"
#include "platform/KZLog.h"
#include "platform/KZRemover.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using kztest::makeDir;
using kztest::makeFile;

namespace {

constexpr uint32_t kResultsScreenFlags = 0x1D;

struct Seen {
    std::string path;
    uint32_t flags;
    qint64 at; // ms since the watcher started
    bool onMain;
};

// A watcher that records what it is told.
struct Recorder {
    std::vector<Seen> events;
    QElapsedTimer clock;
    std::unique_ptr<CDEvents> watcher;

    Recorder(const std::vector<std::string>& paths, double latency = 0.1, uint32_t flags = kResultsScreenFlags,
             bool ignoreSubDirs = false, std::vector<std::string> excluded = {}, CDEventsFolders folders = {})
    {
        clock.start();
        watcher = std::make_unique<CDEvents>(
            paths,
            [this](CDEvents&, const CDEventPtr& e) {
                events.push_back({e->path(), e->flags(), clock.elapsed(), kz::isMainThread()});
            },
            kCDEventsSinceEventNow, latency, ignoreSubDirs, std::move(excluded), flags, std::move(folders));
        EXPECT_TRUE(kztest::waitFor([&] { return watcher->isWatchingEverything(); }));
    }
    bool has(const std::string& path, uint32_t flag) const
    {
        return std::any_of(events.begin(), events.end(),
                           [&](const Seen& s) { return s.path == path && (s.flags & flag) == flag; });
    }
    bool waitFor(const std::string& path, uint32_t flag)
    {
        return kztest::waitFor([&] { return has(path, flag); }, std::chrono::seconds(3));
    }
    // Waits until every event of the changes made so far has been delivered (or dropped by
    // the watcher's rules): nothing unread, nothing waiting for the latency, no background
    // walk or catch-up pending.
    void settle()
    {
        for (;;) {
            ASSERT_TRUE(kztest::waitFor([&] { return watcher->isIdle(); }));
            kztest::drainBackgroundWork();
            if (watcher->isIdle()) return;
        }
    }
};

void writeAndClose(const std::string& path, const char* text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_GT(::write(fd, text, std::strlen(text)), 0);
    ::close(fd);
}

TEST(CDEvent, FlagsArchivingAndCopies)
{
    const auto e = CDEvent::eventWithIdentifier(7, QDateTime::currentDateTime(), "/a/b \xff", 0x900);
    EXPECT_TRUE(e->isCreated());
    EXPECT_TRUE(e->isRenamed());
    EXPECT_FALSE(e->isRemoved());
    EXPECT_FALSE(e->isGenericChange());
    const auto zero = CDEvent::eventWithIdentifier(8, QDateTime::currentDateTime(), "/a", 0);
    EXPECT_TRUE(zero->isGenericChange());
    EXPECT_FALSE(zero->isCreated() || zero->isRemoved() || zero->isRenamed() || zero->isModified() || zero->isDir());
    EXPECT_EQ(e->copy().get(), e.get());

    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        e->encode(out);
    }
    QDataStream in(bytes);
    const auto back = CDEvent::decode(in);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->identifier(), 7u);
    EXPECT_EQ(back->flags(), 0x900u);
    EXPECT_EQ(back->date(), e->date());
    EXPECT_EQ(back->path(), "/a/b \xff");
    EXPECT_EQ(back->URL(), e->URL());
    EXPECT_NE(e->description().find("flags = 2304"), std::string::npos);
}

TEST(CDEvents, InvalidArgumentsRaiseTheNamedExceptions)
{
    auto block = [](CDEvents&, const CDEventPtr&) {};
    try {
        CDEvents w(std::vector<std::string>{}, block);
        FAIL() << "no exception";
    } catch (const CDEventsInvalidArgumentException& e) {
        EXPECT_STREQ(e.what(), "Invalid arguments passed to CDEvents init-method.");
    }
    EXPECT_THROW(CDEvents(std::vector<std::string>{"/tmp"}, CDEvents::EventBlock()), std::invalid_argument);
    EXPECT_THROW(CDEvents(std::vector<std::string>{"relative"}, block), CDEventsInvalidArgumentException);
    EXPECT_STREQ(CDEventsEventStreamCreationFailureException().what(), "Failed to create event stream.");
}

TEST(CDEvents, ReportsChangesUnderNestedFoldersOnTheMainThread)
{
    kztest::TempDir dir;
    makeFile(dir / "a/b/c/old.txt", 1);
    makeFile(dir / "a/b/c/doomed", 1);
    makeFile(dir / "a/b/c/renamed", 1);
    makeDir(dir / "a/moving");
    Recorder r({dir.path()}, 0.2);
    EXPECT_EQ(r.watcher->watchCount(), 5u);

    makeFile(dir / "a/b/c/new.txt", 1);
    writeAndClose(dir / "a/b/c/old.txt", "more");
    ::unlink((dir / "a/b/c/doomed").c_str());
    ::rename((dir / "a/b/c/renamed").c_str(), (dir / "a/b/c/renamed2").c_str());
    ::rename((dir / "a/moving").c_str(), (dir / "a/b/moved").c_str());
    ASSERT_TRUE(r.waitFor(dir / "a/b/c/new.txt", CDEventFlags::ItemCreated | CDEventFlags::ItemIsFile));
    // One latency period gathers them all, delivered together after it.
    const qint64 first = r.events.front().at;
    EXPECT_GE(first, 150);
    EXPECT_TRUE(r.has(dir / "a/b/c/old.txt", CDEventFlags::ItemModified));
    EXPECT_TRUE(r.has(dir / "a/b/c/doomed", CDEventFlags::ItemRemoved));
    EXPECT_TRUE(r.has(dir / "a/b/c/renamed", CDEventFlags::ItemRenamed));
    EXPECT_TRUE(r.has(dir / "a/b/c/renamed2", CDEventFlags::ItemRenamed));
    EXPECT_TRUE(r.has(dir / "a/moving", CDEventFlags::ItemRenamed | CDEventFlags::ItemIsDir));
    EXPECT_TRUE(r.has(dir / "a/b/moved", CDEventFlags::ItemRenamed | CDEventFlags::ItemIsDir));
    for (const Seen& s : r.events) {
        EXPECT_TRUE(s.onMain);
        EXPECT_LT(s.at - first, 50) << s.path;
    }
    // The renamed folder is watched under its new name.
    makeFile(dir / "a/b/moved/inside", 1);
    EXPECT_TRUE(r.waitFor(dir / "a/b/moved/inside", CDEventFlags::ItemCreated));
    EXPECT_FALSE(r.has(dir / "a/moving/inside", CDEventFlags::ItemCreated));
}

TEST(CDEvents, NewFoldersAreWatchedWithWhatWasMadeInThemAtOnce)
{
    kztest::TempDir dir;
    Recorder r({dir.path()}, 0.1);
    makeFile(dir / "x/y/z/file", 1); // made faster than any watch can follow
    ASSERT_TRUE(r.waitFor(dir / "x/y/z/file", CDEventFlags::ItemCreated | CDEventFlags::ItemIsFile));
    EXPECT_TRUE(r.has(dir / "x", CDEventFlags::ItemCreated | CDEventFlags::ItemIsDir));
    EXPECT_TRUE(r.has(dir / "x/y/z", CDEventFlags::ItemCreated | CDEventFlags::ItemIsDir));
    ASSERT_TRUE(kztest::waitFor([&] { return r.watcher->isWatchingEverything(); }));
    ::unlink((dir / "x/y/z/file").c_str());
    EXPECT_TRUE(r.waitFor(dir / "x/y/z/file", CDEventFlags::ItemRemoved));
}

TEST(CDEvents, FoldersMovedOutAreNoLongerWatched)
{
    kztest::TempDir dir;
    kztest::TempDir outside;
    makeDir(dir / "watched/leaving/deep");
    Recorder r({dir / "watched"}, 0.05);
    ::rename((dir / "watched/leaving").c_str(), (outside / "left").c_str());
    ASSERT_TRUE(r.waitFor(dir / "watched/leaving", CDEventFlags::ItemRenamed));
    ASSERT_TRUE(kztest::waitFor([&] { return r.watcher->watchCount() == 1; }));
    makeFile(outside / "left/deep/file", 1);
    r.settle();
    for (const Seen& s : r.events) EXPECT_EQ(s.path.find("file"), std::string::npos) << s.path;
}

TEST(CDEvents, TheProgramsOwnChangesAreIgnoredWhenAsked)
{
    kztest::TempDir dir;
    makeFile(dir / "ours/a", 1);
    makeFile(dir / "theirs", 1);
    Recorder r({dir.path()}, 0.05);
    Recorder all({dir.path()}, 0.05, kResultsScreenFlags & ~CDEventsStreamFlags::IgnoreSelf);
    ASSERT_TRUE(kz::removeItemAtPath(dir / "ours").succeeded());
    ::unlink((dir / "theirs").c_str());
    ASSERT_TRUE(r.waitFor(dir / "theirs", CDEventFlags::ItemRemoved));
    ASSERT_TRUE(all.waitFor(dir / "ours", CDEventFlags::ItemRenamed));
    ASSERT_TRUE(kztest::waitFor([&] { return all.events.size() >= 5; })); // ours away, a, ours, theirs
    for (const Seen& s : r.events) EXPECT_EQ(s.path, dir / "theirs");
}

TEST(CDEvents, WhatOthersDoWhereTheProgramWorkedIsReported)
{
    kztest::TempDir dir;
    makeFile(dir / "deleted", 1);
    makeFile(dir / "refused", 1);
    makeFile(dir / "folder/inner", 1);
    Recorder r({dir.path()}, 0.05);
    // Someone makes the item anew right after the program removed it.
    ASSERT_TRUE(kz::removeItemAtPath(dir / "deleted").succeeded());
    makeFile(dir / "deleted", 3);
    ASSERT_TRUE(kz::removeItemAtPath(dir / "folder").succeeded());
    makeFile(dir / "folder/new", 1);
    // A removal the program refused changed nothing; someone else's removal is reported.
    ASSERT_EQ(kz::removeItemAtPath(dir / "refused", kz::FileIdentity{1, 1}).error, ESTALE);
    ::unlink((dir / "refused").c_str());
    EXPECT_TRUE(r.waitFor(dir / "deleted", CDEventFlags::ItemCreated));
    EXPECT_TRUE(r.waitFor(dir / "folder", CDEventFlags::ItemCreated));
    EXPECT_TRUE(r.waitFor(dir / "folder/new", CDEventFlags::ItemCreated));
    EXPECT_TRUE(r.waitFor(dir / "refused", CDEventFlags::ItemRemoved));
    // The program's own removals stay silent.
    EXPECT_FALSE(r.has(dir / "deleted", CDEventFlags::ItemRemoved));
    EXPECT_FALSE(r.has(dir / "deleted", CDEventFlags::ItemRenamed));
    EXPECT_FALSE(r.has(dir / "folder/inner", CDEventFlags::ItemRemoved));
    for (const Seen& s : r.events) EXPECT_EQ(s.path.find(".sizemere-removing-"), std::string::npos) << s.path;
}

TEST(CDEvents, AnItemPutBackAfterAPartialRemovalIsTheProgramsOwnChange)
{
    kztest::TempDir dir;
    makeFile(dir / "partly/kept/stuck", 1);
    makeFile(dir / "partly/kept/goes", 1);
    makeFile(dir / "partly/gone/file", 1);
    Recorder r({dir.path()}, 0.05);
    Recorder all({dir.path()}, 0.05, kResultsScreenFlags & ~CDEventsStreamFlags::IgnoreSelf);
    {
        const std::string stuck = dir / "partly/kept/stuck";
        kztest::ScopedFaultHook faults([stuck](kz::FileOperation op, const std::string& path) {
            return op == kz::FileOperation::Unlink && path == stuck ? EACCES : 0;
        });
        ASSERT_EQ(kz::removeItemAtPath(dir / "partly").error, ENOTEMPTY);
    }
    ASSERT_TRUE(kztest::exists(dir / "partly/kept/stuck"));
    ASSERT_FALSE(kztest::exists(dir / "partly/gone"));
    // Back under its own name: the move back is seen, and is the program's own.
    ASSERT_TRUE(all.waitFor(dir / "partly", CDEventFlags::ItemRenamed | CDEventFlags::ItemIsDir));
    r.settle();
    EXPECT_TRUE(r.events.empty()) << r.events.front().path << " " << r.events.front().flags;
    // What someone else makes there afterwards is reported.
    makeFile(dir / "partly/kept/new", 1);
    EXPECT_TRUE(r.waitFor(dir / "partly/kept/new", CDEventFlags::ItemCreated));
}

TEST(CDEvents, TheProgramsRemovalStaysSilentWhenTheSystemDroppedItsRename)
{
    // The program deletes a large folder while the main thread is busy: the system's queue of
    // events overflows, and the move of the next folder to its private name is lost. The
    // watcher then knows that folder's sub-folders by their old paths only, and reports what
    // goes inside them there.
    const size_t queue = kztest::watcherEventQueueLength();
    if (queue == 0 || queue > 200000) GTEST_SKIP() << "the system queues " << queue << " events";
    kztest::TempDir dir;
    kztest::makeFolderOfEmptyFiles(dir / "flood", queue + 1000);
    for (const char* sub : {"a/x", "a/y", "b"})
        for (int i = 0; i < 40; ++i) makeFile(dir / ("nested/" + std::string(sub) + "/f" + std::to_string(i)), 10);
    makeFile(dir / "kept/file", 10);
    Recorder r({dir.path()}, 0.05);

    // The removal of the nested folder waits, once its files begin to go, until the watcher
    // has read everything the system still holds: the move was lost, the unlinks are not.
    const std::string nested = dir / "nested";
    kztest::UnlinkGate gate(nested);
    bool finished = false;
    TQDeletionEngine::deleteFiles({KZFile::fileWithPath(dir / "flood", true), KZFile::fileWithPath(nested, true)}, {},
                                  {}, [&](const TQDeletionResult& result) {
                                      EXPECT_FALSE(result.errors.has_value());
                                      finished = true;
                                  });
    // Busy: nothing is read until the second removal has begun.
    ASSERT_TRUE(gate.waitUntilReached());
    const bool read = kztest::waitFor([&] { return r.watcher->isIdle(); });
    gate.release();
    ASSERT_TRUE(read);
    ASSERT_TRUE(kztest::waitFor([&] { return finished; }, std::chrono::seconds(60)));
    r.settle();
    EXPECT_FALSE(kztest::exists(nested));
    EXPECT_TRUE(r.has(dir.path(), CDEventFlags::MustScanSubDirs | CDEventFlags::KernelDropped)) << "no overflow";
    std::vector<std::string> reported;
    for (const Seen& s : r.events)
        if (!(s.path == dir.path() && (s.flags & CDEventFlags::MustScanSubDirs))) reported.push_back(s.path);
    EXPECT_TRUE(reported.empty()) << reported.size() << " reported, the first " << reported.front();

    // Someone else's change is still reported.
    ::unlink((dir / "kept/file").c_str());
    EXPECT_TRUE(r.waitFor(dir / "kept/file", CDEventFlags::ItemRemoved));
}

TEST(CDEvents, ExclusionsAndSubFolders)
{
    kztest::TempDir dir;
    makeDir(dir / "skip/inner");
    makeDir(dir / "skipper");
    makeDir(dir / "sub");
    Recorder r({dir.path()}, 0.05, kResultsScreenFlags, false, {dir / "skip", dir / "later"});
    makeFile(dir / "skip/inner/f", 1);
    ::utimensat(AT_FDCWD, (dir / "skip").c_str(), nullptr, 0); // the excluded folder itself changes
    makeFile(dir / "later/inner/f", 1);                        // an excluded folder made after the watch began
    makeFile(dir / "skipper/f", 1);                            // shares the name's beginning only: reported
    ASSERT_TRUE(r.waitFor(dir / "skipper/f", CDEventFlags::ItemCreated));
    r.settle();
    for (const Seen& s : r.events) {
        EXPECT_FALSE(s.path == dir / "skip" || s.path.rfind(dir / "skip/", 0) == 0) << s.path;
        EXPECT_FALSE(s.path == dir / "later" || s.path.rfind(dir / "later/", 0) == 0) << s.path;
    }

    // Sub-folders ignored: only events of the watched folder's own path arrive; without
    // single-item events that is the folder itself when something in it changed.
    Recorder own({dir.path()}, 0.05, kCDEventsDefaultEventStreamFlags, true);
    makeFile(dir / "sub/ignored", 1);
    makeFile(dir / "top", 1);
    ASSERT_TRUE(kztest::waitFor([&] { return !own.events.empty(); }));
    own.settle();
    ASSERT_EQ(own.events.size(), 1u);
    EXPECT_EQ(own.events[0].path, dir.path());
    EXPECT_EQ(own.events[0].flags, 0u);
}

TEST(CDEvents, WithoutItemEventsTheChangedFolderIsReportedOnce)
{
    kztest::TempDir dir;
    makeDir(dir / "sub");
    Recorder r({dir.path()}, 0.05, kCDEventsDefaultEventStreamFlags);
    makeFile(dir / "sub/one", 1);
    makeFile(dir / "sub/two", 1);
    ASSERT_TRUE(kztest::waitFor([&] { return !r.events.empty(); }));
    r.settle();
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.events[0].path, dir / "sub");
    EXPECT_EQ(r.events[0].flags, 0u);
}

TEST(CDEvents, TheWatchedFolderItselfGoing)
{
    kztest::TempDir dir;
    makeDir(dir / "root");
    Recorder r({dir / "root/"}, 0.05);
    ::rmdir((dir / "root").c_str());
    EXPECT_TRUE(r.waitFor(dir / "root", CDEventFlags::RootChanged));
}

TEST(CDEvents, NothingArrivesOnceItIsGone)
{
    kztest::TempDir dir;
    int calls = 0;
    std::unique_ptr<CDEvents> watcher;
    watcher = std::make_unique<CDEvents>(
        std::vector<std::string>{dir.path()},
        [&](CDEvents&, const CDEventPtr&) {
            ++calls;
            watcher.reset(); // the block lets the watcher go
        },
        kCDEventsSinceEventNow, 0.05, false, std::vector<std::string>{}, kResultsScreenFlags);
    makeFile(dir / "one", 1);
    makeFile(dir / "two", 1);
    ASSERT_TRUE(kztest::waitFor([&] { return calls > 0; }));
    makeFile(dir / "three", 1);
    kztest::drainBackgroundWork(); // the watcher is gone: only what it left behind could come
    EXPECT_EQ(calls, 1);

    int later = 0;
    auto other = std::make_unique<CDEvents>(
        std::vector<std::string>{dir.path()}, [&](CDEvents&, const CDEventPtr&) { ++later; }, kCDEventsSinceEventNow,
        0.05, false, std::vector<std::string>{}, kResultsScreenFlags);
    makeFile(dir / "four", 1);
    other.reset(); // events read but not yet delivered are dropped with it
    kztest::drainBackgroundWork();
    EXPECT_EQ(later, 0);
}

TEST(CDEvents, RunningOutOfWatchesDegradesAndLogs)
{
    kztest::TempDir dir;
    for (int i = 0; i < 10; ++i) makeDir(dir / ("d" + std::to_string(i)));
    QStringList lines;
    auto previous = kz::setLogSink([&](const QString& l) { lines << l; });
    CDEvents::setWatchLimitForTesting(4);
    std::unique_ptr<Recorder> r;
    EXPECT_NO_THROW(r = std::make_unique<Recorder>(std::vector<std::string>{dir.path()}, 0.05));
    CDEvents::setWatchLimitForTesting(0);
    kz::setLogSink(previous);
    EXPECT_EQ(r->watcher->watchCount(), 4u);
    EXPECT_EQ(lines.size(), 1);
    // What is watched still reports.
    makeFile(dir / "top", 1);
    EXPECT_TRUE(r->waitFor(dir / "top", CDEventFlags::ItemCreated));
}

// A watcher given its folders (as a scan lists them) and a rule for folders to leave out.
struct PlannedRecorder : Recorder {
    PlannedRecorder(const std::string& root, CDEventsFolders folders)
        : Recorder({root}, 0.05, kResultsScreenFlags, false, {}, std::move(folders))
    {
    }
};

TEST(CDEvents, ListedFoldersAreWatchedWithoutReadingTheTree)
{
    kztest::TempDir dir;
    makeDir(dir / "a/b");
    makeDir(dir / "unlisted/deep");
    makeDir(dir / "pkg/x/y");
    CDEventsFolders folders;
    folders.listed.emplace();
    folders.listed->push_back({dir / "a"});
    folders.listed->push_back({dir / "a/b"});
    folders.listed->push_back({dir / "pkg", false, true}); // its sub-folders are found on disk
    folders.listed->push_back({dir / "gone"});             // no longer there: no watch, no harm
    PlannedRecorder r(dir.path(), std::move(folders));
    EXPECT_EQ(r.watcher->watchCount(), 6u) << "the root, a, a/b, pkg, pkg/x, pkg/x/y";
    makeFile(dir / "unlisted/deep/quiet", 1);
    makeFile(dir / "pkg/x/y/heard", 1);
    makeFile(dir / "a/b/heard", 1);
    ASSERT_TRUE(r.waitFor(dir / "a/b/heard", CDEventFlags::ItemCreated));
    ASSERT_TRUE(r.waitFor(dir / "pkg/x/y/heard", CDEventFlags::ItemCreated));
    r.settle();
    EXPECT_FALSE(r.has(dir / "unlisted/deep/quiet", CDEventFlags::ItemCreated));
    // A folder made later in a watched one is watched as before.
    makeFile(dir / "a/new/file", 1);
    EXPECT_TRUE(r.waitFor(dir / "a/new/file", CDEventFlags::ItemCreated));
}

TEST(CDEvents, FoldersTheRuleLeavesOutGetNoWatchNowOrLater)
{
    kztest::TempDir dir;
    makeDir(dir / ".cache/sub");
    makeDir(dir / "docs/.git/objects");
    makeDir(dir / "docs/visible");
    makeDir(dir / ".was-hidden/inner");
    makeDir(dir / "will-hide/inner");
    CDEventsFolders folders;
    folders.skip = [](std::string_view path) {
        const size_t slash = path.rfind('/');
        return path.substr(slash + 1).front() == '.';
    };
    PlannedRecorder r(dir.path(), std::move(folders));
    EXPECT_EQ(r.watcher->watchCount(), 5u) << "the root, docs, docs/visible, will-hide, will-hide/inner";

    makeFile(dir / ".cache/sub/f", 1);
    makeFile(dir / "docs/.git/objects/f", 1);
    makeFile(dir / ".new/inside/f", 1); // made later: no watch either
    makeFile(dir / "docs/visible/f", 1);
    ASSERT_TRUE(r.waitFor(dir / "docs/visible/f", CDEventFlags::ItemCreated));
    r.settle();
    EXPECT_TRUE(r.has(dir / ".new", CDEventFlags::ItemCreated)) << "its parent is watched";
    for (const Seen& s : r.events) {
        EXPECT_EQ(s.path.find("/.cache/"), std::string::npos) << s.path;
        EXPECT_EQ(s.path.find("/.git/"), std::string::npos) << s.path;
        EXPECT_EQ(s.path.find("/.new/"), std::string::npos) << s.path;
    }
    // Renamed out of the rule's reach: watched from then on; into it: watched no more.
    ASSERT_EQ(::rename((dir / ".was-hidden").c_str(), (dir / "shown").c_str()), 0);
    ASSERT_EQ(::rename((dir / "will-hide").c_str(), (dir / ".hid").c_str()), 0);
    ASSERT_TRUE(r.waitFor(dir / "shown", CDEventFlags::ItemRenamed));
    r.settle();
    EXPECT_EQ(r.watcher->watchCount(), 5u) << "the root, docs, docs/visible, shown, shown/inner";
    makeFile(dir / "shown/inner/f", 1);
    makeFile(dir / ".hid/inner/f", 1);
    EXPECT_TRUE(r.waitFor(dir / "shown/inner/f", CDEventFlags::ItemCreated));
    r.settle();
    EXPECT_FALSE(r.has(dir / ".hid/inner/f", CDEventFlags::ItemCreated));
}

TEST(CDEvents, TheBatchBlockGetsAPeriodsEventsAtOnceAndAFloodInSlices)
{
    kztest::TempDir dir;
    std::vector<size_t> batches;
    std::vector<std::string> paths;
    int single = 0;
    CDEvents w(
        {dir.path()}, [&](CDEvents&, const CDEventPtr&) { ++single; }, kCDEventsSinceEventNow, 0.2, false, {},
        kResultsScreenFlags);
    w.setBatchBlock([&](CDEvents&, const std::vector<CDEventPtr>& events) {
        batches.push_back(events.size());
        for (const CDEventPtr& e : events) paths.push_back(e->path());
    });
    ASSERT_TRUE(kztest::waitFor([&] { return w.isWatchingEverything(); }));
    makeFile(dir / "one", 0);
    makeFile(dir / "two", 0);
    ASSERT_TRUE(kztest::waitFor([&] { return w.isIdle() && !batches.empty(); }));
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(paths, (std::vector<std::string>{dir / "one", dir / "one", dir / "two", dir / "two"}))
        << "created and written, in order";
    EXPECT_EQ(w.lastEvent()->path(), dir / "two");

    // Five thousand files at once (ten thousand events, within the system's queue): every
    // event arrives, a few thousand per delivery.
    batches.clear();
    paths.clear();
    {
        const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < 5000; ++i)
            ::close(::openat(fd, ("f" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644));
        ::close(fd);
    }
    ASSERT_TRUE(kztest::waitFor([&] { return paths.size() >= 10000 && w.isIdle(); }, std::chrono::seconds(30)));
    EXPECT_EQ(paths.size(), 10000u);
    EXPECT_GE(batches.size(), 5u);
    for (size_t n : batches) EXPECT_LE(n, 2048u);
    EXPECT_EQ(single, 0) << "the event block is not called when there is a batch block";
}

TEST(CDEvents, WithoutContentChangesOnlyItemsComingGoingAndRenamedAreReported)
{
    kztest::TempDir dir;
    makeFile(dir / "sub/old", 1);
    CDEventsFolders folders;
    folders.contentChanges = false;
    Recorder r({dir.path()}, 0.05, kResultsScreenFlags, false, {}, std::move(folders));
    writeAndClose(dir / "sub/old", "more");
    ::chmod((dir / "sub/old").c_str(), 0600);
    ::chmod((dir / "sub").c_str(), 0700);
    makeFile(dir / "sub/new", 1);
    ::rename((dir / "sub/old").c_str(), (dir / "sub/older").c_str());
    ASSERT_TRUE(r.waitFor(dir / "sub/older", CDEventFlags::ItemRenamed));
    r.settle();
    EXPECT_TRUE(r.has(dir / "sub/new", CDEventFlags::ItemCreated));
    EXPECT_TRUE(r.has(dir / "sub/old", CDEventFlags::ItemRenamed));
    for (const Seen& s : r.events)
        EXPECT_FALSE(s.flags & (CDEventFlags::ItemModified | CDEventFlags::ItemInodeMetaMod)) << s.path;
}

TEST(CDEvents, CopiesWatchWithTheSameSettings)
{
    kztest::TempDir dir;
    CDEvents w(
        {dir.path() + "/"}, [](CDEvents&, const CDEventPtr&) {}, kCDEventsSinceEventNow, 1.0, false, {dir / "x"},
        kResultsScreenFlags);
    auto c = w.copy();
    EXPECT_EQ(c->watchedPaths(), (std::vector<std::string>{dir.path()}));
    EXPECT_EQ(c->excludedPaths(), (std::vector<std::string>{dir / "x"}));
    EXPECT_EQ(c->notificationLatency(), 1.0);
    EXPECT_EQ(c->eventStreamCreationFlags(), kResultsScreenFlags);
    EXPECT_EQ(c->sinceEventIdentifier(), kCDEventsSinceEventNow);
    EXPECT_FALSE(c->lastEvent());
    EXPECT_NE(w.description().find("watchedURLs"), std::string::npos);
}

} // namespace
