// Work still running when the results screen goes (a confirmed delete, an emptying of the
// queue through the sheet, a compression) on real files: its report still reaches the run's
// totals, the finished screen and the tree the next results screen shows, whether the screen
// went by Finish, by Back then Next or by a rescan; quitting waits for a delete and not for a
// compression; and the ledger itself, on trees scanned before and after a deletion.

#include "app/KZFinishedViewController.h"
#include "app/TQAppDelegate.h"
#include "app/TQCompressingWindowController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQNotifications.h"
#include "app/TQRunLedger.h"
#include "model/KZFileScanner.h"
#include "model/KZPath.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZError.h"
#include "platform/KZFileFaults.h"
#include "platform/KZRemover.h"
#include "platform/widgets/KZSound.h"
#include "tests/app/WizardTestSupport.h"
#include "treemap/KZNestedTreemapView.h"
#include "treemap/TQTheme.h"

#include <QLabel>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <tuple>

using namespace kztest;

namespace {

// Holds the deletion of one item just before the remover (or the Trash) moves it, until
// opened: the item is still at its path meanwhile.
class DeletionGate {
public:
    explicit DeletionGate(const std::string& path) : state_(std::make_shared<State>())
    {
        state_->path = path;
        std::shared_ptr<State> state = state_;
        kz::setFileFaultHook([state](kz::FileOperation op, const std::string& p) {
            if (op == kz::FileOperation::Rename && kz_isEqualToPath(p, state->path)) {
                state->reached = true;
                while (!state->open) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            return 0;
        });
    }
    ~DeletionGate()
    {
        open();
        kz::setFileFaultHook({});
    }
    bool waitUntilReached()
    {
        return waitFor([this] { return state_->reached.load(); });
    }
    void open() { state_->open = true; }

private:
    struct State {
        std::string path;
        std::atomic<bool> reached{false};
        std::atomic<bool> open{false};
    };
    std::shared_ptr<State> state_;
};

KZDirectoryPtr scanTree(const std::string& path)
{
    KZDirectoryPtr result;
    bool done = false;
    auto scanner = KZFileScanner::scannerWithPaths({path}, 0);
    scanner->setCompletionBlock([&](const KZFileList& files) {
        result = files.empty() ? nullptr : kz_asDirectory(files.front());
        done = true;
    });
    scanner->setFailureBlock([&](const QString&) { done = true; });
    scanner->start();
    EXPECT_TRUE(waitFor([&] { return done; }));
    return result;
}

KZFilePtr childOf(const KZDirectoryPtr& folder, const std::string& name)
{
    if (folder)
        for (KZFile* f : folder->children())
            if (f->nameBytes() == name) return KZFilePtr(f);
    return nullptr;
}

size_t countNamed(const KZDirectoryPtr& folder, const std::string& name)
{
    size_t n = 0;
    if (folder)
        for (KZFile* f : folder->children()) n += f->nameBytes() == name;
    return n;
}

class Run : public RemovalRunFixture {
protected:
    Run()
    {
        makeFile(dir / "big.bin", 40000);
        makeFile(dir / "keep.txt", 500);
        makeFile(dir / "docs/a.txt", 3000);
        runToResults(dir.path());
    }

    // The tree the next results screen shows.
    KZDirectoryPtr tree() const { return kz_asDirectory(wc->fileScanViewController()->scanResult().front()); }
    // Whether the results screen on show draws a node for the root's child of that name.
    bool drawn(const std::string& name) const
    {
        for (const KZTreemapDrawItem& item : screen()->treemapView()->drawItems())
            if (item.node->file() && kz_isEqualToPath(item.node->file()->path(), dir / name)) return true;
        return false;
    }
    // Confirms the deletion of the root's child; the gate holds it before the disk changes.
    void confirmDelete(const std::string& name)
    {
        env.alerts.service.answerNext(KZAlertFirstButtonReturn);
        ASSERT_TRUE(screen()->removalFlow()->removeFiles({childNamed(name)}));
    }
    // Queues the root's child and asks for the delete sheet, as the popover's Empty Trash does.
    void emptyQueueWith(const std::string& name)
    {
        env.settings.preferences().setUseDeleteQueue(true);
        screen()->treemapViewRemoveFiles(screen()->treemapView(), {childNamed(name)});
        ASSERT_EQ(TQDeleteQueue::sharedInstance().queue().size(), 1u);
        KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash);
        ASSERT_TRUE(screen()->removalFlow()->emptyWindowController());
    }
    // Lets the sheet's run end and the sheet close, then waits for the emptying to end.
    bool endEmptying(DeletionGate& gate)
    {
        gate.open();
        if (!waitFor([] { return !TQEmptyTrashWindowController::isAnySheetRunning(); })) return false;
        env.clock.advance(TQEmptyTrashWindowController::closeDelay);
        return waitFor([&] { return !ledger()->isEmptying(); });
    }
    // Compresses the root's child and waits until the archive is complete (its window open).
    QPointer<TQCompressingWindowController> compressUntilComplete(const std::string& name)
    {
        screen()->treemapViewCompressFiles(screen()->treemapView(), {childNamed(name)});
        EXPECT_EQ(screen()->removalFlow()->compressingWindowControllers().size(), 1u);
        if (screen()->removalFlow()->compressingWindowControllers().empty()) return nullptr;
        QPointer<TQCompressingWindowController> c = screen()->removalFlow()->compressingWindowControllers().front();
        EXPECT_TRUE(waitFor([&] { return c && c->state() == TQCompressingWindowController::State::Complete; }));
        return c;
    }
    void finish()
    {
        click("nextButton");
        ASSERT_TRUE(wc->isFinishedScreenShown());
    }
    void backThenNext()
    {
        QPointer<TQTreemapViewController> old = screen();
        wc->goBack();
        wc->goNext();
        ASSERT_TRUE(waitForStep(2));
        drain();
        ASSERT_TRUE(old.isNull()) << "the screen that started the work has gone";
    }
    void rescan()
    {
        QPointer<TQTreemapViewController> old = screen();
        KZNotificationCenter::defaultCenter().post(TQNotification_Rescan);
        ASSERT_EQ(wc->currentStep(), 1);
        env.clock.advance(0.3);
        ASSERT_TRUE(waitFor([&] { return wc->currentStep() == 2 && screen() && screen() != old.data(); }));
        drain();
        ASSERT_TRUE(old.isNull());
    }

    TempDir dir;
};

} // namespace

// ---- a confirmed delete ----

TEST_F(Run, AConfirmedDeleteStillRunningAtFinishReachesTheFinishedScreen)
{
    DeletionGate gate(dir / "big.bin");
    confirmDelete("big.bin");
    ASSERT_TRUE(gate.waitUntilReached());
    finish();
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 0);
    gate.open();
    ASSERT_TRUE(waitFor([&] { return ledger()->runningDeletions() == 0; }));
    EXPECT_FALSE(exists(dir / "big.bin"));
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 40000);
    EXPECT_EQ(wc->touchBarFinishedLabel()->text(), TQMainWindowController::finishedTouchBarText(40000));
    EXPECT_FALSE(childOf(tree(), "big.bin"));
}

TEST_F(Run, AConfirmedDeleteStillRunningAtBackThenNextLeavesTheNextScreensTree)
{
    DeletionGate gate(dir / "big.bin");
    confirmDelete("big.bin");
    ASSERT_TRUE(gate.waitUntilReached());
    backThenNext();
    EXPECT_TRUE(drawn("big.bin")) << "still on disk";
    gate.open();
    ASSERT_TRUE(waitFor([&] { return ledger()->runningDeletions() == 0; }));
    EXPECT_FALSE(childOf(tree(), "big.bin"));
    EXPECT_FALSE(drawn("big.bin"));
    EXPECT_TRUE(drawn("keep.txt"));
    EXPECT_EQ(ledger()->totalFreed(), 40000);
    finish();
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 40000);
}

TEST_F(Run, AConfirmedDeleteStillRunningAtARescanLeavesTheTreeThatScanMade)
{
    DeletionGate gate(dir / "big.bin");
    confirmDelete("big.bin");
    ASSERT_TRUE(gate.waitUntilReached());
    const KZDirectoryPtr before = tree();
    rescan();
    ASSERT_NE(tree(), before);
    ASSERT_TRUE(childOf(tree(), "big.bin")) << "scanned again before it went";
    gate.open();
    ASSERT_TRUE(waitFor([&] { return ledger()->runningDeletions() == 0; }));
    EXPECT_FALSE(childOf(tree(), "big.bin"));
    EXPECT_FALSE(drawn("big.bin"));
    finish();
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 40000);

    // A new run starts from nothing.
    click("startAgainButton");
    drain();
    EXPECT_EQ(ledger()->totalFreed(), 0);
}

TEST_F(Run, AFolderBeingDeletedAtARescanLeavesNoTraceInTheTreeThatScanMade)
{
    // The remover sets the folder aside under a private (hidden) name and empties it there;
    // the rescan meets it there, half emptied.
    for (int i = 0; i < 20; ++i) makeFile(dir / ("docs/more/f" + std::to_string(i)), 100);
    env.settings.preferences().setShowHiddenFiles(true);
    UnlinkGate gate(dir / "docs");
    confirmDelete("docs");
    ASSERT_TRUE(gate.waitUntilReached());
    ASSERT_FALSE(exists(dir / "docs"));
    rescan();
    auto hasTrace = [&](const KZDirectoryPtr& root) {
        for (KZFile* f : root->children())
            if (f->nameBytes() == "docs" || f->nameBytes().rfind(".sizemere-removing-", 0) == 0) return true;
        return false;
    };
    EXPECT_FALSE(hasTrace(tree()));
    std::vector<std::string> drawnAside;
    for (const KZTreemapDrawItem& item : screen()->treemapView()->drawItems())
        if (item.node->file() && item.node->file()->path().find("/.sizemere-removing-") != std::string::npos)
            drawnAside.push_back(item.node->file()->path());
    EXPECT_TRUE(drawnAside.empty()) << (drawnAside.empty() ? std::string() : drawnAside.front());
    EXPECT_TRUE(screen()->treemapView()->grab().save(outputFolder() + "/rescan-while-a-folder-is-deleted.png"));
    EXPECT_EQ(tree()->fileSize(), 40500);

    gate.release();
    ASSERT_TRUE(waitFor([&] { return ledger()->runningDeletions() == 0; }));
    EXPECT_FALSE(exists(dir / "docs"));
    EXPECT_FALSE(hasTrace(tree()));
    EXPECT_EQ(ledger()->totalFreed(), 5000);
}

TEST_F(Run, WhatStaysOfAFolderBeingDeletedAtARescanJoinsTheTreeThatScanMade)
{
    makeFile(dir / "docs/locked", 60000);
    makeFile(dir / "docs/more/f", 100);
    // The removal waits at its first unlink inside the folder, and can't remove "locked".
    auto open = std::make_shared<std::atomic<bool>>(false);
    auto reached = std::make_shared<std::atomic<bool>>(false);
    ScopedFaultHook hook([docs = dir / "docs", open, reached](kz::FileOperation op, const std::string& path) {
        if (op != kz::FileOperation::Unlink || path.rfind(docs + "/", 0) != 0) return 0;
        if (!reached->exchange(true))
            while (!*open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return path == docs + "/locked" ? EACCES : 0;
    });
    confirmDelete("docs");
    ASSERT_TRUE(waitFor([&] { return reached->load(); }));
    rescan();
    ASSERT_FALSE(childOf(tree(), "docs")) << "being removed when the folder was scanned again";
    *open = true;
    ASSERT_TRUE(waitFor([&] { return ledger()->runningDeletions() == 0 && ledger()->pendingFolderScans() == 0; }));
    const KZDirectoryPtr docs = kz_asDirectory(childOf(tree(), "docs"));
    ASSERT_TRUE(docs) << "what stayed is on disk, so in the tree";
    ASSERT_EQ(docs->childCount(), 1u);
    EXPECT_EQ(docs->children()[0]->nameBytes(), "locked");
    EXPECT_EQ(tree()->fileSize(), 100500);
    EXPECT_TRUE(drawn("docs"));
    EXPECT_EQ(ledger()->totalFreed(), 3100);
}

// ---- emptying the queue through the sheet ----

TEST_F(Run, AnEmptyingStillRunningAtFinishReachesTheFinishedScreen)
{
    DeletionGate gate(dir / "big.bin");
    emptyQueueWith("big.bin");
    ASSERT_TRUE(gate.waitUntilReached());
    // Finish asks about what is queued; "Don't Delete" goes on to the finished screen.
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    wc->goNext();
    ASSERT_TRUE(wc->isFinishedScreenShown());
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 0);
    ASSERT_TRUE(endEmptying(gate));
    EXPECT_FALSE(exists(dir / "big.bin"));
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 40000);
    EXPECT_TRUE(TQDeleteQueue::sharedInstance().queue().empty());
}

TEST_F(Run, AnEmptyingStillRunningAtBackThenNextLeavesTheNextScreensTree)
{
    DeletionGate gate(dir / "big.bin");
    emptyQueueWith("big.bin");
    ASSERT_TRUE(gate.waitUntilReached());
    QPointer<TQEmptyTrashWindowController> sheet = screen()->removalFlow()->emptyWindowController();
    backThenNext();
    ASSERT_TRUE(sheet) << "the sheet outlives the screen that asked for it";
    ASSERT_TRUE(endEmptying(gate));
    EXPECT_FALSE(exists(dir / "big.bin"));
    EXPECT_FALSE(childOf(tree(), "big.bin"));
    EXPECT_FALSE(drawn("big.bin"));
    EXPECT_TRUE(screen()->treemapView()->isEnabled());
    finish();
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 40000);
}

TEST_F(Run, AnEmptyingStillRunningAtARescanLeavesTheTreeThatScanMade)
{
    DeletionGate gate(dir / "big.bin");
    emptyQueueWith("big.bin");
    ASSERT_TRUE(gate.waitUntilReached());
    rescan();
    ASSERT_TRUE(childOf(tree(), "big.bin")) << "scanned again before it went";
    ASSERT_TRUE(endEmptying(gate));
    EXPECT_FALSE(childOf(tree(), "big.bin"));
    EXPECT_FALSE(drawn("big.bin"));
    EXPECT_EQ(ledger()->totalFreed(), 40000);
    // After an emptying the next emptying runs again.
    emptyQueueWith("keep.txt");
    ASSERT_TRUE(waitFor([] { return !TQEmptyTrashWindowController::isAnySheetRunning(); }));
    env.clock.advance(TQEmptyTrashWindowController::closeDelay);
    ASSERT_TRUE(waitFor([&] { return !ledger()->isEmptying(); }));
    finish();
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 40500);
}

TEST_F(Run, AnEmptyingThatEndsAfterStartAgainAddsNothingToTheNewRun)
{
    DeletionGate gate(dir / "big.bin");
    emptyQueueWith("big.bin");
    ASSERT_TRUE(gate.waitUntilReached());
    env.alerts.service.answerNext(KZAlertSecondButtonReturn); // "Don't Delete"
    wc->goNext();
    ASSERT_TRUE(wc->isFinishedScreenShown());
    // The sheet's run ends; while the sheet waits to close, a new run begins.
    gate.open();
    ASSERT_TRUE(waitFor([] { return !TQEmptyTrashWindowController::isAnySheetRunning(); }));
    EXPECT_FALSE(exists(dir / "big.bin"));
    click("startAgainButton");
    drain();
    ASSERT_EQ(wc->currentStep(), 0);
    ASSERT_TRUE(ledger()->isEmptying());
    env.clock.advance(TQEmptyTrashWindowController::closeDelay);
    ASSERT_TRUE(waitFor([&] { return !ledger()->isEmptying(); }));
    EXPECT_EQ(ledger()->totalFreed(), 0) << "the bytes belong to the run before";
}

// ---- a compression ----

TEST_F(Run, ACompressionStillOpenAtFinishReachesTheFinishedScreen)
{
    QPointer<TQCompressingWindowController> c = compressUntilComplete("big.bin");
    ASSERT_TRUE(c);
    const double saved = c->totalSaved();
    EXPECT_GT(saved, 0);
    finish();
    // Complete, its window still open: its originals have gone, so it counts already.
    EXPECT_EQ(wc->finishedViewController()->totalCompressed(), 1);
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), saved);
    EXPECT_FALSE(wc->finishedViewController()->runTotals().isRunning());
    EXPECT_TRUE(c->performClose());
    drain();
    EXPECT_EQ(wc->finishedViewController()->totalCompressed(), 1) << "counted once";
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), saved);
    EXPECT_TRUE(childOf(tree(), "big.zip"));
    EXPECT_FALSE(childOf(tree(), "big.bin"));
}

TEST_F(Run, ACompressionStillOpenAtBackThenNextReachesTheNextScreensTree)
{
    QPointer<TQCompressingWindowController> c = compressUntilComplete("big.bin");
    ASSERT_TRUE(c);
    const std::string archive = c->compressedFilePath();
    backThenNext();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->delegate(), ledger()) << "handed over when its screen went";
    EXPECT_TRUE(screen()->removalFlow()->filePathWasCompressFileChange(archive))
        << "its archive is still the program's own";
    EXPECT_TRUE(c->performClose());
    EXPECT_TRUE(childOf(tree(), "big.zip"));
    EXPECT_FALSE(childOf(tree(), "big.bin"));
    EXPECT_TRUE(drawn("big.zip"));
    EXPECT_FALSE(drawn("big.bin"));
    EXPECT_FALSE(screen()->removalFlow()->filePathWasCompressFileChange(archive));
    finish();
    EXPECT_EQ(wc->finishedViewController()->totalCompressed(), 1);
    EXPECT_GT(wc->finishedViewController()->totalFreed(), 0);
}

TEST_F(Run, ACompressionStillOpenAtARescanCountsOnceInTheTreeThatScanMade)
{
    QPointer<TQCompressingWindowController> c = compressUntilComplete("big.bin");
    ASSERT_TRUE(c);
    const double saved = c->totalSaved();
    rescan();
    EXPECT_TRUE(c->performClose());
    EXPECT_EQ(countNamed(tree(), "big.zip"), 1u);
    EXPECT_FALSE(childOf(tree(), "big.bin"));
    finish();
    EXPECT_EQ(wc->finishedViewController()->totalCompressed(), 1);
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), saved);
}

TEST_F(Run, AnOriginalBackOnDiskWhenTheCompressionReportsKeepsItsRecord)
{
    QPointer<TQCompressingWindowController> c = compressUntilComplete("big.bin");
    ASSERT_TRUE(c);
    ASSERT_EQ(c->removedFiles().size(), 1u);
    ASSERT_FALSE(exists(dir / "big.bin")) << "the original went";
    // Something is written at its path again before the compression's report is applied.
    makeFile(dir / "big.bin", 1234);
    EXPECT_TRUE(c->performClose());
    EXPECT_TRUE(childOf(tree(), "big.bin")) << "what is on disk keeps its record";
    EXPECT_TRUE(drawn("big.bin"));
    EXPECT_TRUE(childOf(tree(), "big.zip"));
    finish();
    EXPECT_EQ(wc->finishedViewController()->totalCompressed(), 1);
}

// ---- quitting ----

namespace {

class Quitting : public ::testing::Test {
protected:
    Quitting()
    {
        TQTheme::resetRegistry();
        Preferences& prefs = Preferences::sharedPreferences();
        prefs.setMinFileSize(0);
        prefs.setUseTrash(false);
        prefs.setHasAskedToUseDeleteQueue(true);
        prefs.setDeleteCompressedOriginal(false);
        kz::setTriTonePlayerForTesting([] {});
        makeFile(dir / "big.bin", 40000);
        makeFile(dir / "keep.txt", 500);
        delegate = std::make_unique<TQAppDelegate>();
        delegate->setEndProgramHandler([this] { ++ended; });
        delegate->applicationDidFinishLaunching();
        wc = delegate->mainWindowController();
        auto* drop = wc->window()->findChild<KZDropView*>(QStringLiteral("dropView"));
        drop->addFilePaths({dir.path()});
        wc->dropViewFileWasDropped(drop);
        wc->goNext();
        EXPECT_TRUE(waitFor([&] { return wc->currentStep() == 2 && wc->treemapViewController(); }));
    }
    ~Quitting() override
    {
        drainBackgroundWork();
        delegate.reset();
        drain();
        QApplication::setQuitOnLastWindowClosed(true);
        TQTheme::resetRegistry();
        kz::setTriTonePlayerForTesting({});
    }
    KZFilePtr record(const std::string& name) const
    {
        const KZDirectoryPtr root = kz_asDirectory(wc->fileScanViewController()->scanResult().front());
        return childOf(root, name);
    }

    ScreenTestEnvironment env;
    TempDir dir;
    std::unique_ptr<TQAppDelegate> delegate;
    TQMainWindowController* wc = nullptr;
    int ended = 0;
};

} // namespace

TEST_F(Quitting, WaitsForAConfirmedDeleteAndSaysWhy)
{
    DeletionGate gate(dir / "big.bin");
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    ASSERT_TRUE(wc->treemapViewController()->removalFlow()->removeFiles({record("big.bin")}));
    ASSERT_TRUE(gate.waitUntilReached());
    EXPECT_TRUE(wc->isDeleting());
    EXPECT_FALSE(delegate->requestQuit());
    EXPECT_FALSE(delegate->answerLogout(false));
    EXPECT_EQ(ended, 0);
    ASSERT_EQ(env.alerts.service.shown().size(), 2u);
    EXPECT_EQ(env.alerts.service.shown()[1].alert.messageText, TQAppDelegate::StillDeletingMessage);
    EXPECT_EQ(env.alerts.service.shown()[1].alert.informativeText, TQAppDelegate::StillDeletingInformative);
    gate.open();
    ASSERT_TRUE(waitFor([&] { return !wc->isDeleting(); }));
    EXPECT_FALSE(exists(dir / "big.bin"));
    EXPECT_TRUE(delegate->requestQuit());
    EXPECT_EQ(ended, 1);
}

TEST_F(Quitting, TheStillDeletingAlertGoesWhenTheDeleteEnds)
{
    DeletionGate gate(dir / "big.bin");
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    ASSERT_TRUE(wc->treemapViewController()->removalFlow()->removeFiles({record("big.bin")}));
    ASSERT_TRUE(gate.waitUntilReached());
    // The delete ends while the alert is up and nobody answers it: the alert would go on
    // saying the items are still being deleted.
    bool ended = false;
    env.alerts.service.setWhileModal([&] {
        gate.open();
        ended = waitFor([&] { return !wc->isDeleting(); });
        drain();
    });
    EXPECT_FALSE(delegate->requestQuit());
    env.alerts.service.setWhileModal({});
    ASSERT_TRUE(ended);
    ASSERT_EQ(env.alerts.service.shown().size(), 2u);
    EXPECT_EQ(env.alerts.service.shown()[1].alert.messageText, TQAppDelegate::StillDeletingMessage);
    EXPECT_EQ(env.alerts.service.shown()[1].response, KZModalResponseAbort) << "the alert closed by itself";
    EXPECT_EQ(this->ended, 0) << "quitting again is the user's choice";
    EXPECT_FALSE(exists(dir / "big.bin"));
    EXPECT_TRUE(delegate->requestQuit());
    EXPECT_EQ(this->ended, 1);
}

TEST_F(Quitting, WaitsForAnEmptyingWhileItsSheetRuns)
{
    Preferences::sharedPreferences().setUseDeleteQueue(true);
    TQTreemapViewController* screen = wc->treemapViewController();
    screen->treemapViewRemoveFiles(screen->treemapView(), {record("big.bin")});
    DeletionGate gate(dir / "big.bin");
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash);
    ASSERT_TRUE(gate.waitUntilReached());
    EXPECT_FALSE(delegate->requestQuit());
    EXPECT_EQ(env.application.services.beeps, 1) << "the sheet on show is the reason";
    EXPECT_EQ(ended, 0);
    gate.open();
    ASSERT_TRUE(waitFor([] { return !TQEmptyTrashWindowController::isAnySheetRunning(); }));
    env.clock.advance(TQEmptyTrashWindowController::closeDelay);
    ASSERT_TRUE(waitFor([&] { return !wc->runLedger()->isEmptying(); }));
    EXPECT_EQ(wc->runLedger()->totalFreed(), 40000);
    EXPECT_TRUE(delegate->requestQuit());
    EXPECT_EQ(ended, 1);
}

TEST_F(Quitting, DoesNotWaitForACompressionThatGoesOnWithoutTheWindow)
{
    TQTreemapViewController* screen = wc->treemapViewController();
    screen->treemapViewCompressFiles(screen->treemapView(), {record("big.bin")});
    ASSERT_EQ(screen->removalFlow()->compressingWindowControllers().size(), 1u);
    QPointer<TQCompressingWindowController> c = screen->removalFlow()->compressingWindowControllers().front();
    EXPECT_TRUE(delegate->requestQuit());
    EXPECT_EQ(ended, 1);
    const std::string archive = c->compressedFilePath();
    // The program ends: the main window and its ledger go while the compression still has its
    // window. The ledger owns it: it stops, reporting to no one, and leaves nothing half made.
    delegate.reset();
    EXPECT_TRUE(c.isNull());
    drain();
    EXPECT_TRUE(exists(dir / "big.bin"));
    EXPECT_FALSE(exists(archive));
}

// ---- the ledger on its own ----

TEST(RunLedger, WhatGoesWhileTheFolderIsScannedAgainLeavesTheTreeThatScanHandsOver)
{
    ScreenTestEnvironment env;
    TempDir dir;
    makeFile(dir / "x.bin", 7000);
    makeFile(dir / "y.bin", 3000);
    const KZDirectoryPtr first = scanTree(dir.path());
    // Scanned again before the deletion reaches the disk.
    const KZDirectoryPtr second = scanTree(dir.path());
    ASSERT_TRUE(first && second);

    TQRunLedger ledger;
    int totals = 0;
    QObject::connect(&ledger, &TQRunLedger::totalsChanged, [&] { ++totals; });
    ledger.setRootDirectory(first);
    ledger.beginScan();
    bool reported = false;
    ledger.deleteFiles({childOf(first, "x.bin")}, {}, nullptr, {}, [&](const TQDeletionResult&) { reported = true; });
    ASSERT_TRUE(waitFor([&] { return reported; })) << "with no screen the orphan report runs";
    EXPECT_FALSE(childOf(first, "x.bin"));
    EXPECT_EQ(first->fileSize(), 10000) << "the folder keeps counting what went";

    // An archive made meanwhile joins the new tree too.
    makeFile(dir / "z.zip", 100);
    auto compression = TQCompressingWindowController::controllerWithFiles({childOf(first, "y.bin")});
    ledger.compressionStarted(compression.get());
    EXPECT_TRUE(ledger.applyCompression(compression.get(), dir / "z.zip", 0, false, false));
    compression.reset();
    EXPECT_TRUE(childOf(first, "z.zip"));

    ASSERT_TRUE(childOf(second, "x.bin"));
    ledger.setRootDirectory(second);
    EXPECT_FALSE(childOf(second, "x.bin"));
    EXPECT_TRUE(childOf(second, "y.bin"));
    EXPECT_EQ(countNamed(second, "z.zip"), 1u);
    EXPECT_EQ(ledger.totalFreed(), 7000);
    EXPECT_EQ(ledger.totalCompressed(), 1);
    EXPECT_GE(totals, 2) << "each total, and the work's progress a turn at a time";

    // Back and Next: the same tree again changes nothing.
    ledger.setRootDirectory(second);
    EXPECT_EQ(countNamed(second, "z.zip"), 1u);
}

TEST(RunLedger, AReportOfAnEarlierRunEditsTheTreeButCountsNothing)
{
    ScreenTestEnvironment env;
    TempDir dir;
    makeFile(dir / "x.bin", 7000);
    makeFile(dir / "y.bin", 3000);
    const KZDirectoryPtr first = scanTree(dir.path());
    TQRunLedger ledger;
    ledger.setRootDirectory(first);
    DeletionGate gate(dir / "x.bin");
    bool reported = false;
    ledger.deleteFiles({childOf(first, "x.bin")}, {}, nullptr, {}, [&](const TQDeletionResult&) { reported = true; });
    ASSERT_TRUE(gate.waitUntilReached());
    // Start Again, and the same folder scanned while the deletion still waits.
    ledger.beginRun();
    ledger.beginScan();
    const KZDirectoryPtr next = scanTree(dir.path());
    ledger.setRootDirectory(next);
    ASSERT_TRUE(childOf(next, "x.bin"));
    gate.open();
    ASSERT_TRUE(waitFor([&] { return reported; }));
    EXPECT_FALSE(childOf(next, "x.bin")) << "gone from the disk, so gone from the tree";
    EXPECT_EQ(ledger.totalFreed(), 0) << "the bytes belong to the run before";
}

TEST(RunLedger, AFolderScannedAgainInPlaceLeavesOutWhatTheProgramIsRemovingInIt)
{
    ScreenTestEnvironment env;
    TempDir dir;
    makeFile(dir / "box/locked", 60000);
    makeFile(dir / "box/inner/f1", 70000);
    makeFile(dir / "box/inner/f2", 80000);
    const KZDirectoryPtr root = scanTree(dir.path());
    ASSERT_TRUE(root);
    // Nothing in the box can go: it stays, and is scanned again in place. While that scan
    // reads box/inner, the program begins removing it (another delete), which then waits,
    // set aside under its private name.
    struct Shared {
        std::atomic<bool> second{false};
        std::atomic<bool> reached{false};
        std::atomic<bool> open{false};
    };
    auto shared = std::make_shared<Shared>();
    std::thread removal;
    const std::string box = dir / "box", inner = dir / "box/inner";
    kz::setFileFaultHook([&, shared](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Read && path.rfind(inner + "/", 0) == 0 && !shared->second.exchange(true)) {
            removal = std::thread([inner] { kz::removeItemAtPath(inner); });
            while (!shared->reached) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (op != kz::FileOperation::Unlink || path.rfind(box + "/", 0) != 0) return 0;
        if (!shared->second || path == box + "/locked") return EACCES;
        if (!shared->reached.exchange(true))
            while (!shared->open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    });
    TQRunLedger ledger;
    ledger.setRootDirectory(root);
    bool reported = false;
    ledger.deleteFiles({childOf(root, "box")}, {}, nullptr, {}, [&](const TQDeletionResult&) { reported = true; });
    ASSERT_TRUE(waitFor([&] { return reported && ledger.pendingFolderScans() == 0; }));
    ASSERT_TRUE(shared->second);
    const KZDirectoryPtr folder = kz_asDirectory(childOf(root, "box"));
    ASSERT_TRUE(folder);
    std::vector<std::string> names;
    for (KZFile* f : folder->children()) names.push_back(f->nameBytes());
    EXPECT_EQ(names, std::vector<std::string>{"locked"});
    EXPECT_EQ(folder->fileSize(), 60000);

    shared->open = true;
    removal.join();
    kz::setFileFaultHook({});
    EXPECT_FALSE(exists(inner));
    EXPECT_EQ(folder->childCount(), 1u);
}

TEST(RunLedger, WhatStaysOfAFolderThatPartlyWentWhileTheFolderWasScannedAgainJoinsTheNewTree)
{
    ScreenTestEnvironment env;
    TempDir dir;
    makeFile(dir / "box/locked", 60000);
    makeFile(dir / "box/free", 70000);
    makeFile(dir / "other", 80000);
    const KZDirectoryPtr first = scanTree(dir.path());
    ASSERT_TRUE(first);
    auto open = std::make_shared<std::atomic<bool>>(false);
    auto reached = std::make_shared<std::atomic<bool>>(false);
    ScopedFaultHook hook([box = dir / "box", open, reached](kz::FileOperation op, const std::string& path) {
        if (op != kz::FileOperation::Unlink || path.rfind(box + "/", 0) != 0) return 0;
        if (!reached->exchange(true))
            while (!*open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return path == box + "/locked" ? EACCES : 0;
    });
    TQRunLedger ledger;
    ledger.setRootDirectory(first);
    ledger.beginScan();
    bool reported = false;
    ledger.deleteFiles({childOf(first, "box")}, {}, nullptr, {}, [&](const TQDeletionResult&) { reported = true; });
    ASSERT_TRUE(waitFor([&] { return reached->load(); }));
    // Scanned again while the box is being removed: the new tree has none.
    const KZDirectoryPtr second = scanTree(dir.path());
    ASSERT_TRUE(second);
    ASSERT_FALSE(childOf(second, "box"));
    *open = true;
    ASSERT_TRUE(waitFor([&] { return reported && ledger.pendingFolderScans() == 0; }));
    ledger.setRootDirectory(second);
    ASSERT_TRUE(waitFor([&] { return ledger.pendingFolderScans() == 0; }));
    const KZDirectoryPtr box = kz_asDirectory(childOf(second, "box"));
    ASSERT_TRUE(box);
    ASSERT_EQ(box->childCount(), 1u);
    EXPECT_EQ(box->children()[0]->nameBytes(), "locked");
    EXPECT_EQ(second->fileSize(), 140000);
}

TEST(RunLedger, AFolderRefusedBeforeAnythingWasTouchedKeepsItsRecordAndTotal)
{
    ScreenTestEnvironment env;
    TempDir dir;
    makeFile(dir / "changed/a", 60000);
    makeFile(dir / "home/b", 70000);
    const KZDirectoryPtr root = scanTree(dir.path());
    ASSERT_TRUE(root);
    // After the scan, another folder stands at "changed" (the scanned one was moved away),
    // and the home holds something new: both are refused, and neither is scanned again.
    ASSERT_EQ(::rename((dir / "changed").c_str(), (dir / "changed-before").c_str()), 0);
    makeFile(dir / "changed/new", 80000);
    makeFile(dir / "home/new", 90000);
    ScopedHome home(dir / "home");
    const KZDirectoryPtr changed = kz_asDirectory(childOf(root, "changed"));
    const KZDirectoryPtr homeFolder = kz_asDirectory(childOf(root, "home"));
    ASSERT_TRUE(changed && homeFolder);
    TQRunLedger ledger;
    ledger.setRootDirectory(root);
    std::optional<TQDeletionResult> result;
    ledger.deleteFiles({changed, homeFolder}, {}, nullptr, {}, [&](const TQDeletionResult& r) { result = r; });
    ASSERT_TRUE(waitFor([&] { return result.has_value(); }));
    ASSERT_TRUE(result->errors);
    EXPECT_EQ(result->errors->at(changed->path()).code(), KZError::ChangedSinceScan);
    EXPECT_EQ(result->errors->at(homeFolder->path()).code(), KZError::ProtectedItem);
    EXPECT_EQ(ledger.pendingFolderScans(), 0);
    drainBackgroundWork();
    for (const auto& [folder, name, size] : {std::tuple{changed, "a", 60000.0}, std::tuple{homeFolder, "b", 70000.0}}) {
        EXPECT_EQ(folder->parent(), root.get());
        ASSERT_EQ(folder->childCount(), 1u);
        EXPECT_EQ(folder->children()[0]->nameBytes(), name);
        EXPECT_EQ(folder->fileSize(), size);
    }
    EXPECT_EQ(root->fileSize(), 130000);
}

TEST(RunLedger, ADeleteThatEndsAfterTheLedgerWentReachesNothing)
{
    ScreenTestEnvironment env;
    TempDir dir;
    makeFile(dir / "x.bin", 7000);
    const KZDirectoryPtr root = scanTree(dir.path());
    bool reported = false;
    {
        TQRunLedger ledger;
        ledger.setRootDirectory(root);
        ledger.deleteFiles({childOf(root, "x.bin")}, {}, nullptr, {},
                           [&](const TQDeletionResult&) { reported = true; });
    }
    drainBackgroundWork();
    EXPECT_FALSE(exists(dir / "x.bin"));
    EXPECT_FALSE(reported);
    EXPECT_TRUE(childOf(root, "x.bin"));
}
