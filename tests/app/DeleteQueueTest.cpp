// The delete-queue popover's content: the table follows the shared queue, Remove / Clear /
// Empty Trash with their questions and suppression boxes, revealing a row, and the content
// shown in one popover after another.

#include "app/TQCellTableView.h"
#include "app/TQDeleteQueueViewController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQFileTableModel.h"
#include "app/TQNotifications.h"
#include "app/TQTableCellView.h"
#include "kit/KZController.h"
#include "platform/KZDispatch.h"
#include "platform/KZNotificationCenter.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <QThreadPool>

#include <gtest/gtest.h>

namespace {

KZFilePtr record(const std::string& path, double size)
{
    KZFilePtr f = KZFile::fileWithPath(path);
    f->setFileSize(size);
    return f;
}

KZFileList records(int count, const std::string& folder = "/data/queue")
{
    KZFileList list;
    for (int i = 0; i < count; ++i)
        list.push_back(record(folder + "/file" + std::to_string(i) + ".txt", 1000.0 * (i + 1)));
    return list;
}

struct QueueTest : ::testing::Test {
    kztest::ScreenTestEnvironment env;
    TQDeleteQueue& queue = TQDeleteQueue::sharedInstance();
    std::unique_ptr<TQDeleteQueueViewController> controller = ::controller<TQDeleteQueueViewController>();
    std::vector<KZFileList> removed;
    int emptyTrashPosts = 0;

    QueueTest()
    {
        auto& center = KZNotificationCenter::defaultCenter();
        center.addObserver(
            TQDeleteQueueNotification::didRemoveFiles,
            [this](const KZNotification& n) {
                removed.push_back(n.userInfo.value(TQDeleteQueueNotification::filesKey).value<KZFileList>());
            },
            &context);
        center.addObserver(
            TQNotification_EmptyTrash, [this](const KZNotification&) { ++emptyTrashPosts; }, &context);
    }
    // Icon lookups still under way end before the test does.
    ~QueueTest() { kztest::drainBackgroundWork(); }
    // The view on screen, as the popover shows it.
    void show()
    {
        QWidget* v = controller->view();
        v->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(v));
    }
    // A window like the results screen's, with the toolbar button a popover hangs from.
    static QToolButton* windowWithToolbarButton(QMainWindow& window)
    {
        auto* button = new QToolButton;
        window.addToolBar(QStringLiteral("tools"))->addWidget(button);
        window.resize(600, 500);
        window.show();
        return button;
    }
    TQCellTableView* table() { return controller->tableView(); }
    void select(std::initializer_list<int> rows)
    {
        table()->clearSelection();
        for (int r : rows)
            table()->selectionModel()->select(table()->model()->index(r, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    const std::vector<KZScriptedAlertService::Shown>& alerts() { return env.alerts.service.shown(); }
    QObject context;
};

} // namespace

TEST_F(QueueTest, AnEmptyQueueDisablesTheButtonsAndClearAndEmptyTrashDoNothing)
{
    show();
    EXPECT_TRUE(controller->isLoaded());
    EXPECT_TRUE(controller->observersRegistered());
    EXPECT_FALSE(controller->removeButton()->isEnabled());
    EXPECT_FALSE(controller->clearButton()->isEnabled());
    EXPECT_FALSE(controller->emptyTrashButton()->isEnabled());
    EXPECT_EQ(table()->model()->rowCount(), 0);
    controller->clearQueue();
    controller->emptyTrash();
    controller->removeSelectedFilesFromQueue();
    env.clock.advance(1.0);
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(emptyTrashPosts, 0);
    EXPECT_TRUE(removed.empty());
}

TEST_F(QueueTest, TheTableFollowsTheQueueRowByRow)
{
    show();
    const KZFileList files = records(4);
    queue.addFilesToQueue({files[0]});
    // At once: a row, and the buttons enabled.
    EXPECT_EQ(table()->model()->rowCount(), 1);
    EXPECT_TRUE(controller->removeButton()->isEnabled());
    EXPECT_TRUE(controller->clearButton()->isEnabled());
    EXPECT_TRUE(controller->emptyTrashButton()->isEnabled());
    TQTableCellView* cell = table()->cellForRow(0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->title(), QStringLiteral("file0.txt"));
    EXPECT_EQ(cell->subtitle(), QStringLiteral("Size: 1.0 KB"));
    EXPECT_FALSE(cell->icon().isNull());

    queue.addFilesToQueue({files[1], files[2], files[3]});
    ASSERT_EQ(table()->model()->rowCount(), 4);
    select({1, 3});
    // Rows that stay keep their selection when others leave.
    queue.removeFileFromQueue(files[0]);
    ASSERT_EQ(table()->model()->rowCount(), 3);
    EXPECT_EQ(table()->selectedRows(), (std::vector<int>{0, 2}));
    EXPECT_EQ(table()->cellForRow(0)->title(), QStringLiteral("file1.txt"));
    EXPECT_EQ(table()->cellForRow(2)->subtitle(), QStringLiteral("Size: 4.0 KB"));
    queue.clearQueue();
    EXPECT_EQ(table()->model()->rowCount(), 0);
    EXPECT_EQ(table()->cellForRow(0), nullptr);
    EXPECT_FALSE(controller->emptyTrashButton()->isEnabled());
}

TEST_F(QueueTest, ACellShownForAnotherItemKeepsNoStaleSizeOrIcon)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "big.zip", 5000);
    kztest::makeFile(dir / "empty.txt", 0);
    show();
    KZFilePtr big = KZFile::fileWithPath(dir / "big.zip", true);
    KZFilePtr empty = KZFile::fileWithPath(dir / "empty.txt", true);
    queue.addFilesToQueue({big});
    TQTableCellView* cell = table()->cellForRow(0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->subtitle(), QStringLiteral("Size: 5.0 KB"));
    queue.removeFileFromQueue(big);
    queue.addFilesToQueue({empty});
    TQTableCellView* again = table()->cellForRow(0);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->title(), QStringLiteral("empty.txt"));
    // A size of 0 writes no size: the subtitle is empty, not the previous item's.
    EXPECT_EQ(again->subtitle(), QString());
    // The item's own icon arrives on the main thread, for the item the cell shows.
    const QIcon generic = again->icon();
    EXPECT_TRUE(
        kztest::waitFor([&] { return again->icon().cacheKey() != generic.cacheKey(); }, std::chrono::seconds(5)));
    EXPECT_EQ(again->path(), dir / "empty.txt");
}

TEST_F(QueueTest, RemoveTakesTheSelectionOrTheRowClickedOutsideIt)
{
    show();
    const KZFileList files = records(6);
    queue.addFilesToQueue(files);

    select({0, 2, 4});
    controller->removeSelectedFilesFromQueue();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], (KZFileList{files[0], files[2], files[4]}));
    EXPECT_EQ(queue.queue(), (KZFileList{files[1], files[3], files[5]}));

    // A context click on a row outside the selection acts on that row alone.
    select({0});
    table()->setClickedRow(2);
    controller->removeSelectedFilesFromQueue();
    table()->setClickedRow(-1);
    ASSERT_EQ(removed.size(), 2u);
    EXPECT_EQ(removed[1], (KZFileList{files[5]}));
    EXPECT_EQ(queue.queue(), (KZFileList{files[1], files[3]}));

    // A context click inside the selection removes the selection.
    select({0, 1});
    table()->setClickedRow(1);
    controller->removeSelectedFilesFromQueue();
    table()->setClickedRow(-1);
    EXPECT_TRUE(queue.queue().empty());

    // Nothing selected, nothing clicked: nothing.
    queue.addFilesToQueue({files[0]});
    table()->clearSelection();
    const size_t before = removed.size();
    controller->removeSelectedFilesFromQueue();
    EXPECT_EQ(removed.size(), before);
    EXPECT_EQ(queue.queue().size(), 1u);
}

TEST_F(QueueTest, ClearAsksAndKeepsTheBoxWhateverTheAnswer)
{
    show();
    const KZFileList files = records(3);
    queue.addFilesToQueue(files);

    env.alerts.service.answerNext(KZAlertSecondButtonReturn, true); // Cancel, box ticked
    controller->clearQueue();
    ASSERT_EQ(alerts().size(), 1u);
    const KZAlert& alert = alerts()[0].alert;
    EXPECT_EQ(alert.messageText, QStringLiteral("Are you sure you want to clear your queue?"));
    EXPECT_EQ(alert.informativeText, QStringLiteral("Doing this will remove all these files from your delete queue."));
    EXPECT_EQ(alert.buttons, (QStringList{QStringLiteral("Clear"), QStringLiteral("Cancel")}));
    EXPECT_TRUE(alert.showsSuppressionButton);
    EXPECT_EQ(queue.queue().size(), 3u);
    EXPECT_TRUE(env.settings.preferences().suppressEmptyQueueAlert());

    // Now it clears without asking.
    controller->clearQueue();
    EXPECT_EQ(alerts().size(), 1u);
    EXPECT_TRUE(queue.queue().empty());
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], files);

    // "Clear" with the box unticked clears and asks again next time.
    env.settings.preferences().setSuppressEmptyQueueAlert(false);
    queue.addFilesToQueue(files);
    env.alerts.service.answerNext(KZAlertFirstButtonReturn, false);
    controller->clearQueue();
    EXPECT_TRUE(queue.queue().empty());
    EXPECT_FALSE(env.settings.preferences().suppressEmptyQueueAlert());
}

TEST_F(QueueTest, EmptyTrashAsksClosesThePopoverAndAsksForTheSheetLater)
{
    QMainWindow window;
    QToolButton* button = windowWithToolbarButton(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    queue.addFilesToQueue(records(2));

    auto popover = std::make_unique<INPopoverController>(controller->view());
    popover->presentPopoverFromRect(button->geometry(), button->parentWidget(), 3, false);
    controller->setPopover(popover.get());

    env.alerts.service.answerNext(KZAlertSecondButtonReturn); // Cancel
    controller->emptyTrash();
    ASSERT_EQ(alerts().size(), 1u);
    const KZAlert& alert = alerts()[0].alert;
    EXPECT_EQ(alert.messageText, QStringLiteral("Are you sure you want to empty the trash?"));
    EXPECT_EQ(alert.informativeText, QStringLiteral("Doing this will delete all the files in your queue."));
    EXPECT_EQ(alert.buttons, (QStringList{QStringLiteral("Empty"), QStringLiteral("Cancel")}));
    EXPECT_TRUE(popover->popoverIsVisible());
    env.clock.advance(1.0);
    EXPECT_EQ(emptyTrashPosts, 0);

    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    controller->emptyTrash();
    EXPECT_FALSE(popover->popoverIsVisible());
    env.clock.advance(0.29);
    EXPECT_EQ(emptyTrashPosts, 0);
    env.clock.advance(0.01);
    EXPECT_EQ(emptyTrashPosts, 1);
    env.clock.advance(1.0);
    EXPECT_EQ(emptyTrashPosts, 1);
    // The queue itself is the sheet's to empty.
    EXPECT_EQ(queue.queue().size(), 2u);

    // With the question turned off it goes at once; a controller that goes first posts nothing.
    env.settings.preferences().setSuppressEmptyTrashAlert(true);
    controller->emptyTrash();
    EXPECT_EQ(alerts().size(), 2u);
    controller.reset();
    env.clock.advance(1.0);
    EXPECT_EQ(emptyTrashPosts, 1);
}

TEST_F(QueueTest, TheEmptyTrashQuestionSaysWhenNetworkItemsWillBeDeletedOutright)
{
    show();
    KZFileList files = records(3);
    files[1]->setIsNetworkItem(true);
    files[2]->setIsNetworkItem(true);
    queue.addFilesToQueue(files);
    Preferences& prefs = env.settings.preferences();

    prefs.setUseTrash(true);
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    controller->emptyTrash();
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.informativeText,
              QStringLiteral("Doing this will delete all the files in your queue. 2 items are on network volumes: they "
                             "can't be moved to the Trash and will be deleted immediately."));
    EXPECT_EQ(TQDeleteQueueViewController::emptyTrashInformativeText({files[1]}, true),
              QStringLiteral("Doing this will delete all the files in your queue. One item is on a network volume: it "
                             "can't be moved to the Trash and will be deleted immediately."));

    // The question turned off still comes for them, its box showing the setting.
    prefs.setSuppressEmptyTrashAlert(true);
    env.alerts.service.answerNext(KZAlertSecondButtonReturn, true);
    controller->emptyTrash();
    ASSERT_EQ(alerts().size(), 2u);
    EXPECT_TRUE(alerts()[1].alert.suppressionState);

    // Without the Trash everything is deleted outright anyway: nothing to add.
    prefs.setUseTrash(false);
    prefs.setSuppressEmptyTrashAlert(false);
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    controller->emptyTrash();
    ASSERT_EQ(alerts().size(), 3u);
    EXPECT_EQ(alerts()[2].alert.informativeText, QStringLiteral("Doing this will delete all the files in your queue."));
    // Only the user's answer wrote the setting.
    EXPECT_FALSE(prefs.suppressEmptyTrashAlert());
}

TEST_F(QueueTest, DoubleClickingARowRevealsItsItem)
{
    show();
    KZDirectoryPtr folder = KZDirectory::fileWithPath("/data/queue/Folder");
    folder->setFileSize(10);
    queue.addFilesToQueue({record("/data/queue/a.txt", 10), folder});
    table()->resize(300, 300);
    QWidget* vp = table()->viewport();
    const int rowHeight = TQCellTableView::cellHeight;
    QTest::mouseDClick(vp, Qt::LeftButton, {}, QPoint(50, rowHeight + rowHeight / 2));
    ASSERT_EQ(env.workspace.revealed.size(), 1u);
    EXPECT_EQ(env.workspace.revealed[0], (std::vector<std::string>{"/data/queue/Folder"}));
    // Below the last row: nothing.
    QTest::mouseDClick(vp, Qt::LeftButton, {}, QPoint(50, rowHeight * 2 + 20));
    EXPECT_EQ(env.workspace.revealed.size(), 1u);
    EXPECT_EQ(table()->clickedRow(), -1);
}

TEST_F(QueueTest, ASelectedRowShowsWhiteTextsAndReturnsToItsColoursAfter)
{
    show();
    queue.addFilesToQueue(records(3));
    QWidget* v = controller->view();
    v->activateWindow();
    table()->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(v));
    select({1});
    TQTableCellView* cell = table()->cellForRow(1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->backgroundStyle(), TQTableCellView::BackgroundStyle::Dark);
    EXPECT_EQ(cell->titleColor(), QColor(Qt::white));
    EXPECT_EQ(cell->subtitleColor(), QColor(Qt::white));
    EXPECT_EQ(table()->cellForRow(0)->titleColor(), table()->cellForRow(0)->textFieldColor());
    select({2});
    EXPECT_EQ(cell->titleColor(), cell->textFieldColor());
    EXPECT_EQ(cell->subtitleColor(), cell->subTitleFieldColor());
    EXPECT_NE(cell->textFieldColor(), QColor(Qt::white));
}

TEST_F(QueueTest, OnePopoverAfterAnotherTheContentKeepsFollowingTheQueue)
{
    QMainWindow window;
    QToolButton* button = windowWithToolbarButton(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const KZFileList files = records(3);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        auto popover = std::make_unique<INPopoverController>(controller->view());
        popover->presentPopoverFromRect(button->geometry(), button->parentWidget(), 3, false);
        controller->setPopover(popover.get());
        queue.addFilesToQueue({files[size_t(round)]});
        EXPECT_EQ(table()->model()->rowCount(), round + 1);
        ASSERT_NE(table()->cellForRow(round), nullptr);
        EXPECT_TRUE(table()->cellForRow(round)->isVisible());
        popover->closePopover();
        popover.reset();
        EXPECT_EQ(controller->popover(), nullptr);
        EXPECT_TRUE(controller->observersRegistered());
    }
    // While no popover shows, the table still follows.
    queue.addFilesToQueue({files[2]});
    EXPECT_EQ(table()->model()->rowCount(), 3);
}

TEST_F(QueueTest, HiddenAndShownAgainTheContentObservesTheQueueAgain)
{
    show();
    controller->kz_viewWillDisappear();
    EXPECT_FALSE(controller->observersRegistered());
    queue.addFilesToQueue(records(2));
    controller->kz_viewWillAppear();
    EXPECT_TRUE(controller->observersRegistered());
    EXPECT_EQ(table()->model()->rowCount(), 2);
}

TEST_F(QueueTest, NoEmptyingWhileASheetRuns)
{
    QMainWindow window;
    window.show();
    kztest::TempDir dir;
    kztest::makeFile(dir / "a.txt", 10);
    env.settings.preferences().setUseTrash(false);
    queue.addFilesToQueue({KZFile::fileWithPath(dir / "a.txt", true)});
    TQEmptyTrashWindowController sheet;
    ASSERT_TRUE(sheet.beginSheetForWindow(&window));
    EXPECT_TRUE(TQEmptyTrashWindowController::isAnySheetRunning());
    controller->emptyTrash();
    EXPECT_TRUE(alerts().empty());
    env.clock.advance(1.0);
    EXPECT_EQ(emptyTrashPosts, 0);
    EXPECT_TRUE(kztest::waitFor([&] { return sheet.isFinished(); }));
    EXPECT_FALSE(TQEmptyTrashWindowController::isAnySheetRunning());
}

TEST_F(QueueTest, RemoveActsOnTheRecordsTheRowsShowAndOnlyIfStillQueued)
{
    show();
    const KZFileList files = records(3);
    queue.addFilesToQueue(files);
    // The table stops following (its content disappeared) while the queue changes.
    controller->kz_viewWillDisappear();
    queue.removeFileFromQueue(files[0]);
    removed.clear();
    ASSERT_EQ(table()->model()->rowCount(), 3);
    select({0, 1}); // rows showing files[0] (no longer queued) and files[1]
    controller->removeSelectedFilesFromQueue();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], (KZFileList{files[1]}));
    EXPECT_EQ(queue.queue(), (KZFileList{files[2]}));
}
