// Which changes the results screen's watch counts, and which folders it watches, on a real
// scanned tree with deliveries made by hand.
#include "app/TQChangeWatcher.h"
#include "model/KZIgnoreList.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/TreemapScreenFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using screentest::childFolder;
using Folder = CDEventsFolders::Folder;

std::set<std::string> paths(const std::vector<Folder>& folders)
{
    std::set<std::string> out;
    for (const Folder& f : folders) out.insert(f.path);
    return out;
}

struct ChangeWatcherTest : ::testing::Test {
    kztest::ScopedSettings settings;
    kztest::TempDir tmp;
    KZDirectoryPtr root;
    KZIgnoreList ignoreList = KZIgnoreList::ignoreList();
    std::string ownPath;
    int changes = 0;
    std::vector<std::string> handled;
    bool canPrompt = true;
    std::unique_ptr<TQChangeWatcher> watcher;
    uint64_t nextId = 1;

    void SetUp() override
    {
        prefs().setMinFileSize(1000);
        prefs().setShowHiddenFiles(false);
        kztest::makeFile(tmp / "docs/a.txt", 120000);
        kztest::makeFile(tmp / "docs/small.txt", 10);
        kztest::makeFile(tmp / ".cache/sub/old", 5000);
        kztest::makeDir(tmp / ".cache/sub/visible");
        kztest::makeDir(tmp / "docs/.git/objects");
        kztest::makeDir(tmp / "skipped/inner");
        kztest::makeDir(tmp / "pkg.framework/Versions/A");
        for (int i = 0; i < 100; ++i) kztest::makeFile(tmp / ("many/f" + std::to_string(i)), 2000);
        root = screentest::scan(tmp.path());
        ASSERT_TRUE(root);
        make();
    }
    static Preferences& prefs() { return Preferences::sharedPreferences(); }
    void make()
    {
        TQChangeWatcher::Hooks hooks;
        hooks.canPrompt = [this] { return canPrompt; };
        hooks.isOwnChange = [this](const std::string& path) { return path == ownPath; };
        hooks.changed = [this] { ++changes; };
        hooks.handled = [this](const std::string& path) { handled.push_back(path); };
        watcher = std::make_unique<TQChangeWatcher>(root, &ignoreList, std::move(hooks));
    }
    CDEventPtr event(const std::string& relative, uint32_t flags)
    {
        return CDEvent::eventWithIdentifier(nextId++, QDateTime::currentDateTime(),
                                            relative.empty() ? tmp.path() : tmp / relative, flags);
    }
    CDEventPtr created(const std::string& relative) { return event(relative, CDEventFlags::ItemCreated); }
    bool counts(std::vector<CDEventPtr> events) const { return watcher->holdsChange(events); }
    bool counts(const CDEventPtr& e) const { return watcher->holdsChange({e}); }
};

TEST(ChangeWatcherHidden, AnyHiddenNameBelowTheScannedFolderHidesThePath)
{
    EXPECT_TRUE(TQChangeWatcher::isHiddenBelow("/home/me/.cache/sub/new", "/home/me"));
    EXPECT_TRUE(TQChangeWatcher::isHiddenBelow("/home/me/.cache", "/home/me"));
    EXPECT_TRUE(TQChangeWatcher::isHiddenBelow("/home/me/docs/.git/objects/ab", "/home/me"));
    EXPECT_FALSE(TQChangeWatcher::isHiddenBelow("/home/me/docs/report.v2.txt", "/home/me"));
    EXPECT_FALSE(TQChangeWatcher::isHiddenBelow("/home/me/a./b", "/home/me"));
    // The scanned folder's own name, and what lies above it, don't count.
    EXPECT_FALSE(TQChangeWatcher::isHiddenBelow("/home/.me/docs/new", "/home/.me"));
    EXPECT_FALSE(TQChangeWatcher::isHiddenBelow("/home/.me", "/home/.me"));
    EXPECT_FALSE(TQChangeWatcher::isHiddenBelow("/home/meow/.x", "/home/me")) << "not below it at all";
    EXPECT_TRUE(TQChangeWatcher::isHiddenBelow("/.snapshots/x", "/"));
    EXPECT_FALSE(TQChangeWatcher::isHiddenBelow("/home/x", "/"));
}

TEST_F(ChangeWatcherTest, ChangesUnderAHiddenFolderCountOnlyWhileHiddenItemsAreShown)
{
    kztest::makeFile(tmp / ".cache/sub/new", 5000);
    kztest::makeFile(tmp / ".cache/sub/visible/new", 5000);
    kztest::makeDir(tmp / ".cache/sub/folder");
    kztest::makeFile(tmp / "docs/.git/objects/pack", 5000);
    kztest::makeFile(tmp / ".config/app/new", 5000); // made after the scan: not in the tree
    EXPECT_FALSE(counts(created(".config/app/new")));
    EXPECT_FALSE(counts(created(".cache/sub/new")));
    EXPECT_FALSE(counts(created(".cache/sub/visible/new"))) << "a visible folder under a hidden one";
    EXPECT_FALSE(counts(created(".cache/sub/folder")));
    EXPECT_FALSE(counts(event(".cache/sub/old", CDEventFlags::ItemRemoved)));
    EXPECT_FALSE(counts(created("docs/.git/objects/pack")));

    prefs().setShowHiddenFiles(true);
    EXPECT_TRUE(counts(created(".cache/sub/new")));
    EXPECT_TRUE(counts(created(".cache/sub/visible/new")));
    EXPECT_TRUE(counts(created("docs/.git/objects/pack")));
    EXPECT_TRUE(counts(created(".config/app/new")));
}

TEST_F(ChangeWatcherTest, AScannedFolderWithAHiddenNameShowsItsChanges)
{
    kztest::makeFile(tmp / ".dotted/docs/a", 5000);
    root = screentest::scan(tmp / ".dotted");
    ASSERT_TRUE(root);
    make();
    kztest::makeFile(tmp / ".dotted/new.bin", 5000);
    kztest::makeFile(tmp / ".dotted/docs/new.bin", 5000);
    EXPECT_TRUE(counts(created(".dotted/new.bin")));
    EXPECT_TRUE(counts(created(".dotted/docs/new.bin")));
    EXPECT_FALSE(counts(created(".dotted/.inner/new.bin")));
}

TEST_F(ChangeWatcherTest, TheTestsOfAChange)
{
    kztest::makeFile(tmp / "docs/new.bin", 5000);
    kztest::makeFile(tmp / "docs/tiny", 10);
    kztest::makeDir(tmp / "docs/newfolder");
    kztest::makeFile(tmp / "deep/er/new.bin", 5000);
    EXPECT_TRUE(counts(created("docs/new.bin")));
    EXPECT_TRUE(counts(created("deep/er/new.bin"))) << "below a folder the tree doesn't hold";
    EXPECT_TRUE(counts(created("docs/newfolder"))) << "a new folder always counts";
    EXPECT_FALSE(counts(created("docs/tiny"))) << "smaller than the minimum size";
    EXPECT_FALSE(counts(created("docs/vanished"))) << "gone already: size 0";
    // A removed or renamed record counts by its recorded size.
    EXPECT_TRUE(counts(event("docs/a.txt", CDEventFlags::ItemRemoved)));
    EXPECT_TRUE(counts(event("docs/a.txt", CDEventFlags::ItemRenamed)));
    EXPECT_FALSE(counts(event("docs/small.txt", CDEventFlags::ItemRemoved)));
    // Content and attribute changes, the scanned folder itself, paths outside it: never.
    EXPECT_FALSE(counts(event("docs/new.bin", CDEventFlags::ItemModified | CDEventFlags::ItemIsFile)));
    EXPECT_FALSE(counts(event("docs/new.bin", CDEventFlags::ItemInodeMetaMod)));
    EXPECT_FALSE(counts(event("", CDEventFlags::RootChanged | CDEventFlags::ItemRemoved)));
    EXPECT_FALSE(counts(CDEvent::eventWithIdentifier(1, QDateTime(), tmp.path() + "x/new", CDEventFlags::ItemCreated)));
    // Ignored, or the program's own.
    ignoreList.setIgnoredPaths(QStringList{QString::fromStdString(tmp / "docs")});
    EXPECT_FALSE(counts(created("docs/new.bin")));
    ignoreList.setIgnoredPaths(std::nullopt);
    ownPath = tmp / "docs/new.bin";
    EXPECT_FALSE(counts(created("docs/new.bin")));
    // One change among many that don't is enough.
    std::vector<CDEventPtr> batch;
    for (int i = 0; i < 50; ++i) batch.push_back(created("many/f" + std::to_string(i)));
    batch.push_back(created("docs/tiny"));
    EXPECT_TRUE(counts(batch)) << "records of 2,000 bytes count by their recorded size";
    prefs().setMinFileSize(3000);
    EXPECT_FALSE(counts(batch));
    batch.push_back(created("docs/newfolder"));
    EXPECT_TRUE(counts(batch));
}

TEST_F(ChangeWatcherTest, ADeliveryIsPassedOverWhenNoPromptCanShowAndReportedAsOne)
{
    kztest::makeFile(tmp / "docs/new.bin", 5000);
    const std::vector<CDEventPtr> batch{created("docs/tiny"), created("docs/new.bin"), created("docs/newer")};
    canPrompt = false;
    watcher->handleEvents(batch);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(handled.size(), 3u) << "every event is looked at, prompt or not";
    canPrompt = true;
    watcher->handleEvents(batch);
    EXPECT_EQ(changes, 1) << "one delivery, one call";
    EXPECT_EQ(handled.size(), 6u);
}

TEST_F(ChangeWatcherTest, TheFoldersToWatchComeFromTheTree)
{
    // Made after the scan: not in the tree, so not listed.
    kztest::makeDir(tmp / "docs/later");
    ignoreList.setIgnoredPaths(QStringList{QString::fromStdString(tmp / "skipped")});
    const CDEventsFolders folders = TQChangeWatcher::foldersToWatch(root, &ignoreList, false);
    ASSERT_TRUE(folders.listed);
    EXPECT_EQ(paths(*folders.listed), (std::set<std::string>{tmp / "docs", tmp / "many", tmp / "pkg.framework"}));
    for (const Folder& f : *folders.listed) {
        EXPECT_EQ(f.walkBelow, f.path == tmp / "pkg.framework") << f.path << ": a package's folders are found on disk";
        EXPECT_FALSE(f.onOtherDevice);
    }
    // The rule for folders that appear later.
    ASSERT_TRUE(folders.skip);
    EXPECT_TRUE(folders.skip(tmp / ".new"));
    EXPECT_TRUE(folders.skip(tmp / "docs/.git/x"));
    EXPECT_TRUE(folders.skip(tmp / "skipped/new"));
    EXPECT_FALSE(folders.skip(tmp / "docs/later"));
    ignoreList.setIgnoredPaths(std::nullopt);
    EXPECT_TRUE(folders.skip(tmp / "skipped/new")) << "the rule keeps the list it was made with";

    const CDEventsFolders shown = TQChangeWatcher::foldersToWatch(root, &ignoreList, true);
    EXPECT_EQ(paths(*shown.listed),
              (std::set<std::string>{tmp / "docs", tmp / "docs/.git", tmp / "docs/.git/objects", tmp / "many",
                                     tmp / "pkg.framework", tmp / ".cache", tmp / ".cache/sub",
                                     tmp / ".cache/sub/visible", tmp / "skipped", tmp / "skipped/inner"}));
    EXPECT_FALSE(shown.skip(tmp / ".new"));
}

TEST(ChangeWatcherListing, ALargeTreeIsListedInSlicesThatSurviveChangesToTheTree)
{
    // A tree of records only: 40 folders of 200 folders each.
    KZDirectoryPtr root = KZDirectory::fileWithPath("/nowhere/root");
    std::vector<KZDirectoryPtr> top;
    for (int i = 0; i < 40; ++i) {
        KZDirectoryPtr d = KZDirectory::childWithName(root.get(), "d" + std::to_string(i));
        root->addChild(d.get());
        for (int j = 0; j < 200; ++j) {
            KZDirectoryPtr e = KZDirectory::childWithName(d.get(), "e" + std::to_string(j));
            d->addChild(e.get());
        }
        top.push_back(d);
    }
    const CDEventsFolders whole = TQChangeWatcher::foldersToWatch(root, nullptr, false);
    EXPECT_EQ(whole.listed->size(), 40u + 40u * 200u);

    TQChangeWatcher::FolderListing listing(root, nullptr, false);
    std::vector<Folder> out;
    int slices = 0;
    while (!listing.list(out, 0)) {
        ++slices;
        // Between slices the tree changes: a folder not yet listed leaves it, and its record
        // goes once nothing else holds it.
        if (slices == 2) {
            KZDirectory* last = top.back().get();
            root->removeChild(last);
            top.pop_back();
        }
        ASSERT_LT(slices, 1000);
    }
    EXPECT_GE(slices, 3) << "a slice looks at about a thousand children when its time is up";
    const std::set<std::string> listed = paths(out);
    EXPECT_EQ(listed.size(), out.size()) << "each folder once";
    EXPECT_TRUE(listed.count("/nowhere/root/d0/e199"));
    EXPECT_EQ(out.size(), 39u + 39u * 200u) << "none left out at the end of a slice";
}

TEST_F(ChangeWatcherTest, WatchingStartsAnewWhenHiddenItemsAreShownOrNot)
{
    watcher->start(0.05, 0x1D);
    ASSERT_TRUE(watcher->events());
    ASSERT_TRUE(kztest::waitFor([&] { return watcher->events()->isWatchingEverything(); }));
    const size_t hiddenOut = watcher->events()->watchCount();
    EXPECT_EQ(hiddenOut, 1u + 4u + 3u) << "the root; docs, many, skipped, skipped/inner; pkg.framework and below";
    prefs().setShowHiddenFiles(true);
    ASSERT_TRUE(watcher->events());
    ASSERT_TRUE(kztest::waitFor([&] { return watcher->events()->isWatchingEverything(); }));
    EXPECT_EQ(watcher->events()->watchCount(), hiddenOut + 5u) << ".cache, sub, visible, docs/.git, objects";
}

} // namespace
