#include "TreemapFixtures.h"

#include "model/KZFileScanner.h"
#include "platform/KZAnimationClock.h"
#include "platform/KZDispatch.h"
#include "platform/KZFileFaults.h"
#include "platform/KZPathString.h"
#include "platform/KZRemover.h"

#include <QTest>
#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace treetest;

namespace {

KZDirectoryPtr scan(const std::string& path)
{
    KZDirectoryPtr result;
    bool done = false;
    auto scanner = KZFileScanner::scannerWithPaths({path}, 0);
    scanner->setCompletionBlock([&](const KZFileList& files) {
        if (!files.empty()) result = kz_asDirectory(files.front());
        done = true;
    });
    scanner->setFailureBlock([&](const QString&) { done = true; });
    scanner->setCancelledBlock([&] { done = true; });
    scanner->start();
    EXPECT_TRUE(kztest::waitFor([&] { return done; }));
    return result;
}

KZFilePtr childNamed(const KZDirectoryPtr& d, const std::string& name)
{
    for (KZFile* f : d->children())
        if (f->nameBytes() == name) return KZFilePtr(f);
    return nullptr;
}

struct Rescan : ::testing::Test {
    kztest::TempDir tmp;
    TestPreferences prefs;
    RecordingDelegate delegate;
    FakeServices services;

    void SetUp() override
    {
        kztest::makeFile(tmp / "A/B/f1", 300000);
        kztest::makeFile(tmp / "A/B/f2", 200000);
        kztest::makeFile(tmp / "A/c", 400000);
        kztest::makeFile(tmp / "D/d", 600000);
        kztest::makeFile(tmp / oddName(), 100000);
    }
    // The temporary folder's own clean-up can't remove a name that is not UTF-8.
    void TearDown() override { ::unlink((tmp / oddName()).c_str()); }
    static std::string oddName() { return std::string("A/B/odd\xff\nname", 13); }

    std::unique_ptr<KZNestedTreemapView> makeView(const KZDirectoryPtr& r)
    {
        auto view = std::make_unique<KZNestedTreemapView>(r);
        view->setPreferences(&prefs.preferences);
        services.attach(*view);
        view->setDelegate(&delegate);
        view->resize(800, 500);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->reloadData();
        EXPECT_TRUE(kztest::waitFor([&] { return !view->isInLiveResize(); }));
        return view;
    }

    static const KZTreemapDrawItem* item(KZNestedTreemapView& view, const std::string& name)
    {
        for (const auto& i : view.drawItems())
            if (i.node->file() && i.node->file()->nameBytes() == name) return &i;
        return nullptr;
    }
};

TEST_F(Rescan, FromStartToGraftWhileZoomed)
{
    KZDirectoryPtr r = scan(tmp.path());
    ASSERT_TRUE(r);
    auto view = makeView(r);
    auto a = kz_asDirectory(childNamed(r, "A"));
    ASSERT_TRUE(a);
    view->zoomToDirectory(a);
    auto oldB = kz_asDirectory(childNamed(a, "B"));
    ASSERT_TRUE(oldB);
    ASSERT_EQ(oldB->childCount(), 3u);
    oldB->setIsSystemFile(true);
    oldB->setIsHidden(true);
    view->setShowsSystemFiles(true);
    view->setShowsHiddenFiles(true);
    const double sizeBefore = oldB->fileSize();
    const double aBefore = a->fileSize();
    const double rootBefore = r->fileSize();
    const auto placeOf = [&](const KZFile* f) {
        const auto children = a->children();
        return std::find(children.begin(), children.end(), f) - children.begin();
    };
    const auto place = placeOf(oldB.get());

    // Something new on disk that the rescan finds.
    kztest::makeFile(tmp / "A/B/new", 5000);
    const auto* b = item(*view, "B");
    ASSERT_NE(b, nullptr);
    const QPoint inB = b->rect.toRect().topLeft() + QPoint(3, 8);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, inB);
    ASSERT_EQ(names(view->selectedFiles()), (std::vector<std::string>{"B"}));
    view->reloadSelectedDirectory();

    // Under way: the folder keeps its size and its node, which is a leaf that can't be
    // selected or entered.
    // The scanner reports on later turns of the main thread, so the rescan is under way here.
    const std::string path = oldB->path();
    ASSERT_TRUE(view->nodeLists().isReloadingPath(path));
    {
        EXPECT_EQ(oldB->childCount(), 0u);
        EXPECT_EQ(oldB->fileSize(), sizeBefore);
        EXPECT_TRUE(view->selectedFiles().empty());
        const auto* reloading = item(*view, "B");
        ASSERT_NE(reloading, nullptr);
        EXPECT_TRUE(reloading->node->isReloading());
        EXPECT_EQ(item(*view, "f1"), nullptr);
        QTest::mouseClick(view.get(), Qt::LeftButton, {}, inB);
        EXPECT_TRUE(view->clickedNodes().empty());
        EXPECT_EQ(view->menuForPoint(inB), nullptr);
        view->zoomToDirectory(oldB);
        EXPECT_EQ(view->directory(), KZDirectoryPtr(a));
        EXPECT_EQ(services.beeps, 1);
    }
    ASSERT_TRUE(kztest::waitFor([&] { return !view->nodeLists().isReloadingPath(path); }));

    // Grafted: a fresh record in the old one's place, with the new file, keeping its flags.
    auto newB = kz_asDirectory(childNamed(a, "B"));
    ASSERT_TRUE(newB);
    EXPECT_NE(newB, oldB);
    EXPECT_EQ(oldB->parent(), nullptr);
    EXPECT_EQ(newB->parent(), a.get());
    EXPECT_EQ(newB->childCount(), 4u);
    EXPECT_TRUE(childNamed(newB, std::string("odd\xff\nname", 9)));
    EXPECT_TRUE(newB->isSystemFile());
    EXPECT_TRUE(newB->isHidden());
    EXPECT_EQ(newB->path(), path);
    // The folders above count what the rescan found, not the old record as well.
    EXPECT_EQ(newB->fileSize(), sizeBefore + 5000);
    EXPECT_EQ(a->fileSize(), aBefore + 5000);
    EXPECT_EQ(r->fileSize(), rootBefore + 5000);
    EXPECT_EQ(a->removedFileSizes(), 0);
    EXPECT_EQ(placeOf(newB.get()), place) << "in the old record's place";
    EXPECT_EQ(view->directory(), KZDirectoryPtr(a));
    ASSERT_EQ(view->zoomStack().size(), 1u);
    EXPECT_EQ(view->zoomStack()[0], r);
    const auto* grafted = item(*view, "B");
    ASSERT_NE(grafted, nullptr);
    EXPECT_FALSE(grafted->node->isReloading());
    EXPECT_NE(item(*view, "new"), nullptr);
    EXPECT_NE(item(*view, std::string("odd\xff\nname", 9)), nullptr);
    EXPECT_TRUE(services.alerts.service.shown().empty());

    // Zooming into the new record works; the old one has left the tree and is skipped on
    // the way out.
    view->zoomToDirectory(newB);
    EXPECT_EQ(view->directory(), newB);
    // A name that is not UTF-8 draws and is hit like any other, and keeps its bytes.
    const auto* odd = item(*view, std::string("odd\xff\nname", 9));
    ASSERT_NE(odd, nullptr);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, odd->rect.toRect().center());
    ASSERT_EQ(view->selectedFiles().size(), 1u);
    EXPECT_EQ(view->selectedFiles()[0]->path(), path + std::string("odd\xff\nname", 9));
    view->showSelectedFileInFinder();
    ASSERT_EQ(services.revealed().size(), 1u);
    EXPECT_EQ(services.revealed()[0][0], path + std::string("odd\xff\nname", 9));
    EXPECT_TRUE(view->zoomOut());
    EXPECT_EQ(view->directory(), KZDirectoryPtr(a));
}

TEST_F(Rescan, AFolderThatVanishedLeavesTheTreemap)
{
    KZDirectoryPtr r = scan(tmp.path());
    ASSERT_TRUE(r);
    auto view = makeView(r);
    const auto* d = item(*view, "D");
    ASSERT_NE(d, nullptr);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, d->rect.toRect().topLeft() + QPoint(3, 8));
    ::unlink((tmp / "D/d").c_str());
    ::rmdir((tmp / "D").c_str());
    const std::string path = kz_asDirectory(childNamed(r, "D"))->path();
    view->reloadSelectedDirectory();
    ASSERT_TRUE(kztest::waitFor([&] { return !view->nodeLists().isReloadingPath(path); }));
    EXPECT_EQ(item(*view, "D"), nullptr);
    EXPECT_NE(item(*view, "A"), nullptr);
}

TEST_F(Rescan, AFolderBeingRemovedInsideLeavesNoTrace)
{
    KZDirectoryPtr r = scan(tmp.path());
    ASSERT_TRUE(r);
    auto view = makeView(r);
    view->setShowsHiddenFiles(true);
    // The program removes A/B meanwhile: set aside under a private (hidden) name beside it,
    // half emptied, while A is scanned again.
    kztest::UnlinkGate gate(tmp / "A/B");
    std::thread removal([&] { kz::removeItemAtPath(tmp / "A/B"); });
    ASSERT_TRUE(gate.waitUntilReached());
    const auto* a = item(*view, "A");
    ASSERT_NE(a, nullptr);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, a->rect.toRect().topLeft() + QPoint(3, 8));
    ASSERT_EQ(names(view->selectedFiles()), (std::vector<std::string>{"A"}));
    const std::string path = view->selectedFiles()[0]->path();
    view->reloadSelectedDirectory();
    ASSERT_TRUE(kztest::waitFor([&] { return !view->nodeLists().isReloadingPath(path); }));
    auto traces = [&] {
        std::vector<std::string> out;
        const KZDirectoryPtr fresh = kz_asDirectory(childNamed(r, "A"));
        for (KZFile* f : fresh->children())
            if (f->nameBytes() == "B" || f->nameBytes().rfind(".sizemere-removing-", 0) == 0) out.push_back(f->path());
        for (const auto& i : view->drawItems())
            if (i.node->file() && i.node->file()->path().find("/.sizemere-removing-") != std::string::npos)
                out.push_back(i.node->file()->path());
        return out;
    };
    EXPECT_EQ(traces(), std::vector<std::string>{});
    EXPECT_EQ(kz_asDirectory(childNamed(r, "A"))->fileSize(), 400000);

    gate.release();
    removal.join();
    EXPECT_FALSE(kztest::exists(tmp / "A/B"));
    EXPECT_EQ(traces(), std::vector<std::string>{});
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Holds chosen steps of the rescans' walks until the test lets them go: the scanner asks the
// fault layer whether each item is readable, and the hook waits here first. Every gate opens,
// and the walks end, when the object goes.
class Gates {
public:
    ~Gates()
    {
        openAll();
        kz::backgroundPool().waitForDone();
    }
    void close(const std::string& name)
    {
        std::lock_guard lock(mutex_);
        closed_.insert(name);
    }
    void open(const std::string& name)
    {
        std::lock_guard lock(mutex_);
        closed_.erase(name);
        wake_.notify_all();
    }
    void openAll()
    {
        std::lock_guard lock(mutex_);
        closed_.clear();
        wake_.notify_all();
    }
    void pass(const std::string& name)
    {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return !closed_.count(name); });
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::set<std::string> closed_;
};

// Runs the main thread's queued blocks and paints, without waiting for the (held) walks.
void runMainQueue()
{
    ASSERT_TRUE(kztest::waitFor([] { return kz::pendingMainThreadBlocks() == 0; }));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

TEST_F(Rescan, TwoRescansRepaintOnlyWhenTheClockSaysSo)
{
    kztest::makeFile(tmp / "A/zz/last", 1);
    kztest::makeFile(tmp / "D/zz/last", 1);
    KZDirectoryPtr r = scan(tmp.path());
    ASSERT_TRUE(r);
    auto view = makeView(r);
    KZManualAnimationClock clock;
    const std::string a = kz_asDirectory(childNamed(r, "A"))->path();
    const std::string d = kz_asDirectory(childNamed(r, "D"))->path();
    view->setClickedNode(item(*view, "A")->node);
    view->addClickedNode(item(*view, "D")->node);
    ASSERT_EQ(view->clickedNodes().size(), 2u);

    // A's walk reports, then waits in A/zz; D's waits before its first report, then in D/zz.
    Gates gates;
    gates.close("D");
    gates.close("A/zz/last");
    gates.close("D/zz/last");
    kztest::ScopedFaultHook hook([&](kz::FileOperation op, const std::string& path) {
        if (op != kz::FileOperation::Read) return 0;
        if (kz::parentPath(path) + "/" == d) gates.pass("D");
        if (path == tmp / "A/zz/last") gates.pass("A/zz/last");
        if (path == tmp / "D/zz/last") gates.pass("D/zz/last");
        return 0;
    });
    PaintCounter counter;
    view->installEventFilter(&counter);
    view->reloadSelectedDirectory();
    runMainQueue();
    const int atStart = counter.paints; // the rescans' own redraw
    auto reported = [&](const std::string& path) {
        const KZTreemapNodePtr node = view->nodeLists().reloadingNode(path);
        return node && !node->currentPath().empty();
    };

    // A reports: no repaint until the clock has moved on by the interval.
    ASSERT_TRUE(kztest::waitFor([&] { return reported(a); }));
    runMainQueue();
    EXPECT_EQ(counter.paints, atStart);
    clock.advance(0.020);
    runMainQueue();
    EXPECT_EQ(counter.paints, atStart);

    // D reports within the same interval: still one repaint, when A's interval ends.
    gates.open("D");
    ASSERT_TRUE(kztest::waitFor([&] { return reported(d); }));
    runMainQueue();
    EXPECT_EQ(counter.paints, atStart);
    clock.advance(0.013);
    runMainQueue();
    EXPECT_EQ(counter.paints, atStart + 1);
    // Nothing reported since: nothing more to paint, however long it stays quiet.
    clock.advance(1.0);
    runMainQueue();
    EXPECT_EQ(counter.paints, atStart + 1);

    gates.openAll();
    ASSERT_TRUE(kztest::waitFor(
        [&] { return !view->nodeLists().isReloadingPath(a) && !view->nodeLists().isReloadingPath(d); }));
    view->removeEventFilter(&counter);
}

TEST_F(Rescan, DestroyingTheViewCancelsItsRescans)
{
    for (int i = 0; i < 3000; ++i) kztest::makeFile(tmp / ("D/many/f" + std::to_string(i)), 10);
    KZDirectoryPtr r = scan(tmp.path());
    ASSERT_TRUE(r);
    auto view = makeView(r);
    const auto* d = item(*view, "D");
    ASSERT_NE(d, nullptr);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, d->rect.toRect().topLeft() + QPoint(3, 8));
    view->reloadSelectedDirectory();
    view.reset();
    kztest::drainBackgroundWork(); // the rescan has ended and what it sent has been handled
    // Nothing reached the destroyed view; the old record still stands in the tree.
    EXPECT_TRUE(childNamed(r, "D"));
}

} // namespace
