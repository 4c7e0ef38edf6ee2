// The results screen as the treemap's delegate: tooltip, ignore, removability, the queue
// question, queue mode with its put-back, and the compression bookkeeping.
#include "app/TQCompressingWindowController.h"
#include "kit/TQTooltipPanel.h"
#include "app/TQNotifications.h"
#include "model/TQDeleteQueue.h"
#include "tests/app/TreemapScreenFixture.h"

#include <QLabel>
#include <QScreen>

using screentest::child;
using screentest::childFolder;
using screentest::TreemapScreen;
using Screen = TQTreemapViewController;

namespace {

KZFilePtr record(const KZDirectoryPtr& parent, const std::string& name, double size)
{
    KZFilePtr f = KZFile::childWithName(parent.get(), name);
    f->setFileSize(size);
    return f;
}

} // namespace

TEST(TreemapScreenTooltip, TextForFilesFoldersAndGroups)
{
    KZDirectoryPtr folder = KZDirectory::fileWithPath("/data/");
    KZFilePtr file = record(folder, "report.pdf", 12300000);
    file->setCreationTime(QDateTime(QDate(2021, 3, 4), QTime(9, 5)).toSecsSinceEpoch());
    file->setModificationTime(QDateTime(QDate(2022, 11, 20), QTime(17, 30)).toSecsSinceEpoch());
    const QString format = QStringLiteral("MMMM dd, yyyy 'at' hh:mm AP");
    EXPECT_EQ(Screen::tooltipTextForNode(*KZTreemapNode::nodeWithFile(file)),
              QStringLiteral("report.pdf\nSize: 12.3 MB\nCreated: %1\nModified: %2")
                  .arg(QLocale().toString(file->creationDate(), format),
                       QLocale().toString(file->modificationDate(), format)));
    EXPECT_TRUE(Screen::tooltipTextForNode(*KZTreemapNode::nodeWithFile(file)).contains(QStringLiteral("March 04, 2021 at 09:05 AM")));

    // Without dates only the name and the size.
    KZFilePtr undated = record(folder, "a<b>&c", 999);
    EXPECT_EQ(Screen::tooltipTextForNode(*KZTreemapNode::nodeWithFile(undated)), QStringLiteral("a<b>&c\nSize: 999.0 bytes"));

    // Fifteen grouped files are all listed; sixteen list ten and count the rest.
    std::vector<KZFilePtr> files;
    for (int i = 0; i < 16; ++i) files.push_back(record(folder, "f" + std::to_string(i), 1000));
    std::vector<KZFilePtr> fifteen(files.begin(), files.begin() + 15);
    const QString listed15 = Screen::tooltipTextForNode(*KZTreemapNode::nodeWithGroupedFileArray(fifteen, folder));
    EXPECT_TRUE(listed15.startsWith(QStringLiteral("Grouped files:\n------------\nf0\nf1\n")));
    EXPECT_TRUE(listed15.contains(QStringLiteral("f14\n\nSize: 15.0 KB")));
    EXPECT_FALSE(listed15.contains(QStringLiteral("more")));
    const QString listed16 = Screen::tooltipTextForNode(*KZTreemapNode::nodeWithGroupedFileArray(files, folder));
    EXPECT_TRUE(listed16.contains(QStringLiteral("f9\n... and 6 more\n\nSize: 16.0 KB")));
    EXPECT_FALSE(listed16.contains(QStringLiteral("f10\n")));
    EXPECT_FALSE(listed16.contains(QStringLiteral("Created")));

    // A group that lists no records counts them.
    auto counted = KZTreemapNode::nodeWithGroupedFileArray({}, folder);
    counted->setTotalFiles(42);
    counted->setFileSize(5000);
    EXPECT_EQ(Screen::tooltipTextForNode(*counted), QStringLiteral("42 total items\nSize: 5.0 KB"));
}

TEST(TreemapScreenTooltip, PlacedBelowThePointerAndKeptOnTheScreen)
{
    const QRect screen(0, 0, 1000, 800);
    // Left edge 10 right of the pointer, top edge 20 below it; the text plus 15 by 5.
    EXPECT_EQ(Screen::tooltipFrame(QPointF(100, 100), QSizeF(80.2, 30), screen), QRect(110, 120, 96, 35));
    // Near the right edge it moves left by its own width: its right edge 10 right of the pointer.
    const QRect right = Screen::tooltipFrame(QPointF(950, 100), QSizeF(85, 30), screen);
    EXPECT_EQ(right, QRect(860, 120, 100, 35));
    // Near the bottom it rests on the screen's bottom edge.
    const QRect bottom = Screen::tooltipFrame(QPointF(100, 790), QSizeF(85, 30), screen);
    EXPECT_EQ(bottom.bottom(), 799);
    EXPECT_EQ(bottom.height(), 35);
    // A screen with an origin of its own.
    EXPECT_EQ(Screen::tooltipFrame(QPointF(1990, 1190), QSizeF(85, 30), QRect(1000, 400, 1000, 800)),
              QRect(1900, 1165, 100, 35));
}

TEST_F(TreemapScreen, HoverShowsTheTooltipOverTheNodeAndLeavingHidesIt)
{
    makeTree();
    open();
    const QRectF big = rectFor("big.bin");
    ASSERT_FALSE(big.isEmpty());
    const QPoint inside = big.center().toPoint();
    QTest::mouseMove(view(), inside);
    TQTooltipPanel* panel = screen->tooltipWindow();
    ASSERT_TRUE(kztest::waitFor([&] { return panel->isVisible(); }));
    EXPECT_TRUE(screen->tooltipLabel()->text().startsWith(QStringLiteral("big.bin\nSize: 400.0 KB")));
    const QPoint global = view()->mapToGlobal(inside);
    const QRect screenRect = window->screen()->geometry();
    EXPECT_EQ(panel->geometry().top(), std::min(global.y() + 20, screenRect.bottom() + 1 - panel->height()));
    EXPECT_TRUE(screenRect.contains(panel->geometry()));
    // The label is never read as markup.
    EXPECT_EQ(screen->tooltipLabel()->textFormat(), Qt::PlainText);

    screen->treemapViewMouseExitedWithEvent(view(), nullptr);
    EXPECT_FALSE(panel->isVisible());
    screen->treemapViewMouseMovedToPoint(view(), view()->mapTo(window.get(), QPointF(inside)), nodeFor("big.bin"));
    EXPECT_TRUE(panel->isVisible());
    screen->windowDidBecomeMain();
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(TreemapScreen, IgnoreAndRemovability)
{
    makeTree();
    open();
    // Ignoring stores the path (without a final "/") and the view takes the item out.
    select({"docs"});
    screen->toolbarItem(Screen::IgnoreItem)->trigger();
    EXPECT_EQ(prefs().ignoredPaths()->last(), QString::fromStdString(tmp / "docs"));
    EXPECT_FALSE(child(root, "docs"));
    EXPECT_TRUE(screen->ignoreList()->filePathIsIgnored(tmp / "docs/a.txt"));
    EXPECT_TRUE(screen->treemapViewFileIsIgnored(view(), KZFile::fileWithPath(tmp / "docs/new")));

    // Removable: deletable by the system and not protected by the ignore list.
    const KZFilePtr big = child(root, "big.bin");
    EXPECT_TRUE(screen->treemapViewCanRemoveFile(view(), big));
    kz::setDeletableCheckForTesting([](const std::string&) { return false; });
    EXPECT_FALSE(screen->treemapViewCanRemoveFile(view(), big));
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
    env.alerts.service.answerNext(KZAlertSecondButtonReturn); // Cancel the delete
    screen->toolbarItem(Screen::DeleteItem)->trigger();
    ASSERT_EQ(alerts().size(), 2u);
    EXPECT_EQ(alerts()[0].alert.messageText, Screen::UseQueueMessage);
    EXPECT_EQ(alerts()[0].alert.informativeText, Screen::UseQueueInformative);
    EXPECT_EQ(alerts()[0].alert.buttons, (QStringList{Screen::YesButton, Screen::NoButton}));
    EXPECT_EQ(alerts()[1].alert.messageText, Screen::DeleteOneMessage.arg(QStringLiteral("big.bin")));
    EXPECT_TRUE(prefs().hasAskedToUseDeleteQueue());
    EXPECT_FALSE(prefs().useDeleteQueue());
    EXPECT_TRUE(child(root, "big.bin"));
    EXPECT_TRUE(kztest::exists(tmp / "big.bin"));

    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    select({"big.bin"});
    screen->toolbarItem(Screen::DeleteItem)->trigger();
    ASSERT_EQ(alerts().size(), 3u);
    EXPECT_EQ(alerts()[2].alert.messageText, Screen::DeleteOneMessage.arg(QStringLiteral("big.bin")));

    // "Yes" turns the queue on.
    close();
    prefs().setHasAskedToUseDeleteQueue(false);
    open();
    select({"big.bin"});
    screen->toolbarItem(Screen::DeleteItem)->trigger();
    EXPECT_TRUE(prefs().useDeleteQueue());
    EXPECT_EQ(TQDeleteQueue::sharedInstance().queue().size(), 1u);
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
    screen->toolbarItem(Screen::DeleteItem)->trigger();
    EXPECT_TRUE(alerts().empty()) << "no confirmation in queue mode";
    EXPECT_FALSE(child(docs, "a.txt"));
    EXPECT_FALSE(child(root, "big.bin"));
    EXPECT_EQ(docs->fileSize(), docsTotal);
    EXPECT_EQ(root->fileSize(), rootTotal);
    EXPECT_EQ(TQDeleteQueue::sharedInstance().queue(), (KZFileList{a, big}));
    EXPECT_EQ(a->parent(), docs.get()) << "the record still names its folder";
    EXPECT_EQ(screen->queuedFolderOf(a.get()), docs);
    EXPECT_TRUE(kztest::exists(tmp / "docs/a.txt"));
    ASSERT_TRUE(screen->popover());
    EXPECT_TRUE(screen->popover()->popoverIsVisible());
    EXPECT_FALSE(nodeFor("big.bin"));

    // Taken out of the queue: back in their folders, drawn again, totals as they were.
    TQDeleteQueue::sharedInstance().removeFileFromQueue(a);
    EXPECT_EQ(child(docs, "a.txt"), a);
    EXPECT_EQ(docs->fileSize(), docsTotal);
    EXPECT_FALSE(screen->queuedFolderOf(a.get()));
    TQDeleteQueue::sharedInstance().clearQueue();
    EXPECT_EQ(child(root, "big.bin"), big);
    EXPECT_TRUE(nodeFor("big.bin"));
    EXPECT_EQ(root->fileSize(), rootTotal);

    // Never twice: a second report of the same records changes nothing.
    screen->didRemoveFilesFromQueue({a, big});
    EXPECT_EQ(docs->childCount(), 2u);
    EXPECT_EQ(screen->totalFreed(), 0);
}

TEST_F(TreemapScreen, PutBackOnlyIntoAFolderStillInTheTreeWithoutThatNameAndOnlyWhileTheItemExists)
{
    makeTree();
    kztest::makeFile(tmp / "docs/c.txt", 30000);
    kztest::makeFile(tmp / "docs/d.txt", 30000);
    prefs().setUseDeleteQueue(true);
    open();
    KZDirectoryPtr docs = childFolder(root, "docs");
    const KZFilePtr a = child(docs, "a.txt");
    const KZFilePtr b = child(docs, "b.txt");
    const KZFilePtr c = child(docs, "c.txt");
    select({"docs/a.txt", "docs/b.txt", "docs/c.txt"});
    screen->toolbarItem(Screen::DeleteItem)->trigger();
    ASSERT_EQ(TQDeleteQueue::sharedInstance().queue().size(), 3u);

    // a.txt vanishes from the disk; something else named b.txt appears in the folder.
    ASSERT_EQ(::unlink((tmp / "docs/a.txt").c_str()), 0);
    KZFilePtr other = KZFile::fileWithPath(tmp / "docs/b.txt", true);
    docs->addChild(other.get());
    TQDeleteQueue::sharedInstance().removeFilesFromQueue({a, b});
    EXPECT_FALSE(child(docs, "a.txt"));
    EXPECT_EQ(child(docs, "b.txt"), other);
    EXPECT_EQ(docs->childCount(), 2u); // d.txt and the other b.txt
    EXPECT_EQ(a->parent(), nullptr);
    EXPECT_EQ(b->parent(), nullptr);
    EXPECT_TRUE(kz_isEqualToPath(b->path(), tmp / "docs/b.txt")) << "the path survives the lost link";

    // The folder leaves the tree (ignored) while c.txt is queued: c.txt can't go back, and its
    // folder stays valid as long as c.txt names it.
    select({"docs"});
    screen->toolbarItem(Screen::IgnoreItem)->trigger();
    ASSERT_FALSE(child(root, "docs"));
    KZDirectory* raw = docs.get();
    docs = nullptr;
    EXPECT_EQ(c->parent(), raw);
    EXPECT_TRUE(kz_isEqualToPath(c->path(), tmp / "docs/c.txt"));
    TQDeleteQueue::sharedInstance().clearQueue();
    EXPECT_EQ(c->parent(), nullptr);
    EXPECT_TRUE(kz_isEqualToPath(c->path(), tmp / "docs/c.txt"));
}

TEST_F(TreemapScreen, AQueuedFileWhoseFolderIsRescannedNeverComesBackIntoTheOldFolder)
{
    makeTree();
    prefs().setUseDeleteQueue(true);
    open();
    const KZDirectoryPtr oldDocs = childFolder(root, "docs");
    const KZFilePtr a = child(oldDocs, "a.txt");
    select({"docs/a.txt"});
    screen->toolbarItem(Screen::DeleteItem)->trigger();
    screen->popover()->closePopover();

    // Rescan docs: the old record is replaced by a new one, which finds a.txt again.
    select({"docs"});
    screen->toolbarItem(Screen::ReloadItem)->trigger();
    ASSERT_TRUE(kztest::waitFor([&] { return childFolder(root, "docs") && childFolder(root, "docs") != oldDocs; }));
    const KZDirectoryPtr newDocs = childFolder(root, "docs");
    ASSERT_TRUE(child(newDocs, "a.txt"));

    TQDeleteQueue::sharedInstance().clearQueue();
    EXPECT_EQ(newDocs->childCount(), 2u) << "not put back twice";
    EXPECT_EQ(a->parent(), nullptr);
    EXPECT_EQ(oldDocs->childCount(), 0u);
}

TEST_F(TreemapScreen, CompressionBookkeepingAddsTheArchiveAndCountsOnce)
{
    makeTree();
    open();
    select({"big.bin", "docs"});
    screen->toolbarItem(Screen::CompressItem)->trigger();
    ASSERT_EQ(screen->compressingWindowControllers().size(), 1u);
    TQCompressingWindowController* first = screen->compressingWindowControllers().front();
    EXPECT_EQ(first->delegate(), screen.get());
    EXPECT_EQ(first->files().size(), 2u);

    // A cancelled run changes nothing.
    screen->compressingDidFinishForController(first, tmp / "Archive.zip", 0, false, true);
    EXPECT_EQ(first->delegate(), nullptr);
    EXPECT_TRUE(screen->compressingWindowControllers().empty());
    EXPECT_EQ(screen->totalCompressed(), 0);
    EXPECT_FALSE(child(root, "Archive.zip"));

    // A finished one: the archive joins its folder, the items are counted, the saving is
    // added once when the originals went.
    select({"docs/a.txt", "docs/b.txt"});
    screen->toolbarItem(Screen::CompressItem)->trigger();
    TQCompressingWindowController* second = screen->compressingWindowControllers().front();
    kztest::makeFile(tmp / "docs/Archive.zip", 5000);
    int nextEnabled = 0;
    KZNotificationCenter::defaultCenter().addObserver(TQNotification_EnableNextButton,
                                                      [&](const KZNotification&) { ++nextEnabled; }, screen.get());
    screen->compressingDidFinishForController(second, tmp / "docs/Archive.zip", 175000, true, false);
    EXPECT_EQ(screen->totalCompressed(), 2);
    EXPECT_EQ(screen->totalFreed(), 175000);
    EXPECT_EQ(nextEnabled, 1);
    const KZFilePtr archive = child(childFolder(root, "docs"), "Archive.zip");
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->fileSize(), 5000);
    // The items are still on disk (nothing removed them), so they stay in the tree.
    EXPECT_TRUE(child(childFolder(root, "docs"), "a.txt"));

    // An archive outside the tree is not added; the count still grows.
    select({"big.bin"});
    screen->toolbarItem(Screen::CompressItem)->trigger();
    TQCompressingWindowController* third = screen->compressingWindowControllers().front();
    screen->compressingDidFinishForController(third, "/nowhere/big.zip", 0, false, false);
    EXPECT_EQ(screen->totalCompressed(), 3);
    EXPECT_EQ(screen->totalFreed(), 175000);

    // A compression still running when the screen goes no longer reports to it.
    select({"big.bin"});
    screen->toolbarItem(Screen::CompressItem)->trigger();
    QPointer<TQCompressingWindowController> running = screen->compressingWindowControllers().front();
    EXPECT_TRUE(screen->filePathWasCompressFileChange(running->compressedFilePath()));
    close();
    ASSERT_TRUE(running);
    EXPECT_EQ(running->delegate(), nullptr);
}
