// The results screen's confirmed delete on real files: its texts, direct and Trash deletion,
// partial failure, protected items and the freed total.
#include "app/TQCompressingWindowController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQNotifications.h"
#include "app/TQRunLedger.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZFileFaults.h"
#include "platform/widgets/KZSound.h"
#include "tests/app/TreemapScreenFixture.h"

#include <cerrno>
#include <fstream>

using screentest::child;
using screentest::childFolder;
using screentest::TreemapScreen;
using Screen = TQTreemapViewController;

namespace {

std::string trashFiles()
{
    return QFile::encodeName(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Trash/files")).toStdString();
}

} // namespace

struct TreemapScreenDelete : TreemapScreen {
    int nextEnabled = 0;
    void SetUp() override
    {
        makeTree();
        open();
        KZNotificationCenter::defaultCenter().addObserver(
            TQNotification_EnableNextButton, [this](const KZNotification&) { ++nextEnabled; }, screen.get());
    }
    // Selects, presses Delete and confirms; waits for the end of the run.
    void deleteSelection(std::initializer_list<std::string> relatives)
    {
        select(relatives);
        env.alerts.service.answerNext(KZAlertFirstButtonReturn);
        screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
        ASSERT_TRUE(waitForRemoval());
    }
};

TEST_F(TreemapScreenDelete, ALongEmptyingLeavesTheTreeASliceAtATimeThenFinishesOnce)
{
    TQRunLedger::setEmptyingSliceForTesting(6);
    KZFileList files;
    for (int i = 0; i < 20; ++i) files.push_back(child(childFolder(root, "many"), "f" + std::to_string(i)));
    TQDeleteQueue::sharedInstance().addFilesToQueue(files);
    int finishes = 0;
    KZNotificationCenter::defaultCenter().addObserver(
        TQNotification_Finish, [&](const KZNotification&) { ++finishes; }, screen.get());
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrashAndFinish);
    ASSERT_TRUE(kztest::waitFor([&] { return screen->removalFlow()->emptyWindowController()->isFinished(); }));
    env.clock.advance(TQEmptyTrashWindowController::closeDelay);

    // The first slice has gone; the view takes no clicks until the rest has.
    EXPECT_EQ(childFolder(root, "many")->childCount(), 14u);
    EXPECT_FALSE(view()->isEnabled());
    EXPECT_EQ(screen->totalFreed(), 0);
    ASSERT_TRUE(kztest::waitFor([&] { return finishes == 1; }));
    EXPECT_EQ(childFolder(root, "many")->childCount(), 0u);
    EXPECT_TRUE(view()->isEnabled());
    EXPECT_EQ(screen->totalFreed(), 40000);
    EXPECT_EQ(nextEnabled, 1);
    EXPECT_TRUE(screen->rescanPrompt()->canShowFileChangeAlert());
    TQRunLedger::setEmptyingSliceForTesting(0);
}

TEST_F(TreemapScreenDelete, ConfirmationTextsAndCancel)
{
    const auto ask = [&](std::initializer_list<std::string> relatives) {
        select(relatives);
        env.alerts.service.answerNext(KZAlertSecondButtonReturn); // Cancel
        screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
        return alerts().back().alert;
    };
    prefs().setUseTrash(true);
    KZAlert alert = ask({"big.bin"});
    EXPECT_EQ(alert.messageText, QStringLiteral("Are you sure you want to delete 'big.bin'?"));
    EXPECT_EQ(alert.informativeText, QStringLiteral("This file will be moved to the trash."));
    EXPECT_EQ(alert.buttons, (QStringList{"Delete", "Cancel"}));
    prefs().setUseTrash(false);
    alert = ask({"big.bin", "docs"});
    EXPECT_EQ(alert.messageText, QStringLiteral("Are you sure you want to delete these 2 files?"));
    EXPECT_EQ(alert.informativeText, QStringLiteral("These items will be deleted immediately."));

    // Network items, which never go to the Trash, are called out.
    prefs().setUseTrash(true);
    child(root, "big.bin")->setIsNetworkItem(true);
    EXPECT_EQ(ask({"big.bin", "docs"}).informativeText,
              "These items will be moved to the trash.\n\n" + TQRemovalFlow::NetworkSomeOneNote.arg("big.bin"));
    EXPECT_EQ(ask({"big.bin"}).informativeText,
              "This file will be moved to the trash.\n\n" + TQRemovalFlow::NetworkAllOneNote);
    EXPECT_FALSE(screen->removalFlow()->isDeleting());
    EXPECT_TRUE(child(root, "big.bin") && kztest::exists(tmp / "big.bin"));
    EXPECT_EQ(nextEnabled, 0);
}

TEST_F(TreemapScreenDelete, DirectDeleteRemovesTheItemAndItsRecordAndCountsItsBytes)
{
    const double rootTotal = root->fileSize();
    deleteSelection({"big.bin"});
    EXPECT_FALSE(kztest::exists(tmp / "big.bin") || child(root, "big.bin") || nodeFor("big.bin"));
    EXPECT_EQ(screen->totalFreed(), 400000);
    EXPECT_EQ(nextEnabled, 1);
    EXPECT_EQ(root->fileSize(), rootTotal) << "the folder keeps counting what was removed";
    EXPECT_EQ(alerts().size(), 1u) << "only the confirmation";

    // A record whose item vanished meanwhile leaves the tree without adding bytes.
    ASSERT_EQ(::unlink((tmp / "docs/b.txt").c_str()), 0);
    view()->zoomToDirectory(childFolder(root, "docs"));
    deleteSelection({"docs/b.txt"});
    EXPECT_FALSE(child(childFolder(root, "docs"), "b.txt"));
    EXPECT_EQ(screen->totalFreed(), 400000);
    EXPECT_EQ(alerts().size(), 2u);
}

TEST_F(TreemapScreenDelete, TrashDeleteMovesIntoTheTrashOfTheDataFolder)
{
    prefs().setUseTrash(true);
    const std::string name = kz_lastPathComponent(tmp.path()) + ".bin"; // unique in the shared Trash
    kztest::makeFile(tmp / name, 9000);
    root->addChild(KZFile::fileWithPath(tmp / name, true).get());
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    EXPECT_TRUE(screen->removalFlow()->removeFiles({child(root, name)}));
    ASSERT_TRUE(waitForRemoval());
    EXPECT_TRUE(kztest::exists(trashFiles() + "/" + name) && !kztest::exists(tmp / name));
    EXPECT_FALSE(child(root, name));
    EXPECT_EQ(screen->totalFreed(), 9000);
}

TEST_F(TreemapScreenDelete, PartialFailureAndProtectedItemsTakeOutOnlyWhatWentAndListTheRest)
{
    const std::string stuck = tmp / "docs/b.txt";
    kztest::ScopedFaultHook faults([stuck](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && kz_isEqualToPath(path, stuck) ? EACCES : 0;
    });
    // A home folder (not there): the ignore list protects it, so it is a failure, never done.
    const KZDirectoryPtr home = KZDirectory::fileWithPath("/Users/sizemere-nobody");
    const KZDirectoryPtr docs = childFolder(root, "docs");
    docs->addChild(home.get());
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    EXPECT_TRUE(screen->removalFlow()->removeFiles({child(docs, "a.txt"), child(docs, "b.txt"), KZFilePtr(home)}));
    ASSERT_TRUE(waitForRemoval());
    EXPECT_FALSE(kztest::exists(tmp / "docs/a.txt") || child(docs, "a.txt"));
    EXPECT_TRUE(kztest::exists(stuck) && child(docs, "b.txt") && child(docs, "sizemere-nobody"));
    EXPECT_EQ(screen->totalFreed(), 120000);
    EXPECT_EQ(nextEnabled, 1);
    ASSERT_EQ(alerts().size(), 2u);
    EXPECT_EQ(alerts()[1].alert.messageText, TQRemovalFlow::DeleteFailedMessage);
    EXPECT_EQ(alerts()[1].alert.buttons, QStringList{"Okay"});
    EXPECT_EQ(alerts()[1].alert.informativeText, QString::fromStdString(stuck) +
                                                     ": Could not delete the item: Permission denied\n"
                                                     "/Users/sizemere-nobody: " +
                                                     TQRemovalFlow::UnremovableReason);
}

TEST_F(TreemapScreenDelete, AFolderThatOnlyPartlyWentKeepsOnlyWhatIsLeftInTheTreeAndItsTotal)
{
    const std::string stuck = tmp / "docs/b.txt";
    kztest::ScopedFaultHook faults([stuck](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && kz_isEqualToPath(path, stuck) ? EACCES : 0;
    });
    const KZDirectoryPtr docs = childFolder(root, "docs");
    const double rootTotal = root->fileSize();
    deleteSelection({"docs"});
    ASSERT_TRUE(kztest::waitFor([&] { return screen->runLedger()->pendingFolderScans() == 0; }));
    EXPECT_FALSE(kztest::exists(tmp / "docs/a.txt"));
    EXPECT_TRUE(kztest::exists(stuck));
    // The folder stays, with the reason listed; what went has left it, and its total is what
    // is left on disk (the root keeps counting what went, as after any deletion).
    ASSERT_EQ(child(root, "docs"), docs);
    EXPECT_FALSE(child(docs, "a.txt"));
    ASSERT_TRUE(child(docs, "b.txt"));
    EXPECT_EQ(docs->childCount(), 1u);
    EXPECT_EQ(docs->fileSize(), 60000);
    EXPECT_EQ(root->fileSize(), rootTotal);
    EXPECT_FALSE(nodeFor("docs/a.txt"));
    EXPECT_EQ(screen->totalFreed(), 120000);
    ASSERT_EQ(alerts().size(), 2u);
    EXPECT_TRUE(alerts()[1].alert.informativeText.contains(QString::fromStdString(stuck)));

    // Emptied from the queue: the folder stays queued, and comes back with only what is left.
    prefs().setUseDeleteQueue(true);
    const KZDirectoryPtr many = childFolder(root, "many");
    const std::string kept = tmp / "many/f3";
    kztest::ScopedFaultHook manyFaults([kept](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && kz_isEqualToPath(path, kept) ? EACCES : 0;
    });
    select({"many"});
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash);
    ASSERT_TRUE(kztest::waitFor([&] { return screen->removalFlow()->emptyWindowController()->isFinished(); }));
    screen->removalFlow()->emptyWindowController()->close();
    ASSERT_TRUE(kztest::waitFor(
        [&] { return !screen->runLedger()->isEmptying() && screen->runLedger()->pendingFolderScans() == 0; }));
    EXPECT_EQ(TQDeleteQueue::sharedInstance().queue(), KZFileList{KZFilePtr(many)});
    TQDeleteQueue::sharedInstance().clearQueue();
    ASSERT_EQ(child(root, "many"), many);
    ASSERT_EQ(many->childCount(), 1u);
    EXPECT_TRUE(child(many, "f3"));
    EXPECT_EQ(many->fileSize(), 2000);
    EXPECT_EQ(screen->totalFreed(), 120000 + 19 * 2000);
}

TEST_F(TreemapScreenDelete, TheTitleFollowsTheTotalOfTheFolderShownThroughDeletesAndTheLedgersRescan)
{
    const KZMemoryFormatter formatter;
    const auto title = [&](const KZDirectoryPtr& folder) {
        return (folder->fileName() + " - " + formatter.stringFromBytes(folder->fileSize())).toStdString();
    };
    const auto shown = [&] { return window->windowTitle().toStdString(); };
    // A deletion keeps the totals of the folders that held what went: the title stays.
    const double rootTotal = root->fileSize();
    deleteSelection({"big.bin"});
    EXPECT_EQ(root->fileSize(), rootTotal);
    EXPECT_EQ(shown(), title(root));

    // A folder that only partly goes is scanned again in place by the run's ledger; shown at
    // top level meanwhile, its new total is the title's.
    const std::string stuck = tmp / "docs/b.txt";
    kztest::ScopedFaultHook faults([stuck](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && kz_isEqualToPath(path, stuck) ? EACCES : 0;
    });
    const KZDirectoryPtr docs = childFolder(root, "docs");
    select({"docs"});
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    view()->zoomToDirectory(docs);
    EXPECT_EQ(shown(), "docs - 180.0 KB");
    ASSERT_TRUE(waitForRemoval());
    ASSERT_TRUE(kztest::waitFor([&] { return screen->runLedger()->pendingFolderScans() == 0; }));
    EXPECT_EQ(docs->fileSize(), 60000);
    EXPECT_EQ(shown(), "docs - 60.0 KB");
    view()->zoomOut();
    EXPECT_EQ(shown(), title(root));
}

TEST_F(TreemapScreenDelete, AFileThenItsFolderAreCountedOnce)
{
    view()->zoomToDirectory(childFolder(root, "docs"));
    deleteSelection({"docs/a.txt"});
    EXPECT_EQ(screen->totalFreed(), 120000);
    view()->zoomOut();
    deleteSelection({"docs"});
    EXPECT_FALSE(kztest::exists(tmp / "docs"));
    EXPECT_FALSE(child(root, "docs"));
    EXPECT_EQ(screen->totalFreed(), 180000) << "the file is not counted a second time through its folder";
    EXPECT_EQ(nextEnabled, 2);
}

TEST_F(TreemapScreenDelete, AFileThenItsFolderCompressedAreCountedOnce)
{
    kz::setTriTonePlayerForTesting([] {});
    prefs().setDeleteCompressedOriginal(true);
    deleteSelection({"docs/a.txt"});
    EXPECT_EQ(screen->totalFreed(), 120000);
    // The folder's record still counts the deleted file; its compression counts what went.
    select({"docs"});
    screen->toolbarItem(TQTreemapToolbar::CompressItem)->trigger();
    ASSERT_EQ(screen->removalFlow()->compressingWindowControllers().size(), 1u);
    TQCompressingWindowController* c = screen->removalFlow()->compressingWindowControllers().front();
    ASSERT_TRUE(kztest::waitFor([&] { return c->state() == TQCompressingWindowController::State::Complete; }));
    EXPECT_TRUE(c->originalDeleted());
    const double archive = TQCompressingWindowController::fileSizeForPath(tmp / "docs.zip");
    EXPECT_GT(archive, 0);
    c->performClose();
    EXPECT_FALSE(kztest::exists(tmp / "docs"));
    EXPECT_EQ(screen->totalFreed(), 120000 + std::max(0.0, 60000 - archive))
        << "the file is not counted a second time through its folder";
    EXPECT_EQ(screen->removalFlow()->totalCompressed(), 1);
    kz::setTriTonePlayerForTesting({});
}

TEST_F(TreemapScreenDelete, ACompressionWhoseOriginalsOnlyPartlyWentCountsWhatWent)
{
    kz::setTriTonePlayerForTesting([] {});
    prefs().setDeleteCompressedOriginal(true);
    // Once zip has written the archive, another program adds to one of the two originals.
    const std::string changed = tmp / "docs/b.txt";
    kztest::ScopedFaultHook faults([changed](kz::FileOperation op, const std::string&) {
        if (op == kz::FileOperation::Flush) std::ofstream(changed, std::ios::app) << "one more line";
        return 0;
    });
    const KZDirectoryPtr docs = childFolder(root, "docs");
    select({"docs/a.txt", "docs/b.txt"});
    screen->toolbarItem(TQTreemapToolbar::CompressItem)->trigger();
    ASSERT_EQ(screen->removalFlow()->compressingWindowControllers().size(), 1u);
    TQCompressingWindowController* c = screen->removalFlow()->compressingWindowControllers().front();
    ASSERT_TRUE(kztest::waitFor([&] { return c->state() == TQCompressingWindowController::State::Complete; }));
    EXPECT_FALSE(c->originalDeleted());
    ASSERT_EQ(c->removedFiles().size(), 1u);
    const double saved = c->totalSaved();
    EXPECT_EQ(saved, 120000 - TQCompressingWindowController::fileSizeForPath(tmp / "docs/Archive.zip"));
    EXPECT_GT(saved, 0);
    c->performClose();
    EXPECT_FALSE(kztest::exists(tmp / "docs/a.txt") || child(docs, "a.txt"));
    EXPECT_TRUE(kztest::exists(changed) && child(docs, "b.txt"));
    // What went counts, in the screen's total and in the run's, though one original stayed.
    EXPECT_EQ(screen->totalFreed(), saved);
    EXPECT_EQ(screen->runLedger()->totalFreed(), saved);
    EXPECT_EQ(screen->removalFlow()->totalCompressed(), 2); // the items compressed
    kz::setTriTonePlayerForTesting({});
}

TEST_F(TreemapScreenDelete, TheEndOfADeleteNeverReachesAScreenThatWent)
{
    select({"big.bin"});
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    close();
    ASSERT_TRUE(kztest::waitFor([&] { return !kztest::exists(tmp / "big.bin"); }));
    QCoreApplication::processEvents();
}

TEST_F(TreemapScreenDelete, EmptyingTheQueueThroughTheSheetAfterAQueuedFilesFolderWasRescanned)
{
    prefs().setUseDeleteQueue(true);
    const KZDirectoryPtr oldDocs = childFolder(root, "docs");
    const KZFilePtr a = child(oldDocs, "a.txt");
    select({"docs/a.txt", "big.bin"});
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    // The queued file's folder is rescanned: a new record for a.txt stands in the tree.
    select({"docs"});
    screen->toolbarItem(TQTreemapToolbar::ReloadItem)->trigger();
    ASSERT_TRUE(kztest::waitFor([&] { return childFolder(root, "docs") != oldDocs && childFolder(root, "docs"); }));
    ASSERT_TRUE(child(childFolder(root, "docs"), "a.txt"));

    int finishes = 0;
    KZNotificationCenter::defaultCenter().addObserver(
        TQNotification_Finish, [&](const KZNotification&) { ++finishes; }, screen.get());
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrashAndFinish);
    ASSERT_TRUE(screen->removalFlow()->emptyWindowController());
    EXPECT_FALSE(screen->rescanPrompt()->canShowFileChangeAlert());
    ASSERT_TRUE(kztest::waitFor([&] { return screen->removalFlow()->emptyWindowController()->isFinished(); }));
    env.clock.advance(TQEmptyTrashWindowController::closeDelay);
    // The finished screen is asked for on a turn of its own.
    EXPECT_EQ(finishes, 0);
    ASSERT_TRUE(kztest::waitFor([&] { return finishes == 1; }));

    EXPECT_FALSE(kztest::exists(tmp / "docs/a.txt") || kztest::exists(tmp / "big.bin"));
    EXPECT_FALSE(child(childFolder(root, "docs"), "a.txt")) << "the record standing at the path went too";
    EXPECT_FALSE(child(root, "big.bin"));
    EXPECT_EQ(a->parent(), nullptr);
    EXPECT_FALSE(screen->removalFlow()->queuedFolderOf(a.get()));
    EXPECT_TRUE(TQDeleteQueue::sharedInstance().queue().empty());
    EXPECT_EQ(screen->totalFreed(), 520000);
    EXPECT_EQ(nextEnabled, 1);
    EXPECT_TRUE(screen->rescanPrompt()->canShowFileChangeAlert());

    // Through Quit the program is asked to end; what stays queued comes back later.
    select({"docs/b.txt"});
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    kztest::ScopedFaultHook faults(
        [](kz::FileOperation, const std::string& path) { return path.ends_with("b.txt") ? EACCES : 0; });
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrashAndQuit);
    ASSERT_TRUE(kztest::waitFor([&] { return screen->removalFlow()->emptyWindowController()->isFinished(); }));
    screen->removalFlow()->emptyWindowController()->close();
    ASSERT_TRUE(kztest::waitFor([&] { return env.application.services.terminations == 1; }));
    EXPECT_EQ(screen->totalFreed(), 520000);
    TQDeleteQueue::sharedInstance().clearQueue();
    EXPECT_TRUE(child(childFolder(root, "docs"), "b.txt"));
}
