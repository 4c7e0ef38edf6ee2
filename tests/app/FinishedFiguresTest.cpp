// The finished screen's figures against the disk, through the whole wizard on real files: the
// figure is what the run took off the disk (the bytes of the files and links that left the
// scanned folder) less the archives it wrote there.

#include "app/KZFinishedViewController.h"
#include "app/KZLCDLabel.h"
#include "app/KZLCDStatusViewController.h"
#include "app/TQAppDelegate.h"
#include "app/TQCompressingWindowController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQNotifications.h"
#include "app/TQRemovalFlow.h"
#include "app/TQRunLedger.h"
#include "kit/KZSpaceLabel.h"
#include "model/KZPath.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZFileFaults.h"
#include "platform/widgets/KZSound.h"
#include "tests/app/WizardTestSupport.h"
#include "treemap/TQTheme.h"

#include "ui_KZFinishedViewController.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <thread>

using namespace kztest;
using State = TQCompressingWindowController::State;

namespace {

// The bytes of the files and links below the folder (folders count 0), as the figure counts them.
double fileBytesUnder(const std::string& path)
{
    namespace fs = std::filesystem;
    double bytes = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) bytes += double(st.st_size);
    }
    return bytes;
}

// A file of random bytes, as photos are: zip can't make it smaller.
void writeRandomFile(const std::string& path, size_t size)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::mt19937 random{static_cast<unsigned>(size)};
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(random() & 0xff);
    std::ofstream(path, std::ios::binary) << bytes;
}

// Holds a removal inside the folder: its files go one by one until `holdAt` of them are
// asked for (with a pause of `pauseMs` at half way, so that a report of progress is due), then
// the removal waits until opened. `operation` is what each file's going asks for.
class RemovalGate {
public:
    RemovalGate(std::string folder, int holdAt, kz::FileOperation operation = kz::FileOperation::Unlink)
        : state_(std::make_shared<State>())
    {
        std::shared_ptr<State> state = state_;
        folder = kz_withTrailingSlash(folder);
        kz::setFileFaultHook([state, folder, holdAt, operation](kz::FileOperation op, const std::string& path) {
            if (op != operation || !path.starts_with(folder)) return 0;
            const int n = ++state->seen;
            if (n == holdAt / 2) std::this_thread::sleep_for(std::chrono::milliseconds(80));
            if (n == holdAt) {
                state->reached = true;
                while (!state->open) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            return 0;
        });
    }
    ~RemovalGate()
    {
        open();
        kz::setFileFaultHook({});
    }
    bool waitUntilReached() const
    {
        return waitFor([this] { return state_->reached.load(); });
    }
    void open() { state_->open = true; }

private:
    struct State {
        std::atomic<int> seen{0};
        std::atomic<bool> reached{false};
        std::atomic<bool> open{false};
    };
    std::shared_ptr<State> state_;
};

class Figures : public RemovalRunFixture {
protected:
    // Scans the folder and notes what its files hold.
    void scan()
    {
        runToResults(dir.path());
        before = fileBytesUnder(dir.path());
    }
    KZFinishedViewController* finished() const { return wc->finishedViewController(); }
    Ui::KZFinishedViewController* form() const { return finished()->ui(); }
    // What left the scanned folder since the scan.
    double wentFromTheFolder() const { return before - fileBytesUnder(dir.path()); }

    // Compresses the root's child and waits until its window shows the archive complete.
    QPointer<TQCompressingWindowController> compress(const std::string& name)
    {
        screen()->treemapViewCompressFiles(screen()->treemapView(), {childNamed(name)});
        const auto running = screen()->removalFlow()->compressingWindowControllers();
        EXPECT_EQ(running.size(), 1u);
        if (running.empty()) return nullptr;
        QPointer<TQCompressingWindowController> c = running.front();
        EXPECT_TRUE(waitFor([&] { return !c || c->state() == State::Complete; }));
        return c;
    }
    void finish()
    {
        click("nextButton");
        ASSERT_TRUE(wc->isFinishedScreenShown());
    }
    // Confirms the deletion of the root's child.
    void confirmDelete(const std::string& name)
    {
        env.alerts.service.answerNext(KZAlertFirstButtonReturn);
        ASSERT_TRUE(screen()->removalFlow()->removeFiles({childNamed(name)}));
    }
    // Queues the root's children and asks for the delete sheet, as the popover's Empty Trash does.
    void emptyQueueWith(const std::vector<std::string>& names)
    {
        env.settings.preferences().setUseDeleteQueue(true);
        KZFileList files;
        for (const std::string& name : names) files.push_back(childNamed(name));
        screen()->treemapViewRemoveFiles(screen()->treemapView(), files);
        ASSERT_EQ(TQDeleteQueue::sharedInstance().queue().size(), names.size());
        KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash);
        ASSERT_TRUE(screen()->removalFlow()->emptyWindowController());
        env.settings.preferences().setUseDeleteQueue(false);
    }
    // Lets the delete sheet close once its run has ended, and waits for the emptying to end.
    bool endEmptying()
    {
        if (!waitFor([] { return !TQEmptyTrashWindowController::isAnySheetRunning(); })) return false;
        env.clock.advance(TQEmptyTrashWindowController::closeDelay);
        return waitFor([&] { return !ledger()->isEmptying(); });
    }
    KZLCDStatusViewController* statusPanel() const { return wc->lcdStatusViewController(); }
    // The whole window as the user sees it, for looking at.
    void saveWindow(const char* name)
    {
        const QString folder = outputFolder() + QStringLiteral("/app");
        QDir().mkpath(folder);
        // The status panel's transition lands first.
        env.clock.advance(1);
        drain();
        EXPECT_TRUE(wc->window()->grab().toImage().save(folder + QLatin1Char('/') + QLatin1String(name) +
                                                        QStringLiteral(".png")));
    }
    // The finished screen says the work still runs: its row with what has gone and what is
    // left, a bar part way, the caption's "so far", and the status panel says it too.
    void expectRunning(const QString& title)
    {
        drain();
        EXPECT_TRUE(finished()->runTotals().isRunning());
        EXPECT_FALSE(form()->workingContainer->isHidden());
        EXPECT_TRUE(form()->workingLabel->text().startsWith(title + QStringLiteral(": ")))
            << form()->workingLabel->text().toStdString();
        EXPECT_TRUE(form()->workingLabel->text().contains(QStringLiteral(" gone, ")));
        EXPECT_GT(form()->workingProgressBar->value(), 0);
        EXPECT_LT(form()->workingProgressBar->value(), 1000);
        EXPECT_TRUE(form()->totalFreedSubtitleLabel->text().endsWith(KZFinishedViewController::SoFar));
        EXPECT_EQ(statusPanel()->currentView(), statusPanel()->workingView());
        EXPECT_EQ(statusPanel()->workingTitleLabel()->text(), title);
    }
    // ... and once nothing runs, says the clean-up is complete.
    void expectComplete()
    {
        drain();
        EXPECT_FALSE(finished()->runTotals().isRunning());
        EXPECT_TRUE(form()->workingContainer->isHidden());
        EXPECT_FALSE(form()->totalFreedSubtitleLabel->text().endsWith(KZFinishedViewController::SoFar));
        EXPECT_EQ(statusPanel()->currentView(), statusPanel()->congratsView());
    }
    void makeFolderOfSmallFiles(const std::string& name, int files)
    {
        for (int i = 0; i < files; ++i) makeFile(dir / (name + "/f" + std::to_string(i)), 4096);
    }

    TempDir dir;
    double before = 0;
};

} // namespace

// ---- compressions ----

TEST_F(Figures, ACompressionWhoseArchiveOutweighsWhatWentMakesTheFigureWhatTheDiskGained)
{
    // A zip of photos is larger than the photos.
    writeRandomFile(dir / "photos/a.jpg", 150000);
    writeRandomFile(dir / "photos/b.jpg", 150000);
    writeRandomFile(dir / "keep.txt", 500);
    scan();
    QPointer<TQCompressingWindowController> c = compress("photos");
    ASSERT_TRUE(c);
    const double archive = TQCompressingWindowController::fileSizeForPath(dir / "photos.zip");
    ASSERT_GT(archive, 300000);
    ASSERT_TRUE(c->performClose());
    finish();

    EXPECT_EQ(finished()->totalFreed(), wentFromTheFolder());
    EXPECT_EQ(finished()->totalFreed(), 300000 - archive);
    EXPECT_EQ(finished()->totalCompressed(), 1) << "a compression that saved nothing still counts";
    EXPECT_EQ(form()->totalFreedSubtitleLabel->text(), KZFinishedViewController::GrewCaption);
    EXPECT_EQ(form()->totalFreedLabel->stringValue(), QString::asprintf("%.1fKB", (archive - 300000) / 1000.0));
    EXPECT_TRUE(finished()->shareText(0).startsWith(QStringLiteral("I cleaned my computer")));
    EXPECT_EQ(wc->touchBarFinishedLabel()->text(), TQMainWindowController::finishedTouchBarText(0));
}

TEST_F(Figures, ACompressionWhoseItemWentElsewhereCountsOnlyItsArchive)
{
    writeRandomFile(dir / "big.txt", 200000);
    writeRandomFile(dir / "keep.txt", 500);
    scan();
    // Another program deletes the item once zip has read it.
    QPointer<TQCompressingWindowController> c;
    {
        ScopedFaultHook faults([&](kz::FileOperation op, const std::string&) {
            if (op == kz::FileOperation::Flush) ::unlink((dir / "big.txt").c_str());
            return 0;
        });
        c = compress("big.txt");
    }
    ASSERT_TRUE(c);
    const double archive = TQCompressingWindowController::fileSizeForPath(dir / "big.zip");
    ASSERT_GT(archive, 0);
    ASSERT_TRUE(c->performClose());
    finish();
    // The folder lost the item, but not through the run: the run only added the archive.
    EXPECT_EQ(wentFromTheFolder(), 200000 - archive);
    EXPECT_EQ(finished()->totalFreed(), -archive);
    EXPECT_EQ(finished()->totalCompressed(), 1);
}

TEST_F(Figures, ACompressionThatKeepsItsOriginalsCountsItsArchive)
{
    env.settings.preferences().setDeleteCompressedOriginal(false);
    writeRandomFile(dir / "notes/a.txt", 1000);
    std::ofstream(dir / "notes/b.txt") << std::string(90000, 'n');
    scan();
    QPointer<TQCompressingWindowController> c = compress("notes");
    ASSERT_TRUE(c);
    ASSERT_TRUE(c->performClose());
    finish();
    EXPECT_EQ(finished()->totalFreed(), wentFromTheFolder());
    EXPECT_LT(finished()->totalFreed(), 0);
    EXPECT_EQ(finished()->totalCompressed(), 1);
}

// ---- work still running when the run finishes ----

TEST_F(Figures, AConfirmedDeleteStillRunningShowsWhatHasGoneAndCompleteOnlyOnceItEnds)
{
    makeFolderOfSmallFiles("many", 3000);
    writeRandomFile(dir / "keep.txt", 500);
    scan();
    RemovalGate gate(dir / "many", 2000);
    confirmDelete("many");
    ASSERT_TRUE(gate.waitUntilReached());
    finish();
    // The figure follows the bytes as they go: some have, not all.
    ASSERT_TRUE(waitFor([&] { return finished()->totalFreed() > 0; }));
    const double soFar = finished()->totalFreed();
    EXPECT_LT(soFar, 3000 * 4096.0);
    EXPECT_LE(soFar, wentFromTheFolder());
    EXPECT_EQ(finished()->runTotals().deleting, 1);
    EXPECT_EQ(finished()->runTotals().goneBytes, soFar);
    EXPECT_GT(finished()->runTotals().leftBytes, 0);
    expectRunning(KZFinishedViewController::StillDeleting);
    EXPECT_TRUE(form()->trashNoteLabel->isHidden()) << "deleted outright: nothing is in the Trash";
    saveWindow("finished-window-deleting");

    gate.open();
    ASSERT_TRUE(waitFor([&] { return ledger()->runningDeletions() == 0; }));
    expectComplete();
    saveWindow("finished-window-deleted");
    EXPECT_EQ(finished()->totalFreed(), 3000 * 4096.0);
    EXPECT_EQ(finished()->totalFreed(), wentFromTheFolder());
    EXPECT_EQ(form()->totalFreedSubtitleLabel->text(), KZFinishedViewController::FreedCaption);
    EXPECT_TRUE(form()->trashNoteLabel->isHidden());
}

TEST_F(Figures, AnEmptyingStillRunningShowsWhatHasGoneAndCompleteOnlyOnceItEnds)
{
    makeFolderOfSmallFiles("many", 3000);
    writeRandomFile(dir / "keep.txt", 500);
    scan();
    RemovalGate gate(dir / "many", 2000);
    emptyQueueWith({"many"});
    ASSERT_TRUE(gate.waitUntilReached());
    // Finish asks about what is still queued; "Don't Delete" goes on to the finished screen.
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    wc->goNext();
    ASSERT_TRUE(wc->isFinishedScreenShown());
    ASSERT_TRUE(waitFor([&] { return finished()->totalFreed() > 0; }));
    EXPECT_LT(finished()->totalFreed(), 3000 * 4096.0);
    expectRunning(KZFinishedViewController::StillDeleting);

    gate.open();
    ASSERT_TRUE(endEmptying());
    expectComplete();
    EXPECT_EQ(finished()->totalFreed(), 3000 * 4096.0);
    EXPECT_EQ(finished()->totalFreed(), wentFromTheFolder());
}

TEST_F(Figures, ACompressionStillRemovingItsOriginalsShowsWhatHasGoneAndCompleteOnlyOnceItEnds)
{
    makeFolderOfSmallFiles("logs/a", 300);
    makeFolderOfSmallFiles("logs/b", 300);
    scan();
    // The originals go to the Trash: the second waits.
    screen()->treemapViewCompressFiles(screen()->treemapView(), {childNamed("logs")});
    const auto running = screen()->removalFlow()->compressingWindowControllers();
    ASSERT_EQ(running.size(), 1u);
    QPointer<TQCompressingWindowController> c = running.front();
    // Everything of the folder goes to the Trash in one move: hold that move.
    RemovalGate gate(dir.path(), 1, kz::FileOperation::Rename);
    ASSERT_TRUE(gate.waitUntilReached());
    finish();
    EXPECT_EQ(c->state(), State::Deleting);
    drain();
    EXPECT_TRUE(finished()->runTotals().isRunning());
    EXPECT_EQ(finished()->runTotals().compressing, 1);
    EXPECT_FALSE(form()->workingContainer->isHidden());
    EXPECT_TRUE(
        form()->workingLabel->text().startsWith(KZFinishedViewController::StillCompressing + QStringLiteral(": ")));
    EXPECT_EQ(statusPanel()->currentView(), statusPanel()->workingView());
    // Nothing has gone yet, but the archive is there: the disk holds that much more so far.
    const double archive = TQCompressingWindowController::fileSizeForPath(dir / "logs.zip");
    EXPECT_EQ(finished()->totalFreed(), -archive);
    saveWindow("finished-window-compressing");

    gate.open();
    ASSERT_TRUE(waitFor([&] { return c && c->state() == State::Complete; }));
    expectComplete();
    EXPECT_EQ(finished()->totalFreed(), 600 * 4096.0 - archive);
    EXPECT_EQ(finished()->totalFreed(), wentFromTheFolder());
    EXPECT_EQ(finished()->totalCompressed(), 1);
    ASSERT_TRUE(c->performClose());
    drain();
    EXPECT_EQ(finished()->totalFreed(), 600 * 4096.0 - archive) << "counted once";
}

// ---- what is in the Trash ----

TEST_F(Figures, TheFigureSaysHowMuchOfItIsInTheTrash)
{
    writeRandomFile(dir / "video.mp4", 367000);
    writeRandomFile(dir / "queued/a.bin", 100000);
    writeRandomFile(dir / "queued/b.bin", 31000);
    writeRandomFile(dir / "share.bin", 40000);
    writeRandomFile(dir / "big.iso", 315000);
    scan();
    Preferences& prefs = env.settings.preferences();
    prefs.setUseTrash(true);
    confirmDelete("video.mp4");
    ASSERT_TRUE(waitFor([&] { return ledger()->runningDeletions() == 0; }));
    emptyQueueWith({"queued"});
    ASSERT_TRUE(endEmptying());
    // On a network volume: deleted outright although the Trash is chosen.
    childNamed("share.bin")->setIsNetworkItem(true);
    confirmDelete("share.bin");
    ASSERT_TRUE(waitFor([&] { return ledger()->runningDeletions() == 0; }));
    prefs.setUseTrash(false);
    confirmDelete("big.iso");
    ASSERT_TRUE(waitFor([&] { return ledger()->runningDeletions() == 0; }));
    finish();

    EXPECT_EQ(finished()->totalFreed(), 367000 + 131000 + 40000 + 315000);
    EXPECT_EQ(finished()->totalFreed(), wentFromTheFolder());
    EXPECT_EQ(finished()->runTotals().inTrash, 367000 + 131000);
    EXPECT_EQ(form()->totalFreedLabel->stringValue(), QStringLiteral("853.0KB"));
    EXPECT_FALSE(form()->trashNoteLabel->isHidden());
    EXPECT_EQ(form()->trashNoteLabel->text(),
              QStringLiteral("498.0 KB of it is in the Trash.\nEmptying the Trash frees it."));
    expectComplete();
    saveWindow("finished-window-trash");
}

TEST(FinishedScreenQuit, WaitsForADeleteStillRunningAndSaysWhy)
{
    ScreenTestEnvironment env;
    TempDir dir;
    TQTheme::resetRegistry();
    Preferences& prefs = env.settings.preferences();
    prefs.setMinFileSize(0);
    prefs.setUseTrash(false);
    prefs.setHasAskedToUseDeleteQueue(true);
    prefs.setUseDeleteQueue(false);
    for (int i = 0; i < 3000; ++i) makeFile(dir / ("many/f" + std::to_string(i)), 4096);
    auto delegate = std::make_unique<TQAppDelegate>();
    int ended = 0;
    delegate->setEndProgramHandler([&] { ++ended; });
    delegate->applicationDidFinishLaunching();
    TQMainWindowController* wc = delegate->mainWindowController();
    auto* drop = wc->window()->findChild<KZDropView*>(QStringLiteral("dropView"));
    drop->addFilePaths({dir.path()});
    wc->dropViewFileWasDropped(drop);
    wc->goNext();
    ASSERT_TRUE(waitFor([&] { return wc->currentStep() == 2 && wc->treemapViewController(); }));
    const KZDirectoryPtr root = kz_asDirectory(wc->fileScanViewController()->scanResult().front());
    ASSERT_TRUE(root && root->childCount() == 1);
    {
        RemovalGate gate(dir / "many", 2000);
        env.alerts.service.answerNext(KZAlertFirstButtonReturn);
        ASSERT_TRUE(wc->treemapViewController()->removalFlow()->removeFiles({KZFilePtr(root->children()[0])}));
        ASSERT_TRUE(gate.waitUntilReached());
        wc->goNext();
        ASSERT_TRUE(wc->isFinishedScreenShown());

        // Quit on the finished screen asks the program's one quit path; it waits, and an alert
        // says why.
        auto* quit = wc->window()->findChild<KZButton*>(QStringLiteral("quitButton"));
        ASSERT_TRUE(quit && quit->isVisible());
        QTest::mouseClick(quit, Qt::LeftButton, Qt::NoModifier, quit->rect().center());
        EXPECT_EQ(env.application.services.terminations, 1);
        EXPECT_FALSE(delegate->requestQuit());
        EXPECT_EQ(ended, 0);
        ASSERT_FALSE(env.alerts.service.shown().empty());
        EXPECT_EQ(env.alerts.service.shown().back().alert.messageText, TQAppDelegate::StillDeletingMessage);
        drain();
        EXPECT_TRUE(wc->finishedViewController()->runTotals().isRunning()) << "the screen says so too";
        gate.open();
        ASSERT_TRUE(waitFor([&] { return !wc->isDeleting(); }));
    }
    drain();
    EXPECT_FALSE(wc->finishedViewController()->runTotals().isRunning());
    EXPECT_EQ(wc->finishedViewController()->totalFreed(), 3000 * 4096.0);
    EXPECT_TRUE(delegate->requestQuit());
    EXPECT_EQ(ended, 1);
    drainBackgroundWork();
    delegate.reset();
    drain();
    QApplication::setQuitOnLastWindowClosed(true);
    TQTheme::resetRegistry();
}
