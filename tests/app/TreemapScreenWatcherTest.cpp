// The results screen's watcher on a real folder and its rescan prompt.
#include "app/TQNotifications.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDefaults.h"
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
        ASSERT_TRUE(screen->fileEventListener());
        ASSERT_TRUE(kztest::waitFor([&] { return screen->fileEventListener()->isWatchingEverything(); }));
        QObject::connect(screen.get(), &Screen::fileEventHandled, screen.get(),
                         [this](const QByteArray& path) { handled.push_back(kz::toStdString(path)); });
        KZNotificationCenter::defaultCenter().addObserver(TQNotification_Rescan,
                                                          [this](const KZNotification&) { ++rescans; }, screen.get());
    }
    bool seen(const std::string& path) const { return std::find(handled.begin(), handled.end(), path) != handled.end(); }
    // A change that never prompts (smaller than the minimum size); once the screen has looked
    // at it, every earlier change has been looked at too.
    void sync(const std::string& name)
    {
        kztest::makeFile(tmp / name, 0);
        ASSERT_TRUE(kztest::waitFor([&] { return seen(tmp / name); }, std::chrono::seconds(15))) << name;
    }
    size_t prompts() const
    {
        return size_t(std::count_if(alerts().begin(), alerts().end(),
                                    [](const auto& a) { return a.alert.messageText == Screen::RescanMessage; }));
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
    EXPECT_EQ(shown.alert.suppressionTitle, Screen::RescanSuppression);

    // The answer arrives; the rescan is asked for 0.4 s later.
    env.clock.advance(0);
    ASSERT_TRUE(kztest::waitFor([&] { return screen->canShowFileChangeAlert(); }));
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
    screen->toolbarItem(Screen::DeleteItem)->trigger();
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
    const size_t watches = screen->fileEventListener()->watchCount();
    kztest::makeFile(tmp / ".cache/sub/new", 5000);
    kztest::makeFile(tmp / ".cache/sub/visible/new", 5000); // a visible folder under a hidden one
    kztest::makeDir(tmp / ".cache/sub/newfolder");
    kztest::makeFile(tmp / ".config/app/settings", 5000);    // a hidden folder made later
    sync("sync1");
    EXPECT_EQ(prompts(), 0u);
    // A visible change still prompts.
    kztest::makeFile(tmp / "docs/new.bin", 5000);
    ASSERT_TRUE(kztest::waitFor([&] { return prompts() == 1; }, std::chrono::seconds(15)));
    env.clock.advance(0); // the prompt is answered
    ASSERT_TRUE(kztest::waitFor([&] { return screen->canShowFileChangeAlert(); }));

    // With hidden items shown, the hidden folders are watched too, and their changes count.
    env.clock.advance(61);
    prefs().setShowHiddenFiles(true);
    ASSERT_TRUE(screen->fileEventListener());
    ASSERT_TRUE(kztest::waitFor([&] { return screen->fileEventListener()->isWatchingEverything(); }));
    EXPECT_GT(screen->fileEventListener()->watchCount(), watches);
    kztest::makeFile(tmp / ".cache/sub/visible/another", 5000);
    ASSERT_TRUE(kztest::waitFor([&] { return prompts() == 2; }, std::chrono::seconds(15)));
}

TEST_F(TreemapScreenWatcher, TheScannedFolderItselfRemovedWhileShownIsNoCrash)
{
    kztest::removeTree(tmp.path());
    ASSERT_TRUE(kztest::waitFor([&] { return seen(tmp.path()); }, std::chrono::seconds(15)));
    EXPECT_EQ(prompts(), 1u) << "its contents going is a change; the folder itself is not looked up";
    view()->zoomToDirectory(childFolder(root, "docs")); // the screen still works
    screen->toolbarItem(Screen::ZoomItem)->trigger();
    EXPECT_EQ(view()->directory(), root);
}

TEST_F(TreemapScreen, AWatcherThatCanNotBeMadeLeavesTheScreenWorking)
{
    // A root the watcher refuses (not an absolute path).
    KZDirectoryPtr relative = KZDirectory::fileWithPath("relative/folder");
    relative->addChild(KZFile::childWithName(relative.get(), "x").get());
    openWith({KZFilePtr(relative)});
    EXPECT_FALSE(screen->fileEventListener());
    EXPECT_TRUE(screen->hasLocalEventListener());
}
