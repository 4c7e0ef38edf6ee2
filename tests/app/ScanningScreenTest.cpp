// The scanning screen against real scans of temporary folders: live counters, the result and
// the wizard's notifications, the no-results state, cancelling, the screen going away at any
// point of a scan, and the flashing counter on the manual clock.

#include "app/KZLCDLabel.h"
#include "app/KZLCDStatusViewController.h"
#include "app/TQFileScanViewController.h"
#include "app/TQNotifications.h"
#include "kit/KZController.h"
#include "kit/KZSpaceLabel.h"
#include "model/KZFileScanner.h"
#include "platform/KZFileFaults.h"
#include "platform/KZNotificationCenter.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ScanTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QAccessible>
#include <QLabel>
#include <QPointer>

#include <gtest/gtest.h>

namespace {

struct ScanFixture {
    kztest::ScreenTestEnvironment env;
    std::unique_ptr<KZLCDStatusViewController> panel = controller<KZLCDStatusViewController>();

    std::unique_ptr<TQFileScanViewController> screenFor(const std::string& path)
    {
        auto screen = TQFileScanViewController::controllerWithFilePath(path);
        screen->setLcdViewController(panel.get());
        screen->view();
        return screen;
    }
    std::unique_ptr<kztest::ScanScreenProbe> probe()
    {
        auto screen = controller<kztest::ScanScreenProbe>();
        screen->setLcdViewController(panel.get());
        screen->view();
        return screen;
    }
};

// A folder of known contents: 7 items, 3800 bytes of files plus the link's own size.
struct SampleFolder {
    kztest::TempDir dir;
    double bytes = 0;
    SampleFolder()
    {
        kztest::makeFile(dir / "a/one", 1000);
        kztest::makeFile(dir / "a/b/two", 2500);
        kztest::makeFile(dir / "odd \xff name", 300);
        kztest::makeDir(dir / "empty");
        kztest::makeSymlink("a", dir / "link");
        bytes = 1000 + 2500 + 300 + 1; // the link holds the one byte "a"
    }
};

} // namespace

TEST(ScanningScreen, CountersFollowARealScanAndAResultMovesTheWizardOn)
{
    for (const bool active : {false, true}) {
        SCOPED_TRACE(active ? "program active" : "program in the background");
        ScanFixture f;
        f.env.application.services.active = active;
        SampleFolder folder;
        kztest::WizardRecorder wizard;
        auto screen = f.screenFor(folder.dir.path());
        screen->kz_viewDidAppear();
        EXPECT_TRUE(screen->isScanning());
        EXPECT_EQ(f.panel->currentView(), f.panel->scanningView());
        kztest::settle();

        EXPECT_FALSE(screen->isScanning());
        EXPECT_EQ(screen->filesScannedLabel()->stringValue(), QStringLiteral("7"));
        EXPECT_EQ(screen->totalScannedLabel()->size(), folder.bytes);
        ASSERT_EQ(screen->scanResult().size(), 1u);
        EXPECT_EQ(screen->scanResult().front()->fileSize(), folder.bytes);
        EXPECT_EQ(f.panel->currentView(), f.panel->finishedView());
        EXPECT_FALSE(f.panel->isScanningTimerRunning());
        EXPECT_EQ(wizard.names, (QStringList{TQNotifcation_HideCancelButton, TQNotification_EnableNextButton,
                                             TQNotification_GoNext}));
        ASSERT_EQ(f.env.application.services.attentionRequests.size(), 1u);
        EXPECT_EQ(f.env.application.services.attentionRequests.front(), screen->view()->window());
        if (active) {
            EXPECT_TRUE(f.env.notifier.notifier.delivered.empty());
        } else {
            ASSERT_EQ(f.env.notifier.notifier.delivered.size(), 1u);
            const KZUserNotification& n = f.env.notifier.notifier.delivered.front();
            EXPECT_EQ(n.title, QStringLiteral("Sizemere"));
            const QString name = QString::fromStdString(folder.dir.path()).section(QLatin1Char('/'), -1);
            EXPECT_EQ(n.subtitle, QStringLiteral("Finished scanning: %1").arg(name));
            EXPECT_TRUE(n.playsSound);
        }
        EXPECT_FALSE(screen->isQuietTimerRunning());
        EXPECT_EQ(screen->filesScannedOpacity(), 1.0);

        // Shown again with a result: no new scan. Cleared for a rescan: both counters at 0.
        const auto scanner = screen->fileScanner();
        screen->kz_viewDidAppear();
        EXPECT_EQ(screen->fileScanner(), scanner);
        screen->clear();
        EXPECT_EQ(screen->filesScannedLabel()->stringValue(), QStringLiteral("0"));
        EXPECT_EQ(screen->totalScannedLabel()->size(), 0.0);
    }
}

TEST(ScanningScreen, ARescanKeepsTheOldResultUntilANewOneArrives)
{
    ScanFixture f;
    SampleFolder folder;
    auto screen = f.screenFor(folder.dir.path());
    screen->startScan();
    kztest::settle();
    ASSERT_EQ(screen->scanResult().size(), 1u);
    const KZFile* first = screen->scanResult().front().get();

    // The folder empties; the rescan ends without results and the old result stays.
    kztest::removeTree(folder.dir / "a");
    kztest::removeTree(folder.dir / "odd \xff name");
    kztest::removeTree(folder.dir / "empty");
    kztest::removeTree(folder.dir / "link");
    screen->startScan();
    kztest::settle();
    EXPECT_EQ(f.panel->currentView(), f.panel->noDuplicatesView());
    ASSERT_EQ(screen->scanResult().size(), 1u);
    EXPECT_EQ(screen->scanResult().front().get(), first);
}

TEST(ScanningScreen, NothingToShowEndsInTheNoResultsState)
{
    struct Case {
        const char* what;
        std::function<std::string(kztest::TempDir&)> make;
        int hideCancels;
    };
    const std::vector<Case> cases{
        {"an empty folder", [](kztest::TempDir& d) { return d.path(); }, 2},
        {"only empty files",
         [](kztest::TempDir& d) {
             kztest::makeFile(d / "zero", 0);
             return d.path();
         },
         2},
        {"a folder that is gone", [](kztest::TempDir& d) { return d / "missing"; }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScanFixture f;
        f.env.application.services.active = false;
        kztest::TempDir dir;
        kztest::WizardRecorder wizard;
        auto screen = f.screenFor(c.make(dir));
        screen->startScan();
        kztest::settle();
        EXPECT_FALSE(screen->isScanning());
        EXPECT_EQ(f.panel->currentView(), f.panel->noDuplicatesView());
        EXPECT_TRUE(screen->scanResult().empty());
        EXPECT_GE(wizard.count(TQNotifcation_HideCancelButton), 1);
        if (c.hideCancels) {
            EXPECT_EQ(wizard.count(TQNotifcation_HideCancelButton), c.hideCancels);
        }
        // Next stays disabled: the wizard is not told to go on.
        EXPECT_EQ(wizard.count(TQNotification_EnableNextButton), 0);
        EXPECT_EQ(wizard.count(TQNotification_GoNext), 0);
        EXPECT_TRUE(f.env.application.services.attentionRequests.empty());
        EXPECT_TRUE(f.env.notifier.notifier.delivered.empty());
        // The screen is shown again without a result: it tries again.
        screen->kz_viewDidAppear();
        EXPECT_TRUE(screen->isScanning());
        kztest::settle();
    }
}

TEST(ScanningScreen, AFailureInsideTheStartIsHandledOnceTheStartHasReturned)
{
    ScanFixture f;
    kztest::WizardRecorder wizard;
    auto screen = f.screenFor(""); // no path: the scanner fails inside start()
    screen->startScan();
    // Whoever started the scan can still show its Cancel button; the hide comes after it.
    EXPECT_TRUE(wizard.names.isEmpty());
    EXPECT_TRUE(screen->isScanning());
    KZNotificationCenter::defaultCenter().post(TQNotifcation_ShowCancelButton);
    kztest::settle();
    EXPECT_FALSE(screen->isScanning());
    EXPECT_EQ(wizard.names, (QStringList{TQNotifcation_ShowCancelButton, TQNotifcation_HideCancelButton}));
    EXPECT_EQ(f.panel->currentView(), f.panel->noDuplicatesView());
}

TEST(ScanningScreen, AFailureWithAMessageShowsItInThePanel)
{
    ScanFixture f;
    auto screen = f.probe();
    screen->scanDidFail(QStringLiteral("“/srv/x” could not be opened"));
    EXPECT_EQ(f.panel->currentView(), f.panel->noDuplicatesView());
    EXPECT_EQ(f.panel->noDuplicatesDetailLabel()->text(), QStringLiteral("“/srv/x” could not be opened"));
}

TEST(ScanningScreen, AFolderThatCanNotBeOpenedSaysWhyInFullWhereTheUserLooks)
{
    ScanFixture f;
    kztest::TempDir dir;
    const std::string missing = dir / "a folder with a rather long name that is not there at all";
    auto screen = f.screenFor(missing);
    screen->startScan();
    kztest::settle();
    EXPECT_FALSE(screen->isScanning());
    EXPECT_EQ(f.panel->currentView(), f.panel->noDuplicatesView());

    // The whole message, reason included, under the counters: no hover needed.
    QLabel* failure = screen->failureLabel();
    EXPECT_TRUE(failure->isVisibleTo(screen->view()));
    const QString text = failure->text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Could not open the folder"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(missing)));
    EXPECT_TRUE(text.contains(QStringLiteral("No such file or directory"))) << text.toStdString();
    EXPECT_TRUE(failure->wordWrap());

    // A screen reader reads it whole, on the screen and in the toolbar panel.
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(failure);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), text);
    QAccessibleInterface* detail = QAccessible::queryAccessibleInterface(f.panel->noDuplicatesDetailLabel());
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->text(QAccessible::Name), text);

    // A scan that starts again takes the message away.
    kztest::makeFile(missing + "/now", 10);
    screen->startScan();
    EXPECT_FALSE(failure->isVisibleTo(screen->view()));
    EXPECT_TRUE(failure->text().isEmpty());
    kztest::settle();
}

TEST(ScanningScreen, TheResultKeepsTheFoldersThatCouldNotBeRead)
{
    ScanFixture f;
    SampleFolder folder;
    kztest::makeFile(folder.dir / "locked/inside", 10);
    const std::string locked = folder.dir / "locked";
    kztest::ScopedFaultHook hook([&](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Search && path == locked ? EACCES : 0;
    });
    auto screen = f.screenFor(folder.dir.path());
    screen->startScan();
    kztest::settle();
    ASSERT_FALSE(screen->scanResult().empty());
    EXPECT_EQ(screen->scanResult().front()->fileSize(), folder.bytes);
    EXPECT_EQ(screen->unreadableFolderCount(), 1);
    EXPECT_EQ(screen->unreadableFolders(), (std::vector<std::string>{locked + "/"}));
}

TEST(ScanningScreen, CancelPostsStartOverAndTheHandlerMayReleaseTheScreen)
{
    ScanFixture f;
    SampleFolder folder;
    kztest::ScanGate gate("/one");
    kztest::WizardRecorder wizard;
    auto owned = f.screenFor(folder.dir.path());
    owned->setScannerPreparationForTesting([&](KZFileScanner& s) { gate.install(s); });
    QPointer<TQFileScanViewController> screen = owned.get();
    // The main window's start-over: it lets go of the screen from inside the handler.
    QObject handlerContext;
    KZNotificationCenter::defaultCenter().addObserver(
        TQNotification_StartOver,
        [&](const KZNotification&) {
            if (owned) owned.release()->deleteLater();
        },
        &handlerContext);

    screen->startScan();
    f.panel->showAvailableSpaceView(); // as if the wizard had moved the panel meanwhile
    gate.waitUntilReached();
    screen->cancel();
    EXPECT_TRUE(screen->isScanning()) << "the cancellation arrives later";
    gate.open();
    kztest::settle();

    EXPECT_TRUE(screen.isNull()) << "released by the handler";
    EXPECT_EQ(owned, nullptr);
    EXPECT_EQ(wizard.names, (QStringList{TQNotification_StartOver}));
    EXPECT_EQ(f.panel->currentView(), f.panel->availableSpaceView()) << "cancelling leaves the panel alone";
}

TEST(ScanningScreen, NothingReachesAScreenDestroyedAtAnyPointOfAScan)
{
    enum class Point { RightAfterStart, MidWalk, WalkDoneReportsQueued, AfterCancel };
    for (Point point : {Point::RightAfterStart, Point::MidWalk, Point::WalkDoneReportsQueued, Point::AfterCancel}) {
        SCOPED_TRACE(int(point));
        ScanFixture f;
        SampleFolder folder;
        kztest::ScanGate gate(point == Point::MidWalk ? "/two" : "/never-matches");
        auto screen = f.screenFor(folder.dir.path());
        screen->setScannerPreparationForTesting([&](KZFileScanner& s) { gate.install(s); });
        screen->startScan();
        std::weak_ptr<KZFileScanner> scanner = screen->fileScanner();
        switch (point) {
        case Point::RightAfterStart:
            break;
        case Point::MidWalk:
            gate.waitUntilReached();
            break;
        case Point::WalkDoneReportsQueued:
            kz::backgroundPool().waitForDone();
            break;
        case Point::AfterCancel:
            screen->cancel();
            break;
        }
        const QString panelTitle = f.panel->scanningTitleLabel()->text();
        kztest::WizardRecorder wizard;
        screen.reset();
        gate.open();
        kztest::settle();
        EXPECT_TRUE(wizard.names.isEmpty()) << wizard.names.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(f.panel->currentView(), f.panel->scanningView());
        EXPECT_EQ(f.panel->scanningTitleLabel()->text(), panelTitle);
        EXPECT_TRUE(f.env.application.services.attentionRequests.empty());
        EXPECT_TRUE(scanner.expired()) << "the scan lets go of its scanner when it ends";
    }
}

TEST(ScanningScreen, ANewScanSilencesAndCancelsTheRunningOne)
{
    ScanFixture f;
    SampleFolder folder;
    kztest::ScanGate gate("/one");
    kztest::WizardRecorder wizard;
    auto screen = f.screenFor(folder.dir.path());
    bool first = true;
    screen->setScannerPreparationForTesting([&](KZFileScanner& s) {
        if (first) gate.install(s);
        first = false;
    });
    screen->startScan();
    gate.waitUntilReached();
    std::shared_ptr<KZFileScanner> old = screen->fileScanner();
    screen->kz_viewDidAppear(); // shown again while it scans: nothing new starts
    EXPECT_EQ(screen->fileScanner(), old);
    EXPECT_FALSE(old->wasCancelled());
    screen->startScan();
    EXPECT_TRUE(old->wasCancelled());
    EXPECT_NE(screen->fileScanner(), old);
    EXPECT_TRUE(screen->isScanning());
    gate.open();
    kztest::settle();

    // The old scan's cancellation never sends the wizard back to the start.
    EXPECT_EQ(wizard.count(TQNotification_StartOver), 0);
    EXPECT_EQ(wizard.count(TQNotification_GoNext), 1);
    EXPECT_FALSE(screen->isScanning());
    EXPECT_EQ(screen->filesScannedLabel()->stringValue(), QStringLiteral("7"));
    EXPECT_EQ(f.panel->currentView(), f.panel->finishedView());
}

TEST(ScanningScreen, TheCounterFlashesAfterThreeQuietSecondsUntilTheNextPath)
{
    ScanFixture f;
    auto screen = f.probe();
    screen->setIsScanning(true);
    screen->scanDidReachPath("/home/someone/Music/");
    EXPECT_EQ(f.panel->scanningTitleLabel()->text(), QStringLiteral("/home/someone/Music/"));
    EXPECT_TRUE(screen->isQuietTimerRunning());

    f.env.clock.advance(2.9);
    EXPECT_FALSE(screen->isFlashing());
    screen->scanDidReachPath("/home/someone/Music/a.mp3"); // the quiet count starts over
    f.env.clock.advance(2.9);
    EXPECT_FALSE(screen->isFlashing());
    EXPECT_EQ(screen->filesScannedOpacity(), 1.0);
    f.env.clock.advance(0.1);
    EXPECT_TRUE(screen->isFlashing());

    // Steps of 0.8 s between 1.0 and 0.5.
    f.env.clock.advance(0.4);
    EXPECT_NEAR(screen->filesScannedOpacity(), 0.75, 0.02);
    f.env.clock.advance(0.4);
    EXPECT_NEAR(screen->filesScannedOpacity(), 0.5, 1e-9);
    f.env.clock.advance(0.8);
    EXPECT_NEAR(screen->filesScannedOpacity(), 1.0, 1e-9);
    f.env.clock.advance(0.4);
    EXPECT_NEAR(screen->filesScannedOpacity(), 0.75, 0.02);

    // The next path stops it at once, fully drawn, and the quiet count starts again.
    screen->scanDidReachPath("/home/someone/Music/b.mp3");
    EXPECT_FALSE(screen->isFlashing());
    EXPECT_EQ(screen->filesScannedOpacity(), 1.0);
    f.env.clock.advance(1.0);
    EXPECT_EQ(screen->filesScannedOpacity(), 1.0);
    f.env.clock.advance(2.0);
    EXPECT_TRUE(screen->isFlashing());

    // The end of the scan ends the flashing and the quiet timer.
    f.env.clock.advance(0.4);
    screen->setIsScanning(false);
    EXPECT_FALSE(screen->isFlashing());
    EXPECT_FALSE(screen->isQuietTimerRunning());
    EXPECT_EQ(screen->filesScannedOpacity(), 1.0);
    f.env.clock.advance(10);
    EXPECT_EQ(screen->filesScannedOpacity(), 1.0);
}

TEST(ScanningScreen, ACompletionWithARootOfNoSizeOrNoChildrenKeepsNoResult)
{
    ScanFixture f;
    auto screen = f.probe();
    kztest::WizardRecorder wizard;
    screen->setIsScanning(true);
    screen->scanDidComplete({});
    EXPECT_EQ(f.panel->currentView(), f.panel->noDuplicatesView());
    EXPECT_EQ(wizard.names, (QStringList{TQNotifcation_HideCancelButton}));
    EXPECT_TRUE(screen->scanResult().empty());
    EXPECT_FALSE(screen->isScanning());
}
