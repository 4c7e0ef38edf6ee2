// The results screen's rescan prompt on its own, watching a real scanned folder: when it asks,
// how often, what it passes over, and what "Rescan" and the suppression box do.
#include "app/TQRescanPrompt.h"
#include "model/KZIgnoreList.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDefaults.h"
#include "tests/app/TreemapScreenFixture.h"

#include <QSignalSpy>

namespace {

struct RescanPrompt : ::testing::Test {
    kztest::ScreenTestEnvironment env;
    kztest::TempDir tmp;
    QWidget window;
    KZIgnoreList ignoreList = KZIgnoreList::ignoreList();
    KZDirectoryPtr root;
    std::string ownPath;
    std::unique_ptr<TQRescanPrompt> prompt;
    uint64_t nextId = 1;

    void SetUp() override
    {
        Preferences::sharedPreferences().setMinFileSize(1000);
        kztest::makeFile(tmp / "docs/a.txt", 120000);
        root = screentest::scan(tmp.path());
        ASSERT_TRUE(root);
        prompt = std::make_unique<TQRescanPrompt>(root, &ignoreList, &window,
                                                  [this](const std::string& path) { return path == ownPath; });
    }
    void start()
    {
        prompt->addFileEventListener();
        ASSERT_TRUE(prompt->fileEventListener());
        ASSERT_TRUE(kztest::waitFor([&] { return prompt->fileEventListener()->isWatchingEverything(); }));
    }
    // A delivery of one new item at the path below the scanned folder (made on disk first).
    void deliver(const std::string& relative, int64_t size = 5000)
    {
        kztest::makeFile(tmp / relative, size);
        prompt->handleFileEvents({CDEvent::eventWithIdentifier(nextId++, QDateTime::currentDateTime(), tmp / relative,
                                                               CDEventFlags::ItemCreated)});
    }
    size_t prompts() const
    {
        return size_t(
            std::count_if(env.alerts.service.shown().begin(), env.alerts.service.shown().end(),
                          [](const auto& a) { return a.alert.messageText == TQRescanPrompt::RescanMessage; }));
    }
};

TEST_F(RescanPrompt, AChangeAsksOnceAMinuteAndRescanFollowsTheAnswerAMomentLater)
{
    start();
    QSignalSpy rescans(prompt.get(), &TQRescanPrompt::rescanRequested);
    QSignalSpy handled(prompt.get(), &TQRescanPrompt::fileEventHandled);
    env.alerts.service.answerNext(KZAlertFirstButtonReturn); // Rescan, answered later
    deliver("docs/new.bin");
    ASSERT_EQ(prompts(), 1u);
    EXPECT_EQ(handled.count(), 1);
    const auto& shown = env.alerts.service.shown().back();
    EXPECT_TRUE(shown.sheet && shown.window == &window && shown.alert.showsSuppressionButton);
    EXPECT_EQ(shown.alert.buttons, (QStringList{"Rescan", "No"}));
    EXPECT_FALSE(prompt->canShowFileChangeAlert()) << "while it is up";
    deliver("docs/meanwhile.bin");
    EXPECT_EQ(prompts(), 1u);

    env.clock.advance(0); // the answer
    ASSERT_TRUE(kztest::waitFor([&] { return prompt->canShowFileChangeAlert(); }));
    env.clock.advance(TQRescanPrompt::kRescanDelay - 0.01);
    EXPECT_EQ(rescans.count(), 0);
    env.clock.advance(0.02);
    EXPECT_EQ(rescans.count(), 1);

    // Within the minute nothing; after it, a prompt again.
    deliver("docs/second.bin");
    EXPECT_EQ(prompts(), 1u);
    EXPECT_FALSE(prompt->canShowFilesChangedAlertNow());
    env.clock.advance(TQRescanPrompt::kRescanPromptInterval);
    env.alerts.service.answerNext(KZAlertSecondButtonReturn, true); // No, and don't ask again
    deliver("docs/third.bin");
    EXPECT_EQ(prompts(), 2u);
    env.clock.advance(0);
    ASSERT_TRUE(kztest::waitFor([&] { return Preferences::sharedPreferences().suppressFileChangeAlert(); }));
    env.clock.advance(1);
    EXPECT_EQ(rescans.count(), 1) << "No asks for nothing";

    // Turned off: no watch at all from the next start on.
    prompt->removeFileEventListener();
    EXPECT_FALSE(prompt->fileEventListener());
    prompt->addFileEventListener();
    EXPECT_FALSE(prompt->fileEventListener());
}

TEST_F(RescanPrompt, OwnChangesTheSettingsFileAndABusyScreenBringNoPrompt)
{
    // The settings file, when it lives inside the scanned folder.
    KZUserDefaults::setStandardLocation(QString::fromStdString(tmp / "settings/settings.json"));
    Preferences::sharedPreferences().setMinFileSize(1000);
    start();
    deliver("settings/settings.json");
    deliver("settings/settings.json.tmp1234");
    // An archive being written.
    ownPath = tmp / "docs/archive.zip";
    deliver("docs/archive.zip");
    // The delete sheet is up.
    prompt->setCanShowFileChangeAlert(false);
    deliver("docs/while-busy.bin");
    EXPECT_EQ(prompts(), 0u);
    prompt->setCanShowFileChangeAlert(true);
    deliver("docs/after.bin");
    EXPECT_EQ(prompts(), 1u);
}

TEST_F(RescanPrompt, GoingWhileTheAnswerIsDueAsksForNothing)
{
    start();
    QSignalSpy rescans(prompt.get(), &TQRescanPrompt::rescanRequested);
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    deliver("docs/new.bin");
    ASSERT_EQ(prompts(), 1u);
    env.clock.advance(0);
    prompt.reset();
    env.clock.advance(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(rescans.count(), 0);
}

TEST_F(RescanPrompt, AWatchThatCanNotBeMadeLeavesThePromptOff)
{
    KZDirectoryPtr relative = KZDirectory::fileWithPath("relative/folder");
    TQRescanPrompt refused(relative, &ignoreList, &window, {});
    refused.addFileEventListener();
    EXPECT_FALSE(refused.fileEventListener());
    refused.handleFileEvents({});
    EXPECT_EQ(prompts(), 0u);
}

} // namespace
