// The main window's wizard driven through its own buttons and the screens' notifications,
// on real folders: the state of Next / Back / Clear and the Touch Bar model in each step, the
// screen swap, the delete-queue question, the drop test, and the guards that keep late or
// misplaced notifications from moving the wizard.

#include "app/KZFinishedViewController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQFileScanViewController.h"
#include "app/TQMainWindowController.h"
#include "app/TQNotifications.h"
#include "app/TQToolbarPlace.h"
#include "app/TQTreemapViewController.h"
#include "kit/KZButton.h"
#include "kit/KZController.h"
#include "kit/KZDropView.h"
#include "kit/KZTouchBarController.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZFileFaults.h"
#include "platform/KZNotificationCenter.h"
#include "platform/widgets/KZPasteboard.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/WizardTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace kztest;

namespace {

class Wizard : public WizardFixture {};

} // namespace

TEST_F(Wizard, WakesInTheFolderStepWithNothingChosen)
{
    EXPECT_EQ(wc->currentStep(), 0);
    EXPECT_EQ(wc->currentView(), dropView());
    EXPECT_EQ(wc->currentViewController(), nullptr);
    EXPECT_FALSE(button("nextButton")->isHidden());
    EXPECT_FALSE(button("nextButton")->isEnabled());
    EXPECT_EQ(button("nextButton")->title(), "Next");
    EXPECT_TRUE(button("backButton")->isHidden());
    EXPECT_TRUE(button("clearButton")->isHidden());
    EXPECT_EQ(label("fileNameLabel")->text(), "Select a folder");
    EXPECT_EQ(touchBarTop(), wc->touchBarSelectView());
    EXPECT_EQ(wc->window()->windowTitle(), "Sizemere");
}

TEST_F(Wizard, RunsThroughEveryStepAsTheStateTableSays)
{
    TempDir dir;
    makeFile(dir / "photos/a.jpg", 4000);
    makeFile(dir / "b.bin", 9000);

    choose(dir.path());
    EXPECT_TRUE(button("nextButton")->isEnabled());
    EXPECT_FALSE(button("clearButton")->isHidden());
    EXPECT_TRUE(button("clearButton")->isEnabled());
    EXPECT_EQ(label("fileNameLabel")->text(), QString::fromStdString(dir.path()).section('/', -1));
    EXPECT_EQ(touchBarTop(), wc->touchBarNextView());
    EXPECT_TRUE(wc->touchBarSelectNextButton()->isEnabled());
    // The folder's icon stays when the pointer comes over it.
    auto* icon = button("fileImageView");
    const KZImage folderIcon = icon->image();
    EXPECT_NE(folderIcon, KZImage::named("icon-add"));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(icon, &enter);
    EXPECT_EQ(icon->image(), folderIcon);

    // Next: the scan runs, Back is hidden and Clear offers to cancel.
    click("nextButton");
    EXPECT_EQ(wc->currentStep(), 1);
    EXPECT_EQ(wc->currentViewController(), wc->fileScanViewController());
    EXPECT_FALSE(button("nextButton")->isEnabled());
    EXPECT_TRUE(button("backButton")->isHidden());
    EXPECT_FALSE(button("clearButton")->isHidden());
    EXPECT_EQ(button("clearButton")->title(), "Cancel Scan");
    EXPECT_EQ(touchBarTop(), wc->touchBarScanningView());

    // The scan ends with results and moves the wizard on by itself.
    ASSERT_TRUE(waitForStep(2));
    TQTreemapViewController* results = wc->treemapViewController();
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(wc->currentViewController(), results);
    EXPECT_EQ(button("nextButton")->title(), "Finish");
    EXPECT_TRUE(button("nextButton")->isEnabled());
    EXPECT_FALSE(button("backButton")->isHidden());
    EXPECT_TRUE(button("clearButton")->isHidden());
    EXPECT_EQ(touchBarTop(), wc->touchBarResultsView());
    EXPECT_TRUE(isResizable());
    // The results screen's toolbar stands in the window's toolbar place, in place of its own.
    auto* ownToolbar = wc->window()->findChild<QToolBar*>(QStringLiteral("toolbar"));
    ASSERT_TRUE(ownToolbar);
    EXPECT_EQ(wc->toolbarPlace()->shownToolbar(), results->toolbar()->toolBar());
    EXPECT_TRUE(ownToolbar->isHidden());

    // Back keeps the result: no new scan, Next enabled again.
    click("backButton");
    EXPECT_EQ(wc->toolbarPlace()->shownToolbar(), nullptr);
    EXPECT_FALSE(ownToolbar->isHidden());
    EXPECT_EQ(wc->currentStep(), 1);
    EXPECT_FALSE(wc->fileScanViewController()->isScanning());
    EXPECT_TRUE(button("nextButton")->isEnabled());
    EXPECT_EQ(button("nextButton")->title(), "Next");
    EXPECT_EQ(touchBarTop(), wc->touchBarFinishedScanningView());
    EXPECT_FALSE(isResizable());
    EXPECT_EQ(wc->treemapViewController(), nullptr);

    // Next builds a new results screen from the same result.
    click("nextButton");
    EXPECT_EQ(wc->currentStep(), 2);
    ASSERT_NE(wc->treemapViewController(), nullptr);

    // Finish with an empty queue goes straight to the finished screen.
    click("nextButton");
    EXPECT_TRUE(wc->isFinishedScreenShown());
    EXPECT_EQ(wc->currentStep(), 2);
    EXPECT_TRUE(button("nextButton")->isHidden());
    EXPECT_TRUE(button("backButton")->isHidden());
    EXPECT_FALSE(widget("finishedToolbarView")->isHidden());
    EXPECT_EQ(touchBarTop(), wc->touchBarFinishedView());
    EXPECT_EQ(wc->touchBarFinishedLabel()->text(), "Tap the 'Start Again' button to scan another folder");
    EXPECT_FALSE(isResizable());
    EXPECT_EQ(env.alerts.service.shown().size(), 0u);

    // Start Again: back to step 0 with a fresh Touch Bar stack.
    click("startAgainButton");
    EXPECT_EQ(wc->currentStep(), 0);
    EXPECT_EQ(wc->currentView(), dropView());
    EXPECT_EQ(wc->currentViewController(), nullptr);
    EXPECT_TRUE(dropView()->filePaths().empty());
    EXPECT_EQ(label("fileNameLabel")->text(), "Select a folder");
    EXPECT_TRUE(widget("finishedToolbarView")->isHidden());
    EXPECT_EQ(KZTouchBarController::sharedController().stack().size(), 1u);
    EXPECT_EQ(touchBarTop(), wc->touchBarSelectView());
}

TEST_F(Wizard, ClearingTheChoiceShowsTheSelectPrompt)
{
    TempDir dir;
    choose(dir.path());
    click("clearButton");
    EXPECT_TRUE(dropView()->filePaths().empty());
    EXPECT_FALSE(button("nextButton")->isEnabled());
    EXPECT_TRUE(button("clearButton")->isHidden());
    EXPECT_EQ(label("fileNameLabel")->text(), "Select a Folder");
    EXPECT_EQ(touchBarTop(), wc->touchBarSelectView());
}

TEST_F(Wizard, CancelScanReturnsToTheFolderStepWithTheQueueEmptied)
{
    TempDir dir;
    makeFile(dir / "f", 10);
    // The scan is held as it opens its folder, so that Clear meets it running.
    auto open = std::make_shared<std::atomic<bool>>(false);
    ScopedFaultHook hold([open, root = dir.path()](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Read && kz_isEqualToPath(path, root))
            while (!*open) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return 0;
    });
    struct Release {
        std::shared_ptr<std::atomic<bool>> open;
        ~Release() { *open = true; }
    } release{open};
    choose(dir.path());
    click("nextButton");
    ASSERT_TRUE(wc->fileScanViewController()->isScanning());
    click("clearButton");
    *open = true;
    ASSERT_TRUE(waitFor([&] { return wc->currentStep() == 0; }));
    EXPECT_TRUE(dropView()->filePaths().empty());
    EXPECT_TRUE(TQDeleteQueue::sharedInstance().queue().empty());
}

TEST_F(Wizard, AnEmptyResultNeverEntersTheResultsStep)
{
    TempDir dir;
    makeDir(dir / "empty");
    choose(dir / "empty");
    click("nextButton");
    ASSERT_TRUE(waitFor([&] { return !wc->fileScanViewController()->isScanning(); }));
    drain();
    EXPECT_EQ(wc->currentStep(), 1);
    EXPECT_FALSE(button("nextButton")->isEnabled());
    EXPECT_FALSE(button("backButton")->isHidden()) << "Back is the way out";
    // Even forced, Next only beeps: no step 2 without a results screen.
    wc->goNext();
    EXPECT_EQ(env.application.services.beeps, 1);
    EXPECT_EQ(wc->currentStep(), 1);
    EXPECT_EQ(wc->treemapViewController(), nullptr);
    EXPECT_EQ(wc->currentViewController(), wc->fileScanViewController());
    // Back from there is the way out.
    click("backButton");
    EXPECT_EQ(wc->currentStep(), 0);
}

TEST_F(Wizard, StartingAgainRunsTheHooksAndReleasesScreensOnALaterTurn)
{
    TempDir dir;
    makeFile(dir / "f", 100);
    runToResults(dir.path());
    QPointer<TQFileScanViewController> scan = wc->fileScanViewController();
    QPointer<TQTreemapViewController> results = wc->treemapViewController();

    // Starting over from inside a notification (as "New Scan" on the results screen does).
    KZNotificationCenter::defaultCenter().post(TQNotification_StartOver);
    EXPECT_EQ(wc->currentViewController(), nullptr);
    EXPECT_EQ(wc->fileScanViewController(), nullptr);
    EXPECT_EQ(wc->treemapViewController(), nullptr);
    EXPECT_TRUE(scan && results) << "not destroyed inside the call";
    // Released, the results screen hears no more requests, even before it is gone.
    TempDir other;
    makeFile(other / "x", 10);
    TQDeleteQueue::sharedInstance().addFilesToQueue({KZFile::fileWithPath(other / "x")});
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrashAndFinish);
    EXPECT_FALSE(TQEmptyTrashWindowController::isAnySheetRunning());
    EXPECT_TRUE(exists(other / "x"));
    TQDeleteQueue::sharedInstance().clearQueue();
    drain();
    EXPECT_FALSE(scan);
    EXPECT_FALSE(results);
    // The next screen swap has no stale screen to send hooks to.
    choose(dir.path());
    click("nextButton");
    EXPECT_EQ(wc->currentViewController(), wc->fileScanViewController());
    ASSERT_TRUE(waitForStep(2));
}

TEST_F(Wizard, AbandonedScanChangesNothingWhenItsReportsArrive)
{
    TempDir dir;
    for (int i = 0; i < 200; ++i) makeFile(dir / ("d" + std::to_string(i % 20) + "/f" + std::to_string(i)), 10);
    choose(dir.path());
    click("nextButton");
    QPointer<TQFileScanViewController> scan = wc->fileScanViewController();
    ASSERT_TRUE(scan->isScanning());
    wc->startAgain(); // the Scan menu item, while the scan runs
    // The user chooses another folder before the scan's last reports arrive.
    TempDir other;
    choose(other.path());
    drain();
    ASSERT_TRUE(waitFor([&] { return scan.isNull(); }));
    drain();
    EXPECT_EQ(wc->currentStep(), 0);
    ASSERT_EQ(dropView()->filePaths().size(), 1u);
    EXPECT_EQ(dropView()->filePaths().front(), other.path());
    EXPECT_TRUE(button("nextButton")->isEnabled());
    EXPECT_TRUE(button("backButton")->isHidden());
}

TEST_F(Wizard, LateOrMisplacedNotificationsDoNotMoveTheWizard)
{
    auto& center = KZNotificationCenter::defaultCenter();
    TempDir dir;
    makeFile(dir / "f", 100);

    // Step 0, nothing chosen: Enable Next, Go Next, Finish, Rescan change nothing.
    center.post(TQNotification_EnableNextButton);
    center.post(TQNotification_GoNext);
    center.post(TQNotification_Finish);
    center.post(TQNotification_Rescan);
    center.post(TQNotifcation_HideCancelButton);
    EXPECT_EQ(wc->currentStep(), 0);
    EXPECT_FALSE(button("nextButton")->isEnabled());
    EXPECT_TRUE(button("backButton")->isHidden());

    // Step 0 with a folder: Go Next does not start a scan.
    choose(dir.path());
    center.post(TQNotification_GoNext);
    EXPECT_EQ(wc->currentStep(), 0);
    EXPECT_EQ(wc->fileScanViewController(), nullptr);

    // Results: Go Next does not finish.
    runToResults(dir.path());
    center.post(TQNotification_GoNext);
    EXPECT_EQ(wc->currentViewController(), wc->treemapViewController());

    // Back to the scanning screen: Finish and Rescan belong to the results screen.
    click("backButton");
    center.post(TQNotification_Finish);
    center.post(TQNotification_Rescan);
    EXPECT_EQ(wc->currentStep(), 1);
    EXPECT_EQ(wc->currentViewController(), wc->fileScanViewController());
    EXPECT_FALSE(wc->fileScanViewController()->isScanning());
    env.clock.advance(1.0);
    EXPECT_FALSE(wc->fileScanViewController()->isScanning());

    // Finished screen: Enable Next does not bring Next back; Go Next / Finish do nothing.
    click("nextButton");
    click("nextButton");
    ASSERT_TRUE(wc->isFinishedScreenShown());
    QPointer<KZFinishedViewController> finished = wc->finishedViewController();
    center.post(TQNotification_EnableNextButton);
    center.post(TQNotification_GoNext);
    center.post(TQNotification_Finish);
    center.post(TQNotification_Rescan);
    EXPECT_TRUE(button("nextButton")->isHidden());
    EXPECT_EQ(wc->finishedViewController(), finished.data());
    EXPECT_TRUE(wc->isFinishedScreenShown());
}

TEST_F(Wizard, RescanShowsTheScanningScreenAndScansAgainAfterAFifthOfASecond)
{
    TempDir dir;
    makeFile(dir / "f", 100);
    runToResults(dir.path());
    QPointer<TQFileScanViewController> scan = wc->fileScanViewController();
    makeFile(dir / "g", 500);
    KZNotificationCenter::defaultCenter().post(TQNotification_Rescan);
    EXPECT_EQ(wc->currentStep(), 1);
    EXPECT_EQ(wc->fileScanViewController(), scan.data()) << "the same scanning screen";
    EXPECT_TRUE(button("nextButton")->isEnabled());
    EXPECT_TRUE(button("clearButton")->isHidden());
    EXPECT_FALSE(scan->isScanning());
    env.clock.advance(0.19);
    EXPECT_FALSE(scan->isScanning());
    env.clock.advance(0.02);
    EXPECT_TRUE(scan->isScanning());
    ASSERT_TRUE(waitForStep(2));
    ASSERT_FALSE(scan->scanResult().empty());
    EXPECT_EQ(scan->scanResult().front()->fileSize(), 600);
}

TEST_F(Wizard, ClearInTheScanningStepAfterTheScanDoesNothing)
{
    TempDir dir;
    makeFile(dir / "f", 100);
    runToResults(dir.path());
    click("backButton");
    wc->clearSelection();
    EXPECT_EQ(wc->currentStep(), 1);
    EXPECT_EQ(dropView()->filePaths().size(), 1u);
    EXPECT_TRUE(button("nextButton")->isEnabled());
}

TEST_F(Wizard, FinishAsksAboutTheDeleteQueueWheneverItHoldsRecords)
{
    TempDir dir;
    makeFile(dir / "a", 100);
    makeFile(dir / "b", 200);
    makeFile(dir / "c", 300);
    runToResults(dir.path());
    auto& queue = TQDeleteQueue::sharedInstance();
    queue.addFilesToQueue({childNamed("a")});

    // One file: no plural; Delete hands over to the delete sheet and stays on the results.
    QStringList posted;
    KZNotificationCenter::defaultCenter().addObserver(
        TQNotification_EmptyTrashAndFinish, [&](const KZNotification& n) { posted << n.name; }, &probe);
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    click("nextButton");
    ASSERT_EQ(env.alerts.service.shown().size(), 1u);
    const KZAlert& alert = env.alerts.service.shown()[0].alert;
    EXPECT_EQ(alert.messageText, "Do you want to delete the files in the queue?");
    EXPECT_EQ(alert.buttons, (QStringList{"Delete", "Don't Delete"}));
    EXPECT_EQ(alert.informativeText, "You have 1 file in the delete queue, would you like to delete them now?");
    EXPECT_EQ(posted, QStringList{TQNotification_EmptyTrashAndFinish});
    EXPECT_EQ(wc->currentViewController(), wc->treemapViewController());

    // The question stands even with the queue switched off in the settings meanwhile.
    env.settings.preferences().setUseDeleteQueue(false);
    queue.addFilesToQueue({childNamed("b"), childNamed("c")});
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    click("nextButton");
    ASSERT_EQ(env.alerts.service.shown().size(), 2u);
    EXPECT_EQ(env.alerts.service.shown()[1].alert.informativeText,
              "You have 3 files in the delete queue, would you like to delete them now?");
    // Don't Delete: the finished screen follows.
    EXPECT_TRUE(wc->isFinishedScreenShown());
    EXPECT_EQ(posted.size(), 1);
}

TEST_F(Wizard, TheQueueQuestionAtFinishAndAtQuitSaysWhenNetworkItemsWillBeDeletedOutright)
{
    TempDir dir;
    makeFile(dir / "a", 100);
    makeFile(dir / "b", 200);
    makeFile(dir / "c", 300);
    runToResults(dir.path());
    auto& queue = TQDeleteQueue::sharedInstance();
    Preferences& prefs = env.settings.preferences();
    prefs.setUseTrash(true);
    const QString question =
        QStringLiteral("You have %1 files in the delete queue, would you like to delete them now?");

    // Quitting, one of two on a network volume.
    childNamed("a")->setIsNetworkItem(true);
    queue.addFilesToQueue({childNamed("a"), childNamed("b")});
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    EXPECT_FALSE(wc->showDeleteQueueWarningIfNeeded(true));
    ASSERT_EQ(env.alerts.service.shown().size(), 1u);
    EXPECT_EQ(env.alerts.service.shown()[0].alert.informativeText,
              question.arg(2) + QStringLiteral(" One item is on a network volume: it can't be moved to the Trash and "
                                               "will be deleted immediately."));

    // Finishing, two of three.
    childNamed("c")->setIsNetworkItem(true);
    queue.addFilesToQueue({childNamed("a"), childNamed("b"), childNamed("c")});
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    EXPECT_FALSE(wc->showDeleteQueueWarningIfNeeded(false));
    ASSERT_EQ(env.alerts.service.shown().size(), 2u);
    EXPECT_EQ(env.alerts.service.shown()[1].alert.informativeText,
              question.arg(3) + QStringLiteral(" 2 items are on network volumes: they can't be moved to the Trash and "
                                               "will be deleted immediately."));

    // Without the Trash everything is deleted outright anyway: nothing to add.
    prefs.setUseTrash(false);
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    click("nextButton");
    ASSERT_EQ(env.alerts.service.shown().size(), 3u);
    EXPECT_EQ(env.alerts.service.shown()[2].alert.informativeText, question.arg(3));
    EXPECT_TRUE(wc->isFinishedScreenShown());
}

TEST_F(Wizard, TheFinishedScreenGetsTheResultsTotals)
{
    TempDir dir;
    makeFile(dir / "f", 100);
    runToResults(dir.path());
    wc->treemapViewController()->removalFlow()->addTotalSaved(7000);

    // Back and Next make a new results screen of the same folder, and so does a rescan: what
    // the earlier ones freed still counts when the run finishes.
    click("backButton");
    click("nextButton");
    ASSERT_TRUE(waitForStep(2));
    wc->treemapViewController()->removalFlow()->addTotalSaved(500);
    KZNotificationCenter::defaultCenter().post(TQNotification_Rescan);
    env.clock.advance(0.3);
    ASSERT_TRUE(waitForStep(2));
    EXPECT_EQ(wc->treemapViewController()->totalFreed(), 0);
    wc->treemapViewController()->removalFlow()->addTotalSaved(20);
    click("nextButton");
    ASSERT_TRUE(wc->isFinishedScreenShown());
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 7520);

    // Starting again begins a new run.
    click("startAgainButton");
    drain();
    runToResults(dir.path());
    click("nextButton");
    ASSERT_TRUE(wc->isFinishedScreenShown());
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 0);

    EXPECT_EQ(TQMainWindowController::finishedTouchBarText(1500000), "Sizemere freed 1.5 MB from your computer!");
    EXPECT_EQ(TQMainWindowController::finishedTouchBarText(0), "Tap the 'Start Again' button to scan another folder");
}

TEST_F(Wizard, TheCloseButtonAndQuitAskThroughTheOneQuitPath)
{
    EXPECT_FALSE(wc->performClose()) << "the window never closes by itself";
    EXPECT_TRUE(wc->window()->isVisible());
    EXPECT_EQ(env.application.services.terminations, 1);
    wc->quitApp();
    EXPECT_EQ(env.application.services.terminations, 2);
}

TEST_F(Wizard, TakesPlainFoldersOnly)
{
    TempDir dir;
    makeDir(dir / "plain");
    makeFile(dir / "file.txt", 10);
    makeDir(dir / "Tool.app");
    makeDir(dir / "ignored");
    makeDir(dir / "caf\xe9");
    makeSymlink(dir / "plain", dir / "link");
    env.settings.preferences().setIgnoredPaths(QStringList{QString::fromStdString(dir / "ignored")});

    EXPECT_TRUE(TQMainWindowController::shouldAcceptFolderAtPath(dir / "plain"));
    EXPECT_TRUE(TQMainWindowController::shouldAcceptFolderAtPath(dir / "plain/"));
    EXPECT_TRUE(TQMainWindowController::shouldAcceptFolderAtPath(dir / "caf\xe9"));
    EXPECT_FALSE(TQMainWindowController::shouldAcceptFolderAtPath(dir / "file.txt"));
    EXPECT_FALSE(TQMainWindowController::shouldAcceptFolderAtPath(dir / "Tool.app"));
    EXPECT_FALSE(TQMainWindowController::shouldAcceptFolderAtPath(dir / "ignored"));
    EXPECT_FALSE(TQMainWindowController::shouldAcceptFolderAtPath(dir / "link"));
    EXPECT_FALSE(TQMainWindowController::shouldAcceptFolderAtPath(dir / "link/"));
    EXPECT_FALSE(TQMainWindowController::shouldAcceptFolderAtPath(dir / "missing"));
    EXPECT_FALSE(TQMainWindowController::shouldAcceptFolderAtPath(""));

    // Through a drag: the file is refused, the odd name is taken and shown.
    std::unique_ptr<QMimeData> fileDrag(KZPasteboard::mimeDataForPaths({dir / "file.txt"}));
    EXPECT_EQ(dropView()->draggingEntered(fileDrag.get()), KZDraggingDestination::None);
    std::unique_ptr<QMimeData> folderDrag(KZPasteboard::mimeDataForPaths({dir / "caf\xe9"}));
    EXPECT_EQ(dropView()->draggingEntered(folderDrag.get()), KZDraggingDestination::Copy);
    dropView()->performDragOperation(folderDrag.get());
    EXPECT_EQ(dropView()->filePaths(), std::vector<std::string>{dir / "caf\xe9"});
    EXPECT_EQ(label("fileNameLabel")->text(), QString::fromUtf8("caf\xef\xbf\xbd"));
}
