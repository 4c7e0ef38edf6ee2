// The results screen as the treemap's delegate: the hover tooltip, ignore, removability, the
// queue question, queue mode with its put-back, and the compression bookkeeping.
#include "app/TQCompressingWindowController.h"
#include "app/TQNotifications.h"
#include "kit/TQTooltipPanel.h"
#include "model/TQDeleteQueue.h"
#include "platform/widgets/KZSound.h"
#include "tests/app/TreemapScreenFixture.h"

#include <QLabel>
#include <QScreen>

using screentest::child;
using screentest::childFolder;
using screentest::TreemapScreen;
using Screen = TQTreemapViewController;

namespace {

TQDeleteQueue& queue()
{
    return TQDeleteQueue::sharedInstance();
}

} // namespace

TEST_F(TreemapScreen, HoverShowsTheTooltipBelowThePointerAndLeavingHidesIt)
{
    makeTree();
    open();
    const QPoint inside = itemFor("big.bin")->rect.center().toPoint();
    QTest::mouseMove(view(), inside);
    TQTooltipPanel* panel = screen->tooltip()->panel();
    ASSERT_TRUE(kztest::waitFor([&] { return panel->isVisible(); }));
    EXPECT_TRUE(screen->tooltip()->label()->text().startsWith(QStringLiteral("big.bin\nSize: 400.0 KB")));
    EXPECT_EQ(screen->tooltip()->label()->textFormat(), Qt::PlainText);
    EXPECT_EQ(panel->geometry().top(), view()->mapToGlobal(inside).y() + 20);
    EXPECT_TRUE(window->screen()->geometry().contains(panel->geometry()));
    screen->treemapViewMouseExitedWithEvent(view(), nullptr);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(TreemapScreen, IgnoreAndRemovability)
{
    makeTree();
    open();
    select({"docs"});
    screen->toolbarItem(TQTreemapToolbar::IgnoreItem)->trigger();
    EXPECT_EQ(prefs().ignoredPaths()->last(), QString::fromStdString(tmp / "docs"));
    EXPECT_FALSE(child(root, "docs"));
    EXPECT_TRUE(screen->treemapViewFileIsIgnored(view(), KZFile::fileWithPath(tmp / "docs/new")));

    EXPECT_TRUE(screen->treemapViewCanRemoveFile(view(), child(root, "big.bin")));
    kz::setDeletableCheckForTesting([](const std::string&) { return false; });
    EXPECT_FALSE(screen->treemapViewCanRemoveFile(view(), child(root, "big.bin")));
    kz::setDeletableCheckForTesting([](const std::string&) { return true; });
    EXPECT_FALSE(screen->treemapViewCanRemoveFile(view(), KZDirectory::fileWithPath("/Users/someone")));
    EXPECT_FALSE(screen->treemapViewCanRemoveFile(view(), KZDirectory::fileWithPath("/usr")));
}

TEST_F(TreemapScreen, TheQueueQuestionIsAskedOnceAndNoGoesOnWithoutTheQueue)
{
    makeTree();
    prefs().setHasAskedToUseDeleteQueue(false);
    open();
    select({"big.bin"});
    env.alerts.service.answerNext(KZAlertSecondButtonReturn); // No
    env.alerts.service.answerNext(KZAlertSecondButtonReturn); // and Cancel the delete
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    ASSERT_EQ(alerts().size(), 2u);
    EXPECT_EQ(alerts()[0].alert.messageText, TQRemovalFlow::UseQueueMessage);
    EXPECT_EQ(alerts()[0].alert.buttons, (QStringList{"Yes", "No"}));
    EXPECT_EQ(alerts()[1].alert.messageText, TQRemovalFlow::DeleteOneMessage.arg("big.bin"));
    EXPECT_FALSE(prefs().useDeleteQueue());

    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    select({"big.bin"});
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    EXPECT_EQ(alerts().size(), 3u) << "not asked again";
}

TEST_F(TreemapScreen, QueueModeTakesRecordsOutAndPutsThemBackWithFolderTotalsUnchanged)
{
    makeTree();
    prefs().setUseDeleteQueue(true);
    open();
    const KZDirectoryPtr docs = childFolder(root, "docs");
    const double docsTotal = docs->fileSize();
    const double rootTotal = root->fileSize();
    const KZFilePtr a = child(docs, "a.txt");
    const KZFilePtr big = child(root, "big.bin");

    select({"docs/a.txt", "big.bin"});
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    EXPECT_TRUE(alerts().empty()) << "no confirmation in queue mode";
    EXPECT_FALSE(child(docs, "a.txt") || child(root, "big.bin") || nodeFor("big.bin"));
    EXPECT_EQ(docs->fileSize(), docsTotal);
    EXPECT_EQ(root->fileSize(), rootTotal);
    EXPECT_EQ(queue().queue(), (KZFileList{a, big}));
    EXPECT_EQ(screen->removalFlow()->queuedFolderOf(a.get()), docs);
    EXPECT_TRUE(screen->removalFlow()->popover() && screen->removalFlow()->popover()->popoverIsVisible());

    queue().removeFileFromQueue(a);
    EXPECT_EQ(child(docs, "a.txt"), a);
    queue().clearQueue();
    EXPECT_EQ(child(root, "big.bin"), big);
    EXPECT_TRUE(nodeFor("big.bin"));
    EXPECT_EQ(docs->fileSize(), docsTotal);
    EXPECT_EQ(root->fileSize(), rootTotal);
    screen->removalFlow()->didRemoveFilesFromQueue({a, big}); // never twice
    EXPECT_EQ(docs->childCount(), 2u);
    EXPECT_EQ(screen->totalFreed(), 0);
}

TEST_F(TreemapScreen, AFileQueuedBeforeItsFolderComesBackWithItWhateverTheOrder)
{
    makeTree();
    prefs().setUseDeleteQueue(true);
    open();
    const KZDirectoryPtr docs = childFolder(root, "docs");
    const KZFilePtr a = child(docs, "a.txt");
    const double docsTotal = docs->fileSize();
    auto queueFileThenFolder = [&] {
        select({"docs/a.txt"});
        screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
        select({"docs"});
        screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
        ASSERT_EQ(queue().queue(), (KZFileList{a, KZFilePtr(docs)}));
        ASSERT_FALSE(child(root, "docs"));
    };
    // Both back, once each, where they were; the file still in its folder, drawn.
    auto expectBoth = [&](const char* how) {
        size_t folders = 0;
        for (KZFile* f : root->children()) folders += f->nameBytes() == "docs";
        EXPECT_EQ(folders, 1u) << how;
        EXPECT_EQ(child(root, "docs"), docs) << how;
        size_t files = 0;
        for (KZFile* f : docs->children()) files += f->nameBytes() == "a.txt";
        EXPECT_EQ(files, 1u) << how;
        EXPECT_EQ(child(docs, "a.txt"), a) << how;
        EXPECT_EQ(docs->fileSize(), docsTotal) << how;
        EXPECT_TRUE(queue().queue().empty()) << how;
        EXPECT_FALSE(screen->removalFlow()->queuedFolderOf(a.get()) ||
                     screen->removalFlow()->queuedFolderOf(docs.get()))
            << how;
        EXPECT_TRUE(nodeFor("docs")) << how;
    };

    queueFileThenFolder();
    queue().clearQueue();
    expectBoth("Clear");

    queueFileThenFolder();
    queue().removeFilesFromQueue({a, KZFilePtr(docs)});
    expectBoth("Remove of both, file first");

    queueFileThenFolder();
    queue().removeFilesFromQueue({KZFilePtr(docs), a});
    expectBoth("Remove of both, folder first");

    // The file alone first: it goes back into its folder, still queued, and comes with it.
    queueFileThenFolder();
    queue().removeFileFromQueue(a);
    EXPECT_EQ(child(docs, "a.txt"), a);
    EXPECT_FALSE(child(root, "docs"));
    queue().removeFileFromQueue(docs);
    expectBoth("Remove of the file, then of the folder");

    queueFileThenFolder();
    queue().removeFileFromQueue(docs);
    EXPECT_FALSE(child(docs, "a.txt"));
    queue().removeFileFromQueue(a);
    expectBoth("Remove of the folder, then of the file");

    // Leaving the screen clears the queue.
    queueFileThenFolder();
    disappear();
    EXPECT_EQ(child(root, "docs"), docs);
    EXPECT_EQ(child(docs, "a.txt"), a);
    EXPECT_TRUE(kztest::exists(tmp / "docs/a.txt"));
}

TEST_F(TreemapScreen, PutBackOnlyIntoAFolderStillInTheTreeWithoutThatNameWhileTheItemExists)
{
    makeTree();
    kztest::makeFile(tmp / "docs/c.txt", 30000);
    kztest::makeFile(tmp / "docs/d.txt", 30000); // keeps docs drawn (an empty folder has no node)
    prefs().setUseDeleteQueue(true);
    open();
    KZDirectoryPtr docs = childFolder(root, "docs");
    const KZFilePtr a = child(docs, "a.txt");
    const KZFilePtr b = child(docs, "b.txt");
    const KZFilePtr c = child(docs, "c.txt");
    select({"docs/a.txt", "docs/b.txt", "docs/c.txt"});
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();

    // a.txt vanishes from the disk; another record named b.txt appears in the folder.
    ASSERT_EQ(::unlink((tmp / "docs/a.txt").c_str()), 0);
    KZFilePtr other = KZFile::fileWithPath(tmp / "docs/b.txt", true);
    docs->addChild(other.get());
    queue().removeFilesFromQueue({a, b});
    EXPECT_EQ(docs->childCount(), 2u); // d.txt and the other b.txt
    EXPECT_EQ(a->parent(), nullptr);
    EXPECT_EQ(b->parent(), nullptr);
    EXPECT_TRUE(kz_isEqualToPath(b->path(), tmp / "docs/b.txt")) << "the path survives the lost link";

    // The folder leaves the tree (ignored) while c.txt is queued: it stays valid while c.txt
    // names it, and c.txt never goes back.
    select({"docs"});
    screen->toolbarItem(TQTreemapToolbar::IgnoreItem)->trigger();
    KZDirectory* raw = docs.get();
    docs = nullptr;
    EXPECT_EQ(c->parent(), raw);
    queue().clearQueue();
    EXPECT_EQ(c->parent(), nullptr);
    EXPECT_TRUE(kz_isEqualToPath(c->path(), tmp / "docs/c.txt"));
}

TEST_F(TreemapScreen, CompressionAddsTheArchiveTakesOutWhatWentAndCountsOnce)
{
    makeTree();
    prefs().setDeleteCompressedOriginal(true);
    kz::setTriTonePlayerForTesting([] {});
    open();
    select({"docs/b.txt"});
    screen->toolbarItem(TQTreemapToolbar::CompressItem)->trigger();
    ASSERT_EQ(screen->removalFlow()->compressingWindowControllers().size(), 1u);
    TQCompressingWindowController* c = screen->removalFlow()->compressingWindowControllers().front();
    EXPECT_EQ(c->delegate(), screen->removalFlow());
    EXPECT_TRUE(screen->removalFlow()->filePathWasCompressFileChange(c->compressedFilePath()));
    ASSERT_TRUE(kztest::waitFor([&] { return c->state() == TQCompressingWindowController::State::Complete; }));
    const double saved = c->totalSaved();
    EXPECT_GT(saved, 0);
    EXPECT_TRUE(c->performClose());
    EXPECT_TRUE(screen->removalFlow()->compressingWindowControllers().empty());
    const KZDirectoryPtr docs = childFolder(root, "docs");
    EXPECT_TRUE(child(docs, "b.zip"));
    EXPECT_FALSE(child(docs, "b.txt") || kztest::exists(tmp / "docs/b.txt"));
    EXPECT_TRUE(child(docs, "a.txt"));
    EXPECT_EQ(screen->removalFlow()->totalCompressed(), 1);
    EXPECT_EQ(screen->totalFreed(), saved);

    // Cancelled: nothing changes. Still running when the screen goes: it carries on, reporting
    // to the run's ledger.
    select({"docs/a.txt"});
    screen->toolbarItem(TQTreemapToolbar::CompressItem)->trigger();
    screen->removalFlow()->compressingWindowControllers().front()->cancel();
    ASSERT_TRUE(kztest::waitFor([&] { return screen->removalFlow()->compressingWindowControllers().empty(); }));
    EXPECT_EQ(screen->removalFlow()->totalCompressed(), 1);
    EXPECT_TRUE(child(docs, "a.txt"));
    select({"big.bin"});
    screen->toolbarItem(TQTreemapToolbar::CompressItem)->trigger();
    QPointer<TQCompressingWindowController> running = screen->removalFlow()->compressingWindowControllers().front();
    close();
    ASSERT_TRUE(running);
    EXPECT_EQ(running->delegate(), ledger.get());
    running->cancel();
    EXPECT_TRUE(kztest::waitFor([&] { return deferredDeletesDone() && running.isNull(); }));
    kz::setTriTonePlayerForTesting({});
}
