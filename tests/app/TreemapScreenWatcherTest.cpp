// The results screen's watcher on a real folder and its rescan prompt.
#include "app/TQCompressingWindowController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQNotifications.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDefaults.h"
#include "platform/widgets/KZSound.h"
#include "tests/app/TreemapScreenFixture.h"

using screentest::child;
using screentest::childFolder;
using screentest::TreemapScreen;
using Screen = TQTreemapViewController;

struct TreemapScreenWatcher : TreemapScreen {
    std::vector<std::string> handled;
    int rescans = 0;

    void SetUp() override
    {
        makeTree();
        kztest::makeDir(tmp / "cache");
        kztest::makeDir(tmp / ".cache/sub/visible");
        openWatching();
    }
    void openWatching()
    {
        open();
        ASSERT_TRUE(screen->rescanPrompt()->fileEventListener());
        ASSERT_TRUE(
            kztest::waitFor([&] { return screen->rescanPrompt()->fileEventListener()->isWatchingEverything(); }));
        QObject::connect(screen->rescanPrompt(), &TQRescanPrompt::fileEventHandled, screen.get(),
                         [this](const QByteArray& path) { handled.push_back(kz::toStdString(path)); });
        KZNotificationCenter::defaultCenter().addObserver(
            TQNotification_Rescan, [this](const KZNotification&) { ++rescans; }, screen.get());
    }
    bool seen(const std::string& path) const
    {
        return std::find(handled.begin(), handled.end(), path) != handled.end();
    }
    // A change that never prompts (smaller than the minimum size); once the screen has looked
    // at it, every earlier change has been looked at too.
    void sync(const std::string& name)
    {
        kztest::makeFile(tmp / name, 0);
        ASSERT_TRUE(kztest::waitFor([&] { return seen(tmp / name); }, std::chrono::seconds(15))) << name;
    }
    size_t prompts() const
    {
        return size_t(std::count_if(alerts().begin(), alerts().end(), [](const auto& a) {
            return a.alert.messageText == TQRescanPrompt::RescanMessage;
        }));
    }
};

TEST_F(TreemapScreenWatcher, ANewFileBringsThePromptOnceAMinuteAndRescanIsAskedForAfterIt)
{
    env.alerts.service.answerNext(KZAlertFirstButtonReturn); // Rescan
    kztest::makeFile(tmp / "docs/new.bin", 5000);
    ASSERT_TRUE(kztest::waitFor([&] { return prompts() == 1; }, std::chrono::seconds(15)));
    const auto& shown = alerts().back();
    EXPECT_TRUE(shown.sheet && shown.window == window.get() && shown.alert.showsSuppressionButton);
    EXPECT_EQ(shown.alert.buttons, (QStringList{"Rescan", "No"}));
    EXPECT_EQ(shown.alert.suppressionTitle, TQRescanPrompt::RescanSuppression);

    // The answer arrives; the rescan is asked for 0.4 s later.
    env.clock.advance(0);
    ASSERT_TRUE(kztest::waitFor([&] { return screen->rescanPrompt()->canShowFileChangeAlert(); }));
    env.clock.advance(0.39);
    EXPECT_EQ(rescans, 0);
    env.clock.advance(0.02);
    EXPECT_EQ(rescans, 1);

    // Another change within the minute: no prompt; a new folder after it: one.
    kztest::makeFile(tmp / "docs/second.bin", 5000);
    sync("sync1");
    EXPECT_EQ(prompts(), 1u);
    env.clock.advance(60);
    env.alerts.service.answerNext(KZAlertFirstButtonReturn, true); // Rescan, and don't ask again
    kztest::makeDir(tmp / "newfolder");
    ASSERT_TRUE(kztest::waitFor([&] { return prompts() == 2; }, std::chrono::seconds(15)));
    env.clock.advance(0);
    ASSERT_TRUE(kztest::waitFor([&] { return prefs().suppressFileChangeAlert(); }));
    // The screen goes before the request is due: no rescan is asked for.
    disappear();
    env.clock.advance(1);
    EXPECT_EQ(rescans, 1);
}

TEST_F(TreemapScreenWatcher, SmallHiddenIgnoredAndOwnChangesBringNoPrompt)
{
    // Every item of a byte or more counts from here on (the settings file too).
    prefs().setMinFileSize(1);
    // Smaller than the minimum size.
    kztest::makeFile(tmp / "docs/tiny", 0);
    // Hidden, while hidden items are not shown.
    kztest::makeFile(tmp / ".secret", 5000);
    // Inside a folder the user ignores.
    prefs().setIgnoredPaths(QStringList{QString::fromStdString(tmp / "cache")});
    kztest::makeFile(tmp / "cache/blob", 5000);
    // The settings file, when it lives inside the scanned folder.
    KZUserDefaults::setStandardLocation(QString::fromStdString(tmp / "docs/settings.json"));
    prefs().setUseDepth(!prefs().useDepth());
    prefs().setUseDepth(!prefs().useDepth());
    ASSERT_TRUE(kztest::exists(tmp / "docs/settings.json"));
    // Our own delete.
    select({"big.bin"});
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    ASSERT_TRUE(waitForRemoval());
    ASSERT_FALSE(kztest::exists(tmp / "big.bin"));
    sync("sync");
    EXPECT_EQ(prompts(), 0u);
    EXPECT_TRUE(seen(tmp / "docs/tiny"));
    EXPECT_TRUE(seen(tmp / ".secret"));
    EXPECT_FALSE(seen(tmp / "big.bin")) << "the program's own change is not even reported";

    // With hidden items shown, a hidden change counts.
    prefs().setShowHiddenFiles(true);
    kztest::makeFile(tmp / ".another", 5000);
    ASSERT_TRUE(kztest::waitFor([&] { return prompts() == 1; }, std::chrono::seconds(15)));
}

TEST_F(TreemapScreenWatcher, ChangesUnderAHiddenFolderBringNoPromptWhileHiddenItemsAreNotShown)
{
    const size_t watches = screen->rescanPrompt()->fileEventListener()->watchCount();
    kztest::makeFile(tmp / ".cache/sub/new", 5000);
    kztest::makeFile(tmp / ".cache/sub/visible/new", 5000); // a visible folder under a hidden one
    kztest::makeDir(tmp / ".cache/sub/newfolder");
    kztest::makeFile(tmp / ".config/app/settings", 5000); // a hidden folder made later
    sync("sync1");
    EXPECT_EQ(prompts(), 0u);
    // A visible change still prompts.
    kztest::makeFile(tmp / "docs/new.bin", 5000);
    ASSERT_TRUE(kztest::waitFor([&] { return prompts() == 1; }, std::chrono::seconds(15)));
    env.clock.advance(0); // the prompt is answered
    ASSERT_TRUE(kztest::waitFor([&] { return screen->rescanPrompt()->canShowFileChangeAlert(); }));

    // With hidden items shown, the hidden folders are watched too, and their changes count.
    env.clock.advance(61);
    prefs().setShowHiddenFiles(true);
    ASSERT_TRUE(screen->rescanPrompt()->fileEventListener());
    ASSERT_TRUE(kztest::waitFor([&] { return screen->rescanPrompt()->fileEventListener()->isWatchingEverything(); }));
    EXPECT_GT(screen->rescanPrompt()->fileEventListener()->watchCount(), watches);
    kztest::makeFile(tmp / ".cache/sub/visible/another", 5000);
    ASSERT_TRUE(kztest::waitFor([&] { return prompts() == 2; }, std::chrono::seconds(15)));
}

TEST_F(TreemapScreenWatcher, TheScannedFolderItselfRemovedWhileShownIsNoCrash)
{
    kztest::removeTree(tmp.path());
    ASSERT_TRUE(kztest::waitFor([&] { return seen(tmp.path()); }, std::chrono::seconds(15)));
    EXPECT_EQ(prompts(), 1u) << "its contents going is a change; the folder itself is not looked up";
    view()->zoomToDirectory(childFolder(root, "docs")); // the screen still works
    screen->toolbarItem(TQTreemapToolbar::ZoomItem)->trigger();
    EXPECT_EQ(view()->directory(), root);
}

TEST_F(TreemapScreen, AWatcherThatCanNotBeMadeLeavesTheScreenWorking)
{
    // A root the watcher refuses (not an absolute path).
    KZDirectoryPtr relative = KZDirectory::fileWithPath("relative/folder");
    relative->addChild(KZFile::childWithName(relative.get(), "x").get());
    openWith({KZFilePtr(relative)});
    EXPECT_FALSE(screen->rescanPrompt()->fileEventListener());
    EXPECT_TRUE(screen->hasLocalEventListener());
}

namespace {

// A folder with sub-folders two deep and files in each.
void makeNested(const std::string& top)
{
    for (const char* sub : {"a/x", "a/y", "b/z"})
        for (int i = 0; i < 20; ++i) kztest::makeFile(top + "/" + sub + "/f" + std::to_string(i), 5000);
}

bool isAtOrBelow(const std::string& path, const std::string& folder)
{
    return path == folder || path.rfind(folder + "/", 0) == 0;
}

} // namespace

// The program's own deletions, moves to the Trash and compressions bring no prompt: the
// watcher is told about them and doesn't even report them.
struct TreemapScreenOwnChanges : TreemapScreenWatcher {
    void SetUp() override
    {
        makeTree();
        for (const char* name : {"queued-removed", "queued-trashed", "deleted", "compressed"}) makeNested(tmp / name);
        openWatching();
        // Every item of a byte or more counts, and hidden ones too (the private names the
        // remover sets items aside under begin with "."); a change of size 0 never prompts.
        prefs().setMinFileSize(1);
        prefs().setShowHiddenFiles(true);
        ASSERT_TRUE(screen->rescanPrompt()->fileEventListener());
        ASSERT_TRUE(
            kztest::waitFor([&] { return screen->rescanPrompt()->fileEventListener()->isWatchingEverything(); }));
    }
    bool seenAtOrBelow(const std::string& folder) const
    {
        return std::any_of(handled.begin(), handled.end(), [&](const std::string& p) {
            return isAtOrBelow(p, folder) || p.find("/.sizemere-removing-") != std::string::npos;
        });
    }
    void emptyTheQueue()
    {
        KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash);
        ASSERT_TRUE(screen->removalFlow()->emptyWindowController());
        EXPECT_FALSE(screen->rescanPrompt()->canShowFileChangeAlert());
        ASSERT_TRUE(kztest::waitFor([&] { return screen->removalFlow()->emptyWindowController()->isFinished(); }));
        env.clock.advance(TQEmptyTrashWindowController::closeDelay);
        ASSERT_TRUE(kztest::waitFor([&] { return !screen->runLedger()->isEmptying(); }));
        EXPECT_TRUE(screen->rescanPrompt()->canShowFileChangeAlert());
    }
};

TEST_F(TreemapScreenOwnChanges, EmptyingTheQueueThroughTheSheetRemovingOrTrashing)
{
    prefs().setUseDeleteQueue(true);
    for (const bool useTrash : {false, true}) {
        prefs().setUseTrash(useTrash);
        const std::string name = useTrash ? "queued-trashed" : "queued-removed";
        select({name});
        screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
        ASSERT_EQ(TQDeleteQueue::sharedInstance().queue().size(), 1u);
        emptyTheQueue();
        ASSERT_FALSE(kztest::exists(tmp / name));
        sync("sync-" + name);
        EXPECT_EQ(prompts(), 0u) << name;
        EXPECT_FALSE(seenAtOrBelow(tmp / name)) << name;
    }
    // The screen still prompts for someone else's change.
    kztest::makeFile(tmp / "docs/new.bin", 5000);
    EXPECT_TRUE(kztest::waitFor([&] { return prompts() == 1; }, std::chrono::seconds(15)));
}

TEST_F(TreemapScreenOwnChanges, AConfirmedDeleteAndACompressionThatRemovesTheOriginals)
{
    select({"deleted"});
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    ASSERT_TRUE(waitForRemoval());
    ASSERT_FALSE(kztest::exists(tmp / "deleted"));

    kz::setTriTonePlayerForTesting([] {});
    prefs().setDeleteCompressedOriginal(true);
    select({"compressed"});
    screen->toolbarItem(TQTreemapToolbar::CompressItem)->trigger();
    ASSERT_EQ(screen->removalFlow()->compressingWindowControllers().size(), 1u);
    TQCompressingWindowController* c = screen->removalFlow()->compressingWindowControllers().front();
    ASSERT_TRUE(kztest::waitFor([&] { return c->state() == TQCompressingWindowController::State::Complete; }));
    EXPECT_TRUE(c->originalDeleted());
    c->performClose();
    kz::setTriTonePlayerForTesting({});
    ASSERT_FALSE(kztest::exists(tmp / "compressed"));
    ASSERT_TRUE(kztest::exists(tmp / "compressed.zip"));

    sync("sync");
    EXPECT_EQ(prompts(), 0u);
    EXPECT_FALSE(seenAtOrBelow(tmp / "deleted"));
    EXPECT_FALSE(seenAtOrBelow(tmp / "compressed"));
    EXPECT_FALSE(seen(tmp / "compressed.zip"));
}

TEST_F(TreemapScreenOwnChanges, NoPromptWhileTheSheetEmptiesTheQueue)
{
    // One file can't go: the sheet stays up with its list of failures.
    prefs().setUseDeleteQueue(true);
    prefs().setUseTrash(false);
    const std::string stuck = tmp / "queued-removed/a/x/f3";
    kztest::ScopedFaultHook faults([stuck](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && path == stuck ? EACCES : 0;
    });
    select({"queued-removed"});
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash);
    ASSERT_TRUE(screen->removalFlow()->emptyWindowController());
    ASSERT_TRUE(kztest::waitFor([&] { return screen->removalFlow()->emptyWindowController()->isFinished(); }));
    ASSERT_TRUE(kztest::exists(stuck));
    // Someone else's change while the sheet is up: passed over.
    kztest::makeFile(tmp / "docs/while-the-sheet-is-up.bin", 5000);
    ASSERT_TRUE(
        kztest::waitFor([&] { return seen(tmp / "docs/while-the-sheet-is-up.bin"); }, std::chrono::seconds(15)));
    EXPECT_EQ(prompts(), 0u);
    EXPECT_FALSE(seenAtOrBelow(tmp / "queued-removed")) << "the put-back is the program's own";

    screen->removalFlow()->emptyWindowController()->close();
    ASSERT_TRUE(kztest::waitFor(
        [&] { return !screen->runLedger()->isEmptying() && screen->runLedger()->pendingFolderScans() == 0; }));
    TQDeleteQueue::sharedInstance().clearQueue();
    sync("sync");
    EXPECT_EQ(prompts(), 0u);
    // Once it has gone, a change prompts again.
    kztest::makeFile(tmp / "docs/after-the-sheet.bin", 5000);
    EXPECT_TRUE(kztest::waitFor([&] { return prompts() == 1; }, std::chrono::seconds(15)));
}

// The system drops events when the program deletes faster than the screen reads them.
struct TreemapScreenDroppedEvents : TreemapScreenWatcher {
    size_t queue = kztest::watcherEventQueueLength();
    void SetUp() override
    {
        if (queue == 0 || queue > 200000) GTEST_SKIP() << "the system queues " << queue << " events";
        makeTree();
        kztest::makeFolderOfEmptyFiles(tmp / "flood", queue + 1000);
        makeNested(tmp / "nested");
        openWatching();
    }
};

TEST_F(TreemapScreenDroppedEvents, TheSheetsOwnDeletionBringsNoPrompt)
{
    // Every item counts, whatever its size.
    prefs().setMinFileSize(0);
    prefs().setUseTrash(false);
    TQDeleteQueue::sharedInstance().addFilesToQueue({child(root, "flood"), child(root, "nested")});
    // The screen is busy while the large folder goes: the system's queue overflows and the
    // move of the next folder to its private name is lost. Its files go once the screen has
    // read what the system kept.
    const std::string nested = tmp / "nested";
    kztest::UnlinkGate gate(nested);
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash);
    ASSERT_TRUE(screen->removalFlow()->emptyWindowController());
    ASSERT_TRUE(gate.waitUntilReached());
    const bool read = kztest::waitFor([&] { return screen->rescanPrompt()->fileEventListener()->isIdle(); });
    gate.release();
    ASSERT_TRUE(read);
    ASSERT_TRUE(kztest::waitFor([&] { return screen->removalFlow()->emptyWindowController()->isFinished(); },
                                std::chrono::seconds(60)));
    env.clock.advance(TQEmptyTrashWindowController::closeDelay);
    ASSERT_TRUE(kztest::waitFor([&] { return !screen->runLedger()->isEmptying(); }));
    ASSERT_FALSE(kztest::exists(nested));
    // What the watcher reads after the sheet has gone is looked at.
    sync(".sync");
    EXPECT_EQ(prompts(), 0u);
    EXPECT_FALSE(
        std::any_of(handled.begin(), handled.end(), [&](const std::string& p) { return isAtOrBelow(p, nested); }));
}
